#pragma once
// The configuration checker: what the engine would silently ignore or refuse
// in a toolbar's folder, found with the engine's own readers. Portable.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kgcheck {

struct Finding {
    std::string file;  // as shown: the folder as given, "/", the file's name
    int line = 0;      // 0: the finding concerns the whole file
    bool error = false;
    std::string text;

    // "file:line: severity: text", or "file: severity: text" without a line.
    std::string Format() const;
};

// A toolbar's files as the engine finds them in its install folder. A file
// that is absent has no bytes.
struct ToolbarFiles {
    std::string folder;      // prefix of the shown file names; empty for none
    std::string toolbarFile; // the "Toolbar File": base name of the configuration and the banner
    std::optional<std::string> config;                 // <Toolbar File>.ini
    std::optional<std::vector<std::uint8_t>> icons;    // "Icons.bin"
    std::optional<std::vector<std::uint8_t>> banner;   // <Toolbar File>.bmp
    bool hasLegalNotice = false;                       // "Copyrights.txt"
};

// Every finding, those of the configuration file first, each file's in line order.
std::vector<Finding> CheckToolbar(const ToolbarFiles& files);

// The names of the toolbar window's own components, which no configured item may take.
std::vector<std::string> DesignedComponentNames();

inline constexpr int kBannerWidth = 105;
inline constexpr int kBannerHeight = 22;

} // namespace kgcheck
