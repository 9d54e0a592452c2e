#include "toolbar/IconListLoader.h"

#include "kit/Error.h"
#include "kit/Handles.h"
#include "kit/ImageList.h"

namespace toolbar {

namespace {

// One image as a top-down 32-bit DIB: transparent pixels black with alpha 0, so that
// lists that blend by alpha and lists that draw through the mask show the same.
kit::unique_hbitmap colorBitmap(const IconImages& list, std::size_t index) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = list.width;
    info.bmiHeader.biHeight = -list.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    kit::unique_hbitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) throw kit::OSError(GetLastError(), "Cannot create a bitmap");
    auto* out = static_cast<std::uint32_t*>(bits);
    const kit::Bitmap32& image = list.images[index];
    for (int y = 0; y < list.height; ++y)
        for (int x = 0; x < list.width; ++x)
            out[static_cast<std::size_t>(y) * list.width + x] = list.transparentAt(index, x, y) ? 0u : image.at(x, y);
    GdiFlush();
    return bitmap;
}

// The mask as a monochrome bitmap: a set bit is transparent; rows padded to 16 bits.
kit::unique_hbitmap maskBitmap(const IconImages& list, std::size_t index) {
    const std::size_t stride = (static_cast<std::size_t>(list.width) + 15) / 16 * 2;
    std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(list.height), 0);
    for (int y = 0; y < list.height; ++y)
        for (int x = 0; x < list.width; ++x)
            if (list.transparentAt(index, x, y))
                bits[static_cast<std::size_t>(y) * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    kit::unique_hbitmap mask(CreateBitmap(list.width, list.height, 1, 1, bits.data()));
    if (!mask) throw kit::OSError(GetLastError(), "Cannot create a bitmap");
    return mask;
}

} // namespace

void FillImageList(HIMAGELIST list, const IconImages& images) {
    if (!list) throw kit::Error("No image list to read the icons into");
    if (images.width >= 1 && images.height >= 1) {
        if (!ImageList_SetIconSize(list, images.width, images.height))
            throw kit::OSError(GetLastError(), "Cannot set the image size of the image list");
    } else {
        ImageList_Remove(list, -1);
    }
    for (std::size_t i = 0; i < images.images.size(); ++i) {
        const kit::unique_hbitmap color = colorBitmap(images, i);
        const kit::unique_hbitmap mask = maskBitmap(images, i);
        if (ImageList_Add(list, color.get(), mask.get()) < 0)
            throw kit::OSError(GetLastError(), "Cannot add an image to the image list");
    }
}

void ReadIconStreamIntoImageList(const std::vector<std::uint8_t>& bytes, HIMAGELIST list) {
    FillImageList(list, ReadIconFile(bytes));
}

void ReadIconFileIntoImageList(const std::string& path, HIMAGELIST list) {
    FillImageList(list, LoadIconFile(path));
}

void ReadIconFileIntoImageList(const std::string& path, kit::TImageList& list) {
    const IconImages images = LoadIconFile(path);
    const int cx = images.width >= 1 ? images.width : list.Width();
    const int cy = images.height >= 1 ? images.height : list.Height();
    kit::unique_himagelist fresh(
        ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, static_cast<int>(images.images.size()), 4));
    if (!fresh) throw kit::OSError(GetLastError(), "Cannot create an image list");
    FillImageList(fresh.get(), images);
    list.SetHandle(std::move(fresh));
}

} // namespace toolbar
