// The NSIS peer (NsisPeer.nsi), driven from outside as the tool is, and --why, the bare
// dialog with each of the tool's additions alone. The peer's buttons are those of NSIS's outer
// window: Next 1, Cancel 2, Back 3.
#include "Bench.h"

#include <cstdio>

#include "driver/ToolDriver.h"
#include "machine/Clock.h"
#include "scenario/Scenario.h"

using namespace driver;
using machine::ShortcutFiles;
using machine::WaitFor;
using watch::ShowsText;

namespace bench {

namespace {

const int kPeerNext = 1, kPeerCancel = 2, kPeerBack = 3;

// Starts the peer and takes it to its disc page, painted and idle.
std::string OpenAtDiscPage(ToolProcess& peer, const std::string& exe, const fakesetup::Environment& env, HWND* pWindow)
{
    if (!peer.Start(env, exe))
        return "could not start " + exe;
    HWND& window = *pWindow;
    if (!WaitFor([&] { return (window = watch::ShownWindowOf(peer.ThreadId())) != nullptr; }, 20000))
        return "the NSIS peer showed no window";
    if (!WaitFor([&] { return ShowsText(window, expected::kWelcomeText); }, 5000))
        return "the NSIS peer did not open on its welcome page";
    watch::WaitUntilPainted(window, 2000);
    Click(window, kPeerNext);
    if (!WaitFor([&] { return ShowsText(window, expected::kInsertDiscText); }, 5000))
        return "the NSIS peer did not show its disc page";
    watch::WaitUntilPainted(window, 2000);
    ::Sleep(200);
    return "";
}

}  // namespace

std::string MeasurePeerSearch(const std::string& exe, Figures* pOut)
{
    scenario::Machine machine;
    ToolProcess peer;
    HWND window = nullptr;
    std::string problem = OpenAtDiscPage(peer, exe, {}, &window);
    watch::LinuxProcess linux;
    if (problem.empty() && !linux.Find(exe))
        problem = "the NSIS peer's Linux process was not found in /proc";
    if (problem.empty())
        problem = TimeSearch(linux, window, kPeerNext, kPeerBack, pOut);
    if (problem.empty() && !ShowsText(window, expected::kDiscNotFoundText))
        problem = "the NSIS peer's search ended without its not-found text";
    // Cancel, so that it removes what it unpacked.
    ::PostMessageA(window, WM_COMMAND, kPeerCancel, 0);
    peer.WaitForExit(5000);
    return problem;
}

std::string CheckPeerJob(const std::string& exe)
{
    scenario::Machine machine(scenario::Machine::DiscInD);
    ShortcutFiles::Create(ShortcutFiles::CommonDesktop);
    ShortcutFiles::Create(ShortcutFiles::UserPrograms);
    const fakesetup::StandIn setup("bench-peer-job");
    ToolProcess peer;
    HWND window = nullptr;
    const std::string problem = OpenAtDiscPage(peer, exe, setup.Env(), &window);
    if (!problem.empty())
        return problem;
    Click(window, kPeerNext);
    if (!peer.WaitForExit(30000))
        return "the NSIS peer did not close by itself within 30 s of Next on its disc page";
    if (!setup.Has("end_ms"))
        return "the NSIS peer closed without running the disc's setup program";
    if (ShortcutFiles::Exists(ShortcutFiles::CommonDesktop) || ShortcutFiles::Exists(ShortcutFiles::UserPrograms))
        return "the NSIS peer left a shortcut it had to delete";
    std::printf("nsis: walked through the whole job (setup program run, both shortcuts deleted, closed)\n");
    return "";
}

int CompareStarts(const std::vector<std::string>& exes, int runs)
{
    std::vector<std::map<std::string, Series>> seen(exes.size());
    scenario::Machine machine;  // the tool opens on its welcome step
    for (int run = -1; run < runs; ++run) {  // run -1 warms the caches and is not counted
        for (size_t i = 0; i < exes.size(); ++i, ::Sleep(200)) {
            Figures figures;
            const std::string problem = MeasureStart(exes[i], nullptr, Closing::Kill, &figures);
            if (!problem.empty())
                std::fprintf(stderr, "bench: %s\n", problem.c_str());
            for (const auto& figure : figures)
                if (run >= 0 && problem.empty())
                    seen[i][figure.first].values.push_back(figure.second);
        }
    }
    std::printf("Medians of %d runs each (min and max of the paint); CPU: the program's own, mean, to the paint.\n"
                "%-26s %10s %10s %8s %8s %8s %11s\n",
                runs, "program", "visible ms", "painted ms", "min", "max", "CPU ms", "peak WS KB");
    for (size_t i = 0; i < exes.size(); ++i) {
        std::map<std::string, Series>& s = seen[i];
        std::printf("%-26s %10.1f %10.1f %8.1f %8.1f %8.1f %11.0f\n", BaseName(exes[i]).c_str(),
                    s["visible_ms"].Median(), s["painted_ms"].Median(), s["painted_ms"].Min(), s["painted_ms"].Max(),
                    s["startup_cpu_ms"].Mean(), s["working_set_kb"].Median());
    }
    return 0;
}

}  // namespace bench
