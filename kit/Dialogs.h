#pragma once
// The common open and save dialogs as components. Execute() asks through the
// platform seam (kit::platform().fileDialog), so tests answer from a script.
#include "core/Component.h"

#include <string>

namespace kit {

// Options of the file dialogs (combine with |).
using TOpenOptions = unsigned;
inline constexpr TOpenOptions ofReadOnly = 1u << 0;        // the read-only box starts checked
inline constexpr TOpenOptions ofOverwritePrompt = 1u << 1; // ask before replacing a file (save)
inline constexpr TOpenOptions ofHideReadOnly = 1u << 2;    // no read-only box
inline constexpr TOpenOptions ofNoChangeDir = 1u << 3;     // the current folder stays
inline constexpr TOpenOptions ofPathMustExist = 1u << 4;
inline constexpr TOpenOptions ofFileMustExist = 1u << 5;
inline constexpr TOpenOptions ofCreatePrompt = 1u << 6;
inline constexpr TOpenOptions ofNoReadOnlyReturn = 1u << 7;
inline constexpr TOpenOptions ofEnableSizing = 1u << 8;    // the dialog can be resized

// The OFN_* flags of a set of options.
unsigned long OpenOptionsToFlags(TOpenOptions options) noexcept;

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}

    std::string Title;       // empty: the system's own title
    std::string FileName;    // proposed name; after Execute() the chosen path
    std::string DefaultExt;  // appended to a name typed without extension ("txt"; a leading dot is ignored)
    // Pairs of description and pattern separated by "|":
    // "Text files (*.txt)|*.txt|All files (*.*)|*.*".
    std::string Filter;
    int FilterIndex = 1;     // 1-based; after Execute() the filter the user chose
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;

    // Shows the dialog (owned by the active window); true when the user confirmed.
    bool Execute();

protected:
    virtual bool saving() const noexcept { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;

protected:
    bool saving() const noexcept override { return true; }
};

} // namespace kit
