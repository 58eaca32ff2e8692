// The whole successful run (harness/scenario/Walkthrough.h) against the build that
// TOOL_EXE_UNDER_TEST names, the twin built beside the tests without it: ctest points it at
// the twin here, at the i686 release and the signed release in tests/i686, and
// tests/dllplant/run-plant.sh at the twin in a folder of planted DLLs.
//
// TOOL_EXE_BITS=32 says that the build is the i686 release: it must run as a 32-bit process
// (reading the 32-bit registry view, as on 64-bit Windows), and where this machine cannot run
// 32-bit programs the test is skipped, never passed. The program's process id goes to stdout:
// the planting script picks the program's lines out of Wine's trace by it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "E2e.h"
#include "scenario/Walkthrough.h"

using namespace driver;
using namespace expected;
using namespace scenario;

namespace {

TEST(SuccessfulRun, WholeRunRemovesTheShortcutsAndEnds)
{
    const char* bits = std::getenv("TOOL_EXE_BITS");
    const bool i686 = bits != nullptr && std::string(bits) == "32";
    if (i686 && !CanRunI386())
        GTEST_SKIP() << "i686 run skipped: no enabled qemu-i386 entry in /proc/sys/fs/binfmt_misc";

    Walkthrough run("successful-run");
    run.onStep = [&](const StepRow& step, HWND) -> std::string {
        if (&step != &kWelcome)
            return "";
        std::printf("tool pid %04lx\n", run.Tool().Pid());
        std::fflush(stdout);
        BOOL wow64 = FALSE;
        if (!::IsWow64Process(run.Tool().Handle(), &wow64))
            return "IsWow64Process failed";
        if ((wow64 != FALSE) != i686)
            return ToolExePath() + (i686 ? " is not a 32-bit program" : " is a 32-bit program");
        return "";
    };
    EXPECT_EQ(run.Run(), "") << ToolExePath();
}

}  // namespace
