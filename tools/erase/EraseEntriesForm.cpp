#include "tools/erase/EraseEntriesForm.h"

#include <algorithm>
#include <cmath>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlTableBase.h"
#include "controls/grid/CtlTableCells.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace tools {

using namespace framework;
using cataloging::TEditorHourglass;
using cataloging::TEditorProgress;

namespace {

const char* const kEraseCountFormat = "#,###,###,##0";
const char* const kEraseBytesFormat = "###,###,###,###,##0";

const char* const kEraseStoredFields[] = {"FileName",     "VolumeLabel",  "FolderName",   "ArchiveID",
                                          "FileSize",     "DateModified", "TimeModified", "Attribute",
                                          "CategoryCode", "Comment",      "Tag"};

// The grid's columns: field, heading, starting width of a measured column (0: not measured), how
// the cell sits, hidden.
struct TEraseColumn {
    const char* Field;
    const char* Heading;
    int StartWidth;
    grid::TCtlTblAdjust Adjust;
    bool Hidden;
};
constexpr TEraseColumn kEraseColumns[] = {{"Tagged", "Tagged", 46, grid::otaCenter, false},
                                          {"FileName", "FileName", 44, grid::otaDefault, false},
                                          {"VolumeLabel", "Volume Label", 64, grid::otaDefault, false},
                                          {"FolderName", "Folder Name", 60, grid::otaDefault, false},
                                          {"ArchiveID", "Archive ID", 48, grid::otaDefault, false},
                                          {"FileSize", "File Size", 40, grid::otaCenterRight, false},
                                          {"DateModified", "Date Modified", 65, grid::otaCenter, false},
                                          {"TimeModified", "Time Modified", 66, grid::otaCenter, false},
                                          {"AttributeStr", "Attribute", 38, grid::otaCenter, false},
                                          {"CategoryCode", "Category Code", 68, grid::otaDefault, false},
                                          {"CategoryStr", "Category", 42, grid::otaDefault, false},
                                          {"CommentStr", "Comment", 44, grid::otaDefault, false},
                                          {"Comment", "RawComment", 0, grid::otaDefault, true},
                                          {"Attribute", "Attribute", 0, grid::otaDefault, true},
                                          {"Tag", "Tag", 0, grid::otaDefault, true}};
constexpr int kMeasuredColumns = 11;  // columns 1 to 11

// The text a measured column shows for the current entry.
std::string EraseColumnText(TDataSet& Entries, int Column) {
    if (Column == 5)
        return FormatFloat(kEraseBytesFormat, double(TEraseSpecificFileEntriesForm::EntrySize(Entries)));
    return Entries.FieldByName(kEraseColumns[Column].Field)->AsString();
}

}  // namespace

TEraseSpecificFileEntriesForm::TEraseSpecificFileEntriesForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("EraseSpecificFileEntriesForm");
    SetCaption("Erase Specific File Entries In This Catalog");
    Position = poScreenCenter;
    SetClientSize(780, 460);
    Constraints().SetMinWidth(640);
    Constraints().SetMinHeight(260);
    FormState = cataloging::NewRegistryFormState(*this, "TEraseSpecificFileEntriesForm", Store);

    auto table = [this](const char* Name) {
        auto* t = NewComponent<dbsql::TDbTable>(this);
        t->SetName(Name);
        return t;
    };
    CatalogTable = table("CatalogTable");
    CategoryTable = table("CategoryTable");
    PointerTable = table("PointerTable");
    // Creation: the folders and names of the three tables.
    CatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
    CatalogTable->SetTableName(catalog::CurrentCatalogName + "_CAT");
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    PointerTable->SetDatabaseName(catalog::ProgramFolder);
    PointerTable->SetTableName("ErasePointers");
    CatalogSource = NewComponent<TDataSource>(this);
    CatalogSource->SetDataSet(CatalogTable);
    CatalogSource->AutoEdit = false;
    CatalogTable->SetOnFilterRecordValue([this](TDataSet* Set, bool& Accept) { Accept = Listed(*Set); });
    CatalogTable->OnCalcFields = [this](TDataSet*) {
        CatalogTable->FieldByName("Tagged")->SetAsBoolean(
            FLookupTagged && IsTagged(CatalogTable->FieldByName("Tag")->AsInteger()));
        CatalogTable->FieldByName("AttributeStr")
            ->SetAsString(
                catalog::EntryAttributeLetters(CatalogTable->FieldByName("Attribute")->AsInteger()));
        CatalogTable->FieldByName("CommentStr")
            ->SetAsString(
                catalog::CommentFirstLine(CatalogTable->FieldByName("Comment")->AsString()).substr(0, 80));
    };

    // The top row: the catalog and the four counters.
    catalog::NewLabel(*this, *this, "ActiveCatalogLabel", 4, 4, 90, "Active Catalog");
    ActiveCatalog = catalog::NewPanel(*this, *this, "ActiveCatalog", 4, 22, 150, 23, bvLowered);
    ActiveCatalog->SetCaption(catalog::CurrentCatalogName);
    auto counter = [this](const char* Name, const char* Caption, int Left) {
        catalog::NewLabel(*this, *this, (std::string(Name) + "Caption").c_str(), Left, 4, 140, Caption);
        TLabel* value = catalog::NewLabel(*this, *this, Name, Left, 26, 140, "0");
        value->SetAutoSize(false);
        value->SetAlignment(taRightJustify);
        return value;
    };
    FilesInListLabel = counter("FilesInListLabel", "Files In List", 170);
    BytesInListLabel = counter("BytesInListLabel", "Bytes In List", 320);
    TaggedFilesLabel = counter("TaggedFilesLabel", "Tagged Files", 470);
    BytesInTaggedLabel = counter("BytesInTaggedLabel", "Bytes In Tagged Files", 620);

    Table = catalog::NewControl<grid::TCtlDbTable>(*this, *this, "Table", 4, 52, 772, 300);
    Table->SetOptions((Table->Options() & ~grid::CtlDbOption(grid::dtoShowIndicators)) |
                      grid::CtlDbOption(grid::dtoHighlightActiveRow));
    Table->SetRowHeight(21);
    Table->SetHeaderHeight(21);
    Table->SetAccess(grid::otxReadOnly);
    Table->Columns().Clear();
    auto* box = NewComponent<grid::TCtlTCCheckBox>(this);
    box->SetName("TaggedCell");
    box->SetAccess(grid::otxReadOnly);
    box->SetAdjust(grid::otaCenter);
    for (const TEraseColumn& c : kEraseColumns) {
        auto* column = new grid::TCtlDbTableColumn(Table);
        column->SetDataField(c.Field);
        column->SetWidth(c.StartWidth > 0 ? c.StartWidth : 40);
        column->SetHidden(c.Hidden);
        Table->Columns().Append(column);
        if (c.Adjust != grid::otaDefault && std::string(c.Field) != "Tagged") {
            auto* cell = NewComponent<grid::TCtlTCString>(this);
            cell->SetName(std::string(c.Field) + "Cell");
            cell->SetAccess(grid::otxReadOnly);
            cell->SetAdjust(c.Adjust);
            column->SetDefaultCell(cell);
        }
    }
    Table->Column(0)->SetDefaultCell(box);
    Table->SetDataSource(CatalogSource);
    Table->SetLockedColumns(1);
    Table->OnLockedCellClick = [this](TObject*, int32_t Row, int32_t) { TaggedCellClick(Row); };
    FMeasure = catalog::NewLabel(*this, *this, "MeasureLabel", 0, 0, 10, "");
    FMeasure->SetVisible(false);

    catalog::NewLabel(*this, *this, "PatternLabel", 4, 362, 110, "Pattern To Match");
    Pattern = catalog::NewControl<TEdit>(*this, *this, "Pattern", 4, 380, 150, 23);
    Pattern->SetCharCase(ecUpperCase);
    Pattern->SetText("*");
    Pattern->OnEnter = [this](TObject*) { PatternEnter(); };
    Pattern->OnExit = [this](TObject*) { PatternExit(); };
    auto button = [this](const char* Name, const char* Caption, int Left, int Top,
                         std::function<void()> Click) {
        return cataloging::NewEditorButton(*this, Name, Caption, Left, Top, 100, std::move(Click));
    };
    // Apply only takes the focus: leaving the pattern field applies it.
    ApplyBtn = button("ApplyBtn", "A&pply", 158, 379, [this] {
        if (ApplyBtn->CanFocus()) ApplyBtn->SetFocus();
    });
    ApplyBtn->SetDefault(true);
    TagAllBtn = button("TagAllBtn", "&Tag All", 270, 364, [this] { TagAllClick(); });
    ClearTagsBtn = button("ClearTagsBtn", "&Clear Tags", 374, 364, [this] { ClearTagsClick(); });
    TagSeveralBtn = button("TagSeveralBtn", "Tag &Several", 478, 364, [this] { TagSeveralClick(); });
    UntagSeveralBtn = button("UntagSeveralBtn", "&Untag Several", 582, 364, [this] { UntagSeveralClick(); });
    InvertTagsBtn = button("InvertTagsBtn", "&Invert Tags", 270, 400, [this] { InvertTagsClick(); });
    EraseBtn = button("EraseBtn", "&Erase Tagged", 374, 400, [this] { EraseTaggedClick(); });
    CloseBtn = catalog::NewDialogButton(*this, *this, "CloseBtn", bkClose, 478, 400);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 582, 400, &HelpContext);
    for (TBitBtn* b : {CloseBtn, HelpBtn}) b->SetWidth(100);
    // The list takes what the window grows by; the controls below it stay at the bottom.
    Table->SetAnchors(akLeft | akTop | akRight | akBottom);
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TControl*>(Components(i)); c && c->Parent() == this && c->Top() > 355)
            c->SetAnchors(akLeft | akBottom);
}

int64_t TEraseSpecificFileEntriesForm::EntrySize(TDataSet& Entries) {
    const std::string text = Trim(Entries.FieldByName("FileSize")->AsString());
    if (text.empty()) return 0;
    return StrToInt64Def(text, 0);
}

bool TEraseSpecificFileEntriesForm::IsTagged(int32_t Tag) {
    return PointerTable->Active() && PointerTable->FindKey({Variant(Tag)});
}

bool TEraseSpecificFileEntriesForm::Listed(TDataSet& Entries) {
    // A malformed pattern lists nothing until the pattern changes.
    return FMask && FMask->Matches(Entries.FieldByName("FileName")->AsString());
}

void TEraseSpecificFileEntriesForm::CreateErasePointers() {
    PointerTable->Close();
    if (PointerTable->Exists()) PointerTable->DeleteTable();
    PointerTable->FieldDefs.Clear();
    PointerTable->FieldDefs.Add("Tag", ftInteger, 0, true);
    PointerTable->IndexDefs.Clear();
    PointerTable->IndexDefs.Add("", "Tag", ixPrimary | ixUnique);
    PointerTable->CreateTable();
    PointerTable->Open();
}

void TEraseSpecificFileEntriesForm::ShowEraseCounters(bool TaggedOnly) {
    TaggedFilesLabel->SetCaption(FormatFloat(kEraseCountFormat, double(TaggedFiles)));
    BytesInTaggedLabel->SetCaption(FormatFloat(kEraseBytesFormat, double(BytesInTagged)));
    if (TaggedOnly) return;
    FilesInListLabel->SetCaption(FormatFloat(kEraseCountFormat, double(FilesInList)));
    BytesInListLabel->SetCaption(FormatFloat(kEraseBytesFormat, double(BytesInList)));
}

void TEraseSpecificFileEntriesForm::TagEntry() {
    const int32_t tag = CatalogTable->FieldByName("Tag")->AsInteger();
    if (IsTagged(tag)) return;
    PointerTable->Append();
    PointerTable->FieldByName("Tag")->SetAsInteger(tag);
    PointerTable->Post();
    ++TaggedFiles;
    BytesInTagged += EntrySize(*CatalogTable);
    ShowEraseCounters(true);
}

void TEraseSpecificFileEntriesForm::UntagEntry() {
    if (!IsTagged(CatalogTable->FieldByName("Tag")->AsInteger())) return;
    --TaggedFiles;
    BytesInTagged -= EntrySize(*CatalogTable);
    ShowEraseCounters(true);
    PointerTable->Delete();
}

void TEraseSpecificFileEntriesForm::ToggleEntryTag() {
    if (IsTagged(CatalogTable->FieldByName("Tag")->AsInteger()))
        UntagEntry();
    else
        TagEntry();
}

void TEraseSpecificFileEntriesForm::CountListed(const std::string& Caption, bool Cancellable,
                                                bool MeasureColumns) {
    int widths[kMeasuredColumns];
    for (int i = 0; i < kMeasuredColumns; ++i) widths[i] = kEraseColumns[i + 1].StartWidth;
    FilesInList = BytesInList = 0;
    {
        std::optional<TEditorProgress> progress;
        if (!Caption.empty()) progress.emplace(Caption, Cancellable);
        const int total = std::max(1, CatalogTable->RecordCount());
        CatalogTable->DisableControls();
        try {
            for (CatalogTable->First(); !CatalogTable->Eof(); CatalogTable->Next()) {
                if (Cancellable && TEditorProgress::Cancelled()) break;
                if (MeasureColumns)
                    for (int i = 0; i < kMeasuredColumns; ++i)
                        widths[i] = std::max(
                            widths[i], cataloging::EditorTextWidth(*FMeasure, *Table,
                                                                   EraseColumnText(*CatalogTable, i + 1)));
                ++FilesInList;
                BytesInList += EntrySize(*CatalogTable);
                TEditorProgress::Show(static_cast<int>(FilesInList * 100 / total));
            }
            CatalogTable->First();
        } catch (...) {
            CatalogTable->EnableControls();
            throw;
        }
        CatalogTable->EnableControls();
    }
    if (MeasureColumns)
        for (int i = 0; i < kMeasuredColumns; ++i) Table->Column(i + 1)->SetWidth(widths[i] + 8);
    ShowEraseCounters(false);
}

void TEraseSpecificFileEntriesForm::DoShow() {
    CreateErasePointers();
    CategoryTable->Open();
    CatalogTable->Close();
    if (CatalogTable->Fields.Count() == 0) {
        CatalogTable->FieldDefs.Update();
        cataloging::AddCatalogEntryFields(*CatalogTable, kEraseStoredFields, nullptr);
        CatalogTable->AddField<TBooleanField>("Tagged", fkCalculated);
        CatalogTable->AddField<TStringField>("AttributeStr", fkCalculated, 4);
        CatalogTable->AddField<TStringField>("CommentStr", fkCalculated, 80);
        auto* category = CatalogTable->AddField<TStringField>("CategoryStr", fkLookup, 30);
        category->SetLookupDataSet(CategoryTable);
        category->KeyFields = "CategoryCode";
        category->LookupKeyFields = "Code";
        category->LookupResultField = "Description";
        for (const TEraseColumn& c : kEraseColumns)
            CatalogTable->FieldByName(c.Field)->SetDisplayLabel(c.Heading);
        CatalogTable->FieldByName("FileSize")->DisplayFormat = "###,###,###,###,###";
    }
    CatalogTable->SetFilteredValue(false);
    CatalogTable->Open();
    TaggedFiles = BytesInTagged = 0;
    FEnteredPattern = Pattern->Text();
    FMask.emplace(Trim(Pattern->Text()).empty() ? std::string("*") : Pattern->Text());
    CountListed("Calculating Column Sizes For Display And Getting Totals", true, true);
    CatalogTable->SetFilteredValue(true);
    TForm::DoShow();
}

void TEraseSpecificFileEntriesForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    CatalogTable->Close();
    CategoryTable->Close();
    PointerTable->Close();
    if (PointerTable->Exists()) PointerTable->DeleteTable();
}

void TEraseSpecificFileEntriesForm::PatternEnter() {
    FEnteredPattern = Pattern->Text();
}

void TEraseSpecificFileEntriesForm::PatternExit() {
    if (Pattern->Text() == FEnteredPattern) return;
    CreateErasePointers();
    TaggedFiles = BytesInTagged = 0;
    if (Trim(Pattern->Text()).empty()) Pattern->SetText("*");
    FEnteredPattern = Pattern->Text();
    FMask.reset();
    std::optional<EMaskException> bad;
    try {
        FMask.emplace(Pattern->Text());
    } catch (const EMaskException& e) {
        bad = e;
    }
    CatalogTable->Refresh();
    CountListed("Recalculating Totals", false, false);
    if (bad) Application->ShowException(*bad);
}

void TEraseSpecificFileEntriesForm::RunTagOperation(const std::string& FileSpec, TEraseTagMode Mode) {
    static const char* const captions[] = {
        "Tagging All Files", "UnTagging All Files", "Tagging Files Matching The Specified Filespec",
        "UnTagging Files Matching The Specified Filespec", "Inverting All Tags"};
    std::optional<TMask> spec;
    if (Mode == etmTagMatching || Mode == etmUntagMatching) spec.emplace(FileSpec);
    TEditorProgress progress(captions[Mode - 1], false);
    TBookmark here = CatalogTable->GetBookmark();
    CatalogTable->DisableControls();
    auto restore = [&] {
        try {
            CatalogTable->GotoBookmark(here);
        } catch (const std::exception&) {
        }
        CatalogTable->FreeBookmark(here);
        CatalogTable->EnableControls();
    };
    try {
        TEditorHourglass busy;
        const int total = std::max(1, CatalogTable->RecordCount());
        int done = 0;
        for (CatalogTable->First(); !CatalogTable->Eof(); CatalogTable->Next()) {
            switch (Mode) {
                case etmTagAll:
                    TagEntry();
                    break;
                case etmClearTags:
                    UntagEntry();
                    break;
                case etmTagMatching:
                    if (spec->Matches(CatalogTable->FieldByName("FileName")->AsString())) TagEntry();
                    break;
                case etmUntagMatching:
                    if (spec->Matches(CatalogTable->FieldByName("FileName")->AsString())) UntagEntry();
                    break;
                case etmInvertTags:
                    ToggleEntryTag();
                    break;
            }
            TEditorProgress::Show(static_cast<int>(++done * 100 / total));
        }
    } catch (...) {
        restore();
        CatalogTable->Refresh();
        throw;
    }
    restore();
    CatalogTable->Refresh();
}

void TEraseSpecificFileEntriesForm::TagAllClick() {
    RunTagOperation("", etmTagAll);
}

void TEraseSpecificFileEntriesForm::ClearTagsClick() {
    RunTagOperation("", etmClearTags);
}

void TEraseSpecificFileEntriesForm::InvertTagsClick() {
    RunTagOperation("", etmInvertTags);
}

void TEraseSpecificFileEntriesForm::TagSeveralClick() {
    std::string spec;
    if (catalog::AskForString("Tag Several", "Tag Files Conforming To This Filespec", spec))
        RunTagOperation(spec, etmTagMatching);
}

void TEraseSpecificFileEntriesForm::UntagSeveralClick() {
    std::string spec;
    if (catalog::AskForString("UnTag Several", "UnTag Files Conforming To This Filespec", spec))
        RunTagOperation(spec, etmUntagMatching);
}

void TEraseSpecificFileEntriesForm::TaggedCellClick(int32_t Row) {
    if (Row < 0 || !CatalogTable->Active() || CatalogTable->IsEmpty()) return;
    Table->SetActiveRow(Row);
    ToggleEntryTag();
    CatalogTable->Refresh();
}

void TEraseSpecificFileEntriesForm::EraseTaggedClick() {
    if (!PointerTable->Active() || PointerTable->IsEmpty()) {
        catalog::ErrorBox("No Files Tagged");
        return;
    }
    if (MessageDlg(EraseQuestion, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
    {
        TEditorProgress progress("Erasing Tagged Files From The Catalog", false);
        TEditorHourglass busy;
        FLookupTagged = false;
        CatalogTable->DisableControls();
        auto back = [this] {
            CatalogTable->SetIndexName("");
            CatalogTable->SetFilteredValue(true);
            CatalogTable->First();
            FLookupTagged = true;
            CatalogTable->EnableControls();
        };
        try {
            CatalogTable->SetFilteredValue(false);
            CatalogTable->SetIndexName("ByTag");
            const int total = std::max(1, PointerTable->RecordCount());
            int done = 0;
            for (PointerTable->First(); !PointerTable->Eof(); PointerTable->Next()) {
                // An entry that no longer exists is skipped.
                if (CatalogTable->FindKey({Variant(PointerTable->FieldByName("Tag")->AsInteger())}))
                    CatalogTable->Delete();
                TEditorProgress::Show(static_cast<int>(++done * 100 / total));
            }
            CreateErasePointers();
        } catch (...) {
            back();
            throw;
        }
        back();
    }
    CatalogTable->Refresh();
    TaggedFiles = BytesInTagged = 0;
    CountListed("", false, false);
}

}  // namespace tools
