// The buttons that hand the user over to another program, or end the launcher.
#include "frame/mainframe.h"

#include "actions/readme_cmdline.h"
#include "app/launcher_app.h"
#include "app/paths.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOA) == 68, "the start-up information of a 32-bit program");
#endif

namespace {

// Every start alike: only the size in the start-up information, so the program
// shows itself its own way; nothing inherited; the system's default error
// mode; the launcher's environment and current directory. Nobody waits.
BOOL StartProgram(LPCSTR lpszProgram, LPSTR lpszCommandLine)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(lpszProgram, lpszCommandLine, nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &si, &pi))
        return FALSE;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return TRUE;
}

}  // namespace

void CMainFrame::OnInstall()
{
    // A bare name: the system looks in the current directory only.
    if (!StartProgram("setup.exe", nullptr)) {
        const DWORD dwError = GetLastError();
        LPSTR pszText = nullptr;
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
        char szFallback[80];
        std::snprintf(szFallback, sizeof szFallback,
                      "Setup could not be started (error %lu).", dwError);
        MessageBoxA(m_hWnd, pszText ? pszText : szFallback, "Setup.exe",
                    MB_OK | MB_ICONINFORMATION);
        LocalFree(pszText);
    }
    // Only now: the launcher stays until the user has seen the failure.
    g_bCloseRequested = true;
}

void CMainFrame::OnReadme()
{
    const DWORD cchDirectory = GetCurrentDirectoryA(0, nullptr);
    if (cchDirectory == 0)
        return;
    std::string directory(cchDirectory, '\0');
    const DWORD cchRead = GetCurrentDirectoryA(cchDirectory, &directory[0]);
    if (cchRead == 0 || cchRead >= cchDirectory)
        return;
    directory.resize(cchRead);
    // The file is named from where the launcher was; WordPad runs in the game's
    // folder, and the launcher stays there.
    std::string commandLine = ReadmeCommandLine(directory.c_str());
    SetCurrentDirectoryA(g_szGamePath);
    if (!commandLine.empty())
        StartProgram(nullptr, &commandLine[0]);
}

void CMainFrame::OnPlay()
{
    SetCurrentDirectoryA(g_szGamePath);
    StartProgram("zorvex.exe", nullptr);
    g_bCloseRequested = true;
}

void CMainFrame::OnExit() { g_bCloseRequested = true; }

void CMainFrame::OnUninstall()
{
    // The system may write into the command line it is given.
    char szCommand[kRegistryBufferSize];
    std::memcpy(szCommand, g_szUninstallCmd, sizeof szCommand);
    StartProgram(nullptr, szCommand);
    g_bCloseRequested = true;
}
