// Shared steps of the worker tests.
#include "WorkerSteps.h"

#include <gtest/gtest.h>

namespace steps {

namespace {

HWND OpenAt(driver::ToolProcess& tool, const scenario::StepRow& step, const fakesetup::Environment& env)
{
    HWND wizard = nullptr;
    const std::string problem = scenario::OpenAt(tool, step, &wizard, env);
    if (problem.empty())
        return wizard;
    ADD_FAILURE() << problem;
    return nullptr;
}

}  // namespace

HWND OpenAtInsertDisc(driver::ToolProcess& tool, const fakesetup::Environment& env)
{
    return OpenAt(tool, scenario::kInsertDisc, env);
}

HWND OpenAtReadyToInstall(driver::ToolProcess& tool, const fakesetup::Environment& env)
{
    return OpenAt(tool, scenario::kReadyToInstall, env);
}

}  // namespace steps
