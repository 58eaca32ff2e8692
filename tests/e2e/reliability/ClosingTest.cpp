// The wizard ended at moments spread over an installer run and over a disc search, with End
// or a spoofed WM_APP+101 (1): every run must end cleanly. No crash, no hang, no shortcut
// deletion begun once the wizard is gone, and the setup program left to run to its end.
// ctest names each case by its moment; by hand, pick one with
// --gtest_filter=Moments/ClosingAt.EndsCleanly/<index in kMoments>.
#include <cstdio>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace fakesetup;
using namespace machine;
using namespace scenario;

namespace {

enum class Run { Install, Search };
enum class How { End, InstallDone };

// When, counted from Next that starts the worker.
enum class When {
    BehindNext,       // queued right behind Next, before the step's first paint
    Minimized,        // ms after Next on a minimised wizard: no paint, the whole paint wait
    SetupRunning,     // ms after the setup program has started (it waits for a file)
    SetupReleased,    // at once after the setup program was let go
    SetupLogged,      // as soon as the setup program logs its end
    SetupExited,      // as soon as the setup program's process has ended
    Pause,            // ms after the clean-up, inside the pause before the report
    AfterNext,        // ms after Next (the search, no disc)
    DiscFound,        // disc inserted 700 ms after Next; at once when the wizard reports it
};

// What must become of the two shortcuts the setup program makes at its end.
enum class Shortcuts {
    Kept,     // the wizard went before the setup program ended
    Deleted,  // the clean-up ran before the wizard went
    Either,   // the two race; only the rule below decides
    None,     // a search: no setup program runs at all
};

struct Moment {
    const char* name;
    Run run;
    How how;
    When when;
    int ms;
    Shortcuts shortcuts;
};

const Moment kMoments[] = {
    { "InstallPaintWaitQueuedEnd", Run::Install, How::End, When::BehindNext, 0, Shortcuts::Kept },
    { "InstallPaintWaitQueuedDone", Run::Install, How::InstallDone, When::BehindNext, 0, Shortcuts::Kept },
    { "InstallPaintWaitMinimized100End", Run::Install, How::End, When::Minimized, 100, Shortcuts::Kept },
    { "InstallPaintWaitMinimized350Done", Run::Install, How::InstallDone, When::Minimized, 350, Shortcuts::Kept },
    { "InstallSetupRunning0End", Run::Install, How::End, When::SetupRunning, 0, Shortcuts::Kept },
    { "InstallSetupRunning300Done", Run::Install, How::InstallDone, When::SetupRunning, 300, Shortcuts::Kept },
    { "InstallSetupRunning1000End", Run::Install, How::End, When::SetupRunning, 1000, Shortcuts::Kept },
    { "InstallSetupReleasedEnd", Run::Install, How::End, When::SetupReleased, 0, Shortcuts::Either },
    { "InstallSetupReleasedDone", Run::Install, How::InstallDone, When::SetupReleased, 0, Shortcuts::Either },
    { "InstallSetupLoggedEndEnd", Run::Install, How::End, When::SetupLogged, 0, Shortcuts::Either },
    { "InstallSetupLoggedEndDone", Run::Install, How::InstallDone, When::SetupLogged, 0, Shortcuts::Either },
    { "InstallSetupExitedEnd", Run::Install, How::End, When::SetupExited, 0, Shortcuts::Either },
    { "InstallSetupExitedDone", Run::Install, How::InstallDone, When::SetupExited, 0, Shortcuts::Either },
    { "InstallPause0End", Run::Install, How::End, When::Pause, 0, Shortcuts::Deleted },
    { "InstallPause150Done", Run::Install, How::InstallDone, When::Pause, 150, Shortcuts::Deleted },
    { "InstallPause300End", Run::Install, How::End, When::Pause, 300, Shortcuts::Deleted },
    { "InstallPause420Done", Run::Install, How::InstallDone, When::Pause, 420, Shortcuts::Deleted },
    { "SearchPaintWaitQueuedEnd", Run::Search, How::End, When::BehindNext, 0, Shortcuts::None },
    { "SearchPaintWaitQueuedDone", Run::Search, How::InstallDone, When::BehindNext, 0, Shortcuts::None },
    { "SearchPaintWaitMinimized200End", Run::Search, How::End, When::Minimized, 200, Shortcuts::None },
    { "SearchPaintWaitMinimized300Done", Run::Search, How::InstallDone, When::Minimized, 300, Shortcuts::None },
    { "SearchMidPass250End", Run::Search, How::End, When::AfterNext, 250, Shortcuts::None },
    { "SearchMidPass1250Done", Run::Search, How::InstallDone, When::AfterNext, 1250, Shortcuts::None },
    { "SearchPassEnd500Done", Run::Search, How::InstallDone, When::AfterNext, 500, Shortcuts::None },
    { "SearchPassEnd1000End", Run::Search, How::End, When::AfterNext, 1000, Shortcuts::None },
    { "SearchLastPass9950End", Run::Search, How::End, When::AfterNext, 9950, Shortcuts::None },
    { "SearchLastPass10050Done", Run::Search, How::InstallDone, When::AfterNext, 10050, Shortcuts::None },
    { "SearchFoundEnd", Run::Search, How::End, When::DiscFound, 0, Shortcuts::None },
    { "SearchFoundDone", Run::Search, How::InstallDone, When::DiscFound, 0, Shortcuts::None },
};

void PrintTo(const Moment& m, std::ostream* os)
{
    *os << m.name;
}

const ShortcutFiles::Folder kMade[] = { ShortcutFiles::CommonDesktop, ShortcutFiles::CommonPrograms };

void SleepUntil(double moment)
{
    const double left = moment - NowMs();
    if (left > 0)
        ::Sleep(static_cast<DWORD>(left));
}

void Close(WizardPage wizard, How how)
{
    if (how == How::End)
        Click(wizard, kEnd);
    else
        WizardPage(wizard).Post(kInstallDone, 1);
}

// Polls every millisecond until the clean-up has removed both shortcuts.
bool WaitForCleanUp(DWORD ms)
{
    const std::string paths[] = { ShortcutFiles::PathIn(kMade[0]), ShortcutFiles::PathIn(kMade[1]) };
    const double deadline = NowMs() + ms;
    do {
        if (::GetFileAttributesA(paths[0].c_str()) == INVALID_FILE_ATTRIBUTES
            && ::GetFileAttributesA(paths[1].c_str()) == INVALID_FILE_ATTRIBUTES)
            return true;
        ::Sleep(1);
    } while (NowMs() < deadline);
    return false;
}

// Minimised, the wizard does not paint its step, so the worker waits its whole paint wait.
std::string Minimize(WizardPage wizard)
{
    ::ShowWindowAsync(wizard, SW_MINIMIZE);
    if (!WaitFor([&] { return ::IsIconic(wizard) != FALSE; }, Seconds(3)))
        return "the wizard did not minimise";
    return wizard.Settle();
}

// After the tool has gone: whether a setup program that it started ran. One that exists but
// never runs had its start cut short by the tool's end and would stay suspended for good: a
// failure, and it is ended.
bool SetupRan(const StandIn& run, DWORD toolPid)
{
    const std::vector<DWORD> started = SetupProcesses(toolPid);
    if (run.WaitForStart(started.empty() ? 0 : Seconds(5)))
        return true;
    for (DWORD pid : started) {
        ADD_FAILURE() << "setup program (pid " << pid << ") exists but never ran: its start was cut short";
        EndProcess(pid);
    }
    return false;
}

class ClosingAt : public ::testing::TestWithParam<Moment> {};

TEST_P(ClosingAt, EndsCleanly)
{
    const Moment& m = GetParam();
    WatchedProgram watched;
    Session session(Machine::NoDisc, Machine::WithLibrary, m.name);
    StandIn& run = session.Setup();
    ToolProcess& tool = session.Tool();
    SetupOptions options = SetupOptions().LeavesShortcuts(kMade[0], kMade[1]);
    // Held by its wait file unless the moment needs it to end on its own.
    const bool held = m.when != When::Pause && m.when != When::SetupLogged && m.when != When::SetupExited;
    options.held = held;

    // No disc for a search until DiscFound puts one in.
    if (m.run == Run::Install)
        session.TheMachine().D().InsertAddOnDisc();
    ASSERT_FINE(session.Open(m.run == Run::Install ? kReadyToInstall : kInsertDisc, options));
    WizardPage wizard = session.Wizard();
    if (m.when == When::Minimized) {
        ASSERT_FINE(Minimize(wizard));
    }

    const double next = StartSearch(wizard);  // Next, on either step
    HANDLE setup = nullptr;
    switch (m.when) {
    case When::BehindNext:
        break;
    case When::Minimized:
    case When::AfterNext:
        SleepUntil(next + m.ms);
        break;
    case When::SetupRunning:
    case When::SetupReleased:
    case When::SetupExited:
        ASSERT_TRUE(run.WaitForStart(Seconds(10))) << "the setup program did not start; shown: " << wizard.Text();
        setup = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, run.Pid());
        ASSERT_NE(setup, nullptr);
        if (m.when == When::SetupRunning)
            ::Sleep(m.ms);
        if (m.when == When::SetupReleased)
            run.ReleaseWaitFile();
        if (m.when == When::SetupExited) {
            ASSERT_EQ(::WaitForSingleObject(setup, Seconds(10)), WAIT_OBJECT_0) << "the setup program did not end";
        }
        break;
    case When::SetupLogged:
        ASSERT_TRUE(WaitFor([&] { return run.Has("end_ms"); }, Seconds(10))) << "the setup program did not end";
        break;
    case When::Pause:
        // The stand-in makes the shortcuts at its end; their removal starts the pause.
        ASSERT_TRUE(run.WaitForKey("created", Seconds(10))) << "the setup program did not run";
        ASSERT_TRUE(WaitForCleanUp(Seconds(10))) << "no clean-up; shown: " << wizard.Text();
        ::Sleep(m.ms);
        break;
    case When::DiscFound:
        SleepUntil(next + 700);
        session.TheMachine().D().InsertAddOnDisc();
        ASSERT_TRUE(WaitForMainText(wizard, kReadyToInstallText, Seconds(5))) << "shown: " << wizard.Text();
        break;
    }
    // Only the report at the end of the pause may close the wizard before the test does.
    if (m.when != When::Pause) {
        ASSERT_TRUE(::IsWindowVisible(wizard)) << "the wizard closed before the moment";
    }
    const double closed = NowMs();
    Close(wizard, m.how);

    // End on the search only asks it to stop; once it has stopped, End closes the wizard.
    if (m.run == Run::Search && m.how == How::End && m.when != When::DiscFound) {
        ASSERT_TRUE(WaitForMainText(wizard, kDiscNotFoundText, Seconds(4)) || !::IsWindowVisible(wizard))
            << "the search did not stop within 4 s of End; shown: " << wizard.Text();
        Click(wizard, kEnd);
    }
    const double hidden = WaitUntilHidden(wizard, Seconds(5));
    ASSERT_NE(hidden, 0.0) << "the wizard did not close; shown: " << wizard.Text();
    DWORD code = 0;
    ASSERT_TRUE(tool.WaitForExit(Seconds(10), &code)) << "the process still runs 10 s after its wizard closed";
    EXPECT_EQ(code, 0u) << "exit code 0x" << std::hex << code;
    EXPECT_LT(hidden - closed, Seconds(6)) << "closing took too long";
    EXPECT_FALSE(MutexExists(kMenuExitMutex));

    // The setup program, wherever the closing caught it, runs to its end.
    run.ReleaseWaitFile();
    if (m.run == Run::Search) {
        EXPECT_FALSE(run.WaitForStart(Seconds(0.5))) << "a search started the setup program";
    } else if (held && !SetupRan(run, tool.Pid())) {
        // Closed before the worker's paint wait was over: nothing ran.
        EXPECT_TRUE(m.when == When::BehindNext || m.when == When::Minimized) << "the setup program never started";
    } else {
        EXPECT_TRUE(run.WaitForEnd(Seconds(10))) << "the setup program did not run to its end";
        EXPECT_EQ(run.Starts(), 1);
    }
    if (setup != nullptr) {
        EXPECT_EQ(::WaitForSingleObject(setup, Seconds(10)), WAIT_OBJECT_0);
        DWORD setupCode = 1;
        ::GetExitCodeProcess(setup, &setupCode);
        EXPECT_EQ(setupCode, 0u) << "the setup program did not end on its own";
        ::CloseHandle(setup);
    }

    // The rule: a shortcut may be missing at the end only if the clean-up decided to remove
    // it while the wizard was still there, which it can only once the setup program has made
    // it and ended. The removal itself may finish after the close: End does not wait for
    // file work.
    const bool madeAny = run.Has("created");
    const bool endedBefore = run.Has("end_ms") && run.Number("end_ms") <= hidden;
    for (int i = 0; i < 2; ++i) {
        const bool exists = ShortcutFiles::Exists(kMade[i]);
        SCOPED_TRACE(ShortcutFiles::PathIn(kMade[i]));
        if (madeAny) {
            EXPECT_TRUE(exists || endedBefore) << "deleted after the wizard was gone";
        }
        switch (m.shortcuts) {
        case Shortcuts::Kept: EXPECT_TRUE(exists || !madeAny) << "closed first; nothing may be deleted"; break;
        case Shortcuts::Deleted: EXPECT_FALSE(exists) << "closed only after the clean-up"; break;
        case Shortcuts::None: EXPECT_FALSE(exists); break;
        case Shortcuts::Either: break;
        }
    }
}

// Numbered cases; ctest names them by the moment, which PrintTo gives.
INSTANTIATE_TEST_SUITE_P(Moments, ClosingAt, ::testing::ValuesIn(kMoments));

// Closing while the installer worker starts the setup program. That moment lasts a few
// milliseconds and comes after a paint wait of varying length, so it is looked for like a
// threshold: each attempt closes later when the setup program did not start, earlier when
// it did, and so keeps closing right at the start.
TEST(ClosingAtTheSetupStart, NeverLeavesTheSetupProgramHalfStarted)
{
    WatchedProgram watched;
    int delay = 560;  // ms after Next on a minimised wizard: past the 500 sleeps of the paint wait
    int started = 0, attempts = 0;
    for (; attempts < 24 && !HasFailure(); ++attempts) {
        SCOPED_TRACE(testing::Message() << "attempt " << attempts << ", closed " << delay << " ms after Next");
        Session session(Machine::DiscInD, Machine::WithLibrary, "setup-start");
        StandIn& run = session.Setup();
        ToolProcess& tool = session.Tool();
        ASSERT_FINE(session.Open(kReadyToInstall, SetupOptions().Held()));
        WizardPage wizard = session.Wizard();
        ASSERT_FINE(Minimize(wizard));
        const double next = StartSearch(wizard);
        while (NowMs() < next + delay) {
            // a busy wait: a sleep would miss the moment by a scheduler tick
        }
        wizard.Post(kInstallDone, 1);

        DWORD code = 1;
        ASSERT_TRUE(tool.WaitForExit(Seconds(10), &code));
        EXPECT_EQ(code, 0u) << "exit code 0x" << std::hex << code;
        run.ReleaseWaitFile();
        if (SetupRan(run, tool.Pid())) {
            ++started;
            EXPECT_TRUE(run.WaitForEnd(Seconds(10))) << "the setup program did not run to its end";
            delay -= 3;
        } else {
            delay += 3;
        }
    }
    std::printf("closing at the setup start: the setup program ran in %d of %d attempts, the last at %d ms\n",
                started, attempts, delay);
}

}  // namespace
