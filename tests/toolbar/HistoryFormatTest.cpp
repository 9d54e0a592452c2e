// The history file's text format: line ends, the NUL that ends reading, and
// the bytes written for a list.
#include "core/HistoryFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

struct ParseCase {
    const char* what;
    std::string bytes;
    Lines lines;
};

TEST(HistoryFormat, ReadsEveryKindOfLineEndAndStopsAtNul) {
    const ParseCase cases[] = {
        {"empty file", "", {}},
        {"CR LF", "alpha\r\nbeta\r\n", {"alpha", "beta"}},
        {"lone LF", "alpha\nbeta\n", {"alpha", "beta"}},
        {"lone CR", "alpha\rbeta\r", {"alpha", "beta"}},
        {"mixed ends", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"last line without an end", "alpha\r\nbeta", {"alpha", "beta"}},
        {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
        {"empty lines are entries", "a\r\n\r\n\r\nb\r\n", {"a", "", "", "b"}},
        {"a lone line end", "\r\n", {""}},
        {"NUL ends reading mid-line", std::string("one\r\ntw\0o\r\nthree\r\n", 18), {"one", "tw"}},
        {"NUL first", std::string("\0one\r\n", 6), {}},
        {"NUL right after a line end", std::string("one\r\n\0two", 9), {"one"}},
        {"duplicates and spaces kept", "Kite\r\nkite\r\n two words \r\n", {"Kite", "kite", " two words "}},
        {"bytes above 127 kept", "caf\xe9\r\n\xff\r\n", {"caf\xe9", "\xff"}},
    };
    for (const ParseCase& c : cases) EXPECT_EQ(kg::ParseHistoryText(c.bytes), c.lines) << c.what;
}

TEST(HistoryFormat, WritesCrLfAfterEveryEntryAndNothingForNone) {
    const struct {
        Lines entries;
        std::string bytes;
    } cases[] = {
        {{}, ""},
        {{""}, "\r\n"},
        {{"kestrel"}, "kestrel\r\n"},
        {{"alder", "two words", "z"}, "alder\r\ntwo words\r\nz\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kg::FormatHistoryText(c.entries), c.bytes);
        EXPECT_EQ(kg::ParseHistoryText(c.bytes), c.entries) << c.bytes;
    }
}

TEST(HistoryFormat, AFileIsTakenWholeOnlyWhenItsLinesHoldAllItSaid) {
    using namespace std::string_literals;
    const struct {
        const char* what;
        std::string bytes;
        Lines lines;
        bool whole;
    } cases[] = {
        {"plain", "a\r\nb\r\n", {"a", "b"}, true},
        {"empty", "", {}, true},
        {"text after a NUL", "a\r\nb\0c\r\n"s, {"a", "b"}, false},
        {"NULs only, at the end", "a\r\n\0\0\0"s, {"a"}, true},
        {"UTF-8 mark, held", "\xEF\xBB\xBF" "caf\xC3\xA9\r\n", {"caf\xE9"}, true},
        {"UTF-8 mark, a character with no place", "\xEF\xBB\xBF" "\xE4\xB8\xAD\r\nx\r\n", {"?", "x"}, false},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", {}, true},
        {"UTF-16 little-endian", "\xFF\xFE" "a\0\r\0\n\0\xE9\0\r\0\n\0"s, {"a", "\xE9"}, false},
        {"UTF-16 big-endian, a character with no place", "\xFE\xFF" "\0a\0\n\x4E\x2D"s, {"a", "?"}, false},
        {"UTF-16 stops at its NUL", "\xFF\xFE" "a\0\0\0b\0"s, {"a"}, false},
        {"UTF-16, a lone surrogate", "\xFF\xFE" "\x00\xDC" "b\0"s, {"?b"}, false},
    };
    for (const auto& c : cases) {
        bool whole = !c.whole;
        EXPECT_EQ(kg::ParseHistoryFile(c.bytes, whole), c.lines) << c.what;
        EXPECT_EQ(whole, c.whole) << c.what;
    }
}

} // namespace
