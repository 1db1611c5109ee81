#include "reports/custom/CustomFileReportPromptForm.h"

#include <string>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "reports/custom/CustomFileReportDefs.h"
#include "reports/filereport/FileReportScreenForm.h"

namespace reports {

using namespace framework;

namespace {

constexpr int kPromptRowsTop = 28;
constexpr int kPromptValueLeft = 120, kPromptListLeft = 392;

}  // namespace

TCustomFileReportPromptForm::TCustomFileReportPromptForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CustomFileReportPromptForm");
    SetCaption("Enter Specific Report Requirements");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    Controller = NewComponent<entry::TCtlController>(this);
    CategoryTable = NewComponent<dbsql::TDbTable>(this);
    CategoryTable->SetName("CategoryTable");

    catalog::NewLabel(*this, *this, "ItemHeading", 8, 8, 100, "Item");
    catalog::NewLabel(*this, *this, "SpecHeading", kPromptValueLeft, 8, 200, "Search Spec");
    catalog::NewLabel(*this, *this, "CritHeading", kPromptListLeft, 8, 130, "Search Criteria");

    auto edit = [this](TWinControl& Parent, const char* Name, int Width) {
        auto* e = catalog::NewControl<TEdit>(*this, Parent, Name, kPromptValueLeft, 1, Width, 22);
        e->SetCharCase(ecUpperCase);
        return e;
    };
    for (int item : kFileCriterionItems) {
        const size_t i = size_t(item - 1);
        const std::string n = std::to_string(item);
        const int height = item == 11 ? CommentRowHeight : RowHeight;
        TPanel* panel = catalog::NewPanel(*this, *this, ("Panel" + n).c_str(), 0, 0, 528, height, bvNone);
        Panels[i] = panel;
        const char* caption = item == 1   ? "FileName:"
                              : item == 2 ? "Volume Label:"
                              : item == 3 ? "Folder Name:"
                              : item == 4 ? "Archive ID:"
                              : item == 5 ? "File Size:"
                              : item == 6 ? "File Date:"
                              : item == 9 ? "Category Code:"
                                          : "Comment";
        catalog::NewLabel(*this, *panel, ("Caption" + n).c_str(), 8, 4, 108, caption);
        auto* list =
            catalog::NewControl<TComboBox>(*this, *panel, ("SrchC" + n).c_str(), kPromptListLeft, 1, 128, 22);
        list->SetStyle(csDropDownList);
        for (const std::string& t : FileCriterionTexts(item, false)) list->Items().Add(t);
        list->SetItemIndex(0);
        SrchC[i] = list;
    }
    FileName = edit(*Panels[0], "FileName", 264);
    VolumeLabel = edit(*Panels[1], "VolumeLabel", 120);
    VolumeLabel->SetMaxLength(11);
    FolderName = edit(*Panels[2], "FolderName", 264);
    ArchiveID = edit(*Panels[3], "ArchiveID", 264);
    FileSize = catalog::NewControl<entry::TCtlPictureField>(*this, *Panels[4], "FileSize", kPromptValueLeft,
                                                            1, 120, 22);
    FileSize->SetDataType(entry::pftString);
    FileSize->SetPictureMask("9999999999999");
    DateModified = catalog::NewControl<entry::TCtlDateEdit>(*this, *Panels[5], "DateModified",
                                                            kPromptValueLeft, 1, 120, 22);
    DateModified->RequiredFields = entry::rfMonth | entry::rfDay;
    CategoryCode = edit(*Panels[8], "CategoryCode", 80);
    CategoryCode->SetMaxLength(6);
    CategoryCode->OnExit = [this](TObject*) { CategoryCodeExit(); };
    CtlAttachedButton1 = catalog::NewControl<entry::TCtlAttachedButton>(
        *this, *Panels[8], "CtlAttachedButton1", kPromptValueLeft + 80, 1, 22, 22);
    CtlAttachedButton1->SetAttachedControl(CategoryCode);
    CtlAttachedButton1->SetCaption("...");
    CtlAttachedButton1->Hint = "Select From A List";
    CtlAttachedButton1->OnClick = [this](TObject*) { CtlAttachedButton1Click(); };
    Comment = catalog::NewControl<TMemo>(*this, *Panels[10], "Comment", kPromptValueLeft, 1, 140, 48);
    MatchesRequiredLabel =
        catalog::NewLabel(*this, *Panels[10], "MatchesRequiredLabel", 264, 4, 120, "Keywords To Match");
    MatchesRequired =
        catalog::NewControl<entry::TCtlPictureField>(*this, *Panels[10], "MatchesRequired", 264, 24, 40, 22);
    MatchesRequired->SetDataType(entry::pftInteger);
    MatchesRequired->SetPictureMask("iii");
    MatchesRequired->SetRangeLo("1");
    MatchesRequired->SetRangeHi("999");
    MatchesRequired->SetAsInteger(1);
    MatchesRequiredSpinner = catalog::NewControl<entry::TCtlSpinner>(
        *this, *Panels[10], "MatchesRequiredSpinner", 304, 24, 16, 22);
    MatchesRequiredSpinner->Delta = 1;
    MatchesRequiredSpinner->WrapMode = false;
    MatchesRequiredSpinner->SetFocusedControl(MatchesRequired);
    SrchC[10]->OnChange = [this](TObject*) { SrchC11Change(); };

    BitBtn1 = catalog::NewDialogButton(*this, *this, "BitBtn1", bkCustom, 8, 0);
    BitBtn1->SetCaption("&Continue");
    BitBtn1->SetDefault(true);
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 104, 0);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 200, 0, &HelpContext);
    PlaceRows();

    // FormCreate: the categories the code is checked against.
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    CategoryTable->Open();
}

void TCustomFileReportPromptForm::PlaceRows() {
    int top = kPromptRowsTop;
    for (int item : kFileCriterionItems) {
        TPanel* panel = Panels[size_t(item - 1)];
        panel->SetTop(top);
        if (panel->Visible()) top += panel->Height();
    }
    for (TBitBtn* b : {BitBtn1, CancelBtn, HelpBtn}) b->SetTop(top + 12);
    SetClientSize(536, top + 12 + 33 + 10);
}

void TCustomFileReportPromptForm::Preset(const TFileReportScreenForm& Report,
                                         const std::string& StoredComment,
                                         const std::array<bool, 12>& Prompted) {
    FileName->SetText(Report.FileNameSpec);
    VolumeLabel->SetText(Report.VolumeLabelSpec);
    FolderName->SetText(Report.FolderNameSpec);
    ArchiveID->SetText(Report.ArchiveIDSpec);
    FileSize->SetAsString(std::to_string(Report.FileSizeValue));
    if (Report.DateValue == 0)
        DateModified->SetText("");
    else
        DateModified->SetDate(Report.DateValue);
    CategoryCode->SetText(Report.CategoryCodeValue);
    Comment->SetText(StoredComment);
    MatchesRequired->SetAsInteger(Report.MatchesRequired);
    const int fullHeight = Height();
    for (int item : kFileCriterionItems) {
        const size_t i = size_t(item - 1);
        Panels[i]->SetVisible(Prompted[i]);
        SrchC[i]->SetItemIndex(Prompted[i] ? 1 : -1);
    }
    PlaceRows();
    // Stays centred where it was.
    SetTop(Top() + (fullHeight - Height()) / 2);
}

void TCustomFileReportPromptForm::TakeAnswers(TFileReportScreenForm& Report) {
    auto op = [this](int Item) { return FileOpFromPromptIndex(Item, SrchC[size_t(Item - 1)]->ItemIndex()); };
    auto shown = [this](int Item) { return Panels[size_t(Item - 1)]->Visible(); };
    const std::array<std::pair<int, std::string TFileReportScreenForm::*>, 4> masks{
        {{1, &TFileReportScreenForm::FileNameSpec},
         {2, &TFileReportScreenForm::VolumeLabelSpec},
         {3, &TFileReportScreenForm::FolderNameSpec},
         {4, &TFileReportScreenForm::ArchiveIDSpec}}};
    const std::array<TEdit*, 4> edits{FileName, VolumeLabel, FolderName, ArchiveID};
    for (size_t k = 0; k < masks.size(); ++k) {
        const int item = masks[k].first;
        if (!shown(item)) continue;
        Report.*masks[k].second = edits[k]->Text();
        Report.Op[size_t(item - 1)] = op(item);
    }
    if (shown(5)) {
        // An emptied size counts as 0.
        Report.FileSizeValue = WholeNumberText(FileSize->GetAsString());
        Report.Op[4] = op(5);
    }
    if (shown(6)) {
        if (!Trim(DateModified->Text()).empty()) Report.DateValue = DateModified->GetDate();
        Report.Op[5] = op(6);
    }
    if (shown(9)) {
        Report.CategoryCodeValue = CategoryCode->Text().substr(0, 6);
        Report.Op[8] = op(9);
    }
    if (shown(11)) {
        Report.CommentText = FirstCommentLine(Comment->Text());
        Report.MatchesRequired = MatchesRequired->GetAsInteger();
        Report.Op[10] = op(11);
    }
}

void TCustomFileReportPromptForm::DoShow() {
    SrchC11Change();
    TForm::DoShow();
}

void TCustomFileReportPromptForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    CategoryTable->Close();
}

void TCustomFileReportPromptForm::SrchC11Change() {
    const bool some = SrchC[10]->ItemIndex() == 5;  // "Keywords-Some"
    MatchesRequired->SetVisible(some);
    MatchesRequiredSpinner->SetVisible(some);
    MatchesRequiredLabel->SetVisible(some);
}

void TCustomFileReportPromptForm::CategoryCodeExit() {
    CheckFileCategoryCode(*CategoryTable, *CategoryCode, CategoryCode->Text());
}

void TCustomFileReportPromptForm::CtlAttachedButton1Click() {
    const auto code = PickFileCategoryCode();
    if (!code) return;
    CategoryCode->SetText(*code);
    if (SrchC[8]->CanFocus()) SrchC[8]->SetFocus();
}

void TCustomFileReportPromptForm::BitBtn1Click() {
    if (Panels[5]->Visible() && SrchC[5]->ItemIndex() > 0 && Trim(DateModified->Text()).empty()) {
        catalog::ErrorBox(DateMissingText);
        if (DateModified->CanFocus()) DateModified->SetFocus();
        return;
    }
    SetModalResult(mrOk);
}

}  // namespace reports
