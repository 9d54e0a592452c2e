#pragma once

#include <string>

namespace kit {

// True when `path` names an existing file; a folder is no file.
bool IsFile(const std::string& path);
// True when `path` names an existing folder.
bool IsFolder(const std::string& path);

} // namespace kit
