#include "framework/print/Printers.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "framework/print/PagePicture.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

namespace framework {
namespace {

using platform::testsupport::RunShell;
using platform::testsupport::ShellOutput;

// What the scene below draws, in device pixels.
const TRect kFill{200, 300, 400, 350};   // red, filled
const TRect kFrame{450, 300, 600, 420};  // black frame around navy
constexpr int kLineY = 140;              // a black line from x 96 to 719
const std::string kText = "Korvane printed page";

// A page of text, lines and rectangles; returns the box of the text.
TRect DrawScene(TCanvas& C) {
    C.Font.Name = "Arial";
    C.Font.SetSize(12);
    C.Font.Color = clBlack;
    C.Brush.Style = bsClear;
    C.TextOut(96, 96, kText);
    TSize ext = C.TextExtent(kText);
    C.Pen.Color = clBlack;
    C.Pen.Width = 1;
    C.MoveTo(96, kLineY);
    C.LineTo(720, kLineY);
    C.MoveTo(96, 150);
    C.LineTo(96, 260);
    C.Brush.Style = bsSolid;
    C.Brush.Color = clRed;
    C.FillRect(kFill);
    C.Brush.Color = clNavy;
    C.Rectangle(kFrame);
    return TRect{96, 96, 96 + ext.cx, 96 + ext.cy};
}

uint32_t Rgb(const QImage& Image, int X, int Y) {
    QRgb q = Image.pixel(X, Y);
    return static_cast<uint32_t>(qRed(q) | (qGreen(q) << 8) | (qBlue(q) << 16));
}

// The bounds of the pixels of one colour (empty when there are none).
QRect BoundsOf(const QImage& Image, uint32_t Color) {
    QRect r;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (Rgb(Image, x, y) == Color) r |= QRect(x, y, 1, 1);
    return r;
}

QImage PixelsOf(TBitmap& Bitmap) {
    QImage img(Bitmap.Width(), Bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < Bitmap.Height(); ++y) {
        const uint8_t* row = Bitmap.ScanLine(y);
        for (int x = 0; x < Bitmap.Width(); ++x)
            img.setPixel(x, y, qRgb(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]));
    }
    return img;
}

class PrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"pdfinfo", "pdftotext", "pdftoppm", "pdfimages"})
            ASSERT_EQ(RunShell(std::string("command -v ") + tool + " >/dev/null 2>&1"), 0)
                << tool << " is missing: install poppler-utils (listed in scripts/packages.txt)";
        Pdf = Env.Root() + "/printed.pdf";
        Env.Set("KORVANE_PRINT_TO", Pdf);
        Saved = SetPrinterQueueSource([](std::string& Default) {
            Default = "Office Laser";
            return std::vector<std::string>{"\\\\SERVER\\Shared Laser", "Office Laser"};
        });
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
        Printer().SetOrientation(poPortrait);
        Printer().SetPaper(ppLetter);
        Printer().Title = "Test document";
    }
    void TearDown() override {
        if (Printer().Printing()) Printer().Abort();
        SetPrinterQueueSource(Saved);
        Printer().Refresh();
        Printer().SetPrinterIndex(-1);
        Printer().SetOrientation(poPortrait);
    }

    std::string Info(const std::string& Field) {
        std::string out = ShellOutput("pdfinfo '" + Pdf + "'");
        size_t at = out.find(Field + ":");
        if (at == std::string::npos) return "";
        size_t start = out.find_first_not_of(' ', at + Field.size() + 1);
        return out.substr(start, out.find('\n', start) - start);
    }
    // The first page rendered at the device's resolution.
    QImage Rendered() {
        std::string png = Env.Root() + "/page";
        EXPECT_EQ(RunShell("pdftoppm -r 96 -png -singlefile '" + Pdf + "' '" + png + "'"), 0);
        return QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_RGB32);
    }

    platform::testsupport::ScopedUserEnv Env;
    std::string Pdf;
    TPrinterQueuesFunc Saved;
};

TEST_F(PrinterTest, APrintedPageIsLetterWithItsTextAndShapesInPlace) {
    TPrinter& p = Printer();
    EXPECT_EQ(p.PageWidth(), 816);
    EXPECT_EQ(p.PageHeight(), 1056);
    p.BeginDoc();
    EXPECT_TRUE(p.Printing());
    DrawScene(p.Canvas());
    EXPECT_FALSE(std::filesystem::exists(Pdf)) << "the file appears when the document ends";
    p.EndDoc();
    EXPECT_FALSE(p.Printing());
    ASSERT_TRUE(std::filesystem::exists(Pdf));
    EXPECT_EQ(Info("Page size"), "612 x 792 pts (letter)");
    EXPECT_EQ(Info("Pages"), "1");
    EXPECT_EQ(Info("Title"), "Test document");
    EXPECT_NE(ShellOutput("pdftotext '" + Pdf + "' -").find(kText), std::string::npos);

    QImage page = Rendered();
    ASSERT_EQ(page.size(), QSize(816, 1056));
    EXPECT_EQ(BoundsOf(page, ColorToRGB(clRed)), QRect(200, 300, 200, 50));
    // The frame's pen is black on the rectangle's edge, the fill inside it navy.
    EXPECT_EQ(BoundsOf(page, ColorToRGB(clNavy)), QRect(451, 301, 148, 118));
    EXPECT_EQ(Rgb(page, 450, 300), 0u);
    EXPECT_EQ(Rgb(page, 599, 419), 0u);
    EXPECT_EQ(Rgb(page, 600, 420), 0xFFFFFFu);
    // The line leaves out its end pixel.
    EXPECT_EQ(Rgb(page, 96, kLineY), 0u);
    EXPECT_EQ(Rgb(page, 719, kLineY), 0u);
    EXPECT_EQ(Rgb(page, 720, kLineY), 0xFFFFFFu);
    EXPECT_EQ(Rgb(page, 96, kLineY + 1), 0xFFFFFFu);

    p.SetOrientation(poLandscape);
    EXPECT_EQ(p.PageWidth(), 1056);
    EXPECT_EQ(p.PageHeight(), 816);
    p.BeginDoc();
    p.Canvas().Brush.Color = clRed;
    p.Canvas().FillRect(TRect{900, 700, 1000, 800});
    p.EndDoc();
    EXPECT_EQ(Info("Page size"), "792 x 612 pts (letter)");
    QImage wide = Rendered();
    ASSERT_EQ(wide.size(), QSize(1056, 816));
    EXPECT_EQ(BoundsOf(wide, ColorToRGB(clRed)), QRect(900, 700, 100, 100));

    p.SetOrientation(poPortrait);
    p.SetPaper(ppA4);
    p.BeginDoc();
    p.EndDoc();
    EXPECT_EQ(Info("Page size"), "595 x 842 pts (A4)");
}

TEST_F(PrinterTest, PagesAreCountedAndAnAbortedDocumentLeavesNoFile) {
    TPrinter& p = Printer();
    EXPECT_EQ(p.PageNumber(), 0);
    p.BeginDoc();
    EXPECT_EQ(p.PageNumber(), 1);
    p.Canvas().TextOut(100, 100, "first page");
    p.NewPage();
    EXPECT_EQ(p.PageNumber(), 2);
    p.Canvas().TextOut(100, 100, "second page");
    p.EndDoc();
    EXPECT_EQ(Info("Pages"), "2");
    std::string text = ShellOutput("pdftotext '" + Pdf + "' -");
    EXPECT_LT(text.find("first page"), text.find("second page"));

    std::filesystem::remove(Pdf);
    p.BeginDoc();
    p.Canvas().TextOut(100, 100, "never printed");
    p.NewPage();
    p.Abort();
    EXPECT_FALSE(p.Printing());
    EXPECT_TRUE(p.Aborted());
    EXPECT_EQ(p.PageNumber(), 0);
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    EXPECT_FALSE(std::filesystem::exists(Pdf + ".partial"));

    // Out of order calls are refused; a new document clears the abort.
    EXPECT_THROW(p.NewPage(), EPrinter);
    EXPECT_THROW(p.EndDoc(), EPrinter);
    p.BeginDoc();
    EXPECT_FALSE(p.Aborted());
    EXPECT_THROW(p.BeginDoc(), EPrinter);
    p.EndDoc();
    EXPECT_EQ(Info("Pages"), "1");
}

TEST_F(PrinterTest, ThePrinterIndexChoosesThePrinterAndAnUnknownOneChangesNothing) {
    TPrinter& p = Printer();
    ASSERT_EQ(p.Printers().Count(), 3);
    EXPECT_EQ(p.Printers().Get(2), kPdfFilePrinter);
    EXPECT_EQ(p.PrinterIndex(), 1) << "the system's default";
    EXPECT_EQ(p.PrinterName(), "Office Laser");

    p.BeginDoc();
    p.EndDoc();
    EXPECT_EQ(Info("Creator"), "Korvane (Office Laser)");
    p.SetPrinterIndex(0);
    p.BeginDoc();
    p.EndDoc();
    EXPECT_EQ(Info("Creator"), "Korvane (\\\\SERVER\\Shared Laser)");

    for (int bad : {3, -2, 100}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(p.SetPrinterIndex(bad), EPrinter);
        EXPECT_EQ(p.PrinterIndex(), 0);
    }
    p.BeginDoc();
    EXPECT_THROW(p.SetPrinterIndex(2), EPrinter);
    EXPECT_THROW(p.SetOrientation(poLandscape), EPrinter);
    EXPECT_EQ(p.PrinterIndex(), 0);
    EXPECT_EQ(p.Orientation(), poPortrait);
    p.EndDoc();

    p.SetPrinterIndex(-1);
    EXPECT_EQ(p.PrinterIndex(), 1);
    // Without queues the list holds our own printer, and it is the default.
    SetPrinterQueueSource([](std::string& Default) {
        Default.clear();
        return std::vector<std::string>{};
    });
    p.Refresh();
    ASSERT_EQ(p.Printers().Count(), 1);
    EXPECT_EQ(p.PrinterName(), kPdfFilePrinter);
}

TEST_F(PrinterTest, ThePdfFilePrinterAsksForItsFileWhenNothingRedirectsIt) {
    TFormDriver driver;
    platform::testsupport::TScopedDrives drives("D=" + Env.Root());
    Env.Set("KORVANE_PRINT_TO", std::nullopt);
    TPrinter& p = Printer();
    p.SetPrinterIndex(2);
    p.Title = "Catalog list";
    driver.AnswerDialog([](TCommonDialog& d) {
        auto& s = dynamic_cast<TSaveDialog&>(d);
        EXPECT_EQ(s.FileName, "Catalog list");
        s.FileName = "D:\\list";
        return true;
    });
    p.BeginDoc();
    p.Canvas().TextOut(10, 10, "to a file of its own");
    p.EndDoc();
    EXPECT_EQ(driver.Shown.back().ClassName, "TSaveDialog");
    Pdf = Env.Root() + "/list.pdf";
    EXPECT_EQ(Info("Pages"), "1");

    // Declining the file name prints nothing.
    driver.AnswerDialog([](TCommonDialog&) { return false; });
    EXPECT_THROW(p.BeginDoc(), EAbort);
    EXPECT_FALSE(p.Printing());
}

TEST_F(PrinterTest, RecordedPagesReplayToThePixelsOfTheCanvasAndOfThePdf) {
    TPrinter& p = Printer();
    TPagePictures pages;
    p.BeginRecord(pages);
    TRect text = DrawScene(p.Canvas());
    p.NewPage();
    p.Canvas().Brush.Color = clGreen;
    p.Canvas().FillRect(TRect{10, 10, 20, 20});
    p.EndDoc();
    EXPECT_FALSE(std::filesystem::exists(Pdf)) << "a recorded document is not printed";
    ASSERT_EQ(pages.Count(), 2);
    EXPECT_EQ(pages[0].Width(), 816);
    EXPECT_EQ(pages[0].Height(), 1056);

    // The same scene drawn straight on a bitmap canvas.
    TBitmap direct;
    direct.SetPixelFormat(pf32bit);
    direct.SetSize(816, 1056);
    direct.Canvas().Brush.Color = clWhite;
    direct.Canvas().FillRect(TRect{0, 0, 816, 1056});
    DrawScene(direct.Canvas());
    QImage expected = PixelsOf(direct);

    TBitmap replay;
    replay.SetPixelFormat(pf32bit);
    replay.SetSize(816, 1056);
    pages[0].Draw(replay.Canvas(), TRect{0, 0, 816, 1056});
    QImage got = PixelsOf(replay);
    EXPECT_EQ(got, expected) << "a page replayed at its own size gives the canvas's pixels, text included";

    // The PDF of the same document, rendered at the device resolution: equal outside the text, and
    // the text (antialiased by the renderer) in the same place.
    p.BeginDoc();
    DrawScene(p.Canvas());
    p.EndDoc();
    QImage pdf = Rendered();
    ASSERT_EQ(pdf.size(), got.size());
    QRect textBox(text.Left - 2, text.Top - 2, text.Right - text.Left + 4, text.Bottom - text.Top + 4);
    int differ = 0, inkPdf = 0, inkReplay = 0;
    for (int y = 0; y < pdf.height(); ++y)
        for (int x = 0; x < pdf.width(); ++x) {
            if (textBox.contains(x, y)) {
                inkPdf += Rgb(pdf, x, y) != 0xFFFFFFu;
                inkReplay += Rgb(got, x, y) != 0xFFFFFFu;
            } else if (Rgb(pdf, x, y) != Rgb(got, x, y)) {
                ++differ;
            }
        }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(inkReplay, 100);
    EXPECT_GT(inkPdf, inkReplay / 2);
    EXPECT_LT(inkPdf, inkReplay * 3);

    // Smaller, a one-pixel line stays; on a canvas with an offset the page lands in its place.
    TBitmap half;
    half.SetPixelFormat(pf32bit);
    half.SetSize(428, 548);
    half.Canvas().Brush.Color = clGray;
    half.Canvas().FillRect(TRect{0, 0, 428, 548});
    pages[0].Draw(half.Canvas(), TRect{10, 20, 418, 548});
    QImage small = PixelsOf(half);
    EXPECT_EQ(Rgb(small, 5, 5), ColorToRGB(clGray)) << "outside the page";
    EXPECT_EQ(Rgb(small, 11, 21), 0xFFFFFFu) << "the paper";
    EXPECT_EQ(Rgb(small, 10 + 200, 20 + kLineY / 2), 0u) << "the line, half as far down";
    EXPECT_EQ(BoundsOf(small, ColorToRGB(clRed)), QRect(10 + 100, 20 + 150, 100, 25));

    // Replayed on the printer, a recorded page prints as it was drawn (text stays text).
    p.BeginDoc();
    pages[0].Draw(p.Canvas(), TRect{0, 0, p.PageWidth(), p.PageHeight()});
    p.NewPage();
    pages[1].Draw(p.Canvas(), TRect{0, 0, p.PageWidth(), p.PageHeight()});
    p.EndDoc();
    EXPECT_EQ(Info("Pages"), "2");
    EXPECT_NE(ShellOutput("pdftotext '" + Pdf + "' -").find(kText), std::string::npos);
    QImage again = Rendered();
    EXPECT_EQ(BoundsOf(again, ColorToRGB(clRed)), QRect(200, 300, 200, 50));

    // An aborted recording keeps no pages.
    p.BeginRecord(pages);
    p.NewPage();
    p.Abort();
    EXPECT_EQ(pages.Count(), 0);
}

TEST_F(PrinterTest, APageFullOfPictureKeepsEveryPixel) {
    // A picture of many colours (too many to keep as rectangles) drawn beside a frame.
    TBitmap noise;
    noise.SetPixelFormat(pf32bit);
    noise.SetSize(240, 200);
    uint32_t seed = 12345;
    for (int y = 0; y < noise.Height(); ++y) {
        uint8_t* row = noise.ScanLine(y);
        for (int x = 0; x < noise.Width() * 4; ++x) {
            seed = seed * 1103515245u + 12345u;
            row[x] = static_cast<uint8_t>(seed >> 16);
        }
    }
    auto draw = [&](TCanvas& C) {
        C.Draw(100, 100, &noise);
        C.Brush.Color = clYellow;
        C.Rectangle(TRect{400, 100, 500, 180});
    };
    TBitmap direct;
    direct.SetPixelFormat(pf32bit);
    direct.SetSize(816, 1056);
    direct.Canvas().Brush.Color = clWhite;
    direct.Canvas().FillRect(TRect{0, 0, 816, 1056});
    draw(direct.Canvas());

    TPrinter& p = Printer();
    TPagePictures pages;
    p.BeginRecord(pages);
    draw(p.Canvas());
    p.EndDoc();
    TBitmap replay;
    replay.SetPixelFormat(pf32bit);
    replay.SetSize(816, 1056);
    pages[0].Draw(replay.Canvas(), TRect{0, 0, 816, 1056});
    EXPECT_EQ(PixelsOf(replay), PixelsOf(direct));

    p.BeginDoc();
    draw(p.Canvas());
    p.EndDoc();
    // The page goes to the PDF as one image, its pixels unchanged (no lossy compression).
    std::string prefix = Env.Root() + "/image";
    ASSERT_EQ(RunShell("pdfimages -png '" + Pdf + "' '" + prefix + "'"), 0);
    QImage image = QImage(QString::fromStdString(prefix + "-000.png")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image, PixelsOf(direct));
}

}  // namespace
}  // namespace framework
