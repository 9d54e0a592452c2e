#pragma once
// Opening a file, document, program or URL with the shell's default action.
#include <string>

namespace kg {

// The shell performs its default action on `target`; failures are silent.
void ShellOpen(const std::string& target);

} // namespace kg
