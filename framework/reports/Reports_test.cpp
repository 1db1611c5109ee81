#include "framework/reports/Reports.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <regex>

#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/print/PagePicture.h"
#include "framework/reports/ReportPreview.h"
#include "framework/stdctrls/Button.h"
#include "framework/testsupport/MemDataSet.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/UserEnv.h"

namespace framework {
namespace {

using platform::testsupport::RunShell;
using platform::testsupport::ShellOutput;
using testsupport::TMemDataSet;

// A word of a PDF page and its box in pixels of the page (96 per inch).
struct TWord {
    std::string Text;
    double Left, Top, Right, Bottom;
};

std::string Pad3(int N) {
    std::string s = std::to_string(N);
    return std::string(3 - std::min<size_t>(3, s.size()), '0') + s;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"pdfinfo", "pdftotext", "pdftoppm"})
            ASSERT_EQ(RunShell(std::string("command -v ") + tool + " >/dev/null 2>&1"), 0)
                << tool << " is missing: install poppler-utils (listed in scripts/packages.txt)";
        Pdf = Env.Root() + "/report.pdf";
        Env.Set("KORVANE_PRINT_TO", Pdf);
        Saved = SetPrinterQueueSource([](std::string& Default) {
            Default = "Office Laser";
            return std::vector<std::string>{"Office Laser", "Back Office"};
        });
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
        Form = TCustomForm::Create<TForm>(Application);
        Report = NewComponent<TReport>(Form);
        Report->Page().SetMargins(10);
        Report->ReportTitle = "Report test";
        Report->BeforePrint = [this](TReport*, bool&) { PageCounter = 0; };
        Report->OnStartPage = [this](TReport*) {
            ++PageCounter;
            if (PageNum) PageNum->SetCaption(std::to_string(PageCounter));
        };
    }
    void TearDown() override {
        Form->Free();
        SetPrinterQueueSource(Saved);
        Printer().Refresh();
        Printer().SetOrientation(poPortrait);
    }

    TReportBand* AddBand(TReportBandType Type, int Height) {
        TReportBand* b = NewComponent<TReportBand>(Form, Type);
        b->SetReport(Report);
        b->SetHeight(Height);
        return b;
    }
    TReportLabel* AddLabel(TReportBand* Band, const std::string& Caption, int Left, int Top) {
        TReportLabel* l = NewComponent<TReportLabel>(Form);
        l->SetParent(Band);
        l->SetCaption(Caption);
        l->SetLeft(Left);
        l->SetTop(Top);
        return l;
    }
    TReportDBText* AddText(TReportBand* Band, TDataSet* Data, const std::string& Field, int Left, int Width) {
        TReportDBText* t = NewComponent<TReportDBText>(Form);
        t->SetParent(Band);
        t->SetDataSet(Data);
        t->DataField = Field;
        t->SetAutoSize(false);
        t->SetBounds(Left, 0, Width, 16);
        return t;
    }
    // The page header of every test: the title, "Page" and the page number kept by the form.
    TReportBand* AddHeader() {
        TReportBand* h = AddBand(rbPageHeader, 30);
        AddLabel(h, "Catalog Listing", 0, 4);
        AddLabel(h, "Page", 300, 4);
        PageNum = AddLabel(h, "0", 340, 4);
        return h;
    }

    int Pages() { return std::stoi(Info("Pages")); }
    std::string Info(const std::string& Field) {
        std::string out = ShellOutput("pdfinfo '" + Pdf + "'");
        size_t at = out.find(Field + ":");
        if (at == std::string::npos) return "0";
        size_t start = out.find_first_not_of(' ', at + Field.size() + 1);
        return out.substr(start, out.find('\n', start) - start);
    }
    std::string PageText(int Page) {
        return ShellOutput("pdftotext -layout -f " + std::to_string(Page) + " -l " + std::to_string(Page) +
                           " '" + Pdf + "' -");
    }
    // The words of each page with their boxes.
    std::vector<std::vector<TWord>> Words() {
        std::string html = ShellOutput("pdftotext -bbox '" + Pdf + "' -");
        std::vector<std::vector<TWord>> pages;
        std::regex re(
            R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), re); it != std::sregex_iterator();
             ++it) {
            const std::smatch& m = *it;
            if (m.str(0) == "<page ") {
                pages.emplace_back();
                continue;
            }
            const double k = 96.0 / 72.0;
            pages.back().push_back(TWord{m.str(5), std::stod(m.str(1)) * k, std::stod(m.str(2)) * k,
                                         std::stod(m.str(3)) * k, std::stod(m.str(4)) * k});
        }
        return pages;
    }
    static const TWord* Find(const std::vector<TWord>& Page, const std::string& Text) {
        for (const TWord& w : Page)
            if (w.Text == Text) return &w;
        return nullptr;
    }
    // Every word of every page in reading order of the document.
    std::vector<std::string> AllWords() {
        std::vector<std::string> all;
        for (auto& page : Words())
            for (auto& w : page) all.push_back(w.Text);
        return all;
    }
    QImage Rendered(int Page) {
        std::string png = Env.Root() + "/page" + std::to_string(Page);
        EXPECT_EQ(RunShell("pdftoppm -r 96 -png -singlefile -f " + std::to_string(Page) + " -l " +
                           std::to_string(Page) + " '" + Pdf + "' '" + png + "'"),
                  0);
        return QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_RGB32);
    }
    static uint32_t Rgb(const QImage& Image, int X, int Y) {
        QRgb q = Image.pixel(X, Y);
        return static_cast<uint32_t>(qRed(q) | (qGreen(q) << 8) | (qBlue(q) << 16));
    }

    // N rows "Row 001" ... with a memo.
    void FillRows(TMemDataSet& Ds, int N) {
        Ds.FieldDefs.Add("Name", ftString, 20);
        Ds.FieldDefs.Add("Size", ftInteger);
        Ds.FieldDefs.Add("Memo", ftMemo);
        Ds.Open();
        for (int i = 1; i <= N; ++i)
            Ds.AppendRecord({Variant("Row " + Pad3(i)), Variant(i * 1000), Variant("")});
        Ds.First();
    }

    TFormDriver Driver;
    platform::testsupport::ScopedUserEnv Env;
    std::string Pdf;
    TPrinterQueuesFunc Saved;
    TForm* Form = nullptr;
    TReport* Report = nullptr;
    TReportLabel* PageNum = nullptr;
    int PageCounter = 0;
    const int Margin = 38;  // 10 mm in pixels
};

TEST_F(ReportTest, HeaderDetailAndSummaryOverAHundredRows) {
    TMemDataSet ds;
    FillRows(ds, 100);
    Report->SetDataSet(&ds);
    AddHeader();
    TReportBand* detail = AddBand(rbDetail, 20);
    AddText(detail, &ds, "Name", 0, 100);
    TReportDBText* size = AddText(detail, &ds, "Size", 120, 100);
    size->Mask = "###,###,##0";
    size->SetAlignment(taRightJustify);
    AddLabel(AddBand(rbSummary, 30), "Report Totals", 0, 8);
    ds.Last();

    Report->Print();
    int pages = Pages();
    ASSERT_GE(pages, 2);
    EXPECT_EQ(Report->PageCount(), pages);
    EXPECT_EQ(Info("Title"), "Report test");
    auto words = Words();
    ASSERT_EQ(static_cast<int>(words.size()), pages);
    std::vector<int> rows;
    for (int p = 1; p <= pages; ++p) {
        const auto& page = words[static_cast<size_t>(p - 1)];
        ASSERT_FALSE(page.empty());
        // The header at the top of every page, numbered by the form.
        EXPECT_EQ(page[0].Text, "Catalog") << p;
        EXPECT_NEAR(page[0].Top, Margin + 4, 3) << p;
        const TWord* num = Find(page, std::to_string(p));
        ASSERT_TRUE(num) << p;
        EXPECT_NEAR(num->Left, Margin + 340, 2);
        EXPECT_EQ(PageText(p).find("Report Totals") != std::string::npos, p == pages) << p;
        for (size_t i = 0; i + 1 < page.size(); ++i)
            if (page[i].Text == "Row") rows.push_back(std::stoi(page[i + 1].Text));
    }
    std::vector<int> expected;
    for (int i = 1; i <= 100; ++i) expected.push_back(i);
    EXPECT_EQ(rows, expected);
    // The summary after the last row; the masked size of row 100 right-aligned in its column.
    const auto& last = words.back();
    EXPECT_GT(Find(last, "Totals")->Top, Find(last, "100")->Top);
    const TWord* big = Find(last, "100,000");
    ASSERT_TRUE(big);
    EXPECT_NEAR(big->Right, Margin + 220, 2);
    EXPECT_TRUE(ds.Eof()) << "the report walks the dataset from its first record";
    ds.First();
    size->Mask = "##0.00%";
    EXPECT_EQ(size->FieldText(), "1000.00%");
    size->Mask = "";
    EXPECT_EQ(size->FieldText(), "1000");

    // A second run numbers its pages from 1 again.
    Report->Print();
    EXPECT_EQ(Words()[0][3].Text, "1");
}

TEST_F(ReportTest, AWrappedMemoGrowsItsBandAndContinuesOnTheNextPage) {
    TMemDataSet ds;
    ds.FieldDefs.Add("Name", ftString, 20);
    ds.FieldDefs.Add("Memo", ftMemo);
    ds.Open();
    // Five lines: two paragraphs, the second wrapping into four lines of the column's width.
    ds.AppendRecord(
        {Variant("First"), Variant("alpha\r\nbeta gamma delta epsilon zeta eta theta iota kappa")});
    std::string longMemo;
    for (int i = 1; i <= 90; ++i) longMemo += (i > 1 ? "\r\n" : "") + std::string("Line ") + Pad3(i);
    ds.AppendRecord({Variant("Second"), Variant(longMemo)});
    ds.AppendRecord({Variant("Third"), Variant("")});
    ds.First();
    Report->SetDataSet(&ds);
    AddHeader();
    TReportBand* detail = AddBand(rbDetail, 16);
    TReportDBText* hidden = AddText(detail, &ds, "Name", 0, 80);
    hidden->SetEnabled(false);
    AddText(detail, &ds, "Name", 0, 80);  // in the disabled column's place
    TReportDBText* memo = AddText(detail, &ds, "Memo", 100, 90);
    memo->SetWordWrap(true);
    memo->SetAutoStretch(true);
    int lh = memo->LineHeight();
    detail->BeforePrint = [&](TReportBand* Band, bool&) {
        Band->SetColor(ds.FieldByName("Name")->AsString() == "Second" ? clSilver : clWhite);
    };

    EXPECT_EQ(memo->LineCount(), 5);
    EXPECT_EQ(detail->StretchHeight(), 5 * lh);

    Report->Print();
    auto words = Words();
    ASSERT_GE(words.size(), 2u);
    const auto& p1 = words[0];
    // The disabled text prints nothing and leaves no gap: the next one stands at its left.
    const TWord* first = Find(p1, "First");
    ASSERT_TRUE(first);
    EXPECT_NEAR(first->Left, Margin, 2);
    EXPECT_EQ(std::count_if(p1.begin(), p1.end(), [](const TWord& w) { return w.Text == "First"; }), 1);
    // The second record's band begins five lines below the first.
    EXPECT_NEAR(Find(p1, "Second")->Top - first->Top, 5 * lh, 1.5);
    EXPECT_NEAR(Find(p1, "kappa")->Top - first->Top, 4 * lh, 1.5);
    // The long memo runs to the bottom of page 1 and on under the header of page 2, every line once.
    std::vector<int> lines;
    std::vector<int> pageOf;
    for (size_t p = 0; p < words.size(); ++p)
        for (size_t i = 0; i + 1 < words[p].size(); ++i)
            if (words[p][i].Text == "Line") {
                lines.push_back(std::stoi(words[p][i + 1].Text));
                pageOf.push_back(static_cast<int>(p) + 1);
            }
    ASSERT_EQ(lines.size(), 90u);
    for (int i = 0; i < 90; ++i) EXPECT_EQ(lines[static_cast<size_t>(i)], i + 1);
    EXPECT_EQ(pageOf.front(), 1);
    EXPECT_EQ(pageOf.back(), 2);
    auto firstOn2 = std::find(pageOf.begin(), pageOf.end(), 2) - pageOf.begin();
    const TWord* cont = Find(words[1], "Line");
    ASSERT_TRUE(cont);
    EXPECT_NEAR(cont->Top, Margin + 30, 2) << "line " << firstOn2 + 1 << " under the header";
    EXPECT_GT(cont->Left, Margin + 99);
    // Page 1 is filled to its bottom margin.
    double lowest = 0;
    for (const TWord& w : p1) lowest = std::max(lowest, w.Bottom);
    EXPECT_GT(lowest, 1056 - Margin - 2 * lh);
    EXPECT_LE(lowest, 1056 - Margin + 1);
    // The third record follows the memo's last line on page 2.
    EXPECT_NEAR(Find(words[1], "Third")->Top - Find(words[1], "090")->Top, lh, 1.5);
    // The long memo's band colour reaches to the bottom of page 1 and, on page 2, down to its last
    // line only.
    QImage page1 = Rendered(1), page2 = Rendered(2);
    EXPECT_EQ(Rgb(page1, 816 - Margin - 3, 1056 - Margin - 2), 0xC0C0C0u);
    EXPECT_EQ(Rgb(page1, 816 - Margin - 3, 1056 - Margin + 2), 0xFFFFFFu);
    EXPECT_EQ(Rgb(page2, 816 - Margin - 3, Margin + 30 + 2), 0xC0C0C0u);
    int third = static_cast<int>(Find(words[1], "Third")->Top);
    EXPECT_EQ(Rgb(page2, 816 - Margin - 3, third - 4), 0xC0C0C0u);
    EXPECT_EQ(Rgb(page2, 816 - Margin - 3, third + 4), 0xFFFFFFu);
}

// Volumes with 0, 2 and 40 entries: the volume's framed band, the file headings, the entries and
// a spacer after them.
class MasterDetailTest : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        Volumes.FieldDefs.Add("Id", ftInteger);
        Volumes.FieldDefs.Add("Label", ftString, 20);
        Volumes.Open();
        Volumes.AppendRecord({Variant(1), Variant("VolumeA")});
        Volumes.AppendRecord({Variant(2), Variant("VolumeB")});
        Volumes.AppendRecord({Variant(3), Variant("VolumeC")});
        Files.FieldDefs.Add("VolId", ftInteger);
        Files.FieldDefs.Add("Name", ftString, 20);
        Files.Open();
        for (int i = 1; i <= 2; ++i) Files.AppendRecord({Variant(2), Variant("B" + Pad3(i))});
        for (int i = 1; i <= 40; ++i) Files.AppendRecord({Variant(3), Variant("C" + Pad3(i))});
        // The entries follow the current volume.
        Files.SetOnFilterRecordValue([this](TDataSet* D, bool& Accept) {
            Accept = D->FieldByName("VolId")->AsInteger() == Volumes.FieldByName("Id")->AsInteger();
        });
        Files.SetFilteredValue(true);
        Volumes.First();

        Report->SetDataSet(&Volumes);
        AddHeader();
        Volume = AddBand(rbDetail, 24);
        Volume->Frame.SetAll(true);
        Volume->Frame.Width = 2;
        AddText(Volume, &Volumes, "Label", 4, 100)->SetTop(4);
        TReportBand* headings = AddBand(rbGroupHeader, 20);
        AddLabel(headings, "FileName", 0, 2);
        TSubDetailBand* entries = NewComponent<TSubDetailBand>(Form);
        entries->SetReport(Report);
        entries->SetHeight(24);
        entries->SetDataSet(&Files);
        AddText(entries, &Files, "Name", 0, 100);
        TReportBand* spacer = AddBand(rbGroupFooter, 12);
        entries->HeaderBand = headings;
        entries->FooterBand = spacer;
    }
    TMemDataSet Volumes, Files;
    TReportBand* Volume = nullptr;
};

TEST_F(MasterDetailTest, EachVolumePrintsItsBandHeadingsEntriesAndSpacer) {
    Report->Print();
    auto words = Words();
    ASSERT_GE(words.size(), 2u);
    std::vector<std::string> seq;
    for (auto& page : words)
        for (auto& w : page)
            if (w.Text.rfind("Volume", 0) == 0 || w.Text == "FileName" ||
                ((w.Text[0] == 'B' || w.Text[0] == 'C') && isdigit(static_cast<unsigned char>(w.Text[1]))))
                seq.push_back(w.Text);
    std::vector<std::string> expected{"VolumeA", "FileName", "VolumeB", "FileName",
                                      "B001",    "B002",     "VolumeC", "FileName"};
    for (int i = 1; i <= 40; ++i) expected.push_back("C" + Pad3(i));
    EXPECT_EQ(seq, expected);
    const auto& p1 = words[0];
    // Heights: volume band 24 (text 4 down), headings 20, entries 24, spacer 12.
    EXPECT_NEAR(Find(p1, "VolumeB")->Top - Find(p1, "VolumeA")->Top, 24 + 20 + 12, 1.5);
    EXPECT_NEAR(Find(p1, "VolumeC")->Top - Find(p1, "B002")->Top, 24 + 12 + 4, 1.5);
    // The entries of the last volume cross the page break.
    EXPECT_TRUE(Find(p1, "C001"));
    EXPECT_TRUE(Find(words[1], "C040"));
    EXPECT_FALSE(Find(words[1], "VolumeC"));

    // The volume band's frame: black on its edges, white inside.
    QImage page = Rendered(1);
    int top = Margin + 30, left = Margin;
    EXPECT_EQ(Rgb(page, left + 50, top), 0u);
    EXPECT_EQ(Rgb(page, left + 50, top + 1), 0u);
    EXPECT_EQ(Rgb(page, left + 50, top + 2), 0xFFFFFFu);
    EXPECT_EQ(Rgb(page, left + 50, top + 22), 0u);
    EXPECT_EQ(Rgb(page, left + 50, top + 23), 0u);
    EXPECT_EQ(Rgb(page, left, top + 12), 0u);
    EXPECT_EQ(Rgb(page, 816 - Margin - 1, top + 12), 0u);
    EXPECT_EQ(Rgb(page, left + 150, top + 12), 0xFFFFFFu);
    EXPECT_EQ(Rgb(page, left + 50, top + 24), 0xFFFFFFu);
}

TEST_F(MasterDetailTest, EntriesFollowTheirVolumeThroughAMasterLink) {
    // The entries know only the volume their master link last reported, as a detail table that
    // ranges itself on its master does; the report walks the volumes with their controls disabled.
    TDataSource volumeSource;
    volumeSource.SetDataSet(&Volumes);
    int followed = 0;
    TMasterDataLink link(&Files);
    link.OnMasterChange = [&](TObject*) { followed = Volumes.FieldByName("Id")->AsInteger(); };
    link.SetFieldNames("Id");
    link.SetDataSource(&volumeSource);
    Files.SetOnFilterRecordValue(
        [&](TDataSet* D, bool& Accept) { Accept = D->FieldByName("VolId")->AsInteger() == followed; });
    Report->Print();
    std::vector<std::string> seq;
    for (auto& page : Words())
        for (auto& w : page)
            if (w.Text.rfind("Volume", 0) == 0 || w.Text == "B001" || w.Text == "C001" || w.Text == "C040")
                seq.push_back(w.Text);
    EXPECT_EQ(seq, (std::vector<std::string>{"VolumeA", "VolumeB", "B001", "VolumeC", "C001", "C040"}));
    link.SetDataSource(nullptr);
}

TEST_F(MasterDetailTest, ForceNewPageStartsEveryVolumeOnANewPage) {
    Volume->ForceNewPage = true;
    Report->Print();
    auto words = Words();
    ASSERT_GE(words.size(), 4u);
    for (int v = 0; v < 3; ++v) {
        const std::string label = std::string("Volume") + char('A' + v);
        const TWord* w = Find(words[static_cast<size_t>(v)], label);
        ASSERT_TRUE(w) << label;
        EXPECT_NEAR(w->Top, Margin + 30 + 4, 2) << label << " at the top of its page";
        for (size_t p = 0; p < words.size(); ++p)
            if (p != static_cast<size_t>(v)) {
                EXPECT_FALSE(Find(words[p], label));
            }
    }
    EXPECT_EQ(Find(words[0], "1")->Left, Find(words[3], "4")->Left);
}

TEST_F(ReportTest, ControlsMeasureTextsAndPrintInTheirBandsFont) {
    TMemDataSet ds;
    FillRows(ds, 2);
    Report->SetDataSet(&ds);
    Report->PrinterIndex = 1;
    TReportBand* header = AddHeader();
    // A hidden auto-sizing label measures texts in the font the details print in.
    TReportBand* detail = AddBand(rbDetail, 20);
    TFont mono;
    mono.Name = "Courier New";
    mono.SetSize(10);
    detail->Font().Assign(mono);
    TReportLabel* test = AddLabel(header, "", 0, 0);
    test->SetVisible(false);
    test->SetFont(mono);
    test->SetCaption("0123456789");
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    bitmap.Canvas().Font.Assign(mono);
    EXPECT_EQ(test->Width(), bitmap.Canvas().TextWidth("0123456789"));
    test->SetCaption("NeverPrinted");
    TReportDBText* name = AddText(detail, &ds, "Name", 0, 100);
    EXPECT_EQ(name->Font().Name, "Courier New") << "the band's font";
    // System data: the page number and the date of printing.
    TReportBand* footer = AddBand(rbPageFooter, 20);
    TReportSysData* page = NewComponent<TReportSysData>(Form);
    page->SetParent(footer);
    page->Text = "Sheet ";
    TReportSysData* date = NewComponent<TReportSysData>(Form);
    date->SetParent(footer);
    date->SetLeft(200);
    date->Data = qrsDate;
    TClockFunc clock = SetClock([] { return EncodeDate(2003, 1, 5) + EncodeTime(14, 30, 0, 0); });
    Report->Print();
    SetClock(clock);
    std::string text = PageText(1);
    EXPECT_EQ(text.find("NeverPrinted"), std::string::npos);
    EXPECT_NE(text.find("Sheet 1"), std::string::npos);
    EXPECT_NE(text.find(DateToStr(EncodeDate(2003, 1, 5))), std::string::npos) << text;
    EXPECT_NE(ShellOutput("pdffonts '" + Pdf + "'").find("Mono"), std::string::npos);
    EXPECT_EQ(Printer().PrinterIndex(), 1);
    EXPECT_EQ(Info("Creator"), "Korvane (Back Office)");
}

TEST_F(ReportTest, AnErrorWhilePrintingLeavesNoDocumentAndNothingPrinting) {
    TMemDataSet ds;
    FillRows(ds, 50);
    Report->SetDataSet(&ds);
    AddHeader();
    TReportBand* detail = AddBand(rbDetail, 20);
    AddText(detail, &ds, "Name", 0, 100);
    Report->Page().SetOrientation(poLandscape);
    detail->BeforePrint = [&](TReportBand*, bool&) {
        if (ds.FieldByName("Size")->AsInteger() == 40000) throw EInvalidOperation("Row 40 is damaged");
    };
    EXPECT_THROW(Report->Print(), EInvalidOperation);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    EXPECT_EQ(Printer().Orientation(), poPortrait);
    // BeforePrint of the report may cancel the run: nothing is printed.
    detail->BeforePrint = nullptr;
    Report->BeforePrint = [](TReport*, bool& PrintReport) { PrintReport = false; };
    Report->Print();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
}

TEST_F(ReportTest, TwoColumnsFillTheFirstColumnThenTheSecondWithAlternatingBackgrounds) {
    TMemDataSet ds;
    FillRows(ds, 120);
    Report->SetDataSet(&ds);
    Report->Page().SetColumns(2);
    TReportBand* header = AddHeader();
    TReportBand* detail = AddBand(rbDetail, 20);
    EXPECT_EQ(header->Width(), 816 - 2 * Margin);
    EXPECT_EQ(detail->Width(), (816 - 2 * Margin - 10) / 2);
    AddText(detail, &ds, "Name", 2, 100)->SetTop(2);
    bool grey = false;
    detail->BeforePrint = [&](TReportBand* Band, bool&) {
        grey = !grey;
        Band->SetColor(grey ? TColor(0xC0C0C0) : clWhite);
    };
    Report->Print();
    auto words = Words();
    ASSERT_GE(words.size(), 2u);
    const auto& p1 = words[0];
    int perColumn = (1056 - 2 * Margin - 30) / 20;
    const TWord* r1 = Find(p1, "001");
    const TWord* rTop2 = Find(p1, Pad3(perColumn + 1));
    const TWord* rLast1 = Find(p1, Pad3(perColumn));
    ASSERT_TRUE(r1 && rTop2 && rLast1);
    EXPECT_NEAR(rTop2->Top, r1->Top, 1);
    EXPECT_GT(rTop2->Left, Margin + detail->Width());
    EXPECT_GT(rLast1->Top, rTop2->Top);
    EXPECT_TRUE(Find(words[1], Pad3(2 * perColumn + 1))) << "page 2 goes on where column 2 ended";

    QImage page = Rendered(1);
    int x1 = Margin + detail->Width() - 3, x2 = Margin + detail->Width() + 10 + detail->Width() - 3;
    for (int row = 0; row < 4; ++row) {
        int y = Margin + 30 + row * 20 + 10;
        uint32_t want = row % 2 == 0 ? 0xC0C0C0u : 0xFFFFFFu;
        EXPECT_EQ(Rgb(page, x1, y), want) << "column 1 row " << row;
        // Column 2 begins with row perColumn + 1, whose colour follows on from the last of column 1.
        uint32_t want2 = (perColumn + row) % 2 == 0 ? 0xC0C0C0u : 0xFFFFFFu;
        EXPECT_EQ(Rgb(page, x2, y), want2) << "column 2 row " << row;
    }
    EXPECT_EQ(Rgb(page, Margin + detail->Width() + 5, Margin + 40), 0xFFFFFFu) << "the space between columns";
}

TEST_F(ReportTest, AnEmptyDatasetPrintsOnePageWithHeaderAndFooterOnlyWhenAsked) {
    TMemDataSet ds;
    FillRows(ds, 0);
    Report->SetDataSet(&ds);
    AddHeader();
    AddText(AddBand(rbDetail, 20), &ds, "Name", 0, 100);
    TReportBand* footer = AddBand(rbPageFooter, 20);
    TReportLabel* program = AddLabel(footer, "Korvane 1.0", 0, 2);
    program->SetAutoSize(false);
    footer->BeforePrint = [&](TReportBand* Band, bool&) {
        program->SetWidth(Band->Width());
        program->SetAlignment(taCenter);
    };
    Report->Print();
    ASSERT_EQ(Pages(), 1);
    auto words = Words();
    EXPECT_TRUE(Find(words[0], "Catalog"));
    const TWord* k = Find(words[0], "Korvane");
    ASSERT_TRUE(k);
    EXPECT_NEAR(k->Top, 1056 - Margin - 20 + 2, 2) << "the footer at the bottom of the page";
    EXPECT_NEAR((k->Left + Find(words[0], "1.0")->Right) / 2, 408, 2) << "centred in the band";

    // Without the options the one page, being both the first and the last, has neither.
    Report->Options = 0;
    Report->Print();
    ASSERT_EQ(Pages(), 1);
    EXPECT_EQ(Trim(PageText(1)), "");

    std::filesystem::remove(Pdf);
    Report->PrintIfEmpty = false;
    Report->Print();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
}

TEST_F(ReportTest, LandscapeWidensTheBandsAndThePageNumberFollowsTheRightEdge) {
    TMemDataSet ds;
    FillRows(ds, 3);
    Report->SetDataSet(&ds);
    TReportBand* header = AddHeader();
    AddText(AddBand(rbDetail, 20), &ds, "Name", 0, 100);
    Report->Page().SetOrientation(poLandscape);
    EXPECT_EQ(header->Width(), 1056 - 2 * Margin);
    // The page number right-aligned at the band's right edge, "Page" 3 pixels left of it.
    PageNum->SetAutoSize(false);
    PageNum->SetAlignment(taRightJustify);
    PageNum->SetWidth(40);
    PageNum->SetLeft(header->Width() - PageNum->Width());
    header->Controls(1)->SetLeft(PageNum->Left() - 3 - header->Controls(1)->Width());
    Report->Print();
    EXPECT_EQ(Info("Page size").substr(0, 9), "792 x 612");
    auto words = Words();
    const TWord* num = Find(words[0], "1");
    ASSERT_TRUE(num);
    EXPECT_NEAR(num->Right, 1056 - Margin, 2);
    EXPECT_GT(Find(words[0], "Page")->Left, 816);
    EXPECT_EQ(Printer().Orientation(), poPortrait) << "the printer's own orientation is given back";
}

TEST_F(ReportTest, ThePreviewShowsThePagesAndPrintsThem) {
    TMemDataSet ds;
    FillRows(ds, 100);
    Report->SetDataSet(&ds);
    AddHeader();
    TReportBand* detail = AddBand(rbDetail, 20);
    AddText(detail, &ds, "Name", 0, 100);
    TReportShape* line = NewComponent<TReportShape>(Form);
    line->SetParent(detail);
    line->Shape = qrsHorLine;
    line->SetBounds(0, 18, 300, 2);
    std::string grab = std::string(KORVANE_BUILD_DIR) + "/report-preview.png";
    int pages = 0;
    Driver.AnswerWith([&](TCustomForm& F) {
        auto* preview = dynamic_cast<TReportPreviewForm*>(&F);
        ASSERT_TRUE(preview);
        pages = preview->Pages().Count();
        EXPECT_EQ(preview->WindowState(), wsMaximized);
        EXPECT_EQ(preview->PageLabel->Caption(), "Page 1 of " + std::to_string(pages));
        EXPECT_FALSE(preview->PriorBtn->Enabled());
        Driver.RunPending();
        EXPECT_TRUE(Driver.Grab(*preview, grab));
        // The page shown: white paper with the first row's line across it.
        EXPECT_EQ(Driver.PixelAt(*preview->PageView, 2, 2), ColorToRGB(clGray));
        Driver.Click(*preview->LastBtn);
        EXPECT_EQ(preview->PageShown(), pages);
        EXPECT_EQ(preview->PageLabel->Caption(),
                  "Page " + std::to_string(pages) + " of " + std::to_string(pages));
        EXPECT_FALSE(preview->NextBtn->Enabled());
        Driver.Click(*preview->PriorBtn);
        EXPECT_EQ(preview->PageShown(), pages - 1);
        Driver.Click(*preview->FirstBtn);
        EXPECT_EQ(preview->PageShown(), 1);
        Driver.Click(*preview->PrintBtn);
        Driver.Click(*preview->CloseBtn);
    });
    Report->Preview();
    EXPECT_EQ(Driver.PendingAnswers(), 0u);
    ASSERT_GT(pages, 1);
    ASSERT_TRUE(std::filesystem::exists(Pdf)) << "printed from the preview";
    EXPECT_EQ(Pages(), pages);
    auto words = Words();
    for (int p = 1; p <= pages; ++p)
        EXPECT_TRUE(Find(words[static_cast<size_t>(p - 1)], std::to_string(p))) << p;
    QImage shot(QString::fromStdString(grab));
    ASSERT_FALSE(shot.isNull());
}

}  // namespace
}  // namespace framework
