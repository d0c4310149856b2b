// Painting the picture and keeping its colours right on activation.
//
// Every routine draws the whole picture straight onto a device context of the
// client area; its begin/end-paint pair only validates the window. A pending
// erase arrives inside that pair and redraws everything first.
#include "frame/mainframe.h"

#include "app/paths.h"

namespace {
const LauncherButton kButtonsAlwaysShown[] = {2, 9, 4, 6, 7, 11, 12};
}

void CMainFrame::DrawElement(HDC hDC, const LayoutRect& rcDest, DibHandle hImage)
{
    const LayoutRect rcSource = SourceRect(rcDest);
    DrawDib(hDC, RECT{rcDest.left, rcDest.top, rcDest.right, rcDest.bottom}, hImage,
            RECT{rcSource.left, rcSource.top, rcSource.right, rcSource.bottom}, m_pPalette);
}

void CMainFrame::DrawButton(HDC hDC, LauncherButton nButton, ButtonImage nPicture)
{
    DrawElement(hDC, m_rcButton[nButton], m_hButtonImage[nButton][nPicture]);
}

void CMainFrame::DrawPicture(HDC hDC)
{
    DrawElement(hDC, m_rcBackground, m_hBackground);
    if (!g_bInstalled) {
        DrawButton(hDC, 1, kPictureUp);
    } else {
        DrawButton(hDC, 8, kPictureUp);
        DrawButton(hDC, 10, kPictureUp);
    }
    for (LauncherButton nButton : kButtonsAlwaysShown)
        DrawButton(hDC, nButton, kPictureUp);
    // The highlight alone decides, even for a button the installation state hides.
    if (m_nHighlighted >= 1 && m_nHighlighted <= kButtonCount)
        DrawButton(hDC, m_nHighlighted, kPictureFocus);
}

void CMainFrame::OnPaint()
{
    HDC hDC = ::GetDC(m_hWnd);
    // Meant: the flames go first and the background then covers them until
    // the next frame advance.
    DrawFlameFrame();
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    DrawPicture(hDC);
    EndPaint(m_hWnd, &ps);
    ::ReleaseDC(m_hWnd, hDC);
}

BOOL CMainFrame::OnEraseBkgnd(CDC*)
{
    RepaintAll();
    return TRUE;
}

void CMainFrame::RepaintAll()
{
    HDC hDC = ::GetDC(m_hWnd);
    RealizeLauncherPalette(m_hWnd);
    DrawFlameFrame();
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    DrawPicture(hDC);
    EndPaint(m_hWnd, &ps);
    ::ReleaseDC(m_hWnd, hDC);
}

void CMainFrame::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    CFrameWnd::OnActivate(nState, pWndOther, bMinimized);
    RealizeLauncherPalette(m_hWnd);
}

void CMainFrame::OnActivateApp(BOOL bActive, DWORD)
{
    Default();
    if (bActive) {
        RealizeLauncherPalette(m_hWnd);
        // The game may have been installed or removed meanwhile; the picture
        // follows at the next paint, the hit test at once.
        GetPaths();
    }
}
