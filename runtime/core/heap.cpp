#include "runtime/core/heap.h"

#include <string.h>

HANDLE RuntimeHeap;
HANDLE StringHeap;
HANDLE MemoryHeap;

char* StringBuffer;
int StringBufferSize;
int StringBufferPosition;

namespace {

// Every library that starts adds its own; they stay for later runs in the same process.
HeapForgetFunction forgetFunctions[32];
int forgetCount;

// All heaps grow on demand and serialise their own calls.
HANDLE CreatePrivateHeap() {
    return HeapCreate(0, 4096, 0);
}

void DestroyPrivateHeap(HANDLE& heap) {
    if (heap) {
        HeapDestroy(heap);
        heap = nullptr;
    }
}

} // namespace

HANDLE CreateRuntimeHeap() {
    RuntimeHeap = CreatePrivateHeap();
    return RuntimeHeap;
}

void DestroyRuntimeHeap() {
    if (!RuntimeHeap)
        return;
    for (int i = 0; i < forgetCount; ++i)
        forgetFunctions[i]();
    DestroyPrivateHeap(RuntimeHeap);
}

void* RuntimeAlloc(SIZE_T bytes, DWORD flags) {
    return RuntimeHeap ? HeapAlloc(RuntimeHeap, flags, bytes) : nullptr;
}

void RuntimeFree(void* block) {
    if (RuntimeHeap && block)
        HeapFree(RuntimeHeap, 0, block);
}

int RuntimeHeap_OnDestroy(HeapForgetFunction forget) {
    for (int i = 0; i < forgetCount; ++i)
        if (forgetFunctions[i] == forget)
            return 1;
    if (!forget ||
        forgetCount == static_cast<int>(sizeof forgetFunctions / sizeof *forgetFunctions))
        return 0;
    forgetFunctions[forgetCount++] = forget;
    return 1;
}

void StartStringArea() {
    StringHeap = CreatePrivateHeap();
    StringBufferPosition = 0;
    StringBufferSize = 16;
    StringBuffer =
        StringHeap ? static_cast<char*>(HeapAlloc(StringHeap, 0, StringBufferSize)) : nullptr;
}

void EndStringArea() {
    if (StringHeap && StringBuffer)
        HeapFree(StringHeap, 0, StringBuffer);
    StringBuffer = nullptr;
    DestroyPrivateHeap(StringHeap);
}

void StartMemoryHeap() {
    MemoryHeap = CreatePrivateHeap();
}

void EndMemoryHeap() {
    DestroyPrivateHeap(MemoryHeap);
}

void StringFree(char* text) {
    if (text)
        HeapFree(StringHeap, 0, text);
}

void StringAssign(char** slot, const char* text) {
    if (!text)
        return;
    size_t length = strlen(text);
    // Four spare bytes after the terminator let a word-wise copy overrun safely.
    char* copy = StringHeap ? static_cast<char*>(HeapAlloc(StringHeap, 0, length + 5)) : nullptr;
    *slot = copy;
    if (!copy)
        return;
    memcpy(copy, text, length);
    copy[length] = 0;
}

void* ThreadBlock_Create(int size, ThreadBlockInit init, ThreadBlockDestroy) {
    void* block = RuntimeAlloc(size, HEAP_ZERO_MEMORY);
    if (block && init)
        init(block);
    return block;
}

// The runtime is single-threaded: one block per library serves every caller.
void* ThreadBlock_Get(void* block) {
    return block;
}
