// A starter set for a disc author: a disc's pictures as PNG art, named as
// bmpset wants them, and a guide to the window.
//
//   arttemplate [--layout FILE] BITMAPS OUT
//
// BITMAPS holds the pictures of the demo's layout, or of the disc's from
// FILE (tools/layoutfile.h): the demo disc's bitmaps, or the art generator's
// for that layout. OUT (made if needed) receives 8bg1.png, fire01.png ...
// 8orlod.png, and guide.png: the whole window with the background in place
// and every element's rectangle and file names drawn over it, for an author
// who paints whole windows and cuts them, or who paints each file and needs
// to see where it goes. Exit status: 0 when all was written, 1 when a
// picture could not be read, 2 when OUT or FILE cannot be written or read.
#include "tools/art/text.h"
#include "tools/layoutfile.h"
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
    CGuide(int nWidth, int nHeight) : m_nWidth(nWidth), m_nHeight(nHeight), m_rgb(size_t(nWidth) * size_t(nHeight) * 3, 0)
    {
    }

    void Place(const std::vector<uint8_t>& rgb, const LayoutRect& rc)
    {
        const int w = rc.right - rc.left;
        for (int y = rc.top; y < rc.bottom; ++y)
            std::memcpy(&m_rgb[(size_t(y) * size_t(m_nWidth) + size_t(rc.left)) * 3],
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
        int x = std::min(rc.left + 3, m_nWidth - ink.Width() - 3), y = rc.top + 3;
        if (ink.Width() + 4 > rc.right - rc.left)
            y = rc.top - ink.Height() - 5;
        for (int py = y - 2; py < y + ink.Height() + 2; ++py)
            for (int px = x - 2; px < x + ink.Width() + 2; ++px)
                Blend(px, py, 0x000000, 0.7f);
        for (int py = 0; py < ink.Height(); ++py)
            for (int px = 0; px < ink.Width(); ++px)
                Blend(x + px, y + py, color, ink.At(px, py));
    }

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    const std::vector<uint8_t>& Rgb() const { return m_rgb; }

private:
    void Set(int x, int y, uint32_t color) { Blend(x, y, color, 1.0f); }
    void Blend(int x, int y, uint32_t color, float amount)
    {
        if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
            return;
        uint8_t* p = &m_rgb[(size_t(y) * size_t(m_nWidth) + size_t(x)) * 3];
        for (int c = 0; c < 3; ++c) {
            const float value = float((color >> (16 - 8 * c)) & 0xFF);
            p[c] = uint8_t(float(p[c]) + (value - float(p[c])) * amount + 0.5f);
        }
    }

    int m_nWidth, m_nHeight;
    std::vector<uint8_t> m_rgb;
};

const char* RoleText(LauncherButton id)
{
    switch (id) {
    case 1: return "INSTALL";
    case 2: return "GET DIRECTX";
    case 4: return "READ ME";
    case 6: return "game's logo (web)";
    case 7: return "publisher (web)";
    case 8: return "PLAY";
    case 9: return "EXIT";
    case 10: return "UNINSTALL";
    case 11: return "developer";
    default: return "licensor";
    }
}

std::string FramesText(const LauncherLayout& layout, int flame)
{
    const std::string files = std::string(kPictureStems.flames[flame]) + "01-" +
                              std::to_string(layout.flameFiles[flame]);
    return layout.flameFiles[flame] > kShownFlameFrames ? files + " (1-16 shown)" : files;
}

// Each element on the disc once, with the stems of its files; play is named
// beside install where it takes install's place.
void DrawElements(CGuide& guide, const CTypeface& face, const LauncherLayout& layout)
{
    const uint32_t kFlameColor = 0x40E0FF, kButtonColor = 0xFFE040;
    for (int flame : {kBigFlame, kSmallFlame})
        if (layout.flameFiles[flame] != 0)
            guide.Outline(layout.flames[flame], kFlameColor);
    for (LauncherButton id : {1, 8, 2, 4, 6, 7, 9, 10, 11, 12}) {
        const LayoutRect rc = ButtonRect(id, layout);
        const bool bBesideInstall = id == 8 && SameRect(rc, ButtonRect(1, layout));
        if (IsEmptyRect(rc) || bBesideInstall)
            continue;
        std::string text = std::string(kPictureStems.buttons[id]) + " u/f/d " + RoleText(id);
        if (id == 1 && SameRect(rc, ButtonRect(8, layout)))
            text += std::string(", ") + kPictureStems.buttons[8] + " u/f/d " + RoleText(8);
        guide.Outline(rc, kButtonColor);
        guide.Label(face, text, rc, kButtonColor);
    }
    for (int flame : {kBigFlame, kSmallFlame})
        if (layout.flameFiles[flame] != 0)
            guide.Label(face, FramesText(layout, flame), layout.flames[flame], kFlameColor);
    const LayoutRect& background = layout.background;
    guide.Label(face,
                std::string(kPictureStems.background) + " background " + std::to_string(background.right) + " x " +
                    std::to_string(background.bottom) + ", window " + std::to_string(guide.Width()) + " x " +
                    std::to_string(guide.Height()),
                LayoutRect{0, background.bottom - 12, background.right, background.bottom}, 0xFFFFFF);
}

} // namespace

int main(int argc, char** argv)
{
    const char kUsage[] = "usage: %s [--layout FILE] BITMAPS OUT\nwrites the pictures of BITMAPS as PNG art, and a guide to "
                          "the window, into OUT\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(kUsage, argv[0]);
        return 0;
    }
    std::vector<const char*> args(argv + 1, argv + argc);
    LauncherLayout layout;
    if (!TakeToolArguments(args, 2, argv[0], kUsage, layout))
        return 2;
    std::string error;
    std::map<std::string, fs::path> files;
    if (!ListFilesByLowerName(args[0], files, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    const fs::path out = args[1];
    std::error_code code;
    fs::create_directories(out, code);
    if (code) {
        std::fprintf(stderr, "%s: cannot make %s: %s\n", argv[0], args[1], code.message().c_str());
        return 2;
    }

    const LayoutRect window = CenteredWindowRect(0, 0, layout);
    CGuide guide(window.right - window.left, window.bottom - window.top);
    for (int order = 0; order < ImageCount(layout); ++order) {
        const ImageSlot slot = LauncherImageSlot(order, layout);
        const auto found = files.find(slot.name);
        const std::vector<uint8_t> rgb =
            found == files.end() ? std::vector<uint8_t>() : SlotPictureRgb(found->second, slot);
        if (rgb.empty()) {
            std::fprintf(stderr, "%s: %s/%s is not a picture the launcher loads\n", argv[0], args[0], slot.name);
            return 1;
        }
        if (!WritePng(out / ArtFileName(slot), slot.width, slot.height, rgb)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], (out / ArtFileName(slot)).string().c_str());
            return 2;
        }
        if (slot.kind == kImageBackground)
            guide.Place(rgb, layout.background);
    }
    try {
        const CTypeface face(std::string(ZEPH_FONT_DIR) + "/DejaVuSans-Bold.ttf");
        DrawElements(guide, face, layout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 2;
    }
    if (!WritePng(out / "guide.png", guide.Width(), guide.Height(), guide.Rgb())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], (out / "guide.png").string().c_str());
        return 2;
    }
    std::printf("%s: the %d pictures as PNG art, named as bmpset wants them, and guide.png, the window "
                "with every element's place\n", args[1], ImageCount(layout));
    return 0;
}
