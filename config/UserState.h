#pragma once
// The user's own state, which a browser without administrator rights (and in
// Protected Mode, at low integrity) can write: "Date", "Search Type" and
// "Search" in the per-user key, the history in the per-user folder, and the
// configuration and icon file that an update could not put into a read-only
// install folder. The toolbar key under HKEY_LOCAL_MACHINE and the install
// folder are the installer's.
#include "config/Settings.h"

#include <windows.h>
#include <string>

namespace kg {

// The root of the per-user key, whose path is the toolbar key's own path.
HKEY UserStateRegistryRoot();
// <the per-user root folder>\<Toolbar Name>.
std::string UserStateFolder(const TToolbarSettings& settings = ToolbarSettings());
// Creates the per-user folder when it is missing. False when it cannot be
// made; the write that follows then fails and reports the file it wanted.
bool CreateUserStateFolder() noexcept;

// A value of the per-user key; when that key lacks it, the toolbar key's
// value under HKEY_LOCAL_MACHINE (registration's "Date", earlier versions'
// search state). Never raises.
std::string ReadUserValue(const std::string& name);
// Stores a string value in the per-user key; raises like SetRegistryData.
void WriteUserValue(const std::string& name, const std::string& value);

// The configuration in use: the per-user "<Toolbar File>.ini" when it
// exists, otherwise the install folder's. The icon file follows the same rule
// on its own.
struct ConfigurationInUse {
    std::string folder;     // where ConfigFile lies
    std::string configFile;
    std::string iconFile;
};
ConfigurationInUse FindConfigurationInUse(const TToolbarSettings& settings = ToolbarSettings());
// The same rule over a given per-user folder (another process's: kgcheck
// looks at what a browser in Protected Mode uses).
ConfigurationInUse FindConfigurationInUse(const TToolbarSettings& settings, const std::string& userFolder);

// The search history: <per-user folder>\<Toolbar Name>.txt.
std::string UserHistoryFileName();

// A file can be created in `folder` (probed with a file that is removed again).
bool CanWriteFolder(const std::string& folder);

} // namespace kg
