#pragma once
// A test that needs a second process re-launches its own test program with
// "--kg-child=<name>": the program's entry point then runs the child
// registered under that name instead of the tests, and its result is the
// process's exit code.
#include <windows.h>

#include <string>
#include <vector>

namespace kgtest {

using ChildMain = int (*)(const std::vector<std::string>& args);

// Registers `main` as the child `name` (a static object in the test file).
struct ChildRegistration {
    ChildRegistration(const char* name, ChildMain main);
};

// Runs the child named in `flag` ("--kg-child=<name>") with `args`; -1 when
// no child has that name. Called by the test programs' entry point.
int RunChild(const std::string& name, const std::vector<std::string>& args);
constexpr char kChildFlag[] = "--kg-child=";

// Starts this program as the child `name`; the process handle (null on failure).
HANDLE StartChild(const std::string& name, const std::vector<std::string>& args);
// Waits for the child to end and closes its handle; its exit code (-1 on failure).
int WaitForChild(HANDLE process);

} // namespace kgtest
