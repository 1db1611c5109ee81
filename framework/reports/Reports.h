#pragma once
// Banded reports. A TReport walks its dataset and prints its bands on pages of the application's
// printer, or records them for the preview window (ReportPreview.h):
//
//   page header   at the top of every page (of the first one too with FirstPageHeader)
//   detail        once per record of the report's dataset, flowing down each column
//   sub-detail    once per record of its own dataset, walked again for each detail record, between
//                 its group header and group footer bands
//   summary       once after the last record
//   page footer   at the bottom of every page (of the last one too with LastPageFooter)
//
// Bands are windowless containers of printable controls (labels, data texts, shapes, system data)
// placed in pixels of the page (96 per inch) relative to the band. A band's width follows the page:
// the page header, page footer and summary span the printable width, the other bands one column.
// Controls take the band's font and colour unless given their own. A control or band that is not
// Enabled (or not Visible) does not print. Data texts with AutoStretch grow their band downwards,
// one line of their font per line of text, and continue on the next page when the band does not fit.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/print/Printers.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Controls.h"

namespace framework {

class TDataSet;
class TField;
class TReport;
class TReportBand;
class TSubDetailBand;

enum TReportBandType {
    rbPageHeader,
    rbDetail,
    rbSubDetail,
    rbGroupHeader,
    rbGroupFooter,
    rbSummary,
    rbPageFooter
};
enum TReportUnits { ruMM, ruInches, ruPixels };
enum TReportOption : uint8_t { FirstPageHeader = 1, LastPageFooter = 2 };
using TReportOptions = uint8_t;

// The lines around a band (or a shape): each side on or off, width in pixels, colour.
struct TReportFrame {
    bool DrawTop = false;
    bool DrawBottom = false;
    bool DrawLeft = false;
    bool DrawRight = false;
    int Width = 1;
    TColor Color = clBlack;
    void SetAll(bool Value) { DrawTop = DrawBottom = DrawLeft = DrawRight = Value; }
    bool Any() const { return DrawTop || DrawBottom || DrawLeft || DrawRight; }
};

// Paper, orientation, margins (millimetres) and columns of a report. Changing any of them gives the
// bands their new widths at once.
class TReportPage {
public:
    explicit TReportPage(TReport& Report) : FReport(Report) {}
    TPrinterPaper PaperSize() const { return FPaper; }
    void SetPaperSize(TPrinterPaper Value);
    TPrinterOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TPrinterOrientation Value);
    double LeftMargin() const { return FMargins[0]; }
    double TopMargin() const { return FMargins[1]; }
    double RightMargin() const { return FMargins[2]; }
    double BottomMargin() const { return FMargins[3]; }
    void SetLeftMargin(double Mm) { SetMargin(0, Mm); }
    void SetTopMargin(double Mm) { SetMargin(1, Mm); }
    void SetRightMargin(double Mm) { SetMargin(2, Mm); }
    void SetBottomMargin(double Mm) { SetMargin(3, Mm); }
    void SetMargins(double Mm);
    // 1 or 2; the detail flows down the first column, then the next.
    int Columns() const { return FColumns; }
    void SetColumns(int Value);
    // Pixels between two columns.
    int ColumnSpace() const { return FColumnSpace; }
    void SetColumnSpace(int Value);
    // How the layout is shown to a designer; positions are pixels whatever the units.
    TReportUnits Units = ruMM;

    // The page and its printable area in pixels.
    int Width() const;
    int Height() const;
    TRect PrintArea() const;
    int ColumnWidth() const;

private:
    void SetMargin(int Index, double Mm);
    TReport& FReport;
    TPrinterPaper FPaper = ppLetter;
    TPrinterOrientation FOrientation = poPortrait;
    double FMargins[4] = {10, 10, 10, 10};
    int FColumns = 1;
    int FColumnSpace = 10;
};

// ---- Printable controls ----

// What every printable control has: its place on the band, Enabled, font and colour (those of the
// band unless set), and how it prints.
class TReportPrintable {
public:
    virtual ~TReportPrintable() = default;
    // The height the control needs when printed now (AutoStretch texts: their lines).
    virtual int PrintHeight() = 0;
    // Draws the control with its top-left at (X, Y); for a stretching control, only the lines from
    // FirstLine that fit above Bottom. Returns the number of lines drawn (0 for fixed controls).
    virtual int PrintOn(TCanvas& Canvas, int X, int Y, int FirstLine, int Bottom) = 0;
    virtual bool Stretches() { return false; }
    virtual int LineCount() { return 1; }
    virtual int LineHeight() { return 0; }
};

// A caption. AutoSize (on at first) makes it as wide as its text in its font, so a hidden label can
// measure texts before printing.
class TReportLabel : public TCustomLabel, public TReportPrintable {
public:
    explicit TReportLabel(TComponent* AOwner);
    int PrintHeight() override;
    int PrintOn(TCanvas& Canvas, int X, int Y, int FirstLine, int Bottom) override;
    int LineCount() override;
    int LineHeight() override;
    bool Stretches() override { return FAutoStretch; }
    bool AutoStretch() const { return FAutoStretch; }
    void SetAutoStretch(bool Value) { FAutoStretch = Value; }

protected:
    // The text as printed now.
    virtual std::string PrintText() { return Caption(); }
    std::vector<std::string> PrintLines();
    bool FAutoStretch = false;
};

// The text of a field of the current record. Mask formats a number (FormatFloat pictures such as
// "###,###,###,###,##0" or "##0.00%"); WordWrap with AutoStretch prints a memo on as many lines as
// it needs, growing its band.
class TReportDBText : public TReportLabel {
public:
    explicit TReportDBText(TComponent* AOwner);
    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* Value);
    std::string DataField;
    std::string Mask;
    // The field's text as it prints for the current record ("" without a dataset or field).
    std::string FieldText();

protected:
    std::string PrintText() override { return FieldText(); }
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TDataSet* FDataSet = nullptr;
};

enum TReportShapeType { qrsRectangle, qrsHorLine, qrsVertLine };

// A rectangle (outlined with Pen, filled with Brush) or a line along the middle of the control.
class TReportShape : public TGraphicControl, public TReportPrintable {
public:
    explicit TReportShape(TComponent* AOwner);
    TReportShapeType Shape = qrsRectangle;
    TPen Pen;
    TBrush Brush;
    int PrintHeight() override { return Height(); }
    int PrintOn(TCanvas& Canvas, int X, int Y, int FirstLine, int Bottom) override;
};

enum TReportSysDataType { qrsPageNumber, qrsTime, qrsDate, qrsDateTime };

// Data of the run: the page number, or the time and date of printing; Text goes before it.
class TReportSysData : public TReportLabel {
public:
    explicit TReportSysData(TComponent* AOwner);
    TReportSysDataType Data = qrsPageNumber;
    std::string Text;

protected:
    std::string PrintText() override;
};

// ---- Bands ----

using TBandBeforePrintEvent = std::function<void(TReportBand* Sender, bool& PrintBand)>;

class TReportBand : public TWinControl {
public:
    TReportBand(TComponent* AOwner, TReportBandType BandType);
    TReportBandType BandType() const { return FBandType; }
    // The report the band belongs to (its parent).
    TReport* Report() const;
    void SetReport(TReport* Value);
    TReportFrame Frame;
    // Starts the band on a new page unless nothing but the page header is on the page yet.
    bool ForceNewPage = false;
    // Called before the band prints; may change it (its colour, texts) or set PrintBand false.
    TBandBeforePrintEvent BeforePrint;

    // The height the band needs when printed now (its stretching texts' lines included).
    int StretchHeight();

protected:
    void SetParent(TWinControl* AParent) override;

private:
    TReportBandType FBandType;
};

// A band printed for every record of its own dataset, walked again for each record of its master
// (the report's detail); the dataset follows the master itself (a master–detail link). Its group
// header and footer print before and after each run, also for an empty run with PrintIfEmpty.
class TSubDetailBand : public TReportBand {
public:
    explicit TSubDetailBand(TComponent* AOwner);
    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* Value);
    TReportBand* HeaderBand = nullptr;
    TReportBand* FooterBand = nullptr;
    bool PrintIfEmpty = true;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TDataSet* FDataSet = nullptr;
};

// ---- The report ----

using TReportBeforePrintEvent = std::function<void(TReport* Sender, bool& PrintReport)>;
using TReportNotifyEvent = std::function<void(TReport* Sender)>;

class TReport : public TWinControl {
public:
    explicit TReport(TComponent* AOwner);
    ~TReport() override;

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* Value);
    TReportPage& Page() { return FPage; }
    TReportOptions Options = FirstPageHeader | LastPageFooter;
    // Prints the pages (header, summary, footer) also when the dataset has no record; otherwise an
    // empty dataset prints nothing.
    bool PrintIfEmpty = true;
    // The printer the report prints on: an index into Printer().Printers(), -1 for the one current
    // when printing starts.
    int PrinterIndex = -1;
    // The document's name in the print queue and in a PDF file.
    std::string ReportTitle;

    // Before anything prints (may cancel the run), and at the start of every page.
    TReportBeforePrintEvent BeforePrint;
    TReportNotifyEvent OnStartPage;

    // Prints on the printer (or the KORVANE_PRINT_TO file). Errors of the printer, the dataset or an
    // event end the document without printing it and pass on.
    void Print();
    // Records the pages and shows them in the preview window (maximised, modal); the preview can
    // print them, which runs the report again.
    void Preview();
    // Records the pages without showing them (what the preview shows).
    void Prepare(TPagePictures& Pages);

    // The page being printed, from 1; the number of pages of the last run.
    int PageNumber() const { return FPageNumber; }
    int PageCount() const { return FPageCount; }

    // The bands on the report of one kind (in the order they were added).
    std::vector<TReportBand*> Bands(TReportBandType Type) const;
    // Gives every band the width of the page's printable area or column.
    void UpdateBandWidths();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    class TRun;
    friend class TRun;
    // Runs the report on the printer, which has begun a document; false when BeforePrint cancelled.
    bool Generate();
    bool Run(TPagePictures* Record);

    TDataSet* FDataSet = nullptr;
    TReportPage FPage;
    int FPageNumber = 0;
    int FPageCount = 0;
};

}  // namespace framework
