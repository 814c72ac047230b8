// Registries of numbered objects: static numbers chosen by the caller index a slot table;
// AutoNumber asks for a dynamic object whose number is its own address.
//
// A dynamic number is valid until its object is freed; after that it may name a new object,
// since the heap hands the same address to the next record at once. A number kept past its
// object's free is therefore no longer the caller's to use.
#pragma once

#include "qv/core.h"
#include "runtime/core/layout.h"

#include <stdint.h>

// The slot table stays below the lowest address a Win32 process can map (64 KiB), so no
// dynamic number can ever fall inside it. Since it grows to growthStep slots past the number
// asked for, a registry's largest static number is this limit less its growth step, however
// far its table has grown.
constexpr int REGISTRY_MAX_CAPACITY = 0x10000;

typedef void (*RegistryFreeFunction)(int number);

struct RegistryLink {
    RegistryLink* older;
    RegistryLink* newer;
};
QV_ASSERT_SIZE(RegistryLink, 8);

struct ObjectRegistry {
    int objectSize;
    int growthStep;
    int capacity;
    void** slots;
    RegistryLink* dynamicHead;
    RegistryFreeFunction freeFunction;
    int iterPosition;
    RegistryLink* iterDynamic;
};
QV_ASSERT_SIZE(ObjectRegistry, 32);

// A registry in RuntimeHeap; null when the heap is gone or full, or the sizes are out of range.
ObjectRegistry* Registry_Create(int objectSize, int growthStep, RegistryFreeFunction freeFunction);
// 1 when Registry_Allocate takes the number, memory permitting: AutoNumber, or a static number
// from 0 to REGISTRY_MAX_CAPACITY less the growth step. 0 for any other, or no registry.
int Registry_AcceptsNumber(const ObjectRegistry* registry, int number);
// The zeroed record for number (a live one under that number is freed first), or for
// AutoNumber a new dynamic one; null for a null registry, a number beyond the largest static
// one or below -1, or when memory is short.
void* Registry_Allocate(ObjectRegistry* registry, int number);
// The live record of number; null for a null registry, a number naming no object, and a record
// whose first field is still 0.
void* Registry_Get(ObjectRegistry* registry, int number);
// Zeroes a static record or frees a dynamic one; a number naming no object is ignored.
void Registry_Release(ObjectRegistry* registry, int number);
// Calls the free function on every live static number, then on every dynamic one; nothing for
// a null registry or one without a free function.
void Registry_FreeAll(ObjectRegistry* registry);
void Registry_IterateBegin(ObjectRegistry* registry);
void* Registry_IterateNext(ObjectRegistry* registry, int* numberOut);

// The number of a dynamic object is the address of its record.
inline int Registry_NumberOf(void* record) {
    return static_cast<int>(reinterpret_cast<intptr_t>(record));
}
