#include "picture.h"

#include "layout.h"

#include <qv/qv.h>

#include <string.h>

namespace {

constexpr int ROW_BYTES = PICTURE_WIDTH * 3;
static_assert(ROW_BYTES % 4 == 0, "rows of a bitmap file are padded to 4 bytes");
constexpr int PIXELS_OFFSET = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
constexpr int FILE_SIZE = PIXELS_OFFSET + ROW_BYTES * PICTURE_HEIGHT;

// A 24-bit "BM" file of the picture's cells, rows stored bottom-up.
void WritePicture(unsigned char* file) {
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42; // "BM"
    header.bfSize = FILE_SIZE;
    header.bfOffBits = PIXELS_OFFSET;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = PICTURE_WIDTH;
    info.biHeight = PICTURE_HEIGHT;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    memcpy(file, &header, sizeof header);
    memcpy(file + sizeof header, &info, sizeof info);
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        unsigned char* row = file + PIXELS_OFFSET + (PICTURE_HEIGHT - 1 - y) * ROW_BYTES;
        for (int x = 0; x < PICTURE_WIDTH; ++x) {
            COLORREF color = PICTURE_COLORS[y / PICTURE_CELL][x / PICTURE_CELL];
            row[3 * x] = GetBValue(color);
            row[3 * x + 1] = GetGValue(color);
            row[3 * x + 2] = GetRValue(color);
        }
    }
}

} // namespace

bool MakePictures(Pictures* pictures) {
    static unsigned char file[FILE_SIZE];
    WritePicture(file);
    pictures->picture =
        reinterpret_cast<HBITMAP>(LoadImageFromMemory(PICTURE_IMAGE, file, sizeof file));
    // The scaled copy is the same picture loaded again, then resized with the runtime's filter.
    pictures->scaled =
        LoadImageFromMemory(SCALED_IMAGE, file, sizeof file)
            ? ResizeImage(SCALED_IMAGE, PICTURE_WIDTH * SCALE_FACTOR, PICTURE_HEIGHT * SCALE_FACTOR)
            : nullptr;
    return pictures->picture && pictures->scaled;
}
