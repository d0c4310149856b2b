// The buttons that open web pages.
#include "actions/weblinks.h"

#include "actions/shell_messages.h"
#include "frame/mainframe.h"
#include "framework/sysdll.h"
#include "identity.h"

#include <shellapi.h>

int OpenWebLink(const char* pszAddress)
{
    int32_t nResult;
    {
        // The browser the shell may start is a program like any other.
        const CDefaultLibrarySearch search;
        nResult = static_cast<int32_t>(reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", pszAddress, nullptr, nullptr, SW_SHOW)));
    }
    if (const char* pszMessage = ShellErrorMessage(nResult))
        AfxMessageBox(pszMessage, MB_ICONHAND);
    return nResult;
}

// The addresses are the disc's identity's.
void CMainFrame::OnDirectX() { OpenWebLink(ZEPH_URL_DIRECTX); }

void CMainFrame::OnGamePage() { OpenWebLink(ZEPH_URL_GAME); }

void CMainFrame::OnPublisherSite() { OpenWebLink(ZEPH_URL_PUBLISHER); }

void CMainFrame::OnDeveloperSite() { OpenWebLink(ZEPH_URL_DEVELOPER); }

void CMainFrame::OnLicensorSite() { OpenWebLink(ZEPH_URL_LICENSOR); }
