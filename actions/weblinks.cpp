// The buttons that open web pages.
#include "actions/weblinks.h"

#include "actions/shell_messages.h"
#include "frame/mainframe.h"
#include "framework/sysdll.h"
#include "identity.h"

#include <shellapi.h>

namespace {

// A message in the disc's own language: the ANSI bytes of its code page and
// UTF-16. Null where the identity gives none, and the English text stands.
struct CTranslation {
    const char* pszText;
    const wchar_t* pszWideText;
};

// In the order of ShellMessage.
const CTranslation kTranslations[kNoShellMessage] = {
    {ZEPH_MESSAGE_OUT_OF_RESOURCES, ZEPH_MESSAGE_OUT_OF_RESOURCES_W},
    {ZEPH_MESSAGE_FILE_NOT_FOUND, ZEPH_MESSAGE_FILE_NOT_FOUND_W},
    {ZEPH_MESSAGE_PATH_NOT_FOUND, ZEPH_MESSAGE_PATH_NOT_FOUND_W},
    {ZEPH_MESSAGE_ACCESS_DENIED, ZEPH_MESSAGE_ACCESS_DENIED_W},
    {ZEPH_MESSAGE_NOT_ENOUGH_MEMORY, ZEPH_MESSAGE_NOT_ENOUGH_MEMORY_W},
    {ZEPH_MESSAGE_INVALID_EXE, ZEPH_MESSAGE_INVALID_EXE_W},
    {ZEPH_MESSAGE_SHARING_VIOLATION, ZEPH_MESSAGE_SHARING_VIOLATION_W},
    {ZEPH_MESSAGE_ASSOCIATION_INCOMPLETE, ZEPH_MESSAGE_ASSOCIATION_INCOMPLETE_W},
    {ZEPH_MESSAGE_DDE_TIMED_OUT, ZEPH_MESSAGE_DDE_TIMED_OUT_W},
    {ZEPH_MESSAGE_DDE_FAILED, ZEPH_MESSAGE_DDE_FAILED_W},
    {ZEPH_MESSAGE_DDE_BUSY, ZEPH_MESSAGE_DDE_BUSY_W},
    {ZEPH_MESSAGE_NO_ASSOCIATION, ZEPH_MESSAGE_NO_ASSOCIATION_W},
    {ZEPH_MESSAGE_DLL_NOT_FOUND, ZEPH_MESSAGE_DLL_NOT_FOUND_W},
    {ZEPH_MESSAGE_UNABLE_TO_JUMP, ZEPH_MESSAGE_UNABLE_TO_JUMP_W},
};

}  // namespace

int OpenWebLink(const char* pszAddress)
{
    int32_t nResult;
    {
        // The browser the shell may start is a program like any other.
        const CDefaultLibrarySearch search;
        nResult = static_cast<int32_t>(reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", pszAddress, nullptr, nullptr, SW_SHOW)));
    }
    const ShellMessage nMessage = ShellErrorMessageOf(nResult);
    if (nMessage == kNoShellMessage)
        return nResult;
    const CTranslation& translation = kTranslations[nMessage];
    if (translation.pszText != nullptr)
        AfxMessageBox(translation.pszText, translation.pszWideText, MB_ICONHAND);
    else
        AfxMessageBox(ShellMessageText(nMessage), MB_ICONHAND);
    return nResult;
}

// The addresses are the disc's identity's.
void CMainFrame::OnDirectX() { OpenWebLink(ZEPH_URL_DIRECTX); }

void CMainFrame::OnGamePage() { OpenWebLink(ZEPH_URL_GAME); }

void CMainFrame::OnPublisherSite() { OpenWebLink(ZEPH_URL_PUBLISHER); }

void CMainFrame::OnDeveloperSite() { OpenWebLink(ZEPH_URL_DEVELOPER); }

void CMainFrame::OnLicensorSite() { OpenWebLink(ZEPH_URL_LICENSOR); }
