// The registry helpers and the toolbar settings, against the real registry of
// the test prefix. The settings tests share the toolbar key: each one starts
// and ends with the key removed.
#include "config/Registry.h"
#include "config/Settings.h"
#include "core/Error.h"
#include "kit/Handles.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace kg;

namespace {

constexpr char ScratchKey[] = "Software\\Kestrelgrove Tests\\Registry";

void putRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data,
            DWORD size) {
    kit::unique_hkey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
}

void putDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    putRaw(root, path, name, REG_DWORD, &value, sizeof value);
}

struct RawValue {
    bool exists = false;
    DWORD type = 0;
    std::string bytes;
};

RawValue getRaw(HKEY root, const std::string& path, const std::string& name) {
    RawValue v;
    kit::unique_hkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) return v;
    v.bytes.assign(size, '\0');
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()),
                         &size) != ERROR_SUCCESS)
        return v;
    v.bytes.resize(size);
    v.exists = true;
    return v;
}

class RegistryHelpers : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey); }
    std::string get(const std::string& name) { return GetRegistryData(HKEY_CURRENT_USER, ScratchKey, name); }
};

TEST(SystemErrorMessageText, IsThePlatformsTextWithoutLineBreakOrFullStop) {
    for (DWORD code : {ERROR_CANTREAD, ERROR_CANTWRITE, ERROR_ACCESS_DENIED}) {
        const std::string text = SystemErrorMessage(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), '.') << text;
        EXPECT_GT(static_cast<unsigned char>(text.back()), ' ') << text;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    }
    EXPECT_NE(SystemErrorMessage(ERROR_CANTREAD).find("registry"), std::string::npos);
    EXPECT_NE(SystemErrorMessage(ERROR_CANTREAD), SystemErrorMessage(ERROR_CANTWRITE));
    EXPECT_EQ(SystemErrorMessage(0xDEADBEEF), "System error 3735928559");
}

// Values stored raw, as other programs may have left them, and the text each reads as.
struct StoredValue {
    const char* name;
    DWORD type;
    std::string bytes;
    std::string text;
};

void expectReadsAsText(const std::vector<StoredValue>& values) {
    for (const StoredValue& v : values)
        putRaw(HKEY_CURRENT_USER, ScratchKey, v.name, v.type, v.bytes.data(), static_cast<DWORD>(v.bytes.size()));
    for (const StoredValue& v : values)
        EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, ScratchKey, v.name), v.text) << '"' << v.name << '"';
}

std::string dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

TEST_F(RegistryHelpers, ReadsTheFourKnownTypesAsText) {
    const std::string text("hello, world\0", 13), bytes("\x00" "A\xFF\x0D\x00", 5);
    expectReadsAsText({
        {"Sz", REG_SZ, text, "hello, world"},
        {"Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\Kestrelgrove\0", 26), "%SystemRoot%\\Kestrelgrove"},
        {"Answer", REG_DWORD, dword(42), "42"},
        {"MinusTwo", REG_DWORD, dword(0xFFFFFFFE), "-2"},
        {"Lowest", REG_DWORD, dword(0x80000000), "-2147483648"},
        {"Highest", REG_DWORD, dword(0x7FFFFFFF), "2147483647"},
        {"Bin", REG_BINARY, bytes, bytes},
        {"EmptyBin", REG_BINARY, "", ""},
    });
    EXPECT_EQ(get("sz"), "hello, world"); // value names ignore letter case
}

TEST_F(RegistryHelpers, StringsEndAtTheirFirstNulAndNeverReadPastTheData) {
    const std::string big(70000, 'k');
    expectReadsAsText({
        {"NoNul", REG_SZ, "abc", "abc"},
        {"Embedded", REG_SZ, std::string("ab\0cd\0", 6), "ab"},
        {"TrailingNuls", REG_EXPAND_SZ, std::string("xyz\0\0\0", 6), "xyz"},
        {"Empty", REG_SZ, "", ""},
        {"", REG_SZ, std::string("default value\0", 14), "default value"},
        {"Big", REG_SZ, big + '\0', big},
    });
}

TEST_F(RegistryHelpers, OtherTypesMissingValuesAndMissingKeysGiveEmptyText) {
    expectReadsAsText({
        {"Multi", REG_MULTI_SZ, std::string("one\0two\0", 9), ""},
        {"Qword", REG_QWORD, std::string("\x07\0\0\0\0\0\0\0", 8), ""},
        {"ShortDword", REG_DWORD, "\x01\x02", ""},
    });
    EXPECT_EQ(get("Missing"), "");
    EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, std::string(ScratchKey) + "\\No Such Key", "Sz"), "");
    EXPECT_EQ(GetRegistryData(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234)), "x", "y"), "");

    // The failures GetRegistryData absorbs carry the platform's text for code 1012.
    for (const char* name : {"Multi", "Missing"}) {
        try {
            ReadRegistryData(HKEY_CURRENT_USER, ScratchKey, name);
            ADD_FAILURE() << name << " read without failure";
        } catch (const kit::OSError& e) {
            EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_CANTREAD));
            EXPECT_EQ(std::string(e.what()), SystemErrorMessage(ERROR_CANTREAD));
        }
    }
    // A key that cannot be opened is no failure: the text is just empty.
    EXPECT_EQ(ReadRegistryData(HKEY_CURRENT_USER, std::string(ScratchKey) + "\\No Such Key", "x"), "");
}

TEST_F(RegistryHelpers, SetStoresEachTypeAndCreatesMissingKeyParts) {
    const std::string deep = std::string(ScratchKey) + "\\a\\b c\\d";
    SetRegistryData(HKEY_CURRENT_USER, deep, "Text", "C:\\Program Files\\X", RegistryType::String);
    SetRegistryData(HKEY_CURRENT_USER, deep, "Expand", "%TEMP%\\x", RegistryType::ExpandString);
    SetRegistryData(HKEY_CURRENT_USER, deep, "Number", "-5", RegistryType::Integer);
    SetRegistryData(HKEY_CURRENT_USER, deep, "Plus", "+17", RegistryType::Integer);
    SetRegistryData(HKEY_CURRENT_USER, deep, "Bytes", std::string("a\0b", 3), RegistryType::Binary);
    SetRegistryData(HKEY_CURRENT_USER, deep, "Empty", "", RegistryType::String);

    const struct {
        const char* name;
        DWORD type;
        std::optional<std::string> bytes;  // as stored; nullopt: not checked
        std::string text;                  // as read back
    } stored[] = {
        {"Text", REG_SZ, std::string("C:\\Program Files\\X\0", 19), "C:\\Program Files\\X"},
        {"Expand", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9), "%TEMP%\\x"},
        {"Number", REG_DWORD, std::string("\xFB\xFF\xFF\xFF", 4), "-5"},
        {"Plus", REG_DWORD, std::nullopt, "17"},
        {"Bytes", REG_BINARY, std::string("a\0b", 3), std::string("a\0b", 3)},
        {"Empty", REG_SZ, std::nullopt, ""},
    };
    for (const auto& c : stored) {
        const RawValue v = getRaw(HKEY_CURRENT_USER, deep, c.name);
        ASSERT_TRUE(v.exists) << c.name;
        EXPECT_EQ(v.type, c.type) << c.name;
        if (c.bytes) EXPECT_EQ(v.bytes, *c.bytes) << c.name;
        EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, deep, c.name), c.text) << c.name;
    }

    // Overwriting replaces the value and its type.
    SetRegistryData(HKEY_CURRENT_USER, deep, "Number", "now text", RegistryType::String);
    EXPECT_EQ(getRaw(HKEY_CURRENT_USER, deep, "Number").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, deep, "Number"), "now text");
}

TEST_F(RegistryHelpers, IntegerTextThatIsNoNumberIsRefusedAndNothingIsStored) {
    putDword(HKEY_CURRENT_USER, ScratchKey, "Kept", 9);
    for (const char* text : {"", "12abc", "abc", "2147483648", "-2147483649", " 1", "1 ", "0x10", "+", "--1", "+-5"}) {
        try {
            SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Bad", text, RegistryType::Integer);
            ADD_FAILURE() << "stored '" << text << "'";
        } catch (const kit::Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
        }
        try {
            SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Kept", text, RegistryType::Integer);
            ADD_FAILURE() << "stored '" << text << "'";
        } catch (const kit::Error&) {
        }
    }
    EXPECT_FALSE(getRaw(HKEY_CURRENT_USER, ScratchKey, "Bad").exists);
    EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Kept"), "9");
    SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Edge", "-2147483648", RegistryType::Integer);
    EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Edge"), "-2147483648");
}

TEST_F(RegistryHelpers, TypeCodeZeroKeepsTheStoredTypeAndFailsForAMissingValue) {
    putDword(HKEY_CURRENT_USER, ScratchKey, "Dword", 1);
    putRaw(HKEY_CURRENT_USER, ScratchKey, "Expand", REG_EXPAND_SZ, "%A%", 4);
    putRaw(HKEY_CURRENT_USER, ScratchKey, "Bin", REG_BINARY, "\x01", 1);
    putRaw(HKEY_CURRENT_USER, ScratchKey, "Multi", REG_MULTI_SZ, "m\0\0", 3);

    SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Dword", "-7", RegistryType::Unknown);
    EXPECT_EQ(getRaw(HKEY_CURRENT_USER, ScratchKey, "Dword").type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Dword"), "-7");
    SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Expand", "%B%", RegistryType::Unknown);
    EXPECT_EQ(getRaw(HKEY_CURRENT_USER, ScratchKey, "Expand").type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(GetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Expand"), "%B%");
    SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Bin", "xyz", RegistryType::Unknown);
    EXPECT_EQ(getRaw(HKEY_CURRENT_USER, ScratchKey, "Bin").bytes, "xyz");

    for (const char* name : {"Missing", "Multi"}) {
        try {
            SetRegistryData(HKEY_CURRENT_USER, ScratchKey, name, "v", RegistryType::Unknown);
            ADD_FAILURE() << name << " stored";
        } catch (const kit::OSError& e) {
            EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_CANTWRITE));
            EXPECT_EQ(std::string(e.what()), SystemErrorMessage(ERROR_CANTWRITE));
        }
    }
    EXPECT_FALSE(getRaw(HKEY_CURRENT_USER, ScratchKey, "Missing").exists);
    EXPECT_EQ(getRaw(HKEY_CURRENT_USER, ScratchKey, "Multi").bytes, std::string("m\0\0", 3));
    // A code outside the known ones is refused the same way.
    EXPECT_THROW(SetRegistryData(HKEY_CURRENT_USER, ScratchKey, "Odd", "v", 7), kit::OSError);
    EXPECT_FALSE(getRaw(HKEY_CURRENT_USER, ScratchKey, "Odd").exists);
}

TEST_F(RegistryHelpers, AKeyThatCannotBeOpenedRaisesThePlatformsMessage) {
    const HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
    try {
        SetRegistryData(bogus, "Kestrelgrove", "v", "x", RegistryType::String);
        FAIL() << "stored under an invalid root";
    } catch (const kit::OSError& e) {
        EXPECT_NE(e.code(), 0ul);
        EXPECT_EQ(std::string(e.what()), SystemErrorMessage(e.code()));
        EXPECT_NE(std::string(e.what()), SystemErrorMessage(ERROR_SUCCESS));
    }
}

// ---------------------------------------------------------------------------

class ToolbarSettingsLoad : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, ToolbarKeyPath);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, ToolbarKeyPath); }
    void writeFile(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "\\" + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        ASSERT_TRUE(out.good()) << path;
    }
    void install(const std::string& installPath, const std::string& file = "Sample") {
        SetRegistryData(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "InstallPath", installPath, RegistryType::String);
        SetRegistryData(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "Toolbar Name", "Sample Toolbar", RegistryType::String);
        SetRegistryData(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "Toolbar File", file, RegistryType::String);
    }
    void writeOptions(const std::string& lines) { writeFile("Sample.ini", "[Options]\r\n" + lines); }
    static const TToolbarSettings& load() {
        LoadToolbarSettings();
        return ToolbarSettings();
    }
    const kgtest::TempFolder folder_{"kg-settings"};
    const std::string dir_ = folder_.string();
};

void expectOptionDefaults(const TToolbarSettings& s) {
    EXPECT_TRUE(s.ToolbarFullSize);
    EXPECT_EQ(s.CompanyName, "Kestrelgrove");
    EXPECT_EQ(s.ContactEMail, "mailto:support@kestrelgrove.example");
    EXPECT_EQ(s.HomePageURL, s.ContactEMail);
    EXPECT_EQ(s.FlashURL, "");
    EXPECT_EQ(s.SearchURL, "http://www.kestrelgrove.example/search?q=[SEARCH]");
    EXPECT_EQ(s.UpdatesURL, "");
    EXPECT_EQ(s.MainMenu, "");
    EXPECT_TRUE(s.SearchDynamic);
    for (const char* key : {"Toolbar Full Size", "Company Name", "Home Page URL", "Contact E-Mail", "Flash URL",
                            "Search URL", "Updates URL", "Main Menu", "Search Dynamic"})
        EXPECT_EQ(s.SourceOf(key), SettingSource::Default) << key;
}

TEST_F(ToolbarSettingsLoad, ClassIdentifierAndToolbarKeyAreFixed) {
    wchar_t wide[64];
    ASSERT_GT(StringFromGUID2(CLSID_Kestrelgrove, wide, 64), 0);
    EXPECT_EQ(std::string(wide, wide + wcslen(wide)), ClassIdText);
    EXPECT_EQ(std::string(ToolbarKeyPath), std::string(ExplorerBarsKeyPath) + "\\" + ClassIdText);
    const TToolbarSettings& s = load();
    EXPECT_EQ(s.ClassIdText, "{6E3C1A52-9B47-4C1D-8F2A-5D7B3E9C0A41}");
    EXPECT_EQ(s.ToolbarKey,
              "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{6E3C1A52-9B47-4C1D-8F2A-5D7B3E9C0A41}");
}

TEST_F(ToolbarSettingsLoad, MissingKeyGivesEmptyValuesAndEveryDefault) {
    const TToolbarSettings& s = load();
    EXPECT_EQ(s.InstallPath, "");
    EXPECT_EQ(s.ToolbarName, "");
    EXPECT_EQ(s.ToolbarFile, "");
    EXPECT_EQ(s.ConfigFileName(), "\\.ini");
    EXPECT_EQ(s.LegalNoticeFileName(), "\\Copyrights.txt");
    EXPECT_EQ(s.SourceOf("InstallPath"), SettingSource::Default);
    expectOptionDefaults(s);
    const std::string search = s.SearchURL;
    EXPECT_EQ(search.substr(0, 7), "http://");
    EXPECT_EQ(search.substr(search.size() - 18), "/search?q=[SEARCH]");
}

TEST_F(ToolbarSettingsLoad, ReadsTheToolbarKeyAndSectionOptions) {
    install(dir_);
    writeFile("Sample.ini", "[Toolbar Items]\r\nmiHome=\r\n"
                            "[Options]\r\n"
                            "Toolbar Name=marker only\r\n"
                            "Toolbar Full Size=0\r\n"
                            "Company Name=Acme Birds\r\n"
                            "Home Page URL=http://acme.example/\r\n"
                            "Contact E-Mail=mailto:help@acme.example\r\n"
                            "Flash URL=http://acme.example/banner.swf\r\n"
                            "Search URL=http://acme.example/find?q=[SEARCH]\r\n"
                            "Updates URL=http://acme.example/updates\r\n"
                            "Main Menu=miMain\r\n"
                            "Search Dynamic=0\r\n");
    const TToolbarSettings& s = load();
    EXPECT_EQ(s.InstallPath, dir_);
    EXPECT_EQ(s.ToolbarName, "Sample Toolbar"); // the registry's, never the marker of "Options"
    EXPECT_EQ(s.ToolbarFile, "Sample");
    EXPECT_FALSE(s.ToolbarFullSize);
    EXPECT_EQ(s.CompanyName, "Acme Birds");
    EXPECT_EQ(s.HomePageURL, "http://acme.example/");
    EXPECT_EQ(s.ContactEMail, "mailto:help@acme.example");
    EXPECT_EQ(s.FlashURL, "http://acme.example/banner.swf");
    EXPECT_EQ(s.SearchURL, "http://acme.example/find?q=[SEARCH]");
    EXPECT_EQ(s.UpdatesURL, "http://acme.example/updates");
    // "Main Menu" and "Search Dynamic" belong to the builder, not to this load.
    EXPECT_EQ(s.MainMenu, "");
    EXPECT_TRUE(s.SearchDynamic);
    for (const char* key : {"InstallPath", "Toolbar Name", "Toolbar File"})
        EXPECT_EQ(s.SourceOf(key), SettingSource::Registry) << key;
    for (const char* key : {"Toolbar Full Size", "Company Name", "Home Page URL", "Contact E-Mail", "Flash URL",
                            "Search URL", "Updates URL"})
        EXPECT_EQ(s.SourceOf(key), SettingSource::File) << key;
    EXPECT_EQ(s.ConfigFileName(), dir_ + "\\Sample.ini");
    EXPECT_EQ(s.IconFileName(), dir_ + "\\Icons.bin");
    EXPECT_EQ(s.BannerFileName(), dir_ + "\\Sample.bmp");
    EXPECT_EQ(s.LegalNoticeFileName(), dir_ + "\\Copyrights.txt");
    EXPECT_EQ(s.InternetConfigFileName(), dir_ + "\\Sample Internet.ini");
    EXPECT_EQ(s.DefaultConfigFileName(), dir_ + "\\Sample Default.ini");
    EXPECT_EQ(s.InternetIconFileName(), dir_ + "\\Internet Icons.bin");
    EXPECT_EQ(s.DefaultIconFileName(), dir_ + "\\Icons Default.bin");

    // A later load replaces everything: nothing of the first survives.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ToolbarKeyPath);
    const TToolbarSettings& again = load();
    EXPECT_EQ(again.InstallPath, "");
    EXPECT_EQ(again.SourceOf("InstallPath"), SettingSource::Default);
    expectOptionDefaults(again);
}

TEST_F(ToolbarSettingsLoad, PresentEmptyAndMissingOptions) {
    install(dir_);
    writeOptions("Company Name=\r\n"
                 "Home Page URL=  http://padded.example/  \r\n"
                 "Contact E-Mail = mailto:x@y.example\r\n"
                 "flash url=http://lower.example/\r\n"
                 "Updates URL=\r\n");
    const TToolbarSettings& s = load();
    EXPECT_EQ(s.CompanyName, "");
    EXPECT_EQ(s.SourceOf("Company Name"), SettingSource::File);
    EXPECT_EQ(s.HomePageURL, "  http://padded.example/  ");
    // Blanks around "=" are part of the name: this key is not "Contact E-Mail".
    EXPECT_EQ(s.ContactEMail, "mailto:support@kestrelgrove.example");
    EXPECT_EQ(s.SourceOf("Contact E-Mail"), SettingSource::Default);
    EXPECT_EQ(s.FlashURL, "http://lower.example/");
    EXPECT_EQ(s.UpdatesURL, "");
    EXPECT_EQ(s.SourceOf("Updates URL"), SettingSource::File);
    EXPECT_EQ(s.SearchURL, "http://www.kestrelgrove.example/search?q=[SEARCH]");
    EXPECT_NE(s.SearchURL.find("q=[SEARCH]"), std::string::npos);
    EXPECT_EQ(s.SourceOf("Search URL"), SettingSource::Default);

    // A value that equals the default still comes from the file.
    writeOptions("Company Name=Kestrelgrove\r\n");
    EXPECT_EQ(load().SourceOf("Company Name"), SettingSource::File);
}

TEST_F(ToolbarSettingsLoad, ToolbarFullSizeIsANumber) {
    install(dir_);
    struct Case {
        const char* line;
        bool value;
        SettingSource source;
    };
    for (const Case& c : {Case{"Toolbar Full Size=0\r\n", false, SettingSource::File},
                          Case{"Toolbar Full Size=2\r\n", true, SettingSource::File},
                          Case{"Toolbar Full Size=$0\r\n", false, SettingSource::File},
                          Case{"Toolbar Full Size=no\r\n", true, SettingSource::Default},
                          Case{"Toolbar Full Size=false\r\n", true, SettingSource::Default},
                          Case{"Toolbar Full Size=\r\n", true, SettingSource::Default},
                          Case{"Other=0\r\n", true, SettingSource::Default}}) {
        writeOptions(c.line);
        const TToolbarSettings& s = load();
        EXPECT_EQ(s.ToolbarFullSize, c.value) << c.line;
        EXPECT_EQ(s.SourceOf("Toolbar Full Size"), c.source) << c.line;
    }
}

TEST_F(ToolbarSettingsLoad, InstallPathIsUsedExactlyAsStored) {
    writeOptions("Company Name=From Trailing\r\n");
    install(dir_ + "\\");
    const TToolbarSettings& s = load();
    EXPECT_EQ(s.ConfigFileName(), dir_ + "\\\\Sample.ini");
    EXPECT_EQ(s.IconFileName(), dir_ + "\\\\Icons.bin");
    EXPECT_EQ(s.BannerFileName(), dir_ + "\\\\Sample.bmp");
    EXPECT_EQ(s.LegalNoticeFileName(), dir_ + "\\\\Copyrights.txt");
    EXPECT_EQ(s.CompanyName, "From Trailing"); // the platform still finds the file

    // Stored as an expandable string, the variable is not expanded: no file is found.
    SetEnvironmentVariableA("KG_SETTINGS_TEST_DIR", dir_.c_str());
    SetRegistryData(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "InstallPath", "%KG_SETTINGS_TEST_DIR%",
                    RegistryType::ExpandString);
    const TToolbarSettings& unexpanded = load();
    EXPECT_EQ(unexpanded.InstallPath, "%KG_SETTINGS_TEST_DIR%");
    EXPECT_EQ(unexpanded.ConfigFileName(), "%KG_SETTINGS_TEST_DIR%\\Sample.ini");
    EXPECT_EQ(unexpanded.SourceOf("InstallPath"), SettingSource::Registry);
    expectOptionDefaults(unexpanded);
    SetEnvironmentVariableA("KG_SETTINGS_TEST_DIR", nullptr);
}

TEST_F(ToolbarSettingsLoad, AnIntegerValueComesBackAsDecimalText) {
    install(dir_);
    putDword(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "Toolbar Name", 1234);
    putDword(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "Toolbar File", 0xFFFFFFFF);
    writeFile("-1.ini", "[Options]\r\nCompany Name=Numbered\r\n");
    const TToolbarSettings& s = load();
    EXPECT_EQ(s.ToolbarName, "1234");
    EXPECT_EQ(s.ToolbarFile, "-1");
    EXPECT_EQ(s.CompanyName, "Numbered");
}

TEST_F(ToolbarSettingsLoad, AFileThatCannotBeOpenedLeavesTheDefaults) {
    install(dir_);
    writeOptions("Company Name=Locked\r\n");
    const std::string path = dir_ + "\\Sample.ini";
    kit::unique_file lock(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_NO_THROW(LoadToolbarSettings());
    const TToolbarSettings& s = ToolbarSettings();
    EXPECT_EQ(s.InstallPath, dir_); // the registry values are kept
    expectOptionDefaults(s);
    lock.reset();
    EXPECT_EQ(load().CompanyName, "Locked");
}

} // namespace
