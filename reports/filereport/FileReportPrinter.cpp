// The file report's Print button: the printer dialog, the column layout measured in the printer
// font, and the banded report printed or previewed.

#include "reports/filereport/FileReportPrinter.h"

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

}  // namespace

TFileReportPrinterForm::TFileReportPrinterForm(TComponent* AOwner)
    : TPrintedReportForm(AOwner, "FileReportPrinterForm") {
    HeaderUnderline = NewComponent<TReportShape>(this);
    HeaderUnderline->SetName("HeaderUnderline");
    HeaderUnderline->SetParent(PageHeaderBand);
    HeaderUnderline->Shape = qrsHorLine;
    HeaderUnderline->SetHeight(1);
    for (int i = 0; i < kColumnItems; ++i) {
        const TPrintedItem& item = kPrintedItems[i];
        Headers[size_t(i)] =
            NewPrintedControl<TReportLabel>(*this, *PageHeaderBand, item.HeaderName, item.Heading);
        Headers[size_t(i)]->SetTop(30);
        Headers[size_t(i)]->SetAlignment(item.Align);
        Headers[size_t(i)]->SetEnabled(false);
        auto* text = NewPrintedControl<TReportDBText>(*this, *DetailBand, item.TextName, "");
        text->DataField = item.Field;
        text->SetAlignment(item.Align);
        text->SetEnabled(false);
        if (i == 4) text->Mask = kPrintedSizeFormat;
        Texts[size_t(i)] = text;
    }
    Comment2 = NewPrintedControl<TReportDBText>(*this, *DetailBand, "Comment2", "");
    Comment2->DataField = "Comment";
    Comment2->SetWordWrap(true);
    Comment2->SetAutoStretch(true);
    Comment2->SetEnabled(false);

    NewPrintedControl<TReportLabel>(*this, *SummaryBand, "ReportTotalsLabel", "Report Totals", fsBold)
        ->SetTop(4);
    int x = 0;
    FilesOnDisk = NewTotalBox(x, "FilesOnDiskHead", "Files On Disk", fsItalic, "FilesOnDisk");
    BytesOnDisk = NewTotalBox(x, "BytesOnDiskHead", "Bytes On Disk:", 0, "BytesOnDisk");
    FilesInArcs = NewTotalBox(x, "FilesInArcsHead", "Files In Archives", fsItalic, "FilesInArcs");
    BytesInArcs = NewTotalBox(x, "BytesInArcsHead", "Bytes In Archives", 0, "BytesInArcs");
    SummaryBand->SetHeight(64);
}

bool TFileReportScreenForm::LayOutPrintedColumns(TFileReportPrinterForm& P, bool MultiLine) {
    constexpr size_t kComment = kColumnItems - 1;
    std::array<int, kColumnItems> widths{};
    MeasurePrintedHeadings(P.Headers, widths);
    if (MultiLine) widths[kComment] = P.Comment2->Width();
    const bool measured =
        WalkPrintedRows(*this, *Query, "Calculating Column Widths For This Printed Report", [&] {
            const auto texts = QueryRowTexts();
            for (size_t i = 0; i < kColumnItems; ++i)
                if (i != kComment || !MultiLine) MeasurePrintedText(*P.TestLabel, texts[i], widths[i]);
        });
    if (!measured) return false;
    PlacePrintedColumns(std::span(ColumnPos).first<kColumnItems>(), P.Headers, P.Texts, widths, kComment,
                        MultiLine ? P.Comment2 : nullptr, P.DetailBand->Width());
    return true;
}

void TFileReportScreenForm::PrintBtnClick() {
    TPrintedReportChoices choices;
    if (!AskPrintedReportChoices(choices)) return;

    auto* p = TCustomForm::Create<TFileReportPrinterForm>(Application);
    try {
        p->StartPrintedReport(choices, Caption(), *Query, FileReportGrid->Font(), p->Headers, p->Texts,
                              *p->Comment2);
        p->PageHeaderBand->SetHeight(p->Headers[0]->Height() + 33);
        p->HeaderUnderline->SetBounds(0, p->PageHeaderBand->Height() - 3, p->PageHeaderBand->Width(), 1);

        if (!LayOutPrintedColumns(*p, choices.MultiLine)) {
            p->Free();
            return;
        }
        p->PlacePageHeading();

        p->FilesOnDisk->SetCaption(FormatFloat(kPrintedCountFormat, double(FilesOnDiskTotal)));
        p->BytesOnDisk->SetCaption(FormatFloat(kPrintedSizeFormat, double(BytesOnDiskTotal)));
        p->FilesInArcs->SetCaption(FormatFloat(kPrintedCountFormat, double(FilesInArchivesTotal)));
        p->BytesInArcs->SetCaption(FormatFloat(kPrintedSizeFormat, double(BytesInArchivesTotal)));
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
