// Named mutexes between objects and processes, and the user's name.
#include "platform/Instance.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/UserEnv.h"

namespace platform {
namespace {

TEST(InstanceTest, SecondMutexOfANameFindsTheFirstInThisAndInAnotherProcess) {
    testsupport::ScopedUserEnv env;
    auto first = std::make_unique<TNamedMutex>("KORVANE.EXE");
    ASSERT_TRUE(first->Valid());
    EXPECT_FALSE(first->AlreadyExists());
    EXPECT_TRUE(TNamedMutex("KORVANE.EXE").AlreadyExists());
    EXPECT_FALSE(TNamedMutex("OTHER.EXE").AlreadyExists());
    EXPECT_EQ(
        testsupport::RunInChildProcess([] { return TNamedMutex("KORVANE.EXE").AlreadyExists() ? 0 : 1; }), 0);
    first.reset();  // released with its holder
    EXPECT_FALSE(TNamedMutex("KORVANE.EXE").AlreadyExists());
    EXPECT_EQ(
        testsupport::RunInChildProcess([] { return TNamedMutex("KORVANE.EXE").AlreadyExists() ? 1 : 0; }), 0);
}

TEST(InstanceTest, UserNameIsTheLoginName) {
    EXPECT_FALSE(GetUserName().empty());
}

}  // namespace
}  // namespace platform
