// The running system: its version and its processor, asked of Windows.
#include "probes/PlatformChecks.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "rules/PlatformRules.h"

#if defined(__i386__)
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA must keep its i686 size");
#endif

namespace {

typedef void(WINAPI* GetNativeSystemInfoFn)(LPSYSTEM_INFO);

} // namespace

int IsVistaOrLater()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // Without a manifest newer systems report 6.2, which still passes: we only need to
    // tell pre-Vista systems apart, and this call does that everywhere.
    const BOOL ok = GetVersionExA(&info);
    return IsSupportedWindowsVersion(ok != 0, info.dwPlatformId, info.dwMajorVersion);
}

int Is32BitSystem()
{
    // Looked up at run time: an import would keep the program from starting at all on a
    // system that lacks the export.
    HMODULE kernel = GetModuleHandleA("kernel32");
    FARPROC proc = kernel != nullptr ? GetProcAddress(kernel, "GetNativeSystemInfo") : nullptr;
    if (proc == nullptr)
        return IsArchitecture32Bit(0, 0);
    // Through void(*)(void), which GCC accepts as a cast between unrelated function types.
    GetNativeSystemInfoFn getNativeSystemInfo =
        reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void (*)(void)>(proc));
    SYSTEM_INFO info = {};
    getNativeSystemInfo(&info);
    return IsArchitecture32Bit(1, info.wProcessorArchitecture);
}
