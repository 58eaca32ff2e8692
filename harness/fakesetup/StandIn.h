// The other side of the stand-in setup program (FakeSetup.cpp): what it is told to do, as
// typed options (its environment variables are spelled only here and in FakeSetup.cpp), and
// the log it writes.
//
// Classes: SetupOptions, StandIn.
#ifndef FAKESETUP_STAND_IN_H
#define FAKESETUP_STAND_IN_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "machine/TestMachine.h"

namespace fakesetup {

using Environment = std::vector<std::pair<std::string, std::string>>;

// The "key=value" lines of a file, in order.
Environment ReadKeyValues(const std::string& path);

// What the stand-in does besides logging; by default it ends at once with exit code 0.
struct SetupOptions {
    std::vector<std::string> create;  // files it makes at its end, each logged as created=<path>
    DWORD runMs = 0;                  // how long it runs first
    bool held = false;                // runs until its run's ReleaseWaitFile (at most 60 s)
    int exitCode = 0;
    bool window = false;              // shows a small window of its own while it runs

    SetupOptions& Creates(std::vector<std::string> files) { create = std::move(files); return *this; }
    // The two shortcuts a real setup program leaves: a desktop's and a start menu's.
    SetupOptions& LeavesShortcuts(machine::ShortcutFiles::Folder desktop = machine::ShortcutFiles::CommonDesktop,
                                  machine::ShortcutFiles::Folder programs = machine::ShortcutFiles::CommonPrograms);
    SetupOptions& RunsFor(DWORD ms) { runMs = ms; return *this; }
    SetupOptions& Held() { held = true; return *this; }
    SetupOptions& ExitsWith(int code) { exitCode = code; return *this; }
    SetupOptions& ShowsWindow() { window = true; return *this; }
};

// The variables for ToolProcess::Start (which the tool hands on to the stand-in): a log at
// logPath, the options, and waitFile as the file it waits for when held.
Environment SetupEnvironment(const std::string& logPath, const SetupOptions& options = SetupOptions(),
                             const std::string& waitFile = std::string());

// The window of a stand-in that shows one (SetupOptions::ShowsWindow) while it is visible, or
// NULL.
HWND ShownSetupWindow();

// One run of the stand-in setup program: a fresh log, an optional wait file, and on
// destruction the stand-in ended if it still runs and both files removed.
class StandIn {
public:
    explicit StandIn(const char* name);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Variables for ToolProcess::Start: this run's log, and the options. A held stand-in
    // keeps running until ReleaseWaitFile().
    Environment Env(const SetupOptions& options = SetupOptions()) const;
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
