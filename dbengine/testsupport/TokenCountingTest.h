#pragma once
// A fixture for expression tests: it starts the expression library and checks, after every test,
// that each token taken from the pool went back, also after errors.

#include <gtest/gtest.h>

#include <cstdint>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/session/Library.h"

namespace dbengine::testsupport {

class TokenCountingTest : public ::testing::Test {
protected:
    void SetUp() override {
        LibraryStartup();
        InUse = ExpTokensInUse();
    }
    void TearDown() override {
        EXPECT_EQ(ExpTokensInUse(), InUse) << "tokens not given back";
        LibraryShutdown();
    }

    int64_t InUse = 0;
};

}  // namespace dbengine::testsupport
