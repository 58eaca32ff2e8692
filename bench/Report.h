// Samples, the metrics made of them, and how they are reported: the table on stdout and
// the JSON file.
#ifndef BENCH_REPORT_H
#define BENCH_REPORT_H

#include <cmath>
#include <string>
#include <vector>

namespace bench {

struct Series {
    std::vector<double> values;
    int failures = 0;

    void Add(double v) { values.push_back(v); }
    bool Empty() const { return values.empty(); }
    double Median() const;
    double Min() const;
    double Mean() const;
    double Max() const;
};

// Counts a failed measurement and says why on stderr.
void Fail(Series& series, const std::string& what);

struct Metric {
    std::string name, unit;
    Series tool;
    double baseline = NAN;  // the fixed baseline, when there are no baseline samples
    Series baseSeries;
    std::string goal;
    int goalKind = 0;  // 1 ratio <= hi, 2 value < hi, 3 lo <= value <= hi, 4 ratio < hi, 0 none
    double lo = 0, hi = 0;
    std::string load;  // the 1-minute load average while its samples were taken

    double Baseline() const;
    double Ratio() const;
    // 1 met, 0 missed, -1 no goal or no figure.
    int Met() const;
};

// v with that many decimals, "-" for NAN.
std::string Num(double v, int decimals = 1);
// The samples, joined by separator.
std::string List(const Series& series, const char* separator, int decimals);

// One program measured in the run, for the table of programs.
struct Program {
    std::string name, what;
    Series startup, startupCpu, workingSet, searchCpu;
    double fileBytes = NAN;  // of its i686 build
};

void PrintTable(const std::vector<Metric>& metrics);
void PrintPrograms(const std::vector<Program>& programs);
bool WriteJson(const std::string& path, const std::vector<Metric>& metrics, const std::vector<Program>& programs,
               const std::string& loadBefore, const std::string& loadAfter);

}  // namespace bench

#endif
