// The least program that shows what the launcher shows first: one window of
// the launcher's size in the middle of the screen, painted with the one
// background bitmap, read from the disc folder it is started in. The baseline
// of the start-up and memory benchmarks: whatever it costs is Wine's and the
// system's, not the launcher's.
//
//   bench_bare          waits for messages alone
//   bench_bare flames   also puts the flames' sixteen frames on the window,
//                       one every 67 ms, with nothing around the blits but the
//                       device context and the paint pair an advance takes:
//                       the floor of the launcher's idle cost
#include "bench/bench_clock.h"
#include "frame/layout.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char kTitle[] = "Bench Bare Window";
const int kWidth = 644, kHeight = 456;

// A bitmap file read whole: the info header and the pixels within it.
struct CBareBitmap {
    std::vector<BYTE> file;
    const BITMAPINFO* pInfo = nullptr;
    const BYTE* pBits = nullptr;
};

CBareBitmap ReadBitmap(const char* pszPath)
{
    CBareBitmap bitmap;
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return bitmap;
    bitmap.file.resize(GetFileSize(hFile, nullptr));
    DWORD cbRead = 0;
    ReadFile(hFile, bitmap.file.data(), static_cast<DWORD>(bitmap.file.size()), &cbRead, nullptr);
    CloseHandle(hFile);
    if (cbRead != bitmap.file.size() || cbRead < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
        return bitmap;
    const auto* pHeader = reinterpret_cast<const BITMAPFILEHEADER*>(bitmap.file.data());
    if (pHeader->bfOffBits >= cbRead)
        return bitmap;
    bitmap.pInfo = reinterpret_cast<const BITMAPINFO*>(bitmap.file.data() + sizeof(BITMAPFILEHEADER));
    bitmap.pBits = bitmap.file.data() + pHeader->bfOffBits;
    return bitmap;
}

void PutBitmap(HDC hDC, int x, int y, const CBareBitmap& bitmap)
{
    if (bitmap.pInfo == nullptr)
        return;
    const LONG nWidth = bitmap.pInfo->bmiHeader.biWidth;
    const LONG nHeight = bitmap.pInfo->bmiHeader.biHeight;
    SetDIBitsToDevice(hDC, x, y, nWidth, nHeight, 0, 0, 0, nHeight, bitmap.pBits, bitmap.pInfo,
                      DIB_RGB_COLORS);
}

CBareBitmap g_background;

LRESULT CALLBACK BareWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_ERASEBKGND:
        return 1;  // the picture covers everything that matters
    case WM_PAINT: {
        PAINTSTRUCT ps;
        PutBitmap(BeginPaint(hWnd, &ps), 0, 0, g_background);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// Sleeps until the next frame is due or a message comes, and puts each frame
// on the window as the launcher places the flames.
int RunFlames(HWND hWnd)
{
    std::vector<CBareBitmap> big, small;
    for (int nFrame = 1; nFrame <= kShownFlameFrames; ++nFrame) {
        char szPath[32];
        std::snprintf(szPath, sizeof szPath, "bitmaps\\%s%02d.bmp", kPictureStems.flames[kBigFlame], nFrame);
        big.push_back(ReadBitmap(szPath));
        std::snprintf(szPath, sizeof szPath, "bitmaps\\%s%02d.bmp", kPictureStems.flames[kSmallFlame], nFrame);
        small.push_back(ReadBitmap(szPath));
    }
    double dDue = BenchNowMs();
    for (size_t nFrame = 0;; nFrame = (nFrame + 1) % big.size()) {
        MSG msg;
        for (;;) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT)
                    return 0;
                DispatchMessageA(&msg);
            }
            const double dLeft = dDue - BenchNowMs();
            if (dLeft <= 0)
                break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(dLeft + 0.999),
                                      QS_ALLINPUT);
        }
        dDue = BenchNowMs() + 67;
        HDC hDC = GetDC(hWnd);
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        PutBitmap(hDC, kBigFlameRect.left, kBigFlameRect.top, big[nFrame]);
        PutBitmap(hDC, kSmallFlameRect.left, kSmallFlameRect.top, small[nFrame]);
        EndPaint(hWnd, &ps);
        ReleaseDC(hWnd, hDC);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpszCommandLine, int)
{
    g_background = ReadBitmap("bitmaps\\8bg1.bmp");
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
    if (std::strcmp(lpszCommandLine, "flames") == 0)
        return RunFlames(hWnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
