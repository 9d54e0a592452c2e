#pragma once
// The history file on disk, in the format of HistoryFormat.h.
#include <string>
#include <vector>

namespace kg {

// A file (not a folder) exists at `path`.
bool HistoryFileExists(const std::string& path);

// The lines of the file, as they are. Raises kit::InOutError
// "Cannot open file <path>" when it cannot be opened or read.
std::vector<std::string> ReadHistoryFile(const std::string& path);

// Replaces the file by `entries`, whole or not at all (kit::FileReplacer).
// Raises kit::InOutError
// "Cannot create file <path>" on any failure, a read-only file included; the
// old file then stays as it was and no temporary file is left behind.
void WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries);

} // namespace kg
