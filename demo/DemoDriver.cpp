// Prepares the demo machine and walks the wizard for scripts/demo.
//
//   DemoDriver headless <run folder>            drives every step by itself
//   DemoDriver interactive                      starts the wizard and waits for the user
//
// It walks the wizard through the scenario layer (harness/scenario): headless, the whole
// successful run (the add-on disc put into D: while the search runs, so that the searching
// step stays on screen long enough), then the version box, a search that finds nothing and
// a machine without the library. The bounds of its waits follow TOOL_TIME_SCALE, which
// scripts/demo sets for the i686 build under qemu.
//
// Lines on stdout tell the script what to do:
//   SHOT <name> <left> <top> <right> <bottom>  take the picture, cropped to this rectangle of
//                                              the desktop, then create <run folder>\<name>.done
//   INFO <text>  a fact to print
//   FAIL <text>  what did not appear; exit code 1
//   DONE         every step was shown
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "scenario/Scenario.h"
#include "scenario/Walkthrough.h"

using namespace driver;
using namespace machine;
using namespace scenario;

namespace {

const DWORD kShotMs = 30000;

std::string g_runFolder;

void Say(const char* kind, const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    std::printf("%s %s\n", kind, text);
    std::fflush(stdout);
}

// Ends the demo with the one line the script prints. Destructors do not run: the prefix
// is thrown away anyway, and the script kills whatever still runs in it.
[[noreturn]] void Fail(const std::string& problem)
{
    Say("FAIL", "%s", problem.c_str());
    ::ExitProcess(1);
}

void Check(const std::string& problem)
{
    if (!problem.empty())
        Fail(problem);
}

RECT Union(const std::vector<HWND>& windows)
{
    RECT all = {};
    for (HWND h : windows) {
        RECT rc;
        if (::GetWindowRect(h, &rc))
            ::UnionRect(&all, &all, &rc);
    }
    return all;
}

RECT Desktop()
{
    RECT rc;
    ::GetWindowRect(::GetDesktopWindow(), &rc);
    return rc;
}

// Asks the script for a picture of rc (plus a margin) once the windows have painted, and
// waits until it is taken.
void Shot(const char* name, const std::vector<HWND>& windows, RECT rc)
{
    // A round trip through each window's queue lets pending changes reach the screen; the
    // short pause covers the painting that follows them.
    for (HWND h : windows)
        Responds(h, Scaled(5000));
    // An active window has its coloured caption. The wizard activates itself, a moment late
    // under Xvfb; a picture with a grey caption is still a picture, so no failure here.
    if (!windows.empty()) {
        HWND top = windows.back();
        const auto active = [&] { return ::GetForegroundWindow() == top; };
        if (!WaitFor(active, 2000)) {
            ::SetForegroundWindow(top);
            WaitFor(active, 2000);
        }
        // Wine leaves the wizard's caption drawn grey after it starts, although it is the
        // active window: have it drawn as Windows draws an active window.
        GUITHREADINFO gti = {};
        gti.cbSize = sizeof(gti);
        if (::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &gti) && gti.hwndActive == top)
            ::SendMessageTimeoutA(top, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, Scaled(5000), nullptr);
    }
    ::Sleep(300);
    const int margin = 12;
    const RECT desk = Desktop();
    rc.left = std::max(desk.left, rc.left - margin);
    rc.top = std::max(desk.top, rc.top - margin);
    rc.right = std::min(desk.right, rc.right + margin);
    rc.bottom = std::min(desk.bottom, rc.bottom + margin);
    const std::string done = g_runFolder + "\\" + name + ".done";
    ::DeleteFileA(done.c_str());
    Say("SHOT", "%s %ld %ld %ld %ld", name, rc.left, rc.top, rc.right, rc.bottom);
    if (!WaitFor([&] { return ::GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, kShotMs))
        Fail(std::string("the picture ") + name + " was not taken within 30 s");
}

void Shot(const char* name, const std::vector<HWND>& windows)
{
    Shot(name, windows, Union(windows));
}

// Puts the stand-in's window beside the wizard, so that neither hides the other's text.
std::string PlaceSetupWindow(HWND wizard, HWND* pSetup)
{
    HWND setup = nullptr;
    if (!WaitFor([&] { return (setup = fakesetup::ShownSetupWindow()) != nullptr; }, Scaled(20000)))
        return "the setup program's window did not appear";
    RECT rcWizard, rcSetup;
    ::GetWindowRect(wizard, &rcWizard);
    ::GetWindowRect(setup, &rcSetup);
    const int setupHeight = rcSetup.bottom - rcSetup.top;
    const int top = std::max(0L, rcWizard.top - setupHeight - 16);
    ::SetWindowPos(setup, HWND_TOP, rcWizard.left + 40, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    WaitFor([&] {
        RECT rc;
        ::GetWindowRect(setup, &rc);
        return rc.top == top;
    }, 2000);
    *pSetup = setup;
    return "";
}

// The whole successful run, with a picture of each step on the way.
void HappyPath()
{
    Walkthrough run("demo");
    run.discWhileSearching = true;
    run.setupWindow = true;
    run.onStep = [](const StepRow& step, HWND wizard) -> std::string {
        if (&step == &kWelcome)
            Shot("01-welcome", { wizard });
        else if (&step == &kInsertDisc)
            Shot("02-insert-disc", { wizard });
        else if (&step == &kSearchingDisc)
            Shot("03-searching-disc", { wizard });
        else if (&step == &kReadyToInstall)
            Shot("04-ready-to-install", { wizard });
        if (&step != &kFollowInstaller)
            return "";
        HWND setup = nullptr;
        const std::string problem = PlaceSetupWindow(wizard, &setup);
        if (problem.empty())
            Shot("05-follow-installer", { wizard, setup });
        return problem;
    };
    Check(run.Run());
    Say("INFO", "end: the setup program made its 2 shortcuts, the wizard deleted both and closed "
                "by itself (exit code %lu)", run.ExitCode());
    Shot("06-end", {}, Desktop());
}

void EndAndWait(ToolProcess& tool, HWND wizard)
{
    Click(wizard, kEnd);
    if (!tool.WaitForExit(Scaled(10000)))
        Fail("the program did not end after End");
}

void LibraryMissing()
{
    Machine machine(Machine::NoDisc, Machine::WithoutLibrary);
    ToolProcess tool;
    HWND wizard = nullptr;
    Check(Start(tool, kLibraryMissing, &wizard));
    Shot("07-library-missing", { wizard });
    EndAndWait(tool, wizard);
}

void VersionBoxAndDiscNotFound()
{
    Machine machine;
    ToolProcess tool;
    HWND wizard = nullptr;
    Check(Start(tool, kWelcome, &wizard));

    PressKey(wizard, VK_F5);
    HWND box = tool.WaitForWindow(expected::kVersionBoxCaption, Scaled(10000));
    if (box == nullptr)
        Fail("no version box appeared after F5");
    Shot("08-version-box", { wizard, box });
    Click(box, IDOK);
    if (!WaitFor([&] { return !::IsWindow(box); }, Scaled(10000)))
        Fail("the version box did not close on OK");

    Check(Go(wizard, kNext, kInsertDisc));
    Check(Go(wizard, kNext, kSearchingDisc));
    Say("INFO", "no disc in any drive: the search gives up after about 10 s");
    Check(WaitForStep(wizard, kDiscNotFound, Scaled(25000)));
    Shot("09-disc-not-found", { wizard });
    EndAndWait(tool, wizard);
}

int Headless(const char* runFolder)
{
    g_runFolder = runFolder;
    HappyPath();
    VersionBoxAndDiscNotFound();
    LibraryMissing();
    Say("DONE", "all steps shown");
    return 0;
}

int Interactive()
{
    Machine machine(Machine::DiscInD);
    fakesetup::StandIn setup("demo");
    // Long enough to see the setup program's window.
    const auto options = fakesetup::SetupOptions().LeavesShortcuts().ShowsWindow().RunsFor(4000);
    ToolProcess tool;
    if (!tool.Start(setup.Env(options)))
        Fail("the program could not be started: " + ToolExePath());
    if (tool.WaitForWizard(Scaled(20000)) == nullptr)
        Fail("no wizard window appeared");
    Say("INFO", "the wizard is open: click through it (the disc is in D:), or End to stop");
    DWORD exitCode = 0;
    tool.WaitForExit(INFINITE, &exitCode);
    if (setup.Has("created")) {
        const bool left = ShortcutFiles::Exists(ShortcutFiles::CommonDesktop)
                          || ShortcutFiles::Exists(ShortcutFiles::CommonPrograms);
        Say("INFO", "the setup program ran; its shortcuts are %s", left ? "STILL THERE" : "gone");
    }
    Say("DONE", "the wizard closed (exit code %lu)", exitCode);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "headless" && argc > 2)
        return Headless(argv[2]);
    if (mode == "interactive")
        return Interactive();
    std::fprintf(stderr, "usage: DemoDriver headless <run folder> | interactive\n");
    return 2;
}
