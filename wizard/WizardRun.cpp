// Data shared by the wizard and its workers, and the start of a worker.
#include "wizard/WizardRun.h"

#include <cstring>

#include "afxwin.h"

namespace {

const DWORD kPostRetryInterval = 50;  // ms between two posts to a full queue

}  // namespace

CWizardRun::CWizardRun(HWND hWnd, PostFn pfnPost) : m_hWnd(hWnd), m_pfnPost(pfnPost)
{
    ::InitializeCriticalSection(&m_lock);
    ::InitializeCriticalSection(&m_startLock);
}

CWizardRun::~CWizardRun()
{
    ::DeleteCriticalSection(&m_startLock);
    ::DeleteCriticalSection(&m_lock);
}

void CWizardRun::AddRef()
{
    m_nRefs.fetch_add(1, std::memory_order_relaxed);
}

void CWizardRun::Release()
{
    if (m_nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

void CWizardRun::ClearSetupPath()
{
    ::EnterCriticalSection(&m_lock);
    std::memset(m_szSetupPath, 0, sizeof(m_szSetupPath));
    ::LeaveCriticalSection(&m_lock);
}

void CWizardRun::Reset()
{
    ClearSetupPath();
    m_bPainted = 0;
    m_bCancel = 0;
}

int CWizardRun::StartWorker(WorkerFn pfnWorker, BOOL bNewSearch)
{
    if (bNewSearch)
        ClearSetupPath();
    m_bCancel = 0;
    m_bPainted = 0;
    AddRef();
    if (m_pfnBeginThread(pfnWorker, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr) == nullptr) {
        Release();
        return 0;
    }
    return 1;
}

void CWizardRun::WaitForPaint()
{
    for (int i = 0; i < 500; ++i) {
        if (m_bPainted.load(std::memory_order_relaxed))
            return;
        ::Sleep(1);
    }
}

int CWizardRun::StoreSetupPath(const char* pszPath)
{
    const size_t cb = std::strlen(pszPath) + 1;
    if (cb > sizeof(m_szSetupPath))
        return 0;
    ::EnterCriticalSection(&m_lock);
    std::memcpy(m_szSetupPath, pszPath, cb);
    ::LeaveCriticalSection(&m_lock);
    return 1;
}

void CWizardRun::CopySetupPath(char* pszDest, size_t cbDest)
{
    if (cbDest == 0)
        return;
    ::EnterCriticalSection(&m_lock);
    const size_t cb = cbDest < sizeof(m_szSetupPath) ? cbDest : sizeof(m_szSetupPath);
    std::memcpy(pszDest, m_szSetupPath, cb);
    ::LeaveCriticalSection(&m_lock);
    pszDest[cb - 1] = '\0';
}

int CWizardRun::Post(UINT nMessage, WPARAM wParam)
{
    // A result that is lost would leave the wizard waiting for good, so a post that the
    // system refuses (a queue that another program has filled) is tried again.
    for (;;) {
        if (!BeginWhileOpen())
            return 0;
        const BOOL bPosted = m_pfnPost(m_hWnd, nMessage, wParam, 0);
        EndWhileOpen();
        if (bPosted)
            return 1;
        ::Sleep(kPostRetryInterval);
    }
}

int CWizardRun::EnterWhileOpen(CRITICAL_SECTION* pLock)
{
    ::EnterCriticalSection(pLock);
    // Close() sets the flag before WaitForStart() takes the start lock: a start either saw
    // the wizard open and is waited for, or sees it closed.
    if (!m_bClosed.load(std::memory_order_acquire))
        return 1;
    ::LeaveCriticalSection(pLock);
    return 0;
}

int CWizardRun::BeginWhileOpen()
{
    return EnterWhileOpen(&m_lock);
}

void CWizardRun::EndWhileOpen()
{
    ::LeaveCriticalSection(&m_lock);
}

int CWizardRun::BeginStart()
{
    return EnterWhileOpen(&m_startLock);
}

void CWizardRun::EndStart()
{
    ::LeaveCriticalSection(&m_startLock);
}

void CWizardRun::WaitForStart()
{
    ::EnterCriticalSection(&m_startLock);
    ::LeaveCriticalSection(&m_startLock);
}

void CWizardRun::Close()
{
    ::EnterCriticalSection(&m_lock);
    m_bClosed.store(1, std::memory_order_release);
    ::LeaveCriticalSection(&m_lock);
}
