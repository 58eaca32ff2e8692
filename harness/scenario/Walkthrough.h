// The whole successful run, written once and pointed at any build (driver::ToolExePath):
// the library installed, both drives, the stand-in setup program leaving the two shortcuts;
// Welcome, InsertDisc (with a look at the version box), the search, ReadyToInstall,
// FollowInstaller while the setup program runs, and the wizard closing by itself with the
// shortcuts deleted. Every check on the way is made here; Run() says what went wrong.
//
// Classes: Walkthrough.
#ifndef SCENARIO_WALKTHROUGH_H
#define SCENARIO_WALKTHROUGH_H

#include <functional>
#include <string>

#include "scenario/Scenario.h"

namespace scenario {

class Walkthrough {
public:
    // name: of the stand-in's log.
    explicit Walkthrough(const char* name);

    // Called on each step the run reaches, after its checks: "" to go on, or what went
    // wrong, which ends the run. The demo takes its pictures here.
    std::function<std::string(const StepRow& step, HWND wizard)> onStep;
    // The disc goes into D only once the search shows (so that the searching step stays on
    // screen); otherwise it is there from the start.
    bool discWhileSearching = false;
    // The stand-in shows a window of its own while it runs.
    bool setupWindow = false;

    // "" when the whole run went as it must, else the first thing that did not.
    std::string Run();

    driver::ToolProcess& Tool() { return m_tool; }
    DWORD ExitCode() const { return m_exitCode; }

private:
    std::string Steps(Machine& machine, const fakesetup::StandIn& setup);
    std::string Reached(const StepRow& step, HWND wizard);

    std::string m_name;
    driver::ToolProcess m_tool;
    DWORD m_exitCode = 0;
};

}  // namespace scenario

#endif
