// Whatever a machine's registry holds for the game: values at and past the
// size of the launcher's buffers, values of every type, keys without values,
// keys the launcher may not read. The lookup takes the bytes as stored and
// never keeps a string without its terminator.
#include "app/paths.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorvex.exe";
const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zephrane Demo";
const char kGamePath[] = "C:\\Games\\Zorvex";
const char kCommand[] = "\"C:\\Games\\Zorvex\\uninst.exe\" /demo";
// What the lookup must leave alone where the table says "unchanged".
const char kEarlier[] = "left from an earlier lookup";

void DeleteTree(HKEY hRoot, const char* pszKey)
{
    // Only what a key closed to reading still allows.
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_ENUMERATE_SUB_KEYS, &hKey) != ERROR_SUCCESS)
        return;
    for (;;) {
        char szChild[256];
        DWORD cchChild = sizeof szChild;
        if (RegEnumKeyExA(hKey, 0, szChild, &cchChild, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        DeleteTree(hKey, szChild);
    }
    RegCloseKey(hKey);
    RegDeleteKeyA(hRoot, pszKey);
}

void CreateKey(const char* pszKey)
{
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &hKey, nullptr),
              ERROR_SUCCESS)
        << pszKey;
    RegCloseKey(hKey);
}

void SetValue(const char* pszKey, const char* pszName, DWORD dwType,
              const std::vector<uint8_t>& data)
{
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &hKey, nullptr),
              ERROR_SUCCESS)
        << pszKey;
    const LONG lResult = RegSetValueExA(hKey, pszName, 0, dwType, data.data(), DWORD(data.size()));
    RegCloseKey(hKey);
    ASSERT_EQ(lResult, ERROR_SUCCESS) << pszKey << " " << pszName;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
std::vector<uint8_t> WithNul(const std::string& text)
{
    std::vector<uint8_t> bytes = Bytes(text);
    bytes.push_back(0);
    return bytes;
}

void SetString(const char* pszKey, const char* pszName, const std::string& text)
{
    SetValue(pszKey, pszName, REG_SZ, WithNul(text));
}

// Everyone may do anything with the key but read its values.
void DenyReading(const char* pszKey)
{
    EXPLICIT_ACCESSA access[2] = {};
    access[0].grfAccessPermissions = KEY_QUERY_VALUE;
    access[0].grfAccessMode = DENY_ACCESS;
    access[1].grfAccessPermissions = KEY_ALL_ACCESS;
    access[1].grfAccessMode = GRANT_ACCESS;
    char szEveryone[] = "EVERYONE";
    for (EXPLICIT_ACCESSA& entry : access) {
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entry.Trustee.ptstrName = szEveryone;
    }
    PACL pAcl = nullptr;
    ASSERT_EQ(SetEntriesInAclA(2, access, nullptr, &pAcl), DWORD(ERROR_SUCCESS));
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, pAcl, FALSE);
    HKEY hKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, WRITE_DAC, &hKey), ERROR_SUCCESS);
    const LONG lResult = RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(hKey);
    LocalFree(pAcl);
    ASSERT_EQ(lResult, ERROR_SUCCESS);
}

// Handles of this process as the system's own handle table lists them: the
// count the process reports of itself is not kept by every system.
int OpenHandles()
{
    struct Entry {
        USHORT nProcess;
        USHORT nBackTrace;
        UCHAR nType;
        UCHAR nFlags;
        USHORT hValue;
        PVOID pObject;
        ACCESS_MASK access;
    };
    struct Table {
        ULONG nCount;
        Entry entries[1];
    };
    using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto pfnQuery = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (pfnQuery == nullptr)
        return -1;
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = LONG(0xC0000004);
    std::vector<uint8_t> buffer(1 << 16);
    LONG lStatus;
    ULONG cbNeeded = 0;
    while ((lStatus = pfnQuery(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()),
                               &cbNeeded)) == kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (lStatus != 0)
        return -1;
    const auto* pTable = reinterpret_cast<const Table*>(buffer.data());
    int nOpen = 0;
    for (ULONG n = 0; n < pTable->nCount; ++n) {
        if (pTable->entries[n].nProcess == USHORT(GetCurrentProcessId()))
            ++nOpen;
    }
    return nOpen;
}

class RobustRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        lstrcpyA(g_szGamePath, kEarlier);
        lstrcpyA(g_szUninstallCmd, kEarlier);
        g_bInstalled = 0;
    }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        DeleteTree(HKEY_LOCAL_MACHINE, kAppPathsKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
};

// One stored value, and what the launcher must make of it.
struct CValueCase {
    const char* name;
    DWORD dwType;
    std::vector<uint8_t> data;
    bool bTaken;  // false: refused like a value that does not fit
};

std::vector<CValueCase> ValueCases()
{
    std::vector<uint8_t> binary1024(1024, 0x41);
    std::vector<uint8_t> binary1024Nul(binary1024);
    binary1024Nul.back() = 0;
    return {
        {"1023 bytes ending in NUL", REG_SZ, WithNul(std::string(1022, 'a')), true},
        {"1023 bytes without NUL", REG_SZ, Bytes(std::string(1023, 'b')), true},
        {"1024 bytes ending in NUL", REG_SZ, WithNul(std::string(1023, 'c')), true},
        {"1024 bytes without NUL", REG_SZ, Bytes(std::string(1024, 'd')), false},
        {"1025 bytes ending in NUL", REG_SZ, WithNul(std::string(1024, 'e')), false},
        {"1025 bytes without NUL", REG_SZ, Bytes(std::string(1025, 'f')), false},
        {"4096 bytes", REG_SZ, WithNul(std::string(4095, 'g')), false},
        {"no bytes at all", REG_SZ, {}, true},
        {"a NUL alone", REG_SZ, {0}, true},
        {"an unexpanded reference", REG_EXPAND_SZ, WithNul("%SystemRoot%\\Zorvex"), true},
        {"a number whose bytes read as text", REG_DWORD, {'A', 'B', 'C', 'D'}, true},
        {"a number with zero bytes", REG_DWORD, {'Y', 'Z', 0, 0}, true},
        {"bytes of no text", REG_BINARY, {0xE9, 0x01, 'x', 0xFF, 0x80}, true},
        {"1024 bytes of binary", REG_BINARY, binary1024, false},
        {"1024 bytes of binary ending in 0", REG_BINARY, binary1024Nul, true},
        {"a NUL inside", REG_SZ, {'C', ':', '\\', 'Z', 0, 't', 'a', 'i', 'l', 0}, true},
        {"several strings", REG_MULTI_SZ, {'o', 'n', 'e', 0, 't', 'w', 'o', 0, 0}, true},
    };
}

// A value the lookup takes lies in the buffer exactly as stored, and is
// terminated: right behind its bytes when it is shorter than the buffer.
void ExpectTaken(const char* pszBuffer, const CValueCase& value)
{
    ASSERT_LE(value.data.size(), kRegistryBufferSize);
    EXPECT_EQ(std::memcmp(pszBuffer, value.data.data(), value.data.size()), 0)
        << "the bytes as stored";
    if (value.data.size() < kRegistryBufferSize) {
        EXPECT_EQ(pszBuffer[value.data.size()], '\0') << "terminated behind the value";
    }
    EXPECT_LT(strnlen(pszBuffer, kRegistryBufferSize), size_t(kRegistryBufferSize));
}

TEST_F(RobustRegistry, TheGamePathTakenAsStoredOrRefused)
{
    for (const CValueCase& value : ValueCases()) {
        SCOPED_TRACE(value.name);
        SetUp();
        SetValue(kAppPathsKey, "Path", value.dwType, value.data);
        SetString(kUninstallKey, "UninstallString", kCommand);
        if (value.bTaken) {
            EXPECT_TRUE(GetPaths());
            ExpectTaken(g_szGamePath, value);
            EXPECT_STREQ(g_szUninstallCmd, kCommand);
            EXPECT_EQ(g_bInstalled, 1);
        } else {
            EXPECT_FALSE(GetPaths());
            EXPECT_STREQ(g_szGamePath, "");
            EXPECT_STREQ(g_szUninstallCmd, kEarlier);
            EXPECT_EQ(g_bInstalled, 0);
        }
    }
}

TEST_F(RobustRegistry, TheUninstallCommandTakenAsStoredOrRefused)
{
    for (const CValueCase& value : ValueCases()) {
        SCOPED_TRACE(value.name);
        SetUp();
        SetString(kAppPathsKey, "Path", kGamePath);
        SetValue(kUninstallKey, "UninstallString", value.dwType, value.data);
        if (value.bTaken) {
            EXPECT_TRUE(GetPaths());
            EXPECT_STREQ(g_szGamePath, kGamePath);
            ExpectTaken(g_szUninstallCmd, value);
            EXPECT_EQ(g_bInstalled, 1);
        } else {
            EXPECT_FALSE(GetPaths());
            EXPECT_STREQ(g_szGamePath, kGamePath);
            EXPECT_STREQ(g_szUninstallCmd, "");
            EXPECT_EQ(g_bInstalled, 0);
        }
    }
}

// A shorter value after a longer one, and a refused one after a taken one,
// leave nothing of the earlier bytes readable as part of the string.
TEST_F(RobustRegistry, NothingOfAnEarlierValueShowsThrough)
{
    SetString(kUninstallKey, "UninstallString", kCommand);
    SetValue(kAppPathsKey, "Path", REG_SZ, Bytes(std::string(1023, 'x')));
    ASSERT_TRUE(GetPaths());
    ASSERT_EQ(std::strlen(g_szGamePath), 1023u);

    SetValue(kAppPathsKey, "Path", REG_BINARY, Bytes("D:\\Z"));
    ASSERT_TRUE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "D:\\Z");

    SetValue(kAppPathsKey, "Path", REG_SZ, Bytes(std::string(1024, 'y')));
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_EQ(g_bInstalled, 1) << "once found, the game counts as installed";

    SetValue(kAppPathsKey, "Path", REG_SZ, {});
    EXPECT_TRUE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
}

// Keys that exist with nothing the launcher looks for in them.
TEST_F(RobustRegistry, KeysWithoutTheirValues)
{
    CreateKey(kAppPathsKey);
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, kEarlier);

    // A default value, another name and a subkey called "Path" are not it.
    SetString(kAppPathsKey, nullptr, "C:\\Games\\Zorvex\\zorvex.exe");
    SetString(kAppPathsKey, "Paths", kGamePath);
    CreateKey((std::string(kAppPathsKey) + "\\Path").c_str());
    SetString(kUninstallKey, "UninstallString", kCommand);
    lstrcpyA(g_szGamePath, kEarlier);
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, kEarlier);
    EXPECT_EQ(g_bInstalled, 0);

    SetUp();
    SetString(kAppPathsKey, "Path", kGamePath);
    CreateKey(kUninstallKey);
    SetString(kUninstallKey, "DisplayName", "Zephrane Demo");
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, kGamePath);
    EXPECT_STREQ(g_szUninstallCmd, "");
    EXPECT_EQ(g_bInstalled, 0);

    SetUp();
    SetString(kUninstallKey, "UninstallString", kCommand);
    EXPECT_FALSE(GetPaths()) << "the uninstall entry alone";
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, kEarlier);
    EXPECT_EQ(g_bInstalled, 0);
}

// A key the launcher may not read counts as a key that is not there.
TEST_F(RobustRegistry, KeysTheLauncherMayNotRead)
{
    SetString(kAppPathsKey, "Path", kGamePath);
    SetString(kUninstallKey, "UninstallString", kCommand);
    DenyReading(kAppPathsKey);
    HKEY hProbe;
    const LONG lProbe = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_QUERY_VALUE, &hProbe);
    if (lProbe == ERROR_SUCCESS) {
        RegCloseKey(hProbe);
        GTEST_SKIP() << "this system does not enforce access rules on registry keys";
    }
    ASSERT_EQ(lProbe, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, kEarlier);
    EXPECT_EQ(g_bInstalled, 0);

    // The game path is emptied also when it is the uninstall key that is
    // closed to the launcher.
    SetUp();
    SetString(kAppPathsKey, "Path", kGamePath);
    SetString(kUninstallKey, "UninstallString", kCommand);
    DenyReading(kUninstallKey);
    EXPECT_FALSE(GetPaths());
    EXPECT_STREQ(g_szGamePath, "");
    EXPECT_STREQ(g_szUninstallCmd, kEarlier);
    EXPECT_EQ(g_bInstalled, 0);
}

// However a lookup ends, it leaves no key open: counted in the system's own
// table of this process's handles.
TEST_F(RobustRegistry, EveryEndingClosesItsKeys)
{
    const int nStart = OpenHandles();
    ASSERT_GT(nStart, 0) << "the system lists no handles of this process";
    HKEY hKeys[5];
    for (HKEY& hKey : hKeys)
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_QUERY_VALUE, &hKey),
                  ERROR_SUCCESS);
    EXPECT_EQ(OpenHandles(), nStart + 5) << "the count does not see open keys";
    for (HKEY hKey : hKeys)
        RegCloseKey(hKey);

    const std::vector<std::function<void()>> states = {
        [] {},
        [] { CreateKey(kAppPathsKey); },
        [] { SetValue(kAppPathsKey, "Path", REG_SZ, Bytes(std::string(1024, 'z'))); },
        [] { SetString(kAppPathsKey, "Path", kGamePath); },
        [] { CreateKey(kUninstallKey); },
        [] { SetValue(kUninstallKey, "UninstallString", REG_SZ, Bytes(std::string(2000, 'u'))); },
        [] { SetString(kUninstallKey, "UninstallString", kCommand); },
        [] { DenyReading(kUninstallKey); },
    };
    for (const auto& state : states) {
        state();
        const int nBefore = OpenHandles();
        for (int n = 0; n < 50; ++n)
            GetPaths();
        EXPECT_EQ(OpenHandles(), nBefore);
    }
}

}  // namespace
