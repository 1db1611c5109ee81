// The styled push button on a form: auto-repeat on the fake clock, the caption's font rules, old
// streams, standard glyphs, dialog keys, the drop-down menu, faces and image lists.
#include "controls/kit/KitButton.h"

#include <gtest/gtest.h>

#include "controls/kit/KitApp.h"
#include "framework/stdctrls/Menus.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/Resources.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class KitButtonTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TKitButton* Button = nullptr;
    std::vector<uint32_t> Clicks;
    void SetUp() override {
        Form->SetBounds(40, 40, 300, 200);
        Button = NewComponent<TKitButton>(Form);
        Button->SetBounds(20, 30, 75, 25);
        Button->SetCaption("OK");
        Button->SetParent(Form);
        Button->OnClick = [this](TObject*) { Clicks.push_back(Driver.Now()); };
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(KitButtonTest, HeldDownItRepeatsWhileTheMouseIsOverIt) {
    Button->RepeatedClick = true;
    Driver.MouseMove(*Button, 10, 10);
    ASSERT_TRUE(Button->MouseOver());
    const uint32_t start = Driver.Now();
    Driver.MouseDown(*Button, 10, 10);
    ASSERT_NE(Button->RepeatTimer(), 0);
    Driver.Advance(1000, 50);
    std::vector<uint32_t> at;
    for (uint32_t t : Clicks) at.push_back(t - start);
    EXPECT_EQ(at, (std::vector<uint32_t>{500, 600, 700, 800, 900, 1000}));

    Driver.MouseLeave(*Button);
    EXPECT_FALSE(Button->MouseOver());
    Driver.Advance(500, 50);
    EXPECT_EQ(Clicks.size(), 6u);  // suspended while outside

    const uint16_t timer = Button->RepeatTimer();
    Driver.MouseUp(*Button, 10, 10);
    EXPECT_EQ(Button->RepeatTimer(), 0);
    EXPECT_EQ(KitApplication()->TimerItem(timer), nullptr);
}

TEST_F(KitButtonTest, NoFreeTimerIsAnError) {
    Button->RepeatedClick = true;
    std::vector<uint16_t> taken;
    while (uint16_t t = KitApplication()->AddTimer(1000, nullptr)) taken.push_back(t);
    try {
        Button->Perform(WM_LBUTTONDOWN, 0, 0);
        ADD_FAILURE() << "no error";
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Not enough timers available");
    }
    for (uint16_t t : taken) KitApplication()->RemoveTimer(t);
    EXPECT_EQ(Button->RepeatTimer(), 0);
}

TEST_F(KitButtonTest, RotationNeedsATrueTypeFont) {
    Button->Font().Name = "Terminal";
    Button->Font().Changed();
    Button->FontFX().SetAngle(45);
    EXPECT_EQ(Button->Font().Name, "Arial");
    EXPECT_EQ(Button->FontFX().Angle(), 45);
    EXPECT_FALSE(Button->ParentFont());

    Button->Font().Name = "Terminal";
    Button->Font().Changed();
    EXPECT_EQ(Button->FontFX().Angle(), 0);
}

TEST_F(KitButtonTest, OldStreamsNameTheStyle) {
    for (auto [ident, style] : {std::pair{"nbsWin31", ubsWin31}, std::pair{"nbsWin40", ubsWin40},
                                std::pair{"nbsAutoDetect", ubsAutoDetect}}) {
        Button->SetExtStyle(ubsVantor);
        TMemFiler filer;
        filer.Writer().WriteStr("Style");
        filer.Writer().WriteIdent(ident);
        filer.Reader().ReadProperty(Button);
        EXPECT_EQ(Button->ExtStyle(), style) << ident;
    }
    // Nothing is written under "Style".
    TMemFiler out;
    out.Writer().WriteProperties(Button);
    EXPECT_EQ(out.Bytes().find("Style"), std::string::npos);
}

TEST_F(KitButtonTest, StandardGlyphSixIsTheMagnifierCell) {
    Button->SetStandardGlyph(sgMagnifier);
    Button->Repaint();
    Driver.RunPending();
    ASSERT_FALSE(Button->Glyph().Empty());
    EXPECT_EQ(Button->Glyph().Width(), 13);
    EXPECT_EQ(Button->Glyph().Height(), 14);
    RegisterStandardGlyphs();
    TBitmap strip;
    ASSERT_TRUE(LoadBitmapResource(strip, StandardGlyphsResource));
    EXPECT_EQ(strip.Width(), 104);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(Button->Glyph().Canvas().Pixel(x, y), strip.Canvas().Pixel(65 + x, y)) << x << "," << y;
    // The face is drawn with the glyph once it is loaded: a magnifier pixel shows left of the caption.
    int aqua = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 75; ++x)
            aqua += Driver.ShownPixelAt(*Button, x, y) == static_cast<uint32_t>(clAqua);
    EXPECT_GT(aqua, 10);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_button_glyph.png");
}

TEST_F(KitButtonTest, DefaultAndCancelAnswerEnterAndEscape) {
    Button->SetDefault(true);
    EXPECT_TRUE(Button->DefaultLook());
    EXPECT_EQ(Button->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
    EXPECT_EQ(Button->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 0);
    Button->Cancel = true;
    EXPECT_EQ(Button->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1);
    EXPECT_EQ(Clicks.size(), 2u);
}

TEST_F(KitButtonTest, DropDownMenuPopsBelowWithTheButtonPressed) {
    auto* menu = NewComponent<TPopupMenu>(Form);
    auto* item = NewComponent<TMenuItem>(Form);
    item->Caption = "First";
    menu->Items()->Add(item);
    Button->SetDropDownMenu(menu);
    Button->DropDownIndent = 4;
    int dropped = 0;
    Button->OnDropDown = [&](TObject*) { ++dropped; };
    bool pressedMeanwhile = false;
    Driver.AnswerMenu([&](TMenuItem& items) {
        pressedMeanwhile = (Button->Perform(BM_GETSTATE, 0, 0) & BST_PUSHED) && Button->DroppingDown();
        return items.Items(0);
    });
    Driver.Click(*Button);
    EXPECT_TRUE(pressedMeanwhile);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(menu->PopupPoint(), Button->ClientToScreen(Point(4, 25)));
    EXPECT_EQ(Clicks.size(), 1u);
    EXPECT_FALSE(Button->DroppingDown());
    EXPECT_EQ(Button->Perform(BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    EXPECT_EQ(Button->FaceState(), 0);

    Button->DropDownRight = true;
    Driver.AnswerMenu([](TMenuItem&) { return nullptr; });
    Driver.Click(*Button);
    EXPECT_EQ(menu->PopupPoint(), Button->ClientToScreen(Point(75, 4)));
    menu->Free();
    EXPECT_EQ(Button->DropDownMenu(), nullptr);
}

TEST_F(KitButtonTest, FacesFollowStyleAndMouse) {
    Button->SetExtStyle(ubsWin40);
    const uint32_t upCorner = Driver.PixelAt(*Button, 0, 0);
    Driver.MouseMove(*Button, 10, 10);
    Driver.MouseDown(*Button, 10, 10);
    EXPECT_EQ(Button->FaceState(), 4);
    EXPECT_EQ(Driver.PixelAt(*Button, 0, 0), 0u);  // pressed: black frame
    EXPECT_EQ(Driver.PixelAt(*Button, 1, 1), static_cast<uint32_t>(clGray));
    Driver.Grab(*Form, ::testing::TempDir() + "kit_button_down.png");
    Driver.MouseUp(*Button, 10, 10);
    EXPECT_EQ(Driver.PixelAt(*Button, 0, 0), upCorner);

    std::vector<uint32_t> win40, xp;
    for (auto [style, into] : {std::pair{ubsWin40, &win40}, std::pair{ubsWinXP, &xp}}) {
        Button->SetExtStyle(style);
        for (int y = 0; y < 25; y += 3)
            for (int x = 0; x < 75; x += 3) into->push_back(Driver.PixelAt(*Button, x, y));
    }
    EXPECT_EQ(win40, xp);
    Button->SetEnabled(false);
    Button->Repaint();
    Driver.PixelAt(*Button, 0, 0);
    EXPECT_EQ(Button->FaceState(), 1);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_button_disabled.png");
}

// A list with one image per list index: list L holds a square of colour L.
class TColourList : public TKitCustomImageList {
public:
    explicit TColourList(TComponent* AOwner) : TKitCustomImageList(AOwner, lkBitmapList) {}
    std::vector<TColor> Colours{clRed, clBlue};
    bool HasImage(int L, int I) const override {
        return I == 0 && L >= 0 && L < static_cast<int>(Colours.size());
    }
    void GetImage(int L, int, TBitmap& Target) override {
        Target.SetPixelFormat(pf24bit);
        FillBitmapColor(&Target, TRect{0, 0, 16, 16}, clOlive);
        Target.Canvas().Brush.Color = Colours[static_cast<size_t>(L)];
        Target.Canvas().FillRect(TRect{2, 2, 14, 14});
    }
};

TEST_F(KitButtonTest, ImagesComeFromTheListAndFollowIt) {
    auto* list = NewComponent<TColourList>(Form);
    Button->SetImageList(list);
    EXPECT_EQ(Button->Glyph().Canvas().Pixel(8, 8), clRed);
    Button->SetListIndex(1);
    EXPECT_EQ(Button->Glyph().Canvas().Pixel(8, 8), clBlue);
    list->Colours[1] = clLime;
    list->Change();
    EXPECT_EQ(Button->Glyph().Canvas().Pixel(8, 8), clLime);
    Button->SetListIndex(5);
    EXPECT_TRUE(Button->Glyph().Empty());
    Button->SetListIndex(-1);  // ignored
    EXPECT_EQ(Button->ListIndex(), 5);
    Button->SetListIndex(0);
    TBitmap own;
    FillBitmapColor(&own, TRect{0, 0, 16, 16}, clYellow);
    Button->SetGlyph(&own);  // a glyph of its own drops the list
    EXPECT_EQ(Button->ImageList(), nullptr);
    Button->SetImageList(list);
    list->Free();
    EXPECT_EQ(Button->ImageList(), nullptr);
    EXPECT_TRUE(Button->Glyph().Empty());
}

}  // namespace
}  // namespace kit
