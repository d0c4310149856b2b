// The scene: a ringed moon over a citadel in a night of nebulae, seen from a
// stone parapet where a brazier and an oil lamp burn. The buttons sit in
// dark recesses of the parapet's wall.
#include "tools/art/art.h"
#include "tools/art/noise.h"
#include "tools/art/shapes.h"

#include <algorithm>

namespace {

constexpr int kWidth = 640, kHeight = 452;
constexpr int kCopingTop = 222, kWallTop = 234;

const Rgb kWarmLight = Hex(0xFF9A40);

void PaintSky(CCanvas& canvas)
{
    for (int y = 0; y < kCopingTop; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float t = float(y) / float(kCopingTop);
            Rgb sky = Mix(Hex(0x03040C), Hex(0x121634), SmoothStep(0.0f, 1.0f, t));
            sky = Mix(sky, Hex(0x2E1A3E), SmoothStep(0.55f, 1.0f, t) * 0.8f);
            // Nebula: two veils of noise, violet and a cold teal.
            const float veil = Fbm(float(x) / 110.0f, float(y) / 70.0f, 5, 11);
            const float violet = SmoothStep(0.42f, 0.85f, veil) * (1.0f - t * 0.5f);
            sky = sky + Hex(0x4A2068) * (violet * 0.5f);
            const float wisp = Fbm(float(x) / 60.0f + 40.0f, float(y) / 40.0f, 5, 23);
            const float teal = SmoothStep(0.55f, 0.85f, wisp) * SmoothStep(0.1f, 0.6f, veil);
            sky = sky + Hex(0x1C6272) * (teal * 0.45f);
            canvas.At(x, y) = sky;
        }
    // Stars, brighter ones with a faint cross.
    CRandom random(7);
    for (int i = 0; i < 420; ++i) {
        const int x = int(random.Next() % kWidth), y = int(random.Next() % (kCopingTop - 30));
        const float brightness = random.Unit();
        const Rgb tint = Mix(Hex(0xB8C8FF), Hex(0xFFE8C8), random.Unit());
        const float strength = 0.25f + 0.75f * brightness * brightness;
        canvas.AddLight(x, y, tint, strength);
        if (brightness > 0.85f)
            for (int d = 1; d <= 2; ++d) {
                const float arm = strength * (d == 1 ? 0.45f : 0.15f);
                canvas.AddLight(x - d, y, tint, arm);
                canvas.AddLight(x + d, y, tint, arm);
                canvas.AddLight(x, y - d, tint, arm);
                canvas.AddLight(x, y + d, tint, arm);
            }
    }
}

// The ringed moon. Its ring is drawn in two halves, behind and in front.
void PaintMoon(CCanvas& canvas)
{
    const float cx = 552.0f, cy = 84.0f, radius = 56.0f;
    const float cosTilt = float(DetCos(-0.32)), sinTilt = float(DetSin(-0.32));
    auto ring = [&](float x, float y, bool bFront) {
        const float dx = x - cx, dy = y - cy;
        const float u = dx * cosTilt - dy * sinTilt, v = (dx * sinTilt + dy * cosTilt) / 0.26f;
        if ((v > 0) != bFront)
            return 0.0f;
        const float r = Length(u, v) / radius;
        if (r < 1.32f || r > 1.95f)
            return 0.0f;
        const float bands = 0.55f + 0.45f * ValueNoise(r * 26.0f, 0.5f, 5);
        return bands * SmoothStep(1.32f, 1.4f, r) * (1.0f - SmoothStep(1.85f, 1.95f, r)) *
               (r > 1.62f && r < 1.67f ? 0.25f : 1.0f);
    };
    const Rgb ringColor = Hex(0xC8B08A);
    for (int y = 0; y < kCopingTop; ++y)
        for (int x = 400; x < kWidth; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            canvas.Blend(x, y, ringColor, ring(px, py, false) * 0.55f);
            const float d = SdCircle(px, py, cx, cy, radius);
            // A thin haze around the limb.
            if (d > 0.0f)
                canvas.AddLight(x, y, Hex(0x3C7C9A), 0.35f / (1.0f + d * d / 40.0f));
            const float cover = Coverage(d);
            if (cover > 0.0f) {
                const float nx = (px - cx) / radius, ny = (py - cy) / radius;
                const float nz2 = 1.0f - nx * nx - ny * ny;
                const float nz = nz2 > 0.0f ? std::sqrt(nz2) : 0.0f;
                const float light = Clamp01(-0.62f * nx - 0.38f * ny + 0.68f * nz);
                const float maria = Fbm(px / 14.0f, py / 14.0f, 5, 31);
                Rgb surface = Mix(Hex(0x9CB4C0), Hex(0x56707E), SmoothStep(0.45f, 0.7f, maria));
                surface = surface * (0.08f + 0.92f * light);
                canvas.Blend(x, y, surface, cover);
            }
            canvas.Blend(x, y, ringColor, ring(px, py, true) * 0.8f);
        }
}

// Two ranges of mountains, the far one paler in the haze.
void PaintMountains(CCanvas& canvas)
{
    for (int x = 0; x < kWidth; ++x) {
        const float far = 150.0f + 44.0f * Fbm(float(x) / 90.0f, 3.0f, 5, 41);
        const float near = 182.0f + 34.0f * Fbm(float(x) / 50.0f, 9.0f, 5, 43);
        for (int y = 0; y < kCopingTop; ++y) {
            const float py = float(y) + 0.5f;
            const float shade = Fbm(float(x) / 12.0f, py / 12.0f, 3, 47);
            canvas.Blend(x, y, Hex(0x1A1C34) * (0.8f + 0.4f * shade), Coverage(far - py));
            canvas.Blend(x, y, Hex(0x0A0A14) * (0.8f + 0.5f * shade), Coverage(near - py));
        }
    }
}

// Towers before the moon, with a few lit windows.
void PaintCitadel(CCanvas& canvas)
{
    struct Tower {
        float x, halfWidth, top, spire;
    };
    const Tower kTowers[] = {{512, 7, 146, 16},  {531, 9, 118, 28}, {552, 6, 98, 40},
                             {571, 10, 128, 22}, {592, 7, 150, 14}, {606, 5, 160, 10}};
    const Rgb kStone = Hex(0x07070E);
    for (int y = 80; y < kCopingTop; ++y)
        for (int x = 495; x < 620; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            float d = SdRoundBox(px, py, 558.0f, 190.0f, 52.0f, 24.0f, 1.0f);
            for (const Tower& t : kTowers) {
                d = std::min(d, SdRoundBox(px, py, t.x, (t.top + 200.0f) / 2.0f, t.halfWidth,
                                           (200.0f - t.top) / 2.0f, 0.5f));
                const std::vector<Point> roof = {{t.x - t.halfWidth - 2, t.top},
                                                 {t.x + t.halfWidth + 2, t.top},
                                                 {t.x, t.top - t.spire}};
                d = std::min(d, SdPolygon(px, py, roof));
            }
            canvas.Blend(x, y, kStone, Coverage(d));
        }
    CRandom random(53);
    for (const Tower& t : kTowers)
        for (float wy = t.top + 8; wy < 196; wy += 11 + float(random.Next() % 6)) {
            if (random.Unit() < 0.45f)
                continue;
            const int wx = int(t.x) - 1 + int(random.Next() % 3) - 1;
            canvas.Blend(wx, int(wy), Hex(0xFFB050), 0.9f);
            canvas.Blend(wx, int(wy) + 1, Hex(0xE07828), 0.8f);
            canvas.AddLight(wx - 1, int(wy), kWarmLight, 0.08f);
            canvas.AddLight(wx + 1, int(wy), kWarmLight, 0.08f);
        }
}

// The stone of the parapet: a coping along its top, then courses of blocks.
Rgb StoneAt(int x, int y)
{
    const float grain = Fbm(float(x) / 7.0f, float(y) / 7.0f, 4, 61);
    const float grime = Fbm(float(x) / 40.0f, float(y) / 30.0f, 3, 67);
    const Rgb base = Hex(0x2E3038) * (0.7f + 0.35f * grime);
    if (y < kWallTop) {
        // The coping's rounded top catches the light, its underside is dark.
        const float t = float(y - kCopingTop) / float(kWallTop - kCopingTop);
        const float shape = t < 0.25f ? 1.3f : (t > 0.8f ? 0.4f : 1.0f);
        return base * ((0.8f + 0.4f * grain) * shape);
    }
    const int nCourse = (y - kWallTop) / 24;
    const int yInCourse = (y - kWallTop) % 24;
    // Blocks of 44 to 84 pixels, each course offset from the one above.
    int blockStart = -int(Hash3(nCourse, 0, 71) % 60);
    int blockIndex = 0;
    int blockWidth = 44 + int(Hash3(nCourse, blockIndex, 73) % 41);
    while (blockStart + blockWidth <= x) {
        blockStart += blockWidth;
        ++blockIndex;
        blockWidth = 44 + int(Hash3(nCourse, blockIndex, 73) % 41);
    }
    const int xInBlock = x - blockStart;
    if (yInCourse < 2 || xInBlock < 2)
        return Hex(0x0C0C0E) * (0.7f + 0.6f * grain);
    const float tint = 0.85f + 0.25f * HashUnit(nCourse, blockIndex, 79);
    float relief = 1.0f;
    if (yInCourse < 4 || xInBlock < 4)
        relief = 1.25f;
    else if (yInCourse > 21 || xInBlock > blockWidth - 3)
        relief = 0.7f;
    return base * (tint * relief * (0.75f + 0.45f * grain));
}

void PaintParapet(CCanvas& canvas)
{
    for (int y = kCopingTop; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            canvas.At(x, y) = StoneAt(x, y);
}

// A dark recess behind each button, a little larger than the button, with a
// shadow along its upper and left inner edges.
void PaintRecess(CCanvas& canvas, int left, int top, int right, int bottom)
{
    const float cx = float(left + right) / 2.0f, cy = float(top + bottom) / 2.0f;
    const float hw = float(right - left) / 2.0f, hh = float(bottom - top) / 2.0f;
    for (int y = top - 2; y < bottom + 2; ++y)
        for (int x = left - 2; x < right + 2; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float d = SdRoundBox(px, py, cx, cy, hw, hh, 5.0f);
            const float inside = Coverage(d);
            if (inside <= 0.0f) {
                // A lit lip along the lower and right outer edge.
                if (d < 1.5f && (py > cy + hh - 2.0f || px > cx + hw - 2.0f))
                    canvas.AddLight(x, y, Hex(0x6A6458), 0.35f);
                continue;
            }
            const float depth = Clamp01(-d / 5.0f);
            const bool bShadowSide = (py - top) < 6.0f || (px - left) < 6.0f;
            const float shade = bShadowSide ? 0.18f + 0.12f * depth : 0.26f + 0.08f * depth;
            canvas.At(x, y) = Mix(canvas.At(x, y), canvas.At(x, y) * shade + Hex(0x05060A), inside);
        }
}

void PaintRecesses(CCanvas& canvas)
{
    const int kMargin = 3;
    for (int id : {1, 2, 4, 9, 10}) {
        const LayoutRect rc = ButtonRect(id);
        PaintRecess(canvas, rc.left - kMargin, rc.top - kMargin, rc.right + kMargin, rc.bottom + kMargin);
    }
    // One long recess holds the three web-site buttons.
    PaintRecess(canvas, 146, 343, 502, 445);
}

// Metal: dark bronze lit from the fire above and in front.
Rgb Bronze(float light) { return Mix(Hex(0x120A05), Hex(0x9A6A38), Clamp01(light)); }

// The big brazier: a bowl on a short stem and three feet, standing on the
// coping under the big flame; its coals glow at the rim.
void PaintBrazier(CCanvas& canvas)
{
    const float cx = kBigFlameSeat.baseX;
    const std::vector<Point> bowl = {{cx - 27, 188}, {cx + 27, 188}, {cx + 20, 201}, {cx + 8, 206},
                                     {cx - 8, 206},  {cx - 20, 201}};
    const std::vector<Point> foot = {{cx - 16, float(kCopingTop)}, {cx - 5, 212}, {cx + 5, 212},
                                     {cx + 16, float(kCopingTop)}};
    for (int y = 180; y < kCopingTop; ++y)
        for (int x = int(cx) - 32; x < int(cx) + 32; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float dBowl = SdPolygon(px, py, bowl);
            const float dRim = SdRoundBox(px, py, cx, 188.5f, 28.5f, 2.2f, 1.5f);
            const float dStem = std::min(SdRoundBox(px, py, cx, 210.0f, 3.5f, 5.0f, 1.0f),
                                         SdRoundBox(px, py, cx, 207.0f, 9.0f, 1.5f, 1.0f));
            const float dFoot = SdPolygon(px, py, foot);
            const float across = (px - cx) / 28.0f; // -1 to 1 over the bowl
            // Lit from above: the top of each part bright, its sides falling off.
            const float roundness = 1.0f - across * across;
            canvas.Blend(x, y, Bronze(0.15f + 0.5f * roundness * (1.0f - (py - 188.0f) / 22.0f)),
                         Coverage(dBowl));
            canvas.Blend(x, y, Bronze(0.35f + 0.4f * roundness), Coverage(std::min(dStem, dFoot)));
            canvas.Blend(x, y, Bronze(0.5f + 0.5f * roundness), Coverage(dRim));
            // Grooves around the bowl.
            if (dBowl < -1.0f && (y == 195 || y == 199))
                canvas.Blend(x, y, Hex(0x120A04), 0.7f);
        }
    // Coals heaped in the bowl, showing above the rim.
    for (int y = 182; y < 188; ++y)
        for (int x = int(cx) - 24; x < int(cx) + 24; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float heap = 187.0f - 5.0f * (1.0f - ((px - cx) / 24.0f) * ((px - cx) / 24.0f));
            const float cover = Coverage(heap - py);
            const float glow = 0.5f + 0.5f * Fbm(px / 3.0f, py / 3.0f, 2, 83);
            canvas.Blend(x, y, Mix(Hex(0x501004), Hex(0xFF8A20), glow), cover);
        }
}

// The oil lamp under the small flame: a shallow cup on a stem.
void PaintLamp(CCanvas& canvas)
{
    const float cx = kSmallFlameSeat.baseX;
    const std::vector<Point> cup = {{cx - 10, 204}, {cx + 10, 204}, {cx + 6, 211}, {cx - 6, 211}};
    for (int y = 200; y < kCopingTop; ++y)
        for (int x = int(cx) - 14; x < int(cx) + 14; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float across = (px - cx) / 10.0f;
            const float roundness = 1.0f - across * across;
            const float dCup = SdPolygon(px, py, cup);
            const float dRim = SdRoundBox(px, py, cx, 204.5f, 10.5f, 1.2f, 1.0f);
            const float dStem = std::min(SdRoundBox(px, py, cx, 215.5f, 2.0f, 5.0f, 0.8f),
                                         SdRoundBox(px, py, cx, kCopingTop - 1.0f, 7.0f, 1.8f, 1.0f));
            canvas.Blend(x, y, Bronze(0.2f + 0.55f * roundness), Coverage(dCup));
            canvas.Blend(x, y, Bronze(0.35f + 0.4f * roundness), Coverage(dStem));
            canvas.Blend(x, y, Bronze(0.55f + 0.45f * roundness), Coverage(dRim));
        }
    // The wick's glow in the cup.
    for (int x = int(cx) - 3; x <= int(cx) + 3; ++x)
        canvas.Blend(x, 203, Hex(0xFFB040), 0.8f - 0.2f * std::abs(float(x) - cx));
}

// Light of the two fires on everything around them. It lies still in the
// background; the moving light of the flames stays inside their frames.
void PaintFirelight(CCanvas& canvas)
{
    struct Source {
        float x, y, radius, strength;
    };
    const Source kSources[] = {{kBigFlameSeat.baseX, 160.0f, 95.0f, 0.75f},
                               {kSmallFlameSeat.baseX, 192.0f, 45.0f, 0.6f}};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            float light = 0.0f;
            for (const Source& s : kSources) {
                const float dx = float(x) - s.x, dy = float(y) - s.y;
                light += s.strength / (1.0f + (dx * dx + dy * dy) / (s.radius * s.radius));
            }
            Rgb& pixel = canvas.At(x, y);
            // Stone and metal take the light as colour; the sky only a haze.
            const float surface = y >= kCopingTop ? 1.0f : 0.25f;
            pixel = pixel + pixel * kWarmLight * (light * 1.8f * surface) + kWarmLight * (light * 0.04f);
        }
}

// Keeps the ground dark toward the bottom and the corners, so that the
// buttons and the fire stand out.
void PaintVignette(CCanvas& canvas)
{
    for (int y = kCopingTop; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float t = float(y - kCopingTop) / float(kHeight - kCopingTop);
            const float side = std::abs(float(x) - 320.0f) / 320.0f;
            canvas.At(x, y) = canvas.At(x, y) * (1.0f - 0.45f * t - 0.2f * side * side);
        }
}

// Small lettering cut into the wall.
void PaintInscriptions(CCanvas& canvas, const CFontSet& fonts)
{
    // Cut into the stone: a dark groove with gold in it, lit along its lower
    // edge.
    const CMask heading = fonts.m_serifBold.Render("ON THE WEB", 10, 3);
    const int hx = 324 - heading.Width() / 2, hy = 329;
    canvas.BlendMask(heading, hx, hy + 1, Hex(0x8A7A60), 0.6f);
    canvas.BlendMask(heading, hx, hy - 1, Hex(0x040404), 0.9f);
    canvas.BlendMask(heading, hx, hy, Hex(0xA87A1E), 0.9f);

    const CMask credit = fonts.m_sans.Render("ZEPHRANE DEMO", 9, 2);
    canvas.BlendMask(credit, 562 - credit.Width() / 2, 380, Hex(0x8C8676), 0.8f);
    const CMask copyright = fonts.m_sans.Render("\xA9 QUILLSPIRE INTERACTIVE", 8, 0);
    canvas.BlendMask(copyright, 562 - copyright.Width() / 2, 394, Hex(0x6C675C), 0.8f);
}

} // namespace

CCanvas PaintBackground(const CFontSet& fonts)
{
    CCanvas canvas(kWidth, kHeight);
    PaintSky(canvas);
    PaintMoon(canvas);
    PaintMountains(canvas);
    PaintCitadel(canvas);
    PaintParapet(canvas);
    PaintVignette(canvas);
    PaintRecesses(canvas);
    PaintInscriptions(canvas, fonts);
    PaintBrazier(canvas);
    PaintLamp(canvas);
    PaintFirelight(canvas);
    return canvas;
}
