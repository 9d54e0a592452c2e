#include "config/UserState.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "core/Error.h"
#include "kit/Files.h"
#include "kit/Handles.h"
#include "kit/Platform.h"

#include <shlobj.h>

namespace kg {

HKEY UserStateRegistryRoot() { return kit::platform().userStateRoots().registry; }

std::string UserStateFolder(const TToolbarSettings& settings) {
    return kit::platform().userStateRoots().folder + "\\" + settings.ToolbarName;
}

bool CreateUserStateFolder() noexcept {
    try {
        const std::string folder = UserStateFolder();
        if (kit::IsFolder(folder)) return true;
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
        return kit::IsFolder(folder);
    } catch (...) {
        return false;
    }
}

std::string ReadUserValue(const std::string& name) {
    const std::string& key = ToolbarSettings().ToolbarKey;
    if (RegistryValueExists(UserStateRegistryRoot(), key, name))
        return GetRegistryData(UserStateRegistryRoot(), key, name);
    return GetRegistryData(HKEY_LOCAL_MACHINE, key, name);
}

void WriteUserValue(const std::string& name, const std::string& value) {
    SetRegistryData(UserStateRegistryRoot(), ToolbarSettings().ToolbarKey, name, value, RegistryType::String);
}

ConfigurationInUse FindConfigurationInUse(const TToolbarSettings& settings) {
    return FindConfigurationInUse(settings, UserStateFolder(settings));
}

ConfigurationInUse FindConfigurationInUse(const TToolbarSettings& settings, const std::string& user) {
    ConfigurationInUse inUse;
    const std::string userConfig = settings.ConfigFileNameIn(user);
    if (kit::IsFile(userConfig)) {
        inUse.folder = user;
        inUse.configFile = userConfig;
    } else {
        inUse.folder = settings.InstallPath;
        inUse.configFile = settings.ConfigFileName();
    }
    const std::string userIcons = settings.IconFileNameIn(user);
    inUse.iconFile = kit::IsFile(userIcons) ? userIcons : settings.IconFileName();
    return inUse;
}

std::string UserHistoryFileName() { return UserStateFolder() + "\\" + ToolbarSettings().ToolbarName + ".txt"; }

bool CanWriteFolder(const std::string& folder) {
    if (!kit::IsFolder(folder)) return false;
    // A file of our own, gone when its handle closes (GetTempFileName may
    // answer success for a file it could not create).
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::string probe = folder + "\\~kg" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount() + attempt) + ".tmp";
        kit::unique_file file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file) return true;
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

} // namespace kg
