#include "kit/ErrorReport.h"

#include "kit/Platform.h"

#include <windows.h>

#include <new>

namespace kit {

std::string ApplicationTitle() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, n < MAX_PATH ? n : MAX_PATH);
    const auto slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

namespace {
void report(const char* text) noexcept {
    try {
        platform().messageBox(GetActiveWindow(), text, ApplicationTitle(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // The report itself failed (out of memory): nothing is left to tell it with.
    }
}
} // namespace

void ShowException(const std::exception& error) {
    // The library's own text for it ("std::bad_alloc") tells a user nothing.
    if (dynamic_cast<const std::bad_alloc*>(&error)) {
        report("Not enough memory.");
        return;
    }
    report(error.what());
}

void ShowException(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        report("An unknown error occurred.");
    }
}

} // namespace kit
