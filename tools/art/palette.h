// The one colour table that every picture of the disc carries, and the
// mapping of painted colours onto it.
#pragma once

#include "tools/art/raster.h"

#include <array>
#include <cstdint>
#include <vector>

struct Rgb8 {
    uint8_t r, g, b;
};
inline bool operator==(Rgb8 a, Rgb8 b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

using Palette = std::array<Rgb8, 256>;

// The system's twenty static colours: the first ten are a palette's entries 0
// to 9, the last ten its entries 246 to 255.
constexpr int kStaticColorsAtEachEnd = 10;
const std::array<Rgb8, 2 * kStaticColorsAtEachEnd>& StaticColors();

// On a 256-colour display the launcher's pictures are all drawn through one
// palette. Its first and last ten entries are the system's static colours,
// so that realising it takes no more than the 236 free entries and every
// other colour of the art is shown exactly.
const Palette& SharedPalette();

// The sixteen colours of the standard VGA palette, for the icon's 16-colour
// pictures.
const std::array<Rgb8, 16>& VgaPalette();

// Nearest palette colours, with an ordered dither tied to the pixel's place
// on the window: the same colour at the same place always gives the same
// index, so a flame frame or a button drawn over the background matches it
// pixel for pixel wherever nothing was painted on it.
class CQuantizer {
public:
    CQuantizer(const Rgb8* pColors, int nColors, float ditherAmount);

    uint8_t Nearest(Rgb color) const;
    uint8_t Dithered(Rgb color, int x, int y) const;
    // Indices of a canvas whose top-left pixel lies at (x0, y0) on the window,
    // top row first.
    std::vector<uint8_t> Quantize(const CCanvas& canvas, int x0, int y0) const;

private:
    const Rgb8* m_pColors;
    int m_nColors;
    float m_ditherAmount;
    // Nearest entry per cell of a 128-level cube, filled as cells are met.
    mutable std::vector<int16_t> m_cache;
};
