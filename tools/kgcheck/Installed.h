#pragma once
// kgcheck's view of the toolbar as installed on this machine (Windows only):
// the toolbar key under HKEY_LOCAL_MACHINE names the install folder and the
// "Toolbar File"; the configuration and icon file checked are those in use
// (a per-user copy that an update left, else the install folder's), the
// banner and "Copyrights.txt" the install folder's.
#include "tools/kgcheck/lib/Checker.h"

#include <string>
#include <vector>

namespace kgcheck {

struct InstalledCheck {
    std::vector<std::string> notes;  // which files were checked, printed first
    std::vector<Finding> findings;   // each naming the full path of its file
    ToolbarFiles files;              // what was read
};

// With protectedMode, the per-user copy looked for is the one a browser in
// Protected Mode uses (under the low-integrity folder); otherwise the one of
// a browser outside it, as this process would use. Raises kit::Error when no
// toolbar is installed (no "InstallPath" or "Toolbar File", no such folder).
InstalledCheck CheckInstalledToolbar(bool protectedMode);

} // namespace kgcheck
