// Drives the two programs the package test built against the installed runtime, each inside a
// virtual desktop of its own. The gallery: its picture is on the screen where it belongs, Tab
// and Shift+Tab move the focus among its controls, a click on a button comes back as a gadget
// event in its title, and its close button ends it with exit code 0. The first program of the
// README: its button speeds it up, as its title tells, and Escape or its close button ends it
// with exit code 0.
#include "examples/gallery/layout.h"
#include "program_driver.h"
#include "runtime/window/event_queue.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

// One of the programs, started from where the package test built it and shown.
class Example : public ::testing::Test {
  protected:
    void Start(const char* name, const char* title = nullptr) {
        std::string path = BuildTree() + "\\package-test\\" + name + "\\" + name + ".exe";
        ASSERT_TRUE(program.Start(path)) << path;
        window = WaitForWindow(program, Patience, title);
        ASSERT_NE(window, nullptr);
    }

    // Whether the program's thread has made its window the active one. A key pressed before
    // goes elsewhere, and under emulation that comes seconds after the window is shown.
    bool Active() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(program.process.dwThreadId, &info) && info.hwndActive == window;
    }

    std::string Title() const {
        char title[256] = "";
        GetWindowTextA(window, title, sizeof title);
        return title;
    }

    // Clicks the middle of one of the window's controls.
    bool ClickControl(int number) const {
        RECT control;
        GetWindowRect(GetDlgItem(window, number), &control);
        return ClickAt({(control.left + control.right) / 2, (control.top + control.bottom) / 2});
    }

    Program program;
    HWND window = nullptr;
};

class Gallery : public Example {
  protected:
    void SetUp() override { Start("gallery"); }

    // The screen's pixel at a point of the gallery's client area.
    COLORREF PixelAt(int x, int y) const {
        POINT point = {x, y};
        ClientToScreen(window, &point);
        HDC screen = GetDC(nullptr);
        COLORREF color = GetPixel(screen, point.x, point.y);
        ReleaseDC(nullptr, screen);
        return color;
    }

    // The gadget number of the control that has the gallery's keyboard focus, or 0.
    int FocusedGadget() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(program.process.dwThreadId, &info) || !info.hwndFocus)
            return 0;
        return GetDlgCtrlID(info.hwndFocus);
    }
};

class FirstProgram : public Example {
  protected:
    void SetUp() override { Start("first", "First"); }
};

// Polls until the condition holds or the patience runs out: the gallery answers input as it
// polls its events, which under emulation can take many seconds.
template <typename Condition> bool Eventually(Condition condition) {
    for (DWORD waited = 0; waited < Patience; waited += 20) {
        if (condition())
            return true;
        Sleep(20);
    }
    return condition();
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

COLORREF Blend(COLORREF source, COLORREF beneath, int alpha) {
    auto mix = [&](int s, int d) { return (s * alpha + d * (255 - alpha)) / 255; };
    return RGB(mix(GetRValue(source), GetRValue(beneath)),
               mix(GetGValue(source), GetGValue(beneath)),
               mix(GetBValue(source), GetBValue(beneath)));
}

void Press(WORD key, bool withShift) {
    INPUT inputs[4] = {};
    int count = 0;
    auto add = [&](WORD vk, DWORD flags) {
        inputs[count].type = INPUT_KEYBOARD;
        inputs[count].ki.wVk = vk;
        inputs[count++].ki.dwFlags = flags;
    };
    if (withShift)
        add(VK_SHIFT, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (withShift)
        add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(count, inputs, sizeof(INPUT));
}

TEST_F(Gallery, ShowsTheDecodedPictureAtItsOwnSizeScaledUpAndBlendedOverTheBand) {
    // The centre of every cell: exact at its own size and scaled up (the filter is flat inside a
    // cell), half way to what lies beneath where blended.
    auto centre = [](int index) { return index * PICTURE_CELL + PICTURE_CELL / 2; };
    ASSERT_TRUE(Eventually([&] {
        return PixelAt(PICTURE_X + centre(0), PICTURE_Y + centre(0)) == PICTURE_COLORS[0][0];
    })) << "the picture never appeared";
    for (int row = 0; row < PICTURE_ROWS; ++row) {
        for (int column = 0; column < PICTURE_COLUMNS; ++column) {
            COLORREF color = PICTURE_COLORS[row][column];
            int x = centre(column), y = centre(row);
            EXPECT_EQ(PixelAt(PICTURE_X + x, PICTURE_Y + y), color) << row << "," << column;
            EXPECT_TRUE(
                Near(PixelAt(SCALED_X + SCALE_FACTOR * x, SCALED_Y + SCALE_FACTOR * y), color, 1))
                << row << "," << column;
            COLORREF beneath = BLENDED_Y + y >= BAND_Y ? BAND_COLOR : BACKGROUND_COLOR;
            EXPECT_TRUE(
                Near(PixelAt(BLENDED_X + x, BLENDED_Y + y), Blend(color, beneath, BLEND_ALPHA), 2))
                << row << "," << column;
        }
    }
}

TEST_F(Gallery, TabAndShiftTabMoveTheFocusAndAClickedButtonComesBackAsAGadgetEvent) {
    // From the window itself to the first control, on to the rich edit, back, and round from
    // the first control to the last.
    const struct {
        bool shift;
        int focused;
    } steps[] = {{false, BUTTON_ONE}, {false, BUTTON_TWO}, {false, EDIT_FIELD}, {false, RICH_EDIT},
                 {true, EDIT_FIELD},  {true, BUTTON_TWO},  {true, BUTTON_ONE},  {true, RICH_EDIT}};
    ASSERT_TRUE(Eventually([&] { return Active(); })) << "the window never became active";
    int step = 0;
    for (const auto& expected : steps) {
        Press(VK_TAB, expected.shift);
        EXPECT_TRUE(Eventually([&] { return FocusedGadget() == expected.focused; }))
            << "step " << step << ": focus on " << FocusedGadget();
        ++step;
    }

    ASSERT_TRUE(ClickControl(BUTTON_TWO));
    char clicked[128];
    snprintf(clicked, sizeof clicked, GALLERY_TITLE_EVENT, GadgetEvent, 0, BUTTON_TWO, BN_CLICKED);
    EXPECT_TRUE(Eventually([&] { return Title() == clicked; })) << Title();
}

TEST_F(Gallery, ItsCloseButtonEndsItWithZero) {
    ASSERT_TRUE(ClickCloseButton(window)) << "no close button on the caption, or no xdotool";
    EXPECT_EQ(program.WaitForExit(Patience), 0);
}

TEST_F(FirstProgram, ItsButtonSpeedsItUpAndEscapeEndsItWithZero) {
    EXPECT_EQ(program.WaitForExit(1000), -1) << "it runs until it is asked to end";
    for (const char* title : {"First: speed 2", "First: speed 3"}) {
        ASSERT_TRUE(ClickControl(1));
        EXPECT_TRUE(Eventually([&] { return Title() == title; })) << Title();
    }
    // Escape comes to the program as the key of the message it polls, wherever the focus is.
    ASSERT_TRUE(Eventually([&] { return Active(); })) << "the window never became active";
    long code = -1;
    for (DWORD waited = 0; code == -1 && waited < Patience; waited += 100) {
        Press(VK_ESCAPE, false);
        code = program.WaitForExit(100);
    }
    EXPECT_EQ(code, 0);
}

TEST_F(FirstProgram, ItsCloseButtonEndsItWithZero) {
    ASSERT_TRUE(ClickCloseButton(window)) << "no close button on the caption, or no xdotool";
    EXPECT_EQ(program.WaitForExit(Patience), 0);
}

} // namespace
