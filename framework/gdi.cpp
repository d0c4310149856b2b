#include "framework/afxwin.h"

CPalette::~CPalette()
{
    if (m_hObject != nullptr)
        DeleteObject(m_hObject);
}

BOOL CPalette::CreatePalette(const LOGPALETTE* lpLogPalette)
{
    return Attach(::CreatePalette(lpLogPalette));
}

BOOL CPalette::Attach(HPALETTE hPalette)
{
    if (hPalette == nullptr)
        return FALSE;
    if (m_hObject != nullptr)
        DeleteObject(m_hObject);
    m_hObject = hPalette;
    return TRUE;
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr)
{
    m_hDC = GetDC(m_hWnd);
    if (m_hDC == nullptr)
        throw new CResourceException;
}

CClientDC::~CClientDC() { ReleaseDC(m_hWnd, m_hDC); }

CPaletteSelect::CPaletteSelect(HDC hDC, HPALETTE hPalette, BOOL bForceBackground)
    : m_hDC(hDC), m_hPrevious(SelectPalette(hDC, hPalette, bForceBackground))
{
}

CPaletteSelect::~CPaletteSelect()
{
    if (m_hPrevious != nullptr)
        SelectPalette(m_hDC, m_hPrevious, TRUE);
}
