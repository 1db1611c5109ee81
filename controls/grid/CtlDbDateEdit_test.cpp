// The data-aware date edit over an in-memory dataset: read-only outside edit state, storing,
// clearing and stepping dates (with and without the time kept), fields of other types, the popup,
// Esc, rejected characters and errors when the edit is left.
#include "controls/grid/CtlDbDateEdit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "controls/entry/CtlController.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Edit.h"
#include "framework/testsupport/MemDataSet.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"

namespace grid {
namespace {

using namespace framework;
using testsupport::TMemDataSet;

const TDateTime Jan2 = EncodeDate(2003, 1, 2);
const double HalfPast2 = 14.5 / 24;

class DbDateEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock([] { return EncodeDate(2026, 3, 6) + 0.5; });
        Data.FieldDefs.Add("Stamp", ftDateTime);
        Data.FieldDefs.Add("Day", ftDate);
        Data.FieldDefs.Add("Ratio", ftFloat);
        Data.FieldDefs.Add("Name", ftString, 10);
        Data.Open();
        Data.AppendRecord({Variant(Jan2 + HalfPast2), Variant(Jan2), Variant(Jan2 + 0.25), Variant("disks")});
        Data.AppendRecord({Variant(), Variant(EncodeDate(2026, 3, 6)), Variant(), Variant("tapes")});
        Data.First();
        Source.SetDataSet(&Data);
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(60, 60, 360, 260);
        new entry::TCtlController(Form);
        Edit = Make("Stamp", 10);
        Other = NewComponent<TButton>(Form);
        Other->SetParent(Form);
        Other->SetBounds(10, 200, 75, 25);
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
        SetClock(nullptr);
    }
    TCtlDbDateEdit* Make(const std::string& Field, int Top) {
        auto* e = NewComponent<TCtlDbDateEdit>(Form);
        e->SetParent(Form);
        e->SetBounds(10, Top, 150, 24);
        e->SetDataSource(&Source);
        e->SetDataField(Field);
        return e;
    }
    void Enter(TWinControl* C) {
        C->SetFocus();
        Driver.RunPending();
    }
    void Leave() {
        Other->SetFocus();
        Driver.RunPending();
    }
    void Retype(TCtlDbDateEdit* E, const std::string& Text) {
        Enter(E);
        E->SelectAll();
        if (Text.empty())
            Driver.Key(VK_DELETE);
        else
            Driver.Type(Text);
    }
    TField* F(const char* Name) { return Data.FieldByName(Name); }

    TFormDriver Driver;
    TMemDataSet Data;
    TDataSource Source;
    TForm* Form = nullptr;
    TCtlDbDateEdit* Edit = nullptr;
    TButton* Other = nullptr;
};

TEST_F(DbDateEditTest, ReadOnlyUntilTheDatasetIsEdited) {
    Source.AutoEdit = false;
    TCtlDbDateEdit* day = Make("Day", 40);
    Driver.RunPending();
    EXPECT_DOUBLE_EQ(day->GetDate(), Jan2);
    EXPECT_TRUE(day->TCtlCustomDateEdit::ReadOnly());
    EXPECT_FALSE(day->Button()->Enabled());
    Data.Edit();
    EXPECT_FALSE(day->TCtlCustomDateEdit::ReadOnly());
    EXPECT_TRUE(day->Button()->Enabled());
    Data.Cancel();
    EXPECT_FALSE(day->Button()->Enabled());
    EXPECT_EQ(reinterpret_cast<TFieldDataLink*>(Edit->Perform(CM_GETDATALINK, 0, 0)), &Edit->DataLink());
}

TEST_F(DbDateEditTest, ClearingAndLeavingStoresNull) {
    TCtlDbDateEdit* day = Make("Day", 40);
    Driver.RunPending();
    Retype(day, "");
    EXPECT_EQ(Data.State(), dsEdit);
    Leave();
    EXPECT_TRUE(F("Day")->IsNull());
    EXPECT_EQ(Data.State(), dsEdit) << "written into the record, not posted";
}

TEST_F(DbDateEditTest, PreserveTimeKeepsTheTimeOfDay) {
    Edit->PreserveTime = true;
    Retype(Edit, "1/5/2003");
    Leave();
    EXPECT_NEAR(F("Stamp")->AsDateTime(), EncodeDate(2003, 1, 5) + HalfPast2, 1e-9);

    Retype(Edit, "");
    Leave();
    EXPECT_NEAR(F("Stamp")->AsDateTime(), HalfPast2, 1e-9) << "cleared: only the time is left";

    Data.Cancel();
    Enter(Edit);
    Driver.Type("+");
    EXPECT_NEAR(F("Stamp")->AsDateTime(), EncodeDate(2003, 1, 3) + HalfPast2, 1e-9);

    // Without PreserveTime the date replaces the whole value.
    Data.Cancel();
    Edit->PreserveTime = false;
    Retype(Edit, "1/5/2003");
    Leave();
    EXPECT_DOUBLE_EQ(F("Stamp")->AsDateTime(), EncodeDate(2003, 1, 5));
}

TEST_F(DbDateEditTest, PlusStepsTheFieldsDateAndModifiesTheRecord) {
    TCtlDbDateEdit* day = Make("Day", 40);
    Driver.RunPending();
    Enter(day);
    ASSERT_EQ(Data.State(), dsBrowse);
    Driver.Type("+");
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_TRUE(Data.Modified());
    EXPECT_DOUBLE_EQ(F("Day")->AsDateTime(), EncodeDate(2003, 1, 3));
    Driver.Type("--");
    EXPECT_DOUBLE_EQ(F("Day")->AsDateTime(), EncodeDate(2003, 1, 1));
}

TEST_F(DbDateEditTest, FieldsOfOtherTypes) {
    TCtlDbDateEdit* name = Make("Name", 40);
    TCtlDbDateEdit* ratio = Make("Ratio", 70);
    Driver.RunPending();
    EXPECT_EQ(name->Text(), "(String)");
    EXPECT_TRUE(name->ReadOnly());
    EXPECT_FALSE(ratio->ReadOnly());
    EXPECT_DOUBLE_EQ(ratio->GetDate(), Jan2) << "a float field holds a date-time number";
    Retype(ratio, "2/14/2004");
    Leave();
    EXPECT_DOUBLE_EQ(F("Ratio")->AsFloat(), EncodeDate(2004, 2, 14));
}

TEST_F(DbDateEditTest, APickedDateIsStoredWhenAnotherControlIsClicked) {
    Enter(Edit);
    Edit->PopupOpen();
    Driver.RunPending();
    ASSERT_TRUE(Edit->PopupIsOpen());
    EXPECT_EQ(Data.State(), dsEdit);
    Driver.KeyTo(Edit->Calendar(), VK_RIGHT);
    Driver.KeyTo(Edit->Calendar(), VK_RETURN);
    Driver.RunPending();
    EXPECT_FALSE(Edit->PopupIsOpen());
    auto* note = NewComponent<TEdit>(Form);
    note->SetParent(Form);
    note->SetBounds(100, 200, 100, 24);
    Driver.Click(*note);
    Driver.RunPending();
    ASSERT_TRUE(note->Focused());
    EXPECT_DOUBLE_EQ(F("Stamp")->AsDateTime(), EncodeDate(2003, 1, 3));
}

TEST_F(DbDateEditTest, EscapeBringsBackTheStoredDateAndBadCharactersBeep) {
    // A field that takes only digits and separators.
    F("Stamp")->ValidChars.reset();
    for (const char* p = "0123456789/"; *p; ++p) F("Stamp")->ValidChars.set(static_cast<unsigned char>(*p));
    Enter(Edit);
    Edit->SelectAll();
    Driver.Type("1/9/20");
    Driver.Type("Q");
    EXPECT_EQ(platform::BeepHistory().size(), 1u);
    EXPECT_EQ(Edit->Text().find('Q'), std::string::npos);
    Driver.Key(VK_ESCAPE);
    EXPECT_EQ(Edit->Text(), Edit->DateToText(Jan2));
    EXPECT_EQ(Edit->SelLength(), static_cast<int>(Edit->Text().size()));
    Leave();
    EXPECT_NEAR(F("Stamp")->AsDateTime(), Jan2 + HalfPast2, 1e-9);
}

TEST_F(DbDateEditTest, ErrorsWhenLeavingBringTheFocusBackWithTheTextSelected) {
    Driver.Answer(IDOK);
    Retype(Edit, "1/2/XX");
    Leave();
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Invalid year \"XX\"");
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Edit->SelLength(), static_cast<int>(Edit->Text().size()));
    EXPECT_NEAR(F("Stamp")->AsDateTime(), Jan2 + HalfPast2, 1e-9);

    // The dataset refusing the value.
    F("Stamp")->OnValidate = [](TField*) { DatabaseError("Key violation"); };
    Driver.Answer(IDOK);
    Edit->SelectAll();
    Driver.Type("1/7/2003");
    Leave();
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[1].Text, "Key violation.");
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Edit->SelLength(), static_cast<int>(Edit->Text().size()));
    F("Stamp")->OnValidate = nullptr;
}

}  // namespace
}  // namespace grid
