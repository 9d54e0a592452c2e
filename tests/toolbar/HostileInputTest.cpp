// The toolbar over hostile install folders (tests/support/HostileInputs.h):
// every one ends with the window created and shown, and an error box only
// where the build must stop, naming the file and what is wrong with it.
#include "tests/toolbar/ToolbarFixture.h"
#include "tests/support/HostileInputs.h"
#include "tests/support/HttpTestServer.h"

#include "kit/Image.h"
#include "kit/ImageList.h"
#include "kit/Items.h"
#include "kit/PopupMenu.h"
#include "kit/Toolbar.h"
#include "toolbar/About.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

using kgtest::ToolbarWindowTest;

namespace {

class HostileInput : public ToolbarWindowTest {};

struct Expected {
    std::string file;    // named by the one error box; empty: no box at all
    std::string reason;  // in the box, after the file
    int topLevelButtons = -1;  // on the toolbar control, fixed items and search button included
    int icons = -1;
};

TEST_F(HostileInput, EveryFolderEndsWithTheWindowAndAClearErrorWhereOneIsDue) {
    const std::string ini = std::string(kgtest::kToolbarFile) + ".ini";
    const std::string bmp = std::string(kgtest::kToolbarFile) + ".bmp";
    const std::map<std::string, Expected> expected = {
        {"10,000 top-level buttons", {"", "", 3 + 10000 + 1}},
        {"10,000 items in one submenu", {"", "", 3 + 1 + 1}},
        {"100,000 top-level buttons", {"", "", 3 + 100000 + 1}},
        {"50,000 items in one submenu", {"", "", 3 + 1 + 1}},
        {"\"Parent\" chain 50,000 deep", {"", "", 3 + 1 + 1}},
        {"1,000,000 icon keys, 5,000 items", {"", "", 3 + 5000 + 1, 9}},
        {"1,000,000 names without sections", {"", "", 3 + 1}},
        {"INI of 3,000,000 sections", {"", "", 3 + 1 + 1}},
        {"INI of 50 MB", {"", "", 3 + 1 + 1}},
        {"binary garbage as the INI", {"", "", 3 + 1}},
        {"10 MB caption, URL and search URL", {"", "", 3 + 1 + 1}},
        {"truncated Icons.bin", {"", "", -1, 0}},
        {"zero-byte Icons.bin", {"", "", -1, 0}},
        {"Icons.bin whose count lies", {"", "", -1, 0}},
        {"icon file of a 16384 x 16384 image", {"", "", -1, 0}},
        {"65,535 real icons", {"", "", -1, 65535}},
        {"banner with truncated pixel data", {bmp, "Invalid bitmap: the pixel data is truncated"}},
        {"banner that is no bitmap", {bmp, "Invalid bitmap"}},
        {"banner of 100000 x 100000 pixels", {bmp, "bitmap"}},
        {"duplicate item names", {ini, "section [miB]: A component named MISAME already exists"}},
        {"invalid item name of 10 MB", {ini, "section [miBad]: ''not valid xxxx"}},
        {"missing legal notice", {"", "", 3 + 1 + 1}},

        {"RLE8 banner of 16384 x 16384 in 256 KB", {"", "", 3 + 1}},
        {"1-bit banner of 16384 x 16384 (32 MB)", {"", "", 3 + 1}},
        {"banner file above 64 MB", {bmp, std::to_string((64u << 20) + 1) + " bytes is too large"}},
        {"one 200 MB \"Caption\" line", {"", "", 3 + 1 + 1}},
        {"split button's menu of 50,000 entries", {"", "", 3 + 1 + 1}},
        {"update server: all but 20 bytes, then 1 a second", {"", "", 3 + 1 + 1}},
        {"update server: headers a byte every 0.2 s", {"", "", 3 + 1 + 1}},
    };
    kgtest::HttpTestServer server;
    ASSERT_TRUE(server.start()) << "the update server did not start";
    kgtest::hostile::serveUpdate(server);
    const std::vector<kgtest::HostileInput> inputs = kgtest::HostileInputs();
    ASSERT_EQ(inputs.size(), expected.size());
    for (const kgtest::HostileInput& input : inputs) {
        SCOPED_TRACE(input.name);
        const Expected& want = expected.at(input.name);
        for (const auto& entry : std::filesystem::directory_iterator(installFile("")))
            std::filesystem::remove(entry.path());
        input.install(installFile(""), kgtest::kToolbarFile);
        if (!input.updatesPath.empty())
            kgtest::hostile::pointUpdatesAt(installFile(""), kgtest::kToolbarFile, server.url(input.updatesPath));
        platform_.messageBoxes.clear();

        kg::TformToolbar& w = createWindow();
        EXPECT_TRUE(w.HandleAllocated());
        EXPECT_TRUE(GetWindowLongPtrA(w.Handle(), GWL_STYLE) & WS_VISIBLE);
        if (want.file.empty()) {
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
        } else {
            ASSERT_EQ(platform_.messageBoxes.size(), 1u);
            const std::string& text = platform_.messageBoxes[0].text;
            EXPECT_NE(text.find("\"" + installFile(want.file).string() + "\": "), std::string::npos) << text;
            EXPECT_NE(text.find(want.reason), std::string::npos) << text;
            EXPECT_LT(text.size(), 600u) << "the quoted text is cut short";
        }
        if (want.topLevelButtons >= 0) {
            EXPECT_EQ(SendMessageA(w.Toolbar->Handle(), TB_BUTTONCOUNT, 0, 0), want.topLevelButtons);
        }
        if (want.icons >= 0) {
            EXPECT_EQ(w.IconList->Count(), want.icons);
        }
        if (input.name == "10,000 items in one submenu" || input.name == "50,000 items in one submenu") {
            auto* menu = dynamic_cast<kit::TTBCustomItem*>(w.FindComponent("ManySubMenu"));
            ASSERT_NE(menu, nullptr);
            EXPECT_EQ(menu->Count(), input.name[0] == '1' ? 10000 : 50000);
        }
        if (input.name == "\"Parent\" chain 50,000 deep") {
            auto* deepest = dynamic_cast<kit::TTBCustomItem*>(w.FindComponent("ChainSubMenu50000"));
            ASSERT_NE(deepest, nullptr);
            int depth = 0;
            for (const kit::TTBCustomItem* p = deepest->Parent(); p; p = p->Parent()) ++depth;
            EXPECT_EQ(depth, 50000);  // the toolbar's root item counted
        }
        if (input.name == "1,000,000 icon keys, 5,000 items") {
            // Item i shows icon number 1,000,000 - i, which "Icons" maps to (1,000,000 - i) mod 9.
            for (int i : {1, 2500, 5000}) {
                auto* item = dynamic_cast<kit::TTBCustomItem*>(w.FindComponent("Item" + std::to_string(i)));
                ASSERT_NE(item, nullptr);
                EXPECT_EQ(item->ImageIndex(), (1000000 - i) % 9) << i;
            }
        }
        if (input.name == "1,000,000 names without sections") {
            EXPECT_NE(w.FindComponent("Unplaced1000000"), nullptr);
        }
        // A huge picture is kept no larger than can be shown, in the banner and in the About window.
        EXPECT_LE(w.Image->Picture().width, kit::kMaxPictureSide);
        EXPECT_LE(w.Image->Picture().height, kit::kMaxPictureSide);
        if (input.name.find("banner of 16384 x 16384") != std::string::npos) {
            EXPECT_EQ(w.Image->Picture().width, kit::kMaxPictureSide);
            EXPECT_EQ(w.Image->Picture().height, kit::kMaxPictureSide);
        }
        if (input.name == "one 200 MB \"Caption\" line") {
            auto* huge = dynamic_cast<kit::TTBCustomItem*>(w.FindComponent("miHuge"));
            ASSERT_NE(huge, nullptr);
            EXPECT_EQ(huge->Caption(), std::string(kit::kMaxKeptCaption, 'c')) << "only what is shown is kept";
            char shown[1024] = {};
            TBBUTTON button{};
            ASSERT_TRUE(SendMessageA(w.Toolbar->Handle(), TB_GETBUTTON, 3, reinterpret_cast<LPARAM>(&button)));
            EXPECT_EQ(SendMessageA(w.Toolbar->Handle(), TB_GETBUTTONTEXTA, button.idCommand, reinterpret_cast<LPARAM>(shown)),
                      static_cast<LRESULT>(kit::kMaxShownCaption + 3));
            EXPECT_EQ(std::string(shown), std::string(kit::kMaxShownCaption, 'c') + "...");
        }
        if (!input.dropDown.empty()) {
            // The first entries, then one that says how many are left out.
            auto* menu = dynamic_cast<kit::TTBCustomItem*>(w.FindComponent(input.dropDown));
            ASSERT_NE(menu, nullptr);
            kit::TTBMenuMap map;
            const kit::unique_hmenu built = kit::BuildMenu(*menu, map);
            const int count = GetMenuItemCount(built.get());
            ASSERT_EQ(count, kit::kMaxMenuEntries + 1);
            char last[128] = {};
            GetMenuStringA(built.get(), static_cast<UINT>(count - 1), last, sizeof last, MF_BYPOSITION);
            EXPECT_EQ(std::string(last), kit::MoreEntriesText(static_cast<std::size_t>(menu->Count() - kit::kMaxMenuEntries)));
            EXPECT_EQ(GetMenuState(built.get(), static_cast<UINT>(count - 1), MF_BYPOSITION) & MF_GRAYED, UINT{MF_GRAYED});
            EXPECT_EQ(map.ItemOf(static_cast<UINT>(kit::kMaxMenuEntries)), menu->Items(kit::kMaxMenuEntries - 1));
        }
        if (!input.updatesPath.empty()) {
            // The trickled download was given up: the configuration in use stays.
            EXPECT_NE(kgtest::readAll(installFile(ini)).find("Toolbar Name=In Use"), std::string::npos);
            const std::vector<std::string> asked = server.requests();
            EXPECT_NE(std::find(asked.begin(), asked.end(), input.updatesPath + "toolbar.ini"), asked.end());
        }
        if (input.aboutWindow) {
            kg::TFormAbout about;
            EXPECT_EQ(about.Memo1->Lines(), std::vector<std::string>{kg::AboutDesignNotice});
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
            EXPECT_LE(about.AboutImage->Picture().width, kit::kMaxPictureSide);
            EXPECT_LE(about.AboutImage->Picture().height, kit::kMaxPictureSide);
        }
        destroyWindow();
    }
}

} // namespace
