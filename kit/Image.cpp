#include "kit/Image.h"

#include "kit/Dib.h"
#include "core/ErrorText.h"
#include "core/FileRead.h"

#include <windowsx.h>
#include <filesystem>
#include <fstream>
#include <vector>

namespace kit {

TImage::TImage(TComponent* owner) : TControl(owner) {
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { DestroyHandle(); }

void TImage::CreateParams(TCreateParams& params) {
    TControl::CreateParams(params);
    params.className = "Kestrelgrove.Image";
    params.classStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
}

void TImage::LoadFromFile(const std::string& path) {
    // Read here rather than with LoadBmpFile: a two-colour file has its own transparent colour.
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
    if (!in.is_open()) throw InOutError("Cannot open file \"" + path + "\"");
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    if (length < 0 || !in) throw InOutError("Cannot read file \"" + path + "\"");
    const auto bytesInFile = static_cast<std::uint64_t>(length);
    if (bytesInFile > kMaxPictureFileBytes)
        throw Error("Picture file \"" + path + "\": " + std::to_string(bytesInFile) + " bytes is too large (at most " +
                    std::to_string(kMaxPictureFileBytes) + ")");
    BmpDecoded decoded = NamingFile("Picture file", path, [&] {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(bytesInFile));
        if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), length))
            throw InOutError("Cannot read file \"" + path + "\"");
        return DecodeBmpFitting(bytes.data(), bytes.size(), kMaxPictureSide, kMaxPictureSide);
    });
    picture_ = std::move(decoded.image);
    monochrome_ = decoded.bitsPerPixel == 1;
    pictureChanged();
}

void TImage::SetPicture(const Bitmap32& picture) {
    if (picture.width < 0 || picture.height < 0 ||
        picture.pixels.size() < static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
        throw Error("Invalid picture");
    picture_ = picture;
    monochrome_ = false;
    pictureChanged();
}

void TImage::ClearPicture() {
    picture_ = Bitmap32{};
    monochrome_ = false;
    pictureChanged();
}

void TImage::pictureChanged() {
    cache_.reset();
    if (autoSize_ && HasPicture()) SetBounds(Left(), Top(), picture_.width, picture_.height);
    Invalidate();
}

void TImage::SetCenter(bool center) {
    center_ = center;
    Invalidate();
}

void TImage::SetStretch(bool stretch) {
    stretch_ = stretch;
    Invalidate();
}

void TImage::SetTransparent(bool transparent) {
    transparent_ = transparent;
    Invalidate();
}

void TImage::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_ && HasPicture()) SetBounds(Left(), Top(), picture_.width, picture_.height);
}

TColor TImage::TransparentColor() const noexcept {
    if (!HasPicture() || monochrome_) return clWhite;
    const std::uint32_t p = picture_.at(0, picture_.height - 1);
    // 0xAARRGGBB to 0x00BBGGRR.
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

RECT TImage::destination(int width, int height) const {
    if (stretch_) return {0, 0, width, height};
    RECT r{0, 0, picture_.width, picture_.height};
    if (center_) OffsetRect(&r, (width - picture_.width) / 2, (height - picture_.height) / 2);
    return r;
}

void TImage::PaintTo(HDC dc, int width, int height) {
    if (!HasPicture()) return;
    if (!cache_) {
        TDib dib;
        try {
            dib = CreateDib32(picture_.width, picture_.height);
        } catch (const OSError&) {
            return;  // nothing to paint with; the next paint tries again
        }
        std::uint32_t* out = dib.bits;
        // The colour only: transparency is by colour key, never by alpha.
        for (std::size_t i = 0; i < picture_.pixels.size(); ++i) out[i] = picture_.pixels[i] & 0xFFFFFFu;
        GdiFlush();
        cache_ = std::move(dib.bitmap);
    }
    const RECT to = destination(width, height);
    unique_hdc source(CreateCompatibleDC(dc));
    select_object use(source.get(), cache_.get());
    const int w = to.right - to.left, h = to.bottom - to.top;
    if (transparent_) {
        GdiTransparentBlt(dc, to.left, to.top, w, h, source.get(), 0, 0, picture_.width, picture_.height,
                          ColorToRGB(TransparentColor()));
    } else {
        const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, to.left, to.top, w, h, source.get(), 0, 0, picture_.width, picture_.height, SRCCOPY);
        SetStretchBltMode(dc, oldMode);
    }
}

LRESULT TImage::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        // The parent's background behind us, so what the picture leaves free looks like the parent.
        PaintParentBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        PAINTSTRUCT ps{};
        HDC dc = msg == WM_PAINT ? BeginPaint(Handle(), &ps) : reinterpret_cast<HDC>(wParam);
        try {
            PaintTo(dc, ClientWidth(), ClientHeight());
        } catch (...) {
            if (msg == WM_PAINT) EndPaint(Handle(), &ps);
            throw;
        }
        if (msg == WM_PAINT) EndPaint(Handle(), &ps);
        return 0;
    }
    default:
        break;
    }
    if (click_.Handle(*this, msg, lParam, OnClick)) return 0;
    return TControl::WndProc(msg, wParam, lParam);
}

} // namespace kit
