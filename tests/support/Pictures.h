#pragma once
// Pictures for tests: a bitmap of one colour.
#include "core/Bmp.h"

#include <cstdint>

namespace kgtest {

inline kit::Bitmap32 SolidBitmap(int width, int height, std::uint32_t argb) {
    kit::Bitmap32 b;
    b.width = width;
    b.height = height;
    b.pixels.assign(static_cast<std::size_t>(width) * height, argb);
    return b;
}

} // namespace kgtest
