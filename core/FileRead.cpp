#include "core/FileRead.h"

#include "core/Error.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kit {

namespace {

template <typename Bytes>
Bytes readWhole(const std::string& path) {
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
    if (!in.is_open()) throw InOutError("Cannot open file \"" + path + "\"");
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw InOutError("Cannot read file \"" + path + "\"");
    return bytes;
}

} // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) { return readWhole<std::vector<std::uint8_t>>(path); }

std::string ReadFileText(const std::string& path) { return readWhole<std::string>(path); }

} // namespace kit
