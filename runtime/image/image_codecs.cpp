#include "runtime/image/image_codecs.h"

#include "runtime/core/heap.h"

ImageCodecTable ImageCodecs;
void* ImageDecoderBlock;

void StartImageDecoders() {
    ImageCodecs.count = 0;
    ImageDecoderBlock = ThreadBlock_Create(76, nullptr, nullptr);
    RuntimeHeap_OnDestroy([] { ImageDecoderBlock = nullptr; });
}

void RegisterImageCodec(ImageCodec* codec) {
    if (ImageCodecs.count >= IMAGE_CODEC_CAPACITY)
        return;
    ImageCodecs.codecs[ImageCodecs.count++] = codec;
}
