// The data-aware grid over an in-memory dataset of catalog-like entries (and once over an engine
// table): row and column layout, the hit test, scroll bars, columns bound to fields, painting,
// keys, the mouse and cell editing around the dataset's edit state.
#include "controls/grid/CtlDbTable.h"

#include <gtest/gtest.h>

#include <cstring>

#include "controls/entry/CtlDates.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/testsupport/MemDataSet.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace grid {
namespace {

using namespace framework;
using testsupport::TMemDataSet;

constexpr int Header = 21, RowH = 21, Indicator = 11;

// A dataset that cannot tell record numbers.
class TUnsequencedData : public TMemDataSet {
public:
    bool IsSequenced() override { return false; }
};

class DbGridTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TMemDataSet Data;
    TDataSource Source;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlDbTable* Grid = nullptr;
    entry::TCtlController* Controller = nullptr;
    std::vector<std::string> Events;

    void SetUp() override {
        Data.FieldDefs.Add("Tagged", ftBoolean);
        Data.FieldDefs.Add("FileName", ftString, 20);
        Data.FieldDefs.Add("Size", ftFloat);
        Data.FieldDefs.Add("Modified", ftDate);
        Data.Open();
        for (int I = 1; I <= 20; ++I)
            Data.AppendRecord({Variant(I % 3 == 0), Variant("FILE" + std::to_string(I) + ".TXT"),
                               Variant(double(I * 1000)), Variant(EncodeDate(1996, 1, I))});
        Data.First();
        Source.SetDataSet(&Data);
        Form->SetBounds(0, 0, 600, 400);
        Controller = NewComponent<entry::TCtlController>(Form);
        Controller->SetEpoch(1950);
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // A grid without border or scroll bars: its client area is its size.
    TCtlDbTable* MakeGrid(int Width = 400, int Height = Header + 10 * RowH, TDataSource* From = nullptr) {
        Grid = NewComponent<TCtlDbTable>(Form);
        Grid->SetBorderStyle(bsNone);
        Grid->SetScrollBars(ssNone);
        Grid->SetController(Controller);
        Grid->SetBounds(0, 0, Width, Height);
        Grid->SetParent(Form);
        Grid->SetDataSource(From ? From : &Source);
        Form->Show();
        Driver.RunPending();
        Grid->OnLockedCellClick = [this](TObject*, int32_t R, int32_t C) { Log("locked", R, C); };
        Grid->OnIndicatorClick = [this](TObject*, int32_t R, int32_t C) { Log("indicator", R, C); };
        Grid->OnUnusedAreaClick = [this](TObject*, int32_t R, int32_t C) { Log("unused", R, C); };
        return Grid;
    }
    void Log(const std::string& What, int32_t R, int32_t C) {
        Events.push_back(What + " " + std::to_string(R) + "," + std::to_string(C));
    }
    // Column widths 30, 120, 80, 90 from x 11.
    void FixWidths() {
        const int W[] = {30, 120, 80, 90};
        for (int C = 0; C < 4; ++C) Grid->Column(C)->SetWidth(W[C]);
        Driver.RunPending();
    }
    std::string Current() { return Data.FieldByName("FileName")->AsString(); }
    TPoint CellCentre(int32_t Row, int32_t Col) {
        const TRect R = Grid->CellRect(Row, Col);
        return Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    }
    void ClickCell(int32_t Row, int32_t Col) {
        const TPoint P = CellCentre(Row, Col);
        Driver.Click(*Grid, P.X, P.Y);
        Driver.RunPending();
    }
    // Whether any pixel of the rectangle differs from Color.
    bool Plain(const TRect& R, TColor Color) {
        for (int Y = R.Top; Y < R.Bottom; ++Y)
            for (int X = R.Left; X < R.Right; ++X)
                if (Driver.PixelAt(*Grid, X, Y) != ColorToRGB(Color)) return false;
        return true;
    }
    // Which indicator glyph is shown on a row: the glyph whose black pixels are all black there and
    // that has the most of them; -1 for none.
    int GlyphOn(int32_t Row) {
        const int Top = Grid->RowTop(Row) + (RowH - 11) / 2;
        int Best = -1, BestInk = 0;
        const char* Names[] = {"CTLDBARROW", "CTLDBEDIT", "CTLDBINSERT"};
        for (int G = 0; G < 3; ++G) {
            TBitmap B;
            LoadBitmapResource(B, Names[G]);
            int Ink = 0;
            bool All = true;
            for (int Y = 0; Y < 11; ++Y)
                for (int X = 0; X < 6; ++X)
                    if (B.Canvas().Pixel(X, Y) == clBlack) {
                        ++Ink;
                        All = All && Driver.PixelAt(*Grid, 2 + X, Top + Y) == 0;
                    }
            if (All && Ink > BestInk) Best = G, BestInk = Ink;
        }
        return Best;
    }
};

// ---- Layout and hit test ----

TEST_F(DbGridTest, RowsFollowTheRecordsAndTheHeight) {
    MakeGrid();
    FixWidths();
    EXPECT_EQ(Grid->RowsInView(), 10);
    EXPECT_EQ(Data.BufferCount(), 10);
    EXPECT_EQ(Grid->ColumnCount(), 4);

    // Header and two and a half rows: two rows; with integral height the grid shrinks to them.
    Grid->SetBounds(0, 0, 400, Header + 2 * RowH + RowH / 2);
    EXPECT_EQ(Grid->RowsInView(), 2);
    EXPECT_EQ(Grid->ClientHeight(), Header + 2 * RowH + RowH / 2);
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoIntegralHeight));
    EXPECT_EQ(Grid->ClientHeight(), Header + 2 * RowH);
    // Shorter than the header and one row: set back to that.
    Grid->SetBounds(0, 0, 400, Header + 5);
    EXPECT_EQ(Grid->ClientHeight(), Header + RowH);
    EXPECT_EQ(Grid->RowsInView(), 1);

    // An inactive dataset has one row.
    Grid->SetBounds(0, 0, 400, Header + 10 * RowH);
    Data.Close();
    Driver.RunPending();
    EXPECT_EQ(Grid->RowsInView(), 1);
}

TEST_F(DbGridTest, FewRecordsAndTheHitTestRegions) {
    while (Data.RecordCount() > 3) {
        Data.Last();
        Data.Delete();
    }
    Data.First();
    MakeGrid();
    FixWidths();
    EXPECT_EQ(Grid->RowsInView(), 3);
    Grid->SetLockedColumns(1);
    struct Case {
        int X, Y;
        uint8_t Region;
        int32_t Row, Col;
    } Cases[] = {
        {60, Header + 5, 0, 0, 1},                    // a data cell
        {Indicator + 30, Header + 5, 1, 0, 0},        // on the line between columns 0 and 1: the left one
        {Indicator + 31, Header + 5, 0, 0, 1},        // just right of it
        {Indicator + 29, Header + 5, 1, 0, 0},        // inside the locked column
        {Indicator, Header + 5, 2, 0, -1},            // exactly at the data's left edge
        {5, Header + 5, 1, 0, -2},                    // the indicator strip
        {60, 5, 1, -2, 1},                            // the header
        {5, 5, 1, -2, -2},                            // the header corner
        {60, Header + 3 * RowH + 2, 2, -1, 1},        // below the last record
        {Indicator + 320 + 5, Header + 5, 2, 0, -1},  // right of the last column
        {-1, 10, 3, -2, -2},                          // outside
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::to_string(C.X) + "," + std::to_string(C.Y));
        int32_t Row = 99, Col = 99;
        EXPECT_EQ(Grid->CellAtPoint(C.X, C.Y, Row, Col), C.Region);
        EXPECT_EQ(Row, C.Row);
        if (C.Region != 3) {
            EXPECT_EQ(Col, C.Col);
        }
    }
}

TEST_F(DbGridTest, VerticalScrollBarFollowsRecordNumbersOrThreePositions) {
    MakeGrid();
    Grid->SetScrollBars(ssVertical);
    Driver.RunPending();
    auto Bar = [&] {
        TScrollInfo I;
        I.fMask = SIF_ALL;
        GetScrollInfo(Grid->Handle(), SB_VERT, I);
        return std::vector<int>{I.nMin, I.nMax, int(I.nPage), I.nPos};
    };
    const int Rows = Grid->RowsInView();
    EXPECT_EQ(Bar(), (std::vector<int>{1, 20 + Rows - 1, Rows, 1}));
    Data.MoveBy(5);
    Driver.RunPending();
    EXPECT_EQ(Bar()[3], 6);

    TUnsequencedData Other;
    Other.FieldDefs.Add("Name", ftString, 10);
    Other.Open();
    for (int I = 0; I < 30; ++I) Other.AppendRecord({Variant("N" + std::to_string(I))});
    Other.First();
    Source.SetDataSet(&Other);
    Driver.RunPending();
    EXPECT_EQ(Bar(), (std::vector<int>{0, 4, 0, 0}));
    Other.MoveBy(10);
    Driver.RunPending();
    EXPECT_EQ(Bar()[3], 2);
    Other.Last();
    Driver.RunPending();
    EXPECT_EQ(Bar()[3], 4);
    Source.SetDataSet(&Data);
}

// ---- Columns ----

TEST_F(DbGridTest, DefaultColumnsAreMeasuredFromTheFont) {
    MakeGrid();
    ASSERT_EQ(Grid->ColumnCount(), 4);
    TTextMetric TM;
    Grid->Canvas().Font.Assign(Grid->Font());
    GetTextMetrics(Grid->Canvas().Handle(), TM);
    const int W0 = Grid->Canvas().TextWidth("0"), O = TM.tmOverhang;
    for (int C = 0; C < 4; ++C) {
        TField* F = Data.Fields[C];
        SCOPED_TRACE(F->FieldName);
        EXPECT_EQ(Grid->Column(C)->DataField(), F->FieldName);
        const int DataWidth = (W0 - O) * F->DisplayWidth() + O + 4;
        const int HeadWidth = (W0 - O) * int(F->DisplayLabel().size()) + O + 4;
        EXPECT_EQ(Grid->Column(C)->Width(), std::max(DataWidth, HeadWidth));
    }
    // "Tagged" is wider as a heading than as data.
    EXPECT_GT(int(Data.Fields[0]->DisplayLabel().size()), Data.Fields[0]->DisplayWidth());
}

TEST_F(DbGridTest, AColumnOfAMissingFieldLeavesTheOthersOnTheirOwnFields) {
    MakeGrid();
    auto* Text = NewComponent<TCtlTCString>(Form);
    Grid->Columns().Clear();
    for (const char* Name : {"Tagged", "FileName", "NoSuchField", "Size", "Modified"}) {
        auto* C = new TCtlDbTableColumn(Grid);
        C->SetWidth(70);
        C->SetDataField(Name);
        Grid->Columns().Append(C);
    }
    Grid->Column(3)->SetDefaultCell(Text);
    Grid->LayoutChanged();
    Driver.RunPending();
    EXPECT_EQ(Grid->ColumnCount(), 5);
    EXPECT_EQ(Grid->Column(2)->Field(), nullptr);
    EXPECT_EQ(Grid->Column(3)->Field(), Data.FieldByName("Size"));
    EXPECT_EQ(Grid->Column(4)->Field(), Data.FieldByName("Modified"));
    EXPECT_EQ(Grid->DataLink().MapCount(), 4);

    // Editing the Size column writes Size.
    Grid->SetFocus();
    Grid->SetActiveCell(0, 3);
    Driver.RunPending();
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->Editing());
    auto* Edit = static_cast<TEdit*>(Text->EditControl());
    EXPECT_EQ(Edit->Text(), "1000");
    Edit->SetText("4321");
    Edit->SetModified(true);
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_FALSE(Grid->Editing());
    Data.Post();
    EXPECT_EQ(Data.FieldByName("Size")->AsFloat(), 4321.0);
    EXPECT_EQ(Data.FieldByName("Modified")->AsDateTime(), EncodeDate(1996, 1, 1));

    // The missing field's column cannot be edited.
    Grid->SetActiveCell(0, 2);
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_FALSE(Grid->Editing());
}

TEST_F(DbGridTest, ANewDataSourceRebuildsTheColumnsAndNilDropsTheCells) {
    MakeGrid();
    auto* Text = NewComponent<TCtlTCString>(Form);
    Grid->Column(1)->SetDefaultCell(Text);
    TMemDataSet Other;
    Other.FieldDefs.Add("Label", ftString, 11);
    Other.FieldDefs.Add("Count", ftInteger);
    Other.Open();
    Other.AppendRecord({Variant("VOL1"), Variant(3)});
    TDataSource OtherSource;
    OtherSource.SetDataSet(&Other);
    Grid->SetDataSource(&OtherSource);
    Driver.RunPending();
    ASSERT_EQ(Grid->ColumnCount(), 2);
    EXPECT_EQ(Grid->Column(0)->DataField(), "Label");
    EXPECT_EQ(Grid->Column(1)->DataField(), "Count");
    EXPECT_EQ(Grid->Column(1)->DefaultCell(), Text);  // a new source keeps the cells
    Grid->SetDataSource(nullptr);
    Driver.RunPending();
    EXPECT_EQ(Grid->Column(1)->DefaultCell(), nullptr);
    EXPECT_EQ(Grid->Column(0)->DataField(), "");
    EXPECT_EQ(Text->Users(), 0);
}

TEST_F(DbGridTest, FreeingAPersistentFieldDeletesItsColumn) {
    TMemDataSet Entries;
    Entries.FieldDefs.Add("FileName", ftString, 20);
    Entries.FieldDefs.Add("Size", ftInteger);
    Entries.FieldDefs.Add("Attribute", ftInteger);
    // Persistent fields that the test frees itself.
    std::vector<std::unique_ptr<TField>> Owned;
    for (const char* Name : {"FileName", "Size", "Attribute"}) {
        Owned.push_back(Name[0] == 'F' ? std::unique_ptr<TField>(new TStringField)
                                       : std::make_unique<TIntegerField>());
        Owned.back()->FieldName = Name;
        if (Name[0] == 'F') Owned.back()->SetSize(20);
        Owned.back()->SetDataSetInternal(&Entries);
        Entries.Fields.Add(Owned.back().get());
    }
    Entries.Open();
    ASSERT_FALSE(Entries.DefaultFields());
    Entries.AppendRecord({Variant("A.TXT"), Variant(1), Variant(32)});
    TDataSource Persistent;
    Persistent.SetDataSet(&Entries);
    MakeGrid(400, Header + 5 * RowH, &Persistent);
    ASSERT_EQ(Grid->ColumnCount(), 3);
    EXPECT_EQ(Grid->Column(1)->Field(), Owned[1].get());
    Entries.Close();
    Entries.Fields.Remove(Owned[1].get());
    Owned[1].reset();
    Driver.RunPending();
    ASSERT_EQ(Grid->ColumnCount(), 2);
    EXPECT_EQ(Grid->Column(0)->DataField(), "FileName");
    EXPECT_EQ(Grid->Column(1)->DataField(), "Attribute");

    // Default fields go with every closing; their columns stay.
    const int32_t Before = 4;
    MakeGrid();
    ASSERT_EQ(Grid->ColumnCount(), Before);
    Data.Close();
    Data.Open();
    Driver.RunPending();
    EXPECT_EQ(Grid->ColumnCount(), Before);
    EXPECT_EQ(Grid->Column(1)->Field(), Data.FieldByName("FileName"));
    Entries.Fields.Clear();
}

TEST_F(DbGridTest, ColumnDataRoundTripsByteForByte) {
    MakeGrid();
    auto* Cell = NewComponent<TCtlTCString>(Form);
    Cell->SetName("CtlTCString1");
    TMemFiler Written;
    {
        TWriter& W = Written.Writer();
        W.WriteListBegin();
        W.WriteInteger(25);
        W.WriteBoolean(false);
        W.WriteString("Tagged");
        W.WriteInteger(0);
        W.WriteBoolean(true);
        W.WriteString("CtlTCString1");
        W.WriteInteger(114);
        W.WriteBoolean(false);
        W.WriteString("CatalogVolumeLabel");
        W.WriteInteger(0);
        W.WriteBoolean(false);
        W.WriteInteger(60);
        W.WriteBoolean(true);
        W.WriteString("DateLastCataloged");
        W.WriteInteger(1);
        W.WriteBoolean(false);
        W.WriteListEnd();
    }
    const std::string Bytes = Written.Bytes();
    Grid->Columns().ReadDbData(&Written.Reader());
    Grid->Columns().ResolvePendingNames();
    ASSERT_EQ(Grid->ColumnCount(), 3);
    EXPECT_EQ(Grid->Column(0)->DefaultCell(), Cell);
    EXPECT_EQ(Grid->Column(2)->DateOrTime(), dtUseTime);
    EXPECT_TRUE(Grid->Column(2)->Hidden());
    TMemFiler Again;
    Grid->Columns().WriteDbData(&Again.Writer());
    EXPECT_EQ(Again.Bytes(), Bytes);
}

TEST_F(DbGridTest, GridErrorsCarryTheirMessages) {
    // A link whose map holds two fields.
    class TSmallLink : public TCtlDbTableDataLink {
    public:
        using TCtlDbTableDataLink::TCtlDbTableDataLink;

    protected:
        int32_t MapLimit() const override { return 2; }
    };
    MakeGrid();
    TSmallLink Link(Grid);
    Link.SetDataSource(&Source);
    EXPECT_TRUE(Link.AddMapping("Tagged"));
    EXPECT_FALSE(Link.AddMapping("NoSuchField"));
    EXPECT_TRUE(Link.AddMapping("FileName"));
    auto Message = [](const std::function<void()>& F) -> std::string {
        try {
            F();
        } catch (const ECtlTable& E) {
            return E.Message;
        }
        return "(nothing)";
    };
    EXPECT_EQ(Message([&] { Link.AddMapping("Size"); }), "Too many columns");
    EXPECT_EQ(Link.MappedField(1), Data.FieldByName("FileName"));
    EXPECT_EQ(Message([&] { Link.MappedField(2); }), "Invalid field index");
    EXPECT_EQ(Message([&] { Link.MappedField(-1); }), "Invalid field index");
    Link.SetDataSource(nullptr);

    // A check box cannot be the header cell: refused at design time, ignored at run time.
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    Grid->SetHeaderCell(Box);
    EXPECT_EQ(Grid->HeaderCell(), nullptr);
    Grid->SetDesigning(true);
    EXPECT_EQ(Message([&] { Grid->SetHeaderCell(Box); }), "Invalid header cell");
    Grid->SetDesigning(false);
}

// ---- Painting ----

TEST_F(DbGridTest, IndicatorGlyphFollowsTheRecordState) {
    MakeGrid();
    FixWidths();
    Data.MoveBy(2);
    Driver.RunPending();
    if (const char* Dir = std::getenv("KORVANE_GRABS")) Driver.Grab(*Form, std::string(Dir) + "/dbgrid.png");
    EXPECT_EQ(Grid->ActiveRow(), 2);
    EXPECT_EQ(GlyphOn(2), 0);
    EXPECT_EQ(GlyphOn(1), -1);
    Data.Edit();
    Driver.RunPending();
    EXPECT_EQ(GlyphOn(2), 1);
    Data.Cancel();
    Data.Insert();
    Driver.RunPending();
    EXPECT_EQ(GlyphOn(Grid->ActiveRow()), 2);
    Data.Cancel();
    Driver.RunPending();

    // Without the header the rows start at the top and there is no corner.
    Grid->SetHeaderOptions(0);
    Driver.RunPending();
    EXPECT_EQ(Grid->RowTop(0), 0);
    EXPECT_EQ(Grid->CellRect(0, 1).Top, 0);
    EXPECT_EQ(GlyphOn(Grid->ActiveRow()), 0);

    // An inactive link: no glyph and no text.
    Data.Close();
    Driver.RunPending();
    EXPECT_EQ(GlyphOn(0), -1);
    const TRect Cell = Grid->CellRect(0, 1);
    EXPECT_TRUE(Plain(Rect(Cell.Left + 2, Cell.Top + 2, Cell.Right - 3, Cell.Bottom - 3),
                      Grid->Colors().Color(TCtlTableColors::ActiveUnfocused)) ||
                Plain(Rect(Cell.Left + 2, Cell.Top + 2, Cell.Right - 3, Cell.Bottom - 3), Grid->Color()));
}

TEST_F(DbGridTest, ColoursOfTheActiveRowLockedColumnsAndInvisibleCells) {
    MakeGrid();
    FixWidths();
    Grid->SetLockedColumns(1);
    Grid->SetActiveCell(0, 1);
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoHighlightActiveRow));
    Driver.RunPending();
    auto At = [&](int32_t Row, int32_t Col) {
        const TRect R = Grid->CellRect(Row, Col);
        return Driver.PixelAt(*Grid, R.Right - 4, R.Top + 2);
    };
    // Unfocused: the whole active row in the unfocused colours.
    EXPECT_EQ(At(0, 2), ColorToRGB(Grid->Colors().Color(TCtlTableColors::ActiveUnfocused)));
    EXPECT_EQ(At(0, 3), ColorToRGB(Grid->Colors().Color(TCtlTableColors::ActiveUnfocused)));
    Grid->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(At(0, 2), ColorToRGB(Grid->Colors().Color(TCtlTableColors::ActiveFocused)));
    EXPECT_EQ(At(0, 1), ColorToRGB(Grid->Colors().Color(TCtlTableColors::ActiveFocused)));
    // Another row: the locked column in the locked colour, the others in the grid's colour.
    EXPECT_EQ(At(3, 0), ColorToRGB(Grid->Colors().Color(TCtlTableColors::Locked)));
    EXPECT_EQ(At(3, 2), ColorToRGB(Grid->Color()));

    // An invisible cell shows its colour alone.
    Grid->OnGetCellAttributes = [](TObject*, int32_t, int32_t Col, TCtlCellAttributes& A) {
        if (Col == 1) {
            A.Access = otxInvisible;
            A.Color = clYellow;
        }
    };
    Grid->Invalidate();
    Driver.RunPending();
    const TRect Name = Grid->CellRect(4, 1);
    EXPECT_TRUE(Plain(Rect(Name.Left, Name.Top, Name.Right - 1, Name.Bottom - 1), clYellow));
    const TRect Size = Grid->CellRect(4, 2);
    EXPECT_FALSE(Plain(Rect(Size.Left, Size.Top, Size.Right - 1, Size.Bottom - 1), Grid->Color()));
}

TEST_F(DbGridTest, EntryFieldCellsPaintTheirFormAndStarsForUnshowableDates) {
    MakeGrid();
    FixWidths();
    auto* Text = NewComponent<TCtlTCString>(Form);
    auto* Date = NewComponent<TCtlTCPictureField>(Form);
    auto* Number = NewComponent<TCtlTCNumericField>(Form);
    Grid->Column(1)->SetDefaultCell(Text);
    Grid->Column(2)->SetDefaultCell(Number);
    Grid->Column(3)->SetDefaultCell(Date);
    Grid->Column(1)->SetWidth(90);
    EXPECT_TRUE(Grid->AdaptCellToField(Data.FieldByName("Size"), Number));
    EXPECT_EQ(Number->DataType(), entry::nftExtended);
    Number->SetPictureMask("###,###");
    EXPECT_TRUE(Grid->AdaptCellToField(Data.FieldByName("Modified"), Date));
    EXPECT_EQ(Date->DataType(), entry::pftDate);
    Date->SetPictureMask("dd/mm/yy");
    EXPECT_FALSE(Grid->AdaptCellToField(Data.FieldByName("FileName"), Number));
    EXPECT_FALSE(Grid->AdaptCellToField(Data.FieldByName("FileName"), NewComponent<TCtlTCCheckBox>(Form)));

    // Row 5 holds a date the two-digit year cannot show, and the file name "********".
    Data.MoveBy(5);
    Data.Edit();
    Data.FieldByName("Modified")->SetAsDateTime(EncodeDate(2060, 1, 2));
    Data.FieldByName("FileName")->SetAsString("********");
    Data.Post();
    Data.First();
    Driver.RunPending();
    EXPECT_EQ(Grid->FieldToCellData(Data.FieldByName("Size"), Number, 2).Entry.DataType, entry::dtExtended);
    const TRect Stars = Grid->CellRect(5, 1), Shown = Grid->CellRect(5, 3);
    ASSERT_EQ(Stars.Width(), Shown.Width());
    int Ink = 0;
    for (int Y = 0; Y < RowH - 1; ++Y)
        for (int X = 0; X < Stars.Width() - 1; ++X) {
            const uint32_t A = Driver.PixelAt(*Grid, Stars.Left + X, Stars.Top + Y);
            ASSERT_EQ(Driver.PixelAt(*Grid, Shown.Left + X, Shown.Top + Y), A) << X << "," << Y;
            Ink += A == 0;
        }
    EXPECT_GT(Ink, 10);
}

TEST_F(DbGridTest, TheCatalogWindowsConfigurationPaintsHeadingsGlyphsAndFormattedValues) {
    MakeGrid(500);
    auto* Head = NewComponent<TCtlTCColHead>(Form);
    for (const char* S : {"Tag", "File Name", "File Size", "Date Modified"}) Head->Headings().Add(S);
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    auto* Size = NewComponent<TCtlTCNumericField>(Form);
    auto* Date = NewComponent<TCtlTCPictureField>(Form);
    Grid->SetHeaderCell(Head);
    EXPECT_FALSE(Head->ShowLetters());
    Grid->SetHeaderOptions(CtlHeaderOption(hoShowHeader) | CtlHeaderOption(hoUseHeaderCell) |
                           CtlHeaderOption(hoUseStrings));
    for (TCtlGridPen* Pen : {&Grid->GridPenSet().NormalGrid(), &Grid->GridPenSet().LockedGrid()}) {
        Pen->SetStyle(psSolid);
        Pen->SetNormalColor(clBtnShadow);
    }
    Grid->GridPenSet().LockedGrid().SetEffect(ge3D);
    Grid->Column(0)->SetDefaultCell(Box);
    Grid->Column(2)->SetDefaultCell(Size);
    Grid->Column(3)->SetDefaultCell(Date);
    Grid->AdaptCellToField(Data.FieldByName("Size"), Size);
    Size->SetPictureMask("###,###,###,###,###");
    Size->SetAdjust(otaCenterRight);
    Grid->AdaptCellToField(Data.FieldByName("Modified"), Date);
    Date->SetPictureMask("dd nnn yyyy");
    Date->SetMaxLength(11);
    Grid->SetLockedColumns(1);
    Grid->SetAccess(otxReadOnly);
    FixWidths();
    Grid->Column(1)->SetWidth(110);
    Grid->Column(3)->SetWidth(100);
    Driver.RunPending();
    if (const char* Dir = std::getenv("KORVANE_GRABS"))
        Driver.Grab(*Form, std::string(Dir) + "/dbgrid-catalog.png");
    EXPECT_EQ(Grid->HeaderOptions() & CtlHeaderOption(hoUseLetters), 0);
    // The check box of a tagged record (record 3) shows the checked glyph, an untagged one does not.
    TBitmap& Glyphs = *Box->CellGlyphs().BitMap();
    auto BoxMatches = [&](int32_t Row, int Glyph) {
        const TRect R = Grid->CellRect(Row, 0);
        const TRect In = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
        // Placed left and centred in height, whole: the margins do not cut a box that fits the row.
        const int H = std::min(14, In.Height());
        const int X0 = In.Left + Box->Margin(), Y0 = In.Top + (In.Height() - H) / 2;
        const TColor Clear = Glyphs.Canvas().Pixel(0, 13);
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < 14; ++X) {
                const TColor G = Glyphs.Canvas().Pixel(14 * Glyph + X, Y);
                if (G != Clear && Driver.PixelAt(*Grid, X0 + X, Y0 + Y) != ColorToRGB(G)) return false;
            }
        return true;
    };
    EXPECT_TRUE(BoxMatches(2, 1));
    EXPECT_TRUE(BoxMatches(1, 0));
    EXPECT_FALSE(BoxMatches(1, 1));
    // Numbers with separators end at the right edge of their column.
    const TRect S = Grid->CellRect(9, 2);
    int Rightmost = 0;
    for (int X = S.Left; X < S.Right - 1; ++X)
        for (int Y = S.Top + 3; Y < S.Bottom - 3; ++Y)
            if (Driver.PixelAt(*Grid, X, Y) == 0) Rightmost = X;
    EXPECT_GT(Rightmost, S.Right - 10);
}

TEST_F(DbGridTest, AFailingCellLeavesTheCurrentRecordInPlace) {
    MakeGrid();
    FixWidths();
    auto* Text = NewComponent<TCtlTCString>(Form);
    Grid->Column(1)->SetDefaultCell(Text);
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoCellsPaintText));
    Data.MoveBy(1);
    Driver.RunPending();
    ASSERT_EQ(Grid->DataLink().ActiveRecord(), 1);
    Text->OnOwnerDraw = [](TObject*, TCanvas&, const TRect&, int32_t Row, int32_t, const TCtlCellAttributes&,
                           const TCtlCellValue*, bool&) {
        if (Row == 4) throw Exception("cell failed");
    };
    std::vector<std::string> Caught;
    Application->OnException = [&](TObject*, const std::exception& E) { Caught.push_back(E.what()); };
    Grid->Invalidate();
    Driver.RunPending();
    Application->OnException = nullptr;
    Text->OnOwnerDraw = nullptr;
    EXPECT_FALSE(Caught.empty());
    // The fields read the current record again, not the row painted last.
    EXPECT_EQ(Grid->DataLink().ActiveRecord(), 1);
    EXPECT_EQ(Current(), "FILE2.TXT");
}

TEST_F(DbGridTest, AStringCellTakesTheFieldTextCutToWhatItKeeps) {
    MakeGrid();
    auto* Text = NewComponent<TCtlTCString>(Form);
    TField* Name = Data.FieldByName("FileName");
    ASSERT_TRUE(Grid->AdaptCellToField(Name, Text));
    EXPECT_EQ(Text->MaxLength(), Name->DisplayWidth());
    EXPECT_EQ(Grid->CellDataSize(Text), Name->DisplayWidth() + 1);
    Text->SetMaxLength(5);
    const TCtlCellValue V = Grid->FieldToCellData(Name, Text, 1);
    EXPECT_EQ(V.Text, "FILE1");  // "FILE1.TXT" cut to the five characters the cell keeps
    EXPECT_EQ(V.Capacity, 5);
    // Without a field the value is empty; a boolean through a check box is its check state.
    EXPECT_EQ(Grid->FieldToCellData(nullptr, Text, 1).Kind, TCtlCellValue::cvNone);
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    Data.MoveBy(2);  // record 3 is tagged
    EXPECT_EQ(Grid->FieldToCellData(Data.FieldByName("Tagged"), Box, 0).Check, 1);
    EXPECT_EQ(Grid->CellDataSize(Box), 1);
}

// ---- Keys ----

TEST_F(DbGridTest, ArrowsWrapOnlyWhenAskedAndCtrlKeysGoToTheEnds) {
    MakeGrid();
    FixWidths();
    Grid->SetLockedColumns(1);
    Grid->SetFocus();
    Grid->SetActiveCell(0, 3);
    Driver.RunPending();
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Grid->ActiveCol(), 3);
    EXPECT_EQ(Current(), "FILE1.TXT");
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoWrapAtEnds));
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Grid->ActiveRow(), 1);
    EXPECT_EQ(Grid->ActiveCol(), 1);  // the first scrollable column
    EXPECT_EQ(Current(), "FILE2.TXT");
    // On the last row the dataset moves by one.
    Grid->SetActiveCell(Grid->RowsInView() - 1, 3);
    Driver.RunPending();
    EXPECT_EQ(Current(), "FILE10.TXT");
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Current(), "FILE11.TXT");
    EXPECT_EQ(Grid->ActiveRow(), Grid->RowsInView() - 1);
    EXPECT_EQ(Grid->ActiveCol(), 1);

    Driver.Key(VK_END, ssCtrl);
    EXPECT_EQ(Current(), "FILE20.TXT");
    EXPECT_EQ(Grid->ActiveCol(), 1);
    Driver.Key(VK_HOME, ssCtrl);
    EXPECT_EQ(Current(), "FILE1.TXT");
    Driver.Key(VK_DOWN, ssCtrl);
    EXPECT_EQ(Current(), "FILE20.TXT");
    EXPECT_EQ(Grid->ActiveCol(), 3);
    EXPECT_EQ(Grid->ActiveRow(), Grid->RowsInView() - 1);
}

TEST_F(DbGridTest, WheelAndScrollBarMoveRecords) {
    MakeGrid();
    Grid->SetScrollBars(ssVertical);
    Driver.RunPending();
    Grid->SetFocus();
    Driver.Wheel(*Grid, -120);
    EXPECT_EQ(Current(), "FILE2.TXT");
    Driver.Wheel(*Grid, 120);
    EXPECT_EQ(Current(), "FILE1.TXT");
    Driver.ScrollBar(*Grid, SB_VERT, SB_LINEDOWN);
    EXPECT_EQ(Current(), "FILE2.TXT");
    // Page scrolling: the line-down arrow moves by the record count less the active buffer row.
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoPageScroll));
    Data.First();
    Data.MoveBy(3);
    Driver.RunPending();
    const int Active = Grid->DataLink().ActiveRecord();
    EXPECT_EQ(Active, 3);
    Data.First();
    Driver.RunPending();
    Driver.ScrollBar(*Grid, SB_VERT, SB_LINEDOWN);
    EXPECT_EQ(Current(), "FILE20.TXT");  // 20 - 0 records on: the last one
}

// ---- Mouse ----

TEST_F(DbGridTest, ClicksOnLockedCellsIndicatorsAndBelowTheRecordsOnlyReport) {
    while (Data.RecordCount() > 4) {
        Data.Last();
        Data.Delete();
    }
    Data.First();
    MakeGrid();
    FixWidths();
    Grid->SetLockedColumns(1);
    Grid->SetActiveCell(1, 2);
    Grid->SetFocus();
    Driver.RunPending();
    ClickCell(2, 0);
    Driver.Click(*Grid, 20, 5);                     // the "Tagged" heading
    Driver.Click(*Grid, 5, Header + 3 * RowH + 5);  // the indicator strip
    Driver.Click(*Grid, 5, 5);                      // its corner
    Driver.Click(*Grid, 100, Header + 6 * RowH);    // below the last record
    Driver.RunPending();
    EXPECT_EQ(Events, (std::vector<std::string>{"locked 2,0", "locked -2,0", "indicator 3,-2",
                                                "indicator -2,-2", "unused -1,1"}));
    EXPECT_EQ(Grid->ActiveRow(), 1);
    EXPECT_EQ(Grid->ActiveCol(), 2);
}

TEST_F(DbGridTest, ColumnsAreSizedNoNarrowerThanFourAndNeverMovedOntoLockedOnes) {
    MakeGrid();
    FixWidths();
    Grid->SetLockedColumns(1);
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoAllowColumnSize) | CtlDbOption(dtoAllowColumnMove));
    Grid->SetFocus();
    Driver.RunPending();
    // The divider right of column 1 (x 11 + 30 + 120).
    const int Divider = Indicator + 150;
    Driver.MouseMove(*Grid, Divider + 1, 8);
    EXPECT_EQ(Driver.CursorShown(*Grid), crHSplit);
    Driver.MouseDown(*Grid, Divider + 1, 8);
    Driver.MouseMove(*Grid, Indicator + 30 + 4, 8);  // four pixels wide: taken
    Driver.MouseMove(*Grid, Indicator + 30 + 2, 8);  // two: the line stays at four
    Driver.MouseUp(*Grid, Indicator + 30 + 2, 8);
    Driver.RunPending();
    EXPECT_EQ(Grid->Column(1)->Width(), 4);

    // Drag the heading of column 3 onto the locked column 0: the marker stays on column 1.
    std::vector<std::pair<int, int>> Moved;
    Grid->OnColumnMoved = [&](TObject*, int32_t From, int32_t To) { Moved.emplace_back(From, To); };
    const int Col3 = Grid->Column(3)->ScreenLeft + 20;
    Driver.MouseMove(*Grid, Col3, 8);
    Driver.MouseDown(*Grid, Col3, 8);
    Driver.MouseMove(*Grid, Grid->Column(1)->ScreenLeft + 2, 8);
    Driver.MouseMove(*Grid, 20, 8);
    Driver.MouseUp(*Grid, 20, 8);
    Driver.RunPending();
    EXPECT_EQ(Moved, (std::vector<std::pair<int, int>>{{3, 1}}));
    EXPECT_EQ(Grid->Column(0)->DataField(), "Tagged");
    EXPECT_EQ(Grid->Column(1)->DataField(), "Modified");
    EXPECT_EQ(Grid->Column(2)->DataField(), "FileName");
}

// ---- Editing ----

class DbGridEditTest : public DbGridTest {
protected:
    TCtlTCString* Text = nullptr;
    void SetUp() override {
        DbGridTest::SetUp();
        MakeGrid();
        FixWidths();
        Text = NewComponent<TCtlTCString>(Form);
        Grid->Column(1)->SetDefaultCell(Text);
        Grid->AdaptCellToField(Data.FieldByName("FileName"), Text);
        Driver.RunPending();
    }
    TEdit* Editor() { return static_cast<TEdit*>(Text->EditControl()); }
};

TEST_F(DbGridEditTest, FirstClickMovesSecondOpensAndAlwaysEditingOpensAtOnce) {
    Grid->SetFocus();
    Driver.RunPending();
    ClickCell(2, 1);
    EXPECT_EQ(Grid->ActiveRow(), 2);
    EXPECT_FALSE(Grid->Editing());
    const TRect R = Grid->CellRect(2, 1);
    Driver.Click(*Grid, R.Left + 12, R.Top + 10);
    Driver.RunPending();
    ASSERT_TRUE(Grid->Editing());
    EXPECT_EQ(Editor()->Text(), "FILE3.TXT");
    EXPECT_GT(Editor()->SelStart(), 0);  // the caret went where the click was
    EXPECT_LT(Editor()->SelStart(), 9);
    EXPECT_EQ(Data.State(), dsEdit);

    Driver.Key(VK_F2);
    Grid->SetOptions(Grid->Options() | CtlDbOption(dtoAlwaysEditing));
    Driver.RunPending();
    ClickCell(5, 1);
    EXPECT_TRUE(Grid->Editing());
    EXPECT_EQ(Editor()->Text(), "FILE6.TXT");
}

TEST_F(DbGridEditTest, ALetterOpensTheEditorAndEscapeRestoresThenCancels) {
    Grid->SetFocus();
    Grid->SetActiveCell(1, 1);
    Driver.RunPending();
    Driver.Type("Q");
    Driver.RunPending();
    ASSERT_TRUE(Grid->Editing());
    EXPECT_NE(Editor()->Text().find('Q'), std::string::npos);
    Driver.Type("Z");
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_FALSE(Grid->Editing());
    EXPECT_EQ(Current(), "FILE2.TXT");
    EXPECT_EQ(Data.State(), dsEdit);
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_EQ(Data.State(), dsBrowse);

    // Typing and moving away stores the value in the record.
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->Editing());
    Editor()->SetText("NEW.TXT");
    Editor()->SetModified(true);
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_FALSE(Grid->Editing());
    Data.First();
    Data.MoveBy(1);
    EXPECT_EQ(Current(), "NEW.TXT");
}

TEST_F(DbGridEditTest, ARefusedEditAsksToRetryOrAbort) {
    Grid->SetFocus();
    Grid->SetActiveCell(0, 1);
    Driver.RunPending();
    Data.FailingEdits = 1;
    Driver.Answer(mrRetry);
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text, "Could not enter edit mode");
    EXPECT_EQ(Driver.Shown.back().DlgType, mtError);
    EXPECT_TRUE(Grid->Editing());  // the retry found the record free
    Driver.Key(VK_ESCAPE);
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_EQ(Data.State(), dsBrowse);

    Data.FailingEdits = 5;
    Driver.Answer(mrAbort);
    EXPECT_THROW(Grid->StartEditing(), EDatabaseError);
    EXPECT_FALSE(Grid->Editing());
    EXPECT_EQ(Grid->EditorCell(), nullptr);
    Data.FailingEdits = 0;
}

TEST_F(DbGridEditTest, AnInvalidValueKeepsTheEditorOpenAndTheRowInPlace) {
    auto* Size = NewComponent<TCtlTCNumericField>(Form);
    Grid->Column(2)->SetDefaultCell(Size);
    Grid->AdaptCellToField(Data.FieldByName("Size"), Size);
    Size->SetRangeLo("0");
    Size->SetRangeHi("5000");
    std::vector<uint16_t> Errors;
    Size->OnError = [&](TObject*, uint16_t Code, const std::string&) { Errors.push_back(Code); };
    Grid->SetFocus();
    Grid->SetActiveCell(0, 2);
    Driver.RunPending();
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->Editing());
    Size->EditField()->SelectAll();
    Driver.Type("9999");
    Driver.RunPending();
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_TRUE(Grid->Editing());
    EXPECT_EQ(Current(), "FILE1.TXT");
    ClickCell(3, 1);
    EXPECT_TRUE(Grid->Editing());
    EXPECT_EQ(Grid->ActiveRow(), 0);
    EXPECT_FALSE(Errors.empty());
    // A valid value goes through.
    Size->EditField()->SelectAll();
    Driver.Type("1234");
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_FALSE(Grid->Editing());
    EXPECT_EQ(Current(), "FILE2.TXT");
    Data.First();
    EXPECT_EQ(Data.FieldByName("Size")->AsFloat(), 1234.0);
}

TEST_F(DbGridEditTest, ATimeCellKeepsTheDateOfADateTimeField) {
    TMemDataSet Stamps;
    Stamps.FieldDefs.Add("Stamp", ftDateTime);
    Stamps.Open();
    Stamps.AppendRecord({Variant(EncodeDate(1999, 3, 4) + EncodeTime(10, 20, 30, 0))});
    TDataSource StampSource;
    StampSource.SetDataSet(&Stamps);
    Grid->SetDataSource(&StampSource);
    Driver.RunPending();
    auto* Time = NewComponent<TCtlTCPictureField>(Form);
    Grid->Column(0)->SetDefaultCell(Time);
    Grid->Column(0)->SetDateOrTime(dtUseTime);
    EXPECT_TRUE(Grid->AdaptCellToField(Stamps.Fields[0], Time));
    EXPECT_EQ(Time->DataType(), entry::pftTime);
    Stamps.Edit();
    TCtlCellValue V = Grid->FieldToCellData(Stamps.Fields[0], Time, 0);
    int32_t Seconds = 0;
    std::memcpy(&Seconds, V.Entry.Bytes.data(), 4);
    EXPECT_EQ(Seconds, 10 * 3600 + 20 * 60 + 30);
    Seconds = 8 * 3600;
    std::memcpy(V.Entry.Bytes.data(), &Seconds, 4);
    Grid->CellDataToField(Stamps.Fields[0], Time, V);
    EXPECT_DOUBLE_EQ(Stamps.Fields[0]->AsDateTime(), EncodeDate(1999, 3, 4) + EncodeTime(8, 0, 0, 0));
    Stamps.Cancel();
    Grid->SetDataSource(&Source);
}

// ---- An engine table ----

class DbGridEngineTest : public dbsql::testsupport::SessionFixture {
protected:
    TFormDriver Driver;
};

TEST_F(DbGridEngineTest, AnEditedCellIsPostedToTheTable) {
    dbsql::TDbTable Table;
    Table.SetDatabaseName("D:\\");
    Table.SetTableName("Entries");
    Table.FieldDefs.Add("FileName", ftString, 20, true);
    Table.FieldDefs.Add("Size", ftInteger, 0, false);
    Table.IndexDefs.Add("", "FileName", ixPrimary | ixUnique);
    Table.CreateTable();
    Table.Open();
    for (int I = 1; I <= 5; ++I) Table.AppendRecord({Variant("F" + std::to_string(I)), Variant(I)});
    Table.First();
    TDataSource Source;
    Source.SetDataSet(&Table);
    TForm* Form = TCustomForm::Create<TForm>(Application);
    Form->SetBounds(0, 0, 400, 300);
    auto* Grid = NewComponent<TCtlDbTable>(Form);
    Grid->SetBounds(0, 0, 380, 200);
    Grid->SetParent(Form);
    Grid->SetDataSource(&Source);
    Form->Show();
    Driver.RunPending();
    ASSERT_EQ(Grid->ColumnCount(), 2);
    auto* Size = NewComponent<TCtlTCNumericField>(Form);
    Grid->Column(1)->SetDefaultCell(Size);
    EXPECT_TRUE(Grid->AdaptCellToField(Table.FieldByName("Size"), Size));
    Grid->SetFocus();
    Grid->SetActiveCell(2, 1);
    Driver.RunPending();
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->Editing());
    Size->EditField()->SelectAll();
    Driver.Type("77");
    Driver.Key(VK_F2);
    Driver.RunPending();
    Table.Post();
    Form->Free();
    Driver.RunPending();
    Table.Close();

    dbsql::TDbTable Fresh;
    Fresh.SetDatabaseName("D:\\");
    Fresh.SetTableName("Entries");
    Fresh.Open();
    std::vector<int> Sizes;
    for (Fresh.First(); !Fresh.Eof(); Fresh.Next()) Sizes.push_back(Fresh.FieldByName("Size")->AsInteger());
    EXPECT_EQ(Sizes, (std::vector<int>{1, 2, 77, 4, 5}));
}

}  // namespace
}  // namespace grid
