// BuildToolbar: the banner picture, the icons, the display options, one item
// per line of "Toolbar Items", the search button and the search state that
// was in use when the toolbar was last closed.
#include "toolbar/KestrelgroveForm.h"

#include "core/BigIni.h"
#include "core/ConfigNames.h"
#include "config/Registry.h"
#include "config/UserState.h"
#include "config/Settings.h"
#include "toolbar/Update.h"
#include "kit/ComboBox.h"
#include "core/ErrorText.h"
#include "kit/Files.h"
#include "kit/Image.h"
#include "kit/ImageList.h"
#include "kit/Items.h"
#include "kit/PopupMenu.h"
#include "kit/Toolbar.h"
#include "toolbar/IconListLoader.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace kg {

namespace {

using namespace kg::confignames;

// The toolbar takes the items of a build in one batch, also when the build
// ends with an error: the items made before it still reach the buttons.
class ToolbarBatch {
public:
    explicit ToolbarBatch(kit::TTBToolbar& toolbar) : toolbar_(toolbar) { toolbar_.BeginUpdate(); }
    ToolbarBatch(const ToolbarBatch&) = delete;
    ToolbarBatch& operator=(const ToolbarBatch&) = delete;
    ~ToolbarBatch() {
        try {
            toolbar_.EndUpdate();
        } catch (...) {
            // A destructor cannot raise; the next change to the toolbar brings its buttons in line.
        }
    }

private:
    kit::TTBToolbar& toolbar_;
};

// The stored search type: a decimal number (leading blanks and a sign
// allowed); anything else, an empty text included, counts as 1.
int searchTypeFrom(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX) return 1;
    return static_cast<int>(value);
}

bool contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

} // namespace

void TformToolbar::BuildToolbar() {
    // Its answer does not matter here: without a usable configuration the defaults build the toolbar.
    UpdateConfiguration();
    TToolbarSettings& settings = ToolbarSettings();
    ToolbarBatch batch(*Toolbar);
    const ConfigurationInUse inUse = FindConfigurationInUse();

    const std::string bannerFile = settings.BannerFileName();
    if (kit::IsFile(bannerFile)) Image->LoadFromFile(bannerFile);

    // An unreadable icon file leaves the toolbar without icons, never without a toolbar.
    bool iconsUsable = true;
    const std::string iconFile = inUse.iconFile;
    if (kit::IsFile(iconFile)) {
        try {
            toolbar::ReadIconFileIntoImageList(iconFile, *IconList);
        } catch (...) {
            IconList->Clear();
            iconsUsable = false;
        }
    }

    try {
        // A folder in the configuration file's place counts as a missing file.
        const std::string configFile = inUse.configFile;
        config::TBigIniFile ini(kit::IsFolder(configFile) ? std::string() : configFile);

        settings.MainMenu = ini.ReadString(kOptions, "Main Menu", "");
        if (settings.MainMenu.empty())
            popupMain->SetImages(IconList_Main);
        else
            popupMain->SetImages(iconsUsable ? IconList : nullptr);

        Image->SetTransparent(ini.ReadBool(kOptions, "Bitmap Transparent", false));
        settings.ToolbarFullSize = ini.ReadBool(kOptions, "Toolbar Full Size", true);
        SearchBox->SetWidth(ini.ReadInteger(kOptions, "Search Width", 145));
        settings.SearchDynamic = ini.ReadBool(kOptions, "Search Dynamic", true);

        // One name at a time: a list of a million names would cost more than the items.
        ini.ForEachKeyName(kToolbarItems, [&](const std::string& section) {
            try {
                buildItem(ini, section);
            } catch (const kit::Error& e) {
                throw kit::Error("Configuration file \"" + configFile + "\": section [" + kit::Quote(section) +
                                 "]: " + e.what());
            }
        });
    } catch (const std::bad_alloc&) {
        throw kit::Error("Configuration file \"" + settings.ConfigFileName() + "\": " + kit::kOutOfMemory);
    }

    if (!SearchButton) {
        auto* button = new kit::TTBItem(this);
        SearchButton = button;
        button->SetName("miSearch");
        button->SetCaption("Search");
        button->SetImageIndex(8);
        button->SetDisplayMode(kit::nbdmImageAndText);
        Toolbar->Items()->Add(button);
    }

    SearchButton->OnClick = [this](kit::TComponent* sender) { MISearchClick(sender); };
    SearchButton->SetHint("");
    SearchButton->Tag = 0;
    SearchTemplate = settings.SearchURL;
    SearchBox->SetVisible(SearchButton->Visible());

    restoreSearchType();

    const std::string searchText = ReadUserValue("Search");
    SearchBox->SetText(searchText);
    SearchBox->SetItemIndex(SearchBox->IndexOf(searchText));

    if (auto* menu = dynamic_cast<kit::TTBCustomItem*>(FindComponent(settings.MainMenu)))
        popupMain->SetLinkSubitems(menu);
}

void TformToolbar::buildItem(config::TBigIniFile& ini, const std::string& section) {
    kit::TTBCustomItem* item = nullptr;
    if (contains(section, "Separator")) {
        item = new kit::TTBSeparatorItem(this);
        item->SetName(ini.ReadString(section, "Name", section));
    } else {
        if (contains(section, "SubMenu")) {
            auto* submenu = new kit::TTBSubmenuItem(this);
            item = submenu;
            submenu->SetOptions(submenu->Options() + kit::tboDropdownArrow);
            if (!ini.ReadString(section, "URL", "").empty()) submenu->SetDropdownCombo(true);
        } else if (section == kSearchSection) {
            const int count = ini.ReadInteger(kSearchSection, "Count", 0);
            if (count != 0) {
                auto* submenu = new kit::TTBSubmenuItem(this);
                item = submenu;
                if (count > 0) {
                    submenu->SetOptions(submenu->Options() + kit::tboDropdownArrow);
                    submenu->SetDropdownCombo(true);
                }
            } else {
                item = new kit::TTBItem(this);
            }
            SearchButton = item;
        } else {
            item = new kit::TTBItem(this);
        }
        item->SetCaption(ini.ReadStringStart(section, "Caption", "", kit::kMaxKeptCaption));
        const int configuredImage = ini.ReadInteger(section, "ImageIndex", -1);
        item->SetImageIndex(ini.ReadInteger(kIcons, std::to_string(configuredImage), -1));
        item->SetDisplayMode(kit::nbdmImageAndText);
        item->SetName(ini.ReadString(section, "Name", section));
        item->SetHint(ini.ReadString(section, "URL", ""));
        item->Tag = ini.ReadInteger(section, "Tag", 0);
        item->SetGroupIndex(ini.ReadInteger(section, "GroupIndex", 0));
        item->SetAutoCheck(item->GroupIndex() > 0);
        item->SetEnabled(ini.ReadBool(section, "Enabled", true));
        if (section != kSearchSection && !item->Hint().empty())
            item->OnClick = [this](kit::TComponent* sender) { MIClick(sender); };
    }
    item->SetVisible(ini.ReadBool(section, "Visible", true));

    const std::string parentName = ini.ReadString(section, "Parent", "");
    if (parentName == kToolbarParent) {
        Toolbar->Items()->Add(item);
        return;
    }
    // Only an item created earlier can take children; any other component of
    // that name (the search box, a menu, the toolbar control) leaves the item
    // unplaced, and so does the item's own name.
    auto* parent = dynamic_cast<kit::TTBCustomItem*>(FindComponent(parentName));
    if (parent && parent != item) parent->Add(item);
}

void TformToolbar::restoreSearchType() {
    const int searchType = searchTypeFrom(ReadUserValue("Search Type"));
    if (searchType < kFirstSearchType || searchType > kLastSearchType) return;
    for (kit::TComponent* component : OwnedComponents()) {
        // Plain items only: submenu items and separators are other classes.
        auto* engine = dynamic_cast<kit::TTBItem*>(component);
        if (!engine || engine->Tag != searchType) continue;
        engine->SetChecked(true);
        SearchTemplate = engine->Hint();
        SearchButton->SetCaption(engine->Caption());
        SearchButton->SetImageIndex(engine->ImageIndex());
        SearchButton->Tag = engine->Tag;
        return;
    }
}

} // namespace kg
