// The event side of the window library: event codes, the per-thread window state, polling.
#pragma once

#include "runtime/core/layout.h"

#include <windows.h>

constexpr int GadgetEvent = 13100;
constexpr int MenuEvent = 13101;
constexpr int TrayIconEvent = 13102;
constexpr int ActivateWindowEvent = 13104;
constexpr int MinimizeWindowEvent = 13107;
constexpr int MaximizeWindowEvent = 13108;
constexpr int RestoreWindowEvent = 13109;
constexpr int TimerEvent = 13110;
constexpr int RightClickEvent = 13111;
constexpr int LeftClickEvent = 13112;
constexpr int LeftDoubleClickEvent = 13113;
constexpr int DeactivateWindowEvent = 13114;
constexpr int RepaintEvent = 13115;
constexpr int CloseWindowEvent = 13116;
constexpr int MoveWindowEvent = 13117;
constexpr int SizeWindowEvent = 13118;

typedef LRESULT (*GlobalMessageCallback)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct WindowThreadState {
    WPARAM wParam; // of the message pumped by the last poll
    LPARAM lParam;
    WPARAM wParamCopy;
    LPARAM lParamCopy;
    GlobalMessageCallback globalMessageCallback;
};
QV_ASSERT_SIZE(WindowThreadState, 20);

// Made by the window library's start-up routine.
extern WindowThreadState* WindowThreadBlock;
WindowThreadState* CreateWindowThreadState();

// One event or one pumped message per call: an event code, a message number, or 0.
int PollWindowEvent();

// Drops every queued event of a window number.
void PurgeWindowEvents(int window);
// Deletes the event bindings of a window number.
void RemoveWindowBindings(int window);

// The window procedure of every runtime window class.
LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
