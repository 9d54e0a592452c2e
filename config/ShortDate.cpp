#include "config/ShortDate.h"

#include "config/Registry.h"
#include "core/Calendar.h"
#include "kit/SystemError.h"
#include "core/Error.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <vector>

namespace kg {

namespace {

// The range the platform's date conversions accept.
bool isValid(const kit::CalendarDate& d) {
    return d.year >= 1601 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= kit::DaysInMonth(d.year, d.month);
}

std::string localeInfo(LCTYPE type) {
    char text[128] = {};
    const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text);
    return n > 0 ? std::string(text) : std::string();
}

// The last year a two-digit year can stand for, as the user's calendar settles it.
int twoDigitYearMax() {
    DWORD value = 0;
    if (GetCalendarInfoA(LOCALE_USER_DEFAULT, CAL_GREGORIAN, CAL_ITWODIGITYEARMAX | CAL_RETURN_NUMBER, nullptr, 0,
                         &value) &&
        value >= 99 && value <= 9999)
        return static_cast<int>(value);
    return 2049;
}

// One element of a date picture: a field (a run of d, M, y or g) or literal text.
struct PictureElement {
    char field = 0;  // 0 for literal text
    std::size_t width = 0;
    std::string literal;
};

std::vector<PictureElement> splitPicture(const std::string& picture) {
    std::vector<PictureElement> out;
    auto literal = [&out](char c) {
        if (out.empty() || out.back().field != 0) out.push_back({});
        out.back().literal += c;
    };
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == 'd' || c == 'M' || c == 'y' || c == 'g') {
            std::size_t j = i;
            while (j < picture.size() && picture[j] == c) ++j;
            out.push_back({c, j - i, {}});
            i = j;
        } else if (c == '\'') {
            // Quoted text; a doubled quote stands for one quote.
            for (++i; i < picture.size(); ++i) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        literal('\'');
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    literal(picture[i]);
                }
            }
        } else {
            literal(c);
            ++i;
        }
    }
    return out;
}

bool readNumber(const std::string& text, std::size_t& at, std::size_t maxDigits, int& value) {
    std::size_t n = 0;
    value = 0;
    while (at < text.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++n;
    }
    return n > 0;
}

// The longest of `names` found at `at` (compared without regard to letter case); its index.
bool readName(const std::string& text, std::size_t& at, const std::vector<std::string>& names, int& index) {
    std::size_t best = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (name.empty() || name.size() <= best || text.size() - at < name.size()) continue;
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str() + at, static_cast<int>(name.size()),
                           name.c_str(), static_cast<int>(name.size())) == CSTR_EQUAL) {
            best = name.size();
            index = static_cast<int>(i);
        }
    }
    at += best;
    return best > 0;
}

std::vector<std::string> names(LCTYPE first, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(localeInfo(first + static_cast<LCTYPE>(i)));
    return out;
}

} // namespace

std::string ShortDateText(const kit::CalendarDate& date) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(date.year);
    st.wMonth = static_cast<WORD>(date.month);
    st.wDay = static_cast<WORD>(date.day);
    if (!isValid(date)) kit::RaiseOSError(ERROR_INVALID_PARAMETER);
    char text[80] = {};
    const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, sizeof text);
    if (n <= 0) kit::RaiseLastOSError();
    return std::string(text);
}

std::optional<kit::CalendarDate> ParseShortDate(const std::string& text) {
    if (text.empty()) return std::nullopt;
    int day = 0, month = 0, year = 0;
    bool twoDigitYear = false;
    std::size_t at = 0;
    for (const PictureElement& e : splitPicture(localeInfo(LOCALE_SSHORTDATE))) {
        int ignored = 0;
        bool ok = false;
        switch (e.field) {
        case 0:
            ok = text.compare(at, e.literal.size(), e.literal) == 0;
            if (ok) at += e.literal.size();
            break;
        case 'd':
            if (e.width <= 2)
                ok = readNumber(text, at, 2, day);
            else  // the day's name: the text written back below must agree with it
                ok = readName(text, at, names(e.width == 3 ? LOCALE_SABBREVDAYNAME1 : LOCALE_SDAYNAME1, 7), ignored);
            break;
        case 'M':
            if (e.width <= 2) {
                ok = readNumber(text, at, 2, month);
            } else {
                ok = readName(text, at, names(e.width == 3 ? LOCALE_SABBREVMONTHNAME1 : LOCALE_SMONTHNAME1, 12),
                              month);
                ++month;
            }
            break;
        case 'y':
            twoDigitYear = e.width <= 2;
            ok = readNumber(text, at, twoDigitYear ? 2 : 5, year);
            break;
        default:  // an era has no place in a Gregorian short date this code can read
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    if (twoDigitYear) {
        const int max = twoDigitYearMax();
        year = max - ((max % 100 - year) % 100 + 100) % 100;
    }
    const kit::CalendarDate date{year, month, day};
    if (!isValid(date)) return std::nullopt;
    // Only what the conversion itself writes counts (leading zeros, names, separators).
    try {
        if (ShortDateText(date) != text) return std::nullopt;
    } catch (const kit::Error&) {
        return std::nullopt;
    }
    return date;
}

long long DayNumber(const kit::CalendarDate& date) { return kit::DaysFromCivil(date.year, date.month, date.day); }

kit::CalendarDate AddDays(const kit::CalendarDate& date, int days) {
    long long year = 0;
    int month = 0, day = 0;
    kit::CivilFromDays(DayNumber(date) + days, year, month, day);
    return {static_cast<int>(year), month, day};
}

} // namespace kg
