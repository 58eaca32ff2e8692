// The wizard itself, run modally on this thread and worked from another: how it ends when
// a worker cannot start, and how it takes another thread's WM_INITDIALOG.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "wizard/InstallWizardDialog.h"
#include "rules/WizardPresentation.h"
#include "wizard/WizardRun.h"

namespace {

const UINT kOpenBox = WM_APP + 200;   // opens a version box, as F5 does
const UINT kCloseBox = WM_APP + 201;  // ends the version box
const UINT kForgeInit = WM_APP + 202;  // to the relay: send the wizard a WM_INITDIALOG

CWizardRun::BeginThreadFn g_pfnBeginWorker = &AfxBeginThread;
CWinThread* BeginNoThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES)
{
    return nullptr;
}

// The framework's thread start with kernel32's answers replaced in this program's import
// table while it runs: the thread is made, but cannot be resumed (and cannot be ended).
extern "C" DWORD(WINAPI* __imp_ResumeThread)(HANDLE);
extern "C" BOOL(WINAPI* __imp_TerminateThread)(HANDLE, DWORD);
DWORD WINAPI ResumeFails(HANDLE) { return static_cast<DWORD>(-1); }
BOOL WINAPI TerminateFails(HANDLE, DWORD) { return FALSE; }
template <typename Fn>
struct ImportPatch {
    ImportPatch(Fn* pSlot, Fn pfn) : m_pSlot(pSlot), m_pfnOld(*pSlot) { Set(pfn); }
    ~ImportPatch() { Set(m_pfnOld); }
    void Set(Fn pfn)
    {
        DWORD nOld = 0;
        ::VirtualProtect(m_pSlot, sizeof(Fn), PAGE_READWRITE, &nOld);
        *m_pSlot = pfn;
        ::VirtualProtect(m_pSlot, sizeof(Fn), nOld, &nOld);
    }
    Fn* m_pSlot;
    Fn m_pfnOld;
};
CWinThread* BeginUnresumed(AFX_THREADPROC pfn, LPVOID p, int n, UINT cb, DWORD f, LPSECURITY_ATTRIBUTES psa)
{
    ImportPatch<decltype(__imp_ResumeThread)> resume(&__imp_ResumeThread, &ResumeFails);
    return AfxBeginThread(pfn, p, n, cb, f, psa);
}
CWinThread* BeginUnresumedUnended(AFX_THREADPROC pfn, LPVOID p, int n, UINT cb, DWORD f, LPSECURITY_ATTRIBUTES psa)
{
    ImportPatch<decltype(__imp_TerminateThread)> terminate(&__imp_TerminateThread, &TerminateFails);
    return BeginUnresumed(pfn, p, n, cb, f, psa);
}

// The version box's template, with a note of its initialisation.
class TestBox : public CDialog {
public:
    explicit TestBox(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}
    int m_nInits = 0;

protected:
    BOOL OnInitDialog() override
    {
        ++m_nInits;
        return CDialog::OnInitDialog();
    }
};

HANDLE g_hBoxDone = nullptr;
bool g_bForgeArmed = false;  // the next control made is the version box's: forge then

class TestWizard : public CInstallWizardDialog {
public:
    int m_nBoxInits = -1;
    INT_PTR m_nBoxResult = 0;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL bResult = CInstallWizardDialog::OnInitDialog();
        if (m_pRun != nullptr)
            m_pRun->m_pfnBeginThread = g_pfnBeginWorker;
        return bResult;
    }
    afx_msg LRESULT OnOpenBox(WPARAM, LPARAM)
    {
        TestBox box(this);
        m_pBox = &box;
        ::PostMessageA(m_hWnd, kCloseBox, 0, 0);  // taken by the box's loop, once it runs
        g_bForgeArmed = true;
        m_nBoxResult = box.DoModal();
        g_bForgeArmed = false;
        m_nBoxInits = box.m_nInits;
        m_pBox = nullptr;
        ::SetEvent(g_hBoxDone);
        return 1;
    }
    afx_msg LRESULT OnCloseBox(WPARAM, LPARAM)
    {
        if (m_pBox != nullptr)
            m_pBox->EndDialog(IDOK);
        return 1;
    }
    DECLARE_MESSAGE_MAP()

private:
    TestBox* m_pBox = nullptr;
};

BEGIN_MESSAGE_MAP(TestWizard, CInstallWizardDialog)
    ON_MESSAGE(kOpenBox, OnOpenBox)
    ON_MESSAGE(kCloseBox, OnCloseBox)
END_MESSAGE_MAP()

// Another thread that sends the wizard a WM_INITDIALOG while the version box is being made:
// when the box's first control is created, this thread asks the relay (a window of another
// thread) and waits, and meanwhile takes the relay's message.
HWND g_hWizard = nullptr;
HWND g_hRelay = nullptr;
LONG g_nForged = 0;  // WM_INITDIALOGs the wizard took from the relay while the box was made
int g_nDialogs = 0;  // dialogs (and message boxes) made on the wizard's thread
LRESULT CALLBACK WatchBoxCreation(int nCode, WPARAM wParam, LPARAM lParam)
{
    const char* pszClass = nCode == HCBT_CREATEWND ? reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass : nullptr;
    if (pszClass == MAKEINTATOM(0x8002) || (!IS_INTRESOURCE(pszClass) && std::string(pszClass) == "#32770"))
        ++g_nDialogs;
    if (nCode == HCBT_CREATEWND && g_bForgeArmed
        && (reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->style & WS_CHILD)) {
        g_bForgeArmed = false;
        ::SendMessageA(g_hRelay, kForgeInit, 0, 0);
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}
LRESULT CALLBACK RelayProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kForgeInit) {
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutA(g_hWizard, WM_INITDIALOG, 0, 0x12345678, SMTO_BLOCK, 5000, &result))
            ::InterlockedIncrement(&g_nForged);
        return 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

struct Act {
    enum Kind { Send, Command, OpenBox } kind;
    UINT what;      // message, or command ID
    WPARAM wParam;
    int nShows;     // the step whose main text must show afterwards; -1: not looked at
};

struct InProcessCase {
    const char* name;
    CWizardRun::BeginThreadFn pfnBegin;
    std::vector<Act> acts;
    bool bQuits;  // the last act ends the modal loop with a quit message; otherwise End does
};

// Next on InsertDisc, from a search that found nothing; Next on ReadyToInstall.
const std::vector<Act> kStartSearch = { { Act::Send, WM_DISC_SEARCH_DONE, 0, DiscNotFound },
                                        { Act::Command, IDC_BUTTON_BACK, 0, InsertDisc },
                                        { Act::Command, IDOK, 0, -1 } };
const std::vector<Act> kStartInstaller = { { Act::Send, WM_DISC_SEARCH_DONE, 1, ReadyToInstall },
                                           { Act::Command, IDOK, 0, -1 } };

const InProcessCase kInProcessCases[] = {
    // A worker that cannot start ends the program, showing nothing: its thread is not made,
    // is made but cannot be resumed, or cannot be resumed nor ended.
    { "SearchThreadNotMade", &BeginNoThread, kStartSearch, true },
    { "InstallerThreadNotMade", &BeginNoThread, kStartInstaller, true },
    { "SearchThreadNotResumed", &BeginUnresumed, kStartSearch, true },
    { "InstallerThreadNotResumed", &BeginUnresumed, kStartInstaller, true },
    { "SearchThreadNotResumedNorEnded", &BeginUnresumedUnended, kStartSearch, true },
    { "InstallerThreadNotResumedNorEnded", &BeginUnresumedUnended, kStartInstaller, true },
    // A WM_INITDIALOG from elsewhere while the version box is made: the box is still made
    // as itself, and the wizard goes on.
    { "ForeignInitDialogWhileTheVersionBoxIsMade", &AfxBeginThread,
      { { Act::OpenBox, 0, 0, -1 }, { Act::Send, WM_DISC_SEARCH_DONE, 0, DiscNotFound } }, false },
};

void PrintTo(const InProcessCase& row, std::ostream* out)
{
    *out << row.name;
}

// What the driving thread saw, one line per act that went otherwise.
struct DriveLog {
    const InProcessCase* pCase;
    TestWizard* pWizard;
    std::string failures;
};

std::string MainText(HWND hWizard)
{
    char sz[1024] = {};
    DWORD_PTR n = 0;
    if (!::SendMessageTimeoutA(::GetDlgItem(hWizard, IDC_STATIC_MAIN), WM_GETTEXT, sizeof(sz), reinterpret_cast<LPARAM>(sz),
                               SMTO_BLOCK, 5000, &n))
        return "(no answer)";
    return sz;
}

DWORD WINAPI Drive(LPVOID p)
{
    DriveLog& log = *static_cast<DriveLog*>(p);
    HWND hWizard = nullptr;
    for (int i = 0; i < 10000 && hWizard == nullptr; ++i) {
        hWizard = ::FindWindowA(nullptr, kWizardCaption);
        DWORD pid = 0;
        if (hWizard != nullptr && (::GetWindowThreadProcessId(hWizard, &pid), pid != ::GetCurrentProcessId()))
            hWizard = nullptr;
        if (hWizard == nullptr)
            ::Sleep(1);
    }
    if (hWizard == nullptr) {
        log.failures += "the wizard did not open\n";
        return 0;
    }
    g_hWizard = hWizard;
    DWORD_PTR result = 0;
    for (const Act& act : log.pCase->acts) {
        std::string what;
        if (act.kind == Act::OpenBox) {
            what = "the version box";
            g_nForged = 0;
            ::PostMessageA(hWizard, kOpenBox, 0, 0);
            if (::WaitForSingleObject(g_hBoxDone, 10000) != WAIT_OBJECT_0)
                log.failures += "the version box did not close\n";
            else if (g_nForged != 1)
                log.failures += "no WM_INITDIALOG reached the wizard while the version box was made\n";
            else if (log.pWizard->m_nBoxInits != 1 || log.pWizard->m_nBoxResult != IDOK)
                log.failures += "the version box was initialised " + std::to_string(log.pWizard->m_nBoxInits)
                    + " times, ended with " + std::to_string(log.pWizard->m_nBoxResult) + "\n";
        } else {
            const UINT message = act.kind == Act::Command ? static_cast<UINT>(WM_COMMAND) : act.what;
            const WPARAM wParam = act.kind == Act::Command ? MAKEWPARAM(act.what, BN_CLICKED) : act.wParam;
            what = act.kind == Act::Command ? "command " + std::to_string(act.what)
                                            : "message " + std::to_string(act.what) + " (" + std::to_string(act.wParam) + ")";
            if (!::SendMessageTimeoutA(hWizard, message, wParam, 0, SMTO_BLOCK, 5000, &result))
                log.failures += what + ": the wizard did not answer\n";
        }
        if (act.nShows >= 0) {
            const std::string shown = MainText(hWizard);
            if (shown != FindWizardPresentation(act.nShows)->pszMain)
                log.failures += "after " + what + ": shows \"" + shown + "\", not step " + std::to_string(act.nShows) + "\n";
        }
    }
    if (log.pCase->bQuits) {
        for (int i = 0; i < 10000 && ::IsWindow(hWizard); ++i)
            ::Sleep(1);
        if (!::IsWindow(hWizard))
            return 0;
        // It may wait for a worker that never runs: the quit ends it, so that the case ends.
        log.failures += "the wizard did not end by itself\n";
        ::PostThreadMessageA(::GetWindowThreadProcessId(hWizard, nullptr), WM_QUIT, 0, 0);
        return 0;
    }
    // End, which every one of these steps offers.
    if (!::SendMessageTimeoutA(hWizard, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, SMTO_BLOCK, 5000, &result))
        log.failures += "End: the wizard did not answer\n";
    return 0;
}

class InProcessWizard : public ::testing::TestWithParam<InProcessCase> {};

TEST_P(InProcessWizard, EndsAsTheCaseSays)
{
    const InProcessCase& row = GetParam();
    g_pfnBeginWorker = row.pfnBegin;
    g_hBoxDone = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(g_hBoxDone, nullptr);

    HANDLE hRelayReady = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD nRelayThread = 0;
    HANDLE hRelay = ::CreateThread(nullptr, 0, [](LPVOID pReady) -> DWORD {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &RelayProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "WizardRunTestRelay";
        ::RegisterClassA(&wc);
        g_hRelay = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetEvent(static_cast<HANDLE>(pReady));
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&msg);
        ::DestroyWindow(g_hRelay);
        return 0;
    }, hRelayReady, 0, &nRelayThread);
    ASSERT_NE(hRelay, nullptr);
    ASSERT_EQ(::WaitForSingleObject(hRelayReady, 10000), WAIT_OBJECT_0);
    ::CloseHandle(hRelayReady);
    ASSERT_NE(g_hRelay, nullptr);
    HHOOK hHook = ::SetWindowsHookExA(WH_CBT, &WatchBoxCreation, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hHook, nullptr);

    INT_PTR nResult = 0;
    bool bQuit = false;
    g_nDialogs = 0;
    DriveLog log = { &row, nullptr, "" };
    {
        TestWizard wizard;
        log.pWizard = &wizard;
        HANDLE hDriver = ::CreateThread(nullptr, 0, &Drive, &log, 0, nullptr);
        ASSERT_NE(hDriver, nullptr);
        nResult = wizard.DoModal();
        // A quit message that ended the wizard is left for the program's end; not for the
        // next case.
        MSG msg;
        bQuit = ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        ::WaitForSingleObject(hDriver, INFINITE);
        ::CloseHandle(hDriver);
    }
    ::UnhookWindowsHookEx(hHook);
    ::PostThreadMessageA(nRelayThread, WM_QUIT, 0, 0);
    ::WaitForSingleObject(hRelay, INFINITE);
    ::CloseHandle(hRelay);
    ::CloseHandle(g_hBoxDone);
    g_pfnBeginWorker = &AfxBeginThread;

    EXPECT_EQ(log.failures, "");
    EXPECT_EQ(nResult, row.bQuits ? -1 : IDCANCEL);
    EXPECT_EQ(bQuit, row.bQuits) << "a quit message was left";
    if (row.bQuits) {
        EXPECT_EQ(g_nDialogs, 1) << "a dialog or message box besides the wizard was shown";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, InProcessWizard, ::testing::ValuesIn(kInProcessCases),
                         [](const ::testing::TestParamInfo<InProcessCase>& info) { return info.param.name; });

}  // namespace
