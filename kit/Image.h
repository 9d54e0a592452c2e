#pragma once
// A picture control: shows a bitmap at its natural size, centred or
// stretched, optionally with one colour drawn transparent (the colour of the
// picture's lower-left pixel, or white for a two-colour bitmap), so the
// parent's background shows through.
#include "core/Bmp.h"
#include "kit/ClickTracker.h"
#include "kit/Control.h"
#include "kit/Graphics.h"

#include <string>

namespace kit {

// A picture file larger than this is refused; a larger picture than kMaxPictureSide a side is kept
// reduced to it at load: no control shows more, and memory stays bounded whatever a file declares.
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{64} << 20;
inline constexpr int kMaxPictureSide = 2048;

class TImage : public TControl {
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    // Loads a Windows BMP file, reduced to at most kMaxPictureSide a side; raises
    // kit::InOutError when it cannot be read and kit::Error, naming the file, when
    // it is malformed, larger than kMaxPictureFileBytes or more than memory holds
    // (the old picture then stays).
    void LoadFromFile(const std::string& path);
    // The picture, for example the design-time one.
    void SetPicture(const Bitmap32& picture);
    void ClearPicture();
    const Bitmap32& Picture() const noexcept { return picture_; }
    bool HasPicture() const noexcept { return picture_.width > 0 && picture_.height > 0; }

    bool Center() const noexcept { return center_; }
    void SetCenter(bool center);
    bool Stretch() const noexcept { return stretch_; }
    void SetStretch(bool stretch);
    bool Transparent() const noexcept { return transparent_; }
    void SetTransparent(bool transparent);
    // The control takes the picture's size whenever the picture changes.
    bool AutoSize() const noexcept { return autoSize_; }
    void SetAutoSize(bool autoSize);

    // The colour drawn transparent: the lower-left pixel's, white for a
    // two-colour bitmap file; clWhite without a picture.
    TColor TransparentColor() const noexcept;

    TNotifyEvent OnClick;

    // Draws the picture as it appears in a client area of this size (the
    // background is left as it is where the picture is transparent or absent).
    void PaintTo(HDC dc, int width, int height);

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void pictureChanged();
    RECT destination(int width, int height) const;

    Bitmap32 picture_;
    bool monochrome_ = false;  // loaded from a two-colour file
    unique_hbitmap cache_;     // the picture as a DIB section, made when first drawn
    bool center_ = false;
    bool stretch_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
    TClickTracker click_;
};

} // namespace kit
