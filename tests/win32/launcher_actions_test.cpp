// The buttons that start programs, with real process starts: a probe program,
// copied to where setup, the game, the uninstaller and WordPad are looked
// for, records how it was started.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

const char kWordPadFolder[] = "C:\\Program Files\\Accessories";
const char kWordPad[] = "C:\\Program Files\\Accessories\\WORDPAD.EXE";

// The probe standing in for WordPad at its fixed place, for the test's life.
class CWordPad {
public:
    CWordPad()
    {
        m_bMadeFolder = CreateDirectoryA(kWordPadFolder, nullptr) != FALSE;
        if (GetFileAttributesA(kWordPad) != INVALID_FILE_ATTRIBUTES)
            throw std::runtime_error("the test prefix already has a WordPad at the fixed place");
        CopyProbeTo(kWordPad);
    }
    CWordPad(const CWordPad&) = delete;
    CWordPad& operator=(const CWordPad&) = delete;
    ~CWordPad()
    {
        DeleteFileA(kWordPad);
        if (m_bMadeFolder)
            RemoveDirectoryA(kWordPadFolder);
    }

private:
    bool m_bMadeFolder;
};

std::string SystemText(DWORD dwError)
{
    LPSTR pszText = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
    std::string text = pszText ? pszText : "";
    LocalFree(pszText);
    return text;
}

// Started by program name alone, the system makes the command line from the
// name itself, which it may put in quotes: no arguments of the launcher's.
bool IsBareName(const std::string& commandLine, const std::string& name)
{
    return commandLine == name || commandLine == "\"" + name + "\"";
}

std::string ReadmeLine(const std::string& directory)
{
    return std::string("\"") + kWordPad + "\" \"" + directory + "\\readme.txt\"";
}

// Nothing started: no probe writes within a generous time.
void ExpectNothingStarted(const CProbeLog& log)
{
    EXPECT_FALSE(log.WaitForRecords(1, 1500)) << "started: " << log.Records()[0].commandLine;
}

// Every CreateProcessA of the launcher's code, as it was called; the call goes
// on to the system, so the probe still records what the start did.
struct CStartCall {
    bool bProgram;
    std::string program;
    bool bCommandLine;
    std::string commandLine;
    bool bSecurity;  // either security attributes given
    BOOL bInheritHandles;
    DWORD dwCreationFlags;
    bool bEnvironment, bDirectory;
    DWORD cbStartup;
    bool bStartupZero;  // every field but the size
};
std::vector<CStartCall> g_starts;
CImportPatch* g_pCreateProcess;
// The library search's changes and the starts, in their order.
std::vector<std::string> g_searchLog;
// Makes the system's answer to a start what Windows would answer: an error
// code to fail the call with, or 0 to let it go on.
std::function<DWORD(const CStartCall&)> g_refuse;

BOOL WINAPI SpyCreateProcessA(LPCSTR lpszProgram, LPSTR lpszCommandLine,
                              LPSECURITY_ATTRIBUTES pProcess, LPSECURITY_ATTRIBUTES pThread,
                              BOOL bInheritHandles, DWORD dwFlags, LPVOID pEnvironment,
                              LPCSTR lpszDirectory, LPSTARTUPINFOA pStartup,
                              LPPROCESS_INFORMATION pInformation)
{
    const STARTUPINFOA& si = *pStartup;
    const bool bZero = !si.lpReserved && !si.lpDesktop && !si.lpTitle && !si.dwX && !si.dwY &&
                       !si.dwXSize && !si.dwYSize && !si.dwXCountChars && !si.dwYCountChars &&
                       !si.dwFillAttribute && !si.dwFlags && !si.wShowWindow && !si.cbReserved2 &&
                       !si.lpReserved2 && !si.hStdInput && !si.hStdOutput && !si.hStdError;
    g_starts.push_back(CStartCall{lpszProgram != nullptr, lpszProgram ? lpszProgram : "",
                                  lpszCommandLine != nullptr,
                                  lpszCommandLine ? lpszCommandLine : "",
                                  pProcess != nullptr || pThread != nullptr, bInheritHandles,
                                  dwFlags, pEnvironment != nullptr, lpszDirectory != nullptr,
                                  si.cb, bZero});
    g_searchLog.push_back("start");
    if (const DWORD dwError = g_refuse ? g_refuse(g_starts.back()) : 0) {
        SetLastError(dwError);
        return FALSE;
    }
    const auto pfnReal = reinterpret_cast<decltype(&CreateProcessA)>(g_pCreateProcess->Original());
    return pfnReal(lpszProgram, lpszCommandLine, pProcess, pThread, bInheritHandles, dwFlags,
                   pEnvironment, lpszDirectory, pStartup, pInformation);
}

// The parameters every start shares: nothing inherited, the system's default
// error mode and nothing else, the launcher's environment and directory, and
// start-up information that holds its size alone.
void ExpectSharedParameters(const CStartCall& call)
{
    EXPECT_FALSE(call.bSecurity);
    EXPECT_FALSE(call.bInheritHandles);
    EXPECT_EQ(call.dwCreationFlags, DWORD(CREATE_DEFAULT_ERROR_MODE));
    EXPECT_FALSE(call.bEnvironment);
    EXPECT_FALSE(call.bDirectory);
    EXPECT_EQ(call.cbStartup, DWORD(sizeof(STARTUPINFOA)));
    EXPECT_TRUE(call.bStartupZero);
}

// One start by program name alone: a bare name and no command line.
void ExpectStartedByName(const std::string& name)
{
    ASSERT_EQ(g_starts.size(), 1u);
    EXPECT_TRUE(g_starts[0].bProgram);
    EXPECT_EQ(g_starts[0].program, name);
    EXPECT_FALSE(g_starts[0].bCommandLine) << g_starts[0].commandLine;
    ExpectSharedParameters(g_starts[0]);
    g_starts.clear();
}

// One start by command line alone.
void ExpectStartedByCommandLine(const std::string& commandLine)
{
    ASSERT_EQ(g_starts.size(), 1u);
    EXPECT_FALSE(g_starts[0].bProgram) << g_starts[0].program;
    EXPECT_EQ(g_starts[0].commandLine, commandLine);
    ExpectSharedParameters(g_starts[0]);
    g_starts.clear();
}

// Every ShellExecuteExA of the launcher's code, as it was called, with the
// COM apartment the calling thread was in. It goes on to the real shell
// unless a test makes it fail.
struct CShellCall {
    HWND hWndOwner;
    ULONG fMask;
    std::string file, parameters, directory;
    bool bParameters;
    // CoInitialize's answer on that thread: S_FALSE where a single-threaded
    // apartment was already there.
    HRESULT hrApartment;
};
std::vector<CShellCall> g_shellCalls;
CImportPatch* g_pShellExecute;
DWORD g_dwShellFails;  // 0: the real shell answers

BOOL WINAPI SpyShellExecuteExA(SHELLEXECUTEINFOA* pInfo)
{
    const HRESULT hrApartment = CoInitialize(nullptr);
    if (SUCCEEDED(hrApartment))
        CoUninitialize();
    g_shellCalls.push_back(CShellCall{pInfo->hwnd, pInfo->fMask,
                                      pInfo->lpFile ? pInfo->lpFile : "",
                                      pInfo->lpParameters ? pInfo->lpParameters : "",
                                      pInfo->lpDirectory ? pInfo->lpDirectory : "",
                                      pInfo->lpParameters != nullptr, hrApartment});
    g_searchLog.push_back("shell start");
    if (g_dwShellFails != 0) {
        SetLastError(g_dwShellFails);
        return FALSE;
    }
    const auto pfnReal =
        reinterpret_cast<decltype(&ShellExecuteExA)>(g_pShellExecute->Original());
    return pfnReal(pInfo);
}

// Windows' answer to a plain start of a program that asks for administrator
// rights, which Wine, running everything elevated, never gives.
const DWORD kElevationRequired = 740;
DWORD RefuseAsUnelevated(const CStartCall&) { return kElevationRequired; }

// One start through the shell, as the launcher window's own, in the given
// directory, from the single-threaded apartment that a COM handler of the
// file's type needs. The start is awaited, since the launcher may end right
// after; the shell shows no box of its own, as the launcher decides what the
// user sees; and no handle to the program is asked for, which nobody would
// close.
void ExpectShellStart(HWND hWndOwner, const std::string& file, const char* pszParameters,
                      const std::string& directory)
{
    ASSERT_EQ(g_shellCalls.size(), 1u);
    const CShellCall call = g_shellCalls[0];
    g_shellCalls.clear();
    EXPECT_EQ(call.hWndOwner, hWndOwner);
    EXPECT_TRUE(SamePath(call.file, file)) << call.file;
    EXPECT_EQ(call.bParameters, pszParameters != nullptr);
    EXPECT_EQ(call.parameters, pszParameters ? pszParameters : "");
    EXPECT_TRUE(SamePath(call.directory, directory)) << call.directory;
    EXPECT_EQ(call.hrApartment, S_FALSE) << "no single-threaded apartment: " << std::hex
                                         << call.hrApartment;
    EXPECT_TRUE(call.fMask & SEE_MASK_NOASYNC) << "the start is not awaited";
    EXPECT_TRUE(call.fMask & SEE_MASK_FLAG_NO_UI) << "the shell may show its own box";
    EXPECT_FALSE(call.fMask & SEE_MASK_NOCLOSEPROCESS) << "a process handle nobody closes";
}

class LauncherActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLauncherGlobals();
        g_starts.clear();
        g_shellCalls.clear();
        g_searchLog.clear();
        g_refuse = nullptr;
        g_dwShellFails = 0;
        g_pCreateProcess = &m_createProcess;
        g_pShellExecute = &m_shellExecute;
        ASSERT_TRUE(m_createProcess.Installed());
        ASSERT_TRUE(m_shellExecute.Installed());
    }
    void TearDown() override
    {
        // Where the plain start did its work, the shell has none.
        EXPECT_TRUE(g_shellCalls.empty()) << g_shellCalls.size() << " starts through the shell";
        g_pCreateProcess = nullptr;
        g_pShellExecute = nullptr;
        g_refuse = nullptr;
        ResetLauncherGlobals();
    }

    CLauncherKeys m_keys;
    CProbeLog m_log;
    CImportPatch m_createProcess{"kernel32.dll", "CreateProcessA",
                                 reinterpret_cast<void*>(&SpyCreateProcessA)};
    CImportPatch m_shellExecute{"shell32.dll", "ShellExecuteExA",
                                reinterpret_cast<void*>(&SpyShellExecuteExA)};
};

TEST_F(LauncherActions, InstallWithoutSetupShowsTheSystemsTextThenAsksToClose)
{
    CDiscFolder disc;
    CLauncherWindow window;
    std::vector<CSeenBox> seen;
    {
        CBoxWatcher watcher;
        window->OnInstall();
        seen = watcher.Seen();
    }
    ExpectStartedByName("setup.exe");
    ASSERT_EQ(seen.size(), 1u) << "one box";
    EXPECT_EQ(seen[0].caption, "Setup.exe");
    EXPECT_EQ(seen[0].text, SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(seen[0].text.empty());
    EXPECT_EQ(seen[0].hWndOwner, window.Hwnd());
    EXPECT_EQ(seen[0].hIcon, LoadIconA(nullptr, IDI_INFORMATION)) << "the information icon";
    EXPECT_FALSE(seen[0].bCloseRequestedWhenSeen) << "the close request came before the box";
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_TRUE(window.Alive()) << "the window closes at the next idle moment, not here";
    ExpectNothingStarted(m_log);
}

// A bare "setup.exe" runs from the current directory, which it gets as its
// own, with no start-up flags.
TEST_F(LauncherActions, InstallStartsSetupFromTheCurrentDirectory)
{
    CDiscFolder disc;
    CopyProbeTo(disc.File("setup.exe"));
    CLauncherWindow window;
    {
        CBoxWatcher watcher;
        window->OnInstall();
        EXPECT_TRUE(watcher.Seen().empty()) << "a box for a start that worked";
    }
    ExpectStartedByName("setup.exe");
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    const CProbeRecord record = m_log.Records()[0];
    EXPECT_TRUE(SamePath(record.module, disc.File("setup.exe"))) << record.module;
    EXPECT_TRUE(IsBareName(record.commandLine, "setup.exe")) << record.commandLine;
    EXPECT_TRUE(SamePath(record.directory, disc.Path())) << record.directory;
    EXPECT_EQ(record.ulStartupFlags, 0ul);
    EXPECT_TRUE(SamePath(CurrentDirectory(), disc.Path()));
}

// Play changes to the game directory when it can and starts "zorvex.exe" from
// whatever directory is then current; it asks to close in every case.
TEST_F(LauncherActions, PlayStartsTheGameFromItsDirectory)
{
    CDiscFolder disc;
    const std::string game = disc.MakeFolder("Zorvex Game");
    CopyProbeTo(game + "\\zorvex.exe");
    CopyProbeTo(disc.File("zorvex.exe"));
    CLauncherWindow window;
    CBoxWatcher watcher;

    std::strcpy(g_szGamePath, game.c_str());
    window->OnPlay();
    ExpectStartedByName("zorvex.exe");
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    CProbeRecord record = m_log.Records()[0];
    EXPECT_TRUE(SamePath(record.module, game + "\\zorvex.exe")) << record.module;
    EXPECT_TRUE(IsBareName(record.commandLine, "zorvex.exe")) << record.commandLine;
    EXPECT_TRUE(SamePath(record.directory, game)) << record.directory;
    EXPECT_EQ(record.ulStartupFlags, 0ul);
    EXPECT_TRUE(SamePath(CurrentDirectory(), game)) << "the launcher stays in the game directory";

    // An empty game path leaves the directory, and the game found there runs.
    SetCurrentDirectoryA(disc.Path().c_str());
    g_bCloseRequested = false;
    g_szGamePath[0] = '\0';
    window->OnPlay();
    ExpectStartedByName("zorvex.exe");
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(2));
    record = m_log.Records()[1];
    EXPECT_TRUE(SamePath(record.module, disc.File("zorvex.exe"))) << record.module;
    EXPECT_TRUE(SamePath(record.directory, disc.Path()));
    EXPECT_TRUE(SamePath(CurrentDirectory(), disc.Path()));

    // A vanished game directory, and no game where the launcher is: nothing
    // runs, nothing is said, and the launcher still asks to close.
    const std::string gone = disc.MakeFolder("gone");
    RemoveTree(gone);
    disc.Remove("zorvex.exe");
    std::strcpy(g_szGamePath, gone.c_str());
    g_bCloseRequested = false;
    window->OnPlay();
    ExpectStartedByName("zorvex.exe");
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_TRUE(SamePath(CurrentDirectory(), disc.Path()));
    EXPECT_FALSE(m_log.WaitForRecords(3, 1500));

    // A game whose name holds a blank gets it as one argument: unquoted,
    // "Storm Haven.exe" would read "Storm" and "Haven.exe".
    CopyProbeTo(game + "\\Storm Haven.exe");
    SetCurrentDirectoryA(game.c_str());
    EXPECT_TRUE(StartProgramByName(window.Hwnd(), "Storm Haven.exe"));
    ASSERT_EQ(g_starts.size(), 1u);
    EXPECT_EQ(g_starts[0].program, "Storm Haven.exe");
    EXPECT_EQ(g_starts[0].commandLine, "\"Storm Haven.exe\"");
    ExpectSharedParameters(g_starts[0]);
    ASSERT_TRUE(m_log.WaitForRecords(3));
    record = m_log.Records()[2];
    EXPECT_TRUE(SamePath(record.module, game + "\\Storm Haven.exe")) << record.module;
    EXPECT_EQ(record.commandLine, "\"Storm Haven.exe\"");
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_TRUE(window.Alive());
}

// The stored command runs as it stands, quotes and arguments included, from
// the launcher's current directory; an empty one starts nothing, silently.
TEST_F(LauncherActions, UninstallRunsTheStoredCommandUnchanged)
{
    CDiscFolder disc;
    const std::string game = disc.MakeFolder("Zorvex Game");
    const std::string uninstaller = disc.MakeFolder("Zorvex Game\\un install") + "\\unins 000.exe";
    CopyProbeTo(uninstaller);
    const std::string command = "\"" + uninstaller + "\" /SILENT \"log file.txt\"  --keep=1";
    CLauncherWindow window;
    CBoxWatcher watcher;
    std::strcpy(g_szUninstallCmd, command.c_str());
    // An installed game's folder, which uninstall leaves alone.
    std::strcpy(g_szGamePath, game.c_str());

    window->OnUninstall();
    ExpectStartedByCommandLine(command);
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    const CProbeRecord record = m_log.Records()[0];
    EXPECT_EQ(record.commandLine, command);
    EXPECT_TRUE(SamePath(record.module, uninstaller)) << record.module;
    EXPECT_TRUE(SamePath(record.directory, disc.Path()));
    EXPECT_EQ(record.ulStartupFlags, 0ul);
    EXPECT_EQ(std::string(g_szUninstallCmd), command);
    EXPECT_TRUE(SamePath(CurrentDirectory(), disc.Path()));

    g_szUninstallCmd[0] = '\0';
    g_bCloseRequested = false;
    window->OnUninstall();
    ExpectStartedByCommandLine("");
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_FALSE(m_log.WaitForRecords(2, 1500));
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_TRUE(window.Alive());
}

TEST_F(LauncherActions, ExitOnlyAsksToClose)
{
    CDiscFolder disc;
    CLauncherWindow window;
    window->OnExit();
    EXPECT_TRUE(g_starts.empty());
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_TRUE(window.Alive());
    ExpectNothingStarted(m_log);
}

// From start-up on, the launcher's thread is in a single-threaded apartment,
// which a COM handler of the shell needs (every start through the shell
// checks it); it leaves it when its message loop ends.
TEST_F(LauncherActions, ComLastsFromStartUpToTheEndOfTheMessageLoop)
{
    CDiscFolder disc;
    CLauncherWindow window;
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "no apartment after start-up";
    CoUninitialize();
    window->OnExit();
    theApp.Run();
    EXPECT_FALSE(window.Alive());
    const HRESULT hr = CoInitialize(nullptr);
    EXPECT_EQ(hr, S_OK) << "the apartment outlived the message loop";
    if (SUCCEEDED(hr))
        CoUninitialize();
}

// A press acts on the button the last pointer move found, not on where the
// press lands: before the first move a click on exit does nothing; after a
// move onto exit the same click closes.
TEST_F(LauncherActions, AClickBeforeAnyPointerMoveDoesNothing)
{
    CDiscFolder disc;
    // The real pointer away from the window, so that no move of its own comes.
    ASSERT_TRUE(SetCursorPos(0, 0));
    CLauncherWindow window;
    const LPARAM lExit = MAKELPARAM(562, 334);
    SendMessageA(window.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, lExit);
    EXPECT_EQ(window->m_nPressed, 0);
    SendMessageA(window.Hwnd(), WM_LBUTTONUP, 0, lExit);
    EXPECT_FALSE(g_bCloseRequested);

    SendMessageA(window.Hwnd(), WM_MOUSEMOVE, 0, lExit);
    SendMessageA(window.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, lExit);
    EXPECT_EQ(window->m_nPressed, 9);
    SendMessageA(window.Hwnd(), WM_LBUTTONUP, 0, lExit);
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_TRUE(g_starts.empty());
    ExpectNothingStarted(m_log);
}

// Read-me names the file from the current directory as it was, then moves to
// the game directory, where WordPad runs and the launcher stays.
TEST_F(LauncherActions, ReadmeOpensTheFileOfTheDirectoryItWasIn)
{
    CWordPad wordpad;
    CDiscFolder disc;
    const std::string game = disc.MakeFolder("Zorvex Game");
    CLauncherWindow window;
    CBoxWatcher watcher;
    std::strcpy(g_szGamePath, game.c_str());

    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(disc.Path()));
    ASSERT_TRUE(m_log.WaitForRecords(1));
    CProbeRecord record = m_log.Records()[0];
    EXPECT_TRUE(SamePath(record.module, kWordPad)) << record.module;
    EXPECT_EQ(record.commandLine, ReadmeLine(disc.Path()));
    EXPECT_TRUE(SamePath(record.directory, game));
    EXPECT_EQ(record.ulStartupFlags, 0ul);
    EXPECT_TRUE(SamePath(CurrentDirectory(), game));

    // The second press starts from the game directory.
    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(game));
    ASSERT_TRUE(m_log.WaitForRecords(2));
    record = m_log.Records()[1];
    EXPECT_EQ(record.commandLine, ReadmeLine(game));
    EXPECT_TRUE(SamePath(record.directory, game));

    EXPECT_FALSE(g_bCloseRequested) << "read-me leaves the launcher open";
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_TRUE(window.Alive());
}

TEST_F(LauncherActions, ReadmeFromADriveRootHasTwoBackslashes)
{
    CWordPad wordpad;
    CDiscFolder disc;
    CLauncherWindow window;
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    window->OnReadme();
    ASSERT_TRUE(m_log.WaitForRecords(1));
    const CProbeRecord record = m_log.Records()[0];
    EXPECT_EQ(record.commandLine, std::string("\"") + kWordPad + "\" \"C:\\\\readme.txt\"");
    EXPECT_TRUE(SamePath(record.directory, "C:\\")) << "an empty game path moves nowhere";
    EXPECT_TRUE(SamePath(CurrentDirectory(), "C:\\"));
    EXPECT_FALSE(g_bCloseRequested);
}

// A directory longer than the 207 characters a fixed buffer would hold is
// named in full.
TEST_F(LauncherActions, ReadmeFromALongDirectoryNamesItInFull)
{
    CWordPad wordpad;
    CDiscFolder disc;
    std::string relative;
    while (disc.Path().size() + 1 + relative.size() < 230)
        relative += (relative.empty() ? "" : "\\") + std::string(40, char('a' + relative.size() % 26));
    const std::string deep = disc.MakeFolder(relative);
    ASSERT_GT(deep.size(), 207u);
    CLauncherWindow window;
    ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
    window->OnReadme();
    ASSERT_TRUE(m_log.WaitForRecords(1));
    const CProbeRecord record = m_log.Records()[0];
    EXPECT_EQ(record.commandLine, ReadmeLine(deep));
    EXPECT_TRUE(SamePath(record.directory, deep));
    SetCurrentDirectoryA(disc.Path().c_str());
}

// ---------------------------------------------------------------------------
// On Windows since Vista, with its consent prompt

// A setup that asks for administrator rights goes through the shell's prompt,
// as the launcher window's own; when the shell fails too, its error is the
// one the box shows, and a declined prompt shows none. The launcher asks to
// close after each, as after any install.
TEST_F(LauncherActions, ElevatedSetupGoesThroughTheConsentPrompt)
{
    CDiscFolder disc;
    CopyProbeTo(disc.File("setup.exe"));
    CLauncherWindow window;
    CBoxWatcher watcher;
    g_refuse = RefuseAsUnelevated;

    window->OnInstall();
    ExpectStartedByName("setup.exe");
    ExpectShellStart(window.Hwnd(), disc.File("setup.exe"), nullptr, disc.Path());
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    const CProbeRecord record = m_log.Records()[0];
    EXPECT_TRUE(SamePath(record.module, disc.File("setup.exe"))) << record.module;
    EXPECT_TRUE(SamePath(record.directory, disc.Path())) << record.directory;
    EXPECT_TRUE(watcher.Seen().empty()) << "a box for a start that worked";

    // The shell cannot start it either: its reason, not the plain start's.
    disc.Remove("setup.exe");
    g_bCloseRequested = false;
    window->OnInstall();
    ExpectStartedByName("setup.exe");
    ExpectShellStart(window.Hwnd(), disc.File("setup.exe"), nullptr, disc.Path());
    PumpUntil([&] { return !watcher.Seen().empty(); }, 2000);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    const CSeenBox box = watcher.Seen()[0];
    EXPECT_EQ(box.caption, "Setup.exe");
    EXPECT_EQ(box.text, SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(box.text, SystemText(kElevationRequired));
    EXPECT_EQ(box.hWndOwner, window.Hwnd());
    EXPECT_FALSE(box.bCloseRequestedWhenSeen) << "the close request came before the box";
    EXPECT_TRUE(g_bCloseRequested);

    // The user declines the prompt: that needs no box.
    CopyProbeTo(disc.File("setup.exe"));
    g_dwShellFails = ERROR_CANCELLED;
    g_bCloseRequested = false;
    window->OnInstall();
    ExpectStartedByName("setup.exe");
    ExpectShellStart(window.Hwnd(), disc.File("setup.exe"), nullptr, disc.Path());
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_EQ(watcher.Seen().size(), 1u) << "a box for a declined prompt";
    EXPECT_TRUE(window.Alive());
    EXPECT_EQ(m_log.Records().size(), 1u);
}

// The game and the uninstaller the same way: the game from its folder; the
// stored command split into program and arguments. After a declined prompt
// the launcher asks to close all the same.
TEST_F(LauncherActions, ElevatedPlayAndUninstallGoThroughTheShellSilently)
{
    CDiscFolder disc;
    const std::string game = disc.MakeFolder("Zorvex Game");
    CopyProbeTo(game + "\\zorvex.exe");
    const std::string uninstaller = game + "\\unins 000.exe";
    CopyProbeTo(uninstaller);
    CLauncherWindow window;
    g_refuse = RefuseAsUnelevated;

    std::strcpy(g_szGamePath, game.c_str());
    window->OnPlay();
    ExpectStartedByName("zorvex.exe");
    ExpectShellStart(window.Hwnd(), game + "\\zorvex.exe", nullptr, game);
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    EXPECT_TRUE(SamePath(m_log.Records()[0].module, game + "\\zorvex.exe"));
    EXPECT_TRUE(SamePath(m_log.Records()[0].directory, game));

    SetCurrentDirectoryA(disc.Path().c_str());
    const std::string command = uninstaller + " /S \"log file.txt\"";
    std::strcpy(g_szUninstallCmd, command.c_str());
    g_bCloseRequested = false;
    window->OnUninstall();
    ExpectStartedByCommandLine(command);
    ExpectShellStart(window.Hwnd(), uninstaller, "/S \"log file.txt\"", disc.Path());
    EXPECT_TRUE(g_bCloseRequested);
    ASSERT_TRUE(m_log.WaitForRecords(2));
    EXPECT_TRUE(SamePath(m_log.Records()[1].module, uninstaller));
    EXPECT_TRUE(SamePath(m_log.Records()[1].directory, disc.Path()));
    EXPECT_EQ(std::string(g_szUninstallCmd), command);

    g_dwShellFails = ERROR_CANCELLED;
    g_bCloseRequested = false;
    window->OnUninstall();
    ExpectStartedByCommandLine(command);
    ExpectShellStart(window.Hwnd(), uninstaller, "/S \"log file.txt\"", disc.Path());
    EXPECT_TRUE(g_bCloseRequested);
    EXPECT_TRUE(window.Alive());
}

// Where the launcher could narrow the library search only by leaving the
// current directory out (XP SP1 to 7 without the update of 2011), which
// every program it starts would inherit, each start is made with the
// system's default search, and the narrowing put back after it.
BOOL WINAPI LoggedSetDllDirectory(LPCSTR lpszDirectory)
{
    g_searchLog.push_back(lpszDirectory == nullptr ? "default search"
                                                   : std::string("search without \"") + lpszDirectory + "\"");
    return TRUE;
}

TEST_F(LauncherActions, ProgramsStartWithTheSystemsDefaultLibrarySearch)
{
    CDiscFolder disc;
    CopyProbeTo(disc.File("setup.exe"));
    CLauncherWindow window;
    {
        CProcAnswers windowsXP({{"SetDefaultDllDirectories", nullptr},
                                {"SetDllDirectoryA", Proc(&LoggedSetDllDirectory)}});
        ASSERT_TRUE(windowsXP.Installed());
        NarrowLibrarySearch();
        window->OnInstall();
        g_refuse = RefuseAsUnelevated;
        window->OnInstall();
    }
    const std::string narrowed = "search without \"\"";
    EXPECT_EQ((std::vector<std::string>{narrowed, "default search", "start", narrowed, "default search", "start",
                                        narrowed, "default search", "shell start", narrowed}),
              g_searchLog);
    EXPECT_TRUE(m_log.WaitForRecords(2));
    g_starts.clear();
    g_shellCalls.clear();
    // No narrowing to undo around the starts of the tests after this one.
    CProcAnswers windows95({{"SetDefaultDllDirectories", nullptr}, {"SetDllDirectoryA", nullptr}});
    NarrowLibrarySearch();
}

// A probe at a place outside the test's folders, for the test's life.
class CProbeAt {
public:
    explicit CProbeAt(std::string path) : m_path(std::move(path)) { CopyProbeTo(m_path); }
    CProbeAt(const CProbeAt&) = delete;
    CProbeAt& operator=(const CProbeAt&) = delete;
    ~CProbeAt() { DeleteFileA(m_path.c_str()); }

private:
    std::string m_path;
};

std::string WindowsFolder()
{
    char szFolder[MAX_PATH];
    const UINT cch = GetWindowsDirectoryA(szFolder, MAX_PATH);
    return cch != 0 && cch < MAX_PATH ? szFolder : "";
}

// SearchPathA as Windows has it since safe search became its default: the
// current directory after the system's folders. Wine searches it second, as
// a plain start does, which would hide a search in the wrong order.
class CSafeSearchMode {
public:
    CSafeSearchMode()
    {
        m_pfnSet = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetSearchPathMode")));
        if (m_pfnSet == nullptr || !m_pfnSet(0x1 /* BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE */))
            throw std::runtime_error("no safe search mode for SearchPathA");
    }
    CSafeSearchMode(const CSafeSearchMode&) = delete;
    CSafeSearchMode& operator=(const CSafeSearchMode&) = delete;
    ~CSafeSearchMode() { m_pfnSet(0x10000 /* BASE_SEARCH_PATH_DISABLE_SAFE_SEARCHMODE */); }

private:
    BOOL(WINAPI* m_pfnSet)(DWORD);
};

// The shell is handed the program that the plain start runs for the same
// command line, and the arguments that follow it: a quoted name whole; an
// unquoted one word by word, the shortest run that names an existing
// program, ".exe" added where no extension is given; a bare name searched
// for where the plain start searches, the current directory before the
// Windows folder, or not at all where the machine's policy says so
// (NoDefaultCurrentDirectoryInExePath, which the system's
// NeedCurrentDirectoryForExePathA reads).
TEST_F(LauncherActions, TheShellStartsWhatThePlainStartWouldHave)
{
    CDiscFolder disc;
    const std::string folder = disc.MakeFolder("Zorvex Game\\un install");
    CopyProbeTo(folder + "\\unins 000.exe");
    CopyProbeTo(folder + "\\setup.exe");
    CopyProbeTo(disc.File("zephunin.exe"));
    const CProbeAt inWindows(WindowsFolder() + "\\zephunin.exe");
    const CSafeSearchMode safeSearch;
    CLauncherWindow window;
    struct CCase {
        std::string command, module, arguments;
        bool bNoCurrentDirectory = false;
    };
    const std::vector<CCase> cases = {
        {folder + "\\unins 000.exe /S", folder + "\\unins 000.exe", "/S"},
        {"\"" + folder + "\\unins 000.exe\"  /SILENT \"log file.txt\"", folder + "\\unins 000.exe",
         "/SILENT \"log file.txt\""},
        {folder + "\\setup -x", folder + "\\setup.exe", "-x"},
        {folder + "\\unins 000.exe", folder + "\\unins 000.exe", ""},
        // With an "unins.exe" beside it, the system takes the shorter name.
        {folder + "\\unins 000.exe /S", folder + "\\unins.exe", "000.exe /S"},
        // In the current directory and in the Windows folder alike.
        {"zephunin /S", disc.File("zephunin.exe"), "/S"},
        {"zephunin /S", WindowsFolder() + "\\zephunin.exe", "/S", true},
    };
    size_t nRecords = 0;
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.command);
        if (c.module == folder + "\\unins.exe")
            CopyProbeTo(c.module);
        std::strcpy(g_szUninstallCmd, c.command.c_str());
        SetEnvironmentVariableA("NoDefaultCurrentDirectoryInExePath", c.bNoCurrentDirectory ? "1" : nullptr);

        g_refuse = nullptr;
        window->OnUninstall();
        ExpectStartedByCommandLine(c.command);
        ASSERT_TRUE(m_log.WaitForRecords(++nRecords));
        const CProbeRecord plain = m_log.Records()[nRecords - 1];
        EXPECT_TRUE(SamePath(plain.module, c.module)) << plain.module;

        g_refuse = RefuseAsUnelevated;
        window->OnUninstall();
        ExpectStartedByCommandLine(c.command);
        ExpectShellStart(window.Hwnd(), c.module, c.arguments.empty() ? nullptr : c.arguments.c_str(),
                         disc.Path());
        ASSERT_TRUE(m_log.WaitForRecords(++nRecords));
        const CProbeRecord shell = m_log.Records()[nRecords - 1];
        EXPECT_TRUE(SamePath(shell.module, plain.module)) << shell.module;
    }
    SetEnvironmentVariableA("NoDefaultCurrentDirectoryInExePath", nullptr);
}

// ---------------------------------------------------------------------------
// Read-me where WordPad is not at its Windows 95 place

const char kTextType[] = "Software\\Classes\\.txt";
const char kTextClass[] = "Software\\Classes\\ZephraneTest.TextFile";

// The prefix's program for text files: none, or the one a test names, for
// the test's life.
class CTextHandler {
public:
    explicit CTextHandler(const CLauncherKeys& keys) : m_keys(keys)
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTextType, 0, KEY_QUERY_VALUE, &hKey) == ERROR_SUCCESS) {
            RegCloseKey(hKey);
            throw std::runtime_error("the test prefix already has a program for text files");
        }
    }
    CTextHandler(const CTextHandler&) = delete;
    CTextHandler& operator=(const CTextHandler&) = delete;
    ~CTextHandler() { Clear(); }

    // ".txt" files go to the probe under the verb, the type's default.
    void PointAtProbe(const std::string& verb = "open") const
    {
        Clear();
        m_keys.SetString(kTextType, nullptr, "ZephraneTest.TextFile");
        m_keys.SetString((std::string(kTextClass) + "\\shell").c_str(), nullptr, verb);
        m_keys.SetString((std::string(kTextClass) + "\\shell\\" + verb + "\\command").c_str(),
                         nullptr, "\"" + ProbePath() + "\" \"%1\"");
    }
    // A type whose class says nothing of how to open it.
    void PointAtEmptyClass() const
    {
        Clear();
        m_keys.SetString(kTextType, nullptr, "ZephraneTest.TextFile");
        m_keys.CreateKey((std::string(kTextClass) + "\\shell").c_str());
    }

private:
    void Clear() const
    {
        m_keys.DeleteKey(kTextType);
        m_keys.DeleteKey(kTextClass);
    }

    const CLauncherKeys& m_keys;
};

// The Notepad windows on the screen, by handle.
std::vector<HWND> NotepadWindows()
{
    std::vector<HWND> found;
    for (HWND hWnd = FindWindowExA(nullptr, nullptr, "Notepad", nullptr); hWnd != nullptr;
         hWnd = FindWindowExA(nullptr, hWnd, "Notepad", nullptr))
        found.push_back(hWnd);
    return found;
}

std::string WindowTitle(HWND hWnd)
{
    char szTitle[512] = {};
    GetWindowTextA(hWnd, szTitle, sizeof szTitle);
    return szTitle;
}

// A visible Notepad window that was not among those before, or null.
HWND NewNotepad(const std::vector<HWND>& before)
{
    for (HWND hWnd : NotepadWindows())
        if (std::find(before.begin(), before.end(), hWnd) == before.end() && IsWindowVisible(hWnd))
            return hWnd;
    return nullptr;
}

// Closes a Notepad window and waits for its program to end: it runs in the
// test's folder.
void CloseNotepad(HWND hNotepad)
{
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hNotepad, &dwProcessId);
    PostMessageA(hNotepad, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return ProcessEnded(dwProcessId); })) << "Notepad did not end";
}

// The read-me comes up in a Notepad window of its own, which is then closed.
void ExpectReadmeInNotepad(const std::vector<HWND>& before)
{
    HWND hNotepad = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (hNotepad = NewNotepad(before)) != nullptr; }))
        << "no Notepad window came";
    // The title follows once the file is read.
    EXPECT_TRUE(PumpUntil([&] { return WindowTitle(hNotepad).find("readme") != std::string::npos; }))
        << WindowTitle(hNotepad);
    CloseNotepad(hNotepad);
}

// No Notepad window comes, in a time in which one does when started. One
// that does is closed, or it would outlive the test.
void ExpectNoNotepad(const std::vector<HWND>& before)
{
    HWND hNotepad = nullptr;
    EXPECT_FALSE(PumpUntil([&] { return (hNotepad = NewNotepad(before)) != nullptr; }, 3000))
        << "a Notepad window opened: " << WindowTitle(hNotepad);
    if (hNotepad != nullptr)
        CloseNotepad(hNotepad);
}

bool StartsNotepad(const CStartCall& call)
{
    return call.commandLine.find("notepad.exe") != std::string::npos;
}

// Without WordPad the read-me goes to the program registered for text files,
// with the file of the directory the launcher was in, and runs in the game's
// folder as WordPad would have; the launcher stays open. The type's default
// verb is the one asked for, whatever its name.
TEST_F(LauncherActions, ReadmeWithoutWordPadOpensTheTextFilesProgram)
{
    CTextHandler handler(m_keys);
    handler.PointAtProbe();
    CDiscFolder disc;
    disc.WriteBytes("readme.txt", {'h', 'i', '\r', '\n'});
    const std::string game = disc.MakeFolder("Zorvex Game");
    disc.WriteBytes("Zorvex Game\\readme.txt", {'h', 'i', '\r', '\n'});
    CLauncherWindow window;
    CBoxWatcher watcher;
    std::strcpy(g_szGamePath, game.c_str());

    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(disc.Path()));
    ExpectShellStart(window.Hwnd(), disc.File("readme.txt"), nullptr, game);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    const CProbeRecord record = m_log.Records()[0];
    EXPECT_TRUE(SamePath(record.module, ProbePath())) << record.module;
    EXPECT_NE(record.commandLine.find(disc.File("readme.txt")), std::string::npos)
        << record.commandLine;
    EXPECT_TRUE(SamePath(record.directory, game)) << record.directory;
    EXPECT_TRUE(SamePath(CurrentDirectory(), game));
    EXPECT_FALSE(g_bCloseRequested);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_TRUE(window.Alive());

    // An editor that registers "edit" alone, as its default: the second
    // press, from the game's folder, opens the game's copy in it.
    handler.PointAtProbe("edit");
    const std::vector<HWND> before = NotepadWindows();
    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(game));
    ExpectShellStart(window.Hwnd(), game + "\\readme.txt", nullptr, game);
    ASSERT_TRUE(m_log.WaitForRecords(2)) << "the editor was not started";
    EXPECT_NE(m_log.Records()[1].commandLine.find(game + "\\readme.txt"), std::string::npos)
        << m_log.Records()[1].commandLine;
    ExpectNoNotepad(before);
    EXPECT_TRUE(watcher.Seen().empty());
}

// With no program for text files either, Notepad opens the read-me in a
// window of its own: the one in the Windows folder, not a notepad.exe in the
// game's folder, which is the current directory by then. Where Notepad
// cannot be started, or there is no read-me, nothing is shown; the launcher
// stays open and has moved to the game's folder all the same.
TEST_F(LauncherActions, ReadmeWithoutWordPadOrTextProgramOpensNotepad)
{
    CTextHandler handler(m_keys);
    CDiscFolder disc;
    disc.WriteBytes("readme.txt", {'h', 'i', '\r', '\n'});
    const std::string game = disc.MakeFolder("Zorvex Game");
    CopyProbeTo(game + "\\notepad.exe");
    CLauncherWindow window;
    CBoxWatcher watcher;
    std::strcpy(g_szGamePath, game.c_str());

    std::vector<HWND> before = NotepadWindows();
    window->OnReadme();
    ASSERT_EQ(g_starts.size(), 2u);
    EXPECT_EQ(g_starts[0].commandLine, ReadmeLine(disc.Path()));
    EXPECT_TRUE(StartsNotepad(g_starts[1])) << g_starts[1].commandLine;
    ExpectSharedParameters(g_starts[1]);
    g_starts.clear();
    ExpectShellStart(window.Hwnd(), disc.File("readme.txt"), nullptr, game);
    ExpectReadmeInNotepad(before);
    EXPECT_TRUE(m_log.Records().empty()) << "started in Notepad's place: " << m_log.Records()[0].module;
    EXPECT_TRUE(SamePath(CurrentDirectory(), game));

    // Not even Notepad: silence. (Notepad's going made the launcher active
    // again, and its lookup found no game in the registry.)
    ASSERT_TRUE(SetCurrentDirectoryA(disc.Path().c_str()));
    std::strcpy(g_szGamePath, game.c_str());
    g_refuse = [](const CStartCall& call) { return StartsNotepad(call) ? DWORD(ERROR_FILE_NOT_FOUND) : 0; };
    before = NotepadWindows();
    window->OnReadme();
    ASSERT_EQ(g_starts.size(), 2u);
    EXPECT_TRUE(StartsNotepad(g_starts[1])) << g_starts[1].commandLine;
    g_starts.clear();
    ExpectShellStart(window.Hwnd(), disc.File("readme.txt"), nullptr, game);
    ExpectNoNotepad(before);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_FALSE(g_bCloseRequested);
    EXPECT_TRUE(window.Alive());
    EXPECT_TRUE(SamePath(CurrentDirectory(), game));

    // No read-me: no editor is asked to open a file that is not there.
    g_refuse = nullptr;
    ASSERT_TRUE(SetCurrentDirectoryA(disc.Path().c_str()));
    disc.Remove("readme.txt");
    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(disc.Path()));
    EXPECT_TRUE(g_shellCalls.empty());
    ExpectNoNotepad(before);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_TRUE(window.Alive());
    EXPECT_TRUE(m_log.Records().empty());
}

// A ".txt" entry that names no way to open the file: the shell fails, and
// Notepad opens the read-me all the same (an entry whose program has been
// uninstalled is the end-to-end tier's). Only the user's own refusal of a
// consent prompt is taken as the last word.
TEST_F(LauncherActions, ReadmeWithABrokenTextEntryOpensNotepad)
{
    CTextHandler handler(m_keys);
    handler.PointAtEmptyClass();
    CDiscFolder disc;
    disc.WriteBytes("readme.txt", {'h', 'i', '\r', '\n'});
    CLauncherWindow window;
    CBoxWatcher watcher;

    std::vector<HWND> before = NotepadWindows();
    window->OnReadme();
    ASSERT_EQ(g_starts.size(), 2u);
    EXPECT_TRUE(StartsNotepad(g_starts[1])) << g_starts[1].commandLine;
    g_starts.clear();
    ExpectShellStart(window.Hwnd(), disc.File("readme.txt"), nullptr, disc.Path());
    ExpectReadmeInNotepad(before);

    handler.PointAtProbe();
    g_dwShellFails = ERROR_CANCELLED;
    before = NotepadWindows();
    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(disc.Path()));
    ExpectShellStart(window.Hwnd(), disc.File("readme.txt"), nullptr, disc.Path());
    ExpectNoNotepad(before);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_FALSE(g_bCloseRequested);
    EXPECT_TRUE(window.Alive());
}

// WordPad that needs the prompt goes through the shell with the read-me as
// its argument, in the game's folder.
TEST_F(LauncherActions, ElevatedWordPadGoesThroughTheShell)
{
    CWordPad wordpad;
    CDiscFolder disc;
    const std::string game = disc.MakeFolder("Zorvex Game");
    CLauncherWindow window;
    std::strcpy(g_szGamePath, game.c_str());
    g_refuse = RefuseAsUnelevated;
    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(disc.Path()));
    const std::string argument = "\"" + disc.File("readme.txt") + "\"";
    ExpectShellStart(window.Hwnd(), kWordPad, argument.c_str(), game);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    EXPECT_TRUE(SamePath(m_log.Records()[0].module, kWordPad));
    EXPECT_TRUE(SamePath(m_log.Records()[0].directory, game));
    EXPECT_FALSE(g_bCloseRequested);
}

}  // namespace
