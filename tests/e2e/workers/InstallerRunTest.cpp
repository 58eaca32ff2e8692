// The installer run: how the setup program is started, what counts as success, when the
// wizard reports, and what happens when the program is gone or the wizard is ended early.
#include "E2e.h"

using namespace driver;
using namespace expected;
using fakesetup::SetupOptions;
using namespace machine;
using namespace scenario;

namespace {

std::string CurrentFolder()
{
    char folder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

TEST(InstallerRun, StartsTheSetupProgramByItsPathInTheToolsOwnFolderAndEnvironment)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "start-parameters");
    ASSERT_FINE(session.Open(kReadyToInstall));
    fakesetup::StandIn& run = session.Setup();

    Click(session.Wizard(), kNext);
    ASSERT_TRUE(run.WaitForEnd(Seconds(10))) << "the setup program did not run; shown: " << session.Wizard().Text();
    EXPECT_TRUE(session.Tool().WaitForExit(Seconds(10)));

    // The log arriving at all shows that our variables reached the setup program.
    const std::string path = session.TheMachine().D().SetupPath();
    EXPECT_EQ(run.Value("self"), path);
    // The tool passes an empty command line. Wine then gives a child its own quoted path
    // (Windows leaves it empty); anything else came from the tool.
    const std::string commandLine = run.Value("cmdline");
    EXPECT_TRUE(commandLine.empty() || commandLine == "\"" + path + "\"") << "command line: [" << commandLine << "]";
    // The tool started in our folder; the setup program must not be moved to the disc.
    EXPECT_EQ(run.Value("cwd"), CurrentFolder());
}

TEST(InstallerRun, CountsANonzeroExitCodeOfTheSetupProgramAsSuccess)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "exit-code");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::UserDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    ASSERT_FINE(session.Open(kReadyToInstall, SetupOptions().Creates({ desktop, programs }).ExitsWith(1603)));
    WizardPage wizard = session.Wizard();

    Click(wizard, kNext);
    ASSERT_TRUE(session.Setup().WaitForEnd(Seconds(10))) << "the setup program did not run; shown: " << wizard.Text();
    EXPECT_TRUE(session.Tool().WaitForExit(Seconds(10))) << "expected the wizard to close, shown: " << wizard.Text();
    EXPECT_EQ(session.Setup().Values("created").size(), 2u);
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::UserDesktop)) << desktop;
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms)) << programs;
}

TEST(InstallerRun, ReportsSuccessNoEarlierThanHalfASecondAfterTheSetupProgramEnds)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "report-delay");
    ASSERT_FINE(session.Open(kReadyToInstall, SetupOptions().RunsFor(300)));
    WizardPage wizard = session.Wizard();

    Click(wizard, kNext);
    const double hidden = WaitUntilHidden(wizard, Seconds(15));
    ASSERT_NE(hidden, 0.0) << "the wizard did not close; shown: " << wizard.Text();
    ASSERT_TRUE(session.Setup().WaitForEnd(Seconds(3))) << "the wizard closed, but the setup program did not end";
    const double afterEnd = hidden - session.Setup().Number("end_ms");
    EXPECT_GE(afterEnd, 500.0) << "the wizard closed too soon after the setup program ended";
    EXPECT_LT(afterEnd, Seconds(3)) << "the wizard closed long after the setup program ended";
    EXPECT_TRUE(session.Tool().WaitForExit(Seconds(5)));
}

TEST(InstallerRun, FailsAtOnceAndTouchesNoShortcutWhenTheProgramLeftTheDisc)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "disc-gone");
    for (auto folder : { ShortcutFiles::CommonDesktop, ShortcutFiles::UserDesktop, ShortcutFiles::CommonPrograms,
                         ShortcutFiles::UserPrograms })
        ShortcutFiles::Create(folder);
    ASSERT_FINE(session.Open(kReadyToInstall));
    WizardPage wizard = session.Wizard();

    session.TheMachine().D().Empty();
    Click(wizard, kNext);
    ASSERT_TRUE(WaitForMainText(wizard, kInstallFailedText, Seconds(5))) << "shown: " << wizard.Text();

    WizardView view = ReadWizard(wizard);
    EXPECT_FALSE(view.back.enabled);
    EXPECT_FALSE(view.next.enabled);
    EXPECT_TRUE(view.end.enabled);
    EXPECT_TRUE(session.Tool().IsRunning()) << "the wizard closed after a failed start";
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "the failure report releases the menu-exit mutex";
    EXPECT_EQ(session.Setup().Starts(), 0);
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::UserDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::UserPrograms));
}

// Walks to ReadyToInstall with a held stand-in that makes these files at its end, and ends the
// wizard with End while the stand-in runs; the stand-in's pid (0 when the walk failed).
DWORD EndWhileTheSetupProgramRuns(Session& session, const std::vector<std::string>& made)
{
    EXPECT_FINE(session.Open(kReadyToInstall, SetupOptions().Creates(made).Held()));
    WizardPage wizard = session.Wizard();
    if (wizard == nullptr)
        return 0;
    Click(wizard, kNext);
    EXPECT_TRUE(WaitForMainText(wizard, kFollowInstallerText, Seconds(3))) << "shown: " << wizard.Text();
    EXPECT_TRUE(session.Setup().WaitForStart(Seconds(5))) << "the setup program did not start";
    const DWORD pid = session.Setup().Pid();
    EXPECT_TRUE(ProcessRuns(pid)) << "pid " << pid;

    const double clicked = NowMs();
    Click(wizard, kEnd);
    const double hidden = WaitUntilHidden(wizard, Seconds(3));
    EXPECT_NE(hidden, 0.0) << "the wizard did not close; shown: " << wizard.Text();
    EXPECT_LT(hidden - clicked, Seconds(1)) << "the wizard did not close at once";
    return pid;
}

bool ShortcutGoes(ShortcutFiles::Folder folder, DWORD ms)
{
    return WaitFor([&] { return !ShortcutFiles::Exists(folder); }, ms);
}

// The tool is an elevated program that ended normally; a crash would show an exception code.
void ExpectOrderlyExit(ToolProcess& tool)
{
    DWORD code = 0;
    ASSERT_TRUE(tool.WaitForExit(Seconds(10), &code)) << "the tool went on running after its wizard closed";
    EXPECT_LT(code, 0x80000000ul) << "exit code " << std::hex << code;
}

TEST(InstallerRun, EndWhileTheSetupProgramRunsLeavesTheProgramRunningAndCleansNothing)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "end-early");
    const std::vector<std::string> made = { ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop),
                                            ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms) };
    const DWORD pid = EndWhileTheSetupProgramRuns(session, made);
    ASSERT_NE(pid, 0u);
    ASSERT_NO_FATAL_FAILURE(ExpectOrderlyExit(session.Tool()));
    EXPECT_TRUE(ProcessRuns(pid)) << "the setup program was ended with the tool";
    EXPECT_FALSE(MutexExists(kMenuExitMutex));

    HANDLE setup = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(setup, nullptr);
    session.Setup().ReleaseWaitFile();
    EXPECT_EQ(::WaitForSingleObject(setup, Seconds(10)), WAIT_OBJECT_0) << "the setup program did not end";
    ::CloseHandle(setup);
    ASSERT_EQ(session.Setup().Values("created"), made);
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms));
}

// The setup program ends while the wizard is closing (under Wine a windowed process takes
// about 2 s to end): the worker, woken then, must neither clean up nor touch the wizard.
TEST(InstallerRun, SetupProgramEndingWhileTheWizardClosesIsNotCleanedUpAfter)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "end-race");
    const std::vector<std::string> made = { ShortcutFiles::PathIn(ShortcutFiles::UserDesktop),
                                            ShortcutFiles::PathIn(ShortcutFiles::UserPrograms) };
    ASSERT_NE(EndWhileTheSetupProgramRuns(session, made), 0u);
    session.Setup().ReleaseWaitFile();
    ASSERT_TRUE(session.Setup().WaitForEnd(Seconds(5))) << "the setup program did not end";
    ASSERT_EQ(session.Setup().Values("created"), made);
    ASSERT_NO_FATAL_FAILURE(ExpectOrderlyExit(session.Tool()));
    EXPECT_FALSE(ShortcutGoes(ShortcutFiles::UserDesktop, Seconds(0.5))) << "deleted after the wizard had closed";
    EXPECT_FALSE(ShortcutGoes(ShortcutFiles::UserPrograms, 0)) << "deleted after the wizard had closed";
}

}  // namespace
