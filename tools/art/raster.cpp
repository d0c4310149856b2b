#include "tools/art/raster.h"

namespace {

// One box pass along rows (bHorizontal) or columns, with zeros beyond the edge.
CMask BoxPass(const CMask& in, int nRadius, bool bHorizontal)
{
    CMask out(in.Width(), in.Height());
    const float scale = 1.0f / float(2 * nRadius + 1);
    const int nLines = bHorizontal ? in.Height() : in.Width();
    const int nLength = bHorizontal ? in.Width() : in.Height();
    for (int line = 0; line < nLines; ++line) {
        auto get = [&](int i) { return bHorizontal ? in.Get(i, line) : in.Get(line, i); };
        float sum = 0.0f;
        for (int i = -nRadius; i <= nRadius; ++i)
            sum += get(i);
        for (int i = 0; i < nLength; ++i) {
            (bHorizontal ? out.At(i, line) : out.At(line, i)) = sum * scale;
            sum += get(i + nRadius + 1) - get(i - nRadius);
        }
    }
    return out;
}

} // namespace

CMask CMask::Blurred(int nRadius) const
{
    if (nRadius <= 0)
        return *this;
    CMask result = *this;
    for (int pass = 0; pass < 3; ++pass)
        result = BoxPass(BoxPass(result, nRadius, true), nRadius, false);
    return result;
}

CMask CMask::Dilated(int nRadius) const
{
    CMask out(m_nWidth, m_nHeight);
    for (int y = 0; y < m_nHeight; ++y)
        for (int x = 0; x < m_nWidth; ++x) {
            float best = 0.0f;
            for (int dy = -nRadius; dy <= nRadius; ++dy)
                for (int dx = -nRadius; dx <= nRadius; ++dx)
                    if (dx * dx + dy * dy <= nRadius * nRadius + nRadius) {
                        const float v = Get(x + dx, y + dy);
                        if (v > best)
                            best = v;
                    }
            out.At(x, y) = best;
        }
    return out;
}

CMask CMask::Padded(int nMargin) const
{
    CMask out(m_nWidth + 2 * nMargin, m_nHeight + 2 * nMargin);
    for (int y = 0; y < m_nHeight; ++y)
        for (int x = 0; x < m_nWidth; ++x)
            out.At(x + nMargin, y + nMargin) = At(x, y);
    return out;
}

CCanvas CCanvas::Crop(int x0, int y0, int nWidth, int nHeight) const
{
    CCanvas out(nWidth, nHeight);
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
            if (Contains(x0 + x, y0 + y))
                out.At(x, y) = At(x0 + x, y0 + y);
    return out;
}

void CCanvas::BlendMask(const CMask& mask, int x0, int y0, Rgb color, float opacity)
{
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x)
            Blend(x0 + x, y0 + y, color, mask.At(x, y) * opacity);
}

void CCanvas::AddMask(const CMask& mask, int x0, int y0, Rgb color, float amount)
{
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x)
            AddLight(x0 + x, y0 + y, color, mask.At(x, y) * amount);
}
