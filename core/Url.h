#pragma once
// Whether a text looks enough like a URL to be fetched. Portable: no Windows
// header, so the rule is tested natively under the sanitizers too.
#include <optional>
#include <string>

namespace kg {

// False for a text shorter than 5 characters, ending in ".", holding ".." or
// any character outside "!" to "~"; otherwise true for a "www." or "news:"
// address, any text longer than 12 characters, a "mailto:" address with an
// "@" and a "." after it, or a text holding "http://" or "ftp://".
bool IsPlausibleUrl(const std::string& text);

// The address to hand to the shell, or nullopt when the text is not a web or
// mail address: it must begin, in any letter case, with "http://",
// "https://", "ftp://", "mailto:" or "news:", or with "www." (then "http://"
// is put before it). Text holding a control character, a blank or a double
// quote is refused too: no address needs one unescaped, and the shell's
// command line for the handler could be split by it.
std::optional<std::string> ShellSafeAddress(const std::string& text);

} // namespace kg
