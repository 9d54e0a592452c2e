#include "core/IconFile.h"

#include "core/Error.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using kit::Bitmap32;
using toolbar::IconImages;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Out {
    Bytes b;
    Out& u8(std::uint8_t v) { b.push_back(v); return *this; }
    Out& u16(std::uint32_t v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Out& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Out& str(const std::string& s) { u8(static_cast<std::uint8_t>(s.size())); b.insert(b.end(), s.begin(), s.end()); return *this; }
    Out& raw(const Bytes& r) { b.insert(b.end(), r.begin(), r.end()); return *this; }
    Out& zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
};

// A property whose value has the given type byte and payload.
Bytes prop(const std::string& name, std::uint8_t type, const Bytes& payload = {}) {
    return Out{}.str(name).u8(type).raw(payload).b;
}
Bytes binaryProp(const std::string& name, const Bytes& data) {
    return Out{}.str(name).u8(10).u32(static_cast<std::uint32_t>(data.size())).raw(data).b;
}

// An icon file put together by hand: resource header, "TPF0", optional prefix, names, properties, children.
Bytes handFile(const Bytes& properties, const Bytes& prefix = {}, const Bytes& children = {}) {
    Out body;
    body.raw({'T', 'P', 'F', '0'}).raw(prefix).str("TImageList").str("IconList").raw(properties).u8(0).raw(children).u8(0);
    return Out{}.u8(0xFF).u16(10).raw({'T', 'I', 'M', 'A', 'G', 'E', 'L', 'I', 'S', 'T', 0}).u16(0x1030)
        .u32(static_cast<std::uint32_t>(body.b.size())).raw(body.b).b;
}

Bitmap32 picture(int w, int h, std::uint32_t seed) {
    Bitmap32 b{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.pixels.push_back(0xFF000000u | ((seed * 40 + static_cast<std::uint32_t>(x) * 13) & 0xFF) << 16 |
                               ((seed * 7 + static_cast<std::uint32_t>(y) * 17) & 0xFF) << 8 | ((seed * 3 + 1) & 0xFF));
    return b;
}

// Icons with a magenta frame (transparent) around a coloured inside.
std::vector<Bitmap32> framedIcons(int count, int w = 16, int h = 16) {
    std::vector<Bitmap32> out;
    for (int i = 0; i < count; ++i) {
        Bitmap32 b = picture(w, h, static_cast<std::uint32_t>(i + 1));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1 || (x + y + i) % 7 == 0)
                    b.pixels[static_cast<std::size_t>(y * w + x)] = 0xFFFF00FFu;
        out.push_back(std::move(b));
    }
    return out;
}

// An image-list stream with a free choice of version and layout.
Bytes ilStream(std::uint16_t version, int count, int cx, int cy, const Bitmap32& color, const Bitmap32* mask,
               int colorBits = 24) {
    Out o;
    o.raw({'I', 'L'}).u16(version).u16(static_cast<std::uint32_t>(count)).u16(static_cast<std::uint32_t>(count))
        .u16(4).u16(static_cast<std::uint32_t>(cx)).u16(static_cast<std::uint32_t>(cy)).u32(0xFFFFFFFF)
        .u16((mask ? 1u : 0u) | 0x18u).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF);
    o.raw(kit::EncodeBmp(color, colorBits));
    if (mask) o.raw(kit::EncodeBmp(*mask, 1));
    return o.b;
}

IconImages unmaskedList(std::vector<Bitmap32> images) {
    IconImages list;
    list.width = images.front().width;
    list.height = images.front().height;
    list.images = std::move(images);
    return list;
}

std::string errorOf(const Bytes& file) {
    try {
        toolbar::ReadIconFile(file);
    } catch (const kit::Error& e) {
        return e.what();
    }
    return "(no error)";
}

std::string streamErrorOf(const Bytes& stream) {
    try {
        toolbar::ReadImageListStream(stream.data(), stream.size());
    } catch (const kit::Error& e) {
        return e.what();
    }
    return "(no error)";
}

void expectSameImages(const IconImages& expected, const IconImages& actual) {
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    ASSERT_EQ(actual.images.size(), expected.images.size());
    ASSERT_EQ(actual.masked, expected.masked);
    for (std::size_t i = 0; i < expected.images.size(); ++i) {
        if (expected.masked) {
            ASSERT_EQ(actual.masks[i], expected.masks[i]) << "mask " << i;
        }
        ASSERT_EQ(actual.images[i].width, expected.width);
        ASSERT_EQ(actual.images[i].height, expected.height);
        // Under the mask only the colour counts: a 24-bit bitmap has no alpha to keep there.
        for (std::size_t p = 0; p < expected.images[i].pixels.size(); ++p) {
            const bool hidden = expected.masked && expected.masks[i][p];
            const std::uint32_t keep = hidden ? 0xFFFFFFu : 0xFFFFFFFFu;
            ASSERT_EQ(actual.images[i].pixels[p] & keep, expected.images[i].pixels[p] & keep)
                << "image " << i << " pixel " << p;
        }
    }
}

} // namespace

TEST(IconFile, WrittenFileReadsBackWithTheSameImagesAndMasks) {
    for (int count : {1, 3, 4, 5, 9, 13}) {
        const IconImages list = toolbar::MakeIconImages(framedIcons(count), 0xFF00FF);
        const Bytes file = toolbar::WriteIconFile(list);
        const IconImages back = toolbar::ReadIconFile(file);
        expectSameImages(list, back);
        EXPECT_EQ(back.version, 0x0101);
        EXPECT_EQ(back.colorBitsPerPixel, 24);
        EXPECT_EQ(back.maskBitsPerPixel, 1);
        EXPECT_EQ(back.bkColor, toolbar::kNoColor);
        EXPECT_EQ(back.capacity % 4, 0);
        EXPECT_GE(back.capacity, count);
        // The frame is transparent and black in the colour bitmap; the inside is opaque and kept.
        EXPECT_TRUE(back.transparentAt(0, 0, 0));
        EXPECT_EQ(back.images[0].at(0, 0) & 0xFFFFFF, 0u);
        EXPECT_FALSE(back.transparentAt(0, 5, 6));
        EXPECT_EQ(back.images[0].at(5, 6), framedIcons(1)[0].at(5, 6));
    }
}

TEST(IconFile, ThirtyTwoBitListsKeepPartialAlpha) {
    std::vector<Bitmap32> icons{picture(16, 16, 1), picture(16, 16, 2)};
    icons[1].pixels[3] = 0x80123456u;  // half transparent stays, as a colour
    icons[1].pixels[4] = 0x10123456u;  // nearly transparent becomes masked
    const IconImages list = toolbar::MakeIconImages(icons, std::nullopt);
    EXPECT_FALSE(list.masks[1][3]);
    EXPECT_TRUE(list.masks[1][4]);
    const IconImages back = toolbar::ReadIconFile(toolbar::WriteIconFile(list, 32));
    expectSameImages(list, back);
    EXPECT_EQ(back.colorBitsPerPixel, 32);
    EXPECT_EQ(back.flags & toolbar::kIlcColor32, toolbar::kIlcColor32);
    EXPECT_EQ(back.images[1].pixels[3], 0x80123456u);
}

TEST(IconFile, WriterLaysOutTheOuterFormat) {
    const IconImages list = toolbar::MakeIconImages(framedIcons(2, 20, 18), 0xFF00FF);
    const Bytes file = toolbar::WriteIconFile(list);
    ASSERT_GT(file.size(), 40u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 10);
    EXPECT_EQ(file[2], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[3])), "TIMAGELIST");
    const std::size_t afterName = 3 + 11;
    const std::uint32_t dataSize = file[afterName + 2] | file[afterName + 3] << 8 | file[afterName + 4] << 16 |
                                   static_cast<std::uint32_t>(file[afterName + 5]) << 24;
    EXPECT_EQ(dataSize, file.size() - (afterName + 6));
    EXPECT_EQ(std::string(file.begin() + afterName + 6, file.begin() + afterName + 10), "TPF0");

    const toolbar::IconFileInfo info = toolbar::ParseIconFile(file.data(), file.size());
    EXPECT_EQ(info.resourceName, "TIMAGELIST");
    EXPECT_EQ(info.className, "TImageList");
    EXPECT_EQ(info.objectName, "IconList");
    EXPECT_EQ(info.properties, (std::vector<std::string>{"Height", "Width", "Bitmap"}));
    EXPECT_EQ(info.widthProperty, 20);
    EXPECT_EQ(info.heightProperty, 18);
    ASSERT_TRUE(info.bitmap);
    EXPECT_EQ(toolbar::ExtractImageListStream(file.data(), file.size()), *info.bitmap);
}

TEST(IconFile, ImageListStreamPutsFourImagesToARowAndShortSizeFields) {
    const IconImages list = toolbar::MakeIconImages(framedIcons(6, 8, 8), 0xFF00FF);
    const Bytes il = toolbar::WriteImageListStream(list);
    ASSERT_GE(il.size(), 28u);
    EXPECT_EQ(il[0], 'I');
    EXPECT_EQ(il[1], 'L');
    EXPECT_EQ(il[2] | il[3] << 8, 0x0101);
    EXPECT_EQ(il[4] | il[5] << 8, 6);                 // count
    EXPECT_EQ(il[6] | il[7] << 8, 8);                 // capacity: two whole rows
    EXPECT_EQ(il[10] | il[11] << 8, 8);               // cx
    EXPECT_EQ(il[18] | il[19] << 8, 0x0019);          // ILC_MASK | ILC_COLOR24
    EXPECT_EQ(il[20] | il[21] << 8, 0xFFFF);          // no overlays
    std::size_t consumed = 0;
    const Bitmap32 strip = kit::DecodeBmp(il.data() + 28, il.size() - 28, &consumed);
    EXPECT_EQ(strip.width, 32);
    EXPECT_EQ(strip.height, 16);
    // Image 5 sits at column 1 of row 1.
    EXPECT_EQ(strip.at(8 + 3, 8 + 4), list.images[5].at(3, 4));
    // The file header's size field covers headers and colour table only, as comctl32 writes it.
    EXPECT_EQ(il[28 + 2] | il[28 + 3] << 8, 54);
    EXPECT_EQ(il[28 + consumed + 2] | il[28 + consumed + 3] << 8, 62);
    const Bitmap32 mask = kit::DecodeBmp(il.data() + 28 + consumed, il.size() - 28 - consumed);
    EXPECT_EQ(mask.at(8, 8), 0xFFFFFFFFu);            // frame of image 5: transparent (white)
    EXPECT_EQ(mask.at(24 + 3, 8 + 3), 0xFFFFFFFFu);    // the unused place 7: transparent
}

TEST(IconFile, ReadsEveryPropertyTypeAndSkipsWhatItDoesNotUse) {
    const IconImages list = toolbar::MakeIconImages(framedIcons(2), 0xFF00FF);
    const Bytes il = toolbar::WriteImageListStream(list);
    Out props;
    props.raw(prop("Tag0", 0))
        .raw(prop("List", 1, Out{}.u8(2).u8(5).u8(6).str("x").u8(1).u8(9).u8(0).u8(0).b))
        .raw(prop("AllocBy", 2, {4}))
        .raw(prop("Left", 3, {0x10, 0x01}))
        .raw(prop("BkColor", 4, {0xFF, 0xFF, 0xFF, 0x1F}))
        .raw(prop("Ext", 5, Bytes(10, 0x3F)))
        .raw(prop("S", 6, Out{}.str("abc").b))
        .raw(prop("BlendColor", 7, Out{}.str("clNone").b))
        .raw(prop("ShareImages", 8))
        .raw(prop("Masked", 9))
        .raw(prop("Bin", 10, Out{}.u32(3).raw({1, 2, 3}).b))
        .raw(prop("Set", 11, Out{}.str("a").str("bc").u8(0).b))
        .raw(prop("LS", 12, Out{}.u32(2).raw({'h', 'i'}).b))
        .raw(prop("Nil", 13))
        .raw(prop("Items", 14, Out{}.u8(1).raw(prop("Caption", 6, Out{}.str("one").b)).u8(0)
                                   .u8(2).u8(7).u8(1).raw(prop("Index", 2, {1})).u8(0).u8(0).b))
        .raw(prop("Single", 15, Bytes(4, 0)))
        .raw(prop("Money", 16, Bytes(8, 0)))
        .raw(prop("When", 17, Bytes(8, 0)))
        .raw(prop("WS", 18, Out{}.u32(2).u16('h').u16('i').b))
        .raw(prop("Big", 19, Bytes(8, 0xFF)))
        .raw(prop("U8", 20, Out{}.u32(3).raw({'a', 'b', 'c'}).b))
        .raw(prop("DrawingStyle", 7, Out{}.str("dsNormal").b))
        .raw(prop("ImageType", 7, Out{}.str("itImage").b))
        .raw(prop("Width", 19, Out{}.u32(16).u32(0).b))
        .raw(prop("height", 3, {16, 0}))
        .raw(binaryProp("bitmap", il));
    const Bytes file = handFile(props.b);
    const toolbar::IconFileInfo info = toolbar::ParseIconFile(file.data(), file.size());
    EXPECT_EQ(info.properties.size(), 26u);
    EXPECT_EQ(info.maskedProperty, std::optional<bool>(true));
    expectSameImages(list, toolbar::ReadIconFile(file));
}

TEST(IconFile, SkipsPrefixBytesAndChildObjects) {
    const IconImages list = toolbar::MakeIconImages(framedIcons(1), 0xFF00FF);
    const Bytes props = binaryProp("Bitmap", toolbar::WriteImageListStream(list));
    // Flags 2: a child position (an integer) follows the prefix byte.
    expectSameImages(list, toolbar::ReadIconFile(handFile(props, {0xF2, 3, 0x05, 0x00})));
    expectSameImages(list, toolbar::ReadIconFile(handFile(props, {0xF1})));
    const Bytes child = Out{}.u8(0xF4).str("TChild").str("Kid").raw(prop("Bitmap", 8)).u8(0).u8(0).b;
    expectSameImages(list, toolbar::ReadIconFile(handFile(props, {}, child)));
    // The child position must be an integer.
    EXPECT_EQ(errorOf(handFile(props, {0xF2, 6, 1, 'x'})), "Invalid stream format");
}

TEST(IconFile, WithoutABitmapTheListIsEmptyAtThePropertySize) {
    const Bytes file = handFile(Out{}.raw(prop("Width", 2, {24})).raw(prop("Height", 2, {20})).b);
    const IconImages list = toolbar::ReadIconFile(file);
    EXPECT_TRUE(list.images.empty());
    EXPECT_EQ(list.width, 24);
    EXPECT_EQ(list.height, 20);
    EXPECT_THROW(toolbar::ExtractImageListStream(file.data(), file.size()), kit::Error);
    EXPECT_EQ(toolbar::ReadIconFile(handFile({})).width, 16);
}

TEST(IconFile, BrokenObjectStreamsAreInvalidStreamFormat) {
    const Bytes il = toolbar::WriteImageListStream(toolbar::MakeIconImages(framedIcons(1), 0xFF00FF));
    const Bytes good = handFile(binaryProp("Bitmap", il));
    ASSERT_NO_THROW(toolbar::ReadIconFile(good));

    Bytes noSignature = good;
    noSignature[3 + 11 + 6] = 'X';  // "XPF0"
    EXPECT_EQ(errorOf(noSignature), "Invalid stream format");
    for (std::uint8_t type : {21, 22, 0x7F, 0xFF})
        EXPECT_EQ(errorOf(handFile(prop("Odd", type, Bytes(16, 0)))), "Invalid stream format") << int(type);
    // Lengths far beyond the end.
    EXPECT_EQ(errorOf(handFile(prop("Bitmap", 10, {0xFF, 0xFF, 0xFF, 0xFF}))), "Invalid stream format");
    EXPECT_EQ(errorOf(handFile(prop("LS", 12, {0xFF, 0xFF, 0xFF, 0x7F}))), "Invalid stream format");
    EXPECT_EQ(errorOf(handFile(prop("WS", 18, {0xFF, 0xFF, 0xFF, 0xFF}))), "Invalid stream format");
    // A collection item must open with a list marker.
    EXPECT_EQ(errorOf(handFile(prop("Items", 14, {5, 0, 0}))), "Invalid stream format");
    // Lists nested far too deep end with an error, not a stack overflow.
    Bytes deep(100000, 1);
    EXPECT_EQ(errorOf(handFile(prop("Deep", 1, deep))), "Invalid stream format");
    Bytes deepChildren;
    for (int i = 0; i < 5000; ++i) deepChildren.insert(deepChildren.end(), {1, 'C', 1, 'N', 0});
    EXPECT_EQ(errorOf(handFile({}, {}, deepChildren)), "Invalid stream format");
}

TEST(IconFile, BadResourceHeadersAndPropertyValuesHaveClearMessages) {
    const Bytes good = toolbar::WriteIconFile(toolbar::MakeIconImages(framedIcons(1), 0xFF00FF));
    Bytes b = good;
    b[0] = 0xFE;
    EXPECT_NE(errorOf(b).find("resource header"), std::string::npos);
    b = good;
    b[1] = 11;
    EXPECT_NE(errorOf(b).find("resource header"), std::string::npos);
    EXPECT_NE(errorOf({}).find("resource header"), std::string::npos);
    EXPECT_NE(errorOf({0xFF, 10, 0, 'A', 'B'}).find("truncated"), std::string::npos);

    EXPECT_EQ(errorOf(handFile(prop("Width", 6, Out{}.str("16").b))), "Invalid property value");
    EXPECT_EQ(errorOf(handFile(prop("Height", 2, {0}))), "Invalid property value");
    EXPECT_EQ(errorOf(handFile(prop("Width", 4, {0, 0, 1, 0}))), "Invalid property value");
    EXPECT_EQ(errorOf(handFile(prop("Bitmap", 12, Out{}.u32(1).u8(0).b))), "Invalid property value");
    EXPECT_EQ(errorOf(handFile(prop("Masked", 2, {1}))), "Invalid property value");
}

TEST(IconFile, TruncationAtEveryLengthRaises) {
    for (int bits : {24, 32}) {
        const Bytes file = toolbar::WriteIconFile(toolbar::MakeIconImages(framedIcons(5, 4, 3), 0xFF00FF), bits);
        ASSERT_NO_THROW(toolbar::ReadIconFile(file));
        for (std::size_t n = 0; n < file.size(); ++n) {
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_THROW(toolbar::ReadIconFile(cut), kit::Error) << "length " << n;
        }
    }
}

TEST(IconFile, BytesAfterTheObjectAndAfterTheMaskAreIgnored) {
    const IconImages list = toolbar::MakeIconImages(framedIcons(3), 0xFF00FF);
    Bytes il = toolbar::WriteImageListStream(list);
    il.insert(il.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    Bytes file = toolbar::WrapImageListStream(il, 16, 16);
    file.insert(file.end(), 100, 0xAB);
    expectSameImages(list, toolbar::ReadIconFile(file));
}

TEST(ImageListStream, VersionDecidesTheLayout) {
    // Three 4x2 images.
    std::vector<Bitmap32> icons{picture(4, 2, 1), picture(4, 2, 2), picture(4, 2, 3)};
    Bitmap32 column{4, 6, {}};
    for (const auto& icon : icons) column.pixels.insert(column.pixels.end(), icon.pixels.begin(), icon.pixels.end());
    Bitmap32 mask{4, 6, std::vector<std::uint32_t>(24, 0xFF000000u)};
    mask.pixels[4 * 2 + 1] = 0xFFFFFFFFu;  // image 1, pixel (1, 0)

    const Bytes v6 = ilStream(0x0600, 3, 4, 2, column, &mask);
    const IconImages read = toolbar::ReadImageListStream(v6.data(), v6.size());
    ASSERT_EQ(read.images.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(read.images[i], icons[i]) << i;
    EXPECT_TRUE(read.transparentAt(1, 1, 0));
    EXPECT_FALSE(read.transparentAt(0, 1, 0));
    EXPECT_EQ(read.version, 0x0600);

    // The same one-per-row bitmap under version 0x0101 is refused, never misread.
    EXPECT_NE(streamErrorOf(ilStream(0x0101, 3, 4, 2, column, &mask)).find("pixels wide"), std::string::npos);
    // And a four-per-row bitmap under 0x0600 too.
    const Bytes v1 = toolbar::WriteImageListStream(toolbar::MakeIconImages(icons, std::nullopt));
    Bytes relabelled = v1;
    relabelled[3] = 0x06;
    EXPECT_NE(streamErrorOf(relabelled).find("pixels wide"), std::string::npos);

    for (std::uint16_t version : {0x0000, 0x0100, 0x0102, 0x0200, 0x05FF}) {
        Bytes other = v1;
        other[2] = version & 0xFF;
        other[3] = version >> 8;
        char expected[64];
        std::snprintf(expected, sizeof expected, "Unsupported image list stream version 0x%04X", version);
        EXPECT_EQ(streamErrorOf(other), expected);
    }
}

TEST(ImageListStream, MalformedStreamsAreRefused) {
    const IconImages list = toolbar::MakeIconImages(framedIcons(2, 8, 8), 0xFF00FF);
    const Bytes good = toolbar::WriteImageListStream(list);
    auto with = [&](std::size_t at, std::uint16_t v) {
        Bytes b = good;
        b[at] = v & 0xFF;
        b[at + 1] = v >> 8;
        return b;
    };
    Bytes b = good;
    b[0] = 'X';
    EXPECT_NE(streamErrorOf(b).find("\"IL\""), std::string::npos);
    EXPECT_NE(streamErrorOf(Bytes(good.begin(), good.begin() + 27)).find("truncated"), std::string::npos);
    // Huge counts need rows the bitmap does not have.
    EXPECT_NE(streamErrorOf(with(4, 0xFFFF)).find("pixels high"), std::string::npos);
    EXPECT_NE(streamErrorOf(with(4, 9)).find("pixels high"), std::string::npos);
    // Zero-sized images, and a size that does not match the bitmap.
    EXPECT_NE(streamErrorOf(with(10, 0)).find("images of 0x8"), std::string::npos);
    EXPECT_NE(streamErrorOf(with(10, 9)).find("pixels wide"), std::string::npos);
    EXPECT_NE(streamErrorOf(with(12, 200)).find("pixels high"), std::string::npos);
    // A mask flag without a mask behind the colour bitmap.
    const Bytes unmasked = toolbar::WriteImageListStream(unmaskedList({picture(8, 8, 1)}));
    Bytes flagged = unmasked;
    flagged[18] |= 1;
    EXPECT_NE(streamErrorOf(flagged).find("mask bitmap"), std::string::npos);
    // A colour bitmap that is not one.
    Bytes notBmp = good;
    notBmp[28] = 'X';
    EXPECT_NE(streamErrorOf(notBmp).find("colour bitmap"), std::string::npos);
    // An empty list needs no bitmaps.
    EXPECT_TRUE(toolbar::ReadImageListStream(with(4, 0).data(), 28).images.empty());
}

TEST(ImageListStream, SizesNoIconFileHasAreRefusedBeforeTheBitmapsAreRead) {
    struct Case {
        const char* what;
        std::uint16_t version;
        int count, cx, cy;
        bool unusable;  // else the reader goes on to the (absent) colour bitmap
    };
    const Case cases[] = {
        {"one image of 16384 x 16384, one to a row", 0x0600, 1, 16384, 16384, true},
        {"one image of 16384 x 16384, four to a row", 0x0101, 1, 16384, 16384, true},
        {"an image one pixel too wide", 0x0101, 1, 257, 16, true},
        {"an image one pixel too high", 0x0101, 1, 16, 257, true},
        {"an empty list of images too large", 0x0101, 0, 300, 300, true},
        {"16,385 images of 32 x 32", 0x0101, 16385, 32, 32, true},
        {"65,535 images of 17 x 16", 0x0101, 65535, 17, 16, true},
        {"65,535 images of 16 x 16", 0x0101, 65535, 16, 16, false},
        {"256 images of 256 x 256", 0x0600, 256, 256, 256, false},
        {"16,384 images of 32 x 32", 0x0101, 16384, 32, 32, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes header = Out{}.raw({'I', 'L'}).u16(c.version).u16(static_cast<std::uint32_t>(c.count))
                                 .u16(static_cast<std::uint32_t>(c.count)).u16(4).u16(static_cast<std::uint32_t>(c.cx))
                                 .u16(static_cast<std::uint32_t>(c.cy)).u32(0xFFFFFFFF).u16(0x19)
                                 .u16(0xFFFF).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF).b;
        const std::string error = streamErrorOf(header);
        if (c.unusable) {
            EXPECT_EQ(error.rfind("Unusable icon file: ", 0), 0u) << error;
            EXPECT_EQ(errorOf(toolbar::WrapImageListStream(header, 16, 16)), error);
        } else {
            EXPECT_NE(error.find("colour bitmap"), std::string::npos) << error;
        }
    }
    // Without a "Bitmap" the "Width" and "Height" properties are the size, under the same limit.
    EXPECT_EQ(errorOf(handFile(Out{}.raw(prop("Width", 3, {0x00, 0x04})).b)).rfind("Unusable icon file: ", 0), 0u);
    EXPECT_EQ(toolbar::ReadIconFile(handFile(Out{}.raw(prop("Width", 3, {0x00, 0x01})).b)).width, 256);
}

TEST(ImageListStream, UnmaskedListsHaveNoMasks) {
    const IconImages list = unmaskedList({picture(8, 8, 1), picture(8, 8, 2)});
    const Bytes il = toolbar::WriteImageListStream(list);
    EXPECT_EQ(il[18] | il[19] << 8, 0x0018);
    const IconImages back = toolbar::ReadImageListStream(il.data(), il.size());
    expectSameImages(list, back);
    EXPECT_TRUE(back.masks.empty());
    EXPECT_FALSE(back.transparentAt(0, 0, 0));
}

TEST(IconFile, WriterAndMaskBuilderRefuseInconsistentImages) {
    EXPECT_THROW(toolbar::MakeIconImages({picture(16, 16, 1), picture(16, 15, 2)}, 0xFF00FF), kit::Error);
    const IconImages list = toolbar::MakeIconImages(framedIcons(1), 0xFF00FF);
    EXPECT_THROW(toolbar::WriteImageListStream(list, 16), kit::Error);
    IconImages wrongSize = list;
    wrongSize.width = 8;
    EXPECT_THROW(toolbar::WriteImageListStream(wrongSize), kit::Error);
    IconImages missingMask = list;
    missingMask.masks.clear();
    EXPECT_THROW(toolbar::WriteImageListStream(missingMask), kit::Error);
    IconImages tooMany;
    tooMany.images.assign(70000, picture(1, 1, 1));
    tooMany.width = tooMany.height = 1;
    EXPECT_THROW(toolbar::WriteImageListStream(tooMany), kit::Error);
    // An empty list is still a valid file.
    const IconImages none = toolbar::ReadIconFile(toolbar::WriteIconFile(toolbar::MakeIconImages({}, 0xFF00FF)));
    EXPECT_TRUE(none.images.empty());
}

TEST(IconFile, RandomDamageNeverEscapesAsAnythingButKitError) {
    const Bytes good = toolbar::WriteIconFile(toolbar::MakeIconImages(framedIcons(5, 6, 5), 0xFF00FF));
    std::mt19937 rng(12345);
    int rejected = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = good;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
        try {
            const IconImages list = toolbar::ReadIconFile(b);
            for (const auto& image : list.images)
                ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(list.width) * list.height);
        } catch (const kit::Error&) {
            ++rejected;
        }
    }
    EXPECT_GT(rejected, 0);
}

TEST(IconFile, LoadIconFileSeparatesUnreadableFromMalformed) {
    const kgtest::TempFolder dir("kg-icon-test");
    const IconImages list = toolbar::MakeIconImages(framedIcons(2), 0xFF00FF);
    const Bytes file = toolbar::WriteIconFile(list);
    std::ofstream(dir / "Icons.bin", std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                             static_cast<std::streamsize>(file.size()));
    std::ofstream(dir / "bad.bin", std::ios::binary) << "not an icon file";
    expectSameImages(list, toolbar::LoadIconFile((dir / "Icons.bin").string()));
    EXPECT_THROW(toolbar::LoadIconFile((dir / "missing.bin").string()), kit::InOutError);
    try {
        toolbar::LoadIconFile((dir / "bad.bin").string());
        ADD_FAILURE() << "a malformed file loaded";
    } catch (const kit::InOutError&) {
        ADD_FAILURE() << "a malformed file reported as unreadable";
    } catch (const kit::Error&) {
    }
}
