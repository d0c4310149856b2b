// The launcher itself with a stopwatch on it: the same window, images, idle
// hook and framework loop as launcher.exe, linked from the same library, plus
// the clocks the benchmarks read. Run it from the disc folder.
//
//   bench_launcher flames N   the time of each of N flame advances, and the
//                             longest gap between two idle calls
//   bench_launcher paint N    N timings each of a full repaint, a hover change,
//                             and the same pixels put with SetDIBitsToDevice alone
//   bench_launcher spin       the launcher with an idle loop that never waits,
//                             the baseline of the idle cost
//
// Results go to standard output as "name value" lines.
#include "app/launcher_app.h"
#include "bench/bench_clock.h"
#include "frame/mainframe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum BenchMode { kModeNone, kModeFlames, kModePaint, kModeSpin };

// One element put on the screen by a bare SetDIBitsToDevice: the image's bits
// and header, locked for the whole measurement.
struct CRawBlit {
    LayoutRect rcDest;
    const BITMAPINFO* pInfo;
    const void* pBits;
    int nHeight;
};

class CBenchApp : public CLauncherApp {
public:
    BOOL InitInstance() override;
    BOOL OnIdle(LONG lCount) override;
    int Run() override;

private:
    void MeasurePainting();
    void ReportFlames();

    BenchMode m_nMode = kModeNone;
    int m_nCount = 0;
    std::vector<double> m_advanceMs;
    double m_dLastIdleMs = 0;
    double m_dLongestIdleGapMs = 0;
};

CBenchApp theApp;

// Pumps the queue for a while, so that the window is on the screen and Wine
// has passed what was drawn on to the X server.
void Settle(double dMs)
{
    const double dEnd = BenchNowMs() + dMs;
    MSG msg;
    while (BenchNowMs() < dEnd) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    }
}

CRawBlit LockForBlit(const LayoutRect& rcDest, DibHandle hImage)
{
    const auto* pData = static_cast<const uint8_t*>(GlobalLock(hImage));
    const size_t cbData = GlobalSize(hImage);
    return CRawBlit{rcDest, reinterpret_cast<const BITMAPINFO*>(pData),
                    DibBitsPointer(pData, cbData), DibPixelHeight(pData, cbData)};
}

void PutRaw(HDC hDC, const CRawBlit& blit)
{
    const int nWidth = blit.rcDest.right - blit.rcDest.left;
    const int nHeight = blit.rcDest.bottom - blit.rcDest.top;
    SetDIBitsToDevice(hDC, blit.rcDest.left, blit.rcDest.top, nWidth, nHeight, 0,
                      blit.nHeight - nHeight, 0, blit.nHeight, blit.pBits, blit.pInfo,
                      DIB_RGB_COLORS);
}

void PrintSeries(const char* pszName, const std::vector<double>& values)
{
    for (double d : values)
        std::printf("%s %.3f\n", pszName, d);
}

BOOL CBenchApp::InitInstance()
{
    const char* pszArgs = GetCommandLineA();
    // The program's own name comes first, quoted or not.
    if (*pszArgs == '"')
        pszArgs = std::strchr(pszArgs + 1, '"') ? std::strchr(pszArgs + 1, '"') + 1 : "";
    else
        pszArgs += std::strcspn(pszArgs, " \t");
    char szMode[16] = {};
    int nCount = 0;
    std::sscanf(pszArgs, "%15s %d", szMode, &nCount);
    if (std::strcmp(szMode, "flames") == 0)
        m_nMode = kModeFlames;
    else if (std::strcmp(szMode, "paint") == 0)
        m_nMode = kModePaint;
    else if (std::strcmp(szMode, "spin") == 0)
        m_nMode = kModeSpin;
    m_nCount = nCount > 0 ? nCount : 100;
    if (m_nMode == kModeNone) {
        std::fprintf(stderr, "usage: bench_launcher flames N | paint N | spin\n");
        return FALSE;
    }

    if (!CLauncherApp::InitInstance())
        return FALSE;
    if (m_nMode == kModePaint) {
        MeasurePainting();
        g_bCloseRequested = true;
    }
    return TRUE;
}

BOOL CBenchApp::OnIdle(LONG lCount)
{
    if (m_nMode != kModeFlames)
        return CLauncherApp::OnIdle(lCount);

    const double dNow = BenchNowMs();
    // Only a gap between two calls of one idle stretch says how long the loop
    // waited; a gap across a message is the message's time.
    if (lCount > 0 && dNow - m_dLastIdleMs > m_dLongestIdleGapMs)
        m_dLongestIdleGapMs = dNow - m_dLastIdleMs;
    const int nFrameBefore = g_nFlameFrame;
    const BOOL bAgain = CLauncherApp::OnIdle(lCount);
    m_dLastIdleMs = BenchNowMs();
    if (g_nFlameFrame != nFrameBefore && !g_bCloseRequested) {
        // The time the tick read its clock, as near as this hook can see it.
        m_advanceMs.push_back(dNow);
        if (static_cast<int>(m_advanceMs.size()) > m_nCount) {
            ReportFlames();
            g_bCloseRequested = true;
        }
    }
    return bAgain;
}

void CBenchApp::ReportFlames()
{
    PrintSeries("flame_advance_ms", m_advanceMs);
    std::printf("idle_gap_max_ms %.3f\n", m_dLongestIdleGapMs);
    std::fflush(stdout);
}

int CBenchApp::Run()
{
    if (m_nMode != kModeSpin)
        return CLauncherApp::Run();
    // The framework's loop without its wait between idle calls.
    MSG msg;
    for (;;) {
        while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            OnIdle(1);
        if (!GetMessageA(&msg, nullptr, 0, 0))
            return static_cast<int>(msg.wParam);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void CBenchApp::MeasurePainting()
{
    CMainFrame* pFrame = g_pMainFrame;
    Settle(500);

    // What a repaint puts on the screen, element by element, in its order:
    // both flames, the background, the buttons of a launcher with nothing
    // installed.
    std::vector<CRawBlit> repaint;
    const int nFrame = g_nFlameFrame;
    repaint.push_back(LockForBlit(pFrame->m_rcBigFlame, pFrame->m_hBigFlame[nFrame]));
    repaint.push_back(LockForBlit(pFrame->m_rcSmallFlame, pFrame->m_hSmallFlame[nFrame]));
    repaint.push_back(LockForBlit(pFrame->m_rcBackground, pFrame->m_hBackground));
    for (int nButton : {1, 2, 9, 4, 6, 7, 11, 12})
        repaint.push_back(LockForBlit(pFrame->m_rcButton[nButton],
                                      pFrame->m_hButtonImage[nButton][kPictureUp]));

    // A hover change between the download and exit buttons, one above the
    // other: the new one lit, the old one put back.
    const int nHoverButtons[2] = {2, 9};
    CRawBlit hoverLit[2], hoverUp[2];
    POINT ptCentre[2];
    for (int n = 0; n < 2; ++n) {
        const int nButton = nHoverButtons[n];
        const LayoutRect& rc = pFrame->m_rcButton[nButton];
        hoverLit[n] = LockForBlit(rc, pFrame->m_hButtonImage[nButton][kPictureFocus]);
        hoverUp[n] = LockForBlit(rc, pFrame->m_hButtonImage[nButton][kPictureUp]);
        ptCentre[n] = POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    ::SendMessageA(pFrame->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(ptCentre[1].x, ptCentre[1].y));

    HDC hDC = ::GetDC(pFrame->m_hWnd);
    std::vector<double> repaintUs, repaintRawUs, hoverUs, hoverRawUs;
    for (int i = 0; i < m_nCount; ++i) {
        // Interleaved, so that whatever else the machine does falls on all four alike.
        double dStart = BenchNowMs();
        pFrame->RepaintAll();
        repaintUs.push_back((BenchNowMs() - dStart) * 1000);

        dStart = BenchNowMs();
        for (const CRawBlit& blit : repaint)
            PutRaw(hDC, blit);
        repaintRawUs.push_back((BenchNowMs() - dStart) * 1000);

        const int nTo = i % 2, nFrom = 1 - nTo;
        dStart = BenchNowMs();
        ::SendMessageA(pFrame->m_hWnd, WM_MOUSEMOVE, 0,
                       MAKELPARAM(ptCentre[nTo].x, ptCentre[nTo].y));
        hoverUs.push_back((BenchNowMs() - dStart) * 1000);

        dStart = BenchNowMs();
        PutRaw(hDC, hoverLit[nTo]);
        PutRaw(hDC, hoverUp[nFrom]);
        hoverRawUs.push_back((BenchNowMs() - dStart) * 1000);

        // Wine hands the drawing on to the X server when the queue is read:
        // outside the timings, for all four alike.
        Settle(2);
    }
    ::ReleaseDC(pFrame->m_hWnd, hDC);

    PrintSeries("repaint_us", repaintUs);
    PrintSeries("repaint_raw_us", repaintRawUs);
    PrintSeries("hover_us", hoverUs);
    PrintSeries("hover_raw_us", hoverRawUs);
    std::fflush(stdout);
}

}  // namespace
