// What a test of the real program works with: one session (a machine preset, the tool, the
// stand-in setup program) and one page object for the wizard. Every check returns "" or what
// went wrong, and every bound is scaled (Seconds).
//
// Classes: WizardPage, Session.
#ifndef SCENARIO_SESSION_H
#define SCENARIO_SESSION_H

#include <windows.h>

#include <memory>
#include <string>

#include "scenario/Bystanders.h"
#include "scenario/Scenario.h"

namespace scenario {

// The wizard's window as a test sees it. Converts to its HWND, for the driver's calls.
class WizardPage {
public:
    WizardPage(HWND wizard = nullptr) : m_hWnd(wizard) {}
    operator HWND() const { return m_hWnd; }

    // The row in every respect, waiting (bounded) for it.
    std::string Shows(const StepRow& row, DWORD ms = Seconds(5)) const { return WaitForStep(m_hWnd, row, ms); }
    // The row right now: for checks after Settle, where nothing may change any more.
    std::string StillShows(const StepRow& row) const { return StepProblem(m_hWnd, row); }
    // "" once the wizard's thread has handled everything posted to it so far, and what that
    // handling posted in turn (a key's character message); else that it did not, or that the
    // wizard is gone or hidden (at once).
    std::string Settle(DWORD ms = Seconds(5)) const;
    // Clicks button and waits for the step that must follow.
    std::string Go(int button, const StepRow& row) const { return scenario::Go(m_hWnd, button, row); }
    // One of the private messages, as a worker or another program would post it.
    void Post(UINT message, WPARAM wParam, LPARAM lParam = 0) const { ::PostMessageA(m_hWnd, message, wParam, lParam); }
    std::string Text() const { return driver::ShownText(m_hWnd); }

private:
    HWND m_hWnd;
};

// A private message posted to the wizard, and the step it must show then.
struct Hop {
    UINT message;
    WPARAM wParam;
    const StepRow* step;
};

// A test's world: the machine preset, the tool, and the stand-in setup program's run under
// name. The tool is killed, the stand-in ended and the machine put back when it goes away.
class Session {
public:
    explicit Session(Machine::Disc disc = Machine::NoDisc, Machine::LibraryState library = Machine::WithLibrary,
                     const char* name = "session");
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the tool, the stand-in told options, and walks it to step: the first step it
    // shows (Welcome or LibraryMissing), InsertDisc or ReadyToInstall (the search finding the
    // disc that must be in a drive).
    std::string Open(const StepRow& step, const fakesetup::SetupOptions& options = fakesetup::SetupOptions());
    // Welcome, then Next while another program's event holds the menu-exit mutex's name for
    // the rest of the session: FatalError.
    std::string OpenOnFatalError();
    // End, and the process's end; its exit code into *pExitCode.
    std::string EndAndExit(DWORD* pExitCode);

    WizardPage Wizard() const { return m_wizard; }
    Machine& TheMachine() { return m_machine; }
    driver::ToolProcess& Tool() { return m_tool; }
    fakesetup::StandIn& Setup() { return m_setup; }

private:
    Machine m_machine;
    fakesetup::StandIn m_setup;
    std::unique_ptr<NameSquatter> m_squatter;
    driver::ToolProcess m_tool;
    WizardPage m_wizard;
};

}  // namespace scenario

#endif
