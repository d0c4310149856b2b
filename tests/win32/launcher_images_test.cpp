// Loading bitmap files into the launcher's images, and the shared palette that
// each load leaves behind, on real files and real GDI palettes.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace {

std::vector<PALETTEENTRY> PaletteEntries(HPALETTE hPalette)
{
    WORD nEntries = 0;
    if (GetObjectA(hPalette, sizeof nEntries, &nEntries) != sizeof nEntries)
        return {};
    std::vector<PALETTEENTRY> entries(nEntries);
    if (nEntries != 0)
        GetPaletteEntries(hPalette, 0, nEntries, entries.data());
    return entries;
}

// The palette in force is exactly the first `count` entries of a table.
void ExpectPalette(const CMainFrame* pFrame, const std::vector<CTestColor>& table, size_t count,
                   const char* what)
{
    SCOPED_TRACE(what);
    ASSERT_NE(pFrame->m_pPalette, nullptr) << "no palette in force";
    ASSERT_NE(pFrame->m_pPalette->m_hObject, nullptr);
    const std::vector<PALETTEENTRY> entries = PaletteEntries(pFrame->m_pPalette->m_hObject);
    ASSERT_EQ(entries.size(), count);
    for (size_t i = 0; i < count; ++i) {
        const CTestColor& c = table[i];
        const PALETTEENTRY& e = entries[i];
        ASSERT_TRUE(e.peRed == c.red && e.peGreen == c.green && e.peBlue == c.blue &&
                    e.peFlags == 0)
            << "entry " << i << ": " << int(e.peRed) << "," << int(e.peGreen) << ","
            << int(e.peBlue) << " flags " << int(e.peFlags);
    }
}

// Every handle a load returns belongs to the caller; these go with the test.
class CLoads {
public:
    explicit CLoads(CMainFrame* pFrame) : m_pFrame(pFrame) {}
    CLoads(const CLoads&) = delete;
    CLoads& operator=(const CLoads&) = delete;
    ~CLoads()
    {
        for (DibHandle h : m_handles)
            GlobalFree(h);
    }
    DibHandle operator()(const std::string& path)
    {
        DibHandle h = m_pFrame->LoadBitmapFile(path.c_str());
        if (h != nullptr)
            m_handles.push_back(h);
        return h;
    }

private:
    CMainFrame* m_pFrame;
    std::vector<DibHandle> m_handles;
};

// The block holds the file from offset 14 on, then 14 zero bytes.
void ExpectBlockHoldsFile(DibHandle hImage, const std::vector<uint8_t>& file)
{
    ASSERT_NE(hImage, nullptr);
    ASSERT_EQ(GlobalSize(hImage), file.size());
    const auto* p = static_cast<const uint8_t*>(GlobalLock(hImage));
    ASSERT_NE(p, nullptr);
    std::vector<uint8_t> expected(file.begin() + 14, file.end());
    expected.resize(file.size(), 0);
    EXPECT_EQ(std::memcmp(p, expected.data(), expected.size()), 0);
    GlobalUnlock(hImage);
    // Unlocked again whenever it leaves the loader.
    EXPECT_EQ(GlobalFlags(hImage) & GMEM_LOCKCOUNT, 0u);
}

class LauncherImages : public ::testing::Test {
protected:
    void SetUp() override { ResetLauncherGlobals(); }
    void TearDown() override { ResetLauncherGlobals(); }

    CLauncherKeys m_keys;
};

// The loader's whole table of outcomes, walked as one series of loads on one
// window, each checked against the palette it leaves in force.
TEST_F(LauncherImages, EveryLoadDecidesThePaletteInForce)
{
    CDiscFolder disc;
    CLauncherWindow window;  // no bitmaps at all: nothing loaded yet
    CMainFrame* pFrame = window.Frame();
    EXPECT_EQ(pFrame->m_pPalette, nullptr);
    CLoads load(pFrame);

    CTestBitmap a = SolidBitmap(4, 3, RGB(10, 20, 30));
    a.colors[7] = CTestColor{0x30, 0x20, 0x10, 0xFF};  // stored blue 10, green 20, red 30, 0xFF
    const std::vector<uint8_t> fileA = BitmapFileBytes(a);
    disc.WriteBytes("a.bmp", fileA);

    // An 8-bit image with biClrUsed 0: all 256 entries, in the table's order,
    // red, green and blue taken from their own bytes and the flags zero.
    DibHandle hA = load("a.bmp");
    ExpectBlockHoldsFile(hA, fileA);
    ExpectPalette(pFrame, a.colors, 256, "8-bit image");
    const CPalette* pPaletteA = pFrame->m_pPalette;

    // A missing file leaves the palette of the load before.
    EXPECT_EQ(load("missing.bmp"), nullptr);
    EXPECT_EQ(pFrame->m_pPalette, pPaletteA);
    ExpectPalette(pFrame, a.colors, 256, "after a missing file");

    // Open for writing elsewhere: the file cannot be opened, the palette stays.
    {
        HANDLE hWriter = CreateFileA(disc.File("a.bmp").c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hWriter, INVALID_HANDLE_VALUE);
        EXPECT_EQ(load("a.bmp"), nullptr);
        CloseHandle(hWriter);
        EXPECT_EQ(pFrame->m_pPalette, pPaletteA);
    }
    // Others who only read do not stand in the way.
    {
        HANDLE hReader = CreateFileA(disc.File("a.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hReader, INVALID_HANDLE_VALUE);
        EXPECT_NE(load("a.bmp"), nullptr);
        CloseHandle(hReader);
        ExpectPalette(pFrame, a.colors, 256, "file open for reading elsewhere");
    }

    // biClrUsed 200: exactly the first 200 entries.
    CTestBitmap b = SolidBitmap(2, 2, RGB(200, 100, 50));
    b.colors.resize(200);
    b.nClrUsed = 200;
    disc.WriteBitmap("b.bmp", b);
    EXPECT_NE(load("b.bmp"), nullptr);
    ExpectPalette(pFrame, b.colors, 200, "biClrUsed 200");

    // Files that reach the adopt step without an image leave no palette at
    // all, whatever the load before had left.
    std::vector<uint8_t> notBitmap = fileA;
    notBitmap[0] = 'M';
    notBitmap[1] = 'B';
    disc.WriteBytes("short.bmp", std::vector<uint8_t>(fileA.begin(), fileA.begin() + 13));
    disc.WriteBytes("notbm.bmp", notBitmap);
    disc.WriteBytes("empty.bmp", {});
    for (const char* name : {"short.bmp", "notbm.bmp", "empty.bmp"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(load("a.bmp"), nullptr);
        ASSERT_NE(pFrame->m_pPalette, nullptr);
        EXPECT_EQ(load(name), nullptr);
        EXPECT_EQ(pFrame->m_pPalette, nullptr);
    }

    // "BM" and twelve zero bytes: a 0 x 0 image in a zero-filled 14-byte
    // block, and no palette.
    std::vector<uint8_t> bm14(14, 0);
    bm14[0] = 'B';
    bm14[1] = 'M';
    disc.WriteBytes("bm14.bmp", bm14);
    ASSERT_NE(load("a.bmp"), nullptr);
    DibHandle hEmpty = load("bm14.bmp");
    ASSERT_NE(hEmpty, nullptr);
    ExpectBlockHoldsFile(hEmpty, bm14);
    EXPECT_EQ(pFrame->m_pPalette, nullptr);

    // A 24-bit image loads but has no colours to give.
    CTestBitmap rgb = SolidBitmap(3, 2, RGB(1, 2, 3));
    rgb.nBitCount = 24;
    rgb.colors.clear();
    disc.WriteBitmap("rgb24.bmp", rgb);
    ASSERT_NE(load("a.bmp"), nullptr);
    EXPECT_NE(load("rgb24.bmp"), nullptr);
    EXPECT_EQ(pFrame->m_pPalette, nullptr);

    // Rows stored top row first behind a Windows header are refused.
    disc.WriteBitmap("topdown.bmp", SolidBitmap(4, -3, RGB(9, 9, 9)));
    ASSERT_NE(load("a.bmp"), nullptr);
    EXPECT_EQ(load("topdown.bmp"), nullptr);
    EXPECT_EQ(pFrame->m_pPalette, nullptr);
}

// The headers today's tools write, the core header and an odd size: each is
// read at its own layout, so the palette holds the file's own colours.
TEST_F(LauncherImages, EveryHeaderLayoutGivesItsOwnColours)
{
    CDiscFolder disc;
    CLauncherWindow window;
    CMainFrame* pFrame = window.Frame();
    CLoads load(pFrame);

    for (uint32_t cbHeader : {52u, 56u, 108u, 124u}) {
        SCOPED_TRACE("header of " + std::to_string(cbHeader) + " bytes");
        CTestBitmap bitmap = SolidBitmap(5, 4, RGB(cbHeader, 90, 180));
        bitmap.cbHeader = cbHeader;
        disc.WriteBitmap("later.bmp", bitmap);
        EXPECT_NE(load("later.bmp"), nullptr);
        ExpectPalette(pFrame, bitmap.colors, 256, "later header");
    }

    // The core header: 16 entries of 3 bytes for a 4-bit image.
    CTestBitmap core = SolidBitmap(7, 3, RGB(77, 66, 55));
    core.cbHeader = 12;
    core.nBitCount = 4;
    core.colors.resize(16);
    disc.WriteBitmap("core.bmp", core);
    EXPECT_NE(load("core.bmp"), nullptr);
    ExpectPalette(pFrame, core.colors, 16, "core header");

    // Any other first field is read with the core layout.
    CTestBitmap odd = core;
    odd.cbHeader = 20;
    odd.colors = SolidColorTable(RGB(11, 22, 33));
    odd.colors.resize(16);
    disc.WriteBitmap("odd.bmp", odd);
    EXPECT_NE(load("odd.bmp"), nullptr);
    ExpectPalette(pFrame, odd.colors, 16, "header of 20 bytes");
}

// An image whose rows do not all lie in its block is refused; the block is
// the file's length, so the 14 bytes it has beyond the rows are the margin.
TEST_F(LauncherImages, ImagesShortOfTheirRowsAreRefused)
{
    CDiscFolder disc;
    CLauncherWindow window;
    CMainFrame* pFrame = window.Frame();
    CLoads load(pFrame);
    const CTestBitmap full = SolidBitmap(10, 10, RGB(5, 6, 7));
    disc.WriteBitmap("full.bmp", full);

    CTestBitmap exact = full;
    exact.cbCutOff = 14;  // the last row ends exactly at the end of the block
    disc.WriteBitmap("exact.bmp", exact);
    EXPECT_NE(load("exact.bmp"), nullptr);
    ExpectPalette(pFrame, full.colors, 256, "rows ending at the end of the block");

    CTestBitmap shortByOne = full;
    shortByOne.cbCutOff = 15;
    disc.WriteBitmap("short.bmp", shortByOne);
    EXPECT_EQ(load("short.bmp"), nullptr);
    EXPECT_EQ(pFrame->m_pPalette, nullptr);

    // The colour table alone outgrowing the file is refused the same way.
    CTestBitmap table = full;
    table.nWidth = table.nHeight = 0;
    table.cbCutOff = 14 + 100;
    disc.WriteBitmap("table.bmp", table);
    ASSERT_NE(load("full.bmp"), nullptr);
    EXPECT_EQ(load("table.bmp"), nullptr);
    EXPECT_EQ(pFrame->m_pPalette, nullptr);
}

// A slot's image is known by its own colour, which every file of the set keeps
// at colour-table entry 0.
COLORREF SlotColour(DibHandle hImage)
{
    if (hImage == nullptr)
        return CLR_INVALID;
    const auto* p = static_cast<const uint8_t*>(GlobalLock(hImage));
    const COLORREF colour = RGB(p[40 + 2], p[40 + 1], p[40]);
    GlobalUnlock(hImage);
    return colour;
}

TEST_F(LauncherImages, AFullSetFillsEverySlotAndTheLastLoadGivesThePalette)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    CLauncherWindow window;
    CMainFrame* pFrame = window.Frame();

    EXPECT_EQ(SlotColour(pFrame->m_hBackground), DiscImage("8bg1.bmp").colour);
    char szName[32];
    for (int n = 0; n < 30; ++n) {
        std::snprintf(szName, sizeof szName, "fire%02d.bmp", n + 1);
        EXPECT_EQ(SlotColour(pFrame->m_hBigFlame[n]), DiscImage(szName).colour) << szName;
        std::snprintf(szName, sizeof szName, "fire2_%02d.bmp", n + 1);
        EXPECT_EQ(SlotColour(pFrame->m_hSmallFlame[n]), DiscImage(szName).colour) << szName;
    }
    for (int nButton = 1; nButton <= 12; ++nButton) {
        for (int nPicture = 0; nPicture < 3; ++nPicture) {
            DibHandle hImage = pFrame->m_hButtonImage[nButton][nPicture];
            if (nButton == 3 || nButton == 5) {
                EXPECT_EQ(hImage, nullptr) << "inactive slot " << nButton;
                continue;
            }
            const CDiscImage& image = ButtonDiscImage(nButton, nPicture);
            EXPECT_EQ(SlotColour(hImage), image.colour) << image.name;
        }
    }
    for (int nButton = 1; nButton <= 12; ++nButton)
        EXPECT_EQ(pFrame->m_bDisabled[nButton] != 0, nButton == 3 || nButton == 5) << nButton;

    // The licensor's down picture is loaded last.
    ExpectPalette(pFrame, SolidColorTable(DiscImage("8orlod.bmp").colour), 256, "full set");

    // Destroying the window releases the palette and every image.
    const HPALETTE hPalette = pFrame->m_pPalette->m_hObject;
    std::vector<DibHandle> images = {pFrame->m_hBackground};
    for (int n = 0; n < 30; ++n) {
        images.push_back(pFrame->m_hBigFlame[n]);
        images.push_back(pFrame->m_hSmallFlame[n]);
    }
    for (auto& pictures : pFrame->m_hButtonImage) {
        for (DibHandle h : pictures) {
            if (h != nullptr)
                images.push_back(h);
        }
    }
    ASSERT_EQ(images.size(), 91u);
    ASSERT_EQ(GetObjectType(hPalette), DWORD(OBJ_PAL));
    window.Destroy();
    EXPECT_EQ(g_pMainFrame, nullptr);
    EXPECT_EQ(GetObjectType(hPalette), 0u) << "the palette outlived its window";
    int nAlive = 0;
    for (DibHandle h : images) {
        if (GlobalFlags(h) != GMEM_INVALID_HANDLE)
            ++nAlive;
    }
    EXPECT_EQ(nAlive, 0) << "images outlived their window";
}

// Whichever load last reached the adopt step decides, not the last file.
TEST_F(LauncherImages, TheLastReadFileDecidesThePalette)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    const std::vector<CTestColor> beforeLast = SolidColorTable(DiscImage("8orlof.bmp").colour);

    {
        SCOPED_TRACE("the last file missing");
        disc.Remove("bitmaps\\8orlod.bmp");
        CLauncherWindow window;
        ExpectPalette(window.Frame(), beforeLast, 256, "palette of the focus picture");
        EXPECT_EQ(window->m_hButtonImage[12][kPictureDown], nullptr);
    }
    {
        SCOPED_TRACE("the last file open for writing elsewhere");
        disc.WriteBitmap("bitmaps\\8orlod.bmp",
                         SolidBitmap(115, 94, DiscImage("8orlod.bmp").colour));
        HANDLE hWriter = CreateFileA(disc.File("bitmaps\\8orlod.bmp").c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hWriter, INVALID_HANDLE_VALUE);
        CLauncherWindow window;
        CloseHandle(hWriter);
        ExpectPalette(window.Frame(), beforeLast, 256, "palette of the focus picture");
    }
    {
        SCOPED_TRACE("the last file without a colour table");
        CTestBitmap rgb = SolidBitmap(115, 94, RGB(1, 2, 3));
        rgb.nBitCount = 24;
        rgb.colors.clear();
        disc.WriteBitmap("bitmaps\\8orlod.bmp", rgb);
        CLauncherWindow window;
        EXPECT_NE(window->m_hButtonImage[12][kPictureDown], nullptr);
        EXPECT_EQ(window->m_pPalette, nullptr);
    }
}

// A scratched disc: the drive answers every read that touches one bad
// 2048-byte block of one file with an error, after the file opened. The
// system's calls are watched at the launcher's own imports: which bitmap
// files are open, and which global blocks live.
struct CScratch {
    std::string name;  // in the bitmaps folder
    DWORD dwBadBlock;
};

CScratch g_scratch;
HANDLE g_hScratched;  // while the scratched file is open
int g_nScratchedOpens, g_nScratchedCloses, g_nFailedReads;
std::set<HANDLE> g_openBitmaps;
std::set<HGLOBAL> g_liveBlocks;
CImportPatch* g_pScratchPatches[5];

template <typename Function>
Function Original(int nPatch, Function)
{
    return reinterpret_cast<Function>(g_pScratchPatches[nPatch]->Original());
}

HANDLE WINAPI SpyCreateFileA(LPCSTR pszName, DWORD dwAccess, DWORD dwShare,
                             LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition, DWORD dwFlags,
                             HANDLE hTemplate)
{
    const HANDLE hFile = Original(0, &CreateFileA)(pszName, dwAccess, dwShare, pSecurity,
                                                   dwDisposition, dwFlags, hTemplate);
    if (hFile != INVALID_HANDLE_VALUE && std::strncmp(pszName, "bitmaps\\", 8) == 0) {
        g_openBitmaps.insert(hFile);
        if (lstrcmpiA(pszName + 8, g_scratch.name.c_str()) == 0) {
            g_hScratched = hFile;
            ++g_nScratchedOpens;
        }
    }
    return hFile;
}

BOOL WINAPI ScratchedReadFile(HANDLE hFile, LPVOID pBuffer, DWORD cbWanted, LPDWORD pcbRead,
                              LPOVERLAPPED pOverlapped)
{
    if (hFile == g_hScratched && cbWanted != 0) {
        const DWORD dwAt = SetFilePointer(hFile, 0, nullptr, FILE_CURRENT);
        const DWORD dwBad = g_scratch.dwBadBlock * 2048;
        if (dwAt < dwBad + 2048 && dwBad < dwAt + cbWanted) {
            if (pcbRead != nullptr)
                *pcbRead = 0;
            ++g_nFailedReads;
            SetLastError(ERROR_CRC);  // a CD-ROM drive's answer for an unreadable sector
            return FALSE;
        }
    }
    return Original(1, &ReadFile)(hFile, pBuffer, cbWanted, pcbRead, pOverlapped);
}

BOOL WINAPI SpyCloseHandle(HANDLE hObject)
{
    g_openBitmaps.erase(hObject);
    // The next file opened may be given the same handle.
    if (hObject == g_hScratched) {
        g_hScratched = INVALID_HANDLE_VALUE;
        ++g_nScratchedCloses;
    }
    return Original(2, &CloseHandle)(hObject);
}

HGLOBAL WINAPI SpyGlobalAlloc(UINT uFlags, SIZE_T cbBytes)
{
    const HGLOBAL hBlock = Original(3, &GlobalAlloc)(uFlags, cbBytes);
    if (hBlock != nullptr)
        g_liveBlocks.insert(hBlock);
    return hBlock;
}

HGLOBAL WINAPI SpyGlobalFree(HGLOBAL hBlock)
{
    const HGLOBAL hResult = Original(4, &GlobalFree)(hBlock);
    if (hResult == nullptr)
        g_liveBlocks.erase(hBlock);
    return hResult;
}

class CScratchedDisc {
public:
    explicit CScratchedDisc(const CScratch& scratch)
        : m_patches{{"kernel32.dll", "CreateFileA", reinterpret_cast<void*>(&SpyCreateFileA)},
                    {"kernel32.dll", "ReadFile", reinterpret_cast<void*>(&ScratchedReadFile)},
                    {"kernel32.dll", "CloseHandle", reinterpret_cast<void*>(&SpyCloseHandle)},
                    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&SpyGlobalAlloc)},
                    {"kernel32.dll", "GlobalFree", reinterpret_cast<void*>(&SpyGlobalFree)}}
    {
        g_scratch = scratch;
        g_hScratched = INVALID_HANDLE_VALUE;
        g_nScratchedOpens = g_nScratchedCloses = g_nFailedReads = 0;
        g_openBitmaps.clear();
        g_liveBlocks.clear();
        for (int n = 0; n < 5; ++n)
            g_pScratchPatches[n] = &m_patches[n];
    }
    ~CScratchedDisc() { g_hScratched = INVALID_HANDLE_VALUE; }
    bool Installed() const
    {
        for (const CImportPatch& patch : m_patches) {
            if (!patch.Installed())
                return false;
        }
        return true;
    }

private:
    CImportPatch m_patches[5];
};

// Every loaded image, by its file's name.
std::vector<std::pair<std::string, DibHandle>> LoadedImages(const CMainFrame* pFrame)
{
    std::vector<std::pair<std::string, DibHandle>> images;
    for (int nOrder = 0; nOrder < kImageCount; ++nOrder) {
        const ImageSlot slot = LauncherImageSlot(nOrder);
        DibHandle hImage = pFrame->m_hBackground;
        if (slot.kind == kImageBigFlame)
            hImage = pFrame->m_hBigFlame[slot.index];
        else if (slot.kind == kImageSmallFlame)
            hImage = pFrame->m_hSmallFlame[slot.index];
        else if (slot.kind == kImageButton)
            hImage = pFrame->m_hButtonImage[slot.index][slot.picture];
        images.emplace_back(slot.name, hImage);
    }
    return images;
}

COLORREF Centre(const CClientPixels& pixels, LauncherButton nButton)
{
    const LayoutRect rc = ButtonRect(nButton);
    return pixels.At((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

// A read error in the first, a middle and the last block of the background,
// a flame frame and the logo's picture: that slot stays empty and its file
// closed, every other picture loads and is drawn, the palette is the last
// file's, and the window leaves no block behind.
TEST_F(LauncherImages, AScratchedPictureLeavesOnlyItsOwnSlotEmpty)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    const COLORREF background = DiscImage("8bg1.bmp").colour;
    const COLORREF kSentinel = RGB(1, 254, 3);

    for (const char* pszName : {"8bg1.bmp", "fire05.bmp", "8b6u.bmp"}) {
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        ASSERT_TRUE(GetFileAttributesExA(disc.File(std::string("bitmaps\\") + pszName).c_str(),
                                         GetFileExInfoStandard, &attributes));
        const DWORD nBlocks = (attributes.nFileSizeLow + 2047) / 2048;
        ASSERT_GE(nBlocks, 3u) << pszName;
        for (DWORD dwBlock : {DWORD(0), nBlocks / 2, nBlocks - 1}) {
            SCOPED_TRACE(std::string(pszName) + ", block " + std::to_string(dwBlock) + " of " +
                         std::to_string(nBlocks));
            CScratchedDisc scratched(CScratch{pszName, dwBlock});
            ASSERT_TRUE(scratched.Installed());
            CLauncherWindow window;
            ASSERT_EQ(g_nScratchedOpens, 1);
            EXPECT_EQ(g_nFailedReads, 1);
            EXPECT_EQ(g_nScratchedCloses, 1);
            EXPECT_TRUE(g_openBitmaps.empty()) << g_openBitmaps.size() << " files left open";

            std::set<HGLOBAL> loaded;
            for (const auto& image : LoadedImages(window.Frame())) {
                if (image.first == pszName) {
                    EXPECT_EQ(image.second, nullptr) << "the scratched picture was kept";
                } else {
                    EXPECT_EQ(SlotColour(image.second), DiscImage(image.first).colour) << image.first;
                    loaded.insert(image.second);
                }
            }
            EXPECT_EQ(loaded.size(), 90u);
            EXPECT_EQ(g_liveBlocks, loaded) << "blocks beside the loaded images";
            ExpectPalette(window.Frame(), SolidColorTable(DiscImage("8orlod.bmp").colour), 256,
                          "the last file's");

            FillClient(window.Hwnd(), RECT{0, 0, 644, 456}, kSentinel);
            Repaint(window.Hwnd(), true);
            const CClientPixels pixels(window.Hwnd());
            const bool bNoBackground = std::strcmp(pszName, "8bg1.bmp") == 0;
            for (POINT point : {POINT{0, 0}, POINT{639, 451}, POINT{450, 200}}) {
                EXPECT_EQ(ColorText(pixels.At(point.x, point.y)),
                          ColorText(bNoBackground ? kSentinel : background))
                    << "at " << point.x << ", " << point.y;
            }
            const bool bNoLogo = std::strcmp(pszName, "8b6u.bmp") == 0;
            EXPECT_EQ(ColorText(Centre(pixels, 6)),
                      ColorText(bNoLogo ? background : ButtonDiscImage(6, kPictureUp).colour));
            for (LauncherButton nButton : {1, 2, 4, 7, 9, 11, 12}) {
                EXPECT_EQ(ColorText(Centre(pixels, nButton)),
                          ColorText(ButtonDiscImage(nButton, kPictureUp).colour))
                    << "button " << nButton;
            }

            window.Destroy();
            EXPECT_TRUE(g_liveBlocks.empty()) << g_liveBlocks.size() << " blocks outlived the window";
        }
    }
}

}  // namespace
