// What the running system reports about itself: version, processor, named objects.
#include "rules/PlatformRules.h"

namespace {

constexpr uint32_t kPlatformWin32Nt = 2;
constexpr uint32_t kFirstSupportedMajor = 6;  // Vista
constexpr uint16_t kArchAmd64 = 9;
constexpr uint16_t kArchIa64 = 6;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorAlreadyExists = 183;

} // namespace

int IsSupportedWindowsVersion(int bQueryOk, uint32_t dwPlatformId, uint32_t dwMajorVersion)
{
    if (!bQueryOk)
        return 0;
    // A platform newer than NT is newer than anything we refuse.
    if (dwPlatformId > kPlatformWin32Nt)
        return 1;
    return dwPlatformId == kPlatformWin32Nt && dwMajorVersion >= kFirstSupportedMajor;
}

int IsArchitecture32Bit(int bHaveNativeInfo, uint16_t wProcessorArchitecture)
{
    // A system too old to tell us its native architecture is too old to be 64-bit.
    if (!bHaveNativeInfo)
        return 1;
    return wProcessorArchitecture != kArchAmd64 && wProcessorArchitecture != kArchIa64;
}

int IsExistingNamedObject(int bHaveHandle, uint32_t dwLastError)
{
    return bHaveHandle ? dwLastError == kErrorAlreadyExists : dwLastError == kErrorAccessDenied;
}
