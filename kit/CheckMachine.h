// The Windows test machine as the check runner finds it, prepares it and leaves it: what it
// is, the library installation the program looks for (made only where none is, and undone
// from a journal, also after a run that was stopped), and the test disc in a CD-ROM drive.
//
// Classes: MachineRecord, Journal, LibraryPreparation, Disc.
#ifndef KIT_CHECK_MACHINE_H
#define KIT_CHECK_MACHINE_H

#include <windows.h>

#include <string>
#include <vector>

namespace check {

// What the report says of the machine and of the program beside the runner.
struct MachineRecord {
    DWORD major = 0, minor = 0, build = 0;
    bool is64Bit = false;
    UINT ansiCodePage = 0;
    DWORD integrity = 0;        // the runner's integrity level (0x3000: high, elevated)
    std::string wine;           // Wine's version where the machine is Wine, else ""
    std::string toolSha256;
    LONG trust = 0;             // WinVerifyTrust on the program: 0 when Windows accepts its signature
    bool trustAsked = false;    // false: the call could not be made

    bool IsWine() const { return !wine.empty(); }
    bool Japanese() const { return ansiCodePage == 932; }
    // The lines of the report's head.
    std::string Describe(const std::string& toolPath) const;
};
MachineRecord RecordMachine(const std::string& toolPath);
// This process's integrity level (0x2000 medium, 0x3000 high), or 0 when it cannot be read.
DWORD IntegrityLevel();

// Every change the runner makes to the machine, written down (and flushed) before it is made,
// in a file beside the runner. Undo() takes them back in reverse order and removes the file;
// a run that was stopped before it could is undone by the next start (or check.exe --restore).
class Journal {
public:
    explicit Journal(const std::string& path) : m_path(path) {}
    // Each records, then makes: a registry key (KEY_WOW64_64KEY or _32KEY) with one string
    // value, a folder, an empty file. False, with nothing made, when the thing already exists
    // or cannot be made.
    bool MakeKey(REGSAM view, const std::string& subkey, const char* valueName, const std::string& value);
    // Records a value of an existing key as it is (or that it is absent), then sets it.
    bool SetValue(REGSAM view, const std::string& subkey, const char* valueName, const std::string& value);
    bool MakeFolder(const std::string& path);
    // Each missing folder on the way to path and path itself, as MakeFolder.
    bool MakeFolders(const std::string& path);
    bool MakeFile(const std::string& path);
    // A file or folder that something else (the stand-in setup program) makes: removed at the end.
    void WillRemove(const std::string& path);
    // Undoes everything recorded in the journal at path. "" or what could not be undone.
    static std::string Undo(const std::string& path);
    bool Exists() const { return ::GetFileAttributesA(m_path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    const std::string& Path() const { return m_path; }

private:
    bool Record(const std::string& line);
    std::string m_path;
};

// The library installation the program looks for: its App Paths registration in both
// registry views, its folder with the program and the configuration file, the driver file
// below the 64-bit Common Files folder. Refused where any of it (or a shortcut of the add-on)
// is already there, unless the installed library is to be used as it is.
struct LibraryPreparation {
    std::string problem;        // "" when the library is there for the program
    bool madeByUs = false;
    std::string description;
};
LibraryPreparation PrepareLibrary(Journal& journal, const std::string& libraryFolder, bool useInstalled);

// The four places where the add-on's shortcuts may lie: the all-users and the user's desktop
// and start-menu Programs folder (the latter with its folder). "" where the shell has none.
std::vector<std::string> ShortcutPaths();
// The start-menu folder of the shortcut in the all-users Programs folder.
std::string CommonProgramsShortcutFolder();

// The test disc in a CD-ROM drive.
class Disc {
public:
    Disc() = default;
    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    // The drive ("D:") of a CD-ROM that holds the add-on's Setup.exe, or "".
    static std::string Find();
    // Attaches the image read-only through the virtual disk API (Windows 8 on), where a
    // CD-ROM drive appears, and waits for it. "" or why not.
    std::string Attach(const std::string& isoPath);
    // Detaches what Attach attached and waits until no drive holds the disc.
    bool Detach();
    bool Attached() const { return m_handle != nullptr; }
    bool CanAttach() const { return !m_isoPath.empty(); }
    std::string Reattach() { return Attach(m_isoPath); }

private:
    HANDLE m_handle = nullptr;
    std::string m_isoPath;
};

// The 64-bit Common Files folder, as the program derives it from the 32-bit registry view.
std::string CommonFiles64();

}  // namespace check

#endif
