// The flames: a heat field that rises from the fuel, spreads and cools as it
// goes (the classic cellular fire), coloured and laid over the background.
//
// The loop is seamless by construction, not by blending: each cell's heat
// depends only on the cells below it one step earlier, so after as many steps
// as the field is tall it depends on nothing but the inputs of the recent
// past. The inputs (the fuel's flicker, the cooling pattern and the sway) all
// repeat every 16 frames, so the fire repeats exactly, and the step from the
// 16th frame back to the 1st is an ordinary step of the simulation.
#include "tools/art/art.h"
#include "tools/art/noise.h"

namespace {

constexpr int kLoopFrames = 16;

struct FireParams {
    int nStepsPerFrame;
    float cooling;      // heat lost per step in the cooling pattern's strong parts
    float sideCooling;  // how hard the flame's sides are pinched in
    float sway;         // pixels the tip swings to each side
    uint32_t seed;
};

class CFireField {
public:
    CFireField(const FlameSeat& seat, const FireParams& params)
        : m_seat(seat), m_params(params), m_nWidth(seat.rect.right - seat.rect.left),
          m_nBase(int(seat.baseY) - seat.rect.top), m_nPeriod(kLoopFrames * params.nStepsPerFrame),
          m_heat(size_t(m_nWidth) * (m_nBase + 2)), m_cooling(size_t(m_nWidth) * m_nPeriod)
    {
        MakeCoolingPattern();
    }

    // Runs until the field has forgotten its empty start, then records
    // nFrames frames of heat.
    std::vector<CMask> Run(int nFrames)
    {
        const int nWarmUp = ((m_nBase + 2) / m_nPeriod + 2) * m_nPeriod;
        int step = 0;
        for (; step < nWarmUp; ++step)
            Step(step);
        std::vector<CMask> frames;
        for (int frame = 0; frame < nFrames; ++frame) {
            frames.push_back(Snapshot());
            for (int i = 0; i < m_params.nStepsPerFrame; ++i, ++step)
                Step(step);
        }
        return frames;
    }

private:
    float& Heat(int x, int y) { return m_heat[size_t(y) * m_nWidth + x]; }
    float HeatOr0(int x, int y) { return (x < 0 || x >= m_nWidth) ? 0.0f : Heat(x, y); }

    // Blotches of strong cooling that tear the rising heat into tongues. The
    // pattern wraps vertically over the period, because it scrolls up with
    // the fire by one row a step.
    void MakeCoolingPattern()
    {
        CMask raw(m_nWidth, m_nPeriod);
        CRandom random(m_params.seed);
        for (int y = 0; y < m_nPeriod; ++y)
            for (int x = 0; x < m_nWidth; ++x) {
                const float v = random.Unit();
                raw.At(x, y) = v * v * v;
            }
        for (int pass = 0; pass < 2; ++pass) {
            CMask smooth(m_nWidth, m_nPeriod);
            for (int y = 0; y < m_nPeriod; ++y)
                for (int x = 0; x < m_nWidth; ++x) {
                    const int up = (y + m_nPeriod - 1) % m_nPeriod, down = (y + 1) % m_nPeriod;
                    smooth.At(x, y) = (raw.At(x, y) * 2.0f + raw.Get(x - 1, y) + raw.Get(x + 1, y) +
                                       raw.At(x, up) + raw.At(x, down)) / 6.0f;
                }
            raw = smooth;
        }
        for (int y = 0; y < m_nPeriod; ++y)
            for (int x = 0; x < m_nWidth; ++x)
                m_cooling[size_t(y) * m_nWidth + x] = raw.At(x, y);
    }

    void Step(int step)
    {
        const int phase = step % m_nPeriod;
        const float loop = float(phase) / float(m_nPeriod);
        const float axis = m_seat.baseX - float(m_seat.rect.left);
        // Fuel: a bed of flickering heat, hottest in the middle.
        for (int row = m_nBase; row < m_nBase + 2; ++row)
            for (int x = 0; x < m_nWidth; ++x) {
                const float across = (float(x) + 0.5f - axis) / m_seat.baseHalfWidth;
                const float profile = Clamp01(1.0f - across * across);
                const float flicker = 0.7f + 0.5f * HashUnit(x, phase, m_params.seed + 1);
                Heat(x, row) = profile * flicker;
            }
        for (int y = 0; y < m_nBase; ++y) {
            const float height = float(m_nBase - y) / float(m_nBase); // 0 at the fuel, 1 at the top
            // The flame's axis sways, more toward the tip.
            const float swing = m_params.sway * height * height *
                                float(DetSin(2.0 * kPi * (double(loop) + double(height) * 0.35)));
            const float halfWidth = m_seat.baseHalfWidth * (1.05f - 0.75f * height);
            for (int x = 0; x < m_nWidth; ++x) {
                const float rising = (HeatOr0(x - 1, y + 1) + HeatOr0(x, y + 1) + HeatOr0(x + 1, y + 1) +
                                      HeatOr0(x, y + 2)) * 0.25f;
                const float off = (float(x) + 0.5f - axis - swing) / halfWidth;
                // The same blotches that tear the tongues also ragged the sides.
                const float blotch = m_cooling[size_t((y + phase) % m_nPeriod) * m_nWidth + x];
                const float cool = m_params.cooling * (0.05f + 1.6f * blotch) +
                                   m_params.sideCooling * off * off * (0.5f + 1.5f * blotch);
                const float v = rising - cool;
                Heat(x, y) = v > 0.0f ? v : 0.0f;
            }
        }
    }

    CMask Snapshot()
    {
        CMask heat(m_nWidth, m_seat.rect.bottom - m_seat.rect.top);
        for (int y = 0; y < heat.Height() && y < m_nBase + 2; ++y)
            for (int x = 0; x < m_nWidth; ++x)
                heat.At(x, y) = Heat(x, y);
        return heat;
    }

    FlameSeat m_seat;
    FireParams m_params;
    int m_nWidth, m_nBase, m_nPeriod;
    std::vector<float> m_heat;
    std::vector<float> m_cooling;
};

// Black-body colours from the dull red of the flame's edge to the white of
// its core.
Rgb FireColor(float heat)
{
    struct Stop {
        float heat;
        Rgb color;
    };
    const Stop kStops[] = {{0.0f, Hex(0x400800)}, {0.25f, Hex(0xB02404)}, {0.45f, Hex(0xE85A0C)},
                           {0.65f, Hex(0xFC9A26)}, {0.82f, Hex(0xFFD062)}, {1.0f, Hex(0xFFF6D0)}};
    for (size_t i = 1; i < sizeof kStops / sizeof kStops[0]; ++i)
        if (heat <= kStops[i].heat)
            return Mix(kStops[i - 1].color, kStops[i].color,
                       (heat - kStops[i - 1].heat) / (kStops[i].heat - kStops[i - 1].heat));
    return kStops[5].color;
}

// Nothing of the fire reaches the frame's outer three pixels, so that a
// frame's edge is the background's own and the rectangle never shows.
float EdgeWindow(int x, int y, int nWidth, int nHeight)
{
    return SmoothStep(2.0f, 7.0f, float(x)) * SmoothStep(2.0f, 7.0f, float(nWidth - 1 - x)) *
           SmoothStep(2.0f, 7.0f, float(y)) * SmoothStep(2.0f, 5.0f, float(nHeight - 1 - y));
}

CCanvas Compose(const CCanvas& background, const FlameSeat& seat, const CMask& heat)
{
    const int nWidth = heat.Width(), nHeight = heat.Height();
    CCanvas frame = background.Crop(seat.rect.left, seat.rect.top, nWidth, nHeight);
    const CMask glow = heat.Blurred(4);
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x) {
            const float window = EdgeWindow(x, y, nWidth, nHeight);
            if (window <= 0.0f)
                continue;
            const float h = Clamp01(heat.At(x, y) * 1.15f);
            const float alpha = SmoothStep(0.04f, 0.3f, h) * window;
            Rgb& pixel = frame.At(x, y);
            pixel = pixel * (1.0f - 0.8f * alpha) + FireColor(h) * alpha;
            pixel = pixel + Hex(0xFF7A20) * (glow.At(x, y) * 0.35f * window);
        }
    return frame;
}

} // namespace

std::vector<CCanvas> PaintFlameFrames(const CCanvas& background, const FlameSeat& seat, int nFrames)
{
    const bool bBig = seat.rect.bottom - seat.rect.top > 80;
    const FireParams params = bBig ? FireParams{6, 0.040f, 0.035f, 6.0f, 101} : FireParams{3, 0.070f, 0.06f, 1.8f, 202};
    // Frames 17 to 30, never shown, are simply the fire burning on: as the
    // loop is exact, they repeat frames 1 to 14.
    const std::vector<CMask> heat = CFireField(seat, params).Run(nFrames);
    std::vector<CCanvas> frames;
    for (const CMask& h : heat)
        frames.push_back(Compose(background, seat, h));
    return frames;
}
