// The buttons are pictures, not controls: these handlers make them behave as
// buttons. Everything is drawn at once, on a device context of the window.
#include "frame/mainframe.h"

#include "app/launcher_app.h"
#include "app/paths.h"

namespace {
bool IsButton(LauncherButton nId) { return nId >= 1 && nId <= kButtonCount; }
}

void CMainFrame::OnMouseMove(UINT, CPoint point)
{
    HDC hDC = ::GetDC(m_hWnd);
    // While another application is active, carry out a pending repaint before
    // the hit test draws over it.
    if (GetFocus() == nullptr)
        ::UpdateWindow(m_hWnd);
    m_nHover = HitTestButtons(m_rcButton, m_bDisabled, g_bInstalled != 0, point.x, point.y);
    RealizeLauncherPalette(m_hWnd);
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);

    const LauncherButton nOld = m_nHighlighted;
    const LauncherButton nHit = m_nHover;
    if (nHit != 0 && nHit != nOld) {
        // The new highlight first, then the old one goes back to up. A press
        // stays recorded when the pointer moves straight onto another button.
        DrawButton(hDC, nHit, kPictureFocus);
        m_nPrevHighlighted = nOld;
        m_nHighlighted = nHit;
        m_bRestorePrev = TRUE;
    } else if (nHit == 0) {
        m_nPrevHighlighted = nOld;
        m_bRestorePrev = FALSE;
        m_nHighlighted = 0;
        m_nPressed = 0;
        if (IsButton(nOld))
            DrawButton(hDC, nOld, kPictureUp);
        m_nPrevHighlighted = 0;
    }
    if (m_bRestorePrev) {
        m_bRestorePrev = FALSE;
        if (IsButton(m_nPrevHighlighted))
            DrawButton(hDC, m_nPrevHighlighted, kPictureUp);
        m_nPrevHighlighted = 0;
    }

    EndPaint(m_hWnd, &ps);
    ::ReleaseDC(m_hWnd, hDC);
    RealizeLauncherPalette(m_hWnd);
    Default();
}

void CMainFrame::OnLButtonDown(UINT, CPoint)
{
    HDC hDC = ::GetDC(m_hWnd);
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    // The button comes from the last hit test, not from this message's point.
    if (m_nHover != 0) {
        DrawButton(hDC, m_nHover, kPictureDown);
        m_nPressed = m_nHover;
    }
    ::ReleaseDC(m_hWnd, hDC);
    EndPaint(m_hWnd, &ps);
    Default();
}

void CMainFrame::OnLButtonUp(UINT, CPoint)
{
    HDC hDC = ::GetDC(m_hWnd);
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    if (m_nHover != 0 && m_nPressed == m_nHover) {
        DrawButton(hDC, m_nHover, kPictureFocus);
        RunAction(m_nHover);
    }
    m_nPressed = 0;
    EndPaint(m_hWnd, &ps);
    ::ReleaseDC(m_hWnd, hDC);
    Default();
}

void CMainFrame::OnKeyDown(UINT nChar, UINT, UINT)
{
    // The window closes at the next idle moment, not inside this handler.
    if (nChar == VK_ESCAPE || nChar == VK_SPACE)
        g_bCloseRequested = true;
    Default();
}

void CMainFrame::RunAction(LauncherButton nButton)
{
    switch (nButton) {
    case 1: OnInstall(); break;
    case 2: OnDirectX(); break;
    case 4: OnReadme(); break;
    case 6: OnGamePage(); break;
    case 7: OnPublisherSite(); break;
    case 8: OnPlay(); break;
    case 9: OnExit(); break;
    case 10: OnUninstall(); break;
    case 11: OnDeveloperSite(); break;
    case 12: OnLicensorSite(); break;
    default: break;  // the inactive slots have no action
    }
}
