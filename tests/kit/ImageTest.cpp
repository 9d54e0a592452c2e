// The picture control: BMP loading, transparency colour, drawing, clicks.
#include "tests/support/Pictures.h"
#include "core/Error.h"
#include "kit/Form.h"
#include "kit/Image.h"
#include "tests/kit/KitTestWindows.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using kit::Bitmap32;
using kit::TImage;
using kittest::Canvas;

namespace {

class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
    }
    const std::string& path() const { return path_; }

private:
    kgtest::TempFolder folder_{"kg-image"};
    std::string path_ = (folder_ / "picture.bmp").string();
};

} // namespace

TEST(Image, LoadsBmpFilesAndKeepsTheOldPictureOnFailure) {
    Bitmap32 source = kgtest::SolidBitmap(3, 2, 0xFF102030);
    source.pixels[0] = 0xFFFF0000;
    TempFile file(kit::EncodeBmp(source, 24));
    TImage image(nullptr);
    image.LoadFromFile(file.path());
    EXPECT_EQ(image.Picture(), source);

    EXPECT_THROW(image.LoadFromFile(file.path() + ".missing"), kit::InOutError);
    TempFile broken({'B', 'M', 1, 2, 3});
    EXPECT_THROW(image.LoadFromFile(broken.path()), kit::Error);
    EXPECT_EQ(image.Picture(), source);
}

// Past what a control can show, a picture is kept reduced, its transparent colour still its own;
// past what memory should hold for it, the file is refused, naming the file and its size.
TEST(Image, LargePicturesAreKeptReducedAndTooLargeFilesRefused) {
    Bitmap32 wide = kgtest::SolidBitmap(kit::kMaxPictureSide * 2 + 1, 3, 0xFF0000FF);
    wide.pixels[2 * wide.width] = 0xFF00FF00;  // lower left: green
    TempFile file(kit::EncodeBmp(wide, 24));
    TImage image(nullptr);
    image.LoadFromFile(file.path());
    EXPECT_EQ(image.Picture().width, kit::kMaxPictureSide);
    EXPECT_EQ(image.Picture().height, 1);
    EXPECT_EQ(image.TransparentColor(), 0x00FF00u);

    std::vector<std::uint8_t> bytes = kit::EncodeBmp(kgtest::SolidBitmap(2, 2, 0xFF102030), 24);
    const Bitmap32 before = image.Picture();
    bytes.resize(kit::kMaxPictureFileBytes + 1, 0);
    TempFile huge(bytes);
    try {
        image.LoadFromFile(huge.path());
        ADD_FAILURE() << "a file above the limit was read";
    } catch (const kit::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Picture file \"" + huge.path() + "\": " +
                                             std::to_string(kit::kMaxPictureFileBytes + 1) + " bytes is too large (at most " +
                                             std::to_string(kit::kMaxPictureFileBytes) + ")");
    }
    EXPECT_EQ(image.Picture(), before);
}

TEST(Image, TransparentColourIsTheLowerLeftPixelOrWhiteForTwoColours) {
    Bitmap32 colour = kgtest::SolidBitmap(4, 3, 0xFF0000FF);
    colour.pixels[2 * 4 + 0] = 0xFF00FF00;  // lower left: green
    colour.pixels[0] = 0xFFFF0000;          // upper left: red
    TImage image(nullptr);
    image.SetPicture(colour);
    EXPECT_EQ(image.TransparentColor(), 0x00FF00u);

    Bitmap32 mono = kgtest::SolidBitmap(8, 2, 0xFFFFFFFF);
    mono.pixels[8] = 0xFF000000;  // lower left black, yet white is the transparent colour
    TempFile file(kit::EncodeBmp(mono, 1));
    image.LoadFromFile(file.path());
    EXPECT_EQ(image.Picture().at(0, 1), 0xFF000000u);
    EXPECT_EQ(image.TransparentColor(), kit::clWhite);
}

TEST(Image, DrawsCentredStretchedAndWithItsTransparentColourLeftOut) {
    // 2 by 2: lower-left blue is the transparent colour when asked for.
    Bitmap32 p = kgtest::SolidBitmap(2, 2, 0xFFFF0000);
    p.pixels[2] = 0xFF0000FF;
    TImage image(nullptr);
    image.SetPicture(p);

    {
        Canvas c(6, 6, 0x00777777);
        image.SetCenter(true);
        image.PaintTo(c.dc.get(), 6, 6);
        EXPECT_EQ(c.at(1, 1), 0x777777u);
        EXPECT_EQ(c.at(2, 2), 0xFF0000u);
        EXPECT_EQ(c.at(2, 3), 0x0000FFu);
    }
    {
        Canvas c(6, 6, 0x00777777);
        image.SetTransparent(true);
        image.PaintTo(c.dc.get(), 6, 6);
        EXPECT_EQ(c.at(2, 2), 0xFF0000u);
        EXPECT_EQ(c.at(2, 3), 0x777777u);  // background shows through
    }
    {
        Canvas c(4, 4, 0x00777777);
        image.SetTransparent(false);
        image.SetStretch(true);
        image.PaintTo(c.dc.get(), 4, 4);
        EXPECT_EQ(c.at(0, 0), 0xFF0000u);
        EXPECT_EQ(c.at(3, 1), 0xFF0000u);
        EXPECT_EQ(c.at(0, 3), 0x0000FFu);
        EXPECT_EQ(c.at(1, 2), 0x0000FFu);
    }
}

TEST(Image, ClickNeedsPressAndReleaseOverThePictureAndTheHandCursorShows) {
    kittest::ForeignWindow site;
    kit::TForm form(nullptr);
    form.SetParentWindow(site.get());
    form.SetBorderStyle(kit::TFormBorderStyle::bsNone);
    form.SetBounds(0, 0, 200, 50);
    form.FinishCreation();
    form.Show();
    TImage image(nullptr);
    image.SetParent(&form);
    image.SetBounds(0, 0, 105, 22);
    image.Cursor = kit::TCursor::crHandPoint;
    int clicks = 0;
    image.OnClick = [&](kit::TComponent* sender) {
        EXPECT_EQ(sender, &image);
        ++clicks;
    };
    HWND h = image.Handle();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(12, 11));
    EXPECT_EQ(clicks, 1);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(150, 11));  // released outside
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(12, 11));   // release without press
    EXPECT_EQ(clicks, 1);

    EXPECT_TRUE(SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));

    image.SetAutoSize(true);
    image.SetPicture(kgtest::SolidBitmap(30, 12, 0xFF000000));
    EXPECT_EQ(image.Width(), 30);
    EXPECT_EQ(image.Height(), 12);
}
