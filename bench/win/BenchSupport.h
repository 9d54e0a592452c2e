#pragma once
// What the Windows benchmarks share: a platform whose message boxes never
// wait for a user, and the median of a set of timings.
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/ShortDate.h"
#include "kit/Handles.h"
#include "kit/Platform.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kgbench {

// Message boxes are counted and answered at once (No to a question, else OK).
class QuietPlatform : public kit::Platform {
public:
    int boxes = 0;
    std::string lastText;
    int messageBox(HWND, const std::string& text, const std::string&, UINT type) override {
        ++boxes;
        lastText = text;
        return (type & MB_YESNO) ? IDNO : IDOK;
    }
    bool fileDialog(HWND, kit::FileDialogRequest&) override { return false; }
    void shellOpen(const std::string&) override {}
    HRESULT hlinkNavigate(const std::wstring&) override { return S_OK; }
    HRESULT createAutomationObject(const std::wstring&, IDispatch**) override { return E_NOTIMPL; }
    DWORD tickCount() override { return GetTickCount(); }
    kit::CalendarDate today() override { return {2026, 12, 8}; }
};

// One benchmark run: OLE, the common controls, the quiet platform and a
// fresh folder of its own under the temporary folder, all undone at the end.
class BenchSession {
public:
    explicit BenchSession(const std::string& folderPrefix) : ole_(OleInitialize(nullptr)) {
        INITCOMMONCONTROLSEX icc{sizeof icc,
                                 ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        kit::setPlatform(&platform);
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::filesystem::path(temp) / (folderPrefix + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder);
    }
    ~BenchSession() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        kit::setPlatform(nullptr);
        if (SUCCEEDED(ole_)) OleUninitialize();
    }
    BenchSession(const BenchSession&) = delete;
    BenchSession& operator=(const BenchSession&) = delete;

    QuietPlatform platform;
    std::filesystem::path folder;

private:
    HRESULT ole_;
};

// The values of the toolbar key as they were before the benchmark, put back after it.
class SavedKey {
public:
    SavedKey() {
        kit::unique_hkey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
        existed_ = true;
        for (DWORD i = 0;; ++i) {
            char name[16384];
            DWORD nameSize = sizeof name, type = 0, dataSize = 0;
            if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) break;
            Value v{std::string(name, nameSize), type, std::vector<BYTE>(dataSize)};
            nameSize = sizeof name;
            if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, v.data.data(), &dataSize) == ERROR_SUCCESS)
                values_.push_back(std::move(v));
        }
    }
    ~SavedKey() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        if (!existed_) return;
        kit::unique_hkey key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                            nullptr) != ERROR_SUCCESS)
            return;
        for (const Value& v : values_)
            RegSetValueExA(key.get(), v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    }
    SavedKey(const SavedKey&) = delete;
    SavedKey& operator=(const SavedKey&) = delete;

private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool existed_ = false;
    std::vector<Value> values_;
};

// A fresh toolbar key for a benchmark's toolbar in `folder`, last shown today:
// the day's first showing holds the window for its 4-second splash, which
// would otherwise be timed as part of the build.
inline void InstallBenchToolbar(const std::filesystem::path& folder, const std::string& name, const std::string& file) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
    namespace RegistryType = kg::RegistryType;
    kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "InstallPath", folder.string(), RegistryType::String);
    kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Toolbar Name", name, RegistryType::String);
    kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Toolbar File", file, RegistryType::String);
    kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Date", kg::ShortDateText(kit::platform().today()),
                        RegistryType::String);
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace kgbench
