// Pictures while they are painted: floating-point RGB and coverage masks.
// Only the four basic operations and square roots touch pixel values, so the
// same build gives the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
    float r, g, b;
};

inline Rgb operator+(Rgb a, Rgb b) { return Rgb{a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return Rgb{a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float k) { return Rgb{a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return Rgb{a.r * b.r, a.g * b.g, a.b * b.b}; }

inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
inline Rgb Mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }

// 0 below edge0, 1 above edge1, a smooth S between.
inline float SmoothStep(float edge0, float edge1, float v)
{
    const float t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

// A colour written as 0xRRGGBB.
constexpr Rgb Hex(uint32_t rgb)
{
    return Rgb{float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f,
               float(rgb & 0xFF) / 255.0f};
}

// Coverage or intensity per pixel, 0 to 1 for shapes and glyphs.
class CMask {
public:
    CMask() = default;
    CMask(int nWidth, int nHeight) : m_nWidth(nWidth), m_nHeight(nHeight), m_values(size_t(nWidth) * nHeight) {}

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    float& At(int x, int y) { return m_values[size_t(y) * m_nWidth + x]; }
    float At(int x, int y) const { return m_values[size_t(y) * m_nWidth + x]; }
    // 0 outside, so that filters need no edge cases.
    float Get(int x, int y) const
    {
        return (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) ? 0.0f : At(x, y);
    }

    // Three box passes come close to a Gaussian of about the given radius.
    CMask Blurred(int nRadius) const;
    // The largest value within a disc: grows shapes into outlines.
    CMask Dilated(int nRadius) const;
    // This mask inside an empty margin, so that blurs and outlines have room.
    CMask Padded(int nMargin) const;

private:
    int m_nWidth = 0, m_nHeight = 0;
    std::vector<float> m_values;
};

// An RGB picture, 0 to 1 per channel (values may overshoot while painting;
// the quantiser clamps).
class CCanvas {
public:
    CCanvas() = default;
    CCanvas(int nWidth, int nHeight, Rgb fill = Rgb{0, 0, 0})
        : m_nWidth(nWidth), m_nHeight(nHeight), m_pixels(size_t(nWidth) * nHeight, fill)
    {
    }

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight; }
    Rgb& At(int x, int y) { return m_pixels[size_t(y) * m_nWidth + x]; }
    const Rgb& At(int x, int y) const { return m_pixels[size_t(y) * m_nWidth + x]; }

    CCanvas Crop(int x, int y, int nWidth, int nHeight) const;

    // Covers with a colour by the given amount; outside pixels are ignored.
    void Blend(int x, int y, Rgb color, float amount)
    {
        if (Contains(x, y) && amount > 0.0f)
            At(x, y) = Mix(At(x, y), color, Clamp01(amount));
    }
    // Adds light, as a glow or a flame does.
    void AddLight(int x, int y, Rgb color, float amount)
    {
        if (Contains(x, y) && amount > 0.0f)
            At(x, y) = At(x, y) + color * amount;
    }
    // Covers with a colour wherever the mask, placed at (x, y), has coverage.
    void BlendMask(const CMask& mask, int x, int y, Rgb color, float opacity = 1.0f);
    void AddMask(const CMask& mask, int x, int y, Rgb color, float amount = 1.0f);

private:
    int m_nWidth = 0, m_nHeight = 0;
    std::vector<Rgb> m_pixels;
};
