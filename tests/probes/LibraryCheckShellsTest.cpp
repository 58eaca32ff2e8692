// The Win32 shell of the library check against a real registry and file system: run under
// wine64 (or Windows) with the Japanese code page, on the machine of ProbeEnvironment.h.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "ProbeEnvironment.h"
#include "probes/FileHelpers.h"
#include "probes/LibraryCheck.h"
#include "rules/PathRules.h"

namespace {

using namespace machine;
using namespace probe_env;
using expected::kAppPathsKey;
using expected::kCurrentVersionKey;

using LibraryCheck = ProbeEnvironment;

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
        {"no App Paths key", [] { DeleteRegistryKey(HKEY_LOCAL_MACHINE, kAppPathsKey); }},
        {"App Paths key without Path", [] { DeleteRegistryValue(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path"); }},
        {"no CommonFilesDir value",
         [] { DeleteRegistryValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir"); }},
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
    DeleteRegistryKey(HKEY_LOCAL_MACHINE, kAppPathsKey);
    char dest[kProbePathSize] = "untouched";
    EXPECT_EQ(0, ReadLibraryPath(dest));
    EXPECT_STREQ("untouched", dest);
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
        ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", row.type, row.bytes)) << row.what;
        EXPECT_EQ(row.installed, IsLibraryInstalled()) << row.what << ": [" << row.bytes.c_str() << "]";
    }
}

TEST_F(LibraryCheck, SemicolonFolderThatExists)
{
    const std::string folder = kRoot + "\\lib;x";
    ASSERT_NO_FATAL_FAILURE(Install(folder));
    EXPECT_EQ(1, IsLibraryInstalled()) << folder;
}

// A registry value as stored, and what a probe reads from it: 1 and the text, or 0 with the
// destination untouched.
struct ValueRow {
    const char* what;
    DWORD type;
    std::string bytes;
    int result;
    std::string expected;
};

TEST_F(LibraryCheck, ValueReadAsByteString)
{
    const std::string a1023(1023, 'a');
    const std::string a1024(1024, 'a');
    const ValueRow rows[] = {
        {"REG_DWORD with a zero byte", REG_DWORD, std::string("abc\0", 4), 1, "abc"},
        {"REG_DWORD of four letters", REG_DWORD, "ABCD", 1, "ABCD"},
        {"REG_BINARY with an inner NUL", REG_BINARY, std::string("ab\0cd", 5), 1, "ab"},
        {"REG_BINARY of 1023 bytes", REG_BINARY, a1023, 1, a1023},
        {"REG_BINARY of 1024 bytes", REG_BINARY, a1024, 0, ""},
        {"REG_SZ of 1022 characters", REG_SZ, WithNul(a1023.substr(1)), 1, a1023.substr(1)},
        {"REG_SZ of 1023 characters", REG_SZ, WithNul(a1023), 0, ""},
        {"REG_SZ in Shift-JIS", REG_SZ, WithNul("C:\\表\\ソ"), 1, "C:\\表\\ソ"},
    };
    for (const ValueRow& row : rows) {
        ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", row.type, row.bytes)) << row.what;
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
    ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", REG_DWORD, std::string("lib\0", 4)));
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
    const ValueRow rows[] = {
        {"32-bit folder", REG_SZ, WithNul("C:\\Program Files (x86)\\Common Files"), 1, "C:\\Program Files\\Common Files"},
        {"capitals only", REG_SZ, WithNul("C:\\PROGRAM FILES (X86)\\Common Files"), 0, ""},
        {"300-byte prefix", REG_SZ, WithNul(prefix300 + "\\Program Files (x86)\\Common Files"), 1,
         prefix300 + "\\Program Files\\Common Files"},
        {"1023 bytes", REG_BINARY, "Program Files" + std::string(1010, 'x'), 1, "Program Files\\Common Files"},
        {"1024 bytes", REG_BINARY, "Program Files" + std::string(1011, 'x'), 0, ""},
    };
    for (const ValueRow& row : rows) {
        ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir", row.type, row.bytes))
            << row.what;
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

} // namespace
