// Turns the demo disc's pictures back into art as a paint program gives it,
// for bmpset's test and benchmark.
//
//   smoothart BITMAPS ART
//
// writes one true-colour PNG file into ART for each of the launcher's
// pictures in BITMAPS (8bg1.png for 8bg1.bmp, ...). Every pixel is the mean
// of its 3 x 3 neighbours on the screen, the picture lying in its place over
// the background: the ordered dither of the 256-colour pictures is smoothed
// into thousands of colours, while a picture still agrees with the background
// wherever it shows it. Every colour is then shifted a little (red +2, green
// -1, blue +3), so that a palette must be found afresh.
#include "dib/dib_format.h"
#include "frame/layout.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A picture's colours, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<DibColor> pixels;
    const DibColor& At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// An uncompressed 8-bit bitmap file of the slot's size, or nothing.
bool ReadPicture(const fs::path& path, const ImageSlot& slot, Picture& picture)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 14)
        return false;
    const uint8_t* p = bytes.data() + 14;
    const size_t cb = bytes.size() - 14;
    if (!DibFitsBlock(p, cb) || DibBitCount(p, cb) != 8 || DibCompression(p, cb) != 0 ||
        DibPixelWidth(p, cb) != slot.width || DibPixelHeight(p, cb) != slot.height)
        return false;
    const uint8_t* pBits = DibBitsPointer(p, cb);
    const size_t stride = (size_t(slot.width) + 3) / 4 * 4;
    picture.width = slot.width;
    picture.height = slot.height;
    for (int y = 0; y < slot.height; ++y)
        for (int x = 0; x < slot.width; ++x)
            picture.pixels.push_back(DibPaletteEntry(p, cb, pBits[size_t(slot.height - 1 - y) * stride + size_t(x)]));
    return true;
}

std::vector<uint8_t> Smoothed(const Picture& picture, const Picture& background, const LayoutRect& place)
{
    static const int kShift[3] = {2, -1, 3};
    auto onScreen = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < picture.width && y < picture.height)
            return picture.At(x, y);
        return background.At(std::clamp(place.left + x, 0, background.width - 1),
                             std::clamp(place.top + y, 0, background.height - 1));
    };
    std::vector<uint8_t> rgb;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            int sum[3] = {};
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const DibColor c = onScreen(x + dx, y + dy);
                    sum[0] += c.red;
                    sum[1] += c.green;
                    sum[2] += c.blue;
                }
            for (int c = 0; c < 3; ++c)
                rgb.push_back(uint8_t(std::clamp((sum[c] + 4) / 9 + kShift[c], 0, 255)));
        }
    return rgb;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BITMAPS ART\n", argv[0]);
        return 2;
    }
    const fs::path bitmaps = argv[1], art = argv[2];
    std::vector<Picture> pictures(kImageCount);
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        if (!ReadPicture(bitmaps / slot.name, slot, pictures[size_t(order)])) {
            std::fprintf(stderr, "%s: %s is not an 8-bit bitmap of its element's size\n", argv[0], slot.name);
            return 1;
        }
    }
    std::error_code error;
    fs::create_directories(art, error);
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        const std::vector<uint8_t> rgb = Smoothed(pictures[size_t(order)], pictures[0], ImageSlotRect(slot));
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = png_uint_32(slot.width);
        image.height = png_uint_32(slot.height);
        image.format = PNG_FORMAT_RGB;
        const std::string name = std::string(slot.name, std::strlen(slot.name) - 4) + ".png";
        if (!png_image_write_to_file(&image, (art / name).string().c_str(), 0, rgb.data(), 0, nullptr)) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], (art / name).string().c_str(), image.message);
            return 1;
        }
    }
    return 0;
}
