#include "kit/Dib.h"

#include "core/Error.h"

#include <vector>

namespace kit {

TDib CreateDib32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    TDib dib;
    dib.bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib.bitmap || !bits) throw OSError(GetLastError(), "Cannot create a bitmap");
    dib.bits = static_cast<std::uint32_t*>(bits);
    return dib;
}

unique_hbitmap CreateMaskBitmap(int width, int height, const std::function<bool(int x, int y)>& transparent) {
    // Monochrome rows are padded to 16 bits.
    const std::size_t stride = (static_cast<std::size_t>(width) + 15) / 16 * 2;
    std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (transparent(x, y))
                bits[static_cast<std::size_t>(y) * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    unique_hbitmap mask(CreateBitmap(width, height, 1, 1, bits.data()));
    if (!mask) throw OSError(GetLastError(), "Cannot create a bitmap");
    return mask;
}

} // namespace kit
