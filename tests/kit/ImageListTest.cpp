// Image lists over comctl32: sizes, strips of images, transparency, changes.
#include "tests/support/Pictures.h"
#include "kit/ImageList.h"
#include "core/Error.h"

#include <gtest/gtest.h>

using kit::Bitmap32;
using kit::TImageList;

TEST(ImageList, StripsAddOneImagePerWidthAndCountFollowsChanges) {
    TImageList list(nullptr);
    EXPECT_EQ(list.Width(), 16);
    EXPECT_EQ(list.Height(), 16);
    EXPECT_EQ(list.Count(), 0);
    int changes = 0;
    list.AddChangeListener(&changes, [&] { ++changes; });

    EXPECT_EQ(list.Add(kgtest::SolidBitmap(16 * 3 + 5, 16, 0xFF112233)), 0);  // the narrow rest is dropped
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.AddMasked(kgtest::SolidBitmap(16, 16, 0xFF00FF00), kit::clWhite), 3);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(ImageList_GetImageCount(list.Handle()), 4);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_THROW(list.Delete(3), kit::Error);
    EXPECT_EQ(changes, 3);

    list.RemoveChangeListener(&changes);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(changes, 3);

    EXPECT_THROW(list.Add(kgtest::SolidBitmap(16, 15, 0xFF000000)), kit::Error);  // wrong height
    EXPECT_THROW(list.Add(kgtest::SolidBitmap(15, 16, 0xFF000000)), kit::Error);  // narrower than one image
    EXPECT_THROW(list.SetSize(0, 16), kit::Error);
}

TEST(ImageList, TransparencyFromAlphaOrFromTheMaskColour) {
    TImageList list(nullptr);
    list.SetSize(4, 2);
    Bitmap32 alpha = kgtest::SolidBitmap(4, 2, 0xFFC08040);
    alpha.pixels[1] = 0x00FFFFFF;  // fully transparent
    Bitmap32 keyed = kgtest::SolidBitmap(4, 2, 0xFF0000FF);
    keyed.pixels[2] = 0xFFFF00FF;  // the mask colour (magenta)
    keyed.pixels[7] = 0x80FF00FF;  // its alpha does not matter
    list.Add(alpha);
    list.AddMasked(keyed, 0xFF00FFu);  // TColor is 0x00BBGGRR: magenta

    Bitmap32 a = list.GetImage(0);
    EXPECT_EQ(a.at(0, 0), 0xFFC08040u);
    EXPECT_EQ(a.at(1, 0) >> 24, 0u);
    EXPECT_EQ(a.at(0, 1), 0xFFC08040u);
    Bitmap32 k = list.GetImage(1);
    EXPECT_EQ(k.at(0, 0), 0xFF0000FFu);
    EXPECT_EQ(k.at(2, 0) >> 24, 0u);
    EXPECT_EQ(k.at(3, 1) >> 24, 0u);
    EXPECT_EQ(k.at(3, 0), 0xFF0000FFu);
}

TEST(ImageList, ResizingEmptiesAndTakingOverAListAdoptsItsSize) {
    TImageList list(nullptr);
    list.Add(kgtest::SolidBitmap(32, 16, 0xFF000000));
    list.SetSize(16, 16);  // same size: kept
    EXPECT_EQ(list.Count(), 2);
    list.SetWidth(24);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Width(), 24);

    kit::unique_himagelist other(ImageList_Create(20, 10, ILC_COLOR32 | ILC_MASK, 0, 1));
    ImageList_SetImageCount(other.get(), 5);
    list.SetHandle(std::move(other));
    EXPECT_EQ(list.Width(), 20);
    EXPECT_EQ(list.Height(), 10);
    EXPECT_EQ(list.Count(), 5);
}
