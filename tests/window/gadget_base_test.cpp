#include "event_probe.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/window.h"
#include "runtime/window/window_procedure.h"
#include "runtime_fixture.h"

#include <commctrl.h>
#include <stdio.h>

#include <string>

namespace {

class GadgetBase : public RuntimeTest {
  protected:
    static HWND Open(int number, DWORD flags = 0) {
        return reinterpret_cast<HWND>(
            OpenAppWindow(number, 0, 0, 200, 100, "g", WINDOW_INVISIBLE | flags));
    }
    static GadgetStackRecord* RecordOf(HWND window) {
        char name[32];
        snprintf(name, sizeof name, "QV_GadgetStack_%i",
                 static_cast<int>(reinterpret_cast<intptr_t>(GetModuleHandleA(nullptr))));
        return static_cast<GadgetStackRecord*>(GetPropA(window, name));
    }
    static LONG_PTR ProcOf(HWND window) { return GetWindowLongPtrA(window, GWLP_WNDPROC); }
    // A window the runtime did not make.
    static HWND Popup() {
        return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                               nullptr);
    }
};

TEST_F(GadgetBase, EveryOpenedWindowIsTheCurrentListBehindTheSubclass) {
    HWND window = Open(0);
    EXPECT_EQ(ProcOf(window), reinterpret_cast<LONG_PTR>(GadgetStackProc));
    EXPECT_EQ(SelectGadgetList(nullptr), window);
    ASSERT_NE(RecordOf(window), nullptr);
    EXPECT_EQ(RecordOf(window)->previousProc, AppWindowProc);
    SendMessageA(window, WM_CLOSE, 0, 0); // reaches the window procedure behind
    EXPECT_EQ(TakeEvents(CloseWindowEvent).size(), 1u);

    HWND plain = Open(1, WINDOW_NO_GADGET_LIST);
    EXPECT_EQ(ProcOf(plain), reinterpret_cast<LONG_PTR>(AppWindowProc));
    EXPECT_EQ(SelectGadgetList(nullptr), window);
}

TEST_F(GadgetBase, EachListKeepsItsContainerStackAndIsSubclassedOnce) {
    HWND a = Open(0);
    GadgetListState* state = GadgetListBlock;
    ASSERT_EQ(state->capacity, GADGET_STACK_CAPACITY);
    HWND container = Open(2, WINDOW_NO_GADGET_LIST);
    state->containerStack[0] = a;
    state->containerStack[1] = container;
    state->depth = 2;
    HWND b = Open(1);
    EXPECT_EQ(state->depth, 0);
    EXPECT_EQ(SelectGadgetList(nullptr), b);
    GadgetStackRecord* record = RecordOf(a);
    EXPECT_EQ(SelectGadgetList(a), b);
    EXPECT_EQ(state->depth, 2);
    EXPECT_EQ(state->containerStack[1], container);
    EXPECT_EQ(SelectGadgetList(a), a); // selected twice: the same record, one subclass
    EXPECT_EQ(RecordOf(a), record);
    EXPECT_EQ(record->previousProc, AppWindowProc);
    EXPECT_EQ(state->depth, 2);
}

TEST_F(GadgetBase, DestroyingTheCurrentListLeavesNoneAndFreesItsRecord) {
    HWND a = Open(0);
    HWND b = Open(1);
    size_t before = HeapBytesInUse(RuntimeHeap);
    DestroyWindow(a); // not current: its record and saved stack go
    EXPECT_LT(HeapBytesInUse(RuntimeHeap), before);
    EXPECT_EQ(SelectGadgetList(nullptr), b);
    DestroyWindow(b);
    EXPECT_EQ(SelectGadgetList(nullptr), nullptr);
    EXPECT_EQ(RecordOf(b), nullptr);
}

TEST_F(GadgetBase, GadgetsCommonControlsAndTheSharedWindowAreLookedAfter) {
    HWND window = Open(0);
    auto button = [&] {
        return CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, window, nullptr, nullptr,
                               nullptr);
    };
    HWND controls[3] = {button(), button(), button()};
    for (int i = 0; i < 3; ++i)
        static_cast<GadgetObject*>(Registry_Allocate(GadgetRegistry, i))->control = controls[i];
    FreeGadget(1);
    EXPECT_FALSE(IsWindow(controls[1]));
    EXPECT_TRUE(IsWindow(controls[0]));
    FreeGadget(AutoNumber);
    EXPECT_FALSE(IsWindow(controls[0]));
    EXPECT_FALSE(IsWindow(controls[2]));

    for (const char* name :
         {WC_TABCONTROLA, HOTKEY_CLASSA, DATETIMEPICK_CLASSA, WC_COMBOBOXEXA, WC_IPADDRESSA}) {
        WNDCLASSEXA info = {};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetClassInfoExA(nullptr, name, &info)) << name;
    }

    GadgetListBlock->sharedWindow = Open(5, WINDOW_NO_GADGET_LIST);
    HWND shared = GadgetListBlock->sharedWindow;
    EndGadgetLayer();
    EXPECT_FALSE(IsWindow(shared));
    EXPECT_EQ(GadgetListBlock->sharedWindow, nullptr);
}

TEST_F(GadgetBase, OpenGadgetPlacesAControlOfAnyClassThatReportsItsNumber) {
    HWND window = Open(0);
    HWND button = reinterpret_cast<HWND>(OpenGadget(7, "BUTTON", "OK", 5, 6, 60, 20, WS_TABSTOP));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetParent(button), window);
    EXPECT_EQ(GetWindowLongA(button, GWL_ID), 7);
    EXPECT_EQ(GetPropA(button, "QV_ID"), reinterpret_cast<HANDLE>(7));
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_TABSTOP),
              static_cast<LONG>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)),
              GadgetListBlock->font);
    SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(TakeEvents(GadgetEvent), (std::vector<PolledEvent>{{GadgetEvent, 7, 0, BN_CLICKED}}));

    // A dynamic number goes inside the innermost open container; freeing takes the record too.
    HWND container = Open(2, WINDOW_NO_GADGET_LIST);
    GadgetListBlock->containerStack[0] = window;
    GadgetListBlock->containerStack[1] = container;
    GadgetListBlock->depth = 2;
    intptr_t number = OpenGadget(AutoNumber, "EDIT", "", 0, 0, 50, 20, 0);
    auto* gadget =
        static_cast<GadgetObject*>(Registry_Get(GadgetRegistry, static_cast<int>(number)));
    ASSERT_NE(gadget, nullptr);
    EXPECT_EQ(GetParent(gadget->control), container);
    EXPECT_EQ(GetWindowLongA(gadget->control, GWL_ID), static_cast<LONG>(number));
    HWND edit = gadget->control;
    FreeGadget(static_cast<int>(number));
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(Registry_Get(GadgetRegistry, static_cast<int>(number)), nullptr);

    // No such class, or no gadget list: nothing is made and the number stays free.
    EXPECT_EQ(OpenGadget(8, "NoSuchClass", "", 0, 0, 1, 1, 0), 0);
    EXPECT_EQ(Registry_Get(GadgetRegistry, 8), nullptr);
    DestroyWindow(container);
    DestroyWindow(window);
    EXPECT_EQ(OpenGadget(9, "BUTTON", "", 0, 0, 1, 1, 0), 0);
}

TEST_F(GadgetBase, ButtonsLabelsAndEditsTakeOneCallEach) {
    HWND window = Open(0);
    const struct {
        intptr_t (*open)(int number, const char* text, int x, int y, int width, int height);
        const char* className;
        DWORD style, extendedStyle;
    } controls[] = {
        {OpenButton, "Button", WS_TABSTOP | BS_PUSHBUTTON, 0},
        {OpenLabel, "Static", SS_LEFT, 0},
        {OpenEdit, "Edit", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.className);
        intptr_t number = control.open(AutoNumber, "Text", 5, 6, 70, 22);
        auto* gadget =
            static_cast<GadgetObject*>(Registry_Get(GadgetRegistry, static_cast<int>(number)));
        ASSERT_NE(gadget, nullptr);
        HWND handle = gadget->control;
        char name[32] = {}, text[32] = {};
        GetClassNameA(handle, name, sizeof name);
        GetWindowTextA(handle, text, sizeof text);
        EXPECT_STRCASEEQ(name, control.className);
        EXPECT_STREQ(text, "Text");
        EXPECT_EQ(GetParent(handle), window);
        EXPECT_EQ(GetDlgCtrlID(handle), static_cast<int>(number));
        DWORD style = static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE));
        EXPECT_EQ(style & (WS_TABSTOP | 0xFF), control.style);
        EXPECT_EQ(GetWindowLongA(handle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE,
                  static_cast<LONG>(control.extendedStyle));
    }
    HWND button = reinterpret_cast<HWND>(OpenButton(4, "Go", 0, 40, 50, 20));
    ASSERT_NE(button, nullptr);
    SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(TakeEvents(GadgetEvent), (std::vector<PolledEvent>{{GadgetEvent, 4, 0, BN_CLICKED}}));
}

TEST_F(GadgetBase, AGadgetGoesWithItsControlAndTheEndFreesEveryGadget) {
    Open(3);
    int dynamic = static_cast<int>(OpenGadget(AutoNumber, "BUTTON", "", 0, 0, 10, 10, 0));
    ASSERT_NE(OpenGadget(4, "BUTTON", "", 0, 0, 10, 10, 0), 0);
    auto alone = reinterpret_cast<HWND>(OpenGadget(5, "BUTTON", "", 0, 0, 10, 10, 0));
    DestroyWindow(alone); // by anyone
    EXPECT_EQ(Registry_Get(GadgetRegistry, 5), nullptr);
    CloseAppWindow(3); // with its parent
    EXPECT_EQ(Registry_Get(GadgetRegistry, 4), nullptr);
    EXPECT_EQ(Registry_Get(GadgetRegistry, dynamic), nullptr);
    FreeGadget(4);
    FreeGadget(dynamic);
    Open(8);
    EXPECT_NE(OpenGadget(4, "BUTTON", "", 0, 0, 10, 10, 0), 0); // the number is free again

    // The end frees the gadgets of windows that the runtime does not close itself, and gives
    // such a window its own procedure back.
    HWND plain = Popup();
    LONG_PTR own = ProcOf(plain);
    SelectGadgetList(plain);
    auto left = reinterpret_cast<HWND>(OpenGadget(7, "BUTTON", "", 0, 0, 10, 10, 0));
    ASSERT_NE(left, nullptr);
    EndGadgetLayer();
    EXPECT_FALSE(IsWindow(left));
    EXPECT_EQ(Registry_Get(GadgetRegistry, 7), nullptr);
    EXPECT_EQ(ProcOf(plain), own);
    DestroyWindow(plain);
}

WNDPROC passedOn;
LRESULT CALLBACK PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(passedOn, window, message, wParam, lParam);
}

// Such a window outlives the heap also when the heap goes without the gadget layer's end: it
// gets its own procedure back, or, under one set over the runtime's, reaches it without a record.
TEST_F(GadgetBase, WindowsMadeGadgetListsOutliveTheHeap) {
    HWND plain = Popup(), covered = Popup();
    LONG_PTR own = ProcOf(plain);
    SelectGadgetList(covered);
    passedOn = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(covered, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PassOn)));
    SelectGadgetList(plain);
    EndRuntime();
    StartRuntime();
    EXPECT_EQ(ProcOf(plain), own);
    for (HWND window : {plain, covered}) {
        EXPECT_EQ(RecordOf(window), nullptr);
        char text[8] = {};
        SetWindowTextA(window, "kept"); // reaches the control's own procedure
        GetWindowTextA(window, text, sizeof text);
        EXPECT_STREQ(text, "kept");
        DestroyWindow(window);
    }
}

} // namespace
