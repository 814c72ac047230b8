// The windowed screen: one Direct3D device presenting into a child window of an application
// window. There is at most one per process.
#pragma once

#include "qv/screen.h"

#include <windows.h>
#include <d3d9.h>

struct ScreenState {
    int open;     // set last by a successful open, cleared last by ReleaseScreen
    int windowed; // set while a screen is being opened or is open; read by the base window
    int active;   // frames are presented
    HWND parentWindow;
    HWND childWindow;
    WNDPROC childOldProc;
    WNDPROC parentOldProc;
    int x, y;
    int fitToWindow;
    int rightMargin, bottomMargin;
    int width, height; // back-buffer size
    int depth;         // bits per pixel of the back buffer
    int pixelFormat;   // the drawing layer's FORMAT_* code of the back buffer's pixels
    IDirect3DDevice9* device;
    IDirect3DSurface9* backBuffer;
    D3DPRESENT_PARAMETERS presentParams; // kept: a device reset passes it again
    int deviceAway;     // active was cleared by a lost device or a failed present: PresentFrame
                        // keeps trying to get the device back
    int failedPresents; // presents refused in a row while the device was not lost
};

extern ScreenState Screen;

// Applies fitToWindow: the child window follows the parent's client area less the margins.
void FitScreenToWindow();
int BitsPerPixelOfFormat(D3DFORMAT format);

LRESULT CALLBACK ScreenChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ScreenParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
