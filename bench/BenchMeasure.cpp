// Measures the tool against the bare dialog, both in this Wine and in one run: start-up to the
// first paint, peak working set on the first step, CPU of a complete not-found disc search,
// latency of a found disc, delay of the report after the setup program, and the size of the
// i686 files. Prints a table and writes the JSON file.
//
//   BenchMeasure --bare EXE --tool32 EXE --bare32 EXE [--json FILE] [--runs N] [--startup-runs N]
//                [--search-runs N] [--only startup|found|report|search]
//   BenchMeasure --why [--runs N] EXE...     start-up, its CPU and the working set of each program
//
// Paths may be Unix paths (as scripts/bench passes them) or Windows paths.
//
// The parts: Measurements (one sample of each kind), ProcessSampler (CPU and memory from
// /proc), WindowWatch (window state from the window server), PeFile (file sizes), Report
// (the table and the JSON file).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Expectations.h"
#include "Measurements.h"
#include "PeFile.h"
#include "Report.h"
#include "TestMachine.h"
#include "ToolDriver.h"
#include "WindowWatch.h"

using namespace bench;
using namespace driver;
using namespace machine;

namespace {

using expected::kWelcomeText;

int Usage()
{
    std::fprintf(stderr,
                 "usage: BenchMeasure --bare EXE --tool32 EXE --bare32 EXE [--json FILE] [--runs N]\n"
                 "                    [--startup-runs N] [--search-runs N] [--only startup|found|report|search]\n"
                 "       BenchMeasure --why [--runs N] EXE...\n");
    return 2;
}

// --why: start-up and working set of several programs, interleaved run by run.
int CompareStarts(const std::vector<std::string>& exes, int runs)
{
    std::vector<Series> painted(exes.size()), visible(exes.size()), workingSet(exes.size()), cpu(exes.size());
    LibraryInstallation library;  // the tool opens on the welcome step
    for (int run = -1; run < runs; ++run) {  // run -1 warms the caches and is not counted
        for (size_t i = 0; i < exes.size(); ++i) {
            std::string error;
            StartSample s = MeasureStart(exes[i], nullptr, &error);
            if (!s.ok) {
                Fail(painted[i], error);
                continue;
            }
            if (run >= 0) {
                painted[i].Add(s.paintedMs);
                visible[i].Add(s.visibleMs);
                workingSet[i].Add(s.peakWorkingSetKb);
                cpu[i].Add(s.cpuMs);
            }
            ::Sleep(200);
        }
    }
    std::printf("Medians of %d runs each (min and max of the paint); CPU: the program's own, mean, to the paint.\n",
                runs);
    std::printf("%-26s %10s %10s %8s %8s %8s %11s\n", "program", "visible ms", "painted ms", "min", "max", "CPU ms",
                "peak WS KB");
    for (size_t i = 0; i < exes.size(); ++i) {
        std::printf("%-26s %10s %10s %8s %8s %8s %11s\n", BaseName(exes[i]).c_str(), Num(visible[i].Median()).c_str(),
                    Num(painted[i].Median()).c_str(), Num(painted[i].Min()).c_str(), Num(painted[i].Max()).c_str(),
                    Num(cpu[i].Mean()).c_str(), Num(workingSet[i].Median(), 0).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string bare, tool32, bare32, json, only;
    std::vector<std::string> why;
    bool whyMode = false;
    int runs = 7, startupRuns = 15, searchRuns = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--bare") bare = WindowsPath(next());
        else if (arg == "--tool32") tool32 = WindowsPath(next());
        else if (arg == "--bare32") bare32 = WindowsPath(next());
        else if (arg == "--json") json = WindowsPath(next());
        else if (arg == "--runs") runs = std::atoi(next().c_str());
        else if (arg == "--startup-runs") startupRuns = std::atoi(next().c_str());
        else if (arg == "--search-runs") searchRuns = std::atoi(next().c_str());
        else if (arg == "--only") only = next();
        else if (arg == "--why") whyMode = true;
        else if (whyMode && arg[0] != '-') why.push_back(WindowsPath(arg));
        else return Usage();
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (runs < 1 || startupRuns < 1 || searchRuns < 1)
        return Usage();
    if (whyMode)
        return why.empty() ? Usage() : CompareStarts(why, runs);
    if (bare.empty() || tool32.empty() || bare32.empty())
        return Usage();
    auto wanted = [&](const char* group) { return only.empty() || only == group; };

    const std::string tool = ToolExePath();
    std::vector<Metric> metrics(7);
    Metric& startup = metrics[0];
    Metric& workingSet = metrics[1];
    Metric& searchCpu = metrics[2];
    Metric& found = metrics[3];
    Metric& report = metrics[4];
    Metric& image = metrics[5];
    Metric& file = metrics[6];
    startup.name = "startup_ms", startup.unit = "ms", startup.goal = "ratio <= 1.15", startup.goalKind = 1;
    startup.hi = 1.15;
    workingSet.name = "working_set_kb", workingSet.unit = "KB", workingSet.goal = "ratio <= 1.2";
    workingSet.goalKind = 1, workingSet.hi = 1.2;
    searchCpu.name = "search_cpu_ms", searchCpu.unit = "ms", searchCpu.goal = "< 20 ms", searchCpu.goalKind = 2;
    searchCpu.hi = 20, searchCpu.baseline = 0;
    found.name = "found_latency_ms", found.unit = "ms", found.goal = "< 100 ms", found.goalKind = 2, found.hi = 100;
    report.name = "report_delay_ms", report.unit = "ms", report.goal = "500..550 ms", report.goalKind = 3;
    report.lo = 500, report.hi = 550;
    image.name = "image_bytes", image.unit = "B", image.goal = "ratio <= 3", image.goalKind = 1, image.hi = 3;
    file.name = "file_bytes", file.unit = "B", file.goal = "(reported)";

    // Sizes first: they cannot fail halfway.
    double toolFile = 0, toolRsrc = 0, bareFile = 0, bareRsrc = 0;
    if (ReadPeSizes(tool32, &toolFile, &toolRsrc) && ReadPeSizes(bare32, &bareFile, &bareRsrc)) {
        image.tool.Add(toolFile - toolRsrc);
        image.baseline = bareFile - bareRsrc;
        file.tool.Add(toolFile);
        file.baseline = bareFile;
    } else {
        Fail(image.tool, "cannot read the i686 files " + tool32 + " and " + bare32);
    }

    // Start-up and working set: the tool and the baseline in turns, the order swapped every
    // round, after one uncounted round that warms the caches.
    Series toolVisible, bareVisible, toolCpu, bareCpu, toolHwm, bareHwm;
    if (wanted("startup")) {
        LibraryInstallation library;  // the tool then opens on the welcome step
        for (int run = -1; run < startupRuns; ++run) {
            for (int k = 0; k < 2; ++k) {
                const bool isTool = (k == 0) == (run % 2 == 0);
                std::string error;
                StartSample s = MeasureStart(isTool ? tool : bare, isTool ? kWelcomeText : nullptr, &error);
                Series& target = isTool ? startup.tool : startup.baseSeries;
                if (!s.ok) {
                    Fail(target, error);
                } else if (run >= 0) {
                    target.Add(s.paintedMs);
                    (isTool ? workingSet.tool : workingSet.baseSeries).Add(s.peakWorkingSetKb);
                    (isTool ? toolVisible : bareVisible).Add(s.visibleMs);
                    (isTool ? toolCpu : bareCpu).Add(s.cpuMs);
                    (isTool ? toolHwm : bareHwm).Add(s.linuxPeakKb);
                }
                ::Sleep(200);
            }
        }
        std::printf("startup: tool %s ms, baseline %s ms\n", Num(startup.tool.Median()).c_str(),
                    Num(startup.Baseline()).c_str());
    }

    Series foundText;
    for (int run = 0; wanted("found") && run < runs; ++run) {
        std::string error;
        FoundSample s = MeasureFound(&error);
        if (!s.ok) {
            Fail(found.tool, error);
            continue;
        }
        found.tool.Add(s.paintedMs);
        foundText.Add(s.textMs);
    }
    if (wanted("found"))
        std::printf("found: %s ms\n", Num(found.tool.Median()).c_str());

    for (int run = 0; wanted("report") && run < runs; ++run) {
        std::string error;
        double delay = 0;
        if (MeasureReportDelay(&delay, &error))
            report.tool.Add(delay);
        else
            Fail(report.tool, error);
    }
    if (wanted("report"))
        std::printf("report: %s ms\n", Num(report.tool.Median()).c_str());

    Series searchElapsed, searchTicks;
    for (int run = 0; wanted("search") && run < searchRuns; ++run) {
        std::string error;
        SearchSample s = MeasureNotFoundSearch(&error);
        if (!s.ok) {
            Fail(searchCpu.tool, error);
            continue;
        }
        searchCpu.tool.Add(s.cpuMs);
        searchElapsed.Add(s.elapsedMs);
        searchTicks.Add(s.tickMs);
        std::printf("search %d: %s ms CPU (window thread %s, others %s; ticks %s) over %s ms\n", run + 1,
                    Num(s.cpuMs).c_str(), Num(s.mainMs).c_str(), Num(s.cpuMs - s.mainMs).c_str(),
                    Num(s.tickMs, 0).c_str(), Num(s.elapsedMs, 0).c_str());
    }

    if (!only.empty()) {
        for (const Metric& m : metrics) {
            if (!m.tool.Empty() && m.unit != "B")
                std::printf("%s samples: %s%s%s\n", m.name.c_str(), List(m.tool, " ", 1).c_str(),
                            m.baseSeries.Empty() ? "" : "; baseline: ", List(m.baseSeries, " ", 1).c_str());
        }
    }
    std::printf("\n");
    PrintTable(metrics);
    std::printf("\nstartup: CreateProcess until the window is visible and neither it nor a child has an update\n"
                "  region left (looked at every ~1 ms); visible alone at %s ms (tool) and %s ms (baseline).\n"
                "  Other load on the machine only adds time: fastest runs %s / %s ms (ratio %s); the process's\n"
                "  own CPU to the paint, mean: %s / %s ms (ratio %s).\n"
                "working_set: PeakWorkingSetSize 300 ms after the paint (Linux's VmHWM then: %s / %s KB).\n"
                "found: Next until ReadyToInstall is painted; its text was set after %s ms.\n"
                "search_cpu: the tool's threads' run time from Linux (Wine 8.0's GetProcessTimes reports the\n"
                "  caller's own times); %d searches of %s ms; whole-process 10 ms ticks agree: median %s ms.\n"
                "image_bytes: i686 file without .rsrc; .rsrc is %s B (tool) and %s B (baseline).\n",
                Num(toolVisible.Median()).c_str(), Num(bareVisible.Median()).c_str(),
                Num(startup.tool.Min()).c_str(), Num(startup.baseSeries.Min()).c_str(),
                Num(startup.tool.Min() / startup.baseSeries.Min(), 2).c_str(), Num(toolCpu.Mean()).c_str(),
                Num(bareCpu.Mean()).c_str(), Num(toolCpu.Mean() / bareCpu.Mean(), 2).c_str(),
                Num(toolHwm.Median(), 0).c_str(), Num(bareHwm.Median(), 0).c_str(), Num(foundText.Median()).c_str(),
                static_cast<int>(searchElapsed.values.size()), Num(searchElapsed.Median(), 0).c_str(),
                Num(searchTicks.Median(), 0).c_str(),
                Num(toolRsrc, 0).c_str(), Num(bareRsrc, 0).c_str());

    int failures = 0;
    for (const Metric& m : metrics)
        failures += m.tool.failures + m.baseSeries.failures;
    if (!json.empty() && !WriteJson(json, metrics)) {
        std::fprintf(stderr, "bench: cannot write %s\n", json.c_str());
        return 1;
    }
    if (failures > 0)
        std::printf("bench: %d measurement(s) failed (see above)\n", failures);
    return failures > 0 ? 1 : 0;
}
