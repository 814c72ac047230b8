// The gallery's picture: a bitmap file written into memory at start, loaded into an image, and
// a copy of it scaled up with the runtime's filter.
#pragma once

#include <windows.h>

enum {
    PICTURE_IMAGE = 1,
    SCALED_IMAGE = 2,
};

struct Pictures {
    HBITMAP picture; // image PICTURE_IMAGE, as the loader decoded it
    HBITMAP scaled;  // image SCALED_IMAGE, SCALE_FACTOR times its size
};

// Makes both images; false when either cannot be made.
bool MakePictures(Pictures* pictures);
