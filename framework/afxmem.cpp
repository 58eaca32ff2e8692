// The heap and strings. The program is built without exceptions: out of memory, new gives
// NULL and every caller checks it. Defining the operators here keeps the C++ runtime's
// throwing versions, and the exception machinery they drag in, out of the program.
#include "afxwin.h"

#include <cstring>
#include <new>

void* operator new(size_t cb) { return ::HeapAlloc(::GetProcessHeap(), 0, cb ? cb : 1); }
void* operator new[](size_t cb) { return ::operator new(cb); }
void* operator new(size_t cb, const std::nothrow_t&) noexcept { return ::operator new(cb); }
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return ::operator new(cb); }
void operator delete(void* p) noexcept { if (p != nullptr) ::HeapFree(::GetProcessHeap(), 0, p); }
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, size_t) noexcept { ::operator delete(p); }

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
    char* pNew = new char[cb];
    if (pNew == nullptr)
        return;
    std::memcpy(pNew, psz, cb);
    delete[] m_psz;
    m_psz = pNew;
}

int CString::GetLength() const
{
    return m_psz != nullptr ? static_cast<int>(std::strlen(m_psz)) : 0;
}

bool CString::operator==(const char* psz) const
{
    return std::strcmp(*this, psz != nullptr ? psz : "") == 0;
}

char* CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < 0)
        return nullptr;
    char* pNew = new char[static_cast<size_t>(nMinBufLength) + 1];
    if (pNew == nullptr)
        return nullptr;
    std::memset(pNew, 0, static_cast<size_t>(nMinBufLength) + 1);
    delete[] m_psz;
    m_psz = pNew;
    return m_psz;
}
