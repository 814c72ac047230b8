// The runtime's three private heaps, runtime strings and per-library data blocks.
#pragma once

#include "qv/core.h" // RuntimeHeap: every runtime record; made and destroyed by the entry point

#include <windows.h>

extern HANDLE StringHeap; // runtime strings and the string area's work buffer
extern HANDLE MemoryHeap; // reserved for the memory-block allocator

extern char* StringBuffer;
extern int StringBufferSize;
extern int StringBufferPosition;

// The entry point's own heap: HeapCreate(0, 4096, 0), stored in RuntimeHeap; null when it cannot
// be made.
HANDLE CreateRuntimeHeap();
// Runs the forget functions (below), then destroys the RuntimeHeap and sets it to null. Does
// nothing more once it is gone.
void DestroyRuntimeHeap();

// The runtime's own blocks come and go through these two, so that no call reaches a heap that is
// not there (Windows faults on a null heap). A block of bytes from the RuntimeHeap, with
// HeapAlloc's flags; null when the heap has no room, and before the runtime starts or after it
// ends.
void* RuntimeAlloc(SIZE_T bytes, DWORD flags = 0);
// Gives a block back to the RuntimeHeap; does nothing for null, and once the heap is gone, with
// which every block went.
void RuntimeFree(void* block);

// What a library keeps pointing into the RuntimeHeap (its registry, its blocks) would point
// into freed memory once the heap is destroyed. A forget function sets such pointers to null,
// so that any call after the end finds nothing and returns 0 or does nothing. It runs just
// before the heap goes, must not allocate, and may free.
typedef void (*HeapForgetFunction)();
// Has forget run whenever the RuntimeHeap is destroyed, from now on; a function added before is
// not added twice. Returns 1, or 0 when the table of them is full (a fault of this build).
int RuntimeHeap_OnDestroy(HeapForgetFunction forget);

void StartStringArea();
void EndStringArea();
void StartMemoryHeap();
void EndMemoryHeap();

// A runtime string is a zero-terminated string in StringHeap; null is the empty string.
void StringFree(char* text);
// Stores a fresh copy of text in *slot (null text leaves the slot alone). The caller frees the
// slot's previous string first.
void StringAssign(char** slot, const char* text);

typedef void (*ThreadBlockInit)(void* block);
typedef void (*ThreadBlockDestroy)(void* block);
void* ThreadBlock_Create(int size, ThreadBlockInit init, ThreadBlockDestroy destroy);
void* ThreadBlock_Get(void* block);
