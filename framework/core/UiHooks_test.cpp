#include "framework/core/UiHooks.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace framework {
namespace {

// The core alone: nothing installs a handler, so every request takes its quiet default.
TEST(UiHooksTest, WithoutAUserInterfaceRequestsTakeTheirDefaults) {
    ASSERT_FALSE(SetMessagePump({}));
    ASSERT_FALSE(SetMessageBoxHandler({}));
    ASSERT_FALSE(SetScreenCursorHandler({}));
    PumpMessages();
    EXPECT_EQ(AskMessageBox("Text", "Caption", 1), 2);  // IDCANCEL
    EXPECT_EQ(SetScreenCursor(-11), 0);
}

TEST(UiHooksTest, InstalledHandlersAnswerAndAreReplacedInTurn) {
    int pumped = 0;
    std::string asked;
    int16_t cursor = 0;
    SetMessagePump([&] { ++pumped; });
    SetMessageBoxHandler([&](const std::string& Text, const std::string& Caption, uint32_t Flags) {
        asked = Caption + ":" + Text + ":" + std::to_string(Flags);
        return 6;  // IDYES
    });
    SetScreenCursorHandler([&](int16_t Cursor) { return std::exchange(cursor, Cursor); });

    PumpMessages();
    PumpMessages();
    EXPECT_EQ(pumped, 2);
    EXPECT_EQ(AskMessageBox("Go on?", "Zip", 4), 6);
    EXPECT_EQ(asked, "Zip:Go on?:4");
    EXPECT_EQ(SetScreenCursor(-11), 0);
    EXPECT_EQ(SetScreenCursor(0), -11);

    EXPECT_TRUE(SetMessagePump({}));
    EXPECT_TRUE(SetMessageBoxHandler({}));
    EXPECT_TRUE(SetScreenCursorHandler({}));
    PumpMessages();
    EXPECT_EQ(pumped, 2);
    EXPECT_EQ(AskMessageBox("Go on?", "Zip", 4), 2);
}

}  // namespace
}  // namespace framework
