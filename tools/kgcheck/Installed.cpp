#include "tools/kgcheck/Installed.h"

#include "config/Settings.h"
#include "config/UserState.h"
#include "core/Error.h"
#include "core/FileRead.h"
#include "kit/Files.h"
#include "kit/Platform.h"

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <optional>
#include <utility>

namespace kgcheck {

namespace {

std::string lowIntegrityFolder() {
    wchar_t* wide = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, 0, nullptr, &wide)) && wide) {
        const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            folder.assign(static_cast<std::size_t>(n), '\0');
            WideCharToMultiByte(CP_ACP, 0, wide, -1, folder.data(), n, nullptr, nullptr);
            folder.resize(static_cast<std::size_t>(n - 1));
        }
    }
    CoTaskMemFree(wide);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.empty()) throw kit::Error("the low-integrity folder (FOLDERID_LocalAppDataLow) is unknown here");
    return folder;
}

std::optional<std::vector<std::uint8_t>> bytesIfFile(const std::string& path) {
    if (!kit::IsFile(path)) return std::nullopt;
    return kit::ReadFileBytes(path);
}

} // namespace

InstalledCheck CheckInstalledToolbar(bool protectedMode) {
    // The engine's own reading of the toolbar key, so that nothing here can
    // drift from what the browser loads.
    kg::LoadToolbarSettings();
    const kg::TToolbarSettings& s = kg::ToolbarSettings();
    const std::string key = "HKEY_LOCAL_MACHINE\\" + s.ToolbarKey;
    if (s.InstallPath.empty()) throw kit::Error(key + ": no \"InstallPath\": the toolbar is not installed");
    if (s.ToolbarFile.empty()) throw kit::Error(key + ": no \"Toolbar File\": the toolbar is not installed");
    if (!kit::IsFolder(s.InstallPath)) throw kit::Error(s.InstallPath + ": the install folder (\"InstallPath\") is missing");

    const std::string userRoot = protectedMode ? lowIntegrityFolder() : kit::platform().userStateRoots().folder;
    const std::string userFolder = userRoot + "\\" + s.ToolbarName;
    const kg::ConfigurationInUse inUse = kg::FindConfigurationInUse(s, userFolder);

    ToolbarFiles toolbar;
    toolbar.toolbarFile = s.ToolbarFile;
    if (const auto bytes = bytesIfFile(inUse.configFile)) toolbar.config = std::string(bytes->begin(), bytes->end());
    toolbar.icons = bytesIfFile(inUse.iconFile);
    toolbar.banner = bytesIfFile(s.BannerFileName());
    toolbar.hasLegalNotice = kit::IsFile(s.LegalNoticeFileName());

    InstalledCheck result;
    const auto whose = [&](const std::string& path) {
        return path.compare(0, userFolder.size() + 1, userFolder + "\\") == 0 ? "the per-user copy"
                                                                              : "the install folder's";
    };
    result.notes.push_back(inUse.configFile + ": note: checked as the configuration in use (" +
                           whose(inUse.configFile) + ")");
    result.notes.push_back(inUse.iconFile + ": note: checked as the icon file in use (" + whose(inUse.iconFile) + ")");

    // The checker names files by their bare names; here each is the one read.
    const std::map<std::string, std::string> paths = {
        {s.ToolbarFile + ".ini", inUse.configFile},
        {"Icons.bin", inUse.iconFile},
        {s.ToolbarFile + ".bmp", s.BannerFileName()},
        {"Copyrights.txt", s.LegalNoticeFileName()},
    };
    result.findings = CheckToolbar(toolbar);
    for (Finding& f : result.findings)
        if (const auto it = paths.find(f.file); it != paths.end()) f.file = it->second;
    result.files = std::move(toolbar);
    return result;
}

} // namespace kgcheck
