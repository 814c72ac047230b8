#include "event_probe.h"
#include "runtime/window/keyboard_focus.h"
#include "runtime/window/window.h"
#include "runtime/window/window_procedure.h"
#include "runtime_fixture.h"

#include <commctrl.h>
#include <richedit.h>

#include <vector>

namespace {

class KeyboardFocus : public RuntimeTest {
  protected:
    HWND window = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        window = reinterpret_cast<HWND>(
            OpenAppWindow(0, 100, 100, 500, 300, "focus", WS_CAPTION | WS_SYSMENU));
        ASSERT_NE(window, nullptr);
    }

    HWND Control(const char* className, DWORD style, HWND parent = nullptr, int id = 0) {
        static int x = 0;
        x = (x + 60) % 420;
        return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, x, 10, 55, 24,
                               parent ? parent : window, reinterpret_cast<HMENU>(intptr_t(id)),
                               GetModuleHandleA(nullptr), nullptr);
    }
    HWND Button(DWORD style = WS_TABSTOP) { return Control("BUTTON", style); }

    static void Tab() { PressKeys({VK_TAB}); }
    static void ShiftTab() { PressKeys({VK_SHIFT, VK_TAB}); }
};

TEST_F(KeyboardFocus, TabAndShiftTabWalkTheTabStopsAndWrapAround) {
    HWND first = Button();
    HWND edit = Control("EDIT", WS_TABSTOP | WS_BORDER);
    HWND disabled = Button();
    EnableWindow(disabled, FALSE);
    HWND hidden = Button();
    ShowWindow(hidden, SW_HIDE);
    HWND label = Control("STATIC", 0);
    HWND last = Button();
    ASSERT_TRUE(Activate(window));

    const struct {
        const char* what;
        HWND from;
        bool backward;
        HWND to;
    } steps[] = {
        {"nothing focused, Tab", window, false, first},
        {"nothing focused, Shift+Tab", window, true, last},
        {"Tab", first, false, edit},
        {"Tab skips disabled, hidden and no tab stop", edit, false, last},
        {"Tab from the last", last, false, first},
        {"Shift+Tab from the first", first, true, last},
        {"Shift+Tab skips back", last, true, edit},
        {"Shift+Tab", edit, true, first},
        {"Tab from a control that is no tab stop", label, false, label},
        {"Shift+Tab from a control that is no tab stop", label, true, last},
    };
    for (const auto& step : steps) {
        SetFocus(step.from);
        ASSERT_EQ(GetFocus(), step.from) << step.what;
        step.backward ? ShiftTab() : Tab();
        EXPECT_EQ(GetFocus(), step.to) << step.what;
    }
}

TEST_F(KeyboardFocus, AnEditableRichEditKeepsTabAndAReadOnlyOneMovesOn) {
    ASSERT_TRUE(LoadLibraryA("riched20.dll"));
    HWND first = Button();
    HWND editable = Control(RICHEDIT_CLASSA, WS_TABSTOP | ES_MULTILINE | WS_BORDER);
    HWND readOnly = Control(RICHEDIT_CLASSA, WS_TABSTOP | ES_MULTILINE | ES_READONLY);
    HWND last = Button();
    ASSERT_TRUE(Activate(window));

    SetFocus(editable);
    Tab();
    EXPECT_EQ(GetFocus(), editable);
    char text[16] = {};
    GetWindowTextA(editable, text, sizeof text);
    EXPECT_STREQ(text, "\t");
    ShiftTab(); // with Shift the runtime navigates
    EXPECT_EQ(GetFocus(), first);

    SetFocus(readOnly);
    Tab();
    EXPECT_EQ(GetFocus(), last);
}

// Only they: any other window's tab-stop children are stops of their own.
TEST_F(KeyboardFocus, AnAddressControlAndAComboBoxExCountAsOneControl) {
    HWND first = Button();
    HWND address = Control(WC_IPADDRESSA, WS_TABSTOP);
    HWND middle = Button();
    HWND combo = Control(WC_COMBOBOXEXA, WS_TABSTOP | CBS_DROPDOWNLIST);
    HWND last = Button();
    HWND container = Control("STATIC", WS_TABSTOP);
    HWND inside = Control("BUTTON", WS_TABSTOP, container);
    ASSERT_TRUE(Activate(window));

    SetFocus(container);
    Tab();
    EXPECT_EQ(GetFocus(), inside);

    HWND field = GetWindow(GetWindow(address, GW_CHILD), GW_HWNDNEXT); // not the first field
    ASSERT_NE(field, nullptr);
    SetFocus(field);
    Tab();
    EXPECT_EQ(GetFocus(), middle);
    SetFocus(field);
    ShiftTab();
    EXPECT_EQ(GetFocus(), first);

    HWND inner = reinterpret_cast<HWND>(SendMessageA(combo, CBEM_GETCOMBOCONTROL, 0, 0));
    ASSERT_NE(inner, nullptr);
    SetFocus(inner);
    ASSERT_EQ(GetFocus(), inner);
    Tab();
    EXPECT_EQ(GetFocus(), last);
    SetFocus(inner);
    ShiftTab();
    EXPECT_EQ(GetFocus(), middle);
}

TEST_F(KeyboardFocus, NavigationStaysInsideAnMdiChild) {
    HWND before = Button();
    HWND mdiClient = CreateMdiClient(window, 0, 60, 480, 200);
    ASSERT_NE(mdiClient, nullptr);
    HWND after = Button();
    HWND child = CreateMDIWindowA("MDI_ChildClass", "child", WS_VISIBLE, 0, 0, 300, 150, mdiClient,
                                  GetModuleHandleA(nullptr), 0);
    ASSERT_NE(child, nullptr);
    HWND one = Control("EDIT", WS_TABSTOP | WS_BORDER, child);
    HWND two = Control("EDIT", WS_TABSTOP | WS_BORDER, child);
    ASSERT_TRUE(Activate(window));

    SetFocus(one);
    Tab();
    EXPECT_EQ(GetFocus(), two);
    Tab();
    EXPECT_EQ(GetFocus(), one);
    ShiftTab();
    EXPECT_EQ(GetFocus(), two);
    (void)before;
    (void)after;
}

// The window manager may keep the cues on for good, so the window's message callback stands in
// for its state and records what the runtime asks of it.
LRESULT uiState;
std::vector<WPARAM> uiUpdates;
LRESULT CALLBACK WatchCues(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_QUERYUISTATE)
        return uiState;
    if (message == WM_UPDATEUISTATE)
        uiUpdates.push_back(wParam);
    return ResultContinue;
}

TEST_F(KeyboardFocus, ModifierKeysShowTheCuesAndDeactivationHidesThem) {
    Button();
    ASSERT_TRUE(Activate(window));
    static_cast<WindowObject*>(Registry_Get(WindowRegistry, 0))->messageCallback = WatchCues;
    const WPARAM show = MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL);
    const WPARAM hide = MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL);

    uiState = UISF_HIDEFOCUS;
    uiUpdates.clear();
    HoldKey(VK_CONTROL, true);
    HoldKey(VK_CONTROL, false);
    ASSERT_FALSE(uiUpdates.empty());
    EXPECT_EQ(uiUpdates.front(), show);

    uiState = 0; // shown already: nothing more to ask
    uiUpdates.clear();
    PressKeys({VK_SHIFT});
    EXPECT_TRUE(uiUpdates.empty());

    HWND other = reinterpret_cast<HWND>(OpenAppWindow(1, 300, 300, 100, 100, "other", 0));
    ASSERT_TRUE(Activate(other));
    EXPECT_EQ(uiUpdates, std::vector<WPARAM>{hide});
    uiState = UISF_HIDEFOCUS | UISF_HIDEACCEL; // hidden already
    uiUpdates.clear();
    ASSERT_TRUE(Activate(window));
    ASSERT_TRUE(Activate(other));
    EXPECT_TRUE(uiUpdates.empty());
}

TEST_F(KeyboardFocus, OnlyThisProcessesWindowsWithoutAHotkeyControlGiveTheirAccelerators) {
    HWND hotkey = Control(HOTKEY_CLASSA, WS_TABSTOP);
    ASSERT_TRUE(Activate(window));
    auto* object = static_cast<WindowObject*>(Registry_Get(WindowRegistry, 0));
    EXPECT_EQ(AcceleratorsFor(window), object->acceleratorTable);
    EXPECT_EQ(AcceleratorsFor(nullptr), nullptr);

    // Another process's window with a window number of its own.
    HWND foreign = GetDesktopWindow();
    DWORD process = 0;
    GetWindowThreadProcessId(foreign, &process);
    ASSERT_NE(process, GetCurrentProcessId());
    ASSERT_TRUE(SetPropA(foreign, "QV_WindowID", reinterpret_cast<HANDLE>(1)));
    EXPECT_EQ(AcceleratorsFor(foreign), nullptr);
    RemovePropA(foreign, "QV_WindowID");

    SetFocus(hotkey);
    SetPropA(hotkey, "QV_Hotkey", reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(AcceleratorsFor(window), nullptr);
}

} // namespace
