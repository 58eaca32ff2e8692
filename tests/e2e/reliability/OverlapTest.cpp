// Spoofed results let a second worker start while the first still runs. Both searches and
// both installer runs must then finish side by side, and the program end without a crash.
#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace scenario;

namespace {

TEST(Overlap, TwoSearchesThenTwoInstallerRunsSideBySideEndCleanly)
{
    WatchedProgram watched;
    Session session(Machine::NoDisc, Machine::WithLibrary, "overlap");
    SwitchedDisc d(session.TheMachine().D());
    fakesetup::StandIn& run = session.Setup();
    ASSERT_FINE(session.Open(kInsertDisc, fakesetup::SetupOptions().LeavesShortcuts().Held()));
    WizardPage wizard = session.Wizard();

    // The first search runs on (no disc) while a spoofed "not found" leads back to a second.
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, Seconds(3)));
    wizard.Post(kDiscSearchDone, 0);
    ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, Seconds(3)));
    Click(wizard, kBack);
    ASSERT_TRUE(WaitForMainText(wizard, kInsertDiscText, Seconds(3)));
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, Seconds(3)));
    d.Insert();  // both searches find it, each at its next pass
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, Seconds(3))) << "shown: " << wizard.Text();
    ::Sleep(Seconds(1));  // the later of the two reports too
    ASSERT_FINE(wizard.StillShows(kReadyToInstall));

    // The first installer run waits in its setup program while a spoofed "found" leads to a
    // second one from the same path.
    Click(wizard, kNext);
    ASSERT_TRUE(machine::WaitFor([&] { return run.Starts() == 1; }, Seconds(10))) << "shown: " << wizard.Text();
    wizard.Post(kDiscSearchDone, 1);
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, Seconds(3)));
    Click(wizard, kNext);
    ASSERT_TRUE(machine::WaitFor([&] { return run.Starts() == 2; }, Seconds(10))) << "no second setup program";
    EXPECT_TRUE(MutexExists(kMenuExitMutex));

    // Both end together; the first report closes the wizard.
    run.ReleaseWaitFile();
    DWORD code = 1;
    ASSERT_TRUE(session.Tool().WaitForExit(Seconds(15), &code)) << "shown: " << wizard.Text();
    EXPECT_EQ(code, 0u) << "exit code 0x" << std::hex << code;
    EXPECT_TRUE(machine::WaitFor([&] { return run.Count("end_ms") == 2; }, Seconds(10)))
        << run.Count("end_ms") << " of 2 setup programs ended";
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
}

}  // namespace
