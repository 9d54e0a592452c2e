#pragma once
// Image lists: a component owning a comctl32 image list (32-bit colour with a
// mask) of equally sized images, shared by toolbars and menus.
#include "core/Bmp.h"
#include "core/Component.h"
#include "kit/Graphics.h"
#include "kit/Handles.h"

#include <functional>
#include <utility>
#include <vector>

namespace kit {

class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner);
    ~TImageList() override;

    // Size of every image (16 by 16 unless set); changing it empties the list.
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    // Raises kit::Error for a size below 1 or above 256.
    void SetSize(int width, int height);

    // The list, created empty when first asked for; raises kit::OSError when it cannot be.
    HIMAGELIST Handle();
    bool HandleAllocated() const noexcept { return static_cast<bool>(list_); }
    // Takes over another list (for example one read from a stream); Width and
    // Height follow its image size. A null list empties this one.
    void SetHandle(unique_himagelist list);

    // The background colour drawn behind the images' transparent pixels when a list is drawn
    // normally; CLR_NONE (the default) for none. A list taken over brings its own.
    COLORREF BkColor() const noexcept { return bkColor_; }
    void SetBkColor(COLORREF color);

    int Count() const noexcept;
    void Clear();
    void Delete(int index);

    // Adds the images of a bitmap as wide as one or more images, side by side
    // (a narrower last piece is dropped; a height other than Height() raises
    // kit::Error). Pixels with alpha 0 are transparent. Returns the index of
    // the first image added.
    int Add(const Bitmap32& images);
    // Likewise, with every pixel of maskColor (alpha ignored) transparent.
    int AddMasked(const Bitmap32& images, TColor maskColor);

    // Draws image `index` with its transparency; nothing for an index outside the list.
    void Draw(HDC dc, int x, int y, int index, bool enabled = true);
    // The image's pixels; transparent ones have alpha 0. Raises kit::Error for a bad index.
    Bitmap32 GetImage(int index);

    // Told after every change of the images (added, deleted, cleared, replaced).
    // The key identifies the listener for RemoveChangeListener.
    void AddChangeListener(const void* key, std::function<void()> listener);
    void RemoveChangeListener(const void* key) noexcept;

private:
    int addPieces(const Bitmap32& images, bool useMaskColor, COLORREF maskColor);
    void changed();

    int width_ = 16;
    int height_ = 16;
    COLORREF bkColor_ = CLR_NONE;
    unique_himagelist list_;
    std::vector<std::pair<const void*, std::function<void()>>> listeners_;
};

} // namespace kit
