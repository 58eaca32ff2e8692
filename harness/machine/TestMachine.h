// The machine the program looks at, prepared for one test (or one demo) and put back after
// it: the library installation in both registry views, discs in the virtual CD-ROM drives,
// and the shortcut files the setup program leaves. Every Wine test that needs the machine
// sets it up through here; Registry.h, Files.h and Clock.h hold the pieces.
//
// Classes: LibraryLayout, LibraryInstallation, NoLibrary, DiscDrive, ShortcutFiles.
#ifndef MACHINE_TEST_MACHINE_H
#define MACHINE_TEST_MACHINE_H

#include <windows.h>

#include <memory>
#include <string>

#include "expected/Expectations.h"
#include "machine/Clock.h"
#include "machine/Files.h"
#include "machine/Registry.h"

namespace machine {

// Where a library installation lies. As on 64-bit Windows, CommonFilesDir names
// <systemRoot>\Program Files\Common Files in the 64-bit view and ...\Program Files (x86)\...
// in the 32-bit view, and the driver lies below the 64-bit folder, where both builds of the
// program look for it.
struct LibraryLayout {
    std::string folder = "C:\\tooltest\\Norvik";  // the library's folder, which App Paths names
    std::string systemRoot = "C:";                 // holds Program Files and Program Files (x86)

    std::string ExeFile() const { return folder + "\\" + expected::kLibraryExeName; }
    std::string ConfigFile() const { return folder + "\\" + expected::kLibraryConfigName; }
    std::string CommonFiles64() const { return systemRoot + "\\Program Files\\Common Files"; }
    std::string CommonFiles32() const { return systemRoot + "\\Program Files (x86)\\Common Files"; }
    std::string DriverFolder() const { return CommonFiles64() + "\\" + expected::kDriverFolderName; }
    std::string DriverFile() const { return DriverFolder() + "\\" + expected::kDriverFileName; }
};

// The library application installed as the program expects: App Paths and CommonFilesDir in
// both registry views, the library's folder with its program and configuration, the driver
// file. Everything it made is removed and every value put back on destruction.
class LibraryInstallation {
public:
    explicit LibraryInstallation(const LibraryLayout& layout = LibraryLayout());
    ~LibraryInstallation();
    LibraryInstallation(const LibraryInstallation&) = delete;
    LibraryInstallation& operator=(const LibraryInstallation&) = delete;

    // True when every value, folder and file was made.
    bool Installed() const { return m_installed; }
    void RemoveConfig() { ::DeleteFileA(m_layout.ConfigFile().c_str()); }
    void RemoveDriver() { ::DeleteFileA(m_layout.DriverFile().c_str()); }
    const std::string& Folder() const { return m_layout.folder; }

private:
    LibraryLayout m_layout;
    RegistryValueGuard m_path64, m_path32, m_commonFiles64, m_commonFiles32;
    std::string m_madeFolder, m_madeDriverFolder;  // the outermost folders it had to make
    bool m_installed = false;
};

// No library registration in either view while this lives; put back on destruction.
class NoLibrary {
public:
    NoLibrary();

private:
    RegistryValueGuard m_path64, m_path32;
};

// The stand-in for the add-on's setup program, as built beside the tests.
std::string FakeSetupExePath();

// A virtual CD-ROM drive ('D' or 'E') emptied at construction and destruction.
class DiscDrive {
public:
    explicit DiscDrive(char letter) : m_letter(letter) { Empty(); }
    ~DiscDrive() { Empty(); }
    // Puts the stand-in setup program where the add-on disc has it.
    void InsertAddOnDisc();
    // Puts a file at a path relative to the disc's root (folders are made as needed).
    void PutFile(const std::string& relative, const std::string& sourceFile);
    void MakeFolder(const std::string& relative);
    void Empty();
    // The folder behind the drive ("D:\" outside the test environment), with its separator.
    std::string Root() const;
    // "D:\<add-on folder>\Setup.exe", as the program finds and starts it.
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
    // A folder with the shortcut's name: a look-alike that is no shortcut.
    static void CreateFolderInstead(Folder folder);
    static bool Exists(Folder folder);
    static DWORD Attributes(Folder folder);
    static void RemoveAll();
};

}  // namespace machine

#endif
