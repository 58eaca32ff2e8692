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
// While a step is being timed the tool's own thread is never asked anything: window state is
// read from the window server (visibility, enabled state, pending update regions), which
// costs the tool nothing. Control texts (which the tool's thread must answer) are read only
// before and after a timed span.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Expectations.h"
#include "SetupRun.h"
#include "TestMachine.h"
#include "ToolDriver.h"

using namespace driver;
using namespace machine;
using fakesetup::ReadKeyValues;

namespace {

using expected::kWelcomeText;
using expected::kInsertDiscText;
using expected::kDiscNotFoundText;
using expected::kReadyToInstallText;

// After the first paint: lets late work (fonts, a second paint) reach the peak working set.
const DWORD kSettleMs = 300;

double Ms()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ---------------------------------------------------------------------------------------
// Looking at another process's windows through the window server only

// The visible top-level window of the thread (the dialog), or NULL.
HWND ShownWindowOf(DWORD threadId)
{
    HWND found = nullptr;
    ::EnumThreadWindows(threadId, [](HWND h, LPARAM lParam) -> BOOL {
        if (!::IsWindowVisible(h))
            return TRUE;
        *reinterpret_cast<HWND*>(lParam) = h;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// True when neither the window nor any visible child of it has a region waiting to be
// painted. Wine's server sets WS_VISIBLE and exposes the shown area in one request, so a
// window seen visible and clean has had its first WM_PAINTs.
bool NothingToPaint(HWND hWnd)
{
    if (::GetUpdateRect(hWnd, nullptr, FALSE))
        return false;
    bool pending = false;
    ::EnumChildWindows(hWnd, [](HWND child, LPARAM lParam) -> BOOL {
        if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE)) {
            *reinterpret_cast<bool*>(lParam) = true;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

// Polls every millisecond until hWnd has nothing left to paint. Ms() of that, or 0.
double WaitUntilPainted(HWND hWnd, DWORD ms)
{
    const double deadline = Ms() + ms;
    do {
        if (NothingToPaint(hWnd))
            return Ms();
        ::Sleep(1);
    } while (Ms() < deadline);
    return 0;
}

bool Enabled(HWND hWnd)
{
    return ::IsWindowEnabled(hWnd) != FALSE;
}

// ---------------------------------------------------------------------------------------
// CPU time of another process
//
// Wine 8.0's GetProcessTimes answers for the calling process whatever handle it is given (a
// process that sleeps "uses" exactly what its caller burns), so the tool's CPU time is read
// where Linux keeps it, through Wine's Z: drive: /proc/<pid>/task/<tid>/schedstat (run time
// in ns, per thread) and /proc/<pid>/stat (the whole process, ended threads included, in
// 10 ms ticks).

std::string ReadWholeFile(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        text.append(buffer, n);
    ::CloseHandle(h);
    return text;
}

// Fields of a /proc stat line after the command name, which may hold spaces: [0] is field 3.
std::vector<std::string> StatFields(const std::string& stat)
{
    std::vector<std::string> fields;
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return fields;
    size_t at = close + 1;
    while (at < stat.size()) {
        while (at < stat.size() && stat[at] == ' ')
            ++at;
        const size_t end = stat.find_first_of(" \n", at);
        if (at < stat.size())
            fields.push_back(stat.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? stat.size() : end + 1;
    }
    return fields;
}

std::vector<std::string> ProcEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (fd.cFileName[0] >= '0' && fd.cFileName[0] <= '9')
            names.push_back(fd.cFileName);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return names;
}

class LinuxProcess {
public:
    // The Linux process of a Wine program started from exe: Wine gives it the program's
    // Windows path as its command line. The newest one, if several match.
    bool Find(const std::string& exe)
    {
        m_folder.clear();
        unsigned long long newest = 0;
        for (const std::string& pid : ProcEntries("Z:\\proc")) {
            const std::string folder = "Z:\\proc\\" + pid;
            const std::string cmdline = ReadWholeFile(folder + "\\cmdline");
            if (cmdline.empty() || ::lstrcmpiA(cmdline.c_str(), exe.c_str()) != 0)
                continue;
            const std::vector<std::string> fields = StatFields(ReadWholeFile(folder + "\\stat"));
            const unsigned long long started = fields.size() > 19 ? std::strtoull(fields[19].c_str(), nullptr, 10) : 0;
            if (m_folder.empty() || started >= newest) {
                m_folder = folder;
                newest = started;
            }
        }
        m_seen.clear();
        return !m_folder.empty();
    }

    // User and system time of the whole process, in whole 10 ms ticks. -1 if gone.
    double TickMs() const
    {
        const std::vector<std::string> fields = StatFields(ReadWholeFile(m_folder + "\\stat"));
        if (fields.size() < 13)
            return -1;
        return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * 10.0;
    }

    // Looks at every thread now; remembers the highest run time seen of each.
    void Look()
    {
        for (const std::string& tid : ProcEntries(m_folder + "\\task")) {
            const std::string text = ReadWholeFile(m_folder + "\\task\\" + tid + "\\schedstat");
            if (text.empty())
                continue;
            const double ms = static_cast<double>(std::strtoull(text.c_str(), nullptr, 10)) / 1e6;
            double& seen = m_seen[tid];
            seen = std::max(seen, ms);
        }
    }
    // Sum over every thread ever seen, of the last run time seen. Threads that end between
    // two looks lose what they ran since the last one.
    double SeenMs() const
    {
        double sum = 0;
        for (const auto& kv : m_seen)
            sum += kv.second;
        return sum;
    }
    // The last run time seen of the main thread (whose thread ID is the process ID).
    double SeenMainMs() const
    {
        const auto it = m_seen.find(m_folder.substr(m_folder.find_last_of('\\') + 1));
        return it == m_seen.end() ? 0 : it->second;
    }
    bool Found() const { return !m_folder.empty(); }
    // Linux's peak resident set (VmHWM), in KB.
    double PeakResidentKb() const
    {
        const std::string status = ReadWholeFile(m_folder + "\\status");
        const size_t at = status.find("VmHWM:");
        return at == std::string::npos ? NAN : std::atof(status.c_str() + at + 6);
    }

private:
    std::string m_folder;
    std::map<std::string, double> m_seen;
};

std::string MainText(HWND wizard)
{
    ControlState main = ReadControl(wizard, kMain);
    if (main.visible)
        return main.text;
    ControlState intro = ReadControl(wizard, kIntro);
    return intro.visible ? intro.text : std::string("(no text shown)");
}

// ---------------------------------------------------------------------------------------
// Samples

struct Series {
    std::vector<double> values;
    int failures = 0;

    void Add(double v) { values.push_back(v); }
    bool Empty() const { return values.empty(); }
    double Median() const
    {
        if (values.empty())
            return NAN;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double Min() const { return values.empty() ? NAN : *std::min_element(values.begin(), values.end()); }
    double Mean() const
    {
        double sum = 0;
        for (double v : values)
            sum += v;
        return values.empty() ? NAN : sum / static_cast<double>(values.size());
    }
    double Max() const { return values.empty() ? NAN : *std::max_element(values.begin(), values.end()); }
};

void Fail(Series& series, const std::string& what)
{
    ++series.failures;
    std::fprintf(stderr, "bench: %s\n", what.c_str());
}

struct StartSample {
    bool ok = false;
    double visibleMs = 0, paintedMs = 0, peakWorkingSetKb = 0;
    double cpuMs = 0;  // the process's own CPU time up to the paint (its live threads)
    double linuxPeakKb = 0;
};

// From just before CreateProcess until the program's window is visible and painted.
// expectIntro: the text the intro control must show then (the tool's welcome step), or NULL.
StartSample MeasureStart(const std::string& exe, const char* expectIntro, std::string* pError)
{
    StartSample sample;
    ToolProcess process;
    const double t0 = Ms();
    if (!process.Start({}, exe)) {
        *pError = "could not start " + exe;
        return sample;
    }
    HWND hWnd = nullptr;
    for (;;) {
        if (hWnd == nullptr) {
            hWnd = ShownWindowOf(process.ThreadId());
            if (hWnd != nullptr)
                sample.visibleMs = Ms() - t0;
        }
        if (hWnd != nullptr) {
            if (NothingToPaint(hWnd)) {
                sample.paintedMs = Ms() - t0;  // read after the look: never before the paint
                break;
            }
        }
        if (Ms() - t0 > 20000 || !process.IsRunning()) {
            *pError = BaseName(exe) + (hWnd == nullptr ? ": no window" : ": never painted");
            return sample;
        }
        ::Sleep(1);
    }
    ::Sleep(kSettleMs);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process.Handle(), &counters, sizeof(counters))) {
        *pError = "GetProcessMemoryInfo failed";
        return sample;
    }
    sample.peakWorkingSetKb = static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
    // The process has been idle since its paint: what it has used up to now is the start-up's.
    LinuxProcess linux;
    if (linux.Find(exe)) {
        linux.Look();
        sample.cpuMs = linux.SeenMs();
        sample.linuxPeakKb = linux.PeakResidentKb();
    } else {
        sample.cpuMs = NAN;
    }
    if (expectIntro != nullptr) {
        const std::string shown = MainText(hWnd);
        if (shown != expectIntro) {
            *pError = "the tool did not open on the welcome step; shown: " + shown;
            return sample;
        }
    }
    sample.ok = true;
    process.Kill();
    return sample;
}

// Starts the tool and walks it to InsertDisc, painted and idle. NULL and pError on failure.
HWND OpenAtInsertDisc(ToolProcess& tool, const std::vector<std::pair<std::string, std::string>>& env,
                      std::string* pError)
{
    if (!tool.Start(env)) {
        *pError = "could not start " + ToolExePath();
        return nullptr;
    }
    HWND wizard = tool.WaitForWizard();
    if (wizard == nullptr) {
        *pError = "no wizard window";
        return nullptr;
    }
    if (!WaitForMainText(wizard, kWelcomeText, 5000)) {
        *pError = "expected the welcome step; shown: " + MainText(wizard);
        return nullptr;
    }
    Click(wizard, kNext);
    if (!WaitForMainText(wizard, kInsertDiscText, 5000)) {
        *pError = "expected InsertDisc; shown: " + MainText(wizard);
        return nullptr;
    }
    WaitUntilPainted(wizard, 2000);
    ::Sleep(200);
    return wizard;
}

struct SearchSample {
    bool ok = false;
    double cpuMs = 0, elapsedMs = 0, tickMs = 0, mainMs = 0;
};

// A complete search over empty drives: CPU of the tool from the click on Next until
// DiscNotFound has been painted.
SearchSample MeasureNotFoundSearch(std::string* pError)
{
    SearchSample sample;
    LibraryInstallation library;
    DiscDrive d('D'), e('E');
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool, {}, pError);
    if (wizard == nullptr)
        return sample;
    HWND back = ::GetDlgItem(wizard, kBack);
    LinuxProcess linux;
    if (!linux.Find(ToolExePath())) {
        *pError = "the tool's Linux process was not found in /proc";
        return sample;
    }

    linux.Look();
    const double cpu0 = linux.SeenMs(), ticks0 = linux.TickMs(), main0 = linux.SeenMainMs();
    const double t0 = Ms();
    Click(wizard, kNext);
    // Back is disabled while the search runs and enabled again by its report. The threads
    // are looked at every 20 ms, so that the worker is seen shortly before it ends.
    bool searching = false;
    for (;;) {
        linux.Look();
        const bool backEnabled = Enabled(back);
        if (!backEnabled)
            searching = true;
        else if (searching)
            break;
        if (Ms() - t0 > 40000) {
            *pError = "the search did not report within 40 s";
            return sample;
        }
        ::Sleep(20);
    }
    WaitUntilPainted(wizard, 3000);
    linux.Look();
    const double cpu1 = linux.SeenMs(), ticks1 = linux.TickMs();
    sample.elapsedMs = Ms() - t0;
    sample.tickMs = ticks1 - ticks0;
    sample.mainMs = linux.SeenMainMs() - main0;
    const std::string shown = MainText(wizard);
    if (shown != kDiscNotFoundText) {
        *pError = "expected DiscNotFound; shown: " + shown;
        return sample;
    }
    sample.cpuMs = cpu1 - cpu0;
    sample.ok = true;
    return sample;
}

struct FoundSample {
    bool ok = false;
    double textMs = 0, paintedMs = 0;
};

// Disc in D: before Next on InsertDisc: from the click until ReadyToInstall is painted.
FoundSample MeasureFound(std::string* pError)
{
    FoundSample sample;
    LibraryInstallation library;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool, {}, pError);
    if (wizard == nullptr)
        return sample;
    HWND back = ::GetDlgItem(wizard, kBack);

    const double t0 = Ms();
    Click(wizard, kNext);
    // Back goes off with SearchingDisc and on again with the report. Only then is the text
    // read, once; should the short search step slip between two looks, the text is read
    // every millisecond after 50 ms.
    bool searching = false;
    for (;;) {
        const bool backEnabled = Enabled(back);
        if (!backEnabled)
            searching = true;
        else if ((searching || Ms() - t0 > 50) && MainText(wizard) == kReadyToInstallText)
            break;
        if (Ms() - t0 > 5000) {
            *pError = "ReadyToInstall did not come within 5 s; shown: " + MainText(wizard);
            return sample;
        }
        ::Sleep(1);
    }
    sample.textMs = Ms() - t0;
    const double painted = WaitUntilPainted(wizard, 3000);
    if (painted == 0) {
        *pError = "ReadyToInstall was never painted";
        return sample;
    }
    sample.paintedMs = painted - t0;
    sample.ok = true;
    return sample;
}

// The value of key in a "key=value" log, or "".
std::string LogValue(const std::string& path, const char* key)
{
    for (const auto& kv : ReadKeyValues(path)) {
        if (kv.first == key)
            return kv.second;
    }
    return "";
}

// From the stand-in setup program's last clock reading until the wizard is no longer shown.
bool MeasureReportDelay(double* pDelayMs, std::string* pError)
{
    LibraryInstallation library;
    ShortcutFiles shortcuts;
    DiscDrive d('D'), e('E');
    d.InsertAddOnDisc();
    const std::string log = TempFilePath("bench-report-delay.log");
    ::DeleteFileA(log.c_str());
    ToolProcess tool;
    HWND wizard = OpenAtInsertDisc(tool, { { "FAKESETUP_LOG", log } }, pError);
    if (wizard == nullptr)
        return false;
    Click(wizard, kNext);
    if (!WaitForMainText(wizard, kReadyToInstallText, 5000)) {
        *pError = "expected ReadyToInstall; shown: " + MainText(wizard);
        return false;
    }
    WaitUntilPainted(wizard, 2000);

    Click(wizard, kNext);
    double hidden = 0;
    const ULONGLONG deadline = ::GetTickCount64() + 20000;
    do {
        if (!::IsWindow(wizard) || !::IsWindowVisible(wizard)) {
            hidden = NowMs();  // read after the look: never before the change
            break;
        }
        ::Sleep(1);
    } while (::GetTickCount64() < deadline);
    if (hidden == 0) {
        *pError = "the wizard did not close; shown: " + MainText(wizard);
        return false;
    }
    if (!WaitFor([&] { return !LogValue(log, "end_ms").empty(); }, 3000)) {
        *pError = "the wizard closed, but the setup program logged no end";
        return false;
    }
    *pDelayMs = hidden - std::atof(LogValue(log, "end_ms").c_str());
    tool.WaitForExit(5000);
    ::DeleteFileA(log.c_str());
    return true;
}

// Bytes of a PE file: the whole file and its .rsrc section's raw data.
bool ReadPeSizes(const std::string& path, double* pFile, double* pResources)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u16 = [&](size_t at) { return at + 2 <= bytes.size() ? static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8) : 0u; };
    auto u32 = [&](size_t at) { return at + 4 <= bytes.size() ? u16(at) | u16(at + 2) << 16 : 0u; };
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0)
        return false;
    const size_t pe = u32(0x3c);
    if (bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    const unsigned sections = u16(pe + 6);
    const size_t table = pe + 24 + u16(pe + 20);
    *pFile = static_cast<double>(bytes.size());
    *pResources = 0;
    for (unsigned i = 0; i < sections; ++i) {
        const size_t at = table + i * 40;
        if (bytes.compare(at, 6, std::string(".rsrc\0", 6)) == 0)
            *pResources += u32(at + 16);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The table

struct Metric {
    std::string name, unit;
    Series tool;
    double baseline = NAN;  // median of the baseline's samples, or the fixed value
    Series baseSeries;
    std::string goal;
    int goalKind = 0;  // 1 ratio <= limit, 2 value < limit, 3 lo <= value <= hi, 0 none
    double lo = 0, hi = 0;

    double Ratio() const
    {
        const double base = Baseline();
        return base > 0 && !tool.Empty() ? tool.Median() / base : NAN;
    }
    double Baseline() const { return baseSeries.Empty() ? baseline : baseSeries.Median(); }
    // 1 met, 0 missed, -1 no goal or no figure.
    int Met() const
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
};

std::string Num(double v, int decimals = 1)
{
    if (std::isnan(v))
        return "-";
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, v);
    return text;
}

std::string Json(double v, int decimals)
{
    return std::isnan(v) ? "null" : Num(v, decimals);
}

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
