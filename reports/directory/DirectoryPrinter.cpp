// The directory window's Print button: the printer dialog, the column layout measured in the
// printed font on the window's second cursor, and the banded report printed or previewed.

#include "reports/directory/DirectoryPrinter.h"

#include <algorithm>

#include "catalog/ProgressForm.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
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

template <class T>
T* DirPrinted(TComponent& Owner, TWinControl& Band, const char* Name, const std::string& Caption,
              TFontStyles Style = 0) {
    auto* c = NewComponent<T>(&Owner);
    if (Name) c->SetName(Name);
    c->SetParent(&Band);
    c->SetCaption(Caption);
    c->Font().Style = Style;
    return c;
}

}  // namespace

TPrintDirectoryForm::TPrintDirectoryForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("PrintDirectoryForm");
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

    Title = DirPrinted<TReportLabel>(*this, *PageHeaderBand, "Title", "", fsBold);
    Title->SetAlignment(taCenter);
    PageItem = DirPrinted<TReportLabel>(*this, *PageHeaderBand, "PageItem", "Page", fsBold);
    PageNumLabel = DirPrinted<TReportLabel>(*this, *PageHeaderBand, "PageNumLabel", "1", fsBold);
    PageNumLabel->SetAlignment(taRightJustify);
    TestLabel = DirPrinted<TReportLabel>(*this, *PageHeaderBand, "TestLabel", "");
    TestLabel->SetEnabled(false);
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
        auto* head = DirPrinted<TReportLabel>(*this, *PageHeaderBand, nullptr, f.Heading, fsItalic);
        head->SetAutoSize(false);
        head->SetAlignment(taCenter);
        head->SetBounds(x, 24, kDirFigureWidth, 16);
        auto* value = DirPrinted<TReportLabel>(*this, *PageHeaderBand, f.Name, "", fsBold);
        value->SetAutoSize(false);
        value->SetAlignment(taCenter);
        value->SetBounds(x, 40, kDirFigureWidth, 16);
        *f.Label = value;
        x += kDirFigureWidth + 6;
    }
    for (int i = 0; i < kDirectoryColumns; ++i) {
        const TDirPrintedColumn& c = kDirPrintedColumns[i];
        auto* header = DirPrinted<TReportLabel>(*this, *PageHeaderBand, c.HeaderName,
                                                kDirectoryHeadings[size_t(i)], fsBold);
        header->SetTop(64);
        header->SetAlignment(c.Align);
        header->SetEnabled(false);
        Headers[size_t(i)] = header;
        auto* text = DirPrinted<TReportDBText>(*this, *DetailBand, c.TextName, "");
        text->DataField = c.Field;
        text->SetAlignment(c.Align);
        text->SetEnabled(false);
        if (i == 3) text->Mask = kDirPrintedSizeFormat;
        Texts[size_t(i)] = text;
    }
    FComment2 = DirPrinted<TReportDBText>(*this, *DetailBand, "FComment2", "");
    FComment2->DataField = "Comment";
    FComment2->SetWordWrap(true);
    FComment2->SetAutoStretch(true);
    FComment2->SetWidth(200);
    FComment2->SetEnabled(false);

    DirPrinted<TReportLabel>(*this, *SummaryBand, "ReportTotalsLabel", "Report Totals", fsBold)->SetTop(4);
    x = 0;
    auto total = [this, &x](const char* Heading, const char* Name) {
        auto* head = DirPrinted<TReportLabel>(*this, *SummaryBand, nullptr, Heading, fsItalic);
        head->SetBounds(x, 24, 150, 16);
        auto* value = DirPrinted<TReportLabel>(*this, *SummaryBand, Name, "", fsBold);
        value->SetAutoSize(false);
        value->SetAlignment(taCenter);
        value->SetBounds(x, 42, 150, 16);
        x += 160;
        return value;
    };
    FilesOnDisk = total("Files On Disk", "FilesOnDisk");
    BytesOnDisk = total("Bytes On Disk:", "BytesOnDisk");
    FilesInArcs = total("Files In Archives", "FilesInArcs");
    BytesInArcs = total("Bytes In Archives", "BytesInArcs");
    SummaryBand->SetHeight(64);

    FooterLabel =
        DirPrinted<TReportLabel>(*this, *PageFooterBand, "FooterLabel",
                                 PrintedFooter());
    FooterLabel->SetAutoSize(false);
    FooterLabel->SetAlignment(taCenter);
    FooterLabel->SetBounds(0, 4, PageFooterBand->Width(), 16);
    PageFooterBand->SetHeight(24);
}

void TPrintDirectoryForm::ReportBeforePrint() {
    FPageCounter = 0;
}

void TPrintDirectoryForm::ReportStartPage() {
    ++FPageCounter;
    PageNumLabel->SetCaption(std::to_string(FPageCounter));
}

bool TShowDirectoryForm::LayOutPrintedColumns(TPrintDirectoryForm& P, bool MultiLine) {
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(this);
    progress->ShowForm("Calculating Column Widths For File Items In This Printed Report", true);
    SetEnabled(false);
    auto finish = [&]() {
        ReportTable2->Close();
        SetEnabled(true);
        progress->HideForm();
        progress->Free();
    };
    std::array<int, kDirectoryColumns> widths{};
    try {
        ReportTable2->Close();
        ReportTable2->SetDatabaseName(ReportTable->DatabaseName());
        ReportTable2->SetTableName(ReportTable->TableName());
        if (ReportTable2->Fields.Count() == 0) AddListingFields(*ReportTable2);
        ReportTable2->Open();
        for (int i = 0; i < kDirectoryColumns; ++i) widths[size_t(i)] = P.Headers[size_t(i)]->Width();
        if (MultiLine) widths[kDirectoryCommentColumn] = P.FComment2->Width();
        const int rows = ReportTable2->RecordCount();
        int done = 0;
        for (ReportTable2->First(); !ReportTable2->Eof(); ReportTable2->Next()) {
            if (progress->CancelPressed) {
                finish();
                return false;
            }
            const auto texts = RowTexts(*ReportTable2);
            for (int i = 0; i < kDirectoryColumns; ++i) {
                if (i == kDirectoryCommentColumn && MultiLine) continue;
                P.TestLabel->SetCaption(texts[size_t(i)]);
                widths[size_t(i)] = std::max(widths[size_t(i)], P.TestLabel->Width());
            }
            ++done;
            progress->ProgressBar->SetProgress(rows > 0 ? int(double(done) / rows * 100) : 100);
            Application->ProcessMessages();
        }
    } catch (...) {
        finish();
        throw;
    }
    if (progress->CancelPressed) {
        finish();
        return false;
    }
    int x = 1;
    for (int i = 0; i < kDirectoryColumns; ++i) {
        if (!ColumnItems[size_t(i)]->Checked) continue;
        const bool comment = i == kDirectoryCommentColumn;
        TReportLabel* text = comment && MultiLine ? P.FComment2 : P.Texts[size_t(i)];
        for (TReportLabel* c : {static_cast<TReportLabel*>(P.Headers[size_t(i)]), text}) {
            c->SetEnabled(true);
            c->SetAutoSize(false);
            c->SetLeft(x);
            c->SetWidth(widths[size_t(i)]);
        }
        if (comment && text->Left() + text->Width() < P.DetailBand->Width())
            text->SetWidth(P.DetailBand->Width() - text->Left());
        x += widths[size_t(i)] + 4;
    }
    finish();
    return true;
}

void TShowDirectoryForm::PrintBtnClick() {
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

    auto* p = TCustomForm::Create<TPrintDirectoryForm>(Application);
    try {
        p->Report->PrinterIndex = Printer().PrinterIndex();
        p->Report->Page().SetOrientation(portrait ? poPortrait : poLandscape);
        p->Title->SetCaption(Caption());
        p->Report->ReportTitle = Caption();
        p->Report->SetDataSet(ReportTable2);
        for (TReportDBText* t : p->Texts) t->SetDataSet(ReportTable2);
        p->FComment2->SetDataSet(ReportTable2);
        const TFont& font = FileGrid->Font();
        p->TestLabel->Font() = font;
        p->DetailBand->Font() = font;
        for (TReportDBText* t : p->Texts) t->Font() = font;
        p->FComment2->Font() = font;
        for (TReportLabel* h : p->Headers) h->Font() = font;
        p->TestLabel->SetCaption("Mg");
        const int lineHeight = p->TestLabel->Height();
        p->DetailBand->SetHeight(lineHeight);
        for (TReportDBText* t : p->Texts) t->SetHeight(lineHeight);
        p->FComment2->SetHeight(lineHeight);
        p->PageHeaderBand->SetHeight(64 + p->Headers[0]->Height() + 4);

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
        if (preview)
            p->Report->Preview();
        else
            p->Report->Print();
        ReportTable2->Close();
    } catch (...) {
        ReportTable2->Close();
        p->Free();
        throw;
    }
    p->Free();
}

}  // namespace reports
