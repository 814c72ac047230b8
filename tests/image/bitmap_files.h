// Bitmap files made in memory: for the decoder's tests, the fuzzer's seeds and the benchmarks.
// Plain C++ without the platform, so the native fuzzing build uses it too.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// Offsets of the header fields in a file.
enum {
    FIELD_SIGNATURE = 0,
    FIELD_RESERVED1 = 6,
    FIELD_RESERVED2 = 8,
    FIELD_PIXEL_OFFSET = 10,
    FIELD_HEADER_SIZE = 14,
    FIELD_WIDTH = 18,
    FIELD_HEIGHT = 22,
    FIELD_BITS_PER_PIXEL = 28,
    FIELD_COMPRESSION = 30,
};

inline void Store16(Bytes& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Store32(Bytes& bytes, size_t at, uint32_t value) {
    Store16(bytes, at, value & 0xFFFF);
    Store16(bytes, at + 2, value >> 16);
}

// The 14-byte file header, a 40-byte information header, the colour table (4 bytes an entry:
// blue, green, red, 0) and the pixel bytes as given, rows with their padding.
inline Bytes MakeBitmapFile(int width, int height, int bitsPerPixel, uint32_t compression,
                            const Bytes& table, const Bytes& pixels) {
    Bytes file(54);
    Store16(file, FIELD_SIGNATURE, 0x4D42);
    Store32(file, 2, static_cast<uint32_t>(54 + table.size() + pixels.size()));
    Store32(file, FIELD_PIXEL_OFFSET, static_cast<uint32_t>(54 + table.size()));
    Store32(file, FIELD_HEADER_SIZE, 40);
    Store32(file, FIELD_WIDTH, static_cast<uint32_t>(width));
    Store32(file, FIELD_HEIGHT, static_cast<uint32_t>(height));
    Store16(file, 26, 1);
    Store16(file, FIELD_BITS_PER_PIXEL, static_cast<uint32_t>(bitsPerPixel));
    Store32(file, FIELD_COMPRESSION, compression);
    Store32(file, 34, static_cast<uint32_t>(pixels.size()));
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// Bytes from a fixed sequence, so every run makes the same files.
inline Bytes PatternBytes(size_t count, uint32_t seed) {
    Bytes bytes(count);
    for (uint8_t& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

// An uncompressed file of patterned pixels with a full colour table where the format has one.
inline Bytes MakePatternBitmap(int width, int height, int bitsPerPixel, uint32_t compression = 0) {
    size_t stride = ((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4;
    int rows = height < 0 ? -height : height;
    Bytes table = bitsPerPixel <= 8 ? PatternBytes(4u << bitsPerPixel, 7) : Bytes();
    return MakeBitmapFile(width, height, bitsPerPixel, compression, table,
                          PatternBytes(stride * rows, static_cast<uint32_t>(width * 31 + rows)));
}

// Small files of every format and a few that decode nothing: the fuzzer's seeds, and the
// inputs that tests mutate.
inline std::vector<std::pair<std::string, Bytes>> BitmapSeedFiles() {
    const Bytes runLength = {
        3, 1,             // three pixels of entry 1
        0, 3, 4, 5, 6, 0, // absolute run of three, padded
        0, 0,             // end of line
        0, 2, 2, 1,       // delta: two right, one up
        2, 9,             // two pixels of entry 9
        0, 4, 1, 2, 3, 4, // absolute run of four
        0, 0, 9, 7,       // end of line, then nine pixels past the row's end
        0, 1,             // end of bitmap
        5, 5,             // never read
    };
    // Pixels first, then a table of two entries that ends the file.
    Bytes lateTable =
        MakeBitmapFile(4, 2, 8, 0, {}, {0, 1, 2, 3, 255, 1, 0, 7, 10, 20, 30, 0, 40, 50, 60, 0});
    Store32(lateTable, FIELD_HEADER_SIZE, 40 + 8);
    return {
        {"1bit", MakePatternBitmap(13, 5, 1)},
        {"4bit", MakePatternBitmap(7, 5, 4)},
        {"4bit-rle", MakePatternBitmap(7, 5, 4, 2)},
        {"8bit", MakePatternBitmap(5, 4, 8)},
        {"8bit-rle", MakeBitmapFile(6, 4, 8, 1, PatternBytes(1024, 3), runLength)},
        {"8bit-late-table", lateTable},
        {"16bit-555", MakePatternBitmap(5, 3, 16)},
        {"16bit-565", MakePatternBitmap(3, 4, 16, 3)},
        {"16bit-other", MakePatternBitmap(3, 4, 16, 1)},
        {"24bit", MakePatternBitmap(5, 3, 24)},
        {"24bit-top-down", MakePatternBitmap(5, -3, 24)},
        {"32bit", MakePatternBitmap(3, 3, 32)},
        {"2bit", MakePatternBitmap(9, 2, 2)},
    };
}
