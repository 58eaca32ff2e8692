// Classes: CWizardRun
//
// The data of one wizard run that the dialog shares with its worker threads: the two flags,
// the setup program's path and the window that results are posted to.
//
// Why a worker can never touch freed memory or a dead window: the dialog and every worker
// each hold a reference, and the block is freed only by the last one to let go, so it
// outlives whichever of them ends first. The dialog closes the block when it goes away;
// from then on Post() posts nothing and BeginWhileOpen() refuses. Both test "closed" under
// the block's lock, and Close() takes the same lock, so a post, the setup program's start or
// a clean-up is either finished before the wizard is gone or never starts.
#ifndef WIZARD_RUN_H
#define WIZARD_RUN_H

#include <windows.h>

#include <atomic>

class CWizardRun {
public:
    // A new block for the dialog window hWnd, with one reference: the dialog's.
    explicit CWizardRun(HWND hWnd);

    void AddRef();
    // Gives up one reference; the last one frees the block.
    void Release();

    // Signals between the threads. They guard no other data, so relaxed order is enough;
    // being atomic, they are re-read at every test.
    std::atomic<LONG> m_bPainted{0};  // the dialog has painted since the worker started
    std::atomic<LONG> m_bCancel{0};   // the user asked the disc search to stop

    // The setup program's path: all zero when none is known.
    void ClearSetupPath();
    // Stores a path found on a disc. 0 when it does not fit, the old path kept.
    int StoreSetupPath(const char* pszPath);
    // Copies the path with its terminator into pszDest of cbDest bytes.
    void CopySetupPath(char* pszDest, size_t cbDest);

    // Posts a result to the wizard. 0 when the wizard has closed: nothing is posted.
    int Post(UINT nMessage, WPARAM wParam);

    // Work that must not happen once the wizard is gone runs between these two calls.
    // BeginWhileOpen gives 0, holding nothing, when the wizard has closed; otherwise it
    // holds the block's lock until EndWhileOpen.
    int BeginWhileOpen();
    void EndWhileOpen();

    // Called by the dialog when it goes away; waits for a post or clean-up under way.
    void Close();

private:
    ~CWizardRun();
    CWizardRun(const CWizardRun&) = delete;
    CWizardRun& operator=(const CWizardRun&) = delete;

    CRITICAL_SECTION m_lock;
    std::atomic<LONG> m_nRefs{1};
    HWND m_hWnd;
    BOOL m_bClosed = FALSE;
    char m_szSetupPath[260] = {};
};

#endif
