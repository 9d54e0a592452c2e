// The DLL's exports: registration in its own registry view, the class
// factory, and when it may be unloaded.
#include "host/Registration.h"
#include "tests/host/HostFixture.h"

#include <shobjidl.h>

#include <filesystem>

namespace kgtest {
namespace {

constexpr CLSID kForeignClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
const std::string classKey = std::string("CLSID\\") + kg::ClassIdText;
const std::string categoryCache = std::string("Component Categories\\") + kg::DeskBandCategoryText + "\\Enum";

std::string yesterday() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart -= 864000000000ULL;
    ft = {t.LowPart, t.HighPart};
    FileTimeToSystemTime(&ft, &st);
    char text[80] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, sizeof text);
    return text;
}

class Registration : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str()); }
    void TearDown() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str()); }

    // Every entry the registration writes, read back from `view`.
    void expectRegistered(const std::string& dllPath, REGSAM view) {
        std::string text;
        EXPECT_TRUE(readString(HKEY_CLASSES_ROOT, classKey, nullptr, text, view));
        EXPECT_EQ(text, "Host Test Toolbar");
        EXPECT_TRUE(readString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", nullptr, text, view));
        EXPECT_EQ(text, dllPath);
        EXPECT_TRUE(readString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel", text, view));
        EXPECT_EQ(text, "Apartment");
        EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT,
                              classKey + "\\Implemented Categories\\" + kg::DeskBandCategoryText, view));
        EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, kg::ToolbarListKeyPath, kg::ClassIdText, text, view));
        EXPECT_EQ(text, "Host Test Toolbar");
        EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, kg::ExplorerBarsKeyPath, kg::ClassIdText, text, view));
        EXPECT_EQ(text, "");
        EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Date", text, view));
        EXPECT_EQ(text, yesterday());
    }
    void expectUnregistered() {
        std::string text;
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, classKey));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, categoryCache));
        EXPECT_FALSE(readString(HKEY_LOCAL_MACHINE, kg::ToolbarListKeyPath, kg::ClassIdText, text));
        EXPECT_FALSE(readString(HKEY_LOCAL_MACHINE, kg::ExplorerBarsKeyPath, kg::ClassIdText, text));
        // The toolbar key belongs to the installation.
        EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "InstallPath", text));
        EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Date", text));
    }
};

TEST_F(Registration, WritesItsOwnViewTwiceAndUnregistersTwice) {
    InstalledToolbar toolbar;
    ServerDll dll;
    ASSERT_TRUE(dll.loaded());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(dll.registerServer(), S_OK);
        expectRegistered(builtDllPath(), kOwnView);
    }
    // Nothing of it in the other bitness's view.
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, classKey, kOtherView));
    std::string text;
    EXPECT_FALSE(readString(HKEY_LOCAL_MACHINE, kg::ToolbarListKeyPath, kg::ClassIdText, text, kOtherView));

    // The shell's cache of the category's members goes with it.
    kit::unique_hkey cache;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (categoryCache + "\\Members").c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, cache.put(), nullptr),
              ERROR_SUCCESS);
    cache.reset();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(dll.unregisterServer(), S_OK);
        expectUnregistered();
    }
}

TEST_F(Registration, APathWithABlankIsRegisteredInItsShortForm) {
    InstalledToolbar toolbar;
    const std::filesystem::path folder = toolbar.folder() / "with blank";
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / "kestrelgrove.dll";
    std::filesystem::copy_file(builtDllPath(), copy);
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameA(copy.string().c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_EQ(std::string(shortPath).find(' '), std::string::npos);
    {
        ServerDll dll(copy.string());
        ASSERT_TRUE(dll.loaded());
        ASSERT_EQ(dll.registerServer(), S_OK);
        expectRegistered(shortPath, kOwnView);
        EXPECT_EQ(dll.unregisterServer(), S_OK);
    }
    EXPECT_EQ(kg::ServerPathForRegistry("C:\\NoBlank\\x.dll"), "C:\\NoBlank\\x.dll");
}

TEST(ClassFactory, AnswersTheRuntimesQuestions) {
    InstalledToolbar toolbar;
    ServerDll dll;
    ASSERT_TRUE(dll.loaded());
    EXPECT_EQ(dll.canUnloadNow(), S_OK);

    // A foreign class: out pointer cleared.
    void* out = &out;
    EXPECT_EQ(dll.getClassObject(kForeignClass, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dll.getClassObject(kg::CLSID_Kestrelgrove, IID_IClassFactory, nullptr), E_POINTER);
    out = &out;
    EXPECT_EQ(dll.getClassObject(kg::CLSID_Kestrelgrove, IID_IDeskBand, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    kit::com_ptr<IClassFactory> factory = dll.factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a reference to the factory is held";

    // Aggregation refused, and a null out pointer.
    out = &out;
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, nullptr), E_POINTER);
    out = &out;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    kit::com_ptr<IDeskBand> band;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(band.GetAddressOf())), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a band and a lock are alive";
    band.Reset();
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "the lock is held";
    factory = dll.factory();
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK) << "an unlock too many changes nothing";
    factory.Reset();
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

} // namespace
} // namespace kgtest
