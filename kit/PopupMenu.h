#pragma once
// Popup menus made from item trees. BuildMenu turns the children that an item
// shows into a real menu; the toolbar's drop-downs and chevron use the same
// code. Images are drawn by the window that owns the menu while it is shown
// (HBMMENU_CALLBACK), so that window passes WM_MEASUREITEM and WM_DRAWITEM to
// HandleMenuImageMessage.
#include "core/Component.h"
#include "kit/Events.h"
#include "kit/Handles.h"
#include "kit/Items.h"
#include "kit/PopupTarget.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class TImageList;

// A menu shows at most this many entries of one item list; a last, disabled entry
// says how many more there are (MoreEntriesText). The platform's menus slow down
// with the square of their length, and nobody picks from a list that long.
inline constexpr int kMaxMenuEntries = 1000;
std::string MoreEntriesText(std::size_t count);

// What a built menu needs while it lives: the item behind each command and the
// image each entry draws. Keep it until the menu is destroyed.
class TTBMenuMap {
public:
    TTBMenuMap() = default;
    TTBMenuMap(const TTBMenuMap&) = delete;
    TTBMenuMap& operator=(const TTBMenuMap&) = delete;

    // The item a command stands for; nullptr for 0, for a command the menu
    // does not have and for an item freed since the menu was built.
    TTBCustomItem* ItemOf(UINT command) const noexcept;
    // The first command of an item in the menu; 0 when it is not there.
    UINT CommandOf(const TTBCustomItem* item) const noexcept;
    // The image an entry draws (-1 for none) and the list it comes from.
    int ImageIndexOf(UINT command) const noexcept;
    TImageList* ImagesOf(UINT command) const noexcept;
    std::size_t Count() const noexcept { return entries_.size(); }

    struct Entry {
        std::uint32_t magic;
        const TTBCustomItem* item;
        std::uint64_t serial;
        TImageList* images;  // nullptr: no image
        int imageIndex;
    };

private:
    friend class MenuBuilder;
    const Entry* entry(UINT command) const noexcept;
    std::deque<Entry> entries_;  // stable addresses: the menu's item data point here
};

// Builds a popup menu from the children that `root` shows (its LinkSubitems'
// when set, at every level): captions with their "&" accelerators and the
// shortcut text after a tab; images from the submenu's Images (an item's own,
// else those of the menu it is in, else `images`); check marks (radio marks
// for items with a GroupIndex above 0); disabled items greyed; invisible and
// control items left out; separators (none at either end or doubled);
// submenus for submenu items that show children; a split item gets a submenu
// that starts with an entry for the item itself.
unique_hmenu BuildMenu(const TTBCustomItem& root, TTBMenuMap& map, TImageList* images = nullptr);
// The same for a list of items (the toolbar's chevron).
unique_hmenu BuildMenu(const std::vector<TTBCustomItem*>& items, TTBMenuMap& map, TImageList* images);

// Measures and draws the images of menus built by BuildMenu; true when the
// message was one of theirs.
bool HandleMenuImageMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

// Shows a built menu at a screen point (modal, TPM_RETURNCMD) with `owner`
// as its owner window and answers the chosen item (nullptr for none), not clicked yet.
TTBCustomItem* ChooseFromItemMenu(HMENU menu, const TTBMenuMap& map, HWND owner, int x, int y, UINT flags = 0,
                                  const RECT* exclude = nullptr);
// The same, and clicks the chosen item. True when one was chosen.
bool TrackItemMenu(HMENU menu, const TTBMenuMap& map, HWND owner, int x, int y, UINT flags = 0,
                   const RECT* exclude = nullptr);

class TTBPopupMenu : public TComponent, public TPopupTarget {
public:
    explicit TTBPopupMenu(TComponent* owner);
    ~TTBPopupMenu() override;

    // The menu's own items.
    TTBCustomItem* Items() const noexcept { return root_.get(); }
    TImageList* Images() const noexcept { return root_->Images(); }
    void SetImages(TImageList* images) { root_->SetImages(images); }
    // An item whose children the menu shows in place of its own; nullptr for none.
    TTBCustomItem* LinkSubitems() const noexcept { return root_->LinkSubitems(); }
    void SetLinkSubitems(TTBCustomItem* item) { root_->SetLinkSubitems(item); }

    TNotifyEvent OnPopup;
    // Runs OnPopup, shows the menu at a screen point and clicks the chosen item.
    void Popup(int screenX, int screenY) override;
    // The menu that Popup shows.
    unique_hmenu BuildMenu(TTBMenuMap& map) const;

private:
    std::unique_ptr<TTBRootItem> root_;
};

} // namespace kit
