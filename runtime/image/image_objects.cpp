#include "runtime/image/image_objects.h"

#include "runtime/core/heap.h"

ObjectRegistry* ImageRegistry;

void StartImageRegistry() {
    ImageRegistry = Registry_Create(sizeof(ImageObject), 16, [](int number) { ImageFree(number); });
    RuntimeHeap_OnDestroy([] { ImageRegistry = nullptr; });
}

void EndImageRegistry() {
    Registry_FreeAll(ImageRegistry);
}

ImageObject* ImageRecordOf(int number) {
    return static_cast<ImageObject*>(Registry_Get(ImageRegistry, number));
}

int ImageFree(int number) {
    if (number == AutoNumber) {
        Registry_FreeAll(ImageRegistry);
        return 1;
    }
    ImageObject* image = ImageRecordOf(number);
    if (!image)
        return 0;
    if (GetObjectType(image->handle) == OBJ_BITMAP)
        DeleteObject(image->handle);
    else
        DestroyIcon(static_cast<HICON>(image->handle));
    Registry_Release(ImageRegistry, number);
    return 1;
}

HANDLE ImageHandleOf(int number) {
    ImageObject* image = ImageRecordOf(number);
    return image ? image->handle : nullptr;
}

int ImageWidth(int number) {
    ImageObject* image = ImageRecordOf(number);
    return image ? image->width : 0;
}

int ImageHeight(int number) {
    ImageObject* image = ImageRecordOf(number);
    return image ? image->height : 0;
}

bool ImageSizeFits(int width, int height) {
    return width >= 1 && height >= 1 && width <= INT16_MAX && height <= INT16_MAX;
}

ImageObject* RegisterImage(int number, HANDLE handle, int width, int height, int depth) {
    if (!handle || !ImageSizeFits(width, height))
        return nullptr;
    auto* image = static_cast<ImageObject*>(Registry_Allocate(ImageRegistry, number));
    if (!image)
        return nullptr;
    image->handle = handle;
    image->width = static_cast<int16_t>(width);
    image->height = static_cast<int16_t>(height);
    image->depth = static_cast<uint8_t>(depth);
    return image;
}

namespace {

int64_t RowStride64(int64_t width, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1:
        return (width + 31) / 32 * 4;
    case 4:
        return (width + 7) / 8 * 4;
    case 8:
        return (width + 3) / 4 * 4;
    case 15:
    case 16:
        return (width + 1) / 2 * 4;
    case 24:
        return (3 * width + 3) / 4 * 4;
    default:
        return width * 4;
    }
}

} // namespace

BITMAPINFO DibHeader(int width, int height, int bitsPerPixel) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

int BitmapRowStride(int width, int bitsPerPixel) {
    int64_t stride = RowStride64(width, bitsPerPixel);
    return width < 0 || stride > INT32_MAX ? 0 : static_cast<int>(stride);
}

size_t BitmapByteSize(int width, int height, int bitsPerPixel) {
    if (width < 1 || height < 1)
        return 0;
    // The stride is below 2^35, so it is exact in 64 bits; the product is only formed once it
    // is known not to exceed MAX_IMAGE_BYTES, so it cannot overflow in either build.
    int64_t stride = RowStride64(width, bitsPerPixel);
    if (stride > static_cast<int64_t>(MAX_IMAGE_BYTES) / height)
        return 0;
    return static_cast<size_t>(stride * height);
}

HBITMAP CreateImageBitmap(int width, int height, int depth, void** bitsOut) {
    if (bitsOut)
        *bitsOut = nullptr;
    if (depth < 24)
        depth = 24;
    if (!BitmapByteSize(width, height, depth))
        return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    BITMAPINFO info = DibHeader(width, height, depth);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(dc);
    if (bitmap && bitsOut)
        *bitsOut = bits;
    return bitmap;
}

bool ReadBitmapRecord(HANDLE bitmap, BITMAP* info) {
    return bitmap && GetObjectType(bitmap) == OBJ_BITMAP &&
           GetObjectA(bitmap, sizeof *info, info) == sizeof *info;
}

void* ReadBitmapPixels32(HBITMAP bitmap, int* mustFreeOut) {
    BITMAP info;
    if (!ReadBitmapRecord(bitmap, &info))
        return nullptr;
    // Only a 32-bit section's own memory has the layout callers read; other sections convert.
    if (info.bmBits && info.bmBitsPixel == 32) {
        *mustFreeOut = 0;
        return info.bmBits;
    }
    *mustFreeOut = 1;
    size_t bytes = BitmapByteSize(info.bmWidth, info.bmHeight, 32);
    if (!bytes)
        return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    void* pixels = RuntimeAlloc(bytes);
    if (pixels) {
        BITMAPINFO header = DibHeader(info.bmWidth, -info.bmHeight, 32);
        if (!GetDIBits(dc, bitmap, 0, info.bmHeight, pixels, &header, DIB_RGB_COLORS)) {
            RuntimeFree(pixels);
            pixels = nullptr;
        }
    }
    DeleteDC(dc);
    return pixels;
}
