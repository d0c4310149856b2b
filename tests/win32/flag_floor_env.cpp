// Every Wine test program stands on the flag floor, from before its first
// test, and so do the programs it starts through StartOnTheFlagFloor: a bit
// that the oldest Windows with the call does not define fails the test in
// which the call was made.
// Letting a started program go again is Windows XP's (DebugActiveProcessStop).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0501

#include "tests/win32/flag_floor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

void Fail(const std::string& finding) { ADD_FAILURE() << finding; }

// Where the started programs write their findings, one a line.
std::string ProgramsLog()
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    return std::string(szTemp) + "zeph-flag-floor-" + std::to_string(GetCurrentProcessId()) + ".log";
}

class CFloorListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        ResetFlagFloor();
        DeleteFileA(ProgramsLog().c_str());
    }
    // Before the test's result is printed.
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        std::ifstream log(ProgramsLog());
        for (std::string line; std::getline(log, line);)
            ADD_FAILURE() << "in a program the test started: " << line;
        log.close();
        DeleteFileA(ProgramsLog().c_str());
    }
};

[[maybe_unused]] const bool g_bOnTheFloor = [] {
    InstallFlagFloor(ZEPH_FLAG_TABLE, &Fail);
    // The started programs' floor finds the table and the log here.
    SetEnvironmentVariableA("ZEPH_FLAG_TABLE", ZEPH_FLAG_TABLE);
    SetEnvironmentVariableA("ZEPH_FLAG_FLOOR_LOG", ProgramsLog().c_str());
    ::testing::UnitTest::GetInstance()->listeners().Append(new CFloorListener);
    return true;
}();

// Loads the floor's library into a started program that a debugger holds at
// its entry point, by a thread of the program's own. True once it is in.
bool LoadFloorInto(HANDLE hProcess)
{
    const char* const pszLibrary = ZEPH_FLAG_FLOOR_LIBRARY;
    const SIZE_T cbLibrary = std::strlen(pszLibrary) + 1;
    void* pRemote = VirtualAllocEx(hProcess, nullptr, cbLibrary, MEM_COMMIT, PAGE_READWRITE);
    if (pRemote == nullptr || !WriteProcessMemory(hProcess, pRemote, pszLibrary, cbLibrary, nullptr))
        return false;
    // kernel32 lies at the same place in every process.
    const auto pfnLoad = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    DWORD dwThread;
    HANDLE hThread = CreateRemoteThread(hProcess, nullptr, 0, pfnLoad, pRemote, 0, &dwThread);
    if (hThread == nullptr)
        return false;
    // The thread reports its end to the debugger, which is this thread: it
    // is waited for by the debug events, and its handle kept for its answer.
    DEBUG_EVENT event;
    while (WaitForDebugEvent(&event, 20000)) {
        if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile != nullptr)
            CloseHandle(event.u.LoadDll.hFile);
        const bool bEnded = event.dwDebugEventCode == EXIT_THREAD_DEBUG_EVENT && event.dwThreadId == dwThread;
        const bool bGone = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        if (bEnded || bGone) {
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            DWORD dwLoaded = 0;
            GetExitCodeThread(hThread, &dwLoaded);
            CloseHandle(hThread);
            return bEnded && dwLoaded != 0;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                           event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT ? DBG_EXCEPTION_NOT_HANDLED
                                                                           : DBG_CONTINUE);
    }
    CloseHandle(hThread);
    return false;
}

}  // namespace

BOOL StartOnTheFlagFloor(LPCSTR pszProgram, LPSTR pszCommandLine, DWORD dwFlags, LPCSTR pszDirectory,
                         LPSTARTUPINFOA pStartup, LPPROCESS_INFORMATION pInfo)
{
    if (!CreateProcessA(pszProgram, pszCommandLine, nullptr, nullptr, FALSE, dwFlags | DEBUG_ONLY_THIS_PROCESS,
                        nullptr, pszDirectory, pStartup, pInfo))
        return FALSE;
    // Held by a breakpoint at its entry point, once the system has loaded
    // what it imports and before any of its own code has run.
    void* pEntry = nullptr;
    BYTE bCode = 0;
    bool bOnTheFloor = false;
    DEBUG_EVENT event;
    while (WaitForDebugEvent(&event, 20000)) {
        DWORD dwContinue = DBG_CONTINUE;
        if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            CloseHandle(event.u.CreateProcessInfo.hFile);
            pEntry = reinterpret_cast<void*>(event.u.CreateProcessInfo.lpStartAddress);
            const BYTE bBreak = 0xCC;
            ReadProcessMemory(pInfo->hProcess, pEntry, &bCode, 1, nullptr);
            WriteProcessMemory(pInfo->hProcess, pEntry, &bBreak, 1, nullptr);
            FlushInstructionCache(pInfo->hProcess, pEntry, 1);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            CloseHandle(event.u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
            if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
                dwContinue = DBG_EXCEPTION_NOT_HANDLED;
            } else if (record.ExceptionAddress == pEntry) {
                // The entry point as it was, and the program back before it.
                WriteProcessMemory(pInfo->hProcess, pEntry, &bCode, 1, nullptr);
                FlushInstructionCache(pInfo->hProcess, pEntry, 1);
                CONTEXT context = {};
                context.ContextFlags = CONTEXT_CONTROL;
                GetThreadContext(pInfo->hThread, &context);
#ifdef _WIN64
                context.Rip = reinterpret_cast<DWORD64>(pEntry);
#else
                context.Eip = reinterpret_cast<DWORD>(pEntry);
#endif
                SetThreadContext(pInfo->hThread, &context);
                SuspendThread(pInfo->hThread);
                ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
                bOnTheFloor = LoadFloorInto(pInfo->hProcess);
                break;
            }
        } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, dwContinue);
    }
    DebugSetProcessKillOnExit(FALSE);
    DebugActiveProcessStop(pInfo->dwProcessId);
    ResumeThread(pInfo->hThread);
    if (!bOnTheFloor)
        ADD_FAILURE() << "the flag floor could not be put under " << (pszProgram ? pszProgram : pszCommandLine);
    return TRUE;
}
