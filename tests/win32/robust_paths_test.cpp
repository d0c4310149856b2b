// The launcher started from long directories and directories with spaces:
// read-me names the file of exactly that directory, and install starts the
// program there or shows the box the failed start calls for. The probe
// stands in for WordPad and for setup and records how it was started.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kWordPad[] = "C:\\Program Files\\Accessories\\WORDPAD.EXE";

std::string ReadmeLine(const std::string& directory)
{
    return "\"" + std::string(kWordPad) + "\" \"" + directory + "\\readme.txt\"";
}

// Deletes a file whose name may be longer than the ANSI file functions take.
bool DeleteLongFile(const std::string& path)
{
    std::wstring wide(path.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, path.data(), int(path.size()), &wide[0],
                                           int(wide.size()))));
    return DeleteFileW((L"\\\\?\\" + wide).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The probe reads its own module name into MAX_PATH characters, so only that
// much of a longer one can be compared.
std::string AsRecorded(const std::string& module) { return module.substr(0, MAX_PATH - 1); }

// Makes every missing folder of a path.
bool MakeFolders(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    return GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY;
}

// A directory of exactly nLength characters below base, in folders of at
// most 120 characters; names made of word, with their spaces if it has any.
std::string LongDirectory(const std::string& base, size_t nLength, const std::string& word)
{
    std::string path = base;
    while (path.size() < nLength) {
        const size_t nLeft = nLength - path.size() - 1;
        const size_t nName = nLeft <= 120 ? nLeft : std::min<size_t>(120, nLeft - 2);
        std::string name;
        while (name.size() < nName)
            name += word;
        name.resize(nName);
        // A name cannot end in a space or a dot.
        if (name.back() == ' ' || name.back() == '.')
            name.back() = 'z';
        path += "\\" + name;
    }
    return path;
}

// The probe's records once nCount probes have written and ended, or what
// there is at the deadline.
std::vector<CProbeRecord> RecordsOnceEnded(const CProbeLog& log, size_t nCount)
{
    log.WaitForRecords(nCount);
    return log.Records();
}

// The probe at WordPad's fixed place for as long as the object lives; what
// was there before comes back.
class CWordPadProbe {
public:
    CWordPadProbe()
    {
        m_bMadeFolder = CreateDirectoryA("C:\\Program Files\\Accessories", nullptr) != FALSE;
        m_backup = std::string(kWordPad) + ".robust-backup";
        m_bBackedUp = MoveFileA(kWordPad, m_backup.c_str()) != FALSE;
        m_bReady = CopyFileA(ProbePath().c_str(), kWordPad, FALSE) != FALSE;
    }
    CWordPadProbe(const CWordPadProbe&) = delete;
    CWordPadProbe& operator=(const CWordPadProbe&) = delete;
    ~CWordPadProbe()
    {
        DeleteFileA(kWordPad);
        if (m_bBackedUp)
            MoveFileA(m_backup.c_str(), kWordPad);
        if (m_bMadeFolder)
            RemoveDirectoryA("C:\\Program Files\\Accessories");
    }
    bool Ready() const { return m_bReady; }

private:
    std::string m_backup;
    bool m_bMadeFolder, m_bBackedUp, m_bReady;
};

// A message box captioned "Setup.exe" of the given process, found from
// another thread while the launcher waits in it, its text read, then closed.
class CSetupBoxWatch {
public:
    explicit CSetupBoxWatch(DWORD dwProcess) : m_dwProcess(dwProcess)
    {
        m_thread = std::thread([this] { Watch(); });
    }
    CSetupBoxWatch(const CSetupBoxWatch&) = delete;
    CSetupBoxWatch& operator=(const CSetupBoxWatch&) = delete;
    ~CSetupBoxWatch() { Finish(); }

    // Stops looking, and tells whether a box was found and what it said.
    bool Finish()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_bFound;
    }
    const std::string& Text() const { return m_text; }

private:
    struct CSearch {
        DWORD dwProcess;
        HWND hBox;
    };

    static BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam)
    {
        auto* pSearch = reinterpret_cast<CSearch*>(lParam);
        DWORD dwProcess = 0;
        GetWindowThreadProcessId(hWnd, &dwProcess);
        char szClass[32] = {};
        GetClassNameA(hWnd, szClass, sizeof szClass);
        // Asking a window of this process for its title sends it a message:
        // only a dialog, whose thread runs its own message loop, is asked.
        if (dwProcess != pSearch->dwProcess || std::strcmp(szClass, "#32770") != 0)
            return TRUE;
        char szTitle[32] = {};
        GetWindowTextA(hWnd, szTitle, sizeof szTitle);
        if (std::strcmp(szTitle, "Setup.exe") == 0 && IsWindowVisible(hWnd)) {
            pSearch->hBox = hWnd;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK ReadStatic(HWND hWnd, LPARAM lParam)
    {
        char szClass[32] = {};
        GetClassNameA(hWnd, szClass, sizeof szClass);
        char szText[1024] = {};
        if (_stricmp(szClass, "Static") == 0 && GetWindowTextA(hWnd, szText, sizeof szText) > 0) {
            *reinterpret_cast<std::string*>(lParam) = szText;
            return FALSE;
        }
        return TRUE;
    }

    void Watch()
    {
        // Long enough for a slow start of the box, short enough to end a test
        // whose launcher shows none.
        for (int n = 0; n < 200 && !m_bStop; ++n) {
            CSearch search{m_dwProcess, nullptr};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
            if (search.hBox != nullptr) {
                Sleep(100);  // let the box finish laying out its text
                EnumChildWindows(search.hBox, ReadStatic, reinterpret_cast<LPARAM>(&m_text));
                m_bFound = true;
                PostMessageA(search.hBox, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(25);
        }
    }

    DWORD m_dwProcess;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFound{false};
    std::string m_text;
};

// What the system says when this process starts "setup.exe" by its bare name
// from the current directory: ERROR_SUCCESS when it does start.
DWORD SystemStartsSetup()
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA("setup.exe", nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &si, &pi))
        return GetLastError();
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ERROR_SUCCESS;
}

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

// A message box trims nothing but may lay out its text differently; compare
// what it says, not how its lines end.
std::string Words(const std::string& text)
{
    std::string words;
    for (char c : text) {
        if (c == '\r' || c == '\n')
            continue;
        words += c;
    }
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    return words;
}

struct CDirectoryCase {
    const char* name;
    std::string path;
};

class RobustPaths : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DeleteGameKeys();
        s_cases = {
            {"200 characters", LongDirectory("C:\\robust-paths\\a", 200, "disc0123456789")},
            {"207 characters", LongDirectory("C:\\robust-paths\\b", 207, "disc0123456789")},
            {"208 characters", LongDirectory("C:\\robust-paths\\c", 208, "disc0123456789")},
            // The longest the system keeps as a current directory: MAX_PATH
            // less its closing backslash and terminator. (Wine also takes 259,
            // then overruns its own buffers at the next process start, before
            // any of the launcher's code runs; Windows refuses it.)
            {"258 characters", LongDirectory("C:\\robust-paths\\d", 258, "disc0123456789")},
            {"spaces", "C:\\robust paths\\My Discs\\Zephrane  Demo Disc"},
            {"spaces, 258 characters",
             LongDirectory("C:\\robust paths\\e", 258, "Zephrane Demo ")},
        };
        for (const CDirectoryCase& directory : s_cases)
            MakeFolders(directory.path);
    }

    static void TearDownTestSuite()
    {
        RemoveTree("C:\\robust-paths");
        RemoveTree("C:\\robust paths");
        DeleteGameKeys();
    }

    static void DeleteGameKeys()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof m_szPrevious, m_szPrevious);
        ASSERT_TRUE(m_wordPad.Ready()) << "no probe at WordPad's place";
        for (const CDirectoryCase& directory : s_cases) {
            char szCurrent[600];
            ASSERT_TRUE(SetCurrentDirectoryA(directory.path.c_str())) << directory.name;
            ASSERT_EQ(GetCurrentDirectoryA(sizeof szCurrent, szCurrent), directory.path.size())
                << directory.name << ": the system reports another directory";
        }
        SetCurrentDirectoryA(m_szPrevious);
    }

    void TearDown() override { SetCurrentDirectoryA(m_szPrevious); }

    static std::vector<CDirectoryCase> s_cases;
    char m_szPrevious[MAX_PATH];
    CWordPadProbe m_wordPad;
    CProbeLog m_log;
};

std::vector<CDirectoryCase> RobustPaths::s_cases;

// A launcher window built in this process, the way the application builds
// it; it goes with its window.
class CFrame {
public:
    CFrame() : m_pFrame(new CMainFrame) {}
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;
    ~CFrame()
    {
        if (m_pFrame->m_hWnd != nullptr)
            m_pFrame->DestroyWindow();
        else
            delete m_pFrame;
    }
    CMainFrame* operator->() const { return m_pFrame; }

private:
    CMainFrame* m_pFrame;
};

// Read-me takes the directory as the system reports it, whatever its length,
// and changes to the game's directory only after naming the file.
TEST_F(RobustPaths, ReadmeNamesTheFileOfExactlyThatDirectory)
{
    g_szGamePath[0] = '\0';
    g_bCloseRequested = false;
    CFrame frame;
    size_t nStarts = 0;
    for (const CDirectoryCase& directory : s_cases) {
        SCOPED_TRACE(directory.name);
        ASSERT_TRUE(SetCurrentDirectoryA(directory.path.c_str()));
        frame->OnReadme();
        const std::vector<CProbeRecord> records = RecordsOnceEnded(m_log, ++nStarts);
        ASSERT_EQ(records.size(), nStarts) << "WordPad was not started";
        EXPECT_EQ(records.back().commandLine, ReadmeLine(directory.path));
        EXPECT_EQ(records.back().directory, directory.path) << "no game: WordPad runs here";
        EXPECT_STRCASEEQ(records.back().module.c_str(), kWordPad);
        char szCurrent[600];
        GetCurrentDirectoryA(sizeof szCurrent, szCurrent);
        EXPECT_EQ(std::string(szCurrent), directory.path) << "an empty game path moves nothing";
    }

    // With a game directory of 208 characters, from one of 258.
    const std::string& from = s_cases[3].path;
    const std::string& game = s_cases[2].path;
    lstrcpynA(g_szGamePath, game.c_str(), sizeof g_szGamePath);
    ASSERT_TRUE(SetCurrentDirectoryA(from.c_str()));
    frame->OnReadme();
    const std::vector<CProbeRecord> records = RecordsOnceEnded(m_log, ++nStarts);
    ASSERT_EQ(records.size(), nStarts);
    EXPECT_EQ(records.back().commandLine, ReadmeLine(from));
    EXPECT_EQ(records.back().directory, game);
    char szCurrent[600];
    GetCurrentDirectoryA(sizeof szCurrent, szCurrent);
    EXPECT_EQ(std::string(szCurrent), game);
    EXPECT_FALSE(g_bCloseRequested) << "read-me leaves the launcher open";
    g_szGamePath[0] = '\0';
}

// Install starts setup.exe of the current directory by its bare name, as the
// system completes it there; where the system cannot start it, the box says
// why. Either way the launcher then asks to close.
TEST_F(RobustPaths, InstallStartsSetupOrSaysWhyNot)
{
    CFrame frame;
    size_t nStarts = 0;
    for (bool bWithSetup : {true, false}) {
        for (const CDirectoryCase& directory : s_cases) {
            SCOPED_TRACE(std::string(directory.name) + (bWithSetup ? ", setup" : ", no setup"));
            const std::string setup = directory.path + "\\setup.exe";
            if (bWithSetup)
                ASSERT_TRUE(CopyFileA(ProbePath().c_str(), setup.c_str(), FALSE));
            else
                ASSERT_TRUE(DeleteLongFile(setup));
            ASSERT_TRUE(SetCurrentDirectoryA(directory.path.c_str()));
            const DWORD dwSystem = SystemStartsSetup();
            if (bWithSetup && directory.path.size() <= 200) {
                EXPECT_EQ(dwSystem, DWORD(ERROR_SUCCESS)) << "the system cannot start setup here";
            }

            g_bCloseRequested = false;
            CSetupBoxWatch watch(GetCurrentProcessId());
            frame->OnInstall();
            const bool bBox = watch.Finish();
            EXPECT_TRUE(g_bCloseRequested);
            if (dwSystem == ERROR_SUCCESS) {
                EXPECT_FALSE(bBox) << watch.Text();
                const std::vector<CProbeRecord> records = RecordsOnceEnded(m_log, ++nStarts);
                ASSERT_EQ(records.size(), nStarts) << "setup was not started";
                EXPECT_STRCASEEQ(AsRecorded(records.back().module).c_str(), AsRecorded(setup).c_str());
                EXPECT_EQ(records.back().directory, directory.path);
            } else {
                ASSERT_TRUE(bBox) << "no box for error " << dwSystem;
                EXPECT_EQ(Words(watch.Text()), Words(SystemText(dwSystem)));
                EXPECT_EQ(m_log.Records().size(), nStarts) << "nothing may have started";
            }
        }
    }
}

// The real launcher.exe, started in the longest directories, one of them with
// spaces, its read-me and install buttons pressed through its window.
TEST_F(RobustPaths, TheLauncherProgramInLongDirectories)
{
    const std::string launcher = LauncherPath();
    ASSERT_NE(GetFileAttributesA(launcher.c_str()), INVALID_FILE_ATTRIBUTES) << launcher;
    ASSERT_EQ(FindWindowA(nullptr, "Zephrane Launcher"), nullptr) << "a launcher is running";
    size_t nStarts = 0;
    for (size_t nCase : {size_t(3), size_t(5)}) {
        const CDirectoryCase& directory = s_cases[nCase];
        SCOPED_TRACE(directory.name);
        const std::string setup = directory.path + "\\setup.exe";
        ASSERT_TRUE(CopyFileA(ProbePath().c_str(), setup.c_str(), FALSE));
        ASSERT_TRUE(SetCurrentDirectoryA(directory.path.c_str()));
        const DWORD dwSystem = SystemStartsSetup();
        SetCurrentDirectoryA(m_szPrevious);

        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string commandLine = "launcher.exe";
        ASSERT_TRUE(CreateProcessA(launcher.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, directory.path.c_str(), &si, &pi))
            << GetLastError();
        HWND hWnd = nullptr;
        for (int n = 0; n < 200 && hWnd == nullptr; ++n) {
            Sleep(50);
            HWND hFound = FindWindowA(nullptr, "Zephrane Launcher");
            DWORD dwOwner = 0;
            GetWindowThreadProcessId(hFound, &dwOwner);
            if (hFound != nullptr && dwOwner == pi.dwProcessId)
                hWnd = hFound;
        }
        EXPECT_NE(hWnd, nullptr) << "the launcher's window did not appear";
        if (hWnd != nullptr) {
            // Read-me at (50, 330), then install at (50, 260): a move onto the
            // button, a press and a release on it.
            for (const POINT& pt : {POINT{50, 330}, POINT{50, 260}}) {
                const LPARAM lPoint = MAKELPARAM(pt.x, pt.y);
                PostMessageA(hWnd, WM_MOUSEMOVE, 0, lPoint);
                PostMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
                PostMessageA(hWnd, WM_LBUTTONUP, 0, lPoint);
                if (pt.y == 330) {
                    const std::vector<CProbeRecord> records = RecordsOnceEnded(m_log, ++nStarts);
                    ASSERT_EQ(records.size(), nStarts) << "WordPad was not started";
                    EXPECT_EQ(records.back().commandLine, ReadmeLine(directory.path));
                    EXPECT_EQ(records.back().directory, directory.path);
                }
            }
            CSetupBoxWatch watch(pi.dwProcessId);
            if (dwSystem == ERROR_SUCCESS) {
                const std::vector<CProbeRecord> records = RecordsOnceEnded(m_log, ++nStarts);
                ASSERT_EQ(records.size(), nStarts) << "setup was not started";
                EXPECT_STRCASEEQ(AsRecorded(records.back().module).c_str(), AsRecorded(setup).c_str());
                EXPECT_EQ(records.back().directory, directory.path);
            }
            EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0)
                << "install did not close the launcher";
            const bool bBox = watch.Finish();
            EXPECT_EQ(bBox, dwSystem != ERROR_SUCCESS) << watch.Text();
            if (bBox) {
                EXPECT_EQ(Words(watch.Text()), Words(SystemText(dwSystem)));
            }
        }
        if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

}  // namespace
