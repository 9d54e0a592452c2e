#pragma once
// The toolbar window: the form that the band hosts inside the browser's band
// site. It is designed with a dock holding one full-width toolbar (banner,
// separator, search box), two context menus, two file dialogs and two image
// lists; the builder adds the configured items at run time. All behaviour
// lives in event handlers; the member functions are split over files by
// concern (FormLifecycle.cpp, Builder.cpp, ...).
#include "kit/Form.h"
#include "kit/Handles.h"
#include "toolbar/BrowserHost.h"
#include "kit/OleVariant.h"
#include "kit/Platform.h"
#include "toolbar/SearchHistory.h"

#include <windows.h>
#include <exdisp.h>

#include <memory>
#include <string>
#include <vector>

namespace kit {
class TTBDock;
class TTBToolbar;
class TTBToolWindow;
class TTBCustomItem;
class TTBItem;
class TTBSeparatorItem;
class TTBControlItem;
class TTBPopupMenu;
class TImage;
class TComboBox;
class TOpenDialog;
class TSaveDialog;
class TImageList;
} // namespace kit

namespace kg {
class TShockwaveFlash;
} // namespace kg

namespace config {
class TBigIniFile;
} // namespace config

namespace kg {

class TformToolbar : public kit::TForm {
public:
    // Builds the window as a child of `siteWindow`: the designed widgets,
    // FormCreate (the builder first), then the window is shown (FormShow).
    // Errors inside FormCreate and FormShow are reported by the kit's error
    // report; the window is created and shown all the same.
    explicit TformToolbar(HWND siteWindow);
    // FormDestroy first, then the widgets and the fields.
    ~TformToolbar() override;

    // ---- designed widgets, in creation order; all owned by the window
    kit::TTBDock* Dock = nullptr;
    kit::TTBToolbar* Toolbar = nullptr;
    kit::TTBControlItem* TBControlItem1 = nullptr;
    kit::TTBSeparatorItem* TBSeparatorItem1 = nullptr;
    kit::TTBControlItem* TBControlItem2 = nullptr;
    kit::TTBToolWindow* FlashToolbar = nullptr;
    kit::TImage* Image = nullptr;
    kit::TComboBox* SearchBox = nullptr;

    kit::TTBPopupMenu* popupMain = nullptr;
    kit::TTBItem* miSupport = nullptr;
    kit::TTBItem* miWebsite = nullptr;
    kit::TTBSeparatorItem* TBSeparatorItem2 = nullptr;
    kit::TTBItem* miAbout = nullptr;
    kit::TTBItem* miClose = nullptr;

    kit::TTBPopupMenu* popupSearch = nullptr;
    kit::TTBItem* miCut = nullptr;
    kit::TTBItem* miCopy = nullptr;
    kit::TTBItem* miPaste = nullptr;
    kit::TTBItem* miDelete = nullptr;
    kit::TTBSeparatorItem* TBSeparatorItem3 = nullptr;
    kit::TTBItem* miSelectAll = nullptr;
    kit::TTBSeparatorItem* TBSeparatorItem4 = nullptr;
    kit::TTBItem* miSaveSearches = nullptr;
    kit::TTBItem* miLoadSearches = nullptr;
    kit::TTBItem* miEditHistory = nullptr;
    kit::TTBItem* miRefreshSearches = nullptr;
    kit::TTBSeparatorItem* TBSeparatorItem5 = nullptr;
    kit::TTBItem* miRemoveSelected = nullptr;
    kit::TTBItem* miClearSearches = nullptr;

    kit::TOpenDialog* OpenDialog1 = nullptr;
    kit::TSaveDialog* SaveDialog1 = nullptr;
    kit::TImageList* IconList = nullptr;
    kit::TImageList* IconList_Main = nullptr;

    // ---- run-time fields
    // The search button (a submenu item when engines are configured); owned
    // by the window, never null once the build got that far. Its Tag is the
    // search type.
    kit::TTBCustomItem* SearchButton = nullptr;
    // The banner's Flash player, owned by the window; null without a player.
    TShockwaveFlash* FlashPlayer = nullptr;
    std::string SearchTemplate;
    // The per-user history file; LegacyHistoryFileName is the install
    // folder's, which earlier versions wrote.
    std::string HistoryFileName;
    std::string LegacyHistoryFileName;
    // The search history, which the search box shows.
    std::unique_ptr<SearchHistory> HistoryList;
    std::string LastStatusText;
    kit::OleVariant SpareBrowser;

    // The hosting browser: none until the band attaches one (nothing in the
    // creation sequence has a browser). The window shares the link so that a
    // handler that asked the browser something keeps it while the browser
    // closes the band.
    void AttachBrowser(std::shared_ptr<BrowserHost> browser) noexcept { hostBrowser_ = std::move(browser); }
    BrowserHost* HostBrowser() const noexcept { return hostBrowser_.get(); }

    // ---- handlers and operations
    void FormCreate(kit::TComponent* Sender);
    void FormShow(kit::TComponent* Sender);
    void FormDestroy(kit::TComponent* Sender);
    void FormCanResize(kit::TComponent* Sender, int& NewWidth, int& NewHeight, bool& Resize);
    void ToolbarMouseMove(kit::TComponent* Sender, unsigned Shift, int X, int Y);
    void miCloseClick(kit::TComponent* Sender);
    // Asks the browser to hide this band; without a browser, greys "Close Toolbar".
    void HideBand();
    // Fills the toolbar from the configuration (runs inside FormCreate).
    void BuildToolbar();
    // The day of the last splash ("Date"); an unreadable value is replaced by
    // yesterday, which is stored (a failure to store it is raised).
    kit::CalendarDate ReadDailyStamp();

    // ---- the banner
    // Creates FlashPlayer, hidden in FlashToolbar, when a player is installed
    // and "Flash URL" names a movie; a player that cannot be made leaves the picture.
    void CreateFlashBanner();
    // The player's OnReadyStateChange: once the movie is complete the player replaces the picture and plays.
    void FlashReadyStateChange(kit::TComponent* Sender, long newState);
    void FreeFlashPlayer();

    // ---- the search box and its history
    // Navigates to `urlTemplate` (the setting "Search URL" when empty) with
    // `text` in place of its first "[search]", or appended; a non-empty text
    // is first recorded in the history. A history that cannot be written is
    // reported after the navigation, never instead of it.
    void DoSearch(const std::string& urlTemplate, const std::string& text);
    // Merges the history file and the box's list, and records the box's text
    // when it is new (the file is then written).
    void AddToHistory();
    // Makes `engine` the selected search engine: its template, caption, image and Tag.
    void SelectSearchEngine(const kit::TTBCustomItem& engine);
    // The history file read into HistoryList, which the box shows (window creation).
    void LoadSearchHistory();
    void MISearchClick(kit::TComponent* Sender);
    void SearchBoxKeyPress(kit::TComponent* Sender, char& Key);
    void miCutClick(kit::TComponent* Sender);
    void miCopyClick(kit::TComponent* Sender);
    void miPasteClick(kit::TComponent* Sender);
    void miDeleteClick(kit::TComponent* Sender);
    void miSelectAllClick(kit::TComponent* Sender);
    void miSaveSearchesClick(kit::TComponent* Sender);
    void miLoadSearchesClick(kit::TComponent* Sender);
    void miEditHistoryClick(kit::TComponent* Sender);
    void miRefreshSearchesClick(kit::TComponent* Sender);
    void miRemoveSelectedClick(kit::TComponent* Sender);
    void miClearSearchesClick(kit::TComponent* Sender);

    // ---- commands of the items, the fixed menu entries and the banner
    void MIClick(kit::TComponent* Sender);
    void MIDirectURLClick(kit::TComponent* Sender);
    void eMailClick(kit::TComponent* Sender);
    void ImageClick(kit::TComponent* Sender);
    void AboutClick(kit::TComponent* Sender);

private:
    std::shared_ptr<BrowserHost> hostBrowser_;

    void createDesignedWidgets();
    void createMainMenu();
    void createSearchMenu();
    void sendStatusText();
    // One item of "Toolbar Items", from its section.
    void buildItem(config::TBigIniFile& ini, const std::string& section);
    // Selects the engine of the stored "Search Type".
    void restoreSearchType();
    void wireDesignedHandlers();
    // The window got as far as its history: the list is made and the file named.
    bool historyFileKnown() const noexcept { return HistoryList && !HistoryFileName.empty(); }
    // The file a read of the history uses: HistoryFileName, or the legacy
    // file while HistoryFileName does not exist.
    const std::string& historyFileToRead() const;
    void navigate(const std::string& url);
    // The history freed, the box no longer showing it.
    void dropHistory() noexcept;
};

} // namespace kg
