// The session and the wizard's page object.
#include "scenario/Session.h"

#include "machine/Clock.h"

namespace scenario {

namespace {

WPARAM CheckOf(HWND button)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, Seconds(2), &result);
    return static_cast<WPARAM>(result);
}

}  // namespace

std::string WizardPage::Settle(DWORD ms) const
{
    // Posted messages of one thread are handled in order. The hidden radio button serves as
    // a marker: once the check state posted to it has arrived, everything posted before has
    // been handled. A second round covers what that handling posted (WM_CHAR after a key).
    HWND radio = ::GetDlgItem(m_hWnd, driver::kRadio);
    if (radio == nullptr)
        return "the wizard is gone";
    for (int round = 0; round < 2; ++round) {
        const WPARAM want = CheckOf(radio) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        if (!::PostMessageA(radio, BM_SETCHECK, want, 0))
            return "the wizard is gone";
        auto gone = [&] { return !::IsWindow(m_hWnd) || !::IsWindowVisible(m_hWnd); };
        if (!machine::WaitFor([&] { return gone() || CheckOf(radio) == want; }, ms))
            return "the wizard did not handle what was posted to it within " + std::to_string(ms) + " ms";
        if (gone())
            return "the wizard is gone";
    }
    return "";
}

Session::Session(Machine::Disc disc, Machine::LibraryState library, const char* name)
    : m_machine(disc, library), m_setup(name)
{
}

Session::~Session()
{
    m_tool.Kill();
}

std::string Session::Open(const StepRow& step, const fakesetup::SetupOptions& options)
{
    HWND wizard = nullptr;
    const std::string problem = &step == &kLibraryMissing ? Start(m_tool, step, &wizard, m_setup.Env(options))
                                                          : OpenAt(m_tool, step, &wizard, m_setup.Env(options));
    m_wizard = wizard;
    return problem;
}

std::string Session::OpenOnFatalError()
{
    m_squatter.reset(new NameSquatter);
    if (!m_squatter->Held())
        return std::string("could not create the object named ") + expected::kMenuExitMutex;
    const std::string problem = Open(kWelcome);
    return problem.empty() ? m_wizard.Go(driver::kNext, kFatalError) : problem;
}

std::string Session::EndAndExit(DWORD* pExitCode)
{
    driver::Click(m_wizard, driver::kEnd);
    return m_tool.WaitForExit(Seconds(5), pExitCode) ? "" : "the program still runs 5 s after End";
}

}  // namespace scenario
