// The commands of configured items, the fixed entries of the window's
// context menu and the banner, clicked with the stand-in browser attached.
#include "tests/toolbar/ToolbarFixture.h"

#include "kit/ComboBox.h"
#include "kit/Image.h"
#include "kit/Items.h"
#include "kit/Toolbar.h"
#include "tests/support/AboutWindowProbe.h"
#include "kit/ComHelpers.h"

using kit::TTBCustomItem;
using kgtest::ToolbarWindowTest;

namespace {

constexpr char kOptions[] = "Search URL=http://find.example/?q=[search]\r\n"
                            "Home Page URL=http://home.example/\r\n"
                            "Contact E-Mail=mailto:help@home.example\r\n";

class Commands : public ToolbarWindowTest {
protected:
    kgtest::AboutWindowProbe about_;

    void SetUp() override {
        ToolbarWindowTest::SetUp();
        about_.shown.clear();
    }
    TTBCustomItem* item(const std::string& name) {
        auto* found = dynamic_cast<TTBCustomItem*>(window().FindComponent(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    std::vector<std::wstring> urls() {
        std::vector<std::wstring> out;
        for (const auto& call : browser().navigations()) out.push_back(call.url);
        return out;
    }
    // What a click did, in one line: the URL navigated to, "about", "close" or "nothing".
    std::string effectOf(TTBCustomItem* clicked) {
        const std::size_t navigations = browser().navigations().size();
        const std::size_t abouts = about_.shown.size();
        const std::size_t closes = browser().browserBarCalls().size();
        clicked->Click();
        if (browser().navigations().size() > navigations) return kg::WideToAnsi(browser().navigations().back().url);
        if (about_.shown.size() > abouts) return "about";
        if (browser().browserBarCalls().size() > closes) return "close";
        return "nothing";
    }
};

TEST_F(Commands, EveryFormOfCommandText) {
    const struct {
        const char* url;  // the item's "URL" (its command text)
        int tag;
        const char* effect;
    } rows[] = {
        {"http://plain.example/a b", 0, "http://plain.example/a b"},
        {"  [about]\t ", 0, "about"},
        {"[AbOuT]", 0, "about"},
        {"[ABOUT]x", 0, "[ABOUT]x"},
        {"[about] [close]", 0, "[about] [close]"},
        {"[cLoSe]", 0, "close"},
        {"   [CLOSE]", 0, "close"},
        {"News|http://news.example/", 0, "http://news.example/"},
        {"a|b|c", 0, "b|c"},
        {"|http://bare.example/", 0, "http://bare.example/"},
        {"  http://padded.example/  ", 0, "  http://padded.example/  "},
        {"Find|http://s.example/?q=[Search]&x=1", 0, "Find|http://s.example/?q=red+kites&x=1"},
        {"http://s.example/?q=", 0, "http://s.example/?q="},
        {"http://tagged.example/", 3, "http://tagged.example/"},
        {"http://tagged.example/?q=[SEARCH]", 3, "http://tagged.example/?q=red+kites"},
        {"[about]", 3, "about"},
    };
    std::string items = "[Toolbar Items]\r\n";
    std::string sections;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::string name = "miRow" + std::to_string(i);
        items += name + "=\r\n";
        sections += "[" + name + "]\r\nCaption=" + name + "\r\nURL=" + rows[i].url + "\r\nTag=" +
                    std::to_string(rows[i].tag) + "\r\nParent=Toolbar\r\n";
    }
    writeConfig(items + sections, kOptions);
    kg::TformToolbar& w = createWindow();
    attachBrowser();
    w.SearchBox->SetText("red kites");
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(effectOf(item("miRow" + std::to_string(i))), rows[i].effect) << rows[i].url;
    // The clicks of the positive tags did not touch the search button.
    EXPECT_EQ(w.SearchButton->Tag, 0);
    EXPECT_EQ(w.SearchButton->Caption(), "Search");
    EXPECT_EQ(w.SearchTemplate, "http://find.example/?q=[search]");
    EXPECT_EQ(about_.shown, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(Commands, EnginesWithSearchDynamicOnAndOff) {
    const std::string config = "[Toolbar Items]\r\nmiSearch=\r\nmiWeb=\r\nmiNews=\r\nmiPlain=\r\n"
                               "[miSearch]\r\nCaption=Search\r\nCount=3\r\nParent=Toolbar\r\n"
                               "[miWeb]\r\nCaption=Web\r\nImageIndex=1\r\nURL=http://web.example/?q=[search]\r\n"
                               "Tag=1\r\nGroupIndex=1\r\nParent=miSearch\r\n"
                               "[miNews]\r\nCaption=News\r\nImageIndex=2\r\nURL=http://news.example/?q=[SEARCH]&n=1\r\n"
                               "Tag=3\r\nGroupIndex=1\r\nParent=miSearch\r\n"
                               "[miPlain]\r\nCaption=Plain\r\nURL=http://plain.example/?q=[search]\r\n"
                               "Parent=miSearch\r\n"
                               "[Icons]\r\n1=4\r\n2=5\r\n";
    const struct {
        const char* dynamic;
        std::vector<std::wstring> urls;  // after clicking News, then Plain
        const char* caption;
        int imageIndex;
        int tag;
        const char* searchTemplate;
        const wchar_t* buttonUrl;  // what the search button then searches
    } cases[] = {
        {"", {L"http://plain.example/?q=osprey"}, "News", 5, 3, "http://news.example/?q=[SEARCH]&n=1",
         L"http://news.example/?q=osprey&n=1"},
        {"Search Dynamic=1\r\n", {L"http://plain.example/?q=osprey"}, "News", 5, 3,
         "http://news.example/?q=[SEARCH]&n=1", L"http://news.example/?q=osprey&n=1"},
        {"Search Dynamic=0\r\n", {L"http://news.example/?q=osprey&n=1", L"http://plain.example/?q=osprey"}, "Search",
         -1, 0, "http://find.example/?q=[search]", L"http://find.example/?q=osprey"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dynamic);
        writeConfig(config, std::string(kOptions) + c.dynamic);
        setKeyValue("Search Type", "0");
        kg::TformToolbar& w = createWindow();
        attachBrowser();
        const std::size_t before = browser().navigations().size();
        w.SearchBox->SetText("osprey");
        item("miNews")->Click();
        item("miPlain")->Click();
        const std::vector<std::wstring> all = urls();
        const std::vector<std::wstring> seen(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        EXPECT_EQ(seen, c.urls);
        EXPECT_EQ(w.SearchButton->Caption(), c.caption);
        EXPECT_EQ(w.SearchButton->ImageIndex(), c.imageIndex);
        EXPECT_EQ(w.SearchButton->Tag, c.tag);
        EXPECT_EQ(w.SearchTemplate, c.searchTemplate);
        // The check mark follows the radio group either way.
        EXPECT_TRUE(item("miNews")->Checked());
        EXPECT_FALSE(item("miWeb")->Checked());
        // The search button searches with what is selected.
        w.SearchButton->Click();
        EXPECT_EQ(urls().back(), c.buttonUrl);
        destroyWindow();
        EXPECT_EQ(kgtest::storedValue("Search Type").text, std::to_string(c.tag));
    }
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(Commands, FixedEntriesAndTheBanner) {
    const struct {
        const char* options;
        const char* websiteHint;
        std::vector<std::wstring> urls;  // Support, Website, banner
    } cases[] = {
        {kOptions, "", {L"mailto:help@home.example", L"http://home.example/", L"http://home.example/"}},
        {kOptions, "www.site.example/x", {L"mailto:help@home.example", L"http://www.site.example/x", L"http://home.example/"}},
        {"", "", {L"mailto:support@kestrelgrove.example", L"mailto:support@kestrelgrove.example",
                  L"mailto:support@kestrelgrove.example"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        writeConfig("", c.options);
        kg::TformToolbar& w = createWindow();
        attachBrowser();
        const std::size_t before = browser().navigations().size();
        w.miWebsite->SetHint(c.websiteHint);
        w.miSupport->Click();
        w.miWebsite->Click();
        // A real click on the banner picture.
        const HWND image = w.Image->Handle();
        SendMessageA(image, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageA(image, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        const std::vector<std::wstring> all = urls();
        const std::vector<std::wstring> seen(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        EXPECT_EQ(seen, c.urls);
        destroyWindow();
    }
    kg::TformToolbar& w = createWindow();
    attachBrowser();
    w.miAbout->Click();
    EXPECT_EQ(about_.shown, std::vector<bool>{false});
    // Senders that are not items do nothing, except for the banner's handler.
    const std::size_t before = browser().navigations().size();
    w.MIClick(w.SearchBox);
    w.MIDirectURLClick(w.SearchBox);
    w.eMailClick(nullptr);
    EXPECT_EQ(browser().navigations().size(), before);
    w.ImageClick(nullptr);
    EXPECT_EQ(browser().navigations().size(), before + 1);
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(Commands, OnlyItemsWithACommandGetTheHandlerAndFailuresAreReported) {
    writeConfig("[Toolbar Items]\r\nmiGo=\r\nmiIdle=\r\nmiLinksSubMenu=\r\n"
                "[miGo]\r\nURL=http://go.example/\r\nParent=Toolbar\r\n"
                "[miIdle]\r\nCaption=Idle\r\nParent=Toolbar\r\n"
                "[miLinksSubMenu]\r\nURL=http://links.example/\r\nParent=Toolbar\r\n",
                kOptions);
    kg::TformToolbar& w = createWindow();
    attachBrowser();
    EXPECT_TRUE(static_cast<bool>(item("miGo")->OnClick));
    EXPECT_FALSE(static_cast<bool>(item("miIdle")->OnClick));
    EXPECT_EQ(effectOf(item("miLinksSubMenu")), "http://links.example/");
    EXPECT_EQ(effectOf(item("miIdle")), "nothing");

    // Without a browser the navigation goes outside: the seam creates the application.
    w.AttachBrowser(nullptr);
    item("miGo")->Click();
    EXPECT_EQ(platform_.automationRequests, std::vector<std::wstring>{L"InternetExplorer.Application"});
    ASSERT_EQ(platform_.messageBoxes.size(), 1u);  // the recorder has no application to give

    attachBrowser();
    browser().setNavigateResult(E_ACCESSDENIED);
    item("miGo")->Click();
    ASSERT_EQ(platform_.messageBoxes.size(), 2u);
    EXPECT_EQ(platform_.messageBoxes[1].type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(platform_.messageBoxes[1].text.empty());
}

} // namespace
