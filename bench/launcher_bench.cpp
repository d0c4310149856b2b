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
//   bench_launcher wakes S    how often the idle loop wakes, and the flames
//                             advance, in S seconds of a settled launcher
//   bench_launcher start N    where start-up time goes: the whole set-up, and
//                             N more rounds of loading every image
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

enum BenchMode { kModeNone, kModeFlames, kModePaint, kModeSpin, kModeStart, kModeWakes };

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
    void MeasureStart();
    void ReportFlames();
    static DWORD WINAPI CountWakes(LPVOID pParam);

    BenchMode m_nMode = kModeNone;
    int m_nCount = 0;
    std::vector<double> m_advanceMs;
    std::vector<DWORD> m_advanceTicks;
    long m_nIdleCalls = 0;
    // Read by the thread that counts wakes.
    volatile LONG m_nWakes = 0;
    volatile LONG m_nAdvances = 0;
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

double g_dWindowCreatedMs = 0;

LRESULT CALLBACK NoteWindowCreation(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND && g_dWindowCreatedMs == 0)
        g_dWindowCreatedMs = BenchNowMs();
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// How long ago the system created this process, by its own account.
double ProcessAgeMs()
{
    FILETIME ftCreation, ftExit, ftKernel, ftUser, ftNow;
    GetProcessTimes(GetCurrentProcess(), &ftCreation, &ftExit, &ftKernel, &ftUser);
    GetSystemTimeAsFileTime(&ftNow);
    auto units = [](const FILETIME& ft) {
        return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    };
    return static_cast<double>(units(ftNow) - units(ftCreation)) / 10000.0;
}

template <class Action>
double TimeUs(Action action)
{
    const double dStart = BenchNowMs();
    action();
    return (BenchNowMs() - dStart) * 1000;
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
    else if (std::strcmp(szMode, "start") == 0)
        m_nMode = kModeStart;
    else if (std::strcmp(szMode, "wakes") == 0)
        m_nMode = kModeWakes;
    m_nCount = nCount > 0 ? nCount : 100;
    if (m_nMode == kModeNone) {
        std::fprintf(stderr, "usage: bench_launcher flames N | paint N | spin | start N | wakes S\n");
        return FALSE;
    }

    const double dAgeMs = ProcessAgeMs();
    // The first calls that need the window system bring up Wine's display
    // driver and desktop; the set-up makes them too, and a bare program pays
    // for them just the same. Made here first, they are timed apart.
    double dDesktopMs = 0;
    if (m_nMode == kModeStart) {
        dDesktopMs = TimeUs([] {
            GetSystemMetrics(SM_CXSCREEN);
            FindWindowA(nullptr, "");
        }) / 1000;
    }
    const double dStart = BenchNowMs();
    // The moment the window is created splits the set-up in two: the images
    // and the rest before it, the window and its first picture after it.
    HHOOK hHook = m_nMode == kModeStart
                      ? SetWindowsHookExA(WH_CBT, NoteWindowCreation, nullptr, GetCurrentThreadId())
                      : nullptr;
    const BOOL bStarted = CLauncherApp::InitInstance();
    const double dEnd = BenchNowMs();
    if (hHook != nullptr)
        UnhookWindowsHookEx(hHook);
    if (!bStarted)
        return FALSE;
    if (m_nMode == kModeStart) {
        std::printf("start_process_age_ms %.3f\n", dAgeMs);
        std::printf("start_window_system_ms %.3f\n", dDesktopMs);
        std::printf("start_setup_ms %.3f\n", g_dWindowCreatedMs - dStart);
        std::printf("start_window_ms %.3f\n", dEnd - g_dWindowCreatedMs);
        MeasureStart();
        g_bCloseRequested = true;
    } else if (m_nMode == kModePaint) {
        MeasurePainting();
        g_bCloseRequested = true;
    } else if (m_nMode == kModeWakes) {
        CloseHandle(CreateThread(nullptr, 0, &CBenchApp::CountWakes, this, 0, nullptr));
    }
    return TRUE;
}

// Counts from a thread of its own, since a loop with nothing due would not
// wake to look at a clock; ends the launcher with a message when done.
DWORD WINAPI CBenchApp::CountWakes(LPVOID pParam)
{
    auto* pThis = static_cast<CBenchApp*>(pParam);
    Sleep(2000);  // past the start and the first paints
    const LONG nWakes = pThis->m_nWakes, nAdvances = pThis->m_nAdvances;
    const double dStart = BenchNowMs();
    Sleep(static_cast<DWORD>(pThis->m_nCount) * 1000);
    const double dSeconds = (BenchNowMs() - dStart) / 1000;
    std::printf("wakes_per_s %.2f\n", (pThis->m_nWakes - nWakes) / dSeconds);
    std::printf("advances_per_s %.2f\n", (pThis->m_nAdvances - nAdvances) / dSeconds);
    std::fflush(stdout);
    PostMessageA(g_pMainFrame->m_hWnd, WM_CLOSE, 0, 0);
    return 0;
}

BOOL CBenchApp::OnIdle(LONG lCount)
{
    // Each wake of the loop, for input or at its time, ends in one idle call.
    if (m_nMode == kModeWakes) {
        const int nFrameBefore = g_nFlameFrame;
        const BOOL bAgain = CLauncherApp::OnIdle(lCount);
        InterlockedIncrement(&m_nWakes);
        if (g_nFlameFrame != nFrameBefore)
            InterlockedIncrement(&m_nAdvances);
        return bAgain;
    }
    if (m_nMode != kModeFlames)
        return CLauncherApp::OnIdle(lCount);

    const double dNow = BenchNowMs();
    ++m_nIdleCalls;
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
        m_advanceTicks.push_back(g_dwLastFlameTick);
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
    // The same advances on the animation's own clock, whole milliseconds.
    for (DWORD dwTick : m_advanceTicks)
        std::printf("flame_tick_ms %lu\n", static_cast<unsigned long>(dwTick));
    std::printf("idle_gap_max_ms %.3f\n", m_dLongestIdleGapMs);
    std::printf("idle_calls_per_s %.1f\n",
                m_nIdleCalls * 1000.0 / (m_advanceMs.back() - m_advanceMs.front()));
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

void CBenchApp::MeasureStart()
{
    CMainFrame* pFrame = g_pMainFrame;
    // Every image again, as the set-up loads them. Each load replaces the
    // shared palette with an equal one, since the set shares one table.
    for (int nRound = 0; nRound < m_nCount; ++nRound) {
        std::printf("start_load_images_ms %.3f\n", TimeUs([&] {
            for (int nOrder = 0; nOrder < kImageCount; ++nOrder) {
                char szPath[32];
                std::snprintf(szPath, sizeof szPath, "bitmaps\\%s",
                              LauncherImageSlot(nOrder).name);
                GlobalFree(pFrame->LoadBitmapFile(szPath));
            }
        }) / 1000);
    }
    HICON hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
    std::printf("start_set_icons_ms %.3f\n", TimeUs([&] {
        pFrame->SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
        pFrame->SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    }) / 1000);
    std::fflush(stdout);
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
        repaintUs.push_back(TimeUs([&] { pFrame->RepaintAll(); }));
        repaintRawUs.push_back(TimeUs([&] {
            for (const CRawBlit& blit : repaint)
                PutRaw(hDC, blit);
        }));
        const int nTo = i % 2, nFrom = 1 - nTo;
        hoverUs.push_back(TimeUs([&] {
            ::SendMessageA(pFrame->m_hWnd, WM_MOUSEMOVE, 0,
                           MAKELPARAM(ptCentre[nTo].x, ptCentre[nTo].y));
        }));
        hoverRawUs.push_back(TimeUs([&] {
            PutRaw(hDC, hoverLit[nTo]);
            PutRaw(hDC, hoverUp[nFrom]);
        }));
        // Wine hands the drawing on to the X server when the queue is read:
        // outside the timings, for all four alike.
        Settle(2);
    }
    PrintSeries("repaint_us", repaintUs);
    PrintSeries("repaint_raw_us", repaintRawUs);
    PrintSeries("hover_us", hoverUs);
    PrintSeries("hover_raw_us", hoverRawUs);

    // The calls that a repaint and a hover change are made of, one by one,
    // to show where their time goes.
    HWND hWnd = pFrame->m_hWnd;
    const LayoutRect& rcButton = pFrame->m_rcButton[nHoverButtons[0]];
    const LayoutRect rcSource = SourceRect(rcButton);
    DibHandle hButton = pFrame->m_hButtonImage[nHoverButtons[0]][kPictureUp];
    std::vector<double> dcUs, paintPairUs, realizeUs, drawDibUs, rawButtonUs, focusUs, updateUs,
        sendUs, flamesUs;
    for (int i = 0; i < m_nCount; ++i) {
        dcUs.push_back(TimeUs([&] { ::ReleaseDC(hWnd, ::GetDC(hWnd)); }));
        paintPairUs.push_back(TimeUs([&] {
            PAINTSTRUCT ps;
            BeginPaint(hWnd, &ps);
            EndPaint(hWnd, &ps);
        }));
        realizeUs.push_back(TimeUs([&] { pFrame->RealizeLauncherPalette(hWnd); }));
        drawDibUs.push_back(TimeUs([&] {
            DrawDib(hDC, RECT{rcButton.left, rcButton.top, rcButton.right, rcButton.bottom},
                    hButton, RECT{rcSource.left, rcSource.top, rcSource.right, rcSource.bottom},
                    pFrame->m_pPalette);
        }));
        rawButtonUs.push_back(TimeUs([&] { PutRaw(hDC, hoverUp[0]); }));
        focusUs.push_back(TimeUs([] { GetFocus(); }));
        updateUs.push_back(TimeUs([&] { ::UpdateWindow(hWnd); }));
        sendUs.push_back(TimeUs([&] { ::SendMessageA(hWnd, WM_NULL, 0, 0); }));
        flamesUs.push_back(TimeUs([&] { pFrame->DrawFlameFrame(); }));
        Settle(2);
    }
    ::ReleaseDC(hWnd, hDC);
    PrintSeries("step_getdc_releasedc_us", dcUs);
    PrintSeries("step_beginpaint_endpaint_us", paintPairUs);
    PrintSeries("step_realize_palette_us", realizeUs);
    PrintSeries("step_drawdib_button_us", drawDibUs);
    PrintSeries("step_setdibits_button_us", rawButtonUs);
    PrintSeries("step_getfocus_us", focusUs);
    PrintSeries("step_updatewindow_us", updateUs);
    PrintSeries("step_sendmessage_us", sendUs);
    PrintSeries("step_flame_frame_us", flamesUs);
    // Without the focus the hover handler also updates the window first.
    std::printf("hover_without_focus %d\n", GetFocus() == nullptr ? 1 : 0);
    std::fflush(stdout);
}

}  // namespace
