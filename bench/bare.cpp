// The least program that shows what the launcher shows first: one window of
// the launcher's size in the middle of the screen, painted with the one
// background bitmap, read from the disc folder it is started in. The baseline
// of the start-up and memory benchmarks: whatever it costs is Wine's and the
// system's, not the launcher's.
#include <windows.h>

#include <vector>

namespace {

const char kTitle[] = "Bench Bare Window";
const int kWidth = 644, kHeight = 456;

std::vector<BYTE> g_file;
const BITMAPINFO* g_pInfo = nullptr;
const BYTE* g_pBits = nullptr;

void ReadBackground()
{
    HANDLE hFile = CreateFileA("bitmaps\\8bg1.bmp", GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    g_file.resize(GetFileSize(hFile, nullptr));
    DWORD cbRead = 0;
    ReadFile(hFile, g_file.data(), static_cast<DWORD>(g_file.size()), &cbRead, nullptr);
    CloseHandle(hFile);
    if (cbRead != g_file.size() || cbRead < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
        return;
    const auto* pHeader = reinterpret_cast<const BITMAPFILEHEADER*>(g_file.data());
    if (pHeader->bfOffBits >= cbRead)
        return;
    g_pInfo = reinterpret_cast<const BITMAPINFO*>(g_file.data() + sizeof(BITMAPFILEHEADER));
    g_pBits = g_file.data() + pHeader->bfOffBits;
}

LRESULT CALLBACK BareWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_ERASEBKGND:
        return 1;  // the picture covers everything that matters
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(hWnd, &ps);
        if (g_pInfo != nullptr) {
            const LONG nWidth = g_pInfo->bmiHeader.biWidth;
            const LONG nHeight = g_pInfo->bmiHeader.biHeight;
            SetDIBitsToDevice(hDC, 0, 0, nWidth, nHeight, 0, 0, 0, nHeight, g_pBits, g_pInfo,
                              DIB_RGB_COLORS);
        }
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    ReadBackground();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BareWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = "BenchBare";
    if (!RegisterClassA(&wc))
        return 1;
    const int nLeft = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int nTop = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, kTitle, WS_POPUP | WS_VISIBLE, nLeft, nTop,
                                kWidth, kHeight, nullptr, nullptr, hInstance, nullptr);
    if (hWnd == nullptr)
        return 1;
    UpdateWindow(hWnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
