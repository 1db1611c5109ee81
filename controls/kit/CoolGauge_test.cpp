// The progress gauge: values, fill, text, frame and when the bar image is redrawn.
#include "controls/kit/CoolGauge.h"

#include <gtest/gtest.h>

#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class TCountingGauge : public TCoolGauge {
public:
    using TCoolGauge::TCoolGauge;
    int Paints = 0;
    int BarBuilds() const { return FBarBuilds; }

protected:
    void Paint() override {
        ++Paints;
        TCoolGauge::Paint();
    }
};

class CoolGaugeTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCountingGauge* Gauge = nullptr;
    void SetUp() override {
        Form->SetBounds(40, 40, 400, 200);
        Gauge = NewComponent<TCountingGauge>(Form);
        Gauge->SetBounds(10, 10, 100, 20);
        Gauge->Font().Color = clBlack;
        Gauge->SetParent(Form);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    uint32_t At(int X, int Y) { return Driver.PixelAt(*Gauge, X, Y); }
    // Counts the pixels of a colour in a rectangle of the gauge.
    int Count(const TRect& R, uint32_t Color) {
        int n = 0;
        for (int y = R.Top; y < R.Bottom; ++y)
            for (int x = R.Left; x < R.Right; ++x) n += At(x, y) == Color;
        return n;
    }
};

TEST_F(CoolGaugeTest, NewGaugeIsEmptyWhiteFramedAndShowsZeroPercent) {
    EXPECT_EQ(Gauge->Width(), 100);
    EXPECT_EQ(Gauge->Height(), 20);
    EXPECT_TRUE(Gauge->ControlStyle & csOpaque);
    EXPECT_TRUE(Gauge->ControlStyle & csFramed);
    EXPECT_EQ(Gauge->Text(), "%d%%");
    EXPECT_EQ(At(0, 0), clBlack);  // frame in the font colour
    EXPECT_EQ(At(99, 19), clBlack);
    EXPECT_EQ(At(5, 10), clWhite);  // nothing filled
    EXPECT_EQ(At(94, 10), clWhite);
    EXPECT_GT(Count(Rect(30, 2, 70, 18), clBlack), 5);  // the text "0%" in the middle
    Driver.Grab(*Form, ::testing::TempDir() + "kit_gauge_new.png");
}

TEST_F(CoolGaugeTest, ProgressFillsRelativeToZeroAndRefusesOutOfRange) {
    Gauge->SetProgress(50);
    EXPECT_EQ(Gauge->Progress(), 50);
    EXPECT_EQ(At(5, 3), RGB(16, 0, 239));  // 100 pixels: x 5 is strip 15 of the run
    EXPECT_NE(At(45, 3), clWhite);
    EXPECT_EQ(At(55, 3), clWhite);
    EXPECT_EQ(Gauge->Percent(), 50);
    Gauge->SetProgress(150);
    Gauge->SetProgress(-1);
    EXPECT_EQ(Gauge->Progress(), 50);

    // MinValue does not shift the fill or the percentage.
    Gauge->SetMinValue(50);
    EXPECT_EQ(Gauge->MinValue(), 50);
    EXPECT_EQ(Gauge->FillWidth(), 50);
    EXPECT_EQ(Gauge->Percent(), 50);
    Gauge->SetProgress(49);
    EXPECT_EQ(Gauge->Progress(), 50);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_gauge_half.png");
}

TEST_F(CoolGaugeTest, RefusedLimitsStillPullProgress) {
    Gauge->SetProgress(50);
    Gauge->SetMaxValue(0);  // not above MinValue: refused, but Progress follows
    EXPECT_EQ(Gauge->MaxValue(), 100);
    EXPECT_EQ(Gauge->Progress(), 0);

    Gauge->SetMinValue(150);  // not below MaxValue: refused, but Progress follows
    EXPECT_EQ(Gauge->MinValue(), 0);
    EXPECT_EQ(Gauge->Progress(), 150);
    EXPECT_EQ(Gauge->FillWidth(), 100);  // never wider than the bar
    EXPECT_EQ(Gauge->Percent(), 150);
    EXPECT_NE(At(97, 3), clWhite);
}

TEST_F(CoolGaugeTest, ZeroMaxValueShowsAnEmptyBar) {
    Gauge->SetMinValue(-10);
    Gauge->SetMaxValue(0);
    EXPECT_EQ(Gauge->MaxValue(), 0);
    Gauge->SetProgress(-5);
    EXPECT_EQ(Gauge->Progress(), -5);
    EXPECT_EQ(Gauge->FillWidth(), 0);
    EXPECT_EQ(Gauge->Percent(), 0);
    EXPECT_EQ(At(5, 3), clWhite);

    // Extreme values neither overflow nor fill outside the bar.
    Gauge->SetMinValue(INT32_MIN);
    Gauge->SetMaxValue(1);
    Gauge->SetProgress(INT32_MIN);
    EXPECT_EQ(Gauge->FillWidth(), 0);
    EXPECT_EQ(Gauge->Percent(), int64_t(INT32_MIN) * 100);
    EXPECT_EQ(At(5, 3), clWhite);
}

TEST_F(CoolGaugeTest, ColourRunStepsOneUnitPerStrip) {
    Gauge->SetWidth(256);
    Gauge->SetText("");
    Gauge->SetBorderStyle(bsNone);
    Gauge->SetProgress(100);
    EXPECT_EQ(At(0, 0), RGB(1, 0, 254));   // strip 0, no frame any more
    EXPECT_EQ(At(1, 10), RGB(2, 0, 253));  // strip 1
    EXPECT_EQ(At(127, 10), RGB(128, 0, 127));
    EXPECT_EQ(At(254, 10), RGB(255, 0, 0));
    EXPECT_EQ(At(255, 19), RGB(255, 0, 0));
    EXPECT_EQ(Count(Rect(0, 0, 256, 20), clBlack), 0);  // no text, no frame

    Gauge->SetStyle(sSolid);
    Gauge->SetForeColor1(clLime);
    EXPECT_EQ(At(0, 0), clLime);
    EXPECT_EQ(At(255, 19), clLime);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_gauge_run.png");
}

TEST_F(CoolGaugeTest, BarImageIsRedrawnOnlyWhenItNoLongerFits) {
    Gauge->SetProgress(10);
    const int built = Gauge->BarBuilds();
    EXPECT_GE(built, 1);
    Gauge->SetBackColor(clYellow);
    Gauge->SetText("%d");
    Gauge->SetProgress(20);
    EXPECT_EQ(At(50, 3), clYellow);
    EXPECT_EQ(Gauge->BarBuilds(), built);
    Gauge->SetForeColor1(clGreen);
    EXPECT_EQ(Gauge->BarBuilds(), built + 1);
    Gauge->SetForeColor2(clNavy);
    EXPECT_EQ(Gauge->BarBuilds(), built + 2);
    Gauge->SetStyle(sSolid);
    EXPECT_EQ(Gauge->BarBuilds(), built + 3);
    Gauge->SetWidth(120);
    Driver.RunPending();
    EXPECT_EQ(Gauge->BarBuilds(), built + 4);
}

TEST_F(CoolGaugeTest, ProgressStepLandingOnTheOldPixelWidthDoesNotRepaint) {
    Gauge->SetMaxValue(1000);  // 0.1 pixel per unit
    Gauge->SetProgress(104);   // 10.4: drawn 10 pixels wide
    Driver.RunPending();
    const int paints = Gauge->Paints;
    Gauge->SetProgress(104);  // unchanged value
    Gauge->SetProgress(100);  // exactly the 10 pixels already drawn
    EXPECT_EQ(Gauge->Paints, paints);
    Gauge->SetProgress(110);  // 11 pixels
    EXPECT_GT(Gauge->Paints, paints);
}

}  // namespace
}  // namespace kit
