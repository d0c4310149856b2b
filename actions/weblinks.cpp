// The buttons that open web pages.
#include "actions/weblinks.h"

#include "actions/shell_messages.h"
#include "frame/mainframe.h"

#include <shellapi.h>

int OpenWebLink(const char* pszAddress)
{
    const auto nResult = static_cast<int32_t>(reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", pszAddress, nullptr, nullptr, SW_SHOW)));
    if (const char* pszMessage = ShellErrorMessage(nResult))
        AfxMessageBox(pszMessage, MB_ICONHAND);
    return nResult;
}

void CMainFrame::OnDirectX()
{
    OpenWebLink("http://www.microsoft.com/directx/homeuser/downloads/default.asp");
}

void CMainFrame::OnGamePage() { OpenWebLink("http://www.quillspire.example/zephrane/"); }

void CMainFrame::OnPublisherSite() { OpenWebLink("http://www.quillspire.example"); }

void CMainFrame::OnDeveloperSite() { OpenWebLink("http://www.vexmoor.example/"); }

void CMainFrame::OnLicensorSite() { OpenWebLink("http://www.orlenk.example/"); }
