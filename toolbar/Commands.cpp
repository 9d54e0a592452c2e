// The commands of the configured items, the fixed entries of the window's
// context menu and the banner picture.
#include "toolbar/KestrelgroveForm.h"

#include "config/Settings.h"
#include "kit/ComboBox.h"
#include "kit/Items.h"
#include "toolbar/About.h"
#include "core/SearchUrl.h"

#include <string>

namespace kg {

namespace {

constexpr char kAboutCommand[] = "[ABOUT]";
constexpr char kCloseCommand[] = "[CLOSE]";

// The text without the characters up to and including the blank at either end.
std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

// Equal in the user's locale, letter case ignored.
bool sameText(const std::string& a, const char* b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b, -1) ==
           CSTR_EQUAL;
}

bool holdsSearchMarker(const std::string& text) {
    return FindSearchPlaceholder(text) != std::string::npos;
}

} // namespace

void TformToolbar::MIClick(kit::TComponent* Sender) {
    auto* item = dynamic_cast<kit::TTBCustomItem*>(Sender);
    if (!item) return;
    const std::string command = item->Hint();
    const std::string bare = trimmed(command);
    if (sameText(bare, kAboutCommand)) {
        ShowAboutWindow(false);
        return;
    }
    if (sameText(bare, kCloseCommand)) {
        HideBand();
        return;
    }
    if (SearchButton && item->Parent() == SearchButton && item->Tag > 0) {
        if (ToolbarSettings().SearchDynamic)
            SelectSearchEngine(*item);
        else
            DoSearch(command, SearchBox->Text());
        return;
    }
    if (holdsSearchMarker(command)) {
        DoSearch(command, SearchBox->Text());
        return;
    }
    const std::size_t bar = command.find('|');
    navigate(bar == std::string::npos ? command : command.substr(bar + 1));
}

void TformToolbar::MIDirectURLClick(kit::TComponent* Sender) {
    const auto* item = dynamic_cast<kit::TTBCustomItem*>(Sender);
    if (!item) return;
    navigate(item->Hint().empty() ? ToolbarSettings().HomePageURL : "http://" + item->Hint());
}

void TformToolbar::eMailClick(kit::TComponent* Sender) {
    if (!dynamic_cast<kit::TTBCustomItem*>(Sender)) return;
    navigate(ToolbarSettings().ContactEMail);
}

void TformToolbar::ImageClick(kit::TComponent*) {
    navigate(ToolbarSettings().HomePageURL);
}

void TformToolbar::AboutClick(kit::TComponent*) {
    ShowAboutWindow(false);
}

} // namespace kg
