// Driving a program of the build tree from another process, as a user would: start it, find
// its window, click its close button, and see how it ends.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>

// How long a start, an end or a helper may take: generous, as the suite runs in parallel and
// also under software emulation, where starting a program alone takes tens of seconds.
const DWORD Patience = 120000;

// The directory of the test's own executable: tests/ of the build tree.
inline std::string TestsDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path);
    return own.substr(0, own.find_last_of("\\/"));
}

// The build tree: the parent of tests/.
inline std::string BuildTree() {
    std::string tests = TestsDirectory();
    return tests.substr(0, tests.find_last_of("\\/"));
}

// Runs a command line (a Windows program, or a Unix one by its path) and waits for its end;
// its exit code goes to exitCode when one is given.
inline bool RunCommand(const std::string& command, DWORD* exitCode = nullptr) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = command;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, Patience);
    if (exitCode)
        GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

// A started program; ended by force if it is still running when the test is done.
struct Program {
    PROCESS_INFORMATION process = {};
    bool Start(const std::string& path) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        return CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process);
    }
    // The exit code, or -1 if it has not ended within the time.
    long WaitForExit(DWORD milliseconds) {
        if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return static_cast<long>(code);
    }
    ~Program() {
        if (process.hProcess) {
            if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(process.hProcess, 99);
                WaitForSingleObject(process.hProcess, 5000); // its file may be deleted next
            }
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

// A process's top-level window of a class, with that title unless the title is null: other
// tests running at the same time may show windows of the same class and name.
inline HWND WindowOfClass(DWORD processId, const char* className, const char* title = nullptr) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, title));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

// The process's window 0, of the runtime's class "WindowClass_0".
inline HWND WindowOf(DWORD processId, const char* title = nullptr) {
    return WindowOfClass(processId, "WindowClass_0", title);
}

// The window once it is shown: a program creates it, then centres it, then shows it. Null at
// once when the program has ended without one.
inline HWND WaitForWindow(const Program& program, DWORD milliseconds, const char* title = nullptr) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        HWND window = WindowOf(program.process.dwProcessId, title);
        if (window && IsWindowVisible(window))
            return window;
        if (WaitForSingleObject(program.process.hProcess, 50) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

// The middle of the close button, found as the window manager sees it: the points along the
// caption where the window answers HTCLOSE.
inline POINT CloseButtonOf(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    int y = outer.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    int first = 0, last = -1;
    for (int x = outer.right - 1; x > outer.left; --x) {
        LRESULT hit = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (hit == HTCLOSE) {
            first = x;
            if (last < 0)
                last = x;
        } else if (last >= 0) {
            break;
        }
    }
    return {(first + last) / 2, y};
}

// Clicks at a point of the screen with the X pointer, as a user's mouse does. Inside a Wine
// virtual desktop Wine takes clicks on the captions it draws only from X, and a pointer moved
// with SendInput may be put back by the X pointer's next motion. False when xdotool cannot be
// run.
inline bool ClickAt(POINT point) {
    char click[128];
    snprintf(click, sizeof click, "/usr/bin/xdotool mousemove %ld %ld click 1", point.x, point.y);
    return RunCommand(click);
}

// False when there is no close button on the caption or xdotool cannot be run.
inline bool ClickCloseButton(HWND window) {
    POINT button = CloseButtonOf(window);
    return button.x > 0 && ClickAt(button);
}
