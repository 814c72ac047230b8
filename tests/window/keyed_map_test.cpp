#include "runtime/window/keyed_map.h"

#include "runtime_fixture.h"

#include <stddef.h>
#include <string.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct Item {
    int serial;
    int spare;
    char* label;
};
const DescriptorWord ItemLayout[] = {offsetof(Item, label), FIELD_END};

class KeyedMapTest : public RuntimeTest {
  protected:
    KeyedMap* map = nullptr;

    KeyedMap* Make(int buckets, StructureDescriptor descriptor = nullptr) {
        return Map_Create(sizeof(Item), 0, descriptor, &map, buckets);
    }
    Item* Add(const char* key, int serial, int replace = 0) {
        auto* item = static_cast<Item*>(Map_Add(map, key, replace));
        if (item)
            item->serial = serial;
        return item;
    }
    int FindSerial(const char* key) {
        auto* item = static_cast<Item*>(Map_Find(map, key));
        return item ? item->serial : -1;
    }
    // Every serial reached by a full iteration, in order.
    std::vector<int> Walk() {
        std::vector<int> serials;
        Map_Reset(map);
        while (auto* item = static_cast<Item*>(Map_Next(map)))
            serials.push_back(item->serial);
        return serials;
    }
    const char* CurrentKey() { return map->current ? map->current->key : nullptr; }
};

TEST_F(KeyedMapTest, HashTakesSignedBytesAndPicksTheBucket) {
    EXPECT_EQ(Map_Hash("abc"), 807794786u);
    EXPECT_EQ(Map_Hash(""), 0u);
    EXPECT_EQ(Map_Hash(nullptr), 0u);
    EXPECT_EQ(Map_Hash("\xff"), 0xFFFFFFFFu);
    EXPECT_EQ(Map_Hash("a\xe9"), 97u * 65599u + static_cast<uint32_t>(-23));

    Make(1024);
    void* element = Add("abc", 1);
    EXPECT_EQ(map->index, 98);
    ASSERT_NE(map->buckets[98], nullptr);
    EXPECT_EQ(map->buckets[98], MapNodeOf(element));
    EXPECT_STREQ(map->buckets[98]->key, "abc");
    EXPECT_NE(map->buckets[98]->key, static_cast<const char*>("abc")); // a copy
}

TEST_F(KeyedMapTest, CreateFreesHeldMapAndFreeClearsTheVariable) {
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    KeyedMap* first = Make(16);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(map, first);
    EXPECT_EQ(first->variable, &map);
    EXPECT_EQ(first->elementCount, 0);
    EXPECT_EQ(first->flags, 0u);
    // The runtime's own maps may share the node pool: one reference is this map's.
    int references = first->pool->sharedEntry->referenceCount;
    EXPECT_GE(references, 1);
    Add("x", 1);
    KeyedMap* second = Make(16); // the first goes
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->pool->sharedEntry->referenceCount, references);
    EXPECT_EQ(second->elementCount, 0);
    Map_Free(map);
    EXPECT_EQ(map, nullptr);
    Map_Free(nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);

    KeyedMap* needsInit = nullptr;
    const DescriptorWord withMap[] = {FIELD_MAP, 0, 8, 0, 0, 4, FIELD_END};
    Map_Create(8, 0, withMap, &needsInit, 4);
    EXPECT_EQ(needsInit->flags, MAP_NEEDS_INIT);
    Map_Free(needsInit);
}

TEST_F(KeyedMapTest, OneBucketMapHoldsEverything) {
    Make(0);
    EXPECT_EQ(map->bucketCount, 1);
    char key[16];
    for (int i = 0; i < 200; ++i) {
        sprintf(key, "key%d", i);
        Add(key, i);
    }
    EXPECT_EQ(map->elementCount, 200);
    for (int i = 0; i < 200; ++i) {
        sprintf(key, "key%d", i);
        ASSERT_EQ(FindSerial(key), i);
    }
    EXPECT_EQ(Walk().size(), 200u);
}

TEST_F(KeyedMapTest, AddWithAndWithoutReplace) {
    Make(8, ItemLayout);
    Item* first = Add("k", 1);
    StringAssign(&first->label, "label");
    Item* replaced = Add("k", 2, 1);
    EXPECT_EQ(replaced, first);
    EXPECT_EQ(map->elementCount, 1);
    EXPECT_EQ(replaced->label, nullptr); // zeroed, its string given back
    Item* second = Add("k", 3, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(map->elementCount, 2);
    EXPECT_EQ(FindSerial("k"), 3);
    Add(nullptr, 4); // a null key is the empty text
    EXPECT_EQ(FindSerial(""), 4);
}

TEST_F(KeyedMapTest, DeletingEveryVisitedElementEmptiesTheMap) {
    Make(8);
    char key[16];
    for (int i = 0; i < 50; ++i) {
        sprintf(key, "k%d", i);
        Add(key, i);
    }
    std::set<int> visited;
    Map_Reset(map);
    while (auto* item = static_cast<Item*>(Map_Next(map))) {
        EXPECT_TRUE(visited.insert(item->serial).second);
        EXPECT_EQ(Map_DeleteCurrent(map), nullptr);
    }
    EXPECT_EQ(visited.size(), 50u);
    EXPECT_EQ(map->elementCount, 0);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(map->buckets[i], nullptr);
    EXPECT_EQ(map->pool->totalSlots, 0); // every node went back
}

// One bucket: the chain is C, B, A (newest first).
class ChainTest : public KeyedMapTest {
  protected:
    void SetUp() override {
        KeyedMapTest::SetUp();
        Make(1);
        Add("A", 1);
        Add("B", 2);
        Add("C", 3);
    }
};

TEST_F(ChainTest, SecondDeleteInARowDoesNothing) {
    Map_Reset(map);
    EXPECT_EQ(static_cast<Item*>(Map_Next(map))->serial, 3);
    EXPECT_EQ(static_cast<Item*>(Map_Next(map))->serial, 2);
    EXPECT_EQ(Map_DeleteCurrent(map), nullptr);
    EXPECT_EQ(map->current, nullptr);
    EXPECT_EQ(map->flags, 0u);                  // the header's flags hold only MAP_NEEDS_INIT
    EXPECT_EQ(Map_DeleteCurrent(map), nullptr); // nothing is current any more
    EXPECT_EQ(map->elementCount, 2);
    EXPECT_EQ(static_cast<Item*>(Map_Next(map))->serial, 1); // what followed B
    EXPECT_EQ(Map_Next(map), nullptr);
    EXPECT_EQ(Walk(), (std::vector<int>{3, 1}));
}

TEST_F(ChainTest, MissedFindBetweenStepAndDeleteKeepsThePosition) {
    Map_Reset(map);
    Map_Next(map);
    Map_Next(map); // B
    EXPECT_EQ(Map_Find(map, "missing"), nullptr);
    EXPECT_STREQ(CurrentKey(), "B");
    EXPECT_EQ(map->index, 0);
    Map_DeleteCurrent(map);
    EXPECT_EQ(static_cast<Item*>(Map_Next(map))->serial, 1);
    EXPECT_EQ(Walk(), (std::vector<int>{3, 1}));
    EXPECT_EQ(FindSerial("A"), 1);
    EXPECT_EQ(FindSerial("B"), -1);
}

TEST_F(ChainTest, DeleteAfterFindGoesOnFromTheRightPlace) {
    Map_Reset(map);
    Map_Next(map); // C
    Map_Next(map); // B
    Map_DeleteCurrent(map);
    ASSERT_EQ(FindSerial("C"), 3); // heads the chain
    Map_DeleteCurrent(map);
    EXPECT_EQ(static_cast<Item*>(Map_Next(map))->serial, 1);
    EXPECT_EQ(Map_Next(map), nullptr);
    EXPECT_EQ(map->elementCount, 1);

    Add("D", 4); // D, A
    ASSERT_EQ(FindSerial("A"), 1);
    Map_DeleteCurrent(map);
    EXPECT_EQ(Map_Next(map), nullptr); // A was last
    EXPECT_EQ(Walk(), (std::vector<int>{4}));
}

TEST_F(ChainTest, CopyLeavesTheSourceCursorWhereItWas) {
    Map_Reset(map);
    Map_Next(map);
    Map_Next(map); // B
    KeyedMap* copy = nullptr;
    Map_Create(sizeof(Item), 0, nullptr, &copy, 5);
    EXPECT_EQ(Map_Copy(map, copy, 1), 1);
    EXPECT_STREQ(CurrentKey(), "B");
    Map_DeleteCurrent(map);
    EXPECT_EQ(static_cast<Item*>(Map_Next(map))->serial, 1);
    EXPECT_EQ(Walk(), (std::vector<int>{3, 1}));
    EXPECT_EQ(copy->elementCount, 3);
    Map_Free(copy);
}

TEST_F(KeyedMapTest, CopyFindsTheNewestOfTwinKeysAndDeepCopiesElements) {
    size_t strings = HeapBytesInUse(StringHeap);
    size_t records = HeapBytesInUse(RuntimeHeap);
    Make(4, ItemLayout);
    StringAssign(&Add("twin", 1)->label, "older");
    StringAssign(&Add("twin", 2)->label, "newer");
    Add("solo", 3);
    KeyedMap* copy = nullptr;
    Map_Create(sizeof(Item), 0, ItemLayout, &copy, 64);
    Map_Add(copy, "gone", 0);
    ASSERT_EQ(Map_Copy(map, copy, 1), 1);
    EXPECT_EQ(copy->elementCount, 3);
    auto* twin = static_cast<Item*>(Map_Find(copy, "twin"));
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(twin->serial, 2);
    EXPECT_STREQ(twin->label, "newer");
    EXPECT_NE(twin->label, static_cast<Item*>(Map_Find(map, "twin"))->label);
    EXPECT_EQ(Map_Find(copy, "gone"), nullptr);

    EXPECT_EQ(Map_Copy(map, map, 0), 1); // onto itself: nothing changes
    EXPECT_EQ(map->elementCount, 3);
    KeyedMap* narrow = nullptr;
    Map_Create(4, 0, nullptr, &narrow, 4);
    EXPECT_EQ(Map_Copy(map, narrow, 0), 0); // elements would not fit
    EXPECT_EQ(narrow->elementCount, 0);
    EXPECT_EQ(Map_Copy(nullptr, copy, 0), 0);
    EXPECT_EQ(Map_Copy(map, nullptr, 0), 0);

    Map_Free(narrow);
    Map_Free(copy);
    Map_Clear(map);
    EXPECT_EQ(map->elementCount, 0);
    EXPECT_EQ(HeapBytesInUse(StringHeap), strings);
    Map_Free(map);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), records);
}

// Random adds, finds, deletes while iterating, clears and copies, against a model holding the
// serials of each key from oldest to newest.
class KeyedMapModelTest : public KeyedMapTest, public ::testing::WithParamInterface<int> {
  protected:
    typedef std::map<std::string, std::vector<int>> Model;

    static size_t Total(const Model& model) {
        size_t total = 0;
        for (auto& entry : model)
            total += entry.second.size();
        return total;
    }

    static void Remove(Model& model, const std::string& key, int serial) {
        std::vector<int>& serials = model[key];
        for (size_t i = 0; i < serials.size(); ++i) {
            if (serials[i] == serial) {
                serials.erase(serials.begin() + i);
                break;
            }
        }
        if (serials.empty())
            model.erase(key);
    }

    static void Check(KeyedMap* checked, const Model& model) {
        ASSERT_EQ(checked->elementCount, static_cast<int>(Total(model)));
        std::multiset<int> expected, found;
        for (auto& entry : model) {
            auto* item = static_cast<Item*>(Map_Find(checked, entry.first.c_str()));
            ASSERT_NE(item, nullptr) << entry.first;
            ASSERT_EQ(item->serial, entry.second.back()) << entry.first;
            expected.insert(entry.second.begin(), entry.second.end());
        }
        Map_Reset(checked);
        while (auto* item = static_cast<Item*>(Map_Next(checked)))
            found.insert(item->serial);
        ASSERT_EQ(found, expected);
    }
};

TEST_P(KeyedMapModelTest, RandomOperationsMatchModel) {
    Make(GetParam());
    std::mt19937 random(7 + GetParam());
    Model model;
    int serial = 0;
    auto randomKey = [&]() {
        int n = static_cast<int>(random() % 60);
        return n == 0  ? std::string()
               : n < 5 ? std::string(1, static_cast<char>(0x80 + n))
                       : "key" + std::to_string(n);
    };
    for (int step = 0; step < 3000; ++step) {
        unsigned what = random() % 100;
        if (what < 50) {
            std::string key = randomKey();
            int replace = random() % 2;
            ++serial;
            Add(key.c_str(), serial, replace);
            std::vector<int>& serials = model[key];
            if (replace && !serials.empty())
                serials.back() = serial;
            else
                serials.push_back(serial);
        } else if (what < 70) {
            std::string key = randomKey();
            auto found = model.find(key);
            ASSERT_EQ(FindSerial(key.c_str()), found == model.end() ? -1 : found->second.back());
            if (found != model.end() && random() % 3 == 0) { // delete what was found
                Map_DeleteCurrent(map);
                Remove(model, key, found->second.back());
            }
        } else if (what < 90) {
            // A full iteration deleting some of what it visits, with misses and second
            // deletes in between; it must still visit every element once.
            std::multiset<int> before;
            for (auto& entry : model)
                before.insert(entry.second.begin(), entry.second.end());
            std::multiset<int> visited;
            Map_Reset(map);
            while (auto* item = static_cast<Item*>(Map_Next(map))) {
                visited.insert(item->serial);
                if (random() % 4 == 0)
                    Map_Find(map, "never there");
                if (random() % 3 == 0) {
                    std::string key = map->current->key;
                    int gone = item->serial;
                    EXPECT_EQ(Map_DeleteCurrent(map), nullptr);
                    Remove(model, key, gone);
                    if (random() % 2 == 0) {
                        EXPECT_EQ(Map_DeleteCurrent(map), nullptr);
                    }
                }
            }
            ASSERT_EQ(visited, before) << "step " << step;
        } else if (what < 93) {
            Map_Clear(map);
            model.clear();
        } else {
            KeyedMap* copy = nullptr;
            Map_Create(sizeof(Item), 0, nullptr, &copy, 1 + static_cast<int>(random() % 50));
            Map_Add(copy, "leftover", 0);
            ASSERT_EQ(Map_Copy(map, copy, 1), 1);
            Check(copy, model);
            Map_Free(copy);
        }
        ASSERT_EQ(map->elementCount, static_cast<int>(Total(model))) << "step " << step;
        if (step % 100 == 0)
            Check(map, model);
    }
    Check(map, model);
}

INSTANTIATE_TEST_SUITE_P(BucketCounts, KeyedMapModelTest, ::testing::Values(1, 7, 1024));

} // namespace
