// The file report's Print button: the printer dialog, the column layout measured in the printer
// font, and the banded report printed or previewed.

#include "reports/filereport/FileReportPrinter.h"

#include <algorithm>

#include "catalog/ProgressForm.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/RadioButton.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {

using namespace framework;

namespace {

struct TPrintedItem {
    const char* HeaderName;
    const char* Heading;
    const char* TextName;
    const char* Field;
    TAlignment Align;
};

constexpr TPrintedItem kPrintedItems[kColumnItems] = {
    {"FileNameHeader", "FileName", "FileName", "FileName", taLeftJustify},
    {"VolumeLabelHeader", "Volume Label", "VolumeLabel", "VolumeLabel", taLeftJustify},
    {"FolderNameHeader", "Folder Name", "FolderName", "FolderName", taLeftJustify},
    {"ArchiveIDHeader", "Archive ID", "ArchiveID", "ArchiveID", taLeftJustify},
    {"FileSizeHeader", "File Size", "FileSize", "FileSize", taRightJustify},
    {"DateModifiedHeader", "Date Modified", "DateModified", "DateModified", taCenter},
    {"TimeModifiedHeader", "Time Modified", "TimeModified", "TimeModified", taCenter},
    {"AttributeHeader", "Attribute", "Attribute", "AttributeStr", taCenter},
    {"CategoryCodeHeader", "Category Code", "CategoryCode", "CategoryCode", taLeftJustify},
    {"CategoryHeader", "Category", "Category", "CategoryDescription", taLeftJustify},
    {"CommentHeader", "Comment", "Comment1", "CommentStr", taLeftJustify},
};
constexpr const char* kPrintedSizeFormat = "###,###,###,###,##0";
constexpr const char* kPrintedCountFormat = "#,###,###,##0";

template <class T>
T* PrintedControl(TComponent& Owner, TWinControl& Band, const char* Name, const std::string& Caption,
                  TFontStyles Style = 0) {
    auto* c = NewComponent<T>(&Owner);
    c->SetName(Name);
    c->SetParent(&Band);
    c->SetCaption(Caption);
    c->Font().Style = Style;
    return c;
}

}  // namespace

TFileReportPrinterForm::TFileReportPrinterForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("FileReportPrinterForm");
    Report = NewComponent<TReport>(this);
    Report->SetName("Report");
    Report->Page().SetPaperSize(ppLetter);
    Report->Page().SetMargins(9.906);
    Report->Page().Units = ruInches;
    Report->Options = FirstPageHeader | LastPageFooter;
    Report->PrintIfEmpty = true;
    Report->BeforePrint = [this](TReport*, bool&) { ReportBeforePrint(); };
    Report->OnStartPage = [this](TReport*) { ReportStartPage(); };
    auto band = [this](const char* Name, TReportBandType Type) {
        auto* b = NewComponent<TReportBand>(this, Type);
        b->SetName(Name);
        b->SetReport(Report);
        return b;
    };
    PageHeaderBand = band("PageHeaderBand", rbPageHeader);
    DetailBand = band("DetailBand", rbDetail);
    SummaryBand = band("SummaryBand", rbSummary);

    Title = PrintedControl<TReportLabel>(*this, *PageHeaderBand, "Title", "", fsBold);
    Title->SetAlignment(taCenter);
    PageItem = PrintedControl<TReportLabel>(*this, *PageHeaderBand, "PageItem", "Page", fsBold);
    PageNumLabel = PrintedControl<TReportLabel>(*this, *PageHeaderBand, "PageNumLabel", "1", fsBold);
    PageNumLabel->SetAlignment(taRightJustify);
    TestLabel = PrintedControl<TReportLabel>(*this, *PageHeaderBand, "TestLabel", "");
    TestLabel->SetEnabled(false);
    HeaderUnderline = NewComponent<TReportShape>(this);
    HeaderUnderline->SetName("HeaderUnderline");
    HeaderUnderline->SetParent(PageHeaderBand);
    HeaderUnderline->Shape = qrsHorLine;
    HeaderUnderline->SetHeight(1);
    for (int i = 0; i < kColumnItems; ++i) {
        const TPrintedItem& item = kPrintedItems[i];
        Headers[size_t(i)] =
            PrintedControl<TReportLabel>(*this, *PageHeaderBand, item.HeaderName, item.Heading);
        Headers[size_t(i)]->SetTop(30);
        Headers[size_t(i)]->SetAlignment(item.Align);
        Headers[size_t(i)]->SetEnabled(false);
        auto* text = PrintedControl<TReportDBText>(*this, *DetailBand, item.TextName, "");
        text->DataField = item.Field;
        text->SetAlignment(item.Align);
        text->SetEnabled(false);
        if (i == 4) text->Mask = kPrintedSizeFormat;
        Texts[size_t(i)] = text;
    }
    Comment2 = PrintedControl<TReportDBText>(*this, *DetailBand, "Comment2", "");
    Comment2->DataField = "Comment";
    Comment2->SetWordWrap(true);
    Comment2->SetAutoStretch(true);
    Comment2->SetEnabled(false);

    PrintedControl<TReportLabel>(*this, *SummaryBand, "ReportTotalsLabel", "Report Totals", fsBold)
        ->SetTop(4);
    int x = 0;
    auto total = [this, &x](const char* HeadName, const char* Heading, TFontStyles Style, const char* Name) {
        auto* head = PrintedControl<TReportLabel>(*this, *SummaryBand, HeadName, Heading, Style);
        head->SetBounds(x, 24, 150, 16);
        auto* value = PrintedControl<TReportLabel>(*this, *SummaryBand, Name, "", fsBold);
        value->SetAutoSize(false);
        value->SetAlignment(taCenter);
        value->SetBounds(x, 42, 150, 16);
        x += 160;
        return value;
    };
    FilesOnDisk = total("FilesOnDiskHead", "Files On Disk", fsItalic, "FilesOnDisk");
    BytesOnDisk = total("BytesOnDiskHead", "Bytes On Disk:", 0, "BytesOnDisk");
    FilesInArcs = total("FilesInArcsHead", "Files In Archives", fsItalic, "FilesInArcs");
    BytesInArcs = total("BytesInArcsHead", "Bytes In Archives", 0, "BytesInArcs");
    SummaryBand->SetHeight(64);
}

void TFileReportPrinterForm::ReportBeforePrint() {
    FPageCounter = 0;
}

void TFileReportPrinterForm::ReportStartPage() {
    ++FPageCounter;
    PageNumLabel->SetCaption(std::to_string(FPageCounter));
}

bool TFileReportScreenForm::LayOutPrintedColumns(TFileReportPrinterForm& P, bool MultiLine) {
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(this);
    progress->ShowForm("Calculating Column Widths For This Printed Report", true);
    std::array<int, kColumnItems> widths{};
    for (int i = 0; i < kColumnItems; ++i) widths[size_t(i)] = P.Headers[size_t(i)]->Width();
    if (MultiLine) widths[kColumnItems - 1] = P.Comment2->Width();
    SetEnabled(false);
    const TBookmark mark = Query->GetBookmark();
    Query->DisableControls();
    auto finish = [&]() {
        Query->GotoBookmark(mark);
        Query->EnableControls();
        SetEnabled(true);
        progress->HideForm();
        progress->Free();
    };
    const int rows = Query->RecordCount();
    int done = 0;
    for (Query->First(); !Query->Eof(); Query->Next()) {
        if (progress->CancelPressed) {
            finish();
            return false;
        }
        const auto texts = QueryRowTexts();
        for (int i = 0; i < kColumnItems; ++i) {
            if (i == kColumnItems - 1 && MultiLine) continue;
            P.TestLabel->SetCaption(texts[size_t(i)]);
            widths[size_t(i)] = std::max(widths[size_t(i)], P.TestLabel->Width());
        }
        ++done;
        progress->ProgressBar->SetProgress(rows > 0 ? int(double(done) / rows * 100) : 100);
        Application->ProcessMessages();
    }
    if (progress->CancelPressed) {
        finish();
        return false;
    }
    int x = 1;
    TReportLabel* rightmost = nullptr;
    for (int p = 1; p <= kColumnItems; ++p)
        for (int i = 0; i < kColumnItems; ++i) {
            if (ColumnPos[size_t(i)] != p) continue;
            TReportLabel* text = (i == kColumnItems - 1 && MultiLine) ? P.Comment2 : P.Texts[size_t(i)];
            for (TReportLabel* c : {P.Headers[size_t(i)], text}) {
                c->SetEnabled(true);
                c->SetAutoSize(false);
                c->SetLeft(x);
                c->SetWidth(widths[size_t(i)]);
            }
            rightmost = text;
            x += widths[size_t(i)] + 4;
        }
    if (rightmost && (rightmost == P.Comment2 || rightmost == P.Texts[kColumnItems - 1]) &&
        rightmost->Left() + rightmost->Width() < P.DetailBand->Width())
        rightmost->SetWidth(P.DetailBand->Width() - rightmost->Left());
    finish();
    return true;
}

void TFileReportScreenForm::PrintBtnClick() {
    auto* spec = TCustomForm::Create<TGetPrintedReportSpecForm>(Application);
    spec->HideStartEachDisk();
    TModalResult result = mrNone;
    bool portrait = true, multiLine = false, preview = false;
    try {
        result = spec->ShowModal();
        portrait = spec->Portrait->Checked();
        multiLine = spec->MultiLine->Checked();
        preview = spec->PreviewOnScreenFirst->Checked();
    } catch (...) {
        spec->Free();
        throw;
    }
    spec->Free();
    if (result != mrOk) return;

    auto* p = TCustomForm::Create<TFileReportPrinterForm>(Application);
    try {
        p->Report->PrinterIndex = Printer().PrinterIndex();
        p->Report->Page().SetOrientation(portrait ? poPortrait : poLandscape);
        p->Title->SetCaption(Caption());
        p->Report->ReportTitle = Caption();
        p->Report->SetDataSet(Query);
        for (TReportDBText* t : p->Texts) t->SetDataSet(Query);
        p->Comment2->SetDataSet(Query);
        const TFont& font = FileReportGrid->Font();
        p->TestLabel->Font() = font;
        p->DetailBand->Font() = font;
        for (TReportDBText* t : p->Texts) t->Font() = font;
        p->Comment2->Font() = font;
        for (TReportLabel* h : p->Headers) h->Font() = font;
        p->TestLabel->SetCaption("Mg");
        p->DetailBand->SetHeight(p->TestLabel->Height());
        for (TReportDBText* t : p->Texts) t->SetHeight(p->TestLabel->Height());
        p->Comment2->SetHeight(p->TestLabel->Height());
        p->PageHeaderBand->SetHeight(p->Headers[0]->Height() + 33);
        p->HeaderUnderline->SetBounds(0, p->PageHeaderBand->Height() - 3, p->PageHeaderBand->Width(), 1);

        if (!LayOutPrintedColumns(*p, multiLine)) {
            p->Free();
            return;
        }
        const int right = p->PageHeaderBand->Width();
        p->PageNumLabel->SetAutoSize(false);
        p->PageNumLabel->SetBounds(right - 48, 4, 48, p->PageNumLabel->Height());
        p->PageItem->SetLeft(p->PageNumLabel->Left() - 3 - p->PageItem->Width());
        p->PageItem->SetTop(4);
        p->Title->SetAutoSize(false);
        p->Title->SetBounds(0, 4, p->PageItem->Left() - 3, p->PageItem->Height());

        p->FilesOnDisk->SetCaption(FormatFloat(kPrintedCountFormat, double(FilesOnDiskTotal)));
        p->BytesOnDisk->SetCaption(FormatFloat(kPrintedSizeFormat, double(BytesOnDiskTotal)));
        p->FilesInArcs->SetCaption(FormatFloat(kPrintedCountFormat, double(FilesInArchivesTotal)));
        p->BytesInArcs->SetCaption(FormatFloat(kPrintedSizeFormat, double(BytesInArchivesTotal)));
        p->SummaryBand->SetEnabled(ShowTotals->Checked());

        const TBookmark mark = Query->GetBookmark();
        if (preview)
            p->Report->Preview();
        else
            p->Report->Print();
        Query->GotoBookmark(mark);
    } catch (...) {
        p->Free();
        throw;
    }
    p->Free();
}

}  // namespace reports
