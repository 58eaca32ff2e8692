// The installer run: how the setup program is started, what counts as success, when the
// wizard reports, and what happens when the program is gone or the wizard is ended early.
#include <gtest/gtest.h>

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

std::string Joined(std::initializer_list<std::string> paths)
{
    std::string list;
    for (const std::string& path : paths)
        list += (list.empty() ? "" : "|") + path;
    return list;
}

std::string CurrentFolder()
{
    char folder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

TEST(InstallerRun, RunsTheSetupProgramRemovesItsShortcutsAndCloses)
{
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("happy-path");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env({ { "FAKESETUP_CREATE", Joined({ desktop, programs }) },
                                                       { "FAKESETUP_SLEEP_MS", "1500" } }));
    ASSERT_NE(wizard, nullptr);

    Click(wizard, kNext);
    ASSERT_TRUE(WaitForMainText(wizard, kFollowInstallerText, 3000)) << "shown: " << ShownText(wizard);
    ASSERT_TRUE(run.WaitForStart(5000)) << "the setup program did not start";
    // While the setup program runs, the wizard only offers End.
    WizardView view = ReadWizard(wizard);
    EXPECT_FALSE(view.back.enabled);
    EXPECT_FALSE(view.next.enabled);
    EXPECT_TRUE(view.end.enabled);
    EXPECT_EQ(view.end.text, kEndCaption);
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the menu-exit mutex is held while the setup program runs";
    EXPECT_TRUE(tool.IsRunning());

    ASSERT_TRUE(tool.WaitForExit(10000)) << "the wizard did not close after the setup program; shown: "
                                         << ShownText(wizard);
    ASSERT_TRUE(run.Has("end_ms")) << "the tool closed before the setup program ended";
    EXPECT_EQ(run.Starts(), 1);
    EXPECT_EQ(run.Values("created"), (std::vector<std::string>{ desktop, programs }))
        << "the setup program could not make the shortcuts it leaves behind";
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop)) << desktop;
    EXPECT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms)) << programs;
    const std::string folder = ShortcutFiles::FolderPath(ShortcutFiles::CommonPrograms) + "\\" + kProgramsFolderName;
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "the start-menu folder must stay: " << folder;
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
}

TEST(InstallerRun, StartsTheSetupProgramByItsPathInTheToolsOwnFolderAndEnvironment)
{
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("start-parameters");
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env());
    ASSERT_NE(wizard, nullptr);

    Click(wizard, kNext);
    ASSERT_TRUE(run.WaitForEnd(10000)) << "the setup program did not run; shown: " << ShownText(wizard);
    EXPECT_TRUE(tool.WaitForExit(10000));

    // The log arriving at all shows that our variables reached the setup program.
    EXPECT_EQ(run.Value("self"), d.SetupPath());
    // The tool passes an empty command line. Wine then gives a child its own quoted path
    // (Windows leaves it empty); anything else came from the tool.
    const std::string commandLine = run.Value("cmdline");
    EXPECT_TRUE(commandLine.empty() || commandLine == "\"" + d.SetupPath() + "\"")
        << "command line: [" << commandLine << "]";
    // The tool started in our folder; the setup program must not be moved to the disc.
    EXPECT_EQ(run.Value("cwd"), CurrentFolder());
}

TEST(InstallerRun, CountsANonzeroExitCodeOfTheSetupProgramAsSuccess)
{
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("exit-code");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::UserDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env({ { "FAKESETUP_CREATE", Joined({ desktop, programs }) },
                                                       { "FAKESETUP_EXIT_CODE", "1603" } }));
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
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("report-delay");
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env({ { "FAKESETUP_SLEEP_MS", "300" } }));
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
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    for (auto folder : { ShortcutFiles::CommonDesktop, ShortcutFiles::UserDesktop, ShortcutFiles::CommonPrograms,
                         ShortcutFiles::UserPrograms })
        ShortcutFiles::Create(folder);
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("disc-gone");
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env());
    ASSERT_NE(wizard, nullptr);

    d.Empty();
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

// Ends the wizard with End while the stand-in runs; the stand-in's pid.
DWORD EndWhileTheSetupProgramRuns(HWND wizard, const SetupRun& run)
{
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
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("end-early");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.EnvHeld({ { "FAKESETUP_CREATE", Joined({ desktop, programs }) } }));
    ASSERT_NE(wizard, nullptr);

    const DWORD pid = EndWhileTheSetupProgramRuns(wizard, run);
    ASSERT_NO_FATAL_FAILURE(ExpectOrderlyExit(tool));
    EXPECT_TRUE(ProcessRuns(pid)) << "the setup program was ended with the tool";
    EXPECT_FALSE(MutexExists(kMenuExitMutex));

    HANDLE setup = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(setup, nullptr);
    run.ReleaseWaitFile();
    EXPECT_EQ(::WaitForSingleObject(setup, 10000), WAIT_OBJECT_0) << "the setup program did not end";
    ::CloseHandle(setup);
    ASSERT_EQ(run.Values("created"), (std::vector<std::string>{ desktop, programs }));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop));
    EXPECT_TRUE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms));
}

// The setup program ends while the wizard is closing (under Wine a windowed process takes
// about 2 s to end): the worker, woken then, must neither clean up nor touch the wizard.
TEST(InstallerRun, SetupProgramEndingWhileTheWizardClosesIsNotCleanedUpAfter)
{
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    SetupRun run("end-race");
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::UserDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::UserPrograms);
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.EnvHeld({ { "FAKESETUP_CREATE", Joined({ desktop, programs }) } }));
    ASSERT_NE(wizard, nullptr);

    EndWhileTheSetupProgramRuns(wizard, run);
    run.ReleaseWaitFile();
    ASSERT_TRUE(run.WaitForEnd(5000)) << "the setup program did not end";
    ASSERT_EQ(run.Values("created"), (std::vector<std::string>{ desktop, programs }));
    ASSERT_NO_FATAL_FAILURE(ExpectOrderlyExit(tool));
    EXPECT_FALSE(ShortcutGoes(ShortcutFiles::UserDesktop, 500)) << "deleted after the wizard had closed";
    EXPECT_FALSE(ShortcutGoes(ShortcutFiles::UserPrograms, 0)) << "deleted after the wizard had closed";
}

}  // namespace
