// Windows of the framework on the real display: which handler a message
// reaches, what Default() passes on, nested messages, exceptions at the window
// procedure, the default frame class. Every check reads the real window.
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

CWinApp theApp;

// What the handlers saw, in order, one line per call; compared with tables of
// expected lines.
std::vector<std::string> g_log;

void Log(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* pszFormat, ...)
{
    char sz[160];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(sz, sizeof sz, pszFormat, args);
    va_end(args);
    g_log.emplace_back(sz);
}

std::string PointerText(const void* p)
{
    char sz[32];
    snprintf(sz, sizeof sz, "%p", p);
    return sz;
}

void ExpectLog(const std::vector<std::string>& expected)
{
    EXPECT_EQ(expected, g_log);
    g_log.clear();
}

const RECT kRect = {40, 40, 240, 190};

// The mouse-button messages this thread's queue delivered, in order.
std::vector<UINT> g_buttonMessages;

// Dispatches this thread's messages until the condition holds or the
// deadline passes; returns whether it held. The deadline holds even against a
// window that never stops asking to be painted.
template <class Condition>
bool PumpUntil(Condition condition, DWORD dwTimeout = 5000)
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (GetTickCount() - dwStart <= dwTimeout &&
               PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message >= WM_LBUTTONDOWN && msg.message <= WM_LBUTTONDBLCLK)
                g_buttonMessages.push_back(msg.message);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount() - dwStart > dwTimeout)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, kAllInputWakeMask);
    }
}

// Lets whatever is queued arrive, for a short look at what followed.
void Settle(DWORD dwTime = 100)
{
    PumpUntil([] { return false; }, dwTime);
}

// Covers the client area in a colour no class brush has, so that an erase
// shows.
void PaintRed(HWND hWnd)
{
    HDC hdc = GetDC(hWnd);
    RECT rc;
    GetClientRect(hWnd, &rc);
    HBRUSH hbr = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(hdc, &rc, hbr);
    DeleteObject(hbr);
    ReleaseDC(hWnd, hdc);
}

COLORREF WindowColour()
{
    return GetSysColor(COLOR_WINDOW) & 0xFFFFFF;
}

// Sends WM_ERASEBKGND with the window's own DC over a red client area and
// returns the result; *pcr receives the colour afterwards.
LRESULT EraseOverRed(CWnd* pWnd, COLORREF* pcr)
{
    PaintRed(pWnd->m_hWnd);
    HDC hdc = GetDC(pWnd->m_hWnd);
    LRESULT lResult = pWnd->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc));
    *pcr = GetPixel(hdc, 20, 20);
    ReleaseDC(pWnd->m_hWnd, hdc);
    return lResult;
}

// ---------------------------------------------------------------------------
// Two levels of map over the frame's: the derived one takes over some of the
// base's messages and adds its own.

class CBaseTestWnd : public CFrameWnd {
protected:
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
    {
        Log("base OnKeyDown(%u,%u,%#x)", nChar, nRepCnt, nFlags);
    }
    void OnMouseMove(UINT nFlags, CPoint point)
    {
        Log("base OnMouseMove(%#x,%ld,%ld)", nFlags, point.x, point.y);
    }
    void OnLButtonDown(UINT nFlags, CPoint point)
    {
        Log("base OnLButtonDown(%#x,%ld,%ld)", nFlags, point.x, point.y);
    }
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
    {
        Log("base OnActivate(%u,%s,%d)", nState, PointerText(pWndOther).c_str(), bMinimized);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTestWnd, CFrameWnd)
    ON_WM_KEYDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_ACTIVATE()
END_MESSAGE_MAP()

class CDerivedTestWnd : public CBaseTestWnd {
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
    {
        Log("derived OnKeyDown(%u,%u,%#x)", nChar, nRepCnt, nFlags);
    }
    void OnLButtonUp(UINT nFlags, CPoint point)
    {
        Log("derived OnLButtonUp(%#x,%ld,%ld)", nFlags, point.x, point.y);
    }
    void OnActivateApp(BOOL bActive, DWORD dwThreadID)
    {
        Log("derived OnActivateApp(%d,%lu)", bActive, dwThreadID);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTestWnd, CBaseTestWnd)
    ON_WM_KEYDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_ACTIVATEAPP()
END_MESSAGE_MAP()

// A frame on the heap, as the framework wants them. Shown without being
// activated: Wine, with no window manager, waits two seconds for every window
// it took as activated to be withdrawn again.
template <class TWnd>
TWnd* CreateFrame(BOOL bShow = TRUE, LPCSTR lpszClassName = nullptr)
{
    auto* pWnd = new TWnd;
    if (!pWnd->Create(lpszClassName, "framework test", WS_POPUP, kRect)) {
        ADD_FAILURE() << "Create failed, error " << GetLastError();
        return nullptr;
    }
    if (bShow) {
        SetWindowPos(pWnd->m_hWnd, HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    }
    return pWnd;
}

TEST(framework_wnd, MessagesReachTheMostDerivedHandlerThenTheBaseThenTheDefault)
{
    CDerivedTestWnd* pWnd = CreateFrame<CDerivedTestWnd>();
    CBaseTestWnd* pOther = CreateFrame<CBaseTestWnd>(FALSE);
    ASSERT_NE(nullptr, pWnd);
    ASSERT_NE(nullptr, pOther);
    HWND hWnd = pWnd->m_hWnd;
    ASSERT_EQ(pWnd, CWnd::FromHandlePermanent(hWnd));
    Settle();
    g_log.clear();

    struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } const sent[] = {
        {WM_KEYDOWN, VK_SPACE, MAKELPARAM(3, 0x39)},
        {WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(-5, 7)},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34)},
        {WM_LBUTTONUP, 0, MAKELPARAM(12, -1)},
        {WM_ACTIVATEAPP, TRUE, 1234},
        {WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), reinterpret_cast<LPARAM>(pOther->m_hWnd)},
        {WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(GetDesktopWindow())},
    };
    for (const auto& m : sent)
        EXPECT_EQ(0, pWnd->SendMessage(m.message, m.wParam, m.lParam));

    ExpectLog({
        "derived OnKeyDown(32,3,0x39)",
        "base OnMouseMove(0x4,-5,7)",
        "base OnLButtonDown(0x1,12,34)",
        "derived OnLButtonUp(0,12,-1)",
        "derived OnActivateApp(1,1234)",
        // Another window of ours arrives as its object, a foreign one as null.
        "base OnActivate(2," + PointerText(pOther) + ",1)",
        "base OnActivate(0," + PointerText(nullptr) + ",0)",
    });

    // In no map: the default window procedure's own result and effect.
    EXPECT_EQ(HTCLIENT, pWnd->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(kRect.left + 5, kRect.top + 5)));
    EXPECT_TRUE(pWnd->SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed")));
    char szText[32] = {};
    GetWindowTextA(hWnd, szText, sizeof szText);
    EXPECT_STREQ("renamed", szText);
    COLORREF cr;
    EXPECT_EQ(1, EraseOverRed(pWnd, &cr));
    EXPECT_EQ(WindowColour(), cr);
    ExpectLog({});

    pOther->DestroyWindow();
    pWnd->DestroyWindow();
}

// ---------------------------------------------------------------------------
// Default() and the message it passes on

// What each instance does with the messages it maps, set by the test.
class CDefaultTestWnd : public CFrameWnd {
public:
    BOOL m_bEraseDefault = TRUE;
    BOOL m_bActivateDefault = TRUE;
    BOOL m_bPaintNested = FALSE;   // OnPaint erases at once, inside itself
    BOOL m_bEraseNested = FALSE;   // OnEraseBkgnd sends a key to itself first
    int m_nThrowOnKey = 0;         // 1: a CException, 2: std::runtime_error, 3: an int
    int m_nThrowOnPaint = 0;
    int m_nThrowOnErase = 0;
    int m_nPaints = 0;

private:
    void OnPaint()
    {
        ++m_nPaints;
        Log("OnPaint");
        Throw(m_nThrowOnPaint);
        if (m_bPaintNested)
            RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
        // The default paint validates the window; it must act on this paint,
        // not on the erase that came in meanwhile.
        Default();
        Log("OnPaint end");
    }
    BOOL OnEraseBkgnd(CDC* pDC)
    {
        Log("OnEraseBkgnd");
        if (m_bEraseNested)
            SendMessage(WM_KEYDOWN, VK_F5, 1);
        Throw(m_nThrowOnErase);
        if (!m_bEraseDefault)
            return TRUE;
        (void)pDC;
        LRESULT lResult = Default();
        Log("OnEraseBkgnd end %d", static_cast<int>(lResult));
        return static_cast<BOOL>(lResult);
    }
    void OnKeyDown(UINT nChar, UINT, UINT)
    {
        Log("OnKeyDown(%u)", nChar);
        Throw(m_nThrowOnKey);
        Log("OnKeyDown end %d", static_cast<int>(Default()));
    }
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
    {
        Log("OnActivate(%u)", nState);
        if (m_bActivateDefault)
            CFrameWnd::OnActivate(nState, pWndOther, bMinimized);
    }
    static void Throw(int nKind);
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDefaultTestWnd, CFrameWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_KEYDOWN()
    ON_WM_ACTIVATE()
END_MESSAGE_MAP()

int g_nExceptionsDeleted = 0;

class CCountedException : public CException {
public:
    ~CCountedException() override { ++g_nExceptionsDeleted; }
};

void CDefaultTestWnd::Throw(int nKind)
{
    switch (nKind) {
    case 1: throw new CCountedException;
    case 2: throw std::runtime_error("handler failed");
    case 3: throw 42;
    default: break;
    }
}

TEST(framework_wnd, DefaultPassesTheMessageBeingHandled)
{
    CDefaultTestWnd* pWnd = CreateFrame<CDefaultTestWnd>();
    ASSERT_NE(nullptr, pWnd);
    HWND hWnd = pWnd->m_hWnd;
    Settle();
    g_log.clear();

    // The default erase fills with the class brush and reports it done.
    COLORREF cr;
    EXPECT_EQ(1, EraseOverRed(pWnd, &cr));
    EXPECT_EQ(WindowColour(), cr);
    pWnd->m_bEraseDefault = FALSE;
    EXPECT_EQ(1, EraseOverRed(pWnd, &cr));
    EXPECT_EQ(RGB(255, 0, 0), cr);
    ExpectLog({"OnEraseBkgnd", "OnEraseBkgnd end 1", "OnEraseBkgnd"});
    pWnd->m_bEraseDefault = TRUE;

    // The default activation gives the window the focus; without it the
    // focus stays where it was.
    SetActiveWindow(hWnd);
    SetFocus(nullptr);
    ASSERT_EQ(hWnd, GetActiveWindow());
    g_log.clear();
    pWnd->m_bActivateDefault = FALSE;
    pWnd->SendMessage(WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(nullptr, GetFocus());
    pWnd->m_bActivateDefault = TRUE;
    pWnd->SendMessage(WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(hWnd, GetFocus());
    ExpectLog({"OnActivate(1)", "OnActivate(1)"});

    // Outside any message of its own there is nothing to pass on.
    EXPECT_EQ(0, pWnd->Default());

    pWnd->DestroyWindow();
}

TEST(framework_wnd, NestedMessagesKeepTheOuterOneForDefault)
{
    CDefaultTestWnd* pWnd = CreateFrame<CDefaultTestWnd>();
    ASSERT_NE(nullptr, pWnd);
    HWND hWnd = pWnd->m_hWnd;
    Settle();
    g_log.clear();

    // A paint that erases inside itself: the erase arrives nested, and the
    // outer Default() still validates the paint, so no second paint follows.
    pWnd->m_bPaintNested = TRUE;
    pWnd->m_nPaints = 0;
    InvalidateRect(hWnd, nullptr, FALSE);
    UpdateWindow(hWnd);
    Settle();
    ExpectLog({"OnPaint", "OnEraseBkgnd", "OnEraseBkgnd end 1", "OnPaint end"});
    EXPECT_EQ(1, pWnd->m_nPaints);
    EXPECT_FALSE(GetUpdateRect(hWnd, nullptr, FALSE));
    pWnd->m_bPaintNested = FALSE;

    // An erase that sends a key to its own window before its Default().
    pWnd->m_bEraseNested = TRUE;
    COLORREF cr;
    EXPECT_EQ(1, EraseOverRed(pWnd, &cr));
    EXPECT_EQ(WindowColour(), cr);
    ExpectLog({"OnEraseBkgnd", "OnKeyDown(116)", "OnKeyDown end 0", "OnEraseBkgnd end 1"});

    pWnd->DestroyWindow();
}

// ---------------------------------------------------------------------------
// Exceptions stop at the window procedure

TEST(framework_wnd, AnExceptionInAHandlerCompletesTheMessageByDefault)
{
    CDefaultTestWnd* pWnd = CreateFrame<CDefaultTestWnd>();
    ASSERT_NE(nullptr, pWnd);
    HWND hWnd = pWnd->m_hWnd;
    Settle();

    for (int nKind = 1; nKind <= 3; ++nKind) {
        SCOPED_TRACE(nKind);
        g_log.clear();
        g_nExceptionsDeleted = 0;

        // The erase throws before it could erase: the default one runs.
        pWnd->m_nThrowOnErase = nKind;
        COLORREF cr;
        EXPECT_EQ(1, EraseOverRed(pWnd, &cr));
        EXPECT_EQ(WindowColour(), cr);
        pWnd->m_nThrowOnErase = 0;

        // The paint throws before its Default(): the default paint still
        // validates, or the paints would never stop.
        pWnd->m_nThrowOnPaint = nKind;
        pWnd->m_nPaints = 0;
        InvalidateRect(hWnd, nullptr, FALSE);
        Settle();
        EXPECT_EQ(1, pWnd->m_nPaints);
        EXPECT_FALSE(GetUpdateRect(hWnd, nullptr, FALSE));
        pWnd->m_nThrowOnPaint = 0;

        // A nested message that throws leaves the outer one intact.
        pWnd->m_bEraseNested = TRUE;
        pWnd->m_nThrowOnKey = nKind;
        EXPECT_EQ(1, EraseOverRed(pWnd, &cr));
        EXPECT_EQ(WindowColour(), cr);
        pWnd->m_bEraseNested = FALSE;
        pWnd->m_nThrowOnKey = 0;

        ExpectLog({"OnEraseBkgnd", "OnPaint", "OnEraseBkgnd", "OnKeyDown(116)",
                   "OnEraseBkgnd end 1"});
        // Each framework exception is deleted where it was stopped.
        EXPECT_EQ(nKind == 1 ? 3 : 0, g_nExceptionsDeleted);
    }

    // The window still works as before.
    EXPECT_EQ(0, pWnd->SendMessage(WM_KEYDOWN, VK_F6, 1));
    ExpectLog({"OnKeyDown(117)", "OnKeyDown end 0"});
    pWnd->DestroyWindow();
}

// ---------------------------------------------------------------------------
// The frame window: its class, its life, its run-time class

int g_nFramesDeleted = 0;

class CCountedFrame : public CFrameWnd {
public:
    ~CCountedFrame() override { ++g_nFramesDeleted; }
};

TEST(framework_wnd, DefaultFrameClassHasTheFrameworkStylesBrushAndCursor)
{
    CCountedFrame* pFirst = CreateFrame<CCountedFrame>();
    CCountedFrame* pSecond = CreateFrame<CCountedFrame>(FALSE);
    ASSERT_NE(nullptr, pFirst);
    ASSERT_NE(nullptr, pSecond);
    HWND hWnd = pFirst->m_hWnd;

    EXPECT_EQ(static_cast<ULONG_PTR>(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW),
              GetClassLongPtrA(hWnd, GCL_STYLE));
    EXPECT_EQ(static_cast<ULONG_PTR>(COLOR_WINDOW + 1), GetClassLongPtrA(hWnd, GCLP_HBRBACKGROUND));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW))),
              GetClassLongPtrA(hWnd, GCLP_HCURSOR));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(AfxWndProc), GetClassLongPtrA(hWnd, GCLP_WNDPROC));
    // One class, registered once, serves every frame.
    EXPECT_EQ(GetClassWord(hWnd, GCW_ATOM), GetClassWord(pSecond->m_hWnd, GCW_ATOM));

    // A frame that is not the application's main window goes with its window
    // and leaves the message loop running.
    g_nFramesDeleted = 0;
    HWND hSecond = pSecond->m_hWnd;
    pSecond->SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(hSecond));
    EXPECT_EQ(1, g_nFramesDeleted);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hSecond));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    pFirst->DestroyWindow();
    EXPECT_EQ(2, g_nFramesDeleted);
}

// A window class of the test's own whose windows fail their creation at one
// message, after the framework's procedure has handled it: the object is then
// linked, and the system destroys the window before CreateWindowEx returns.
UINT g_nFailAt;
CWnd* g_pLinkedAtFailure;
bool g_bNcDestroySeen;

LRESULT CALLBACK FailingCreateProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT lResult = AfxWndProc(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        g_bNcDestroySeen = true;
    if (message != g_nFailAt)
        return lResult;
    g_pLinkedAtFailure = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    return message == WM_CREATE ? -1 : FALSE;
}

TEST(framework_wnd, AFailedCreationLeavesTheFrameToItsCaller)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FailingCreateProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FrameworkTestFailsCreation";
    ASSERT_TRUE(RegisterClassA(&wc));

    struct {
        const char* pszWhen;
        LPCSTR lpszClassName;
        UINT nFailAt;
        bool bLinked;  // the framework had linked the object when it failed
    } const cases[] = {
        {"WM_CREATE answers -1", wc.lpszClassName, WM_CREATE, true},
        {"WM_NCCREATE answers FALSE", wc.lpszClassName, WM_NCCREATE, true},
        {"no such class", "FrameworkTestNoSuchClass", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszWhen);
        g_nFailAt = c.nFailAt;
        g_pLinkedAtFailure = nullptr;
        g_bNcDestroySeen = false;
        g_nFramesDeleted = 0;
        auto* pFrame = new CCountedFrame;
        EXPECT_FALSE(pFrame->Create(c.lpszClassName, "framework test", WS_POPUP, kRect));
        EXPECT_EQ(c.bLinked ? pFrame : nullptr, g_pLinkedAtFailure);
        EXPECT_EQ(c.bLinked, g_bNcDestroySeen);
        // The object outlives the failure, unlinked, for its caller to delete.
        ASSERT_EQ(0, g_nFramesDeleted) << "the frame was deleted inside Create";
        EXPECT_EQ(nullptr, pFrame->m_hWnd);
        delete pFrame;
        EXPECT_EQ(1, g_nFramesDeleted);
        MSG msg;
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    }
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

// Clicks twice, quickly, at a point of the screen, as real input.
void DoubleClickAt(int x, int y)
{
    SetCursorPos(x, y);
    INPUT inputs[4] = {};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = (i % 2 == 0) ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    SendInput(4, inputs, sizeof(INPUT));
}

TEST(framework_wnd, ADoubleClickArrivesAsSuchOnlyWhereTheClassAsksForIt)
{
    // A class of the test's own, the same as the frame's but without
    // CS_DBLCLKS, to see the difference the style makes.
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = "FrameworkTestNoDblClks";
    ASSERT_TRUE(RegisterClassA(&wc));

    struct {
        LPCSTR lpszClassName;
        std::vector<UINT> expected;
    } const cases[] = {
        {nullptr, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        {wc.lpszClassName, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lpszClassName ? c.lpszClassName : "default frame class");
        CDerivedTestWnd* pWnd =
            CreateFrame<CDerivedTestWnd>(TRUE, c.lpszClassName);
        ASSERT_NE(nullptr, pWnd);
        Settle();
        g_buttonMessages.clear();
        g_log.clear();

        DoubleClickAt(kRect.left + 30, kRect.top + 20);
        EXPECT_TRUE(PumpUntil([] { return g_buttonMessages.size() >= 4; }));
        Settle();
        EXPECT_EQ(c.expected, g_buttonMessages);
        // The map's handlers see the single clicks; the double click has no
        // entry and goes to the default procedure.
        const std::string down = "base OnLButtonDown(0x1,30,20)";
        const std::string up = "derived OnLButtonUp(0,30,20)";
        std::vector<std::string> handled;
        for (const std::string& line : g_log) {
            if (line.find("OnLButton") != std::string::npos)
                handled.push_back(line);
        }
        if (c.lpszClassName == nullptr)
            EXPECT_EQ((std::vector<std::string>{down, up, up}), handled);
        else
            EXPECT_EQ((std::vector<std::string>{down, up, down, up}), handled);
        pWnd->DestroyWindow();
    }
}

class CNamedFrame : public CFrameWnd {
    DECLARE_DYNAMIC(CNamedFrame)
};
IMPLEMENT_DYNAMIC(CNamedFrame, CFrameWnd)

TEST(framework_wnd, RuntimeClassNamesTheClassAndItsBases)
{
    CNamedFrame frame;
    CFrameWnd plainFrame;
    CWnd wnd;
    const CObject* objects[] = {&frame, &plainFrame, &wnd};
    const char* const expected[] = {
        "CNamedFrame CFrameWnd CWnd CObject",
        "CFrameWnd CWnd CObject",
        "CWnd CObject",
    };
    for (int i = 0; i < 3; ++i) {
        std::string chain;
        for (const CRuntimeClass* p = objects[i]->GetRuntimeClass(); p; p = p->m_pBaseClass)
            chain += (chain.empty() ? "" : " ") + std::string(p->m_lpszClassName);
        EXPECT_EQ(expected[i], chain);
    }
    EXPECT_EQ(RUNTIME_CLASS(CFrameWnd), frame.GetRuntimeClass()->m_pBaseClass);
}

}  // namespace
