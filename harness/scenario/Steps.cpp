// What each step of the wizard must show, and the comparison with a live wizard.
#include "scenario/Steps.h"

#include <cstdio>
#include <sstream>

#include "machine/Clock.h"

using namespace driver;
using namespace expected;
using machine::WaitFor;

namespace scenario {

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

}  // namespace

// The rows, in the order of the step values:
//   name, main text, shown, intro text, shown, Back enabled, Next enabled, End's caption, focus.
// On SearchingDisc the wizard gives the focus to the dialog window itself, and the dialog
// manager passes a dialog's focus on to its first enabled tab stop: End, the only enabled button.
const StepRow kLibraryMissing = { "LibraryMissing", kLibraryMissingText, true, "", false, false, false, kEndCaption, kEnd };
const StepRow kWelcome = { "Welcome", "", false, kWelcomeText, true, false, true, kEndCaption, kNext };
const StepRow kInsertDisc = { "InsertDisc", kInsertDiscText, true, "", false, true, true, kEndCaption, kNext };
const StepRow kSearchingDisc = { "SearchingDisc", kSearchingDiscText, true, "", false, false, false, kAbortCaption, kEnd };
const StepRow kDiscNotFound = { "DiscNotFound", kDiscNotFoundText, true, "", false, true, false, kEndCaption, kBack };
const StepRow kReadyToInstall = { "ReadyToInstall", kReadyToInstallText, true, "", false, true, true, kEndCaption, kNext };
const StepRow kInstallFailed = { "InstallFailed", kInstallFailedText, true, "", false, false, false, kEndCaption, kEnd };
const StepRow kFollowInstaller = { "FollowInstaller", kFollowInstallerText, true, "", false, false, false, kEndCaption, kEnd };
const StepRow kFatalError = { "FatalError", kFatalErrorText, true, "", false, false, false, kEndCaption, kEnd };

const StepRow* const kAllRows[9] = { &kLibraryMissing, &kWelcome, &kInsertDisc, &kSearchingDisc, &kDiscNotFound,
                                     &kReadyToInstall, &kInstallFailed, &kFollowInstaller, &kFatalError };

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

std::string StepProblem(HWND wizard, const StepRow& row)
{
    if (!::IsWindow(wizard))
        return std::string("expected step ") + row.name + ", but the wizard is gone";
    const WizardView view = ReadWizard(wizard);
    std::string problems = Mismatch(view, row);
    const std::string placeholders = VisiblePlaceholders(wizard);
    if (!placeholders.empty())
        problems += "visible template placeholders: " + placeholders + "\n";
    if (problems.empty())
        return problems;
    return std::string("expected step ") + row.name + " (the screen looks like " + Resembles(view) + "):\n" + problems;
}

std::string WaitForStep(HWND wizard, const StepRow& row, DWORD ms)
{
    WaitFor([&] { return StepProblem(wizard, row).empty(); }, ms);
    return StepProblem(wizard, row);
}
}  // namespace scenario
