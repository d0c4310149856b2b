// Calls taken from the system at run time rather than through the import
// table: those that not every Windows from 95 on has, and those of libraries
// that Windows does not always take from its own folder.
#pragma once

#include <windows.h>

// A function of a system library, which is loaded from the system folder by
// its full path: Windows looks for a library that is not one of its known
// ones beside the program first, so a library of that name planted beside
// the launcher (a Downloads folder, say) would otherwise run inside it. Null
// where the library cannot be loaded or has no such function; the library
// then stays unloaded, and otherwise stays loaded for the process's life.
FARPROC SystemProcAddress(LPCSTR lpszLibrary, LPCSTR lpszFunction);

template <typename Function>
Function SystemFunction(LPCSTR lpszLibrary, LPCSTR lpszFunction)
{
    // Through the generic function type, which converts to any other
    // without a word from the compiler.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(SystemProcAddress(lpszLibrary, lpszFunction)));
}

// Takes the program's own folder and the current directory out of the
// search for libraries loaded by name later on (by the shell, by COM, by the
// system for a window's theme), so that a library of such a name that lies
// beside the program is not run inside it. Where the system can (Windows 8
// on, and Vista and 7 with the update of 2011) only its own folder is
// searched; on XP SP1 to 7 without that update the current directory is left
// out; older systems search as they always did.
void NarrowLibrarySearch();

// The search as the system has it by default, for as long as this lives,
// around the start of another program: where the narrowing could only leave
// the current directory out, every process started inherits that (the
// system's own is per process), and an old installer run from a temporary
// folder finds its libraries only in its current directory. The narrowing
// is put back when it goes.
class CDefaultLibrarySearch {
public:
    CDefaultLibrarySearch();
    CDefaultLibrarySearch(const CDefaultLibrarySearch&) = delete;
    CDefaultLibrarySearch& operator=(const CDefaultLibrarySearch&) = delete;
    ~CDefaultLibrarySearch();

private:
    bool m_bRestored;
};

// winmm's timeGetTime, the launcher's millisecond clock. The pointer starts
// at a binder that, on the first call, puts the real function in its place,
// or GetTickCount, the same count kept more coarsely, where winmm cannot be
// loaded. It is a constant until then, so a static initialiser may already
// call it; a test may point it at a clock of its own.
extern DWORD(WINAPI* g_pfnTimeGetTime)();
