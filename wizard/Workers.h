// The wizard's two worker threads and the installer's operations. A worker receives the
// run's shared block (CWizardRun) with a reference of its own, which it gives up before it
// returns; returning ends its thread.
//
// Functions: DiscSearchThreadProc, InstallerThreadProc, RunProcessAndWait.
#ifndef WIZARD_WORKERS_H
#define WIZARD_WORKERS_H

#include "wizard/WizardRun.h"

// Looks on every CD-ROM drive for the add-on's setup program, in up to 20 passes.
UINT __cdecl DiscSearchThreadProc(LPVOID pParam);

// Runs the setup program found by the search, waits for it, deletes its two shortcuts.
UINT __cdecl InstallerThreadProc(LPVOID pParam);

// 1 when the process was created and has ended; 0 when an argument is null, the process
// was not created, or the wait for its end failed. pszCommandLine must be writable. With a
// run, the process is created only while the wizard is open, the process end waits until
// the creation is done, and the wait is the run's.
int RunProcessAndWait(const char* pszPath, char* pszCommandLine, CWizardRun* pRun = nullptr);

#endif
