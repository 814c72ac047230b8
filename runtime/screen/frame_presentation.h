// Presenting the back buffer into the screen's child window, with lost-device recovery.
#pragma once

#include <windows.h>

// Returns 0 when the device was found unusable during this call (the screen is then
// inactive), 1 otherwise, a failed present among them. A screen made inactive by a lost device
// or a failed present is tried again on every call, and each call that still cannot present
// waits about one frame; but a present refused while the device is not lost is tried again only
// 8 times in a row, and the driver's internal error is not tried again: the screen then gives
// up until it is opened anew. A back buffer the device did not give after a reset is asked for
// again on every later call.
int PresentFrame();

// The clock the lost-device wait is measured by, and the sleep it waits with; tests put
// scripted ones here.
typedef DWORD(WINAPI* TickCountFunction)();
typedef VOID(WINAPI* SleepFunction)(DWORD milliseconds);
extern TickCountFunction PresentTickCount;
extern SleepFunction PresentSleep;
