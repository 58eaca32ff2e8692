// The whole successful run.
#include "scenario/Walkthrough.h"

using namespace driver;
using namespace expected;
using machine::ShortcutFiles;

namespace scenario {

Walkthrough::Walkthrough(const char* name) : m_name(name)
{
}

std::string Walkthrough::Reached(const StepRow& step, HWND wizard)
{
    return onStep ? onStep(step, wizard) : std::string();
}

std::string Walkthrough::Run()
{
    Machine machine(discWhileSearching ? Machine::NoDisc : Machine::DiscInD);
    fakesetup::StandIn setup(m_name.c_str());
    std::string problem = Steps(machine, setup);
    m_tool.Kill();  // a run cut short leaves nothing running
    return problem;
}

std::string Walkthrough::Steps(Machine& machine, const fakesetup::StandIn& setup)
{
    fakesetup::SetupOptions options = fakesetup::SetupOptions().LeavesShortcuts().Held();
    options.window = setupWindow;
    HWND wizard = nullptr;
    std::string problem = Start(m_tool, kWelcome, &wizard, setup.Env(options));
    if (problem.empty())
        problem = Reached(kWelcome, wizard);
    if (problem.empty())
        problem = Go(wizard, kNext, kInsertDisc);
    if (problem.empty() && !MutexExists(kMenuExitMutex))
        problem = "the menu-exit mutex is not held on InsertDisc";
    // So that every window the program can show has been shown.
    if (problem.empty())
        problem = ShowVersionBox(m_tool, wizard);
    if (problem.empty())
        problem = Reached(kInsertDisc, wizard);
    if (problem.empty() && discWhileSearching) {
        problem = Go(wizard, kNext, kSearchingDisc);
        if (problem.empty())
            problem = Reached(kSearchingDisc, wizard);
        machine.D().InsertAddOnDisc();
        if (problem.empty())
            problem = WaitForStep(wizard, kReadyToInstall, Scaled(25000));
    } else if (problem.empty()) {
        problem = Go(wizard, kNext, kReadyToInstall);
    }
    if (problem.empty() && !MutexExists(kMenuExitMutex))
        problem = "the menu-exit mutex is not held on ReadyToInstall";
    if (problem.empty())
        problem = Reached(kReadyToInstall, wizard);
    if (!problem.empty())
        return problem;

    // While the setup program runs (held until released), the wizard only offers End.
    Click(wizard, kNext);
    if (!setup.WaitForStart(Scaled(5000)))
        return "the setup program did not start; " + WaitForStep(wizard, kFollowInstaller, 0);
    problem = WaitForStep(wizard, kFollowInstaller, Scaled(5000));
    if (problem.empty() && !MutexExists(kMenuExitMutex))
        problem = "the menu-exit mutex is not held while the setup program runs";
    if (problem.empty() && !m_tool.IsRunning())
        problem = "the program ended while the setup program runs";
    if (problem.empty())
        problem = Reached(kFollowInstaller, wizard);
    if (!problem.empty())
        return problem;

    // The setup program ends: the wizard deletes its shortcuts and closes by itself.
    setup.ReleaseWaitFile();
    if (!m_tool.WaitForExit(Scaled(10000), &m_exitCode))
        return "the wizard did not close after the setup program ended; shown: " + Resembles(ReadWizard(wizard));
    if (m_exitCode != 0)
        return "exit code " + std::to_string(m_exitCode);
    if (!setup.Has("end_ms"))
        return "the program closed before the setup program ended";
    if (setup.Starts() != 1)
        return "the setup program started " + std::to_string(setup.Starts()) + " times";
    const std::string desktop = ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop);
    const std::string programs = ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms);
    if (setup.Values("created") != std::vector<std::string>{ desktop, programs })
        return "the setup program could not make the shortcuts it leaves behind";
    for (const std::string& shortcut : { desktop, programs }) {
        if (::GetFileAttributesA(shortcut.c_str()) != INVALID_FILE_ATTRIBUTES)
            return "a shortcut is still there: " + shortcut;
    }
    const std::string folder = ShortcutFiles::FolderPath(ShortcutFiles::CommonPrograms) + "\\" + kProgramsFolderName;
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "the start-menu folder must stay: " + folder;
    if (MutexExists(kMenuExitMutex))
        return "the menu-exit mutex is still there after the end";
    return "";
}

}  // namespace scenario
