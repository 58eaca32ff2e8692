// The application object.
#include "app/InstallToolApp.h"

#include "app/AboutDialog.h"
#include "app/DllSearch.h"
#include "probes/PlatformRules.h"
#include "wizard/InstallWizardDialog.h"

namespace {

// Held for the life of the process: how a second copy knows that it is one.
const char kSingleInstanceMutexName[] = "Norvik_InstallTool64Unique";

}  // namespace

BEGIN_MESSAGE_MAP(CInstallToolApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CInstallToolApp theApp;

// The DLL search closes in the first constructor that runs, before the application object and
// before the stack protector's, which draws its guard from the crypto provider: on Windows
// that loads cryptsp and the provider's DLL, which would otherwise be looked for beside the
// program. Constructors with a priority run before all others.
__attribute__((constructor(101))) static void CloseDllSearchFirst()
{
    RestrictDllSearch();
}

BOOL CInstallToolApp::InitInstance()
{
    Enable3dControlsStatic();

    // Created owned and never released: it goes when the process does.
    HANDLE hMutex = ::CreateMutexA(nullptr, TRUE, kSingleInstanceMutexName);
    if (IsExistingNamedObject(hMutex != nullptr, ::GetLastError())) {
        // Another copy runs, or another program holds the name (even one that lets us not
        // open it): bring the wizard to the front and show nothing ourselves.
        HWND hWnd = ::FindWindowA(nullptr, kWizardCaption);
        if (hWnd != nullptr)
            ::SetForegroundWindow(hWnd);
        return FALSE;
    }

    CInstallWizardDialog dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}

BOOL CInstallToolApp::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_F5 && !m_bAboutOpen) {
        m_bAboutOpen = TRUE;
        {
            CAboutDialog dlg(nullptr);
            dlg.DoModal();
        }
        m_bAboutOpen = FALSE;
        return FALSE;  // F5 itself goes on to ordinary dispatch
    }
    return CWinApp::PreTranslateMessage(pMsg);
}

void CInstallToolApp::WinHelp(DWORD_PTR /*dwData*/, UINT /*nCmd*/)
{
}
