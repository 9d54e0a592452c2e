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

} // namespace
