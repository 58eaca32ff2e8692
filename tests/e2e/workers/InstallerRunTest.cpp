// The installer run: how the setup program is started, what counts as success, when the
// wizard reports, and what happens when the program is gone or the wizard is ended early.
#include "E2eTest.h"

namespace {

std::string CurrentFolder()
{
    char folder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

TEST(InstallerRun, StartsTheSetupProgramByItsPathInTheToolsOwnFolderAndEnvironment)
{
    Machine machine(Machine::DiscInD);
    SetupRun run("start-parameters");
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env());
    ASSERT_NE(wizard, nullptr);

    Click(wizard, kNext);
    ASSERT_TRUE(run.WaitForEnd(10000)) << "the setup program did not run; shown: " << ShownText(wizard);
    EXPECT_TRUE(tool.WaitForExit(10000));

    // The log arriving at all shows that our variables reached the setup program.
    EXPECT_EQ(run.Value("self"), machine.D().SetupPath());
    // The tool passes an empty command line. Wine then gives a child its own quoted path
    // (Windows leaves it empty); anything else came from the tool.
    const std::string commandLine = run.Value("cmdline");
    EXPECT_TRUE(commandLine.empty() || commandLine == "\"" + machine.D().SetupPath() + "\"")
        << "command line: [" << commandLine << "]";
    // The tool started in our folder; the setup program must not be moved to the disc.
    EXPECT_EQ(run.Value("cwd"), CurrentFolder());
}

TEST(InstallerRun, CountsANonzeroExitCodeOfTheSetupProgramAsSuccess)
{
    Machine machine(Machine::DiscInD);
    SetupRun run("exit-code");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::UserDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env(SetupOptions().Creates({ desktop, programs }).ExitsWith(1603)));
    ASSERT_NE(wizard, nullptr);

    Click(wizard, kNext);
    ASSERT_TRUE(run.WaitForEnd(10000)) << "the setup program did not run; shown: " << ShownText(wizard);
    EXPECT_TRUE(tool.WaitForExit(10000)) << "expected the wizard to close, shown: " << ShownText(wizard);
    EXPECT_EQ(run.Values("created").size(), 2u);
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::UserDesktop)) << desktop;
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms)) << programs;
}

TEST(InstallerRun, ReportsSuccessNoEarlierThanHalfASecondAfterTheSetupProgramEnds)
{
    Machine machine(Machine::DiscInD);
    SetupRun run("report-delay");
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env(SetupOptions().RunsFor(300)));
    ASSERT_NE(wizard, nullptr);

    Click(wizard, kNext);
    const double hidden = WaitUntilHidden(wizard, 15000);
    ASSERT_NE(hidden, 0.0) << "the wizard did not close; shown: " << ShownText(wizard);
    ASSERT_TRUE(run.WaitForEnd(3000)) << "the wizard closed, but the setup program did not end";
    const double afterEnd = hidden - run.Number("end_ms");
    EXPECT_GE(afterEnd, 500.0) << "the wizard closed too soon after the setup program ended";
    EXPECT_LT(afterEnd, 3000.0) << "the wizard closed long after the setup program ended";
    EXPECT_TRUE(tool.WaitForExit(5000));
}

TEST(InstallerRun, FailsAtOnceAndTouchesNoShortcutWhenTheProgramLeftTheDisc)
{
    Machine machine(Machine::DiscInD);
    for (auto folder : { ShortcutFiles::CommonDesktop, ShortcutFiles::UserDesktop, ShortcutFiles::CommonPrograms,
                         ShortcutFiles::UserPrograms })
        ShortcutFiles::Create(folder);
    SetupRun run("disc-gone");
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env());
    ASSERT_NE(wizard, nullptr);

    machine.D().Empty();
    Click(wizard, kNext);
    ASSERT_TRUE(WaitForMainText(wizard, kInstallFailedText, 5000)) << "shown: " << ShownText(wizard);

    WizardView view = ReadWizard(wizard);
    EXPECT_FALSE(view.back.enabled);
    EXPECT_FALSE(view.next.enabled);
    EXPECT_TRUE(view.end.enabled);
    EXPECT_TRUE(tool.IsRunning()) << "the wizard closed after a failed start";
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "the failure report releases the menu-exit mutex";
    EXPECT_EQ(run.Starts(), 0);
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::UserDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::UserPrograms));
}

// Walks to ReadyToInstall with a held stand-in that makes these files at its end, and ends the
// wizard with End while the stand-in runs; the stand-in's pid (0 when the walk failed).
DWORD EndWhileTheSetupProgramRuns(ToolProcess& tool, const SetupRun& run, const std::vector<std::string>& made)
{
    HWND wizard = OpenAtReadyToInstall(tool, run.Env(SetupOptions().Creates(made).Held()));
    if (wizard == nullptr)
        return 0;
    Click(wizard, kNext);
    EXPECT_TRUE(WaitForMainText(wizard, kFollowInstallerText, 3000)) << "shown: " << ShownText(wizard);
    EXPECT_TRUE(run.WaitForStart(5000)) << "the setup program did not start";
    const DWORD pid = run.Pid();
    EXPECT_TRUE(ProcessRuns(pid)) << "pid " << pid;

    const double clicked = NowMs();
    Click(wizard, kEnd);
    const double hidden = WaitUntilHidden(wizard, 3000);
    EXPECT_NE(hidden, 0.0) << "the wizard did not close; shown: " << ShownText(wizard);
    EXPECT_LT(hidden - clicked, 1000.0) << "the wizard did not close at once";
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
    ASSERT_TRUE(tool.WaitForExit(10000, &code)) << "the tool went on running after its wizard closed";
    EXPECT_LT(code, 0x80000000ul) << "exit code " << std::hex << code;
}

TEST(InstallerRun, EndWhileTheSetupProgramRunsLeavesTheProgramRunningAndCleansNothing)
{
    Machine machine(Machine::DiscInD);
    SetupRun run("end-early");
    const std::vector<std::string> made = { ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop),
                                            ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms) };
    ToolProcess tool;
    const DWORD pid = EndWhileTheSetupProgramRuns(tool, run, made);
    ASSERT_NE(pid, 0u);
    ASSERT_NO_FATAL_FAILURE(ExpectOrderlyExit(tool));
    EXPECT_TRUE(ProcessRuns(pid)) << "the setup program was ended with the tool";
    EXPECT_FALSE(MutexExists(kMenuExitMutex));

    HANDLE setup = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(setup, nullptr);
    run.ReleaseWaitFile();
    EXPECT_EQ(::WaitForSingleObject(setup, 10000), WAIT_OBJECT_0) << "the setup program did not end";
    ::CloseHandle(setup);
    ASSERT_EQ(run.Values("created"), made);
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms));
}

// The setup program ends while the wizard is closing (under Wine a windowed process takes
// about 2 s to end): the worker, woken then, must neither clean up nor touch the wizard.
TEST(InstallerRun, SetupProgramEndingWhileTheWizardClosesIsNotCleanedUpAfter)
{
    Machine machine(Machine::DiscInD);
    SetupRun run("end-race");
    const std::vector<std::string> made = { ShortcutFiles::PathIn(ShortcutFiles::UserDesktop),
                                            ShortcutFiles::PathIn(ShortcutFiles::UserPrograms) };
    ToolProcess tool;
    ASSERT_NE(EndWhileTheSetupProgramRuns(tool, run, made), 0u);
    run.ReleaseWaitFile();
    ASSERT_TRUE(run.WaitForEnd(5000)) << "the setup program did not end";
    ASSERT_EQ(run.Values("created"), made);
    ASSERT_NO_FATAL_FAILURE(ExpectOrderlyExit(tool));
    EXPECT_FALSE(ShortcutGoes(ShortcutFiles::UserDesktop, 500)) << "deleted after the wizard had closed";
    EXPECT_FALSE(ShortcutGoes(ShortcutFiles::UserPrograms, 0)) << "deleted after the wizard had closed";
}

}  // namespace
