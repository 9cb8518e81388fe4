// The display palettes, the free-space test and the module directory.
#include <gtest/gtest.h>

#include <string>

#include "scan/misc.h"

namespace {

bool SameEntry(const PALETTEENTRY& e, int red, int green, int blue)
{
    return e.peRed == red && e.peGreen == green && e.peBlue == blue && e.peFlags == 0;
}

TEST(DisplayPalette, GrayRamp)
{
    Palette palette;
    ASSERT_TRUE(MakeGrayPalette(palette));
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(palette.Handle(), 0, 256, entries), 256u);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(SameEntry(entries[i], i, i, i)) << i;
}

TEST(DisplayPalette, ColourCubeLayout)
{
    Palette palette;
    ASSERT_TRUE(MakeColorPalette(palette));
    PALETTEENTRY e[256];
    ASSERT_EQ(GetPaletteEntries(palette.Handle(), 0, 256, e), 256u);
    EXPECT_TRUE(SameEntry(e[0], 3, 3, 3));
    EXPECT_TRUE(SameEntry(e[1], 10, 10, 10));
    EXPECT_TRUE(SameEntry(e[35], 248, 248, 248));
    EXPECT_TRUE(SameEntry(e[36], 0, 0, 0));
    EXPECT_TRUE(SameEntry(e[37], 51, 0, 0));      // red varies fastest
    EXPECT_TRUE(SameEntry(e[41], 255, 0, 0));
    EXPECT_TRUE(SameEntry(e[42], 0, 51, 0));      // then green
    EXPECT_TRUE(SameEntry(e[72], 0, 0, 51));      // then blue
    EXPECT_TRUE(SameEntry(e[36 + 1 + 2 * 6 + 3 * 36], 51, 102, 153));
    EXPECT_TRUE(SameEntry(e[251], 255, 255, 255));
    for (int i = 252; i < 256; ++i)
        EXPECT_TRUE(SameEntry(e[i], 255, 255, 255)) << i;
}

TEST(DisplayPalette, ObjectOwnsOneHandleAtATime)
{
    Palette palette;
    ASSERT_TRUE(MakeGrayPalette(palette));
    HPALETTE first = palette.Handle();
    ASSERT_TRUE(MakeColorPalette(palette));
    EXPECT_NE(palette.Handle(), nullptr);
    // The first handle was deleted when the object was rebuilt.
    PALETTEENTRY entry;
    EXPECT_EQ(GetPaletteEntries(first, 0, 1, &entry), 0u);
    palette.Reset();
    EXPECT_EQ(palette.Handle(), nullptr);
}

TEST(HasDiskSpace, AsksTheRealDrive)
{
    EXPECT_TRUE(HasDiskSpace(1));
    EXPECT_TRUE(HasDiskSpace(1000000));
    EXPECT_FALSE(HasDiskSpace(UINT64_C(1) << 62));   // 4 EiB

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string future = std::string(temp) + "not_yet_there.bmp";
    EXPECT_TRUE(HasDiskSpaceAt(future.c_str(), 1000000));
    EXPECT_FALSE(HasDiskSpaceAt(future.c_str(), UINT64_C(1) << 62));
    EXPECT_FALSE(HasDiskSpaceAt("R:\\no_such_drive.bmp", 1));
    EXPECT_FALSE(HasDiskSpaceAt("", 1));
    EXPECT_FALSE(HasDiskSpaceAt(nullptr, 1));
}

TEST(ModuleDirectory, IsTheFolderOfTheModuleWithTheCode)
{
    // Linked into this program, the data source's code lives in the test executable.
    char expected[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, expected, MAX_PATH), 0u);
    *(strrchr(expected, '\\') + 1) = 0;

    char directory[MAX_PATH];
    ASSERT_TRUE(ModuleDirectory(directory));
    EXPECT_STREQ(directory, expected);

    char tooSmall[4];
    EXPECT_FALSE(ModuleDirectory(tooSmall, sizeof(tooSmall)));
    EXPECT_STREQ(tooSmall, "");
}

} // namespace
