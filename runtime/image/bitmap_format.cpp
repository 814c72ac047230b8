#include "runtime/image/bitmap_format.h"

#include <string.h>

namespace {

constexpr uint32_t BI_RGB_CODE = 0, BI_RLE8_CODE = 1, BI_RLE4_CODE = 2, BI_BITFIELDS_CODE = 3;

uint32_t ReadU16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}
uint32_t ReadU32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Color {
    uint8_t blue, green, red, unused;
};

// The colour table, complete: entries that the data does not hold are black.
void ReadColorTable(const uint8_t* data, size_t size, uint64_t offset, int entries, Color* table) {
    memset(table, 0, entries * sizeof(Color));
    if (offset >= size)
        return;
    uint64_t present = (size - offset) / 4;
    int count = present < static_cast<uint64_t>(entries) ? static_cast<int>(present) : entries;
    const uint8_t* at = data + offset;
    for (int i = 0; i < count; ++i, at += 4)
        table[i] = Color{at[0], at[1], at[2], 0};
}

void Put(uint8_t* out, Color color) {
    out[0] = color.blue;
    out[1] = color.green;
    out[2] = color.red;
}

// One row of each uncompressed format; in holds the row's pixel bytes, out 3 x width bytes.
void OneBitRow(const uint8_t* in, uint8_t* out, int width, const Color*) {
    for (int x = 0; x < width; ++x, out += 3) {
        uint8_t value = (in[x >> 3] >> (7 - (x & 7)) & 1) ? 255 : 0;
        out[0] = out[1] = out[2] = value;
    }
}

void FourBitRow(const uint8_t* in, uint8_t* out, int width, const Color* table) {
    for (int x = 0; x < width; ++x, out += 3)
        Put(out, table[(x & 1) ? in[x >> 1] & 15 : in[x >> 1] >> 4]);
}

void EightBitRow(const uint8_t* in, uint8_t* out, int width, const Color* table) {
    // Four-byte stores run one byte into the next pixel, which is written next anyway; the
    // last pixel takes three.
    int x = 0;
    for (; x + 1 < width; ++x, out += 3)
        memcpy(out, &table[in[x]], 4);
    Put(out, table[in[x]]);
}

// 16-bit pixels: five bits of blue at the bottom, then green (5 or 6 bits), then five of red.
template <int GreenBits>
void SixteenBitRow(const uint8_t* in, uint8_t* out, int width, const Color*) {
    for (int x = 0; x < width; ++x, in += 2, out += 3) {
        uint32_t v = ReadU16(in);
        out[0] = static_cast<uint8_t>((v & 31) << 3);
        out[1] = static_cast<uint8_t>(((v >> 5) & ((1 << GreenBits) - 1)) << (8 - GreenBits));
        out[2] = static_cast<uint8_t>(((v >> (5 + GreenBits)) & 31) << 3);
    }
}

void TwentyFourBitRow(const uint8_t* in, uint8_t* out, int width, const Color*) {
    memcpy(out, in, static_cast<size_t>(width) * 3);
}

void ThirtyTwoBitRow(const uint8_t* in, uint8_t* out, int width, const Color*) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
    }
}

typedef void (*RowDecoder)(const uint8_t* in, uint8_t* out, int width, const Color* table);

// File rows are stored bottom-up, each padded to a multiple of 4 bytes. A row counts only when
// all its pixel bytes are in the data; the last row's padding may be missing.
uint64_t RowStride(int width, int bitsPerPixel, uint64_t* rowBytes) {
    *rowBytes = (static_cast<uint64_t>(width) * bitsPerPixel + 7) / 8;
    return (*rowBytes + 3) & ~static_cast<uint64_t>(3);
}

int RowsPresent(size_t size, uint64_t pixelOffset, int width, int height, int bitsPerPixel) {
    uint64_t rowBytes, stride = RowStride(width, bitsPerPixel, &rowBytes);
    if (pixelOffset > size || size - pixelOffset < rowBytes)
        return 0;
    uint64_t present = 1 + (size - pixelOffset - rowBytes) / stride;
    return present < static_cast<uint64_t>(height) ? static_cast<int>(present) : height;
}

void DecodeRows(const uint8_t* data, size_t size, uint64_t pixelOffset, int bitsPerPixel,
                RowDecoder decodeRow, const Color* table, int width, int height,
                uint8_t* destination, int pitch) {
    uint64_t rowBytes, stride = RowStride(width, bitsPerPixel, &rowBytes);
    int rows = RowsPresent(size, pixelOffset, width, height, bitsPerPixel);
    if (!rows)
        return;
    const uint8_t* in = data + pixelOffset;
    for (int r = 0; r < rows; ++r, in += stride)
        decodeRow(in, destination + static_cast<size_t>(height - 1 - r) * pitch, width, table);
}

// Run-length 8-bit pixels. y counts file rows from the bottom; pixels outside the picture are
// dropped, and the position only grows, so decoding ends once y leaves the picture.
void DecodeRunLength(const uint8_t* data, size_t size, uint64_t pixelOffset, const Color* table,
                     int width, int height, uint8_t* destination, int pitch) {
    if (pixelOffset >= size)
        return;
    size_t at = static_cast<size_t>(pixelOffset);
    int64_t x = 0, y = 0;
    while (size - at >= 2 && y < height) {
        uint8_t count = data[at], value = data[at + 1];
        at += 2;
        uint8_t* row = destination + static_cast<size_t>(height - 1 - y) * pitch;
        if (count != 0) {
            for (int64_t p = x; p < x + count && p < width; ++p)
                Put(row + 3 * p, table[value]);
            x += count;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta
            if (size - at < 2)
                return;
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else { // absolute run, padded to an even byte count
            size_t present = size - at < value ? size - at : value;
            for (size_t i = 0; i < present; ++i)
                if (x + static_cast<int64_t>(i) < width)
                    Put(row + 3 * (x + i), table[data[at + i]]);
            x += value;
            size_t skip = value + (value & 1);
            at = size - at < skip ? size : at + skip;
        }
    }
}

// How a file of that bits per pixel and compression decodes: row by row, as 8-bit run-length
// data, or not at all (neither set). The colour table's entries it reads, if any.
struct Format {
    RowDecoder decodeRow;
    bool runLength;
    int tableEntries;
};

Format FormatOf(int bitsPerPixel, uint32_t compression) {
    switch (bitsPerPixel) {
    case 1:
        return {OneBitRow, false, 0};
    case 4:
        return compression == BI_RLE4_CODE ? Format{} : Format{FourBitRow, false, 16};
    case 8:
        return compression == BI_RLE8_CODE ? Format{nullptr, true, 256}
                                           : Format{EightBitRow, false, 256};
    case 16:
        if (compression == BI_RGB_CODE)
            return {SixteenBitRow<5>, false, 0}; // bit 15 unused
        if (compression == BI_BITFIELDS_CODE)
            return {SixteenBitRow<6>, false, 0};
        return {};
    case 24:
        return {TwentyFourBitRow, false, 0};
    case 32:
        return {ThirtyTwoBitRow, false, 0};
    default:
        return {};
    }
}

} // namespace

bool IsBitmapSignature(const uint8_t* data, size_t size) {
    return data && size >= 14 && ReadU16(data) == 0x4D42 && ReadU16(data + 6) == 0 &&
           ReadU16(data + 8) == 0;
}

int ReadBitmapHeader(const uint8_t* data, size_t size, BitmapHeader* header) {
    if (size < BITMAP_HEADER_BYTES || !IsBitmapSignature(data, size))
        return 0;
    header->width = static_cast<int>(ReadU32(data + 18));
    header->height = static_cast<int>(ReadU32(data + 22));
    header->bitsPerPixel = static_cast<int>(ReadU16(data + 28));
    return 1;
}

uint64_t BitmapFillablePixels(const uint8_t* data, size_t size) {
    BitmapHeader header;
    if (!ReadBitmapHeader(data, size, &header) || header.width < 1 || header.height == 0)
        return 0;
    // A top-down file stores as many rows as its height's magnitude; a loader decodes those.
    int64_t magnitude = header.height < 0 ? -static_cast<int64_t>(header.height) : header.height;
    int rows = magnitude > INT32_MAX ? INT32_MAX : static_cast<int>(magnitude);
    Format format = FormatOf(header.bitsPerPixel, ReadU32(data + 30));
    uint64_t pixelOffset = ReadU32(data + 10);
    uint64_t pixels = static_cast<uint64_t>(header.width) * static_cast<uint64_t>(rows);
    if (format.runLength) {
        // A pair of bytes writes at most 255 pixels; nothing else writes more per byte.
        uint64_t pairs = pixelOffset < size ? (size - pixelOffset) / 2 : 0;
        return pairs * 255 < pixels ? pairs * 255 : pixels;
    }
    if (!format.decodeRow)
        return 0;
    return static_cast<uint64_t>(header.width) *
           RowsPresent(size, pixelOffset, header.width, rows, header.bitsPerPixel);
}

void DecodeBitmapPixels(const uint8_t* data, size_t size, int width, int height,
                        uint8_t* destination, int pitch) {
    if (!data || !destination || size < BITMAP_HEADER_BYTES || width < 1 || height < 1)
        return;
    if (pitch < 3 * static_cast<int64_t>(width) ||
        static_cast<uint64_t>(height) * static_cast<uint64_t>(pitch) > PTRDIFF_MAX)
        return;
    uint64_t pixelOffset = ReadU32(data + 10);
    uint64_t tableOffset = 14 + static_cast<uint64_t>(ReadU32(data + 14));
    int bitsPerPixel = static_cast<int>(ReadU16(data + 28));
    Format format = FormatOf(bitsPerPixel, ReadU32(data + 30));

    Color table[256];
    if (format.tableEntries)
        ReadColorTable(data, size, tableOffset, format.tableEntries, table);
    if (format.runLength)
        DecodeRunLength(data, size, pixelOffset, table, width, height, destination, pitch);
    else if (format.decodeRow)
        DecodeRows(data, size, pixelOffset, bitsPerPixel, format.decodeRow, table, width, height,
                   destination, pitch);
}
