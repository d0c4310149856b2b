// The demo's installer: copies the game, its uninstaller and the read-me from
// the disc into a folder under Program Files, registers the game where the
// launcher looks for it, and says so in a box.
//
// It asks nothing: a demo has one place to go. If any step fails, what was
// done is undone, so that the launcher never sees half an installation, and
// an installation that was there before stays as it was.
#include "disc/demo/demo_util.h"
#include "disc/demo/install_names.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Everything on a CD is read-only, and a copy keeps that mark; so may a file
// that anything else left in the folder. A read-only file can be neither
// copied over nor deleted.
bool MakeWritable(const std::string& path)
{
    const DWORD dwAttributes = GetFileAttributesA(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(dwAttributes & FILE_ATTRIBUTE_READONLY))
        return true;
    const DWORD dwWritable = dwAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesA(path.c_str(), dwWritable ? dwWritable : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

// Windows refuses to delete a running program's file with the answer it
// gives a user without the rights, ERROR_ACCESS_DENIED. Such a file cannot
// be opened for writing either, but for sharing's sake, which tells a game
// that still runs from an administrator's missing rights.
DWORD WhyRefused(const std::string& path, DWORD dwError)
{
    if (dwError != ERROR_ACCESS_DENIED)
        return dwError;
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(hFile);
        return dwError;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : dwError;
}

// What this run has changed so far, to be taken back on failure. The game
// may already be installed, from an earlier run or by hand: its files are
// then replaced only once every new one has been read from the disc, and a
// failure puts them back, so that a failed setup leaves a working
// installation as it found it.
class CInstallation {
public:
    explicit CInstallation(std::string folder) : m_folder(std::move(folder)) {}

    const std::string& Folder() const { return m_folder; }

    bool MakeFolder()
    {
        if (CreateDirectoryA(m_folder.c_str(), nullptr)) {
            m_bMadeFolder = true;
            return true;
        }
        return GetLastError() == ERROR_ALREADY_EXISTS;
    }

    // Copies a file from the disc into the folder under a name of its own,
    // beside the file it is to replace.
    bool CopyIn(const std::string& source, const char* name)
    {
        CFile file;
        file.target = demo::JoinPath(m_folder, name);
        file.incoming = file.target + ".new";
        // Left by a run that did not finish.
        if (Exists(file.incoming) && !MakeWritable(file.incoming))
            return false;
        // Before the copy, which may leave part of the file behind.
        m_files.push_back(file);
        return CopyFileA(source.c_str(), file.incoming.c_str(), FALSE) && MakeWritable(file.incoming);
    }

    // Puts every copied file in its place. A file already there moves aside
    // until Commit, writable, with its attributes kept for Undo. Windows 95
    // can replace a file by renaming only once the old one is gone.
    bool PlaceFiles()
    {
        for (CFile& file : m_files) {
            file.dwAttributes = GetFileAttributesA(file.target.c_str());
            if (file.dwAttributes != INVALID_FILE_ATTRIBUTES) {
                const std::string previous = file.target + ".old";
                // A game that ran while setup ran before may still run from it.
                if (Exists(previous) && (!MakeWritable(previous) || !DeleteFileA(previous.c_str()))) {
                    SetLastError(WhyRefused(previous, GetLastError()));
                    return false;
                }
                if (!MakeWritable(file.target) || !MoveFileA(file.target.c_str(), previous.c_str())) {
                    const DWORD dwError = WhyRefused(file.target, GetLastError());
                    SetFileAttributesA(file.target.c_str(), file.dwAttributes);
                    SetLastError(dwError);
                    return false;
                }
                file.previous = previous;
            }
            if (!MoveFileA(file.incoming.c_str(), file.target.c_str()))
                return false;
            file.bPlaced = true;
        }
        return true;
    }

    // Writes REG_SZ values under a key of HKEY_LOCAL_MACHINE, creating it.
    bool Register(const char* pszKey, const std::vector<std::pair<const char*, std::string>>& values)
    {
        HKEY hKey;
        DWORD dwDisposition;
        LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_SET_VALUE, nullptr, &hKey, &dwDisposition);
        if (status != ERROR_SUCCESS) {
            SetLastError(DWORD(status));
            return false;
        }
        if (dwDisposition == REG_CREATED_NEW_KEY)
            m_createdKeys.push_back(pszKey);
        for (const auto& value : values) {
            status = RegSetValueExA(hKey, value.first, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.second.c_str()),
                                    DWORD(value.second.size() + 1));
            if (status != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(hKey);
        SetLastError(DWORD(status));
        return status == ERROR_SUCCESS;
    }

    // The files that were replaced go. One still in use (a game that runs)
    // stays beside the new one, harmless.
    void Commit()
    {
        for (const CFile& file : m_files)
            if (!file.previous.empty())
                DeleteFileA(file.previous.c_str());
    }

    // Only what this run made goes; what it replaced comes back.
    void Undo()
    {
        for (const char* pszKey : m_createdKeys)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, pszKey);
        for (auto file = m_files.rbegin(); file != m_files.rend(); ++file) {
            const std::string& made = file->bPlaced ? file->target : file->incoming;
            MakeWritable(made);
            DeleteFileA(made.c_str());
            if (!file->previous.empty() && MoveFileA(file->previous.c_str(), file->target.c_str()))
                SetFileAttributesA(file->target.c_str(), file->dwAttributes);
        }
        // Only when empty, and only the folder this run made.
        if (m_bMadeFolder)
            RemoveDirectoryA(m_folder.c_str());
    }

private:
    struct CFile {
        std::string target, incoming;
        // Where the file it replaces waits; empty when there was none.
        std::string previous;
        DWORD dwAttributes = INVALID_FILE_ATTRIBUTES;
        bool bPlaced = false;
    };

    std::string m_folder;
    bool m_bMadeFolder = false;
    std::vector<CFile> m_files;
    std::vector<const char*> m_createdKeys;
};

// The folder without the backslashes that end it, looked for by characters
// as ModuleFolder does.
std::string WithoutTrailingBackslashes(std::string folder)
{
    const char* pszEnd = folder.c_str() + folder.size();
    while (pszEnd != folder.c_str()) {
        const char* pszLast = CharPrevA(folder.c_str(), pszEnd);
        if (*pszLast != '\\')
            break;
        pszEnd = pszLast;
    }
    folder.resize(size_t(pszEnd - folder.c_str()));
    return folder;
}

// Program Files as the registry names it, which every Windows since 95
// does; a 32-bit program on 64-bit Windows reads the 32-bit view, the
// folder for 32-bit programs.
bool ProgramFilesFolder(std::string* pFolder)
{
    HKEY hKey;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                                KEY_QUERY_VALUE, &hKey);
    if (status != ERROR_SUCCESS) {
        SetLastError(DWORD(status));
        return false;
    }
    char szData[MAX_PATH];
    DWORD cbData = sizeof szData;
    DWORD dwType = 0;
    status = RegQueryValueExA(hKey, "ProgramFilesDir", nullptr, &dwType, reinterpret_cast<BYTE*>(szData), &cbData);
    RegCloseKey(hKey);
    if (status == ERROR_SUCCESS && dwType != REG_SZ)
        status = ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) {
        SetLastError(DWORD(status));
        return false;
    }
    // Stored data need not end in a terminator.
    std::string folder(szData, cbData);
    folder.resize(std::min(folder.find('\0'), folder.size()));
    folder = WithoutTrailingBackslashes(folder);
    if (folder.empty()) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    *pFolder = folder;
    return true;
}

int Fail(CInstallation* pInstallation, const std::string& what)
{
    const DWORD dwError = GetLastError();
    if (pInstallation != nullptr)
        pInstallation->Undo();
    std::string text = "Zephrane Demo could not be installed.\n\nSetup could not " + what + ":\n" +
                       demo::SystemErrorText(dwError);
    if (dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION)
        text += "\n\nA file of the game is in use: close the game, and run setup again.";
    else if (dwError == ERROR_ACCESS_DENIED)
        text += "\n\nSetup needs to be run as an administrator.";
    MessageBoxA(nullptr, text.c_str(), demo::kSetupCaption, MB_OK | MB_ICONSTOP);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The disc is wherever setup itself lies, whatever the current directory.
    const std::string disc = demo::ModuleFolder();
    const std::string discGame = demo::JoinPath(disc, demo::kDiscGameFolder);

    std::string programFiles;
    if (!ProgramFilesFolder(&programFiles))
        return Fail(nullptr, "find the Program Files folder");
    CInstallation installation(demo::JoinPath(programFiles, demo::kInstallFolderName));
    const std::string& folder = installation.Folder();
    if (!installation.MakeFolder())
        return Fail(&installation, "create the folder " + folder);

    const std::pair<std::string, const char*> files[] = {
        {demo::JoinPath(discGame, demo::kGameExe), demo::kGameExe},
        {demo::JoinPath(discGame, demo::kUninstallerExe), demo::kUninstallerExe},
        {demo::JoinPath(disc, demo::kReadme), demo::kReadme},
    };
    for (const auto& file : files)
        if (!installation.CopyIn(file.first, file.second))
            return Fail(&installation, "copy " + file.first);
    if (!installation.PlaceFiles())
        return Fail(&installation, "put the game's files in " + folder);

    const std::string game = demo::JoinPath(folder, demo::kGameExe);
    const std::string uninstall = "\"" + demo::JoinPath(folder, demo::kUninstallerExe) + "\"";
    if (!installation.Register(demo::kAppPathsKey, {{nullptr, game}, {"Path", folder}}))
        return Fail(&installation, "register the game");
    if (!installation.Register(demo::kUninstallKey,
                               {{"DisplayName", demo::kDisplayName}, {"UninstallString", uninstall}}))
        return Fail(&installation, "register the uninstaller");
    installation.Commit();

    const std::string done = "Zephrane Demo is installed in\n" + folder +
                             "\n\nStart the launcher again and choose PLAY to enter the game.";
    MessageBoxA(nullptr, done.c_str(), demo::kSetupCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
