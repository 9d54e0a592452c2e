#pragma once
// Run-length-compressed BMP files for the decoder's tests and for the
// cross-check against GDI: a file builder and a plain RLE8 encoder.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kgtest {

using RleBytes = std::vector<std::uint8_t>;

// A bottom-up BMP with a 40-byte info header, `palette` (0x00RRGGBB) and `codes` as its pixel data.
inline RleBytes RleFile(std::uint32_t compression, std::uint16_t bitCount, std::int32_t width, std::int32_t height,
                        const std::vector<std::uint32_t>& palette, const RleBytes& codes) {
    RleBytes out;
    auto put16 = [&](std::uint32_t v) { out.push_back(v & 0xFF); out.push_back((v >> 8) & 0xFF); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    const std::uint32_t offBits = 14 + 40 + static_cast<std::uint32_t>(palette.size()) * 4;
    out.push_back('B');
    out.push_back('M');
    put32(offBits + static_cast<std::uint32_t>(codes.size()));
    put32(0);
    put32(offBits);
    put32(40);
    put32(static_cast<std::uint32_t>(width));
    put32(static_cast<std::uint32_t>(height));
    put16(1);
    put16(bitCount);
    put32(compression);
    put32(static_cast<std::uint32_t>(codes.size()));
    put32(0);
    put32(0);
    put32(static_cast<std::uint32_t>(palette.size()));
    put32(0);
    for (std::uint32_t c : palette) put32(c & 0xFFFFFF);
    out.insert(out.end(), codes.begin(), codes.end());
    return out;
}

// RLE8 codes for colour indices in top-down rows: runs of three or more as encoded runs, the
// stretches between them as absolute runs, an end of line after each row but the top one, then the
// end of bitmap.
inline RleBytes Rle8Encode(const std::vector<std::uint8_t>& indices, int width, int height) {
    RleBytes out;
    auto runAt = [&](const std::uint8_t* row, int x) {
        int n = 1;
        while (x + n < width && n < 255 && row[x + n] == row[x]) ++n;
        return n;
    };
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* row = indices.data() + static_cast<std::size_t>(height - 1 - r) * width;
        int x = 0;
        while (x < width) {
            const int run = runAt(row, x);
            int literal = 0;
            while (x + literal < width && literal < 255 && runAt(row, x + literal) < 3) ++literal;
            if (run >= 3 || literal < 3) {
                const int n = run >= 3 ? run : 1;
                out.push_back(static_cast<std::uint8_t>(n));
                out.push_back(row[x]);
                x += n;
                continue;
            }
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(literal));
            out.insert(out.end(), row + x, row + x + literal);
            if (literal % 2) out.push_back(0);
            x += literal;
        }
        out.push_back(0);
        out.push_back(r + 1 < height ? 0 : 1);
    }
    return out;
}

} // namespace kgtest
