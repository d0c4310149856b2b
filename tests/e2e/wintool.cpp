// What the end-to-end tests need from the Windows side that the X server
// cannot tell or do: the state of a window as Windows sees it, minimising it
// the way its owner's taskbar would, and a plain window of another program
// that takes the foreground.
//
//   wintool state TITLE      prints "iconic=N visible=N foreground=N"; exit 1 if none
//   wintool drive ROOT       prints the system's type of that drive (5: CD-ROM)
//                            and whether it takes a file
//   wintool minimize TITLE   minimises the top-level window with that title
//   wintool text TITLE       prints the texts of that window's children in
//                            UTF-8, one a line (a message box's text, its
//                            buttons'); exit 1 if there is no such window
//   wintool cover L T R B    shows a window over that screen rectangle, takes
//                            the foreground and stays until it is ended
//   wintool frame L T R B    the same, with the class styles of the launcher's
//                            frame (double-clicks, redraw on resize): a bare
//                            program that meets the same input as the
//                            launcher, to tell the system's own doings from
//                            the launcher's
//   wintool wait PID...      waits for each of those processes to end; exit 1
//                            if one still runs after ten seconds
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kCoverTitle[] = "e2e cover";
const char kFrameTitle[] = "e2e frame";

LRESULT CALLBACK CoverWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_ERASEBKGND: {
        // One flat colour that no launcher picture is made of, so a test can
        // tell it apart from anything the launcher draws.
        RECT rc;
        GetClientRect(hWnd, &rc);
        HBRUSH hBrush = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(reinterpret_cast<HDC>(wParam), &rc, hBrush);
        DeleteObject(hBrush);
        return 1;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

int Show(const char* pszTitle, UINT uClassStyle, int nLeft, int nTop, int nRight, int nBottom)
{
    WNDCLASSA wc = {};
    wc.style = uClassStyle;
    wc.lpfnWndProc = CoverWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.lpszClassName = "E2eCover";
    if (!RegisterClassA(&wc))
        return 2;
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, pszTitle, WS_POPUP | WS_VISIBLE, nLeft,
                                nTop, nRight - nLeft, nBottom - nTop, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (hWnd == nullptr)
        return 2;
    SetForegroundWindow(hWnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int State(const char* pszTitle)
{
    HWND hWnd = FindWindowA(nullptr, pszTitle);
    if (hWnd == nullptr) {
        std::printf("none\n");
        return 1;
    }
    std::printf("iconic=%d visible=%d foreground=%d\n", IsIconic(hWnd) ? 1 : 0,
                IsWindowVisible(hWnd) ? 1 : 0, GetForegroundWindow() == hWnd ? 1 : 0);
    return 0;
}

int Drive(const char* pszRoot)
{
    // A read-only medium refuses a new file; the test leaves none behind.
    const std::string probe = std::string(pszRoot) + "wintool-was-here.tmp";
    HANDLE hFile = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const bool bWritable = hFile != INVALID_HANDLE_VALUE;
    if (bWritable)
        CloseHandle(hFile);
    std::printf("type=%u writable=%d\n", GetDriveTypeA(pszRoot), bWritable ? 1 : 0);
    return 0;
}

int Minimize(const char* pszTitle)
{
    HWND hWnd = FindWindowA(nullptr, pszTitle);
    if (hWnd == nullptr)
        return 1;
    ShowWindow(hWnd, SW_MINIMIZE);
    return IsIconic(hWnd) ? 0 : 1;
}

BOOL CALLBACK PrintText(HWND hWnd, LPARAM)
{
    // Asked of the window itself: the system answers another process's
    // GetWindowText only for a window with a caption.
    WCHAR szText[4096];
    const int cch = int(SendMessageW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(szText)));
    char szUtf8[3 * 4096];
    const int cb = WideCharToMultiByte(CP_UTF8, 0, szText, cch, szUtf8, sizeof szUtf8, nullptr, nullptr);
    if (cb > 0)
        std::printf("%.*s\n", cb, szUtf8);
    return TRUE;
}

int Text(const char* pszTitle)
{
    HWND hWnd = FindWindowA(nullptr, pszTitle);
    if (hWnd == nullptr)
        return 1;
    EnumChildWindows(hWnd, PrintText, 0);
    return 0;
}

int Wait(int nCount, char** ppszIds)
{
    for (int i = 0; i < nCount; ++i) {
        HANDLE hProcess = OpenProcess(SYNCHRONIZE, FALSE, std::strtoul(ppszIds[i], nullptr, 10));
        if (hProcess == nullptr)
            continue;  // ended, and gone with its last handle
        const DWORD dwWait = WaitForSingleObject(hProcess, 10000);
        CloseHandle(hProcess);
        if (dwWait != WAIT_OBJECT_0)
            return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "state") == 0)
        return State(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "drive") == 0)
        return Drive(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "minimize") == 0)
        return Minimize(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "text") == 0)
        return Text(argv[2]);
    if (argc == 6 && std::strcmp(argv[1], "cover") == 0)
        return Show(kCoverTitle, 0, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                    std::atoi(argv[5]));
    if (argc == 6 && std::strcmp(argv[1], "frame") == 0)
        return Show(kFrameTitle, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, std::atoi(argv[2]),
                    std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (argc >= 3 && std::strcmp(argv[1], "wait") == 0)
        return Wait(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: wintool state|minimize|text TITLE | drive ROOT | cover|frame L T R B"
                         " | wait PID...\n");
    return 2;
}
