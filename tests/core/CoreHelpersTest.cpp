// The small helpers the engine and the checker share: day numbers, names
// compared without regard to ASCII case, INI lines, whole-file reads and the
// platform's error texts.
#include "core/Calendar.h"
#include "core/Error.h"
#include "core/FileRead.h"
#include "core/IniLines.h"
#include "core/SystemMessage.h"
#include "core/Text.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(Calendar, DayNumbersOfKnownDatesAndBack) {
    const struct {
        long long year;
        int month, day;
        long long days;
    } cases[] = {
        {1970, 1, 1, 0},         {1969, 12, 31, -1},      {2000, 2, 29, 11016},   {2000, 3, 1, 11017},
        {1899, 12, 30, -25569},  {1, 1, 1, -719162},      {9999, 12, 31, 2932896}, {1600, 2, 29, -135081},
        {2100, 2, 28, 47540},    {2100, 3, 1, 47541},     {0, 1, 1, -719528},     {0, 2, 29, -719469},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day));
        EXPECT_EQ(kit::DaysFromCivil(c.year, c.month, c.day), c.days);
        long long year = 0;
        int month = 0, day = 0;
        kit::CivilFromDays(c.days, year, month, day);
        EXPECT_EQ(year, c.year);
        EXPECT_EQ(month, c.month);
        EXPECT_EQ(day, c.day);
    }
    // Every day of four centuries, one after the other.
    long long year = 1600;
    int month = 1, day = 1;
    for (long long n = kit::DaysFromCivil(1600, 1, 1); n < kit::DaysFromCivil(2001, 1, 1); ++n) {
        long long y = 0;
        int m = 0, d = 0;
        kit::CivilFromDays(n, y, m, d);
        ASSERT_TRUE(y == year && m == month && d == day) << n;
        if (++day > kit::DaysInMonth(year, month)) {
            day = 1;
            if (++month > 12) month = 1, ++year;
        }
    }
}

TEST(Calendar, MonthLengthsAndLeapYears) {
    const struct {
        long long year;
        int month, days;
    } cases[] = {{2023, 2, 28}, {2024, 2, 29}, {1900, 2, 28}, {2000, 2, 29}, {2024, 1, 31},
                 {2024, 4, 30}, {2024, 12, 31}, {2400, 2, 29}, {2100, 2, 28}};
    for (const auto& c : cases)
        EXPECT_EQ(kit::DaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
}

TEST(AsciiText, FoldsOnlyTheAsciiLetters) {
    const struct {
        std::string a, b;
        bool same;
        int order;  // sign of CompareAsciiText(a, b)
    } cases[] = {
        {"Toolbar Items", "TOOLBAR items", true, 0},
        {"", "", true, 0},
        {"a", "", false, 1},
        {"abc", "abd", false, -1},
        {"ABC", "abd", false, -1},
        {"[", "a", false, -1},        // '[' sorts after 'Z' but before 'a'
        {"_", "A", false, -1},        // compared as lower case: '_' (0x5F) before 'a'
        {"\xC4", "\xE4", false, -1},  // Latin-1 capitals are not folded
        {"\xE4", "a", false, 1},      // bytes compare unsigned
        {"key=1", "KEY=1", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.a + "\" against \"" + c.b + "\"");
        EXPECT_EQ(kit::SameAsciiText(c.a, c.b), c.same);
        const int order = kit::CompareAsciiText(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order);
        const int reverse = kit::CompareAsciiText(c.b, c.a);
        EXPECT_EQ((reverse > 0) - (reverse < 0), -c.order);
    }
}

TEST(IniLines, SplitAlikeInChunksOfEverySize) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"x\ry\n", {"xy"}},              // a lone CR vanishes
        {"a\n\x1A" "b\nc", {"a"}},       // Ctrl-Z opening a line ends the input
        {"a\n\r\x1A" "b", {"a"}},        // also after a CR there
        {"a\x1A" "b\n", {"a\x1A" "b"}},  // inside a line it is text
        {"", {}},
        {"\n", {""}},
        {"a\r\r\nb\r", {"a", "b"}},        // CRs before the LF, and at the very end
        {"\r\n\r\n", {"", ""}},
    };
    // A sink that also keeps gathered lines as strings of their own must see the same lines.
    struct KeepingSink {
        std::vector<std::string>& lines;
        void operator()(std::string_view line) { lines.emplace_back(line); }
        void takeLine(std::string&& line) { lines.push_back(std::move(line)); }
    };
    for (const auto& c : cases) {
        for (const bool keeping : {false, true}) {
            for (std::size_t chunk = 1; chunk <= c.text.size() + 1; ++chunk) {
                SCOPED_TRACE(testing::PrintToString(c.text) + " in chunks of " + std::to_string(chunk) +
                             (keeping ? ", kept" : ""));
                std::vector<std::string> lines;
                auto viewSink = [&](std::string_view line) { lines.emplace_back(line); };
                KeepingSink keepingSink{lines};
                config::LineSplitter splitter;
                splitter.expect(c.text.size());
                for (std::size_t at = 0; at < c.text.size() && !splitter.ended(); at += chunk) {
                    if (keeping)
                        splitter.feed(c.text.data() + at, std::min(chunk, c.text.size() - at), keepingSink);
                    else
                        splitter.feed(c.text.data() + at, std::min(chunk, c.text.size() - at), viewSink);
                }
                if (keeping)
                    splitter.finish(keepingSink);
                else
                    splitter.finish(viewSink);
                EXPECT_EQ(lines, c.lines);
            }
        }
    }
}

// A huge line is held once: told how much input is left, the splitter takes room for it at once
// instead of doubling (which would leave up to twice the line's size, and a copy while growing).
TEST(IniLines, LongLineTakesItsRoomOnceAndIsHandedOver) {
    const struct {
        const char* what;
        bool told;           // expect() was called with the input's size
        bool withinInput;    // the line's room is at most the input's size
    } cases[] = {
        {"told the input's size", true, true},
        {"not told: grows as strings do", false, false},
    };
    const std::string line(200000, 'c');
    const std::string text = "k=" + line + "\r\nnext\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        struct Sink {
            std::vector<std::string> views, kept;
            void operator()(std::string_view l) { views.emplace_back(l); }
            void takeLine(std::string&& l) { kept.push_back(std::move(l)); }
        } sink;
        config::LineSplitter splitter;
        if (c.told) splitter.expect(text.size());
        for (std::size_t at = 0; at < text.size(); at += 4096)
            splitter.feed(text.data() + at, std::min<std::size_t>(4096, text.size() - at), sink);
        splitter.finish(sink);
        ASSERT_EQ(sink.kept.size(), 1u);
        EXPECT_EQ(sink.kept[0], "k=" + line);
        EXPECT_EQ(sink.kept[0].capacity() <= text.size(), c.withinInput) << sink.kept[0].capacity();
        EXPECT_EQ(sink.views, std::vector<std::string>{"next"});
    }
}

TEST(IniLines, HeadersAndKeyNames) {
    const struct {
        std::string line;
        bool header;
        std::string name;  // the header's name, or the key's name part
    } cases[] = {
        {"[Options]", true, "Options"}, {"[]", true, ""},           {"[", false, ""},
        {"[a]b", false, ""},            {" [a]", false, ""},        {"Name=Value", false, "Name"},
        {"=Value", false, ""},          {"a=b=c", false, "a"},      {"[x]=y]", true, "x]=y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(config::IsIniHeader(c.line), c.header);
        EXPECT_EQ(std::string(c.header ? config::IniHeaderName(c.line) : config::IniKeyName(c.line)), c.name);
    }
}

TEST(FileRead, WholeFileOrTheRuntimesError) {
    const kgtest::TempFolder temp("kg-core-file-read");
    const std::filesystem::path& folder = temp.path();
    const std::string bytes("a\0b\r\n\x1A\xFF", 7);
    std::ofstream(folder / "file.bin", std::ios::binary) << bytes;
    EXPECT_EQ(kit::ReadFileText((folder / "file.bin").string()), bytes);
    EXPECT_EQ(kit::ReadFileBytes((folder / "file.bin").string()), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    for (const std::filesystem::path& unreadable : {folder / "missing.bin", folder}) {
        SCOPED_TRACE(unreadable.string());
        try {
            kit::ReadFileBytes(unreadable.string());
            ADD_FAILURE() << "no error";
        } catch (const kit::InOutError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + unreadable.string() + "\"");
        }
    }
}

TEST(SystemMessage, ThePlatformsTextWithoutItsEnding) {
    for (const unsigned long code : {2ul, 5ul}) {  // no such file, access denied
        const std::string text = kit::SystemErrorMessage(code);
        SCOPED_TRACE(text);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.back(), '.');
        EXPECT_NE(text.back(), '\n');
        EXPECT_NE(text.back(), ' ');
        EXPECT_EQ(text, kit::PlatformMessage(code));
    }
    EXPECT_NE(kit::SystemErrorMessage(2), kit::SystemErrorMessage(5));
}

} // namespace
