#pragma once
// A text label: one caption in a font and colour, on its own background
// colour or see-through (the parent shows behind the text), sized to its text
// unless AutoSize is off, with a click event and a cursor.
#include "kit/ClickTracker.h"
#include "kit/Control.h"
#include "kit/Graphics.h"

namespace kit {

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner);
    ~TLabel() override;

    void SetCaption(const std::string& text) override;

    const TFont& Font() const noexcept { return font_; }
    void SetFont(const TFont& font);

    // Background colour (when not transparent).
    TColor Color() const noexcept { return color_; }
    void SetColor(TColor color);
    bool Transparent() const noexcept { return transparent_; }
    void SetTransparent(bool transparent);

    // The label takes the size of its text whenever caption or font change (on by default).
    bool AutoSize() const noexcept { return autoSize_; }
    void SetAutoSize(bool autoSize);
    // "&" marks the next character as the accelerator (underlined); "&&" shows "&".
    // Off: the caption is shown as written.
    bool ShowAccelChar() const noexcept { return showAccelChar_; }
    void SetShowAccelChar(bool show);

    TNotifyEvent OnClick;

    // The size the caption needs in the label's font.
    SIZE TextExtent() const;

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void adjustSize();
    UINT drawFlags() const noexcept;
    HFONT font() const;

    TFont font_;
    mutable unique_hgdiobj hfont_;
    TColor color_ = clBtnFace;
    bool transparent_ = false;
    bool autoSize_ = true;
    bool showAccelChar_ = true;
    TClickTracker click_;
};

} // namespace kit
