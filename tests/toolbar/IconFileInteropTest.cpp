// The icon file against the platform's own image lists: what our writer makes,
// comctl32's ImageList_Read reads; what comctl32's ImageList_Write makes, our
// reader reads; and the loader fills a comctl32 list from the example's file.
// The stream interfaces first: commctrl.h declares ImageList_Read/Write only after them.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>

#include "core/IconFile.h"
#include "toolbar/IconListLoader.h"

#include "kit/Dib.h"
#include "core/Error.h"
#include "kit/Handles.h"
#include "kit/ImageList.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using kit::Bitmap32;
using toolbar::IconImages;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kBackground = 0x00123456;  // 0x00RRGGBB, behind every drawn image

// Icons whose pixels differ from image to image, with a transparent (magenta) frame and spots.
std::vector<Bitmap32> knownIcons(int count, int size = 16) {
    std::vector<Bitmap32> out;
    for (int i = 0; i < count; ++i) {
        Bitmap32 b{size, size, {}};
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const bool clear = x == 0 || y == 0 || x == size - 1 || (x * 3 + y + i) % 11 == 0;
                b.pixels.push_back(clear ? 0xFFFF00FFu
                                         : 0xFF000000u | static_cast<std::uint32_t>((i * 50 + x * 9) & 0xFF) << 16 |
                                               static_cast<std::uint32_t>((y * 13 + i) & 0xFF) << 8 |
                                               static_cast<std::uint32_t>((x * y + 40 * i) & 0xFF));
            }
        out.push_back(std::move(b));
    }
    return out;
}

// Image `index` of a comctl32 list drawn over kBackground: what a toolbar shows (0x00RRGGBB).
std::vector<std::uint32_t> drawn(HIMAGELIST list, int index) {
    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    const kit::TDib dib = kit::CreateDib32(cx, cy);
    std::uint32_t* px = dib.bits;
    const std::size_t n = static_cast<std::size_t>(cx) * cy;
    std::fill(px, px + n, kBackground);
    kit::unique_hdc dc(CreateCompatibleDC(nullptr));
    {
        kit::select_object use(dc.get(), dib.bitmap.get());
        EXPECT_TRUE(ImageList_Draw(list, index, dc.get(), 0, 0, ILD_NORMAL));
    }
    GdiFlush();
    std::vector<std::uint32_t> out(px, px + n);
    for (auto& p : out) p &= 0xFFFFFF;
    return out;
}

// What drawing image `index` of our model should show.
std::vector<std::uint32_t> expected(const IconImages& list, std::size_t index) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < list.height; ++y)
        for (int x = 0; x < list.width; ++x)
            out.push_back(list.transparentAt(index, x, y) ? kBackground : list.images[index].at(x, y) & 0xFFFFFF);
    return out;
}

kit::com_ptr<IStream> streamOver(const Bytes& bytes) {
    kit::unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    EXPECT_TRUE(memory);
    if (void* p = GlobalLock(memory.get())) {
        std::memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(memory.get());
    }
    kit::com_ptr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(memory.get(), TRUE, stream.GetAddressOf()), S_OK);
    if (stream) memory.release();  // the stream frees it
    return stream;
}

// What comctl32's ImageList_Write makes of a list.
Bytes writtenByComctl32(HIMAGELIST list) {
    kit::com_ptr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
    EXPECT_TRUE(ImageList_Write(list, stream.Get()));
    ULARGE_INTEGER end{};
    EXPECT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end), S_OK);
    HGLOBAL memory = nullptr;
    EXPECT_EQ(GetHGlobalFromStream(stream.Get(), &memory), S_OK);
    Bytes out(static_cast<std::size_t>(end.QuadPart));
    if (const void* p = GlobalLock(memory)) {
        std::memcpy(out.data(), p, out.size());
        GlobalUnlock(memory);
    }
    return out;
}

// A comctl32 list filled through its own ImageList_Add, with a 24- or 32-bit DIB and a mask.
kit::unique_himagelist listFilledByComctl32(const IconImages& images, UINT colorFlag) {
    kit::unique_himagelist list(ImageList_Create(images.width, images.height, colorFlag | ILC_MASK, 1, 4));
    EXPECT_TRUE(list);
    toolbar::FillImageList(list.get(), images);
    return list;
}

struct TempDir {
    kgtest::TempFolder folder{"kg-iconinterop"};
    std::string write(const std::string& name, const Bytes& bytes) const {
        const auto file = folder / name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
};

} // namespace

TEST(IconFileInterop, Comctl32ReadsTheStreamOurWriterMakes) {
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        const IconImages ours = toolbar::MakeIconImages(knownIcons(6), 0xFF00FF);
        const Bytes file = toolbar::WriteIconFile(ours, bits);
        const Bytes il = toolbar::ExtractImageListStream(file.data(), file.size());
        kit::com_ptr<IStream> stream = streamOver(il);
        ASSERT_TRUE(stream);
        kit::unique_himagelist list(ImageList_Read(stream.Get()));
        ASSERT_TRUE(list) << "ImageList_Read refused the stream";
        ASSERT_EQ(ImageList_GetImageCount(list.get()), 6);
        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize(list.get(), &cx, &cy));
        EXPECT_EQ(cx, 16);
        EXPECT_EQ(cy, 16);
        EXPECT_EQ(ImageList_GetBkColor(list.get()), CLR_NONE);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(drawn(list.get(), i), expected(ours, static_cast<std::size_t>(i))) << "image " << i;
    }
}

TEST(IconFileInterop, OurReaderReadsWhatComctl32WritesAtEveryDepth) {
    struct Depth {
        UINT flag;
        int bits;       // of the colour bitmap comctl32 writes; 0 for the screen's, whatever it is
        int tolerance;  // how far a channel may lie from the original; -1 when a palette decides
    };
    const Depth depths[] = {
        {ILC_COLOR4, 4, -1}, {ILC_COLOR8, 8, -1}, {ILC_COLOR16, 16, 8},
        {ILC_COLORDDB, 0, -1}, {ILC_COLOR24, 24, 0}, {ILC_COLOR32, 32, 0},
    };
    for (const Depth& depth : depths) {
        SCOPED_TRACE(depth.flag);
        const IconImages known = toolbar::MakeIconImages(knownIcons(7), 0xFF00FF);
        kit::unique_himagelist list = listFilledByComctl32(known, depth.flag);
        ASSERT_EQ(ImageList_GetImageCount(list.get()), 7);
        const Bytes il = writtenByComctl32(list.get());
        ASSERT_GE(il.size(), 28u);
        EXPECT_EQ(il[2] | il[3] << 8, 0x0101);

        const IconImages read = toolbar::ReadIconFile(toolbar::WrapImageListStream(il, 16, 16));
        if (depth.bits) EXPECT_EQ(read.colorBitsPerPixel, depth.bits);
        ASSERT_EQ(read.images.size(), 7u);
        ASSERT_EQ(read.width, 16);
        ASSERT_EQ(read.height, 16);
        ASSERT_TRUE(read.masked);
        for (std::size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(read.masks[i], known.masks[i]) << "mask " << i;
            // The list comctl32 wrote draws the same as the images we read from it.
            EXPECT_EQ(drawn(list.get(), static_cast<int>(i)), expected(read, i)) << "image " << i;
            if (depth.tolerance < 0) continue;
            const std::vector<std::uint32_t> got = expected(read, i), want = expected(known, i);
            for (std::size_t p = 0; p < got.size(); ++p)
                for (int shift : {0, 8, 16}) {
                    const int a = static_cast<int>(got[p] >> shift & 0xFF), b = static_cast<int>(want[p] >> shift & 0xFF);
                    ASSERT_LE(std::abs(a - b), depth.tolerance) << "image " << i << " pixel " << p;
                }
        }
    }
}

TEST(IconFileInterop, TheFilesBackgroundColourGoesToTheList) {
    TempDir dir;
    IconImages coloured = toolbar::MakeIconImages(knownIcons(3), 0xFF00FF);
    coloured.bkColor = RGB(0x99, 0x66, 0x33);
    const std::string colouredPath = dir.write("coloured.bin", toolbar::WriteIconFile(coloured));
    const std::string plainPath = dir.write("plain.bin", toolbar::WriteIconFile(toolbar::MakeIconImages(knownIcons(2), 0xFF00FF)));

    // comctl32 reads the colour from our stream as well.
    const Bytes il = toolbar::WriteImageListStream(coloured);
    kit::com_ptr<IStream> stream = streamOver(il);
    ASSERT_TRUE(stream);
    kit::unique_himagelist theirs(ImageList_Read(stream.Get()));
    ASSERT_TRUE(theirs);
    EXPECT_EQ(ImageList_GetBkColor(theirs.get()), RGB(0x99, 0x66, 0x33));

    kit::unique_himagelist list(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 4));
    toolbar::ReadIconFileIntoImageList(colouredPath, list.get());
    EXPECT_EQ(ImageList_GetBkColor(list.get()), RGB(0x99, 0x66, 0x33));
    // Drawn normally, the transparent pixels show the colour, as in the list comctl32 read.
    for (int i = 0; i < 3; ++i) {
        std::vector<std::uint32_t> want = expected(coloured, static_cast<std::size_t>(i));
        for (auto& p : want)
            if (p == kBackground) p = 0x996633;
        EXPECT_EQ(drawn(list.get(), i), want) << "image " << i;
        EXPECT_EQ(drawn(theirs.get(), i), want) << "image " << i;
    }
    // A file without a colour takes the list's away.
    toolbar::ReadIconFileIntoImageList(plainPath, list.get());
    EXPECT_EQ(ImageList_GetBkColor(list.get()), CLR_NONE);

    kit::TImageList images(nullptr);
    EXPECT_EQ(images.BkColor(), CLR_NONE);
    toolbar::ReadIconFileIntoImageList(colouredPath, images);
    EXPECT_EQ(images.BkColor(), RGB(0x99, 0x66, 0x33));
    EXPECT_EQ(ImageList_GetBkColor(images.Handle()), RGB(0x99, 0x66, 0x33));
    toolbar::ReadIconFileIntoImageList(plainPath, images);
    EXPECT_EQ(images.BkColor(), CLR_NONE);
    images.SetBkColor(RGB(1, 2, 3));
    EXPECT_EQ(ImageList_GetBkColor(images.Handle()), RGB(1, 2, 3));
}

TEST(IconFileInterop, LoaderFillsListsOfManyImagesAndRefusesHugeOnes) {
    TempDir dir;
    // More images than the loader hands comctl32 at once, into a list that grows by four.
    std::vector<Bitmap32> many;
    for (int i = 0; i < 2100; ++i) {
        Bitmap32 b{4, 4, {}};
        for (int p = 0; p < 16; ++p) b.pixels.push_back(p == 5 ? 0xFFFF00FFu : 0xFF000000u | static_cast<std::uint32_t>(i * 16 + p));
        many.push_back(std::move(b));
    }
    const IconImages model = toolbar::MakeIconImages(std::move(many), 0xFF00FF);
    const std::string path = dir.write("many.bin", toolbar::WriteIconFile(model));
    kit::unique_himagelist list(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 4));
    toolbar::ReadIconFileIntoImageList(path, list.get());
    ASSERT_EQ(ImageList_GetImageCount(list.get()), 2100);
    for (int i : {0, 1, 1023, 1024, 1025, 2047, 2048, 2099})
        EXPECT_EQ(drawn(list.get(), i), expected(model, static_cast<std::size_t>(i))) << "image " << i;

    // One image of 16384 x 16384 in 32 MB: unusable, refused before anything is allocated for it.
    Bytes huge{'I', 'L', 0x00, 0x06, 1, 0, 1, 0, 4, 0, 0x00, 0x40, 0x00, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0,
               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes strip = kit::EncodeBmp(Bitmap32{8, 8, std::vector<std::uint32_t>(64, 0xFF000000u)}, 1);
    huge.insert(huge.end(), strip.begin(), strip.end());
    huge.resize(huge.size() + (32u << 20), 0);
    const std::string hugePath = dir.write("huge.bin", toolbar::WrapImageListStream(huge, 16384, 16384));
    kit::TImageList images(nullptr);
    toolbar::ReadIconFileIntoImageList(path, images);
    try {
        toolbar::ReadIconFileIntoImageList(hugePath, images);
        ADD_FAILURE() << "a list of 16384 x 16384 images was read";
    } catch (const kit::InOutError&) {
        ADD_FAILURE() << "an unusable file reported as unreadable";
    } catch (const kit::Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Icon file \"" + hugePath + "\": Unusable icon file", 0), 0u) << e.what();
    }
    EXPECT_EQ(images.Count(), 2100);
    EXPECT_EQ(images.Width(), 4);
}

TEST(IconFileInterop, LoaderFillsAListFromTheExampleIconFile) {
    const std::string path = std::string(KG_BUILD_DIR) + "/examples/Icons.bin";
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    const IconImages model = toolbar::LoadIconFile(path);
    ASSERT_GE(model.images.size(), 9u);

    for (UINT colorFlag : {static_cast<UINT>(ILC_COLOR24), static_cast<UINT>(ILC_COLOR32)}) {
        SCOPED_TRACE(colorFlag);
        // A list of another size with an image in it: the file replaces both.
        kit::unique_himagelist list(ImageList_Create(32, 32, colorFlag | ILC_MASK, 1, 1));
        ASSERT_TRUE(list);
        toolbar::FillImageList(list.get(), toolbar::MakeIconImages(knownIcons(1, 32), 0xFF00FF));
        ASSERT_EQ(ImageList_GetImageCount(list.get()), 1);

        toolbar::ReadIconFileIntoImageList(path, list.get());
        ASSERT_EQ(ImageList_GetImageCount(list.get()), static_cast<int>(model.images.size()));
        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize(list.get(), &cx, &cy));
        EXPECT_EQ(cx, 16);
        EXPECT_EQ(cy, 16);
        for (std::size_t i = 0; i < model.images.size(); ++i)
            EXPECT_EQ(drawn(list.get(), static_cast<int>(i)), expected(model, i)) << "image " << i;
    }

    // The house's source picture: magenta shows the background, the rest its own colour.
    const Bitmap32 source = kit::LoadBmpFile(std::string(KG_SOURCE_DIR) + "/examples/icons/00-home.bmp");
    kit::unique_himagelist list(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1));
    toolbar::ReadIconFileIntoImageList(path, list.get());
    const std::vector<std::uint32_t> house = drawn(list.get(), 0);
    for (std::size_t p = 0; p < house.size(); ++p) {
        const std::uint32_t want = (source.pixels[p] & 0xFFFFFF) == 0xFF00FF ? kBackground : source.pixels[p] & 0xFFFFFF;
        ASSERT_EQ(house[p], want) << "pixel " << p;
    }
}

TEST(IconFileInterop, LoaderFillsTheKitImageList) {
    const std::string path = std::string(KG_BUILD_DIR) + "/examples/Icons.bin";
    const IconImages model = toolbar::LoadIconFile(path);
    kit::TImageList images(nullptr);
    images.SetSize(24, 24);
    int changes = 0;
    images.AddChangeListener(&changes, [&changes] { ++changes; });
    toolbar::ReadIconFileIntoImageList(path, images);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(images.Width(), 16);
    EXPECT_EQ(images.Height(), 16);
    ASSERT_EQ(images.Count(), static_cast<int>(model.images.size()));
    const Bitmap32 star = images.GetImage(7);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool clear = model.transparentAt(7, x, y);
            ASSERT_EQ(star.at(x, y) >> 24 == 0, clear) << x << "," << y;
            if (!clear) ASSERT_EQ(star.at(x, y) & 0xFFFFFF, model.images[7].at(x, y) & 0xFFFFFF) << x << "," << y;
        }
}

TEST(IconFileInterop, LoaderReadsStreamsComctl32CannotAndKeepsTheListOnErrors) {
    TempDir dir;
    // A version 0x0600 stream (one image to a row), which this comctl32 refuses.
    const std::vector<Bitmap32> icons = knownIcons(3, 8);
    Bitmap32 column{8, 24, {}};
    for (const auto& icon : icons) column.pixels.insert(column.pixels.end(), icon.pixels.begin(), icon.pixels.end());
    Bytes il{'I', 'L', 0x00, 0x06, 3, 0, 3, 0, 4, 0, 8, 0, 8, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x18, 0,
             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes strip = kit::EncodeBmp(column, 24);
    il.insert(il.end(), strip.begin(), strip.end());
    const Bytes file = toolbar::WrapImageListStream(il, 8, 8);

    kit::unique_himagelist list(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1));
    toolbar::ReadIconStreamIntoImageList(file, list.get());
    ASSERT_EQ(ImageList_GetImageCount(list.get()), 3);
    const IconImages model = toolbar::ReadIconFile(file);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(drawn(list.get(), static_cast<int>(i)), expected(model, i));

    // Unreadable and malformed files raise their own errors and leave the list alone.
    EXPECT_THROW(toolbar::ReadIconFileIntoImageList((dir.folder / "missing.bin").string(), list.get()), kit::InOutError);
    Bytes broken = file;
    broken.resize(broken.size() - 10);
    const std::string brokenPath = dir.write("broken.bin", broken);
    try {
        toolbar::ReadIconFileIntoImageList(brokenPath, list.get());
        ADD_FAILURE() << "a truncated file was read";
    } catch (const kit::InOutError&) {
        ADD_FAILURE() << "a malformed file reported as unreadable";
    } catch (const kit::Error&) {
    }
    EXPECT_EQ(ImageList_GetImageCount(list.get()), 3);
    EXPECT_THROW(toolbar::ReadIconStreamIntoImageList(Bytes{0xFF, 10, 0}, list.get()), kit::Error);
    EXPECT_EQ(ImageList_GetImageCount(list.get()), 3);
}
