// The file users get, run once as they run it: the i686 release under 32-bit Wine (emulated
// by qemu here, so every wait is long), with the library installed and the add-on disc in
// drive D:. A 32-bit process reads the 32-bit registry view, as on 64-bit Windows.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "SetupRun.h"
#include "TestMachine.h"
#include "ToolDriver.h"
#include "WorkerSteps.h"

using namespace driver;
using namespace expected;
using namespace fakesetup;
using namespace machine;
using namespace steps;

namespace {

// Starting the emulated loader and the program takes about a minute; every step after that
// runs emulated code too.
const DWORD kStartMs = 240000, kStepMs = 60000;

bool FirstLineIsEnabled(const std::string& unixPath)
{
    std::ifstream in("Z:" + unixPath);
    std::string line;
    return std::getline(in, line) && line == "enabled";
}

// The kernel runs no 32-bit ELF program here; 32-bit Wine runs only when binfmt_misc hands
// i386 programs to qemu.
bool CanRunI386()
{
    const std::string folder = "/proc/sys/fs/binfmt_misc/";
    if (!FirstLineIsEnabled(folder + "status"))
        return false;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA(("Z:" + folder + "qemu-i386*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool enabled = false;
    do
        enabled = enabled || FirstLineIsEnabled(folder + fd.cFileName);
    while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return enabled;
}

}  // namespace

TEST(ReleaseOnI686, WholeRunRemovesTheShortcutsAndEnds)
{
    if (!CanRunI386())
        GTEST_SKIP() << "i686 smoke skipped: no enabled qemu-i386 entry in /proc/sys/fs/binfmt_misc";

    // Both registry views, the 32-bit CommonFilesDir (which Wine may leave unexpanded) included.
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("i686");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);

    ToolProcess tool;
    ASSERT_TRUE(tool.Start(run.EnvHeld({ { "FAKESETUP_CREATE", desktop + "|" + programs } })))
        << "could not start " << ToolExePath();
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(tool.Handle(), &wow64) && wow64) << ToolExePath() << " is not a 32-bit program";
    HWND wizard = tool.WaitForWizard(kStartMs);
    ASSERT_NE(wizard, nullptr) << "no wizard window";
    // Welcome has its text in the intro control; any other first step would not.
    ASSERT_TRUE(WaitFor([&] { return ReadControl(wizard, kIntro).visible; }, kStepMs))
        << "expected Welcome, shown: " << ShownText(wizard);

    Click(wizard, kNext);
    ASSERT_TRUE(WaitForMainText(wizard, kInsertDiscText, kStepMs)) << "shown: " << ShownText(wizard);
    Click(wizard, kNext);
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, kStepMs)) << "shown: " << ShownText(wizard);
    Click(wizard, kNext);
    ASSERT_TRUE(WaitForMainText(wizard, kFollowInstallerText, kStepMs)) << "shown: " << ShownText(wizard);
    ASSERT_TRUE(run.WaitForStart(kStepMs)) << "the setup program did not start";

    run.ReleaseWaitFile();
    ASSERT_TRUE(tool.WaitForExit(kStepMs)) << "the program did not end, shown: " << ShownText(wizard);
    EXPECT_EQ(run.Starts(), 1);
    EXPECT_TRUE(run.Has("created")) << "the setup program made no shortcuts to delete";
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop)) << desktop;
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms)) << programs;
}
