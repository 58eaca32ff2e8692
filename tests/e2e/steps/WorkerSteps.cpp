// Shared steps of the worker tests.
#include "WorkerSteps.h"

#include <gtest/gtest.h>

#include "TestMachine.h"

using namespace driver;

namespace steps {

HWND OpenAtInsertDisc(ToolProcess& tool, const std::vector<std::pair<std::string, std::string>>& env)
{
    if (!tool.Start(env)) {
        ADD_FAILURE() << "the tool did not start (error " << ::GetLastError() << "): " << ToolExePath();
        return nullptr;
    }
    HWND wizard = tool.WaitForWizard();
    if (wizard == nullptr) {
        ADD_FAILURE() << "no wizard window appeared";
        return nullptr;
    }
    if (!WaitForMainText(wizard, expected::kWelcomeText, 5000)) {
        ADD_FAILURE() << "expected the welcome step, shown: " << ShownText(wizard);
        return nullptr;
    }
    Click(wizard, kNext);
    if (!WaitForMainText(wizard, expected::kInsertDiscText, 5000)) {
        ADD_FAILURE() << "expected the disc request, shown: " << ShownText(wizard);
        return nullptr;
    }
    return wizard;
}

double StartSearch(HWND wizard)
{
    const double clicked = machine::NowMs();
    Click(wizard, kNext);
    return clicked;
}

HWND OpenAtReadyToInstall(ToolProcess& tool, const std::vector<std::pair<std::string, std::string>>& env)
{
    HWND wizard = OpenAtInsertDisc(tool, env);
    if (wizard == nullptr)
        return nullptr;
    StartSearch(wizard);
    if (!WaitForMainText(wizard, expected::kReadyToInstallText, 5000)) {
        ADD_FAILURE() << "expected ReadyToInstall, shown: " << ShownText(wizard);
        return nullptr;
    }
    return wizard;
}

double WaitUntilHidden(HWND window, DWORD ms)
{
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    do {
        // The clock is read after the look, so the moment is never before the change.
        if (!::IsWindow(window) || !::IsWindowVisible(window))
            return machine::NowMs();
        ::Sleep(1);
    } while (::GetTickCount64() < deadline);
    return 0;
}

bool ProcessRuns(DWORD pid)
{
    HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (h == nullptr)
        return false;
    const bool runs = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    ::CloseHandle(h);
    return runs;
}

}  // namespace steps
