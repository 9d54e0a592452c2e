#pragma once
// Dates as the toolbar key stores them: text in the short date format of the
// user's locale, the form the platform's date-to-text conversion gives. One
// conversion each way, shared by the registration and the daily splash.
#include "kit/Platform.h"

#include <optional>
#include <string>

namespace kg {

// GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE); raises kit::OSError
// with the platform's message when the date cannot be written.
std::string ShortDateText(const kit::CalendarDate& date);

// The date that ShortDateText writes as `text`; nullopt for anything else,
// empty text included.
std::optional<kit::CalendarDate> ParseShortDate(const std::string& text);

// The date `days` days after `date` (before it when negative).
kit::CalendarDate AddDays(const kit::CalendarDate& date, int days);

// Days since 1 January 1970 in the proleptic Gregorian calendar; orders dates.
long long DayNumber(const kit::CalendarDate& date);

} // namespace kg
