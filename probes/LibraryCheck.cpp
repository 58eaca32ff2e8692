// Whether the 64-bit library is installed: its registry entries and its files.
#include "probes/LibraryCheck.h"

#include <cstring>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "probes/FileHelpers.h"
#include "rules/PathRules.h"

namespace {

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Norvik3.exe";
const char kAppPathsValue[] = "Path";
const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kCommonFilesValue[] = "CommonFilesDir";

// 1 with the value's bytes up to their first NUL in dest (kProbePathSize bytes); 0 when
// the key cannot be opened, the value cannot be read or the key cannot be closed, dest
// untouched. The type is not looked at: one byte short of the array is offered, so
// whatever arrives stays terminated, and a longer value is refused with ERROR_MORE_DATA.
int ReadMachineValue(const char* subKey, const char* valueName, char* dest)
{
    // KEY_ALL_ACCESS and the process's own view, as the tool has always opened these keys.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    BYTE value[kProbePathSize] = {};
    DWORD type = 0;
    DWORD size = kProbePathSize - 1;
    const LONG queried = RegQueryValueExA(key, valueName, nullptr, &type, value, &size);
    const LONG closed = RegCloseKey(key);
    if (queried != ERROR_SUCCESS || closed != ERROR_SUCCESS)
        return 0;
    const char* text = reinterpret_cast<const char*>(value);
    std::memcpy(dest, text, std::strlen(text) + 1);
    return 1;
}

// 1 when folder + name is an ordinary file; 0 when not, or when the path cannot be composed.
int HasFileBelow(const char* folder, const char* name)
{
    char path[kProbePathSize] = {};
    if (!ComposeFolderFile(path, sizeof path, folder, name))
        return 0;
    return IsPlainFile(path);
}

} // namespace

int ReadLibraryPath(char* dest)
{
    if (dest == nullptr)
        return 0;
    return ReadMachineValue(kAppPathsKey, kAppPathsValue, dest);
}

int GetCommonFilesDir(char* dest)
{
    if (dest == nullptr)
        return 0;
    char value[kProbePathSize] = {};
    if (!ReadMachineValue(kCurrentVersionKey, kCommonFilesValue, value))
        return 0;
    // A 32-bit process reads the 32-bit folder; the driver lives in the 64-bit one.
    return DeriveCommonFilesDir(value, dest, kProbePathSize);
}

int HasLibraryExe(const char* folder)
{
    return HasFileBelow(folder, kLibraryExeName);
}

int HasDriverFile(const char* commonFilesDir)
{
    return HasFileBelow(commonFilesDir, kDriverRelativePath);
}

int IsLibraryInstalled()
{
    char folder[kProbePathSize] = {};
    char commonFiles[kProbePathSize] = {};
    char configPath[kProbePathSize] = {};
    if (!ReadLibraryPath(folder))
        return 0;
    if (!IsDirectory(folder))
        return 0;
    if (!HasLibraryExe(folder))
        return 0;
    if (!GetCommonFilesDir(commonFiles))
        return 0;
    if (!HasDriverFile(commonFiles))
        return 0;
    if (!ComposeFolderFile(configPath, sizeof configPath, folder, kLibraryConfigName))
        return 0;
    return IsPlainFile(configPath);
}
