// Any file's bytes along the loader's path: the file header check, the block
// of the file's length, the header readers and the fit check. An image the
// check accepts then has every byte read that the launcher and the system
// would read of it, from a heap block of exactly its size, so that the
// address sanitizer sees a single byte read beyond it.
#include "dib/dib_format.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

volatile uint8_t g_nSink;

void Require(bool bCondition, const char* pszWhat)
{
    if (!bCondition) {
        std::fprintf(stderr, "broken: %s\n", pszWhat);
        std::abort();
    }
}

// Reads [offset, offset + length) of the block, which must lie inside it.
void Touch(const uint8_t* pDib, size_t cbDib, uint64_t offset, uint64_t length, const char* pszWhat)
{
    Require(offset <= cbDib && length <= cbDib - offset, pszWhat);
    uint8_t nSum = 0;
    for (uint64_t n = 0; n < length; ++n)
        nSum = uint8_t(nSum + pDib[offset + n]);
    g_nSink = nSum;
}

uint32_t Field32(const uint8_t* p, size_t cb, size_t offset)
{
    if (offset + 4 > cb)
        return 0;
    return uint32_t(p[offset]) | uint32_t(p[offset + 1]) << 8 | uint32_t(p[offset + 2]) << 16 |
           uint32_t(p[offset + 3]) << 24;
}

uint16_t Field16(const uint8_t* p, size_t cb, size_t offset)
{
    return offset + 2 > cb ? 0 : uint16_t(p[offset] | p[offset + 1] << 8);
}

uint64_t Stride(uint64_t width, uint64_t bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

// Rows of an accepted image add up to no more than its block, so their
// product cannot overflow.
uint64_t RowBytes(uint64_t stride, uint64_t rows)
{
    uint64_t cb = 0;
    Require(!__builtin_mul_overflow(stride, rows, &cb), "rows beyond any block");
    return cb;
}

// What the system reads when it is given the block as bitmap information and
// pixels: a header of 40 bytes or more is an info header of its stored size,
// 12 is the core header, and every other size is refused without reading.
void TouchAsTheSystemReadsIt(const uint8_t* pDib, size_t cbDib, uint64_t bitsOffset)
{
    const uint32_t headerSize = Field32(pDib, cbDib, 0);
    if (headerSize == 12) {
        const uint16_t bitCount = Field16(pDib, cbDib, 10);
        Touch(pDib, cbDib, 0, 12, "core header");
        if (bitCount <= 8)
            Touch(pDib, cbDib, 12, 3 * (uint64_t(1) << bitCount), "system's core table");
        const uint64_t stride = Stride(Field16(pDib, cbDib, 4), bitCount);
        Touch(pDib, cbDib, bitsOffset, RowBytes(stride, Field16(pDib, cbDib, 6)), "core rows");
        return;
    }
    if (headerSize < 40)
        return;
    const int32_t width = int32_t(Field32(pDib, cbDib, 4));
    const int32_t height = int32_t(Field32(pDib, cbDib, 8));
    const uint16_t bitCount = Field16(pDib, cbDib, 14);
    const uint32_t compression = Field32(pDib, cbDib, 16);
    const uint32_t sizeImage = Field32(pDib, cbDib, 20);
    const uint32_t clrUsed = Field32(pDib, cbDib, 32);
    Require(width >= 0, "accepted a negative width");

    Touch(pDib, cbDib, 0, headerSize, "info header");
    uint64_t tableOffset = headerSize;
    if (compression == 3 || compression == 6) {
        const uint64_t cbMasks = compression == 3 ? 12 : 16;
        Touch(pDib, cbDib, 40, cbMasks, "bit-field masks");
        if (headerSize == 40)
            tableOffset += cbMasks;
    }
    uint64_t colors = clrUsed != 0 ? clrUsed : (bitCount <= 8 ? uint64_t(1) << bitCount : 0);
    if (colors > 256)
        colors = 256;
    Touch(pDib, cbDib, tableOffset, 4 * colors, "system's colour table");

    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    if (compression == 0 || compression == 3 || compression == 6)
        Touch(pDib, cbDib, bitsOffset, RowBytes(Stride(uint32_t(width), bitCount), rows), "rows");
    else {
        // Without a stated size the system reads until the data says stop.
        Require(sizeImage != 0, "compressed pixels of no stated size");
        Touch(pDib, cbDib, bitsOffset, sizeImage, "compressed pixels");
    }

    // With colour management on: the profile a long header names, embedded
    // ('MBED') or linked ('LINK'), whose file name is read to its terminator.
    const uint32_t csType = Field32(pDib, cbDib, 56);
    if (headerSize < 124 || (csType != 0x4D424544 && csType != 0x4C494E4B))
        return;
    const uint32_t profileOffset = Field32(pDib, cbDib, 112);
    Touch(pDib, cbDib, profileOffset, Field32(pDib, cbDib, 116), "colour profile");
    if (csType == 0x4C494E4B) {
        uint64_t n = profileOffset;
        while (n < cbDib && pDib[n] != 0)
            ++n;
        Require(n < cbDib, "linked profile's name without an end");
    }
}

// The launcher's own palette: every entry it reads, at the place the layout
// gives it, must lie inside the block.
void TouchTheLaunchersPalette(const uint8_t* pDib, size_t cbDib)
{
    const uint32_t headerSize = Field32(pDib, cbDib, 0);
    const bool bInfo = headerSize == 40 || headerSize == 52 || headerSize == 56 ||
                       headerSize == 108 || headerSize == 124;
    Require(bInfo == DibHasInfoHeader(pDib, cbDib), "layout");
    const uint16_t nEntries = DibPaletteEntryCount(pDib, cbDib);
    const uint64_t entrySize = bInfo ? 4 : 3;
    Require(DibColorTableBytes(pDib, cbDib) == uint16_t(nEntries * entrySize), "table bytes");
    const uint64_t tableOffset = DibColorTableOffset(pDib, cbDib);
    Require(tableOffset == (bInfo ? DibBitsOffset(pDib, cbDib) - DibColorTableBytes(pDib, cbDib)
                                  : 12),
            "table offset");
    for (unsigned i = 0; i < nEntries; ++i) {
        Touch(pDib, cbDib, tableOffset + entrySize * i, 3, "launcher's colour entry");
        const DibColor color = DibPaletteEntry(pDib, cbDib, i);
        const uint8_t* pEntry = pDib + tableOffset + entrySize * i;
        Require(color.blue == pEntry[0] && color.green == pEntry[1] && color.red == pEntry[2],
                "entry byte order");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    // The loader takes only files of at least a file header that begin "BM".
    if (cbData < 14 || pData[0] != 'B' || pData[1] != 'M')
        return 0;
    const size_t cbDib = cbData;
    std::unique_ptr<uint8_t[]> block(new uint8_t[cbDib]);
    std::memcpy(block.get(), pData + 14, cbData - 14);
    std::memset(block.get() + cbData - 14, 0, 14);
    const uint8_t* pDib = block.get();

    // The readers are safe on anything, accepted or not.
    const uint64_t bitsOffset = DibBitsOffset(pDib, cbDib);
    const uint8_t* pBits = DibBitsPointer(pDib, cbDib);
    Require(pBits == (bitsOffset <= cbDib ? pDib + bitsOffset : nullptr), "bits pointer");
    const DibColor first = DibPaletteEntry(pDib, cbDib, 0);
    const DibColor far = DibPaletteEntry(pDib, cbDib, 0xFFFFFFFFu);
    g_nSink = uint8_t(first.red + far.red + DibBitCount(pDib, cbDib) + DibCompression(pDib, cbDib));

    if (!DibFitsBlock(pDib, cbDib))
        return 0;
    Require(pBits != nullptr, "accepted pixels beyond the block");
    // The loader refuses negative sizes before anything is drawn.
    if (DibPixelWidth(pDib, cbDib) < 0 || DibPixelHeight(pDib, cbDib) < 0)
        return 0;
    TouchTheLaunchersPalette(pDib, cbDib);
    TouchAsTheSystemReadsIt(pDib, cbDib, bitsOffset);
    return 0;
}
