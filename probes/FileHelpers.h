// Thin Win32 shells that ask the file system and the shell about paths; the decisions
// themselves live in PathRules.
//
// Functions: IsPlainFile, IsDirectory, OpenFileToDelete, DeleteOpenedFile,
// GetSpecialFolderPath.
#ifndef PROBES_FILEHELPERS_H
#define PROBES_FILEHELPERS_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// 1 when path names an ordinary file (see IsPlainFileAttributes); 0 when it does not,
// cannot be queried, or path is null.
int IsPlainFile(const char* path);

// 1 when path names a usable folder (see IsDirectoryAttributes); 0 when it does not,
// cannot be queried, or path is null.
int IsDirectory(const char* path);

// Opens the file folder + name (name starts with a backslash) for deletion without
// following a link at its end, and checks what the handle sees: IsDeletableFile on its
// attributes and links, and IsFinalPathInFolder: it lies at name below where the folder
// really lies, so links may lead to the folder but none below it. The handle when all pass;
// INVALID_HANDLE_VALUE on any doubt (also for a null argument, a folder, a file in use, or a
// system without the calls). While the handle is open the file cannot be renamed or deleted
// by anyone else.
HANDLE OpenFileToDelete(const char* folder, const char* name);

// Deletes the file that OpenFileToDelete opened and closes the handle. 1 when the file is
// gone; 0 when the system refused (a read-only file, for one), the file kept.
int DeleteOpenedFile(HANDLE hFile);

// The file-system path of the shell folder nFolder (a CSIDL) into dest, which holds
// 1024 bytes. Returns the HRESULT of the folder lookup; dest receives the empty string
// when the lookup fails, the folder has no file-system path, or the shell allocator is
// unavailable (its failure code is returned then). A null dest gives E_POINTER and
// nothing is written.
HRESULT GetSpecialFolderPath(char* dest, int nFolder);

#endif
