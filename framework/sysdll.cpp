#include "framework/sysdll.h"

FARPROC SystemProcAddress(LPCSTR lpszLibrary, LPCSTR lpszFunction)
{
    char szPath[MAX_PATH];
    UINT cchPath = GetSystemDirectoryA(szPath, MAX_PATH);
    const UINT cchLibrary = static_cast<UINT>(lstrlenA(lpszLibrary));
    if (cchPath == 0 || cchPath + 1 + cchLibrary >= MAX_PATH)
        return nullptr;
    // The last character, not the last byte: in the code pages of Japan and
    // China the second byte of a letter may be that of a backslash.
    if (*CharPrevA(szPath, szPath + cchPath) != '\\')
        szPath[cchPath++] = '\\';
    lstrcpyA(szPath + cchPath, lpszLibrary);
    // The libraries this one needs in turn are then looked for beside it, in
    // the system folder, and not beside the program either.
    HMODULE hLibrary = LoadLibraryExA(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hLibrary == nullptr)
        return nullptr;
    const FARPROC pfn = GetProcAddress(hLibrary, lpszFunction);
    if (pfn == nullptr)
        FreeLibrary(hLibrary);
    return pfn;
}

namespace {

// SetDllDirectoryA where the narrowing took it, which the programs started
// would inherit; null where the narrowing is the process's own, or none.
BOOL(WINAPI* g_pfnNarrowedByDllDirectory)(LPCSTR);

}  // namespace

void NarrowLibrarySearch()
{
    g_pfnNarrowedByDllDirectory = nullptr;
    // Found at run time: the import table keeps to what Windows 95 has.
    const auto pfnSetDefaultDllDirectories =
        SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
    if (pfnSetDefaultDllDirectories != nullptr &&
        pfnSetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    const auto pfnSetDllDirectory = SystemFunction<BOOL(WINAPI*)(LPCSTR)>("kernel32.dll", "SetDllDirectoryA");
    if (pfnSetDllDirectory != nullptr && pfnSetDllDirectory(""))
        g_pfnNarrowedByDllDirectory = pfnSetDllDirectory;
}

CDefaultLibrarySearch::CDefaultLibrarySearch()
    : m_bRestored(g_pfnNarrowedByDllDirectory != nullptr && g_pfnNarrowedByDllDirectory(nullptr))
{
}

CDefaultLibrarySearch::~CDefaultLibrarySearch()
{
    if (!m_bRestored)
        return;
    // The start's own error is what its caller asks for next.
    const DWORD dwError = GetLastError();
    g_pfnNarrowedByDllDirectory("");
    SetLastError(dwError);
}

namespace {

DWORD WINAPI BindTimeGetTime()
{
    const auto pfn = SystemFunction<DWORD(WINAPI*)()>("winmm.dll", "timeGetTime");
    g_pfnTimeGetTime = pfn != nullptr ? pfn : &GetTickCount;
    return g_pfnTimeGetTime();
}

}  // namespace

DWORD(WINAPI* g_pfnTimeGetTime)() = &BindTimeGetTime;
