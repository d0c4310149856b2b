#include "tests/win32/flag_floor.h"

#include "framework/winver.h"
#include "tests/win32/import_patch.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Systems

// A Windows: its line and its version, MAKEWORD(minor, major), and for
// Vista and 7 whether it has the update of 2011.
struct CSystem {
    bool bNT;
    WORD wVersion;
    bool bUpdate2011 = false;
};

const WORD kNever = 0xFFFF;
// The update of 2011 brought Vista and 7 what Windows 8 has from the start.
const char kUpdate2011[] = "KB2533623";
const WORD kWindows8 = 0x0602;

struct CSystemName {
    const char* pszToken;  // as flags.txt names it
    CSystem system;
    const char* pszName;
};

const CSystemName kSystems[] = {
    {"95", {false, 0x0400}, "Windows 95"},     {"98", {false, 0x040A}, "Windows 98"},
    {"ME", {false, 0x045A}, "Windows ME"},     {"NT4", {true, 0x0400}, "Windows NT 4.0"},
    {"2000", {true, 0x0500}, "Windows 2000"},  {"XP", {true, 0x0501}, "Windows XP"},
    {"2003", {true, 0x0502}, "Windows Server 2003"}, {"Vista", {true, 0x0600}, "Windows Vista"},
    {"7", {true, 0x0601}, "Windows 7"},        {"8", {true, 0x0602}, "Windows 8"},
    {"10", {true, 0x0A00}, "Windows 10"},
};

bool MayLackUpdate2011(const CSystem& system)
{
    return system.bNT && system.wVersion < kWindows8 && !system.bUpdate2011;
}

std::string SystemName(const CSystem& system)
{
    for (const CSystemName& known : kSystems)
        if (known.system.bNT == system.bNT && known.system.wVersion == system.wVersion)
            return known.pszName;
    std::ostringstream name;
    name << (system.bNT ? "Windows NT " : "Windows ") << (system.wVersion >> 8) << '.'
         << (system.wVersion & 0xFF);
    return name.str();
}

// The first version of each line that has a call or defines a bit; on the
// NT line, where it says so, Vista or 7 only with the update of 2011.
struct CFirst {
    WORD w9x = kNever;
    WORD wNT = kNever;
    bool bUpdate2011 = false;
    WORD On(bool bNT) const { return bNT ? wNT : w9x; }
    bool DefinedOn(const CSystem& system) const
    {
        return On(system.bNT) <= system.wVersion && !(bUpdate2011 && MayLackUpdate2011(system));
    }
};

// ---------------------------------------------------------------------------
// The table

struct CCall {
    std::string function;
    CFirst first;
};

struct CBit {
    std::string set, name;
    DWORD dwValue;
    DWORD dwField;  // the value's own bits, or the field it is one value of
    CFirst first;
};

struct CTable {
    std::vector<CCall> calls;
    std::vector<CBit> bits;
    std::string error;  // why it could not be read
};

bool ReadFirst(const std::string& token9x, std::string tokenNT, CFirst* pFirst)
{
    const std::string update = std::string("+") + kUpdate2011;
    if (tokenNT.size() > update.size() && tokenNT.compare(tokenNT.size() - update.size(), update.size(), update) == 0) {
        tokenNT.resize(tokenNT.size() - update.size());
        pFirst->bUpdate2011 = true;
    }
    for (const auto& token : {std::make_pair(token9x, false), std::make_pair(tokenNT, true)}) {
        if (token.first == "-")
            continue;
        const CSystemName* pKnown = nullptr;
        for (const CSystemName& known : kSystems)
            if (token.first == known.pszToken && known.system.bNT == token.second)
                pKnown = &known;
        if (pKnown == nullptr)
            return false;
        (token.second ? pFirst->wNT : pFirst->w9x) = pKnown->system.wVersion;
    }
    return !pFirst->bUpdate2011 || pFirst->wNT < kWindows8;
}

CTable ReadTable(const char* pszPath)
{
    CTable table;
    std::ifstream file(pszPath);
    if (!file) {
        table.error = std::string("the table ") + pszPath + " cannot be read";
        return table;
    }
    std::string line;
    for (int nLine = 1; std::getline(file, line); ++nLine) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::vector<std::string> words;
        for (std::string word; fields >> word;)
            words.push_back(word);
        if (words.empty())
            continue;
        bool bRead = words.size() == 5;
        if (bRead && words[0] == "call") {
            CCall call{words[2], {}};
            bRead = ReadFirst(words[3], words[4], &call.first);
            table.calls.push_back(call);
        } else if (bRead) {
            CBit bit{words[0], words[1], 0, 0, {}};
            const size_t slash = words[2].find('/');
            char* pEnd = nullptr;
            bit.dwValue = std::strtoul(words[2].c_str(), &pEnd, 0);
            bit.dwField = slash == std::string::npos ? bit.dwValue : std::strtoul(pEnd + 1, &pEnd, 0);
            bRead = *pEnd == '\0' && ReadFirst(words[3], words[4], &bit.first);
            table.bits.push_back(bit);
        }
        if (!bRead) {
            table.error = std::string(pszPath) + ":" + std::to_string(nLine) + ": cannot read \"" + line + "\"";
            return table;
        }
    }
    return table;
}

// ---------------------------------------------------------------------------
// Judging

std::mutex g_mutex;
const CTable* g_pTable;
void (*g_pfnReport)(const std::string&);
// Function-local, so that a static initializer elsewhere may install the
// floor before this file's own statics are made.
std::set<std::string>& Reported()
{
    static std::set<std::string> s_reported;
    return s_reported;
}
// The system a test's own GetVersion told the program it runs on.
bool g_bTold;
CSystem g_told;
// Whether the program found a call of the update of 2011, which it may take
// as the sign that the update is there.
bool g_bUpdate2011Found;

void Report(const std::string& finding)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!Reported().insert(finding).second)
            return;
    }
    g_pfnReport(finding);
}

// The systems a call is judged against: the oldest of each line that has
// it, or the one the program was told of, or the oldest of that line with
// the call, when that came later.
// A call that only the update brings shows that the update is there.
std::vector<CSystem> JudgedSystems(const CFirst& call)
{
    std::vector<CSystem> systems;
    std::lock_guard<std::mutex> lock(g_mutex);
    const bool bUpdate2011 = call.bUpdate2011 || g_bUpdate2011Found;
    if (g_bTold && call.On(g_told.bNT) != kNever)
        return {CSystem{g_told.bNT, std::max(g_told.wVersion, call.On(g_told.bNT)), bUpdate2011}};
    for (bool bNT : {false, true})
        if (call.On(bNT) != kNever)
            systems.push_back(CSystem{bNT, call.On(bNT), bUpdate2011});
    return systems;
}

std::string Hex(DWORD dwValue)
{
    char sz[16];
    wsprintfA(sz, "0x%08lX", dwValue);
    return sz;
}

// Keeps the thread's last error as the call found it.
class CLastError {
public:
    CLastError() : m_dwError(GetLastError()) {}
    ~CLastError() { SetLastError(m_dwError); }

private:
    DWORD m_dwError;
};

// Names every bit of dwValue, passed to the call in an argument that takes
// the given sets, that a system the call is judged against does not define.
void Judge(const char* pszFunction, const char* pszSets, DWORD dwValue)
{
    const CLastError lastError;
    const CTable& table = *g_pTable;
    if (!table.error.empty())
        return Report(table.error);
    const CCall* pCall = nullptr;
    for (const CCall& call : table.calls)
        if (call.function == pszFunction)
            pCall = &call;
    if (pCall == nullptr)
        return Report(std::string(pszFunction) + " has no line in the table");
    std::istringstream setNames(pszSets);
    const std::vector<std::string> sets{std::istream_iterator<std::string>(setNames), {}};
    auto inSets = [&](const CBit& bit) { return std::find(sets.begin(), sets.end(), bit.set) != sets.end(); };

    for (const CSystem& system : JudgedSystems(pCall->first)) {
        std::vector<std::string> names;
        // Bits the system has where the update of 2011 is there.
        std::vector<std::string> updateNames;
        DWORD dwKnown = 0;
        for (const CBit& bit : table.bits) {
            if (!inSets(bit))
                continue;
            dwKnown |= bit.dwField;
            const bool bPassed = bit.dwValue == bit.dwField ? (dwValue & bit.dwValue) != 0
                                                            : (dwValue & bit.dwField) == bit.dwValue;
            if (bPassed && !bit.first.DefinedOn(system))
                (bit.first.On(system.bNT) <= system.wVersion ? updateNames : names).push_back(bit.name);
        }
        // A field's value that no line names.
        for (const CBit& bit : table.bits) {
            const DWORD dwFieldValue = dwValue & bit.dwField;
            if (!inSets(bit) || bit.dwValue == bit.dwField || dwFieldValue == 0)
                continue;
            bool bListed = false;
            for (const CBit& other : table.bits)
                bListed = bListed || (inSets(other) && other.dwField == bit.dwField && other.dwValue == dwFieldValue);
            if (!bListed)
                names.push_back(Hex(dwFieldValue));
        }
        if (dwValue & ~dwKnown)
            names.push_back(Hex(dwValue & ~dwKnown));
        for (const std::string& name : names)
            Report(std::string(pszFunction) + " is passed " + name + " (in " + Hex(dwValue) + "), which " +
                   SystemName(system) + " does not define");
        for (const std::string& name : updateNames)
            Report(std::string(pszFunction) + " is passed " + name + " (in " + Hex(dwValue) + "), which " +
                   SystemName(system) + " does not define without the update of 2011 (" + kUpdate2011 + ")");
    }
}

// ---------------------------------------------------------------------------
// The calls

// Each replacement judges its call's flags and calls on: the system's
// function, or whatever a test put behind the floor.
struct CHook {
    const char* pszLibrary;
    const char* pszFunction;
    void* pReplacement;
    void* pOnward;
    bool bRunTime;  // found by the code through GetProcAddress
};

CHook& HookOf(void* pReplacement);

template <typename Function>
Function Onward(Function pfnReplacement)
{
    return reinterpret_cast<Function>(HookOf(reinterpret_cast<void*>(pfnReplacement)).pOnward);
}

DWORD WINAPI FloorMsgWaitEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMs, DWORD dwMask, DWORD dwFlags)
{
    Judge("MsgWaitForMultipleObjectsEx", "QS", dwMask);
    Judge("MsgWaitForMultipleObjectsEx", "MWMO", dwFlags);
    return Onward(&FloorMsgWaitEx)(nCount, pHandles, dwMs, dwMask, dwFlags);
}

DWORD WINAPI FloorMsgWait(DWORD nCount, const HANDLE* pHandles, BOOL bAll, DWORD dwMs, DWORD dwMask)
{
    Judge("MsgWaitForMultipleObjects", "QS", dwMask);
    return Onward(&FloorMsgWait)(nCount, pHandles, bAll, dwMs, dwMask);
}

BOOL WINAPI FloorPeekMessage(LPMSG pMsg, HWND hWnd, UINT nMin, UINT nMax, UINT nRemove)
{
    Judge("PeekMessageA", "PM", nRemove);
    return Onward(&FloorPeekMessage)(pMsg, hWnd, nMin, nMax, nRemove);
}

HWND WINAPI FloorCreateWindowEx(DWORD dwExStyle, LPCSTR pszClass, LPCSTR pszName, DWORD dwStyle, int x,
                                int y, int cx, int cy, HWND hParent, HMENU hMenu, HINSTANCE hInstance,
                                LPVOID pParam)
{
    Judge("CreateWindowExA", "WS_EX", dwExStyle);
    Judge("CreateWindowExA", "WS", dwStyle);
    return Onward(&FloorCreateWindowEx)(dwExStyle, pszClass, pszName, dwStyle, x, y, cx, cy, hParent, hMenu,
                                        hInstance, pParam);
}

BOOL WINAPI FloorAdjustWindowRect(LPRECT pRect, DWORD dwStyle, BOOL bMenu)
{
    Judge("AdjustWindowRect", "WS", dwStyle);
    return Onward(&FloorAdjustWindowRect)(pRect, dwStyle, bMenu);
}

ATOM WINAPI FloorRegisterClass(const WNDCLASSA* pClass)
{
    Judge("RegisterClassA", "CS", pClass->style);
    return Onward(&FloorRegisterClass)(pClass);
}

int WINAPI FloorMessageBox(HWND hWnd, LPCSTR pszText, LPCSTR pszCaption, UINT uType)
{
    Judge("MessageBoxA", "MB", uType);
    return Onward(&FloorMessageBox)(hWnd, pszText, pszCaption, uType);
}

int WINAPI FloorDrawText(HDC hDC, LPCSTR pszText, int cch, LPRECT pRect, UINT uFormat)
{
    Judge("DrawTextA", "DT", uFormat);
    return Onward(&FloorDrawText)(hDC, pszText, cch, pRect, uFormat);
}

BOOL WINAPI FloorShellExecuteEx(SHELLEXECUTEINFOA* pInfo)
{
    Judge("ShellExecuteExA", "SEE_MASK", pInfo->fMask);
    return Onward(&FloorShellExecuteEx)(pInfo);
}

HANDLE WINAPI FloorCreateFile(LPCSTR pszName, DWORD dwAccess, DWORD dwShare, LPSECURITY_ATTRIBUTES pSecurity,
                              DWORD dwDisposition, DWORD dwFlags, HANDLE hTemplate)
{
    Judge("CreateFileA", "FILE_ACCESS", dwAccess);
    Judge("CreateFileA", "FILE_SHARE", dwShare);
    Judge("CreateFileA", "FILE_ATTRIBUTE FILE_FLAG", dwFlags);
    return Onward(&FloorCreateFile)(pszName, dwAccess, dwShare, pSecurity, dwDisposition, dwFlags, hTemplate);
}

BOOL WINAPI FloorSetFileAttributes(LPCSTR pszName, DWORD dwAttributes)
{
    Judge("SetFileAttributesA", "FILE_ATTRIBUTE", dwAttributes);
    return Onward(&FloorSetFileAttributes)(pszName, dwAttributes);
}

HMODULE WINAPI FloorLoadLibraryEx(LPCSTR pszName, HANDLE hFile, DWORD dwFlags)
{
    Judge("LoadLibraryExA", "LOAD_LIBRARY", dwFlags);
    return Onward(&FloorLoadLibraryEx)(pszName, hFile, dwFlags);
}

BOOL WINAPI FloorSetDefaultDllDirectories(DWORD dwFlags)
{
    Judge("SetDefaultDllDirectories", "LOAD_LIBRARY", dwFlags);
    return Onward(&FloorSetDefaultDllDirectories)(dwFlags);
}

DWORD WINAPI FloorFormatMessage(DWORD dwFlags, LPCVOID pSource, DWORD dwMessage, DWORD dwLanguage, LPSTR pszBuffer,
                                DWORD nSize, va_list* pArguments)
{
    Judge("FormatMessageA", "FORMAT_MESSAGE", dwFlags);
    return Onward(&FloorFormatMessage)(dwFlags, pSource, dwMessage, dwLanguage, pszBuffer, nSize, pArguments);
}

BOOL WINAPI FloorCreateProcess(LPCSTR pszName, LPSTR pszCommandLine, LPSECURITY_ATTRIBUTES pProcess,
                               LPSECURITY_ATTRIBUTES pThread, BOOL bInherit, DWORD dwFlags, LPVOID pEnvironment,
                               LPCSTR pszDirectory, LPSTARTUPINFOA pStartup, LPPROCESS_INFORMATION pInfo)
{
    Judge("CreateProcessA", "CREATE", dwFlags);
    return Onward(&FloorCreateProcess)(pszName, pszCommandLine, pProcess, pThread, bInherit, dwFlags,
                                       pEnvironment, pszDirectory, pStartup, pInfo);
}

BOOL WINAPI FloorDuplicateHandle(HANDLE hSourceProcess, HANDLE hSource, HANDLE hTargetProcess, LPHANDLE phTarget,
                                 DWORD dwAccess, BOOL bInherit, DWORD dwOptions)
{
    Judge("DuplicateHandle", "DUPLICATE", dwOptions);
    return Onward(&FloorDuplicateHandle)(hSourceProcess, hSource, hTargetProcess, phTarget, dwAccess, bInherit,
                                         dwOptions);
}

HGLOBAL WINAPI FloorGlobalAlloc(UINT uFlags, SIZE_T cb)
{
    Judge("GlobalAlloc", "GMEM", uFlags);
    return Onward(&FloorGlobalAlloc)(uFlags, cb);
}

LONG WINAPI FloorRegOpenKeyEx(HKEY hKey, LPCSTR pszSubKey, DWORD dwOptions, REGSAM sam, PHKEY phResult)
{
    Judge("RegOpenKeyExA", "KEY", sam);
    return Onward(&FloorRegOpenKeyEx)(hKey, pszSubKey, dwOptions, sam, phResult);
}

LONG WINAPI FloorRegCreateKeyEx(HKEY hKey, LPCSTR pszSubKey, DWORD dwReserved, LPSTR pszClass, DWORD dwOptions,
                                REGSAM sam, LPSECURITY_ATTRIBUTES pSecurity, PHKEY phResult, LPDWORD pdwDisposition)
{
    Judge("RegCreateKeyExA", "REG_OPTION", dwOptions);
    Judge("RegCreateKeyExA", "KEY", sam);
    return Onward(&FloorRegCreateKeyEx)(hKey, pszSubKey, dwReserved, pszClass, dwOptions, sam, pSecurity,
                                        phResult, pdwDisposition);
}

// What GetVersion answers on Windows 95 (build 950).
DWORD WINAPI AsWindows95() { return 0xC3B60004; }

DWORD WINAPI FloorGetVersion()
{
    const auto pfnOnward = Onward(&FloorGetVersion);
    const DWORD dwVersion = pfnOnward();
    const CWindowsVersion told = ReadWindowsVersion(dwVersion);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_bTold = pfnOnward != &AsWindows95;
    g_told = CSystem{told.bNT, told.wVersion};
    return dwVersion;
}

FARPROC WINAPI FloorGetProcAddress(HMODULE hModule, LPCSTR pszName);

CHook g_hooks[] = {
    {"user32.dll", "MsgWaitForMultipleObjectsEx", reinterpret_cast<void*>(&FloorMsgWaitEx), nullptr, true},
    {"user32.dll", "MsgWaitForMultipleObjects", reinterpret_cast<void*>(&FloorMsgWait), nullptr, false},
    {"user32.dll", "PeekMessageA", reinterpret_cast<void*>(&FloorPeekMessage), nullptr, false},
    {"user32.dll", "CreateWindowExA", reinterpret_cast<void*>(&FloorCreateWindowEx), nullptr, false},
    {"user32.dll", "AdjustWindowRect", reinterpret_cast<void*>(&FloorAdjustWindowRect), nullptr, false},
    {"user32.dll", "RegisterClassA", reinterpret_cast<void*>(&FloorRegisterClass), nullptr, false},
    {"user32.dll", "MessageBoxA", reinterpret_cast<void*>(&FloorMessageBox), nullptr, false},
    {"user32.dll", "DrawTextA", reinterpret_cast<void*>(&FloorDrawText), nullptr, false},
    {"shell32.dll", "ShellExecuteExA", reinterpret_cast<void*>(&FloorShellExecuteEx), nullptr, false},
    {"kernel32.dll", "CreateFileA", reinterpret_cast<void*>(&FloorCreateFile), nullptr, false},
    {"kernel32.dll", "SetFileAttributesA", reinterpret_cast<void*>(&FloorSetFileAttributes), nullptr, false},
    {"kernel32.dll", "LoadLibraryExA", reinterpret_cast<void*>(&FloorLoadLibraryEx), nullptr, false},
    {"kernel32.dll", "SetDefaultDllDirectories", reinterpret_cast<void*>(&FloorSetDefaultDllDirectories), nullptr,
     true},
    {"kernel32.dll", "FormatMessageA", reinterpret_cast<void*>(&FloorFormatMessage), nullptr, false},
    {"kernel32.dll", "CreateProcessA", reinterpret_cast<void*>(&FloorCreateProcess), nullptr, false},
    {"kernel32.dll", "DuplicateHandle", reinterpret_cast<void*>(&FloorDuplicateHandle), nullptr, false},
    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&FloorGlobalAlloc), nullptr, false},
    {"advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&FloorRegOpenKeyEx), nullptr, false},
    {"advapi32.dll", "RegCreateKeyExA", reinterpret_cast<void*>(&FloorRegCreateKeyEx), nullptr, false},
    {"kernel32.dll", "GetVersion", reinterpret_cast<void*>(&FloorGetVersion), nullptr, false},
    {"kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&FloorGetProcAddress), nullptr, false},
};

CHook& HookOf(void* pReplacement)
{
    for (CHook& hook : g_hooks)
        if (hook.pReplacement == pReplacement)
            return hook;
    std::abort();
}

// A call the code finds at run time is handed out as its replacement.
FARPROC WINAPI FloorGetProcAddress(HMODULE hModule, LPCSTR pszName)
{
    const FARPROC pfn = Onward(&FloorGetProcAddress)(hModule, pszName);
    if (pfn == nullptr || HIWORD(reinterpret_cast<ULONG_PTR>(pszName)) == 0)
        return pfn;
    for (const CCall& call : g_pTable->calls) {
        if (call.first.bUpdate2011 && call.function == pszName) {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_bUpdate2011Found = true;
        }
    }
    for (CHook& hook : g_hooks) {
        if (hook.bRunTime && std::strcmp(hook.pszFunction, pszName) == 0) {
            hook.pOnward = reinterpret_cast<void*>(pfn);
            return reinterpret_cast<FARPROC>(hook.pReplacement);
        }
    }
    return pfn;
}

}  // namespace

void InstallFlagFloor(const char* pszTable, void (*pfnReport)(const std::string& finding))
{
    g_pTable = new CTable(ReadTable(pszTable));
    g_pfnReport = pfnReport;
    for (CHook& hook : g_hooks)
        if (!hook.bRunTime)
            StandImportPatch(hook.pszLibrary, hook.pszFunction, hook.pReplacement, &hook.pOnward);
    HookOf(reinterpret_cast<void*>(&FloorGetVersion)).pOnward = reinterpret_cast<void*>(&AsWindows95);
}

void ResetFlagFloor()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_bTold = false;
    g_bUpdate2011Found = false;
    Reported().clear();
}
