// The picture array editor: moving between rows with scrolling, storing edits through the item
// slots (never more than a slot holds), errors that keep the row, focus, colours and the scroll
// bar of a very long list.
#include "controls/entry/CtlArrayEditor.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/DateTime.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

constexpr int kRow = 17;

class ArrayEditorTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlController* Controller = NewComponent<TCtlController>(Form);
    TEdit* Before = nullptr;
    TCtlPictureArrayEditor* Editor = nullptr;
    std::array<std::string, 20> Items;
    int Errors = 0;
    uint16_t LastError = 0;

    void SetUp() override {
        for (size_t i = 0; i < Items.size(); ++i) Items[i] = "item " + std::to_string(i);
        Form->SetBounds(40, 40, 360, 380);
        Form->SetColor(clBtnFace);
        Before = NewComponent<TEdit>(Form);
        Before->SetParent(Form);
        Before->SetBounds(10, 10, 150, 22);
        Before->SetTabStop(true);
        Editor = NewComponent<TCtlPictureArrayEditor>(Form);
        Editor->SetRowHeight(kRow);
        Editor->SetLineColor(clSilver);
        Editor->Font().Name = "Arial";
        Editor->Font().SetHeight(-13);
        Editor->Font().Color = clBlack;
        Editor->SetPictureMask(std::string(250, 'X'));
        Editor->SetMaxLength(250);
        Editor->OnGetItem = [this](TObject*, int Index, TCtlArrayItem& Item) {
            if (Index >= 0 && Index < static_cast<int>(Items.size()))
                Item = TCtlArrayItem::Text(Items[static_cast<size_t>(Index)], 250);
        };
        Editor->OnError = [this](TObject*, uint16_t Code, const std::string&) {
            ++Errors;
            LastError = Code;
        };
        Editor->SetParent(Form);
        Editor->SetBounds(10, 40, 200, 15 * kRow + 4);
        Editor->SetNumItems(20);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    void Focus() {
        Editor->SetFocus();
        Driver.RunPending();
    }
    uint32_t At(int X, int Y) { return Driver.PixelAt(*Editor, X, Y); }
    // The cell's text without the blanks that pad it to its mask.
    std::string CellText() const {
        std::string s = Editor->Cell()->GetEditText();
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    }
};

TEST_F(ArrayEditorTest, RowsAndTheirLayout) {
    EXPECT_EQ(Editor->VisibleRows(), 15);
    EXPECT_EQ(Editor->ClientHeight(), 15 * kRow);
    EXPECT_EQ(Editor->ActiveRow(), 0);
    ASSERT_NE(Editor->Cell(), nullptr);
    EXPECT_EQ(Editor->Cell()->Name(), "EditCell");
    EXPECT_EQ(CellText(), "item 0");
    EXPECT_EQ(Editor->Cell()->BoundsRect(), Rect(0, 0, Editor->ClientWidth(), kRow - 1));
    // Lines between the rows, text on them.
    EXPECT_EQ(At(50, kRow - 1), clSilver);
    EXPECT_EQ(At(50, 5 * kRow - 1), clSilver);
    int dark = 0;
    for (int y = 3 * kRow; y < 4 * kRow - 1; ++y)
        for (int x = 0; x < 60; ++x) dark += At(x, y) == clBlack;
    EXPECT_GT(dark, 10);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_array_editor.png");

    // Never fewer items than rows.
    Editor->SetNumItems(5);
    EXPECT_EQ(Editor->NumItems(), 15);
}

TEST_F(ArrayEditorTest, KeysMoveTheActiveRowAndScrollTheView) {
    Focus();
    EXPECT_EQ(GetFocus(), Editor->Cell()->Handle());
    for (int i = 0; i < 14; ++i) Driver.Key(VK_DOWN);
    EXPECT_EQ(Editor->ActiveRow(), 14);
    EXPECT_EQ(Editor->TopItem(), 0);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Editor->ActiveRow(), 15);
    EXPECT_EQ(Editor->TopItem(), 1);
    EXPECT_EQ(Editor->Cell()->Top(), 14 * kRow);  // still the last visible row
    EXPECT_EQ(CellText(), "item 15");

    Driver.Key(VK_END, ssCtrl);
    EXPECT_EQ(Editor->ActiveRow(), 19);
    Driver.Key(VK_HOME, ssCtrl);
    EXPECT_EQ(Editor->ActiveRow(), 0);
    EXPECT_EQ(Editor->TopItem(), 0);
    Driver.Key(VK_NEXT);
    EXPECT_EQ(Editor->ActiveRow(), 14);
    Driver.Key(VK_UP);
    EXPECT_EQ(Editor->ActiveRow(), 13);
    // Clicking a row makes it active.
    Driver.Click(*Editor, 20, 3 * kRow + 5);
    EXPECT_EQ(Editor->ActiveRow(), 3);
    EXPECT_EQ(GetFocus(), Editor->Cell()->Handle());
}

TEST_F(ArrayEditorTest, EditsAreStoredBeforeTheRowChanges) {
    std::vector<int> selected;
    Editor->OnSelect = [&](TObject*, int Index) { selected.push_back(Index); };
    Focus();
    Driver.Type("abc");  // replaces the selected text
    EXPECT_EQ(Items[0], "item 0");
    Driver.Click(*Editor, 20, 3 * kRow + 5);
    EXPECT_EQ(Items[0], "abc");
    EXPECT_EQ(Editor->ActiveRow(), 3);
    EXPECT_EQ(selected, std::vector<int>{3});

    // The row text comes from the item; an edit that is not stored stays in the cell through a
    // repaint.
    Driver.Type("x");
    Editor->Invalidate();
    Driver.RunPending();
    EXPECT_EQ(CellText(), "x");
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Items[3], "x");
    // Leaving the editor stores too.
    Driver.Type("last");
    Before->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Items[4], "last");
}

TEST_F(ArrayEditorTest, InvalidValueKeepsTheRowAndReportsOnce) {
    Editor->OnUserValidation = [](TObject*, uint16_t& Code) { Code = 0; };
    Editor->RecreateWnd();  // the cell takes the handlers when it is made
    Editor->Cell()->OnUserValidation = [this](TObject*, uint16_t& Code) {
        if (CellText() == "bad") Code = 32768;
    };
    Focus();
    Driver.Type("bad");
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(Editor->ActiveRow(), 0);
    EXPECT_EQ(Items[0], "item 0");
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(LastError, 32768);
    Driver.Key(VK_BACK);
    Driver.Type("good");
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(Editor->ActiveRow(), 1);
    EXPECT_EQ(Items[0], "bagood");
    EXPECT_EQ(Errors, 1);
}

TEST_F(ArrayEditorTest, ShiftTabLeavesForTheControlBefore) {
    Focus();
    Driver.Key(VK_TAB, ssShift);
    Driver.RunPending();
    EXPECT_EQ(GetFocus(), Before->Handle());
    // And Tab from there comes back into the cell.
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_EQ(GetFocus(), Editor->Cell()->Handle());
}

TEST_F(ArrayEditorTest, ItemColoursPaintTheRowAndTheCell) {
    Editor->OnGetItemColor = [](TObject*, int Index, TColor& FG, TColor& BG) {
        if (Index == 2) {
            BG = clRed;
            FG = clWhite;
        }
    };
    Editor->Invalidate();
    Driver.RunPending();
    EXPECT_EQ(At(150, 2 * kRow + 2), clRed);
    EXPECT_EQ(At(150, 1 * kRow + 2), clWhite);
    EXPECT_NE(Driver.PixelAt(*Editor->Cell(), 150, 2), clRed);
    Focus();
    Driver.Key(VK_DOWN);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Editor->ActiveRow(), 2);
    EXPECT_EQ(Editor->Cell()->Color(), clRed);
    Driver.Key(VK_HOME);  // the whole text is selected on a new row
    EXPECT_EQ(Driver.PixelAt(*Editor->Cell(), 150, 2), clRed);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_array_editor_red.png");
}

TEST_F(ArrayEditorTest, LongListsScaleTheScrollBar) {
    Editor->OnGetItem = nullptr;
    Editor->SetNumItems(40000);
    EXPECT_EQ(Editor->ScrollDivisor(), 2);
    EXPECT_EQ(Editor->ScrollMax(), 19999);
    Editor->Perform(WM_VSCROLL, static_cast<WPARAM>(MakeLParam(SB_THUMBPOSITION, 19999)), 0);
    EXPECT_EQ(Editor->ActiveRow(), 39999);
    EXPECT_EQ(Editor->TopItem(), 39999 - 14);
    Editor->Perform(WM_VSCROLL, static_cast<WPARAM>(MakeLParam(SB_THUMBTRACK, 100)), 0);
    EXPECT_EQ(Editor->ActiveRow(), 200);
    EXPECT_EQ(GetScrollPos(Editor->Handle(), SB_VERT), 100);
    // Rows without storage show the initial value.
    EXPECT_EQ(CellText(), "");

    // All items fit: no range.
    Editor->SetNumItems(15);
    EXPECT_EQ(Editor->ActiveRow(), 14);
}

TEST_F(ArrayEditorTest, SlotsTakeNoMoreThanTheyHold) {
    // The exclude list: a mask and length of 255 over slots of 250 characters.
    Editor->SetPictureMask(std::string(255, 'X'));
    Editor->SetMaxLength(255);
    Focus();
    Driver.Type(std::string(255, 'a'));
    EXPECT_EQ(CellText().size(), 250u);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Items[0], std::string(250, 'a'));
    EXPECT_EQ(Items[1], "item 1");
    // A slot holding more than it says shows and keeps only its share.
    Items[2] = std::string(300, 'b');
    Driver.Key(VK_DOWN);
    EXPECT_EQ(CellText(), std::string(250, 'b'));
}

TEST_F(ArrayEditorTest, VolumeListForcesCapitals) {
    std::array<std::string, 40> volumes;
    Editor->OnGetItem = [&](TObject*, int Index, TCtlArrayItem& Item) {
        Item = TCtlArrayItem::Text(volumes[static_cast<size_t>(Index)], 11);
    };
    Editor->SetPictureMask("!!!!!!!!!!!");
    Editor->SetMaxLength(11);
    Editor->SetNumItems(40);
    Focus();
    Driver.Type("backup-01 and more");
    Driver.Key(VK_DOWN);
    EXPECT_EQ(volumes[0], "BACKUP-01 A");
    EXPECT_EQ(volumes[1], "");
}

TEST_F(ArrayEditorTest, IntegerItems) {
    std::array<int32_t, 20> counts{};
    counts[1] = 42;
    Editor->SetDataType(pftInteger);  // over the text slots: their texts are no numbers
    EXPECT_EQ(CellText(), "0");
    Editor->SetPictureMask("99999");
    Editor->SetMaxLength(6);
    Editor->OnGetItem = [&](TObject*, int Index, TCtlArrayItem& Item) {
        Item = TCtlArrayItem::Integer(counts[static_cast<size_t>(Index)]);
    };
    Editor->RecreateWnd();
    Focus();
    Driver.Type("123");
    Driver.Key(VK_DOWN);
    EXPECT_EQ(counts[0], 123);
    EXPECT_EQ(CellText(), "42");
    Driver.Type("99999");  // beyond a SmallInt
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(Editor->ActiveRow(), 1);
    EXPECT_EQ(counts[1], 42);
    EXPECT_EQ(Errors, 1);
    EXPECT_THROW(Editor->SetDataType(static_cast<TPictureDataType>(pftDateTime + 1)), ECtlException);
}

// Mask literals are laid in and taken out again: the slot keeps the digits, the row shows them
// in the mask.
TEST_F(ArrayEditorTest, MaskLiteralsAreShownAroundTheStoredText) {
    std::array<std::string, 20> phones;
    phones[1] = "5559876543";
    Editor->SetPictureMask("(999) 999-9999");
    Editor->OnGetItem = [&](TObject*, int Index, TCtlArrayItem& Item) {
        Item = TCtlArrayItem::Text(phones[static_cast<size_t>(Index)], 20);
    };
    Editor->RecreateWnd();
    EXPECT_EQ(Editor->Cell()->RowText(TCtlArrayItem::Text(phones[1], 20)), "(555) 987-6543");
    Focus();
    Driver.Type("5551234567");
    Driver.Key(VK_DOWN);
    EXPECT_EQ(phones[0], "(555) 123-4567");
    EXPECT_EQ(Editor->Cell()->MaskedText(), "(555) 987-6543");
    // A letter has no place in the mask: nothing changes.
    Driver.Key(VK_HOME);
    Driver.Type("x");
    EXPECT_EQ(Editor->Cell()->MaskedText(), "(555) 987-6543");
}

// Date and number slots: each row shows its value through the mask, and an edit goes back as a
// date or a number; a date the calendar does not have keeps the row and is reported.
TEST_F(ArrayEditorTest, DateAndNumberSlotsTakeTheirValues) {
    std::array<TDateTime, 20> dates{};
    dates[1] = EncodeDate(2026, 12, 11);
    Editor->SetDataType(pftDate);
    Editor->SetPictureMask("mm/dd/yyyy");
    Editor->OnGetItem = [&](TObject*, int Index, TCtlArrayItem& Item) {
        Item = TCtlArrayItem::Date(dates[static_cast<size_t>(Index)]);
    };
    Editor->RecreateWnd();
    EXPECT_EQ(Editor->Cell()->RowText(TCtlArrayItem::Date(dates[1])), "12/11/2026");
    Focus();
    Driver.Key(VK_HOME);
    Driver.Type("01022027");
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(dates[0], EncodeDate(2027, 1, 2));
    EXPECT_EQ(Editor->Cell()->MaskedText(), "12/11/2026");
    Driver.Key(VK_HOME);
    Driver.Type("02302027");
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(Editor->ActiveRow(), 1);
    EXPECT_EQ(dates[1], EncodeDate(2026, 12, 11));
    EXPECT_EQ(Errors, 1);

    std::array<double, 20> numbers{};
    numbers[1] = 3.25;
    Editor->SetDataType(pftDouble);
    Editor->SetPictureMask("#####.##");
    Editor->OnGetItem = [&](TObject*, int Index, TCtlArrayItem& Item) {
        Item = TCtlArrayItem::Number(numbers[static_cast<size_t>(Index)]);
    };
    Editor->RecreateWnd();
    EXPECT_EQ(Editor->Cell()->RowText(TCtlArrayItem::Number(numbers[1])), "    3.25");
    Focus();
    Editor->Perform(WM_VSCROLL, static_cast<WPARAM>(MakeLParam(SB_THUMBPOSITION, 0)), 0);
    Driver.Type("12.5");
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_DOUBLE_EQ(numbers[0], 12.5);
    // A date slot under a number cell has nothing to show: the initial value.
    EXPECT_EQ(Editor->Cell()->RowText(TCtlArrayItem::Date(dates[1])),
              Editor->Cell()->RowText(TCtlArrayItem()));
}

}  // namespace
}  // namespace entry
