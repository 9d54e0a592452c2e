// Entry point of the Windows test programs: COM and the common controls are
// ready before any test runs, as they are in the browser that hosts the band.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"

#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc > 1 && std::strncmp(argv[1], kgtest::kChildFlag, std::strlen(kgtest::kChildFlag)) == 0) {
        // A second process of a test: no tests, the child's work alone.
        const HRESULT childHr = OleInitialize(nullptr);
        const int rc = kgtest::RunChild(argv[1] + std::strlen(kgtest::kChildFlag), std::vector<std::string>(argv + 2, argv + argc));
        if (SUCCEEDED(childHr)) OleUninitialize();
        return rc;
    }
    testing::InitGoogleTest(&argc, argv);
    const HRESULT hr = OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const int rc = RUN_ALL_TESTS();
    if (SUCCEEDED(hr)) OleUninitialize();
    return rc;
}
