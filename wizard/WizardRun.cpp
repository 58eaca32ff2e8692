// Data shared by the wizard and its workers.
#include "wizard/WizardRun.h"

#include <cstring>

CWizardRun::CWizardRun(HWND hWnd) : m_hWnd(hWnd)
{
    ::InitializeCriticalSection(&m_lock);
}

CWizardRun::~CWizardRun()
{
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
    ::EnterCriticalSection(&m_lock);
    const int bPosted = !m_bClosed && ::PostMessageA(m_hWnd, nMessage, wParam, 0);
    ::LeaveCriticalSection(&m_lock);
    return bPosted;
}

int CWizardRun::BeginWhileOpen()
{
    ::EnterCriticalSection(&m_lock);
    if (!m_bClosed)
        return 1;
    ::LeaveCriticalSection(&m_lock);
    return 0;
}

void CWizardRun::EndWhileOpen()
{
    ::LeaveCriticalSection(&m_lock);
}

void CWizardRun::Close()
{
    ::EnterCriticalSection(&m_lock);
    m_bClosed = TRUE;
    ::LeaveCriticalSection(&m_lock);
}
