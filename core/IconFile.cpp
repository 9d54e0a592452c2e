#include "core/IconFile.h"

#include "core/ErrorText.h"
#include "core/FileRead.h"
#include "core/Text.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace toolbar {

namespace {

const char* const kInvalidStream = "Invalid stream format";
constexpr int kMaxNesting = 64;        // lists, collections and child objects inside one another
constexpr std::size_t kIlHeaderSize = 28;
constexpr std::uint16_t kResourceTypeRcData = 10;

// Bounds-checked little-endian reading; every overrun raises kit::Error with the cursor's message.
class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size, std::string overrun)
        : data_(data), size_(data ? size : 0), overrun_(std::move(overrun)) {}

    std::size_t position() const { return pos_; }
    std::uint8_t peek() const { need(1); return data_[pos_]; }
    std::uint8_t u8() { need(1); return data_[pos_++]; }
    std::uint16_t u16() { const std::uint8_t* p = take(2); return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
    std::uint32_t u32() {
        const std::uint8_t* p = take(4);
        return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    }
    const std::uint8_t* take(std::uint64_t n) {
        need(n);
        const std::uint8_t* p = data_ + pos_;
        pos_ += static_cast<std::size_t>(n);
        return p;
    }
    void skip(std::uint64_t n) { take(n); }
    std::string shortString() {
        const std::uint8_t n = u8();
        const std::uint8_t* p = take(n);
        return std::string(reinterpret_cast<const char*>(p), n);
    }
    [[noreturn]] void fail() const { throw kit::Error(overrun_); }
    void need(std::uint64_t n) const { if (n > size_ - pos_) fail(); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::string overrun_;
};

// Value type bytes of the object stream.
enum : std::uint8_t {
    vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary, vaSet,
    vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64, vaUTF8String
};

class ObjectReader {
public:
    ObjectReader(Cursor& in, IconFileInfo& info) : in_(in), info_(info) {}

    void readObject(int depth, bool root) {
        if (depth > kMaxNesting) in_.fail();
        if ((in_.peek() & 0xF0) == 0xF0) {
            const std::uint8_t flags = in_.u8() & 0x0F;
            if (flags & 0x02) readInteger();  // the child position
        }
        std::string className = in_.shortString();
        std::string objectName = in_.shortString();
        if (root) {
            info_.className = std::move(className);
            info_.objectName = std::move(objectName);
        }
        while (in_.peek() != 0) readProperty(depth, root);
        in_.u8();
        while (in_.peek() != 0) readObject(depth + 1, false);
        in_.u8();
    }

private:
    std::int64_t readInteger() {
        switch (in_.u8()) {
        case vaInt8: return static_cast<std::int8_t>(in_.u8());
        case vaInt16: return static_cast<std::int16_t>(in_.u16());
        case vaInt32: return static_cast<std::int32_t>(in_.u32());
        default: in_.fail();
        }
    }

    void readProperty(int depth, bool root) {
        const std::string name = in_.shortString();
        if (!root) {
            skipValue(in_.u8(), depth);
            return;
        }
        info_.properties.push_back(name);
        if (kit::SameAsciiText(name, "Width") || kit::SameAsciiText(name, "Height")) {
            const std::int64_t v = readIntegerProperty();
            if (v < 1 || v > 0xFFFF) throw kit::Error("Invalid property value");
            (kit::SameAsciiText(name, "Width") ? info_.widthProperty : info_.heightProperty) = static_cast<int>(v);
        } else if (kit::SameAsciiText(name, "Bitmap")) {
            if (in_.u8() != vaBinary) throw kit::Error("Invalid property value");
            const std::uint32_t n = in_.u32();
            const std::uint8_t* p = in_.take(n);
            info_.bitmap.emplace(p, p + n);
        } else if (kit::SameAsciiText(name, "Masked")) {
            const std::uint8_t type = in_.u8();
            if (type != vaFalse && type != vaTrue) throw kit::Error("Invalid property value");
            info_.maskedProperty = type == vaTrue;
        } else {
            skipValue(in_.u8(), depth);
        }
    }

    std::int64_t readIntegerProperty() {
        const std::uint8_t type = in_.u8();
        switch (type) {
        case vaInt8: return static_cast<std::int8_t>(in_.u8());
        case vaInt16: return static_cast<std::int16_t>(in_.u16());
        case vaInt32: return static_cast<std::int32_t>(in_.u32());
        case vaInt64: {
            const std::uint64_t lo = in_.u32();
            const std::uint64_t hi = in_.u32();
            return static_cast<std::int64_t>(lo | (hi << 32));
        }
        default:
            skipValue(type, 0);
            throw kit::Error("Invalid property value");
        }
    }

    void skipValue(std::uint8_t type, int depth) {
        if (depth > kMaxNesting) in_.fail();
        switch (type) {
        case vaNull: case vaFalse: case vaTrue: case vaNil: break;
        case vaList:
            while (in_.peek() != 0) skipValue(in_.u8(), depth + 1);
            in_.u8();
            break;
        case vaInt8: in_.skip(1); break;
        case vaInt16: in_.skip(2); break;
        case vaInt32: case vaSingle: in_.skip(4); break;
        case vaExtended: in_.skip(10); break;
        case vaString: case vaIdent: in_.shortString(); break;
        case vaBinary: case vaLString: case vaUTF8String: in_.skip(in_.u32()); break;
        case vaSet:
            while (!in_.shortString().empty()) {}
            break;
        case vaCollection: skipCollection(depth + 1); break;
        case vaCurrency: case vaDate: case vaInt64: in_.skip(8); break;
        case vaWString: in_.skip(std::uint64_t{in_.u32()} * 2); break;
        default: in_.fail();
        }
    }

    // Items, each an optional integer index, a list marker and properties up to a 0; a 0 ends the collection.
    void skipCollection(int depth) {
        if (depth > kMaxNesting) in_.fail();
        while (in_.peek() != 0) {
            const std::uint8_t t = in_.peek();
            if (t == vaInt8 || t == vaInt16 || t == vaInt32) skipValue(in_.u8(), depth);
            if (in_.u8() != vaList) in_.fail();
            while (in_.peek() != 0) {
                in_.shortString();
                skipValue(in_.u8(), depth + 1);
            }
            in_.u8();
        }
        in_.u8();
    }

    Cursor& in_;
    IconFileInfo& info_;
};


bool nearerWhite(std::uint32_t px) {
    return ((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF) >= 383;
}

// Checks from its headers alone that one of the stream's bitmaps is whole and holds `count` images of
// cx x cy in rows of `columns`.
kit::BmpInfo checkLayoutBitmap(const std::uint8_t* data, std::size_t size, const char* what, int columns, int count,
                               int cx, int cy) {
    kit::BmpInfo info;
    try {
        info = kit::ReadBmpInfo(data, size, kit::BmpLayout::Stream);
    } catch (const kit::Error& e) {
        throw kit::Error(std::string("Image list ") + what + ": " + e.what());
    }
    const std::int64_t wantWidth = std::int64_t{columns} * cx;
    const std::int64_t rows = (std::int64_t{count} + columns - 1) / columns;
    const std::int64_t wantHeight = rows * cy;
    if (info.width != wantWidth)
        throw kit::Error(std::string("Invalid image list stream: the ") + what + " is " + std::to_string(info.width) +
                         " pixels wide, images of width " + std::to_string(cx) + " in rows of " +
                         std::to_string(columns) + " need " + std::to_string(wantWidth));
    if (info.height < wantHeight)
        throw kit::Error(std::string("Invalid image list stream: the ") + what + " is " +
                         std::to_string(info.height) + " pixels high, " + std::to_string(count) +
                         " images of height " + std::to_string(cy) + " need " + std::to_string(wantHeight));
    return info;
}

// Refuses sizes no real icon file has before anything is allocated for them.
void checkUsableSize(int width, int height, std::int64_t count) {
    if (width > kMaxIconSide || height > kMaxIconSide)
        throw kit::Error("Unusable icon file: images of " + std::to_string(width) + "x" + std::to_string(height) +
                         " pixels (at most " + std::to_string(kMaxIconSide) + "x" + std::to_string(kMaxIconSide) +
                         ")");
    if (count * width * height > kMaxIconListPixels)
        throw kit::Error("Unusable icon file: " + std::to_string(count) + " images of " + std::to_string(width) +
                         "x" + std::to_string(height) + " pixels (at most " + std::to_string(kMaxIconListPixels) +
                         " pixels in all)");
}

void putU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}
void putShortString(std::vector<std::uint8_t>& out, const std::string& s) {
    out.push_back(static_cast<std::uint8_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}
void putIntegerProperty(std::vector<std::uint8_t>& out, const std::string& name, std::int32_t v) {
    putShortString(out, name);
    if (v >= -128 && v <= 127) {
        out.push_back(vaInt8);
        out.push_back(static_cast<std::uint8_t>(v));
    } else if (v >= -32768 && v <= 32767) {
        out.push_back(vaInt16);
        putU16(out, static_cast<std::uint16_t>(v));
    } else {
        out.push_back(vaInt32);
        putU32(out, static_cast<std::uint32_t>(v));
    }
}

// A bitmap of the stream as comctl32 writes it: the file header's size field covers only the headers
// and the colour table.
void putStreamBitmap(std::vector<std::uint8_t>& out, const kit::Bitmap32& image, int bitsPerPixel) {
    std::vector<std::uint8_t> bmp = kit::EncodeBmp(image, bitsPerPixel);
    for (int i = 0; i < 4; ++i) bmp[2 + i] = bmp[10 + i];
    out.insert(out.end(), bmp.begin(), bmp.end());
}

} // namespace

IconFileInfo ParseIconFile(const std::uint8_t* data, std::size_t size) {
    IconFileInfo info;
    Cursor header(data, size, "Invalid icon file: the resource header is truncated");
    if (size == 0 || header.u8() != 0xFF || header.u16() != kResourceTypeRcData)
        throw kit::Error("Invalid icon file: not a component resource (bad resource header)");
    while (const std::uint8_t c = header.u8()) info.resourceName.push_back(static_cast<char>(c));
    header.u16();  // flags
    header.u32();  // size of the data that follows

    Cursor in(data + header.position(), size - header.position(), kInvalidStream);
    const std::uint8_t* signature = in.take(4);
    if (signature[0] != 'T' || signature[1] != 'P' || signature[2] != 'F' || signature[3] != '0') in.fail();
    ObjectReader(in, info).readObject(0, true);
    return info;
}

std::vector<std::uint8_t> ExtractImageListStream(const std::uint8_t* data, std::size_t size) {
    IconFileInfo info = ParseIconFile(data, size);
    if (!info.bitmap) throw kit::Error("The icon file holds no \"Bitmap\" property");
    return std::move(*info.bitmap);
}

IconImages ReadImageListStream(const std::uint8_t* data, std::size_t size) {
    Cursor in(data, size, "Invalid image list stream: the header is truncated");
    const std::uint8_t* magic = in.take(kIlHeaderSize);
    if (magic[0] != 'I' || magic[1] != 'L') throw kit::Error("Invalid image list stream: no \"IL\" signature");
    Cursor h(data + 2, kIlHeaderSize - 2, "");
    IconImages list;
    list.version = h.u16();
    const int count = h.u16();
    list.capacity = h.u16();
    list.grow = h.u16();
    list.width = h.u16();
    list.height = h.u16();
    list.bkColor = h.u32();
    list.flags = h.u16();
    for (auto& o : list.overlays) o = static_cast<std::int16_t>(h.u16());
    list.masked = (list.flags & kIlcMask) != 0;

    int columns;
    if (list.version == kImageListVersion) {
        columns = 4;
    } else if (list.version >= kImageListVersion6) {
        columns = 1;
    } else {
        char text[80];
        std::snprintf(text, sizeof text, "Unsupported image list stream version 0x%04X", list.version);
        throw kit::Error(text);
    }
    checkUsableSize(list.width, list.height, count);
    if (count == 0) return list;
    if (list.width == 0 || list.height == 0)
        throw kit::Error("Invalid image list stream: images of " + std::to_string(list.width) + "x" +
                         std::to_string(list.height) + " pixels");

    // Both bitmaps are checked whole before the images are allocated; their rows then go straight
    // into the images, and no copy of either bitmap is kept.
    const std::size_t colorAt = kIlHeaderSize;
    const kit::BmpInfo colorInfo =
        checkLayoutBitmap(data + colorAt, size - colorAt, "colour bitmap", columns, count, list.width, list.height);
    const std::size_t maskAt = colorAt + colorInfo.consumed;
    if (list.masked)
        checkLayoutBitmap(data + maskAt, size - maskAt, "mask bitmap", columns, count, list.width, list.height);

    const std::size_t cx = static_cast<std::size_t>(list.width), cy = static_cast<std::size_t>(list.height);
    const std::size_t images = static_cast<std::size_t>(count);
    list.images.assign(images, kit::Bitmap32{list.width, list.height, std::vector<std::uint32_t>(cx * cy)});
    // Hands the part of bitmap row y that belongs to each image to place(image, line, pixels).
    auto scatter = [&](int y, const std::uint32_t* pixels, auto&& place) {
        const std::size_t first = static_cast<std::size_t>(y) / cy * static_cast<std::size_t>(columns);
        const std::size_t line = static_cast<std::size_t>(y) % cy;
        for (std::size_t c = 0; c < static_cast<std::size_t>(columns) && first + c < images; ++c)
            place(first + c, line, pixels + c * cx);
    };

    const kit::BmpDecoded color =
        kit::DecodeBmpRows(data + colorAt, size - colorAt, kit::BmpLayout::Stream, [&](int y, const std::uint32_t* row) {
            scatter(y, row, [&](std::size_t i, std::size_t line, const std::uint32_t* from) {
                std::copy(from, from + cx, list.images[i].pixels.begin() + static_cast<std::ptrdiff_t>(line * cx));
            });
        });
    list.colorBitsPerPixel = color.bitsPerPixel;
    // An alpha channel that is zero everywhere is an unused byte, not transparent images.
    if (!color.hasAlpha)
        for (auto& image : list.images)
            for (auto& px : image.pixels) px |= 0xFF000000u;
    if (list.masked) {
        list.masks.assign(images, std::vector<bool>(cx * cy));
        const kit::BmpDecoded mask =
            kit::DecodeBmpRows(data + maskAt, size - maskAt, kit::BmpLayout::Stream, [&](int y, const std::uint32_t* row) {
                scatter(y, row, [&](std::size_t i, std::size_t line, const std::uint32_t* from) {
                    std::vector<bool>& transparent = list.masks[i];
                    for (std::size_t x = 0; x < cx; ++x) transparent[line * cx + x] = nearerWhite(from[x]);
                });
            });
        list.maskBitsPerPixel = mask.bitsPerPixel;
    }
    return list;
}

IconImages ReadIconFile(const std::uint8_t* data, std::size_t size) {
    const IconFileInfo info = ParseIconFile(data, size);
    if (!info.bitmap) {
        checkUsableSize(info.widthProperty, info.heightProperty, 0);
        IconImages empty;
        empty.width = info.widthProperty;
        empty.height = info.heightProperty;
        return empty;
    }
    return ReadImageListStream(info.bitmap->data(), info.bitmap->size());
}

IconImages LoadIconFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    return kit::NamingFile("Icon file", path, [&] { return ReadIconFile(bytes); });
}

IconImages MakeIconImages(std::vector<kit::Bitmap32> images, std::optional<std::uint32_t> transparentColor) {
    IconImages list;
    list.masked = true;
    if (!images.empty()) {
        list.width = images.front().width;
        list.height = images.front().height;
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        kit::Bitmap32& image = images[i];
        if (image.width != list.width || image.height != list.height ||
            image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            throw kit::Error("Image " + std::to_string(i) + " is " + std::to_string(image.width) + "x" +
                             std::to_string(image.height) + " pixels; the images of a list must all be " +
                             std::to_string(list.width) + "x" + std::to_string(list.height));
        std::vector<bool> transparent(image.pixels.size());
        for (std::size_t p = 0; p < image.pixels.size(); ++p) {
            std::uint32_t& px = image.pixels[p];
            if ((px >> 24) < 0x80 || (transparentColor && ((px ^ *transparentColor) & 0xFFFFFF) == 0)) {
                transparent[p] = true;
                px = 0;
            }
        }
        list.masks.push_back(std::move(transparent));
    }
    list.images = std::move(images);
    return list;
}

std::vector<std::uint8_t> WriteImageListStream(const IconImages& list, int colorBitsPerPixel) {
    if (colorBitsPerPixel != 24 && colorBitsPerPixel != 32)
        throw kit::Error("An image list is written with 24 or 32 bits per pixel, not " +
                         std::to_string(colorBitsPerPixel));
    if (list.width < 1 || list.height < 1 || list.width > 0xFFFF || list.height > 0xFFFF)
        throw kit::Error("Cannot write images of " + std::to_string(list.width) + "x" + std::to_string(list.height) +
                         " pixels");
    const std::size_t count = list.images.size();
    if (count > 0xFFFF - 3) throw kit::Error("Too many images for an image list: " + std::to_string(count));
    if (list.masked && list.masks.size() != count) throw kit::Error("Every image of a masked list needs a mask");
    const std::size_t cx = static_cast<std::size_t>(list.width), cy = static_cast<std::size_t>(list.height);
    for (std::size_t i = 0; i < count; ++i) {
        const kit::Bitmap32& image = list.images[i];
        if (image.width != list.width || image.height != list.height || image.pixels.size() != cx * cy ||
            (list.masked && list.masks[i].size() != cx * cy))
            throw kit::Error("Image " + std::to_string(i) + " is not " + std::to_string(cx) + "x" +
                             std::to_string(cy) + " pixels");
    }

    // Whole rows of four, at least one.
    const std::size_t capacity = count == 0 ? 4 : (count + 3) / 4 * 4;
    const std::int64_t stripWidth = 4 * std::int64_t{list.width};
    const std::int64_t stripHeight = static_cast<std::int64_t>(capacity / 4) * list.height;
    if (stripWidth > kit::kMaxBmpSide || stripHeight > kit::kMaxBmpSide || stripWidth * stripHeight > kit::kMaxBmpPixels)
        throw kit::Error("Too many images of this size for an image list");
    kit::Bitmap32 color{static_cast<int>(stripWidth), static_cast<int>(stripHeight),
                        std::vector<std::uint32_t>(static_cast<std::size_t>(stripWidth * stripHeight), 0)};
    kit::Bitmap32 mask{color.width, color.height,
                       std::vector<std::uint32_t>(color.pixels.size(), 0xFFFFFFFFu)};
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t left = (i % 4) * cx, top = (i / 4) * cy;
        for (std::size_t y = 0; y < cy; ++y) {
            const std::size_t dst = (top + y) * static_cast<std::size_t>(stripWidth) + left;
            for (std::size_t x = 0; x < cx; ++x) {
                color.pixels[dst + x] = list.images[i].pixels[y * cx + x];
                if (list.masked) mask.pixels[dst + x] = list.masks[i][y * cx + x] ? 0xFFFFFFFFu : 0xFF000000u;
            }
        }
    }

    std::vector<std::uint8_t> out{'I', 'L'};
    putU16(out, kImageListVersion);
    putU16(out, static_cast<std::uint32_t>(count));
    putU16(out, static_cast<std::uint32_t>(capacity));
    putU16(out, static_cast<std::uint32_t>(list.grow > 0 && list.grow <= 0xFFFF ? list.grow : 4));
    putU16(out, static_cast<std::uint32_t>(list.width));
    putU16(out, static_cast<std::uint32_t>(list.height));
    putU32(out, list.bkColor);
    putU16(out, (list.masked ? kIlcMask : 0) | (colorBitsPerPixel == 32 ? kIlcColor32 : kIlcColor24));
    for (std::int16_t o : list.overlays) putU16(out, static_cast<std::uint16_t>(o));
    putStreamBitmap(out, color, colorBitsPerPixel);
    if (list.masked) putStreamBitmap(out, mask, 1);
    return out;
}

std::vector<std::uint8_t> WrapImageListStream(const std::vector<std::uint8_t>& stream, int width, int height) {
    if (stream.size() > 0x7FFFFFF0u) throw kit::Error("The image list is too large for an icon file");
    std::vector<std::uint8_t> body{'T', 'P', 'F', '0'};
    putShortString(body, "TImageList");
    putShortString(body, "IconList");
    putIntegerProperty(body, "Height", height);
    putIntegerProperty(body, "Width", width);
    putShortString(body, "Bitmap");
    body.push_back(vaBinary);
    putU32(body, static_cast<std::uint32_t>(stream.size()));
    body.insert(body.end(), stream.begin(), stream.end());
    body.push_back(0);  // end of the properties
    body.push_back(0);  // no children

    std::vector<std::uint8_t> out{0xFF};
    putU16(out, kResourceTypeRcData);
    const std::string name = "TIMAGELIST";
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    putU16(out, 0x1030);  // moveable, pure, discardable
    putU32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> WriteIconFile(const IconImages& list, int colorBitsPerPixel) {
    return WrapImageListStream(WriteImageListStream(list, colorBitsPerPixel), list.width, list.height);
}

} // namespace toolbar
