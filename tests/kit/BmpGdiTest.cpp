// Run-length-compressed bitmaps decoded by the kit against the same bytes
// given to GDI (CreateDIBitmap, then read back as 32-bit pixels): the kit
// must show what Windows shows, unreached pixels included.
#include "core/Bmp.h"
#include "kit/Handles.h"
#include "tests/kit/RleSamples.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The picture GDI makes of a BMP file image, as 0x00RRGGBB in top-down rows.
std::vector<std::uint32_t> decodedByGdi(const std::vector<std::uint8_t>& file, int width, int height) {
    const std::uint32_t offBits = file[10] | file[11] << 8 | file[12] << 16 | static_cast<std::uint32_t>(file[13]) << 24;
    // The headers and colour table start at offset 14 of the file, misaligned for BITMAPINFO: read a copy.
    std::vector<std::uint32_t> headers((offBits - 14 + 3) / 4);
    std::memcpy(headers.data(), file.data() + 14, offBits - 14);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(headers.data());
    kit::unique_hdc screen(CreateCompatibleDC(nullptr));
    const HDC dc = GetDC(nullptr);
    kit::unique_hbitmap bitmap(CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, file.data() + offBits, info, DIB_RGB_COLORS));
    ReleaseDC(nullptr, dc);
    EXPECT_TRUE(bitmap);
    BITMAPINFO out{};
    out.bmiHeader.biSize = sizeof out.bmiHeader;
    out.bmiHeader.biWidth = width;
    out.bmiHeader.biHeight = -height;
    out.bmiHeader.biPlanes = 1;
    out.bmiHeader.biBitCount = 32;
    out.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    EXPECT_EQ(GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &out, DIB_RGB_COLORS),
              height);
    for (auto& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

} // namespace

TEST(BmpGdi, RunLengthCompressedFilesDecodeAsGdiDecodesThem) {
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 16; ++i) palette.push_back(i * 0x101010u + 0x050A00u);
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 21; ++x) indices.push_back(static_cast<std::uint8_t>(x < 10 ? (x / 4 + y) % 16 : (x * y) % 13));
    struct Case {
        const char* what;
        std::uint32_t compression;
        int width, height;
        kgtest::RleBytes codes;
    };
    const Case cases[] = {
        {"encoded and absolute runs", 1, 21, 9, kgtest::Rle8Encode(indices, 21, 9)},
        {"a delta and an early end of bitmap", 1, 6, 4, {2, 3, 0, 2, 1, 1, 3, 4, 0, 0, 1, 7, 0, 1}},
        {"runs past the right edge and moves past the top", 1, 4, 3, {6, 9, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 2, 0, 4, 2, 2, 0, 1}},
        {"RLE4 runs and absolute nibbles", 2, 5, 3, {5, 0x1E, 0, 0, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 0, 3, 0x70, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = kgtest::RleFile(c.compression, c.compression == 1 ? 8 : 4, c.width, c.height, palette, c.codes);
        const kit::Bitmap32 ours = kit::DecodeBmp(file.data(), file.size());
        const std::vector<std::uint32_t> gdi = decodedByGdi(file, c.width, c.height);
        ASSERT_EQ(ours.pixels.size(), gdi.size());
        for (std::size_t p = 0; p < gdi.size(); ++p)
            EXPECT_EQ(ours.pixels[p] & 0xFFFFFF, gdi[p]) << "pixel " << p % c.width << "," << p / c.width;
    }
}
