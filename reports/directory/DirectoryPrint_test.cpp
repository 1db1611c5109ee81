// The directory listing on paper, printed to a PDF file and read back: caption, page number,
// summary, the checked columns only, totals and footer; the column layout; wrapped comments; and
// the grid's row left where it was.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <string>

#include "catalog/ProgressForm.h"
#include "dbsql/components/DbTable.h"
#include "framework/print/Printers.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/directory/DirectoryPrinter.h"
#include "reports/directory/ShowDirectoryForm.h"
#include "reports/directory/testsupport/DirectoryFixture.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/PrintedPdf.h"

namespace reports {
namespace {

using namespace framework;

using testsupport::PdfCommandOutput;

class DirectoryPrintTest : public testsupport::DirectoryWindowTest {
protected:
    std::string Pdf;
    TPrinterQueuesFunc Saved;

    void SetUp() override {
        DirectoryWindowTest::SetUp();
        Pdf = Env.Root() + "/listing.pdf";
        Env.Set("KORVANE_PRINT_TO", Pdf);
        Saved = SetPrinterQueueSource([](std::string& Default) {
            Default = "Office Laser";
            return std::vector<std::string>{"Office Laser"};
        });
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
        PrintedFooterText = "Korvane Test Edition 9.99";
        Disk.WriteFile("GOLD/README.TXT", "0123456789");
        Disk.WriteFile("GOLD/MANUAL.DOC", std::string(1000, 'm'));
        Disk.WriteFile("GOLD/ZEBRA.TXT", "z");
        OpenDir();
        ReadFolder("D:\\GOLD");
        ASSERT_TRUE(Dir->ListingShown);
        // A comment of three lines on MANUAL.DOC.
        ASSERT_TRUE(Dir->ReportTable->Locate("FileName", Variant(std::string("MANUAL.DOC")), {}));
        Dir->ReportTable->Edit();
        Dir->ReportTable->FieldByName("Comment")->SetAsString(
            "first remark\r\nsecond remark\r\nthird remark");
        Dir->ReportTable->Post();
    }
    void TearDown() override {
        PrintedFooterText.clear();
        DirectoryWindowTest::TearDown();
        SetPrinterQueueSource(Saved);
        Printer().Refresh();
        Printer().SetOrientation(poPortrait);
    }
    void PrintWith(bool MultiLine) {
        Driver.AnswerWith([MultiLine](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
            d.Portrait->SetChecked(true);
            (MultiLine ? d.MultiLine : d.SingleLine)->SetChecked(true);
            d.PreviewOnScreenFirst->SetChecked(false);
            d.SetModalResult(mrOk);
        });
        Dir->PrintBtnClick();
    }
    std::string PdfText() { return PdfCommandOutput("pdftotext -layout '" + Pdf + "' - 2>/dev/null"); }
};

TEST_F(DirectoryPrintTest, PrintsTheHeaderTheCheckedColumnsTheTotalsAndTheFooter) {
    Dir->ColumnItems[1]->Click();  // Folder Name
    Dir->ColumnItems[4]->Click();  // Date Modified
    PrintWith(false);
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("Directory Of Drive D: (Starting At: D:\\GOLD)"), std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("Page +1\n")));
    for (const char* label : {"Volume Label", "Disk Size", "Space Used", "Free Space", "Files On Disk",
                              "Files In Archives", "BACKUP01", "FileName", "Archive ID", "File Size",
                              "Time Modified", "Attribute", "Comment", "first remark", "Report Totals",
                              "Bytes On Disk", "Bytes In Archives", "1,011", "Korvane Test Edition 9.99"})
        EXPECT_NE(text.find(label), std::string::npos) << label;
    for (const char* hidden : {"Folder Name", "Date Modified", "second remark"})
        EXPECT_EQ(text.find(hidden), std::string::npos) << hidden;
    size_t at = 0;
    for (const char* name : {"MANUAL.DOC", "README.TXT", "ZEBRA.TXT"}) {
        const size_t found = text.find(name, at);
        ASSERT_NE(found, std::string::npos) << name;
        at = found;
    }
    testsupport::ExpectPageNumberBesideItsLabel(Pdf);
    PdfCommandOutput("pdftoppm -r 60 -png -f 1 -l 1 '" + Pdf + "' '" + std::string(KORVANE_BUILD_DIR) +
                     "/DirectoryPrinted'");
}

TEST_F(DirectoryPrintTest, WithoutTotalsNoTotalsBand) {
    Dir->ShowTotals->SetChecked(false);
    PrintWith(false);
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find("Report Totals"), std::string::npos);
    EXPECT_NE(text.find("Korvane Test Edition 9.99"), std::string::npos);
}

TEST_F(DirectoryPrintTest, TheCheckedColumnsAreLaidOutFromTheLeftEdge) {
    struct Case {
        std::vector<int> Unchecked;
        int First;  // the first checked column
    };
    const Case cases[] = {{{}, 0}, {{0}, 1}, {{0, 1, 2}, 3}, {{0, 1, 2, 3, 4, 5, 6, 7}, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.First);
        for (TMenuItem* item : Dir->ColumnItems) item->SetChecked(true);
        for (int i : c.Unchecked) Dir->ColumnItems[size_t(i)]->SetChecked(false);
        auto* p = TCustomForm::Create<TPrintDirectoryForm>(Application);
        ASSERT_TRUE(Dir->LayOutPrintedColumns(*p, false));
        int right = 0;
        for (int i = 0; i < kDirectoryColumns; ++i) {
            const bool shown = Dir->ColumnItems[size_t(i)]->Checked;
            EXPECT_EQ(p->Headers[size_t(i)]->Enabled(), shown) << i;
            EXPECT_EQ(p->Texts[size_t(i)]->Enabled(), shown) << i;
            if (!shown) continue;
            if (i == c.First) {
                EXPECT_EQ(p->Headers[size_t(i)]->Left(), 1);
            }
            EXPECT_GT(p->Headers[size_t(i)]->Left(), right);  // in order, 4 apart
            EXPECT_EQ(p->Texts[size_t(i)]->Left(), p->Headers[size_t(i)]->Left());
            right = p->Headers[size_t(i)]->Left() + p->Headers[size_t(i)]->Width();
        }
        if (c.First < 0) {
            EXPECT_EQ(right, 0);
        }
        EXPECT_FALSE(p->FComment2->Enabled());
        if (Dir->ColumnItems[kDirectoryCommentColumn]->Checked) {
            TReportLabel* comment = p->Texts[kDirectoryCommentColumn];
            EXPECT_EQ(comment->Left() + comment->Width(), p->DetailBand->Width());
        }
        p->Free();
        EXPECT_TRUE(Dir->Enabled());
        EXPECT_FALSE(Dir->ReportTable2->Active());
    }
}

TEST_F(DirectoryPrintTest, HeadingsInALargePrintedFontAreNotClipped) {
    auto* p = TCustomForm::Create<TPrintDirectoryForm>(Application);
    testsupport::UseLargeHeadingFont(*p->TestLabel, p->Headers);
    ASSERT_TRUE(Dir->LayOutPrintedColumns(*p, false));
    EXPECT_GT(testsupport::ExpectHeadingsUnclipped(*p->TestLabel, p->Headers), 0);
    p->Free();
}

TEST_F(DirectoryPrintTest, MultiLineCommentsMakeTallerLines) {
    auto* p = TCustomForm::Create<TPrintDirectoryForm>(Application);
    ASSERT_TRUE(Dir->LayOutPrintedColumns(*p, true));
    EXPECT_TRUE(p->FComment2->Enabled());
    EXPECT_FALSE(p->Texts[kDirectoryCommentColumn]->Enabled());
    EXPECT_EQ(p->FComment2->Left() + p->FComment2->Width(), p->DetailBand->Width());
    p->Free();

    PrintWith(true);
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    // The three lines of the comment on lines of their own, before the next entry.
    const size_t first = text.find("first remark"), second = text.find("second remark"),
                 third = text.find("third remark"), next = text.find("README.TXT");
    ASSERT_NE(third, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_LT(third, next);
    EXPECT_NE(text.substr(first, second - first).find('\n'), std::string::npos);
}

TEST_F(DirectoryPrintTest, PrintingNeverMovesTheGridsRow) {
    ASSERT_TRUE(Dir->ReportTable->Locate("FileName", Variant(std::string("README.TXT")), {}));
    int scrolls = 0;
    Dir->ReportTable->AfterScroll = [&scrolls](TDataSet*) { ++scrolls; };
    PrintWith(false);
    Dir->ReportTable->AfterScroll = nullptr;
    EXPECT_FALSE(PdfText().empty());
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(Dir->ReportTable->FieldByName("FileName")->AsString(), "README.TXT");
}

TEST_F(DirectoryPrintTest, CancelWhileMeasuringPrintsNothing) {
    Dir->ReportTable2->AfterScroll = [this](TDataSet*) {
        for (int i = 0; i < Dir->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(Dir->Components(i)))
                progress->CancelPressed = true;
    };
    PrintWith(false);
    Dir->ReportTable2->AfterScroll = nullptr;
    EXPECT_TRUE(Dir->Enabled());
    EXPECT_FALSE(Dir->ReportTable2->Active());
    EXPECT_TRUE(PdfText().empty());
}

}  // namespace
}  // namespace reports
