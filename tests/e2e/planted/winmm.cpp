// A stranger's winmm.dll, planted beside a program: it records every process
// that loads it, one line with that process's file name, in the file that
// ZEPH_PLANTED_LOG names. It offers timeGetTime, so that a program which
// imports it the ordinary way starts with it.
#include <windows.h>

extern "C" DWORD WINAPI timeGetTime() { return GetTickCount(); }

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    char szLog[MAX_PATH];
    if (dwReason != DLL_PROCESS_ATTACH || !GetEnvironmentVariableA("ZEPH_PLANTED_LOG", szLog, MAX_PATH))
        return TRUE;
    char szLine[MAX_PATH + 2] = {};
    const DWORD cch = GetModuleFileNameA(nullptr, szLine, MAX_PATH);
    szLine[cch] = '\n';
    HANDLE hLog = CreateFileA(szLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog != INVALID_HANDLE_VALUE) {
        DWORD cbWritten;
        WriteFile(hLog, szLine, cch + 1, &cbWritten, nullptr);
        CloseHandle(hLog);
    }
    return TRUE;
}
