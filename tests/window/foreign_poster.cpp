// Another process posting "QV_PostEventMessage" to a program's posted-event window with
// lParams that are no records of that program, as any process on the desktop could.
//   foreign_poster PID COUNT RANGE_START RANGE_BYTES [ADDRESS...]   (numbers in hex but COUNT)
// Posts every ADDRESS, then COUNT random lParams: aligned ones inside the range given (memory of
// the program that is no heap block), and unaligned ones anywhere. An empty range gives only
// unaligned ones.
// The exit code is the number of messages the platform took.
#include "program_driver.h"

#include <windows.h>

#include <stdlib.h>

namespace {

unsigned state = 2463534242u;
unsigned Random() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return -1;
    auto process = static_cast<DWORD>(strtoul(argv[1], nullptr, 10));
    long count = strtol(argv[2], nullptr, 10);
    uintptr_t rangeStart = strtoull(argv[3], nullptr, 16);
    uintptr_t rangeBytes = strtoull(argv[4], nullptr, 16);
    HWND target = WindowOfClass(process, "PostEventClass");
    UINT message = RegisterWindowMessageA("QV_PostEventMessage");
    if (!target || !message)
        return -1;

    int posted = 0;
    auto post = [&](uintptr_t lParam) {
        // A full queue refuses posts for a moment; the program drains it.
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (PostMessageA(target, message, 0, static_cast<LPARAM>(lParam))) {
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
        post(lParam);
    for (int i = 5; i < argc; ++i)
        post(strtoull(argv[i], nullptr, 16));
    for (long i = 0; i < count; ++i) {
        unsigned r = Random();
        bool inRange = rangeBytes && i % 2;
        post(inRange ? rangeStart + (r % rangeBytes & ~static_cast<uintptr_t>(7)) : r | 1);
    }
    return posted;
}
