#pragma once
// Forms: the windows that hold a design of controls, either top-level or as a
// child of a foreign window handle (the browser's band site).
//
// Construction contract (as designed forms have it):
//   1. The derived form's constructor creates its designed widgets (owned by
//      the form), wires its handlers (OnCreate, OnShow, OnDestroy, ...) and
//      sets its designed properties; SetVisible(true) here only records that
//      the form is designed visible.
//   2. As the last statement of its constructor body it calls FinishCreation(),
//      which runs OnCreate. An error that leaves OnCreate is shown by the error
//      report (ShowException); the rest of that handler is skipped and the form
//      is still created.
//   3. When the form is designed visible, FinishCreation() then makes it
//      visible: this creates its window (and its controls' windows), runs
//      OnShow (errors reported likewise; the form is still shown) and shows
//      the window.
// Destruction contract:
//   1. The derived form's destructor calls BeginDestruction() first thing: it
//      runs OnDestroy while every member and widget still exists. An error
//      that leaves OnDestroy is reported; destruction goes on.
//   2. Then the derived members go, then the window (with its controls'
//      windows), then the components the form owns, last created first.
//   A form that is not derived (or whose derived destructor did not call it)
//   gets BeginDestruction() from ~TForm; by then a derived form's own members
//   are gone, so a derived form whose OnDestroy touches them must call it.
#include "kit/Control.h"
#include "kit/Graphics.h"

namespace kit {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum class TPosition { poDesigned, poScreenCenter };

// Results of a modal showing (the values of the system's IDOK, IDCANCEL...).
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;
inline constexpr TModalResult mrAbort = IDABORT;
inline constexpr TModalResult mrRetry = IDRETRY;
inline constexpr TModalResult mrIgnore = IDIGNORE;
inline constexpr TModalResult mrYes = IDYES;
inline constexpr TModalResult mrNo = IDNO;
inline constexpr TModalResult mrClose = 8;

class TForm : public TControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    // The frame of a top-level form; changing it recreates a live window.
    TFormBorderStyle BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);

    // Background colour of the client area.
    TColor Color() const noexcept { return color_; }
    void SetColor(TColor color);

    // Where a top-level form appears when it is first shown.
    TPosition Position = TPosition::poDesigned;

    // Receives the focus whenever the form's window gets it. Must be a control
    // inside the form; anything else (or a freed control) is ignored.
    TControl* ActiveControl = nullptr;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnDestroy;
    // A size change is about to happen: the handler may change the new size or
    // refuse it (Resize = false keeps width and height as they are).
    TCanResizeEvent OnCanResize;

    // Showing: while the form is being constructed this only records the
    // designed visibility. Becoming visible creates the window, runs OnShow,
    // then shows the window (centred first when Position asks for it).
    void SetVisible(bool visible) override;

    // Shows the form and runs a message loop until ModalResult is set (Close()
    // sets mrCancel); the form is hidden again and the result returned. Other
    // windows of the thread's active window are disabled meanwhile.
    TModalResult ShowModal();
    TModalResult ModalResult = mrNone;
    bool Modal() const noexcept { return modal_; }
    // A modal form ends with mrCancel; another form is hidden.
    void Close();

    // True until FinishCreation() ran.
    bool Creating() const noexcept { return creating_; }
    // Ends the construction (see the contract above): OnCreate, then the
    // designed visibility. A derived form calls it as the last statement of
    // its constructor; code that sets up a plain TForm calls it when done.
    // Later calls do nothing. ShowModal() calls it when nobody did.
    void FinishCreation();

protected:
    void BeginDestruction();

    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool containsControl(const TControl* control) const noexcept;
    void centreOnScreen();

    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    TColor color_ = clBtnFace;
    unique_hgdiobj brush_;
    bool creating_ = true;
    bool designVisible_ = false;
    bool destroying_ = false;
    bool modal_ = false;
    bool centred_ = false;
};

} // namespace kit
