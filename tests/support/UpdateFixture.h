#pragma once
// What the tests of the configuration update share: the local HTTP server, an
// install folder of their own under the build folder (a Unix path too, for
// mounts), the toolbar settings pointed at it and put back afterwards, and
// the six files of the folder by role.
#include "config/Settings.h"
#include "core/IconFile.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kgtest {

// A file's content; nullopt: absent.
using Text = std::optional<std::string>;

// A valid icon file of one 16 by 16 image of one colour.
inline std::string iconFile(std::uint32_t argb) {
    kit::Bitmap32 image;
    image.width = image.height = 16;
    image.pixels.assign(256, argb);
    const std::vector<std::uint8_t> bytes = toolbar::WriteIconFile(toolbar::MakeIconImages({image}, std::nullopt));
    return std::string(bytes.begin(), bytes.end());
}

// The roles of the install folder's six files, in the order of names().
enum Role { kCurrent, kDownload, kBackup, kIcons, kNewIcons, kIconBackup, kRoles };

class UpdateFixture : public testing::Test {
protected:
    explicit UpdateFixture(const std::string& toolbarFile)
        : toolbarFile_(toolbarFile),
          names_{toolbarFile + ".ini", toolbarFile + " Internet.ini", toolbarFile + " Default.ini",
                 "Icons.bin",          "Internet Icons.bin",          "Icons Default.bin"} {}

    static void SetUpTestSuite() {
        server_ = new HttpTestServer;
        ASSERT_TRUE(server_->start()) << "the test server did not start";
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        saved_ = kg::ToolbarSettings();
        std::filesystem::create_directories(root_ / "install");
        kg::TToolbarSettings& settings = kg::ToolbarSettings();
        settings.InstallPath = (root_ / "install").string();
        settings.ToolbarFile = toolbarFile_;
        settings.CompanyName = "Test Company";
    }
    void TearDown() override { kg::ToolbarSettings() = saved_; }

    std::filesystem::path file(int role) const {
        return std::filesystem::path(kg::ToolbarSettings().InstallPath) / names_[role];
    }
    Text read(int role) const { return std::filesystem::exists(file(role)) ? Text(readAll(file(role))) : std::nullopt; }
    void put(int role, const Text& content) const {
        std::error_code ignored;
        std::filesystem::remove(file(role), ignored);
        if (content) writeAll(file(role), *content);
    }
    // Anything in the install folder besides the six files (a part file left behind).
    std::vector<std::string> strays() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(kg::ToolbarSettings().InstallPath)) {
            const std::string name = entry.path().filename().string();
            if (std::find(names_.begin(), names_.end(), name) == names_.end()) out.push_back(name);
        }
        return out;
    }
    // The server's requests since it had logged `before` of them.
    static std::vector<std::string> gainedRequests(std::size_t before) {
        const std::vector<std::string> all = server_->requests();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    }
    int unix(const std::string& script) const { return runUnixScript(script, unixRoot_); }

    RecordingPlatform platform_;
    const TempFolder root_{"kg-update", onDriveZ(KG_BUILD_DIR)};
    // The same folder as Unix sees it.
    const std::string unixRoot_ = std::string(KG_BUILD_DIR) + "/" + root_.path().filename().string();
    static inline HttpTestServer* server_ = nullptr;

private:
    const std::string toolbarFile_;
    const std::array<std::string, kRoles> names_;
    kg::TToolbarSettings saved_;
};

} // namespace kgtest
