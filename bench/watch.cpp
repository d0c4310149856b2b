// Times programs from their start to their first complete picture on the
// screen, all by the same method: start the program, wait for its window,
// then read the screen under the window until the picture matches the one it
// settles to. The flame rectangles are left out of the match, since they move.
//
//   bench_watch RUNS TITLE COMMAND [TITLE COMMAND ...]
//
// Each program is first started once to learn its settled picture; then the
// programs take turns, RUNS timed starts each. Prints "display_bits N", and
// "window_ms_K MS" and "picture_ms_K MS" for each start, K being the program's
// place in the list; exit 1 when a program shows no window or never matches.
#include "bench/bench_clock.h"
#include "frame/layout.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int kWidth = kBackgroundRect.right, kHeight = kBackgroundRect.bottom;
const double kGiveUpMs = 15000;

bool InRect(const LayoutRect& rc, int x, int y)
{
    return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
}

// The pixels of the picture that the match counts: all but the flames.
bool Counted(int x, int y)
{
    return !InRect(kBigFlameRect, x, y) && !InRect(kSmallFlameRect, x, y);
}

// The screen under a window, read back into memory as 32-bit pixels.
class CScreenGrab {
public:
    CScreenGrab()
        : m_hScreen(GetDC(nullptr)), m_hMemory(CreateCompatibleDC(m_hScreen))
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = kWidth;
        bi.bmiHeader.biHeight = -kHeight;  // top row first
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* pBits = nullptr;
        m_hBitmap = CreateDIBSection(m_hScreen, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
        m_pPixels = static_cast<const uint32_t*>(pBits);
        m_hOld = SelectObject(m_hMemory, m_hBitmap);
    }
    CScreenGrab(const CScreenGrab&) = delete;
    CScreenGrab& operator=(const CScreenGrab&) = delete;
    ~CScreenGrab()
    {
        SelectObject(m_hMemory, m_hOld);
        DeleteObject(m_hBitmap);
        DeleteDC(m_hMemory);
        ReleaseDC(nullptr, m_hScreen);
    }

    int DisplayBits() const { return GetDeviceCaps(m_hScreen, BITSPIXEL); }

    // Rows nTop to nTop + nRows - 1 of the picture at ptOrigin. One read of the
    // whole window takes Wine some 35 ms here, a strip of 64 rows about 2:
    // strips keep the clock fine and stop at the first one that differs.
    const uint32_t* ReadRows(const POINT& ptOrigin, int nTop, int nRows)
    {
        BitBlt(m_hMemory, 0, nTop, kWidth, nRows, m_hScreen, ptOrigin.x, ptOrigin.y + nTop,
               SRCCOPY);
        GdiFlush();
        return m_pPixels + static_cast<size_t>(nTop) * kWidth;
    }

private:
    HDC m_hScreen;
    HDC m_hMemory;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    const uint32_t* m_pPixels = nullptr;
};

const int kStripRows = 64;

std::vector<uint32_t> ReadPicture(CScreenGrab& grab, const POINT& ptOrigin)
{
    std::vector<uint32_t> picture;
    for (int nTop = 0; nTop < kHeight; nTop += kStripRows) {
        const int nRows = kHeight - nTop < kStripRows ? kHeight - nTop : kStripRows;
        const uint32_t* pRows = grab.ReadRows(ptOrigin, nTop, nRows);
        picture.insert(picture.end(), pRows, pRows + static_cast<size_t>(nRows) * kWidth);
    }
    return picture;
}

bool ShowsPicture(CScreenGrab& grab, const POINT& ptOrigin, const std::vector<uint32_t>& picture)
{
    for (int nTop = 0; nTop < kHeight; nTop += kStripRows) {
        const int nRows = kHeight - nTop < kStripRows ? kHeight - nTop : kStripRows;
        const uint32_t* pRows = grab.ReadRows(ptOrigin, nTop, nRows);
        const uint32_t* pWanted = picture.data() + static_cast<size_t>(nTop) * kWidth;
        for (int y = nTop; y < nTop + nRows; ++y) {
            for (int x = 0; x < kWidth; ++x, ++pRows, ++pWanted) {
                if (Counted(x, y) && (*pRows & 0xFFFFFF) != (*pWanted & 0xFFFFFF))
                    return false;
            }
        }
    }
    return true;
}

struct CProgram {
    const char* pszTitle;
    const char* pszCommand;
    std::vector<uint32_t> settled;
};

class CWatch {
public:
    explicit CWatch(CProgram& program) : m_program(program) {}
    CWatch(const CWatch&) = delete;
    CWatch& operator=(const CWatch&) = delete;
    ~CWatch() { Stop(); }

    bool Start()
    {
        std::vector<char> command(m_program.pszCommand,
                                  m_program.pszCommand + std::strlen(m_program.pszCommand) + 1);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        m_dStartMs = BenchNowMs();
        return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, &m_pi) != FALSE;
    }

    // The window of this process, once it exists; the time it took.
    HWND WaitForWindow(double& dMs)
    {
        for (;;) {
            HWND hWnd = FindWindowA(nullptr, m_program.pszTitle);
            DWORD dwProcess = 0;
            if (hWnd != nullptr)
                GetWindowThreadProcessId(hWnd, &dwProcess);
            dMs = BenchNowMs() - m_dStartMs;
            if (hWnd != nullptr && dwProcess == m_pi.dwProcessId)
                return hWnd;
            if (dMs > kGiveUpMs || WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0)
                return nullptr;
            Sleep(1);
        }
    }

    // Reads the screen until it shows the settled picture; the time until the
    // read that saw it complete.
    bool WaitForPicture(CScreenGrab& grab, HWND hWnd, double& dMs)
    {
        for (;;) {
            RECT rc;
            GetWindowRect(hWnd, &rc);
            const bool bSame = ShowsPicture(grab, POINT{rc.left, rc.top}, m_program.settled);
            dMs = BenchNowMs() - m_dStartMs;
            if (bSame)
                return true;
            if (dMs > kGiveUpMs)
                return false;
            Sleep(1);
        }
    }

    // Ends the program and waits until its window has left the screen, so the
    // next start begins from the same empty place.
    void Stop()
    {
        if (m_pi.hProcess == nullptr)
            return;
        TerminateProcess(m_pi.hProcess, 0);
        WaitForSingleObject(m_pi.hProcess, 10000);
        for (int n = 0; n < 1000 && FindWindowA(nullptr, m_program.pszTitle) != nullptr; ++n)
            Sleep(5);
        Sleep(200);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
        m_pi = PROCESS_INFORMATION{};
    }

private:
    CProgram& m_program;
    PROCESS_INFORMATION m_pi = {};
    double m_dStartMs = 0;
};

bool LearnSettledPicture(CScreenGrab& grab, CProgram& program)
{
    CWatch watch(program);
    double dMs = 0;
    HWND hWnd = watch.Start() ? watch.WaitForWindow(dMs) : nullptr;
    if (hWnd == nullptr)
        return false;
    Sleep(1500);
    RECT rc;
    GetWindowRect(hWnd, &rc);
    program.settled = ReadPicture(grab, POINT{rc.left, rc.top});
    return true;
}

bool TimeOneStart(CScreenGrab& grab, CProgram& program, int nIndex)
{
    CWatch watch(program);
    double dWindowMs = 0, dPictureMs = 0;
    HWND hWnd = watch.Start() ? watch.WaitForWindow(dWindowMs) : nullptr;
    if (hWnd == nullptr) {
        std::fprintf(stderr, "bench_watch: %s showed no window\n", program.pszCommand);
        return false;
    }
    if (!watch.WaitForPicture(grab, hWnd, dPictureMs)) {
        std::fprintf(stderr, "bench_watch: %s never showed its settled picture\n",
                     program.pszCommand);
        return false;
    }
    std::printf("window_ms_%d %.3f\npicture_ms_%d %.3f\n", nIndex, dWindowMs, nIndex, dPictureMs);
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: bench_watch RUNS TITLE COMMAND [TITLE COMMAND ...]\n");
        return 2;
    }
    const int nRuns = std::atoi(argv[1]);
    std::vector<CProgram> programs;
    for (int i = 2; i + 1 < argc; i += 2)
        programs.push_back(CProgram{argv[i], argv[i + 1], {}});

    CScreenGrab grab;
    std::printf("display_bits %d\n", grab.DisplayBits());
    for (CProgram& program : programs) {
        if (!LearnSettledPicture(grab, program)) {
            std::fprintf(stderr, "bench_watch: %s showed no window\n", program.pszCommand);
            return 1;
        }
    }
    for (int nRun = 0; nRun < nRuns; ++nRun) {
        for (size_t k = 0; k < programs.size(); ++k) {
            if (!TimeOneStart(grab, programs[k], static_cast<int>(k)))
                return 1;
        }
    }
    return 0;
}
