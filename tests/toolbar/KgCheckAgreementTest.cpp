// The configuration checker against the engine: the window's own component
// names it knows are the window's, and what it says of a broken folder is what
// the build does with it.
#include "tests/toolbar/ToolbarFixture.h"

#include "kit/Items.h"
#include "tools/kgcheck/lib/Checker.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

using kgtest::ToolbarWindowTest;

namespace {

class KgCheckAgreement : public ToolbarWindowTest {};

TEST_F(KgCheckAgreement, KnowsTheWindowsOwnComponentNames) {
    writeConfig("[Toolbar Items]\r\n");
    createWindow();
    std::vector<std::string> names;
    for (kit::TComponent* c : window().OwnedComponents())
        if (!c->Name().empty() && c != window().SearchButton) names.push_back(c->Name());
    std::vector<std::string> known = kgcheck::DesignedComponentNames();
    std::sort(names.begin(), names.end());
    std::sort(known.begin(), known.end());
    EXPECT_EQ(names, known);
}

TEST_F(KgCheckAgreement, BrokenItemsFolderBuildsAsReported) {
    std::ifstream in(std::filesystem::path(KG_SOURCE_DIR) / "tests/publisher/broken-items/Kestrelgrove.ini",
                     std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    writeFile(std::string(kgtest::kToolbarFile) + ".ini", text.str());
    createWindow();

    // Listed before its parent: created, never placed.
    auto* headlines = dynamic_cast<kit::TTBCustomItem*>(window().FindComponent("miHeadlines"));
    ASSERT_NE(headlines, nullptr);
    EXPECT_EQ(headlines->Parent(), nullptr);
    // The invalid name ends the build there: nothing listed after it exists.
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_TRUE(boxTexts()[0].ends_with("section [miWeather-Today]: ''miWeather-Today'' is not a valid component name"))
        << boxTexts()[0];
    EXPECT_EQ(window().FindComponent("miSeparator1"), nullptr);
    EXPECT_EQ(window().FindComponent("miArchive"), nullptr);
}

} // namespace
