// CString. Out of memory, a string keeps its old value.
#include "afxwin.h"

#include <cstring>
#include <new>

CString::~CString()
{
    delete[] m_psz;
}

void CString::Assign(const char* psz)
{
    if (psz == nullptr)
        psz = "";
    if (psz == m_psz)
        return;
    const size_t cb = std::strlen(psz) + 1;
    char* pNew = new (std::nothrow) char[cb];
    if (pNew == nullptr)
        return;
    std::memcpy(pNew, psz, cb);
    delete[] m_psz;
    m_psz = pNew;
}

char* CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < 0)
        return nullptr;
    char* pNew = new (std::nothrow) char[static_cast<size_t>(nMinBufLength) + 1];
    if (pNew == nullptr)
        return nullptr;
    std::memset(pNew, 0, static_cast<size_t>(nMinBufLength) + 1);
    delete[] m_psz;
    m_psz = pNew;
    return m_psz;
}
