// The disk summary on paper, printed to a PDF file and read back: the shown columns' headings
// only, one row per volume in the grid's order, the totals only when shown, the footer on every
// page, and a cancelled measurement printing nothing.

#include "reports/summary/SummaryReportPrinter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "catalog/ProgressForm.h"
#include "dbsql/components/DbQuery.h"
#include "framework/print/Printers.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/RadioButton.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/PrintedPdf.h"
#include "reports/testsupport/SummaryReportFixture.h"

namespace reports {
namespace {

using namespace framework;

const char* const kSummaryTestFooter = "Korvane Summary Test 9.99";

using testsupport::PdfCommandOutput;

class SummaryPrintTest : public testsupport::SummaryReportTest {
protected:
    void SetUp() override {
        SummaryReportTest::SetUp();
        PrintedFooterText = kSummaryTestFooter;
        Pdf = Env.Root() + "/summary.pdf";
        Env.Set("KORVANE_PRINT_TO", Pdf);
        Saved = SetPrinterQueueSource([](std::string& Default) {
            Default = "Office Laser";
            return std::vector<std::string>{"Office Laser"};
        });
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
    }
    void TearDown() override {
        PrintedFooterText.clear();
        SummaryReportTest::TearDown();
        SetPrinterQueueSource(Saved);
        Printer().Refresh();
        Printer().SetOrientation(poPortrait);
    }
    void PrintWith(TSummaryReportScreenForm& F, bool MultiLine) {
        Driver.AnswerWith([MultiLine](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
            d.Landscape->SetChecked(true);
            (MultiLine ? d.MultiLine : d.SingleLine)->SetChecked(true);
            d.PreviewOnScreenFirst->SetChecked(false);
            d.SetModalResult(mrOk);
        });
        F.PrintBtnClick();
    }
    std::string PdfText() { return PdfCommandOutput("pdftotext -layout '" + Pdf + "' - 2>/dev/null"); }
    std::string Pdf;
    TPrinterQueuesFunc Saved;
};

TEST_F(SummaryPrintTest, PrintsTheShownColumnsEveryVolumeInOrderAndTheTotals) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByFreeSpaceSpec());
    PrintWith(*f, false);
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("Disk Summary Report - All Disks Sorted By Descending Free Space"),
              std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("Page +1\n")));
    for (const char* heading : {"Catalog Volume ID", "Drv", "Disk Size", "Space Used", "Free Space", "Slack%",
                                "Files On Disk", "Last Cataloged", "Comment"})
        EXPECT_NE(text.find(heading), std::string::npos) << heading;
    for (const char* hidden :
         {"Actual Volume ID", "Serial Number", "First Cataloged", "Cluster Size", "Files In Arcs"})
        EXPECT_EQ(text.find(hidden), std::string::npos) << hidden;
    size_t at = 0;
    for (const char* row : {"PHOTOS", "BACKUP01", "ARCHIVE2"}) {
        const size_t found = text.find(row, at);
        ASSERT_NE(found, std::string::npos) << row;
        EXPECT_EQ(text.find(row, found + 1), std::string::npos) << row;
        at = found;
    }
    EXPECT_NE(text.find("12.50%"), std::string::npos);
    EXPECT_NE(text.find("6,000,000,000"), std::string::npos);
    EXPECT_NE(text.find("Weekly backup"), std::string::npos);
    EXPECT_EQ(text.find("Second line"), std::string::npos) << "the first comment line only";
    EXPECT_NE(text.find("Report Totals"), std::string::npos);
    EXPECT_NE(text.find("6,001,050,000"), std::string::npos);
    EXPECT_NE(text.find("15.30"), std::string::npos);
    EXPECT_NE(text.find(kSummaryTestFooter), std::string::npos);
    const std::string pages = PdfCommandOutput("pdfinfo '" + Pdf + "' | grep 'Page size'");
    EXPECT_NE(pages.find("792 x 612"), std::string::npos) << pages;
    testsupport::ExpectPageNumberBesideItsLabel(Pdf);
    PdfCommandOutput("pdftoppm -r 60 -png -f 1 -l 1 '" + Pdf + "' '" + std::string(KORVANE_BUILD_DIR) +
                     "/SummaryPrinted'");
}

TEST_F(SummaryPrintTest, LongReportsCarryTheFooterOnEveryPageAndTotalsFollowTheBox) {
    std::vector<testsupport::TSummaryVolume> volumes;
    std::string many;
    for (int line = 1; line <= 120; ++line) many += "repeated: line " + std::to_string(line) + " of many\r\n";
    for (int i = 0; i < 3; ++i)
        volumes.push_back({"VOL" + std::to_string(i),
                           {{"A.TXT", "a"}},
                           uint32_t(0x100 + i),
                           "",
                           i == 1 ? many : "A short comment"});
    MakeCatalog("LONG", volumes);
    TSummaryReportSpec spec;
    spec.ReportTitle = "Comments";
    spec.ColumnPos[0] = 1;
    spec.ColumnPos[13] = 2;
    spec.SortSpec[0] = {1, 1};
    TSummaryReportScreenForm* f = Built(spec);
    f->ShowTotals->SetChecked(false);
    PrintWith(*f, true);
    const std::string text = PdfText();
    const int pages = std::stoi(PdfCommandOutput("pdfinfo '" + Pdf + "' | sed -n 's/^Pages: *//p'"));
    ASSERT_GT(pages, 1);
    size_t footers = 0;
    for (size_t at = text.find(kSummaryTestFooter); at != std::string::npos;
         at = text.find(kSummaryTestFooter, at + 1))
        ++footers;
    EXPECT_EQ(footers, size_t(pages));
    for (int n = 1; n <= pages; ++n)
        EXPECT_TRUE(std::regex_search(text, std::regex("Page +" + std::to_string(n) + "\n"))) << n;
    EXPECT_NE(text.find("repeated:"), std::string::npos);
    EXPECT_EQ(text.find("Report Totals"), std::string::npos);
}

TEST_F(SummaryPrintTest, CancelWhileMeasuringPrintsNothingAndRestoresTheWindow) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    f->Query->Next();
    const std::string row = f->Query->FieldByName("CatalogVolumeLabel")->AsString();
    auto* p = TCustomForm::Create<TSummaryReportPrinterForm>(Application);
    // A layout in a large font: every shown heading gets at least its text's width.
    testsupport::UseLargeHeadingFont(*p->TestLabel, p->Headers);
    ASSERT_TRUE(f->LayOutPrintedColumns(*p, false));
    int shown = 0;
    for (TReportLabel* h : p->Headers) {
        if (!h->Enabled()) continue;
        ++shown;
        p->TestLabel->SetCaption(h->Caption());
        EXPECT_GE(h->Width(), p->TestLabel->Width()) << h->Caption();
    }
    EXPECT_EQ(shown, 9);
    EXPECT_EQ(f->Query->FieldByName("CatalogVolumeLabel")->AsString(), row);
    f->Query->AfterScroll = [f](TDataSet*) {
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(f->Components(i)))
                progress->CancelPressed = true;
    };
    EXPECT_FALSE(f->LayOutPrintedColumns(*p, false));
    f->Query->AfterScroll = nullptr;
    p->Free();
    EXPECT_TRUE(f->Enabled());
    EXPECT_EQ(f->Query->FieldByName("CatalogVolumeLabel")->AsString(), row);
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    // A cancelled dialog prints nothing either.
    Driver.AnswerWith([](TCustomForm& Form) { Form.SetModalResult(mrCancel); });
    f->PrintBtnClick();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
}

}  // namespace
}  // namespace reports
