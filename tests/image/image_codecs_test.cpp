#include "runtime/image/image_codecs.h"
#include "runtime_fixture.h"

using ImageCodecs_ = RuntimeTest;

TEST_F(ImageCodecs_, StartEmptiesTheTableWhichHoldsThirtyDecodersAndNoMore) {
    EXPECT_NE(ImageDecoderBlock, nullptr);
    EXPECT_EQ(HeapSize(RuntimeHeap, 0, ImageDecoderBlock), 76u);
    int base = ImageCodecs.count; // decoders of this build registered at start-up
    static ImageCodec codecs[IMAGE_CODEC_CAPACITY + 1] = {};
    for (int i = base; i <= IMAGE_CODEC_CAPACITY; ++i)
        RegisterImageCodec(&codecs[i]);
    EXPECT_EQ(ImageCodecs.count, IMAGE_CODEC_CAPACITY);
    EXPECT_EQ(ImageCodecs.codecs[IMAGE_CODEC_CAPACITY - 1], &codecs[IMAGE_CODEC_CAPACITY - 1]);

    StartImageDecoders();
    EXPECT_EQ(ImageCodecs.count, 0);
}
