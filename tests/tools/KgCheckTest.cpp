// The configuration checker: every rule, each by a small toolbar and the
// finding it must print, and a sound toolbar that must print nothing.
#include "core/Bmp.h"
#include "tools/kgcheck/lib/Checker.h"
#include "core/IconFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> picture(int width, int height) {
    kit::Bitmap32 image{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, 0xFF336699)};
    return kit::EncodeBmp(image, 24);
}

// A folder with a sound banner, three icons and a legal notice.
kgcheck::ToolbarFiles folder(const std::string& ini) {
    kgcheck::ToolbarFiles files;
    files.toolbarFile = "T";
    files.config = ini;
    const kit::Bitmap32 icon{16, 16, std::vector<std::uint32_t>(256, 0xFF000000)};
    files.icons = toolbar::WriteIconFile(toolbar::MakeIconImages({icon, icon, icon}, std::nullopt));
    files.banner = picture(kgcheck::kBannerWidth, kgcheck::kBannerHeight);
    files.hasLegalNotice = true;
    return files;
}

std::string printed(const kgcheck::ToolbarFiles& files) {
    std::string text;
    for (const kgcheck::Finding& f : kgcheck::CheckToolbar(files)) text += f.Format() + "\n";
    return text;
}

const std::string kHead = "[Options]\nToolbar Name=T\n";  // lines 1 and 2
const std::string kEngines =                              // from line 3
    "[Toolbar Items]\nmiSearch=\nmiE1=\nmiE2=\n"
    "[miSearch]\nCount=2\nParent=Toolbar\n"                                        // 7-9
    "[miE1]\nURL=http://x/?q=[search]\nTag=1\nGroupIndex=1\nParent=miSearch\n";   // 10-14

enum class Change { None, NoBanner, SmallBanner, BadBanner, NoIcons, BadIcons, NoNotice };

struct Case {
    const char* rule;
    std::string ini;
    std::string finding;  // the start of one printed line
    Change change = Change::None;
};

TEST(KgCheck, EveryRulePrintsItsFinding) {
    const Case cases[] = {
        // Items and names.
        {"parent listed later", kHead + "[Toolbar Items]\nmiA=\nmiMenu=\n[miA]\nParent=miMenu\n[miMenu]\nParent=Toolbar\n",
         "T.ini:7: error: \"Parent\" \"miMenu\" is listed after this item"},
        {"parent is itself", kHead + "[Toolbar Items]\nmiA=\n[miA]\nParent=miA\n", "T.ini:6: error: item \"miA\" names itself"},
        {"parent is a menu", kHead + "[Toolbar Items]\nmiA=\n[miA]\nParent=popupMain\n",
         "T.ini:6: error: \"Parent\" names the menu \"popupMain\""},
        {"parent is the search box", kHead + "[Toolbar Items]\nmiA=\n[miA]\nParent=searchbox\n",
         "T.ini:6: error: \"Parent\" names the search box"},
        {"parent names nothing", kHead + "[Toolbar Items]\nmiA=\n[miA]\nParent=miNowhere\n",
         "T.ini:6: error: \"Parent\" names \"miNowhere\", which is no item"},
        {"no parent", kHead + "[Toolbar Items]\nmiA=\n[miA]\nCaption=A\n", "T.ini:5: error: item \"miA\" has no \"Parent\""},
        {"toolbar in lower case", kHead + "[Toolbar Items]\nmiA=\n[miA]\nParent=toolbar\n",
         "T.ini:6: error: \"Parent\" is \"toolbar\": only \"Toolbar\""},
        {"name not an identifier", kHead + "[Toolbar Items]\nmi-A=\n[mi-A]\nParent=Toolbar\n",
         "T.ini:4: error: \"mi-A\" is not a valid component name"},
        {"name repeats, letter case aside",
         kHead + "[Toolbar Items]\nmiA=\nmiB=\n[miA]\nParent=Toolbar\n[miB]\nName=MIA\nParent=Toolbar\n",
         "T.ini:9: error: the name \"MIA\" is taken by the item of section \"miA\""},
        {"name of the window's own", kHead + "[Toolbar Items]\nmiAbout=\n[miAbout]\nParent=Toolbar\n",
         "T.ini:4: error: the name \"miAbout\" is taken by the toolbar window's own"},
        {"name of the default search button", kHead + "[Toolbar Items]\nmiFind=\n[miFind]\nName=MISEARCH\nParent=Toolbar\n",
         "T.ini:6: error: the name \"MISEARCH\" is the one the engine gives its own search button"},
        {"listed without a section", kHead + "[Toolbar Items]\nmiA=\n",
         "T.ini:4: error: \"Toolbar Items\" lists \"miA\", which has no section"},
        {"main menu names nothing", kHead + "Main Menu=miNone\n", "T.ini:3: error: \"Main Menu\" names \"miNone\""},
        // Icons.
        {"image index not mapped", kHead + "[Toolbar Items]\nmiA=\n[miA]\nImageIndex=4\nParent=Toolbar\n[Icons]\n0=0\n",
         "T.ini:6: warning: \"ImageIndex\" 4 has no entry in section \"Icons\""},
        {"position beyond the icon file", kHead + "[Icons]\n0=3\n", "T.ini:4: warning: icon position 3 lies beyond"},
        {"icon number the engine never asks", kHead + "[Icons]\n07=0\n", "T.ini:4: warning: \"07\" is not an icon number"},
        {"icon file missing", kHead + "[Icons]\n0=0\n", "Icons.bin: error: missing icon file", Change::NoIcons},
        {"icon file broken", kHead + "[Icons]\n0=0\n", "Icons.bin: error: the icon file does not load", Change::BadIcons},
        // INI syntax.
        {"setting above the first header", "Company Name=C\n" + kHead, "T.ini:1: warning: setting above the first"},
        {"header after a blank", kHead + " [Icons]\n", "T.ini:3: error: not a section header"},
        {"header before a blank", kHead + "[Icons] \n", "T.ini:3: error: not a section header"},
        {"blanks around \"=\"", kHead + "Search URL = http://x/?q=[search]\n",
         "T.ini:3: error: blanks around \"Search URL\" belong to the name"},
        {"section repeats", kHead + "[options]\n", "T.ini:3: error: section \"options\" repeats the one at line 1"},
        {"key repeats", kHead + "Toolbar Name=U\n", "T.ini:3: warning: key \"Toolbar Name\" repeats line 2"},
        {"unknown key, nearest known", kHead + "Serch URL=http://x/?q=[search]\n",
         "T.ini:3: warning: unknown key \"Serch URL\" in section \"Options\"; did you mean \"Search URL\"?"},
        {"\";\" is no comment", kHead + ";Company Name=C\n", "T.ini:3: warning: \";\" starts no comment"},
        {"line without \"=\"", kHead + "Company Name\n", "T.ini:3: warning: line without \"=\""},
        {"not a number", kHead + "Search Width=wide\n", "T.ini:3: warning: \"Search Width\" is not a number"},
        {"carriage returns end no extra lines", "[Options]\r\nToolbar Name=T\r\nSerch URL=x\r\n",
         "T.ini:3: warning: unknown key \"Serch URL\""},
        {"key meant for another kind", kHead + "[Toolbar Items]\nmiSeparator1=\n[miSeparator1]\nCaption=x\nParent=Toolbar\n",
         "T.ini:6: warning: \"Caption\" has no effect on a separator"},
        // Search.
        {"search URL without placeholder", kHead + "Search URL=http://x/find?q=\n",
         "T.ini:3: warning: \"Search URL\" holds no \"[search]\""},
        {"engine tag outside 1 to 30",
         kHead + kEngines + "[miE2]\nURL=http://y/?q=[search]\nTag=31\nGroupIndex=1\nParent=miSearch\n",
         "T.ini:17: error: search engine \"miE2\" has \"Tag\" 31, outside 1 to 30"},
        {"engine tag repeats",
         kHead + kEngines + "[miE2]\nURL=http://y/?q=[search]\nTag=1\nGroupIndex=1\nParent=miSearch\n",
         "T.ini:17: error: \"Tag\" 1 repeats that of \"miE1\""},
        {"engines in two groups",
         kHead + kEngines + "[miE2]\nURL=http://y/?q=[search]\nTag=2\nGroupIndex=2\nParent=miSearch\n",
         "T.ini:18: warning: search engine \"miE2\" has \"GroupIndex\" 2, the first engine 1"},
        // Updates.
        {"updates URL refused", kHead + "Updates URL=http://updates.example/tb folder/\n",
         "T.ini:3: error: \"Updates URL\" gives \"http://updates.example/tb folder/toolbar.ini\", which the engine refuses"},
        {"updates URL with a trailing blank", kHead + "Updates URL=http://updates.example/tb/ \n",
         "T.ini:3: error: \"Updates URL\" ends with a blank"},
        // Signed updates and the home page.
        {"plain http updates without a key", kHead + "Updates URL=HTTP://updates.example/tb/\n",
         "T.ini:3: warning: \"Updates URL\" is plain \"http://\" and there is no \"Update Key\""},
        {"a key that does not parse", kHead + "Updates URL=https://updates.example/tb/\nUpdate Key=AAAA\n",
         "T.ini:4: error: \"Update Key\" is not an ECDSA P-256 public key"},
        {"a key of the wrong length", kHead + "Update Key=" + std::string(84, 'A') + "\n",
         "T.ini:3: error: \"Update Key\" is not an ECDSA P-256 public key"},
        {"a home page that is a program", kHead + "Home Page URL=C:\\Windows\\notepad.exe\n",
         "T.ini:3: warning: \"Home Page URL\" is not a web or mail address"},
        // The update marker.
        {"no toolbar name", "[Options]\nCompany Name=C\n", "T.ini:1: warning: no \"Toolbar Name\" in section \"Options\""},
        {"no toolbar name, updates on", "[Options]\nUpdates URL=http://updates.example/tb/\n",
         "T.ini:1: error: no \"Toolbar Name\" in section \"Options\""},
        // Encodings and the bytes the engine stops at.
        {"UTF-16", std::string("\xFF\xFE[\0O\0]\0\n\0", 10), "T.ini: error: the file is UTF-16"},
        {"UTF-16, big end first", std::string("\xFE\xFF\0[\0O\0]", 8), "T.ini: error: the file is UTF-16"},
        {"Ctrl-Z before the items", kHead + "\x1A[Toolbar Items]\nmiA=\n[miA]\nParent=Toolbar\n",
         "T.ini:3: error: Ctrl-Z at the start of a line: the engine stops reading here"},
        {"NUL in a caption",
         kHead + "[Toolbar Items]\nmiA=\n[miA]\nCaption=A" + std::string(1, '\0') + "B\nParent=Toolbar\n" +
             std::string(1, '\0') + "\n",
         "T.ini:6: error: a NUL byte: Windows ends the text there, so what follows on the line is lost (and on 1 more"},
        {"UTF-8: a character the code page cannot hold",
         "\xEF\xBB\xBF" + kHead + "[Toolbar Items]\nmiA=\n[miA]\nCaption=\xE4\xB8\xAD\nParent=Toolbar\n",
         "T.ini:6: warning: characters the ANSI code page cannot hold"},
        {"UTF-8: the mark no longer hides the first header", "\xEF\xBB\xBF[Options]\nCompany Name=C\n",
         "T.ini:1: warning: no \"Toolbar Name\" in section \"Options\""},
        // Files.
        {"banner missing", kHead, "T.bmp: warning: missing banner picture", Change::NoBanner},
        {"banner of another size", kHead, "T.bmp: warning: the banner picture is 100 x 22 pixels", Change::SmallBanner},
        {"banner broken", kHead, "T.bmp: error: the banner picture does not load", Change::BadBanner},
        {"legal notice missing", kHead, "Copyrights.txt: warning: missing legal notice", Change::NoNotice},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        kgcheck::ToolbarFiles files = folder(c.ini);
        switch (c.change) {
        case Change::None: break;
        case Change::NoBanner: files.banner.reset(); break;
        case Change::SmallBanner: files.banner = picture(100, 22); break;
        case Change::BadBanner: files.banner = std::vector<std::uint8_t>{'B', 'M', 0}; break;
        case Change::NoIcons: files.icons.reset(); break;
        case Change::BadIcons: files.icons = std::vector<std::uint8_t>{0xFF, 10, 0}; break;
        case Change::NoNotice: files.hasLegalNotice = false; break;
        }
        const std::string out = printed(files);
        EXPECT_TRUE(out.rfind(c.finding, 0) == 0 || out.find("\n" + c.finding) != std::string::npos)
            << "expected a line starting with\n  " << c.finding << "\nprinted:\n" << out;
    }
}

TEST(KgCheck, ASoundToolbarPrintsNothing) {
    const std::string ini =
        "Notes above the first header are fine: they are no settings.\n" + kHead +
        "Main Menu=miMain\nSearch URL=http://x/?q=[SEARCH]\nUpdates URL=http://updates.example/tb\n" +
        "Update Key=" + std::string(86, 'A') + "==\nHome Page URL=www.example.com\n" + kEngines +
        "[miE2]\nURL=http://y/?q=[search]\nImageIndex=2\nTag=2\nGroupIndex=1\nParent=miSearch\n"
        "[miMain]\nCaption=Menu\n[Icons]\n2=2\n";
    std::string withMenu = ini;
    withMenu.replace(withMenu.find("miE2=\n"), 6, "miE2=\nmiMain=\n");
    EXPECT_EQ(printed(folder(withMenu)), "");
    // Saved as UTF-8 with its mark, with characters the code page holds, and ended by Ctrl-Z.
    std::string utf8 = "\xEF\xBB\xBF" + withMenu + "\x1A\r\n";
    utf8.replace(utf8.find("Caption=Menu"), 12, "Caption=Men\xC3\xBC");
    EXPECT_EQ(printed(folder(utf8)), "");
}

} // namespace
