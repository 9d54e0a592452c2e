#pragma once
// The Flash player control of Macromedia, Inc. as a kit control: created from
// its class identifier, with Play, Stop and the movie to load, and the one
// event the toolbar listens to, OnReadyStateChange. Play and Stop are called
// by name through the player's IDispatch (its type information names them);
// Movie is set through IDispatch by its dispatch id.
#include "kit/ActiveX.h"

#include <windows.h>

#include <functional>
#include <string>

namespace kg {

inline constexpr CLSID CLSID_ShockwaveFlash = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID DIID_ShockwaveFlashEvents = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr DISPID DISPID_FlashMovie = 102;
inline constexpr DISPID DISPID_FlashReadyStateChange = -609;
inline constexpr DISPID DISPID_FlashProgress = 1958;
inline constexpr DISPID DISPID_FlashFSCommand = 150;

class TShockwaveFlash : public kit::TOleControl {
public:
    using TReadyStateChangeEvent = std::function<void(kit::TComponent* Sender, long newState)>;
    using TProgressEvent = std::function<void(kit::TComponent* Sender, long percentDone)>;
    using TFSCommandEvent =
        std::function<void(kit::TComponent* Sender, const std::string& command, const std::string& args)>;

    // Raises kit::OSError when no player can be created (none registered, say)
    // or its events cannot be connected.
    explicit TShockwaveFlash(kit::TComponent* owner);

    // Raise kit::OSError with the player's failure.
    void Play();
    void Stop();
    void SetMovie(const std::string& url);

    TReadyStateChangeEvent OnReadyStateChange;
    TProgressEvent OnProgress;
    TFSCommandEvent OnFSCommand;

protected:
    HRESULT HandleEvent(DISPID id, DISPPARAMS& params) override;
};

} // namespace kg
