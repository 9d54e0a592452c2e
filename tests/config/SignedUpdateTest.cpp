// Signed updates against a real HTTP server on 127.0.0.1: with an "Update
// Key" in the configuration in use, only downloads with a valid signature
// under that key replace the files in use; every other download stays under
// its download name, and the configuration in use is kept.
#include "core/SignatureText.h"
#include "toolbar/Update.h"
#include "tests/support/UpdateFixture.h"
#include "tools/kgsign/lib/Crypto.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using kgtest::iconFile;
using kgtest::Text;

std::string config(const std::string& name, const Text& keyLine) {
    return "[Options]\r\nToolbar Name=" + name + "\r\n" + (keyLine ? "Update Key=" + *keyLine + "\r\n" : "");
}

std::string signature(const kg::SigningKey& key, const std::string& content) {
    return kg::FormatSignature(kgsign::Sign(key, std::vector<std::uint8_t>(content.begin(), content.end())));
}

// What the update folder on the server holds; nullopt: not there (a 404 page).
struct Folder {
    Text config, configSig, icons, iconsSig;
};
// The install folder's files that matter here.
struct Install {
    Text current, download, backup, icons, newIcons;
};

class SignedUpdate : public kgtest::UpdateFixture {
protected:
    SignedUpdate() : UpdateFixture("Bar") {}
};

TEST_F(SignedUpdate, OnlyDownloadsSignedWithTheKeyInUseReplaceTheFiles) {
    const kg::SigningKey a = kgsign::GenerateKey(), b = kgsign::GenerateKey();
    const std::string keyA = kg::FormatUpdateKey(a.publicKey), keyB = kg::FormatUpdateKey(b.publicKey);
    const std::string inUse = config("In Use", keyA), served = config("Served", keyA);
    const std::string oldIcons = iconFile(0xFF2040C0u), newIcons = iconFile(0xFFC04020u);
    const std::string tampered = served + "Updates URL=http://attacker.example/\r\n";
    const std::string tamperedIcons = newIcons.substr(0, newIcons.size() - 1) + "\x01";
    const std::string rotating = config("Rotating", keyB), rotated = config("Rotated", keyB);
    const std::string unsignedServed = config("Served", std::nullopt);
    const std::string cut = signature(a, served).substr(0, 40);

    const struct {
        const char* what;
        Text before;  // the configuration in use; nullopt: the one the previous case left
        Folder folder;
        Install after;
        bool signatureRequests;
    } cases[] = {
        {"a signed update is applied", inUse,
         {served, signature(a, served), newIcons, signature(a, newIcons)},
         {served, {}, inUse, newIcons, {}}, true},
        {"a tampered configuration is kept aside", inUse,
         {tampered, signature(a, served), newIcons, signature(a, newIcons)},
         {inUse, tampered, {}, newIcons, {}}, true},
        {"a tampered icon file is kept aside", inUse,
         {served, signature(a, served), tamperedIcons, signature(a, newIcons)},
         {served, {}, inUse, oldIcons, tamperedIcons}, true},
        {"no signatures on the server", inUse, {served, {}, newIcons, {}},
         {inUse, served, {}, oldIcons, newIcons}, true},
        {"each file with the other's signature", inUse,
         {served, signature(a, newIcons), newIcons, signature(a, served)},
         {inUse, served, {}, oldIcons, newIcons}, true},
        {"truncated signatures", inUse, {served, cut, newIcons, signature(a, newIcons).substr(0, 40)},
         {inUse, served, {}, oldIcons, newIcons}, true},
        {"signed with another key than the one in use", inUse,
         {served, signature(b, served), newIcons, signature(b, newIcons)},
         {inUse, served, {}, oldIcons, newIcons}, true},
        {"a key in use that does not parse lets nothing through", config("In Use", "not a key"),
         {served, signature(a, served), newIcons, signature(a, newIcons)},
         {config("In Use", "not a key"), served, {}, oldIcons, newIcons}, true},
        // Rotation: the old key signs a configuration naming the new one; from then on the new key counts.
        {"rotation: a configuration naming a new key, signed with the old", inUse,
         {rotating, signature(a, rotating), newIcons, signature(a, newIcons)},
         {rotating, {}, inUse, newIcons, {}}, true},
        {"rotation: the old key no longer counts", std::nullopt,
         {served, signature(a, served), oldIcons, signature(a, oldIcons)},
         {rotating, served, inUse, newIcons, oldIcons}, true},
        {"rotation: an update signed with the new key", std::nullopt,
         {rotated, signature(b, rotated), oldIcons, signature(b, oldIcons)},
         {rotated, {}, rotating, oldIcons, {}}, true},
        {"no key in use: unsigned updates as ever", config("In Use", std::nullopt),
         {unsignedServed, {}, newIcons, {}},
         {unsignedServed, {}, config("In Use", std::nullopt), newIcons, {}}, false},
    };
    int faults = 0, lost = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string path = "s" + std::to_string(i) + "/";
        const std::pair<const char*, const Text*> served_[] = {{"toolbar.ini", &c.folder.config},
                                                               {"toolbar.ini.sig", &c.folder.configSig},
                                                               {"icons.bin", &c.folder.icons},
                                                               {"icons.bin.sig", &c.folder.iconsSig}};
        for (const auto& [name, content] : served_)
            if (*content) server_->serve(path + name, **content);
        if (c.before) {
            for (int role = 0; role < 6; ++role) put(role, std::nullopt);
            put(0, c.before);
            put(3, oldIcons);
        }
        const Text before = read(0);
        kg::ToolbarSettings().UpdatesURL = server_->url("/" + path);
        const std::size_t logged = server_->requests().size();

        EXPECT_TRUE(kg::UpdateConfiguration());

        EXPECT_EQ(read(0), c.after.current);
        EXPECT_EQ(read(1), c.after.download);
        EXPECT_EQ(read(2), c.after.backup);
        EXPECT_TRUE(read(3) == c.after.icons);
        EXPECT_TRUE(read(4) == c.after.newIcons);
        EXPECT_TRUE(strays().empty()) << "left behind: " << strays().front();
        std::vector<std::string> expected = {"/" + path + "toolbar.ini", "/" + path + "icons.bin"};
        if (c.signatureRequests)
            expected = {"/" + path + "toolbar.ini", "/" + path + "toolbar.ini.sig", "/" + path + "icons.bin",
                        "/" + path + "icons.bin.sig"};
        EXPECT_EQ(gainedRequests(logged), expected);
        EXPECT_TRUE(platform_.messageBoxes.empty());
        if (c.after.current == before) {
            ++faults;
            if (read(0) != before) ++lost;
        }
    }
    std::printf("[ counts   ] refused downloads: %d, configurations lost: %d\n", faults, lost);
    EXPECT_EQ(faults, 7);
    EXPECT_EQ(lost, 0);
}

} // namespace
