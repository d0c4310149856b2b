// Stands in for a program the launcher starts (setup, the game, WordPad, the
// uninstaller, a web browser): appends one line to the file named by
// ZEPH_PROBE_LOG, tab-separated, and ends:
//   module path, command line, current directory, error mode, start-up flags,
//   process id
// ZEPH_PROBE_LOG must be an absolute path: the probe may start anywhere. The
// process id lets a test wait for the probe to end before it removes the
// probe's program file or folder, which are in use until then.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szLog[MAX_PATH];
    if (!GetEnvironmentVariableA("ZEPH_PROBE_LOG", szLog, sizeof szLog))
        return 2;
    char szModule[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szModule, sizeof szModule - 1);
    char szDirectory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof szDirectory, szDirectory);
    const UINT uErrorMode = SetErrorMode(0);
    SetErrorMode(uErrorMode);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);

    HANDLE hLog = CreateFileA(szLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return 3;
    static char szLine[40000];
    const int cch = std::snprintf(szLine, sizeof szLine, "%s\t%s\t%s\t%u\t%lu\t%lu\n",
                                  szModule, GetCommandLineA(), szDirectory, uErrorMode, si.dwFlags,
                                  GetCurrentProcessId());
    DWORD cbWritten;
    WriteFile(hLog, szLine, cch > 0 ? static_cast<DWORD>(cch) : 0, &cbWritten, nullptr);
    CloseHandle(hLog);
    return 0;
}
