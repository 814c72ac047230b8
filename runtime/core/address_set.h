// Sets of addresses, for telling the runtime's own records from any other value without
// reading memory at that value: open addressing with linear probing in a RuntimeHeap block.
#pragma once

#include <stdint.h>

struct AddressSet {
    uintptr_t* cells; // 0 marks an empty cell
    int cellCount;    // a power of two, or 0 before the first address
    int used;
};

// 1 when address is in the set, else 0. Looks only at the set, never at the address.
int AddressSet_Contains(const AddressSet* set, uintptr_t address);
// Adds a non-zero address that is not in the set yet. Returns 1, or 0 when the cells could not
// grow (the RuntimeHeap is full or gone); the set is unchanged then.
int AddressSet_Add(AddressSet* set, uintptr_t address);
// Takes an address out; one that is not in the set is ignored.
void AddressSet_Remove(AddressSet* set, uintptr_t address);
// Frees the cells: the set is empty afterwards, and may be used again.
void AddressSet_Free(AddressSet* set);
