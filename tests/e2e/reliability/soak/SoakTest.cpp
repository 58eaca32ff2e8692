// Complete happy-path runs in a row, each as fast as the program's own waits allow: the
// first failure ends the soak and names its run. TOOL_SOAK_RUNS sets the count (50).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "SetupRun.h"
#include "TestMachine.h"
#include "ToolDriver.h"
#include "WorkerSteps.h"
#include "ReliabilitySteps.h"

using namespace driver;
using namespace expected;
using namespace fakesetup;
using namespace machine;
using namespace steps;

namespace {

TEST(Soak, FiftyHappyPathRunsInARow)
{
    const char* value = std::getenv("TOOL_SOAK_RUNS");
    const int runs = value != nullptr && *value != '\0' ? std::atoi(value) : 50;
    WatchedProgram watched;
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);

    const double began = NowMs();
    double fastest = 1e9, slowest = 0;
    for (int i = 1; i <= runs; ++i) {
        SCOPED_TRACE(testing::Message() << "run " << i << " of " << runs);
        const double start = NowMs();
        SetupRun run("soak");
        ToolProcess tool;
        // Welcome, Next, Next: the search finds the disc.
        HWND wizard = OpenAtReadyToInstall(tool, run.Env({ { "FAKESETUP_CREATE", desktop + "|" + programs } }));
        ASSERT_NE(wizard, nullptr);
        ASSERT_TRUE(MutexExists(kMenuExitMutex));

        // Next: the setup program runs, makes both shortcuts and ends; the wizard deletes them
        // and the tool exits.
        Click(wizard, kNext);
        ASSERT_TRUE(WaitForMainText(wizard, kFollowInstallerText, 3000)) << "shown: " << ShownText(wizard);
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitForExit(15000, &code)) << "the tool still runs; shown: " << ShownText(wizard);
        ASSERT_EQ(code, 0u) << "exit code 0x" << std::hex << code;
        ASSERT_EQ(run.Starts(), 1);
        ASSERT_TRUE(run.Has("end_ms")) << "the tool ended before the setup program";
        ASSERT_EQ(run.Count("created"), 2) << "the setup program did not make both shortcuts";
        ASSERT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonDesktop)) << desktop;
        ASSERT_FALSE(ShortcutFiles::Exists(ShortcutFiles::CommonPrograms)) << programs;
        ASSERT_FALSE(MutexExists(kMenuExitMutex));

        const double took = NowMs() - start;
        fastest = std::min(fastest, took);
        slowest = std::max(slowest, took);
    }
    std::printf("soak: %d runs in %.1f s (fastest %.0f ms, slowest %.0f ms)\n", runs, (NowMs() - began) / 1000.0,
                fastest, slowest);
}

}  // namespace
