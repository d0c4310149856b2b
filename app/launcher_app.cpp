#include "app/launcher_app.h"

#include "frame/mainframe.h"

#include <objbase.h>

CMainFrame* g_pMainFrame = nullptr;
bool g_bCloseRequested = false;

BOOL CLauncherApp::InitInstance()
{
    // The constructor does the whole set-up, creates the window and draws it.
    g_pMainFrame = new CMainFrame;
    // Without a window there is nothing to close, and the loop would run on
    // forever: end at once instead. A failed creation leaves the frame to us.
    if (g_pMainFrame->m_hWnd == nullptr) {
        delete g_pMainFrame;
        return FALSE;
    }
    m_pMainWnd = g_pMainFrame;
    // The shell's handler for a file type or a web address may be a COM
    // object, which wants a single-threaded apartment on the calling thread.
    // Without one the launcher goes on as before: the shell copes as it can.
    if (!m_bComStarted)
        m_bComStarted = SUCCEEDED(CoInitialize(nullptr));
    g_pMainFrame->ShowWindow(SW_SHOW);
    g_pMainFrame->UpdateWindow();
    return TRUE;
}

int CLauncherApp::Run()
{
    const int nCode = CWinApp::Run();
    if (m_bComStarted) {
        CoUninitialize();
        m_bComStarted = false;
    }
    return nCode;
}

BOOL CLauncherApp::OnIdle(LONG)
{
    const bool bFlames = FlameTick();
    if (g_bCloseRequested) {
        CWinThread* pThread = AfxGetThread();
        CWnd* pMainWnd = pThread ? pThread->GetMainWnd() : nullptr;
        if (pMainWnd != nullptr)
            pMainWnd->SendMessage(WM_CLOSE, 0, 0);
    }
    // Asked again while a flame burns, so that it runs for as long as the
    // launcher idles; without one the loop waits for the next message.
    return bFlames ? TRUE : FALSE;
}

DWORD CLauncherApp::GetIdleWait() { return TimeToNextFlame(); }
