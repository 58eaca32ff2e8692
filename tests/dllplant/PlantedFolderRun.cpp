// One whole successful run of the program as run-plant.sh placed it: in a folder full of
// planted DLLs (TOOL_EXE_UNDER_TEST), with the Wine settings the script gave this process,
// which the program and the setup program it starts inherit. The script reads the result.
#include <gtest/gtest.h>

#include <cstdio>

#include "SetupRun.h"
#include "TestMachine.h"
#include "ToolDriver.h"
#include "WorkerSteps.h"

using namespace driver;
using namespace expected;
using namespace fakesetup;
using namespace machine;
using namespace steps;

TEST(PlantedFolder, WholeRunWithVersionBoxAndSetupProgram)
{
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("dllplant");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool, run.Env({ { "FAKESETUP_CREATE", desktop + "|" + programs } }));
    ASSERT_NE(wizard, nullptr);
    // The script picks the program's lines out of Wine's trace by this process id.
    std::printf("tool pid %04lx\n", tool.Pid());
    std::fflush(stdout);

    // The version box too, so that every window the program can show is in the trace.
    PressKey(wizard, VK_F5);
    HWND box = tool.WaitForWindow(kVersionBoxCaption, 5000);
    ASSERT_NE(box, nullptr) << "no version box after F5";
    Click(box, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }, 5000));

    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, 10000)) << "shown: " << ShownText(wizard);
    Click(wizard, kNext);
    ASSERT_TRUE(tool.WaitForExit(20000)) << "the wizard did not close, shown: " << ShownText(wizard);
    EXPECT_EQ(run.Starts(), 1) << "the setup program did not run once";
    EXPECT_TRUE(run.Has("created")) << "the setup program made no shortcuts to delete";
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop));
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms));
}
