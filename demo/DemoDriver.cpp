// Prepares the demo machine and walks the wizard for scripts/demo.
//
//   DemoDriver headless <run folder> [--slow]   drives every step by itself
//   DemoDriver interactive                      starts the wizard and waits for the user
//
// The machine (harness/machine): the library installed (App Paths and CommonFilesDir in both
// registry views, its folder, the driver file), and the add-on disc in D: (headless: put in
// while the search runs, so that the searching step stays on screen long enough).
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
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Expectations.h"
#include "SetupRun.h"
#include "TestMachine.h"
#include "ToolDriver.h"

using namespace driver;
using namespace machine;
using expected::kVersionBoxCaption;
using fakesetup::SetupRun;

namespace {

// The steps the demo shows, by the text that tells each apart.
struct Step {
    const char* name;
    const char* text;
};
const Step kLibraryMissing = { "LibraryMissing", expected::kLibraryMissingText };
const Step kWelcome = { "Welcome", expected::kWelcomeText };
const Step kInsertDisc = { "InsertDisc", expected::kInsertDiscText };
const Step kSearchingDisc = { "SearchingDisc", expected::kSearchingDiscText };
const Step kDiscNotFound = { "DiscNotFound", expected::kDiscNotFoundText };
const Step kReadyToInstall = { "ReadyToInstall", expected::kReadyToInstallText };
const Step kFollowInstaller = { "FollowInstaller", expected::kFollowInstallerText };
const Step* const kSteps[] = { &kLibraryMissing, &kWelcome, &kInsertDisc, &kSearchingDisc,
                               &kDiscNotFound, &kReadyToInstall, &kFollowInstaller };

// The stand-in setup program's window class (FakeSetup.cpp).
const char kSetupWindowClass[] = "FakeSetupWindow";

// Bounds of every wait; --slow (the i686 build under qemu) stretches them.
DWORD g_scale = 1;
DWORD Ms(DWORD ms) { return ms * g_scale; }
const DWORD kStartMs = 20000, kStepMs = 10000, kSearchMs = 25000, kShotMs = 30000;

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
[[noreturn]] void Fail(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    Say("FAIL", "%s", text);
    ::ExitProcess(1);
}

// The step's name for a failure message (the texts themselves are Shift-JIS).
const char* NameOfShown(HWND wizard)
{
    if (!::IsWindow(wizard))
        return "no wizard at all";
    const std::string shown = ShownText(wizard);
    for (const Step* step : kSteps) {
        if (shown == step->text)
            return step->name;
    }
    return "an unknown text";
}

void ExpectStep(HWND wizard, const Step& step, DWORD ms)
{
    if (!WaitForMainText(wizard, step.text, ms))
        Fail("the wizard did not show %s within %lu s (it shows %s)", step.name, ms / 1000, NameOfShown(wizard));
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
        Responds(h, Ms(5000));
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
            ::SendMessageTimeoutA(top, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, Ms(5000), nullptr);
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
        Fail("the picture %s was not taken within %lu s", name, kShotMs / 1000);
}

void Shot(const char* name, const std::vector<HWND>& windows)
{
    Shot(name, windows, Union(windows));
}

// The stand-in setup program's window, or NULL.
HWND SetupWindow()
{
    HWND h = ::FindWindowA(kSetupWindowClass, nullptr);
    return h != nullptr && ::IsWindowVisible(h) ? h : nullptr;
}

// The machine the demo shows (the release's 32-bit registry view included): everything
// stays until the prefix is thrown away.
struct DemoMachine {
    LibraryInstallation library;
    DiscDrive driveD{ 'D' }, driveE{ 'E' };
    ShortcutFiles shortcuts;
};

// What the setup program is told besides its log: show its window, leave the two shortcuts.
fakesetup::Environment SetupEnv()
{
    return { { "FAKESETUP_WINDOW", "1" },
             { "FAKESETUP_CREATE", ShortcutFiles::PathIn(ShortcutFiles::CommonDesktop) + "|" +
                                       ShortcutFiles::PathIn(ShortcutFiles::CommonPrograms) } };
}

void StartTool(ToolProcess& tool, const std::vector<std::pair<std::string, std::string>>& env)
{
    if (!tool.Start(env))
        Fail("the program could not be started: %s (error %lu)", ToolExePath().c_str(), ::GetLastError());
}

HWND WaitForWizard(ToolProcess& tool)
{
    HWND wizard = tool.WaitForWizard(Ms(kStartMs));
    if (wizard == nullptr) {
        if (!tool.IsRunning())
            Fail("the program ended without showing the wizard");
        Fail("no window \"%s\" appeared within %lu s", expected::kWizardCaption, Ms(kStartMs) / 1000);
    }
    return wizard;
}

void EndAndWait(ToolProcess& tool, HWND wizard)
{
    Click(wizard, kEnd);
    if (!tool.WaitForExit(Ms(kStepMs)))
        Fail("the program did not end after End");
}

void HappyPath(DemoMachine& machine)
{
    // The stand-in stays until the picture of it is taken.
    SetupRun setupRun("demo");

    ToolProcess tool;
    StartTool(tool, setupRun.EnvHeld(SetupEnv()));
    HWND wizard = WaitForWizard(tool);
    ExpectStep(wizard, kWelcome, Ms(kStepMs));
    Shot("01-welcome", { wizard });

    Click(wizard, kNext);
    ExpectStep(wizard, kInsertDisc, Ms(kStepMs));
    Shot("02-insert-disc", { wizard });

    // The drive is still empty, so the search goes on while the picture is taken.
    Click(wizard, kNext);
    ExpectStep(wizard, kSearchingDisc, Ms(kStepMs));
    Shot("03-searching-disc", { wizard });
    machine.driveD.InsertAddOnDisc();
    ExpectStep(wizard, kReadyToInstall, Ms(kSearchMs));
    Shot("04-ready-to-install", { wizard });

    Click(wizard, kNext);
    ExpectStep(wizard, kFollowInstaller, Ms(kStepMs));
    HWND setup = nullptr;
    if (!WaitFor([&] { return (setup = SetupWindow()) != nullptr; }, Ms(kStartMs)))
        Fail("the setup program's window did not appear");
    // Side by side with the wizard, so that neither hides the other's text.
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
    Shot("05-follow-installer", { wizard, setup });

    // Let the stand-in finish: it leaves the shortcuts, the wizard deletes them and closes.
    setupRun.ReleaseWaitFile();
    DWORD exitCode = 0;
    if (!tool.WaitForExit(Ms(kSearchMs), &exitCode))
        Fail("the wizard did not close after the setup program ended (it shows %s)", NameOfShown(wizard));
    const int created = setupRun.Count("created");
    if (created != 2)
        Fail("the setup program made %d of its 2 shortcuts", created);
    if (ShortcutFiles::Exists(ShortcutFiles::CommonDesktop) || ShortcutFiles::Exists(ShortcutFiles::CommonPrograms))
        Fail("a shortcut of the setup program is still there after the wizard closed");
    Say("INFO", "end: the setup program made its 2 shortcuts, the wizard deleted both and closed "
                "by itself (exit code %lu)", exitCode);
    Shot("06-end", {}, Desktop());
}

void LibraryMissing()
{
    NoLibrary noLibrary;
    ToolProcess tool;
    StartTool(tool, {});
    HWND wizard = WaitForWizard(tool);
    ExpectStep(wizard, kLibraryMissing, Ms(kStepMs));
    Shot("07-library-missing", { wizard });
    EndAndWait(tool, wizard);
}

void VersionBoxAndDiscNotFound()
{
    ToolProcess tool;
    StartTool(tool, {});
    HWND wizard = WaitForWizard(tool);
    ExpectStep(wizard, kWelcome, Ms(kStepMs));

    PressKey(wizard, VK_F5);
    HWND box = tool.WaitForWindow(kVersionBoxCaption, Ms(kStepMs));
    if (box == nullptr)
        Fail("no version box appeared after F5");
    Shot("08-version-box", { wizard, box });
    Click(box, IDOK);
    if (!WaitFor([&] { return !::IsWindow(box); }, Ms(kStepMs)))
        Fail("the version box did not close on OK");

    Click(wizard, kNext);
    ExpectStep(wizard, kInsertDisc, Ms(kStepMs));
    Click(wizard, kNext);
    ExpectStep(wizard, kSearchingDisc, Ms(kStepMs));
    Say("INFO", "no disc in any drive: the search gives up after about 10 s");
    ExpectStep(wizard, kDiscNotFound, Ms(kSearchMs));
    Shot("09-disc-not-found", { wizard });
    EndAndWait(tool, wizard);
}

int Headless(const char* runFolder)
{
    g_runFolder = runFolder;
    DemoMachine machine;
    HappyPath(machine);
    machine.driveD.Empty();
    VersionBoxAndDiscNotFound();
    LibraryMissing();
    Say("DONE", "all steps shown");
    return 0;
}

int Interactive()
{
    DemoMachine machine;
    machine.driveD.InsertAddOnDisc();
    SetupRun setup("demo");
    auto env = SetupEnv();
    // Long enough to see the setup program's window.
    env.push_back({ "FAKESETUP_SLEEP_MS", "4000" });
    ToolProcess tool;
    StartTool(tool, setup.Env(env));
    WaitForWizard(tool);
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
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--slow") == 0)
            g_scale = 12;
    }
    if (mode == "headless" && argc > 2)
        return Headless(argv[2]);
    if (mode == "interactive")
        return Interactive();
    std::fprintf(stderr, "usage: DemoDriver headless <run folder> [--slow] | interactive\n");
    return 2;
}
