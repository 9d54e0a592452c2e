#pragma once
// Reading an icon file ("Icons.bin") into a comctl32 image list, replacing its
// content: the images take the file's size, each added with its mask, and
// the list takes the file's background colour. The
// file is read and checked whole before the list is touched.
#include "core/IconFile.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kit {
class TImageList;
}

namespace toolbar {

// Raises kit::InOutError when the file cannot be read and kit::Error when it is malformed
// (the list then keeps what it held), kit::OSError when the list refuses an image.
void ReadIconFileIntoImageList(const std::string& path, HIMAGELIST list);
void ReadIconFileIntoImageList(const std::string& path, kit::TImageList& list);
// The same for the bytes of an icon file in memory (a download being checked).
void ReadIconStreamIntoImageList(const std::vector<std::uint8_t>& bytes, HIMAGELIST list);

// Replaces the list's content with these images (ImageList_SetIconSize empties it) and gives it
// their background colour.
void FillImageList(HIMAGELIST list, const IconImages& images);

} // namespace toolbar
