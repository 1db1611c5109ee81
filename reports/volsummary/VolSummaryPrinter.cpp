// The volume summary's Print button: the printer dialog, the volume and file columns measured over
// the whole catalog in their grids' fonts, and the banded report printed or previewed.

#include "reports/volsummary/VolSummaryPrinter.h"

#include <algorithm>

#include "catalog/ProgressForm.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/print/Printers.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "reports/output/PrintedReport.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {

using namespace framework;

namespace {

constexpr const char* kVolPrintedSize = "###,###,###,###,##0";
constexpr const char* kVolPrintedCount = "#,###,###,##0";

// A printed column: its heading, the field its text reads, the alignment of the text and of the
// heading, and the picture of a number.
struct TVolPrintedColumn {
    const char* Heading;
    const char* Field;
    TAlignment Align;
    TAlignment HeadingAlign;
    const char* Mask;
};

constexpr TVolPrintedColumn kVolPrintedVolume[kVolColumns] = {
    {"Catalog Volume ID", "CatalogVolumeLabel", taLeftJustify, taLeftJustify, nullptr},
    {"Actual Volume ID", "ActualVolumeLabel", taLeftJustify, taLeftJustify, nullptr},
    {"Drv", "CatalogedFrom", taCenter, taCenter, nullptr},
    {"Serial Number", "SerialNumberStr", taCenter, taCenter, nullptr},
    {"First Cataloged", "DateFirstCataloged", taCenter, taCenter, nullptr},
    {"Last Cataloged", "DateLastCataloged", taCenter, taCenter, nullptr},
    {"Disk Size", "DiskSize", taRightJustify, taCenter, kVolPrintedSize},
    {"Cluster Size", "DiskClusterSize", taRightJustify, taCenter, kVolPrintedSize},
    {"Space Used", "DiskUsed", taRightJustify, taCenter, kVolPrintedSize},
    {"Free Space", "DiskFree", taRightJustify, taCenter, kVolPrintedSize},
    {"Slack%", "SlackSpace", taRightJustify, taCenter, "##0.00%"},
    {"Files On Disk", "FilesOnDisk", taRightJustify, taCenter, kVolPrintedCount},
    {"Files In Arcs", "FilesInArchives", taRightJustify, taCenter, kVolPrintedCount},
    {"Comment", "CommentStr", taLeftJustify, taLeftJustify, nullptr},
};

constexpr TVolPrintedColumn kVolPrintedFile[kEntryColumns] = {
    {"FileName", "FileName", taLeftJustify, taLeftJustify, nullptr},
    {"Volume Label", "VolumeLabel", taLeftJustify, taLeftJustify, nullptr},
    {"Folder Name", "FolderName", taLeftJustify, taLeftJustify, nullptr},
    {"Archive ID", "ArchiveID", taLeftJustify, taLeftJustify, nullptr},
    {"File Size", "FileSize", taRightJustify, taCenter, kVolPrintedSize},
    {"Date Modified", "DateModified", taCenter, taCenter, nullptr},
    {"Time Modified", "TimeModified", taCenter, taCenter, nullptr},
    {"Attribute", "AttributeStr", taCenter, taCenter, nullptr},
    {"Category Code", "CategoryCode", taLeftJustify, taLeftJustify, nullptr},
    {"Category", "CategoryDescription", taLeftJustify, taLeftJustify, nullptr},
    {"Comment", "CommentStr", taLeftJustify, taLeftJustify, nullptr},
};

template <class T>
T* VolPrinted(TComponent& Owner, TWinControl& Band, const std::string& Name, const std::string& Caption,
              TFontStyles Style = 0, int Size = 10) {
    auto* c = NewComponent<T>(&Owner);
    if (!Name.empty()) c->SetName(Name);
    c->SetParent(&Band);
    c->Font().Name = "Arial";
    c->Font().SetSize(Size);
    c->Font().Style = Style;
    c->SetCaption(Caption);
    return c;
}

// The heading labels and data texts of one band's columns, all disabled until laid out.
template <size_t N>
void VolPrintedColumns(TComponent& Owner, TWinControl& HeadingBand, TWinControl& TextBand,
                       const TVolPrintedColumn (&Columns)[N], const char* Prefix,
                       std::array<TReportLabel*, N>& Headers, std::array<TReportDBText*, N>& Texts) {
    for (size_t i = 0; i < N; ++i) {
        const TVolPrintedColumn& c = Columns[i];
        Headers[i] = VolPrinted<TReportLabel>(Owner, HeadingBand,
                                              std::string(Prefix) + "Header" + std::to_string(i), c.Heading);
        Headers[i]->SetAlignment(c.HeadingAlign);
        Headers[i]->SetEnabled(false);
        Texts[i] =
            VolPrinted<TReportDBText>(Owner, TextBand, std::string(Prefix) + "Text" + std::to_string(i), "");
        Texts[i]->DataField = c.Field;
        Texts[i]->SetAlignment(c.Align);
        Texts[i]->SetEnabled(false);
        if (c.Mask) Texts[i]->Mask = c.Mask;
    }
}

TReportDBText* VolWholeComment(TComponent& Owner, TWinControl& Band, const char* Name) {
    auto* memo = VolPrinted<TReportDBText>(Owner, Band, Name, "");
    memo->DataField = "Comment";
    memo->SetWordWrap(true);
    memo->SetAutoStretch(true);
    memo->SetEnabled(false);
    memo->SetAutoSize(false);
    memo->SetWidth(240);
    return memo;
}

int VolTextWidth(TReportLabel& Measure, const std::string& Text) {
    Measure.SetCaption(Text);
    return Measure.Width();
}

// Places the chosen columns left to right from Start, 4 units apart, each as wide as its widest
// text; the comment (the last column) reaches to the band's right edge less RightGap.
template <size_t N>
void VolPlaceColumns(const std::array<int, N>& Widths, const std::array<bool, N>& Chosen,
                     std::array<TReportLabel*, N>& Headers, std::array<TReportDBText*, N>& Texts,
                     TReportDBText* WholeComment, int Start, int TextTop, int BandWidth, int RightGap) {
    int x = Start;
    for (size_t i = 0; i < N; ++i) {
        if (!Chosen[i]) continue;
        TReportLabel* text = i == N - 1 && WholeComment ? WholeComment : Texts[i];
        for (TReportLabel* c : {Headers[i], text}) {
            c->SetEnabled(true);
            c->SetAutoSize(false);
            c->SetLeft(x);
            c->SetWidth(Widths[i]);
        }
        text->SetTop(TextTop);
        if (i == N - 1 && text->Left() + text->Width() < BandWidth - RightGap)
            text->SetWidth(BandWidth - RightGap - text->Left());
        x += Widths[i] + 4;
    }
}

}  // namespace

TVolSummaryPrintForm::TVolSummaryPrintForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("VolSummaryPrintForm");
    Report = NewComponent<TReport>(this);
    Report->SetName("Report");
    Report->Page().SetPaperSize(ppLetter);
    Report->Page().SetOrientation(poLandscape);
    Report->Page().SetMargins(10);
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
    DetailBand->Frame.SetAll(true);
    GroupHeaderBand = band("GroupHeaderBand", rbGroupHeader);
    SubDetailBand = NewComponent<TSubDetailBand>(this);
    SubDetailBand->SetName("SubDetailBand");
    SubDetailBand->SetReport(Report);
    SubDetailBand->PrintIfEmpty = true;
    GroupFooterBand1 = band("GroupFooterBand1", rbGroupFooter);
    GroupFooterBand1->SetHeight(12);
    SubDetailBand->HeaderBand = GroupHeaderBand;
    SubDetailBand->FooterBand = GroupFooterBand1;
    SummaryBand = band("SummaryBand", rbSummary);
    SummaryBand->Frame.SetAll(true);
    SummaryBand->Frame.Width = 2;

    const TColor maroon = TColor(0x000080);
    Title = VolPrinted<TReportLabel>(*this, *PageHeaderBand, "Title", "", fsBold, 12);
    Title->SetAlignment(taCenter);
    PageItem = VolPrinted<TReportLabel>(*this, *PageHeaderBand, "PageItem", "Page", fsBold, 12);
    PageNumLabel = VolPrinted<TReportLabel>(*this, *PageHeaderBand, "PageNumLabel", "1", fsBold, 12);
    PageNumLabel->SetAlignment(taRightJustify);
    for (TReportLabel* l : {Title, PageItem, PageNumLabel}) l->Font().Color = maroon;
    PageHeaderBand->SetHeight(PageNumLabel->Height() + 8);
    TestLabel = VolPrinted<TReportLabel>(*this, *PageHeaderBand, "TestLabel", "");
    TestLabel->SetEnabled(false);

    VolPrintedColumns(*this, *DetailBand, *DetailBand, kVolPrintedVolume, "Volume", VolumeHeaders,
                      VolumeTexts);
    VolumeComment2 = VolWholeComment(*this, *DetailBand, "VolumeComment2");
    VolPrintedColumns(*this, *GroupHeaderBand, *SubDetailBand, kVolPrintedFile, "File", FileHeaders,
                      FileTexts);
    FileComment2 = VolWholeComment(*this, *SubDetailBand, "FileComment2");

    VolPrinted<TReportLabel>(*this, *SummaryBand, "ReportTotalsLabel", "Report Totals", fsBold, 14)
        ->SetBounds(8, 4, 200, 22);
    int x = 8;
    auto total = [this, &x](const char* Heading, const char* Name) {
        auto* head = VolPrinted<TReportLabel>(*this, *SummaryBand, "", Heading, fsItalic, 10);
        head->SetAutoSize(false);
        head->SetAlignment(taCenter);
        head->SetBounds(x, 30, 150, 18);
        auto* value = VolPrinted<TReportLabel>(*this, *SummaryBand, Name, "", fsBold, 10);
        value->SetAutoSize(false);
        value->SetAlignment(taCenter);
        value->SetBounds(x, 50, 150, 18);
        x += 154;
        return value;
    };
    TotDisks = total("Total Disks", "TotDisks");
    TotFiles = total("Total Files", "TotFiles");
    TotSpace = total("Total Space", "TotSpace");
    TotUsed = total("Total Used", "TotUsed");
    TotFree = total("Total Free", "TotFree");
    Slack = total("Slack %", "Slack");
    SummaryBand->SetHeight(74);
}

void TVolSummaryPrintForm::ReportBeforePrint() {
    FPageCounter = 0;
}

void TVolSummaryPrintForm::ReportStartPage() {
    ++FPageCounter;
    PageNumLabel->SetCaption(std::to_string(FPageCounter));
}

namespace {

// Widens Widths to the texts RowTexts gives for every record of Table, measured by Measure, under
// the cancellable progress window Caption while Window is disabled; columns in Skip keep their
// width. Table is closed again. False when the user cancelled.
template <size_t N, class TRowTexts>
bool VolMeasurePrinted(TForm& Window, const char* Caption, dbsql::TDbTable& Table, TReportLabel& Measure,
                       std::array<int, N>& Widths, const std::array<bool, N>& Skip, TRowTexts&& RowTexts) {
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(&Window);
    progress->ShowForm(Caption, true);
    Window.SetEnabled(false);
    auto finish = [&] {
        Table.Close();
        Window.SetEnabled(true);
        progress->HideForm();
        progress->Free();
    };
    bool cancelled = false;
    try {
        Table.Open();
        const int count = Table.RecordCount();
        int done = 0;
        for (Table.First(); !Table.Eof() && !(cancelled = progress->CancelPressed); Table.Next()) {
            const std::array<std::string, N> texts = RowTexts(Table);
            for (size_t i = 0; i < N; ++i)
                if (!Skip[i]) Widths[i] = std::max(Widths[i], VolTextWidth(Measure, texts[i]));
            ++done;
            progress->ProgressBar->SetProgress(count > 0 ? int(double(done) / count * 100) : 100);
            Application->ProcessMessages();
        }
        cancelled = cancelled || progress->CancelPressed;
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return !cancelled;
}

// The headings' widths in the measuring label's font; the comment, in full-comment mode, starts at
// the width of its whole-comment text.
template <size_t N>
std::array<int, N> VolHeadingWidths(TReportLabel& Measure, const std::array<TReportLabel*, N>& Headers,
                                    TReportDBText* WholeComment) {
    std::array<int, N> widths{};
    for (size_t i = 0; i < N; ++i) widths[i] = VolTextWidth(Measure, Headers[i]->Caption());
    if (WholeComment) widths[N - 1] = WholeComment->Width();
    return widths;
}

}  // namespace

bool TVolSummaryFileContentsScreenForm::LayOutVolumeBand(TVolSummaryPrintForm& P, bool FullComment) {
    P.TestLabel->Font() = SummaryGrid->Font();
    std::array<int, kVolColumns> widths =
        VolHeadingWidths(*P.TestLabel, P.VolumeHeaders, FullComment ? P.VolumeComment2 : nullptr);
    std::array<bool, kVolColumns> skip{};
    skip[2] = true;  // the drive keeps its heading's width
    skip[kVolComment] = FullComment;
    if (!VolMeasurePrinted(*this, "Calculating Column Widths For Summary Items In This Printed Report",
                           *SummaryTable2, *P.TestLabel, widths, skip, [](TDataSet& V) {
                               TVolTexts texts = VolumeTexts(V);
                               for (int i : {6, 7, 8, 9})
                                   texts[size_t(i)] = FormatFloat(
                                       kVolPrintedSize, V.FieldByName(kVolPrintedVolume[i].Field)->AsFloat());
                               texts[10] = FormatFloat("##0.00%", V.FieldByName("SlackSpace")->AsFloat());
                               texts[kVolComment] = V.FieldByName("CommentStr")->AsString();
                               return texts;
                           })) {
        P.Cancelled = true;
        return false;
    }
    std::array<bool, kVolColumns> chosen{};
    for (size_t i = 0; i < kVolColumns; ++i) chosen[i] = SummaryItems[i]->Checked;
    for (TReportLabel* h : P.VolumeHeaders) h->SetTop(4);
    VolPlaceColumns(widths, chosen, P.VolumeHeaders, P.VolumeTexts, FullComment ? P.VolumeComment2 : nullptr,
                    2, P.TestLabel->Height() + 8, P.DetailBand->Width(), 1);
    return true;
}

bool TVolSummaryFileContentsScreenForm::LayOutFileBands(TVolSummaryPrintForm& P, bool FullComment) {
    P.TestLabel->Font() = FileGrid->Font();
    std::array<int, kEntryColumns> widths =
        VolHeadingWidths(*P.TestLabel, P.FileHeaders, FullComment ? P.FileComment2 : nullptr);
    std::array<bool, kEntryColumns> skip{};
    skip[kEntryComment] = FullComment;
    if (!VolMeasurePrinted(*this, "Calculating Column Widths For File Items In This Printed Report",
                           *FileTable2, *P.TestLabel, widths, skip, [](TDataSet& E) {
                               TEntryTexts texts = EntryTexts(E);
                               texts[7] = E.FieldByName("AttributeStr")->AsString();
                               texts[kEntryComment] = E.FieldByName("CommentStr")->AsString();
                               return texts;
                           })) {
        P.Cancelled = true;
        return false;
    }
    std::array<bool, kEntryColumns> chosen{};
    for (size_t i = 0; i < kEntryColumns; ++i) chosen[i] = FileItems[i]->Checked;
    VolPlaceColumns(widths, chosen, P.FileHeaders, P.FileTexts, FullComment ? P.FileComment2 : nullptr, 1, 0,
                    P.SubDetailBand->Width(), 0);
    for (TReportLabel* h : P.FileHeaders) h->SetTop(4);
    return true;
}

void TVolSummaryFileContentsScreenForm::EndPrintWalk() {
    FileTable3->Close();
    SummaryTable2->Close();
}

void TVolSummaryFileContentsScreenForm::PrintBtnClick() {
    // The report's page is landscape unless the user chooses portrait.
    TPrintedReportChoices choices;
    choices.Portrait = false;
    if (!AskPrintedReportChoices(choices, true) || !SummaryTable->Active()) return;
    const bool fullComment = choices.MultiLine;

    auto* p = TCustomForm::Create<TVolSummaryPrintForm>(Application);
    try {
        p->Report->PrinterIndex = Printer().PrinterIndex();
        p->Report->Page().SetOrientation(choices.Portrait ? poPortrait : poLandscape);
        p->Title->SetCaption(Caption());
        p->Report->ReportTitle = Caption();
        p->Report->SetDataSet(SummaryTable2);
        p->SubDetailBand->SetDataSet(FileTable3);

        // The volume band in the volume grid's font: a heading row over a value row.
        const TFont& volumeFont = SummaryGrid->Font();
        p->DetailBand->Font() = volumeFont;
        p->TestLabel->Font() = volumeFont;
        p->TestLabel->SetCaption("Mg");
        const int volumeHeight = p->TestLabel->Height();
        p->DetailBand->SetHeight(2 * volumeHeight + 12);
        for (TReportDBText* t : p->VolumeTexts) t->SetDataSet(SummaryTable2);
        p->VolumeComment2->SetDataSet(SummaryTable2);
        for (TReportLabel* l : p->VolumeHeaders) l->Font() = volumeFont;
        for (TReportLabel* l : p->VolumeTexts) l->Font() = volumeFont;
        p->VolumeComment2->Font() = volumeFont;
        for (TReportLabel* l : p->VolumeTexts) l->SetHeight(volumeHeight);
        p->VolumeComment2->SetHeight(volumeHeight);

        // The file bands in the file grid's font.
        const TFont& fileFont = FileGrid->Font();
        p->SubDetailBand->Font() = fileFont;
        p->TestLabel->Font() = fileFont;
        const int fileHeight = p->TestLabel->Height();
        p->SubDetailBand->SetHeight(fileHeight);
        for (TReportDBText* t : p->FileTexts) t->SetDataSet(FileTable3);
        p->FileComment2->SetDataSet(FileTable3);
        for (TReportLabel* l : p->FileHeaders) l->Font() = fileFont;
        for (TReportLabel* l : p->FileTexts) l->Font() = fileFont;
        p->FileComment2->Font() = fileFont;
        for (TReportLabel* l : p->FileTexts) l->SetHeight(fileHeight);
        p->FileComment2->SetHeight(fileHeight);
        p->GroupHeaderBand->SetHeight(fileHeight + 13);

        if (!LayOutVolumeBand(*p, fullComment) || !LayOutFileBands(*p, fullComment)) {
            p->Free();
            return;
        }

        const int right = p->PageHeaderBand->Width();
        // The number's label is as wide as a four-digit number, its text at the right edge.
        p->PageNumLabel->SetCaption("9999");
        const int numberWidth = p->PageNumLabel->Width();
        p->PageNumLabel->SetAutoSize(false);
        p->PageNumLabel->SetBounds(right - numberWidth, 2, numberWidth, p->PageNumLabel->Height());
        p->PageItem->SetLeft(p->PageNumLabel->Left() - 3 - p->PageItem->Width());
        p->PageItem->SetTop(2);
        p->Title->SetAutoSize(false);
        p->Title->SetBounds(0, 2, p->PageItem->Left() - 3, p->PageItem->Height());

        p->TotDisks->SetCaption(FormatFloat(kVolPrintedCount, DiskCount));
        p->TotFiles->SetCaption(FormatFloat(kVolPrintedCount, double(FileTotal)));
        p->TotSpace->SetCaption(FormatFloat(kVolPrintedSize, double(SizeTotal)));
        p->TotUsed->SetCaption(FormatFloat(kVolPrintedSize, double(UsedTotal)));
        p->TotFree->SetCaption(FormatFloat(kVolPrintedSize, double(FreeTotal)));
        p->Slack->SetCaption(FormatFloat("##0.00", double(SlackTotal)));
        p->DetailBand->ForceNewPage = choices.NewPage;
        p->SummaryBand->SetEnabled(ShowTotals1->Checked);

        // The entries follow their volume through the master link as the report walks.
        SummaryTable2->Open();
        FileTable3->Open();
        if (choices.Preview)
            p->Report->Preview();
        else
            p->Report->Print();
    } catch (...) {
        EndPrintWalk();
        p->Free();
        throw;
    }
    EndPrintWalk();
    p->Free();
}

}  // namespace reports
