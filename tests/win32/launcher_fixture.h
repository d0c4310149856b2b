// What the launcher's Wine tests share: the registry keys it reads, a launcher
// window made and destroyed by the test, the pixels of its client area,
// message boxes found and closed from another thread, and the probe program
// that stands in for every program the launcher starts.
#pragma once

#include "app/launcher_app.h"
#include "app/paths.h"
#include "frame/mainframe.h"
#include "framework/sysdll.h"
#include "tests/win32/import_patch.h"
#include "tests/win32/testbmp.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Every test program has the one application object a launcher has.
extern CLauncherApp theApp;

// ---------------------------------------------------------------------------
// Registry

// Both under HKEY_LOCAL_MACHINE.
extern const char kAppPathsKey[];
extern const char kUninstallKey[];

// Removes the two keys that the launcher reads when made and again when it
// goes, so that no test inherits or leaves an installation.
class CLauncherKeys {
public:
    CLauncherKeys();
    CLauncherKeys(const CLauncherKeys&) = delete;
    CLauncherKeys& operator=(const CLauncherKeys&) = delete;
    ~CLauncherKeys();

    void CreateKey(const char* pszKey) const;
    void DeleteKey(const char* pszKey) const;
    // Creates the key if needed. cbData of -1 stores the string with its NUL.
    void SetValue(const char* pszKey, const char* pszName, DWORD dwType, const void* pData,
                  DWORD cbData) const;
    void SetString(const char* pszKey, const char* pszName, const std::string& value,
                   DWORD dwType = REG_SZ) const;
    // Both values, as an installed game leaves them.
    void Install(const std::string& gamePath, const std::string& uninstallCommand) const;
    void Uninstall() const;
};

// ---------------------------------------------------------------------------
// The launcher's globals and window

// Everything the launcher keeps between calls, as it is at load.
void ResetLauncherGlobals();

// A launcher window built in this process, as the application builds it, and
// destroyed with its object when the test ends.
class CLauncherWindow {
public:
    CLauncherWindow();
    CLauncherWindow(const CLauncherWindow&) = delete;
    CLauncherWindow& operator=(const CLauncherWindow&) = delete;
    ~CLauncherWindow();

    CMainFrame* operator->() const { return m_pFrame; }
    CMainFrame* Frame() const { return m_pFrame; }
    HWND Hwnd() const { return m_hWnd; }
    bool Alive() const { return IsWindow(m_hWnd) != FALSE; }
    void Destroy();

private:
    CMainFrame* m_pFrame;
    HWND m_hWnd;
};

// Handles everything that is queued for this thread.
void PumpMessages();
// Handles this thread's messages until done() or the deadline; done()'s answer.
bool PumpUntil(const std::function<bool()>& done, DWORD dwTimeoutMs = 10000);
// Asks for a paint of the whole client area, with or without an erase, and
// has it carried out now.
void Repaint(HWND hWnd, bool bErase);

// ---------------------------------------------------------------------------
// Pixels

// The client area of a window as it is on screen at construction.
class CClientPixels {
public:
    explicit CClientPixels(HWND hWnd);
    COLORREF At(int x, int y) const;
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

private:
    int m_nWidth, m_nHeight;
    std::vector<uint32_t> m_pixels;
};

std::string ColorText(COLORREF colour);
// Fills a rectangle of a window's client area straight on its device context.
void FillClient(HWND hWnd, const RECT& rc, COLORREF colour);

// ---------------------------------------------------------------------------
// Message boxes

struct CSeenBox {
    std::string caption;
    std::string text;
    HWND hWndOwner;
    HICON hIcon;
    bool bCloseRequestedWhenSeen;
};

// Watches from a thread of its own for dialog boxes of one thread, reads each,
// and closes it with its OK button, so that no box ever holds a test up.
class CBoxWatcher {
public:
    explicit CBoxWatcher(DWORD dwThreadId = GetCurrentThreadId());
    CBoxWatcher(const CBoxWatcher&) = delete;
    CBoxWatcher& operator=(const CBoxWatcher&) = delete;
    ~CBoxWatcher();

    std::vector<CSeenBox> Seen() const;

private:
    void Watch();

    DWORD m_dwThreadId;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    std::vector<CSeenBox> m_seen;
    std::vector<HWND> m_closed;
    std::thread m_thread;
};

// ---------------------------------------------------------------------------
// Programs

// A Unix path of the build as the prefix sees it, through drive Z.
std::string DosPath(const char* pszUnixPath);
std::string ProbePath();
std::string LauncherPath();
// Copies the probe to a path, making its folders.
void CopyProbeTo(const std::string& path);

struct CProbeRecord {
    std::string module, commandLine, directory;
    unsigned uErrorMode;
    unsigned long ulStartupFlags;
    DWORD dwProcessId;
};

// Whether a process has ended, or was never there: its program file and
// folder are in use until it has.
bool ProcessEnded(DWORD dwProcessId);

// The file that every probe started from this process appends its line to.
class CProbeLog {
public:
    CProbeLog();
    CProbeLog(const CProbeLog&) = delete;
    CProbeLog& operator=(const CProbeLog&) = delete;
    ~CProbeLog();

    std::vector<CProbeRecord> Records() const;
    // Waits until at least n probes have written and ended, so that what
    // they ran from can be removed; false at the deadline.
    bool WaitForRecords(size_t n, DWORD dwTimeoutMs = 15000) const;

private:
    std::string m_path;
};

std::string CurrentDirectory();
bool SamePath(const std::string& a, const std::string& b);
