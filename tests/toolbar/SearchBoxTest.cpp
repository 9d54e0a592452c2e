// The search box with the stand-in browser: the search URL, the history file
// byte for byte after each operation, the box's context menu with the real
// clipboard, the dialogs through the seam, and the faults mended here (a
// history that cannot be written, a build that ended with an error).
#include "tests/toolbar/ToolbarFixture.h"

#include "kit/Clipboard.h"
#include "kit/ComboBox.h"
#include "kit/Dialogs.h"
#include "core/Error.h"
#include "kit/Items.h"
#include "kit/ComHelpers.h"
#include "core/HistoryFormat.h"
#include "toolbar/HistoryFile.h"

#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <fstream>
#include <iterator>

using kgtest::ToolbarWindowTest;

namespace {

constexpr char kSearchUrl[] = "http://find.example/?q=[search]&n=10";

class SearchBox : public ToolbarWindowTest {
protected:
    void SetUp() override {
        ToolbarWindowTest::SetUp();
        platform_.shellOpens.clear();
    }
    void TearDown() override {
        SetFileAttributesA(historyPath().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        ToolbarWindowTest::TearDown();
    }

    // The per-user history file.
    std::filesystem::path historyPath() const {
        return kgtest::userStateFolder() / (std::string(kgtest::kToolbarName) + ".txt");
    }
    bool historyExists() const { return std::filesystem::exists(historyPath()); }
    std::string historyBytes() const { return readBytes(historyPath()); }
    static std::string readBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void writeHistory(const std::string& bytes) const {
        std::filesystem::create_directories(historyPath().parent_path());
        std::ofstream(historyPath(), std::ios::binary) << bytes;
    }

    // A window with the search URL and an attached browser.
    kg::TformToolbar& searchWindow(const std::string& options = "") {
        writeConfig("", std::string("Search URL=") + kSearchUrl + "\r\n" + options);
        kg::TformToolbar& w = createWindow();
        attachBrowser();
        return w;
    }
    std::vector<std::string> listed() { return window().SearchBox->ItemList(); }
    std::vector<std::wstring> urls() {
        std::vector<std::wstring> out;
        for (const auto& call : browser().navigations()) out.push_back(call.url);
        return out;
    }
    // Enter typed into the box's edit field, as the keyboard sends it.
    void pressEnter() { SendMessageA(window().SearchBox->EditHandle(), WM_CHAR, '\r', 1); }
    // Files of the install folder other than the configuration and the history.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(historyPath().parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name != historyPath().filename().string() && name != std::string(kgtest::kToolbarFile) + ".ini")
                out.push_back(name);
        }
        return out;
    }
};

TEST_F(SearchBox, SearchUrlFromTheTemplateAndTheText) {
    const struct {
        const char* what;
        const char* urlTemplate;
        const char* text;
        bool encode;
        const char* url;
    } cases[] = {
        {"mixed-case placeholder, keys after it", "http://e.example/s?Q=[SeArCh]&lang=en", "red kites", false,
         "http://e.example/s?Q=red+kites&lang=en"},
        {"no placeholder", "http://e.example/s?q=", "red kites", false, "http://e.example/s?q=red+kites"},
        {"two placeholders", "http://e.example/[search]/[SEARCH]", "x", false, "http://e.example/x/[SEARCH]"},
        {"empty text", "http://e.example/s?q=[search]&x=1", "", false, "http://e.example/s?q=&x=1"},
        {"empty template: the setting", "", "a b", false, "http://find.example/?q=a+b&n=10"},
        {"as typed by default", "http://e.example/?q=", "c++ a&b \xe9", false, "http://e.example/?q=c+++a&b+\xe9"},
        {"encoded as a form value", "http://e.example/?q=", "c++ a&b \xe9", true,
         "http://e.example/?q=c%2B%2B+a%26b+%C3%A9"},
        {"encoded, empty text", "http://e.example/?q=[search]", "", true, "http://e.example/?q="},
    };
    kg::TformToolbar& w = searchWindow();
    std::vector<std::wstring> expected;
    for (const auto& c : cases) {
        kg::ToolbarSettings().SearchEncode = c.encode;
        w.SearchBox->SetText(c.text);
        w.DoSearch(c.urlTemplate, c.text);
        expected.push_back(kg::AnsiToWide(c.url));
    }
    EXPECT_EQ(urls(), expected);
    // The history keeps what was typed, in both modes, each text once.
    EXPECT_EQ(historyBytes(), "a b\r\nc++ a&b \xe9\r\nred kites\r\nx\r\n");
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(SearchBox, SearchEncodeIsAnOptionOffByDefault) {
    const struct {
        const char* options;
        bool encode;
        kg::SettingSource source;
    } cases[] = {
        {"", false, kg::SettingSource::Default},
        {"Search Encode=1\r\n", true, kg::SettingSource::File},
        {"Search Encode=0\r\n", false, kg::SettingSource::File},
        {"Search Encode=yes\r\n", false, kg::SettingSource::Default},
    };
    for (const auto& c : cases) {
        writeConfig("", c.options);
        kg::LoadToolbarSettings();
        EXPECT_EQ(kg::ToolbarSettings().SearchEncode, c.encode) << c.options;
        EXPECT_EQ(kg::ToolbarSettings().SourceOf("Search Encode"), c.source) << c.options;
    }
}

TEST_F(SearchBox, HistoryFileAfterEachOperation) {
    writeHistory("kite\r\nKite\nalder");
    kg::TformToolbar& w = searchWindow();
    // At start: duplicates dropped, ascending.
    EXPECT_EQ(listed(), (std::vector<std::string>{"alder", "kite"}));
    EXPECT_EQ(w.HistoryList->Strings(), listed());
    EXPECT_EQ(w.SearchBox->ItemIndex(), -1);
    // Refresh takes the lines as they are.
    w.miRefreshSearches->Click();
    EXPECT_EQ(listed().size(), 3u);
    EXPECT_EQ(historyBytes(), "kite\r\nKite\nalder");

    const struct {
        const char* typed;
        const char* bytes;  // the file afterwards
    } searches[] = {
        {"Birch", "alder\r\nBirch\r\nkite\r\n"},
        {"two  words", "alder\r\nBirch\r\nkite\r\ntwo  words\r\n"},
        {"", "alder\r\nBirch\r\nkite\r\ntwo  words\r\n"},
    };
    for (const auto& s : searches) {
        w.SearchBox->SetText(s.typed);
        w.SearchButton->Click();
        EXPECT_EQ(historyBytes(), s.bytes) << s.typed;
        EXPECT_EQ(w.SearchBox->Text(), s.typed);
    }
    EXPECT_EQ(urls().back(), L"http://find.example/?q=&n=10");

    // A text known in another letter case writes nothing: the file keeps its foreign line ends.
    writeHistory("alder\nBirch\nkite\n");
    w.SearchBox->SetText("KITE");
    w.SearchButton->Click();
    EXPECT_EQ(historyBytes(), "alder\nBirch\nkite\n");
    EXPECT_EQ(listed(), (std::vector<std::string>{"alder", "Birch", "kite", "two  words"}));

    // Remove: nothing selected, then the selected entry.
    w.miRemoveSelected->Click();
    ASSERT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_EQ(platform_.messageBoxes[0].text, "Nothing to Remove.");
    EXPECT_EQ(platform_.messageBoxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(historyBytes(), "alder\nBirch\nkite\n");
    w.SearchBox->SetItemIndex(w.SearchBox->IndexOf("birch"));
    w.miRemoveSelected->Click();
    EXPECT_EQ(historyBytes(), "alder\r\nkite\r\ntwo  words\r\n");

    // Clear: only on Yes; the text stays.
    w.SearchBox->SetText("kept");
    platform_.messageBoxAnswers = {IDNO, IDYES};
    w.miClearSearches->Click();
    EXPECT_EQ(historyBytes(), "alder\r\nkite\r\ntwo  words\r\n");
    w.miClearSearches->Click();
    ASSERT_EQ(platform_.messageBoxes.size(), 3u);
    EXPECT_EQ(platform_.messageBoxes[2].text, "Are you sure you want to clear history?");
    EXPECT_EQ(platform_.messageBoxes[2].type & 0xF, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(std::filesystem::exists(historyPath()));
    EXPECT_EQ(historyBytes(), "");
    EXPECT_EQ(w.SearchBox->Count(), 0);
    EXPECT_EQ(w.SearchBox->Text(), "kept");

    // The next search reads the empty file again, not the list of before.
    w.SearchButton->Click();
    EXPECT_EQ(historyBytes(), "kept\r\n");
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
    EXPECT_EQ(platform_.messageBoxes.size(), 3u);
}

TEST_F(SearchBox, SaveAndLoadThroughTheDialogs) {
    writeHistory("beta\r\nalpha\r\n");
    kg::TformToolbar& w = searchWindow();
    const std::string saved = (installFile("saved.txt")).string();
    const std::string missing = (installFile("no such folder") / "x.txt").string();
    writeFile("loaded.txt", "zeta\nZeta\r\n\r\nalpha");
    writeFile("saved.txt", "old content that is replaced without a question\r\n");

    platform_.fileDialogAnswers = {std::nullopt, saved, missing};
    w.miSaveSearches->Click();  // cancelled
    EXPECT_EQ(readBytes(saved), "old content that is replaced without a question\r\n");
    w.miSaveSearches->Click();
    EXPECT_EQ(readBytes(saved), "alpha\r\nbeta\r\n");
    w.miSaveSearches->Click();  // a folder that does not exist
    ASSERT_EQ(platform_.fileDialogs.size(), 3u);
    const kit::FileDialogRequest save = platform_.fileDialogs[0];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, "Save Searches To File");
    EXPECT_EQ(save.fileName, "Toolbar Searches.txt");
    EXPECT_EQ(save.defaultExt, "txt");
    EXPECT_EQ(save.filter, "Text files (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_EQ(save.filterIndex, 1);
    EXPECT_TRUE(save.flags & OFN_HIDEREADONLY);
    EXPECT_TRUE(save.flags & OFN_ENABLESIZING);
    EXPECT_FALSE(save.flags & OFN_OVERWRITEPROMPT);

    platform_.fileDialogAnswers = {std::nullopt, (installFile("loaded.txt")).string(), missing};
    w.miLoadSearches->Click();  // cancelled
    EXPECT_EQ(listed(), (std::vector<std::string>{"alpha", "beta"}));
    w.miLoadSearches->Click();
    EXPECT_EQ(listed().size(), 4u);  // the lines as they are, duplicates and the empty one included
    EXPECT_EQ(listed()[0], "");
    w.miLoadSearches->Click();  // missing: the list keeps its state
    EXPECT_EQ(listed().size(), 4u);
    ASSERT_EQ(platform_.fileDialogs.size(), 6u);
    EXPECT_FALSE(platform_.fileDialogs[3].save);
    EXPECT_EQ(platform_.fileDialogs[3].title, "Load Searches From File");
    EXPECT_EQ(platform_.fileDialogs[3].filter, save.filter);

    // The fixed text, then the failure with the chosen file.
    ASSERT_EQ(boxTexts(), (std::vector<std::string>{"File I/O error.\r\nCannot create file " + missing,
                                                    "File I/O error.\r\nCannot open file " + missing}));
    for (const auto& box : platform_.messageBoxes) {
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }
    // Loading wrote nothing; closing without a search leaves the history as it was.
    destroyWindow();
    EXPECT_EQ(historyBytes(), "beta\r\nalpha\r\n");
}

TEST_F(SearchBox, EnterSearchesAndNeverReachesTheBox) {
    kg::TformToolbar& w = searchWindow();
    w.SearchBox->SetText("osprey");
    pressEnter();
    EXPECT_EQ(urls(), std::vector<std::wstring>{L"http://find.example/?q=osprey&n=10"});
    EXPECT_EQ(w.SearchBox->Text(), "osprey");
    EXPECT_EQ(historyBytes(), "osprey\r\n");

    // Other characters go on unchanged and reach the box.
    const struct {
        char in, out;
    } keys[] = {{'\r', 0}, {'a', 'a'}, {'\n', '\n'}, {' ', ' '}};
    for (const auto& k : keys) {
        char key = k.in;
        w.SearchBoxKeyPress(w.SearchBox, key);
        EXPECT_EQ(key, k.out) << int(k.in);
    }
    SendMessageA(w.SearchBox->EditHandle(), WM_CHAR, 'x', 1);
    EXPECT_EQ(w.SearchBox->Text().find('x') != std::string::npos, true);

    // A browser that refuses: the error is reported and Enter is still swallowed.
    browser().setNavigateResult(E_FAIL);
    char key = '\r';
    EXPECT_THROW(w.SearchBoxKeyPress(w.SearchBox, key), kit::Error);
    EXPECT_EQ(key, 0);
    pressEnter();
    EXPECT_EQ(platform_.messageBoxes.size(), 1u);
}

TEST_F(SearchBox, ReadOnlyHistoryStillNavigatesAndReportsTheWrite) {
    writeHistory("alder\r\n");
    kg::TformToolbar& w = searchWindow();
    ASSERT_TRUE(SetFileAttributesA(historyPath().string().c_str(), FILE_ATTRIBUTE_READONLY));
    w.SearchBox->SetText("new search");
    pressEnter();
    EXPECT_EQ(urls(), std::vector<std::wstring>{L"http://find.example/?q=new+search&n=10"});
    ASSERT_EQ(platform_.messageBoxes.size(), 1u);
    EXPECT_EQ(platform_.messageBoxes[0].text, "Cannot create file " + w.HistoryFileName);
    EXPECT_EQ(platform_.messageBoxes[0].type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
    // The old file is whole, nothing is left beside it, and the box shows the search.
    EXPECT_EQ(historyBytes(), "alder\r\n");
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
    EXPECT_EQ(listed(), (std::vector<std::string>{"alder", "new search"}));

    // Remove and clear report the same way and leave the file as it was.
    w.SearchBox->SetItemIndex(0);
    w.miRemoveSelected->Click();
    platform_.messageBoxAnswers = {IDYES};
    w.miClearSearches->Click();
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{platform_.messageBoxes[0].text, platform_.messageBoxes[0].text,
                                                    "Are you sure you want to clear history?",
                                                    platform_.messageBoxes[0].text}));
    EXPECT_EQ(historyBytes(), "alder\r\n");
    EXPECT_EQ(w.SearchBox->Count(), 0);
}

TEST_F(SearchBox, UnreadableHistoryIsReportedAndTheSearchStillGoesOut) {
    kg::TformToolbar& w = searchWindow();
    std::filesystem::create_directories(installFile("blocked"));
    w.HistoryFileName = (installFile("blocked") / "locked.txt").string();
    {
        // Held open without sharing: neither reading nor replacing it can succeed.
        writeFile("blocked\\locked.txt", "x\r\n");
        kit::unique_file held(CreateFileA(w.HistoryFileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        w.SearchBox->SetText("kestrel");
        w.SearchButton->Click();
    }
    EXPECT_EQ(urls(), std::vector<std::wstring>{L"http://find.example/?q=kestrel&n=10"});
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Cannot open file " + w.HistoryFileName});
}

TEST_F(SearchBox, ContextMenuEditsWithTheRealClipboard) {
    kg::TformToolbar& w = searchWindow();
    kit::TClipboard& clipboard = kit::Clipboard();
    w.SearchBox->SetText("red kites");
    w.miSelectAll->Click();
    EXPECT_EQ(w.SearchBox->SelText(), "red kites");
    w.SearchBox->SetSelStart(4);
    w.SearchBox->SetSelLength(3);
    w.miCopy->Click();
    EXPECT_EQ(clipboard.AsText(), "kit");
    EXPECT_EQ(w.SearchBox->Text(), "red kites");
    w.SearchBox->SetSelLength(0);
    w.miCopy->Click();
    EXPECT_EQ(clipboard.AsText(), "");
    w.miCut->Click();
    EXPECT_EQ(clipboard.AsText(), "red kites");
    EXPECT_EQ(w.SearchBox->Text(), "");
    clipboard.SetAsText("pasted");
    w.SearchBox->SetText("replaced whole");
    w.miPaste->Click();
    EXPECT_EQ(w.SearchBox->Text(), "pasted");
    clipboard.Clear();
    w.miPaste->Click();  // no text on the clipboard: nothing happens
    EXPECT_EQ(w.SearchBox->Text(), "pasted");
    w.miDelete->Click();
    EXPECT_EQ(w.SearchBox->Text(), "");

    w.miEditHistory->Click();
    EXPECT_EQ(platform_.shellOpens, std::vector<std::string>{w.HistoryFileName});
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

// After a build that ended with an error there is no search button and no
// history list: searching and the box's menu must do without them.
TEST_F(SearchBox, HandlersAfterABuildThatEndedWithAnError) {
    writeHistory("alder\r\n");
    writeConfig("[Toolbar Items]\r\nmiA=\r\nmiB=\r\n[miA]\r\nParent=Toolbar\r\n[miB]\r\nName=miA\r\n",
                std::string("Search URL=") + kSearchUrl + "\r\n");
    kg::TformToolbar& w = createWindow();
    attachBrowser();
    ASSERT_EQ(w.SearchButton, nullptr);
    ASSERT_EQ(w.HistoryList, nullptr);
    platform_.messageBoxes.clear();

    w.SearchBox->SetText("after");
    pressEnter();
    EXPECT_EQ(urls(), std::vector<std::wstring>{L"http://find.example/?q=after&n=10"});
    w.MISearchClick(nullptr);
    EXPECT_EQ(urls().size(), 2u);
    w.miRefreshSearches->Click();
    w.miRemoveSelected->Click();
    platform_.messageBoxAnswers = {IDOK, IDYES};
    w.miClearSearches->Click();
    w.miEditHistory->Click();
    EXPECT_TRUE(platform_.shellOpens.empty());
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Nothing to Remove.", "Are you sure you want to clear history?"}));
    EXPECT_EQ(historyBytes(), "alder\r\n");
}

// What the open list shows, asked of the window itself.
std::vector<std::string> droppedDownList(kit::TComboBox& box) {
    HWND combo = box.Handle();
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::string text(static_cast<std::size_t>(SendMessageA(combo, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
        text.resize(static_cast<std::size_t>(SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        out.push_back(std::move(text));
    }
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    return out;
}

// A few thousand searches of mixed case, some equal but for case (1604 apart), some with bytes above 127.
std::vector<std::string> manySearches() {
    static const char* const words[] = {"kite", "Osprey", "alder", "\xE9t\xE9", "Birch", "co-op", "news", "KITE"};
    std::vector<std::string> out;
    for (int i = 0; i < 3000; ++i) out.push_back(std::string(words[i % 8]) + " " + std::to_string(i % 1604));
    std::mt19937 random(3);
    std::shuffle(out.begin(), out.end(), random);
    return out;
}

// Ascending by the platform's comparison, the first of equal ones kept.
std::vector<std::string> sortedUnique(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        const auto at = std::lower_bound(out.begin(), out.end(), line, [](const std::string& a, const std::string& b) {
            return kg::CompareHistoryText(a, b) < 0;
        });
        if (at == out.end() || kg::CompareHistoryText(*at, line) != 0) out.insert(at, line);
    }
    return out;
}

TEST_F(SearchBox, DropDownAndFileFollowEveryOperationAtThousandsOfEntries) {
    const std::vector<std::string> file = manySearches();
    writeHistory(kg::FormatHistoryText(file));
    kg::TformToolbar& w = searchWindow();
    std::vector<std::string> expected = sortedUnique(file);
    ASSERT_GT(expected.size(), 2000u);
    EXPECT_FALSE(w.SearchBox->ListFilled());  // nothing paid per entry at start
    EXPECT_EQ(w.SearchBox->Count(), static_cast<int>(expected.size()));
    EXPECT_EQ(historyBytes(), kg::FormatHistoryText(file));  // reading wrote nothing

    const std::string loaded = installFile("loaded.txt").string();
    writeFile("loaded.txt", "zeta\nZeta\r\n\r\nalpha\nZETA\n");
    platform_.fileDialogAnswers = {loaded};
    const auto insertSorted = [](std::vector<std::string>& list, const std::string& text) {
        list.insert(std::upper_bound(list.begin(), list.end(), text,
                                     [](const std::string& a, const std::string& b) {
                                         return kg::CompareHistoryText(a, b) < 0;
                                     }),
                    text);
    };
    const struct Step {
        const char* what;
        std::function<void()> act;
        std::function<void()> expect;  // changes `expected`
        bool written;                  // the file holds `expected` afterwards
    } steps[] = {
        {"start", [] {}, [] {}, false},
        {"a new search", [&] { w.SearchBox->SetText("Kestrel new"); w.SearchButton->Click(); },
         [&] { insertSorted(expected, "Kestrel new"); }, true},
        {"known in another case", [&] { w.SearchBox->SetText("oSPREY 1"); w.SearchButton->Click(); }, [] {}, true},
        {"remove the selected", [&] { w.SearchBox->SetItemIndex(w.SearchBox->IndexOf("osprey 1")); w.miRemoveSelected->Click(); },
         [&] { expected.erase(std::find(expected.begin(), expected.end(), "Osprey 1")); }, true},
        {"another window's search",
         [&] {
             std::vector<std::string> other = expected;
             insertSorted(other, "from elsewhere");
             writeHistory(kg::FormatHistoryText(other));
             w.SearchBox->SetText("\xE9t\xE9 new");
             w.SearchButton->Click();
         },
         [&] {
             insertSorted(expected, "from elsewhere");
             insertSorted(expected, "\xE9t\xE9 new");
         },
         true},
        {"load from a file", [&] { w.miLoadSearches->Click(); },
         [&] { expected = {"", "alpha", "zeta", "Zeta", "ZETA"}; }, false},
        {"clear", [&] { platform_.messageBoxAnswers = {IDYES}; w.miClearSearches->Click(); }, [&] { expected.clear(); }, true},
        {"a search after clear", [&] { w.SearchBox->SetText("first again"); w.SearchButton->Click(); },
         [&] { expected = {"first again"}; }, true},
    };
    for (const Step& step : steps) {
        step.act();
        step.expect();
        EXPECT_EQ(w.HistoryList->Strings(), expected) << step.what;
        EXPECT_EQ(droppedDownList(*w.SearchBox), expected) << step.what;
        EXPECT_EQ(w.SearchBox->ItemList(), expected) << step.what;
        if (step.written) EXPECT_EQ(historyBytes(), kg::FormatHistoryText(expected)) << step.what;
    }
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Are you sure you want to clear history?"});
}

TEST_F(SearchBox, KeysAndTheWheelFillTheListBeforeTheyMoveThroughIt) {
    writeHistory("alder\r\nbirch\r\nkite\r\n");
    const struct {
        const char* what;
        UINT msg;
        WPARAM wParam;
    } inputs[] = {
        {"arrow down", WM_KEYDOWN, VK_DOWN},
        {"page down", WM_KEYDOWN, VK_NEXT},
        {"wheel", WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<DWORD>(-WHEEL_DELTA) << 16)},
    };
    for (const auto& input : inputs) {
        kg::TformToolbar& w = searchWindow();
        ASSERT_FALSE(w.SearchBox->ListFilled()) << input.what;
        SendMessageA(w.SearchBox->EditHandle(), input.msg, input.wParam, 0);
        EXPECT_TRUE(w.SearchBox->ListFilled()) << input.what;
        EXPECT_EQ(SendMessageA(w.SearchBox->Handle(), CB_GETCOUNT, 0, 0), 3) << input.what;
        destroyWindow();
    }
}

} // namespace
