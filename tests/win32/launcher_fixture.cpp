#include "tests/win32/launcher_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

CLauncherApp theApp;

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zorvex.exe";
const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zephrane Demo";

namespace {

void DeleteKeyTree(HKEY hRoot, const char* pszKey)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    char szChild[256];
    // Always the first child: each one is gone before the next is asked for.
    for (;;) {
        DWORD cchChild = sizeof szChild;
        if (RegEnumKeyExA(hKey, 0, szChild, &cchChild, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        DeleteKeyTree(hKey, szChild);
    }
    RegCloseKey(hKey);
    RegDeleteKeyA(hRoot, pszKey);
}

}  // namespace

CLauncherKeys::CLauncherKeys() { Uninstall(); }

CLauncherKeys::~CLauncherKeys() { Uninstall(); }

void CLauncherKeys::CreateKey(const char* pszKey) const
{
    HKEY hKey;
    const LONG lResult = RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                         nullptr, &hKey, nullptr);
    ASSERT_EQ(lResult, ERROR_SUCCESS) << pszKey;
    RegCloseKey(hKey);
}

void CLauncherKeys::DeleteKey(const char* pszKey) const { DeleteKeyTree(HKEY_LOCAL_MACHINE, pszKey); }

void CLauncherKeys::SetValue(const char* pszKey, const char* pszName, DWORD dwType,
                             const void* pData, DWORD cbData) const
{
    HKEY hKey;
    LONG lResult = RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, &hKey, nullptr);
    ASSERT_EQ(lResult, ERROR_SUCCESS) << pszKey;
    lResult = RegSetValueExA(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
    RegCloseKey(hKey);
    ASSERT_EQ(lResult, ERROR_SUCCESS) << pszKey << " " << pszName;
}

void CLauncherKeys::SetString(const char* pszKey, const char* pszName, const std::string& value,
                              DWORD dwType) const
{
    SetValue(pszKey, pszName, dwType, value.c_str(), DWORD(value.size() + 1));
}

void CLauncherKeys::Install(const std::string& gamePath, const std::string& uninstallCommand) const
{
    SetString(kAppPathsKey, "Path", gamePath);
    SetString(kUninstallKey, "UninstallString", uninstallCommand);
}

void CLauncherKeys::Uninstall() const
{
    DeleteKey(kAppPathsKey);
    DeleteKey(kUninstallKey);
}

// ---------------------------------------------------------------------------

void ResetLauncherGlobals()
{
    g_bInstalled = 0;
    g_bCloseRequested = false;
    g_nFlameFrame = 0;
    g_dwLastFlameTick = g_pfnTimeGetTime();
    std::memset(g_szGamePath, 0, sizeof g_szGamePath);
    std::memset(g_szUninstallCmd, 0, sizeof g_szUninstallCmd);
    std::memset(g_szWindowTitle, 0, sizeof g_szWindowTitle);
    g_pMainFrame = nullptr;
    theApp.m_pMainWnd = nullptr;
}

CLauncherWindow::CLauncherWindow() : m_pFrame(nullptr), m_hWnd(nullptr)
{
    // The application's own start: the window object, the globals that point
    // at it, then show and update.
    if (!theApp.InitInstance())
        throw std::runtime_error("the launcher window was not created");
    m_pFrame = g_pMainFrame;
    m_hWnd = m_pFrame->m_hWnd;
}

CLauncherWindow::~CLauncherWindow() { Destroy(); }

void CLauncherWindow::Destroy()
{
    // The frame deletes itself with its window.
    if (IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    m_pFrame = nullptr;
    PumpMessages();
    g_pMainFrame = nullptr;
    theApp.m_pMainWnd = nullptr;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // A destroyed main window posts the quit message; the test goes on.
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD dwTimeoutMs)
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        PumpMessages();
        if (done())
            return true;
        if (GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, kAllInputWakeMask);
    }
}

void Repaint(HWND hWnd, bool bErase)
{
    InvalidateRect(hWnd, nullptr, bErase);
    UpdateWindow(hWnd);
}

// ---------------------------------------------------------------------------

CClientPixels::CClientPixels(HWND hWnd) : m_nWidth(0), m_nHeight(0)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    m_nWidth = rc.right;
    m_nHeight = rc.bottom;
    m_pixels.assign(size_t(m_nWidth) * m_nHeight, 0);

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = m_nWidth;
    bmi.bmiHeader.biHeight = -m_nHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hWindowDC = GetDC(hWnd);
    HDC hMemDC = CreateCompatibleDC(hWindowDC);
    HBITMAP hBitmap = CreateDIBSection(hMemDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = SelectObject(hMemDC, hBitmap);
    BitBlt(hMemDC, 0, 0, m_nWidth, m_nHeight, hWindowDC, 0, 0, SRCCOPY);
    GdiFlush();
    std::memcpy(m_pixels.data(), pBits, m_pixels.size() * 4);
    SelectObject(hMemDC, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMemDC);
    ReleaseDC(hWnd, hWindowDC);
}

COLORREF CClientPixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return CLR_INVALID;
    const uint32_t bgra = m_pixels[size_t(y) * m_nWidth + x];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

std::string ColorText(COLORREF colour)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "RGB(%u, %u, %u)", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
    return sz;
}

void FillClient(HWND hWnd, const RECT& rc, COLORREF colour)
{
    HDC hDC = GetDC(hWnd);
    HBRUSH hBrush = CreateSolidBrush(colour);
    FillRect(hDC, &rc, hBrush);
    GdiFlush();
    DeleteObject(hBrush);
    ReleaseDC(hWnd, hDC);
}

// ---------------------------------------------------------------------------

CBoxWatcher::CBoxWatcher(DWORD dwThreadId)
    : m_dwThreadId(dwThreadId), m_thread(&CBoxWatcher::Watch, this)
{
}

CBoxWatcher::~CBoxWatcher()
{
    m_bStop = true;
    m_thread.join();
}

std::vector<CSeenBox> CBoxWatcher::Seen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

namespace {

bool IsDialog(HWND hWnd)
{
    char szClass[16];
    return GetClassNameA(hWnd, szClass, sizeof szClass) && std::strcmp(szClass, "#32770") == 0;
}

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

// The box's icon and text sit in static controls; the text one has the id
// 0xFFFF in the system's message box.
void ReadBox(HWND hBox, CSeenBox& seen)
{
    std::vector<HWND> children;
    EnumChildWindows(hBox, CollectWindow, reinterpret_cast<LPARAM>(&children));
    char szText[2048];
    for (HWND hChild : children) {
        char szClass[16] = {};
        GetClassNameA(hChild, szClass, sizeof szClass);
        if (lstrcmpiA(szClass, "Static") != 0)
            continue;
        const LONG_PTR style = GetWindowLongPtrA(hChild, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            seen.hIcon = reinterpret_cast<HICON>(SendMessageA(hChild, STM_GETICON, 0, 0));
        } else if (GetDlgCtrlID(hChild) == 0xFFFF && GetWindowTextA(hChild, szText, sizeof szText)) {
            seen.text = szText;
        }
    }
    GetWindowTextA(hBox, szText, sizeof szText);
    seen.caption = szText;
    seen.hWndOwner = GetWindow(hBox, GW_OWNER);
}

}  // namespace

void CBoxWatcher::Watch()
{
    while (!m_bStop) {
        std::vector<HWND> windows;
        EnumThreadWindows(m_dwThreadId, CollectWindow, reinterpret_cast<LPARAM>(&windows));
        for (HWND hWnd : windows) {
            if (!IsDialog(hWnd) || !IsWindowVisible(hWnd))
                continue;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (std::find(m_closed.begin(), m_closed.end(), hWnd) != m_closed.end())
                    continue;
            }
            CSeenBox seen{};
            seen.bCloseRequestedWhenSeen = *static_cast<volatile bool*>(&g_bCloseRequested);
            ReadBox(hWnd, seen);
            PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(hWnd, IDOK)));
            std::lock_guard<std::mutex> lock(m_mutex);
            m_seen.push_back(seen);
            m_closed.push_back(hWnd);
        }
        Sleep(20);
    }
}

// ---------------------------------------------------------------------------

std::string DosPath(const char* pszUnixPath)
{
    std::string path = std::string("Z:") + pszUnixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string ProbePath() { return DosPath(ZEPH_PROBE_EXE); }

std::string LauncherPath() { return DosPath(ZEPH_LAUNCHER_EXE); }

void CopyProbeTo(const std::string& path)
{
    for (size_t n = path.find('\\', 3); n != std::string::npos; n = path.find('\\', n + 1))
        CreateDirectoryA(path.substr(0, n).c_str(), nullptr);
    if (!CopyFileA(ProbePath().c_str(), path.c_str(), FALSE))
        throw std::runtime_error("cannot copy the probe to " + path);
}

CProbeLog::CProbeLog()
{
    static int s_nLog = 0;
    char szTemp[MAX_PATH];
    GetTempPathA(sizeof szTemp, szTemp);
    char szName[64];
    std::snprintf(szName, sizeof szName, "zeph-probe-%lu-%d.log", GetCurrentProcessId(), ++s_nLog);
    m_path = std::string(szTemp) + szName;
    DeleteFileA(m_path.c_str());
    // Inherited by every program this process starts, directly or through
    // the shell.
    SetEnvironmentVariableA("ZEPH_PROBE_LOG", m_path.c_str());
}

CProbeLog::~CProbeLog()
{
    SetEnvironmentVariableA("ZEPH_PROBE_LOG", nullptr);
    DeleteFileA(m_path.c_str());
}

std::vector<CProbeRecord> CProbeLog::Records() const
{
    std::vector<CProbeRecord> records;
    HANDLE hFile = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return records;
    std::string content;
    char buffer[4096];
    DWORD cbRead;
    while (ReadFile(hFile, buffer, sizeof buffer, &cbRead, nullptr) && cbRead > 0)
        content.append(buffer, cbRead);
    CloseHandle(hFile);

    size_t nStart = 0;
    for (size_t nEnd; (nEnd = content.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1) {
        std::vector<std::string> fields;
        const std::string line = content.substr(nStart, nEnd - nStart);
        size_t nField = 0;
        for (size_t nTab; (nTab = line.find('\t', nField)) != std::string::npos; nField = nTab + 1)
            fields.push_back(line.substr(nField, nTab - nField));
        fields.push_back(line.substr(nField));
        if (fields.size() != 6)
            continue;  // a line still being written
        records.push_back(CProbeRecord{fields[0], fields[1], fields[2],
                                       unsigned(std::stoul(fields[3])), std::stoul(fields[4]),
                                       DWORD(std::stoul(fields[5]))});
    }
    return records;
}

bool CProbeLog::WaitForRecords(size_t n, DWORD dwTimeoutMs) const
{
    return PumpUntil([&] {
        const std::vector<CProbeRecord> records = Records();
        return records.size() >= n &&
               std::all_of(records.begin(), records.end(),
                           [](const CProbeRecord& record) { return ProcessEnded(record.dwProcessId); });
    }, dwTimeoutMs);
}

bool ProcessEnded(DWORD dwProcessId)
{
    HANDLE hProcess = OpenProcess(SYNCHRONIZE, FALSE, dwProcessId);
    if (hProcess == nullptr)
        return true;
    const bool bEnded = WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0;
    CloseHandle(hProcess);
    return bEnded;
}

std::string CurrentDirectory()
{
    char sz[MAX_PATH];
    const DWORD cch = GetCurrentDirectoryA(sizeof sz, sz);
    return std::string(sz, cch < sizeof sz ? cch : 0);
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }
