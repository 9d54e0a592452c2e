// iconpack: packs 16x16 BMP pictures into an icon file ("Icons.bin") and lists
// what an icon file holds. Portable: it needs nothing but the core.
#include "core/Bmp.h"
#include "core/Error.h"
#include "core/IconFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kIconSize = 16;
constexpr std::uint32_t kTransparentColor = 0xFF00FF;  // magenta

const char* const kUsage =
    "usage: iconpack pack [--bits 24|32] OUT.bin IN1.bmp [IN2.bmp ...]\n"
    "       iconpack list [--preview] FILE.bin\n"
    "\n"
    "pack  packs 16x16 BMP pictures into an icon file (\"Icons.bin\"), image n being\n"
    "      the n-th picture given. Pixels of pure magenta (#FF00FF) are transparent;\n"
    "      so are pixels with an alpha below 128 in pictures that have an alpha\n"
    "      channel. --bits chooses the colour depth stored (24, the default, or 32,\n"
    "      which keeps partial transparency).\n"
    "list  shows what an icon file holds: image size, count, mask, stream version,\n"
    "      and a line per image; --preview also draws each image in characters\n"
    "      ('.' transparent, '#' dark, '+' medium, '-' light).\n"
    "\n"
    "Exit status: 0 done, 1 bad input (the reason on standard error), 2 wrong usage.\n";

struct UsageError {};

int pack(const std::vector<std::string>& args) {
    int bits = 24;
    std::size_t i = 0;
    if (i < args.size() && args[i] == "--bits") {
        if (i + 1 >= args.size() || (args[i + 1] != "24" && args[i + 1] != "32")) throw UsageError{};
        bits = std::stoi(args[i + 1]);
        i += 2;
    }
    if (args.size() < i + 2) throw UsageError{};
    const std::string out = args[i];
    std::vector<kit::Bitmap32> pictures;
    for (std::size_t k = i + 1; k < args.size(); ++k) {
        const std::string& path = args[k];
        kit::Bitmap32 picture;
        try {
            picture = kit::LoadBmpFile(path);
        } catch (const kit::Error& e) {
            throw kit::Error(path + ": " + e.what());
        }
        if (picture.width != kIconSize || picture.height != kIconSize)
            throw kit::Error(path + ": the picture is " + std::to_string(picture.width) + "x" +
                             std::to_string(picture.height) + " pixels; icons must be 16x16");
        pictures.push_back(std::move(picture));
    }
    const std::vector<std::uint8_t> file =
        toolbar::WriteIconFile(toolbar::MakeIconImages(std::move(pictures), kTransparentColor), bits);
    std::ofstream os(out, std::ios::binary | std::ios::trunc);
    // What stands at that path is not ours to remove unless we opened it for writing.
    if (!os) throw kit::InOutError("Cannot write file \"" + out + "\"");
    os.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    os.close();
    if (!os) {
        std::remove(out.c_str());
        throw kit::InOutError("Cannot write file \"" + out + "\"");
    }
    return 0;
}

std::string hexColor(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
    return text;
}

std::string describeColor(std::uint32_t c) { return c == toolbar::kNoColor ? "none" : hexColor(c); }

void listImage(const toolbar::IconImages& list, std::size_t n, bool preview) {
    const kit::Bitmap32& image = list.images[n];
    std::size_t opaque = 0;
    std::uint64_t r = 0, g = 0, b = 0;
    std::set<std::uint32_t> colors;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (list.transparentAt(n, x, y)) continue;
            const std::uint32_t px = image.at(x, y);
            ++opaque;
            colors.insert(px & 0xFFFFFF);
            r += (px >> 16) & 0xFF;
            g += (px >> 8) & 0xFF;
            b += px & 0xFF;
        }
    std::cout << "  " << n << ": " << opaque << " of " << image.pixels.size() << " pixels opaque, " << colors.size()
              << (colors.size() == 1 ? " colour" : " colours");
    if (opaque)
        std::cout << ", mean " << hexColor(static_cast<std::uint32_t>((r / opaque) << 16 | (g / opaque) << 8 | (b / opaque)));
    std::cout << "\n";
    if (!preview) return;
    for (int y = 0; y < image.height; ++y) {
        std::cout << "     ";
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t px = image.at(x, y);
            const unsigned light = ((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF);
            std::cout << (list.transparentAt(n, x, y) ? '.' : light < 250 ? '#' : light < 500 ? '+' : '-');
        }
        std::cout << "\n";
    }
}

int list(const std::vector<std::string>& args) {
    bool preview = false;
    std::size_t i = 0;
    if (i < args.size() && args[i] == "--preview") {
        preview = true;
        ++i;
    }
    if (args.size() != i + 1) throw UsageError{};
    const std::string& path = args[i];
    const std::vector<std::uint8_t> bytes = toolbar::ReadFileBytes(path);
    const toolbar::IconFileInfo info = toolbar::ParseIconFile(bytes.data(), bytes.size());
    std::cout << path << ": object \"" << info.objectName << "\" of class " << info.className << ", resource \""
              << info.resourceName << "\"\n";
    if (!info.bitmap) {
        std::cout << "  no images (no \"Bitmap\" property); Width " << info.widthProperty << ", Height "
                  << info.heightProperty << "\n";
        return 0;
    }
    const toolbar::IconImages images = toolbar::ReadImageListStream(info.bitmap->data(), info.bitmap->size());
    char version[8];
    std::snprintf(version, sizeof version, "0x%04X", images.version);
    std::cout << "  " << images.images.size() << (images.images.size() == 1 ? " image" : " images") << " of "
              << images.width << "x" << images.height << ", " << (images.masked ? "masked" : "no mask")
              << ", image list stream version " << version << ", capacity " << images.capacity << ", grow "
              << images.grow << ", background " << describeColor(images.bkColor);
    if (images.colorBitsPerPixel) std::cout << ", colour bitmap " << images.colorBitsPerPixel << " bits";
    std::cout << "\n";
    for (std::size_t n = 0; n < images.images.size(); ++n) listImage(images, n, preview);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 1 ? 2 : argc), argv + argc);
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "pack") return pack(args);
        if (command == "list") return list(args);
        if (command == "--help" || command == "-h") {
            std::cout << kUsage;
            return 0;
        }
        throw UsageError{};
    } catch (const UsageError&) {
        std::cerr << kUsage;
        return 2;
    } catch (const kit::Error& e) {
        std::cerr << "iconpack: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "iconpack: " << e.what() << "\n";
        return 1;
    }
}
