#include "tools/art/palette.h"

#include <initializer_list>

namespace {

// A run of entries spread evenly along a path through colour space.
struct Ramp {
    int nEntries;
    std::initializer_list<uint32_t> stops;
};

// The art's 236 colours: fire, night sky, nebula, the cold glow of the
// sci-fi accents, stone, bronze and wood, gold for lettering and rims, two
// small ramps for the company emblems, and stone in firelight between them.
const Ramp kRamps[] = {
    {40, {0x140200, 0x3A0600, 0x6E0F02, 0xA42004, 0xD23E06, 0xF0680E, 0xFC9A22, 0xFFC44A,
          0xFFE48E, 0xFFF8DA}},
    {28, {0x030409, 0x070A18, 0x0E132C, 0x182044, 0x26305E, 0x3A4880, 0x5A6AA4, 0x8E9ED0,
          0xC8D2F2}},
    {18, {0x0C0614, 0x1E0C2E, 0x34144C, 0x4E2068, 0x6E3486, 0x9254A6, 0xBC86CA}},
    {20, {0x020C10, 0x06202A, 0x0C3844, 0x165664, 0x24808E, 0x46AEBA, 0x84D6DE, 0xD0F6FA}},
    {30, {0x050506, 0x0E0F12, 0x1A1B20, 0x282A30, 0x3A3C44, 0x50525C, 0x6A6C76, 0x888A94,
          0xAAACB4, 0xD0D2D8}},
    {28, {0x0A0604, 0x1A100A, 0x2C1C10, 0x422A18, 0x5C3C22, 0x7A522E, 0x9A6C3E, 0xBA8A56,
          0xD6AC7E, 0xEED2AE}},
    {26, {0x1E1204, 0x3C2606, 0x5E3E0A, 0x845A12, 0xA87A1E, 0xC89C32, 0xE0BC52, 0xF2D882,
          0xFCEEBC, 0xFFFAEA}},
    {12, {0x04140A, 0x0C2E18, 0x185230, 0x2A7A48, 0x48A466, 0x7ACC8E, 0xBCF0C6}},
    {16, {0x100D0C, 0x1C1714, 0x2A221D, 0x3A2F27, 0x4E3F33, 0x665140, 0x82674F, 0xA08062}},
    {18, {0x160406, 0x30080E, 0x500E18, 0x761824, 0x9E2832, 0xC44448, 0xE27A72, 0xF6B8A8}},
};

uint8_t Channel(uint32_t rgb, int shift) { return uint8_t((rgb >> shift) & 0xFF); }

// Integer interpolation, so that the table is exact on every machine.
Rgb8 AlongRamp(const Ramp& ramp, int i)
{
    const int nSegments = int(ramp.stops.size()) - 1;
    const int position = ramp.nEntries > 1 ? i * nSegments * 1024 / (ramp.nEntries - 1) : 0;
    int segment = position / 1024;
    if (segment >= nSegments)
        segment = nSegments - 1;
    const int t = position - segment * 1024;
    const uint32_t a = ramp.stops.begin()[segment], b = ramp.stops.begin()[segment + 1];
    auto mix = [&](int shift) {
        return uint8_t((Channel(a, shift) * (1024 - t) + Channel(b, shift) * t + 512) / 1024);
    };
    return Rgb8{mix(16), mix(8), mix(0)};
}

bool Taken(const Palette& palette, int nUsed, Rgb8 color)
{
    for (int i = 0; i < nUsed; ++i)
        if (palette[i] == color)
            return true;
    for (int i = kStaticColorsAtEachEnd; i < 2 * kStaticColorsAtEachEnd; ++i)
        if (StaticColors()[size_t(i)] == color)
            return true;
    return false;
}

Palette MakeSharedPalette()
{
    Palette palette{};
    int n = 0;
    for (int i = 0; i < kStaticColorsAtEachEnd; ++i)
        palette[n++] = StaticColors()[size_t(i)];
    for (const Ramp& ramp : kRamps)
        for (int i = 0; i < ramp.nEntries; ++i) {
            // Two ramps may meet in one colour; a nudge of one step keeps every
            // entry distinct, which the system needs to realise them all.
            Rgb8 color = AlongRamp(ramp, i);
            while (Taken(palette, n, color))
                color.b = uint8_t(color.b + 1);
            palette[n++] = color;
        }
    for (int i = kStaticColorsAtEachEnd; i < 2 * kStaticColorsAtEachEnd; ++i)
        palette[n++] = StaticColors()[size_t(i)];
    return palette;
}

// An 8 x 8 Bayer matrix: thresholds 0 to 63 spread evenly over every area.
const uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr int kCacheLevels = 128;

int Level(float v) { return int(Clamp01(v) * float(kCacheLevels - 1) + 0.5f); }

} // namespace

const std::array<Rgb8, 2 * kStaticColorsAtEachEnd>& StaticColors()
{
    static const std::array<Rgb8, 2 * kStaticColorsAtEachEnd> s_colors = {{
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0}, {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
    }};
    return s_colors;
}

const Palette& SharedPalette()
{
    static const Palette s_palette = MakeSharedPalette();
    return s_palette;
}

const std::array<Rgb8, 16>& VgaPalette()
{
    static const std::array<Rgb8, 16> s_vga = {{{0, 0, 0},
                                                {128, 0, 0},
                                                {0, 128, 0},
                                                {128, 128, 0},
                                                {0, 0, 128},
                                                {128, 0, 128},
                                                {0, 128, 128},
                                                {192, 192, 192},
                                                {128, 128, 128},
                                                {255, 0, 0},
                                                {0, 255, 0},
                                                {255, 255, 0},
                                                {0, 0, 255},
                                                {255, 0, 255},
                                                {0, 255, 255},
                                                {255, 255, 255}}};
    return s_vga;
}

CQuantizer::CQuantizer(const Rgb8* pColors, int nColors, float ditherAmount)
    : m_pColors(pColors), m_nColors(nColors), m_ditherAmount(ditherAmount),
      m_cache(size_t(kCacheLevels) * kCacheLevels * kCacheLevels, int16_t(-1))
{
}

uint8_t CQuantizer::Nearest(Rgb color) const
{
    const int r = Level(color.r), g = Level(color.g), b = Level(color.b);
    int16_t& cached = m_cache[(size_t(r) * kCacheLevels + g) * kCacheLevels + b];
    if (cached >= 0)
        return uint8_t(cached);
    // Integer distances from the cell's centre, weighted as the eye weighs
    // the channels.
    const int tr = r * 255 / (kCacheLevels - 1), tg = g * 255 / (kCacheLevels - 1),
              tb = b * 255 / (kCacheLevels - 1);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < m_nColors; ++i) {
        const long dr = m_pColors[i].r - tr, dg = m_pColors[i].g - tg, db = m_pColors[i].b - tb;
        const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    cached = int16_t(best);
    return uint8_t(best);
}

uint8_t CQuantizer::Dithered(Rgb color, int x, int y) const
{
    const float offset = (float(kBayer[y & 7][x & 7]) + 0.5f) / 64.0f - 0.5f;
    const float d = offset * m_ditherAmount;
    return Nearest(Rgb{color.r + d, color.g + d, color.b + d});
}

std::vector<uint8_t> CQuantizer::Quantize(const CCanvas& canvas, int x0, int y0) const
{
    std::vector<uint8_t> indices(size_t(canvas.Width()) * canvas.Height());
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            indices[size_t(y) * canvas.Width() + x] = Dithered(canvas.At(x, y), x0 + x, y0 + y);
    return indices;
}
