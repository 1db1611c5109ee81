#include "tools/compare/CompareCatalogsForm.h"

#include <exception>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/TextHelpers.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/kit/CoolGauge.h"
#include "dbengine/os/OSLayer.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "reports/filereport/FileReportScreenForm.h"

namespace tools {

using namespace framework;

namespace {

constexpr const char* kCatalogCountFormat = "#,###,##0";
constexpr const char* kCatalogBytesFormat = "###,###,###,##0";
constexpr const char* kSetCountFormat = "#,###,###,##0";
constexpr const char* kSetBytesFormat = "###,###,###,###,##0";
constexpr const char* kStatisticsError =
    "Error Determining Disk/File/Byte Statistics For The Selected Catalog";

// A text holding a signed 64-bit number, 0 when it holds none.
int64_t CompareNumberOf(const std::string& Text) {
    return StrToInt64Def(Trim(Text), 0);
}

std::string CompareFormatted(const char* Picture, int64_t Value) {
    return FormatFloat(Picture, static_cast<double>(Value));
}

// Keeps the window's busy cursor for the life of the scope.
struct TCompareCursorScope {
    TCompareCursorScope() { Screen->SetCursor(crSQLWait); }
    ~TCompareCursorScope() { Screen->SetCursor(crDefault); }
};

}  // namespace

int CompareKeys(const TCompareKey& A, const TCompareKey& B) {
    // The catalog tables use the engine's default language, whose case-sensitive order of text is
    // this comparison (the one its ORDER BY sorts with).
    const int byName = dbengine::CompareLocaleText(0, 0, A.Name.c_str(), B.Name.c_str(), 0, false);
    if (byName != 0) return byName;
    return A.Size < B.Size ? -1 : (A.Size > B.Size ? 1 : 0);
}

std::vector<std::string> CompareCatalogSql(const std::string& CatalogName, bool IncludeFilesInArcs,
                                           bool UseFileSize) {
    std::vector<std::string> lines{"Select FileName,VolumeLabel,FolderName,ArchiveID,FileSize,Tag From \"" +
                                   catalog::QuoteForSql(CatalogName + "_CAT") + "\""};
    if (!IncludeFilesInArcs) lines.push_back("Where ArchiveID = \"\"");
    lines.push_back(UseFileSize ? "Order By FileName,FileSize,VolumeLabel,FolderName,ArchiveID"
                                : "Order By FileName,VolumeLabel,FolderName,ArchiveID");
    return lines;
}

TCompareCatalogsForm::TCompareCatalogsForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CompareCatalogsForm");
    SetCaption("Compare Catalogs");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(528, 364);

    auto table = [this](const char* Name) {
        auto* t = NewComponent<dbsql::TDbTable>(this);
        t->SetName(Name);
        return t;
    };
    SummaryTable1 = table("SummaryTable1");
    SummaryTable2 = table("SummaryTable2");
    UniqueTable1 = table("UniqueTable1");
    CommonTable = table("CommonTable");
    UniqueTable2 = table("UniqueTable2");
    Query1 = NewComponent<dbsql::TDbQuery>(this);
    Query1->SetName("Query1");
    Query2 = NewComponent<dbsql::TDbQuery>(this);
    Query2->SetName("Query2");

    auto panel = [this](TWinControl& Parent, const char* Name, int Left, int Top, int Width) {
        TPanel* p = catalog::NewPanel(*this, Parent, Name, Left, Top, Width, 21, bvLowered);
        p->SetAlignment(taRightJustify);
        return p;
    };
    // One catalog's half: its name with the select button, and its statistics.
    auto half = [&](int Left, const char* Heading, const char* NameName, const char* BtnName,
                    std::array<const char*, 3> StatNames, TPanel*& Name, entry::TCtlAttachedButton*& Btn,
                    std::array<TPanel*, 3>& Stats) {
        catalog::NewLabel(*this, *this, "", Left, 10, 120, Heading);
        Name = catalog::NewPanel(*this, *this, NameName, Left, 28, 210, 23, bvLowered);
        Name->SetAlignment(taLeftJustify);
        Btn = NewComponent<entry::TCtlAttachedButton>(this);
        Btn->SetName(BtnName);
        Btn->SetParent(this);
        Btn->SetBounds(Left + 212, 28, 23, 23);
        Btn->SetCaption("...");
        Btn->Hint = "Select Catalog From List";
        Btn->SetShowHint(true);
        Btn->SetAttachedControl(Name);
        catalog::NewLabel(*this, *this, "", Left, 60, 160, "Catalog Statistics");
        const char* captions[3] = {"Disks", "Files", "Bytes"};
        for (int i = 0; i < 3; ++i) {
            catalog::NewLabel(*this, *this, "", Left + 8, 80 + i * 24, 50, captions[i]);
            Stats[size_t(i)] = panel(*this, StatNames[size_t(i)], Left + 80, 78 + i * 24, 130);
        }
    };
    std::array<TPanel*, 3> stats1{}, stats2{};
    half(12, "Catalog #1", "Catalog1", "SelCat1Btn", {"Disks1", "Files1", "Bytes1"}, Catalog1, SelCat1Btn,
         stats1);
    half(276, "Catalog #2", "Catalog2", "SelCat2Btn", {"Disks2", "Files2", "Bytes2"}, Catalog2, SelCat2Btn,
         stats2);
    Disks1 = stats1[0], Files1 = stats1[1], Bytes1 = stats1[2];
    Disks2 = stats2[0], Files2 = stats2[1], Bytes2 = stats2[2];
    SelCat1Btn->OnClick = [this](TObject*) { SelCatBtnClick(0); };
    SelCat2Btn->OnClick = [this](TObject*) { SelCatBtnClick(1); };

    const char* groupCaptions[3] = {"Unique To Catalog #1", "Common To Both Catalogs",
                                    "Unique To Catalog #2"};
    const char* groupNames[3] = {"UC1Group", "CBGroup", "UC2Group"};
    const char* fileNames[3] = {"UC1Files", "CBFiles", "UC2Files"};
    const char* byteNames[3] = {"UC1Bytes", "CBBytes", "UC2Bytes"};
    const char* btnNames[3] = {"UC1Btn", "CBBtn", "UC2Btn"};
    std::array<TPanel*, 3> files{}, bytes{};
    std::array<TBitBtn*, 3> buttons{};
    for (int i = 0; i < 3; ++i) {
        auto* g = catalog::NewControl<TGroupBox>(*this, *this, groupNames[i], 12 + i * 172, 156, 160, 118);
        g->SetCaption(groupCaptions[i]);
        ResultGroups[size_t(i)] = g;
        catalog::NewLabel(*this, *g, "", 8, 24, 40, "Files");
        files[size_t(i)] = panel(*g, fileNames[i], 48, 20, 104);
        catalog::NewLabel(*this, *g, "", 8, 50, 40, "Bytes");
        bytes[size_t(i)] = panel(*g, byteNames[i], 48, 46, 104);
        auto* b = catalog::NewControl<TBitBtn>(*this, *g, btnNames[i], 20, 80, 120, 25);
        b->SetCaption("View This Report");
        b->SetVisible(false);
        b->SetEnabled(false);
        buttons[size_t(i)] = b;
    }
    UC1Files = files[0], CBFiles = files[1], UC2Files = files[2];
    UC1Bytes = bytes[0], CBBytes = bytes[1], UC2Bytes = bytes[2];
    UC1Btn = buttons[0], CBBtn = buttons[1], UC2Btn = buttons[2];
    UC1Btn->OnClick = [this](TObject*) { UC1BtnClick(); };
    CBBtn->OnClick = [this](TObject*) { CBBtnClick(); };
    UC2Btn->OnClick = [this](TObject*) { UC2BtnClick(); };

    IncludeFilesInArcs = catalog::NewControl<TCheckBox>(*this, *this, "IncludeFilesInArcs", 16, 284, 300, 17);
    IncludeFilesInArcs->SetCaption("Include Files Inside Of Archives");
    UseFileSize = catalog::NewControl<TCheckBox>(*this, *this, "UseFileSize", 16, 304, 300, 17);
    UseFileSize->SetCaption("Use File Size As An Additional Criteria");

    BitBtn1 = catalog::NewControl<TBitBtn>(*this, *this, "BitBtn1", 12, 322, 160, 33);
    BitBtn1->SetCaption("&Perform Comparison");
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CloseBtn = catalog::NewDialogButton(*this, *this, "CloseBtn", bkClose, 328, 322);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 427, 322);

    // Every table and query works in the catalog data folder.
    for (dbsql::TDbTable* t : {SummaryTable1, SummaryTable2, UniqueTable1, CommonTable, UniqueTable2})
        t->SetDatabaseName(catalog::CatalogDataFolder);
    Query1->SetDatabaseName(catalog::CatalogDataFolder);
    Query2->SetDatabaseName(catalog::CatalogDataFolder);

    OnShow = [this](TObject*) { FormShow(); };
    OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
}

TCompareCatalogsForm::~TCompareCatalogsForm() {
    // A window freed without closing still lets go of its report windows and tables.
    if (!FClosed) {
        try {
            FormClose();
        } catch (...) {
        }
    }
}

dbsql::TDbTable& TCompareCatalogsForm::Summary(int Side) const {
    return Side == 0 ? *SummaryTable1 : *SummaryTable2;
}

dbsql::TDbTable& TCompareCatalogsForm::SetTable(int Set) const {
    return Set == csUnique1 ? *UniqueTable1 : Set == csCommon ? *CommonTable : *UniqueTable2;
}

// ---- the two catalogs ---------------------------------------------------------------------------

void TCompareCatalogsForm::ResetSide(int Side) {
    Disks[size_t(Side)] = Files[size_t(Side)] = 0;
    Bytes[size_t(Side)] = 0;
    dbsql::TDbTable& summary = Summary(Side);
    summary.Close();
    summary.SetTableName("");
    for (TPanel* p : Side == 0 ? std::array<TPanel*, 4>{Catalog1, Disks1, Files1, Bytes1}
                               : std::array<TPanel*, 4>{Catalog2, Disks2, Files2, Bytes2})
        p->SetCaption("");
}

bool TCompareCatalogsForm::TakeStatistics(int Side, const std::string& Name) {
    const size_t s = size_t(Side);
    Disks[s] = Files[s] = 0;
    Bytes[s] = 0;
    dbsql::TDbTable& summary = Summary(Side);
    TCompareCursorScope cursor;
    try {
        summary.Close();
        summary.SetDatabaseName(catalog::CatalogDataFolder);
        summary.SetTableName(Name + "_SUM");
        summary.Open();
        for (summary.First(); !summary.Eof(); summary.Next()) {
            ++Disks[s];
            Files[s] += summary.FieldByName("FilesOnDisk")->AsInteger();
            Bytes[s] += CompareNumberOf(summary.FieldByName("DiskUsed")->AsString());
            Application->ProcessMessages();
        }
        summary.Close();
    } catch (const std::exception&) {
        ResetSide(Side);
        return false;
    }
    (Side == 0 ? Catalog1 : Catalog2)->SetCaption(Name);
    (Side == 0 ? Disks1 : Disks2)->SetCaption(CompareFormatted(kCatalogCountFormat, Disks[s]));
    (Side == 0 ? Files1 : Files2)->SetCaption(CompareFormatted(kCatalogCountFormat, Files[s]));
    (Side == 0 ? Bytes1 : Bytes2)->SetCaption(CompareFormatted(kCatalogBytesFormat, Bytes[s]));
    return true;
}

void TCompareCatalogsForm::FormShow() {
    Disks = {};
    Files = {};
    Bytes = {};
    // The current catalog is catalog #1 to begin with; one that cannot be read is simply not chosen.
    if (!Trim(catalog::CurrentCatalogName).empty()) TakeStatistics(0, catalog::CurrentCatalogName);
}

void TCompareCatalogsForm::SelCatBtnClick(int Side) {
    std::string chosen;
    {
        auto* picker = TCustomForm::Create<catalog::TSelectCatalogForm>(Application);
        try {
            picker->MakeCurrent = false;
            if (picker->ShowModal() == mrOk) chosen = picker->PickedCatalogName();
        } catch (...) {
            picker->Free();
            throw;
        }
        picker->Free();
    }
    // The report windows show the sets of the catalogs chosen so far: a new choice closes them, also
    // when the user changed nothing.
    CloseReportWindows();
    if (chosen.empty()) return;
    ResetSide(Side);
    const bool read = TakeStatistics(Side, chosen);
    ClearResults();
    if (!read) catalog::ErrorBox(kStatisticsError);
}

// ---- the comparison -----------------------------------------------------------------------------

void TCompareCatalogsForm::ClearResults() {
    for (TPanel* p : {UC1Files, UC1Bytes, CBFiles, CBBytes, UC2Files, UC2Bytes}) p->SetCaption("");
    for (TBitBtn* b : {UC1Btn, CBBtn, UC2Btn}) {
        b->SetVisible(false);
        b->SetEnabled(false);
    }
}

void TCompareCatalogsForm::ShowResults() {
    const std::array<TPanel*, 3> files{UC1Files, CBFiles, UC2Files};
    const std::array<TPanel*, 3> bytes{UC1Bytes, CBBytes, UC2Bytes};
    const std::array<TBitBtn*, 3> buttons{UC1Btn, CBBtn, UC2Btn};
    for (size_t i = 0; i < 3; ++i) {
        files[i]->SetCaption(CompareFormatted(kSetCountFormat, SetCount[i]));
        bytes[i]->SetCaption(CompareFormatted(kSetBytesFormat, SetBytes[i]));
        buttons[i]->SetEnabled(SetCount[i] > 0);
        buttons[i]->SetVisible(SetCount[i] > 0);
    }
}

void TCompareCatalogsForm::CloseReportWindows() {
    for (size_t i = 0; i < 3; ++i)
        if (ReportOpen[i] && Reports[i]) Reports[i]->Close();
}

void TCompareCatalogsForm::MakeComparisonTables() {
    for (int set = 0; set < 3; ++set) reports::MakeResultTable(SetTable(set), kTableNames[size_t(set)]);
}

void TCompareCatalogsForm::BitBtn1Click() {
    if (SummaryTable1->TableName().empty()) {
        catalog::ErrorBox("Please Select A Catalog For Catalog #1 First");
        return;
    }
    if (SummaryTable2->TableName().empty()) {
        catalog::ErrorBox("Please Select A Catalog For Catalog #2 First");
        return;
    }
    if (SummaryTable1->TableName() == SummaryTable2->TableName()) {
        catalog::ErrorBox("Please Select Two Different Catalolgs");
        return;
    }
    CloseReportWindows();
    MakeComparisonTables();
    catalog::TProgressForm* progress = catalog::ProgressForm;
    if (progress) progress->ShowForm("Performing Comparison", true);
    SetEnabled(false);
    bool done = false;
    try {
        auto setSql = [](dbsql::TDbQuery& Query, const std::vector<std::string>& Lines) {
            Query.Close();
            Query.SetDatabaseName(catalog::CatalogDataFolder);
            Query.SQL().Clear();
            for (const std::string& line : Lines) Query.SQL().Add(line);
        };
        setSql(*Query1,
               CompareCatalogSql(Catalog1->Caption(), IncludeFilesInArcs->Checked(), UseFileSize->Checked()));
        setSql(*Query2,
               CompareCatalogSql(Catalog2->Caption(), IncludeFilesInArcs->Checked(), UseFileSize->Checked()));
        done = MergeCompare();
    } catch (...) {
        done = false;
    }
    if (done)
        ShowResults();
    else
        ClearResults();
    for (int set = 0; set < 3; ++set) SetTable(set).Close();
    SetEnabled(true);
    if (progress) progress->HideForm();
}

TCompareKey TCompareCatalogsForm::CurrentKey(dbsql::TDbQuery& Query) const {
    TCompareKey key{Query.FieldByName("FileName")->AsString(), 0};
    if (UseFileSize->Checked()) key.Size = CompareNumberOf(Query.FieldByName("FileSize")->AsString());
    return key;
}

void TCompareCatalogsForm::AddToSet(int Set, dbsql::TDbQuery& Query) {
    const std::string name = Query.FieldByName("FileName")->AsString();
    ++SetCount[size_t(Set)];
    SetBytes[size_t(Set)] += CompareNumberOf(Query.FieldByName("FileSize")->AsString());
    dbsql::TDbTable& t = SetTable(Set);
    t.Append();
    t.FieldByName("FTag")->SetAsInteger(Query.FieldByName("Tag")->AsInteger());
    t.FieldByName("FromArc")->SetAsString(Trim(Query.FieldByName("ArchiveID")->AsString()).empty() ? "N"
                                                                                                   : "Y");
    t.FieldByName("FileExt")->SetAsString(reports::ResultFileExt(name));
    t.Post();
}

// A merge of two streams ordered by key: a key only the first holds, one both hold, one only the
// second holds. Of a run of equal keys in one catalog only the first entry counts.
bool TCompareCatalogsForm::MergeCompare() {
    SetCount = {};
    SetBytes = {};
    struct TSide {
        dbsql::TDbQuery& Query;
        TCompareKey Key;
        bool Ended = false;
    };
    TSide sides[2] = {{*Query1, {}, false}, {*Query2, {}, false}};
    auto closeBoth = [this] {
        Query1->Close();
        Query2->Close();
    };
    try {
        Query1->Open();
        Query2->Open();
        const int64_t total = int64_t(Query1->RecordCount()) + Query2->RecordCount();
        if (total == 0) {
            closeBoth();
            return true;
        }
        int64_t read = 0;
        for (TSide& side : sides) {
            side.Query.First();
            side.Ended = side.Query.Eof();
            if (!side.Ended) {
                ++read;
                side.Key = CurrentKey(side.Query);
            }
        }
        // Moves a side past every row whose key equals the one just taken.
        auto skipSameKey = [&](TSide& Side) {
            const TCompareKey taken = Side.Key;
            while (!Side.Ended && CompareKeys(Side.Key, taken) == 0) {
                Side.Query.Next();
                if (Side.Query.Eof()) {
                    Side.Ended = true;
                } else {
                    ++read;
                    Side.Key = CurrentKey(Side.Query);
                }
            }
        };
        while (!sides[0].Ended || !sides[1].Ended) {
            if (catalog::ProgressForm && catalog::ProgressForm->CancelPressed) {
                closeBoth();
                return false;
            }
            const int order = sides[0].Ended   ? 1
                              : sides[1].Ended ? -1
                                               : CompareKeys(sides[0].Key, sides[1].Key);
            if (order < 0) {
                AddToSet(csUnique1, *Query1);
                skipSameKey(sides[0]);
            } else if (order > 0) {
                AddToSet(csUnique2, *Query2);
                skipSameKey(sides[1]);
            } else {
                AddToSet(csCommon, *Query1);
                skipSameKey(sides[0]);
                skipSameKey(sides[1]);
            }
            if (catalog::ProgressForm)
                catalog::ProgressForm->ProgressBar->SetProgress(int(double(read) / double(total) * 100));
            Application->ProcessMessages();
        }
        closeBoth();
        return true;
    } catch (const std::exception&) {
        closeBoth();
        return false;
    }
}

// ---- the report windows -------------------------------------------------------------------------

void TCompareCatalogsForm::ViewReport(int Set) {
    const size_t s = size_t(Set);
    if (ReportOpen[s] && Reports[s]) {
        Reports[s]->BringToFront();
        return;
    }
    const std::string name1 = Catalog1->Caption(), name2 = Catalog2->Caption();
    auto* f = TCustomForm::Create<reports::TFileReportScreenForm>(Application);
    f->ReportTitle = Set == csUnique1  ? "Unique To \"" + name1 + "\""
                     : Set == csCommon ? "Common To \"" + name1 + "\" and \"" + name2 + "\""
                                       : "Unique To \"" + name2 + "\"";
    f->ResultTableName = kTableNames[s];
    f->CatalogName = Set == csUnique2 ? name2 : name1;
    f->DeleteResultOnClose = false;
    // Every column but the category code (item 9), in item order; sorted by name, volume, folder and
    // archive.
    f->ColumnPos = {};
    for (int item = 1; item <= 8; ++item) f->ColumnPos[size_t(item - 1)] = uint8_t(item);
    f->ColumnPos[9] = 9;
    f->ColumnPos[10] = 10;
    f->SortSpec = {};
    for (int item = 1; item <= 4; ++item) f->SortSpec[size_t(item - 1)] = {uint8_t(item), 1};
    bool created = false;
    try {
        created = f->CreateComparisonReport();
    } catch (...) {
        f->Free();
        throw;
    }
    if (!created) {
        f->Free();
        return;
    }
    f->OpenFlagRef = &ReportOpen[s];
    Reports[s] = f;
    f->Show();
    ReportOpen[s] = true;
}

void TCompareCatalogsForm::UC1BtnClick() {
    ViewReport(csUnique1);
}

void TCompareCatalogsForm::CBBtnClick() {
    ViewReport(csCommon);
}

void TCompareCatalogsForm::UC2BtnClick() {
    ViewReport(csUnique2);
}

void TCompareCatalogsForm::FormClose() {
    FClosed = true;
    CloseReportWindows();
    for (int set = 0; set < 3; ++set) {
        dbsql::TDbTable& t = SetTable(set);
        t.Close();
        t.SetDatabaseName(catalog::CatalogDataFolder);
        t.SetTableName(kTableNames[size_t(set)]);
        if (t.Exists()) t.DeleteTable();
    }
}

}  // namespace tools
