// Spoofed results let a second worker start while the first still runs. Both searches and
// both installer runs must then finish side by side, and the program end without a crash.
#include "E2eTest.h"

namespace {

TEST(Overlap, TwoSearchesThenTwoInstallerRunsSideBySideEndCleanly)
{
    WatchedProgram watched;
    Machine machine;
    SwitchedDisc d(machine.D());
    SetupRun run("overlap");
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool, run.Env(SetupOptions().LeavesShortcuts().Held()));
    ASSERT_NE(wizard, nullptr);

    // The first search runs on (no disc) while a spoofed "not found" leads back to a second.
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, 3000));
    wizard_test::Post(wizard, kDiscSearchDone, 0);
    ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, 3000));
    Click(wizard, kBack);
    ASSERT_TRUE(WaitForMainText(wizard, kInsertDiscText, 3000));
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, 3000));
    d.Insert();  // both searches find it, each at its next pass
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, 3000)) << "shown: " << ShownText(wizard);
    ::Sleep(1000);  // the later of the two reports too
    ASSERT_TRUE(wizard_test::StillShows(wizard, wizard_test::kReadyToInstall));

    // The first installer run waits in its setup program while a spoofed "found" leads to a
    // second one from the same path.
    Click(wizard, kNext);
    ASSERT_TRUE(WaitFor([&] { return run.Starts() == 1; }, 10000)) << "shown: " << ShownText(wizard);
    wizard_test::Post(wizard, kDiscSearchDone, 1);
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, 3000));
    Click(wizard, kNext);
    ASSERT_TRUE(WaitFor([&] { return run.Starts() == 2; }, 10000)) << "no second setup program";
    EXPECT_TRUE(MutexExists(kMenuExitMutex));

    // Both end together; the first report closes the wizard.
    run.ReleaseWaitFile();
    DWORD code = 1;
    ASSERT_TRUE(tool.WaitForExit(15000, &code)) << "shown: " << ShownText(wizard);
    EXPECT_EQ(code, 0u) << "exit code 0x" << std::hex << code;
    EXPECT_TRUE(WaitFor([&] { return run.Count("end_ms") == 2; }, 10000))
        << run.Count("end_ms") << " of 2 setup programs ended";
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
}

}  // namespace
