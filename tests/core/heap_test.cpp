#include "runtime_fixture.h"

#include <string.h>

#include <vector>

namespace {

std::vector<HANDLE> ProcessHeaps() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(heaps.size(), heaps.data()));
    return heaps;
}

bool IsProcessHeap(HANDLE heap) {
    for (HANDLE h : ProcessHeaps())
        if (h == heap)
            return true;
    return false;
}

} // namespace

TEST(Heaps, StartupMakesThreeHeapsAndShutdownRemovesThemAll) {
    size_t before = ProcessHeaps().size();
    StartRuntime();
    ASSERT_NE(RuntimeHeap, nullptr);
    ASSERT_NE(StringHeap, nullptr);
    ASSERT_NE(MemoryHeap, nullptr);
    EXPECT_EQ(Program.processHeap, RuntimeHeap);
    EXPECT_EQ(Program.instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(ProcessHeaps().size(), before + 3);
    EXPECT_EQ(StringBufferSize, 16);
    EXPECT_EQ(StringBufferPosition, 0);
    EXPECT_EQ(HeapSize(StringHeap, 0, StringBuffer), 16u);
    HANDLE made[] = {RuntimeHeap, StringHeap, MemoryHeap};

    ShutdownRuntime();
    EXPECT_EQ(MemoryHeap, nullptr);
    EndRuntime();
    EXPECT_EQ(RuntimeHeap, nullptr);
    EXPECT_EQ(StringHeap, nullptr);
    EXPECT_EQ(ProcessHeaps().size(), before);
    for (HANDLE heap : made)
        EXPECT_FALSE(IsProcessHeap(heap));
}

TEST(Heaps, RuntimeCanStartAgainAfterItEnded) {
    for (int run = 0; run < 3; ++run) {
        StartRuntime();
        EXPECT_NE(RuntimeHeap, nullptr);
        ShutdownRuntime();
        EndRuntime();
    }
}

class Strings : public RuntimeTest {};

TEST_F(Strings, AssignCopiesIntoABlockFiveBytesLongerThanTheText) {
    char* empty = nullptr;
    StringAssign(&empty, "");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(HeapSize(StringHeap, 0, empty), 5u);
    EXPECT_EQ(empty[0], 0);

    char* seven = nullptr;
    const char source[] = "seven!!";
    StringAssign(&seven, source);
    ASSERT_NE(seven, nullptr);
    EXPECT_NE(seven, source);
    EXPECT_EQ(HeapSize(StringHeap, 0, seven), 12u);
    EXPECT_STREQ(seven, "seven!!");
    StringFree(empty);
    StringFree(seven);
}

TEST_F(Strings, NullSourceLeavesTheSlotAndNullFreeDoesNothing) {
    char* slot = nullptr;
    StringAssign(&slot, "kept");
    char* held = slot;
    StringAssign(&slot, nullptr);
    EXPECT_EQ(slot, held);
    EXPECT_STREQ(slot, "kept");
    StringFree(nullptr);
    StringFree(slot);
}

TEST_F(Strings, SourceEndingAtAPageBoundaryIsNotReadBeyondItsTerminator) {
    // A source whose terminator is the last byte of a committed page: reading past it faults.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    char* pages = static_cast<char*>(
        VirtualAlloc(nullptr, info.dwPageSize * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old;
    VirtualProtect(pages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &old);
    char* text = pages + info.dwPageSize - 4;
    memcpy(text, "abc", 4);
    char* slot = nullptr;
    StringAssign(&slot, text);
    EXPECT_STREQ(slot, "abc");
    StringFree(slot);
    VirtualFree(pages, 0, MEM_RELEASE);
}

class ThreadBlocks : public RuntimeTest {};

int seenNonZero = -1;
void CheckZeroed(void* block) {
    seenNonZero = 0;
    for (int i = 0; i < 80; ++i)
        seenNonZero |= static_cast<unsigned char*>(block)[i];
}

TEST_F(ThreadBlocks, BlockIsZeroWhenInitRunsAndGetReturnsIt) {
    // Dirty the heap first so zero-fill is really tested.
    void* dirty = HeapAlloc(RuntimeHeap, 0, 80);
    memset(dirty, 0xAB, 80);
    HeapFree(RuntimeHeap, 0, dirty);

    void* block = ThreadBlock_Create(80, CheckZeroed, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(seenNonZero, 0);
    EXPECT_EQ(HeapSize(RuntimeHeap, 0, block), 80u);
    EXPECT_EQ(ThreadBlock_Get(block), block);
}
