#include "Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

double Series::Median() const
{
    if (values.empty())
        return NAN;
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Series::Min() const
{
    return values.empty() ? NAN : *std::min_element(values.begin(), values.end());
}

double Series::Mean() const
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return values.empty() ? NAN : sum / static_cast<double>(values.size());
}

double Series::Max() const
{
    return values.empty() ? NAN : *std::max_element(values.begin(), values.end());
}

void Fail(Series& series, const std::string& what)
{
    ++series.failures;
    std::fprintf(stderr, "bench: %s\n", what.c_str());
}

double Metric::Baseline() const
{
    return baseSeries.Empty() ? baseline : baseSeries.Median();
}

double Metric::Ratio() const
{
    const double base = Baseline();
    return base > 0 && !tool.Empty() ? tool.Median() / base : NAN;
}

int Metric::Met() const
{
    if (tool.Empty())
        return -1;
    const double v = tool.Median();
    switch (goalKind) {
    case 1: return std::isnan(Ratio()) ? -1 : Ratio() <= hi;
    case 2: return v < hi;
    case 3: return v >= lo && v <= hi;
    case 4: return std::isnan(Ratio()) ? -1 : Ratio() < hi;
    default: return -1;
    }
}

std::string Num(double v, int decimals)
{
    if (std::isnan(v))
        return "-";
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, v);
    return text;
}

namespace {

std::string Json(double v, int decimals)
{
    return std::isnan(v) ? "null" : Num(v, decimals);
}

}  // namespace

std::string List(const Series& series, const char* separator, int decimals)
{
    std::string list;
    for (double v : series.values)
        list += (list.empty() ? "" : separator) + Num(v, decimals);
    return list;
}

void PrintTable(const std::vector<Metric>& metrics)
{
    std::printf("%-24s %-4s %9s %9s %9s %9s %6s  %-15s %-4s  %s\n", "metric", "unit", "median", "min", "max", "base",
                "ratio", "goal", "met?", "load");
    for (const Metric& m : metrics) {
        const int decimals = m.unit == "ms" ? 1 : 0;
        const int met = m.Met();
        std::printf("%-24s %-4s %9s %9s %9s %9s %6s  %-15s %-4s  %s\n", m.name.c_str(), m.unit.c_str(),
                    Num(m.tool.Median(), decimals).c_str(), Num(m.tool.Min(), decimals).c_str(),
                    Num(m.tool.Max(), decimals).c_str(), Num(m.Baseline(), decimals).c_str(),
                    Num(m.Ratio(), 2).c_str(), m.goal.c_str(), met < 0 ? "-" : met ? "yes" : "NO",
                    m.load.empty() ? "-" : m.load.c_str());
    }
}

void PrintPrograms(const std::vector<Program>& programs)
{
    std::printf("%-10s %10s %8s %8s %11s %10s %10s  %s\n", "program", "startup ms", "min", "CPU ms", "peak WS KB",
                "search CPU", "i686 B", "what");
    for (const Program& p : programs) {
        std::printf("%-10s %10s %8s %8s %11s %10s %10s  %s\n", p.name.c_str(), Num(p.startup.Median()).c_str(),
                    Num(p.startup.Min()).c_str(), Num(p.startupCpu.Mean()).c_str(), Num(p.workingSet.Median(), 0).c_str(),
                    Num(p.searchCpu.Median()).c_str(), Num(p.fileBytes, 0).c_str(), p.what.c_str());
    }
}

namespace {

std::string JsonText(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string JsonSeries(const Series& series)
{
    return "{\"median\": " + Json(series.Median(), 3) + ", \"min\": " + Json(series.Min(), 3) + ", \"max\": " +
           Json(series.Max(), 3) + ", \"samples\": [" + List(series, ", ", 3) + "]}";
}

}  // namespace

bool WriteJson(const std::string& path, const std::vector<Metric>& metrics, const std::vector<Program>& programs,
               const std::string& loadBefore, const std::string& loadAfter)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::fprintf(f, "{\n  \"load_before\": %s,\n  \"load_after\": %s,\n  \"metrics\": [\n",
                 JsonText(loadBefore).c_str(), JsonText(loadAfter).c_str());
    for (size_t i = 0; i < metrics.size(); ++i) {
        const Metric& m = metrics[i];
        const int met = m.Met();
        std::fprintf(f,
                     "    {\"name\": %s, \"unit\": %s, \"value\": %s, \"baseline\": %s, \"ratio\": %s, "
                     "\"min\": %s, \"max\": %s, \"runs\": %d, \"goal\": %s, \"met\": %s, \"load\": %s, "
                     "\"samples\": [%s], \"baseline_samples\": [%s]}%s\n",
                     JsonText(m.name).c_str(), JsonText(m.unit).c_str(), Json(m.tool.Median(), 3).c_str(),
                     Json(m.Baseline(), 3).c_str(), Json(m.Ratio(), 4).c_str(), Json(m.tool.Min(), 3).c_str(),
                     Json(m.tool.Max(), 3).c_str(), static_cast<int>(m.tool.values.size()), JsonText(m.goal).c_str(),
                     met < 0 ? "null" : met ? "true" : "false", JsonText(m.load).c_str(), List(m.tool, ", ", 3).c_str(),
                     List(m.baseSeries, ", ", 3).c_str(), i + 1 < metrics.size() ? "," : "");
    }
    std::fprintf(f, "  ],\n  \"programs\": [\n");
    for (size_t i = 0; i < programs.size(); ++i) {
        const Program& p = programs[i];
        std::fprintf(f,
                     "    {\"name\": %s, \"what\": %s, \"startup_ms\": %s, \"startup_cpu_ms\": %s, "
                     "\"working_set_kb\": %s, \"search_cpu_ms\": %s, \"i686_file_bytes\": %s}%s\n",
                     JsonText(p.name).c_str(), JsonText(p.what).c_str(), JsonSeries(p.startup).c_str(),
                     JsonSeries(p.startupCpu).c_str(), JsonSeries(p.workingSet).c_str(), JsonSeries(p.searchCpu).c_str(),
                     Json(p.fileBytes, 0).c_str(), i + 1 < programs.size() ? "," : "");
    }
    std::fprintf(f, "  ]\n}\n");
    return std::fclose(f) == 0;
}

}  // namespace bench
