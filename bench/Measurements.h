// The measurements: each starts the programs it needs in this Wine, prepares the machine
// through the end-to-end driver, and returns one sample.
//
// While a step is being timed the tool's own thread is never asked anything (WindowWatch.h):
// texts are then read from the window server only. Control texts read through the driver,
// which the tool's thread must answer, are read only before and after a timed span.
#ifndef BENCH_MEASUREMENTS_H
#define BENCH_MEASUREMENTS_H

#include <windows.h>

#include <string>

namespace bench {

// After the first paint: lets late work (fonts, a second paint) reach the peak working set.
const unsigned kSettleMs = 300;

struct StartSample {
    bool ok = false;
    double visibleMs = 0, paintedMs = 0, peakWorkingSetKb = 0;
    double cpuMs = 0;  // the process's own CPU time up to the paint (its live threads)
    double linuxPeakKb = 0;
};

// How a measured program is ended: killed, or asked to close by Cancel first (so that an
// installer removes what it unpacked into the temporary folder).
enum class Closing { Kill, Cancel };

// From just before CreateProcess until the program's window is visible, has nothing left to
// paint and, when expectText is not NULL, shows that text in a visible window (the first
// page of the tool or the peer). Peak working set and CPU 300 ms later.
StartSample MeasureStart(const std::string& exe, const char* expectText, std::string* pError,
                         Closing closing = Closing::Kill);

struct SearchSample {
    bool ok = false;
    double cpuMs = 0, elapsedMs = 0, tickMs = 0, mainMs = 0;
};

// A complete search over empty drives: CPU of the tool from the click on Next until
// DiscNotFound has been painted.
SearchSample MeasureNotFoundSearch(std::string* pError);

// The same search done by the bare search loop (BareSearch.cpp) on the same machine: its
// CPU from its start signal until it reports the search done. onThread: the loop runs on a
// worker thread started, waiting for the paint and posting its result as the wizard's does.
SearchSample MeasureSearchLoop(const std::string& exe, bool onThread, std::string* pError);

class LinuxProcess;
// Clicks Next on a window showing its disc page and times the search it starts: elapsed time,
// CPU and ticks of the process's threads and of its main thread, from the click until Back,
// turned off while a search runs, is on again and the window is painted. The threads are
// looked at every 100 ms, so that a worker is seen after its last pass. False when the
// search has not ended within 40 s.
bool TimeSearch(LinuxProcess& linux, HWND window, int nextId, int backId, SearchSample* pSample);

struct FoundSample {
    bool ok = false;
    double textMs = 0, paintedMs = 0;
};

// Disc in D: before Next on InsertDisc: from the click until ReadyToInstall is painted.
FoundSample MeasureFound(std::string* pError);

enum class Report { AfterSetup, FailedStart };
// Next on ReadyToInstall, disc in D:. AfterSetup: from the stand-in setup program's last clock
// reading until the wizard is no longer shown. FailedStart, the disc taken out after the search
// found it: from the click until InstallFailed is painted.
bool MeasureReport(Report report, double* pDelayMs, std::string* pError);

}  // namespace bench

#endif
