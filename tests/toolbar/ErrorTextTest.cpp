// The texts of the errors about the publisher's files and configuration: each
// names the file and says what is wrong with it, and configuration text quoted
// in one is cut short so that the reason stays in sight.
#include "tests/support/HostileInputs.h"
#include "tests/support/TempFolder.h"

#include "core/BigIni.h"
#include "config/Registry.h"
#include "config/Settings.h"
#include "core/Component.h"
#include "core/ErrorText.h"
#include "kit/Handles.h"
#include "core/IconFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <new>

namespace {

namespace fs = std::filesystem;

TEST(ErrorText, NamesTheFileAndKeepsTheReasonInSight) {
    const kgtest::TempFolder dir("kg-errortext");
    const std::string icons = (dir / "Icons.bin").string(), picture = (dir / "Banner.bmp").string(),
                      ini = (dir / "Locked.ini").string();
    const std::string huge(10u << 20, '-');

    struct Case {
        const char* name;
        std::function<void()> raise;
        std::vector<std::string> texts;  // each must be in the message
    };
    const std::vector<Case> cases = {
        {"zero-byte icon file",
         [&] {
             kgtest::hostile::writeFile(icons, std::string());
             toolbar::LoadIconFile(icons);
         },
         {"Icon file \"" + icons + "\": Invalid icon file"}},
        {"truncated icon file",
         [&] {
             std::vector<std::uint8_t> bytes = kgtest::hostile::nineIcons();
             bytes.resize(bytes.size() - 10);
             kgtest::hostile::writeFile(icons, bytes);
             toolbar::LoadIconFile(icons);
         },
         {"Icon file \"" + icons + "\": Invalid stream format"}},
        {"icon file of a huge image",
         [&] {
             kgtest::hostile::writeFile(icons, toolbar::WrapImageListStream(
                                                   kgtest::hostile::imageListHeader(1, 16384, 16384), 16, 16));
             toolbar::LoadIconFile(icons);
         },
         {"Icon file \"" + icons + "\": Unusable icon file: images of 16384x16384 pixels"}},
        {"truncated picture",
         [&] {
             std::vector<std::uint8_t> bytes = kgtest::hostile::banner();
             bytes.resize(bytes.size() - 1);
             kgtest::hostile::writeFile(picture, bytes);
             kit::LoadBmpFile(picture);
         },
         {"Picture file \"" + picture + "\": Invalid bitmap: the pixel data is truncated"}},
        {"memory running out while a file is read",
         [&] { kit::NamingFile("Picture file", picture, []() -> int { throw std::bad_alloc(); }); },
         {"Picture file \"" + picture + "\": " + kit::kOutOfMemory}},
        {"configuration file in use",
         [&] {
             kgtest::hostile::writeFile(ini, "[Options]\r\n");
             kit::unique_file lock(CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
             config::TBigIniFile document(ini);
         },
         {"\"" + ini + "\""}},
        {"component name of 10 MB",
         [&] { kit::TComponent(nullptr).SetName(huge); },
         {"''" + std::string(kit::kQuoteLimit, '-') + "...'' is not a valid component name"}},
        {"integer of 10 MB",
         [&] {
             kg::SetRegistryData(HKEY_CURRENT_USER, "Software\\Kestrelgrove Tests", "n", huge,
                                 kg::RegistryType::Integer);
         },
         {"'" + std::string(kit::kQuoteLimit, '-') + "...' is not a valid integer value"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.raise();
            ADD_FAILURE() << "no error";
        } catch (const kit::Error& e) {
            const std::string text = e.what();
            for (const std::string& part : c.texts) EXPECT_NE(text.find(part), std::string::npos) << text;
            EXPECT_LT(text.size(), 400u);
        }
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kestrelgrove Tests");
}

} // namespace
