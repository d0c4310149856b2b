#include "tools/art/bmpfile.h"

#include <cstdio>
#include <stdexcept>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

uint32_t RowBytes(int nWidth, int nBitCount) { return uint32_t((nWidth * nBitCount + 31) / 32 * 4); }

// biHeight is the image's own height for a bitmap, twice it for an icon
// (its colour rows and its mask rows).
void PutInfoHeader(std::vector<uint8_t>& out, int nWidth, int nHeight, int nBitCount,
                   uint32_t cbImage, uint32_t nColors)
{
    Put32(out, 40);
    Put32(out, uint32_t(nWidth));
    Put32(out, uint32_t(nHeight));
    Put16(out, 1);
    Put16(out, uint32_t(nBitCount));
    Put32(out, 0); // BI_RGB
    Put32(out, cbImage);
    Put32(out, 2835); // 72 dots per inch
    Put32(out, 2835);
    Put32(out, nColors);
    Put32(out, 0);
}

void PutColors(std::vector<uint8_t>& out, const Rgb8* pColors, size_t nColors)
{
    for (size_t i = 0; i < nColors; ++i) {
        out.push_back(pColors[i].b);
        out.push_back(pColors[i].g);
        out.push_back(pColors[i].r);
        out.push_back(0);
    }
}

// Colour rows of 4 or 8 bits per pixel, bottom row first.
void PutPixelRows(std::vector<uint8_t>& out, const IndexedImage& image, int nBitCount)
{
    const uint32_t cbRow = RowBytes(image.nWidth, nBitCount);
    for (int y = image.nHeight - 1; y >= 0; --y) {
        std::vector<uint8_t> row(cbRow, 0);
        for (int x = 0; x < image.nWidth; ++x) {
            const uint8_t index = image.indices[size_t(y) * image.nWidth + x];
            if (nBitCount == 8)
                row[x] = index;
            else
                row[x / 2] |= uint8_t((index & 0x0F) << (x % 2 ? 0 : 4));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

} // namespace

std::vector<uint8_t> EncodeBmp8(const IndexedImage& image, const Palette& palette)
{
    const uint32_t cbPixels = RowBytes(image.nWidth, 8) * uint32_t(image.nHeight);
    const uint32_t cbOffBits = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.reserve(cbOffBits + cbPixels);
    out.push_back('B');
    out.push_back('M');
    Put32(out, cbOffBits + cbPixels);
    Put32(out, 0);
    Put32(out, cbOffBits);
    PutInfoHeader(out, image.nWidth, image.nHeight, 8, cbPixels, 256);
    PutColors(out, palette.data(), palette.size());
    PutPixelRows(out, image, 8);
    return out;
}

std::vector<uint8_t> EncodeIcon(const std::vector<IconImage>& images)
{
    std::vector<std::vector<uint8_t>> pictures;
    for (const IconImage& icon : images) {
        const int w = icon.image.nWidth, h = icon.image.nHeight;
        const uint32_t cbColorRows = RowBytes(w, icon.nBitCount) * uint32_t(h);
        const uint32_t cbMaskRows = RowBytes(w, 1) * uint32_t(h);
        std::vector<uint8_t> picture;
        PutInfoHeader(picture, w, 2 * h, icon.nBitCount, cbColorRows + cbMaskRows, 0);
        std::vector<Rgb8> colors = icon.colors;
        colors.resize(size_t(1) << icon.nBitCount, Rgb8{0, 0, 0});
        PutColors(picture, colors.data(), colors.size());
        // Transparent pixels are black in the colour rows, so that the
        // system's AND-then-XOR drawing leaves the screen as it was.
        IndexedImage masked = icon.image;
        for (size_t i = 0; i < masked.indices.size(); ++i)
            if (!icon.opaque[i])
                masked.indices[i] = 0;
        PutPixelRows(picture, masked, icon.nBitCount);
        const uint32_t cbMaskRow = RowBytes(w, 1);
        for (int y = h - 1; y >= 0; --y) {
            std::vector<uint8_t> row(cbMaskRow, 0);
            for (int x = 0; x < w; ++x)
                if (!icon.opaque[size_t(y) * w + x])
                    row[x / 8] |= uint8_t(0x80 >> (x % 8));
            picture.insert(picture.end(), row.begin(), row.end());
        }
        pictures.push_back(std::move(picture));
    }

    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1); // an icon, not a cursor
    Put16(out, uint32_t(images.size()));
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& icon = images[i];
        out.push_back(uint8_t(icon.image.nWidth));
        out.push_back(uint8_t(icon.image.nHeight));
        out.push_back(uint8_t(icon.nBitCount < 8 ? 1 << icon.nBitCount : 0));
        out.push_back(0);
        Put16(out, 1);
        Put16(out, uint32_t(icon.nBitCount));
        Put32(out, uint32_t(pictures[i].size()));
        Put32(out, offset);
        offset += uint32_t(pictures[i].size());
    }
    for (const std::vector<uint8_t>& picture : pictures)
        out.insert(out.end(), picture.begin(), picture.end());
    return out;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* pFile = std::fopen(path.c_str(), "wb");
    if (pFile == nullptr)
        throw std::runtime_error("cannot create " + path);
    const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    if (std::fclose(pFile) != 0 || !bWritten)
        throw std::runtime_error("cannot write " + path);
}
