#include "runtime/core/array.h"

#include "runtime/core/heap.h"

#include <windows.h>

#include <string.h>

namespace {

// Largest element block an array may have: a size that would wrap the block's byte count
// must fail instead of making a short block.
constexpr uint64_t MaxArrayBytes = 0x7FFFFFFF - sizeof(ArrayHeader);

char* ElementAt(void* first, int elementSize, int index) {
    return static_cast<char*>(first) + static_cast<SIZE_T>(elementSize) * index;
}

} // namespace

void* Array_Create(int elementSize, int count, int typeCode, StructureDescriptor descriptor,
                   void** owner) {
    if (owner)
        Array_Free(*owner);
    if (elementSize < 0 || count < 0 ||
        static_cast<uint64_t>(elementSize) * static_cast<uint64_t>(count) > MaxArrayBytes)
        return nullptr;
    SIZE_T elementBytes = static_cast<SIZE_T>(elementSize) * static_cast<SIZE_T>(count);
    auto* header = static_cast<ArrayHeader*>(RuntimeAlloc(sizeof(ArrayHeader) + elementBytes));
    if (!header)
        return nullptr;
    header->dimensions = 1;
    header->elementSize = elementSize;
    header->descriptor = descriptor;
    header->owner = owner;
    header->count = count;
    header->typeCode = typeCode;
    void* first = header + 1;
    memset(first, 0, elementBytes);
    if (owner)
        *owner = first;
    if (Structure_NeedsInit(descriptor))
        for (int i = 0; i < count; ++i)
            Structure_Init(ElementAt(first, elementSize, i), descriptor);
    return first;
}

void* Array_CreateMulti(int dimensions, int elementSize, int typeCode,
                        StructureDescriptor descriptor, void** owner) {
    // From the last dimension backwards, so each product still reads sizes not yet replaced.
    int32_t* sizes = ArrayMultipliersOf(owner);
    int64_t total = 1;
    bool fits = true;
    for (int k = dimensions - 1; k >= 0; --k) {
        int64_t size = sizes[k];
        sizes[k] = static_cast<int32_t>(total);
        total *= size;
        if (total < 0 || total > 0x7FFFFFFF) {
            fits = false;
            total = 0;
        }
    }
    if (!fits) {
        Array_Free(*owner);
        return nullptr;
    }
    void* first = Array_Create(elementSize, static_cast<int>(total), typeCode, descriptor, owner);
    if (first)
        ArrayHeaderOf(first)->dimensions = dimensions;
    return first;
}

void Array_Free(void* array) {
    if (!array)
        return;
    ArrayHeader* header = ArrayHeaderOf(array);
    if (header->descriptor)
        for (int i = 0; i < header->count; ++i)
            Structure_Free(ElementAt(array, header->elementSize, i), header->descriptor);
    // An owner that has since taken another array keeps it.
    if (header->owner && *header->owner == array)
        *header->owner = nullptr;
    RuntimeFree(header);
}

int Array_Copy(void* source, void* destination, int recreate) {
    if (!source || !destination)
        return 0;
    ArrayHeader* from = ArrayHeaderOf(source);
    if (from->dimensions != ArrayHeaderOf(destination)->dimensions)
        return 0;
    // Recreating an array from itself would free the source before reading it.
    if (source == destination)
        return 1;
    if (recreate) {
        void** owner = ArrayHeaderOf(destination)->owner;
        if (!owner)
            Array_Free(destination);
        destination =
            Array_Create(from->elementSize, from->count, from->typeCode, from->descriptor, owner);
        if (!destination)
            return 0;
        ArrayHeaderOf(destination)->dimensions = from->dimensions;
    }
    ArrayHeader* to = ArrayHeaderOf(destination);
    // Equal counts of unequal elements would copy past the end of the smaller block.
    if (to->count != from->count || to->elementSize != from->elementSize)
        return 0;
    if (from->dimensions > 1 && from->owner && to->owner)
        memcpy(ArrayMultipliersOf(to->owner), ArrayMultipliersOf(from->owner),
               sizeof(int32_t) * from->dimensions);
    if (!from->descriptor) {
        memcpy(destination, source, static_cast<SIZE_T>(from->elementSize) * from->count);
    } else {
        for (int i = 0; i < from->count; ++i)
            Structure_Copy(ElementAt(destination, from->elementSize, i), from->elementSize,
                           from->descriptor, ElementAt(source, from->elementSize, i));
    }
    return 1;
}

void StartArrays() {
    DynamicFieldHooks.createArray = Array_Create;
    DynamicFieldHooks.createMultiArray = Array_CreateMulti;
    DynamicFieldHooks.copyArray = Array_Copy;
    DynamicFieldHooks.freeArray = Array_Free;
}
