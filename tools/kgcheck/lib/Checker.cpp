#include "tools/kgcheck/lib/Checker.h"

#include "core/BigIni.h"
#include "core/ConfigNames.h"
#include "core/DesignNames.h"
#include "core/Bmp.h"
#include "core/Component.h"
#include "core/Error.h"
#include "core/SignatureText.h"
#include "tools/kgcheck/lib/EncodingCheck.h"
#include "tools/kgcheck/lib/IniScan.h"
#include "core/IconFile.h"
#include "core/Url.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <string_view>

namespace kgcheck {

namespace {

using namespace kg::confignames;
constexpr char kIconFile[] = "Icons.bin";
constexpr char kLegalNotice[] = "Copyrights.txt";

const std::vector<std::string> kOptionKeys = {
    "Toolbar Name", "Company Name",      "Home Page URL", "Contact E-Mail", "Flash URL",          "Search URL",
    "Updates URL",  "Toolbar Full Size", "Main Menu",     "Search Dynamic", "Bitmap Transparent", "Search Width",
    "Update Key"};
const std::vector<std::string> kItemKeys = {"Name", "Caption", "ImageIndex", "URL",    "Tag",
                                            "GroupIndex", "Enabled", "Visible", "Parent"};
const std::vector<std::string> kSeparatorKeys = {"Name", "Visible", "Parent"};
const std::vector<std::string> kIntegerKeys = {"Toolbar Full Size", "Search Dynamic", "Bitmap Transparent",
                                               "Search Width", "ImageIndex", "Tag", "GroupIndex", "Enabled",
                                               "Visible", "Count"};
const std::vector<std::string> kTextKeys = {"Toolbar Name", "Company Name", "Home Page URL", "Contact E-Mail",
                                            "Flash URL", "Search URL", "Updates URL", "Main Menu",
                                            "Name", "Caption", "URL", "Parent", "Update Key"};

// The toolbar window's own components, which configured items may neither be
// named like nor hang under (except the context menus' entries, which are items).
enum class Designed { NotDesigned, Toolbar, Menu, SearchBox, OtherPart, MenuEntry };
const std::map<std::string, Designed>& designedComponents() {
    static const std::map<std::string, Designed> names = [] {
        std::map<std::string, Designed> m;
        for (const kg::design::Component& c : kg::design::Components) {
            switch (c.kind) {
            case kg::design::Kind::Toolbar: m[c.name] = Designed::Toolbar; break;
            case kg::design::Kind::Menu: m[c.name] = Designed::Menu; break;
            case kg::design::Kind::SearchBox: m[c.name] = Designed::SearchBox; break;
            case kg::design::Kind::MenuEntry: m[c.name] = Designed::MenuEntry; break;
            case kg::design::Kind::OtherPart: m[c.name] = Designed::OtherPart; break;
            }
        }
        return m;
    }();
    return names;
}

std::string folded(std::string_view text) {
    std::string key(text);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

Designed designedKind(const std::string& name, std::string* exact = nullptr) {
    for (const auto& [n, kind] : designedComponents())
        if (kit::SameText(n, name)) {
            if (exact) *exact = n;
            return kind;
        }
    return Designed::NotDesigned;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool containsNoCase(const std::string& text, std::string_view word) {
    return folded(text).find(folded(word)) != std::string::npos;
}

bool isOneOf(const std::string& key, const std::vector<std::string>& keys) {
    return std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return kit::SameText(k, key); });
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    const std::string x = folded(a), y = folded(b);
    std::vector<std::size_t> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= x.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

std::string nearest(const std::string& key, const std::vector<std::string>& keys) {
    std::string best;
    std::size_t bestDistance = SIZE_MAX;
    for (const std::string& k : keys) {
        const std::size_t d = editDistance(key, k);
        if (d < bestDistance) bestDistance = d, best = k;
    }
    return bestDistance <= std::max<std::size_t>(2, key.size() / 3) ? best : std::string();
}

bool looksLikeSetting(std::string_view name) {
    std::string key(name);
    while (!key.empty() && isBlank(key.front())) key.erase(0, 1);
    while (!key.empty() && isBlank(key.back())) key.pop_back();
    return kit::IsValidIdent(key) || isOneOf(key, kOptionKeys) || isOneOf(key, kItemKeys) || kit::SameText(key, "Count");
}

// The builder looks up the decimal text of a number: only keys of that form are ever found.
bool isIconNumber(const std::string& key) {
    const std::size_t digits = key.size() - (key.front() == '-' ? 1 : 0);
    if (digits == 0 || digits > 10 || key.find_first_not_of("0123456789", key.size() - digits) != std::string::npos)
        return false;
    const long long value = std::stoll(key);
    return value >= INT_MIN && value <= INT_MAX && std::to_string(value) == key;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

class Checker {
public:
    explicit Checker(const ToolbarFiles& files) : files_(files) {}

    std::vector<Finding> run() {
        const std::string iniName = files_.toolbarFile + ".ini";
        if (!files_.config) {
            add(iniName, 0, true, "missing configuration file: the toolbar would have no items");
            checkFiles();
            return sorted();
        }
        for (EncodingFinding& f : CheckEncoding(*files_.config)) add(iniName, f.line, f.error, std::move(f.text));
        scan_ = ScanIni(*files_.config);
        ini_.LoadFromText(*files_.config);
        loadIcons();
        checkSyntax();
        checkOptions();
        checkUpdateSigning();
        checkHomePage();
        checkItems();
        checkIconsSection();
        checkFiles();
        return sorted();
    }

private:
    struct Item {
        std::string section;
        std::string name;
        bool separator = false;
        bool submenu = false;
        bool plain = false;  // a TTBItem: what a search engine and the search restore need
        int listLine = 0;
    };

    std::string path(const std::string& name) const { return files_.folder.empty() ? name : files_.folder + "/" + name; }
    void add(const std::string& file, int line, bool error, std::string text) {
        findings_.push_back(Finding{path(file), line, error, std::move(text)});
    }
    void error(int line, std::string text) { add(files_.toolbarFile + ".ini", line, true, std::move(text)); }
    void warning(int line, std::string text) { add(files_.toolbarFile + ".ini", line, false, std::move(text)); }

    std::vector<Finding> sorted() {
        std::stable_sort(findings_.begin(), findings_.end(), [&](const Finding& a, const Finding& b) {
            const bool aIni = a.file == path(files_.toolbarFile + ".ini"), bIni = b.file == path(files_.toolbarFile + ".ini");
            if (aIni != bIni) return aIni;
            if (a.file != b.file) return a.file < b.file;
            return a.line < b.line;
        });
        return std::move(findings_);
    }

    // The line of a key, else its section's header, else the top of the file.
    int lineOf(const std::string& section, const std::string& key) const {
        if (const IniLine* line = scan_.findKey(section, key)) return line->number;
        const int header = scan_.sectionLine(section);
        return header ? header : 1;
    }
    bool hasKey(const std::string& section, const std::string& key) const { return scan_.findKey(section, key); }

    void loadIcons() {
        if (!files_.icons) return;
        try {
            iconCount_ = static_cast<int>(toolbar::ReadIconFile(*files_.icons).images.size());
        } catch (const kit::Error& e) {
            iconError_ = e.what();
        }
    }

    bool isKnownSection(int s) const {
        const std::string& name = scan_.sections[static_cast<std::size_t>(s)].name;
        return kit::SameText(name, kOptions) || kit::SameText(name, kToolbarItems) || kit::SameText(name, kIcons) ||
               listed_.count(folded(name));
    }

    // Header, key and comment mistakes, line by line.
    void checkSyntax() {
        config::TStrings listedNames;
        ini_.ReadSection(kToolbarItems, listedNames);
        for (const std::string& n : listedNames) listed_.insert(folded(n));

        for (const IniLine& line : scan_.lines) {
            std::string_view trimmed = line.text;
            while (!trimmed.empty() && isBlank(trimmed.front())) trimmed.remove_prefix(1);
            while (!trimmed.empty() && isBlank(trimmed.back())) trimmed.remove_suffix(1);
            if (line.kind != IniLine::Header && trimmed.size() >= 2 && trimmed.front() == '[' &&
                trimmed.find(']') != std::string_view::npos) {
                const bool dropped = line.section < 0 ||
                                     scan_.sections[static_cast<std::size_t>(line.section)].firstOfName != line.section;
                error(line.number, "not a section header: a header must fill its line, without blanks around it; "
                                   "this line is " +
                                       std::string(dropped ? "dropped" : "read as a line of the section before"));
                continue;
            }
            if (line.kind == IniLine::Header) {
                const IniSection& section = scan_.sections[static_cast<std::size_t>(line.section)];
                if (section.firstOfName != line.section)
                    error(line.number, "section " + quoted(section.name) + " repeats the one at line " +
                                           std::to_string(scan_.sections[static_cast<std::size_t>(section.firstOfName)].line) +
                                           ": the engine reads only the first, this one is dropped");
                else if (!isKnownSection(line.section))
                    warning(line.number, "section " + quoted(section.name) +
                                             " is not listed in \"Toolbar Items\" and is not read");
                continue;
            }
            if (line.section < 0) {
                // Notes may stand up there; what reads like a setting was meant to count.
                if (line.kind == IniLine::Key && looksLikeSetting(KeyName(line.text)))
                    warning(line.number, "setting above the first section header: the engine ignores it");
                continue;
            }
            const IniSection& section = scan_.sections[static_cast<std::size_t>(line.section)];
            if (section.firstOfName != line.section || !isKnownSection(line.section)) continue;
            if (line.kind == IniLine::NoEquals && line.text.front() != ';') {
                warning(line.number, "line without \"=\": neither a key nor a header, the engine ignores it");
                continue;
            }
            if (line.kind != IniLine::Key) continue;
            checkKeyLine(line, section.name);
        }
    }

    void checkKeyLine(const IniLine& line, const std::string& section) {
        const std::string key(KeyName(line.text));
        if (key.empty()) return;
        if (key.front() == ';') {
            if (!kit::SameText(section, kToolbarItems))
                warning(line.number, "\";\" starts no comment inside a section: this line is the key " + quoted(key));
            return;
        }
        std::string name = key;
        while (!name.empty() && isBlank(name.front())) name.erase(0, 1);
        while (!name.empty() && isBlank(name.back())) name.pop_back();
        if (name != key) {
            error(line.number, "blanks around " + quoted(name) + " belong to the name: the engine does not find it; "
                               "write " + name + "=...");
            return;
        }
        const IniLine* first = scan_.findKey(section, key);
        const bool itemList = kit::SameText(section, kToolbarItems);
        if (first && first != &line && !itemList) {
            warning(line.number, "key " + quoted(key) + " repeats line " + std::to_string(first->number) +
                                     ": only the first counts");
            return;
        }
        if (itemList || kit::SameText(section, kIcons)) return;

        const std::vector<std::string>* known = &kItemKeys;
        std::vector<std::string> searchKeys;
        if (kit::SameText(section, kOptions)) {
            known = &kOptionKeys;
        } else if (section.find("Separator") != std::string::npos) {
            known = &kSeparatorKeys;
            if (!isOneOf(key, kSeparatorKeys) && isOneOf(key, kItemKeys)) {
                warning(line.number, quoted(key) + " has no effect on a separator");
                return;
            }
        } else if (section == kSearchSection) {
            searchKeys = kItemKeys;
            searchKeys.push_back("Count");
            known = &searchKeys;
            if (kit::SameText(key, "URL") || kit::SameText(key, "Tag")) {
                warning(line.number, quoted(key) + " has no effect on the search button");
                return;
            }
        }
        if (!isOneOf(key, *known)) {
            const std::string suggestion = nearest(key, *known);
            warning(line.number, "unknown key " + quoted(key) + " in section " + quoted(section) +
                                     (suggestion.empty() ? std::string() : "; did you mean " + quoted(suggestion) + "?"));
            return;
        }
        const std::string value = line.text.substr(key.size() + 1);
        if (isOneOf(key, kIntegerKeys)) {
            if (ini_.ReadInteger(section, key, INT_MIN) == INT_MIN && ini_.ReadInteger(section, key, INT_MAX) == INT_MAX)
                warning(line.number, quoted(key) + " is not a number (" + quoted(value) +
                                         "): the engine takes its default");
        } else if (isOneOf(key, kTextKeys) && !value.empty() && isBlank(value.front())) {
            warning(line.number, "the value of " + quoted(key) + " begins with a blank, which the engine keeps");
        }
    }

    void checkOptions() {
        const std::string updates = ini_.ReadString(kOptions, "Updates URL", "");
        const bool updatesSet = updates.find_first_not_of(' ') != std::string::npos;
        if (ini_.ReadString(kOptions, "Toolbar Name", "").empty()) {
            const std::string text = "no \"Toolbar Name\" in section \"Options\": the update marker is missing, so "
                                     "the engine refuses this file as an update";
            if (updatesSet)
                error(lineOf(kOptions, "Toolbar Name"), text + " and shows an error box");
            else
                warning(lineOf(kOptions, "Toolbar Name"), text);
        }
        if (updatesSet) {
            const int line = lineOf(kOptions, "Updates URL");
            if (isBlank(updates.back())) {
                error(line, "\"Updates URL\" ends with a blank, which stays in the address: no update is ever fetched");
            } else {
                const std::string fetched = updates + (updates.back() == '/' ? "" : "/") + "toolbar.ini";
                if (!kg::IsPlausibleUrl(fetched))
                    error(line, "\"Updates URL\" gives " + quoted(fetched) +
                                    ", which the engine refuses as an address: no update is ever fetched");
            }
        }
        if (hasKey(kOptions, "Search URL") && !containsNoCase(ini_.ReadString(kOptions, "Search URL", ""), "[search]"))
            warning(lineOf(kOptions, "Search URL"),
                    "\"Search URL\" holds no \"[search]\": the search text is appended at its end");
    }

    // Signed updates: a key the engine can read, and no plain "http://" channel without one.
    void checkUpdateSigning() {
        const std::string key = ini_.ReadString(kOptions, kg::UpdateKeyName, "");
        const bool keySet = key.find_first_not_of(" \t") != std::string::npos;
        if (keySet && !kg::ParseUpdateKey(key))
            error(lineOf(kOptions, kg::UpdateKeyName),
                  "\"Update Key\" is not an ECDSA P-256 public key (base64 of 64 bytes, as kgsign keygen prints it): "
                  "the engine accepts no update at all");
        const std::string updates = ini_.ReadString(kOptions, "Updates URL", "");
        std::string scheme = updates.substr(0, 7);
        for (char& c : scheme)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!keySet && scheme == "http://")
            warning(lineOf(kOptions, "Updates URL"),
                    "\"Updates URL\" is plain \"http://\" and there is no \"Update Key\": whoever is on the network "
                    "path can replace the configuration; sign the updates (kgsign) or use \"https://\"");
    }

    // The About window opens the home page only when it is a web or mail address.
    void checkHomePage() {
        const std::string home = ini_.ReadString(kOptions, "Home Page URL", "");
        if (!home.empty() && !kg::ShellSafeAddress(home))
            warning(lineOf(kOptions, "Home Page URL"),
                    "\"Home Page URL\" is not a web or mail address (\"http://\", \"https://\", \"ftp://\", "
                    "\"mailto:\", \"news:\" or \"www.\"): the About window does not open it");
    }

    // The items in the engine's order of building.
    void checkItems() {
        config::TStrings names;
        ini_.ReadSection(kToolbarItems, names);

        // Every name the list will create, for telling "later" from "nowhere".
        std::map<std::string, std::size_t> laterNames;
        for (std::size_t i = 0; i < names.size(); ++i)
            laterNames.emplace(folded(ini_.ReadString(names[i], "Name", names[i])), i);

        std::map<std::string, Item> built;  // folded name -> item
        std::vector<Item> items;
        std::string searchButton;
        const std::string mainMenu = ini_.ReadString(kOptions, "Main Menu", "");
        std::vector<int> listLines;
        for (const IniLine& line : scan_.lines)
            if (line.kind == IniLine::Key && line.section >= 0 && line.section == scan_.findSection(kToolbarItems) &&
                !KeyName(line.text).empty())
                listLines.push_back(line.number);

        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& section = names[i];
            Item item;
            item.section = section;
            item.listLine = i < listLines.size() ? listLines[i] : lineOf(kToolbarItems, section);
            if (isBlank(section.front()) || isBlank(section.back())) continue;  // reported with the line's blanks
            item.separator = section.find("Separator") != std::string::npos;
            item.submenu = !item.separator && section.find("SubMenu") != std::string::npos;
            if (!item.separator && !item.submenu && section == kSearchSection) {
                item.plain = ini_.ReadInteger(kSearchSection, "Count", 0) == 0;
                searchButton = folded(ini_.ReadString(section, "Name", section));
            } else {
                item.plain = !item.separator && !item.submenu;
            }
            item.name = ini_.ReadString(section, "Name", section);
            const bool hasSection = scan_.findSection(section) >= 0;
            const int nameLine = hasSection && hasKey(section, "Name") ? lineOf(section, "Name") : item.listLine;
            if (!kit::IsValidIdent(item.name)) {
                error(nameLine, quoted(item.name) + " is not a valid component name: the toolbar's build stops at "
                                "this item, and the items after it are missing");
                continue;
            }
            std::string designedName;
            if (designedKind(item.name, &designedName) != Designed::NotDesigned) {
                error(nameLine, "the name " + quoted(item.name) + " is taken by the toolbar window's own " +
                                    quoted(designedName) + ": the toolbar's build stops at this item");
                continue;
            }
            if (auto taken = built.find(folded(item.name)); taken != built.end()) {
                error(nameLine, "the name " + quoted(item.name) + " is taken by the item of section " +
                                    quoted(taken->second.section) + ": the toolbar's build stops at this item");
                continue;
            }
            if (!hasSection) {
                error(item.listLine, "\"Toolbar Items\" lists " + quoted(section) +
                                         ", which has no section: the item is never shown");
                built.emplace(folded(item.name), item);
                continue;
            }
            checkParent(item, built, laterNames, i, mainMenu);
            if (!item.separator) checkImage(item);
            built.emplace(folded(item.name), item);
            items.push_back(item);
        }
        // Without a "miSearch" section the engine adds its own search button of that name.
        if (auto taken = built.find(folded(kSearchSection)); searchButton.empty() && taken != built.end())
            error(lineOf(taken->second.section, "Name"),
                  "the name " + quoted(taken->second.name) + " is the one the engine gives its own search button "
                  "when \"Toolbar Items\" lists no \"miSearch\": the toolbar's build fails at its end");
        if (!mainMenu.empty() && !built.count(folded(mainMenu)) && designedKind(mainMenu) != Designed::MenuEntry)
            error(lineOf(kOptions, "Main Menu"), "\"Main Menu\" names " + quoted(mainMenu) +
                                                     ", which is no item: the context menu keeps its own entries");
        checkEngines(items, searchButton);
    }

    void checkParent(const Item& item, const std::map<std::string, Item>& built,
                     const std::map<std::string, std::size_t>& laterNames, std::size_t position,
                     const std::string& mainMenu) {
        const std::string parent = ini_.ReadString(item.section, "Parent", "");
        const int line = lineOf(item.section, "Parent");
        if (parent == kToolbarParent || built.count(folded(parent))) return;
        if (parent.empty()) {
            if (!kit::SameText(item.name, mainMenu))
                error(line, "item " + quoted(item.name) + " has no \"Parent\": it is never shown");
            return;
        }
        if (kit::SameText(parent, item.name)) {
            error(line, "item " + quoted(item.name) + " names itself as \"Parent\": it is never shown");
            return;
        }
        std::string designedName;
        switch (designedKind(parent, &designedName)) {
        case Designed::Toolbar:
            error(line, "\"Parent\" is " + quoted(parent) + ": only \"Toolbar\", in this letter case, puts an item on "
                        "the toolbar; the item is never shown");
            return;
        case Designed::Menu:
            error(line, "\"Parent\" names the menu " + quoted(designedName) + ", which takes no items: the item is "
                        "never shown; to fill the context menu, name an item in \"Main Menu\"");
            return;
        case Designed::SearchBox:
            error(line, "\"Parent\" names the search box, which takes no items: the item is never shown");
            return;
        case Designed::OtherPart:
            error(line, "\"Parent\" names " + quoted(designedName) + ", a part of the toolbar window that takes no "
                        "items: the item is never shown");
            return;
        case Designed::MenuEntry:
            warning(line, "\"Parent\" names " + quoted(designedName) + ", an entry of the built-in context menu");
            return;
        case Designed::NotDesigned:
            break;
        }
        if (auto later = laterNames.find(folded(parent)); later != laterNames.end() && later->second > position)
            error(line, "\"Parent\" " + quoted(parent) + " is listed after this item in \"Toolbar Items\": the item is "
                        "never shown; list the parent first");
        else
            error(line, "\"Parent\" names " + quoted(parent) + ", which is no item: the item is never shown");
    }

    void checkImage(const Item& item) {
        if (!hasKey(item.section, "ImageIndex")) return;
        const int image = ini_.ReadInteger(item.section, "ImageIndex", -1);
        if (image == -1) return;
        if (!hasKey(kIcons, std::to_string(image)))
            warning(lineOf(item.section, "ImageIndex"), "\"ImageIndex\" " + std::to_string(image) +
                                                            " has no entry in section \"Icons\": the item shows no image");
    }

    void checkEngines(const std::vector<Item>& items, const std::string& searchButton) {
        std::map<int, std::string> tags;  // search type -> the item that wins the restore
        std::optional<int> group;
        for (const Item& item : items) {
            if (!item.plain || item.section == kSearchSection) continue;
            const int tag = ini_.ReadInteger(item.section, "Tag", 0);
            const bool engine =
                !searchButton.empty() && folded(ini_.ReadString(item.section, "Parent", "")) == searchButton;
            if (engine) {
                const std::string url = ini_.ReadString(item.section, "URL", "");
                if (!url.empty() && !containsNoCase(url, "[search]"))
                    warning(lineOf(item.section, "URL"), "the search engine's \"URL\" holds no \"[search]\": the "
                                                         "search text is appended at its end");
                const int groupIndex = ini_.ReadInteger(item.section, "GroupIndex", 0);
                if (groupIndex <= 0)
                    warning(lineOf(item.section, "GroupIndex"),
                            "search engine " + quoted(item.name) + " has no \"GroupIndex\" above 0: choosing it "
                            "does not clear the other engines' check marks");
                else if (!group)
                    group = groupIndex;
                else if (groupIndex != *group)
                    warning(lineOf(item.section, "GroupIndex"),
                            "search engine " + quoted(item.name) + " has \"GroupIndex\" " + std::to_string(groupIndex) +
                                ", the first engine " + std::to_string(*group) +
                                ": choosing it does not clear the other engines' check marks");
                if (tag < kFirstSearchType || tag > kLastSearchType) {
                    error(lineOf(item.section, "Tag"), "search engine " + quoted(item.name) + " has \"Tag\" " +
                                                           std::to_string(tag) + ", outside 1 to 30: it is no search "
                                                           "engine, and the search button never takes it");
                    continue;
                }
            } else if (tag < kFirstSearchType || tag > kLastSearchType) {
                continue;
            }
            if (auto first = tags.find(tag); first != tags.end()) {
                error(lineOf(item.section, "Tag"), "\"Tag\" " + std::to_string(tag) + " repeats that of " +
                                                       quoted(first->second) +
                                                       ", which the engine finds first when it restores the search type");
                continue;
            }
            tags.emplace(tag, item.name);
            if (!engine)
                warning(lineOf(item.section, "Tag"), "\"Tag\" " + std::to_string(tag) + " marks a search engine, but " +
                                                         quoted(item.name) + " is not under the search button");
        }
    }

    void checkIconsSection() {
        const int s = scan_.findSection(kIcons);
        int mapped = 0;
        for (const IniLine& line : scan_.lines) {
            if (s < 0 || line.section != s || line.kind != IniLine::Key) continue;
            const std::string key(KeyName(line.text));
            if (key.empty() || key.front() == ';' || isBlank(key.front()) || isBlank(key.back())) continue;
            if (scan_.findKey(kIcons, key) != &line) continue;
            if (!isIconNumber(key)) {
                warning(line.number, quoted(key) + " is not an icon number as the engine writes it (decimal, no "
                                     "leading zeros or blanks): no \"ImageIndex\" reaches this entry");
                continue;
            }
            const int position = ini_.ReadInteger(kIcons, key, -1);
            if (position < 0) continue;
            ++mapped;
            if (files_.icons && iconError_.empty() && position >= iconCount_)
                warning(line.number, "icon position " + std::to_string(position) + " lies beyond the icon file, which "
                                     "holds " + std::to_string(iconCount_) + " images: the item shows no image");
        }
        if (!files_.icons && mapped > 0)
            add(kIconFile, 0, true, "missing icon file: section \"Icons\" maps images, but no item shows one");
        else if (!iconError_.empty())
            add(kIconFile, 0, true, "the icon file does not load (" + iconError_ + "): no item shows an image");
    }

    void checkFiles() {
        const std::string bannerName = files_.toolbarFile + ".bmp";
        if (!files_.banner) {
            add(bannerName, 0, false, "missing banner picture: the banner stays empty");
        } else {
            try {
                const kit::BmpInfo info = kit::ReadBmpInfo(files_.banner->data(), files_.banner->size());
                kit::DecodeBmp(files_.banner->data(), files_.banner->size());
                if (info.width != kBannerWidth || info.height != kBannerHeight)
                    add(bannerName, 0, false, "the banner picture is " + std::to_string(info.width) + " x " +
                                                  std::to_string(info.height) + " pixels; the banner is " +
                                                  std::to_string(kBannerWidth) + " x " + std::to_string(kBannerHeight));
            } catch (const kit::Error& e) {
                add(bannerName, 0, true, std::string("the banner picture does not load (") + e.what() +
                                             "): the toolbar's build stops before its items");
            }
        }
        if (!files_.hasLegalNotice)
            add(kLegalNotice, 0, false, "missing legal notice: the About window shows none");
    }

    const ToolbarFiles& files_;
    ScannedIni scan_;
    config::TBigIniFile ini_;
    std::set<std::string> listed_;
    int iconCount_ = 0;
    std::string iconError_;
    std::vector<Finding> findings_;
};

} // namespace

std::string Finding::Format() const {
    return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + (error ? "error" : "warning") +
           ": " + text;
}

std::vector<Finding> CheckToolbar(const ToolbarFiles& files) { return Checker(files).run(); }

std::vector<std::string> DesignedComponentNames() {
    std::vector<std::string> names;
    for (const auto& entry : designedComponents()) names.push_back(entry.first);
    return names;
}

} // namespace kgcheck
