// A storm of random events against a live wizard whose workers run for real: after every
// event it must answer, show only screens of its table, hold the menu-exit mutex only where
// it may, and whenever it ends, end without a crash.
//
// Replay: TOOL_STORM_SEED=<seed> (printed at the start and with every failure) and
// TOOL_STORM_EVENTS=<count>. Worker timing is real, so a replay repeats the events, not
// every interleaving.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "E2e.h"
#include "rules/WizardFlow.h"
#include "rules/WizardPresentation.h"

using namespace driver;
using namespace expected;
using namespace fakesetup;
using namespace scenario;

namespace {

// Every step's row (harness/scenario/Steps.h).
const auto& kRows = kAllRows;

// The screens on which the wizard may hold the menu-exit mutex, from the flow table: where a
// row that creates it leads, and onwards by rows that do not release it (the hold keeps the
// screen it found). No worker message creates it, so a screen read before the mutex stays
// valid for it.
std::vector<const StepRow*> ScreensThatMayHoldMutex()
{
    std::set<int> held;
    std::deque<int> todo;
    auto follow = [&](int state, bool creating) {
        for (int event = 0; event < kWizardEventCount; ++event) {
            const WizardTransition* row = FindWizardTransition(state, static_cast<WizardEvent>(event));
            const bool holds = creating ? (row->actions & ActHoldMutex) != 0 : (row->actions & ActReleaseMutex) == 0;
            if (holds && row->nNext != kSameStep && held.insert(row->nNext).second)
                todo.push_back(row->nNext);
        }
    };
    for (int state = LibraryMissing; state <= FatalError; ++state)
        follow(state, true);
    for (; !todo.empty(); todo.pop_front())
        follow(todo.front(), false);
    std::vector<const StepRow*> screens;
    for (int state : held) {
        const WizardPresentation* shown = FindWizardPresentation(state);
        for (const StepRow* row : kRows) {
            if (shown != nullptr && row->mainText == std::string(shown->pszMain) && row->introText == std::string(shown->pszIntro))
                screens.push_back(row);
        }
    }
    return screens;
}

unsigned long long EnvNumber(const char* name, unsigned long long fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 0) : fallback;
}

// The step a screen belongs to, by its main text (Welcome: no main text): each step has its
// own, and a read of one control is never torn by the wizard's thread.
const StepRow* ScreenOf(const WizardView& view)
{
    for (const StepRow* row : kRows) {
        if (view.main.text == row->mainText && (row != &kWelcome || view.intro.text == kWelcome.introText))
            return row;
    }
    return nullptr;
}

// Each control alone must show a text of the table, at any moment.
std::string FieldProblems(const WizardView& view)
{
    std::ostringstream out;
    bool mainKnown = false;
    for (const StepRow* row : kRows)
        mainKnown = mainKnown || view.main.text == row->mainText;
    if (!mainKnown)
        out << "main text not in the table (" << view.main.text.size() << " bytes)\n";
    if (!view.intro.text.empty() && view.intro.text != kWelcome.introText)
        out << "intro text not in the table (" << view.intro.text.size() << " bytes)\n";
    if (view.back.text != expected::kBackCaption)
        out << "Back caption wrong\n";
    if (view.next.text != expected::kNextCaption)
        out << "Next caption wrong\n";
    if (view.end.text != expected::kEndCaption && view.end.text != expected::kAbortCaption)
        out << "End caption wrong\n";
    if (view.radio.visible)
        out << "radio button visible\n";
    if (view.caption != expected::kWizardCaption)
        out << "window caption wrong\n";
    return out.str();
}

enum Kind {
    kSearchDoneMsg, kInstallDoneMsg, kExternalMsg, kNextButton, kBackButton, kEndButton, kEscKey, kEnterKey,
    kF5Key, kCloseBox, kRepaint, kMinimize, kDisc, kPause, kKindCount
};
const char* const kKindNames[] = { "WM_APP+100", "WM_APP+101", "WM_APP+102", "Next", "Back", "End", "Esc", "Enter",
                                   "F5", "close version box", "repaint", "minimize/restore", "disc", "pause" };
// Relative frequencies. End and WM_APP+101 (nonzero) end the wizard, so they are rare enough
// for runs to reach the installer; pauses let the workers get on.
const int kWeights[kKindCount] = { 8, 2, 5, 14, 5, 1, 2, 4, 2, 3, 6, 1, 3, 4 };

// One event, drawn with the same number of draws whatever it is, so that a seed gives the
// same sequence of events however the wizard reacts.
struct Event {
    Kind kind;
    unsigned long long variant, wParam, lParam;

    static Event Draw(std::mt19937_64& rng)
    {
        int total = 0;
        for (int w : kWeights)
            total += w;
        int pick = static_cast<int>(rng() % total);
        int k = 0;
        while (pick >= kWeights[k])
            pick -= kWeights[k++];
        Event e{ static_cast<Kind>(k), rng(), rng(), rng() };
        return e;
    }

    // Zero, one, any value, or one with only the high half set (nonzero on the 64-bit twin).
    WPARAM MessageWParam() const
    {
        switch (variant % 4) {
        case 0: return 0;
        case 1: return 1;
        case 2: return static_cast<WPARAM>(wParam);
        default: return static_cast<WPARAM>(wParam | 1) << (sizeof(WPARAM) * 4);
        }
    }
    bool Sent() const { return (variant >> 8) & 1; }
    bool ByCommand() const { return (variant >> 9) & 1; }
    DWORD PauseMs() const { return static_cast<DWORD>(variant % 400); }

    std::string Describe() const
    {
        std::ostringstream out;
        out << kKindNames[kind];
        switch (kind) {
        case kSearchDoneMsg:
        case kInstallDoneMsg:
        case kExternalMsg:
            out << (Sent() ? " sent" : " posted") << " wParam 0x" << std::hex << MessageWParam() << " lParam 0x"
                << static_cast<LPARAM>(lParam);
            break;
        case kNextButton:
        case kBackButton:
        case kEndButton:
            out << (ByCommand() ? " (WM_COMMAND)" : " (BM_CLICK)");
            break;
        case kCloseBox: out << (variant & 1 ? " with OK" : " with Esc"); break;
        case kRepaint: out << " #" << variant % 5; break;
        case kDisc: out << (variant % 3 ? " inserted" : " removed"); break;
        case kPause: out << " " << PauseMs() << " ms"; break;
        default: break;
        }
        return out.str();
    }
};

class Storm {
public:
    Storm(unsigned long long seed, Session& session, const SetupOptions& options)
        : m_seed(seed), m_session(session), m_options(options)
    {
    }

    // Starts (or restarts) the program and waits for its first step.
    std::string Start()
    {
        std::string problem = m_session.Open(kWelcome, m_options);
        m_wizard = m_session.Wizard();
        if (problem.empty() && MutexExists(kMenuExitMutex))
            problem = "the menu-exit mutex exists before Next on Welcome";
        m_screen = &kWelcome;
        return problem;
    }

    void Apply(const Event& e, SwitchedDisc& disc)
    {
        HWND w = m_wizard;
        switch (e.kind) {
        case kSearchDoneMsg:
        case kInstallDoneMsg:
        case kExternalMsg: {
            const UINT message = e.kind == kSearchDoneMsg ? kDiscSearchDone
                                 : e.kind == kInstallDoneMsg ? kInstallDone : kExternalStatus;
            if (e.Sent()) {
                DWORD_PTR result = 0;
                if (!::SendMessageTimeoutA(w, message, e.MessageWParam(), static_cast<LPARAM>(e.lParam),
                                           SMTO_NORMAL, Seconds(2), &result) && ::IsWindow(w) && ::IsWindowVisible(w))
                    m_problem = "a sent private message was not answered within 2 s";
            } else {
                WizardPage(w).Post(message, e.MessageWParam(), static_cast<LPARAM>(e.lParam));
            }
            break;
        }
        case kNextButton:
        case kBackButton:
        case kEndButton: {
            const int id = e.kind == kNextButton ? kNext : e.kind == kBackButton ? kBack : kEnd;
            e.ByCommand() ? PostCommand(w, id) : Click(w, id);
            break;
        }
        case kEscKey: PressKey(w, VK_ESCAPE); break;
        case kEnterKey: PressKey(w, VK_RETURN); break;
        case kF5Key: PressKey(w, VK_F5); break;
        case kCloseBox:
            for (HWND box : TopLevelWindows(m_session.Tool().Pid(), kVersionBoxCaption))
                e.variant & 1 ? Click(box, IDOK) : PressKey(box, VK_ESCAPE);
            break;
        case kRepaint:
            switch (e.variant % 5) {
            case 0: ::InvalidateRect(w, nullptr, FALSE); break;
            case 1: ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN); break;
            case 2: ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME); break;
            case 3: ::PostMessageA(w, WM_PAINT, 0, 0); break;
            default: PostCommand(w, kRadio); break;  // the hidden radio button repaints too
            }
            break;
        case kMinimize: ::ShowWindowAsync(w, ::IsIconic(w) ? SW_RESTORE : SW_MINIMIZE); break;
        case kDisc: e.variant % 3 ? disc.Insert() : disc.Remove(); break;
        case kPause: ::Sleep(e.PauseMs()); break;
        default: break;
        }
    }

    // Everything the wizard must satisfy after an event; restarts it when it has ended.
    // Empty when all holds, else what went wrong.
    std::string Check(const Event& e)
    {
        if (!m_problem.empty())
            return m_problem;
        if (!Alive())
            return Restart();
        if (!Responds(m_wizard, Seconds(2)))
            return Alive() ? "no answer to WM_NULL within 2 s" : Restart();
        if (!WizardPage(m_wizard).Settle(Seconds(10)).empty())
            return Alive() ? "posted messages not handled within 10 s" : Restart();

        // The mutex is read before the screen for the check of its creation, after it for
        // the check of where it is held (see below).
        const bool heldBefore = MutexExists(kMenuExitMutex);
        WizardView view = ReadWizard(m_wizard);
        std::string fields = FieldProblems(view);
        // A row of the table as a whole; a worker's result may land between two reads.
        for (int attempt = 0; fields.empty() && Resembles(view) == "no step" && attempt < 3; ++attempt) {
            if (!WizardPage(m_wizard).Settle(Seconds(10)).empty())
                break;
            view = ReadWizard(m_wizard);
            fields = FieldProblems(view);
        }
        if (!Alive())
            return Restart();  // what was read may come from a window on its way out
        if (!fields.empty())
            return "the wizard shows something outside its table:\n" + fields;
        const StepRow* screen = ScreenOf(view);
        if (screen == nullptr || Resembles(view) == "no step")
            return "the screen is no row of the table; differences from " +
                   std::string(screen ? screen->name : "Welcome") + ":\n" +
                   Mismatch(view, screen ? *screen : kWelcome);
        ++m_seen[screen->name];

        const bool held = MutexExists(kMenuExitMutex);
        static const std::vector<const StepRow*> mayHold = ScreensThatMayHoldMutex();
        if (held && std::find(mayHold.begin(), mayHold.end(), screen) == mayHold.end())
            return std::string("the menu-exit mutex is held on ") + screen->name;
        // After Next, the Welcome screen turns into InsertDisc only by Next on Welcome, which
        // creates the mutex (no other holder exists here); a worker's result in between leads
        // nowhere near InsertDisc with Next alone (Enter or Back could: Back on DiscNotFound).
        // Until the screen is read, only a worker's WM_APP+101 could release the mutex, and
        // that leaves InsertDisc for good.
        if (e.kind == kNextButton && m_screen == &kWelcome && screen == &kInsertDisc && !heldBefore)
            return "Next on Welcome showed InsertDisc without the menu-exit mutex";
        m_screen = screen;
        return "";
    }

    // The storm's last event: End until the wizard is gone (End on the search only stops it,
    // and the version box keeps the wizard's loop waiting until it closes).
    std::string EndWizard()
    {
        for (int i = 0; i < 30 && Alive(); ++i) {
            for (HWND box : TopLevelWindows(m_session.Tool().Pid(), kVersionBoxCaption))
                Click(box, IDOK);
            Click(m_wizard, kEnd);
            WaitUntilHidden(m_wizard, Seconds(1));
        }
        if (Alive())
            return "End did not close the wizard within 30 s";
        return Ended();
    }

    int Restarts() const { return m_restarts; }
    const std::map<std::string, int>& Seen() const { return m_seen; }

private:
    bool Alive() { return m_session.Tool().IsRunning() && ::IsWindow(m_wizard) && ::IsWindowVisible(m_wizard); }

    // The wizard has gone: the process must follow at once, without a crash.
    std::string Ended()
    {
        DWORD code = 0;
        if (!m_session.Tool().WaitForExit(Seconds(15), &code))
            return "the wizard is gone but the process still runs after 15 s";
        if (code != 0) {
            char text[64];
            std::snprintf(text, sizeof(text), "the process ended with code 0x%08lX", static_cast<unsigned long>(code));
            return text;
        }
        if (MutexExists(kMenuExitMutex))
            return "the menu-exit mutex outlived the process";
        return "";
    }

    std::string Restart()
    {
        std::string ended = Ended();
        if (!ended.empty())
            return ended;
        ++m_restarts;
        const std::string started = Start();
        return started.empty() ? "" : "restart: " + started;
    }

    unsigned long long m_seed;
    Session& m_session;
    SetupOptions m_options;
    HWND m_wizard = nullptr;
    const StepRow* m_screen = nullptr;
    std::string m_problem;
    int m_restarts = 0;
    std::map<std::string, int> m_seen;
};

TEST(Storm, RandomEventsKeepTheWizardAnsweringOnItsOwnScreensWithTheMutexWhereItMayBe)
{
    const unsigned long long seed =
        EnvNumber("TOOL_STORM_SEED", static_cast<unsigned long long>(std::time(nullptr)) ^ ::GetCurrentProcessId());
    const unsigned long long count = EnvNumber("TOOL_STORM_EVENTS", 3000);
    std::printf("storm: seed %llu, %llu events (replay: TOOL_STORM_SEED=%llu TOOL_STORM_EVENTS=%llu)\n", seed, count,
                seed, count);
    std::fflush(stdout);

    WatchedProgram watched;
    Session session(Machine::NoDisc, Machine::WithLibrary, "storm");
    SwitchedDisc d(session.TheMachine().D());
    d.Insert();
    StandIn& setup = session.Setup();
    // The stand-in ends quickly and leaves both shortcuts, so installer runs complete.
    Storm storm(seed, session, SetupOptions().LeavesShortcuts().RunsFor(50));
    ASSERT_FINE(storm.Start());

    std::mt19937_64 rng(seed);
    std::deque<std::string> recent;
    const ULONGLONG began = ::GetTickCount64();
    for (unsigned long long i = 0; i < count; ++i) {
        const Event event = Event::Draw(rng);
        storm.Apply(event, d);
        const std::string problem = storm.Check(event);
        recent.push_back("#" + std::to_string(i) + " " + event.Describe());
        if (recent.size() > 40)
            recent.pop_front();
        if (!problem.empty()) {
            std::string history;
            for (const std::string& line : recent)
                history += "  " + line + "\n";
            FAIL() << "seed " << seed << ", event #" << i << " (" << event.Describe() << "), after "
                   << storm.Restarts() << " restarts: " << problem << "\nlast events:\n" << history
                   << "replay: TOOL_STORM_SEED=" << seed << " TOOL_STORM_EVENTS=" << count;
        }
    }
    const std::string end = storm.EndWizard();
    ASSERT_TRUE(end.empty()) << "seed " << seed << ", the final End: " << end;

    // Every stand-in started, overlapping or not, runs to its end.
    const int starts = setup.Starts();
    EXPECT_TRUE(machine::WaitFor([&] { return setup.Count("end_ms") == starts; }, Seconds(20)))
        << "seed " << seed << ": " << starts << " setup runs started, " << setup.Count("end_ms") << " ended";

    // A setup program whose start the tool's end cut short would stay suspended for good.
    std::vector<DWORD> left;
    machine::WaitFor([&] { return (left = SetupProcesses()).empty(); }, Seconds(10));
    for (DWORD pid : left) {
        ADD_FAILURE() << "seed " << seed << ": setup program (pid " << pid << ") left that never ran to its end";
        EndProcess(pid);
    }

    std::ostringstream seen;
    for (const auto& kv : storm.Seen())
        seen << " " << kv.first << "=" << kv.second;
    std::printf("storm: seed %llu, %llu events in %.1f s, %d restarts, %d setup runs; screens:%s\n", seed, count,
                (::GetTickCount64() - began) / 1000.0, storm.Restarts(), starts, seen.str().c_str());
    // Proof that the workers ran for real and the storm reached the installer.
    if (count >= 1000) {
        EXPECT_GT(starts, 0) << "seed " << seed << ": no setup program ran during the storm";
    }
}

}  // namespace
