#pragma once
// The icon file ("Icons.bin"): an image list serialised as a component
// resource (resource header, "TPF0" object stream with the list's properties),
// whose "Bitmap" property holds the common controls' own image-list stream
// ("IL" header, colour BMP, optional mono mask BMP). Reader and writer; the
// reader never reads past its input and raises kit::Error for any malformed
// file ("Invalid stream format" when the object stream is broken).
#include "core/Bmp.h"
#include "core/FileRead.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace toolbar {

inline constexpr std::uint32_t kNoColor = 0xFFFFFFFF;  // CLR_NONE: no background colour
inline constexpr std::uint16_t kImageListVersion = 0x0101;  // four images to a bitmap row
inline constexpr std::uint16_t kImageListVersion6 = 0x0600; // from here on one image to a row
inline constexpr std::uint16_t kIlcMask = 0x0001, kIlcColor24 = 0x0018, kIlcColor32 = 0x0020;

// What a usable icon file may hold: toolbar icons are 16 x 16, image lists hold at most 65,535 images.
// A larger image side, or more pixels in all (65,536 images of 16 x 16, or 256 of 256 x 256), makes the
// file unusable; the reader refuses it before allocating anything for the images.
inline constexpr int kMaxIconSide = 256;
inline constexpr std::int64_t kMaxIconListPixels = std::int64_t{65536} * 16 * 16;

// The images of an image list.
struct IconImages {
    int width = 16;   // of one image
    int height = 16;
    std::vector<kit::Bitmap32> images;     // width x height each, colours as stored
    bool masked = false;
    std::vector<std::vector<bool>> masks;  // when masked: one per image, row-major, true = transparent
    std::uint32_t bkColor = kNoColor;

    // What the image-list stream said besides; the writer takes capacity and grow as it needs them.
    std::uint16_t version = kImageListVersion;
    int capacity = 0;
    int grow = 4;
    std::uint16_t flags = 0;  // ILC_* creation flags (bit 0: a mask follows)
    std::array<std::int16_t, 4> overlays{-1, -1, -1, -1};
    int colorBitsPerPixel = 0;  // of the stored bitmaps (0 when none was read)
    int maskBitsPerPixel = 0;

    bool transparentAt(std::size_t image, int x, int y) const {
        return masked && masks[image][static_cast<std::size_t>(y) * width + x];
    }
};

// The outer layers of an icon file.
struct IconFileInfo {
    std::string resourceName;  // as the resource header names it
    std::string className;     // of the streamed object, e.g. "TImageList"
    std::string objectName;    // e.g. "IconList"
    int widthProperty = 16;    // the "Width" and "Height" properties (16 when absent)
    int heightProperty = 16;
    std::optional<bool> maskedProperty;
    std::vector<std::string> properties;       // names in stream order
    std::optional<std::vector<std::uint8_t>> bitmap;  // the "Bitmap" payload: an image-list stream
};

// The outer layers only; the "Bitmap" payload is returned raw, unchecked.
IconFileInfo ParseIconFile(const std::uint8_t* data, std::size_t size);

// The "Bitmap" payload of an icon file, for a reader of image-list streams (comctl32's ImageList_Read).
// Raises kit::Error when the file is malformed or has no "Bitmap" property.
std::vector<std::uint8_t> ExtractImageListStream(const std::uint8_t* data, std::size_t size);

// Decodes an image-list stream (version 0x0101, or 0x0600 and up); bytes after it are ignored.
// Raises kit::Error, "Unusable icon file: ...", for sizes beyond kMaxIconSide and kMaxIconListPixels.
IconImages ReadImageListStream(const std::uint8_t* data, std::size_t size);

// The whole file: the images of its "Bitmap", or none (with the "Width" and "Height"
// properties as size) when it has no "Bitmap".
IconImages ReadIconFile(const std::uint8_t* data, std::size_t size);
inline IconImages ReadIconFile(const std::vector<std::uint8_t>& bytes) { return ReadIconFile(bytes.data(), bytes.size()); }

// The bytes of a file; raises kit::InOutError when it cannot be read.
using kit::ReadFileBytes;
// ReadIconFile of a file: kit::InOutError when unreadable, kit::Error when malformed.
IconImages LoadIconFile(const std::string& path);

// Masks from a transparent colour (its RGB; alpha ignored) and from alpha (below 0x80 is transparent);
// transparent pixels become black, as image lists store them. Sizes are taken from the first image.
IconImages MakeIconImages(std::vector<kit::Bitmap32> images, std::optional<std::uint32_t> transparentColor);

// A version 0x0101 image-list stream with a 24- or 32-bit colour bitmap and, when masked, a 1-bit mask.
std::vector<std::uint8_t> WriteImageListStream(const IconImages& list, int colorBitsPerPixel = 24);
// An icon file around an image-list stream: resource "TIMAGELIST", object "IconList" of class
// "TImageList" with the properties Height, Width and Bitmap.
std::vector<std::uint8_t> WrapImageListStream(const std::vector<std::uint8_t>& stream, int width, int height);
std::vector<std::uint8_t> WriteIconFile(const IconImages& list, int colorBitsPerPixel = 24);

} // namespace toolbar
