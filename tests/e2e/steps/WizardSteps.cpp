// What each step of the wizard must look like, and ways to reach and watch the steps.
#include "WizardSteps.h"

#include <cstdio>
#include <sstream>

using namespace driver;
using namespace expected;
using machine::WaitFor;

namespace wizard_test {

namespace {

// Shift-JIS text is unreadable in most logs: show it escaped beside its length.
std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof(buffer), "\\x%02X", c);
            out += buffer;
        }
    }
    return out + "\" (" + std::to_string(text.size()) + " bytes)";
}

void Compare(std::ostringstream& out, const char* what, const std::string& expected, const std::string& actual)
{
    if (expected != actual)
        out << what << ": expected " << Quote(expected) << ", actual " << Quote(actual) << "\n";
}

void Compare(std::ostringstream& out, const char* what, bool expected, bool actual)
{
    if (expected != actual)
        out << what << ": expected " << (expected ? "yes" : "no") << ", actual " << (actual ? "yes" : "no") << "\n";
}

const StepRow* const kAllRows[] = { &kLibraryMissing, &kWelcome, &kInsertDisc, &kSearchingDisc, &kDiscNotFound,
                                    &kReadyToInstall, &kInstallFailed, &kFollowInstaller, &kFatalError };

std::string VisiblePlaceholders(HWND wizard)
{
    std::string found;
    for (HWND child = ::GetWindow(wizard, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child))
            continue;
        const std::string text = WindowText(child);
        for (const char* placeholder : kPlaceholders) {
            if (text == placeholder)
                found += std::string(found.empty() ? "" : ", ") + placeholder;
        }
    }
    return found;
}

WPARAM CheckOf(HWND button)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    return static_cast<WPARAM>(result);
}

}  // namespace

// The rows, in the order of the step values.
const StepRow kLibraryMissing = {
    "LibraryMissing",
    kLibraryMissingText,
    true, "", false, false, false, kEndCaption, kEnd,
};
const StepRow kWelcome = {
    "Welcome",
    "", false,
    kWelcomeText, true,
    false, true, kEndCaption, kNext,
};
const StepRow kInsertDisc = {
    "InsertDisc",
    kInsertDiscText,
    true, "", false, true, true, kEndCaption, kNext,
};
// The wizard gives the focus to the dialog window itself here, and the dialog manager passes
// a dialog's focus on to its first enabled tab stop: End, the only enabled button.
const StepRow kSearchingDisc = {
    "SearchingDisc", kSearchingDiscText, true, "", false, false, false, kAbortCaption, kEnd,
};
const StepRow kDiscNotFound = {
    "DiscNotFound",
    kDiscNotFoundText,
    true, "", false, true, false, kEndCaption, kBack,
};
const StepRow kReadyToInstall = {
    "ReadyToInstall", kReadyToInstallText,
    true, "", false, true, true, kEndCaption, kNext,
};
const StepRow kInstallFailed = {
    "InstallFailed", kInstallFailedText,
    true, "", false, false, false, kEndCaption, kEnd,
};
const StepRow kFollowInstaller = {
    "FollowInstaller", kFollowInstallerText,
    true, "", false, false, false, kEndCaption, kEnd,
};
const StepRow kFatalError = {
    "FatalError", kFatalErrorText,
    true, "", false, false, false, kEndCaption, kEnd,
};

std::string Mismatch(const WizardView& view, const StepRow& row)
{
    std::ostringstream out;
    Compare(out, "caption", kWizardCaption, view.caption);
    Compare(out, "main text", row.mainText, view.main.text);
    Compare(out, "main shown", row.mainShown, view.main.visible);
    Compare(out, "intro text", row.introText, view.intro.text);
    Compare(out, "intro shown", row.introShown, view.intro.visible);
    Compare(out, "back caption", kBackCaption, view.back.text);
    Compare(out, "back enabled", row.backEnabled, view.back.enabled);
    Compare(out, "next caption", kNextCaption, view.next.text);
    Compare(out, "next enabled", row.nextEnabled, view.next.enabled);
    Compare(out, "end caption", row.endCaption, view.end.text);
    Compare(out, "end enabled", true, view.end.enabled);
    Compare(out, "back shown", true, view.back.visible);
    Compare(out, "next shown", true, view.next.visible);
    Compare(out, "end shown", true, view.end.visible);
    Compare(out, "radio shown", false, view.radio.visible);
    if (view.focusId != row.focusId)
        out << "focus: expected " << row.focusId << ", actual " << view.focusId << " (-1 the dialog, 0 none)\n";
    return out.str();
}

std::string Resembles(const WizardView& view)
{
    WizardView unfocused = view;
    std::string names;
    for (const StepRow* row : kAllRows) {
        unfocused.focusId = row->focusId;
        if (Mismatch(unfocused, *row).empty())
            names += std::string(names.empty() ? "" : ", ") + row->name;
    }
    return names.empty() ? "no step" : names;
}

namespace {

::testing::AssertionResult Verdict(HWND wizard, const StepRow& row)
{
    if (!::IsWindow(wizard))
        return ::testing::AssertionFailure() << "expected step " << row.name << ", but the wizard is gone";
    const WizardView view = ReadWizard(wizard);
    std::string problems = Mismatch(view, row);
    const std::string placeholders = VisiblePlaceholders(wizard);
    if (!placeholders.empty())
        problems += "visible template placeholders: " + placeholders + "\n";
    if (problems.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected step " << row.name << " (the screen looks like "
                                         << Resembles(view) << "):\n" << problems;
}

}  // namespace

::testing::AssertionResult ShowsStep(HWND wizard, const StepRow& row, DWORD ms)
{
    WaitFor([&] { return static_cast<bool>(Verdict(wizard, row)); }, ms);
    return Verdict(wizard, row);
}

::testing::AssertionResult StillShows(HWND wizard, const StepRow& row)
{
    return Verdict(wizard, row);
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
{
    if (withLibrary)
        m_library.reset(new machine::LibraryInstallation);
    else
        m_noLibrary.reset(new machine::NoLibrary);
}

WizardRun::~WizardRun()
{
    m_tool.Kill();
}

::testing::AssertionResult WizardRun::Start(const StepRow& firstStep)
{
    if (!m_tool.Start())
        return ::testing::AssertionFailure() << "the program did not start: " << ToolExePath();
    m_hWizard = m_tool.WaitForWizard();
    if (m_hWizard == nullptr)
        return ::testing::AssertionFailure() << "no wizard window appeared";
    return ShowsStep(m_hWizard, firstStep);
}

::testing::AssertionResult WizardRun::StartOnInsertDisc()
{
    ::testing::AssertionResult started = Start(kWelcome);
    if (!started)
        return started;
    Click(m_hWizard, kNext);
    return ShowsStep(m_hWizard, kInsertDisc);
}

::testing::AssertionResult WizardRun::EndAndExit(DWORD* pExitCode)
{
    Click(m_hWizard, kEnd);
    if (!m_tool.WaitForExit(5000, pExitCode))
        return ::testing::AssertionFailure() << "the program still runs 5 s after End";
    return ::testing::AssertionSuccess();
}

}  // namespace wizard_test
