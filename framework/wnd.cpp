#include "framework/afxwin.h"

const CRuntimeClass CObject::classCObject = {"CObject", nullptr};
const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }
IMPLEMENT_DYNAMIC(CWnd, CObject)
IMPLEMENT_DYNAMIC(CFrameWnd, CWnd)

namespace {

// The message each window procedure call is handling, innermost first; a
// handler that causes another message (a paint inside a paint) pushes one more,
// so Default() always sees its own message.
struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const CurrentMessage* pOuter;
};
thread_local const CurrentMessage* t_pCurrent = nullptr;

const char kFrameClass[] = "AfxFrameOrView";

}  // namespace

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP messageMap = {nullptr, nullptr};
    return &messageMap;
}
const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    // Only windows made through CreateEx carry our procedure and object.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) != AfxWndProc)
        return nullptr;
    return reinterpret_cast<CWnd*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

LRESULT CWnd::Default()
{
    const CurrentMessage* pMsg = t_pCurrent;
    if (pMsg == nullptr || pMsg->hWnd != m_hWnd)
        return 0;
    return DefWindowProcA(pMsg->hWnd, pMsg->message, pMsg->wParam, pMsg->lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The most derived map first, then each base in turn.
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry && pEntry->nMessage; ++pEntry) {
            if (pEntry->nMessage == message)
                return pEntry->pfn(this, wParam, lParam);
        }
    }
    return Default();
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName,
                    DWORD dwStyle, const RECT& rect, HWND hWndParent)
{
    // A creation that fails after WM_NCCREATE still ends in WM_NCDESTROY,
    // before CreateWindowEx returns. The object must outlive that, as it does
    // an early failure: a frame made in its own constructor would otherwise be
    // deleted while that constructor and its creator still hold it.
    m_bCreating = TRUE;
    HWND hWnd = CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle,
                                rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, hWndParent, nullptr,
                                GetModuleHandleA(nullptr), this);
    m_bCreating = FALSE;
    return hWnd != nullptr;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* pNew = static_cast<CWnd*>(pCreate->lpCreateParams);
        pNew->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pNew));
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find no object yet.
    auto* pWnd = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pWnd == nullptr)
        return DefWindowProcA(hWnd, message, wParam, lParam);

    const CurrentMessage current = {hWnd, message, wParam, lParam, t_pCurrent};
    t_pCurrent = &current;
    LRESULT lResult;
    // No exception may cross into the system: the message then completes
    // with its default result.
    try {
        lResult = pWnd->WindowProc(message, wParam, lParam);
    } catch (CException* e) {
        e->Delete();
        lResult = DefWindowProcA(hWnd, message, wParam, lParam);
    } catch (...) {
        lResult = DefWindowProcA(hWnd, message, wParam, lParam);
    }
    t_pCurrent = current.pOuter;

    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        pWnd->m_hWnd = nullptr;
        CWinThread* pThread = AfxGetThread();
        if (pThread != nullptr && pThread->m_pMainWnd == pWnd) {
            pThread->m_pMainWnd = nullptr;
            PostQuitMessage(0);
        }
        if (!pWnd->m_bCreating)
            pWnd->PostNcDestroy();
    }
    return lResult;
}

BOOL CFrameWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                       const RECT& rect, CWnd* pParentWnd, LPCSTR lpszMenuName,
                       DWORD dwExStyle)
{
    (void)lpszMenuName;  // the launcher's frame has no menu
    if (lpszClassName == nullptr) {
        WNDCLASSA wc = {};
        HINSTANCE hInstance = GetModuleHandleA(nullptr);
        if (!GetClassInfoA(hInstance, kFrameClass, &wc)) {
            wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
            wc.lpfnWndProc = AfxWndProc;
            wc.hInstance = hInstance;
            wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
            wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
            wc.lpszClassName = kFrameClass;
            if (!RegisterClassA(&wc))
                return FALSE;
        }
        lpszClassName = kFrameClass;
    }
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect,
                    pParentWnd ? pParentWnd->m_hWnd : nullptr);
}

void CFrameWnd::OnActivate(UINT, CWnd*, BOOL)
{
    // The system's own activation handling: it gives the frame the focus.
    Default();
}
