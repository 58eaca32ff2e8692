// Reports the two platform checks as its exit code (IsVistaOrLater * 2 + Is32BitSystem),
// so that a test can run it under a Windows version set for this program alone.
#include "probes/PlatformChecks.h"

int main()
{
    return IsVistaOrLater() * 2 + Is32BitSystem();
}
