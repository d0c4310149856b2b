// Loading the image set and keeping its shared palette.
#include "frame/mainframe.h"

#include <new>

DibHandle CMainFrame::LoadBitmapFile(LPCSTR lpszPath)
{
    CFile file;
    CFileException fileError;
    // A file that cannot be opened leaves the palette of earlier loads in force.
    if (!file.Open(lpszPath, CFile::modeRead | CFile::shareDenyWrite, &fileError))
        return nullptr;
    DibHandle hImage;
    try {
        hImage = ReadBitmapStream(file);
    } catch (CFileException* e) {
        file.Abort();
        e->Delete();
        return nullptr;
    }
    AdoptDibImage(hImage);
    return hImage;
}

void CMainFrame::AdoptDibImage(DibHandle& hImage)
{
    delete m_pPalette;
    m_pPalette = nullptr;
    if (hImage == nullptr)
        return;

    bool bAccepted;
    {
        CDibLock dib(hImage);
        // Top-down images with a Windows header are refused, as are images
        // whose header, colours or rows do not fit in the file.
        bAccepted = dib.Fits() && DibPixelWidth(dib.Data(), dib.Size()) >= 0 &&
                    DibPixelHeight(dib.Data(), dib.Size()) >= 0;
    }
    if (!bAccepted) {
        GlobalFree(hImage);
        hImage = nullptr;
        return;
    }

    m_pPalette = new (std::nothrow) CPalette;
    if (m_pPalette == nullptr) {
        GlobalFree(hImage);
        hImage = nullptr;
        return;
    }
    if (!BuildDibPalette(hImage, *m_pPalette)) {
        delete m_pPalette;
        m_pPalette = nullptr;
    }
}

void CMainFrame::RealizeLauncherPalette(HWND hwndCause)
{
    if (m_hBackground == nullptr || m_pPalette == nullptr)
        return;
    CClientDC dc(this);
    HPALETTE hPrevious =
        SelectPalette(dc.m_hDC, m_pPalette->m_hObject, hwndCause != m_hWnd);
    if (hPrevious != nullptr) {
        RealizePalette(dc.m_hDC);
        SelectPalette(dc.m_hDC, hPrevious, TRUE);
    }
}
