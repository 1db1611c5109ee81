// The data-aware picture field over an in-memory dataset and over an engine table: the data type
// taken from the field, loading and writing values (nulls, zeros, halves of date-and-time values,
// padded strings), editing that puts the dataset into edit state, and the field's own display.
#include "controls/grid/CtlDbPictureField.h"

#include <gtest/gtest.h>

#include <cmath>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/testsupport/MemDataSet.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"

namespace grid {
namespace {

using namespace framework;
using namespace entry;
using testsupport::TMemDataSet;

class TProbeField : public TCtlDbPictureField {
public:
    using TCtlDbPictureField::GetDesignTimeString;
    using TCtlDbPictureField::TCtlDbPictureField;
    void Design() { SetDesigning(true); }
};

class DbPictureFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Data.FieldDefs.Add("Small", ftSmallint);
        Data.FieldDefs.Add("Count", ftInteger);
        Data.FieldDefs.Add("Word", ftWord);
        Data.FieldDefs.Add("Flag", ftBoolean);
        Data.FieldDefs.Add("Ratio", ftFloat);
        Data.FieldDefs.Add("Money", ftCurrency);
        Data.FieldDefs.Add("Size", ftBCD);
        Data.FieldDefs.Add("Day", ftDate);
        Data.FieldDefs.Add("Clock", ftTime);
        Data.FieldDefs.Add("Stamp", ftDateTime);
        Data.FieldDefs.Add("Name", ftString, 11);
        Data.FieldDefs.Add("Notes", ftMemo);
        Data.Open();
        Data.AppendRecord({Variant(3), Variant(1234567), Variant(7), Variant(true), Variant(1.5),
                           Variant(2.25), Variant(10.0), Variant(), Variant(),
                           Variant(EncodeDate(2003, 1, 2) + 14.5 / 24), Variant("disks"), Variant()});
        Data.AppendRecord({Variant(4), Variant(99), Variant(8), Variant(false), Variant(0.5), Variant(1.0),
                           Variant(20.0), Variant(EncodeDate(2026, 3, 6)), Variant(0.25), Variant(),
                           Variant("tapes"), Variant()});
        Data.First();
        Source.SetDataSet(&Data);
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(60, 60, 400, 260);
        Controller = new TCtlController(Form);
        Controller->EntryOptions |= efoBeepOnError;
        Other = Make("", 200);
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    TProbeField* Make(const std::string& Field, int Top = 10, const std::string& Mask = "") {
        auto* f = new TProbeField(Form);
        f->SetParent(Form);
        f->SetBounds(10, Top, 250, 25);
        if (!Mask.empty()) f->SetPictureMask(Mask);
        if (!Field.empty()) {
            f->SetDataSource(&Source);
            f->SetDataField(Field);
        }
        return f;
    }
    void Enter(TWinControl* C) {
        C->SetFocus();
        Driver.RunPending();
    }
    void Leave() {
        Other->SetFocus();
        Driver.RunPending();
    }
    TField* F(const char* Name) { return Data.FieldByName(Name); }

    TFormDriver Driver;
    TMemDataSet Data;
    TDataSource Source;
    TForm* Form = nullptr;
    TCtlController* Controller = nullptr;
    TProbeField* Other = nullptr;
};

TEST_F(DbPictureFieldTest, TheDataTypeFollowsTheField) {
    struct Case {
        const char* Field;
        TCtlDbPictureField::TDateOrTime DateOrTime;
        TPictureDataType Type;
    };
    const Case cases[] = {
        {"Small", TCtlDbPictureField::ftUseDate, pftInteger},      {"Count", TCtlDbPictureField::ftUseDate, pftLongInt},
        {"Word", TCtlDbPictureField::ftUseDate, pftWord},          {"Flag", TCtlDbPictureField::ftUseDate, pftBoolean},
        {"Ratio", TCtlDbPictureField::ftUseDate, pftExtended},     {"Money", TCtlDbPictureField::ftUseDate, pftExtended},
        {"Size", TCtlDbPictureField::ftUseDate, pftExtended},      {"Day", TCtlDbPictureField::ftUseDate, pftDate},
        {"Clock", TCtlDbPictureField::ftUseDate, pftTime},         {"Stamp", TCtlDbPictureField::ftUseDate, pftDate},
        {"Stamp", TCtlDbPictureField::ftUseBothEditDate, pftDate}, {"Stamp", TCtlDbPictureField::ftUseTime, pftTime},
        {"Stamp", TCtlDbPictureField::ftUseBothEditTime, pftTime}, {"Name", TCtlDbPictureField::ftUseDate, pftString},
    };
    for (const Case& c : cases) {
        TProbeField* f = Make("", 50);
        f->SetDateOrTime(c.DateOrTime);
        f->SetDataSource(&Source);
        f->SetDataField(c.Field);
        EXPECT_EQ(f->PictureDataType(), c.Type) << c.Field << " " << int(c.DateOrTime);
        EXPECT_EQ(f->FieldType(), F(c.Field)->DataType()) << c.Field;
        f->Free();
    }
}

TEST_F(DbPictureFieldTest, StringFieldsTakeTheirLengthFromTheField) {
    TProbeField* f = Make("", 50, "XXXXXXXXXXXXXXXXXXXX");
    F("Name")->SetDisplayWidth(11);
    f->SetDataSource(&Source);
    f->SetDataField("Name");
    EXPECT_EQ(f->MaxLength(), 11);
    EXPECT_EQ(f->PictureMask(), "XXXXXXXXXXX") << "a longer mask is cut";

    TProbeField* g = Make("", 90, "(XXX) XXX");
    g->SetOptions(g->Options() | efoStripLiterals);
    g->SetDataSource(&Source);
    g->SetDataField("Name");
    EXPECT_EQ(g->MaxLength(), 9) << "the mask's length with stripped literals";
}

TEST_F(DbPictureFieldTest, DesignTimeRefusesOtherTypesAndNamesTheFieldKind) {
    TProbeField* f = Make("", 50);
    f->Design();
    try {
        f->SetFieldType(ftBlob);
        ADD_FAILURE() << "no error";
    } catch (const ECtlException& e) {
        EXPECT_STREQ(e.what(), "Requested field type is not supported");
    }
    EXPECT_EQ(f->FieldType(), ftUnknown);
    f->SetDataSource(&Source);
    f->SetDataField("Notes");
    EXPECT_EQ(f->GetDesignTimeString(), "(Memo)");
}

TEST_F(DbPictureFieldTest, NullsAndZeros) {
    // A null date shows empty; an empty entry writes null.
    TProbeField* day = Make("Day", 50);
    Driver.RunPending();
    EXPECT_TRUE(F("Day")->IsNull());
    EXPECT_EQ(Trim(day->GetDisplayText()).find_first_of("0123456789"), std::string::npos);
    Data.Next();
    EXPECT_FALSE(F("Day")->IsNull());
    Enter(day);
    day->SelectAll();
    Driver.Key(VK_DELETE);
    Data.Post();
    EXPECT_TRUE(F("Day")->IsNull());

    // ZeroAsNull stores null for a zero integer but "0" as text.
    TProbeField* count = Make("Count", 90, "99999");
    count->ZeroAsNull = true;
    TProbeField* name = Make("Name", 130);
    name->ZeroAsNull = true;
    Enter(count);
    count->SelectAll();
    Driver.Type("0");
    Enter(name);
    name->SelectAll();
    Driver.Type("0");
    Leave();
    Data.Post();
    EXPECT_TRUE(F("Count")->IsNull());
    EXPECT_EQ(F("Name")->AsString(), "0");
}

TEST_F(DbPictureFieldTest, ATimeMaskKeepsTheDateOfADateTimeField) {
    TProbeField* f = Make("", 50, "hh:mm");
    f->SetDateOrTime(TCtlDbPictureField::ftUseTime);
    f->SetDataSource(&Source);
    f->SetDataField("Stamp");
    Driver.RunPending();
    EXPECT_EQ(f->GetEditText(), "1430");
    Enter(f);
    f->SelectAll();
    Driver.Type("0915");
    Leave();
    Data.Post();
    const double v = F("Stamp")->AsDateTime();
    EXPECT_DOUBLE_EQ(std::floor(v), EncodeDate(2003, 1, 2));
    EXPECT_NEAR(v - std::floor(v), (9 * 60 + 15) / 1440.0, 1e-6);
}

TEST_F(DbPictureFieldTest, ShortStringsArePaddedUnlessTrimmed) {
    TProbeField* padded = Make("", 50);
    padded->SetOptions(padded->Options() & ~efoTrimBlanks);
    padded->SetDataSource(&Source);
    padded->SetDataField("Name");
    TProbeField* trimmed = Make("Name", 90);
    Driver.RunPending();
    EXPECT_EQ(padded->MaxLength(), 11);
    EXPECT_EQ(padded->GetAsString(), "disks      ");
    EXPECT_EQ(trimmed->GetAsString(), "disks");
}

TEST_F(DbPictureFieldTest, OnChangeOnlyWhenAReloadChangesTheValue) {
    TProbeField* f = Make("Count", 50, "#########");
    int changes = 0;
    f->OnChange = [&changes](TObject*) { ++changes; };
    f->DataLink().Reset();
    Data.Refresh();
    EXPECT_EQ(changes, 0);
    Data.Next();
    EXPECT_EQ(changes, 1) << "scrolling reloads";
    EXPECT_EQ(f->GetAsInteger(), 99);
    EXPECT_EQ(Data.State(), dsBrowse) << "a reload is no edit";
}

TEST_F(DbPictureFieldTest, TypingStartsEditingOnlyWithAutoEdit) {
    TProbeField* f = Make("Count", 50, "99999999");
    Enter(f);
    ASSERT_EQ(Data.State(), dsBrowse);
    f->SelectAll();
    Driver.Type("42");
    EXPECT_EQ(Data.State(), dsEdit);
    Data.Cancel();
    Driver.RunPending();

    Source.AutoEdit = false;
    platform::ClearBeepHistory();
    Driver.Key(VK_BACK);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(platform::BeepHistory().size(), 1u);
    EXPECT_EQ(f->GetAsInteger(), 1234567);

    // Cut and paste outside edit state.
    for (auto op : {&TCtlBaseEntryField::CutToClipboard, &TCtlBaseEntryField::PasteFromClipboard}) {
        try {
            (f->*op)();
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
        }
    }
}

TEST_F(DbPictureFieldTest, TheFieldsDisplayFormatShowsWhileUnfocused) {
    static_cast<TNumericField*>(F("Count"))->DisplayFormat = "#,##0";
    TProbeField* f = Make("Count", 50, "#########");
    f->SetUseTFieldMask(true);
    Driver.RunPending();
    ASSERT_TRUE(Driver.Grab(*f, ::testing::TempDir() + "db_picture_unfocused.png"));
    EXPECT_EQ(F("Count")->DisplayText(), "1,234,567");
    // The comma of the display format is painted where the mask has a digit.
    auto darkColumns = [this, f] {
        std::vector<int> cols;
        for (int x = 0; x < f->ClientWidth(); ++x)
            for (int y = 0; y < f->ClientHeight(); ++y)
                if (Driver.PixelAt(*f, x, y) == 0) {
                    cols.push_back(x);
                    break;
                }
        return cols;
    };
    const std::vector<int> unfocused = darkColumns();
    Enter(f);
    const std::vector<int> focused = darkColumns();
    EXPECT_NE(unfocused, focused);
    ASSERT_FALSE(unfocused.empty());
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas().Font.Assign(f->Font());
    EXPECT_NEAR(unfocused.back() - unfocused.front(), measure.Canvas().TextWidth("1,234,567"), 3);
}

TEST_F(DbPictureFieldTest, AReadOnlyRightAlignedFieldPaintsAtTheRightMargin) {
    TProbeField* f = Make("", 50, "###,###,###,###,###");
    f->SetOptions(efoCaretToEnd | efoReadOnly | efoRightAlign);
    f->SetDataSource(&Source);
    f->SetDataField("Count");
    Driver.RunPending();
    ASSERT_TRUE(Driver.Grab(*f, ::testing::TempDir() + "db_picture_right.png"));
    int last = -1, first = -1;
    for (int x = 0; x < f->ClientWidth(); ++x)
        for (int y = 0; y < f->ClientHeight(); ++y)
            if (Driver.PixelAt(*f, x, y) == 0) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    EXPECT_GT(first, f->ClientWidth() / 2) << "the digits sit at the right";
    EXPECT_GT(last, f->ClientWidth() - 25) << "and end at its right margin";
    Enter(f);
    Driver.Type("5");
    EXPECT_EQ(Data.State(), dsBrowse) << "read-only by its options";
}

TEST_F(DbPictureFieldTest, AnInvalidValueWritesNothingAndStopsThePost) {
    TProbeField* f = Make("Small", 50, "99999");
    f->SetRangeLo("0");
    f->SetRangeHi("100");
    std::vector<uint16_t> errors;
    f->OnError = [&errors](TObject*, uint16_t Code, const std::string&) { errors.push_back(Code); };
    const int posts = Data.PostAttempts;
    Enter(f);
    f->SelectAll();
    Driver.Type("500");
    ASSERT_EQ(Data.State(), dsEdit);
    EXPECT_THROW(Data.Post(), EAbort);
    Driver.RunPending();
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_EQ(F("Small")->AsInteger(), 3);
    EXPECT_FALSE(errors.empty());
    EXPECT_EQ(Data.PostAttempts, posts);

    // Leaving while the form's controller has an error pending writes nothing.
    Data.Cancel();
    Driver.RunPending();
    Controller->ErrorPending = true;
    Enter(f);
    f->SelectAll();
    Driver.Type("50");
    ASSERT_EQ(Data.State(), dsEdit);
    Leave();
    EXPECT_EQ(F("Small")->AsInteger(), 3);
    Controller->ErrorPending = false;
    Enter(f);
    f->SelectAll();
    Driver.Type("60");
    Leave();
    EXPECT_EQ(F("Small")->AsInteger(), 60) << "without it, leaving writes";
    EXPECT_EQ(reinterpret_cast<TFieldDataLink*>(f->Perform(CM_GETDATALINK, 0, 0)), &f->DataLink());
}

class DbPictureFieldTableTest : public dbsql::testsupport::SessionFixture {};

TEST_F(DbPictureFieldTableTest, ASizeTypedIntoAnEngineTableComesBackAfterReopening) {
    TFormDriver driver;
    {
        dbsql::TDbTable table;
        table.SetDatabaseName("D:\\");
        table.SetTableName("Sizes");
        table.FieldDefs.Add("Name", ftString, 20);
        table.FieldDefs.Add("Size", ftBCD, 0);
        table.CreateTable();
        table.Open();
        table.AppendRecord({Variant("ONE"), Variant(1.0)});
        table.AppendRecord({Variant("TWO"), Variant(2.0)});
        table.First();

        TDataSource source;
        source.SetDataSet(&table);
        TForm* form = TCustomForm::Create<TForm>(Application);
        form->SetBounds(40, 40, 300, 120);
        new TCtlController(form);
        auto* f = new TCtlDbPictureField(form);
        f->SetParent(form);
        f->SetBounds(10, 10, 200, 25);
        f->SetPictureMask("#############");
        form->Show();
        driver.RunPending();
        // Bound at run time, as the import windows do.
        f->SetDataSource(&source);
        f->SetDataField("Size");
        EXPECT_EQ(f->PictureDataType(), pftExtended);
        // Out of range: the post stops and the record is not written.
        f->SetRangeLo("0");
        f->SetRangeHi("99999");
        f->OnError = [](TObject*, uint16_t, const std::string&) {};
        f->SetFocus();
        driver.RunPending();
        f->SelectAll();
        driver.Type("123456");
        EXPECT_THROW(table.Post(), EAbort);
        table.Cancel();
        table.Next();
        driver.RunPending();
        f->SelectAll();
        driver.Type("12345");
        table.Post();
        form->Free();
        driver.RunPending();
    }
    dbsql::TDbTable again;
    again.SetDatabaseName("D:\\");
    again.SetTableName("Sizes");
    again.Open();
    EXPECT_DOUBLE_EQ(again.FieldByName("Size")->AsFloat(), 1.0);
    again.Next();
    EXPECT_DOUBLE_EQ(again.FieldByName("Size")->AsFloat(), 12345.0);
}

}  // namespace
}  // namespace grid
