#pragma once
// The band's tests load the real kestrelgrove.dll beside them, as a browser
// would, and talk to it only through its exports and COM interfaces. Each
// test installs a toolbar of its own first (the DLL reads the toolbar key
// when it starts) and ends with the DLL unloadable.
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/ShortDate.h"
#include "kit/Handles.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kgtest {

// The registry view this process (and the DLL of its bitness) writes.
inline constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
inline constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// A Unix path of the build as Wine's Z: drive shows it.
inline std::string windowsPath(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

inline std::string builtDllPath() { return windowsPath(std::string(KG_BUILD_DIR) + "/kestrelgrove.dll"); }

// Whether a key exists in a view; with a value name, whether that value does, and its text.
inline bool keyExists(HKEY root, const std::string& path, REGSAM view = kOwnView) {
    kit::unique_hkey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}
inline bool readString(HKEY root, const std::string& path, const char* name, std::string& out,
                       REGSAM view = kOwnView) {
    kit::unique_hkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return false;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1, type = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return false;
    out.assign(buffer, size && buffer[size - 1] == '\0' ? size - 1 : size);
    return type == REG_SZ;
}

// The DLL, loaded by path, with its four exports.
class ServerDll {
public:
    explicit ServerDll(const std::string& path = builtDllPath()) : module_(LoadLibraryA(path.c_str())) {
        if (!module_) return;
        getClassObject = reinterpret_cast<decltype(getClassObject)>(GetProcAddress(module_, "DllGetClassObject"));
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(GetProcAddress(module_, "DllCanUnloadNow"));
        registerServer = reinterpret_cast<decltype(registerServer)>(GetProcAddress(module_, "DllRegisterServer"));
        unregisterServer = reinterpret_cast<decltype(unregisterServer)>(GetProcAddress(module_, "DllUnregisterServer"));
    }
    ~ServerDll() {
        if (module_) FreeLibrary(module_);
    }
    ServerDll(const ServerDll&) = delete;
    ServerDll& operator=(const ServerDll&) = delete;

    bool loaded() const { return module_ && getClassObject && canUnloadNow && registerServer && unregisterServer; }
    kit::com_ptr<IClassFactory> factory() const {
        kit::com_ptr<IClassFactory> f;
        getClassObject(kg::CLSID_Kestrelgrove, IID_IClassFactory, reinterpret_cast<void**>(f.GetAddressOf()));
        return f;
    }

    HRESULT(__stdcall* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(__stdcall* canUnloadNow)() = nullptr;
    HRESULT(__stdcall* registerServer)() = nullptr;
    HRESULT(__stdcall* unregisterServer)() = nullptr;

private:
    HMODULE module_;
};

// A toolbar installed in a folder of the test's own, with its toolbar key.
class InstalledToolbar {
public:
    explicit InstalledToolbar(const std::string& options = "Toolbar Full Size=1\r\n",
                              const std::string& items = "") {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        RegDeleteTreeA(HKEY_CURRENT_USER, kg::ToolbarKeyPath);
        std::ofstream(folder_ / "HostBar.ini", std::ios::binary) << "[Options]\r\n" << options << items;
        set("InstallPath", folder_.string());
        set("Toolbar Name", "Host Test Toolbar");
        set("Toolbar File", "HostBar");
        // Already stamped today: the band's showing brings no splash (the DLL's clock is the real one).
        set("Date", kg::ShortDateText(kit::realPlatform().today()));
    }
    ~InstalledToolbar() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        RegDeleteTreeA(HKEY_CURRENT_USER, kg::ToolbarKeyPath);
    }
    static void set(const char* name, const std::string& value) {
        kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, name, value, kg::RegistryType::String);
    }
    const std::filesystem::path& folder() const { return folder_.path(); }

private:
    const TempFolder folder_{"kg-host"};
};

} // namespace kgtest
