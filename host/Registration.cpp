#include "host/Registration.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "config/ShortDate.h"
#include "core/Error.h"
#include "kit/Handles.h"
#include "kit/Platform.h"
#include "kit/SystemError.h"

#include <windows.h>

#include <vector>

namespace kg {

namespace {

const std::string classKey = std::string("CLSID\\") + ClassIdText;

void setString(HKEY key, const char* name, const std::string& data, const char* failure) {
    const LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>(data.size() + 1));
    if (rc != ERROR_SUCCESS) {
        if (failure) throw kit::Error(failure);
        kit::RaiseOSError(static_cast<DWORD>(rc));
    }
}

// The generic part: the key is created when missing; any failure is one error.
void writeGeneric(const std::string& path, const std::string& data) {
    constexpr char failure[] = "Error creating system registry entry";
    kit::unique_hkey key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        throw kit::Error(failure);
    setString(key.get(), nullptr, data, failure);
}

// The factory's own part: a key that cannot be opened is skipped silently;
// a value that cannot be written raises. A null name writes no value.
void writeOwn(HKEY root, const std::string& path, const char* name, const std::string& data) {
    kit::unique_hkey key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return;
    if (name) setString(key.get(), name, data, nullptr);
}

void deleteValue(HKEY root, const char* path, const char* name) noexcept {
    kit::unique_hkey key;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) RegDeleteValueA(key.get(), name);
}

} // namespace

std::string ServerPathForRegistry(const std::string& modulePath) {
    if (modulePath.find(' ') == std::string::npos) return modulePath;
    const DWORD n = GetShortPathNameA(modulePath.c_str(), nullptr, 0);
    if (n == 0) return modulePath;
    std::vector<char> buffer(n);
    const DWORD written = GetShortPathNameA(modulePath.c_str(), buffer.data(), n);
    if (written == 0 || written >= n) return modulePath;
    return std::string(buffer.data(), written);
}

std::string YesterdayShortDate() {
    return ShortDateText(AddDays(kit::platform().today(), -1));
}

void RegisterServer(const std::string& modulePath, const std::string& description) {
    writeGeneric(classKey, description);
    writeGeneric(classKey + "\\InprocServer32", ServerPathForRegistry(modulePath));
    writeOwn(HKEY_CLASSES_ROOT, classKey, "", description);
    writeOwn(HKEY_CLASSES_ROOT, classKey + "\\InProcServer32", "ThreadingModel", "Apartment");
    writeOwn(HKEY_CLASSES_ROOT, classKey + "\\Implemented Categories\\" + DeskBandCategoryText, nullptr, "");
    writeOwn(HKEY_LOCAL_MACHINE, ToolbarListKeyPath, ClassIdText, description);
    writeOwn(HKEY_LOCAL_MACHINE, ExplorerBarsKeyPath, ClassIdText, "");
    // Yesterday, so the daily splash shows at the first showing.
    writeOwn(HKEY_LOCAL_MACHINE, ToolbarKeyPath, "Date", YesterdayShortDate());
}

void UnregisterServer() noexcept {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, classKey.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("Component Categories\\") + DeskBandCategoryText + "\\Enum").c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (classKey + "\\Implemented Categories\\" + DeskBandCategoryText).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (classKey + "\\InProcServer32").c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str());
    deleteValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar", ClassIdText);
    deleteValue(HKEY_LOCAL_MACHINE, ExplorerBarsKeyPath, ClassIdText);
}

} // namespace kg
