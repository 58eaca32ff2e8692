// The test machine for the check runner: its record, the journal of changes, the library
// installation, the disc.
#include "CheckMachine.h"

#include <shlobj.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <virtdisk.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "expected/Expectations.h"
#include "rules/PathRules.h"

namespace check {

namespace {

bool PathExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A DLL of the system's own folder, by its full path: never one that lies beside the runner.
HMODULE SystemDll(const char* name)
{
    char path[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + std::strlen(name) + 2 > MAX_PATH)
        return nullptr;
    return ::LoadLibraryA((std::string(path) + "\\" + name).c_str());
}

template <class Fn> Fn Call(HMODULE module, const char* name)
{
    return module != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

std::string Hex(DWORD value, int digits = 8)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%0*lX", digits, static_cast<unsigned long>(value));
    return text;
}

std::string Sha256Of(const std::string& path)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::string result;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE && ::CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)
        && ::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        BYTE buffer[65536];
        DWORD n = 0;
        bool ok = true;
        while (ok && ::ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0)
            ok = ::CryptHashData(hash, buffer, n, 0) != FALSE;
        BYTE digest[32];
        DWORD size = sizeof(digest);
        if (ok && ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0))
            for (DWORD i = 0; i < size; ++i)
                result += Hex(digest[i], 2);
    }
    if (hash != 0)
        ::CryptDestroyHash(hash);
    if (provider != 0)
        ::CryptReleaseContext(provider, 0);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return result.empty() ? "(could not be read)" : result;
}

// WinVerifyTrust as Windows applies it to programs, without a revocation check (a test
// machine is often offline). The result: 0 when Windows accepts the signature.
bool VerifyTrust(const std::string& path, LONG* pResult)
{
    typedef LONG(WINAPI * WinVerifyTrustFn)(HWND, GUID*, LPVOID);
    const auto pfnVerify = Call<WinVerifyTrustFn>(SystemDll("wintrust.dll"), "WinVerifyTrust");
    std::wstring wide(path.size() + 1, L'\0');
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    if (pfnVerify == nullptr || n == 0)
        return false;
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = wide.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    *pResult = pfnVerify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    pfnVerify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return true;
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return path;
}

bool KeyExists(REGSAM view, const std::string& subkey)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The record

MachineRecord RecordMachine(const std::string& toolPath)
{
    MachineRecord record;
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    // RtlGetVersion reports the real version, whatever compatibility the runner is given.
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (const auto pfn = Call<RtlGetVersionFn>(ntdll, "RtlGetVersion"); pfn != nullptr && pfn(&version) == 0) {
        record.major = version.dwMajorVersion;
        record.minor = version.dwMinorVersion;
        record.build = version.dwBuildNumber;
    }
    typedef const char*(__cdecl * WineVersionFn)();
    if (const auto pfn = Call<WineVersionFn>(ntdll, "wine_get_version"))
        record.wine = pfn();
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    record.is64Bit = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64
        || info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 || info.wProcessorArchitecture == 12 /* ARM64 */;
    record.ansiCodePage = ::GetACP();
    record.integrity = IntegrityLevel();
    record.toolSha256 = Sha256Of(toolPath);
    record.trustAsked = VerifyTrust(toolPath, &record.trust);
    return record;
}

DWORD IntegrityLevel()
{
    DWORD level = 0;
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        BYTE buffer[256];
        DWORD size = 0;
        if (::GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size)) {
            PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
            level = *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1);
        }
        ::CloseHandle(token);
    }
    return level;
}

std::string MachineRecord::Describe(const std::string& toolPath) const
{
    std::string text = "machine:   Windows " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build)
        + (is64Bit ? ", 64-bit" : ", 32-bit") + ", ANSI code page " + std::to_string(ansiCodePage)
        + (Japanese() ? " (Japanese)" : " (NOT Japanese: set the system locale to Japanese and restart)")
        + ", integrity level 0x" + Hex(integrity, 4) + (integrity >= 0x3000 ? " (elevated)" : " (NOT elevated)") + "\n";
    if (IsWine())
        text += "           Wine " + wine + ": not Windows; rows that only Windows decides say NOT DECIDED\n";
    text += "program:   " + toolPath + "\n           SHA-256 " + toolSha256 + "\n           signature: ";
    if (!trustAsked)
        text += "not checked (WinVerifyTrust could not be called)\n";
    else if (trust == 0)
        text += "accepted by Windows (WinVerifyTrust 0x00000000)\n";
    else
        text += std::string(trust == static_cast<LONG>(TRUST_E_NOSIGNATURE) ? "none" : "NOT accepted")
            + " (WinVerifyTrust 0x" + Hex(static_cast<DWORD>(trust)) + ")\n";
    return text;
}

// ---------------------------------------------------------------------------------------
// The journal

bool Journal::Record(const std::string& line)
{
    HANDLE file = ::CreateFileA(m_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    const bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
        && written == text.size() && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    return ok;
}

bool Journal::MakeKey(REGSAM view, const std::string& subkey, const char* valueName, const std::string& value)
{
    if (KeyExists(view, subkey) || !Record((view == KEY_WOW64_32KEY ? "key32 " : "key64 ") + subkey))
        return false;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG result = ::RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool Journal::SetValue(REGSAM view, const std::string& subkey, const char* valueName, const std::string& value)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE | view, &key) != ERROR_SUCCESS)
        return false;
    BYTE old[4096];
    DWORD type = 0, size = sizeof(old);
    std::string line = (view == KEY_WOW64_32KEY ? "value32 " : "value64 ") + subkey + "|" + valueName + "|";
    if (::RegQueryValueExA(key, valueName, nullptr, &type, old, &size) == ERROR_SUCCESS) {
        line += std::to_string(type) + "|";
        for (DWORD i = 0; i < size; ++i)
            line += Hex(old[i], 2);
    } else {
        line += "-";
    }
    const bool set = Record(line)
        && ::RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return set;
}

bool Journal::MakeFolder(const std::string& path)
{
    return !PathExists(path) && Record("folder " + path) && ::CreateDirectoryA(path.c_str(), nullptr);
}

bool Journal::MakeFolders(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        if (!PathExists(path.substr(0, at)) && !MakeFolder(path.substr(0, at)))
            return false;
    return PathExists(path) || MakeFolder(path);
}

bool Journal::MakeFile(const std::string& path)
{
    if (PathExists(path) || !Record("file " + path))
        return false;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

void Journal::WillRemove(const std::string& path)
{
    Record("remove " + path);
}

std::string Journal::Undo(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string();
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    in.close();
    std::string problems;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const size_t space = it->find(' ');
        const std::string kind = it->substr(0, space), what = space == std::string::npos ? "" : it->substr(space + 1);
        if (kind == "value64" || kind == "value32") {
            // subkey|name|type|hex, or subkey|name|- for a value that was absent
            const size_t bar = what.find('|'), bar2 = what.find('|', bar + 1);
            const std::string subkey = what.substr(0, bar), name = what.substr(bar + 1, bar2 - bar - 1);
            const std::string old = what.substr(bar2 + 1);
            HKEY key = nullptr;
            LONG result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0,
                                          KEY_SET_VALUE | (kind == "value32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY), &key);
            if (result == ERROR_SUCCESS && old == "-") {
                result = ::RegDeleteValueA(key, name.c_str());
            } else if (result == ERROR_SUCCESS) {
                const size_t bar3 = old.find('|');
                std::vector<BYTE> bytes;
                for (size_t i = bar3 + 1; i + 1 < old.size(); i += 2)
                    bytes.push_back(static_cast<BYTE>(std::stoul(old.substr(i, 2), nullptr, 16)));
                result = ::RegSetValueExA(key, name.c_str(), 0, std::stoul(old.substr(0, bar3)), bytes.data(),
                                          static_cast<DWORD>(bytes.size()));
            }
            if (key != nullptr)
                ::RegCloseKey(key);
            if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
                problems += "registry value " + subkey + "\\" + name + " (" + kind + "): error " + std::to_string(result) + "\n";
        } else if (kind == "key64" || kind == "key32") {
            const REGSAM view = kind == "key32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
            const LONG result = ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, what.c_str(), view, 0);
            if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
                problems += "registry key " + what + " (" + kind + "): error " + std::to_string(result) + "\n";
        } else if (!PathExists(what)) {
            continue;
        } else if (::GetFileAttributesA(what.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction goes as a folder: the link, never what it leads to.
            if (!::RemoveDirectoryA(what.c_str()))
                problems += "folder " + what + ": error " + std::to_string(::GetLastError()) + "\n";
        } else {
            ::SetFileAttributesA(what.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::DeleteFileA(what.c_str()))
                problems += "file " + what + ": error " + std::to_string(::GetLastError()) + "\n";
        }
    }
    // Kept while anything is left, so that the next start tries again.
    if (problems.empty())
        ::DeleteFileA(path.c_str());
    return problems;
}

// ---------------------------------------------------------------------------------------
// The library installation

std::string CommonFiles64()
{
    char value[kProbePathSize] = {};
    DWORD size = sizeof(value) - 1;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, expected::kCurrentVersionKey, 0, KEY_READ | KEY_WOW64_32KEY, &key)
        != ERROR_SUCCESS)
        return std::string();
    const LONG result = ::RegQueryValueExA(key, "CommonFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    char folder[kProbePathSize] = {};
    if (result != ERROR_SUCCESS || !DeriveCommonFilesDir(value, folder, sizeof(folder)))
        return std::string();
    return folder;
}

std::vector<std::string> ShortcutPaths()
{
    std::vector<std::string> paths;
    for (int csidl : { CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY }) {
        const std::string folder = ShellFolder(csidl);
        paths.push_back(folder.empty() ? "" : folder + "\\" + expected::kDesktopShortcutName);
    }
    for (int csidl : { CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS }) {
        const std::string folder = ShellFolder(csidl);
        paths.push_back(folder.empty() ? ""
                                       : folder + "\\" + expected::kProgramsFolderName + "\\" + expected::kProgramsShortcutName);
    }
    return paths;
}

std::string CommonProgramsShortcutFolder()
{
    const std::string folder = ShellFolder(CSIDL_COMMON_PROGRAMS);
    return folder.empty() ? "" : folder + "\\" + expected::kProgramsFolderName;
}

LibraryPreparation PrepareLibrary(Journal& journal, const std::string& libraryFolder, bool useInstalled)
{
    LibraryPreparation result;
    std::string commonFiles = CommonFiles64();
    std::string driverFolder = commonFiles + "\\" + expected::kDriverFolderName;
    std::string driverFile = driverFolder + "\\" + expected::kDriverFileName;
    std::string found;
    if (KeyExists(KEY_WOW64_64KEY, expected::kAppPathsKey) || KeyExists(KEY_WOW64_32KEY, expected::kAppPathsKey))
        found += " its App Paths registration;";
    if (PathExists(driverFile))
        found += " " + driverFile + ";";
    for (const std::string& shortcut : ShortcutPaths())
        if (!shortcut.empty() && PathExists(shortcut))
            found += " " + shortcut + ";";
    if (!found.empty()) {
        found.pop_back();
        if (useInstalled) {
            result.description = "the library installed on this machine, used as it is (--use-installed):" + found;
            return result;
        }
        result.problem = "a Nor-vik library installation or its add-on is already on this machine (" + found.substr(1)
            + "). Nothing was changed. To check against it as it is, start check.exe --use-installed.";
        return result;
    }
    // Where CommonFilesDir names no folder of its own (Wine keeps "%SystemDrive%" in it), both
    // views get what 64-bit Windows has there.
    if (commonFiles.size() < 3 || commonFiles[1] != ':' || commonFiles[2] != '\\') {
        char windows[MAX_PATH] = {};
        ::GetWindowsDirectoryA(windows, MAX_PATH);
        const std::string drive(windows, 2);
        if (!journal.SetValue(KEY_WOW64_64KEY, expected::kCurrentVersionKey, "CommonFilesDir", drive + "\\Program Files\\Common Files")
            || !journal.SetValue(KEY_WOW64_32KEY, expected::kCurrentVersionKey, "CommonFilesDir",
                                 drive + "\\Program Files (x86)\\Common Files")) {
            result.problem = "CommonFilesDir names no folder, and it could not be set";
            return result;
        }
        commonFiles = CommonFiles64();
        driverFolder = commonFiles + "\\" + expected::kDriverFolderName;
        driverFile = driverFolder + "\\" + expected::kDriverFileName;
    }
    // The stand-in setup program leaves these; whatever the program does not delete goes at the end.
    for (const std::string& shortcut : ShortcutPaths())
        if (!shortcut.empty())
            journal.WillRemove(shortcut);
    if (!PathExists(CommonProgramsShortcutFolder()))
        journal.WillRemove(CommonProgramsShortcutFolder());
    const bool made = journal.MakeFolder(libraryFolder)
        && journal.MakeFile(libraryFolder + "\\" + expected::kLibraryExeName)
        && journal.MakeFile(libraryFolder + "\\" + expected::kLibraryConfigName)
        && journal.MakeKey(KEY_WOW64_64KEY, expected::kAppPathsKey, "Path", libraryFolder)
        // Where both views share the key (Wine), the one made serves both.
        && (KeyExists(KEY_WOW64_32KEY, expected::kAppPathsKey)
            || journal.MakeKey(KEY_WOW64_32KEY, expected::kAppPathsKey, "Path", libraryFolder))
        && journal.MakeFolders(driverFolder) && journal.MakeFile(driverFile);
    result.madeByUs = true;
    if (!made) {
        result.problem = "the library installation could not be made (last error " + std::to_string(::GetLastError()) + ")";
        return result;
    }
    result.description = "made for the check, taken away at the end: " + libraryFolder + ", App Paths in both registry views, "
        + driverFile;
    return result;
}

// ---------------------------------------------------------------------------------------
// The disc

Disc::~Disc()
{
    Detach();
}

std::string Disc::Find()
{
    char drives[512] = {};
    const DWORD n = ::GetLogicalDriveStringsA(sizeof(drives) - 1, drives);
    if (n == 0 || n >= sizeof(drives))
        return std::string();
    for (const char* root = drives; *root != '\0'; root += std::strlen(root) + 1) {
        if (::GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        const std::string drive(root, 2);
        if (PathExists(drive + "\\" + expected::kDiscFolder + "\\" + expected::kSetupFileName))
            return drive;
    }
    return std::string();
}

std::string Disc::Attach(const std::string& isoPath)
{
    typedef DWORD(WINAPI * OpenFn)(PVIRTUAL_STORAGE_TYPE, PCWSTR, VIRTUAL_DISK_ACCESS_MASK, OPEN_VIRTUAL_DISK_FLAG,
                                   POPEN_VIRTUAL_DISK_PARAMETERS, PHANDLE);
    typedef DWORD(WINAPI * AttachFn)(HANDLE, PSECURITY_DESCRIPTOR, ATTACH_VIRTUAL_DISK_FLAG, ULONG,
                                     PATTACH_VIRTUAL_DISK_PARAMETERS, LPOVERLAPPED);
    HMODULE module = SystemDll("virtdisk.dll");
    const auto pfnOpen = Call<OpenFn>(module, "OpenVirtualDisk");
    const auto pfnAttach = Call<AttachFn>(module, "AttachVirtualDisk");
    if (pfnOpen == nullptr || pfnAttach == nullptr)
        return "this Windows has no virtual disk API";
    std::wstring wide(isoPath.size() + 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, isoPath.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    VIRTUAL_STORAGE_TYPE type = { VIRTUAL_STORAGE_TYPE_DEVICE_ISO, VIRTUAL_STORAGE_TYPE_VENDOR_MICROSOFT };
    OPEN_VIRTUAL_DISK_PARAMETERS open = {};
    open.Version = OPEN_VIRTUAL_DISK_VERSION_1;
    HANDLE handle = nullptr;
    DWORD error = pfnOpen(&type, wide.c_str(), VIRTUAL_DISK_ACCESS_READ, OPEN_VIRTUAL_DISK_FLAG_NONE, &open, &handle);
    if (error != ERROR_SUCCESS)
        return "the image could not be opened as a virtual disk (error " + std::to_string(error) + ")";
    ATTACH_VIRTUAL_DISK_PARAMETERS attach = {};
    attach.Version = ATTACH_VIRTUAL_DISK_VERSION_1;
    // Not permanent: the drive goes with the handle, also when the runner is stopped.
    error = pfnAttach(handle, nullptr, ATTACH_VIRTUAL_DISK_FLAG_READ_ONLY, 0, &attach, nullptr);
    if (error != ERROR_SUCCESS) {
        ::CloseHandle(handle);
        return "the image could not be attached (error " + std::to_string(error) + ")";
    }
    m_handle = handle;
    m_isoPath = isoPath;
    for (int i = 0; i < 300; ++i) {
        if (!Find().empty())
            return std::string();
        ::Sleep(100);
    }
    Detach();
    return "the image was attached, but no CD-ROM drive showed the disc within 30 s";
}

bool Disc::Detach()
{
    if (m_handle == nullptr)
        return false;
    typedef DWORD(WINAPI * DetachFn)(HANDLE, DETACH_VIRTUAL_DISK_FLAG, ULONG);
    const auto pfnDetach = Call<DetachFn>(SystemDll("virtdisk.dll"), "DetachVirtualDisk");
    if (pfnDetach != nullptr)
        pfnDetach(m_handle, DETACH_VIRTUAL_DISK_FLAG_NONE, 0);
    ::CloseHandle(m_handle);
    m_handle = nullptr;
    for (int i = 0; i < 300 && !Find().empty(); ++i)
        ::Sleep(100);
    return Find().empty();
}

}  // namespace check
