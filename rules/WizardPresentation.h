// The wizard's steps and what each step shows: one fixed table, no Win32 call, so that the
// table can be checked on its own.
//
// Functions: FindWizardPresentation, WizardPresentationTable.
#ifndef RULES_WIZARD_PRESENTATION_H
#define RULES_WIZARD_PRESENTATION_H

// The wizard's step. The values are fixed: other programs see the wizard only from outside,
// but the step numbers are part of how this program has always been described.
enum WizardState {
    LibraryMissing = 0,
    Welcome = 1,
    InsertDisc = 2,
    SearchingDisc = 3,
    DiscNotFound = 4,
    ReadyToInstall = 5,
    InstallFailed = 7,
    FollowInstaller = 10,
    ExternalHold = 11,
    FatalError = 13,
};

// Which window takes the focus when a step is shown.
enum WizardFocus { FocusBack, FocusNext, FocusEnd, FocusDialog };

struct WizardPresentation {
    int nState;
    const char* pszMain;     // text of the main message area; "" when empty
    bool bMainVisible;
    const char* pszIntro;    // text of the short introduction area; "" when empty
    bool bIntroVisible;
    bool bBackEnabled;
    bool bNextEnabled;
    const char* pszEndCaption;
    bool bEndEnabled;
    WizardFocus focus;
};

extern const char kBackCaption[];   // "戻る"
extern const char kNextCaption[];   // "次へ"
extern const char kEndCaption[];    // "終了"
extern const char kAbortCaption[];  // "中止", on End while the disc search runs
extern const char kWizardCaption[];
extern const char kUnsupportedSystemText[];

// The row of nState, or NULL for a step that has no presentation (ExternalHold, or any
// value that is not a step).
const WizardPresentation* FindWizardPresentation(int nState);

// Every row, for checks over the whole table.
const WizardPresentation* WizardPresentationTable(int* pnRows);

#endif
