// Whether the 64-bit edition of the library application is installed: a fixed chain of
// registry reads and file tests. Only reads; nothing is kept between calls.
//
// Functions: IsLibraryInstalled, ReadLibraryPath, GetCommonFilesDir, HasLibraryExe,
// HasDriverFile.
#ifndef PROBES_LIBRARYCHECK_H
#define PROBES_LIBRARYCHECK_H

// 1 when the library folder from App Paths exists, holds Norvik3.exe and Norvik3.cfg, and
// the driver TALMO\wopx64.sys lies below the 64-bit Common Files folder; 0 at the first
// step that fails.
int IsLibraryInstalled();

// 1 with the App Paths "Path" value of Norvik3.exe in dest (1024 bytes); 0 when dest is
// null or the value cannot be read (missing, over 1023 bytes, key not closable), dest
// untouched.
int ReadLibraryPath(char* dest);

// 1 with the 64-bit Common Files folder, derived from the CommonFilesDir value, in dest
// (1024 bytes); 0 when dest is null, the value cannot be read or has no "Program Files",
// dest untouched.
int GetCommonFilesDir(char* dest);

// 1 when Norvik3.exe in folder is an ordinary file; 0 when it is not, folder is null, or
// the composed path does not fit 1024 bytes.
int HasLibraryExe(const char* folder);

// 1 when TALMO\wopx64.sys below commonFilesDir is an ordinary file; 0 when it is not, the
// folder is null, or the composed path does not fit 1024 bytes.
int HasDriverFile(const char* commonFilesDir);

#endif
