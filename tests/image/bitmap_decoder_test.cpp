#include "image/bitmap_files.h"
#include "runtime/image/bitmap_decoder.h"
#include "runtime/image/bitmap_format.h"
#include "runtime_fixture.h"

#include <stdio.h>

namespace {

typedef std::vector<uint32_t> Pixels; // 0xRRGGBB, top row first

const uint8_t Fill = 0xCD;
const uint32_t Kept = 0xCDCDCD; // a pixel the decoder did not write

uint32_t Gray(int i) {
    return 0x010101u * i;
}

// A colour table whose entry i is Gray(i).
Bytes GrayTable(int entries) {
    Bytes table;
    for (int i = 0; i < entries; ++i)
        table.insert(table.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    return table;
}

LoadContext MemoryContext(const Bytes& file) {
    LoadContext context = {};
    context.memory = file.data();
    context.fromMemory = 1;
    context.size = static_cast<unsigned>(file.size());
    return context;
}

// Checks and decodes from memory into a destination filled with Fill whose rows are longer
// than the picture's; the bytes behind each row must stay as they were.
Pixels Decode(const Bytes& file, int pitch = 0) {
    LoadContext context = MemoryContext(file);
    EXPECT_EQ(BitmapCheck(&context), 1);
    int width = context.width, height = context.height < 0 ? 1 : context.height;
    if (!pitch)
        pitch = 3 * width + 2;
    std::vector<uint8_t> destination(static_cast<size_t>(height) * pitch, Fill);
    EXPECT_EQ(BitmapDecode(&context, destination.data(), pitch, 0), 1);
    BitmapCleanup(&context);
    Pixels pixels;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = destination.data() + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < width; ++x)
            pixels.push_back(row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16);
        for (int i = 3 * width; i < pitch; ++i)
            EXPECT_EQ(row[i], Fill) << "row " << y << " written past its pixels";
    }
    return pixels;
}

struct FormatCase {
    const char* name;
    Bytes file;
    Pixels expected;
};

TEST(BitmapDecoder, DecodesEveryFormat) {
    const uint32_t W = 0xFFFFFF, B = 0, K = Kept;
    const Bytes redBlue = {0, 0, 255, 0, 255, 0, 0, 0};
    Bytes lateTable = MakeBitmapFile(4, 2, 8, 0, {}, {0, 1, 2, 3, 255, 1, 0, 7});
    lateTable.insert(lateTable.end(), {10, 20, 30, 0, 40, 50, 60, 0});
    Store32(lateTable, FIELD_HEADER_SIZE, 40 + 8); // two entries behind the pixels, then the end
    const FormatCase cases[] = {
        {"1 bit: table not used, 2 bytes and 2 of padding",
         MakeBitmapFile(10, 2, 1, 0, redBlue, {0xAA, 0x80, 0xFF, 0xFF, 0xFF, 0xC0, 0x00, 0x00}),
         {W, W, W, W, W, W, W, W, W, W, W, B, W, B, W, B, W, B, W, B}},
        {"4 bits, 3 wide: 2 bytes and 2 of padding",
         MakeBitmapFile(3, 2, 4, 0, GrayTable(16), {0x12, 0x3F, 0xEE, 0xEE, 0x45, 0x6F, 0, 0}),
         {Gray(4), Gray(5), Gray(6), Gray(1), Gray(2), Gray(3)}},
        {"8 bits, 5 wide: 3 bytes of padding",
         MakeBitmapFile(5, 2, 8, 0, GrayTable(256),
                        {1, 2, 3, 4, 5, 99, 99, 99, 6, 7, 8, 9, 10, 0, 0, 0}),
         {Gray(6), Gray(7), Gray(8), Gray(9), Gray(10), Gray(1), Gray(2), Gray(3), Gray(4),
          Gray(5)}},
        {"8 bits run-length: runs, end of line, end of bitmap",
         MakeBitmapFile(3, 3, 8, 1, GrayTable(256), {2, 7, 0, 0, 1, 9, 0, 1, 3, 3}),
         {K, K, K, Gray(9), K, K, Gray(7), Gray(7), K}},
        {"8 bits run-length: absolute runs with padding, delta, clipping",
         MakeBitmapFile(6, 3, 8, 1, GrayTable(256),
                        {0, 3, 1, 2, 3, 9, 1, 4, 0, 2, 1, 1, 2, 5, 0, 0, 0, 4, 6, 7, 8, 9, 0, 1}),
         {Gray(6), Gray(7), Gray(8), Gray(9), K, K, K, K, K, K, K, Gray(5), Gray(1), Gray(2),
          Gray(3), Gray(4), K, K}},
        {"16 bits 5-5-5: bit 15 ignored, odd width pads 2",
         MakeBitmapFile(3, 1, 16, 0, {}, {0xFF, 0x7F, 0x1F, 0x80, 0xE0, 0x03, 0xAB, 0xAB}),
         {0xF8F8F8, 0x0000F8, 0x00F800}},
        {"16 bits 5-6-5",
         MakeBitmapFile(2, 1, 16, 3, {}, {0x00, 0xF8, 0xE0, 0x07}),
         {0xF80000, 0x00FC00}},
        {"24 bits, 5 wide: 1 byte of padding",
         MakeBitmapFile(5, 1, 24, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 99}),
         {0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D}},
        {"24 bits: first file row is the bottom row",
         MakeBitmapFile(1, 2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0}),
         {0x060504, 0x030201}},
        {"32 bits: fourth byte skipped",
         MakeBitmapFile(2, 1, 32, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8}),
         {0x030201, 0x070605}},
        {"8 bits: indices past the table in the data are black",
         lateTable,
         {B, 0x3C3228, 0x1E140A, B, 0x1E140A, 0x3C3228, B, B}},
        {"4 bits run-length: not decoded",
         MakeBitmapFile(2, 1, 4, 2, GrayTable(16), {0x12, 0}),
         {K, K}},
        {"16 bits, other compression: not decoded",
         MakeBitmapFile(1, 1, 16, 1, {}, {1, 2, 0, 0}),
         {K}},
        {"2 bits: not decoded", MakeBitmapFile(1, 1, 2, 0, GrayTable(4), {0xFF, 0, 0, 0}), {K}},
        {"top-down: not decoded", MakeBitmapFile(1, -1, 24, 0, {}, {1, 2, 3, 0}), {K}},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(Decode(c.file), c.expected) << c.name;
}

// Every header field that points into the data set past it, and files cut at every length:
// each row is decoded when the data holds all its pixel bytes and kept otherwise.
TEST(BitmapDecoder, TruncatedAndLyingFilesDecodeWhatTheDataHolds) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        Bytes file = MakePatternBitmap(7, 5, bits);
        Pixels whole = Decode(file);
        size_t offset = file.size() - 5 * (((7 * bits + 31) / 32) * 4);
        size_t stride = ((7 * bits + 31) / 32) * 4, rowBytes = (7 * bits + 7) / 8;
        for (size_t size = BITMAP_HEADER_BYTES; size < file.size(); ++size) {
            Bytes cut(file.begin(), file.begin() + size);
            Pixels pixels = Decode(cut);
            for (int r = 0; r < 5; ++r) {
                bool covered = offset + r * stride + rowBytes <= size;
                for (int x = 0; x < 7; ++x) {
                    size_t at = (4 - r) * 7 + x;
                    ASSERT_EQ(pixels[at], covered ? whole[at] : Kept)
                        << bits << " bits, cut at " << size;
                }
            }
        }
    }

    Bytes file = MakePatternBitmap(3, 2, 8);
    const uint32_t size = static_cast<uint32_t>(file.size());
    struct Lie {
        size_t field;
        uint32_t value;
        Pixels expected;
    };
    const Pixels nothing(6, Kept), black(6, 0), whole = Decode(file);
    const Pixels lastRowAtBottom = {Kept, Kept, Kept, whole[0], whole[1], whole[2]};
    const Lie lies[] = {
        {FIELD_PIXEL_OFFSET, size, nothing},
        {FIELD_PIXEL_OFFSET, size - 2, nothing},
        {FIELD_PIXEL_OFFSET, size - 4, lastRowAtBottom},
        {FIELD_PIXEL_OFFSET, 0xFFFFFFFF, nothing},
        {FIELD_HEADER_SIZE, size, black},
        {FIELD_HEADER_SIZE, 0xFFFFFFFF, black},
        {FIELD_HEADER_SIZE, 0xFFFFFFF2, black}, // 14 + size wraps to 0 in 32 bits
    };
    for (const Lie& lie : lies) {
        Bytes lying = file;
        Store32(lying, lie.field, lie.value);
        EXPECT_EQ(Decode(lying), lie.expected) << "field " << lie.field << " = " << lie.value;
    }
    // Width and height past the data: the rows present fill the bottom, the rest are kept.
    Bytes tall = file;
    Store32(tall, FIELD_HEIGHT, 4);
    Pixels expected(6, Kept);
    expected.insert(expected.end(), whole.begin(), whole.end());
    EXPECT_EQ(Decode(tall), expected);
    Bytes wide = file;
    Store32(wide, FIELD_WIDTH, 5); // one row of 5 and 3 bytes: only the bottom one is whole
    Pixels decoded = Decode(wide);
    EXPECT_EQ(Pixels(decoded.begin(), decoded.begin() + 5), Pixels(5, Kept));
    EXPECT_NE(decoded[5], Kept);
}

TEST(BitmapDecoder, RefusesPitchesBelowTheRowAndUnaddressableSizes) {
    Bytes file = MakePatternBitmap(3, 2, 24);
    EXPECT_NE(Decode(file, 9), Pixels(6, Kept));
    LoadContext context = MemoryContext(file);
    ASSERT_EQ(BitmapCheck(&context), 1);
    std::vector<uint8_t> destination(2 * 8, Fill);
    BitmapDecode(&context, destination.data(), 8, 0);
    EXPECT_EQ(destination, std::vector<uint8_t>(2 * 8, Fill));
    if (sizeof(void*) == 4) { // height x pitch is 4 GiB: no 32-bit destination holds it
        context.width = 1;
        context.height = 0x40000000;
        BitmapDecode(&context, destination.data(), 4, 0);
        EXPECT_EQ(destination, std::vector<uint8_t>(2 * 8, Fill));
    }
}

using BitmapCheck_ = RuntimeTest;

TEST_F(BitmapCheck_, IsRegisteredAtStartUp) {
    ASSERT_EQ(ImageCodecs.count, 1);
    EXPECT_EQ(ImageCodecs.codecs[0], &BitmapCodec);
    EXPECT_STREQ(BitmapCodec.tag, "BMP");
}

FILE* WriteTempFile(const Bytes& bytes) {
    FILE* file = tmpfile();
    if (file) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        rewind(file);
    }
    return file;
}

TEST_F(BitmapCheck_, ReadsAFileWholeAndDecodesItAsFromMemory) {
    Bytes bytes = MakePatternBitmap(5, 3, 24);
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    FILE* file = WriteTempFile(bytes);
    ASSERT_NE(file, nullptr);
    fseek(file, 20, SEEK_SET); // the check reads from the start wherever the stream stands
    LoadContext context = {};
    context.file = file;
    ASSERT_EQ(BitmapCheck(&context), 1);
    EXPECT_EQ(context.width, 5);
    EXPECT_EQ(context.height, 3);
    EXPECT_EQ(context.depth, 24);
    EXPECT_EQ(context.sourceBitsPerPixel, 24);
    EXPECT_EQ(context.size, bytes.size());
    ASSERT_NE(context.ownedBuffer, nullptr);
    EXPECT_EQ(context.data, context.ownedBuffer);

    std::vector<uint8_t> fromFile(3 * 16, Fill), fromMemory(3 * 16, Fill);
    BitmapDecode(&context, fromFile.data(), 16, 0);
    LoadContext memory = MemoryContext(bytes);
    ASSERT_EQ(BitmapCheck(&memory), 1);
    BitmapDecode(&memory, fromMemory.data(), 16, 0);
    EXPECT_EQ(fromFile, fromMemory);

    BitmapCleanup(&context);
    EXPECT_EQ(context.ownedBuffer, nullptr);
    EXPECT_EQ(context.data, nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
    fclose(file);
}

TEST_F(BitmapCheck_, FailsOnWhatIsNoBitmapFileAndKeepsNothing) {
    Bytes good = MakePatternBitmap(2, 2, 24);
    std::vector<Bytes> bad(5, good);
    bad[0][1] = 'A';
    bad[1][FIELD_RESERVED1] = 1;
    bad[2][FIELD_RESERVED2 + 1] = 1;
    bad[3].resize(BITMAP_HEADER_BYTES - 1); // too short to hold the fields read
    bad[4].clear();
    size_t baseline = HeapBytesInUse(RuntimeHeap);
    for (const Bytes& bytes : bad) {
        FILE* file = WriteTempFile(bytes);
        ASSERT_NE(file, nullptr);
        LoadContext context = {};
        context.file = file;
        EXPECT_EQ(BitmapCheck(&context), 0);
        EXPECT_EQ(context.ownedBuffer, nullptr);
        fclose(file);
        context = MemoryContext(bytes);
        EXPECT_EQ(BitmapCheck(&context), 0);
        EXPECT_EQ(HeapBytesInUse(RuntimeHeap), baseline);
    }
    LoadContext context = MemoryContext(good);
    context.size = BITMAP_HEADER_BYTES - 1; // memory is as long as the loader says
    EXPECT_EQ(BitmapCheck(&context), 0);
    context.memory = nullptr;
    context.size = static_cast<unsigned>(good.size());
    EXPECT_EQ(BitmapCheck(&context), 0);
}

} // namespace
