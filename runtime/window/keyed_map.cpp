#include "runtime/window/keyed_map.h"

#include "runtime/core/heap.h"

#include <windows.h>

#include <string.h>

namespace {

char EmptyKey[1];

int BucketOf(const KeyedMap* map, const char* key) {
    uint32_t count = static_cast<uint32_t>(map->bucketCount);
    uint32_t hash = Map_Hash(key);
    // The same remainder without a division for the usual power-of-two bucket counts.
    return static_cast<int>((count & (count - 1)) == 0 ? hash & (count - 1) : hash % count);
}

// strcmp(a, b) == 0, inline: most keys on a chain differ in their first bytes.
bool SameKey(const char* a, const char* b) {
    while (*a == *b) {
        if (!*a)
            return true;
        ++a;
        ++b;
    }
    return false;
}

void* ScanFrom(KeyedMap* map, int bucket) {
    for (; bucket < map->bucketCount; ++bucket) {
        if (map->buckets[bucket]) {
            map->index = bucket;
            map->current = map->buckets[bucket];
            return MapElementOf(map->current);
        }
    }
    map->current = nullptr;
    map->index = map->bucketCount;
    return nullptr;
}

// Makes node current as found in its bucket. The resume position (previous, savedIndex) is set
// too, so deleting it right away goes on from the right place: the node before it in the
// chain, or the scan from its bucket when it heads the chain.
void MakeCurrent(KeyedMap* map, MapNode* node, MapNode* before, int bucket) {
    map->current = node;
    map->index = bucket;
    map->previous = before;
    map->savedIndex = before ? bucket : bucket - 1;
}

void ReleaseNode(KeyedMap* map, MapNode* node) {
    RuntimeFree(node->key);
    if (map->descriptor)
        Structure_Free(MapElementOf(node), map->descriptor);
    ElementPool_Free(map->pool, node);
}

// Turns a chain around in place and returns its new head.
MapNode* ReverseChain(MapNode* head) {
    MapNode* reversed = nullptr;
    while (head) {
        MapNode* next = head->next;
        head->next = reversed;
        reversed = head;
        head = next;
    }
    return reversed;
}

} // namespace

uint32_t Map_Hash(const char* key) {
    uint32_t h = 0;
    if (key)
        for (const signed char* c = reinterpret_cast<const signed char*>(key); *c; ++c)
            h = h * 65599u + static_cast<uint32_t>(static_cast<int32_t>(*c));
    return h;
}

KeyedMap* Map_Create(int elementSize, int elementTypeCode, StructureDescriptor descriptor,
                     KeyedMap** variable, int bucketCount) {
    if (variable)
        Map_Free(*variable);
    if (elementSize < 0)
        return nullptr;
    auto* map = static_cast<KeyedMap*>(RuntimeAlloc(sizeof(KeyedMap)));
    if (!map)
        return nullptr;
    if (bucketCount <= 0)
        bucketCount = 1;
    map->buckets = static_cast<MapNode**>(
        RuntimeAlloc(sizeof(MapNode*) * static_cast<SIZE_T>(bucketCount), HEAP_ZERO_MEMORY));
    if (!map->buckets) {
        RuntimeFree(map);
        return nullptr;
    }
    map->bucketCount = bucketCount;
    map->elementSize = elementSize;
    map->elementTypeCode = elementTypeCode;
    map->descriptor = descriptor;
    map->variable = variable;
    map->current = nullptr;
    map->elementCount = 0;
    map->flags = 0;
    map->extraBlocks = nullptr;
    // The cursor starts reset, so no operation can ever read it unset.
    map->previous = nullptr;
    map->index = -1;
    map->savedIndex = -1;
    if (Structure_NeedsInit(descriptor))
        map->flags |= MAP_NEEDS_INIT;
    int nodeSize = elementSize + static_cast<int>(sizeof(MapNode));
    map->pool = ElementPool_Create(nodeSize, 16, 65536, POOL_SHARED);
    map->emptyElement = static_cast<MapNode*>(RuntimeAlloc(nodeSize, HEAP_ZERO_MEMORY));
    // A map without its pool could never take an element: it is not made at all.
    if (!map->pool || !map->emptyElement) {
        ElementPool_Destroy(map->pool);
        if (map->emptyElement)
            RuntimeFree(map->emptyElement);
        RuntimeFree(map->buckets);
        RuntimeFree(map);
        return nullptr;
    }
    map->emptyElement->key = EmptyKey;
    if (variable)
        *variable = map;
    return map;
}

void* Map_Find(KeyedMap* map, const char* key) {
    if (!key)
        key = EmptyKey;
    int bucket = BucketOf(map, key);
    // A miss leaves the whole cursor as it was, the delete position included.
    MapNode* before = nullptr;
    for (MapNode* node = map->buckets[bucket]; node; before = node, node = node->next) {
        if (SameKey(node->key, key)) {
            MakeCurrent(map, node, before, bucket);
            return MapElementOf(node);
        }
    }
    return nullptr;
}

void* Map_Add(KeyedMap* map, const char* key, int replace) {
    if (!key)
        key = EmptyKey;
    void* element = replace ? Map_Find(map, key) : nullptr;
    if (element) {
        if (map->descriptor)
            Structure_Free(element, map->descriptor);
    } else {
        auto* node = static_cast<MapNode*>(ElementPool_Alloc(map->pool));
        if (!node)
            return nullptr;
        SIZE_T length = strlen(key);
        node->key = static_cast<char*>(RuntimeAlloc(length + 1));
        if (!node->key) {
            ElementPool_Free(map->pool, node);
            return nullptr;
        }
        memcpy(node->key, key, length + 1);
        int bucket = BucketOf(map, key);
        node->next = map->buckets[bucket];
        map->buckets[bucket] = node;
        ++map->elementCount;
        MakeCurrent(map, node, nullptr, bucket);
        element = MapElementOf(node);
    }
    memset(element, 0, map->elementSize);
    if (map->flags & MAP_NEEDS_INIT)
        Structure_Init(element, map->descriptor);
    return element;
}

void Map_Reset(KeyedMap* map) {
    map->current = nullptr;
    map->index = -1;
    map->previous = nullptr;
    map->savedIndex = -1;
}

void* Map_Next(KeyedMap* map) {
    // Without a current element the walk goes on after previous, which a delete left there
    // (a reset clears it).
    MapNode* from = map->current ? map->current : map->previous;
    map->previous = from;
    map->savedIndex = map->index;
    if (from) {
        map->current = from->next;
        if (map->current)
            return MapElementOf(map->current);
        return ScanFrom(map, map->index + 1);
    }
    // A reset cursor (index -1) or one whose element heading bucket index + 1 was deleted goes
    // on scanning there; past the last bucket it stays at the end.
    if (map->index < map->bucketCount)
        return ScanFrom(map, map->index + 1);
    return nullptr;
}

void* Map_DeleteCurrent(KeyedMap* map) {
    // Nothing is current after a delete, so a second delete in a row does nothing.
    MapNode* node = map->current;
    if (!node)
        return nullptr;
    if (map->buckets[map->index] == node)
        map->buckets[map->index] = node->next;
    else
        map->previous->next = node->next;
    --map->elementCount;
    map->current = nullptr;
    map->index = map->savedIndex;
    ReleaseNode(map, node);
    return nullptr;
}

void Map_Clear(KeyedMap* map) {
    for (int bucket = 0; bucket < map->bucketCount; ++bucket) {
        MapNode* node = map->buckets[bucket];
        while (node) {
            MapNode* next = node->next;
            ReleaseNode(map, node);
            node = next;
        }
        map->buckets[bucket] = nullptr;
    }
    Map_Reset(map);
    map->elementCount = 0;
}

int Map_Copy(KeyedMap* source, KeyedMap* destination, int clearFirst) {
    if (!source || !destination)
        return 0;
    // Copying a map into itself would add to the chains being walked.
    if (source == destination)
        return 1;
    // Elements of another size would be copied past the ends of the new ones.
    if (source->elementSize != destination->elementSize)
        return 0;
    if (clearFirst)
        Map_Clear(destination);
    // Each element is added in front of its chain, so the source is walked backwards: the copy
    // keeps the order of its chains, and finds the same element for a key held twice.
    // The source's cursor is not used, so it stays where it was.
    int copied = 1;
    for (int bucket = source->bucketCount - 1; bucket >= 0; --bucket) {
        MapNode* reversed = ReverseChain(source->buckets[bucket]);
        for (MapNode* node = reversed; node; node = node->next) {
            void* element = Map_Add(destination, node->key, 0);
            if (!element) {
                copied = 0;
                continue;
            }
            Structure_Copy(element, source->elementSize, source->descriptor, MapElementOf(node));
        }
        source->buckets[bucket] = ReverseChain(reversed);
    }
    return copied;
}

void Map_Free(KeyedMap* map) {
    if (!map)
        return;
    Map_Clear(map);
    ElementPool_Destroy(map->pool);
    RuntimeFree(map->buckets);
    RuntimeFree(map->emptyElement);
    while (map->extraBlocks) {
        void* next = *static_cast<void**>(map->extraBlocks);
        RuntimeFree(map->extraBlocks);
        map->extraBlocks = next;
    }
    // A variable that has since taken another map keeps it.
    if (map->variable && *map->variable == map)
        *map->variable = nullptr;
    RuntimeFree(map);
}

void StartMapHooks() {
    // Maps take their nodes from shared pools, which live in the runtime heap just made, and
    // go with it.
    ElementPool_ForgetSharedPools();
    RuntimeHeap_OnDestroy(ElementPool_ForgetSharedPools);
    DynamicFieldHooks.createMap = Map_Create;
    DynamicFieldHooks.copyMap = Map_Copy;
    DynamicFieldHooks.freeMap = Map_Free;
}
