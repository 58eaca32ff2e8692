// Which systems the tool accepts, decided from what the version and architecture queries
// report.
#include <gtest/gtest.h>

#include "rules/PlatformRules.h"

namespace {

TEST(SupportedWindowsVersion, ByPlatformAndMajorVersion)
{
    struct Row {
        int queryOk;
        uint32_t platform;
        uint32_t major;
        int expected;
        const char* what;
    } rows[] = {
        {1, 2, 6, 1, "Vista 6.0 and Windows 7 6.1 (the minor version is no input)"},
        {1, 2, 10, 1, "Windows 10"},
        {1, 2, 0xFFFFFFFF, 1, "largest major version"},
        {1, 2, 5, 0, "Windows 2000 5.0 to Server 2003 5.2"},
        {1, 2, 4, 0, "NT 4"},
        {1, 2, 0, 0, "NT with major 0"},
        {1, 1, 6, 0, "Windows 9x family, even with a high version"},
        {1, 1, 4, 0, "Windows 98"},
        {1, 0, 10, 0, "Win32s"},
        {1, 3, 0, 1, "platform above NT, major 0"},
        {1, 3, 10, 1, "platform above NT"},
        {1, 0xFFFFFFFF, 0, 1, "largest platform id, compared unsigned"},
        {0, 2, 10, 0, "query failed, fields look fine"},
        {0, 3, 0, 0, "query failed, platform above NT"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, IsSupportedWindowsVersion(row.queryOk, row.platform, row.major))
            << row.what << ": ok " << row.queryOk << ", platform " << row.platform << ", major " << row.major;
}

TEST(Architecture32Bit, ByArchitectureWord)
{
    struct Row {
        int haveNativeInfo;
        uint16_t arch;
        int expected;
        const char* what;
    } rows[] = {
        {1, 9, 0, "AMD64"},
        {1, 6, 0, "IA64"},
        {1, 0, 1, "INTEL"},
        {1, 5, 1, "ARM"},
        {1, 12, 1, "ARM64"},
        {1, 10, 1, "IA32 on WIN64"},
        {1, 0xFFFF, 1, "UNKNOWN"},
        {1, 8, 1, "neighbour of AMD64 below"},
        {1, 7, 1, "neighbour of IA64 above"},
        {0, 9, 1, "native-info function missing, word is stale"},
        {0, 0, 1, "native-info function missing"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, IsArchitecture32Bit(row.haveNativeInfo, row.arch))
            << row.what << ": have " << row.haveNativeInfo << ", arch " << row.arch;
}

// Whether creating a named object met one that someone else made.
TEST(ExistingNamedObject, ByHandleAndLastError)
{
    EXPECT_EQ(1, IsExistingNamedObject(1, 183)) << "opened the existing object (ERROR_ALREADY_EXISTS)";
    EXPECT_EQ(1, IsExistingNamedObject(0, 5)) << "an object whose security lets us not open it (ERROR_ACCESS_DENIED)";
    EXPECT_EQ(0, IsExistingNamedObject(1, 0)) << "a new object";
    EXPECT_EQ(0, IsExistingNamedObject(0, 183)) << "ERROR_ALREADY_EXISTS without a handle";
    EXPECT_EQ(0, IsExistingNamedObject(1, 5)) << "ERROR_ACCESS_DENIED left over, with a handle";
    EXPECT_EQ(0, IsExistingNamedObject(0, 6)) << "another failure (an object of another kind: ERROR_INVALID_HANDLE)";
}

} // namespace
