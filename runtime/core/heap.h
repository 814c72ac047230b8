// The runtime's three private heaps, runtime strings and per-library data blocks.
#pragma once

#include "qv/core.h" // RuntimeHeap: every runtime record; made and destroyed by the entry point

#include <windows.h>

extern HANDLE StringHeap; // runtime strings and the string area's work buffer
extern HANDLE MemoryHeap; // reserved for the memory-block allocator

extern char* StringBuffer;
extern int StringBufferSize;
extern int StringBufferPosition;

// The entry point's own heap: HeapCreate(0, 4096, 0), stored in RuntimeHeap.
HANDLE CreateRuntimeHeap();
void DestroyRuntimeHeap();

void StartStringArea();
void EndStringArea();
void StartMemoryHeap();
void EndMemoryHeap();

// A runtime string is a zero-terminated string in StringHeap; null is the empty string.
void StringFree(char* text);
// Stores a fresh copy of text in *slot (null text leaves the slot alone). The caller frees the
// slot's previous string first.
void StringAssign(char** slot, const char* text);

typedef void (*ThreadBlockInit)(void* block);
typedef void (*ThreadBlockDestroy)(void* block);
void* ThreadBlock_Create(int size, ThreadBlockInit init, ThreadBlockDestroy destroy);
void* ThreadBlock_Get(void* block);
