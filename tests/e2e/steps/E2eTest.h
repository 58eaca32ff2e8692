// What every end-to-end test file starts with: GoogleTest, the harness with its scenario
// layer, the tests' own steps, and the namespaces they are used from.
#ifndef E2E_TEST_H
#define E2E_TEST_H

#include <gtest/gtest.h>

#include "ReliabilitySteps.h"
#include "Scenario.h"
#include "WizardSteps.h"
#include "WorkerSteps.h"

using namespace driver;
using namespace expected;
using namespace fakesetup;
using namespace machine;
using namespace scenario;
using namespace steps;
using namespace wizard_test;

#endif
