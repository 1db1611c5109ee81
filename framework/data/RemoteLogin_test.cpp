#include "framework/data/RemoteLogin.h"

#include <gtest/gtest.h>

using namespace framework;

TEST(RemoteLogin, WithoutADialogTheLoginIsRefusedAndTheNamesStay) {
    TRemoteLoginDialog saved = SetRemoteLoginDialog(nullptr);
    std::string user = "guest", password = "pw";
    EXPECT_FALSE(AskRemoteLogin(user, password));
    EXPECT_EQ(user, "guest");
    EXPECT_EQ(password, "pw");
    // An installed dialog answers and may change the names; installing returns the one replaced.
    SetRemoteLoginDialog([](std::string& u, std::string& p) {
        u = "admin";
        p = "secret";
        return true;
    });
    EXPECT_TRUE(AskRemoteLogin(user, password));
    EXPECT_EQ(user, "admin");
    EXPECT_EQ(password, "secret");
    EXPECT_TRUE(static_cast<bool>(SetRemoteLoginDialog(saved)));
}
