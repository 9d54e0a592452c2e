// The daily splash: the first showing of a toolbar window on a new day shows
// the About window for four seconds and stamps the day in "Date".
#include "toolbar/KestrelgroveForm.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "config/ShortDate.h"
#include "config/UserState.h"
#include "toolbar/About.h"

namespace kg {

namespace {

constexpr char kDateValue[] = "Date";

void storeDate(const kit::CalendarDate& date) {
    WriteUserValue(kDateValue, ShortDateText(date));
}

} // namespace

kit::CalendarDate TformToolbar::ReadDailyStamp() {
    const std::string text = ReadUserValue(kDateValue);
    if (const auto date = ParseShortDate(text)) return *date;
    const kit::CalendarDate yesterday = AddDays(kit::platform().today(), -1);
    storeDate(yesterday);
    return yesterday;
}

void TformToolbar::FormShow(kit::TComponent*) {
    const long long stamp = DayNumber(ReadDailyStamp());
    const kit::CalendarDate today = kit::platform().today();
    const long long day = DayNumber(today);
    // A stamp of today or tomorrow shows nothing; an older one, or one two or
    // more days ahead (a clock set back), shows the splash.
    if (day > stamp || day + 1 < stamp) {
        storeDate(today);
        ShowAboutWindow(true);
    }
}

} // namespace kg
