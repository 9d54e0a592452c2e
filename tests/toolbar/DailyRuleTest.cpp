// The toolbar window's part in the configuration update and the daily rule:
// the error box of an unusable configuration once for each window, the
// splash by the stored "Date" (through the seam's today), and a registry that
// refuses the new stamp.
#include "tests/toolbar/ToolbarFixture.h"

#include "config/ShortDate.h"
#include "core/Error.h"
#include "kit/Handles.h"
#include "tests/support/AboutWindowProbe.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ReadOnlyRegistryKey.h"


using kgtest::ToolbarWindowTest;

namespace {

class DailyRule : public ToolbarWindowTest {
protected:
    void SetUp() override {
        ToolbarWindowTest::SetUp();
        writeConfig("", "Toolbar Name=Daily\r\n");
        // The timed splash ends after 40 readings of the seam's clock.
        platform_.tickStep = 100;
    }
    std::string dateText(int daysFromToday) const {
        return kg::ShortDateText(kg::AddDays(platform_.todayDate, daysFromToday));
    }
};

TEST_F(DailyRule, SplashByTheStoredDate) {
    const struct {
        const char* what;
        std::optional<std::string> stored;
        bool splash;
    } cases[] = {
        {"today", dateText(0), false},
        {"tomorrow", dateText(1), false},
        {"yesterday", dateText(-1), true},
        {"two days ahead", dateText(2), true},
        {"three days ahead", dateText(3), true},
        {"a year ago", dateText(-365), true},
        {"missing", std::nullopt, true},
        {"not a date", std::string("next Tuesday"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stored)
            setKeyValue("Date", *c.stored);
        else
            deleteKeyValue("Date");
        kgtest::AboutWindowProbe probe;
        createWindow();
        EXPECT_EQ(probe.shown, c.splash ? std::vector<bool>{true} : std::vector<bool>{});
        const kgtest::StoredValue date = kgtest::storedValue("Date");
        EXPECT_EQ(date.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(date.text, c.splash ? dateText(0) : *c.stored);
        EXPECT_TRUE(platform_.messageBoxes.empty());
        destroyWindow();
    }
}

TEST_F(DailyRule, UnwritableStampIsReportedBeforeAnySplash) {
    const struct {
        const char* what;
        std::optional<std::string> stored;
    } cases[] = {
        {"the repair of a missing stamp", std::nullopt},
        {"the new stamp of a new day", dateText(-1)},
    };
    const std::string denied = kg::SystemErrorMessage(ERROR_ACCESS_DENIED);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        deleteKeyValue("Date");
        if (c.stored) setKeyValue("Date", *c.stored);
        platform_.messageBoxes.clear();
        // The per-user key too refuses the stamp (a user whose own hive is read-only).
        kgtest::ReadOnlyRegistryKey readOnly(HKEY_CURRENT_USER, kg::ToolbarKeyPath);
        ASSERT_TRUE(readOnly.refusesWrites()) << "the per-user key could not be made read-only";
        kgtest::AboutWindowProbe probe;
        createWindow();
        EXPECT_TRUE(probe.shown.empty());
        ASSERT_FALSE(platform_.messageBoxes.empty());
        for (const std::string& text : boxTexts()) EXPECT_EQ(text, denied);
        EXPECT_EQ(kgtest::storedValue("Date").text, c.stored.value_or(""));
        // The window itself is there, without its history when the repair failed.
        EXPECT_NE(window().Handle(), nullptr);
        EXPECT_EQ(window().HistoryList == nullptr, !c.stored);
        readOnly.restore();
        destroyWindow();
    }
}

// Without a usable configuration anywhere, every new window says so once.
TEST_F(DailyRule, UnusableConfigurationIsReportedOnceForEachWindow) {
    kgtest::HttpTestServer server;
    ASSERT_TRUE(server.start());
    writeConfig("", "Updates URL=" + server.url("/nothing") + "\r\n");
    setKeyValue("Date", dateText(0));
    const std::string box = std::string("Error Loading Configuration File! ") + kgtest::kToolbarFile +
                            ".ini! Please contact Kestrelgrove";
    createWindow();
    destroyWindow();
    kg::TformToolbar second(nullptr);  // the settings loaded once per process, as in the browser
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{box, box}));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"/nothing/toolbar.ini", "/nothing/icons.bin",
                                                           "/nothing/toolbar.ini", "/nothing/icons.bin"}));
}

} // namespace
