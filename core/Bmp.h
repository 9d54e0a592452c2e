#pragma once
// Windows BMP images in memory: decoding of every uncompressed form (1, 4, 8,
// 16, 24 and 32 bits per pixel, colour tables, bit fields, bottom-up and
// top-down rows) and of run-length-compressed files (RLE8, RLE4), and
// encoding to 1, 24 or 32 bits. Used by the icon file and
// by the picture control. Malformed input raises kit::Error; the decoder never
// reads outside the bytes it is given.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kit {

// Pixels in top-down rows, each 0xAARRGGBB; alpha is 0xFF unless the source had alpha.
struct Bitmap32 {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    friend bool operator==(const Bitmap32&, const Bitmap32&) = default;
};

// Largest side and largest area the decoder accepts; larger images are refused.
inline constexpr std::int64_t kMaxBmpSide = 262144;
inline constexpr std::int64_t kMaxBmpPixels = std::int64_t{16384} * 16384;
// A run-length-compressed bitmap can declare any size in a few bytes. Up to kRleFreePixels pixels it
// may; beyond, it must carry a byte of data per kRlePixelsPerByte pixels, or it is refused before
// anything is allocated.
inline constexpr std::uint64_t kRleFreePixels = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kRlePixelsPerByte = 1024;

// Where the pixel rows start. A file names the offset in its file header; an
// image-list stream stores them right after the colour table and the reader of
// the stream (comctl32) ignores that offset, so its decoder must too.
enum class BmpLayout { File, Stream };

struct BmpDecoded {
    Bitmap32 image;
    int bitsPerPixel = 0;          // of the source
    std::uint32_t compression = 0; // 0 BI_RGB, 1 BI_RLE8, 2 BI_RLE4, 3 BI_BITFIELDS, 6 BI_ALPHABITFIELDS
    std::uint32_t headerSize = 0;  // 12 (OS/2 core), 40, 52, 56, 108 or 124
    bool topDown = false;
    bool hasAlpha = false;         // the source's alpha channel was kept, or RLE left pixels transparent
    std::size_t consumed = 0;      // bytes from the "BM" to the end of the pixel rows (RLE: of the end code)
    int sourceWidth = 0;           // DecodeBmpFitting: the size the file declares, when it reduced it
    int sourceHeight = 0;
};

// Run-length-compressed files (bottom-up only, never in the Stream layout): pixels the codes never
// reach are transparent black, 0 (GDI leaves them untouched; CreateDIBitmap shows them black), and
// then hasAlpha is set; runs past the right edge and moves past the top row are clipped; data that
// ends before the end-of-bitmap code is malformed.
BmpDecoded DecodeBmpDetailed(const std::uint8_t* data, std::size_t size, BmpLayout layout = BmpLayout::File);

// What the headers declare, checked as the decoder checks them, without decoding or allocating pixels.
struct BmpInfo {
    int width = 0;
    int height = 0;  // rows
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    bool topDown = false;
    std::size_t consumed = 0;  // as BmpDecoded's; 0 for RLE, whose end only decoding finds
};
BmpInfo ReadBmpInfo(const std::uint8_t* data, std::size_t size, BmpLayout layout = BmpLayout::File);

// Decodes without holding the picture: row(y, pixels) gets every row once (y from the top, in the
// order stored), width pixels valid during the call. Returns what DecodeBmpDetailed does, with an
// empty image; when its hasAlpha is false the alpha bytes of the rows are to be read as opaque.
BmpDecoded DecodeBmpRows(const std::uint8_t* data, std::size_t size, BmpLayout layout,
                         const std::function<void(int y, const std::uint32_t* pixels)>& row);

// A "BM" file image decoded to fit maxWidth x maxHeight: one that fits is decoded as DecodeBmpDetailed
// does; a larger one is reduced, its proportions kept, to the nearest pixels (the corners and the lower-left pixel kept),
// converting only the pixels kept, so that memory follows the result, not what the file declares. A
// compressed one is read through, writing only the rows kept.
BmpDecoded DecodeBmpFitting(const std::uint8_t* data, std::size_t size, int maxWidth, int maxHeight);

// Decodes a "BM" file image from memory; *consumed (optional) = bytes it occupies: headers + colour table +
// pixel data computed from the info header (rows padded to 4 bytes), NOT the file header's size field.
Bitmap32 DecodeBmp(const std::uint8_t* data, std::size_t size, std::size_t* consumed = nullptr);

// A bottom-up BI_RGB file image: 1 (black and white; a pixel nearer white is white), 24 or 32 (alpha kept).
std::vector<std::uint8_t> EncodeBmp(const Bitmap32& image, int bitsPerPixel);

// Raises kit::InOutError when the file cannot be read, kit::Error when it is malformed.
Bitmap32 LoadBmpFile(const std::string& path);

} // namespace kit
