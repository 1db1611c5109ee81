#include "reports/output/ReportOutputForms.h"

#include "catalog/FormParts.h"
#include "catalog/ProgressForm.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlFileCombos.h"
#include "controls/kit/CoolGauge.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/SimpleFiles.h"

namespace reports {

std::string PrintedFooterText;

std::string PrintedFooter() {
    return PrintedFooterText.empty() ? framework::Application->Title : PrintedFooterText;
}

using namespace framework;
using catalog::NewDialogButton;
using catalog::NewLabel;
using catalog::NewPanel;

namespace {

constexpr uint32_t kOutputErrorBeep = 16;
constexpr uint32_t kOutputQuestionBeep = 32;
// The entry fields' own text for a value outside the field's range.
constexpr uint32_t kOutputRangeMessage = 30179;
constexpr const char* kSingleLineCaption = "Show Only The First Line Of The Disk Comment";
constexpr const char* kMultiLineCaption = "Show The Full Disk Comment (MultiLine)";
constexpr const char* kStartEachDiskCaption = "Start Each Disk Listing On A New Page";

constexpr const char* kToDiskStoredProperties =
    "SavePaginationRecordsLabel.Caption\n"
    "SingleLine.Checked\n"
    "MultiLine.Checked\n"
    "SaveTruncCharsLabel.Caption\n"
    "SaveWrapCharsLabel.Caption\n"
    "StartEachDiskOnNewPage.Checked\n";

constexpr const char* kPrintedStoredProperties =
    "MultiLine.Checked\n"
    "SingleLine.Checked\n"
    "StartEachDiskOnNewPage.Checked\n"
    "Landscape.Checked\n"
    "Portrait.Checked\n"
    "PreviewOnScreenFirst.Checked\n";

template <class T>
T* OutputControl(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top, int Width,
                 int Height, const std::string& Caption = {}) {
    auto* c = NewComponent<T>(&Owner);
    c->SetName(Name);
    c->SetParent(&Parent);
    c->SetBounds(Left, Top, Width, Height);
    if (!Caption.empty()) c->SetCaption(Caption);
    return c;
}

// A whole-number field with its spinner at the right.
entry::TCtlPictureField* OutputNumberField(TComponent& Owner, TWinControl& Parent, const char* Name, int Left,
                                           int Top, const char* Mask, int Low, int High) {
    auto* field = NewComponent<entry::TCtlPictureField>(&Owner);
    field->SetName(Name);
    field->SetParent(&Parent);
    field->SetBounds(Left, Top, 49, 23);
    field->SetDataType(entry::pftInteger);
    field->SetPictureMask(Mask);
    field->SetRangeLo(std::to_string(Low));
    field->SetRangeHi(std::to_string(High));
    field->SetAsInteger(Low);
    auto* spinner = NewComponent<entry::TCtlSpinner>(&Owner);
    spinner->SetName(std::string(Name) + "Spinner");
    spinner->SetParent(&Parent);
    spinner->SetBounds(Left + 49, Top, 16, 23);
    spinner->Delta = 1;
    spinner->WrapMode = false;
    spinner->SetFocusedControl(field);
    return field;
}

// The stored caption as a number; Fallback when it is not one.
int32_t StoredNumber(const TLabel& Label, int32_t Fallback) {
    return StrToIntDef(Label.Caption(), Fallback);
}

}  // namespace

// ---- TGetSummaryToDiskFileNameForm

TGetSummaryToDiskFileNameForm::TGetSummaryToDiskFileNameForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetSummaryToDiskFileNameForm");
    SetCaption("Summary Report To Disk");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 470, 323);
    Controller = NewComponent<entry::TCtlController>(this);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");

    Panel1 = NewPanel(*this, *this, "Panel1", 8, 8, 446, 247, bvLowered);
    Label1 = NewLabel(*this, *Panel1, "Label1", 12, 10, 200, "Save This Report To");
    FileName = OutputControl<TEdit>(*this, *Panel1, "FileName", 12, 28, 396, 23);
    FileName->SetText("C:\\My Documents\\KorvaneSummary.txt");
    CtlAttachedButton1 = NewComponent<entry::TCtlAttachedButton>(this);
    CtlAttachedButton1->SetName("CtlAttachedButton1");
    CtlAttachedButton1->SetParent(Panel1);
    CtlAttachedButton1->SetBounds(410, 28, 23, 23);
    CtlAttachedButton1->SetCaption("...");
    CtlAttachedButton1->Hint = "Use Navigator To Select Filename";
    CtlAttachedButton1->SetShowHint(true);
    CtlAttachedButton1->SetAttachedControl(FileName);
    CtlAttachedButton1->OnClick = [this](TObject*) { CtlAttachedButton1Click(); };

    Label2 = NewLabel(*this, *Panel1, "Label2", 12, 66, 170, "\"Paginate\" This Report Every ");
    Pagination = OutputNumberField(*this, *Panel1, "Pagination", 184, 62, "iiii", 0, 9999);
    Label3 = NewLabel(*this, *Panel1, "Label3", 254, 66, 186, "Records (Set To Zero To Disable Pagination)");
    SingleLine =
        OutputControl<TRadioButton>(*this, *Panel1, "SingleLine", 12, 100, 420, 20, kSingleLineCaption);
    SingleLine->SetChecked(true);
    NewLabel(*this, *Panel1, "TruncLabel1", 32, 126, 140, "Truncate First Line At");
    TruncChars = OutputNumberField(*this, *Panel1, "TruncChars", 176, 122, "iii", 7, 255);
    NewLabel(*this, *Panel1, "TruncLabel2", 246, 126, 80, "Characters");
    MultiLine = OutputControl<TRadioButton>(*this, *Panel1, "MultiLine", 12, 156, 420, 20, kMultiLineCaption);
    NewLabel(*this, *Panel1, "WrapLabel1", 32, 182, 140, "Wrap Long Lines At");
    WrapChars = OutputNumberField(*this, *Panel1, "WrapChars", 176, 178, "iii", 7, 200);
    NewLabel(*this, *Panel1, "WrapLabel2", 246, 182, 80, "Characters");
    StartEachDiskOnNewPage = OutputControl<TCheckBox>(*this, *Panel1, "StartEachDiskOnNewPage", 12, 216, 420,
                                                      20, kStartEachDiskCaption);

    SavePaginationRecordsLabel = NewLabel(*this, *Panel1, "SavePaginationRecordsLabel", 0, 0, 30, "0");
    SaveTruncCharsLabel = NewLabel(*this, *Panel1, "SaveTruncCharsLabel", 0, 0, 30, "40");
    SaveWrapCharsLabel = NewLabel(*this, *Panel1, "SaveWrapCharsLabel", 0, 0, 30, "40");
    SavePaginationLinesLabel = NewLabel(*this, *Panel1, "SavePaginationLinesLabel", 0, 0, 30, "0");
    for (TLabel* hidden :
         {SavePaginationRecordsLabel, SaveTruncCharsLabel, SaveWrapCharsLabel, SavePaginationLinesLabel})
        hidden->SetVisible(false);

    OkBtn = NewDialogButton(*this, *this, "OkBtn", bkOK, 120, 263);
    OkBtn->ModalResult = mrNone;  // OkBtnClick decides
    OkBtn->OnClick = [this](TObject*) { OkBtnClick(); };
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 200, 263);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 280, 263, &HelpContext);

    SaveDialog1 = NewComponent<TSaveDialog>(this);
    SaveDialog1->SetName("SaveDialog1");
    SaveDialog1->Title = "Save Summary Report In";
    SaveDialog1->DefaultExt = "txt";
    SaveDialog1->FileName = "KorvaneSummary";
    SaveDialog1->Filter = "Text Files|*.txt|All Files|*.*";

    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TGetSummaryToDiskFileNameForm");
    ComponentState->StoredProperties().SetText(kToDiskStoredProperties);

    OnShow = [this](TObject*) { FormShow(); };
    OnCloseQuery = [this](TObject*, bool& CanClose) { FormCloseQuery(CanClose); };
}

void TGetSummaryToDiskFileNameForm::FormShow() {
    // Keep the buttons at the bottom of a dialog whose caller changed its height.
    for (TBitBtn* button : {OkBtn, CancelBtn, HelpBtn}) button->SetTop(Height() - 68);
    Panel1->SetHeight(Height() - 76);
    Pagination->SetAsInteger(StoredNumber(*SavePaginationRecordsLabel, 0));
    TruncChars->SetAsInteger(StoredNumber(*SaveTruncCharsLabel, 40));
    WrapChars->SetAsInteger(StoredNumber(*SaveWrapCharsLabel, 40));
}

void TGetSummaryToDiskFileNameForm::FormCloseQuery(bool& CanClose) {
    SavePaginationRecordsLabel->SetCaption(std::to_string(Pagination->GetAsInteger()));
    SaveTruncCharsLabel->SetCaption(std::to_string(TruncChars->GetAsInteger()));
    SaveWrapCharsLabel->SetCaption(std::to_string(WrapChars->GetAsInteger()));
    CanClose = true;
}

void TGetSummaryToDiskFileNameForm::OkBtnClick() {
    const std::string name = FileName->Text();
    if (Trim(name).empty()) {
        platform::MessageBeep(kOutputErrorBeep);
        MessageDlg("Filename Cannot Be Blank", mtError, {mbOK}, 0);
        return;
    }
    // The comment width in use must lie in its field's range (a typed value is only checked when
    // the field is left, and OK may be pressed without leaving it).
    entry::TCtlPictureField* width = MultiLine->Checked() ? WrapChars : TruncChars;
    if (width->ValidateContents(false) != 0) {
        platform::MessageBeep(kOutputErrorBeep);
        MessageDlg(entry::CtlGetMessage(kOutputRangeMessage), mtError, {mbOK}, 0);
        if (width->CanFocus()) width->SetFocus();
        return;
    }
    if (platform::GetFileAttributes(name) != platform::INVALID_FILE_ATTRIBUTES) {
        platform::MessageBeep(kOutputQuestionBeep);
        if (MessageDlg("This File Already Exists - Overwrite It?", mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
            return;
    }
    SetModalResult(mrOk);
}

void TGetSummaryToDiskFileNameForm::CtlAttachedButton1Click() {
    if (SaveDialog1->Execute()) FileName->SetText(SaveDialog1->FileName);
}

int TGetSummaryToDiskFileNameForm::CommentWidth() {
    return MultiLine->Checked() ? WrapChars->GetAsInteger() : TruncChars->GetAsInteger();
}

// ---- TGetPrintedReportSpecForm

TGetPrintedReportSpecForm::TGetPrintedReportSpecForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetPrintedReportSpecForm");
    SetCaption("Printed Report Specifications");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 420, 356);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");

    Panel1 = NewPanel(*this, *this, "Panel1", 8, 8, 396, 272, bvLowered);
    PrinterLabel = NewLabel(*this, *Panel1, "PrinterLabel", 12, 10, 300, "Printer To Use For This Report");
    CtlPrinterComboBox1 =
        OutputControl<grid::TCtlPrinterComboBox>(*this, *Panel1, "CtlPrinterComboBox1", 12, 28, 370, 24);
    CtlPrinterComboBox1->Fill();
    OrientationGroup = OutputControl<TGroupBox>(*this, *Panel1, "OrientationGroup", 12, 62, 370, 48,
                                                "Paper Orientation Orientation");
    Portrait = OutputControl<TRadioButton>(*this, *OrientationGroup, "Portrait", 12, 20, 150, 20, "Portrait");
    Landscape =
        OutputControl<TRadioButton>(*this, *OrientationGroup, "Landscape", 190, 20, 150, 20, "Landscape");
    Portrait->SetChecked(true);
    CommentGroup = OutputControl<TGroupBox>(*this, *Panel1, "CommentGroup", 12, 118, 370, 72);
    SingleLine =
        OutputControl<TRadioButton>(*this, *CommentGroup, "SingleLine", 12, 16, 350, 20, kSingleLineCaption);
    MultiLine =
        OutputControl<TRadioButton>(*this, *CommentGroup, "MultiLine", 12, 42, 350, 20, kMultiLineCaption);
    SingleLine->SetChecked(true);
    PreviewOnScreenFirst = OutputControl<TCheckBox>(*this, *Panel1, "PreviewOnScreenFirst", 12, 204, 370, 20,
                                                    "Preview The Report On Screen First");
    StartEachDiskOnNewPage = OutputControl<TCheckBox>(*this, *Panel1, "StartEachDiskOnNewPage", 12, 246, 370,
                                                      20, kStartEachDiskCaption);

    OkBtn = NewDialogButton(*this, *this, "OkBtn", bkOK, 90, 290);
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 170, 290);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 250, 290, &HelpContext);

    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("Printed Report");
    ComponentState->StoredProperties().SetText(kPrintedStoredProperties);
}

void TGetPrintedReportSpecForm::HideStartEachDisk() {
    Panel1->SetHeight(Panel1->Height() - 30);
    SetHeight(Height() - 30);
    for (TBitBtn* button : {OkBtn, CancelBtn, HelpBtn}) button->SetTop(button->Top() - 30);
}

void SendReportToDisk(TComponent* Owner, TDataSet& Rows, const std::string& FileName,
                      const std::function<void(const TReportLineWriter&)>& Start,
                      const std::function<bool()>& AddRow, const std::function<bool()>& AddTotals) {
    const platform::HFILE file = platform::_lcreat(FileName, 0);
    if (file == platform::HFILE_ERROR) {
        catalog::ErrorBox("Error Opening Specified File For Output");
        return;
    }
    Start([file](const std::string& Line) {
        const std::string bytes = Line + "\r\n";
        return platform::_lwrite(file, bytes.data(), uint32_t(bytes.size())) == bytes.size();
    });

    const TBookmark mark = Rows.GetBookmark();
    Rows.DisableControls();
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(Owner);
    progress->ShowForm("Sending Report To Disk", true);
    bool cleaned = false;
    auto cleanUp = [&]() {
        if (cleaned) return;
        cleaned = true;
        progress->HideForm();
        progress->Free();
        Rows.GotoBookmark(mark);
        Rows.EnableControls();
    };
    auto abandon = [&]() {
        platform::_lclose(file);
        platform::DeleteFile(FileName);
        cleanUp();
    };
    bool written = true;
    try {
        const int count = Rows.RecordCount();
        int done = 0;
        for (Rows.First(); !Rows.Eof(); Rows.Next()) {
            if (progress->CancelPressed) {
                abandon();
                return;
            }
            if (!AddRow()) {
                written = false;
                break;
            }
            ++done;
            progress->ProgressBar->SetProgress(count > 0 ? int(double(done) / count * 100) : 100);
            Application->ProcessMessages();
        }
        if (written && AddTotals) written = AddTotals();
    } catch (...) {
        abandon();
        throw;
    }
    if (!written) {
        abandon();
        catalog::ErrorBox("Error Writing To Output File");
        return;
    }
    cleanUp();
    const bool flushed = platform::FlushFileBuffers(static_cast<platform::HANDLE>(file));
    if (platform::_lclose(file) == platform::HFILE_ERROR || !flushed)
        catalog::ErrorBox("Error Closing Specified File After Output Completed");
}

}  // namespace reports
