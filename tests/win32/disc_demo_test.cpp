// The demo disc's programs under Wine, started as the launcher starts them:
// setup installs the game and writes the two values the launcher reads, the
// game opens its window from its folder and ends on Escape, the uninstaller
// takes everything away again. Every test leaves the registry and the
// Program Files folder as it found them and closes what it opened.
#include "tests/win32/flag_floor.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Written out here rather than taken from the programs' own header, so that
// a typo there is caught: these are where the launcher looks.
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorvex.exe";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zephrane Demo";
const char kSetupCaption[] = "Zephrane Demo Setup";
const char kUninstallCaption[] = "Zephrane Demo Uninstall";
const DWORD kTimeout = 20000;

std::string WindowsPath(std::string unixPath)
{
    for (char& c : unixPath)
        if (c == '/')
            c = '\\';
    return "Z:" + unixPath;
}

const std::string& DiscDir()
{
    static const std::string s_disc = WindowsPath(ZEPH_DISC_DIR);
    return s_disc;
}

std::string InstallFolder()
{
    char szProgramFiles[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, szProgramFiles);
    return std::string(szProgramFiles) + "\\Zephrane Demo";
}

std::vector<char> FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A REG_SZ value read the way the launcher reads it: the key opened for
// querying only. Empty with *pStatus set when it cannot be read.
std::string QueryValue(const char* pszKey, const char* pszName, LONG* pStatus = nullptr, DWORD* pType = nullptr)
{
    HKEY hKey;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_QUERY_VALUE, &hKey);
    char szData[1024] = {};
    DWORD cbData = sizeof szData - 1, dwType = 0;
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szData), &cbData);
        RegCloseKey(hKey);
    }
    if (pStatus != nullptr)
        *pStatus = status;
    if (pType != nullptr)
        *pType = dwType;
    return status == ERROR_SUCCESS ? std::string(szData) : std::string();
}

LONG KeyStatus(const char* pszKey)
{
    HKEY hKey;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_QUERY_VALUE, &hKey);
    if (status == ERROR_SUCCESS)
        RegCloseKey(hKey);
    return status;
}

// A window has appeared once it is shown: a program creates its window
// before it shows it.
HWND WaitForWindow(const char* pszClass, const char* pszTitle, DWORD dwTimeout = kTimeout)
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        HWND hWnd = FindWindowA(pszClass, pszTitle);
        if (hWnd != nullptr && IsWindowVisible(hWnd))
            return hWnd;
        if (GetTickCount() - dwStart > dwTimeout)
            return nullptr;
        Sleep(20);
    }
}

// The text of a message box.
std::string BoxText(HWND hBox)
{
    char szText[2048] = {};
    GetDlgItemTextA(hBox, 0xFFFF, szText, sizeof szText);
    return szText;
}

// Presses OK in a message box and waits for the process that showed it.
DWORD CloseBoxAndWait(HWND hBox)
{
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hBox, &dwProcessId);
    HANDLE hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, dwProcessId);
    PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    DWORD dwExit = STILL_ACTIVE;
    if (hProcess != nullptr) {
        WaitForSingleObject(hProcess, kTimeout);
        GetExitCodeProcess(hProcess, &dwExit);
        CloseHandle(hProcess);
    }
    return dwExit;
}

// A started program, ended by force if a test fails before it ends.
class CProcess {
public:
    // By name alone or by command line alone, as the launcher starts its
    // programs, in the given directory (null: this process's own).
    CProcess(const char* pszName, const char* pszCommandLine, const char* pszDirectory = nullptr)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string commandLine = pszCommandLine ? pszCommandLine : "";
        m_bStarted = StartOnTheFlagFloor(pszName, pszCommandLine ? &commandLine[0] : nullptr,
                                         CREATE_DEFAULT_ERROR_MODE, pszDirectory, &si, &m_pi) != FALSE;
    }
    ~CProcess()
    {
        if (!m_bStarted)
            return;
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_pi.hProcess, 99);
            WaitForSingleObject(m_pi.hProcess, kTimeout);
        }
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    bool Started() const { return m_bStarted; }
    DWORD Id() const { return m_pi.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it has not ended in time.
    DWORD Wait(DWORD dwTimeout = kTimeout) const
    {
        WaitForSingleObject(m_pi.hProcess, dwTimeout);
        DWORD dwExit = STILL_ACTIVE;
        GetExitCodeProcess(m_pi.hProcess, &dwExit);
        return dwExit;
    }

private:
    bool m_bStarted = false;
    PROCESS_INFORMATION m_pi = {};
};

class disc_demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveEverything();
        ASSERT_TRUE(Exists(DiscDir() + "\\setup.exe")) << DiscDir();
        ASSERT_EQ(ERROR_FILE_NOT_FOUND, KeyStatus(kAppPathsKey)) << "the prefix has the game registered already";
    }
    void TearDown() override { RemoveEverything(); }

    // Whatever a failed test left: boxes, the game, the registry entries,
    // the installed files.
    static void RemoveEverything()
    {
        for (const char* pszCaption : {kSetupCaption, kUninstallCaption})
            while (HWND hBox = FindWindowA("#32770", pszCaption))
                CloseBoxAndWait(hBox);
        while (HWND hGame = FindWindowA("ZorvexDemoWindow", nullptr)) {
            DWORD dwProcessId = 0;
            GetWindowThreadProcessId(hGame, &dwProcessId);
            HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwProcessId);
            if (hProcess == nullptr)
                break;
            TerminateProcess(hProcess, 99);
            WaitForSingleObject(hProcess, kTimeout);
            CloseHandle(hProcess);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        const std::string folder = InstallFolder();
        for (const char* pszFile : {"zorvex.exe", "uninst.exe", "readme.txt"}) {
            for (const char* pszLeftover : {"", ".old", ".new"}) {
                const std::string path = folder + "\\" + pszFile + pszLeftover;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        }
        RemoveDirectoryA(folder.c_str());
    }

    // Setup from the disc, as the install button starts it: by name, in the
    // disc's folder. Returns its box's text, after closing it.
    static std::string Install(DWORD* pExit = nullptr)
    {
        CProcess setup((DiscDir() + "\\setup.exe").c_str(), nullptr, DiscDir().c_str());
        EXPECT_TRUE(setup.Started());
        HWND hBox = WaitForWindow("#32770", kSetupCaption);
        EXPECT_NE(nullptr, hBox) << "setup showed no box";
        if (hBox == nullptr)
            return std::string();
        const std::string text = BoxText(hBox);
        const DWORD dwExit = CloseBoxAndWait(hBox);
        if (pExit != nullptr)
            *pExit = dwExit;
        return text;
    }
};

// The execution level a program's own manifest asks Windows for.
std::string RequestedLevel(const std::string& path)
{
    HMODULE hModule = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (hModule == nullptr)
        return "unreadable";
    std::string level = "none";
    if (HRSRC hResource = FindResourceA(hModule, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        const auto* pText = static_cast<const char*>(LockResource(LoadResource(hModule, hResource)));
        const std::string manifest(pText, SizeofResource(hModule, hResource));
        const size_t at = manifest.find("level=\"");
        if (at != std::string::npos)
            level = manifest.substr(at + 7, manifest.find('"', at + 7) - at - 7);
    }
    FreeLibrary(hModule);
    return level;
}


} // namespace

TEST_F(disc_demo, SetupCopiesTheGameAndWritesTheTwoValuesTheLauncherReads)
{
    CProcess setup((DiscDir() + "\\setup.exe").c_str(), nullptr, DiscDir().c_str());
    ASSERT_TRUE(setup.Started());
    HWND hBox = WaitForWindow("#32770", kSetupCaption);
    ASSERT_NE(nullptr, hBox);

    // Everything is in place by the time setup says it is done.
    const std::string folder = InstallFolder();
    EXPECT_NE(std::string::npos, BoxText(hBox).find(folder)) << BoxText(hBox);
    LONG status;
    DWORD dwType;
    EXPECT_EQ(folder, QueryValue(kAppPathsKey, "Path", &status, &dwType));
    EXPECT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(DWORD(REG_SZ), dwType);
    EXPECT_EQ("\"" + folder + "\\uninst.exe\"", QueryValue(kUninstallKey, "UninstallString", &status, &dwType));
    EXPECT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(DWORD(REG_SZ), dwType);
    const std::pair<const char*, std::string> files[] = {
        {"zorvex.exe", DiscDir() + "\\game\\zorvex.exe"},
        {"uninst.exe", DiscDir() + "\\game\\uninst.exe"},
        {"readme.txt", DiscDir() + "\\readme.txt"},
    };
    for (const auto& file : files) {
        const std::vector<char> installed = FileBytes(folder + "\\" + file.first);
        EXPECT_FALSE(installed.empty()) << file.first;
        EXPECT_EQ(FileBytes(file.second), installed) << file.first;
    }

    EXPECT_EQ(0u, CloseBoxAndWait(hBox));
    EXPECT_EQ(0u, setup.Wait());
}

// Everything on a CD is read-only, and a copy keeps that mark: installed from
// such a disc, the game's files must still be the uninstaller's to remove.
TEST_F(disc_demo, FromAReadOnlyDiscTheInstalledFilesCanBeRemoved)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string disc = std::string(szTemp) + "zephrane-read-only-disc";
    CreateDirectoryA(disc.c_str(), nullptr);
    CreateDirectoryA((disc + "\\game").c_str(), nullptr);
    const char* const files[] = {"setup.exe", "readme.txt", "game\\zorvex.exe", "game\\uninst.exe"};
    for (const char* pszFile : files) {
        const std::string copy = disc + "\\" + pszFile;
        ASSERT_TRUE(CopyFileA((DiscDir() + "\\" + pszFile).c_str(), copy.c_str(), FALSE)) << pszFile;
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    {
        CProcess setup((disc + "\\setup.exe").c_str(), nullptr, disc.c_str());
        ASSERT_TRUE(setup.Started());
        HWND hBox = WaitForWindow("#32770", kSetupCaption);
        ASSERT_NE(nullptr, hBox);
        EXPECT_EQ(0u, CloseBoxAndWait(hBox));
    }
    const std::string folder = InstallFolder();
    for (const char* pszFile : {"zorvex.exe", "uninst.exe", "readme.txt"}) {
        const DWORD dwAttributes = GetFileAttributesA((folder + "\\" + pszFile).c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, dwAttributes) << pszFile;
        EXPECT_EQ(0u, dwAttributes & FILE_ATTRIBUTE_READONLY) << pszFile << " kept the disc's mark";
    }

    CProcess uninstaller(nullptr, QueryValue(kUninstallKey, "UninstallString").c_str());
    HWND hBox = WaitForWindow("#32770", kUninstallCaption);
    ASSERT_NE(nullptr, hBox);
    EXPECT_NE(std::string::npos, BoxText(hBox).find("has been removed")) << BoxText(hBox);
    CloseBoxAndWait(hBox);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, KeyStatus(kAppPathsKey));
    EXPECT_FALSE(Exists(folder + "\\zorvex.exe"));
    for (const char* pszFile : files) {
        SetFileAttributesA((disc + "\\" + pszFile).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((disc + "\\" + pszFile).c_str());
    }
    RemoveDirectoryA((disc + "\\game").c_str());
    RemoveDirectoryA(disc.c_str());
}

TEST_F(disc_demo, SetupWithoutTheGameOnTheDiscLeavesNothingBehind)
{
    // A disc folder with setup but no game folder beside it.
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string disc = std::string(szTemp) + "zephrane-broken-disc";
    CreateDirectoryA(disc.c_str(), nullptr);
    const std::string setupCopy = disc + "\\setup.exe";
    ASSERT_TRUE(CopyFileA((DiscDir() + "\\setup.exe").c_str(), setupCopy.c_str(), FALSE));

    std::string text;
    DWORD dwExit;
    {
        CProcess setup(setupCopy.c_str(), nullptr, disc.c_str());
        ASSERT_TRUE(setup.Started());
        HWND hBox = WaitForWindow("#32770", kSetupCaption);
        ASSERT_NE(nullptr, hBox);
        text = BoxText(hBox);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, KeyStatus(kAppPathsKey));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, KeyStatus(kUninstallKey));
        EXPECT_FALSE(Exists(InstallFolder())) << "the half-made folder stayed";
        dwExit = CloseBoxAndWait(hBox);
    }
    DeleteFileA(setupCopy.c_str());
    RemoveDirectoryA(disc.c_str());
    EXPECT_NE(std::string::npos, text.find("could not be installed")) << text;
    EXPECT_NE(std::string::npos, text.find("zorvex.exe")) << text;
    EXPECT_EQ(1u, dwExit);
}

// A copy of the disc in the temp folder, for a test that changes it;
// removed with everything in it when the test ends.
class CDiscCopy {
public:
    explicit CDiscCopy(const char* pszName)
    {
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        m_path = std::string(szTemp) + pszName;
        CreateDirectoryA(m_path.c_str(), nullptr);
        CreateDirectoryA(File("game").c_str(), nullptr);
        for (const char* pszFile : kFiles)
            m_bCopied = CopyFileA((DiscDir() + "\\" + pszFile).c_str(), File(pszFile).c_str(), FALSE) && m_bCopied;
    }
    CDiscCopy(const CDiscCopy&) = delete;
    CDiscCopy& operator=(const CDiscCopy&) = delete;
    ~CDiscCopy()
    {
        for (const char* pszFile : kFiles)
            DeleteFileA(File(pszFile).c_str());
        RemoveDirectoryA(File("game").c_str());
        RemoveDirectoryA(m_path.c_str());
    }

    bool Copied() const { return m_bCopied; }
    const std::string& Path() const { return m_path; }
    std::string File(const char* pszName) const { return m_path + "\\" + pszName; }

private:
    static constexpr const char* kFiles[] = {"setup.exe", "readme.txt", "game\\zorvex.exe", "game\\uninst.exe"};
    std::string m_path;
    bool m_bCopied = true;
};

// The names in the install folder.
std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(hFind, &found));
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kInstalledNames = {"readme.txt", "uninst.exe", "zorvex.exe"};

// Anything may leave the installed files read-only, a copy by hand from the
// disc among them: setup installs over them all the same, and the files it
// leaves are the uninstaller's to remove.
TEST_F(disc_demo, SetupInstallsOverReadOnlyFiles)
{
    DWORD dwExit = 1;
    Install(&dwExit);
    ASSERT_EQ(0u, dwExit);
    const std::string folder = InstallFolder();
    for (const std::string& name : kInstalledNames)
        ASSERT_TRUE(SetFileAttributesA((folder + "\\" + name).c_str(), FILE_ATTRIBUTE_READONLY)) << name;

    const std::string text = Install(&dwExit);
    EXPECT_EQ(0u, dwExit) << text;
    EXPECT_EQ(kInstalledNames, FolderNames(folder));
    const std::pair<std::string, std::string> files[] = {
        {"zorvex.exe", DiscDir() + "\\game\\zorvex.exe"},
        {"uninst.exe", DiscDir() + "\\game\\uninst.exe"},
        {"readme.txt", DiscDir() + "\\readme.txt"},
    };
    for (const auto& file : files) {
        const std::string installed = folder + "\\" + file.first;
        EXPECT_EQ(FileBytes(file.second), FileBytes(installed)) << file.first;
        EXPECT_EQ(0u, GetFileAttributesA(installed.c_str()) & FILE_ATTRIBUTE_READONLY) << file.first;
    }
}

// Setup that fails over an installation leaves it as it was, files,
// attributes and registry entries: still installed, and the game starts.
// First the disc lacks its read-me, the last file copied; then something in
// the installation's folder is in the way of the last file's replacement,
// after the game and the uninstaller have already been put in place.
TEST_F(disc_demo, AFailedSetupLeavesTheInstallationItFoundPlayable)
{
    DWORD dwExit = 1;
    Install(&dwExit);
    ASSERT_EQ(0u, dwExit);
    const std::string folder = InstallFolder();
    const std::string path = QueryValue(kAppPathsKey, "Path");
    const std::string command = QueryValue(kUninstallKey, "UninstallString");
    // The user's own notes in the read-me, and an uninstaller made read-only.
    {
        std::ofstream readme(folder + "\\readme.txt", std::ios::binary | std::ios::app);
        readme << "my notes\r\n";
    }
    ASSERT_TRUE(SetFileAttributesA((folder + "\\uninst.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    std::vector<std::vector<char>> before;
    for (const std::string& name : kInstalledNames)
        before.push_back(FileBytes(folder + "\\" + name));

    // A newer game on the disc, to tell its files from the installed ones.
    CDiscCopy disc("zephrane-newer-disc");
    ASSERT_TRUE(disc.Copied());
    {
        std::ofstream game(disc.File("game\\zorvex.exe"), std::ios::binary | std::ios::app);
        game << "newer";
    }
    const std::string obstacle = folder + "\\readme.txt.old";
    struct CObstacle {
        std::string folder;
        ~CObstacle()
        {
            DeleteFileA((folder + "\\inside.txt").c_str());
            RemoveDirectoryA(folder.c_str());
        }
    } cleanup{obstacle};

    for (int nPass = 0; nPass < 2; ++nPass) {
        SCOPED_TRACE(nPass == 0 ? "no read-me on the disc" : "a folder in the way");
        if (nPass == 0) {
            ASSERT_TRUE(DeleteFileA(disc.File("readme.txt").c_str()));
        } else {
            ASSERT_TRUE(CopyFileA((DiscDir() + "\\readme.txt").c_str(), disc.File("readme.txt").c_str(), FALSE));
            ASSERT_TRUE(CreateDirectoryA(obstacle.c_str(), nullptr));
            std::ofstream(obstacle + "\\inside.txt") << "x";
        }
        CProcess setup(disc.File("setup.exe").c_str(), nullptr, disc.Path().c_str());
        ASSERT_TRUE(setup.Started());
        HWND hBox = WaitForWindow("#32770", kSetupCaption);
        ASSERT_NE(nullptr, hBox);
        EXPECT_NE(std::string::npos, BoxText(hBox).find("could not be installed")) << BoxText(hBox);
        EXPECT_EQ(1u, CloseBoxAndWait(hBox));

        EXPECT_EQ(path, QueryValue(kAppPathsKey, "Path"));
        EXPECT_EQ(command, QueryValue(kUninstallKey, "UninstallString"));
        std::vector<std::string> expected = kInstalledNames;
        if (nPass == 1)
            expected.insert(expected.begin() + 1, "readme.txt.old");
        EXPECT_EQ(expected, FolderNames(folder));
        for (size_t i = 0; i < kInstalledNames.size(); ++i)
            EXPECT_EQ(before[i], FileBytes(folder + "\\" + kInstalledNames[i])) << kInstalledNames[i];
        EXPECT_NE(0u, GetFileAttributesA((folder + "\\uninst.exe").c_str()) & FILE_ATTRIBUTE_READONLY);

        CProcess game((path + "\\zorvex.exe").c_str(), nullptr, path.c_str());
        EXPECT_TRUE(game.Started());
        HWND hGame = WaitForWindow("ZorvexDemoWindow", "Zephrane Demo");
        EXPECT_NE(nullptr, hGame) << "the game does not start";
        if (hGame != nullptr)
            PostMessageA(hGame, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(0u, game.Wait());
    }
}

TEST_F(disc_demo, GameStartsFromItsFolderAndEndsOnEscape)
{
    DWORD dwSetupExit = 1;
    Install(&dwSetupExit);
    ASSERT_EQ(0u, dwSetupExit);
    const std::string folder = QueryValue(kAppPathsKey, "Path");
    ASSERT_FALSE(folder.empty());

    // As the play button does: change to the game's folder, start by bare name.
    char szOld[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, szOld);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    CProcess game("zorvex.exe", nullptr);
    SetCurrentDirectoryA(szOld);
    ASSERT_TRUE(game.Started());

    HWND hGame = WaitForWindow("ZorvexDemoWindow", "Zephrane Demo");
    ASSERT_NE(nullptr, hGame);
    DWORD dwOwner = 0;
    GetWindowThreadProcessId(hGame, &dwOwner);
    EXPECT_EQ(game.Id(), dwOwner);
    RECT rc;
    GetClientRect(hGame, &rc);
    EXPECT_EQ(512, rc.right);
    EXPECT_EQ(384, rc.bottom);

    // Other keys do not end it.
    PostMessageA(hGame, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(hGame, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(DWORD(STILL_ACTIVE), game.Wait(300));
    EXPECT_TRUE(IsWindow(hGame));
    PostMessageA(hGame, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(0u, game.Wait());
    EXPECT_FALSE(IsWindow(hGame));
}

TEST_F(disc_demo, UninstallerRemovesTheFilesTheFolderAndBothEntries)
{
    Install();
    const std::string command = QueryValue(kUninstallKey, "UninstallString");
    ASSERT_FALSE(command.empty());

    // As the uninstall button does: the stored command line, unchanged.
    CProcess uninstaller(nullptr, command.c_str());
    ASSERT_TRUE(uninstaller.Started());
    HWND hBox = WaitForWindow("#32770", kUninstallCaption);
    ASSERT_NE(nullptr, hBox);
    EXPECT_NE(std::string::npos, BoxText(hBox).find("removed from your computer")) << BoxText(hBox);
    EXPECT_EQ(0u, uninstaller.Wait());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, KeyStatus(kAppPathsKey));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, KeyStatus(kUninstallKey));
    EXPECT_FALSE(Exists(InstallFolder()));

    // The copy that finished the job from the temp folder goes when it ends.
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string helper = std::string(szTemp) + "zephrane-uninstall-" + std::to_string(uninstaller.Id()) + ".exe";
    EXPECT_TRUE(Exists(helper)) << helper;
    EXPECT_EQ(0u, CloseBoxAndWait(hBox));
    for (int i = 0; i < 100 && Exists(helper); ++i)
        Sleep(20);
    EXPECT_FALSE(Exists(helper)) << helper;
}

// While the game runs its file cannot be deleted. Setup then puts the new
// game in place and leaves the running one beside it, moved aside; a setup
// after that, which must take that one away first, says to close the game,
// and not to run as an administrator; so does the uninstaller, which leaves
// the game installed for the user to try again. Once the game has ended the
// uninstaller takes everything, what setups left beside the files too, and
// the folder goes.
TEST_F(disc_demo, WhileTheGameRunsSetupAndTheUninstallerAskToCloseItThenEverythingGoes)
{
    Install();
    const std::string folder = QueryValue(kAppPathsKey, "Path");
    CProcess game((folder + "\\zorvex.exe").c_str(), nullptr, folder.c_str());
    const HWND hGame = WaitForWindow("ZorvexDemoWindow", "Zephrane Demo");
    ASSERT_NE(nullptr, hGame);

    DWORD dwExit = 1;
    std::string text = Install(&dwExit);
    EXPECT_EQ(0u, dwExit) << text;
    EXPECT_EQ(FileBytes(DiscDir() + "\\game\\zorvex.exe"), FileBytes(folder + "\\zorvex.exe.old"))
        << "the running game's file";
    text = Install(&dwExit);
    EXPECT_EQ(1u, dwExit) << text;
    EXPECT_NE(std::string::npos, text.find("close the game")) << text;
    EXPECT_EQ(std::string::npos, text.find("administrator")) << text;

    CProcess uninstaller(nullptr, QueryValue(kUninstallKey, "UninstallString").c_str());
    HWND hBox = WaitForWindow("#32770", kUninstallCaption);
    ASSERT_NE(nullptr, hBox);
    EXPECT_NE(std::string::npos, BoxText(hBox).find("Close the game")) << BoxText(hBox);
    // Still installed, so that the user can try again.
    EXPECT_EQ(folder, QueryValue(kAppPathsKey, "Path"));
    EXPECT_FALSE(QueryValue(kUninstallKey, "UninstallString").empty());
    EXPECT_TRUE(Exists(folder + "\\zorvex.exe"));
    EXPECT_EQ(1u, CloseBoxAndWait(hBox));

    PostMessageA(hGame, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(0u, game.Wait());
    // And the copy of a setup that did not finish.
    std::ofstream(folder + "\\readme.txt.new") << "unfinished";
    CProcess again(nullptr, QueryValue(kUninstallKey, "UninstallString").c_str());
    hBox = WaitForWindow("#32770", kUninstallCaption);
    ASSERT_NE(nullptr, hBox);
    EXPECT_NE(std::string::npos, BoxText(hBox).find("removed from your computer")) << BoxText(hBox);
    EXPECT_EQ(0u, CloseBoxAndWait(hBox));
    EXPECT_EQ(std::vector<std::string>{}, FolderNames(folder));
    EXPECT_FALSE(Exists(folder));
}

// As on a real disc: setup and the uninstaller write HKEY_LOCAL_MACHINE and
// Program Files, so Windows must ask the user's consent before they run;
// the game runs as the user.
TEST(disc_demo_programs, SetupAndUninstallerAskForAdministratorRightsTheGameDoesNot)
{
    EXPECT_EQ(RequestedLevel(DiscDir() + "\\setup.exe"), "requireAdministrator");
    EXPECT_EQ(RequestedLevel(DiscDir() + "\\game\\uninst.exe"), "requireAdministrator");
    EXPECT_EQ(RequestedLevel(DiscDir() + "\\game\\zorvex.exe"), "asInvoker");
}
