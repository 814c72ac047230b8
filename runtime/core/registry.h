// Registries of numbered objects: static numbers chosen by the caller index a slot table;
// AutoNumber asks for a dynamic object whose number is its own address.
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

ObjectRegistry* Registry_Create(int objectSize, int growthStep, RegistryFreeFunction freeFunction);
// 1 when Registry_Allocate takes the number, memory permitting: AutoNumber, or a static number
// from 0 to REGISTRY_MAX_CAPACITY less the growth step. 0 for any other, or no registry.
int Registry_AcceptsNumber(const ObjectRegistry* registry, int number);
void* Registry_Allocate(ObjectRegistry* registry, int number);
void* Registry_Get(ObjectRegistry* registry, int number);
void Registry_Release(ObjectRegistry* registry, int number);
void Registry_FreeAll(ObjectRegistry* registry);
void Registry_IterateBegin(ObjectRegistry* registry);
void* Registry_IterateNext(ObjectRegistry* registry, int* numberOut);

// The number of a dynamic object is the address of its record.
inline int Registry_NumberOf(void* record) {
    return static_cast<int>(reinterpret_cast<intptr_t>(record));
}
