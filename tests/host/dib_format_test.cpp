// The header readers and the fit check, on blocks laid out byte by byte.
#include "dib/dib_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A block under construction; fields are written little-endian where a test
// puts them, the rest stays zero.
class CBlock {
public:
    explicit CBlock(size_t cb) : m_bytes(cb) {}

    CBlock& Put8(size_t offset, uint8_t value)
    {
        Grow(offset + 1);
        m_bytes[offset] = value;
        return *this;
    }
    CBlock& Put16(size_t offset, uint16_t value)
    {
        return Put8(offset, uint8_t(value)).Put8(offset + 1, uint8_t(value >> 8));
    }
    CBlock& Put32(size_t offset, uint32_t value)
    {
        return Put16(offset, uint16_t(value)).Put16(offset + 2, uint16_t(value >> 16));
    }

    const uint8_t* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_bytes.size(); }

    // The fit check on a block of exactly cb bytes: these bytes, cut short or
    // padded with zeros.
    bool FitsIn(size_t cb) const
    {
        std::vector<uint8_t> exact(cb);
        std::copy(m_bytes.begin(), m_bytes.begin() + std::min(cb, m_bytes.size()), exact.begin());
        return DibFitsBlock(exact.data(), exact.size());
    }

private:
    void Grow(size_t cb)
    {
        if (m_bytes.size() < cb)
            m_bytes.resize(cb);
    }
    std::vector<uint8_t> m_bytes;
};

CBlock InfoHeader(uint32_t headerSize, int32_t width, int32_t height, uint16_t bitCount,
                  uint32_t compression = 0, uint32_t clrUsed = 0, uint32_t sizeImage = 0)
{
    CBlock block(headerSize);
    block.Put32(0, headerSize).Put32(4, uint32_t(width)).Put32(8, uint32_t(height));
    block.Put16(12, 1).Put16(14, bitCount).Put32(16, compression).Put32(20, sizeImage);
    block.Put32(32, clrUsed);
    return block;
}

CBlock CoreHeader(uint32_t firstField, uint16_t width, uint16_t height, uint16_t bitCount)
{
    CBlock block(12);
    block.Put32(0, firstField).Put16(4, width).Put16(6, height).Put16(8, 1).Put16(10, bitCount);
    return block;
}

// The smallest block the check accepts is cb: one byte less is refused, and
// more room never hurts.
::testing::AssertionResult FitsFromExactly(const CBlock& block, size_t cb)
{
    if (!block.FitsIn(cb))
        return ::testing::AssertionFailure() << "refused at " << cb << " bytes";
    if (block.FitsIn(cb - 1))
        return ::testing::AssertionFailure() << "accepted at " << cb - 1 << " bytes";
    if (!block.FitsIn(cb + 1000))
        return ::testing::AssertionFailure() << "refused at " << cb + 1000 << " bytes";
    return ::testing::AssertionSuccess();
}

bool SameColor(const DibColor& color, uint8_t red, uint8_t green, uint8_t blue)
{
    return color.red == red && color.green == green && color.blue == blue;
}

} // namespace

TEST(DibHeaderReaders, InfoHeader8BitWithFullTable)
{
    CBlock block = InfoHeader(40, 3, 2, 8);
    block.Put8(40, 0x10).Put8(41, 0x20).Put8(42, 0x30).Put8(43, 0xFF);
    block.Put8(40 + 4 * 255, 0xA1).Put8(41 + 4 * 255, 0xB2).Put8(42 + 4 * 255, 0xC3);
    block.Put8(1064 + 8 - 1, 0);
    const uint8_t* p = block.Data();
    const size_t cb = block.Size();

    EXPECT_EQ(40u, DibHeaderSize(p, cb));
    EXPECT_TRUE(DibHasInfoHeader(p, cb));
    EXPECT_EQ(3, DibPixelWidth(p, cb));
    EXPECT_EQ(2, DibPixelHeight(p, cb));
    EXPECT_EQ(8, DibBitCount(p, cb));
    EXPECT_EQ(0u, DibCompression(p, cb));
    EXPECT_EQ(256, DibPaletteEntryCount(p, cb));
    EXPECT_EQ(1024, DibColorTableBytes(p, cb));
    EXPECT_EQ(1064u, DibBitsOffset(p, cb));
    EXPECT_EQ(p + 1064, DibBitsPointer(p, cb));
    // Stored blue, green, red, reserved; the reserved byte plays no part.
    EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 0), 0x30, 0x20, 0x10));
    EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 255), 0xC3, 0xB2, 0xA1));
    EXPECT_TRUE(DibFitsBlock(p, cb));
}

TEST(DibHeaderReaders, InfoHeaderColourCountAndBitCounts)
{
    struct Case {
        uint16_t bitCount;
        uint32_t clrUsed;
        uint16_t entries;
        uint16_t tableBytes;
        uint64_t bitsOffset;
    };
    const Case cases[] = {
        {8, 200, 200, 800, 840},
        {1, 0, 2, 8, 48},
        {4, 0, 16, 64, 104},
        {16, 0, 0, 0, 40},
        {24, 0, 0, 0, 40},
        {32, 0, 0, 0, 40},
        {0, 0, 0, 0, 40},
        {2, 0, 0, 0, 40},
        // A larger count is taken modulo 65536, even down to none, and so is
        // the table's length.
        {8, 0x10010, 16, 64, 104},
        {8, 0x10000, 0, 0, 40},
        {24, 20000, 20000, uint16_t(80000), 40 + 14464},
        {24, 65535, 65535, 65532, 40 + 65532},
    };
    for (const Case& c : cases) {
        const CBlock block = InfoHeader(40, 1, 1, c.bitCount, 0, c.clrUsed);
        SCOPED_TRACE(testing::Message() << c.bitCount << " bits, clrUsed " << c.clrUsed);
        EXPECT_EQ(c.entries, DibPaletteEntryCount(block.Data(), block.Size()));
        EXPECT_EQ(c.tableBytes, DibColorTableBytes(block.Data(), block.Size()));
        EXPECT_EQ(c.bitsOffset, DibBitsOffset(block.Data(), block.Size()));
    }
}

TEST(DibHeaderReaders, InfoHeaderSizesAreSignedAndTopDownIsNegative)
{
    const CBlock block = InfoHeader(40, -5, -7, 24);
    EXPECT_EQ(-5, DibPixelWidth(block.Data(), block.Size()));
    EXPECT_EQ(-7, DibPixelHeight(block.Data(), block.Size()));
    const CBlock huge = InfoHeader(40, 0x7FFFFFFF, int32_t(0x80000000), 24);
    EXPECT_EQ(0x7FFFFFFF, DibPixelWidth(huge.Data(), huge.Size()));
    EXPECT_EQ(INT32_MIN, DibPixelHeight(huge.Data(), huge.Size()));
}

TEST(DibHeaderReaders, CoreHeader4Bit)
{
    CBlock block = CoreHeader(12, 9, 4, 4);
    // The info header's compression field would lie here; the core layout has none.
    block.Put32(16, 1);
    block.Put8(12, 0x10).Put8(13, 0x20).Put8(14, 0x30);
    block.Put8(12 + 3 * 15, 0x01).Put8(13 + 3 * 15, 0x02).Put8(14 + 3 * 15, 0x03);
    const uint8_t* p = block.Data();
    const size_t cb = block.Size();

    EXPECT_FALSE(DibHasInfoHeader(p, cb));
    EXPECT_EQ(9, DibPixelWidth(p, cb));
    EXPECT_EQ(4, DibPixelHeight(p, cb));
    EXPECT_EQ(4, DibBitCount(p, cb));
    EXPECT_EQ(0u, DibCompression(p, cb));
    EXPECT_EQ(16, DibPaletteEntryCount(p, cb));
    EXPECT_EQ(48, DibColorTableBytes(p, cb));
    EXPECT_EQ(60u, DibBitsOffset(p, cb));
    EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 0), 0x30, 0x20, 0x10));
    EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 15), 0x03, 0x02, 0x01));
}

TEST(DibHeaderReaders, CoreSizesWidenWithoutSign)
{
    const CBlock block = CoreHeader(12, 65535, 65535, 24);
    EXPECT_EQ(65535, DibPixelWidth(block.Data(), block.Size()));
    EXPECT_EQ(65535, DibPixelHeight(block.Data(), block.Size()));
    EXPECT_EQ(0, DibPaletteEntryCount(block.Data(), block.Size()));
}

TEST(DibHeaderReaders, LaterInfoHeadersReadAsInfoHeader)
{
    for (uint32_t headerSize : {52u, 56u, 108u, 124u}) {
        SCOPED_TRACE(headerSize);
        CBlock block = InfoHeader(headerSize, 70000, -3, 8, 0, 16);
        block.Put8(headerSize, 0x11).Put8(headerSize + 1, 0x22).Put8(headerSize + 2, 0x33);
        block.Put8(headerSize + 4 * 15 + 2, 0x44);
        const uint8_t* p = block.Data();
        const size_t cb = block.Size();
        EXPECT_TRUE(DibHasInfoHeader(p, cb));
        EXPECT_EQ(70000, DibPixelWidth(p, cb));
        EXPECT_EQ(-3, DibPixelHeight(p, cb));
        EXPECT_EQ(8, DibBitCount(p, cb));
        EXPECT_EQ(16, DibPaletteEntryCount(p, cb));
        EXPECT_EQ(64, DibColorTableBytes(p, cb));
        EXPECT_EQ(headerSize + 64u, DibBitsOffset(p, cb));
        EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 0), 0x33, 0x22, 0x11));
        EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 15), 0x44, 0, 0));
    }
}

TEST(DibHeaderReaders, OtherFirstFieldsKeepCoreLayout)
{
    for (uint32_t firstField : {0u, 20u, 41u, 64u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(firstField);
        CBlock block = CoreHeader(firstField, 300, 200, 8);
        block.Put8(12, 0x10).Put8(13, 0x20).Put8(14, 0x30);
        const uint8_t* p = block.Data();
        const size_t cb = block.Size();
        EXPECT_FALSE(DibHasInfoHeader(p, cb));
        EXPECT_EQ(firstField, DibHeaderSize(p, cb));
        EXPECT_EQ(300, DibPixelWidth(p, cb));
        EXPECT_EQ(200, DibPixelHeight(p, cb));
        EXPECT_EQ(8, DibBitCount(p, cb));
        EXPECT_EQ(256, DibPaletteEntryCount(p, cb));
        EXPECT_EQ(768, DibColorTableBytes(p, cb));
        // The table is read from offset 12, the pixels placed after the stored size.
        EXPECT_EQ(uint64_t(firstField) + 768, DibBitsOffset(p, cb));
        EXPECT_TRUE(SameColor(DibPaletteEntry(p, cb, 0), 0x30, 0x20, 0x10));
    }
}

TEST(DibHeaderReaders, BitFieldMasksPrecedeTableAndPixels)
{
    // Only a 40-byte header keeps its masks outside the header.
    const CBlock masks3 = InfoHeader(40, 2, 2, 16, 3);
    EXPECT_EQ(52u, DibBitsOffset(masks3.Data(), masks3.Size()));
    const CBlock masks4 = InfoHeader(40, 2, 2, 32, 6);
    EXPECT_EQ(56u, DibBitsOffset(masks4.Data(), masks4.Size()));
    const CBlock v4 = InfoHeader(108, 2, 2, 32, 3);
    EXPECT_EQ(108u, DibBitsOffset(v4.Data(), v4.Size()));
    const CBlock rle8 = InfoHeader(40, 2, 2, 8, 1);
    EXPECT_EQ(1064u, DibBitsOffset(rle8.Data(), rle8.Size()));

    // A colour table beside the masks comes after them.
    CBlock withTable = InfoHeader(40, 2, 2, 16, 3, 2);
    withTable.Put32(40, 0xF800).Put32(44, 0x07E0).Put32(48, 0x001F);
    withTable.Put8(52, 0x01).Put8(53, 0x02).Put8(54, 0x03).Put8(59, 0);
    EXPECT_EQ(60u, DibBitsOffset(withTable.Data(), withTable.Size()));
    EXPECT_TRUE(SameColor(DibPaletteEntry(withTable.Data(), withTable.Size(), 0), 3, 2, 1));
}

TEST(DibHeaderReaders, FieldsOutsideTheBlockReadAsZero)
{
    uint8_t bytes[10] = {40, 0, 0, 0, 7, 0, 0, 0, 9, 9};
    EXPECT_EQ(7, DibPixelWidth(bytes, sizeof bytes));
    EXPECT_EQ(0, DibPixelHeight(bytes, sizeof bytes)); // two of its four bytes are missing
    EXPECT_EQ(0, DibBitCount(bytes, sizeof bytes));
    EXPECT_EQ(0u, DibHeaderSize(bytes, 3));
    EXPECT_EQ(0u, DibHeaderSize(nullptr, 100));
    EXPECT_EQ(nullptr, DibBitsPointer(nullptr, 100));

    // An entry that straddles the end keeps only the bytes inside.
    CBlock core = CoreHeader(12, 1, 1, 8);
    core.Put8(12 + 3 * 5, 0x55).Put8(13 + 3 * 5, 0x66).Put8(14 + 3 * 5, 0x77);
    EXPECT_TRUE(SameColor(DibPaletteEntry(core.Data(), 12 + 3 * 5 + 1, 5), 0, 0, 0x55));
    EXPECT_TRUE(SameColor(DibPaletteEntry(core.Data(), core.Size(), 0xFFFFFFFFu), 0, 0, 0));
}

TEST(DibHeaderReaders, BitsPointerOnlyInsideBlock)
{
    const CBlock block = InfoHeader(40, 0, 0, 8);
    std::vector<uint8_t> bytes(block.Data(), block.Data() + block.Size());
    bytes.resize(1064);
    EXPECT_EQ(bytes.data() + 1064, DibBitsPointer(bytes.data(), 1064));
    EXPECT_EQ(nullptr, DibBitsPointer(bytes.data(), 1063));
}

TEST(DibFitsBlock, UncompressedRowsAtTheirExactEnd)
{
    // 3 pixels of 8 bits pad to 4 bytes; 5 of 24 bits to 16; 33 of 1 bit to 8.
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 3, 2, 8), 1064 + 2 * 4));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 5, 3, 24), 40 + 3 * 16));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 33, 1, 1), 48 + 8));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 7, 5, 4), 104 + 5 * 4));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 3, 3, 32), 40 + 3 * 12));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(124, 3, 3, 24), 124 + 3 * 12));
    EXPECT_TRUE(FitsFromExactly(CoreHeader(12, 3, 2, 8), 12 + 768 + 2 * 4));
    EXPECT_TRUE(FitsFromExactly(CoreHeader(12, 5, 3, 24), 12 + 3 * 16));
    // The 16-bit core size 65535 is unsigned all the way.
    EXPECT_TRUE(FitsFromExactly(CoreHeader(12, 1, 65535, 24), 12 + 65535u * 4));
}

TEST(DibFitsBlock, TopDownCountsItsRowsAndNegativeWidthIsRefused)
{
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 5, -3, 24), 40 + 3 * 16));
    // Refused even when no row would be read.
    EXPECT_FALSE(InfoHeader(40, -1, 1, 24).FitsIn(100000));
    EXPECT_FALSE(InfoHeader(40, -1, 0, 24).FitsIn(100000));
    EXPECT_FALSE(InfoHeader(40, INT32_MIN, 1, 0).FitsIn(100000));
    EXPECT_FALSE(InfoHeader(40, 1, INT32_MIN, 24).FitsIn(100000));
}

TEST(DibFitsBlock, HugeSizesDoNotOverflow)
{
    EXPECT_FALSE(InfoHeader(40, 0x7FFFFFFF, 0x7FFFFFFF, 32).FitsIn(4096));
    EXPECT_FALSE(InfoHeader(40, 1, 0x40000001, 32).FitsIn(4096));
    EXPECT_FALSE(InfoHeader(40, 0x7FFFFFFF, 1, 0xFFFF).FitsIn(4096));
    EXPECT_FALSE(InfoHeader(40, 0x8001, 0x8001, 8).FitsIn(1 << 20));
    // Rows of 2^42 bytes, 2^22 of them: exactly 2^64 bytes in all.
    EXPECT_FALSE(InfoHeader(40, 1 << 30, 1 << 22, 0x8000).FitsIn(4096));
    // Nothing to read when there are no rows or no columns, however wide or high.
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0x7FFFFFFF, 0, 32), 40));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0x7FFFFFFF, 32), 40));
}

TEST(DibFitsBlock, HeaderItselfMustFit)
{
    EXPECT_TRUE(FitsFromExactly(InfoHeader(124, 0, 0, 24), 124));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 24), 40));
    EXPECT_TRUE(FitsFromExactly(CoreHeader(12, 0, 0, 24), 12));
    EXPECT_FALSE(DibFitsBlock(nullptr, 0));
    EXPECT_FALSE(CoreHeader(0xFFFFFFFF, 0, 0, 24).FitsIn(65536));
}

TEST(DibFitsBlock, BareFileHeaderIsAZeroByZeroImage)
{
    // "BM" and 12 more bytes give a block of 14 zero bytes.
    const std::vector<uint8_t> zeros(14);
    EXPECT_TRUE(DibFitsBlock(zeros.data(), zeros.size()));
    EXPECT_EQ(0, DibPixelWidth(zeros.data(), zeros.size()));
    EXPECT_EQ(0, DibPixelHeight(zeros.data(), zeros.size()));
    EXPECT_EQ(0, DibPaletteEntryCount(zeros.data(), zeros.size()));
    EXPECT_TRUE(FitsFromExactly(CBlock(14), 12));
}

TEST(DibFitsBlock, ColourTableTakesTheLargerCount)
{
    // The launcher's own count, in full: 20000 entries are 80000 bytes even
    // though the pixels are placed 14464 bytes after the header.
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 24, 0, 20000), 40 + 80000));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 8, 0, 300), 40 + 1200));
    // Counts the launcher takes modulo 65536 still make the system read up to 256.
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 8, 0, 0x10000), 40 + 1024));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 24, 0, 0x10005), 40 + 1024));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 8, 0, 0xFFFFFFFF), 40 + 65535 * 4));
    // Bit counts the launcher gives no table still have one for the system.
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 2, 0), 40 + 4 * 4));
    EXPECT_TRUE(FitsFromExactly(CoreHeader(12, 0, 0, 2), 12 + 4 * 3));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(108, 0, 0, 8, 0, 0), 108 + 1024));
}

TEST(DibFitsBlock, CompressedPixelsByTheirStatedSize)
{
    for (uint32_t compression : {1u, 2u, 4u, 5u}) {
        SCOPED_TRACE(compression);
        const uint16_t bitCount = compression == 2 ? 4 : 8;
        const uint64_t bits = compression == 2 ? 104 : 1064;
        EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 16, 16, bitCount, compression, 0, 100),
                                    bits + 100));
        // Without a stated size the pixels cannot be bounded.
        EXPECT_FALSE(InfoHeader(40, 16, 16, bitCount, compression, 0, 0).FitsIn(1 << 16));
    }
    EXPECT_FALSE(InfoHeader(40, 1, 1, 8, 1, 0, 0xFFFFFFFF).FitsIn(1 << 16));
}

TEST(DibFitsBlock, BitFieldMasks)
{
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 2, 2, 16, 3), 52 + 2 * 4));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 2, 2, 32, 6), 56 + 2 * 8));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(40, 0, 0, 16, 3), 52));
    EXPECT_TRUE(FitsFromExactly(InfoHeader(108, 2, 2, 32, 3), 108 + 2 * 8));
}

TEST(DibFitsBlock, FirstFieldReadByTheSystemAsALongerHeader)
{
    // Core reading: no table, 0 x 0 pixels placed at 64. The system reads an
    // info header of 64 bytes whose compression says run-length with 10 bytes.
    CBlock rle = CoreHeader(64, 0, 0, 0);
    rle.Put16(14, 24).Put32(16, 1).Put32(20, 10).Put8(63, 0);
    EXPECT_TRUE(FitsFromExactly(rle, 64 + 10));
    rle.Put32(20, 0);
    EXPECT_FALSE(rle.FitsIn(1 << 16));

    // Core reading: 8 x 0 at 1 bit, 2 entries, pixels at 41 + 6. The system
    // sees width 8, height 65536 (planes and bit count), 8 bits.
    CBlock tall = CoreHeader(41, 8, 0, 1);
    tall.Put16(8, 0).Put16(14, 8).Put8(40, 0);
    ASSERT_EQ(47u, DibBitsOffset(tall.Data(), tall.Size()));
    EXPECT_TRUE(FitsFromExactly(tall, 47 + 65536u * 8));

    // The system takes bit-field masks from offset 40, beyond these 41 bytes.
    CBlock masks = CoreHeader(41, 0, 0, 0);
    masks.Put16(14, 16).Put32(16, 3).Put8(40, 0);
    EXPECT_TRUE(FitsFromExactly(masks, 52));
    masks.Put32(16, 6);
    EXPECT_TRUE(FitsFromExactly(masks, 56));

    // Its colour table, by the system's count, comes after the 41 bytes.
    CBlock table = CoreHeader(41, 0, 0, 0);
    table.Put16(14, 24).Put32(32, 10).Put8(40, 0);
    EXPECT_TRUE(FitsFromExactly(table, 41 + 10 * 4));
}

TEST(DibFitsBlock, FirstFieldsTheSystemRefusesNeedOnlyTheCoreReading)
{
    for (uint32_t firstField : {13u, 20u, 39u}) {
        SCOPED_TRACE(firstField);
        // Read as an info header this would be run-length pixels of no stated
        // size; the system never reads it so, and the core reading fits.
        CBlock block = CoreHeader(firstField, 0, 0, 0);
        block.Put32(16, 1).Put32(32, 200);
        EXPECT_TRUE(FitsFromExactly(block, firstField));
    }
    EXPECT_TRUE(FitsFromExactly(CoreHeader(20, 3, 2, 8), 20 + 768 + 2 * 4));
}
