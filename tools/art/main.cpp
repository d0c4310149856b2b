// Generates the demo disc's pictures.
//
//   discart OUTDIR
//
// writes OUTDIR/bitmaps/ with every file the launcher loads, and
// OUTDIR/zephrane.ico. The same program always writes the same bytes.
#include "tools/art/art.h"

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

void WriteBitmaps(const std::filesystem::path& directory, const CFontSet& fonts)
{
    const CQuantizer quantizer(SharedPalette().data(), 256, 0.045f);
    const CCanvas background = PaintBackground(fonts);
    const std::vector<CCanvas> bigFlame = PaintFlameFrames(background, kBigFlameSeat, kFlameFrameCount);
    const std::vector<CCanvas> smallFlame = PaintFlameFrames(background, kSmallFlameSeat, kFlameFrameCount);

    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        IndexedImage image;
        switch (slot.kind) {
        case kImageBackground:
            image = Indexed(background, kBackgroundRect, quantizer);
            break;
        case kImageBigFlame:
            image = Indexed(bigFlame[slot.index], kBigFlameRect, quantizer);
            break;
        case kImageSmallFlame:
            image = Indexed(smallFlame[slot.index], kSmallFlameRect, quantizer);
            break;
        case kImageButton:
            image = Indexed(PaintButton(background, fonts, slot.index, slot.picture),
                            ButtonRect(slot.index), quantizer);
            break;
        }
        WriteFileBytes((directory / slot.name).string(), EncodeBmp8(image, SharedPalette()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path out = argv[1];
        std::filesystem::create_directories(out / "bitmaps");
        const CFontSet fonts(ZEPH_FONT_DIR);
        WriteBitmaps(out / "bitmaps", fonts);
        WriteFileBytes((out / "zephrane.ico").string(), EncodeIcon(PaintIcon(fonts)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
