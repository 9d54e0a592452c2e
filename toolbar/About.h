#pragma once
// The About window: the toolbar's name, the publisher's copyright line and
// home page, a picture and a legal notice, shown modal with a Close button or
// as a timed splash without one. It lives for one showing only.
#include "kit/Form.h"
#include "core/Bmp.h"
#include "kit/Graphics.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kit {
class TImage;
class TLabel;
} // namespace kit

namespace kg {

inline constexpr char AboutDesignCaption[] = "About the Toolbar";
inline constexpr DWORD TimedShowingMs = 4000;
// The window's client area; the border lies around it.
inline constexpr int AboutClientWidth = 475;
inline constexpr int AboutClientHeight = 318;
inline constexpr int AboutBorderWidth = 10;

// A frame or a line drawn on its form's background; it has no window.
enum class TBevelShape { bsFrame, bsTopLine };
class TBevel : public kit::TComponent {
public:
    explicit TBevel(kit::TComponent* owner) : kit::TComponent(owner) {}
    RECT Bounds{0, 0, 0, 0};
    TBevelShape Shape = TBevelShape::bsFrame;
    void Paint(HDC dc) const;
};

// Multi-line text with a vertical scroll bar and no border, read-only.
class TMemo : public kit::TControl {
public:
    explicit TMemo(kit::TComponent* owner);
    ~TMemo() override;

    const std::vector<std::string>& Lines() const noexcept { return lines_; }
    void SetLines(std::vector<std::string> lines);
    // The lines joined with CR LF, as the control shows them.
    std::string Text() const;

    kit::TColor Color = kit::clBtnFace;
    bool TabStop = false;

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool ReflectMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::vector<std::string> lines_;
    kit::unique_hgdiobj font_;
    kit::unique_hgdiobj brush_;
};

// A push button with a small picture before its caption. A click sets its
// form's ModalResult (when it has one) and then runs OnClick.
class TBitBtn : public kit::TControl {
public:
    explicit TBitBtn(kit::TComponent* owner);
    ~TBitBtn() override;

    // Enter clicks the default button, Esc the cancel button (the form asks).
    bool Default = false;
    bool Cancel = false;
    kit::TModalResult ModalResult = kit::mrNone;
    kit::TNotifyEvent OnClick;
    void Click();

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool ReflectCommand(WORD code) override;
    bool ReflectMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void draw(const DRAWITEMSTRUCT& item);
    kit::unique_hgdiobj font_;
};

class TFormAbout : public kit::TForm {
public:
    // Builds the design, then FormCreate fills it from the settings and the
    // install folder. Not shown until ShowAbout.
    explicit TFormAbout(kit::TComponent* owner = nullptr);
    ~TFormAbout() override;

    // ---- designed widgets, in creation order; all owned by the window
    TBevel* Bevel2 = nullptr;
    kit::TImage* Image1 = nullptr;
    kit::TImage* AboutImage = nullptr;
    kit::TLabel* LVersion = nullptr;
    kit::TLabel* LCopyright = nullptr;
    kit::TLabel* LKestrelgrove = nullptr;
    kit::TLabel* LURL = nullptr;
    TMemo* Memo1 = nullptr;
    TBevel* Bevel1 = nullptr;
    TBitBtn* BtnClose = nullptr;

    // Modal (Close button, Enter, Esc or the home page end it), or timed: shown
    // without a Close button while messages are processed, until the tick
    // count reaches its value before showing plus 4000 ms.
    void ShowAbout(bool timed);

    void FormCreate(kit::TComponent* Sender);
    // The home page through the shell, then the window closes (hides, when timed).
    void LURLClick(kit::TComponent* Sender);
    void BtnCloseClick(kit::TComponent* Sender);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void createDesignedWidgets();
    // Enter and Esc: the Close button, while it is shown.
    bool pressDialogButton(bool enter);
};

// Creates the About window (no owner), shows it modal or timed, then hides and frees it.
void ShowAboutWindow(bool timed);

// The fixed line of the toolbar technology's maker, and the notice shown
// when the install folder has no "Copyrights.txt".
extern const char AboutMakerLine[];
extern const char AboutDesignNotice[];

// The 196 by 175 picture at the window's left, drawn in code; its lower-left
// pixel's colour is the transparent one.
kit::Bitmap32 MakeAboutPicture();

} // namespace kg
