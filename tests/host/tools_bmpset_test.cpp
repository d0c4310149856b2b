// bmpset on art made from the demo disc's own pictures by smoothart: the set
// it writes is what the launcher needs and what bmpcheck passes, it stays
// close to the art (measured against ImageMagick's remapping in the same
// run), its flames hold still where their art does, PNG files of every kind
// give the same bitmaps, and a broken set is refused picture by picture with
// nothing written.
#include "tools_test_files.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

using namespace disc_test;

namespace {

const fs::path kBitmaps = fs::path(ZEPH_ART_DIR) / "bitmaps";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string ArtName(const std::string& bitmapName) { return bitmapName.substr(0, bitmapName.size() - 4) + ".png"; }

// A picture as its author painted it: true colour, top row first.
struct Art {
    int width = 0, height = 0;
    std::vector<Color> pixels;
};

// A PNG file's pixels as 8-bit RGB.
Art ReadPng(const fs::path& path)
{
    Art art;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return art;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        return art;
    }
    art.width = int(image.width);
    art.height = int(image.height);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        art.pixels.push_back(Color{rgb[i], rgb[i + 1], rgb[i + 2]});
    return art;
}

bool WritePngBytes(const fs::path& path, int width, int height, uint32_t format, const std::vector<uint8_t>& bytes)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = format;
    return png_image_write_to_file(&image, path.string().c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

// The art in one of libpng's 8-bit formats: grey keeps the red channel,
// and alpha is opaque.
bool WritePng(const fs::path& path, const Art& art, uint32_t format)
{
    const size_t channels = PNG_IMAGE_PIXEL_CHANNELS(format);
    std::vector<uint8_t> bytes;
    for (const Color& c : art.pixels) {
        bytes.insert(bytes.end(), c.begin(), c.begin() + long(std::min<size_t>(channels, 3)));
        if (channels == 4)
            bytes.push_back(255);
    }
    return WritePngBytes(path, art.width, art.height, format, bytes);
}

// A PNG file's bit depth and colour type, from its header.
std::pair<int, int> PngKind(const fs::path& path)
{
    const std::vector<uint8_t> b = ReadBytes(path);
    return b.size() < 26 ? std::make_pair(0, 0) : std::make_pair(int(b[24]), int(b[25]));
}

double Psnr(const std::vector<Color>& a, const std::vector<Color>& b)
{
    double squares = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t c = 0; c < 3; ++c) {
            const double d = double(a[i][c]) - double(b[i][c]);
            squares += d * d;
        }
    const double mse = squares / (3.0 * double(a.size()));
    return mse == 0 ? 99.0 : std::min(99.0, 10.0 * std::log10(255.0 * 255.0 / mse));
}

std::vector<Color> Colors(const Bitmap8& bmp)
{
    std::vector<Color> colors;
    for (uint8_t index : bmp.pixels)
        colors.push_back(bmp.table.at(index));
    return colors;
}

class disc_bmpset : public ::testing::Test {
protected:
    // The art, made once for every test from the demo's pictures as a paint
    // program would have given them before they were reduced to 256 colours;
    // two names in other cases, as an author's files may come.
    static void SetUpTestSuite()
    {
        s_pTemp = new CTempDir;
        s_art = s_pTemp->Path() / "art";
        ASSERT_EQ(0, RunTool({ZEPH_SMOOTHART, kBitmaps.string(), s_art.string()}));
        for (const ExpectedFile& file : ExpectedFiles()) {
            s_artFiles.push_back(s_art / ArtName(file.name));
            s_arts[file.name] = ReadPng(s_artFiles.back());
            ASSERT_EQ(size_t(file.width) * size_t(file.height), s_arts[file.name].pixels.size()) << file.name;
        }
        for (fs::path& path : s_artFiles)
            if (path.filename() == "8bg1.png" || path.filename() == "fire07.png") {
                const fs::path renamed = path.parent_path() / (path.filename() == "8bg1.png" ? "8BG1.PNG" : "Fire07.Png");
                fs::rename(path, renamed);
                path = renamed;
            }
    }
    static void TearDownTestSuite()
    {
        delete s_pTemp;
        s_pTemp = nullptr;
        s_arts.clear();
        s_artFiles.clear();
    }

    void SetUp() override { m_out = m_temp.Path() / "out"; }

    // Runs bmpset on a folder of art; its lines in m_lines.
    int Make(const fs::path& art, const std::string& option = "")
    {
        std::string output;
        std::vector<std::string> args = {ZEPH_BMPSET, art.string(), m_out.string()};
        if (!option.empty())
            args.insert(args.begin() + 1, option);
        const int status = RunTool(args, &output);
        m_lines = Lines(output);
        return status;
    }

    std::string Joined() const
    {
        std::string all;
        for (const std::string& line : m_lines)
            all += line + "\n";
        return all;
    }

    // A copy of the art to break.
    fs::path CopyOfArt()
    {
        const fs::path copy = m_temp.Path() / "art";
        fs::copy(s_art, copy);
        return copy;
    }

    static CTempDir* s_pTemp;
    static fs::path s_art;
    static std::map<std::string, Art> s_arts; // by bitmap name
    static std::vector<fs::path> s_artFiles;  // in the launcher's order

    CTempDir m_temp;
    fs::path m_out;
    std::vector<std::string> m_lines;
};

CTempDir* disc_bmpset::s_pTemp = nullptr;
fs::path disc_bmpset::s_art;
std::map<std::string, Art> disc_bmpset::s_arts;
std::vector<fs::path> disc_bmpset::s_artFiles;

// ImageMagick's own way to one palette for a set, as a disc author might
// take it: 256 colours chosen over the pixels of all the pictures (laid end
// to end in one picture 1000 pixels wide, the last part row left out), then
// `convert -remap` with error diffusion. Returns each picture's PSNR.
std::vector<double> RemapWithImageMagick(const std::vector<fs::path>& artFiles, const fs::path& work,
                                         const std::map<std::string, Art>& arts)
{
    std::vector<std::string> files;
    for (const fs::path& path : artFiles)
        files.push_back(path.string());

    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), files.begin(), files.end());
    args.insert(args.end(), {"-depth", "8", "RGB:" + (work / "all.rgb").string()});
    EXPECT_EQ(0, RunTool(args));
    std::vector<uint8_t> all = ReadBytes(work / "all.rgb");
    const size_t rows = all.size() / 3 / 1000;
    all.resize(rows * 1000 * 3);
    WriteBytes(work / "mosaic.rgb", all);
    EXPECT_EQ(0, RunTool({"convert", "-size", "1000x" + std::to_string(rows), "-depth", "8",
                          "RGB:" + (work / "mosaic.rgb").string(), "+dither", "-colors", "256", "-unique-colors",
                          (work / "palette.png").string()}));

    args = {"convert"};
    args.insert(args.end(), files.begin(), files.end());
    args.insert(args.end(), {"-dither", "FloydSteinberg", "-remap", (work / "palette.png").string(),
                             (work / "remapped-%02d.png").string()});
    EXPECT_EQ(0, RunTool(args));

    std::vector<double> psnr;
    std::set<Color> used;
    for (size_t i = 0; i < ExpectedFiles().size(); ++i) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "remapped-%02zu.png", i);
        const std::vector<Color> colors = ReadPng(work / sz).pixels;
        const Art& source = arts.at(ExpectedFiles()[i].name);
        EXPECT_EQ(source.pixels.size(), colors.size()) << sz;
        if (source.pixels.size() != colors.size())
            return {};
        used.insert(colors.begin(), colors.end());
        psnr.push_back(Psnr(source.pixels, colors));
    }
    EXPECT_LE(used.size(), 256u) << "ImageMagick's pictures share no palette";
    return psnr;
}

double Mean(const std::vector<double>& values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return values.empty() ? 0 : sum / double(values.size());
}

} // namespace

TEST_F(disc_bmpset, RoundTripGivesACheckedSetCloseToTheArt)
{
    ASSERT_EQ(0, Make(s_art)) << Joined();
    ASSERT_FALSE(m_lines.empty());
    EXPECT_EQ(m_out.string() + ": the launcher's 91 pictures are in order", m_lines[0]);
    std::string checked;
    EXPECT_EQ(0, RunTool({ZEPH_BMPCHECK, m_out.string()}, &checked)) << checked;

    // Every file in the launcher's form, all with one table that holds the
    // static colours at both ends.
    std::map<std::string, Bitmap8> made;
    std::vector<double> psnr;
    for (const ExpectedFile& file : ExpectedFiles()) {
        Bitmap8 bmp = ReadBitmap8(m_out / file.name);
        ASSERT_EQ(file.width, bmp.width) << file.name;
        ASSERT_EQ(file.height, bmp.height) << file.name;
        psnr.push_back(Psnr(s_arts[file.name].pixels, Colors(bmp)));
        made[file.name] = std::move(bmp);
    }
    const std::vector<Color>& table = made["8bg1.bmp"].table;
    for (const auto& [name, bmp] : made)
        EXPECT_EQ(table, bmp.table) << name;
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(StaticColorsLow()[i], table[i]) << "entry " << i;
        EXPECT_EQ(StaticColorsHigh()[i], table[246 + i]) << "entry " << 246 + i;
    }

    // Close to the art, and no further from it than ImageMagick's remapping
    // with a palette of the same size, measured in the same run.
    const double mean = Mean(psnr);
    const std::vector<double> baseline = RemapWithImageMagick(s_artFiles, m_temp.Path(), s_arts);
    std::printf("round trip, mean PSNR over the 91 pictures: bmpset %.2f dB (worst %.2f), "
                "convert -remap %.2f dB (worst %.2f)\n",
                mean, *std::min_element(psnr.begin(), psnr.end()), Mean(baseline),
                baseline.empty() ? 0.0 : *std::min_element(baseline.begin(), baseline.end()));
    RecordProperty("bmpset_mean_psnr_db", std::to_string(mean));
    RecordProperty("convert_remap_mean_psnr_db", std::to_string(Mean(baseline)));
    EXPECT_GE(mean, 32.0);
    EXPECT_GE(mean, Mean(baseline));

    // The summary tells the same: one line per picture, worst first, and the
    // same mean.
    std::vector<double> listed;
    double printedMean = 0;
    for (const std::string& line : m_lines) {
        char name[32];
        double db;
        if (std::sscanf(line.c_str(), " %31s %lf dB", name, &db) == 2 && Contains(name, ".bmp"))
            listed.push_back(db);
        std::sscanf(line.c_str(), "mean over the 91 pictures: %lf dB", &printedMean);
    }
    EXPECT_EQ(91u, listed.size()) << Joined();
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end())) << Joined();
    EXPECT_NEAR(mean, printedMean, 0.01) << Joined();

    // The flames: their edges carry the background's own pixels, and from one
    // shown frame to the next only what changes in the art changes.
    const Bitmap8& background = made["8bg1.bmp"];
    for (const char* prefix : {"fire", "fire2_"}) {
        long still = 0, changed = 0;
        for (int n = 1; n <= 16; ++n) {
            char sz[32], szNext[32];
            std::snprintf(sz, sizeof sz, "%s%02d.bmp", prefix, n);
            std::snprintf(szNext, sizeof szNext, "%s%02d.bmp", prefix, n % 16 + 1);
            const Bitmap8& frame = made[sz];
            const Place place = PlaceOf(sz);
            for (int y = 0; y < frame.height; ++y)
                for (int x = 0; x < frame.width; ++x) {
                    if (x == 0 || y == 0 || x == frame.width - 1 || y == frame.height - 1)
                        EXPECT_EQ(background.At(place.x + x, place.y + y), frame.At(x, y))
                            << sz << " at " << x << ", " << y;
                    const size_t i = size_t(y) * size_t(frame.width) + size_t(x);
                    if (s_arts[sz].pixels[i] == s_arts[szNext].pixels[i]) {
                        ++still;
                        changed += frame.pixels[i] != made[szNext].pixels[i];
                    }
                }
        }
        EXPECT_GT(still, 1000) << prefix;
        EXPECT_EQ(0, changed) << prefix << ": pixels shimmer where the art stands still";
    }
}

// Colour types and depths other than 8-bit RGB, holding the same colours,
// give the same bitmaps byte for byte.
TEST_F(disc_bmpset, EveryKindOfPngGivesTheSameBitmaps)
{
    // The exit button's pictures in grey, so that they can also be stored as
    // grey and as palette files.
    const fs::path plain = m_temp.Path() / "plain";
    fs::copy(s_art, plain);
    const fs::path other = m_temp.Path() / "other";
    fs::create_directories(other);
    for (const char* name : {"8bexitu.bmp", "8bexitf.bmp", "8bexitd.bmp"}) {
        Art art = s_arts[name];
        for (Color& c : art.pixels) {
            const uint8_t v = uint8_t((c[0] * 3 + c[1] * 4 + c[2] * 2) / 9);
            c = Color{v, v, v};
        }
        ASSERT_TRUE(WritePng(plain / ArtName(name), art, PNG_FORMAT_RGB));
        if (std::string(name) == "8bexitf.bmp")
            ASSERT_TRUE(WritePng(other / ArtName(name), art, PNG_FORMAT_GRAY));
        if (std::string(name) != "8bexitd.bmp")
            continue;
        std::vector<Color> colormap;
        std::vector<uint8_t> indices;
        for (const Color& c : art.pixels) {
            auto found = std::find(colormap.begin(), colormap.end(), c);
            if (found == colormap.end())
                found = colormap.insert(found, c);
            indices.push_back(uint8_t(found - colormap.begin()));
        }
        ASSERT_LE(colormap.size(), 256u);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = png_uint_32(art.width);
        image.height = png_uint_32(art.height);
        image.format = PNG_FORMAT_RGB_COLORMAP;
        image.colormap_entries = png_uint_32(colormap.size());
        ASSERT_TRUE(png_image_write_to_file(&image, (other / ArtName(name)).string().c_str(), 0, indices.data(), 0,
                                            colormap.data()));
    }
    for (const auto& entry : fs::directory_iterator(plain))
        fs::copy_file(entry.path(), other / entry.path().filename(), fs::copy_options::skip_existing);
    auto convert = [&](const char* name, std::vector<std::string> options) {
        std::vector<std::string> args = {"convert", (plain / name).string()};
        args.insert(args.end(), options.begin(), options.end() - 1);
        args.push_back(options.back() + (other / name).string());
        return RunTool(args);
    };
    ASSERT_TRUE(WritePng(other / "fire05.png", s_arts["fire05.bmp"], PNG_FORMAT_RGBA));
    // 16-bit RGB without a word on its gamma, as some paint programs write it.
    ASSERT_EQ(0, convert("8b4u.png", {"-define", "png:exclude-chunks=gAMA,cHRM,sRGB,bKGD,date,tIME", "PNG48:"}));
    ASSERT_EQ(0, convert("8b4d.png", {"PNG64:"}));
    ASSERT_EQ(0, convert("8bexitu.png", {"-define", "png:bit-depth=16", "-define", "png:color-type=0", "PNG:"}));

    // Depth and colour type as the file headers say: 8-bit RGBA, 8-bit grey,
    // 16-bit RGB, 16-bit RGBA, palette, 16-bit grey.
    EXPECT_EQ(std::make_pair(8, 6), PngKind(other / "fire05.png"));
    EXPECT_EQ(std::make_pair(8, 0), PngKind(other / "8bexitf.png"));
    EXPECT_EQ(std::make_pair(16, 2), PngKind(other / "8b4u.png"));
    EXPECT_EQ(std::make_pair(16, 6), PngKind(other / "8b4d.png"));
    EXPECT_EQ(std::make_pair(8, 3), PngKind(other / "8bexitd.png"));
    EXPECT_EQ(std::make_pair(16, 0), PngKind(other / "8bexitu.png"));

    ASSERT_EQ(0, Make(plain)) << Joined();
    const fs::path plainOut = m_out;
    m_out = m_temp.Path() / "out-other";
    ASSERT_EQ(0, Make(other)) << Joined();
    for (const ExpectedFile& file : ExpectedFiles())
        EXPECT_EQ(ReadBytes(plainOut / file.name), ReadBytes(m_out / file.name)) << file.name;
}

// Each picture that cannot be used has its line, in the launcher's order,
// and nothing is written.
TEST_F(disc_bmpset, BrokenArtIsRefusedPictureByPictureAndNothingIsWritten)
{
    const fs::path art = CopyOfArt();
    fs::remove(art / "8b8u.png");
    fs::remove(art / "fire05.png");
    fs::remove(art / "fire20.png");
    Art narrow = s_arts["fire2_03.bmp"];
    narrow.width = 24;
    narrow.pixels.resize(24 * 50);
    ASSERT_TRUE(WritePng(art / "fire2_03.png", narrow, PNG_FORMAT_RGB));
    // A header that claims a huge picture: refused by its size, never decoded.
    std::vector<uint8_t> huge = ReadBytes(art / "fire2_04.png");
    for (size_t at : {16, 20}) // 30000, big-endian
        huge.at(at + 2) = 0x75, huge.at(at + 3) = 0x30, huge.at(at) = huge.at(at + 1) = 0;
    const uint32_t crc = uint32_t(crc32(0, &huge.at(12), 17));
    for (size_t i = 0; i < 4; ++i)
        huge.at(29 + i) = uint8_t(crc >> (24 - 8 * i));
    WriteBytes(art / "fire2_04.png", huge);
    std::vector<uint8_t> rgba;
    for (const Color& c : s_arts["8b6f.bmp"].pixels)
        rgba.insert(rgba.end(), {c[0], c[1], c[2], 255});
    rgba[4 * (7 * 320 + 5) + 3] = 0; // (5, 7) transparent
    ASSERT_TRUE(WritePngBytes(art / "8b6f.png", 320, 130, PNG_FORMAT_RGBA, rgba));
    WriteBytes(art / "8b10d.png", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0});

    EXPECT_EQ(1, Make(art));
    ASSERT_EQ(8u, m_lines.size()) << Joined();
    EXPECT_EQ("fire05.png is missing: without its bitmap, the big flame keeps its previous frame (fire04.bmp) for "
              "one interval in every cycle",
              m_lines.front());
    m_lines.erase(m_lines.begin());
    EXPECT_EQ("fire20.png is missing: the launcher never shows frames 17 to 30, but it loads them, so the set "
              "needs one",
              m_lines[0]);
    EXPECT_EQ(0u, m_lines[1].find("fire2_03.png is 24 x 50, but the small flame is 25 x 50: as a bitmap of that "
                                  "size, it covers only the top-left 24 x 50"))
        << m_lines[1];
    EXPECT_EQ(0u, m_lines[2].find("fire2_04.png is 30000 x 30000, but the small flame is 25 x 50")) << m_lines[2];
    EXPECT_EQ(0u, m_lines[3].find("8b6f.png has transparent pixels (the first at 5, 7)")) << m_lines[3];
    EXPECT_TRUE(Contains(m_lines[3], "solid colour, as it draws the whole rectangle of the game's logo")) << m_lines[3];
    EXPECT_EQ("8b8u.png is missing: without its bitmap, the play button is not drawn: the background shows in its "
              "place (the button still works)",
              m_lines[4]);
    EXPECT_EQ(0u, m_lines[5].find("8b10d.png cannot be read as a PNG file (libpng: ")) << m_lines[5];
    EXPECT_EQ("nothing written: the launcher needs all 91 pictures", m_lines[6]);
    EXPECT_FALSE(fs::exists(m_out));
}

// An author who paints only the 16 shown frames of each flame and slips in
// one name hears of it in three lines, and --fill-frames takes frames 17 to
// 30 from 1 to 14, as the demo's are.
TEST_F(disc_bmpset, ShownFramesOnlyAreFilledOnRequestAndAStrayNameIsNamed)
{
    const fs::path art = CopyOfArt();
    for (int n = 17; n <= 30; ++n)
        for (const char* stem : {"fire", "fire2_"})
            fs::remove(art / (stem + std::to_string(n) + ".png"));
    fs::rename(art / "fire2_07.png", art / "fire2_7.png");
    // The template's guide beside the art is no stray.
    fs::copy_file(art / "8b6u.png", art / "guide.png");

    EXPECT_EQ(1, Make(art));
    ASSERT_EQ(5u, m_lines.size()) << Joined();
    EXPECT_EQ("note: fire2_7.png is not one of the launcher's pictures (the nearest name is fire2_07.png); it is "
              "left out",
              m_lines[0]);
    EXPECT_EQ("fire17.png to fire30.png are missing: the launcher never shows frames 17 to 30, but it loads them, so "
              "the set needs them; --fill-frames (make bitmaps FILL=1) takes them from frames 1 to 14",
              m_lines[1]);
    EXPECT_EQ(0u, m_lines[2].find("fire2_07.png is missing: ")) << m_lines[2];
    EXPECT_EQ(0u, m_lines[3].find("fire2_17.png to fire2_30.png are missing: ")) << m_lines[3];
    EXPECT_FALSE(fs::exists(m_out));

    fs::rename(art / "fire2_7.png", art / "fire2_07.png");
    ASSERT_EQ(0, Make(art, "--fill-frames")) << Joined();
    EXPECT_EQ(m_out.string() + ": the launcher's 91 pictures are in order", m_lines.at(0));
    for (int n = 17; n <= 30; ++n)
        for (const char* stem : {"fire", "fire2_"}) {
            char szFrame[16], szSource[16];
            std::snprintf(szFrame, sizeof szFrame, "%s%02d.bmp", stem, n);
            std::snprintf(szSource, sizeof szSource, "%s%02d.bmp", stem, n - 16);
            EXPECT_EQ(ReadBytes(m_out / szSource), ReadBytes(m_out / szFrame)) << szFrame;
        }
}

// A set written with findings names the art files to mend, and says in its
// last line that it was written all the same.
TEST_F(disc_bmpset, FindingsInAWrittenSetNameTheArtFiles)
{
    const fs::path art = CopyOfArt();
    Art framed = s_arts["fire05.bmp"];
    for (int x = 0; x < framed.width; ++x)
        framed.pixels[size_t(x)] = Color{255, 255, 255};
    ASSERT_TRUE(WritePng(art / "fire05.png", framed, PNG_FORMAT_RGB));

    EXPECT_EQ(1, Make(art));
    ASSERT_FALSE(m_lines.empty());
    EXPECT_EQ(0u, m_lines[0].find("fire05.png does not match the background along its edge: at (")) << Joined();
    EXPECT_TRUE(Contains(m_lines[0], " where 8bg1.png is #")) << m_lines[0];
    EXPECT_EQ(m_out.string() + ": the 91 bitmaps are written, but with the findings above: mend the art files they "
                               "name and run bmpset again",
              m_lines.back());
    EXPECT_TRUE(fs::exists(m_out / "fire05.bmp"));
}

// The starter set: the demo's pictures as PNG art come back through bmpset
// as exactly the demo's pictures, and the guide shows the window with each
// element's rectangle over the background.
TEST_F(disc_bmpset, StarterSetComesBackAsTheDemoPictures)
{
    const fs::path starter = m_temp.Path() / "starter";
    std::string output;
    ASSERT_EQ(0, RunTool({ZEPH_ARTTEMPLATE, kBitmaps.string(), starter.string()}, &output)) << output;
    ASSERT_EQ(0, Make(starter)) << Joined();
    for (const ExpectedFile& file : ExpectedFiles())
        EXPECT_EQ(Colors(ReadBitmap8(kBitmaps / file.name)), Colors(ReadBitmap8(m_out / file.name))) << file.name;

    const Art guide = ReadPng(starter / "guide.png");
    ASSERT_EQ(644, guide.width);
    ASSERT_EQ(456, guide.height);
    const Bitmap8 background = ReadBitmap8(kBitmaps / "8bg1.bmp");
    const auto shown = [&](int x, int y) { return guide.pixels[size_t(y) * 644 + size_t(x)]; };
    const auto painted = [&](int x, int y) { return background.table.at(background.pixels[size_t(y) * 640 + size_t(x)]); };
    // Clear of every element, and on the corners of the big flame's and the
    // exit button's rectangles.
    EXPECT_EQ(painted(450, 200), shown(450, 200));
    EXPECT_EQ(painted(600, 20), shown(600, 20));
    for (const auto& [x, y] : {std::make_pair(339, 197), std::make_pair(388, 62), std::make_pair(500, 361),
                               std::make_pair(623, 361)})
        EXPECT_NE(painted(x, y), shown(x, y)) << x << ", " << y;
}

TEST_F(disc_bmpset, CannotRunWithoutItsFolders)
{
    std::string usage;
    EXPECT_EQ(0, RunTool({ZEPH_BMPSET, "--help"}, &usage));
    EXPECT_EQ(0u, usage.find("usage: ")) << usage;
    EXPECT_EQ(2, RunTool({ZEPH_BMPSET}));
    EXPECT_EQ(2, RunTool({ZEPH_BMPSET, s_art.string()}));
    EXPECT_EQ(2, RunTool({ZEPH_BMPSET, (m_temp.Path() / "missing").string(), m_out.string()}));
    // OUT where a file is.
    WriteBytes(m_temp.Path() / "file", {1});
    std::string output;
    EXPECT_EQ(2, RunTool({ZEPH_BMPSET, s_art.string(), (m_temp.Path() / "file").string()}, &output));
    EXPECT_TRUE(Contains(output, "cannot make")) << output;
}
