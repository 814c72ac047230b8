#include "image/bitmap_files.h"
#include "runtime/image/image_loader.h"
#include "runtime/image/image_objects.h"
#include "runtime_fixture.h"

#include <stdio.h>

#include <algorithm>

#include <string>

namespace {

using ImageLoader = RuntimeTest;

// A 3 x 2 picture: rows of 9 bytes padded to 12 in the file and in the section.
const Bytes Picture =
    MakeBitmapFile(3, 2, 24, 0, {}, {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0, //
                                     10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0});
const uint32_t PicturePixels[6] = {0x0C0B0A, 0x0F0E0D, 0x121110, 0x030201, 0x060504, 0x090807};
// The same picture stored top row first.
const Bytes TopDownPicture =
    MakeBitmapFile(3, -2, 24, 0, {}, {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0, //
                                      1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0});

// Loads the bytes from memory, or from a file on disk that must be closed again afterwards.
intptr_t Load(bool fromFile, int number, const Bytes& bytes) {
    static const uint8_t none = 0;
    if (!fromFile) // no bytes, but memory all the same
        return LoadImageFromMemory(number, bytes.empty() ? &none : bytes.data(), bytes.size());
    char directory[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    EXPECT_NE(GetTempFileNameA(directory, "qv", 0, path), 0u);
    FILE* file = fopen(path, "wb");
    EXPECT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    intptr_t result = LoadImageFromFile(number, path);
    EXPECT_TRUE(DeleteFileA(path)) << "the loader left the file open";
    return result;
}

ImageObject* ImageOf(int number) {
    return static_cast<ImageObject*>(Registry_Get(ImageRegistry, number));
}

TEST_F(ImageLoader, LoadsFromMemoryAndFilesIntoNumberedAndDynamicImages) {
    for (const Bytes* file : {&Picture, &TopDownPicture})
        for (bool fromFile : {false, true})
            for (int number : {5, AutoNumber}) {
                SCOPED_TRACE(std::string(file == &Picture ? "bottom-up, " : "top-down, ") +
                             (fromFile ? "file, " : "memory, ") + std::to_string(number));
                intptr_t result = Load(fromFile, number, *file);
                ImageObject* image =
                    ImageOf(number == AutoNumber ? static_cast<int>(result) : number);
                ASSERT_NE(image, nullptr);
                if (number != AutoNumber) {
                    EXPECT_EQ(result, reinterpret_cast<intptr_t>(image->handle));
                }
                EXPECT_EQ(image->width, 3);
                EXPECT_EQ(image->height, 2);
                EXPECT_EQ(image->depth, 24);
                BITMAP info = {};
                ASSERT_TRUE(ReadBitmapRecord(image->handle, &info));
                EXPECT_EQ(info.bmBitsPixel, 24);
                int mustFree = 0;
                auto* pixels = static_cast<uint32_t*>(
                    ReadBitmapPixels32(static_cast<HBITMAP>(image->handle), &mustFree));
                ASSERT_NE(pixels, nullptr);
                for (int i = 0; i < 6; ++i)
                    EXPECT_EQ(pixels[i] & 0xFFFFFF, PicturePixels[i]) << "pixel " << i;
                HeapFree(RuntimeHeap, 0, pixels);
            }
}

TEST_F(ImageLoader, ReplacesTheImageANumberHoldsButKeepsItWhenLoadingFails) {
    HANDLE first = reinterpret_cast<HANDLE>(Load(false, 5, MakePatternBitmap(7, 4, 8)));
    ASSERT_NE(first, nullptr);
    HANDLE second = reinterpret_cast<HANDLE>(Load(false, 5, Picture));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(Load(false, 5, Bytes(64, 'x')), 0);
    ASSERT_NE(ImageOf(5), nullptr);
    EXPECT_EQ(ImageOf(5)->handle, second);
}

TEST_F(ImageLoader, FailuresReturnZeroAndKeepNothing) {
    Bytes notABitmap = Picture;
    notABitmap[0] = 'G';
    const struct {
        const char* name;
        Bytes file;
        DWORD reason; // the last-error value a program tells the cases apart by
    } cases[] = {
        {"no decoder accepts it", notABitmap, IMAGE_ERROR_FORMAT},
        {"empty", {}, IMAGE_ERROR_FORMAT},
        {"no width", MakeBitmapFile(0, 2, 24, 0, {}, {}), IMAGE_ERROR_DATA},
        {"no height", MakeBitmapFile(2, 0, 24, 0, {}, {}), IMAGE_ERROR_DATA},
        {"too wide", MakeBitmapFile(32768, 1, 24, 0, {}, {1, 2, 3, 0}), IMAGE_ERROR_TOO_LARGE},
        {"too high", MakeBitmapFile(1, 40000, 24, 0, {}, {1, 2, 3, 0}), IMAGE_ERROR_TOO_LARGE},
        {"too high, top-down", MakeBitmapFile(1, -40000, 24, 0, {}, {1, 2, 3, 0}),
         IMAGE_ERROR_TOO_LARGE},
        {"lowest height", MakeBitmapFile(1, INT32_MIN, 24, 0, {}, {1, 2, 3, 0}),
         IMAGE_ERROR_TOO_LARGE},
        // Headers that claim far more than the data holds: 192 MB sections, were they made.
        {"a row missing", Bytes(Picture.begin(), Picture.end() - 12), IMAGE_ERROR_DATA},
        {"8000 x 8000 in 58 bytes", MakeBitmapFile(8000, 8000, 24, 0, {}, {1, 2, 3, 0}),
         IMAGE_ERROR_DATA},
        {"top-down, rows missing", MakeBitmapFile(8000, -8000, 24, 0, {}, {1, 2, 3, 0}),
         IMAGE_ERROR_DATA},
        {"no decoding", MakeBitmapFile(8000, 8000, 0, 0, {}, {}), IMAGE_ERROR_DATA},
        {"4-bit run-length", MakeBitmapFile(8000, 8000, 4, 2, {}, Bytes(64)), IMAGE_ERROR_DATA},
        {"run-length short of its size", MakeBitmapFile(8000, 8000, 8, 1, {}, {255, 1, 0, 1}),
         IMAGE_ERROR_DATA},
    };
    // A first load settles the registry's tables and whatever the C runtime keeps.
    ASSERT_NE(Load(true, 3, Picture), 0);
    const size_t heap = HeapBytesInUse(RuntimeHeap);
    const DWORD gdi = GdiObjectCount();
    const size_t peak = PeakWorkingSet();
    for (const auto& c : cases)
        for (bool fromFile : {false, true})
            for (int number : {7, AutoNumber}) {
                EXPECT_EQ(Load(fromFile, number, c.file), 0) << c.name;
                EXPECT_EQ(GetLastError(), c.reason) << c.name;
                EXPECT_EQ(HeapBytesInUse(RuntimeHeap), heap) << c.name;
                EXPECT_EQ(GdiObjectCount(), gdi) << c.name;
            }
    EXPECT_EQ(LoadImageFromFile(7, "C:\\no such folder\\picture.bmp"), 0);
    EXPECT_EQ(GetLastError(), IMAGE_ERROR_OPEN);
    EXPECT_EQ(LoadImageFromFile(7, nullptr), 0);
    EXPECT_EQ(GetLastError(), IMAGE_ERROR_OPEN);
    EXPECT_EQ(LoadImageFromMemory(7, nullptr, 10), 0);
    EXPECT_EQ(GetLastError(), IMAGE_ERROR_OPEN);
    for (int number : {-2, 65521}) {
        EXPECT_EQ(Load(false, number, Picture), 0) << "a number no registry holds";
        EXPECT_EQ(GetLastError(), IMAGE_ERROR_NUMBER);
    }
    EXPECT_EQ(ImageOf(7), nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), heap);
    EXPECT_EQ(GdiObjectCount(), gdi);
    EXPECT_LT(PeakWorkingSet() - peak, 16u << 20) << "a refused picture's pixels were touched";
}

// Every format that decodes loads, also with the last row's padding cut off; the others would
// be black pictures and are refused.
TEST_F(ImageLoader, LoadsWhatTheDataFills) {
    const char* const refused[] = {"4bit-rle", "16bit-other", "2bit"};
    for (const auto& seed : BitmapSeedFiles()) {
        bool loads = std::find_if(std::begin(refused), std::end(refused), [&](const char* name) {
                         return seed.first == name;
                     }) == std::end(refused);
        EXPECT_EQ(Load(false, 4, seed.second) != 0, loads) << seed.first;
    }
    EXPECT_NE(Load(false, 4, Bytes(Picture.begin(), Picture.end() - 3)), 0);
}

} // namespace
