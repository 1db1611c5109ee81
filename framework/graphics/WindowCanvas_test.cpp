// The canvas on a window's device context: windowless controls paint in their own coordinates,
// limited to their bounds.
#include <gtest/gtest.h>

#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

// Paints a blue frame around its client area, and a yellow fill that overruns it on every side.
class TOverrun : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;

protected:
    void Paint() override {
        TCanvas& c = Canvas();
        c.Brush.Color = clYellow;
        c.FillRect(Rect(-50, -50, Width() + 50, Height() + 50));
        c.Brush.Color = clBlue;
        c.FrameRect(ClientRect());
        c.Font.Name = "Arial";
        c.Brush.Style = bsClear;
        TRect r = ClientRect();
        DrawText(c.Handle(), "Long text that will not fit", r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_VCENTER);
    }
};

TEST(WindowCanvas, WindowlessControlPaintsAtItsPlaceAndNoFurther) {
    TFormDriver driver;
    TForm* form = TCustomForm::Create<TForm>(Application);
    form->SetClientSize(200, 100);
    form->SetColor(clWhite);
    auto* g = NewComponent<TOverrun>(form);
    g->SetParent(form);
    g->SetBounds(30, 20, 60, 30);
    form->Show();
    driver.RunPending();
    EXPECT_EQ(driver.PixelAt(*form, 30, 20), 0xFF0000u);  // frame: blue
    EXPECT_EQ(driver.PixelAt(*form, 89, 49), 0xFF0000u);
    EXPECT_EQ(driver.PixelAt(*form, 31, 21), 0x00FFFFu);  // inside: yellow
    EXPECT_EQ(driver.PixelAt(*form, 29, 20), 0xFFFFFFu);  // the overrun is clipped away
    EXPECT_EQ(driver.PixelAt(*form, 90, 49), 0xFFFFFFu);
    EXPECT_EQ(driver.PixelAt(*form, 30, 50), 0xFFFFFFu);
    EXPECT_EQ(driver.PixelAt(*form, 30, 19), 0xFFFFFFu);
    form->Free();
    driver.RunPending();
}

}  // namespace
}  // namespace framework
