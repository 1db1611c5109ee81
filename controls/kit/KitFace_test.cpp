// Effect text, the glyph-and-text layout and button faces, probed on bitmaps; dialog placement.
#include "controls/kit/KitFace.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/core/Stream.h"
#include "framework/ui/Forms.h"

namespace kit {
namespace {

using namespace framework;

TColor Rgb(TColor c) {
    return static_cast<TColor>(ColorToRGB(c));
}

std::unique_ptr<TBitmap> Filled(int W, int H, TColor C) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    FillBitmapColor(b.get(), TRect{0, 0, W, H}, C);
    return b;
}

// The bounding box of the pixels of one colour (empty when there are none).
TRect BoxOf(TBitmap& b, TColor c) {
    TRect r{b.Width(), b.Height(), -1, -1};
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Canvas().Pixel(x, y) == c) {
                r.Left = std::min(r.Left, x);
                r.Top = std::min(r.Top, y);
                r.Right = std::max(r.Right, x + 1);
                r.Bottom = std::max(r.Bottom, y + 1);
            }
    return r.Right < 0 ? TRect{} : r;
}

bool SameBitmaps(TBitmap& a, TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Canvas().Pixel(x, y) != b.Canvas().Pixel(x, y)) return false;
    return true;
}

// Writes a grab for looking at by eye when KORVANE_GRABS names a folder.
void Grab(TBitmap& b, const std::string& Name) {
    if (const char* dir = std::getenv("KORVANE_GRABS")) {
        TFileStream f(std::string(dir) + "/" + Name + ".bmp", fmCreate);
        b.SaveToStream(f);
    }
}

TEST(EffectTextTest, SunkenDrawsTheLightCopyDepthPixelsRightAndBelow) {
    auto b = Filled(60, 30, clWhite);
    b->Canvas().Font.Color = clBlack;
    b->Canvas().Font.SetSize(14);
    TKit3DCaption cap;
    cap.SetStyle(tdSunken);
    cap.SetLightDepth(2);
    cap.SetLightColor(clRed);
    DrawEffectText(b->Canvas(), "HM", &cap, TRect{2, 2, 58, 28}, DT_LEFT, gtEnabled);
    Grab(*b, "effect_sunken");
    const TRect black = BoxOf(*b, clBlack), red = BoxOf(*b, clRed);
    ASSERT_FALSE(black.IsEmpty());
    ASSERT_FALSE(red.IsEmpty());
    EXPECT_EQ(red.Right, black.Right + 2);
    EXPECT_EQ(red.Bottom, black.Bottom + 2);
}

TEST(EffectTextTest, DisabledStylesPickColourAndRelief) {
    struct Case {
        TKitDisabledStyle Disabled;
        uint32_t Flags;
        bool Gray, Light;
    } cases[] = {
        {ds3d, 0, true, true},               // sunken gray whatever Style says
        {dsAuto, gtAutoSunken, true, true},  // auto sunken
        {dsAuto, 0, true, false},            // plain gray
        {dsStandard, 0, true, false},        // keeps Style (tdNone)
        {dsNone, 0, false, false},           // font colour
        {ds3d, gtEnabled, false, false},     // enabled: font colour
    };
    for (const Case& c : cases) {
        auto b = Filled(60, 30, clWhite);
        b->Canvas().Font.Color = clBlack;
        b->Canvas().Font.SetSize(14);
        TKit3DCaption cap;
        cap.SetDisabledStyle(c.Disabled);
        cap.SetLightColor(clLime);
        DrawEffectText(b->Canvas(), "HM", &cap, TRect{2, 2, 58, 28}, DT_LEFT, c.Flags);
        EXPECT_EQ(!BoxOf(*b, Rgb(clGrayText)).IsEmpty(), c.Gray) << c.Disabled << " " << c.Flags;
        EXPECT_EQ(!BoxOf(*b, clLime).IsEmpty(), c.Light) << c.Disabled << " " << c.Flags;
        EXPECT_EQ(!BoxOf(*b, clBlack).IsEmpty(), !c.Gray) << c.Disabled << " " << c.Flags;
    }
}

TEST(EffectTextTest, MeasureGrowsByDepthAndMarginAndTakesABlankForAnAmpersand) {
    TFont font;
    TRect plain{0, 0, 200, 0};
    MeasureEffectText("Hello", nullptr, plain, font, false, true, 0, 0);
    EXPECT_EQ(plain.Left, 0);
    EXPECT_GT(plain.Width(), 2);
    TKit3DCaption cap;
    cap.SetStyle(tdShadow);
    cap.SetShadowDepth(3);
    TRect shadowed{0, 0, 200, 0};
    MeasureEffectText("Hello", &cap, shadowed, font, false, true, 1, 0);
    EXPECT_EQ(shadowed.Width(), plain.Width() + 3 + 2);
    EXPECT_EQ(shadowed.Height(), plain.Height() + 3 + 2);

    TRect amp{0, 0, 200, 0}, blank{0, 0, 200, 0};
    MeasureEffectText("&", nullptr, amp, font, false, true, 0, 0);
    MeasureEffectText(" ", nullptr, blank, font, false, true, 0, 0);
    EXPECT_EQ(amp, blank);

    // A rotated caption measures its turned box and learns where its text starts.
    TKitFxCaption fx;
    fx.SetAngle(90);
    TRect turned{0, 0, 200, 0};
    MeasureEffectText("Hello", &fx, turned, font, false, true, 0, 0);
    EXPECT_EQ(turned.Width(), plain.Height());
    EXPECT_EQ(turned.Height(), plain.Width());
}

TEST(GlyphAndTextTest, TextRightOfTheGlyphIsPlacedAsTheTableSays) {
    auto b = Filled(120, 40, clWhite);
    auto img = Filled(16, 16, clRed);
    TKitGlyphTextLayout layout;  // taRight, Spacing 2
    layout.SetAlignment(agTopLeft);
    TRect measured{0, 0, 100, 0};
    MeasureEffectText("Abc", nullptr, measured, b->Canvas().Font, false, true, 0, 0);
    TRect glyph{0, 0, 16, 16};
    const TRect area{10, 5, 110, 35};
    GlyphTextResult r = DrawGlyphAndText(b->Canvas(), "Abc", nullptr, area, &img->Canvas(), glyph, nullptr,
                                         clNone, &layout, false, true, false, gtEnabled, 0);
    const int blockH = std::max(16, measured.Height());
    EXPECT_EQ(r.Both.Width(), measured.Width() + 2 + 16 + 1);  // text moved one pixel
    EXPECT_EQ(r.Glyph, (TRect{10, 5 + (blockH - 16) / 2, 26, 5 + (blockH - 16) / 2 + 16}));
    EXPECT_EQ(r.Text.Left, 10 + 19);
    EXPECT_EQ(r.Text.Top, 5 + (blockH - measured.Height()) / 2 + 1);
    EXPECT_EQ(b->Canvas().Pixel(12, r.Glyph.Top + 3), clRed);
    EXPECT_EQ(glyph, (TRect{11, 6, 109, 34}));  // no focus option: the area shrunk by one

    // Measuring only gives the same rectangles and leaves the canvas alone.
    auto m = Filled(120, 40, clWhite);
    TRect g2{0, 0, 16, 16};
    GlyphTextResult r2 = DrawGlyphAndText(m->Canvas(), "Abc", nullptr, area, &img->Canvas(), g2, nullptr,
                                          clNone, &layout, false, true, false, gtEnabled | gtMeasureOnly, 0);
    EXPECT_EQ(r2.Text, r.Text);
    EXPECT_EQ(r2.Glyph, r.Glyph);
    EXPECT_TRUE(BoxOf(*m, clWhite) == (TRect{0, 0, 120, 40}));
    EXPECT_TRUE(BoxOf(*m, clRed).IsEmpty());
    EXPECT_EQ(g2, (TRect{r.Both.Left - 2, r.Both.Top - 2, r.Both.Right + 2, r.Both.Bottom + 2}));
}

TEST(GlyphAndTextTest, ArrangementsAndBlockPlacement) {
    TRect placed;
    PlaceBlock(agBottomRight, TRect{0, 0, 10, 6}, TRect{0, 0, 30, 20}, placed);
    EXPECT_EQ(placed, (TRect{20, 14, 30, 20}));
    PlaceBlock(agCenter, TRect{0, 0, 10, 6}, TRect{5, 5, 35, 25}, placed);
    EXPECT_EQ(placed, (TRect{15, 12, 25, 18}));

    auto b = Filled(100, 100, clWhite);
    auto img = Filled(16, 16, clRed);
    TKitGlyphTextLayout layout;
    layout.SetAlignText2Glyph(taBottom);
    TRect glyph{0, 0, 16, 16};
    GlyphTextResult r =
        DrawGlyphAndText(b->Canvas(), "Abc", nullptr, TRect{0, 0, 100, 100}, &img->Canvas(), glyph, nullptr,
                         clNone, &layout, false, true, false, gtNoAlign | gtMeasureOnly, 0);
    EXPECT_EQ(r.Glyph.Top, 0);
    EXPECT_EQ(r.Text.Top, 16 + 2);  // below the glyph and the gap, no shift without alignment
}

TEST(ButtonFaceTest, ThemedStylesFallBackToTheirClassicFaces) {
    EXPECT_EQ(ResolveButtonStyle(ubsWinXP), ubsWin40);
    EXPECT_EQ(ResolveButtonStyle(ubsWinXPCombo), ubsIntegrated);
    EXPECT_EQ(ResolveButtonStyle(ubsWinXPTool), ubsExplorerColored);
    EXPECT_EQ(ButtonThemePart(ubsWinXPTool, bfDropDown | bfSplitDropDown).Part, 4);
    EXPECT_EQ(ButtonThemePart(ubsWinXPTool, bfDropDown).Part, 3);
    EXPECT_STREQ(ButtonThemePart(ubsWinXPCombo, 0).Class, "COMBOBOX");

    auto face = [](TKitUserButtonStyle s, uint8_t state, uint32_t flags) {
        auto b = Filled(40, 24, clWhite);
        TRect r{0, 0, 40, 24};
        DrawButtonFace(0, b->Canvas(), false, r, s, state, flags, clBtnFace);
        return b;
    };
    auto xp = face(ubsWinXP, 0, 0x01), w40 = face(ubsWin40, 0, 0x01), autod = face(ubsAutoDetect, 0, 0x01);
    EXPECT_TRUE(SameBitmaps(*xp, *w40));
    EXPECT_TRUE(SameBitmaps(*autod, *w40));
    Grab(*w40, "face_win40_up");
}

TEST(ButtonFaceTest, ClassicFaceUpPressedAndDefault) {
    for (TKitUserButtonStyle style : {ubsWin31, ubsWin40, ubsVantor, ubsFlat, ubsNavigator, ubsIntegrated}) {
        for (uint8_t state : {0, 1, 2, 3, 4}) {
            auto b = Filled(40, 24, clWhite);
            TRect r{0, 0, 40, 24};
            ASSERT_TRUE(DrawClassicButtonFace(b->Canvas(), state == 2, r, clBtnFace, 0x01, state, style));
            EXPECT_FALSE(r.IsEmpty());
            Grab(*b, "face_" + std::to_string(style) + "_" + std::to_string(state));
        }
    }
    // ubsWin40 up: light top-left; pressed: black then gray frame; content moves by one.
    auto up = Filled(40, 24, clWhite);
    TRect ru{0, 0, 40, 24};
    DrawClassicButtonFace(up->Canvas(), false, ru, clBtnFace, 0x01, 0, ubsWin40);
    EXPECT_NE(up->Canvas().Pixel(1, 1), clBlack);
    auto down = Filled(40, 24, clWhite);
    TRect rd{0, 0, 40, 24};
    DrawClassicButtonFace(down->Canvas(), false, rd, clBtnFace, 0x01, 4, ubsWin40);
    EXPECT_EQ(down->Canvas().Pixel(0, 0), clBlack);
    EXPECT_EQ(down->Canvas().Pixel(1, 1), clGray);
    EXPECT_EQ(ru, (TRect{3, 3, 37, 21}));
    EXPECT_EQ(rd, (TRect{4, 4, 38, 22}));

    // The default button: a dark frame, then the face one pixel inside, and the focus rectangle
    // three pixels inside that.
    auto def = Filled(40, 24, clWhite);
    TRect rf{0, 0, 40, 24};
    DrawClassicButtonFace(def->Canvas(), false, rf, clBtnFace, 0x03, 0, ubsWin40);
    Grab(*def, "face_win40_default");
    EXPECT_EQ(rf, (TRect{4, 4, 36, 20}));
    EXPECT_EQ(def->Canvas().Pixel(39, 12), Rgb(cl3DDkShadow));
    const TColor f1 = def->Canvas().Pixel(4, 4), f2 = def->Canvas().Pixel(5, 4);
    EXPECT_NE(f1, f2);  // the dotted focus rectangle
    EXPECT_TRUE(f1 == Rgb(clBtnFace) || f2 == Rgb(clBtnFace));
    EXPECT_EQ(def->Canvas().Pixel(10, 10), Rgb(clBtnFace));
}

TEST(DialogPlacementTest, BottomRightNearTheScreenEdgeStaysOnScreen) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    const int sw = Screen->Width();
    PositionWindow(form, TRect{sw - 50, 10, sw - 10, 40}, bpBottomRight);
    EXPECT_LE(form.Left() + form.Width(), sw);
    EXPECT_EQ(form.Left(), sw - 10 - 200);
    EXPECT_EQ(form.Top(), 0);  // 40 - 100 is negative
    EXPECT_EQ(form.Width(), 200);

    PositionWindow(form, TRect{0, 0, 400, 300}, bpCenter);
    EXPECT_EQ(form.Left(), 100);
    EXPECT_EQ(form.Top(), 100);
    TRect screen;
    ReferenceRect(brScreen, screen);
    EXPECT_EQ(screen, (TRect{0, 0, Screen->Width(), Screen->Height()}));
}

}  // namespace
}  // namespace kit
