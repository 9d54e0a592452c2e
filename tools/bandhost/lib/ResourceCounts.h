#pragma once
// What a process holds of the window system and of memory, for leak checks
// and the load benchmark: GDI objects, USER objects and private bytes.
#include <windows.h>

#include <string>

namespace bandhost {

struct ResourceCounts {
    long gdiObjects = 0;
    long userObjects = 0;
    unsigned long long privateBytes = 0;
};

// Asks GetGuiResources and GetProcessMemoryInfo. Where the platform does not
// answer (Wine: GetGuiResources is not implemented, PrivateUsage stays 0),
// counts the entries of the process's GDI handle table, the windows of the
// process (USER objects), and the committed private memory (PagefileUsage).
ResourceCounts measureResources();

// Where each count came from, for reports.
std::string resourceSources();

} // namespace bandhost
