#include "reports/summary/SummaryReportScreenForm.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/TextHelpers.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlEntryField.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "reports/filereport/ReportCriteria.h"
#include "reports/output/ReportButtonRow.h"
#include "reports/output/ReportWindowParts.h"
#include "sysutil/UtStrS.h"

namespace reports {

using namespace framework;

namespace {

constexpr const char* kSummarySizeFormat = "#,###,###,###,##0";
constexpr const char* kSummaryCountFormat = "###,###,##0";
constexpr const char* kSummaryTotalFormat = "###,###,###,###,##0";

// Item N: its heading, its field in the joined rows, its name in the sort clause, and its grid
// alignments.
struct TSummaryItemInfo {
    const char* Heading;
    const char* GridField;
    const char* SortName;
    TAlignment Cell;
    TAlignment Title;
};
constexpr TSummaryItemInfo kSummaryItemInfo[kSummaryItems] = {
    {"Catalog Volume ID", "CatalogVolumeLabel", "CatalogVolumeLabel", taLeftJustify, taLeftJustify},
    {"Actual Volume ID", "ActualVolumeLabel", "ActualVolumeLabel", taLeftJustify, taLeftJustify},
    {"Serial Number", "SerialNumberStr", "SerialNumber", taCenter, taCenter},
    {"First Cataloged", "DateFirstCataloged", "DateFirstCataloged", taCenter, taCenter},
    {"Last Cataloged", "DateLastCataloged", "DateLastCataloged", taCenter, taCenter},
    {"Disk Size", "DiskSize", "DiskSize", taRightJustify, taCenter},
    {"Cluster Size", "DiskClusterSize", "DiskClusterSize", taRightJustify, taCenter},
    {"Space Used", "DiskUsed", "DiskUsed", taRightJustify, taCenter},
    {"Free Space", "DiskFree", "DiskFree", taRightJustify, taCenter},
    {"Slack %", "SlackSpace", "SlackSpace", taRightJustify, taCenter},
    {"Files On Disk", "FilesOnDisk", "FilesOnDisk", taRightJustify, taCenter},
    {"Files In Arcs", "FilesInArchives", "FilesInArchives", taRightJustify, taCenter},
    {"Drv", "CatalogedFrom", "CatalogedFrom", taCenter, taCenter},
    {"Comment", "CommentStr", "Comment", taLeftJustify, taLeftJustify},
};
// The text-file columns that are measured (items 4 to 9 and 14) start at their headings' lengths.
constexpr std::pair<int, int> kSummaryStartChars[] = {{4, 15}, {5, 14}, {6, 9}, {7, 12},
                                                      {8, 10}, {9, 10}, {14, 7}};

constexpr const char* kSummaryStoredProperties =
    "ExpandComment.Checked\n"
    "ShowTotals.Checked\n"
    "SummaryReportGrid.Font\n"
    "SummaryReportGrid.TitleFont\n"
    "DBMemo1.Font\n";

// "1A2B-3C4D", or empty when the stored serial number is blank.
std::string SerialNumberText(TField& Field) {
    if (Trim(Field.AsString()).empty()) return "";
    std::string hex = sysutil::LongToHexText(static_cast<uint32_t>(Field.AsInteger()));
    return hex.insert(4, "-");
}

// The persistent fields of the report query: the result table's two, the summary's as the table
// defines them (the tag as a plain integer), and the two calculated texts.
void AddSummaryQueryFields(TDataSet& Target, const TFieldDefs& Defs) {
    Target.Fields.Clear();
    Target.AddField<TIntegerField>("STag", fkData, 0);
    Target.AddField<TFloatField>("SlackSpace", fkData, 0)->DisplayFormat = "##0.00";
    for (int i = 0; i < Defs.Count(); ++i) {
        const TFieldDef& def = *Defs[i];
        const TFieldType type = def.DataType == ftAutoInc ? ftInteger : def.DataType;
        auto field = CreateFieldOfType(type);
        field->FieldName = def.Name;
        if (def.Size > 0) field->SetSize(def.Size);
        if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->Precision = def.Precision;
        TField* added = Target.AddField(std::move(field));
        if (type == ftBCD) added->DisplayFormat = kSummarySizeFormat;
        if (def.Name == "FilesOnDisk" || def.Name == "FilesInArchives")
            added->DisplayFormat = "#,###,###,##0";
    }
    Target.AddField<TStringField>("SerialNumberStr", fkCalculated, 9);
    Target.AddField<TStringField>("CommentStr", fkCalculated, 200);
}

TSummaryReportSpec AllDisksSpec(const char* Title, int SortItem, uint8_t Direction) {
    TSummaryReportSpec spec;
    spec.ReportTitle = Title;
    spec.Op[0] = rcMatches;
    spec.VolumeLabelSpec = "*";
    const int columns[] = {1, 13, 6, 8, 9, 10, 11, 5, 14};
    for (size_t p = 0; p < std::size(columns); ++p) spec.ColumnPos[size_t(columns[p] - 1)] = uint8_t(p + 1);
    spec.SortSpec[size_t(SortItem - 1)] = {1, Direction};
    return spec;
}

}  // namespace

TSummaryReportSpec DiskSummaryByVolumeSpec() {
    return AllDisksSpec("Disk Summary Report - All Disks Sorted By Cataloged Volume ID", 1, 1);
}

TSummaryReportSpec DiskSummaryByFreeSpaceSpec() {
    return AllDisksSpec("Disk Summary Report - All Disks Sorted By Descending Free Space", 9, 2);
}

double VolumeSlack(double Size, double Free, double Used) {
    if (Free >= Size || Used > Size) return 0;
    return ((Size - Free) - Used) / (Size - Free) * 100;
}

long double TotalSlack(int64_t Size, int64_t Used, int64_t Free) {
    if (Free >= Size || Size < Used) return 0;
    const long double occupied = static_cast<long double>(Size) - static_cast<long double>(Free);
    return (occupied - static_cast<long double>(Used)) / occupied * 100;
}

std::string SummaryOrderBy(const std::array<TSortKeySpec, kSummaryItems>& SortSpec) {
    std::string clause;
    for (int priority = 1; priority <= kSummaryItems; ++priority)
        for (int item = 1; item <= kSummaryItems; ++item) {
            const TSortKeySpec& key = SortSpec[size_t(item - 1)];
            if (key.Priority != priority || (key.Direction != 1 && key.Direction != 2)) continue;
            clause += clause.empty() ? "Order By " : ", ";
            clause += kSummaryItemInfo[item - 1].SortName;
            clause += key.Direction == 1 ? " ASC" : " DESC";
        }
    return clause;
}

std::vector<std::string> SummaryReportSql(const std::string& ResultTableName, const std::string& CatalogName,
                                          const std::string& OrderBy) {
    std::vector<std::string> lines{"Select * From \"" + ResultTableName + "\", \"" +
                                   catalog::QuoteForSql(CatalogName) + "_SUM\" Where (STag = Tag)"};
    if (!OrderBy.empty()) lines.push_back(OrderBy + " NOCASE");
    return lines;
}

TSummaryReportScreenForm* RunSummaryReport(const TSummaryReportSpec& Spec) {
    auto* form = TCustomForm::Create<TSummaryReportScreenForm>(Application);
    form->Spec = Spec;
    bool built = false;
    try {
        built = form->CreateReport();
    } catch (...) {
        form->Free();
        throw;
    }
    if (!built) {
        form->Free();
        return nullptr;
    }
    form->Show();
    return form;
}

// ---- the window ---------------------------------------------------------------------------------

TSummaryReportScreenForm::TSummaryReportScreenForm(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("Disk Summary Report");
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 600, 437);
    Constraints().SetMinWidth(600);
    Constraints().SetMinHeight(250);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    SummaryTable = NewComponent<dbsql::TDbTable>(this);
    SummaryTable->SetName("SummaryTable");
    ResultTable = NewComponent<dbsql::TDbTable>(this);
    ResultTable->SetName("ResultTable");
    Query = NewComponent<dbsql::TDbQuery>(this);
    Query->SetName("Query");
    DataSource1 = NewComponent<TDataSource>(this);
    DataSource1->SetName("DataSource1");
    DataSource1->SetDataSet(Query);
    DataSource1->AutoEdit = false;

    SummaryTable->SetFilteredValue(true);
    SummaryTable->SetOnFilterRecordValue(
        [this](TDataSet* D, bool& Accept) { SummaryTableFilterRecord(D, Accept); });
    Query->OnCalcFields = [this](TDataSet* D) { QueryCalcFields(D); };
    Query->OnQueryProgress = [this](TObject*, uint16_t Percent, bool& Abort) {
        QueryQueryProgress(Percent, Abort);
    };

    // ---- bottom row: options and buttons
    Panel2 = NewComponent<TPanel>(this);
    Panel2->SetName("Panel2");
    Panel2->SetParent(this);
    Panel2->SetAlign(alBottom);
    Panel2->SetHeight(44);
    Panel2->SetCaption("");
    auto checkBox = [this](const char* Name, const char* Caption, int Top, bool Checked) {
        auto* box = NewComponent<TCheckBox>(this);
        box->SetName(Name);
        box->SetParent(Panel2);
        box->SetBounds(6, Top, 118, 16);
        box->SetCaption(Caption);
        box->SetChecked(Checked);
        return box;
    };
    ShowTotals = checkBox("ShowTotals", "Show Totals", 4, true);
    ExpandComment = checkBox("ExpandComment", "Expand Comment", 22, false);
    ShowTotals->OnClick = [this](TObject*) { ShowTotalsClick(); };
    ExpandComment->OnClick = [this](TObject*) { ExpandCommentClick(); };
    TReportButtonRow buttons(*this, *Panel2, &HelpContext, 128, 8, 74, 77);
    FontBtn = buttons.Add("FontBtn", bkCustom, "Chg &Font");
    ViewBtn = buttons.Add("ViewBtn", bkCustom, "Full &View");
    PrintBtn = buttons.Add("PrintBtn", bkCustom, "&Print");
    ToDiskBtn = buttons.Add("ToDiskBtn", bkCustom, "&To Disk");
    CloseBtn = buttons.Add("CloseBtn", bkClose);
    HelpBtn = buttons.Add("HelpBtn", bkHelp);
    FontBtn->OnClick = [this](TObject*) { FontBtnClick(); };
    ViewBtn->OnClick = [this](TObject*) { ViewBtnClick(); };
    PrintBtn->OnClick = [this](TObject*) { PrintBtnClick(); };
    ToDiskBtn->OnClick = [this](TObject*) { ToDiskBtnClick(); };

    const char* headings[6] = {"Total Disks", "Total Files", "Slack %",
                               "Total Space", "Total Used",  "Total Free"};

    // ---- the totals in one row
    const char* names1[6] = {"TotDisks1", "TotFiles1", "TotSlack1", "TotSize1", "TotUsed1", "TotFree1"};
    FTotalsRow = NewReportTotalsRow(*this, *this, headings, names1, 97);
    TotalPanel = FTotalsRow.Panel;
    TotalPadLeft1Panel = FTotalsRow.PadLeft;
    Bevel0 = FTotalsRow.FirstLine;
    Bevel6 = FTotalsRow.LastLine;
    TotDisks1 = FTotalsRow.Values[0];
    TotFiles1 = FTotalsRow.Values[1];
    TotSlack1 = FTotalsRow.Values[2];
    TotSize1 = FTotalsRow.Values[3];
    TotUsed1 = FTotalsRow.Values[4];
    TotFree1 = FTotalsRow.Values[5];

    // ---- the expanded form: totals at the left, the whole comment at the right
    const TReportCommentPanel comment = NewReportCommentPanel(*this, *this, "TCPanel", 106);
    TCPanel = comment.Panel;
    TCPanelPadLeft = comment.PadLeft;
    TCTotPanel = comment.Totals;
    TCPanelPadRight = comment.PadRight;
    const char* headings2[6] = {
        "Total Disks:", "Total Files:", "Slack %:", "Total Space:", "Total Used:", "Total Free:"};
    const char* names2[6] = {"TotDisks2", "TotFiles2", "TotSlack2", "TotSize2", "TotUsed2", "TotFree2"};
    std::array<TLabel*, 6> values2{};
    TotalHeadings2.resize(6);
    AddStackedTotals(*this, *TCTotPanel, 4, 100, 106, 152, headings2, names2, TotalHeadings2, values2);
    TotDisks2 = values2[0];
    TotFiles2 = values2[1];
    TotSlack2 = values2[2];
    TotSize2 = values2[3];
    TotUsed2 = values2[4];
    TotFree2 = values2[5];
    DBMemo1 = NewReportMemo(*this, *TCPanel, "DBMemo1", DataSource1);

    // ---- the grid over the rest
    SummaryReportGrid = NewReportGrid(*this, *this, "SummaryReportGrid", DataSource1);

    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TSummaryReportScreenForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TSummaryReportScreenForm");
    ComponentState->StoredProperties().SetText(kSummaryStoredProperties);

    OnShow = [this](TObject*) { FormShow(); };
    OnClose = [this](TObject*, TCloseAction& Action) { FormClose(Action); };
    OnResize = [this](TObject*) { FormResize(); };
    FormResize();
}

TSummaryReportScreenForm::~TSummaryReportScreenForm() {
    OnResize = nullptr;
    CloseProgress();
    CloseReportView(ViewForm, ViewOpen);
}

// ---- building the report -----------------------------------------------------------------------

bool TSummaryReportScreenForm::CreateReport() {
    ShowProgress("Creating Report", true);
    ++catalog::OpenReportCount;
    FCountTaken = true;
    ReportSeq = catalog::OpenReportCount;
    ResultSeed = framework::Random(2147483647);
    ResultTableName = "Results_" + std::to_string(ResultSeed) + "_" + std::to_string(ReportSeq);
    auto undo = [this] {
        CloseProgress();
        SummaryTable->Close();
        DropResultTable();
        --catalog::OpenReportCount;
        FCountTaken = false;
    };
    try {
        // A malformed mask fails the build here, before any table is touched.
        FVolumeMask.reset();
        if (Spec.Op[0] == rcMatches || Spec.Op[0] == rcNotMatches) FVolumeMask.emplace(Spec.VolumeLabelSpec);
        KeywordCount = -1;
        Keywords.clear();
        if (!FindVolumes()) {
            undo();
            return false;
        }
        CloseProgress();
        ShowProgress("Setting Up The Report", true);
        Query->Close();
        Query->SetDatabaseName(catalog::CatalogDataFolder);
        TStringList& sql = Query->SQL();
        sql.Clear();
        QueryCancelled = false;
        BuildGridColumns();
        for (const std::string& line :
             SummaryReportSql(ResultTableName, catalog::CurrentCatalogName, SummaryOrderBy(Spec.SortSpec)))
            sql.Add(line);
        if (Query->Fields.Count() == 0) AddSummaryQueryFields(*Query, SummaryTable->FieldDefs);
        try {
            Query->Open();
        } catch (const EAbort&) {
            QueryCancelled = true;
        }
        CloseProgress();
        if (QueryCancelled) {
            undo();
            return false;
        }
        return true;
    } catch (...) {
        undo();
        throw;
    }
}

bool TSummaryReportScreenForm::FindVolumes() {
    SummaryTable->Close();
    SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
    SummaryTable->SetTableName(catalog::CurrentCatalogName + "_SUM");
    CreateResultTable();
    StartPixelWidths();
    ColumnCharWidth = {};
    for (auto [item, width] : kSummaryStartChars) ColumnCharWidth[size_t(item - 1)] = width;
    SummaryTable->Open();
    const int records = SummaryTable->RecordCount();
    DiskCount = 0;
    FileTotal = 0;
    SizeTotal = UsedTotal = FreeTotal = 0;
    SlackTotal = 0;
    for (bool found = SummaryTable->FindFirst(); found; found = SummaryTable->FindNext()) {
        if (FProgress && FProgress->CancelPressed) {
            SummaryTable->Close();
            return false;
        }
        TDataSet& v = *SummaryTable;
        std::array<std::string, kSummaryItems> texts;
        for (int item = 1; item <= kSummaryItems; ++item) {
            TField* field = v.FindField(kSummaryItemInfo[item - 1].GridField);
            if (field) texts[size_t(item - 1)] = field->AsString();
        }
        texts[2] = SerialNumberText(*v.FieldByName("SerialNumber"));
        texts[3] = v.FieldByName("DateFirstCataloged")->DisplayText();
        texts[4] = v.FieldByName("DateLastCataloged")->DisplayText();
        const int64_t size = ReportFieldInt64(*v.FieldByName("DiskSize"));
        const int64_t used = ReportFieldInt64(*v.FieldByName("DiskUsed"));
        const int64_t free = ReportFieldInt64(*v.FieldByName("DiskFree"));
        texts[5] = FormatFloat(kSummarySizeFormat, double(size));
        texts[6] =
            FormatFloat(kSummarySizeFormat, double(ReportFieldInt64(*v.FieldByName("DiskClusterSize"))));
        texts[7] = FormatFloat(kSummarySizeFormat, double(used));
        texts[8] = FormatFloat(kSummarySizeFormat, double(free));
        texts[9] = "999.99";
        texts[10] = FormatFloat(kSummaryCountFormat, v.FieldByName("FilesOnDisk")->AsFloat());
        texts[11] = FormatFloat(kSummaryCountFormat, v.FieldByName("FilesInArchives")->AsFloat());
        texts[13] = catalog::CommentFirstLine(v.FieldByName("Comment")->AsString());
        WidenColumns(texts, true);

        ResultTable->Append();
        ResultTable->FieldByName("STag")->SetAsInteger(v.FieldByName("Tag")->AsInteger());
        ResultTable->FieldByName("SlackSpace")
            ->SetAsFloat(VolumeSlack(v.FieldByName("DiskSize")->AsFloat(),
                                     v.FieldByName("DiskFree")->AsFloat(),
                                     v.FieldByName("DiskUsed")->AsFloat()));
        ResultTable->Post();

        ++DiskCount;
        FileTotal += v.FieldByName("FilesOnDisk")->AsInteger();
        SizeTotal += size;
        UsedTotal += used;
        FreeTotal += free;
        if (FProgress && records > 0)
            FProgress->ProgressBar->SetProgress(int(double(DiskCount) / records * 100));
        Application->ProcessMessages();
    }
    SummaryTable->Close();
    SlackTotal = TotalSlack(SizeTotal, UsedTotal, FreeTotal);
    return true;
}

void TSummaryReportScreenForm::ShowProgress(const char* Caption, bool CanCancel) {
    CloseProgress();
    FProgress = TCustomForm::Create<catalog::TProgressForm>(this);
    FProgress->ShowForm(Caption, CanCancel);
}

void TSummaryReportScreenForm::CloseProgress() {
    if (FProgress) FProgress->Free();
    FProgress = nullptr;
}

void TSummaryReportScreenForm::CreateResultTable() {
    ResultTable->Close();
    ResultTable->SetDatabaseName(catalog::CatalogDataFolder);
    ResultTable->SetTableName(ResultTableName);
    if (ResultTable->Exists()) ResultTable->DeleteTable();
    ResultTable->FieldDefs.Clear();
    ResultTable->FieldDefs.Add("STag", ftInteger, 0, true);
    ResultTable->FieldDefs.Add("SlackSpace", ftFloat, 0, false);
    ResultTable->IndexDefs.Clear();
    ResultTable->IndexDefs.Add("", "STag", ixPrimary | ixUnique);
    ResultTable->CreateTable();
    ResultTable->Open();
}

void TSummaryReportScreenForm::DropResultTable() {
    Query->Close();
    ResultTable->Close();
    if (ResultTableName.empty()) return;
    try {
        ResultTable->SetDatabaseName(catalog::CatalogDataFolder);
        ResultTable->SetTableName(ResultTableName);
        if (ResultTable->Exists()) ResultTable->DeleteTable();
    } catch (const std::exception&) {
        // A table that cannot be deleted stays; the report goes on.
    }
}

int TSummaryReportScreenForm::PixelWidth(const std::string& Text) {
    return ReportTextWidth(SummaryReportGrid->Font(), Text);
}

void TSummaryReportScreenForm::StartPixelWidths() {
    for (int i = 0; i < kSummaryItems; ++i)
        ColumnPixelWidth[size_t(i)] = PixelWidth(kSummaryItemInfo[i].Heading);
}

void TSummaryReportScreenForm::WidenColumns(const std::array<std::string, kSummaryItems>& Texts, bool Chars) {
    for (int i = 0; i < kSummaryItems; ++i) {
        if (i == 12) continue;  // the drive column keeps the width of its heading
        ColumnPixelWidth[size_t(i)] = std::max(ColumnPixelWidth[size_t(i)], PixelWidth(Texts[size_t(i)]));
        if (Chars && ColumnCharWidth[size_t(i)] > 0)
            ColumnCharWidth[size_t(i)] = std::max(ColumnCharWidth[size_t(i)], int(Texts[size_t(i)].size()));
    }
}

std::array<std::string, kSummaryItems> TSummaryReportScreenForm::QueryRowTexts() {
    std::array<std::string, kSummaryItems> texts;
    auto text = [this](const char* Field) { return Query->FieldByName(Field)->AsString(); };
    auto size = [this](const char* Field) {
        return FormatFloat(kSummarySizeFormat, double(ReportFieldInt64(*Query->FieldByName(Field))));
    };
    texts[0] = text("CatalogVolumeLabel");
    texts[1] = text("ActualVolumeLabel");
    texts[2] = text("SerialNumberStr");
    texts[3] = Query->FieldByName("DateFirstCataloged")->DisplayText();
    texts[4] = Query->FieldByName("DateLastCataloged")->DisplayText();
    texts[5] = size("DiskSize");
    texts[6] = size("DiskClusterSize");
    texts[7] = size("DiskUsed");
    texts[8] = size("DiskFree");
    texts[9] = "999.99";
    texts[10] = FormatFloat(kSummaryCountFormat, Query->FieldByName("FilesOnDisk")->AsFloat());
    texts[11] = FormatFloat(kSummaryCountFormat, Query->FieldByName("FilesInArchives")->AsFloat());
    texts[12] = text("CatalogedFrom");
    texts[13] = text("CommentStr");
    return texts;
}

// Columns at their positions, in the positions' order: a gap or a repeated position leaves no
// empty column.
void TSummaryReportScreenForm::BuildGridColumns() {
    SummaryReportGrid->Columns().Clear();
    for (int p = 1; p <= kSummaryItems; ++p)
        for (int item = 1; item <= kSummaryItems; ++item) {
            if (Spec.ColumnPos[size_t(item - 1)] != p) continue;
            const TSummaryItemInfo& info = kSummaryItemInfo[item - 1];
            TColumn* column = SummaryReportGrid->Columns().Add();
            column->SetFieldName(info.GridField);
            column->Title().SetCaption(info.Heading);
            column->Title().SetAlignment(info.Title);
            column->SetAlignment(info.Cell);
        }
    SetColumnWidths();
}

void TSummaryReportScreenForm::SetColumnWidths() {
    for (int i = 0; i < SummaryReportGrid->Columns().Count(); ++i) {
        TColumn* column = SummaryReportGrid->Columns()[i];
        for (int item = 1; item <= kSummaryItems; ++item) {
            if (column->FieldName() != kSummaryItemInfo[item - 1].GridField) continue;
            column->SetWidth((item == 13 ? PixelWidth("Drv") : ColumnPixelWidth[size_t(item - 1)]) + 4);
        }
    }
}

// ---- the filter ----------------------------------------------------------------------------------

void TSummaryReportScreenForm::SummaryTableFilterRecord(TDataSet* DataSet, bool& Accept) {
    Accept = true;
    for (int item = 1; item <= kSummaryItems && Accept; ++item) Accept = ItemPasses(item, *DataSet);
}

bool TSummaryReportScreenForm::ItemPasses(int Item, TDataSet& Volume) {
    const uint8_t op = Spec.Op[size_t(Item - 1)];
    if (op == rcNone) return true;
    auto text = [&Volume](const char* Field) { return Volume.FieldByName(Field)->AsString(); };
    if (op >= rcBlankComment && op <= rcAllKeywords) {
        const std::string comment = text("Comment");
        if (op == rcBlankComment) return Trim(comment).empty();
        if (op == rcNonBlankComment) return !Trim(comment).empty();
        return KeywordsPass(op, NormalisedReportComment(comment));
    }
    if (op > rcGreaterEqual) return true;
    auto day = [&Volume](const char* Field) {
        TField* date = Volume.FieldByName(Field);
        return date->IsNull() ? int64_t(0) : static_cast<int64_t>(date->AsDateTime());
    };
    auto number = [&Volume](const char* Field) { return ReportFieldInt64(*Volume.FieldByName(Field)); };
    switch (Item) {
        case 1:
            if (op != rcMatches && op != rcNotMatches) return true;
            return !FVolumeMask || FVolumeMask->Matches(text("CatalogVolumeLabel")) == (op == rcMatches);
        case 4:
            return ReportRelation<int64_t>(op, day("DateFirstCataloged"), int64_t(Spec.DateFirstValue));
        case 5:
            return ReportRelation<int64_t>(op, day("DateLastCataloged"), int64_t(Spec.DateLastValue));
        case 6:
            return ReportRelation<int64_t>(op, number("DiskSize"), Spec.DiskSizeValue);
        case 7:
            return ReportRelation<int64_t>(op, number("DiskClusterSize"), Spec.ClusterSizeValue);
        case 8:
            return ReportRelation<int64_t>(op, number("DiskUsed"), Spec.DiskUsedValue);
        case 9:
            return ReportRelation<int64_t>(op, number("DiskFree"), Spec.DiskFreeValue);
        case 11:
            return ReportRelation<int32_t>(op, int32_t(number("FilesOnDisk")), Spec.FilesOnDiskValue);
        case 12:
            return ReportRelation<int32_t>(op, int32_t(number("FilesInArchives")), Spec.FilesInArchivesValue);
        case 13:
            return ReportRelation<std::string>(op, text("CatalogedFrom"), Spec.CatalogedFromValue);
        case 14: {
            if (op != rcMatches && op != rcNotMatches) return true;
            // An empty phrase is never contained.
            const bool contains =
                !Spec.CommentText.empty() &&
                NormalisedReportComment(text("Comment")).find(Spec.CommentText) != std::string::npos;
            return contains == (op == rcMatches);
        }
        default:
            return true;
    }
}

void TSummaryReportScreenForm::SplitKeywords() {
    Keywords = SplitReportKeywords(Spec.CommentText);
    KeywordCount = int(Keywords.size());
}

bool TSummaryReportScreenForm::KeywordsPass(uint8_t Operator, const std::string& Comment) {
    if (KeywordCount == -1) SplitKeywords();
    return ReportKeywordsPass(Operator, Keywords, Spec.MatchesRequired, Comment);
}

void TSummaryReportScreenForm::QueryCalcFields(TDataSet* DataSet) {
    DataSet->FieldByName("SerialNumberStr")
        ->SetAsString(SerialNumberText(*DataSet->FieldByName("SerialNumber")));
    DataSet->FieldByName("CommentStr")
        ->SetAsString(catalog::CommentFirstLine(DataSet->FieldByName("Comment")->AsString()));
}

void TSummaryReportScreenForm::QueryQueryProgress(uint16_t PercentDone, bool& AbortQuery) {
    Application->ProcessMessages();
    if (!FProgress) return;
    FProgress->ProgressBar->SetProgress(PercentDone);
    if (FProgress->CancelPressed) {
        QueryCancelled = true;
        AbortQuery = true;
    }
}

// ---- the window ----------------------------------------------------------------------------------

void TSummaryReportScreenForm::FormShow() {
    SetCaption(Spec.ReportTitle);
    const std::string disks = FormatFloat(kSummaryCountFormat, DiskCount);
    const std::string files = FormatFloat("#,###,###,##0", double(FileTotal));
    const std::string slack = FormatFloat("##0.00", double(SlackTotal));
    const std::string size = FormatFloat(kSummaryTotalFormat, double(SizeTotal));
    const std::string used = FormatFloat(kSummaryTotalFormat, double(UsedTotal));
    TotDisks1->SetCaption(disks);
    TotDisks2->SetCaption(disks);
    TotFiles1->SetCaption(files);
    TotFiles2->SetCaption(files);
    TotSlack1->SetCaption(slack);
    TotSlack2->SetCaption(slack);
    TotSize1->SetCaption(size);
    TotSize2->SetCaption(size);
    TotUsed1->SetCaption(used);
    TotUsed2->SetCaption(used);
    TotFree1->SetCaption(FormatFloat("##,###,###,###,##0", double(FreeTotal)));
    TotFree2->SetCaption(FormatFloat(kSummaryTotalFormat, double(FreeTotal)));
    ApplyPanelRule();
    if (WindowState() == wsMinimized) SetWindowState(wsNormal);
}

void TSummaryReportScreenForm::ApplyPanelRule() {
    TControl* const expandedTotals[] = {TCTotPanel};
    ShowReportPanels(ExpandComment->Checked(), ShowTotals->Checked(), *TotalPanel, *TCPanel, expandedTotals);
}

void TSummaryReportScreenForm::ShowTotalsClick() {
    ApplyPanelRule();
}

void TSummaryReportScreenForm::ExpandCommentClick() {
    ApplyPanelRule();
}

void TSummaryReportScreenForm::FormResize() {
    TPanel* const pads[] = {TCPanelPadLeft, TCPanelPadRight};
    CentreReportPanels(Width(), pads, FTotalsRow);
}

void TSummaryReportScreenForm::FontBtnClick() {
    TFont chosen;
    if (AskReportFont(SummaryReportGrid->Font(), chosen)) ApplyFont(chosen);
}

void TSummaryReportScreenForm::ApplyFont(const TFont& Font) {
    ShowProgress("Recalibrating Column Widths", false);
    SummaryReportGrid->SetFont(Font);
    StartPixelWidths();
    if (Query->Active()) {
        const TBookmark mark = Query->GetBookmark();
        Query->DisableControls();
        for (Query->First(); !Query->Eof(); Query->Next()) WidenColumns(QueryRowTexts(), false);
        Query->GotoBookmark(mark);
        Query->EnableControls();
    }
    SetColumnWidths();
    CloseProgress();
    SummaryReportGrid->SetTitleFont(Font);
    DBMemo1->SetFont(Font);
    SummaryReportGrid->Invalidate();
}

void TSummaryReportScreenForm::ViewBtnClick() {
    ShowReportView(ViewForm, ViewOpen, DataSource1, Caption());
}

void TSummaryReportScreenForm::FormClose(TCloseAction& Action) {
    CloseReportView(ViewForm, ViewOpen);
    DropResultTable();
    if (FCountTaken) --catalog::OpenReportCount;
    FCountTaken = false;
    Action = caFree;
}

// ---- the full view -------------------------------------------------------------------------------

namespace {

const TReportViewRecordForm::TViewBox kSummaryViewBoxes[] = {
    {"CatalogVolumeLabel", "Catalog Volume ID", "CatalogVolumeLabel", nullptr, 8, 8, 120},
    {"ActualVolumeLabel", "Actual Volume ID", "ActualVolumeLabel", nullptr, 136, 8, 120},
    {"SerialNumber", "Serial Number", "SerialNumberStr", nullptr, 264, 8, 90},
    {"Drv", "Drv", "CatalogedFrom", nullptr, 362, 8, 30},
    {"FirstCataloged", "First Cataloged", "DateFirstCataloged", nullptr, 8, 48, 120},
    {"LastCataloged", "Last Cataloged", "DateLastCataloged", nullptr, 136, 48, 120},
    {"Slack", "Slack %", "SlackSpace", "###.##", 264, 48, 90},
    {"FilesOnDisk", "Files On Disk", "FilesOnDisk", "#,###,###,###", 8, 88, 120},
    {"FilesInArcs", "Files In Arcs", "FilesInArchives", "#,###,###,###", 136, 88, 120},
    {"ClusterSize", "Cluster Size", "DiskClusterSize", "###,###,###,###", 264, 88, 120},
    {"DiskSize", "Disk Size", "DiskSize", "###,###,###,###,###", 8, 128, 160},
    {"DiskUsed", "Space Used", "DiskUsed", "###,###,###,###,###", 176, 128, 160},
    {"DiskFree", "Free Space", "DiskFree", "###,###,###,###,###", 344, 128, 168},
};

}  // namespace

TSummaryReportViewRecordForm::TSummaryReportViewRecordForm(TComponent* AOwner)
    : TReportViewRecordForm(AOwner, 51, kSummaryViewBoxes, 168, 120) {}

}  // namespace reports
