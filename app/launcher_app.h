// The application object and the state the whole launcher shares with it.
#pragma once

#include "framework/afxwin.h"

class CMainFrame;

class CLauncherApp : public CWinApp {
public:
    BOOL InitInstance() override;
    // The message loop, with COM ended after it.
    int Run() override;
    BOOL OnIdle(LONG lCount) override;
    // The loop sleeps until the next flame advance, or for input alone on a
    // disc without flames.
    DWORD GetIdleWait() override;

private:
    // Whether this thread's COM apartment is ours to end.
    bool m_bComStarted = false;
};

extern CMainFrame* g_pMainFrame;
// Once raised, the window closes at the next idle moment; nothing lowers it.
extern bool g_bCloseRequested;
