#include "app/paths.h"

#include "identity.h"

#include <windows.h>

char g_szGamePath[kRegistryBufferSize];
char g_szUninstallCmd[kRegistryBufferSize];
int g_bInstalled;

namespace {

// The disc's identity names the game's two keys.
const char kAppPathsKey[] = ZEPH_APP_PATHS_KEY;
const char kUninstallKey[] = ZEPH_UNINSTALL_KEY;

// The value's bytes as stored, whatever its type, and always terminated: a
// value that fills the whole buffer without a terminator is refused like one
// that does not fit, and shorter data is terminated right after its end.
bool QueryValue(HKEY hKey, const char* pszName, char (&szBuffer)[kRegistryBufferSize])
{
    DWORD dwType;
    DWORD cbData = kRegistryBufferSize;
    if (RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szBuffer),
                         &cbData) != ERROR_SUCCESS)
        return false;
    if (cbData >= kRegistryBufferSize) {
        if (szBuffer[kRegistryBufferSize - 1] != '\0')
            return false;
    } else {
        szBuffer[cbData] = '\0';
    }
    return true;
}

}  // namespace

bool GetPaths()
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
        g_szGamePath[0] = '\0';
        return false;
    }
    const bool bPath = QueryValue(hKey, "Path", g_szGamePath);
    RegCloseKey(hKey);
    if (!bPath) {
        g_szGamePath[0] = '\0';
        return false;
    }

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
        // Meant: it is the game path that is emptied here, not the command.
        g_szGamePath[0] = '\0';
        return false;
    }
    const bool bCommand = QueryValue(hKey, "UninstallString", g_szUninstallCmd);
    RegCloseKey(hKey);
    if (!bCommand) {
        g_szUninstallCmd[0] = '\0';
        return false;
    }
    g_bInstalled = 1;
    return true;
}
