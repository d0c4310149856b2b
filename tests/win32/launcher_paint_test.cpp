// Drawing images and painting the launcher's picture, read back as pixels:
// every file of the test disc has a colour of its own, so each pixel tells
// which element was drawn there last.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// A 32-bit device-independent canvas with a memory device context on it.
class CCanvas {
public:
    CCanvas(int nWidth, int nHeight, COLORREF fill) : m_nWidth(nWidth), m_nHeight(nHeight)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = nWidth;
        bmi.bmiHeader.biHeight = -nHeight;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        m_hDC = CreateCompatibleDC(nullptr);
        m_hBitmap = CreateDIBSection(m_hDC, &bmi, DIB_RGB_COLORS,
                                     reinterpret_cast<void**>(&m_pBits), nullptr, 0);
        m_hOld = SelectObject(m_hDC, m_hBitmap);
        Fill(fill);
    }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;
    ~CCanvas()
    {
        SelectObject(m_hDC, m_hOld);
        DeleteObject(m_hBitmap);
        DeleteDC(m_hDC);
    }
    HDC Dc() const { return m_hDC; }
    void Fill(COLORREF colour)
    {
        for (int n = 0; n < m_nWidth * m_nHeight; ++n)
            m_pBits[n] = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const uint32_t v = m_pBits[y * m_nWidth + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    bool AllAre(COLORREF colour) const
    {
        for (int y = 0; y < m_nHeight; ++y) {
            for (int x = 0; x < m_nWidth; ++x) {
                if (At(x, y) != colour)
                    return false;
            }
        }
        return true;
    }

private:
    int m_nWidth, m_nHeight;
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    uint32_t* m_pBits = nullptr;
};

class CDib {
public:
    explicit CDib(const CTestBitmap& bitmap) : m_hDib(DibBlockFromFile(BitmapFileBytes(bitmap))) {}
    explicit CDib(HGLOBAL hDib) : m_hDib(hDib) {}
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;
    ~CDib() { GlobalFree(m_hDib); }
    operator DibHandle() const { return m_hDib; }

private:
    HGLOBAL m_hDib;
};

const COLORREF kSentinel = RGB(1, 254, 3);

// Entry i of a table of 256 distinct colours.
COLORREF Distinct(int i) { return RGB(i, 255 - i, (i * 7) & 0xFF); }

// 16 x 16 pixels, every one in a colour of its own: index y * 16 + x.
CTestBitmap Numbered()
{
    CTestBitmap bitmap;
    bitmap.nWidth = bitmap.nHeight = 16;
    for (int i = 0; i < 256; ++i)
        bitmap.colors.push_back(TestColor(Distinct(i)));
    bitmap.pixel = [](int x, int y) { return uint32_t(y * 16 + x); };
    return bitmap;
}

CPalette* NewPalette(COLORREF colour)
{
    auto* pPalette = new CPalette;
    struct {
        LOGPALETTE header;
        PALETTEENTRY more[1];
    } log = {};
    log.header.palVersion = 0x300;
    log.header.palNumEntries = 2;
    log.header.palPalEntry[0] = PALETTEENTRY{GetRValue(colour), GetGValue(colour),
                                             GetBValue(colour), 0};
    log.more[0] = PALETTEENTRY{0, 0, 0, 0};
    pPalette->CreatePalette(&log.header);
    return pPalette;
}

TEST(LauncherDrawDib, ANullImageLeavesTheDeviceContextAlone)
{
    CCanvas canvas(32, 32, kSentinel);
    std::unique_ptr<CPalette> pSelected(NewPalette(RGB(10, 10, 10)));
    std::unique_ptr<CPalette> pLauncher(NewPalette(RGB(20, 20, 20)));
    SelectPalette(canvas.Dc(), *pSelected, FALSE);
    SetStretchBltMode(canvas.Dc(), HALFTONE);

    EXPECT_EQ(DrawDib(canvas.Dc(), RECT{0, 0, 16, 16}, nullptr, RECT{0, 0, 16, 16},
                      pLauncher.get()),
              0);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PAL), HGDIOBJ(HPALETTE(*pSelected)));
    EXPECT_EQ(GetStretchBltMode(canvas.Dc()), HALFTONE);
    EXPECT_TRUE(canvas.AllAre(kSentinel));
    SelectPalette(canvas.Dc(), HPALETTE(GetStockObject(DEFAULT_PALETTE)), FALSE);
}

// The source rectangle's left and bottom edges pick the pixels: rows count
// from the bottom of the image, so a bottom of h - 10 starts at row 10.
TEST(LauncherDrawDib, CopiesFromTheSourceRectangleCountedFromTheBottom)
{
    const CTestBitmap numbered = Numbered();
    CDib dib(numbered);
    CCanvas canvas(40, 40, kSentinel);
    std::unique_ptr<CPalette> pSelected(NewPalette(RGB(10, 10, 10)));
    std::unique_ptr<CPalette> pLauncher(NewPalette(RGB(20, 20, 20)));
    SelectPalette(canvas.Dc(), *pSelected, FALSE);
    SetStretchBltMode(canvas.Dc(), HALFTONE);

    // The whole image, 1:1.
    EXPECT_EQ(DrawDib(canvas.Dc(), RECT{2, 3, 18, 19}, dib, RECT{0, 0, 16, 16}, pLauncher.get()),
              16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(canvas.At(2 + x, 3 + y), Distinct(y * 16 + x)) << x << "," << y;
    }
    EXPECT_EQ(canvas.At(1, 3), kSentinel);
    EXPECT_EQ(canvas.At(18, 19), kSentinel);
    // The palette it drew through is taken out again, the mode stays.
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PAL), HGDIOBJ(HPALETTE(*pSelected)));
    EXPECT_EQ(GetStretchBltMode(canvas.Dc()), COLORONCOLOR);

    // Source left 3, bottom 12 = h - 4: an 8 x 8 area whose lower-left corner
    // is at column 3, row 4 from the bottom; the source's top and right are
    // not used, the destination gives the size.
    canvas.Fill(kSentinel);
    DrawDib(canvas.Dc(), RECT{20, 20, 28, 28}, dib, RECT{3, 999, -5, 12}, pLauncher.get());
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(canvas.At(20 + x, 20 + y), Distinct((4 + y) * 16 + 3 + x)) << x << "," << y;
    }

    // Bottom at h - 10 copies from row 10 of the DIB up: the picture's top six rows.
    canvas.Fill(kSentinel);
    DrawDib(canvas.Dc(), RECT{0, 0, 16, 6}, dib, RECT{0, 0, 16, 6}, nullptr);
    for (int y = 0; y < 6; ++y)
        ASSERT_EQ(canvas.At(5, y), Distinct(y * 16 + 5)) << y;
    EXPECT_EQ(canvas.At(5, 6), kSentinel);
    // No palette of its own: the one selected stays selected.
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PAL), HGDIOBJ(HPALETTE(*pSelected)));
    SelectPalette(canvas.Dc(), HPALETTE(GetStockObject(DEFAULT_PALETTE)), FALSE);
}

// Each header layout and pixel format draws its own pixels; the pixels of a
// bit-field image lie behind its three masks.
TEST(LauncherDrawDib, EveryLayoutDrawsItsOwnPixels)
{
    const CTestBitmap numbered = Numbered();
    for (uint32_t cbHeader : {40u, 52u, 56u, 108u, 124u}) {
        SCOPED_TRACE("8 bits, header of " + std::to_string(cbHeader));
        CTestBitmap bitmap = numbered;
        bitmap.cbHeader = cbHeader;
        CDib dib(bitmap);
        CCanvas canvas(16, 16, kSentinel);
        EXPECT_EQ(DrawDib(canvas.Dc(), RECT{0, 0, 16, 16}, dib, RECT{0, 0, 16, 16}, nullptr), 16);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(canvas.At(x, y), Distinct(y * 16 + x)) << x << "," << y;
        }
    }
    {
        SCOPED_TRACE("4 bits, core header");
        CTestBitmap core = numbered;
        core.cbHeader = 12;
        core.nBitCount = 4;
        core.colors.resize(16);
        core.pixel = [](int x, int y) { return uint32_t((x + 3 * y) % 16); };
        CDib dib(core);
        CCanvas canvas(16, 16, kSentinel);
        DrawDib(canvas.Dc(), RECT{0, 0, 16, 16}, dib, RECT{0, 0, 16, 16}, nullptr);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(canvas.At(x, y), Distinct((x + 3 * y) % 16)) << x << "," << y;
        }
    }
    {
        SCOPED_TRACE("16 bits with bit fields behind a 40-byte header");
        CTestBitmap fields;
        fields.nWidth = 9;
        fields.nHeight = 5;
        fields.nBitCount = 16;
        fields.nCompression = BI_BITFIELDS;
        fields.pixel = [](int x, int y) {
            return uint32_t((x & 1 ? 0xF800 : 0) | (y & 1 ? 0x07E0 : 0) | ((x + y) & 2 ? 0x1F : 0));
        };
        CDib dib(fields);
        CCanvas canvas(9, 5, kSentinel);
        EXPECT_EQ(DrawDib(canvas.Dc(), RECT{0, 0, 9, 5}, dib, RECT{0, 0, 9, 5}, nullptr), 5);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 9; ++x) {
                const COLORREF expected =
                    RGB(x & 1 ? 255 : 0, y & 1 ? 255 : 0, (x + y) & 2 ? 255 : 0);
                ASSERT_EQ(canvas.At(x, y), expected) << x << "," << y;
            }
        }
    }
    {
        SCOPED_TRACE("24 bits");
        CTestBitmap rgb;
        rgb.nWidth = 7;
        rgb.nHeight = 3;
        rgb.nBitCount = 24;
        rgb.pixel = [](int x, int y) { return uint32_t((x * 30) << 16 | (y * 80) << 8 | 0x55); };
        CDib dib(rgb);
        CCanvas canvas(7, 3, kSentinel);
        DrawDib(canvas.Dc(), RECT{0, 0, 7, 3}, dib, RECT{0, 0, 7, 3}, nullptr);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(canvas.At(x, y), RGB(x * 30, y * 80, 0x55)) << x << "," << y;
        }
    }
}

// An image whose rows run past its block is not drawn: the system would read
// beyond it.
TEST(LauncherDrawDib, AnImageLongerThanItsBlockIsNotDrawn)
{
    CTestBitmap big = SolidBitmap(100, 100, RGB(200, 0, 0));
    std::vector<uint8_t> file = BitmapFileBytes(big);
    file.resize(14 + 40 + 1024 + 50);
    CDib dib(DibBlockFromFile(file));
    CCanvas canvas(100, 100, kSentinel);
    std::unique_ptr<CPalette> pSelected(NewPalette(RGB(10, 10, 10)));
    std::unique_ptr<CPalette> pLauncher(NewPalette(RGB(20, 20, 20)));
    SelectPalette(canvas.Dc(), *pSelected, FALSE);
    EXPECT_EQ(DrawDib(canvas.Dc(), RECT{0, 0, 100, 100}, dib, RECT{0, 0, 100, 100},
                      pLauncher.get()),
              0);
    EXPECT_TRUE(canvas.AllAre(kSentinel));
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PAL), HGDIOBJ(HPALETTE(*pSelected)));
    SelectPalette(canvas.Dc(), HPALETTE(GetStockObject(DEFAULT_PALETTE)), FALSE);
}

// ---------------------------------------------------------------------------

struct CPlace {
    int x, y, nWidth, nHeight;
};
const CPlace kButtonPlace[13] = {
    {},
    {20, 237, 124, 56},  {500, 237, 124, 56}, {},  {20, 306, 124, 56},
    {},                  {21, 17, 320, 130},  {384, 367, 114, 68},
    {20, 237, 124, 56},  {500, 306, 124, 56}, {20, 376, 124, 56},
    {150, 347, 114, 87}, {263, 347, 115, 94},
};
// Button 11 without column 263, which button 12 paints over.
const CPlace kButton11LeftOf12 = {150, 347, 113, 87};
const CPlace kBigFlame = {339, 62, 50, 136};
const CPlace kSmallFlame = {115, 159, 25, 50};

COLORREF Background() { return DiscImage("8bg1.bmp").colour; }
COLORREF Up(int nButton) { return ButtonDiscImage(nButton, kPictureUp).colour; }
COLORREF Focus(int nButton) { return ButtonDiscImage(nButton, kPictureFocus).colour; }

std::string ColourName(COLORREF colour)
{
    for (const CDiscImage& image : DiscImageSet()) {
        if (image.colour == colour)
            return image.name;
    }
    return ColorText(colour);
}

// The four corners and the middle of a place show the colour.
void ExpectPlace(const CClientPixels& pixels, const CPlace& place, COLORREF colour,
                 const std::string& what)
{
    const int x0 = place.x;
    const int x1 = place.x + place.nWidth - 1;
    const int y1 = place.y + place.nHeight - 1;
    const int points[][2] = {{x0, place.y}, {x1, place.y}, {x0, y1}, {x1, y1},
                             {place.x + place.nWidth / 2, place.y + place.nHeight / 2}};
    for (const auto& point : points) {
        EXPECT_EQ(ColourName(pixels.At(point[0], point[1])), ColourName(colour))
            << what << " at (" << point[0] << ", " << point[1] << ")";
    }
}

// The whole picture with every shown button in its up picture, the flames
// covered by the background.
void ExpectPicture(HWND hWnd, bool bInstalled)
{
    const CClientPixels pixels(hWnd);
    for (auto point : {POINT{0, 0}, POINT{639, 0}, POINT{0, 451}, POINT{639, 451},
                       POINT{450, 200}, POINT{10, 236}})
        EXPECT_EQ(ColourName(pixels.At(point.x, point.y)), ColourName(Background()))
            << "background at (" << point.x << ", " << point.y << ")";
    if (bInstalled) {
        ExpectPlace(pixels, kButtonPlace[8], Up(8), "play");
        ExpectPlace(pixels, kButtonPlace[10], Up(10), "uninstall");
    } else {
        ExpectPlace(pixels, kButtonPlace[1], Up(1), "install");
        ExpectPlace(pixels, kButtonPlace[10], Background(), "the uninstall place");
    }
    for (int nButton : {2, 4, 6, 7, 9, 12})
        ExpectPlace(pixels, kButtonPlace[nButton], Up(nButton), "button " + std::to_string(nButton));
    ExpectPlace(pixels, kButton11LeftOf12, Up(11), "button 11");
    // The shared column belongs to button 12, drawn after 11.
    for (int y = 347; y <= 433; ++y)
        ASSERT_EQ(ColourName(pixels.At(263, y)), ColourName(Up(12))) << "column 263, row " << y;
    EXPECT_EQ(ColourName(pixels.At(262, 400)), ColourName(Up(11)));
    // The flames went under the background and the logo.
    for (int y = 62; y <= 146; ++y) {
        ASSERT_EQ(ColourName(pixels.At(339, y)), ColourName(Up(6))) << "row " << y;
        ASSERT_EQ(ColourName(pixels.At(340, y)), ColourName(Up(6))) << "row " << y;
    }
    ExpectPlace(pixels, CPlace{341, 147, 48, 51}, Background(), "big flame below the logo");
    ExpectPlace(pixels, kSmallFlame, Background(), "small flame");
}

class LauncherPaint : public ::testing::Test {
protected:
    void SetUp() override { ResetLauncherGlobals(); }
    void TearDown() override { ResetLauncherGlobals(); }

    CLauncherKeys m_keys;
};

TEST_F(LauncherPaint, TheFirstPaintShowsTheInstallPicture)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    CLauncherWindow window;
    ExpectPicture(window.Hwnd(), false);

    // Any paint redraws the whole picture, with an erase or without.
    FillClient(window.Hwnd(), RECT{0, 0, 644, 456}, kSentinel);
    Repaint(window.Hwnd(), false);
    ExpectPicture(window.Hwnd(), false);
    FillClient(window.Hwnd(), RECT{0, 0, 644, 456}, kSentinel);
    Repaint(window.Hwnd(), true);
    ExpectPicture(window.Hwnd(), false);
    EXPECT_FALSE(GetUpdateRect(window.Hwnd(), nullptr, FALSE)) << "the window stays invalid";
}

TEST_F(LauncherPaint, AnInstalledGameShowsPlayAndUninstall)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    m_keys.Install(disc.Path(), "uninstall.exe");
    CLauncherWindow window;
    ASSERT_EQ(g_bInstalled, 1);
    ExpectPicture(window.Hwnd(), true);
}

// The highlighted button is drawn last, in its focus picture, over whatever
// lies there, and the id alone decides, even for a button not on offer.
TEST_F(LauncherPaint, TheHighlightedButtonIsDrawnLastInItsFocusPicture)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    m_keys.Install(disc.Path(), "uninstall.exe");
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();

    window->m_nHighlighted = 9;
    Repaint(hWnd, true);
    {
        const CClientPixels pixels(hWnd);
        ExpectPlace(pixels, kButtonPlace[9], Focus(9), "exit highlighted");
        for (int nButton : {2, 4, 6, 7, 8, 10, 12})
            ExpectPlace(pixels, kButtonPlace[nButton], Up(nButton),
                        "button " + std::to_string(nButton));
        ExpectPlace(pixels, kButton11LeftOf12, Up(11), "button 11");
    }

    // Highlighted, button 11 takes the shared column from button 12.
    window->m_nHighlighted = 11;
    Repaint(hWnd, false);
    {
        const CClientPixels pixels(hWnd);
        for (int y = 347; y <= 433; ++y)
            ASSERT_EQ(ColourName(pixels.At(263, y)), ColourName(Focus(11))) << "row " << y;
        EXPECT_EQ(ColourName(pixels.At(263, 434)), ColourName(Up(12)));
        EXPECT_EQ(ColourName(pixels.At(264, 400)), ColourName(Up(12)));
        ExpectPlace(pixels, kButtonPlace[9], Up(9), "exit no longer highlighted");
    }

    // A press on the highlighted button is never painted: focus, not down.
    window->m_nHighlighted = 4;
    window->m_nPressed = 4;
    Repaint(hWnd, true);
    ExpectPlace(CClientPixels(hWnd), kButtonPlace[4], Focus(4), "read-me pressed");

    // Install is not on offer, but its id highlighted draws it.
    window->m_nHighlighted = 1;
    window->m_nPressed = 0;
    Repaint(hWnd, true);
    {
        const CClientPixels pixels(hWnd);
        ExpectPlace(pixels, kButtonPlace[1], Focus(1), "install highlighted");
        ExpectPlace(pixels, kButtonPlace[10], Up(10), "uninstall");
    }
}

// Flames are drawn straight onto the window at an advance, over the logo in
// columns 339 and 340, and go under the picture again at the next paint.
TEST_F(LauncherPaint, FlamesCoverTheLogoUntilTheNextPaint)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();

    g_dwLastFlameTick = g_pfnTimeGetTime() - 500;
    FlameTick();
    ASSERT_EQ(g_nFlameFrame, 1);
    {
        const CClientPixels pixels(hWnd);
        const COLORREF big = DiscImage("fire02.bmp").colour;
        const COLORREF small = DiscImage("fire2_02.bmp").colour;
        for (int y = 62; y <= 197; ++y) {
            ASSERT_EQ(ColourName(pixels.At(339, y)), ColourName(big)) << "row " << y;
            ASSERT_EQ(ColourName(pixels.At(340, y)), ColourName(big)) << "row " << y;
        }
        ExpectPlace(pixels, kBigFlame, big, "big flame");
        ExpectPlace(pixels, kSmallFlame, small, "small flame");
        EXPECT_EQ(ColourName(pixels.At(338, 100)), ColourName(Up(6)));
        EXPECT_EQ(ColourName(pixels.At(389, 100)), ColourName(Background()));
        EXPECT_EQ(ColourName(pixels.At(114, 180)), ColourName(Background()));
    }
    Repaint(hWnd, true);
    ExpectPicture(hWnd, false);
    EXPECT_EQ(g_nFlameFrame, 1) << "painting does not advance the flames";
}

// The four columns right of the picture and the four rows below it belong to
// no element: whatever is there stays, through paints, erases and flames.
TEST_F(LauncherPaint, TheMarginRightAndBelowThePictureIsNeverDrawn)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();
    FillClient(hWnd, RECT{640, 0, 644, 456}, kSentinel);
    FillClient(hWnd, RECT{0, 452, 644, 456}, kSentinel);

    Repaint(hWnd, true);
    Repaint(hWnd, false);
    SendMessageA(hWnd, WM_ERASEBKGND, 0, 0);
    g_dwLastFlameTick = g_pfnTimeGetTime() - 500;
    FlameTick();
    window->m_nHighlighted = 12;
    Repaint(hWnd, true);

    const CClientPixels pixels(hWnd);
    int nDrawn = 0;
    for (int y = 0; y < 456; ++y) {
        for (int x = 0; x < 644; ++x) {
            if ((x >= 640 || y >= 452) && pixels.At(x, y) != kSentinel)
                ++nDrawn;
        }
    }
    EXPECT_EQ(nDrawn, 0) << "pixels drawn outside the picture";
    EXPECT_EQ(ColourName(pixels.At(639, 451)), ColourName(Background()));
}

// Without any image file the window is never drawn on, and every erase still
// counts as done, so the class's brush never fills it either.
TEST_F(LauncherPaint, WithoutImagesPaintsDrawNothing)
{
    CDiscFolder disc;
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();
    EXPECT_EQ(window->m_hBackground, nullptr);
    EXPECT_EQ(window->m_pPalette, nullptr);
    FillClient(hWnd, RECT{0, 0, 644, 456}, kSentinel);

    HDC hDC = GetDC(hWnd);
    EXPECT_NE(SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0), 0);
    ReleaseDC(hWnd, hDC);
    Repaint(hWnd, true);
    Repaint(hWnd, false);
    window->m_nHighlighted = 6;
    g_dwLastFlameTick = g_pfnTimeGetTime() - 500;
    FlameTick();
    Repaint(hWnd, true);

    const CClientPixels pixels(hWnd);
    int nDrawn = 0;
    for (int y = 0; y < 456; ++y) {
        for (int x = 0; x < 644; ++x)
            nDrawn += pixels.At(x, y) != kSentinel;
    }
    EXPECT_EQ(nDrawn, 0);
    EXPECT_FALSE(GetUpdateRect(hWnd, nullptr, FALSE));
}

}  // namespace
