// What the soak tests need to know of a running launcher that the X server
// cannot tell, and the repaints it cannot cause.
//
//   gauge measure TITLE        one line of key=value figures for the process
//                              that owns the top-level window with that title
//   gauge repaint TITLE COUNT  COUNT times: covers part of the window, uncovers
//                              it, and waits until the window has repainted
//
// Not every figure is kept by every system: the object counts the system
// reports (GetGuiResources) and the handle count a process is told of itself
// read 0 under Wine, so the gauge also counts for itself what is real there:
// the entries of the process's GDI handle table, its windows, and its handles
// in the system's handle table.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct CSearch {
    DWORD dwProcess;
    int nWindows;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    ++reinterpret_cast<CSearch*>(lParam)->nWindows;
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<CSearch*>(lParam);
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    if (dwProcess == pSearch->dwProcess) {
        ++pSearch->nWindows;
        EnumChildWindows(hWnd, CountChild, lParam);
    }
    return TRUE;
}

// Top-level windows, their children and message-only windows of the process.
int CountWindows(DWORD dwProcess)
{
    CSearch search{dwProcess, 0};
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&search));
    for (HWND hWnd = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); hWnd != nullptr;
         hWnd = FindWindowExA(HWND_MESSAGE, hWnd, nullptr, nullptr))
        CountWindow(hWnd, reinterpret_cast<LPARAM>(&search));
    return search.nWindows;
}

using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

FARPROC Ntdll(const char* pszName)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), pszName);
}

// The process's entries in the system's handle table.
int CountHandles(DWORD dwProcess)
{
    struct Entry {
        USHORT nProcess, nBackTrace;
        UCHAR nType, nFlags;
        USHORT hValue;
        PVOID pObject;
        ACCESS_MASK access;
    };
    struct Table {
        ULONG nCount;
        Entry entries[1];
    };
    const auto pfnQuery = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(Ntdll("NtQuerySystemInformation")));
    if (pfnQuery == nullptr)
        return -1;
    std::vector<char> buffer(1 << 16);
    LONG lStatus;
    ULONG cbNeeded = 0;
    while ((lStatus = pfnQuery(16, buffer.data(), ULONG(buffer.size()), &cbNeeded)) ==
           LONG(0xC0000004))
        buffer.resize(buffer.size() * 2);
    if (lStatus != 0)
        return -1;
    const auto* pTable = reinterpret_cast<const Table*>(buffer.data());
    int nHandles = 0;
    for (ULONG n = 0; n < pTable->nCount; ++n) {
        if (pTable->entries[n].nProcess == USHORT(dwProcess))
            ++nHandles;
    }
    return nHandles;
}

// One entry of the GDI handle table as Wine lays it out, the same in 32- and
// 64-bit processes (measured: a 32-bit program's own brush and pen sit at
// 24-byte steps, their type in the fifteenth byte).
struct GdiEntry {
    UINT64 pObject;
    ULONG owner;
    USHORT nUnique;
    UCHAR nType, nFlags;
    UINT64 pUser;
};
static_assert(sizeof(GdiEntry) == 24, "Wine's GDI handle table entry");

// Where the process environment block keeps the table's address: a 32-bit
// block holds a 4-byte pointer at 0x94, a 64-bit one an 8-byte pointer at
// 0xF8. A 32-bit process on 64-bit Windows has a 32-bit block of its own,
// which only a 64-bit caller has to ask for separately.
UINT64 GdiTableAddress(HANDLE hProcess)
{
    const auto pfnQuery = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(Ntdll("NtQueryInformationProcess")));
    if (pfnQuery == nullptr)
        return 0;
    BOOL bTargetWow64 = FALSE;
    IsWow64Process(hProcess, &bTargetWow64);
    bool b32BitBlock;
    ULONG_PTR pBlock = 0;
    ULONG cbInfo = 0;
#ifdef _WIN64
    b32BitBlock = bTargetWow64 != FALSE;
    if (b32BitBlock && pfnQuery(hProcess, 26 /* ProcessWow64Information */, &pBlock,
                                sizeof pBlock, &cbInfo) != 0)
        return 0;
#else
    // A 32-bit gauge beside a 64-bit process cannot reach its 64-bit block.
    BOOL bSelfWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &bSelfWow64);
    if (bSelfWow64 && !bTargetWow64)
        return 0;
    b32BitBlock = true;
#endif
    if (pBlock == 0) {
        struct ProcessBasics {
            PVOID pExitStatus;
            PVOID pPeb;
            ULONG_PTR affinity, priority, nProcess, nParent;
        } basics = {};
        if (pfnQuery(hProcess, 0 /* ProcessBasicInformation */, &basics, sizeof basics, &cbInfo) != 0)
            return 0;
        pBlock = reinterpret_cast<ULONG_PTR>(basics.pPeb);
    }
    SIZE_T cbRead = 0;
    if (b32BitBlock) {
        ULONG nTable = 0;
        if (!ReadProcessMemory(hProcess, reinterpret_cast<void*>(pBlock + 0x94), &nTable,
                               sizeof nTable, &cbRead))
            return 0;
        return nTable;
    }
    UINT64 nTable = 0;
    if (!ReadProcessMemory(hProcess, reinterpret_cast<void*>(pBlock + 0xF8), &nTable,
                           sizeof nTable, &cbRead))
        return 0;
    return nTable;
}

struct GdiCount {
    int nObjects = -1;  // -1: the table could not be read
    int nDeviceContexts = -1;
    int nByType[256] = {};
};

// The used entries of the GDI handle table the process's environment block
// points to: every pen, brush, palette, bitmap, region and device context it
// holds, the system's stock objects included; and how many of them are
// window device contexts, which the system keeps in a cache of its own.
GdiCount CountGdiObjects(HANDLE hProcess)
{
    const UCHAR kDeviceContext = 0x01;
    GdiCount count;
    const UINT64 nTable = GdiTableAddress(hProcess);
    if (nTable == 0)
        return count;
    std::vector<GdiEntry> entries(0x10000);
    SIZE_T cbRead = 0;
    if (!ReadProcessMemory(hProcess, reinterpret_cast<void*>(static_cast<ULONG_PTR>(nTable)),
                           entries.data(), entries.size() * sizeof(GdiEntry), &cbRead))
        return count;
    count.nObjects = count.nDeviceContexts = 0;
    for (const GdiEntry& entry : entries) {
        if (entry.nType != 0)
            ++count.nObjects;
        if (entry.nType == kDeviceContext)
            ++count.nDeviceContexts;
        ++count.nByType[entry.nType];
    }
    return count;
}

int Measure(const char* pszTitle)
{
    HWND hWnd = FindWindowA(nullptr, pszTitle);
    if (hWnd == nullptr) {
        std::printf("window=none\n");
        return 1;
    }
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    HANDLE hProcess =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcess);
    if (hProcess == nullptr) {
        std::printf("window=found process=none\n");
        return 1;
    }
    DWORD_PTR result = 0;
    const bool bAnswers =
        SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    DWORD dwReportedHandles = 0;
    GetProcessHandleCount(hProcess, &dwReportedHandles);
    const GdiCount gdi = CountGdiObjects(hProcess);
    std::printf("pid=%lu answers=%d gdi=%d dc=%d windows=%d handles=%d pagefile=%llu "
                "workingset=%llu private=%llu reported_gdi=%lu reported_user=%lu "
                "reported_handles=%lu\n",
                dwProcess, bAnswers ? 1 : 0, gdi.nObjects, gdi.nDeviceContexts,
                CountWindows(dwProcess),
                CountHandles(dwProcess), static_cast<unsigned long long>(memory.PagefileUsage),
                static_cast<unsigned long long>(memory.WorkingSetSize),
                static_cast<unsigned long long>(memory.PrivateUsage),
                GetGuiResources(hProcess, GR_GDIOBJECTS), GetGuiResources(hProcess, GR_USEROBJECTS),
                dwReportedHandles);
    // Which kinds of objects there are, for a reader who must tell what grew.
    std::printf("gdi_types=");
    for (int nType = 1; nType < 256; ++nType) {
        if (gdi.nByType[nType] != 0)
            std::printf("%02x:%d,", nType, gdi.nByType[nType]);
    }
    std::printf("\n");
    CloseHandle(hProcess);
    return 0;
}

LRESULT CALLBACK CoverProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hWnd, &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc,
                 static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// Uncovering a window makes the system invalidate and erase what was hidden.
// Wine keeps a copy of every window's pixels and shows that copy again
// instead, so the gauge asks for that invalidation itself, as Windows' window
// manager would make it, once the cover is gone.
int Repaint(const char* pszTitle, int nCount)
{
    HWND hWnd = FindWindowA(nullptr, pszTitle);
    if (hWnd == nullptr)
        return 1;
    RECT rcWindow;
    GetWindowRect(hWnd, &rcWindow);
    // Over the middle of the picture, buttons and flames included.
    const RECT rcCover{rcWindow.left + 100, rcWindow.top + 40, rcWindow.left + 460,
                       rcWindow.top + 400};
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CoverProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SoakCover";
    RegisterClassA(&wc);
    HWND hCover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                  wc.lpszClassName, "soak cover", WS_POPUP, rcCover.left,
                                  rcCover.top, rcCover.right - rcCover.left,
                                  rcCover.bottom - rcCover.top, nullptr, nullptr, wc.hInstance,
                                  nullptr);
    if (hCover == nullptr)
        return 2;
    RECT rcHidden = rcCover;
    MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&rcHidden), 2);
    int nRepainted = 0;
    for (int n = 0; n < nCount; ++n) {
        SetWindowPos(hCover, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        Pump();
        SetWindowPos(hCover, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER | SWP_HIDEWINDOW);
        Pump();
        RedrawWindow(hWnd, &rcHidden, nullptr, RDW_INVALIDATE | RDW_ERASE);
        // The launcher validates its window when it has painted.
        bool bDone = false;
        for (int nWait = 0; nWait < 2000 && !bDone; ++nWait) {
            bDone = !GetUpdateRect(hWnd, nullptr, FALSE);
            if (!bDone)
                Sleep(1);
        }
        if (bDone)
            ++nRepainted;
    }
    DestroyWindow(hCover);
    std::printf("repainted=%d\n", nRepainted);
    return nRepainted == nCount ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "measure") == 0)
        return Measure(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "repaint") == 0)
        return Repaint(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: gauge measure TITLE | repaint TITLE COUNT\n");
    return 2;
}
