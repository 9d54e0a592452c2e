#include "config/Settings.h"

#include "core/BigIni.h"
#include "core/Error.h"
#include "config/UserState.h"

namespace kg {

using config::TBigIniFile;

const char* SettingSourceName(SettingSource source) {
    switch (source) {
    case SettingSource::Registry: return "registry";
    case SettingSource::File: return "file";
    case SettingSource::Default: break;
    }
    return "default";
}

SettingSource TToolbarSettings::SourceOf(const std::string& key) const {
    const auto it = Sources.find(key);
    return it == Sources.end() ? SettingSource::Default : it->second;
}

std::string TToolbarSettings::ConfigFileNameIn(const std::string& folder) const {
    return folder + "\\" + ToolbarFile + ".ini";
}
std::string TToolbarSettings::IconFileNameIn(const std::string& folder) const { return folder + "\\" + "Icons.bin"; }
std::string TToolbarSettings::InternetConfigFileNameIn(const std::string& folder) const {
    return folder + "\\" + ToolbarFile + " Internet.ini";
}
std::string TToolbarSettings::DefaultConfigFileNameIn(const std::string& folder) const {
    return folder + "\\" + ToolbarFile + " Default.ini";
}
std::string TToolbarSettings::InternetIconFileNameIn(const std::string& folder) const {
    return folder + "\\" + "Internet Icons.bin";
}
std::string TToolbarSettings::DefaultIconFileNameIn(const std::string& folder) const {
    return folder + "\\" + "Icons Default.bin";
}
std::string TToolbarSettings::ConfigFileName() const { return ConfigFileNameIn(InstallPath); }
std::string TToolbarSettings::IconFileName() const { return IconFileNameIn(InstallPath); }
std::string TToolbarSettings::BannerFileName() const { return InstallPath + "\\" + ToolbarFile + ".bmp"; }
std::string TToolbarSettings::LegalNoticeFileName() const { return InstallPath + "\\Copyrights.txt"; }
std::string TToolbarSettings::InternetConfigFileName() const { return InternetConfigFileNameIn(InstallPath); }
std::string TToolbarSettings::DefaultConfigFileName() const { return DefaultConfigFileNameIn(InstallPath); }
std::string TToolbarSettings::InternetIconFileName() const { return InternetIconFileNameIn(InstallPath); }
std::string TToolbarSettings::DefaultIconFileName() const { return DefaultIconFileNameIn(InstallPath); }

TToolbarSettings& ToolbarSettings() {
    static TToolbarSettings settings;
    return settings;
}

namespace {

constexpr char Options[] = "Options";

// A value of the toolbar key; an empty text is what a missing value gives.
std::string readKeyValue(TToolbarSettings& s, const char* name) {
    std::string value = GetRegistryData(HKEY_LOCAL_MACHINE, s.ToolbarKey, name);
    if (!value.empty()) s.Sources[name] = SettingSource::Registry;
    return value;
}

// ReadString, remembering whether the file had the key: a second lookup with
// another default tells a stored value equal to the default from a missing key.
std::string readOption(TBigIniFile& ini, TToolbarSettings& s, const char* key, const std::string& def) {
    std::string value = ini.ReadString(Options, key, def);
    if (value != def || ini.ReadString(Options, key, def + "?") == value) s.Sources[key] = SettingSource::File;
    return value;
}

// ReadBool; a value that is not a number counts as missing.
bool readOption(TBigIniFile& ini, TToolbarSettings& s, const char* key, bool def) {
    const bool value = ini.ReadBool(Options, key, def);
    if (ini.ReadBool(Options, key, !def) == value) s.Sources[key] = SettingSource::File;
    return value;
}

void readOptions(TToolbarSettings& s, const std::string& configFile) {
    TBigIniFile ini(configFile);
    s.ToolbarFullSize = readOption(ini, s, "Toolbar Full Size", true);
    s.CompanyName = readOption(ini, s, "Company Name", std::string(DefaultCompanyName));
    s.HomePageURL = readOption(ini, s, "Home Page URL", std::string(DefaultContactEMail));
    s.ContactEMail = readOption(ini, s, "Contact E-Mail", std::string(DefaultContactEMail));
    s.FlashURL = readOption(ini, s, "Flash URL", std::string());
    s.SearchURL = readOption(ini, s, "Search URL", std::string(DefaultSearchURL));
    s.UpdatesURL = readOption(ini, s, "Updates URL", std::string());
    s.SearchEncode = readOption(ini, s, "Search Encode", false);
}

} // namespace

void LoadToolbarSettings() {
    TToolbarSettings s;
    s.ClassIdText = ClassIdText;
    s.ToolbarKey = std::string(ExplorerBarsKeyPath) + "\\" + s.ClassIdText;

    s.InstallPath = readKeyValue(s, "InstallPath");
    s.ToolbarName = readKeyValue(s, "Toolbar Name");
    s.ToolbarFile = readKeyValue(s, "Toolbar File");

    // A file that exists but cannot be read leaves every option at its
    // default while the module is being loaded; the builder opens the same
    // file later and reports the failure in the toolbar window.
    TToolbarSettings withOptions = s;
    try {
        readOptions(withOptions, FindConfigurationInUse(s).configFile);
        s = std::move(withOptions);
    } catch (const kit::Error&) {
    }
    ToolbarSettings() = std::move(s);
}

} // namespace kg
