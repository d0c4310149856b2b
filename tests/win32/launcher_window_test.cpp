// The launcher's window as the system sees it, and the rule that only one
// copy of the launcher runs, with two real launcher processes.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const char kTitle[] = "Zephrane Launcher";

class LauncherWindow : public ::testing::Test {
protected:
    void SetUp() override { ResetLauncherGlobals(); }
    void TearDown() override { ResetLauncherGlobals(); }

    CLauncherKeys m_keys;
};

TEST_F(LauncherWindow, IsABorderlessCentredPopupWithTitleClassAndIcons)
{
    CDiscFolder disc;
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();

    EXPECT_STREQ(window->GetRuntimeClass()->m_lpszClassName, "CMainFrame");
    EXPECT_EQ(window->GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS(CFrameWnd));
    EXPECT_STREQ(g_szWindowTitle, kTitle);
    char szTitle[256] = {};
    GetWindowTextA(hWnd, szTitle, sizeof szTitle);
    EXPECT_STREQ(szTitle, kTitle);

    const DWORD dwStyle = DWORD(GetWindowLongPtrA(hWnd, GWL_STYLE));
    EXPECT_EQ(dwStyle & (WS_POPUP | WS_VISIBLE), DWORD(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(dwStyle & (WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_SYSMENU |
                         WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD),
              0u)
        << std::hex << dwStyle;
    EXPECT_EQ(GetWindowLongPtrA(hWnd, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_WINDOWEDGE), 0);
    EXPECT_EQ(GetParent(hWnd), nullptr);
    EXPECT_EQ(GetMenu(hWnd), nullptr);

    // The harness's screen is 1024 x 768: (1024 - 644) / 2 and (768 - 456) / 2.
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    RECT rcWindow;
    GetWindowRect(hWnd, &rcWindow);
    EXPECT_EQ(rcWindow.left, 190);
    EXPECT_EQ(rcWindow.top, 156);
    EXPECT_EQ(rcWindow.right, 190 + 644);
    EXPECT_EQ(rcWindow.bottom, 156 + 456);
    RECT rcClient;
    GetClientRect(hWnd, &rcClient);
    EXPECT_EQ(rcClient.right, 644);
    EXPECT_EQ(rcClient.bottom, 456);

    EXPECT_EQ(GetClassLongPtrA(hWnd, GCL_STYLE), ULONG_PTR(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetClassLongPtrA(hWnd, GCLP_HBRBACKGROUND), ULONG_PTR(COLOR_WINDOW + 1));

    // Icon 128 of the program, as both the big and the small icon.
    const HICON hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
    ASSERT_NE(hIcon, nullptr) << "the test program carries the launcher's resources";
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(hWnd, WM_GETICON, ICON_BIG, 0)), hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(hWnd, WM_GETICON, ICON_SMALL, 0)), hIcon);

    // Set-up leaves every button enabled but the inactive slots, and nothing
    // under the pointer.
    EXPECT_EQ(window->m_nHover, 0);
    EXPECT_EQ(window->m_nHighlighted, 0);
    EXPECT_EQ(window->m_nPressed, 0);
    EXPECT_EQ(window->m_bRestorePrev, FALSE);
    for (int nButton = 1; nButton <= 12; ++nButton)
        EXPECT_EQ(window->m_bDisabled[nButton] != 0, nButton == 3 || nButton == 5) << nButton;
    EXPECT_FALSE(g_bCloseRequested) << "no other copy runs";
}

// Records the activations a window of the test receives.
struct CActivationLog {
    HWND hWnd;
    WNDPROC pfnOriginal;
    int nActivations;
    int nTitledWindowsThen;
};
CActivationLog* g_pLogs[2];

BOOL CALLBACK CountTitled(HWND hWnd, LPARAM lParam)
{
    char sz[64];
    if (GetWindowTextA(hWnd, sz, sizeof sz) && std::strcmp(sz, kTitle) == 0)
        ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

LRESULT CALLBACK LoggingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (CActivationLog* pLog : g_pLogs) {
        if (pLog == nullptr || pLog->hWnd != hWnd)
            continue;
        if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
            ++pLog->nActivations;
            pLog->nTitledWindowsThen = 0;
            EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&pLog->nTitledWindowsThen));
        }
        return CallWindowProcA(pLog->pfnOriginal, hWnd, message, wParam, lParam);
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

void StartLogging(CActivationLog& log, int nSlot)
{
    log.pfnOriginal = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(log.hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LoggingProc)));
    log.nActivations = 0;
    g_pLogs[nSlot] = &log;
}

// Any top-level window with the title counts as a running copy, whatever its
// class: it is restored and its last active pop-up brought to the front
// before this copy's window exists; this copy still makes its window and asks
// to close.
TEST_F(LauncherWindow, AnyWindowWithTheTitleIsBroughtToTheFront)
{
    CDiscFolder disc;
    HWND hOther = CreateWindowExA(0, "STATIC", kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                  200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hOther, nullptr);
    HWND hPopup = CreateWindowExA(0, "STATIC", "a pop-up of it", WS_POPUP | WS_VISIBLE, 20, 20,
                                  100, 50, hOther, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hPopup, nullptr);
    SetForegroundWindow(hPopup);
    PumpMessages();
    ShowWindow(hOther, SW_MINIMIZE);
    PumpMessages();
    ASSERT_TRUE(IsIconic(hOther));
    ASSERT_EQ(GetLastActivePopup(hOther), hPopup);

    CActivationLog popupLog{hPopup, nullptr, 0, 0};
    StartLogging(popupLog, 0);
    {
        CLauncherWindow window;
        EXPECT_TRUE(g_bCloseRequested);
        EXPECT_FALSE(IsIconic(hOther)) << "the running copy was not restored";
        EXPECT_GE(popupLog.nActivations, 1) << "its last active pop-up was not brought forward";
        EXPECT_EQ(popupLog.nTitledWindowsThen, 1) << "brought forward after this copy's window";
        EXPECT_TRUE(IsWindowVisible(window.Hwnd()));
    }
    g_pLogs[0] = nullptr;
    DestroyWindow(hPopup);
    DestroyWindow(hOther);
}

LRESULT CALLBACK FailingFrameProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT lResult = AfxWndProc(hWnd, message, wParam, lParam);
    return message == WM_CREATE ? -1 : lResult;
}

// A window that fails after WM_NCCREATE, when the frame is already linked to
// it: the start ends, and nothing is left pointing at the frame it deleted.
TEST_F(LauncherWindow, AWindowThatFailsLateEndsTheStart)
{
    CDiscFolder disc;
    // The framework's frame class, registered first by the test with a
    // procedure that fails WM_CREATE; the frame then finds it and uses it.
    const HINSTANCE hInstance = GetModuleHandleA(nullptr);
    UnregisterClassA("AfxFrameOrView", hInstance);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FailingFrameProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = "AfxFrameOrView";
    ASSERT_TRUE(RegisterClassA(&wc));
    const BOOL bStarted = theApp.InitInstance();
    UnregisterClassA(wc.lpszClassName, hInstance);

    EXPECT_FALSE(bStarted);
    EXPECT_EQ(g_pMainFrame, nullptr);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_EQ(FindWindowA(nullptr, kTitle), nullptr);
}

// ---------------------------------------------------------------------------

struct CLauncherProcess {
    PROCESS_INFORMATION pi{};

    bool Start(const std::string& directory)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string commandLine = "\"" + LauncherPath() + "\"";
        return CreateProcessA(LauncherPath().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                              nullptr, directory.c_str(), &si, &pi) != FALSE;
    }
    bool WaitForExit(DWORD dwTimeoutMs) const
    {
        return PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; },
                         dwTimeoutMs);
    }
    DWORD ExitCode() const
    {
        DWORD dwCode = STILL_ACTIVE;
        GetExitCodeProcess(pi.hProcess, &dwCode);
        return dwCode;
    }
    ~CLauncherProcess()
    {
        if (pi.hProcess == nullptr)
            return;
        // Ended before the test's folder goes, which it runs in.
        if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 10000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};

struct CFindWindowOf {
    DWORD dwProcessId;
    HWND hWnd;
};

BOOL CALLBACK FindTitledOf(HWND hWnd, LPARAM lParam)
{
    auto* pFind = reinterpret_cast<CFindWindowOf*>(lParam);
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    char sz[64];
    if (dwProcessId == pFind->dwProcessId && GetWindowTextA(hWnd, sz, sizeof sz) &&
        std::strcmp(sz, kTitle) == 0) {
        pFind->hWnd = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND TitledWindowOf(DWORD dwProcessId)
{
    CFindWindowOf find{dwProcessId, nullptr};
    EnumWindows(FindTitledOf, reinterpret_cast<LPARAM>(&find));
    return find.hWnd;
}

// Watches, from a thread of its own, which window is in front and whether a
// process shows a window with the title, for as long as that process lives: a
// second copy's window is there only briefly.
class CFrontWatch {
public:
    explicit CFrontWatch(DWORD dwProcessId)
        : m_dwProcessId(dwProcessId), m_thread(&CFrontWatch::Watch, this)
    {
    }
    CFrontWatch(const CFrontWatch&) = delete;
    CFrontWatch& operator=(const CFrontWatch&) = delete;
    ~CFrontWatch() { Stop(); }
    void Stop()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool SawTitledWindow() const { return m_bSeen; }
    // Whether the window came to the front before any window of the process.
    bool InFrontBeforeTheProcess(HWND hWnd) const
    {
        for (const CFront& front : m_fronts) {
            if (front.dwProcessId == m_dwProcessId)
                return false;
            if (front.hWnd == hWnd)
                return true;
        }
        return false;
    }

private:
    struct CFront {
        HWND hWnd;
        DWORD dwProcessId;
    };

    void Watch()
    {
        HWND hLast = nullptr;
        while (!m_bStop) {
            const HWND hFront = GetForegroundWindow();
            if (hFront != hLast) {
                DWORD dwProcessId = 0;
                GetWindowThreadProcessId(hFront, &dwProcessId);
                m_fronts.push_back(CFront{hFront, dwProcessId});
                hLast = hFront;
            }
            if (!m_bSeen) {
                const HWND hWnd = TitledWindowOf(m_dwProcessId);
                m_bSeen = hWnd != nullptr && IsWindowVisible(hWnd);
            }
        }
    }

    DWORD m_dwProcessId;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSeen{false};
    std::vector<CFront> m_fronts;
    std::thread m_thread;
};

bool Activate(HWND hWnd)
{
    SetForegroundWindow(hWnd);
    return PumpUntil([hWnd] { return GetForegroundWindow() == hWnd; }, 5000);
}

// Starts a second copy while a window of the test is in front and waits for
// it to end by itself (a message box would keep it from ending). It must
// bring the first copy to the front before its own window comes there, and
// show that window.
void RunSecondCopy(const CDiscFolder& disc, HWND hFront, HWND hFirst)
{
    SetWindowPos(hFront, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(Activate(hFront));
    CLauncherProcess second;
    ASSERT_TRUE(second.Start(disc.Path())) << GetLastError();
    CFrontWatch watch(second.pi.dwProcessId);
    const bool bEnded = second.WaitForExit(20000);
    watch.Stop();
    EXPECT_TRUE(watch.SawTitledWindow()) << "the second copy never showed its window";
    EXPECT_TRUE(watch.InFrontBeforeTheProcess(hFirst)) << "the first copy never came to the front";
    ASSERT_TRUE(bEnded) << "the second copy did not end by itself";
    EXPECT_EQ(second.ExitCode(), 0u);
}

// A second copy restores the first when it is minimised and brings it to
// the front in any case; it shows its own window and ends at once, with the
// framework's exit code.
TEST_F(LauncherWindow, ASecondCopyBringsTheFirstForwardAndEnds)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    CLauncherProcess first;
    ASSERT_TRUE(first.Start(disc.Path())) << GetLastError();
    HWND hFirst = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (hFirst = TitledWindowOf(first.pi.dwProcessId)) != nullptr; }))
        << "the first copy shows no window";
    // Whatever ends in front when the second copy's window goes, if not the
    // first copy.
    HWND hFront = CreateWindowExA(0, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0, 120, 80,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hFront, nullptr);

    {
        SCOPED_TRACE("the first copy minimised");
        ShowWindow(hFirst, SW_MINIMIZE);
        ASSERT_TRUE(PumpUntil([&] { return IsIconic(hFirst) != FALSE; }));
        RunSecondCopy(disc, hFront, hFirst);
        EXPECT_FALSE(IsIconic(hFirst)) << "the first copy stays minimised";
    }
    {
        SCOPED_TRACE("the first copy behind another window");
        RunSecondCopy(disc, hFront, hFirst);
    }
    EXPECT_EQ(WaitForSingleObject(first.pi.hProcess, 0), DWORD(WAIT_TIMEOUT))
        << "the first copy ended";
    DestroyWindow(hFront);

    // The first copy closes on request with the framework's exit code.
    PostMessageA(hFirst, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.WaitForExit(20000));
    EXPECT_EQ(first.ExitCode(), 0u);
}

}  // namespace
