// The workers' rules on paths, without Win32 calls: where the setup program lies on a disc,
// and where its two shortcuts are looked for, in which order.
//
// Functions: ComposeDiscSetupPath, FindShortcut.
#ifndef RULES_WORKER_RULES_H
#define RULES_WORKER_RULES_H

#include <cstddef>

extern const char kDiscFolder[];       // "\Nor-vikライブラリー3", below the root of the disc
extern const char kSetupProgramName[]; // "Setup.exe"

// "D:\Nor-vikライブラリー3\Setup.exe" for the drive letter 'D', into pszDest of cbDest bytes.
// 0 when it does not fit, pszDest untouched.
int ComposeDiscSetupPath(char* pszDest, size_t cbDest, char chDrive);

// A shortcut that the setup program leaves: looked for in the all-users folder first, then
// in the current user's; the text is appended to the folder's path as it stands.
struct ShortcutLocation {
    int nFirstFolder;   // shell folder ID (CSIDL) of the all-users folder
    int nSecondFolder;  // shell folder ID of the current user's folder
    const char* pszText;
};
extern const ShortcutLocation kDesktopShortcut;   // desktops, "\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk"
extern const ShortcutLocation kProgramsShortcut;  // start-menu Programs folders

// Fills a 1024-byte array with a shell folder's path, or the empty string when there is none.
// Its result (an HRESULT) is not looked at: the empty string says it all.
typedef long (*FolderLookupFn)(char* pszFolder, int nFolder);
// 1 when the path names an existing ordinary file.
typedef int (*FileTestFn)(const char* pszPath);

// 1 when the shortcut is in its first folder, or else in its second, with its full path
// copied into pszDest (1024 bytes); 0 when it is in neither or pszDest is null, pszDest
// then untouched. The second folder is looked at only when the first holds no such file.
int FindShortcut(const ShortcutLocation& location, char* pszDest,
                 FolderLookupFn pfnLookup, FileTestFn pfnIsFile);

#endif
