// The launcher's one window: the picture, its buttons and everything they own.
#pragma once

#include "dib/dib.h"
#include "frame/layout.h"
#include "framework/afxwin.h"

extern char g_szWindowTitle[200];

// The frame shared by both flames, 0 to 15 once the animation runs, and the
// time of its last advance.
extern int g_nFlameFrame;
extern DWORD g_dwLastFlameTick;

// The animation's turn in every idle moment: advances both flames one frame
// when more than 66 ms have passed since the last advance. False when the
// disc has no flame, and so no turn is wanted.
bool FlameTick();
// Milliseconds until the next advance, 0 when one is due; INFINITE when the
// cycle has no frame to show, or no window to show it in.
DWORD TimeToNextFlame();

// Install's and play's start: a bare program name, which the system looks
// for in the current directory alone. FALSE with the last error set when
// the program cannot be started.
BOOL StartProgramByName(HWND hWndOwner, LPCSTR lpszName);

class CMainFrame : public CFrameWnd {
    DECLARE_DYNAMIC(CMainFrame)
public:
    CMainFrame();
    ~CMainFrame() override;

    // Set-up, start-up and images
    void InitLauncher();
    BOOL ActivatePreviousInstance();
    DibHandle LoadBitmapFile(LPCSTR lpszPath);
    void AdoptDibImage(DibHandle& hImage);
    void RealizeLauncherPalette(HWND hwndCause);

    // Drawing
    void RepaintAll();
    void DrawFlameFrame();

    // Button actions
    void OnInstall();
    void OnReadme();
    void OnPlay();
    void OnExit();
    void OnUninstall();
    void OnDirectX();
    void OnGamePage();
    void OnPublisherSite();
    void OnDeveloperSite();
    void OnLicensorSite();

    // Message handlers
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnActivateApp(BOOL bActive, DWORD dwThreadID);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);

    // Interaction state.
    LauncherButton m_nHover;
    LauncherButton m_nHighlighted;
    LauncherButton m_nPrevHighlighted;
    BOOL m_bRestorePrev;
    LauncherButton m_nPressed;

    // Tables indexed by LauncherButton (entry 0 unused), the pictures then by
    // ButtonImage.
    BOOL m_bDisabled[kButtonCount + 1];
    LayoutRect m_rcButton[kButtonCount + 1];
    DibHandle m_hButtonImage[kButtonCount + 1][3];

    LayoutRect m_rcBackground;
    LayoutRect m_rcBigFlame;
    LayoutRect m_rcSmallFlame;
    DibHandle m_hBackground;
    DibHandle m_hBigFlame[kFlameFrameCount];
    DibHandle m_hSmallFlame[kFlameFrameCount];

    CPalette* m_pPalette;
    int m_nScreenWidth;
    int m_nScreenHeight;

private:
    DibHandle& SlotHandle(const ImageSlot& slot);
    void DrawElement(HDC hDC, const LayoutRect& rcDest, DibHandle hImage);
    void DrawButton(HDC hDC, LauncherButton nButton, ButtonImage nPicture);
    void DrawPicture(HDC hDC);
    void RunAction(LauncherButton nButton);

    DECLARE_MESSAGE_MAP()
};
