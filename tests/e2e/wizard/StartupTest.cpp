// Start-up: which step the wizard opens on, depending on the library installation.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

enum class Library { Complete, Unregistered, WithoutConfig, WithoutDriver };

TEST(Startup, OpensOnWelcomeOnlyWhenTheWholeLibraryIsInstalled)
{
    struct Case {
        const char* name;
        Library library;
        const StepRow* firstStep;
    };
    const Case cases[] = {
        { "complete library", Library::Complete, &kWelcome },
        { "no registration", Library::Unregistered, &kLibraryMissing },
        { "no configuration file", Library::WithoutConfig, &kLibraryMissing },
        { "no driver file", Library::WithoutDriver, &kLibraryMissing },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session run(Machine::NoDisc, c.library != Library::Unregistered ? Machine::WithLibrary : Machine::WithoutLibrary);
        if (c.library == Library::WithoutConfig)
            run.TheMachine().Library()->RemoveConfig();
        if (c.library == Library::WithoutDriver)
            run.TheMachine().Library()->RemoveDriver();
        ASSERT_FINE(run.Open(*c.firstStep));
        EXPECT_TRUE(MutexExists(kSingleInstanceMutex));
        EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "nothing holds the menu-exit mutex before Next";
    }
}

// The wizard runs elevated; Windows would drop WM_EXTERNAL_STATUS from ordinary programs
// unless the wizard lets that one message through. Wine has no such filter and only reports
// the call on its message channel, on the standard error of the Unix process: so the program
// is started from a shell that sends that to a file ($WINE64: the test environment's loader).
TEST(Startup, LetsExactlyTheExternalStatusThroughTheIntegrityFilter)
{
    Machine machine;
    const std::string log = TempFilePath("startup-message-filter.log");
    ::DeleteFileA(log.c_str());
    const std::wstring exe = UnixPathOf(ToolExePath()), unixLog = UnixPathOf(log);
    ASSERT_FALSE(exe.empty() || unixLog.empty());
    ASSERT_TRUE(StartUnixCommand(L"Z:\\bin\\sh -c \"WINEDEBUG=fixme+msg exec $WINE64 '" + exe + L"' 2>'"
                                 + unixLog + L"'\""));
    HWND wizard = nullptr;
    WaitFor([&] { return (wizard = ::FindWindowA(nullptr, kWizardCaption)) != nullptr; }, Seconds(10));
    ASSERT_NE(wizard, nullptr) << "the program did not open its wizard";
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wizard, &pid);
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    Click(wizard, kEnd);
    const bool ended = ::WaitForSingleObject(process, Seconds(10)) == WAIT_OBJECT_0;
    if (!ended)
        ::TerminateProcess(process, 1);
    ::CloseHandle(process);
    ASSERT_TRUE(ended) << "End did not end the program";

    std::ifstream in(log, std::ios::binary);
    std::string line;
    std::vector<std::string> calls;
    while (std::getline(in, line)) {
        if (line.find("ChangeWindowMessageFilter") != std::string::npos)
            calls.push_back(line);
    }
    in.close();
    ::DeleteFileA(log.c_str());
    ASSERT_EQ(calls.size(), 1u) << "expected one call that lets a message through";
    // "...:ChangeWindowMessageFilterEx <window> <message> <action> <no extra>"
    const char kCall[] = "ChangeWindowMessageFilterEx ";
    const size_t at = calls[0].find(kCall);
    ASSERT_NE(at, std::string::npos) << calls[0];
    char* rest = nullptr;
    const unsigned long long window = std::strtoull(calls[0].c_str() + at + sizeof(kCall) - 1, &rest, 16);
    EXPECT_EQ(window, reinterpret_cast<uintptr_t>(wizard)) << "not for the wizard's window: " << calls[0];
    // Wine prints the message in hex; action 1 is MSGFLT_ALLOW.
    char allowed[32];
    std::snprintf(allowed, sizeof(allowed), " %x 1 ", kExternalStatus);
    EXPECT_EQ(std::string(rest).substr(0, std::strlen(allowed)), allowed)
        << "not the external status (WM_APP+102) allowed: " << calls[0];
}

}  // namespace
