// The disk summary's Print button: the printer dialog, the column layout measured in the printer
// font, and the banded report printed or previewed.

#include "reports/summary/SummaryReportPrinter.h"

#include <algorithm>

#include "dbsql/components/DbQuery.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
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

// Every control of the printed summary is in Arial.
template <class T>
T* SummaryPrinted(TComponent& Owner, TWinControl& Band, const char* Name, const std::string& Caption,
                  TFontStyles Style = 0, int Size = 0) {
    return NewPrintedControl<T>(Owner, Band, Name, Caption, Style, "Arial", Size);
}

}  // namespace

TSummaryReportPrinterForm::TSummaryReportPrinterForm(TComponent* AOwner)
    : TPrintedReportForm(AOwner, "SummaryReportPrinterForm", "Arial", 12) {
    PageFooterBand = NewBand("PageFooterBand", rbPageFooter);
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

void TSummaryReportPrinterForm::PageFooterBandBeforePrint() {
    FooterLabel->SetAutoSize(false);
    FooterLabel->SetBounds(0, PageFooterBand->Height() - FooterLabel->Height(), PageFooterBand->Width(),
                           FooterLabel->Height());
    FooterLabel->SetCaption(PrintedFooter());
}

bool TSummaryReportScreenForm::LayOutPrintedColumns(TSummaryReportPrinterForm& P, bool MultiLine) {
    constexpr size_t kComment = kSummaryItems - 1;
    std::array<int, kSummaryItems> widths{};
    MeasurePrintedHeadings(P.Headers, widths);
    if (MultiLine) widths[kComment] = P.Comment2->Width();
    const bool measured =
        WalkPrintedRows(*this, *Query, "Calculating Column Widths For This Printed Report", [&] {
            auto texts = QueryRowTexts();
            texts[9] = FormatFloat("##0.00%", Query->FieldByName("SlackSpace")->AsFloat());
            for (int item : {11, 12})
                texts[size_t(item - 1)] =
                    FormatFloat(kSummaryPrintedCount,
                                Query->FieldByName(kSummaryPrintedItems[item - 1].Field)->AsFloat());
            for (size_t i = 0; i < kSummaryItems; ++i)
                if (i != 12 && (i != kComment || !MultiLine))  // the drive keeps its heading's width
                    MeasurePrintedText(*P.TestLabel, texts[i], widths[i]);
        });
    if (!measured) return false;
    PlacePrintedColumns(Spec.ColumnPos, P.Headers, P.Texts, widths, kComment,
                        MultiLine ? P.Comment2 : nullptr, P.DetailBand->Width());
    return true;
}

void TSummaryReportScreenForm::PrintBtnClick() {
    TPrintedReportChoices choices;
    if (!AskPrintedReportChoices(choices)) return;

    auto* p = TCustomForm::Create<TSummaryReportPrinterForm>(Application);
    try {
        p->StartPrintedReport(choices, Caption(), *Query, SummaryReportGrid->Font(), p->Headers, p->Texts,
                              *p->Comment2);
        p->PageHeaderBand->SetHeight(p->Headers[0]->Height() + 33);
        p->HeaderUnderline->SetBounds(0, p->PageHeaderBand->Height() - 3, p->PageHeaderBand->Width(), 1);

        if (!LayOutPrintedColumns(*p, choices.MultiLine)) {
            p->Free();
            return;
        }
        p->PlacePageHeading();

        p->TotDisks->SetCaption(FormatFloat(kSummaryPrintedCount, DiskCount));
        p->TotFiles->SetCaption(FormatFloat(kSummaryPrintedCount, double(FileTotal)));
        p->TotSpace->SetCaption(FormatFloat(kSummaryPrintedSize, double(SizeTotal)));
        p->TotUsed->SetCaption(FormatFloat(kSummaryPrintedSize, double(UsedTotal)));
        p->TotFree->SetCaption(FormatFloat(kSummaryPrintedSize, double(FreeTotal)));
        p->Slack->SetCaption(FormatFloat("##0.00", double(SlackTotal)));
        p->SummaryBand->SetEnabled(ShowTotals->Checked());

        const TBookmark mark = Query->GetBookmark();
        p->PrintOrPreview(choices.Preview);
        Query->GotoBookmark(mark);
    } catch (...) {
        p->Free();
        throw;
    }
    p->Free();
}

}  // namespace reports
