// The normal path of presenting a frame against the device's own Present on the same screen:
// the checks around it (cooperative level, the child's client area) should cost little.
#include "app/program.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"

#include <stdio.h>

namespace {

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

} // namespace

int main() {
    const int frames = 2000;
    StartRuntime();
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!StartScreenLibrary() || !OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0)) {
        printf("present_frame_bench: no screen could be opened\n");
        return 1;
    }
    RECT source = {0, 0, 640, 480}, destination = {0, 0, 640, 480};
    for (int i = 0; i < 50; ++i) // warm up
        Screen.device->Present(&source, &destination, nullptr, nullptr);

    double start = Seconds();
    for (int i = 0; i < frames; ++i)
        Screen.device->Present(&source, &destination, nullptr, nullptr);
    double baseline = (Seconds() - start) / frames;

    start = Seconds();
    for (int i = 0; i < frames; ++i)
        PresentFrame();
    double presented = (Seconds() - start) / frames;

    printf("device Present alone: %.1f us per frame\n", baseline * 1e6);
    printf("PresentFrame:         %.1f us per frame (%.2fx the baseline)\n", presented * 1e6,
           presented / baseline);
    printf("screen still active:  %d\n", Screen.active);
    ShutdownRuntime();
    EndRuntime();
    DestroyWindow(parent);
    return 0;
}
