#include "controls/entry/CtlPictureField.h"

#include <gtest/gtest.h>

#include <cstring>

#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/IntlSup.h"
#include "framework/core/Seams.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"

namespace entry {
namespace {

using namespace framework;

// Opens the protected parts that the tests look at.
class TProbeField : public TCtlPictureField {
public:
    using TCtlPictureField::GetFirstEditPosition;
    using TCtlPictureField::PrepareEditBuffer;
    using TCtlPictureField::TCtlPictureField;
    void Command(uint16_t Code) {
        TMessage m{};
        DoCommand(m, Code);
    }
};

class PictureFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(320, 200);
        Controller = new TCtlController(Form);
        Controller->SetEpoch(1900);
        Next = Make(pftString, "", 150);
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Driver.KeyUp(VK_SHIFT);
        if (Form) Form->Free();
        Driver.RunPending();
        SetClock(nullptr);
    }
    TProbeField* Make(TPictureDataType Type, const std::string& Mask = "", int Top = 10) {
        auto* f = new TProbeField(Form);
        f->SetParent(Form);
        f->SetBounds(10, Top, 200, 25);
        f->SetDataType(Type);
        if (!Mask.empty()) f->SetPictureMask(Mask);
        return f;
    }
    void Enter(TWinControl* C) {
        C->SetFocus();
        Driver.RunPending();
    }
    void Tab() {
        Driver.Key(VK_TAB);
        Driver.RunPending();
    }
    size_t Beeps() const { return platform::BeepHistory().size(); }
    // Today is 6 March 2026, 14:30:00.
    void FakeToday() {
        const TDateTime now = EncodeDate(2026, 3, 6) + EncodeTime(14, 30, 0, 0);
        SetClock([now] { return now; });
    }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlController* Controller = nullptr;
    TProbeField* Next = nullptr;
};

// ---- Merging and the engine on a field ----

TEST_F(PictureFieldTest, CurrencyMaskMergesAndPreparesForEditing) {
    TProbeField* f = Make(pftDouble, "$##,###.##");
    f->SetAsFloat(1234.5);
    EXPECT_EQ(f->GetDisplayText(), " $1,234.50");
    EXPECT_EQ(f->GetEditText(), " 1234.50");
    f->HandleNeeded();
    EXPECT_TRUE(f->PrepareEditBuffer());
    EXPECT_EQ(f->GetDisplayText(), "   1234.50");
    EXPECT_EQ(f->GetFirstEditPosition(), 2);
    TCtlEntryValue v;
    ASSERT_EQ(f->GetValue(v), 0);
    double d = 0;
    std::memcpy(&d, v.Bytes.data(), 8);
    EXPECT_DOUBLE_EQ(d, 1234.5);
}

TEST_F(PictureFieldTest, ValuesLayIntoTheirMasks) {
    struct Case {
        TPictureDataType Type;
        const char* Mask;
        double Value;
        bool RightJustify;
        const char* Shown;
    } cases[] = {
        {pftByte, "99", 5, false, "5 "},
        {pftByte, "99", 5, true, " 5"},
        {pftDouble, "###.##", -3, false, " -3.00"},
        {pftLongInt, "KKKK", 31, false, "001F"},
        {pftLongInt, "bbbb", 5, false, "0101"},
        {pftInteger, "iii", -12, false, "-12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        TProbeField* f = Make(c.Type, c.Mask);
        if (c.RightJustify) f->SetOptions(f->Options() | efoRightJustify);
        if (c.Type == pftDouble)
            f->SetAsFloat(c.Value);
        else
            f->SetAsInteger(static_cast<int32_t>(c.Value));
        EXPECT_EQ(f->GetDisplayText(), c.Shown);
        f->Free();
    }
}

TEST_F(PictureFieldTest, ThousandsSeparatorOfNothingRemovesItsPositions) {
    TCtlIntlSup& intl = CtlIntlSup();
    const char saved = intl.ThousandChar;
    intl.ThousandChar = '\0';
    TProbeField* f = Make(pftDouble, "#,###.##");
    f->SetAsFloat(1234.5);
    EXPECT_EQ(f->GetDisplayText(), "1234.50");
    intl.ThousandChar = saved;
}

TEST_F(PictureFieldTest, AssignPictureKeepsTheValue) {
    TProbeField* f = Make(pftLongInt, "iiii");
    f->SetAsInteger(42);
    f->SetPictureMask("iiiiiii");
    EXPECT_EQ(f->MaxLength(), 7);
    EXPECT_EQ(f->GetAsInteger(), 42);
    EXPECT_EQ(f->GetDisplayText(), "42     ");
    f->SetPictureMask("ii");
    EXPECT_EQ(f->MaxLength(), 2);
    EXPECT_EQ(f->GetAsInteger(), 42);
}

TEST_F(PictureFieldTest, PadCharShowsBlankEditablePositionsOnly) {
    TProbeField* f = Make(pftString, "(999) 999-9999");
    f->SetPadChar('_');
    f->SetAsString("555");
    EXPECT_EQ(f->GetDisplayText(), "(555) ___-____");
    Enter(f);
    EXPECT_EQ(f->GetDisplayText(), "(555) ___-____");
}

TEST_F(PictureFieldTest, StringValuesOfFullLengthAreTakenAsTheText) {
    TProbeField* f = Make(pftString, "XXX-XXX");
    f->SetAsString("ABC-123");
    EXPECT_EQ(f->GetDisplayText(), "ABC-123");
    f->SetAsString("ABC123");
    EXPECT_EQ(f->GetDisplayText(), "ABC-123");
    EXPECT_EQ(f->GetAsString(), "ABC-123");
    f->SetOptions(f->Options() | efoStripLiterals);
    EXPECT_EQ(f->GetAsString(), "ABC123");
}

// ---- Typing ----

TEST_F(PictureFieldTest, CaseForcingWhileTyping) {
    TProbeField* f = Make(pftString, std::string(15, 'x'));
    Enter(f);
    Driver.Type("to-do list");
    EXPECT_EQ(f->GetAsString(), "To-Do List");

    TProbeField* a = Make(pftString, "aaaaaa", 40);
    Enter(a);
    Driver.Type("e,-. \xE9");
    EXPECT_EQ(a->GetDisplayText(), "e,-. \xE9");
    platform::ClearBeepHistory();
    Driver.Type("1");
    EXPECT_EQ(Beeps(), 1u) << "a digit is no letter";

    TProbeField* up = Make(pftString, "AAA", 70);
    Enter(up);
    Driver.Type("e");
    EXPECT_EQ(up->GetDisplayText(), "E  ");
}

TEST_F(PictureFieldTest, UserCharacterSetsGovernTheirMaskCharacters) {
    TCtlUserData& user = CtlUserData();
    const TCtlUserData saved = user;
    user.UserCharSets[0].reset();
    for (char c : std::string("AEIOU")) user.UserCharSets[0].set(static_cast<uint8_t>(c));
    user.ForceCase[0] = 1;
    TProbeField* f = Make(pftString, "111");
    Enter(f);
    Driver.Type("abe");
    EXPECT_EQ(f->GetDisplayText(), "AE ") << "set 1 forces upper case; B is not in it";
    user.UserCharSets = saved.UserCharSets;
    user.ForceCase = saved.ForceCase;
}

TEST_F(PictureFieldTest, ByteFieldEnteredSelectedTakesTwoDigitsThenBeeps) {
    TProbeField* f = Make(pftByte, "99");
    f->SetAsInteger(7);
    Enter(f);
    EXPECT_EQ(f->GetSelLength(), 2);
    Driver.Type("12");
    EXPECT_EQ(f->GetDisplayText(), "12");
    EXPECT_EQ(Beeps(), 0u);
    Driver.Type("3");
    EXPECT_EQ(f->GetDisplayText(), "12");
    EXPECT_EQ(Beeps(), 1u);
    EXPECT_EQ(f->GetAsInteger(), 12);
}

TEST_F(PictureFieldTest, InsertingIntoAFullRunPushesOnlyWhenAllowed) {
    TProbeField* f = Make(pftString, "XXXX");
    f->SetAsString("ABCD");
    Enter(f);
    Driver.Key(VK_HOME);
    Controller->EntryOptions &= ~efoInsertPushes;
    Driver.Type("Z");
    EXPECT_EQ(f->GetDisplayText(), "ABCD");
    EXPECT_EQ(Beeps(), 1u);
    Controller->EntryOptions |= efoInsertPushes;
    Driver.Type("Z");
    EXPECT_EQ(f->GetDisplayText(), "ZABC");
    EXPECT_EQ(f->CaretColumn(), 1);
}

TEST_F(PictureFieldTest, ExtendedWithoutDecimalsRoundsWhenLeft) {
    TProbeField* f = Make(pftExtended, "#############");
    f->SetDecimalPlaces(0);
    Enter(f);
    Driver.Type("12.7");
    TCtlEntryValue v;
    ASSERT_EQ(f->GetValue(v), 0);
    TCtlRangeRec r;
    std::memcpy(r.Bytes, v.Bytes.data(), 10);
    EXPECT_DOUBLE_EQ(static_cast<double>(r.AsExtended()), 12.7);
    Tab();
    EXPECT_EQ(Form->ActiveControl(), Next);
    EXPECT_EQ(f->GetDisplayText(), "13           ");
    ASSERT_EQ(f->GetValue(v), 0);
    std::memcpy(r.Bytes, v.Bytes.data(), 10);
    EXPECT_DOUBLE_EQ(static_cast<double>(r.AsExtended()), 13.0);
}

TEST_F(PictureFieldTest, DecimalCharacterAlignsTheIntegerDigits) {
    TProbeField* f = Make(pftDouble, "###.##");
    Enter(f);
    Driver.Type("12.");
    EXPECT_EQ(f->GetDisplayText(), " 12.  ");
    EXPECT_EQ(f->CaretColumn(), 4);
    Tab();
    EXPECT_EQ(f->GetDisplayText(), " 12.00");
}

TEST_F(PictureFieldTest, DateSeparatorMovesToTheNextPart) {
    TProbeField* f = Make(pftDate, "mm/dd/yy");
    Enter(f);
    Driver.Key(VK_HOME);
    Driver.Type("1/");
    EXPECT_EQ(f->CaretColumn(), 3);
    Driver.Type("5/96");
    EXPECT_EQ(f->GetDisplayText(), "1 /5 /96");
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(1996, 1, 5));
}

TEST_F(PictureFieldTest, DateTextsOfTheMaskLengthSetTheDate) {
    TProbeField* f = Make(pftDate, "mm/dd/yy");
    f->SetAsString("12/05/96");
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(1996, 12, 5));
    f->SetAsString("12/5/96");
    EXPECT_EQ(f->GetDisplayText(), "  /  /  ");
    EXPECT_EQ(f->GetAsDateTime(), 0);
}

TEST_F(PictureFieldTest, DateOutsideTheEpochWindowIsRefused) {
    TProbeField* f = Make(pftDate, "mm/dd/yy");
    f->SetAsDateTime(EncodeDate(1996, 12, 5));
    try {
        f->SetAsDateTime(EncodeDate(2026, 1, 2));
        FAIL() << "accepted";
    } catch (const EInvalidDateForMask& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Invalid date value for picture mask. (Year is outside the Epoch range)");
    }
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(1996, 12, 5)) << "nothing changed";
    f->SetPictureMask("mm/dd/yyyy");
    f->SetAsDateTime(EncodeDate(2026, 1, 2));
    EXPECT_EQ(f->GetDisplayText(), "01/02/2026");
}

TEST_F(PictureFieldTest, CompleteDateFillsThePartUnderTheCaret) {
    FakeToday();
    TProbeField* f = Make(pftDate, "mm/dd/yyyy");
    Enter(f);
    Driver.Key(VK_HOME);
    Driver.Key(VK_RIGHT);
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(f->CaretColumn(), 3);
    f->Command(ccCompleteDate);
    EXPECT_EQ(f->GetDisplayText(), "  /06/    ");
    EXPECT_EQ(f->CaretColumn(), 6) << "on to the year";
    EXPECT_TRUE(f->GetModified());
    f->SelectAll();
    f->Command(ccCompleteDate);
    EXPECT_EQ(f->GetDisplayText(), "03/06/2026");
}

// ---- Stepping ----

TEST_F(PictureFieldTest, UpArrowStepsOnlyWhereAllowed) {
    TProbeField* f = Make(pftInteger, "iii");
    f->SetOptions(f->Options() | efoArrowIncDec);
    f->SetAsInteger(5);
    Enter(f);
    Driver.Key(VK_UP);
    EXPECT_EQ(f->GetAsInteger(), 6);
    EXPECT_TRUE(f->GetModified());
    f->SetOptions(f->Options() | efoReadOnly);
    Driver.Key(VK_END);
    const int caret = f->CaretColumn();
    Driver.Key(VK_UP);
    EXPECT_EQ(f->GetAsInteger(), 6);
    EXPECT_EQ(f->CaretColumn(), caret - 1) << "moves left instead";
}

TEST_F(PictureFieldTest, IntegerStepsWrapAtTheLimits) {
    TProbeField* f = Make(pftInteger, "iii");
    f->SetAsInteger(100);
    f->SetRangeHi("200");
    f->SetRangeLo("16");
    f->SetAsInteger(200);
    Enter(f);
    f->IncrementValue(false, 1);
    EXPECT_EQ(f->GetAsInteger(), 200);
    f->IncrementValue(true, 1);
    EXPECT_EQ(f->GetAsInteger(), 16);
    f->DecrementValue(true, 1);
    EXPECT_EQ(f->GetAsInteger(), 200);
    f->DecrementValue(false, 2.7);
    EXPECT_EQ(f->GetAsInteger(), 198) << "the whole part of the delta";
}

TEST_F(PictureFieldTest, CharStepsOverTheAcceptedCodes) {
    TProbeField* f = Make(pftChar, "X");
    f->SetAsString("M");
    f->SetRangeHi("Z");
    f->SetRangeLo("A");
    f->SetAsString("Z");
    Enter(f);
    f->IncrementValue(false, 1);
    EXPECT_EQ(f->GetAsString(), "Z");
    f->IncrementValue(true, 1);
    EXPECT_EQ(f->GetAsString(), "A");

    // The default range (both limits equal): every code 1 .. 255 that the mask character takes.
    TProbeField* d = Make(pftChar, "X", 40);
    d->SetAsString("#255");
    Enter(d);
    d->IncrementValue(true, 1);
    EXPECT_EQ(d->GetEditText(), "\x01");
    d->DecrementValue(true, 1);
    EXPECT_EQ(d->GetEditText(), "\xFF");

    TProbeField* up = Make(pftChar, "!", 70);
    up->SetAsString("Y");
    Enter(up);
    up->IncrementValue(true, 1);
    EXPECT_EQ(up->GetEditText(), "Z");
    up->IncrementValue(true, 1);
    EXPECT_EQ(up->GetEditText(), "[") << "lower-case letters would be forced, so they are passed over";
}

TEST_F(PictureFieldTest, DateStepsThePartUnderTheCaret) {
    TProbeField* f = Make(pftDate, "mm/dd/yyyy");
    f->SetAsDateTime(EncodeDate(2024, 1, 31));
    Enter(f);
    Driver.Key(VK_HOME);  // month
    f->IncrementValue(false, 1);
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(2024, 2, 29));
    f->SetAsDateTime(EncodeDate(2024, 1, 31));
    Driver.Key(VK_HOME);
    Driver.Key(VK_RIGHT);
    Driver.Key(VK_RIGHT);  // day
    f->IncrementValue(false, 1);
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(2024, 2, 1));
    Driver.Key(VK_END);  // year
    f->DecrementValue(false, 2);
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(2022, 2, 1));
    EXPECT_EQ(f->GetDisplayText(), "02/01/2022");
    // Past the last date without wrap: nothing.
    f->SetAsDateTime(EncodeDate(3999, 12, 31));
    Driver.Key(VK_HOME);
    Driver.Key(VK_RIGHT);
    Driver.Key(VK_RIGHT);
    f->IncrementValue(false, 1);
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(3999, 12, 31));
    f->IncrementValue(true, 1);
    EXPECT_EQ(f->GetAsDateTime(), EncodeDate(1600, 1, 1));
}

TEST_F(PictureFieldTest, TimeStepsStayWithinTheDayUnlessWrapped) {
    TProbeField* f = Make(pftTime, "hh:mm");
    f->SetAsString("23:30");
    Enter(f);
    Driver.Key(VK_HOME);
    f->IncrementValue(false, 1);
    EXPECT_EQ(f->GetDisplayText(), "23:30");
    f->IncrementValue(true, 1);
    EXPECT_EQ(f->GetDisplayText(), "00:30");
    Driver.Key(VK_END);
    f->DecrementValue(false, 45);
    EXPECT_EQ(f->GetDisplayText(), "00:30") << "not past midnight backwards";
    f->IncrementValue(false, 15);
    EXPECT_EQ(f->GetDisplayText(), "00:45");
}

// ---- Robustness ----

TEST_F(PictureFieldTest, ShortestAndLongestMasksTakeLongPastesWithoutOverrun) {
    const std::string huge(64 * 1024, '7');
    TProbeField* one = Make(pftString, "X");
    EXPECT_EQ(one->MaxLength(), 1);
    Enter(one);
    Clipboard()->SetAsText(huge);
    one->PasteFromClipboard();
    EXPECT_EQ(one->GetEditText(), "7");

    TProbeField* longest = Make(pftString, std::string(300, 'X'), 40);
    EXPECT_EQ(longest->MaxLength(), 255);
    longest->SetAsString(huge);
    EXPECT_EQ(longest->GetEditText(), std::string(255, '7'));
    Enter(longest);
    longest->SelectAll();
    longest->PasteFromClipboard();
    EXPECT_EQ(longest->GetEditText(), std::string(255, '7'));
    longest->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(huge.c_str()));
    EXPECT_EQ(longest->GetEditText().size(), 255u);

    TProbeField* number = Make(pftDouble, "##,###.##", 70);
    Enter(number);
    number->SelectAll();
    std::string digits(64 * 1024, '9');
    number->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(digits.c_str()));
    Tab();
    EXPECT_EQ(number->GetDisplayText(), "99,999.99");
}

TEST_F(PictureFieldTest, PastingSkipsTheMaskLiterals) {
    TProbeField* f = Make(pftString, "(999) 999-9999");
    Enter(f);
    f->SelectAll();
    const std::string text = "(555) 123-4567";
    f->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    EXPECT_EQ(f->GetDisplayText(), "(555) 123-4567");
    f->SelectAll();
    const std::string plain = "5551234567";
    f->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(plain.c_str()));
    EXPECT_EQ(f->GetDisplayText(), "(555) 123-4567");
}

// ---- The program's fields ----

TEST_F(PictureFieldTest, OutOfRangeIntegerKeepsTheFocusAndSaysSo) {
    TProbeField* f = Make(pftInteger, "iii");
    f->SetAsInteger(100);
    f->SetRangeHi("200");
    f->SetRangeLo("16");
    Enter(f);
    Driver.Type("250");
    Driver.Answer(IDOK);
    Tab();
    Driver.RunPending();
    EXPECT_EQ(Form->ActiveControl(), f);
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text, "Value is not within required range");
    f->SelectAll();
    Driver.Type("120");
    Tab();
    EXPECT_EQ(Form->ActiveControl(), Next);
    EXPECT_EQ(f->GetAsInteger(), 120);
}

TEST_F(PictureFieldTest, HiddenZeroShowsBlankUntilFocused) {
    TProbeField* f = Make(pftByte, "99");
    f->SetZeroDisplay(zdHide);
    f->SetAsInteger(0);
    EXPECT_EQ(f->GetDisplayText(), "  ");
    Enter(f);
    EXPECT_EQ(f->GetDisplayText(), "0 ");
    Tab();
    EXPECT_EQ(f->GetDisplayText(), "  ");
}

TEST_F(PictureFieldTest, InvalidDataTypeIsRefused) {
    TProbeField* f = Make(pftString);
    try {
        f->SetDataType(static_cast<TPictureDataType>(17));
        FAIL() << "accepted";
    } catch (const ECtlException& e) {
        EXPECT_EQ(std::string(e.what()), "Parameter value is invalid");
    }
    EXPECT_EQ(f->PictureDataType(), pftString);
}

TEST_F(PictureFieldTest, DateTimeFieldsCarryADayCount) {
    TProbeField* f = Make(pftDateTime);
    const std::string mask = f->PictureMask();
    ASSERT_NE(mask.find(' '), std::string::npos) << "date mask, a blank and the time mask";
    f->SetAsDateTime(EncodeDate(2026, 3, 6) + EncodeTime(14, 30, 0, 0));
    TCtlEntryValue v;
    ASSERT_EQ(f->GetValue(v), 0);
    ASSERT_EQ(v.Bytes.size(), 8u);
    double d = 0;
    std::memcpy(&d, v.Bytes.data(), 8);
    EXPECT_DOUBLE_EQ(d, EncodeDate(2026, 3, 6)) << "the date part only";
    EXPECT_EQ(f->GetDisplayText().substr(0, 10),
              CtlIntlSup()
                  .DateToDateString(mask.substr(0, mask.find(' ')), CtlDateTimeToDate(d), false)
                  .substr(0, 10));
}

}  // namespace
}  // namespace entry
