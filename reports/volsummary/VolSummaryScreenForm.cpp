#include "reports/volsummary/VolSummaryScreenForm.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <tuple>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "cataloging/dialogs/FileNotFoundForm.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "platform/Process.h"
#include "reports/directory/ShowDirectoryForm.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/output/ReportButtonRow.h"
#include "reports/output/ReportWindowParts.h"
#include "reports/summary/SummaryReportScreenForm.h"
#include "sysutil/UtSpawn.h"
#include "sysutil/UtStrS.h"

namespace reports {

using namespace framework;

namespace {

constexpr const char* kVolSizeFormat = "#,###,###,###,##0";
constexpr const char* kVolCountFormat = "#,###,###,##0";
constexpr const char* kVolEntrySizeFormat = "###,###,###,###,##0";
constexpr const char* kVolTotalFormat = "###,###,###,###,##0";

// A grid column: its field, heading, menu item (name and caption), whether it shows at first, its
// first character width and its alignment.
struct TVolGridColumn {
    const char* Field;
    const char* Heading;
    const char* ItemName;
    const char* ItemCaption;
    bool Shown;
    int Chars;
    TAlignment Align;
};

constexpr TVolGridColumn kVolGridColumns[kVolColumns] = {
    {"CatalogVolumeLabel", "Catalog Volume ID", "SummaryItemA", "&A. Catalog Volume Label", true, 17,
     taLeftJustify},
    {"ActualVolumeLabel", "Actual Volume ID", "SummaryItemB", "&B. Actual Volume Label", false, 16,
     taLeftJustify},
    {"CatalogedFrom", "Drv", "SummaryItemC", "&C. Cataloged From (Drv)", true, 3, taCenter},
    {"SerialNumberStr", "Serial Number", "SummaryItemD", "&D. Serial Number", false, 13, taCenter},
    {"DateFirstCataloged", "First Cataloged", "SummaryItemE", "&E. Date First Cataloged", false, 15,
     taCenter},
    {"DateLastCataloged", "Last Cataloged", "SummaryItemF", "&F. Date Last Cataloged", true, 14, taCenter},
    {"DiskSize", "Disk Size", "SummaryItemG", "&G. Disk Size", true, 9, taRightJustify},
    {"DiskClusterSize", "Cluster Size", "SummaryItemH", "&H. Cluster Size", false, 12, taRightJustify},
    {"DiskUsed", "Space Used", "SummaryItemI", " &I. Space Used", true, 10, taRightJustify},
    {"DiskFree", "Free Space", "SummaryItemJ", "&J. Free Space", true, 10, taRightJustify},
    {"SlackSpace", "Slack %", "SummaryItemK", "&K. Slack Percent", true, 7, taRightJustify},
    {"FilesOnDisk", "Files On Disk", "SummaryItemL", "&L. Files On Disk", true, 13, taRightJustify},
    {"FilesInArchives", "Files In Arcs", "SummaryItemM", "&M. Files In Archives", true, 13, taRightJustify},
    {"CommentStr", "Comment", "SummaryItemN", "&N. Comment", true, 7, taLeftJustify},
};

constexpr TVolGridColumn kEntryGridColumns[kEntryColumns] = {
    {"FileName", "File Name", "FileItemA", "&A. FileName", true, 9, taLeftJustify},
    {"VolumeLabel", "Volume Label", "FileItemB", "&B. Volume Label", true, 9, taLeftJustify},
    {"FolderName", "Folder Name", "FileItemC", "&C. Folder Name", true, 11, taLeftJustify},
    {"ArchiveID", "Archive ID", "FileItemD", "&D. Archive ID", true, 10, taLeftJustify},
    {"FileSize", "File Size", "FileItemE", "&E. File Size", true, 9, taRightJustify},
    {"DateModified", "Date Modified", "FileItemF", "&F. Date Modified", true, 13, taCenter},
    {"TimeModified", "Time Modified", "FileItemG", "&G. Time Modified", false, 13, taCenter},
    {"AttributeStr", "Attribute", "FileItemH", "&H. Attribute", true, 9, taCenter},
    {"CategoryCode", "CategoryCode", "FileItemI", " &I. Category Code", false, 13, taLeftJustify},
    {"CategoryDescription", "Category Description", "FileItemJ", "&J. Category Description", true, 20,
     taLeftJustify},
    {"CommentStr", "Comment", "FileItemK", "&K. Comment", true, 7, taLeftJustify},
};

// Persistent fields of a volume table: the stored ones as the table defines them, then the three
// calculated ones.
void AddVolumeFields(dbsql::TDbTable& Table) {
    Table.FieldDefs.Update();
    Table.Fields.Clear();
    for (int i = 0; i < Table.FieldDefs.Count(); ++i) {
        const TFieldDef* def = Table.FieldDefs[i];
        auto field = CreateFieldOfType(def->DataType);
        field->FieldName = def->Name;
        if (def->Size > 0) field->SetSize(def->Size);
        if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->Precision = def->Precision;
        TField* added = Table.AddField(std::move(field));
        if (def->DataType == ftBCD) added->DisplayFormat = kVolSizeFormat;
        if (def->Name == "FilesOnDisk" || def->Name == "FilesInArchives")
            added->DisplayFormat = kVolCountFormat;
    }
    Table.AddField<TStringField>("SerialNumberStr", fkCalculated, 9);
    Table.AddField<TFloatField>("SlackSpace", fkCalculated, 0)->DisplayFormat = "##0.00";
    Table.AddField<TStringField>("CommentStr", fkCalculated, 200);
}

TPanel* VolPanel(TComponent& Owner, TWinControl& Parent, const char* Name, int Height, TAlign Align) {
    return NewReportPanel(Owner, Parent, Name, {0, 0, Align == alLeft || Align == alRight ? 1 : 600, Height},
                          Align);
}

TDBGrid* VolGrid(TComponent& Owner, TWinControl& Parent, const char* Name, TDataSource* Source,
                 TPopupMenu* Menu, const TVolGridColumn* Columns, int Count) {
    TDBGrid* grid = NewReportGrid(Owner, Parent, Name, Source);
    grid->SetPopupMenu(Menu);
    for (int i = 0; i < Count; ++i) {
        TColumn* column = grid->Columns().Add();
        column->SetFieldName(Columns[i].Field);
        column->Title().SetCaption(Columns[i].Heading);
        column->Title().SetAlignment(Columns[i].Align == taLeftJustify ? taLeftJustify : taCenter);
        column->SetAlignment(Columns[i].Align);
    }
    return grid;
}

TMenuItem* VolMenuItem(TComponent& Owner, TPopupMenu& Menu, const char* Name, const char* Caption,
                       bool Checked, std::function<void()> Click) {
    auto* item = NewComponent<TMenuItem>(&Owner);
    if (Name) item->SetName(Name);
    item->Caption = Caption;
    item->SetChecked(Checked);
    if (Click) item->OnClick = [Click](TObject*) { Click(); };
    Menu.Items()->Add(item);
    return item;
}

// Runs a measuring walk under a progress window without Cancel, closing the window also when the
// walk fails.
template <class TWalk>
void VolMeasure(TComponent* Owner, const char* Caption, TWalk&& Walk) {
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(Owner);
    progress->ShowForm(Caption, false);
    try {
        Walk(*progress);
    } catch (...) {
        progress->HideForm();
        progress->Free();
        throw;
    }
    progress->HideForm();
    progress->Free();
}

constexpr const char* kVolStoredProperties =
    "SummaryPanel.Height\nSummaryGrid.Font\nSummaryGrid.TitleFont\nFileGrid.Font\nFileGrid.TitleFont\n"
    "DBMemo1.Font\nDBMemo2.Font\nShowTotals1.Checked\nExpandComment1.Checked\nExpandComment2.Checked\n";

}  // namespace

std::string VolSerialText(TField& Serial) {
    if (Serial.IsNull() || Trim(Serial.AsString()).empty()) return "";
    std::string hex = sysutil::LongToHexText(static_cast<uint32_t>(Serial.AsInteger()));
    return hex.insert(4, "-");
}

TVolSummaryFileContentsScreenForm* ShowVolSummaryFileContents() {
    if (Trim(catalog::CurrentCatalogName).empty()) return nullptr;
    auto* form = TCustomForm::Create<TVolSummaryFileContentsScreenForm>(Application);
    try {
        form->Show();
    } catch (...) {
        form->Free();
        throw;
    }
    return form;
}

TVolSummaryFileContentsScreenForm::TVolSummaryFileContentsScreenForm(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("Volume Summary / File Contents");
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 600, 500);
    Constraints().SetMinWidth(600);
    Constraints().SetMinHeight(419);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    auto table = [this](const char* Name) {
        auto* t = NewComponent<dbsql::TDbTable>(this);
        t->SetName(Name);
        return t;
    };
    auto source = [this](const char* Name, TDataSet* Set) {
        auto* s = NewComponent<TDataSource>(this);
        s->SetName(Name);
        s->SetDataSet(Set);
        s->AutoEdit = false;
        return s;
    };
    SummaryTable = table("SummaryTable");
    FileTable = table("FileTable");
    FileTable2 = table("FileTable2");
    CategoryTable = table("CategoryTable");
    SummaryTable2 = table("SummaryTable2");
    FileTable3 = table("FileTable3");
    SummarySource = source("SummarySource", SummaryTable);
    FileSource = source("FileSource", FileTable);
    SummarySource2 = source("SummarySource2", SummaryTable2);
    for (dbsql::TDbTable* t : {SummaryTable, SummaryTable2})
        t->OnCalcFields = [this](TDataSet* D) { CalcSummaryFields(D); };
    for (dbsql::TDbTable* t : {FileTable, FileTable2, FileTable3})
        t->OnCalcFields = [this](TDataSet* D) { CalcFileFields(D); };

    Spawn = NewReportSpawn(*this);

    // ---- the button row
    ButtonPanel = VolPanel(*this, *this, "ButtonPanel", 44, alBottom);
    TReportButtonRow buttons(*this, *ButtonPanel, &HelpContext, 104, 8, 74, 80);
    PrintBtn = buttons.Add("PrintBtn", bkCustom, "&Print");
    ToDiskBtn = buttons.Add("ToDiskBtn", bkCustom, "&To Disk");
    OpenBtn = buttons.Add("OpenBtn", bkCustom, "&Open");
    CloseBtn = buttons.Add("CloseBtn", bkClose);
    HelpBtn = buttons.Add("HelpBtn", bkHelp);
    PrintBtn->OnClick = [this](TObject*) { PrintBtnClick(); };
    ToDiskBtn->OnClick = [this](TObject*) { ToDiskBtnClick(); };
    OpenBtn->OnClick = [this](TObject*) { OpenBtnClick(); };

    // ---- the upper half: the volumes, their totals and the expanded comment
    SummaryPanel = VolPanel(*this, *this, "SummaryPanel", 230, alTop);
    SummaryPanel->Constraints().SetMinHeight(170);
    const char* rowHeadings[6] = {"Total Disks",      "Total Files", "Slack %",
                                  "Total Disk Space", "Total Used",  "Total Free"};
    const char* names1[6] = {"TotDisks1", "TotFiles1", "TotSlack1", "TotSize1", "TotUsed1", "TotFree1"};
    FTotalsRow = NewReportTotalsRow(*this, *SummaryPanel, rowHeadings, names1, 97);
    TotalPanel = FTotalsRow.Panel;
    TotalPadLeft1Panel = FTotalsRow.PadLeft;
    Bevel0 = FTotalsRow.FirstLine;
    Bevel6 = FTotalsRow.LastLine;
    const TReportCommentPanel comment = NewReportCommentPanel(*this, *SummaryPanel, "TCPanel", 106);
    TCPanel = comment.Panel;
    TCPanelPadLeft = comment.PadLeft;
    TCTotPanel = comment.Totals;
    TCPanelPadRight = comment.PadRight;
    const char* stackHeadings[6] = {
        "Total Disks:", "Total Files:", "Slack %:", "Total Space:", "Total Used:", "Total Free:"};
    const char* names2[6] = {"TotDisks2", "TotFiles2", "TotSlack2", "TotSize2", "TotUsed2", "TotFree2"};
    std::array<TLabel*, 6> headings2{}, values2{};
    AddStackedTotals(*this, *TCTotPanel, 4, 100, 106, 152, stackHeadings, names2, headings2, values2);
    DBMemo1 = NewReportMemo(*this, *TCPanel, "DBMemo1", SummarySource);
    const std::vector<TLabel*>& values1 = FTotalsRow.Values;
    std::tie(TotDisks1, TotFiles1, TotSlack1, TotSize1, TotUsed1, TotFree1) =
        std::tie(values1[0], values1[1], values1[2], values1[3], values1[4], values1[5]);
    std::tie(TotDisks2, TotFiles2, TotSlack2, TotSize2, TotUsed2, TotFree2) =
        std::tie(values2[0], values2[1], values2[2], values2[3], values2[4], values2[5]);

    PopupMenu1 = NewComponent<TPopupMenu>(this);
    PopupMenu1->SetName("PopupMenu1");
    PopupMenu2 = NewComponent<TPopupMenu>(this);
    PopupMenu2->SetName("PopupMenu2");
    SummaryGrid =
        VolGrid(*this, *SummaryPanel, "SummaryGrid", SummarySource, PopupMenu1, kVolGridColumns, kVolColumns);

    Splitter1 = NewComponent<TSplitter>(this);
    Splitter1->SetName("Splitter1");
    Splitter1->SetAlign(alTop);
    Splitter1->SetBounds(0, 230, 600, 3);
    Splitter1->SetParent(this);
    Splitter1->MinSize = 170;

    // ---- the lower half: the entries of the highlighted volume
    FilePanel = VolPanel(*this, *this, "FilePanel", 200, alClient);
    FilePanel->Constraints().SetMinHeight(170);
    TCPanel2 = VolPanel(*this, *FilePanel, "TCPanel2", 80, alBottom);
    TCPanel2->SetVisible(false);
    TCPanelPadLeft2 = VolPanel(*this, *TCPanel2, "TCPanelPadLeft2", 80, alLeft);
    auto* categoryPanel = VolPanel(*this, *TCPanel2, "CategoryPanel", 80, alLeft);
    categoryPanel->SetWidth(262);
    TCPanelPadRight2 = VolPanel(*this, *TCPanel2, "TCPanelPadRight2", 80, alRight);
    NewReportLabel(*this, *categoryPanel, "CategoryLabel", {4, 4, 80, 19}, "Category:", taLeftJustify, false);
    CategoryText = NewComponent<TDBText>(this);
    CategoryText->SetName("CategoryText");
    CategoryText->SetParent(categoryPanel);
    CategoryText->SetBounds(4, 22, 254, 17);
    {
        TFont f = CategoryText->Font();
        f.Style = fsBold;
        CategoryText->SetFont(f);
    }
    CategoryText->SetDataSource(FileSource);
    CategoryText->SetDataField("CategoryDescription");
    DBMemo2 = NewReportMemo(*this, *TCPanel2, "DBMemo2", FileSource);
    FileGrid =
        VolGrid(*this, *FilePanel, "FileGrid", FileSource, PopupMenu2, kEntryGridColumns, kEntryColumns);
    FileGrid->OnDblClick = [this](TObject*) { FileGridDblClick(); };
    FileGrid->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { FileGridMouseMove(X, Y); };

    // ---- the two column menus
    std::string stored = kVolStoredProperties;
    for (int i = 0; i < kVolColumns; ++i) {
        const TVolGridColumn& c = kVolGridColumns[i];
        SummaryItems[size_t(i)] =
            VolMenuItem(*this, *PopupMenu1, c.ItemName, c.ItemCaption, c.Shown, [this, i] {
                SummaryItems[size_t(i)]->SetChecked(!SummaryItems[size_t(i)]->Checked);
                ApplyColumnVisibility();
            });
        stored += std::string(c.ItemName) + ".Checked\n";
    }
    VolMenuItem(*this, *PopupMenu1, nullptr, "-", false, {});
    ShowTotals1 =
        VolMenuItem(*this, *PopupMenu1, "ShowTotals1", "&Show Totals", true, [this] { ShowTotals1Click(); });
    ExpandComment1 = VolMenuItem(*this, *PopupMenu1, "ExpandComment1", "E&xpand Comment", false,
                                 [this] { ExpandComment1Click(); });
    VolMenuItem(*this, *PopupMenu1, nullptr, "-", false, {});
    ChangeFont1 = VolMenuItem(*this, *PopupMenu1, "ChangeFont1", "Change Fon&t", false,
                              [this] { ChooseFont(*SummaryGrid, true); });
    ViewFullSummaryRecord1 =
        VolMenuItem(*this, *PopupMenu1, "ViewFullSummaryRecord1", "&View Full Summary Record", false,
                    [this] { ViewFullSummaryRecord1Click(); });
    for (int i = 0; i < kEntryColumns; ++i) {
        const TVolGridColumn& c = kEntryGridColumns[i];
        FileItems[size_t(i)] = VolMenuItem(*this, *PopupMenu2, c.ItemName, c.ItemCaption, c.Shown, [this, i] {
            FileItems[size_t(i)]->SetChecked(!FileItems[size_t(i)]->Checked);
            ApplyColumnVisibility();
        });
        stored += std::string(c.ItemName) + ".Checked\n";
    }
    VolMenuItem(*this, *PopupMenu2, nullptr, "-", false, {});
    ExpandComment2 = VolMenuItem(*this, *PopupMenu2, "ExpandComment2", "E&xpand Comment", false,
                                 [this] { ExpandComment2Click(); });
    VolMenuItem(*this, *PopupMenu2, nullptr, "-", false, {});
    ChangeFont2 = VolMenuItem(*this, *PopupMenu2, "ChangeFont2", "Change Fon&t", false,
                              [this] { ChooseFont(*FileGrid, false); });
    ViewFullFileRecord1 = VolMenuItem(*this, *PopupMenu2, "ViewFullFileRecord1", "&View Full File Record",
                                      false, [this] { ViewFullFileRecord1Click(); });

    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TVolSummaryFileContentsScreenForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TVolSummaryFileContentsScreenForm");
    ComponentState->StoredProperties().SetText(stored);

    OnShow = [this](TObject*) { FormShow(); };
    OnClose = [this](TObject*, TCloseAction& Action) { FormClose(Action); };
    OnResize = [this](TObject*) { FormResize(); };
    FormResize();

    // The tables of the current catalog; without one the window stays empty (and is not shown by
    // ShowVolSummaryFileContents).
    if (Trim(catalog::CurrentCatalogName).empty()) return;
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    CategoryTable->Open();
    SetUpTable(*SummaryTable, "_SUM");
    SetUpTable(*FileTable, "_CAT");
    SetUpTable(*FileTable2, "_CAT");
    SetUpTable(*SummaryTable2, "_SUM");
    SetUpTable(*FileTable3, "_CAT");
    FileTable->SetIndexName("ByVolumeLabel");
    FileTable->SetMasterSource(SummarySource);
    FileTable->SetMasterFields("CatalogVolumeLabel");
    FileTable3->SetIndexName("ByVolumeLabel");
    FileTable3->SetMasterSource(SummarySource2);
    FileTable3->SetMasterFields("CatalogVolumeLabel");
    SummaryTable->Open();
    FileTable->Open();
}

TVolSummaryFileContentsScreenForm::~TVolSummaryFileContentsScreenForm() {
    OnResize = nullptr;
    CloseViews();
    // The tables go after the window; their calculated fields must not reach it then.
    for (dbsql::TDbTable* t : {FileTable3, SummaryTable2, FileTable2, FileTable, SummaryTable}) {
        t->OnCalcFields = nullptr;
        t->Close();
    }
}

void TVolSummaryFileContentsScreenForm::CloseViews() {
    CloseReportView(SummaryView, SummaryViewOpen);
    CloseReportView(FileView, FileViewOpen);
}

void TVolSummaryFileContentsScreenForm::SetUpTable(dbsql::TDbTable& Table, const char* Suffix) {
    Table.Close();
    Table.SetDatabaseName(catalog::CatalogDataFolder);
    Table.SetTableName(catalog::CurrentCatalogName + Suffix);
    if (std::string(Suffix) == "_SUM") {
        AddVolumeFields(Table);
        return;
    }
    AddListingFields(Table);
    auto* category = Table.AddField<TStringField>("CategoryDescription", fkLookup, 30);
    category->SetLookupDataSet(CategoryTable);
    category->KeyFields = "CategoryCode";
    category->LookupKeyFields = "Code";
    category->LookupResultField = "Description";
    Table.FieldByName("FileSize")->DisplayFormat = kVolEntrySizeFormat;
}

void TVolSummaryFileContentsScreenForm::CalcSummaryFields(TDataSet* D) {
    D->FieldByName("SerialNumberStr")->SetAsString(VolSerialText(*D->FieldByName("SerialNumber")));
    D->FieldByName("SlackSpace")
        ->SetAsFloat(VolumeSlack(D->FieldByName("DiskSize")->AsFloat(), D->FieldByName("DiskFree")->AsFloat(),
                                 D->FieldByName("DiskUsed")->AsFloat()));
    D->FieldByName("CommentStr")
        ->SetAsString(catalog::CommentFirstLine(D->FieldByName("Comment")->AsString()));
}

void TVolSummaryFileContentsScreenForm::CalcFileFields(TDataSet* D) {
    D->FieldByName("AttributeStr")
        ->SetAsString(catalog::EntryAttributeLetters(D->FieldByName("Attribute")->AsInteger()));
    D->FieldByName("CommentStr")
        ->SetAsString(catalog::CommentFirstLine(D->FieldByName("Comment")->AsString()));
}

// ---- measuring ----------------------------------------------------------------------------------

TVolTexts TVolSummaryFileContentsScreenForm::VolumeTexts(TDataSet& V) {
    auto text = [&V](const char* Field) { return V.FieldByName(Field)->AsString(); };
    auto size = [&V](const char* Field) {
        return FormatFloat(kVolSizeFormat, double(ReportFieldInt64(*V.FieldByName(Field))));
    };
    return {text("CatalogVolumeLabel"),
            text("ActualVolumeLabel"),
            text("CatalogedFrom"),
            VolSerialText(*V.FieldByName("SerialNumber")),
            V.FieldByName("DateFirstCataloged")->DisplayText(),
            V.FieldByName("DateLastCataloged")->DisplayText(),
            size("DiskSize"),
            size("DiskClusterSize"),
            size("DiskUsed"),
            size("DiskFree"),
            FormatFloat("##0.00", V.FieldByName("SlackSpace")->AsFloat()),
            FormatFloat(kVolCountFormat, V.FieldByName("FilesOnDisk")->AsFloat()),
            FormatFloat(kVolCountFormat, V.FieldByName("FilesInArchives")->AsFloat()),
            text("Comment")};
}

TEntryTexts TVolSummaryFileContentsScreenForm::EntryTexts(TDataSet& E) {
    auto text = [&E](const char* Field) { return E.FieldByName(Field)->AsString(); };
    return {text("FileName"),
            text("VolumeLabel"),
            text("FolderName"),
            text("ArchiveID"),
            FormatFloat(kVolEntrySizeFormat, double(ReportFieldInt64(*E.FieldByName("FileSize")))),
            E.FieldByName("DateModified")->DisplayText(),
            E.FieldByName("TimeModified")->DisplayText(),
            text("Attribute"),
            text("CategoryCode"),
            text("CategoryDescription"),
            text("Comment")};
}

int TVolSummaryFileContentsScreenForm::TextPixels(TDBGrid& Grid, const std::string& Text) {
    return ReportTextWidth(Grid.Font(), Text);
}

void TVolSummaryFileContentsScreenForm::CalculateSummaryColumnWidths(bool Recalibrate) {
    for (int i = 0; i < kVolColumns; ++i) {
        SummaryPixelWidth[size_t(i)] = TextPixels(*SummaryGrid, kVolGridColumns[i].Heading);
        SummaryCharWidth[size_t(i)] = kVolGridColumns[i].Chars;
    }
    if (!Recalibrate) {
        DiskCount = 0;
        FileTotal = SizeTotal = UsedTotal = FreeTotal = 0;
        SlackTotal = 0;
    }
    VolMeasure(
        this,
        Recalibrate ? "Recalibrating Column Widths In Summary Grid"
                    : "Calibrating Column Widths In Summary Grid",
        [&](catalog::TProgressForm& Progress) {
            if (!SummaryTable->Active()) return;
            const TBookmark mark = SummaryTable->GetBookmark();
            SummaryTable->DisableControls();
            FileTable->Close();
            auto restore = [&] {
                if (!mark.empty()) SummaryTable->GotoBookmark(mark);
                SummaryTable->EnableControls();
                FileTable->Open();
            };
            try {
                const int count = SummaryTable->RecordCount();
                int done = 0;
                for (SummaryTable->First(); !SummaryTable->Eof(); SummaryTable->Next()) {
                    const TVolTexts texts = VolumeTexts(*SummaryTable);
                    for (size_t i = 0; i < texts.size(); ++i) {
                        SummaryPixelWidth[i] =
                            std::max(SummaryPixelWidth[i], TextPixels(*SummaryGrid, texts[i]));
                        SummaryCharWidth[i] = std::max(SummaryCharWidth[i], int(texts[i].size()));
                    }
                    if (!Recalibrate) {
                        ++DiskCount;
                        FileTotal += SummaryTable->FieldByName("FilesOnDisk")->AsInteger();
                        SizeTotal += ReportFieldInt64(*SummaryTable->FieldByName("DiskSize"));
                        UsedTotal += ReportFieldInt64(*SummaryTable->FieldByName("DiskUsed"));
                        FreeTotal += ReportFieldInt64(*SummaryTable->FieldByName("DiskFree"));
                    }
                    ++done;
                    Progress.ProgressBar->SetProgress(count > 0 ? int(double(done) / count * 100) : 100);
                    Application->ProcessMessages();
                }
            } catch (...) {
                restore();
                throw;
            }
            restore();
        });
    for (int i = 0; i < kVolColumns; ++i)
        SummaryGrid->Columns()[i]->SetWidth(SummaryPixelWidth[size_t(i)] + 4);
    SummaryGrid->Invalidate();
    if (!Recalibrate) {
        SlackTotal = TotalSlack(SizeTotal, UsedTotal, FreeTotal);
        FillTotals();
    }
}

void TVolSummaryFileContentsScreenForm::CalculateFileColumnWidths(bool Recalibrate) {
    for (int i = 0; i < kEntryColumns; ++i) {
        FilePixelWidth[size_t(i)] = TextPixels(*FileGrid, kEntryGridColumns[i].Heading);
        FileCharWidth[size_t(i)] = kEntryGridColumns[i].Chars;
    }
    VolMeasure(
        this,
        Recalibrate ? "Recalibrating Column Widths In File Grid" : "Calibrating Column Widths In File Grid",
        [&](catalog::TProgressForm& Progress) {
            if (!SummaryTable->Active()) return;
            FileTable2->Open();
            try {
                const int count = FileTable2->RecordCount();
                int done = 0;
                for (FileTable2->First(); !FileTable2->Eof(); FileTable2->Next()) {
                    const TEntryTexts texts = EntryTexts(*FileTable2);
                    for (size_t i = 0; i < texts.size(); ++i) {
                        FilePixelWidth[i] = std::max(FilePixelWidth[i], TextPixels(*FileGrid, texts[i]));
                        FileCharWidth[i] = std::max(FileCharWidth[i], int(texts[i].size()));
                    }
                    ++done;
                    Progress.ProgressBar->SetProgress(count > 0 ? int(double(done) / count * 100) : 100);
                    Application->ProcessMessages();
                }
            } catch (...) {
                FileTable2->Close();
                throw;
            }
            FileTable2->Close();
        });
    for (int i = 0; i < kEntryColumns; ++i) FileGrid->Columns()[i]->SetWidth(FilePixelWidth[size_t(i)] + 4);
    FileGrid->Invalidate();
}

void TVolSummaryFileContentsScreenForm::FillTotals() {
    const std::string disks = FormatFloat("###,###,##0", DiskCount);
    const std::string files = FormatFloat(kVolCountFormat, double(FileTotal));
    const std::string slack = FormatFloat("##0.00", double(SlackTotal));
    const std::string size = FormatFloat(kVolTotalFormat, double(SizeTotal));
    const std::string used = FormatFloat(kVolTotalFormat, double(UsedTotal));
    const std::string free = FormatFloat(kVolTotalFormat, double(FreeTotal));
    const std::pair<TLabel*, const std::string*> pairs[] = {
        {TotDisks1, &disks}, {TotDisks2, &disks}, {TotFiles1, &files}, {TotFiles2, &files},
        {TotSlack1, &slack}, {TotSlack2, &slack}, {TotSize1, &size},   {TotSize2, &size},
        {TotUsed1, &used},   {TotUsed2, &used},   {TotFree1, &free},   {TotFree2, &free}};
    for (const auto& [label, text] : pairs) label->SetCaption(*text);
}

// ---- the window ----------------------------------------------------------------------------------

void TVolSummaryFileContentsScreenForm::FormShow() {
    if (!FCounted) ++catalog::OpenReportCount;
    FCounted = true;
    CalculateSummaryColumnWidths(false);
    CalculateFileColumnWidths(false);
    ApplyColumnVisibility();
    ApplyPanelRule();
    TCPanel2->SetVisible(ExpandComment2->Checked);
    if (WindowState() == wsMinimized) SetWindowState(wsNormal);
}

void TVolSummaryFileContentsScreenForm::ApplyColumnVisibility() {
    for (int i = 0; i < kVolColumns; ++i)
        SummaryGrid->Columns()[i]->SetVisible(SummaryItems[size_t(i)]->Checked);
    for (int i = 0; i < kEntryColumns; ++i) FileGrid->Columns()[i]->SetVisible(FileItems[size_t(i)]->Checked);
}

void TVolSummaryFileContentsScreenForm::ApplyPanelRule() {
    TControl* const expandedTotals[] = {TCTotPanel};
    ShowReportPanels(ExpandComment1->Checked, ShowTotals1->Checked, *TotalPanel, *TCPanel, expandedTotals);
}

void TVolSummaryFileContentsScreenForm::ShowTotals1Click() {
    ShowTotals1->SetChecked(!ShowTotals1->Checked);
    ApplyPanelRule();
}

void TVolSummaryFileContentsScreenForm::ExpandComment1Click() {
    ExpandComment1->SetChecked(!ExpandComment1->Checked);
    ApplyPanelRule();
}

void TVolSummaryFileContentsScreenForm::ExpandComment2Click() {
    ExpandComment2->SetChecked(!ExpandComment2->Checked);
    TCPanel2->SetVisible(ExpandComment2->Checked);
}

void TVolSummaryFileContentsScreenForm::FormResize() {
    TPanel* const pads[] = {TCPanelPadLeft, TCPanelPadRight, TCPanelPadLeft2, TCPanelPadRight2};
    CentreReportPanels(Width(), pads, FTotalsRow);
}

void TVolSummaryFileContentsScreenForm::ChooseFont(TDBGrid& Grid, bool Summary) {
    TFont chosen;
    if (!AskReportFont(Grid.Font(), chosen)) return;
    if (Summary)
        SetSummaryFont(chosen);
    else
        SetFileFont(chosen);
}

void TVolSummaryFileContentsScreenForm::SetSummaryFont(const TFont& Font) {
    SummaryGrid->SetFont(Font);
    SummaryGrid->SetTitleFont(Font);
    DBMemo1->SetFont(Font);
    CalculateSummaryColumnWidths(true);
}

void TVolSummaryFileContentsScreenForm::SetFileFont(const TFont& Font) {
    FileGrid->SetFont(Font);
    FileGrid->SetTitleFont(Font);
    DBMemo2->SetFont(Font);
    CalculateFileColumnWidths(true);
}

void TVolSummaryFileContentsScreenForm::ViewFullSummaryRecord1Click() {
    ShowReportView(SummaryView, SummaryViewOpen, SummarySource, Caption());
}

void TVolSummaryFileContentsScreenForm::ViewFullFileRecord1Click() {
    ShowReportView(FileView, FileViewOpen, FileSource, Caption());
}

void TVolSummaryFileContentsScreenForm::FormClose(TCloseAction& Action) {
    CloseViews();
    FileTable->Close();
    CategoryTable->Close();
    SummaryTable->Close();
    if (FCounted) --catalog::OpenReportCount;
    FCounted = false;
    Action = caFree;
}

// ---- opening a file --------------------------------------------------------------------------------

void TVolSummaryFileContentsScreenForm::OpenBtnClick() {
    if (FileTable->Active() && !FileTable->IsEmpty()) OpenFile();
}

void TVolSummaryFileContentsScreenForm::FileGridMouseMove(int X, int Y) {
    FMouseX = X;
    FMouseY = Y;
}

void TVolSummaryFileContentsScreenForm::FileGridDblClick() {
    if (FileGrid->MouseCoord(FMouseX, FMouseY).Y < 1) return;  // the title row, or no cell
    OpenBtnClick();
}

void TVolSummaryFileContentsScreenForm::OpenFile() {
    if (!Trim(FileTable->FieldByName("ArchiveID")->AsString()).empty()) {
        catalog::ErrorBox(
            "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File");
        return;
    }
    // A volume without a drive letter (made by a text import) is looked for on A.
    const std::string from = SummaryTable->FieldByName("CatalogedFrom")->AsString();
    const char drive = !from.empty() && std::isalpha(static_cast<unsigned char>(from[0])) ? from[0] : 'A';
    const std::string path =
        cataloging::LocateCatalogedFile(drive, FileTable->FieldByName("FolderName")->AsString(),
                                        FileTable->FieldByName("FileName")->AsString(),
                                        SummaryTable->FieldByName("CatalogVolumeLabel")->AsString());
    if (!path.empty()) OpenReportFile(*Spawn, path);
}

}  // namespace reports
