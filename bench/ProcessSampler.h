// CPU time and resident memory of another Wine process, read where Linux keeps them.
//
// Wine 8.0's GetProcessTimes answers for the calling process whatever handle it is given (a
// process that sleeps "uses" exactly what its caller burns), so CPU time is read through
// Wine's Z: drive: /proc/<pid>/task/<tid>/schedstat (run time in ns, per thread) and
// /proc/<pid>/stat (the whole process, ended threads included, in 10 ms ticks).
#ifndef BENCH_PROCESS_SAMPLER_H
#define BENCH_PROCESS_SAMPLER_H

#include <map>
#include <string>
#include <vector>

namespace bench {

// The whole file, or "" when it cannot be opened.
std::string ReadWholeFile(const std::string& path);

// Fields of a /proc stat line after the command name, which may hold spaces: [0] is field 3.
std::vector<std::string> StatFields(const std::string& stat);

// The machine's load averages over 1, 5 and 15 minutes ("0.42 0.61 0.70"), or "?".
std::string LoadAverage();

class LinuxProcess {
public:
    // The Linux process of a Wine program started from exe: Wine gives it the program's
    // Windows path as its command line. The newest one, if several match.
    bool Find(const std::string& exe);

    // User and system time of the whole process, in whole 10 ms ticks. -1 if gone.
    double TickMs() const;

    // Looks at every thread now; remembers the highest run time seen of each.
    void Look();
    // Sum over every thread ever seen, of the last run time seen. Threads that end between
    // two looks lose what they ran since the last one.
    double SeenMs() const;
    // The last run time seen of the main thread (whose thread ID is the process ID).
    double SeenMainMs() const;

    // Linux's peak resident set (VmHWM), in KB; NAN when it cannot be read.
    double PeakResidentKb() const;

private:
    std::string m_folder;
    std::map<std::string, double> m_seen;
};

}  // namespace bench

#endif
