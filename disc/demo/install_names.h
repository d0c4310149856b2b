// What the demo's installer, game and uninstaller agree on: where the game
// is installed from and to, and the registry entries that the launcher reads
// to learn whether it is installed.
#pragma once

namespace demo {

// Under HKEY_LOCAL_MACHINE. The launcher reads "Path" from the first and
// "UninstallString" from the second.
constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorvex.exe";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zephrane Demo";
constexpr char kDisplayName[] = "Zephrane Demo";

// The folder under Program Files.
constexpr char kInstallFolderName[] = "Zephrane Demo";

// On the disc the game and its uninstaller wait in this folder beside setup;
// the read-me lies in the disc's root.
constexpr char kDiscGameFolder[] = "game";
constexpr char kGameExe[] = "zorvex.exe";
constexpr char kUninstallerExe[] = "uninst.exe";
constexpr char kReadme[] = "readme.txt";

// Captions of the boxes that end setup and the uninstaller, and the game's
// window, by which people and tests know them.
constexpr char kSetupCaption[] = "Zephrane Demo Setup";
constexpr char kUninstallCaption[] = "Zephrane Demo Uninstall";
constexpr char kGameWindowClass[] = "ZorvexDemoWindow";
constexpr char kGameWindowTitle[] = "Zephrane Demo";

} // namespace demo
