// Real messages to real runtime windows, taken through the real pump as a program polls.
#include "event_probe.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/window.h"
#include "runtime/window/window_procedure.h"
#include "runtime_fixture.h"

#include <vector>

namespace {

class WindowProcedure : public RuntimeTest {
  protected:
    HWND window = nullptr;
    WindowObject* object = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        window = reinterpret_cast<HWND>(
            OpenAppWindow(0, 100, 100, 300, 200, "events", WS_OVERLAPPEDWINDOW));
        ASSERT_NE(window, nullptr);
        object = static_cast<WindowObject*>(Registry_Get(WindowRegistry, 0));
        ASSERT_TRUE(Activate(window));
        TakeEvents();
    }

    HWND Child(const char* className, int id, DWORD style = 0) {
        return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, 10, 10, 80, 24,
                               window, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                               GetModuleHandleA(nullptr), nullptr);
    }

    // The codes polled after an action, among those that interest the test.
    static std::vector<int> CodesAfter(std::vector<int> wanted) {
        std::vector<int> codes;
        for (const PolledEvent& event : TakeEvents())
            for (int code : wanted)
                if (event.code == code && event.window == 0)
                    codes.push_back(code);
        return codes;
    }
};

TEST_F(WindowProcedure, MinimiseMaximiseRestoreSizeAndMoveAreReported) {
    const std::vector<int> sizing = {MinimizeWindowEvent, MaximizeWindowEvent, RestoreWindowEvent,
                                     SizeWindowEvent};
    const struct {
        int show;
        std::vector<int> codes;
    } steps[] = {
        {SW_MINIMIZE, {MinimizeWindowEvent}},
        {SW_RESTORE, {RestoreWindowEvent, SizeWindowEvent}},
        {SW_MAXIMIZE, {MaximizeWindowEvent, SizeWindowEvent}},
        {SW_RESTORE, {RestoreWindowEvent, SizeWindowEvent}},
    };
    for (const auto& step : steps) {
        ShowWindow(window, step.show);
        EXPECT_EQ(CodesAfter(sizing), step.codes) << "ShowWindow " << step.show;
    }
    SetWindowPos(window, nullptr, 0, 0, 350, 250, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(CodesAfter(sizing), std::vector<int>{SizeWindowEvent});
    SetWindowPos(window, nullptr, 120, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(TakeEvents(MoveWindowEvent), std::vector<PolledEvent>({{MoveWindowEvent, 0, 0, 0}}));
}

TEST_F(WindowProcedure, CloseIsAnEventUnlessAMessageCallbackAnswersFirst) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Poll(), WM_CLOSE);
    EXPECT_EQ(Poll(), CloseWindowEvent);
    EXPECT_EQ(TakeEvents(), std::vector<PolledEvent>({{CloseWindowEvent, 0, 0, 0}}));

    struct Answer {
        static LRESULT CALLBACK FortyTwo(HWND, UINT message, WPARAM, LPARAM) {
            return message == WM_CLOSE ? 42 : ResultContinue;
        }
        static LRESULT CALLBACK DefaultOnly(HWND, UINT message, WPARAM, LPARAM) {
            return message == WM_CLOSE ? ResultUseDefault : ResultContinue;
        }
    };
    object->messageCallback = Answer::FortyTwo;
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 42);
    EXPECT_TRUE(TakeEvents(CloseWindowEvent).empty());

    // Without a callback of its own the window has the global one.
    object->messageCallback = nullptr;
    WindowThreadBlock->globalMessageCallback = Answer::DefaultOnly;
    SendMessageA(window, WM_CLOSE, 0, 0); // the default procedure destroys the window
    WindowThreadBlock->globalMessageCallback = nullptr;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(TakeEvents(CloseWindowEvent).empty());
}

TEST_F(WindowProcedure, DeactivationAndActivationGiveTheFocusBack) {
    Child("EDIT", 1, WS_BORDER);
    HWND second = Child("EDIT", 2, WS_BORDER);
    SetFocus(second);
    HWND other = reinterpret_cast<HWND>(OpenAppWindow(1, 500, 100, 100, 100, "other", 0));
    ASSERT_TRUE(Activate(other));
    EXPECT_EQ(CodesAfter({DeactivateWindowEvent}), std::vector<int>{DeactivateWindowEvent});
    ASSERT_TRUE(Activate(window));
    EXPECT_EQ(GetFocus(), second);
    EXPECT_EQ(CodesAfter({ActivateWindowEvent}), std::vector<int>{ActivateWindowEvent});
}

TEST_F(WindowProcedure, TimersClicksAndTrayCallbacksAreReported) {
    SetTimer(window, 7, 10, nullptr);
    EXPECT_TRUE(PollUntil(TimerEvent));
    EXPECT_EQ(polledEvents.back(), (PolledEvent{TimerEvent, 7, 0, 0}));
    KillTimer(window, 7);

    POINT centre = {150, 100};
    ClientToScreen(window, &centre);
    auto click = [&](DWORD down, DWORD up, int times) {
        INPUT inputs[5] = {};
        inputs[0].type = INPUT_MOUSE;
        inputs[0].mi.dx = centre.x * 65536 / GetSystemMetrics(SM_CXSCREEN) + 1;
        inputs[0].mi.dy = centre.y * 65536 / GetSystemMetrics(SM_CYSCREEN) + 1;
        inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        for (int i = 0; i < 2 * times; ++i) {
            inputs[1 + i].type = INPUT_MOUSE;
            inputs[1 + i].mi.dwFlags = i % 2 ? up : down;
        }
        SendInput(1 + 2 * times, inputs, sizeof(INPUT));
        PumpInput();
    };
    const std::vector<int> clicks = {LeftClickEvent, RightClickEvent, LeftDoubleClickEvent};
    click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1);
    EXPECT_EQ(CodesAfter(clicks), std::vector<int>{LeftClickEvent});
    click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1);
    EXPECT_EQ(CodesAfter(clicks), std::vector<int>{RightClickEvent});
    PumpFor(GetDoubleClickTime() + 50);
    click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2);
    EXPECT_EQ(CodesAfter(clicks),
              (std::vector<int>{LeftClickEvent, LeftDoubleClickEvent, LeftClickEvent}));

    PostMessageA(window, TRAY_CALLBACK_MESSAGE, 9, WM_RBUTTONDBLCLK);
    EXPECT_EQ(TakeEvents(TrayIconEvent), std::vector<PolledEvent>({{TrayIconEvent, 9, 0, 3}}));
    SendMessageA(window, TRAY_CALLBACK_MESSAGE, 9, WM_MOUSEMOVE);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, window, WM_NULL, WM_NULL, PM_NOREMOVE)); // posted all the same
    EXPECT_TRUE(TakeEvents(TrayIconEvent).empty());
}

LRESULT gadgetAnswer;
std::vector<UINT> gadgetMessages;
LRESULT HandleGadget(GadgetObject*, HWND, UINT message, WPARAM, LPARAM) {
    gadgetMessages.push_back(message);
    return message == WM_COMMAND ? gadgetAnswer : ResultUseDefault;
}

TEST_F(WindowProcedure, MenuCommandsAcceleratorsAndControlsBecomeTheirEvents) {
    PostMessageA(window, WM_COMMAND, 5, 0);
    EXPECT_EQ(TakeEvents(MenuEvent), std::vector<PolledEvent>({{MenuEvent, 5, 0, 0}}));

    // An accelerator of the window's table, pressed on the keyboard.
    ACCEL entries[] = {{FVIRTKEY | FCONTROL, 'M', 5}};
    HACCEL own = object->acceleratorTable;
    object->acceleratorTable = CreateAcceleratorTableA(entries, 1);
    PressKeys({VK_CONTROL, 'M'});
    DestroyAcceleratorTable(object->acceleratorTable);
    object->acceleratorTable = own;
    EXPECT_EQ(TakeEvents(MenuEvent), std::vector<PolledEvent>({{MenuEvent, 5, 0, 0}}));

    SendMessageA(Child("BUTTON", 7), BM_CLICK, 0, 0);
    SetWindowTextA(Child("EDIT", 8), "x");
    SendMessageA(Child("BUTTON", MENU_COMMAND_CONTROL_ID), BM_CLICK, 0, 0);
    std::vector<PolledEvent> commands;
    for (const PolledEvent& event : TakeEvents())
        if (event.code == GadgetEvent || event.code == MenuEvent)
            commands.push_back(event);
    EXPECT_EQ(commands,
              std::vector<PolledEvent>({{GadgetEvent, 7, 0, BN_CLICKED},
                                        {GadgetEvent, 8, 0, EN_UPDATE},
                                        {GadgetEvent, 8, 0, EN_CHANGE},
                                        {MenuEvent, MENU_COMMAND_CONTROL_ID & 0xFFFF, 0, 0}}));

    // A gadget's control: its kind's handler has the first word.
    static const GadgetKind kind = {{nullptr, nullptr}, HandleGadget};
    HWND control = Child("BUTTON", 9);
    SetPropA(control, "QV_ID", reinterpret_cast<HANDLE>(9));
    auto* gadget = static_cast<GadgetObject*>(Registry_Allocate(GadgetRegistry, 9));
    *gadget = {control, &kind, nullptr};
    gadgetMessages.clear();
    gadgetAnswer = 0;
    SendMessageA(control, BM_CLICK, 0, 0);
    EXPECT_TRUE(TakeEvents(GadgetEvent).empty());
    EXPECT_EQ(std::count(gadgetMessages.begin(), gadgetMessages.end(), WM_COMMAND), 1);
    gadgetAnswer = ResultUseDefault;
    SendMessageA(control, BM_CLICK, 0, 0);
    EXPECT_EQ(TakeEvents(GadgetEvent).size(), 1u);
    FreeGadget(9);
    EXPECT_FALSE(IsWindow(control));
}

TEST_F(WindowProcedure, AnMdiFrameServesTheWindowMenuButNeverResizesItsClient) {
    HWND client = CreateMdiClient(window, 0, 0, 200, 150);
    SetPropA(window, "QV_MDI_Gadget", client);
    HWND first = CreateMDIWindowA("MDI_ChildClass", "1", 0, 0, 0, 100, 80, client, nullptr, 0);
    CreateMDIWindowA("MDI_ChildClass", "2", 0, 0, 0, 100, 80, client, nullptr, 0);
    ASSERT_NE(first, reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)));

    PostMessageA(window, WM_COMMAND, 50000, 0); // the window menu's entry of the first child
    EXPECT_EQ(TakeEvents(MenuEvent), std::vector<PolledEvent>({{MenuEvent, 50000, 0, 0}}));
    EXPECT_EQ(first, reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)));

    SetWindowPos(window, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    TakeEvents();
    RECT area;
    GetClientRect(client, &area);
    EXPECT_EQ(area.right, 200);
    EXPECT_EQ(area.bottom, 150);
}

} // namespace
