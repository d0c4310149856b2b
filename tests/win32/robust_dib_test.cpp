// Bitmap files as users burn them, sound and broken, through the launcher's
// own loader, shared palette and drawing on real device contexts.
//
// Each file either loads and is drawn from inside its block, or is refused;
// and the palette in force afterwards is the one the load defines. "Inside
// its block" is proven by drawing the accepted block a second time from a copy
// that ends right at a page the process may not read: the system must draw
// exactly what it draws from a copy with room behind it.
#include "dib/dib.h"
#include "frame/mainframe.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// File bytes

void Append16(std::vector<uint8_t>& bytes, uint32_t value)
{
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

void Append32(std::vector<uint8_t>& bytes, uint32_t value)
{
    Append16(bytes, value & 0xFFFF);
    Append16(bytes, value >> 16);
}

// Entry i of every colour table written here; no two entries alike.
COLORREF TableColour(unsigned i)
{
    return RGB(255 - (i & 255), (i * 37 + i / 256) & 255, (i & 255) ^ ((i >> 8) & 255));
}

// What a DIB declares and what its file really holds, set apart so that a
// file can lie about itself.
struct CDibShape {
    uint32_t cbHeader = 40;  // the stored first field
    bool bCoreFields = false;  // 12-byte core fields and 3-byte colour entries
    int32_t nWidth = 8;
    int32_t nHeight = 4;
    uint16_t nPlanes = 1;
    uint16_t nBitCount = 8;
    uint32_t nCompression = BI_RGB;
    uint32_t cbSizeImage = 0;
    uint32_t nClrUsed = 0;
    std::vector<uint32_t> masks;  // written right behind the header
    uint32_t nTableEntries = 256;  // entries written, whatever the header says
    std::vector<uint8_t> pixels;  // written as they are
};

// The packed DIB: what the file holds from offset 14 on.
std::vector<uint8_t> DibBytes(const CDibShape& shape)
{
    std::vector<uint8_t> dib;
    Append32(dib, shape.cbHeader);
    if (shape.bCoreFields) {
        Append16(dib, uint16_t(shape.nWidth));
        Append16(dib, uint16_t(shape.nHeight));
        Append16(dib, shape.nPlanes);
        Append16(dib, shape.nBitCount);
    } else {
        Append32(dib, uint32_t(shape.nWidth));
        Append32(dib, uint32_t(shape.nHeight));
        Append16(dib, shape.nPlanes);
        Append16(dib, shape.nBitCount);
        Append32(dib, shape.nCompression);
        Append32(dib, shape.cbSizeImage);
        Append32(dib, 2835);
        Append32(dib, 2835);
        Append32(dib, shape.nClrUsed);
        Append32(dib, 0);
        // The later headers carry more fields behind the first 40 bytes.
        if (shape.cbHeader > 40 && shape.cbHeader <= 124 && shape.cbHeader % 4 == 0)
            dib.resize(shape.cbHeader, 0);
    }
    for (uint32_t mask : shape.masks)
        Append32(dib, mask);
    for (uint32_t i = 0; i < shape.nTableEntries; ++i) {
        const COLORREF colour = TableColour(i);
        dib.push_back(GetBValue(colour));
        dib.push_back(GetGValue(colour));
        dib.push_back(GetRValue(colour));
        if (!shape.bCoreFields)
            dib.push_back(0x77);  // the reserved byte, which nobody may read as colour
    }
    dib.insert(dib.end(), shape.pixels.begin(), shape.pixels.end());
    return dib;
}

std::vector<uint8_t> FileBytes(const std::vector<uint8_t>& dib)
{
    std::vector<uint8_t> file{'B', 'M'};
    Append32(file, uint32_t(14 + dib.size()));
    Append32(file, 0);
    Append32(file, 0);  // the pixels' offset, which the launcher does not read
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

std::vector<uint8_t> FileBytes(const CDibShape& shape) { return FileBytes(DibBytes(shape)); }

uint64_t Stride(int64_t nWidth, unsigned nBitCount)
{
    return (uint64_t(nWidth) * nBitCount + 31) / 32 * 4;
}

// Rows bottom row first, each padded to whole 32-bit words; value(x, y) is the
// stored index or pixel at x and y counted from the top of the picture.
std::vector<uint8_t> Rows(int nWidth, int nHeight, unsigned nBitCount,
                          const std::function<uint32_t(int, int)>& value)
{
    const uint64_t cbStride = Stride(nWidth, nBitCount);
    std::vector<uint8_t> rows(size_t(cbStride * nHeight), 0);
    for (int nRow = 0; nRow < nHeight; ++nRow) {
        uint8_t* pRow = rows.data() + nRow * cbStride;
        const int y = nHeight - 1 - nRow;
        for (int x = 0; x < nWidth; ++x) {
            const uint32_t v = value(x, y);
            if (nBitCount < 8) {
                const unsigned nBit = x * nBitCount;
                const unsigned nShift = 8 - nBitCount - nBit % 8;
                pRow[nBit / 8] |= uint8_t((v & ((1u << nBitCount) - 1)) << nShift);
            } else {
                for (unsigned b = 0; b < nBitCount / 8; ++b)
                    pRow[x * (nBitCount / 8) + b] = uint8_t(v >> (8 * b));
            }
        }
    }
    return rows;
}

// A different index at almost every pixel.
uint32_t Pattern(int x, int y) { return uint32_t(x * 5 + y * 11 + 1); }

// The 8 x 4 8-bit file every damaged one is made from: 256 colours, the
// pixels behind them.
CDibShape Sound8Bit()
{
    CDibShape shape;
    shape.pixels = Rows(8, 4, 8, Pattern);
    return shape;
}

// An image's colour at (x, y) from the top, as the system should draw it.
using Picture = std::function<COLORREF(int x, int y)>;

// The indexed colours of an uncompressed image, read from its block at the
// offsets its layout puts them: every byte behind the file's end is zero.
Picture IndexedPicture(const std::vector<uint8_t>& block, size_t nTableOffset, unsigned cbEntry,
                       size_t nBitsOffset, int nWidth, int nHeight, unsigned nBitCount)
{
    return [=](int x, int y) -> COLORREF {
        const uint64_t nRow = uint64_t(nHeight - 1 - y);
        const uint64_t nBit = uint64_t(x) * nBitCount;
        const uint64_t at = nBitsOffset + nRow * Stride(nWidth, nBitCount) + nBit / 8;
        const uint8_t byte = at < block.size() ? block[at] : 0;
        const unsigned index =
            (byte >> (8 - nBitCount - nBit % 8)) & ((1u << nBitCount) - 1);
        const size_t entry = nTableOffset + size_t(index) * cbEntry;
        auto at8 = [&](size_t i) { return i < block.size() ? block[i] : uint8_t(0); };
        return RGB(at8(entry + 2), at8(entry + 1), at8(entry));
    };
}

// The block the launcher makes of a file: its bytes from offset 14 on, then
// 14 zero bytes, the file's length in all.
std::vector<uint8_t> BlockOf(const std::vector<uint8_t>& file)
{
    std::vector<uint8_t> block(file.size(), 0);
    if (file.size() > 14)
        std::copy(file.begin() + 14, file.end(), block.begin());
    return block;
}

DibHandle HandleOf(const std::vector<uint8_t>& block)
{
    DibHandle hDib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block.size());
    if (hDib != nullptr) {
        void* p = GlobalLock(hDib);
        std::memcpy(p, block.data(), block.size());
        GlobalUnlock(hDib);
    }
    return hDib;
}

// ---------------------------------------------------------------------------
// Reads past a block

// Pages behind a copy that the process may not read. A read there by code
// that runs as a Windows program is counted and then let through to a
// read-only zero page; the system's own drawing code reports such a read by
// failing the call.
class CGuardedCopy {
public:
    CGuardedCopy() { GetSystemInfo(&m_info); }
    CGuardedCopy(const CGuardedCopy&) = delete;
    CGuardedCopy& operator=(const CGuardedCopy&) = delete;
    ~CGuardedCopy() { Release(); }

    // The bytes placed so that their last byte is the last one readable.
    const uint8_t* Place(const std::vector<uint8_t>& bytes)
    {
        Release();
        const SIZE_T cbPage = m_info.dwPageSize;
        const SIZE_T cbData = (bytes.size() + cbPage - 1) / cbPage * cbPage;
        const SIZE_T cbAll = (cbData == 0 ? cbPage : cbData) + kGuardPages * cbPage;
        m_pBase = static_cast<uint8_t*>(VirtualAlloc(nullptr, cbAll, MEM_RESERVE, PAGE_NOACCESS));
        if (m_pBase == nullptr)
            return nullptr;
        const SIZE_T cbCommit = cbData == 0 ? cbPage : cbData;
        VirtualAlloc(m_pBase, cbCommit, MEM_COMMIT, PAGE_READWRITE);
        s_pGuard = m_pBase + cbCommit;
        s_cbGuard = kGuardPages * cbPage;
        s_cbPage = cbPage;
        s_nFaults = 0;
        uint8_t* pData = s_pGuard - bytes.size();
        std::memcpy(pData, bytes.data(), bytes.size());
        return pData;
    }

    static int Faults() { return s_nFaults; }

    static LONG CALLBACK OnException(EXCEPTION_POINTERS* pInfo)
    {
        const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
        if (pRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || s_pGuard == nullptr)
            return EXCEPTION_CONTINUE_SEARCH;
        auto* pAddress = reinterpret_cast<uint8_t*>(pRecord->ExceptionInformation[1]);
        if (pAddress < s_pGuard || pAddress >= s_pGuard + s_cbGuard)
            return EXCEPTION_CONTINUE_SEARCH;
        ++s_nFaults;
        const auto nPage = reinterpret_cast<UINT_PTR>(pAddress) & ~UINT_PTR(s_cbPage - 1);
        VirtualAlloc(reinterpret_cast<void*>(nPage), s_cbPage, MEM_COMMIT, PAGE_READONLY);
        return EXCEPTION_CONTINUE_EXECUTION;
    }

private:
    static const SIZE_T kGuardPages = 16;

    void Release()
    {
        if (m_pBase != nullptr)
            VirtualFree(m_pBase, 0, MEM_RELEASE);
        m_pBase = nullptr;
        s_pGuard = nullptr;
    }

    SYSTEM_INFO m_info;
    uint8_t* m_pBase = nullptr;
    static uint8_t* s_pGuard;
    static SIZE_T s_cbGuard;
    static SIZE_T s_cbPage;
    static int s_nFaults;
};

uint8_t* CGuardedCopy::s_pGuard = nullptr;
SIZE_T CGuardedCopy::s_cbGuard = 0;
SIZE_T CGuardedCopy::s_cbPage = 0;
int CGuardedCopy::s_nFaults = 0;

// ---------------------------------------------------------------------------
// Drawing surfaces

// A 32-bit memory surface, larger than every picture drawn here.
class CSurface {
public:
    static const int kSize = 160;

    CSurface()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kSize;
        info.bmiHeader.biHeight = -kSize;  // top row first, as pixels are read back
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        m_hDC = CreateCompatibleDC(nullptr);
        void* pBits = nullptr;
        m_hBitmap = CreateDIBSection(m_hDC, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
        m_pBits = static_cast<uint32_t*>(pBits);
        m_hOld = SelectObject(m_hDC, m_hBitmap);
    }
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;
    ~CSurface()
    {
        SelectObject(m_hDC, m_hOld);
        DeleteObject(m_hBitmap);
        DeleteDC(m_hDC);
    }

    HDC DC() const { return m_hDC; }
    bool Ready() const { return m_pBits != nullptr; }
    // A colour no test picture has, so an undrawn pixel shows.
    void Clear()
    {
        GdiFlush();
        std::fill(m_pBits, m_pBits + kSize * kSize, 0x00FF00FEu);
    }
    COLORREF Pixel(int x, int y) const
    {
        GdiFlush();
        const uint32_t v = m_pBits[y * kSize + x];
        return RGB((v >> 16) & 255, (v >> 8) & 255, v & 255);
    }

private:
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    uint32_t* m_pBits = nullptr;
};

// The system's drawing of a block as the launcher hands it over for an
// element of width x height at the surface's corner: the pixels found from the
// header and colour table, rows counted from the bottom, the image's height
// as a 16-bit number of scan lines.
int SystemDraw(HDC hDC, const uint8_t* pBlock, size_t cbBlock, int nWidth, int nHeight)
{
    const int32_t nImageHeight = DibPixelHeight(pBlock, cbBlock);
    return SetDIBitsToDevice(hDC, 0, 0, nWidth, nHeight, 0, nImageHeight - nHeight, 0,
                             uint16_t(nImageHeight), DibBitsPointer(pBlock, cbBlock),
                             reinterpret_cast<const BITMAPINFO*>(pBlock), DIB_RGB_COLORS);
}

// ---------------------------------------------------------------------------
// Expected outcomes

constexpr int kNoPalette = -1;
// Scan lines drawn are the system's business (an odd bit count, a mask it
// rejects): only that the launcher draws what the system draws from inside
// the block is checked.
constexpr int kAsTheSystemDraws = INT_MIN;

struct COutcome {
    bool bLoads;
    int nPalette;  // entries of the palette in force afterwards, or kNoPalette
    int nLines;    // DrawDib's result at the image's own size, when it loads
};

const COutcome kRefused{false, kNoPalette, 0};

COutcome Loads(int nPalette, int nLines) { return COutcome{true, nPalette, nLines}; }

// Whether the system makes a palette of this many entries at all; when it
// does not, the launcher keeps none.
int PaletteTheSystemMakes(unsigned nEntries)
{
    std::vector<uint8_t> storage(sizeof(LOGPALETTE) + nEntries * sizeof(PALETTEENTRY));
    auto* pLog = reinterpret_cast<LOGPALETTE*>(storage.data());
    pLog->palVersion = 0x300;
    pLog->palNumEntries = WORD(nEntries);
    HPALETTE hPalette = CreatePalette(pLog);
    if (hPalette == nullptr)
        return kNoPalette;
    DeleteObject(hPalette);
    return int(nEntries);
}

// ---------------------------------------------------------------------------
// The fixture: one launcher window, made in an empty folder so that its own
// set-up loads nothing, and the loads of each test on it.

class RobustDib : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_hHandler = AddVectoredExceptionHandler(1, CGuardedCopy::OnException);
        char szTemp[MAX_PATH];
        GetTempPathA(sizeof szTemp, szTemp);
        char szFolder[MAX_PATH];
        std::snprintf(szFolder, sizeof szFolder, "%srobust-dib-%lu", szTemp,
                      GetCurrentProcessId());
        CreateDirectoryA(szFolder, nullptr);
        s_folder = szFolder;
        GetCurrentDirectoryA(sizeof s_szPrevious, s_szPrevious);
        SetCurrentDirectoryA(szFolder);
        s_pFrame = new CMainFrame;
    }

    static void TearDownTestSuite()
    {
        // The frame deletes itself with its window.
        if (s_pFrame->m_hWnd != nullptr)
            s_pFrame->DestroyWindow();
        else
            delete s_pFrame;
        s_pFrame = nullptr;
        SetCurrentDirectoryA(s_szPrevious);
        DeleteFileA((s_folder + "\\case.bmp").c_str());
        RemoveDirectoryA(s_folder.c_str());
        RemoveVectoredExceptionHandler(s_hHandler);
    }

    void SetUp() override
    {
        ASSERT_NE(s_pFrame->m_hWnd, nullptr);
        ASSERT_TRUE(m_surface.Ready());
    }

    static DibHandle Load(const std::vector<uint8_t>& file)
    {
        const std::string path = s_folder + "\\case.bmp";
        HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD cbWritten = 0;
        if (!file.empty())
            WriteFile(hFile, file.data(), DWORD(file.size()), &cbWritten, nullptr);
        CloseHandle(hFile);
        return s_pFrame->LoadBitmapFile(path.c_str());
    }

    static int PaletteInForce()
    {
        if (s_pFrame->m_pPalette == nullptr)
            return kNoPalette;
        return int(GetPaletteEntries(s_pFrame->m_pPalette->m_hObject, 0, 0, nullptr));
    }

    // A palette of three entries in force before each load, so that "none"
    // and "left as it was" can be told apart.
    static void Prime()
    {
        CDibShape shape;
        shape.nWidth = shape.nHeight = 2;
        shape.nClrUsed = shape.nTableEntries = 3;
        shape.pixels = Rows(2, 2, 8, [](int x, int y) { return uint32_t(x + y); });
        DibHandle hPrimer = Load(FileBytes(shape));
        ASSERT_NE(hPrimer, nullptr);
        GlobalFree(hPrimer);
        ASSERT_EQ(PaletteInForce(), 3);
    }

    // Draws the image with DrawDib at the size of an element, and draws its
    // block again straight through the system from a roomy copy and from a
    // copy against unreadable pages. Returns DrawDib's result.
    int DrawEverywhere(DibHandle hImage, const std::vector<uint8_t>& block, int nWidth,
                       int nHeight, const std::string& what)
    {
        const RECT rcDest{0, 0, nWidth, nHeight};
        const RECT rcSource{0, 0, nWidth, nHeight};
        std::vector<uint8_t> roomy(block);
        roomy.resize(block.size() + (1 << 20), 0);

        m_surface.Clear();
        const int nRoomy = SystemDraw(m_surface.DC(), roomy.data(), block.size(), nWidth, nHeight);
        const uint8_t* pGuarded = m_guarded.Place(block);
        if (pGuarded == nullptr) {
            ADD_FAILURE() << "no memory for a guarded copy";
            return 0;
        }
        m_surface.Clear();
        const int nGuarded = SystemDraw(m_surface.DC(), pGuarded, block.size(), nWidth, nHeight);
        EXPECT_EQ(CGuardedCopy::Faults(), 0) << what << ": read behind the block";
        EXPECT_EQ(nGuarded, nRoomy) << what << ": the system needs bytes behind the block";

        HDC hWindowDC = GetDC(s_pFrame->m_hWnd);
        const int nOnWindow = DrawDib(hWindowDC, rcDest, hImage, rcSource, s_pFrame->m_pPalette);
        ReleaseDC(s_pFrame->m_hWnd, hWindowDC);
        EXPECT_EQ(nOnWindow, nRoomy) << what << ": on the window";

        m_surface.Clear();
        const int nDrawn = DrawDib(m_surface.DC(), rcDest, hImage, rcSource, s_pFrame->m_pPalette);
        EXPECT_EQ(nDrawn, nRoomy) << what;
        return nDrawn;
    }

    // One file through the loader and, when it loads, through every drawing.
    void Check(const std::string& what, const std::vector<uint8_t>& file, const COutcome& expected,
               const Picture& picture = nullptr)
    {
        SCOPED_TRACE(what);
        Prime();
        DibHandle hImage = Load(file);
        ASSERT_EQ(hImage != nullptr, expected.bLoads);
        EXPECT_EQ(PaletteInForce(), expected.nPalette);
        const std::vector<uint8_t> block = BlockOf(file);
        if (hImage == nullptr)
            return;

        {
            CDibLock dib(hImage);
            ASSERT_NE(dib.Data(), nullptr);
            ASSERT_EQ(dib.Size(), file.size()) << "the block has the file's length";
            EXPECT_EQ(std::memcmp(dib.Data(), block.data(), block.size()), 0);
        }
        const int32_t nWidth = DibPixelWidth(block.data(), block.size());
        const int32_t nHeight = DibPixelHeight(block.data(), block.size());
        const int nOwnWidth = std::min<int32_t>(nWidth, CSurface::kSize);
        const int nOwnHeight = std::min<int32_t>(nHeight, CSurface::kSize);

        // An element larger than the picture: the system clips to the image.
        DrawEverywhere(hImage, block, 124, 56, "as a button");
        const int nDrawn = DrawEverywhere(hImage, block, nOwnWidth, nOwnHeight, "at its own size");
        if (expected.nLines != kAsTheSystemDraws) {
            EXPECT_EQ(nDrawn, expected.nLines);
        }
        if (picture) {
            int nWrong = 0;
            for (int y = 0; y < nOwnHeight; ++y) {
                for (int x = 0; x < nOwnWidth; ++x) {
                    if (m_surface.Pixel(x, y) != picture(x, y) && nWrong++ < 3)
                        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex
                                      << m_surface.Pixel(x, y) << ", expected " << picture(x, y);
                }
            }
            EXPECT_EQ(nWrong, 0);
        }
        GlobalFree(hImage);
    }

    // A block refused as too short for what it declares draws nothing, even
    // when it reaches DrawDib by another road than the loader.
    static void ExpectDrawDibRefuses(const std::vector<uint8_t>& block, const std::string& what)
    {
        DibHandle hRaw = HandleOf(block);
        ASSERT_NE(hRaw, nullptr);
        HDC hDC = GetDC(s_pFrame->m_hWnd);
        EXPECT_EQ(DrawDib(hDC, RECT{0, 0, 124, 56}, hRaw, RECT{0, 0, 124, 56}, nullptr), 0)
            << what;
        ReleaseDC(s_pFrame->m_hWnd, hDC);
        GlobalFree(hRaw);
    }

    static CMainFrame* s_pFrame;
    static std::string s_folder;
    static char s_szPrevious[MAX_PATH];
    static PVOID s_hHandler;

    CSurface m_surface;
    CGuardedCopy m_guarded;
};

CMainFrame* RobustDib::s_pFrame = nullptr;
std::string RobustDib::s_folder;
char RobustDib::s_szPrevious[MAX_PATH];
PVOID RobustDib::s_hHandler = nullptr;

// The detector itself: a block one row short of its pixels, drawn straight
// through the system, must be caught, or none of the checks below would mean
// anything.
TEST_F(RobustDib, AReadBehindTheBlockIsCaught)
{
    std::vector<uint8_t> block = DibBytes(Sound8Bit());
    block.resize(block.size() - 8);
    std::vector<uint8_t> roomy(block);
    roomy.resize(block.size() + 4096, 0);
    const int nRoomy = SystemDraw(m_surface.DC(), roomy.data(), block.size(), 8, 4);
    ASSERT_EQ(nRoomy, 4);
    const uint8_t* pGuarded = m_guarded.Place(block);
    ASSERT_NE(pGuarded, nullptr);
    const int nGuarded = SystemDraw(m_surface.DC(), pGuarded, block.size(), 8, 4);
    EXPECT_TRUE(nGuarded != nRoomy || CGuardedCopy::Faults() > 0)
        << "a read behind the block went unnoticed";
}

// Every length of a sound 8-bit file, from nothing to all of it. The block is
// as long as the file and ends in 14 zero bytes, so the file may lose up to 14
// bytes of its last row and still load, with zeros in their place.
TEST_F(RobustDib, AFileCutAtEveryLength)
{
    const std::vector<uint8_t> whole = FileBytes(Sound8Bit());
    const size_t cbNeeded = 40 + 256 * 4 + 8 * 4;  // what the DIB itself needs
    ASSERT_EQ(whole.size(), 14 + cbNeeded);
    for (size_t cb = 0; cb <= whole.size(); ++cb) {
        const std::vector<uint8_t> file(whole.begin(), whole.begin() + cb);
        const std::string what = "cut at " + std::to_string(cb) + " bytes";
        if (cb < 14) {
            Check(what, file, kRefused);
        } else if (cb == 14) {
            // Nothing but the file header: a zero block read as a 0 x 0 core image.
            Check(what, file, Loads(kNoPalette, 0));
        } else if (cb < cbNeeded) {
            Check(what, file, kRefused);
            ExpectDrawDibRefuses(BlockOf(file), what);
        } else {
            const std::vector<uint8_t> block = BlockOf(file);
            Check(what, file, Loads(256, 4), IndexedPicture(block, 40, 4, 1064, 8, 4, 8));
        }
        if (HasFatalFailure())
            return;
    }
}

// The first field decides the layout: 40, 52, 56, 108 and 124 are the Windows
// header, anything else the core layout, which here reads a size of 8 x 0 and
// no colour table. The system reads a first field of 40 or more as a header of
// that size, so 41 and 64 must fit that reading too; 0xFFFFFFFF cannot.
TEST_F(RobustDib, EveryHeaderSize)
{
    for (uint32_t cbHeader : {0u, 11u, 13u, 39u}) {
        CDibShape shape = Sound8Bit();
        shape.cbHeader = cbHeader;
        Check("first field " + std::to_string(cbHeader), FileBytes(shape), Loads(kNoPalette, 0));
    }
    for (uint32_t cbHeader : {41u, 64u}) {
        CDibShape shape = Sound8Bit();
        shape.cbHeader = cbHeader;
        Check("first field " + std::to_string(cbHeader), FileBytes(shape),
              Loads(kNoPalette, kAsTheSystemDraws));
    }
    CDibShape endless = Sound8Bit();
    endless.cbHeader = 0xFFFFFFFF;
    Check("first field 0xFFFFFFFF", FileBytes(endless), kRefused);

    for (uint32_t cbHeader : {52u, 56u, 108u, 124u}) {
        CDibShape shape = Sound8Bit();
        shape.cbHeader = cbHeader;
        const std::vector<uint8_t> file = FileBytes(shape);
        Check("Windows header of " + std::to_string(cbHeader), file, Loads(256, 4),
              IndexedPicture(BlockOf(file), cbHeader, 4, cbHeader + 1024, 8, 4, 8));
    }
    CDibShape core = Sound8Bit();
    core.cbHeader = 12;
    core.bCoreFields = true;
    const std::vector<uint8_t> coreFile = FileBytes(core);
    Check("core header", coreFile, Loads(256, 4),
          IndexedPicture(BlockOf(coreFile), 12, 3, 12 + 768, 8, 4, 8));
}

// A 124-byte header may name a colour profile that a system with colour
// management reads: embedded bytes, or a linked file's name up to its end.
// One that names it where the block has no such bytes is refused; other
// colour spaces leave the two fields unread.
TEST_F(RobustDib, ColourProfilesOfLongHeaders)
{
    CDibShape shape = Sound8Bit();
    shape.cbHeader = 124;
    const std::vector<uint8_t> sound = DibBytes(shape);
    const uint32_t nBehind = uint32_t(sound.size());  // right behind the pixels
    const uint32_t kLinked = 0x4C494E4B, kEmbedded = 0x4D424544;  // 'LINK', 'MBED'
    const uint32_t kSrgb = 0x73524742;                            // 'sRGB'
    const std::vector<uint8_t> profile(128, 0x5A);
    const std::vector<uint8_t> name{'s', 'R', 'G', 'B', '.', 'i', 'c', 'm', 0};

    struct {
        const char* pszWhat;
        uint32_t nCsType, nOffset, cbSize;
        const std::vector<uint8_t>& stored;  // written behind the pixels
        bool bLoads;
    } const cases[] = {
        {"embedded", kEmbedded, nBehind, 128, profile, true},
        {"embedded, to the block's last byte", kEmbedded, nBehind, 128 + 14, profile, true},
        {"embedded, one byte past the block", kEmbedded, nBehind, 128 + 15, profile, false},
        {"embedded, beyond 32 bits", kEmbedded, 0xFFFFFFF0, 0x20, profile, false},
        {"linked", kLinked, nBehind, 9, name, true},
        {"linked, its end beyond its size", kLinked, nBehind, 8, name, false},
        {"linked, at the block's end", kLinked, nBehind + 9 + 14, 0, name, false},
        {"sRGB, the fields unread", kSrgb, 0xFFFFFFF0, 0x20, name, true},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> dib = sound;
        auto put32 = [&dib](size_t at, uint32_t value) {
            for (int b = 0; b < 4; ++b)
                dib[at + b] = uint8_t(value >> (8 * b));
        };
        put32(56, c.nCsType);
        put32(112, c.nOffset);
        put32(116, c.cbSize);
        dib.insert(dib.end(), c.stored.begin(), c.stored.end());
        const std::vector<uint8_t> file = FileBytes(dib);
        if (c.bLoads)
            Check(c.pszWhat, file, Loads(256, 4),
                  IndexedPicture(BlockOf(file), 124, 4, 124 + 1024, 8, 4, 8));
        else
            Check(c.pszWhat, file, kRefused);
    }
}

// Sizes of nothing, of the wrong sign, and too large for any file: the rows
// are measured in 64 bits, so 1 x 0x40000001 at 32 bits (4 bytes a row, 2^32 +
// 4 bytes in all) cannot pass as 4 bytes.
TEST_F(RobustDib, SizesFromNothingToEnormous)
{
    CDibShape narrow = Sound8Bit();
    narrow.nWidth = 0;
    Check("width 0", FileBytes(narrow), Loads(256, kAsTheSystemDraws));
    CDibShape flat = Sound8Bit();
    flat.nHeight = 0;
    Check("height 0", FileBytes(flat), Loads(256, 0));

    CDibShape backwards = Sound8Bit();
    backwards.nWidth = -8;
    Check("negative width", FileBytes(backwards), kRefused);
    CDibShape topDown = Sound8Bit();
    topDown.nHeight = -4;
    Check("negative height", FileBytes(topDown), kRefused);
    CDibShape topDown108 = topDown;
    topDown108.cbHeader = 108;
    Check("negative height, 108-byte header", FileBytes(topDown108), kRefused);

    CDibShape square = Sound8Bit();
    square.nWidth = square.nHeight = 0x8001;
    Check("0x8001 square", FileBytes(square), kRefused);
    ExpectDrawDibRefuses(BlockOf(FileBytes(square)), "0x8001 square");
    CDibShape coreSquare = square;
    coreSquare.cbHeader = 12;
    coreSquare.bCoreFields = true;
    Check("0x8001 square, core header", FileBytes(coreSquare), kRefused);

    CDibShape tall = Sound8Bit();
    tall.nWidth = 1;
    tall.nHeight = 0x40000001;
    tall.nBitCount = 32;
    tall.nTableEntries = 0;
    tall.pixels.assign(64, 0x5A);
    Check("1 x 0x40000001 at 32 bits", FileBytes(tall), kRefused);
    ExpectDrawDibRefuses(BlockOf(FileBytes(tall)), "1 x 0x40000001 at 32 bits");
    CDibShape wide = tall;
    wide.nWidth = 0x40000001;
    wide.nHeight = 1;
    Check("0x40000001 x 1 at 32 bits", FileBytes(wide), kRefused);

    // The largest core size, in a file that holds its one row.
    CDibShape longest;
    longest.cbHeader = 12;
    longest.bCoreFields = true;
    longest.nWidth = 65535;
    longest.nHeight = 1;
    longest.nBitCount = 1;
    longest.nTableEntries = 2;
    longest.pixels = Rows(65535, 1, 1, [](int x, int) { return uint32_t(x % 3 == 0); });
    const std::vector<uint8_t> longestFile = FileBytes(longest);
    Check("65535 x 1 core", longestFile, Loads(2, 1),
          IndexedPicture(BlockOf(longestFile), 12, 3, 12 + 6, 65535, 1, 1));
}

// The colour count as the header states it, with the table the file really
// holds. The launcher's palette takes the stated count; the system never reads
// more than 256 entries.
TEST_F(RobustDib, ColourCountsBeyondTheTable)
{
    CDibShape more = Sound8Bit();
    more.nClrUsed = more.nTableEntries = 257;
    const std::vector<uint8_t> moreFile = FileBytes(more);
    Check("257 colours stated and stored", moreFile, Loads(257, 4),
          IndexedPicture(BlockOf(moreFile), 40, 4, 40 + 257 * 4, 8, 4, 8));

    // 257 stated, 256 stored: the 257th entry and the pixels' place lie in
    // the file's last bytes and its zero tail, still inside the block.
    CDibShape lying = Sound8Bit();
    lying.nClrUsed = 257;
    Check("257 colours stated, 256 stored", FileBytes(lying), Loads(257, 4));

    CDibShape many = Sound8Bit();
    many.nClrUsed = 5000;
    Check("5000 colours stated, 256 stored", FileBytes(many), kRefused);
    ExpectDrawDibRefuses(BlockOf(FileBytes(many)), "5000 colours stated, 256 stored");
    many.nTableEntries = 5000;
    Check("5000 colours stated and stored", FileBytes(many),
          Loads(PaletteTheSystemMakes(5000), 4));

    // 0xFFFFFFFF is taken modulo 65536: 65535 entries, whose 4-byte table
    // size wraps to 65532 bytes, where the pixels are then looked for.
    CDibShape all = Sound8Bit();
    all.nClrUsed = 0xFFFFFFFF;
    Check("0xFFFFFFFF colours stated, 256 stored", FileBytes(all), kRefused);
    ExpectDrawDibRefuses(BlockOf(FileBytes(all)), "0xFFFFFFFF colours stated, 256 stored");
    all.nTableEntries = 65535;
    Check("0xFFFFFFFF colours stated, 65535 stored", FileBytes(all),
          Loads(PaletteTheSystemMakes(65535), 4));
}

// Run-length pixels are bounded by the size the header states: none stated
// cannot be bounded, and a size beyond the block is refused.
TEST_F(RobustDib, RunLengthPixelsAndTheirStatedSize)
{
    // Every row one run of its own colour, then the end of the picture.
    const std::vector<uint8_t> rle8 = {8, 1, 0, 0, 8, 2, 0, 0, 8, 3, 0, 0, 8, 4, 0, 1};
    auto rowColour = [](int, int y) { return TableColour(4 - y); };
    CDibShape shape = Sound8Bit();
    shape.nCompression = BI_RLE8;
    shape.pixels = rle8;
    shape.cbSizeImage = uint32_t(rle8.size());
    Check("RLE8", FileBytes(shape), Loads(256, 4), rowColour);

    // Stated to the last byte of the block, the zero tail included.
    shape.cbSizeImage = uint32_t(rle8.size() + 14);
    Check("RLE8 stated to the block's end", FileBytes(shape), Loads(256, 4), rowColour);
    shape.cbSizeImage = uint32_t(rle8.size() + 15);
    Check("RLE8 stated one byte beyond the block", FileBytes(shape), kRefused);
    ExpectDrawDibRefuses(BlockOf(FileBytes(shape)), "RLE8 stated one byte beyond the block");
    shape.cbSizeImage = 0;
    Check("RLE8 with no size", FileBytes(shape), kRefused);
    ExpectDrawDibRefuses(BlockOf(FileBytes(shape)), "RLE8 with no size");
    shape.cbSizeImage = 0xFFFFFFFF;
    Check("RLE8 stated far larger than the file", FileBytes(shape), kRefused);

    // Runs that never end the picture and reach the block's last byte.
    CDibShape endless = Sound8Bit();
    endless.nCompression = BI_RLE8;
    endless.pixels.assign(64, 2);  // runs of two pixels of colour 2, with no end
    endless.cbSizeImage = 64 + 14;
    Check("RLE8 without an end, to the block's end", FileBytes(endless),
          Loads(256, kAsTheSystemDraws));

    const std::vector<uint8_t> rle4 = {8, 0x12, 0, 0, 8, 0x34, 0, 0, 8, 0x56, 0, 0, 8, 0x78, 0, 1};
    CDibShape spec4 = Sound8Bit();
    spec4.nBitCount = 4;
    spec4.nTableEntries = 16;
    spec4.nCompression = BI_RLE4;
    spec4.pixels = rle4;
    spec4.cbSizeImage = uint32_t(rle4.size());
    Check("RLE4", FileBytes(spec4), Loads(16, 4), [](int x, int y) {
        const unsigned pair = 0x12 + 0x22 * (3 - y);
        return TableColour(x % 2 == 0 ? pair >> 4 : pair & 15);
    });
    spec4.cbSizeImage = 0;
    Check("RLE4 with no size", FileBytes(spec4), kRefused);
    spec4.cbSizeImage = uint32_t(rle4.size() + 15);
    Check("RLE4 stated one byte beyond the block", FileBytes(spec4), kRefused);

    // A compression the system does not know is bounded the same way.
    CDibShape unknown = shape;
    unknown.nCompression = 99;
    unknown.cbSizeImage = uint32_t(rle8.size());
    Check("unknown compression", FileBytes(unknown), Loads(256, kAsTheSystemDraws));
}

// Colour masks follow a 40-byte header and come before the pixels. Masks of
// nothing, or masks that share bits, are the system's to draw or not; the
// block must hold the masks and every row in any case.
TEST_F(RobustDib, BitFieldMasks)
{
    auto pixels16 = Rows(8, 4, 16, [](int x, int y) { return uint32_t(0xF800 >> (x + y)); });
    CDibShape shape;
    shape.nBitCount = 16;
    shape.nCompression = BI_BITFIELDS;
    shape.nTableEntries = 0;
    shape.masks = {0xF800, 0x07E0, 0x001F};
    shape.pixels = pixels16;
    Check("16-bit 5-6-5 masks", FileBytes(shape), Loads(kNoPalette, 4));

    shape.masks = {0, 0, 0};
    Check("zero masks", FileBytes(shape), Loads(kNoPalette, kAsTheSystemDraws));
    shape.masks = {0xFFFF, 0xFFFF, 0xFFFF};
    Check("masks that all overlap", FileBytes(shape), Loads(kNoPalette, kAsTheSystemDraws));
    shape.masks = {0xFFC0, 0x0FF0, 0x003F};
    Check("masks that partly overlap", FileBytes(shape), Loads(kNoPalette, kAsTheSystemDraws));

    CDibShape spec32 = shape;
    spec32.nBitCount = 32;
    spec32.masks = {0xFFFFFFFF, 0xFFFFFFFF, 0};
    spec32.pixels = Rows(8, 4, 32, [](int x, int y) { return uint32_t(x * 0x010203 + y); });
    Check("32-bit overlapping masks", FileBytes(spec32), Loads(kNoPalette, kAsTheSystemDraws));

    // The block must hold 40 + 12 + 4 rows of 16 bytes: the file's length
    // exactly, and one byte less.
    shape.masks = {0xF800, 0x07E0, 0x001F};
    std::vector<uint8_t> exact = FileBytes(shape);
    exact.resize(40 + 12 + 64);
    Check("masks and rows exactly in the block", exact, Loads(kNoPalette, 4));
    exact.pop_back();
    Check("masks and rows one byte short", exact, kRefused);
    ExpectDrawDibRefuses(BlockOf(exact), "masks and rows one byte short");
}

// Planes and bit counts the launcher does not read itself: only 1, 4 and 8
// bits have a palette, and the system may refuse to draw the rest.
TEST_F(RobustDib, PlanesAndBitCounts)
{
    CDibShape planes = Sound8Bit();
    planes.nPlanes = 0;
    Check("planes 0", FileBytes(planes), Loads(256, kAsTheSystemDraws));

    for (unsigned nBits : {0u, 2u, 3u, 64u}) {
        CDibShape shape = Sound8Bit();
        shape.nBitCount = uint16_t(nBits);
        // As many colours as the system would look for, and every row.
        shape.nTableEntries = nBits <= 8 ? 1u << nBits : 0;
        shape.pixels.assign(size_t(Stride(8, nBits) * 4), 0x3C);
        Check(std::to_string(nBits) + " bits", FileBytes(shape),
              Loads(kNoPalette, kAsTheSystemDraws));
    }

    for (unsigned nBits : {1u, 4u}) {
        CDibShape shape = Sound8Bit();
        shape.nBitCount = uint16_t(nBits);
        shape.nTableEntries = 1u << nBits;
        shape.pixels = Rows(8, 4, nBits, Pattern);
        const std::vector<uint8_t> file = FileBytes(shape);
        Check(std::to_string(nBits) + " bits", file, Loads(1 << nBits, 4),
              IndexedPicture(BlockOf(file), 40, 4, 40 + (4u << nBits), 8, 4, nBits));
    }
    for (unsigned nBits : {16u, 24u, 32u}) {
        CDibShape shape = Sound8Bit();
        shape.nBitCount = uint16_t(nBits);
        shape.nTableEntries = 0;
        shape.pixels = Rows(8, 4, nBits, [](int x, int y) { return uint32_t(x * 0x1F0 + y); });
        Check(std::to_string(nBits) + " bits", FileBytes(shape), Loads(kNoPalette, 4));
    }
}

// The palette of an accepted image is its colour table, entry by entry, red,
// green and blue from the table's blue, green, red; its reserved byte unread.
TEST_F(RobustDib, ThePaletteIsTheTableInItsOrder)
{
    Prime();
    DibHandle hImage = Load(FileBytes(Sound8Bit()));
    ASSERT_NE(hImage, nullptr);
    ASSERT_EQ(PaletteInForce(), 256);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(s_pFrame->m_pPalette->m_hObject, 0, 256, entries), 256u);
    for (unsigned i = 0; i < 256; ++i) {
        const COLORREF colour = TableColour(i);
        EXPECT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue), colour)
            << "entry " << i;
        EXPECT_EQ(entries[i].peFlags, 0) << "entry " << i;
    }
    GlobalFree(hImage);

    // A file that is not a bitmap at all leaves no palette, as a cut one does.
    std::vector<uint8_t> notBitmap = FileBytes(Sound8Bit());
    notBitmap[1] = 'A';
    Check("not \"BM\"", notBitmap, kRefused);
}

}  // namespace
