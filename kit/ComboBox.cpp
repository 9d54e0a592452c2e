#include "kit/ComboBox.h"

#include "core/Error.h"

#include <commctrl.h>
#include <windowsx.h>
#include <algorithm>
#include <exception>

namespace kit {

namespace {

constexpr char kEditOwnerProp[] = "Kestrelgrove.ComboEdit";
constexpr char kEditProcProp[] = "Kestrelgrove.ComboEditProc";

[[noreturn]] void indexError(int index) {
    throw Error("List index out of bounds (" + std::to_string(index) + ")");
}

// The order of CBS_SORT: the user's locale, letter case ignored.
int compareItems(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()); }

} // namespace

TComboBox::TComboBox(TComponent* owner) : TControl(owner) {
    SetBounds(0, 0, 145, 21);
}

TComboBox::~TComboBox() {
    // The edit field's procedure reaches this object: end it while we are whole.
    DestroyHandle();
}

void TComboBox::CreateParams(TCreateParams& params) {
    TControl::CreateParams(params);
    params.className = "COMBOBOX";
    params.ownClass = false;
    params.style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
    // A shown source is in order already, and appended in that order.
    if (sorted_ && !source_) params.style |= CBS_SORT;
}

void TComboBox::HandleCreated() {
    HWND hwnd = Handle();
    window_ = hwnd;
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(hwnd, &info) && info.hwndItem && info.hwndItem != hwnd) {
        edit_ = info.hwndItem;
        const auto previous = GetWindowLongPtrA(edit_, GWLP_WNDPROC);
        SetPropA(edit_, kEditProcProp, reinterpret_cast<HANDLE>(previous));
        SetPropA(edit_, kEditOwnerProp, this);
        SetWindowLongPtrA(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TComboBox::editProc));
    }
    // The kept state moves into the window; a source's entries wait until they are needed.
    std::vector<std::string> items;
    items.swap(items_);
    filled_ = false;
    if (source_) {
        if (itemIndex_ >= 0 && itemIndex_ < static_cast<int>(source_().size())) {
            FillList();
            SendMessageA(hwnd, CB_SETCURSEL, itemIndex_, 0);
        }
    } else {
        for (const std::string& item : items) SendMessageA(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (itemIndex_ >= 0 && itemIndex_ < static_cast<int>(items.size())) SendMessageA(hwnd, CB_SETCURSEL, itemIndex_, 0);
    }
    SetWindowTextA(hwnd, text_.c_str());
    setSel(selStart_, selStart_ + selLength_);
    UpdateBoundsFromWindow();
}

void TComboBox::HandleDestroying() {
    if (!window_) return;
    // Kept, so the box can be created again with the same content.
    std::vector<std::string> items = source_ ? std::vector<std::string>() : ItemList();
    std::string text = Text();
    int index = ItemIndex();
    int start = 0, end = 0;
    getSel(start, end);
    items_ = std::move(items);
    text_ = std::move(text);
    itemIndex_ = index;
    selStart_ = start;
    selLength_ = end - start;
    window_ = nullptr;
    edit_ = nullptr;
    filled_ = false;
}

LRESULT CALLBACK TComboBox::editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kEditProcProp));
    auto* box = static_cast<TComboBox*>(GetPropA(hwnd, kEditOwnerProp));
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd, kEditOwnerProp);
        RemovePropA(hwnd, kEditProcProp);
        if (box && box->edit_ == hwnd) box->edit_ = nullptr;
        box = nullptr;
    }
    if (!previous) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (!box) return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
    try {
        return box->editMessage(hwnd, previous, msg, wParam, lParam);
    } catch (...) {
        ShowException(std::current_exception());
        return 0;
    }
}

namespace {
// Keys and the wheel that move through the list without opening it first.
bool movesInList(UINT msg, WPARAM wParam) {
    if (msg == WM_MOUSEWHEEL) return true;
    if (msg != WM_KEYDOWN && msg != WM_SYSKEYDOWN) return false;
    switch (wParam) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_F4:
        return true;
    default:
        return false;
    }
}
} // namespace

LRESULT TComboBox::editMessage(HWND hwnd, WNDPROC previous, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (movesInList(msg, wParam)) FillList();
    switch (msg) {
    case WM_CHAR: {
        char key = static_cast<char>(wParam);
        DoEvent(OnKeyPress, static_cast<TComponent*>(this), key);
        if (key == 0) return 0;
        wParam = static_cast<WPARAM>(static_cast<unsigned char>(key));
        break;
    }
    case WM_CONTEXTMENU:
        // The box's menu in place of the edit field's own.
        if (ShowPopupMenuFor(hwnd, lParam)) return 0;
        break;
    default:
        break;
    }
    return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

LRESULT TComboBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (movesInList(msg, wParam)) FillList();
    if (msg == WM_WINDOWPOSCHANGED) {
        // The window's height includes the open list; the box is as high as its closed part.
        const LRESULT result = TControl::WndProc(msg, wParam, lParam);
        UpdateBoundsFromWindow();
        return result;
    }
    return TControl::WndProc(msg, wParam, lParam);
}

bool TComboBox::ReflectCommand(WORD code) {
    switch (code) {
    case CBN_DROPDOWN:
        FillList();  // sent before the list is shown
        fitDropDown();
        return true;
    case CBN_EDITCHANGE:
    case CBN_SELCHANGE:
        DoEvent(OnChange, static_cast<TComponent*>(this));
        return true;
    default:
        return false;
    }
}

void TComboBox::fitDropDown() {
    HWND hwnd = window();
    if (!hwnd) return;
    RECT closed{};
    GetWindowRect(hwnd, &closed);
    const int itemHeight = static_cast<int>(SendMessageA(hwnd, CB_GETITEMHEIGHT, 0, 0));
    const int rows = std::clamp(Count(), 1, std::max(DropDownCount, 1));
    SendMessageA(hwnd, CB_SETMINVISIBLE, static_cast<WPARAM>(std::max(DropDownCount, 1)), 0);
    SetWindowPos(hwnd, nullptr, 0, 0, closed.right - closed.left, (closed.bottom - closed.top) + rows * itemHeight + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

bool TComboBox::Focused() {
    HWND focus = GetFocus();
    return focus && (focus == window() || focus == edit_);
}

void TComboBox::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    sorted_ = sorted;
    if (window()) {
        DestroyHandle();  // the style cannot change on a live window
        Handle();
    } else if (sorted_) {
        const std::string selected =
            itemIndex_ >= 0 && itemIndex_ < static_cast<int>(items_.size()) ? items_[itemIndex_] : std::string();
        std::stable_sort(items_.begin(), items_.end(),
                         [](const std::string& a, const std::string& b) { return compareItems(a, b) < 0; });
        if (itemIndex_ >= 0) itemIndex_ = static_cast<int>(std::find(items_.begin(), items_.end(), selected) - items_.begin());
    }
}

int TComboBox::Count() const {
    if (windowList()) return static_cast<int>(SendMessageA(window(), CB_GETCOUNT, 0, 0));
    if (source_) return static_cast<int>(source_().size());
    return static_cast<int>(items_.size());
}

int TComboBox::shadowInsertPosition(const std::string& item) const {
    if (!sorted_) return static_cast<int>(items_.size());
    const auto at = std::upper_bound(items_.begin(), items_.end(), item,
                                     [](const std::string& a, const std::string& b) { return compareItems(a, b) < 0; });
    return static_cast<int>(at - items_.begin());
}

int TComboBox::Add(const std::string& item) {
    detachSource();
    if (HWND hwnd = window()) {
        const auto index = SendMessageA(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (index < 0) throw Error("Cannot add an entry to the list");
        return static_cast<int>(index);
    }
    const int at = shadowInsertPosition(item);
    items_.insert(items_.begin() + at, item);
    if (itemIndex_ >= at) ++itemIndex_;
    return at;
}

void TComboBox::Delete(int index) {
    if (index < 0 || index >= Count()) indexError(index);
    detachSource();
    if (HWND hwnd = window()) {
        const std::string text = Text();
        SendMessageA(hwnd, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
        if (Text() != text) SetWindowTextA(hwnd, text.c_str());
        return;
    }
    items_.erase(items_.begin() + index);
    if (itemIndex_ == index)
        itemIndex_ = -1;
    else if (itemIndex_ > index)
        --itemIndex_;
}

std::string TComboBox::Items(int index) const {
    if (index < 0 || index >= Count()) indexError(index);
    if (source_ && !windowList()) return source_()[static_cast<std::size_t>(index)];
    if (HWND hwnd = window()) {
        const auto length = SendMessageA(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length < 0) indexError(index);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        const auto got = SendMessageA(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(got > 0 ? std::min(static_cast<std::size_t>(got), static_cast<std::size_t>(length)) : 0);
        return text;
    }
    return items_[static_cast<std::size_t>(index)];
}

std::vector<std::string> TComboBox::ItemList() const {
    std::vector<std::string> list;
    const int n = Count();
    list.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) list.push_back(Items(i));
    return list;
}

int TComboBox::IndexOf(const std::string& text) const {
    if (windowList())
        return static_cast<int>(
            SendMessageA(window(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
    const std::vector<std::string>& items = source_ ? source_() : items_;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (compareItems(items[i], text) == 0) return static_cast<int>(i);
    return -1;
}

void TComboBox::Assign(const std::vector<std::string>& items) {
    if (source_) {
        // Replaced whole: the source's entries need not be copied first.
        source_ = nullptr;
        filled_ = false;
    }
    if (HWND hwnd = window()) {
        const std::string text = Text();
        int start = 0, end = 0;
        getSel(start, end);
        SendMessageA(hwnd, WM_SETREDRAW, FALSE, 0);
        SendMessageA(hwnd, CB_RESETCONTENT, 0, 0);  // which empties the edit field too
        for (const std::string& item : items) {
            if (SendMessageA(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())) < 0) {
                SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
                SetWindowTextA(hwnd, text.c_str());
                throw Error("Cannot add an entry to the list");
            }
        }
        SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
        SetWindowTextA(hwnd, text.c_str());
        setSel(start, end);
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    items_.clear();
    itemIndex_ = -1;
    for (const std::string& item : items) Add(item);
}

std::string TComboBox::Text() const {
    if (HWND hwnd = window()) {
        const int length = GetWindowTextLengthA(hwnd);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        const int got = GetWindowTextA(hwnd, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
        return text;
    }
    return text_;
}

void TComboBox::SetText(const std::string& text) {
    if (HWND hwnd = window()) {
        SetWindowTextA(hwnd, text.c_str());
        return;
    }
    text_ = text;
    selStart_ = selLength_ = 0;
}

int TComboBox::ItemIndex() const {
    if (windowList()) return static_cast<int>(SendMessageA(window(), CB_GETCURSEL, 0, 0));
    if (window()) return -1;  // an unfilled list has nothing selected
    return itemIndex_;
}

void TComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= Count()) indexError(index);
    if (HWND hwnd = window()) {
        FillList();
        if (index < 0) {
            const std::string text = Text();
            SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);  // which empties the edit field
            SetWindowTextA(hwnd, text.c_str());
        } else {
            SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
        return;
    }
    itemIndex_ = index;
    if (index >= 0) {
        text_ = Items(index);
        selStart_ = selLength_ = 0;
    }
}

void TComboBox::getSel(int& start, int& end) const {
    if (HWND hwnd = window()) {
        DWORD s = 0, e = 0;
        SendMessageA(hwnd, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        start = static_cast<int>(s);
        end = static_cast<int>(e);
        return;
    }
    start = selStart_;
    end = selStart_ + selLength_;
}

void TComboBox::setSel(int start, int end) {
    if (HWND hwnd = window()) {
        SendMessageA(hwnd, CB_SETEDITSEL, 0, MAKELPARAM(start, end));
        return;
    }
    const int length = static_cast<int>(text_.size());
    selStart_ = std::clamp(start, 0, length);
    selLength_ = end < 0 ? length - selStart_ : std::clamp(end, selStart_, length) - selStart_;
}

int TComboBox::SelStart() const {
    int start = 0, end = 0;
    getSel(start, end);
    return start;
}

int TComboBox::SelLength() const {
    int start = 0, end = 0;
    getSel(start, end);
    return end - start;
}

void TComboBox::SetSelStart(int start) { setSel(start, start); }

void TComboBox::SetSelLength(int length) {
    const int start = SelStart();
    setSel(start, start + std::max(length, 0));
}

std::string TComboBox::SelText() const {
    int start = 0, end = 0;
    getSel(start, end);
    const std::string text = Text();
    start = std::clamp(start, 0, static_cast<int>(text.size()));
    end = std::clamp(end, start, static_cast<int>(text.size()));
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

void TComboBox::SelectAll() { setSel(0, -1); }

} // namespace kit

namespace kit {

void TComboBox::resetWindowList() {
    HWND hwnd = window();
    if (!hwnd) return;
    const std::string text = Text();
    int start = 0, end = 0;
    getSel(start, end);
    SendMessageA(hwnd, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hwnd, CB_RESETCONTENT, 0, 0);  // which empties the edit field too
    SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
    SetWindowTextA(hwnd, text.c_str());
    setSel(start, end);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void TComboBox::SetListSource(TListSource source) {
    // CBS_SORT goes with the box's own list only: the window is made again when that changes.
    const bool restyle = window() && sorted_ && static_cast<bool>(source_) != static_cast<bool>(source);
    if (restyle) DestroyHandle();
    if (window() && windowList()) resetWindowList();
    items_.clear();
    itemIndex_ = -1;
    source_ = std::move(source);
    filled_ = false;
    if (restyle) Handle();
}

void TComboBox::detachSource() {
    if (!source_) return;
    if (window()) {
        FillList();
    } else {
        items_ = source_();
    }
    source_ = nullptr;
    filled_ = false;
}

void TComboBox::FillList() {
    HWND hwnd = window();
    if (!source_ || !hwnd || filled_) return;
    const std::vector<std::string>& items = source_();
    std::size_t bytes = 0;
    for (const std::string& item : items) bytes += item.size() + 1;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    HWND list = GetComboBoxInfo(hwnd, &info) && info.hwndList ? info.hwndList : nullptr;
    SendMessageA(hwnd, WM_SETREDRAW, FALSE, 0);
    if (list) SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hwnd, CB_INITSTORAGE, static_cast<WPARAM>(items.size()), static_cast<LPARAM>(bytes));
    filled_ = true;
    for (const std::string& item : items) {
        // Appended in the source's order (CB_INSERTSTRING never sorts).
        if ((list ? SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()))
                  : SendMessageA(hwnd, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()))) < 0) {
            SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
            resetWindowList();
            filled_ = false;
            throw Error("Cannot add an entry to the list");
        }
    }
    if (list) SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void TComboBox::ListInserted(int index) {
    if (!source_) return;
    if (window()) {
        if (!filled_) return;
        const std::vector<std::string>& items = source_();
        if (index < 0 || index >= static_cast<int>(items.size()) ||
            SendMessageA(window(), CB_INSERTSTRING, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(items[static_cast<std::size_t>(index)].c_str())) < 0)
            ListReset();
        return;
    }
    if (itemIndex_ >= index) ++itemIndex_;
}

void TComboBox::ListDeleted(int index) {
    if (!source_) return;
    if (HWND hwnd = window()) {
        if (!filled_) return;
        const std::string text = Text();
        if (SendMessageA(hwnd, CB_DELETESTRING, static_cast<WPARAM>(index), 0) < 0) {
            ListReset();
            return;
        }
        if (Text() != text) SetWindowTextA(hwnd, text.c_str());
        return;
    }
    if (itemIndex_ == index)
        itemIndex_ = -1;
    else if (itemIndex_ > index)
        --itemIndex_;
}

void TComboBox::ListReset() {
    if (!source_) return;
    if (window()) {
        if (filled_) resetWindowList();
        filled_ = false;
        return;
    }
    itemIndex_ = -1;
}

} // namespace kit
