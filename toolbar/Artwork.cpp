#include "toolbar/Artwork.h"

#include <cstdlib>

namespace kg {
namespace {

class Canvas {
public:
    Canvas(int w, int h, std::uint32_t fill) {
        image.width = w;
        image.height = h;
        image.pixels.assign(static_cast<std::size_t>(w) * h, fill);
    }
    void pixel(int x, int y, std::uint32_t c) {
        if (x >= 0 && y >= 0 && x < image.width && y < image.height)
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = c;
    }
    void rect(int x0, int y0, int x1, int y1, std::uint32_t c) {  // filled, inclusive
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) pixel(x, y, c);
    }
    void frame(int x0, int y0, int x1, int y1, std::uint32_t c) {
        line(x0, y0, x1, y0, c);
        line(x0, y1, x1, y1, c);
        line(x0, y0, x0, y1, c);
        line(x1, y0, x1, y1, c);
    }
    void line(int x0, int y0, int x1, int y1, std::uint32_t c) {
        const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
        const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            pixel(x0, y0, c);
            if (x0 == x1 && y0 == y1) break;
            const int e2 = 2 * err;
            if (e2 >= dy) { err += dy; x0 += sx; }
            if (e2 <= dx) { err += dx; y0 += sy; }
        }
    }
    void ring(int cx, int cy, int r, std::uint32_t c) {
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x) {
                const int d = x * x + y * y;
                if (d <= r * r && d > (r - 1) * (r - 1)) pixel(cx + x, cy + y, c);
            }
    }
    void disc(int cx, int cy, int r, std::uint32_t c) {
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x)
                if (x * x + y * y <= r * r) pixel(cx + x, cy + y, c);
    }
    kit::Bitmap32 image;
};

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kGrey = 0xFF808080;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kBlue = 0xFF1F5FBF;
constexpr std::uint32_t kRed = 0xFFC02020;
constexpr std::uint32_t kGreen = 0xFF208A3C;
constexpr std::uint32_t kYellow = 0xFFE8C040;
constexpr std::uint32_t kPaper = 0xFFF4F4EC;

void page(Canvas& c, int x0, int y0, int x1, int y1) {
    c.rect(x0, y0, x1, y1, kPaper);
    c.frame(x0, y0, x1, y1, kGrey);
}

void textLines(Canvas& c, int x0, int y0, int x1, int rows) {
    for (int i = 0; i < rows; ++i) c.line(x0, y0 + 2 * i, x1, y0 + 2 * i, kBlue);
}

kit::Bitmap32 cut() {
    Canvas c(16, 16, kClear);
    c.line(5, 1, 10, 9, kGrey);
    c.line(10, 1, 5, 9, kGrey);
    c.ring(4, 12, 3, kRed);
    c.ring(11, 12, 3, kRed);
    return c.image;
}
kit::Bitmap32 copy() {
    Canvas c(16, 16, kClear);
    page(c, 1, 1, 9, 11);
    textLines(c, 3, 3, 7, 4);
    page(c, 6, 4, 14, 14);
    textLines(c, 8, 6, 12, 4);
    return c.image;
}
kit::Bitmap32 paste() {
    Canvas c(16, 16, kClear);
    c.rect(2, 2, 12, 14, 0xFFA0703C);
    c.rect(5, 1, 9, 3, kGrey);
    page(c, 7, 6, 14, 15);
    textLines(c, 9, 8, 12, 3);
    return c.image;
}
kit::Bitmap32 erase() {
    Canvas c(16, 16, kClear);
    for (int d = -1; d <= 1; ++d) {
        c.line(3 + d, 3, 12 + d, 12, kRed);
        c.line(12 + d, 3, 3 + d, 12, kRed);
    }
    return c.image;
}
kit::Bitmap32 selectAll() {
    Canvas c(16, 16, kClear);
    page(c, 2, 1, 13, 14);
    c.rect(4, 3, 11, 12, 0xFF9DC3F0);
    textLines(c, 5, 4, 10, 5);
    return c.image;
}
kit::Bitmap32 save() {
    Canvas c(16, 16, kClear);
    c.rect(1, 1, 14, 14, kBlue);
    c.rect(4, 1, 11, 6, kWhite);
    c.rect(4, 9, 11, 14, kGrey);
    c.rect(9, 2, 10, 5, kBlue);
    return c.image;
}
kit::Bitmap32 load() {
    Canvas c(16, 16, kClear);
    c.rect(1, 4, 14, 14, kYellow);
    c.rect(1, 2, 6, 4, kYellow);
    c.frame(1, 4, 14, 14, 0xFFA07820);
    c.line(8, 6, 8, 12, kGreen);
    c.line(5, 9, 8, 12, kGreen);
    c.line(11, 9, 8, 12, kGreen);
    return c.image;
}
kit::Bitmap32 edit() {
    Canvas c(16, 16, kClear);
    page(c, 1, 1, 10, 14);
    textLines(c, 3, 3, 8, 5);
    c.line(14, 4, 7, 13, kYellow);
    c.line(15, 5, 8, 14, 0xFFA07820);
    c.pixel(7, 14, kBlack);
    return c.image;
}
kit::Bitmap32 refresh() {
    Canvas c(16, 16, kClear);
    c.ring(8, 8, 6, kGreen);
    c.ring(8, 8, 5, kGreen);
    c.rect(8, 1, 15, 7, kClear);
    c.line(9, 1, 13, 5, kGreen);
    c.line(13, 5, 9, 5, kGreen);
    c.line(13, 5, 13, 1, kGreen);
    return c.image;
}
kit::Bitmap32 removeOne() {
    Canvas c(16, 16, kClear);
    page(c, 1, 1, 14, 14);
    textLines(c, 3, 3, 12, 2);
    c.rect(3, 7, 12, 8, kRed);
    textLines(c, 3, 11, 12, 1);
    return c.image;
}
kit::Bitmap32 clearAll() {
    Canvas c(16, 16, kClear);
    c.rect(3, 4, 12, 14, kGrey);
    c.rect(1, 2, 14, 3, kBlack);
    c.rect(6, 1, 9, 1, kBlack);
    for (int x = 5; x <= 10; x += 2) c.line(x, 6, x, 12, kWhite);
    return c.image;
}
kit::Bitmap32 website() {
    Canvas c(16, 16, kClear);
    c.disc(8, 8, 7, kBlue);
    c.line(1, 8, 15, 8, kWhite);
    c.line(8, 1, 8, 15, kWhite);
    c.ring(8, 8, 4, kWhite);
    c.rect(3, 4, 6, 6, kGreen);
    c.rect(10, 10, 12, 12, kGreen);
    return c.image;
}
kit::Bitmap32 support() {
    Canvas c(16, 16, kClear);
    c.rect(1, 3, 14, 12, kPaper);
    c.frame(1, 3, 14, 12, kGrey);
    c.line(1, 3, 8, 8, kBlue);
    c.line(14, 3, 8, 8, kBlue);
    return c.image;
}

} // namespace

std::vector<kit::Bitmap32> MakeMenuIcons() {
    return {cut(), copy(), paste(), erase(), selectAll(), save(), load(),
            edit(), refresh(), removeOne(), clearAll(), website(), support()};
}

kit::Bitmap32 MakeDesignBanner() {
    Canvas c(105, 22, 0xFF20406A);
    for (int y = 0; y < 22; ++y)  // a soft vertical gradient
        c.line(0, y, 104, y, 0xFF000000 | static_cast<std::uint32_t>((0x20 + y * 2) << 16 | (0x40 + y * 3) << 8 | (0x6A + y * 4)));
    c.disc(11, 11, 7, kYellow);
    c.line(5, 11, 17, 11, 0xFF20406A);
    c.frame(0, 0, 104, 21, 0xFF10203A);
    for (int x = 24; x < 100; x += 6) c.rect(x, 9, x + 3, 12, kWhite);
    return c.image;
}

} // namespace kg
