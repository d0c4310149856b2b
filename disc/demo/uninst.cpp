// The demo's uninstaller, installed beside the game: removes the game's
// files and both registry entries, then its own file and the folder.
//
// A running program cannot delete its own file. So, once everything else is
// gone, it copies itself to the temp folder and starts the copy with
// "/cleanup", handing it a handle to wait on; the copy removes the original
// and the folder when the original has ended, reports, and is itself deleted
// by the system when it ends, because the file is held open for deletion on
// close by a handle that only the copy keeps.
#include "disc/demo/demo_util.h"
#include "disc/demo/install_names.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Report(const std::string& text, UINT uIcon)
{
    MessageBoxA(nullptr, text.c_str(), demo::kUninstallCaption, MB_OK | uIcon);
    return uIcon == MB_ICONSTOP ? 1 : 0;
}

bool DeleteIfPresent(const std::string& path)
{
    // A file installed from a CD may have kept the disc's read-only mark.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
           GetLastError() == ERROR_PATH_NOT_FOUND;
}

bool DeleteKeyIfPresent(const char* pszKey)
{
    const LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, pszKey);
    SetLastError(DWORD(status));
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Starts the temp copy that finishes the job. False when it could not start;
// the caller then leaves the uninstaller and the folder in place.
bool StartCleanup(const std::string& folder)
{
    char szTemp[MAX_PATH];
    if (GetTempPathA(MAX_PATH, szTemp) == 0)
        return false;
    const std::string copy = std::string(szTemp) + "zephrane-uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
    char szSelf[MAX_PATH];
    if (GetModuleFileNameA(nullptr, szSelf, MAX_PATH) == 0 || !CopyFileA(szSelf, copy.c_str(), FALSE))
        return false;

    // Shared for reading only, which the start of the copy needs: Windows 95
    // to ME refuse a share mode with FILE_SHARE_DELETE.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE hCopy = CreateFileA(copy.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (hCopy == INVALID_HANDLE_VALUE) {
        DeleteFileA(copy.c_str());
        return false;
    }
    HANDLE hSelf;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &hSelf, SYNCHRONIZE, TRUE, 0)) {
        CloseHandle(hCopy);
        return false;
    }
    std::string commandLine = "\"" + copy + "\" /cleanup " +
                              std::to_string(reinterpret_cast<uintptr_t>(hSelf)) + " \"" + folder + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    const BOOL bStarted = CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                         szTemp, &si, &pi);
    // From here only the copy holds the handles that matter.
    CloseHandle(hSelf);
    CloseHandle(hCopy);
    if (!bStarted)
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

int Uninstall()
{
    const std::string folder = demo::ModuleFolder();
    // Beside each file may lie the one that a setup run while the game ran
    // moved aside (".old", from which that game may still run), and the copy
    // of one that did not finish (".new"). Those first, then the files; the
    // uninstaller's own goes last, from the temp folder.
    std::vector<std::string> files;
    for (const char* pszName : {demo::kGameExe, demo::kReadme, demo::kUninstallerExe})
        for (const char* pszLeftover : {".old", ".new"})
            files.push_back(demo::JoinPath(folder, pszName) + pszLeftover);
    for (const char* pszName : {demo::kGameExe, demo::kReadme})
        files.push_back(demo::JoinPath(folder, pszName));
    // Files first: while the game runs its file cannot go, and the game must
    // then stay registered so that the user can simply try again.
    for (const std::string& file : files)
        if (!DeleteIfPresent(file))
            return Report("Zephrane Demo could not be removed: this file could not be deleted:\n" + file + "\n" +
                              demo::SystemErrorText(GetLastError()) +
                              "\n\nClose the game if it is running, and try again.",
                          MB_ICONSTOP);
    for (const char* pszKey : {demo::kAppPathsKey, demo::kUninstallKey})
        if (!DeleteKeyIfPresent(pszKey))
            return Report(std::string("Zephrane Demo could not be removed from the registry (") + pszKey +
                              "):\n" + demo::SystemErrorText(GetLastError()),
                          MB_ICONSTOP);
    if (!StartCleanup(folder))
        return Report("Zephrane Demo has been removed. The folder\n" + folder +
                          "\nstill holds the uninstaller; you may delete it.",
                      MB_ICONINFORMATION);
    return 0;
}

// The temp copy's part: wait for the original to end, remove it and the
// folder, report.
int FinishCleanup(HANDLE hOriginal, const std::string& folder)
{
    WaitForSingleObject(hOriginal, 10000);
    CloseHandle(hOriginal);
    const std::string uninstaller = demo::JoinPath(folder, demo::kUninstallerExe);
    // The ended process's file may stay mapped for a moment.
    bool bDeleted = false;
    for (int attempt = 0; attempt < 40 && !(bDeleted = DeleteIfPresent(uninstaller)); ++attempt)
        Sleep(50);
    // Only an empty folder goes: anything the user put there stays.
    if (!bDeleted || !RemoveDirectoryA(folder.c_str()))
        return Report("Zephrane Demo has been removed. The folder\n" + folder +
                          "\ncould not be deleted; you may delete it.",
                      MB_ICONINFORMATION);
    return Report("Zephrane Demo has been removed from your computer.", MB_ICONINFORMATION);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    // "/cleanup HANDLE "FOLDER"", from the first part only.
    const std::string args = lpCmdLine;
    const std::string kCleanup = "/cleanup ";
    if (args.compare(0, kCleanup.size(), kCleanup) == 0) {
        char* pEnd = nullptr;
        const unsigned long long nHandle = std::strtoull(args.c_str() + kCleanup.size(), &pEnd, 10);
        std::string folder = pEnd;
        const size_t open = folder.find('"'), close = folder.rfind('"');
        if (nHandle == 0 || open == std::string::npos || close <= open)
            return 2;
        folder = folder.substr(open + 1, close - open - 1);
        return FinishCleanup(reinterpret_cast<HANDLE>(uintptr_t(nHandle)), folder);
    }
    return Uninstall();
}
