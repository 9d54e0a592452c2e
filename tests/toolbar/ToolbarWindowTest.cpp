// The toolbar window's design and life: the widgets it is made with, the
// creation and destruction sequences, "Close Toolbar", the width rule and the
// status text, with the stand-in browser as the hosting browser.
#include "tests/toolbar/ToolbarFixture.h"

#include "kit/ComboBox.h"
#include "kit/Dialogs.h"
#include "core/Error.h"
#include "kit/Image.h"
#include "kit/ImageList.h"
#include "kit/Items.h"
#include "kit/PopupMenu.h"
#include "kit/Toolbar.h"

#include <commctrl.h>

using kit::TTBCustomItem;
using kgtest::ToolbarWindowTest;

namespace {

class ToolbarWindow : public ToolbarWindowTest {};

TEST_F(ToolbarWindow, IsMadeOfItsDesignedWidgetsInOrder) {
    kg::TformToolbar& w = createWindow();
    std::vector<std::string> names;
    for (kit::TComponent* c : w.OwnedComponents()) names.push_back(c->Name());
    const std::vector<std::string> designed{
        "Dock", "Toolbar", "TBControlItem1", "TBSeparatorItem1", "TBControlItem2", "FlashToolbar", "Image",
        "SearchBox", "popupMain", "miSupport", "miWebsite", "TBSeparatorItem2", "miAbout", "miClose",
        "popupSearch", "miCut", "miCopy", "miPaste", "miDelete", "TBSeparatorItem3", "miSelectAll",
        "TBSeparatorItem4", "miSaveSearches", "miLoadSearches", "miEditHistory", "miRefreshSearches",
        "TBSeparatorItem5", "miRemoveSelected", "miClearSearches", "OpenDialog1", "SaveDialog1", "IconList",
        "IconList_Main", "miSearch"};
    EXPECT_EQ(names, designed);

    // The window is a visible child of the band site with its caption and focus control.
    EXPECT_EQ(GetParent(w.Handle()), w.ParentWindow());
    EXPECT_TRUE(GetWindowLongPtrA(w.Handle(), GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(GetWindowLongPtrA(w.Handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(w.Caption(), kgtest::kToolbarName);
    EXPECT_EQ(w.ActiveControl, w.SearchBox);
    EXPECT_EQ(w.PopupMenu, w.popupMain);
    EXPECT_EQ(w.SearchBox->PopupMenu, w.popupSearch);
    EXPECT_EQ(w.Toolbar->Images(), w.IconList);
    EXPECT_EQ(w.TBControlItem1->Control(), w.FlashToolbar);
    EXPECT_EQ(w.TBControlItem2->Control(), w.SearchBox);
    EXPECT_EQ(w.Image->Parent(), w.FlashToolbar);
    EXPECT_TRUE(w.SearchBox->Sorted());
    EXPECT_EQ(w.SearchBox->DropDownCount, 16);
    EXPECT_EQ(w.IconList_Main->Count(), 13);
    EXPECT_EQ(w.popupSearch->Images(), w.IconList_Main);
    EXPECT_EQ(w.LastStatusText, "");
    ASSERT_NE(w.HistoryList, nullptr);
    EXPECT_EQ(w.HistoryList->Count(), 0);
    EXPECT_EQ(w.HistoryFileName, (kgtest::userStateFolder() / kgtest::kToolbarName).string() + ".txt");
    EXPECT_EQ(w.LegacyHistoryFileName, installPath() + "\\" + kgtest::kToolbarName + ".txt");

    for (kit::TOpenDialog* dialog : {w.OpenDialog1, static_cast<kit::TOpenDialog*>(w.SaveDialog1)}) {
        EXPECT_EQ(dialog->DefaultExt, ".txt");
        EXPECT_EQ(dialog->FileName, "Toolbar Searches.txt");
        EXPECT_EQ(dialog->Filter, "Text files (*.txt)|*.txt|All files (*.*)|*.*");
    }
}

TEST_F(ToolbarWindow, ContextMenusShowTheirFixedEntries) {
    kg::TformToolbar& w = createWindow();
    // Hints are not shown in a menu: the five that have one.
    EXPECT_EQ(w.miCut->Hint(), "Cut|Cuts the selection and puts it on the Clipboard");
    EXPECT_EQ(w.miCopy->Hint(), "Copy|Copies the selection and puts it on the Clipboard");
    EXPECT_EQ(w.miPaste->Hint(), "Paste|Inserts Clipboard contents");
    EXPECT_EQ(w.miDelete->Hint(), "Delete|Erases the selection");
    EXPECT_EQ(w.miSelectAll->Hint(), "Select All|Selects the entire document");

    // The real menu: entries with shortcuts after a tab, separators where designed.
    kit::TTBMenuMap map;
    kit::unique_hmenu menu = w.popupSearch->BuildMenu(map);
    std::vector<std::string> shown;
    for (int i = 0; i < GetMenuItemCount(menu.get()); ++i) {
        char text[256] = {};
        GetMenuStringA(menu.get(), static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        shown.push_back(GetMenuState(menu.get(), static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR ? "-" : text);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V", "&Delete\tDel", "-",
                                               "Select &All", "-", "Save Searches To File",
                                               "Load Searches From File", "Edit History File in Text Editor",
                                               "Refresh Searches", "-", "Remove Selected From List",
                                               "Clear Search Box History"}));
    // Images 0 to 10 of the built-in list, in menu order.
    int expectedImage = 0;
    for (TTBCustomItem* entry : w.popupSearch->Items()->Children()) {
        if (entry->IsSeparator()) continue;
        EXPECT_EQ(map.ImagesOf(map.CommandOf(entry)), w.IconList_Main);
        EXPECT_EQ(map.ImageIndexOf(map.CommandOf(entry)), expectedImage++) << entry->Name();
    }

    EXPECT_EQ(w.miSupport->Caption(), "Toolbar Support");
    EXPECT_EQ(w.miSupport->ImageIndex(), 12);
    EXPECT_EQ(w.miWebsite->Caption(), "Toolbar Website");
    EXPECT_EQ(w.miWebsite->ImageIndex(), 11);
    EXPECT_EQ(w.miAbout->Caption(), "About Toolbar...");
    EXPECT_EQ(w.miAbout->ImageIndex(), -1);
    EXPECT_EQ(w.miClose->Caption(), "Close Toolbar");
}

TEST_F(ToolbarWindow, HistoryFileGoesToTheHostProgramsFolderWithoutInstallPath) {
    setKeyValue("InstallPath", "");
    kg::TformToolbar& w = createWindow();
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string folder(exe);
    folder.erase(folder.find_last_of('\\') + 1);
    EXPECT_EQ(w.LegacyHistoryFileName, folder + "\\" + kgtest::kToolbarName + ".txt");
}

TEST_F(ToolbarWindow, DestructionStoresSearchTypeAndTextAsStrings) {
    writeConfig("[Toolbar Items]\r\nmiSearch=\r\nmiNews=\r\n"
                "[miSearch]\r\nCount=1\r\nParent=Toolbar\r\n"
                "[miNews]\r\nCaption=News\r\nURL=http://news/?q=[search]\r\nTag=3\r\nParent=miSearch\r\n");
    setKeyValue("Search Type", "3");
    kg::TformToolbar& w = createWindow();
    EXPECT_EQ(w.SearchButton->Tag, 3);
    w.SearchBox->SetText("news");
    destroyWindow();
    const kgtest::StoredValue type = kgtest::storedValue("Search Type");
    const kgtest::StoredValue text = kgtest::storedValue("Search");
    EXPECT_EQ(type.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(type.text, "3");
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text.text, "news");

    // No engine selected: "0", and the next build selects nothing.
    kg::TformToolbar& again = createWindow();
    EXPECT_EQ(again.SearchBox->Text(), "news");
    again.SearchButton->Tag = 0;
    again.SearchBox->SetText("");
    destroyWindow();
    EXPECT_EQ(kgtest::storedValue("Search Type").text, "0");
    EXPECT_EQ(kgtest::storedValue("Search").text, "");
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(ToolbarWindow, CloseToolbarAsksTheBrowserToHideTheBand) {
    kg::TformToolbar& w = createWindow();
    attachBrowser();
    w.miClose->Click();
    ASSERT_EQ(browser().browserBarCalls().size(), 1u);
    const bandhost::ShowBrowserBarCall& call = browser().browserBarCalls()[0];
    EXPECT_EQ(call.clsid.type(), VT_BSTR);
    EXPECT_EQ(call.clsidText, L"{6E3C1A52-9B47-4C1D-8F2A-5D7B3E9C0A41}");
    EXPECT_EQ(call.show.type(), VT_BOOL);
    EXPECT_FALSE(call.showValue);
    EXPECT_EQ(call.size.type(), VT_I4);
    EXPECT_EQ(call.sizeValue, 0);
    EXPECT_TRUE(w.miClose->Enabled());
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(ToolbarWindow, CloseToolbarFailureIsReported) {
    kg::TformToolbar& w = createWindow();
    attachBrowser();
    browser().setShowBrowserBarResult(E_ACCESSDENIED);
    w.miClose->Click();
    EXPECT_EQ(browser().browserBarCalls().size(), 1u);
    ASSERT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_FALSE(platform_.messageBoxes[0].text.empty());
    EXPECT_EQ(platform_.messageBoxes[0].type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
    EXPECT_THROW(w.HideBand(), kit::OSError);
}

TEST_F(ToolbarWindow, CloseToolbarWithoutBrowserGreysTheEntry) {
    kg::TformToolbar& w = createWindow();
    w.miClose->Click();
    EXPECT_FALSE(w.miClose->Enabled());
    EXPECT_TRUE(platform_.messageBoxes.empty());
    // Greyed in the real menu, and a further click does nothing.
    kit::TTBMenuMap map;
    kit::unique_hmenu menu = w.popupMain->BuildMenu(map);
    EXPECT_TRUE(GetMenuState(menu.get(), map.CommandOf(w.miClose), MF_BYCOMMAND) & MF_GRAYED);
    attachBrowser();
    w.miClose->Click();
    EXPECT_TRUE(browser().browserBarCalls().empty());
}

// A build that ends with an error leaves no search button and no history
// list; every handler the window still has must do without them.
TEST_F(ToolbarWindow, HandlersWorkAfterABuildThatEndedWithAnError) {
    writeConfig("[Toolbar Items]\r\nmiHome=\r\nmiBad=\r\nmiSearch=\r\n"
                "[miHome]\r\nCaption=Home\r\nParent=Toolbar\r\n"
                "[miBad]\r\nName=miHome\r\nParent=Toolbar\r\n"
                "[miSearch]\r\nCount=1\r\nParent=Toolbar\r\n");
    kg::TformToolbar& w = createWindow();
    ASSERT_EQ(boxTexts(), (std::vector<std::string>{"Configuration file \"" + installFile("TestBar.ini").string() +
                                                    "\": section [miBad]: A component named miHome already exists"}));
    ASSERT_EQ(w.SearchButton, nullptr);
    ASSERT_EQ(w.HistoryList, nullptr);
    const HWND handle = w.Handle();
    attachBrowser();

    w.SetBounds(0, 0, 700, 25);  // the width rule
    EXPECT_EQ(w.Width(), 980);
    auto* home = dynamic_cast<TTBCustomItem*>(w.FindComponent("miHome"));
    ASSERT_NE(home, nullptr);
    const RECT r = w.Toolbar->ItemRect(home);
    ASSERT_LT(r.left, r.right);
    const HWND toolbar = w.Toolbar->Handle();
    SendMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    SendMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(r.right + 60, (r.top + r.bottom) / 2));
    EXPECT_EQ(browser().statusTexts(), (std::vector<std::wstring>{L"Home", L""}));
    w.miClose->Click();
    EXPECT_EQ(browser().browserBarCalls().size(), 1u);
    w.SearchBox->SetText("after the error");

    destroyWindow();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_FALSE(kgtest::storedValue("Search Type").exists);
    EXPECT_EQ(kgtest::storedValue("Search").text, "after the error");
}

// A standard user may not write HKEY_LOCAL_MACHINE. Here the toolbar key is
// a path the registry refuses to create (a key name longer than 255
// characters), which fails the same first write of the destruction.
TEST_F(ToolbarWindow, DestructionWithoutWriteAccessReportsTheErrorAndGoesOn) {
    kg::TformToolbar& w = createWindow();
    ASSERT_NE(w.SearchButton, nullptr);
    w.SearchBox->SetText("never stored");
    const HWND handle = w.Handle();
    const HWND toolbar = w.Toolbar->Handle();
    kg::ToolbarSettings().ToolbarKey = "SOFTWARE\\Kestrelgrove Test\\" + std::string(300, 'k');

    destroyWindow();
    ASSERT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_FALSE(platform_.messageBoxes[0].text.empty());
    EXPECT_EQ(platform_.messageBoxes[0].type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(IsWindow(toolbar));
    // The steps after the failed one were skipped: nothing went to the real key either.
    EXPECT_FALSE(kgtest::storedValue("Search Type").exists);
    EXPECT_FALSE(kgtest::storedValue("Search").exists);
}

class WidthRule : public ToolbarWindowTest {
protected:
    kg::TformToolbar& windowOfWidth(int width) {
        kg::TformToolbar& w = createWindow();
        w.SetBounds(0, 0, width, 25);
        EXPECT_EQ(w.Width(), width);
        attachBrowser();
        return w;
    }
};

TEST_F(WidthRule, FullSizeFollowsTheBrowserWidth) {
    kg::TformToolbar& w = windowOfWidth(700);
    w.SetBounds(0, 0, 750, 30);
    EXPECT_EQ(w.Width(), 980);
    EXPECT_EQ(w.Height(), 30);
    // Already 980: refused, whatever the height.
    w.SetBounds(0, 0, 500, 40);
    EXPECT_EQ(w.Width(), 980);
    EXPECT_EQ(w.Height(), 30);
    RECT r{};
    GetWindowRect(w.Handle(), &r);
    EXPECT_EQ(r.right - r.left, 980);
    // The browser grew.
    browser().setWidth(1200);
    w.SetBounds(0, 0, 500, 40);
    EXPECT_EQ(w.Width(), 1180);
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(WidthRule, WithoutFullSizeOrBrowserEveryChangeIsAccepted) {
    writeConfig("", "Toolbar Full Size=0\r\n");
    kg::TformToolbar& w = windowOfWidth(700);
    w.SetBounds(0, 0, 640, 33);
    EXPECT_EQ(w.Width(), 640);
    EXPECT_EQ(w.Height(), 33);

    kg::ToolbarSettings().ToolbarFullSize = true;
    w.AttachBrowser(nullptr);
    w.SetBounds(0, 0, 610, 25);
    EXPECT_EQ(w.Width(), 610);
}

TEST_F(WidthRule, BrowserFailureIsReportedAndTheChangeGoesThrough) {
    kg::TformToolbar& w = windowOfWidth(700);
    browser().setWidthResult(E_FAIL);
    w.SetBounds(0, 0, 650, 25);
    EXPECT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_EQ(w.Width(), 650);
}

class StatusText : public ToolbarWindowTest {
protected:
    void SetUp() override {
        ToolbarWindowTest::SetUp();
        writeConfig("[Toolbar Items]\r\nmiA=\r\nmiB=\r\nmiC=\r\n"
                    "[miA]\r\nCaption=&Same\r\nParent=Toolbar\r\n"
                    "[miB]\r\nCaption=&Same\r\nParent=Toolbar\r\n"
                    "[miC]\r\nCaption=Other\r\nParent=Toolbar\r\n");
    }
    // A real mouse move over the centre of an item's button.
    void moveOver(const std::string& name) {
        auto* item = dynamic_cast<TTBCustomItem*>(window().FindComponent(name));
        ASSERT_NE(item, nullptr);
        const RECT r = window().Toolbar->ItemRect(item);
        ASSERT_LT(r.left, r.right) << name;
        moveTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void moveTo(int x, int y) { SendMessageA(window().Toolbar->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    // A point of the toolbar right of every button.
    void moveOverEmptySpace() {
        const RECT last = window().Toolbar->ItemRect(window().SearchButton);
        moveTo(last.right + 40, (last.top + last.bottom) / 2);
    }
};

TEST_F(StatusText, SameCaptionIsSentOnceEmptySpaceEveryTime) {
    kg::TformToolbar& w = createWindow();
    w.SetBounds(0, 0, 900, 26);
    attachBrowser();
    moveOver("miA");
    moveOver("miA");
    moveOver("miB");  // another item, the same caption
    moveOver("miC");
    moveOverEmptySpace();
    moveOverEmptySpace();
    moveOver("miC");
    EXPECT_EQ(browser().statusTexts(), (std::vector<std::wstring>{L"&Same", L"Other", L"", L"", L"Other"}));
    EXPECT_EQ(w.LastStatusText, "Other");
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(StatusText, WithoutBrowserNothingIsSent) {
    kg::TformToolbar& w = createWindow();
    w.SetBounds(0, 0, 900, 26);
    moveOver("miC");
    EXPECT_EQ(w.LastStatusText, "Other");
    attachBrowser();
    moveOver("miC");  // unchanged caption: still nothing
    EXPECT_TRUE(browser().statusTexts().empty());
}

TEST_F(StatusText, BrowserFailureIsReported) {
    kg::TformToolbar& w = createWindow();
    w.SetBounds(0, 0, 900, 26);
    attachBrowser();
    browser().setStatusTextResult(E_FAIL);
    moveOver("miA");
    EXPECT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_EQ(browser().statusTexts(), (std::vector<std::wstring>{L"&Same"}));
}

} // namespace
