#include "framework/core/Exception.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace framework
