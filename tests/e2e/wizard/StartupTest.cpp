// Start-up: which step the wizard opens on, depending on the library installation.
#include <gtest/gtest.h>

#include "WizardSteps.h"

using namespace driver;
using namespace wizard_test;

namespace {

enum class Library { Complete, Unregistered, WithoutConfig, WithoutDriver };

TEST(Startup, OpensOnWelcomeOnlyWhenTheWholeLibraryIsInstalled)
{
    struct Case {
        const char* name;
        Library library;
        const StepRow* firstStep;
    };
    const Case cases[] = {
        { "complete library", Library::Complete, &kWelcome },
        { "no registration", Library::Unregistered, &kLibraryMissing },
        { "no configuration file", Library::WithoutConfig, &kLibraryMissing },
        { "no driver file", Library::WithoutDriver, &kLibraryMissing },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WizardRun run(c.library != Library::Unregistered);
        if (c.library == Library::WithoutConfig)
            run.Library()->RemoveConfig();
        if (c.library == Library::WithoutDriver)
            run.Library()->RemoveDriver();
        ASSERT_TRUE(run.Start(*c.firstStep));
        EXPECT_TRUE(MutexExists(kSingleInstanceMutex));
        EXPECT_FALSE(MutexExists(kMenuExitMutex)) << "nothing holds the menu-exit mutex before Next";
    }
}

}  // namespace
