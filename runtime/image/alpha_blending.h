// Alpha blending of bitmaps through msimg32's AlphaBlend, loaded at run time: without it images
// are drawn opaquely or, where only per-pixel alpha would show them, not at all.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* AlphaBlendFunction)(HDC destDC, int x, int y, int width, int height, HDC srcDC,
                                         int srcX, int srcY, int srcWidth, int srcHeight,
                                         BLENDFUNCTION blend);

// Null while msimg32 or its entry is missing, and again once the module is unloaded.
extern AlphaBlendFunction AlphaBlendEntry;
extern HMODULE AlphaBlendModule;

// Start-up routine: loads "msimg32.dll" and looks up "AlphaBlend".
void StartAlphaBlending();
// Shutdown routine: clears the entry and unloads the module.
void EndAlphaBlending();

// 1 when blending is available and the bitmap is a 32-bit DIB section, or a 32-bit bitmap with
// some non-zero alpha byte; else 0.
int HasAlphaChannel(HBITMAP bitmap);

// A 32-bit DIB section holding the bitmap with its colours premultiplied by its alpha, as
// AlphaBlend wants them; with grey set, a dimmed low-contrast grey of it instead. A bitmap that
// is no 32-bit section is read through dc, or a DC of its own when dc is null. Null without
// blending or on failure. The copy is the caller's until DeleteBlendCopy.
HBITMAP MakeBlendCopy(HBITMAP bitmap, HDC dc, int grey);
// Gives a copy back. The last one is kept for the next copy of its size, until EndAlphaBlending.
void DeleteBlendCopy(HBITMAP copy);

// Draw the bitmap at (x, y) on destDC, width x height pixels of it (0 in either: all of it),
// selected into srcDC or, when that is null, into a DC of their own. BlendBitmap blends by the
// bitmap's premultiplied per-pixel alpha scaled by alpha and draws nothing without blending;
// BlendBitmapConstant blends by alpha alone and copies opaquely without blending. Non-zero when
// something was drawn.
int BlendBitmap(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC,
                int alpha);
int BlendBitmapConstant(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC,
                        int alpha);
