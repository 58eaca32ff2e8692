// The other side of the stand-in setup program.
#include "fakesetup/StandIn.h"

#include <cstdlib>
#include <fstream>

namespace fakesetup {

Environment ReadKeyValues(const std::string& path)
{
    Environment result;
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

StandIn::StandIn(const char* name)
    : m_log(machine::TempFilePath((std::string("fakesetup-") + name + ".log").c_str())),
      m_waitFile(machine::TempFilePath((std::string("fakesetup-") + name + ".go").c_str()))
{
    ::DeleteFileA(m_log.c_str());
    ::DeleteFileA(m_waitFile.c_str());
}

StandIn::~StandIn()
{
    // A stand-in still running (a failed test, or one that waits for its file) must not
    // outlive its run: let it end, and end it if it does not.
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

SetupOptions& SetupOptions::LeavesShortcuts(machine::ShortcutFiles::Folder desktop,
                                            machine::ShortcutFiles::Folder programs)
{
    return Creates({ machine::ShortcutFiles::PathIn(desktop), machine::ShortcutFiles::PathIn(programs) });
}

HWND ShownSetupWindow()
{
    // The class FakeSetup.cpp registers for its window.
    HWND h = ::FindWindowA("FakeSetupWindow", nullptr);
    return h != nullptr && ::IsWindowVisible(h) ? h : nullptr;
}

Environment SetupEnvironment(const std::string& logPath, const SetupOptions& options, const std::string& waitFile)
{
    Environment env = { { "FAKESETUP_LOG", logPath } };
    std::string list;
    for (const std::string& path : options.create)
        list += (list.empty() ? "" : "|") + path;
    if (!list.empty())
        env.emplace_back("FAKESETUP_CREATE", list);
    if (options.runMs != 0)
        env.emplace_back("FAKESETUP_SLEEP_MS", std::to_string(options.runMs));
    if (options.held)
        env.emplace_back("FAKESETUP_WAIT_FILE", waitFile);
    if (options.exitCode != 0)
        env.emplace_back("FAKESETUP_EXIT_CODE", std::to_string(options.exitCode));
    if (options.window)
        env.emplace_back("FAKESETUP_WINDOW", "1");
    return env;
}

Environment StandIn::Env(const SetupOptions& options) const
{
    return SetupEnvironment(m_log, options, m_waitFile);
}

void StandIn::ReleaseWaitFile() const
{
    machine::MakeFile(m_waitFile, "");
}

std::string StandIn::Value(const char* key) const
{
    for (const auto& kv : ReadKeyValues(m_log)) {
        if (kv.first == key)
            return kv.second;
    }
    return "";
}

bool StandIn::Has(const char* key) const
{
    return Count(key) > 0;
}

std::vector<std::string> StandIn::Values(const char* key) const
{
    std::vector<std::string> values;
    for (const auto& kv : ReadKeyValues(m_log)) {
        if (kv.first == key)
            values.push_back(kv.second);
    }
    return values;
}

int StandIn::Count(const char* key) const
{
    return static_cast<int>(Values(key).size());
}

bool StandIn::WaitForKey(const char* key, DWORD ms) const
{
    return machine::WaitFor([&] { return Has(key); }, ms);
}

double StandIn::Number(const char* key) const
{
    return std::atof(Value(key).c_str());
}

DWORD StandIn::Pid() const
{
    return static_cast<DWORD>(std::strtoul(Value("pid").c_str(), nullptr, 10));
}

}  // namespace fakesetup
