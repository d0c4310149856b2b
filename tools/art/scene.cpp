// The scene: a ringed moon over a citadel in a night of nebulae, seen from a
// stone parapet where a brazier and an oil lamp burn. The buttons sit in
// dark recesses of the parapet's wall. It is painted at the size of any
// disc's background and around its layout; the demo's is the first, and the
// places below are its own, moved with the background's right edge and its
// parapet.
#include "tools/art/art.h"
#include "tools/art/noise.h"
#include "tools/art/shapes.h"

#include <algorithm>

namespace {

// The demo's background, for which the scene was painted.
constexpr int kDemoHeight = 452, kDemoWidth = 640, kDemoCopingTop = 222;

// Where the parts of the scene lie on a background.
struct Scene {
    explicit Scene(const LauncherLayout& layout)
        : layout(layout), width(layout.background.right), height(layout.background.bottom),
          copingTop(kDemoCopingTop * height / kDemoHeight), wallTop(copingTop + 12),
          dx(width - kDemoWidth), dy(copingTop - kDemoCopingTop)
    {
    }
    const LauncherLayout& layout;
    int width, height;
    int copingTop, wallTop; // the parapet's coping, then its wall
    int dx, dy;             // the moon and the citadel from the demo's places
};

const Rgb kWarmLight = Hex(0xFF9A40);

void PaintSky(CCanvas& canvas, const Scene& scene)
{
    const int copingTop = scene.copingTop, width = scene.width;
    for (int y = 0; y < copingTop; ++y)
        for (int x = 0; x < width; ++x) {
            const float t = float(y) / float(copingTop);
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
    const int nStars = int(420LL * width * copingTop / (kDemoWidth * kDemoCopingTop));
    for (int i = 0; i < nStars; ++i) {
        const int x = int(random.Next() % width), y = int(random.Next() % (copingTop - 30));
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
void PaintMoon(CCanvas& canvas, const Scene& scene)
{
    const float cx = float(552 + scene.dx), cy = 84.0f, radius = 56.0f;
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
    for (int y = 0; y < scene.copingTop; ++y)
        for (int x = std::max(0, 400 + scene.dx); x < scene.width; ++x) {
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
void PaintMountains(CCanvas& canvas, const Scene& scene)
{
    for (int x = 0; x < scene.width; ++x) {
        const float far = float(150 + scene.dy) + 44.0f * Fbm(float(x) / 90.0f, 3.0f, 5, 41);
        const float near = float(182 + scene.dy) + 34.0f * Fbm(float(x) / 50.0f, 9.0f, 5, 43);
        for (int y = 0; y < scene.copingTop; ++y) {
            const float py = float(y) + 0.5f;
            const float shade = Fbm(float(x) / 12.0f, py / 12.0f, 3, 47);
            canvas.Blend(x, y, Hex(0x1A1C34) * (0.8f + 0.4f * shade), Coverage(far - py));
            canvas.Blend(x, y, Hex(0x0A0A14) * (0.8f + 0.5f * shade), Coverage(near - py));
        }
    }
}

// Towers before the moon, with a few lit windows; drawn in the demo's
// places, moved with the moon and the parapet.
void PaintCitadel(CCanvas& canvas, const Scene& scene)
{
    struct Tower {
        float x, halfWidth, top, spire;
    };
    const Tower kTowers[] = {{512, 7, 146, 16},  {531, 9, 118, 28}, {552, 6, 98, 40},
                             {571, 10, 128, 22}, {592, 7, 150, 14}, {606, 5, 160, 10}};
    const Rgb kStone = Hex(0x07070E);
    for (int y = 80 + scene.dy; y < scene.copingTop; ++y)
        for (int x = 495 + scene.dx; x < 620 + scene.dx; ++x) {
            const float px = float(x - scene.dx) + 0.5f, py = float(y - scene.dy) + 0.5f;
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
            const int wx = int(t.x) - 1 + int(random.Next() % 3) - 1 + scene.dx, ny = int(wy) + scene.dy;
            canvas.Blend(wx, ny, Hex(0xFFB050), 0.9f);
            canvas.Blend(wx, ny + 1, Hex(0xE07828), 0.8f);
            canvas.AddLight(wx - 1, ny, kWarmLight, 0.08f);
            canvas.AddLight(wx + 1, ny, kWarmLight, 0.08f);
        }
}

// The stone of the parapet: a coping along its top, then courses of blocks.
Rgb StoneAt(const Scene& scene, int x, int y)
{
    const int copingTop = scene.copingTop, wallTop = scene.wallTop;
    const float grain = Fbm(float(x) / 7.0f, float(y) / 7.0f, 4, 61);
    const float grime = Fbm(float(x) / 40.0f, float(y) / 30.0f, 3, 67);
    const Rgb base = Hex(0x2E3038) * (0.7f + 0.35f * grime);
    if (y < wallTop) {
        // The coping's rounded top catches the light, its underside is dark.
        const float t = float(y - copingTop) / float(wallTop - copingTop);
        const float shape = t < 0.25f ? 1.3f : (t > 0.8f ? 0.4f : 1.0f);
        return base * ((0.8f + 0.4f * grain) * shape);
    }
    const int nCourse = (y - wallTop) / 24;
    const int yInCourse = (y - wallTop) % 24;
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

void PaintParapet(CCanvas& canvas, const Scene& scene)
{
    for (int y = scene.copingTop; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x)
            canvas.At(x, y) = StoneAt(scene, x, y);
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
            if (!canvas.Contains(x, y))
                continue;
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

// The web-site buttons' recess: one around all three.
LayoutRect WebRecess(const LauncherLayout& layout)
{
    LayoutRect recess{0, 0, 0, 0};
    for (LauncherButton id : {7, 11, 12}) {
        const LayoutRect rc = ButtonRect(id, layout);
        if (IsEmptyRect(rc))
            continue;
        recess = IsEmptyRect(recess) ? rc
                                     : LayoutRect{std::min(recess.left, rc.left), std::min(recess.top, rc.top),
                                                  std::max(recess.right, rc.right), std::max(recess.bottom, rc.bottom)};
    }
    const int kMargin = 4;
    return IsEmptyRect(recess) ? recess
                               : LayoutRect{recess.left - kMargin, recess.top - kMargin, recess.right + kMargin,
                                            recess.bottom + kMargin};
}

void PaintRecesses(CCanvas& canvas, const LauncherLayout& layout)
{
    const int kMargin = 3;
    // Play has a recess of its own only where it does not take install's place.
    for (LauncherButton id : {1, 8, 2, 4, 9, 10}) {
        const LayoutRect rc = ButtonRect(id, layout);
        if (IsEmptyRect(rc) || (id == 8 && SameRect(rc, ButtonRect(1, layout))))
            continue;
        PaintRecess(canvas, rc.left - kMargin, rc.top - kMargin, rc.right + kMargin, rc.bottom + kMargin);
    }
    const LayoutRect web = WebRecess(layout);
    if (!IsEmptyRect(web))
        PaintRecess(canvas, web.left, web.top, web.right, web.bottom);
}

// Metal: dark bronze lit from the fire above and in front.
Rgb Bronze(float light) { return Mix(Hex(0x120A05), Hex(0x9A6A38), Clamp01(light)); }

// The big brazier: a bowl on a short stem and three feet under the big
// flame, standing on the coping in the demo; its coals glow at the rim.
void PaintBrazier(CCanvas& canvas, const FlameSeat& seat)
{
    const float cx = seat.baseX, base = seat.baseY;
    const int top = int(base) - 10, ground = int(base) + 32;
    const std::vector<Point> bowl = {{cx - 27, base - 2}, {cx + 27, base - 2}, {cx + 20, base + 11},
                                     {cx + 8, base + 16},  {cx - 8, base + 16},  {cx - 20, base + 11}};
    const std::vector<Point> foot = {{cx - 16, float(ground)}, {cx - 5, base + 22}, {cx + 5, base + 22},
                                     {cx + 16, float(ground)}};
    for (int y = top; y < ground; ++y)
        for (int x = int(cx) - 32; x < int(cx) + 32; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float dBowl = SdPolygon(px, py, bowl);
            const float dRim = SdRoundBox(px, py, cx, base - 1.5f, 28.5f, 2.2f, 1.5f);
            const float dStem = std::min(SdRoundBox(px, py, cx, base + 20.0f, 3.5f, 5.0f, 1.0f),
                                         SdRoundBox(px, py, cx, base + 17.0f, 9.0f, 1.5f, 1.0f));
            const float dFoot = SdPolygon(px, py, foot);
            const float across = (px - cx) / 28.0f; // -1 to 1 over the bowl
            // Lit from above: the top of each part bright, its sides falling off.
            const float roundness = 1.0f - across * across;
            canvas.Blend(x, y, Bronze(0.15f + 0.5f * roundness * (1.0f - (py - (base - 2.0f)) / 22.0f)),
                         Coverage(dBowl));
            canvas.Blend(x, y, Bronze(0.35f + 0.4f * roundness), Coverage(std::min(dStem, dFoot)));
            canvas.Blend(x, y, Bronze(0.5f + 0.5f * roundness), Coverage(dRim));
            // Grooves around the bowl.
            if (dBowl < -1.0f && (y == top + 15 || y == top + 19))
                canvas.Blend(x, y, Hex(0x120A04), 0.7f);
        }
    // Coals heaped in the bowl, showing above the rim.
    for (int y = top + 2; y < top + 8; ++y)
        for (int x = int(cx) - 24; x < int(cx) + 24; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float heap = (base - 3.0f) - 5.0f * (1.0f - ((px - cx) / 24.0f) * ((px - cx) / 24.0f));
            const float cover = Coverage(heap - py);
            const float glow = 0.5f + 0.5f * Fbm(px / 3.0f, py / 3.0f, 2, 83);
            canvas.Blend(x, y, Mix(Hex(0x501004), Hex(0xFF8A20), glow), cover);
        }
}

// The oil lamp under the small flame: a shallow cup on a stem.
void PaintLamp(CCanvas& canvas, const FlameSeat& seat)
{
    const float cx = seat.baseX, base = seat.baseY;
    const int ground = int(base) + 18;
    const std::vector<Point> cup = {{cx - 10, base}, {cx + 10, base}, {cx + 6, base + 7}, {cx - 6, base + 7}};
    for (int y = int(base) - 4; y < ground; ++y)
        for (int x = int(cx) - 14; x < int(cx) + 14; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float across = (px - cx) / 10.0f;
            const float roundness = 1.0f - across * across;
            const float dCup = SdPolygon(px, py, cup);
            const float dRim = SdRoundBox(px, py, cx, base + 0.5f, 10.5f, 1.2f, 1.0f);
            const float dStem = std::min(SdRoundBox(px, py, cx, base + 11.5f, 2.0f, 5.0f, 0.8f),
                                         SdRoundBox(px, py, cx, ground - 1.0f, 7.0f, 1.8f, 1.0f));
            canvas.Blend(x, y, Bronze(0.2f + 0.55f * roundness), Coverage(dCup));
            canvas.Blend(x, y, Bronze(0.35f + 0.4f * roundness), Coverage(dStem));
            canvas.Blend(x, y, Bronze(0.55f + 0.45f * roundness), Coverage(dRim));
        }
    // The wick's glow in the cup.
    for (int x = int(cx) - 3; x <= int(cx) + 3; ++x)
        canvas.Blend(x, int(base) - 1, Hex(0xFFB040), 0.8f - 0.2f * std::abs(float(x) - cx));
}

// Light of the fires on everything around them. It lies still in the
// background; the moving light of the flames stays inside their frames.
void PaintFirelight(CCanvas& canvas, const Scene& scene)
{
    struct Source {
        float x, y, radius, strength;
    };
    std::vector<Source> sources;
    if (!IsEmptyRect(scene.layout.flames[kBigFlame])) {
        const FlameSeat seat = SeatOf(scene.layout.flames[kBigFlame]);
        sources.push_back({seat.baseX, seat.baseY - 30.0f, 95.0f, 0.75f});
    }
    if (!IsEmptyRect(scene.layout.flames[kSmallFlame])) {
        const FlameSeat seat = SeatOf(scene.layout.flames[kSmallFlame]);
        sources.push_back({seat.baseX, seat.baseY - 12.0f, 45.0f, 0.6f});
    }
    for (int y = 0; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x) {
            float light = 0.0f;
            for (const Source& s : sources) {
                const float dx = float(x) - s.x, dy = float(y) - s.y;
                light += s.strength / (1.0f + (dx * dx + dy * dy) / (s.radius * s.radius));
            }
            Rgb& pixel = canvas.At(x, y);
            // Stone and metal take the light as colour; the sky only a haze.
            const float surface = y >= scene.copingTop ? 1.0f : 0.25f;
            pixel = pixel + pixel * kWarmLight * (light * 1.8f * surface) + kWarmLight * (light * 0.04f);
        }
}

// Keeps the ground dark toward the bottom and the corners, so that the
// buttons and the fire stand out.
void PaintVignette(CCanvas& canvas, const Scene& scene)
{
    const float middle = float(scene.width) / 2.0f;
    for (int y = scene.copingTop; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x) {
            const float t = float(y - scene.copingTop) / float(scene.height - scene.copingTop);
            const float side = std::abs(float(x) - middle) / middle;
            canvas.At(x, y) = canvas.At(x, y) * (1.0f - 0.45f * t - 0.2f * side * side);
        }
}

// Small lettering cut into the wall: a heading over the web sites' recess,
// and the game's credit under EXIT.
void PaintInscriptions(CCanvas& canvas, const CFontSet& fonts, const LauncherLayout& layout)
{
    const LayoutRect web = WebRecess(layout);
    if (!IsEmptyRect(web)) {
        // Cut into the stone: a dark groove with gold in it, lit along its
        // lower edge.
        const CMask heading = fonts.m_serifBold.Render("ON THE WEB", 10, 3);
        const int hx = (web.left + web.right) / 2 - heading.Width() / 2, hy = web.top - 14;
        canvas.BlendMask(heading, hx, hy + 1, Hex(0x8A7A60), 0.6f);
        canvas.BlendMask(heading, hx, hy - 1, Hex(0x040404), 0.9f);
        canvas.BlendMask(heading, hx, hy, Hex(0xA87A1E), 0.9f);
    }
    const LayoutRect exit = ButtonRect(9, layout);
    if (IsEmptyRect(exit))
        return;
    const int cx = (exit.left + exit.right) / 2;
    const CMask credit = fonts.m_sans.Render("ZEPHRANE DEMO", 9, 2);
    canvas.BlendMask(credit, cx - credit.Width() / 2, exit.bottom + 18, Hex(0x8C8676), 0.8f);
    const CMask copyright = fonts.m_sans.Render("\xA9 QUILLSPIRE INTERACTIVE", 8, 0);
    canvas.BlendMask(copyright, cx - copyright.Width() / 2, exit.bottom + 32, Hex(0x6C675C), 0.8f);
}

} // namespace

FlameSeat SeatOf(const LayoutRect& rect)
{
    // A tall flame burns from 8 pixels above its frame's bottom on fuel of
    // three tenths of its width; a short one from 5, on a little less. A
    // flame too short for that burns from its bottom row.
    const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
    const bool bTall = height > 80;
    const int32_t rise = std::min<int32_t>(bTall ? 8 : 5, (height - 1) / 2);
    const float halfWidth = float(width * (bTall ? 30 : 26)) / 100.0f;
    return FlameSeat{rect, float(rect.left + rect.right) / 2.0f, float(rect.bottom - rise),
                     std::max(halfWidth, 0.5f)};
}

CCanvas PaintBackground(const CFontSet& fonts, const LauncherLayout& layout)
{
    const Scene scene(layout);
    CCanvas canvas(scene.width, scene.height);
    PaintSky(canvas, scene);
    PaintMoon(canvas, scene);
    PaintMountains(canvas, scene);
    PaintCitadel(canvas, scene);
    PaintParapet(canvas, scene);
    PaintVignette(canvas, scene);
    PaintRecesses(canvas, layout);
    PaintInscriptions(canvas, fonts, layout);
    if (!IsEmptyRect(layout.flames[kBigFlame]))
        PaintBrazier(canvas, SeatOf(layout.flames[kBigFlame]));
    if (!IsEmptyRect(layout.flames[kSmallFlame]))
        PaintLamp(canvas, SeatOf(layout.flames[kSmallFlame]));
    PaintFirelight(canvas, scene);
    return canvas;
}
