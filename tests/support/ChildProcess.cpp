#include "tests/support/ChildProcess.h"

#include <map>

namespace kgtest {

namespace {
std::map<std::string, ChildMain>& children() {
    static std::map<std::string, ChildMain> registered;
    return registered;
}

// One argument of a command line, quoted as the C runtime splits it back.
std::string quoted(const std::string& arg) {
    std::string out = "\"";
    std::size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}
} // namespace

ChildRegistration::ChildRegistration(const char* name, ChildMain main) { children()[name] = main; }

int RunChild(const std::string& name, const std::vector<std::string>& args) {
    const auto found = children().find(name);
    return found == children().end() ? -1 : found->second(args);
}

HANDLE StartChild(const std::string& name, const std::vector<std::string>& args) {
    char self[MAX_PATH * 4] = {};
    if (!GetModuleFileNameA(nullptr, self, sizeof self)) return nullptr;
    std::string line = quoted(self) + " " + quoted(std::string(kChildFlag) + name);
    for (const std::string& arg : args) line += " " + quoted(arg);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

int WaitForChild(HANDLE process) {
    if (!process) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code))
        code = static_cast<DWORD>(-1);
    CloseHandle(process);
    return static_cast<int>(code);
}

} // namespace kgtest
