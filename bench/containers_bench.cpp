// Element pools against the heap and malloc, and the keyed map against std::unordered_map,
// all measured in the same run.
#include "app/program.h"
#include "bench_clock.h"
#include "runtime/core/element_pool.h"
#include "runtime/core/heap.h"
#include "runtime/window/keyed_map.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr int ElementSize = 28;
constexpr int WorkingSet = 1000;
constexpr int SteadyOperations = 4000000;
constexpr int BurstSize = 10000;
constexpr int Bursts = 300;
constexpr int MapKeys = 100000;
constexpr int MapBuckets = 65536;
constexpr int MapRounds = 5;

volatile unsigned Sink;

struct Allocator {
    const char* name;
    void* (*take)(void* context);
    void (*give)(void* context, void* element);
    void* context;
};

void* PoolTake(void* pool) {
    return ElementPool_Alloc(static_cast<ElementPool*>(pool));
}
void PoolGive(void* pool, void* element) {
    ElementPool_Free(static_cast<ElementPool*>(pool), element);
}
void* HeapTake(void*) {
    return HeapAlloc(RuntimeHeap, 0, ElementSize);
}
void HeapGive(void*, void* element) {
    HeapFree(RuntimeHeap, 0, element);
}
void* MallocTake(void*) {
    return malloc(ElementSize);
}
void MallocGive(void*, void* element) {
    free(element);
}

void Touch(void* element, unsigned value) {
    static_cast<unsigned*>(element)[0] = value;
    static_cast<unsigned*>(element)[6] = value;
}

// A live working set in which one element at a time is returned and another taken.
double SteadyNanoseconds(const Allocator& allocator) {
    std::vector<void*> live(WorkingSet);
    for (int i = 0; i < WorkingSet; ++i) {
        live[i] = allocator.take(allocator.context);
        Touch(live[i], i);
    }
    unsigned sum = 0;
    double start = Now();
    for (int i = 0; i < SteadyOperations; ++i) {
        int at = (i * 7) % WorkingSet;
        sum += static_cast<unsigned*>(live[at])[0];
        allocator.give(allocator.context, live[at]);
        live[at] = allocator.take(allocator.context);
        Touch(live[at], i);
    }
    double seconds = Now() - start;
    for (void* element : live)
        allocator.give(allocator.context, element);
    Sink = sum;
    return seconds * 1e9 / SteadyOperations;
}

// Bursts of takes followed by as many returns, as a queue fills and drains.
double BurstNanoseconds(const Allocator& allocator) {
    std::vector<void*> burst(BurstSize);
    unsigned sum = 0;
    double start = Now();
    for (int round = 0; round < Bursts; ++round) {
        for (int i = 0; i < BurstSize; ++i) {
            burst[i] = allocator.take(allocator.context);
            Touch(burst[i], i);
        }
        for (int i = 0; i < BurstSize; ++i) {
            sum += static_cast<unsigned*>(burst[i])[6];
            allocator.give(allocator.context, burst[i]);
        }
    }
    double seconds = Now() - start;
    Sink = sum;
    return seconds * 1e9 / (static_cast<double>(Bursts) * BurstSize);
}

struct Value {
    int first;
    int second;
};

struct MapFigures {
    double add;
    double find;
};

MapFigures KeyedMapNanoseconds(const std::vector<std::string>& keys) {
    MapFigures best = {1e30, 1e30};
    for (int round = 0; round < MapRounds; ++round) {
        KeyedMap* map = nullptr;
        Map_Create(sizeof(Value), 0, nullptr, &map, MapBuckets);
        double start = Now();
        for (int i = 0; i < MapKeys; ++i)
            static_cast<Value*>(Map_Add(map, keys[i].c_str(), 0))->first = i;
        double added = Now();
        unsigned sum = 0;
        for (int i = 0; i < MapKeys; ++i)
            sum += static_cast<Value*>(Map_Find(map, keys[i].c_str()))->first;
        double found = Now();
        Sink = sum;
        if (map->elementCount != MapKeys)
            printf("keyed map lost elements\n");
        Map_Free(map);
        best.add = std::min(best.add, (added - start) * 1e9 / MapKeys);
        best.find = std::min(best.find, (found - added) * 1e9 / MapKeys);
    }
    return best;
}

MapFigures UnorderedMapNanoseconds(const std::vector<std::string>& keys, bool reserve) {
    MapFigures best = {1e30, 1e30};
    for (int round = 0; round < MapRounds; ++round) {
        std::unordered_map<std::string, Value> map;
        if (reserve)
            map.reserve(MapBuckets);
        double start = Now();
        for (int i = 0; i < MapKeys; ++i)
            map.emplace(keys[i], Value{i, 0});
        double added = Now();
        unsigned sum = 0;
        for (int i = 0; i < MapKeys; ++i)
            sum += map.find(keys[i])->second.first;
        double found = Now();
        Sink = sum;
        best.add = std::min(best.add, (added - start) * 1e9 / MapKeys);
        best.find = std::min(best.find, (found - added) * 1e9 / MapKeys);
    }
    return best;
}

// A burst that drains completely gives every chunk back, and the next one makes them again:
// what that costs in heap calls alone, in this run.
void BurstChunkCost(ElementPool* pool) {
    std::vector<void*> burst(BurstSize);
    std::vector<SIZE_T> chunkBytes;
    for (int i = 0; i < BurstSize; ++i) {
        int before = pool->totalSlots;
        burst[i] = ElementPool_Alloc(pool);
        if (pool->totalSlots != before)
            chunkBytes.push_back(sizeof(PoolChunk) +
                                 static_cast<SIZE_T>(pool->totalSlots - before) * pool->slotSize);
    }
    for (void* element : burst)
        ElementPool_Free(pool, element);
    std::vector<void*> blocks(chunkBytes.size());
    double best = 1e30;
    for (int round = 0; round < 30; ++round) {
        double start = Now();
        for (size_t i = 0; i < blocks.size(); ++i)
            blocks[i] = HeapAlloc(RuntimeHeap, 0, chunkBytes[i]);
        for (void* block : blocks)
            HeapFree(RuntimeHeap, 0, block);
        best = std::min(best, Now() - start);
    }
    printf("  a burst makes and gives back %d chunks; HeapAlloc + HeapFree of blocks of their "
           "sizes alone: %.1f ns per element of the burst\n",
           static_cast<int>(blocks.size()), best * 1e9 / BurstSize);
}

void MakeKeys(std::vector<std::string>& randomNames, std::vector<std::string>& numberedNames) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::mt19937 random(1);
    std::unordered_set<std::string> seen;
    while (static_cast<int>(randomNames.size()) < MapKeys) {
        std::string name(8 + random() % 9, ' ');
        for (char& c : name)
            c = letters[random() % (sizeof letters - 1)];
        if (seen.insert(name).second)
            randomNames.push_back(name);
    }
    char key[32];
    for (int i = 0; i < MapKeys; ++i) {
        sprintf(key, "binding:%d:%d", i * 7919 % 100003, i);
        numberedNames.push_back(key);
    }
}

// Buckets in use, and the chain nodes visited on average to find each key.
void ChainFigures(const std::vector<std::string>& keys, int& usedBuckets, double& visits) {
    KeyedMap* map = nullptr;
    Map_Create(sizeof(Value), 0, nullptr, &map, MapBuckets);
    for (const std::string& key : keys)
        Map_Add(map, key.c_str(), 0);
    usedBuckets = 0;
    double total = 0;
    for (int i = 0; i < MapBuckets; ++i) {
        int length = 0;
        for (MapNode* node = map->buckets[i]; node; node = node->next)
            ++length;
        usedBuckets += length > 0;
        total += length * (length + 1) / 2.0;
    }
    visits = total / static_cast<double>(keys.size());
    Map_Free(map);
}

void CompareMaps(const char* title, const std::vector<std::string>& keys) {
    int usedBuckets;
    double visits;
    ChainFigures(keys, usedBuckets, visits);
    MapFigures keyed = KeyedMapNanoseconds(keys);
    MapFigures unordered = UnorderedMapNanoseconds(keys, false);
    MapFigures reserved = UnorderedMapNanoseconds(keys, true);
    printf("\n%d distinct keys: %s; best of %d rounds, ns per operation\n", MapKeys, title,
           MapRounds);
    printf("  (%d of %d buckets in use, %.2f nodes visited per find)\n", usedBuckets, MapBuckets,
           visits);
    printf("  %-38s %10s %10s\n", "", "add", "find");
    printf("  %-38s %10.1f %10.1f\n", "KeyedMap (65536 buckets)", keyed.add, keyed.find);
    printf("  %-38s %10.1f %10.1f\n", "std::unordered_map<std::string, T>", unordered.add,
           unordered.find);
    printf("  %-38s %10.1f %10.1f\n", "  the same, reserve(65536) first", reserved.add,
           reserved.find);
    printf("  KeyedMap speed-up over unordered_map: add %.2fx, find %.2fx (goal >= 1x)\n",
           unordered.add / keyed.add, unordered.find / keyed.find);
    printf("  over the reserved unordered_map:      add %.2fx, find %.2fx\n",
           reserved.add / keyed.add, reserved.find / keyed.find);
}

} // namespace

int main() {
    StartRuntime();

    ElementPool* pool = ElementPool_Create(ElementSize, 16, 256, 2);
    Allocator allocators[] = {
        {"ElementPool", PoolTake, PoolGive, pool},
        {"HeapAlloc (RuntimeHeap)", HeapTake, HeapGive, nullptr},
        {"malloc", MallocTake, MallocGive, nullptr},
    };
    double steady[3], bursts[3];
    // Best of three, taken in turns, so a busy moment of the machine hurts no one alone.
    for (int i = 0; i < 3; ++i)
        steady[i] = bursts[i] = 1e30;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 3; ++i) {
            steady[i] = std::min(steady[i], SteadyNanoseconds(allocators[i]));
            bursts[i] = std::min(bursts[i], BurstNanoseconds(allocators[i]));
        }
    }
    printf("Take + return of a %d-byte element, best of 3, ns per pair\n", ElementSize);
    printf("  %-26s %10s %10s\n", "", "steady", "bursts");
    for (int i = 0; i < 3; ++i)
        printf("  %-26s %10.1f %10.1f\n", allocators[i].name, steady[i], bursts[i]);
    printf("  pool speed-up over HeapAlloc: steady %.2fx, bursts %.2fx (goal >= 3x)\n",
           steady[1] / steady[0], bursts[1] / bursts[0]);
    printf("  pool speed-up over malloc:    steady %.2fx, bursts %.2fx\n", steady[2] / steady[0],
           bursts[2] / bursts[0]);
    BurstChunkCost(pool);
    ElementPool_Destroy(pool);

    // Random names spread evenly over the buckets; numbered names, like the event bindings'
    // keys, fill only some of 65536 buckets under this hash, and make longer chains.
    std::vector<std::string> randomNames, numberedNames;
    MakeKeys(randomNames, numberedNames);
    CompareMaps("random names, 8-16 characters", randomNames);
    CompareMaps("numbered names \"binding:%d:%d\"", numberedNames);

    ShutdownRuntime();
    EndRuntime();
    return 0;
}
