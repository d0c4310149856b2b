// Imports winmm the ordinary way, through its import table, as the launcher
// once did: Windows then takes a winmm.dll beside it before its own.
#include <windows.h>
#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return timeGetTime() == 0 ? 1 : 0; }
