// The volume summary on paper, printed to a PDF file and read back with word positions: a block
// per volume with its entries, the totals only when shown, a page per volume on request, chosen
// columns without gaps, file columns measured over the whole catalog, and a cancelled measurement.

#include "reports/volsummary/VolSummaryPrinter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "catalog/ProgressForm.h"
#include "dbsql/components/DbTable.h"
#include "framework/print/Printers.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/VolSummaryFixture.h"

namespace reports {
namespace {

using namespace framework;

std::string VolPdfCommand(const std::string& Command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(Command.c_str(), "r"), pclose);
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    return out;
}

// A printed word: its page (from 1), its left edge and top in points.
struct TVolWord {
    int Page;
    double X, Y;
    std::string Text;
};

struct TVolPrintChoice {
    bool Landscape = true;
    bool NewPage = false;
    bool FullComment = false;
};

class VolSummaryPrintTest : public testsupport::VolSummaryTest {
protected:
    void SetUp() override {
        VolSummaryTest::SetUp();
        Pdf = Env.Root() + "/vsfc.pdf";
        Env.Set("KORVANE_PRINT_TO", Pdf);
        Saved = SetPrinterQueueSource([](std::string& Default) {
            Default = "Office Laser";
            return std::vector<std::string>{"Office Laser"};
        });
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
    }
    void TearDown() override {
        VolSummaryTest::TearDown();
        SetPrinterQueueSource(Saved);
        Printer().Refresh();
        Printer().SetOrientation(poPortrait);
    }
    void PrintWith(TVolSummaryFileContentsScreenForm& F, const TVolPrintChoice& C) {
        std::filesystem::remove(Pdf);
        Driver.AnswerWith([C](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
            (C.Landscape ? d.Landscape : d.Portrait)->SetChecked(true);
            (C.FullComment ? d.MultiLine : d.SingleLine)->SetChecked(true);
            d.StartEachDiskOnNewPage->SetChecked(C.NewPage);
            d.PreviewOnScreenFirst->SetChecked(false);
            d.SetModalResult(mrOk);
        });
        F.PrintBtnClick();
    }
    std::string PdfText() { return VolPdfCommand("pdftotext -layout '" + Pdf + "' - 2>/dev/null"); }
    int Pages() { return std::stoi("0" + VolPdfCommand("pdfinfo '" + Pdf + "' | sed -n 's/^Pages: *//p'")); }
    std::vector<TVolWord> Words() {
        std::vector<TVolWord> words;
        const std::string html = VolPdfCommand("pdftotext -bbox '" + Pdf + "' - 2>/dev/null");
        const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
        int page = 0;
        size_t at = 0;
        for (;;) {
            const size_t nextPage = html.find("<page ", at);
            const size_t nextWord = html.find("<word ", at);
            if (nextWord == std::string::npos) break;
            if (nextPage != std::string::npos && nextPage < nextWord) {
                ++page;
                at = nextPage + 1;
                continue;
            }
            std::smatch m;
            const std::string line = html.substr(nextWord, html.find('\n', nextWord) - nextWord);
            if (std::regex_search(line, m, word))
                words.push_back({page, std::stod(m[1]), std::stod(m[2]), m[3]});
            at = nextWord + 1;
        }
        return words;
    }
    static const TVolWord* Find(const std::vector<TVolWord>& Words, const std::string& Text, int Page = 0) {
        for (const TVolWord& w : Words)
            if (w.Text == Text && (Page == 0 || w.Page == Page)) return &w;
        return nullptr;
    }
    std::string Pdf;
    TPrinterQueuesFunc Saved;
};

TEST_F(VolSummaryPrintTest, EachVolumeWithItsEntriesThenTheTotals) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    PrintWith(*f, {});
    const std::string text = PdfText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(VolPdfCommand("pdfinfo '" + Pdf + "' | grep 'Page size'").find("792 x 612"), std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("Volume Summary / File Contents +Page +1\n")));
    // The volumes in label order, each followed by its file headings and entries; EMPTYVOL still
    // has its headings. (The entries' own volume label column lies further right.)
    const auto words = Words();
    const TVolWord* first = Find(words, "BACKUP01");
    ASSERT_TRUE(first);
    std::vector<std::string> order;
    for (const TVolWord& w : words) {
        const bool label = w.Text == "BACKUP01" || w.Text == "EMPTYVOL" || w.Text == "LETTERS";
        if ((label && w.X < first->X + 5) || w.Text == "FileName" || w.Text == "Report" ||
            w.Text.find(".TXT") != std::string::npos || w.Text == "A.DAT")
            order.push_back(w.Text);
    }
    const std::vector<std::string> expected{"BACKUP01", "FileName", "A.DAT",   "README.TXT",
                                            "EMPTYVOL", "FileName", "LETTERS", "FileName",
                                            "X.TXT",    "Y.TXT",    "Report"};
    EXPECT_EQ(order, expected);
    // The chosen volume headings, values with their pictures, the first comment line only.
    for (const char* s :
         {"Catalog Volume ID", "Last Cataloged", "Slack%", "Files In Arcs", "6,000,000,000", "12.50%",
          "Weekly backup", "Weekly copy", "Documents", "OLD.ZIP", "Report Totals", "6,001,050,000"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
    for (const char* s : {"Actual Volume ID", "Serial Number", "Cluster Size", "Time Modified",
                          "Category Code", "Second line", "1A2B-3C4D"})
        EXPECT_EQ(text.find(s), std::string::npos) << s;
    VolPdfCommand("pdftoppm -r 60 -png -f 1 -l 1 '" + Pdf + "' '" + std::string(KORVANE_BUILD_DIR) +
                  "/VolSummaryPrinted'");
}

TEST_F(VolSummaryPrintTest, TotalsNewPagesAndFullComments) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    f->ShowTotals1->Click();
    PrintWith(*f, {false, true, true});
    const std::string text = PdfText();
    EXPECT_EQ(text.find("Report Totals"), std::string::npos);
    EXPECT_NE(VolPdfCommand("pdfinfo '" + Pdf + "' | grep 'Page size'").find("612 x 792"), std::string::npos);
    ASSERT_EQ(Pages(), 3);
    const auto words = Words();
    for (auto [page, label] : {std::pair{1, "BACKUP01"}, std::pair{2, "EMPTYVOL"}, std::pair{3, "LETTERS"}})
        EXPECT_TRUE(Find(words, label, page)) << label;
    // The whole comment, on lines of its own in a taller band.
    const TVolWord* second = Find(words, "Second", 1);
    const TVolWord* weekly = Find(words, "Weekly", 1);
    ASSERT_TRUE(second && weekly);
    EXPECT_GT(second->Y, weekly->Y);
    EXPECT_NEAR(second->X, weekly->X, 0.5);
    EXPECT_TRUE(Find(words, "Third", 1));
}

TEST_F(VolSummaryPrintTest, ChosenColumnsCloseUpAndFileColumnsFitTheWholeCatalog) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    // Only the catalog volume label among the volume columns.
    for (size_t i = 1; i < kVolColumns; ++i)
        if (f->SummaryItems[i]->Checked) f->SummaryItems[i]->Click();
    PrintWith(*f, {true, true, false});
    const std::string text = PdfText();
    for (const char* s : {"Drv", "Last Cataloged", "Disk Size", "12.50%", "Weekly backup"})
        EXPECT_EQ(text.find(s), std::string::npos) << s;
    auto words = Words();
    const TVolWord* heading = Find(words, "Catalog", 1);
    const TVolWord* value = Find(words, "BACKUP01", 1);
    ASSERT_TRUE(heading && value);
    EXPECT_NEAR(heading->X, value->X, 0.5);
    // The folder column starts at the same place on every page, past the catalog's longest file name.
    const TVolWord* folder1 = Find(words, "Folder", 1);
    const TVolWord* folder3 = Find(words, "Folder", 3);
    ASSERT_TRUE(folder1 && folder3);
    EXPECT_NEAR(folder1->X, folder3->X, 0.5);
    const TVolWord* readme = Find(words, "README.TXT", 1);
    const TVolWord* x = Find(words, "X.TXT", 3);
    ASSERT_TRUE(readme && x);
    EXPECT_GT(folder3->X, x->X + 30);

    // Comment next to the label: it follows the label column directly.
    f->SummaryItems[kVolComment]->Click();
    PrintWith(*f, {});
    words = Words();
    const TVolWord* comment = Find(words, "Comment", 1);
    heading = Find(words, "Catalog", 1);
    ASSERT_TRUE(comment && heading);
    EXPECT_LT(comment->X - heading->X, 110);
}

TEST_F(VolSummaryPrintTest, ThePrinterDialogStartsFromTheLandscapePage) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    // The dialog is shared by every printed report; the last one printed in portrait.
    auto* last = TCustomForm::Create<TGetPrintedReportSpecForm>(Application);
    last->Portrait->SetChecked(true);
    last->Free();
    bool startedLandscape = false;
    Driver.AnswerWith([&startedLandscape](TCustomForm& Form) {
        auto& d = dynamic_cast<TGetPrintedReportSpecForm&>(Form);
        startedLandscape = d.Landscape->Checked() && !d.Portrait->Checked();
        d.PreviewOnScreenFirst->SetChecked(false);
        d.SetModalResult(mrOk);
    });
    f->PrintBtnClick();
    EXPECT_TRUE(startedLandscape);
    EXPECT_NE(VolPdfCommand("pdfinfo '" + Pdf + "' | grep 'Page size'").find("792 x 612"), std::string::npos);
}

TEST_F(VolSummaryPrintTest, CancelWhileMeasuringPrintsNothing) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    f->SummaryTable->Last();
    for (dbsql::TDbTable* measured : {f->SummaryTable2, f->FileTable2}) {
        measured->AfterScroll = [f](TDataSet*) {
            for (int i = 0; i < f->ComponentCount(); ++i)
                if (auto* progress = dynamic_cast<catalog::TProgressForm*>(f->Components(i)))
                    progress->CancelPressed = true;
        };
        PrintWith(*f, {});
        measured->AfterScroll = nullptr;
        EXPECT_FALSE(std::filesystem::exists(Pdf)) << measured->Name();
        EXPECT_TRUE(f->Enabled());
        EXPECT_FALSE(measured->Active());
    }
    EXPECT_EQ(f->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "LETTERS");
    Driver.AnswerWith([](TCustomForm& Form) { Form.SetModalResult(mrCancel); });
    f->PrintBtnClick();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
}

}  // namespace
}  // namespace reports
