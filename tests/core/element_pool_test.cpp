#include "runtime/core/element_pool.h"

#include "runtime_fixture.h"

#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

class ElementPoolTest : public RuntimeTest {};

int SumCapacities(PoolChunk* chunk) {
    int total = 0;
    for (; chunk; chunk = chunk->next)
        total += chunk->capacity;
    return total;
}

int CountChunks(PoolChunk* chunk) {
    int count = 0;
    for (; chunk; chunk = chunk->next)
        ++count;
    return count;
}

bool DirectoryHolds(SharedPoolEntry* wanted) {
    for (SharedPoolEntry* entry = SharedPoolDirectory.head; entry; entry = entry->next)
        if (entry == wanted)
            return true;
    return false;
}

// Checks every chunk of a pool against the rules of its lists and returns the slots in use.
int CheckChunks(ElementPool* pool) {
    int inUse = 0;
    for (int full = 0; full < 2; ++full) {
        PoolChunk* prev = nullptr;
        for (PoolChunk* chunk = full ? pool->fullChunks : pool->availableChunks; chunk;
             prev = chunk, chunk = chunk->next) {
            EXPECT_EQ(chunk->prev, prev);
            bool hasRoom = chunk->freeCount > 0 || chunk->handedOut < chunk->capacity;
            EXPECT_EQ(hasRoom, !full);
            EXPECT_LT(chunk->freeCount, chunk->handedOut); // an empty chunk is given back
            EXPECT_LE(chunk->handedOut, chunk->capacity);
            int onList = 0;
            for (void* slot = chunk->freeHead; slot; slot = *static_cast<void**>(slot))
                ++onList;
            EXPECT_EQ(onList, chunk->freeCount);
            inUse += chunk->handedOut - chunk->freeCount;
        }
    }
    return inUse;
}

TEST_F(ElementPoolTest, SlotSizeIsElementPlusLinkRoundedToWords) {
    struct Case {
        int elementSize, slot32, slot64;
    } cases[] = {{5, 12, 16}, {8, 12, 16}, {12, 16, 24}, {28, 32, 40}, {0, 4, 8}};
    for (const Case& c : cases) {
        ElementPool* pool = ElementPool_Create(c.elementSize, 16, 256, 2);
        ASSERT_NE(pool, nullptr);
        EXPECT_EQ(pool->slotSize, sizeof(void*) == 4 ? c.slot32 : c.slot64) << c.elementSize;
        EXPECT_EQ(pool->totalSlots, 0);
        EXPECT_EQ(pool->locked, 0);
        ElementPool_Destroy(pool);
    }
    EXPECT_EQ(ElementPool_Create(-1, 16, 256, 2), nullptr);
}

TEST_F(ElementPoolTest, ChunksGrowBySixteenthInStepsOf16WithinBounds) {
    ElementPool* pool = ElementPool_Create(28, 16, 256, 2);
    std::vector<void*> held;
    held.push_back(ElementPool_Alloc(pool));
    EXPECT_EQ(pool->totalSlots, 16);
    ASSERT_NE(pool->availableChunks, nullptr);
    EXPECT_EQ(pool->availableChunks->capacity, 16);

    std::vector<int> growth;
    while (pool->totalSlots < 9000) {
        int before = pool->totalSlots;
        held.push_back(ElementPool_Alloc(pool));
        ASSERT_NE(held.back(), nullptr);
        if (pool->totalSlots != before) {
            int n = pool->totalSlots - before;
            int expected = (before >> 4) & ~15;
            expected = expected < 16 ? 16 : expected > 256 ? 256 : expected;
            ASSERT_EQ(n, expected) << "after " << before << " slots";
            if (before == 512) {
                EXPECT_EQ(n, 32);
            }
            growth.push_back(n);
        }
    }
    EXPECT_EQ(growth.back(), 256); // large pools stop at the maximum
    EXPECT_EQ(pool->totalSlots,
              SumCapacities(pool->fullChunks) + SumCapacities(pool->availableChunks));
    ElementPool_Destroy(pool);
}

TEST_F(ElementPoolTest, ChunkMovesBetweenListsAndIsFreedWithItsLastSlot) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    ElementPool* pool = ElementPool_Create(28, 16, 256, 2);
    void* slots[16];
    for (void*& slot : slots)
        slot = ElementPool_Alloc(pool);
    EXPECT_EQ(pool->availableChunks, nullptr);
    ASSERT_NE(pool->fullChunks, nullptr);
    PoolChunk* chunk = pool->fullChunks;
    EXPECT_EQ(chunk->handedOut, 16);
    for (void* slot : slots) // every element lies inside its chunk, one slot apart
        EXPECT_EQ((static_cast<char*>(slot) - reinterpret_cast<char*>(chunk + 1)) % pool->slotSize,
                  POOL_SLOT_LINK);

    ElementPool_Free(pool, slots[5]);
    EXPECT_EQ(pool->fullChunks, nullptr);
    EXPECT_EQ(pool->availableChunks, chunk);
    EXPECT_EQ(chunk->freeCount, 1);

    // A second chunk comes only once the first is full again.
    EXPECT_EQ(ElementPool_Alloc(pool), slots[5]);
    void* second = ElementPool_Alloc(pool);
    EXPECT_EQ(pool->totalSlots, 32);
    EXPECT_EQ(CountChunks(pool->fullChunks), 1);
    EXPECT_EQ(CountChunks(pool->availableChunks), 1);
    ElementPool_Free(pool, second); // the second chunk empties and goes back
    EXPECT_EQ(pool->totalSlots, 16);
    EXPECT_EQ(pool->availableChunks, nullptr);

    for (void* slot : slots)
        ElementPool_Free(pool, slot);
    EXPECT_EQ(pool->totalSlots, 0);
    EXPECT_EQ(pool->fullChunks, nullptr);
    EXPECT_EQ(pool->availableChunks, nullptr);
    ElementPool_Destroy(pool);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
}

TEST_F(ElementPoolTest, LastFreedSlotIsHandedOutFirst) {
    ElementPool* pool = ElementPool_Create(12, 16, 256, 2);
    void* a = ElementPool_Alloc(pool);
    void* b = ElementPool_Alloc(pool);
    void* c = ElementPool_Alloc(pool);
    ElementPool_Free(pool, b);
    ElementPool_Free(pool, a);
    EXPECT_EQ(ElementPool_Alloc(pool), a);
    EXPECT_EQ(ElementPool_Alloc(pool), b);
    void* d = ElementPool_Alloc(pool); // then the never-used tail
    EXPECT_NE(d, a);
    EXPECT_NE(d, b);
    EXPECT_NE(d, c);
    ElementPool_Destroy(pool);
}

TEST_F(ElementPoolTest, SingleSlotChunksAndBoundsBelowOne) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    for (int bound : {1, 0}) {
        ElementPool* pool = ElementPool_Create(28, bound, bound, 2);
        void* a = ElementPool_Alloc(pool);
        void* b = ElementPool_Alloc(pool);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(pool->availableChunks, nullptr); // a one-slot chunk is full at once
        EXPECT_EQ(CountChunks(pool->fullChunks), 2);
        EXPECT_EQ(pool->totalSlots, 2);
        ElementPool_Free(pool, a);
        EXPECT_EQ(CountChunks(pool->fullChunks), 1);
        EXPECT_EQ(pool->totalSlots, 1);
        ElementPool_Destroy(pool);
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
}

TEST_F(ElementPoolTest, ClearAndDestroyGiveEveryChunkBack) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    ElementPool* pool = ElementPool_Create(28, 16, 256, POOL_LOCKED);
    EXPECT_EQ(pool->locked, 1);
    for (int i = 0; i < 1000; ++i)
        ElementPool_Alloc(pool);
    ElementPool_Clear(pool);
    EXPECT_EQ(pool->totalSlots, 0);
    EXPECT_EQ(pool->fullChunks, nullptr);
    EXPECT_EQ(pool->availableChunks, nullptr);
    EXPECT_NE(ElementPool_Alloc(pool), nullptr); // still usable
    ElementPool_Destroy(pool);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
}

// Random takes and returns, checked after every step against the set of elements held.
TEST_F(ElementPoolTest, RandomSequenceMatchesModel) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    ElementPool* pool = ElementPool_Create(28, 16, 64, 2);
    std::mt19937 random(20261208);
    std::map<char*, unsigned> held; // element -> the stamp written into it
    std::vector<char*> order;
    unsigned stamp = 0;
    for (int step = 0; step < 20000; ++step) {
        // Phases of growth and shrinking make chunks fill, empty and come back.
        bool grow = (step / 2500) % 2 == 0;
        bool take = held.empty() || random() % 100 < (grow ? 70u : 30u);
        if (take) {
            char* element = static_cast<char*>(ElementPool_Alloc(pool));
            ASSERT_NE(element, nullptr);
            ASSERT_EQ(held.count(element), 0u) << "slot handed out twice at step " << step;
            ++stamp;
            for (int i = 0; i < 28; i += 4)
                memcpy(element + i, &stamp, 4);
            held[element] = stamp;
            order.push_back(element);
        } else {
            size_t pick = random() % order.size();
            char* element = order[pick];
            order[pick] = order.back();
            order.pop_back();
            for (int i = 0; i < 28; i += 4) // no other element overlapped it
                ASSERT_EQ(memcmp(element + i, &held[element], 4), 0);
            held.erase(element);
            ElementPool_Free(pool, element);
        }
        ASSERT_EQ(pool->totalSlots,
                  SumCapacities(pool->fullChunks) + SumCapacities(pool->availableChunks))
            << "step " << step;
        ASSERT_EQ(CheckChunks(pool), static_cast<int>(held.size())) << "step " << step;
    }
    for (char* element : order)
        ElementPool_Free(pool, element);
    EXPECT_EQ(pool->totalSlots, 0);
    ElementPool_Destroy(pool);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
}

struct LockedPoolWork {
    ElementPool* pool;
    HANDLE go;
    int failures;
};

DWORD WINAPI TakeAndReturn(void* parameter) {
    auto* work = static_cast<LockedPoolWork*>(parameter);
    WaitForSingleObject(work->go, INFINITE);
    std::vector<unsigned*> mine;
    unsigned tag = GetCurrentThreadId();
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 50; ++i) {
            auto* element = static_cast<unsigned*>(ElementPool_Alloc(work->pool));
            *element = tag;
            mine.push_back(element);
        }
        for (unsigned* element : mine)
            if (*element != tag)
                ++work->failures;
        for (unsigned* element : mine)
            ElementPool_Free(work->pool, element);
        mine.clear();
    }
    return 0;
}

TEST_F(ElementPoolTest, LockedPoolServesSeveralThreads) {
    ElementPool* pool = ElementPool_Create(28, 16, 256, POOL_LOCKED);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    LockedPoolWork work[4];
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) {
        work[i] = {pool, go, 0};
        threads[i] = CreateThread(nullptr, 0, TakeAndReturn, &work[i], 0, nullptr);
    }
    SetEvent(go);
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(work[i].failures, 0);
        CloseHandle(threads[i]);
    }
    CloseHandle(go);
    EXPECT_EQ(pool->totalSlots, 0);
    ElementPool_Destroy(pool);
}

TEST_F(ElementPoolTest, SharedPoolsAreCountedAndFreedWithTheirLastOwner) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    SharedPoolEntry* head = SharedPoolDirectory.head; // pools the runtime made itself
    // Sizes 5 and 8 round to the same slot, so they share.
    ElementPool* first = ElementPool_Create(5, 16, 65536, POOL_SHARED);
    ElementPool* second = ElementPool_Create(8, 16, 65536, POOL_SHARED);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    SharedPoolEntry* entry = first->sharedEntry;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->pool, first);
    EXPECT_EQ(entry->referenceCount, 2);
    EXPECT_EQ(entry->flags, POOL_SHARED);
    EXPECT_EQ(entry->slotSize, first->slotSize);
    EXPECT_EQ(SharedPoolDirectory.head, entry);

    // Other low flag bits or another slot size give other pools.
    ElementPool* locked = ElementPool_Create(8, 16, 65536, POOL_SHARED | POOL_LOCKED);
    ElementPool* bigger = ElementPool_Create(28, 16, 65536, POOL_SHARED);
    EXPECT_NE(locked, first);
    EXPECT_NE(bigger, first);
    EXPECT_EQ(locked->locked, 1);
    EXPECT_EQ(first->locked, 0);

    ElementPool_Destroy(first);
    EXPECT_EQ(entry->referenceCount, 1);
    void* element = ElementPool_Alloc(second); // still usable
    ASSERT_NE(element, nullptr);
    ElementPool_Free(second, element);
    EXPECT_TRUE(DirectoryHolds(entry));

    ElementPool_Destroy(second);
    EXPECT_FALSE(DirectoryHolds(entry));
    // Entries around the one removed stay linked both ways.
    ASSERT_NE(SharedPoolDirectory.head, nullptr);
    EXPECT_EQ(SharedPoolDirectory.head->prev, nullptr);
    EXPECT_EQ(SharedPoolDirectory.head->next->prev, SharedPoolDirectory.head);
    ElementPool_Destroy(locked);
    ElementPool_Destroy(bigger);
    EXPECT_EQ(SharedPoolDirectory.head, head);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
}

// A shared pool never destroyed goes with its runtime heap; the next runtime must not find it.
TEST_F(ElementPoolTest, SharedPoolsDoNotOutliveTheirRuntimeHeap) {
    ElementPool* leftOver = ElementPool_Create(100, 16, 65536, POOL_SHARED);
    ASSERT_NE(leftOver, nullptr);
    ElementPool_Alloc(leftOver);
    ShutdownRuntime();
    EndRuntime();
    StartRuntime();
    ElementPool* fresh = ElementPool_Create(100, 16, 65536, POOL_SHARED);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->sharedEntry->referenceCount, 1);
    EXPECT_EQ(fresh->totalSlots, 0);
    int sameSize = 0;
    for (SharedPoolEntry* entry = SharedPoolDirectory.head; entry; entry = entry->next)
        sameSize += entry->slotSize == fresh->slotSize;
    EXPECT_EQ(sameSize, 1);
    EXPECT_NE(ElementPool_Alloc(fresh), nullptr);
    ElementPool_Destroy(fresh);
}

// RunOnce from several threads at once, on the platform's primitive and on the fallback.
volatile LONG OnceCalls;
volatile LONG OnceFinished;

void SlowOnce() {
    InterlockedIncrement(&OnceCalls);
    Sleep(50); // everyone else arrives while this runs
    InterlockedExchange(&OnceFinished, 1);
}

struct OnceWork {
    RunOnceControl* control;
    HANDLE go;
    LONG sawFinished;
};

DWORD WINAPI CallOnce(void* parameter) {
    auto* work = static_cast<OnceWork*>(parameter);
    WaitForSingleObject(work->go, INFINITE);
    RunOnce(work->control, SlowOnce);
    work->sawFinished = OnceFinished;
    return 0;
}

void RunOnceFromThreads(RunOnceControl* control) {
    OnceCalls = 0;
    OnceFinished = 0;
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OnceWork work[6];
    HANDLE threads[6];
    for (int i = 0; i < 6; ++i) {
        work[i] = {control, go, 0};
        threads[i] = CreateThread(nullptr, 0, CallOnce, &work[i], 0, nullptr);
    }
    SetEvent(go);
    WaitForMultipleObjects(6, threads, TRUE, INFINITE);
    EXPECT_EQ(OnceCalls, 1);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(work[i].sawFinished, 1) << "thread " << i << " returned before the end";
        CloseHandle(threads[i]);
    }
    CloseHandle(go);
    RunOnce(control, SlowOnce); // and never again
    EXPECT_EQ(OnceCalls, 1);
}

class RunOnceTest : public ::testing::Test {
  protected:
    void TearDown() override {
        RunOnceLibraryName = "Kernel32.dll";
        RunOnceEntryName = "InitOnceExecuteOnce";
    }
};

TEST_F(RunOnceTest, PlatformPrimitiveRunsFunctionOnce) {
    RunOnceControl control = 0;
    RunOnceFromThreads(&control);
    EXPECT_NE(control, 0);
}

TEST_F(RunOnceTest, FallbackWithoutLibraryRunsFunctionOnce) {
    RunOnceLibraryName = "qv_missing_kernel.dll";
    RunOnceControl control = 0;
    RunOnceFromThreads(&control);
    EXPECT_EQ(control, 2);
}

TEST_F(RunOnceTest, FallbackWithoutEntryRunsFunctionOnce) {
    RunOnceEntryName = "QvMissingExecuteOnce";
    RunOnceControl control = 0;
    RunOnceFromThreads(&control);
    EXPECT_EQ(control, 2);
}

} // namespace
