// The Win32 shells of the file, folder and platform probes against a real file system and
// shell: run under wine64 (or Windows) with the Japanese code page.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "ProbeEnvironment.h"
#include "probes/FileHelpers.h"
#include "probes/LibraryCheck.h"
#include "rules/PathRules.h"
#include "probes/PlatformChecks.h"

namespace {

using namespace machine;
using namespace probe_env;

using FileHelpers = ProbeEnvironment;

// --- IsPlainFile and IsDirectory ----------------------------------------------------------

TEST_F(FileHelpers, PlainFilesAndFolders)
{
    ASSERT_TRUE(MakeFolders(kRoot + "\\dir"));
    ASSERT_TRUE(MakeFile(kRoot + "\\file.txt"));
    struct Row {
        std::string path;
        int plain;
        int folder;
    } rows[] = {
        {kRoot + "\\file.txt", 1, 0},
        {kRoot + "\\dir", 0, 1},
        {kRoot + "\\dir\\", 0, 1},
        {kRoot + "\\missing", 0, 0},
        {kRoot + "\\missing\\file.txt", 0, 0},
        {"C:\\", 0, 1},
        {"", 0, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.plain, IsPlainFile(row.path.c_str())) << "IsPlainFile [" << row.path << "]";
        EXPECT_EQ(row.folder, IsDirectory(row.path.c_str())) << "IsDirectory [" << row.path << "]";
    }
}

TEST_F(FileHelpers, AttributesThatStickUnderWine)
{
    // TEMPORARY, COMPRESSED and DEVICE cannot be produced here, SYSTEM and READONLY do
    // not stick on folders: those are covered by the rules' own tests.
    struct Row {
        const char* what;
        bool folder;
        DWORD attrs;
        int passes;
    } rows[] = {
        {"hidden file", false, FILE_ATTRIBUTE_HIDDEN, 1},
        {"read-only file", false, FILE_ATTRIBUTE_READONLY, 1},
        {"system file", false, FILE_ATTRIBUTE_SYSTEM, 0},
        {"hidden system file", false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0},
        {"hidden folder", true, FILE_ATTRIBUTE_HIDDEN, 1},
    };
    for (const Row& row : rows) {
        const std::string path = kRoot + (row.folder ? "\\d" : "\\f");
        ASSERT_TRUE(row.folder ? MakeFolders(path) : MakeFile(path)) << row.what;
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), row.attrs)) << row.what;
        const DWORD now = GetFileAttributesA(path.c_str());
        ASSERT_EQ(row.attrs, now & row.attrs) << row.what << ": attribute did not stick, now 0x" << std::hex << now;
        EXPECT_EQ(row.passes, row.folder ? IsDirectory(path.c_str()) : IsPlainFile(path.c_str())) << row.what;
        EXPECT_EQ(0, row.folder ? IsPlainFile(path.c_str()) : IsDirectory(path.c_str())) << row.what;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(path);
        DeleteFileA(path.c_str());
    }
}

TEST_F(FileHelpers, ShiftJisNames)
{
    ASSERT_EQ(932u, GetACP());
    ASSERT_TRUE(MakeFolders(kRoot + "\\表"));
    ASSERT_TRUE(MakeFile(kRoot + "\\表\\ソ.txt"));
    EXPECT_EQ(1, IsDirectory((kRoot + "\\表").c_str()));
    EXPECT_EQ(1, IsPlainFile((kRoot + "\\表\\ソ.txt").c_str()));
    EXPECT_EQ(0, IsPlainFile((kRoot + "\\表").c_str()));
}

// --- GetSpecialFolderPath -----------------------------------------------------------------

TEST(SpecialFolders, AgreeWithSHGetFolderPath)
{
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        char expected[MAX_PATH] = {};
        ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, expected)) << "CSIDL " << csidl;
        char dest[kProbePathSize];
        std::memset(dest, 'x', sizeof dest);
        EXPECT_EQ(S_OK, GetSpecialFolderPath(dest, csidl)) << "CSIDL " << csidl;
        EXPECT_NE('\0', dest[0]) << "CSIDL " << csidl;
        EXPECT_STREQ(expected, dest) << "CSIDL " << csidl;
    }
}

TEST(SpecialFolders, NoPathGivesEmptyDestination)
{
    struct Row {
        int csidl;
        bool lookupFails;
        const char* what;
    } rows[] = {
        {0x7F, true, "unknown CSIDL"},
        {CSIDL_DRIVES, false, "virtual folder without a file-system path"},
    };
    for (const Row& row : rows) {
        char dest[kProbePathSize];
        std::memset(dest, 'x', sizeof dest);
        const HRESULT hr = GetSpecialFolderPath(dest, row.csidl);
        EXPECT_EQ(row.lookupFails, FAILED(hr)) << row.what << ": hr 0x" << std::hex << hr;
        EXPECT_STREQ("", dest) << row.what;
    }
}

// --- null arguments -------------------------------------------------------------------------

TEST(ProbeShells, RefuseNullArguments)
{
    const struct {
        const char* what;
        long (*call)();
        long refused;
    } rows[] = {
        {"ReadLibraryPath", [] { return long(ReadLibraryPath(nullptr)); }, 0},
        {"GetCommonFilesDir", [] { return long(GetCommonFilesDir(nullptr)); }, 0},
        {"HasLibraryExe", [] { return long(HasLibraryExe(nullptr)); }, 0},
        {"HasDriverFile", [] { return long(HasDriverFile(nullptr)); }, 0},
        {"IsPlainFile", [] { return long(IsPlainFile(nullptr)); }, 0},
        {"IsDirectory", [] { return long(IsDirectory(nullptr)); }, 0},
        {"GetSpecialFolderPath", [] { return long(GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY)); }, E_POINTER},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.refused, row.call()) << row.what;
}

// --- platform -------------------------------------------------------------------------------

TEST(PlatformChecks, SixtyFourBitWineSeven)
{
    // wine64 reports Windows 7 (6.1, platform 2) on an x64 machine.
    EXPECT_EQ(1, IsVistaOrLater());
    EXPECT_EQ(0, Is32BitSystem());
}

// Wine reports, per program, the Windows version named under
// HKCU\Software\Wine\AppDefaults\<exe>\Version; the child prints nothing and answers with
// its exit code, IsVistaOrLater * 2 + Is32BitSystem.
TEST(PlatformChecks, OtherReportedVersions)
{
    if (GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version") == nullptr)
        GTEST_SKIP() << "needs Wine's per-program Windows version";
    char self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string child = self;
    child = child.substr(0, child.find_last_of('\\') + 1) + "probe_platform_child.exe";
    ASSERT_EQ(1, IsPlainFile(child.c_str())) << child;

    const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\probe_platform_child.exe";
    struct Row {
        const char* version;
        DWORD expected;
        const char* what;
    } rows[] = {
        {"win7", 2, "6.1: supported, 64-bit"},
        {"vista", 2, "6.0: supported"},
        {"win10", 2, "10.0: supported"},
        {"win2003", 0, "5.2: refused"},
        {"winxp64", 0, "5.2 x64: refused"},
        {"win2k", 0, "5.0: refused"},
        {"win98", 0, "platform 1, 4.10: refused"},
    };
    for (const Row& row : rows) {
        RegistryValueGuard version(HKEY_CURRENT_USER, kAppDefaults, "Version");
        ASSERT_TRUE(version.SetString(row.version)) << row.version;

        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string cmd = "\"" + child + "\"";
        DWORD code = 0xDEAD;
        if (CreateProcessA(child.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, 30000);
            GetExitCodeProcess(pi.hProcess, &code);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        EXPECT_EQ(row.expected, code) << row.version << " (" << row.what << ")";
    }
}

} // namespace
