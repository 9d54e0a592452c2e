#include "kit/Platform.h"

#include <commdlg.h>
#include <hlink.h>
#include <shellapi.h>
#include <shlobj.h>
#include <knownfolders.h>
#include <wininet.h>
#include <vector>

#include "kit/Handles.h"

namespace kit {
namespace {

class Win32Platform final : public Platform {
public:
    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    }

    bool fileDialog(HWND owner, FileDialogRequest& request) override {
        // The kit's filter form separates with "|"; the dialog wants NULs.
        std::string filter = request.filter;
        for (char& c : filter)
            if (c == '|') c = '\0';
        filter.append(2, '\0');
        std::vector<char> name(32768, '\0');
        request.fileName.copy(name.data(), name.size() - 1);
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
        ofn.lpstrFile = name.data();
        ofn.nMaxFile = static_cast<DWORD>(name.size());
        ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
        ofn.lpstrDefExt = request.defaultExt.empty() ? nullptr : request.defaultExt.c_str();
        ofn.Flags = request.flags | OFN_EXPLORER;
        const BOOL ok = request.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
        if (!ok) return false;
        request.fileName = name.data();
        request.filterIndex = static_cast<int>(ofn.nFilterIndex);
        return true;
    }

    void shellOpen(const std::string& target) override {
        ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }

    HRESULT hlinkNavigate(const std::wstring& url) override {
        return HlinkNavigateString(nullptr, url.c_str());
    }

    HRESULT createAutomationObject(const std::wstring& progId, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
        if (FAILED(hr)) return hr;
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(out));
    }

    DWORD tickCount() override { return GetTickCount(); }

    CalendarDate today() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return {st.wYear, st.wMonth, st.wDay};
    }
};

Platform* current = nullptr;

} // namespace

DWORD Platform::attemptInternetConnect() { return InternetAttemptConnect(0); }

namespace {

std::string ansiPath(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    while (!out.empty() && (out.back() == '\\' || out.back() == '/')) out.pop_back();
    return out;
}

// A function of a DLL loaded at run time, by its type; through a function
// type without arguments, as GetProcAddress's own result is one.
template <class F>
F procedure(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct TaskMemString {
    wchar_t* text = nullptr;
    ~TaskMemString() { CoTaskMemFree(text); }
};

UserStateRoots findUserStateRoots() {
    using IsProtectedFn = HRESULT(WINAPI*)(BOOL*);
    using WriteableHkcuFn = HRESULT(WINAPI*)(HKEY*);
    using WriteableFolderFn = HRESULT(WINAPI*)(REFGUID, LPWSTR*);
    // Kept for the process: the key handle below comes from it.
    static unique_hmodule ieframe(LoadLibraryExA("ieframe.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    static unique_hkey lowKey;
    UserStateRoots roots;
    if (ieframe) {
        const auto isProtected = procedure<IsProtectedFn>(ieframe.get(), "IEIsProtectedModeProcess");
        const auto writeableHkcu = procedure<WriteableHkcuFn>(ieframe.get(), "IEGetWriteableHKCU");
        const auto writeableFolder = procedure<WriteableFolderFn>(ieframe.get(), "IEGetWriteableFolderPath");
        BOOL protectedMode = FALSE;
        if (isProtected && writeableHkcu && writeableFolder && SUCCEEDED(isProtected(&protectedMode)) &&
            protectedMode) {
            TaskMemString folder;
            HKEY key = nullptr;
            if (SUCCEEDED(writeableHkcu(&key)) && key) lowKey.reset(key);
            if (lowKey && SUCCEEDED(writeableFolder(FOLDERID_LocalAppDataLow, &folder.text)) && folder.text) {
                roots.protectedMode = true;
                roots.registry = lowKey.get();
                roots.folder = ansiPath(folder.text);
                return roots;
            }
        }
    }
    TaskMemString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder.text)) && folder.text)
        roots.folder = ansiPath(folder.text);
    return roots;
}

} // namespace

UserStateRoots Platform::userStateRoots() {
    static const UserStateRoots roots = findUserStateRoots();
    return roots;
}

Platform& realPlatform() {
    static Win32Platform real;
    return real;
}

Platform& platform() { return current ? *current : realPlatform(); }

void setPlatform(Platform* p) { current = p; }

} // namespace kit
