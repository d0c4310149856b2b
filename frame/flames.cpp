// The two flames: one shared frame counter, advanced from the idle loop.
#include "frame/mainframe.h"

#include "app/launcher_app.h"
#include "framework/sysdll.h"

int g_nFlameFrame = 0;
DWORD g_dwLastFlameTick = g_pfnTimeGetTime();

namespace {
const DWORD kFlameIntervalMs = 66;
// Thirty frames are loaded, but the cycle shows only the first sixteen.
const int kLastShownFlameFrame = 15;
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
    if (++g_nFlameFrame > kLastShownFlameFrame)
        g_nFlameFrame = 0;
    if (g_pMainFrame != nullptr)
        g_pMainFrame->DrawFlameFrame();
    // The time read before drawing: a late call delays, and never skips.
    g_dwLastFlameTick = dwNow;
    return true;
}
