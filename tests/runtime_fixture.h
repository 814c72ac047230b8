// Tests of the runtime run between the program's own start-up and shutdown.
#pragma once

#include "app/program.h"
#include "runtime/core/heap.h"

#include <gtest/gtest.h>
#include <psapi.h>

class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override { StartRuntime(); }
    void TearDown() override {
        ShutdownRuntime();
        EndRuntime();
    }
};

// Bytes in use in a heap, from a walk of its blocks.
inline size_t HeapBytesInUse(HANDLE heap) {
    PROCESS_HEAP_ENTRY entry = {};
    size_t total = 0;
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            total += entry.cbData;
    HeapUnlock(heap);
    return total;
}

// The most memory the process has had in use at once, in bytes: a section it made and touched
// counts, one it only reserved does not.
inline size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// Live GDI objects of the process. Wine's GetGuiResources answers 0; there every index of the
// 16-bit handle table is asked for its type instead (Wine takes a handle without its upper,
// reuse-counting word).
inline DWORD GdiObjectCount() {
    DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count)
        return count;
    for (uintptr_t index = 0; index < 0x10000; ++index)
        count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return count;
}
