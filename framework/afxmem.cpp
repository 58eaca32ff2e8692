// The heap. The program is built without exceptions, so it allocates with
// new (std::nothrow) and checks every result. Defining the operators here keeps the C++
// runtime's throwing versions, and the exception machinery they drag in, out of the program.
#include "afxwin.h"

#include <new>

void* operator new(size_t cb, const std::nothrow_t&) noexcept
{
    return ::HeapAlloc(::GetProcessHeap(), 0, cb ? cb : 1);
}
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return ::operator new(cb, std::nothrow); }

// The plain form may not give NULL back: the compiler drops the checks after it. Should any
// code use it, running out of memory ends the program before a null pointer is written to.
void* operator new(size_t cb)
{
    void* p = ::operator new(cb, std::nothrow);
    if (p == nullptr) {
        AfxReportOutOfMemory();
        ::ExitProcess(ERROR_NOT_ENOUGH_MEMORY);
    }
    return p;
}
void* operator new[](size_t cb) { return ::operator new(cb); }

void operator delete(void* p) noexcept { if (p != nullptr) ::HeapFree(::GetProcessHeap(), 0, p); }
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, size_t) noexcept { ::operator delete(p); }
