// What each step of the wizard must look like, and ways to reach and watch the steps from
// outside the program. Shared by the wizard's end-to-end tests.
#ifndef WIZARD_STEPS_H
#define WIZARD_STEPS_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Scenario.h"

namespace wizard_test {

// The steps' table and its comparison live in the scenario layer.
using scenario::StepRow;
using scenario::kLibraryMissing;
using scenario::kWelcome;
using scenario::kInsertDisc;
using scenario::kSearchingDisc;
using scenario::kDiscNotFound;
using scenario::kReadyToInstall;
using scenario::kInstallFailed;
using scenario::kFollowInstaller;
using scenario::kFatalError;
using scenario::Mismatch;
using scenario::Resembles;

// A private message posted to the wizard, and the step it must show then.
struct Hop {
    UINT message;
    WPARAM wParam;
    const StepRow* step;
};

// Waits (bounded) until the wizard shows the row in every respect.
::testing::AssertionResult ShowsStep(HWND wizard, const StepRow& row, DWORD ms = 5000);
// The row right now: for checks after Settle, where nothing may change any more.
::testing::AssertionResult StillShows(HWND wizard, const StepRow& row);

// Returns once the wizard's thread has handled everything posted to it so far, and what
// that handling posted in turn (a key's character message). False after ms or when the
// window is gone.
bool Settle(HWND wizard, DWORD ms = 5000);

// Posts one of the private messages, as a worker or another program would.
void Post(HWND wizard, UINT message, WPARAM wParam, LPARAM lParam = 0);

// Waits until hWnd is the foreground window, handling this thread's own messages meanwhile
// (a window of the test process may be the one losing the foreground).
bool WaitForForeground(HWND hWnd, DWORD ms = 5000);

// A key pressed and released on the keyboard itself (SendInput), so that it takes the whole
// way of real input through Wine. False, and nothing typed, unless hTarget's top-level window
// becomes the foreground window within a bounded wait.
bool TypeKey(HWND hTarget, WORD vk);

// Every visible top-level window of every process.
std::vector<HWND> VisibleTopLevelWindows();

// Running under Wine (ntdll exports wine_get_version).
bool IsWine();

// A visible window of the test process that takes the foreground, so that a test can see the
// wizard take it back.
class ForegroundDecoy {
public:
    ForegroundDecoy();
    ~ForegroundDecoy();
    // Makes the decoy the foreground window; false when it did not become it.
    bool TakeForeground();

private:
    HWND m_hWnd;
};

// Another program's object holding a mutex's name (the menu-exit mutex's unless told): an
// event, so that the wizard cannot create a mutex of that name, or a mutex whose security
// lets no one else open it (CreateMutexA then fails with access denied).
class NameSquatter {
public:
    enum Kind { Event, DeniedMutex };
    explicit NameSquatter(Kind kind = Event, const char* name = expected::kMenuExitMutex);
    ~NameSquatter();
    bool Held() const { return m_hObject != nullptr; }
    // Whether creating a mutex of the name now fails with access denied, as it must for a
    // DeniedMutex (a system that ignores the access list would let it through).
    bool DeniesOthers() const;

private:
    HANDLE m_hObject;
    const char* m_pszName;
};

// The program started on a prepared machine: the library installed (or not), empty disc
// drives. The program is killed and the machine restored when this goes away.
class WizardRun {
public:
    explicit WizardRun(bool withLibrary = true);
    ~WizardRun();
    WizardRun(const WizardRun&) = delete;
    WizardRun& operator=(const WizardRun&) = delete;

    // Starts the program and waits for its first step.
    ::testing::AssertionResult Start(const StepRow& firstStep);
    // Welcome, then Next: InsertDisc with the wizard holding the menu-exit mutex.
    ::testing::AssertionResult StartOnInsertDisc();
    // Welcome, then Next while another program's event holds the menu-exit mutex's name for
    // the rest of the run: FatalError.
    ::testing::AssertionResult StartOnFatalError();

    HWND Wizard() const { return m_hWizard; }
    // The installed library, or NULL when the run has none.
    machine::LibraryInstallation* Library() { return m_machine.Library(); }
    driver::ToolProcess& Tool() { return m_tool; }
    // Ends the wizard with End and waits for the process; its exit code.
    ::testing::AssertionResult EndAndExit(DWORD* pExitCode);

private:
    scenario::Machine m_machine;
    std::unique_ptr<NameSquatter> m_squatter;
    driver::ToolProcess m_tool;
    HWND m_hWizard = nullptr;
};

}  // namespace wizard_test

#endif
