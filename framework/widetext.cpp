// The wide calls, found at run time: the import table keeps to the calls
// that every Windows from 95 on has in full.
#include "framework/afxwin.h"

#include "framework/sysdll.h"
#include "framework/winver.h"

bool SystemTakesWideText() { return ReadWindowsVersion(GetVersion()).bNT; }

void CWnd::SetWideWindowText(LPCWSTR lpszText)
{
    if (!SystemTakesWideText())
        return;
    const auto pfnDefWindowProcW =
        SystemFunction<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>("user32.dll", "DefWindowProcW");
    if (pfnDefWindowProcW != nullptr)
        pfnDefWindowProcW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpszText));
}

HWND AfxFindWindow(LPCSTR lpszTitle, LPCWSTR lpszWideTitle)
{
    const auto pfnFindWindowW = SystemTakesWideText()
        ? SystemFunction<HWND(WINAPI*)(LPCWSTR, LPCWSTR)>("user32.dll", "FindWindowW")
        : nullptr;
    return pfnFindWindowW != nullptr ? pfnFindWindowW(nullptr, lpszWideTitle)
                                     : FindWindowA(nullptr, lpszTitle);
}
