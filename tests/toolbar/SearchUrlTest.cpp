// The search URL: the placeholder in any letter case, the text inserted or
// appended, spaces as "+", and the form encoding of the optional mode.
#include "core/SearchUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(SearchUrl, PlaceholderReplacedOnceInAnyCaseOrTextAppended) {
    const struct {
        const char* what;
        const char* urlTemplate;
        const char* text;
        const char* url;
    } cases[] = {
        {"mixed case, keys after it", "http://s.example/find?q=[SeArCh]&lang=en&n=10", "red kites",
         "http://s.example/find?q=red+kites&lang=en&n=10"},
        {"upper case", "http://s.example/?q=[SEARCH]", "kite", "http://s.example/?q=kite"},
        {"no placeholder: appended", "http://s.example/?q=", "red kites", "http://s.example/?q=red+kites"},
        {"second placeholder kept", "http://s.example/?q=[search]&again=[search]", "a b",
         "http://s.example/?q=a+b&again=[search]"},
        {"empty text removes the placeholder", "http://s.example/?q=[search]&x=1", "", "http://s.example/?q=&x=1"},
        {"empty text, no placeholder", "http://s.example/", "", "http://s.example/"},
        {"nothing else escaped", "http://s.example/?q=[search]", "c++ a&b #1 100% \xe9",
         "http://s.example/?q=c+++a&b+#1+100%+\xe9"},
        {"placeholder at the start", "[search].example", "x", "x.example"},
        {"cut placeholder is no placeholder", "http://s.example/?q=[searc", "x", "http://s.example/?q=[searcx"},
        {"every space one by one", "t:", "  a  ", "t:++a++"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kg::SubstituteSearchText(c.urlTemplate, kg::PlusForSpaces(c.text)), c.url) << c.what;
    EXPECT_EQ(kg::FindSearchPlaceholder("ab[sEARCH]"), 2u);
    EXPECT_EQ(kg::FindSearchPlaceholder("[searc"), std::string::npos);
    EXPECT_EQ(kg::FindSearchPlaceholder(""), std::string::npos);
}

TEST(SearchUrl, FormEncodingKeepsOnlyTheSafeCharacters) {
    const struct {
        const char* text;
        const char* encoded;
    } cases[] = {
        {"", ""},
        {"Kite2", "Kite2"},
        {"c++", "c%2B%2B"},
        {"a&b", "a%26b"},
        {"red kites", "red+kites"},
        {"*-._~", "*-._%7E"},
        {"100%/#?=", "100%25%2F%23%3F%3D"},
        {"caf\xc3\xa9", "caf%C3%A9"},
        {"\x01\x7f", "%01%7F"},
    };
    for (const auto& c : cases) EXPECT_EQ(kg::FormEncode(c.text), c.encoded) << c.text;
    EXPECT_EQ(kg::SubstituteSearchText("http://s.example/?q=[search]", kg::FormEncode("c++ a&b")),
              "http://s.example/?q=c%2B%2B+a%26b");
}

} // namespace
