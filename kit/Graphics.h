#pragma once
// Colours and fonts of the kit's controls.
#include "kit/Handles.h"

#include <windows.h>
#include <cstdint>
#include <string>

namespace kit {

// 0x00BBGGRR for a fixed colour; 0x80000000 | COLOR_* for a system colour,
// which follows the user's scheme.
using TColor = std::uint32_t;

inline constexpr TColor clSystemColor = 0x80000000u;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clBlack = 0x000000u;
inline constexpr TColor clWhite = 0xFFFFFFu;
inline constexpr TColor clNavy = 0x800000u;
inline constexpr TColor clRed = 0x0000FFu;

// The RGB value a colour stands for now.
inline COLORREF ColorToRGB(TColor color) {
    if (color & clSystemColor) return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0xFFFFFFu);
}

// A font description; Height follows LOGFONT (negative: character height in pixels).
struct TFont {
    std::string Name = "MS Sans Serif";
    int Height = -11;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    TColor Color = clWindowText;

    // A new GDI font of this description (the caller owns it).
    unique_hgdiobj Create() const {
        LOGFONTA lf{};
        lf.lfHeight = Height;
        lf.lfWeight = Bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = Italic ? TRUE : FALSE;
        lf.lfUnderline = Underline ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        Name.copy(lf.lfFaceName, LF_FACESIZE - 1);
        return unique_hgdiobj(CreateFontIndirectA(&lf));
    }
};

} // namespace kit
