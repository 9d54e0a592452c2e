#include "toolbar/Update.h"

#include "core/BigIni.h"
#include "core/ConfigNames.h"
#include "config/Settings.h"
#include "config/SignedUpdate.h"
#include "core/Error.h"
#include "core/FileReplacer.h"
#include "config/UserState.h"
#include "kit/Files.h"
#include "kit/Handles.h"
#include "core/IconFile.h"
#include "toolbar/ShellHelpers.h"

#include <windows.h>

#include <exception>
#include <string>

namespace kg {

namespace {

constexpr char kRemoteConfigName[] = "toolbar.ini";
constexpr char kRemoteIconName[] = "icons.bin";

// Empty once blanks and control characters are trimmed away.
bool isBlank(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

bool isUsableConfiguration(const std::string& path) {
    if (!kit::IsFile(path)) return false;
    config::TBigIniFile ini(path);
    return !ini.ReadString(confignames::kOptions, "Toolbar Name", "").empty();
}

// Read and checked whole, as the toolbar will read it, without a window or image list.
bool isUsableIconFile(const std::string& path) {
    try {
        toolbar::LoadIconFile(path);
        return true;
    } catch (const kit::Error&) {
        return false;
    }
}

// Copies `from` over `to` whole or not at all: a failed copy leaves the old backup as it was.
bool copyWhole(const std::string& from, const std::string& to) {
    kit::unique_file source(CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source) return false;
    try {
        kit::FileReplacer copy(to);
        char chunk[64 * 1024];
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(source.get(), chunk, sizeof chunk, &read, nullptr)) return false;
            if (read == 0) break;
            copy.write(chunk, read);
        }
        copy.commit();
        return true;
    } catch (const kit::InOutError&) {
        return false;
    }
}

// Puts `download` in the place of `inUse`, keeping a copy of the file in use
// as `backup`. The file in use is never absent: it is copied, not moved, and
// replaced in one step. False, with the file in use as it was, on any failure.
bool replaceKeepingBackup(const std::string& download, const std::string& inUse, const std::string& backup) {
    if (kit::IsFile(inUse) && !copyWhole(inUse, backup)) return false;
    return MoveFileExA(download.c_str(), inUse.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The "Update Key" of a configuration file; empty when it has none (or no file is there).
std::string updateKeyOf(const std::string& path) {
    if (!kit::IsFile(path)) return {};
    config::TBigIniFile ini(path);
    const std::string key = ini.ReadString(confignames::kOptions, UpdateKeyName, "");
    return isBlank(key) ? std::string() : key;
}

// Without a key every download passes. With one, the signature is fetched
// beside the download and checked; it is removed again either way, so that
// no later update finds an old one.
bool signatureAccepts(const std::string& key, const std::string& url, const std::string& download) {
    if (key.empty()) return true;
    if (!kit::IsFile(download)) return false;
    const std::string sigFile = download + SignatureSuffix;
    if (kit::IsFile(sigFile)) DeleteFileA(sigFile.c_str());
    DownloadUrlToFile(url + SignatureSuffix, sigFile);
    const bool valid = VerifyUpdateSignature(key, download, sigFile);
    DeleteFileA(sigFile.c_str());
    return valid;
}

} // namespace

bool UpdateConfiguration() {
    TToolbarSettings& settings = ToolbarSettings();
    bool usable = false;
    if (isBlank(settings.UpdatesURL)) return false;
    // Kept in the setting: later builds in this process find the "/" there.
    if (settings.UpdatesURL.back() != '/') settings.UpdatesURL += '/';

    // The update works beside the configuration in use; where that folder
    // cannot be written (a standard user's install folder), in the per-user
    // folder, which then holds the configuration in use.
    const ConfigurationInUse inUse = FindConfigurationInUse();
    std::string folder = inUse.folder;
    if (!CanWriteFolder(folder)) {
        folder = UserStateFolder();
        // A folder that cannot be made fails the download's write below, which reports it.
        CreateUserStateFolder();
    }

    const std::string current = settings.ConfigFileNameIn(folder);
    const std::string download = settings.InternetConfigFileNameIn(folder);
    const std::string backup = settings.DefaultConfigFileNameIn(folder);
    if (kit::IsFile(download)) DeleteFileA(download.c_str());

    std::string key;
    std::exception_ptr failure;
    try {
        // One key for the whole run: the one of the configuration in use before
        // anything is swapped. A signed new configuration may name another key,
        // which the next update then goes by.
        key = updateKeyOf(inUse.configFile);
        const std::string url = settings.UpdatesURL + kRemoteConfigName;
        DownloadUrlToFile(url, download);
        if (signatureAccepts(key, url, download) && isUsableConfiguration(download))
            usable = replaceKeepingBackup(download, current, backup);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!usable) usable = isUsableConfiguration(inUse.configFile);
    if (failure) std::rethrow_exception(failure);

    // A failure here is silent: the icon file in use stays.
    try {
        const std::string newIcons = settings.InternetIconFileNameIn(folder);
        const std::string url = settings.UpdatesURL + kRemoteIconName;
        DownloadUrlToFile(url, newIcons);
        if (kit::IsFile(newIcons) && signatureAccepts(key, url, newIcons) && isUsableIconFile(newIcons))
            replaceKeepingBackup(newIcons, settings.IconFileNameIn(folder), settings.DefaultIconFileNameIn(folder));
    } catch (...) {
    }

    if (!usable)
        ShowErrorBox("Error Loading Configuration File! " + settings.ToolbarFile + ".ini!" + " Please contact " +
                     settings.CompanyName);
    return usable;
}

} // namespace kg
