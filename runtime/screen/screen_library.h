// The screen library: the Direct3D object every screen's device is made from, the registry of
// screen objects and the hidden base window.
#pragma once

#include "runtime/core/layout.h"
#include "runtime/core/registry.h"

#include <windows.h>
#include <d3d9.h>

#include <stdint.h>

// A numbered screen object (sprite). Nothing in this program creates one; the record keeps the
// size the registry was designed for.
struct ScreenObject {
    void* handle; // the object's surface; 0 while the record is unused
    uint32_t data[41];
};
QV_ASSERT_SIZE(ScreenObject, 168);

extern IDirect3D9* Direct3D;     // made by StartScreenLibrary, released by EndScreenLibrary
extern int ScreenLibraryStarted; // set by a successful start, cleared by EndScreenLibrary
extern ObjectRegistry* ScreenObjects;
extern HWND BaseWindow; // hidden, 1 x 1, kept for the rest of the process
extern int BaseWindowCreated;

// Loads "d3d9.dll", makes the Direct3D object and the screen-object registry. Returns the
// registry (non-zero) when screens can be opened, 0 otherwise.
ObjectRegistry* StartScreenLibrary();
void EndScreenLibrary();

// The registry's free function: -1 frees every screen object.
void FreeScreenObject(int number);

LRESULT CALLBACK BaseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
