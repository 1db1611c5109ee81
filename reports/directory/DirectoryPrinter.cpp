// The directory window's Print button: the printer dialog, the column layout measured in the
// printed font on the window's second cursor, and the banded report printed or previewed.

#include "reports/directory/DirectoryPrinter.h"

#include <algorithm>

#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "reports/directory/ShowDirectoryForm.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {

using namespace framework;

namespace {

struct TDirPrintedColumn {
    const char* HeaderName;
    const char* TextName;
    const char* Field;
    TAlignment Align;
};
constexpr TDirPrintedColumn kDirPrintedColumns[kDirectoryColumns] = {
    {"FileNameHeader", "FileName", "FileName", taLeftJustify},
    {"FolderNameHeader", "FolderName", "FolderName", taLeftJustify},
    {"ArchiveIDHeader", "ArchiveID", "ArchiveID", taLeftJustify},
    {"FileSizeHeader", "FileSize", "FileSize", taRightJustify},
    {"DateModifiedHeader", "DateModified", "DateModified", taCenter},
    {"TimeModifiedHeader", "TimeModified", "TimeModified", taCenter},
    {"AttributeHeader", "Attribute", "AttributeStr", taCenter},
    {"FCommentHeader", "FComment1", "CommentStr", taLeftJustify},
};
constexpr const char* kDirPrintedSizeFormat = "###,###,###,###,##0";
constexpr int kDirFigureWidth = 110;

}  // namespace

TPrintDirectoryForm::TPrintDirectoryForm(TComponent* AOwner)
    : TPrintedReportForm(AOwner, "PrintDirectoryForm") {
    PageFooterBand = NewBand("PageFooterBand", rbPageFooter);
    struct TFigure {
        const char* Heading;
        const char* Name;
        TReportLabel** Label;
    };
    const TFigure figures[] = {
        {"Volume Label", "VLabel", &VLabel},
        {"Disk Size", "DSize", &DSize},
        {"Space Used", "DUsed", &DUsed},
        {"Free Space", "DFree", &DFree},
        {"Files On Disk", "FilesOnDiskS", &FilesOnDiskS},
        {"Files In Archives", "FilesInArcsS", &FilesInArcsS},
    };
    int x = 0;
    for (const TFigure& f : figures) {
        auto* head = NewPrintedControl<TReportLabel>(*this, *PageHeaderBand, nullptr, f.Heading, fsItalic);
        head->SetAutoSize(false);
        head->SetAlignment(taCenter);
        head->SetBounds(x, 24, kDirFigureWidth, 16);
        auto* value = NewPrintedControl<TReportLabel>(*this, *PageHeaderBand, f.Name, "", fsBold);
        value->SetAutoSize(false);
        value->SetAlignment(taCenter);
        value->SetBounds(x, 40, kDirFigureWidth, 16);
        *f.Label = value;
        x += kDirFigureWidth + 6;
    }
    for (int i = 0; i < kDirectoryColumns; ++i) {
        const TDirPrintedColumn& c = kDirPrintedColumns[i];
        auto* header = NewPrintedControl<TReportLabel>(*this, *PageHeaderBand, c.HeaderName,
                                                       kDirectoryHeadings[size_t(i)]);
        header->Font().Style = fsBold;  // measured in the plain font, as the grid's font replaces it
        header->SetTop(64);
        header->SetAlignment(c.Align);
        header->SetEnabled(false);
        Headers[size_t(i)] = header;
        auto* text = NewPrintedControl<TReportDBText>(*this, *DetailBand, c.TextName, "");
        text->DataField = c.Field;
        text->SetAlignment(c.Align);
        text->SetEnabled(false);
        if (i == 3) text->Mask = kDirPrintedSizeFormat;
        Texts[size_t(i)] = text;
    }
    FComment2 = NewPrintedControl<TReportDBText>(*this, *DetailBand, "FComment2", "");
    FComment2->DataField = "Comment";
    FComment2->SetWordWrap(true);
    FComment2->SetAutoStretch(true);
    FComment2->SetWidth(200);
    FComment2->SetEnabled(false);

    NewPrintedControl<TReportLabel>(*this, *SummaryBand, "ReportTotalsLabel", "Report Totals", fsBold)
        ->SetTop(4);
    x = 0;
    FilesOnDisk = NewTotalBox(x, nullptr, "Files On Disk", fsItalic, "FilesOnDisk");
    BytesOnDisk = NewTotalBox(x, nullptr, "Bytes On Disk:", fsItalic, "BytesOnDisk");
    FilesInArcs = NewTotalBox(x, nullptr, "Files In Archives", fsItalic, "FilesInArcs");
    BytesInArcs = NewTotalBox(x, nullptr, "Bytes In Archives", fsItalic, "BytesInArcs");
    SummaryBand->SetHeight(64);

    FooterLabel = NewPrintedControl<TReportLabel>(*this, *PageFooterBand, "FooterLabel", PrintedFooter());
    FooterLabel->SetAutoSize(false);
    FooterLabel->SetAlignment(taCenter);
    FooterLabel->SetBounds(0, 4, PageFooterBand->Width(), 16);
    PageFooterBand->SetHeight(24);
}

bool TShowDirectoryForm::LayOutPrintedColumns(TPrintDirectoryForm& P, bool MultiLine) {
    std::array<int, kDirectoryColumns> widths{};
    bool measured = false;
    try {
        ReportTable2->Close();
        ReportTable2->SetDatabaseName(ReportTable->DatabaseName());
        ReportTable2->SetTableName(ReportTable->TableName());
        if (ReportTable2->Fields.Count() == 0) AddListingFields(*ReportTable2);
        ReportTable2->Open();
        MeasurePrintedHeadings(P.Headers, widths);
        if (MultiLine) widths[kDirectoryCommentColumn] = P.FComment2->Width();
        measured = WalkPrintedRows(
            *this, *ReportTable2, "Calculating Column Widths For File Items In This Printed Report", [&] {
                const auto texts = RowTexts(*ReportTable2);
                for (int i = 0; i < kDirectoryColumns; ++i)
                    if (i != kDirectoryCommentColumn || !MultiLine)
                        MeasurePrintedText(*P.TestLabel, texts[size_t(i)], widths[size_t(i)]);
            });
    } catch (...) {
        ReportTable2->Close();
        throw;
    }
    ReportTable2->Close();
    if (!measured) return false;
    // The checked columns in their fixed order.
    std::array<uint8_t, kDirectoryColumns> positions{};
    uint8_t next = 0;
    for (size_t i = 0; i < kDirectoryColumns; ++i)
        if (ColumnItems[i]->Checked) positions[i] = ++next;
    PlacePrintedColumns(positions, P.Headers, P.Texts, widths, kDirectoryCommentColumn,
                        MultiLine ? P.FComment2 : nullptr, P.DetailBand->Width());
    return true;
}

void TShowDirectoryForm::PrintBtnClick() {
    TPrintedReportChoices choices;
    if (!AskPrintedReportChoices(choices)) return;

    auto* p = TCustomForm::Create<TPrintDirectoryForm>(Application);
    try {
        p->StartPrintedReport(choices, Caption(), *ReportTable2, FileGrid->Font(), p->Headers, p->Texts,
                              *p->FComment2);
        p->PageHeaderBand->SetHeight(64 + p->Headers[0]->Height() + 4);

        if (!LayOutPrintedColumns(*p, choices.MultiLine)) {
            p->Free();
            return;
        }
        p->PlacePageHeading();
        p->FooterLabel->SetWidth(p->PageFooterBand->Width());

        const TDirectoryVolumeTexts v = VolumeTexts();
        p->VLabel->SetCaption(v.VolumeLabel);
        p->DSize->SetCaption(v.DiskSize);
        p->DUsed->SetCaption(v.SpaceUsed);
        p->DFree->SetCaption(v.FreeSpace);
        p->FilesOnDiskS->SetCaption(v.FilesOnDisk);
        p->FilesInArcsS->SetCaption(v.FilesInArcs);
        p->FilesOnDisk->SetCaption(Totals1[0]->Caption());
        p->BytesOnDisk->SetCaption(Totals1[1]->Caption());
        p->FilesInArcs->SetCaption(Totals1[2]->Caption());
        p->BytesInArcs->SetCaption(Totals1[3]->Caption());
        p->SummaryBand->SetEnabled(ShowTotals->Checked());

        ReportTable2->Open();
        p->PrintOrPreview(choices.Preview);
        ReportTable2->Close();
    } catch (...) {
        ReportTable2->Close();
        p->Free();
        throw;
    }
    p->Free();
}

}  // namespace reports
