// Property objects: change notification, update brackets, summaries, gradient steps and streaming.
#include "controls/kit/KitObjects.h"

#include <gtest/gtest.h>

#include "framework/testsupport/MemFiler.h"

namespace kit {
namespace {

using namespace framework;

// Counts the change notifications of an object.
template <class T>
struct Watched {
    T Object;
    int Changes = 0;
    Watched() {
        Object.OnChange = [this](TObject* Sender) {
            EXPECT_EQ(Sender, &Object);
            ++Changes;
        };
    }
};

TEST(KitObjectsTest, WritersNotifyOnlyWhenTheValueChanges) {
    Watched<TKitButtonLayout> layout;
    layout.Object.SetAlignment(agCenter);  // the button layout's default
    layout.Object.SetSpacing(2);
    layout.Object.SetArrowSize(3);
    layout.Object.SetArrowSize(11);  // outside 2..10
    EXPECT_EQ(layout.Changes, 0);
    layout.Object.SetOffsetY(4);
    layout.Object.SetArrow(true);
    layout.Object.SetArrow(true);
    EXPECT_EQ(layout.Changes, 2);
    EXPECT_EQ(layout.Object.Offset(1), 4);

    Watched<TKitFxCaption> caption;
    caption.Object.SetStyle(tdNone);
    caption.Object.SetLightColor(clBtnHighlight);
    caption.Object.SetShadowDepth(1);
    EXPECT_EQ(caption.Changes, 0);
    caption.Object.SetShadowColor(clRed);
    EXPECT_EQ(caption.Changes, 1);
}

TEST(KitObjectsTest, UpdateBracketHoldsNotificationsBack) {
    Watched<TKit3DCaption> caption;
    caption.Object.BeginUpdate();
    caption.Object.SetStyle(tdRaised);
    caption.Object.SetTracing(2);
    caption.Object.BeginUpdate();  // a flag, not a counter
    caption.Object.EndUpdate(false);
    EXPECT_FALSE(caption.Object.Updating());
    EXPECT_EQ(caption.Changes, 0);
    caption.Object.BeginUpdate();
    caption.Object.SetTracing(3);
    caption.Object.EndUpdate(true);
    EXPECT_EQ(caption.Changes, 1);
    caption.Object.ChildChanged(nullptr);
    EXPECT_EQ(caption.Changes, 2);
}

TEST(KitObjectsTest, AngleAndSetPosition) {
    Watched<TKitFxCaption> caption;
    caption.Object.SetAngle(90);
    caption.Object.SetAngle(360);
    EXPECT_EQ(caption.Object.Angle(), 0);
    caption.Object.SetAngle(400);  // outside the range
    EXPECT_EQ(caption.Object.Angle(), 0);
    EXPECT_EQ(caption.Changes, 2);
    caption.Object.SetPosition(10, 20);
    EXPECT_EQ(caption.Object.PosX(), 10);
    EXPECT_EQ(caption.Object.PosY(), 20);
    EXPECT_EQ(caption.Changes, 2);  // no notification
}

TEST(KitObjectsTest, SummaryTexts) {
    TKitFxCaption caption;
    const std::pair<TKitThreeDStyle, const char*> styles[] = {{tdNone, "{Disabled}"},
                                                              {tdSunken, "{sunken}"},
                                                              {tdRaisedShadow, "{raised shadow}"},
                                                              {tdPColorSunken, "{PColor sunken}"},
                                                              {tdPColorRaised, "{}"},
                                                              {tdExtrudeEnh, "{extrude enh}"}};
    for (auto [style, text] : styles) {
        caption.SetStyle(style);
        EXPECT_EQ(caption.SummaryText(), text);
    }
    caption.SetStyle(tdRaised);
    caption.SetAngle(45);
    EXPECT_EQ(caption.SummaryText(), "{raised, rot: 45\xB0}");
    caption.SetStyle(tdNone);
    EXPECT_EQ(caption.SummaryText(), "{ rot: 45\xB0}");

    TKitGradient gradient;
    EXPECT_EQ(gradient.SummaryText(), "vertical, Col: 16, 2 col mode");
    gradient.SetStyle(gstTopRightDiagonal);
    gradient.SetTwoColors(false);
    gradient.SetColorCount(40);
    EXPECT_EQ(gradient.SummaryText(), "top right diag, Col: 40, mult. col mode");
    EXPECT_EQ(TKitGlyphTextLayout().SummaryText(), "");
}

TEST(KitObjectsTest, AssignCopiesOnceAndRefusesOtherClasses) {
    TKitButtonLayout source;
    source.SetArrow(true);
    source.SetArrowColor(clRed);
    source.SetAlignText2Glyph(taBottom);
    source.SetOffsetX(-3);
    Watched<TKitButtonLayout> target;
    target.Object.Assign(&source);
    EXPECT_EQ(target.Changes, 1);
    EXPECT_TRUE(target.Object.Arrow());
    EXPECT_EQ(target.Object.ArrowColor(), clRed);
    EXPECT_EQ(target.Object.AlignText2Glyph(), taBottom);
    EXPECT_EQ(target.Object.OffsetX(), -3);
    target.Object.Assign(&target.Object);
    EXPECT_EQ(target.Changes, 1);

    TKitGradient gradient;
    EXPECT_THROW(target.Object.Assign(&gradient), EConvertError);

    TKitFxCaption fx;
    fx.SetStyle(tdOutline);
    fx.SetAngle(30);
    TKitFxCaption fxCopy;
    fxCopy.Assign(&fx);
    EXPECT_EQ(fxCopy.SummaryText(), "{outline, rot: 30\xB0}");
}

TEST(KitObjectsTest, DefaultGradientRunsSixteenStepsFromBlueToBlack) {
    TKitGradient gradient;
    EXPECT_EQ(gradient.Style(), gstVertical);
    const auto& steps = gradient.StepColors();
    ASSERT_EQ(steps.size(), 16u);
    EXPECT_EQ(steps.front(), 0xFF0000u);
    EXPECT_EQ(steps.back(), 0x000000u);
    EXPECT_EQ(steps[1], static_cast<uint32_t>(MulDiv(1, -255, 15) + 255) << 16);
    EXPECT_EQ(gradient.Palette(), 0u);
    gradient.SetPaletteRealize(true);
    EXPECT_NE(gradient.Palette(), 0u);
}

TEST(KitObjectsTest, UserColoursJoinSegmentsWithoutRepeatingTheJoint) {
    TKitGradient gradient;
    gradient.SetTwoColors(false);
    EXPECT_TRUE(gradient.StepColors().empty());
    gradient.AddUserColor(clRed);
    EXPECT_TRUE(gradient.StepColors().empty());  // one user colour: nothing to paint
    gradient.AddUserColor(clLime);
    gradient.AddUserColor(clBlue);
    gradient.SetColorCount(12);  // 4 steps per segment
    const auto& steps = gradient.StepColors();
    ASSERT_EQ(steps.size(), 7u);
    EXPECT_EQ(steps[0], 0x0000FFu);
    EXPECT_EQ(steps[3], 0x00FF00u);
    EXPECT_EQ(steps[6], 0xFF0000u);
}

TEST(KitObjectsTest, ColorListRoundTripsThroughTheFiler) {
    TKitGradient gradient;
    {
        TMemFiler filer;
        filer.Writer().WriteProperties(&gradient);
        EXPECT_EQ(filer.Bytes(), "");  // empty user list: not stored
    }
    gradient.SetTwoColors(false);
    for (TColor c : {clRed, clYellow, SystemColor(COLOR_BTNFACE)}) gradient.AddUserColor(c);
    TMemFiler filer;
    filer.Writer().WriteProperties(&gradient);
    Watched<TKitGradient> copy;
    copy.Object.SetTwoColors(false);
    copy.Changes = 0;
    filer.Reader().ReadProperty(&copy.Object);
    EXPECT_EQ(copy.Object.UserColors(), gradient.UserColors());
    EXPECT_EQ(copy.Changes, 1);
    EXPECT_EQ(copy.Object.StepColors(), gradient.StepColors());
}

}  // namespace
}  // namespace kit
