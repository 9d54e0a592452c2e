#include "kit/Toolbar.h"

#include "core/Error.h"
#include "kit/ImageList.h"

#include <windowsx.h>
#include <algorithm>

namespace kit {

namespace {

constexpr int kChevronWidth = 16;
constexpr int kDefaultRowHeight = 22;
constexpr UINT_PTR kHostedHookId = 0x4B47;
// Posted to the toolbar: click the item chosen from a drop-down once the
// toolbar control has finished handling the mouse.
constexpr UINT kClickChosenMessage = WM_APP + 0x4B1;

const TTBControlItem* asControlItem(const TTBCustomItem* item) {
    return dynamic_cast<const TTBControlItem*>(item);
}

bool imageExists(TImageList* images, int index) {
    return images && index >= 0 && index < images->Count();
}

// Shows or hides a hosted control's window without a WM_SHOWWINDOW, so the
// control's own Visible (which follows ShowWindow) keeps what its user set.
void showHosted(HWND window, bool show) {
    if ((IsWindowVisible(window) != FALSE) == show) return;
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

// Sets a flag for one scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
    ~FlagScope() { flag_ = false; }
private:
    bool& flag_;
};

} // namespace

// ---------------------------------------------------------------------------
// TTBDock

TTBDock::TTBDock(TComponent* owner) : TControl(owner) {
    Align = TAlign::alTop;
    SetBounds(0, 0, 0, 26);
}

TTBDock::~TTBDock() {
    DestroyHandle();
}

void TTBDock::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    brush_.reset();
    Invalidate();
}

void TTBDock::CreateParams(TCreateParams& params) {
    params.className = "Kestrelgrove.TBDock";
    params.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}

LRESULT TTBDock::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) {
        if (!brush_) brush_.reset(CreateSolidBrush(ColorToRGB(color_)));
        RECT r{};
        GetClientRect(Handle(), &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(brush_.get()));
        return 1;
    }
    return TControl::WndProc(msg, wParam, lParam);
}

void TTBDock::Resized() {
    ArrangeToolbars();
}

void TTBDock::ArrangeToolbars() {
    if (arranging_) return;
    FlagScope scope(arranging_);
    std::vector<TTBToolbar*> toolbars;
    int rowHeight = 0;
    for (TControl* c : Controls()) {
        auto* toolbar = dynamic_cast<TTBToolbar*>(c);
        if (!toolbar || !toolbar->Visible()) continue;
        toolbars.push_back(toolbar);
        rowHeight = std::max(rowHeight, toolbar->RowHeight());
    }
    if (toolbars.empty()) return;
    const int width = ClientWidth();
    int x = 0;
    for (TTBToolbar* toolbar : toolbars) {
        const int w = std::max(toolbar->FullSize() ? width - x : toolbar->IdealWidth(), 0);
        if (toolbar->Left() != x || toolbar->Top() != 0 || toolbar->Width() != w || toolbar->Height() != rowHeight)
            toolbar->SetBounds(x, 0, w, rowHeight);
        x += w;
    }
    if (Height() != rowHeight) SetHeight(rowHeight);
}

// ---------------------------------------------------------------------------
// The chevron: a small button at the toolbar's right end that lists the items
// that did not fit.

class TTBToolbar::Chevron final : public TControl {
public:
    explicit Chevron(TTBToolbar& toolbar) : TControl(nullptr), toolbar_(toolbar) { visible_ = false; }
    ~Chevron() override { DestroyHandle(); }

    void setPressed(bool pressed) {
        pressed_ = pressed;
        Invalidate();
        Update();
    }

protected:
    void CreateParams(TCreateParams& params) override {
        params.className = "Kestrelgrove.TBChevron";
        params.style = WS_CHILD | WS_CLIPSIBLINGS;
    }

    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            paint(dc);
            EndPaint(Handle(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE:
            if (!hot_) {
                hot_ = true;
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
                TrackMouseEvent(&track);
                Invalidate();
            }
            return 0;
        case WM_MOUSELEAVE:
            hot_ = false;
            Invalidate();
            return 0;
        case WM_LBUTTONDOWN:
            // The toolbar may be gone when the chosen item's handler returns: nothing after this.
            toolbar_.ShowChevronMenu();
            return 0;
        default:
            break;
        }
        return TControl::WndProc(msg, wParam, lParam);
    }

private:
    void paint(HDC dc) {
        RECT r{};
        GetClientRect(Handle(), &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        if (pressed_)
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        else if (hot_)
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
        // Two small arrows pointing right, near the top as toolbars draw them.
        const COLORREF color = GetSysColor(COLOR_BTNTEXT);
        const int cx = (r.left + r.right) / 2 - 3 + (pressed_ ? 1 : 0);
        const int cy = r.top + 6 + (pressed_ ? 1 : 0);
        for (int arrow = 0; arrow < 2; ++arrow) {
            const int x0 = cx + arrow * 4;
            for (int i = 0; i < 3; ++i) {
                SetPixel(dc, x0 + i, cy + i, color);
                SetPixel(dc, x0 + i + 1, cy + i, color);
                SetPixel(dc, x0 + i, cy + 4 - i, color);
                SetPixel(dc, x0 + i + 1, cy + 4 - i, color);
            }
        }
    }

    TTBToolbar& toolbar_;
    bool hot_ = false;
    bool pressed_ = false;
};

// ---------------------------------------------------------------------------
// TTBToolbar

TTBToolbar::TTBToolbar(TComponent* owner)
    : TControl(owner), root_(std::make_unique<TTBRootItem>(nullptr)), chevron_(std::make_unique<Chevron>(*this)) {
    root_->AddObserver(this);
    chevron_->SetParent(this);
    SetBounds(0, 0, 0, kDefaultRowHeight);
}

TTBToolbar::~TTBToolbar() {
    destroying_ = true;
    root_->RemoveObserver(this);
    if (images_) {
        images_->RemoveChangeListener(this);
        images_->RemoveFreeListener(this);
    }
    unhookHosted();
    DestroyHandle();
    chevron_.reset();
}

void TTBToolbar::CreateParams(TCreateParams& params) {
    params.className = TOOLBARCLASSNAMEA;
    params.ownClass = false;
    // Sized by its dock; draws its own face (a transparent toolbar would show the dock's colour).
    params.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NODIVIDER |
                   CCS_NORESIZE | CCS_NOPARENTALIGN;
}

void TTBToolbar::HandleCreated() {
    handleDying_ = false;
    HWND h = Handle();
    SendMessageA(h, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(h, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS);
    // Its notifications come to this window, with the button's command in them.
    SendMessageA(h, TB_SETPARENT, reinterpret_cast<WPARAM>(h), 0);
    applyImages();
    sync();
}

void TTBToolbar::HandleDestroying() {
    handleDying_ = true;
    unhookHosted();
    buttons_.clear();
    indexOf_.clear();
    commands_.clear();
    freeCommands_.clear();
    nextCommand_ = 1;
}

bool TTBToolbar::ready() const noexcept {
    return HandleAllocated() && !handleDying_ && !destroying_;
}

TTBCustomItem* TTBToolbar::liveItem(std::size_t index) const noexcept {
    if (index >= buttons_.size()) return nullptr;
    return TTBCustomItem::FindLive(buttons_[index].item, buttons_[index].serial);
}

long long TTBToolbar::indexOf(const TTBCustomItem* item) const noexcept {
    const auto it = indexOf_.find(item);
    if (it == indexOf_.end() || !liveItem(it->second)) return -1;
    return static_cast<long long>(it->second);
}

TTBCustomItem* TTBToolbar::itemOfCommand(int command) const noexcept {
    const auto it = commands_.find(command);
    return it == commands_.end() ? nullptr : TTBCustomItem::FindLive(it->second.first, it->second.second);
}

int TTBToolbar::takeCommand() {
    if (!freeCommands_.empty()) {
        const int command = freeCommands_.back();
        freeCommands_.pop_back();
        return command;
    }
    return nextCommand_++;
}

void TTBToolbar::SetImages(TImageList* images) {
    if (images == images_) return;
    if (images_) {
        images_->RemoveChangeListener(this);
        images_->RemoveFreeListener(this);
    }
    images_ = images;
    if (images_) {
        images_->AddChangeListener(this, [this] { imagesChanged(); });
        images_->AddFreeListener(this, [this] {
            images_ = nullptr;
            imagesChanged();
        });
    }
    imagesChanged();
}

void TTBToolbar::imagesChanged() {
    applyImages();
    imagesDirty_ = true;
    sync();
}

void TTBToolbar::applyImages() {
    if (!ready()) return;
    HIMAGELIST list = nullptr;
    if (images_) list = images_->Handle();
    SendMessageA(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    if (!list) SendMessageA(Handle(), TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
}

void TTBToolbar::SetFullSize(bool value) {
    if (value == fullSize_) return;
    fullSize_ = value;
    if (auto* dock = dynamic_cast<TTBDock*>(Parent())) dock->ArrangeToolbars();
}

void TTBToolbar::EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
    if (updateCount_ == 0 && dirty_) sync();
}

void TTBToolbar::ItemChanged(TTBCustomItem& item, TTBItemChange change) {
    if (destroying_ || change == TTBItemChange::Destroying) return;
    if (&item == root_.get()) {
        if (change == TTBItemChange::Structure) sync();
        return;
    }
    // Only the top level shows as buttons; menus are built from the tree when they open.
    if (item.Parent() != root_.get()) return;
    const long long found = indexOf(&item);
    if (found < 0) {
        sync();
        return;
    }
    const auto index = static_cast<std::size_t>(found);
    if (change == TTBItemChange::Properties) buttons_[index].stale = true;
    if (!ready() || updateCount_ > 0) {
        dirty_ = true;
        return;
    }
    switch (change) {
    case TTBItemChange::State:
        setState(index, stateOf(index));
        break;
    case TTBItemChange::Visibility:
        layout();
        break;
    case TTBItemChange::Properties:
        // A control item may host another control now: take it in first.
        if (buttons_[index].control) adopt(&item);
        replaceButton(index);
        layout();
        break;
    default:
        break;
    }
}

bool TTBToolbar::hosts(const TControl* control) const noexcept {
    if (!control || std::find(adopted_.begin(), adopted_.end(), control) == adopted_.end()) return false;
    const auto& children = Controls();
    return std::find(children.begin(), children.end(), control) != children.end();
}

TControl* TTBToolbar::hostedControl(const TTBCustomItem* item) const noexcept {
    const TTBControlItem* controlItem = asControlItem(item);
    if (!controlItem) return nullptr;
    TControl* control = controlItem->Control();
    return hosts(control) ? control : nullptr;
}

void TTBToolbar::adopt(TTBCustomItem* item) {
    const TTBControlItem* controlItem = asControlItem(item);
    TControl* control = controlItem ? controlItem->Control() : nullptr;
    if (!control || control == chevron_.get()) return;
    // A control met before is alive exactly while it is still our child.
    if (hosts(control)) return;
    std::erase(adopted_, control);
    adopted_.push_back(control);
    if (control->Parent() != this) control->SetParent(this);
    HWND window = control->Handle();
    if (std::find(hookedWindows_.begin(), hookedWindows_.end(), window) == hookedWindows_.end() &&
        SetWindowSubclass(window, &TTBToolbar::hostedProc, kHostedHookId, reinterpret_cast<DWORD_PTR>(this)))
        hookedWindows_.push_back(window);
}

void TTBToolbar::forgetGoneControls() {
    // Forget what is gone, so a new control at a freed one's address is taken in afresh.
    const auto& children = Controls();
    std::erase_if(adopted_, [&](TControl* c) { return std::find(children.begin(), children.end(), c) == children.end(); });
}

void TTBToolbar::unhookHosted() noexcept {
    for (HWND window : hookedWindows_)
        if (IsWindow(window)) RemoveWindowSubclass(window, &TTBToolbar::hostedProc, kHostedHookId);
    hookedWindows_.clear();
}

LRESULT CALLBACK TTBToolbar::hostedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    auto* self = reinterpret_cast<TTBToolbar*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &TTBToolbar::hostedProc, kHostedHookId);
        std::erase(self->hookedWindows_, hwnd);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_WINDOWPOSCHANGED) {
        // The control's own procedure takes the new bounds first; then its place is laid out again.
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        const bool relevant = (pos->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) || !(pos->flags & SWP_NOSIZE);
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        if (relevant) {
            try {
                self->hostedWindowChanged();
            } catch (...) {
                ShowException(std::current_exception());
            }
        }
        return result;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void TTBToolbar::hostedWindowChanged() {
    if (!ready() || layingOut_) return;
    layout();
}

bool TTBToolbar::naturallyVisible(const TTBCustomItem* item) const noexcept {
    if (!item || !item->Visible()) return false;
    if (asControlItem(item)) {
        const TControl* control = hostedControl(item);
        return control && control->Visible();
    }
    return true;
}

BYTE TTBToolbar::stateOf(std::size_t index) const noexcept {
    const TTBCustomItem* item = liveItem(index);
    BYTE state = 0;
    if (!item) return TBSTATE_HIDDEN;
    if (item->Enabled()) state |= TBSTATE_ENABLED;
    if (item->Checked()) state |= TBSTATE_CHECKED;
    if (!naturallyVisible(item) || buttons_[index].overflow) state |= TBSTATE_HIDDEN;
    return state;
}

void TTBToolbar::fillButton(std::size_t index, TBBUTTON& button, std::string& text) const {
    const TTBCustomItem* item = buttons_[index].item;
    button = TBBUTTON{};
    button.idCommand = buttons_[index].command;
    button.dwData = reinterpret_cast<DWORD_PTR>(item);
    button.fsState = stateOf(index);
    if (item->IsSeparator()) {
        button.fsStyle = BTNS_SEP;
        return;
    }
    if (asControlItem(item)) {
        // A separator as wide as the control is its place; the control's window lies over it.
        const TControl* control = hostedControl(item);
        button.fsStyle = BTNS_SEP;
        button.iBitmap = control ? control->Width() : 0;
        return;
    }
    const bool hasImage = imageExists(images_, item->ImageIndex());
    bool showImage = hasImage, showText = !hasImage;
    switch (item->DisplayMode()) {
    case nbdmTextOnly:
        showImage = false;
        showText = true;
        break;
    case nbdmImageAndText:
        showText = true;
        break;
    case nbdmDefault:
    case nbdmTextOnlyInMenus:
        break;
    }
    BYTE style = BTNS_BUTTON | BTNS_AUTOSIZE;
    if (showText) style |= BTNS_SHOWTEXT;
    if (item->IsSubmenu()) {
        if (item->IsDropdownCombo())
            style |= BTNS_DROPDOWN;
        else if (item->Options().Contains(tboDropdownArrow))
            style |= BTNS_WHOLEDROPDOWN;
        // Without the arrow, a click on the button opens the menu (buttonClicked).
    }
    button.fsStyle = style;
    button.iBitmap = showImage ? item->ImageIndex() : I_IMAGENONE;
    text = ShownCaption(item->Caption());
    button.iString = reinterpret_cast<INT_PTR>(text.c_str());
}

void TTBToolbar::sync() {
    if (!ready() || updateCount_ > 0) {
        dirty_ = true;
        return;
    }
    dirty_ = false;
    HWND h = Handle();
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    {
        // Controls taken in may move meanwhile: their layout waits for the buttons.
        FlagScope scope(layingOut_);
        syncStructure();
        refreshButtons();
        forgetGoneControls();
    }
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    layout();
    InvalidateRect(h, nullptr, TRUE);
}

// Keeps the buttons that the items share with the control at both ends and
// replaces only the run between them. The control lays itself out again at
// every message that adds, removes or hides a button, so new buttons arrive
// in one message when they are appended, and arrive hidden: layout shows
// those that fit, and the rest never cost a layout of their own.
void TTBToolbar::syncStructure() {
    HWND h = Handle();
    const std::vector<TTBCustomItem*>& wanted = root_->Children();
    auto same = [&](std::size_t buttonIndex, std::size_t itemIndex) {
        const Button& b = buttons_[buttonIndex];
        return b.item == wanted[itemIndex] && b.serial == wanted[itemIndex]->Serial();
    };
    const std::size_t had = buttons_.size(), want = wanted.size();
    std::size_t prefix = 0;
    while (prefix < had && prefix < want && same(prefix, prefix)) ++prefix;
    std::size_t suffix = 0;
    while (suffix < had - prefix && suffix < want - prefix && same(had - 1 - suffix, want - 1 - suffix)) ++suffix;
    const std::size_t removed = had - prefix - suffix, added = want - prefix - suffix;
    if (removed == 0 && added == 0) return;

    for (std::size_t i = prefix + removed; i-- > prefix;) {
        const Button& b = buttons_[i];
        if (indexOf_.count(b.item) && indexOf_[b.item] == i) indexOf_.erase(b.item);
        commands_.erase(b.command);
        freeCommands_.push_back(b.command);
        SendMessageA(h, TB_DELETEBUTTON, i, 0);
    }
    buttons_.erase(buttons_.begin() + static_cast<std::ptrdiff_t>(prefix),
                   buttons_.begin() + static_cast<std::ptrdiff_t>(prefix + removed));

    std::vector<Button> fresh;
    fresh.reserve(added);
    for (std::size_t k = 0; k < added; ++k) {
        TTBCustomItem* item = wanted[prefix + k];
        adopt(item);
        const int command = takeCommand();
        commands_[command] = {item, item->Serial()};
        fresh.push_back({item, item->Serial(), command, 0, true, false, asControlItem(item) != nullptr, 0});
    }
    buttons_.insert(buttons_.begin() + static_cast<std::ptrdiff_t>(prefix), fresh.begin(), fresh.end());

    std::vector<TBBUTTON> tb(added);
    std::vector<std::string> texts(added);
    for (std::size_t k = 0; k < added; ++k) {
        const std::size_t i = prefix + k;
        fillButton(i, tb[k], texts[k]);
        buttons_[i].state = tb[k].fsState;
        if (buttons_[i].control) buttons_[i].placeholderWidth = tb[k].iBitmap;
    }
    if (suffix == 0 && added > 0) {
        SendMessageA(h, TB_ADDBUTTONSA, added, reinterpret_cast<LPARAM>(tb.data()));
    } else {
        for (std::size_t k = 0; k < added; ++k)
            SendMessageA(h, TB_INSERTBUTTONA, prefix + k, reinterpret_cast<LPARAM>(&tb[k]));
    }
    // Positions moved from the first changed button on.
    for (std::size_t i = prefix; i < buttons_.size(); ++i) indexOf_[buttons_[i].item] = i;
}

void TTBToolbar::refreshButtons() {
    HWND h = Handle();
    const bool all = std::exchange(imagesDirty_, false);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        Button& b = buttons_[i];
        if (!b.stale && !all) continue;
        if (!liveItem(i)) continue;
        if (!b.stale) {
            // A new image list changes only the buttons whose image or text display it decides.
            TBBUTTON now{}, wanted{};
            std::string text;
            SendMessageA(h, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&now));
            fillButton(i, wanted, text);
            if (now.iBitmap == wanted.iBitmap && now.fsStyle == wanted.fsStyle) continue;
        }
        replaceButton(i);
    }
}

void TTBToolbar::replaceButton(std::size_t index) {
    HWND h = Handle();
    TBBUTTON button;
    std::string text;
    Button& b = buttons_[index];
    b.stale = false;
    fillButton(index, button, text);
    b.state = button.fsState;
    if (b.control) b.placeholderWidth = button.iBitmap;
    SendMessageA(h, TB_DELETEBUTTON, index, 0);
    SendMessageA(h, TB_INSERTBUTTONA, index, reinterpret_cast<LPARAM>(&button));
    InvalidateRect(h, nullptr, TRUE);
}

void TTBToolbar::setState(std::size_t index, BYTE state) {
    Button& b = buttons_[index];
    if (b.state == state) return;
    b.state = state;
    SendMessageA(Handle(), TB_SETSTATE, static_cast<WPARAM>(b.command), MAKELPARAM(state, 0));
}

void TTBToolbar::layout() {
    if (!ready() || layingOut_) return;
    if (updateCount_ > 0) {
        dirty_ = true;
        return;
    }
    HWND h = Handle();
    {
        FlagScope scope(layingOut_);
        // A hosted control whose width changed needs a new placeholder.
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            if (!buttons_[i].control) continue;
            const TControl* control = hostedControl(liveItem(i));
            if (control && buttons_[i].placeholderWidth != control->Width()) replaceButton(i);
        }

        // Shows the buttons in order while they fit; whatever does not fit goes
        // behind the chevron, from the first button that crosses its edge.
        // Only buttons whose state changes cost the control a new layout.
        const int width = ClientWidth();
        const int limit = width - kChevronWidth;
        auto rightOf = [&](std::size_t i) {
            RECT r{};
            SendMessageA(h, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
            return static_cast<int>(r.right);
        };
        auto show = [&](std::size_t i) {
            buttons_[i].overflow = false;
            setState(i, stateOf(i));
            return naturallyVisible(liveItem(i));
        };
        const std::size_t n = buttons_.size();
        std::size_t first = 0;
        while (first < n && (!show(first) || rightOf(first) <= limit)) ++first;
        bool overflow = false;
        if (first < n) {
            // The rest may still fit in the room the chevron would take.
            std::size_t i = first;
            while (i < n && (!show(i) || rightOf(i) <= width)) ++i;
            overflow = i < n;
        }
        if (overflow) {
            for (std::size_t i = first; i < n; ++i) {
                if (!naturallyVisible(liveItem(i))) continue;
                buttons_[i].overflow = true;
                setState(i, stateOf(i));
            }
        }
        const int rowHeight = RowHeight();
        if (overflow) chevron_->SetBounds(std::max(width - kChevronWidth, 0), 0, kChevronWidth, rowHeight);
        chevron_->SetVisible(overflow);

        // Hosted controls lie over their placeholders, centred in the row.
        std::vector<TControl*> placed;
        for (std::size_t i = 0; i < n; ++i) {
            if (!buttons_[i].control) continue;
            TControl* control = hostedControl(liveItem(i));
            if (!control) continue;
            placed.push_back(control);
            if (!control->HandleAllocated() || !control->Visible()) continue;
            if (buttons_[i].state & TBSTATE_HIDDEN) {
                showHosted(control->Handle(), false);
                continue;
            }
            RECT r{};
            SendMessageA(h, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
            const int top = r.top + ((r.bottom - r.top) - control->Height()) / 2;
            if (control->Left() != r.left || control->Top() != top)
                control->SetBounds(r.left, top, control->Width(), control->Height());
            showHosted(control->Handle(), true);
        }
        // Controls taken in whose item has gone stay out of sight.
        for (TControl* control : adopted_)
            if (hosts(control) && std::find(placed.begin(), placed.end(), control) == placed.end() &&
                control->HandleAllocated())
                showHosted(control->Handle(), false);
    }
    fitHeight();
}

void TTBToolbar::fitHeight() {
    if (auto* dock = dynamic_cast<TTBDock*>(Parent())) {
        dock->ArrangeToolbars();
        return;
    }
    const int rowHeight = RowHeight();
    if (Height() != rowHeight) SetHeight(rowHeight);
}

int TTBToolbar::RowHeight() {
    int height = 0;
    if (ready()) height = HIWORD(SendMessageA(Handle(), TB_GETBUTTONSIZE, 0, 0));
    for (const Button& b : buttons_)
        if (b.control)
            if (const TControl* control = hostedControl(TTBCustomItem::FindLive(b.item, b.serial)))
                height = std::max(height, control->Height());
    return height > 0 ? height : kDefaultRowHeight;
}

int TTBToolbar::IdealWidth() {
    if (!ready()) return Width();
    SIZE size{};
    SendMessageA(Handle(), TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    return size.cx;
}

void TTBToolbar::Resized() {
    layout();
}

int TTBToolbar::ButtonIndexOf(const TTBCustomItem* item) {
    if (!ready() || !item) return -1;
    return static_cast<int>(indexOf(item));
}

RECT TTBToolbar::ItemRect(const TTBCustomItem* item) {
    RECT r{};
    const int index = ButtonIndexOf(item);
    if (index < 0 || (stateOf(static_cast<std::size_t>(index)) & TBSTATE_HIDDEN)) return r;
    SendMessageA(Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return r;
}

TTBCustomItem* TTBToolbar::ItemAt(int x, int y) {
    if (!ready()) return nullptr;
    HWND h = Handle();
    POINT pt{x, y};
    auto under = [&](long long index) -> TTBCustomItem* {
        if (index < 0 || static_cast<std::size_t>(index) >= buttons_.size()) return nullptr;
        const auto i = static_cast<std::size_t>(index);
        if (stateOf(i) & TBSTATE_HIDDEN) return nullptr;
        RECT r{};
        if (!SendMessageA(h, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)) || !PtInRect(&r, pt)) return nullptr;
        return liveItem(i);
    };
    // A button answers its index; a separator (or placeholder) answers its index negated.
    const auto hit = static_cast<long long>(SendMessageA(h, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
    if (TTBCustomItem* item = under(hit < 0 ? -hit : hit)) return item;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i].state & TBSTATE_HIDDEN) continue;
        if (TTBCustomItem* item = under(static_cast<long long>(i))) return item;
    }
    return nullptr;
}

bool TTBToolbar::ChevronVisible() {
    return ready() && chevron_->HandleAllocated() && IsWindowVisible(chevron_->Handle());
}

HWND TTBToolbar::ChevronHandle() {
    return chevron_->HandleAllocated() ? chevron_->Handle() : nullptr;
}

std::vector<TTBCustomItem*> TTBToolbar::ChevronItems() {
    std::vector<TTBCustomItem*> items;
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i].overflow)
            if (TTBCustomItem* item = liveItem(i)) items.push_back(item);
    return items;
}

unique_hmenu TTBToolbar::BuildChevronMenu(TTBMenuMap& map) {
    return BuildMenu(ChevronItems(), map, images_);
}

void TTBToolbar::ShowChevronMenu() {
    if (!ChevronVisible()) return;
    TTBMenuMap map;
    unique_hmenu menu = BuildChevronMenu(map);
    RECT r{};
    GetWindowRect(chevron_->Handle(), &r);
    chevron_->setPressed(true);
    TTBCustomItem* chosen =
        ChooseFromItemMenu(menu.get(), map, Handle(), r.right, r.bottom, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_VERTICAL, &r);
    chevron_->setPressed(false);
    if (chosen) chosen->Click();
}

TTBCustomItem* TTBToolbar::chooseFromDropdown(TTBCustomItem* item) {
    const int index = ButtonIndexOf(item);
    if (index < 0) return nullptr;
    RECT r = ItemRect(item);
    MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    TTBMenuMap map;
    unique_hmenu menu = BuildMenu(*item, map, images_);
    return ChooseFromItemMenu(menu.get(), map, Handle(), r.left, r.bottom, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL,
                              &r);
}

void TTBToolbar::ShowDropdown(TTBCustomItem* item) {
    if (TTBCustomItem* chosen = chooseFromDropdown(item)) chosen->Click();
}

void TTBToolbar::buttonClicked(UINT command) {
    TTBCustomItem* item = itemOfCommand(static_cast<int>(command));
    if (!item) return;
    if (item->IsSubmenu() && !item->IsDropdownCombo()) {
        ShowDropdown(item);
        return;
    }
    item->Click();
}

LRESULT TTBToolbar::notified(NMHDR* header) {
    switch (header->code) {
    case TBN_DROPDOWN: {
        const auto* toolbar = reinterpret_cast<const NMTOOLBARA*>(header);
        TTBCustomItem* item = itemOfCommand(toolbar->iItem);
        if (!item) return TBDDRET_NODEFAULT;
        // The toolbar control is still inside its mouse handling: the click comes later.
        if (TTBCustomItem* chosen = chooseFromDropdown(item)) {
            pendingClick_ = chosen;
            pendingSerial_ = chosen->Serial();
            PostMessageA(Handle(), kClickChosenMessage, 0, 0);
        }
        return TBDDRET_DEFAULT;
    }
    default:
        return 0;  // custom draw and the rest: the control's defaults
    }
}

LRESULT TTBToolbar::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == Handle() && lParam) {
            buttonClicked(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->hwndFrom == Handle()) return notified(header);
        break;
    }
    case WM_MEASUREITEM:
    case WM_DRAWITEM: {
        LRESULT result = 0;
        if (HandleMenuImageMessage(msg, wParam, lParam, result)) return result;
        break;
    }
    case WM_ERASEBKGND: {
        // A flat toolbar lets its parent's background through; this one has a face of its own.
        RECT r{};
        GetClientRect(Handle(), &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_MOUSEMOVE: {
        const LRESULT result = TControl::WndProc(msg, wParam, lParam);
        DoEvent(OnMouseMove, static_cast<TComponent*>(this), static_cast<unsigned>(wParam), GET_X_LPARAM(lParam),
                GET_Y_LPARAM(lParam));
        return result;
    }
    default:
        if (msg == kClickChosenMessage) {
            TTBCustomItem* item = TTBCustomItem::FindLive(pendingClick_, pendingSerial_);
            pendingClick_ = nullptr;
            if (item) item->Click();
            return 0;
        }
        break;
    }
    return TControl::WndProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// TTBToolWindow

TTBToolWindow::TTBToolWindow(TComponent* owner) : TControl(owner) {}

TTBToolWindow::~TTBToolWindow() {
    DestroyHandle();
}

void TTBToolWindow::CreateParams(TCreateParams& params) {
    params.className = "Kestrelgrove.TBToolWindow";
    params.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
}

} // namespace kit
