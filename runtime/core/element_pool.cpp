#include "runtime/core/element_pool.h"

#include "runtime/core/heap.h"

SharedPoolDirectoryRecord SharedPoolDirectory;
RunOnceControl sharedPoolsOnce;

const char* RunOnceLibraryName = "Kernel32.dll";
const char* RunOnceEntryName = "InitOnceExecuteOnce";

namespace {

char* SlotsOf(PoolChunk* chunk) {
    return reinterpret_cast<char*>(chunk + 1);
}

PoolChunk*& ChunkOfSlot(void* slot) {
    return *static_cast<PoolChunk**>(slot);
}

void*& NextFreeOf(void* slot) {
    return *static_cast<void**>(slot);
}

void PushChunk(PoolChunk*& head, PoolChunk* chunk) {
    chunk->prev = nullptr;
    chunk->next = head;
    if (head)
        head->prev = chunk;
    head = chunk;
}

void UnlinkChunk(PoolChunk*& head, PoolChunk* chunk) {
    if (chunk->prev)
        chunk->prev->next = chunk->next;
    else
        head = chunk->next;
    if (chunk->next)
        chunk->next->prev = chunk->prev;
}

void FreeChunkList(PoolChunk*& head) {
    while (head) {
        PoolChunk* next = head->next;
        RuntimeFree(head);
        head = next;
    }
}

void EnterPool(ElementPool* pool) {
    if (pool->locked)
        EnterCriticalSection(&pool->lock);
}

void LeavePool(ElementPool* pool) {
    if (pool->locked)
        LeaveCriticalSection(&pool->lock);
}

// Chunks grow by about a sixteenth of the pool, in steps of 16 slots, within the pool's bounds.
int NextChunkSlots(const ElementPool* pool) {
    int n = (pool->totalSlots >> 4) & ~15;
    if (n < pool->minChunkSlots)
        n = pool->minChunkSlots;
    if (n > pool->maxChunkSlots)
        n = pool->maxChunkSlots;
    // Bounds below one would give a chunk without room for the slot it is made for.
    return n < 1 ? 1 : n;
}

PoolChunk* AllocChunk(int slots, int slotSize) {
    SIZE_T bytes = sizeof(PoolChunk) + static_cast<SIZE_T>(slots) * static_cast<SIZE_T>(slotSize);
    return static_cast<PoolChunk*>(RuntimeAlloc(bytes));
}

bool ListHoldsSlot(PoolChunk* list, int slotSize, const void* element) {
    auto address = reinterpret_cast<uintptr_t>(element);
    for (PoolChunk* chunk = list; chunk; chunk = chunk->next) {
        auto first = reinterpret_cast<uintptr_t>(SlotsOf(chunk)) + POOL_SLOT_LINK;
        uintptr_t span = static_cast<uintptr_t>(chunk->capacity) * slotSize;
        if (address >= first && address - first < span && (address - first) % slotSize == 0)
            return true;
    }
    return false;
}

void SetUpSharedPools() {
    InitializeCriticalSection(&SharedPoolDirectory.lock);
    SharedPoolDirectory.head = nullptr;
}

ElementPool* CreateSharedPool(int elementSize, int minChunkSlots, int maxChunkSlots, int flags,
                              int slotSize) {
    RunOnce(&sharedPoolsOnce, SetUpSharedPools);
    EnterCriticalSection(&SharedPoolDirectory.lock);
    ElementPool* pool = nullptr;
    SharedPoolEntry* entry = SharedPoolDirectory.head;
    while (entry && (entry->slotSize != slotSize || entry->flags != flags))
        entry = entry->next;
    if (entry) {
        ++entry->referenceCount;
        pool = entry->pool;
    } else {
        entry = static_cast<SharedPoolEntry*>(RuntimeAlloc(sizeof(SharedPoolEntry)));
        if (entry)
            pool =
                ElementPool_Create(elementSize, minChunkSlots, maxChunkSlots, flags & ~POOL_SHARED);
        if (pool) {
            entry->pool = pool;
            entry->slotSize = slotSize;
            entry->flags = flags;
            entry->referenceCount = 1;
            pool->sharedEntry = entry;
            entry->prev = nullptr;
            entry->next = SharedPoolDirectory.head;
            if (entry->next)
                entry->next->prev = entry;
            SharedPoolDirectory.head = entry;
        } else if (entry) {
            RuntimeFree(entry);
        }
    }
    LeaveCriticalSection(&SharedPoolDirectory.lock);
    return pool;
}

BOOL CALLBACK RunOnceCallback(PINIT_ONCE, PVOID parameter, PVOID*) {
    reinterpret_cast<RunOnceFunction>(parameter)();
    return TRUE;
}

typedef BOOL(WINAPI* InitOnceExecuteOnceFunction)(PINIT_ONCE, PINIT_ONCE_FN, PVOID, PVOID*);

} // namespace

ElementPool* ElementPool_Create(int elementSize, int minChunkSlots, int maxChunkSlots, int flags) {
    if (elementSize < 0)
        return nullptr;
    int slotSize = (elementSize + POOL_SLOT_LINK + POOL_SLOT_LINK - 1) & ~(POOL_SLOT_LINK - 1);
    if (flags & POOL_SHARED)
        return CreateSharedPool(slotSize - POOL_SLOT_LINK, minChunkSlots, maxChunkSlots, flags,
                                slotSize);

    auto* pool = static_cast<ElementPool*>(RuntimeAlloc(sizeof(ElementPool)));
    if (!pool)
        return nullptr;
    pool->availableChunks = nullptr;
    pool->fullChunks = nullptr;
    pool->sharedEntry = nullptr;
    pool->totalSlots = 0;
    pool->slotSize = slotSize;
    pool->minChunkSlots = minChunkSlots;
    pool->maxChunkSlots = maxChunkSlots;
    pool->locked = (flags & POOL_LOCK_MASK) == POOL_LOCKED;
    if (pool->locked)
        InitializeCriticalSection(&pool->lock);
    return pool;
}

void* ElementPool_Alloc(ElementPool* pool) {
    EnterPool(pool);
    char* slot;
    PoolChunk* chunk = pool->availableChunks;
    if (chunk) {
        if (chunk->freeCount > 0) {
            slot = static_cast<char*>(chunk->freeHead);
            chunk->freeHead = NextFreeOf(slot);
            --chunk->freeCount;
        } else {
            slot = SlotsOf(chunk) + static_cast<SIZE_T>(chunk->handedOut) * pool->slotSize;
            ++chunk->handedOut;
        }
        if (chunk->freeCount == 0 && chunk->handedOut >= chunk->capacity) {
            UnlinkChunk(pool->availableChunks, chunk);
            PushChunk(pool->fullChunks, chunk);
        }
    } else {
        int n = NextChunkSlots(pool);
        chunk = AllocChunk(n, pool->slotSize);
        if (!chunk) {
            n = 1;
            chunk = AllocChunk(n, pool->slotSize);
        }
        if (!chunk) {
            LeavePool(pool);
            return nullptr;
        }
        pool->totalSlots += n;
        chunk->capacity = n;
        chunk->handedOut = 1;
        chunk->freeCount = 0;
        chunk->freeHead = nullptr;
        PushChunk(n > 1 ? pool->availableChunks : pool->fullChunks, chunk);
        slot = SlotsOf(chunk);
    }
    ChunkOfSlot(slot) = chunk;
    LeavePool(pool);
    return slot + POOL_SLOT_LINK;
}

void ElementPool_Free(ElementPool* pool, void* element) {
    EnterPool(pool);
    char* slot = static_cast<char*>(element) - POOL_SLOT_LINK;
    PoolChunk* chunk = ChunkOfSlot(slot);
    NextFreeOf(slot) = chunk->freeHead;
    chunk->freeHead = slot;
    ++chunk->freeCount;
    bool wasFull = chunk->freeCount == 1 && chunk->handedOut >= chunk->capacity;
    if (chunk->freeCount == chunk->handedOut) {
        UnlinkChunk(wasFull ? pool->fullChunks : pool->availableChunks, chunk);
        pool->totalSlots -= chunk->capacity;
        RuntimeFree(chunk);
    } else if (wasFull) {
        UnlinkChunk(pool->fullChunks, chunk);
        PushChunk(pool->availableChunks, chunk);
    }
    LeavePool(pool);
}

void ElementPool_Clear(ElementPool* pool) {
    EnterPool(pool);
    FreeChunkList(pool->availableChunks);
    FreeChunkList(pool->fullChunks);
    pool->totalSlots = 0;
    LeavePool(pool);
}

void ElementPool_Destroy(ElementPool* pool) {
    if (!pool)
        return;
    SharedPoolEntry* entry = pool->sharedEntry;
    if (entry) {
        EnterCriticalSection(&SharedPoolDirectory.lock);
        if (--entry->referenceCount <= 0) {
            pool->sharedEntry = nullptr;
            ElementPool_Destroy(pool);
            if (entry->prev)
                entry->prev->next = entry->next;
            else
                SharedPoolDirectory.head = entry->next;
            if (entry->next)
                entry->next->prev = entry->prev;
            RuntimeFree(entry);
        }
        LeaveCriticalSection(&SharedPoolDirectory.lock);
        return;
    }
    ElementPool_Clear(pool);
    if (pool->locked)
        DeleteCriticalSection(&pool->lock);
    RuntimeFree(pool);
}

int ElementPool_Owns(ElementPool* pool, const void* element) {
    if (!pool || !element)
        return 0;
    EnterPool(pool);
    bool owns = ListHoldsSlot(pool->availableChunks, pool->slotSize, element) ||
                ListHoldsSlot(pool->fullChunks, pool->slotSize, element);
    LeavePool(pool);
    return owns;
}

void ElementPool_ForgetSharedPools() {
    RunOnce(&sharedPoolsOnce, SetUpSharedPools);
    EnterCriticalSection(&SharedPoolDirectory.lock);
    SharedPoolDirectory.head = nullptr;
    LeaveCriticalSection(&SharedPoolDirectory.lock);
}

void RunOnce(RunOnceControl* control, RunOnceFunction function) {
    HMODULE kernel = LoadLibraryA(RunOnceLibraryName);
    auto executeOnce = kernel
                           ? reinterpret_cast<InitOnceExecuteOnceFunction>(
                                 reinterpret_cast<void*>(GetProcAddress(kernel, RunOnceEntryName)))
                           : nullptr;
    if (executeOnce) {
        executeOnce(reinterpret_cast<PINIT_ONCE>(control), RunOnceCallback,
                    reinterpret_cast<PVOID>(function), nullptr);
        FreeLibrary(kernel);
        return;
    }
    if (kernel)
        FreeLibrary(kernel);

    // 0: never run, 1: running, 2: done.
    auto word = reinterpret_cast<PVOID volatile*>(control);
    PVOID was = InterlockedCompareExchangePointer(word, reinterpret_cast<PVOID>(1), nullptr);
    if (was == nullptr) {
        function();
        InterlockedExchangePointer(word, reinterpret_cast<PVOID>(2));
    } else if (was == reinterpret_cast<PVOID>(1)) {
        while (*word != reinterpret_cast<PVOID>(2))
            Sleep(0);
        MemoryBarrier(); // what function wrote is seen after its end is
    }
}
