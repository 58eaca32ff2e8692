// Modal dialogs from templates.
#include "afxwin.h"

namespace {

// The dialog whose window is being created. Its WM_INITDIALOG is taken only from here: any
// process can send a window WM_INITDIALOG, and the lParam of such a message means nothing.
CDialog* g_pDialogInit = nullptr;

// Whether a WM_INITDIALOG to hWnd is the one that creating the dialog's window sends: that
// comes from this thread, inside the creation, to a window that is no framework window yet.
// One sent by another thread, or one to a window that is ours already (the wizard, while the
// version box is being made), is someone else's.
bool IsCreationInit(HWND hWnd)
{
    return CWnd::FromHandlePermanent(hWnd) == nullptr && ::InSendMessageEx(nullptr) == ISMEX_NOSEND;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, CDialog::OnOK)
    ON_COMMAND(IDCANCEL, CDialog::OnCancel)
    ON_MESSAGE(WM_HELP, OnHelpInfo)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog()
{
    if (m_hWnd != nullptr)
        DestroyWindow();
}

BOOL CDialog::OnInitDialog()
{
    // The first exchange binds the controls and fills them from the members.
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
    // Wake the modal loop in case the queue is empty.
    if (m_hWnd != nullptr)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Only keyboard and mouse input goes through the dialog manager; everything else is
    // dispatched to its window procedure as usual.
    const UINT m = pMsg->message;
    const bool bInput = (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
    return bInput && ::IsDialogMessageA(m_hWnd, pMsg);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    // Commands that the dialog does not handle go on to the application (ID_HELP).
    CWinApp* pApp = AfxGetApp();
    return nCode == 0 && pApp != nullptr && pApp->OnCmdMsg(nID, nCode);
}

LRESULT CDialog::OnHelpInfo(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    SendMessage(WM_COMMAND, ID_HELP);
    return TRUE;
}

HWND CDialog::FindOwner() const
{
    HWND hWnd = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (hWnd == nullptr) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd != nullptr && pMainWnd != this)
            hWnd = pMainWnd->m_hWnd;
    }
    // A dialog is owned by a top-level window, never by a control.
    while (hWnd != nullptr && (::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD))
        hWnd = ::GetParent(hWnd);
    return hWnd;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    // Only the first WM_INITDIALOG of a window we are creating initialises a dialog; a
    // later one, from whatever sender, changes nothing.
    CDialog* pDlg = g_pDialogInit;
    if (message != WM_INITDIALOG || pDlg == nullptr || pDlg->m_hWnd != nullptr || !IsCreationInit(hWnd))
        return FALSE;
    g_pDialogInit = nullptr;

    // From here on the window's messages go through the dialog's message map.
    if (!pDlg->SubclassWindow(hWnd))
        return FALSE;

    RECT rcBefore;
    ::GetWindowRect(hWnd, &rcBefore);
    const BOOL bResult = pDlg->OnInitDialog();

    // A dialog that did not place itself, and whose template asks for no placement, is
    // centred: over its owner, or in the work area of the primary monitor.
    RECT rcAfter;
    if (pDlg->m_hWnd == hWnd && ::GetWindowRect(hWnd, &rcAfter) && ::EqualRect(&rcBefore, &rcAfter)
        && !(pDlg->GetStyle() & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)))
        pDlg->CenterWindow();
    return bResult;
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    HGLOBAL hTemplate = hResource != nullptr ? ::LoadResource(hInst, hResource) : nullptr;
    auto pTemplate = static_cast<LPCDLGTEMPLATEA>(hTemplate != nullptr ? ::LockResource(hTemplate) : nullptr);
    if (pTemplate == nullptr)
        return -1;

    HWND hWndOwner = FindOwner();
    BOOL bEnableOwner = FALSE;
    if (hWndOwner != nullptr && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        bEnableOwner = TRUE;
    }

    m_nModalResult = -1;
    m_bContinueModal = TRUE;
    g_pDialogInit = this;
    HWND hWnd = ::CreateDialogIndirectParamA(hInst, pTemplate, hWndOwner, &CDialog::DialogProc, 0);
    g_pDialogInit = nullptr;
    // A window that was not initialised as this dialog has nobody to end it: it is not run.
    if (hWnd != nullptr && m_hWnd == hWnd && m_bContinueModal)
        RunModalLoop();

    if (hWnd != nullptr && m_hWnd == hWnd)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (bEnableOwner) {
        ::EnableWindow(hWndOwner, TRUE);
        if (hWnd != nullptr && ::GetActiveWindow() == hWnd)
            ::SetActiveWindow(hWndOwner);
    }
    if (m_hWnd != nullptr)
        DestroyWindow();
    else if (hWnd != nullptr && ::IsWindow(hWnd))
        ::DestroyWindow(hWnd);
    CWnd::DeleteTempMap();
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    // A template without WS_VISIBLE is shown once its first messages have been handled.
    BOOL bShowIdle = !(GetStyle() & WS_VISIBLE);
    MSG msg;
    while (m_bContinueModal) {
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (bShowIdle) {
                ShowWindow(SW_SHOWNORMAL);
                ::UpdateWindow(m_hWnd);
                bShowIdle = FALSE;
            }
            CWnd::DeleteTempMap();
        }
        if (!AfxPumpMessage(&msg)) {
            // Leave the quit message for whoever pumps next, up to the program's end.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            return;
        }
    }
}
