// Drives ulvo.exe the way a user does: it starts, shows its window, and ends with exit code 0
// when Escape is held or its close button is clicked.
#include "program_driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

std::string ProgramPath() {
    return BuildTree() + "\\ulvo.exe";
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

void PressEscape(bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_ESCAPE;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Holds Escape as a keyboard holds it: the press repeats. One press alone can be lost where
// the window takes the X focus late (under emulation): Wine then sets every key to X's own
// state, which knows nothing of SendInput. The exit code, or -1.
long HoldEscapeUntilExit(Program& program) {
    long code = -1;
    for (DWORD waited = 0; code == -1 && waited < Patience; waited += 100) {
        PressEscape(true);
        code = program.WaitForExit(100);
    }
    PressEscape(false);
    return code;
}

TEST(Ulvo, ShowsItsCentredWindowAndEndsWithZeroWhenEscapeIsHeld) {
    Program program;
    ASSERT_TRUE(program.Start(ProgramPath())) << ProgramPath();
    HWND window = WaitForWindow(program, Patience, "Ulvo");
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
    EXPECT_EQ(HoldEscapeUntilExit(program), 0);
}

// Another process posts the posted-event message with every 8-aligned lParam over the
// program's runtime heap, then asks the posted-event window to close. The program runs on with
// that window still there (posted_events_test shows that genuine posts then still arrive), and
// Escape ends it with 0: nothing of its heap was taken for a record.
TEST(Ulvo, PostsOverItsWholeRuntimeHeapAndAForeignCloseLeaveItRunningUntilEscape) {
    Program program;
    ASSERT_TRUE(program.Start(ProgramPath()));
    HWND window = WaitForWindow(program, Patience, "Ulvo");
    ASSERT_NE(window, nullptr);
    DWORD process = program.process.dwProcessId;
    HWND postWindow = WindowOfClass(process, "PostEventClass");
    ASSERT_NE(postWindow, nullptr);

    char poster[512];
    snprintf(poster, sizeof poster, "\"%s\\foreign_poster.exe\" %lu sweep heap 0",
             TestsDirectory().c_str(), process);
    DWORD posted = 0;
    ASSERT_TRUE(RunCommand(poster, &posted));
    EXPECT_GT(static_cast<int>(posted), 500) << "the runtime heap was not found";
    // The program takes one message a frame. It has taken all of them once it has taken one
    // posted after them: WM_SETREDRAW, on which the window procedure gives the never-shown
    // window the visible style, as others can see.
    ASSERT_FALSE(IsWindowVisible(postWindow));
    ASSERT_TRUE(PostMessageA(postWindow, WM_SETREDRAW, TRUE, 0));
    for (DWORD waited = 0;
         !IsWindowVisible(postWindow) && waited < Patience && program.WaitForExit(50) == -1;
         waited += 50) {
    }
    EXPECT_EQ(program.WaitForExit(0), -1) << "the program runs on";
    EXPECT_TRUE(IsWindowVisible(postWindow)) << "the posts were not all taken";
    EXPECT_EQ(WindowOfClass(process, "PostEventClass"), postWindow);
    EXPECT_EQ(HoldEscapeUntilExit(program), 0);
}

TEST(Ulvo, ClosingTheWindowEndsItWithZero) {
    Program program;
    ASSERT_TRUE(program.Start(ProgramPath()));
    HWND window = WaitForWindow(program, Patience, "Ulvo");
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(Patience), 0);
}

// Run by its own CTest entry inside a Wine virtual desktop, where Wine draws the caption and
// takes clicks on it from the X pointer (a click sent with SendInput does not reach it).
TEST(Ulvo, AClickOnTheCloseButtonEndsItWithZeroAndGarbagePostsDoNotDisturbIt) {
    if (!getenv("QV_VIRTUAL_DESKTOP"))
        GTEST_SKIP() << "needs a virtual desktop of its own";
    Program program;
    ASSERT_TRUE(program.Start(ProgramPath()));
    HWND window = WaitForWindow(program, Patience, "Ulvo");
    ASSERT_NE(window, nullptr);

    // Another process posts the posted-event message with lParams that are no records. The
    // program takes one message per frame, so the click below waits behind them.
    char poster[512];
    snprintf(poster, sizeof poster, "\"%s\\foreign_poster.exe\" %lu 100 0 0",
             TestsDirectory().c_str(), program.process.dwProcessId);
    ASSERT_TRUE(RunCommand(poster));
    EXPECT_EQ(program.WaitForExit(500), -1) << "the program runs on";

    ASSERT_TRUE(ClickCloseButton(window)) << "no close button on the caption, or no xdotool";
    EXPECT_EQ(program.WaitForExit(Patience), 0);
}

// Should the override not take, the program shows its window and runs on, and the case fails.
TEST(Ulvo, WithoutTheThreeDLibraryShowsNoWindowAndEndsWithZero) {
    ProgramWithoutDirect3D copy;
    ASSERT_TRUE(copy.ready);
    Program program;
    ASSERT_TRUE(program.Start(copy.path));
    bool windowSeen = false;
    long code = -1;
    for (DWORD waited = 0; waited < Patience && code == -1; waited += 20) {
        windowSeen = windowSeen || WindowOf(program.process.dwProcessId, "Ulvo");
        code = program.WaitForExit(20);
    }
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(windowSeen);
}

} // namespace
