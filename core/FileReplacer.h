#pragma once
// Replaces a file whole or not at all. The new content goes to a temporary
// file of its own in the target's folder (a fresh unpredictable name, created
// exclusively, so nothing planted there is followed or overwritten); commit
// flushes it to disk, gives it the target's attributes and renames it over the
// target in one step. Until then, and after any failure, the target is
// untouched and the temporary file is removed. Readers see the old file or the
// new one, never a mixture, however many writers run at once.
//
// Attributes kept: natively the mode bits (and the owner, for root); on
// Windows hidden, system, archive and not-content-indexed. A read-only target
// (Windows: its attribute; natively: no write bit at all) is refused, as a
// plain write would be. A link at the target's name is replaced by the file,
// not followed.
//
// Portable interface: one implementation over POSIX, one over Win32.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kit {

class FileReplacer {
public:
    // Full paths to try for the temporary file, one per call; the default
    // draws random names beside the target. A name that exists is skipped.
    using NameSource = std::function<std::string()>;

    // Creates the temporary file. Raises kit::InOutError "Cannot write file
    // "<target>": <what is wrong>" when it cannot, or when the target is read-only.
    explicit FileReplacer(std::string target, NameSource names = {});
    // Removes the temporary file unless it was committed.
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Appends to the temporary file. Raises kit::InOutError (and removes it) on failure.
    void write(const void* data, std::size_t size);
    void write(std::string_view text) { write(text.data(), text.size()); }
    // Flushes, keeps the target's attributes and renames over the target.
    // Raises kit::InOutError (and removes the temporary file) on failure.
    void commit();

    const std::string& target() const noexcept { return target_; }
    const std::string& temporaryPath() const noexcept { return temporary_; }

private:
    struct File; // the platform's open file, owned
    [[noreturn]] void fail(const std::string& what, unsigned long code);
    void abandon() noexcept;

    std::string target_;
    std::string temporary_;
    std::unique_ptr<File> file_;
    bool done_ = false;
};

// The whole replacement in one call.
inline void ReplaceFileContents(const std::string& target, std::string_view bytes) {
    FileReplacer file(target);
    file.write(bytes);
    file.commit();
}

} // namespace kit
