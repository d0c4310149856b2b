// The program's entry point. Kept apart from the rest of the framework so that
// test programs, which bring their own main, can link the framework too.
#include "framework/afxwin.h"
#include "framework/sysdll.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    // Before anything can load a library by name.
    NarrowLibrarySearch();
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;
    if (!pApp->InitInstance()) {
        if (pApp->m_pMainWnd != nullptr)
            pApp->m_pMainWnd->DestroyWindow();
        return 0;
    }
    return pApp->Run();
}
