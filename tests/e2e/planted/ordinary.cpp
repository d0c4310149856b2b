// Imports winmm the ordinary way, through its import table, as the launcher
// once did: Windows then takes a winmm.dll beside it before its own. And it
// makes a window, for which the system loads the library of its visual
// styles, uxtheme.dll, by name: from the program's folder first, for all a
// program that does not narrow the search knows.
#include <windows.h>
#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND hWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (hWnd == nullptr)
        return 1;
    DestroyWindow(hWnd);
    return timeGetTime() == 0 ? 1 : 0;
}
