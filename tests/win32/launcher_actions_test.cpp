// The buttons that start programs, with real process starts: a probe program,
// copied to where setup, the game, the uninstaller and WordPad are looked
// for, records how it was started.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
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
        Remove();
        if (m_bMadeFolder)
            RemoveDirectoryA(kWordPadFolder);
    }
    void Remove()
    {
        // A probe that has just written may still be on its way out.
        PumpUntil([] {
            return DeleteFileA(kWordPad) || GetFileAttributesA(kWordPad) == INVALID_FILE_ATTRIBUTES;
        }, 5000);
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

class LauncherActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLauncherGlobals();
        g_starts.clear();
        g_pCreateProcess = &m_createProcess;
        ASSERT_TRUE(m_createProcess.Installed());
    }
    void TearDown() override
    {
        g_pCreateProcess = nullptr;
        ResetLauncherGlobals();
    }

    CLauncherKeys m_keys;
    CProbeLog m_log;
    CImportPatch m_createProcess{"kernel32.dll", "CreateProcessA",
                                 reinterpret_cast<void*>(&SpyCreateProcessA)};
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

// No WordPad at its fixed place: nothing is shown, the launcher stays open,
// and its current directory has moved to the game directory all the same.
TEST_F(LauncherActions, ReadmeWithoutWordPadFailsSilently)
{
    CWordPad wordpad;
    wordpad.Remove();
    CDiscFolder disc;
    const std::string game = disc.MakeFolder("Zorvex Game");
    CLauncherWindow window;
    CBoxWatcher watcher;
    std::strcpy(g_szGamePath, game.c_str());
    window->OnReadme();
    ExpectStartedByCommandLine(ReadmeLine(disc.Path()));
    ExpectNothingStarted(m_log);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_FALSE(g_bCloseRequested);
    EXPECT_TRUE(window.Alive());
    EXPECT_TRUE(SamePath(CurrentDirectory(), game));
}

}  // namespace
