#include "toolbar/IconListLoader.h"

#include "kit/Dib.h"
#include "core/Error.h"
#include "kit/Handles.h"
#include "kit/ImageList.h"

#include <algorithm>

namespace toolbar {

namespace {

// Images go to comctl32 side by side, many to a bitmap: one ImageList_Add per batch instead of one
// per image. Each batch is as large as everything added before it (from kFirstBatch, up to a number
// of pixels), so that a list that grows by a small step is copied a few times, not once per step.
// A list made with room for every image needs no large batches, which only cost memory.
constexpr std::size_t kFirstBatch = 1024;
constexpr std::size_t kBatchPixelsGrowing = std::size_t{1} << 22;
constexpr std::size_t kBatchPixelsRoomy = std::size_t{1} << 20;

// Images [first, first + count) side by side as a top-down 32-bit DIB: transparent pixels black
// with alpha 0, so that lists that blend by alpha and lists that draw through the mask show the same.
kit::unique_hbitmap colorStrip(const IconImages& list, std::size_t first, std::size_t count) {
    const std::size_t cx = static_cast<std::size_t>(list.width), cy = static_cast<std::size_t>(list.height);
    const std::size_t stripWidth = cx * count;
    kit::TDib dib = kit::CreateDib32(static_cast<int>(stripWidth), list.height);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t index = first + n;
        const kit::Bitmap32& image = list.images[index];
        for (std::size_t y = 0; y < cy; ++y) {
            std::uint32_t* out = dib.bits + y * stripWidth + n * cx;
            const std::uint32_t* in = image.pixels.data() + y * cx;
            if (!list.masked) {
                std::copy(in, in + cx, out);
                continue;
            }
            const std::vector<bool>& transparent = list.masks[index];
            for (std::size_t x = 0; x < cx; ++x) out[x] = transparent[y * cx + x] ? 0u : in[x];
        }
    }
    GdiFlush();
    return std::move(dib.bitmap);
}

// Their masks as one monochrome bitmap: a set bit is transparent.
kit::unique_hbitmap maskStrip(const IconImages& list, std::size_t first, std::size_t count) {
    const int cx = list.width;
    return kit::CreateMaskBitmap(cx * static_cast<int>(count), list.height, [&](int x, int y) {
        return list.transparentAt(first + static_cast<std::size_t>(x / cx), x % cx, y);
    });
}

void fillImageList(HIMAGELIST list, const IconImages& images, std::size_t batchPixels) {
    if (!list) throw kit::Error("No image list to read the icons into");
    if (images.width >= 1 && images.height >= 1) {
        if (!ImageList_SetIconSize(list, images.width, images.height))
            throw kit::OSError(GetLastError(), "Cannot set the image size of the image list");
    } else {
        ImageList_Remove(list, -1);
    }
    ImageList_SetBkColor(list, images.bkColor);  // kNoColor is CLR_NONE
    const std::size_t total = images.images.size();
    if (total == 0) return;
    const std::size_t largest =
        std::max<std::size_t>(1, batchPixels / (static_cast<std::size_t>(images.width) * images.height));
    for (std::size_t first = 0, count = 0; first < total; first += count) {
        count = std::min({std::max(kFirstBatch, first), largest, total - first});
        const kit::unique_hbitmap color = colorStrip(images, first, count);
        const kit::unique_hbitmap mask = maskStrip(images, first, count);
        if (ImageList_Add(list, color.get(), mask.get()) < 0)
            throw kit::OSError(GetLastError(), "Cannot add an image to the image list");
    }
}

} // namespace

void FillImageList(HIMAGELIST list, const IconImages& images) { fillImageList(list, images, kBatchPixelsGrowing); }

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
    fillImageList(fresh.get(), images, kBatchPixelsRoomy);
    list.SetHandle(std::move(fresh));
}

} // namespace toolbar
