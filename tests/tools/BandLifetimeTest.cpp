// The band's lifetime as a browser drives it, against the real DLL: created by
// class identifier from the registry that its own DllRegisterServer wrote,
// then SetSite, GetBandInfo, GetWindow, ShowDW, ShowDW(FALSE), CloseDW,
// SetSite(NULL) and the release, over and over. Window-system objects and
// private memory stay flat, and the DLL unloads after the last release.
#include "config/Settings.h"
#include "config/ShortDate.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"
#include "tools/bandhost/lib/BandSite.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "tools/bandhost/lib/ResourceCounts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr char kDllName[] = "kestrelgrove.dll";
constexpr int kWarmUpCycles = 5;
constexpr int kCycles = 200;
// Fixed slack over the counts after the warm-up: caches that settle late
// (fonts, heap growth), not a per-cycle allowance.
constexpr long kGdiSlack = 8;
constexpr long kUserSlack = 2;
constexpr unsigned long long kPrivateBytesSlack = 2ull << 20;

std::filesystem::path dllPath() {
    return std::filesystem::path(KG_BUILD_DIR) / kDllName;
}

// The DLL loaded by the test for its registration entry points.
class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& path) : module_(LoadLibraryW(path.wstring().c_str())) {}
    ~LoadedModule() { reset(); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    HMODULE get() const noexcept { return module_; }
    void reset() noexcept {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    HRESULT call(const char* entry) const {
        using Entry = HRESULT(WINAPI*)();
        auto fn = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module_, entry)));
        return fn ? fn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }

private:
    HMODULE module_;
};

using kgtest::pumpMessages;

class BandLifetimeTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(dllPath())) << dllPath() << " not built";
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        RegDeleteTreeA(HKEY_CURRENT_USER, kg::ToolbarKeyPath);
        const std::filesystem::path examples = std::filesystem::path(KG_SOURCE_DIR) / "examples";
        for (const char* name : {"Kestrelgrove.ini", "Kestrelgrove.bmp", "Copyrights.txt"})
            std::filesystem::copy_file(examples / name, installDir_ / name);
        std::filesystem::copy_file(std::filesystem::path(KG_BUILD_DIR) / "examples" / "Icons.bin",
                                   installDir_ / "Icons.bin");
        setKeyValue("InstallPath", installDir_.string());
        setKeyValue("Toolbar Name", "Lifetime Toolbar");
        setKeyValue("Toolbar File", "Kestrelgrove");

        // The settings are read on the DLL's first call: the key is ready now.
        module_ = std::make_unique<LoadedModule>(dllPath());
        ASSERT_NE(module_->get(), nullptr) << "LoadLibrary failed: " << GetLastError();
        ASSERT_EQ(module_->call("DllRegisterServer"), S_OK);
        // Registration stamps yesterday; today keeps the splash out of the cycles.
        setKeyValue("Date", kg::ShortDateText(kit::realPlatform().today()));
        frame_ = std::make_unique<bandhost::BrowserFrame>(1000, 300);
        frame_->show();
    }

    void TearDown() override {
        frame_.reset();
        module_.reset();
        LoadedModule(dllPath()).call("DllUnregisterServer");
        CoFreeUnusedLibraries();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        RegDeleteTreeA(HKEY_CURRENT_USER, kg::ToolbarKeyPath);
    }

    static void setKeyValue(const char* name, const std::string& value) {
        kit::unique_hkey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
    }

    // One create-to-release cycle; false (with a failure recorded) when the band did not open.
    bool cycle(int index) {
        bandhost::HostedBand band(*frame_, kg::CLSID_Kestrelgrove);
        try {
            band.open();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cycle " << index << ": " << e.what();
            return false;
        }
        if (!IsWindow(band.window())) {
            ADD_FAILURE() << "cycle " << index << ": the band gave no window";
            return false;
        }
        UpdateWindow(band.window());
        band.close();
        pumpMessages();  // a window whose destruction the band deferred
        return band.closeCount() == 1;
    }

    const kgtest::TempFolder installFolder_{"kg-band"};
    const std::filesystem::path installDir_ = installFolder_.path();
    std::unique_ptr<LoadedModule> module_;
    std::unique_ptr<bandhost::BrowserFrame> frame_;
};

TEST_F(BandLifetimeTest, CyclesLeaveWindowObjectsAndPrivateMemoryFlat) {
    for (int i = 0; i < kWarmUpCycles; ++i) ASSERT_TRUE(cycle(i));
    const bandhost::ResourceCounts before = bandhost::measureResources();
    for (int i = 0; i < kCycles; ++i) ASSERT_TRUE(cycle(kWarmUpCycles + i));
    const bandhost::ResourceCounts after = bandhost::measureResources();

    SCOPED_TRACE(bandhost::resourceSources());
    EXPECT_GT(before.gdiObjects, 0) << "no way to count GDI objects here";
    EXPECT_GT(before.privateBytes, 0u) << "no way to measure private bytes here";
    EXPECT_LE(after.gdiObjects, before.gdiObjects + kGdiSlack)
        << "GDI objects " << before.gdiObjects << " -> " << after.gdiObjects << " over " << kCycles << " cycles";
    EXPECT_LE(after.userObjects, before.userObjects + kUserSlack)
        << "USER objects " << before.userObjects << " -> " << after.userObjects << " over " << kCycles << " cycles";
    EXPECT_LE(after.privateBytes, before.privateBytes + kPrivateBytesSlack)
        << "private bytes " << before.privateBytes << " -> " << after.privateBytes << " over " << kCycles
        << " cycles";
    std::printf("[ lifetime ] %d cycles: GDI %ld -> %ld, USER %ld -> %ld, private bytes %llu -> %llu\n", kCycles,
                before.gdiObjects, after.gdiObjects, before.userObjects, after.userObjects, before.privateBytes,
                after.privateBytes);
}

TEST_F(BandLifetimeTest, TheDllUnloadsAfterTheLastRelease) {
    ASSERT_TRUE(cycle(0));
    module_->reset();  // the test's own reference
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleA(kDllName), nullptr) << "COM kept " << kDllName << " loaded after the last release";
}

} // namespace
