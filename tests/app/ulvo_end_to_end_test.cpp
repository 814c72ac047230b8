// Drives ulvo.exe the way a user does: it starts, shows its window, and ends with exit code 0
// when Escape is held or its close button is clicked.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

// The directory of the test's own executable: tests/ of the build tree.
std::string TestsDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path);
    return own.substr(0, own.find_last_of("\\/"));
}

std::string ProgramPath() {
    std::string tests = TestsDirectory();
    return tests.substr(0, tests.find_last_of("\\/")) + "\\ulvo.exe";
}

// A copy of the program under a name of its own, for which Wine's per-program configuration
// switches "d3d9.dll" off. Wine takes WINEDLLOVERRIDES from its own Unix environment and drops
// it from the block a process hands its child, so the child's environment cannot do this.
struct ProgramWithoutDirect3D {
    std::string path, key;
    bool ready = false;

    ProgramWithoutDirect3D() {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        std::string name = "ulvo_without_d3d9_" + std::to_string(GetCurrentProcessId()) + ".exe";
        path = temp + name;
        key = "Software\\Wine\\AppDefaults\\" + name;
        HKEY overrides;
        if (!CopyFileA(ProgramPath().c_str(), path.c_str(), FALSE) ||
            RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &overrides, nullptr) != ERROR_SUCCESS)
            return;
        // An empty load order: the DLL is not loaded at all.
        ready = RegSetValueExA(overrides, "d3d9", 0, REG_SZ, reinterpret_cast<const BYTE*>(""),
                               1) == ERROR_SUCCESS;
        RegCloseKey(overrides);
    }
    ~ProgramWithoutDirect3D() {
        RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
        DeleteFileA(path.c_str());
    }
};

bool RunCommand(const std::string& command) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = command;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

struct Program {
    PROCESS_INFORMATION process = {};
    bool Start(const std::string& path = ProgramPath()) {
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

// The program's window: other tests running at the same time may show windows of that name.
HWND WindowOf(DWORD processId) {
    for (HWND window = nullptr;
         (window = FindWindowExA(nullptr, window, "WindowClass_0", "Ulvo"));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

// The window once it is shown: the program creates it, then centres it, then shows it.
HWND WaitForWindow(DWORD processId, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        HWND window = WindowOf(processId);
        if (window && IsWindowVisible(window))
            return window;
        Sleep(50);
    }
    return nullptr;
}

void PressEscape(bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_ESCAPE;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

TEST(Ulvo, ShowsItsCentredWindowAndEndsWithZeroWhenEscapeIsHeld) {
    Program program;
    ASSERT_TRUE(program.Start()) << ProgramPath();
    HWND window = WaitForWindow(program.process.dwProcessId, 20000);
    ASSERT_NE(window, nullptr);

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 640);
    EXPECT_EQ(client.bottom - client.top, 480);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
    EXPECT_EQ(program.WaitForExit(1000), -1) << "the program runs until it is asked to end";

    PressEscape(true);
    long code = program.WaitForExit(30000); // generous: CI runs the suite in parallel
    PressEscape(false);
    EXPECT_EQ(code, 0);
}

TEST(Ulvo, ClosingTheWindowEndsItWithZero) {
    Program program;
    ASSERT_TRUE(program.Start());
    HWND window = WaitForWindow(program.process.dwProcessId, 20000);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(30000), 0);
}

// The middle of the close button, found as the window manager sees it: the points along the
// caption where the window answers HTCLOSE.
POINT CloseButtonOf(HWND window) {
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

// Run by its own CTest entry inside a Wine virtual desktop, where Wine draws the caption and
// takes clicks on it from the X pointer (a click sent with SendInput does not reach it).
TEST(Ulvo, AClickOnTheCloseButtonEndsItWithZeroAndGarbagePostsDoNotDisturbIt) {
    if (!getenv("QV_VIRTUAL_DESKTOP"))
        GTEST_SKIP() << "needs a virtual desktop of its own";
    Program program;
    ASSERT_TRUE(program.Start());
    HWND window = WaitForWindow(program.process.dwProcessId, 20000);
    ASSERT_NE(window, nullptr);

    // Another process posts the posted-event message with lParams that are no records. The
    // program takes one message per frame, so the click below waits behind them.
    char poster[512];
    snprintf(poster, sizeof poster, "\"%s\\foreign_poster.exe\" %lu 100 0 0",
             TestsDirectory().c_str(), program.process.dwProcessId);
    ASSERT_TRUE(RunCommand(poster));
    EXPECT_EQ(program.WaitForExit(500), -1) << "the program runs on";

    POINT button = CloseButtonOf(window);
    ASSERT_GT(button.x, 0) << "no close button on the caption";
    char click[128];
    snprintf(click, sizeof click, "/usr/bin/xdotool mousemove %ld %ld click 1", button.x, button.y);
    ASSERT_TRUE(RunCommand(click));
    EXPECT_EQ(program.WaitForExit(60000), 0);
}

// Should the override not take, the program shows its window and runs on, and the case fails.
TEST(Ulvo, WithoutTheThreeDLibraryShowsNoWindowAndEndsWithZero) {
    ProgramWithoutDirect3D copy;
    ASSERT_TRUE(copy.ready);
    Program program;
    ASSERT_TRUE(program.Start(copy.path));
    bool windowSeen = false;
    long code = -1;
    for (int waited = 0; waited < 20000 && code == -1; waited += 20) {
        windowSeen = windowSeen || WindowOf(program.process.dwProcessId);
        code = program.WaitForExit(20);
    }
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(windowSeen);
}

} // namespace
