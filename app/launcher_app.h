// The application object and the state the whole launcher shares with it.
#pragma once

#include "framework/afxwin.h"

class CMainFrame;

class CLauncherApp : public CWinApp {
public:
    BOOL InitInstance() override;
    BOOL OnIdle(LONG lCount) override;
};

extern CMainFrame* g_pMainFrame;
// Once raised, the window closes at the next idle moment; nothing lowers it.
extern bool g_bCloseRequested;
