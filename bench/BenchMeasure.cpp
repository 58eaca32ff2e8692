// Measures the tool in this Wine, in one run, against the least the same work can cost and
// against a peer a user might pick instead; prints the metrics and writes them as JSON.
// bench/README.md says what each figure is and why it is measured as it is.
//
//   BenchMeasure --baseline EXE --plain EXE --peer EXE --search-loop EXE [--figure NAME=VALUE]...
//                [--json FILE] [--runs N] [--startup-runs N] [--search-runs N]
//                [--only startup|found|report|search|peer]
//   BenchMeasure --why [--runs N] EXE...
//
// Paths may be Unix paths (as scripts/bench passes them) or Windows paths; the tool is the
// twin beside the tests' driver (ToolExePath). --figure gives a figure read elsewhere: the
// files' sizes, which scripts/bench reads with pefile.
//
// Three tables: the metrics (what is measured, what it is divided by, the goal), the programs,
// and the groups that measure them. One loop runs the groups and files every figure under
// "program.quantity".
#include "Bench.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "driver/ToolDriver.h"
#include "expected/Expectations.h"
#include "machine/Files.h"
#include "scenario/Scenario.h"

using namespace bench;

namespace {

enum Goal { Reported, RatioAtMost, RatioBelow, Below, Within };

struct MetricRow {
    const char* name;
    const char* unit;
    const char* group;      // the group that measures it (its load is the row's); "size": given
    const char* measured;   // the series whose median is the figure
    const char* dividedBy;  // the series whose median is the base, or NULL
    Goal goal;
    double lo, hi;
};

const MetricRow kMetrics[] = {
    { "startup_ms", "ms", "startup", "tool.painted_ms", "baseline.painted_ms", RatioAtMost, 0, 1.05 },
    { "working_set_kb", "KB", "startup", "tool.working_set_kb", "baseline.working_set_kb", RatioAtMost, 0, 1.05 },
    { "search_cpu_ms", "ms", "search", "tool.search_worker_ms", "loop.search_worker_ms", RatioAtMost, 0, 1.05 },
    { "search_cpu_vs_unthreaded", "ms", "search", "tool.search_worker_ms", "loop_main.search_cpu_ms", Reported, 0, 0 },
    { "startup_vs_nsis", "ms", "startup", "tool.painted_ms", "nsis.painted_ms", RatioBelow, 0, 1 },
    { "working_set_vs_nsis", "KB", "startup", "tool.working_set_kb", "nsis.working_set_kb", RatioBelow, 0, 1 },
    { "search_cpu_vs_nsis", "ms", "search", "tool.search_cpu_ms", "nsis.search_cpu_ms", RatioBelow, 0, 1 },
    { "found_latency_ms", "ms", "found", "tool.found_ms", nullptr, Below, 0, 100 },
    { "report_delay_ms", "ms", "report", "tool.report_ms", nullptr, Within, 500, 550 },
    { "failed_report_ms", "ms", "report", "tool.failed_report_ms", nullptr, Below, 0, 100 },
    { "image_bytes", "B", "size", "tool.image_bytes", "baseline.image_bytes", RatioAtMost, 0, 3 },
    { "file_bytes", "B", "size", "tool.file_bytes", "baseline.file_bytes", Reported, 0, 0 },
    { "file_vs_nsis", "B", "size", "tool.file_bytes", "nsis.file_bytes", Reported, 0, 0 },
    { "signed_file_bytes", "B", "size", "signed.file_bytes", "tool.file_bytes", Reported, 0, 0 },
};

// What each is: bench/README.md.
const char* const kPrograms[] = { "tool", "baseline", "plain", "loop", "loop_main", "nsis" };

// The programs' table: a column is a statistic of one of each program's figures.
struct ColumnRow {
    const char* title;
    const char* quantity;
    double (Series::*statistic)() const;
    int decimals;
};

const ColumnRow kColumns[] = {
    { "startup ms", "painted_ms", &Series::Median, 1 }, { "min", "painted_ms", &Series::Min, 1 },
    { "CPU ms", "startup_cpu_ms", &Series::Mean, 1 },   { "peak WS KB", "working_set_kb", &Series::Median, 0 },
    { "search CPU", "search_cpu_ms", &Series::Median, 1 }, { "i686 B", "file_bytes", &Series::Median, 0 },
};

struct Subject {
    const char* program;
    std::function<std::string(Figures*)> measure;
};

// A group takes its programs in turns, the order turned every round, after one uncounted round
// that warms the caches when it asks for one.
struct Group {
    const char* name;
    int rounds;
    bool warmUp;
    bool onMachine;  // on the test machine throughout: the tool and the peer open on their welcome pages
    std::vector<Subject> subjects;
};

std::string Num(double v, int decimals, const char* none = "-")
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, v);
    return std::isnan(v) ? none : text;
}

std::string GoalText(const MetricRow& m)
{
    const char* formats[] = { "(reported)", "ratio <= %g", "ratio < %g", "< %g %s", "%g..%g %s" };
    char text[64];
    if (m.goal == Within)
        std::snprintf(text, sizeof(text), formats[m.goal], m.lo, m.hi, m.unit);
    else
        std::snprintf(text, sizeof(text), formats[m.goal], m.hi, m.unit);
    return text;
}

// Everything measured in the run, and the 1-minute load when each group started and ended.
struct Run {
    std::map<std::string, Series> series;
    std::map<std::string, std::string> load;
    int failures = 0;

    // Looks that add no entry: a figure never taken has no samples, a group never run no load.
    const Series& Of(const std::string& name) const
    {
        static const Series none;
        const auto it = series.find(name);
        return it == series.end() ? none : it->second;
    }
    std::string LoadOf(const std::string& group) const { return load.count(group) ? load.at(group) : "-"; }
    double Median(const char* name) const { return name == nullptr ? NAN : Of(name).Median(); }
    double Ratio(const MetricRow& m) const { return Median(m.dividedBy) > 0 ? Median(m.measured) / Median(m.dividedBy) : NAN; }
    // A row is shown when its group ran or its figure was given.
    bool Shown(const MetricRow& m) const { return load.count(m.group) || !Of(m.measured).values.empty(); }
    // 1 met, 0 missed, -1 no goal or no figure.
    int Met(const MetricRow& m) const
    {
        const double v = m.goal == RatioAtMost || m.goal == RatioBelow ? Ratio(m) : Median(m.measured);
        if (m.goal == Reported || std::isnan(v))
            return -1;
        return m.goal == RatioAtMost ? v <= m.hi : m.goal == Within ? v >= m.lo && v <= m.hi : v < m.hi;
    }

    void Take(const Group& group)
    {
        std::unique_ptr<scenario::Machine> machine(group.onMachine ? new scenario::Machine : nullptr);
        const std::string before = watch::LoadAverage();
        const int n = static_cast<int>(group.subjects.size());
        for (int round = group.warmUp ? -1 : 0; round < group.rounds; ++round) {
            for (int k = 0; k < n; ++k, ::Sleep(200)) {
                const Subject& subject = group.subjects[(k + round + n) % n];
                Figures figures;
                const std::string problem = subject.measure(&figures);
                if (!problem.empty()) {
                    ++failures;
                    std::fprintf(stderr, "bench: %s\n", problem.c_str());
                }
                for (const auto& figure : figures)
                    if (problem.empty() && round >= 0)
                        series[std::string(subject.program) + "." + figure.first].values.push_back(figure.second);
            }
        }
        const std::string after = watch::LoadAverage();
        load[group.name] = before.substr(0, before.find(' ')) + "-" + after.substr(0, after.find(' '));
        std::printf("%s: done (load %s)\n", group.name, load[group.name].c_str());
    }

    void Print()
    {
        const char* format = "%-24s %-4s %9s %9s %9s %9s %6s  %-15s %-4s  %s\n";
        std::printf("\n");
        std::printf(format, "metric", "unit", "median", "min", "max", "base", "ratio", "goal", "met?", "load");
        std::set<std::string> shown;
        for (const MetricRow& m : kMetrics) {
            const int d = m.unit[0] == 'm' ? 1 : 0, met = Met(m);
            const Series& s = Of(m.measured);
            if (Shown(m))
                std::printf(format, m.name, m.unit, Num(s.Median(), d).c_str(), Num(s.Min(), d).c_str(),
                            Num(s.Max(), d).c_str(), Num(Median(m.dividedBy), d).c_str(), Num(Ratio(m), 2).c_str(),
                            GoalText(m).c_str(), met < 0 ? "-" : met ? "yes" : "NO",
                            LoadOf(m.group).c_str());
            shown.insert(m.measured);
        }
        std::printf("\n%-10s", "program");
        for (const ColumnRow& c : kColumns)
            std::printf(" %10s", c.title);
        for (const char* p : kPrograms) {
            std::printf("\n%-10s", p);
            for (const ColumnRow& c : kColumns) {
                const std::string name = std::string(p) + "." + c.quantity;
                std::printf(" %10s", Num((Of(name).*c.statistic)(), c.decimals).c_str());
                shown.insert(name);
            }
        }
        std::printf("\n");
        std::printf("\nother figures (median, min, samples; bench/README.md says what each is):\n");
        for (const auto& s : series)
            if (shown.count(s.first) == 0 && !s.second.values.empty())
                std::printf("  %-28s %10s %10s %4zu\n", s.first.c_str(), Num(s.second.Median(), 1).c_str(),
                            Num(s.second.Min(), 1).c_str(), s.second.values.size());
    }

    bool WriteJson(const std::string& path, const std::string& loadBefore, const std::string& loadAfter)
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr)
            return false;
        std::fprintf(f, "{\n  \"load_before\": \"%s\",\n  \"load_after\": \"%s\",\n  \"metrics\": [",
                     loadBefore.c_str(), loadAfter.c_str());
        const char* separator = "\n";
        for (const MetricRow& m : kMetrics) {
            const int met = Met(m);
            if (Shown(m))
                std::fprintf(f,
                             "%s    {\"name\": \"%s\", \"unit\": \"%s\", \"measured\": \"%s\", \"divided_by\": \"%s\", "
                             "\"value\": %s, \"baseline\": %s, \"ratio\": %s, \"goal\": \"%s\", \"met\": %s, "
                             "\"load\": \"%s\"}",
                             std::exchange(separator, ",\n"), m.name, m.unit, m.measured,
                             m.dividedBy ? m.dividedBy : "", Num(Median(m.measured), 3, "null").c_str(),
                             Num(Median(m.dividedBy), 3, "null").c_str(), Num(Ratio(m), 4, "null").c_str(),
                             GoalText(m).c_str(), met < 0 ? "null" : met ? "true" : "false", LoadOf(m.group).c_str());
        }
        std::fprintf(f, "\n  ],\n  \"samples\": {");
        separator = "\n";
        for (const auto& s : series) {
            std::fprintf(f, "%s    \"%s\": [", std::exchange(separator, ",\n"), s.first.c_str());
            for (size_t i = 0; i < s.second.values.size(); ++i)
                std::fprintf(f, "%s%.3f", i ? ", " : "", s.second.values[i]);
            std::fprintf(f, "]");
        }
        std::fprintf(f, "\n  }\n}\n");
        return std::fclose(f) == 0;
    }
};

int Usage()
{
    std::fprintf(stderr, "usage: BenchMeasure --baseline EXE --plain EXE --peer EXE --search-loop EXE [OPTION VALUE]...\n"
                         "       BenchMeasure --why [--runs N] EXE...\n(the options: bench/BenchMeasure.cpp)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> option;  // by name, without the dashes
    std::vector<std::string> why;               // the programs --why compares
    Run run;
    // Unix paths (as scripts/bench passes them) become Z:\ paths; Windows paths stay.
    auto windowsPath = [](const std::string& p) { return p.empty() || p[0] != '/' ? p : machine::WindowsPathOf(p); };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i], value = i + 1 < argc ? argv[i + 1] : "";
        const size_t equals = value.find('=');
        if (arg == "--why") {
            option["why"] = "1";
        } else if (arg == "--figure" && equals != std::string::npos) {
            run.series[value.substr(0, equals)].values.push_back(std::atof(value.c_str() + equals + 1));
            ++i;
        } else if (arg.rfind("--", 0) == 0 && !value.empty()) {
            option[arg.substr(2)] = value;
            ++i;
        } else if (option.count("why")) {
            why.push_back(windowsPath(arg));
        } else {
            return Usage();
        }
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    auto number = [&](const char* name, int fallback) {
        return option.count(name) ? std::atoi(option[name].c_str()) : fallback;
    };
    const int runs = number("runs", 7), startupRuns = number("startup-runs", 15), searchRuns = number("search-runs", 5);
    if (runs < 1 || startupRuns < 1 || searchRuns < 1)
        return Usage();
    if (option.count("why"))
        return why.empty() ? Usage() : CompareStarts(why, runs);
    for (const char* needed : { "baseline", "plain", "peer", "search-loop" })
        if (option[needed].empty())
            return Usage();

    auto exe = [&](const char* name) { return windowsPath(option[name]); };
    const std::string tool = driver::ToolExePath(), peer = exe("peer"), loop = exe("search-loop");
    auto start = [](const char* program, const std::string& path, const char* text, Closing closing) {
        return Subject{ program, [=](Figures* f) { return MeasureStart(path, text, closing, f); } };
    };
    const std::vector<Group> groups = {
        // The peer is compared only once it is seen doing the job.
        { "peer", 1, false, false, { { "nsis", [&](Figures*) { return CheckPeerJob(peer); } } } },
        { "startup", startupRuns, true, true,
          { start("tool", tool, expected::kWelcomeText, Closing::Kill),
            start("baseline", exe("baseline"), nullptr, Closing::Kill),
            start("plain", exe("plain"), nullptr, Closing::Kill),
            start("nsis", peer, expected::kWelcomeText, Closing::Cancel) } },
        { "found", runs, false, false, { { "tool", MeasureFound } } },
        { "report", runs, false, false,
          { { "tool", [](Figures* f) { return MeasureReport(false, f); } },
            { "tool", [](Figures* f) { return MeasureReport(true, f); } } } },
        { "search", searchRuns, false, false,
          { { "tool", MeasureToolSearch },
            { "loop", [&](Figures* f) { return MeasureLoopSearch(loop, true, f); } },
            { "loop_main", [&](Figures* f) { return MeasureLoopSearch(loop, false, f); } },
            { "nsis", [&](Figures* f) { return MeasurePeerSearch(peer, f); } } } },
    };

    const std::string loadBefore = watch::LoadAverage();
    std::printf("load average (1, 5, 15 min) at the start: %s\n", loadBefore.c_str());
    for (const Group& group : groups)
        if (option["only"].empty() || option["only"] == group.name)
            run.Take(group);
    const std::string loadAfter = watch::LoadAverage();
    run.Print();
    std::printf("\nload average (1, 5, 15 min): %s at the start, %s at the end\n", loadBefore.c_str(), loadAfter.c_str());
    if (!option["json"].empty() && !run.WriteJson(exe("json"), loadBefore, loadAfter)) {
        std::fprintf(stderr, "bench: cannot write %s\n", option["json"].c_str());
        return 1;
    }
    if (run.failures > 0)
        std::printf("bench: %d measurement(s) or check(s) failed (see above)\n", run.failures);
    return run.failures > 0 ? 1 : 0;
}
