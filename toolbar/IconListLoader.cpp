#include "toolbar/IconListLoader.h"

#include "kit/Dib.h"
#include "kit/Error.h"
#include "kit/Handles.h"
#include "kit/ImageList.h"

namespace toolbar {

namespace {

// One image as a top-down 32-bit DIB: transparent pixels black with alpha 0, so that
// lists that blend by alpha and lists that draw through the mask show the same.
kit::unique_hbitmap colorBitmap(const IconImages& list, std::size_t index) {
    kit::TDib dib = kit::CreateDib32(list.width, list.height);
    std::uint32_t* out = dib.bits;
    const kit::Bitmap32& image = list.images[index];
    for (int y = 0; y < list.height; ++y)
        for (int x = 0; x < list.width; ++x)
            out[static_cast<std::size_t>(y) * list.width + x] = list.transparentAt(index, x, y) ? 0u : image.at(x, y);
    GdiFlush();
    return std::move(dib.bitmap);
}

// The mask as a monochrome bitmap: a set bit is transparent; rows padded to 16 bits.
kit::unique_hbitmap maskBitmap(const IconImages& list, std::size_t index) {
    return kit::CreateMaskBitmap(list.width, list.height,
                                 [&](int x, int y) { return list.transparentAt(index, x, y); });
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
