// Decisions on what the running system reports about itself. No Win32 call in here, so
// the rules build natively for the unit tests and fuzzers.
//
// Functions: IsSupportedWindowsVersion, IsArchitecture32Bit, IsExistingNamedObject.
#ifndef RULES_PLATFORM_RULES_H
#define RULES_PLATFORM_RULES_H

#include <cstdint>

// 1 when the version query succeeded and names a supported system: a platform id above 2
// (whatever the version), or platform id 2 (Windows NT) with major version 6 or later;
// 0 when bQueryOk is 0, for platform ids 0 and 1, and for platform 2 below version 6.
int IsSupportedWindowsVersion(int bQueryOk, uint32_t dwPlatformId, uint32_t dwMajorVersion);

// 1 when the system counts as 32-bit: the native-info function is missing
// (bHaveNativeInfo 0), or the architecture word is anything but 9 (x64) or 6 (Itanium);
// 0 for those two.
int IsArchitecture32Bit(int bHaveNativeInfo, uint16_t wProcessorArchitecture);

// 1 when creating a named object met one of that name and kind made by someone else: the
// call gave a handle with ERROR_ALREADY_EXISTS (183), or no handle with ERROR_ACCESS_DENIED
// (5), which another program's object gives when its security lets us not open it; 0 for
// anything else (a new object, or a failure such as an object of another kind).
int IsExistingNamedObject(int bHaveHandle, uint32_t dwLastError);

#endif
