// Shared steps of the worker tests: the scenario layer's walks, failing the test when they
// do not arrive.
#ifndef WORKER_STEPS_H
#define WORKER_STEPS_H

#include "Scenario.h"

namespace steps {

// Starts the tool (with env) and walks it to InsertDisc. The wizard, or NULL with a failure
// already recorded.
HWND OpenAtInsertDisc(driver::ToolProcess& tool, const fakesetup::Environment& env = fakesetup::Environment());
// Starts the tool and walks it through a search that must find the disc. NULL with a failure
// recorded when ReadyToInstall does not come.
HWND OpenAtReadyToInstall(driver::ToolProcess& tool, const fakesetup::Environment& env = fakesetup::Environment());

using scenario::StartSearch;
using scenario::WaitUntilHidden;
using scenario::ProcessRuns;

}  // namespace steps

#endif
