#include "runtime/core/registry.h"

#include "runtime/core/heap.h"

#include <string.h>

namespace {

// The set of live dynamic numbers, kept beside the registry record so that a number naming no
// live object is answered with null instead of being used as an address. Open addressing with
// linear probing; deletion shifts later entries back, so there are no tombstones.
struct LiveSet {
    uintptr_t* keys; // 0 marks an empty cell
    int cellCount;   // a power of two, or 0 before the first dynamic object
    int used;
};

struct RegistryBlock {
    ObjectRegistry record; // first, so the registry pointer is the block
    LiveSet live;
};

LiveSet& LiveOf(ObjectRegistry* registry) {
    return reinterpret_cast<RegistryBlock*>(registry)->live;
}

unsigned CellOf(uintptr_t key, int cellCount) {
    return (static_cast<uint32_t>(key >> 3) * 2654435761u) & (cellCount - 1);
}

bool LiveContains(const LiveSet& set, uintptr_t key) {
    if (set.cellCount == 0)
        return false;
    for (unsigned i = CellOf(key, set.cellCount);; i = (i + 1) & (set.cellCount - 1)) {
        if (set.keys[i] == key)
            return true;
        if (set.keys[i] == 0)
            return false;
    }
}

void LiveInsertInto(uintptr_t* keys, int cellCount, uintptr_t key) {
    unsigned i = CellOf(key, cellCount);
    while (keys[i] != 0)
        i = (i + 1) & (cellCount - 1);
    keys[i] = key;
}

bool LiveAdd(LiveSet& set, uintptr_t key) {
    if ((set.used + 1) * 2 > set.cellCount) {
        int newCount = set.cellCount ? set.cellCount * 2 : 16;
        auto* keys = static_cast<uintptr_t*>(
            HeapAlloc(RuntimeHeap, HEAP_ZERO_MEMORY, newCount * sizeof(uintptr_t)));
        if (!keys)
            return false;
        for (int i = 0; i < set.cellCount; ++i)
            if (set.keys[i])
                LiveInsertInto(keys, newCount, set.keys[i]);
        if (set.keys)
            HeapFree(RuntimeHeap, 0, set.keys);
        set.keys = keys;
        set.cellCount = newCount;
    }
    LiveInsertInto(set.keys, set.cellCount, key);
    ++set.used;
    return true;
}

void LiveRemove(LiveSet& set, uintptr_t key) {
    if (set.cellCount == 0)
        return;
    unsigned mask = set.cellCount - 1;
    unsigned i = CellOf(key, set.cellCount);
    while (set.keys[i] != key) {
        if (set.keys[i] == 0)
            return;
        i = (i + 1) & mask;
    }
    // Backward-shift deletion keeps every probe chain unbroken.
    unsigned hole = i;
    for (unsigned j = (i + 1) & mask; set.keys[j] != 0; j = (j + 1) & mask) {
        unsigned home = CellOf(set.keys[j], set.cellCount);
        bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
        if (movable) {
            set.keys[hole] = set.keys[j];
            hole = j;
        }
    }
    set.keys[hole] = 0;
    --set.used;
}

bool IsStatic(const ObjectRegistry* registry, int number) {
    return number >= 0 && number < registry->capacity;
}

uintptr_t AddressOf(int number) {
    return static_cast<uintptr_t>(static_cast<uint32_t>(number));
}

RegistryLink* HeaderOf(int number) {
    return reinterpret_cast<RegistryLink*>(AddressOf(number)) - 1;
}

void* AllocateDynamic(ObjectRegistry* registry) {
    auto* header = static_cast<RegistryLink*>(
        HeapAlloc(RuntimeHeap, HEAP_ZERO_MEMORY, registry->objectSize + sizeof(RegistryLink)));
    if (!header)
        return nullptr;
    void* record = header + 1;
    // A number is 32 bits wide: on a 64-bit build a record above 4 GiB cannot be numbered.
    bool numberable = true;
    if constexpr (sizeof(void*) > 4)
        numberable = reinterpret_cast<uintptr_t>(record) <= 0xFFFFFFFFu;
    if (!numberable || !LiveAdd(LiveOf(registry), reinterpret_cast<uintptr_t>(record))) {
        HeapFree(RuntimeHeap, 0, header);
        return nullptr;
    }
    if (registry->dynamicHead) {
        registry->dynamicHead->newer = header;
        header->older = registry->dynamicHead;
    }
    registry->dynamicHead = header;
    return record;
}

bool GrowSlots(ObjectRegistry* registry, int number) {
    int capacity = number + registry->growthStep;
    void* slots =
        HeapReAlloc(RuntimeHeap, HEAP_ZERO_MEMORY, registry->slots, capacity * sizeof(void*));
    if (!slots)
        return false;
    registry->slots = static_cast<void**>(slots);
    registry->capacity = capacity;
    return true;
}

} // namespace

ObjectRegistry* Registry_Create(int objectSize, int growthStep, RegistryFreeFunction freeFunction) {
    if (!RuntimeHeap || objectSize < 4 || growthStep < 1 || growthStep > REGISTRY_MAX_CAPACITY)
        return nullptr;
    auto* block = static_cast<RegistryBlock*>(
        HeapAlloc(RuntimeHeap, HEAP_ZERO_MEMORY, sizeof(RegistryBlock)));
    if (!block)
        return nullptr;
    ObjectRegistry* registry = &block->record;
    registry->objectSize = objectSize;
    registry->growthStep = growthStep;
    registry->freeFunction = freeFunction;
    registry->slots =
        static_cast<void**>(HeapAlloc(RuntimeHeap, HEAP_ZERO_MEMORY, growthStep * sizeof(void*)));
    if (!registry->slots) {
        HeapFree(RuntimeHeap, 0, block);
        return nullptr;
    }
    registry->capacity = growthStep;
    return registry;
}

int Registry_AcceptsNumber(const ObjectRegistry* registry, int number) {
    return registry && (number == AutoNumber ||
                        (number >= 0 && number <= REGISTRY_MAX_CAPACITY - registry->growthStep));
}

void* Registry_Allocate(ObjectRegistry* registry, int number) {
    if (!Registry_AcceptsNumber(registry, number))
        return nullptr;
    if (number == AutoNumber)
        return AllocateDynamic(registry);
    if (number >= registry->capacity && !GrowSlots(registry, number))
        return nullptr;
    if (registry->slots[number]) {
        // Reuse frees whatever still lives under this number before handing the record back.
        if (registry->freeFunction)
            registry->freeFunction(number);
        return registry->slots[number];
    }
    void* record = HeapAlloc(RuntimeHeap, HEAP_ZERO_MEMORY, registry->objectSize);
    registry->slots[number] = record;
    return record;
}

void* Registry_Get(ObjectRegistry* registry, int number) {
    if (!registry)
        return nullptr;
    void* record;
    if (IsStatic(registry, number))
        record = registry->slots[number];
    else if (LiveContains(LiveOf(registry), AddressOf(number)))
        record = reinterpret_cast<void*>(AddressOf(number));
    else
        return nullptr;
    if (!record || *static_cast<int*>(record) == 0)
        return nullptr;
    return record;
}

void Registry_Release(ObjectRegistry* registry, int number) {
    if (!registry)
        return;
    if (IsStatic(registry, number)) {
        if (registry->slots[number])
            memset(registry->slots[number], 0, registry->objectSize);
        return;
    }
    LiveSet& live = LiveOf(registry);
    if (!LiveContains(live, AddressOf(number)))
        return;
    LiveRemove(live, AddressOf(number));
    RegistryLink* header = HeaderOf(number);
    if (header == registry->dynamicHead) {
        registry->dynamicHead = header->older;
        if (header->older)
            header->older->newer = nullptr;
    } else {
        header->newer->older = header->older;
        if (header->older)
            header->older->newer = header->newer;
    }
    // A walk that was about to yield this object goes on with the next newer one.
    if (registry->iterDynamic == header)
        registry->iterDynamic = header->newer;
    HeapFree(RuntimeHeap, 0, header);
}

void Registry_IterateBegin(ObjectRegistry* registry) {
    registry->iterPosition = 0;
    RegistryLink* oldest = registry->dynamicHead;
    while (oldest && oldest->older)
        oldest = oldest->older;
    registry->iterDynamic = oldest;
}

void* Registry_IterateNext(ObjectRegistry* registry, int* numberOut) {
    while (registry->iterPosition >= 0 && registry->iterPosition < registry->capacity) {
        int position = registry->iterPosition++;
        void* record = registry->slots[position];
        if (record && *static_cast<int*>(record) != 0) {
            *numberOut = position;
            return record;
        }
    }
    if (!registry->iterDynamic)
        return nullptr;
    void* record = registry->iterDynamic + 1;
    *numberOut = Registry_NumberOf(record);
    registry->iterDynamic = registry->iterDynamic->newer;
    return record;
}

void Registry_FreeAll(ObjectRegistry* registry) {
    if (!registry || !registry->freeFunction)
        return;
    Registry_IterateBegin(registry);
    int number;
    while (Registry_IterateNext(registry, &number))
        registry->freeFunction(number);
}
