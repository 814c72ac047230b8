// The window procedure of every runtime window: message callbacks first, then the messages
// that matter become queued events, control notifications go to their gadgets, and the rest
// to the default procedure.
#pragma once

#include <windows.h>

// The message was not handled: the default procedure runs.
const LRESULT ResultUseDefault = static_cast<LRESULT>(static_cast<int>(0xD0D0D0D1u));
// From a message callback: the runtime's own handling goes on.
const LRESULT ResultContinue = static_cast<LRESULT>(static_cast<int>(0xE0E0E0E1u));

// The callback message of notification-area icons.
constexpr UINT TRAY_CALLBACK_MESSAGE = 12501;
// Handed to the gadget whose control is in lParam.
constexpr UINT GADGET_FORWARD_MESSAGE = 13120;
// WM_COMMAND from a control with this identifier counts as a menu command.
constexpr int MENU_COMMAND_CONTROL_ID = -10000;

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A message result, or ResultUseDefault.
LRESULT TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The result of the handler of the gadget whose control this is, or ResultUseDefault.
LRESULT ForwardToGadget(HWND control, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
