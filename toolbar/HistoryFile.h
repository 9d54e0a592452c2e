#pragma once
// The history file on disk, in the format of HistoryFormat.h, shared by every
// toolbar window of every process of the user.
#include "kit/Handles.h"

#include <string>
#include <vector>

namespace kg {

// A file (not a folder) exists at `path`.
bool HistoryFileExists(const std::string& path);

// A history file as read: its lines, and whether they hold all it said (see
// ParseHistoryFile); the bytes are kept only when they do not.
struct HistoryRead {
    std::vector<std::string> lines;
    bool whole = true;
    std::string bytes;
};

// Reads the file, opened so that another writer's replace is not blocked; a
// file held by another program for a moment is tried again briefly. Raises
// kit::InOutError "Cannot open file <path>" when it cannot be opened or read.
HistoryRead ReadHistory(const std::string& path);
// The lines of the file (ReadHistory's).
std::vector<std::string> ReadHistoryFile(const std::string& path);

// Replaces the file by `entries`, whole or not at all (kit::FileReplacer).
// Raises kit::InOutError
// "Cannot create file <path>" on any failure, a read-only file included; the
// old file then stays as it was and no temporary file is left behind.
void WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries);

// Keeps `bytes` beside `historyPath` as "<name> (kept copy).txt", or
// "<name> (kept copy N).txt" when that exists: an earlier copy is never
// replaced. Returns the copy's path. Raises kit::InOutError
// "Cannot create file <copy>" when it cannot be written.
std::string KeepHistoryCopy(const std::string& historyPath, const std::string& bytes);

// The history's lock, "<history file>.lock": held by one window of one
// process at a time, for a read, merge and write. Waits up to `waitMs` for
// another holder; raises kit::InOutError naming the lock file when it still
// cannot be had. A folder that takes no file at all gives no lock (Held()
// false): the write that follows fails there and says so.
class HistoryLock {
public:
    explicit HistoryLock(const std::string& historyPath, unsigned waitMs = 5000);
    HistoryLock(const HistoryLock&) = delete;
    HistoryLock& operator=(const HistoryLock&) = delete;
    bool Held() const noexcept { return static_cast<bool>(file_); }

private:
    kit::unique_file file_;
};

// The sort key of a history text: the user's locale, letter case ignored.
// Keys compared as unsigned bytes give the order of CompareHistoryText.
std::string HistorySortKey(const std::string& text);
// <0, 0 or >0: the order of the history, one comparison through the platform.
int CompareHistoryText(const std::string& a, const std::string& b);

} // namespace kg
