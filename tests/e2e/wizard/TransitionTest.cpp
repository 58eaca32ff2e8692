// The wiring of the flow table: each handler and each action seen once in the real program.
// Which step and event lead where is the table's unit test; here, what only Win32 decides
// (the mutex's name, the foreground, the screen kept on hold, the dialog's end).
#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace scenario;

namespace {

// Sets a static's text from outside, to see whether a later message presents the step anew.
void OverwriteText(WizardPage wizard, int id, const char* text)
{
    ::SendMessageTimeoutA(::GetDlgItem(wizard, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, Seconds(2), nullptr);
}

const char kForeignText[] = "written from outside";

TEST(MenuExitMutex, HeldFromNextOnWelcomeUntilBack)
{
    ASSERT_FALSE(MutexExists(kMenuExitMutex)) << "left over from elsewhere";
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "on Welcome";
    // Twice: Back must really let go, so that the second Next creates the mutex anew.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        Click(run.Wizard(), kNext);
        ASSERT_FINE(run.Wizard().Shows(kInsertDisc));
        EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "on InsertDisc";
        Click(run.Wizard(), kBack);
        ASSERT_FINE(run.Wizard().Shows(kWelcome));
        EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "after Back on InsertDisc";
    }
}

TEST(MenuExitMutex, AlreadyHeldElsewhereTheWizardGoesOnHoldingNothing)
{
    Session run;
    ASSERT_FINE(run.Open(kWelcome));

    // While InsertDisc shows, the name must vanish with our handle: the wizard closed its own.
    HANDLE ours = ::CreateMutexA(nullptr, FALSE, kMenuExitMutex);
    ASSERT_NE(ours, nullptr);
    Click(run.Wizard(), kNext);
    ASSERT_FINE(run.Wizard().Shows(kInsertDisc));
    ::CloseHandle(ours);
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "the wizard kept a handle on InsertDisc";
    Click(run.Wizard(), kBack);
    ASSERT_FINE(run.Wizard().Shows(kWelcome));

    // Back with someone else's mutex: theirs survives, and the wizard holds nothing after it.
    ours = ::CreateMutexA(nullptr, FALSE, kMenuExitMutex);
    ASSERT_NE(ours, nullptr);
    Click(run.Wizard(), kNext);
    ASSERT_FINE(run.Wizard().Shows(kInsertDisc));
    Click(run.Wizard(), kBack);
    ASSERT_FINE(run.Wizard().Shows(kWelcome));
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the other holder's mutex after Back";
    ::CloseHandle(ours);
    EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "the wizard holds a handle after Back";
}

TEST(InstallDone, SuccessClosesTheWizardFailureShowsInstallFailed)
{
    {
        SCOPED_TRACE("wParam 1");
        Session run;
        ASSERT_FINE(run.Open(kInsertDisc));
        run.Wizard().Post(kInstallDone, 1);
        DWORD code = 1234;
        ASSERT_TRUE(run.Tool().WaitForExit(Seconds(5), &code)) << "the wizard did not close";
        EXPECT_EQ(code, 0u) << "exit code";
        EXPECT_FALSE(MutexExists(kMenuExitMutex));
    }
    {
        SCOPED_TRACE("wParam 0");
        Session run;
        ASSERT_FINE(run.Open(kInsertDisc));
        run.Wizard().Post(kInstallDone, 0);
        ASSERT_FINE(run.Wizard().Shows(kInstallFailed));
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
    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    ForegroundDecoy decoy;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step->name);
        ASSERT_TRUE(decoy.TakeForeground());
        run.Wizard().Post(c.message, c.wParam);
        EXPECT_TRUE(WaitForForeground(run.Wizard())) << "foreground is " << ::GetForegroundWindow();
        EXPECT_FINE(run.Wizard().Shows(*c.step));
    }
}

// A ReadyToInstall that no search led to has no setup path: the installer cannot start it.
TEST(InstallDone, NextOnReadyToInstallWithoutAPathEndsInInstallFailed)
{
    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    run.Wizard().Post(kDiscSearchDone, 1);
    ASSERT_FINE(run.Wizard().Shows(kReadyToInstall));
    Click(run.Wizard(), kNext);
    EXPECT_FINE(run.Wizard().Shows(kInstallFailed, Seconds(5)));
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
    EXPECT_TRUE(run.Tool().IsRunning());
}

TEST(ExternalStatus, ZeroKeepsTheScreenAndOnlyEndActs)
{
    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    WizardPage wizard = run.Wizard();
    // Nothing is presented on hold: a text set from outside stays. Next and Back, though
    // still offered, do nothing (their commands, not clicks, which would move the focus).
    wizard.Post(kExternalStatus, 0);
    OverwriteText(wizard, kMain, kForeignText);
    wizard.Post(kExternalStatus, 0);
    PostCommand(wizard, kNext);
    PostCommand(wizard, kBack);
    ASSERT_FINE(wizard.Settle());
    EXPECT_EQ(ReadControl(wizard, kMain).text, kForeignText);
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "Back released the mutex on hold";

    // Another status message ends the hold.
    wizard.Post(kExternalStatus, 1);
    EXPECT_FINE(wizard.Shows(kFollowInstaller));
    wizard.Post(kExternalStatus, 0);
    ASSERT_FINE(wizard.Settle());
    DWORD code = 1234;
    ASSERT_FINE(run.EndAndExit(&code)) << "End on hold";
    EXPECT_EQ(code, 0u);
}

TEST(ExternalStatus, ZeroOnFatalErrorPresentsFatalErrorAgain)
{
    Session run;
    ASSERT_FINE(run.OpenOnFatalError());
    WizardPage wizard = run.Wizard();

    // Unlike the hold on other steps, FatalError is shown anew: the foreign text goes.
    OverwriteText(wizard, kMain, kForeignText);
    wizard.Post(kExternalStatus, 0);
    EXPECT_FINE(wizard.Shows(kFatalError));

    // A dead end like InstallFailed: Next and Back do nothing.
    PostCommand(wizard, kNext);
    PostCommand(wizard, kBack);
    ASSERT_FINE(wizard.Settle());
    EXPECT_FINE(wizard.StillShows(kFatalError));

    DWORD code = 1234;
    ASSERT_FINE(run.EndAndExit(&code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
