#pragma once
// Hostile install folders, generated at run time: huge, broken and lying
// configuration, icon and banner files that a publisher (or a bad download)
// can put beside the DLL. The toolbar tests build a window over each; the
// Windows benchmarks time each one and take its peak memory.
#include "core/Bmp.h"
#include "core/IconFile.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kgtest {

struct HostileInput {
    std::string name;
    // Writes the case's files into an empty install folder; `toolbarFile` is the value "Toolbar File".
    std::function<void(const std::filesystem::path& folder, const std::string& toolbarFile)> install;
    bool aboutWindow = false;  // the case is about the About window too
};

namespace hostile {

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}
inline std::filesystem::path ini(const std::filesystem::path& folder, const std::string& toolbarFile) {
    return folder / (toolbarFile + ".ini");
}

// `count` buttons on the toolbar, or under one submenu.
inline std::string manyItems(int count, bool underSubmenu) {
    std::string out = "[Options]\r\nSearch URL=http://search.example/?q=[search]\r\n[Toolbar Items]\r\n";
    if (underSubmenu) out += "ManySubMenu=\r\n";
    for (int i = 1; i <= count; ++i) out += "Item" + std::to_string(i) + "=\r\n";
    out += "[Icons]\r\n0=0\r\n1=1\r\n";
    if (underSubmenu) out += "[ManySubMenu]\r\nCaption=Many\r\nParent=Toolbar\r\n";
    for (int i = 1; i <= count; ++i) {
        out += "[Item" + std::to_string(i) + "]\r\nCaption=Item " + std::to_string(i) + "\r\nImageIndex=" +
               std::to_string(i % 2) + "\r\nURL=http://example.com/" + std::to_string(i) + "\r\nParent=" +
               (underSubmenu ? "ManySubMenu" : "Toolbar") + "\r\n";
    }
    return out;
}

// A "Parent" chain `depth` deep: the first item on the toolbar, every other one under the one before.
inline std::string parentChain(int depth) {
    std::string out = "[Toolbar Items]\r\n";
    for (int i = 1; i <= depth; ++i) out += "ChainSubMenu" + std::to_string(i) + "=\r\n";
    for (int i = 1; i <= depth; ++i)
        out += "[ChainSubMenu" + std::to_string(i) + "]\r\nCaption=Level " + std::to_string(i) + "\r\nParent=" +
               (i == 1 ? std::string("Toolbar") : "ChainSubMenu" + std::to_string(i - 1)) + "\r\n";
    return out;
}

// `items` buttons whose icon numbers stand at the end of an "Icons" section of `keys` keys.
inline std::string manyIconKeys(int keys, int items) {
    std::string out = "[Toolbar Items]\r\n";
    for (int i = 1; i <= items; ++i) out += "Item" + std::to_string(i) + "=\r\n";
    for (int i = 1; i <= items; ++i)
        out += "[Item" + std::to_string(i) + "]\r\nImageIndex=" + std::to_string(keys - i) + "\r\nParent=Toolbar\r\n";
    out += "[Icons]\r\n";
    for (int k = 0; k < keys; ++k) out += std::to_string(k) + "=" + std::to_string(k % 9) + "\r\n";
    return out;
}

// One real item, then `filler` (whatever makes the file hostile).
inline std::string oneItemThen(const std::string& filler) {
    return "[Options]\r\n[Toolbar Items]\r\nmiHome=\r\n[miHome]\r\nCaption=Home\r\nURL=http://home.example/\r\n"
           "Parent=Toolbar\r\n" +
           filler;
}

inline std::vector<std::uint8_t> nineIcons() {
    std::vector<kit::Bitmap32> images;
    for (std::uint32_t i = 0; i < 9; ++i)
        images.push_back(kit::Bitmap32{16, 16, std::vector<std::uint32_t>(256, 0xFF000000u | (i * 0x1F1F1F))});
    return toolbar::WriteIconFile(toolbar::MakeIconImages(std::move(images), std::nullopt));
}

// An image-list stream header ("IL", version 0x0101) of `count` images of cx x cy, masked, 24-bit.
inline std::vector<std::uint8_t> imageListHeader(std::uint16_t count, std::uint16_t cx, std::uint16_t cy) {
    std::vector<std::uint8_t> out{'I', 'L'};
    auto put16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    for (std::uint32_t v : {0x0101u, std::uint32_t{count}, std::uint32_t{count}, 4u, std::uint32_t{cx},
                            std::uint32_t{cy}, 0xFFFFu, 0xFFFFu, 0x19u, 0xFFFFu, 0xFFFFu, 0xFFFFu, 0xFFFFu})
        put16(v);
    return out;
}

// A bitmap of an image-list stream: its file header's size covers only the headers.
inline void appendStreamBitmap(std::vector<std::uint8_t>& out, const kit::Bitmap32& image, int bitsPerPixel) {
    std::vector<std::uint8_t> bmp = kit::EncodeBmp(image, bitsPerPixel);
    for (int i = 0; i < 4; ++i) bmp[2 + i] = bmp[10 + i];
    out.insert(out.end(), bmp.begin(), bmp.end());
}

// 65,535 distinct 16 x 16 icons, the most an image list holds, four to a bitmap row.
inline std::vector<std::uint8_t> mostIcons() {
    constexpr int kCount = 65535, kRows = (kCount + 3) / 4;
    std::vector<std::uint8_t> stream = imageListHeader(kCount, 16, 16);
    kit::Bitmap32 strip{64, kRows * 16, std::vector<std::uint32_t>(std::size_t{64} * kRows * 16)};
    for (std::size_t p = 0; p < strip.pixels.size(); ++p)
        strip.pixels[p] = 0xFF000000u | static_cast<std::uint32_t>((p / 16) * 2654435761u & 0xFFFFFF);
    appendStreamBitmap(stream, strip, 24);
    std::fill(strip.pixels.begin(), strip.pixels.end(), 0xFF000000u);  // every pixel opaque
    appendStreamBitmap(stream, strip, 1);
    return toolbar::WrapImageListStream(stream, 16, 16);
}

inline std::vector<std::uint8_t> banner() {
    return kit::EncodeBmp(kit::Bitmap32{105, 22, std::vector<std::uint32_t>(105 * 22, 0xFF336699u)}, 24);
}

inline void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace hostile

inline std::vector<HostileInput> HostileInputs() {
    namespace fs = std::filesystem;
    using namespace hostile;
    using Folder = const fs::path&;
    using File = const std::string&;
    // Made only in the case that uses it: a child process of the benchmark runs one case, and its
    // peak memory should be the toolbar's, not the other cases' inputs.
    const auto tenMegabytes = [] { return std::string(10u << 20, 'x'); };
    return {
        {"10,000 top-level buttons", [](Folder d, File f) { writeFile(ini(d, f), manyItems(10000, false)); }},
        {"10,000 items in one submenu", [](Folder d, File f) { writeFile(ini(d, f), manyItems(10000, true)); }},
        {"100,000 top-level buttons", [](Folder d, File f) { writeFile(ini(d, f), manyItems(100000, false)); }},
        {"50,000 items in one submenu", [](Folder d, File f) { writeFile(ini(d, f), manyItems(50000, true)); }},
        {"\"Parent\" chain 50,000 deep", [](Folder d, File f) { writeFile(ini(d, f), parentChain(50000)); }},
        {"1,000,000 icon keys, 5,000 items",
         [](Folder d, File f) {
             writeFile(ini(d, f), manyIconKeys(1000000, 5000));
             writeFile(d / "Icons.bin", nineIcons());
         }},
        {"1,000,000 names without sections",
         [](Folder d, File f) {
             std::string out = "[Toolbar Items]\r\n";
             out.reserve(std::size_t{1000000} * 16);
             for (int i = 1; i <= 1000000; ++i) out += "Unplaced" + std::to_string(i) + "=\r\n";
             writeFile(ini(d, f), out);
         }},
        {"INI of 3,000,000 sections",
         [](Folder d, File f) {
             std::string filler;
             filler.reserve(std::size_t{3000000} * 16);
             for (int i = 0; i < 3000000; ++i) filler += "[S" + std::to_string(i) + "]\r\nK=1\r\n";
             // Later copies of a section, in another letter case, never win.
             filler += "[TOOLBAR ITEMS]\r\nmiLate=\r\n[miLate]\r\nParent=Toolbar\r\n";
             writeFile(ini(d, f), oneItemThen(filler));
         }},
        {"INI of 50 MB",
         [](Folder d, File f) {
             std::string filler = "[Filler]\r\n";
             const std::string line = "Key=" + std::string(90, 'v') + "\r\n";
             while (filler.size() < (50u << 20)) filler += line;
             writeFile(ini(d, f), oneItemThen(filler));
         }},
        {"binary garbage as the INI",
         [](Folder d, File f) {
             std::mt19937 random(7);
             std::string bytes(4u << 20, '\0');
             for (char& c : bytes) c = static_cast<char>(random());
             writeFile(ini(d, f), bytes);
         }},
        {"10 MB caption, URL and search URL",
         [tenMegabytes](Folder d, File f) {
             const std::string huge = tenMegabytes();
             writeFile(ini(d, f), "[Options]\r\nSearch URL=http://s.example/?q=[search]" + huge +
                                      "\r\n[Toolbar Items]\r\nmiHuge=\r\n[miHuge]\r\nCaption=" + huge +
                                      "\r\nURL=http://huge.example/" + huge + "\r\nParent=Toolbar\r\n");
         }},
        {"truncated Icons.bin",
         [](Folder d, File) {
             std::vector<std::uint8_t> bytes = nineIcons();
             bytes.resize(bytes.size() / 2);
             writeFile(d / "Icons.bin", bytes);
         }},
        {"zero-byte Icons.bin", [](Folder d, File) { writeFile(d / "Icons.bin", std::string()); }},
        {"Icons.bin whose count lies",
         [](Folder d, File) {
             std::vector<std::uint8_t> bytes = nineIcons();
             const std::size_t il = std::string(bytes.begin(), bytes.end()).find("IL\x01\x01");
             bytes[il + 4] = 0x60;  // 60,000 and more images claimed, nine stored
             bytes[il + 5] = 0xEA;
             writeFile(d / "Icons.bin", bytes);
         }},
        {"icon file of a 16384 x 16384 image",
         [](Folder d, File) {
             std::vector<std::uint8_t> stream = imageListHeader(1, 16384, 16384);
             stream.resize(stream.size() + 64, 0);
             writeFile(d / "Icons.bin", toolbar::WrapImageListStream(stream, 16384, 16384));
         }},
        {"65,535 real icons", [](Folder d, File) { writeFile(d / "Icons.bin", mostIcons()); }},
        {"banner with truncated pixel data",
         [](Folder d, File f) {
             std::vector<std::uint8_t> bytes = banner();
             bytes.erase(bytes.end() - 100, bytes.end());
             writeFile(d / (f + ".bmp"), bytes);
         }},
        {"banner that is no bitmap", [](Folder d, File f) { writeFile(d / (f + ".bmp"), "BM\x10\x00 not a bitmap"); }},
        {"banner of 100000 x 100000 pixels",
         [](Folder d, File f) {
             std::vector<std::uint8_t> bytes = banner();
             put32(bytes, 18, 100000);
             put32(bytes, 22, 100000);
             writeFile(d / (f + ".bmp"), bytes);
         }},
        {"duplicate item names",
         [](Folder d, File f) {
             writeFile(ini(d, f), "[Toolbar Items]\r\nmiA=\r\nmiB=\r\n[miA]\r\nName=miSame\r\nParent=Toolbar\r\n"
                                  "[miB]\r\nName=MISAME\r\nParent=Toolbar\r\n");
         }},
        {"invalid item name of 10 MB",
         [tenMegabytes](Folder d, File f) {
             writeFile(ini(d, f), "[Toolbar Items]\r\nmiBad=\r\n[miBad]\r\nName=not valid " + tenMegabytes() +
                                      "\r\nParent=Toolbar\r\n");
         }},
        {"missing legal notice", [](Folder d, File f) { writeFile(ini(d, f), oneItemThen("")); }, true},
    };
}

} // namespace kgtest
