// The toolbar window's life: construction, the creation, showing and
// destruction sequences.
#include "toolbar/KestrelgroveForm.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "config/UserState.h"
#include "kit/ComboBox.h"
#include "kit/Items.h"
#include "toolbar/HistoryFile.h"

#include <string>
#include <vector>

namespace kg {

namespace {

// The folder of the host program's executable, with its trailing backslash.
std::string hostProgramFolder() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            std::string path(buffer.data(), n);
            const auto slash = path.find_last_of('\\');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

TformToolbar::TformToolbar(HWND siteWindow) : kit::TForm(nullptr) {
    SetParentWindow(siteWindow);
    createDesignedWidgets();
    OnCreate = [this](kit::TComponent* sender) { FormCreate(sender); };
    OnShow = [this](kit::TComponent* sender) { FormShow(sender); };
    OnDestroy = [this](kit::TComponent* sender) { FormDestroy(sender); };
    OnCanResize = [this](kit::TComponent* sender, int& width, int& height, bool& resize) {
        FormCanResize(sender, width, height, resize);
    };
    try {
        FinishCreation();
    } catch (...) {
        // No window came of it: the destruction sequence is for a window that was made.
        OnDestroy = nullptr;
        throw;
    }
}

TformToolbar::~TformToolbar() {
    BeginDestruction();
    // When FormDestroy stopped early: the box outlives this member.
    dropHistory();
}

void TformToolbar::dropHistory() noexcept {
    if (!HistoryList) return;
    if (SearchBox) SearchBox->DropListSource();
    HistoryList.reset();
}

void TformToolbar::FormCreate(kit::TComponent*) {
    BuildToolbar();
    const TToolbarSettings& settings = ToolbarSettings();
    SetCaption(settings.ToolbarName);
    ReadDailyStamp();  // repairs an unreadable "Date" before the window is shown
    CreateFlashBanner();
    HistoryList = std::make_unique<SearchHistory>(HistoryFileName, LegacyHistoryFileName);
    HistoryFileName = UserHistoryFileName();
    // What earlier versions stored beside the configuration. "InstallPath" is
    // read again here: the installation may have moved the toolbar since the
    // settings were loaded.
    std::string folder = GetRegistryData(HKEY_LOCAL_MACHINE, settings.ToolbarKey, "InstallPath");
    if (folder.empty()) folder = hostProgramFolder();
    LegacyHistoryFileName = folder + "\\" + settings.ToolbarName + ".txt";
    LoadSearchHistory();
    LastStatusText.clear();
}

// The per-user history, or the install folder's while the per-user one does
// not exist yet: the first write then creates the per-user file with it all.
const std::string& TformToolbar::historyFileToRead() const {
    if (HistoryList) return HistoryList->FileToRead();
    return HistoryFileName;
}

void TformToolbar::FormDestroy(kit::TComponent*) {
    if (SearchButton) WriteUserValue("Search Type", std::to_string(SearchButton->Tag));
    WriteUserValue("Search", SearchBox->Text());
    dropHistory();
    FreeFlashPlayer();
}

} // namespace kg
