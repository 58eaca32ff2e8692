// Drives the real program from outside, as a user and other programs would: starts it,
// finds its windows, reads their controls, clicks and types, and prepares the machine it
// looks at (the library installation, discs in the virtual CD-ROM drives, shortcuts).
//
// Classes: ToolProcess, LibraryInstallation, DiscDrive, ShortcutFiles, RegistryValueGuard.
#ifndef TOOL_DRIVER_H
#define TOOL_DRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace driver {

// The wizard's caption, by which a second copy finds the first.
inline constexpr char kWizardCaption[] = "Brelquin";

// Control IDs of the wizard's template.
const int kRadio = 1001, kMain = 1004, kIntro = 1006, kBack = 1007, kNext = IDOK, kEnd = IDCANCEL;
const UINT kDiscSearchDone = WM_APP + 100, kInstallDone = WM_APP + 101, kExternalStatus = WM_APP + 102;

// Polls pred every 20 ms until it holds or ms have passed. The last answer of pred.
bool WaitFor(const std::function<bool()>& pred, DWORD ms);

// Windows path of a file built beside the tests (argument: path relative to the build folder).
std::string BuildPath(const std::string& relative);
// The program under test.
std::string ToolExePath();
// The stand-in for the add-on's setup program.
std::string FakeSetupExePath();

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
    // The wizard window ("Brelquin", of this process), or NULL after ms.
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

// The library application installed as the program expects: registry entry, folder,
// program, configuration and driver files. Everything it made is removed again.
class LibraryInstallation {
public:
    LibraryInstallation();  // installs the whole library
    ~LibraryInstallation();
    void RemoveConfig();
    void RemoveDriver();
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder, m_driver;
    bool m_hadDriverFolder = false;
};

// Removes any library registration, restoring it on destruction.
class NoLibrary {
public:
    NoLibrary();
    ~NoLibrary();

private:
    std::string m_savedPath;
    bool m_hadKey = false;
};

// A virtual CD-ROM drive ('D' or 'E') emptied at construction and destruction.
class DiscDrive {
public:
    explicit DiscDrive(char letter);
    ~DiscDrive();
    // Puts the stand-in setup program where the add-on disc has it.
    void InsertAddOnDisc();
    // Puts a file at a path relative to the disc's root (folders are made as needed).
    void PutFile(const std::string& relative, const std::string& sourceFile);
    void MakeFolder(const std::string& relative);
    void Empty();
    std::string Root() const;  // "D:\"
    std::string SetupPath() const;

private:
    char m_letter;
};

// The shortcut files the setup program leaves, in the four folders where they may lie.
class ShortcutFiles {
public:
    ShortcutFiles();   // removes any that exist
    ~ShortcutFiles();  // removes them again, clearing attributes first
    enum Folder { CommonDesktop, UserDesktop, CommonPrograms, UserPrograms };
    // Full path of the desktop or start-menu shortcut in that folder.
    static std::string PathIn(Folder folder);
    static std::string FolderPath(Folder folder);
    static void Create(Folder folder, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
    static bool Exists(Folder folder);
    static void RemoveAll();
};

// Saves a registry value and puts it back (or deletes it) on destruction.
class RegistryValueGuard {
public:
    RegistryValueGuard(HKEY root, const std::string& subkey, const std::string& name,
                       REGSAM view = KEY_WOW64_64KEY);
    ~RegistryValueGuard();
    void SetString(const std::string& value);
    void Delete();

private:
    HKEY m_root;
    std::string m_subkey, m_name;
    REGSAM m_view;
    bool m_existed = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// The Unix path behind a Windows path, for a Unix program's command line; empty outside Wine.
std::wstring UnixPathOf(const std::string& windowsPath);
// Starts a Unix program by its Z: path ("Z:\\bin\\ln -s ..."). Wine does not wait for it:
// the caller polls for its effect. False when it could not be started.
bool StartUnixCommand(const std::wstring& commandLine);

// Reads a file that the stand-in setup program writes ("key=value" lines).
std::vector<std::pair<std::string, std::string>> ReadKeyValues(const std::string& path);
std::string TempFilePath(const char* name);
// Milliseconds on a clock shared by all processes of the machine.
double NowMs();

}  // namespace driver

#endif
