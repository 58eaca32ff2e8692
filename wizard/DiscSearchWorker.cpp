// The disc search worker: finds the add-on's setup program on a CD-ROM drive.
#include "wizard/Workers.h"

#include <cstring>

#include "probes/FileHelpers.h"
#include "rules/PathRules.h"
#include "rules/WorkerRules.h"

namespace {

const int kPasses = 20;
const DWORD kPassInterval = 500;  // ms; a disc just inserted needs a moment to be readable

// 1 when a CD-ROM drive holds the setup program; its path is then stored in the run.
WPARAM SearchDiscs(CWizardRun* pRun)
{
    if (pRun->m_bCancel.load(std::memory_order_relaxed))
        return 0;

    char szCandidate[kProbePathSize] = {};
    char szDrives[kProbePathSize] = {};
    // Read once: a drive added during the search is not searched. A result that does not
    // fit would leave the list unfilled; with at most 26 drives it never happens.
    const DWORD nChars = ::GetLogicalDriveStringsA(sizeof(szDrives), szDrives);
    if (nChars == 0 || nChars >= sizeof(szDrives) - 1)
        return 0;

    for (int nPass = 0; nPass < kPasses; ++nPass) {
        // A stop request is seen here; a pass under way finishes.
        if (pRun->m_bCancel.load(std::memory_order_relaxed))
            break;
        for (const char* pszRoot = szDrives; *pszRoot != '\0'; pszRoot += std::strlen(pszRoot) + 1) {
            if (::GetDriveTypeA(pszRoot) != DRIVE_CDROM)
                continue;
            if (ComposeDiscSetupPath(szCandidate, sizeof(szCandidate), pszRoot[0])
                && IsPlainFile(szCandidate))
                return pRun->StoreSetupPath(szCandidate);
        }
        ::Sleep(kPassInterval);
    }
    return 0;
}

}  // namespace

UINT __cdecl DiscSearchThreadProc(LPVOID pParam)
{
    CWizardRun* pRun = static_cast<CWizardRun*>(pParam);
    pRun->WaitForPaint();
    pRun->Post(WM_DISC_SEARCH_DONE, SearchDiscs(pRun));
    pRun->Release();
    return 0;
}
