#include "runtime/image/bitmap_decoder.h"

#include "runtime/core/heap.h"
#include "runtime/image/bitmap_format.h"

#include <string.h>

ImageCodec BitmapCodec;

namespace {

// Reads the whole file into the runtime heap; the rest is read only behind a bitmap file's
// signature, so a loader trying each decoder in turn does not read other formats through.
unsigned char* ReadFileBytes(FILE* file, unsigned* sizeOut) {
    if (!file || fseek(file, 0, SEEK_END) != 0)
        return nullptr;
    long size = ftell(file);
    if (fseek(file, 0, SEEK_SET) != 0 || size < static_cast<long>(BITMAP_HEADER_BYTES))
        return nullptr;
    auto* buffer = static_cast<unsigned char*>(RuntimeAlloc(size));
    if (!buffer)
        return nullptr;
    size_t read = fread(buffer, 1, 14, file);
    if (read == 14 && IsBitmapSignature(buffer, read))
        read += fread(buffer + 14, 1, size - 14, file);
    *sizeOut = static_cast<unsigned>(read); // a file that shrank meanwhile is what was read
    return buffer;
}

} // namespace

void StartBitmapDecoder() {
    BitmapCodec.check = BitmapCheck;
    BitmapCodec.decode = BitmapDecode;
    BitmapCodec.cleanup = BitmapCleanup;
    memcpy(BitmapCodec.tag, "BMP", 4);
    RegisterImageCodec(&BitmapCodec);
}

int BitmapCheck(LoadContext* context) {
    const unsigned char* bytes = static_cast<const unsigned char*>(context->memory);
    if (!context->fromMemory) {
        context->ownedBuffer = ReadFileBytes(context->file, &context->size);
        bytes = context->ownedBuffer;
    }
    BitmapHeader header;
    if (!ReadBitmapHeader(bytes, bytes ? context->size : 0, &header)) {
        BitmapCleanup(context);
        return 0;
    }
    context->width = header.width;
    context->height = header.height;
    context->data = bytes;
    context->sourceBitsPerPixel = header.bitsPerPixel;
    context->depth = 24;
    uint64_t fillable = BitmapFillablePixels(bytes, context->size);
    context->fillablePixels = fillable < UINT32_MAX ? static_cast<unsigned>(fillable) : UINT32_MAX;
    return 1;
}

int BitmapDecode(LoadContext* context, void* destination, int pitch, int) {
    DecodeBitmapPixels(context->data, context->data ? context->size : 0, context->width,
                       context->height, static_cast<uint8_t*>(destination), pitch);
    return 1;
}

void BitmapCleanup(LoadContext* context) {
    if (!context->ownedBuffer)
        return;
    if (context->data == context->ownedBuffer)
        context->data = nullptr; // no decode reads freed bytes
    RuntimeFree(context->ownedBuffer);
    context->ownedBuffer = nullptr;
}
