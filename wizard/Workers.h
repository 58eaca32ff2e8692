// The wizard's two worker threads and the installer's operations. A worker receives the
// run's shared block (CWizardRun) with a reference of its own, which it gives up before it
// returns; returning ends its thread.
#ifndef WIZARD_WORKERS_H
#define WIZARD_WORKERS_H

#include "wizard/WizardRun.h"

// Looks on every CD-ROM drive for the add-on's setup program, in up to 20 passes.
UINT __cdecl DiscSearchThreadProc(LPVOID pParam);

// Runs the setup program found by the search, waits for it, deletes its two shortcuts.
UINT __cdecl InstallerThreadProc(LPVOID pParam);

// 1 when the setup program ran to its end and the clean-up was done (or the wizard closed
// meanwhile, so the clean-up was skipped); 0 when it could not be started or its end could
// not be waited for, and then no shortcut is touched.
int RunSetupAndCleanUp(CWizardRun* pRun);

// 1 when the process was created and has ended; 0 when an argument is null, the process
// was not created, or the wait for its end failed. pszCommandLine must be writable. With a
// run, the process is created only while the wizard is open, the process end waits until
// the creation is done, and the wait is the run's.
int RunProcessAndWait(const char* pszPath, char* pszCommandLine, CWizardRun* pRun = nullptr);

// 1 when the shortcut exists in its all-users folder or else in the current user's, with
// its full path copied into pszDest (1024 bytes); 0 otherwise, pszDest untouched.
int FindDesktopShortcut(char* pszDest);
int FindProgramsShortcut(char* pszDest);

// 1 when the shortcut was found and deleted; 0 otherwise. At most one file each, and only an
// ordinary file reached without a link on the way. With a run, no deletion is begun once the
// wizard has closed, and the wizard's close never waits for one.
int DeleteDesktopShortcut(CWizardRun* pRun = nullptr);
int DeleteProgramsShortcut(CWizardRun* pRun = nullptr);

#endif
