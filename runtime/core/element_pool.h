// Element pools: many small records of one size handed out of larger chunks from RuntimeHeap,
// private to one owner or shared by every owner asking for the same slot size and flags; and
// RunOnce, the runtime's once-only initialisation.
#pragma once

#include "runtime/core/layout.h"

#include <windows.h>

#include <stdint.h>

// Low two bits of a request: 1 gives the pool its own lock, anything else an unlocked pool.
constexpr int POOL_LOCKED = 1;
constexpr int POOL_LOCK_MASK = 3;
constexpr int POOL_SHARED = 4;

// A slot's first word holds its chunk while in use and the next free slot while free; the
// element follows it.
constexpr int POOL_SLOT_LINK = sizeof(void*);

// The header in front of a chunk's slots.
struct PoolChunk {
    PoolChunk* next;
    PoolChunk* prev; // null for the first chunk of its list
    void* freeHead;  // first slot of the chunk's free list
    int capacity;
    int handedOut; // slots ever taken from the never-used tail
    int freeCount;
};
QV_ASSERT_SIZE(PoolChunk, 24);

struct SharedPoolEntry;

struct ElementPool {
    PoolChunk* fullChunks;      // no slot to hand out
    PoolChunk* availableChunks; // at least one slot to hand out
    SharedPoolEntry* sharedEntry;
    int totalSlots;
    int slotSize;
    int minChunkSlots;
    int maxChunkSlots;
    int locked;
    CRITICAL_SECTION lock; // initialised only when locked is 1
};
QV_ASSERT_SIZE(ElementPool, 56);

struct SharedPoolEntry {
    SharedPoolEntry* next;
    SharedPoolEntry* prev;
    ElementPool* pool;
    int slotSize;
    int flags; // as requested, POOL_SHARED included
    int referenceCount;
};
QV_ASSERT_SIZE(SharedPoolEntry, 24);

struct SharedPoolDirectoryRecord {
    SharedPoolEntry* head;
    CRITICAL_SECTION lock;
};

// The once-control word. It is handed to the platform as its INIT_ONCE, so it is as wide as
// a pointer: 32 bits in the product.
typedef LONG_PTR RunOnceControl;
QV_ASSERT_SIZE(RunOnceControl, 4);
static_assert(sizeof(RunOnceControl) == sizeof(INIT_ONCE), "the platform writes an INIT_ONCE");

typedef void (*RunOnceFunction)();

extern SharedPoolDirectoryRecord SharedPoolDirectory;
extern RunOnceControl sharedPoolsOnce;

ElementPool* ElementPool_Create(int elementSize, int minChunkSlots, int maxChunkSlots, int flags);
void* ElementPool_Alloc(ElementPool* pool);
void ElementPool_Free(ElementPool* pool, void* element);
void ElementPool_Clear(ElementPool* pool);
void ElementPool_Destroy(ElementPool* pool);
// 1 when element is the element of a slot in one of the pool's chunks (in use or not), else 0.
// Only compares addresses, so any pointer may be asked about.
int ElementPool_Owns(ElementPool* pool, const void* element);

// Shared pools live in RuntimeHeap, so a runtime started again on a fresh heap must begin with
// an empty directory instead of the dead entries of the last one.
void ElementPool_ForgetSharedPools();

// Calls function exactly once per control word; later callers wait until it has finished.
void RunOnce(RunOnceControl* control, RunOnceFunction function);

// Where RunOnce looks for the platform's primitive; tests point these elsewhere to take the
// compare-and-swap path.
extern const char* RunOnceLibraryName;
extern const char* RunOnceEntryName;
