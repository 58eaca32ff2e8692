// The other programs a test plays beside the tool: a window that takes the foreground, an
// object squatting on a name, the keyboard, settings that watch the program under test, the
// disc switched in and out whole, and the stand-in setup programs still alive.
//
// Classes: ForegroundDecoy, NameSquatter, WatchedProgram, SwitchedDisc.
#ifndef SCENARIO_BYSTANDERS_H
#define SCENARIO_BYSTANDERS_H

#include <windows.h>

#include <string>
#include <vector>

#include "driver/ToolDriver.h"
#include "expected/Expectations.h"
#include "machine/TestMachine.h"
#include "scenario/Scenario.h"

namespace scenario {

// Waits until hWnd is the foreground window, handling this thread's own messages meanwhile
// (a window of the test process may be the one losing the foreground).
bool WaitForForeground(HWND hWnd, DWORD ms = Seconds(5));

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

// Settings for the program under test, and only it, in force while a WatchedProgram lives:
// - Heap checking (tail and free checking, parameter validation): a freed block is filled
//   at once, so a dialog or worker that uses memory after its release hangs or crashes
//   visibly instead of going on by luck.
// - Unmanaged windows: without a window manager (Xvfb), Wine makes a thread that hides one
//   of its managed windows (closing the version box, the wizard's own end) wait up to 2 s
//   for a manager that never answers. Windows has no such wait; without it, a 2 s bound
//   measures the program and not the test machine.
class WatchedProgram {
public:
    WatchedProgram()
    {
        // FLG_HEAP_ENABLE_TAIL_CHECK, FLG_HEAP_ENABLE_FREE_CHECK, FLG_HEAP_VALIDATE_PARAMETERS; Wine
        // reads only a DWORD here.
        const DWORD checks = 0x10 | 0x20 | 0x40;
        m_globalFlag.Set(REG_DWORD, std::string(reinterpret_cast<const char*>(&checks), sizeof(checks)));
        m_managed.SetString("N");
    }

private:
    static std::string ExeName()
    {
        const std::string exe = driver::ToolExePath();
        return exe.substr(exe.find_last_of("\\/") + 1);
    }
    static std::string IfeoKey()
    {
        return "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + ExeName();
    }

    // Both put back as they were when this goes away.
    machine::RegistryValueGuard m_globalFlag{ HKEY_LOCAL_MACHINE, IfeoKey(), "GlobalFlag" };
    machine::RegistryValueGuard m_managed{ HKEY_CURRENT_USER,
                                          "Software\\Wine\\AppDefaults\\" + ExeName() + "\\X11 Driver", "Managed" };
};

// The add-on disc in drive D, put in and taken out by renaming its folder: each change is
// whole and at once, so no search or setup start ever meets a half-copied or half-deleted
// program, and a setup program running from the disc is not pulled from under itself
// (which would try the test machine rather than the wizard).
class SwitchedDisc {
public:
    // Out at first.
    explicit SwitchedDisc(machine::DiscDrive& drive)
    {
        m_in = drive.Root() + expected::kDiscFolder;
        m_out = drive.Root() + "out";
        drive.InsertAddOnDisc();
        Remove();
    }
    void Insert() { ::MoveFileA(m_out.c_str(), m_in.c_str()); }
    void Remove() { ::MoveFileA(m_in.c_str(), m_out.c_str()); }

private:
    std::string m_in, m_out;
};

// Processes of the stand-in setup program (by its name on the disc) that exist now; with a
// parent, only those it started.
std::vector<DWORD> SetupProcesses(DWORD parent = 0);

// Ends a stand-in that is left over, so that it holds nothing of the test run (its output
// pipe, the Wine lock) past the test.
void EndProcess(DWORD pid);

}  // namespace scenario

#endif
