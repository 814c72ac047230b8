#include "runtime/window/event_polling.h"
#include "runtime/window/window.h"
#include "runtime/window/window_procedure.h"
#include "runtime_fixture.h"

#include <string>

namespace {

class Windows : public RuntimeTest {
  protected:
    static std::string ClassOf(HWND window) {
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        return name;
    }
    static RECT OuterOf(HWND window) {
        RECT rect;
        GetWindowRect(window, &rect);
        return rect;
    }
    static SIZE ClientOf(HWND window) {
        RECT rect;
        GetClientRect(window, &rect);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }
    static HWND Open(int number, int x, int y, int w, int h, DWORD flags, HWND parent = nullptr) {
        return reinterpret_cast<HWND>(OpenAppWindow(number, x, y, w, h, "t", flags, parent));
    }
};

TEST_F(Windows, TheProgramsWindowIsCentredWithAnExactClientArea) {
    HWND window = Open(0, 0, 0, 640, 480, 0xCA0001);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowHandleOf(0), window);
    EXPECT_EQ(ClassOf(window), "WindowClass_0");
    SIZE client = ClientOf(window);
    EXPECT_EQ(client.cx, 640);
    EXPECT_EQ(client.cy, 480);
    RECT outer = OuterOf(window);
    int w = outer.right - outer.left, h = outer.bottom - outer.top;
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
    EXPECT_TRUE(IsWindowVisible(window));
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(GetPropA(window, "QV_WindowID"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(WindowNumberOf(window), 0);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_WNDPROC), reinterpret_cast<LONG_PTR>(AppWindowProc));
    EXPECT_EQ(GetClassLongA(window, GCL_STYLE), CS_DBLCLKS);
}

TEST_F(Windows, OpeningBuildsTheTabAccelerators) {
    HWND window = Open(0, 0, 0, 200, 100, 0xCA0001);
    auto* object = static_cast<WindowObject*>(Registry_Get(WindowRegistry, 0));
    ASSERT_EQ(object->handle, window);
    EXPECT_EQ(object->acceleratorCount, 2);
    EXPECT_EQ(object->reserved1, -1);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableA(object->acceleratorTable, entries, 4), 2);
    EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FNOINVERT);
    EXPECT_EQ(entries[0].key, VK_TAB);
    EXPECT_EQ(entries[0].cmd, CMD_TAB_NEXT);
    EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FNOINVERT | FSHIFT);
    EXPECT_EQ(entries[1].cmd, CMD_TAB_PREVIOUS);
}

TEST_F(Windows, FlagsWithoutStyleStillGiveACaptionAndInvisibleIsNotShown) {
    HWND plain = Open(1, 10, 10, 200, 100, 0);
    EXPECT_EQ(GetWindowLongA(plain, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(IsWindowVisible(plain));
    HWND hidden = Open(2, 10, 10, 200, 100, WINDOW_INVISIBLE);
    EXPECT_EQ(GetWindowLongA(hidden, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(IsWindowVisible(hidden));
    SIZE client = ClientOf(hidden);
    EXPECT_EQ(client.cx, 200);
    EXPECT_EQ(client.cy, 100);
}

TEST_F(Windows, DefaultPositionLetsTheSystemChoose) {
    HWND a = Open(1, DEFAULT_POSITION, 300, 200, 100, WS_CAPTION | WINDOW_INVISIBLE);
    EXPECT_GT(OuterOf(a).left, -1000); // not placed at -65535
    HWND b = Open(2, 300, DEFAULT_POSITION, 200, 100, WS_CAPTION | WINDOW_INVISIBLE);
    EXPECT_GT(OuterOf(b).top, -1000);
    HWND c = Open(3, 300, 40, 200, 100, WS_CAPTION | WINDOW_INVISIBLE);
    EXPECT_EQ(OuterOf(c).left, 300);
    EXPECT_EQ(OuterOf(c).top, 40);
}

TEST_F(Windows, WindowLargerThanTheScreenLandsAtZeroOnThatAxis) {
    int sw = GetSystemMetrics(SM_CXSCREEN);
    HWND wide = Open(1, 0, 0, sw + 200, 100, WS_CAPTION | WINDOW_CENTRE_SCREEN | WINDOW_INVISIBLE);
    RECT outer = OuterOf(wide);
    EXPECT_EQ(outer.left, 0);
    int h = outer.bottom - outer.top;
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
}

TEST_F(Windows, CentringOnAParentNearTheCornerNeverGoesNegative) {
    HWND parent = Open(1, 0, 0, 100, 80, WS_CAPTION | WINDOW_INVISIBLE);
    SetWindowPos(parent, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND child =
        Open(2, 0, 0, 400, 300, WS_CAPTION | WINDOW_CENTRE_PARENT | WINDOW_INVISIBLE, parent);
    RECT outer = OuterOf(child);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);

    SetWindowPos(parent, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND small =
        Open(3, 0, 0, 20, 10, WS_CAPTION | WINDOW_CENTRE_PARENT | WINDOW_INVISIBLE, parent);
    RECT p = OuterOf(parent), s = OuterOf(small);
    EXPECT_EQ(s.left, (p.right - p.left - (s.right - s.left)) / 2 + p.left);
    EXPECT_EQ(s.top, (p.bottom - p.top - (s.bottom - s.top)) / 2 + p.top);
}

TEST_F(Windows, ReopeningANumberClosesTheFirstWindow) {
    HWND first = Open(0, 0, 0, 200, 100, 0xCA0001);
    SendMessageA(first, WM_CLOSE, 0, 0); // queues a close event for window 0
    HWND second = Open(0, 0, 0, 300, 100, 0xCA0001);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(WindowHandleOf(0), second);
    EXPECT_EQ(ClassOf(second), "WindowClass_0");
    EXPECT_NE(PollWindowEvent(), CloseWindowEvent); // the old window's event was dropped
}

TEST_F(Windows, DynamicWindowsAreNumberedByTheirObject) {
    intptr_t number = OpenAppWindow(AutoNumber, 0, 0, 100, 50, nullptr, WINDOW_INVISIBLE);
    ASSERT_NE(number, 0);
    HWND window = WindowHandleOf(static_cast<int>(number));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ClassOf(window), "WindowClass_" + std::to_string(static_cast<int>(number)));
    char title[8] = "x";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "");
    EXPECT_EQ(WindowNumberOf(window), static_cast<int>(number));
    CloseAppWindow(static_cast<int>(number));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WindowHandleOf(static_cast<int>(number)), nullptr);
}

TEST_F(Windows, UnknownNumbersGiveNothingAndEndClosesEverything) {
    EXPECT_EQ(WindowHandleOf(7), nullptr);
    EXPECT_EQ(WindowHandleOf(12345), nullptr);
    CloseAppWindow(7);
    HWND a = Open(0, 0, 0, 100, 50, WINDOW_INVISIBLE);
    HWND b = Open(5, 0, 0, 100, 50, WINDOW_INVISIBLE);
    intptr_t c = OpenAppWindow(AutoNumber, 0, 0, 100, 50, nullptr, WINDOW_INVISIBLE);
    HWND cw = WindowHandleOf(static_cast<int>(c));
    EndWindowLibrary();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(IsWindow(cw));
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "WindowClass_5", &info));
}

TEST_F(Windows, CloseButtonReportsACloseEventAndKeepsTheWindow) {
    HWND window = Open(3, 0, 0, 100, 50, WINDOW_INVISIBLE);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(PollWindowEvent(), WM_CLOSE); // the poll that dispatches it returns its number
    EXPECT_EQ(PollWindowEvent(), CloseWindowEvent);
    EXPECT_TRUE(IsWindow(window));
    while (PollWindowEvent() != 0) {
    }
    EXPECT_EQ(PollWindowEvent(), 0);
}

// A program reads the key of a key press from the poll that pumped it.
TEST_F(Windows, EachPollTellsTheWordsOfTheMessageItPumped) {
    HWND window = Open(3, 0, 0, 100, 50, WINDOW_INVISIBLE);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(PollWindowEvent(), WM_KEYDOWN);
    EXPECT_EQ(EventWParam(), static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(EventLParam(), 0x00010001);
    int code;
    while ((code = PollWindowEvent()) != CloseWindowEvent)
        ASSERT_NE(code, 0) << "no close event";
    EXPECT_EQ(EventWParam(), 0u); // an event, not a message
    EXPECT_EQ(EventLParam(), 0);
    PostMessageA(window, WM_KEYUP, 'A', 7);
    while (PollWindowEvent() != WM_KEYUP) {
    }
    EXPECT_EQ(PollWindowEvent(), 0);
    EXPECT_EQ(EventWParam(), static_cast<WPARAM>('A')); // a poll that found nothing keeps them
    EXPECT_EQ(EventLParam(), 7);
}

} // namespace
