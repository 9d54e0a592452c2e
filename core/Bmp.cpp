#include "core/Bmp.h"

#include "core/ErrorText.h"
#include "core/FileRead.h"

#include <algorithm>
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

// One colour channel of a bit-field pixel, widened to 0..255 (from a table for channels up to 16 bits).
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;
    std::vector<std::uint8_t> table;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        max = m >> shift;
        if (max <= 0xFFFF) {
            table.resize(static_cast<std::size_t>(max) + 1);
            for (std::uint64_t x = 0; x <= max; ++x) table[x] = static_cast<std::uint8_t>(scale(x));
        }
    }
    // Up to 8 bits the bits are repeated to fill the byte, as GDI widens 5- and 6-bit channels.
    std::uint64_t scale(std::uint64_t x) const {
        const int bits = std::bit_width(max);
        if (bits > 8 || max != (std::uint64_t{1} << bits) - 1) return (x * 255 + max / 2) / max;
        std::uint64_t out = 0;
        for (int at = 8 - bits;; at -= bits) {
            out |= at >= 0 ? x << at : x >> -at;
            if (at <= 0) break;
        }
        return out & 0xFF;
    }
    std::uint32_t get(std::uint32_t v) const {
        if (!mask) return 0;
        const std::uint64_t x = (v & mask) >> shift;
        return static_cast<std::uint32_t>(table.empty() ? scale(x) : table[x]);
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

bool isRle(const Header& h) { return h.compression == kBiRle8 || h.compression == kBiRle4; }
bool isBitfields(const Header& h) { return h.compression == kBiBitfields || h.compression == kBiAlphaBitfields; }

void checkFormat(const Header& h, BmpLayout layout) {
    if (h.planes != 1) invalid(std::to_string(h.planes) + " colour planes");
    switch (h.compression) {
    case kBiRgb: case kBiBitfields: case kBiAlphaBitfields: break;
    case kBiRle8: case kBiRle4:
        // comctl32 reads a stream's rows by their uncompressed size, so a compressed one is never read as such.
        if (layout == BmpLayout::Stream) unsupported("RLE compression in an image list stream");
        break;
    case kBiJpeg: unsupported("JPEG compression");
    case kBiPng: unsupported("PNG compression");
    default: unsupported("compression " + std::to_string(h.compression));
    }
    const unsigned b = h.bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
        unsupported(std::to_string(b) + " bits per pixel");
    if (h.core && b == 16) unsupported("16 bits per pixel with an OS/2 header");
    if (isBitfields(h) && b != 16 && b != 32)
        invalid("bit fields with " + std::to_string(b) + " bits per pixel");
    if (h.compression == kBiRle8 && b != 8) invalid("RLE8 compression with " + std::to_string(b) + " bits per pixel");
    if (h.compression == kBiRle4 && b != 4) invalid("RLE4 compression with " + std::to_string(b) + " bits per pixel");
    if (h.width <= 0 || h.height == 0) invalid("empty or negative size");
    if (isRle(h) && h.height < 0) invalid("RLE compression with top-down rows");
    const std::int64_t rows = h.height < 0 ? -h.height : h.height;
    if (h.width > kMaxBmpSide || rows > kMaxBmpSide || h.width * rows > kMaxBmpPixels)
        unsupported("size " + std::to_string(h.width) + "x" + std::to_string(rows) + " is too large");
}

// Everything the headers say about the pixels, checked, with the colour table read.
struct Layout {
    Header h;
    std::vector<std::uint32_t> palette;
    std::uint64_t width = 0, rows = 0, stride = 0;
    std::uint64_t start = 0;       // first byte of the pixel data
    std::uint64_t pixelBytes = 0;  // uncompressed forms only
};

Layout readLayout(const std::uint8_t* data, std::size_t size, BmpLayout layout) {
    if (!data) size = 0;
    if (size < 2 || data[0] != 'B' || data[1] != 'M') invalid("no \"BM\" signature");
    Layout f;
    Header& h = f.h;
    h = readHeader(data, size);
    checkFormat(h, layout);

    // Bit-field masks after a plain info header; earlier versions have none, later ones carry them inside.
    std::uint64_t tableOffset = kFileHeaderSize + h.size;
    if (isBitfields(h) && h.size == kInfoHeaderSize) {
        const std::uint64_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (size < tableOffset + count * 4) invalid("the bit-field masks are truncated");
        h.red = le32(data + tableOffset);
        h.green = le32(data + tableOffset + 4);
        h.blue = le32(data + tableOffset + 8);
        if (count == 4) h.alpha = le32(data + tableOffset + 12);
        tableOffset += count * 4;
    }
    if (!isBitfields(h)) {
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
    if (h.bitCount <= 8) {
        f.palette.resize(static_cast<std::size_t>(entries));
        for (std::size_t i = 0; i < f.palette.size(); ++i) {
            const std::uint8_t* e = data + tableOffset + i * entrySize;
            f.palette[i] = 0xFF000000u | (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
        }
    }

    f.width = static_cast<std::uint64_t>(h.width);
    f.rows = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
    f.stride = (f.width * h.bitCount + 31) / 32 * 4;
    f.start = sequentialStart;
    const std::uint64_t offBits = le32(data + 10);
    if (isRle(h)) {
        if (layout == BmpLayout::File && offBits >= sequentialStart && offBits < size) f.start = offBits;
        if (f.start >= size) invalid("the pixel data is truncated");
        // Compressed data can declare any size in a few bytes; a large picture must bring data in proportion.
        const std::uint64_t pixels = f.width * f.rows, dataBytes = size - f.start;
        if (pixels > kRleFreePixels && pixels / kRlePixelsPerByte > dataBytes)
            unsupported("an RLE bitmap of " + std::to_string(f.width) + "x" + std::to_string(f.rows) +
                        " pixels in only " + std::to_string(dataBytes) + " bytes");
        return f;
    }
    f.pixelBytes = f.stride * f.rows;
    if (layout == BmpLayout::File && offBits >= sequentialStart && offBits <= size &&
        f.pixelBytes <= size - offBits)
        f.start = offBits;
    if (f.pixelBytes > size - f.start) invalid("the pixel data is truncated");
    return f;
}

std::uint32_t paletteColour(const std::vector<std::uint32_t>& palette, unsigned index) {
    return index < palette.size() ? palette[index] : 0xFF000000u;
}

// Converts one stored row of an uncompressed bitmap. Alpha stays as stored where the format has an
// alpha channel (the caller decides about an all-zero channel) and is opaque where it has none.
class RowConverter {
public:
    explicit RowConverter(const Layout& f)
        : f_(f), red_(f.h.red), green_(f.h.green), blue_(f.h.blue), alpha_(f.h.alpha),
          plain32_(f.h.bitCount == 32 && f.h.red == 0xFF0000 && f.h.green == 0xFF00 && f.h.blue == 0xFF &&
                   (f.h.alpha == 0xFF000000u || f.h.alpha == 0)),
          opaque_(f.h.alpha == 0 ? 0xFF000000u : 0) {}

    // Returns true when some pixel of the row has a non-zero alpha.
    bool convert(const std::uint8_t* row, std::uint32_t* dst) const {
        const std::uint64_t width = f_.width;
        switch (f_.h.bitCount) {
        case 1:
            for (std::uint64_t x = 0; x < width; ++x)
                dst[x] = paletteColour(f_.palette, (row[x / 8] >> (7 - x % 8)) & 1);
            return false;
        case 4:
            for (std::uint64_t x = 0; x < width; ++x)
                dst[x] = paletteColour(f_.palette, (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
            return false;
        case 8:
            for (std::uint64_t x = 0; x < width; ++x) dst[x] = paletteColour(f_.palette, row[x]);
            return false;
        case 24:
            for (std::uint64_t x = 0; x < width; ++x)
                dst[x] = 0xFF000000u | (std::uint32_t{row[x * 3 + 2]} << 16) | (std::uint32_t{row[x * 3 + 1]} << 8) |
                         row[x * 3];
            return false;
        default:
            break;
        }
        std::uint32_t alphaBits = 0;
        if (plain32_) {
            for (std::uint64_t x = 0; x < width; ++x) {
                const std::uint32_t v = le32(row + x * 4) | opaque_;
                alphaBits |= v;
                dst[x] = v;
            }
        } else {
            for (std::uint64_t x = 0; x < width; ++x) {
                const std::uint32_t v = f_.h.bitCount == 16 ? le16(row + x * 2) : le32(row + x * 4);
                const std::uint32_t a = alpha_.get(v);
                alphaBits |= a << 24;
                dst[x] = (a << 24) | (red_.get(v) << 16) | (green_.get(v) << 8) | blue_.get(v) | opaque_;
            }
        }
        return opaque_ == 0 && (alphaBits >> 24) != 0;
    }

    // One pixel of a stored row, as convert() makes it.
    std::uint32_t pixel(const std::uint8_t* row, std::uint64_t x) const {
        switch (f_.h.bitCount) {
        case 1: return paletteColour(f_.palette, (row[x / 8] >> (7 - x % 8)) & 1);
        case 4: return paletteColour(f_.palette, (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
        case 8: return paletteColour(f_.palette, row[x]);
        case 24:
            return 0xFF000000u | (std::uint32_t{row[x * 3 + 2]} << 16) | (std::uint32_t{row[x * 3 + 1]} << 8) |
                   row[x * 3];
        default: break;
        }
        if (plain32_) return le32(row + x * 4) | opaque_;
        const std::uint32_t v = f_.h.bitCount == 16 ? le16(row + x * 2) : le32(row + x * 4);
        return (alpha_.get(v) << 24) | (red_.get(v) << 16) | (green_.get(v) << 8) | blue_.get(v) | opaque_;
    }
    // Whether the format's alpha channel is kept (then an all-zero one is the caller's to decide).
    bool keepsAlpha() const { return opaque_ == 0; }

private:
    const Layout& f_;
    Channel red_, green_, blue_, alpha_;
    bool plain32_;
    std::uint32_t opaque_;
};

// Run-length-compressed rows (bottom-up only). rowAt(r) gives the row r from the bottom to write
// into, or nullptr to skip it; leave(r) is called when the codes move off row r (at most once a
// row, never for rows a delta jumps over). Runs past the right edge and moves past the top are
// clipped. Returns the offset just past the end-of-bitmap code.
template <typename RowAt, typename Leave>
std::uint64_t decodeRle(const Layout& f, const std::uint8_t* data, std::size_t size, RowAt rowAt, Leave leave) {
    const bool four = f.h.compression == kBiRle4;
    const std::uint64_t width = f.width, rows = f.rows;
    std::uint64_t x = 0, r = 0;  // r counts rows from the bottom
    std::uint64_t pos = f.start;
    auto need = [&](std::uint64_t n) {
        if (n > size - pos) invalid("the RLE data is truncated (a code at byte " + std::to_string(pos) + ")");
    };
    auto row = [&]() -> std::uint32_t* { return r < rows ? rowAt(r) : nullptr; };
    auto nextRows = [&](std::uint64_t by) {
        if (by == 0) return;
        if (r < rows) leave(r);
        r += by;
    };
    for (;;) {
        if (pos >= size) invalid("the RLE data ends without an end-of-bitmap code");
        need(2);
        const unsigned first = data[pos], second = data[pos + 1];
        pos += 2;
        if (first > 0) {  // a run of `first` pixels of one index (RLE4: two alternating indices)
            if (std::uint32_t* dst = row()) {
                const std::uint64_t n = x < width ? std::min<std::uint64_t>(first, width - x) : 0;
                const std::uint32_t a = paletteColour(f.palette, four ? second >> 4 : second);
                const std::uint32_t b = paletteColour(f.palette, four ? second & 0x0F : second);
                for (std::uint64_t i = 0; i < n; ++i) dst[x + i] = i % 2 ? b : a;
            }
            x += first;
            continue;
        }
        switch (second) {
        case 0:  // end of line
            x = 0;
            nextRows(1);
            break;
        case 1:  // end of bitmap
            if (r < rows) leave(r);
            return pos;
        case 2:  // delta: right and up
            need(2);
            x += data[pos];
            nextRows(data[pos + 1]);
            pos += 2;
            break;
        default: {  // absolute: `second` indices, padded to a 16-bit boundary
            const std::uint64_t bytes = four ? (second + 1) / 2 : second;
            need(bytes + bytes % 2);
            if (std::uint32_t* dst = row()) {
                for (std::uint64_t i = 0; i < second && x + i < width; ++i) {
                    const unsigned index = four ? (data[pos + i / 2] >> (i % 2 ? 0 : 4)) & 0x0F : data[pos + i];
                    dst[x + i] = paletteColour(f.palette, index);
                }
            }
            x += second;
            pos += bytes + bytes % 2;
            break;
        }
        }
    }
}

// The whole picture into `img`. Pixels the data never reaches stay transparent black (0): GDI
// leaves them untouched, black in a new bitmap from CreateDIBitmap.
std::uint64_t decodeRle(const Layout& f, const std::uint8_t* data, std::size_t size, Bitmap32& img) {
    std::fill(img.pixels.begin(), img.pixels.end(), 0u);
    return decodeRle(
        f, data, size, [&](std::uint64_t r) { return img.pixels.data() + (f.rows - 1 - r) * f.width; },
        [](std::uint64_t) {});
}

BmpDecoded describe(const Layout& f) {
    BmpDecoded out;
    out.bitsPerPixel = static_cast<int>(f.h.bitCount);
    out.compression = f.h.compression;
    out.headerSize = f.h.size;
    out.topDown = f.h.height < 0;
    return out;
}

} // namespace

BmpInfo ReadBmpInfo(const std::uint8_t* data, std::size_t size, BmpLayout layout) {
    const Layout f = readLayout(data, size, layout);
    BmpInfo info;
    info.width = static_cast<int>(f.width);
    info.height = static_cast<int>(f.rows);
    info.bitsPerPixel = static_cast<int>(f.h.bitCount);
    info.compression = f.h.compression;
    info.topDown = f.h.height < 0;
    if (!isRle(f.h)) info.consumed = static_cast<std::size_t>(f.start + f.pixelBytes);
    return info;
}

BmpDecoded DecodeBmpRows(const std::uint8_t* data, std::size_t size, BmpLayout layout,
                         const std::function<void(int y, const std::uint32_t* pixels)>& row) {
    const Layout f = readLayout(data, size, layout);
    BmpDecoded out = describe(f);
    if (isRle(f.h)) {
        Bitmap32 whole{static_cast<int>(f.width), static_cast<int>(f.rows),
                       std::vector<std::uint32_t>(static_cast<std::size_t>(f.width * f.rows))};
        out.consumed = static_cast<std::size_t>(decodeRle(f, data, size, whole));
        out.hasAlpha = std::any_of(whole.pixels.begin(), whole.pixels.end(), [](std::uint32_t p) { return p == 0; });
        for (std::uint64_t y = 0; y < f.rows; ++y)
            row(static_cast<int>(y), whole.pixels.data() + y * f.width);
        return out;
    }
    out.consumed = static_cast<std::size_t>(f.start + f.pixelBytes);
    const RowConverter converter(f);
    std::vector<std::uint32_t> buffer(static_cast<std::size_t>(f.width));
    for (std::uint64_t r = 0; r < f.rows; ++r) {
        const std::uint64_t y = out.topDown ? r : f.rows - 1 - r;
        out.hasAlpha = converter.convert(data + f.start + r * f.stride, buffer.data()) || out.hasAlpha;
        row(static_cast<int>(y), buffer.data());
    }
    return out;
}

BmpDecoded DecodeBmpDetailed(const std::uint8_t* data, std::size_t size, BmpLayout layout) {
    const Layout f = readLayout(data, size, layout);
    BmpDecoded out = describe(f);
    Bitmap32& img = out.image;
    img.width = static_cast<int>(f.width);
    img.height = static_cast<int>(f.rows);
    img.pixels.resize(static_cast<std::size_t>(f.width * f.rows));
    if (isRle(f.h)) {
        out.consumed = static_cast<std::size_t>(decodeRle(f, data, size, img));
        out.hasAlpha = std::any_of(img.pixels.begin(), img.pixels.end(), [](std::uint32_t p) { return p == 0; });
        return out;
    }
    out.consumed = static_cast<std::size_t>(f.start + f.pixelBytes);
    const RowConverter converter(f);
    for (std::uint64_t r = 0; r < f.rows; ++r) {
        const std::uint64_t y = out.topDown ? r : f.rows - 1 - r;
        out.hasAlpha = converter.convert(data + f.start + r * f.stride, img.pixels.data() + y * f.width) ||
                       out.hasAlpha;
    }
    // An alpha channel that is zero everywhere is an unused byte, not a transparent picture.
    if (!out.hasAlpha)
        for (auto& px : img.pixels) px |= 0xFF000000u;
    return out;
}

BmpDecoded DecodeBmpFitting(const std::uint8_t* data, std::size_t size, int maxWidth, int maxHeight) {
    if (maxWidth <= 0 || maxHeight <= 0) throw Error("Cannot fit a bitmap into " + std::to_string(maxWidth) + "x" +
                                                     std::to_string(maxHeight) + " pixels");
    const Layout f = readLayout(data, size, BmpLayout::File);
    const std::uint64_t w = f.width, h = f.rows, mw = static_cast<std::uint64_t>(maxWidth),
                        mh = static_cast<std::uint64_t>(maxHeight);
    if (w <= mw && h <= mh) return DecodeBmpDetailed(data, size, BmpLayout::File);

    BmpDecoded out = describe(f);
    out.sourceWidth = static_cast<int>(w);
    out.sourceHeight = static_cast<int>(h);
    // The side that is too large by more sets the scale; the other follows, at least a pixel.
    std::uint64_t tw = mw, th = mh;
    if (w * mh >= h * mw) th = std::max<std::uint64_t>(1, h * mw / w);
    else tw = std::max<std::uint64_t>(1, w * mh / h);
    Bitmap32& img = out.image;
    img.width = static_cast<int>(tw);
    img.height = static_cast<int>(th);
    img.pixels.assign(static_cast<std::size_t>(tw * th), 0u);
    // The nearest pixels, corners kept: the lower-left one names the transparent colour.
    std::vector<std::uint64_t> columns(static_cast<std::size_t>(tw));
    for (std::uint64_t t = 0; t < tw; ++t) columns[t] = tw > 1 ? t * (w - 1) / (tw - 1) : 0;
    // From the top; a single row is the bottom one, which holds the lower-left pixel.
    auto sourceRow = [&](std::uint64_t t) { return th > 1 ? t * (h - 1) / (th - 1) : h - 1; };

    if (isRle(f.h)) {
        // Every code is read; only the rows kept are written, into one row of the source's width.
        std::vector<std::int64_t> target(static_cast<std::size_t>(h), -1);  // by source row from the bottom
        for (std::uint64_t t = 0; t < th; ++t) target[h - 1 - sourceRow(t)] = static_cast<std::int64_t>(t);
        std::vector<std::uint32_t> line(static_cast<std::size_t>(w), 0u);
        bool written = false;
        out.consumed = static_cast<std::size_t>(decodeRle(
            f, data, size,
            [&](std::uint64_t r) -> std::uint32_t* {
                if (target[r] < 0) return nullptr;
                written = true;
                return line.data();
            },
            [&](std::uint64_t r) {
                if (target[r] < 0 || !written) return;
                std::uint32_t* dst = img.pixels.data() + static_cast<std::uint64_t>(target[r]) * tw;
                for (std::uint64_t t = 0; t < tw; ++t) dst[t] = line[columns[t]];
                std::fill(line.begin(), line.end(), 0u);
                written = false;
            }));
        out.hasAlpha = std::any_of(img.pixels.begin(), img.pixels.end(), [](std::uint32_t p) { return p == 0; });
        return out;
    }

    out.consumed = static_cast<std::size_t>(f.start + f.pixelBytes);
    const RowConverter converter(f);
    std::uint32_t alphaBits = 0;
    for (std::uint64_t t = 0; t < th; ++t) {
        const std::uint64_t y = sourceRow(t);
        const std::uint8_t* row = data + f.start + (out.topDown ? y : h - 1 - y) * f.stride;
        std::uint32_t* dst = img.pixels.data() + t * tw;
        for (std::uint64_t c = 0; c < tw; ++c) {
            dst[c] = converter.pixel(row, columns[c]);
            alphaBits |= dst[c];
        }
    }
    out.hasAlpha = converter.keepsAlpha() && (alphaBits >> 24) != 0;
    if (!out.hasAlpha)
        for (auto& px : img.pixels) px |= 0xFF000000u;
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
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    return NamingFile("Picture file", path, [&] { return DecodeBmp(bytes.data(), bytes.size()); });
}

} // namespace kit
