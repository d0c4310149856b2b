// The application object under Wine: its name, its message loop and idle
// calls, the main window's end, and the modal message box.
#include "framework/afxwin.h"
#include "framework/sysdll.h"
#include "tests/win32/import_patch.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// The one application object; each test sets what its idle time does.
class CTestApp : public CWinApp {
public:
    std::function<BOOL(LONG)> m_pfnIdle;
    std::function<DWORD()> m_pfnIdleWait;

    BOOL OnIdle(LONG lCount) override
    {
        return m_pfnIdle ? m_pfnIdle(lCount) : CWinApp::OnIdle(lCount);
    }
    DWORD GetIdleWait() override { return m_pfnIdleWait ? m_pfnIdleWait() : CWinApp::GetIdleWait(); }
};

CTestApp theApp;

const char kExeName[] = "framework_app_test";

// What the loop and the handlers did, in order.
std::vector<std::string> g_log;
int g_anDeleted[2];     // per frame id: destructor calls
BOOL g_bInHandler = FALSE;
BOOL g_bIdleInHandler = FALSE;

void Log(const std::string& line) { g_log.push_back(line); }

class CTestFrame : public CFrameWnd {
public:
    explicit CTestFrame(int nId) : m_nId(nId) {}
    ~CTestFrame() override { ++g_anDeleted[m_nId]; }

private:
    // Takes a little while, so that an idle call from anywhere but the loop
    // between messages would show up inside it.
    void OnKeyDown(UINT nChar, UINT, UINT)
    {
        g_bInHandler = TRUE;
        Log("key " + std::to_string(nChar));
        Sleep(10);
        g_bInHandler = FALSE;
    }
    DECLARE_MESSAGE_MAP()

    int m_nId;
};

BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
    ON_WM_KEYDOWN()
END_MESSAGE_MAP()

CTestFrame* CreateFrame(int nId)
{
    auto* pFrame = new CTestFrame(nId);
    const RECT rect = {60, 60, 360, 260};
    if (!pFrame->Create(nullptr, "framework app test", WS_POPUP, rect)) {
        ADD_FAILURE() << "Create failed, error " << GetLastError();
        return nullptr;
    }
    return pFrame;
}

// Ends a Run() that went wrong with a code no test expects, rather than let
// it wait for ever.
class CWatchdog {
public:
    CWatchdog()
        : m_hStop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_dwThread(GetCurrentThreadId()),
          m_hThread(CreateThread(nullptr, 0, &CWatchdog::Watch, this, 0, nullptr))
    {
    }
    ~CWatchdog()
    {
        SetEvent(m_hStop);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        CloseHandle(m_hStop);
    }
    static const int kExpired = 99;

private:
    static DWORD WINAPI Watch(LPVOID pParam)
    {
        auto* pThis = static_cast<CWatchdog*>(pParam);
        if (WaitForSingleObject(pThis->m_hStop, 10000) == WAIT_TIMEOUT)
            PostThreadMessageA(pThis->m_dwThread, WM_QUIT, kExpired, 0);
        return 0;
    }
    HANDLE m_hStop;
    DWORD m_dwThread;
    HANDLE m_hThread;
};

// A fresh main window for each test, hidden so that nothing but the test's own
// messages reaches it.
class framework_app : public testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        g_anDeleted[0] = g_anDeleted[1] = 0;
        g_bIdleInHandler = FALSE;
        m_pMain = CreateFrame(0);
        ASSERT_NE(nullptr, m_pMain);
        m_hMain = m_pMain->m_hWnd;
        theApp.m_pMainWnd = m_pMain;
    }
    void TearDown() override
    {
        theApp.m_pfnIdle = nullptr;
        theApp.m_pfnIdleWait = nullptr;
        if (IsWindow(m_hMain))
            DestroyWindow(m_hMain);
        MSG msg;
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        theApp.m_pMainWnd = nullptr;
    }

    // The loop's end as a test wants it: code 0, the frame deleted once and
    // no longer the main window.
    void ExpectRunEndsWithTheMainWindow()
    {
        int nCode;
        {
            CWatchdog watchdog;
            nCode = theApp.Run();
        }
        EXPECT_EQ(0, nCode);
        EXPECT_FALSE(IsWindow(m_hMain));
        EXPECT_EQ(1, g_anDeleted[0]);
        EXPECT_EQ(nullptr, theApp.m_pMainWnd);
        EXPECT_EQ(nullptr, theApp.GetMainWnd());
    }

    CTestFrame* m_pMain = nullptr;
    HWND m_hMain = nullptr;
};

// Idle calls and messages as the log records them.
std::string IdleLine(LONG lCount)
{
    if (g_bInHandler)
        g_bIdleInHandler = TRUE;
    return "idle " + std::to_string(lCount);
}

TEST_F(framework_app, IdleRunsAgainAndAgainOnTheUserInterfaceThread)
{
    const DWORD dwThread = GetCurrentThreadId();
    const int kCalls = 100;
    std::vector<LONG> counts;
    BOOL bOtherThread = FALSE;
    const DWORD dwStart = GetTickCount();
    DWORD dwElapsed = 0;
    theApp.m_pfnIdle = [&](LONG lCount) {
        counts.push_back(lCount);
        bOtherThread |= GetCurrentThreadId() != dwThread;
        if (static_cast<int>(counts.size()) == kCalls) {
            dwElapsed = GetTickCount() - dwStart;
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        }
        return TRUE;
    };
    ExpectRunEndsWithTheMainWindow();

    std::vector<LONG> expected;
    for (LONG l = 0; l < kCalls; ++l)
        expected.push_back(l);
    EXPECT_EQ(expected, counts);  // nothing more once the window had gone
    EXPECT_FALSE(bOtherThread);
    // About a millisecond between calls, not a timer's tick or a sleep until
    // the next message.
    EXPECT_LT(dwElapsed, 2000u);
}

TEST_F(framework_app, QueuedMessagesComeFirstAndRestartTheIdleCount)
{
    int nRound = 0;
    theApp.m_pfnIdle = [&](LONG lCount) {
        Log(IdleLine(lCount));
        if (nRound == 0 && lCount == 1) {
            ++nRound;
            for (UINT nKey : {VK_F1, VK_F2, VK_F3})
                PostMessageA(m_hMain, WM_KEYDOWN, nKey, 1);
        } else if (nRound == 1 && lCount == 2) {
            ++nRound;
            // Closed from inside the idle call: the loop ends without
            // another one.
            SendMessageA(m_hMain, WM_CLOSE, 0, 0);
        }
        return TRUE;
    };
    ExpectRunEndsWithTheMainWindow();

    EXPECT_EQ((std::vector<std::string>{"idle 0", "idle 1", "key 112", "key 113", "key 114",
                                        "idle 0", "idle 1", "idle 2"}),
              g_log);
    EXPECT_FALSE(g_bIdleInHandler);
}

// A clock of the test's own, in whole milliseconds as the launcher's counts.
DWORD TestClockMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<DWORD>(now.QuadPart * 1000 / frequency.QuadPart);
}

void CALLBACK LogTimer(HWND, UINT, UINT_PTR, DWORD) { Log("timer"); }

// Work due 67 ms after it was last done, as the flames' is: the loop wakes
// once for each piece, never before its time, which would take a second
// wake; with nothing due it waits for input alone, here a timer 300 ms on.
TEST_F(framework_app, TheLoopWakesOnlyWhenIdleWorkIsDue)
{
    const int kWorks = 15;
    int nWorks = 0, nWakes = 0;
    DWORD dwDue = TestClockMs();
    UINT_PTR nTimer = 0;
    theApp.m_pfnIdle = [&](LONG lCount) {
        nWakes += lCount > 0;  // a call after a message is no wake of the loop's own
        if (nWorks == kWorks) {
            Log(IdleLine(lCount));
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        } else if (static_cast<LONG>(TestClockMs() - dwDue) >= 0) {
            dwDue = TestClockMs() + 67;
            if (++nWorks == kWorks)
                nTimer = SetTimer(nullptr, 0, 300, &LogTimer);
        }
        return TRUE;
    };
    theApp.m_pfnIdleWait = [&]() -> DWORD {
        const LONG lLeft = static_cast<LONG>(dwDue - TestClockMs());
        return nWorks == kWorks ? INFINITE : lLeft > 0 ? lLeft : 0;
    };
    ExpectRunEndsWithTheMainWindow();
    KillTimer(nullptr, nTimer);
    EXPECT_EQ(kWorks - 1, nWakes);
    EXPECT_EQ((std::vector<std::string>{"timer", "idle 0"}), g_log);
}

// Posts to the main window once the idle calls have stopped, after watching
// them stay stopped for a while.
struct IdleObserver {
    HWND hMain;
    volatile LONG nIdleCalls;
    LONG nAfterQuiet;
    HANDLE hThread;

    static DWORD WINAPI Observe(LPVOID pParam)
    {
        auto* pThis = static_cast<IdleObserver*>(pParam);
        DWORD dwStart = GetTickCount();
        while (pThis->nIdleCalls < 3 && GetTickCount() - dwStart < 5000)
            Sleep(1);
        dwStart = GetTickCount();
        while (GetTickCount() - dwStart < 150 && pThis->nIdleCalls == 3)
            Sleep(5);
        pThis->nAfterQuiet = pThis->nIdleCalls;
        PostMessageA(pThis->hMain, WM_KEYDOWN, VK_F9, 1);
        return 0;
    }
};

TEST_F(framework_app, AfterIdleReturnsFalseTheLoopSleepsUntilTheNextMessage)
{
    IdleObserver observer = {m_hMain, 0, -1, nullptr};
    theApp.m_pfnIdle = [&](LONG lCount) {
        Log(IdleLine(lCount));
        if (InterlockedIncrement(&observer.nIdleCalls) > 3)
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        return lCount < 2;
    };
    observer.hThread = CreateThread(nullptr, 0, &IdleObserver::Observe, &observer, 0, nullptr);
    ExpectRunEndsWithTheMainWindow();
    WaitForSingleObject(observer.hThread, INFINITE);
    CloseHandle(observer.hThread);

    EXPECT_EQ(3, observer.nAfterQuiet);
    EXPECT_EQ((std::vector<std::string>{"idle 0", "idle 1", "idle 2", "key 120", "idle 0"}), g_log);
    EXPECT_FALSE(g_bIdleInHandler);
}

TEST_F(framework_app, OnlyTheMainWindowsEndEndsTheLoop)
{
    CTestFrame* pOther = CreateFrame(1);
    ASSERT_NE(nullptr, pOther);
    HWND hOther = pOther->m_hWnd;
    int nRound = 0;
    theApp.m_pfnIdle = [&](LONG lCount) {
        if (lCount != 0)
            return TRUE;
        if (nRound++ == 0) {
            PostMessageA(hOther, WM_CLOSE, 0, 0);
        } else {
            Log(std::string("other closed ") + (IsWindow(hOther) ? "no" : "yes") + ", deleted " +
                std::to_string(g_anDeleted[1]) + ", main " +
                (theApp.m_pMainWnd == m_pMain ? "kept" : "lost"));
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        }
        return TRUE;
    };
    ExpectRunEndsWithTheMainWindow();
    EXPECT_EQ(std::vector<std::string>{"other closed yes, deleted 1, main kept"}, g_log);
    EXPECT_EQ(1, g_anDeleted[1]);
}

// ---------------------------------------------------------------------------
// The system failing the loop, made at the loop's own calls

CImportPatch* g_pGetMessage;
CImportPatch* g_pSleep;
DWORD g_dwUiThread;
int g_nGetMessageFailures;

// Fails as often as asked, as for a bad message buffer, then delivers again.
BOOL WINAPI FailingGetMessage(LPMSG pMsg, HWND hWnd, UINT nMin, UINT nMax)
{
    Log("get message");
    if (g_nGetMessageFailures > 0) {
        --g_nGetMessageFailures;
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return reinterpret_cast<decltype(&GetMessageA)>(g_pGetMessage->Original())(pMsg, hWnd, nMin, nMax);
}

DWORD WINAPI FailingWait(DWORD, const HANDLE*, DWORD, DWORD, DWORD)
{
    Log("wait failed");
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

CImportPatch* g_pPlainWait;

DWORD WINAPI LoggedPlainWait(DWORD nCount, const HANDLE* pHandles, BOOL bAll, DWORD dwMs, DWORD dwMask)
{
    Log("plain wait");
    return reinterpret_cast<decltype(&MsgWaitForMultipleObjects)>(g_pPlainWait->Original())(
        nCount, pHandles, bAll, dwMs, dwMask);
}

// The loop's pauses, by length: a step of the idle clock or less.
void WINAPI LoggedSleep(DWORD dwMs)
{
    if (GetCurrentThreadId() == g_dwUiThread)
        Log(dwMs >= 1 && dwMs <= 17 ? "pause" : "pause of " + std::to_string(dwMs) + " ms");
    reinterpret_cast<decltype(&Sleep)>(g_pSleep->Original())(dwMs);
}

TEST_F(framework_app, AFailureToGetAMessageEndsTheLoopWithoutDispatching)
{
    CImportPatch patch("user32.dll", "GetMessageA", reinterpret_cast<void*>(&FailingGetMessage));
    ASSERT_TRUE(patch.Installed());
    g_pGetMessage = &patch;
    g_nGetMessageFailures = 1;
    theApp.m_pfnIdle = [&](LONG lCount) {
        Log(IdleLine(lCount));
        PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        return FALSE;
    };
    PostMessageA(m_hMain, WM_KEYDOWN, VK_F7, 1);
    int nCode;
    {
        CWatchdog watchdog;
        nCode = theApp.Run();
    }
    EXPECT_EQ(-1, nCode);
    // Nothing was taken for a message: the key waits in the queue unhandled.
    EXPECT_EQ(std::vector<std::string>{"get message"}, g_log);
    EXPECT_TRUE(IsWindow(m_hMain));
}

TEST_F(framework_app, AFailedWaitPausesForTheStepBeforeTheNextIdleCall)
{
    g_dwUiThread = GetCurrentThreadId();
    CProcAnswers waitPatch({{"MsgWaitForMultipleObjectsEx", Proc(&FailingWait)}});
    CImportPatch sleepPatch("kernel32.dll", "Sleep", reinterpret_cast<void*>(&LoggedSleep));
    ASSERT_TRUE(waitPatch.Installed());
    ASSERT_TRUE(sleepPatch.Installed());
    g_pSleep = &sleepPatch;
    theApp.m_pfnIdle = [&](LONG lCount) {
        Log(IdleLine(lCount));
        if (lCount == 2)
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        return TRUE;
    };
    ExpectRunEndsWithTheMainWindow();
    // The idle count goes on across the pauses: the queue stayed empty.
    EXPECT_EQ((std::vector<std::string>{"idle 0", "wait failed", "pause", "idle 1", "wait failed",
                                        "pause", "idle 2", "wait failed", "pause"}),
              g_log);
}

// Windows 95 has only the plain wait, which wakes for input that came after
// the queue was last looked at: a key posted in an idle call is handled
// before the next one.
TEST_F(framework_app, WithoutTheNewerWaitThePlainOneStillWakesForInput)
{
    CProcAnswers noWaitEx({{"MsgWaitForMultipleObjectsEx", nullptr}});
    CImportPatch plainWait("user32.dll", "MsgWaitForMultipleObjects",
                           reinterpret_cast<void*>(&LoggedPlainWait));
    ASSERT_TRUE(noWaitEx.Installed());
    ASSERT_TRUE(plainWait.Installed());
    g_pPlainWait = &plainWait;
    int nRound = 0;
    theApp.m_pfnIdle = [&](LONG lCount) {
        Log(IdleLine(lCount));
        if (nRound == 0 && lCount == 1) {
            ++nRound;
            PostMessageA(m_hMain, WM_KEYDOWN, VK_F5, 1);
        } else if (nRound == 1) {
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        }
        return TRUE;
    };
    ExpectRunEndsWithTheMainWindow();
    EXPECT_EQ((std::vector<std::string>{"idle 0", "plain wait", "idle 1", "plain wait", "key 116",
                                        "idle 0", "plain wait"}),
              g_log);
}

// The newer wait is asked for no kind of input a system does not know, and
// for input already in the queue (MWMO_INPUTAVAILABLE) only where the system
// defines that: Windows 98 and 2000 on, not NT 4.0, which has the wait
// without it. The flag floor judges each wait against the system named.
DWORD g_dwVersion;
DWORD WINAPI AnsweringGetVersion() { return g_dwVersion; }

DWORD WINAPI LoggedWaitEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMs, DWORD dwMask, DWORD dwFlags)
{
    char szLine[40];
    std::snprintf(szLine, sizeof szLine, "wait %04lX %lX", dwMask, dwFlags);
    Log(szLine);
    return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMs, dwMask, dwFlags);
}

TEST_F(framework_app, TheNewerWaitAsksOnlyWhatTheRunningSystemKnows)
{
    const struct {
        const char* pszSystem;
        DWORD dwVersion;  // as GetVersion answers there
        const char* pszWait;
    } systems[] = {
        {"Windows 98", 0xC0000A04, "wait 00FF 4"},
        {"Windows ME", 0xC0005A04, "wait 00FF 4"},
        {"Windows NT 4.0", 0x05650004, "wait 00FF 0"},
        {"Windows 2000", 0x08930005, "wait 00FF 4"},
        {"Windows 10", 0x4A65000A, "wait 00FF 4"},
    };
    CProcAnswers waitEx({{"MsgWaitForMultipleObjectsEx", Proc(&LoggedWaitEx)}});
    CImportPatch version("kernel32.dll", "GetVersion", reinterpret_cast<void*>(&AnsweringGetVersion));
    ASSERT_TRUE(waitEx.Installed());
    ASSERT_TRUE(version.Installed());
    // The first idle call closes the window, which one wait then sees.
    theApp.m_pfnIdle = [&](LONG lCount) {
        if (lCount == 0)
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        return TRUE;
    };
    for (const auto& system : systems) {
        SCOPED_TRACE(system.pszSystem);
        g_dwVersion = system.dwVersion;
        g_log.clear();
        g_anDeleted[0] = 0;
        if (!IsWindow(m_hMain)) {
            m_pMain = CreateFrame(0);
            ASSERT_NE(nullptr, m_pMain);
            m_hMain = m_pMain->m_hWnd;
            theApp.m_pMainWnd = m_pMain;
        }
        ExpectRunEndsWithTheMainWindow();
        EXPECT_EQ(std::vector<std::string>{system.pszWait}, g_log);
    }
}

// The floor's lines for bits that came later than their call: a call that
// passes one fails where the system may lack it. SEE_MASK_HMONITOR came
// with shell32 5.0, ME's; the LOAD_LIBRARY_SEARCH_* bits with Windows 8,
// and to Vista and 7 with the update of 2011, whose calls a program finds
// to know it is there.
void OpenOnAMonitor()
{
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_HMONITOR | SEE_MASK_FLAG_NO_UI;
    sei.lpFile = "Z:\\no such folder\\none.txt";
    ShellExecuteExA(&sei);
}

void LoadFromTheSystemFolder() { FreeLibrary(LoadLibraryExA("kernel32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)); }

TEST(flag_floor, ABitCountsFromTheShellOrUpdateThatBroughtIt)
{
    const struct {
        const char* pszSystem;
        DWORD dwVersion;
        void (*pfnCall)();
        const char* pszFinding;  // none where the system has the bit
    } cases[] = {
        {"Windows 98", 0xC0000A04, &OpenOnAMonitor,
         "SEE_MASK_HMONITOR (in 0x00200400), which Windows 98 does not define"},
        {"Windows ME", 0xC0005A04, &OpenOnAMonitor, nullptr},
        {"Windows 7", 0x1DB10106, &LoadFromTheSystemFolder,
         "LOAD_LIBRARY_SEARCH_SYSTEM32 (in 0x00000800), which Windows 7 does not define without the "
         "update of 2011 (KB2533623)"},
        {"Windows 7 with the update", 0x1DB10106,
         [] {
             GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
             LoadFromTheSystemFolder();
         },
         nullptr},
        {"Windows 8", 0x23F00206, &LoadFromTheSystemFolder, nullptr},
    };
    CImportPatch version("kernel32.dll", "GetVersion", reinterpret_cast<void*>(&AnsweringGetVersion));
    ASSERT_TRUE(version.Installed());
    for (const auto& test : cases) {
        SCOPED_TRACE(test.pszSystem);
        g_dwVersion = test.dwVersion;
        GetVersion();
        if (test.pszFinding != nullptr)
            EXPECT_NONFATAL_FAILURE(test.pfnCall(), test.pszFinding);
        else
            test.pfnCall();
    }
}

// ---------------------------------------------------------------------------
// The library search

// Narrowed with the best the system has: only its own folder (Windows 8, and
// Vista and 7 with the update), else no current directory (XP SP1 on), else
// the search as it always was.
BOOL g_bDefaultDirectoriesTaken;

BOOL WINAPI LoggedSetDefaultDllDirectories(DWORD dwFlags)
{
    Log("default directories " + std::to_string(dwFlags));
    return g_bDefaultDirectoriesTaken;
}

BOOL WINAPI LoggedSetDllDirectory(LPCSTR lpszDirectory)
{
    Log(std::string("library directory \"") + lpszDirectory + "\"");
    return TRUE;
}

TEST(framework_sysdll, TheLibrarySearchIsNarrowedWithTheBestTheSystemHas)
{
    const struct {
        const char* pszSystem;
        FARPROC pfnDefaultDirectories, pfnDllDirectory;
        BOOL bDefaultDirectoriesTaken;
        std::vector<std::string> calls;
    } systems[] = {
        {"Windows 8", Proc(&LoggedSetDefaultDllDirectories), Proc(&LoggedSetDllDirectory), TRUE,
         {"default directories 2048"}},
        {"one that refuses the default directories", Proc(&LoggedSetDefaultDllDirectories),
         Proc(&LoggedSetDllDirectory), FALSE, {"default directories 2048", "library directory \"\""}},
        {"Windows XP SP1", nullptr, Proc(&LoggedSetDllDirectory), FALSE, {"library directory \"\""}},
        {"Windows 95", nullptr, nullptr, FALSE, {}},
    };
    for (const auto& system : systems) {
        SCOPED_TRACE(system.pszSystem);
        CProcAnswers answers({{"SetDefaultDllDirectories", system.pfnDefaultDirectories},
                              {"SetDllDirectoryA", system.pfnDllDirectory}});
        ASSERT_TRUE(answers.Installed());
        g_bDefaultDirectoriesTaken = system.bDefaultDirectoriesTaken;
        g_log.clear();
        NarrowLibrarySearch();
        EXPECT_EQ(system.calls, g_log);
    }
}

// ---------------------------------------------------------------------------
// The message box

// What the box looked like to another thread, which then pressed a button.
struct BoxVisit {
    DWORD dwUiThread;
    int nButton;
    HWND hBox = nullptr;
    std::string caption;
    HWND hOwner = nullptr;
    BOOL bOwnerEnabled = TRUE;
    std::vector<std::string> texts;

    static BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam)
    {
        char szClass[16] = {};
        GetClassNameA(hWnd, szClass, sizeof szClass);
        if (lstrcmpA(szClass, "#32770") != 0 || !IsWindowVisible(hWnd))
            return TRUE;
        reinterpret_cast<BoxVisit*>(lParam)->hBox = hWnd;
        return FALSE;
    }
    static BOOL CALLBACK ReadChild(HWND hWnd, LPARAM lParam)
    {
        char szText[256] = {};
        GetWindowTextA(hWnd, szText, sizeof szText);
        reinterpret_cast<BoxVisit*>(lParam)->texts.emplace_back(szText);
        return TRUE;
    }
    static DWORD WINAPI Visit(LPVOID pParam)
    {
        auto* pThis = static_cast<BoxVisit*>(pParam);
        const DWORD dwStart = GetTickCount();
        while (pThis->hBox == nullptr && GetTickCount() - dwStart < 10000) {
            EnumThreadWindows(pThis->dwUiThread, &BoxVisit::FindBox, reinterpret_cast<LPARAM>(pParam));
            if (pThis->hBox == nullptr)
                Sleep(5);
        }
        if (pThis->hBox == nullptr)
            return 1;
        char szCaption[MAX_PATH] = {};
        GetWindowTextA(pThis->hBox, szCaption, sizeof szCaption);
        pThis->caption = szCaption;
        pThis->hOwner = GetWindow(pThis->hBox, GW_OWNER);
        if (pThis->hOwner != nullptr)
            pThis->bOwnerEnabled = IsWindowEnabled(pThis->hOwner);
        EnumChildWindows(pThis->hBox, &BoxVisit::ReadChild, reinterpret_cast<LPARAM>(pParam));
        PostMessageA(pThis->hBox, WM_COMMAND, MAKEWPARAM(pThis->nButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(pThis->hBox, pThis->nButton)));
        return 0;
    }
};

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    for (const std::string& t : texts) {
        if (t == text)
            return true;
    }
    return false;
}

TEST_F(framework_app, MessageBoxIsModalOwnedByTheMainWindowAndNamedAfterTheApplication)
{
    SetWindowPos(m_hMain, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    struct {
        UINT nType;
        int nButton;
        const char* pszButton;
    } const cases[] = {
        {MB_OK | MB_ICONEXCLAMATION, IDOK, "OK"},
        {MB_YESNO | MB_ICONQUESTION, IDNO, "&No"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nButton);
        BoxVisit visit;
        visit.dwUiThread = GetCurrentThreadId();
        visit.nButton = c.nButton;
        HANDLE hThread = CreateThread(nullptr, 0, &BoxVisit::Visit, &visit, 0, nullptr);
        const int nResult = AfxMessageBox("The disc could not be read.", c.nType);
        WaitForSingleObject(hThread, INFINITE);
        DWORD dwFound = 1;
        GetExitCodeThread(hThread, &dwFound);
        CloseHandle(hThread);

        ASSERT_EQ(0u, dwFound) << "no message box appeared";
        EXPECT_EQ(c.nButton, nResult);
        EXPECT_EQ(kExeName, visit.caption);
        EXPECT_EQ(m_hMain, visit.hOwner);
        EXPECT_FALSE(visit.bOwnerEnabled);  // modal to its owner
        EXPECT_TRUE(Contains(visit.texts, "The disc could not be read.")) << ::testing::PrintToString(visit.texts);
        EXPECT_TRUE(Contains(visit.texts, c.pszButton)) << ::testing::PrintToString(visit.texts);
        EXPECT_FALSE(IsWindow(visit.hBox));
        EXPECT_TRUE(IsWindowEnabled(m_hMain));
    }
}

// ---------------------------------------------------------------------------
// The application's name

TEST_F(framework_app, WithoutATitleTheApplicationIsNamedAfterItsExecutable)
{
    EXPECT_EQ(&theApp, AfxGetApp());
    EXPECT_EQ(&theApp, AfxGetThread());

    // A copy of this program under another name runs this test again and
    // writes the name it was given where the first run reads it.
    char szOut[MAX_PATH] = {};
    if (GetEnvironmentVariableA("FRAMEWORK_APP_NAME_OUT", szOut, sizeof szOut)) {
        FILE* pFile = fopen(szOut, "w");
        ASSERT_NE(nullptr, pFile);
        fputs(theApp.m_pszAppName, pFile);
        fclose(pFile);
        return;
    }
    EXPECT_STREQ(kExeName, theApp.m_pszAppName);

    char szTemp[MAX_PATH], szSelf[MAX_PATH], szDir[MAX_PATH], szCopy[MAX_PATH];
    GetTempPathA(sizeof szTemp, szTemp);
    snprintf(szDir, sizeof szDir, "%sframework.app %lu", szTemp, GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(szDir, nullptr));
    snprintf(szCopy, sizeof szCopy, "%s\\Demo.Disc.Start.exe", szDir);
    snprintf(szOut, sizeof szOut, "%s\\name.txt", szDir);
    GetModuleFileNameA(nullptr, szSelf, sizeof szSelf);
    ASSERT_TRUE(CopyFileA(szSelf, szCopy, FALSE));

    SetEnvironmentVariableA("FRAMEWORK_APP_NAME_OUT", szOut);
    char szCommand[2 * MAX_PATH];
    snprintf(szCommand, sizeof szCommand,
             "\"%s\" --gtest_filter=framework_app.WithoutATitleTheApplicationIsNamedAfterItsExecutable",
             szCopy);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const BOOL bStarted =
        CreateProcessA(nullptr, szCommand, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("FRAMEWORK_APP_NAME_OUT", nullptr);
    ASSERT_TRUE(bStarted);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    char szName[MAX_PATH] = {};
    if (FILE* pFile = fopen(szOut, "r")) {
        fgets(szName, sizeof szName, pFile);
        fclose(pFile);
    }
    // Only the last dot starts the extension.
    EXPECT_STREQ("Demo.Disc.Start", szName);
    DeleteFileA(szOut);
    DeleteFileA(szCopy);
    RemoveDirectoryA(szDir);
}

}  // namespace
