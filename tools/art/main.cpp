// Generates the demo disc's pictures, or the same art at the places and
// sizes of another disc's layout, as a starter set for its author.
//
//   discart [--layout FILE] OUTDIR
//
// writes OUTDIR/bitmaps/ with every file the launcher loads, for the demo's
// layout or the disc's from FILE (tools/layoutfile.h), and
// OUTDIR/zephrane.ico. The same program always writes the same bytes.
#include "tools/art/art.h"
#include "tools/layoutfile.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#ifndef ZEPH_FONT_DIR
#error "ZEPH_FONT_DIR names the folder of the DejaVu fonts"
#endif

namespace {

IndexedImage Indexed(const CCanvas& canvas, const LayoutRect& place, const CQuantizer& quantizer)
{
    return IndexedImage{canvas.Width(), canvas.Height(), quantizer.Quantize(canvas, place.left, place.top)};
}

void WriteBitmaps(const std::filesystem::path& directory, const CFontSet& fonts, const LauncherLayout& layout)
{
    const CQuantizer quantizer(SharedPalette().data(), 256, 0.045f);
    const CCanvas background = PaintBackground(fonts, layout);
    std::vector<CCanvas> flames[2];
    for (int flame : {kBigFlame, kSmallFlame})
        if (layout.flameFiles[flame] != 0)
            flames[flame] = PaintFlameFrames(background, SeatOf(layout.flames[flame]), layout.flameFiles[flame]);

    for (int order = 0; order < ImageCount(layout); ++order) {
        const ImageSlot slot = LauncherImageSlot(order, layout);
        const LayoutRect place = ImageSlotRect(slot, layout);
        IndexedImage image;
        switch (slot.kind) {
        case kImageBackground:
            image = Indexed(background, place, quantizer);
            break;
        case kImageBigFlame:
            image = Indexed(flames[kBigFlame][size_t(slot.index)], place, quantizer);
            break;
        case kImageSmallFlame:
            image = Indexed(flames[kSmallFlame][size_t(slot.index)], place, quantizer);
            break;
        case kImageButton:
            image = Indexed(PaintButton(background, fonts, slot.index, place, slot.picture), place, quantizer);
            break;
        }
        WriteFileBytes((directory / slot.name).string(), EncodeBmp8(image, SharedPalette()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<const char*> args(argv + 1, argv + argc);
    LauncherLayout layout;
    if (!TakeToolArguments(args, 1, argv[0], "usage: %s [--layout FILE] OUTDIR\n", layout))
        return 2;
    try {
        const std::filesystem::path out = args[0];
        std::filesystem::create_directories(out / "bitmaps");
        const CFontSet fonts(ZEPH_FONT_DIR);
        WriteBitmaps(out / "bitmaps", fonts, layout);
        WriteFileBytes((out / "zephrane.ico").string(), EncodeIcon(PaintIcon(fonts)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
