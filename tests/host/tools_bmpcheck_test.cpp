// The bitmap-set checker on the generated set and on broken copies of it:
// each kind of fault is found, named by its file and told in what the user
// would see, and the exit status says whether anything was found.
#include "tools_test_files.h"

#include <set>

using namespace disc_test;

namespace {

const fs::path kBitmaps = fs::path(ZEPH_ART_DIR) / "bitmaps";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Hex(const Color& c)
{
    char sz[8];
    std::snprintf(sz, sizeof sz, "#%02X%02X%02X", c[0], c[1], c[2]);
    return sz;
}

// An 8-bit picture of one colour-table index with the shared table taken
// from a file of the set.
std::vector<uint8_t> PlainBitmap(const std::vector<uint8_t>& tableFrom, int width, int height)
{
    const size_t stride = (size_t(width) + 3) / 4 * 4;
    std::vector<uint8_t> b(tableFrom.begin(), tableFrom.begin() + 1078);
    b.resize(1078 + stride * size_t(height), 20);
    Put32(b, 2, uint32_t(b.size()));
    Put32(b, 18, uint32_t(width));
    Put32(b, 22, uint32_t(height));
    Put32(b, 34, uint32_t(stride * size_t(height)));
    return b;
}

class disc_bmpcheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = m_temp.Path() / "bitmaps";
        fs::copy(kBitmaps, m_dir);
    }

    // Runs the checker on the copy, for the demo's layout or the one of the
    // file given; its lines in m_lines.
    int Check(const fs::path& layout = {})
    {
        std::string output;
        std::vector<std::string> args = {ZEPH_BMPCHECK, m_dir.string()};
        if (!layout.empty())
            args.insert(args.begin() + 1, {"--layout", layout.string()});
        const int status = RunTool(args, &output);
        m_lines = Lines(output);
        return status;
    }

    std::string Only()
    {
        EXPECT_EQ(1u, m_lines.size()) << Joined();
        return m_lines.empty() ? std::string() : m_lines[0];
    }

    std::string Joined() const
    {
        std::string all;
        for (const std::string& line : m_lines)
            all += line + "\n";
        return all;
    }

    fs::path File(const std::string& name) const { return m_dir / name; }

    CTempDir m_temp;
    fs::path m_dir;
    std::vector<std::string> m_lines;
};

} // namespace

TEST_F(disc_bmpcheck, GeneratedSetIsInOrder)
{
    EXPECT_EQ(0, Check()) << Joined();
    ASSERT_EQ(1u, m_lines.size()) << Joined();
    EXPECT_TRUE(Contains(m_lines[0], "in order")) << m_lines[0];
}

TEST_F(disc_bmpcheck, FindsFilesWhateverTheCaseOfTheirNames)
{
    fs::rename(File("8b4u.bmp"), File("8B4U.BMP"));
    fs::rename(File("fire07.bmp"), File("Fire07.Bmp"));
    EXPECT_EQ(0, Check()) << Joined();
}

TEST_F(disc_bmpcheck, MissingShownFrameTellsWhatTheFlameDoes)
{
    fs::remove(File("fire05.bmp"));
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    EXPECT_EQ(0u, line.find("fire05.bmp is missing")) << line;
    EXPECT_TRUE(Contains(line, "big flame")) << line;
    EXPECT_TRUE(Contains(line, "fire04.bmp")) << line;
    EXPECT_TRUE(Contains(line, "one interval")) << line;
}

TEST_F(disc_bmpcheck, FirstFrameMissingKeepsTheSixteenth)
{
    fs::remove(File("fire2_01.bmp"));
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    EXPECT_TRUE(Contains(line, "small flame")) << line;
    EXPECT_TRUE(Contains(line, "fire2_16.bmp")) << line;
}

TEST_F(disc_bmpcheck, FramesNeverShownAreOnlyNoted)
{
    fs::remove(File("fire17.bmp"));
    WriteBytes(File("fire2_30.bmp"), {'X', 'Y'});
    EXPECT_EQ(0, Check()) << Joined();
    ASSERT_EQ(3u, m_lines.size()) << Joined();
    EXPECT_EQ(0u, m_lines[0].find("note: fire17.bmp is missing")) << m_lines[0];
    EXPECT_EQ(0u, m_lines[1].find("note: fire2_30.bmp")) << m_lines[1];
    EXPECT_TRUE(Contains(m_lines[0], "never shows")) << m_lines[0];
}

TEST_F(disc_bmpcheck, MissingButtonPicturesSayWhatTheButtonDoes)
{
    fs::remove(File("8b8u.bmp"));
    fs::remove(File("8b4f.bmp"));
    fs::remove(File("8bexitd.bmp"));
    EXPECT_EQ(1, Check());
    ASSERT_EQ(3u, m_lines.size()) << Joined();
    // In the launcher's order: read-me, play, exit.
    EXPECT_EQ(0u, m_lines[0].find("8b4f.bmp is missing")) << m_lines[0];
    EXPECT_TRUE(Contains(m_lines[0], "read-me button does not light up")) << m_lines[0];
    EXPECT_EQ(0u, m_lines[1].find("8b8u.bmp is missing")) << m_lines[1];
    EXPECT_TRUE(Contains(m_lines[1], "play button is not drawn")) << m_lines[1];
    EXPECT_EQ(0u, m_lines[2].find("8bexitd.bmp is missing")) << m_lines[2];
    EXPECT_TRUE(Contains(m_lines[2], "no pressed picture")) << m_lines[2];
}

TEST_F(disc_bmpcheck, RepalettedPictureNamesTheFirstDifferingEntryAndBothColours)
{
    std::vector<uint8_t> bytes = ReadBytes(File("8b10u.bmp"));
    const Color inForce = {bytes[54 + 4 * 37 + 2], bytes[54 + 4 * 37 + 1], bytes[54 + 4 * 37]};
    bytes[54 + 4 * 37 + 1] ^= 0x10; // green of entry 37
    bytes[54 + 4 * 90] ^= 0x01;     // and a later entry
    WriteBytes(File("8b10u.bmp"), bytes);
    const Color here = {bytes[54 + 4 * 37 + 2], bytes[54 + 4 * 37 + 1], bytes[54 + 4 * 37]};
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    EXPECT_EQ(0u, line.find("8b10u.bmp")) << line;
    EXPECT_TRUE(Contains(line, "entry 37 ")) << line;
    EXPECT_TRUE(Contains(line, Hex(here) + " here")) << line;
    EXPECT_TRUE(Contains(line, Hex(inForce))) << line;
    EXPECT_TRUE(Contains(line, "8orlod.bmp")) << line;
}

// The palette in force is the last file's: when that file is the odd one
// out, one line says so instead of ninety about every other picture.
TEST_F(disc_bmpcheck, RepalettedLastFileIsReportedOnce)
{
    std::vector<uint8_t> bytes = ReadBytes(File("8orlod.bmp"));
    bytes[54 + 4 * 200] ^= 0x80;
    WriteBytes(File("8orlod.bmp"), bytes);
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    EXPECT_EQ(0u, line.find("8orlod.bmp sets the palette")) << line;
    EXPECT_TRUE(Contains(line, "entry 200 ")) << line;
}

// With the last file gone, the palette comes from the one before it; a
// refused last file leaves no palette at all.
TEST_F(disc_bmpcheck, PaletteInForceFollowsTheLastFileThatOpens)
{
    fs::remove(File("8orlod.bmp"));
    std::vector<uint8_t> bytes = ReadBytes(File("8orlof.bmp"));
    bytes[54 + 4 * 12] ^= 0x04;
    WriteBytes(File("8orlof.bmp"), bytes);
    EXPECT_EQ(1, Check());
    ASSERT_EQ(2u, m_lines.size()) << Joined();
    EXPECT_EQ(0u, m_lines[0].find("8orlod.bmp is missing")) << m_lines[0];
    EXPECT_EQ(0u, m_lines[1].find("8orlof.bmp sets the palette")) << m_lines[1];
    EXPECT_TRUE(Contains(m_lines[1], "8orlod.bmp is missing")) << m_lines[1];

    WriteBytes(File("8orlod.bmp"), {'B', 'M', 1, 2, 3});
    EXPECT_EQ(1, Check());
    ASSERT_GE(m_lines.size(), 2u) << Joined();
    EXPECT_TRUE(Contains(m_lines.back(), "no palette is in force")) << m_lines.back();
}

TEST_F(disc_bmpcheck, WrongSizeSaysWhatIsShown)
{
    const std::vector<uint8_t> original = ReadBytes(File("8b1u.bmp"));
    WriteBytes(File("8b1u.bmp"), PlainBitmap(original, 120, 56));
    WriteBytes(File("8b6f.bmp"), PlainBitmap(original, 330, 140));
    EXPECT_EQ(1, Check());
    ASSERT_EQ(2u, m_lines.size()) << Joined();
    EXPECT_EQ(0u, m_lines[0].find("8b1u.bmp is 120 x 56, but the install button is 124 x 56")) << m_lines[0];
    EXPECT_TRUE(Contains(m_lines[0], "top-left 120 x 56")) << m_lines[0];
    EXPECT_EQ(0u, m_lines[1].find("8b6f.bmp is 330 x 140")) << m_lines[1];
    EXPECT_TRUE(Contains(m_lines[1], "only its top-left 320 x 130 pixels are shown")) << m_lines[1];
}

// A disc of its own layout wants only its own elements' pictures, at their
// sizes: not the pictures of buttons it leaves out, nor frames 17 to 30 of a
// flame of 16, nor the flame it leaves out; and the demo's picture where the
// layout wants another size is found. (The flame keeps its brazier, which
// its edges match.)
TEST_F(disc_bmpcheck, AnAuthorsLayoutWantsItsOwnElementsAtTheirSizes)
{
    const fs::path layout = m_temp.Path() / "layout.txt";
    const std::string text = "background 640 452\nbutton 1 300 300 124 56\nbutton 4 20 20 124 56\n"
                             "button 8 300 300 124 56\nbutton 9 480 380 100 40\nflame 0 339 62 50 136 16\n";
    WriteBytes(layout, std::vector<uint8_t>(text.begin(), text.end()));
    std::set<std::string> own = {"8bg1.bmp"};
    for (const char* pszStem : {"8b1", "8b4", "8b8", "8bexit"})
        for (const char* pszKind : {"u", "f", "d"})
            own.insert(std::string(pszStem) + pszKind + ".bmp");
    for (int nFrame = 1; nFrame <= 16; ++nFrame)
        own.insert((nFrame < 10 ? "fire0" : "fire") + std::to_string(nFrame) + ".bmp");
    std::vector<fs::path> others;
    for (const auto& entry : fs::directory_iterator(m_dir))
        if (own.count(entry.path().filename().string()) == 0)
            others.push_back(entry.path());
    for (const fs::path& path : others)
        fs::remove(path);
    EXPECT_EQ(1, Check(layout));
    ASSERT_EQ(3u, m_lines.size()) << Joined();
    for (const char* pszKind : {"u", "f", "d"}) {
        const std::string name = std::string("8bexit") + pszKind + ".bmp";
        EXPECT_TRUE(Contains(Joined(), name + " is 124 x 56, but the exit button is 100 x 40")) << Joined();
        WriteBytes(File(name), PlainBitmap(ReadBytes(File(name)), 100, 40));
    }
    EXPECT_EQ(0, Check(layout)) << Joined();
    EXPECT_TRUE(Contains(Only(), "in order"));

    // The same folder is far from the demo's set.
    EXPECT_EQ(1, Check());
    EXPECT_TRUE(Contains(Joined(), "8b6u.bmp is missing")) << Joined();
}

TEST_F(disc_bmpcheck, FilesTheLauncherRefusesAreNamedWithTheReason)
{
    std::vector<uint8_t> background = ReadBytes(File("8bg1.bmp"));
    background.resize(background.size() / 2); // cut off
    WriteBytes(File("8bg1.bmp"), background);
    WriteBytes(File("8b4u.bmp"), {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    WriteBytes(File("8b4d.bmp"), {'B', 'M', 0, 0});
    std::vector<uint8_t> topDown = ReadBytes(File("8b7f.bmp"));
    Put32(topDown, 22, uint32_t(-68));
    WriteBytes(File("8b7f.bmp"), topDown);
    EXPECT_EQ(1, Check());
    ASSERT_EQ(4u, m_lines.size()) << Joined();
    EXPECT_EQ(0u, m_lines[0].find("8bg1.bmp is shorter than its header says")) << m_lines[0];
    EXPECT_TRUE(Contains(m_lines[0], "refuses")) << m_lines[0];
    EXPECT_TRUE(Contains(m_lines[0], "picture is not drawn")) << m_lines[0];
    EXPECT_EQ(0u, m_lines[1].find("8b4u.bmp does not begin with \"BM\"")) << m_lines[1];
    EXPECT_EQ(0u, m_lines[2].find("8b4d.bmp is only 4 bytes long")) << m_lines[2];
    EXPECT_EQ(0u, m_lines[3].find("8b7f.bmp is stored top row first")) << m_lines[3];
}

TEST_F(disc_bmpcheck, PictureWithoutAPaletteIsNamed)
{
    // The same size in 24 bits per pixel.
    const int w = 124, h = 56;
    const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> b(54 + stride * h, 0x40);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, uint32_t(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, w);
    Put32(b, 22, h);
    b[26] = 1;
    b[27] = 0;
    b[28] = 24;
    b[29] = 0;
    Put32(b, 30, 0);
    Put32(b, 34, 0);
    Put32(b, 38, 0);
    Put32(b, 42, 0);
    Put32(b, 46, 0);
    Put32(b, 50, 0);
    WriteBytes(File("8bdldx7f.bmp"), b);
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    EXPECT_EQ(0u, line.find("8bdldx7f.bmp is a 24-bit picture, not an 8-bit palette picture")) << line;
}

TEST_F(disc_bmpcheck, EmptyFolderIsOneFinding)
{
    for (const auto& entry : fs::directory_iterator(m_dir))
        fs::remove(entry.path());
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    EXPECT_TRUE(Contains(line, "none of the launcher's 91 pictures")) << line;
}

TEST(disc_bmpcheck_use, CannotRunWithoutAFolder)
{
    std::string usage;
    EXPECT_EQ(0, RunTool({ZEPH_BMPCHECK, "--help"}, &usage));
    EXPECT_EQ(0u, usage.find("usage: ")) << usage;
    CTempDir temp;
    WriteBytes(temp.Path() / "file", {1});
    EXPECT_EQ(2, RunTool({ZEPH_BMPCHECK, (temp.Path() / "missing").string()}));
    EXPECT_EQ(2, RunTool({ZEPH_BMPCHECK, (temp.Path() / "file").string()}));
    EXPECT_EQ(2, RunTool({ZEPH_BMPCHECK}));
    EXPECT_EQ(2, RunTool({ZEPH_BMPCHECK, temp.Path().string(), temp.Path().string()}));
}

namespace {

// Where an 8-bit file holds a pixel, x and y counted from the top left; the
// file's rows are stored bottom row first.
size_t PixelAt(const std::vector<uint8_t>& bmp, int x, int y)
{
    const int32_t width = int32_t(U32(bmp, 18)), height = int32_t(U32(bmp, 22));
    const size_t stride = (size_t(width) + 3) / 4 * 4;
    return 1078 + size_t(height - 1 - y) * stride + size_t(x);
}

uint8_t& PixelOf(std::vector<uint8_t>& bmp, int x, int y) { return bmp.at(PixelAt(bmp, x, y)); }

bool OnBorder(int x, int y, int width, int height) { return x == 0 || y == 0 || x == width - 1 || y == height - 1; }

} // namespace

// A flame frame is drawn as a rectangle over the background: a frame painted
// with another edge shows a box around the flame. A few stray pixels of a
// nearby colour do not.
TEST_F(disc_bmpcheck, FlameFrameWhoseEdgeIsNotTheBackgroundIsASeam)
{
    const Bitmap8 background = ReadBitmap8(File("8bg1.bmp"));
    for (const char* name : {"fire04.bmp", "fire2_20.bmp"}) {
        std::vector<uint8_t> frame = ReadBytes(File(name));
        const int w = int(U32(frame, 18)), h = int(U32(frame, 22));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (OnBorder(x, y, w, h))
                    PixelOf(frame, x, y) = 0; // black
        WriteBytes(File(name), frame);
    }
    {
        // Every sixteenth pixel of the edge in the colour nearest its own.
        std::vector<uint8_t> frame = ReadBytes(File("fire10.bmp"));
        int n = 0;
        for (int y = 0; y < 136; ++y)
            for (int x = 0; x < 50; ++x) {
                if (!OnBorder(x, y, 50, 136) || n++ % 16 != 0)
                    continue;
                uint8_t& index = PixelOf(frame, x, y);
                const Color own = background.table[index];
                int best = -1, bestDistance = 0;
                for (int i = 0; i < 256; ++i) {
                    const Color& c = background.table[size_t(i)];
                    const int d = std::abs(c[0] - own[0]) + std::abs(c[1] - own[1]) + std::abs(c[2] - own[2]);
                    if (i != index && (best < 0 || d < bestDistance))
                        best = i, bestDistance = d;
                }
                index = uint8_t(best);
            }
        WriteBytes(File("fire10.bmp"), frame);
    }

    EXPECT_EQ(1, Check());
    ASSERT_EQ(2u, m_lines.size()) << Joined();
    EXPECT_EQ(0u, m_lines[0].find("fire04.bmp does not match the background along its edge: at (")) << m_lines[0];
    EXPECT_TRUE(Contains(m_lines[0], "it is #000000 where 8bg1.bmp is #")) << m_lines[0];
    EXPECT_TRUE(Contains(m_lines[0], "a box shows around the big flame")) << m_lines[0];
    int x = -1, y = -1;
    ASSERT_EQ(2, std::sscanf(m_lines[0].c_str(), "fire04.bmp does not match the background along its edge: at (%d, %d)",
                             &x, &y));
    EXPECT_TRUE(OnBorder(x - 339, y - 62, 50, 136)) << x << ", " << y;
    EXPECT_EQ(0u, m_lines[1].find("note: fire2_20.bmp does not match the background")) << m_lines[1];
    EXPECT_TRUE(Contains(m_lines[1], "small flame")) << m_lines[1];
    EXPECT_TRUE(Contains(m_lines[1], "never shows")) << m_lines[1];
}

// A frame too small for its fire: the flame runs into the frame's top edge.
TEST_F(disc_bmpcheck, FireCutOffByTheFrameIsASeamAtItsEdge)
{
    std::vector<uint8_t> frame = ReadBytes(File("fire2_06.bmp"));
    const std::vector<uint8_t> original = frame;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 25; ++x)
            PixelOf(frame, x, y) = original.at(PixelAt(original, x, y + 30));
    WriteBytes(File("fire2_06.bmp"), frame);
    EXPECT_EQ(1, Check());
    const std::string line = Only();
    int x = -1, y = -1;
    ASSERT_EQ(2, std::sscanf(line.c_str(), "fire2_06.bmp does not match the background along its edge: at (%d, %d)",
                             &x, &y))
        << line;
    EXPECT_EQ(159, y) << line;
    EXPECT_TRUE(Contains(line, "small flame")) << line;
}
