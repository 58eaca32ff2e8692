// What each reachable step shows: texts, visibility, button captions, enabled states and
// focus, with the radio button and the template's placeholder texts never visible.
#include <memory>
#include <vector>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

// One way of acting on the wizard: a button click, or a private message posted to it.
struct Action {
    enum Kind { ClickButton, PostMessage } kind;
    UINT what;  // control ID or message
    WPARAM wParam;
};

Action ClickOn(int id) { return { Action::ClickButton, static_cast<UINT>(id), 0 }; }
Action Message(UINT message, WPARAM wParam) { return { Action::PostMessage, message, wParam }; }

void Apply(WizardPage wizard, const Action& action)
{
    if (action.kind == Action::ClickButton)
        Click(wizard, static_cast<int>(action.what));
    else
        wizard.Post(action.what, action.wParam);
}

TEST(Presentation, EveryStepReachedFromWelcomeShowsItsRow)
{
    enum Squat { Nothing, AnEvent, ADeniedMutex };
    struct Case {
        const char* how;
        Squat squat;  // what another program holds under the menu-exit mutex's name
        std::vector<Action> actions;
        const StepRow* expected;
    };
    const Case cases[] = {
        { "Next", Nothing, { ClickOn(kNext) }, &kInsertDisc },
        { "Next, Back", Nothing, { ClickOn(kNext), ClickOn(kBack) }, &kWelcome },
        { "Next, search found nothing", Nothing, { ClickOn(kNext), Message(kDiscSearchDone, 0) }, &kDiscNotFound },
        { "Next, search found the disc", Nothing, { ClickOn(kNext), Message(kDiscSearchDone, 1) }, &kReadyToInstall },
        { "Next, installation failed", Nothing, { ClickOn(kNext), Message(kInstallDone, 0) }, &kInstallFailed },
        { "Next, external status 1", Nothing, { ClickOn(kNext), Message(kExternalStatus, 1) }, &kFollowInstaller },
        { "Next without a creatable mutex", AnEvent, { ClickOn(kNext) }, &kFatalError },
        // The mutex exists, only we may not open it: it exists all the same.
        { "Next with the mutex held by a program that denies us", ADeniedMutex, { ClickOn(kNext) }, &kInsertDisc },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        // An event of the mutex's name makes the wizard's creation of the mutex fail.
        std::unique_ptr<NameSquatter> squatter;
        if (c.squat != Nothing) {
            squatter.reset(new NameSquatter(c.squat == AnEvent ? NameSquatter::Event : NameSquatter::DeniedMutex));
            ASSERT_TRUE(squatter->Held()) << "could not create the object named " << kMenuExitMutex;
        }
        if (c.squat == ADeniedMutex) {
            ASSERT_TRUE(squatter->DeniesOthers()) << "the mutex's access list is not enforced here";
        }
        Session run;
        ASSERT_FINE(run.Open(kWelcome));
        for (const Action& action : c.actions) {
            Apply(run.Wizard(), action);
            ASSERT_FINE(run.Wizard().Settle());
        }
        EXPECT_FINE(run.Wizard().Shows(*c.expected));
    }
}

// The only step that needs a worker: the disc search, here over two empty drives, which
// would go on for about 10 s unless stopped.
TEST(Presentation, SearchingShowsAbortWhichStopsTheSearchWithoutClosing)
{
    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    WizardPage wizard = run.Wizard();
    Click(wizard, kNext);
    ASSERT_FINE(wizard.Shows(kSearchingDisc));
    EXPECT_TRUE(MutexExists(kMenuExitMutex));

    // Esc must not act as End either: End would stop the search within one 500 ms pass.
    PressKey(wizard, VK_ESCAPE);
    ASSERT_FINE(wizard.Settle());
    EXPECT_FALSE(WaitForMainText(wizard, kDiscNotFound.mainText, Seconds(1.5))) << "Esc stopped the search";
    EXPECT_FINE(wizard.StillShows(kSearchingDisc));

    // End ("中止") asks the search to stop; the wizard stays open and reports nothing found
    // well before the uninterrupted search of about 10 s would have ended.
    const double endPressed = NowMs();
    Click(wizard, kEnd);
    EXPECT_FINE(wizard.Shows(kDiscNotFound, Seconds(4)));
    EXPECT_LT(NowMs() - endPressed, Seconds(4)) << "ms from End to DiscNotFound";
    EXPECT_TRUE(run.Tool().IsRunning());
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the search's end keeps the mutex";

    Click(wizard, kBack);
    EXPECT_FINE(wizard.Shows(kInsertDisc));
    EXPECT_TRUE(MutexExists(kMenuExitMutex));
}

}  // namespace
