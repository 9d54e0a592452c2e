#pragma once
// The toolbar window's tests share this set-up: the real toolbar key (removed
// before and after every test), an install folder of their own with a
// generated configuration, error boxes recorded instead of shown, a stand-in
// browser frame whose band site parents the window, and a stand-in browser
// object the window is attached to as its hosting browser.
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/ShortDate.h"
#include "host/WebBrowserHost.h"
#include "kit/Handles.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempFolder.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "tools/bandhost/lib/StandInBrowser.h"
#include "toolbar/KestrelgroveForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kgtest {

inline constexpr char kToolbarName[] = "Test Toolbar";
inline constexpr char kToolbarFile[] = "TestBar";

// A value of the toolbar key as stored: whether it exists, its type, its text.
struct StoredValue {
    bool exists = false;
    DWORD type = 0;
    std::string text;
};

inline StoredValue storedValueUnder(HKEY root, const std::string& name) {
    StoredValue v;
    kit::unique_hkey key;
    if (RegOpenKeyExA(root, kg::ToolbarKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) return v;
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
        ERROR_SUCCESS)
        return v;
    bytes.resize(size);
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    v.exists = true;
    v.text = bytes;
    return v;
}

// A value as the toolbar reads it: the per-user key's, else the toolbar key's.
inline StoredValue storedValue(const std::string& name) {
    const StoredValue user = storedValueUnder(HKEY_CURRENT_USER, name);
    return user.exists ? user : storedValueUnder(HKEY_LOCAL_MACHINE, name);
}

// The per-user folder of the test toolbar under the real per-user root.
inline std::filesystem::path userStateFolder() {
    return std::filesystem::path(kit::realPlatform().userStateRoots().folder) / kToolbarName;
}

class ToolbarWindowTest : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        clearUserState();
        setKeyValue("InstallPath", installPath());
        setKeyValue("Toolbar Name", kToolbarName);
        setKeyValue("Toolbar File", kToolbarFile);
        // Already stamped today: the window's showing brings no splash.
        setKeyValue("Date", kg::ShortDateText(platform_.todayDate));
        frame_ = std::make_unique<bandhost::BrowserFrame>(1000, 400);
        browser_ = bandhost::StandInBrowser::create();
        browser_->setWidth(1000);
    }

    void TearDown() override {
        window_.reset();
        frame_.reset();
        browser_.Reset();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        clearUserState();
        kg::LoadToolbarSettings();  // nothing of this test's toolbar stays in the process
    }

    // The install folder as the registry holds it (Windows form, no trailing separator).
    std::string installPath() const { return installDir_.string(); }
    std::filesystem::path installFile(const std::string& name) const { return installDir_ / name; }

    // A value of the toolbar key, with no per-user value of that name over it.
    static void setKeyValue(const std::string& name, const std::string& value) {
        kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, name, value, kg::RegistryType::String);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kg::ToolbarKeyPath, name.c_str());
    }
    static void deleteKeyValue(const std::string& name) {
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, name.c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kg::ToolbarKeyPath, name.c_str());
    }
    static void clearUserState() {
        RegDeleteTreeA(HKEY_CURRENT_USER, kg::ToolbarKeyPath);
        std::error_code ignored;
        std::filesystem::remove_all(userStateFolder(), ignored);
    }

    void writeFile(const std::string& name, const std::string& content) const {
        std::ofstream out(installFile(name), std::ios::binary);
        out << content;
        ASSERT_TRUE(out.good());
    }
    // The configuration file: "[Options]" with `options`, then `rest` as written.
    void writeConfig(const std::string& rest, const std::string& options = "") const {
        writeFile(std::string(kToolbarFile) + ".ini", "[Options]\r\n" + options + rest);
    }
    // The example's icon file (nine 16 by 16 icons), built beside the tests.
    void installExampleIcons() const {
        std::filesystem::copy_file(std::filesystem::path(KG_BUILD_DIR) / "examples" / "Icons.bin",
                                   installFile("Icons.bin"), std::filesystem::copy_options::overwrite_existing);
    }
    void installExampleBanner() const {
        std::filesystem::copy_file(std::filesystem::path(KG_SOURCE_DIR) / "examples" / "Kestrelgrove.bmp",
                                   installFile(std::string(kToolbarFile) + ".bmp"),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Loads the settings from the key (as the module does) and builds the window in the band site.
    kg::TformToolbar& createWindow() {
        kg::LoadToolbarSettings();
        window_ = std::make_unique<kg::TformToolbar>(frame_->siteWindow());
        return *window_;
    }
    void destroyWindow() { window_.reset(); }

    kg::TformToolbar& window() { return *window_; }
    bandhost::StandInBrowser& browser() { return *browser_.Get(); }
    void attachBrowser() { window_->AttachBrowser(std::make_shared<kg::WebBrowserHost>(browser_)); }

    // Texts of the recorded message boxes, in order.
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> out;
        for (const auto& box : platform_.messageBoxes) out.push_back(box.text);
        return out;
    }

    RecordingPlatform platform_;

private:
    const TempFolder installFolder_{"kg-toolbar"};
    const std::filesystem::path installDir_ = installFolder_.path();
    std::unique_ptr<bandhost::BrowserFrame> frame_;
    kit::com_ptr<bandhost::StandInBrowser> browser_;
    std::unique_ptr<kg::TformToolbar> window_;
};

} // namespace kgtest
