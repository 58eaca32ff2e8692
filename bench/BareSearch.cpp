// The least a disc search can cost, which the tool's search is measured against: the drive
// list once, then in each of the 20 passes 500 ms apart a drive type per drive and a look
// for the setup program on each CD-ROM drive. No window, no thread, nothing else. Built with
// the tool's toolchain and flags; the path comes from the tool's own rule, so the probe
// looks for the very same bytes.
//
// The measuring program starts it with three event names in the environment: it sets
// BENCH_SEARCH_READY and waits for BENCH_SEARCH_GO, searches, sets BENCH_SEARCH_DONE, and
// ends at the next BENCH_SEARCH_GO. So its CPU time between GO and DONE is the search's
// alone, its own start-up left out, as the tool's is.
#include <windows.h>

#include <cstring>

#include "wizard/WorkerRules.h"

namespace {

const int kPasses = 20;
const DWORD kPassInterval = 500;

HANDLE OpenNamedEvent(const char* variable)
{
    char name[256];
    const DWORD n = ::GetEnvironmentVariableA(variable, name, sizeof(name));
    if (n == 0 || n >= sizeof(name))
        return nullptr;
    return ::OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
}

// 1 when a CD-ROM drive holds the setup program.
int Search()
{
    char drives[1024] = {};
    const DWORD nChars = ::GetLogicalDriveStringsA(sizeof(drives), drives);
    if (nChars == 0 || nChars >= sizeof(drives) - 1)
        return 0;
    char candidate[1024];
    for (int pass = 0; pass < kPasses; ++pass) {
        if (pass > 0)
            ::Sleep(kPassInterval);
        for (const char* root = drives; *root != '\0'; root += std::strlen(root) + 1) {
            if (::GetDriveTypeA(root) != DRIVE_CDROM)
                continue;
            if (ComposeDiscSetupPath(candidate, sizeof(candidate), root[0])
                && ::GetFileAttributesA(candidate) != INVALID_FILE_ATTRIBUTES)
                return 1;
        }
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HANDLE ready = OpenNamedEvent("BENCH_SEARCH_READY");
    HANDLE go = OpenNamedEvent("BENCH_SEARCH_GO");
    HANDLE done = OpenNamedEvent("BENCH_SEARCH_DONE");
    if (ready == nullptr || go == nullptr || done == nullptr)
        return 2;
    ::SetEvent(ready);
    ::WaitForSingleObject(go, INFINITE);
    const int found = Search();
    ::SetEvent(done);
    ::WaitForSingleObject(go, 60000);
    return found;
}
