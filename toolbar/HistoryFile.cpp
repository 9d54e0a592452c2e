#include "toolbar/HistoryFile.h"

#include "core/Error.h"
#include "core/FileReplacer.h"
#include "core/HistoryFormat.h"
#include "kit/Files.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace kg {

namespace {

constexpr DWORD kRetrySleepMs = 10;
// A reader meets another program's handle only for the moment of a replace.
constexpr DWORD kReadWaitMs = 500;

bool heldByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

} // namespace

bool HistoryFileExists(const std::string& path) { return kit::IsFile(path); }

HistoryRead ReadHistory(const std::string& path) {
    const std::string failure = "Cannot open file " + path;
    kit::unique_file file;
    for (DWORD waited = 0;; waited += kRetrySleepMs) {
        file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) break;
        const DWORD error = GetLastError();
        // Access denied is what a file pending deletion answers during a replace.
        if (!(heldByAnother(error) || (error == ERROR_ACCESS_DENIED && kit::IsFile(path))) || waited >= kReadWaitMs)
            throw kit::InOutError(failure);
        Sleep(kRetrySleepMs);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > std::numeric_limits<std::size_t>::max() / 2)
        throw kit::InOutError(failure);
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr)) throw kit::InOutError(failure);
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    bytes.resize(done);
    HistoryRead result;
    result.lines = ParseHistoryFile(bytes, result.whole);
    if (!result.whole) result.bytes = std::move(bytes);
    return result;
}

std::vector<std::string> ReadHistoryFile(const std::string& path) { return ReadHistory(path).lines; }

void WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries) {
    try {
        kit::ReplaceFileContents(path, FormatHistoryText(entries));
    } catch (const kit::InOutError&) {
        throw kit::InOutError("Cannot create file " + path); // the runtime's own text for this failure
    }
}

std::string KeepHistoryCopy(const std::string& historyPath, const std::string& bytes) {
    std::string stem = historyPath;
    if (stem.size() >= 4 && lstrcmpiA(stem.c_str() + stem.size() - 4, ".txt") == 0) stem.resize(stem.size() - 4);
    for (int n = 1;; ++n) {
        const std::string copy = stem + (n == 1 ? std::string(" (kept copy)") : " (kept copy " + std::to_string(n) + ")") + ".txt";
        // CREATE_NEW: an earlier copy is never replaced.
        kit::unique_file file(CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS && n < 10000) continue;
            throw kit::InOutError("Cannot create file " + copy);
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
                file.reset();
                DeleteFileA(copy.c_str());
                throw kit::InOutError("Cannot create file " + copy);
            }
            done += written;
        }
        if (!FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileA(copy.c_str());
            throw kit::InOutError("Cannot create file " + copy);
        }
        return copy;
    }
}

HistoryLock::HistoryLock(const std::string& historyPath, unsigned waitMs) {
    const std::string lock = historyPath + ".lock";
    for (DWORD waited = 0;; waited += kRetrySleepMs) {
        // No sharing, gone with its last handle: the lock is the open handle itself.
        file_.reset(CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file_) return;
        const DWORD error = GetLastError();
        // Access denied with the lock file there: another holder is just letting go of it.
        const bool held = heldByAnother(error) ||
                          (error == ERROR_ACCESS_DENIED && GetFileAttributesA(lock.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!held) return;
        if (waited >= waitMs)
            throw kit::InOutError("The search history is in use by another window: cannot lock " + lock);
        Sleep(kRetrySleepMs);
    }
}

std::string HistorySortKey(const std::string& text) {
    constexpr DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    // An empty text has a key too (that of the empty string), below every other.
    const char* source = text.empty() ? "" : text.data();
    const int length = text.empty() ? -1 : static_cast<int>(text.size());
    char small[256];
    int n = LCMapStringA(LOCALE_USER_DEFAULT, flags, source, length, small, sizeof small);
    if (n > 0) return std::string(small, static_cast<std::size_t>(n));
    n = LCMapStringA(LOCALE_USER_DEFAULT, flags, source, length, nullptr, 0);
    if (n <= 0) throw kit::Error("The search text cannot be ordered");
    std::string key(static_cast<std::size_t>(n), '\0');
    n = LCMapStringA(LOCALE_USER_DEFAULT, flags, source, length, key.data(), n);
    if (n <= 0) throw kit::Error("The search text cannot be ordered");
    key.resize(static_cast<std::size_t>(n));
    return key;
}

int CompareHistoryText(const std::string& a, const std::string& b) {
    const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r == 0 ? lstrcmpiA(a.c_str(), b.c_str()) : r - CSTR_EQUAL;
}

} // namespace kg
