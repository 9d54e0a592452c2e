#pragma once
// An editable drop-down combo box (the system's COMBOBOX with CBS_DROPDOWN).
// Its list and text are kept by the control itself once its window exists,
// and by this object before that (and after the window is gone), so every
// member works with or without a window. A sorted box orders its list
// ascending without regard to letter case, as the system's CBS_SORT does.
#include "kit/Control.h"

#include <functional>
#include <string>
#include <vector>

namespace kit {

class TComboBox : public TControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    bool Sorted() const noexcept { return sorted_; }
    // Changing it on a live box recreates its window (list, text and selection kept).
    void SetSorted(bool sorted);
    // Rows shown by the open list (8 unless set).
    int DropDownCount = 8;

    // The list.
    int Count() const;
    // Adds an entry (at its sorted place in a sorted box); returns its index.
    int Add(const std::string& item);
    // Raises kit::Error "List index out of bounds (i)" for a bad index.
    void Delete(int index);
    std::string Items(int index) const;
    // The first entry equal to text, letter case ignored; -1 when none.
    int IndexOf(const std::string& text) const;
    // Replaces the whole list (Clear empties it); the text stays as it is and no entry is selected.
    void Assign(const std::vector<std::string>& items);
    void Clear() { Assign({}); }
    std::vector<std::string> ItemList() const;

    // A list the box shows without keeping it: `source` gives the entries in
    // the order shown, and its owner reports every change (ListInserted,
    // ListDeleted, ListReset). The window's list is filled, in one pass, only
    // when it is first needed: the list dropped down, scrolled by keys or the
    // wheel, or an entry selected. Add, Delete and Assign end the showing (the
    // box keeps the entries as its own list). An empty source ends it too,
    // with an empty list.
    using TListSource = std::function<const std::vector<std::string>&()>;
    void SetListSource(TListSource source);
    // Forgets the source at its owner's end, without a window message: the
    // window keeps what it shows, the box then has that as its own list.
    void DropListSource() noexcept { source_ = nullptr; filled_ = false; }
    void ListInserted(int index);
    void ListDeleted(int index);
    void ListReset();
    // The window's list holds the source's entries (always true without a source).
    bool ListFilled() const noexcept { return !source_ || filled_; }
    // Fills the window's list from the source now (nothing without a window or source).
    void FillList();

    // The text of the edit field.
    std::string Text() const;
    void SetText(const std::string& text);

    // The selected entry of the list, -1 for none. Selecting an entry puts its
    // text into the edit field; selecting none leaves the text as it is.
    int ItemIndex() const;
    void SetItemIndex(int index);

    // The selection inside the edit field.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int start);
    void SetSelLength(int length);
    std::string SelText() const;
    void SelectAll();

    // A character typed into the edit field; setting Key to 0 swallows it.
    TKeyPressEvent OnKeyPress;
    // The text changed by typing, or another entry was chosen.
    TNotifyEvent OnChange;

    // The box or its edit field has the keyboard focus.
    bool Focused() override;

    // The edit field inside the box (nullptr without a window).
    HWND EditHandle() const noexcept { return edit_; }

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void HandleCreated() override;
    void HandleDestroying() override;
    bool ReflectCommand(WORD code) override;

private:
    static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT editMessage(HWND hwnd, WNDPROC previous, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND window() const noexcept { return window_; }
    void fitDropDown();
    int shadowInsertPosition(const std::string& item) const;
    void getSel(int& start, int& end) const;
    void setSel(int start, int end);
    // The window's list is the one to ask (a window without a pending fill).
    bool windowList() const noexcept { return window_ && (!source_ || filled_); }
    // The source's entries become the box's own list.
    void detachSource();
    void resetWindowList();

    bool sorted_ = false;
    HWND window_ = nullptr;  // the live window, for the const readers
    HWND edit_ = nullptr;
    TListSource source_;
    bool filled_ = false;
    // State kept while there is no window.
    std::vector<std::string> items_;
    std::string text_;
    int itemIndex_ = -1;
    int selStart_ = 0, selLength_ = 0;
};

} // namespace kit
