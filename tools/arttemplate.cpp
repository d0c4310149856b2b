// A starter set for a disc author: the demo's 91 pictures as PNG art, named
// as bmpset wants them, and a guide to the window.
//
//   arttemplate BITMAPS OUT
//
// BITMAPS is the demo disc's bitmaps folder. OUT (made if needed) receives
// 8bg1.png, fire01.png ... 8orlod.png, and guide.png: the whole 644 x 456
// window with the background in place and every element's rectangle and
// file names drawn over it, for an author who paints whole windows and cuts
// them, or who paints each file and needs to see where it goes. Exit status:
// 0 when all was written, 1 when a demo bitmap could not be read, 2 when OUT
// cannot be written.
#include "tools/art/text.h"
#include "tools/setcheck.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool WritePng(const fs::path& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    const bool bWritten = png_image_write_to_file(&image, path.string().c_str(), 0, rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return bWritten;
}

// The guide: the window, the background at its place, each element's
// rectangle outlined and labelled with its files.
class CGuide {
public:
    CGuide() : m_rgb(size_t(kClientWidth) * kClientHeight * 3, 0) {}

    void Place(const std::vector<uint8_t>& rgb, const LayoutRect& rc)
    {
        const int w = rc.right - rc.left;
        for (int y = rc.top; y < rc.bottom; ++y)
            std::memcpy(&m_rgb[(size_t(y) * kClientWidth + size_t(rc.left)) * 3],
                        &rgb[size_t(y - rc.top) * size_t(w) * 3], size_t(w) * 3);
    }

    // The outline lies on the rectangle's outermost pixels, so that it shows
    // exactly which pixels the element's picture covers.
    void Outline(const LayoutRect& rc, uint32_t color)
    {
        for (int x = rc.left; x < rc.right; ++x) {
            Set(x, rc.top, color);
            Set(x, rc.bottom - 1, color);
        }
        for (int y = rc.top; y < rc.bottom; ++y) {
            Set(rc.left, y, color);
            Set(rc.right - 1, y, color);
        }
    }

    // A label on a dark plate just inside the rectangle's top-left corner, or
    // above it where the rectangle is too narrow.
    void Label(const CTypeface& face, const std::string& text, const LayoutRect& rc, uint32_t color)
    {
        const CMask ink = face.Render(text, 10);
        int x = std::min(rc.left + 3, kClientWidth - ink.Width() - 3), y = rc.top + 3;
        if (ink.Width() + 4 > rc.right - rc.left)
            y = rc.top - ink.Height() - 5;
        for (int py = y - 2; py < y + ink.Height() + 2; ++py)
            for (int px = x - 2; px < x + ink.Width() + 2; ++px)
                Blend(px, py, 0x000000, 0.7f);
        for (int py = 0; py < ink.Height(); ++py)
            for (int px = 0; px < ink.Width(); ++px)
                Blend(x + px, y + py, color, ink.At(px, py));
    }

    const std::vector<uint8_t>& Rgb() const { return m_rgb; }

private:
    void Set(int x, int y, uint32_t color) { Blend(x, y, color, 1.0f); }
    void Blend(int x, int y, uint32_t color, float amount)
    {
        if (x < 0 || y < 0 || x >= kClientWidth || y >= kClientHeight)
            return;
        uint8_t* p = &m_rgb[(size_t(y) * kClientWidth + size_t(x)) * 3];
        for (int c = 0; c < 3; ++c) {
            const float value = float((color >> (16 - 8 * c)) & 0xFF);
            p[c] = uint8_t(float(p[c]) + (value - float(p[c])) * amount + 0.5f);
        }
    }

    std::vector<uint8_t> m_rgb;
};

// Each element once, with the stems of its files; the install and play
// buttons share a place.
void DrawElements(CGuide& guide, const CTypeface& face)
{
    const uint32_t kFlameColor = 0x40E0FF, kButtonColor = 0xFFE040;
    guide.Outline(kBigFlameRect, kFlameColor);
    guide.Outline(kSmallFlameRect, kFlameColor);
    static const struct {
        LauncherButton id;
        const char* text;
    } s_labels[] = {
        {1, "8b1 u/f/d INSTALL, 8b8 u/f/d PLAY"}, {2, "8bdldx7 u/f/d GET DIRECTX"},
        {4, "8b4 u/f/d READ ME"},                 {6, "8b6 u/f/d game's logo (web)"},
        {7, "8b7 u/f/d publisher (web)"},         {9, "8bexit u/f/d EXIT"},
        {10, "8b10 u/f/d UNINSTALL"},             {11, "8bvexa u/f/d developer"},
        {12, "8orlo u/f/d licensor"},
    };
    for (const auto& label : s_labels) {
        const LayoutRect rc = ButtonRect(label.id);
        guide.Outline(rc, kButtonColor);
        guide.Label(face, label.text, rc, kButtonColor);
    }
    guide.Label(face, "fire01-30 (1-16 shown)", kBigFlameRect, kFlameColor);
    guide.Label(face, "fire2_01-30", kSmallFlameRect, kFlameColor);
    guide.Label(face, "8bg1 background 640 x 452, window 644 x 456", LayoutRect{0, 440, 640, 452}, 0xFFFFFF);
}

} // namespace

int main(int argc, char** argv)
{
    const char kUsage[] = "usage: %s BITMAPS OUT\nwrites the pictures of BITMAPS as PNG art, and a guide to the window, into OUT\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(kUsage, argv[0]);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, kUsage, argv[0]);
        return 2;
    }
    std::map<std::string, fs::path> files;
    std::string error;
    if (!ListFilesByLowerName(argv[1], files, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    const fs::path out = argv[2];
    std::error_code code;
    fs::create_directories(out, code);
    if (code) {
        std::fprintf(stderr, "%s: cannot make %s: %s\n", argv[0], argv[2], code.message().c_str());
        return 2;
    }

    CGuide guide;
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        const auto found = files.find(slot.name);
        const std::vector<uint8_t> rgb =
            found == files.end() ? std::vector<uint8_t>() : SlotPictureRgb(found->second, slot);
        if (rgb.empty()) {
            std::fprintf(stderr, "%s: %s/%s is not a picture the launcher loads\n", argv[0], argv[1], slot.name);
            return 1;
        }
        if (!WritePng(out / ArtFileName(slot), slot.width, slot.height, rgb)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], (out / ArtFileName(slot)).string().c_str());
            return 2;
        }
        if (slot.kind == kImageBackground)
            guide.Place(rgb, kBackgroundRect);
    }
    try {
        const CTypeface face(std::string(ZEPH_FONT_DIR) + "/DejaVuSans-Bold.ttf");
        DrawElements(guide, face);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 2;
    }
    if (!WritePng(out / "guide.png", kClientWidth, kClientHeight, guide.Rgb())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], (out / "guide.png").string().c_str());
        return 2;
    }
    std::printf("%s: the %d pictures as PNG art, named as bmpset wants them, and guide.png, the window "
                "with every element's place\n", argv[2], kImageCount);
    return 0;
}
