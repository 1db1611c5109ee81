#include "reports/output/PrintedReport.h"

#include <algorithm>

#include "catalog/ProgressForm.h"
#include "controls/kit/CoolGauge.h"
#include "framework/data/DataSet.h"
#include "framework/print/Printers.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/RadioButton.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {

using namespace framework;

TPrintedReportForm::TPrintedReportForm(TComponent* AOwner, const char* Name, const char* HeadingFont,
                                       int HeadingSize)
    : TForm(AOwner) {
    SetName(Name);
    Report = NewComponent<TReport>(this);
    Report->SetName("Report");
    Report->Page().SetPaperSize(ppLetter);
    Report->Page().SetMargins(9.906);
    Report->Page().Units = ruInches;
    Report->Options = FirstPageHeader | LastPageFooter;
    Report->PrintIfEmpty = true;
    Report->BeforePrint = [this](TReport*, bool&) { ReportBeforePrint(); };
    Report->OnStartPage = [this](TReport*) { ReportStartPage(); };
    PageHeaderBand = NewBand("PageHeaderBand", rbPageHeader);
    DetailBand = NewBand("DetailBand", rbDetail);
    SummaryBand = NewBand("SummaryBand", rbSummary);

    auto heading = [&](const char* LabelName, const char* Caption) {
        return NewPrintedControl<TReportLabel>(*this, *PageHeaderBand, LabelName, Caption, fsBold,
                                               HeadingFont, HeadingSize);
    };
    Title = heading("Title", "");
    Title->SetAlignment(taCenter);
    PageItem = heading("PageItem", "Page");
    PageNumLabel = heading("PageNumLabel", "1");
    TestLabel = NewPrintedControl<TReportLabel>(*this, *PageHeaderBand, "TestLabel", "", 0, HeadingFont);
    TestLabel->SetEnabled(false);
}

TReportBand* TPrintedReportForm::NewBand(const char* Name, TReportBandType Type) {
    auto* b = NewComponent<TReportBand>(this, Type);
    b->SetName(Name);
    b->SetReport(Report);
    return b;
}

TReportLabel* TPrintedReportForm::NewTotalBox(int& X, const char* HeadName, const char* Heading,
                                              TFontStyles HeadStyle, const char* Name) {
    auto* head = NewPrintedControl<TReportLabel>(*this, *SummaryBand, HeadName, Heading, HeadStyle);
    head->SetBounds(X, 24, 150, 16);
    auto* value = NewPrintedControl<TReportLabel>(*this, *SummaryBand, Name, "", fsBold);
    value->SetAutoSize(false);
    value->SetAlignment(taCenter);
    value->SetBounds(X, 42, 150, 16);
    X += 160;
    return value;
}

void TPrintedReportForm::ReportBeforePrint() {
    FPageCounter = 0;
}

void TPrintedReportForm::ReportStartPage() {
    ++FPageCounter;
    PageNumLabel->SetCaption(std::to_string(FPageCounter));
}

void TPrintedReportForm::StartPrintedReport(const TPrintedReportChoices& Choices, const std::string& Caption,
                                            TDataSet& Rows, const TFont& Font,
                                            std::span<TReportLabel* const> Headers,
                                            std::span<TReportDBText* const> Texts, TReportDBText& Comment) {
    Report->PrinterIndex = Printer().PrinterIndex();
    Report->Page().SetOrientation(Choices.Portrait ? poPortrait : poLandscape);
    Title->SetCaption(Caption);
    Report->ReportTitle = Caption;
    Report->SetDataSet(&Rows);
    for (TReportDBText* t : Texts) t->SetDataSet(&Rows);
    Comment.SetDataSet(&Rows);
    TestLabel->Font() = Font;
    DetailBand->Font() = Font;
    for (TReportDBText* t : Texts) t->Font() = Font;
    Comment.Font() = Font;
    for (TReportLabel* h : Headers) h->Font() = Font;
    TestLabel->SetCaption("Mg");
    const int lineHeight = TestLabel->Height();
    DetailBand->SetHeight(lineHeight);
    for (TReportDBText* t : Texts) t->SetHeight(lineHeight);
    Comment.SetHeight(lineHeight);
}

void TPrintedReportForm::PlacePageHeading() {
    // "Page" ends just before its number's box and the number starts that box, both at the right
    // edge, so the two read as one whatever the number's width.
    const int right = PageHeaderBand->Width();
    PageNumLabel->SetAlignment(taLeftJustify);
    PageNumLabel->SetAutoSize(false);
    PageNumLabel->SetBounds(right - 48, 4, 48, PageNumLabel->Height());
    PageItem->SetAutoSize(false);
    PageItem->SetAlignment(taRightJustify);
    PageItem->SetBounds(PageNumLabel->Left() - 3 - PageItem->Width(), 4, PageItem->Width(),
                        PageItem->Height());
    Title->SetAutoSize(false);
    Title->SetBounds(0, 4, PageItem->Left() - 3, PageItem->Height());
}

void TPrintedReportForm::PrintOrPreview(bool Preview) {
    if (Preview)
        Report->Preview();
    else
        Report->Print();
}

bool AskPrintedReportChoices(TPrintedReportChoices& Choices, bool NewPage) {
    auto* spec = TCustomForm::Create<TGetPrintedReportSpecForm>(Application);
    if (!NewPage) spec->HideStartEachDisk();
    TModalResult result = mrNone;
    try {
        (Choices.Portrait ? spec->Portrait : spec->Landscape)->SetChecked(true);
        result = spec->ShowModal();
        Choices.Portrait = spec->Portrait->Checked();
        Choices.MultiLine = spec->MultiLine->Checked();
        Choices.Preview = spec->PreviewOnScreenFirst->Checked();
        Choices.NewPage = NewPage && spec->StartEachDiskOnNewPage->Checked();
    } catch (...) {
        spec->Free();
        throw;
    }
    spec->Free();
    return result == mrOk;
}

void MeasurePrintedHeadings(std::span<TReportLabel* const> Headers, std::span<int> Widths) {
    // A heading keeps the size of its first font until it is measured again in the one it prints
    // in; the column takes the larger of the two.
    for (size_t i = 0; i < Headers.size() && i < Widths.size(); ++i) {
        Widths[i] = std::max(Widths[i], Headers[i]->Width());
        Headers[i]->SetAutoSize(true);
        Widths[i] = std::max(Widths[i], Headers[i]->Width());
    }
}

void MeasurePrintedText(TReportLabel& Test, const std::string& Text, int& Width) {
    Test.SetCaption(Text);
    Width = std::max(Width, Test.Width());
}

bool WalkPrintedRows(TCustomForm& Window, TDataSet& Rows, const std::string& Caption,
                     const std::function<void()>& MeasureRow) {
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(&Window);
    progress->ShowForm(Caption, true);
    Window.SetEnabled(false);
    const TBookmark mark = Rows.GetBookmark();
    Rows.DisableControls();
    auto finish = [&]() {
        Rows.GotoBookmark(mark);
        Rows.EnableControls();
        Window.SetEnabled(true);
        progress->HideForm();
        progress->Free();
    };
    try {
        const int rows = Rows.RecordCount();
        int done = 0;
        for (Rows.First(); !Rows.Eof(); Rows.Next()) {
            if (progress->CancelPressed) break;
            MeasureRow();
            ++done;
            progress->ProgressBar->SetProgress(rows > 0 ? int(double(done) / rows * 100) : 100);
            Application->ProcessMessages();
        }
    } catch (...) {
        finish();
        throw;
    }
    const bool completed = !progress->CancelPressed;
    finish();
    return completed;
}

void PlacePrintedColumns(std::span<const uint8_t> Positions, std::span<TReportLabel* const> Headers,
                         std::span<TReportDBText* const> Texts, std::span<const int> Widths, size_t Comment,
                         TReportDBText* Wrapped, int BandWidth) {
    auto text = [&](size_t i) -> TReportLabel* { return i == Comment && Wrapped ? Wrapped : Texts[i]; };
    int x = 1;
    size_t last = Positions.size();
    for (size_t p = 1; p <= Positions.size(); ++p)
        for (size_t i = 0; i < Positions.size(); ++i) {
            if (Positions[i] != p) continue;
            for (TReportLabel* c : {Headers[i], text(i)}) {
                c->SetEnabled(true);
                c->SetAutoSize(false);
                c->SetLeft(x);
                c->SetWidth(Widths[i]);
            }
            last = i;
            x += Widths[i] + 4;
        }
    if (last != Comment) return;
    // A wrapped comment also narrows to the edge rather than run off the page.
    TReportLabel* comment = text(last);
    const int room = BandWidth - comment->Left();
    if (room > 0 && (comment->Width() < room || comment->WordWrap())) comment->SetWidth(room);
}

}  // namespace reports
