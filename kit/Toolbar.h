#pragma once
// Docked toolbars over comctl32's toolbar control: a dock along the top of
// its parent, toolbars that show an item tree as buttons (with drop-downs,
// split buttons, separators, hosted controls and a chevron for the items that
// do not fit), and tool windows that hold other controls.
#include "kit/Control.h"
#include "kit/Graphics.h"
#include "kit/Items.h"
#include "kit/PopupMenu.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kit {

class TImageList;

enum TTBDragHandleStyle { dhDouble, dhNone, dhSingle };
enum TTBDockMode { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };

// A container aligned to the top of its parent; it lays its toolbars out in
// one row (a FullSize toolbar spans its width) and takes their height.
class TTBDock : public TControl {
public:
    explicit TTBDock(TComponent* owner);
    ~TTBDock() override;

    TColor Color() const noexcept { return color_; }
    void SetColor(TColor color);
    // Toolbars share one row (the only layout this dock has); kept for designs that set it.
    bool LimitToOneRow = true;

    // Places the toolbars and fits the dock's height to them.
    void ArrangeToolbars();

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Resized() override;

private:
    TColor color_ = clBtnFace;
    unique_hgdiobj brush_;
    bool arranging_ = false;
};

class TTBToolbar : public TControl, private TTBItemObserver {
public:
    explicit TTBToolbar(TComponent* owner);
    ~TTBToolbar() override;

    // The top-level items: each is a button (or separator, or hosted control).
    TTBCustomItem* Items() const noexcept { return root_.get(); }
    TImageList* Images() const noexcept { return images_; }
    void SetImages(TImageList* images);

    // Spans its dock's width.
    bool FullSize() const noexcept { return fullSize_; }
    void SetFullSize(bool value);
    // Kept for designs that set them: this toolbar neither floats nor shows a
    // drag handle, and the chevron always offers the hidden items in a menu.
    bool Stretch = false;
    TTBDragHandleStyle DragHandleStyle = dhNone;
    TTBDockMode DockMode = dmCannotFloatOrChangeDocks;
    bool ChevronMoveItems = false;

    // Mouse position in the toolbar's client coordinates.
    TMouseMoveEvent OnMouseMove;

    // Changes between BeginUpdate and EndUpdate reach the buttons once, at the end.
    void BeginUpdate() noexcept { ++updateCount_; }
    void EndUpdate();

    // The item whose button (or separator, or control placeholder) is under a
    // client point; nullptr over empty space, the chevron or a hidden button.
    TTBCustomItem* ItemAt(int x, int y);
    // The button index of a top-level item (its TB_GETBUTTON index); -1 when
    // the item is not on the toolbar or the window does not exist.
    int ButtonIndexOf(const TTBCustomItem* item);
    // The item's button rectangle in client coordinates; empty when hidden or absent.
    RECT ItemRect(const TTBCustomItem* item);
    // Height of the row of buttons and controls.
    int RowHeight();
    // Width that shows every button (for a toolbar that does not span its dock).
    int IdealWidth();

    // The chevron: shown when the visible items do not all fit.
    bool ChevronVisible();
    HWND ChevronHandle();
    // The visible items that did not fit, in order.
    std::vector<TTBCustomItem*> ChevronItems();
    // The menu the chevron shows (the hidden items, with their submenus).
    unique_hmenu BuildChevronMenu(TTBMenuMap& map);
    // Modal: shows the chevron's menu and clicks the chosen item.
    void ShowChevronMenu();
    // Modal: shows an item's drop-down menu under its button and clicks the chosen item.
    void ShowDropdown(TTBCustomItem* item);

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void HandleCreated() override;
    void HandleDestroying() override;
    void Resized() override;

private:
    struct Button {
        TTBCustomItem* item;
        std::uint64_t serial;
        int command;           // its identifier in the control; kept while the button lives
        BYTE state;            // the state the control holds
        bool overflow;         // visible, but hidden because it does not fit
        bool stale;            // its caption, image or style changed: replace it
        bool control;          // a control item's placeholder
        int placeholderWidth;  // for a placeholder: the width the control holds
    };
    class Chevron;

    void ItemChanged(TTBCustomItem& item, TTBItemChange change) override;
    TTBCustomItem* liveItem(std::size_t index) const noexcept;
    // The index of a top-level item's button; -1 when it has none.
    long long indexOf(const TTBCustomItem* item) const noexcept;
    bool ready() const noexcept;
    // Brings the control in line with the items: the buttons added and removed,
    // the changed ones replaced, then one layout. Touches only what differs.
    void sync();
    void syncStructure();
    void refreshButtons();
    void replaceButton(std::size_t index);
    void setState(std::size_t index, BYTE state);
    void layout();
    void fitHeight();
    void adopt(TTBCustomItem* item);
    void forgetGoneControls();
    bool hosts(const TControl* control) const noexcept;
    TControl* hostedControl(const TTBCustomItem* item) const noexcept;
    bool naturallyVisible(const TTBCustomItem* item) const noexcept;
    BYTE stateOf(std::size_t index) const noexcept;
    void fillButton(std::size_t index, TBBUTTON& button, std::string& text) const;
    int takeCommand();
    void applyImages();
    void imagesChanged();
    void buttonClicked(UINT command);
    TTBCustomItem* itemOfCommand(int command) const noexcept;
    TTBCustomItem* chooseFromDropdown(TTBCustomItem* item);
    LRESULT notified(NMHDR* header);
    void hostedWindowChanged();
    static LRESULT CALLBACK hostedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    void unhookHosted() noexcept;

    std::unique_ptr<TTBRootItem> root_;
    std::unique_ptr<Chevron> chevron_;
    std::vector<Button> buttons_;
    // Where each top-level item's button is, and which item each command clicks.
    std::unordered_map<const TTBCustomItem*, std::size_t> indexOf_;
    std::unordered_map<int, std::pair<TTBCustomItem*, std::uint64_t>> commands_;
    std::vector<int> freeCommands_;
    int nextCommand_ = 1;
    std::vector<TControl*> adopted_;     // controls this toolbar has taken in (compared, never followed once gone)
    std::vector<HWND> hookedWindows_;
    TImageList* images_ = nullptr;
    TTBCustomItem* pendingClick_ = nullptr;  // chosen from a drop-down, clicked once the control is done
    std::uint64_t pendingSerial_ = 0;
    bool fullSize_ = false;
    int updateCount_ = 0;
    bool dirty_ = false;
    bool imagesDirty_ = false;  // every button's image and style to be compared
    bool layingOut_ = false;
    bool handleDying_ = false;
    bool destroying_ = false;
};

// A borderless container that holds other controls (a banner, say) and can
// sit on a toolbar through a TTBControlItem.
class TTBToolWindow : public TControl {
public:
    explicit TTBToolWindow(TComponent* owner);
    ~TTBToolWindow() override;

    // Kept for designs that set them: the window neither floats nor shows a drag handle.
    bool Stretch = false;
    TTBDragHandleStyle DragHandleStyle = dhNone;
    TTBDockMode DockMode = dmCannotFloatOrChangeDocks;

protected:
    void CreateParams(TCreateParams& params) override;
};

} // namespace kit
