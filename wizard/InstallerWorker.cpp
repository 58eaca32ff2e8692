// The installer worker: runs the setup program, waits for it, removes its two shortcuts.
#include "wizard/Workers.h"

#include <cstring>

#include "probes/FileHelpers.h"
#include "rules/PathRules.h"
#include "rules/WorkerRules.h"

namespace {

const DWORD kReportDelay = 500;  // ms between the setup program's end and the report

// The shell's folders are the user's to change, as is what lies in them: the file is checked
// and deleted through one handle, so nothing can put a link or another file in its place in
// between. The look-ups, the checks and the deletion may wait on a slow drive (on a
// redirected desktop, the network's time-out); only the decision that the wizard is still
// open is taken under its lock, so End never waits for file work.
//
// 1 when the shortcut was found and deleted; 0 otherwise. At most one file, and only an
// ordinary file reached without a link on the way.
int LookUpOpenAndDelete(const ShortcutLocation& location, CWizardRun* pRun)
{
    char szPath[kProbePathSize] = {};
    if (!FindShortcut(location, szPath, pRun->m_pfnLookUpFolder, &IsPlainFile))
        return 0;
    // The path is the folder's, then the shortcut's text.
    szPath[std::strlen(szPath) - std::strlen(location.pszText)] = '\0';
    HANDLE hFile = OpenFileToDelete(szPath, location.pszText);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    if (!pRun->BeginWhileOpen()) {
        ::CloseHandle(hFile);
        return 0;
    }
    pRun->EndWhileOpen();
    return pRun->m_pfnDeleteOpenedFile(hFile);
}

// Like the setup program's start, the clean-up is never cut off by the process end, which
// waits for it (a process that ends while a thread is inside the shell's or the file
// system's calls can hang on what that thread held), and none begins once the wizard is gone.
int DeleteShortcut(const ShortcutLocation& location, CWizardRun* pRun)
{
    if (!pRun->BeginStart())
        return 0;
    const int bDeleted = LookUpOpenAndDelete(location, pRun);
    pRun->EndStart();
    return bDeleted;
}

}  // namespace

int RunProcessAndWait(const char* pszPath, char* pszCommandLine, CWizardRun* pRun)
{
    if (pszPath == nullptr || pszCommandLine == nullptr)
        return 0;
    // The process ends with the wizard. Ended inside CreateProcessA, it could leave the setup
    // program created but never resumed, so the process end waits for a start under way,
    // and nothing is started once the wizard is gone.
    if (pRun != nullptr && !pRun->BeginStart())
        return 0;
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
#if defined(__i386__)
    static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA has 68 bytes on x86");
#endif
    PROCESS_INFORMATION pi = {};
    // The setup program gets the system's default error mode, our environment and folder.
    const BOOL bCreated = ::CreateProcessA(pszPath, pszCommandLine, nullptr, nullptr, FALSE,
                                           CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                                           &si, &pi);
    if (pRun != nullptr)
        pRun->EndStart();
    if (!bCreated)
        return 0;
    ::CloseHandle(pi.hThread);
    // Only the program's end counts as a run: after a failed wait it may still be running,
    // and its shortcuts are not ours to delete yet.
    const DWORD dwWait = pRun != nullptr ? pRun->m_pfnWait(pi.hProcess, INFINITE)
                                         : ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hProcess);
    return dwWait == WAIT_OBJECT_0 ? 1 : 0;
}

namespace {

// 1 when the setup program ran to its end and the clean-up was done (or the wizard closed
// meanwhile, so the clean-up was skipped); 0 when it could not be started or its end could
// not be waited for, and then no shortcut is touched.
int RunSetupAndCleanUp(CWizardRun* pRun)
{
    char szSetupPath[kSetupPathSize];
    pRun->CopySetupPath(szSetupPath, sizeof(szSetupPath));
    char szCommandLine[1] = "";  // an empty command line, which CreateProcessA may write to
    if (!RunProcessAndWait(szSetupPath, szCommandLine, pRun))
        return 0;
    // Once the wizard is gone nothing more is deleted: the user ended it on purpose.
    DeleteShortcut(kDesktopShortcut, pRun);
    DeleteShortcut(kProgramsShortcut, pRun);
    return 1;
}

}  // namespace

UINT __cdecl InstallerThreadProc(LPVOID pParam)
{
    CWizardRun* pRun = static_cast<CWizardRun*>(pParam);
    pRun->WaitForPaint();
    if (RunSetupAndCleanUp(pRun)) {
        ::Sleep(kReportDelay);
        pRun->Post(WM_INSTALL_DONE, 1);
    } else {
        pRun->Post(WM_INSTALL_DONE, 0);
    }
    pRun->Release();
    return 0;
}
