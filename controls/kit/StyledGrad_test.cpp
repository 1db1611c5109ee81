// The gradient: band colours, band count limits and where each band is drawn.
#include "controls/kit/StyledGrad.h"

#include <gtest/gtest.h>

#include <cmath>

#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class StyledGradTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TStyledGradient* Grad = nullptr;
    void SetUp() override {
        Form->SetBounds(40, 40, 400, 300);
        Grad = NewComponent<TStyledGradient>(Form);
        Grad->SetBounds(10, 20, 256, 100);
        Grad->SetParent(Form);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    uint32_t At(int X, int Y) { return Driver.PixelAt(*Form, Grad->Left() + X, Grad->Top() + Y); }
};

TEST_F(StyledGradTest, DefaultsRunFromRedToYellowInEqualGreenSteps) {
    EXPECT_EQ(Grad->ColorBands(), 128);
    EXPECT_EQ(Grad->Version(), "1.11");
    EXPECT_TRUE(Grad->ControlStyle & csOpaque);
    const auto& bands = Grad->Bands();
    ASSERT_EQ(bands.size(), 128u);
    EXPECT_EQ(bands[0], clRed);
    EXPECT_EQ(bands[127], clYellow);
    for (int i : {1, 64, 100})
        EXPECT_EQ(bands[size_t(i)], RGB(255, uint8_t(std::nearbyint(i * 255.0 / 127)), 0)) << i;
    // 256 pixels, 128 bands: band i starts at 2·i.
    EXPECT_EQ(At(0, 50), clRed);
    EXPECT_EQ(At(128, 50), bands[64]);
    EXPECT_EQ(At(255, 50), clYellow);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_gradient.png");
}

TEST_F(StyledGradTest, BandCountOutsideTwoTo256IsIgnored) {
    Grad->SetColorBands(1);
    EXPECT_EQ(Grad->ColorBands(), 128);
    Grad->SetColorBands(257);
    EXPECT_EQ(Grad->ColorBands(), 128);
    Grad->SetColorBands(2);
    EXPECT_EQ(Grad->Bands(), (std::vector<TColor>{clRed, clYellow}));
}

TEST_F(StyledGradTest, EqualColoursGiveOnePlainColour) {
    Grad->SetFromColor(clBtnFace);  // system colours are resolved
    Grad->SetToColor(clBtnFace);
    Driver.RunPending();
    const uint32_t face = ColorToRGB(clBtnFace);
    for (TColor c : Grad->Bands()) EXPECT_EQ(c, face);
    for (int x : {0, 77, 255}) EXPECT_EQ(At(x, 30), face);
}

TEST_F(StyledGradTest, ManyBandsOnANarrowControlOverlapWithoutGaps) {
    Grad->SetWidth(100);
    Grad->SetColorBands(256);
    Grad->SetFromColor(clBlack);
    Grad->SetToColor(clBlue);  // band i has blue = i
    Driver.RunPending();
    // Each pixel shows the last band starting at or before it.
    for (int x = 0; x < 100; ++x) {
        int last = 0;
        for (int i = 0; i < 256; ++i)
            if (std::nearbyint(0.390625 * i) <= x) last = i;
        EXPECT_EQ(At(x, 10), RGB(0, 0, uint8_t(last))) << x;
    }
}

TEST_F(StyledGradTest, VerticalRunsTopToBottom) {
    Grad->SetDirection(dVertical);
    Driver.RunPending();
    EXPECT_EQ(At(100, 0), clRed);
    EXPECT_EQ(At(0, 99), clYellow);
    EXPECT_EQ(At(0, 0), At(255, 0));
    EXPECT_TRUE(Grad->PaletteChanged(false));
}

}  // namespace
}  // namespace kit
