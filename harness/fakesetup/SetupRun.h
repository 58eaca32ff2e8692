// The other side of the stand-in setup program (FakeSetup.cpp): the variables that tell it
// what to do, and the log it writes.
//
// Classes: SetupRun.
#ifndef FAKESETUP_SETUP_RUN_H
#define FAKESETUP_SETUP_RUN_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace fakesetup {

using Environment = std::vector<std::pair<std::string, std::string>>;

// The "key=value" lines of a file, in order.
Environment ReadKeyValues(const std::string& path);

// One run of the stand-in setup program: a fresh log, an optional wait file, and on
// destruction the stand-in ended if it still runs and both files removed.
class SetupRun {
public:
    explicit SetupRun(const char* name);
    ~SetupRun();
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    // Variables for ToolProcess::Start: the log, plus the extra ones given.
    Environment Env(Environment extra = {}) const;
    // The same, and the stand-in keeps running until ReleaseWaitFile().
    Environment EnvHeld(Environment extra = {}) const;
    void ReleaseWaitFile() const;

    // The value of key in the log ("" when absent), and whether it is there.
    std::string Value(const char* key) const;
    bool Has(const char* key) const;
    // Every value of key, in the order logged, and how many there are.
    std::vector<std::string> Values(const char* key) const;
    int Count(const char* key) const;
    bool WaitForStart(DWORD ms) const { return WaitForKey("pid", ms); }
    bool WaitForEnd(DWORD ms) const { return WaitForKey("end_ms", ms); }
    bool WaitForKey(const char* key, DWORD ms) const;
    double Number(const char* key) const;
    DWORD Pid() const;
    // How often the stand-in started.
    int Starts() const { return Count("start_ms"); }

private:
    std::string m_log, m_waitFile;
};

}  // namespace fakesetup

#endif
