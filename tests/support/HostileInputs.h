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
#include <iterator>
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
    std::string dropDown{};    // the item whose drop-down menu the case opens, if any
    // A path on the loopback update server (HttpTestServer) that "Updates URL" names, if any; the
    // server holds a usable "good/toolbar.ini" and "good/icons.bin" (hostile::serveUpdate).
    std::string updatesPath{};
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

// The headers of a bottom-up bitmap of width x height, its colour table and no pixels yet.
inline std::vector<std::uint8_t> bitmapHeaders(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                                               std::uint32_t compression) {
    const std::uint32_t colours = bits <= 8 ? 1u << bits : 0;
    std::vector<std::uint8_t> out(14 + 40 + colours * 4, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 10, static_cast<std::uint32_t>(out.size()));
    put32(out, 14, 40);
    put32(out, 18, width);
    put32(out, 22, height);
    out[26] = 1;
    out[28] = static_cast<std::uint8_t>(bits);
    put32(out, 30, compression);
    for (std::uint32_t i = 0; i < colours; ++i) put32(out, 54 + i * 4, i * 0x010203u);
    return out;
}

// 16384 x 16384 pixels of RLE8 in 256 KB (the least data such a size may bring): full rows of runs
// from the bottom, then the end of the bitmap.
inline std::vector<std::uint8_t> rleBanner() {
    std::vector<std::uint8_t> out = bitmapHeaders(16384, 16384, 8, 1);
    const std::size_t start = out.size(), end = start + (256u << 10);
    while (out.size() + 132 + 2 <= end) {
        for (int run = 0; run < 64; ++run) out.insert(out.end(), {255, static_cast<std::uint8_t>(run * 4 + 1)});
        out.insert(out.end(), {64, 200, 0, 0});  // the row's last 64 pixels, end of line
    }
    out.insert(out.end(), {0, 1});
    out.resize(end, 0);
    return out;
}

// 16384 x 16384 pixels of one bit each: 32 MB of stripes.
inline std::vector<std::uint8_t> monochromeBanner() {
    std::vector<std::uint8_t> out = bitmapHeaders(16384, 16384, 1, 0);
    out.resize(out.size() + std::size_t{2048} * 16384, 0xF0);
    return out;
}

// What the update server holds for a case with an updatesPath.
inline constexpr char kServedConfiguration[] = "[Options]\r\nToolbar Name=Served\r\n";
template <typename Server> void serveUpdate(const Server& server) {
    server.serve("good/toolbar.ini", kServedConfiguration);
    const std::vector<std::uint8_t> icons = nineIcons();
    server.serve("good/icons.bin", std::string(icons.begin(), icons.end()));
}

// Makes the configuration's "Updates URL" name `url`: the line goes first into its "[Options]".
inline void pointUpdatesAt(const std::filesystem::path& folder, const std::string& toolbarFile, const std::string& url) {
    std::ifstream in(ini(folder, toolbarFile), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::string options = "[Options]\r\n";
    const std::size_t at = text.find(options);
    text.insert(at == std::string::npos ? 0 : at + options.size(),
                (at == std::string::npos ? options : std::string()) + "Updates URL=" + url + "\r\n");
    writeFile(ini(folder, toolbarFile), text);
}

// `count` engines under a split button: a "SubMenu" section with a "URL".
inline std::string splitButtonMenu(int count) {
    std::string out = "[Options]\r\n[Toolbar Items]\r\nManySubMenu=\r\n";
    for (int i = 1; i <= count; ++i) out += "E" + std::to_string(i) + "=\r\n";
    out += "[ManySubMenu]\r\nCaption=Many\r\nURL=http://many.example/\r\nParent=Toolbar\r\n";
    for (int i = 1; i <= count; ++i)
        out += "[E" + std::to_string(i) + "]\r\nCaption=Entry " + std::to_string(i) + "\r\nURL=http://e.example/" +
               std::to_string(i) + "\r\nParent=ManySubMenu\r\n";
    return out;
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

        // Memory that follows what is shown, not what a file declares; menus and texts that stay quick.
        {"RLE8 banner of 16384 x 16384 in 256 KB",
         [](Folder d, File f) { writeFile(d / (f + ".bmp"), rleBanner()); }, true},
        {"1-bit banner of 16384 x 16384 (32 MB)",
         [](Folder d, File f) { writeFile(d / (f + ".bmp"), monochromeBanner()); }, true},
        {"banner file above 64 MB",
         [](Folder d, File f) {
             std::vector<std::uint8_t> bytes = banner();
             bytes.resize((64u << 20) + 1, 0);
             writeFile(d / (f + ".bmp"), bytes);
         }},
        {"one 200 MB \"Caption\" line",
         [](Folder d, File f) {
             std::ofstream out(ini(d, f), std::ios::binary);
             out << "[Options]\r\n[Toolbar Items]\r\nmiHuge=\r\n[miHuge]\r\nURL=http://huge.example/\r\n"
                    "Parent=Toolbar\r\nCaption=";
             const std::string block(1u << 20, 'c');
             for (int i = 0; i < 200; ++i) out << block;
             out << "\r\n";
         }},
        {"split button's menu of 50,000 entries",
         [](Folder d, File f) { writeFile(ini(d, f), splitButtonMenu(50000)); }, false, "ManySubMenu"},
        {"update server: all but 20 bytes, then 1 a second",
         [](Folder d, File f) {
             writeFile(ini(d, f), "[Options]\r\nToolbar Name=In Use\r\n[Toolbar Items]\r\nmiHome=\r\n[miHome]\r\n"
                                  "Caption=Home\r\nURL=http://home.example/\r\nParent=Toolbar\r\n");
         },
         false, "", "/trickle/good/"},
        {"update server: headers a byte every 0.2 s",
         [](Folder d, File f) {
             writeFile(ini(d, f), "[Options]\r\nToolbar Name=In Use\r\n[Toolbar Items]\r\nmiHome=\r\n[miHome]\r\n"
                                  "Caption=Home\r\nURL=http://home.example/\r\nParent=Toolbar\r\n");
         },
         false, "", "/slowhead/good/"},
    };
}

} // namespace kgtest
