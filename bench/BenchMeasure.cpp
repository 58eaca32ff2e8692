// Measures the tool in this Wine, in one run, against the least the same work can cost and
// against a peer a user might pick instead:
//   - start-up to the first painted page and the peak working set then, against the bare
//     dialog that carries the tool's manifest (administrator rights, Common Controls 6) and
//     DLL imports, which are prescribed (the plain bare dialog is reported beside it);
//   - CPU of a complete not-found disc search, against a bare loop that makes the same calls on
//     a worker thread begun and ended as the wizard's (the unthreaded loop reported beside it);
//   - the same three figures of the NSIS peer (NsisPeer.nsi), and the i686 file sizes (the
//     signed release's too, when scripts/bench finds one);
//   - latency of a found disc and delay of the report after the setup program.
// Prints the tables and writes the JSON file.
//
//   BenchMeasure --baseline EXE --plain EXE --peer EXE --search-loop EXE
//                --tool32 EXE --baseline32 EXE --plain32 EXE --peer32 EXE
//                [--signed32 EXE] [--json FILE] [--runs N] [--startup-runs N] [--search-runs N]
//                [--only startup|found|report|search|peer]
//   BenchMeasure --why [--runs N] EXE...     start-up, its CPU and the working set of each program
//
// Paths may be Unix paths (as scripts/bench passes them) or Windows paths. The x86_64 tool
// is the one beside the tests' driver (ToolExePath).
//
// The parts: Measurements and PeerMeasurements (one sample of each kind), ProcessSampler
// (CPU and memory from /proc), WindowWatch (window state from the window server), Report (the
// tables and the JSON file). Sizes and imports are read by the resource tests' PE reader
// (tests/resources/PeResources.h); the tool is driven through the harness.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "expected/Expectations.h"
#include "Measurements.h"
#include "PeResources.h"
#include "PeerMeasurements.h"
#include "ProcessSampler.h"
#include "Report.h"
#include "scenario/Scenario.h"
#include "driver/ToolDriver.h"
#include "WindowWatch.h"

using namespace bench;
using namespace driver;
using namespace machine;

namespace {

using expected::kWelcomeText;

int Usage()
{
    std::fprintf(stderr,
                 "usage: BenchMeasure --baseline EXE --plain EXE --peer EXE --search-loop EXE\n"
                 "                    --tool32 EXE --baseline32 EXE --plain32 EXE --peer32 EXE\n"
                 "                    [--signed32 EXE] [--json FILE] [--runs N] [--startup-runs N] [--search-runs N]\n"
                 "                    [--only startup|found|report|search|peer]\n"
                 "       BenchMeasure --why [--runs N] EXE...\n");
    return 2;
}

// --why: start-up and working set of several programs, interleaved run by run.
int CompareStarts(const std::vector<std::string>& exes, int runs)
{
    std::vector<Series> painted(exes.size()), visible(exes.size()), workingSet(exes.size()), cpu(exes.size());
    scenario::Machine machine;  // the tool opens on the welcome step
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


// The 1-minute load at the start of a group and at its end: "0.42-0.61".
struct LoadSpan {
    std::string before = LoadAverage();
    std::string Span() const
    {
        const std::string after = LoadAverage();
        return before.substr(0, before.find(' ')) + "-" + after.substr(0, after.find(' '));
    }
};

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

// Bytes of a PE file: the whole file and its .rsrc section's raw data. False when it cannot
// be opened as one.
bool ReadPeSizes(const std::string& path, double* pFile, double* pResources)
{
    const pe::DataFile file(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (file.module() == nullptr || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    *pFile = static_cast<double>(data.nFileSizeLow) + static_cast<double>(data.nFileSizeHigh) * 4294967296.0;
    *pResources = file.sectionBytes(".rsrc");
    return true;
}

// The baseline stands for the tool only while it imports the very same DLLs.
bool SameImports(const std::string& tool, const std::string& baseline, Series& failures)
{
    const std::vector<std::string> toolDlls = pe::DataFile(tool).importedDlls();
    const std::vector<std::string> baselineDlls = pe::DataFile(baseline).importedDlls();
    // The tool imports at least kernel32: an empty list is a file that was not read.
    if (toolDlls.empty() || baselineDlls.empty()) {
        Fail(failures, "cannot read the imports of " + tool + " and " + baseline);
        return false;
    }
    if (toolDlls != baselineDlls) {
        Fail(failures, "the baseline " + BaseName(baseline) + " imports " + Joined(baselineDlls) + ", the tool " +
                           Joined(toolDlls) + ": bench/CMakeLists.txt must follow the tool");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string baseline, plain, peer, searchLoop, tool32, baseline32, plain32, peer32, signed32, json, only;
    std::vector<std::string> why;
    bool whyMode = false;
    int runs = 7, startupRuns = 15, searchRuns = 5;
    // Unix paths (as scripts/bench passes them) become Z:\ paths; Windows paths stay.
    auto WindowsPath = [](const std::string& path) { return path[0] == '/' ? WindowsPathOf(path) : path; };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--baseline") baseline = WindowsPath(next());
        else if (arg == "--plain") plain = WindowsPath(next());
        else if (arg == "--peer") peer = WindowsPath(next());
        else if (arg == "--search-loop") searchLoop = WindowsPath(next());
        else if (arg == "--tool32") tool32 = WindowsPath(next());
        else if (arg == "--baseline32") baseline32 = WindowsPath(next());
        else if (arg == "--plain32") plain32 = WindowsPath(next());
        else if (arg == "--peer32") peer32 = WindowsPath(next());
        else if (arg == "--signed32") signed32 = WindowsPath(next());
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
    for (const std::string* path : { &baseline, &plain, &peer, &searchLoop, &tool32, &baseline32, &plain32, &peer32 }) {
        if (path->empty())
            return Usage();
    }
    auto wanted = [&](const char* group) { return only.empty() || only == group; };
    const std::string loadBefore = LoadAverage();
    std::printf("load average (1, 5, 15 min) at the start: %s\n", loadBefore.c_str());

    const std::string tool = ToolExePath();
    enum { kTool, kBaseline, kPlain, kLoop, kLoopMain, kPeer };
    std::vector<Program> programs(6);
    programs[kTool].name = "tool", programs[kTool].what = "the x86_64 twin (the i686 release for the size)";
    programs[kBaseline].name = "baseline", programs[kBaseline].what = "bare dialog + the tool's manifest and DLL imports";
    programs[kPlain].name = "plain", programs[kPlain].what = "bare dialog, no manifest, no other imports";
    programs[kLoop].name = "loop", programs[kLoop].what = "bare search loop on a worker thread begun as the wizard's";
    programs[kLoopMain].name = "loop_main", programs[kLoopMain].what = "the same loop on its main thread, no thread";
    programs[kPeer].name = "nsis", programs[kPeer].what = "NSIS peer: amd64-unicode stub (x86-unicode for the size)";

    // One row each; goalKind as in Report.h: 1 ratio <= hi, 2 value < hi, 3 lo <= value <= hi,
    // 4 ratio < hi, 0 reported.
    std::vector<Metric> metrics;
    metrics.reserve(14);  // the references below stay valid
    auto add = [&](const char* name, const char* unit, const char* goal, int kind = 0, double hi = 0,
                   double lo = 0) -> Metric& {
        metrics.emplace_back();
        Metric& m = metrics.back();
        m.name = name, m.unit = unit, m.goal = goal, m.goalKind = kind, m.hi = hi, m.lo = lo;
        return m;
    };
    Metric& startup = add("startup_ms", "ms", "ratio <= 1.05", 1, 1.05);
    Metric& workingSet = add("working_set_kb", "KB", "ratio <= 1.05", 1, 1.05);
    Metric& searchCpu = add("search_cpu_ms", "ms", "ratio <= 1.05", 1, 1.05);
    Metric& searchCpuMain = add("search_cpu_vs_unthreaded", "ms", "(reported)");
    Metric& startupPeer = add("startup_vs_nsis", "ms", "ratio < 1", 4, 1);
    Metric& workingSetPeer = add("working_set_vs_nsis", "KB", "ratio < 1", 4, 1);
    Metric& searchCpuPeer = add("search_cpu_vs_nsis", "ms", "ratio < 1", 4, 1);
    Metric& found = add("found_latency_ms", "ms", "< 100 ms", 2, 100);
    Metric& report = add("report_delay_ms", "ms", "500..550 ms", 3, 550, 500);
    // A failed start is reported at once: without the half second that follows a success.
    Metric& failedReport = add("failed_report_ms", "ms", "< 100 ms", 2, 100);
    Metric& image = add("image_bytes", "B", "ratio <= 3", 1, 3);
    Metric& file = add("file_bytes", "B", "(reported)");
    Metric& filePeer = add("file_vs_nsis", "B", "(reported)");
    // The signed release's size is a row of its own, only when there is one.
    Metric* signedFile = signed32.empty() ? nullptr : &add("signed_file_bytes", "B", "(reported)");

    // Sizes and imports first: they cannot fail halfway.
    Series checks;  // failures that belong to no metric
    SameImports(tool, baseline, checks);
    SameImports(tool32, baseline32, checks);
    double toolFile = 0, toolRsrc = 0, baseFile = 0, baseRsrc = 0, plainFile = 0, plainRsrc = 0, peerFile = 0, peerRsrc = 0;
    if (ReadPeSizes(tool32, &toolFile, &toolRsrc) && ReadPeSizes(baseline32, &baseFile, &baseRsrc)
        && ReadPeSizes(plain32, &plainFile, &plainRsrc) && ReadPeSizes(peer32, &peerFile, &peerRsrc)) {
        image.tool.Add(toolFile - toolRsrc);
        image.baseline = baseFile - baseRsrc;
        file.tool.Add(toolFile);
        file.baseline = baseFile;
        filePeer.tool.Add(toolFile);
        filePeer.baseline = peerFile;
        programs[kTool].fileBytes = toolFile;
        programs[kBaseline].fileBytes = baseFile;
        programs[kPlain].fileBytes = plainFile;
        programs[kPeer].fileBytes = peerFile;
    } else {
        Fail(image.tool, "cannot read the i686 files " + tool32 + ", " + baseline32 + ", " + plain32 + " and " + peer32);
    }
    // Beside the unsigned file: the same release signed (the signature and its certificates).
    double signedBytes = 0, signedRsrc = 0;
    if (signedFile && ReadPeSizes(signed32, &signedBytes, &signedRsrc)) {
        signedFile->tool.Add(signedBytes);
        signedFile->baseline = toolFile;
    } else if (signedFile) {
        Fail(signedFile->tool, "cannot read the signed i686 file " + signed32);
    }

    // The peer is compared only once it is seen doing the job.
    if (wanted("peer")) {
        std::string error;
        if (CheckPeerJob(peer, &error))
            std::printf("nsis: walked through the whole job (setup program run, both shortcuts deleted, closed)\n");
        else
            Fail(checks, "NSIS peer: " + error);
    }

    // Start-up and working set: the four programs in turns, the order turned every round,
    // after one uncounted round that warms the caches.
    Series toolVisible, baseVisible, toolHwm, baseHwm;
    if (wanted("startup")) {
        LoadSpan load;
        scenario::Machine machine;  // the tool and the peer then open on their welcome pages
        const int order[4] = { kTool, kBaseline, kPlain, kPeer };
        for (int run = -1; run < startupRuns; ++run) {
            for (int k = 0; k < 4; ++k) {
                const int which = order[(k + run + 4) % 4];
                const bool page = which == kTool || which == kPeer;
                const std::string& exe = which == kTool ? tool : which == kBaseline ? baseline : which == kPlain ? plain : peer;
                std::string error;
                StartSample s = MeasureStart(exe, page ? kWelcomeText : nullptr, &error,
                                             which == kPeer ? Closing::Cancel : Closing::Kill);
                Program& p = programs[which];
                if (!s.ok) {
                    Fail(p.startup, error);
                } else if (run >= 0) {
                    p.startup.Add(s.paintedMs);
                    p.workingSet.Add(s.peakWorkingSetKb);
                    p.startupCpu.Add(s.cpuMs);
                    if (which == kTool)
                        toolVisible.Add(s.visibleMs), toolHwm.Add(s.linuxPeakKb);
                    if (which == kBaseline)
                        baseVisible.Add(s.visibleMs), baseHwm.Add(s.linuxPeakKb);
                }
                ::Sleep(200);
            }
        }
        startup.tool = startupPeer.tool = programs[kTool].startup;
        startup.baseSeries = programs[kBaseline].startup;
        startupPeer.baseSeries = programs[kPeer].startup;
        workingSet.tool = workingSetPeer.tool = programs[kTool].workingSet;
        workingSet.baseSeries = programs[kBaseline].workingSet;
        workingSetPeer.baseSeries = programs[kPeer].workingSet;
        for (Metric* m : { &startup, &workingSet, &startupPeer, &workingSetPeer })
            m->load = load.Span();
        std::printf("startup: tool %s ms, baseline %s ms, plain %s ms, nsis %s ms (load %s)\n",
                    Num(programs[kTool].startup.Median()).c_str(), Num(programs[kBaseline].startup.Median()).c_str(),
                    Num(programs[kPlain].startup.Median()).c_str(), Num(programs[kPeer].startup.Median()).c_str(),
                    startup.load.c_str());
    }

    Series foundText;
    if (wanted("found")) {
        LoadSpan load;
        for (int run = 0; run < runs; ++run) {
            std::string error;
            FoundSample s = MeasureFound(&error);
            if (!s.ok) {
                Fail(found.tool, error);
                continue;
            }
            found.tool.Add(s.paintedMs);
            foundText.Add(s.textMs);
        }
        found.load = load.Span();
        std::printf("found: %s ms (load %s)\n", Num(found.tool.Median()).c_str(), found.load.c_str());
    }

    if (wanted("report")) {
        LoadSpan load;
        for (int run = 0; run < runs; ++run) {
            std::string error;
            double delay = 0;
            if (MeasureReport(Report::AfterSetup, &delay, &error))
                report.tool.Add(delay);
            else
                Fail(report.tool, error);
            if (MeasureReport(Report::FailedStart, &delay, &error))
                failedReport.tool.Add(delay);
            else
                Fail(failedReport.tool, error);
        }
        report.load = failedReport.load = load.Span();
        std::printf("report: %s ms, failed start %s ms (load %s)\n", Num(report.tool.Median()).c_str(),
                    Num(failedReport.tool.Median()).c_str(), report.load.c_str());
    }

    // The tool's search, the bare loop's (on a worker thread and on its main thread) and the
    // peer's in turns, the order turned every run. The search itself is the tool's worker: its
    // window thread meanwhile paints the searching and the not-found steps, which the loop does
    // not show. Against the threaded loop count the threads but the main thread, alike; against
    // the unthreaded loop and the peer (which searches on its window thread) whole processes.
    Series searchElapsed, searchTicks, searchMain, searchWorker, loopElapsed, loopWorker;
    if (wanted("search")) {
        LoadSpan load;
        const int order[4] = { kTool, kLoop, kLoopMain, kPeer };
        for (int run = 0; run < searchRuns; ++run) {
            for (int k = 0; k < 4; ++k) {
                const int which = order[(k + run) % 4];
                std::string error;
                const SearchSample s = which == kTool ? MeasureNotFoundSearch(&error)
                                       : which == kPeer ? MeasurePeerSearch(peer, &error)
                                                        : MeasureSearchLoop(searchLoop, which == kLoop, &error);
                Program& p = programs[which];
                if (!s.ok) {
                    Fail(p.searchCpu, error);
                    continue;
                }
                p.searchCpu.Add(s.cpuMs);
                if (which == kTool) {
                    searchElapsed.Add(s.elapsedMs), searchTicks.Add(s.tickMs), searchMain.Add(s.mainMs);
                    searchWorker.Add(s.cpuMs - s.mainMs);
                }
                if (which == kLoop)
                    loopElapsed.Add(s.elapsedMs), loopWorker.Add(s.cpuMs - s.mainMs);
                std::printf("search %d, %s: %s ms CPU (main thread %s, others %s; ticks %s) over %s ms (load %s)\n",
                            run + 1, p.name.c_str(), Num(s.cpuMs).c_str(), Num(s.mainMs).c_str(),
                            Num(s.cpuMs - s.mainMs).c_str(), Num(s.tickMs, 0).c_str(), Num(s.elapsedMs, 0).c_str(),
                            LoadAverage().substr(0, LoadAverage().find(' ')).c_str());
            }
        }
        searchCpu.tool = searchCpuMain.tool = searchWorker;
        searchCpuPeer.tool = programs[kTool].searchCpu;
        searchCpu.baseSeries = loopWorker;
        searchCpuMain.baseSeries = programs[kLoopMain].searchCpu;
        searchCpuPeer.baseSeries = programs[kPeer].searchCpu;
        searchCpu.load = searchCpuMain.load = searchCpuPeer.load = load.Span();
    }

    if (!only.empty()) {
        for (const Metric& m : metrics) {
            if (!m.tool.Empty() && m.unit != "B")
                std::printf("%s samples: %s%s%s\n", m.name.c_str(), List(m.tool, " ", 1).c_str(),
                            m.baseSeries.Empty() ? "" : "; base: ", List(m.baseSeries, " ", 1).c_str());
        }
    }
    const std::string loadAfter = LoadAverage();
    std::printf("\n");
    PrintTable(metrics);
    std::printf("\n");
    PrintPrograms(programs);
    std::printf(
        "\nload average (1, 5, 15 min): %s at the start, %s at the end; the load column: 1-minute load\n"
        "  when the metric's group started and ended. Figures taken under load mean little.\n"
        "base: the baseline (bare dialog + the tool's manifest and imports) for startup, working set and\n"
        "  sizes; the bare search loop on a worker thread for search_cpu (on its main thread for\n"
        "  search_cpu_vs_unthreaded); the NSIS peer for the *_vs_nsis rows.\n"
        "startup: CreateProcess until the window is visible, neither it nor a child has an update region\n"
        "  left and (tool, nsis) the welcome text is shown; looked at every ~1 ms. Visible alone at %s ms\n"
        "  (tool) and %s ms (baseline). Other load only adds time: fastest runs %s / %s ms (ratio %s).\n"
        "working_set: PeakWorkingSetSize 300 ms after the paint (Linux's VmHWM then: %s / %s KB).\n"
        "search_cpu: run time of threads, from Linux (Wine 8.0's GetProcessTimes reports the caller's\n"
        "  own), from Next on the disc page until the not-found page is painted (the loop: from its start\n"
        "  signal to its end); %d tool searches of %s ms. Against the threaded loop, the threads but the\n"
        "  main thread of both: the tool's paints the two steps the loop does not show (%s ms); against\n"
        "  the unthreaded loop and the peer, whole processes. Whole-process 10 ms ticks: %s ms. The\n"
        "  threaded loop searched for %s ms.\n"
        "found: Next until ReadyToInstall is painted; its text was set after %s ms.\n"
        "image_bytes: i686 file without .rsrc; .rsrc is %s B (tool) and %s B (baseline).%s\n"
        "nsis: NSIS 3.08 from Debian, stock plain interface with nsDialogs pages. Debian ships amd64 stubs,\n"
        "  so its start-up, working set and search run under wine64 beside the x86_64 twin; its size is\n"
        "  the x86-unicode build's, beside the i686 release.\n",
        loadBefore.c_str(), loadAfter.c_str(), Num(toolVisible.Median()).c_str(), Num(baseVisible.Median()).c_str(),
        Num(startup.tool.Min()).c_str(), Num(startup.baseSeries.Min()).c_str(),
        Num(startup.tool.Min() / startup.baseSeries.Min(), 2).c_str(), Num(toolHwm.Median(), 0).c_str(),
        Num(baseHwm.Median(), 0).c_str(), static_cast<int>(searchElapsed.values.size()),
        Num(searchElapsed.Median(), 0).c_str(), Num(searchMain.Median()).c_str(), Num(searchTicks.Median(), 0).c_str(),
        Num(loopElapsed.Median(), 0).c_str(), Num(foundText.Median()).c_str(), Num(toolRsrc, 0).c_str(),
        Num(baseRsrc, 0).c_str(),
        signedFile ? "\nsigned_file_bytes: build/release/signed/, the i686 release as scripts/sign signed it; base: the\n"
                     "  unsigned file."
                   : "");

    // The start-up and search metrics hold copies of the programs' series: counted there.
    int failures = checks.failures + found.tool.failures + report.tool.failures + failedReport.tool.failures + image.tool.failures +
                   (signedFile ? signedFile->tool.failures : 0);
    for (const Program& p : programs)
        failures += p.startup.failures + p.searchCpu.failures;
    if (!json.empty() && !WriteJson(json, metrics, programs, loadBefore, loadAfter)) {
        std::fprintf(stderr, "bench: cannot write %s\n", json.c_str());
        return 1;
    }
    if (failures > 0)
        std::printf("bench: %d measurement(s) or check(s) failed (see above)\n", failures);
    return failures > 0 ? 1 : 0;
}
