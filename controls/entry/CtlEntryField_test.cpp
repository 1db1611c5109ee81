#include "controls/entry/CtlEntryField.h"

#include <gtest/gtest.h>

#include <cstring>

#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "framework/stdctrls/Menus.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"
#include "platform/Beep.h"

namespace entry {
namespace {

using namespace framework;

// A simple field: one mask character over the whole field, the value held as its text (integers
// in decimal, strings as they are, other types as their bytes).
class TTestField : public TCtlBaseEntryField {
public:
    explicit TTestField(TComponent* AOwner, uint8_t DataType = dtByte, const std::string& Mask = "9")
        : TCtlBaseEntryField(AOwner) {
        SetDataTypeAndKind(DataType, fkSimple);
        SetPictureMask(Mask);
        SetDefaultRange();
    }
    using TCtlBaseEntryField::ColumnFromX;
    using TCtlBaseEntryField::SetDataTypeAndKind;
    using TCtlBaseEntryField::SetDefaultRange;
    using TCtlBaseEntryField::SetInitialValue;
    using TCtlBaseEntryField::SetPictureMask;
    std::vector<uint8_t> Other;  // the value of the types the text does not hold
    int Increases = 0;

protected:
    void EditCommand(TMessage& Msg, uint16_t Command) override {
        FAcceptChar = false;
        const std::string before = FEditText;
        bool collapse = true;
        const auto deleteSelection = [this] {
            if (FSelEnd <= FSelStart) return false;
            FEditText.erase(FSelStart, FSelEnd - FSelStart);
            FCaretPos = FSelStart;
            return true;
        };
        const auto insert = [&](const std::string& S) {
            deleteSelection();
            FEditText.insert(FCaretPos, S);
            if (FEditText.size() > MaxLength()) FEditText.resize(MaxLength());
            FCaretPos =
                std::min<int>(FCaretPos + static_cast<int>(S.size()), static_cast<int>(FEditText.size()));
        };
        switch (Command) {
            case ccNoCommand:
                FAcceptChar = FTypedChar = true;
                return;
            case ccChar:
                if (FTypedChar) insert(std::string(1, static_cast<char>(Msg.WParam)));
                break;
            case ccBack:
                if (!deleteSelection() && FCaretPos > 0) FEditText.erase(--FCaretPos, 1);
                break;
            case ccCut:
            case ccDel:
                if (!deleteSelection() && FCaretPos < static_cast<int>(FEditText.size()))
                    FEditText.erase(FCaretPos, 1);
                break;
            case ccPaste:
                if (Msg.LParam) insert(reinterpret_cast<const char*>(Msg.LParam));
                break;
            case ccLeft:
                FCaretPos = std::max(0, FCaretPos - 1);
                break;
            case ccRight:
                FCaretPos = std::min<int>(FCaretPos + 1, static_cast<int>(FEditText.size()));
                break;
            case ccHome:
                FCaretPos = 0;
                break;
            case ccEnd:
                FCaretPos = static_cast<int>(FEditText.size());
                break;
            case ccMouse:
                FCaretPos = ColumnFromX(GetXLParam(Msg.LParam));
                break;
            case ccRestore:
                DoRestore();
                collapse = false;
                break;
            case ccCopy:
                collapse = false;
                break;
            default:
                FAcceptChar = true;
        }
        FTypedChar = false;
        if (collapse) FSelStart = FSelEnd = FCaretPos;
        PositionCaret(true);
        if (FEditText != before) {
            FModified = FEditedSinceSet = true;
            DoOnChange();
        }
        Invalidate();
    }
    uint16_t TransferData(TCtlEntryValue& Data, int Direction) override {
        const uint8_t t = DataType();
        if (t == dtString) {
            if (Direction == 1) {
                Data.Bytes.assign(GetDataSize(), 0);
                Data.Bytes[0] = static_cast<uint8_t>(FEditText.size());
                std::memcpy(Data.Bytes.data() + 1, FEditText.data(), FEditText.size());
            } else {
                FEditText.assign(reinterpret_cast<const char*>(Data.Bytes.data()) + 1, Data.Bytes[0]);
            }
        } else if (CtlIsIntegerType(t)) {
            if (Direction == 1) {
                TCtlRangeRec r;
                CtlTextToRange(t, FEditText, PictureMask(), r);
                Data = CtlIntegerValue(t, r.AsInteger());
            } else {
                FEditText = std::to_string(CtlValueAsInteger(Data));
            }
        } else if (Direction == 1) {
            Data.Bytes = Other;
        } else {
            Other = Data.Bytes;
        }
        return GetDataSize();
    }
    uint16_t CheckValue() override {
        uint16_t code = 0;
        if (CtlIsIntegerType(DataType())) {
            TCtlRangeRec r;
            if (!CtlTextToRange(DataType(), FEditText, PictureMask(), r))
                code = epInvalidValue;
            else if (!(FRangeLo == FRangeHi) &&
                     (r.AsInteger() < FRangeLo.AsInteger() || r.AsInteger() > FRangeHi.AsInteger()))
                code = epRangeError;
        }
        DoOnUserValidation(code);
        return code;
    }
    void IncreaseValue(bool, double Delta) override {
        ++Increases;
        FEditText = std::to_string(std::stoi("0" + FEditText) + static_cast<int>(Delta));
    }
};

class EntryFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(300, 160);
        Controller = new TCtlController(Form);
        Controller->SetEpoch(1900);
        Field = Make(10);
        Other = Make(50);
        Form->Show();
        Other->SetFocus();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Driver.KeyUp(VK_CONTROL);
        Driver.KeyUp(VK_SHIFT);
        if (Form) Form->Free();
        Driver.RunPending();
    }
    TTestField* Make(int Top, uint8_t DataType = dtByte) {
        auto* f = new TTestField(Form, DataType);
        f->SetParent(Form);
        f->SetBounds(10, Top, 130, 25);
        return f;
    }
    // Field takes the range 1 .. 10 and holds 0.
    void HoldOutOfRange() {
        Field->SetAsInteger(5);
        Field->SetRangeLo("1");
        Field->SetRangeHi("10");
        Field->SetAsInteger(0);
    }
    // The count of message boxes shown.
    size_t Boxes() const { return Driver.Shown.size(); }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlController* Controller = nullptr;
    TTestField* Field = nullptr;
    TTestField* Other = nullptr;
};

// ---- Values ----

TEST_F(EntryFieldTest, IntegerValuesKeepTheLowBitsAndWidenByType) {
    struct Case {
        uint8_t Type;
        int32_t Set;
        int32_t Got;
    } cases[] = {
        {dtByte, 300, 44},
        {dtByte, 255, 255},
        {dtShortInt, 255, -1},
        {dtWord, 65535, 65535},
        {dtSmallInt, -1, -1},
        {dtSmallInt, 40000, -25536},
        {dtLongInt, INT32_MIN, INT32_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Set);
        Field->SetDataTypeAndKind(c.Type, fkSimple);
        Field->SetDefaultRange();
        Field->SetAsInteger(c.Set);
        EXPECT_EQ(Field->GetAsInteger(), c.Got);
        EXPECT_EQ(Field->LastError(), 0);
    }
    // A 16-bit value comes out as exactly two bytes, whatever the caller's buffer held.
    Field->SetDataTypeAndKind(dtWord, fkSimple);
    Field->SetAsInteger(7);
    TCtlEntryValue v{dtLongInt, std::vector<uint8_t>(4, 0xFF)};
    ASSERT_EQ(Field->GetValue(v), 0);
    EXPECT_EQ(v.DataType, dtWord);
    EXPECT_EQ(v.Bytes, (std::vector<uint8_t>{7, 0}));
}

TEST_F(EntryFieldTest, TypedAccessRefusesOtherTypesAndBadBuffers) {
    Field->SetDataTypeAndKind(dtString, fkSimple);
    EXPECT_THROW(Field->GetAsInteger(), EInvalidDataType);
    EXPECT_THROW(Field->SetAsInteger(1), EInvalidDataType);
    EXPECT_THROW(Field->SetAsDateTime(1.0), EInvalidDataType);
    EXPECT_THROW(Field->SetAsFloat(1.0), EInvalidDataType);
    try {
        Field->GetAsInteger();
    } catch (const EInvalidDataType& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid data type for this field");
    }

    Field->SetDataTypeAndKind(dtByte, fkSimple);
    Field->SetAsInteger(5);
    const auto refused = [&](const TCtlEntryValue& v) {
        try {
            Field->SetValue(v);
        } catch (const ECtlException& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refused({dtByte, {1, 2}}), "Parameter value is invalid");
    EXPECT_EQ(refused({dtWord, {1, 0}}), "Parameter value is invalid");
    EXPECT_EQ(Field->GetAsInteger(), 5) << "nothing written";

    // A data-type code beyond the table: refused both ways, and the marks do not stay behind.
    Field->SetDataTypeAndKind(16, fkSimple);
    TCtlEntryValue v;
    EXPECT_THROW(Field->GetValue(v), ECtlException);
    EXPECT_THROW(Field->SetValue({dtByte, {1}}), ECtlException);
    Field->SetDataTypeAndKind(dtByte, fkSimple);
    int changes = 0;
    Field->OnChange = [&](TObject*) { ++changes; };
    Field->SetFocus();
    Field->SetAsInteger(9);
    EXPECT_EQ(changes, 0) << "the setting mark was cleared and set again";
    EXPECT_EQ(Field->GetSelLength(), 1) << "a focused field selects the value: no getting mark left";
}

TEST_F(EntryFieldTest, SetValueIsSilentAndRestoreIsNot) {
    int changes = 0;
    Field->OnChange = [&](TObject*) { ++changes; };
    Field->SetAsInteger(0);
    Field->SetFocus();
    Driver.RunPending();
    Driver.Key(VK_END);
    Driver.Type("7");
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(Field->GetModified());
    Field->SetAsInteger(42);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(Field->GetModified());
    EXPECT_FALSE(Field->WasModified());
    Driver.Key(VK_BACK);
    EXPECT_EQ(Field->GetEditText(), "");
    Field->Restore();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(Field->GetEditText(), "0") << "the text saved on entry";
    EXPECT_FALSE(Field->GetModified());
}

TEST_F(EntryFieldTest, DatesTimesAndFloatsGoInTypedForm) {
    Field->SetDataTypeAndKind(dtDate, fkSimple);
    Field->SetAsDateTime(-1.0);  // 29 December 1899
    TCtlEntryValue v;
    ASSERT_EQ(Field->GetValue(v), 0);
    int32_t day = 0;
    std::memcpy(&day, v.Bytes.data(), 4);
    EXPECT_EQ(day, -1);
    Field->SetAsDateTime(2.0);  // 1 January 1900
    EXPECT_DOUBLE_EQ(Field->GetAsDateTime(), 2.0);

    Field->SetDataTypeAndKind(dtTime, fkSimple);
    Field->SetAsDateTime(0.5);
    EXPECT_EQ(Field->Other, (std::vector<uint8_t>{0xC0, 0xA8, 0, 0}));  // 43200 seconds

    Field->SetDataTypeAndKind(dtExtended, fkSimple);
    Field->SetAsFloat(1.0);
    EXPECT_EQ(Field->Other, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    Field->SetDataTypeAndKind(dtComp, fkSimple);
    Field->SetAsFloat(2.5);
    EXPECT_EQ(Field->Other[0], 3);
    Field->SetAsString("-12");
    EXPECT_EQ(Field->Other, (std::vector<uint8_t>{0xF4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    Field->SetDataTypeAndKind(dtByte, fkSimple);
    Field->SetAsString(" 200 ");
    EXPECT_EQ(Field->GetAsInteger(), 200);
    try {
        Field->SetAsString("x1");
        ADD_FAILURE();
    } catch (const EEntryFieldError& e) {
        EXPECT_EQ(std::string(e.what()), "Value is not valid for this field type");
    }
    EXPECT_EQ(Field->GetAsInteger(), 200);

    Field->SetDataTypeAndKind(dtString, fkSimple);
    Field->SetAsString("  ab ");
    EXPECT_EQ(Field->GetAsString(), "  ab ");
    Field->SetDataTypeAndKind(dtYesNo, fkSimple);
    Field->SetAsString("yes");
    EXPECT_EQ(Field->Other, std::vector<uint8_t>{1});
    Field->SetAsString("");
    EXPECT_EQ(Field->Other, std::vector<uint8_t>{0});
}

// ---- Properties ----

TEST_F(EntryFieldTest, PropertyWritersFollowTheirRules) {
    Field->SetDataTypeAndKind(dtString, fkSimple);
    Field->SetOptions(efoForceInsert | efoForceOvertype);
    EXPECT_EQ(Field->Options(), efoForceInsert);
    Field->SetOptions(efoForceOvertype);
    EXPECT_EQ(Field->Options(), efoForceOvertype);

    // A simple String field loses RightJustify again, after it brought TrimBlanks.
    Field->SetOptions(efoRightJustify);
    EXPECT_EQ(Field->Options(), efoTrimBlanks);
    Field->SetDataTypeAndKind(dtByte, fkSimple);
    Field->SetOptions(efoTrimBlanks | efoCaretToEnd | efoStripLiterals);
    EXPECT_EQ(Field->Options(), efoCaretToEnd);

    Field->SetEpoch(1599);
    Field->SetEpoch(4000);
    EXPECT_EQ(Field->Epoch(), 0);
    Field->SetEpoch(2000);
    EXPECT_EQ(Field->GetEpoch(), 2000);
    Field->SetEpoch(1900);
    EXPECT_EQ(Field->Epoch(), 0) << "the controller's epoch is inherited";
    EXPECT_EQ(Field->GetEpoch(), 1900);
    Field->OnGetEpoch = [](TObject*, int32_t& E) { E = 2100; };
    EXPECT_EQ(Field->GetEpoch(), 2100);

    Field->SetPictureMask("999");
    Field->SetMaxLength(10);
    Field->SetEditText("1234567890");
    for (int bad : {0, 256, 2}) Field->SetMaxLength(static_cast<uint16_t>(bad));
    EXPECT_EQ(Field->MaxLength(), 10);
    Field->SetMaxLength(4);
    EXPECT_EQ(Field->MaxLength(), 4);
    EXPECT_EQ(Field->GetEditText(), "1234");

    Field->SetOptions(efoPasswordMode);
    Field->SetPasswordChar('\0');
    EXPECT_EQ(Field->Options() & efoPasswordMode, 0);
    Field->SetTextMargin(1);
    EXPECT_EQ(Field->TextMargin(), 2);
}

// ---- Ranges ----

TEST_F(EntryFieldTest, RangeTexts) {
    struct Case {
        uint8_t Type;
        const char* Mask;
        const char* Lo;
        const char* Hi;
    } cases[] = {
        {dtChar, "X", "#32", "#32"},
        {dtLongInt, "KKKKKKKK", "80000000", "7FFFFFFF"},
        {dtByte, "bbbbbbbb", "00000000", "11111111"},
        {dtWord, "99999", "0", "65535"},
        {dtDate, "X", "01/01/1600", "12/31/3999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        Field->SetDataTypeAndKind(c.Type, fkSimple);
        Field->SetPictureMask(c.Mask);
        Field->SetDefaultRange();
        const std::string date = CtlIntlSup().InternationalDate(true);
        if (c.Type == dtDate && date != "mm/dd/yyyy") continue;  // the settings' own layout
        EXPECT_EQ(Field->GetRangeLo(), c.Lo);
        EXPECT_EQ(Field->GetRangeHi(), c.Hi);
        // The text goes back to the same record.
        const TCtlRangeRec hi = Field->RangeHiRec();
        Field->SetRangeHi(Field->GetRangeHi());
        EXPECT_EQ(Field->RangeHiRec(), hi);
    }
    // Times take the settings' time layout without seconds; an empty record text is no time.
    Field->SetDataTypeAndKind(dtTime, fkSimple);
    Field->SetDefaultRange();
    const std::string pic = CtlIntlSup().InternationalTime(false);
    EXPECT_EQ(Field->GetRangeHi(), CtlIntlSup().TimeToTimeString(pic, 86340, false));
    Field->SetRangeLo(CtlIntlSup().TimeToTimeString(pic, 3600, false));
    EXPECT_EQ(Field->RangeLoRec().AsInteger(), 3600);
    EXPECT_THROW(Field->SetRangeLo("1"), EInvalidRangeValue) << "shorter than the picture";

    Field->SetDataTypeAndKind(dtDouble, fkSimple);
    Field->SetPictureMask("#####.##");
    Field->SetMaxLength(8);
    Field->SetRangeHi("12.5");
    EXPECT_EQ(Field->GetRangeHi(), "12.5");
    Field->SetRangeHi("99999999999");
    EXPECT_LE(Field->GetRangeHi().size(), 8u) << Field->GetRangeHi();
    EXPECT_NE(Field->GetRangeHi().find('e'), std::string::npos);
    EXPECT_THROW(Field->SetRangeLo("2e308"), EInvalidRangeValue);

    Field->SetDataTypeAndKind(dtLongInt, fkSimple);
    Field->SetPictureMask("9");
    EXPECT_THROW(Field->SetRangeLo("abc"), EInvalidRangeValue);
    Field->SetDataTypeAndKind(dtByte, fkSimple);
    Field->SetDefaultRange();
    EXPECT_THROW(Field->SetRangeHi("300"), EInvalidRangeValue);
    EXPECT_EQ(Field->GetRangeHi(), "255") << "unchanged";
}

TEST_F(EntryFieldTest, RangesStreamAsTenByteRecords) {
    Field->SetDataTypeAndKind(dtLongInt, fkSimple);
    Field->SetRangeLo("-2");
    Field->SetRangeHi("258");
    TMemFiler f;
    f.Writer().WriteProperties(Field);
    f.Writer().WriteListEnd();
    const std::string bytes = f.Bytes();
    const std::string hi("\x02\x01\x00\x00\x00\x00\x00\x00\x00\x00", 10);
    const std::string lo("\xFE\xFF\xFF\xFF\x00\x00\x00\x00\x00\x00", 10);
    // Name, vaBinary, a 4-byte length of 10, the record.
    const std::string len("\x0A\x00\x00\x00", 4);
    EXPECT_NE(bytes.find("\x09RangeHigh\x0A" + len + hi), std::string::npos);
    EXPECT_NE(bytes.find("\x08RangeLow\x0A" + len + lo), std::string::npos);

    auto* copy = new TTestField(Form, dtLongInt);
    TMemFiler g;
    g.Writer().Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    TReader& r = g.Reader();
    while (!r.EndOfList()) r.ReadProperty(copy);
    EXPECT_EQ(copy->GetRangeLo(), "-2");
    EXPECT_EQ(copy->GetRangeHi(), "258");

    for (uint8_t t : {dtString, dtBoolean, dtYesNo}) {
        Field->SetDataTypeAndKind(t, fkSimple);
        TMemFiler h;
        h.Writer().WriteProperties(Field);
        EXPECT_EQ(h.Bytes().find("Range"), std::string::npos);
    }
}

// ---- Messages and commands ----

TEST_F(EntryFieldTest, SelectionMessages) {
    Field->SetAsInteger(123);
    Field->Perform(EM_SETSEL, 0, static_cast<LPARAM>(0xFFFF0000u));
    EXPECT_EQ(Field->SelStart(), 0);
    EXPECT_EQ(Field->SelEnd(), 3);
    int start = -1, end = -1;
    EXPECT_EQ(Field->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)),
              MakeLParam(0, 3));
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 3);
    Field->Perform(EM_SETSEL, 0, MakeLParam(1, 2));
    EXPECT_EQ(Field->GetSelLength(), 1);
    Field->Perform(EM_SETSEL, 0, MakeLParam(0xFFFF, 3));
    EXPECT_EQ(Field->GetSelLength(), 0);
    Field->Perform(EM_SETSEL, 0, MakeLParam(2, 1));
    EXPECT_EQ(Field->GetSelLength(), 0) << "end before start is ignored";

    Field->Perform(EM_SETMODIFY, 1, 0);
    EXPECT_EQ(Field->Perform(EM_GETMODIFY, 0, 0), 1);
    EXPECT_TRUE(Field->WasModified());
    Field->Perform(EM_SETMODIFY, 0, 0);
    EXPECT_FALSE(Field->GetModified());
    EXPECT_EQ(Field->Perform(OM_GETDATASIZE, 0, 0), 1);
}

TEST_F(EntryFieldTest, ReadOnlyFieldBeepsOnEditsAndStillMoves) {
    Field->SetAsInteger(123);
    Field->SetOptions(efoReadOnly);
    Field->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Field->CaretColumn(), 0);
    Driver.Key(VK_RIGHT);
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Field->CaretColumn(), 2);
    platform::ClearBeepHistory();
    Driver.Key(VK_BACK);
    Driver.Type("5");
    EXPECT_EQ(Field->GetEditText(), "123");
    EXPECT_EQ(Field->CaretColumn(), 2);
    EXPECT_EQ(platform::BeepHistory().size(), 2u);

    Controller->EntryOptions &= ~efoBeepOnError;
    platform::ClearBeepHistory();
    Driver.Key(VK_BACK);
    EXPECT_TRUE(platform::BeepHistory().empty());
    EXPECT_EQ(Field->GetEditText(), "123");
}

TEST_F(EntryFieldTest, UserCommandsReachTheHandlerOnly) {
    Controller->EntryCommands().AddCommand("Default", {VK_F7, 0, 0, 0, 300});
    std::vector<uint16_t> seen;
    Field->OnUserCommand = [&](TObject*, uint16_t C) { seen.push_back(C); };
    Field->SetAsInteger(12);
    Field->SetFocus();
    Driver.RunPending();
    Driver.Key(VK_F7);
    EXPECT_EQ(seen, std::vector<uint16_t>{300});
    EXPECT_EQ(Field->GetEditText(), "12");
}

TEST_F(EntryFieldTest, ClipboardKeysAndSetText) {
    Field->SetDataTypeAndKind(dtString, fkSimple);
    Field->SetAsString("abcd");
    Field->SetFocus();
    Driver.RunPending();
    ASSERT_EQ(Field->GetSelLength(), 4);
    Driver.Key('X', ssCtrl);
    EXPECT_EQ(Clipboard()->AsText(), "abcd") << "a cut by key also copies";
    EXPECT_EQ(Field->GetEditText(), "");
    Driver.Key('V', ssCtrl);
    Driver.Key('V', ssCtrl);
    EXPECT_EQ(Field->GetEditText(), "abcdabcd");
    Field->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("xy"));
    EXPECT_EQ(Field->GetEditText(), "xy") << "the whole text is replaced";
    Field->ClearSelection();
    EXPECT_EQ(Field->GetEditText(), "xy") << "nothing selected";
}

TEST_F(EntryFieldTest, LongTextScrollsWithTheCaret) {
    Field->SetDataTypeAndKind(dtString, fkSimple);
    Field->SetMaxLength(100);
    Field->SetAsString(std::string(60, 'W'));
    Field->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Field->CaretColumn(), 60);
    EXPECT_GT(Field->FirstVisibleColumn(), 0);
    EXPECT_LT(GetCaretState().Bounds.Left, Field->ClientWidth());
    Driver.Key(VK_HOME);
    EXPECT_EQ(Field->FirstVisibleColumn(), 0);
    // Leaving scrolls the text back to its start.
    Driver.Key(VK_END);
    Other->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Field->FirstVisibleColumn(), 0);
}

// ---- Focus and validation ----

TEST_F(EntryFieldTest, ClickPlacesTheCaretAndTabInSelectsAll) {
    Field->SetAsInteger(123);
    Other->SetFocus();
    Driver.RunPending();
    ASSERT_NE(Controller->EntryOptions & efoAutoSelect, 0);
    const int x = 2 + Field->Canvas().TextWidth("1") + 1;  // just right of the first digit
    Driver.Click(*Field, x, 10);
    Driver.RunPending();
    EXPECT_TRUE(Field->Focused());
    EXPECT_EQ(Field->CaretColumn(), 1);
    EXPECT_EQ(Field->GetSelLength(), 0);

    Other->SetFocus();
    Driver.RunPending();
    Driver.Key(VK_TAB, ssShift);
    Driver.KeyUp(VK_SHIFT);
    Driver.RunPending();
    ASSERT_TRUE(Field->Focused());
    EXPECT_EQ(Field->SelStart(), 0);
    EXPECT_EQ(Field->SelEnd(), 3);
    EXPECT_EQ(Field->CaretColumn(), 3) << "efoCaretToEnd";
    // The selection is drawn in the highlight colours.
    Driver.Grab(*Form, "/tmp/entry_selected.png");
    EXPECT_EQ(Driver.PixelAt(*Field, 2, Field->ClientHeight() / 2), ColorToRGB(clHighlight));
}

TEST_F(EntryFieldTest, LeavingAnInvalidFieldBringsTheFocusBack) {
    HoldOutOfRange();
    std::vector<std::string> events;
    Field->AfterExit = [&](TObject*) { events.push_back("exit"); };
    Controller->OnPreEdit = [&](TObject* S, TWinControl*) {
        events.push_back(S == Field ? "pre field" : "pre other");
    };
    Controller->OnPostEdit = [&](TObject* S, TWinControl*) {
        events.push_back(S == Field ? "post field" : "post other");
    };
    int otherValidations = 0;
    Other->OnUserValidation = [&](TObject*, uint16_t&) { ++otherValidations; };
    Field->SetFocus();
    Driver.RunPending();
    events.clear();
    otherValidations = 0;

    Driver.Answer(IDOK);
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_TRUE(Field->Focused());
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Value is not within required range");
    // The field's exit (and another as the error box takes the focus); no notices: the edit goes
    // on, and the control passed through posts none and validates nothing.
    EXPECT_EQ(events, (std::vector<std::string>{"exit", "exit"}));
    EXPECT_EQ(otherValidations, 0);
    EXPECT_EQ(Field->CaretColumn(), 1) << "the caret stayed where it was";
    EXPECT_EQ(Field->LastError(), epRangeError);
    EXPECT_FALSE(Controller->ErrorPending);

    // Once valid, the field is left normally.
    Driver.Key(VK_BACK);
    Driver.Type("5");
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_EQ(events.back(), "pre other");
}

TEST_F(EntryFieldTest, SoftValidationLetsTheFieldGoAndPaintsItRed) {
    HoldOutOfRange();
    Field->SetOptions(Field->Options() | efoSoftValidation);
    Field->SetFocus();
    Driver.RunPending();
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(Boxes(), 0u);
    EXPECT_TRUE(Field->SoftErrorShown());
    EXPECT_FALSE(Field->IsValid());
    Driver.Grab(*Form, "/tmp/entry_soft.png");
    // Background: red inside the field, right of the text; the digit is black.
    EXPECT_EQ(Driver.PixelAt(*Field, 100, 10), 0x0000FFu);
    EXPECT_EQ(Driver.PixelAt(*Field, 60, 3), 0x0000FFu);
    bool black = false;
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 20; ++y) black |= Driver.PixelAt(*Field, x, y) == 0;
    EXPECT_TRUE(black);
}

TEST_F(EntryFieldTest, UserValidationAndRequiredInput) {
    HoldOutOfRange();
    uint16_t answer = 0;
    Field->OnUserValidation = [&](TObject*, uint16_t& Code) { Code = answer; };
    std::vector<std::pair<uint16_t, std::string>> errors;
    Field->OnError = [&](TObject*, uint16_t Code, const std::string& Text) {
        errors.emplace_back(Code, Text);
    };
    Controller->ErrorText = "from the application";
    struct Case {
        uint16_t Answer;
        const char* Text;  // nullptr: accepted
    } cases[] = {{0, nullptr},
                 {40000, "from the application"},
                 {300, "Entry Error"},
                 {256, "Value is not within required range"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer);
        answer = c.Answer;
        errors.clear();
        EXPECT_EQ(Field->ValidateContents(true), c.Answer);
        Driver.RunPending();
        if (!c.Text) {
            EXPECT_TRUE(errors.empty());
            continue;
        }
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].first, c.Answer);
        EXPECT_EQ(errors[0].second, c.Text);
    }
    EXPECT_EQ(Controller->ErrorText, "Value is not within required range");

    // Inside the handler the field's value cannot be set.
    Field->OnUserValidation = [&](TObject*, uint16_t& Code) {
        Field->SetAsInteger(7);
        Field->SetAsString("8");
        Code = 0;
    };
    EXPECT_EQ(Field->ValidateContents(false), 0);
    EXPECT_EQ(Field->GetEditText(), "0");

    Field->OnUserValidation = nullptr;
    Field->SetOptions(Field->Options() | efoInputRequired);
    Field->SetEditText("  ");
    errors.clear();
    EXPECT_EQ(Field->ValidateContents(true), epRequired);
    Driver.RunPending();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "A value is required in this field");

    Field->SetVisible(false);
    EXPECT_EQ(Field->ValidateContents(true), 0) << "an invisible field is valid";
}

TEST_F(EntryFieldTest, SpecialControlsTakeTheFocusWithoutValidation) {
    HoldOutOfRange();
    Controller->OnIsSpecialControl = [&](TObject*, TWinControl* C, bool& Special) { Special = C == Other; };
    Field->SetFocus();
    Driver.RunPending();
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(Boxes(), 0u);
}

TEST_F(EntryFieldTest, InitialValueAndStepping) {
    struct Case {
        uint8_t Type;
        const char* Lo;
        const char* Hi;
        const char* Text;
    } cases[] = {{dtByte, "5", "10", "5"}, {dtShortInt, "-9", "-3", "-9"}, {dtWord, "0", "9", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        auto* f = new TTestField(Form, c.Type);
        f->SetRangeLo(c.Lo);
        f->SetRangeHi(c.Hi);
        f->SetInitialValue();
        EXPECT_EQ(f->GetEditText(), c.Text);
        f->Free();
    }
    Field->SetDataTypeAndKind(dtDate, fkSimple);
    Field->SetInitialValue();
    EXPECT_EQ(Field->Other, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));

    Field->SetDataTypeAndKind(dtByte, fkSimple);
    Field->SetAsInteger(4);
    Field->Perform(EM_SETSEL, 0, static_cast<LPARAM>(0xFFFF0000u));
    Field->IncrementValue(false, 3);
    EXPECT_EQ(Field->GetEditText(), "7");
    EXPECT_EQ(Field->GetSelLength(), 0);
    Field->DecrementValue(false, 2);
    EXPECT_EQ(Field->GetEditText(), "5");
}

TEST_F(EntryFieldTest, RangeBelowTheValueReportsAtOnce) {
    Field->SetAsInteger(5);
    Other->SetFocus();
    Driver.RunPending();
    Driver.Answer(IDOK);
    Field->SetRangeLo("6");
    Driver.RunPending();
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Value is not within required range");
    EXPECT_TRUE(Field->Focused());
}

// ---- Display, clipboard and menu ----

TEST_F(EntryFieldTest, ControlCharactersShowAsLettersAndCopyAsThemselves) {
    Field->SetDataTypeAndKind(dtString, fkSimple);
    Field->SetEditText(std::string("a\x01z"));
    EXPECT_EQ(Field->GetDisplayText(), "aAz");
    Field->ControlCharColor = clBlue;
    Field->Repaint();
    Driver.Grab(*Form, "/tmp/entry_ctrl.png");
    const int a = Field->Canvas().TextWidth("a"), w = Field->Canvas().TextWidth("A");
    int blue = 0, outside = 0;
    for (int x = 0; x < 60; ++x)
        for (int y = 0; y < Field->ClientHeight(); ++y)
            if (Driver.PixelAt(*Field, x, y) == 0xFF0000u) (x >= 1 + a && x < 1 + a + w ? blue : outside)++;
    EXPECT_GT(blue, 3);
    EXPECT_EQ(outside, 0);

    Field->SelectAll();
    Field->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), std::string("a\x01z"));
}

TEST_F(EntryFieldTest, HiddenZeroShowsOnlyWithFocus) {
    Field->SetZeroDisplay(zdHide);
    Field->SetAsInteger(0);
    EXPECT_EQ(Field->GetDisplayText(), " ");
    Field->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Field->GetDisplayText(), "0");
    Other->SetFocus();
    Driver.RunPending();
    Field->SetZeroDisplay(zdHideUntilModified);
    Field->Perform(EM_SETMODIFY, 1, 0);
    EXPECT_EQ(Field->GetDisplayText(), "0");
}

TEST_F(EntryFieldTest, RightButtonMenu) {
    Field->SetAsInteger(12);
    std::vector<std::pair<std::string, bool>> items;
    const auto record = [&](TMenuItem& Items) -> TMenuItem* {
        items.clear();
        for (int i = 0; i < Items.Count(); ++i) items.emplace_back(Items[i]->Caption, Items[i]->Enabled);
        return nullptr;
    };
    Clipboard()->SetAsText("3");
    Driver.AnswerMenu(record);
    Driver.Click(*Field, 20, 10, TMouseButton::mbRight);
    Driver.RunPending();
    EXPECT_TRUE(Field->Focused());
    // Taking the focus selected the whole text.
    const std::vector<std::pair<std::string, bool>> expected = {
        {"&Restore", false}, {"-", true},       {"Cu&t", true}, {"&Copy", true},
        {"&Paste", true},    {"&Delete", true}, {"-", true},    {"Select &All", false}};
    EXPECT_EQ(items, expected);

    Field->SetOptions(Field->Options() | efoReadOnly);
    Driver.AnswerMenu(record);
    Driver.Click(*Field, 20, 10, TMouseButton::mbRight);
    ASSERT_EQ(items.size(), 8u);
    EXPECT_FALSE(items[4].second);

    // Choosing an item runs it.
    Field->SetOptions(Field->Options() & ~efoReadOnly);
    Field->Perform(EM_SETSEL, 0, MakeLParam(0, 1));
    Driver.AnswerMenu([](TMenuItem& Items) { return Items[5]; });
    Driver.Click(*Field, 20, 10, TMouseButton::mbRight);
    EXPECT_EQ(Field->GetEditText(), "2");
    EXPECT_TRUE(Field->GetModified());
    Driver.AnswerMenu([](TMenuItem& Items) { return Items[0]; });
    Driver.Click(*Field, 20, 10, TMouseButton::mbRight);
    EXPECT_EQ(Field->GetEditText(), "12") << "restored";

    auto* own = new TPopupMenu(Form);
    own->Items()->Add(NewItem(own, "Mine", 0, nullptr));
    Field->SetPopupMenu(own);
    Driver.AnswerMenu(record);
    Driver.Click(*Field, 20, 10, TMouseButton::mbRight);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].first, "Mine");
}

TEST_F(EntryFieldTest, HeightFollowsTheFont) {
    int h0 = 0, h = 0;
    CtlFontHeights(Field->Font(), h0, h);
    EXPECT_EQ(Field->Height(), h + GetSystemMetrics(SM_CYBORDER) * 8);
    Field->Font().SetSize(20);
    CtlFontHeights(Field->Font(), h0, h);
    EXPECT_EQ(Field->Height(), h + GetSystemMetrics(SM_CYBORDER) * 8);
    // A height set by other means switches the automatic height off.
    Field->SetHeight(60);
    EXPECT_FALSE(Field->AutoSize());
    Field->Font().SetSize(9);
    EXPECT_EQ(Field->Height(), 60);
}

}  // namespace
}  // namespace entry
