// How the steps change on Next, Back, End and the private messages, and when the wizard
// holds the menu-exit mutex.
#include "E2eTest.h"

namespace {

// Sets a static's text from outside, to see whether a later message presents the step anew.
void OverwriteText(HWND wizard, int id, const char* text)
{
    ::SendMessageTimeoutA(::GetDlgItem(wizard, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 2000, nullptr);
}

const char kForeignText[] = "written from outside";

TEST(MenuExitMutex, HeldFromNextOnWelcomeUntilBack)
{
    ASSERT_FALSE(MutexExists(kMenuExitMutex)) << "left over from elsewhere";
    WizardRun run;
    ASSERT_TRUE(run.Start(kWelcome));
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "on Welcome";
    // Twice: Back must really let go, so that the second Next creates the mutex anew.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        Click(run.Wizard(), kNext);
        ASSERT_TRUE(ShowsStep(run.Wizard(), kInsertDisc));
        EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "on InsertDisc";
        Click(run.Wizard(), kBack);
        ASSERT_TRUE(ShowsStep(run.Wizard(), kWelcome));
        EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "after Back on InsertDisc";
    }
}

TEST(MenuExitMutex, AlreadyHeldElsewhereTheWizardGoesOnHoldingNothing)
{
    WizardRun run;
    ASSERT_TRUE(run.Start(kWelcome));

    // While InsertDisc shows, the name must vanish with our handle: the wizard closed its own.
    HANDLE ours = ::CreateMutexA(nullptr, FALSE, kMenuExitMutex);
    ASSERT_NE(ours, nullptr);
    Click(run.Wizard(), kNext);
    ASSERT_TRUE(ShowsStep(run.Wizard(), kInsertDisc));
    ::CloseHandle(ours);
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "the wizard kept a handle on InsertDisc";
    Click(run.Wizard(), kBack);
    ASSERT_TRUE(ShowsStep(run.Wizard(), kWelcome));

    // Back with someone else's mutex: theirs survives, and the wizard holds nothing after it.
    ours = ::CreateMutexA(nullptr, FALSE, kMenuExitMutex);
    ASSERT_NE(ours, nullptr);
    Click(run.Wizard(), kNext);
    ASSERT_TRUE(ShowsStep(run.Wizard(), kInsertDisc));
    Click(run.Wizard(), kBack);
    ASSERT_TRUE(ShowsStep(run.Wizard(), kWelcome));
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the other holder's mutex after Back";
    ::CloseHandle(ours);
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "the wizard holds a handle after Back";
}

TEST(MenuExitMutex, BackToInsertDiscKeepsIt)
{
    const struct {
        WPARAM searchResult;
        const StepRow* from;
    } cases[] = { { 0, &kDiscNotFound }, { 1, &kReadyToInstall } };
    WizardRun run;
    ASSERT_TRUE(run.StartOnInsertDisc());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from->name);
        Post(run.Wizard(), kDiscSearchDone, c.searchResult);
        ASSERT_TRUE(ShowsStep(run.Wizard(), *c.from));
        EXPECT_TRUE(MutexExists(kMenuExitMutex));
        Click(run.Wizard(), kBack);
        ASSERT_TRUE(ShowsStep(run.Wizard(), kInsertDisc));
        EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "after Back";
    }
    // Only Back from InsertDisc lets go.
    Click(run.Wizard(), kBack);
    ASSERT_TRUE(ShowsStep(run.Wizard(), kWelcome));
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
}

TEST(InstallDone, SuccessClosesTheWizardFailureShowsInstallFailed)
{
    {
        SCOPED_TRACE("wParam 1");
        WizardRun run;
        ASSERT_TRUE(run.StartOnInsertDisc());
        Post(run.Wizard(), kInstallDone, 1);
        DWORD code = 1234;
        ASSERT_TRUE(run.Tool().WaitForExit(5000, &code)) << "the wizard did not close";
        EXPECT_EQ(code, 0u) << "exit code";
        EXPECT_FALSE(MutexExists(kMenuExitMutex));
    }
    {
        SCOPED_TRACE("wParam 0");
        WizardRun run;
        ASSERT_TRUE(run.StartOnInsertDisc());
        Post(run.Wizard(), kInstallDone, 0);
        ASSERT_TRUE(ShowsStep(run.Wizard(), kInstallFailed));
        EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "released while the wizard still runs";
        EXPECT_TRUE(run.Tool().IsRunning());
    }
}

// Search results and a failed installation bring the wizard to the front.
TEST(InstallDone, ResultsBringTheWizardToTheFront)
{
    const Hop cases[] = {
        { kDiscSearchDone, 0, &kDiscNotFound },
        { kDiscSearchDone, 1, &kReadyToInstall },
        { kInstallDone, 0, &kInstallFailed },
    };
    WizardRun run;
    ASSERT_TRUE(run.StartOnInsertDisc());
    ForegroundDecoy decoy;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step->name);
        ASSERT_TRUE(decoy.TakeForeground());
        Post(run.Wizard(), c.message, c.wParam);
        EXPECT_TRUE(WaitForForeground(run.Wizard())) << "foreground is " << ::GetForegroundWindow();
        EXPECT_TRUE(ShowsStep(run.Wizard(), *c.step));
    }
}

// A ReadyToInstall that no search led to has no setup path: the installer cannot start it.
TEST(InstallDone, NextOnReadyToInstallWithoutAPathEndsInInstallFailed)
{
    WizardRun run;
    ASSERT_TRUE(run.StartOnInsertDisc());
    Post(run.Wizard(), kDiscSearchDone, 1);
    ASSERT_TRUE(ShowsStep(run.Wizard(), kReadyToInstall));
    Click(run.Wizard(), kNext);
    EXPECT_TRUE(ShowsStep(run.Wizard(), kInstallFailed, 5000));
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
    EXPECT_TRUE(run.Tool().IsRunning());
}

TEST(ExternalStatus, ZeroFreezesTheScreenAndNextAndBackButNotEnd)
{
    {
        SCOPED_TRACE("from InsertDisc");
        WizardRun run;
        ASSERT_TRUE(run.StartOnInsertDisc());
        HWND wizard = run.Wizard();
        Post(wizard, kExternalStatus, 0);
        ASSERT_TRUE(Settle(wizard));
        EXPECT_TRUE(StillShows(wizard, kInsertDisc));

        // The screen still offers Next and Back; neither may act. (Their commands, not clicks:
        // a click would move the focus by itself.)
        PostCommand(wizard, kNext);
        PostCommand(wizard, kBack);
        ASSERT_TRUE(Settle(wizard));
        EXPECT_TRUE(StillShows(wizard, kInsertDisc));
        EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "Back released the mutex on hold";

        // Nothing is presented on hold: a text set from outside stays.
        OverwriteText(wizard, kMain, kForeignText);
        Post(wizard, kExternalStatus, 0);
        ASSERT_TRUE(Settle(wizard));
        EXPECT_EQ(ReadControl(wizard, kMain).text, kForeignText);

        // A worker's message ends the hold; Back works again there.
        Post(wizard, kDiscSearchDone, 0);
        ASSERT_TRUE(ShowsStep(wizard, kDiscNotFound));
        Click(wizard, kBack);
        ASSERT_TRUE(ShowsStep(wizard, kInsertDisc));

        Post(wizard, kExternalStatus, 0);
        ASSERT_TRUE(Settle(wizard));
        DWORD code = 1234;
        ASSERT_TRUE(run.EndAndExit(&code)) << "End on hold";
        EXPECT_EQ(code, 0u);
    }
    {
        SCOPED_TRACE("from Welcome");
        WizardRun run;
        ASSERT_TRUE(run.Start(kWelcome));
        Post(run.Wizard(), kExternalStatus, 0);
        PostCommand(run.Wizard(), kNext);
        ASSERT_TRUE(Settle(run.Wizard()));
        EXPECT_TRUE(StillShows(run.Wizard(), kWelcome));
        EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "Next on hold created the mutex";
        // Another status message ends the hold.
        Post(run.Wizard(), kExternalStatus, 1);
        EXPECT_TRUE(ShowsStep(run.Wizard(), kFollowInstaller));
    }
}

TEST(ExternalStatus, ZeroOnFatalErrorPresentsFatalErrorAgain)
{
    WizardRun run;
    ASSERT_TRUE(run.StartOnFatalError());
    HWND wizard = run.Wizard();

    // Unlike the hold on other steps, FatalError is shown anew: the foreign text goes.
    OverwriteText(wizard, kMain, kForeignText);
    Post(wizard, kExternalStatus, 0);
    EXPECT_TRUE(ShowsStep(wizard, kFatalError));

    // A dead end like InstallFailed: Next and Back do nothing.
    PostCommand(wizard, kNext);
    PostCommand(wizard, kBack);
    ASSERT_TRUE(Settle(wizard));
    EXPECT_TRUE(StillShows(wizard, kFatalError));

    DWORD code = 1234;
    ASSERT_TRUE(run.EndAndExit(&code));
    EXPECT_EQ(code, 0u);
}

// Steps where Next, Back or both do nothing, even when their commands arrive while the
// buttons are disabled (from the keyboard or another program).
TEST(Buttons, NextAndBackDoNothingWhereTheyHaveNoTransition)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        const StepRow* step;
        bool nextIdle, backIdle;
    };
    const Case cases[] = {
        { kDiscSearchDone, 0, &kDiscNotFound, true, false },
        { kInstallDone, 0, &kInstallFailed, true, true },
        { kExternalStatus, 1, &kFollowInstaller, true, true },
    };
    WizardRun run;
    ASSERT_TRUE(run.Start(kWelcome));
    HWND wizard = run.Wizard();
    PostCommand(wizard, kBack);
    ASSERT_TRUE(Settle(wizard));
    EXPECT_TRUE(StillShows(wizard, kWelcome)) << "Back on Welcome";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.step->name);
        Post(wizard, c.message, c.wParam);
        ASSERT_TRUE(ShowsStep(wizard, *c.step));
        if (c.nextIdle)
            PostCommand(wizard, kNext);
        if (c.backIdle)
            PostCommand(wizard, kBack);
        ASSERT_TRUE(Settle(wizard));
        EXPECT_TRUE(StillShows(wizard, *c.step));
        EXPECT_TRUE(run.Tool().IsRunning()) << "Next must never end the dialog";
    }
    DWORD code = 1234;
    ASSERT_TRUE(run.EndAndExit(&code));
    EXPECT_EQ(code, 0u);

    SCOPED_TRACE("LibraryMissing");
    WizardRun missing(false);
    ASSERT_TRUE(missing.Start(kLibraryMissing));
    PostCommand(missing.Wizard(), kNext);
    PostCommand(missing.Wizard(), kBack);
    ASSERT_TRUE(Settle(missing.Wizard()));
    EXPECT_TRUE(StillShows(missing.Wizard(), kLibraryMissing));
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
}

}  // namespace
