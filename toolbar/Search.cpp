// The search box: searches, the history that records them, the choice of
// search engine and the box's context menu.
#include "toolbar/KestrelgroveForm.h"

#include "config/Settings.h"
#include "config/UserState.h"
#include "kit/Clipboard.h"
#include "kit/ComboBox.h"
#include "kit/Dialogs.h"
#include "core/Error.h"
#include "kit/Items.h"
#include "kit/MessageBox.h"
#include "kit/ComHelpers.h"
#include "toolbar/HistoryFile.h"
#include "toolbar/Navigation.h"
#include "core/SearchUrl.h"
#include "toolbar/ShellHelpers.h"

#include <exception>

namespace kg {

namespace {

constexpr char kFileIOError[] = "File I/O error.";
constexpr char kErrorCaption[] = "Error";

// The fixed box text, then the failure, which names the file.
std::string fileIOError(const kit::InOutError& e) { return std::string(kFileIOError) + "\r\n" + e.what(); }

// Text in the ANSI code page as UTF-8.
std::string ansiToUtf8(const std::string& text) {
    const std::wstring wide = AnsiToWide(text);
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    if (n <= 0) throw kit::Error("The search text cannot be converted to UTF-8");
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

void TformToolbar::navigate(const std::string& url) {
    NavigateTo(HostBrowser(), SpareBrowser, url);
}

void TformToolbar::DoSearch(const std::string& urlTemplate, const std::string& text) {
    const TToolbarSettings& settings = ToolbarSettings();
    std::string query;
    if (!text.empty()) query = settings.SearchEncode ? FormEncode(ansiToUtf8(text)) : PlusForSpaces(text);
    const std::string url = SubstituteSearchText(urlTemplate.empty() ? settings.SearchURL : urlTemplate, query);

    // The user's search goes out even when the history cannot record it.
    std::exception_ptr historyError;
    if (!text.empty()) {
        try {
            AddToHistory();
        } catch (...) {
            historyError = std::current_exception();
        }
    }
    try {
        navigate(url);
    } catch (...) {
        if (historyError) kit::ShowException(historyError);
        throw;
    }
    if (historyError) std::rethrow_exception(historyError);
}

void TformToolbar::AddToHistory() {
    if (!historyFileKnown()) return;
    HistoryList->Record(SearchBox->Text());
}

void TformToolbar::LoadSearchHistory() {
    HistoryList->Show(SearchBox);
    HistoryList->Load();
}

void TformToolbar::SelectSearchEngine(const kit::TTBCustomItem& engine) {
    SearchTemplate = engine.Hint();
    if (!SearchButton) return;
    SearchButton->SetCaption(engine.Caption());
    SearchButton->SetImageIndex(engine.ImageIndex());
    SearchButton->Tag = engine.Tag;
}

void TformToolbar::MISearchClick(kit::TComponent*) {
    DoSearch(SearchTemplate, SearchBox->Text());
}

void TformToolbar::SearchBoxKeyPress(kit::TComponent*, char& Key) {
    if (Key != '\r') return;
    // Swallowed first: a search that fails must not let Enter into the box either.
    Key = 0;
    DoSearch(SearchTemplate, SearchBox->Text());
}

void TformToolbar::miCutClick(kit::TComponent*) {
    kit::Clipboard().SetAsText(SearchBox->Text());
    SearchBox->SetText("");
}

void TformToolbar::miCopyClick(kit::TComponent*) {
    kit::Clipboard().SetAsText(SearchBox->SelText());
}

void TformToolbar::miPasteClick(kit::TComponent*) {
    if (!kit::Clipboard().HasFormat(CF_TEXT)) return;
    SearchBox->SetText(kit::Clipboard().AsText());
}

void TformToolbar::miDeleteClick(kit::TComponent*) {
    SearchBox->SetText("");
}

void TformToolbar::miSelectAllClick(kit::TComponent*) {
    SearchBox->SelectAll();
}

void TformToolbar::miSaveSearchesClick(kit::TComponent*) {
    SaveDialog1->Title = "Save Searches To File";
    if (!SaveDialog1->Execute()) return;
    try {
        if (HistoryList)
            HistoryList->SaveTo(SaveDialog1->FileName);
        else
            WriteHistoryFile(SaveDialog1->FileName, SearchBox->ItemList());
    } catch (const kit::InOutError& e) {
        kit::ShowError(fileIOError(e), kErrorCaption);
    }
}

void TformToolbar::miLoadSearchesClick(kit::TComponent*) {
    OpenDialog1->Title = "Load Searches From File";
    if (!OpenDialog1->Execute()) return;
    try {
        if (HistoryList)
            HistoryList->LoadFrom(OpenDialog1->FileName);
        else
            SearchBox->Assign(ReadHistoryFile(OpenDialog1->FileName));
    } catch (const kit::InOutError& e) {
        kit::ShowError(fileIOError(e), kErrorCaption);
    }
}

void TformToolbar::miEditHistoryClick(kit::TComponent*) {
    if (HistoryFileName.empty()) return;
    // The editor opens the per-user file, which starts as a copy of the legacy one.
    if (&historyFileToRead() != &HistoryFileName && CreateUserStateFolder())
        CopyFileA(LegacyHistoryFileName.c_str(), HistoryFileName.c_str(), TRUE);
    ShellOpen(HistoryFileName);
}

void TformToolbar::miRefreshSearchesClick(kit::TComponent*) {
    if (!historyFileKnown()) return;
    HistoryList->Refresh();
}

void TformToolbar::miRemoveSelectedClick(kit::TComponent*) {
    const int selected = SearchBox->ItemIndex();
    if (selected < 0) {
        kit::ShowMessage("Nothing to Remove.");
        return;
    }
    if (!historyFileKnown()) {
        SearchBox->Delete(selected);
        return;
    }
    HistoryList->Remove(selected);
}

void TformToolbar::miClearSearchesClick(kit::TComponent*) {
    if (!kit::Confirm("Are you sure you want to clear history?")) return;
    if (!historyFileKnown()) {
        SearchBox->Clear();
        return;
    }
    HistoryList->Clear();
}

} // namespace kg
