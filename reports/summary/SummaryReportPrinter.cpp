// The disk summary's Print button: the printer dialog, the column layout measured in the printer
// font, and the banded report printed or previewed.

#include "reports/summary/SummaryReportPrinter.h"

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

struct TSummaryPrintedItem {
    const char* HeaderName;
    const char* Heading;
    const char* TextName;
    const char* Field;
    TAlignment Align;
    const char* Mask;
};

constexpr const char* kSummaryPrintedSize = "###,###,###,###,##0";
constexpr const char* kSummaryPrintedCount = "#,###,###,##0";

constexpr TSummaryPrintedItem kSummaryPrintedItems[kSummaryItems] = {
    {"CatalogVolumeHeader", "Catalog Volume ID", "CatalogVolume", "CatalogVolumeLabel", taLeftJustify,
     nullptr},
    {"ActualVolumeHeader", "Actual Volume ID", "ActualVolume", "ActualVolumeLabel", taLeftJustify, nullptr},
    {"SerialNumberHeader", "Serial Number", "SerialNumber", "SerialNumberStr", taCenter, nullptr},
    {"DateFirstCatalogedHeader", "First Cataloged", "DateFirstCataloged", "DateFirstCataloged", taCenter,
     nullptr},
    {"DateLastCatalogedHeader", "Last Cataloged", "DateLastCataloged", "DateLastCataloged", taCenter,
     nullptr},
    {"DiskSizeHeader", "Disk Size", "DiskSize", "DiskSize", taRightJustify, kSummaryPrintedSize},
    {"ClusterSizeHeader", "Cluster Size", "ClusterSize", "DiskClusterSize", taRightJustify,
     kSummaryPrintedSize},
    {"SpaceUsedHeader", "Space Used", "SpaceUsed", "DiskUsed", taRightJustify, kSummaryPrintedSize},
    {"FreeSpaceHeader", "Free Space", "FreeSpace", "DiskFree", taRightJustify, kSummaryPrintedSize},
    {"SlackSpaceHeader", "Slack%", "SlackSpace", "SlackSpace", taRightJustify, "##0.00%"},
    {"FilesOnDiskHeader", "Files On Disk", "FilesOnDisk", "FilesOnDisk", taRightJustify,
     kSummaryPrintedCount},
    {"FilesInArcsHeader", "Files In Arcs", "FilesInArcs", "FilesInArchives", taRightJustify,
     kSummaryPrintedCount},
    {"CatalogedFromHeader", "Drv", "CatalogedFrom", "CatalogedFrom", taCenter, nullptr},
    {"CommentHeader", "Comment", "Comment1", "CommentStr", taLeftJustify, nullptr},
};

template <class T>
T* SummaryPrinted(TComponent& Owner, TWinControl& Band, const char* Name, const std::string& Caption,
                  TFontStyles Style = 0, int Size = 0) {
    auto* c = NewComponent<T>(&Owner);
    c->SetName(Name);
    c->SetParent(&Band);
    c->Font().Name = "Arial";
    if (Size) c->Font().SetSize(Size);
    c->Font().Style = Style;
    c->SetCaption(Caption);
    return c;
}

}  // namespace

TSummaryReportPrinterForm::TSummaryReportPrinterForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SummaryReportPrinterForm");
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
    PageFooterBand = band("PageFooterBand", rbPageFooter);

    Title = SummaryPrinted<TReportLabel>(*this, *PageHeaderBand, "Title", "", fsBold, 12);
    Title->SetAlignment(taCenter);
    PageItem = SummaryPrinted<TReportLabel>(*this, *PageHeaderBand, "PageItem", "Page", fsBold, 12);
    PageNumLabel = SummaryPrinted<TReportLabel>(*this, *PageHeaderBand, "PageNumLabel", "1", fsBold, 12);
    PageNumLabel->SetAlignment(taRightJustify);
    TestLabel = SummaryPrinted<TReportLabel>(*this, *PageHeaderBand, "TestLabel", "");
    TestLabel->SetEnabled(false);
    HeaderUnderline = NewComponent<TReportShape>(this);
    HeaderUnderline->SetName("HeaderUnderline");
    HeaderUnderline->SetParent(PageHeaderBand);
    HeaderUnderline->Shape = qrsHorLine;
    HeaderUnderline->SetHeight(1);
    for (int i = 0; i < kSummaryItems; ++i) {
        const TSummaryPrintedItem& item = kSummaryPrintedItems[i];
        Headers[size_t(i)] =
            SummaryPrinted<TReportLabel>(*this, *PageHeaderBand, item.HeaderName, item.Heading);
        Headers[size_t(i)]->SetTop(30);
        Headers[size_t(i)]->SetAlignment(i < 2 || i == 13 ? taLeftJustify : taCenter);
        Headers[size_t(i)]->SetEnabled(false);
        auto* text = SummaryPrinted<TReportDBText>(*this, *DetailBand, item.TextName, "");
        text->DataField = item.Field;
        text->SetAlignment(item.Align);
        text->SetEnabled(false);
        if (item.Mask) text->Mask = item.Mask;
        Texts[size_t(i)] = text;
    }
    Comment2 = SummaryPrinted<TReportDBText>(*this, *DetailBand, "Comment2", "");
    Comment2->DataField = "Comment";
    Comment2->SetWordWrap(true);
    Comment2->SetAutoStretch(true);
    Comment2->SetEnabled(false);
    Comment2->SetAutoSize(false);
    Comment2->SetWidth(240);

    SummaryPrinted<TReportLabel>(*this, *SummaryBand, "ReportTotalsLabel", "Report Totals", fsBold, 14)
        ->SetTop(4);
    int x = 0;
    auto total = [this, &x](const char* Heading, const char* Name) {
        auto* head = SummaryPrinted<TReportLabel>(*this, *SummaryBand, "", Heading, fsItalic, 10);
        head->SetAutoSize(false);
        head->SetAlignment(taCenter);
        head->SetBounds(x, 30, 112, 18);
        auto* value = SummaryPrinted<TReportLabel>(*this, *SummaryBand, Name, "", fsBold, 10);
        value->SetAutoSize(false);
        value->SetAlignment(taCenter);
        value->SetBounds(x, 50, 112, 18);
        x += 116;
        return value;
    };
    TotDisks = total("Total Disks", "TotDisks");
    TotFiles = total("Total Files", "TotFiles");
    TotSpace = total("Total Space", "TotSpace");
    TotUsed = total("Total Used", "TotUsed");
    TotFree = total("Total Free", "TotFree");
    Slack = total("Slack %", "Slack");
    SummaryBand->SetHeight(72);

    FooterLabel = SummaryPrinted<TReportLabel>(*this, *PageFooterBand, "FooterLabel", PrintedFooter());
    FooterLabel->SetAlignment(taCenter);
    PageFooterBand->SetHeight(20);
    PageFooterBand->BeforePrint = [this](TReportBand*, bool&) { PageFooterBandBeforePrint(); };
}

void TSummaryReportPrinterForm::ReportBeforePrint() {
    FPageCounter = 0;
}

void TSummaryReportPrinterForm::ReportStartPage() {
    ++FPageCounter;
    PageNumLabel->SetCaption(std::to_string(FPageCounter));
}

void TSummaryReportPrinterForm::PageFooterBandBeforePrint() {
    FooterLabel->SetAutoSize(false);
    FooterLabel->SetBounds(0, PageFooterBand->Height() - FooterLabel->Height(), PageFooterBand->Width(),
                           FooterLabel->Height());
    FooterLabel->SetCaption(PrintedFooter());
}

bool TSummaryReportScreenForm::LayOutPrintedColumns(TSummaryReportPrinterForm& P, bool MultiLine) {
    constexpr size_t kComment = kSummaryItems - 1;
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(this);
    progress->ShowForm("Calculating Column Widths For This Printed Report", true);
    std::array<int, kSummaryItems> widths{};
    // Each heading measured in the font it prints in (the heading labels keep their first size).
    for (size_t i = 0; i < kSummaryItems; ++i) {
        P.TestLabel->SetCaption(P.Headers[i]->Caption());
        widths[i] = std::max(P.Headers[i]->Width(), P.TestLabel->Width());
    }
    if (MultiLine) widths[kComment] = P.Comment2->Width();
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
        auto texts = QueryRowTexts();
        texts[9] = FormatFloat("##0.00%", Query->FieldByName("SlackSpace")->AsFloat());
        for (int item : {11, 12})
            texts[size_t(item - 1)] = FormatFloat(
                kSummaryPrintedCount, Query->FieldByName(kSummaryPrintedItems[item - 1].Field)->AsFloat());
        for (size_t i = 0; i < kSummaryItems; ++i) {
            if (i == 12 || (i == kComment && MultiLine)) continue;  // the drive keeps its heading's width
            P.TestLabel->SetCaption(texts[i]);
            widths[i] = std::max(widths[i], P.TestLabel->Width());
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
    TReportLabel* last = nullptr;
    for (int p = 1; p <= kSummaryItems; ++p)
        for (size_t i = 0; i < kSummaryItems; ++i) {
            if (Spec.ColumnPos[i] != p) continue;
            TReportLabel* text = (i == kComment && MultiLine) ? P.Comment2 : P.Texts[i];
            for (TReportLabel* c : {P.Headers[i], text}) {
                c->SetEnabled(true);
                c->SetAutoSize(false);
                c->SetLeft(x);
                c->SetWidth(widths[i]);
            }
            last = text;
            x += widths[i] + 4;
        }
    if (last && (last == P.Comment2 || last == P.Texts[kComment]) &&
        last->Left() + last->Width() < P.DetailBand->Width())
        last->SetWidth(P.DetailBand->Width() - last->Left());
    finish();
    return true;
}

void TSummaryReportScreenForm::PrintBtnClick() {
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

    auto* p = TCustomForm::Create<TSummaryReportPrinterForm>(Application);
    try {
        p->Report->PrinterIndex = Printer().PrinterIndex();
        p->Report->Page().SetOrientation(portrait ? poPortrait : poLandscape);
        p->Title->SetCaption(Caption());
        p->Report->ReportTitle = Caption();
        p->Report->SetDataSet(Query);
        for (TReportDBText* t : p->Texts) t->SetDataSet(Query);
        p->Comment2->SetDataSet(Query);
        const TFont& font = SummaryReportGrid->Font();
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

        p->TotDisks->SetCaption(FormatFloat(kSummaryPrintedCount, DiskCount));
        p->TotFiles->SetCaption(FormatFloat(kSummaryPrintedCount, double(FileTotal)));
        p->TotSpace->SetCaption(FormatFloat(kSummaryPrintedSize, double(SizeTotal)));
        p->TotUsed->SetCaption(FormatFloat(kSummaryPrintedSize, double(UsedTotal)));
        p->TotFree->SetCaption(FormatFloat(kSummaryPrintedSize, double(FreeTotal)));
        p->Slack->SetCaption(FormatFloat("##0.00", double(SlackTotal)));
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
