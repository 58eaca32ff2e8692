// Driving the real program from outside.
#include "driver/ToolDriver.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "machine/TestMachine.h"

using machine::WaitFor;

namespace driver {

std::string ToolExePath()
{
    if (const char* exe = std::getenv("TOOL_EXE_UNDER_TEST"))
        return *exe == '/' ? machine::WindowsPathOf(exe) : std::string(exe);
    return machine::WindowsPathOf(TOOL_PROGRAM_EXE);
}

namespace {

bool FirstLineIsEnabled(const std::string& unixPath)
{
    std::ifstream in("Z:" + unixPath);
    std::string line;
    return std::getline(in, line) && line == "enabled";
}

}  // namespace

bool CanRunI386()
{
    const std::string folder = "/proc/sys/fs/binfmt_misc/";
    if (!FirstLineIsEnabled(folder + "status"))
        return false;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA(("Z:" + folder + "qemu-i386*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool enabled = false;
    do
        enabled = enabled || FirstLineIsEnabled(folder + fd.cFileName);
    while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return enabled;
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
    return WaitForWindow(expected::kWizardCaption, ms);
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

namespace {

struct WindowQuery {
    DWORD pid;
    const char* caption;
    std::vector<HWND> found;
};

// A function of its own, not a lambda: on x86 the callback must be __stdcall.
BOOL CALLBACK CollectWindow(HWND h, LPARAM lParam)
{
    WindowQuery* q = reinterpret_cast<WindowQuery*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    if (owner == q->pid && (q->caption == nullptr || WindowText(h) == q->caption))
        q->found.push_back(h);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid, const char* caption)
{
    WindowQuery query{ pid, caption, {} };
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&query));
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

std::string ShownText(HWND hDlg)
{
    const ControlState main = ReadControl(hDlg, kMain);
    if (main.visible)
        return main.text;
    const ControlState intro = ReadControl(hDlg, kIntro);
    return intro.visible ? intro.text : std::string("(no text shown)");
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

}  // namespace driver
