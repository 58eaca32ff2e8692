// The least a disc search can cost (bench/README.md, programs loop and loop_main): the disc
// search's calls and nothing else, on the main thread, or with BENCH_SEARCH_ON_THREAD=1 on a
// worker begun and ended as the wizard's; one program on the tool's framework, so that both
// carry the same image. Only the search's own rules (the stop flag, the plain-file test) are
// left out; the path comes from the tool's own rule, so it probes the very same bytes.
//
// Started with three event names in its environment: it sets BENCH_SEARCH_READY, waits for
// BENCH_SEARCH_GO, searches, sets BENCH_SEARCH_DONE and ends at the next BENCH_SEARCH_GO, so its
// CPU time between GO and DONE is the search's alone.
#include <windows.h>

#include <cstring>

#include "afxwin.h"
#include "wizard/WizardRun.h"
#include "rules/WorkerRules.h"

namespace {

const int kPasses = 20;
const DWORD kPassInterval = 500;

HANDLE OpenNamedEvent(const char* variable)
{
    char name[256];
    const DWORD n = ::GetEnvironmentVariableA(variable, name, sizeof(name));
    if (n == 0 || n >= sizeof(name))
        return nullptr;
    return ::OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
}

// 1 when a CD-ROM drive holds the setup program.
int Search()
{
    char drives[1024] = {};
    const DWORD nChars = ::GetLogicalDriveStringsA(sizeof(drives), drives);
    if (nChars == 0 || nChars >= sizeof(drives) - 1)
        return 0;
    char candidate[1024];
    for (int pass = 0; pass < kPasses; ++pass) {
        for (const char* root = drives; *root != '\0'; root += std::strlen(root) + 1) {
            if (::GetDriveTypeA(root) != DRIVE_CDROM)
                continue;
            if (ComposeDiscSetupPath(candidate, sizeof(candidate), root[0])
                && ::GetFileAttributesA(candidate) != INVALID_FILE_ATTRIBUTES)
                return 1;
        }
        // After the last pass too, as the tool's search does: the measuring program looks at
        // the threads now and then, and a worker that ended right after its last pass would
        // take that pass's CPU out of sight with it.
        ::Sleep(kPassInterval);
    }
    return 0;
}

// The worker, begun and ended as the wizard's disc search worker is.
UINT __cdecl SearchThreadProc(LPVOID pParam)
{
    CWizardRun* pRun = static_cast<CWizardRun*>(pParam);
    pRun->WaitForPaint();
    pRun->Post(WM_DISC_SEARCH_DONE, Search());
    pRun->Release();
    return 0;
}

// The search on a worker thread; its result as the wizard's window receives it. -1 when the
// thread could not be started.
int SearchOnThread(HWND window)
{
    CWizardRun* pRun = new CWizardRun(window);
    if (!pRun->StartWorker(&SearchThreadProc, TRUE)) {
        pRun->Release();
        return -1;
    }
    // The wizard sets this when it has painted the searching step; here nothing is painted.
    pRun->m_bPainted = 1;
    int found = -1;
    MSG msg;
    while (found < 0 && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_DISC_SEARCH_DONE)
            found = static_cast<int>(msg.wParam);
        else
            ::DispatchMessageA(&msg);
    }
    pRun->Close();
    pRun->Release();
    return found;
}

// A program on the tool's framework, as the tool is: the framework's entry runs InitInstance.
class CBareSearchApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        // The framework's entry returns 0 whatever happened here; the measuring program reads
        // the result from the exit code.
        ::ExitProcess(static_cast<UINT>(Run()));
    }

private:
    static int Run()
    {
        HANDLE ready = OpenNamedEvent("BENCH_SEARCH_READY");
        HANDLE go = OpenNamedEvent("BENCH_SEARCH_GO");
        HANDLE done = OpenNamedEvent("BENCH_SEARCH_DONE");
        if (ready == nullptr || go == nullptr || done == nullptr)
            return 2;
        char onThread[4] = {};
        ::GetEnvironmentVariableA("BENCH_SEARCH_ON_THREAD", onThread, sizeof(onThread));
        // The window that receives the worker's result, made before the search is timed, as
        // the wizard's is.
        HWND window = nullptr;
        if (onThread[0] == '1') {
            window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            if (window == nullptr)
                return 3;
        }
        ::SetEvent(ready);
        ::WaitForSingleObject(go, INFINITE);
        const int found = window != nullptr ? SearchOnThread(window) : Search();
        ::SetEvent(done);
        ::WaitForSingleObject(go, 60000);
        return found < 0 ? 4 : found;
    }
};

CBareSearchApp theApp;

}  // namespace
