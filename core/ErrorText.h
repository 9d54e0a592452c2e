#pragma once
// Texts of errors about configuration: quoting what the publisher wrote, and
// naming the file whose content is wrong.
#include "core/Error.h"

#include <cstddef>
#include <new>
#include <string>

namespace kit {

// Configuration text inside an error's message: its first kQuoteLimit characters, then "...", so
// that a huge value never pushes the reason out of the message box.
inline constexpr std::size_t kQuoteLimit = 100;
// The reason given when memory ran out while something was being loaded.
inline constexpr char kOutOfMemory[] = "not enough memory to load it";
inline std::string Quote(const std::string& text) {
    if (text.size() <= kQuoteLimit) return text;
    return text.substr(0, kQuoteLimit) + "...";
}

// Runs `read` over the file `path`; an error about its content comes back naming the file,
// as "<kind> "<path>": <reason>", and so does running out of memory while reading it. Errors
// that already name it (InOutError) pass unchanged.
template <typename Read>
decltype(auto) NamingFile(const char* kind, const std::string& path, Read&& read) {
    try {
        return read();
    } catch (const InOutError&) {
        throw;
    } catch (const Error& e) {
        throw Error(std::string(kind) + " \"" + path + "\": " + e.what());
    } catch (const std::bad_alloc&) {
        throw Error(std::string(kind) + " \"" + path + "\": " + kOutOfMemory);
    }
}

} // namespace kit
