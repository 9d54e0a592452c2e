#include "core/Bmp.h"

#include "core/Error.h"
#include "tests/support/TempFolder.h"
#include "tests/kit/RleSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

using kit::Bitmap32;
using Bytes = std::vector<std::uint8_t>;

namespace {

void put16(Bytes& b, std::uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); }
void put32(Bytes& b, std::uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

// A BMP file put together field by field, so that every header form can be tested.
struct BmpSpec {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1, height = 1;
    std::uint16_t planes = 1, bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::vector<std::uint32_t> masks;      // inside a V2+ header, or after a 40-byte header
    std::vector<std::uint32_t> palette;    // 0x00RRGGBB
    Bytes rows;                            // raw pixel rows as stored, padding included
    std::int64_t offBits = -1;             // -1: right after the colour table
    std::uint32_t fileSize = 0xDEADBEEF;   // deliberately wrong: readers must not trust it
};

Bytes buildBmp(const BmpSpec& s) {
    Bytes h;
    if (s.headerSize == 12) {
        put32(h, 12);
        put16(h, static_cast<std::uint32_t>(s.width));
        put16(h, static_cast<std::uint32_t>(s.height));
        put16(h, s.planes);
        put16(h, s.bitCount);
    } else {
        put32(h, s.headerSize);
        put32(h, static_cast<std::uint32_t>(s.width));
        put32(h, static_cast<std::uint32_t>(s.height));
        put16(h, s.planes);
        put16(h, s.bitCount);
        put32(h, s.compression);
        put32(h, static_cast<std::uint32_t>(s.rows.size()));
        put32(h, 0);
        put32(h, 0);
        put32(h, s.clrUsed);
        put32(h, 0);
        if (s.headerSize > 40) {
            for (std::size_t i = 0; i < 4 && h.size() < s.headerSize; ++i) put32(h, i < s.masks.size() ? s.masks[i] : 0);
            h.resize(s.headerSize, 0);
        } else {
            for (std::uint32_t m : s.masks) put32(h, m);
        }
    }
    for (std::uint32_t c : s.palette) {
        h.push_back(c & 0xFF);
        h.push_back((c >> 8) & 0xFF);
        h.push_back((c >> 16) & 0xFF);
        if (s.headerSize != 12) h.push_back(0);
    }
    Bytes out{'B', 'M'};
    put32(out, s.fileSize);
    put32(out, 0);
    const std::size_t natural = 14 + h.size();
    put32(out, static_cast<std::uint32_t>(s.offBits < 0 ? natural : s.offBits));
    out.insert(out.end(), h.begin(), h.end());
    if (s.offBits > static_cast<std::int64_t>(natural)) out.resize(static_cast<std::size_t>(s.offBits), 0xEE);
    out.insert(out.end(), s.rows.begin(), s.rows.end());
    return out;
}

Bitmap32 pattern(int w, int h, bool alpha = false) {
    Bitmap32 b{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = alpha ? static_cast<std::uint32_t>((x * 37 + y * 11) & 0xFF) : 0xFF;
            b.pixels.push_back((a << 24) | (static_cast<std::uint32_t>(x * 29 + 3) & 0xFF) << 16 |
                               (static_cast<std::uint32_t>(y * 53 + 7) & 0xFF) << 8 |
                               (static_cast<std::uint32_t>(x * y + 11) & 0xFF));
        }
    return b;
}

Bitmap32 decode(const Bytes& b, std::size_t* consumed = nullptr) { return kit::DecodeBmp(b.data(), b.size(), consumed); }

std::string errorOf(const Bytes& b) {
    try {
        decode(b);
    } catch (const kit::Error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(Bmp, EncodeDecodeRoundTripsAt24And32Bits) {
    for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {17, 2}, {16, 16}}) {
        const Bitmap32 opaque = pattern(w, h);
        EXPECT_EQ(decode(kit::EncodeBmp(opaque, 24)), opaque) << w << "x" << h;
        EXPECT_EQ(decode(kit::EncodeBmp(opaque, 32)), opaque) << w << "x" << h;
        const Bitmap32 translucent = pattern(w + 1, h, true);
        EXPECT_EQ(decode(kit::EncodeBmp(translucent, 32)), translucent) << w << "x" << h;
    }
}

TEST(Bmp, EncodedFileHasStandardHeadersAndPaddedBottomUpRows) {
    const Bitmap32 img = pattern(5, 3);
    const Bytes b = kit::EncodeBmp(img, 24);
    const std::size_t stride = 16;  // 5 * 3 = 15 bytes, padded to 16
    ASSERT_EQ(b.size(), 54 + stride * 3);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[10], 54);
    EXPECT_EQ(b[14], 40);
    // The first stored row is the bottom one: pixel (0, 2) in BGR order.
    EXPECT_EQ(b[54], img.at(0, 2) & 0xFF);
    EXPECT_EQ(b[56], (img.at(0, 2) >> 16) & 0xFF);
}

TEST(Bmp, OneBitEncodingIsBlackAndWhite) {
    Bitmap32 img{10, 2, {}};
    for (int i = 0; i < 20; ++i) img.pixels.push_back(i % 3 == 0 ? 0xFFC0C0C0u : (i % 3 == 1 ? 0xFF404040u : 0xFFFFFFFFu));
    const Bytes b = kit::EncodeBmp(img, 1);
    EXPECT_EQ(b.size(), 14u + 40 + 8 + 4 * 2);
    const Bitmap32 back = decode(b);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(back.pixels[i], i % 3 == 1 ? 0xFF000000u : 0xFFFFFFFFu) << i;
}

TEST(Bmp, ThirtyTwoBitsWithAnEmptyAlphaByteAreOpaque) {
    BmpSpec s{.width = 2, .bitCount = 32, .rows = {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0x00}};
    const auto d = kit::DecodeBmpDetailed(buildBmp(s).data(), buildBmp(s).size());
    EXPECT_FALSE(d.hasAlpha);
    EXPECT_EQ(d.image.pixels, (std::vector<std::uint32_t>{0xFF302010u, 0xFF605040u}));
    s.rows[3] = 0x80;  // one pixel with alpha: the channel counts everywhere
    const Bitmap32 img = decode(buildBmp(s));
    EXPECT_EQ(img.pixels, (std::vector<std::uint32_t>{0x80302010u, 0x00605040u}));
}

TEST(Bmp, OneBitPaletteUsesItsColourTable) {
    // 1 bit, 9 pixels wide: two bytes of bits, padded to four.
    const BmpSpec one{.width = 9, .bitCount = 1, .palette = {0x112233, 0xAABBCC}, .rows = {0b10100000, 0b10000000, 0, 0}};
    const Bitmap32 img = decode(buildBmp(one));
    EXPECT_EQ(img.at(0, 0), 0xFFAABBCCu);
    EXPECT_EQ(img.at(1, 0), 0xFF112233u);
    EXPECT_EQ(img.at(2, 0), 0xFFAABBCCu);
    EXPECT_EQ(img.at(8, 0), 0xFFAABBCCu);
}

TEST(Bmp, BitFieldsWithAlphaInAVersion5Header) {
    const BmpSpec s{.headerSize = 124,
                    .width = 2,
                    .bitCount = 32,
                    .compression = 3,
                    .masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF},  // bytes in the order A, R, G, B
                    .rows = {0x40, 0x11, 0x22, 0x33, 0xFF, 0x44, 0x55, 0x66}};
    const auto d = kit::DecodeBmpDetailed(buildBmp(s).data(), buildBmp(s).size());
    EXPECT_TRUE(d.hasAlpha);
    EXPECT_EQ(d.headerSize, 124u);
    EXPECT_EQ(d.image.pixels, (std::vector<std::uint32_t>{0x40112233u, 0xFF445566u}));
}

TEST(Bmp, DecodesEveryHeaderFormAndDepth) {
    std::vector<std::uint32_t> corePalette(256, 0);
    corePalette[7] = 0x123456;
    struct Case {
        const char* name;
        BmpSpec spec;
        std::vector<std::uint32_t> pixels;
        std::size_t consumed = 0;  // 0: not checked
    };
    const Case cases[] = {
        // A short table (clrUsed 3); index 5 lies outside it and is black.
        {"4 bits",
         {.width = 3, .bitCount = 4, .clrUsed = 3, .palette = {0x000001, 0x000002, 0x000003}, .rows = {0x21, 0x50, 0, 0}},
         {0xFF000003u, 0xFF000002u, 0xFF000000u}},
        {"8 bits, two rows bottom-up",
         {.width = 2, .height = 2, .bitCount = 8, .clrUsed = 4, .palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
          .rows = {0, 1, 0, 0, 2, 3, 0, 0}},
         {0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u, 0xFF00FF00u}},
        // 0x7C00 red, 0x001F blue.
        {"16 bits 5-5-5", {.width = 2, .bitCount = 16, .rows = {0x00, 0x7C, 0x1F, 0x00}}, {0xFFFF0000u, 0xFF0000FFu}},
        // Five bits widen to eight by repeating their top bits, as GDI draws them: 3 is 0x18, 17 is 0x8C.
        // Blue 3; green 16 (0x0200) and blue 17.
        {"16 bits widened", {.width = 2, .bitCount = 16, .rows = {0x03, 0x00, 0x11, 0x02}}, {0xFF000018u, 0xFF00848Cu}},
        // 0x07E0 full green, 0x0010 half blue.
        {"16 bits as bit fields",
         {.width = 2, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .rows = {0xE0, 0x07, 0x10, 0x00}},
         {0xFF00FF00u, 0xFF000084u}},
        // R in the low byte.
        {"bit-field masks after a plain info header",
         {.width = 1, .bitCount = 32, .compression = 3, .masks = {0x000000FF, 0x0000FF00, 0x00FF0000},
          .rows = {0x12, 0x34, 0x56, 0x00}},
         {0xFF123456u},
         14u + 40 + 12 + 4},
        {"top-down rows", {.width = 1, .height = -2, .rows = {1, 2, 3, 0, 4, 5, 6, 0}}, {0xFF030201u, 0xFF060504u}},
        {"bottom-up rows", {.width = 1, .height = 2, .rows = {1, 2, 3, 0, 4, 5, 6, 0}}, {0xFF060504u, 0xFF030201u}},
        {"OS/2 core header", {.headerSize = 12, .width = 2, .bitCount = 8, .palette = corePalette, .rows = {7, 0, 0, 0}},
         {0xFF123456u, 0xFF000000u},
         14u + 12 + 256 * 3 + 4},
        {"version 4 header with plain RGB", {.headerSize = 108, .width = 1, .rows = {9, 8, 7, 0}}, {0xFF070809u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t consumed = 0;
        EXPECT_EQ(decode(buildBmp(c.spec), &consumed).pixels, c.pixels);
        if (c.consumed) EXPECT_EQ(consumed, c.consumed);
    }
}

TEST(Bmp, ConsumedCountsHeadersTableAndRowsNotTheSizeField) {
    Bytes b = kit::EncodeBmp(pattern(3, 2), 24);
    const std::size_t exact = b.size();
    b[2] = b[3] = b[4] = b[5] = 0;  // a size field of zero, as image-list streams carry a short one
    b.insert(b.end(), {1, 2, 3, 4, 5});
    std::size_t consumed = 0;
    EXPECT_EQ(decode(b, &consumed), pattern(3, 2));
    EXPECT_EQ(consumed, exact);

    Bytes mono = kit::EncodeBmp(pattern(33, 3), 1);
    EXPECT_EQ(kit::DecodeBmpDetailed(mono.data(), mono.size()).consumed, 14u + 40 + 8 + 8 * 3);
}

TEST(Bmp, FileLayoutHonoursThePixelOffsetAndStreamLayoutIgnoresIt) {
    BmpSpec s{.width = 1, .rows = {1, 2, 3, 0}, .offBits = 14 + 40 + 6};  // a gap of six bytes before the rows
    const Bytes b = buildBmp(s);
    const auto file = kit::DecodeBmpDetailed(b.data(), b.size(), kit::BmpLayout::File);
    EXPECT_EQ(file.image.pixels, std::vector<std::uint32_t>{0xFF030201u});
    EXPECT_EQ(file.consumed, b.size());
    const auto stream = kit::DecodeBmpDetailed(b.data(), b.size(), kit::BmpLayout::Stream);
    EXPECT_EQ(stream.image.pixels, std::vector<std::uint32_t>{0xFFEEEEEEu});
    EXPECT_EQ(stream.consumed, 14u + 40 + 4);

    // An offset that points into the headers, or past the end, falls back to the natural place.
    s.offBits = 20;
    EXPECT_EQ(decode(buildBmp(s)).pixels, std::vector<std::uint32_t>{0xFF030201u});
    BmpSpec far = s;
    far.offBits = -1;
    Bytes b2 = buildBmp(far);
    b2[10] = 0xFF;
    b2[11] = 0xFF;
    EXPECT_EQ(decode(b2).pixels, std::vector<std::uint32_t>{0xFF030201u});
}

TEST(Bmp, EveryTruncationRaisesAnError) {
    const BmpSpec pal{.width = 3, .bitCount = 4, .palette = std::vector<std::uint32_t>(16, 0x102030), .rows = {0x12, 0x30, 0, 0}};
    const BmpSpec fields{
        .width = 1, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .rows = {1, 2, 0, 0}};
    const BmpSpec core{.headerSize = 12, .rows = {1, 2, 3, 0}};
    const BmpSpec rle{.width = 4,
                      .height = 2,
                      .bitCount = 8,
                      .compression = 1,
                      .clrUsed = 2,
                      .palette = {0x102030, 0x405060},
                      .rows = {3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 1}};
    for (const Bytes& whole : {kit::EncodeBmp(pattern(5, 3), 24), kit::EncodeBmp(pattern(9, 2), 1),
                               kit::EncodeBmp(pattern(2, 2, true), 32), buildBmp(pal), buildBmp(fields),
                               buildBmp(core), buildBmp(rle)}) {
        ASSERT_NO_THROW(decode(whole));
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_THROW(decode(cut), kit::Error) << "length " << n << " of " << whole.size();
        }
    }
    EXPECT_THROW(kit::DecodeBmp(nullptr, 0), kit::Error);
}

TEST(Bmp, RefusesWhatItCannotRead) {
    Bytes good = kit::EncodeBmp(pattern(2, 2), 24);
    Bytes b = good;
    b[0] = 'X';
    EXPECT_NE(errorOf(b).find("\"BM\""), std::string::npos);

    const Bytes blank = {0, 0, 0, 0};
    const struct {
        BmpSpec spec;
        const char* error;  // text the error holds; nullptr: any error
    } cases[] = {
        {{.compression = 4}, "JPEG"},
        {{.compression = 5}, "PNG"},
        {{.headerSize = 64, .rows = blank}, "header size 64"},  // OS/2 2.x
        {{.planes = 2, .rows = blank}, "planes"},
        {{.bitCount = 2, .rows = blank}, "2 bits per pixel"},
        // Bit fields need 16 or 32 bits.
        {{.bitCount = 24, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000}, .rows = blank}, nullptr},
        {{.bitCount = 16, .compression = 3, .masks = {0x1F0000, 0x7E0, 0x1F}, .rows = blank}, "wider than 16"},
        {{.bitCount = 4, .clrUsed = 17, .palette = std::vector<std::uint32_t>(17, 0), .rows = blank}, "colour table"},
    };
    for (const auto& c : cases) {
        const std::string error = errorOf(buildBmp(c.spec));
        EXPECT_NE(error, "(no error)") << (c.error ? c.error : "bit fields at 24 bits");
        if (c.error) EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

namespace {

// Sixteen distinct colours for colour indices 0 to F.
std::vector<std::uint32_t> sixteenColours() {
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 16; ++i) palette.push_back(i * 0x101010u + 5);
    return palette;
}

struct RleCase {
    const char* what;
    std::uint32_t compression;          // 1 RLE8, 2 RLE4
    std::int32_t height;                // width is always 4
    Bytes codes;
    std::vector<std::string> rows;      // top-down, one hex digit per pixel's colour index, "." unreached
    const char* error = nullptr;        // text the error must contain, or none
    std::uint16_t bitCount = 0;         // 0: the one the compression needs
};

} // namespace

TEST(Bmp, RunLengthCompressedFilesDecodeEveryCode) {
    const std::vector<RleCase> cases = {
        {"encoded runs and ends of line", 1, 3, {3, 1, 0, 0, 4, 2, 0, 0, 2, 3, 0, 1}, {"33..", "2222", "111."}},
        {"absolute runs padded to a word", 1, 2, {0, 3, 5, 6, 7, 0, 1, 8, 0, 0, 0, 4, 1, 2, 3, 4, 0, 1},
         {"1234", "5678"}},
        {"delta moves right and up", 1, 3, {1, 1, 0, 2, 1, 1, 1, 2, 0, 1}, {"....", "..2.", "1..."}},
        {"an early end of bitmap leaves the rest", 1, 2, {2, 5, 0, 1}, {"....", "55.."}},
        {"runs past the right edge are clipped", 1, 2, {6, 4, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1},
         {"1234", "4444"}},
        {"moves past the top row write nothing", 1, 2, {1, 1, 0, 2, 0, 5, 3, 7, 0, 0, 9, 9, 0, 1},
         {"....", "1..."}},
        {"an end of line after the top row", 1, 2, {4, 1, 0, 0, 4, 2, 0, 0, 0, 1}, {"2222", "1111"}},
        {"RLE4 runs alternate two indices", 2, 2, {4, 0x12, 0, 0, 3, 0x34, 0, 1}, {"343.", "1212"}},
        {"RLE4 absolute nibbles padded to a word", 2, 2,
         {0, 3, 0x56, 0x70, 1, 0x9A, 0, 0, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1}, {"ABCD", "5679"}},
        {"no end of bitmap", 1, 2, {4, 1, 0, 0}, {}, "without an end-of-bitmap"},
        {"no data at all", 1, 2, {}, {}, "truncated"},
        {"a run without its index", 1, 2, {4}, {}, "truncated"},
        {"a short absolute run", 1, 2, {0, 4, 1, 2}, {}, "truncated"},
        {"an absolute run without its padding", 1, 2, {0, 3, 1, 2, 3}, {}, "truncated"},
        {"a short delta", 1, 2, {0, 2, 1}, {}, "truncated"},
        {"top-down rows", 1, -2, {0, 1}, {}, "top-down"},
        {"RLE8 at 4 bits per pixel", 1, 2, {0, 1}, {}, "RLE8 compression with 4 bits", 4},
        {"RLE4 at 8 bits per pixel", 2, 2, {0, 1}, {}, "RLE4 compression with 8 bits", 8},
    };
    const std::vector<std::uint32_t> palette = sixteenColours();
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint16_t bits = c.bitCount ? c.bitCount : (c.compression == 1 ? 8 : 4);
        Bytes file = kgtest::RleFile(c.compression, bits, 4, c.height, palette, c.codes);
        if (c.error) {
            EXPECT_NE(errorOf(file).find(c.error), std::string::npos) << errorOf(file);
            continue;
        }
        const std::size_t whole = file.size();
        file.insert(file.end(), {0xEE, 0xEE, 0xEE});  // after the end code: not read
        const kit::BmpDecoded d = kit::DecodeBmpDetailed(file.data(), file.size());
        EXPECT_EQ(d.consumed, whole);
        EXPECT_EQ(d.compression, c.compression);
        ASSERT_EQ(d.image.width, 4);
        ASSERT_EQ(d.image.height, static_cast<int>(c.rows.size()));
        bool unreached = false;
        for (int y = 0; y < d.image.height; ++y)
            for (int x = 0; x < 4; ++x) {
                const char digit = c.rows[y][x];
                unreached = unreached || digit == '.';
                const std::uint32_t want =
                    digit == '.' ? 0u : 0xFF000000u | palette[std::stoul(std::string(1, digit), nullptr, 16)];
                EXPECT_EQ(d.image.at(x, y), want) << x << "," << y;
            }
        EXPECT_EQ(d.hasAlpha, unreached);
        // Image-list streams never carry compressed bitmaps.
        EXPECT_NE(std::string([&] {
                      try {
                          kit::DecodeBmpDetailed(file.data(), file.size(), kit::BmpLayout::Stream);
                      } catch (const kit::Error& e) {
                          return std::string(e.what());
                      }
                      return std::string("(no error)");
                  }()).find("image list stream"),
                  std::string::npos);
    }
}

TEST(Bmp, RunLengthCompressedPictureEqualsTheSamePictureUncompressed) {
    const int w = 37, h = 11;
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            indices.push_back(static_cast<std::uint8_t>(x < 20 ? (x / 5 + y) % 7 : (x * y * 13 + x) % 251));
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 256; ++i) palette.push_back((i * 0x00A3B1C7u) & 0xFFFFFF);
    const Bytes codes = kgtest::Rle8Encode(indices, w, h);
    ASSERT_LT(codes.size(), indices.size());

    BmpSpec plain{.width = w, .height = h, .bitCount = 8, .palette = palette};
    const std::size_t stride = (w + 3) / 4 * 4;
    plain.rows.assign(stride * h, 0);
    for (int y = 0; y < h; ++y)
        std::copy_n(indices.begin() + y * w, w, plain.rows.begin() + static_cast<std::ptrdiff_t>((h - 1 - y) * stride));
    const Bitmap32 expected = decode(buildBmp(plain));
    EXPECT_EQ(decode(kgtest::RleFile(1, 8, w, h, palette, codes)), expected);
}

TEST(Bmp, RunLengthCompressedSizeMustBeBackedByData) {
    // 4096 x 4096 from two bytes would allocate 64 MB for nothing.
    EXPECT_NE(errorOf(kgtest::RleFile(1, 8, 4096, 4096, {0}, {0, 1})).find("RLE bitmap of 4096x4096 pixels"),
              std::string::npos);
    // Up to a million pixels need no particular amount of data.
    const Bitmap32 blank = decode(kgtest::RleFile(1, 8, 1024, 1024, {0x123456}, {0, 1}));
    EXPECT_EQ(blank.pixels.size(), 1024u * 1024);
    EXPECT_EQ(blank.at(1023, 0), 0u);
}

TEST(Bmp, RefusesEmptyNegativeAndHugeSizesWithoutAllocating) {
    for (auto [w, h] : {std::pair<std::int32_t, std::int32_t>{0, 1}, {1, 0}, {-4, 4}, {1, INT32_MIN},
                        {100000, 100000}, {300000, 1}, {1, -300000}}) {
        const BmpSpec s{.width = w, .height = h, .bitCount = 1, .palette = {0, 0xFFFFFF}, .rows = {0, 0, 0, 0}};
        EXPECT_THROW(decode(buildBmp(s)), kit::Error) << w << "x" << h;
    }
    // Plausible size, but the rows are not there.
    const BmpSpec s{.width = 16384, .height = 16384, .bitCount = 32};
    EXPECT_NE(errorOf(buildBmp(s)).find("truncated"), std::string::npos);
}

// A reduced picture holds the nearest pixels of the whole one, corners included, in a box it fills
// on one side at least; one that fits comes out whole. Checked against the whole decode of each form.
TEST(Bmp, PictureReducedToFitHoldsTheNearestPixelsOfTheWholeOne) {
    const std::vector<std::uint32_t> palette = sixteenColours();
    Bytes topDown = kit::EncodeBmp(pattern(37, 23), 24);
    {
        // The same rows, stored top-down.
        const std::size_t stride = (37 * 3 + 3) / 4 * 4, start = 54;
        Bytes flipped(topDown.begin(), topDown.begin() + start);
        for (int r = 22; r >= 0; --r)
            flipped.insert(flipped.end(), topDown.begin() + start + r * stride, topDown.begin() + start + (r + 1) * stride);
        const std::int32_t negative = -23;
        for (int i = 0; i < 4; ++i) flipped[22 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(negative) >> (8 * i));
        topDown = flipped;
    }
    std::vector<std::uint8_t> indices;
    for (int i = 0; i < 41 * 13; ++i) indices.push_back(static_cast<std::uint8_t>((i / 7 + i % 5) % 16));
    const struct {
        const char* what;
        Bytes file;
        bool alpha;
    } sources[] = {
        {"24 bits", kit::EncodeBmp(pattern(37, 23), 24), false},
        {"32 bits with alpha", kit::EncodeBmp(pattern(40, 9, true), 32), true},
        {"1 bit", kit::EncodeBmp(pattern(50, 30), 1), false},
        {"24 bits, top-down", topDown, false},
        {"RLE8 of runs and absolute stretches", kgtest::RleFile(1, 8, 41, 13, palette, kgtest::Rle8Encode(indices, 41, 13)), false},
        {"RLE8 with deltas, pixels unreached", kgtest::RleFile(1, 8, 4, 3, palette, {1, 1, 0, 2, 1, 1, 1, 2, 0, 1}), true},
        {"RLE4 ending early", kgtest::RleFile(2, 4, 4, 2, palette, {4, 0x12, 0, 1}), true},
    };
    const std::pair<int, int> boxes[] = {{1000, 1000}, {5, 100}, {100, 3}, {4, 4}, {3, 2}, {1, 1}};
    for (const auto& source : sources) {
        const kit::BmpDecoded whole = kit::DecodeBmpDetailed(source.file.data(), source.file.size());
        const int w = whole.image.width, h = whole.image.height;
        for (const auto& [maxW, maxH] : boxes) {
            SCOPED_TRACE(std::string(source.what) + " into " + std::to_string(maxW) + "x" + std::to_string(maxH));
            const kit::BmpDecoded fit = kit::DecodeBmpFitting(source.file.data(), source.file.size(), maxW, maxH);
            EXPECT_EQ(fit.consumed, whole.consumed);
            EXPECT_EQ(fit.bitsPerPixel, whole.bitsPerPixel);
            if (w <= maxW && h <= maxH) {
                EXPECT_EQ(fit.image, whole.image);
                EXPECT_EQ(fit.sourceWidth, 0);
                continue;
            }
            EXPECT_EQ(fit.sourceWidth, w);
            EXPECT_EQ(fit.sourceHeight, h);
            const int tw = fit.image.width, th = fit.image.height;
            ASSERT_GE(tw, 1);
            ASSERT_GE(th, 1);
            EXPECT_LE(tw, maxW);
            EXPECT_LE(th, maxH);
            EXPECT_TRUE(tw == maxW || th == maxH) << tw << "x" << th;
            // Proportions kept to a pixel.
            EXPECT_LE(std::abs(std::int64_t{tw} * h - std::int64_t{th} * w), std::int64_t{std::max(w, h)});
            for (int y = 0; y < th; ++y)
                for (int x = 0; x < tw; ++x) {
                    const int sx = tw > 1 ? x * (w - 1) / (tw - 1) : 0, sy = th > 1 ? y * (h - 1) / (th - 1) : h - 1;
                    ASSERT_EQ(fit.image.at(x, y), whole.image.at(sx, sy)) << x << "," << y;
                }
            EXPECT_EQ(fit.image.at(0, th - 1), whole.image.at(0, h - 1)) << "the lower-left pixel";
            if (!source.alpha) EXPECT_FALSE(fit.hasAlpha);
        }
    }
    EXPECT_THROW(kit::DecodeBmpFitting(sources[0].file.data(), sources[0].file.size(), 0, 10), kit::Error);
}

// What a file may declare at the least cost: the memory of the result follows the box, not the file.
TEST(Bmp, HugeDeclaredPicturesAreReducedWithoutHoldingThemWhole) {
    Bytes rle = kgtest::RleFile(1, 8, 16384, 16384, sixteenColours(), {});
    const std::size_t codesAt = rle.size();
    for (int row = 0; row < 100; ++row) {
        for (int run = 0; run < 64; ++run) rle.insert(rle.end(), {255, static_cast<std::uint8_t>(run % 16)});
        rle.insert(rle.end(), {64, 3, 0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    rle.resize(codesAt + (256u << 10), 0);  // the least data such a size may bring
    const BmpSpec mono{.width = 16384,
                       .height = 16384,
                       .bitCount = 1,
                       .palette = {0x000000, 0xFFFFFF},
                       .rows = Bytes(std::size_t{2048} * 16384, 0x0F)};
    for (const Bytes& file : {rle, buildBmp(mono)}) {
        const kit::BmpDecoded fit = kit::DecodeBmpFitting(file.data(), file.size(), 2048, 1024);
        EXPECT_EQ(fit.image.width, 1024);
        EXPECT_EQ(fit.image.height, 1024);
        EXPECT_EQ(fit.sourceWidth, 16384);
        EXPECT_EQ(fit.image.pixels.size(), std::size_t{1024} * 1024);
    }
}

TEST(Bmp, EncodeRefusesBadArguments) {
    EXPECT_THROW(kit::EncodeBmp(pattern(2, 2), 8), kit::Error);
    EXPECT_THROW(kit::EncodeBmp(Bitmap32{}, 24), kit::Error);
    Bitmap32 wrong = pattern(2, 2);
    wrong.pixels.pop_back();
    EXPECT_THROW(kit::EncodeBmp(wrong, 24), kit::Error);
}

TEST(Bmp, LoadBmpFileSeparatesUnreadableFromMalformed) {
    const kgtest::TempFolder dir("kg-bmp-test");
    const Bitmap32 img = pattern(4, 4);
    const Bytes good = kit::EncodeBmp(img, 24);
    {
        std::ofstream(dir / "good.bmp", std::ios::binary).write(reinterpret_cast<const char*>(good.data()),
                                                                 static_cast<std::streamsize>(good.size()));
        std::ofstream(dir / "bad.bmp", std::ios::binary).write(reinterpret_cast<const char*>(good.data()), 30);
    }
    EXPECT_EQ(kit::LoadBmpFile((dir / "good.bmp").string()), img);
    try {
        kit::LoadBmpFile((dir / "bad.bmp").string());
        ADD_FAILURE() << "a truncated file loaded";
    } catch (const kit::InOutError&) {
        ADD_FAILURE() << "a malformed file reported as unreadable";
    } catch (const kit::Error& e) {
        EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos);
    }
    EXPECT_THROW(kit::LoadBmpFile((dir / "missing.bmp").string()), kit::InOutError);
    EXPECT_THROW(kit::LoadBmpFile(dir.string()), kit::InOutError);
}
