// Small helpers shared by the demo's installer and uninstaller.
#pragma once

#include <windows.h>

#include <string>

namespace demo {

// The folder that holds the running program, without a trailing backslash.
inline std::string ModuleFolder()
{
    char szPath[MAX_PATH];
    const DWORD cch = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath, cch < MAX_PATH ? cch : 0);
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
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
