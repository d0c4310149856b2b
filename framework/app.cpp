#include "framework/afxwin.h"

#include "framework/sysdll.h"
#include "framework/winver.h"

#include <cstring>

namespace {
CWinApp* g_pApp = nullptr;

// An application that does not say when its idle work is due has its hook
// run once per step of the multimedia clock, a step being about one frame of
// a 60 Hz display: often enough for any animation a screen can show, rarely
// enough not to hold a core. Under Wine each wake-up costs a round trip to
// its server, some 100 to 200 us of processor time summed over both sides; a
// hook every millisecond would take a seventh of a core.
const DWORD kIdleStepMs = 17;

// Whether the newer wait knows MWMO_INPUTAVAILABLE: Windows 98 and 2000 on.
// NT 4.0 has the wait without it, and refuses it.
bool WaitKnowsInputAvailable() { return ReadWindowsVersion(GetVersion()).AtLeast(0x040A, 0x0500); }
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
        // By characters: in the code pages of Japan and China the second
        // byte of a letter in the folder's name may be that of a backslash.
        const char* pszName = szPath;
        const char* pszDot = nullptr;
        for (const char* p = szPath; *p; p = CharNextA(p)) {
            if (*p == '\\' || *p == '/' || *p == ':') {
                pszName = p + 1;
                pszDot = nullptr;
            } else if (*p == '.') {
                pszDot = p;
            }
        }
        const size_t cchName = pszDot != nullptr ? size_t(pszDot - pszName) : std::strlen(pszName);
        lstrcpynA(m_szDefaultName, pszName, int(cchName + 1));
        m_pszAppName = m_szDefaultName;
    }
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::OnIdle(LONG) { return FALSE; }

// Steps aligned to the clock keep a steady rhythm whatever the hook costs.
DWORD CWinApp::GetIdleWait() { return kIdleStepMs - g_pfnTimeGetTime() % kIdleStepMs; }

int CWinApp::Run()
{
    // Windows 98 and NT 4.0 on. Windows 95 has only the plain wait, which
    // returns for input that arrived since the queue was last looked at: as
    // good here, since the loop waits only right after finding it empty.
    using MsgWaitEx = DWORD(WINAPI*)(DWORD, const HANDLE*, DWORD, DWORD, DWORD);
    const auto pfnMsgWaitEx = SystemFunction<MsgWaitEx>("user32.dll", "MsgWaitForMultipleObjectsEx");
    // Without the flag the wait is as the plain one, and as good here.
    const DWORD dwWaitFlags = WaitKnowsInputAvailable() ? MWMO_INPUTAVAILABLE : 0;
    MSG msg;
    for (;;) {
        LONG lIdleCount = 0;
        BOOL bIdle = TRUE;
        while (bIdle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            DWORD dwWait;
            do {
                if (!OnIdle(lIdleCount++)) {
                    bIdle = FALSE;
                    break;
                }
                // Waits until the hook has work again, or less when input
                // arrives. A wait that ran out with no input leaves the queue
                // as empty as it was, so the hook runs again without asking.
                // The time goes to the wait as it is, with no margin: the
                // system ends a wait at the first tick of its clock at which
                // the time has passed, the tick that also moves timeGetTime
                // at its default resolution, so the hook wakes to the first
                // reading at which its work is due.
                const DWORD dwIdleWait = GetIdleWait();
                dwWait = pfnMsgWaitEx != nullptr
                             ? pfnMsgWaitEx(0, nullptr, dwIdleWait, kAllInputWakeMask, dwWaitFlags)
                             : MsgWaitForMultipleObjects(0, nullptr, FALSE, dwIdleWait, kAllInputWakeMask);
                // A wait the system refuses would refuse again at once and
                // leave the hook running flat out. Sleeping instead spares
                // the processor; input is then seen when the queue is looked
                // at, at most a step later, however long the hook may wait.
                if (dwWait == WAIT_FAILED)
                    Sleep(dwIdleWait < kIdleStepMs ? dwIdleWait : kIdleStepMs);
            } while (dwWait == WAIT_TIMEOUT);
        }
        do {
            // -1 is the system's failure, not a message: nothing may be
            // dispatched from it. Asking again would fail again, so the loop
            // ends with -1, and the program with it.
            const BOOL bGot = GetMessageA(&msg, nullptr, 0, 0);
            if (bGot == -1)
                return -1;
            if (!bGot)
                return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    }
}

namespace {
HWND MessageBoxOwner()
{
    CWinApp* pApp = AfxGetApp();
    HWND hOwner = nullptr;
    if (pApp != nullptr && pApp->GetMainWnd() != nullptr)
        hOwner = pApp->GetMainWnd()->m_hWnd;
    return hOwner != nullptr ? GetLastActivePopup(hOwner) : nullptr;
}
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp)
{
    (void)nIDHelp;  // no help file exists to give a context in
    CWinApp* pApp = AfxGetApp();
    return MessageBoxA(MessageBoxOwner(), lpszText, pApp ? pApp->m_pszAppName : nullptr, nType);
}

int AfxMessageBox(LPCSTR lpszText, LPCWSTR lpszWideText, UINT nType)
{
    const auto pfnMessageBoxW = SystemTakesWideText()
        ? SystemFunction<int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT)>("user32.dll", "MessageBoxW")
        : nullptr;
    if (pfnMessageBoxW == nullptr)
        return AfxMessageBox(lpszText, nType);
    // The application's name is the program's file name, which the system
    // gave in the user's code page.
    CWinApp* pApp = AfxGetApp();
    WCHAR szCaption[MAX_PATH];
    if (pApp == nullptr ||
        !MultiByteToWideChar(CP_ACP, 0, pApp->m_pszAppName, -1, szCaption, MAX_PATH))
        szCaption[0] = L'\0';
    return pfnMessageBoxW(MessageBoxOwner(), lpszWideText, pApp ? szCaption : nullptr, nType);
}
