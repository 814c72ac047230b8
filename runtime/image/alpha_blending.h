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
// Shutdown routine: deletes the copies imageBlended kept, clears the entry and unloads the
// module.
void EndAlphaBlending();

// 1 when blending is available and the bitmap is a 32-bit bitmap, a DIB section or not, with
// some non-zero alpha byte; else 0. A 32-bit picture whose alpha bytes are all 0, as GDI leaves
// whatever it draws or copies, carries no alpha: blended by it, it would show nothing at all.
int HasAlphaChannel(HBITMAP bitmap);

// A new 32-bit DIB section holding the bitmap with its colours premultiplied by its alpha, as
// AlphaBlend wants them; with grey set, a dimmed low-contrast grey of it instead. The bitmap is
// read with GetDIBits through dc, or a DC of its own when dc is null. Null without blending, for
// a handle that is no bitmap, or when the section cannot be made or the pixels read. The copy
// is the caller's: give it back with DeleteBlendCopy.
HBITMAP MakeBlendCopy(HBITMAP bitmap, HDC dc, int grey);
// Deletes a copy MakeBlendCopy made. Without blending no copy can exist, and nothing is done:
// a bitmap handed in then stays its owner's. A handle that is no bitmap is left alone.
void DeleteBlendCopy(HBITMAP copy);

// For imageBlended: blends the bitmap onto destDC at (x, y) by its own premultiplied alpha
// scaled by alpha, through a copy this module keeps for the next draw of the same bitmap and
// never hands out; only pixels that changed since that draw are converted again. info is the
// bitmap's BITMAP record; srcDC (not null) is the memory DC to read and select through. True,
// with AlphaBlend's result in
// *result, when the bitmap carries alpha (as HasAlphaChannel tells); false, with nothing drawn,
// when it does not, blending is unavailable or no copy can be made. EndAlphaBlending deletes
// the kept copies.
bool BlendWithOwnAlpha(HDC destDC, int x, int y, HBITMAP bitmap, const BITMAP& info, HDC srcDC,
                       int alpha, int* result);

// Draw the bitmap at (x, y) on destDC, width x height pixels of it (0 in either: all of it),
// selected into srcDC or, when that is null, into a DC of their own. BlendBitmap blends by the
// bitmap's premultiplied per-pixel alpha scaled by alpha and draws nothing without blending;
// BlendBitmapConstant blends by alpha alone and copies opaquely without blending. Non-zero when
// something was drawn; 0 for a handle that is no bitmap, a bitmap selected into another DC, or
// when no DC can be made.
int BlendBitmap(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC,
                int alpha);
int BlendBitmapConstant(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC,
                        int alpha);
