#include "kit/ImageList.h"

#include "kit/Dib.h"
#include "core/Error.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kit {

namespace {

COLORREF pixelToColorRef(std::uint32_t argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

} // namespace

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() = default;

void TImageList::SetSize(int width, int height) {
    if (width < 1 || height < 1 || width > 256 || height > 256)
        throw Error("Invalid image size " + std::to_string(width) + " x " + std::to_string(height));
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    const bool had = static_cast<bool>(list_);
    list_.reset();
    if (had) changed();
}

HIMAGELIST TImageList::Handle() {
    if (!list_) {
        list_.reset(ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 0, 4));
        if (!list_) throw OSError(GetLastError(), "Cannot create an image list");
        ImageList_SetBkColor(list_.get(), bkColor_);
    }
    return list_.get();
}

void TImageList::SetHandle(unique_himagelist list) {
    list_ = std::move(list);
    if (list_) {
        int cx = 0, cy = 0;
        if (ImageList_GetIconSize(list_.get(), &cx, &cy) && cx > 0 && cy > 0) {
            width_ = cx;
            height_ = cy;
        }
        bkColor_ = ImageList_GetBkColor(list_.get());
    }
    changed();
}

void TImageList::SetBkColor(COLORREF color) {
    bkColor_ = color;
    if (list_) ImageList_SetBkColor(list_.get(), color);
}

int TImageList::Count() const noexcept {
    return list_ ? ImageList_GetImageCount(list_.get()) : 0;
}

void TImageList::Clear() {
    if (!list_) return;
    ImageList_Remove(list_.get(), -1);
    changed();
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    ImageList_Remove(list_.get(), index);
    changed();
}

int TImageList::Add(const Bitmap32& images) { return addPieces(images, false, 0); }

int TImageList::AddMasked(const Bitmap32& images, TColor maskColor) {
    return addPieces(images, true, ColorToRGB(maskColor));
}

int TImageList::addPieces(const Bitmap32& images, bool useMaskColor, COLORREF maskColor) {
    if (images.height != height_)
        throw Error("Image height " + std::to_string(images.height) + " does not match the list's " +
                    std::to_string(height_));
    const int pieces = images.width / width_;
    if (pieces <= 0 || images.pixels.size() < static_cast<std::size_t>(images.width) * images.height)
        throw Error("Image too small for the list");
    const int w = pieces * width_, h = height_;
    TDib colour = CreateDib32(w, h);
    std::vector<bool> transparent(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = images.at(x, y);
            const bool clear = useMaskColor ? pixelToColorRef(p) == maskColor : (p >> 24) == 0;
            transparent[static_cast<std::size_t>(y) * w + x] = clear;
            // Transparent pixels black, as the mask drawing wants them; opaque ones keep their alpha.
            std::uint32_t out = clear ? 0u : p;
            if (useMaskColor && !clear) out |= 0xFF000000u;
            colour.bits[static_cast<std::size_t>(y) * w + x] = out;
        }
    }
    GdiFlush();
    const unique_hbitmap mask =
        CreateMaskBitmap(w, h, [&](int x, int y) { return transparent[static_cast<std::size_t>(y) * w + x]; });
    const int first = ImageList_Add(Handle(), colour.bitmap.get(), mask.get());
    if (first < 0) throw OSError(GetLastError(), "Cannot add an image to the image list");
    changed();
    return first;
}

void TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) {
    if (!list_ || index < 0 || index >= Count()) return;
    if (enabled) {
        ImageList_Draw(list_.get(), index, dc, x, y, ILD_TRANSPARENT);
        return;
    }
    IMAGELISTDRAWPARAMS params{};
    params.cbSize = sizeof params;
    params.himl = list_.get();
    params.i = index;
    params.hdcDst = dc;
    params.x = x;
    params.y = y;
    params.rgbBk = CLR_NONE;
    params.rgbFg = CLR_DEFAULT;
    params.fStyle = ILD_TRANSPARENT;
    params.fState = ILS_SATURATE;
    ImageList_DrawIndirect(&params);
}

Bitmap32 TImageList::GetImage(int index) {
    if (index < 0 || index >= Count()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    // Drawn once on black and once on white: a pixel that differs lets the background through.
    TDib onBlack = CreateDib32(width_, height_), onWhite = CreateDib32(width_, height_);
    unique_hdc dc(CreateCompatibleDC(nullptr));
    const std::size_t n = static_cast<std::size_t>(width_) * height_;
    std::fill(onBlack.bits, onBlack.bits + n, 0x00000000u);
    std::fill(onWhite.bits, onWhite.bits + n, 0x00FFFFFFu);
    {
        select_object use(dc.get(), onBlack.bitmap.get());
        ImageList_Draw(list_.get(), index, dc.get(), 0, 0, ILD_TRANSPARENT);
    }
    {
        select_object use(dc.get(), onWhite.bitmap.get());
        ImageList_Draw(list_.get(), index, dc.get(), 0, 0, ILD_TRANSPARENT);
    }
    GdiFlush();
    Bitmap32 image;
    image.width = width_;
    image.height = height_;
    image.pixels.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t b = onBlack.bits[i] & 0xFFFFFFu, w = onWhite.bits[i] & 0xFFFFFFu;
        image.pixels[i] = b == w ? (0xFF000000u | b) : 0u;
    }
    return image;
}

void TImageList::AddChangeListener(const void* key, std::function<void()> listener) {
    RemoveChangeListener(key);
    listeners_.emplace_back(key, std::move(listener));
}

void TImageList::RemoveChangeListener(const void* key) noexcept {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [key](const auto& entry) { return entry.first == key; }),
                     listeners_.end());
}

void TImageList::changed() {
    // A copy: a listener may remove itself.
    auto listeners = listeners_;
    for (auto& entry : listeners)
        if (entry.second) entry.second();
}

} // namespace kit
