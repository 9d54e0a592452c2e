#pragma once
// The seam for everything that would block a test or reach outside the
// machine: message boxes, file dialogs, the shell, hyperlink navigation, the
// creation of a browser application object, the tick count, today's date and
// the question whether the machine may go on line.
// The real Win32 implementation is the default; tests install a recorder.
#include <windows.h>
#include <oaidl.h>
#include <string>

namespace kit {

struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string fileName;   // in: proposed name; out: the chosen path
    std::string defaultExt; // without the dot, as the common dialog wants it
    std::string filter;     // "Text files (*.txt)|*.txt|All files (*.*)|*.*"
    int filterIndex = 1;
    DWORD flags = 0;        // OFN_* flags
};

// Where this process may keep the user's own state: a registry root under
// which the toolbar key's path is written, and a folder. In Protected Mode
// these are the low-integrity locations the browser offers.
struct UserStateRoots {
    bool protectedMode = false;
    HKEY registry = HKEY_CURRENT_USER; // borrowed: the platform keeps it open
    std::string folder;                // without a trailing separator; empty when unknown
};

struct CalendarDate {
    int year = 0, month = 0, day = 0;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

class Platform {
public:
    virtual ~Platform() = default;
    // MessageBoxA: returns IDOK, IDYES, IDNO...
    virtual int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
    // GetOpenFileNameA / GetSaveFileNameA: true when the user confirmed.
    virtual bool fileDialog(HWND owner, FileDialogRequest& request) = 0;
    // ShellExecuteA(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL); result unchecked.
    virtual void shellOpen(const std::string& target) = 0;
    // HlinkNavigateString(nullptr, url).
    virtual HRESULT hlinkNavigate(const std::wstring& url) = 0;
    // Creates the automation object of a program identifier and answers its IDispatch.
    virtual HRESULT createAutomationObject(const std::wstring& progId, IDispatch** out) = 0;
    virtual DWORD tickCount() = 0;
    virtual CalendarDate today() = 0;
    // InternetAttemptConnect(0): ERROR_SUCCESS when the machine may go on line.
    virtual DWORD attemptInternetConnect();
    // Protected Mode through ieframe.dll's IEIsProtectedModeProcess,
    // IEGetWriteableHKCU and IEGetWriteableFolderPath(FOLDERID_LocalAppDataLow),
    // loaded at run time; otherwise HKEY_CURRENT_USER and FOLDERID_LocalAppData.
    virtual UserStateRoots userStateRoots();
};

// The platform in force: the real one unless a test installed another.
Platform& platform();
// Installs p (not owned); nullptr restores the real platform.
void setPlatform(Platform* p);
Platform& realPlatform();

} // namespace kit
