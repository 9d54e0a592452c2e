#pragma once
// How the bytes of an INI file become lines, and which line heads a section:
// the one reading of the INI document and of the configuration checker.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace config {

// Ctrl-Z as the first character of a line ends the input.
inline constexpr char IniEndOfInput = '\x1A';

// Splits a byte stream, fed in chunks of any size, into lines: a line feed
// ends a line, carriage returns are dropped wherever they stand (so CR LF ends
// a line and a lone CR vanishes), and Ctrl-Z as the first character of a line
// ends the input (so no line that was read can begin with it). Lines wholly inside one chunk are handed out without a copy.
class LineSplitter {
public:
    bool ended() const noexcept { return ended_; }

    template <class Sink> void feed(const char* data, std::size_t size, Sink& sink) {
        const char* p = data;
        const char* const end = data + size;
        while (p < end && !ended_) {
            if (atLineStart_) {
                if (*p == '\r') { // dropped anyway; Ctrl-Z after it still starts the line
                    ++p;
                    continue;
                }
                if (*p == IniEndOfInput) {
                    ended_ = true;
                    pending_.clear();
                    return;
                }
                atLineStart_ = false;
            }
            const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* const stop = lf ? lf : end;
            const auto length = static_cast<std::size_t>(stop - p);
            if (lf && pending_.empty() && !std::memchr(p, '\r', length)) {
                sink(std::string_view(p, length));
            } else {
                for (const char* q = p; q < stop; ++q)
                    if (*q != '\r') pending_.push_back(*q);
                if (lf) {
                    sink(std::string_view(pending_));
                    pending_.clear();
                }
            }
            if (!lf) return;
            p = lf + 1;
            atLineStart_ = true;
        }
    }

    // The last line need not end with a line feed.
    template <class Sink> void finish(Sink& sink) {
        if (!ended_ && !pending_.empty()) sink(std::string_view(pending_));
        pending_.clear();
        ended_ = true;
    }

private:
    std::string pending_;
    bool atLineStart_ = true;
    bool ended_ = false;
};

// A section header: "[", the section's name, "]" (at least those two characters).
inline bool IsIniHeader(std::string_view line) noexcept {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}
// The name between a header's brackets, verbatim.
inline std::string_view IniHeaderName(std::string_view header) noexcept { return header.substr(1, header.size() - 2); }

// The name part of a key line: the text before its first "="; empty when it has none.
inline std::string_view IniKeyName(std::string_view line) noexcept {
    const std::size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

} // namespace config
