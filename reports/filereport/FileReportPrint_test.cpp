// The file report on paper, printed to a PDF file and read back: title, page numbers, the shown
// columns' headings only, every row once in the window's order, the totals only when shown, the
// landscape page, and a cancelled measurement printing nothing.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlFileCombos.h"
#include "dbsql/components/DbQuery.h"
#include "framework/print/Printers.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Registry.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/filereport/FileReportPrinter.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/FileReportFixture.h"
#include "reports/testsupport/PrintedPdf.h"

namespace reports {
namespace {

using namespace framework;

using testsupport::PdfCommandOutput;

class FileReportPrintTest : public testsupport::FileReportTest {
protected:
    void SetUp() override {
        FileReportTest::SetUp();
        Pdf = Env.Root() + "/report.pdf";
        Env.Set("KORVANE_PRINT_TO", Pdf);
        Saved = SetPrinterQueueSource([](std::string& Default) {
            Default = "Office Laser";
            return std::vector<std::string>{"Office Laser", "Back Office"};
        });
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
    }
    void TearDown() override {
        FileReportTest::TearDown();
        SetPrinterQueueSource(Saved);
        Printer().Refresh();
        Printer().SetOrientation(poPortrait);
    }
    TFileReportScreenForm* Built(const std::array<uint8_t, kReportItems>& Columns) {
        TFileReportScreenForm* f = NewReport();
        f->ReportTitle = "Printed Files";
        f->ColumnPos = Columns;
        f->SortSpec[0] = {1, 1};
        EXPECT_TRUE(f->CreateReport());
        f->Show();
        Driver.RunPending();
        return f;
    }
    void PrintWith(TFileReportScreenForm& F, bool Landscape) {
        Driver.AnswerWith([Landscape](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
            EXPECT_FALSE(d.StartEachDiskOnNewPage->Visible() &&
                         d.StartEachDiskOnNewPage->Top() < d.Panel1->ClientHeight());
            (Landscape ? d.Landscape : d.Portrait)->SetChecked(true);
            d.SetModalResult(mrOk);
        });
        F.PrintBtnClick();
    }
    std::string PdfText() { return PdfCommandOutput("pdftotext -layout '" + Pdf + "' - 2>/dev/null"); }
    std::string Pdf;
    TPrinterQueuesFunc Saved;
};

TEST_F(FileReportPrintTest, PrintsTheShownColumnsAndEveryRowOnce) {
    TFileReportScreenForm* f = Built({1, 2, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0});
    const std::vector<std::string> rows = Rows(*f);
    PrintWith(*f, false);
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("Printed Files"), std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("Page +1\n")));
    EXPECT_FALSE(std::regex_search(text, std::regex("Page +2")));
    for (const char* heading : {"FileName", "Volume Label", "File Size"})
        EXPECT_NE(text.find(heading), std::string::npos) << heading;
    for (const char* hidden : {"Folder Name", "Archive ID", "Date Modified", "Category", "Comment"})
        EXPECT_EQ(text.find(hidden), std::string::npos) << hidden;
    size_t at = 0;
    for (const std::string& row : rows) {
        const size_t found = text.find(row + " ", at);
        ASSERT_NE(found, std::string::npos) << row;
        at = found + row.size();
    }
    EXPECT_NE(text.find("5,000,000,000"), std::string::npos);
    EXPECT_NE(text.find("Report Totals"), std::string::npos);
    const std::string pages = PdfCommandOutput("pdfinfo '" + Pdf + "' | grep 'Page size'");
    EXPECT_NE(pages.find("612 x 792"), std::string::npos) << pages;
    testsupport::ExpectPageNumberBesideItsLabel(Pdf);
    PdfCommandOutput("pdftoppm -r 50 -png -f 1 -l 1 '" + Pdf + "' '" + std::string(KORVANE_BUILD_DIR) +
                     "/FileReportPrinted'");
}

TEST_F(FileReportPrintTest, LandscapeWithoutTotals) {
    TFileReportScreenForm* f = Built({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0});
    f->ShowTotals->SetChecked(false);
    PrintWith(*f, true);
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find("Report Totals"), std::string::npos);
    EXPECT_NE(text.find("Comment"), std::string::npos);
    const std::string pages = PdfCommandOutput("pdfinfo '" + Pdf + "' | grep 'Page size'");
    EXPECT_NE(pages.find("792 x 612"), std::string::npos) << pages;
}

TEST_F(FileReportPrintTest, LongReportsNumberEveryPage) {
    std::vector<testsupport::TEntry> many;
    for (int i = 0; i < 150; ++i)
        many.push_back({"F" + std::to_string(1000 + i) + ".TXT", "DISK1", "\\", "", i,
                        testsupport::Day(2024, 1, 1), testsupport::At(1, 0, 0), 0, "", ""});
    MakeCatalog("MANY", many);
    catalog::CurrentCatalogName = "MANY";
    TFileReportScreenForm* f = Built({1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    PrintWith(*f, false);
    const std::string text = PdfText();
    const int pages = std::stoi(PdfCommandOutput("pdfinfo '" + Pdf + "' | sed -n 's/^Pages: *//p'"));
    ASSERT_GT(pages, 1);
    for (int n = 1; n <= pages; ++n)
        EXPECT_TRUE(std::regex_search(text, std::regex("Page +" + std::to_string(n) + "\n"))) << n;
    size_t at = 0;
    for (int i = 0; i < 150; ++i) {
        const std::string name = "F" + std::to_string(1000 + i) + ".TXT";
        const size_t found = text.find(name, at);
        ASSERT_NE(found, std::string::npos) << name;
        EXPECT_EQ(text.find(name, found + 1), std::string::npos) << name;
        at = found;
    }
    testsupport::ExpectPageNumberBesideItsLabel(Pdf, pages);
    // A second run numbers from 1 again.
    PrintWith(*f, false);
    EXPECT_TRUE(std::regex_search(PdfText(), std::regex("Page +1\n")));
}

TEST_F(FileReportPrintTest, TheChosenPrinterAndTheChoicesOutliveACancel) {
    TFileReportScreenForm* f = Built({1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    std::string key;
    Driver.AnswerWith([&key](TCustomForm& Form) {
        auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
        EXPECT_EQ(d.OrientationGroup->Caption(), "Paper Orientation Orientation");
        d.CtlPrinterComboBox1->Perform(CB_SHOWDROPDOWN, 1, 0);
        d.CtlPrinterComboBox1->SetItemIndex(1);
        d.CtlPrinterComboBox1->Perform(CB_SHOWDROPDOWN, 0, 0);
        d.Landscape->SetChecked(true);
        d.PreviewOnScreenFirst->SetChecked(true);
        key = d.Store->KeyName();
        d.SetModalResult(mrCancel);
    });
    f->PrintBtnClick();
    EXPECT_EQ(Printer().PrinterName(), "Back Office");
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    platform::TRegIniFile ini(key);
    EXPECT_EQ(ini.ReadString("Printed Report", "Landscape.Checked", "?"), "True");
    EXPECT_EQ(ini.ReadString("Printed Report", "PreviewOnScreenFirst.Checked", "?"), "True");
    auto* again = TCustomForm::Create<TGetPrintedReportSpecForm>(Application);
    EXPECT_TRUE(again->Landscape->Checked());
    EXPECT_FALSE(again->Portrait->Checked());
    again->Free();
}

TEST_F(FileReportPrintTest, ThePrinterDialogStartsInPortraitWhateverTheLastReportChose) {
    TFileReportScreenForm* f = Built({1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    // The shared dialog last answered in landscape (for a report whose page is landscape).
    auto* last = TCustomForm::Create<TGetPrintedReportSpecForm>(Application);
    last->Landscape->SetChecked(true);
    last->Free();
    bool startedPortrait = false;
    Driver.AnswerWith([&startedPortrait](TCustomForm& Form) {
        auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
        startedPortrait = d.Portrait->Checked() && !d.Landscape->Checked();
        d.SetModalResult(mrCancel);
    });
    f->PrintBtnClick();
    EXPECT_TRUE(startedPortrait);
}

TEST_F(FileReportPrintTest, HeadingsInALargePrintedFontAreNotClipped) {
    // Headings wider than their columns' texts: the dates, the attribute and the category code.
    TFileReportScreenForm* f = Built({1, 0, 0, 0, 0, 2, 3, 4, 5, 0, 0, 0});
    auto* p = TCustomForm::Create<TFileReportPrinterForm>(Application);
    testsupport::UseLargeHeadingFont(*p->TestLabel, p->Headers);
    ASSERT_TRUE(f->LayOutPrintedColumns(*p, false));
    EXPECT_EQ(testsupport::ExpectHeadingsUnclipped(*p->TestLabel, p->Headers), 5);
    p->Free();
}

TEST_F(FileReportPrintTest, CancelWhileMeasuringPrintsNothing) {
    TFileReportScreenForm* f = Built({1, 2, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0});
    f->Query->First();
    f->Query->Next();
    const std::string row = f->Query->FieldByName("FileName")->AsString();
    // The progress window's Cancel is pressed as soon as the measurement starts.
    auto* p = TCustomForm::Create<TFileReportPrinterForm>(Application);
    f->Query->AfterScroll = [f](TDataSet*) {
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(f->Components(i)))
                progress->CancelPressed = true;
    };
    EXPECT_FALSE(f->LayOutPrintedColumns(*p, false));
    f->Query->AfterScroll = nullptr;
    p->Free();
    EXPECT_TRUE(f->Enabled());
    EXPECT_EQ(f->Query->FieldByName("FileName")->AsString(), row);
    EXPECT_FALSE(std::filesystem::exists(Pdf));
}

}  // namespace
}  // namespace reports
