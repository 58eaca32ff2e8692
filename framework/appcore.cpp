// The application object, the entry code, worker threads and message boxes.
#include "afxwin.h"

#include <process.h>

#include <cstring>
#include <new>

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hInstance = nullptr;
// The calling thread's CWinThread, for AfxEndThread; a TLS slot costs less than the
// compiler's emulated thread_local.
DWORD g_tlsThread = ::TlsAlloc();


// The program file's name without its folder and extension, into szName.
void ProgramName(HINSTANCE hInstance, char (&szName)[MAX_PATH])
{
    char szPath[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(hInstance, szPath, MAX_PATH);
    szPath[n < MAX_PATH ? n : MAX_PATH - 1] = '\0';
    const char* pName = szPath;
    for (const char* p = szPath; *p != '\0'; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            pName = p + 1;
    }
    ::lstrcpynA(szName, pName, MAX_PATH);
    char* pDot = std::strrchr(szName, '.');
    if (pDot != nullptr)
        *pDot = '\0';
}

// Whether a thread created suspended runs after ResumeThread gave nPrevious: it was held by
// our suspension alone (1), or by none any more (0). Failed (-1), or still held by someone
// else's suspension (more than 1), it does not run.
bool IsResumedFrom(DWORD nPrevious)
{
    return nPrevious <= 1;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CWinThread

CWinThread::CWinThread() = default;

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
}

CWinThread::~CWinThread()
{
    if (m_hThread != nullptr)
        ::CloseHandle(m_hThread);
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg)
{
    CWnd* pMainWnd = AfxGetMainWnd();
    return CWnd::WalkPreTranslateTree(pMainWnd != nullptr ? pMainWnd->m_hWnd : nullptr, pMsg);
}

unsigned __stdcall CWinThread::ThreadEntry(void* pThis)
{
    CWinThread* pThread = static_cast<CWinThread*>(pThis);
    ::TlsSetValue(g_tlsThread, pThread);
    AfxEndThread(pThread->m_pfnThreadProc(pThread->m_pThreadParams), TRUE);
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* pThread = new (std::nothrow) CWinThread(pfnThreadProc, pParam);
    if (pThread == nullptr)
        return nullptr;
    unsigned nThreadID = 0;
    // Created suspended so that the object is complete before the thread can end and
    // delete it.
    uintptr_t hThread = ::_beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry,
                                         pThread, CREATE_SUSPENDED, &nThreadID);
    if (hThread == 0) {
        delete pThread;
        return nullptr;
    }
    pThread->m_hThread = reinterpret_cast<HANDLE>(hThread);
    ::SetThreadPriority(pThread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED) && !IsResumedFrom(::ResumeThread(pThread->m_hThread))) {
        // A thread that does not run would leave its caller waiting for it for good, so the
        // caller hears that no thread was made. It has run nothing yet: it is ended, or, where
        // it cannot be, left suspended for good, its handle closed and its object kept.
        if (::TerminateThread(pThread->m_hThread, 0)
            && ::WaitForSingleObject(pThread->m_hThread, INFINITE) == WAIT_OBJECT_0) {
            delete pThread;
        } else {
            ::CloseHandle(pThread->m_hThread);
            pThread->m_hThread = nullptr;
        }
        return nullptr;
    }
    return pThread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete)
{
    CWinThread* pThread = static_cast<CWinThread*>(::TlsGetValue(g_tlsThread));
    ::TlsSetValue(g_tlsThread, nullptr);
    if (pThread != nullptr && bDelete)
        delete pThread;
    ::_endthreadex(nExitCode);
    for (;;) {
    }  // not reached
}

// ---------------------------------------------------------------------------------------
// CWinApp

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::PreTranslateMessage(MSG* pMsg)
{
    return CWinThread::PreTranslateMessage(pMsg);
}

void CWinApp::OnHelp()
{
    WinHelp(0, HELP_FINDER);
}

void CWinApp::WinHelp(DWORD_PTR /*dwData*/, UINT /*nCmd*/)
{
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

BOOL CWinApp::Enable3dControlsStatic()
{
    // Dialog controls have drawn themselves in 3-D since Windows 95.
    return TRUE;
}

CWinApp* AfxGetApp() { return g_pApp; }
CWinThread* AfxGetThread()
{
    CWinThread* pThread = static_cast<CWinThread*>(::TlsGetValue(g_tlsThread));
    return pThread != nullptr ? pThread : g_pApp;
}
HINSTANCE AfxGetResourceHandle() { return g_hInstance; }

CWnd* AfxGetMainWnd()
{
    CWinThread* pThread = AfxGetThread();
    return pThread != nullptr ? pThread->m_pMainWnd : nullptr;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType)
{
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    CWinApp* pApp = AfxGetApp();
    CWnd* pMainWnd = AfxGetMainWnd();
    return ::MessageBoxA(pMainWnd != nullptr ? pMainWnd->m_hWnd : nullptr, lpszText,
                         pApp != nullptr ? pApp->m_szAppName : nullptr, nType);
}

void AfxReportOutOfMemory()
{
    AfxMessageBox("ﾒﾓﾘが不足しています。", MB_ICONEXCLAMATION);
}

void AfxReportInternalFailure()
{
    AfxMessageBox("ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。", MB_ICONEXCLAMATION);
}

BOOL AfxPumpMessage(MSG* pMsg)
{
    if (::GetMessageA(pMsg, nullptr, 0, 0) <= 0)
        return FALSE;
    CWinThread* pThread = AfxGetThread();
    if (pThread == nullptr || !pThread->PreTranslateMessage(pMsg)) {
        ::TranslateMessage(pMsg);
        ::DispatchMessageA(pMsg);
    }
    return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, int /*nCmdShow*/)
{
    g_hInstance = hInstance;

    // Probing an empty drive must not bring up a system error box.
    UINT uMode = ::SetErrorMode(0);
    ::SetErrorMode(uMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    ProgramName(hInstance, pApp->m_szAppName);

    // Programs on this framework run their windows modally inside InitInstance; there is no
    // main message loop, whatever InitInstance returns.
    pApp->InitInstance();
    return 0;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int nCmdShow)
{
    return AfxWinMain(hInstance, nCmdShow);
}
