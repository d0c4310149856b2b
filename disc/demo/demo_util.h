// Small helpers shared by the demo's installer and uninstaller.
#pragma once

#include <windows.h>

#include <string>

namespace demo {

// The folder that holds the running program, without a trailing backslash.
// Paths are looked at by characters, never by bytes: in the code pages of
// Japan and China the second byte of a letter may be 0x5C, a backslash's.
inline std::string ModuleFolder()
{
    char szPath[MAX_PATH];
    const DWORD cch = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return ".";
    const char* pszSlash = nullptr;
    for (const char* p = szPath; *p != '\0'; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            pszSlash = p;
    return pszSlash == nullptr ? std::string(".") : std::string(szPath, size_t(pszSlash - szPath));
}

inline std::string JoinPath(const std::string& folder, const char* name)
{
    return folder + "\\" + name;
}

// The system's own words for an error code, without the closing line break.
inline std::string SystemErrorText(DWORD dwError)
{
    char* pszText = nullptr;
    const DWORD cch = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                     reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
    std::string text = cch != 0 ? std::string(pszText, cch) : "error " + std::to_string(dwError);
    if (pszText != nullptr)
        LocalFree(pszText);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace demo
