// The gallery: one window that shows most of what the runtime offers, built against its
// installed package. Controls with Tab navigation, text in two fonts and at an angle, a bitmap
// file written, loaded, scaled and blended, and the last event polled. Escape and the close
// button end it with exit code 0.
#include "layout.h"
#include "scene.h"

#include <qv/qv.h>

#include <stdio.h>

namespace {

// In tab order. An editable rich edit takes Tab itself; Shift+Tab leaves it.
void OpenControls() {
    OpenButton(BUTTON_ONE, "One", 400, 124, 100, 28);
    OpenButton(BUTTON_TWO, "Two", 516, 124, 100, 28);
    OpenEdit(EDIT_FIELD, "An edit", 400, 162, 216, 24);
    OpenGadget(RICH_EDIT, "RichEdit20A", "A rich edit: Tab types a tab here", 400, 194, 216, 60,
               WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE);
}

const struct {
    int code;
    const char* name;
} EventNames[] = {
    {GadgetEvent, "GadgetEvent"},
    {MenuEvent, "MenuEvent"},
    {TrayIconEvent, "TrayIconEvent"},
    {ActivateWindowEvent, "ActivateWindowEvent"},
    {MinimizeWindowEvent, "MinimizeWindowEvent"},
    {MaximizeWindowEvent, "MaximizeWindowEvent"},
    {RestoreWindowEvent, "RestoreWindowEvent"},
    {TimerEvent, "TimerEvent"},
    {RightClickEvent, "RightClickEvent"},
    {LeftClickEvent, "LeftClickEvent"},
    {LeftDoubleClickEvent, "LeftDoubleClickEvent"},
    {DeactivateWindowEvent, "DeactivateWindowEvent"},
    {RepaintEvent, "RepaintEvent"},
    {CloseWindowEvent, "CloseWindowEvent"},
    {MoveWindowEvent, "MoveWindowEvent"},
    {SizeWindowEvent, "SizeWindowEvent"},
};

// The name of a runtime event; null for a message's number.
const char* EventName(int code) {
    for (const auto& event : EventNames)
        if (event.code == code)
            return event.name;
    return nullptr;
}

// A key press may come and go between two polls, so the pumped message counts as well as the
// key held.
bool EscapePressed(int code) {
    return (code == WM_KEYDOWN && EventWParam() == VK_ESCAPE) ||
           (GetAsyncKeyState(VK_ESCAPE) & 0x8000);
}

void RunGallery() {
    HWND window = reinterpret_cast<HWND>(
        OpenAppWindow(0, 0, 0, GALLERY_WIDTH, GALLERY_HEIGHT, GALLERY_TITLE,
                      WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WINDOW_CENTRE_SCREEN));
    if (!window)
        return;
    // The picture is copied onto the window's DC around the controls, not over them.
    SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_CLIPCHILDREN);
    OpenControls();
    Scene scene;
    if (!OpenScene(&scene, window))
        return;
    char line[128] = "Last event: none yet";
    PaintScene(scene, window, line);
    for (;;) {
        // Waits for input rather than spinning; nothing here needs a frame rate.
        int code = NextWindowEvent(250);
        if (code == CloseWindowEvent || EscapePressed(code))
            break;
        const char* name = EventName(code);
        if (!name)
            continue;
        char title[128];
        snprintf(title, sizeof title, GALLERY_TITLE_EVENT, code, EventWindow(), EventObject(),
                 EventType());
        SetWindowTextA(window, title);
        snprintf(line, sizeof line, "Last event: %d %s, window %d, object %d, type %d", code, name,
                 EventWindow(), EventObject(), EventType());
        PaintScene(scene, window, line);
    }
    CloseScene(&scene);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // No screen: the gallery draws with GDI through a plain output.
    HMODULE richEdit = nullptr;
    if (StartAppRuntime(0)) {
        richEdit = LoadLibraryA("riched20.dll"); // registers the rich-edit class
        RunGallery();
    }
    EndAppRuntime(); // the rich edit goes with its window, before its library
    if (richEdit)
        FreeLibrary(richEdit);
    ExitProcess(0);
}
