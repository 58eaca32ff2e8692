// Which event leads the wizard from which step to which, and what it does on the way: one
// fixed table, no Win32 call, so every (step, event) pair can be checked on its own. The
// dialog's handlers look up the row and carry out its actions.
//
// Functions: FindWizardTransition.
#ifndef RULES_WIZARD_FLOW_H
#define RULES_WIZARD_FLOW_H

// What can happen to the wizard: its three buttons and the three private messages, each
// message split by its wParam.
enum WizardEvent {
    EventNext,            // Next (OnOK)
    EventBack,            // Back
    EventEnd,             // End (OnCancel)
    EventDiscFound,       // WM_DISC_SEARCH_DONE, wParam not 0
    EventDiscMissing,     // WM_DISC_SEARCH_DONE, wParam 0
    EventSetupRan,        // WM_INSTALL_DONE, wParam not 0
    EventSetupNotStarted, // WM_INSTALL_DONE, wParam 0
    EventExternalFollow,  // WM_EXTERNAL_STATUS, wParam not 0
    EventExternalHold,    // WM_EXTERNAL_STATUS, wParam 0
    kWizardEventCount
};

// What a row does, carried out in this order; a start that fails posts the quit message and
// ends the row there, the step unchanged.
enum WizardAction {
    ActReleaseMutex = 1 << 0,   // close the menu-exit mutex's handle, when the wizard holds one
    ActDisableNext = 1 << 1,
    ActHoldMutex = 1 << 2,      // create the menu-exit mutex; the row's step is FatalError
                                // instead when that fails
    ActStartSearch = 1 << 3,
    ActStartInstaller = 1 << 4,
    ActCancelSearch = 1 << 5,   // ask the running search to stop
    // then the row's step, when it has one: stored and presented
    ActForeground = 1 << 6,     // bring the wizard to the front
    ActEndDialog = 1 << 7,
};

// A row's step when the event leaves the step (and the screen) as they are.
const int kSameStep = -1;

struct WizardTransition {
    int nState;      // a WizardState, or kAnyStep for the row that applies on every other step
    WizardEvent event;
    unsigned actions;
    int nNext;       // the step to store and present, or kSameStep
};
const int kAnyStep = -2;

// The row of event on nState: never NULL (an event that does nothing on a step has a row
// without actions).
const WizardTransition* FindWizardTransition(int nState, WizardEvent event);

#endif
