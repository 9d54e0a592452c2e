// The banner: the Flash player that takes the picture's place once its movie
// has completely loaded.
#include "toolbar/Banner.h"

#include "config/Settings.h"
#include "core/Error.h"
#include "kit/Files.h"
#include "kit/Image.h"
#include "kit/Platform.h"
#include "kit/Toolbar.h"
#include "toolbar/KestrelgroveForm.h"
#include "toolbar/ShockwaveFlash.h"

#include <memory>
#include <string>
#include <utility>

namespace kg {

namespace {

constexpr const char* kPlayerFiles[] = {
    "\\System\\Macromed\\flash\\flash.ocx",  "\\System\\Macromed\\flash\\swflash.ocx",
    "\\System\\Macromed\\flash.ocx",         "\\System\\Macromed\\swflash.ocx",
    "\\system32\\Macromed\\Flash\\flash.ocx", "\\system32\\Macromed\\Flash\\swflash.ocx",
};

constexpr long kReadyStateComplete = 4;

} // namespace

bool FlashPlayerInstalled() {
    char folder[256] = {};
    const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    // Without the Windows folder the paths would name the current drive's root instead.
    if (length == 0 || length >= sizeof folder) return false;
    const std::string windows(folder);
    for (const char* file : kPlayerFiles)
        if (kit::IsFile(windows + file)) return true;
    return false;
}

void TformToolbar::CreateFlashBanner() {
    const std::string movie = ToolbarSettings().FlashURL;
    if (!FlashPlayerInstalled() || movie.empty()) return;
    try {
        FlashPlayer = new TShockwaveFlash(this);
        FlashPlayer->OnReadyStateChange = [this](kit::TComponent* sender, long newState) {
            FlashReadyStateChange(sender, newState);
        };
        FlashPlayer->Stop();
        FlashPlayer->SetVisible(false);  // before it gets a window, so it never shows for an instant
        FlashPlayer->SetParent(FlashToolbar);
        FlashPlayer->SetBounds(0, 0, 105, 22);
        FlashPlayer->SetTabOrder(0);
        if (kit::platform().attemptInternetConnect() == ERROR_SUCCESS) FlashPlayer->SetMovie(movie);
    } catch (const kit::OSError&) {
        // A player file without a player that works (not registered, say): the picture stays, silently.
        FreeFlashPlayer();
    }
}

void TformToolbar::FlashReadyStateChange(kit::TComponent* Sender, long newState) {
    auto* player = dynamic_cast<TShockwaveFlash*>(Sender);
    if (!player || newState != kReadyStateComplete) return;
    Image->Hide();
    player->Show();
    player->Play();
}

void TformToolbar::FreeFlashPlayer() {
    std::unique_ptr<TShockwaveFlash> player(std::exchange(FlashPlayer, nullptr));
}

} // namespace kg
