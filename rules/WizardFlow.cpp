// Which event leads where. A row for a step comes before the row for any step.
#include "rules/WizardFlow.h"

#include "rules/WizardPresentation.h"

namespace {

const WizardTransition kTable[] = {
    // step            event                  actions                                  next
    { Welcome,         EventNext,             ActHoldMutex,                            InsertDisc },
    { InsertDisc,      EventNext,             ActStartSearch,                          SearchingDisc },
    { ReadyToInstall,  EventNext,             ActDisableNext | ActStartInstaller,      FollowInstaller },
    { kAnyStep,        EventNext,             0,                                       kSameStep },
    // Back from InsertDisc gives the mutex up; from later steps it stays held, and the next
    // search empties the path the last one found.
    { InsertDisc,      EventBack,             ActReleaseMutex,                         Welcome },
    { DiscNotFound,    EventBack,             0,                                       InsertDisc },
    { ReadyToInstall,  EventBack,             0,                                       InsertDisc },
    { kAnyStep,        EventBack,             0,                                       kSameStep },
    // During the search End only asks it to stop; its report moves the wizard on.
    { SearchingDisc,   EventEnd,              ActCancelSearch,                         kSameStep },
    { kAnyStep,        EventEnd,              ActEndDialog,                            kSameStep },
    // The messages act on every step alike.
    { kAnyStep,        EventDiscFound,        ActForeground,                           ReadyToInstall },
    { kAnyStep,        EventDiscMissing,      ActForeground,                           DiscNotFound },
    { kAnyStep,        EventSetupRan,         ActReleaseMutex | ActEndDialog,          kSameStep },
    { kAnyStep,        EventSetupNotStarted,  ActReleaseMutex | ActForeground,         InstallFailed },
    { kAnyStep,        EventExternalFollow,   0,                                       FollowInstaller },
    // ExternalHold has no presentation: the screen keeps what it shows.
    { FatalError,      EventExternalHold,     0,                                       FatalError },
    { kAnyStep,        EventExternalHold,     0,                                       ExternalHold },
};

}  // namespace

const WizardTransition* FindWizardTransition(int nState, WizardEvent event)
{
    for (const WizardTransition& row : kTable) {
        if (row.event == event && (row.nState == nState || row.nState == kAnyStep))
            return &row;
    }
    // Only a value outside WizardEvent gets here: it does nothing.
    static const WizardTransition kNothing = { kAnyStep, kWizardEventCount, 0, kSameStep };
    return &kNothing;
}
