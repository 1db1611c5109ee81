// The dialog that asks, when a stored disk summary report runs, for the criteria it keeps as
// "Prompt".

#include <algorithm>
#include <climits>

#include "catalog/FormParts.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "reports/custom/CustomSummaryReportForm.h"

namespace reports {

using namespace framework;

namespace {

const std::vector<const char*> kSummaryPromptLabelOps = {"Ignore", "Matches", "Doesn't Match"};
const std::vector<const char*> kSummaryPromptValueOps = {
    "Ignore", "Equal", "Not Equal", "Less Than", "LT Or Equal", "Greater Than", "GT Or Equal"};
const std::vector<const char*> kSummaryPromptCommentOps = {"Ignore",        "Has Phrase",    "Lacks Phrase",
                                                           "Blank Comment", "Non-Blank Cmt", "Keywords-Some",
                                                           "Keywords-All"};
constexpr int kSummaryPromptKeywordsSome = 5;
constexpr int kSummaryPromptRowHeight = 25, kSummaryPromptCommentHeight = 52;
constexpr int kSummaryPromptTop = 28, kSummaryPromptWidth = 500;

struct TSummaryPromptRow {
    int Item;
    const char* Caption;
    const std::vector<const char*>* Ops;
};
const TSummaryPromptRow kSummaryPromptRows[] = {{1, "Catalog Volume Label", &kSummaryPromptLabelOps},
                                                {4, "Date First Cataloged", &kSummaryPromptValueOps},
                                                {5, "Date Last Cataloged", &kSummaryPromptValueOps},
                                                {6, "Disk Size", &kSummaryPromptValueOps},
                                                {7, "Cluster Size", &kSummaryPromptValueOps},
                                                {8, "Space Used", &kSummaryPromptValueOps},
                                                {9, "Free Space", &kSummaryPromptValueOps},
                                                {11, "Files On Disk", &kSummaryPromptValueOps},
                                                {12, "Files In Archives", &kSummaryPromptValueOps},
                                                {13, "Drive Cataloged From", &kSummaryPromptLabelOps},
                                                {14, "Comment", &kSummaryPromptCommentOps}};

int SummaryPromptRowHeight(int Item) {
    return Item == 14 ? kSummaryPromptCommentHeight : kSummaryPromptRowHeight;
}

entry::TCtlPictureField* SummaryPromptNumber(TComponent& Owner, TWinControl& Parent, const char* Name,
                                             int Digits) {
    auto* field = catalog::NewControl<entry::TCtlPictureField>(Owner, Parent, Name, 160, 1, 140, 23);
    field->SetDataType(entry::pftString);
    field->SetPictureMask(std::string(size_t(Digits), '9'));
    return field;
}

// A number typed in a prompt's field; an emptied field counts as 0.
int64_t SummaryPromptValue(entry::TCtlPictureField& Field) {
    return StrToInt64Def(Trim(Field.GetAsString()), 0);
}

}  // namespace

TCustomSummaryReportPromptForm::TCustomSummaryReportPromptForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CustomSummaryReportPromptForm");
    SetCaption("Enter Specific Report Requirements");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    Controller = NewComponent<entry::TCtlController>(this);
    catalog::NewLabel(*this, *this, "ItemHeading", 12, 8, 140, "Item");
    catalog::NewLabel(*this, *this, "SearchSpecHeading", 164, 8, 140, "Search Spec");
    catalog::NewLabel(*this, *this, "SearchCriteriaHeading", 324, 8, 140, "Search Criteria");
    int top = kSummaryPromptTop;
    for (const TSummaryPromptRow& row : kSummaryPromptRows) {
        const size_t i = size_t(row.Item - 1);
        const int height = SummaryPromptRowHeight(row.Item);
        const std::string item = std::to_string(row.Item);
        TPanel* panel = catalog::NewPanel(*this, *this, ("Panel" + item).c_str(), 4, top,
                                          kSummaryPromptWidth - 8, height, bvNone);
        Panels[i] = panel;
        catalog::NewLabel(*this, *panel, ("Caption" + item).c_str(), 8, 4, 148, row.Caption);
        auto* list = catalog::NewControl<TComboBox>(*this, *panel, ("SrchC" + item).c_str(), 320, 1, 140, 23);
        list->SetStyle(csDropDownList);
        for (const char* op : *row.Ops) list->Items().Add(op);
        SrchC[i] = list;
        top += height;
    }
    CatalogVolumeLabel = catalog::NewControl<TEdit>(*this, *Panels[0], "CatalogVolumeLabel", 160, 1, 140, 23);
    CatalogVolumeLabel->SetCharCase(ecUpperCase);
    CatalogVolumeLabel->SetMaxLength(11);
    const auto dateEdit = [this](int Item, const char* Name) {
        auto* date =
            catalog::NewControl<entry::TCtlDateEdit>(*this, *Panels[size_t(Item - 1)], Name, 160, 1, 140, 23);
        return date;
    };
    DateFirstCataloged = dateEdit(4, "DateFirstCataloged");
    DateLastCataloged = dateEdit(5, "DateLastCataloged");
    const char* const sizeNames[] = {"DiskSize", "ClusterSize", "DiskUsed", "DiskFree"};
    for (size_t n = 0; n < SizeFields.size(); ++n)
        SizeFields[n] = SummaryPromptNumber(*this, *Panels[5 + n], sizeNames[n], 13);
    CountFields[0] = SummaryPromptNumber(*this, *Panels[10], "FilesOnDisk", 10);
    CountFields[1] = SummaryPromptNumber(*this, *Panels[11], "FilesInArchives", 10);
    CatalogedFrom = catalog::NewControl<TComboBox>(*this, *Panels[12], "CatalogedFrom", 160, 1, 60, 23);
    CatalogedFrom->SetStyle(csDropDownList);
    CatalogedFrom->Items().Add(" ");
    for (char drive = 'A'; drive <= 'Z'; ++drive) CatalogedFrom->Items().Add(std::string{drive, ':'});
    TPanel& commentRow = *Panels[13];
    Comment = catalog::NewControl<TMemo>(*this, commentRow, "Comment", 160, 1, 150, 48);
    KeywordsLabel = catalog::NewLabel(*this, commentRow, "KeywordsLabel", 320, 30, 110, "Keywords To Match");
    MatchesRequired =
        catalog::NewControl<entry::TCtlPictureField>(*this, commentRow, "MatchesRequired", 430, 27, 32, 23);
    MatchesRequired->SetDataType(entry::pftInteger);
    MatchesRequired->SetPictureMask("999");
    MatchesRequired->SetRangeLo("1");
    MatchesRequired->SetRangeHi("999");
    MatchesRequired->SetAsInteger(1);
    MatchesRequiredSpinner =
        catalog::NewControl<entry::TCtlSpinner>(*this, commentRow, "MatchesRequiredSpinner", 462, 27, 16, 23);
    MatchesRequiredSpinner->Delta = 1;
    MatchesRequiredSpinner->WrapMode = false;
    MatchesRequiredSpinner->SetFocusedControl(MatchesRequired);
    SrchC[13]->OnChange = [this](TObject*) { SrchC14Change(); };

    top += 10;
    BitBtn1 = catalog::NewControl<TBitBtn>(*this, *this, "BitBtn1", 96, top, 89, 33);
    BitBtn1->SetCaption("&Continue");
    BitBtn1->SetDefault(true);
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 192, top);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 288, top, &HelpContext);
    SetClientSize(kSummaryPromptWidth, top + 43);
}

TCustomSummaryReportPromptForm::~TCustomSummaryReportPromptForm() = default;

void TCustomSummaryReportPromptForm::Preset(const TSummaryReportSpec& Spec,
                                            const std::array<bool, kSummaryItems>& Prompted,
                                            const std::string& StoredComment) {
    FPrompted = Prompted;
    CatalogVolumeLabel->SetText(Spec.VolumeLabelSpec.substr(0, 11));
    DateFirstCataloged->SetDate(Spec.DateFirstValue);
    DateLastCataloged->SetDate(Spec.DateLastValue);
    const int64_t sizes[] = {Spec.DiskSizeValue, Spec.ClusterSizeValue, Spec.DiskUsedValue,
                             Spec.DiskFreeValue};
    for (size_t n = 0; n < SizeFields.size(); ++n) SizeFields[n]->SetAsString(std::to_string(sizes[n]));
    CountFields[0]->SetAsString(std::to_string(Spec.FilesOnDiskValue));
    CountFields[1]->SetAsString(std::to_string(Spec.FilesInArchivesValue));
    const bool drive = Spec.CatalogedFromValue.size() == 1 && Spec.CatalogedFromValue[0] >= 'A' &&
                       Spec.CatalogedFromValue[0] <= 'Z';
    CatalogedFrom->SetItemIndex(drive ? Spec.CatalogedFromValue[0] - 'A' + 1 : 0);
    Comment->SetText(StoredComment);
    MatchesRequired->SetAsInteger(Spec.MatchesRequired);

    // Hidden rows close up; the dialog keeps its centre.
    int hidden = 0, top = kSummaryPromptTop;
    for (const TSummaryPromptRow& row : kSummaryPromptRows) {
        const size_t i = size_t(row.Item - 1);
        const int height = SummaryPromptRowHeight(row.Item);
        SrchC[i]->SetItemIndex(Prompted[i] ? 1 : -1);
        Panels[i]->SetVisible(Prompted[i]);
        if (Prompted[i]) {
            Panels[i]->SetTop(top);
            top += height;
        } else {
            hidden += height;
        }
    }
    for (TControl* button : {static_cast<TControl*>(BitBtn1), static_cast<TControl*>(CancelBtn),
                             static_cast<TControl*>(HelpBtn)})
        button->SetTop(button->Top() - hidden);
    SetHeight(Height() - hidden);
    SetTop(Top() + hidden / 2);
    SrchC14Change();
}

void TCustomSummaryReportPromptForm::ApplyTo(TSummaryReportSpec& Spec) const {
    const auto prompted = [this](int Item) { return FPrompted[size_t(Item - 1)]; };
    const auto op = [this](int Item) { return SrchC[size_t(Item - 1)]->ItemIndex(); };
    if (prompted(1)) {
        Spec.VolumeLabelSpec = CatalogVolumeLabel->Text().substr(0, 11);
        Spec.Op[0] = uint8_t(op(1));
    }
    const auto date = [&](int Item, entry::TCtlDateEdit& Edit, TDateTime& Value) {
        if (!prompted(Item)) return;
        if (!Trim(Edit.Text()).empty()) Value = Edit.GetDate();
        Spec.Op[size_t(Item - 1)] = uint8_t(op(Item));
    };
    date(4, *DateFirstCataloged, Spec.DateFirstValue);
    date(5, *DateLastCataloged, Spec.DateLastValue);
    int64_t* sizes[] = {&Spec.DiskSizeValue, &Spec.ClusterSizeValue, &Spec.DiskUsedValue,
                        &Spec.DiskFreeValue};
    for (int n = 0; n < 4; ++n)
        if (prompted(6 + n)) {
            *sizes[n] = SummaryPromptValue(*SizeFields[size_t(n)]);
            Spec.Op[size_t(5 + n)] = uint8_t(op(6 + n));
        }
    int32_t* counts[] = {&Spec.FilesOnDiskValue, &Spec.FilesInArchivesValue};
    for (int n = 0; n < 2; ++n)
        if (prompted(11 + n)) {
            *counts[n] = int32_t(std::min<int64_t>(SummaryPromptValue(*CountFields[size_t(n)]), INT32_MAX));
            Spec.Op[size_t(10 + n)] = uint8_t(op(11 + n));
        }
    if (prompted(13)) {
        const int entry = CatalogedFrom->ItemIndex();
        Spec.CatalogedFromValue =
            entry >= 1 && entry <= 26 ? std::string(1, char('A' + entry - 1)) : std::string();
        Spec.Op[12] = uint8_t(op(13));
    }
    if (prompted(14)) {
        Spec.CommentText = CustomSummaryCommentPhrase(Comment->Text());
        Spec.MatchesRequired = MatchesRequired->GetAsInteger();
        const int index = op(14);
        Spec.Op[13] = uint8_t(index <= 2 ? index : index + 7);
    }
}

void TCustomSummaryReportPromptForm::DoShow() {
    SrchC14Change();
    TForm::DoShow();
}

void TCustomSummaryReportPromptForm::SrchC14Change() {
    const bool some = SrchC[13]->ItemIndex() == kSummaryPromptKeywordsSome;
    KeywordsLabel->SetVisible(some);
    MatchesRequired->SetVisible(some);
    MatchesRequiredSpinner->SetVisible(some);
}

void TCustomSummaryReportPromptForm::BitBtn1Click() {
    const auto refuse = [](const char* Text, TWinControl* Focus) {
        catalog::ErrorBox(Text);
        if (Focus->CanFocus()) Focus->SetFocus();
    };
    if (SrchC[3]->ItemIndex() > 0 && Trim(DateFirstCataloged->Text()).empty())
        return refuse("Date First Cataloged Must Have A Value If Comparing", DateFirstCataloged);
    if (SrchC[4]->ItemIndex() > 0 && Trim(DateLastCataloged->Text()).empty())
        return refuse("Date Last Cataloged Must Have A Value If Comparing", DateLastCataloged);
    if (SrchC[12]->ItemIndex() > 0 && CatalogedFrom->ItemIndex() <= 0)
        return refuse("\"Drive Cataloged From\" Must Have A Value If Comparing", CatalogedFrom);
    SetModalResult(mrOk);
}

}  // namespace reports
