// Presenting the back buffer into the screen's child window, with lost-device recovery.
#pragma once

#include <windows.h>

// Returns 0 when the device was found unusable during this call (the screen is then
// inactive), 1 otherwise.
int PresentFrame();

// The clock the lost-device wait is measured by; tests put a scripted one here.
typedef DWORD(WINAPI* TickCountFunction)();
extern TickCountFunction PresentTickCount;
