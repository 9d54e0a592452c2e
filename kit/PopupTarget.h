#pragma once
// What a control asks of the menu it shows on a right click, so that controls
// and the menus (whose owner window is itself a control) need not know each other.

namespace kit {

class TPopupTarget {
public:
    // Shows the menu at a screen point and acts on the choice.
    virtual void Popup(int screenX, int screenY) = 0;

protected:
    ~TPopupTarget() = default;
};

} // namespace kit
