#include "runtime/window/gadget_base.h"

#include "runtime/core/address_set.h"
#include "runtime/core/heap.h"

#include <commctrl.h>
#include <stdio.h>

ObjectRegistry* GadgetRegistry;
GadgetListState* GadgetListBlock;

namespace {

HFONT defaultFont;
// "QV_GadgetStack_%i" of this module: several modules on the runtime keep separate records.
char stackPropertyName[32];
// "QV_GadgetProc_%i": the procedure GadgetStackProc replaced, kept by the window itself too, so
// that its messages still reach that procedure once the record has gone with the runtime heap.
char procPropertyName[32];
// The windows GadgetStackProc was set on, by handle: the end gives each its procedure back.
AddressSet listWindows;

HWND* NewContainerStack() {
    return static_cast<HWND*>(RuntimeAlloc(GADGET_STACK_CAPACITY * sizeof(HWND), HEAP_ZERO_MEMORY));
}

void InitGadgetList(void* block) {
    auto* state = static_cast<GadgetListState*>(block);
    state->containerStack = NewContainerStack();
    state->capacity = GADGET_STACK_CAPACITY;
    state->reserved1 = 0;
    state->font = defaultFont;
}

void FreeGadgetList(void* block) {
    auto* state = static_cast<GadgetListState*>(block);
    if (state->containerStack)
        RuntimeFree(state->containerStack);
}

GadgetListState* State() {
    return static_cast<GadgetListState*>(ThreadBlock_Get(GadgetListBlock));
}

HWND CurrentListWindow(const GadgetListState* state) {
    return state->depth == 0 ? state->currentWindow : state->containerStack[0];
}

GadgetStackRecord* RecordOf(HWND window) {
    return static_cast<GadgetStackRecord*>(GetPropA(window, stackPropertyName));
}

void FreeStack(HWND*& stack) {
    if (stack)
        RuntimeFree(stack);
    stack = nullptr;
}

WNDPROC KeptProcOf(HWND window) {
    return reinterpret_cast<WNDPROC>(
        reinterpret_cast<intptr_t>(GetPropA(window, procPropertyName)));
}

// Sets GadgetStackProc on window; the procedure it replaced. A window still left behind another
// procedure by an earlier run already leads to GadgetStackProc, and keeps its chain.
WNDPROC Subclass(HWND window) {
    if (WNDPROC kept = KeptProcOf(window))
        return kept;
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetStackProc)));
    SetPropA(window, procPropertyName,
             reinterpret_cast<HANDLE>(reinterpret_cast<intptr_t>(previous)));
    return previous;
}

// A window the runtime did not make outlives the runtime's end, and its record would be read
// from the freed heap at its next message: the record goes now, and so does GadgetStackProc
// where it is still the window's procedure. Where a procedure was set over it since, the chain
// cannot be undone, and GadgetStackProc passes every message on to the kept procedure.
void ReleaseListWindows() {
    for (int i = 0; i < listWindows.cellCount; ++i) {
        auto window = reinterpret_cast<HWND>(listWindows.cells[i]);
        if (!window)
            continue;
        if (GadgetStackRecord* record = RecordOf(window)) {
            FreeStack(record->savedContainerStack);
            RuntimeFree(record);
            RemovePropA(window, stackPropertyName);
        }
        if (GetWindowLongPtrA(window, GWLP_WNDPROC) ==
            reinterpret_cast<LONG_PTR>(GadgetStackProc)) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeptProcOf(window)));
            RemovePropA(window, procPropertyName);
        }
    }
    AddressSet_Free(&listWindows);
}

// A control dies with its parent, or by anyone's DestroyWindow: its gadget must not keep the
// dead handle, which DestroyWindow would later be called on, and which may name another window
// by then. A gadget of no kind leaves the registry; one of a kind is marked dead for its kind.
LRESULT CALLBACK GadgetControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR number) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, GadgetControlProc, id);
        auto* gadget = static_cast<GadgetObject*>(
            Registry_Get(GadgetRegistry, static_cast<int>(static_cast<intptr_t>(number))));
        if (gadget && gadget->control == control) {
            if (gadget->kind)
                gadget->control = nullptr;
            else
                Registry_Release(GadgetRegistry, static_cast<int>(static_cast<intptr_t>(number)));
        }
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

void ForgetGadgets() {
    ReleaseListWindows();
    GadgetRegistry = nullptr;
    GadgetListBlock = nullptr;
}

} // namespace

void StartGadgetLayer() {
    defaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GadgetRegistry = Registry_Create(sizeof(GadgetObject), 50, FreeGadget);
    GadgetListBlock = static_cast<GadgetListState*>(
        ThreadBlock_Create(sizeof(GadgetListState), InitGadgetList, FreeGadgetList));
    RuntimeHeap_OnDestroy(ForgetGadgets);
    int instance = static_cast<int>(reinterpret_cast<intptr_t>(GetModuleHandleA(nullptr)));
    sprintf(stackPropertyName, "QV_GadgetStack_%i", instance);
    sprintf(procPropertyName, "QV_GadgetProc_%i", instance);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_HOTKEY_CLASS |
                                                          ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                                                          ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
}

void EndGadgetLayer() {
    FreeGadget(AutoNumber);
    GadgetListState* state = State();
    if (state && state->sharedWindow) {
        DestroyWindow(state->sharedWindow);
        state->sharedWindow = nullptr;
    }
    ReleaseListWindows();
}

HWND SelectGadgetList(HWND window) {
    GadgetListState* state = State();
    if (!state)
        return nullptr;
    HWND previous = CurrentListWindow(state);
    if (!window)
        return previous;
    if (previous) {
        if (GadgetStackRecord* record = RecordOf(previous)) {
            record->savedCurrentWindow = state->currentWindow;
            record->savedContainerStack = state->containerStack;
            record->savedDepth = state->depth;
            record->savedCapacity = state->capacity;
            state->containerStack = nullptr;
        }
    }
    if (GadgetStackRecord* record = RecordOf(window)) {
        FreeStack(state->containerStack);
        state->currentWindow = record->savedCurrentWindow;
        state->containerStack = record->savedContainerStack;
        state->depth = record->savedDepth;
        state->capacity = record->savedCapacity;
        record->savedContainerStack = nullptr;
    } else {
        if (!state->containerStack) {
            state->containerStack = NewContainerStack();
            state->capacity = GADGET_STACK_CAPACITY;
        }
        state->depth = 0;
        state->currentWindow = window;
        auto* created = static_cast<GadgetStackRecord*>(
            RuntimeAlloc(sizeof(GadgetStackRecord), HEAP_ZERO_MEMORY));
        // A window the end could not find again is not subclassed.
        if (created && !AddressSet_Add(&listWindows, reinterpret_cast<uintptr_t>(window))) {
            RuntimeFree(created);
            created = nullptr;
        }
        if (created) {
            created->window = window;
            SetPropA(window, stackPropertyName, created);
            created->previousProc = Subclass(window);
        }
    }
    state->reserved1 = 0;
    return previous;
}

LRESULT CALLBACK GadgetStackProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GadgetStackRecord* record = RecordOf(window);
    // Without a record, as after the end, the window's own property names the procedure.
    WNDPROC previousProc = record ? record->previousProc : KeptProcOf(window);
    if (message == WM_NCDESTROY) {
        if (record) {
            GadgetListState* state = State();
            if (state && CurrentListWindow(state) == window) {
                state->currentWindow = nullptr;
                state->depth = 0;
            }
            FreeStack(record->savedContainerStack);
            RuntimeFree(record);
            RemovePropA(window, stackPropertyName);
            AddressSet_Remove(&listWindows, reinterpret_cast<uintptr_t>(window));
        }
        RemovePropA(window, procPropertyName);
    }
    return previousProc ? CallWindowProcA(previousProc, window, message, wParam, lParam)
                        : DefWindowProcA(window, message, wParam, lParam);
}

intptr_t OpenGadget(int number, const char* className, const char* text, int x, int y, int width,
                    int height, DWORD style, DWORD extendedStyle) {
    GadgetListState* state = State();
    if (!state)
        return 0;
    HWND parent =
        state->depth == 0 ? state->currentWindow : state->containerStack[state->depth - 1];
    if (!parent)
        return 0;
    auto* gadget = static_cast<GadgetObject*>(Registry_Allocate(GadgetRegistry, number));
    if (!gadget)
        return 0;
    bool dynamic = number == AutoNumber;
    if (dynamic)
        number = Registry_NumberOf(gadget);
    HWND control = CreateWindowExA(
        extendedStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<intptr_t>(number)), GetModuleHandleA(nullptr), nullptr);
    if (!control) {
        Registry_Release(GadgetRegistry, number);
        return 0;
    }
    SetPropA(control, GADGET_ID_PROPERTY, reinterpret_cast<HANDLE>(static_cast<intptr_t>(number)));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    gadget->control = control;
    if (!SetWindowSubclass(control, GadgetControlProc, 0, static_cast<DWORD_PTR>(number))) {
        DestroyWindow(control);
        Registry_Release(GadgetRegistry, number);
        return 0;
    }
    return dynamic ? number : reinterpret_cast<intptr_t>(control);
}

void FreeGadget(int number) {
    if (number == AutoNumber) {
        Registry_FreeAll(GadgetRegistry);
        return;
    }
    auto* gadget = static_cast<GadgetObject*>(Registry_Get(GadgetRegistry, number));
    if (!gadget)
        return;
    HWND control = gadget->control;
    DestroyWindow(control); // OpenGadget's controls take their gadget out as they go
    // Nothing else would ever take a kindless gadget's record out.
    gadget = static_cast<GadgetObject*>(Registry_Get(GadgetRegistry, number));
    if (gadget && gadget->control == control && !gadget->kind)
        Registry_Release(GadgetRegistry, number);
}
