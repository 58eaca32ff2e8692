// Shared steps of the worker tests.
#include "WorkerSteps.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace driver;

namespace steps {


std::string ShownText(HWND wizard)
{
    ControlState main = ReadControl(wizard, kMain);
    if (main.visible)
        return main.text;
    ControlState intro = ReadControl(wizard, kIntro);
    return intro.visible ? intro.text : std::string("(no text shown)");
}

// ---------------------------------------------------------------------------------------

SetupRun::SetupRun(const char* name)
    : m_log(TempFilePath((std::string("workers-") + name + ".log").c_str())),
      m_waitFile(TempFilePath((std::string("workers-") + name + ".go").c_str()))
{
    ::DeleteFileA(m_log.c_str());
    ::DeleteFileA(m_waitFile.c_str());
}

SetupRun::~SetupRun()
{
    // A stand-in still running (a failed test, or one that waits for its file) must not
    // outlive the test: let it end, and end it if it does not.
    if (Has("pid") && !Has("end_ms")) {
        ReleaseWaitFile();
        if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Pid())) {
            if (::WaitForSingleObject(h, 3000) != WAIT_OBJECT_0) {
                ::TerminateProcess(h, 99);
                ::WaitForSingleObject(h, 5000);
            }
            ::CloseHandle(h);
        }
    }
    ::DeleteFileA(m_log.c_str());
    ::DeleteFileA(m_waitFile.c_str());
}

std::vector<std::pair<std::string, std::string>> SetupRun::Env(
    std::vector<std::pair<std::string, std::string>> extra) const
{
    extra.emplace_back("FAKESETUP_LOG", m_log);
    return extra;
}

std::vector<std::pair<std::string, std::string>> SetupRun::EnvHeld(
    std::vector<std::pair<std::string, std::string>> extra) const
{
    extra.emplace_back("FAKESETUP_WAIT_FILE", m_waitFile);
    return Env(std::move(extra));
}

void SetupRun::ReleaseWaitFile() const
{
    HANDLE h = ::CreateFileA(m_waitFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
}

std::string SetupRun::Value(const char* key) const
{
    for (const auto& kv : ReadKeyValues(m_log)) {
        if (kv.first == key)
            return kv.second;
    }
    return "";
}

bool SetupRun::Has(const char* key) const
{
    for (const auto& kv : ReadKeyValues(m_log)) {
        if (kv.first == key)
            return true;
    }
    return false;
}

bool SetupRun::WaitForKey(const char* key, DWORD ms) const
{
    return WaitFor([&] { return Has(key); }, ms);
}

double SetupRun::Number(const char* key) const
{
    return std::atof(Value(key).c_str());
}

DWORD SetupRun::Pid() const
{
    return static_cast<DWORD>(std::strtoul(Value("pid").c_str(), nullptr, 10));
}

int SetupRun::Starts() const
{
    int n = 0;
    for (const auto& kv : ReadKeyValues(m_log))
        n += kv.first == "start_ms" ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------------------------------

HWND OpenAtInsertDisc(ToolProcess& tool, const std::vector<std::pair<std::string, std::string>>& env)
{
    if (!tool.Start(env)) {
        ADD_FAILURE() << "the tool did not start (error " << ::GetLastError() << "): " << ToolExePath();
        return nullptr;
    }
    HWND wizard = tool.WaitForWizard();
    if (wizard == nullptr) {
        ADD_FAILURE() << "no wizard window appeared";
        return nullptr;
    }
    if (!WaitForMainText(wizard, kWelcomeText, 5000)) {
        ADD_FAILURE() << "expected the welcome step, shown: " << ShownText(wizard);
        return nullptr;
    }
    Click(wizard, kNext);
    if (!WaitForMainText(wizard, kInsertDiscText, 5000)) {
        ADD_FAILURE() << "expected the disc request, shown: " << ShownText(wizard);
        return nullptr;
    }
    return wizard;
}

double StartSearch(HWND wizard)
{
    const double clicked = NowMs();
    Click(wizard, kNext);
    return clicked;
}

HWND OpenAtReadyToInstall(ToolProcess& tool, const std::vector<std::pair<std::string, std::string>>& env)
{
    HWND wizard = OpenAtInsertDisc(tool, env);
    if (wizard == nullptr)
        return nullptr;
    StartSearch(wizard);
    if (!WaitForMainText(wizard, kReadyToInstallText, 5000)) {
        ADD_FAILURE() << "expected ReadyToInstall, shown: " << ShownText(wizard);
        return nullptr;
    }
    return wizard;
}

double WaitUntilHidden(HWND window, DWORD ms)
{
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    do {
        // The clock is read after the look, so the moment is never before the change.
        if (!::IsWindow(window) || !::IsWindowVisible(window))
            return NowMs();
        ::Sleep(1);
    } while (::GetTickCount64() < deadline);
    return 0;
}

bool ProcessRuns(DWORD pid)
{
    HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (h == nullptr)
        return false;
    const bool runs = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    ::CloseHandle(h);
    return runs;
}

void MakeShortcutFolder(ShortcutFiles::Folder folder)
{
    const std::string path = ShortcutFiles::PathIn(folder);
    // The start-menu shortcut lies in a folder of its own, which must exist first.
    ::CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
    ::CreateDirectoryA(path.c_str(), nullptr);
}

DWORD AttributesOf(ShortcutFiles::Folder folder)
{
    return ::GetFileAttributesA(ShortcutFiles::PathIn(folder).c_str());
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

}  // namespace steps
