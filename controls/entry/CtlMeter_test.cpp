// The meter: how much of the bar each percentage fills, the clamped text, turning vertical, and
// the inverted percentage.
#include "controls/entry/CtlMeter.h"

#include <gtest/gtest.h>

#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class MeterTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlMeter* Meter = nullptr;
    void SetUp() override {
        Form->SetBounds(40, 40, 320, 260);
        Form->SetColor(clBtnFace);
        Meter = NewComponent<TCtlMeter>(Form);
        Meter->SetBounds(10, 10, 104, 24);  // a 100-pixel bar inside the two frames
        Meter->SetParent(Form);
        Meter->SetUsedColor(clBlue);
        Meter->SetUnusedColor(clWhite);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // A pixel of the meter, in its own coordinates.
    uint32_t At(int X, int Y) {
        Driver.RunPending();
        return Driver.PixelAt(*Form, Meter->Left() + X, Meter->Top() + Y);
    }
    // Pixels of the bar's middle row (bar x 0..99 are meter x 2..101) in the used colour.
    int UsedColumns() {
        int n = 0;
        for (int x = 2; x < 102; ++x) n += At(x, 12) == clBlue;
        return n;
    }
};

TEST_F(MeterTest, DefaultsAndFrames) {
    TCtlMeter m(nullptr);
    EXPECT_EQ(m.Width(), 200);
    EXPECT_EQ(m.Height(), 24);
    EXPECT_EQ(m.Percent(), 33);
    EXPECT_EQ(m.UsedColor(), clLime);
    EXPECT_EQ(m.UnusedColor(), clWindow);
    EXPECT_TRUE(m.InvertPercent());
    EXPECT_FALSE(m.ShowPercent());
    EXPECT_TRUE(m.ControlStyle & csOpaque);
    EXPECT_EQ(m.About(), "v4.06");

    EXPECT_EQ(At(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(At(103, 23), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(At(1, 1), clBlack);
    EXPECT_EQ(At(102, 22), ColorToRGB(clBtnHighlight));
    Meter->SetCtl3D(false);
    EXPECT_EQ(At(0, 0), clBlack);
    EXPECT_EQ(At(103, 23), clBlack);
    EXPECT_EQ(At(1, 1), clBlue);  // the bar now starts inside the one frame
    Meter->SetBorderStyle(bsNone);
    EXPECT_EQ(At(0, 0), clBlue);
}

TEST_F(MeterTest, FillForEachPercentage) {
    struct Case {
        int32_t percent;
        int used;  // columns of the used colour
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "0%"},    {1, 0, "1%"},       {2, 0, "2%"},  {3, 3, "3%"},       {50, 50, "50%"},
        {99, 97, "99%"}, {100, 100, "100%"}, {-5, 0, "0%"}, {150, 100, "100%"},
    };
    for (const Case& c : cases) {
        Meter->SetPercent(c.percent);
        EXPECT_EQ(Meter->Percent(), c.percent);
        EXPECT_EQ(Meter->PercentText(), c.text) << c.percent;
        EXPECT_EQ(UsedColumns(), c.used) << c.percent;
        // The bar's ends.
        EXPECT_EQ(At(2, 12), c.used > 0 ? clBlue : clWhite) << c.percent;
        EXPECT_EQ(At(101, 12), c.used == 100 ? clBlue : clWhite) << c.percent;
    }
    // 99: the gap and at least two more unused pixels.
    Meter->SetPercent(99);
    for (int x = 99; x <= 101; ++x) EXPECT_EQ(At(x, 12), clWhite) << x;
    Driver.Grab(*Form, ::testing::TempDir() + "entry_meter_99.png");
}

TEST_F(MeterTest, VerticalSwapsTheSizeAndFillsFromTheBottom) {
    TCtlMeter plain(nullptr);
    plain.SetOrientation(moVertical);
    EXPECT_EQ(plain.Width(), 24);
    EXPECT_EQ(plain.Height(), 200);
    plain.SetOrientation(moHorizontal);
    EXPECT_EQ(plain.Width(), 200);

    // With a used picture the size stays.
    TBitmap pic;
    pic.SetSize(8, 8);
    plain.SetUsedImage(pic);
    plain.SetOrientation(moVertical);
    EXPECT_EQ(plain.Width(), 200);

    Meter->SetBounds(150, 10, 24, 104);
    Meter->SetOrientation(moVertical);
    EXPECT_EQ(Meter->Width(), 104);  // swapped
    Meter->SetBounds(150, 10, 24, 104);
    Meter->SetPercent(25);
    int used = 0;
    for (int y = 2; y < 102; ++y) used += At(12, y) == clBlue;
    EXPECT_EQ(used, 25);
    EXPECT_EQ(At(12, 101), clBlue);  // bottom
    EXPECT_EQ(At(12, 2), clWhite);   // top
    EXPECT_EQ(At(12, 77), clBlue);
    EXPECT_EQ(At(12, 76), clWhite);
    Meter->SetPercent(100);
    EXPECT_EQ(At(12, 2), clBlue);
    EXPECT_EQ(At(12, 1), clBlack);  // the frame stays
    Driver.Grab(*Form, ::testing::TempDir() + "entry_meter_vertical.png");
}

TEST_F(MeterTest, PercentTextInvertsWhatLiesUnderIt) {
    Meter->Font().Name = "Arial";
    Meter->Font().SetHeight(-16);
    Meter->Font().Color = clBlack;
    Meter->SetPercent(100);
    Meter->SetShowPercent(true);
    // Over the used part the text shows in the inverse of the used colour (blue -> yellow).
    int inverted = 0, other = 0;
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 102; ++x) {
            const uint32_t p = At(x, y);
            if (p == (clBlue ^ 0xFFFFFF))
                ++inverted;
            else if (p != clBlue)
                ++other;
        }
    EXPECT_GT(inverted, 20);
    EXPECT_EQ(other, 0);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_meter_text.png");

    // Without inversion the text is in the font's colour.
    Meter->SetInvertPercent(false);
    int black = 0;
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 102; ++x) black += At(x, y) == clBlack;
    EXPECT_GT(black, 20);
}

TEST_F(MeterTest, PicturesFillThePartsInsteadOfColours) {
    TBitmap used, unused;
    used.SetPixelFormat(pf24bit);
    used.SetSize(10, 10);
    used.Canvas().Brush.Color = clRed;
    used.Canvas().FillRect(Rect(0, 0, 10, 10));
    unused.SetPixelFormat(pf24bit);
    unused.SetSize(10, 10);
    unused.Canvas().Brush.Color = clYellow;
    unused.Canvas().FillRect(Rect(0, 0, 10, 10));
    Meter->SetUsedImage(used);
    Meter->SetUnusedImage(unused);
    Meter->SetPercent(50);
    EXPECT_EQ(At(2, 12), clRed);
    EXPECT_EQ(At(51, 12), clRed);
    EXPECT_EQ(At(53, 12), clYellow);
    EXPECT_EQ(At(101, 12), clYellow);
    // An empty picture gives the colour back.
    Meter->SetUsedImage(TBitmap());
    EXPECT_EQ(At(2, 12), clBlue);
}

TEST_F(MeterTest, OwnerDrawGetsThePictureWithoutText) {
    int calls = 0;
    Meter->OnOwnerDraw = [&](TCanvas& Canvas, const TRect& Rec) {
        ++calls;
        EXPECT_EQ(Rec, Rect(0, 0, 104, 24));
        Canvas.Brush.Color = clRed;
        Canvas.FillRect(Rect(50, 10, 52, 12));
    };
    Meter->Repaint();
    EXPECT_EQ(At(50, 10), clRed);
    EXPECT_GT(calls, 0);
    calls = 0;
    Meter->SetShowPercent(true);
    At(0, 0);
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace entry
