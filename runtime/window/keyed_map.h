// The runtime's hash map from text keys to fixed-size elements, with one built-in cursor.
#pragma once

#include "runtime/core/element_pool.h"
#include "runtime/core/layout.h"
#include "runtime/core/structure.h"

#include <stdint.h>

// A pool element: the chain link and the key, then the element handed out.
struct MapNode {
    MapNode* next;
    char* key; // heap copy, zero-terminated
};
QV_ASSERT_SIZE(MapNode, 8);

// The elements need Structure_Init; the only flag a map ever sets.
constexpr unsigned MAP_NEEDS_INIT = 2;

struct KeyedMap {
    MapNode* current; // last found, added or reached by iteration; none after a delete
    MapNode** buckets;
    // The node before current, through which current is unlinked. After a delete, the node
    // the iteration goes on after (none: it goes on scanning after index).
    MapNode* previous;
    MapNode* emptyElement; // zeroed node with the empty key; nothing reads it
    StructureDescriptor descriptor;
    int index;      // bucket of current; -1 before an iteration's first element
    int savedIndex; // where the iteration goes on once current is deleted
    int elementSize;
    int elementTypeCode; // kept, never interpreted
    int bucketCount;
    int elementCount;
    unsigned flags;
    KeyedMap** variable; // the variable holding the map
    void* extraBlocks;   // singly linked heap blocks, freed with the map
    ElementPool* pool;   // of nodes
};
QV_ASSERT_SIZE(KeyedMap, 60);

inline void* MapElementOf(MapNode* node) {
    return node + 1;
}
inline MapNode* MapNodeOf(void* element) {
    return static_cast<MapNode*>(element) - 1;
}

uint32_t Map_Hash(const char* key);

KeyedMap* Map_Create(int elementSize, int elementTypeCode, StructureDescriptor descriptor,
                     KeyedMap** variable, int bucketCount);
void* Map_Find(KeyedMap* map, const char* key);
void* Map_Add(KeyedMap* map, const char* key, int replace);
void Map_Reset(KeyedMap* map);
void* Map_Next(KeyedMap* map);
// Deletes the current element. Nothing is current afterwards (the result is null), and the
// next Map_Next goes on with the element that followed the deleted one.
void* Map_DeleteCurrent(KeyedMap* map);
void Map_Clear(KeyedMap* map);
int Map_Copy(KeyedMap* source, KeyedMap* destination, int clearFirst);
void Map_Free(KeyedMap* map);

// Start-up routine 8: hands the map operations to the structure walkers.
void StartMapHooks();
