#include "runtime/core/structure.h"

#include "runtime/core/array.h"
#include "runtime/core/heap.h"
#include "runtime/window/keyed_map.h"

#include <string.h>

DynamicFieldHookTable DynamicFieldHooks;

namespace {

// One descriptor entry, decoded.
struct FieldEntry {
    DescriptorWord kind; // FIELD_*; 0 for a string field
    intptr_t offset;
    intptr_t size; // bytes the field takes in the structure
    const DescriptorWord* words;
    int length; // words of the entry
};

StructureDescriptor AsDescriptor(DescriptorWord word) {
    return reinterpret_cast<StructureDescriptor>(word);
}

// False at FIELD_END, and at a word that starts no known entry, so a damaged descriptor ends
// the walk instead of sending it through random memory.
bool ReadEntry(const DescriptorWord* at, FieldEntry& entry) {
    entry.words = at;
    entry.kind = at[0] >= 0 ? 0 : at[0];
    switch (entry.kind) {
    case 0:
        entry.offset = at[0];
        entry.size = sizeof(char*);
        entry.length = 1;
        return true;
    case FIELD_STATIC_ARRAY:
        entry.offset = at[2];
        entry.size = at[1] * at[3];
        entry.length = 5;
        return true;
    case FIELD_STRUCTURE:
        entry.offset = at[1];
        entry.size = at[2];
        entry.length = 4;
        return true;
    case FIELD_ARRAY:
        entry.offset = at[1];
        entry.size = sizeof(void*);
        entry.length = 6;
        return true;
    case FIELD_LIST:
        entry.offset = at[1];
        entry.size = 2 * sizeof(void*);
        entry.length = 5;
        return true;
    case FIELD_MAP:
        entry.offset = at[1];
        entry.size = sizeof(void*);
        entry.length = 6;
        return true;
    case FIELD_ARRAY_MULTI:
        entry.offset = at[1];
        entry.size = sizeof(void*) + 4 * at[2];
        entry.length = 6 + static_cast<int>(at[2]);
        return true;
    default:
        return false;
    }
}

template <typename T> T& FieldAt(void* base, intptr_t offset) {
    return *reinterpret_cast<T*>(static_cast<char*>(base) + offset);
}

template <typename T> T FieldAt(const void* base, intptr_t offset) {
    return *reinterpret_cast<const T*>(static_cast<const char*>(base) + offset);
}

// Without the library behind a field's hooks no such field can hold anything, so the walkers
// leave it alone.
void CopyArrayField(void** destination, void* source, bool keepDimensions) {
    if (!DynamicFieldHooks.createArray || !DynamicFieldHooks.copyArray ||
        !DynamicFieldHooks.freeArray)
        return;
    if (*destination)
        DynamicFieldHooks.freeArray(*destination);
    *destination = nullptr;
    if (!source)
        return;
    ArrayHeader* from = ArrayHeaderOf(source);
    void* copy = DynamicFieldHooks.createArray(from->elementSize, from->count, from->typeCode,
                                               from->descriptor, destination);
    if (!copy)
        return;
    if (keepDimensions)
        ArrayHeaderOf(copy)->dimensions = from->dimensions;
    DynamicFieldHooks.copyArray(source, copy, 0);
}

void CopyMapField(KeyedMap** destination, KeyedMap* source) {
    if (!DynamicFieldHooks.createMap || !DynamicFieldHooks.copyMap || !DynamicFieldHooks.freeMap)
        return;
    if (*destination)
        DynamicFieldHooks.freeMap(*destination);
    *destination = nullptr;
    if (!source)
        return;
    KeyedMap* copy =
        DynamicFieldHooks.createMap(source->elementSize, source->elementTypeCode,
                                    source->descriptor, destination, source->bucketCount);
    if (copy)
        DynamicFieldHooks.copyMap(source, copy, 0);
}

void CopyListField(void** destination, void* source, const FieldEntry& entry) {
    if (!DynamicFieldHooks.createList || !DynamicFieldHooks.copyList || !DynamicFieldHooks.freeList)
        return;
    if (*destination)
        DynamicFieldHooks.freeList(*destination);
    *destination = nullptr;
    if (!source)
        return;
    void* copy = DynamicFieldHooks.createList(static_cast<int>(entry.words[2]), destination,
                                              entry.words[3], entry.words[4]);
    if (copy)
        DynamicFieldHooks.copyList(source, copy, 0);
}

} // namespace

int Structure_NeedsInit(StructureDescriptor descriptor) {
    if (!descriptor)
        return 0;
    FieldEntry entry;
    for (const DescriptorWord* at = descriptor; ReadEntry(at, entry); at += entry.length) {
        switch (entry.kind) {
        case FIELD_ARRAY:
        case FIELD_LIST:
        case FIELD_MAP:
        case FIELD_ARRAY_MULTI:
            return 1;
        case FIELD_STATIC_ARRAY:
            if (Structure_NeedsInit(AsDescriptor(at[4])))
                return 1;
            break;
        case FIELD_STRUCTURE:
            if (Structure_NeedsInit(AsDescriptor(at[3])))
                return 1;
            break;
        }
    }
    return 0;
}

void Structure_Init(void* base, StructureDescriptor descriptor) {
    if (!descriptor)
        return;
    char* bytes = static_cast<char*>(base);
    FieldEntry entry;
    for (const DescriptorWord* at = descriptor; ReadEntry(at, entry); at += entry.length) {
        void** field = &FieldAt<void*>(base, entry.offset);
        switch (entry.kind) {
        case FIELD_STATIC_ARRAY:
            for (intptr_t i = 0; i < at[1]; ++i)
                Structure_Init(bytes + entry.offset + i * at[3], AsDescriptor(at[4]));
            break;
        case FIELD_STRUCTURE:
            Structure_Init(bytes + entry.offset, AsDescriptor(at[3]));
            break;
        case FIELD_ARRAY:
            if (DynamicFieldHooks.createArray)
                DynamicFieldHooks.createArray(static_cast<int>(at[2]), static_cast<int>(at[3]),
                                              static_cast<int>(at[4]), AsDescriptor(at[5]), field);
            break;
        case FIELD_LIST:
            if (DynamicFieldHooks.createList)
                DynamicFieldHooks.createList(static_cast<int>(at[2]), field, at[3], at[4]);
            break;
        case FIELD_MAP:
            if (DynamicFieldHooks.createMap)
                DynamicFieldHooks.createMap(
                    static_cast<int>(at[2]), static_cast<int>(at[3]), AsDescriptor(at[4]),
                    reinterpret_cast<KeyedMap**>(field), static_cast<int>(at[5]));
            break;
        case FIELD_ARRAY_MULTI: {
            int dimensions = static_cast<int>(at[2]);
            int32_t* sizes = ArrayMultipliersOf(field);
            for (int k = 0; k < dimensions; ++k)
                sizes[k] = static_cast<int32_t>(at[6 + k]);
            if (DynamicFieldHooks.createMultiArray)
                DynamicFieldHooks.createMultiArray(dimensions, static_cast<int>(at[3]),
                                                   static_cast<int>(at[4]), AsDescriptor(at[5]),
                                                   field);
            break;
        }
        }
    }
}

void Structure_Free(void* base, StructureDescriptor descriptor) {
    if (!descriptor)
        return;
    char* bytes = static_cast<char*>(base);
    FieldEntry entry;
    for (const DescriptorWord* at = descriptor; ReadEntry(at, entry); at += entry.length) {
        void** field = &FieldAt<void*>(base, entry.offset);
        switch (entry.kind) {
        case 0:
            // Cleared as well, so a structure freed twice, or freed and then copied into, never
            // hands the same string back twice.
            StringFree(static_cast<char*>(*field));
            *field = nullptr;
            break;
        case FIELD_STATIC_ARRAY:
            for (intptr_t i = 0; i < at[1]; ++i)
                Structure_Free(bytes + entry.offset + i * at[3], AsDescriptor(at[4]));
            break;
        case FIELD_STRUCTURE:
            Structure_Free(bytes + entry.offset, AsDescriptor(at[3]));
            break;
        case FIELD_ARRAY:
        case FIELD_ARRAY_MULTI:
            if (*field && DynamicFieldHooks.freeArray) {
                DynamicFieldHooks.freeArray(*field);
                *field = nullptr;
            }
            break;
        case FIELD_LIST:
            if (*field && DynamicFieldHooks.freeList) {
                DynamicFieldHooks.freeList(*field);
                *field = nullptr;
            }
            break;
        case FIELD_MAP:
            if (*field && DynamicFieldHooks.freeMap) {
                DynamicFieldHooks.freeMap(static_cast<KeyedMap*>(*field));
                *field = nullptr;
            }
            break;
        }
    }
}

void Structure_Copy(void* destination, int size, StructureDescriptor descriptor,
                    const void* source) {
    if (destination == source)
        return;
    char* to = static_cast<char*>(destination);
    const char* from = static_cast<const char*>(source);
    if (!descriptor) {
        memcpy(to, from, size);
        return;
    }
    intptr_t done = 0;
    FieldEntry entry;
    for (const DescriptorWord* at = descriptor; ReadEntry(at, entry); at += entry.length) {
        if (entry.offset > done)
            memcpy(to + done, from + done, entry.offset - done);
        void** field = &FieldAt<void*>(destination, entry.offset);
        void* sourceField = FieldAt<void*>(source, entry.offset);
        switch (entry.kind) {
        case 0: {
            // The copy is made before the old string goes, so a string that both fields
            // happen to hold is never read after it was freed.
            char* old = static_cast<char*>(*field);
            *field = nullptr;
            if (sourceField)
                StringAssign(reinterpret_cast<char**>(field), static_cast<char*>(sourceField));
            StringFree(old);
            break;
        }
        case FIELD_STATIC_ARRAY:
            for (intptr_t i = 0; i < at[1]; ++i) {
                intptr_t at_i = entry.offset + i * at[3];
                Structure_Copy(to + at_i, static_cast<int>(at[3]), AsDescriptor(at[4]),
                               from + at_i);
            }
            break;
        case FIELD_STRUCTURE:
            Structure_Copy(to + entry.offset, static_cast<int>(at[2]), AsDescriptor(at[3]),
                           from + entry.offset);
            break;
        case FIELD_ARRAY:
            CopyArrayField(field, sourceField, false);
            break;
        case FIELD_ARRAY_MULTI:
            CopyArrayField(field, sourceField, true);
            break;
        case FIELD_MAP:
            CopyMapField(reinterpret_cast<KeyedMap**>(field), static_cast<KeyedMap*>(sourceField));
            break;
        case FIELD_LIST:
            CopyListField(field, sourceField, entry);
            break;
        }
        done = entry.offset + entry.size;
    }
    if (size > done)
        memcpy(to + done, from + done, size - done);
}
