#include "tools/art/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdexcept>
#include <vector>

CTypeface::CTypeface(const std::string& path)
{
    if (FT_Init_FreeType(&m_pLibrary) != 0)
        throw std::runtime_error("FreeType does not start");
    if (FT_New_Face(m_pLibrary, path.c_str(), 0, &m_pFace) != 0) {
        FT_Done_FreeType(m_pLibrary);
        throw std::runtime_error("cannot open the font " + path);
    }
}

CTypeface::~CTypeface()
{
    FT_Done_Face(m_pFace);
    FT_Done_FreeType(m_pLibrary);
}

CMask CTypeface::Render(const std::string& text, int nPixelSize, int nTracking) const
{
    if (FT_Set_Pixel_Sizes(m_pFace, 0, FT_UInt(nPixelSize)) != 0)
        throw std::runtime_error("the font has no size " + std::to_string(nPixelSize));

    // Lay the glyphs out on a generous strip first, then crop to the ink.
    const int nBaseline = nPixelSize * 2;
    const int nStripWidth = int(text.size() + 2) * (nPixelSize * 2 + nTracking + 2);
    CMask strip(nStripWidth, nPixelSize * 3);
    const bool bKerning = FT_HAS_KERNING(m_pFace);
    long penX = long(nPixelSize) * 64; // 26.6 fixed point
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        const FT_UInt glyph = FT_Get_Char_Index(m_pFace, ch);
        if (bKerning && previous != 0 && glyph != 0) {
            FT_Vector kerning;
            if (FT_Get_Kerning(m_pFace, previous, glyph, FT_KERNING_DEFAULT, &kerning) == 0)
                penX += kerning.x;
        }
        if (FT_Load_Glyph(m_pFace, glyph, FT_LOAD_RENDER) != 0)
            throw std::runtime_error("the font cannot draw '" + std::string(1, char(ch)) + "'");
        const FT_GlyphSlot slot = m_pFace->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int x0 = int(penX / 64) + slot->bitmap_left;
        const int y0 = nBaseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = x0 + int(col), y = y0 + int(row);
                if (x < 0 || y < 0 || x >= strip.Width() || y >= strip.Height())
                    continue;
                const float v = float(bitmap.buffer[row * unsigned(bitmap.pitch) + col]) / 255.0f;
                strip.At(x, y) = Clamp01(strip.At(x, y) + v);
            }
        penX += slot->advance.x + long(nTracking) * 64;
        previous = glyph;
    }

    int left = strip.Width(), right = -1, top = strip.Height(), bottom = -1;
    for (int y = 0; y < strip.Height(); ++y)
        for (int x = 0; x < strip.Width(); ++x)
            if (strip.At(x, y) > 0.0f) {
                left = x < left ? x : left;
                right = x > right ? x : right;
                top = y < top ? y : top;
                bottom = y > bottom ? y : bottom;
            }
    if (right < 0)
        return CMask();
    CMask ink(right - left + 1, bottom - top + 1);
    for (int y = 0; y < ink.Height(); ++y)
        for (int x = 0; x < ink.Width(); ++x)
            ink.At(x, y) = strip.At(left + x, top + y);
    return ink;
}

CMask CTypeface::RenderToFit(const std::string& text, int nMaxSize, int nMaxWidth, int nTracking) const
{
    for (int size = nMaxSize; size > 6; --size) {
        CMask ink = Render(text, size, nTracking);
        if (ink.Width() <= nMaxWidth)
            return ink;
    }
    return Render(text, 6, nTracking);
}
