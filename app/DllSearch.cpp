// The DLL search of an elevated program.
#include "app/DllSearch.h"

#include <windows.h>

namespace {

// DLLs that system code loads by name after start-up and that Windows does not keep among
// its KnownDLLs, so that a copy beside the program would be found first.
const char* const kSystemDllsLoadedByName[] = {
    "uxtheme", "dwmapi", "version", "cryptbase", "cryptsp", "propsys",
    "apphelp", "userenv", "setupapi", "oleacc", "clbcatq",
};

#ifdef TOOL_TEST_WITHOUT_DLL_RESTRICTION
// A test build that takes the path of a system without SetDefaultDllDirectories.
const bool kMayRestrictDllSearch = false;
#else
const bool kMayRestrictDllSearch = true;
#endif

// Loads each of those DLLs from the system folder by its full path (its own imports are
// looked for there too), so that a later load by name finds the copy in memory.
void PreloadSystemDlls()
{
    char szPath[MAX_PATH];
    const UINT nFolder = ::GetSystemDirectoryA(szPath, MAX_PATH);
    if (nFolder == 0 || nFolder + 1 + 16 > MAX_PATH)
        return;
    for (const char* pszName : kSystemDllsLoadedByName) {
        ::wsprintfA(szPath + nFolder, "\\%s.dll", pszName);
        ::LoadLibraryExA(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);  // kept to the end
    }
}

}  // namespace

// Where the system offers it, later loads search the system folder only. Vista is left out
// even where the call exists: shell objects could not be created there afterwards, and the
// shell finds our shortcut folders. Elsewhere (Vista, and Windows 7 without the loader
// update) the current folder leaves the search and the DLLs that would be looked for are
// loaded first.
void RestrictDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE hKernel = ::GetModuleHandleA("kernel32");
    auto pfnRestrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "SetDefaultDllDirectories")));
    // Told apart by what its kernel32 has, not by the version, which a compatibility layer
    // of the user's may report otherwise: Vista's has no PowerCreateRequest.
    const bool bVista = ::GetProcAddress(hKernel, "PowerCreateRequest") == nullptr;
    if (kMayRestrictDllSearch && pfnRestrict != nullptr && !bVista
        && pfnRestrict(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */))
        return;
    ::SetDllDirectoryA("");
    PreloadSystemDlls();
}
