#pragma once
// The window's built-in pictures, drawn in code so the DLL needs no resources:
// the 13 menu icons of the two context menus and the banner's design picture.
#include "core/Bmp.h"

#include <vector>

namespace kg {

// 16 by 16 icons in the order of the context menus' image indexes: cut, copy,
// paste, delete, select all, save, load, edit, refresh, remove, clear,
// website, support. Background pixels have alpha 0.
std::vector<kit::Bitmap32> MakeMenuIcons();

// The 105 by 22 picture the banner shows until a publisher's picture replaces it.
kit::Bitmap32 MakeDesignBanner();

} // namespace kg
