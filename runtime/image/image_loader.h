// Loading pictures into numbered images: the first decoder in the table that knows the data
// decodes it into a new 24-bit DIB section.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Load the file at path, or size bytes at memory, into image number (-1: a dynamic image),
// recorded with depth 24; a number that holds an image frees it first. The bitmap for a static
// number, the dynamic number for -1. 0 when no decoder accepts the data, the picture is not 1
// to 32767 pixels each way, the data cannot fill all of it (rows missing from an uncompressed
// file, a format without decoding, run-length data too short for the size it claims), or
// anything fails; nothing stays allocated then, and the number keeps what it held. What a load
// allocates is bounded by what the data can fill.
intptr_t LoadImageFromFile(int number, const char* path);
intptr_t LoadImageFromMemory(int number, const void* memory, size_t size);
