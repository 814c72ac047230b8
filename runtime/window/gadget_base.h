// The gadget base: numbered gadgets (the controls placed in runtime windows), the current
// gadget list into which new gadgets go, saved per window, and the common controls.
#pragma once

#include "qv/gadgets.h"
#include "runtime/core/layout.h"
#include "runtime/core/registry.h"

#include <windows.h>

struct GadgetObject;

// A gadget kind's message handler: a message result, or ResultUseDefault.
typedef LRESULT (*GadgetHandler)(GadgetObject* gadget, HWND parent, UINT message, WPARAM wParam,
                                 LPARAM lParam);

// What every gadget kind provides; the first two slots are the kind's own.
struct GadgetKind {
    void* kindSlots[2];
    GadgetHandler handler;
};
QV_ASSERT_SIZE(GadgetKind, 12);

struct GadgetObject {
    HWND control; // non-zero while the gadget exists
    const GadgetKind* kind;
    void* kindData; // the kind's own record
};
QV_ASSERT_SIZE(GadgetObject, 12);

struct GadgetListState {
    HWND currentWindow;   // the gadget list while no container is open
    int reserved1;        // cleared by every SelectGadgetList
    HFONT font;           // for new gadgets
    HWND* containerStack; // open containers; entry 0 is the window itself while in use
    int depth;
    int capacity;
    HWND sharedWindow; // shared by the gadget kinds, destroyed at shutdown
    int reserved2[13];
};
QV_ASSERT_SIZE(GadgetListState, 80);

// Stored as the property "QV_GadgetStack_<instance>" of every window that was a gadget list.
struct GadgetStackRecord {
    HWND window;
    HWND savedCurrentWindow;
    HWND* savedContainerStack;
    int savedDepth;
    int savedCapacity;
    WNDPROC previousProc; // the procedure GadgetStackProc replaced
};
QV_ASSERT_SIZE(GadgetStackRecord, 24);

constexpr int GADGET_STACK_CAPACITY = 10;

// The property of a gadget's control that holds its number, equal to its identifier.
constexpr char GADGET_ID_PROPERTY[] = "QV_ID";

extern ObjectRegistry* GadgetRegistry;
extern GadgetListState* GadgetListBlock;

void StartGadgetLayer();
// Shutdown routine: frees every gadget still registered and destroys the shared window.
void EndGadgetLayer();

LRESULT CALLBACK GadgetStackProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// OpenGadget's controls are gadgets of no kind, children of the gadget list's innermost open
// container, with "QV_ID" set to their number; each is watched, and leaves the registry once its
// control is destroyed by anyone. FreeGadget is the registry's free function; a gadget of no kind
// also leaves the registry.
