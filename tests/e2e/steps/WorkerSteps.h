// Shared steps of the worker tests: walking the wizard to the step a test needs, and
// watching it close.
#ifndef WORKER_STEPS_H
#define WORKER_STEPS_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "ToolDriver.h"

namespace steps {

// Starts the tool (with env) and walks it to InsertDisc. The wizard, or NULL with a failure
// already recorded.
HWND OpenAtInsertDisc(driver::ToolProcess& tool,
                      const std::vector<std::pair<std::string, std::string>>& env = {});
// From InsertDisc, Next: the moment of the click (machine::NowMs).
double StartSearch(HWND wizard);
// Starts the tool and walks it through a search that must find the disc. NULL with a failure
// recorded when ReadyToInstall does not come.
HWND OpenAtReadyToInstall(driver::ToolProcess& tool,
                          const std::vector<std::pair<std::string, std::string>>& env = {});

// Polls every millisecond until the window is gone or no longer visible: a moment
// (machine::NowMs) no earlier than that change, or 0 when it still shows after ms.
double WaitUntilHidden(HWND window, DWORD ms);

// True while the process pid runs.
bool ProcessRuns(DWORD pid);

}  // namespace steps

#endif
