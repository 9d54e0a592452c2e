// Dates as "Date" holds them: what the platform writes in the user's short
// date format reads back as the same date, under several formats the user
// may choose, and text that is not such a date is refused.
#include "config/ShortDate.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Sets the user's short date format.
bool setShortDateFormat(const std::string& picture) {
    const std::wstring wide(picture.begin(), picture.end());
    return SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, wide.c_str()) != 0;
}

class ShortDate : public testing::Test {
protected:
    void SetUp() override {
        char picture[128] = {};
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, picture, sizeof picture), 0);
        saved_ = picture;
    }
    void TearDown() override {
        char picture[128] = {};
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, picture, sizeof picture);
        // Everything reads dates through the same conversion, so a format left changed misleads no later test.
        if (saved_ != picture && !setShortDateFormat(saved_))
            std::printf("note: the short date format stays \"%s\" (error %lu)\n", picture, GetLastError());
    }
    std::string saved_;
};

TEST_F(ShortDate, RoundTripsUnderEachFormatAndRefusesTheRest) {
    const struct {
        const char* picture;  // nullptr: the user's own
        const char* written;  // 7 December 2026 in it
        const char* refused[3];
    } formats[] = {
        {nullptr, nullptr, {"", "yesterday", "32/13/2026"}},
        {"M/d/yyyy", "12/7/2026", {"12/7/2026 ", "13/7/2026", "2/30/2026"}},
        {"dd.MM.yy", "07.12.26", {"7.12.26", "07.12.2026", "31.04.26"}},
        {"yyyy-MM-dd", "2026-12-07", {"2026-12-7", "2026-12-07x", "2026/12/07"}},
        {"d MMMM yyyy", "7 December 2026", {"7 Decembre 2026", "7 12 2026", "December 7 2026"}},
    };
    const kit::CalendarDate dates[] = {{2026, 12, 7}, {2027, 1, 1}, {2024, 2, 29}, {1999, 12, 31}, {2049, 6, 30}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.picture ? f.picture : "the user's own");
        // Wine at times refuses the change (ERROR_INVALID_HANDLE); the user's own format was still checked.
        if (f.picture && !setShortDateFormat(f.picture))
            GTEST_SKIP() << "the short date format could not be changed (error " << GetLastError() << ")";
        if (f.written) EXPECT_EQ(kg::ShortDateText({2026, 12, 7}), f.written);
        for (const kit::CalendarDate& date : dates) {
            const std::string text = kg::ShortDateText(date);
            SCOPED_TRACE(text);
            const auto back = kg::ParseShortDate(text);
            ASSERT_TRUE(back.has_value());
            EXPECT_EQ(*back, date);
        }
        for (const char* text : f.refused) EXPECT_FALSE(kg::ParseShortDate(text).has_value()) << text;
    }
}

TEST(DateArithmetic, CrossesMonthsYearsAndLeapDays) {
    const struct {
        kit::CalendarDate from;
        int days;
        kit::CalendarDate to;
    } cases[] = {
        {{2026, 12, 7}, -1, {2026, 12, 6}},  {{2027, 1, 1}, -1, {2026, 12, 31}}, {{2024, 2, 28}, 1, {2024, 2, 29}},
        {{2023, 2, 28}, 1, {2023, 3, 1}},    {{2026, 12, 30}, 3, {2027, 1, 2}},  {{2000, 3, 1}, -1, {2000, 2, 29}},
        {{1900, 3, 1}, -1, {1900, 2, 28}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kg::AddDays(c.from, c.days), c.to) << c.from.year << "-" << c.from.month << "-" << c.from.day;
        EXPECT_EQ(kg::DayNumber(c.to) - kg::DayNumber(c.from), c.days);
    }
}

} // namespace
