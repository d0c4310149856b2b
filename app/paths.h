// Where the installed game lives and how it is removed, as the registry says.
#pragma once

const unsigned kRegistryBufferSize = 1024;

extern char g_szGamePath[kRegistryBufferSize];
extern char g_szUninstallCmd[kRegistryBufferSize];
// 1 once a lookup has found both values; never cleared again.
extern int g_bInstalled;

// Reads the game's folder and uninstall command; true when both were found.
bool GetPaths();
