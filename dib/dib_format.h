// What the launcher makes of a packed device-independent bitmap in a memory
// block: the file's bytes from offset 14 on, followed by 14 zero bytes.
//
// Every reader takes the block and its size and stays inside it: a field that
// lies wholly or partly outside the block reads as 0.
//
// Two layouts, chosen by the first field alone:
// - 40, 52, 56, 108 and 124: the Windows info header. The longer ones begin
//   with the same 40 bytes, and their colour table of 4-byte entries starts
//   at the stored size.
// - anything else: the 12-byte core header layout, whatever the value.
//   Its 3-byte colour entries are read from offset 12, while the pixels are
//   placed after the stored size and the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dib_detail {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;
// The most colour-table entries the system reads for any image.
constexpr uint64_t kSystemMaxColors = 256;
// A header this long carries a colour space that may name a profile: linked
// ('LINK', a file name) or embedded ('MBED', the profile's bytes).
constexpr uint32_t kProfileHeaderSize = 124;
constexpr uint32_t kProfileLinked = 0x4C494E4B;
constexpr uint32_t kProfileEmbedded = 0x4D424544;

inline uint32_t ReadU32(const uint8_t* p, size_t cb, uint64_t offset)
{
    if (p == nullptr || offset > cb || cb - offset < 4)
        return 0;
    p += offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint16_t ReadU16(const uint8_t* p, size_t cb, uint64_t offset)
{
    if (p == nullptr || offset > cb || cb - offset < 2)
        return 0;
    p += offset;
    return uint16_t(p[0] | p[1] << 8);
}

inline uint8_t ReadU8(const uint8_t* p, size_t cb, uint64_t offset)
{
    return (p != nullptr && offset < cb) ? p[offset] : 0;
}

inline bool IsInfoHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Entries implied by a bit count when nothing else says how many.
inline uint16_t EntriesForBitCount(uint16_t bitCount)
{
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

// The three colour masks (four with alpha) sit between a 40-byte header and
// the colour table. The longer headers hold them among their own fields.
inline uint32_t MaskBytesAfterHeader(uint32_t headerSize, uint32_t compression)
{
    if (headerSize != kInfoHeaderSize)
        return 0;
    if (compression == kBiBitfields)
        return 12;
    if (compression == kBiAlphaBitfields)
        return 16;
    return 0;
}

// What the system itself reads of the colour table of an info header, which
// is at most 256 entries whatever the header claims.
inline uint64_t SystemInfoColorCount(uint32_t clrUsed, uint16_t bitCount)
{
    if (clrUsed != 0)
        return clrUsed < kSystemMaxColors ? clrUsed : kSystemMaxColors;
    return bitCount <= 8 ? uint64_t(1) << bitCount : 0;
}

// Whether [offset, offset + count * each) lies in a block of cb bytes, without
// overflow whatever the numbers.
inline bool SpanFits(uint64_t offset, uint64_t count, uint64_t each, size_t cb)
{
    if (offset > cb)
        return false;
    const uint64_t room = uint64_t(cb) - offset;
    if (count == 0 || each == 0)
        return true;
    return count <= room / each;
}

// With colour management on, the system reads the profile a header names, at
// its offset from the header's start and of its stated size; a linked one's
// file name up to its terminator, which must come within that size. A header
// that names a profile it does not hold is refused like any block too short
// for what it declares. Other colour spaces have nothing there to read.
inline bool ProfileFits(const uint8_t* p, size_t cb, uint32_t headerSize)
{
    if (headerSize < kProfileHeaderSize)
        return true;
    const uint32_t csType = ReadU32(p, cb, 56);
    if (csType != kProfileLinked && csType != kProfileEmbedded)
        return true;
    const uint32_t offset = ReadU32(p, cb, 112);
    const uint32_t size = ReadU32(p, cb, 116);
    if (!SpanFits(offset, size, 1, cb))
        return false;
    if (csType == kProfileEmbedded)
        return true;
    return size != 0 && std::memchr(p + offset, 0, size) != nullptr;
}

// Bytes per pixel row: rows are padded to whole 32-bit words.
inline uint64_t RowStride(uint32_t width, uint16_t bitCount)
{
    return (uint64_t(width) * bitCount + 31) / 32 * 4;
}

// The system's reading of a block as an info header of headerSize bytes whose
// pixels begin at bitsOffset. launcherEntries and launcherTableOffset describe
// the colour table that the launcher reads for its palette, so that the larger
// of the two readings has to fit.
//
// A negative width is refused: the system draws nothing sensible from it.
// A negative height (rows stored top row first) is measured as its absolute
// number of rows; the loader refuses such images by their sign, not here.
inline bool InfoReadingFits(const uint8_t* p, size_t cb, uint32_t headerSize, uint64_t bitsOffset,
                            uint64_t launcherEntries, uint64_t launcherTableOffset)
{
    const int32_t width = int32_t(ReadU32(p, cb, 4));
    const int32_t height = int32_t(ReadU32(p, cb, 8));
    const uint16_t bitCount = ReadU16(p, cb, 14);
    const uint32_t compression = ReadU32(p, cb, 16);
    const uint32_t sizeImage = ReadU32(p, cb, 20);
    const uint32_t clrUsed = ReadU32(p, cb, 32);

    // The system takes the masks from offset 40 whatever the header's size.
    if (compression == kBiBitfields && !SpanFits(kInfoHeaderSize, 12, 1, cb))
        return false;
    if (compression == kBiAlphaBitfields && !SpanFits(kInfoHeaderSize, 16, 1, cb))
        return false;

    if (!SpanFits(launcherTableOffset, launcherEntries, 4, cb))
        return false;
    // The table begins at the header's end, so this also bounds the header.
    const uint64_t systemTableOffset =
        uint64_t(headerSize) + MaskBytesAfterHeader(headerSize, compression);
    if (!SpanFits(systemTableOffset, SystemInfoColorCount(clrUsed, bitCount), 4, cb))
        return false;
    if (!ProfileFits(p, cb, headerSize))
        return false;

    if (width < 0)
        return false;
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    if (compression == kBiRgb || compression == kBiBitfields || compression == kBiAlphaBitfields)
        return SpanFits(bitsOffset, rows, RowStride(uint32_t(width), bitCount), cb);
    // Compressed pixels (run-length, JPEG, PNG) are as long as the header says,
    // and a header that does not say cannot be bounded.
    return sizeImage != 0 && SpanFits(bitsOffset, sizeImage, 1, cb);
}

} // namespace dib_detail

// The stored first field: the header's size in bytes.
inline uint32_t DibHeaderSize(const uint8_t* pDib, size_t cbDib)
{
    return dib_detail::ReadU32(pDib, cbDib, 0);
}

inline bool DibHasInfoHeader(const uint8_t* pDib, size_t cbDib)
{
    return dib_detail::IsInfoHeaderSize(DibHeaderSize(pDib, cbDib));
}

// The core layout's 16-bit sizes are unsigned and widen without sign.
inline int32_t DibPixelWidth(const uint8_t* pDib, size_t cbDib)
{
    if (DibHasInfoHeader(pDib, cbDib))
        return int32_t(dib_detail::ReadU32(pDib, cbDib, 4));
    return dib_detail::ReadU16(pDib, cbDib, 4);
}

// Positive for rows stored bottom row first.
inline int32_t DibPixelHeight(const uint8_t* pDib, size_t cbDib)
{
    if (DibHasInfoHeader(pDib, cbDib))
        return int32_t(dib_detail::ReadU32(pDib, cbDib, 8));
    return dib_detail::ReadU16(pDib, cbDib, 6);
}

inline uint16_t DibBitCount(const uint8_t* pDib, size_t cbDib)
{
    return dib_detail::ReadU16(pDib, cbDib, DibHasInfoHeader(pDib, cbDib) ? 14 : 10);
}

// The core layout has no compression field: its pixels are always plain.
inline uint32_t DibCompression(const uint8_t* pDib, size_t cbDib)
{
    return DibHasInfoHeader(pDib, cbDib) ? dib_detail::ReadU32(pDib, cbDib, 16) : dib_detail::kBiRgb;
}

// The header's colour count when it gives one, taken modulo 65536; otherwise
// the count the bit count implies.
inline uint16_t DibPaletteEntryCount(const uint8_t* pDib, size_t cbDib)
{
    if (DibHasInfoHeader(pDib, cbDib)) {
        const uint32_t clrUsed = dib_detail::ReadU32(pDib, cbDib, 32);
        if (clrUsed != 0)
            return uint16_t(clrUsed);
    }
    return dib_detail::EntriesForBitCount(DibBitCount(pDib, cbDib));
}

// Taken modulo 65536, as the pixels' place is computed from it.
inline uint16_t DibColorTableBytes(const uint8_t* pDib, size_t cbDib)
{
    const unsigned entrySize = DibHasInfoHeader(pDib, cbDib) ? 4 : 3;
    return uint16_t(DibPaletteEntryCount(pDib, cbDib) * entrySize);
}

// Where the colour table of an info header begins: after the header and, for
// a 40-byte header with bit fields, after the masks. A core layout's table is
// always read from offset 12.
inline uint64_t DibColorTableOffset(const uint8_t* pDib, size_t cbDib)
{
    if (!DibHasInfoHeader(pDib, cbDib))
        return dib_detail::kCoreHeaderSize;
    const uint32_t headerSize = DibHeaderSize(pDib, cbDib);
    return uint64_t(headerSize) +
           dib_detail::MaskBytesAfterHeader(headerSize, DibCompression(pDib, cbDib));
}

// The pixels follow the stored header size, the masks and the colour table:
// nothing is expected in between, and the file header's offset plays no part.
inline uint64_t DibBitsOffset(const uint8_t* pDib, size_t cbDib)
{
    const uint32_t headerSize = DibHeaderSize(pDib, cbDib);
    uint64_t offset = uint64_t(headerSize) + DibColorTableBytes(pDib, cbDib);
    if (DibHasInfoHeader(pDib, cbDib))
        offset += dib_detail::MaskBytesAfterHeader(headerSize, DibCompression(pDib, cbDib));
    return offset;
}

// The first pixel row, or null when the pixels would begin beyond the block.
inline const uint8_t* DibBitsPointer(const uint8_t* pDib, size_t cbDib)
{
    const uint64_t offset = DibBitsOffset(pDib, cbDib);
    if (pDib == nullptr || offset > cbDib)
        return nullptr;
    return pDib + offset;
}

struct DibColor {
    uint8_t red, green, blue;
};

// Entry index of the colour table. Both entry kinds store blue, green, red.
inline DibColor DibPaletteEntry(const uint8_t* pDib, size_t cbDib, unsigned index)
{
    const bool bInfo = DibHasInfoHeader(pDib, cbDib);
    const uint64_t entry = DibColorTableOffset(pDib, cbDib) + uint64_t(index) * (bInfo ? 4 : 3);
    return DibColor{dib_detail::ReadU8(pDib, cbDib, entry + 2),
                    dib_detail::ReadU8(pDib, cbDib, entry + 1),
                    dib_detail::ReadU8(pDib, cbDib, entry)};
}

// Whether everything that the launcher reads of the block, and everything the
// system reads when it is handed the block as bitmap information together
// with DibBitsPointer, lies inside it: the header, the colour table (the
// larger of the launcher's and the system's count), the pixels (every padded
// row, or the stated size of compressed pixels), and the colour profile that
// a header of 124 bytes or more names.
//
// The system reads any first field of 40 or more as an info header of that
// size, and refuses other sizes than 12 below that. So a core-layout block
// whose first field is 41 or 64 must also fit when read that way. The 14
// zero bytes of a file that is nothing but a file header fit, as a 0 x 0 image.
inline bool DibFitsBlock(const uint8_t* pDib, size_t cbDib)
{
    using namespace dib_detail;
    if (pDib == nullptr)
        return false;
    const uint32_t headerSize = DibHeaderSize(pDib, cbDib);
    const uint64_t bitsOffset = DibBitsOffset(pDib, cbDib);
    const uint64_t launcherEntries = DibPaletteEntryCount(pDib, cbDib);
    if (IsInfoHeaderSize(headerSize))
        return InfoReadingFits(pDib, cbDib, headerSize, bitsOffset, launcherEntries,
                               DibColorTableOffset(pDib, cbDib));

    const uint16_t bitCount = DibBitCount(pDib, cbDib);
    uint64_t entries = launcherEntries;
    if (headerSize == kCoreHeaderSize && bitCount <= 8) {
        const uint64_t systemEntries = uint64_t(1) << bitCount;
        if (systemEntries > entries)
            entries = systemEntries;
    }
    // The table begins after the 12 header bytes, so this also bounds them.
    if (!SpanFits(kCoreHeaderSize, entries, 3, cbDib))
        return false;
    const uint64_t rows = uint16_t(DibPixelHeight(pDib, cbDib));
    const uint64_t stride = RowStride(uint16_t(DibPixelWidth(pDib, cbDib)), bitCount);
    if (!SpanFits(bitsOffset, rows, stride, cbDib))
        return false;
    if (headerSize >= kInfoHeaderSize)
        return InfoReadingFits(pDib, cbDib, headerSize, bitsOffset, 0, 0);
    return true;
}
