// The password dialog, drawn headless and driven by keys and clicks: button states, the session's
// passwords it changes, and an encrypted table opened after OK and refused after Cancel.

#include "dbsql/components/DbPasswordDialog.h"

#include <gtest/gtest.h>

#include "dbengine/session/DataSession.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/testsupport/FormDriver.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::CreateTestTable;
using dbsql::testsupport::TTestTable;

namespace {

struct PasswordDialogTest : dbsql::testsupport::SessionFixture {
    TFormDriver Driver;
    TDbSession& Session = DefaultSession();
    bool Has(const std::string& p) { return Session.EngineSession()->HasPassword(p); }
};

TDbPasswordDialog& Dialog(TCustomForm& form) {
    return dynamic_cast<TDbPasswordDialog&>(form);
}

}  // namespace

TEST_F(PasswordDialogTest, ButtonsFollowTheEditAndChangeTheSessionsPasswords) {
    Session.Open();
    Session.AddPassword("old");
    Driver.AnswerWith([&](TCustomForm& form) {
        TDbPasswordDialog& d = Dialog(form);
        EXPECT_EQ(d.Caption(), "Enter password");
        EXPECT_EQ(d.Edit->PasswordChar(), '*');
        EXPECT_FALSE(d.OKButton->Enabled());
        EXPECT_FALSE(d.AddButton->Enabled());
        EXPECT_FALSE(d.RemoveButton->Enabled());
        EXPECT_TRUE(d.RemoveAllButton->Enabled());
        Driver.Type("one");
        EXPECT_TRUE(d.OKButton->Enabled());
        EXPECT_TRUE(d.AddButton->Enabled());
        Driver.Click(*d.AddButton);
        EXPECT_TRUE(Has("one"));
        EXPECT_EQ(d.Edit->Text(), "");
        EXPECT_TRUE(d.Edit->Focused());
        EXPECT_FALSE(d.AddButton->Enabled());
        EXPECT_TRUE(d.OKButton->Enabled());  // a password was added in this dialog
        Driver.Type("old");
        Driver.Click(*d.RemoveButton);
        EXPECT_FALSE(Has("old"));
        EXPECT_TRUE(Has("one"));
        Driver.Click(*d.RemoveAllButton);
        EXPECT_FALSE(Has("one"));
        Driver.Type("two");
        Driver.Click(*d.CancelButton);
    });
    EXPECT_FALSE(PasswordDialog(&Session));
    EXPECT_FALSE(Has("two"));  // Cancel adds nothing
    EXPECT_EQ(Driver.Shown.back().Caption, "Enter password");
}

TEST_F(PasswordDialogTest, EncryptedTableOpensAfterOkAndFailsAfterCancel) {
    CreateTestTable("D:\\", "Vault", {{"Name", 1, 0, 20}}, 1, "key");
    TTestTable t;
    t.SetDatabaseName("D:\\");
    t.TableName = "Vault";
    Driver.AnswerWith([&](TCustomForm&) { Driver.Type("nope"); }, mrCancel);
    try {
        t.Open();
        ADD_FAILURE() << "opened";
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 10498);
    }
    Driver.AnswerWith([&](TCustomForm& form) {
        Driver.Type("key");
        Driver.Click(*Dialog(form).OKButton);
    });
    t.Open();
    EXPECT_TRUE(t.Active());
    EXPECT_TRUE(Has("key"));
}
