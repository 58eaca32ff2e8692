// Drives the real program from outside, as a user and other programs would: starts it,
// finds its windows, reads their controls, clicks and types. What the program must show is
// in Expectations.h; the machine it looks at is prepared by TestMachine.h.
//
// Classes: ToolProcess, ControlState, WizardView.
#ifndef TOOL_DRIVER_H
#define TOOL_DRIVER_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "expected/Expectations.h"

namespace driver {

// The wizard's controls and messages, by the names the driver's callers click and post.
using expected::kRadio;
using expected::kMain;
using expected::kIntro;
using expected::kBack;
using expected::kNext;
using expected::kEnd;
using expected::kDiscSearchDone;
using expected::kInstallDone;
using expected::kExternalStatus;

// The program under test: the twin built beside the tests, or TOOL_EXE_UNDER_TEST (a Unix or
// Windows path): the whole successful run (tests/e2e/run) is pointed at the i686 release, the
// signed release and the DLL-planting twin this way.
std::string ToolExePath();

// Whether 32-bit programs run here: the kernel runs no 32-bit ELF program, so 32-bit Wine runs
// only where binfmt_misc hands i386 programs to qemu. A test that needs them is skipped, never
// passed, without.
bool CanRunI386();

class ToolProcess {
public:
    ToolProcess() = default;
    ~ToolProcess();  // kills the program if it still runs
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // Starts the program with our environment plus extra variables (which it hands on to
    // the setup program it runs). False when it could not be started.
    bool Start(const std::vector<std::pair<std::string, std::string>>& extraEnv = {},
               const std::string& exePath = ToolExePath());
    // The wizard window (its caption, of this process), or NULL after ms.
    HWND WaitForWizard(DWORD ms = 10000);
    // A top-level window of this process with this caption, or NULL after ms.
    HWND WaitForWindow(const char* caption, DWORD ms);
    bool WaitForExit(DWORD ms, DWORD* pExitCode = nullptr);
    bool IsRunning() const;
    void Kill();
    DWORD Pid() const { return m_pi.dwProcessId; }
    DWORD ThreadId() const { return m_pi.dwThreadId; }
    HANDLE Handle() const { return m_pi.hProcess; }

private:
    PROCESS_INFORMATION m_pi = {};
};

// Top-level windows of process pid with this caption (NULL caption: all of them).
std::vector<HWND> TopLevelWindows(DWORD pid, const char* caption = nullptr);

struct ControlState {
    std::string text;
    bool visible = false;
    bool enabled = false;
};

// What the wizard shows right now.
struct WizardView {
    ControlState main, intro, back, next, end, radio;
    int focusId = 0;           // control ID of the focused window; -1 the dialog itself; 0 none
    std::string caption;
};

ControlState ReadControl(HWND hDlg, int id);
std::string WindowText(HWND hWnd);
// The window with the keyboard focus in hWnd's thread, or NULL.
HWND FocusedWindow(HWND hWnd);
WizardView ReadWizard(HWND hDlg);
// The main text the wizard shows now, or its intro text on the welcome step; a note in
// parentheses when it shows neither.
std::string ShownText(HWND hDlg);
// Waits until the wizard shows this main text (or intro text, for the welcome step).
bool WaitForMainText(HWND hDlg, const char* text, DWORD ms);

// A click on a button as the user makes it (BM_CLICK, posted).
void Click(HWND hDlg, int id);
// The command a click would send, posted to the dialog whatever the button's state.
void PostCommand(HWND hDlg, int id);
// A key pressed and released in the control that has the focus (or the dialog).
void PressKey(HWND hDlg, UINT vk);
// True when the program's queue was empty enough to answer within ms.
bool Responds(HWND hWnd, DWORD ms = 2000);

bool MutexExists(const char* name);

}  // namespace driver

#endif
