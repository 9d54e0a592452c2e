#include "tests/support/RecordingPlatform.h"

namespace kgtest {

int RecordingPlatform::messageBox(HWND, const std::string& text, const std::string& caption, UINT type) {
    messageBoxes.push_back({text, caption, type});
    if (!messageBoxAnswers.empty()) {
        int answer = messageBoxAnswers.front();
        messageBoxAnswers.pop_front();
        return answer;
    }
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

bool RecordingPlatform::fileDialog(HWND, kit::FileDialogRequest& request) {
    fileDialogs.push_back(request);
    if (fileDialogAnswers.empty()) return false;
    auto answer = fileDialogAnswers.front();
    fileDialogAnswers.pop_front();
    if (!answer) return false;
    request.fileName = *answer;
    return true;
}

HRESULT RecordingPlatform::createAutomationObject(const std::wstring& progId, IDispatch** out) {
    automationRequests.push_back(progId);
    if (automationFactory) return automationFactory(progId, out);
    if (out) *out = nullptr;
    return REGDB_E_CLASSNOTREG;
}

} // namespace kgtest
