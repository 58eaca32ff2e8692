// The machine as presets, and walks through the wizard.
#include "scenario/Scenario.h"

#include <cstdlib>

using namespace driver;

namespace scenario {

DWORD Scaled(DWORD ms)
{
    static const DWORD scale = [] {
        const char* value = std::getenv("TOOL_TIME_SCALE");
        const unsigned long n = value != nullptr ? std::strtoul(value, nullptr, 10) : 0;
        return n > 0 ? static_cast<DWORD>(n) : 1ul;
    }();
    return ms * scale;
}

Machine::Machine(Disc disc, LibraryState library)
{
    if (library == WithLibrary)
        m_library.reset(new machine::LibraryInstallation);
    else
        m_noLibrary.reset(new machine::NoLibrary);
    if (disc == DiscInD)
        m_d.InsertAddOnDisc();
}

Machine::~Machine() = default;

std::string Start(ToolProcess& tool, const StepRow& firstStep, HWND* pWizard, const fakesetup::Environment& env)
{
    *pWizard = nullptr;
    if (!tool.Start(env))
        return "the program did not start (error " + std::to_string(::GetLastError()) + "): " + ToolExePath();
    HWND wizard = tool.WaitForWizard(Scaled(10000));
    if (wizard == nullptr)
        return tool.IsRunning() ? "no wizard window appeared" : "the program ended without showing the wizard";
    *pWizard = wizard;
    return WaitForStep(wizard, firstStep, Scaled(5000));
}

std::string Go(HWND wizard, int button, const StepRow& step)
{
    Click(wizard, button);
    return WaitForStep(wizard, step, Scaled(5000));
}

std::string OpenAt(ToolProcess& tool, const StepRow& step, HWND* pWizard, const fakesetup::Environment& env)
{
    if (&step != &kWelcome && &step != &kInsertDisc && &step != &kReadyToInstall)
        return std::string("no walk to ") + step.name;
    std::string problem = Start(tool, kWelcome, pWizard, env);
    if (problem.empty() && &step != &kWelcome)
        problem = Go(*pWizard, kNext, kInsertDisc);
    if (problem.empty() && &step == &kReadyToInstall)
        problem = Go(*pWizard, kNext, kReadyToInstall);
    return problem;
}

std::string ShowVersionBox(ToolProcess& tool, HWND wizard)
{
    PressKey(wizard, VK_F5);
    HWND box = tool.WaitForWindow(expected::kVersionBoxCaption, Scaled(5000));
    if (box == nullptr)
        return "no version box after F5";
    Click(box, IDOK);
    if (!machine::WaitFor([&] { return !::IsWindow(box); }, Scaled(5000)))
        return "the version box did not close on OK";
    return "";
}

double StartSearch(HWND wizard)
{
    const double clicked = machine::NowMs();
    Click(wizard, kNext);
    return clicked;
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

}  // namespace scenario
