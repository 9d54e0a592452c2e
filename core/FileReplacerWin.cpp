// FileReplacer over Win32: CreateFileA(CREATE_NEW), FlushFileBuffers, MoveFileExA.
#include "core/FileReplacer.h"

#include "core/Error.h"
#include "core/SystemMessage.h"
#include "core/UniqueHandle.h"

#include <windows.h>
#include <ntsecapi.h> // RtlGenRandom, from advapi32

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace kit {
namespace {

// Enough that only a folder full of planted names makes creation give up.
constexpr int NameAttempts = 100;
constexpr std::size_t LongestBaseName = 200;
// A reader that opened the target without delete sharing holds the rename off briefly.
constexpr int RenameAttempts = 20;
constexpr DWORD RenameRetryMilliseconds = 10;
constexpr DWORD KeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct file_traits {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
using unique_file = unique_handle<HANDLE, file_traits>;

std::uint64_t randomBits() {
    std::uint64_t bits = 0;
    if (RtlGenRandom(&bits, sizeof bits)) return bits;
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ static_cast<std::uint64_t>(counter.QuadPart);
}

std::string randomNameBeside(const std::string& target) {
    const auto slash = target.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(randomBits()));
    return folder + base.substr(0, LongestBaseName) + suffix;
}

bool isReadOnly(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

} // namespace

struct FileReplacer::File {
    unique_file handle;
};

FileReplacer::FileReplacer(std::string target, NameSource names)
    : target_(std::move(target)), file_(std::make_unique<File>()) {
    if (target_.empty()) fail("no file name", ERROR_INVALID_NAME);
    // Renaming over it would succeed on some file systems; the attribute says it must stay.
    if (isReadOnly(GetFileAttributesA(target_.c_str()))) fail("the file is read-only", ERROR_ACCESS_DENIED);
    for (int attempt = 0;; ++attempt) {
        std::string name = names ? names() : randomNameBeside(target_);
        file_->handle.reset(
            CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file_->handle) {
            temporary_ = std::move(name);
            return;
        }
        const DWORD code = GetLastError();
        // A folder at that name answers "access denied"; so does a folder we cannot write to.
        const bool taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ||
                           (code == ERROR_ACCESS_DENIED && GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!taken || attempt + 1 == NameAttempts) fail("cannot create a temporary file beside it (" + name + ")", code);
    }
}

FileReplacer::~FileReplacer() { abandon(); }

void FileReplacer::abandon() noexcept {
    if (done_ || !file_) return;
    done_ = true;
    file_->handle.reset();
    if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
}

void FileReplacer::fail(const std::string& what, unsigned long code) {
    abandon();
    throw InOutError("Cannot write file \"" + target_ + "\": " + what + ": " + SystemErrorMessage(code));
}

void FileReplacer::write(const void* data, std::size_t size) {
    if (done_) fail("already finished", ERROR_INVALID_HANDLE);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file_->handle.get(), p, chunk, &written, nullptr)) fail("write failed", GetLastError());
        if (written == 0) fail("write failed", ERROR_WRITE_FAULT);
        p += written;
        size -= written;
    }
}

void FileReplacer::commit() {
    if (done_) fail("already finished", ERROR_INVALID_HANDLE);
    if (!FlushFileBuffers(file_->handle.get())) fail("flush to disk failed", GetLastError());
    file_->handle.reset();
    const DWORD attributes = GetFileAttributesA(target_.c_str());
    if (isReadOnly(attributes)) fail("the file is read-only", ERROR_ACCESS_DENIED);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & KeptAttributes) && !SetFileAttributesA(temporary_.c_str(), attributes & KeptAttributes))
        fail("cannot keep its attributes", GetLastError());
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
        const DWORD code = GetLastError();
        const DWORD now = GetFileAttributesA(target_.c_str());
        const bool folder = now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY);
        if ((code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) || folder || attempt == RenameAttempts)
            fail("cannot replace it", code);
        Sleep(RenameRetryMilliseconds);
    }
    done_ = true;
}

} // namespace kit
