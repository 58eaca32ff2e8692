// The application object.
#include "app/InstallToolApp.h"

#include "app/AboutDialog.h"
#include "app/DllSearch.h"
#include "probes/PlatformRules.h"
#include "wizard/InstallWizardDialog.h"

const char kSingleInstanceMutexName[] = "Norvik_InstallTool64Unique";

BEGIN_MESSAGE_MAP(CInstallToolApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CInstallToolApp theApp;

// The application object is made while the program starts, before any code of ours that
// could load a DLL: the earliest moment to close the DLL search.
CInstallToolApp::CInstallToolApp()
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
