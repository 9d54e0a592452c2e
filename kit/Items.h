#pragma once
// Toolbar and menu items: a tree of components that toolbars and popup menus
// show. An item does not own its children (the owner of each item frees it);
// freeing an item takes it out of its parent and out of every view that
// shows it. Views watch an item tree through TTBItemObserver.
#include "core/Component.h"
#include "kit/Events.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class TControl;
class TImageList;
class TTBCustomItem;

// A caption longer than kMaxShownCaption bytes is shown cut there (never inside a character of
// the code page), with "..." after it: measuring and drawing a huge text would hold the window.
inline constexpr std::size_t kMaxShownCaption = 260;
// What a configured caption is kept to: one byte more than is shown, so it is shown exactly as the
// whole one would be, "..." included, while a huge one is never held beside the configuration.
inline constexpr std::size_t kMaxKeptCaption = kMaxShownCaption + 1;
std::string ShownCaption(const std::string& caption);

// How an item shows itself: nbdmDefault shows the image when there is one
// (the caption otherwise) on a toolbar and both in menus; nbdmTextOnly the
// caption only; nbdmTextOnlyInMenus the default on a toolbar and the caption
// only in menus; nbdmImageAndText image and caption side by side everywhere.
enum TTBItemDisplayMode { nbdmDefault, nbdmTextOnly, nbdmTextOnlyInMenus, nbdmImageAndText };

// tboDefault shows the item in bold in menus; tboDropdownArrow gives a
// submenu item's button its drop-down arrow. The others are kept for callers
// that set them and have no effect here.
enum TTBItemOption {
    tboDefault,
    tboDropdownArrow,
    tboImageAboveCaption,
    tboLongHintInMenuOnly,
    tboNoAutoHint,
    tboNoRotation,
    tboSameWidth,
    tboShowHint,
    tboToolbarSize,
    tboToolbarStyle,
};

class TTBItemOptions {
public:
    constexpr TTBItemOptions() noexcept = default;
    constexpr TTBItemOptions(std::initializer_list<TTBItemOption> options) noexcept {
        for (TTBItemOption o : options) bits_ |= bit(o);
    }
    constexpr bool Contains(TTBItemOption o) const noexcept { return (bits_ & bit(o)) != 0; }
    constexpr TTBItemOptions operator+(TTBItemOption o) const noexcept { return TTBItemOptions(bits_ | bit(o)); }
    constexpr TTBItemOptions operator-(TTBItemOption o) const noexcept { return TTBItemOptions(bits_ & ~bit(o)); }
    constexpr bool operator==(const TTBItemOptions&) const noexcept = default;

private:
    constexpr explicit TTBItemOptions(std::uint32_t bits) noexcept : bits_(bits) {}
    static constexpr std::uint32_t bit(TTBItemOption o) noexcept { return std::uint32_t{1} << static_cast<unsigned>(o); }
    std::uint32_t bits_ = 0;
};

// What changed, as told to the observers of an item and of its ancestors.
enum class TTBItemChange {
    Properties,  // caption, image, display mode, hint, shortcut, options, images, link, hosted control
    State,       // checked or enabled
    Visibility,
    Structure,   // the item's own children were added, removed or reordered
    Destroying,  // the item is being freed (told to its own observers only)
};

class TTBItemObserver {
public:
    // `item` is the item that changed: the observed one or one of its descendants.
    virtual void ItemChanged(TTBCustomItem& item, TTBItemChange change) = 0;

protected:
    ~TTBItemObserver() = default;
};

class TTBCustomItem : public TComponent {
    // Declared first, so they fill the room left at the end of the TComponent part.
    bool autoCheck_ = false, checked_ = false, enabled_ = true, visible_ = true;
    std::uint8_t displayMode_ = nbdmDefault;

public:
    explicit TTBCustomItem(TComponent* owner);
    ~TTBCustomItem() override;

    // The tree.
    TTBCustomItem* Parent() const noexcept { return parent_; }
    int Count() const noexcept { return static_cast<int>(Children().size()); }
    // Raises kit::Error "List index out of bounds (%d)".
    TTBCustomItem* Items(int index) const;
    int IndexOf(const TTBCustomItem* item) const noexcept;
    const std::vector<TTBCustomItem*>& Children() const noexcept;
    // Appends `item` as the last child, taking it from its former parent.
    // Raises kit::Error when that would put an item under itself.
    void Add(TTBCustomItem* item);
    void Insert(int index, TTBCustomItem* item);
    // Takes a child out of the tree (it is not freed); nothing for a non-child.
    void Remove(TTBCustomItem* item);

    // The item whose children are shown in place of this item's own
    // (followed from item to item); nullptr for none.
    TTBCustomItem* LinkSubitems() const noexcept { return extras_ ? extras_->link : nullptr; }
    void SetLinkSubitems(TTBCustomItem* item);
    // The children that views show for this item: the linked item's, else its own.
    const std::vector<TTBCustomItem*>& ShownChildren() const noexcept;

    const std::string& Caption() const noexcept;
    // Taken by value: a caller's temporary (a huge configured text, say) moves in without a copy.
    void SetCaption(std::string caption);
    int ImageIndex() const noexcept { return imageIndex_; }
    void SetImageIndex(int index);
    TTBItemDisplayMode DisplayMode() const noexcept { return static_cast<TTBItemDisplayMode>(displayMode_); }
    void SetDisplayMode(TTBItemDisplayMode mode);
    const std::string& Hint() const noexcept;
    void SetHint(std::string hint);
    // Shown after a tab in menus, e.g. "Ctrl+X".
    const std::string& ShortCut() const noexcept;
    void SetShortCut(const std::string& text);
    TTBItemOptions Options() const noexcept { return options_; }
    void SetOptions(TTBItemOptions options);
    // The images of this item's submenu; nullptr: those of the menu it is in.
    // Forgotten when the list is freed.
    TImageList* Images() const noexcept { return extras_ ? extras_->images : nullptr; }
    void SetImages(TImageList* images);

    int GroupIndex() const noexcept { return extras_ ? extras_->groupIndex : 0; }
    void SetGroupIndex(int index);
    bool AutoCheck() const noexcept { return autoCheck_; }
    void SetAutoCheck(bool value);
    bool Checked() const noexcept { return checked_; }
    // Checking an item with a GroupIndex above 0 clears the items of the same
    // group under the same parent.
    void SetChecked(bool value);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool value);

    TNotifyEvent OnClick;
    // A click by the user: nothing when disabled; with AutoCheck the check
    // mark toggles first; then OnClick runs (an error in it is reported).
    virtual void Click();

    // What views need to know about the item's class.
    virtual bool IsSeparator() const noexcept { return false; }
    // The item shows its children as a submenu (or drop-down).
    virtual bool IsSubmenu() const noexcept { return false; }
    // Split button: the main part clicks, the arrow opens the submenu.
    virtual bool IsDropdownCombo() const noexcept { return false; }
    virtual TControl* HostedControl() const noexcept { return nullptr; }

    void AddObserver(TTBItemObserver* observer);
    void RemoveObserver(TTBItemObserver* observer) noexcept;

    // Lets a holder of a plain pointer find out whether the item still lives:
    // every item gets a number of its own; FindLive answers nullptr once it is freed.
    std::uint64_t Serial() const noexcept { return serial_; }
    static TTBCustomItem* FindLive(const TTBCustomItem* item, std::uint64_t serial) noexcept;

protected:
    // Tells the observers of this item and of its ancestors.
    void Changed(TTBItemChange change);

private:
    void checkCanAdopt(TTBCustomItem* item) const;
    void detachChild(TTBCustomItem* item) noexcept;
    TTBCustomItem* observedAncestor() const noexcept;
    void movedOrFreed() noexcept;
    void clearGroup();

    // What most items never have (children, links, observers, a caption, a hint, a shortcut, images),
    // made on first use: a configuration's many unplaced items then cost only what they hold.
    struct Extras {
        std::vector<TTBCustomItem*> children;
        TTBCustomItem* link = nullptr;
        std::vector<TTBCustomItem*> linkers;  // items whose LinkSubitems is this one
        std::vector<TTBItemObserver*> observers;
        std::string caption, hint, shortCut;
        TImageList* images = nullptr;
        int groupIndex = 0;
    };
    Extras& extras();
    bool hasChildren() const noexcept { return extras_ && !extras_->children.empty(); }
    bool hasObservers() const noexcept { return extras_ && !extras_->observers.empty(); }

    TTBCustomItem* parent_ = nullptr;
    std::unique_ptr<Extras> extras_;
    int imageIndex_ = -1;
    TTBItemOptions options_;
    std::uint64_t serial_;
    // The nearest ancestor with observers, as worked out when the tree's layout count was
    // observedAt_: Changed then climbs only to observed items, however deep the tree is.
    mutable TTBCustomItem* observedAbove_ = nullptr;
    mutable std::uint64_t observedAt_ = 0;
};

// A plain button or menu entry.
class TTBItem : public TTBCustomItem {
public:
    using TTBCustomItem::TTBCustomItem;
};

// An item with children, shown with a drop-down on a toolbar and as a
// submenu in menus.
class TTBSubmenuItem : public TTBCustomItem {
public:
    using TTBCustomItem::TTBCustomItem;
    bool DropdownCombo() const noexcept { return dropdownCombo_; }
    void SetDropdownCombo(bool value);
    bool IsSubmenu() const noexcept override { return true; }
    bool IsDropdownCombo() const noexcept override { return dropdownCombo_; }

private:
    bool dropdownCombo_ = false;
};

class TTBSeparatorItem : public TTBCustomItem {
public:
    using TTBCustomItem::TTBCustomItem;
    bool IsSeparator() const noexcept override { return true; }
};

// Hosts a control on a toolbar in place of a button (left out of menus).
class TTBControlItem : public TTBCustomItem {
public:
    using TTBCustomItem::TTBCustomItem;
    ~TTBControlItem() override;
    // Forgotten when the control is freed.
    TControl* Control() const noexcept { return control_; }
    void SetControl(TControl* control);
    TControl* HostedControl() const noexcept override { return control_; }

private:
    TControl* control_ = nullptr;
};

// The invisible top of a tree that a toolbar or popup menu shows.
class TTBRootItem : public TTBCustomItem {
public:
    using TTBCustomItem::TTBCustomItem;
};

} // namespace kit
