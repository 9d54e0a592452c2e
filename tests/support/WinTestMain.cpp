// Entry point of the Windows test programs: COM and the common controls are
// ready before any test runs, as they are in the browser that hosts the band.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const HRESULT hr = OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const int rc = RUN_ALL_TESTS();
    if (SUCCEEDED(hr)) OleUninitialize();
    return rc;
}
