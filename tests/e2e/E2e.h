// The one adapter between the scenario layer and GoogleTest: a problem ("" or what went
// wrong) becomes the test's failure. Every end-to-end test file starts with it.
//
// Functions: e2e::Fine; macros EXPECT_FINE, ASSERT_FINE.
#ifndef E2E_H
#define E2E_H

#include <gtest/gtest.h>

#include <string>

#include "scenario/Session.h"

namespace e2e {

inline ::testing::AssertionResult Fine(const std::string& problem)
{
    if (problem.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem;
}

}  // namespace e2e

#define EXPECT_FINE(problem) EXPECT_TRUE(::e2e::Fine(problem))
#define ASSERT_FINE(problem) ASSERT_TRUE(::e2e::Fine(problem))

#endif
