// The cell kinds: attribute resolution, text placement and styles, headings, the shared glyph
// bitmaps, check boxes and the saving of edited values.
#include "controls/grid/CtlTableCells.h"

#include "controls/entry/CtlDates.h"
#include "controls/grid/CtlTableEntryCells.h"

#include <gtest/gtest.h>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace grid {
namespace {

using namespace framework;

// A grid that answers the cells' questions and resolves nothing itself.
class TProbeTable : public TCtlTableAncestor {
public:
    using TCtlTableAncestor::TCtlTableAncestor;
    int32_t LockedCols = 0;
    int32_t ActiveCol = -1;
    TCtlTblOptionSet Options = 0;
    std::vector<std::pair<UINT, WPARAM>> Got;
    void CellChanged(TCtlTableCellAncestor*) override {}
    // Navigation keys are wanted, the rest stay with the editor.
    TCtlTblKeyClaim FilterKey(TWMKey& Key) override {
        const uint16_t C = Key.CharCode();
        if (C == VK_ESCAPE) return okcRequired;
        return (C >= VK_PRIOR && C <= VK_DOWN) || C == VK_TAB || C == VK_RETURN ? okcWanted : okcNone;
    }
    void ResolveCellAttributes(int32_t, int32_t, TCtlCellAttributes&) override {}
    void WndProc(TMessage& M) override {
        switch (M.Msg) {
            case TM_QUERYLOCKEDCOLS:
                M.Result = LockedCols;
                return;
            case TM_QUERYACTIVECOL:
                M.Result = ActiveCol;
                return;
            case TM_QUERYOPTIONS:
                M.Result = Options;
                return;
            case TM_QUERYCOLOR:
                M.Result = clAqua;
                return;
            case WM_KEYDOWN:
            case TM_EDITORFOCUSED:
            case TM_EDITORUNFOCUSED:
                Got.emplace_back(M.Msg, M.WParam);
                return;
            default:
                TCtlTableAncestor::WndProc(M);
        }
    }
};

class CellTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TProbeTable* Table = nullptr;
    void SetUp() override {
        Table = NewComponent<TProbeTable>(Form);
        Table->SetBounds(0, 0, 200, 100);
        Table->SetParent(Form);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST(CtlCellText, PlacementFlags) {
    struct Case {
        TCtlTblAdjust Adjust;
        bool Wrap, TooWide;
        uint32_t Flags;
    } Cases[] = {
        {otaCenter, false, false, DT_SINGLELINE | DT_NOPREFIX | DT_CENTER | DT_VCENTER},
        {otaCenter, false, true, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_VCENTER},
        {otaBottomRight, false, true, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_BOTTOM},
        {otaTopRight, false, false, DT_SINGLELINE | DT_NOPREFIX | DT_RIGHT},
        {otaCenterRight, true, true, DT_WORDBREAK | DT_NOPREFIX | DT_RIGHT},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(CtlCellTextFormat(C.Adjust, C.Wrap, C.TooWide), C.Flags) << C.Adjust;
    EXPECT_EQ(CtlColumnLetters(0), "");
    EXPECT_EQ(CtlColumnLetters(1), "A");
    EXPECT_EQ(CtlColumnLetters(26), "Z");
    EXPECT_EQ(CtlColumnLetters(27), "AA");
    EXPECT_EQ(CtlColumnLetters(702), "ZZ");
    EXPECT_EQ(CtlColumnLetters(703), "AAA");
}

TEST_F(CellTest, AttributesFollowTheGridAndFallBackToDefaults) {
    auto* Cell = NewComponent<TCtlTCString>(Form);
    Cell->SetTable(Table);
    EXPECT_EQ(Cell->Color(), clAqua);  // fetched from the grid
    TFont Font;
    TCtlCellAttributes Attr;
    Attr.Font = &Font;
    Cell->ResolveAttributes(1, 1, Attr);
    EXPECT_EQ(Attr.Access, otxNormal);
    EXPECT_EQ(Attr.Adjust, otaCenterLeft);
    EXPECT_EQ(Attr.FontHiColor, clBtnHighlight);
    Cell->SetColor(CtlNoCellColor);
    EXPECT_FALSE(Cell->TableColor());
    Cell->ResolveAttributes(1, 1, Attr);
    EXPECT_EQ(Attr.Color, clBtnFace);
    Cell->SetMargin(-2);
    EXPECT_EQ(Cell->Margin(), 4);
    Table->Options = CtlTblOption(otoEnterToArrow);
    EXPECT_TRUE(Cell->TableEnterToArrow());
    EXPECT_FALSE(Cell->TableTabToArrow());
}

TEST_F(CellTest, HeadingLettersSkipTheLockedColumnsAndFollowInsertedColumns) {
    auto* Head = NewComponent<TCtlTCColHead>(Form);
    Head->SetTable(Table);
    Table->LockedCols = 1;
    EXPECT_EQ(Head->HeadingText(0, nullptr), "");
    EXPECT_EQ(Head->HeadingText(1, nullptr), "A");
    EXPECT_EQ(Head->HeadingText(26, nullptr), "Z");
    EXPECT_EQ(Head->HeadingText(27, nullptr), "AA");
    Head->SetShowLetters(false);
    for (const char* S : {"Tag", "FileName", "File Size", "Date Modified", "Time Modified", "Attribute"})
        Head->Headings().Add(S);
    Head->ColumnsChanged(2, 0, taInsert);
    ASSERT_EQ(Head->Headings().Count(), 7);
    EXPECT_EQ(Head->Headings().Strings(2), "");
    EXPECT_EQ(Head->Headings().Strings(3), "File Size");
    EXPECT_EQ(Head->HeadingText(1, nullptr), "FileName");
    TCtlCellValue Given = TCtlCellValue::String("Own");
    EXPECT_EQ(Head->HeadingText(1, &Given), "Own");
    Head->ColumnsChanged(9, 0, taInsert);  // beyond the end: nothing
    Head->ColumnsChanged(0, 9, taExchange);
    EXPECT_EQ(Head->Headings().Count(), 10);
    EXPECT_EQ(Head->Headings().Strings(9), "Tag");
    Head->ColumnsChanged(9, 0, taDelete);
    EXPECT_EQ(Head->Headings().Count(), 9);
}

TEST_F(CellTest, DesignTimeAddressAndRaisedText) {
    auto* Cell = NewComponent<TCtlTCString>(Form);
    TBitmap Shown, Expected;
    for (TBitmap* B : {&Shown, &Expected}) {
        B->SetPixelFormat(pf24bit);
        B->SetSize(60, 20);
    }
    TCtlCellAttributes Attr;
    Attr.Color = clWhite;
    Attr.FontColor = clBlack;
    Attr.FontHiColor = clRed;
    Attr.Adjust = otaCenterLeft;
    Cell->SetDesigning(true);
    Cell->PaintCell(Shown.Canvas(), Rect(0, 0, 60, 20), 3, 2, Attr, nullptr);
    Expected.Canvas().Brush.Color = clWhite;
    Expected.Canvas().FillRect(Rect(0, 0, 60, 20));
    Cell->DrawCellText(Expected.Canvas(), Rect(0, 0, 60, 20), "3:2", Attr);
    int Differences = 0, Ink = 0;
    for (int X = 0; X < 60; ++X)
        for (int Y = 0; Y < 20; ++Y) {
            Differences += Shown.Canvas().Pixel(X, Y) != Expected.Canvas().Pixel(X, Y);
            Ink += Shown.Canvas().Pixel(X, Y) == clBlack;
        }
    EXPECT_EQ(Differences, 0);
    EXPECT_GT(Ink, 0);

    // Raised: every black pixel whose up-left neighbour is not black has the highlight there.
    Cell->SetDesigning(false);
    Attr.TextStyle = tsRaised;
    const TCtlCellValue Text = TCtlCellValue::String("HH");
    Cell->PaintCell(Shown.Canvas(), Rect(0, 0, 60, 20), 0, 0, Attr, &Text);
    int Highlights = 0, Missing = 0;
    for (int X = 1; X < 60; ++X)
        for (int Y = 1; Y < 20; ++Y) {
            if (Shown.Canvas().Pixel(X, Y) != clBlack) continue;
            TColor UpLeft = Shown.Canvas().Pixel(X - 1, Y - 1);
            if (UpLeft == clRed)
                ++Highlights;
            else if (UpLeft != clBlack)
                ++Missing;
        }
    EXPECT_GT(Highlights, 0);
    EXPECT_EQ(Missing, 0);
    // Without data at run time: only the background.
    Cell->PaintCell(Shown.Canvas(), Rect(0, 0, 60, 20), 0, 0, Attr, nullptr);
    EXPECT_EQ(Shown.Canvas().Pixel(10, 10), clWhite);
}

TEST_F(CellTest, StringSavingAndAutoAdvance) {
    auto* Cell = NewComponent<TCtlTCString>(Form);
    const std::string Forty(40, 'x');
    TCtlCellValue Saved = TCtlCellValue::String("");
    ASSERT_TRUE(Cell->SaveText(Forty, &Saved));
    EXPECT_EQ(Saved.Text, Forty);  // MaxLength 0 keeps the whole text
    ASSERT_TRUE(Cell->SaveText(std::string(300, 'y'), &Saved));
    EXPECT_EQ(Saved.Text.size(), 255u);
    Cell->SetMaxLength(3);
    Cell->SetAutoAdvanceChar(true);
    EXPECT_FALSE(Cell->ShouldAutoAdvance(2));
    EXPECT_TRUE(Cell->ShouldAutoAdvance(3));
    ASSERT_TRUE(Cell->SaveText("abcdef", &Saved));
    EXPECT_EQ(Saved.Text, "abc");
    TCtlCellValue Small = TCtlCellValue::String("", 2);
    Cell->SaveText("abcdef", &Small);
    EXPECT_EQ(Small.Text, "ab");
    EXPECT_FALSE(Cell->SaveText("a", nullptr));
    TCtlCellValue Wrong = TCtlCellValue::Glyph(4);
    EXPECT_DEBUG_DEATH(Cell->SaveText("a", &Wrong), "another kind");
}

TEST_F(CellTest, StringEditorTypesForwardsAndSavesTheWholeText) {
    auto* Cell = NewComponent<TCtlTCString>(Form);
    Cell->SetTable(Table);
    Cell->AddUser();
    TCtlCellAttributes Attr;
    Attr.Color = clWhite;
    const TCtlCellValue Start = TCtlCellValue::String("ab");
    Cell->StartEditing(1, 1, Rect(10, 10, 80, 30), Attr, tesNormal, &Start);
    auto* Editor = static_cast<TCtlTCStringEdit*>(Cell->EditControl());
    ASSERT_NE(Editor, nullptr);
    EXPECT_EQ(Editor->Text(), "ab");
    EXPECT_EQ(Editor->BorderStyle, bsNone);
    Editor->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{TM_EDITORFOCUSED, Form->Handle()}}));
    Editor->SetSelStart(2);  // after the text that focusing selected
    Table->Got.clear();
    Driver.Type(std::string(38, 'x'));
    Driver.Key(VK_UP);  // wanted by the grid: forwarded
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_EQ(Editor->Text(), "ab" + std::string(38, 'x'));  // the Tab is not typed
    EXPECT_TRUE(Cell->EditorModified());
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_UP}}));

    Table->Options = CtlTblOption(otoTabToArrow) | CtlTblOption(otoEnterToArrow);
    EXPECT_EQ(Editor->Perform(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS),
              DLGC_WANTTAB | DLGC_WANTALLKEYS);

    TCtlCellValue Saved = TCtlCellValue::String("");
    Cell->StopEditing(true, &Saved);
    EXPECT_EQ(Saved.Text.size(), 40u);
    EXPECT_EQ(Cell->EditControl(), nullptr);

    // A field of three that fills up moves on.
    Cell->SetMaxLength(3);
    Cell->SetAutoAdvanceChar(true);
    Cell->StartEditing(1, 1, Rect(10, 10, 80, 30), Attr, tesBorder, nullptr);
    Cell->EditControl()->SetFocus();
    Driver.RunPending();
    Table->Got.clear();
    Driver.Type("ab");
    Driver.RunPending();
    EXPECT_TRUE(Table->Got.empty());
    Driver.Type("c");
    Driver.RunPending();
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_RIGHT}}));
    Cell->StopEditing(false, nullptr);
}

TEST(CtlCellGlyphs, CountsFromTheBitmapAndSharing) {
    TCtlCellGlyphs Glyphs;
    EXPECT_TRUE(Glyphs.IsDefault());
    EXPECT_EQ(Glyphs.BitMap()->Width(), 42);
    EXPECT_EQ(Glyphs.GlyphCount(), 3);
    TBitmap B;
    B.SetSize(60, 20);
    Glyphs.SetBitMap(&B);
    EXPECT_FALSE(Glyphs.IsDefault());
    EXPECT_EQ(Glyphs.GlyphCount(), 3);
    B.SetSize(50, 20);
    Glyphs.SetBitMap(&B);
    EXPECT_EQ(Glyphs.GlyphCount(), 1);
    const int Nodes = TGlyphResourceManager::Instance().NodeCount();
    {
        TCtlCellGlyphs Other;
        Other.Assign(&Glyphs);  // shares the node
        EXPECT_EQ(Other.BitMap(), Glyphs.BitMap());
        EXPECT_EQ(TGlyphResourceManager::Instance().NodeCount(), Nodes);
    }
    Glyphs.SetIsDefault(true);
    EXPECT_EQ(TGlyphResourceManager::Instance().NodeCount(), Nodes - 1);  // the 50 x 20 node is gone
    Glyphs.SetActiveGlyphCount(4);                                        // above GlyphCount: refused
    EXPECT_EQ(Glyphs.ActiveGlyphCount(), 3);
}

TEST_F(CellTest, CheckBoxCyclesAndRefusesForeignGlyphSets) {
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    EXPECT_EQ(Box->CellGlyphs().ActiveGlyphCount(), 2);
    EXPECT_TRUE(Box->AcceptActivationClick());
    Box->SetAllowGrayed(true);
    int32_t Index = 0;
    std::vector<int32_t> Cycle;
    for (int I = 0; I < 3; ++I)
        Cycle.push_back(Index = CtlNextGlyph(Index, Box->CellGlyphs().ActiveGlyphCount()));
    EXPECT_EQ(Cycle, (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(CtlPreviousGlyph(0, 3), 2);

    TCtlCellGlyphs Two;
    TBitmap B;
    B.SetSize(28, 14);
    Two.SetBitMap(&B);
    const TBitmap* Before = Box->CellGlyphs().BitMap();
    Box->SetCellGlyphs(&Two);
    EXPECT_EQ(Box->CellGlyphs().BitMap(), Before);
    TCtlCellGlyphs Three;
    B.SetSize(42, 14);
    Three.SetBitMap(&B);
    Box->SetCellGlyphs(&Three);
    EXPECT_EQ(Box->CellGlyphs().BitMap(), Three.BitMap());
    EXPECT_EQ(Box->CellGlyphs().ActiveGlyphCount(), 3);  // set again from AllowGrayed

    TCtlCellValue Checked = TCtlCellValue::CheckState(2);
    EXPECT_EQ(Box->GlyphIndex(0, &Checked), 2);
    Box->SetAllowGrayed(false);
    EXPECT_EQ(Box->GlyphIndex(0, &Checked), 1);  // clamped to the active glyphs
    TCtlCellValue Saved = TCtlCellValue::CheckState(0);
    ASSERT_TRUE(Box->SaveIndex(1, &Saved));
    EXPECT_EQ(Saved.Check, 1);
}

TEST_F(CellTest, CheckBoxEditorCyclesWithSpaceThroughGrayed) {
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    Box->SetTable(Table);
    Box->AddUser();
    Box->SetAllowGrayed(true);
    TCtlCellAttributes Attr;
    Attr.Color = clWhite;
    const TCtlCellValue Unchecked = TCtlCellValue::CheckState(0);
    Box->StartEditing(0, 0, Rect(0, 0, 30, 20), Attr, tesNormal, &Unchecked);
    TCtlTCGlyphEdit* Editor = Box->GlyphEditor();
    ASSERT_NE(Editor, nullptr);
    Editor->SetFocus();
    Driver.RunPending();
    std::vector<int32_t> Seen;
    for (int I = 0; I < 3; ++I) {
        Driver.Key(VK_SPACE);
        Seen.push_back(Editor->Index());
    }
    EXPECT_EQ(Seen, (std::vector<int32_t>{1, 2, 0}));
    Driver.Key(VK_BACK);
    EXPECT_EQ(Editor->Index(), 2);
    Table->Got.clear();
    Driver.Key(VK_DOWN);  // wanted by the grid
    Driver.RunPending();
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_DOWN}}));
    EXPECT_EQ(Editor->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
    TCtlCellValue Saved = TCtlCellValue::CheckState(0);
    Box->StopEditing(true, &Saved);
    EXPECT_EQ(Saved.Check, 2);
    EXPECT_EQ(Box->EditControl(), nullptr);
}

TEST_F(CellTest, CheckBoxPaintsItsGlyphOverTheCellColour) {
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    Box->SetAllowGrayed(true);
    TBitmap& Glyphs = *Box->CellGlyphs().BitMap();
    const TColor Transparent = Glyphs.Canvas().Pixel(0, 13);
    TCtlCellAttributes Attr;
    Attr.Color = clYellow;
    Attr.Adjust = otaCenter;
    // Centred, the 14 x 14 glyph starts at (Left, Top); its transparent pixels show the cell colour.
    // A cell of a 21-pixel row (20 inside its line) shows the whole box: the margin places a
    // glyph, it does not cut one that fits.
    struct Case {
        int W, H, Left, Top;
    } Cases[] = {{40, 24, 13, 5}, {25, 20, 5, 3}, {40, 14, 13, 0}};
    for (const Case& C : Cases)
        for (uint8_t State : {0, 1, 2}) {
            SCOPED_TRACE(std::to_string(C.W) + "x" + std::to_string(C.H) + " state " + std::to_string(State));
            TBitmap B;
            B.SetPixelFormat(pf24bit);
            B.SetSize(C.W, C.H);
            const TCtlCellValue Value = TCtlCellValue::CheckState(State);
            Box->PaintCell(B.Canvas(), Rect(0, 0, C.W, C.H), 0, 0, Attr, &Value);
            int Ink = 0;
            for (int Y = 0; Y < 14; ++Y)
                for (int X = 0; X < 14; ++X) {
                    const TColor G = Glyphs.Canvas().Pixel(14 * State + X, Y);
                    ASSERT_EQ(B.Canvas().Pixel(C.Left + X, C.Top + Y), G == Transparent ? clYellow : G)
                        << X << "," << Y;
                    Ink += G != Transparent;
                }
            EXPECT_GT(Ink, 0);
            EXPECT_EQ(B.Canvas().Pixel(2, 2), clYellow);
        }
    // Invisible access: the colour alone.
    Attr.Access = otxInvisible;
    TBitmap B;
    B.SetPixelFormat(pf24bit);
    B.SetSize(40, 24);
    const TCtlCellValue Checked = TCtlCellValue::CheckState(1);
    Box->PaintCell(B.Canvas(), Rect(0, 0, 40, 24), 0, 0, Attr, &Checked);
    for (int Y = 0; Y < 24; ++Y)
        for (int X = 0; X < 40; ++X) ASSERT_EQ(B.Canvas().Pixel(X, Y), clYellow);
}

// ---- Entry-field cells ----

TCtlCellValue ExtendedValue(long double X) {
    entry::TCtlRangeRec R;
    R.SetExtended(X);
    entry::TCtlEntryValue V;
    V.DataType = entry::dtExtended;
    V.Bytes.assign(R.Bytes, R.Bytes + 10);
    return TCtlCellValue::EntryValue(V);
}

TCtlCellValue DayValue(int32_t Day) {
    entry::TCtlEntryValue V = entry::CtlIntegerValue(entry::dtLongInt, Day);
    V.DataType = entry::dtDate;
    return TCtlCellValue::EntryValue(V);
}

// Paints a cell into a fresh 120 x 20 white bitmap.
void PaintInto(TBitmap& B, TCtlBaseTableCell& Cell, const TCtlCellAttributes& Attr,
               const TCtlCellValue* Data) {
    B.SetPixelFormat(pf24bit);
    B.SetSize(120, 20);
    B.Canvas().Brush.Color = clWhite;
    B.Canvas().FillRect(Rect(0, 0, 120, 20));
    Cell.PaintCell(B.Canvas(), Rect(0, 0, 120, 20), 1, 1, Attr, Data);
}

// Whether the entry cell paints Data exactly as a text cell paints Text.
::testing::AssertionResult PaintsAs(TCtlBaseTableCell& Cell, const TCtlCellValue& Data,
                                    const std::string& Text, TCtlTblAdjust Adjust = otaCenterLeft) {
    TCtlCellAttributes Attr;
    Attr.Color = clWhite;
    Attr.FontColor = clBlack;
    Attr.Adjust = Adjust;
    TBitmap Shown, Expected;
    PaintInto(Shown, Cell, Attr, &Data);
    TCtlTCString Plain(nullptr);
    const TCtlCellValue AsText = TCtlCellValue::String(Text);
    PaintInto(Expected, Plain, Attr, &AsText);
    for (int Y = 0; Y < 20; ++Y)
        for (int X = 0; X < 120; ++X)
            if (Shown.Canvas().Pixel(X, Y) != Expected.Canvas().Pixel(X, Y))
                return ::testing::AssertionFailure()
                       << "differs from \"" << Text << "\" at " << X << "," << Y;
    return ::testing::AssertionSuccess();
}

class EntryCellTest : public CellTest {
protected:
    entry::TCtlController* Controller = nullptr;
    std::vector<uint16_t> Errors;
    void SetUp() override {
        CellTest::SetUp();
        Controller = NewComponent<entry::TCtlController>(Form);
        Controller->SetEpoch(1950);
        Table->SetController(Controller);
    }
    template <class TCell>
    TCell* MakeCell() {
        auto* Cell = NewComponent<TCell>(Form);
        Cell->SetTable(Table);
        Cell->AddUser();
        Cell->OnError = [this](TObject*, uint16_t Code, const std::string&) { Errors.push_back(Code); };
        return Cell;
    }
};

TEST_F(EntryCellTest, NumericCellPaintsTheFieldsTextWithoutItsBlanks) {
    auto* Cell = MakeCell<TCtlTCNumericField>();
    Cell->SetDataType(entry::nftExtended);
    Cell->SetPictureMask("###,###,###,###,###");
    EXPECT_EQ(Cell->PaintField()->PictureMask(), "###,###,###,###,###");
    EXPECT_TRUE(PaintsAs(*Cell, ExtendedValue(1234567), "1,234,567", otaCenterRight));
    // The trimmed text goes right; the field's own text has leading blanks that would not fit.
    TCtlCellAttributes Attr;
    Attr.Color = clWhite;
    Attr.FontColor = clBlack;
    Attr.Adjust = otaCenterRight;
    TBitmap B;
    const TCtlCellValue Big = ExtendedValue(1234567);
    PaintInto(B, *Cell, Attr, &Big);
    int Rightmost = -1;
    for (int Y = 0; Y < 20; ++Y)
        for (int X = 0; X < 120; ++X)
            if (B.Canvas().Pixel(X, Y) != clWhite) Rightmost = std::max(Rightmost, X);
    EXPECT_GT(Rightmost, 110);

    // A blank display text paints nothing but the background.
    auto* Text = MakeCell<TCtlTCPictureField>();
    entry::TCtlEntryValue Blank;
    Blank.DataType = entry::dtString;
    Blank.Bytes.assign(Text->DataSize(), 0);
    Blank.Bytes[0] = 3;
    Blank.Bytes[1] = Blank.Bytes[2] = Blank.Bytes[3] = ' ';
    EXPECT_TRUE(PaintsAs(*Text, TCtlCellValue::EntryValue(Blank), ""));
}

TEST_F(EntryCellTest, PictureMaskReachesPaintAndEditorAndBadDatesShowStars) {
    auto* Cell = MakeCell<TCtlTCPictureField>();
    EXPECT_EQ(Cell->Options(), entry::efoCaretToEnd);
    EXPECT_EQ(Cell->MaxLength(), 15);
    Cell->SetDataType(entry::pftDate);
    Cell->SetPictureMask("dd/mm/yyyy");
    const TCtlCellValue Day = DayValue(entry::CtlEncodeDate(5, 12, 1996, 1950));
    EXPECT_TRUE(PaintsAs(*Cell, Day, "05/12/1996"));
    Cell->SetPictureMask("yyyy-mm-dd");
    EXPECT_EQ(Cell->EditField()->PictureMask(), "yyyy-mm-dd");
    EXPECT_EQ(Cell->PaintField()->PictureMask(), "yyyy-mm-dd");
    EXPECT_TRUE(PaintsAs(*Cell, Day, "1996-12-05"));

    // A two-digit year cannot show a date outside the epoch's hundred years.
    Cell->SetPictureMask("dd/mm/yy");
    EXPECT_TRUE(PaintsAs(*Cell, Day, "05/12/96"));
    EXPECT_TRUE(PaintsAs(*Cell, DayValue(entry::CtlEncodeDate(2, 1, 2060, 1950)), CtlUnshowableValue));
}

TEST_F(EntryCellTest, WithoutTheEditorTheGettersAnswerDefaults) {
    auto* Picture = MakeCell<TCtlTCPictureField>();
    auto* Numeric = MakeCell<TCtlTCNumericField>();
    Numeric->SetPictureMask("#####");
    Picture->EditField()->Free();
    Numeric->EditField()->Free();
    EXPECT_EQ(Picture->EditField(), nullptr);
    EXPECT_EQ(Picture->MaxLength(), 0);
    EXPECT_EQ(Picture->Options(), 0);
    EXPECT_EQ(Picture->PictureMask(), "XXXXXXXXXXXXXXX");
    EXPECT_EQ(Picture->PasswordChar(), '*');
    EXPECT_EQ(Picture->ControlCharColor(), clRed);
    EXPECT_EQ(Picture->TextMargin(), 0);
    EXPECT_EQ(Picture->CaretIns(), nullptr);
    EXPECT_EQ(Numeric->PictureMask(), "");
    EXPECT_EQ(Numeric->DataType(), entry::nftLongInt);
    Picture->SetMaxLength(4);  // nothing to set
    EXPECT_EQ(Picture->MaxLength(), 0);
    EXPECT_EQ(Picture->EditHandle(), HWND(0));
    EXPECT_TRUE(Picture->CanStopEditing(true));
}

TEST_F(EntryCellTest, EditorKeysRestoreValidateAndMoveOn) {
    auto* Cell = MakeCell<TCtlTCNumericField>();
    Cell->SetPictureMask("##");
    Cell->SetRangeLo("0");
    Cell->SetRangeHi("40");
    TCtlCellAttributes Attr;
    Attr.Color = clWhite;
    const TCtlCellValue Start = TCtlCellValue::EntryValue(entry::CtlIntegerValue(entry::dtLongInt, 12));
    Cell->StartEditing(1, 1, Rect(10, 10, 80, 30), Attr, tesNormal, &Start);
    auto* Editor = Cell->EditField();
    ASSERT_NE(Cell->EditHandle(), HWND(0));
    EXPECT_TRUE(Editor->Visible());
    Editor->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{TM_EDITORFOCUSED, Form->Handle()}}));
    Table->Got.clear();

    // An invalid value keeps Up in the field; a valid one hands it to the grid. Tab is not typed.
    Driver.Type("50");
    Driver.Key(VK_TAB);
    Driver.Key(VK_UP);
    Driver.RunPending();
    EXPECT_TRUE(Table->Got.empty());
    EXPECT_EQ(Errors, (std::vector<uint16_t>{entry::epRangeError}));
    EXPECT_FALSE(Cell->CanStopEditing(true));
    // Esc puts back the text of the start and goes to the grid.
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_EQ(Editor->GetAsInteger(), 12);
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_ESCAPE}}));
    Table->Got.clear();
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_DOWN}}));

    Table->Options = 0;
    EXPECT_EQ(Editor->Perform(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS), 0u);
    Table->Options = CtlTblOption(otoTabToArrow) | CtlTblOption(otoEnterToArrow);
    EXPECT_EQ(Editor->Perform(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS),
              DLGC_WANTTAB | DLGC_WANTALLKEYS);

    // Filling the field moves on to the next cell instead of the next control.
    Controller->EntryOptions |= entry::efoAutoAdvanceChar;
    Table->Got.clear();
    Editor->SelectAll();
    Driver.Type("3");
    Driver.RunPending();
    EXPECT_TRUE(Table->Got.empty());
    Driver.Type("3");
    Driver.RunPending();
    EXPECT_EQ(Table->Got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_RIGHT}}));
    EXPECT_TRUE(Cell->EditorModified());

    TCtlCellValue Saved;
    Cell->StopEditing(true, &Saved);
    EXPECT_EQ(Saved.Kind, TCtlCellValue::cvEntry);
    EXPECT_EQ(entry::CtlValueAsInteger(Saved.Entry), 33);
    EXPECT_FALSE(Editor->Visible());
    TCtlCellValue Wrong = TCtlCellValue::String("x");
    EXPECT_DEBUG_DEATH(Cell->SaveEditedData(&Wrong), "another kind");
}

}  // namespace
}  // namespace grid
