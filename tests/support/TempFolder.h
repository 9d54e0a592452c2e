#pragma once
// A fresh, empty folder of the tests' own, removed with what it holds when
// its owner goes. Portable: the core tests use it natively too.
#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace kgtest {

class TempFolder {
public:
    // `<base>/<prefix>-<unique>`; base is the system's temporary folder unless given.
    explicit TempFolder(const std::string& prefix,
                        const std::filesystem::path& base = std::filesystem::temp_directory_path())
        : path_(base / (prefix + "-" + unique())) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    std::string string() const { return path_.string(); }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    // Random across processes (two test programs may run at once), counted within one.
    static std::string unique() {
        static const unsigned run = std::random_device{}();
        static std::atomic<unsigned> count{0};
        return std::to_string(run) + "-" + std::to_string(++count);
    }

    std::filesystem::path path_;
};

} // namespace kgtest
