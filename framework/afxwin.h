// The small application framework the launcher is written against: the
// classes and members of the classic Windows framework that the launcher
// uses, each a thin layer over the Win32 call behind it.
#pragma once

#include <windows.h>

// ---------------------------------------------------------------------------
// Objects, run-time class names and exceptions

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    static const CRuntimeClass classCObject;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                   \
public:                                                               \
    static const CRuntimeClass class##class_name;                     \
    const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                \
    const CRuntimeClass class_name::class##class_name = {             \
        #class_name, RUNTIME_CLASS(base_class_name)};                 \
    const CRuntimeClass* class_name::GetRuntimeClass() const          \
    {                                                                 \
        return RUNTIME_CLASS(class_name);                             \
    }

// Exceptions are thrown by pointer and ended by Delete(), as the framework's
// callers expect: catch (CFileException* e) { e->Delete(); }
class CException : public CObject {
public:
    void Delete() { delete this; }
};

class CFileException : public CException {
public:
    enum { none, genericException, fileNotFound, badPath, accessDenied,
           sharingViolation, lockViolation, endOfFile };
    int m_cause = none;
    LONG m_lOsError = 0;

    // Records an operating-system error code and the cause it stands for.
    void SetOsError(LONG lOsError);
};

class CResourceException : public CException {};

// ---------------------------------------------------------------------------
// Files

class CFile {
public:
    enum OpenFlags { modeRead = 0x0000, shareDenyWrite = 0x0020 };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();  // closes an open file, never raising

    // Opens an existing file for reading. Reports failure by its result and
    // through pError, never by raising.
    BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    // The file's length; the read position stays where it was.
    ULONGLONG GetLength() const;
    // Reads up to nCount bytes and returns how many arrived: fewer at the end
    // of the file, 0 for a request of 0 bytes. Raises CFileException on a read
    // error.
    UINT Read(void* lpBuf, UINT nCount);
    // Closes the file, ignoring any error.
    void Abort();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

// ---------------------------------------------------------------------------
// GDI

class CPalette : public CObject {
public:
    CPalette() = default;
    CPalette(const CPalette&) = delete;
    CPalette& operator=(const CPalette&) = delete;
    ~CPalette() override;  // deletes the GDI palette it holds

    BOOL CreatePalette(const LOGPALETTE* lpLogPalette);
    // Takes ownership of an existing GDI palette; a null handle fails.
    BOOL Attach(HPALETTE hPalette);
    operator HPALETTE() const { return m_hObject; }

    HPALETTE m_hObject = nullptr;
};

class CDC {
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }

    HDC m_hDC = nullptr;
};

class CWnd;

// A device context for a window's client area, released with the object.
class CClientDC : public CDC {
public:
    // Raises CResourceException when the system gives no device context.
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC();

private:
    HWND m_hWnd;
};

// Selects a palette into a device context for one scope and, when the
// selection had replaced a palette, selects that one back as a background
// palette at the end of it.
class CPaletteSelect {
public:
    CPaletteSelect(HDC hDC, HPALETTE hPalette, BOOL bForceBackground);
    CPaletteSelect(const CPaletteSelect&) = delete;
    CPaletteSelect& operator=(const CPaletteSelect&) = delete;
    ~CPaletteSelect();
    HPALETTE Previous() const { return m_hPrevious; }

private:
    HDC m_hDC;
    HPALETTE m_hPrevious;
};

struct CPoint : public POINT {
    CPoint(int initX, int initY) { x = initX; y = initY; }
};

// ---------------------------------------------------------------------------
// Windows and message maps

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // 0 ends a map
    LRESULT (*pfn)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // null at the end of the chain
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object linked to a window of this framework, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    // Where the system takes UTF-16 (see SystemTakesWideText), the title in
    // that form, in place of the ANSI one the window was made with; elsewhere
    // the ANSI title stands. It goes straight to the system's default
    // handling, which keeps it whole: through this ANSI window's own
    // procedure it would pass the user's code page and lose what that lacks.
    void SetWideWindowText(LPCWSTR lpszText);

    // Hands the message now being handled to the default window procedure.
    LRESULT Default();

    HWND m_hWnd = nullptr;

protected:
    virtual const AFX_MSGMAP* GetMessageMap() const;
    static const AFX_MSGMAP* GetThisMessageMap();  // the end of every chain: no entries
    // Called after the window is gone and unlinked from this object; not for
    // a window whose creation failed.
    virtual void PostNcDestroy() {}
    // Creates the window with this object linked to it from WM_NCCREATE on.
    // On failure, early or late, the object is unlinked and stays with the
    // caller.
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName,
                  DWORD dwStyle, const RECT& rect, HWND hWndParent);

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL m_bCreating = FALSE;  // inside this object's CreateWindowEx
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

class CFrameWnd : public CWnd {
    DECLARE_DYNAMIC(CFrameWnd)
public:
    // A null class name means the framework's default frame window class:
    // CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, COLOR_WINDOW + 1, arrow cursor.
    BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                const RECT& rect, CWnd* pParentWnd = nullptr,
                LPCSTR lpszMenuName = nullptr, DWORD dwExStyle = 0);

    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);

protected:
    // A frame window lives exactly as long as its window, once it has one.
    void PostNcDestroy() override { delete this; }
};

#define DECLARE_MESSAGE_MAP()                                         \
protected:                                                            \
    static const AFX_MSGMAP* GetThisMessageMap();                     \
    const AFX_MSGMAP* GetMessageMap() const override;

// The entries live inside the class's own member function, so that the
// handlers they call may be protected or private.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const                 \
    {                                                                 \
        return GetThisMessageMap();                                   \
    }                                                                 \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                   \
    {                                                                 \
        using ThisClass = theClass;                                   \
        using TheBaseClass = baseClass;                               \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                             \
            {0, nullptr}};                                            \
        static const AFX_MSGMAP messageMap = {                        \
            &TheBaseClass::GetThisMessageMap, &_messageEntries[0]};   \
        return &messageMap;                                           \
    }

// Each entry cracks its message's parameters into the handler's signature,
// written here once. Void handlers complete their message with 0.

// afx_msg void OnPaint();
#define ON_WM_PAINT()                                                 \
    {WM_PAINT, [](CWnd* w, WPARAM, LPARAM) -> LRESULT {               \
         static_cast<ThisClass*>(w)->OnPaint();                       \
         return 0; }},

// afx_msg BOOL OnEraseBkgnd(CDC* pDC);  TRUE: the background counts as erased.
#define ON_WM_ERASEBKGND()                                            \
    {WM_ERASEBKGND, [](CWnd* w, WPARAM wp, LPARAM) -> LRESULT {       \
         CDC dc;                                                      \
         dc.m_hDC = reinterpret_cast<HDC>(wp);                        \
         return static_cast<ThisClass*>(w)->OnEraseBkgnd(&dc); }},

// afx_msg void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
// pWndOther is the other window's object when it is one of ours, else null.
#define ON_WM_ACTIVATE()                                              \
    {WM_ACTIVATE, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {      \
         static_cast<ThisClass*>(w)->OnActivate(                      \
             LOWORD(wp), CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lp)), \
             HIWORD(wp) != 0);                                        \
         return 0; }},

// afx_msg void OnActivateApp(BOOL bActive, DWORD dwThreadID);
#define ON_WM_ACTIVATEAPP()                                           \
    {WM_ACTIVATEAPP, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {   \
         static_cast<ThisClass*>(w)->OnActivateApp(                   \
             static_cast<BOOL>(wp), static_cast<DWORD>(lp));          \
         return 0; }},

// afx_msg void OnMouseMove(UINT nFlags, CPoint point);  client coordinates
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
// afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
// afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)

#define AFX_MOUSE_ENTRY(message, handler)                             \
    {message, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {          \
         static_cast<ThisClass*>(w)->handler(                         \
             static_cast<UINT>(wp),                                   \
             CPoint(static_cast<short>(LOWORD(lp)),                   \
                    static_cast<short>(HIWORD(lp))));                 \
         return 0; }},

// afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
#define ON_WM_KEYDOWN()                                               \
    {WM_KEYDOWN, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {       \
         static_cast<ThisClass*>(w)->OnKeyDown(                       \
             static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));          \
         return 0; }},

// ---------------------------------------------------------------------------
// The application

// Every kind of input and message, as every Windows from 95 on names them,
// for a wait on the message queue. The headers' QS_ALLINPUT also holds raw
// input, a kind Windows XP added: Windows 2000 and NT 4.0 refuse a wait for a
// kind they do not know.
const DWORD kAllInputWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER |
                                QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;

class CWinThread : public CObject {
public:
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }

    CWnd* m_pMainWnd = nullptr;
};

class CWinApp : public CWinThread {
public:
    // The one application object registers itself here. Without a name of its
    // own the application is named after its executable, without extension.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    // Runs the message loop until the quit message and returns its code, or
    // -1 when the system fails to deliver a message. Whenever the queue is
    // empty OnIdle is called, again and again for as long as it returns TRUE:
    // at once, then each time the wait GetIdleWait names has passed with no
    // input; input ends the wait at once. After FALSE the loop sleeps until
    // the next message.
    virtual int Run();
    virtual BOOL OnIdle(LONG lCount);
    // Milliseconds of timeGetTime until OnIdle has work again, asked after
    // each OnIdle that returns TRUE; INFINITE when only input brings work.
    // By default the next 17 ms step of the clock.
    virtual DWORD GetIdleWait();

    LPCSTR m_pszAppName;
    HINSTANCE m_hInstance;

private:
    char m_szDefaultName[MAX_PATH];
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();

// A modal message box owned by the main window and captioned with the
// application's name.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// ---------------------------------------------------------------------------
// Texts in the disc's own language

// Windows NT, 2000 and every Windows since keep each text as UTF-16 within,
// and their wide calls take it whole whatever the user's code page; Windows
// 95, 98 and ME read text in their ANSI code page alone, and their wide calls
// are stubs that fail. A text the program carries in both forms, UTF-16 and
// the ANSI bytes of the disc's code page, goes as UTF-16 where the system
// takes it, and otherwise as those bytes, which read right where the user's
// code page is the disc's.
bool SystemTakesWideText();

// The top-level window with the title, by the form of it the system takes.
HWND AfxFindWindow(LPCSTR lpszTitle, LPCWSTR lpszWideTitle);

// AfxMessageBox for a text in both forms.
int AfxMessageBox(LPCSTR lpszText, LPCWSTR lpszWideText, UINT nType);
