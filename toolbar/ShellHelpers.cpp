#include "toolbar/ShellHelpers.h"

#include "core/Error.h"
#include "kit/Download.h"
#include "kit/Platform.h"

#include <windows.h>

namespace kg {

void ShellOpen(const std::string& target) { kit::platform().shellOpen(target); }

std::string CanonicalizeUrl(const std::string& url) {
    try {
        return kit::CanonicalizeUrl(url);
    } catch (const kit::OSError& e) {
        ShowErrorBox(ErrorPrefix + std::string(e.what()));
        return {};
    }
}

bool DownloadUrlToFile(const std::string& url, const std::string& destination) {
    try {
        return kit::DownloadUrlToFile(url, destination);
    } catch (const kit::OSError& e) {
        ShowErrorBox(ErrorPrefix + std::string(e.what()));
        return false;
    }
}

void ShowErrorBox(const std::string& message) {
    kit::platform().messageBox(GetActiveWindow(), message, ErrorCaption, MB_OK | MB_ICONWARNING);
}

} // namespace kg
