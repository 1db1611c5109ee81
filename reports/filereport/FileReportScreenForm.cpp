#include "reports/filereport/FileReportScreenForm.h"
#include "reports/filereport/DupUniqueFinder.h"
#include "reports/filereport/ReportCriteria.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <utility>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/TextHelpers.h"
#include "cataloging/dialogs/FileNotFoundForm.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlEntryField.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Masks.h"
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
#include "platform/Beep.h"
#include "reports/output/ReportButtonRow.h"
#include "reports/output/ReportWindowParts.h"
#include "sysutil/UtSpawn.h"
#include "sysutil/UtStrL.h"

namespace reports {

using namespace framework;

namespace {

constexpr const char* kTotalFormat = "###,###,###,###,##0";
constexpr int kResultBatch = 100;

// Headings the column widths start from: those of the finder, and those of a new font (the grid's
// own headings).
constexpr const char* kFinderHeadings[kColumnItems] = {
    "FileName",      "Volume Label", "Folder Name",   "Archive ID", "File Size", "Date Modified",
    "Time Modified", "Attribute",    "Category Code", "Category",   "Comment"};
constexpr const char* kGridHeadings[kColumnItems] = {
    "FileName",      "Volume ID", "Folder Name",   "Archive ID", "File Size", "Date Modified",
    "Time Modified", "Attribute", "Category Code", "Category",   "Comment"};
constexpr int kStartCharWidths[kColumnItems] = {8, 12, 11, 10, 9, 13, 13, 9, 13, 8, 7};

// Item N: its field in the joined rows, its name in the sort clause, and its grid alignments.
struct TItemInfo {
    const char* GridField;
    const char* SortName;
    TAlignment Cell;
    TAlignment Heading;
};
constexpr TItemInfo kItems[kReportItems] = {
    {"FileName", "FileName", taLeftJustify, taLeftJustify},
    {"VolumeLabel", "VolumeLabel", taLeftJustify, taLeftJustify},
    {"FolderName", "FolderName", taLeftJustify, taLeftJustify},
    {"ArchiveID", "ArchiveID", taLeftJustify, taLeftJustify},
    {"FileSize", "FileSize", taRightJustify, taCenter},
    {"DateModified", "DateModified", taCenter, taCenter},
    {"TimeModified", "TimeModified", taCenter, taCenter},
    {"AttributeStr", "Attribute", taCenter, taCenter},
    {"CategoryCode", "CategoryCode", taLeftJustify, taCenter},
    {"CategoryDescription", "CategoryDescription", taLeftJustify, taLeftJustify},
    {"CommentStr", "Comment", taLeftJustify, taLeftJustify},
    {nullptr, "FileExt", taLeftJustify, taLeftJustify},
};

// The stored fields of a catalog entry that the report reads.
constexpr const char* kEntryFields[] = {"FileName",     "VolumeLabel",  "FolderName",   "ArchiveID",
                                        "FileSize",     "DateModified", "TimeModified", "Attribute",
                                        "CategoryCode", "Comment",      "Tag"};

constexpr const char* kStoredProperties =
    "ShowTotals.Checked\n"
    "ExpandComment.Checked\n"
    "FileReportGrid.Font\n"
    "FileReportGrid.TitleFont\n"
    "DBMemo1.Font\n"
    "ShowArchived.Checked\n";

std::string TotalText(int64_t Value) {
    return FormatFloat(kTotalFormat, static_cast<double>(Value));
}

// A name of an archive member may carry the member's path: "README.TXT <DOCS/>".
std::string NameWithoutArchivePath(const std::string& Name) {
    if (Name.empty() || Name.back() != '>') return Name;
    const size_t at = Name.find(" <");
    return at == std::string::npos ? Name : Name.substr(0, at);
}

// Persistent fields for the stored entry fields, typed as the catalog table defines them, plus
// the category lookup; the query adds the two calculated texts.
void AddEntryFields(TDataSet& Target, const TFieldDefs& Defs, TDataSet* Categories, bool Calculated) {
    Target.Fields.Clear();
    for (const char* name : kEntryFields) {
        const TFieldDef* def = Defs.Find(name);
        if (!def) DatabaseErrorFmt("Field '%s' not found", {name}, &Target);
        // The joined rows hold a copy of the tag, a plain integer.
        const TFieldType type = Calculated && def->DataType == ftAutoInc ? ftInteger : def->DataType;
        auto field = CreateFieldOfType(type);
        field->FieldName = name;
        if (def->Size > 0) field->SetSize(def->Size);
        if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->Precision = def->Precision;
        TField* added = Target.AddField(std::move(field));
        if (std::string(name) == "FileSize") added->DisplayFormat = kTotalFormat;
    }
    auto* category = Target.AddField<TStringField>("CategoryDescription", fkLookup, 30);
    category->SetLookupDataSet(Categories);
    category->KeyFields = "CategoryCode";
    category->LookupKeyFields = "Code";
    category->LookupResultField = "Description";
    if (!Calculated) return;
    Target.AddField<TStringField>("AttributeStr", fkCalculated, 4);
    Target.AddField<TStringField>("CommentStr", fkCalculated, 200);
}

}  // namespace

std::string FileReportOrderBy(const std::array<TSortKeySpec, kReportItems>& SortSpec, bool DateAlone) {
    std::string clause;
    auto add = [&clause](const char* Name, uint8_t Direction) {
        clause += clause.empty() ? "Order By " : ", ";
        clause += Name;
        clause += Direction == 1 ? " ASC" : " DESC";
    };
    for (int priority = 1; priority <= kReportItems; ++priority)
        for (int item = 1; item <= kReportItems; ++item) {
            const TSortKeySpec& key = SortSpec[size_t(item - 1)];
            if (key.Priority != priority || (key.Direction != 1 && key.Direction != 2)) continue;
            if (item == 6) {
                add("DateModified", key.Direction);
                if (!DateAlone) add("TimeModified", key.Direction);
            } else {
                add(kItems[item - 1].SortName, key.Direction);
            }
        }
    return clause;
}

std::vector<std::string> FileReportSql(const std::string& ResultTableName, const std::string& CatalogName,
                                       bool ShowArchived, const std::string& OrderBy) {
    std::vector<std::string> lines{"Select * From \"" + ResultTableName + "\", \"" +
                                   catalog::QuoteForSql(CatalogName) + "_CAT\" Where (FTag = Tag)"};
    if (!ShowArchived) lines.push_back("And (FromArc = \"N\")");
    if (!OrderBy.empty()) lines.push_back(OrderBy + " NOCASE");
    return lines;
}

// ---- the window ---------------------------------------------------------------------------------

TFileReportScreenForm::TFileReportScreenForm(TComponent* AOwner) : TForm(AOwner), OpenFlagRef(&FOwnOpenFlag) {
    SetCaption("File Report");
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 600, 420);
    Constraints().SetMinWidth(600);
    Constraints().SetMinHeight(300);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");

    FileTable = NewComponent<dbsql::TDbTable>(this);
    FileTable->SetName("FileTable");
    CategoryTable = NewComponent<dbsql::TDbTable>(this);
    CategoryTable->SetName("CategoryTable");
    ResultTable = NewComponent<dbsql::TDbTable>(this);
    ResultTable->SetName("ResultTable");
    SummaryTable = NewComponent<dbsql::TDbTable>(this);
    SummaryTable->SetName("SummaryTable");
    Query = NewComponent<dbsql::TDbQuery>(this);
    Query->SetName("Query");
    Query2 = NewComponent<dbsql::TDbQuery>(this);
    Query2->SetName("Query2");
    DataSource1 = NewComponent<TDataSource>(this);
    DataSource1->SetName("DataSource1");
    DataSource1->SetDataSet(Query);
    DataSource1->AutoEdit = false;
    CategorySource = NewComponent<TDataSource>(this);
    CategorySource->SetDataSet(CategoryTable);
    Spawn = NewReportSpawn(*this);

    FileTable->SetFilteredValue(true);
    FileTable->SetOnFilterRecordValue(
        [this](TDataSet* D, bool& Accept) { FileTableFilterRecord(D, Accept); });
    Query->OnCalcFields = [this](TDataSet* D) { QueryCalcFields(D); };
    Query->OnQueryProgress = [this](TObject*, uint16_t Percent, bool& Abort) {
        QueryQueryProgress(Percent, Abort);
    };

    // ---- bottom row: options and buttons
    Panel2 = NewComponent<TPanel>(this);
    Panel2->SetName("Panel2");
    Panel2->SetParent(this);
    Panel2->SetAlign(alBottom);
    Panel2->SetHeight(52);
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
    ShowTotals = checkBox("ShowTotals", "Show Totals", 2, true);
    ExpandComment = checkBox("ExpandComment", "Expand Comment", 18, false);
    ShowArchived = checkBox("ShowArchived", "Show Archived", 34, true);
    ShowTotals->OnClick = [this](TObject*) { ShowTotalsClick(); };
    ExpandComment->OnClick = [this](TObject*) { ExpandCommentClick(); };
    ShowArchived->OnClick = [this](TObject*) { ShowArchivedClick(); };
    TReportButtonRow buttons(*this, *Panel2, &HelpContext, 128, 12, 64, 66);
    FontBtn = buttons.Add("FontBtn", bkCustom, "&Font");
    ViewBtn = buttons.Add("ViewBtn", bkCustom, "Full &View");
    PrintBtn = buttons.Add("PrintBtn", bkCustom, "&Print");
    ToDiskBtn = buttons.Add("ToDiskBtn", bkCustom, "&To Disk");
    OpenBtn = buttons.Add("OpenBtn", bkCustom, "&Open");
    CloseBtn = buttons.Add("CloseBtn", bkClose);
    HelpBtn = buttons.Add("HelpBtn", bkHelp);
    FontBtn->OnClick = [this](TObject*) { FontBtnClick(); };
    ViewBtn->OnClick = [this](TObject*) { ViewBtnClick(); };
    OpenBtn->OnClick = [this](TObject*) { OpenBtnClick(); };
    ToDiskBtn->OnClick = [this](TObject*) { ToDiskBtnClick(); };
    PrintBtn->OnClick = [this](TObject*) { PrintBtnClick(); };

    // ---- the totals in one row
    const char* headings1[4] = {"Files On Disk", "Bytes On Disk", "Files In Archives", "Bytes In Archives"};
    const char* names1[4] = {"FilesOnDiskLabel1", "BytesOnDiskLabel1", "FilesInArchivesLabel1",
                             "BytesInArchivesLabel1"};
    FTotalsRow = NewReportTotalsRow(*this, *this, headings1, names1, 145);
    TotalPanel = FTotalsRow.Panel;
    TotalPadLeft1Panel = FTotalsRow.PadLeft;
    Bevel0 = FTotalsRow.FirstLine;
    Bevel6 = FTotalsRow.LastLine;
    std::copy_n(FTotalsRow.Headings.begin(), 4, TotalHeadings1.begin());
    FilesOnDiskLabel1 = FTotalsRow.Values[0];
    BytesOnDiskLabel1 = FTotalsRow.Values[1];
    FilesInArchivesLabel1 = FTotalsRow.Values[2];
    BytesInArchivesLabel1 = FTotalsRow.Values[3];

    // ---- the expanded form: category, totals and the whole comment
    const TReportCommentPanel comment = NewReportCommentPanel(*this, *this, "TCPanel", 96);
    TCPanel = comment.Panel;
    TCPanelPadLeft = comment.PadLeft;
    TCTotPanel = comment.Totals;
    TCPanelPadRight = comment.PadRight;
    CategoryHeading = NewReportLabel(*this, *TCTotPanel, "CategoryHeading", {4, 4, 64, 19},
                                     "Category:", taLeftJustify, false);
    CategoryText = NewComponent<TDBText>(this);
    CategoryText->SetName("CategoryText");
    CategoryText->SetParent(TCTotPanel);
    CategoryText->SetBounds(66, 4, 192, 15);
    {
        TFont bold = CategoryText->Font();
        bold.Style = fsBold;
        CategoryText->SetFont(bold);
    }
    CategoryText->SetDataSource(DataSource1);
    CategoryText->SetDataField("CategoryDescription");
    const char* headings2[4] = {
        "Files On Disk:", "Bytes On Disk:", "Files In Archives:", "Bytes In Archives:"};
    const char* names2[4] = {"FilesOnDiskLabel2", "BytesOnDiskLabel2", "FilesInArcsLabel2",
                             "BytesInArcsLabel2"};
    std::array<TLabel*, 4> values2{};
    AddStackedTotals(*this, *TCTotPanel, 24, 110, 116, 142, headings2, names2, TotalHeadings2, values2);
    FilesOnDiskLabel2 = values2[0];
    BytesOnDiskLabel2 = values2[1];
    FilesInArcsLabel2 = values2[2];
    BytesInArcsLabel2 = values2[3];
    DBMemo1 = NewReportMemo(*this, *TCPanel, "DBMemo1", DataSource1);

    // ---- the grid over the rest
    FileReportGrid = NewReportGrid(*this, *this, "FileReportGrid", DataSource1);
    FileReportGrid->OnDblClick = [this](TObject*) { FileReportGridDblClick(); };
    FileReportGrid->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) {
        FileReportGridMouseMove(X, Y);
    };

    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TFileReportScreenForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TSummaryReportScreenForm");
    ComponentState->StoredProperties().SetText(kStoredProperties);

    OnShow = [this](TObject*) { FormShow(); };
    OnClose = [this](TObject*, TCloseAction& Action) { FormClose(Action); };
    OnResize = [this](TObject*) { FormResize(); };

    // FormCreate: the category names the report looks up.
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    CategoryTable->Open();
    FormResize();
}

TFileReportScreenForm::~TFileReportScreenForm() {
    OnResize = nullptr;
    CloseProgress();
    CloseReportView(ViewForm, ViewOpen);
}

// ---- building the report -----------------------------------------------------------------------

bool TFileReportScreenForm::CreateReport() {
    ++catalog::OpenReportCount;
    FCountTaken = true;
    ReportSeq = catalog::OpenReportCount;
    ResultSeed = framework::Random(2147483647);
    ResultTableName = "Results_" + std::to_string(ResultSeed) + "_" + std::to_string(ReportSeq);
    auto undo = [this] {
        CloseProgress();
        FileTable->Close();
        DropResultTable();
        CategoryTable->Close();
        --catalog::OpenReportCount;
        FCountTaken = false;
    };
    try {
        ShowProgress("Finding Files That Match The Selected Criteria", true);
        InitReportState();
        const bool found = OnlyDuplicate ? FindDuplicateFiles()
                           : OnlyUnique  ? FindUniqueFiles()
                                         : FindMatchingFiles();
        CloseProgress();
        if (!found) {
            undo();
            return false;
        }
        ShowProgress("Setting Up The Report", true);
        QueryCancelled = false;
        OrderByText = FileReportOrderBy(SortSpec);
        BuildGridColumns();
        if (Query->Fields.Count() == 0) AddEntryFields(*Query, FileTable->FieldDefs, CategoryTable, true);
        if (!OpenReportQuery()) {
            undo();
            return false;
        }
        return true;
    } catch (...) {
        undo();
        throw;
    }
}

bool TFileReportScreenForm::CreateComparisonReport() {
    ++catalog::OpenReportCount;
    FCountTaken = true;
    ReportSeq = catalog::OpenReportCount;
    auto undo = [this] {
        CloseProgress();
        Query->Close();
        ResultTable->Close();
        if (DeleteResultOnClose) DropResultTable();
        CategoryTable->Close();
        --catalog::OpenReportCount;
        FCountTaken = false;
    };
    try {
        InitReportState();
        ShowProgress("Setting Up The Report", true);
        QueryCancelled = false;
        OrderByText = FileReportOrderBy(SortSpec, true);
        BuildGridColumns();
        if (Query->Fields.Count() == 0) {
            FileTable->Close();
            FileTable->SetDatabaseName(catalog::CatalogDataFolder);
            FileTable->SetTableName(CatalogName + "_CAT");
            FileTable->FieldDefs.Update();
            AddEntryFields(*Query, FileTable->FieldDefs, CategoryTable, true);
        }
        if (!OpenReportQuery()) {
            undo();
            return false;
        }
        ShowProgress("Calibrating Column Widths", false);
        const int records = Query->RecordCount();
        int processed = 0, shown = 0;
        Query->DisableControls();
        for (Query->First(); !Query->Eof(); Query->Next()) {
            CountEntry(ReadEntry(*Query));
            ShowFinderProgress(++processed, records, shown);
            Application->ProcessMessages();
        }
        Query->First();
        Query->EnableControls();
        BuildGridColumns();
        CloseProgress();
        FileReportGrid->Invalidate();
        return true;
    } catch (...) {
        undo();
        throw;
    }
}

void TFileReportScreenForm::ShowProgress(const char* Caption, bool CanCancel) {
    FProgress = TCustomForm::Create<catalog::TProgressForm>(this);
    FProgress->ShowForm(Caption, CanCancel);
}

void TFileReportScreenForm::CloseProgress() {
    if (FProgress) FProgress->Free();
    FProgress = nullptr;
}

bool TFileReportScreenForm::OpenReportQuery() {
    SetReportSql();
    try {
        Query->Open();
    } catch (const EAbort&) {
        QueryCancelled = true;
    }
    CloseProgress();
    return !QueryCancelled;
}

void TFileReportScreenForm::BuildGridColumns() {
    FileReportGrid->Columns().Clear();
    for (int p = 1; p <= kReportItems; ++p)
        for (int item = 1; item <= kColumnItems; ++item)
            if (ColumnPos[size_t(item - 1)] == p) AddGridColumn(item);
}

void TFileReportScreenForm::InitReportState() {
    if (CatalogName.empty()) CatalogName = catalog::CurrentCatalogName;
    StartColumnWidths(kFinderHeadings);
    for (int i = 0; i < kColumnItems; ++i) ColumnCharWidth[size_t(i)] = kStartCharWidths[i];
    AnyInArchives = false;
    FilesOnDiskTotal = FilesInArchivesTotal = BytesOnDiskTotal = BytesInArchivesTotal = 0;
}

void TFileReportScreenForm::StartColumnWidths(const char* const* Headings) {
    for (int i = 0; i < kColumnItems; ++i) ColumnPixelWidth[size_t(i)] = PixelWidth(Headings[i]);
}

int TFileReportScreenForm::PixelWidth(const std::string& Text) {
    return ReportTextWidth(FileReportGrid->Font(), Text);
}

void MakeResultTable(dbsql::TDbTable& Table, const std::string& Name) {
    Table.Close();
    Table.SetDatabaseName(catalog::CatalogDataFolder);
    Table.SetTableName(Name);
    if (Table.Exists()) Table.DeleteTable();
    Table.FieldDefs.Clear();
    Table.FieldDefs.Add("FTag", ftInteger, 0, true);
    Table.FieldDefs.Add("FromArc", ftString, 1, true);
    Table.FieldDefs.Add("FileExt", ftString, 6, false);
    Table.IndexDefs.Clear();
    Table.CreateTable();
    Table.Open();
}

std::string ResultFileExt(const std::string& FileName) {
    std::string ext = sysutil::FileExtPartLong(FileName);
    if (ext.size() > 6) ext = ext.substr(ext.size() - 6);
    return ext;
}

void TFileReportScreenForm::CreateResultTable() {
    MakeResultTable(*ResultTable, ResultTableName);
}

void TFileReportScreenForm::DropResultTable() {
    Query->Close();
    ResultTable->Close();
    if (ResultTableName.empty()) return;
    try {
        ResultTable->SetDatabaseName(catalog::CatalogDataFolder);
        ResultTable->SetTableName(ResultTableName);
        if (ResultTable->Exists()) ResultTable->DeleteTable();
    } catch (const std::exception&) {
        // A table that cannot be deleted stays; the report goes on closing.
    }
}

bool TFileReportScreenForm::FindMatchingFiles() {
    FileTable->Close();
    FileTable->SetDatabaseName(catalog::CatalogDataFolder);
    FileTable->SetTableName(CatalogName + "_CAT");
    FileTable->FieldDefs.Update();
    if (FileTable->Fields.Count() == 0)
        AddEntryFields(*FileTable, FileTable->FieldDefs, CategoryTable, false);
    const std::string* specs[4] = {&FileNameSpec, &VolumeLabelSpec, &FolderNameSpec, &ArchiveIDSpec};
    for (size_t i = 0; i < FMasks.size(); ++i) {
        FMasks[i].reset();
        if (Op[i] == rcMatches || Op[i] == rcNotMatches) FMasks[i].emplace(*specs[i]);
    }
    CreateResultTable();
    FileTable->Open();
    const int records = FileTable->RecordCount();
    int processed = 0, shown = 0;
    FResultBuffer.clear();
    for (bool found = FileTable->FindFirst(); found; found = FileTable->FindNext()) {
        if (FProgress && FProgress->CancelPressed) {
            FileTable->Close();
            FResultBuffer.clear();
            return false;
        }
        ListEntry(ReadEntry(*FileTable));
        if (int(FResultBuffer.size()) == kResultBatch) FlushResults();
        ShowFinderProgress(++processed, records, shown);
        Application->ProcessMessages();
    }
    FlushResults();
    FileTable->Close();
    return true;
}

TFileReportScreenForm::TListedEntry TFileReportScreenForm::ReadEntry(TDataSet& Entry) {
    TListedEntry e;
    TField& size = *Entry.FieldByName("FileSize");
    e.Size = ReportFieldInt64(size);
    e.Tag = Entry.FieldByName("Tag")->AsInteger();
    e.Texts = {Entry.FieldByName("FileName")->AsString(),
               Entry.FieldByName("VolumeLabel")->AsString(),
               Entry.FieldByName("FolderName")->AsString(),
               Entry.FieldByName("ArchiveID")->AsString(),
               TotalText(e.Size),
               Entry.FieldByName("DateModified")->DisplayText(),
               Entry.FieldByName("TimeModified")->DisplayText(),
               catalog::EntryAttributeLetters(Entry.FieldByName("Attribute")->AsInteger()),
               Entry.FieldByName("CategoryCode")->AsString(),
               Entry.FieldByName("CategoryDescription")->AsString(),
               Entry.FieldByName("Comment")->AsString()};
    return e;
}

bool TFileReportScreenForm::CountEntry(const TListedEntry& Entry) {
    AdjustColumnWidths(Entry.Texts);
    const bool inArchive = !Trim(Entry.Texts[3]).empty();
    if (inArchive) {
        AnyInArchives = true;
        ++FilesInArchivesTotal;
        BytesInArchivesTotal += Entry.Size;
    } else {
        ++FilesOnDiskTotal;
        BytesOnDiskTotal += Entry.Size;
    }
    return inArchive;
}

void TFileReportScreenForm::ListEntry(const TListedEntry& Entry) {
    FResultBuffer.push_back(TResultRow{Entry.Tag, CountEntry(Entry), ResultFileExt(Entry.Texts[0])});
}

void TFileReportScreenForm::FlushResults() {
    for (const TResultRow& row : FResultBuffer) {
        ResultTable->Append();
        ResultTable->FieldByName("FTag")->SetAsInteger(row.Tag);
        ResultTable->FieldByName("FromArc")->SetAsString(row.InArchive ? "Y" : "N");
        ResultTable->FieldByName("FileExt")->SetAsString(row.Ext);
        ResultTable->Post();
    }
    FResultBuffer.clear();
}

void TFileReportScreenForm::ShowFinderProgress(int Processed, int Records, int& Shown) {
    const int percent = Records > 0 ? int(double(Processed) / Records * 100) : 0;
    if (percent != Shown && FProgress) {
        Shown = percent;
        FProgress->ProgressBar->SetProgress(percent);
    }
}

bool TFileReportScreenForm::FindDuplicateFiles() {
    return FindByKey(false);
}

bool TFileReportScreenForm::FindUniqueFiles() {
    return FindByKey(true);
}

// One pass over the ordered catalog query, each row compared with the one before it. Duplicates:
// every run of two or more equal rows is listed whole. Uniques: a row is listed when it equals
// neither neighbour.
bool TFileReportScreenForm::FindByKey(bool Unique) {
    FileTable->Close();
    FileTable->SetDatabaseName(catalog::CatalogDataFolder);
    FileTable->SetTableName(CatalogName + "_CAT");
    FileTable->FieldDefs.Update();
    Query2->Close();
    Query2->SetDatabaseName(catalog::CatalogDataFolder);
    Query2->SQL().Clear();
    for (const std::string& line : DupUniqueSql(CatalogName, UseFileSize)) Query2->SQL().Add(line);
    // A query's copy of the tag is a plain integer, as in the report query.
    if (Query2->Fields.Count() == 0) AddEntryFields(*Query2, FileTable->FieldDefs, CategoryTable, true);
    CreateResultTable();
    Screen->SetCursor(crSQLWait);
    Application->ProcessMessages();
    try {
        Query2->Open();
    } catch (...) {
        Screen->SetCursor(crDefault);
        throw;
    }
    Screen->SetCursor(crDefault);
    const int records = Query2->RecordCount();
    int processed = 0, shown = 0;
    FResultBuffer.clear();
    bool first = true;
    // Duplicates: the previous row is listed already. Uniques: it equalled its predecessor.
    bool previousFlag = false;
    std::string previousKey;
    TListedEntry previous;
    for (Query2->First(); !Query2->Eof(); Query2->Next()) {
        if (FProgress && FProgress->CancelPressed) {
            Query2->Close();
            FResultBuffer.clear();
            return false;
        }
        TListedEntry current = ReadEntry(*Query2);
        std::string key = DupUniqueKey(current.Texts[0], UseVersions, Unique);
        const bool same = !first && key == previousKey && (!UseFileSize || current.Size == previous.Size);
        if (!Unique) {
            if (same) {
                if (!previousFlag) ListEntry(previous);
                ListEntry(current);
            }
            previousFlag = same;
        } else {
            if (!first && !previousFlag && !same) ListEntry(previous);
            previousFlag = same;
        }
        // A row lists at most two entries: flushing one short of a batch keeps batches within it.
        if (int(FResultBuffer.size()) >= kResultBatch - 1) FlushResults();
        previousKey = std::move(key);
        previous = std::move(current);
        first = false;
        ShowFinderProgress(++processed, records, shown);
        Application->ProcessMessages();
    }
    if (Unique && !first && !previousFlag) ListEntry(previous);
    FlushResults();
    Query2->Close();
    return true;
}

void TFileReportScreenForm::AdjustColumnWidths(const std::array<std::string, kColumnItems>& Texts) {
    for (int i = 0; i < kColumnItems; ++i) {
        const std::string text = i == 10 ? catalog::CommentFirstLine(Texts[size_t(i)]) : Texts[size_t(i)];
        ColumnPixelWidth[size_t(i)] = std::max(ColumnPixelWidth[size_t(i)], PixelWidth(text));
        ColumnCharWidth[size_t(i)] = std::max(ColumnCharWidth[size_t(i)], int(text.size()));
    }
}

void TFileReportScreenForm::AddGridColumn(int Item) {
    const TItemInfo& info = kItems[Item - 1];
    TColumn* column = FileReportGrid->Columns().Add();
    column->SetFieldName(info.GridField);
    column->Title().SetCaption(kGridHeadings[Item - 1]);
    column->Title().SetAlignment(info.Heading);
    column->SetAlignment(info.Cell);
    column->SetWidth(ColumnPixelWidth[size_t(Item - 1)] + 4);
}

void TFileReportScreenForm::SetReportSql() {
    Query->Close();
    Query->SetDatabaseName(catalog::CatalogDataFolder);
    TStringList& sql = Query->SQL();
    sql.Clear();
    for (const std::string& line :
         FileReportSql(ResultTableName, CatalogName, ShowArchived->Checked(), OrderByText))
        sql.Add(line);
}

// ---- the filter ----------------------------------------------------------------------------------

void TFileReportScreenForm::FileTableFilterRecord(TDataSet* DataSet, bool& Accept) {
    Accept = true;
    for (int item = 1; item <= kColumnItems && Accept; ++item) Accept = ItemPasses(item, *DataSet);
}

bool TFileReportScreenForm::ItemPasses(int Item, TDataSet& Entry) {
    const uint8_t op = Op[size_t(Item - 1)];
    if (op == rcNone) return true;
    auto text = [&Entry](const char* Field) { return Entry.FieldByName(Field)->AsString(); };
    if (op >= rcBlankComment && op <= rcNameOrComment) {
        const std::string comment = text("Comment");
        switch (op) {
            case rcBlankComment:
                return Trim(comment).empty();
            case rcNonBlankComment:
                return !Trim(comment).empty();
            case rcSomeKeywords:
            case rcAllKeywords:
                return KeywordsPass(op, NormalisedReportComment(comment));
            default: {
                // An empty text is found nowhere.
                if (FileNameSpec.empty()) return false;
                if (catalog::UpperCaseCopy(text("FileName")).find(FileNameSpec) != std::string::npos)
                    return true;
                return NormalisedReportComment(comment).find(FileNameSpec) != std::string::npos;
            }
        }
    }
    if (op > rcGreaterEqual) return true;
    auto mask = [this, op, Item](const std::string& Value) {
        const std::optional<TMask>& compiled = FMasks[size_t(Item - 1)];
        if (!compiled) return true;
        return compiled->Matches(Value) == (op == rcMatches);
    };
    switch (Item) {
        case 1:
            return mask(NameWithoutArchivePath(text("FileName")));
        case 2:
            return mask(text("VolumeLabel"));
        case 3:
            return mask(text("FolderName"));
        case 4:
            return mask(text("ArchiveID"));
        case 5:
            return ReportRelation<int64_t>(op, ReportFieldInt64(*Entry.FieldByName("FileSize")),
                                           FileSizeValue);
        case 6: {
            TField* date = Entry.FieldByName("DateModified");
            const int64_t day = date->IsNull() ? 0 : static_cast<int64_t>(date->AsDateTime());
            return ReportRelation<int64_t>(op, day, static_cast<int64_t>(DateValue));
        }
        case 9:
            if (op != rcMatches && op != rcNotMatches) return true;
            return (text("CategoryCode") == CategoryCodeValue) == (op == rcMatches);
        case 11: {
            if (op != rcMatches && op != rcNotMatches) return true;
            // An empty phrase is never contained.
            const bool contains =
                !CommentText.empty() &&
                NormalisedReportComment(text("Comment")).find(CommentText) != std::string::npos;
            return contains == (op == rcMatches);
        }
        default:
            return true;
    }
}

void TFileReportScreenForm::SplitKeywords() {
    Keywords = SplitReportKeywords(CommentText);
    KeywordCount = int(Keywords.size());
}

bool TFileReportScreenForm::KeywordsPass(uint8_t Operator, const std::string& Comment) {
    if (KeywordCount == -1) SplitKeywords();
    return ReportKeywordsPass(Operator, Keywords, MatchesRequired, Comment);
}

void TFileReportScreenForm::QueryCalcFields(TDataSet* DataSet) {
    DataSet->FieldByName("AttributeStr")
        ->SetAsString(catalog::EntryAttributeLetters(DataSet->FieldByName("Attribute")->AsInteger()));
    DataSet->FieldByName("CommentStr")
        ->SetAsString(catalog::CommentFirstLine(DataSet->FieldByName("Comment")->AsString()));
}

void TFileReportScreenForm::QueryQueryProgress(uint16_t PercentDone, bool& AbortQuery) {
    Application->ProcessMessages();
    if (!FProgress) return;
    FProgress->ProgressBar->SetProgress(PercentDone);
    if (FProgress->CancelPressed) {
        QueryCancelled = true;
        AbortQuery = true;
    }
}

// ---- the window ----------------------------------------------------------------------------------

void TFileReportScreenForm::FormShow() {
    SetCaption(ReportTitle);
    FilesOnDiskLabel1->SetCaption(TotalText(FilesOnDiskTotal));
    FilesOnDiskLabel2->SetCaption(TotalText(FilesOnDiskTotal));
    BytesOnDiskLabel1->SetCaption(TotalText(BytesOnDiskTotal));
    BytesOnDiskLabel2->SetCaption(TotalText(BytesOnDiskTotal));
    FilesInArchivesLabel1->SetCaption(TotalText(FilesInArchivesTotal));
    FilesInArcsLabel2->SetCaption(TotalText(FilesInArchivesTotal));
    BytesInArchivesLabel1->SetCaption(TotalText(BytesInArchivesTotal));
    BytesInArcsLabel2->SetCaption(TotalText(BytesInArchivesTotal));
    ApplyPanelRule();
    if (WindowState() == wsMinimized) SetWindowState(wsNormal);
}

void TFileReportScreenForm::ApplyPanelRule() {
    std::vector<TControl*> expandedTotals(TotalHeadings2.begin(), TotalHeadings2.end());
    expandedTotals.insert(expandedTotals.end(),
                          {FilesOnDiskLabel2, BytesOnDiskLabel2, FilesInArcsLabel2, BytesInArcsLabel2});
    ShowReportPanels(ExpandComment->Checked(), ShowTotals->Checked(), *TotalPanel, *TCPanel, expandedTotals);
}

void TFileReportScreenForm::ShowTotalsClick() {
    ApplyPanelRule();
}

void TFileReportScreenForm::ExpandCommentClick() {
    ApplyPanelRule();
}

void TFileReportScreenForm::FormResize() {
    const std::array<TPanel*, 2> pads{TCPanelPadLeft, TCPanelPadRight};
    CentreReportPanels(Width(), pads, FTotalsRow);
}

void TFileReportScreenForm::ShowArchivedClick() {
    if (!AnyInArchives) return;
    const TCursor cursor = Screen->Cursor();
    Screen->SetCursor(crSQLWait);
    Application->ProcessMessages();
    ShowProgress("Updating Report", false);
    try {
        SetReportSql();
        Query->Open();
    } catch (...) {
        CloseProgress();
        Screen->SetCursor(cursor);
        throw;
    }
    CloseProgress();
    Screen->SetCursor(cursor);
}

void TFileReportScreenForm::FontBtnClick() {
    TFont chosen;
    if (AskReportFont(FileReportGrid->Font(), chosen)) ApplyFont(chosen);
}

std::array<std::string, kColumnItems> TFileReportScreenForm::QueryRowTexts() {
    auto text = [this](const char* Field) { return Query->FieldByName(Field)->AsString(); };
    return {text("FileName"),
            text("VolumeLabel"),
            text("FolderName"),
            text("ArchiveID"),
            TotalText(ReportFieldInt64(*Query->FieldByName("FileSize"))),
            Query->FieldByName("DateModified")->DisplayText(),
            Query->FieldByName("TimeModified")->DisplayText(),
            text("AttributeStr"),
            text("CategoryCode"),
            text("CategoryDescription"),
            text("CommentStr")};
}

void TFileReportScreenForm::ApplyFont(const TFont& Font) {
    FileReportGrid->SetFont(Font);
    FileReportGrid->SetTitleFont(Font);
    DBMemo1->SetFont(Font);
    ShowProgress("Recalibrating Column Widths", false);
    StartColumnWidths(kGridHeadings);
    const std::array<int, kColumnItems> charWidths = ColumnCharWidth;
    if (Query->Active()) {
        const TBookmark mark = Query->GetBookmark();
        Query->DisableControls();
        const int rows = Query->RecordCount();
        int done = 0;
        for (Query->First(); !Query->Eof(); Query->Next()) {
            AdjustColumnWidths(QueryRowTexts());
            ++done;
            FProgress->ProgressBar->SetProgress(rows > 0 ? int(double(done) / rows * 100) : 100);
            Application->ProcessMessages();
        }
        Query->GotoBookmark(mark);
        Query->EnableControls();
    }
    ColumnCharWidth = charWidths;
    for (int i = 0; i < FileReportGrid->Columns().Count(); ++i) {
        TColumn* column = FileReportGrid->Columns()[i];
        for (int item = 1; item <= kColumnItems; ++item)
            if (column->FieldName() == kItems[item - 1].GridField)
                column->SetWidth(ColumnPixelWidth[size_t(item - 1)] + 4);
    }
    CloseProgress();
    FileReportGrid->Invalidate();
}

void TFileReportScreenForm::ViewBtnClick() {
    ShowReportView(ViewForm, ViewOpen, DataSource1, Caption());
}

void TFileReportScreenForm::OpenBtnClick() {
    if (Query->Active() && Query->RecordCount() > 0) OpenFile();
}

void TFileReportScreenForm::FileReportGridMouseMove(int X, int Y) {
    FMouseX = X;
    FMouseY = Y;
}

void TFileReportScreenForm::FileReportGridDblClick() {
    const TGridCoord cell = FileReportGrid->MouseCoord(FMouseX, FMouseY);
    if (cell.Y < 1) return;  // the title row, or no cell
    if (Query->Active() && Query->RecordCount() > 0) OpenFile();
}

void TFileReportScreenForm::OpenFile() {
    if (!Trim(Query->FieldByName("ArchiveID")->AsString()).empty()) {
        catalog::ErrorBox(
            "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File");
        return;
    }
    const std::string volume = Query->FieldByName("VolumeLabel")->AsString();
    char drive = 'A';
    std::string volumeText = cataloging::kUnknownVolumeLabel;
    try {
        SummaryTable->Close();
        SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
        SummaryTable->SetTableName(CatalogName + "_SUM");
        SummaryTable->Open();
        if (SummaryTable->FindKey({Variant(volume)})) {
            // A volume made by a text import has no drive ("*"): it is looked for on A.
            const std::string from = SummaryTable->FieldByName("CatalogedFrom")->AsString();
            if (!from.empty() && std::isalpha(static_cast<unsigned char>(from[0])))
                drive = static_cast<char>(std::toupper(static_cast<unsigned char>(from[0])));
            volumeText = SummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
        }
    } catch (const std::exception&) {
        drive = 'A';
        volumeText = cataloging::kUnknownVolumeLabel;
    }
    SummaryTable->Close();
    const std::string path =
        cataloging::LocateCatalogedFile(drive, Query->FieldByName("FolderName")->AsString(),
                                        Query->FieldByName("FileName")->AsString(), volumeText);
    if (!path.empty()) OpenReportFile(*Spawn, path);
}

void TFileReportScreenForm::FormClose(TCloseAction& Action) {
    CloseReportView(ViewForm, ViewOpen);
    Query->Close();
    ResultTable->Close();
    if (DeleteResultOnClose) DropResultTable();
    CategoryTable->Close();
    if (FCountTaken) --catalog::OpenReportCount;
    FCountTaken = false;
    if (OpenFlagRef) *OpenFlagRef = false;
    Action = caFree;
}

// ---- the full view -------------------------------------------------------------------------------

namespace {

const TReportViewRecordForm::TViewBox kFileReportViewBoxes[] = {
    {"FileName", "FileName", "FileName", nullptr, 8, 8, 504},
    {"FolderName", "Folder Name", "FolderName", nullptr, 8, 48, 504},
    {"ArchiveID", "Archive ID", "ArchiveID", nullptr, 8, 88, 504},
    {"VolumeLabel", "Volume ID", "VolumeLabel", nullptr, 8, 128, 120},
    {"FileSize", "File Size", "FileSize", "###,###,###,###,###", 136, 128, 136},
    {"DateModified", "Date Modified", "DateModified", nullptr, 280, 128, 112},
    {"TimeModified", "Time Modified", "TimeModified", nullptr, 400, 128, 112},
    {"AttributeStr", "Attribute", "Attribute", nullptr, 8, 168, 120},
    {"CategoryCode", "Category Code", "CategoryCode", nullptr, 136, 168, 136},
    {"CategoryDescription", "Category", "CategoryDescription", nullptr, 280, 168, 232},
};

}  // namespace

TFileReportViewRecordForm::TFileReportViewRecordForm(TComponent* AOwner)
    : TReportViewRecordForm(AOwner, 41, kFileReportViewBoxes, 208, 80) {}

}  // namespace reports
