// The demo game: one window in which a ship drifts through a field of stars
// toward the citadel of the disc's picture. Escape ends it.
#include "disc/demo/install_names.h"

#include <windows.h>

namespace {

constexpr int kClientWidth = 512, kClientHeight = 384;
constexpr int kStarCount = 160;
constexpr UINT_PTR kFrameTimer = 1;

struct Star {
    int x, y, z; // z from 1 (near) to 256 (far); x and y around the centre
};

Star g_stars[kStarCount];
UINT g_nSeed = 12345;
int g_nFrame = 0;

int NextRandom()
{
    g_nSeed = g_nSeed * 1103515245u + 12345u;
    return int((g_nSeed >> 16) & 0x7FFF);
}

void ResetStar(Star& star, bool bAnyDepth)
{
    star.x = NextRandom() % 1024 - 512;
    star.y = NextRandom() % 768 - 384;
    star.z = bAnyDepth ? 1 + NextRandom() % 256 : 256;
}

void DrawText(HDC hDC, int y, int nHeight, int nWeight, COLORREF color, const char* pszText)
{
    HFONT hFont = CreateFontA(nHeight, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_ROMAN, "Times New Roman");
    HGDIOBJ hOld = SelectObject(hDC, hFont);
    SetTextColor(hDC, color);
    RECT rc = {0, y, kClientWidth, y + nHeight + 8};
    ::DrawTextA(hDC, pszText, -1, &rc, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(hDC, hOld);
    DeleteObject(hFont);
}

// One frame, drawn off screen and copied in one go so that nothing flickers.
void Paint(HDC hDC)
{
    HDC hMem = CreateCompatibleDC(hDC);
    HBITMAP hBitmap = CreateCompatibleBitmap(hDC, kClientWidth, kClientHeight);
    HGDIOBJ hOldBitmap = SelectObject(hMem, hBitmap);

    for (int y = 0; y < kClientHeight; y += 4) {
        const int t = y * 255 / kClientHeight;
        RECT band = {0, y, kClientWidth, y + 4};
        HBRUSH hBrush = CreateSolidBrush(RGB(4 + t / 10, 5 + t / 14, 14 + t / 6));
        FillRect(hMem, &band, hBrush);
        DeleteObject(hBrush);
    }
    for (const Star& star : g_stars) {
        const int sx = kClientWidth / 2 + star.x * 64 / star.z, sy = kClientHeight / 2 + star.y * 64 / star.z;
        const int level = 255 - star.z * 3 / 4;
        const int size = star.z < 64 ? 2 : 1;
        RECT dot = {sx, sy, sx + size, sy + size};
        HBRUSH hBrush = CreateSolidBrush(RGB(level, level, level > 40 ? level : 40));
        FillRect(hMem, &dot, hBrush);
        DeleteObject(hBrush);
    }
    // The ship: a wedge that rises and falls gently.
    const int bob = (g_nFrame / 4) % 8 < 4 ? (g_nFrame / 4) % 4 : 4 - (g_nFrame / 4) % 4;
    const POINT ship[] = {{256, 250 + bob}, {226, 290 + bob}, {256, 280 + bob}, {286, 290 + bob}};
    HBRUSH hHull = CreateSolidBrush(RGB(170, 180, 200));
    HPEN hPen = CreatePen(PS_SOLID, 1, RGB(230, 190, 110));
    HGDIOBJ hOldBrush = SelectObject(hMem, hHull), hOldPen = SelectObject(hMem, hPen);
    Polygon(hMem, ship, 4);
    SelectObject(hMem, hOldBrush);
    SelectObject(hMem, hOldPen);
    DeleteObject(hHull);
    DeleteObject(hPen);
    RECT flame = {252, 282 + bob, 260, 290 + bob + (g_nFrame % 3) * 2};
    HBRUSH hFlame = CreateSolidBrush(RGB(255, 140, 40));
    FillRect(hMem, &flame, hFlame);
    DeleteObject(hFlame);

    SetBkMode(hMem, TRANSPARENT);
    DrawText(hMem, 40, 52, FW_BOLD, RGB(232, 184, 86), "ZEPHRANE");
    DrawText(hMem, 100, 18, FW_NORMAL, RGB(124, 200, 212), "Demo  -  Chapter One: The Ashen Gate");
    DrawText(hMem, 340, 16, FW_NORMAL, RGB(160, 160, 170), "Press Esc to leave the demo");

    BitBlt(hDC, 0, 0, kClientWidth, kClientHeight, hMem, 0, 0, SRCCOPY);
    SelectObject(hMem, hOldBitmap);
    DeleteObject(hBitmap);
    DeleteDC(hMem);
}

void Advance()
{
    ++g_nFrame;
    for (Star& star : g_stars) {
        star.z -= 3;
        if (star.z < 1)
            ResetStar(star, false);
    }
}

LRESULT CALLBACK GameWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        SetTimer(hWnd, kFrameTimer, 40, nullptr);
        return 0;
    case WM_TIMER:
        Advance();
        InvalidateRect(hWnd, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // every paint covers the whole window
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(hWnd, &ps);
        Paint(hDC);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hWnd, kFrameTimer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    for (Star& star : g_stars)
        ResetStar(star, true);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = GameWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(1));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = demo::kGameWindowClass;
    if (!RegisterClassA(&wc))
        return 1;

    const DWORD dwStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rc = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&rc, dwStyle, FALSE);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HWND hWnd = CreateWindowA(demo::kGameWindowClass, demo::kGameWindowTitle, dwStyle,
                              (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                              width, height, nullptr, nullptr, hInstance, nullptr);
    if (hWnd == nullptr)
        return 1;
    ShowWindow(hWnd, nCmdShow);
    UpdateWindow(hWnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}
