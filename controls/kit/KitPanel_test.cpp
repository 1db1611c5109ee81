// Bevels (extents, coupled styles, notices) and bevel panels on a form: the window border mode,
// aligned children, flat borders shown only while hot, and what a transparent panel shows.
#include "controls/kit/KitPanel.h"

#include <gtest/gtest.h>

#include "controls/kit/KitImage.h"
#include "controls/kit/KitRegion.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

uint32_t Rgb(TColor C) {
    return ColorToRGB(C);
}

TEST(KitBevelTest, ExtentsByMode) {
    struct Case {
        const char* Name;
        std::function<void(TKitBevel&)> Set;
        int Extent, ExtentRB;
    };
    const Case cases[] = {
        {"nothing", [](TKitBevel&) {}, 0, 0},
        {"raised, frame, frame-lowered inner",
         [](TKitBevel& b) {
             b.SetStyleOuter(bvRaised);
             b.SetWidthOuter(2);
             b.SetBorderWidth(1);
             b.SetStyleInner(bvFrameLowered);
             b.SetWidthInner(1);
         },
         5, 5},
        {"the tips panel",
         [](TKitBevel& b) {
             b.SetStyleOuter(bvLowered);
             b.SetWidthOuter(2);
         },
         2, 2},
        {"shadow",
         [](TKitBevel& b) {
             b.SetStyleInner(bvShadow);
             b.SetWidthInner(2);
             b.SetWidthOuter(4);
             b.SetBorderInnerWidth(1);
         },
         3, 7},
        {"plain frame only", [](TKitBevel& b) { b.SetBorderWidth(3); }, 3, 3},
        {"standard single-lowered", [](TKitBevel& b) { b.SetMode(bmStandard); },
         BorderStyleWidth(lsSingleLowered), BorderStyleWidth(lsSingleLowered)},
        {"edge without sides",
         [](TKitBevel& b) {
             b.SetMode(bmEdge);
             b.SetBorderSides(0);
             b.SetBorderInnerWidth(1);
         },
         1, 1},
        {"edge", [](TKitBevel& b) { b.SetMode(bmEdge); }, 2, 2},
        {"windows, drawn by the bevel", [](TKitBevel& b) { b.SetMode(bmWindows); }, 2, 2},
        {"windows, drawn by the window",
         [](TKitBevel& b) {
             b.SetWindowBorder(true);
             b.SetMode(bmWindows);
         },
         0, 0},
    };
    for (const Case& c : cases) {
        TKitBevel b;
        c.Set(b);
        EXPECT_EQ(b.Extent(), c.Extent) << c.Name;
        EXPECT_EQ(b.ExtentRB(), c.ExtentRB) << c.Name;
    }
    TKitBevel shadow;
    shadow.SetStyleOuter(bvShadow);
    shadow.SetWidthInner(2);
    shadow.SetWidthOuter(4);
    EXPECT_EQ(shadow.InnerRect(TRect{0, 0, 50, 40}), (TRect{2, 2, 44, 34}));
}

TEST(KitBevelTest, ShadowStylesGoTogetherAndStandardStyleNotifiesOnlyInStandardMode) {
    TKitBevel b;
    int notices = 0;
    b.OnChange = [&notices](TObject*) { ++notices; };
    b.SetStyleInner(bvShadow);
    EXPECT_EQ(b.StyleOuter(), bvShadow);
    b.SetStyleOuter(bvLowered);
    EXPECT_EQ(b.StyleInner(), bvNone);
    EXPECT_EQ(notices, 2);

    b.SetStandardStyle(lsRaised);
    EXPECT_EQ(notices, 2) << "custom mode";
    b.SetMode(bmStandard);
    b.SetStandardStyle(lsLowered);
    EXPECT_EQ(notices, 4);
    b.SetStandardStyle(lsLowered);
    EXPECT_EQ(notices, 4) << "unchanged";

    TKitBevel copy;
    int copies = 0;
    copy.OnChange = [&copies](TObject*) { ++copies; };
    copy.Assign(&b);
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(copy.Mode(), bmStandard);
    EXPECT_EQ(copy.StandardStyle(), lsLowered);
    EXPECT_EQ(copy.SummaryText(), "{Standard style}");
}

class KitPanelTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TKitSimplePanel* Panel = nullptr;
    void SetUp() override {
        Form->SetBounds(60, 60, 320, 240);
        Form->SetColor(clWhite);
        Panel = NewComponent<TKitSimplePanel>(Form);
        Panel->SetParent(Form);
        Panel->SetBounds(20, 20, 200, 120);
        Panel->SetColor(0x00DFFFFF);
        Panel->Bevel().SetStyleOuter(bvLowered);
        Panel->Bevel().SetWidthOuter(2);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(KitPanelTest, AlignedChildrenStayInsideTheBevel) {
    auto* child = NewComponent<TKitSimplePanel>(Form);
    child->SetParent(Panel);
    child->SetAlign(alClient);
    Driver.RunPending();
    EXPECT_EQ(child->BoundsRect(), (TRect{2, 2, 198, 118}));
    // The bevel's shadow side is drawn, the inside is the panel's colour.
    EXPECT_EQ(Driver.PixelAt(*Panel, 0, 50), Rgb(clBtnShadow));
    Panel->Bevel().SetWidthOuter(5);
    Driver.RunPending();
    EXPECT_EQ(child->BoundsRect(), (TRect{5, 5, 195, 115}));
}

TEST_F(KitPanelTest, TheWindowsModeLetsTheWindowDrawItsEdgeAndSwitchingRecreatesIt) {
    const HWND before = Panel->Handle();
    Panel->Bevel().SetMode(bmWindows);
    Driver.RunPending();
    EXPECT_EQ(Panel->Bevel().Extent(), 0);
    EXPECT_NE(Panel->Handle(), before) << "recreated";
    EXPECT_TRUE(GetWindowLong(Panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    const HWND windows = Panel->Handle();
    Panel->Bevel().SetStandardStyle(lsRaised);
    Panel->Bevel().SetBorderInnerWidth(1);
    EXPECT_EQ(Panel->Handle(), windows) << "no mode change";

    Panel->Bevel().SetMode(bmCustom);
    Driver.RunPending();
    EXPECT_NE(Panel->Handle(), windows);
    EXPECT_FALSE(GetWindowLong(Panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(KitPanelTest, AFlatPanelShowsItsBevelOnlyWhileHot) {
    Panel->SetFlat(true);
    Driver.RunPending();
    EXPECT_EQ(Driver.PixelAt(*Panel, 0, 50), 0x00DFFFFFu) << "cold: the strips show the background";
    EXPECT_EQ(Driver.PixelAt(*Panel, Panel->Width() - 1, 50), 0x00DFFFFFu);

    Driver.MouseMove(*Panel, 50, 50);
    Driver.RunPending();
    ASSERT_TRUE(Panel->MouseInside());
    EXPECT_EQ(Driver.PixelAt(*Panel, 0, 50), Rgb(clBtnShadow));

    Driver.MouseLeave(*Panel);
    Driver.RunPending();
    EXPECT_FALSE(Panel->MouseInside());
    EXPECT_EQ(Driver.PixelAt(*Panel, 0, 50), 0x00DFFFFFu);

    Panel->SetTabStop(true);
    Panel->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Driver.PixelAt(*Panel, 0, 50), Rgb(clBtnShadow)) << "focused";
}

TEST_F(KitPanelTest, OpaqueAndTransparentPanelsFillWithTheirColourOverAPlainForm) {
    auto* inner = NewComponent<TKitSimplePanel>(Form);
    inner->SetParent(Panel);
    inner->SetBounds(40, 30, 60, 40);
    inner->SetColor(clAqua);
    Driver.RunPending();
    EXPECT_EQ(Driver.PixelAt(*inner, 30, 20), Rgb(clAqua)) << "opaque on a kit panel";

    Panel->SetTransparent(true);
    Driver.RunPending();
    EXPECT_FALSE(Panel->HasBackImage());
    EXPECT_EQ(Driver.PixelAt(*Panel, 100, 100), 0x00DFFFFFu) << "transparent over a plain form";
    EXPECT_EQ(Panel->ControlStyle & csOpaque, 0u);
}

TEST_F(KitPanelTest, ATransparentPanelOnAShapedFormShowsTheShapesPicture) {
    auto* shape = NewComponent<TKitFormShape>(Form);
    shape->Region()->SetShape(rsRoundRect);
    TBrush brush;
    brush.Color = clYellow;
    shape->FillObject()->SetBrush(brush);
    shape->FillObject()->SetStyle(sfBrush);
    shape->Loaded();
    Form->Invalidate();
    Driver.RunPending();
    ASSERT_NE(shape->BackgroundPicture(), nullptr);

    Panel->SetTransparent(true);
    auto* image = NewComponent<TKitNImage>(Form);
    image->SetParent(Panel);
    image->SetBounds(30, 30, 20, 20);
    Driver.RunPending();
    EXPECT_TRUE(Panel->HasBackImage());
    EXPECT_TRUE(image->HasParentBackImage()) << "the picture goes on to the panel's graphic children";
    const TPoint at = Panel->MapToBackImage(TPoint{100, 60});
    EXPECT_EQ(at, (TPoint{120, 80}));
    EXPECT_EQ(Driver.PixelAt(*Panel, 100, 60), static_cast<uint32_t>(clYellow));
    EXPECT_EQ(static_cast<uint32_t>(shape->BackgroundPicture()->Canvas().Pixel(at.X, at.Y)),
              static_cast<uint32_t>(clYellow));

    shape->SetEnabled(false);
    Panel->Invalidate();
    Driver.RunPending();
    EXPECT_FALSE(Panel->HasBackImage());
    EXPECT_EQ(Driver.PixelAt(*Panel, 100, 60), 0x00DFFFFFu);
}

}  // namespace
}  // namespace kit
