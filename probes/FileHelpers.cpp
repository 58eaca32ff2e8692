// The file system's and the shell's side of the probes: attributes, folders, deletion by handle.
#include "probes/FileHelpers.h"

#include <cstring>

#include <shlobj.h>

#include "rules/PathRules.h"

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

namespace {

// Both calls came with Vista; looked up at run time, so that older systems can still load
// the program and be told it does not run there.
template <class Fn> Fn Kernel32Call(const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), name)));
}

}  // namespace

HANDLE OpenFileToDelete(const char* folder, const char* name)
{
    typedef DWORD(WINAPI * GetFinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto pfnFinalPath = Kernel32Call<GetFinalPathFn>("GetFinalPathNameByHandleW");
    wchar_t wszPath[kProbePathSize];
    wchar_t wszName[kProbePathSize];
    int nFolder = 0;
    if (folder == nullptr || name == nullptr || pfnFinalPath == nullptr
        || (nFolder = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder, -1, wszPath, kProbePathSize)) == 0
        || ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wszName, kProbePathSize) == 0
        || static_cast<size_t>(::lstrlenW(wszName)) >= kProbePathSize - static_cast<size_t>(nFolder))
        return INVALID_HANDLE_VALUE;

    // Where the folder itself lies (a moved profile, a redirected desktop) is the machine's
    // layout; below it, nothing may lead elsewhere.
    wchar_t wszFolderFinal[kProbePathSize + 8];
    const DWORD cchFinal = sizeof(wszFolderFinal) / sizeof(wszFolderFinal[0]);
    HANDLE hFolder = ::CreateFileW(wszPath, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hFolder == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    const DWORD nFolderFinal = pfnFinalPath(hFolder, wszFolderFinal, cchFinal, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    ::CloseHandle(hFolder);
    if (nFolderFinal == 0 || nFolderFinal >= cchFinal)
        return INVALID_HANDLE_VALUE;
    ::lstrcatW(wszPath, wszName);

    // Without FILE_SHARE_DELETE nobody can rename or delete the file while we look at it;
    // without FILE_FLAG_BACKUP_SEMANTICS a folder does not open at all.
    HANDLE hFile = ::CreateFileW(wszPath, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION info;
    wchar_t wszFinal[kProbePathSize + 8];
    if (::GetFileInformationByHandle(hFile, &info) && IsDeletableFile(info.dwFileAttributes, info.nNumberOfLinks)) {
        const DWORD n = pfnFinalPath(hFile, wszFinal, cchFinal, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n > 0 && n < cchFinal && IsFinalPathInFolder(wszFolderFinal, wszName, wszFinal))
            return hFile;
    }
    ::CloseHandle(hFile);
    return INVALID_HANDLE_VALUE;
}

int DeleteOpenedFile(HANDLE hFile)
{
    typedef BOOL(WINAPI * SetFileInformationFn)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    const auto pfnSetInformation = Kernel32Call<SetFileInformationFn>("SetFileInformationByHandle");
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    // The file goes when its last handle, ours, is closed.
    const BOOL bMarked = pfnSetInformation != nullptr
        && pfnSetInformation(hFile, FileDispositionInfo, &disposition, sizeof(disposition));
    ::CloseHandle(hFile);
    return bMarked ? 1 : 0;
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
