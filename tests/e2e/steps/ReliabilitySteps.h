// What the reliability tests share beyond the wizard and worker steps: settings for the
// program under test, the add-on disc switched in and out whole, and the stand-in setup
// programs that are still alive.
#ifndef RELIABILITY_STEPS_H
#define RELIABILITY_STEPS_H

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "Expectations.h"
#include "TestMachine.h"
#include "ToolDriver.h"

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
inline std::vector<DWORD> SetupProcesses(DWORD parent = 0)
{
    std::vector<DWORD> found;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (::lstrcmpiA(entry.szExeFile, expected::kSetupFileName) == 0 && (parent == 0 || entry.th32ParentProcessID == parent))
            found.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return found;
}

// Ends a stand-in that is left over, so that it holds nothing of the test run (its output
// pipe, the Wine lock) past the test.
inline void EndProcess(DWORD pid)
{
    if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        ::TerminateProcess(h, 99);
        ::WaitForSingleObject(h, 5000);
        ::CloseHandle(h);
    }
}

#endif
