// The data-aware controls bound to fields of an in-memory dataset, the navigator and the remote
// login dialog.

#include "framework/dbctrls/DBCtrls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/data/RemoteLogin.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/dbctrls/DBLogin.h"
#include "framework/testsupport/MemDataSet.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Hints.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

using testsupport::TMemDataSet;

class DBCtrlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Data.FieldDefs.Add("Name", ftString, 6);
        Data.FieldDefs.Add("Warn", ftString, 5);
        Data.FieldDefs.Add("Flag", ftBoolean);
        Data.FieldDefs.Add("Expand", ftString, 10);
        Data.FieldDefs.Add("Comment", ftMemo);
        Data.Open();
        Data.AppendRecord({Variant("GAMES"), Variant(), Variant(false), Variant("Never"),
                           Variant("First line\r\nSecond line")});
        Data.AppendRecord({Variant("MUSIC"), Variant("True"), Variant(true), Variant("Always"), Variant()});
        Data.AppendRecord({Variant("WORK"), Variant("False"), Variant(), Variant("On Demand"), Variant()});
        Data.First();
        Posts = Data.PostAttempts;
        Source.SetDataSet(&Data);
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(100, 100, 420, 300);
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    template <class T>
    T* Place(int X, int Y, int W, int H) {
        T* c = NewComponent<T>(Form);
        c->SetParent(Form);
        c->SetBounds(X, Y, W, H);
        return c;
    }
    void Show() {
        Form->Show();
        Driver.RunPending();
    }
    std::string Value(const char* Field) { return Data.FieldByName(Field)->AsString(); }
    TFormDriver Driver;
    TMemDataSet Data;
    TDataSource Source;
    TForm* Form = nullptr;
    int Posts = 0;
};

TEST_F(DBCtrlsTest, CheckBoxWritesTrueAndFalseAndShowsABlankFieldUnchecked) {
    auto* warn = Place<TDBCheckBox>(8, 8, 150, 17);
    warn->SetCaption("Warn If Disk Exists");
    warn->SetDataSource(&Source);
    warn->SetDataField("Warn");
    auto* flag = Place<TDBCheckBox>(8, 30, 150, 17);
    flag->SetDataSource(&Source);
    flag->SetDataField("Flag");
    Show();
    EXPECT_EQ(warn->State(), cbUnchecked);  // blank
    EXPECT_FALSE(flag->Checked());
    EXPECT_EQ(Data.State(), dsBrowse);  // showing the record changes nothing
    Driver.Click(*warn);
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_TRUE(warn->Checked());
    EXPECT_EQ(Value("Warn"), "True");
    Driver.Click(*warn);
    EXPECT_EQ(Value("Warn"), "False");
    Driver.Click(*flag);
    EXPECT_TRUE(Data.FieldByName("Flag")->AsBoolean());
    Data.Post();
    Data.Next();
    EXPECT_TRUE(warn->Checked());
    EXPECT_TRUE(flag->Checked());
    Data.Next();
    EXPECT_FALSE(warn->Checked());  // "False"
    EXPECT_FALSE(flag->Checked());  // blank Boolean
    Data.First();
    EXPECT_EQ(Value("Warn"), "False");
    // Other texts: the first of the alternatives is written, any is recognised.
    warn->ValueChecked = "Yes;Y";
    warn->ValueUnchecked = "No;N";
    Data.Edit();
    Data.FieldByName("Warn")->SetAsString("y");
    EXPECT_TRUE(warn->Checked());
    Driver.Click(*warn);
    EXPECT_EQ(Value("Warn"), "No");
    Data.Cancel();
    // A dataset that cannot be modified and a read-only box refuse the click.
    for (bool readOnlyBox : {false, true}) {
        SCOPED_TRACE(readOnlyBox ? "read-only box" : "read-only dataset");
        Data.ReadOnly = !readOnlyBox;
        warn->SetReadOnly(readOnlyBox);
        Driver.Click(*warn);
        EXPECT_EQ(Data.State(), dsBrowse);
        EXPECT_FALSE(warn->Checked());
        EXPECT_EQ(Value("Warn"), "False");
    }
}

TEST_F(DBCtrlsTest, ComboBoxOffersItsItemsAndWritesTheChosenText) {
    auto* expand = Place<TDBComboBox>(8, 8, 120, 21);
    expand->SetStyle(csDropDownList);
    for (const char* s : {"Always", "Never", "On Demand"}) expand->Items().Add(s);
    expand->SetDataSource(&Source);
    expand->SetDataField("Expand");
    Show();
    EXPECT_EQ(expand->ItemIndex(), 1);
    EXPECT_EQ(expand->Text(), "Never");
    EXPECT_EQ(Data.State(), dsBrowse);
    Data.Next();
    EXPECT_EQ(expand->Text(), "Always");
    Data.Next();
    EXPECT_EQ(expand->ItemIndex(), 2);
    Data.First();
    expand->SetFocus();
    Driver.Key(VK_DOWN);
    EXPECT_EQ(expand->Text(), "On Demand");
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_EQ(Value("Expand"), "On Demand");
    Driver.Key(VK_HOME);
    EXPECT_EQ(Value("Expand"), "Always");
    Data.Post();
    EXPECT_EQ(Data.PostAttempts, Posts + 1);
    EXPECT_EQ(Value("Expand"), "Always");
    // Read-only: the choice goes back to the field's value.
    expand->SetReadOnly(true);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(expand->Text(), "Always");
    EXPECT_EQ(Value("Expand"), "Always");
}

TEST_F(DBCtrlsTest, EditTakesItsLengthFromTheFieldAndWritesOnLeaving) {
    auto* name = Place<TDBEdit>(8, 8, 120, 21);
    name->SetCharCase(ecUpperCase);
    name->SetDataSource(&Source);
    name->SetDataField("Name");
    auto* other = Place<TDBEdit>(8, 40, 120, 21);
    other->SetDataSource(&Source);
    other->SetDataField("Expand");
    auto* text = Place<TDBText>(8, 70, 120, 17);
    text->SetDataSource(&Source);
    text->SetDataField("Name");
    Show();
    EXPECT_EQ(name->Text(), "GAMES");
    EXPECT_EQ(name->MaxLength(), 6);
    EXPECT_EQ(text->Caption(), "GAMES");
    // Focusing, moving the caret and selecting change nothing.
    name->SetFocus();
    Driver.Key(VK_END);
    Driver.Key(VK_LEFT, ssShift);
    EXPECT_EQ(Data.State(), dsBrowse);
    Driver.Key(VK_END);
    Driver.Key(VK_DELETE);  // nothing after the caret to delete
    EXPECT_EQ(Data.State(), dsBrowse);
    Driver.Type("xyz");
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_EQ(name->Text(), "GAMESX");  // upper case, cut at the field's size
    EXPECT_EQ(Value("Name"), "GAMES");  // not yet written
    Data.Cancel();                      // the box shows the field again
    EXPECT_EQ(name->Text(), "GAMES");
    Driver.Key(VK_END);
    Driver.Type("xyz");
    other->SetFocus();
    EXPECT_EQ(Value("Name"), "GAMESX");
    EXPECT_EQ(text->Caption(), "GAMESX");
    Data.Post();
    // Escape drops a change before it is written; a key into the full box changes nothing.
    name->SetFocus();
    Driver.Key(VK_END);
    Driver.Type("q");
    EXPECT_EQ(Data.State(), dsBrowse);
    Driver.Key(VK_BACK);
    EXPECT_EQ(name->Text(), "GAMES");
    Driver.Key(VK_ESCAPE);
    EXPECT_EQ(name->Text(), "GAMESX");
    // A record change shows the new record's value.
    Data.Cancel();
    Data.Next();
    EXPECT_EQ(name->Text(), "MUSIC");
    EXPECT_EQ(text->Caption(), "MUSIC");
    // Read-only: typing is refused and the dataset stays browsing.
    name->SetReadOnly(true);
    name->SetFocus();
    Driver.Type("A");
    Driver.Key(VK_DELETE);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(name->Text(), "MUSIC");
}

TEST_F(DBCtrlsTest, MemoShowsTheWholeMemoFieldReadOnlyWithAScrollBar) {
    auto* memo = Place<TDBMemo>(8, 8, 200, 40);
    memo->ScrollBars = ssVertical;
    memo->SetReadOnly(true);
    memo->SetDataSource(&Source);
    memo->SetDataField("Comment");
    Show();
    ASSERT_EQ(memo->Lines().Count(), 2);
    EXPECT_EQ(memo->Lines()[1], "Second line");
    memo->SetFocus();
    Driver.Type("x");
    Driver.Key(VK_RETURN);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(memo->Text(), "First line\r\nSecond line");
    EXPECT_NE(GetWindowLong(memo->Handle(), GWL_STYLE) & WS_VSCROLL, 0u);
    Data.Next();
    EXPECT_EQ(memo->Text(), "");
    // Not read-only: typing edits the memo field.
    memo->SetReadOnly(false);
    Driver.Type("New");
    EXPECT_EQ(Data.State(), dsEdit);
    Data.Post();
    EXPECT_EQ(Value("Comment"), "New");
}

TEST_F(DBCtrlsTest, ControlsLetGoOfADataSourceThatIsFreed) {
    auto* source = NewComponent<TDataSource>(Form);
    source->SetDataSet(&Data);
    auto* box = Place<TDBCheckBox>(8, 8, 100, 17);
    box->SetDataSource(source);
    box->SetDataField("Warn");
    auto* edit = Place<TDBEdit>(8, 30, 100, 21);
    edit->SetDataSource(source);
    edit->SetDataField("Name");
    auto* nav = Place<TDBNavigator>(8, 60, 200, 25);
    nav->SetDataSource(source);
    auto* grid = Place<TDBGrid>(8, 90, 300, 100);
    grid->SetDataSource(source);
    Show();
    EXPECT_EQ(grid->Columns().Count(), 5);
    EXPECT_EQ(edit->Text(), "GAMES");
    EXPECT_TRUE(nav->Buttons(nbNext)->Enabled());
    source->Free();
    EXPECT_EQ(box->DataSource(), nullptr);
    EXPECT_EQ(edit->DataSource(), nullptr);
    EXPECT_EQ(nav->DataSource(), nullptr);
    EXPECT_EQ(edit->Text(), "");
    EXPECT_FALSE(nav->Buttons(nbNext)->Enabled());
    EXPECT_EQ(grid->DataSource(), nullptr);
    EXPECT_EQ(grid->Columns().Count(), 0);
    Data.Next();  // nothing is told any more
    Driver.RunPending();
}

class DBNavigatorTest : public DBCtrlsTest {
protected:
    void SetUp() override {
        DBCtrlsTest::SetUp();
        Nav = Place<TDBNavigator>(8, 8, 250, 25);
        Nav->SetDataSource(&Source);
        Nav->OnClick = [this](TObject*, TNavigateBtn B) { Clicks.push_back(B); };
        Show();
    }
    // The enabled buttons, as a string of their initials in button order ("FPNLIDEPCR").
    std::string Enabled() {
        static const char initials[] = "FPNLIDEPCR";
        std::string s;
        for (int i = 0; i < NavButtonCount; ++i)
            s += Nav->Buttons(static_cast<TNavigateBtn>(i))->Enabled() ? initials[i] : '-';
        return s;
    }
    void Press(TNavigateBtn B) { Driver.Click(*Nav->Buttons(B)); }
    TDBNavigator* Nav = nullptr;
    std::vector<TNavigateBtn> Clicks;
};

TEST_F(DBNavigatorTest, ButtonsFollowPositionAndStateAndActOnTheDataset) {
    EXPECT_EQ(Enabled(), "--NLIDE--R");  // first record
    Press(nbNext);
    EXPECT_EQ(Value("Name"), "MUSIC");
    EXPECT_EQ(Enabled(), "FPNLIDE--R");
    Press(nbPrior);
    EXPECT_EQ(Value("Name"), "GAMES");
    EXPECT_EQ(Enabled(), "--NLIDE--R");  // the first record again, before Prior ran into it
    Press(nbLast);
    EXPECT_EQ(Value("Name"), "WORK");
    EXPECT_EQ(Enabled(), "FP--IDE--R");
    Press(nbFirst);
    EXPECT_EQ(Enabled(), "--NLIDE--R");
    EXPECT_EQ(Clicks, (std::vector<TNavigateBtn>{nbNext, nbPrior, nbLast, nbFirst}));

    // Editing enables post and cancel only.
    Press(nbEdit);
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_EQ(Enabled(), "--NLID-PCR");
    Data.FieldByName("Name")->SetAsString("FILMS");
    Press(nbPost);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(Value("Name"), "FILMS");
    EXPECT_EQ(Data.PostAttempts, Posts + 1);
    Press(nbEdit);
    Data.FieldByName("Name")->SetAsString("BOOKS");
    Press(nbCancel);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(Value("Name"), "FILMS");
    Press(nbInsert);
    EXPECT_EQ(Data.State(), dsInsert);
    EXPECT_EQ(Nav->Buttons(nbPost)->Enabled(), true);
    Press(nbCancel);

    // Delete asks first; Cancel keeps the record.
    Driver.Answer(mrCancel);
    Press(nbDelete);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Delete record?");
    EXPECT_EQ(Data.StoredCount(), 3);
    Driver.Answer(mrOk);
    Press(nbDelete);
    EXPECT_EQ(Data.StoredCount(), 2);
    Nav->ConfirmDelete = false;
    Press(nbDelete);
    EXPECT_EQ(Data.StoredCount(), 1);
    EXPECT_EQ(Driver.Shown.size(), 2u);

    // A dataset that cannot be modified leaves moving and refreshing only.
    Data.ReadOnly = true;
    Data.Refresh();
    EXPECT_EQ(Enabled(), "---------R");  // the one record left is first and last
    Data.Close();
    EXPECT_EQ(Enabled(), "----------");
}

TEST_F(DBNavigatorTest, VisibleButtonsShareTheWidthAndShowTheirHints) {
    Nav->SetVisibleButtons(NavButtons({nbFirst, nbPrior, nbNext, nbLast}));
    EXPECT_FALSE(Nav->Buttons(nbInsert)->Visible());
    EXPECT_TRUE(Nav->Buttons(nbLast)->Visible());
    EXPECT_EQ(Nav->Buttons(nbFirst)->Width() + Nav->Buttons(nbPrior)->Width() +
                  Nav->Buttons(nbNext)->Width() + Nav->Buttons(nbLast)->Width(),
              250);
    EXPECT_EQ(Nav->Buttons(nbLast)->Left() + Nav->Buttons(nbLast)->Width(), 250);
    Nav->SetShowHint(true);
    Driver.MouseMove(*Nav->Buttons(nbNext), 5, 5);
    Driver.Advance(Application->HintPause);
    ASSERT_NE(ShownHintWindow(), nullptr);
    EXPECT_EQ(ShownHintWindow()->Caption(), "Next record");
    Driver.MouseLeave(*Nav->Buttons(nbNext));
    // Hints of the program's own, one line per button; an empty line keeps the standard one.
    Nav->Hints().Add("Go to the first catalog");
    Nav->Hints().Add("");
    Nav->Hints().Add("Go to the next catalog");
    EXPECT_EQ(Nav->Buttons(nbFirst)->Hint, "Go to the first catalog");
    EXPECT_EQ(Nav->Buttons(nbPrior)->Hint, "Prior record");
    EXPECT_EQ(Nav->Buttons(nbNext)->Hint, "Go to the next catalog");
    EXPECT_EQ(Nav->Buttons(nbRefresh)->Hint, "Refresh data");
    Nav->SetVisibleButtons(nbAllButtons);
    Data.Next();
    ASSERT_TRUE(Driver.Grab(*Form, KORVANE_BUILD_DIR "/dbnavigator.png"));
    Application->CancelHint();
}

TEST(RemoteLoginDialog, OkHandsBackTheTypedNamesAndCancelRefuses) {
    TFormDriver driver;
    std::string user, password;
    // The data library's hook reaches the dialog.
    driver.AnswerWith([&](TCustomForm& f) {
        EXPECT_EQ(f.Caption(), "Remote Login");
        driver.Type("alice");
        driver.Key(VK_TAB);
        driver.Type("s3cret");
        driver.Key(VK_RETURN);
    });
    EXPECT_TRUE(AskRemoteLogin(user, password));
    EXPECT_EQ(user, "alice");
    EXPECT_EQ(password, "s3cret");
    // A given user name is filled in and the password box has the focus.
    driver.AnswerWith([&](TCustomForm& f) {
        auto& form = dynamic_cast<TRemoteLoginForm&>(f);
        EXPECT_EQ(form.UserName->Text(), "alice");
        EXPECT_EQ(form.Password->PasswordChar(), '*');
        EXPECT_TRUE(form.Password->Focused());
        driver.Type("other");
        driver.Key(VK_ESCAPE);
    });
    EXPECT_FALSE(RemoteLoginDialog(user, password));
    EXPECT_EQ(user, "alice");
    EXPECT_EQ(password, "s3cret");
    EXPECT_EQ(driver.PendingAnswers(), 0u);
}

}  // namespace
}  // namespace framework
