// Runtime arrays: one block from RuntimeHeap, a header followed by the elements. A program holds
// an array as the address of its first element in a word, the array's owner.
#pragma once

#include "runtime/core/layout.h"
#include "runtime/core/structure.h"

#include <stdint.h>

struct ArrayHeader {
    int dimensions; // 1, or n for an array made by Array_CreateMulti
    int elementSize;
    StructureDescriptor descriptor; // of the elements, or null
    void** owner;                   // the word that holds this array's first element
    int count;                      // all elements
    int typeCode;                   // kept and passed on, never interpreted
};
QV_ASSERT_SIZE(ArrayHeader, 24);

inline ArrayHeader* ArrayHeaderOf(void* array) {
    return reinterpret_cast<ArrayHeader*>(static_cast<char*>(array) - sizeof(ArrayHeader));
}

// The index multipliers of a multi-dimensional array lie right after its owner word.
inline int32_t* ArrayMultipliersOf(void** owner) {
    return reinterpret_cast<int32_t*>(owner + 1);
}

void* Array_Create(int elementSize, int count, int typeCode, StructureDescriptor descriptor,
                   void** owner);
// The n dimension sizes lie in the n words after owner; they are replaced by the multipliers.
void* Array_CreateMulti(int dimensions, int elementSize, int typeCode,
                        StructureDescriptor descriptor, void** owner);
void Array_Free(void* array);
int Array_Copy(void* source, void* destination, int recreate);

// Start-up routine 11: hands the array operations to the structure walkers.
void StartArrays();
