// The other programs a test plays beside the tool.
#include "scenario/Bystanders.h"

#include <tlhelp32.h>

#include "machine/Clock.h"

namespace scenario {

bool WaitForForeground(HWND hWnd, DWORD ms)
{
    return machine::WaitFor([&] {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        return ::GetForegroundWindow() == hWnd;
    }, ms);
}

bool TypeKey(HWND hTarget, WORD vk)
{
    if (!WaitForForeground(::GetAncestor(hTarget, GA_ROOT)))
        return false;
    INPUT input[2] = {};
    for (INPUT& in : input) {
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    }
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return ::SendInput(2, input, sizeof(INPUT)) == 2;
}

namespace {

BOOL CALLBACK AddVisible(HWND h, LPARAM lParam)
{
    if (::IsWindowVisible(h))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(h);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleTopLevelWindows()
{
    std::vector<HWND> found;
    ::EnumWindows(AddVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IsWine()
{
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

ForegroundDecoy::ForegroundDecoy()
    : m_hWnd(::CreateWindowExA(0, "STATIC", "wizard test decoy", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 160, 60,
                               nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr))
{
}

ForegroundDecoy::~ForegroundDecoy()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

bool ForegroundDecoy::TakeForeground()
{
    if (m_hWnd == nullptr)
        return false;
    ::SetForegroundWindow(m_hWnd);
    return WaitForForeground(m_hWnd);
}

NameSquatter::NameSquatter(Kind kind, const char* name) : m_hObject(nullptr), m_pszName(name)
{
    if (kind == Event) {
        m_hObject = ::CreateEventA(nullptr, TRUE, FALSE, name);
        return;
    }
    // An empty access list grants nothing to anybody; our own handle keeps the mutex alive.
    ACL acl;
    SECURITY_DESCRIPTOR sd;
    if (!::InitializeAcl(&acl, sizeof(acl), ACL_REVISION) || !::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION)
        || !::SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE))
        return;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), &sd, FALSE };
    m_hObject = ::CreateMutexA(&sa, FALSE, name);
}

NameSquatter::~NameSquatter()
{
    if (m_hObject != nullptr)
        ::CloseHandle(m_hObject);
}

bool NameSquatter::DeniesOthers() const
{
    HANDLE h = ::CreateMutexA(nullptr, FALSE, m_pszName);
    const DWORD error = ::GetLastError();
    if (h != nullptr) {
        ::CloseHandle(h);
        return false;
    }
    return error == ERROR_ACCESS_DENIED;
}

std::vector<DWORD> SetupProcesses(DWORD parent)
{
    std::vector<DWORD> found;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (::lstrcmpiA(entry.szExeFile, expected::kSetupFileName) == 0 && (parent == 0 || entry.th32ParentProcessID == parent))
            found.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return found;
}

void EndProcess(DWORD pid)
{
    if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        ::TerminateProcess(h, 99);
        ::WaitForSingleObject(h, Seconds(5));
        ::CloseHandle(h);
    }
}

}  // namespace scenario
