#include "frame/mainframe.h"

#include "app/launcher_app.h"
#include "app/paths.h"
#include "identity.h"

#include <cstdio>

char g_szWindowTitle[200];
static_assert(sizeof ZEPH_TITLE <= sizeof g_szWindowTitle, "the title fits its buffer");

IMPLEMENT_DYNAMIC(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_ACTIVATE()
    ON_WM_ACTIVATEAPP()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_KEYDOWN()
END_MESSAGE_MAP()

namespace {
const int kIconResource = 128;
// The title as Windows NT takes it; g_szWindowTitle holds its ANSI bytes.
const wchar_t kWindowTitleW[] = ZEPH_TITLE_W;
}

CMainFrame::CMainFrame()
{
    InitLauncher();
    // A second copy still shows its window; it closes at its first idle moment.
    if (!ActivatePreviousInstance())
        g_bCloseRequested = true;

    const LayoutRect rc = CenteredWindowRect(m_nScreenWidth, m_nScreenHeight);
    if (!Create(nullptr, g_szWindowTitle, WS_POPUP | WS_VISIBLE,
                RECT{rc.left, rc.top, rc.right, rc.bottom}))
        return;
    SetWideWindowText(kWindowTitleW);

    HICON hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kIconResource));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    RealizeLauncherPalette(m_hWnd);
    // The erase at the start of this cycle draws the whole picture.
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
}

CMainFrame::~CMainFrame()
{
    GlobalFree(m_hBackground);
    for (int n = 0; n < kFlameFrameCount; ++n) {
        GlobalFree(m_hBigFlame[n]);
        GlobalFree(m_hSmallFlame[n]);
    }
    for (auto& images : m_hButtonImage) {
        for (DibHandle hImage : images)
            GlobalFree(hImage);
    }
    delete m_pPalette;
    if (g_pMainFrame == this)
        g_pMainFrame = nullptr;
}

void CMainFrame::InitLauncher()
{
    lstrcpynA(g_szWindowTitle, ZEPH_TITLE, sizeof g_szWindowTitle);
    GetPaths();
    m_nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    m_nScreenHeight = GetSystemMetrics(SM_CYSCREEN);

    m_nHover = m_nHighlighted = m_nPrevHighlighted = m_nPressed = 0;
    m_bRestorePrev = FALSE;
    m_pPalette = nullptr;
    m_rcBackground = kBackgroundRect;
    m_rcBigFlame = kBigFlameRect;
    m_rcSmallFlame = kSmallFlameRect;
    m_rcButton[0] = LayoutRect{};
    for (LauncherButton nButton = 1; nButton <= kButtonCount; ++nButton)
        m_rcButton[nButton] = ButtonRect(nButton);

    m_hBackground = nullptr;
    for (int n = 0; n < kFlameFrameCount; ++n)
        m_hBigFlame[n] = m_hSmallFlame[n] = nullptr;
    for (auto& images : m_hButtonImage) {
        for (DibHandle& hImage : images)
            hImage = nullptr;
    }
    // Each load that reads its file replaces the shared palette, so the one in
    // force afterwards is the last such load's.
    for (int nOrder = 0; nOrder < kImageCount; ++nOrder) {
        const ImageSlot slot = LauncherImageSlot(nOrder);
        char szPath[32];
        std::snprintf(szPath, sizeof szPath, "bitmaps\\%s", slot.name);
        SlotHandle(slot) = LoadBitmapFile(szPath);
    }

    for (LauncherButton nButton = 0; nButton <= kButtonCount; ++nButton)
        m_bDisabled[nButton] = (nButton == 3 || nButton == 5);
}

DibHandle& CMainFrame::SlotHandle(const ImageSlot& slot)
{
    switch (slot.kind) {
    case kImageBigFlame: return m_hBigFlame[slot.index];
    case kImageSmallFlame: return m_hSmallFlame[slot.index];
    case kImageButton: return m_hButtonImage[slot.index][slot.picture];
    case kImageBackground: break;
    }
    return m_hBackground;
}

BOOL CMainFrame::ActivatePreviousInstance()
{
    // Any top-level window with the title counts as a running copy.
    HWND hWndFirst = AfxFindWindow(g_szWindowTitle, kWindowTitleW);
    if (hWndFirst == nullptr)
        return TRUE;
    HWND hWndPopup = GetLastActivePopup(hWndFirst);
    if (IsIconic(hWndFirst))
        ::ShowWindow(hWndFirst, SW_RESTORE);
    SetForegroundWindow(hWndPopup);
    return FALSE;
}
