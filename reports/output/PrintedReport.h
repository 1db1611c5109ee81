#pragma once
// What the printed reports share: a form holding a banded report on letter paper with a page
// heading (the title, "Page" and the page number) and a hidden label that measures texts; the
// printer dialog's choices; and the column layout measured in the printed font.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "framework/reports/Reports.h"
#include "framework/ui/Forms.h"

namespace framework {
class TDataSet;
}

namespace reports {

// A control of a printed report on Band, named Name (unnamed when nullptr), in the band's font
// with Style, FontName and Size (when given) before Caption is measured.
template <class T>
T* NewPrintedControl(framework::TComponent& Owner, framework::TWinControl& Band, const char* Name,
                     const std::string& Caption, framework::TFontStyles Style = 0,
                     const char* FontName = nullptr, int Size = 0) {
    auto* c = framework::NewComponent<T>(&Owner);
    if (Name) c->SetName(Name);
    c->SetParent(&Band);
    if (FontName) c->Font().Name = FontName;
    if (Size) c->Font().SetSize(Size);
    c->Font().Style = Style;
    c->SetCaption(Caption);
    return c;
}

// What the printer dialog was answered with.
struct TPrintedReportChoices {
    bool Portrait = true;
    bool MultiLine = false;
    bool Preview = false;
    bool NewPage = false;
};
// Shows the printer dialog and reads its answers into Choices; false when it was cancelled. The
// dialog starts from the report's own orientation (Choices.Portrait) whatever was chosen for the
// last printed report; its other choices are remembered. Without NewPage the dialog is shorter
// and hides "Start Each Disk Listing On A New Page".
bool AskPrintedReportChoices(TPrintedReportChoices& Choices, bool NewPage = false);

class TPrintedReportForm : public framework::TForm {
public:
    framework::TReport* Report;
    framework::TReportBand* PageHeaderBand;
    framework::TReportBand* DetailBand;
    framework::TReportBand* SummaryBand;
    framework::TReportLabel* Title;
    framework::TReportLabel* PageItem;
    framework::TReportLabel* PageNumLabel;
    framework::TReportLabel* TestLabel;

    void ReportBeforePrint();
    void ReportStartPage();

    // Sets the report up for Choices' orientation on the chosen printer, titled Caption, over
    // Rows; the printed lines take Font: the measuring label, the detail band, its texts, Comment
    // (the wrapped comment) and the column headings, each text one line of Font high.
    void StartPrintedReport(const TPrintedReportChoices& Choices, const std::string& Caption,
                            framework::TDataSet& Rows, const framework::TFont& Font,
                            std::span<framework::TReportLabel* const> Headers,
                            std::span<framework::TReportDBText* const> Texts,
                            framework::TReportDBText& Comment);
    // The page heading's top line: "Page" and its number at the right edge, the title centred in
    // the rest.
    void PlacePageHeading();
    // Prints the report, or shows it on screen first.
    void PrintOrPreview(bool Preview);

protected:
    // The form Name with its report and its page header, detail and summary bands; the page
    // heading's labels are bold, in HeadingFont and HeadingSize when given (the measuring label
    // in HeadingFont too).
    TPrintedReportForm(framework::TComponent* AOwner, const char* Name, const char* HeadingFont = nullptr,
                       int HeadingSize = 0);
    framework::TReportBand* NewBand(const char* Name, framework::TReportBandType Type);
    // A total of the summary band in the next box from X (150 wide, 160 apart): its heading
    // HeadName in HeadStyle above its bold, centred value Name, which is returned.
    framework::TReportLabel* NewTotalBox(int& X, const char* HeadName, const char* Heading,
                                         framework::TFontStyles HeadStyle, const char* Name);

private:
    int FPageCounter = 0;
};

// Widens each width to its heading's first width and to its width in the font it prints in.
void MeasurePrintedHeadings(std::span<framework::TReportLabel* const> Headers, std::span<int> Widths);
// Widens Width to Text's width in Test's font.
void MeasurePrintedText(framework::TReportLabel& Test, const std::string& Text, int& Width);

// Walks Rows from its first record under the cancellable progress window Caption, with Window
// disabled and Rows' controls held, calling MeasureRow on each record; false when cancelled. Rows'
// record and controls and Window come back and the progress window goes, also when MeasureRow
// throws.
bool WalkPrintedRows(framework::TCustomForm& Window, framework::TDataSet& Rows, const std::string& Caption,
                     const std::function<void()>& MeasureRow);

// Lays the columns out from the left in the order of Positions (1 first; 0 leaves a column out),
// each heading and text enabled, Widths[i] wide and 4 apart; Wrapped (when given) prints column
// Comment instead of its text. When the last one placed is column Comment, its text reaches the
// band's right edge, BandWidth (a wrapped one also no further).
void PlacePrintedColumns(std::span<const uint8_t> Positions,
                         std::span<framework::TReportLabel* const> Headers,
                         std::span<framework::TReportDBText* const> Texts, std::span<const int> Widths,
                         size_t Comment, framework::TReportDBText* Wrapped, int BandWidth);

}  // namespace reports
