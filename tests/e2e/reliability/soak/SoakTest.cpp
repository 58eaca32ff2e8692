// Whole successful runs in a row, each as fast as the program's own waits allow: the first
// failure ends the soak and names its run. TOOL_SOAK_RUNS sets the count (50).
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "E2e.h"
#include "scenario/Walkthrough.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

TEST(Soak, FiftyHappyPathRunsInARow)
{
    const char* value = std::getenv("TOOL_SOAK_RUNS");
    const int runs = value != nullptr && *value != '\0' ? std::atoi(value) : 50;
    WatchedProgram watched;

    const double began = NowMs();
    double fastest = 1e9, slowest = 0;
    for (int i = 1; i <= runs; ++i) {
        const double start = NowMs();
        ASSERT_EQ(Walkthrough("soak").Run(), "") << "run " << i << " of " << runs;
        const double took = NowMs() - start;
        fastest = std::min(fastest, took);
        slowest = std::max(slowest, took);
    }
    std::printf("soak: %d runs in %.1f s (fastest %.0f ms, slowest %.0f ms)\n", runs, (NowMs() - began) / 1000.0,
                fastest, slowest);
}

}  // namespace
