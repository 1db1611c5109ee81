#pragma once
// The two dialogs that ask how a report is written: to a text file (file name, pagination and the
// comment's width) and to the printer (printer, orientation, comment lines, preview). Each is made
// for one use by its caller, shown modally, read back and released; both keep their choices in
// the registry between uses.

#include <functional>
#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TDataSet;
class TEdit;
class TGroupBox;
class TLabel;
class TPanel;
class TRadioButton;
class TSaveDialog;
}  // namespace framework
namespace entry {
class TCtlAttachedButton;
class TCtlComponentState;
class TCtlController;
class TCtlPictureField;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlPrinterComboBox;
}

namespace reports {

// The text at the foot of printed pages: the program's name and version. The program sets it when
// it starts; until then PrintedFooter() gives the application's title.
extern std::string PrintedFooterText;
std::string PrintedFooter();

class TGetSummaryToDiskFileNameForm : public framework::TForm {
public:
    explicit TGetSummaryToDiskFileNameForm(framework::TComponent* AOwner);
    int HelpContext = 72;

    framework::TPanel* Panel1;
    framework::TLabel* Label1;
    framework::TEdit* FileName;
    entry::TCtlAttachedButton* CtlAttachedButton1;
    framework::TLabel* Label2;
    entry::TCtlPictureField* Pagination;
    framework::TLabel* Label3;
    framework::TRadioButton* SingleLine;
    framework::TRadioButton* MultiLine;
    entry::TCtlPictureField* TruncChars;
    entry::TCtlPictureField* WrapChars;
    framework::TCheckBox* StartEachDiskOnNewPage;
    framework::TBitBtn* OkBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    framework::TSaveDialog* SaveDialog1;
    // The remembered numbers, stored through the component state.
    framework::TLabel* SavePaginationRecordsLabel;
    framework::TLabel* SaveTruncCharsLabel;
    framework::TLabel* SaveWrapCharsLabel;
    framework::TLabel* SavePaginationLinesLabel;
    entry::TCtlController* Controller;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;

    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void OkBtnClick();
    void CtlAttachedButton1Click();
    // The comment width the caller reads: WrapChars in multi-line mode, TruncChars otherwise.
    int CommentWidth();
};

class TGetPrintedReportSpecForm : public framework::TForm {
public:
    explicit TGetPrintedReportSpecForm(framework::TComponent* AOwner);
    int HelpContext = 70;

    framework::TPanel* Panel1;
    framework::TLabel* PrinterLabel;
    grid::TCtlPrinterComboBox* CtlPrinterComboBox1;
    framework::TGroupBox* OrientationGroup;
    framework::TRadioButton* Portrait;
    framework::TRadioButton* Landscape;
    framework::TGroupBox* CommentGroup;
    framework::TRadioButton* SingleLine;
    framework::TRadioButton* MultiLine;
    framework::TCheckBox* PreviewOnScreenFirst;
    framework::TCheckBox* StartEachDiskOnNewPage;
    framework::TBitBtn* OkBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;

    // Shortens the panel and the dialog by 30 pixels, which hides the bottom check box.
    void HideStartEachDisk();
};

// Writes one line of a report's text file (the line end is added); false when the write failed.
using TReportLineWriter = std::function<bool(const std::string& Line)>;

// Sends a report to the text file FileName as the To Disk buttons do. Start gets the file's line
// writer (the caller makes its text builder over it); then Rows is walked from its first record
// under the cancellable progress window "Sending Report To Disk", AddRow writing the current row,
// and AddTotals (when given) follows the last row. Rows' current record and its controls come back
// at the end. A failed open, write or close shows its error box; a failed write or a cancel deletes
// the file. The lines reach the disk before the file counts as written.
void SendReportToDisk(framework::TComponent* Owner, framework::TDataSet& Rows, const std::string& FileName,
                      const std::function<void(const TReportLineWriter&)>& Start,
                      const std::function<bool()>& AddRow, const std::function<bool()>& AddTotals);

}  // namespace reports
