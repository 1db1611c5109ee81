#include "framework/core/Exception.h"

#include <gtest/gtest.h>

#include <vector>

namespace framework {
namespace {

TEST(ExceptionTest, CarriesMessageAndClassName) {
    try {
        throw EReadError("Stream read error");
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message, "Stream read error");
        EXPECT_STREQ(e.what(), "Stream read error");
        EXPECT_EQ(e.ClassName(), "EReadError");
    }
}

TEST(ExceptionTest, AbortIsSilentAbort) {
    EXPECT_THROW(Abort(), EAbort);
    try {
        Abort();
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), "EAbort");
    }
}

TEST(ExceptionTest, InOutErrorKeepsCode) {
    EInOutError e("File not found", 2);
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_EQ(e.ClassName(), "EInOutError");
}

TEST(FirstFailureTest, EveryStepRunsAndTheFirstFailureIsRaised) {
    TFirstFailure steps;
    std::vector<int> ran;
    steps.Run([&] { ran.push_back(1); });
    EXPECT_FALSE(steps.Failed());
    steps.Run([&] {
        ran.push_back(2);
        throw EReadError("first");
    });
    steps.Run([&] {
        ran.push_back(3);
        throw EWriteError("second");
    });
    steps.Run([&] { ran.push_back(4); });
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(steps.Failed());
    try {
        steps.RaiseIfAny();
        FAIL() << "nothing raised";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "first");
    }
    TFirstFailure clean;
    clean.Run([] {});
    EXPECT_NO_THROW(clean.RaiseIfAny());
}

}  // namespace
}  // namespace framework
