// The block a wizard shares with its workers: once it is closed nothing is posted, started
// or deleted any more, and closing waits for such work already under way. And the calls
// under a worker that fail, put in as the post function is: the worker reports what
// happened (what the wizard then shows: InProcessWizardTest.cpp).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "probes/FileHelpers.h"
#include "rules/PathRules.h"
#include "wizard/WizardRun.h"
#include "rules/WorkerRules.h"
#include "wizard/Workers.h"

namespace {

const UINT kProbe = WM_APP + 77;

// A message-only window of this thread that stands for the wizard.
class TargetWindow {
public:
    TargetWindow() { m_hWnd = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }
    ~TargetWindow() { ::DestroyWindow(m_hWnd); }
    HWND Handle() const { return m_hWnd; }
    // Whether a probe with this wParam is waiting in the queue; takes it out.
    bool TakeProbe(WPARAM wParam)
    {
        MSG msg;
        return ::PeekMessageA(&msg, m_hWnd, kProbe, kProbe, PM_REMOVE) && msg.wParam == wParam;
    }

private:
    HWND m_hWnd;
};

// Each test owns the run's reference and gives it up at the end.
struct SharedRun {
    explicit SharedRun(HWND hWnd) : p(new CWizardRun(hWnd)) {}
    ~SharedRun() { p->Release(); }
    CWizardRun* p;
};

TEST(WizardRun, PostsOnlyWhileOpenAndRefusesWorkOnceClosed)
{
    TargetWindow wnd;
    ASSERT_NE(wnd.Handle(), nullptr);
    SharedRun run(wnd.Handle());

    EXPECT_EQ(run.p->Post(kProbe, 7), 1);
    EXPECT_TRUE(wnd.TakeProbe(7));
    ASSERT_EQ(run.p->BeginWhileOpen(), 1);
    run.p->EndWhileOpen();

    run.p->Close();
    EXPECT_EQ(run.p->Post(kProbe, 8), 0);
    EXPECT_FALSE(wnd.TakeProbe(8)) << "posted after the wizard had closed";
    EXPECT_EQ(run.p->BeginWhileOpen(), 0);
    run.p->Close();  // a second close, as the dialog's destructor does after End
    EXPECT_EQ(run.p->BeginWhileOpen(), 0);
}

// Closes the run from a thread of its own; whether that was done within ms.
bool CloseFromAnotherThread(CWizardRun* pRun, DWORD ms)
{
    HANDLE hThread = ::CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        static_cast<CWizardRun*>(p)->Close();
        return 0;
    }, pRun, 0, nullptr);
    if (hThread == nullptr)
        return false;
    const bool bDone = ::WaitForSingleObject(hThread, ms) == WAIT_OBJECT_0;
    if (!bDone)
        ::WaitForSingleObject(hThread, INFINITE);  // the thread uses the run: let it finish first
    ::CloseHandle(hThread);
    return bDone;
}

// A post or a deletion under way is finished before the wizard's window goes; a setup
// program's start, which may wait for a disc, is not: only the process end waits for it.
TEST(WizardRun, CloseWaitsForShortWorkButNotForAStart)
{
    SharedRun run(nullptr);
    ASSERT_EQ(run.p->BeginWhileOpen(), 1);
    HANDLE hThread = ::CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        static_cast<CWizardRun*>(p)->Close();
        return 0;
    }, run.p, 0, nullptr);
    ASSERT_NE(hThread, nullptr);

    // The closer stays blocked for as long as the work goes on.
    EXPECT_EQ(::WaitForSingleObject(hThread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
    run.p->EndWhileOpen();
    EXPECT_EQ(::WaitForSingleObject(hThread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    EXPECT_EQ(run.p->BeginWhileOpen(), 0);

    SharedRun starting(nullptr);
    ASSERT_EQ(starting.p->BeginStart(), 1);
    EXPECT_TRUE(CloseFromAnotherThread(starting.p, 2000)) << "the window waited for a start under way";
    hThread = ::CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        static_cast<CWizardRun*>(p)->WaitForStart();
        return 0;
    }, starting.p, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    EXPECT_EQ(::WaitForSingleObject(hThread, 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the process end did not wait for the start under way";
    starting.p->EndStart();
    EXPECT_EQ(::WaitForSingleObject(hThread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    EXPECT_EQ(starting.p->BeginStart(), 0) << "a start began after the wizard had closed";
}

// A queue that another program has filled refuses posts; the result is posted again until
// it is delivered, or until the wizard has gone, so the wizard never waits for good.
int g_nRefusals = 0;
int g_nPostCalls = 0;
BOOL WINAPI PostToAFullQueue(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    ++g_nPostCalls;
    if (g_nRefusals > 0) {
        --g_nRefusals;
        ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    return ::PostMessageA(hWnd, nMessage, wParam, lParam);
}

TEST(WizardRun, PostsAgainWhileTheQueueIsFullUntilDeliveredOrClosed)
{
    TargetWindow wnd;
    ASSERT_NE(wnd.Handle(), nullptr);
    {
        CWizardRun* pRun = new CWizardRun(wnd.Handle(), &PostToAFullQueue);
        g_nRefusals = 3;
        g_nPostCalls = 0;
        EXPECT_EQ(pRun->Post(kProbe, 9), 1);
        EXPECT_EQ(g_nPostCalls, 4);
        EXPECT_TRUE(wnd.TakeProbe(9)) << "the result was lost to a full queue";
        pRun->Release();
    }
    {
        CWizardRun* pRun = new CWizardRun(wnd.Handle(), &PostToAFullQueue);
        g_nRefusals = 1000000;
        HANDLE hThread = ::CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
            return static_cast<DWORD>(static_cast<CWizardRun*>(p)->Post(kProbe, 10));
        }, pRun, 0, nullptr);
        ASSERT_NE(hThread, nullptr);
        EXPECT_EQ(::WaitForSingleObject(hThread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
        pRun->Close();
        EXPECT_EQ(::WaitForSingleObject(hThread, 5000), WAIT_OBJECT_0) << "still posting after the wizard closed";
        DWORD nResult = 1;
        ::GetExitCodeThread(hThread, &nResult);
        EXPECT_EQ(nResult, 0u);
        ::CloseHandle(hThread);
        pRun->Release();
    }
}

TEST(WizardRun, SetupPathIsTerminatedAndAnOverlongOneLeavesTheOldPath)
{
    SharedRun run(nullptr);
    char sz[260];
    run.p->CopySetupPath(sz, sizeof(sz));
    EXPECT_STREQ(sz, "");

    ASSERT_EQ(run.p->StoreSetupPath("D:\\x\\Setup.exe"), 1);
    EXPECT_EQ(run.p->StoreSetupPath(std::string(260, 'a').c_str()), 0);
    run.p->CopySetupPath(sz, sizeof(sz));
    EXPECT_STREQ(sz, "D:\\x\\Setup.exe");

    char small[5];
    run.p->CopySetupPath(small, sizeof(small));
    EXPECT_STREQ(small, "D:\\x");

    run.p->ClearSetupPath();
    run.p->CopySetupPath(sz, sizeof(sz));
    EXPECT_STREQ(sz, "");
}

// The installer starts nothing once the wizard has closed: the process is about to end, and
// ending it in the middle of a start could leave the new program never resumed.
TEST(RunProcessAndWait, StartsTheProgramOnlyWhileTheWizardIsOpen)
{
    char szCmd[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryA(szCmd, MAX_PATH - 8), 0u);
    lstrcatA(szCmd, "\\cmd.exe");
    char szMarker[MAX_PATH];
    ASSERT_GT(::GetTempPathA(MAX_PATH - 40, szMarker), 0u);
    lstrcatA(szMarker, "wizard-run-started.txt");
    ::DeleteFileA(szMarker);
    const std::string line = std::string("cmd /c echo x> \"") + szMarker + "\"";
    auto started = [&] { return ::GetFileAttributesA(szMarker) != INVALID_FILE_ATTRIBUTES; };

    {
        SharedRun run(nullptr);
        std::string cmd = line;
        EXPECT_EQ(RunProcessAndWait(szCmd, &cmd[0], run.p), 1);
        EXPECT_TRUE(started()) << "the program did not run while the wizard was open";
        ::DeleteFileA(szMarker);
        // The start let go of the block: the wizard can close.
        EXPECT_TRUE(CloseFromAnotherThread(run.p, 5000)) << "the block is still held after the start";

        cmd = line;
        EXPECT_EQ(RunProcessAndWait(szCmd, &cmd[0], run.p), 0);
        ::Sleep(200);
        EXPECT_FALSE(started()) << "a program was started after the wizard had closed";
        ::DeleteFileA(szMarker);
    }
    {
        // A program that does not exist is not started, and the block is let go too.
        SharedRun run(nullptr);
        char szEmpty[1] = "";
        EXPECT_EQ(RunProcessAndWait("C:\\no such folder\\Setup.exe", szEmpty, run.p), 0);
        EXPECT_TRUE(CloseFromAnotherThread(run.p, 5000)) << "the block is still held after a failed start";
    }
    // Without a run the program simply runs.
    std::string cmd = line;
    EXPECT_EQ(RunProcessAndWait(szCmd, &cmd[0]), 1);
    EXPECT_TRUE(started());
    ::DeleteFileA(szMarker);
}

// ---------------------------------------------------------------------------------------
// Calls under the installer worker that fail or take long.

struct Report {
    UINT message;
    WPARAM wParam;
};
std::vector<Report> g_reports;
BOOL WINAPI RecordPost(HWND /*hWnd*/, UINT nMessage, WPARAM wParam, LPARAM /*lParam*/)
{
    g_reports.push_back({ nMessage, wParam });
    return TRUE;
}

DWORD WINAPI WaitThatFails(HANDLE /*hObject*/, DWORD /*dwMilliseconds*/)
{
    ::SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

// The user ends the wizard while a shortcut's folder is looked up or the shortcut deleted,
// either of which may take its time (on a redirected desktop, the network's time-out):
// whether the wizard's close had to wait for it.
CWizardRun* g_pRunUnderTest = nullptr;
HANDLE g_hCloser = nullptr;
bool g_bCloseWaited = false;
void CloseTheWizardMeanwhile()
{
    if (g_hCloser != nullptr)
        return;
    g_hCloser = ::CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        static_cast<CWizardRun*>(p)->Close();
        return 0;
    }, g_pRunUnderTest, 0, nullptr);
    // Joined by the test: a close that waits for us can only end once we have returned.
    g_bCloseWaited = g_hCloser == nullptr || ::WaitForSingleObject(g_hCloser, 5000) != WAIT_OBJECT_0;
}
int DeleteWhileTheWizardCloses(HANDLE hFile)
{
    CloseTheWizardMeanwhile();
    return DeleteOpenedFile(hFile);
}
long LookUpWhileTheWizardCloses(char* pszFolder, int nFolder)
{
    CloseTheWizardMeanwhile();
    return GetSpecialFolderPath(pszFolder, nFolder);
}

struct InstallerFault {
    const char* name;
    void (*inject)(CWizardRun* pRun);
    bool reported;  // WM_INSTALL_DONE posted, with wParam
    WPARAM wParam;
    bool shortcutKept;
};

const InstallerFault kInstallerFaults[] = {
    // The setup program may still run: no success, and its shortcuts are not touched.
    { "SetupWaitFails", [](CWizardRun* p) { p->m_pfnWait = &WaitThatFails; }, true, 0, true },
    // Decided while the wizard was open, so deleted; the wizard closed meanwhile, so no report.
    { "EndWhileAShortcutIsDeleted", [](CWizardRun* p) { p->m_pfnDeleteOpenedFile = &DeleteWhileTheWizardCloses; },
      false, 0, false },
    // Closed before anything was decided: nothing deleted, no report.
    { "EndWhileAFolderIsLookedUp", [](CWizardRun* p) { p->m_pfnLookUpFolder = &LookUpWhileTheWizardCloses; },
      false, 0, true },
};

void PrintTo(const InstallerFault& row, std::ostream* out)
{
    *out << row.name;
}

class InstallerFaults : public ::testing::TestWithParam<InstallerFault> {};

TEST_P(InstallerFaults, ReportOnlyWhatHappenedAndDeleteOnlyWhatMayGo)
{
    const InstallerFault& row = GetParam();
    // A program that ends by itself at once stands for the setup program.
    char szSetup[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryA(szSetup, MAX_PATH - 16), 0u);
    lstrcatA(szSetup, "\\hostname.exe");
    // The desktop shortcut that the setup program leaves, in the all-users desktop.
    char szShortcut[kProbePathSize] = {};
    GetSpecialFolderPath(szShortcut, kDesktopShortcut.nFirstFolder);
    ASSERT_NE(szShortcut[0], '\0');
    ASSERT_LT(std::strlen(szShortcut) + std::strlen(kDesktopShortcut.pszText), sizeof(szShortcut));
    lstrcatA(szShortcut, kDesktopShortcut.pszText);
    HANDLE hFile = ::CreateFileA(szShortcut, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << szShortcut;
    ::CloseHandle(hFile);

    g_reports.clear();
    g_hCloser = nullptr;
    g_bCloseWaited = false;
    CWizardRun* pRun = new CWizardRun(nullptr, &RecordPost);
    g_pRunUnderTest = pRun;
    ASSERT_EQ(pRun->StoreSetupPath(szSetup), 1);
    pRun->m_bPainted = 1;
    row.inject(pRun);
    pRun->AddRef();  // the worker's, which it gives up
    InstallerThreadProc(pRun);
    if (g_hCloser != nullptr) {
        ::WaitForSingleObject(g_hCloser, INFINITE);
        ::CloseHandle(g_hCloser);
    }
    const bool bKept = ::GetFileAttributesA(szShortcut) != INVALID_FILE_ATTRIBUTES;
    ::DeleteFileA(szShortcut);
    pRun->Release();

    EXPECT_FALSE(g_bCloseWaited) << "the wizard's close waited for the look-up or the deletion";
    EXPECT_EQ(bKept, row.shortcutKept) << (bKept ? "the shortcut was kept" : "the shortcut was deleted");
    if (row.reported) {
        ASSERT_EQ(g_reports.size(), 1u) << "reports";
        EXPECT_EQ(g_reports[0].message, static_cast<UINT>(WM_INSTALL_DONE));
        EXPECT_EQ(g_reports[0].wParam, row.wParam) << "WM_INSTALL_DONE's wParam";
    } else {
        EXPECT_TRUE(g_reports.empty()) << "reported to a wizard that has closed";
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, InstallerFaults, ::testing::ValuesIn(kInstallerFaults),
                         [](const ::testing::TestParamInfo<InstallerFault>& info) { return info.param.name; });

}  // namespace
