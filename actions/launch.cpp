// The buttons that hand the user over to another program, or end the launcher.
#include "frame/mainframe.h"

#include "actions/command_line.h"
#include "actions/readme_cmdline.h"
#include "app/launcher_app.h"
#include "app/paths.h"
#include "identity.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOA) == 68, "the start-up information of a 32-bit program");
#endif

// Windows Vista's answer to a plain start of a program that asks for
// administrator rights; MinGW's headers do not name it.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

namespace {

std::string CurrentDirectory()
{
    const DWORD cchDirectory = GetCurrentDirectoryA(0, nullptr);
    if (cchDirectory == 0)
        return std::string();
    std::string directory(cchDirectory, '\0');
    const DWORD cchRead = GetCurrentDirectoryA(cchDirectory, &directory[0]);
    if (cchRead == 0 || cchRead >= cchDirectory)
        return std::string();
    directory.resize(cchRead);
    return directory;
}

// The file the system finds for a program name: completed with ".exe" when
// it has no extension, and searched for where the system searches when the
// name has no path.
std::string FindProgram(const std::string& name)
{
    char szFound[MAX_PATH];
    const DWORD cchFound = SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, szFound, nullptr);
    if (cchFound == 0 || cchFound >= MAX_PATH)
        return std::string();
    const DWORD dwAttributes = GetFileAttributesA(szFound);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::string();
    return szFound;
}

// Opens a file through the shell, owned by the launcher window so that a
// consent prompt comes to the front. Nothing of the shell's own is shown on
// failure: the caller decides what the user sees. The start itself is
// awaited, since the launcher may end right after; the program never is. A
// file type with no program for it fails with ERROR_NO_ASSOCIATION, which the
// shell's result names on every system while its error code varies.
BOOL ShellOpen(HWND hWndOwner, LPCSTR lpszFile, LPCSTR lpszParameters)
{
    const std::string directory = CurrentDirectory();
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = hWndOwner;
    sei.lpVerb = "open";
    sei.lpFile = lpszFile;
    sei.lpParameters = lpszParameters;
    sei.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    // The show state a program gets when its starter passes none.
    sei.nShow = SW_SHOWDEFAULT;
    if (ShellExecuteExA(&sei))
        return TRUE;
    if (reinterpret_cast<INT_PTR>(sei.hInstApp) == SE_ERR_NOASSOC)
        SetLastError(ERROR_NO_ASSOCIATION);
    return FALSE;
}

// Since Windows Vista a plain process start cannot raise a program to
// administrator rights: a setup or uninstaller that asks for them is refused
// with ERROR_ELEVATION_REQUIRED, and only the shell can take it through the
// consent prompt. The same program then goes to the shell, found as the
// plain start found it, with the same arguments. Fails with the shell's error.
BOOL StartElevated(HWND hWndOwner, LPCSTR lpszProgram, const std::string& commandLine)
{
    if (lpszProgram != nullptr) {
        // A bare name: the current directory decides, and nothing else.
        char szFull[MAX_PATH];
        const DWORD cchFull = GetFullPathNameA(lpszProgram, MAX_PATH, szFull, nullptr);
        if (cchFull == 0 || cchFull >= MAX_PATH)
            return FALSE;
        return ShellOpen(hWndOwner, szFull, nullptr);
    }
    for (const ProgramCandidate& candidate : ProgramCandidates(commandLine)) {
        const std::string program = FindProgram(candidate.name);
        if (!program.empty())
            return ShellOpen(hWndOwner, program.c_str(),
                             candidate.arguments.empty() ? nullptr : candidate.arguments.c_str());
    }
    SetLastError(ERROR_ELEVATION_REQUIRED);
    return FALSE;
}

// Every start alike: only the size in the start-up information, so the program
// shows itself its own way; nothing inherited; the system's default error
// mode; the launcher's environment and current directory. Nobody waits. On
// failure the thread's last error says why the last attempt failed.
BOOL StartProgram(HWND hWndOwner, LPCSTR lpszProgram, LPSTR lpszCommandLine)
{
    // The system may write into the command line: the shell gets it unchanged.
    const std::string commandLine = lpszCommandLine ? lpszCommandLine : "";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(lpszProgram, lpszCommandLine, nullptr, nullptr, FALSE,
                       CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return TRUE;
    }
    if (GetLastError() != ERROR_ELEVATION_REQUIRED)
        return FALSE;
    return StartElevated(hWndOwner, lpszProgram, commandLine);
}

}  // namespace

void CMainFrame::OnInstall()
{
    // A bare name: the system looks in the current directory only.
    if (!StartProgram(m_hWnd, "setup.exe", nullptr)) {
        const DWORD dwError = GetLastError();
        // Whoever declined the consent prompt needs no box to say so.
        if (dwError != ERROR_CANCELLED) {
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
    }
    // Only now: the launcher stays until the user has seen the failure.
    g_bCloseRequested = true;
}

void CMainFrame::OnReadme()
{
    const std::string directory = CurrentDirectory();
    if (directory.empty())
        return;
    // The file is named from where the launcher was; WordPad runs in the game's
    // folder, and the launcher stays there.
    std::string commandLine = ReadmeCommandLine(directory.c_str());
    SetCurrentDirectoryA(g_szGamePath);
    if (commandLine.empty() || StartProgram(m_hWnd, nullptr, &commandLine[0]))
        return;
    // WordPad lived at that place only on Windows 95 to ME. Where it is not,
    // the read-me goes to the user's own program for text files, and where
    // there is none, to Notepad, which every Windows has.
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND)
        return;
    const std::string readme = ReadmeFilePath(directory);
    if (ShellOpen(m_hWnd, readme.c_str(), nullptr) || GetLastError() != ERROR_NO_ASSOCIATION)
        return;
    std::string notepad = "notepad.exe \"" + readme + "\"";
    StartProgram(m_hWnd, nullptr, &notepad[0]);
}

void CMainFrame::OnPlay()
{
    SetCurrentDirectoryA(g_szGamePath);
    StartProgram(m_hWnd, ZEPH_GAME, nullptr);
    g_bCloseRequested = true;
}

void CMainFrame::OnExit() { g_bCloseRequested = true; }

void CMainFrame::OnUninstall()
{
    // The system may write into the command line it is given.
    char szCommand[kRegistryBufferSize];
    std::memcpy(szCommand, g_szUninstallCmd, sizeof szCommand);
    StartProgram(m_hWnd, nullptr, szCommand);
    g_bCloseRequested = true;
}
