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
    std::printf("%-17s %-4s %10s %10s %10s %10s %6s  %-18s %s\n", "metric", "unit", "median", "min", "max",
                "baseline", "ratio", "goal", "met?");
    for (const Metric& m : metrics) {
        const int decimals = m.unit == "ms" ? 1 : 0;
        const int met = m.Met();
        std::printf("%-17s %-4s %10s %10s %10s %10s %6s  %-18s %s\n", m.name.c_str(), m.unit.c_str(),
                    Num(m.tool.Median(), decimals).c_str(), Num(m.tool.Min(), decimals).c_str(),
                    Num(m.tool.Max(), decimals).c_str(), Num(m.Baseline(), decimals).c_str(),
                    Num(m.Ratio(), 2).c_str(), m.goal.c_str(), met < 0 ? "-" : met ? "yes" : "NO");
    }
}

bool WriteJson(const std::string& path, const std::vector<Metric>& metrics)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::fprintf(f, "[\n");
    for (size_t i = 0; i < metrics.size(); ++i) {
        const Metric& m = metrics[i];
        const int met = m.Met();
        std::fprintf(f,
                     "  {\"name\": \"%s\", \"unit\": \"%s\", \"value\": %s, \"baseline\": %s, \"ratio\": %s, "
                     "\"min\": %s, \"max\": %s, \"runs\": %d, \"goal\": \"%s\", \"met\": %s, "
                     "\"samples\": [%s], \"baseline_samples\": [%s]}%s\n",
                     m.name.c_str(), m.unit.c_str(), Json(m.tool.Median(), 3).c_str(), Json(m.Baseline(), 3).c_str(),
                     Json(m.Ratio(), 4).c_str(), Json(m.tool.Min(), 3).c_str(), Json(m.tool.Max(), 3).c_str(),
                     static_cast<int>(m.tool.values.size()), m.goal.c_str(),
                     met < 0 ? "null" : met ? "true" : "false", List(m.tool, ", ", 3).c_str(),
                     List(m.baseSeries, ", ", 3).c_str(), i + 1 < metrics.size() ? "," : "");
    }
    std::fprintf(f, "]\n");
    return std::fclose(f) == 0;
}

}  // namespace bench
