#pragma once
// The toolbar settings: where the toolbar is installed, its name and file (the
// toolbar key), and the publisher's options (section "Options" of the
// configuration file). Read once per process; shared by every toolbar window.
#include "config/Registry.h"

#include <windows.h>
#include <map>
#include <string>

namespace kg {

// The band object's class identifier, fixed forever: it names the
// registration entries and the toolbar key.
inline constexpr char ClassIdText[] = "{6E3C1A52-9B47-4C1D-8F2A-5D7B3E9C0A41}";
inline constexpr CLSID CLSID_Kestrelgrove = {0x6E3C1A52, 0x9B47, 0x4C1D, {0x8F, 0x2A, 0x5D, 0x7B, 0x3E, 0x9C, 0x0A, 0x41}};

inline constexpr char ExplorerBarsKeyPath[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars";
// The toolbar key, under HKEY_LOCAL_MACHINE: ExplorerBarsKeyPath + "\\" + ClassIdText.
inline constexpr char ToolbarKeyPath[] =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{6E3C1A52-9B47-4C1D-8F2A-5D7B3E9C0A41}";

// The publisher's defaults for a configuration that does not name its own.
inline constexpr char DefaultCompanyName[] = "Kestrelgrove";
inline constexpr char DefaultContactEMail[] = "mailto:support@kestrelgrove.example";
inline constexpr char DefaultSearchURL[] = "http://www.kestrelgrove.example/search?q=[SEARCH]";

// Where a setting's value came from.
enum class SettingSource { Default, Registry, File };
const char* SettingSourceName(SettingSource source); // "default", "registry", "file"

struct TToolbarSettings {
    std::string ClassIdText = kg::ClassIdText;
    std::string ToolbarKey = ToolbarKeyPath;

    // Values of the toolbar key, written by the installation.
    std::string InstallPath;
    std::string ToolbarName;
    std::string ToolbarFile;

    // Section "Options". The builder stores "Toolbar Full Size", "Main Menu"
    // and "Search Dynamic" again each time it builds a toolbar.
    bool ToolbarFullSize = true;
    std::string CompanyName = DefaultCompanyName;
    std::string HomePageURL = DefaultContactEMail;
    std::string ContactEMail = DefaultContactEMail;
    std::string FlashURL;
    std::string SearchURL = DefaultSearchURL;
    std::string UpdatesURL;
    std::string MainMenu;
    bool SearchDynamic = true;
    // Off: the search text goes into the URL as typed, spaces as "+". On: as
    // a form value (UTF-8, percent-encoded, spaces as "+").
    bool SearchEncode = false;

    // Source of each setting by its key ("InstallPath", "Company Name", ...);
    // a key not listed holds its default.
    std::map<std::string, SettingSource> Sources;
    SettingSource SourceOf(const std::string& key) const;

    // Paths in the install folder, by plain concatenation: "\" is always
    // inserted, whatever "InstallPath" ends with.
    std::string ConfigFileName() const;      // InstallPath\<Toolbar File>.ini
    std::string IconFileName() const;        // InstallPath\Icons.bin
    // The same names in another folder (the per-user folder, config/UserState.h).
    std::string ConfigFileNameIn(const std::string& folder) const;
    std::string IconFileNameIn(const std::string& folder) const;
    std::string BannerFileName() const;      // InstallPath\<Toolbar File>.bmp
    std::string LegalNoticeFileName() const; // InstallPath\Copyrights.txt
    // The configuration update's downloads and backups.
    std::string InternetConfigFileName() const; // InstallPath\<Toolbar File> Internet.ini
    std::string DefaultConfigFileName() const;  // InstallPath\<Toolbar File> Default.ini
    std::string InternetIconFileName() const;   // InstallPath\Internet Icons.bin
    std::string DefaultIconFileName() const;    // InstallPath\Icons Default.bin
    std::string InternetConfigFileNameIn(const std::string& folder) const;
    std::string DefaultConfigFileNameIn(const std::string& folder) const;
    std::string InternetIconFileNameIn(const std::string& folder) const;
    std::string DefaultIconFileNameIn(const std::string& folder) const;
};

// The process-wide settings.
TToolbarSettings& ToolbarSettings();

// Fills ToolbarSettings() from the toolbar key under HKEY_LOCAL_MACHINE and
// section "Options" of the configuration file; anything missing takes its
// default. Never raises for a missing key, value or file.
void LoadToolbarSettings();

} // namespace kg
