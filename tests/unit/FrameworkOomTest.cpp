// Out of memory, the framework reports failure instead of writing through a null pointer.
// This program brings its own heap operators, which fail on request; the framework's are
// then not linked, and its object code meets the failures as the program's would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "afxwin.h"

namespace {

bool g_bFailAllocations = false;

void* Allocate(size_t cb)
{
    return g_bFailAllocations ? nullptr : ::HeapAlloc(::GetProcessHeap(), 0, cb ? cb : 1);
}

// Allocations fail while one of these lives.
struct NoMemory {
    NoMemory() { g_bFailAllocations = true; }
    ~NoMemory() { g_bFailAllocations = false; }
};

}  // namespace

void* operator new(size_t cb)
{
    if (void* p = Allocate(cb))
        return p;
    std::abort();  // the framework never uses the plain form
}
void* operator new[](size_t cb) { return ::operator new(cb); }
void* operator new(size_t cb, const std::nothrow_t&) noexcept { return Allocate(cb); }
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return Allocate(cb); }
void operator delete(void* p) noexcept { if (p != nullptr) ::HeapFree(::GetProcessHeap(), 0, p); }
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, size_t) noexcept { ::operator delete(p); }

namespace {

LONG g_nThreadRuns = 0;
UINT __cdecl CountRun(LPVOID)
{
    ::InterlockedIncrement(&g_nThreadRuns);
    return 0;
}

// The results are checked once memory is back: a failed check needs memory of its own.
TEST(OutOfMemory, EveryAllocationOfTheFrameworkFailsSafely)
{
    CWinThread* pThread;
    {
        NoMemory none;
        pThread = AfxBeginThread(CountRun, nullptr);
    }
    EXPECT_EQ(pThread, nullptr) << "a thread object was made of no memory";
    ::Sleep(100);
    EXPECT_EQ(g_nThreadRuns, 0) << "the thread ran without its object";

    HWND hWnd = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    CWnd* pNone;
    {
        NoMemory none;
        pNone = CWnd::FromHandle(hWnd);
    }
    EXPECT_EQ(pNone, nullptr) << "a temporary window object was made of no memory";
    CWnd* pWnd = CWnd::FromHandle(hWnd);
    ASSERT_NE(pWnd, nullptr) << "with memory, the temporary object is made";
    EXPECT_EQ(pWnd->m_hWnd, hWnd);
    CWnd::DeleteTempMap();
    ::DestroyWindow(hWnd);

    CString str("before");
    char* pBuffer;
    {
        NoMemory none;
        str = "after";
        pBuffer = str.GetBuffer(10);
    }
    EXPECT_EQ(pBuffer, nullptr);
    EXPECT_STREQ(str, "before") << "the string lost its value";
}

}  // namespace
