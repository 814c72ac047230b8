// Another process posting "QV_PostEventMessage" to a program's posted-event window with
// lParams that are no records of that program, as any process on the desktop could, and then
// trying to close that window.
//   foreign_poster PID COUNT RANGE_START RANGE_BYTES [ADDRESS...]   (numbers in hex but COUNT)
// Posts every ADDRESS, the start and the record of every dynamic window of the program (whose
// number, the record's address, its class name shows), then COUNT random lParams: aligned ones
// inside the range given, and unaligned ones anywhere. An empty range gives only unaligned ones.
// COUNT "sweep" posts every 8-aligned lParam of the range instead, and RANGE_START "heap" makes
// the range the program's runtime heap, found as a stranger finds it (below). Last it posts
// WM_CLOSE and the close system command to the window.
// The exit code is the number of messages the platform took.
#include "program_driver.h"
#include "runtime/window/window.h"

#include <windows.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

unsigned state = 2463534242u;
unsigned Random() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

struct Target {
    DWORD process;
    std::vector<uintptr_t> dynamicWindows;
};

BOOL CALLBACK NoteDynamicWindow(HWND window, LPARAM lParam) {
    auto* target = reinterpret_cast<Target*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner != target->process || strncmp(name, "WindowClass_", 12) != 0)
        return TRUE;
    auto number = static_cast<uintptr_t>(static_cast<uint32_t>(atoi(name + 12)));
    if (number >= 0x10000) // beyond every static number: an address
        target->dynamicWindows.push_back(number);
    return TRUE;
}

// Whether the words at offset of the buffer are those of window 0's WindowObject: its handle,
// and the accelerator count 2 and the -1 word that opening sets.
bool IsWindowRecord(const std::vector<char>& memory, size_t offset, HWND window) {
    if (offset + sizeof(WindowObject) > memory.size())
        return false;
    WindowObject object;
    memcpy(&object, memory.data() + offset, sizeof object);
    return object.handle == window && object.acceleratorCount == 2 && object.reserved1 == -1;
}

// The program's runtime heap: the memory of the allocation that holds window 0's record, read
// with the rights any process of the same user has, up to its last word in use and a little
// beyond, for a last block still all zeros (what follows is fresh memory committed ahead).
bool FindRuntimeHeap(DWORD processId, uintptr_t* start, uintptr_t* bytes) {
    HWND window = WindowOf(processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!window || !process)
        return false;
    MEMORY_BASIC_INFORMATION region;
    void* heapBase = nullptr;
    for (uintptr_t at = 0x10000;
         !heapBase && VirtualQueryEx(process, reinterpret_cast<void*>(at), &region, sizeof region);
         at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize) {
        if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE ||
            region.Protect != PAGE_READWRITE || region.RegionSize > (64 << 20))
            continue;
        std::vector<char> memory(region.RegionSize);
        SIZE_T read = 0;
        ReadProcessMemory(process, region.BaseAddress, memory.data(), memory.size(), &read);
        memory.resize(read);
        for (size_t offset = 0; offset < memory.size(); offset += sizeof(void*))
            if (IsWindowRecord(memory, offset, window)) {
                heapBase = region.AllocationBase;
                break;
            }
    }
    *start = reinterpret_cast<uintptr_t>(heapBase);
    *bytes = 0;
    uintptr_t committed = 0;
    for (uintptr_t at = *start;
         heapBase && VirtualQueryEx(process, reinterpret_cast<void*>(at), &region, sizeof region) &&
         region.AllocationBase == heapBase && region.State == MEM_COMMIT;
         at += region.RegionSize) {
        committed = at + region.RegionSize - *start;
        std::vector<uint64_t> words(region.RegionSize / sizeof(uint64_t));
        SIZE_T read = 0;
        ReadProcessMemory(process, region.BaseAddress, words.data(), region.RegionSize, &read);
        for (size_t i = read / sizeof(uint64_t); i-- > 0;)
            if (words[i]) {
                *bytes = at - *start + (i + 1) * sizeof(uint64_t);
                break;
            }
    }
    CloseHandle(process);
    *bytes = (std::min)(*bytes + 1024, committed);
    return heapBase != nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return -1;
    Target target = {static_cast<DWORD>(strtoul(argv[1], nullptr, 10)), {}};
    bool sweep = strcmp(argv[2], "sweep") == 0;
    long count = sweep ? 0 : strtol(argv[2], nullptr, 10);
    uintptr_t rangeStart = strtoull(argv[3], nullptr, 16);
    uintptr_t rangeBytes = strtoull(argv[4], nullptr, 16);
    if (strcmp(argv[3], "heap") == 0 && !FindRuntimeHeap(target.process, &rangeStart, &rangeBytes))
        return -2;
    HWND window = WindowOfClass(target.process, "PostEventClass");
    UINT message = RegisterWindowMessageA("QV_PostEventMessage");
    if (!window || !message)
        return -1;
    EnumWindows(NoteDynamicWindow, reinterpret_cast<LPARAM>(&target));

    int posted = 0;
    auto post = [&](UINT what, WPARAM wParam, uintptr_t lParam) {
        // A full queue refuses posts for a moment; the program drains it.
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (PostMessageA(window, what, wParam, static_cast<LPARAM>(lParam))) {
                ++posted;
                return;
            }
            Sleep(1);
        }
    };
    const uintptr_t fixed[] = {0,          1,          4,          8,
                               0xFFFF,     0x10000,    0x7FFE0000, 0x7FFFFFF8,
                               0x80000000, 0xC0000000, 0xFFFFFFF8, static_cast<uintptr_t>(-1)};
    for (uintptr_t lParam : fixed)
        post(message, 0, lParam);
    for (int i = 5; i < argc; ++i)
        post(message, 0, strtoull(argv[i], nullptr, 16));
    for (uintptr_t number : target.dynamicWindows) {
        post(message, 0, number - 2 * sizeof(void*)); // the registry's link header comes first
        post(message, 0, number);
    }
    for (uintptr_t offset = 0; sweep && offset + 8 <= rangeBytes; offset += 8)
        post(message, 0, rangeStart + offset);
    for (long i = 0; i < count; ++i) {
        unsigned r = Random();
        bool inRange = rangeBytes && i % 2;
        post(message, 0,
             inRange ? rangeStart + (r % rangeBytes & ~static_cast<uintptr_t>(7)) : r | 1);
    }
    post(WM_CLOSE, 0, 0);
    post(WM_SYSCOMMAND, SC_CLOSE, 0);
    return posted;
}
