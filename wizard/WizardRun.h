// Classes: CWizardRun
//
// The contract between the wizard and its two workers: the messages they post, and the data
// of one run that the dialog shares with them (the two flags, the setup program's path, the
// window that results are posted to), with the start of a worker and its wait for the paint.
// The workers know the wizard only through this.
//
// Why a worker can never touch freed memory or a dead window: the dialog and every worker
// each hold a reference, and the block is freed only by the last one to let go, so it
// outlives whichever of them ends first. The dialog closes the block when its window goes;
// from then on Post() posts nothing, BeginWhileOpen() and BeginStart() refuse. Both Post()
// and the work between BeginWhileOpen() and EndWhileOpen() test "closed" under the block's
// lock, and Close() takes the same lock, so a post is either finished before the window is
// gone or never happens, and a shortcut's deletion is decided while the wizard is open or
// not at all. That work is short, so the window never waits long; the deletion itself (on a
// redirected desktop it can take the network's time-out) runs after the lock.
// The setup program's start may take long (a disc spinning up): Close() does not wait for
// it, only WaitForStart() at the process end does, so that the process never ends inside
// CreateProcessA, which could leave the new program created but never resumed. The same holds
// for the shortcuts' clean-up: the process never ends inside the shell's or the file system's
// calls, where another thread's end can leave what it held locked for good.
#ifndef WIZARD_RUN_H
#define WIZARD_RUN_H

#include <windows.h>

#include <atomic>
#include <cstddef>

#include "afxwin.h"
#include "probes/FileHelpers.h"
#include "rules/WorkerRules.h"

// Results of the workers, and the status that other programs may send. lParam is unused.
#define WM_DISC_SEARCH_DONE (WM_APP + 100)  // wParam 1: setup program found
#define WM_INSTALL_DONE (WM_APP + 101)      // wParam 1: it ran and the clean-up is done
#define WM_EXTERNAL_STATUS (WM_APP + 102)   // wParam 1: follow the installer; 0: hold

// Bytes of the setup program's path, from the search that finds it to its start.
inline constexpr size_t kSetupPathSize = 260;

class CWizardRun {
public:
    typedef BOOL(WINAPI* PostFn)(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);
    typedef UINT(__cdecl* WorkerFn)(LPVOID pRun);
    typedef CWinThread* (*BeginThreadFn)(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                                         UINT nStackSize, DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs);
    typedef DWORD(WINAPI* WaitFn)(HANDLE hObject, DWORD dwMilliseconds);
    typedef int (*DeleteOpenedFileFn)(HANDLE hFile);

    // A new block for the dialog window hWnd, with one reference: the dialog's. Results are
    // posted with pfnPost.
    explicit CWizardRun(HWND hWnd, PostFn pfnPost = &::PostMessageA);

    void AddRef();
    // Gives up one reference; the last one frees the block.
    void Release();

    // Signals between the threads. They guard no other data, so relaxed order is enough;
    // being atomic, they are re-read at every test.
    std::atomic<LONG> m_bPainted{0};  // the dialog has painted since the worker started
    std::atomic<LONG> m_bCancel{0};   // the user asked the disc search to stop

    // Calls of the run and its workers that can fail or take long, the real ones unless a
    // test puts others in before the worker starts.
    BeginThreadFn m_pfnBeginThread = &AfxBeginThread;
    WaitFn m_pfnWait = &::WaitForSingleObject;                // for the setup program's end
    DeleteOpenedFileFn m_pfnDeleteOpenedFile = &DeleteOpenedFile;  // a shortcut's deletion
    FolderLookupFn m_pfnLookUpFolder = &GetSpecialFolderPath;     // a shortcut's shell folder

    // A run with nothing found yet: the path and both flags cleared.
    void Reset();
    // Starts pfnWorker on a thread of its own with this block and a reference for it; the
    // flags (and, for a new search, the path) are cleared before the thread exists, so it
    // never sees a value left from an earlier worker. 0, nothing started, when the thread
    // could not be made.
    int StartWorker(WorkerFn pfnWorker, BOOL bNewSearch);
    // In the worker: waits, at most 500 times 1 ms, until the wizard has painted the step
    // that started it.
    void WaitForPaint();

    // The setup program's path: all zero when none is known.
    void ClearSetupPath();
    // Stores a path found on a disc. 0 when it does not fit, the old path kept.
    int StoreSetupPath(const char* pszPath);
    // Copies the path with its terminator into pszDest of cbDest bytes.
    void CopySetupPath(char* pszDest, size_t cbDest);

    // Posts a result to the wizard; while its queue is full, again every 50 ms. 1 once it
    // is posted; 0 when the wizard has closed, and nothing is posted.
    int Post(UINT nMessage, WPARAM wParam);

    // Short work that must not happen once the wizard is gone runs between these two calls.
    // BeginWhileOpen gives 0, holding nothing, when the wizard has closed; otherwise it
    // holds the block's lock until EndWhileOpen, and Close() waits for it.
    int BeginWhileOpen();
    void EndWhileOpen();

    // The setup program's start, and each shortcut's clean-up, run between these two.
    // BeginStart gives 0 when the wizard has closed; otherwise the work is under way until EndStart.
    int BeginStart();
    void EndStart();
    // Waits for a start or a clean-up under way; none begins afterwards. For the process end,
    // after Close.
    void WaitForStart();

    // Called by the dialog when its window goes; waits only for a post, or the decision on a
    // deletion, under way.
    void Close();

private:
    ~CWizardRun();
    CWizardRun(const CWizardRun&) = delete;
    CWizardRun& operator=(const CWizardRun&) = delete;

    // Takes pLock and gives 1 while the wizard is open; otherwise 0, holding nothing.
    int EnterWhileOpen(CRITICAL_SECTION* pLock);

    CRITICAL_SECTION m_lock;       // posts, short work, Close
    CRITICAL_SECTION m_startLock;  // held through the setup program's start
    std::atomic<LONG> m_nRefs{1};
    std::atomic<LONG> m_bClosed{0};
    HWND m_hWnd;
    PostFn m_pfnPost;
    char m_szSetupPath[kSetupPathSize] = {};
};

#endif
