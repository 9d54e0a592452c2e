// FileReplacer over POSIX: open(O_CREAT | O_EXCL | O_NOFOLLOW), fsync, rename.
#include "core/FileReplacer.h"

#include "core/Error.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {
namespace {

// Enough that only a folder full of planted names makes creation give up.
constexpr int NameAttempts = 100;
// Leaves room in a name of 255 bytes for the random part.
constexpr std::size_t LongestBaseName = 200;

class unique_fd {
public:
    unique_fd() noexcept = default;
    explicit unique_fd(int fd) noexcept : fd_(fd) {}
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;
    ~unique_fd() { reset(); }
    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    // Closes now and answers close's own error (0 when none).
    int close() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

std::uint64_t randomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) == static_cast<ssize_t>(sizeof bits)) return bits;
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

std::string randomNameBeside(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(randomBits()));
    return folder + base.substr(0, LongestBaseName) + suffix;
}

bool hasNoWriteBit(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0; }

} // namespace

struct FileReplacer::File {
    unique_fd fd;
    bool targetExisted = false;
};

FileReplacer::FileReplacer(std::string target, NameSource names)
    : target_(std::move(target)), file_(std::make_unique<File>()) {
    if (target_.empty()) fail("no file name", ENOENT);
    struct stat st{};
    file_->targetExisted = ::stat(target_.c_str(), &st) == 0;
    if (file_->targetExisted && hasNoWriteBit(st)) fail("the file is read-only", EACCES);
    // Private until commit gives it the target's mode; a new file gets what a plain create would.
    const mode_t mode = file_->targetExisted ? 0600 : 0666;
    for (int attempt = 0;; ++attempt) {
        std::string name = names ? names() : randomNameBeside(target_);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            file_->fd.reset(fd);
            temporary_ = std::move(name);
            return;
        }
        if (errno != EEXIST || attempt + 1 == NameAttempts)
            fail("cannot create a temporary file beside it (" + name + ")", static_cast<unsigned long>(errno));
    }
}

FileReplacer::~FileReplacer() { abandon(); }

void FileReplacer::abandon() noexcept {
    if (done_ || !file_) return;
    done_ = true;
    file_->fd.reset();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void FileReplacer::fail(const std::string& what, unsigned long code) {
    abandon();
    throw InOutError("Cannot write file \"" + target_ + "\": " + what + ": " +
                     std::generic_category().message(static_cast<int>(code)));
}

void FileReplacer::write(const void* data, std::size_t size) {
    if (done_) fail("already finished", EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(file_->fd.get(), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("write failed", static_cast<unsigned long>(n < 0 ? errno : EIO));
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void FileReplacer::commit() {
    if (done_) fail("already finished", EBADF);
    const int fd = file_->fd.get();
    if (::fsync(fd) != 0) fail("flush to disk failed", static_cast<unsigned long>(errno));
    struct stat st{};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISREG(st.st_mode)) {
        if (hasNoWriteBit(st)) fail("the file is read-only", EACCES);
        // Owner first: changing it clears set-user-ID bits that the mode then restores.
        if (::geteuid() == 0 && ::fchown(fd, st.st_uid, st.st_gid) != 0)
            fail("cannot keep its owner", static_cast<unsigned long>(errno));
        if (::fchmod(fd, st.st_mode & 07777) != 0) fail("cannot keep its mode", static_cast<unsigned long>(errno));
    } else if (!exists && file_->targetExisted) {
        // The target went away meanwhile: the file gets what a plain create would have given it.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0) fail("cannot set its mode", static_cast<unsigned long>(errno));
    }
    if (const int error = file_->fd.close()) fail("write failed", static_cast<unsigned long>(error));
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        fail("cannot replace it", static_cast<unsigned long>(errno));
    done_ = true;
    // The rename itself reaches the disk with the folder.
    const auto slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target_.substr(0, slash));
    unique_fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.get());
}

} // namespace kit
