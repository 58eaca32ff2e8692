// What each step of the wizard must look like, and ways to reach and watch the steps.
#include "WizardSteps.h"

using namespace driver;
using namespace expected;
using machine::WaitFor;

namespace wizard_test {

namespace {

WPARAM CheckOf(HWND button)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    return static_cast<WPARAM>(result);
}

::testing::AssertionResult Verdict(const std::string& problem)
{
    if (problem.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem;
}

}  // namespace

::testing::AssertionResult ShowsStep(HWND wizard, const StepRow& row, DWORD ms)
{
    return Verdict(scenario::WaitForStep(wizard, row, ms));
}

::testing::AssertionResult StillShows(HWND wizard, const StepRow& row)
{
    return Verdict(scenario::StepProblem(wizard, row));
}

bool Settle(HWND wizard, DWORD ms)
{
    // Posted messages of one thread are handled in order. The hidden radio button serves as
    // a marker: once the check state posted to it has arrived, everything posted before has
    // been handled. A second round covers what that handling posted (WM_CHAR after a key).
    HWND radio = ::GetDlgItem(wizard, kRadio);
    if (radio == nullptr)
        return false;
    for (int round = 0; round < 2; ++round) {
        const WPARAM want = CheckOf(radio) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        if (!::PostMessageA(radio, BM_SETCHECK, want, 0))
            return false;
        if (!WaitFor([&] { return ::IsWindow(radio) && CheckOf(radio) == want; }, ms))
            return false;
    }
    return true;
}

void Post(HWND wizard, UINT message, WPARAM wParam, LPARAM lParam)
{
    ::PostMessageA(wizard, message, wParam, lParam);
}

bool WaitForForeground(HWND hWnd, DWORD ms)
{
    return WaitFor([&] {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        return ::GetForegroundWindow() == hWnd;
    }, ms);
}

bool TypeKey(HWND hTarget, WORD vk)
{
    if (!WaitForForeground(::GetAncestor(hTarget, GA_ROOT)))
        return false;
    INPUT input[2] = {};
    for (INPUT& in : input) {
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    }
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return ::SendInput(2, input, sizeof(INPUT)) == 2;
}

std::vector<HWND> VisibleTopLevelWindows()
{
    std::vector<HWND> found;
    ::EnumWindows([](HWND h, LPARAM lParam) -> BOOL {
        if (::IsWindowVisible(h))
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IsWine()
{
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

ForegroundDecoy::ForegroundDecoy()
    : m_hWnd(::CreateWindowExA(0, "STATIC", "wizard test decoy", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 160, 60,
                               nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr))
{
}

ForegroundDecoy::~ForegroundDecoy()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

bool ForegroundDecoy::TakeForeground()
{
    if (m_hWnd == nullptr)
        return false;
    ::SetForegroundWindow(m_hWnd);
    return WaitForForeground(m_hWnd);
}

NameSquatter::NameSquatter(Kind kind, const char* name) : m_hObject(nullptr), m_pszName(name)
{
    if (kind == Event) {
        m_hObject = ::CreateEventA(nullptr, TRUE, FALSE, name);
        return;
    }
    // An empty access list grants nothing to anybody; our own handle keeps the mutex alive.
    ACL acl;
    SECURITY_DESCRIPTOR sd;
    if (!::InitializeAcl(&acl, sizeof(acl), ACL_REVISION) || !::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION)
        || !::SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE))
        return;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), &sd, FALSE };
    m_hObject = ::CreateMutexA(&sa, FALSE, name);
}

NameSquatter::~NameSquatter()
{
    if (m_hObject != nullptr)
        ::CloseHandle(m_hObject);
}

bool NameSquatter::DeniesOthers() const
{
    HANDLE h = ::CreateMutexA(nullptr, FALSE, m_pszName);
    const DWORD error = ::GetLastError();
    if (h != nullptr) {
        ::CloseHandle(h);
        return false;
    }
    return error == ERROR_ACCESS_DENIED;
}

WizardRun::WizardRun(bool withLibrary)
    : m_machine(scenario::Machine::NoDisc, withLibrary ? scenario::Machine::WithLibrary : scenario::Machine::WithoutLibrary)
{
}

WizardRun::~WizardRun()
{
    m_tool.Kill();
}

::testing::AssertionResult WizardRun::Start(const StepRow& firstStep)
{
    return Verdict(scenario::Start(m_tool, firstStep, &m_hWizard));
}

::testing::AssertionResult WizardRun::StartOnInsertDisc()
{
    return Verdict(scenario::OpenAt(m_tool, kInsertDisc, &m_hWizard));
}

::testing::AssertionResult WizardRun::StartOnFatalError()
{
    m_squatter.reset(new NameSquatter);
    if (!m_squatter->Held())
        return ::testing::AssertionFailure() << "could not create the object named " << kMenuExitMutex;
    ::testing::AssertionResult started = Start(kWelcome);
    if (!started)
        return started;
    return Verdict(scenario::Go(m_hWizard, kNext, kFatalError));
}

::testing::AssertionResult WizardRun::EndAndExit(DWORD* pExitCode)
{
    Click(m_hWizard, kEnd);
    if (!m_tool.WaitForExit(5000, pExitCode))
        return ::testing::AssertionFailure() << "the program still runs 5 s after End";
    return ::testing::AssertionSuccess();
}

}  // namespace wizard_test
