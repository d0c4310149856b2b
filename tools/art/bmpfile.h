// Writing the disc's picture files: 8-bit bitmaps and the launcher's icon.
#pragma once

#include "tools/art/palette.h"

#include <cstdint>
#include <string>
#include <vector>

// A palette picture, top row first; the file stores it bottom row first.
struct IndexedImage {
    int nWidth = 0, nHeight = 0;
    std::vector<uint8_t> indices;
};

// The bytes of a Windows bitmap file: 40-byte info header, a 256-entry colour
// table, uncompressed 8-bit rows padded to four bytes, bottom row first.
std::vector<uint8_t> EncodeBmp8(const IndexedImage& image, const Palette& palette);

// One picture of an icon: 4 or 8 bits per pixel over the given colours;
// opaque[i] says whether pixel i is drawn (the AND mask clears it).
struct IconImage {
    IndexedImage image;
    int nBitCount = 8;
    std::vector<Rgb8> colors;
    std::vector<bool> opaque;
};

// The bytes of an .ico file holding the pictures in the given order.
std::vector<uint8_t> EncodeIcon(const std::vector<IconImage>& images);

// Writes the whole file or throws std::runtime_error.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
