// Paths of the setup program and of its shortcuts.
#include "rules/WorkerRules.h"

#include <cstring>

#include "rules/PathRules.h"

const char kDiscFolder[] = "\\Nor-vikライブラリー3";
const char kSetupProgramName[] = "Setup.exe";

// Shell folder IDs: all users' and the current user's desktop and Programs folders.
const ShortcutLocation kDesktopShortcut = { 25, 16, "\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk" };
const ShortcutLocation kProgramsShortcut = { 23, 2, "\\TALMO Nor-vikライブラリー\\Nor-vikライブラリー.lnk" };

namespace {

// Appends pszText to the string in pszPath (cbPath bytes). 0 when it does not fit.
int AppendText(char* pszPath, size_t cbPath, const char* pszText)
{
    const size_t nPath = std::strlen(pszPath);
    const size_t nText = std::strlen(pszText);
    if (nPath + nText >= cbPath)
        return 0;
    std::memcpy(pszPath + nPath, pszText, nText + 1);
    return 1;
}

// 1 when the folder nFolder holds the shortcut, its path then in szPath.
int ProbeFolder(char (&szPath)[kProbePathSize], int nFolder, const char* pszText,
                FolderLookupFn pfnLookup, FileTestFn pfnIsFile)
{
    pfnLookup(szPath, nFolder);
    szPath[kProbePathSize - 1] = '\0';
    return szPath[0] != '\0' && AppendText(szPath, kProbePathSize, pszText) && pfnIsFile(szPath);
}

}  // namespace

int ComposeDiscSetupPath(char* pszDest, size_t cbDest, char chDrive)
{
    const size_t nFolder = std::strlen(kDiscFolder);
    const size_t nName = std::strlen(kSetupProgramName);
    const size_t cbNeeded = 2 + nFolder + 1 + nName + 1;
    if (pszDest == nullptr || cbDest < cbNeeded)
        return 0;
    char* p = pszDest;
    *p++ = chDrive;
    *p++ = ':';
    std::memcpy(p, kDiscFolder, nFolder);
    p += nFolder;
    *p++ = '\\';
    std::memcpy(p, kSetupProgramName, nName + 1);
    return 1;
}

int FindShortcut(const ShortcutLocation& location, char* pszDest,
                 FolderLookupFn pfnLookup, FileTestFn pfnIsFile)
{
    if (pszDest == nullptr)
        return 0;
    char szPath[kProbePathSize] = {};
    if (ProbeFolder(szPath, location.nFirstFolder, location.pszText, pfnLookup, pfnIsFile)
        || ProbeFolder(szPath, location.nSecondFolder, location.pszText, pfnLookup, pfnIsFile)) {
        std::memcpy(pszDest, szPath, std::strlen(szPath) + 1);
        return 1;
    }
    return 0;
}
