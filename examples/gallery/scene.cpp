#include "scene.h"

#include "layout.h"

#include <qv/qv.h>

#include <initializer_list>

namespace {

constexpr COLORREF INK = 0x302418;
constexpr COLORREF ACCENT = 0x2050B0;

HFONT Font(int height, int weight, bool italic, const char* face) {
    return CreateFontA(-height, 0, 0, 0, weight, italic, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
}

void DrawTextSamples(const Scene& scene) {
    SetDrawingFont(scene.heading);
    DrawString(24, 16, "QV gallery", INK);
    SetDrawingFont(scene.italic);
    DrawString(24, 58, "DejaVu Serif, italic: a second font", INK);
    SetDrawingFont(scene.body);
    DrawString(400, 100, "Tab, Shift+Tab: focus", INK);
    DrawAngledString(40, 236, "a line of text at 30 degrees", 30.0f, ACCENT);
}

void DrawPictures(const Scene& scene) {
    SetDrawingFont(scene.body);
    DrawString(PICTURE_X, PICTURE_Y - 22, "own size", INK);
    DrawString(SCALED_X, SCALED_Y - 22, "ScalePixels, 3 times", INK);
    DrawString(BAND_X, PICTURE_Y - 22, "blended at half alpha", INK);
    DrawImage(scene.pictures.picture, PICTURE_X, PICTURE_Y);
    DrawImage(scene.pictures.scaled, SCALED_X, SCALED_Y);
    DrawBox(BAND_X, BAND_Y, BAND_WIDTH, BAND_HEIGHT, BAND_COLOR);
    DrawImageBlended(scene.pictures.picture, BLENDED_X, BLENDED_Y, BLEND_ALPHA);
}

} // namespace

bool OpenScene(Scene* scene, HWND window) {
    *scene = {};
    scene->heading = Font(30, FW_BOLD, false, "DejaVu Sans");
    scene->italic = Font(22, FW_NORMAL, true, "DejaVu Serif");
    scene->body = Font(15, FW_NORMAL, false, "DejaVu Sans");
    HDC dc = GetDC(window);
    scene->memory = CreateCompatibleDC(dc);
    scene->bitmap = CreateCompatibleBitmap(dc, GALLERY_WIDTH, GALLERY_HEIGHT);
    ReleaseDC(window, dc);
    if (scene->memory && scene->bitmap)
        scene->savedBitmap = SelectObject(scene->memory, scene->bitmap);
    if (!scene->heading || !scene->italic || !scene->body || !scene->savedBitmap ||
        !MakePictures(&scene->pictures)) {
        CloseScene(scene);
        return false;
    }
    return true;
}

void PaintScene(const Scene& scene, HWND window, const char* eventLine) {
    DrawingContext* context = PlainOutput(scene.memory);
    if (BeginDrawing(context)) {
        SetDrawingMode(MODE_TRANSPARENT); // text over the picture, not on boxes
        DrawBox(0, 0, GALLERY_WIDTH, GALLERY_HEIGHT, BACKGROUND_COLOR);
        DrawTextSamples(scene);
        DrawPictures(scene);
        SetDrawingFont(scene.body);
        DrawString(24, 450, eventLine, INK);
        EndDrawing();
    }
    HDC dc = GetDC(window);
    BitBlt(dc, 0, 0, GALLERY_WIDTH, GALLERY_HEIGHT, scene.memory, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
}

void CloseScene(Scene* scene) {
    if (scene->savedBitmap)
        SelectObject(scene->memory, scene->savedBitmap);
    if (scene->memory)
        DeleteDC(scene->memory);
    for (HGDIOBJ object :
         {static_cast<HGDIOBJ>(scene->bitmap), static_cast<HGDIOBJ>(scene->heading),
          static_cast<HGDIOBJ>(scene->italic), static_cast<HGDIOBJ>(scene->body)})
        if (object)
            DeleteObject(object);
    *scene = {};
}
