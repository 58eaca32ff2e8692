// Files and folders of the test machine, and the Unix host behind Wine's drive Z:.
// Paths are Shift-JIS (the tests run with code page 932); folders are made and removed
// through the wide functions, so that paths longer than MAX_PATH work too.
//
// Functions: MakeFolders, MakeFile, EmptyFolder, RemoveTree, TempFilePath, WindowsPathOf,
// UnixPathOf, StartUnixCommand, MakeSymbolicLink, RemoveSymbolicLink.
#ifndef MACHINE_FILES_H
#define MACHINE_FILES_H

#include <string>

namespace machine {

// True when every folder along path exists afterwards. Splits only at real separators, never
// at a double-byte character's 0x5C trail byte.
bool MakeFolders(const std::string& path);
// True when the file exists afterwards with exactly this content (its folder must exist).
bool MakeFile(const std::string& path, const std::string& content = "x");
// Everything below folder, attributes cleared first; the folder itself stays.
void EmptyFolder(const std::string& folder);
// The folder and everything below it.
void RemoveTree(const std::string& folder);

// A file in the test process's temporary folder.
std::string TempFilePath(const char* name);

// A Unix path as Wine's Z: drive sees it.
std::string WindowsPathOf(const std::string& unixPath);
// The Unix path behind a Windows path, for a Unix program's command line; empty outside Wine.
std::wstring UnixPathOf(const std::string& windowsPath);
// Starts a Unix program by its Z: path ("Z:\\bin\\ln -s ..."). Wine does not wait for it:
// the caller polls for its effect. False when it could not be started.
bool StartUnixCommand(const std::wstring& commandLine);

// A link that an attacker with the user's rights could put in place: a Unix symbolic link at
// linkPath to target (both Windows paths), which Wine follows as Windows follows its own
// links and junctions. False when it could not be made. (Wine's CreateSymbolicLink makes
// nothing.)
bool MakeSymbolicLink(const std::string& target, const std::string& linkPath);
// Removes the link itself, not what it leads to.
void RemoveSymbolicLink(const std::string& linkPath);

}  // namespace machine

#endif
