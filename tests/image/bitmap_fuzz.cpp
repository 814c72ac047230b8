// libFuzzer target for the bitmap format, built natively with AddressSanitizer and
// UndefinedBehaviorSanitizer by scripts/fuzz.sh. Each input is a whole file.
#include "runtime/image/bitmap_format.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Decoding into a destination too large to give is still run, with no room at all: the
// decoder must refuse a pitch below the row's size and write nothing.
constexpr uint64_t LargestDestination = 1 << 16;
constexpr uint8_t Fill = 0xA5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BitmapHeader header;
    if (!ReadBitmapHeader(data, size, &header))
        return 0;
    int width = header.width, height = header.height;
    // What a loader allocates by: never more than the picture, nothing for an empty one.
    uint64_t fillable = BitmapFillablePixels(data, size);
    uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height; // top-down: negative
    uint64_t pixels = width < 1 ? 0 : static_cast<uint64_t>(width) * rows;
    if (fillable > pixels || fillable > static_cast<uint64_t>(size) * 128)
        abort();
    // A pitch a little longer than the row, varied by the input, so each row has bytes after
    // its pixels that must stay as they were.
    int64_t pitch = 3 * static_cast<int64_t>(width) + static_cast<int64_t>(size & 3);
    if (width < 1 || height < 1 || pitch > INT32_MAX ||
        static_cast<uint64_t>(height) * pitch > LargestDestination) {
        uint8_t none = Fill;
        DecodeBitmapPixels(data, size, width, height, &none, 0);
        if (none != Fill)
            abort();
        return 0;
    }
    // Exactly height x pitch bytes, so the sanitizer sees a write one byte past them.
    size_t bytes = static_cast<size_t>(height * pitch);
    auto* destination = static_cast<uint8_t*>(malloc(bytes));
    memset(destination, Fill, bytes);
    DecodeBitmapPixels(data, size, width, height, destination, static_cast<int>(pitch));
    for (int y = 0; y < height; ++y)
        for (int64_t i = 3 * static_cast<int64_t>(width); i < pitch; ++i)
            if (destination[y * pitch + i] != Fill)
                abort();
    free(destination);
    return 0;
}
