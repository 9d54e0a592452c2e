// Which texts count as URLs worth fetching: every rule at its boundaries.
#include "core/Url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(IsPlausibleUrl, EveryRuleAtItsBoundaries) {
    const struct {
        const char* why;
        std::string text;
        bool plausible;
    } cases[] = {
        // Length: at least 5 characters.
        {"empty", "", false},
        {"\"www.\" alone is 4 characters", "www.", false},
        {"5 characters beginning with \"www.\"", "www.a", true},
        {"\"www.\" in capitals", "WWW.A", true},
        {"\"www\" without its dot", "wwwab", false},
        // Last character.
        {"ends in a dot", "www.example.", false},
        {"13 characters ending in a dot", "abcdefghijkl.", false},
        {"ends just after a dot", "www.example.c", true},
        // "..": anywhere.
        {"two dots in the middle", "http://a..example/", false},
        {"two dots at the start", "..abcdefghijklm", false},
        {"dots apart", "http://a.b.c/", true},
        // Characters between "!" and "~".
        {"\"!\" (33) is allowed", "abcdefghijkl!", true},
        {"\"~\" (126) is allowed", "abcdefghijkl~", true},
        {"blank (32)", "abcdefghijkl ", false},
        {"blank in the middle", "http://a b.example/", false},
        {"tab", "abcdefghijkl\t", false},
        {"DEL (127)", "abcdefghijkl\x7f", false},
        {"above 127", "abcdefghijkl\x80", false},
        {"a NUL inside", std::string("abcdefghijkl\0m", 14), false},
        // 1. "www." at the start only.
        {"\"www.\" not at the start", "xwww.abc", false},
        // 2. "news:" and longer than 6.
        {"\"news:\" with 7 characters", "news:ab", true},
        {"\"news:\" with 6 characters", "news:a", false},
        {"\"NEWS:\" in capitals", "NEWS:ab", true},
        // 3. Longer than 12, whatever it looks like.
        {"13 characters", "abcdefghijklm", true},
        {"12 characters", "abcdefghijkl", false},
        // 4. "mailto:" with "@" above 1 and "." above 4 and more than one after "@".
        {"mailto: \"@\" at 9, \".\" at 11", "mailto:a@b.c", true},
        {"mailto: \"@\" at 9, \".\" at 10", "mailto:a@.bc", false},
        {"mailto: no \"@\"", "mailto:ab.cd", false},
        {"mailto: no \".\"", "mailto:a@bcd", false},
        {"mailto: \".\" before \"@\"", "mailto:a.b@c", false},
        {"MAILTO: in capitals", "MAILTO:a@b.c", true},
        {"\"@\" and \".\" without \"mailto:\"", "mail:a@b.cde", false},
        // 5. "http://" anywhere.
        {"12 characters holding \"http://\"", "xhttp://abcd", true},
        {"\"http://\" alone", "http://", true},
        {"\"HTTP://\" in capitals", "HTTP://ab", true},
        {"\"http:/\" is not enough", "http:/abcdef", false},
        // 6. "ftp://", longer than 10, first "." above 7.
        {"ftp 11 characters, \".\" at 8", "ftp://a.bcd", true},
        {"ftp 11 characters, \".\" at 7", "ftp://.abcd", false},
        {"ftp 10 characters", "ftp://a.bc", false},
        {"ftp without any \".\"", "ftp://abcde", false},
        {"\"ftp://\" not at the start", "xftp://a.bc", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kg::IsPlausibleUrl(c.text), c.plausible) << c.why << ": \"" << c.text << "\"";
    }
}

// What the shell may be handed: web and mail addresses only, never a program, share or script.
TEST(ShellSafeAddress, WebAndMailAddressesOnly) {
    const struct {
        const char* text;
        std::optional<std::string> address;
    } cases[] = {
        {"http://www.example.com/", "http://www.example.com/"},
        {"HTTPS://example.com", "HTTPS://example.com"},
        {"ftp://files.example.com/a", "ftp://files.example.com/a"},
        {"mailto:someone@example.com", "mailto:someone@example.com"},
        {"News:comp.lang.c", "News:comp.lang.c"},
        {"www.example.com", "http://www.example.com"},
        {"WWW.example.com", "http://WWW.example.com"},
        {"C:\\Windows\\system32\\calc.exe", std::nullopt},
        {"\\\\server\\share\\setup.exe", std::nullopt},
        {"file:///C:/Windows/notepad.exe", std::nullopt},
        {"javascript:alert(1)", std::nullopt},
        {"notepad.exe", std::nullopt},
        {"", std::nullopt},
        {"http://", std::nullopt},
        {"www.", std::nullopt},
        {" http://example.com", std::nullopt},
        {"http://example.com/\" & calc.exe", std::nullopt},
        {"http://example.com/a b", std::nullopt},
        {"http://example.com/\r\nx", std::nullopt},
        {"xhttp://example.com", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kg::ShellSafeAddress(c.text), c.address) << '"' << c.text << '"';
    }
}

} // namespace
