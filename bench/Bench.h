// The benchmark's measuring program in the words its parts share. A measurement starts the
// programs it needs in this Wine, prepares the machine through the harness, watches without
// asking the watched program anything (harness/watch), and gives its figures by name
// ("painted_ms"); the measuring loop files them under the program measured ("tool.painted_ms").
// Every measurement returns "" or what went wrong.
//
// Classes: Series.
// Functions: MeasureStart, TimeSearch, MeasureToolSearch, MeasureLoopSearch, MeasureFound,
// MeasureReport; in bench/peer/: MeasurePeerSearch, CheckPeerJob, CompareStarts.
#ifndef BENCH_BENCH_H
#define BENCH_BENCH_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "watch/Watch.h"

namespace bench {

// One measurement's figures, by quantity.
using Figures = std::map<std::string, double>;

// The samples of one figure. Each statistic is NAN when there is none.
struct Series {
    std::vector<double> values;
    double Median() const;
    double Min() const;
    double Max() const;
    double Mean() const;
};

std::string BaseName(const std::string& path);

// How a measured program is ended: killed, or asked to close by Cancel first (so that an
// installer removes what it unpacked into the temporary folder).
enum class Closing { Kill, Cancel };

// From just before CreateProcess until the window is visible, has nothing left to paint and,
// when expectText is not NULL, shows it: visible_ms, painted_ms. 300 ms later, so that late
// work (fonts, a second paint) counts: working_set_kb (PeakWorkingSetSize), startup_cpu_ms
// (its threads' own, from Linux) and linux_peak_kb (VmHWM).
std::string MeasureStart(const std::string& exe, const char* expectText, Closing closing, Figures* pOut);

// Clicks Next on window's disc page and times the search it starts, until Back (off while a
// search runs) is on again and the window is painted; the threads are looked at every 100 ms.
// search_cpu_ms (all threads), search_worker_ms (all but the main thread), search_main_ms,
// search_ticks_ms (whole process, 10 ms ticks), search_elapsed_ms.
std::string TimeSearch(watch::LinuxProcess& linux, HWND window, int nextId, int backId, Figures* pOut);
// The tool's search over empty drives, from InsertDisc to DiscNotFound painted.
std::string MeasureToolSearch(Figures* pOut);
// The bare search loop (BareSearch.cpp) between its start signal and its end, on a worker
// thread begun as the wizard's (onThread) or on its main thread; the figures as TimeSearch's.
std::string MeasureLoopSearch(const std::string& exe, bool onThread, Figures* pOut);
// Disc in D:, Next on InsertDisc: found_ms until ReadyToInstall is painted, found_text_ms
// until its text was set.
std::string MeasureFound(Figures* pOut);
// Next on ReadyToInstall: report_ms from the stand-in setup program's last clock reading until
// the wizard is no longer shown; or, failedStart, the disc taken out after the search found it:
// failed_report_ms from the click until InstallFailed is painted.
std::string MeasureReport(bool failedStart, Figures* pOut);
// The NSIS peer: its search from its disc page to its not-found text, painted; and a walk
// through its whole job (the disc's setup program run, both shortcuts deleted, closed by
// itself), which must pass before its figures are compared.
std::string MeasurePeerSearch(const std::string& exe, Figures* pOut);
std::string CheckPeerJob(const std::string& exe);
// --why: start-up, its CPU and working set of each program, interleaved run by run, printed.
int CompareStarts(const std::vector<std::string>& exes, int runs);

}  // namespace bench

#endif
