#pragma once
#include <memory>
// The base of every windowed control of the kit: a component that owns one
// Win32 window, created on demand inside its parent control (or inside a
// foreign window handle), with bounds, visibility, enabled state, alignment,
// a context menu and notification reflection from the parent.
//
// Window lifetime: Handle() creates the parents' windows first, then this
// window, then the windows of its children. Properties set before the window
// exists are kept and applied when it is created. Destroying a control
// destroys its window (and with it its children's windows); a control
// destroyed while its parent lives leaves the parent's Controls().
//
// The window procedure finds the control through a window property, so a
// procedure that someone installs in front of ours with
// SetWindowLongPtr(GWLP_WNDPROC) and calls us with CallWindowProc keeps
// working; the kit never writes GWLP_WNDPROC back on windows it did not create
// for that purpose.
#include "core/Component.h"
#include "kit/Events.h"
#include "kit/PopupTarget.h"

#include <windows.h>
#include <string>
#include <vector>

namespace kit {

// Where a control sits in its parent's client area; the parent lays its
// aligned children out whenever its size changes: top and bottom children
// span the width and keep their height, left and right ones span the height
// left between them and keep their width, the client child fills the rest.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The mouse pointer over a control's client area.
enum class TCursor { crDefault, crArrow, crHandPoint, crIBeam, crCross, crHourGlass };

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;  // destroys its window (children first)

    // Containment (distinct from ownership): the control whose window holds ours.
    TControl* Parent() const noexcept { return parent_; }
    void SetParent(TControl* parent);
    // A window outside the kit (the browser's band site) as the parent.
    void SetParentWindow(HWND foreign);
    HWND ParentWindow() const noexcept { return parentWindow_; }
    const std::vector<TControl*>& Controls() const noexcept { return controls_; }

    // The window, created (with its parents') when first asked for.
    // Raises kit::OSError when the window cannot be created.
    HWND Handle();
    bool HandleAllocated() const noexcept { return hwnd_ != nullptr; }
    static TControl* FromHandle(HWND hwnd) noexcept;

    // Bounds in the parent's client coordinates (screen coordinates for a
    // top-level window); the outer size of the window.
    int Left() const noexcept { return left_; }
    int Top() const noexcept { return top_; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    // With a window this goes through SetWindowPos, so the window may refuse or
    // adjust the change; the stored bounds follow what the window really got.
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    int ClientWidth();
    int ClientHeight();
    // Sizes the window so that its client area gets these dimensions.
    void SetClientSize(int width, int height);

    // Layout inside the parent; see TAlign. Changing it re-lays the parent out.
    TAlign Align = TAlign::alNone;
    void SetAlign(TAlign align);
    // Lays the aligned children out in the client area now.
    void Realign();

    bool Visible() const noexcept { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const noexcept { return enabled_; }
    virtual void SetEnabled(bool enabled);

    const std::string& Caption() const noexcept { return caption_; }
    virtual void SetCaption(const std::string& text);

    // Shown on a right click (WM_CONTEXTMENU) over the control.
    TPopupTarget* PopupMenu = nullptr;

    TCursor Cursor = TCursor::crDefault;
    // Kept for the designer's sake; the kit shows no tooltips for controls.
    std::string Hint;
    bool ShowHint = false;

    void SetFocus();
    virtual bool Focused();
    void Invalidate();
    void Update();
    void BringToFront();

protected:
    struct TCreateParams {
        std::string className;   // a system class (subclassed) or a class of the kit's own
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        UINT classStyle = CS_DBLCLKS;
        HBRUSH background = nullptr;
        HCURSOR cursor = nullptr;  // class cursor of an own class; arrow when null
        bool ownClass = true;      // true: registered once per process by the kit
    };
    // Fills in the window's class and styles; the kit adds WS_CHILD (with a
    // parent), WS_VISIBLE and WS_DISABLED from the control's state.
    virtual void CreateParams(TCreateParams& params);
    // Every message of the window arrives here first; call TControl::WndProc
    // (or DefaultHandler) for the rest.
    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The class's own procedure (the system class's, when subclassed) or DefWindowProc.
    LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called once the window exists, to push the stored properties into it.
    virtual void HandleCreated() {}
    // Called on WM_DESTROY, while the window still exists.
    virtual void HandleDestroying() {}
    // WM_COMMAND / WM_NOTIFY that the parent received from this control's
    // window; return true when handled.
    virtual bool ReflectCommand(WORD code) { (void)code; return false; }
    virtual bool ReflectNotify(NMHDR* header, LRESULT& result) { (void)header; (void)result; return false; }
    // WM_DRAWITEM, WM_MEASUREITEM and WM_CTLCOLOR* that the parent received
    // for this control's window; return true when handled.
    virtual bool ReflectMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        (void)msg; (void)wParam; (void)lParam; (void)result;
        return false;
    }
    // The window's size changed (after the aligned children were laid out).
    virtual void Resized() {}
    // Paints what the parent shows behind this control into dc (for see-through controls).
    void PaintParentBackground(HDC dc);
    // Shows the control's PopupMenu at a screen position; false when there is none.
    bool ShowPopupMenu(int screenX, int screenY);
    // WM_CONTEXTMENU that source received: the PopupMenu at the mouse, or under the
    // middle of source when it came from the keyboard; errors go to the error report.
    // False when the control has no PopupMenu.
    bool ShowPopupMenuFor(HWND source, LPARAM lParam);
    // Destroys the window now; the control keeps its properties and can create it again.
    // A derived class whose WndProc uses its own members calls this in its destructor.
    void DestroyHandle();
    // The window's position after the system decided it (also for windows moved from outside).
    void UpdateBoundsFromWindow();

    bool visible_ = true;

private:
    void createHandle();
    void attach(HWND hwnd) noexcept;
    void detach() noexcept;
    void removeControl(TControl* child) noexcept;
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    TControl* parent_ = nullptr;
    HWND parentWindow_ = nullptr;
    std::vector<TControl*> controls_;
    HWND hwnd_ = nullptr;
    WNDPROC previousProc_ = nullptr;  // the system class's procedure when subclassed
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool enabled_ = true;
    bool aligning_ = false;
    std::string caption_;
};

// Own window classes are registered once per process: how many the kit has
// registered so far (it never registers one twice).
int RegisteredWindowClassCount() noexcept;
// Unregisters the kit's own window classes (before the module that registered
// them is unloaded); fails quietly for a class that still has windows.
void UnregisterWindowClasses() noexcept;
// The module (DLL or program) the kit's code lives in.
HINSTANCE KitInstance() noexcept;

// Frees a component once no message of a kit window is being handled on this
// thread: a window must never be destroyed under one of its own handlers (a
// browser may close the band from inside the click that asked it to). Frees
// it at once when no handler runs. A deferred window is hidden meanwhile.
void ReleaseWhenIdle(std::unique_ptr<TComponent> component);
// Components handed to ReleaseWhenIdle that are still waiting.
std::size_t PendingReleases() noexcept;

} // namespace kit
