// The buttons that hand the user over to another program, or end the launcher.
#include "frame/mainframe.h"

#include "actions/command_line.h"
#include "actions/readme_cmdline.h"
#include "app/launcher_app.h"
#include "app/paths.h"
#include "framework/sysdll.h"
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

bool IsFile(const std::string& path)
{
    const DWORD dwAttributes = GetFileAttributesA(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder the system names, without a trailing backslash unless it is a
// drive's root; empty when the system cannot say.
std::string SystemFolder(UINT (WINAPI* pfnGet)(LPSTR, UINT))
{
    char szFolder[MAX_PATH];
    const UINT cchFolder = pfnGet(szFolder, MAX_PATH);
    return cchFolder == 0 || cchFolder >= MAX_PATH ? std::string() : std::string(szFolder, cchFolder);
}

// The folders a plain process start searches for a program of that name, in
// its order: the launcher's own folder, the current directory, the system
// folders, the Windows folder, then PATH. A search with no path of its own
// would take the current directory after the system's folders, as the
// system's safe search mode has it, and hand the shell another file than the
// one the plain start found.
std::string ProgramSearchPath(const std::string& name)
{
    std::string path;
    auto add = [&path](const std::string& folder) {
        if (folder.empty())
            return;
        if (!path.empty())
            path += ';';
        path += folder;
    };
    char szModule[MAX_PATH];
    const DWORD cchModule = GetModuleFileNameA(nullptr, szModule, MAX_PATH);
    if (cchModule != 0 && cchModule < MAX_PATH) {
        // The last backslash that is a character of its own (see PathInFolder).
        const char* pszSlash = nullptr;
        for (const char* p = szModule; *p != '\0'; p = CharNextA(p))
            if (*p == '\\')
                pszSlash = p;
        if (pszSlash != nullptr)
            add(std::string(szModule, size_t(pszSlash - szModule)));
    }
    // Where the machine's policy leaves the current directory out of the
    // search for programs (NoDefaultCurrentDirectoryInExePath, Vista on), the
    // plain start leaves it out too.
    const auto pfnNeedCurrentDirectory =
        SystemFunction<BOOL(WINAPI*)(LPCSTR)>("kernel32.dll", "NeedCurrentDirectoryForExePathA");
    if (pfnNeedCurrentDirectory == nullptr || pfnNeedCurrentDirectory(name.c_str()))
        add(CurrentDirectory());
    add(SystemFolder(GetSystemDirectoryA));
    // The 16-bit system folder, which no call names; on Windows 95 to ME it
    // is the system folder itself.
    const std::string windows = SystemFolder(GetWindowsDirectoryA);
    if (!windows.empty())
        add(PathInFolder(windows, "System", CharNextA));
    add(windows);
    const DWORD cchPath = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (cchPath != 0) {
        std::string variable(cchPath, '\0');
        const DWORD cchRead = GetEnvironmentVariableA("PATH", &variable[0], cchPath);
        if (cchRead != 0 && cchRead < cchPath)
            add(variable.substr(0, cchRead));
    }
    return path;
}

// The file the system finds for a program name: completed with ".exe" when
// it has no extension, and searched for where a plain start searches when
// the name has no path.
std::string FindProgram(const std::string& name)
{
    const std::string searchPath = ProgramSearchPath(name);
    char szFound[MAX_PATH];
    const DWORD cchFound =
        SearchPathA(searchPath.c_str(), name.c_str(), ".exe", MAX_PATH, szFound, nullptr);
    if (cchFound == 0 || cchFound >= MAX_PATH || !IsFile(szFound))
        return std::string();
    return szFound;
}

// Opens a file with its type's default verb, in the given directory (the
// system's choice when empty), owned by the launcher window so that a
// consent prompt comes to the front. Nothing of the shell's own is shown on
// failure: the caller decides what the user sees. The start itself is
// awaited, since the launcher may end right after; the program never is,
// and no handle to it is asked for.
BOOL ShellOpen(HWND hWndOwner, LPCSTR lpszFile, LPCSTR lpszParameters, const std::string& directory)
{
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = hWndOwner;
    // Not "open": a type's default verb may be another, and a program has
    // "open" as its default.
    sei.lpVerb = nullptr;
    sei.lpFile = lpszFile;
    sei.lpParameters = lpszParameters;
    sei.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    // The show state a program gets when its starter passes none.
    sei.nShow = SW_SHOWDEFAULT;
    const CDefaultLibrarySearch search;
    return ShellExecuteExA(&sei);
}

// Since Windows Vista a plain process start cannot raise a program to
// administrator rights: a setup or uninstaller whose manifest asks for them
// is refused with ERROR_ELEVATION_REQUIRED, and only the shell takes it
// through the consent prompt. The same program goes to the shell instead,
// found as the plain start found it, with the same arguments, in the same
// directory. Fails with the shell's error.
BOOL StartThroughShell(HWND hWndOwner, LPCSTR lpszProgram, const std::string& commandLine)
{
    const std::string directory = CurrentDirectory();
    if (lpszProgram != nullptr) {
        // A bare name: the current directory decides, and nothing else.
        char szFull[MAX_PATH];
        const DWORD cchFull = GetFullPathNameA(lpszProgram, MAX_PATH, szFull, nullptr);
        if (cchFull == 0 || cchFull >= MAX_PATH)
            return FALSE;
        return ShellOpen(hWndOwner, szFull, nullptr, directory);
    }
    for (const ProgramCandidate& candidate : ProgramCandidates(commandLine)) {
        const std::string program = FindProgram(candidate.name);
        if (!program.empty())
            return ShellOpen(hWndOwner, program.c_str(),
                             candidate.arguments.empty() ? nullptr : candidate.arguments.c_str(),
                             directory);
    }
    SetLastError(ERROR_ELEVATION_REQUIRED);
    return FALSE;
}

// Notepad on a file, from the Windows folder, where every Windows keeps it:
// by a bare name the system would look in the launcher's folder and the
// current directory first, and a notepad.exe there would be started in its
// place. The bare name only where the Windows folder has none.
std::string NotepadCommandLine(const std::string& file)
{
    const std::string windows = SystemFolder(GetWindowsDirectoryA);
    const std::string notepad =
        windows.empty() ? std::string() : PathInFolder(windows, "notepad.exe", CharNextA);
    const std::string program = IsFile(notepad) ? "\"" + notepad + "\"" : "notepad.exe";
    return program + " \"" + file + "\"";
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
    BOOL bStarted;
    {
        const CDefaultLibrarySearch search;
        bStarted = CreateProcessA(lpszProgram, lpszCommandLine, nullptr, nullptr, FALSE,
                                  CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &si, &pi);
    }
    if (bStarted) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return TRUE;
    }
    if (GetLastError() != ERROR_ELEVATION_REQUIRED)
        return FALSE;
    return StartThroughShell(hWndOwner, lpszProgram, commandLine);
}

}  // namespace

BOOL StartProgramByName(HWND hWndOwner, LPCSTR lpszName)
{
    // Without a command line the system gives the program its name as one,
    // unquoted, and a game named "Storm Haven.exe" would read two arguments:
    // such a name goes as a quoted command line too. (Wine quotes it itself;
    // Windows does not.)
    std::string commandLine;
    // (The identity file lets no tab into a name.)
    if (std::strchr(lpszName, ' ') != nullptr)
        commandLine = std::string("\"") + lpszName + "\"";
    return StartProgram(hWndOwner, lpszName, commandLine.empty() ? nullptr : &commandLine[0]);
}

void CMainFrame::OnInstall()
{
    if (!StartProgramByName(m_hWnd, "setup.exe")) {
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
    // The file is named from where the launcher was; its program runs in the
    // game's folder, and the launcher stays there.
    std::string commandLine = ReadmeCommandLine(directory.c_str());
    SetCurrentDirectoryA(g_szGamePath);
    if (commandLine.empty() || StartProgram(m_hWnd, nullptr, &commandLine[0]))
        return;
    // WordPad lived at that place only on Windows 95 to ME. Where it cannot
    // be started, the read-me goes to the user's own program for text files,
    // and where the shell cannot open it for any reason (no program, one that
    // has since been uninstalled, an incomplete entry), to Notepad, which
    // every Windows has. Only the user's own refusal of a consent prompt ends
    // the attempt, and a read-me that is not there: Notepad would offer to
    // create it.
    if (GetLastError() == ERROR_CANCELLED)
        return;
    const std::string readme = ReadmeFilePath(directory, CharNextA);
    if (!IsFile(readme))
        return;
    if (ShellOpen(m_hWnd, readme.c_str(), nullptr, CurrentDirectory()) ||
        GetLastError() == ERROR_CANCELLED)
        return;
    std::string notepad = NotepadCommandLine(readme);
    StartProgram(m_hWnd, nullptr, &notepad[0]);
}

void CMainFrame::OnPlay()
{
    SetCurrentDirectoryA(g_szGamePath);
    StartProgramByName(m_hWnd, ZEPH_GAME);
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
