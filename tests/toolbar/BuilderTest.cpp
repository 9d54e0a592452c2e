// BuildToolbar against generated configurations: item kinds, placement,
// icons, the search button, the restore of the search state, the context
// menu's link, and the errors that end a build. The items are checked on the
// real toolbar control and in the real menus built from them.
#include "tests/toolbar/ToolbarFixture.h"

#include "kit/ComboBox.h"
#include "kit/Image.h"
#include "kit/ImageList.h"
#include "kit/Items.h"
#include "kit/PopupMenu.h"
#include "kit/Toolbar.h"

#include <commctrl.h>

using kit::TTBCustomItem;
using kgtest::ToolbarWindowTest;

namespace {

class Builder : public ToolbarWindowTest {
protected:
    TTBCustomItem* item(const std::string& name) {
        return dynamic_cast<TTBCustomItem*>(window().FindComponent(name));
    }
    // The toolbar's top-level items, in order.
    std::vector<std::string> topLevelNames() {
        std::vector<std::string> out;
        for (TTBCustomItem* i : window().Toolbar->Items()->Children()) out.push_back(i->Name());
        return out;
    }
    // The button of an item on the real toolbar control.
    TBBUTTON button(const TTBCustomItem* i) {
        TBBUTTON b{};
        const int index = window().Toolbar->ButtonIndexOf(i);
        EXPECT_GE(index, 0) << i->Name();
        if (index >= 0)
            EXPECT_TRUE(SendMessageA(window().Toolbar->Handle(), TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b)));
        return b;
    }
    // The entries of the window's context menu as the user sees them.
    std::vector<std::string> mainMenuEntries(kit::TTBMenuMap& map) {
        kit::unique_hmenu menu = window().popupMain->BuildMenu(map);
        std::vector<std::string> out;
        const int count = GetMenuItemCount(menu.get());
        for (int i = 0; i < count; ++i) {
            char text[256] = {};
            GetMenuStringA(menu.get(), static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            out.push_back(GetMenuState(menu.get(), static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR ? "-" : text);
        }
        return out;
    }
};

TEST_F(Builder, ItemKindsFollowTheSectionNameCaseSensitively) {
    writeConfig("[Toolbar Items]\r\nmiSeparatorA=\r\nTopSeparator2=\r\nmiseparator=\r\nmiNewsSubMenu=\r\n"
                "miLinksSubMenu=\r\nmisubmenu=\r\n"
                "[miSeparatorA]\r\nParent=Toolbar\r\nCaption=ignored\r\n"
                "[TopSeparator2]\r\nParent=Toolbar\r\n"
                "[miseparator]\r\nCaption=Plain\r\nParent=Toolbar\r\n"
                "[miNewsSubMenu]\r\nCaption=News\r\nParent=Toolbar\r\n"
                "[miLinksSubMenu]\r\nCaption=Links\r\nURL=http://links.example/\r\nParent=Toolbar\r\n"
                "[misubmenu]\r\nCaption=Lower\r\nParent=Toolbar\r\n");
    createWindow();
    EXPECT_TRUE(platform_.messageBoxes.empty());

    EXPECT_NE(dynamic_cast<kit::TTBSeparatorItem*>(item("miSeparatorA")), nullptr);
    EXPECT_EQ(item("miSeparatorA")->Caption(), "");  // only Name, Visible and Parent are read
    EXPECT_NE(dynamic_cast<kit::TTBSeparatorItem*>(item("TopSeparator2")), nullptr);
    EXPECT_NE(dynamic_cast<kit::TTBItem*>(item("miseparator")), nullptr);
    EXPECT_NE(dynamic_cast<kit::TTBItem*>(item("misubmenu")), nullptr);
    EXPECT_TRUE(button(item("miSeparatorA")).fsStyle & BTNS_SEP);
    EXPECT_FALSE(button(item("miseparator")).fsStyle & BTNS_SEP);

    // Without a URL the whole button opens the menu; with one it is a split button.
    auto* news = dynamic_cast<kit::TTBSubmenuItem*>(item("miNewsSubMenu"));
    auto* links = dynamic_cast<kit::TTBSubmenuItem*>(item("miLinksSubMenu"));
    ASSERT_TRUE(news && links);
    EXPECT_TRUE(news->Options().Contains(kit::tboDropdownArrow));
    EXPECT_FALSE(news->DropdownCombo());
    EXPECT_TRUE(links->DropdownCombo());
    EXPECT_EQ(links->Hint(), "http://links.example/");
    const BYTE newsStyle = button(news).fsStyle;
    const BYTE linksStyle = button(links).fsStyle;
    EXPECT_TRUE(newsStyle & BTNS_WHOLEDROPDOWN);
    EXPECT_FALSE(newsStyle & BTNS_DROPDOWN);
    EXPECT_TRUE(linksStyle & BTNS_DROPDOWN);
    EXPECT_FALSE(linksStyle & BTNS_WHOLEDROPDOWN);
    EXPECT_FALSE(button(item("misubmenu")).fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN));
}

TEST_F(Builder, ItemsGoAfterTheSearchBoxAndTheDefaultSearchButtonLast) {
    writeConfig("[Toolbar Items]\r\nmiHome=\r\nmiNews=\r\n"
                "[miHome]\r\nCaption=Home\r\nURL=http://home.example/\r\nTag=7\r\nGroupIndex=2\r\nParent=Toolbar\r\n"
                "[miNews]\r\nCaption=News\r\nEnabled=0\r\nParent=Toolbar\r\n");
    createWindow();
    EXPECT_EQ(topLevelNames(), (std::vector<std::string>{"TBControlItem1", "TBSeparatorItem1", "TBControlItem2",
                                                         "miHome", "miNews", "miSearch"}));
    TTBCustomItem* home = item("miHome");
    EXPECT_EQ(home->Caption(), "Home");
    EXPECT_EQ(home->Hint(), "http://home.example/");
    EXPECT_EQ(home->Tag, 7);
    EXPECT_EQ(home->GroupIndex(), 2);
    EXPECT_TRUE(home->AutoCheck());
    EXPECT_EQ(home->DisplayMode(), kit::nbdmImageAndText);
    EXPECT_FALSE(item("miNews")->AutoCheck());
    EXPECT_FALSE(item("miNews")->Enabled());
    EXPECT_FALSE(button(item("miNews")).fsState & TBSTATE_ENABLED);

    TTBCustomItem* search = window().SearchButton;
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(search, item("miSearch"));
    EXPECT_NE(dynamic_cast<kit::TTBItem*>(search), nullptr);
    EXPECT_EQ(search->Caption(), "Search");
    EXPECT_EQ(search->ImageIndex(), 8);
    EXPECT_EQ(search->DisplayMode(), kit::nbdmImageAndText);
    EXPECT_EQ(window().SearchTemplate, kg::ToolbarSettings().SearchURL);
}

TEST_F(Builder, PlacementNeedsAnItemCreatedEarlier) {
    writeConfig("[Toolbar Items]\r\nmiChildFirst=\r\nmiMenu=\r\nmiChild=\r\nmiNoSection=\r\nmiInBox=\r\n"
                "miInMenu=\r\nmiInToolbarControl=\r\nmiSelf=\r\n"
                "[miChildFirst]\r\nCaption=Early\r\nParent=miMenu\r\n"
                "[miMenu]\r\nCaption=Menu\r\nParent=Toolbar\r\n"
                "[miChild]\r\nCaption=Late\r\nParent=miMenu\r\n"
                "[miInBox]\r\nParent=SearchBox\r\n"
                "[miInMenu]\r\nParent=popupMain\r\n"
                "[miInToolbarControl]\r\nParent=toolbar\r\n"
                "[miSelf]\r\nParent=miSelf\r\n");
    createWindow();
    EXPECT_TRUE(platform_.messageBoxes.empty());

    TTBCustomItem* menu = item("miMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(item("miChild")->Parent(), menu);
    EXPECT_EQ(menu->Children(), (std::vector<TTBCustomItem*>{item("miChild")}));
    // Listed before its parent existed: created, named, never shown.
    EXPECT_EQ(item("miChildFirst")->Parent(), nullptr);
    EXPECT_EQ(window().Toolbar->ButtonIndexOf(item("miChildFirst")), -1);

    // No section of its own: every default, no place.
    TTBCustomItem* bare = item("miNoSection");
    ASSERT_NE(bare, nullptr);
    EXPECT_NE(dynamic_cast<kit::TTBItem*>(bare), nullptr);
    EXPECT_EQ(bare->Parent(), nullptr);
    EXPECT_EQ(bare->Caption(), "");
    EXPECT_EQ(bare->ImageIndex(), -1);
    EXPECT_TRUE(bare->Visible());

    // Components that are not items never take children ("toolbar" finds the
    // toolbar control, component names ignoring case); nor does the item itself.
    for (const char* name : {"miInBox", "miInMenu", "miInToolbarControl", "miSelf"}) {
        ASSERT_NE(item(name), nullptr) << name;
        EXPECT_EQ(item(name)->Parent(), nullptr) << name;
    }
    EXPECT_EQ(window().popupMain->Items()->Children().size(), 5u);
}

TEST_F(Builder, ImageIndexGoesThroughTheIconsSection) {
    installExampleIcons();
    writeConfig("[Toolbar Items]\r\nmiNoKey=\r\nmiMapped=\r\nmiDefault=\r\nmiDefaultMapped=\r\n"
                "[miNoKey]\r\nImageIndex=3\r\nParent=Toolbar\r\n"
                "[miMapped]\r\nImageIndex=4\r\nParent=Toolbar\r\n"
                "[miDefault]\r\nParent=Toolbar\r\n"
                "[Icons]\r\n4=0\r\n-1=2\r\n");
    createWindow();
    EXPECT_EQ(window().IconList->Count(), 9);
    EXPECT_EQ(item("miNoKey")->ImageIndex(), -1);
    EXPECT_EQ(item("miMapped")->ImageIndex(), 0);
    EXPECT_EQ(button(item("miMapped")).iBitmap, 0);
    EXPECT_EQ(button(item("miNoKey")).iBitmap, I_IMAGENONE);
    // Without "ImageIndex" the key "-1" is looked up.
    EXPECT_EQ(item("miDefault")->ImageIndex(), 2);
}

TEST_F(Builder, SearchSectionCountMakesThePlainOrSplitButton) {
    struct Case {
        const char* count;
        bool submenu, arrow;
    };
    for (const Case c : {Case{"", false, false}, Case{"Count=0\r\n", false, false}, Case{"Count=2\r\n", true, true},
                         Case{"Count=-1\r\n", true, false}}) {
        SCOPED_TRACE(c.count);
        writeConfig("[Toolbar Items]\r\nmiSearch=\r\nmiWeb=\r\n"
                    "[miSearch]\r\nCaption=Find\r\nURL=http://ignored.example/\r\nTag=4\r\nParent=Toolbar\r\n" +
                    std::string(c.count) +
                    "[miWeb]\r\nCaption=Web\r\nURL=http://web.example/?q=[search]\r\nTag=1\r\nParent=miSearch\r\n");
        createWindow();
        TTBCustomItem* search = window().SearchButton;
        ASSERT_NE(search, nullptr);
        EXPECT_EQ(search->Name(), "miSearch");
        EXPECT_EQ(search->IsSubmenu(), c.submenu);
        EXPECT_EQ(search->IsDropdownCombo(), c.arrow);
        EXPECT_EQ(search->Options().Contains(kit::tboDropdownArrow), c.arrow);
        EXPECT_EQ(bool(button(search).fsStyle & BTNS_DROPDOWN), c.arrow);
        // Its own URL and Tag are dropped; search type 1 (nothing stored) selects the engine.
        EXPECT_EQ(search->Hint(), "");
        EXPECT_EQ(search->Tag, 1);
        EXPECT_EQ(search->Caption(), "Web");
        EXPECT_EQ(item("miWeb")->Parent(), search);
        destroyWindow();
        deleteKeyValue("Search Type");
    }
}

TEST_F(Builder, InvisibleSearchSectionHidesButtonAndSearchBox) {
    writeConfig("[Toolbar Items]\r\nmiSearch=\r\n[miSearch]\r\nCaption=Search\r\nVisible=0\r\nParent=Toolbar\r\n");
    createWindow();
    EXPECT_FALSE(window().SearchButton->Visible());
    EXPECT_FALSE(window().SearchBox->Visible());
    EXPECT_FALSE(IsWindowVisible(window().SearchBox->Handle()));
    EXPECT_TRUE(button(window().SearchButton).fsState & TBSTATE_HIDDEN);
}

TEST_F(Builder, OptionsReachTheWidgetsAndTheSettings) {
    installExampleBanner();
    writeConfig("", "Bitmap Transparent=1\r\nToolbar Full Size=0\r\nSearch Width=210\r\nSearch Dynamic=0\r\n");
    kg::LoadToolbarSettings();
    kg::ToolbarSettings().ToolbarFullSize = true;
    createWindow();
    EXPECT_TRUE(window().Image->Transparent());
    EXPECT_EQ(window().Image->Picture().width, 105);
    EXPECT_EQ(window().SearchBox->Width(), 210);
    EXPECT_FALSE(kg::ToolbarSettings().ToolbarFullSize);
    EXPECT_FALSE(kg::ToolbarSettings().SearchDynamic);
    EXPECT_EQ(window().Caption(), kgtest::kToolbarName);
}

TEST_F(Builder, DefaultsWithoutAnyConfiguration) {
    createWindow();
    EXPECT_TRUE(platform_.messageBoxes.empty());
    EXPECT_EQ(topLevelNames(), (std::vector<std::string>{"TBControlItem1", "TBSeparatorItem1", "TBControlItem2",
                                                         "miSearch"}));
    EXPECT_FALSE(window().Image->Transparent());
    EXPECT_EQ(window().SearchBox->Width(), 145);
    EXPECT_TRUE(kg::ToolbarSettings().ToolbarFullSize);
    EXPECT_TRUE(kg::ToolbarSettings().SearchDynamic);
    EXPECT_EQ(window().popupMain->Images(), window().IconList_Main);
    EXPECT_EQ(window().popupMain->LinkSubitems(), nullptr);
    // The design picture stays.
    EXPECT_EQ(window().Image->Picture().width, 105);
    EXPECT_EQ(window().Image->Picture().height, 22);
}

// A folder where a file of the install folder should be is a missing file:
// the build goes on with the defaults and reports nothing.
TEST_F(Builder, FoldersInTheFilesPlacesCountAsMissingFiles) {
    for (const std::string& name : {std::string(kgtest::kToolbarFile) + ".ini", std::string(kgtest::kToolbarFile) + ".bmp",
                                    std::string("Icons.bin")})
        std::filesystem::create_directories(installFile(name));
    createWindow();
    EXPECT_TRUE(platform_.messageBoxes.empty());
    EXPECT_EQ(topLevelNames(), (std::vector<std::string>{"TBControlItem1", "TBSeparatorItem1", "TBControlItem2",
                                                         "miSearch"}));
    ASSERT_NE(window().SearchButton, nullptr);
    EXPECT_GE(window().Toolbar->ButtonIndexOf(window().SearchButton), 0);
    EXPECT_EQ(window().SearchBox->Width(), 145);
    EXPECT_EQ(window().Caption(), kgtest::kToolbarName);  // the creation went on after the build
    EXPECT_NE(window().HistoryList, nullptr);
}

// Three engines; the first two share Tag 2.
const char kEngines[] = "[Toolbar Items]\r\nmiSearch=\r\nmiOne=\r\nmiTwo=\r\nmiTwoAgain=\r\nmiFolder=\r\n"
                        "[miSearch]\r\nCaption=Search\r\nCount=3\r\nParent=Toolbar\r\n"
                        "[miOne]\r\nCaption=One\r\nImageIndex=1\r\nURL=http://one/[search]\r\nTag=1\r\n"
                        "GroupIndex=1\r\nParent=miSearch\r\n"
                        "[miTwo]\r\nCaption=Two\r\nImageIndex=2\r\nURL=http://two/[search]\r\nTag=2\r\n"
                        "GroupIndex=1\r\nParent=miSearch\r\n"
                        "[miTwoAgain]\r\nCaption=Two again\r\nURL=http://two-again/\r\nTag=2\r\n"
                        "GroupIndex=1\r\nParent=miSearch\r\n"
                        "[miFolder]\r\nCaption=Folder\r\nTag=4\r\nParent=miSearch\r\n"
                        "[Icons]\r\n1=5\r\n2=6\r\n";

TEST_F(Builder, StoredSearchTypeSelectsTheFirstPlainItemWithThatTag) {
    writeConfig(kEngines);
    setKeyValue("Search Type", "2");
    setKeyValue("Search", "kestrels");
    createWindow();
    TTBCustomItem* search = window().SearchButton;
    EXPECT_EQ(search->Caption(), "Two");
    EXPECT_EQ(search->ImageIndex(), 6);
    EXPECT_EQ(search->Tag, 2);
    EXPECT_EQ(window().SearchTemplate, "http://two/[search]");
    EXPECT_TRUE(item("miTwo")->Checked());
    EXPECT_FALSE(item("miTwoAgain")->Checked());
    EXPECT_FALSE(item("miOne")->Checked());
    EXPECT_EQ(window().SearchBox->Text(), "kestrels");
    EXPECT_EQ(window().SearchBox->ItemIndex(), -1);
}

TEST_F(Builder, StoredSearchTypeThatSelectsNoEngine) {
    writeConfig(kEngines);
    // A number that matches no tag leaves the button as configured; a missing
    // or unreadable one tries engine 1.
    struct Case {
        const char* stored;  // nullptr: no value
        const char* caption;
        int tag;
        const char* searchTemplate;  // nullptr: the configured search URL
    };
    for (const Case& c : {Case{"5", "Search", 0, nullptr}, Case{"0", "Search", 0, nullptr},
                          Case{"31", "Search", 0, nullptr}, Case{"-2", "Search", 0, nullptr},
                          Case{"", "One", 1, "http://one/[search]"}, Case{"two", "One", 1, "http://one/[search]"},
                          Case{"2x", "One", 1, "http://one/[search]"}, Case{nullptr, "One", 1, "http://one/[search]"}}) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        if (c.stored)
            setKeyValue("Search Type", c.stored);
        else
            deleteKeyValue("Search Type");
        createWindow();
        EXPECT_EQ(window().SearchButton->Caption(), c.caption);
        EXPECT_EQ(window().SearchButton->Tag, c.tag);
        EXPECT_EQ(window().SearchTemplate, c.searchTemplate ? c.searchTemplate : kg::ToolbarSettings().SearchURL);
        EXPECT_EQ(item("miOne")->Checked(), c.tag == 1);
        destroyWindow();
    }
}

TEST_F(Builder, SubmenuItemsAreNotEngines) {
    // Tag 4 is only on a plain item listed after a submenu item with Tag 4.
    writeConfig("[Toolbar Items]\r\nmiSearch=\r\nmiFourSubMenu=\r\nmiFour=\r\n"
                "[miSearch]\r\nCount=2\r\nParent=Toolbar\r\n"
                "[miFourSubMenu]\r\nCaption=Folder\r\nTag=4\r\nParent=miSearch\r\n"
                "[miFour]\r\nCaption=Four\r\nURL=http://four/\r\nTag=4\r\nParent=miSearch\r\n");
    setKeyValue("Search Type", "4");
    createWindow();
    EXPECT_EQ(window().SearchButton->Caption(), "Four");
    EXPECT_EQ(window().SearchTemplate, "http://four/");
    EXPECT_FALSE(item("miFourSubMenu")->Checked());
}

TEST_F(Builder, MainMenuLinksTheContextMenuToAnItemsChildren) {
    installExampleIcons();
    writeConfig("[Toolbar Items]\r\nmiMenu=\r\nmiMenuHome=\r\nmiMenuSeparator=\r\nmiMenuClose=\r\n"
                "[miMenu]\r\nCaption=Menu\r\n"
                "[miMenuHome]\r\nCaption=&Home\r\nImageIndex=0\r\nURL=http://home/\r\nParent=miMenu\r\n"
                "[miMenuSeparator]\r\nParent=miMenu\r\n"
                "[miMenuClose]\r\nCaption=Close Toolbar\r\nURL=[CLOSE]\r\nParent=miMenu\r\n"
                "[Icons]\r\n0=3\r\n",
                "Main Menu=miMenu\r\n");
    createWindow();
    EXPECT_EQ(kg::ToolbarSettings().MainMenu, "miMenu");
    EXPECT_EQ(window().popupMain->LinkSubitems(), item("miMenu"));
    EXPECT_EQ(window().popupMain->Images(), window().IconList);

    kit::TTBMenuMap map;
    EXPECT_EQ(mainMenuEntries(map), (std::vector<std::string>{"&Home", "-", "Close Toolbar"}));
    const UINT home = map.CommandOf(item("miMenuHome"));
    ASSERT_NE(home, 0u);
    EXPECT_EQ(map.ImagesOf(home), window().IconList);
    EXPECT_EQ(map.ImageIndexOf(home), 3);
}

TEST_F(Builder, MainMenuNamingNoItemKeepsTheFixedEntriesWithTheToolbarIcons) {
    for (const char* name : {"miNothing", "SearchBox", "popupSearch"}) {
        SCOPED_TRACE(name);
        writeConfig("", std::string("Main Menu=") + name + "\r\n");
        createWindow();
        EXPECT_EQ(window().popupMain->LinkSubitems(), nullptr);
        EXPECT_EQ(window().popupMain->Images(), window().IconList);
        kit::TTBMenuMap map;
        EXPECT_EQ(mainMenuEntries(map), (std::vector<std::string>{"Toolbar Support", "Toolbar Website", "-",
                                                                  "About Toolbar...", "Close Toolbar"}));
        destroyWindow();
    }
}

TEST_F(Builder, UnreadableIconFileLeavesNoIconsAndTheMenuWithoutImages) {
    writeFile("Icons.bin", "\xFF\x0A\x00not an image list");
    writeConfig("[Toolbar Items]\r\nmiHome=\r\n[miHome]\r\nCaption=Home\r\nImageIndex=0\r\nParent=Toolbar\r\n"
                "[Icons]\r\n0=0\r\n",
                "Main Menu=miHome\r\n");
    createWindow();
    EXPECT_TRUE(platform_.messageBoxes.empty());
    EXPECT_EQ(window().IconList->Count(), 0);
    EXPECT_EQ(window().popupMain->Images(), nullptr);
    ASSERT_NE(item("miHome"), nullptr);
    EXPECT_EQ(item("miHome")->Parent(), window().Toolbar->Items());
}

TEST_F(Builder, InvalidOrDuplicateNameEndsTheBuildWithTheErrorBox) {
    struct Case {
        const char* name;
        const char* message;
    };
    for (const Case c : {Case{"2nd Item", "''2nd Item'' is not a valid component name"},
                         Case{"MIHOME", "A component named MIHOME already exists"},
                         Case{"searchbox", "A component named searchbox already exists"}}) {
        SCOPED_TRACE(c.name);
        writeConfig(std::string("[Toolbar Items]\r\nmiHome=\r\nmiBad=\r\nmiSearch=\r\nmiAfter=\r\n"
                                "[miHome]\r\nCaption=Home\r\nParent=Toolbar\r\n"
                                "[miBad]\r\nCaption=Bad\r\nParent=Toolbar\r\nName=") +
                    c.name + "\r\n[miSearch]\r\nCount=1\r\nParent=Toolbar\r\n[miAfter]\r\nParent=Toolbar\r\n");
        setKeyValue("Search Type", "7");
        createWindow();
        EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Configuration file \"" +
                                                        installFile("TestBar.ini").string() +
                                                        "\": section [miBad]: " + c.message}));
        EXPECT_EQ(platform_.messageBoxes[0].type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
        // The window exists and is shown; items before the bad one remain.
        EXPECT_TRUE(window().HandleAllocated());
        EXPECT_TRUE(GetWindowLongPtrA(window().Handle(), GWL_STYLE) & WS_VISIBLE);
        EXPECT_NE(item("miHome"), nullptr);
        EXPECT_EQ(item("miHome")->Parent(), window().Toolbar->Items());
        // The toolbar's batch ended with the build: the item has its button.
        EXPECT_FALSE(button(item("miHome")).fsState & TBSTATE_HIDDEN);
        EXPECT_EQ(item("miAfter"), nullptr);
        EXPECT_EQ(window().SearchButton, nullptr);
        // The rest of the creation was skipped: no caption.
        EXPECT_EQ(window().Caption(), "");
        // Nothing built a search button, so only "Search" is stored.
        destroyWindow();
        EXPECT_EQ(kgtest::storedValue("Search Type").text, "7");
        EXPECT_TRUE(kgtest::storedValue("Search").exists);
        platform_.messageBoxes.clear();
    }
}

TEST_F(Builder, UnreadableBannerPictureEndsTheBuild) {
    writeFile(std::string(kgtest::kToolbarFile) + ".bmp", "BM not really a bitmap");
    writeConfig("[Toolbar Items]\r\nmiHome=\r\n[miHome]\r\nParent=Toolbar\r\n");
    createWindow();
    ASSERT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_EQ(item("miHome"), nullptr);
    EXPECT_EQ(window().SearchButton, nullptr);
    EXPECT_EQ(window().Image->Picture().width, 105);  // the design picture stays
    EXPECT_TRUE(GetWindowLongPtrA(window().Handle(), GWL_STYLE) & WS_VISIBLE);
}

} // namespace
