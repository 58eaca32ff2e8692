#include "PeerMeasurements.h"

#include <windows.h>

#include "expected/Expectations.h"
#include "ProcessSampler.h"
#include "scenario/Scenario.h"
#include "fakesetup/StandIn.h"
#include "machine/TestMachine.h"
#include "driver/ToolDriver.h"
#include "WindowWatch.h"

using namespace driver;
using namespace machine;

namespace bench {

namespace {

const int kPeerNext = 1, kPeerCancel = 2, kPeerBack = 3;

bool WaitForText(HWND hWnd, const char* text, DWORD ms)
{
    return WaitFor([&] { return ShowsText(hWnd, text); }, ms);
}

// Starts the peer and waits for its welcome page, painted. NULL and pError on failure.
HWND OpenAtWelcome(ToolProcess& peer, const std::string& exe, const fakesetup::Environment& env,
                   std::string* pError)
{
    if (!peer.Start(env, exe)) {
        *pError = "could not start " + exe;
        return nullptr;
    }
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = ShownWindowOf(peer.ThreadId())) != nullptr; }, 20000)) {
        *pError = "the NSIS peer showed no window";
        return nullptr;
    }
    if (!WaitForText(window, expected::kWelcomeText, 5000)) {
        *pError = "the NSIS peer did not open on its welcome page";
        return nullptr;
    }
    WaitUntilPainted(window, 2000);
    return window;
}

// Next from the welcome page to the disc page, painted and idle.
bool ToDiscPage(HWND window, std::string* pError)
{
    Click(window, kPeerNext);
    if (!WaitForText(window, expected::kInsertDiscText, 5000)) {
        *pError = "the NSIS peer did not show its disc page";
        return false;
    }
    WaitUntilPainted(window, 2000);
    ::Sleep(200);
    return true;
}

void Close(ToolProcess& peer, HWND window)
{
    ::PostMessageA(window, WM_COMMAND, kPeerCancel, 0);
    if (!peer.WaitForExit(5000))
        peer.Kill();
}

}  // namespace

SearchSample MeasurePeerSearch(const std::string& exe, std::string* pError)
{
    SearchSample sample;
    scenario::Machine machine;
    ToolProcess peer;
    HWND window = OpenAtWelcome(peer, exe, {}, pError);
    if (window == nullptr || !ToDiscPage(window, pError))
        return sample;
    LinuxProcess linux;
    if (!linux.Find(exe)) {
        *pError = "the NSIS peer's Linux process was not found in /proc";
        return sample;
    }
    if (!TimeSearch(linux, window, kPeerNext, kPeerBack, &sample)) {
        *pError = "the NSIS peer's search did not end within 40 s";
        return sample;
    }
    if (!ShowsText(window, expected::kDiscNotFoundText)) {
        *pError = "the NSIS peer's search ended without its not-found text";
        return sample;
    }
    Close(peer, window);
    sample.ok = true;
    return sample;
}

bool CheckPeerJob(const std::string& exe, std::string* pError)
{
    scenario::Machine machine(scenario::Machine::DiscInD);
    ShortcutFiles::Create(ShortcutFiles::CommonDesktop);
    ShortcutFiles::Create(ShortcutFiles::UserPrograms);
    const fakesetup::StandIn setup("bench-peer-job");
    ToolProcess peer;
    HWND window = OpenAtWelcome(peer, exe, setup.Env(), pError);
    if (window == nullptr || !ToDiscPage(window, pError))
        return false;
    Click(window, kPeerNext);
    if (!peer.WaitForExit(30000)) {
        *pError = "the NSIS peer did not close by itself within 30 s of Next on its disc page";
        return false;
    }
    if (!setup.Has("end_ms")) {
        *pError = "the NSIS peer closed without running the disc's setup program";
        return false;
    }
    if (ShortcutFiles::Exists(ShortcutFiles::CommonDesktop) || ShortcutFiles::Exists(ShortcutFiles::UserPrograms)) {
        *pError = "the NSIS peer left a shortcut it had to delete";
        return false;
    }
    return true;
}

}  // namespace bench
