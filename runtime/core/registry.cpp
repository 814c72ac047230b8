#include "runtime/core/registry.h"

#include "runtime/core/address_set.h"
#include "runtime/core/heap.h"

#include <string.h>

namespace {

// The live dynamic numbers are kept beside the registry record, so that a number naming no
// live object is answered with null instead of being used as an address.
struct RegistryBlock {
    ObjectRegistry record; // first, so the registry pointer is the block
    AddressSet live;
};

AddressSet* LiveOf(ObjectRegistry* registry) {
    return &reinterpret_cast<RegistryBlock*>(registry)->live;
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
        RuntimeAlloc(registry->objectSize + sizeof(RegistryLink), HEAP_ZERO_MEMORY));
    if (!header)
        return nullptr;
    void* record = header + 1;
    // A number is 32 bits wide: on a 64-bit build a record above 4 GiB cannot be numbered.
    bool numberable = true;
    if constexpr (sizeof(void*) > 4)
        numberable = reinterpret_cast<uintptr_t>(record) <= 0xFFFFFFFFu;
    if (!numberable || !AddressSet_Add(LiveOf(registry), reinterpret_cast<uintptr_t>(record))) {
        RuntimeFree(header);
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
    auto* block =
        static_cast<RegistryBlock*>(RuntimeAlloc(sizeof(RegistryBlock), HEAP_ZERO_MEMORY));
    if (!block)
        return nullptr;
    ObjectRegistry* registry = &block->record;
    registry->objectSize = objectSize;
    registry->growthStep = growthStep;
    registry->freeFunction = freeFunction;
    registry->slots =
        static_cast<void**>(RuntimeAlloc(growthStep * sizeof(void*), HEAP_ZERO_MEMORY));
    if (!registry->slots) {
        RuntimeFree(block);
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
    void* record = RuntimeAlloc(registry->objectSize, HEAP_ZERO_MEMORY);
    registry->slots[number] = record;
    return record;
}

void* Registry_Get(ObjectRegistry* registry, int number) {
    if (!registry)
        return nullptr;
    void* record;
    if (IsStatic(registry, number))
        record = registry->slots[number];
    else if (AddressSet_Contains(LiveOf(registry), AddressOf(number)))
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
    AddressSet* live = LiveOf(registry);
    if (!AddressSet_Contains(live, AddressOf(number)))
        return;
    AddressSet_Remove(live, AddressOf(number));
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
    RuntimeFree(header);
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
