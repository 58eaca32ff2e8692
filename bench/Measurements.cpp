#include "Measurements.h"

#include <windows.h>

#include <psapi.h>

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "expected/Expectations.h"
#include "ProcessSampler.h"
#include "scenario/Scenario.h"
#include "fakesetup/StandIn.h"
#include "driver/ToolDriver.h"
#include "WindowWatch.h"

using namespace driver;
using namespace machine;

namespace bench {

using expected::kDiscNotFoundText;
using expected::kInstallFailedText;
using expected::kReadyToInstallText;
using scenario::Machine;

namespace {

// How often a search's threads are looked at. A worker that ends takes what it ran since the
// last look out of sight; each pass of a search is followed by 500 ms of sleep, so a look every
// 100 ms still sees the last pass of both the tool's worker and the loop's. Looks every 20 ms
// weighed on what they measured: both searches read about a tenth more CPU.
const DWORD kLookMs = 100;

// Starts the tool and takes it to step (InsertDisc or ReadyToInstall), painted and idle. NULL
// and pError on failure.
HWND OpenIdleAt(ToolProcess& tool, const scenario::StepRow& step, const fakesetup::Environment& env, std::string* pError)
{
    HWND wizard = nullptr;
    *pError = scenario::OpenAt(tool, step, &wizard, env);
    if (!pError->empty())
        return nullptr;
    WaitUntilPainted(wizard, 2000);
    ::Sleep(200);
    return wizard;
}

}  // namespace

StartSample MeasureStart(const std::string& exe, const char* expectText, std::string* pError, Closing closing)
{
    StartSample sample;
    ToolProcess process;
    const double t0 = NowMs();
    if (!process.Start({}, exe)) {
        *pError = "could not start " + exe;
        return sample;
    }
    HWND hWnd = nullptr;
    for (;;) {
        if (hWnd == nullptr) {
            hWnd = ShownWindowOf(process.ThreadId());
            if (hWnd != nullptr)
                sample.visibleMs = NowMs() - t0;
        }
        if (hWnd != nullptr && NothingToPaint(hWnd)) {
            // Read after the look, so never before the paint; but before the texts are read,
            // which takes the watcher longer for the programs that have one to show.
            const double paintedMs = NowMs() - t0;
            if (expectText == nullptr || ShowsText(hWnd, expectText)) {
                sample.paintedMs = paintedMs;
                break;
            }
        }
        if (NowMs() - t0 > 20000 || !process.IsRunning()) {
            *pError = BaseName(exe) + (hWnd == nullptr ? ": no window"
                                       : expectText != nullptr && !ShowsText(hWnd, expectText)
                                           ? ": never showed the first page's text"
                                           : ": never painted");
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
    sample.ok = true;
    if (closing == Closing::Cancel) {
        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        process.WaitForExit(5000);
    }
    process.Kill();
    return sample;
}

bool TimeSearch(LinuxProcess& linux, HWND window, int nextId, int backId, SearchSample* pSample)
{
    const HWND back = ::GetDlgItem(window, backId);
    linux.Look();
    const double cpu0 = linux.SeenMs(), ticks0 = linux.TickMs(), main0 = linux.SeenMainMs();
    const double t0 = NowMs();
    Click(window, nextId);
    bool searching = false;
    for (;;) {
        linux.Look();
        if (!Enabled(back))
            searching = true;
        else if (searching)
            break;
        if (NowMs() - t0 > 40000)
            return false;
        ::Sleep(kLookMs);
    }
    WaitUntilPainted(window, 3000);
    linux.Look();
    pSample->elapsedMs = NowMs() - t0;
    pSample->cpuMs = linux.SeenMs() - cpu0;
    pSample->tickMs = linux.TickMs() - ticks0;
    pSample->mainMs = linux.SeenMainMs() - main0;
    return true;
}

SearchSample MeasureNotFoundSearch(std::string* pError)
{
    SearchSample sample;
    Machine machine;
    ToolProcess tool;
    HWND wizard = OpenIdleAt(tool, scenario::kInsertDisc, {}, pError);
    if (wizard == nullptr)
        return sample;
    LinuxProcess linux;
    if (!linux.Find(ToolExePath())) {
        *pError = "the tool's Linux process was not found in /proc";
        return sample;
    }
    if (!TimeSearch(linux, wizard, kNext, kBack, &sample)) {
        *pError = "the search did not report within 40 s";
        return sample;
    }
    const std::string shown = ShownText(wizard);
    if (shown != kDiscNotFoundText) {
        *pError = "expected DiscNotFound; shown: " + shown;
        return sample;
    }
    sample.ok = true;
    return sample;
}

SearchSample MeasureSearchLoop(const std::string& exe, bool onThread, std::string* pError)
{
    SearchSample sample;
    Machine machine;  // the same machine as the tool's search
    const std::string tag = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64());
    const std::string names[3] = { "bench-search-ready-" + tag, "bench-search-go-" + tag, "bench-search-done-" + tag };
    HANDLE events[3];
    for (int i = 0; i < 3; ++i)
        events[i] = ::CreateEventA(nullptr, FALSE, FALSE, names[i].c_str());
    struct Closer {
        HANDLE* events;
        ~Closer()
        {
            for (int i = 0; i < 3; ++i) {
                if (events[i] != nullptr)
                    ::CloseHandle(events[i]);
            }
        }
    } closer{ events };
    HANDLE ready = events[0], go = events[1], done = events[2];
    if (ready == nullptr || go == nullptr || done == nullptr) {
        *pError = "could not create the search loop's events";
        return sample;
    }
    ToolProcess loop;
    if (!loop.Start({ { "BENCH_SEARCH_READY", names[0] }, { "BENCH_SEARCH_GO", names[1] },
                      { "BENCH_SEARCH_DONE", names[2] }, { "BENCH_SEARCH_ON_THREAD", onThread ? "1" : "" } },
                    exe)) {
        *pError = "could not start " + exe;
        return sample;
    }
    if (::WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0) {
        *pError = BaseName(exe) + " did not get ready";
        return sample;
    }
    ::Sleep(200);  // as the tool, idle at the start
    LinuxProcess linux;
    if (!linux.Find(exe)) {
        *pError = "the search loop's Linux process was not found in /proc";
        return sample;
    }
    linux.Look();
    const double cpu0 = linux.SeenMs(), ticks0 = linux.TickMs(), main0 = linux.SeenMainMs();
    const double t0 = NowMs();
    ::SetEvent(go);
    // Its threads are looked at every kLookMs and its end is seen between two looks, as the
    // tool's are (TimeSearch): a worker that has ended loses alike what it ran since the last.
    for (;;) {
        linux.Look();
        if (::WaitForSingleObject(done, 0) == WAIT_OBJECT_0)
            break;
        if (NowMs() - t0 > 40000 || !loop.IsRunning()) {
            *pError = BaseName(exe) + " did not finish its search";
            return sample;
        }
        ::Sleep(kLookMs);
    }
    linux.Look();
    sample.elapsedMs = NowMs() - t0;
    sample.cpuMs = linux.SeenMs() - cpu0;
    sample.tickMs = linux.TickMs() - ticks0;
    sample.mainMs = linux.SeenMainMs() - main0;
    ::SetEvent(go);  // it ends now, saying what it found
    DWORD exitCode = STILL_ACTIVE;
    if (!loop.WaitForExit(5000, &exitCode) || exitCode != 0) {
        *pError = BaseName(exe) + " did not end with \"not found\" (exit code " + std::to_string(exitCode) + ")";
        return sample;
    }
    sample.ok = true;
    return sample;
}

// Disc in D: before Next on InsertDisc: from the click until ReadyToInstall is painted.
FoundSample MeasureFound(std::string* pError)
{
    FoundSample sample;
    Machine machine(Machine::DiscInD);
    ToolProcess tool;
    HWND wizard = OpenIdleAt(tool, scenario::kInsertDisc, {}, pError);
    if (wizard == nullptr)
        return sample;
    HWND back = ::GetDlgItem(wizard, kBack);

    const double t0 = NowMs();
    Click(wizard, kNext);
    // Back goes off with SearchingDisc and on again with the report. Only then is the text
    // read, once; should the short search step slip between two looks, the text is read
    // every millisecond after 50 ms.
    bool searching = false;
    for (;;) {
        const bool backEnabled = Enabled(back);
        if (!backEnabled)
            searching = true;
        else if ((searching || NowMs() - t0 > 50) && ShownText(wizard) == kReadyToInstallText)
            break;
        if (NowMs() - t0 > 5000) {
            *pError = "ReadyToInstall did not come within 5 s; shown: " + ShownText(wizard);
            return sample;
        }
        ::Sleep(1);
    }
    sample.textMs = NowMs() - t0;
    const double painted = WaitUntilPainted(wizard, 3000);
    if (painted == 0) {
        *pError = "ReadyToInstall was never painted";
        return sample;
    }
    sample.paintedMs = painted - t0;
    sample.ok = true;
    return sample;
}

bool MeasureReport(Report report, double* pDelayMs, std::string* pError)
{
    Machine machine(Machine::DiscInD);
    const fakesetup::StandIn setup("bench-report");
    ToolProcess tool;
    HWND wizard = OpenIdleAt(tool, scenario::kReadyToInstall, setup.Env(), pError);
    if (wizard == nullptr)
        return false;
    if (report == Report::FailedStart)
        machine.D().Empty();

    const double t0 = NowMs();
    Click(wizard, kNext);
    if (report == Report::FailedStart) {
        while (!ShowsText(wizard, kInstallFailedText)) {
            if (NowMs() - t0 > 5000) {
                *pError = "InstallFailed did not come within 5 s; shown: " + ShownText(wizard);
                return false;
            }
            ::Sleep(1);
        }
        const double painted = WaitUntilPainted(wizard, 3000);
        if (painted == 0 || setup.Starts() != 0) {
            *pError = painted == 0 ? "InstallFailed was never painted" : "the setup program ran without its disc";
            return false;
        }
        *pDelayMs = painted - t0;
        return true;
    }
    const double hidden = scenario::WaitUntilHidden(wizard, 20000);
    if (hidden == 0) {
        *pError = "the wizard did not close; shown: " + ShownText(wizard);
        return false;
    }
    if (!setup.WaitForEnd(3000)) {
        *pError = "the wizard closed, but the setup program logged no end";
        return false;
    }
    *pDelayMs = hidden - setup.Number("end_ms");
    tool.WaitForExit(5000);
    return true;
}

}  // namespace bench
