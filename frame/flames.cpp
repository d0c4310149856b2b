// The two flames: one shared frame counter, advanced from the idle loop.
#include "frame/mainframe.h"

#include "app/launcher_app.h"
#include "framework/sysdll.h"

int g_nFlameFrame = 0;
DWORD g_dwLastFlameTick = g_pfnTimeGetTime();

namespace {
const DWORD kFlameIntervalMs = 66;
}  // namespace

void CMainFrame::DrawFlameFrame()
{
    HDC hDC = ::GetDC(m_hWnd);
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    const int nFrame = g_nFlameFrame;
    if (nFrame >= 0 && nFrame < kFlameFrameCount) {
        DrawElement(hDC, m_rcBigFlame, m_hBigFlame[nFrame]);
        DrawElement(hDC, m_rcSmallFlame, m_hSmallFlame[nFrame]);
    }
    EndPaint(m_hWnd, &ps);
    ::ReleaseDC(m_hWnd, hDC);
}

bool FlameTick()
{
    // A disc without flames has nothing to animate, and never reads the clock.
    if (kBuiltLayout.flameFiles[kBigFlame] == 0 && kBuiltLayout.flameFiles[kSmallFlame] == 0)
        return false;
    const DWORD dwNow = g_pfnTimeGetTime();
    // The unsigned difference keeps the rhythm across the clock's wrap.
    if (dwNow - g_dwLastFlameTick <= kFlameIntervalMs)
        return true;
    if (++g_nFlameFrame >= kShownFlameFrames)
        g_nFlameFrame = 0;
    if (g_pMainFrame != nullptr)
        g_pMainFrame->DrawFlameFrame();
    // The time read before drawing: a late call delays, and never skips.
    g_dwLastFlameTick = dwNow;
    return true;
}

DWORD TimeToNextFlame()
{
    bool bAnyShown = false;
    if (g_pMainFrame != nullptr) {
        for (int nFrame = 0; nFrame < kShownFlameFrames; ++nFrame)
            bAnyShown |= g_pMainFrame->m_hBigFlame[nFrame] != nullptr ||
                         g_pMainFrame->m_hSmallFlame[nFrame] != nullptr;
    }
    // Advances that would draw nothing are not worth a wake: until input
    // comes, the counter may as well stand still.
    if (!bAnyShown)
        return INFINITE;
    const DWORD dwSince = g_pfnTimeGetTime() - g_dwLastFlameTick;
    // The first reading the tick takes is 67 ms after the last advance: a
    // wake at 66 would find nothing due and cost a second one, and one at 68
    // would put every frame a millisecond late. Where the clock moves in
    // coarser steps than a wait ends (GetTickCount's, while another program
    // has made the system's timer finer), a wake can still come before the
    // clock shows the time; the rest is then waited for again.
    return dwSince > kFlameIntervalMs ? 0 : kFlameIntervalMs + 1 - dwSince;
}
