#include "kit/PopupMenu.h"

#include "kit/Control.h"
#include "core/Error.h"
#include "kit/ImageList.h"

#include <algorithm>
#include <string>

namespace kit {

namespace {

constexpr std::uint32_t kEntryMagic = 0x4B474D45;  // tells our item data from anyone else's
constexpr int kMaxMenuDepth = 32;

bool isControlItem(const TTBCustomItem* item) { return dynamic_cast<const TTBControlItem*>(item) != nullptr; }

bool showsImageInMenus(const TTBCustomItem* item) {
    const TTBItemDisplayMode mode = item->DisplayMode();
    return mode != nbdmTextOnly && mode != nbdmTextOnlyInMenus;
}

HIMAGELIST imageListHandle(TImageList* images) noexcept {
    try {
        return images ? images->Handle() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

bool imageExists(TImageList* images, int index) noexcept {
    HIMAGELIST list = imageListHandle(images);
    return list && index >= 0 && index < ImageList_GetImageCount(list);
}

const TTBMenuMap::Entry* entryFromData(ULONG_PTR data) noexcept {
    const auto* entry = reinterpret_cast<const TTBMenuMap::Entry*>(data);
    return entry && entry->magic == kEntryMagic ? entry : nullptr;
}

// A hidden top-level window that owns a popup menu while it is shown and draws its images.
class MenuOwnerWindow final : public TControl {
public:
    MenuOwnerWindow() : TControl(nullptr) { visible_ = false; }
    ~MenuOwnerWindow() override { DestroyHandle(); }

protected:
    void CreateParams(TCreateParams& params) override {
        params.className = "Kestrelgrove.MenuOwner";
        params.style = WS_POPUP;
        params.exStyle = WS_EX_TOOLWINDOW;
    }
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (HandleMenuImageMessage(msg, wParam, lParam, result)) return result;
        return TControl::WndProc(msg, wParam, lParam);
    }
};

} // namespace

// Fills menus from item lists; one per BuildMenu call.
class MenuBuilder {
public:
    explicit MenuBuilder(TTBMenuMap& map) : map_(map) {}

    unique_hmenu build(const std::vector<TTBCustomItem*>& items, TImageList* images) {
        unique_hmenu menu(CreatePopupMenu());
        if (!menu) throw OSError(GetLastError(), "Cannot create a menu");
        append(menu.get(), items, images, 0);
        return menu;
    }

    // The images of the submenu that `item` opens.
    static TImageList* submenuImages(const TTBCustomItem& item, TImageList* inherited) {
        if (item.Images()) return item.Images();
        const TTBCustomItem* p = &item;
        for (int depth = 0; depth < kMaxMenuDepth && p->LinkSubitems() && p->LinkSubitems() != p; ++depth) {
            p = p->LinkSubitems();
            if (p->Images()) return p->Images();
        }
        return inherited;
    }

private:
    UINT addEntry(const TTBCustomItem* item, TImageList* images) {
        const bool image = showsImageInMenus(item) && imageExists(images, item->ImageIndex());
        map_.entries_.push_back({kEntryMagic, item, item->Serial(), image ? images : nullptr,
                                 image ? item->ImageIndex() : -1});
        return static_cast<UINT>(map_.entries_.size());
    }

    void insert(HMENU menu, const TTBCustomItem* item, TImageList* images, HMENU submenu) {
        const UINT command = addEntry(item, images);
        const TTBMenuMap::Entry& entry = map_.entries_.back();
        std::string text = ShownCaption(item->Caption());
        if (!item->ShortCut().empty()) text += "\t" + item->ShortCut();
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_DATA;
        mii.fType = MFT_STRING;
        if (item->Checked() && item->GroupIndex() > 0) mii.fType |= MFT_RADIOCHECK;
        if (item->Checked()) mii.fState |= MFS_CHECKED;
        if (!item->Enabled()) mii.fState |= MFS_GRAYED;
        if (item->Options().Contains(tboDefault)) mii.fState |= MFS_DEFAULT;
        mii.wID = command;
        mii.dwItemData = reinterpret_cast<ULONG_PTR>(&entry);
        mii.dwTypeData = text.data();
        mii.cch = static_cast<UINT>(text.size());
        if (entry.images) {
            mii.fMask |= MIIM_BITMAP;
            mii.hbmpItem = HBMMENU_CALLBACK;
        }
        if (submenu) {
            mii.fMask |= MIIM_SUBMENU;
            mii.hSubMenu = submenu;
        }
        if (!InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &mii)) {
            const DWORD code = GetLastError();
            if (submenu) DestroyMenu(submenu);
            throw OSError(code, "Cannot add a menu item");
        }
    }

    static void separator(HMENU menu) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }

    void append(HMENU menu, const std::vector<TTBCustomItem*>& items, TImageList* images, int depth) {
        bool pendingSeparator = false;
        int added = 0;
        std::size_t left = 0;  // entries past kMaxMenuEntries
        // A copy: nothing here changes the tree, but the list may be an item's own.
        for (const TTBCustomItem* item : std::vector<TTBCustomItem*>(items)) {
            if (!item->Visible() || isControlItem(item)) continue;
            if (item->IsSeparator()) {
                pendingSeparator = added > 0;
                continue;
            }
            if (added == kMaxMenuEntries) {
                ++left;
                continue;
            }
            if (pendingSeparator) separator(menu);
            pendingSeparator = false;
            ++added;

            const std::vector<TTBCustomItem*>& children = item->ShownChildren();
            const bool expand = item->IsSubmenu() && !children.empty() && depth < kMaxMenuDepth &&
                                std::find(path_.begin(), path_.end(), &children) == path_.end();
            if (!expand) {
                insert(menu, item, images, nullptr);
                continue;
            }
            unique_hmenu submenu(CreatePopupMenu());
            if (!submenu) throw OSError(GetLastError(), "Cannot create a menu");
            TImageList* subImages = submenuImages(*item, images);
            path_.push_back(&children);
            if (item->IsDropdownCombo()) {
                // A menu entry cannot be split: the submenu offers the item's own click first.
                insert(submenu.get(), item, subImages, nullptr);
                const int before = GetMenuItemCount(submenu.get());
                append(submenu.get(), children, subImages, depth + 1);
                if (GetMenuItemCount(submenu.get()) > before) InsertMenuA(submenu.get(), 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
            } else {
                append(submenu.get(), children, subImages, depth + 1);
            }
            path_.pop_back();
            if (GetMenuItemCount(submenu.get()) > (item->IsDropdownCombo() ? 1 : 0))
                insert(menu, item, images, submenu.release());
            else
                insert(menu, item, images, nullptr);
        }
        if (left > 0 && !AppendMenuA(menu, MF_STRING | MF_GRAYED, 0, MoreEntriesText(left).c_str()))
            throw OSError(GetLastError(), "Cannot add a menu item");
    }

    TTBMenuMap& map_;
    std::vector<const std::vector<TTBCustomItem*>*> path_;  // child lists being shown, against rings
};

std::string MoreEntriesText(std::size_t count) {
    return "(" + std::to_string(count) + (count == 1 ? " more entry" : " more entries") + " not shown)";
}

const TTBMenuMap::Entry* TTBMenuMap::entry(UINT command) const noexcept {
    if (command == 0 || command > entries_.size()) return nullptr;
    return &entries_[command - 1];
}

TTBCustomItem* TTBMenuMap::ItemOf(UINT command) const noexcept {
    const Entry* e = entry(command);
    return e ? TTBCustomItem::FindLive(e->item, e->serial) : nullptr;
}

UINT TTBMenuMap::CommandOf(const TTBCustomItem* item) const noexcept {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].item == item && TTBCustomItem::FindLive(item, entries_[i].serial))
            return static_cast<UINT>(i + 1);
    return 0;
}

int TTBMenuMap::ImageIndexOf(UINT command) const noexcept {
    const Entry* e = entry(command);
    return e && e->images ? e->imageIndex : -1;
}

TImageList* TTBMenuMap::ImagesOf(UINT command) const noexcept {
    const Entry* e = entry(command);
    return e ? e->images : nullptr;
}

unique_hmenu BuildMenu(const TTBCustomItem& root, TTBMenuMap& map, TImageList* images) {
    return MenuBuilder(map).build(root.ShownChildren(), MenuBuilder::submenuImages(root, images));
}

unique_hmenu BuildMenu(const std::vector<TTBCustomItem*>& items, TTBMenuMap& map, TImageList* images) {
    return MenuBuilder(map).build(items, images);
}

bool HandleMenuImageMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) noexcept {
    if (msg == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!measure || measure->CtlType != ODT_MENU) return false;
        const TTBMenuMap::Entry* entry = entryFromData(measure->itemData);
        if (!entry) return false;
        int cx = 0, cy = 0;
        if (HIMAGELIST list = imageListHandle(entry->images)) ImageList_GetIconSize(list, &cx, &cy);
        measure->itemWidth = static_cast<UINT>(std::max(cx, 0));
        measure->itemHeight = static_cast<UINT>(std::max(cy, 0));
        result = TRUE;
        return true;
    }
    if (msg == WM_DRAWITEM) {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (!draw || draw->CtlType != ODT_MENU) return false;
        const TTBMenuMap::Entry* entry = entryFromData(draw->itemData);
        if (!entry) return false;
        result = TRUE;
        HIMAGELIST list = imageListHandle(entry->images);
        if (!list || entry->imageIndex < 0 || entry->imageIndex >= ImageList_GetImageCount(list)) return true;
        int cx = 0, cy = 0;
        ImageList_GetIconSize(list, &cx, &cy);
        const RECT& r = draw->rcItem;
        const int x = r.left + ((r.right - r.left) - cx) / 2;
        const int y = r.top + ((r.bottom - r.top) - cy) / 2;
        if (draw->itemState & (ODS_GRAYED | ODS_DISABLED)) {
            unique_hicon icon(ImageList_GetIcon(list, entry->imageIndex, ILD_TRANSPARENT));
            if (icon) DrawStateA(draw->hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.get()), 0, x, y, cx, cy,
                                 DST_ICON | DSS_DISABLED);
        } else {
            ImageList_Draw(list, entry->imageIndex, draw->hDC, x, y, ILD_TRANSPARENT);
        }
        return true;
    }
    return false;
}

TTBCustomItem* ChooseFromItemMenu(HMENU menu, const TTBMenuMap& map, HWND owner, int x, int y, UINT flags,
                                  const RECT* exclude) {
    if (!menu || GetMenuItemCount(menu) <= 0) return nullptr;
    TPMPARAMS params{};
    params.cbSize = sizeof params;
    if (exclude) params.rcExclude = *exclude;
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(menu, flags | TPM_RETURNCMD, x, y, owner,
                                                            exclude ? &params : nullptr));
    return map.ItemOf(command);
}

bool TrackItemMenu(HMENU menu, const TTBMenuMap& map, HWND owner, int x, int y, UINT flags, const RECT* exclude) {
    TTBCustomItem* item = ChooseFromItemMenu(menu, map, owner, x, y, flags, exclude);
    if (!item) return false;
    item->Click();
    return true;
}

TTBPopupMenu::TTBPopupMenu(TComponent* owner) : TComponent(owner), root_(std::make_unique<TTBRootItem>(nullptr)) {}

TTBPopupMenu::~TTBPopupMenu() = default;

unique_hmenu TTBPopupMenu::BuildMenu(TTBMenuMap& map) const {
    return kit::BuildMenu(*root_, map);
}

void TTBPopupMenu::Popup(int screenX, int screenY) {
    DoEvent(OnPopup, static_cast<TComponent*>(this));
    TTBMenuMap map;
    unique_hmenu menu = BuildMenu(map);
    MenuOwnerWindow owner;
    TrackItemMenu(menu.get(), map, owner.Handle(), screenX, screenY, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON);
}

} // namespace kit
