#include "probes/FileHelpers.h"

#include <cstring>

#include <shlobj.h>

#include "probes/PathRules.h"

int IsPlainFile(const char* path)
{
    if (path == nullptr)
        return 0;
    return IsPlainFileAttributes(GetFileAttributesA(path));
}

int IsDirectory(const char* path)
{
    if (path == nullptr)
        return 0;
    return IsDirectoryAttributes(GetFileAttributesA(path));
}

HRESULT GetSpecialFolderPath(char* dest, int nFolder)
{
    if (dest == nullptr)
        return E_POINTER;
    char local[kProbePathSize] = {};

    // Without the shell's allocator we could not give the item list back, so we do not
    // ask for one at all.
    IMalloc* allocator = nullptr;
    HRESULT hr = SHGetMalloc(&allocator);
    if (SUCCEEDED(hr)) {
        LPITEMIDLIST pidl = nullptr;
        hr = SHGetSpecialFolderLocation(nullptr, nFolder, &pidl);
        if (SUCCEEDED(hr)) {
            // A virtual folder has no path; make sure it leaves nothing behind.
            if (!SHGetPathFromIDListA(pidl, local))
                local[0] = '\0';
            allocator->Free(pidl);
        }
        allocator->Release();
    }

    std::memcpy(dest, local, std::strlen(local) + 1);
    return hr;
}
