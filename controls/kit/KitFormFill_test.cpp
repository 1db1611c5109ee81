// Form fills painting a form's background through its window hook, the back tiling a kit image,
// and the caption styler, which leaves the window manager's caption alone.
#include "controls/kit/KitFormFill.h"

#include <gtest/gtest.h>

#include "controls/kit/KitGlyph.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class KitFormFillTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void SetUp() override {
        Form->SetBounds(70, 70, 240, 160);
        Form->SetColor(clWhite);
        Form->SetCaption("Tips");
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    uint32_t At(int X, int Y) { return Driver.PixelAt(*Form, X, Y); }
};

TEST_F(KitFormFillTest, AnOwnerDrawnFillPaintsTheBackgroundOnlyWhileEnabled) {
    auto* fill = NewComponent<TKitCustomFormFill>(Form);
    fill->SetPaintMode(pcOwnerDraw);
    fill->SetEnabled(true);  // made at run time: enabling installs the hook
    Driver.RunPending();
    EXPECT_EQ(At(100, 60), ColorToRGB(clWhite)) << "without OnPaint the form erases itself";

    std::vector<TRect> painted;
    fill->OnPaint = [&painted](TObject*, TCanvas& Canvas, const TRect& Dest) {
        painted.push_back(Dest);
        Canvas.Brush.Color = clYellow;
        Canvas.FillRect(TRect{0, 0, Dest.Right / 2, Dest.Bottom});
    };
    fill->SetPaintMode(pcControl);
    fill->SetPaintMode(pcOwnerDraw);
    Driver.RunPending();
    ASSERT_FALSE(painted.empty());
    EXPECT_EQ(painted.back(), (TRect{0, 0, Form->ClientWidth(), Form->ClientHeight()}));
    EXPECT_EQ(At(20, 60), ColorToRGB(clYellow));
    EXPECT_EQ(At(Form->ClientWidth() - 20, 60), ColorToRGB(clWhite)) << "the default fill";

    fill->SetEnabled(false);
    Driver.RunPending();
    EXPECT_EQ(At(20, 60), ColorToRGB(clWhite)) << "disabled: the form paints itself at once";
    fill->SetEnabled(true);
    Driver.RunPending();
    EXPECT_EQ(At(20, 60), ColorToRGB(clYellow));
}

TEST_F(KitFormFillTest, TheBackTilesItsImageOrBehavesAsAPlainFill) {
    TBitmap tile;
    tile.SetPixelFormat(pf24bit);
    tile.SetSize(16, 16);
    tile.Canvas().Brush.Color = clBlue;
    tile.Canvas().FillRect(TRect{0, 0, 16, 16});
    tile.Canvas().Brush.Color = clRed;
    tile.Canvas().FillRect(TRect{0, 0, 4, 4});
    TKitImageList list(nullptr);
    auto* item = static_cast<TKitImageListItem*>(list.Item(list.AddItem()));
    item->SetWidth(16);
    item->SetHeight(16);
    item->Add(&tile, nullptr);

    auto* back = NewComponent<TKitBack>(Form);
    back->SetImageList(&list);
    back->SetImageIndex(3);  // not in the list
    back->SetEnabled(true);
    Driver.RunPending();
    EXPECT_EQ(At(33, 33), ColorToRGB(clWhite));

    back->SetImageIndex(0);
    Driver.RunPending();
    EXPECT_EQ(At(1, 1), ColorToRGB(clRed));
    EXPECT_EQ(At(33, 33), ColorToRGB(clRed)) << "tiled";
    EXPECT_EQ(At(40, 40), ColorToRGB(clBlue));
    back->SetImageList(nullptr);
}

TEST_F(KitFormFillTest, AnEnabledStylerLeavesCaptionAndPixelsAlone) {
    const uint32_t before = At(100, 60);
    for (TKitFormStyleOptions options :
         {TKitFormStyleOptions{fsAdjustRect | fsUseDefaultFont | fsUseFormCaption | fsCheckSystemGradient},
          TKitFormStyleOptions{fsAdjustRect}}) {
        auto* styler = NewComponent<TKitFormStyler>(Form);
        styler->SetOptions(options);
        styler->SetEnabled(true);
        styler->RefreshCaption();
        Driver.RunPending();
        EXPECT_FALSE(styler->CaptionPaintable());
        EXPECT_EQ(Form->Caption(), "Tips");
        char text[32] = {};
        SendMessage(Form->Handle(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, "Tips");
        Form->Invalidate();
        Driver.RunPending();
        EXPECT_EQ(At(100, 60), before);
        styler->Free();
    }
}

}  // namespace
}  // namespace kit
