#include "runtime/core/array.h"
#include "runtime/core/structure.h"
#include "runtime/window/keyed_map.h"

#include "runtime_fixture.h"

#include <stddef.h>
#include <string.h>

namespace {

struct Named {
    int id;
    char* name;
    int extra;
};
const DescriptorWord NamedLayout[] = {offsetof(Named, name), FIELD_END};

struct Record {
    int number;
    char* title;
    void* items; // 3 Named
    Named inner;
    Named pair[2];
    KeyedMap* index; // of Named
    void* grid;      // 2 x 3 ints, multipliers follow
    int32_t gridMultipliers[2];
    int tail;
};
// clang-format off
const DescriptorWord RecordLayout[] = {
    offsetof(Record, title),
    FIELD_ARRAY, offsetof(Record, items), sizeof(Named), 3, 7, DescriptorRef(NamedLayout),
    FIELD_STRUCTURE, offsetof(Record, inner), sizeof(Named), DescriptorRef(NamedLayout),
    FIELD_STATIC_ARRAY, 2, offsetof(Record, pair), sizeof(Named), DescriptorRef(NamedLayout),
    FIELD_MAP, offsetof(Record, index), sizeof(Named), 9, DescriptorRef(NamedLayout), 16,
    FIELD_ARRAY_MULTI, offsetof(Record, grid), 2, sizeof(int), 5, 0, 2, 3,
    FIELD_END};
// clang-format on

class StructureTest : public RuntimeTest {
  protected:
    char* Text(const char* text) {
        char* copy = nullptr;
        StringAssign(&copy, text);
        return copy;
    }
};

TEST_F(StructureTest, StartUpHandsArrayAndMapOperationsToTheWalkers) {
    EXPECT_EQ(DynamicFieldHooks.createArray, Array_Create);
    EXPECT_EQ(DynamicFieldHooks.createMultiArray, Array_CreateMulti);
    EXPECT_EQ(DynamicFieldHooks.copyArray, Array_Copy);
    EXPECT_EQ(DynamicFieldHooks.freeArray, Array_Free);
    EXPECT_EQ(DynamicFieldHooks.createMap, Map_Create);
    EXPECT_EQ(DynamicFieldHooks.copyMap, Map_Copy);
    EXPECT_EQ(DynamicFieldHooks.freeMap, Map_Free);
    EXPECT_EQ(DynamicFieldHooks.createList, nullptr);
    EXPECT_EQ(DynamicFieldHooks.copyList, nullptr);
    EXPECT_EQ(DynamicFieldHooks.freeList, nullptr);
}

TEST_F(StructureTest, ArrayCreateReplacesTheOwnersArrayWithZeroedOne) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    void* v = nullptr;
    void* first = Array_Create(8, 10, 3, nullptr, &v);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(v, first);
    size_t withOne = HeapBytesInUse(RuntimeHeap);
    memset(first, 0xAB, 80);

    void* second = Array_Create(8, 10, 3, nullptr, &v);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(v, second);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), withOne); // the first one went
    for (int i = 0; i < 80; ++i)
        ASSERT_EQ(static_cast<char*>(second)[i], 0);
    ArrayHeader* header = ArrayHeaderOf(second);
    EXPECT_EQ(static_cast<char*>(second) - reinterpret_cast<char*>(header),
              static_cast<ptrdiff_t>(sizeof(ArrayHeader)));
    EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, header)); // the block starts at the header
    EXPECT_EQ(header->dimensions, 1);
    EXPECT_EQ(header->elementSize, 8);
    EXPECT_EQ(header->count, 10);
    EXPECT_EQ(header->typeCode, 3);
    EXPECT_EQ(header->owner, &v);
    EXPECT_EQ(header->descriptor, nullptr);

    Array_Free(v);
    EXPECT_EQ(v, nullptr);
    Array_Free(nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);

    // Sizes whose byte count would wrap fail and leave the owner empty.
    EXPECT_EQ(Array_Create(0x10000, 0x10000, 0, nullptr, &v), nullptr);
    EXPECT_EQ(Array_Create(4, -1, 0, nullptr, &v), nullptr);
    EXPECT_EQ(v, nullptr);
}

TEST_F(StructureTest, MultiDimensionalArrayKeepsMultipliersAfterItsOwner) {
    struct {
        void* first;
        int32_t words[3];
    } owner = {nullptr, {2, 3, 4}};
    void* first = Array_CreateMulti(3, 4, 1, nullptr, &owner.first);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(owner.first, first);
    EXPECT_EQ(owner.words[0], 12);
    EXPECT_EQ(owner.words[1], 4);
    EXPECT_EQ(owner.words[2], 1);
    EXPECT_EQ(ArrayHeaderOf(first)->dimensions, 3);
    EXPECT_EQ(ArrayHeaderOf(first)->count, 24);
    // Element (1, 2, 3) is the last of the block.
    int* last = static_cast<int*>(first) + 1 * owner.words[0] + 2 * owner.words[1] + 3;
    EXPECT_EQ(last, static_cast<int*>(first) + 23);
    Array_Free(first);
    EXPECT_EQ(owner.first, nullptr);

    void* scalar = nullptr;
    ASSERT_NE(Array_CreateMulti(0, 4, 1, nullptr, &scalar), nullptr);
    EXPECT_EQ(ArrayHeaderOf(scalar)->count, 1);
    EXPECT_EQ(ArrayHeaderOf(scalar)->dimensions, 0);
    Array_Free(scalar);
}

TEST_F(StructureTest, FreeingArrayOfStructuresGivesBackEveryString) {
    size_t strings = HeapBytesInUse(StringHeap);
    size_t records = HeapBytesInUse(RuntimeHeap);
    void* v = nullptr;
    auto* people = static_cast<Named*>(Array_Create(sizeof(Named), 5, 0, NamedLayout, &v));
    ASSERT_NE(people, nullptr);
    for (int i = 0; i < 5; ++i)
        people[i].name = Text("someone with a name");
    Array_Free(v);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(HeapBytesInUse(StringHeap), strings);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), records);
}

TEST_F(StructureTest, NeedsInitOnlyForFieldsThatOwnContainers) {
    const DescriptorWord stringsOnly[] = {0, 8, FIELD_END};
    const DescriptorWord nestedStrings[] = {FIELD_STRUCTURE, 0, sizeof(Named),
                                            DescriptorRef(NamedLayout), FIELD_END};
    const DescriptorWord withMap[] = {FIELD_MAP, 0, 8, 0, 0, 4, FIELD_END};
    const DescriptorWord nestedMap[] = {0, FIELD_STRUCTURE,        8,
                                        8, DescriptorRef(withMap), FIELD_END};
    const DescriptorWord staticOfMaps[] = {FIELD_STATIC_ARRAY,     3,        0, 8,
                                           DescriptorRef(withMap), FIELD_END};
    const DescriptorWord plainStatic[] = {FIELD_STATIC_ARRAY, 3, 0, 8, 0, FIELD_END};
    EXPECT_EQ(Structure_NeedsInit(nullptr), 0);
    EXPECT_EQ(Structure_NeedsInit(stringsOnly), 0);
    EXPECT_EQ(Structure_NeedsInit(nestedStrings), 0);
    EXPECT_EQ(Structure_NeedsInit(plainStatic), 0);
    EXPECT_EQ(Structure_NeedsInit(withMap), 1);
    EXPECT_EQ(Structure_NeedsInit(nestedMap), 1);
    EXPECT_EQ(Structure_NeedsInit(staticOfMaps), 1);
    EXPECT_EQ(Structure_NeedsInit(RecordLayout), 1);
}

TEST_F(StructureTest, CopyGivesDestinationItsOwnStringAndKeepsPlainFields) {
    Named source = {11, Text("fresh"), 22};
    Named destination = {0, Text("stale"), 0};
    size_t strings = HeapBytesInUse(StringHeap);
    Structure_Copy(&destination, sizeof(Named), NamedLayout, &source);
    EXPECT_EQ(destination.id, 11);
    EXPECT_EQ(destination.extra, 22);
    ASSERT_NE(destination.name, nullptr);
    EXPECT_NE(destination.name, source.name);
    EXPECT_STREQ(destination.name, "fresh");
    EXPECT_STREQ(source.name, "fresh");
    EXPECT_EQ(HeapBytesInUse(StringHeap), strings); // "stale" went as "fresh" came

    char* before = destination.name;
    Structure_Copy(&destination, sizeof(Named), NamedLayout, &destination);
    EXPECT_EQ(destination.name, before);

    Named empty = {5, nullptr, 6};
    Structure_Copy(&destination, sizeof(Named), NamedLayout, &empty);
    EXPECT_EQ(destination.name, nullptr);
    EXPECT_EQ(destination.id, 5);
    Structure_Free(&source, NamedLayout);
    EXPECT_EQ(source.name, nullptr);
    Structure_Free(&source, NamedLayout); // a second free finds nothing to give back
}

TEST_F(StructureTest, ArrayCopyNeedsMatchingShapes) {
    void* flat = nullptr;
    struct {
        void* first;
        int32_t words[2];
    } grid = {nullptr, {2, 3}};
    Array_Create(4, 6, 0, nullptr, &flat);
    Array_CreateMulti(2, 4, 0, nullptr, &grid.first);
    EXPECT_EQ(Array_Copy(grid.first, flat, 0), 0);
    EXPECT_EQ(Array_Copy(flat, grid.first, 1), 0);
    EXPECT_EQ(Array_Copy(nullptr, flat, 0), 0);
    EXPECT_EQ(Array_Copy(flat, nullptr, 0), 0);

    void* shorter = nullptr;
    Array_Create(4, 5, 0, nullptr, &shorter);
    static_cast<int*>(shorter)[0] = 42;
    EXPECT_EQ(Array_Copy(flat, shorter, 0), 0);
    EXPECT_EQ(static_cast<int*>(shorter)[0], 42);
    // Same count of wider elements would overrun the destination.
    void* wide = nullptr;
    Array_Create(8, 6, 0, nullptr, &wide);
    EXPECT_EQ(Array_Copy(wide, flat, 0), 0);

    static_cast<int*>(flat)[5] = 7;
    EXPECT_EQ(Array_Copy(flat, shorter, 1), 1); // recreated in the source's shape
    EXPECT_EQ(ArrayHeaderOf(shorter)->count, 6);
    EXPECT_EQ(static_cast<int*>(shorter)[5], 7);
    EXPECT_EQ(ArrayHeaderOf(shorter)->owner, &shorter);

    // Recreating an array from itself must not free it first.
    EXPECT_EQ(Array_Copy(flat, flat, 1), 1);
    EXPECT_EQ(static_cast<int*>(flat)[5], 7);

    struct {
        void* first;
        int32_t words[2];
    } other = {nullptr, {3, 2}};
    Array_CreateMulti(2, 4, 0, nullptr, &other.first);
    static_cast<int*>(grid.first)[4] = 9;
    EXPECT_EQ(Array_Copy(grid.first, other.first, 0), 1);
    EXPECT_EQ(other.words[0], 3); // the source's multipliers
    EXPECT_EQ(other.words[1], 1);
    EXPECT_EQ(static_cast<int*>(other.first)[4], 9);
    for (void* array : {flat, grid.first, shorter, wide, other.first})
        Array_Free(array);
}

// A record holding every kind of owned field, filled with recognisable contents.
void FillRecord(Record& record, KeyedMap*& map, const char* tag, char* (*text)(const char*)) {
    record.number = 1;
    record.tail = 2;
    record.title = text(tag);
    auto* items = static_cast<Named*>(record.items);
    for (int i = 0; i < 3; ++i) {
        items[i].id = i;
        items[i].name = text(tag);
    }
    record.inner.name = text(tag);
    record.pair[0].name = text(tag);
    record.pair[1].id = 99;
    for (const char* key : {"one", "two", "three"}) {
        auto* element = static_cast<Named*>(Map_Add(map, key, 0));
        element->id = static_cast<int>(strlen(key));
        element->name = text(key);
    }
    int* cells = static_cast<int*>(record.grid);
    for (int i = 0; i < 6; ++i)
        cells[i] = 100 + i;
}

char* MakeText(const char* text) {
    char* copy = nullptr;
    StringAssign(&copy, text);
    return copy;
}

// No list library exists: its hooks stay null and the walkers must not call them.
TEST_F(StructureTest, ListFieldsAreLeftAloneWithoutListHooks) {
    struct WithList {
        char* name;
        void* list[2];
        int after;
    };
    const DescriptorWord layout[] = {
        offsetof(WithList, name), FIELD_LIST, offsetof(WithList, list), 8, 0, 0, FIELD_END};
    EXPECT_EQ(Structure_NeedsInit(layout), 1);
    WithList source = {};
    Structure_Init(&source, layout);
    EXPECT_EQ(source.list[0], nullptr);
    source.name = MakeText("listed");
    source.list[0] = &source; // whatever a list library would have put there
    source.after = 5;
    WithList destination = {};
    Structure_Copy(&destination, sizeof destination, layout, &source);
    EXPECT_STREQ(destination.name, "listed");
    EXPECT_EQ(destination.list[0], nullptr);
    EXPECT_EQ(destination.after, 5);
    Structure_Free(&source, layout);
    Structure_Free(&destination, layout);
}

TEST_F(StructureTest, InitBuildsEveryContainerField) {
    Record record = {};
    Structure_Init(&record, RecordLayout);
    ASSERT_NE(record.items, nullptr);
    EXPECT_EQ(ArrayHeaderOf(record.items)->count, 3);
    EXPECT_EQ(ArrayHeaderOf(record.items)->typeCode, 7);
    EXPECT_EQ(ArrayHeaderOf(record.items)->descriptor, NamedLayout);
    ASSERT_NE(record.index, nullptr);
    EXPECT_EQ(record.index->variable, &record.index);
    EXPECT_EQ(record.index->bucketCount, 16);
    EXPECT_EQ(record.index->elementTypeCode, 9);
    ASSERT_NE(record.grid, nullptr);
    EXPECT_EQ(ArrayHeaderOf(record.grid)->count, 6);
    EXPECT_EQ(ArrayHeaderOf(record.grid)->dimensions, 2);
    EXPECT_EQ(record.gridMultipliers[0], 3);
    EXPECT_EQ(record.gridMultipliers[1], 1);
    Structure_Free(&record, RecordLayout);
    EXPECT_EQ(record.items, nullptr);
    EXPECT_EQ(record.index, nullptr);
    EXPECT_EQ(record.grid, nullptr);
}

TEST_F(StructureTest, DeepCopySharesNothingAndFreeGivesEverythingBack) {
    size_t records = HeapBytesInUse(RuntimeHeap);
    size_t strings = HeapBytesInUse(StringHeap);
    Record source = {};
    Record destination = {};
    Structure_Init(&source, RecordLayout);
    Structure_Init(&destination, RecordLayout); // holds containers the copy must replace
    FillRecord(source, source.index, "source", MakeText);
    destination.title = MakeText("old title");
    Map_Add(destination.index, "old", 0);

    Structure_Copy(&destination, sizeof(Record), RecordLayout, &source);

    EXPECT_EQ(destination.number, 1);
    EXPECT_EQ(destination.tail, 2);
    EXPECT_EQ(destination.pair[1].id, 99);
    EXPECT_NE(destination.title, source.title);
    EXPECT_NE(destination.inner.name, source.inner.name);
    EXPECT_NE(destination.pair[0].name, source.pair[0].name);
    ASSERT_NE(destination.items, nullptr);
    EXPECT_NE(destination.items, source.items);
    EXPECT_EQ(ArrayHeaderOf(destination.items)->owner, &destination.items);
    auto* fromItems = static_cast<Named*>(source.items);
    auto* toItems = static_cast<Named*>(destination.items);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(toItems[i].id, i);
        EXPECT_NE(toItems[i].name, fromItems[i].name);
    }
    ASSERT_NE(destination.index, nullptr);
    EXPECT_NE(destination.index, source.index);
    EXPECT_EQ(destination.index->variable, &destination.index);
    EXPECT_EQ(destination.index->elementCount, 3);
    EXPECT_EQ(Map_Find(destination.index, "old"), nullptr);
    auto* two = static_cast<Named*>(Map_Find(destination.index, "two"));
    ASSERT_NE(two, nullptr);
    EXPECT_NE(two->name, static_cast<Named*>(Map_Find(source.index, "two"))->name);
    ASSERT_NE(destination.grid, nullptr);
    EXPECT_NE(destination.grid, source.grid);
    EXPECT_EQ(ArrayHeaderOf(destination.grid)->dimensions, 2);
    EXPECT_EQ(destination.gridMultipliers[0], 3);
    EXPECT_EQ(static_cast<int*>(destination.grid)[5], 105);

    // The copy lives on alone.
    Structure_Free(&source, RecordLayout);
    EXPECT_STREQ(destination.title, "source");
    EXPECT_STREQ(toItems[2].name, "source");
    EXPECT_STREQ(destination.pair[0].name, "source");
    EXPECT_STREQ(two->name, "two");
    EXPECT_EQ(static_cast<int*>(destination.grid)[0], 100);

    Structure_Free(&destination, RecordLayout);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), records);
    EXPECT_EQ(HeapBytesInUse(StringHeap), strings);
}

TEST_F(StructureTest, ArraysOfRecordsCopyAndFreeDeeply) {
    size_t records = HeapBytesInUse(RuntimeHeap);
    size_t strings = HeapBytesInUse(StringHeap);
    void* source = nullptr;
    void* destination = nullptr;
    auto* all = static_cast<Record*>(Array_Create(sizeof(Record), 3, 0, RecordLayout, &source));
    ASSERT_NE(all, nullptr);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(all[i].index, nullptr); // each element was initialised
        FillRecord(all[i], all[i].index, "element", MakeText);
    }
    Array_Create(sizeof(Record), 1, 0, RecordLayout, &destination);
    ASSERT_EQ(Array_Copy(source, destination, 1), 1);
    auto* copies = static_cast<Record*>(destination);
    EXPECT_EQ(ArrayHeaderOf(destination)->count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(copies[i].index->variable, &copies[i].index);
        EXPECT_EQ(copies[i].index->elementCount, 3);
        EXPECT_NE(copies[i].title, all[i].title);
        EXPECT_STREQ(copies[i].title, "element");
    }
    Array_Free(source);
    EXPECT_STREQ(static_cast<Named*>(Map_Find(copies[2].index, "one"))->name, "one");
    Array_Free(destination);
    EXPECT_EQ(source, nullptr);
    EXPECT_EQ(destination, nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), records);
    EXPECT_EQ(HeapBytesInUse(StringHeap), strings);
}

} // namespace
