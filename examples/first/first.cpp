// A first program on QV: a picture crosses a screen, faster at each click of a button.
#include <qv/qv.h>

// A bitmap file: 2 x 2 pixels at 24 bits, top row first (a negative height), rows padded to 4.
// clang-format off
const unsigned char Picture[70] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // pixels at 54
    40, 0, 0, 0, 2, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0, // 2 x -2 pixels, 24 bits
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0}; // red, green; blue, white
// clang-format on

enum { PICTURE = 1, FASTER = 1 }; // an image's number and a gadget's

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (StartAppRuntime(RUNTIME_WITH_SCREEN) &&
        OpenAppWindow(0, 0, 0, 640, 480, "First", WS_CAPTION | WS_SYSMENU | WINDOW_CENTRE_SCREEN) &&
        OpenScreenInWindow(WindowHandleOf(0), 0, 0, 640, 420, 0, 0, 0) &&
        LoadImageFromMemory(PICTURE, Picture, sizeof Picture) && ResizeImage(PICTURE, 96, 96) &&
        OpenButton(FASTER, "Faster", 10, 440, 100, 30)) { // below the screen
        char line[32] = "First: speed 1";
        DWORD speed = 1, last = GetTickCount(), moved = 0; // moved: in 1/20 pixels
        for (;;) {
            DWORD now = GetTickCount();
            moved += (now - last) * speed;
            last = now;
            if (BeginDrawing(BackBufferOutput())) {
                DrawBox(0, 0, 640, 420, RGB(0, 0, 0));
                DrawImage(ImageHandleOf(PICTURE), moved / 20 % 544, 160);
                SetDrawingMode(MODE_TRANSPARENT); // text without a box behind it
                DrawString(10, 10, line, RGB(255, 255, 255));
                EndDrawing();
            }
            PresentFrame();
            int event = PollWindowEvent(); // one event, or one message, per frame
            if (event == CloseWindowEvent || (event == WM_KEYDOWN && EventWParam() == VK_ESCAPE))
                break;
            if (event == GadgetEvent && EventObject() == FASTER) {
                wsprintfA(line, "First: speed %lu", ++speed);
                SetWindowTextA(WindowHandleOf(0), line);
            }
        }
    }
    EndAppRuntime();
    return 0;
}
