// Presenting the back buffer into the screen's child window, with lost-device recovery.
#pragma once

#include "qv/screen.h" // PresentFrame

#include <windows.h>

// PresentFrame leaves the screen inactive when it finds the device unusable; a screen made
// inactive by a lost device or a failed present is tried again on every call, and each call that
// still cannot present waits about one frame, until it gives up as qv/screen.h tells.

// The clock the lost-device wait is measured by, and the sleep it waits with; tests put
// scripted ones here.
typedef DWORD(WINAPI* TickCountFunction)();
typedef VOID(WINAPI* SleepFunction)(DWORD milliseconds);
extern TickCountFunction PresentTickCount;
extern SleepFunction PresentSleep;
