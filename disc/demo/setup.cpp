// The demo's installer: copies the game, its uninstaller and the read-me from
// the disc into a folder under Program Files, registers the game where the
// launcher looks for it, and says so in a box.
//
// It asks nothing: a demo has one place to go. If any step fails, what was
// done is undone, so that the launcher never sees half an installation.
#include "disc/demo/demo_util.h"
#include "disc/demo/install_names.h"

#include <string>
#include <vector>

namespace {

// What this run has changed so far, to be taken back on failure.
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

    bool CopyIn(const std::string& source, const char* name)
    {
        const std::string target = demo::JoinPath(m_folder, name);
        if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
            return false;
        m_copied.push_back(target);
        // Everything on a CD is read-only, and a copy keeps that attribute:
        // the installed files must not be, or nothing could remove them.
        const DWORD dwAttributes = GetFileAttributesA(target.c_str());
        if (dwAttributes == INVALID_FILE_ATTRIBUTES)
            return false;
        const DWORD dwWritable = dwAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        return SetFileAttributesA(target.c_str(), dwWritable ? dwWritable : FILE_ATTRIBUTE_NORMAL) != FALSE;
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

    void Undo()
    {
        for (const char* pszKey : m_createdKeys)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, pszKey);
        for (const std::string& file : m_copied)
            DeleteFileA(file.c_str());
        if (m_bMadeFolder)
            RemoveDirectoryA(m_folder.c_str());
    }

private:
    std::string m_folder;
    bool m_bMadeFolder = false;
    std::vector<std::string> m_copied;
    std::vector<const char*> m_createdKeys;
};

int Fail(CInstallation* pInstallation, const std::string& what)
{
    const DWORD dwError = GetLastError();
    if (pInstallation != nullptr)
        pInstallation->Undo();
    std::string text = "Zephrane Demo could not be installed.\n\nSetup could not " + what + ":\n" +
                       demo::SystemErrorText(dwError);
    if (dwError == ERROR_ACCESS_DENIED)
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

    // Every Windows since 95 names its Program Files folder here; the shell's
    // call for it came only with Windows 2000 and ME.
    char szProgramFiles[MAX_PATH] = {};
    if (!demo::ReadMachineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                                 szProgramFiles, sizeof szProgramFiles))
        return Fail(nullptr, "find the Program Files folder");
    CInstallation installation(demo::JoinPath(szProgramFiles, demo::kInstallFolderName));
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

    const std::string game = demo::JoinPath(folder, demo::kGameExe);
    const std::string uninstall = "\"" + demo::JoinPath(folder, demo::kUninstallerExe) + "\"";
    if (!installation.Register(demo::kAppPathsKey, {{nullptr, game}, {"Path", folder}}))
        return Fail(&installation, "register the game");
    if (!installation.Register(demo::kUninstallKey,
                               {{"DisplayName", demo::kDisplayName}, {"UninstallString", uninstall}}))
        return Fail(&installation, "register the uninstaller");

    const std::string done = "Zephrane Demo is installed in\n" + folder +
                             "\n\nStart the launcher again and choose PLAY to enter the game.";
    MessageBoxA(nullptr, done.c_str(), demo::kSetupCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
