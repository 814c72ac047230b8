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

// Decodes a checked picture into a new section and registers it; 0 on failure, with the
// section deleted again.
intptr_t DecodeIntoImage(const ImageCodec* codec, LoadContext* context, int number) {
    int width = context->width, height = context->height;
    // A top-down file has a negative height. A picture the data cannot fill would be a section
    // as large as the header claims, left black: a small file must not cost that much.
    if (!ImageSizeFits(width, height) ||
        context->fillablePixels < static_cast<uint64_t>(width) * static_cast<uint64_t>(height))
        return 0;
    void* bits = nullptr;
    HBITMAP bitmap = CreateImageBitmap(width, height, 24, &bits);
    if (!bitmap)
        return 0;
    // A new section is zero-filled: pixels the data does not cover are black.
    int pitch = BitmapRowStride(width, 24);
    if (codec->decode(context, bits, pitch, 0)) {
        FlipRows(static_cast<uint8_t*>(bits), pitch, height);
        if (ImageObject* image = RegisterImage(number, bitmap, width, height, 24))
            return number == AutoNumber ? Registry_NumberOf(image)
                                        : reinterpret_cast<intptr_t>(bitmap);
    }
    DeleteObject(bitmap);
    return 0;
}

// Runs each decoder's check in table order on the data the context names; the first that
// accepts it decodes, and its clean-up runs whatever the outcome.
intptr_t LoadWithCodecs(LoadContext named, int number) {
    for (int i = 0; i < ImageCodecs.count; ++i) {
        const ImageCodec* codec = ImageCodecs.codecs[i];
        LoadContext context = named; // nothing a failed check filled in reaches the next one
        if (context.file)
            rewind(context.file);
        if (!codec->check(&context))
            continue;
        intptr_t result = DecodeIntoImage(codec, &context, number);
        codec->cleanup(&context);
        return result;
    }
    return 0;
}

} // namespace

intptr_t LoadImageFromFile(int number, const char* path) {
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file)
        return 0;
    LoadContext context = {};
    context.file = file;
    intptr_t result = LoadWithCodecs(context, number);
    fclose(file);
    return result;
}

intptr_t LoadImageFromMemory(int number, const void* memory, size_t size) {
    if (!memory || size > UINT32_MAX) // the context counts bytes in 32 bits
        return 0;
    LoadContext context = {};
    context.memory = memory;
    context.fromMemory = 1;
    context.size = static_cast<unsigned>(size);
    return LoadWithCodecs(context, number);
}
