// The scenario layer: the test machine as one object with named variations, the bounds of
// every wait on one time scale, and walks through the wizard that say what went wrong instead
// of failing a test. Tests wrap these in GoogleTest checks; the demo and the benchmark call
// them as they are.
//
// Classes: Machine.
#ifndef SCENARIO_SCENARIO_H
#define SCENARIO_SCENARIO_H

#include <windows.h>

#include <memory>
#include <string>

#include "expected/Expectations.h"
#include "fakesetup/StandIn.h"
#include "scenario/Steps.h"
#include "machine/TestMachine.h"
#include "driver/ToolDriver.h"

namespace scenario {

// A bound of a wait, ms on the x86_64 twin, times TOOL_TIME_SCALE (1 when unset): the one
// setting for a slow build, such as the i686 release under emulated 32-bit Wine.
DWORD Scaled(DWORD ms);
// The same bound given in seconds: Seconds(5) is Scaled(5000).
inline DWORD Seconds(double s) { return Scaled(static_cast<DWORD>(s * 1000)); }

// The machine the program looks at, as one object: the library (installed, or no
// registration at all), the CD-ROM drives D and E (emptied; the add-on disc in D when asked),
// and no shortcut of the setup program's anywhere. All put back when it goes away.
class Machine {
public:
    enum Disc { NoDisc, DiscInD };
    enum LibraryState { WithLibrary, WithoutLibrary };
    explicit Machine(Disc disc = NoDisc, LibraryState library = WithLibrary);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // The installed library, or NULL without one.
    machine::LibraryInstallation* Library() { return m_library.get(); }
    machine::DiscDrive& D() { return m_d; }
    machine::DiscDrive& E() { return m_e; }

private:
    std::unique_ptr<machine::LibraryInstallation> m_library;
    std::unique_ptr<machine::NoLibrary> m_noLibrary;
    machine::DiscDrive m_d{ 'D' }, m_e{ 'E' };
    machine::ShortcutFiles m_shortcuts;
};

// Starts the program with env and waits for the wizard to show its first step. "" or what
// went wrong; *pWizard is the wizard once one appeared, else NULL.
std::string Start(driver::ToolProcess& tool, const StepRow& firstStep, HWND* pWizard,
                  const fakesetup::Environment& env = fakesetup::Environment());
// Clicks button and waits for the step that must follow. "" or what went wrong.
std::string Go(HWND wizard, int button, const StepRow& step);
// Starts the program and walks it to Welcome, InsertDisc or ReadyToInstall (the search
// finding the disc that must be in a drive). "" or what went wrong; *pWizard as for Start.
std::string OpenAt(driver::ToolProcess& tool, const StepRow& step, HWND* pWizard,
                   const fakesetup::Environment& env = fakesetup::Environment());
// F5, then OK: the version box opens over the wizard and closes again. "" or what went wrong.
std::string ShowVersionBox(driver::ToolProcess& tool, HWND wizard);

// From InsertDisc (or ReadyToInstall), Next: the moment of the click (machine::NowMs).
double StartSearch(HWND wizard);
// Polls every millisecond until the window is gone or no longer visible: a moment
// (machine::NowMs) no earlier than that change, or 0 when it still shows after ms.
double WaitUntilHidden(HWND window, DWORD ms);
// True while the process pid runs.
bool ProcessRuns(DWORD pid);

}  // namespace scenario

#endif
