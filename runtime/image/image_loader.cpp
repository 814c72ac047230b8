#include "runtime/image/image_loader.h"

#include "runtime/image/image_codecs.h"
#include "runtime/image/image_objects.h"

#include <algorithm>

namespace {

// The rows of a bottom-up section, written top row first by the decoder, put the right way up.
void FlipRows(uint8_t* bits, int pitch, int height) {
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(bits + static_cast<size_t>(top) * pitch,
                         bits + static_cast<size_t>(top + 1) * pitch,
                         bits + static_cast<size_t>(bottom) * pitch);
}

// A load's failure: 0, with the reason as the last-error value.
intptr_t Refuse(DWORD reason) {
    SetLastError(reason);
    return 0;
}

// Decodes a checked picture into a new section and registers it; 0 on failure, with the
// section deleted again.
intptr_t DecodeIntoImage(const ImageCodec* codec, LoadContext* context, int number) {
    // A file stored top row first says so by a negative height. Decoders write a file's last row
    // first, the top row of a bottom-up file; of a top-down file it is the bottom row, which is
    // where a bottom-up section keeps it, so those rows need no flip.
    bool topDown = context->height < 0;
    int64_t rows = topDown ? -static_cast<int64_t>(context->height) : context->height;
    if (context->width < 1 || rows < 1)
        return Refuse(IMAGE_ERROR_DATA);
    if (context->width > INT16_MAX || rows > INT16_MAX) // the record holds 16-bit sizes
        return Refuse(IMAGE_ERROR_TOO_LARGE);
    int width = context->width, height = static_cast<int>(rows);
    context->height = height;
    // A picture the data cannot fill would be a section as large as the header claims, left
    // black: a small file must not cost that much.
    if (context->fillablePixels < static_cast<uint64_t>(width) * static_cast<uint64_t>(height))
        return Refuse(IMAGE_ERROR_DATA);
    void* bits = nullptr;
    HBITMAP bitmap = CreateImageBitmap(width, height, 24, &bits);
    if (!bitmap)
        return Refuse(BitmapByteSize(width, height, 24) ? IMAGE_ERROR_MEMORY
                                                        : IMAGE_ERROR_TOO_LARGE);
    // A new section is zero-filled: pixels the data does not cover are black.
    int pitch = BitmapRowStride(width, 24);
    DWORD reason = IMAGE_ERROR_DATA;
    if (codec->decode(context, bits, pitch, 0)) {
        if (!topDown)
            FlipRows(static_cast<uint8_t*>(bits), pitch, height);
        if (ImageObject* image = RegisterImage(number, bitmap, width, height, 24))
            return number == AutoNumber ? Registry_NumberOf(image)
                                        : reinterpret_cast<intptr_t>(bitmap);
        reason = IMAGE_ERROR_MEMORY; // the number was checked before
    }
    DeleteObject(bitmap);
    return Refuse(reason);
}

// Runs each decoder's check in table order on the data the context names; the first that
// accepts it decodes, and its clean-up runs whatever the outcome.
intptr_t LoadWithCodecs(LoadContext named, int number) {
    // Known before anything is decoded.
    if (!Registry_AcceptsNumber(ImageRegistry, number))
        return Refuse(IMAGE_ERROR_NUMBER);
    for (int i = 0; i < ImageCodecs.count; ++i) {
        const ImageCodec* codec = ImageCodecs.codecs[i];
        LoadContext context = named; // nothing a failed check filled in reaches the next one
        if (context.file)
            rewind(context.file);
        if (!codec->check(&context))
            continue;
        intptr_t result = DecodeIntoImage(codec, &context, number);
        DWORD reason = GetLastError(); // the clean-up's platform calls may set their own
        codec->cleanup(&context);
        SetLastError(reason);
        return result;
    }
    return Refuse(IMAGE_ERROR_FORMAT);
}

} // namespace

intptr_t LoadImageFromFile(int number, const char* path) {
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file)
        return Refuse(IMAGE_ERROR_OPEN);
    LoadContext context = {};
    context.file = file;
    intptr_t result = LoadWithCodecs(context, number);
    fclose(file);
    return result;
}

intptr_t LoadImageFromMemory(int number, const void* memory, size_t size) {
    if (!memory || size > UINT32_MAX) // the context counts bytes in 32 bits
        return Refuse(IMAGE_ERROR_OPEN);
    LoadContext context = {};
    context.memory = memory;
    context.fromMemory = 1;
    context.size = static_cast<unsigned>(size);
    return LoadWithCodecs(context, number);
}
