#include "ResourceCounts.h"

#include <psapi.h>
#include <winternl.h>

#include <cstddef>

namespace bandhost {

namespace {

// One entry of the GDI handle table that the PEB points to (the same layout
// in Windows and Wine on x86_64).
struct GdiTableEntry {
    unsigned long long kernelObject;
    unsigned short processId;
    unsigned short count;
    unsigned short upper;
    unsigned short type;
    unsigned long long userObject;
};
constexpr int kGdiTableSize = 0x10000;

const GdiTableEntry* gdiTable() noexcept {
#if defined(_WIN64)
    // PEB.GdiSharedHandleTable; winternl.h keeps that field among its reserved ones.
    constexpr std::size_t kGdiTableOffset = 0xF8;
    const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    return *reinterpret_cast<const GdiTableEntry* const*>(peb + kGdiTableOffset);
#else
    return nullptr;
#endif
}

long gdiTableCount() noexcept {
    const GdiTableEntry* table = gdiTable();
    if (!table) return 0;
    // Windows shares the table between processes and names the owner; Wine's
    // table is the process's own and leaves the owner 0.
    const auto self = static_cast<unsigned short>(GetCurrentProcessId());
    long n = 0;
    for (int i = 0; i < kGdiTableSize; ++i)
        if ((table[i].kernelObject || table[i].type) && (table[i].processId == self || table[i].processId == 0)) ++n;
    return n;
}

BOOL CALLBACK countChild(HWND, LPARAM counter) {
    ++*reinterpret_cast<long*>(counter);
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM counter) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<long*>(counter);
    EnumChildWindows(window, countChild, counter);
    return TRUE;
}

long windowCount() noexcept {
    long n = 0;
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&n));
    return n;
}

bool guiResourcesAnswer() noexcept {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) != 0;
}

} // namespace

ResourceCounts measureResources() {
    ResourceCounts c;
    if (guiResourcesAnswer()) {
        c.gdiObjects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
        c.userObjects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    } else {
        c.gdiObjects = gdiTableCount();
        c.userObjects = windowCount();
    }
    PROCESS_MEMORY_COUNTERS_EX pm{};
    pm.cb = sizeof pm;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pm), sizeof pm))
        c.privateBytes = pm.PrivateUsage ? pm.PrivateUsage : pm.PagefileUsage;
    return c;
}

std::string resourceSources() {
    std::string s = guiResourcesAnswer() ? "GDI and USER objects from GetGuiResources"
                                         : "GDI objects from the process's GDI handle table, USER objects as its windows "
                                           "(GetGuiResources answers nothing here)";
    PROCESS_MEMORY_COUNTERS_EX pm{};
    pm.cb = sizeof pm;
    const bool privateUsage = GetProcessMemoryInfo(GetCurrentProcess(),
                                                   reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pm), sizeof pm) &&
                              pm.PrivateUsage != 0;
    s += privateUsage ? "; private bytes from PrivateUsage" : "; private bytes from PagefileUsage (PrivateUsage is 0 here)";
    return s;
}

} // namespace bandhost
