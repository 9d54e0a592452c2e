// Fuzzes the INI document: loading under every option set and buffer size,
// every read operation on what was found, a few writes, and write-back.
// Byte 0 selects the options (and a duplicate-section handler), byte 1 the
// read buffer size; the rest is the file. The reads look at a bounded number
// of sections and distinct keys, so an input's cost grows with its size, not
// with its square.
#include "core/BigIni.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <unistd.h>

using config::TBigIniFile;
using config::TStrings;
namespace fs = std::filesystem;

namespace {

// Enough to reach every branch of the lookups; more only repeats them.
constexpr std::size_t MaxSections = 32;
constexpr std::size_t MaxKeysPerSection = 48;

// The files live in memory (/dev/shm) where the machine has it, in a folder
// that goes away when the run ends.
class WorkDir {
public:
    WorkDir() {
        std::error_code ec;
        const fs::path shm("/dev/shm");
        const fs::path base =
            fs::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0 ? shm : fs::temp_directory_path();
        path_ = base / ("kg_fuzz_bigini_" + std::to_string(::getpid()));
        fs::create_directories(path_);
    }
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const noexcept { return path_; }

private:
    fs::path path_;
};

const fs::path& workDir() {
    static const WorkDir dir;
    return dir.path();
}

void writeBytes(const fs::path& file, std::string_view bytes) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
}

void require(bool condition) {
    if (!condition) std::abort();
}

TStrings contents(TBigIniFile& ini) {
    TStrings all;
    ini.ReadContents(all);
    return all;
}

void configure(TBigIniFile& ini, std::uint8_t options, std::uint8_t buffer) {
    ini.ClearBeforeReadValues = options & 0x01;
    ini.DropCommentLines = options & 0x02;
    ini.DropLinesWithoutEquals = options & 0x04;
    ini.DropBlanksAroundEquals = options & 0x08;
    ini.StripValueQuotes = options & 0x10;
    ini.TrimLineEnds = options & 0x20;
    if (options & 0x40)
        ini.OnDuplicateSection = [](const std::string& name, TStrings& earlier, TStrings& later) {
            earlier.insert(earlier.end(), later.begin(), later.end());
            return name.size() % 2 == 0;
        };
    ini.TextBufferSize = static_cast<int>(buffer % 80) - 8; // includes 0 and below: the small default
}

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void exerciseReads(TBigIniFile& ini) {
    TStrings sections;
    ini.ReadSections(sections);
    require(static_cast<std::int32_t>(sections.size()) == ini.Sections().Count());
    if (sections.size() > MaxSections) sections.resize(MaxSections);
    for (const std::string& section : sections) {
        require(ini.HasSection(section) && ini.SectionExists(section));
        TStrings values{"x"};
        ini.ReadSectionValues(section, values);
        TStrings keys;
        ini.ReadSection(section, keys);
        // Each distinct name once (names match without regard to ASCII case).
        std::unordered_set<std::string> seen;
        std::size_t checked = 0;
        for (const std::string& key : keys) {
            if (checked == MaxKeysPerSection) break;
            if (!seen.insert(folded(key)).second) continue;
            ++checked;
            // A line never holds a line feed, so this default shows a key that was not found.
            const std::string value = ini.ReadString(section, key, "\n");
            require(value != "\n");
            require(ini.ReadValue(section, key, "\n") == value);
            require(ini.ValueExists(section, key));
            const std::int32_t number = ini.ReadInteger(section, key, 7);
            require(ini.ReadBool(section, key, true) == (ini.ReadInteger(section, key, 1) != 0));
            (void)number;
            (void)ini.ReadFloat(section, key, 0.5);
            (void)ini.ReadDate(section, key, 0);
            (void)ini.ReadDateTime(section, key, 0);
            (void)ini.ReadTime(section, key, 0);
            require(ini.SectionCursor >= 0 && ini.SectionCursor < ini.Sections().Count());
        }
        require(ini.ReadString(section, "\x01missing", "dflt") == "dflt");
    }
    require(!ini.HasSection(std::string("\n")));
    (void)contents(ini);
}

void exerciseWrites(TBigIniFile& ini) {
    TStrings sections;
    ini.ReadSections(sections);
    if (!sections.empty()) {
        const std::string& first = sections.front();
        ini.WriteString(first, "fz", "v");
        require(ini.ReadString(first, "fz", "") == "v");
        ini.WriteInteger(first, "fz", -5);
        require(ini.ReadInteger(first, "fz", 0) == -5);
        ini.DeleteKey(first, "fz");
        ini.EraseSection(sections.back());
        require(!ini.HasSection(sections.back()) || sections.size() > 1);
    }
    ini.DeleteKey("Fresh", "k");
    ini.WriteBool("Fresh", "b", true);
    require(ini.ReadBool("Fresh", "b", false));
    ini.WriteString("Fresh", "", "erase");
    require(!ini.HasSection("Fresh"));
    (void)contents(ini);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    const std::uint8_t options = data[0];
    const std::uint8_t buffer = data[1];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const fs::path input = workDir() / "input.ini";
    writeBytes(input, text);

    // The file path (chunked through the buffer) and the text path must agree.
    TBigIniFile fromFile("");
    configure(fromFile, options, buffer);
    fromFile.SetFileName(input.string());
    TBigIniFile fromText("");
    configure(fromText, options, buffer);
    fromText.LoadFromText(text);
    require(contents(fromFile) == contents(fromText));
    require(!fromFile.Modified);

    exerciseReads(fromFile);
    exerciseWrites(fromText);

    // Written back and read again with the options off, a document is unchanged.
    if ((options & 0x3E) == 0) {
        const fs::path output = workDir() / "output.ini";
        {
            TBigIniFile out(output.string());
            out.LoadFromText(text);
            out.Modified = true;
            out.Flush();
            TBigIniFile back(output.string());
            require(contents(back) == contents(out));
        }
        fs::remove(output);
    }
    fromFile.SetFileName("");
    return 0;
}
