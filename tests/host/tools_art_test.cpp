// The generated pictures of the demo disc: the same bytes on every run, the
// format and sizes the launcher needs, one shared colour table, and pictures
// that fit together on the screen (flames and buttons drawn over the
// background leave no seams, the flame loop closes, lit and pressed pictures
// look lit and pressed).
#include "tools_test_files.h"

#include <set>

using namespace disc_test;

namespace {

const fs::path kArt = ZEPH_ART_DIR;

class disc_art : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_background = ReadBitmap8(kArt / "bitmaps" / "8bg1.bmp"); }
    static Bitmap8 s_background;

    // Pixels of the picture within `margin` of its edge that differ from the
    // background's at the same place in the window.
    static int RingDifferences(const Bitmap8& picture, Place place, int margin)
    {
        int differences = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const bool bRing = x < margin || y < margin || x >= picture.width - margin || y >= picture.height - margin;
                if (bRing && picture.At(x, y) != s_background.At(place.x + x, place.y + y))
                    ++differences;
            }
        return differences;
    }

    static double Luminance(const Bitmap8& picture)
    {
        double sum = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const Color c = picture.ColorAt(x, y);
                sum += 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
            }
        return sum / (picture.width * picture.height);
    }
};

Bitmap8 disc_art::s_background;

// Mean difference per channel between two pictures of one size.
double Distance(const Bitmap8& a, const Bitmap8& b)
{
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(a.ColorAt(x, y)[c]) - int(b.ColorAt(x, y)[c]));
    return sum / (3.0 * a.width * a.height);
}

std::set<std::string> FileNames(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST_F(disc_art, ASecondRunWritesTheSameBytes)
{
    CTempDir temp;
    ASSERT_EQ(0, RunTool({ZEPH_DISCART, temp.Path().string()}));
    std::set<std::string> expected;
    for (const ExpectedFile& file : ExpectedFiles())
        expected.insert(file.name);
    EXPECT_EQ(expected, FileNames(temp.Path() / "bitmaps"));
    for (const std::string& name : FileNames(kArt / "bitmaps"))
        EXPECT_EQ(ReadBytes(kArt / "bitmaps" / name), ReadBytes(temp.Path() / "bitmaps" / name)) << name;
    EXPECT_EQ(ReadBytes(kArt / "zephrane.ico"), ReadBytes(temp.Path() / "zephrane.ico"));
}

TEST_F(disc_art, GeneratorRefusesWrongUse)
{
    EXPECT_EQ(2, RunTool({ZEPH_DISCART}));
    // A file where the output folder should be.
    CTempDir temp;
    WriteBytes(temp.Path() / "file", {1, 2, 3});
    EXPECT_EQ(1, RunTool({ZEPH_DISCART, (temp.Path() / "file").string()}));
}

TEST_F(disc_art, EveryFileIsAnEightBitPictureOfItsElementsSizeWithTheSharedTable)
{
    ASSERT_EQ(640, s_background.width);
    for (const ExpectedFile& file : ExpectedFiles()) {
        const Bitmap8 bmp = ReadBitmap8(kArt / "bitmaps" / file.name);
        EXPECT_EQ(file.width, bmp.width) << file.name;
        EXPECT_EQ(file.height, bmp.height) << file.name;
        EXPECT_EQ(s_background.table, bmp.table) << file.name;
    }
}

// On a 256-colour display the system keeps twenty colours of its own; a
// table that holds them at both ends, and otherwise only distinct colours,
// is realised with every entry exact.
TEST_F(disc_art, SharedTableHoldsTheSystemColoursAtItsEndsAndNoColourTwice)
{
    const std::vector<Color>& table = s_background.table;
    ASSERT_EQ(256u, table.size());
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(StaticColorsLow()[i], table[i]) << "entry " << i;
        EXPECT_EQ(StaticColorsHigh()[i], table[246 + i]) << "entry " << 246 + i;
    }
    EXPECT_EQ(256u, std::set<Color>(table.begin(), table.end()).size());
}

TEST_F(disc_art, FlameFramesCarryTheBackgroundAroundTheFire)
{
    for (const ExpectedFile& file : ExpectedFiles()) {
        if (file.name.rfind("fire", 0) != 0)
            continue;
        const Bitmap8 frame = ReadBitmap8(kArt / "bitmaps" / file.name);
        const Place place = PlaceOf(file.name);
        EXPECT_EQ(0, RingDifferences(frame, place, 3)) << file.name;
        // And there is fire in it: a good part of the frame is not background.
        int changed = 0;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                changed += frame.At(x, y) != s_background.At(place.x + x, place.y + y);
        EXPECT_GT(changed, frame.width * frame.height / 10) << file.name;
    }
}

// Frame 16 is followed by frame 1: that step must be one like any other.
// The frames the launcher never shows are the fire burning on past frame 16,
// so they show what really follows it: frame 17 must be frame 1 again, and so
// on, and every shown step must move the fire.
TEST_F(disc_art, FlameLoopsCloseWithoutAJump)
{
    for (const char* prefix : {"fire", "fire2_"}) {
        std::vector<Bitmap8> frames;
        for (int n = 1; n <= 30; ++n) {
            char sz[32];
            std::snprintf(sz, sizeof sz, "%s%02d.bmp", prefix, n);
            frames.push_back(ReadBitmap8(kArt / "bitmaps" / sz));
        }
        for (size_t i = 0; i < 16; ++i)
            EXPECT_GT(Distance(frames[i], frames[(i + 1) % 16]), 0.5)
                << prefix << ": frame " << i + 1 << " and the next are alike";
        for (size_t i = 16; i < 30; ++i)
            EXPECT_EQ(frames[i - 16].pixels, frames[i].pixels)
                << prefix << ": frame " << i + 1 << " is not frame " << i - 15 << " again";
    }
}

TEST_F(disc_art, ButtonsBlendIntoTheWallAndLightUpAndPressIn)
{
    for (const char* stem : {"8b1", "8bdldx7", "8b4", "8b6", "8b7", "8b8", "8bexit", "8b10", "8bvexa", "8orlo"}) {
        const std::string s = stem;
        const Bitmap8 up = ReadBitmap8(kArt / "bitmaps" / (s + "u.bmp"));
        const Bitmap8 focus = ReadBitmap8(kArt / "bitmaps" / (s + "f.bmp"));
        const Bitmap8 down = ReadBitmap8(kArt / "bitmaps" / (s + "d.bmp"));
        const Place place = PlaceOf(s + "u.bmp");
        // The logo keeps three columns: the big flame's frames cover its two
        // rightmost ones.
        const int margin = s == "8b6" ? 3 : 2;
        for (const Bitmap8* picture : {&up, &focus, &down})
            EXPECT_EQ(0, RingDifferences(*picture, place, margin)) << stem;
        EXPECT_GT(Luminance(focus), Luminance(up) + 4.0) << stem << ": the lit picture is not lit";
        EXPECT_LT(Luminance(down), Luminance(up) - 2.0) << stem << ": the pressed picture is not darker";
        EXPECT_GT(Distance(up, focus), 2.0) << stem;
        EXPECT_GT(Distance(up, down), 2.0) << stem;
    }
}

TEST_F(disc_art, IconHoldsThreeSizesInSixteenAndTwoHundredFiftySixColours)
{
    const std::vector<uint8_t> ico = ReadBytes(kArt / "zephrane.ico");
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(0, U16(ico, 0));
    EXPECT_EQ(1, U16(ico, 2));
    const int count = U16(ico, 4);
    std::set<std::pair<int, int>> found;
    for (int i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t(i);
        const int size = ico.at(entry), bits = U16(ico, entry + 6);
        found.insert({size, bits});
        EXPECT_EQ(size, ico.at(entry + 1));
        EXPECT_EQ(bits == 4 ? 16 : 0, ico.at(entry + 2));
        const uint32_t bytes = U32(ico, entry + 8), offset = U32(ico, entry + 12);
        ASSERT_LE(size_t(offset) + bytes, ico.size());
        EXPECT_EQ(40u, U32(ico, offset));
        EXPECT_EQ(uint32_t(size), U32(ico, offset + 4));
        EXPECT_EQ(uint32_t(2 * size), U32(ico, offset + 8)) << "colour rows and mask rows";
        EXPECT_EQ(bits, U16(ico, offset + 14));
        const size_t colorRow = (size_t(size) * size_t(bits) + 31) / 32 * 4, maskRow = (size_t(size) + 31) / 32 * 4;
        EXPECT_EQ(40 + (size_t(1) << bits) * 4 + (colorRow + maskRow) * size_t(size), bytes);
        // A round medallion: the corners are clear, the middle is drawn.
        const size_t mask = offset + 40 + (size_t(1) << bits) * 4 + colorRow * size_t(size);
        auto clear = [&](int x, int y) { // y counted from the top
            return (ico.at(mask + size_t(size - 1 - y) * maskRow + size_t(x) / 8) & (0x80 >> (x % 8))) != 0;
        };
        EXPECT_TRUE(clear(0, 0) && clear(size - 1, 0) && clear(0, size - 1) && clear(size - 1, size - 1)) << size;
        EXPECT_FALSE(clear(size / 2, size / 2)) << size;
    }
    const std::set<std::pair<int, int>> expected = {{16, 4}, {16, 8}, {32, 4}, {32, 8}, {48, 4}, {48, 8}};
    EXPECT_EQ(expected, found);
}
