// Making a system call answer as a test wants, at the code's own call.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Points this program's import of a DLL's function at a replacement for the
// program's whole life, one that stays in front of every CImportPatch made
// later: those go behind it, into *ppOnward, through which it calls on. Does
// nothing where the program does not import the function.
void StandImportPatch(const char* pszDll, const char* pszFunction, void* pReplacement, void** ppOnward);

// Points this program's import of a DLL's function elsewhere for as long as
// it lives: the code under test calls the replacement instead, which may call
// on to Original(). A function the code finds at run time is patched through
// the pointer it keeps it in.
class CImportPatch {
public:
    CImportPatch(const char* pszDll, const char* pszFunction, void* pReplacement);
    template <typename Function>
    CImportPatch(Function* ppfnSlot, Function pfnReplacement)
        : m_ppSlot(reinterpret_cast<void**>(ppfnSlot))
    {
        m_pOriginal = *m_ppSlot;
        *m_ppSlot = reinterpret_cast<void*>(pfnReplacement);
    }
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;
    ~CImportPatch();
    bool Installed() const { return m_ppSlot != nullptr; }
    void* Original() const { return m_pOriginal; }

private:
    void** m_ppSlot;
    void* m_pOriginal = nullptr;
};

// Makes GetProcAddress, by which the code finds the calls of later systems,
// answer for the functions named as a system would: with a function of the
// test's, or null where that system has no such call. Every other name is
// found as before. One at a time.
class CProcAnswers {
public:
    explicit CProcAnswers(std::vector<std::pair<std::string, FARPROC>> answers);
    CProcAnswers(const CProcAnswers&) = delete;
    CProcAnswers& operator=(const CProcAnswers&) = delete;
    bool Installed() const { return m_patch.Installed(); }

private:
    CImportPatch m_patch;
};

// A function as GetProcAddress hands it out.
template <typename Function>
FARPROC Proc(Function pfn)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(pfn));
}
