// The installation lookup against the real registry of the test prefix, and
// its repetition whenever the launcher becomes the active application.
#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

const char kGame[] = "C:\\Games\\Zorvex";
const char kCommand[] = "\"C:\\Games\\Zorvex\\unins000.exe\" /SILENT \"log file.txt\"";

// Something in both buffers that a lookup must either keep or empty.
void Preset()
{
    std::strcpy(g_szGamePath, "the game path before");
    std::strcpy(g_szUninstallCmd, "the command before");
}

class LauncherRegistry : public ::testing::Test {
protected:
    void SetUp() override { ResetLauncherGlobals(); }
    void TearDown() override { ResetLauncherGlobals(); }

    CLauncherKeys m_keys;
};

// The outcome table, row by row, as the registry fills, and then empties
// again after a successful lookup.
TEST_F(LauncherRegistry, EachRegistryStateGivesItsRowOfTheTable)
{
    Preset();
    EXPECT_FALSE(GetPaths()) << "no keys at all";
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, "the command before");
    EXPECT_EQ(g_bInstalled, 0);

    m_keys.CreateKey(kAppPathsKey);
    Preset();
    EXPECT_FALSE(GetPaths()) << "the key without \"Path\"";
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, "the command before");
    EXPECT_EQ(g_bInstalled, 0);

    m_keys.SetString(kAppPathsKey, "Path", kGame);
    Preset();
    EXPECT_FALSE(GetPaths()) << "\"Path\" without the uninstall key";
    EXPECT_STREQ(g_szGamePath, "") << "the game path is emptied, though it was read";
    EXPECT_STREQ(g_szUninstallCmd, "the command before");
    EXPECT_EQ(g_bInstalled, 0);

    m_keys.CreateKey(kUninstallKey);
    Preset();
    EXPECT_FALSE(GetPaths()) << "the uninstall key without \"UninstallString\"";
    EXPECT_STREQ(g_szGamePath, kGame);
    EXPECT_STREQ(g_szUninstallCmd, "");
    EXPECT_EQ(g_bInstalled, 0);

    m_keys.SetString(kUninstallKey, "UninstallString", kCommand);
    Preset();
    EXPECT_TRUE(GetPaths()) << "both values";
    EXPECT_STREQ(g_szGamePath, kGame);
    EXPECT_STREQ(g_szUninstallCmd, kCommand);
    EXPECT_EQ(g_bInstalled, 1);

    // The game removed: the buffers follow the table, the flag stays.
    m_keys.DeleteKey(kUninstallKey);
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, kCommand);
    EXPECT_EQ(g_bInstalled, 1);
    m_keys.Uninstall();
    Preset();
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, "the command before");
    EXPECT_EQ(g_bInstalled, 1) << "the flag is never cleared";
}

// The buffers hold 1024 bytes with their terminator; a value stored without
// a terminator is terminated, unless it fills all 1024 bytes.
TEST_F(LauncherRegistry, ValuesMustFitTheBufferWithTheirTerminator)
{
    m_keys.SetString(kUninstallKey, "UninstallString", kCommand);
    const std::string longest(1023, 'p');
    const std::string full(1024, 'q');
    const std::string over(1500, 'r');

    m_keys.SetString(kAppPathsKey, "Path", longest);
    EXPECT_TRUE(GetPaths()) << "1023 characters and the terminator";
    EXPECT_EQ(std::string(g_szGamePath), longest);
    EXPECT_EQ(g_bInstalled, 1);

    m_keys.SetValue(kAppPathsKey, "Path", REG_SZ, longest.data(), 1023);
    std::strcpy(g_szGamePath, "something longer than what follows");
    EXPECT_TRUE(GetPaths()) << "1023 characters without a terminator";
    EXPECT_EQ(std::string(g_szGamePath), longest);

    for (DWORD dwType : {DWORD(REG_SZ), DWORD(REG_BINARY)}) {
        SCOPED_TRACE("type " + std::to_string(dwType));
        m_keys.SetValue(kAppPathsKey, "Path", dwType, full.data(), 1024);
        Preset();
        EXPECT_FALSE(GetPaths()) << "1024 bytes and no terminator";
        EXPECT_STREQ(g_szGamePath, "");
    }

    m_keys.SetString(kAppPathsKey, "Path", over);
    Preset();
    EXPECT_FALSE(GetPaths()) << "1500 bytes";
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, "the command before");

    // The same rules for the command.
    m_keys.SetString(kAppPathsKey, "Path", kGame);
    m_keys.SetValue(kUninstallKey, "UninstallString", REG_SZ, full.data(), 1024);
    Preset();
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, kGame);
    EXPECT_STREQ(g_szUninstallCmd, "");
    m_keys.SetString(kUninstallKey, "UninstallString", longest);
    EXPECT_TRUE(GetPaths());
    EXPECT_EQ(std::string(g_szUninstallCmd), longest);
}

// The bytes are taken as stored, whatever the type: nothing is expanded, and
// a shorter value ends where its data ends, not where an older one did.
TEST_F(LauncherRegistry, ValuesAreTakenAsStored)
{
    m_keys.SetString(kAppPathsKey, "Path", "%SystemDrive%\\Games\\Zorvex", REG_EXPAND_SZ);
    m_keys.SetString(kUninstallKey, "UninstallString", "%WINDIR%\\uninst.exe -f", REG_EXPAND_SZ);
    EXPECT_TRUE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "%SystemDrive%\\Games\\Zorvex");
    EXPECT_STREQ(g_szUninstallCmd, "%WINDIR%\\uninst.exe -f");

    m_keys.SetValue(kAppPathsKey, "Path", REG_BINARY, "D:\\Z", 4);
    EXPECT_TRUE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "D:\\Z");
}

// The registry calls the lookup makes, counted on their way to the system.
struct CRegistryCalls {
    std::vector<HKEY> open;  // opened and not yet closed
    int nOpens = 0, nStrayCloses = 0, nWrites = 0;
    bool bOnlyQueryAccess = true;
};
CRegistryCalls g_calls;
CImportPatch* g_pPatches[4];

LONG WINAPI SpyRegOpenKeyExA(HKEY hRoot, LPCSTR lpszKey, DWORD dwOptions, REGSAM samDesired,
                             PHKEY phKey)
{
    const auto pfn = reinterpret_cast<decltype(&RegOpenKeyExA)>(g_pPatches[0]->Original());
    const LONG lResult = pfn(hRoot, lpszKey, dwOptions, samDesired, phKey);
    if (hRoot != HKEY_LOCAL_MACHINE || dwOptions != 0 || samDesired != KEY_QUERY_VALUE)
        g_calls.bOnlyQueryAccess = false;
    if (lResult == ERROR_SUCCESS) {
        ++g_calls.nOpens;
        g_calls.open.push_back(*phKey);
    }
    return lResult;
}

LONG WINAPI SpyRegCloseKey(HKEY hKey)
{
    const auto it = std::find(g_calls.open.begin(), g_calls.open.end(), hKey);
    if (it == g_calls.open.end())
        ++g_calls.nStrayCloses;
    else
        g_calls.open.erase(it);
    return reinterpret_cast<decltype(&RegCloseKey)>(g_pPatches[1]->Original())(hKey);
}

LONG WINAPI SpyRegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    ++g_calls.nWrites;
    return ERROR_ACCESS_DENIED;
}

LONG WINAPI SpyRegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                               PHKEY, LPDWORD)
{
    ++g_calls.nWrites;
    return ERROR_ACCESS_DENIED;
}

// One lookup under watch: every key it opened is closed exactly once, each
// opened for querying alone, and nothing is written.
void ExpectCleanLookup(const char* what)
{
    SCOPED_TRACE(what);
    g_calls = CRegistryCalls{};
    {
        CImportPatch open("advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&SpyRegOpenKeyExA));
        CImportPatch close("advapi32.dll", "RegCloseKey", reinterpret_cast<void*>(&SpyRegCloseKey));
        CImportPatch set("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&SpyRegSetValueExA));
        CImportPatch create("advapi32.dll", "RegCreateKeyExA",
                            reinterpret_cast<void*>(&SpyRegCreateKeyExA));
        g_pPatches[0] = &open;
        g_pPatches[1] = &close;
        ASSERT_TRUE(open.Installed() && close.Installed() && set.Installed() && create.Installed());
        GetPaths();
    }
    EXPECT_TRUE(g_calls.open.empty()) << g_calls.open.size() << " keys left open";
    EXPECT_EQ(g_calls.nStrayCloses, 0) << "closes of keys not open";
    EXPECT_TRUE(g_calls.bOnlyQueryAccess);
    EXPECT_EQ(g_calls.nWrites, 0);
}

TEST_F(LauncherRegistry, LookupsCloseEveryKeyOnceAndWriteNothing)
{
    ExpectCleanLookup("no keys");
    EXPECT_EQ(g_calls.nOpens, 0);
    m_keys.CreateKey(kAppPathsKey);
    ExpectCleanLookup("the key without its value");
    EXPECT_EQ(g_calls.nOpens, 1);
    m_keys.SetString(kAppPathsKey, "Path", kGame);
    ExpectCleanLookup("no uninstall key");
    m_keys.CreateKey(kUninstallKey);
    ExpectCleanLookup("no command");
    EXPECT_EQ(g_calls.nOpens, 2);
    m_keys.SetString(kUninstallKey, "UninstallString", kCommand);
    ExpectCleanLookup("both values");
    EXPECT_EQ(g_calls.nOpens, 2);
    EXPECT_EQ(g_bInstalled, 1);
}

// ---------------------------------------------------------------------------

// A window of another thread, which the system counts as another
// application for activation.
class COtherApplication {
public:
    COtherApplication() : m_thread(&COtherApplication::Run, this)
    {
        PumpUntil([this] { return m_hWnd.load() != nullptr; });
    }
    COtherApplication(const COtherApplication&) = delete;
    COtherApplication& operator=(const COtherApplication&) = delete;
    ~COtherApplication()
    {
        PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
        // Its window goes while this thread still answers what it sends.
        PumpUntil([this] { return m_bDone.load(); });
        m_thread.join();
    }
    HWND Hwnd() const { return m_hWnd; }

private:
    void Run()
    {
        m_dwThreadId = GetCurrentThreadId();
        HWND hWnd = CreateWindowExA(0, "STATIC", "another application", WS_POPUP | WS_VISIBLE, 0,
                                    0, 120, 80, nullptr, nullptr, GetModuleHandleA(nullptr),
                                    nullptr);
        m_hWnd = hWnd;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        DestroyWindow(hWnd);
        m_bDone = true;
    }

    std::atomic<HWND> m_hWnd{nullptr};
    std::atomic<DWORD> m_dwThreadId{0};
    std::atomic<bool> m_bDone{false};
    std::thread m_thread;
};

bool Activate(HWND hWnd)
{
    SetForegroundWindow(hWnd);
    return PumpUntil([hWnd] { return GetForegroundWindow() == hWnd; });
}

// The lookup runs again when the launcher becomes the active application,
// not when it stops being it; the picture follows only at the next paint.
TEST_F(LauncherRegistry, ActivationReadsTheRegistryAfresh)
{
    CDiscFolder disc;
    WriteDiscImageSet(disc);
    const std::string game = disc.MakeFolder("game");
    CLauncherWindow window;
    const HWND hWnd = window.Hwnd();
    ASSERT_TRUE(Activate(hWnd));
    ASSERT_EQ(g_bInstalled, 0);
    COtherApplication other;
    ASSERT_NE(other.Hwnd(), nullptr);

    ASSERT_TRUE(Activate(other.Hwnd()));
    m_keys.Install(game, "\"" + game + "\\uninstall.exe\"");
    PumpMessages();
    EXPECT_EQ(g_bInstalled, 0) << "read before the launcher became active again";

    ASSERT_TRUE(Activate(hWnd));
    ASSERT_TRUE(PumpUntil([] { return g_bInstalled == 1; })) << "not read on activation";
    EXPECT_EQ(std::string(g_szGamePath), game);
    EXPECT_EQ(std::string(g_szUninstallCmd), "\"" + game + "\\uninstall.exe\"");
    {
        const CClientPixels pixels(hWnd);
        EXPECT_EQ(pixels.At(20, 237), DiscImage("8b1u.bmp").colour)
            << "the install picture stays until the next paint";
        EXPECT_EQ(pixels.At(20, 376), DiscImage("8bg1.bmp").colour);
    }
    Repaint(hWnd, true);
    {
        const CClientPixels pixels(hWnd);
        EXPECT_EQ(pixels.At(20, 237), DiscImage("8b8u.bmp").colour);
        EXPECT_EQ(pixels.At(20, 376), DiscImage("8b10u.bmp").colour);
    }

    // Removed while the launcher is active: going to the background reads
    // nothing, coming back empties the buffers; the game stays on offer.
    m_keys.Uninstall();
    ASSERT_TRUE(Activate(other.Hwnd()));
    PumpMessages();
    EXPECT_EQ(std::string(g_szGamePath), game);
    ASSERT_TRUE(Activate(hWnd));
    ASSERT_TRUE(PumpUntil([] { return g_szGamePath[0] == '\0'; }));
    EXPECT_EQ(g_bInstalled, 1);
    Repaint(hWnd, true);
    EXPECT_EQ(CClientPixels(hWnd).At(20, 237), DiscImage("8b8u.bmp").colour);
}

}  // namespace
