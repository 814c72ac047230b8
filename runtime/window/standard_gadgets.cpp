// The commonest controls as gadgets: OpenGadget with the class and styles a program would
// otherwise have to know.
#include "runtime/window/gadget_base.h"

intptr_t OpenButton(int number, const char* text, int x, int y, int width, int height) {
    return OpenGadget(number, "BUTTON", text, x, y, width, height, WS_TABSTOP | BS_PUSHBUTTON);
}

intptr_t OpenLabel(int number, const char* text, int x, int y, int width, int height) {
    return OpenGadget(number, "STATIC", text, x, y, width, height, SS_LEFT);
}

intptr_t OpenEdit(int number, const char* text, int x, int y, int width, int height) {
    return OpenGadget(number, "EDIT", text, x, y, width, height, WS_TABSTOP | ES_AUTOHSCROLL,
                      WS_EX_CLIENTEDGE);
}
