#pragma once
// A platform for tests: records every blocking or outside-reaching call and
// answers from a script, so nothing modal ever waits in a test.
#include "kit/Platform.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kgtest {

struct RecordedMessageBox {
    std::string text, caption;
    UINT type = 0;
};

class RecordingPlatform : public kit::Platform {
public:
    // Installs itself for its lifetime.
    RecordingPlatform() { kit::setPlatform(this); }
    ~RecordingPlatform() override { kit::setPlatform(nullptr); }

    std::vector<RecordedMessageBox> messageBoxes;
    std::deque<int> messageBoxAnswers;  // default when empty: IDOK (IDNO for MB_YESNO)

    std::vector<kit::FileDialogRequest> fileDialogs;
    std::deque<std::optional<std::string>> fileDialogAnswers;  // nullopt = cancel; default cancel

    std::vector<std::string> shellOpens;
    std::vector<std::wstring> hlinkNavigations;
    std::vector<std::wstring> automationRequests;
    std::function<HRESULT(const std::wstring&, IDispatch**)> automationFactory;
    // Creation goes on to the real platform (the real automation object), still recorded.
    void passAutomationToRealPlatform() {
        automationFactory = [](const std::wstring& progId, IDispatch** out) {
            return kit::realPlatform().createAutomationObject(progId, out);
        };
    }

    DWORD tick = 1000;
    DWORD tickStep = 0;  // added to tick at every call
    // Called with each tick answered, before it is answered.
    std::function<void(DWORD)> onTickCount;
    kit::CalendarDate todayDate{2026, 12, 7};
    // Wine's InternetAttemptConnect always succeeds: tests script its answer here.
    DWORD attemptConnectAnswer = ERROR_SUCCESS;
    int attemptConnectCalls = 0;

    // The per-user roots; the real ones (HKEY_CURRENT_USER, the local
    // application-data folder) unless a test sets others.
    std::optional<kit::UserStateRoots> userStateRootsAnswer;
    kit::UserStateRoots userStateRoots() override {
        return userStateRootsAnswer ? *userStateRootsAnswer : kit::Platform::userStateRoots();
    }

    int messageBox(HWND, const std::string& text, const std::string& caption, UINT type) override;
    bool fileDialog(HWND, kit::FileDialogRequest& request) override;
    void shellOpen(const std::string& target) override { shellOpens.push_back(target); }
    HRESULT hlinkNavigate(const std::wstring& url) override {
        hlinkNavigations.push_back(url);
        return S_OK;
    }
    HRESULT createAutomationObject(const std::wstring& progId, IDispatch** out) override;
    DWORD tickCount() override {
        DWORD t = tick;
        tick += tickStep;
        if (onTickCount) onTickCount(t);
        return t;
    }
    kit::CalendarDate today() override { return todayDate; }
    DWORD attemptInternetConnect() override {
        ++attemptConnectCalls;
        return attemptConnectAnswer;
    }
};

} // namespace kgtest
