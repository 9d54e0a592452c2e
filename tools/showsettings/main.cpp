// showsettings: loads the toolbar settings exactly as the engine does when it
// is loaded into a browser, and prints every setting with its source
// (registry, file or default) and the paths derived from the install folder.
#include "config/Settings.h"
#include "config/UserState.h"
#include "kit/Files.h"
#include "kit/Platform.h"

#include <windows.h>
#include <cstdio>
#include <string>

namespace {

void printSetting(const kg::TToolbarSettings& s, const char* key, const std::string& value) {
    std::printf("  %-18s = \"%s\"  (%s)\n", key, value.c_str(), kg::SettingSourceName(s.SourceOf(key)));
}

void printSetting(const kg::TToolbarSettings& s, const char* key, bool value) {
    std::printf("  %-18s = %s  (%s)\n", key, value ? "true" : "false", kg::SettingSourceName(s.SourceOf(key)));
}

void printPath(const char* what, const std::string& path) {
    std::printf("  %-22s %s  [%s]\n", what, path.c_str(), kit::IsFile(path) ? "present" : "absent");
}

} // namespace

int main() {
    kg::LoadToolbarSettings();
    const kg::TToolbarSettings& s = kg::ToolbarSettings();

    std::printf("Class identifier: %s\n", s.ClassIdText.c_str());
    std::printf("Toolbar key:      HKEY_LOCAL_MACHINE\\%s\n\n", s.ToolbarKey.c_str());

    std::printf("Values of the toolbar key:\n");
    printSetting(s, "InstallPath", s.InstallPath);
    printSetting(s, "Toolbar Name", s.ToolbarName);
    printSetting(s, "Toolbar File", s.ToolbarFile);

    std::printf("\nSection \"Options\" of the configuration file:\n");
    printSetting(s, "Toolbar Full Size", s.ToolbarFullSize);
    printSetting(s, "Company Name", s.CompanyName);
    printSetting(s, "Home Page URL", s.HomePageURL);
    printSetting(s, "Contact E-Mail", s.ContactEMail);
    printSetting(s, "Flash URL", s.FlashURL);
    printSetting(s, "Search URL", s.SearchURL);
    printSetting(s, "Updates URL", s.UpdatesURL);
    printSetting(s, "Search Encode", s.SearchEncode);
    std::printf("  stored by the toolbar builder each time it builds the toolbar (defaults until then):\n");
    printSetting(s, "Main Menu", s.MainMenu);
    printSetting(s, "Search Dynamic", s.SearchDynamic);

    std::printf("\nPaths in the install folder:\n");
    printPath("configuration file", s.ConfigFileName());
    printPath("icon file", s.IconFileName());
    printPath("banner picture", s.BannerFileName());
    printPath("legal notice", s.LegalNoticeFileName());
    printPath("update: configuration", s.InternetConfigFileName());
    printPath("backup: configuration", s.DefaultConfigFileName());
    printPath("update: icon file", s.InternetIconFileName());
    printPath("backup: icon file", s.DefaultIconFileName());

    const kit::UserStateRoots roots = kit::platform().userStateRoots();
    const kg::ConfigurationInUse inUse = kg::FindConfigurationInUse();
    std::printf("\nPer-user state%s:\n", roots.protectedMode ? " (Protected Mode)" : "");
    std::printf("  %-22s %s\\%s\n", "key", roots.registry == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "(low-integrity root)",
                s.ToolbarKey.c_str());
    std::printf("  %-22s %s  [%s]\n", "folder", kg::UserStateFolder().c_str(),
                kit::IsFolder(kg::UserStateFolder()) ? "present" : "absent");
    printPath("history file", kg::UserHistoryFileName());
    printPath("configuration in use", inUse.configFile);
    printPath("icon file in use", inUse.iconFile);
    return 0;
}
