#pragma once
// Test doubles of ShellOpen and ShowAboutWindow, whose real definitions live
// with the navigation helpers and the About window: the tests link these
// instead, and they only record each call.
#include <string>
#include <vector>

namespace kgtest {

// Every target given to kg::ShellOpen, in order.
std::vector<std::string>& ShellOpenCalls();
// The `timed` argument of every kg::ShowAboutWindow call, in order.
std::vector<bool>& AboutWindowCalls();

} // namespace kgtest
