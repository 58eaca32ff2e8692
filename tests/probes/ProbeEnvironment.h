// The test machine the probe shells are tried on: C:\probetest, the App Paths entry and the
// CommonFilesDir value, owned by one test at a time. Every test restores the registry values
// it touches and deletes the files it made, also when it fails.
//
// Tests in different processes of one Wine prefix would race for the same registry
// values, so each fixture holds a named mutex for the length of a test.
//
// Classes: ProbeEnvironment.
#ifndef TESTS_PROBES_PROBEENVIRONMENT_H
#define TESTS_PROBES_PROBEENVIRONMENT_H

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <string>

#include "expected/Expectations.h"
#include "machine/TestMachine.h"

namespace probe_env {

using namespace machine;
using expected::kAppPathsKey;
using expected::kCurrentVersionKey;

inline const std::string kRoot = "C:\\probetest";
// The library below kRoot, its driver below kRoot's own Program Files.
inline const LibraryLayout kLayout{ kRoot + "\\lib", kRoot };
inline const std::string kLibDir = kLayout.folder;
inline const std::string kCommonFilesValue = kLayout.CommonFiles32();
inline const std::string kDerivedCommonFiles = kLayout.CommonFiles64();
inline const std::string kDriverFile = kLayout.DriverFile();
inline const std::string kExeFile = kLayout.ExeFile();
inline const std::string kCfgFile = kLayout.ConfigFile();

// --- registry -----------------------------------------------------------------------------
// Below HKLM in the 64-bit view, which this test and the twin read.

// A string value as RegSetValueExA stores it: the bytes and their NUL.
inline std::string WithNul(const std::string& s)
{
    return std::string(s.c_str(), s.size() + 1);
}

// true when the App Paths "Path" value now holds folder as a REG_SZ.
inline bool SetLibraryPath(const std::string& folder)
{
    return SetRegistryString(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", folder);
}

// true when CommonFilesDir now holds value as a REG_SZ.
inline bool SetCommonFilesDir(const std::string& value)
{
    return SetRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir", value);
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
        char cwd[MAX_PATH * 2] = {};
        cwd_ = GetCurrentDirectoryA(sizeof cwd, cwd) ? cwd : "";
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


}  // namespace probe_env

#endif
