#include "runtime/core/address_set.h"

#include "runtime/core/heap.h"

namespace {

unsigned CellOf(uintptr_t address, int cellCount) {
    return (static_cast<uint32_t>(address >> 3) * 2654435761u) & (cellCount - 1);
}

constexpr int FewestCells = 16;

void InsertInto(uintptr_t* cells, int cellCount, uintptr_t address) {
    unsigned i = CellOf(address, cellCount);
    while (cells[i] != 0)
        i = (i + 1) & (cellCount - 1);
    cells[i] = address;
}

// Moves the addresses into newCount cells (none: the set is empty); false when they cannot be
// had, and the set stays as it was.
bool Resize(AddressSet* set, int newCount) {
    uintptr_t* cells = nullptr;
    if (newCount) {
        cells =
            static_cast<uintptr_t*>(RuntimeAlloc(newCount * sizeof(uintptr_t), HEAP_ZERO_MEMORY));
        if (!cells)
            return false;
        for (int i = 0; i < set->cellCount; ++i)
            if (set->cells[i])
                InsertInto(cells, newCount, set->cells[i]);
    }
    RuntimeFree(set->cells);
    set->cells = cells;
    set->cellCount = newCount;
    return true;
}

} // namespace

int AddressSet_Contains(const AddressSet* set, uintptr_t address) {
    if (set->cellCount == 0 || address == 0)
        return 0;
    for (unsigned i = CellOf(address, set->cellCount);; i = (i + 1) & (set->cellCount - 1)) {
        if (set->cells[i] == address)
            return 1;
        if (set->cells[i] == 0)
            return 0;
    }
}

int AddressSet_Add(AddressSet* set, uintptr_t address) {
    // At most half the cells are used, so probe chains stay short.
    if ((set->used + 1) * 2 > set->cellCount &&
        !Resize(set, set->cellCount ? set->cellCount * 2 : FewestCells))
        return 0;
    InsertInto(set->cells, set->cellCount, address);
    ++set->used;
    return 1;
}

void AddressSet_Remove(AddressSet* set, uintptr_t address) {
    if (set->cellCount == 0 || address == 0)
        return;
    unsigned mask = set->cellCount - 1;
    unsigned i = CellOf(address, set->cellCount);
    while (set->cells[i] != address) {
        if (set->cells[i] == 0)
            return;
        i = (i + 1) & mask;
    }
    // Backward-shift deletion keeps every probe chain unbroken.
    unsigned hole = i;
    for (unsigned j = (i + 1) & mask; set->cells[j] != 0; j = (j + 1) & mask) {
        unsigned home = CellOf(set->cells[j], set->cellCount);
        bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
        if (movable) {
            set->cells[hole] = set->cells[j];
            hole = j;
        }
    }
    set->cells[hole] = 0;
    --set->used;
    // An emptied set holds no memory, and one that has shrunk gives back what it grew by.
    if (set->used == 0)
        Resize(set, 0);
    else if (set->cellCount > FewestCells && set->used * 8 <= set->cellCount)
        Resize(set, set->cellCount / 2);
}

void AddressSet_Free(AddressSet* set) {
    RuntimeFree(set->cells);
    *set = {};
}
