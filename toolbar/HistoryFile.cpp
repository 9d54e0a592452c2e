#include "toolbar/HistoryFile.h"

#include "kit/Error.h"
#include "kit/Handles.h"
#include "toolbar/HistoryFormat.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace kg {

namespace {

// A file that is deleted unless it is kept.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_) DeleteFileA(path_.c_str());
    }
    const std::string& path() const noexcept { return path_; }
    void keep() noexcept { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

} // namespace

bool HistoryFileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ReadHistoryFile(const std::string& path) {
    const std::string failure = "Cannot open file " + path;
    kit::unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw kit::InOutError(failure);
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
    return ParseHistoryText(bytes);
}

void WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries) {
    const std::string failure = "Cannot create file " + path;
    // Renaming over it would succeed on some file systems; the attribute says it must stay.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) throw kit::InOutError(failure);
    char name[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folderOf(path).c_str(), "kgh", 0, name)) throw kit::InOutError(failure);
    TemporaryFile temporary(name);
    {
        kit::unique_file file(CreateFileA(temporary.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw kit::InOutError(failure);
        if (!writeAll(file.get(), FormatHistoryText(entries)) || !FlushFileBuffers(file.get()))
            throw kit::InOutError(failure);
    }
    if (!MoveFileExA(temporary.path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw kit::InOutError(failure);
    temporary.keep();
}

} // namespace kg
