#pragma once
// Whether a text looks enough like a URL to be fetched. Portable: no Windows
// header, so the rule is tested natively under the sanitizers too.
#include <string>

namespace kg {

// False for a text shorter than 5 characters, ending in ".", holding ".." or
// any character outside "!" to "~"; otherwise true for a "www." or "news:"
// address, any text longer than 12 characters, a "mailto:" address with an
// "@" and a "." after it, or a text holding "http://" or "ftp://".
bool IsPlausibleUrl(const std::string& text);

} // namespace kg
