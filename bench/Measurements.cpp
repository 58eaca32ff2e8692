// One sample of each kind the benchmark takes of the tool and its baselines. While a step is
// timed the tool's own thread is never asked anything: texts are then read from the window
// server only, and control texts through the driver only before and after a timed span.
#include "Bench.h"

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

#include "driver/ToolDriver.h"
#include "machine/Clock.h"
#include "scenario/Session.h"

using namespace driver;
using machine::NowMs;
using scenario::Machine;
using scenario::Session;
using watch::LinuxProcess;
using watch::ShowsText;
using watch::WaitUntilPainted;

namespace bench {

double Series::Median() const
{
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? NAN : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Series::Min() const { return values.empty() ? NAN : *std::min_element(values.begin(), values.end()); }
double Series::Max() const { return values.empty() ? NAN : *std::max_element(values.begin(), values.end()); }
double Series::Mean() const { return std::accumulate(values.begin(), values.end(), 0.0) / values.size(); }

std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of("\\/") + 1);
}

namespace {

// A search ends with a pass followed by 500 ms of sleep, so a look at its threads every 100 ms
// still sees the last pass of a worker that ends; looks every 20 ms weighed on what they
// measured (about a tenth more CPU for both the tool and the loop).
const DWORD kLookMs = 100;

// The session's tool at step, painted and idle.
std::string OpenIdle(Session& session, const scenario::StepRow& step)
{
    const std::string problem = session.Open(step);
    if (problem.empty()) {
        WaitUntilPainted(session.Wizard(), 2000);
        ::Sleep(200);
    }
    return problem;
}

// Starts a search and looks at the process's threads every kLookMs until ended(), then once more:
// a worker that ends between two looks loses alike what it ran since the last. The search figures.
std::string TimeThreads(LinuxProcess& linux, const std::function<void()>& start, const std::function<bool()>& ended,
                        Figures* pOut)
{
    linux.Look();
    const double cpu0 = linux.SeenMs(), ticks0 = linux.TickMs(), main0 = linux.SeenMainMs(), t0 = NowMs();
    start();
    for (linux.Look(); !ended(); linux.Look()) {
        if (NowMs() - t0 > 40000)
            return "the search did not end within 40 s";
        ::Sleep(kLookMs);
    }
    linux.Look();
    Figures& f = *pOut;
    f["search_elapsed_ms"] = NowMs() - t0;
    f["search_cpu_ms"] = linux.SeenMs() - cpu0;
    f["search_main_ms"] = linux.SeenMainMs() - main0;
    f["search_worker_ms"] = f["search_cpu_ms"] - f["search_main_ms"];
    f["search_ticks_ms"] = linux.TickMs() - ticks0;
    return "";
}

}  // namespace

std::string MeasureStart(const std::string& exe, const char* expectText, Closing closing, Figures* pOut)
{
    ToolProcess process;
    const double t0 = NowMs();
    if (!process.Start({}, exe))
        return "could not start " + exe;
    HWND hWnd = nullptr;
    for (;;) {
        if (hWnd == nullptr && (hWnd = watch::ShownWindowOf(process.ThreadId())) != nullptr)
            (*pOut)["visible_ms"] = NowMs() - t0;
        // The clock is read after the look, so never before the paint; but before the text is
        // read, which takes longer for the programs that have one to show.
        const double paintedMs = hWnd != nullptr && watch::NothingToPaint(hWnd) ? NowMs() - t0 : 0;
        if (paintedMs > 0 && (expectText == nullptr || ShowsText(hWnd, expectText))) {
            (*pOut)["painted_ms"] = paintedMs;
            break;
        }
        if (NowMs() - t0 > 20000 || !process.IsRunning())
            return BaseName(exe) + (hWnd == nullptr ? ": no window" : ": never painted its first page");
        ::Sleep(1);
    }
    ::Sleep(300);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process.Handle(), &counters, sizeof(counters)))
        return "GetProcessMemoryInfo failed";
    (*pOut)["working_set_kb"] = static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
    // Idle since its paint: what it has used up to now is the start-up's.
    LinuxProcess linux;
    if (linux.Find(exe)) {
        linux.Look();
        (*pOut)["startup_cpu_ms"] = linux.SeenMs();
        (*pOut)["linux_peak_kb"] = linux.PeakResidentKb();
    }
    if (closing == Closing::Cancel) {
        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        process.WaitForExit(5000);
    }
    return "";
}

std::string TimeSearch(LinuxProcess& linux, HWND window, int nextId, int backId, Figures* pOut)
{
    const HWND back = ::GetDlgItem(window, backId);
    bool searching = false;
    return TimeThreads(linux, [&] { Click(window, nextId); }, [&] {
        if (!::IsWindowEnabled(back))
            searching = true;
        else if (searching)
            WaitUntilPainted(window, 3000);
        return searching && ::IsWindowEnabled(back);
    }, pOut);
}

std::string MeasureToolSearch(Figures* pOut)
{
    Session session(Machine::NoDisc, Machine::WithLibrary, "bench-search");
    std::string problem = OpenIdle(session, scenario::kInsertDisc);
    LinuxProcess linux;
    if (problem.empty() && !linux.Find(ToolExePath()))
        problem = "the tool's Linux process was not found in /proc";
    if (problem.empty())
        problem = TimeSearch(linux, session.Wizard(), kNext, kBack, pOut);
    if (problem.empty() && session.Wizard().Text() != expected::kDiscNotFoundText)
        problem = "expected DiscNotFound; shown: " + session.Wizard().Text();
    return problem;
}

std::string MeasureLoopSearch(const std::string& exe, bool onThread, Figures* pOut)
{
    Machine machine;  // the same machine as the tool's search
    const std::string tag = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64());
    const std::string ready = "bench-search-ready-" + tag, go = "bench-search-go-" + tag, done = "bench-search-done-" + tag;
    struct Event {
        HANDLE h;
        ~Event() { if (h != nullptr) ::CloseHandle(h); }
    } readyEvent{ ::CreateEventA(nullptr, FALSE, FALSE, ready.c_str()) },
        goEvent{ ::CreateEventA(nullptr, FALSE, FALSE, go.c_str()) },
        doneEvent{ ::CreateEventA(nullptr, FALSE, FALSE, done.c_str()) };
    if (readyEvent.h == nullptr || goEvent.h == nullptr || doneEvent.h == nullptr)
        return "could not create the search loop's events";
    ToolProcess loop;
    if (!loop.Start({ { "BENCH_SEARCH_READY", ready }, { "BENCH_SEARCH_GO", go }, { "BENCH_SEARCH_DONE", done },
                      { "BENCH_SEARCH_ON_THREAD", onThread ? "1" : "" } },
                    exe))
        return "could not start " + exe;
    if (::WaitForSingleObject(readyEvent.h, 10000) != WAIT_OBJECT_0)
        return BaseName(exe) + " did not get ready";
    ::Sleep(200);  // idle at the start, as the tool is
    LinuxProcess linux;
    if (!linux.Find(exe))
        return "the search loop's Linux process was not found in /proc";
    const std::string problem = TimeThreads(linux, [&] { ::SetEvent(goEvent.h); }, [&] {
        return ::WaitForSingleObject(doneEvent.h, 0) == WAIT_OBJECT_0 || !loop.IsRunning();
    }, pOut);
    if (!problem.empty() || !loop.IsRunning())
        return BaseName(exe) + " did not finish its search";
    ::SetEvent(goEvent.h);  // it ends now, saying what it found
    DWORD exitCode = STILL_ACTIVE;
    if (!loop.WaitForExit(5000, &exitCode) || exitCode != 0)
        return BaseName(exe) + " did not end with \"not found\" (exit code " + std::to_string(exitCode) + ")";
    return "";
}

std::string MeasureFound(Figures* pOut)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "bench-found");
    const std::string problem = OpenIdle(session, scenario::kInsertDisc);
    if (!problem.empty())
        return problem;
    const HWND wizard = session.Wizard(), back = ::GetDlgItem(wizard, kBack);
    const double t0 = NowMs();
    Click(wizard, kNext);
    // Back goes off with SearchingDisc and on again with the report; only then is the text read
    // (through the driver), or every millisecond after 50 ms, should the short search slip
    // between two looks.
    for (bool searching = false;; ::Sleep(1)) {
        if (!::IsWindowEnabled(back))
            searching = true;
        else if ((searching || NowMs() - t0 > 50) && ShownText(wizard) == expected::kReadyToInstallText)
            break;
        if (NowMs() - t0 > 5000)
            return "ReadyToInstall did not come within 5 s; shown: " + ShownText(wizard);
    }
    (*pOut)["found_text_ms"] = NowMs() - t0;
    const double painted = WaitUntilPainted(wizard, 3000);
    if (painted == 0)
        return "ReadyToInstall was never painted";
    (*pOut)["found_ms"] = painted - t0;
    return "";
}

std::string MeasureReport(bool failedStart, Figures* pOut)
{
    Session session(Machine::DiscInD, Machine::WithLibrary, "bench-report");
    const std::string problem = OpenIdle(session, scenario::kReadyToInstall);
    if (!problem.empty())
        return problem;
    if (failedStart)
        session.TheMachine().D().Empty();
    const HWND wizard = session.Wizard();
    const double t0 = NowMs();
    Click(wizard, kNext);
    if (failedStart) {
        if (!machine::WaitFor([&] { return ShowsText(wizard, expected::kInstallFailedText); }, 5000))
            return "InstallFailed did not come within 5 s; shown: " + ShownText(wizard);
        const double painted = WaitUntilPainted(wizard, 3000);
        if (painted == 0 || session.Setup().Starts() != 0)
            return painted == 0 ? "InstallFailed was never painted" : "the setup program ran without its disc";
        (*pOut)["failed_report_ms"] = painted - t0;
        return "";
    }
    const double hidden = scenario::WaitUntilHidden(wizard, 20000);
    if (hidden == 0)
        return "the wizard did not close; shown: " + ShownText(wizard);
    if (!session.Setup().WaitForEnd(3000))
        return "the wizard closed, but the setup program logged no end";
    (*pOut)["report_ms"] = hidden - session.Setup().Number("end_ms");
    session.Tool().WaitForExit(5000);
    return "";
}

}  // namespace bench
