#pragma once
// A registry key that may be read, not written, as a standard user sees the
// toolbar key: its access list says so, and Wine checks it as Windows does
// (only while the wineserver that set it runs). The key is created when
// missing; its former list comes back at restore() or destruction.
#include "kit/Handles.h"

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace kgtest {

class ReadOnlyRegistryKey {
public:
    ReadOnlyRegistryKey(HKEY root, std::string path) : root_(root), path_(std::move(path)) {
        kit::unique_hkey key;
        if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, key.put(),
                            nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) return;
        PSECURITY_DESCRIPTOR readOnly = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                  nullptr))
            return;
        applied_ = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
        LocalFree(readOnly);
    }
    ~ReadOnlyRegistryKey() { restore(); }
    ReadOnlyRegistryKey(const ReadOnlyRegistryKey&) = delete;
    ReadOnlyRegistryKey& operator=(const ReadOnlyRegistryKey&) = delete;

    void restore() {
        if (!applied_) return;
        kit::unique_hkey key;
        if (RegOpenKeyExA(root_, path_.c_str(), 0, WRITE_DAC, key.put()) == ERROR_SUCCESS)
            applied_ = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data()) != ERROR_SUCCESS;
    }
    // The list is in force: a write is refused.
    bool refusesWrites() const {
        if (!applied_) return false;
        kit::unique_hkey key;
        return RegOpenKeyExA(root_, path_.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_ACCESS_DENIED;
    }

private:
    HKEY root_;
    std::string path_;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

} // namespace kgtest
