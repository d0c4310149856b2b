#include "tests/win32/import_patch.h"

#include <cstring>

namespace {

// The import table slot through which this program calls a function of a DLL.
void** ImportSlot(const char* pszDll, const char* pszFunction)
{
    auto* pBase = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
    const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* pImport = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(pBase + imports.VirtualAddress);
         pImport->Name != 0; ++pImport) {
        if (lstrcmpiA(reinterpret_cast<const char*>(pBase + pImport->Name), pszDll) != 0)
            continue;
        auto* pName = reinterpret_cast<IMAGE_THUNK_DATA*>(
            pBase + (pImport->OriginalFirstThunk ? pImport->OriginalFirstThunk : pImport->FirstThunk));
        auto* pAddress = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImport->FirstThunk);
        for (; pName->u1.AddressOfData != 0; ++pName, ++pAddress) {
            if (IMAGE_SNAP_BY_ORDINAL(pName->u1.Ordinal))
                continue;
            const auto* pByName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(pBase + pName->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(pByName->Name), pszFunction) == 0)
                return reinterpret_cast<void**>(&pAddress->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void** ppSlot, void* pFunction)
{
    DWORD dwOld;
    VirtualProtect(ppSlot, sizeof *ppSlot, PAGE_READWRITE, &dwOld);
    *ppSlot = pFunction;
    VirtualProtect(ppSlot, sizeof *ppSlot, dwOld, &dwOld);
}

// The slots that a standing replacement holds, and where each calls on.
struct CStanding {
    void** ppSlot;
    void** ppOnward;
};
CStanding g_standing[32];
int g_nStanding;

// Where a patch of a slot goes: behind the standing replacement, if any.
void** PatchPlace(void** ppSlot)
{
    for (int n = 0; n < g_nStanding; ++n)
        if (g_standing[n].ppSlot == ppSlot)
            return g_standing[n].ppOnward;
    return ppSlot;
}

}  // namespace

void StandImportPatch(const char* pszDll, const char* pszFunction, void* pReplacement, void** ppOnward)
{
    void** ppSlot = ImportSlot(pszDll, pszFunction);
    if (ppSlot == nullptr || g_nStanding == sizeof g_standing / sizeof g_standing[0])
        return;
    *ppOnward = *ppSlot;
    WriteSlot(ppSlot, pReplacement);
    g_standing[g_nStanding++] = {ppSlot, ppOnward};
}

CImportPatch::CImportPatch(const char* pszDll, const char* pszFunction, void* pReplacement)
    : m_ppSlot(ImportSlot(pszDll, pszFunction))
{
    if (m_ppSlot == nullptr)
        return;
    m_ppSlot = PatchPlace(m_ppSlot);
    m_pOriginal = *m_ppSlot;
    WriteSlot(m_ppSlot, pReplacement);
}

CImportPatch::~CImportPatch()
{
    if (m_ppSlot != nullptr)
        WriteSlot(m_ppSlot, m_pOriginal);
}

namespace {

CImportPatch* g_pGetProcAddress;
std::vector<std::pair<std::string, FARPROC>> g_procAnswers;

FARPROC WINAPI AnsweringGetProcAddress(HMODULE hModule, LPCSTR lpszName)
{
    if (HIWORD(reinterpret_cast<ULONG_PTR>(lpszName)) != 0)
        for (const auto& answer : g_procAnswers)
            if (answer.first == lpszName)
                return answer.second;
    return reinterpret_cast<decltype(&GetProcAddress)>(g_pGetProcAddress->Original())(hModule, lpszName);
}

}  // namespace

CProcAnswers::CProcAnswers(std::vector<std::pair<std::string, FARPROC>> answers)
    : m_patch("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&AnsweringGetProcAddress))
{
    g_pGetProcAddress = &m_patch;
    g_procAnswers = std::move(answers);
}
