#pragma once
// Bitmaps made from pixels: a top-down 32-bit DIB section to write into, and
// a monochrome mask.
#include "kit/Handles.h"

#include <cstdint>
#include <functional>

namespace kit {

struct TDib {
    unique_hbitmap bitmap;
    std::uint32_t* bits = nullptr;  // width * height pixels, top row first
};

// Raises kit::OSError when the system cannot make the bitmap.
TDib CreateDib32(int width, int height);

// Set bits are the pixels for which transparent(x, y) is true; raises kit::OSError.
unique_hbitmap CreateMaskBitmap(int width, int height, const std::function<bool(int x, int y)>& transparent);

} // namespace kit
