// Test doubles (see the header): they record the call and do nothing else.
#include "tests/support/ShellAndAboutDoubles.h"

#include "toolbar/About.h"
#include "toolbar/Shell.h"

namespace kgtest {

std::vector<std::string>& ShellOpenCalls() {
    static std::vector<std::string> calls;
    return calls;
}

std::vector<bool>& AboutWindowCalls() {
    static std::vector<bool> calls;
    return calls;
}

} // namespace kgtest

namespace kg {

void ShellOpen(const std::string& target) { kgtest::ShellOpenCalls().push_back(target); }

void ShowAboutWindow(bool timed) { kgtest::AboutWindowCalls().push_back(timed); }

} // namespace kg
