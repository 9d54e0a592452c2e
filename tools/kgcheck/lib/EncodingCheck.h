#pragma once
// The checker's view of a configuration file's bytes: what makes the engine
// stop reading, or read something else than the publisher's editor shows.
#include <string>
#include <string_view>
#include <vector>

namespace kgcheck {

struct EncodingFinding {
    int line = 0;  // 0: the whole file
    bool error = false;
    std::string text;
};

// A UTF-16 file, NUL bytes and a Ctrl-Z that ends the input are errors; characters that a
// file with the UTF-8 mark holds but the ANSI code page cannot are warnings.
std::vector<EncodingFinding> CheckEncoding(std::string_view bytes);

} // namespace kgcheck
