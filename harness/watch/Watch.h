// Watching another program without asking it anything, so that what is timed is its own work:
// window state and texts from the window server, CPU time and memory from Linux's /proc
// (through Wine's Z: drive; Wine 8.0's GetProcessTimes answers for the caller whatever process
// it is asked about).
//
// Functions: ShownWindowOf, NothingToPaint, WaitUntilPainted, ShowsText, LoadAverage.
// Classes: LinuxProcess.
#ifndef WATCH_WATCH_H
#define WATCH_WATCH_H

#include <windows.h>

#include <map>
#include <string>

namespace watch {

// The visible top-level window of the thread (the dialog), or NULL.
HWND ShownWindowOf(DWORD threadId);
// True when neither the window nor a visible child has a region waiting to be painted. Wine's
// server sets WS_VISIBLE and exposes the shown area in one request, so a window seen visible
// and clean has had its first WM_PAINTs.
bool NothingToPaint(HWND hWnd);
// Polls every millisecond until hWnd has nothing left to paint: machine::NowMs() then, or 0.
double WaitUntilPainted(HWND hWnd, DWORD ms);
// True when hWnd or a visible child shows text (code page 932; line ends compared without
// their CR), read by InternalGetWindowText, which sends the program no message.
bool ShowsText(HWND hWnd, const char* text);

// The machine's load averages over 1, 5 and 15 minutes ("0.42 0.61 0.70"), or "?".
std::string LoadAverage();

// The Linux process of a Wine program: its threads' run times (schedstat, ns) and its whole
// time in 10 ms ticks (stat, ended threads included).
class LinuxProcess {
public:
    // The newest process whose command line is exe's Windows path, as Wine gives it.
    bool Find(const std::string& exe);
    // User and system time of the whole process, in whole ticks; -1 when it is gone.
    double TickMs() const;
    // Looks at every thread now and keeps the highest run time seen of each.
    void Look();
    // The sum over every thread seen, of its last run time seen: a thread that ends between
    // two looks loses what it ran since the last one.
    double SeenMs() const;
    // The last run time seen of the main thread, whose thread ID is the process ID.
    double SeenMainMs() const;
    // Linux's peak resident set (VmHWM), in KB; NAN when it cannot be read.
    double PeakResidentKb() const;

private:
    std::string m_folder;
    std::map<std::string, double> m_seen;
};

}  // namespace watch

#endif
