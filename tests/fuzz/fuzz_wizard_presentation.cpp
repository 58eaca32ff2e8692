// FindWizardPresentation on any int, against a scan of the table and the list of steps,
// and the row it gives checked on its own.
//
// Input: the int (4 bytes, little-endian).
#include "FuzzSupport.h"

#include "wizard/WizardPresentation.h"

namespace {

const int kSteps[] = {LibraryMissing, Welcome, InsertDisc, SearchingDisc, DiscNotFound,
                      ReadyToInstall, InstallFailed, FollowInstaller, ExternalHold, FatalError};

bool IsStep(int n)
{
    for (int s : kSteps) {
        if (s == n)
            return true;
    }
    return false;
}

bool IsText(const char* s) { return s != nullptr && fuzz::IsValidCp932(s, std::strlen(s)); }

void CheckTable()
{
    // Back, Next, End and Abort in code page 932: this build really has the program's
    // bytes (see cp932_literals.cpp).
    FUZZ_CHECK_BYTES("\x96\xDF\x82\xE9", kBackCaption, "Back caption is code page 932");
    FUZZ_CHECK_BYTES("\x8E\x9F\x82\xD6", kNextCaption, "Next caption is code page 932");
    FUZZ_CHECK_BYTES("\x8F\x49\x97\xB9", kEndCaption, "End caption is code page 932");
    FUZZ_CHECK_BYTES("\x92\x86\x8E\x7E", kAbortCaption, "Abort caption is code page 932");
    FUZZ_CHECK(IsText(kWizardCaption) && IsText(kUnsupportedSystemText), "fixed texts are valid code page 932");
    int rows = -1;
    const WizardPresentation* table = WizardPresentationTable(&rows);
    FUZZ_CHECK(table != nullptr && rows > 0, "the table has rows");
    FUZZ_CHECK(WizardPresentationTable(nullptr) == table, "the row count is optional");
    for (int i = 0; i < rows; ++i) {
        for (int j = i + 1; j < rows; ++j)
            FUZZ_CHECK(table[i].nState != table[j].nState, "each step has at most one row");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool tableChecked = (CheckTable(), true);
    (void)tableChecked;
    fuzz::BeginCase();
    fuzz::Reader in(data, size);
    const int state = static_cast<int>(in.U32());
    fuzz::ShowNumber("nState", static_cast<uint32_t>(state));

    int rows = 0;
    const WizardPresentation* table = WizardPresentationTable(&rows);
    const WizardPresentation* expected = nullptr;
    for (int i = 0; i < rows; ++i) {
        if (table[i].nState == state)
            expected = &table[i];
    }

    const WizardPresentation* row = FindWizardPresentation(state);
    FUZZ_CHECK(row == expected, "gives the table's own row for the step, or NULL when it has none");
    FUZZ_CHECK((row != nullptr) == (IsStep(state) && state != ExternalHold),
               "every step but ExternalHold has a row, and nothing else does");
    if (row == nullptr)
        return 0;

    FUZZ_CHECK(row->nState == state, "the row is the step's");
    FUZZ_CHECK(IsText(row->pszMain) && IsText(row->pszIntro), "main and intro texts are valid code page 932, \"\" when empty");
    FUZZ_CHECK(row->pszEndCaption != nullptr
                   && (std::strcmp(row->pszEndCaption, kEndCaption) == 0 || std::strcmp(row->pszEndCaption, kAbortCaption) == 0),
               "End reads End or Abort");
    FUZZ_CHECK(row->focus == FocusBack || row->focus == FocusNext || row->focus == FocusEnd || row->focus == FocusDialog,
               "the focus is one of the four");
    // The focus never goes to a disabled button.
    FUZZ_CHECK(row->focus != FocusBack || row->bBackEnabled, "focus on Back only when Back is enabled");
    FUZZ_CHECK(row->focus != FocusNext || row->bNextEnabled, "focus on Next only when Next is enabled");
    FUZZ_CHECK(row->focus != FocusEnd || row->bEndEnabled, "focus on End only when End is enabled");
    FUZZ_CHECK(FindWizardPresentation(state) == row, "the same step gives the same row");
    return 0;
}
