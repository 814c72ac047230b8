// Structure descriptors and the four walkers that create, free and copy structures deeply,
// reaching the array, list and map libraries only through DynamicFieldHooks.
#pragma once

#include "runtime/core/layout.h"

#include <stdint.h>

// A descriptor is a sequence of words, one entry after another in increasing order of field
// offset, ended by FIELD_END. A word is 32 bits in the product; it is as wide as a pointer so
// that entries can hold the element descriptors they name.
typedef intptr_t DescriptorWord;
typedef const DescriptorWord* StructureDescriptor;

// First word of an entry; an offset (0 or greater) is a string field.
constexpr DescriptorWord FIELD_END = -1;
constexpr DescriptorWord FIELD_STATIC_ARRAY = -2; // -2, count, offset, stride, descriptor
constexpr DescriptorWord FIELD_STRUCTURE = -3;    // -3, offset, size, descriptor
// -4, offset, element size, element count, type code, element descriptor
constexpr DescriptorWord FIELD_ARRAY = -4;
constexpr DescriptorWord FIELD_LIST = -5; // -5, offset, element size, two words for the list
// -6, offset, element size, type code, element descriptor, bucket count
constexpr DescriptorWord FIELD_MAP = -6;
// -7, offset, dimension count n, element size, type code, element descriptor, n sizes
constexpr DescriptorWord FIELD_ARRAY_MULTI = -7;

// Builds the descriptor word that names a nested descriptor.
inline DescriptorWord DescriptorRef(StructureDescriptor descriptor) {
    return reinterpret_cast<DescriptorWord>(descriptor);
}

struct KeyedMap;

typedef void* (*CreateArrayHook)(int elementSize, int count, int typeCode,
                                 StructureDescriptor descriptor, void** owner);
typedef void* (*CreateMultiArrayHook)(int dimensions, int elementSize, int typeCode,
                                      StructureDescriptor descriptor, void** owner);
typedef void* (*CreateListHook)(int elementSize, void* owner, DescriptorWord first,
                                DescriptorWord second);
typedef KeyedMap* (*CreateMapHook)(int elementSize, int typeCode, StructureDescriptor descriptor,
                                   KeyedMap** variable, int bucketCount);
typedef int (*CopyArrayHook)(void* source, void* destination, int recreate);
typedef int (*CopyListHook)(void* source, void* destination, int flags);
typedef int (*CopyMapHook)(KeyedMap* source, KeyedMap* destination, int clearFirst);
typedef void (*FreeArrayHook)(void* array);
typedef void (*FreeListHook)(void* list);
typedef void (*FreeMapHook)(KeyedMap* map);

// Filled by the libraries' start-up routines; an absent library leaves its entries null and
// the walkers then leave its fields alone.
struct DynamicFieldHookTable {
    CreateArrayHook createArray;
    CreateMultiArrayHook createMultiArray;
    CreateListHook createList;
    CreateMapHook createMap;
    CopyArrayHook copyArray;
    CopyListHook copyList;
    CopyMapHook copyMap;
    FreeArrayHook freeArray;
    FreeListHook freeList;
    FreeMapHook freeMap;
};
QV_ASSERT_SIZE(DynamicFieldHookTable, 40);

extern DynamicFieldHookTable DynamicFieldHooks;

int Structure_NeedsInit(StructureDescriptor descriptor);
// The structure is zero-filled on entry.
void Structure_Init(void* structure, StructureDescriptor descriptor);
void Structure_Free(void* structure, StructureDescriptor descriptor);
void Structure_Copy(void* destination, int size, StructureDescriptor descriptor,
                    const void* source);
