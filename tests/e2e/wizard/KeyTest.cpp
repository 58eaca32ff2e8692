// Keys: Esc never closes the wizard, Enter acts as Next on Welcome and never ends the
// dialog, F5 opens the version box, F1 shows no help.
//
// Keys are given two ways: posted to the focused control (what the wizard's message loop
// sees), and typed through SendInput, which takes Wine's whole keyboard path (character
// messages, and the help request that F1 makes).
#include <algorithm>
#include <functional>
#include <vector>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

// Reaches each step that needs no worker, in one run, and calls check on it.
void ForEachStepOfOneRun(const std::function<void(Session&, const StepRow&)>& check)
{
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    check(run, kWelcome);
    Click(run.Wizard(), kNext);
    ASSERT_FINE(run.Wizard().Shows(kInsertDisc));
    check(run, kInsertDisc);
    const Hop hops[] = {
        { kDiscSearchDone, 0, &kDiscNotFound },
        { kDiscSearchDone, 1, &kReadyToInstall },
        { kExternalStatus, 1, &kFollowInstaller },
        { kInstallDone, 0, &kInstallFailed },
    };
    for (const auto& hop : hops) {
        run.Wizard().Post(hop.message, hop.wParam);
        ASSERT_FINE(run.Wizard().Shows(*hop.step));
        check(run, *hop.step);
    }
}

// The dead ends reached only from a fresh start.
void ForEachDeadEndStart(const std::function<void(Session&, const StepRow&)>& check)
{
    {
        Session run(Machine::NoDisc, Machine::WithoutLibrary);
        ASSERT_FINE(run.Open(kLibraryMissing));
        check(run, kLibraryMissing);
    }
    {
        Session run;
        ASSERT_FINE(run.OpenOnFatalError());
        check(run, kFatalError);
    }
}

TEST(Keys, EscNeverClosesTheWizard)
{
    auto check = [](Session& run, const StepRow& step) {
        SCOPED_TRACE(step.name);
        WizardPage wizard = run.Wizard();
        PressKey(wizard, VK_ESCAPE);
        ASSERT_FINE(wizard.Settle()) << "the wizard is gone or stopped answering after a posted Esc";
        EXPECT_FINE(wizard.StillShows(step)) << "after a posted Esc";
        ASSERT_TRUE(TypeKey(wizard, VK_ESCAPE)) << "the wizard is not the foreground window";
        ASSERT_FINE(wizard.Settle()) << "the wizard is gone or stopped answering after a typed Esc";
        EXPECT_FINE(wizard.StillShows(step)) << "after a typed Esc";
        EXPECT_TRUE(Responds(wizard));
        EXPECT_TRUE(run.Tool().IsRunning());
    };
    ForEachStepOfOneRun(check);
    ForEachDeadEndStart(check);
}

TEST(Keys, EnterActsAsNextOnWelcomeAndNeverEndsTheDialog)
{
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    WizardPage wizard = run.Wizard();

    // On Welcome the focus is on Next, the default button: Enter acts as Next.
    PressKey(wizard, VK_RETURN);
    EXPECT_FINE(wizard.Shows(kInsertDisc)) << "posted Enter on Welcome";
    EXPECT_TRUE(MutexExists(kMenuExitMutex));
    Click(wizard, kBack);
    ASSERT_FINE(wizard.Shows(kWelcome));
    ASSERT_TRUE(TypeKey(wizard, VK_RETURN));
    EXPECT_FINE(wizard.Shows(kInsertDisc)) << "typed Enter on Welcome";

    // Where Next is disabled, Enter does nothing at all, whichever button has the focus.
    const Hop steps[] = {
        { kDiscSearchDone, 0, &kDiscNotFound },
        { kExternalStatus, 1, &kFollowInstaller },
        { kInstallDone, 0, &kInstallFailed },
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step->name);
        wizard.Post(s.message, s.wParam);
        ASSERT_FINE(wizard.Shows(*s.step));
        PressKey(wizard, VK_RETURN);
        ASSERT_TRUE(TypeKey(wizard, VK_RETURN));
        ASSERT_FINE(wizard.Settle()) << "the wizard is gone after Enter";
        EXPECT_FINE(wizard.StillShows(*s.step));
        EXPECT_TRUE(run.Tool().IsRunning());
    }
}

// Under the box: F5 works whichever control has the focus (Next, Back or End); OK and Esc
// close the box, and F5 then opens it again.
TEST(Keys, F5OpensOneVersionBoxOwnedByTheWizard)
{
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    WizardPage wizard = run.Wizard();
    const struct {
        UINT message;
        WPARAM wParam;
        const StepRow* step;
        bool closeWithOk;
    } steps[] = {
        { 0, 0, &kWelcome, true },
        { kDiscSearchDone, 0, &kDiscNotFound, false },
        { kInstallDone, 0, &kInstallFailed, true },
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step->name);
        if (s.message != 0)
            wizard.Post(s.message, s.wParam);
        ASSERT_FINE(wizard.Shows(*s.step));

        PressKey(wizard, VK_F5);
        HWND box = run.Tool().WaitForWindow(kVersionBoxCaption, Seconds(5));
        ASSERT_NE(box, nullptr) << "no version box after F5";
        EXPECT_EQ(::GetWindow(box, GW_OWNER), wizard) << "owner of the version box";
        EXPECT_FALSE(::IsWindowEnabled(wizard)) << "the wizard stays enabled under the box";

        // Centred over the wizard.
        RECT rcBox, rcWizard;
        ::GetWindowRect(box, &rcBox);
        ::GetWindowRect(wizard, &rcWizard);
        EXPECT_NEAR((rcBox.left + rcBox.right) / 2, (rcWizard.left + rcWizard.right) / 2, 2);
        EXPECT_NEAR((rcBox.top + rcBox.bottom) / 2, (rcWizard.top + rcWizard.bottom) / 2, 2);

        // F5 inside the box opens no second one.
        PressKey(box, VK_F5);
        ASSERT_FINE(wizard.Settle());
        EXPECT_EQ(TopLevelWindows(run.Tool().Pid(), kVersionBoxCaption).size(), 1u);

        if (s.closeWithOk)
            Click(box, IDOK);
        else
            PressKey(box, VK_ESCAPE);
        EXPECT_TRUE(WaitFor([&] { return !::IsWindow(box); }, Seconds(5)))
            << "the box did not close on " << (s.closeWithOk ? "OK" : "Esc");
        EXPECT_TRUE(WaitFor([&] { return ::IsWindowEnabled(wizard) != FALSE; }, Seconds(5)));
        EXPECT_FINE(wizard.Shows(*s.step)) << "F5 changed the step";
    }
}

TEST(Keys, F5TypedOpensTheBoxAndTheWizardKeepsWorkingUnderIt)
{
    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    WizardPage wizard = run.Wizard();
    ASSERT_TRUE(TypeKey(wizard, VK_F5));
    HWND box = run.Tool().WaitForWindow(kVersionBoxCaption, Seconds(5));
    ASSERT_NE(box, nullptr) << "no version box after a typed F5";
    ASSERT_TRUE(TypeKey(box, VK_F5));
    ASSERT_FINE(wizard.Settle());
    EXPECT_EQ(TopLevelWindows(run.Tool().Pid(), kVersionBoxCaption).size(), 1u);

    // Messages reach the wizard while the box is open. (Focus is not checked: the box has it.
    // The search result brings the wizard to the front and takes the keyboard from the box,
    // so the box is closed with its button.)
    wizard.Post(kDiscSearchDone, 0);
    EXPECT_TRUE(WaitForMainText(wizard, kDiscNotFound.mainText, Seconds(5)));
    EXPECT_TRUE(::IsWindow(box));
    Click(box, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(box); }, Seconds(5))) << "OK did not close the box";
    EXPECT_TRUE(run.Tool().IsRunning());
}

// What this can show: no new top-level window of any process appears after F1 (posted and
// typed), a help request (WM_HELP) or the help command (ID_HELP), and the wizard carries on.
// What it cannot: whether a real Windows help engine would have opened something that takes
// longer to appear than the wait, or appears outside this desktop.
TEST(Keys, HelpShowsNothing)
{
    const UINT kHelpCommand = 0xE146;  // ID_HELP
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    WizardPage wizard = run.Wizard();
    std::vector<HWND> before = VisibleTopLevelWindows();
    std::sort(before.begin(), before.end());

    PressKey(wizard, VK_F1);
    ASSERT_TRUE(TypeKey(wizard, VK_F1));
    wizard.Post(WM_HELP, 0, 0);
    PostCommand(wizard, kHelpCommand);
    ASSERT_FINE(wizard.Settle());

    std::vector<HWND> added;
    WaitFor([&] {
        std::vector<HWND> now = VisibleTopLevelWindows();
        std::sort(now.begin(), now.end());
        added.clear();
        std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
        return !added.empty();
    }, Seconds(1.5));
    for (HWND h : added)
        ADD_FAILURE() << "new window " << h << " \"" << WindowText(h) << "\"";
    EXPECT_FINE(wizard.StillShows(kWelcome));
    EXPECT_TRUE(Responds(wizard));
}

}  // namespace
