// The toolbar over hostile install folders (tests/support/HostileInputs.h):
// every one ends with the window created and shown, and an error box only
// where the build must stop, naming the file and what is wrong with it.
#include "tests/toolbar/ToolbarFixture.h"
#include "tests/support/HostileInputs.h"

#include "kit/ImageList.h"
#include "kit/Items.h"
#include "kit/Toolbar.h"
#include "toolbar/About.h"

#include <commctrl.h>

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
    };
    const std::vector<kgtest::HostileInput> inputs = kgtest::HostileInputs();
    ASSERT_EQ(inputs.size(), expected.size());
    for (const kgtest::HostileInput& input : inputs) {
        SCOPED_TRACE(input.name);
        const Expected& want = expected.at(input.name);
        for (const auto& entry : std::filesystem::directory_iterator(installFile("")))
            std::filesystem::remove(entry.path());
        input.install(installFile(""), kgtest::kToolbarFile);
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
        if (input.aboutWindow) {
            kg::TFormAbout about;
            EXPECT_EQ(about.Memo1->Lines(), std::vector<std::string>{kg::AboutDesignNotice});
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
        }
        destroyWindow();
    }
}

} // namespace
