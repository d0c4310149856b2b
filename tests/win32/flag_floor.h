// The floor for flags: every flag and mask bit the code passes to the system
// must be defined by the oldest Windows that has the call, as
// tests/imports/flags.txt tells. Windows refuses a bit it does not know; Wine
// takes any, so a test would never see it fail.
#pragma once

#include <windows.h>

#include <string>

// Puts the floor in front of this program's imports of the calls with flags,
// and of GetProcAddress, through which the calls found at run time pass too.
// It stays for the program's life: import patches made later go behind it
// (tests/win32/import_patch.h), so it sees every call. pfnReport is told each
// finding once, in words.
//
// GetVersion answers as Windows 95 does, so that code which passes a bit only
// where the system defines it takes the oldest system's way; a test that
// patches GetVersion to answer for another system has the calls made after it
// asked judged against that system.
void InstallFlagFloor(const char* pszTable, void (*pfnReport)(const std::string& finding));

// Forgets what the program was told and what was reported: a new test begins.
void ResetFlagFloor();

// CreateProcessA for a program that is to stand on the floor too, from
// before its first instruction; its findings fail the test that started it.
BOOL StartOnTheFlagFloor(LPCSTR pszProgram, LPSTR pszCommandLine, DWORD dwFlags, LPCSTR pszDirectory,
                         LPSTARTUPINFOA pStartup, LPPROCESS_INFORMATION pInfo);
