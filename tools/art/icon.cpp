// The launcher's icon: a gold Z on a night-blue medallion, lit from below by
// fire. The icon's pictures have a 1-bit mask, so the round edge is blended
// toward a dark tone instead of toward transparency.
#include "tools/art/art.h"
#include "tools/art/shapes.h"

namespace {

CCanvas PaintMedallion(const CFontSet& fonts, int nSize, CMask& opaque)
{
    const float size = float(nSize);
    const float c = size / 2.0f, radius = size / 2.0f - 0.5f;
    CCanvas canvas(nSize, nSize, Hex(0x000000));
    opaque = CMask(nSize, nSize);
    const float rim = nSize >= 32 ? 2.0f : 1.2f;
    for (int y = 0; y < nSize; ++y)
        for (int x = 0; x < nSize; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float d = SdCircle(px, py, c, c, radius);
            opaque.At(x, y) = Coverage(d) >= 0.5f ? 1.0f : 0.0f;
            const float t = py / size;
            Rgb face = Mix(Hex(0x0E132C), Hex(0x3A0E06), SmoothStep(0.35f, 1.0f, t));
            // Firelight rising from the lower edge.
            const float below = Length(px - c, py - size) / size;
            face = face + Hex(0xF0680E) * (0.55f * Clamp01(1.0f - below * 1.4f));
            const Rgb gold = Mix(Hex(0xFCEEBC), Hex(0x845A12), t);
            face = Mix(face, gold, Coverage(-d - rim));
            face = Mix(face, gold, Clamp01(1.0f - std::abs(d + rim * 0.5f) / (rim * 0.6f)));
            canvas.At(x, y) = Mix(Hex(0x1A1008), face, Coverage(d));
        }
    const CMask letter = fonts.m_serifBold.Render("Z", int(size * 0.62f));
    const int lx = (nSize - letter.Width()) / 2, ly = (nSize - letter.Height()) / 2;
    if (nSize >= 32)
        canvas.BlendMask(letter, lx + 1, ly + 1, Hex(0x000000), 0.8f);
    for (int y = 0; y < letter.Height(); ++y)
        for (int x = 0; x < letter.Width(); ++x) {
            const float t = float(y) / float(letter.Height());
            canvas.Blend(lx + x, ly + y, Mix(Hex(0xFFF4C8), Hex(0xE0A030), t), letter.At(x, y));
        }
    return canvas;
}

// Sixteen colours have no gold or deep blue-black: error diffusion mixes them
// from the colours there are, so that the picture keeps its tones. At 256
// colours only the larger pictures take a light ordered dither; at 16 pixels
// it would read as noise.
std::vector<uint8_t> Diffused(const CCanvas& canvas, const CQuantizer& quantizer, const Rgb8* pColors)
{
    CCanvas work = canvas;
    std::vector<uint8_t> indices(size_t(canvas.Width()) * canvas.Height());
    for (int y = 0; y < work.Height(); ++y)
        for (int x = 0; x < work.Width(); ++x) {
            const Rgb wanted = work.At(x, y);
            const uint8_t index = quantizer.Nearest(wanted);
            indices[size_t(y) * work.Width() + x] = index;
            const Rgb8& got = pColors[index];
            // Damped, so that the dark face stays calm instead of speckled.
            const Rgb error = (wanted - Rgb{got.r / 255.0f, got.g / 255.0f, got.b / 255.0f}) * 0.6f;
            const struct {
                int dx, dy;
                float weight;
            } kSpread[] = {{1, 0, 7.0f / 16}, {-1, 1, 3.0f / 16}, {0, 1, 5.0f / 16}, {1, 1, 1.0f / 16}};
            for (const auto& spread : kSpread)
                if (work.Contains(x + spread.dx, y + spread.dy))
                    work.At(x + spread.dx, y + spread.dy) = work.At(x + spread.dx, y + spread.dy) + error * spread.weight;
        }
    return indices;
}

IconImage Quantized(const CCanvas& canvas, const CMask& opaque, const Rgb8* pColors, int nColors, int nBitCount)
{
    const CQuantizer quantizer(pColors, nColors, nBitCount == 8 && canvas.Width() > 16 ? 0.03f : 0.0f);
    IconImage icon;
    icon.nBitCount = nBitCount;
    icon.colors.assign(pColors, pColors + nColors);
    icon.image.nWidth = canvas.Width();
    icon.image.nHeight = canvas.Height();
    icon.image.indices = nBitCount == 4 ? Diffused(canvas, quantizer, pColors) : quantizer.Quantize(canvas, 0, 0);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            icon.opaque.push_back(opaque.At(x, y) > 0.0f);
    return icon;
}

} // namespace

std::vector<IconImage> PaintIcon(const CFontSet& fonts)
{
    std::vector<IconImage> icons;
    for (int nSize : {48, 32, 16}) {
        CMask opaque;
        const CCanvas canvas = PaintMedallion(fonts, nSize, opaque);
        icons.push_back(Quantized(canvas, opaque, SharedPalette().data(), 256, 8));
        icons.push_back(Quantized(canvas, opaque, VgaPalette().data(), 16, 4));
    }
    return icons;
}
