// Shared steps of the worker tests: walking the wizard to the step a test needs, and one
// run of the stand-in setup program with its log, its wait file and its clean-up.
#ifndef WORKER_STEPS_H
#define WORKER_STEPS_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "ExpectedTexts.h"
#include "ToolDriver.h"

namespace steps {

// What the wizard shows on the steps these tests pass through.
using expected::kWelcomeText;
using expected::kInsertDiscText;
using expected::kSearchingDiscText;
using expected::kDiscNotFoundText;
using expected::kReadyToInstallText;
using expected::kFollowInstallerText;
using expected::kInstallFailedText;
using expected::kMenuExitMutex;

// The main (or intro) text the wizard shows now.
std::string ShownText(HWND wizard);

// One run of the stand-in setup program: a fresh log, an optional wait file, and on
// destruction the stand-in ended if it still runs and both files removed.
class SetupRun {
public:
    explicit SetupRun(const char* name);
    ~SetupRun();
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    // Variables for ToolProcess::Start: the log, plus the extra ones given.
    std::vector<std::pair<std::string, std::string>> Env(
        std::vector<std::pair<std::string, std::string>> extra = {}) const;
    // The same, and the stand-in keeps running until ReleaseWaitFile().
    std::vector<std::pair<std::string, std::string>> EnvHeld(
        std::vector<std::pair<std::string, std::string>> extra = {}) const;
    void ReleaseWaitFile() const;

    // The value of key in the log ("" when absent), and whether it is there.
    std::string Value(const char* key) const;
    bool Has(const char* key) const;
    bool WaitForStart(DWORD ms) const { return WaitForKey("pid", ms); }
    bool WaitForEnd(DWORD ms) const { return WaitForKey("end_ms", ms); }
    bool WaitForKey(const char* key, DWORD ms) const;
    double Number(const char* key) const;
    DWORD Pid() const;
    // How often the stand-in started.
    int Starts() const;
    const std::string& LogPath() const { return m_log; }

private:
    std::string m_log, m_waitFile;
};

// Starts the tool (with env) and walks it to InsertDisc. The wizard, or NULL with a failure
// already recorded.
HWND OpenAtInsertDisc(driver::ToolProcess& tool,
                      const std::vector<std::pair<std::string, std::string>>& env = {});
// From InsertDisc, Next: the moment of the click (driver::NowMs).
double StartSearch(HWND wizard);
// Starts the tool and walks it through a search that must find the disc. NULL with a failure
// recorded when ReadyToInstall does not come.
HWND OpenAtReadyToInstall(driver::ToolProcess& tool,
                          const std::vector<std::pair<std::string, std::string>>& env = {});

// Polls every millisecond until the window is gone or no longer visible: a moment
// (driver::NowMs) no earlier than that change, or 0 when it still shows after ms.
double WaitUntilHidden(HWND window, DWORD ms);

// True while the process pid runs.
bool ProcessRuns(DWORD pid);

// Desktop or start-menu shortcut's look-alike: a folder with the shortcut's name.
void MakeShortcutFolder(driver::ShortcutFiles::Folder folder);
DWORD AttributesOf(driver::ShortcutFiles::Folder folder);

// A link that an attacker with the user's rights could put in place: a Unix symbolic link at
// linkPath to target (both Windows paths), which Wine follows as Windows follows its own
// links and junctions. False when it could not be made.
bool MakeSymbolicLink(const std::string& target, const std::string& linkPath);
// Removes the link itself, not what it leads to.
void RemoveSymbolicLink(const std::string& linkPath);

}  // namespace steps

#endif
