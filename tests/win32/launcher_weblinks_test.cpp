// The web-link buttons through the real shell of the test prefix, whose
// handler for web addresses is pointed at the probe, so no browser starts.
#include "tests/win32/launcher_fixture.h"

#include "actions/weblinks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// The shell's command for web addresses, under HKEY_LOCAL_MACHINE.
const char kHttpShell[] = "Software\\Classes\\http\\shell";
const char kHttpCommand[] = "Software\\Classes\\http\\shell\\open\\command";

// Takes over the prefix's handler for web addresses for the test's life and
// puts the one that was there back afterwards.
class CHttpHandler {
public:
    CHttpHandler()
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHttpCommand, 0, KEY_QUERY_VALUE, &hKey) ==
            ERROR_SUCCESS) {
            char szCommand[1024];
            DWORD cbCommand = sizeof szCommand - 1;
            if (RegQueryValueExA(hKey, nullptr, nullptr, &m_dwType,
                                 reinterpret_cast<BYTE*>(szCommand), &cbCommand) == ERROR_SUCCESS) {
                szCommand[cbCommand] = '\0';
                m_original = szCommand;
                m_bHadCommand = true;
            }
            RegCloseKey(hKey);
        }
    }
    CHttpHandler(const CHttpHandler&) = delete;
    CHttpHandler& operator=(const CHttpHandler&) = delete;
    ~CHttpHandler()
    {
        if (m_bHadCommand)
            SetCommand(m_original, m_dwType);
        else
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHttpCommand);
    }

    void PointAtProbe() { SetCommand("\"" + ProbePath() + "\" \"%1\"", REG_SZ); }
    // No program at all for web addresses.
    void Remove()
    {
        CLauncherKeys keys;
        keys.DeleteKey(kHttpShell);
    }

private:
    void SetCommand(const std::string& command, DWORD dwType)
    {
        HKEY hKey;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHttpCommand, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(hKey, nullptr, 0, dwType, reinterpret_cast<const BYTE*>(command.c_str()),
                       DWORD(command.size() + 1));
        RegCloseKey(hKey);
    }

    bool m_bHadCommand = false;
    DWORD m_dwType = REG_SZ;
    std::string m_original;
};

struct CAddress {
    std::string scheme, host, path;
};

// The address the probe was started on: the last argument, in quotes.
CAddress AddressOf(const CProbeRecord& record)
{
    const std::string& line = record.commandLine;
    const size_t nClose = line.rfind('"');
    const size_t nOpen = nClose == std::string::npos ? nClose : line.rfind('"', nClose - 1);
    if (nOpen == std::string::npos)
        return {};
    const std::string url = line.substr(nOpen + 1, nClose - nOpen - 1);
    CAddress address;
    const size_t nScheme = url.find("://");
    if (nScheme == std::string::npos)
        return address;
    address.scheme = url.substr(0, nScheme);
    const size_t nPath = url.find('/', nScheme + 3);
    address.host = url.substr(nScheme + 3, nPath == std::string::npos ? nPath : nPath - nScheme - 3);
    address.path = nPath == std::string::npos ? "" : url.substr(nPath);
    return address;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What a link must leave as it was.
struct CLauncherState {
    bool bCloseRequested;
    int nHighlighted, nHover, nPressed;
    std::string directory, gamePath, uninstallCommand;
    int bInstalled;

    static CLauncherState Of(const CMainFrame* pFrame)
    {
        return CLauncherState{g_bCloseRequested,   pFrame->m_nHighlighted, pFrame->m_nHover,
                              pFrame->m_nPressed,  CurrentDirectory(),     g_szGamePath,
                              g_szUninstallCmd,    g_bInstalled};
    }
};

void ExpectUnchanged(const CLauncherState& before, const CMainFrame* pFrame)
{
    const CLauncherState after = CLauncherState::Of(pFrame);
    EXPECT_EQ(after.bCloseRequested, before.bCloseRequested);
    EXPECT_EQ(after.nHighlighted, before.nHighlighted);
    EXPECT_EQ(after.nHover, before.nHover);
    EXPECT_EQ(after.nPressed, before.nPressed);
    EXPECT_EQ(after.directory, before.directory);
    EXPECT_EQ(after.gamePath, before.gamePath);
    EXPECT_EQ(after.uninstallCommand, before.uninstallCommand);
    EXPECT_EQ(after.bInstalled, before.bInstalled);
}

class LauncherWebLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLauncherGlobals();
        // Windows coming and going move the pointer over the launcher in the
        // system's eyes; kept clear of it, no highlight changes on its own.
        SetCursorPos(1020, 760);
    }
    void TearDown() override { ResetLauncherGlobals(); }

    CLauncherKeys m_keys;
    CHttpHandler m_handler;
    CProbeLog m_log;
};

TEST_F(LauncherWebLinks, EachLinkOpensItsAddressThroughTheShell)
{
    m_handler.PointAtProbe();
    CDiscFolder disc;
    m_keys.Install(disc.Path(), "uninstall.exe");
    CLauncherWindow window;
    window->m_nHighlighted = window->m_nHover = 6;
    const CLauncherState before = CLauncherState::Of(window.Frame());
    CBoxWatcher watcher;

    window->OnDirectX();
    window->OnGamePage();
    window->OnPublisherSite();
    window->OnDeveloperSite();
    window->OnLicensorSite();
    ExpectUnchanged(before, window.Frame());
    ASSERT_TRUE(m_log.WaitForRecords(5));
    const std::vector<CProbeRecord> records = m_log.Records();
    ASSERT_EQ(records.size(), 5u);
    // The shell starts each handler on its own; they may write in any order.
    auto find = [&records](const std::string& what) {
        for (const CProbeRecord& record : records) {
            if (record.commandLine.find(what) != std::string::npos)
                return AddressOf(record);
        }
        return CAddress{};
    };

    const CAddress directx = find("/directx/");
    EXPECT_EQ(directx.scheme, "http");
    EXPECT_FALSE(directx.host.empty());
    EXPECT_EQ(directx.path, "/directx/homeuser/downloads/default.asp");

    std::vector<CAddress> others;
    for (const CProbeRecord& record : records) {
        if (record.commandLine.find("/directx/") == std::string::npos)
            others.push_back(AddressOf(record));
    }
    ASSERT_EQ(others.size(), 4u);
    int nRoots = 0, nPages = 0;
    for (const CAddress& address : others) {
        EXPECT_EQ(address.scheme, "http");
        EXPECT_TRUE(EndsWith(address.host, ".example")) << address.host;
        if (address.path.empty() || address.path == "/")
            ++nRoots;
        else
            ++nPages;
    }
    EXPECT_EQ(nRoots, 3) << "three home pages";
    EXPECT_EQ(nPages, 1) << "one game page";
    // The publisher's home page is the root of the game page's server; the
    // developer and the licensor have servers of their own.
    std::vector<std::string> hosts;
    for (const CAddress& address : others)
        hosts.push_back(address.host);
    std::sort(hosts.begin(), hosts.end());
    EXPECT_EQ(std::unique(hosts.begin(), hosts.end()) - hosts.begin(), 3);

    EXPECT_TRUE(watcher.Seen().empty()) << "a box for a link that opened";
    EXPECT_TRUE(window.Alive());
}

// The shell's success is a result above 32, and OpenWebLink hands it back.
TEST_F(LauncherWebLinks, ASuccessfulLinkReportsTheShellsResult)
{
    m_handler.PointAtProbe();
    CDiscFolder disc;
    CLauncherWindow window;
    CBoxWatcher watcher;
    EXPECT_GT(OpenWebLink("http://www.zorvex.example/news/"), 32);
    ASSERT_TRUE(m_log.WaitForRecords(1));
    EXPECT_EQ(AddressOf(m_log.Records()[0]).path, "/news/");
    EXPECT_TRUE(watcher.Seen().empty());
}

std::string ExecutableName()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, sizeof szPath);
    std::string name = szPath;
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.rfind('.'));
}

// With no program for web addresses the shell refuses with result 31: its
// text, in the application's box with the stop icon, and the launcher goes
// on as before; the same button can be used again at once.
TEST_F(LauncherWebLinks, NoProgramForWebAddressesIsExplained)
{
    m_handler.Remove();
    CDiscFolder disc;
    CLauncherWindow window;
    const CLauncherState before = CLauncherState::Of(window.Frame());
    std::vector<CSeenBox> seen;
    int nResult;
    {
        CBoxWatcher watcher;
        window->OnLicensorSite();
        window->OnLicensorSite();
        nResult = OpenWebLink("http://www.zorvex.example/");
        seen = watcher.Seen();
    }
    EXPECT_EQ(nResult, 31);
    ASSERT_EQ(seen.size(), 3u);
    for (const CSeenBox& box : seen) {
        EXPECT_EQ(box.text, "There is no application associated with the given file name extension.");
        EXPECT_EQ(box.caption, ExecutableName());
        EXPECT_EQ(box.hIcon, LoadIconA(nullptr, IDI_HAND)) << "the stop icon";
        EXPECT_EQ(box.hWndOwner, window.Hwnd());
    }
    EXPECT_TRUE(window.Alive());
    ExpectUnchanged(before, window.Frame());
    EXPECT_FALSE(m_log.WaitForRecords(1, 1000)) << "a program started";
}

}  // namespace
