// The buttons: metal plaques with engraved-gold labels, the game's logo, and
// the emblems of the three companies. Each picture is its place on the
// background with the button painted over it; its outer pixels stay the
// background's, so that a button never shows a seam where it meets the wall,
// a neighbouring button or the big flame.
#include "tools/art/art.h"
#include "tools/art/noise.h"
#include "tools/art/shapes.h"

#include <algorithm>

namespace {

// How a picture differs from the up picture: the focus picture is lit, the
// down picture sits a pixel lower and to the right, in shadow.
struct Look {
    int nShift;
    float brightness;
    float glow;
    bool bPressed;
};

// How a button drawn for one size sits on a button of another: scaled to
// fit, and centred up and down. On a button of the size it was drawn for,
// the demo's, everything lies where it was drawn.
struct Fit {
    Fit(const CCanvas& canvas, int nDrawnWidth, int nDrawnHeight)
        : scale(std::min(float(canvas.Width()) / float(nDrawnWidth), float(canvas.Height()) / float(nDrawnHeight))),
          top((float(canvas.Height()) - float(nDrawnHeight) * scale) / 2.0f)
    {
    }
    float Y(float y) const { return top + y * scale; }
    int Size(int nSize) const { return std::max(1, int(float(nSize) * scale + 0.5f)); }
    float scale, top;
};

Look LookOf(ButtonImage picture)
{
    switch (picture) {
    case kPictureFocus: return Look{0, 1.25f, 1.0f, false};
    case kPictureDown: return Look{1, 0.75f, 0.0f, true};
    default: return Look{0, 1.0f, 0.0f, false};
    }
}

// The plaque of every button but the logo: brushed dark steel in a rim of
// gold, with a rivet at each end.
void PaintPlaque(CCanvas& canvas, const Look& look, Rgb rimColor)
{
    const int w = canvas.Width(), h = canvas.Height();
    const float s = float(look.nShift);
    const float cx = float(w) / 2.0f + s, cy = float(h) / 2.0f + s;
    const float hw = float(w) / 2.0f - 4.0f, hh = float(h) / 2.0f - 4.0f;
    const Rgb glowColor = Hex(0xFF9A3C);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float d = SdRoundBox(px, py, cx, cy, hw, hh, 7.0f);
            Rgb& pixel = canvas.At(x, y);
            if (d > 0.0f) {
                // A cast shadow below, and the lit picture's warm halo.
                const float shadow = look.bPressed ? 0.0f : Clamp01(1.0f - d / 2.5f) * 0.5f;
                if (py > cy - hh + 4.0f)
                    pixel = pixel * (1.0f - shadow);
                pixel = pixel + glowColor * (look.glow * 0.7f * Clamp01(1.0f - d / 3.0f));
                continue;
            }
            const float t = (py - (cy - hh)) / (2.0f * hh); // 0 at the top, 1 at the bottom
            const float brushed = 0.92f + 0.16f * ValueNoise(px / 9.0f, py * 3.0f, 97);
            Rgb body = Mix(Hex(0x3C4250), Hex(0x12141C), SmoothStep(0.0f, 1.0f, t)) * brushed;
            // The warm light from inside the lit picture.
            const float centre = 1.0f - Clamp01(Length((px - cx) / hw, (py - cy) / hh));
            body = body + Hex(0x6A3010) * (look.glow * 0.6f * centre);
            // Bevel: light on the upper inner edge, shade on the lower; the
            // other way round when pressed in.
            const float edge = Clamp01(1.0f + d / 3.0f);
            const float bevel = (t < 0.5f) != look.bPressed ? 1.0f + 0.5f * edge : 1.0f - 0.4f * edge;
            body = body * (bevel * look.brightness);
            // The rim: two pixels of gold just inside the edge.
            const float rim = Clamp01(1.0f - (-d - 1.0f) / 1.5f);
            const Rgb rimLit = Mix(rimColor, Hex(0xFFF0C0), look.glow * 0.5f) *
                               ((1.2f - 0.6f * t) * (look.bPressed ? 0.7f : 1.0f));
            body = Mix(body, rimLit, rim);
            pixel = Mix(pixel, body, Coverage(d));
        }
    for (float rx : {cx - hw + 6.5f, cx + hw - 6.5f})
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float px = float(x) + 0.5f, py = float(y) + 0.5f;
                const float d = SdCircle(px, py, rx, cy, 2.2f);
                const float lit = Clamp01(0.6f - (px - rx + py - cy) / 4.0f);
                canvas.Blend(x, y, Mix(rimColor * 0.4f, Hex(0xFFF4D0), lit) * look.brightness, Coverage(d));
            }
}

// Lettering in a colour, with a shadow under it; the lit picture adds a halo.
void PaintLettering(CCanvas& canvas, const CMask& ink, int x, int y, const Look& look, Rgb color,
                    Rgb litColor)
{
    x += look.nShift;
    y += look.nShift;
    const int kPad = 4;
    const CMask padded = ink.Padded(kPad);
    canvas.BlendMask(padded.Blurred(1), x - kPad + 1, y - kPad + 1, Hex(0x000000), look.bPressed ? 0.4f : 0.8f);
    if (look.glow > 0.0f)
        canvas.AddMask(padded.Blurred(2), x - kPad, y - kPad, Hex(0xFF8A30), 0.7f * look.glow);
    for (int iy = 0; iy < ink.Height(); ++iy)
        for (int ix = 0; ix < ink.Width(); ++ix) {
            const float t = float(iy) / float(ink.Height());
            // Metal catches the light at the top of each letter.
            const Rgb shaded = Mix(color, litColor, look.glow) * ((1.25f - 0.5f * t) * look.brightness);
            canvas.Blend(x + ix, y + iy, shaded, ink.At(ix, iy));
        }
}

const char* ActionLabel(int id)
{
    switch (id) {
    case 1: return "INSTALL";
    case 2: return "GET DIRECTX";
    case 4: return "READ ME";
    case 8: return "PLAY";
    case 9: return "EXIT";
    case 10: return "UNINSTALL";
    default: return "";
    }
}

void PaintActionButton(CCanvas& canvas, const CFontSet& fonts, int id, const Look& look)
{
    PaintPlaque(canvas, look, Hex(0xB8862E));
    const Fit fit(canvas, 124, 56);
    const CMask label = fonts.m_serifBold.RenderToFit(ActionLabel(id), fit.Size(17), canvas.Width() - 34, 1);
    PaintLettering(canvas, label, (canvas.Width() - label.Width()) / 2, (canvas.Height() - label.Height()) / 2,
                   look, Hex(0xE2B456), Hex(0xFFF2C4));
}

// The game's title in gold on the night sky, over a line of smaller letters.
void PaintLogo(CCanvas& canvas, const CFontSet& fonts, const Look& look)
{
    const Fit fit(canvas, 320, 130);
    const CMask title = fonts.m_serifBold.RenderToFit("ZEPHRANE", fit.Size(64), canvas.Width() - 34, 3);
    const int tx = (canvas.Width() - title.Width()) / 2 + look.nShift;
    const int ty = int(fit.Y(22.0f)) + look.nShift;
    const int kPad = 8;
    const CMask padded = title.Padded(kPad);
    // A glow of the fire behind the letters, strong in the lit picture.
    canvas.AddMask(padded.Blurred(5), tx - kPad, ty - kPad, Hex(0xC04A10), 0.35f + 0.6f * look.glow);
    canvas.BlendMask(padded.Dilated(2).Blurred(1), tx - kPad + 2, ty - kPad + 3, Hex(0x000000), 0.75f);
    canvas.BlendMask(padded.Dilated(2), tx - kPad, ty - kPad, Hex(0x1A0C04), 0.9f);
    // Gold with a horizon: bright above the middle, a dark band, then warm
    // reflected light below, as polished metal shows a sky and the ground.
    const CMask relief = padded.Blurred(1);
    for (int y = 0; y < title.Height(); ++y)
        for (int x = 0; x < title.Width(); ++x) {
            const float t = float(y) / float(title.Height());
            Rgb gold = t < 0.52f ? Mix(Hex(0xFFF4C8), Hex(0xE0A840), t / 0.52f)
                                 : Mix(Hex(0x6A3A0C), Hex(0xF0B050), (t - 0.52f) / 0.48f);
            const float slope = relief.At(x + kPad - 1, y + kPad - 1) - relief.At(x + kPad + 1, y + kPad + 1);
            gold = gold * (1.0f + 0.9f * slope) * look.brightness;
            gold = gold + Hex(0xFFE0A0) * (look.glow * 0.25f);
            canvas.Blend(tx + x, ty + y, gold, title.At(x, y));
        }

    const CMask subtitle = fonts.m_sansBold.Render("PLAYABLE DEMO", fit.Size(11), 4);
    const int sx = (canvas.Width() - subtitle.Width()) / 2 + look.nShift;
    const int sy = ty + title.Height() + fit.Size(14);
    const Rgb teal = Mix(Hex(0x7CC8D4), Hex(0xD8FAFF), look.glow) * look.brightness;
    PaintLettering(canvas, subtitle, sx - look.nShift, sy - look.nShift, look, teal, teal);
    // Rules either side of the subtitle, ending in diamonds.
    const float ry = float(sy + subtitle.Height() / 2) + 0.5f;
    for (int side = -1; side <= 1; side += 2) {
        const float inner = float(canvas.Width()) / 2.0f + float(side) * (float(subtitle.Width()) / 2.0f + 10.0f);
        const float outer = inner + float(side) * 62.0f * fit.scale;
        for (int y = int(ry) - 4; y <= int(ry) + 4; ++y)
            for (int x = 0; x < canvas.Width(); ++x) {
                const float px = float(x) + 0.5f, py = float(y) + 0.5f;
                float d = SdSegment(px, py, Point{inner, ry}, Point{outer, ry}, 0.5f);
                const float dx = std::abs(px - outer), dy = std::abs(py - ry);
                d = std::min(d, (dx + dy - 3.0f) * 0.7f);
                canvas.Blend(x + look.nShift, y + look.nShift, teal * 0.9f, Coverage(d));
            }
    }
}

// Quillspire Interactive, the publisher: a spire shaped like a quill's nib.
void PaintQuillEmblem(CCanvas& canvas, float cx, float top, float height, const Look& look)
{
    const float w = height * 0.42f;
    const std::vector<Point> nib = {{cx, top}, {cx + w, top + height * 0.72f}, {cx + w * 0.35f, top + height},
                                    {cx - w * 0.35f, top + height}, {cx - w, top + height * 0.72f}};
    for (int y = int(top) - 2; y < int(top + height) + 2; ++y)
        for (int x = int(cx - w) - 2; x < int(cx + w) + 3; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float d = SdPolygon(px, py, nib);
            const float t = (py - top) / height;
            const bool bLeft = px < cx;
            Rgb face = bLeft ? Mix(Hex(0xE05050), Hex(0x7A1622), t) : Mix(Hex(0xA02430), Hex(0x4A0C14), t);
            face = face * look.brightness + Hex(0xFF8060) * (look.glow * 0.25f);
            canvas.Blend(x, y, face, Coverage(d));
            canvas.Blend(x, y, Hex(0xE8C070) * look.brightness, Coverage(std::abs(d) - 0.6f));
            // The slit of the nib and its hole.
            const float slit = std::min(SdSegment(px, py, Point{cx, top + height * 0.45f}, Point{cx, top + height}, 0.6f),
                                        SdCircle(px, py, cx, top + height * 0.45f, 1.8f));
            canvas.Blend(x, y, Hex(0x140406), Coverage(slit));
        }
}

// Vexmoor Studios, the developer: a hexagon with a V cut through it.
void PaintHexEmblem(CCanvas& canvas, float cx, float cy, float radius, const Look& look)
{
    std::vector<Point> hexagon;
    for (int i = 0; i < 6; ++i) {
        const double a = kPi / 6.0 + kPi / 3.0 * i;
        hexagon.push_back(Point{cx + radius * float(DetCos(a)), cy + radius * float(DetSin(a))});
    }
    const std::vector<Point> vee = {{cx - radius * 0.55f, cy - radius * 0.45f}, {cx - radius * 0.22f, cy - radius * 0.45f},
                                    {cx, cy + radius * 0.12f},                  {cx + radius * 0.22f, cy - radius * 0.45f},
                                    {cx + radius * 0.55f, cy - radius * 0.45f}, {cx, cy + radius * 0.62f}};
    for (int y = int(cy - radius) - 2; y < int(cy + radius) + 3; ++y)
        for (int x = int(cx - radius) - 2; x < int(cx + radius) + 3; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float d = SdPolygon(px, py, hexagon);
            const float t = (py - (cy - radius)) / (2.0f * radius);
            Rgb face = Mix(Hex(0x46AEBA), Hex(0x0C3844), t) * look.brightness + Hex(0x84FFFF) * (look.glow * 0.2f);
            canvas.Blend(x, y, face, Coverage(d));
            canvas.Blend(x, y, Hex(0xD0F6FA) * look.brightness, Coverage(std::abs(d + 1.2f) - 0.5f));
            canvas.Blend(x, y, Hex(0xEAFBFF) * look.brightness, Coverage(SdPolygon(px, py, vee)));
        }
}

// Orlenk, the engine's licensor: a world inside an orbit.
void PaintOrbitEmblem(CCanvas& canvas, float cx, float cy, float radius, const Look& look)
{
    const float cosTilt = float(DetCos(-0.45)), sinTilt = float(DetSin(-0.45));
    for (int y = int(cy - radius) - 3; y < int(cy + radius) + 4; ++y)
        for (int x = int(cx - radius * 1.6f) - 3; x < int(cx + radius * 1.6f) + 4; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float dx = px - cx, dy = py - cy;
            const float u = dx * cosTilt - dy * sinTilt, v = (dx * sinTilt + dy * cosTilt) / 0.36f;
            const float dOrbit = std::abs(Length(u, v) - radius * 1.45f) * 0.36f - 0.7f;
            const bool bBehind = v < 0.0f;
            const float dWorld = SdCircle(px, py, cx, cy, radius * 0.72f);
            const float light = Clamp01(0.55f - (dx + dy) / (radius * 2.2f));
            if (bBehind)
                canvas.Blend(x, y, Hex(0x7ACC8E) * (0.7f * look.brightness), Coverage(dOrbit));
            canvas.Blend(x, y, Mix(Hex(0x0C2E18), Hex(0x7ACC8E), light) * look.brightness +
                                   Hex(0xA0FFB0) * (look.glow * 0.2f), Coverage(dWorld));
            if (!bBehind)
                canvas.Blend(x, y, Hex(0xBCF0C6) * look.brightness, Coverage(dOrbit));
        }
    // A moon riding the orbit.
    const float mu = radius * 1.45f * float(DetCos(0.6)), mv = radius * 1.45f * float(DetSin(0.6)) * 0.36f;
    const float mx = cx + mu * cosTilt + mv * sinTilt, my = cy - mu * sinTilt + mv * cosTilt;
    for (int y = int(my) - 4; y <= int(my) + 4; ++y)
        for (int x = int(mx) - 4; x <= int(mx) + 4; ++x)
            canvas.Blend(x, y, Hex(0xFFFFFF) * look.brightness,
                         Coverage(SdCircle(float(x) + 0.5f, float(y) + 0.5f, mx, my, 2.6f)));
}

void PaintCompanyButton(CCanvas& canvas, const CFontSet& fonts, int id, const Look& look)
{
    PaintPlaque(canvas, look, Hex(0x8A8C96));
    // Each emblem was drawn for its company's plaque in the demo.
    const Fit fit = id == 7 ? Fit(canvas, 114, 68) : id == 11 ? Fit(canvas, 114, 87) : Fit(canvas, 115, 94);
    const int w = canvas.Width();
    const float cx = float(w) / 2.0f + float(look.nShift);
    const Rgb silver = Hex(0xD0D2D8), lit = Hex(0xFFFFFF);
    auto centred = [&](const CMask& ink, int y, Rgb color) {
        PaintLettering(canvas, ink, (w - ink.Width()) / 2, int(fit.Y(float(y))), look, color, lit);
    };
    // Everything shifts with the pressed picture; the emblems take the shift
    // in their own coordinates.
    const float s = float(look.nShift);
    if (id == 7) {
        PaintQuillEmblem(canvas, cx, fit.Y(9.0f) + s, 24.0f * fit.scale, look);
        centred(fonts.m_serifBold.RenderToFit("QUILLSPIRE", fit.Size(12), w - 16, 1), 38, silver);
        centred(fonts.m_sans.Render("INTERACTIVE", fit.Size(7), 2), 52, Hex(0xC05050));
    } else if (id == 11) {
        PaintHexEmblem(canvas, cx, fit.Y(29.0f) + s, 18.0f * fit.scale, look);
        centred(fonts.m_sansBold.RenderToFit("VEXMOOR", fit.Size(14), w - 18, 1), 53, silver);
        centred(fonts.m_sans.Render("STUDIOS", fit.Size(8), 3), 69, Hex(0x46AEBA));
    } else {
        centred(fonts.m_sans.Render("POWERED BY", fit.Size(7), 2), 11, Hex(0x9A9CA6));
        PaintOrbitEmblem(canvas, cx, fit.Y(39.0f) + s, 14.0f * fit.scale, look);
        centred(fonts.m_sansBold.RenderToFit("ORLENK", fit.Size(15), w - 18, 2), 61, silver);
        centred(fonts.m_sans.Render("ENGINE", fit.Size(8), 4), 78, Hex(0x7ACC8E));
    }
}

// The outer margin keeps the background's own pixels whatever was painted.
void RestoreMargin(CCanvas& canvas, const CCanvas& original, int nMargin)
{
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (x < nMargin || y < nMargin || x >= canvas.Width() - nMargin || y >= canvas.Height() - nMargin)
                canvas.At(x, y) = original.At(x, y);
}

} // namespace

CCanvas PaintButton(const CCanvas& background, const CFontSet& fonts, LauncherButton id, const LayoutRect& rc,
                    ButtonImage picture)
{
    const CCanvas original = background.Crop(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    CCanvas canvas = original;
    const Look look = LookOf(picture);
    if (id == 6)
        PaintLogo(canvas, fonts, look);
    else if (id == 7 || id == 11 || id == 12)
        PaintCompanyButton(canvas, fonts, id, look);
    else
        PaintActionButton(canvas, fonts, id, look);
    RestoreMargin(canvas, original, id == 6 ? 3 : 2);
    return canvas;
}
