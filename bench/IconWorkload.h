#pragma once
// The icon files the icon benchmarks read: 65,535 icons of 16 x 16 (the most an
// image list holds) in a version 0x0101 image-list stream, with a 1-bit colour
// bitmap (about 2 MB) and optionally a 1-bit mask (about 4 MB in all), or with
// a 24-bit colour bitmap and a mask (about 50 MB).
#include "core/Bmp.h"
#include "core/IconFile.h"

#include <cstdint>
#include <vector>

namespace kgbench {

inline constexpr int kIconCount = 65535;

enum class IconDepth { OneBit, OneBitMasked, Colour24 };

inline std::vector<std::uint8_t> MakeManyIconsFile(IconDepth depth) {
    constexpr int cx = 16, cy = 16, rows = (kIconCount + 3) / 4;
    const bool masked = depth != IconDepth::OneBit;
    kit::Bitmap32 strip{4 * cx, rows * cy, std::vector<std::uint32_t>(std::size_t{4 * cx} * rows * cy)};
    kit::Bitmap32 mask = strip;
    for (int y = 0; y < strip.height; ++y)
        for (int x = 0; x < strip.width; ++x) {
            const int i = y / cy * 4 + x / cx;
            const std::size_t at = static_cast<std::size_t>(y) * strip.width + x;
            strip.pixels[at] = depth != IconDepth::Colour24 ? ((x * 7 + y * 3 + i) % 5 < 2 ? 0xFFFFFFFFu : 0xFF000000u)
                                                        : 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u + at);
            mask.pixels[at] = x % cx == 0 || y % cy == 0 ? 0xFFFFFFFFu : 0xFF000000u;
        }
    std::vector<std::uint8_t> il{'I', 'L'};
    auto u16 = [&](unsigned v) {
        il.push_back(static_cast<std::uint8_t>(v & 0xFF));
        il.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    for (unsigned v : {0x0101u, unsigned{kIconCount}, unsigned{kIconCount}, 4u, unsigned{cx}, unsigned{cy}, 0xFFFFu,
                       0xFFFFu, masked ? 1u : 0u, 0xFFFFu, 0xFFFFu, 0xFFFFu, 0xFFFFu})
        u16(v);
    auto put = [&](const kit::Bitmap32& bitmap, int bits) {
        std::vector<std::uint8_t> bmp = kit::EncodeBmp(bitmap, bits);
        for (int k = 0; k < 4; ++k) bmp[2 + k] = bmp[10 + k];  // the size field as comctl32 writes it
        il.insert(il.end(), bmp.begin(), bmp.end());
    };
    put(strip, depth == IconDepth::Colour24 ? 24 : 1);
    if (masked) put(mask, 1);
    return toolbar::WrapImageListStream(il, cx, cy);
}

} // namespace kgbench
