// A thin application framework with the familiar MFC names and signatures, holding only
// what this program uses: an application object whose InitInstance runs modal dialogs,
// dialogs built from templates with message maps and data exchange, worker threads, and
// message boxes.
//
// Classes: CString, CCmdTarget, CWinThread, CWinApp, CWnd, CDialog, CButton, CStatic,
// CPaintDC, CDataExchange.
//
// There is no main message loop: InitInstance returns FALSE and every message is pumped by
// a modal loop, CDialog::DoModal's or a message box's. DoModal's loop hands every message to
// the application's PreTranslateMessage, which walks from the target window up through the
// framework windows above it; a message box pumps with the system's own loop, which does not.
#ifndef AFXWIN_H
#define AFXWIN_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "afxres.h"

#define afx_msg

class CCmdTarget;
class CWnd;
class CWinThread;
class CWinApp;
class CDataExchange;

// ---------------------------------------------------------------------------------------
// CString: a NUL-terminated ANSI string on the heap. Out of memory, it keeps its old value.
class CString {
public:
    CString() = default;
    CString(const char* psz) { Assign(psz); }
    CString(const CString&) = delete;
    ~CString();
    CString& operator=(const char* psz) { Assign(psz); return *this; }
    CString& operator=(const CString&) = delete;
    operator const char*() const { return m_psz != nullptr ? m_psz : ""; }

    // A zeroed, writable buffer of nMinBufLength characters plus the terminator, replacing
    // the old value; NULL, the old value kept, when there is no memory.
    char* GetBuffer(int nMinBufLength);

private:
    void Assign(const char* psz);

    char* m_psz = nullptr;  // NULL stands for the empty string
};

// ---------------------------------------------------------------------------------------
// Message maps. Each class with DECLARE_MESSAGE_MAP has a static table that chains to its
// base class's table; dispatch walks the chain from the most derived class. Each entry holds
// a small thunk, made by a template from the handler's own type, that calls the handler.
typedef LRESULT (*AFX_PMSG)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;   // window message, or WM_COMMAND
    UINT nCode;      // notification code for WM_COMMAND entries
    UINT nID;        // control or command ID for WM_COMMAND entries
    UINT nLastID;
    AFX_PMSG pfn;    // NULL ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

template <class> struct AfxMemberOf;
template <class C, class R, class... A> struct AfxMemberOf<R (C::*)(A...)> { typedef C type; };

// void Handler()
template <auto pfn> LRESULT AfxThunkVoid(CCmdTarget* p, WPARAM, LPARAM)
{
    typedef typename AfxMemberOf<decltype(pfn)>::type C;
    (static_cast<C*>(p)->*pfn)();
    return 0;
}
// HCURSOR Handler()
template <auto pfn> LRESULT AfxThunkHandle(CCmdTarget* p, WPARAM, LPARAM)
{
    typedef typename AfxMemberOf<decltype(pfn)>::type C;
    return reinterpret_cast<LRESULT>((static_cast<C*>(p)->*pfn)());
}
// LRESULT Handler(WPARAM, LPARAM)
template <auto pfn> LRESULT AfxThunkMessage(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    typedef typename AfxMemberOf<decltype(pfn)>::type C;
    return (static_cast<C*>(p)->*pfn)(wParam, lParam);
}

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                       \
    {                                                                                     \
        using ThisClass [[maybe_unused]] = theClass;                                      \
        using TheBaseClass = baseClass;                                                   \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                 \
            { 0, 0, 0, 0, nullptr }                                                       \
        };                                                                                \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap,          \
                                               &_messageEntries[0] };                     \
        return &messageMap;                                                               \
    }

#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, (UINT)(id), (UINT)(id), &AfxThunkVoid<&memberFxn> },

#define ON_CONTROL(code, id, memberFxn) \
    { WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), &AfxThunkVoid<&ThisClass::memberFxn> },

#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

#define ON_MESSAGE(message, memberFxn) \
    { (UINT)(message), 0, 0, 0, &AfxThunkMessage<&ThisClass::memberFxn> },

#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, 0, &AfxThunkVoid<&ThisClass::OnPaint> },

#define ON_WM_DESTROY() \
    { WM_DESTROY, 0, 0, 0, &AfxThunkVoid<&ThisClass::OnDestroy> },

#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, 0, &AfxThunkHandle<&ThisClass::OnQueryDragIcon> },

// ---------------------------------------------------------------------------------------
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Routes a command (WM_COMMAND with its notification code) through the message map.
    // TRUE when a handler took it.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // The first entry of this object's map chain for the message, or NULL.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;

    friend class CWnd;
};

// ---------------------------------------------------------------------------------------
typedef UINT (__cdecl* AFX_THREADPROC)(LPVOID);

class CWinThread : public CCmdTarget {
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    // Gives the windows from the message's target up to the main window their chance to
    // translate it. TRUE when one of them did; the message is then not dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    CWnd* m_pMainWnd = nullptr;
    HANDLE m_hThread = nullptr;

private:
    static unsigned __stdcall ThreadEntry(void* pThis);

    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;

    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                      LPSECURITY_ATTRIBUTES);
};

// Starts pfnThreadProc(pParam) on a new thread, which ends when the function returns. The
// thread object deletes itself when the thread ends. NULL when the thread could not be created.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// Ends the calling worker thread, deleting its thread object when bDelete is TRUE. Does not
// return; objects on the thread's stack are not destroyed.
[[noreturn]] void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

// ---------------------------------------------------------------------------------------
class CWinApp : public CWinThread {
public:
    // The application's name, the caption of its message boxes, is the program file's name
    // without extension.
    CWinApp();
    ~CWinApp() override;

    // Runs the program. Whatever it returns, the program ends then: this framework has no
    // main message loop.
    virtual BOOL InitInstance();
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The framework knows no help file: an application that has one shows it here.
    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT);

    HICON LoadIcon(UINT nIDResource) const;
    BOOL Enable3dControlsStatic();

    char m_szAppName[MAX_PATH] = {};

    afx_msg void OnHelp();

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
// A message box owned by the main window, captioned with the application's name, with the
// exclamation icon unless nType names another.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
// The framework's own failure reports, in Japanese like the rest of the program.
void AfxReportOutOfMemory();
void AfxReportInternalFailure();
int AfxWinMain(HINSTANCE hInstance, int nCmdShow);

// The message pump shared by every modal loop: one message taken from the queue,
// pre-translated and dispatched. FALSE on WM_QUIT, which is left for the caller.
BOOL AfxPumpMessage(MSG* pMsg);

// ---------------------------------------------------------------------------------------
class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // The framework object attached to hWnd, or NULL.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The attached object, or a temporary one that lives until the modal loop next idles.
    static CWnd* FromHandle(HWND hWnd);
    // Forgets the temporary objects made by FromHandle.
    static void DeleteTempMap();

    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Attaches and routes the window's messages through this object's message map.
    BOOL SubclassWindow(HWND hWnd);

    // Data exchange between the controls and the members bound in DoDataExchange.
    // FALSE when the exchange failed; the failure is reported to the user.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    void SetWindowText(LPCSTR lpszString);
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    CWnd* SetFocus();
    CWnd* GetDlgItem(int nID) const;
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL SetForegroundWindow();
    DWORD GetStyle() const;
    // Centres the window over its owner, or in the primary monitor's work area without one.
    void CenterWindow();
    virtual BOOL DestroyWindow();

    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Offers pMsg to each framework window from its target up to hWndStop.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    afx_msg void OnPaint();
    afx_msg void OnDestroy();
    afx_msg HCURSOR OnQueryDragIcon();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled now.
    LRESULT Default();

    WNDPROC m_pfnSuper = nullptr;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

class CButton : public CWnd {};
class CStatic : public CWnd {};

// ---------------------------------------------------------------------------------------
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog from its template and runs it modally. The result of EndDialog,
    // or -1 when there is no such template, the window could not be created, or a quit
    // message ended the loop (the quit message is posted again).
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnCmdMsg(UINT nID, int nCode) override;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    afx_msg LRESULT OnHelpInfo(WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND FindOwner() const;
    void RunModalLoop();

    INT_PTR m_nModalResult = -1;
    BOOL m_bContinueModal = FALSE;
};

// ---------------------------------------------------------------------------------------
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // The control's window, or NULL after marking the exchange failed.
    HWND PrepareCtrl(int nIDC);
    void Fail() { m_bFailed = TRUE; }

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    BOOL m_bFailed = FALSE;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

// ---------------------------------------------------------------------------------------
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

#endif
