#include "runtime/core/registry.h"
#include "runtime_fixture.h"

#include <map>
#include <random>
#include <vector>

namespace {

struct Object {
    int handle; // non-zero while in use
    int payload[4];
};

ObjectRegistry* registry;
std::vector<int> freed;

// The free function every library writes: -1 frees all, others release what they hold.
void FreeObject(int number) {
    if (number == -1) {
        Registry_FreeAll(registry);
        return;
    }
    if (!Registry_Get(registry, number))
        return;
    freed.push_back(number);
    Registry_Release(registry, number);
}

class Registry : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        freed.clear();
        registry = Registry_Create(sizeof(Object), 16, FreeObject);
        ASSERT_NE(registry, nullptr);
    }

    Object* Make(int number, int handle = 1) {
        auto* object = static_cast<Object*>(Registry_Allocate(registry, number));
        if (object)
            object->handle = handle;
        return object;
    }
};

TEST_F(Registry, GrowsBeyondTheRequestedNumberAndZeroFillsNewSlots) {
    EXPECT_EQ(registry->objectSize, 20);
    EXPECT_EQ(registry->capacity, 16);
    ASSERT_NE(Make(40), nullptr);
    EXPECT_EQ(registry->capacity, 56);
    for (int i = 16; i < 56; ++i)
        if (i != 40) {
            EXPECT_EQ(registry->slots[i], nullptr) << i;
        }
    EXPECT_NE(Registry_Get(registry, 40), nullptr);
}

TEST_F(Registry, ReusingANumberFreesTheLiveObjectAndHandsBackTheSameZeroedRecord) {
    Object* first = Make(3, 77);
    first->payload[2] = 9;
    EXPECT_TRUE(freed.empty());
    Object* second = static_cast<Object*>(Registry_Allocate(registry, 3));
    EXPECT_EQ(second, first);
    EXPECT_EQ(freed, std::vector<int>{3});
    EXPECT_EQ(second->handle, 0);
    EXPECT_EQ(second->payload[2], 0);
}

TEST_F(Registry, ReleasedStaticRecordStaysAllocatedAndIsReused) {
    Object* record = Make(3);
    Registry_Release(registry, 3);
    EXPECT_EQ(Registry_Get(registry, 3), nullptr);
    EXPECT_EQ(registry->slots[3], record);
    EXPECT_EQ(record->handle, 0);
    EXPECT_EQ(Registry_Allocate(registry, 3), record);
    EXPECT_TRUE(freed.empty());    // the free function ran but found nothing
    Registry_Release(registry, 9); // empty slot: nothing happens
    EXPECT_EQ(registry->slots[9], nullptr);
}

TEST_F(Registry, RecordWithZeroFirstFieldIsAbsent) {
    ASSERT_NE(Make(5, 0), nullptr);
    EXPECT_EQ(Registry_Get(registry, 5), nullptr);
    Registry_FreeAll(registry);
    EXPECT_TRUE(freed.empty());
}

TEST_F(Registry, FreeAllVisitsStaticAscendingThenDynamicOldestFirst) {
    Object* a = Make(AutoNumber);
    Make(7);
    Object* b = Make(AutoNumber);
    Make(2);
    Object* c = Make(AutoNumber);
    Make(30);
    FreeObject(-1);
    std::vector<int> expected = {
        2, 7, 30, Registry_NumberOf(a), Registry_NumberOf(b), Registry_NumberOf(c)};
    EXPECT_EQ(freed, expected);
    EXPECT_EQ(registry->dynamicHead, nullptr);
    for (int number : expected)
        EXPECT_EQ(Registry_Get(registry, number), nullptr);
}

TEST_F(Registry, FreeFunctionReleasingTheNextDynamicObjectDoesNotDerailTheWalk) {
    static std::vector<int> order;
    static int victim;
    order.clear();
    registry->freeFunction = [](int number) {
        order.push_back(number);
        Registry_Release(registry, number);
        Registry_Release(registry, victim); // releases the object the walk would yield next
    };
    Object* a = Make(AutoNumber);
    Object* b = Make(AutoNumber);
    Object* c = Make(AutoNumber);
    victim = Registry_NumberOf(b);
    Registry_FreeAll(registry);
    EXPECT_EQ(order, (std::vector<int>{Registry_NumberOf(a), Registry_NumberOf(c)}));
    EXPECT_EQ(registry->dynamicHead, nullptr);
}

TEST_F(Registry, ReleasingNewestOldestOrMiddleKeepsTheOthersInOrder) {
    for (int removed = 0; removed < 3; ++removed) {
        freed.clear();
        Object* objects[3] = {Make(AutoNumber), Make(AutoNumber), Make(AutoNumber)};
        Registry_Release(registry, Registry_NumberOf(objects[removed]));
        EXPECT_EQ(Registry_Get(registry, Registry_NumberOf(objects[removed])), nullptr);
        std::vector<int> expected;
        for (int i = 0; i < 3; ++i)
            if (i != removed) {
                EXPECT_EQ(Registry_Get(registry, Registry_NumberOf(objects[i])), objects[i]);
                expected.push_back(Registry_NumberOf(objects[i]));
            }
        Registry_FreeAll(registry);
        EXPECT_EQ(freed, expected) << "removed " << removed;
    }
}

TEST_F(Registry, NumbersThatNameNoLiveObjectAreNeverUsedAsAddresses) {
    Object* dynamic = Make(AutoNumber);
    int stale = Registry_NumberOf(dynamic);
    Registry_Release(registry, stale);
    EXPECT_EQ(Registry_Get(registry, stale), nullptr);
    Registry_Release(registry, stale); // a second release is ignored

    Object local = {1, {}};
    int neverAllocated = Registry_NumberOf(&local);
    EXPECT_EQ(Registry_Get(registry, neverAllocated), nullptr);
    Registry_Release(registry, neverAllocated);
    EXPECT_EQ(local.handle, 1);

    EXPECT_EQ(Registry_Get(registry, 1000), nullptr); // static number beyond the capacity
    Registry_Release(registry, 1000);
    EXPECT_EQ(Registry_Get(registry, -5), nullptr);
    EXPECT_EQ(Registry_Allocate(registry, -5), nullptr);
    EXPECT_EQ(Registry_Allocate(registry, REGISTRY_MAX_CAPACITY), nullptr);
    EXPECT_EQ(registry->capacity, 16);
}

TEST_F(Registry, LargestStaticNumberIsTheLimitLessTheGrowthStep) {
    const int largest = REGISTRY_MAX_CAPACITY - 16;
    EXPECT_EQ(Make(largest + 1), nullptr);
    EXPECT_EQ(registry->capacity, 16);
    ASSERT_NE(Make(largest), nullptr);
    EXPECT_EQ(registry->capacity, REGISTRY_MAX_CAPACITY);
    // The table now has slots past it, but the limit does not move with the table.
    EXPECT_EQ(Make(largest + 1), nullptr);
    EXPECT_EQ(Make(REGISTRY_MAX_CAPACITY - 1), nullptr);
}

TEST_F(Registry, WithoutFreeFunctionFreeAllDoesNothing) {
    ObjectRegistry* plain = Registry_Create(8, 4, nullptr);
    auto* object = static_cast<int*>(Registry_Allocate(plain, 1));
    *object = 5;
    Registry_FreeAll(plain);
    EXPECT_EQ(Registry_Get(plain, 1), object);
}

// A long random run against a model: which numbers are live, and what each record holds.
TEST_F(Registry, RandomSequenceMatchesAModel) {
    std::mt19937 random(12345);
    std::map<int, int> model; // number -> handle
    std::vector<int> dynamicNumbers;
    int nextHandle = 1;
    for (int step = 0; step < 20000; ++step) {
        int action = random() % 10;
        if (action < 4) {
            int number = random() % 3 == 0 ? AutoNumber : static_cast<int>(random() % 100);
            freed.clear();
            Object* object = Make(number, nextHandle);
            ASSERT_NE(object, nullptr);
            int actual = number == AutoNumber ? Registry_NumberOf(object) : number;
            if (number != AutoNumber && model.count(number)) {
                EXPECT_EQ(freed, std::vector<int>{number});
            }
            if (number == AutoNumber)
                dynamicNumbers.push_back(actual);
            model[actual] = nextHandle++;
        } else if (action < 8) {
            int number = dynamicNumbers.empty() || random() % 2
                             ? static_cast<int>(random() % 100)
                             : dynamicNumbers[random() % dynamicNumbers.size()];
            FreeObject(number);
            model.erase(number);
        } else if (action < 9) {
            FreeObject(-1);
            model.clear();
            dynamicNumbers.clear();
        } else {
            for (auto [number, handle] : model) {
                auto* object = static_cast<Object*>(Registry_Get(registry, number));
                ASSERT_NE(object, nullptr);
                EXPECT_EQ(object->handle, handle);
            }
            for (int number : dynamicNumbers)
                if (!model.count(number)) {
                    EXPECT_EQ(Registry_Get(registry, number), nullptr);
                }
        }
    }
    freed.clear();
    FreeObject(-1);
    EXPECT_EQ(freed.size(), model.size());
}

} // namespace
