// What each step of the wizard must show, beside the expected texts of Expectations.h, and
// the comparison of a live wizard with a row. Nothing here fails a test: a difference comes
// back as text.
//
// Classes: StepRow.
#ifndef SCENARIO_STEPS_H
#define SCENARIO_STEPS_H

#include <windows.h>

#include <string>

#include "driver/ToolDriver.h"

namespace scenario {

// One row of what the wizard shows on a step. focusId: a control ID, or -1 for the dialog.
struct StepRow {
    const char* name;
    const char* mainText;
    bool mainShown;
    const char* introText;
    bool introShown;
    bool backEnabled;
    bool nextEnabled;
    const char* endCaption;
    int focusId;
};

extern const StepRow kLibraryMissing, kWelcome, kInsertDisc, kSearchingDisc, kDiscNotFound,
    kReadyToInstall, kInstallFailed, kFollowInstaller, kFatalError;
// Every row, in the order of the step values.
extern const StepRow* const kAllRows[9];

// Every difference between what the wizard shows and the row, one per line; empty when
// they agree. A visible radio button counts as a difference.
std::string Mismatch(const driver::WizardView& view, const StepRow& row);
// Names the rows that the view matches except for focus, to explain a failure.
std::string Resembles(const driver::WizardView& view);

// "" when the wizard shows the row in every respect now (template placeholders never
// visible); else what differs, with the rows the screen resembles.
std::string StepProblem(HWND wizard, const StepRow& row);
// The same after waiting (bounded) for the row to show.
std::string WaitForStep(HWND wizard, const StepRow& row, DWORD ms);

}  // namespace scenario

#endif
