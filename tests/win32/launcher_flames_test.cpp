// The flame animation and the idle loop that drives it. The animation's
// millisecond clock is replaced where the launcher keeps it, so each test
// says what time it is, across the clock's wrap as well.
#include "tests/win32/launcher_fixture.h"

#include "framework/sysdll.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

// The time every reader of the clock sees; each read moves it on by the step,
// so a second read shows.
DWORD g_dwNow;
DWORD g_dwStep;

DWORD WINAPI FakeTimeGetTime()
{
    const DWORD dwNow = g_dwNow;
    g_dwNow += g_dwStep;
    return dwNow;
}

class CFakeClock {
public:
    explicit CFakeClock(DWORD dwNow)
        : m_patch(&g_pfnTimeGetTime, &FakeTimeGetTime)
    {
        g_dwNow = dwNow;
        g_dwStep = 0;
    }
    bool Installed() const { return m_patch.Installed(); }

private:
    CImportPatch m_patch;
};

const COLORREF kSentinel = RGB(1, 254, 3);

COLORREF BigFrame(int nFrame)
{
    char szName[32];
    std::snprintf(szName, sizeof szName, "fire%02d.bmp", nFrame + 1);
    return DiscImage(szName).colour;
}

COLORREF SmallFrame(int nFrame)
{
    char szName[32];
    std::snprintf(szName, sizeof szName, "fire2_%02d.bmp", nFrame + 1);
    return DiscImage(szName).colour;
}

std::string Name(COLORREF colour)
{
    for (const CDiscImage& image : DiscImageSet()) {
        if (image.colour == colour)
            return image.name;
    }
    return ColorText(colour);
}

// Both flame rectangles, corner to corner, show the colours.
void ExpectFlames(HWND hWnd, COLORREF big, COLORREF small)
{
    const CClientPixels pixels(hWnd);
    for (auto point : {POINT{339, 62}, POINT{388, 62}, POINT{339, 197}, POINT{388, 197}})
        EXPECT_EQ(Name(pixels.At(point.x, point.y)), Name(big))
            << "big flame at (" << point.x << ", " << point.y << ")";
    for (auto point : {POINT{115, 159}, POINT{139, 159}, POINT{115, 208}, POINT{139, 208}})
        EXPECT_EQ(Name(pixels.At(point.x, point.y)), Name(small))
            << "small flame at (" << point.x << ", " << point.y << ")";
}

class LauncherFlames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLauncherGlobals();
        WriteDiscImageSet(m_disc);
    }
    void TearDown() override { ResetLauncherGlobals(); }

    CLauncherKeys m_keys;
    CDiscFolder m_disc;
};

TEST_F(LauncherFlames, AnAdvanceNeedsMoreThan66Milliseconds)
{
    CLauncherWindow window;
    CFakeClock clock(100000);
    ASSERT_TRUE(clock.Installed());

    g_dwLastFlameTick = 100000 - 66;
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 0) << "66 ms are not enough";
    EXPECT_EQ(g_dwLastFlameTick, 100000u - 66);

    g_dwNow = 100001;
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 1) << "67 ms are";
    EXPECT_EQ(g_dwLastFlameTick, 100001u);
    ExpectFlames(window.Hwnd(), BigFrame(1), SmallFrame(1));

    // The next advance counts from when this one happened.
    g_dwNow = 100001 + 66;
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 1);

    // Long overdue is still one frame, and the time kept is the one read
    // before drawing, however long the drawing took.
    g_dwNow = 200000;
    g_dwStep = 5;
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 2) << "no frame is made up";
    EXPECT_EQ(g_dwLastFlameTick, 200000u);
    ExpectFlames(window.Hwnd(), BigFrame(2), SmallFrame(2));
}

TEST_F(LauncherFlames, SixteenFramesMakeACycle)
{
    CLauncherWindow window;
    CFakeClock clock(5000);
    ASSERT_TRUE(clock.Installed());
    g_dwLastFlameTick = 5000;
    for (int nAdvance = 1; nAdvance <= 17; ++nAdvance) {
        g_dwNow += 67;
        FlameTick();
        const int nExpected = nAdvance % 16;
        ASSERT_EQ(g_nFlameFrame, nExpected) << "advance " << nAdvance;
        if (nExpected <= 1 || nExpected == 15) {
            SCOPED_TRACE("frame " + std::to_string(nExpected));
            ExpectFlames(window.Hwnd(), BigFrame(nExpected), SmallFrame(nExpected));
        }
    }
}

// Frames beyond the cycle are loaded and drawable; beyond the thirty loaded
// ones nothing is drawn.
TEST_F(LauncherFlames, DrawingTakesAnyLoadedFrameAndNothingElse)
{
    CLauncherWindow window;
    g_nFlameFrame = 29;
    window->DrawFlameFrame();
    ExpectFlames(window.Hwnd(), BigFrame(29), SmallFrame(29));

    for (int nFrame : {30, -1}) {
        SCOPED_TRACE("frame " + std::to_string(nFrame));
        FillClient(window.Hwnd(), RECT{0, 0, 644, 456}, kSentinel);
        g_nFlameFrame = nFrame;
        window->DrawFlameFrame();
        ExpectFlames(window.Hwnd(), kSentinel, kSentinel);
    }
}

// A frame whose file is missing draws nothing: that flame keeps its previous
// frame for one interval while the other moves on.
TEST_F(LauncherFlames, AMissingFrameKeepsThePreviousOne)
{
    m_disc.Remove("bitmaps\\fire05.bmp");
    CLauncherWindow window;
    ASSERT_EQ(window->m_hBigFlame[4], nullptr);
    CFakeClock clock(1000);
    ASSERT_TRUE(clock.Installed());
    g_nFlameFrame = 2;
    g_dwLastFlameTick = 1000;

    g_dwNow = 1100;
    FlameTick();
    ASSERT_EQ(g_nFlameFrame, 3);
    ExpectFlames(window.Hwnd(), BigFrame(3), SmallFrame(3));
    g_dwNow = 1200;
    FlameTick();
    ASSERT_EQ(g_nFlameFrame, 4);
    ExpectFlames(window.Hwnd(), BigFrame(3), SmallFrame(4));
    g_dwNow = 1300;
    FlameTick();
    ASSERT_EQ(g_nFlameFrame, 5);
    ExpectFlames(window.Hwnd(), BigFrame(5), SmallFrame(5));
}

// The clock returns to 0 after 2^32 ms; the time since the last advance is
// taken across that return as if nothing had happened.
TEST_F(LauncherFlames, TheRhythmHoldsAcrossTheClocksWrap)
{
    CLauncherWindow window;
    CFakeClock clock(0x10);
    ASSERT_TRUE(clock.Installed());
    g_dwLastFlameTick = 0xFFFFFFF0;  // 32 ms before now
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 0);

    g_dwNow = 0x40;  // 80 ms after the last advance
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 1);
    EXPECT_EQ(g_dwLastFlameTick, 0x40u);

    // The boundary itself across the wrap: 66 ms are not enough, 67 are.
    g_dwLastFlameTick = 0xFFFFFFDE;
    g_dwNow = 0x20;
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 1);
    g_dwNow = 0x21;
    FlameTick();
    EXPECT_EQ(g_nFlameFrame, 2);
    EXPECT_EQ(g_dwLastFlameTick, 0x21u);
}

// An advance begins painting: a pending area without an erase is made valid
// with only the flames drawn; with an erase pending the whole picture comes
// first and the flames go over it.
TEST_F(LauncherFlames, AnAdvanceValidatesTheWindow)
{
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();
    CFakeClock clock(1000);
    ASSERT_TRUE(clock.Installed());
    g_dwLastFlameTick = 1000;

    FillClient(hWnd, RECT{0, 0, 644, 456}, kSentinel);
    InvalidateRect(hWnd, nullptr, FALSE);
    g_dwNow = 1100;
    FlameTick();
    EXPECT_FALSE(GetUpdateRect(hWnd, nullptr, FALSE));
    ExpectFlames(hWnd, BigFrame(1), SmallFrame(1));
    EXPECT_EQ(CClientPixels(hWnd).At(450, 300), kSentinel) << "repainted without an erase";

    FillClient(hWnd, RECT{0, 0, 644, 456}, kSentinel);
    InvalidateRect(hWnd, nullptr, TRUE);
    g_dwNow = 1200;
    FlameTick();
    EXPECT_FALSE(GetUpdateRect(hWnd, nullptr, FALSE));
    ExpectFlames(hWnd, BigFrame(2), SmallFrame(2));
    const CClientPixels pixels(hWnd);
    EXPECT_EQ(Name(pixels.At(450, 300)), Name(DiscImage("8bg1.bmp").colour));
    EXPECT_EQ(Name(pixels.At(338, 100)), Name(DiscImage("8b6u.bmp").colour));
}

// The idle loop sleeps until the first reading at which the tick advances;
// with no frame of the cycle to show, it waits for input alone.
TEST_F(LauncherFlames, TheLoopSleepsUntilTheNextAdvance)
{
    {
        CLauncherWindow window;
        CFakeClock clock(0x20);
        ASSERT_TRUE(clock.Installed());
        g_dwLastFlameTick = 0xFFFFFFDE;  // 66 ms before now, across the wrap
        EXPECT_EQ(theApp.GetIdleWait(), 1u);
        g_dwNow = 0x21;
        EXPECT_EQ(theApp.GetIdleWait(), 0u);
        theApp.OnIdle(0);
        EXPECT_EQ(theApp.GetIdleWait(), 67u);
    }
    for (int nFrame = 1; nFrame <= 16; ++nFrame) {
        char szName[32];
        for (const char* pszFormat : {"bitmaps\\fire%02d.bmp", "bitmaps\\fire2_%02d.bmp"}) {
            std::snprintf(szName, sizeof szName, pszFormat, nFrame);
            m_disc.Remove(szName);
        }
    }
    CLauncherWindow window;
    EXPECT_EQ(theApp.GetIdleWait(), INFINITE);
}

// ---------------------------------------------------------------------------

// Which messages reach the launcher window, with the flame frame at the time.
struct CSeenClose {
    int nCount;
    int nFrameThen;
};
CSeenClose g_close;
HWND g_hWatched;

LRESULT CALLBACK WatchClose(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto* pMessage = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMessage->hwnd == g_hWatched && pMessage->message == WM_CLOSE) {
        ++g_close.nCount;
        g_close.nFrameThen = g_nFlameFrame;
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// Every idle moment gives the flames their tick first, then carries out a
// close request on the application's main window, and always asks for more.
TEST_F(LauncherFlames, TheIdleLoopTicksThenClosesOnRequest)
{
    CLauncherWindow window;
    CFakeClock clock(50000);
    ASSERT_TRUE(clock.Installed());
    g_hWatched = window.Hwnd();
    g_close = CSeenClose{0, -1};
    HHOOK hHook = SetWindowsHookExA(WH_CALLWNDPROC, WatchClose, nullptr, GetCurrentThreadId());
    ASSERT_NE(hHook, nullptr);

    g_dwLastFlameTick = 50000 - 100;
    EXPECT_TRUE(theApp.OnIdle(0));
    EXPECT_EQ(g_nFlameFrame, 1);
    EXPECT_TRUE(theApp.OnIdle(1)) << "asked again even with nothing to do";
    EXPECT_EQ(g_nFlameFrame, 1);
    EXPECT_TRUE(window.Alive());
    EXPECT_EQ(g_close.nCount, 0);

    // Without a main window there is nobody to close.
    g_bCloseRequested = true;
    theApp.m_pMainWnd = nullptr;
    EXPECT_TRUE(theApp.OnIdle(2));
    EXPECT_TRUE(window.Alive());
    EXPECT_EQ(g_close.nCount, 0);

    theApp.m_pMainWnd = window.Frame();
    g_dwNow += 100;
    EXPECT_TRUE(theApp.OnIdle(3));
    UnhookWindowsHookEx(hHook);
    EXPECT_EQ(g_close.nCount, 1);
    EXPECT_EQ(g_close.nFrameThen, 2) << "the close came before the flame tick";
    EXPECT_FALSE(window.Alive()) << "WM_CLOSE did not destroy the window";
    EXPECT_EQ(g_pMainFrame, nullptr);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);

    // The tick goes on without a window, as in a second copy's last moment.
    g_dwNow += 100;
    EXPECT_TRUE(theApp.OnIdle(0));
    EXPECT_EQ(g_nFlameFrame, 3);
}

}  // namespace
