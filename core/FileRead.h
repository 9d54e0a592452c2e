#pragma once
// A whole file read into memory, with the runtime's texts for its failures.
#include <cstdint>
#include <string>
#include <vector>

namespace kit {

// Raise kit::InOutError "Cannot open file "<path>"" when the file cannot be
// opened (a folder among them) and "Cannot read file "<path>"" when reading fails.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);

} // namespace kit
