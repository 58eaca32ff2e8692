// Byte rules for the paths and file attributes that the environment probes look at.
// No Win32 call in here: the same code builds natively for the unit tests and fuzzers.
//
// Functions: IsPlainFileAttributes, IsDeletableFile, IsFinalPathInFolder, IsDirectoryAttributes,
// IsCp932LeadByte, AddTrailingBackslash, DeriveCommonFilesDir, ComposeFolderFile.
//
// All paths are NUL-terminated Shift-JIS (code page 932) byte strings.
#ifndef RULES_PATH_RULES_H
#define RULES_PATH_RULES_H

#include <cstddef>
#include <cstdint>

// Every path array the probes fill is this large; a path that needs more counts as absent.
inline constexpr size_t kProbePathSize = 1024;

// Files of the 64-bit library whose presence decides that it is installed.
inline constexpr char kLibraryExeName[] = "Norvik3.exe";
inline constexpr char kLibraryConfigName[] = "Norvik3.cfg";
// Relative to the 64-bit Common Files folder.
inline constexpr char kDriverRelativePath[] = "TALMO\\wopx64.sys";

// The attribute word GetFileAttributesA gives for a path that cannot be queried.
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

// 1 when the word names an ordinary file: valid, and none of SYSTEM, DIRECTORY, DEVICE,
// TEMPORARY, COMPRESSED (mask 0x954); 0 otherwise.
int IsPlainFileAttributes(uint32_t attrs);

// 1 when a file that an open handle sees may be deleted: an ordinary file by
// IsPlainFileAttributes, not a reparse point (the entry of a link itself), and with one name
// only (no hard link elsewhere); 0 otherwise.
int IsDeletableFile(uint32_t attrs, uint32_t nLinks);

// 1 when finalPath, as the system reports where an open file lies ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), is folderFinalPath, reported in the same form for the
// folder, followed by name ("\..."): the same characters but for the case of ASCII letters
// (the file system keeps its own case), a run of backslashes in name counting as one.
// Anything else differs: a link below the folder, a short name, a look-alike. 0 then, or
// when an argument is null or name does not start with a backslash.
int IsFinalPathInFolder(const wchar_t* folderFinalPath, const wchar_t* name, const wchar_t* finalPath);

// 1 when the word names a usable folder: valid, DIRECTORY set, and none of DEVICE,
// TEMPORARY, COMPRESSED (mask 0x940); SYSTEM does not matter; 0 otherwise.
int IsDirectoryAttributes(uint32_t attrs);

// 1 when b opens a double-byte character in code page 932 (0x81-0x9F, 0xE0-0xFC).
int IsCp932LeadByte(unsigned char b);

// Makes the folder path end in exactly one real backslash, in place, within size bytes.
// Trailing separators are dropped (never the byte at index 0) and one is appended; an
// empty path becomes "\". A 0x5C that is the second byte of a double-byte character is
// part of that character, not a separator.
// 1 after normalising; 0 when path is null, when no NUL lies within size bytes, when the
// path ends in a lead byte without its second byte (the separator would complete that
// character), or when the result with its NUL would not fit in size bytes; path untouched
// on 0.
int AddTrailingBackslash(char* path, size_t size);

// The 64-bit Common Files folder from the CommonFilesDir value a 32-bit process reads:
// everything before the first "Program Files" (case-sensitive, starting on a character
// boundary) followed by "Program Files\Common Files", without a trailing backslash.
// 1 with the folder in dest; 0 when an argument is null, the value has no such match, or
// the result with its NUL would not fit in destSize bytes; dest untouched on 0.
int DeriveCommonFilesDir(const char* value, char* dest, size_t destSize);

// dest = folder normalised as by AddTrailingBackslash, then name: exactly one backslash
// between them. folder and name must not overlap dest.
// 1 with the path in dest; 0 when an argument is null, the folder ends in a lead byte
// without its second byte, or the result with its NUL would not fit in destSize bytes;
// dest untouched on 0.
int ComposeFolderFile(char* dest, size_t destSize, const char* folder, const char* name);

#endif
