#include "framework/afxwin.h"

#include <cstring>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }
// The framework has one thread, and the application object stands for it.
CWinThread* AfxGetThread() { return g_pApp; }

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pszAppName(lpszAppName), m_hInstance(GetModuleHandleA(nullptr)), m_szDefaultName()
{
    g_pApp = this;
    if (m_pszAppName == nullptr) {
        char szPath[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, szPath, MAX_PATH - 1);
        const char* pszName = szPath;
        for (const char* p = szPath; *p; ++p) {
            if (*p == '\\' || *p == '/' || *p == ':')
                pszName = p + 1;
        }
        lstrcpynA(m_szDefaultName, pszName, MAX_PATH);
        if (char* pszDot = std::strrchr(m_szDefaultName, '.'))
            *pszDot = '\0';
        m_pszAppName = m_szDefaultName;
    }
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::OnIdle(LONG) { return FALSE; }

int CWinApp::Run()
{
    MSG msg;
    LONG lIdleCount = 0;
    BOOL bIdle = TRUE;
    for (;;) {
        while (bIdle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(lIdleCount++)) {
                bIdle = FALSE;
                break;
            }
            // Short enough for the animation, long enough not to hold a core;
            // returns at once when input arrives, seen or not.
            MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        do {
            if (!GetMessageA(&msg, nullptr, 0, 0))
                return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        bIdle = TRUE;
        lIdleCount = 0;
    }
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp)
{
    (void)nIDHelp;  // no help file exists to give a context in
    CWinApp* pApp = AfxGetApp();
    HWND hOwner = nullptr;
    if (pApp != nullptr && pApp->GetMainWnd() != nullptr)
        hOwner = pApp->GetMainWnd()->m_hWnd;
    if (hOwner != nullptr)
        hOwner = GetLastActivePopup(hOwner);
    return MessageBoxA(hOwner, lpszText, pApp ? pApp->m_pszAppName : nullptr, nType);
}
