// The disc search: which CD-ROM drive and file it finds, how long it looks, and how it stops.
#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

// Places where a "Setup.exe" must not be taken for the add-on's setup program.
void PutLookAlikes(DiscDrive& drive)
{
    const std::string setup = kSetupFileName;
    drive.PutFile(setup, FakeSetupExePath());
    drive.PutFile("Nor-vikライブラリー\\" + setup, FakeSetupExePath());  // the folder's name without its 3
    drive.PutFile(kDiscFolder + ("\\Disk1\\" + setup), FakeSetupExePath());
    drive.MakeFolder(kDiscFolder + ("\\" + setup));
}

// Walks the wizard through a search that must find the disc, runs the found program (Next on
// ReadyToInstall) and gives the path it was started as.
std::string PathRunFrom(Session& session)
{
    const std::string problem = session.Open(kReadyToInstall);
    if (!problem.empty())
        return "(no ReadyToInstall: " + problem + ")";
    Click(session.Wizard(), kNext);
    if (!session.Setup().WaitForEnd(Seconds(10)))
        return "(the setup program did not run; the wizard shows: " + session.Wizard().Text() + ")";
    EXPECT_TRUE(session.Tool().WaitForExit(Seconds(10))) << "the tool did not close after the setup program ended";
    return session.Setup().Value("self");
}

// Walks to InsertDisc and starts the search, which over empty drives still searches ms later.
void SearchGoesOn(Session& session, DWORD ms)
{
    ASSERT_FINE(session.Open(kInsertDisc));
    WizardPage wizard = session.Wizard();
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, Seconds(3))) << "shown: " << wizard.Text();
    EXPECT_FALSE(WaitFor([&] { return wizard.Text() != kSearchingDiscText; }, ms))
        << "the search ended by itself: " << wizard.Text();
}

TEST(DiscSearch, ReportsNotFoundOnlyAfterTwentyPassesOverTheDrives)
{
    Session session;
    PutLookAlikes(session.TheMachine().E());
    ASSERT_FINE(session.Open(kInsertDisc));
    WizardPage wizard = session.Wizard();

    const double clicked = StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, Seconds(3))) << "shown: " << wizard.Text();
    WizardView searching = ReadWizard(wizard);
    EXPECT_EQ(searching.end.text, kAbortCaption);
    EXPECT_TRUE(searching.end.enabled);
    EXPECT_FALSE(searching.next.enabled);
    EXPECT_FALSE(searching.back.enabled);

    ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, Seconds(25))) << "shown: " << wizard.Text();
    const double elapsed = NowMs() - clicked;
    // 20 passes with 500 ms after each: never less than 10 s.
    EXPECT_GE(elapsed, 10000.0) << "reported not found too early";
    EXPECT_LT(elapsed, Seconds(20)) << "searched far longer than 20 passes";

    WizardView view = ReadWizard(wizard);
    EXPECT_TRUE(view.back.enabled);
    EXPECT_FALSE(view.next.enabled);
    EXPECT_EQ(view.end.text, kEndCaption);
    EXPECT_TRUE(session.Tool().IsRunning());
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the menu-exit mutex is held until an installation reports";
}

TEST(DiscSearch, FindsADiscAlreadyInTheDriveOnTheFirstPass)
{
    Session session(Machine::DiscInD);
    ASSERT_FINE(session.Open(kInsertDisc));
    WizardPage wizard = session.Wizard();

    // How soon it is found is the benchmark's found_latency_ms (under 100 ms): a bound here
    // failed on a loaded machine (673 ms).
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, Seconds(5))) << "shown: " << wizard.Text();
    WizardView view = ReadWizard(wizard);
    EXPECT_TRUE(view.next.enabled);
    EXPECT_TRUE(view.back.enabled);
    EXPECT_EQ(view.end.text, kEndCaption);
}

TEST(DiscSearch, FindsADiscInsertedWhileItSearches)
{
    Session session;
    // Some passes over the empty drives go by first.
    ASSERT_NO_FATAL_FAILURE(SearchGoesOn(session, Seconds(2)));
    WizardPage wizard = session.Wizard();

    session.TheMachine().E().InsertAddOnDisc();
    const double inserted = NowMs();
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, Seconds(5))) << "shown: " << wizard.Text();
    // The next pass, at most 500 ms later, sees it.
    EXPECT_LT(NowMs() - inserted, Seconds(1.5));
}

TEST(DiscSearch, TakesDriveDWhenDAndEBothHoldTheDisc)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "both-drives");
    session.TheMachine().E().InsertAddOnDisc();
    EXPECT_EQ(PathRunFrom(session), session.TheMachine().D().SetupPath());
}

TEST(DiscSearch, PassesOverSetupProgramsOutsideTheAddOnFolderAndFoldersOfThatName)
{
    Session session(Machine::NoDisc, Machine::WithLibrary, "look-alikes");
    // Drive D comes first: had any look-alike counted, D's path would be stored.
    PutLookAlikes(session.TheMachine().D());
    session.TheMachine().E().InsertAddOnDisc();
    EXPECT_EQ(PathRunFrom(session), session.TheMachine().E().SetupPath());
}

TEST(DiscSearch, FindsAReadOnlySetupProgram)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "read-only");
    DiscDrive& d = session.TheMachine().D();
    // As on a pressed disc.
    ::SetFileAttributesA((d.Root() + kDiscFolder + "\\" + kSetupFileName).c_str(), FILE_ATTRIBUTE_READONLY);
    const DWORD attributes = ::GetFileAttributesA(d.SetupPath().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << "attributes " << attributes;
    EXPECT_EQ(PathRunFrom(session), d.SetupPath());
}

TEST(DiscSearch, StopRequestEndsTheSearchSoonAndANewSearchCanFollow)
{
    Session session;
    ASSERT_NO_FATAL_FAILURE(SearchGoesOn(session, Seconds(1)));
    WizardPage wizard = session.Wizard();

    const double stopped = NowMs();
    Click(wizard, kEnd);
    ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, Seconds(5))) << "shown: " << wizard.Text();
    // Seen at the start of the next pass, at most 500 ms away.
    EXPECT_LT(NowMs() - stopped, Seconds(1.5));
    EXPECT_TRUE(session.Tool().IsRunning()) << "the stop request closed the wizard";
    EXPECT_TRUE(::IsWindowVisible(wizard));
    EXPECT_TRUE(MutexExists(kMenuExitMutex));

    // The stop request belongs to that search only.
    session.TheMachine().D().InsertAddOnDisc();
    Click(wizard, kBack);
    ASSERT_TRUE(WaitForMainText(wizard, kInsertDiscText, Seconds(3))) << "shown: " << wizard.Text();
    StartSearch(wizard);
    EXPECT_TRUE(WaitForMainText(wizard, kReadyToInstallText, Seconds(3))) << "shown: " << wizard.Text();
}

}  // namespace
