// The Win32 shells of the environment probes against a real registry and file system:
// run under wine64 (or Windows) with the Japanese code page. Every test restores the
// registry values it touches and deletes the files it made, also when it fails.
//
// Tests in different processes of one Wine prefix would race for the same registry
// values, so each fixture holds a named mutex for the length of a test.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Expectations.h"
#include "TestMachine.h"
#include "probes/FileHelpers.h"
#include "probes/LibraryCheck.h"
#include "probes/PathRules.h"
#include "probes/PlatformChecks.h"

namespace {

using namespace machine;
using expected::kAppPathsKey;
using expected::kCurrentVersionKey;

const std::string kRoot = "C:\\probetest";
// The library below kRoot, its driver below kRoot's own Program Files.
const LibraryLayout kLayout{ kRoot + "\\lib", kRoot };
const std::string kLibDir = kLayout.folder;
const std::string kCommonFilesValue = kLayout.CommonFiles32();
const std::string kDerivedCommonFiles = kLayout.CommonFiles64();
const std::string kDriverFile = kLayout.DriverFile();
const std::string kExeFile = kLayout.ExeFile();
const std::string kCfgFile = kLayout.ConfigFile();

// --- registry -----------------------------------------------------------------------------
// Below HKLM in the 64-bit view, which this test and the twin read.

// true when the value is written, its key created if need be.
bool SetRawValue(const char* subKey, const char* name, DWORD type, const std::string& bytes)
{
    return SetRegistryValue(HKEY_LOCAL_MACHINE, subKey, name, type, bytes);
}

// A string value as RegSetValueExA stores it: the bytes and their NUL.
std::string WithNul(const std::string& s)
{
    return std::string(s.c_str(), s.size() + 1);
}

// true when the App Paths "Path" value now holds folder as a REG_SZ.
bool SetLibraryPath(const std::string& folder)
{
    return SetRegistryString(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", folder);
}

// true when CommonFilesDir now holds value as a REG_SZ.
bool SetCommonFilesDir(const std::string& value)
{
    return SetRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir", value);
}

void DeleteAppPathsKey()
{
    DeleteRegistryKey(HKEY_LOCAL_MACHINE, kAppPathsKey);
}

void DeleteMachineValue(const char* subKey, const char* name)
{
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, subKey, name);
}

std::string CurrentDirectory()
{
    char buf[MAX_PATH * 2] = {};
    GetCurrentDirectoryA(sizeof buf, buf);
    return buf;
}

// --- fixture ----------------------------------------------------------------------------

// Owns C:\probetest, the App Paths entry and the CommonFilesDir value for one test.
class ProbeEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        mutex_ = CreateMutexA(nullptr, FALSE, "Local\\ProbeShellsTest");
        if (mutex_ != nullptr)
            WaitForSingleObject(mutex_, 60000);
        // Saved only once the mutex is held: another process may be changing them before.
        appPaths_.reset(new RegistryValueGuard(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path"));
        commonFiles_.reset(new RegistryValueGuard(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir"));
        cwd_ = CurrentDirectory();
        RemoveTree(kRoot);  // leftovers of a run that was killed
        ASSERT_TRUE(MakeFolders(kRoot)) << "cannot create " << kRoot << ", error " << GetLastError();
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(cwd_.c_str());
        library_.reset();
        appPaths_.reset();
        commonFiles_.reset();
        RemoveTree(kRoot);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kRoot.c_str())) << kRoot << " left behind";
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }

    // A complete installation: library folder with both files, driver, both values. The
    // 64-bit view's CommonFilesDir then names the 32-bit folder, so that the driver is found
    // only through the derivation of the 64-bit one.
    void Install(const std::string& libDir = kLibDir)
    {
        library_.reset();
        library_.reset(new LibraryInstallation(LibraryLayout{ libDir, kRoot }));
        ASSERT_TRUE(library_->Installed()) << libDir << ", error " << GetLastError();
        ASSERT_TRUE(SetCommonFilesDir(kCommonFilesValue));
    }

    // Back to an empty C:\probetest, then a complete installation.
    void Reinstall()
    {
        SetCurrentDirectoryA(cwd_.c_str());
        library_.reset();
        RemoveTree(kRoot);
        ASSERT_TRUE(MakeFolders(kRoot));
        ASSERT_NO_FATAL_FAILURE(Install());
    }

private:
    HANDLE mutex_ = nullptr;
    std::unique_ptr<RegistryValueGuard> appPaths_, commonFiles_;
    std::unique_ptr<LibraryInstallation> library_;
    std::string cwd_;
};

using LibraryCheck = ProbeEnvironment;
using FileHelpers = ProbeEnvironment;

// --- the whole chain --------------------------------------------------------------------

TEST_F(LibraryCheck, CompleteInstallationPasses)
{
    ASSERT_NO_FATAL_FAILURE(Install());
    EXPECT_EQ(1, IsLibraryInstalled());

    char folder[kProbePathSize] = {};
    EXPECT_EQ(1, ReadLibraryPath(folder));
    EXPECT_EQ(kLibDir, folder);
    char commonFiles[kProbePathSize] = {};
    EXPECT_EQ(1, GetCommonFilesDir(commonFiles));
    EXPECT_EQ(kDerivedCommonFiles, commonFiles);
    EXPECT_EQ(1, HasLibraryExe(kLibDir.c_str()));
    EXPECT_EQ(1, HasDriverFile(kDerivedCommonFiles.c_str()));
}

TEST_F(LibraryCheck, EachMissingPieceFails)
{
    struct Row {
        const char* what;
        std::function<void()> breakIt;
    } rows[] = {
        {"no Norvik3.cfg", [] { DeleteFileA(kCfgFile.c_str()); }},
        {"no Norvik3.exe", [] { DeleteFileA(kExeFile.c_str()); }},
        {"no driver file", [] { DeleteFileA(kDriverFile.c_str()); }},
        {"driver only below the 32-bit folder",
         [] {
             DeleteFileA(kDriverFile.c_str());
             MakeFolders(kCommonFilesValue + "\\" + expected::kDriverFolderName);
             MakeFile(kCommonFilesValue + "\\" + expected::kDriverFolderName + "\\" + expected::kDriverFileName);
         }},
        {"no library folder", [] { RemoveTree(kLibDir); }},
        {"no App Paths key", [] { DeleteAppPathsKey(); }},
        {"App Paths key without Path", [] { DeleteMachineValue(kAppPathsKey, "Path"); }},
        {"no CommonFilesDir value", [] { DeleteMachineValue(kCurrentVersionKey, "CommonFilesDir"); }},
        {"Norvik3.cfg is a folder",
         [] {
             DeleteFileA(kCfgFile.c_str());
             CreateDirectoryA(kCfgFile.c_str(), nullptr);
         }},
    };
    for (const Row& row : rows) {
        ASSERT_NO_FATAL_FAILURE(Reinstall());
        ASSERT_EQ(1, IsLibraryInstalled()) << "set-up before: " << row.what;
        row.breakIt();
        EXPECT_EQ(0, IsLibraryInstalled()) << row.what;
    }
}

TEST_F(LibraryCheck, MissingKeyLeavesDestinationUntouched)
{
    ASSERT_NO_FATAL_FAILURE(Install());
    DeleteAppPathsKey();
    char dest[kProbePathSize] = "untouched";
    EXPECT_EQ(0, ReadLibraryPath(dest));
    EXPECT_STREQ("untouched", dest);
    EXPECT_EQ(0, ReadLibraryPath(nullptr));
    EXPECT_EQ(0, GetCommonFilesDir(nullptr));
    EXPECT_EQ(0, HasLibraryExe(nullptr));
    EXPECT_EQ(0, HasDriverFile(nullptr));
}

// --- the Path value: one folder, exactly as stored, whatever its type ----------------------

TEST_F(LibraryCheck, PathValueIsOneFolderAsStored)
{
    struct Row {
        const char* what;
        DWORD type;
        std::string bytes;
        int installed;
    } rows[] = {
        {"folder", REG_SZ, WithNul(kLibDir), 1},
        {"trailing backslash", REG_SZ, WithNul(kLibDir + "\\"), 1},
        {"three trailing backslashes", REG_SZ, WithNul(kLibDir + "\\\\\\"), 1},
        {"names the exe itself", REG_SZ, WithNul(kExeFile), 0},
        {"names a missing folder", REG_SZ, WithNul(kRoot + "\\nothere"), 0},
        {"semicolon list", REG_SZ, WithNul(kLibDir + ";C:\\windows"), 0},
        {"quoted", REG_SZ, WithNul("\"" + kLibDir + "\""), 0},
        {"empty", REG_SZ, WithNul(""), 0},
        {"REG_EXPAND_SZ, plain path", REG_EXPAND_SZ, WithNul(kLibDir), 1},
        {"REG_EXPAND_SZ, not expanded", REG_EXPAND_SZ, WithNul("%SystemDrive%\\probetest\\lib"), 0},
        {"REG_BINARY without terminator", REG_BINARY, kLibDir, 1},
        {"REG_MULTI_SZ, folder first", REG_MULTI_SZ, kLibDir + std::string("\0C:\\windows\0", 13), 1},
        {"REG_MULTI_SZ, folder second", REG_MULTI_SZ, std::string("C:\\windows\0", 11) + WithNul(kLibDir) + std::string(1, '\0'), 0},
    };
    for (const Row& row : rows) {
        ASSERT_NO_FATAL_FAILURE(Reinstall());
        ASSERT_TRUE(SetRawValue(kAppPathsKey, "Path", row.type, row.bytes)) << row.what;
        EXPECT_EQ(row.installed, IsLibraryInstalled()) << row.what << ": [" << row.bytes.c_str() << "]";
    }
}

TEST_F(LibraryCheck, SemicolonFolderThatExists)
{
    const std::string folder = kRoot + "\\lib;x";
    ASSERT_NO_FATAL_FAILURE(Install(folder));
    EXPECT_EQ(1, IsLibraryInstalled()) << folder;
}

TEST_F(LibraryCheck, ValueReadAsByteString)
{
    const std::string a1023(1023, 'a');
    const std::string a1024(1024, 'a');
    struct Row {
        const char* what;
        DWORD type;
        std::string bytes;
        int result;
        std::string expected;
    } rows[] = {
        {"REG_DWORD with a zero byte", REG_DWORD, std::string("abc\0", 4), 1, "abc"},
        {"REG_DWORD of four letters", REG_DWORD, "ABCD", 1, "ABCD"},
        {"REG_BINARY with an inner NUL", REG_BINARY, std::string("ab\0cd", 5), 1, "ab"},
        {"REG_BINARY of 1023 bytes", REG_BINARY, a1023, 1, a1023},
        {"REG_BINARY of 1024 bytes", REG_BINARY, a1024, 0, ""},
        {"REG_SZ of 1022 characters", REG_SZ, WithNul(a1023.substr(1)), 1, a1023.substr(1)},
        {"REG_SZ of 1023 characters", REG_SZ, WithNul(a1023), 0, ""},
        {"REG_SZ in Shift-JIS", REG_SZ, WithNul("C:\\表\\ソ"), 1, "C:\\表\\ソ"},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(SetRawValue(kAppPathsKey, "Path", row.type, row.bytes)) << row.what;
        char dest[kProbePathSize];
        std::memset(dest, 0x55, sizeof dest);
        dest[sizeof dest - 1] = '\0';
        const std::string before = dest;
        EXPECT_EQ(row.result, ReadLibraryPath(dest)) << row.what;
        EXPECT_EQ(row.result ? row.expected : before, std::string(dest)) << row.what;
    }
}

TEST_F(LibraryCheck, RelativeFolders)
{
    ASSERT_NO_FATAL_FAILURE(Install());
    // A REG_DWORD that spells "lib": read as a string, it is a folder relative to the
    // current directory.
    ASSERT_TRUE(SetRawValue(kAppPathsKey, "Path", REG_DWORD, std::string("lib\0", 4)));
    ASSERT_TRUE(SetCurrentDirectoryA(kRoot.c_str()));
    EXPECT_EQ(1, IsLibraryInstalled()) << "from " << kRoot;
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ(0, IsLibraryInstalled()) << "from C:\\";

    // A relative CommonFilesDir makes the driver relative to the current directory too.
    ASSERT_TRUE(SetLibraryPath(kLibDir));
    ASSERT_TRUE(SetCommonFilesDir("Program Files (x86)\\Common Files"));
    ASSERT_TRUE(SetCurrentDirectoryA(kRoot.c_str()));
    EXPECT_EQ(1, IsLibraryInstalled()) << "from " << kRoot;
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ(0, IsLibraryInstalled()) << "from C:\\";
}

// --- the CommonFilesDir value ---------------------------------------------------------------

TEST_F(LibraryCheck, CommonFilesDirDerivation)
{
    const std::string prefix300 = "C:\\" + std::string(297, 'p');
    struct Row {
        const char* what;
        DWORD type;
        std::string bytes;
        int result;
        std::string expected;
    } rows[] = {
        {"32-bit folder", REG_SZ, WithNul("C:\\Program Files (x86)\\Common Files"), 1, "C:\\Program Files\\Common Files"},
        {"capitals only", REG_SZ, WithNul("C:\\PROGRAM FILES (X86)\\Common Files"), 0, ""},
        {"300-byte prefix", REG_SZ, WithNul(prefix300 + "\\Program Files (x86)\\Common Files"), 1,
         prefix300 + "\\Program Files\\Common Files"},
        {"1023 bytes", REG_BINARY, "Program Files" + std::string(1010, 'x'), 1, "Program Files\\Common Files"},
        {"1024 bytes", REG_BINARY, "Program Files" + std::string(1011, 'x'), 0, ""},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(SetRawValue(kCurrentVersionKey, "CommonFilesDir", row.type, row.bytes)) << row.what;
        char dest[kProbePathSize] = "untouched";
        EXPECT_EQ(row.result, GetCommonFilesDir(dest)) << row.what;
        EXPECT_EQ(row.result ? row.expected : std::string("untouched"), std::string(dest)) << row.what;
    }
}

TEST_F(LibraryCheck, CapitalisedCommonFilesDirFailsAlthoughTheDriverIsThere)
{
    ASSERT_NO_FATAL_FAILURE(Install());
    // The file system ignores case, so only the derivation can refuse this one.
    ASSERT_TRUE(SetCommonFilesDir(kRoot + "\\PROGRAM FILES (X86)\\Common Files"));
    ASSERT_EQ(1, IsPlainFile((kRoot + "\\PROGRAM FILES\\COMMON FILES\\TALMO\\WOPX64.SYS").c_str()));
    EXPECT_EQ(0, IsLibraryInstalled());
}

// --- attributes of the probed files ---------------------------------------------------------

TEST_F(LibraryCheck, AttributesOfTheProbedFiles)
{
    struct Row {
        const char* what;
        const std::string* file;
        DWORD attrs;
        int installed;
    } rows[] = {
        {"hidden exe", &kExeFile, FILE_ATTRIBUTE_HIDDEN, 1},
        {"read-only exe", &kExeFile, FILE_ATTRIBUTE_READONLY, 1},
        {"system exe", &kExeFile, FILE_ATTRIBUTE_SYSTEM, 0},
        {"hidden read-only cfg", &kCfgFile, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, 1},
        {"system cfg", &kCfgFile, FILE_ATTRIBUTE_SYSTEM, 0},
        {"hidden driver", &kDriverFile, FILE_ATTRIBUTE_HIDDEN, 1},
        {"system driver", &kDriverFile, FILE_ATTRIBUTE_SYSTEM, 0},
        {"hidden library folder", &kLibDir, FILE_ATTRIBUTE_HIDDEN, 1},
    };
    for (const Row& row : rows) {
        ASSERT_NO_FATAL_FAILURE(Reinstall());
        ASSERT_TRUE(SetFileAttributesA(row.file->c_str(), row.attrs)) << row.what;
        const DWORD now = GetFileAttributesA(row.file->c_str());
        ASSERT_EQ(row.attrs, now & row.attrs) << row.what << ": attribute did not stick, now 0x" << std::hex << now;
        EXPECT_EQ(row.installed, IsLibraryInstalled()) << row.what;
        SetFileAttributesA(row.file->c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// --- Shift-JIS folders ------------------------------------------------------------------------

TEST_F(LibraryCheck, JapaneseFoldersWithTrailByte5C)
{
    ASSERT_EQ(932u, GetACP()) << "run with LANG=ja_JP.UTF-8: the tool's paths are Shift-JIS";
    struct Row {
        std::string folder;
        std::string pathValue;
    } rows[] = {
        {kRoot + "\\表", kRoot + "\\表"},
        {kRoot + "\\表", kRoot + "\\表\\"},
        {kRoot + "\\ソ", kRoot + "\\ソ\\\\"},
        {kRoot + "\\機能", kRoot + "\\機能\\"},
        {kRoot + "\\十\\予", kRoot + "\\十\\予\\"},
    };
    for (const Row& row : rows) {
        ASSERT_NO_FATAL_FAILURE(Reinstall());
        ASSERT_TRUE(MakeFolders(row.folder)) << row.folder;
        const LibraryLayout japanese{ row.folder, kRoot };
        ASSERT_TRUE(MakeFile(japanese.ExeFile())) << row.folder;
        ASSERT_TRUE(MakeFile(japanese.ConfigFile())) << row.folder;
        ASSERT_TRUE(SetLibraryPath(row.pathValue));
        EXPECT_EQ(1, IsLibraryInstalled()) << "Path [" << row.pathValue << "]";
    }
}

TEST_F(LibraryCheck, JapaneseCommonFilesFolder)
{
    ASSERT_EQ(932u, GetACP());
    ASSERT_NO_FATAL_FAILURE(Install());
    const LibraryLayout japanese{ kLibDir, kRoot + "\\予定表" };
    ASSERT_TRUE(MakeFolders(japanese.DriverFolder()));
    ASSERT_TRUE(MakeFile(japanese.DriverFile()));
    DeleteFileA(kDriverFile.c_str());
    ASSERT_TRUE(SetCommonFilesDir(japanese.CommonFiles32()));
    EXPECT_EQ(1, IsLibraryInstalled());
}

// --- long folders ----------------------------------------------------------------------------

// A path the A-functions take is limited to MAX_PATH characters after conversion, not
// bytes: 300 bytes of double-byte characters fit, 300 single-byte ones do not.
TEST_F(LibraryCheck, FolderOf300Bytes)
{
    ASSERT_EQ(932u, GetACP());
    struct Row {
        const char* what;
        std::string unit;
        int installed;
    } rows[] = {
        {"double-byte characters", "表", 1},
        {"single-byte characters", "ab", 0},
    };
    for (const Row& row : rows) {
        ASSERT_NO_FATAL_FAILURE(Reinstall());
        std::string folder = kRoot;
        while (folder.size() < 300) {
            folder += "\\";
            for (int i = 0; i < 40 && folder.size() < 300; ++i)
                folder += row.unit;
        }
        ASSERT_EQ(300u, folder.size());
        // The machine makes them through the wide functions, which take long paths.
        const LibraryLayout longLayout{ folder, kRoot };
        ASSERT_TRUE(MakeFolders(folder)) << row.what;
        ASSERT_TRUE(MakeFile(longLayout.ExeFile())) << row.what;
        ASSERT_TRUE(MakeFile(longLayout.ConfigFile())) << row.what;
        ASSERT_TRUE(SetLibraryPath(folder));
        char read[kProbePathSize] = {};
        EXPECT_EQ(1, ReadLibraryPath(read)) << row.what;
        EXPECT_EQ(folder, read) << row.what;
        EXPECT_EQ(row.installed, IsLibraryInstalled()) << row.what;
    }
}

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
    EXPECT_EQ(0, IsPlainFile(nullptr));
    EXPECT_EQ(0, IsDirectory(nullptr));
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
    EXPECT_EQ(E_POINTER, GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY));
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
