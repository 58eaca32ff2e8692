// Driving the real program from outside.
#include "ToolDriver.h"

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace driver {

namespace {

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Norvik3.exe";
const char kDiscFolder[] = "Nor-vikライブラリー3";
const char kDesktopName[] = "\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk";
const char kProgramsFolder[] = "\\TALMO Nor-vikライブラリー";
const char kProgramsName[] = "\\Nor-vikライブラリー.lnk";
const char kLibraryFolder[] = "C:\\tooltest\\Norvik";
const char kDriverFolder[] = "C:\\Program Files\\Common Files\\TALMO";

// A Unix path as Wine's Z: drive sees it.
std::string WindowsPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

void WriteFile(const std::string& path, const std::string& content)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
}

void MakeFolders(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            ::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

void DeleteTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (std::strcmp(fd.cFileName, ".") == 0 || std::strcmp(fd.cFileName, "..") == 0)
                continue;
            std::string child = path + "\\" + fd.cFileName;
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(child);
                ::RemoveDirectoryA(child.c_str());
            } else {
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
}

}  // namespace

bool WaitFor(const std::function<bool()>& pred, DWORD ms)
{
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount64() >= deadline)
            return pred();
        ::Sleep(20);
    }
}

std::string BuildPath(const std::string& relative)
{
    std::string path = WindowsPathOf(TOOL_BUILD_DIR);
    return relative.empty() ? path : path + "\\" + relative;
}

std::string ToolExePath()
{
    // The i686 smoke run points the same tests at the release program.
    if (const char* exe = std::getenv("TOOL_EXE_UNDER_TEST"))
        return *exe == '/' ? WindowsPathOf(exe) : std::string(exe);
    return BuildPath("Norvik_InstallTool64.exe");
}

std::string FakeSetupExePath()
{
    return BuildPath("tests\\fixtures\\FakeSetup.exe");
}

// ---------------------------------------------------------------------------------------
// ToolProcess

ToolProcess::~ToolProcess()
{
    Kill();
}

bool ToolProcess::Start(const std::vector<std::pair<std::string, std::string>>& extraEnv,
                        const std::string& exePath)
{
    Kill();
    std::map<std::string, std::string> env;
    if (char* block = ::GetEnvironmentStringsA()) {
        for (const char* p = block; *p; p += std::strlen(p) + 1) {
            const char* eq = std::strchr(p + 1, '=');  // names like "=C:" start with '='
            if (eq != nullptr)
                env[std::string(p, eq)] = eq + 1;
        }
        ::FreeEnvironmentStringsA(block);
    }
    for (const auto& kv : extraEnv)
        env[kv.first] = kv.second;
    std::string block;
    for (const auto& kv : env)
        block += kv.first + "=" + kv.second + '\0';
    block += '\0';

    std::string commandLine = "\"" + exePath + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (!::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, &block[0],
                          nullptr, &si, &m_pi)) {
        m_pi = {};
        return false;
    }
    return true;
}

HWND ToolProcess::WaitForWindow(const char* caption, DWORD ms)
{
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND h : TopLevelWindows(Pid(), caption)) {
            if (::IsWindowVisible(h)) {
                found = h;
                return true;
            }
        }
        return false;
    }, ms);
    return found;
}

HWND ToolProcess::WaitForWizard(DWORD ms)
{
    return WaitForWindow(kWizardCaption, ms);
}

bool ToolProcess::WaitForExit(DWORD ms, DWORD* pExitCode)
{
    if (m_pi.hProcess == nullptr)
        return true;
    if (::WaitForSingleObject(m_pi.hProcess, ms) != WAIT_OBJECT_0)
        return false;
    if (pExitCode != nullptr)
        ::GetExitCodeProcess(m_pi.hProcess, pExitCode);
    return true;
}

bool ToolProcess::IsRunning() const
{
    return m_pi.hProcess != nullptr && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

void ToolProcess::Kill()
{
    if (m_pi.hProcess == nullptr)
        return;
    if (IsRunning()) {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 5000);
    }
    ::CloseHandle(m_pi.hProcess);
    ::CloseHandle(m_pi.hThread);
    m_pi = {};
}

std::vector<HWND> TopLevelWindows(DWORD pid, const char* caption)
{
    struct Query {
        DWORD pid;
        const char* caption;
        std::vector<HWND> found;
    } query{ pid, caption, {} };
    ::EnumWindows([](HWND h, LPARAM lParam) -> BOOL {
        Query* q = reinterpret_cast<Query*>(lParam);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == q->pid && (q->caption == nullptr || WindowText(h) == q->caption))
            q->found.push_back(h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// ---------------------------------------------------------------------------------------
// Reading and acting

std::string WindowText(HWND hWnd)
{
    char buffer[2048] = {};
    // WM_GETTEXT crosses processes for standard windows; GetWindowText may not.
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

ControlState ReadControl(HWND hDlg, int id)
{
    ControlState state;
    HWND h = ::GetDlgItem(hDlg, id);
    if (h == nullptr)
        return state;
    state.text = WindowText(h);
    state.visible = ::IsWindowVisible(h) != FALSE;
    state.enabled = ::IsWindowEnabled(h) != FALSE;
    return state;
}

HWND FocusedWindow(HWND hWnd)
{
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof(gti);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &gti))
        return nullptr;
    return gti.hwndFocus;
}

WizardView ReadWizard(HWND hDlg)
{
    WizardView view;
    view.main = ReadControl(hDlg, kMain);
    view.intro = ReadControl(hDlg, kIntro);
    view.back = ReadControl(hDlg, kBack);
    view.next = ReadControl(hDlg, kNext);
    view.end = ReadControl(hDlg, kEnd);
    view.radio = ReadControl(hDlg, kRadio);
    view.caption = WindowText(hDlg);
    HWND focus = FocusedWindow(hDlg);
    if (focus == hDlg)
        view.focusId = -1;
    else if (focus != nullptr && ::IsChild(hDlg, focus))
        view.focusId = ::GetDlgCtrlID(focus);
    return view;
}

bool WaitForMainText(HWND hDlg, const char* text, DWORD ms)
{
    return WaitFor([&] {
        ControlState main = ReadControl(hDlg, kMain);
        ControlState intro = ReadControl(hDlg, kIntro);
        return (main.visible && main.text == text) || (intro.visible && intro.text == text);
    }, ms);
}

void Click(HWND hDlg, int id)
{
    ::PostMessageA(::GetDlgItem(hDlg, id), BM_CLICK, 0, 0);
}

void PostCommand(HWND hDlg, int id)
{
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

void PressKey(HWND hDlg, UINT vk)
{
    HWND target = FocusedWindow(hDlg);
    if (target == nullptr)
        target = hDlg;
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageA(target, WM_KEYDOWN, vk, scan | 1);
    ::PostMessageA(target, WM_KEYUP, vk, scan | 1 | (LPARAM(3) << 30));
}

bool Responds(HWND hWnd, DWORD ms)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &result) != 0;
}

bool MutexExists(const char* name)
{
    HANDLE h = ::OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (h == nullptr)
        return false;
    ::CloseHandle(h);
    return true;
}

// ---------------------------------------------------------------------------------------
// RegistryValueGuard

RegistryValueGuard::RegistryValueGuard(HKEY root, const std::string& subkey, const std::string& name, REGSAM view)
    : m_root(root), m_subkey(subkey), m_name(name), m_view(view)
{
    HKEY key;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (::RegQueryValueExA(key, name.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
        m_data.resize(size);
        m_existed = ::RegQueryValueExA(key, name.c_str(), nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
        m_data.resize(size);
    }
    ::RegCloseKey(key);
}

RegistryValueGuard::~RegistryValueGuard()
{
    HKEY key;
    if (::RegCreateKeyExA(m_root, m_subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (m_existed)
        ::RegSetValueExA(key, m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        ::RegDeleteValueA(key, m_name.c_str());
    ::RegCloseKey(key);
}

void RegistryValueGuard::SetString(const std::string& value)
{
    HKEY key;
    if (::RegCreateKeyExA(m_root, m_subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(key, m_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
}

void RegistryValueGuard::Delete()
{
    HKEY key;
    if (::RegOpenKeyExA(m_root, m_subkey.c_str(), 0, KEY_ALL_ACCESS | m_view, &key) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(key, m_name.c_str());
    ::RegCloseKey(key);
}

// ---------------------------------------------------------------------------------------
// The library installation

namespace {

// The App Paths value in both registry views: the 64-bit twin reads one, the 32-bit
// release the other.
struct LibraryRegistration {
    RegistryValueGuard view64{ HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", KEY_WOW64_64KEY };
    RegistryValueGuard view32{ HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", KEY_WOW64_32KEY };
};

LibraryRegistration* g_registration = nullptr;

}  // namespace

LibraryInstallation::LibraryInstallation() : m_folder(kLibraryFolder)
{
    delete g_registration;
    g_registration = new LibraryRegistration;
    g_registration->view64.SetString(m_folder);
    g_registration->view32.SetString(m_folder);
    MakeFolders(m_folder);
    WriteFile(m_folder + "\\Norvik3.exe", "library program");
    WriteFile(m_folder + "\\Norvik3.cfg", "library configuration");
    m_hadDriverFolder = ::GetFileAttributesA(kDriverFolder) != INVALID_FILE_ATTRIBUTES;
    MakeFolders(kDriverFolder);
    m_driver = std::string(kDriverFolder) + "\\wopx64.sys";
    WriteFile(m_driver, "driver");
}

LibraryInstallation::~LibraryInstallation()
{
    ::DeleteFileA(m_driver.c_str());
    if (!m_hadDriverFolder)
        ::RemoveDirectoryA(kDriverFolder);
    DeleteTree(m_folder);
    ::RemoveDirectoryA(m_folder.c_str());
    delete g_registration;
    g_registration = nullptr;
}

void LibraryInstallation::RemoveConfig()
{
    ::DeleteFileA((m_folder + "\\Norvik3.cfg").c_str());
}

void LibraryInstallation::RemoveDriver()
{
    ::DeleteFileA(m_driver.c_str());
}

NoLibrary::NoLibrary()
{
    delete g_registration;
    g_registration = new LibraryRegistration;
    g_registration->view64.Delete();
    g_registration->view32.Delete();
}

NoLibrary::~NoLibrary()
{
    delete g_registration;
    g_registration = nullptr;
}

// ---------------------------------------------------------------------------------------
// Discs

DiscDrive::DiscDrive(char letter) : m_letter(letter)
{
    Empty();
}

DiscDrive::~DiscDrive()
{
    Empty();
}

std::string DiscDrive::Root() const
{
    // Written through the folder behind the drive: the drive itself is a CD-ROM.
    const char* var = m_letter == 'D' ? "TOOL_CDROM_D" : "TOOL_CDROM_E";
    if (const char* unixPath = std::getenv(var))
        return WindowsPathOf(unixPath) + "\\";
    return std::string(1, m_letter) + ":\\";
}

std::string DiscDrive::SetupPath() const
{
    return std::string(1, m_letter) + ":\\" + kDiscFolder + "\\Setup.exe";
}

void DiscDrive::Empty()
{
    std::string root = Root();
    DeleteTree(root.substr(0, root.size() - 1));
}

void DiscDrive::MakeFolder(const std::string& relative)
{
    MakeFolders(Root() + relative);
}

void DiscDrive::PutFile(const std::string& relative, const std::string& sourceFile)
{
    const std::string target = Root() + relative;
    const size_t slash = target.find_last_of('\\');
    MakeFolders(target.substr(0, slash));
    ::CopyFileA(sourceFile.c_str(), target.c_str(), FALSE);
}

void DiscDrive::InsertAddOnDisc()
{
    PutFile(std::string(kDiscFolder) + "\\Setup.exe", FakeSetupExePath());
}

// ---------------------------------------------------------------------------------------
// Shortcuts

namespace {

int CsidlOf(ShortcutFiles::Folder folder)
{
    switch (folder) {
    case ShortcutFiles::CommonDesktop: return CSIDL_COMMON_DESKTOPDIRECTORY;
    case ShortcutFiles::UserDesktop: return CSIDL_DESKTOPDIRECTORY;
    case ShortcutFiles::CommonPrograms: return CSIDL_COMMON_PROGRAMS;
    case ShortcutFiles::UserPrograms: return CSIDL_PROGRAMS;
    }
    return 0;
}

bool IsDesktop(ShortcutFiles::Folder folder)
{
    return folder == ShortcutFiles::CommonDesktop || folder == ShortcutFiles::UserDesktop;
}

}  // namespace

ShortcutFiles::ShortcutFiles()
{
    RemoveAll();
}

ShortcutFiles::~ShortcutFiles()
{
    RemoveAll();
}

std::string ShortcutFiles::FolderPath(Folder folder)
{
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CsidlOf(folder) | CSIDL_FLAG_CREATE, nullptr, 0, path);
    return path;
}

std::string ShortcutFiles::PathIn(Folder folder)
{
    if (IsDesktop(folder))
        return FolderPath(folder) + kDesktopName;
    return FolderPath(folder) + kProgramsFolder + kProgramsName;
}

void ShortcutFiles::Create(Folder folder, DWORD attributes)
{
    const std::string path = PathIn(folder);
    MakeFolders(path.substr(0, path.find_last_of('\\')));
    WriteFile(path, "[InternetShortcut]\r\n");
    ::SetFileAttributesA(path.c_str(), attributes);
}

bool ShortcutFiles::Exists(Folder folder)
{
    return ::GetFileAttributesA(PathIn(folder).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ShortcutFiles::RemoveAll()
{
    for (Folder folder : { CommonDesktop, UserDesktop, CommonPrograms, UserPrograms }) {
        const std::string path = PathIn(folder);
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            ::RemoveDirectoryA(path.c_str());
        else
            ::DeleteFileA(path.c_str());
        if (!IsDesktop(folder))
            ::RemoveDirectoryA((FolderPath(folder) + kProgramsFolder).c_str());
    }
}

// ---------------------------------------------------------------------------------------
// Small things

std::vector<std::pair<std::string, std::string>> ReadKeyValues(const std::string& path)
{
    std::vector<std::pair<std::string, std::string>> result;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            result.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return result;
}

namespace {

std::wstring Widen(const std::string& text, UINT codePage)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int n = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

}  // namespace

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

std::string TempFilePath(const char* name)
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

double NowMs()
{
    FILETIME ft;
    ::GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<double>(t.QuadPart) / 10000.0;
}

}  // namespace driver
