// The wizard dialog: its handlers carry out the flow table's rows; the menu-exit mutex.
#include "wizard/InstallWizardDialog.h"

#include <cstdlib>
#include <new>

#include "probes/LibraryCheck.h"
#include "probes/PlatformChecks.h"
#include "rules/PlatformRules.h"
#include "rules/WizardFlow.h"
#include "wizard/Workers.h"

namespace {

// Held from Next on Welcome until the installation reports or the user goes back.
const char kMenuExitMutexName[] = "TALMO_NorvikLib_MENU_EXIT";

// The wizard runs elevated, and Windows drops messages from programs of a lower integrity
// level. WM_EXTERNAL_STATUS, and nothing else, is let through: for this window where the
// system can (Windows 7 on), else for the process (Vista).
void AcceptExternalStatusFromAnyProcess(HWND hWnd)
{
    typedef BOOL(WINAPI * WindowFilterFn)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * ProcessFilterFn)(UINT, DWORD);
    HMODULE hUser = ::GetModuleHandleA("user32");
    const auto pfnWindow = reinterpret_cast<WindowFilterFn>(
        reinterpret_cast<void*>(::GetProcAddress(hUser, "ChangeWindowMessageFilterEx")));
    if (pfnWindow != nullptr) {
        pfnWindow(hWnd, WM_EXTERNAL_STATUS, 1 /* MSGFLT_ALLOW */, nullptr);
        return;
    }
    const auto pfnProcess = reinterpret_cast<ProcessFilterFn>(
        reinterpret_cast<void*>(::GetProcAddress(hUser, "ChangeWindowMessageFilter")));
    if (pfnProcess != nullptr)
        pfnProcess(WM_EXTERNAL_STATUS, 1 /* MSGFLT_ADD */);
}

}  // namespace

BEGIN_MESSAGE_MAP(CInstallWizardDialog, CDialog)
    ON_WM_PAINT()
    ON_WM_DESTROY()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_BUTTON_BACK, OnBack)
    ON_BN_CLICKED(IDC_RADIO1, OnRadio1)
    ON_MESSAGE(WM_DISC_SEARCH_DONE, OnDiscSearchDone)
    ON_MESSAGE(WM_INSTALL_DONE, OnInstallDone)
    ON_MESSAGE(WM_EXTERNAL_STATUS, OnExternalStatus)
END_MESSAGE_MAP()

CInstallWizardDialog::CInstallWizardDialog(CWnd* pParent)
    : CDialog(IDD_INSTALLTOOL_DIALOG, pParent)
{
    m_strMain = "";
    m_strIntro = "";
    CWinApp* pApp = AfxGetApp();
    m_hIcon = pApp != nullptr ? pApp->LoadIcon(IDR_MAINFRAME) : nullptr;
}

CInstallWizardDialog::~CInstallWizardDialog()
{
    if (m_pRun != nullptr) {
        m_pRun->Close();
        // The process ends right after us: not in the middle of the setup program's start.
        m_pRun->WaitForStart();
        m_pRun->Release();
    }
}

void CInstallWizardDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BUTTON_BACK, m_btnBack);
    DDX_Control(pDX, IDC_STATIC_INTRO, m_stcIntro);
    DDX_Control(pDX, IDC_STATIC_MAIN, m_stcMain);
    DDX_Control(pDX, IDOK, m_btnNext);
    DDX_Control(pDX, IDCANCEL, m_btnEnd);
    DDX_Text(pDX, IDC_STATIC_MAIN, m_strMain);
    DDX_Text(pDX, IDC_STATIC_INTRO, m_strIntro);
}

BOOL CInstallWizardDialog::OnInitDialog()
{
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowText(kWizardCaption);
    AcceptExternalStatusFromAnyProcess(m_hWnd);

    // Without it no worker can start: the wizard says so and ends. The message box runs a
    // loop of its own, so every handler copes with the missing block meanwhile.
    m_pRun = new (std::nothrow) CWizardRun(m_hWnd);
    if (m_pRun == nullptr) {
        EndDialog(IDCANCEL);
        AfxReportOutOfMemory();
        return TRUE;
    }
    m_hMenuExitMutex = nullptr;
    ResetRunState();

    if (IsVistaOrLater() && !Is32BitSystem()) {
        UpdateData(FALSE);
        GoTo(Welcome);
        // The window becomes visible only after this returns: a user without the library
        // never sees the welcome step.
        if (!IsLibraryInstalled())
            GoTo(LibraryMissing);
        return TRUE;
    }

    AfxMessageBox(kUnsupportedSystemText, MB_OK);
    std::exit(0);
}

BOOL CInstallWizardDialog::ShowState(int nState)
{
    UpdateData(TRUE);
    const WizardPresentation* pRow = FindWizardPresentation(nState);
    if (pRow == nullptr)
        return FALSE;

    m_strMain = pRow->pszMain;
    m_stcMain.ShowWindow(pRow->bMainVisible ? SW_SHOW : SW_HIDE);
    m_strIntro = pRow->pszIntro;
    m_stcIntro.ShowWindow(pRow->bIntroVisible ? SW_SHOW : SW_HIDE);
    m_btnBack.SetWindowText(kBackCaption);
    m_btnBack.EnableWindow(pRow->bBackEnabled);
    m_btnNext.SetWindowText(kNextCaption);
    m_btnNext.EnableWindow(pRow->bNextEnabled);
    m_btnEnd.SetWindowText(pRow->pszEndCaption);
    m_btnEnd.EnableWindow(pRow->bEndEnabled);
    if (CWnd* pRadio = GetDlgItem(IDC_RADIO1))
        pRadio->ShowWindow(SW_HIDE);

    switch (pRow->focus) {
    case FocusBack: m_btnBack.SetFocus(); break;
    case FocusNext: m_btnNext.SetFocus(); break;
    case FocusEnd: m_btnEnd.SetFocus(); break;
    case FocusDialog: SetFocus(); break;
    }

    UpdateData(FALSE);
    InvalidateRect(nullptr, FALSE);
    return TRUE;
}

void CInstallWizardDialog::GoTo(int nState)
{
    m_nState = nState;
    ShowState(nState);
}

BOOL CInstallWizardDialog::ResetRunState()
{
    ReleaseMenuExitMutex();
    m_hMenuExitMutex = nullptr;
    m_pRun->Reset();
    return TRUE;
}

// Next on Welcome. Another program may hold the mutex already, even one whose mutex we may
// not open; the wizard then goes on without holding it. FALSE when it could not be created.
BOOL CInstallWizardDialog::CreateMenuExitMutex()
{
    HANDLE hMutex = ::CreateMutexA(nullptr, FALSE, kMenuExitMutexName);
    if (IsExistingNamedObject(hMutex != nullptr, ::GetLastError())) {
        if (hMutex != nullptr)
            ::CloseHandle(hMutex);
        return TRUE;
    }
    if (hMutex == nullptr)
        return FALSE;
    m_hMenuExitMutex = hMutex;
    return TRUE;
}

void CInstallWizardDialog::ReleaseMenuExitMutex()
{
    if (m_hMenuExitMutex != nullptr) {
        ::CloseHandle(m_hMenuExitMutex);
        m_hMenuExitMutex = nullptr;
    }
}

void CInstallWizardDialog::EndWizard()
{
    // From here on no worker reports to the wizard, deletes or starts anything.
    if (m_pRun != nullptr)
        m_pRun->Close();
    CDialog::OnCancel();
}

// However the modal loop ended (End, a quit message, or another way), the workers learn
// that the wizard is gone before its window is.
void CInstallWizardDialog::OnDestroy()
{
    if (m_pRun != nullptr)
        m_pRun->Close();
    CDialog::OnDestroy();
}

BOOL CInstallWizardDialog::StartDiscSearch()
{
    return m_pRun != nullptr && m_pRun->StartWorker(DiscSearchThreadProc, TRUE);
}

BOOL CInstallWizardDialog::StartInstaller()
{
    return m_pRun != nullptr && m_pRun->StartWorker(InstallerThreadProc, FALSE);
}

// Carries out the flow table's row for the event on the current step.
void CInstallWizardDialog::Carry(WizardEvent event)
{
    const WizardTransition* pRow = FindWizardTransition(m_nState, event);
    int nNext = pRow->nNext;
    if (pRow->actions & ActReleaseMutex)
        ReleaseMenuExitMutex();
    if (pRow->actions & ActDisableNext)
        m_btnNext.EnableWindow(FALSE);
    if ((pRow->actions & ActHoldMutex) && !CreateMenuExitMutex())
        nNext = FatalError;
    // A worker that cannot start ends the program: the quit message ends the modal loop,
    // and nothing is shown.
    if (((pRow->actions & ActStartSearch) && !StartDiscSearch()) ||
        ((pRow->actions & ActStartInstaller) && !StartInstaller())) {
        ::PostQuitMessage(0);
        return;
    }
    if ((pRow->actions & ActCancelSearch) && m_pRun != nullptr)
        m_pRun->m_bCancel = 1;
    if (nNext != kSameStep)
        GoTo(nNext);
    if (pRow->actions & ActForeground)
        SetForegroundWindow();
    if (pRow->actions & ActEndDialog)
        EndWizard();
}

// Next never ends the dialog, so neither does Enter.
void CInstallWizardDialog::OnOK()
{
    Carry(EventNext);
}

void CInstallWizardDialog::OnCancel()
{
    Carry(EventEnd);
}

void CInstallWizardDialog::OnBack()
{
    Carry(EventBack);
}

void CInstallWizardDialog::OnRadio1()
{
    InvalidateRect(nullptr, FALSE);
}

LRESULT CInstallWizardDialog::OnDiscSearchDone(WPARAM wParam, LPARAM /*lParam*/)
{
    Carry(wParam != 0 ? EventDiscFound : EventDiscMissing);
    return 1;
}

LRESULT CInstallWizardDialog::OnInstallDone(WPARAM wParam, LPARAM /*lParam*/)
{
    Carry(wParam != 0 ? EventSetupRan : EventSetupNotStarted);
    return 1;
}

LRESULT CInstallWizardDialog::OnExternalStatus(WPARAM wParam, LPARAM /*lParam*/)
{
    Carry(wParam != 0 ? EventExternalFollow : EventExternalHold);
    return 1;
}

void CInstallWizardDialog::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int cxIcon = ::GetSystemMetrics(SM_CXICON);
        const int cyIcon = ::GetSystemMetrics(SM_CYICON);
        RECT rect;
        GetClientRect(&rect);
        const int x = (rect.right - rect.left - cxIcon + 1) / 2;
        const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        // The worker that started with this step waits for this.
        if (m_pRun != nullptr)
            m_pRun->m_bPainted = 1;
        CDialog::OnPaint();
    }
}

HCURSOR CInstallWizardDialog::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

BOOL CInstallWizardDialog::PreTranslateMessage(MSG* pMsg)
{
    // Esc goes to the focused control as an ordinary key and never becomes End.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE)
        return FALSE;
    return CDialog::PreTranslateMessage(pMsg);
}
