#pragma once
// The search URL made from an engine's URL template and the typed text.
// Portable: no Windows header here or in the implementation.
#include <string>
#include <string_view>

namespace kg {

// The placeholder of a URL template, found in any mix of ASCII letter case.
inline constexpr std::string_view SearchPlaceholder = "[search]";

// Position of the first placeholder in `urlTemplate`, npos when none.
std::size_t FindSearchPlaceholder(std::string_view urlTemplate) noexcept;

// The text as it goes into the URL by default: every space becomes "+",
// nothing else is changed.
std::string PlusForSpaces(std::string_view text);

// The text as a form value: ASCII letters, digits and "*-._" stay, a space
// becomes "+", every other byte becomes "%" and two upper-case hex digits.
// `utf8` is expected in UTF-8; the bytes are encoded as they are.
std::string FormEncode(std::string_view utf8);

// The template with its first placeholder replaced by `queryText` (already
// made ready for the URL), or with `queryText` appended when it has none.
std::string SubstituteSearchText(std::string_view urlTemplate, std::string_view queryText);

} // namespace kg
