// The keyboard state as a whole, as test input leaves it, and carets drawn from a bitmap.

#include <gtest/gtest.h>

#include <array>

#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace framework {
namespace {

class KeyStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(300, 200);
        Box = NewComponent<TLogControl>(Form);
        Box->SetParent(Form);
        Box->SetBounds(10, 10, 120, 80);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
    }
    static std::array<uint8_t, 256> Keyboard() {
        std::array<uint8_t, 256> k{};
        EXPECT_TRUE(GetKeyboardState(k.data()));
        return k;
    }
    TFormDriver Driver;
    TForm* Form = nullptr;
    TLogControl* Box = nullptr;
};

TEST_F(KeyStateTest, MouseButtonsHeldByTheDriverShowInBothKeyStates) {
    struct Case {
        TMouseButton Button;
        int VirtKey;
    };
    for (Case c : {Case{TMouseButton::mbLeft, VK_LBUTTON}, Case{TMouseButton::mbRight, VK_RBUTTON},
                   Case{TMouseButton::mbMiddle, VK_MBUTTON}}) {
        SCOPED_TRACE(c.VirtKey);
        EXPECT_GE(GetAsyncKeyState(c.VirtKey), 0);
        Driver.MouseDown(*Box, 5, 5, c.Button);
        EXPECT_LT(GetAsyncKeyState(c.VirtKey), 0);
        EXPECT_TRUE(Keyboard()[c.VirtKey] & 0x80);
        Driver.MouseUp(*Box, 5, 5, c.Button);
        EXPECT_GE(GetAsyncKeyState(c.VirtKey), 0);
        EXPECT_FALSE(Keyboard()[c.VirtKey] & 0x80);
    }
}

TEST_F(KeyStateTest, ButtonHeldOverADisabledWindowIsStillDown) {
    Box->SetEnabled(false);
    Driver.RunPending();
    Driver.MouseDown(*Box, 5, 5);
    EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
    Driver.MouseUp(*Box, 5, 5);
    EXPECT_GE(GetAsyncKeyState(VK_LBUTTON), 0);
}

TEST_F(KeyStateTest, KeyboardStateHasTheDownBitAndTheToggleBit) {
    Driver.KeyDown(VK_SHIFT, ssShift);
    auto k = Keyboard();
    EXPECT_EQ(k[VK_SHIFT] & 0x80, 0x80);
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    Driver.KeyUp(VK_SHIFT);
    EXPECT_EQ(Keyboard()[VK_SHIFT] & 0x80, 0);

    uint8_t caps = Keyboard()[VK_CAPITAL] & 1;
    Driver.Key(VK_CAPITAL);
    k = Keyboard();
    EXPECT_EQ(k[VK_CAPITAL], caps ^ 1);  // up, toggled
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, caps ^ 1);
    Driver.Key(VK_CAPITAL);
    EXPECT_EQ(Keyboard()[VK_CAPITAL], caps);
    for (uint8_t b : Keyboard()) EXPECT_EQ(b & 0x7E, 0);  // only the two bits are used
    EXPECT_FALSE(GetKeyboardState(nullptr));
}

TEST_F(KeyStateTest, BitmapCaretIsXoredAtTheCaretAndBlinksAtTheBlinkTime) {
    uint32_t savedBlink = GetCaretBlinkTime();
    // 4 x 16: an orange top half and a black bottom half, over the control's white paint.
    TBitmap bitmap;
    bitmap.SetSize(4, 16);
    bitmap.Canvas().Brush.Color = static_cast<TColor>(0x000000);
    bitmap.Canvas().FillRect(Rect(0, 0, 4, 16));
    bitmap.Canvas().Brush.Color = static_cast<TColor>(0x0080FF);  // 0x00BBGGRR
    bitmap.Canvas().FillRect(Rect(0, 0, 4, 8));
    SetCaretBlinkTime(200);
    HWND h = Box->Handle();
    ASSERT_TRUE(CreateCaret(h, bitmap.Handle(), 0, 0));
    SetCaretPos(20, 30);
    ShowCaret(h);
    EXPECT_EQ(GetCaretState().Bounds, Rect(20, 30, 24, 46));  // the bitmap's size
    EXPECT_TRUE(GetCaretState().Bitmap);
    constexpr uint32_t white = 0xFFFFFF, xored = 0xFFFFFF ^ 0x0080FF;
    struct Probe {
        int X, Y;
        uint32_t Lit;
    };
    const Probe probes[] = {{20, 30, xored}, {23, 37, xored}, {20, 38, white}, {23, 45, white},
                            {19, 30, white}, {24, 30, white}, {20, 46, white}};
    auto expectLit = [&](bool lit) {
        EXPECT_EQ(GetCaretState().Lit, lit);
        for (const Probe& p : probes) {
            SCOPED_TRACE(testing::Message() << p.X << "," << p.Y << (lit ? " lit" : " dark"));
            EXPECT_EQ(Driver.ShownPixelAt(*Box, p.X, p.Y), lit ? p.Lit : white);
            EXPECT_EQ(Driver.PixelAt(*Box, p.X, p.Y), white);  // the window's own paint is untouched
        }
    };
    expectLit(true);
    Driver.Advance(190);
    expectLit(true);
    Driver.Advance(10);
    expectLit(false);
    Driver.Advance(200);
    expectLit(true);
    // Moving the caret shows it at once and starts the blink over.
    Driver.Advance(200);
    expectLit(false);
    SetCaretPos(20, 30);
    expectLit(true);
    Driver.Advance(199);
    expectLit(true);
    // A steady caret does not blink.
    SetCaretBlinkTime(0xFFFFFFFF);
    Driver.Advance(1000, 100);
    expectLit(true);
    HideCaret(h);
    expectLit(false);
    DestroyCaret();
    SetCaretBlinkTime(savedBlink);
}

TEST_F(KeyStateTest, BitmapCaretOutlivesItsBitmapAndGoesWithItsWindow) {
    HWND h = Box->Handle();
    {
        TBitmap bitmap;
        bitmap.SetSize(4, 16);
        bitmap.Canvas().Brush.Color = static_cast<TColor>(0x0080FF);
        bitmap.Canvas().FillRect(Rect(0, 0, 4, 16));
        ASSERT_TRUE(CreateCaret(h, bitmap.Handle(), 0, 0));
    }
    SetCaretPos(20, 30);
    ShowCaret(h);
    EXPECT_EQ(Driver.ShownPixelAt(*Box, 21, 31), 0xFFFFFFu ^ 0x0080FFu);
    Box->Free();
    Box = nullptr;
    Driver.RunPending();
    EXPECT_EQ(GetCaretState().Owner, 0u);
    EXPECT_FALSE(GetCaretState().Lit);
    Driver.Advance(2000, 100);  // no blink timer left behind
}

}  // namespace
}  // namespace framework
