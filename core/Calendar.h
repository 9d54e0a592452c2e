#pragma once
// Civil dates of the proleptic Gregorian calendar as day numbers and back.

namespace kit {

constexpr bool IsLeapYear(long long year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
// Days of a month (1 to 12) of the year.
int DaysInMonth(long long year, int month) noexcept;

// Days since 1970-01-01 of a date; negative before it.
long long DaysFromCivil(long long year, int month, int day) noexcept;
// The date of a day number of DaysFromCivil.
void CivilFromDays(long long days, long long& year, int& month, int& day) noexcept;

} // namespace kit
