#pragma once
// How the bytes of an INI file become lines, and which line heads a section:
// the one reading of the INI document and of the configuration checker.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace config {

// Ctrl-Z as the first character of a line ends the input.
inline constexpr char IniEndOfInput = '\x1A';

// Splits a byte stream, fed in chunks of any size, into lines: a line feed
// ends a line, carriage returns are dropped wherever they stand (so CR LF ends
// a line and a lone CR vanishes), and Ctrl-Z as the first character of a line
// ends the input (so no line that was read can begin with it). Lines wholly inside one chunk are handed out without a copy.
class LineSplitter {
public:
    // A line longer than this that spans chunks takes, at once, room for all the input still to
    // come (when that is known): a huge line is then held once, never copied while it grows.
    static constexpr std::size_t LongLine = std::size_t{64} << 10;

    bool ended() const noexcept { return ended_; }
    // How many bytes the feeds still to come hold in all (the file's size, say); only a hint.
    void expect(std::size_t bytes) noexcept {
        left_ = bytes;
        leftKnown_ = true;
    }

    // A sink that has takeLine(std::string&&) receives the lines gathered across chunks as strings
    // of their own, to keep without a copy; every other line comes as a view.
    template <class Sink> void feed(const char* data, std::size_t size, Sink& sink) {
        left_ = left_ > size ? left_ - size : 0;
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
            const char* const cr = static_cast<const char*>(std::memchr(p, '\r', length));
            if (lf && pending_.empty() && (!cr || cr == stop - 1)) {
                sink(std::string_view(p, cr ? length - 1 : length)); // CR LF is the usual ending
            } else {
                gather(p, stop, static_cast<std::size_t>(end - stop));
                if (lf) handOut(sink);
            }
            if (!lf) return;
            p = lf + 1;
            atLineStart_ = true;
        }
    }

    // The last line need not end with a line feed.
    template <class Sink> void finish(Sink& sink) {
        if (!ended_ && !pending_.empty()) handOut(sink);
        pending_.clear();
        ended_ = true;
    }

private:
    // Appends [from, to) without its carriage returns; `after` bytes of this chunk follow it.
    void gather(const char* from, const char* to, std::size_t after) {
        const auto length = static_cast<std::size_t>(to - from);
        if (pending_.size() + length > pending_.capacity() && pending_.size() + length >= LongLine && leftKnown_)
            pending_.reserve(pending_.size() + length + after + left_);
        while (from < to) {
            const auto* cr = static_cast<const char*>(std::memchr(from, '\r', static_cast<std::size_t>(to - from)));
            const char* const run = cr ? cr : to;
            pending_.append(from, static_cast<std::size_t>(run - from));
            from = cr ? cr + 1 : to;
        }
    }

    template <class Sink> void handOut(Sink& sink) {
        if constexpr (requires { sink.takeLine(std::move(pending_)); }) {
            sink.takeLine(std::move(pending_));
            pending_ = std::string();
        } else {
            sink(std::string_view(pending_));
            pending_.clear();
        }
    }

    std::string pending_;
    std::size_t left_ = 0;
    bool leftKnown_ = false;
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
