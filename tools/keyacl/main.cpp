// keyacl: makes a key under HKEY_LOCAL_MACHINE read-only for everyone, as a
// standard user sees the toolbar key, or writable again, so that an
// end-to-end script can run the browser as such a user. Wine keeps a key's
// access list only while its wineserver runs.
//
//   keyacl.exe read-only|writable KEY_PATH
#include "kit/Handles.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "read-only") != 0 && std::strcmp(argv[1], "writable") != 0)) {
        std::fprintf(stderr, "usage: keyacl.exe read-only|writable KEY_PATH\n");
        return 2;
    }
    const bool readOnly = std::strcmp(argv[1], "read-only") == 0;
    kit::unique_hkey key;
    LSTATUS rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, READ_CONTROL | WRITE_DAC, key.put());
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "keyacl: cannot open HKLM\\%s (error %ld)\n", argv[2], static_cast<long>(rc));
        return 1;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(readOnly ? "D:P(A;;KR;;;WD)" : "D:P(A;;KA;;;WD)",
                                                              SDDL_REVISION_1, &descriptor, nullptr)) {
        std::fprintf(stderr, "keyacl: no security descriptor (error %lu)\n", GetLastError());
        return 1;
    }
    rc = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "keyacl: cannot set the access list (error %ld)\n", static_cast<long>(rc));
        return 1;
    }
    return 0;
}
