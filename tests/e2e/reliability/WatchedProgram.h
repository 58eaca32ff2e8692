// Settings for the program under test, and only it, in force while a WatchedProgram lives:
// - Heap checking (tail and free checking, parameter validation): a freed block is filled
//   at once, so a dialog or worker that uses memory after its release hangs or crashes
//   visibly instead of going on by luck.
// - Unmanaged windows: without a window manager (Xvfb), Wine makes a thread that hides one
//   of its managed windows (closing the version box, the wizard's own end) wait up to 2 s
//   for a manager that never answers. Windows has no such wait; without it, a 2 s bound
//   measures the program and not the test machine.
#ifndef WATCHED_PROGRAM_H
#define WATCHED_PROGRAM_H

#include <string>

#include "ToolDriver.h"

class WatchedProgram {
public:
    WatchedProgram()
    {
        // FLG_HEAP_ENABLE_TAIL_CHECK, FLG_HEAP_ENABLE_FREE_CHECK, FLG_HEAP_VALIDATE_PARAMETERS; Wine
        // reads only a DWORD here.
        const DWORD checks = 0x10 | 0x20 | 0x40;
        ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, IfeoKey().c_str(), "GlobalFlag", REG_DWORD, &checks, sizeof(checks));
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
    driver::RegistryValueGuard m_globalFlag{ HKEY_LOCAL_MACHINE, IfeoKey(), "GlobalFlag" };
    driver::RegistryValueGuard m_managed{ HKEY_CURRENT_USER,
                                          "Software\\Wine\\AppDefaults\\" + ExeName() + "\\X11 Driver", "Managed" };
};

#endif
