// Loading pictures into numbered images: the first decoder in the table that knows the data
// decodes it into a new 24-bit DIB section.
#pragma once

#include "qv/image.h" // LoadImageFromFile, LoadImageFromMemory and their last-error values
