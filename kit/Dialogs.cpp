#include "kit/Dialogs.h"

#include "kit/Platform.h"

#include <commdlg.h>

namespace kit {

unsigned long OpenOptionsToFlags(TOpenOptions options) noexcept {
    unsigned long flags = 0;
    if (options & ofReadOnly) flags |= OFN_READONLY;
    if (options & ofOverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
    if (options & ofHideReadOnly) flags |= OFN_HIDEREADONLY;
    if (options & ofNoChangeDir) flags |= OFN_NOCHANGEDIR;
    if (options & ofPathMustExist) flags |= OFN_PATHMUSTEXIST;
    if (options & ofFileMustExist) flags |= OFN_FILEMUSTEXIST;
    if (options & ofCreatePrompt) flags |= OFN_CREATEPROMPT;
    if (options & ofNoReadOnlyReturn) flags |= OFN_NOREADONLYRETURN;
    if (options & ofEnableSizing) flags |= OFN_ENABLESIZING;
    return flags;
}

bool TOpenDialog::Execute() {
    FileDialogRequest request;
    request.save = saving();
    request.title = Title;
    request.fileName = FileName;
    request.defaultExt = DefaultExt.size() > 1 && DefaultExt[0] == '.' ? DefaultExt.substr(1) : DefaultExt;
    request.filter = Filter;
    request.filterIndex = FilterIndex;
    request.flags = OpenOptionsToFlags(Options);
    if (!platform().fileDialog(GetActiveWindow(), request)) return false;
    FileName = request.fileName;
    FilterIndex = request.filterIndex;
    return true;
}

} // namespace kit
