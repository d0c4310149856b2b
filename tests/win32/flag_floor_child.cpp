// The flag floor in a program a test started (StartOnTheFlagFloor): loaded
// before the program's own code runs, it stands in front of the program's
// imports and writes each finding, with the program's name, to the log the
// test reads when it ends.
#include "tests/win32/flag_floor.h"

#include <windows.h>

namespace {

void Append(const std::string& finding)
{
    char szLog[MAX_PATH], szProgram[MAX_PATH];
    if (!GetEnvironmentVariableA("ZEPH_FLAG_FLOOR_LOG", szLog, MAX_PATH))
        return;
    const DWORD cchProgram = GetModuleFileNameA(nullptr, szProgram, MAX_PATH);
    const std::string line = std::string(szProgram, cchProgram) + ": " + finding + "\n";
    HANDLE hLog = CreateFileA(szLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return;
    DWORD cbWritten;
    WriteFile(hLog, line.data(), static_cast<DWORD>(line.size()), &cbWritten, nullptr);
    CloseHandle(hLog);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    char szTable[MAX_PATH];
    if (dwReason == DLL_PROCESS_ATTACH && GetEnvironmentVariableA("ZEPH_FLAG_TABLE", szTable, MAX_PATH))
        InstallFlagFloor(szTable, &Append);
    return TRUE;
}
