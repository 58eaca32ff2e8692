// The application object.
#include "app/InstallToolApp.h"

#include "app/AboutDialog.h"
#include "app/DllSearch.h"
#include "rules/PlatformRules.h"
#include "wizard/InstallWizardDialog.h"

namespace {

// Held for the life of the process: how a second copy knows that it is one.
const char kSingleInstanceMutexName[] = "Norvik_InstallTool64Unique";

}  // namespace

BEGIN_MESSAGE_MAP(CInstallToolApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CInstallToolApp theApp;

// The stack protector's guard (its runtime's). That runtime draws it in a constructor of its
// own through the crypto provider, which loads the provider's DLLs into every start (about
// 1.4 MB of working set) and which it skips for a guard that is already set. The system's
// random generator gives the guard here instead; if that fails the runtime still draws it.
// Neither function may check a guard itself: the guard changes while they run.
extern "C" void* __stack_chk_guard;

__attribute__((noinline, no_stack_protector)) static void DrawStackGuard()
{
    typedef BOOLEAN(WINAPI * GenRandomFn)(PVOID pBuffer, ULONG cbBuffer);
    HMODULE hAdvapi = ::GetModuleHandleA("advapi32.dll");
    const GenRandomFn pfnGenRandom = hAdvapi != nullptr ? reinterpret_cast<GenRandomFn>(reinterpret_cast<void*>(
                                                              ::GetProcAddress(hAdvapi, "SystemFunction036")))
                                                        : nullptr;
    void* pGuard = nullptr;
    if (pfnGenRandom != nullptr && pfnGenRandom(&pGuard, sizeof(pGuard)))
        __stack_chk_guard = pGuard;
}

// The first constructor that runs (a priority puts it before all others): the DLL search
// closes before anything can load a DLL, the guard's generator included.
__attribute__((constructor(101), no_stack_protector)) static void StartSafely()
{
    RestrictDllSearch();
    DrawStackGuard();
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
