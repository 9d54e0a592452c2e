#include "kit/Bmp.h"

#include "kit/Error.h"

#include <bit>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kit {

namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5,
                        kBiAlphaBitfields = 6;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

[[noreturn]] void invalid(const std::string& what) { throw Error("Invalid bitmap: " + what); }
[[noreturn]] void unsupported(const std::string& what) { throw Error("Unsupported bitmap: " + what); }

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// One colour channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            max = m >> shift;
        }
    }
    std::uint32_t get(std::uint32_t v) const {
        if (!mask) return 0;
        const std::uint64_t x = (v & mask) >> shift;
        return static_cast<std::uint32_t>((x * 255 + max / 2) / max);
    }
};

struct Header {
    std::uint32_t size = 0;
    std::int64_t width = 0, height = 0;  // height negative for top-down rows
    unsigned planes = 1, bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t clrUsed = 0;
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    bool core = false;  // OS/2 header: 3-byte colour table entries
};

Header readHeader(const std::uint8_t* data, std::size_t size) {
    if (size < kFileHeaderSize + 4) invalid("the headers are truncated");
    Header h;
    h.size = le32(data + kFileHeaderSize);
    switch (h.size) {
    case 12: case 40: case 52: case 56: case 108: case 124: break;
    default: unsupported("header size " + std::to_string(h.size) + " (not a Windows or OS/2 1.x bitmap header)");
    }
    if (size - kFileHeaderSize < h.size) invalid("the headers are truncated");
    const std::uint8_t* p = data + kFileHeaderSize;
    if (h.size == 12) {
        h.core = true;
        h.width = le16(p + 4);
        h.height = le16(p + 6);
        h.planes = le16(p + 8);
        h.bitCount = le16(p + 10);
    } else {
        h.width = static_cast<std::int32_t>(le32(p + 4));
        h.height = static_cast<std::int32_t>(le32(p + 8));
        h.planes = le16(p + 12);
        h.bitCount = le16(p + 14);
        h.compression = le32(p + 16);
        h.clrUsed = le32(p + 32);
        if (h.size >= 52) {
            h.red = le32(p + 40);
            h.green = le32(p + 44);
            h.blue = le32(p + 48);
        }
        if (h.size >= 56) h.alpha = le32(p + 52);
    }
    return h;
}

void checkFormat(const Header& h) {
    if (h.planes != 1) invalid(std::to_string(h.planes) + " colour planes");
    switch (h.compression) {
    case kBiRgb: case kBiBitfields: case kBiAlphaBitfields: break;
    case kBiRle8: case kBiRle4: unsupported("RLE compression");
    case kBiJpeg: unsupported("JPEG compression");
    case kBiPng: unsupported("PNG compression");
    default: unsupported("compression " + std::to_string(h.compression));
    }
    const unsigned b = h.bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
        unsupported(std::to_string(b) + " bits per pixel");
    if (h.core && b == 16) unsupported("16 bits per pixel with an OS/2 header");
    if (h.compression != kBiRgb && b != 16 && b != 32)
        invalid("bit fields with " + std::to_string(b) + " bits per pixel");
    if (h.width <= 0 || h.height == 0) invalid("empty or negative size");
    const std::int64_t rows = h.height < 0 ? -h.height : h.height;
    if (h.width > kMaxBmpSide || rows > kMaxBmpSide || h.width * rows > kMaxBmpPixels)
        unsupported("size " + std::to_string(h.width) + "x" + std::to_string(rows) + " is too large");
}

} // namespace

BmpDecoded DecodeBmpDetailed(const std::uint8_t* data, std::size_t size, BmpLayout layout) {
    if (!data) size = 0;
    if (size < 2 || data[0] != 'B' || data[1] != 'M') invalid("no \"BM\" signature");
    Header h = readHeader(data, size);
    checkFormat(h);

    // Bit-field masks after a plain info header; earlier versions have none, later ones carry them inside.
    std::uint64_t tableOffset = kFileHeaderSize + h.size;
    if (h.compression != kBiRgb && h.size == kInfoHeaderSize) {
        const std::uint64_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (size < tableOffset + count * 4) invalid("the bit-field masks are truncated");
        h.red = le32(data + tableOffset);
        h.green = le32(data + tableOffset + 4);
        h.blue = le32(data + tableOffset + 8);
        if (count == 4) h.alpha = le32(data + tableOffset + 12);
        tableOffset += count * 4;
    }
    if (h.compression == kBiRgb) {
        if (h.bitCount == 16) { h.red = 0x7C00; h.green = 0x03E0; h.blue = 0x001F; }
        if (h.bitCount == 32) { h.red = 0xFF0000; h.green = 0xFF00; h.blue = 0xFF; h.alpha = 0xFF000000; }
        if (h.bitCount != 32) h.alpha = 0;
    } else if (h.compression == kBiBitfields && h.size < 56) {
        h.alpha = 0;
    }
    if (h.bitCount == 16 && ((h.red | h.green | h.blue | h.alpha) >> 16))
        invalid("bit-field masks wider than 16 bits");

    // Colour table.
    const std::uint64_t entrySize = h.core ? 3 : 4;
    std::uint64_t entries = 0;
    if (h.bitCount <= 8) {
        const std::uint64_t maxColours = std::uint64_t{1} << h.bitCount;
        entries = h.clrUsed ? h.clrUsed : maxColours;
        if (entries > maxColours)
            invalid("a colour table of " + std::to_string(entries) + " entries for " + std::to_string(h.bitCount) +
                    " bits per pixel");
    } else {
        entries = h.clrUsed;  // an optional table that only occupies space
    }
    const std::uint64_t sequentialStart = tableOffset + entries * entrySize;
    if (sequentialStart > size) invalid("the colour table is truncated");
    std::vector<std::uint32_t> palette;
    if (h.bitCount <= 8) {
        palette.resize(static_cast<std::size_t>(entries));
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const std::uint8_t* e = data + tableOffset + i * entrySize;
            palette[i] = 0xFF000000u | (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
        }
    }

    const std::uint64_t width = static_cast<std::uint64_t>(h.width);
    const std::uint64_t rows = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
    const std::uint64_t stride = (width * h.bitCount + 31) / 32 * 4;
    const std::uint64_t pixelBytes = stride * rows;
    std::uint64_t start = sequentialStart;
    if (layout == BmpLayout::File) {
        const std::uint64_t offBits = le32(data + 10);
        if (offBits >= sequentialStart && offBits <= size && pixelBytes <= size - offBits) start = offBits;
    }
    if (pixelBytes > size - start) invalid("the pixel data is truncated");

    BmpDecoded out;
    out.bitsPerPixel = static_cast<int>(h.bitCount);
    out.compression = h.compression;
    out.headerSize = h.size;
    out.topDown = h.height < 0;
    out.consumed = static_cast<std::size_t>(start + pixelBytes);
    Bitmap32& img = out.image;
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(rows);
    img.pixels.resize(static_cast<std::size_t>(width * rows));

    const Channel red(h.red), green(h.green), blue(h.blue), alpha(h.alpha);
    bool anyAlpha = false;
    for (std::uint64_t r = 0; r < rows; ++r) {
        const std::uint8_t* row = data + start + r * stride;
        const std::uint64_t y = out.topDown ? r : rows - 1 - r;
        std::uint32_t* dst = img.pixels.data() + y * width;
        for (std::uint64_t x = 0; x < width; ++x) {
            std::uint32_t px;
            switch (h.bitCount) {
            case 1: case 4: case 8: {
                const unsigned bits = h.bitCount;
                const std::uint64_t bit = x * bits;
                const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                px = index < palette.size() ? palette[index] : 0xFF000000u;
                break;
            }
            case 24:
                px = 0xFF000000u | (std::uint32_t{row[x * 3 + 2]} << 16) | (std::uint32_t{row[x * 3 + 1]} << 8) |
                     row[x * 3];
                break;
            default: {
                const std::uint32_t v = h.bitCount == 16 ? le16(row + x * 2) : le32(row + x * 4);
                const std::uint32_t a = alpha.get(v);
                anyAlpha = anyAlpha || a != 0;
                px = (a << 24) | (red.get(v) << 16) | (green.get(v) << 8) | blue.get(v);
                break;
            }
            }
            dst[x] = px;
        }
    }
    // An alpha channel that is zero everywhere is an unused byte, not a transparent picture.
    if (anyAlpha) {
        out.hasAlpha = true;
    } else {
        for (auto& px : img.pixels) px |= 0xFF000000u;
    }
    return out;
}

Bitmap32 DecodeBmp(const std::uint8_t* data, std::size_t size, std::size_t* consumed) {
    BmpDecoded d = DecodeBmpDetailed(data, size, BmpLayout::File);
    if (consumed) *consumed = d.consumed;
    return std::move(d.image);
}

std::vector<std::uint8_t> EncodeBmp(const Bitmap32& image, int bitsPerPixel) {
    if (bitsPerPixel != 1 && bitsPerPixel != 24 && bitsPerPixel != 32)
        throw Error("Cannot write a bitmap of " + std::to_string(bitsPerPixel) + " bits per pixel");
    const std::int64_t w = image.width, hgt = image.height;
    if (w <= 0 || hgt <= 0 || w > kMaxBmpSide || hgt > kMaxBmpSide || w * hgt > kMaxBmpPixels)
        throw Error("Cannot write a bitmap of " + std::to_string(w) + "x" + std::to_string(hgt) + " pixels");
    if (image.pixels.size() != static_cast<std::size_t>(w * hgt))
        throw Error("Cannot write a bitmap whose pixel count does not match its size");

    const std::size_t width = static_cast<std::size_t>(w), height = static_cast<std::size_t>(hgt);
    const std::size_t stride = (width * bitsPerPixel + 31) / 32 * 4;
    const std::size_t paletteBytes = bitsPerPixel == 1 ? 8 : 0;
    const std::size_t offBits = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
    const std::size_t total = offBits + stride * height;
    std::vector<std::uint8_t> out(total, 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) { out[at] = v & 0xFF; out[at + 1] = (v >> 8) & 0xFF; };
    auto put32 = [&](std::size_t at, std::uint32_t v) { put16(at, v & 0xFFFF); put16(at + 2, v >> 16); };

    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(total));
    put32(10, static_cast<std::uint32_t>(offBits));
    put32(14, kInfoHeaderSize);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    put16(26, 1);
    put16(28, static_cast<std::uint32_t>(bitsPerPixel));
    put32(30, kBiRgb);
    put32(34, static_cast<std::uint32_t>(stride * height));
    if (bitsPerPixel == 1) put32(kFileHeaderSize + kInfoHeaderSize + 4, 0x00FFFFFF);  // entry 0 black, 1 white

    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = out.data() + offBits + (height - 1 - y) * stride;
        const std::uint32_t* src = image.pixels.data() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t px = src[x];
            const std::uint8_t r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
            if (bitsPerPixel == 1) {
                if (unsigned{r} + g + b >= 383) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            } else if (bitsPerPixel == 24) {
                row[x * 3] = b;
                row[x * 3 + 1] = g;
                row[x * 3 + 2] = r;
            } else {
                row[x * 4] = b;
                row[x * 4 + 1] = g;
                row[x * 4 + 2] = r;
                row[x * 4 + 3] = static_cast<std::uint8_t>(px >> 24);
            }
        }
    }
    return out;
}

Bitmap32 LoadBmpFile(const std::string& path) {
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
    if (!in.is_open()) throw InOutError("Cannot open file \"" + path + "\"");
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw InOutError("Cannot read file \"" + path + "\"");
    return DecodeBmp(bytes.data(), bytes.size());
}

} // namespace kit
