// What the disc tools' tests share: temporary folders, running a tool,
// reading 8-bit bitmap files, and the launcher's file list as its button
// table gives it, written out here on its own so that the tools are checked
// against the table and not against themselves.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace disc_test {

namespace fs = std::filesystem;

inline std::vector<uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
           uint32_t(b.at(at + 3)) << 24;
}

inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b.at(at) | b.at(at + 1) << 8); }

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = uint8_t(v >> (8 * i));
}

// A folder of its own under the system's temp folder, removed afterwards.
class CTempDir {
public:
    CTempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "disc-test-XXXXXX").string();
        if (mkdtemp(&pattern[0]) != nullptr)
            m_path = pattern;
    }
    ~CTempDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            fs::remove_all(m_path, ignored);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

inline std::string Quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a program with arguments, collecting what it prints; the result is its
// exit status, or -1 when it did not end normally.
inline int RunTool(const std::vector<std::string>& args, std::string* pOutput = nullptr)
{
    std::string command;
    for (const std::string& arg : args)
        command += Quoted(arg) + " ";
    command += "2>&1";
    std::FILE* pPipe = popen(command.c_str(), "r");
    if (pPipe == nullptr)
        return -1;
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pPipe);
    if (pOutput != nullptr)
        *pOutput = output;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

struct ExpectedFile {
    std::string name;
    int width, height;
};

// The 91 files: background, 30 frames of each flame, and up, focus and down
// pictures of the ten buttons that are shown.
inline std::vector<ExpectedFile> ExpectedFiles()
{
    std::vector<ExpectedFile> files = {{"8bg1.bmp", 640, 452}};
    for (int n = 1; n <= 30; ++n) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "fire%02d.bmp", n);
        files.push_back({sz, 50, 136});
    }
    for (int n = 1; n <= 30; ++n) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "fire2_%02d.bmp", n);
        files.push_back({sz, 25, 50});
    }
    const struct {
        const char* stem;
        int width, height;
    } buttons[] = {{"8b1", 124, 56},    {"8bdldx7", 124, 56}, {"8b4", 124, 56},   {"8b6", 320, 130},
                   {"8b7", 114, 68},    {"8b8", 124, 56},     {"8bexit", 124, 56}, {"8b10", 124, 56},
                   {"8bvexa", 114, 87}, {"8orlo", 115, 94}};
    for (const auto& button : buttons)
        for (const char* suffix : {"u.bmp", "f.bmp", "d.bmp"})
            files.push_back({std::string(button.stem) + suffix, button.width, button.height});
    return files;
}

using Color = std::array<uint8_t, 3>; // red, green, blue

// The system's static colours, as a palette for a 256-colour display holds
// them at entries 0 to 9 and 246 to 255.
inline const std::vector<Color>& StaticColorsLow()
{
    static const std::vector<Color> s_low = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                             {0, 0, 128},   {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                             {192, 220, 192}, {166, 202, 240}};
    return s_low;
}
inline const std::vector<Color>& StaticColorsHigh()
{
    static const std::vector<Color> s_high = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                              {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                              {0, 255, 255},   {255, 255, 255}};
    return s_high;
}

struct Place {
    int x, y;
};

// Where a picture is drawn in the window, by its file name.
inline Place PlaceOf(const std::string& name)
{
    if (name.rfind("fire2_", 0) == 0)
        return {115, 159};
    if (name.rfind("fire", 0) == 0)
        return {339, 62};
    if (name.rfind("8bg1", 0) == 0)
        return {0, 0};
    const std::string stem = name.substr(0, name.find('.') - 1);
    static const struct {
        const char* stem;
        Place place;
    } s_buttons[] = {{"8b1", {20, 237}},   {"8bdldx7", {500, 237}}, {"8b4", {20, 306}},     {"8b6", {21, 17}},
                     {"8b7", {384, 367}},  {"8b8", {20, 237}},      {"8bexit", {500, 306}}, {"8b10", {20, 376}},
                     {"8bvexa", {150, 347}}, {"8orlo", {263, 347}}};
    for (const auto& button : s_buttons)
        if (stem == button.stem)
            return button.place;
    ADD_FAILURE() << name << " is none of the launcher's pictures";
    return {0, 0};
}

// An 8-bit bitmap file as the disc's pictures are written: checked field by
// field, with its colour table and its pixels top row first.
struct Bitmap8 {
    int width = 0, height = 0;
    std::vector<Color> table;
    std::vector<uint8_t> pixels;
    uint8_t At(int x, int y) const { return pixels.at(size_t(y) * size_t(width) + size_t(x)); }
    Color ColorAt(int x, int y) const { return table.at(At(x, y)); }
};

// Fails the current test (and returns an empty picture) when the file is not
// exactly such a file.
inline Bitmap8 ReadBitmap8(const fs::path& path)
{
    Bitmap8 bmp;
    const std::vector<uint8_t> b = ReadBytes(path);
    const std::string name = path.filename().string();
    if (b.size() < 1078) {
        ADD_FAILURE() << name << " is only " << b.size() << " bytes";
        return bmp;
    }
    EXPECT_EQ('B', b[0]) << name;
    EXPECT_EQ('M', b[1]) << name;
    EXPECT_EQ(b.size(), U32(b, 2)) << name << ": bfSize";
    EXPECT_EQ(1078u, U32(b, 10)) << name << ": bfOffBits";
    EXPECT_EQ(40u, U32(b, 14)) << name << ": biSize";
    const int32_t width = int32_t(U32(b, 18)), height = int32_t(U32(b, 22));
    EXPECT_GT(height, 0) << name << ": rows bottom first";
    EXPECT_EQ(1, U16(b, 26)) << name << ": planes";
    EXPECT_EQ(8, U16(b, 28)) << name << ": bit count";
    EXPECT_EQ(0u, U32(b, 30)) << name << ": compression";
    const uint32_t clrUsed = U32(b, 46);
    EXPECT_TRUE(clrUsed == 0 || clrUsed == 256) << name << ": biClrUsed " << clrUsed;
    const size_t stride = (size_t(width) + 3) / 4 * 4;
    if (width <= 0 || height <= 0 || b.size() != 1078 + stride * size_t(height)) {
        ADD_FAILURE() << name << ": " << b.size() << " bytes for " << width << " x " << height;
        return bmp;
    }
    bmp.width = width;
    bmp.height = height;
    for (int i = 0; i < 256; ++i)
        bmp.table.push_back(Color{b[54 + 4 * i + 2], b[54 + 4 * i + 1], b[54 + 4 * i]});
    for (int y = 0; y < height; ++y) {
        const size_t row = 1078 + size_t(height - 1 - y) * stride;
        bmp.pixels.insert(bmp.pixels.end(), b.begin() + long(row), b.begin() + long(row) + width);
    }
    return bmp;
}

} // namespace disc_test
