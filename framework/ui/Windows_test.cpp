#include "framework/ui/Windows.h"

#include <gtest/gtest.h>

#include "framework/ui/Clipbrd.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/WindowsImpl.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace framework {
namespace {

// A form with one logging control that has the focus.
class WindowsTest : public ::testing::Test {
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
    TFormDriver Driver;
    TForm* Form = nullptr;
    TLogControl* Box = nullptr;
};

TEST_F(WindowsTest, TypedCharacterGivesKeyDownThenCharWithTheCodePageByte) {
    ASSERT_EQ(GetFocus(), Box->Handle());
    Box->Log.clear();
    Driver.Type("\xE9");  // e acute, as typed on a keyboard that has it
    auto keys = Box->Only({WM_KEYDOWN, WM_CHAR, WM_KEYUP});
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].Msg, WM_KEYDOWN);
    EXPECT_EQ(keys[1].Msg, WM_CHAR);
    EXPECT_EQ(keys[1].WParam, 0xE9u);
    EXPECT_EQ(keys[2].Msg, WM_KEYUP);
    EXPECT_EQ(static_cast<uint32_t>(keys[2].LParam) >> 30, 3u);  // previous state down, transition up
}

TEST_F(WindowsTest, KeyDataAndShiftStateAsOfTheMessage) {
    struct Case {
        std::string Text;
        int Vk;
        uint8_t Char;
        bool Shift;
    };
    for (const Case& c :
         {Case{"a", 'A', 'a', false}, Case{"A", 'A', 'A', true}, Case{"7", '7', '7', false}}) {
        Box->Log.clear();
        Driver.Type(c.Text);
        auto keys = Box->Only({WM_KEYDOWN, WM_CHAR});
        ASSERT_EQ(keys.size(), 2u) << c.Text;
        EXPECT_EQ(keys[0].WParam, static_cast<WPARAM>(c.Vk));
        uint32_t data = static_cast<uint32_t>(keys[0].LParam);
        EXPECT_EQ(data & 0xFFFF, 1u);        // repeat count
        EXPECT_NE((data >> 16) & 0xFF, 0u);  // scan code
        EXPECT_EQ(data >> 29, 0u);           // no Alt, first press, going down
        EXPECT_EQ(keys[1].WParam, c.Char);
        EXPECT_EQ(keys[0].ShiftDown, c.Shift) << c.Text;
        EXPECT_EQ(keys[1].ShiftDown, c.Shift) << c.Text;  // still as of the key, when WM_CHAR is handled
    }
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(WindowsTest, QueuedCharacterSeesTheKeyStateOfItsKeyNotTheLaterOne) {
    HWND h = Box->Handle();
    Box->Log.clear();
    // Shift+A pressed, then Shift let go before the character is taken from the queue.
    KeyInput(h, true, 'A', 0x1E, false, false, 1, u"A");
    KeyInput(h, false, VK_SHIFT, 0x2A, false, false, 0, u"");
    EXPECT_GE(GetAsyncKeyState(VK_SHIFT), 0);
    Driver.RunPending();
    auto m = Box->Only({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].Msg, WM_KEYDOWN);
    EXPECT_TRUE(m[0].ShiftDown);
    EXPECT_EQ(m[1].Msg, WM_KEYUP);
    EXPECT_FALSE(m[1].ShiftDown);
    EXPECT_EQ(m[2].Msg, WM_CHAR);
    EXPECT_EQ(m[2].WParam, static_cast<WPARAM>('A'));
    EXPECT_TRUE(m[2].ShiftDown);
}

TEST_F(WindowsTest, ScrollWindowWithoutRectangleMovesTheChildWindows) {
    Form->ScrollBy(5, -4);
    EXPECT_EQ(Box->BoundsRect(), Rect(15, 6, 135, 86));
}

TEST_F(WindowsTest, ControlKeysAltKeysAndExtendedKeys) {
    Box->Log.clear();
    Driver.Key('C', ssCtrl);
    Driver.Key('X', ssAlt);
    Driver.Key(VK_LEFT);
    auto m = Box->Only({WM_KEYDOWN, WM_CHAR, WM_SYSKEYDOWN, WM_SYSCHAR});
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].Msg, WM_KEYDOWN);
    EXPECT_EQ(m[1].Msg, WM_CHAR);
    EXPECT_EQ(m[1].WParam, 3u);  // Ctrl+C is the control character 3
    EXPECT_EQ(m[2].Msg, WM_SYSKEYDOWN);
    EXPECT_EQ(m[2].WParam, static_cast<WPARAM>('X'));
    EXPECT_EQ(m[3].Msg, WM_SYSCHAR);
    EXPECT_EQ(m[4].Msg, WM_KEYDOWN);
    EXPECT_EQ(m[4].WParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_TRUE(static_cast<uint32_t>(m[4].LParam) & (1u << 24));  // an extended key
}

TEST_F(WindowsTest, CharIsQueuedBeforeMessagesPostedWhileHandlingTheKey) {
    std::vector<UINT> order;
    Box->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) {
        PostMessage(Box->Handle(), WM_USER + 1, 0, 0);
        order.push_back(WM_KEYDOWN);
    };
    Box->OnKeyPress = [&](TObject*, char&) { order.push_back(WM_CHAR); };
    auto old = Box->WindowProc;
    Box->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_USER + 1) order.push_back(m.Msg);
        old(m);
    };
    Driver.Type("q");
    EXPECT_EQ(order, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_USER + 1}));
    Box->WindowProc = old;
}

TEST_F(WindowsTest, KeyHandlerCanSwallowTheKey) {
    Box->OnKeyPress = [](TObject*, char& Key) {
        if (Key == 'x') Key = 0;
    };
    int presses = 0;
    Form->KeyPreview = true;
    Form->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) {
        ++presses;
        if (Key == VK_F2) Key = 0;  // the form takes F2 before its control
    };
    Box->Log.clear();
    Driver.Key(VK_F2);
    Driver.Type("x");
    EXPECT_EQ(presses, 2);
    int boxKeyDowns = 0;
    for (auto& m : Box->Log)
        if (m.Msg == WM_KEYDOWN) ++boxKeyDowns;
    EXPECT_EQ(boxKeyDowns, 2);  // the message arrives; the event does the filtering
}

TEST_F(WindowsTest, TwoInvalidationsPaintOnceWithTheirUnion) {
    Driver.RunPending();
    Box->PaintCount = 0;
    Box->Log.clear();
    TRect a = Rect(0, 0, 10, 10), b = Rect(50, 40, 60, 50);
    InvalidateRect(Box->Handle(), &a, false);
    InvalidateRect(Box->Handle(), &b, true);
    TRect pending;
    ASSERT_TRUE(GetUpdateRect(Box->Handle(), &pending, false));
    EXPECT_EQ(pending, Rect(0, 0, 60, 50));
    EXPECT_EQ(Box->PaintCount, 0);  // nothing before the pump
    Driver.RunPending();
    EXPECT_EQ(Box->PaintCount, 1);
    auto paints = Box->Only({WM_PAINT, WM_ERASEBKGND});
    ASSERT_EQ(paints.size(), 2u);
    EXPECT_EQ(paints[0].Msg, WM_PAINT);
    EXPECT_EQ(paints[1].Msg, WM_ERASEBKGND);  // erasing was asked by one of them
    EXPECT_FALSE(GetUpdateRect(Box->Handle(), nullptr, false));
}

TEST_F(WindowsTest, ValidateRemovesTheAreaFromThePendingRepaint) {
    Driver.RunPending();
    struct Case {
        TRect Invalid;
        TRect Valid;
        int Paints;
        TRect Left;
    };
    for (const Case& c : {Case{Rect(0, 0, 50, 50), Rect(0, 0, 50, 50), 0, TRect{}},
                          Case{Rect(0, 0, 50, 50), Rect(0, 0, 50, 25), 1, Rect(0, 25, 50, 50)},
                          Case{Rect(0, 0, 50, 50), Rect(100, 0, 110, 10), 1, Rect(0, 0, 50, 50)}}) {
        Box->PaintCount = 0;
        InvalidateRect(Box->Handle(), &c.Invalid, false);
        ValidateRect(Box->Handle(), &c.Valid);
        TRect left;
        GetUpdateRect(Box->Handle(), &left, false);
        EXPECT_EQ(left, c.Left);
        Driver.RunPending();
        EXPECT_EQ(Box->PaintCount, c.Paints);
    }
}

TEST_F(WindowsTest, UpdateWindowPaintsAtOnceAndRedrawOffIgnoresInvalidation) {
    Driver.RunPending();
    Box->PaintCount = 0;
    Box->Invalidate();
    Box->Update();
    EXPECT_EQ(Box->PaintCount, 1);

    SendMessage(Box->Handle(), WM_SETREDRAW, 0, 0);
    Box->Invalidate();
    Driver.RunPending();
    EXPECT_EQ(Box->PaintCount, 1);
    SendMessage(Box->Handle(), WM_SETREDRAW, 1, 0);
    Driver.RunPending();
    EXPECT_EQ(Box->PaintCount, 1);  // turning redraw on repaints nothing by itself
    Box->Invalidate();
    Driver.RunPending();
    EXPECT_EQ(Box->PaintCount, 2);
}

TEST_F(WindowsTest, ScrollWindowMovesPixelsAndInvalidatesTheUncoveredStripInsideTheClip) {
    Box->PaintColor = clWhite;
    Driver.RunPending();
    HWND h = Box->Handle();
    // Paint a blue row at y 30 straight into the window.
    HDC dc = GetDC(h);
    TCanvas c;
    c.SetHandle(dc);
    c.Brush.Color = clBlue;
    c.FillRect(Rect(0, 30, 120, 31));
    c.SetHandle(0);
    ReleaseDC(h, dc);
    // Scroll the band 20..80 up by 10, clipped to that band.
    TRect band = Rect(0, 20, 120, 80);
    Box->PaintCount = 0;
    ScrollWindow(h, 0, -10, &band, &band);
    TRect pending;
    ASSERT_TRUE(GetUpdateRect(h, &pending, false));
    EXPECT_EQ(pending, Rect(0, 70, 120, 80));
    ValidateRect(h, nullptr);                           // keep the moved pixels for the check
    EXPECT_EQ(Driver.PixelAt(*Box, 5, 20), 0xFF0000u);  // the blue row moved from 30 to 20
    EXPECT_NE(Driver.PixelAt(*Box, 5, 30), 0xFF0000u);
}

TEST_F(WindowsTest, PostedMessagesArriveFirstInFirstOutAndDieWithTheirWindow) {
    std::vector<WPARAM> got;
    HWND w = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER) got.push_back(m.WParam);
        m.Result = 7;
    });
    for (WPARAM i = 1; i <= 5; ++i) ASSERT_TRUE(PostMessage(w, WM_USER, i, 0));
    EXPECT_TRUE(got.empty());  // posting never delivers at once
    Driver.RunPending();
    EXPECT_EQ(got, (std::vector<WPARAM>{1, 2, 3, 4, 5}));
    EXPECT_EQ(SendMessage(w, WM_USER + 9, 0, 0), 7);

    // A control destroyed with a message waiting: the message is dropped.
    auto* doomed = NewComponent<TLogControl>(Form);
    doomed->SetParent(Form);
    HWND dh = doomed->Handle();
    ASSERT_TRUE(PostMessage(dh, WM_USER, 1, 0));
    ASSERT_TRUE(PostMessage(w, WM_USER, 6, 0));
    doomed->Free();
    Driver.RunPending();
    EXPECT_EQ(got.back(), 6u);
    EXPECT_FALSE(IsWindow(dh));
    EXPECT_EQ(SendMessage(dh, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessage(dh, WM_USER, 0, 0));
    DeallocateHWnd(w);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(WindowsTest, WindowProcedureCanBeSubclassedAndRestored) {
    HWND h = Box->Handle();
    std::vector<UINT> seen;
    TWndMethod old = SetWindowProc(h, nullptr);
    SetWindowProc(h, [&, old](TMessage& m) {
        seen.push_back(m.Msg);
        if (m.Msg == WM_USER + 5) {
            m.Result = 42;
            return;
        }
        m.Result = CallWindowProc(old, h, m.Msg, m.WParam, m.LParam);
    });
    EXPECT_EQ(SendMessage(h, WM_USER + 5, 0, 0), 42);
    EXPECT_EQ(SendMessage(h, WM_GETDLGCODE, 0, 0), Box->DlgCode);  // passed on to the control
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 5, WM_GETDLGCODE}));
    SetWindowProc(h, old);
    EXPECT_EQ(SendMessage(h, WM_USER + 5, 0, 0), 0);
}

TEST_F(WindowsTest, WindowlessControlGetsMouseEnterLeaveAndCaptureKeepsTheMouse) {
    auto* g = NewComponent<TTestGraphic>(Form);
    g->SetParent(Form);
    g->SetBounds(150, 20, 40, 20);
    Driver.RunPending();
    EXPECT_GE(g->PaintCount, 1);  // painted by its parent

    g->SetCursor(crHandPoint);
    Driver.MouseMove(*Form, 5, 150);
    Driver.MouseMove(*g, 5, 5);
    EXPECT_EQ(Driver.CursorShown(*Form), crHandPoint);  // the pointer over it shows its cursor
    Driver.MouseMove(*g, 6, 6);
    Driver.MouseMove(*Form, 250, 150);
    EXPECT_EQ(Driver.CursorShown(*Form), crDefault);
    auto el = g->Only({CM_MOUSEENTER, CM_MOUSELEAVE});
    ASSERT_EQ(el.size(), 2u);
    EXPECT_EQ(el[0].Msg, CM_MOUSEENTER);
    EXPECT_EQ(el[1].Msg, CM_MOUSELEAVE);
    EXPECT_EQ(g->Only({WM_MOUSEMOVE}).size(), 2u);

    // Button down on it takes the capture: moves outside still come to it, in its coordinates.
    g->Log.clear();
    Driver.MouseDown(*g, 5, 5);
    EXPECT_EQ(GetCaptureControl(), g);
    Driver.MouseMove(*Form, 10, 150);
    Driver.MouseMove(*Box, 3, 3);  // another window altogether
    Driver.MouseUp(*Form, 10, 150);
    EXPECT_EQ(GetCaptureControl(), nullptr);
    auto moves = g->Only({WM_MOUSEMOVE, WM_LBUTTONUP});
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(GetXLParam(moves[0].LParam), 10 - 150);
    EXPECT_EQ(GetYLParam(moves[0].LParam), 150 - 20);
    EXPECT_EQ(GetXLParam(moves[1].LParam), 10 + 3 - 150);
    EXPECT_EQ(moves[1].WParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(moves[2].Msg, WM_LBUTTONUP);
    int clicks = 0;
    g->OnClick = [&](TObject*) { ++clicks; };
    Driver.Click(*g);
    EXPECT_EQ(clicks, 1);  // released inside: a click; the release outside above was none
}

TEST_F(WindowsTest, TimerOfOneHundredMillisecondsFiresTenTimesInOneSecond) {
    auto* t = NewComponent<TTimer>(Form);
    int fired = 0;
    t->SetInterval(100);
    t->SetOnTimer([&](TObject*) { ++fired; });
    Driver.Advance(1000, 10);
    EXPECT_EQ(fired, 10);
    t->SetEnabled(false);
    Driver.Advance(500, 10);
    EXPECT_EQ(fired, 10);

    // Ticks missed while the program was busy come as one, as WM_TIMER does.
    t->SetEnabled(true);
    Driver.Advance(1000);
    EXPECT_EQ(fired, 11);
}

TEST_F(WindowsTest, WindowTimersAndKillTimer) {
    HWND h = Box->Handle();
    SetTimer(h, 7, 55);
    Driver.Advance(220, 5);
    KillTimer(h, 7);
    Driver.Advance(200, 5);
    auto ticks = Box->Only({WM_TIMER});
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[0].WParam, 7u);
    int calls = 0;
    uintptr_t id = SetTimer(0, 0, 50, [&](HWND, UINT Msg, uintptr_t, uint32_t) { calls += Msg == WM_TIMER; });
    Driver.Advance(100, 10);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(KillTimer(0, id));
}

TEST_F(WindowsTest, CaretShowAndHideAreCounted) {
    HWND h = Box->Handle();
    uint32_t blink = GetCaretBlinkTime();
    ASSERT_TRUE(CreateCaret(h, 0, 2, 16));
    EXPECT_FALSE(GetCaretState().Visible);  // a new caret is hidden
    ShowCaret(h);
    EXPECT_TRUE(GetCaretState().Visible);
    HideCaret(h);
    HideCaret(h);
    ShowCaret(h);
    EXPECT_FALSE(GetCaretState().Visible);
    ShowCaret(h);
    EXPECT_TRUE(GetCaretState().Visible);
    SetCaretPos(30, 4);
    EXPECT_EQ(GetCaretState().Bounds, Rect(30, 4, 32, 20));
    SetCaretBlinkTime(300);
    EXPECT_EQ(GetCaretBlinkTime(), 300u);
    // One caret per application: creating another replaces it.
    ASSERT_TRUE(CreateCaret(Form->Handle(), GrayCaret, 8, 8));
    EXPECT_EQ(GetCaretState().Owner, Form->Handle());
    EXPECT_TRUE(GetCaretState().Gray);
    DestroyCaret();
    EXPECT_EQ(GetCaretState().Owner, 0u);
    SetCaretBlinkTime(blink);
}

TEST_F(WindowsTest, ScrollBarsKeepTheirRangeAndSendScrollCodes) {
    HWND h = Box->Handle();
    TRect before;
    GetClientRect(h, &before);
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 95;
    EXPECT_EQ(SetScrollInfo(h, SB_VERT, si, true), 90);  // the last whole page starts at 90
    TRect after;
    GetClientRect(h, &after);
    EXPECT_EQ(after.Width(), before.Width() - GetSystemMetrics(SM_CXVSCROLL));
    auto sizes = Box->Only({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(LoWord(static_cast<uintptr_t>(sizes.back().LParam)),
              after.Width());  // told of the smaller client
    EXPECT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);

    Box->Log.clear();
    Driver.ScrollBar(*Box, SB_VERT, SB_LINEDOWN);
    Driver.ScrollBar(*Box, SB_VERT, SB_PAGEUP);
    auto m = Box->Only({WM_VSCROLL});
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(LoWord(m[0].WParam), SB_LINEDOWN);
    EXPECT_EQ(LoWord(m[1].WParam), SB_ENDSCROLL);
    EXPECT_EQ(LoWord(m[2].WParam), SB_PAGEUP);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 90);  // the bar moves only when the window says so
    SetScrollPos(h, SB_VERT, 3, true);
    TScrollInfo back;
    back.fMask = SIF_ALL;
    GetScrollInfo(h, SB_VERT, back);
    EXPECT_EQ(back.nPos, 3);
    EXPECT_EQ(back.nMax, 99);
    EXPECT_EQ(back.nPage, 10u);
}

TEST_F(WindowsTest, HandleIsCreatedWhenNeededAndRecreatedOnDemand) {
    auto* c = NewComponent<TLogControl>(nullptr);
    EXPECT_FALSE(c->HandleAllocated());
    c->SetParent(Form);  // the parent has a window: the child gets one
    EXPECT_TRUE(c->HandleAllocated());
    HWND first = c->Handle();
    EXPECT_EQ(FindControl(first), c);
    c->SetFocus();
    c->RecreateWnd();
    EXPECT_NE(c->Handle(), first);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(FindControl(c->Handle()), c);
    EXPECT_EQ(GetFocus(), c->Handle());  // the focus follows the new window
    c->Free();
}

TEST_F(WindowsTest, NotificationsForPropertyChanges) {
    Box->Log.clear();
    Box->SetEnabled(false);
    Box->SetVisible(false);
    Box->SetColor(clRed);
    Box->SetText("x");
    TFont f;
    f.SetSize(12);
    Box->SetFont(f);
    std::vector<UINT> got;
    for (auto& m : Box->Log) got.push_back(m.Msg);
    for (UINT msg : {CM_ENABLEDCHANGED, CM_VISIBLECHANGED, CM_COLORCHANGED, CM_TEXTCHANGED, CM_FONTCHANGED})
        EXPECT_NE(std::find(got.begin(), got.end(), msg), got.end()) << std::hex << msg;
    EXPECT_FALSE(IsWindowEnabled(Box->Handle()));
    EXPECT_FALSE(IsWindowVisible(Box->Handle()));
    // A child with ParentFont follows the form's font.
    auto* child = NewComponent<TLogControl>(Form);
    child->SetParent(Form);
    TFont big;
    big.SetSize(14);
    Form->SetFont(big);
    EXPECT_EQ(child->Font().Size(), 14);
    EXPECT_NE(Box->Font().Size(), 14);  // its font was set: ParentFont went off
    auto* late = NewComponent<TLogControl>(Form);
    late->SetParent(Form);  // placed on a form whose font is already set
    EXPECT_EQ(late->Font().Size(), 14);
    EXPECT_TRUE(late->ParentFont());
}

TEST_F(WindowsTest, AlignAndAnchorsFollowTheParentSize) {
    auto* top = NewComponent<TLogControl>(Form);
    top->SetParent(Form);
    top->SetHeight(30);
    top->SetAlign(alTop);
    auto* client = NewComponent<TLogControl>(Form);
    client->SetParent(Form);
    client->SetAlign(alClient);
    Box->SetAnchors(akRight | akBottom);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 30));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 30, 300, 200));
    Form->SetClientSize(400, 250);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 400, 30));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 30, 400, 250));
    EXPECT_EQ(Box->BoundsRect(), Rect(110, 60, 230, 140));
}

TEST_F(WindowsTest, SystemMetricsColoursAndCursor) {
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 19);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), Screen->Width());
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), 0xC8D0D4u);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0xFFFFFFu);
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xC8D0D4u);
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(WindowsTest, ClipboardTextRoundTripsInTheCodePage) {
    Clipboard()->SetAsText("Caf\xE9 \x80 5");
    EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->AsText(), "Caf\xE9 \x80 5");
    EXPECT_EQ(Utf16ToAnsi(u"\u4E2D"), "?");  // what the code page cannot hold
}

TEST_F(WindowsTest, FormGrabShowsItsControls) {
    Form->SetColor(clBtnFace);
    Box->PaintColor = clYellow;
    Box->SetText("Korvane");
    auto* g = NewComponent<TTestGraphic>(Form);
    g->SetParent(Form);
    g->SetBounds(150, 20, 40, 20);
    std::string path = std::string(KORVANE_BUILD_DIR) + "/form-grab.png";
    ASSERT_TRUE(Driver.Grab(*Form, path));
    EXPECT_EQ(Driver.PixelAt(*Box, 60, 60), 0x00FFFFu);     // the control's own paint
    EXPECT_EQ(Driver.PixelAt(*Form, 160, 30), 0x0000FFu);   // the windowless control, on the form
    EXPECT_EQ(Driver.PixelAt(*Form, 250, 150), 0xC8D0D4u);  // the form's background
}

}  // namespace
}  // namespace framework
