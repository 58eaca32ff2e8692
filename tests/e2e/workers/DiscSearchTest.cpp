// The disc search: which CD-ROM drive and file it finds, how long it looks, and how it stops.
#include "E2eTest.h"

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
std::string PathRunFrom(const char* name)
{
    SetupRun run(name);
    ToolProcess tool;
    HWND wizard = OpenAtReadyToInstall(tool, run.Env());
    if (wizard == nullptr)
        return "(no ReadyToInstall)";
    Click(wizard, kNext);
    if (!run.WaitForEnd(10000))
        return "(the setup program did not run; the wizard shows: " + ShownText(wizard) + ")";
    EXPECT_TRUE(tool.WaitForExit(10000)) << "the tool did not close after the setup program ended";
    return run.Value("self");
}

// Walks to InsertDisc and starts the search, which over empty drives still searches ms later.
void SearchGoesOn(ToolProcess& tool, DWORD ms, HWND* pWizard)
{
    HWND wizard = *pWizard = OpenAtInsertDisc(tool);
    ASSERT_NE(wizard, nullptr);
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, 3000)) << "shown: " << ShownText(wizard);
    EXPECT_FALSE(WaitFor([&] { return ShownText(wizard) != kSearchingDiscText; }, ms))
        << "the search ended by itself: " << ShownText(wizard);
}

TEST(DiscSearch, ReportsNotFoundOnlyAfterTwentyPassesOverTheDrives)
{
    Machine machine;
    PutLookAlikes(machine.E());
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool);
    ASSERT_NE(wizard, nullptr);

    const double clicked = StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kSearchingDiscText, 3000)) << "shown: " << ShownText(wizard);
    WizardView searching = ReadWizard(wizard);
    EXPECT_EQ(searching.end.text, kAbortCaption);
    EXPECT_TRUE(searching.end.enabled);
    EXPECT_FALSE(searching.next.enabled);
    EXPECT_FALSE(searching.back.enabled);

    ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, 25000)) << "shown: " << ShownText(wizard);
    const double elapsed = NowMs() - clicked;
    // 20 passes with 500 ms after each: never less than 10 s.
    EXPECT_GE(elapsed, 10000.0) << "reported not found too early";
    EXPECT_LT(elapsed, 20000.0) << "searched far longer than 20 passes";

    WizardView view = ReadWizard(wizard);
    EXPECT_TRUE(view.back.enabled);
    EXPECT_FALSE(view.next.enabled);
    EXPECT_EQ(view.end.text, kEndCaption);
    EXPECT_TRUE(tool.IsRunning());
    EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the menu-exit mutex is held until an installation reports";
}

TEST(DiscSearch, FindsADiscAlreadyInTheDriveOnTheFirstPass)
{
    Machine machine(Machine::DiscInD);
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool);
    ASSERT_NE(wizard, nullptr);

    // How soon it is found is the benchmark's found_latency_ms (under 100 ms): a bound here
    // failed on a loaded machine (673 ms).
    StartSearch(wizard);
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, 5000)) << "shown: " << ShownText(wizard);
    WizardView view = ReadWizard(wizard);
    EXPECT_TRUE(view.next.enabled);
    EXPECT_TRUE(view.back.enabled);
    EXPECT_EQ(view.end.text, kEndCaption);
}

TEST(DiscSearch, FindsADiscInsertedWhileItSearches)
{
    Machine machine;
    ToolProcess tool;
    HWND wizard = nullptr;
    // Some passes over the empty drives go by first.
    ASSERT_NO_FATAL_FAILURE(SearchGoesOn(tool, 2000, &wizard));

    machine.E().InsertAddOnDisc();
    const double inserted = NowMs();
    ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, 5000)) << "shown: " << ShownText(wizard);
    // The next pass, at most 500 ms later, sees it.
    EXPECT_LT(NowMs() - inserted, 1500.0);
}

TEST(DiscSearch, TakesDriveDWhenDAndEBothHoldTheDisc)
{
    Machine machine(Machine::DiscInD);
    machine.E().InsertAddOnDisc();
    EXPECT_EQ(PathRunFrom("both-drives"), machine.D().SetupPath());
}

TEST(DiscSearch, PassesOverSetupProgramsOutsideTheAddOnFolderAndFoldersOfThatName)
{
    Machine machine;
    // Drive D comes first: had any look-alike counted, D's path would be stored.
    PutLookAlikes(machine.D());
    machine.E().InsertAddOnDisc();
    EXPECT_EQ(PathRunFrom("look-alikes"), machine.E().SetupPath());
}

TEST(DiscSearch, FindsAReadOnlySetupProgram)
{
    Machine machine(Machine::DiscInD);
    // As on a pressed disc.
    ::SetFileAttributesA((machine.D().Root() + kDiscFolder + "\\" + kSetupFileName).c_str(), FILE_ATTRIBUTE_READONLY);
    const DWORD attributes = ::GetFileAttributesA(machine.D().SetupPath().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << "attributes " << attributes;
    EXPECT_EQ(PathRunFrom("read-only"), machine.D().SetupPath());
}

TEST(DiscSearch, StopRequestEndsTheSearchSoonAndANewSearchCanFollow)
{
    Machine machine;
    ToolProcess tool;
    HWND wizard = nullptr;
    ASSERT_NO_FATAL_FAILURE(SearchGoesOn(tool, 1000, &wizard));

    const double stopped = NowMs();
    Click(wizard, kEnd);
    ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, 5000)) << "shown: " << ShownText(wizard);
    // Seen at the start of the next pass, at most 500 ms away.
    EXPECT_LT(NowMs() - stopped, 1500.0);
    EXPECT_TRUE(tool.IsRunning()) << "the stop request closed the wizard";
    EXPECT_TRUE(::IsWindowVisible(wizard));
    EXPECT_TRUE(MutexExists(kMenuExitMutex));

    // The stop request belongs to that search only.
    machine.D().InsertAddOnDisc();
    Click(wizard, kBack);
    ASSERT_TRUE(WaitForMainText(wizard, kInsertDiscText, 3000)) << "shown: " << ShownText(wizard);
    StartSearch(wizard);
    EXPECT_TRUE(WaitForMainText(wizard, kReadyToInstallText, 3000)) << "shown: " << ShownText(wizard);
}

}  // namespace
