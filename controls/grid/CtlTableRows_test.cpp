// Rows (records only for rows that differ from the default), columns with their default cells,
// colours and pens, the "RowData" and "ColData" streams, and how a grid resolves the streamed
// references to its cell components ("CellData") in its form and in the data modules.
#include "controls/grid/CtlTableRows.h"

#include <gtest/gtest.h>

#include "framework/core/Stream.h"
#include "framework/ui/DataModule.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace grid {
namespace {

using namespace framework;

class TTestTable : public TCtlTableAncestor {
public:
    using TCtlTableAncestor::TCtlTableAncestor;
    std::vector<TCtlTableCellAncestor*> Changed;
    void CellChanged(TCtlTableCellAncestor* Cell) override { Changed.push_back(Cell); }
    TCtlTblKeyClaim FilterKey(TWMKey&) override { return okcNone; }
    void ResolveCellAttributes(int32_t, int32_t, TCtlCellAttributes&) override {}
    void LoadCellData(std::vector<std::string> Names) {
        TMemoryStream Stream;
        {
            TWriter W(&Stream);
            W.WriteListBegin();
            for (auto& N : Names) W.WriteString(N);
            W.WriteListEnd();
        }
        Stream.SetPosition(0);
        TReader R(&Stream);
        ReadPending(&R);
    }
    void ReadPending(TReader* R);
};

// Reads the pending list the way the stream does: through the routine DefineProperties declares.
class TReadOnlyFiler : public TFiler {
public:
    explicit TReadOnlyFiler(TReader* Reader) : TFiler(nullptr, 16), FReader(Reader) {}
    void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc&,
                        bool) override {
        if (Name == "CellData") ReadData(FReader);
    }
    void DefineBinaryProperty(const std::string&, const TStreamProc&, const TStreamProc&, bool) override {}
    void FlushBuffer() override {}

private:
    TReader* FReader;
};

void TTestTable::ReadPending(TReader* R) {
    TReadOnlyFiler Filer(R);
    DefineProperties(&Filer);
}

struct Notice {
    int32_t A, B;
    TCtlTblActions Action;
    bool operator==(const Notice&) const = default;
};

TEST(CtlTableRows, RecordsExistOnlyForSpecialRows) {
    TCtlTableRows Rows;
    std::vector<Notice> Seen;
    Rows.OnChange = [&](TObject*, int32_t A, int32_t B, TCtlTblActions Act) { Seen.push_back({A, B, Act}); };
    Rows.SetRow(5, 50, false);
    EXPECT_TRUE(Rows.RowIsSpecial(5));
    Rows.SetRow(5, 30, false);  // the default height, visible: no record
    EXPECT_FALSE(Rows.RowIsSpecial(5));
    EXPECT_EQ(Rows.RecordCount(), 0);
    Rows.SetRow(5, 0, true);
    ASSERT_NE(Rows.StoredRow(5), nullptr);
    EXPECT_EQ(Rows.StoredRow(5)->Height, -1);
    EXPECT_EQ(Rows.Height(5), 30);
    EXPECT_TRUE(Rows.Hidden(5));
    Rows.SetHeight(6, 30);  // default height without a record: nothing
    Rows.SetHeight(6, 20);
    Rows.SetDefaultHeight(40);
    EXPECT_EQ(Rows.Height(5), 40);
    EXPECT_EQ(Rows.Height(6), 20);
    Rows.SetHeight(6, 40);  // back to the default: the visible row loses its record
    EXPECT_FALSE(Rows.RowIsSpecial(6));
    Rows.SetHeight(5, -3);  // hidden row keeps its record with the default marker
    EXPECT_TRUE(Rows.RowIsSpecial(5));
    EXPECT_EQ(Seen, (std::vector<Notice>{{5, 0, taSingle},
                                         {5, 0, taSingle},
                                         {5, 0, taSingle},
                                         {6, 0, taSingle},
                                         {0, 0, taAll},
                                         {6, 0, taSingle}}));
}

TEST(CtlTableRows, LimitExchangeAndRescale) {
    TCtlTableRows Rows;
    Rows.SetRow(2, 45, false);
    Rows.Exchange(2, 7);
    EXPECT_FALSE(Rows.RowIsSpecial(2));
    EXPECT_EQ(Rows.Height(7), 45);
    Rows.Rescale(2, 1);
    EXPECT_EQ(Rows.DefaultHeight(), 60);
    EXPECT_EQ(Rows.Height(7), 90);
    Rows.SetLimit(0);
    EXPECT_EQ(Rows.Limit(), 1);
    try {
        Rows.Height(1);
        FAIL();
    } catch (const ECtlTable& E) {
        EXPECT_EQ(E.Message, "Table row out of bounds");
    }
    EXPECT_THROW(Rows.SetRow(-1, 10, false), ECtlTable);
    EXPECT_THROW(Rows.Exchange(0, 3), ECtlTable);
}

TEST(CtlGridPens, NewSetsAndColors) {
    TCtlGridPenSet Set;
    EXPECT_EQ(Set.NormalGrid().Style(), psDot);
    EXPECT_EQ(Set.NormalGrid().NormalColor(), clBtnShadow);
    EXPECT_EQ(Set.LockedGrid().Effect(), ge3D);
    EXPECT_EQ(Set.LockedGrid().SecondColor(), clBtnHighlight);
    EXPECT_EQ(Set.CellWhenUnfocused().NormalColor(), clBlack);
    EXPECT_EQ(Set.CellWhenUnfocused().Style(), psDash);
    int Changes = 0;
    TCtlGridPenSet Other;
    Other.SetChangeNotice([&](TObject*) { ++Changes; });
    Other.NormalGrid().SetStyle(psDot);  // unchanged: no notice
    EXPECT_EQ(Changes, 0);
    Set.NormalGrid().SetStyle(psSolid);
    Other.Assign(&Set);
    EXPECT_EQ(Changes, 4);
    EXPECT_EQ(Other.NormalGrid().Style(), psSolid);

    TCtlTableColors Colors;
    EXPECT_EQ(Colors.Color(TCtlTableColors::Locked), clBtnFace);
    EXPECT_EQ(Colors.Color(TCtlTableColors::SelectedText), clHighlightText);
}

class GridLinkTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TTestTable* Table = nullptr;
    TTestTable* OtherTable = nullptr;
    void SetUp() override {
        Form->SetName("DiskFillForm");
        Table = NewComponent<TTestTable>(Form);
        Table->SetName("Table1");
        Table->SetParent(Form);
        OtherTable = NewComponent<TTestTable>(Form);
        OtherTable->SetName("Table2");
        OtherTable->SetParent(Form);
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    TCtlBaseTableCell* Cell(const std::string& Name, TComponent* Owner = nullptr) {
        auto* C = NewComponent<TCtlBaseTableCell>(Owner ? Owner : Form);
        C->SetName(Name);
        return C;
    }
};

TEST_F(GridLinkTest, ColumnsCountDeleteAndCellsServeOneGrid) {
    TCtlTableColumns Columns(Table, 6);
    std::vector<Notice> Seen;
    Columns.SetChangeNotice([&](TObject*, int32_t A, int32_t B, TCtlTblActions Act) {
        Seen.push_back({A, B, Act});
    });
    Columns.SetCount(3);
    EXPECT_EQ(Seen, (std::vector<Notice>{{5, 0, taDelete}, {4, 0, taDelete}, {3, 0, taDelete}}));
    Columns.SetCount(4);
    TCtlTableColumn* Old2 = Columns.Items(2);
    TCtlTableColumn* Old3 = Columns.Items(3);
    Columns.Delete(1);
    EXPECT_EQ(Columns.Items(1), Old2);
    EXPECT_EQ(Old2->Number(), 1);
    EXPECT_EQ(Old3->Number(), 2);
    EXPECT_EQ(Columns.Items(3), nullptr);

    auto* Shared = Cell("CtlTCString1");
    Columns.Items(0)->SetDefaultCell(Shared);
    Columns.Items(1)->SetDefaultCell(Shared);
    EXPECT_EQ(Shared->Users(), 2);
    EXPECT_EQ(Table->Cells(), (std::vector<TCtlTableCellAncestor*>{Shared}));
    TCtlTableColumns Foreign(OtherTable, 1);
    Foreign.Items(0)->SetDefaultCell(Shared);  // serves another grid: refused
    EXPECT_EQ(Foreign.DefaultCell(0), nullptr);
    Shared->NotifyChanged();
    EXPECT_EQ(Table->Changed.size(), 1u);
    Columns.CellRemoved(Shared);
    EXPECT_EQ(Shared->Users(), 0);
    EXPECT_EQ(Shared->Table(), nullptr);
    EXPECT_TRUE(Table->Cells().empty());
    Foreign.Items(0)->SetDefaultCell(Shared);  // free again: accepted
    EXPECT_EQ(Shared->Table(), OtherTable);
}

TEST_F(GridLinkTest, RowAndColumnStreamsRoundTripByteForByte) {
    auto Save = [](const std::function<void(TWriter*)>& Write) {
        TMemoryStream Stream;
        {
            TWriter W(&Stream);
            Write(&W);
        }
        return std::string(Stream.Memory(), static_cast<size_t>(Stream.Size()));
    };
    auto Load = [](const std::string& Bytes, const std::function<void(TReader*)>& Read) {
        TMemoryStream Stream;
        Stream.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
        Stream.SetPosition(0);
        TReader R(&Stream);
        Read(&R);
    };

    TCtlTableRows Rows;
    Rows.SetDefaultHeight(23);
    const std::string RowBytes = Save([&](TWriter* W) { Rows.WriteData(W); });
    TCtlTableRows Rows2;
    Rows2.SetRow(3, 12, true);
    Load(RowBytes, [&](TReader* R) { Rows2.ReadData(R); });
    EXPECT_EQ(Rows2.DefaultHeight(), 23);
    EXPECT_EQ(Rows2.RecordCount(), 0);
    EXPECT_EQ(Save([&](TWriter* W) { Rows2.WriteData(W); }), RowBytes);

    Rows.SetLimit(20);
    Rows.SetRow(4, 0, true);
    Rows.SetRow(9, 40, false);
    const std::string Special = Save([&](TWriter* W) { Rows.WriteData(W); });
    TCtlTableRows Rows3;
    Rows3.SetLimit(20);
    Load(Special, [&](TReader* R) { Rows3.ReadData(R); });
    EXPECT_TRUE(Rows3.Hidden(4));
    EXPECT_EQ(Rows3.Height(9), 40);

    auto* Check = Cell("CtlTCCheckBox1");
    auto* Name = Cell("CtlTCString1");
    TCtlTableColumns Columns(Table, 6);
    const int Widths[] = {26, 52, 50, 75, 75, 50};
    for (int I = 0; I < 6; ++I) Columns.Items(I)->SetWidth(Widths[I]);
    Columns.Items(0)->SetDefaultCell(Check);
    Columns.Items(1)->SetDefaultCell(Name);
    const std::string ColBytes = Save([&](TWriter* W) { Columns.WriteData(W); });

    TCtlTableColumns Loaded(Table, 2);
    Load(ColBytes, [&](TReader* R) { Loaded.ReadData(R); });
    EXPECT_EQ(Loaded.Count(), 6);
    EXPECT_TRUE(Loaded.HasPendingNames());
    Loaded.ResolvePendingNames();
    EXPECT_FALSE(Loaded.HasPendingNames());
    EXPECT_EQ(Loaded.DefaultCell(0), Check);
    EXPECT_EQ(Loaded.DefaultCell(1), Name);
    EXPECT_EQ(Loaded.Items(3)->Width(), 75);
    EXPECT_EQ(Save([&](TWriter* W) { Loaded.WriteData(W); }), ColBytes);
}

TEST_F(GridLinkTest, CellDataResolvesInASecondFormInstanceAndInDataModulesByExactName) {
    Form->SetName("DiskFillForm_2");
    auto* Str = Cell("CtlTCString2");
    auto* Head = Cell("CtlTCColHead1");
    auto* Module = TDataModule::Create<TDataModule>(Application);
    Module->SetName("CatalogData");
    auto* InModule = Cell("CtlTCString9", Module);
    auto* Missed = Cell("CtlTCString8", Module);
    Table->LoadCellData({"DiskFillForm.CtlTCString2", "CtlTCColHead1", "CatalogData.CtlTCString9",
                         "CatalogData_2.CtlTCString8", "DiskFillForm.NoSuchCell", "OtherForm.CtlTCString2"});
    EXPECT_TRUE(Table->HasPendingCellReferences());
    Table->ResolveCellReferences();
    EXPECT_FALSE(Table->HasPendingCellReferences());
    // The list is walked from last to first.
    EXPECT_EQ(Table->Cells(), (std::vector<TCtlTableCellAncestor*>{Head, Str, InModule}));
    (void)Missed;
    EXPECT_EQ(CtlComponentReference(Str), "DiskFillForm_2.CtlTCString2");
    Module->Free();
}

}  // namespace
}  // namespace grid
