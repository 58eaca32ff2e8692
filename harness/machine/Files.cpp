// Files and folders of the test machine, and the Unix host behind it.
#include "machine/Files.h"

#include <windows.h>

#include "machine/Clock.h"

namespace machine {

namespace {

std::wstring Widen(const std::string& text, UINT codePage)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int n = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

// An absolute drive path in the form that lifts MAX_PATH; others as they are.
std::wstring LongPath(const std::string& path)
{
    const std::wstring wide = Widen(path, CP_ACP);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    return wide;
}

void EmptyFolderW(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring child = folder + L"\\" + name;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyFolderW(child);
            ::RemoveDirectoryW(child.c_str());
        } else {
            ::DeleteFileW(child.c_str());
        }
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
}

}  // namespace

bool MakeFolders(const std::string& path)
{
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && ::IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
            ++i;
            continue;
        }
        // The drive root ("C:\") is there already.
        if ((i == path.size() || path[i] == '\\') && i > 2) {
            if (!::CreateDirectoryW(LongPath(path.substr(0, i)).c_str(), nullptr)
                && ::GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

bool MakeFile(const std::string& path, const std::string& content)
{
    HANDLE h = ::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
    return wrote && written == content.size();
}

void EmptyFolder(const std::string& folder)
{
    EmptyFolderW(LongPath(folder));
}

void RemoveTree(const std::string& folder)
{
    const std::wstring path = LongPath(folder);
    EmptyFolderW(path);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
}

std::string TempFilePath(const char* name)
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::string WindowsPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::wstring UnixPathOf(const std::string& windowsPath)
{
    typedef char*(__cdecl * UnixNameFn)(LPCWSTR);
    auto pfn = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    char* unixPath = pfn != nullptr ? pfn(Widen(windowsPath, CP_ACP).c_str()) : nullptr;
    if (unixPath == nullptr)
        return std::wstring();
    std::wstring result = Widen(unixPath, CP_UTF8);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

bool StartUnixCommand(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

bool MakeSymbolicLink(const std::string& target, const std::string& linkPath)
{
    const std::wstring from = UnixPathOf(target), to = UnixPathOf(linkPath);
    if (from.empty() || to.empty() || !StartUnixCommand(L"Z:\\bin\\ln -s \"" + from + L"\" \"" + to + L"\""))
        return false;
    return WaitFor([&] { return ::GetFileAttributesA(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

void RemoveSymbolicLink(const std::string& linkPath)
{
    const std::wstring path = UnixPathOf(linkPath);
    if (!path.empty() && StartUnixCommand(L"Z:\\bin\\rm -f \"" + path + L"\""))
        WaitFor([&] { return ::GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
}

}  // namespace machine
