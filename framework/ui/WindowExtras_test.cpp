// Resources, cursors, monitors and placement, the pointer, queue inspection, window shapes, caption
// drags, the 3-D look, control canvases and the small calls of the window layer.
#include <gtest/gtest.h>

#include <climits>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace framework {
namespace {

class WindowExtrasTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TLogControl* Box = NewComponent<TLogControl>(Form);

    void SetUp() override {
        Form->SetBounds(100, 80, 300, 200);
        Box->SetParent(Form);
        Box->SetBounds(20, 30, 100, 60);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        SetMonitors({});
        Form->Free();
        Driver.RunPending();
    }
    static TMonitorInfo Monitor(TRect Whole, TRect Work) {
        TMonitorInfo m;
        m.rcMonitor = Whole;
        m.rcWork = Work;
        return m;
    }
};

TEST_F(WindowExtrasTest, RegisteredBitmapsAndDataLoadByNameAndNumber) {
    RegisterBitmapResource("CTLTESTGLYPH", [](TBitmap& b) {
        b.SetSize(8, 6);
        b.Canvas().Brush.Color = clRed;
        b.Canvas().FillRect(Rect(0, 0, 8, 6));
    });
    RegisterBitmapResource(4242, [](TBitmap& b) { b.SetSize(3, 2); });

    TBitmap byName;
    EXPECT_TRUE(LoadBitmapResource(byName, "ctlTestGlyph"));  // names ignore case
    EXPECT_EQ(byName.Width(), 8);
    EXPECT_EQ(byName.Height(), 6);
    EXPECT_EQ(byName.Canvas().Pixel(4, 3), clRed);
    TBitmap byNumber;
    EXPECT_TRUE(LoadBitmapResource(byNumber, 4242));
    EXPECT_EQ(byNumber.Width(), 3);

    // Unknown: an empty bitmap (what it held before is gone), no handle; never a crash.
    EXPECT_FALSE(LoadBitmapResource(byName, "NOSUCHGLYPH"));
    EXPECT_TRUE(byName.Empty());
    EXPECT_EQ(LoadBitmap(HInstance, "NOSUCHGLYPH"), 0u);
    EXPECT_EQ(LoadBitmap(HInstance, 4243), 0u);
    HBITMAP h = LoadBitmap(HInstance, "CTLTESTGLYPH");
    EXPECT_NE(h, 0u);
    EXPECT_TRUE(DeleteObject(h));
    // A program resource is not a system one, and the system check-box image is not the program's.
    EXPECT_EQ(LoadBitmap(0, "CTLTESTGLYPH"), 0u);
    EXPECT_EQ(LoadBitmap(HInstance, OBM_CHECKBOXES), 0u);

    // The system's check boxes: 4 × 3 cells whose size is the check-box size.
    TBitmap checks;
    ASSERT_TRUE(LoadBitmapResource(checks, OBM_CHECKBOXES, 0));
    EXPECT_EQ(checks.Width() / 4, 13);
    EXPECT_EQ(checks.Height() / 3, 13);
    EXPECT_NE(checks.Canvas().Pixel(13 + 6, 7), checks.Canvas().Pixel(6, 7));  // checked differs from clear

    RegisterDataResource("STR0", RT_RCDATA, {1, 2, 3, 4, 5});
    HRSRC r = FindResource(HInstance, "str0", RT_RCDATA);
    ASSERT_NE(r, 0u);
    EXPECT_EQ(SizeofResource(HInstance, r), 5u);
    auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(HInstance, r)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[4], 5);
    EXPECT_EQ(FindResource(HInstance, "STR0", RT_BITMAP), 0u);
    EXPECT_EQ(FindResource(HInstance, "STR1", RT_RCDATA), 0u);
    EXPECT_EQ(LockResource(0), nullptr);
}

TEST_F(WindowExtrasTest, ACustomCursorShowsOnTheControlsThatUseIt) {
    RegisterCursorResource(
        "CTLTESTHAND",
        [](TBitmap& b) {
            b.SetSize(16, 16);
            b.Canvas().Brush.Color = clFuchsia;
            b.Canvas().FillRect(Rect(0, 0, 16, 16));
            b.Canvas().Brush.Color = clBlack;
            b.Canvas().FillRect(Rect(4, 4, 12, 12));
        },
        TPoint{8, 8});
    HCURSOR hand = LoadCursor(HInstance, "CtlTestHand");
    ASSERT_NE(hand, 0u);
    EXPECT_EQ(LoadCursor(HInstance, "CTLTESTHAND"), hand);  // loaded once
    EXPECT_EQ(LoadCursor(HInstance, "NOSUCHCURSOR"), 0u);

    constexpr TCursor crTestHand = 5;
    Screen->SetCursors(crTestHand, hand);
    EXPECT_EQ(Screen->Cursors(crTestHand), hand);
    Box->SetCursor(crTestHand);
    Driver.MouseMove(*Box, 10, 10);
    EXPECT_EQ(Driver.CursorShown(*Box), crTestHand);
    Box->SetCursor(crIBeam);
    EXPECT_EQ(Driver.CursorShown(*Box), crIBeam);

    // A windowless control with the cursor: the pointer over it shows it on its parent's window.
    auto* g = NewComponent<TTestGraphic>(Form);
    g->SetParent(Form);
    g->SetBounds(150, 30, 40, 40);
    g->SetCursor(crTestHand);
    Driver.MouseMove(*g, 5, 5);
    EXPECT_EQ(Driver.CursorShown(*Form), crTestHand);
    Driver.MouseMove(*Form, 5, 5);
    EXPECT_EQ(Driver.CursorShown(*Form), crDefault);
    Screen->SetCursors(crTestHand, 0);
}

TEST_F(WindowExtrasTest, PlacementRoundTripsThroughTheTwoCalls) {
    EXPECT_EQ(Form->PixelsPerInch, 96);
    TWindowPlacement p;
    ASSERT_TRUE(GetWindowPlacement(Form->Handle(), &p));
    EXPECT_EQ(p.showCmd, static_cast<uint32_t>(SW_SHOWNORMAL));
    EXPECT_EQ(p.rcNormalPosition, Bounds(100, 80, 300, 200));

    struct TCase {
        int ShowCmd;
        TWindowState State;
    };
    for (TCase c : {TCase{SW_SHOWMAXIMIZED, wsMaximized}, TCase{SW_SHOWMINIMIZED, wsMinimized},
                    TCase{SW_SHOWNORMAL, wsNormal}}) {
        SCOPED_TRACE(c.ShowCmd);
        TWindowPlacement set;
        set.showCmd = static_cast<uint32_t>(c.ShowCmd);
        set.rcNormalPosition = Bounds(60, 50, 320, 240);
        set.ptMaxPosition = TPoint{0, 0};
        ASSERT_TRUE(SetWindowPlacement(Form->Handle(), &set));
        Driver.RunPending();
        EXPECT_EQ(Form->WindowState(), c.State);
        TWindowPlacement got;
        ASSERT_TRUE(GetWindowPlacement(Form->Handle(), &got));
        EXPECT_EQ(got.showCmd, static_cast<uint32_t>(c.ShowCmd));
        EXPECT_EQ(got.rcNormalPosition, set.rcNormalPosition);
        EXPECT_EQ(got.ptMaxPosition, set.ptMaxPosition);
    }
    EXPECT_EQ(Form->BoundsRect(), Bounds(60, 50, 320, 240));

    // Maximised, then minimised: the restore goes back to maximised.
    Form->SetWindowState(wsMaximized);
    Form->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(Form->WindowState(), wsMinimized);
    ASSERT_TRUE(GetWindowPlacement(Form->Handle(), &p));
    EXPECT_TRUE(p.flags & WPF_RESTORETOMAXIMIZED);
    Form->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(Form->WindowState(), wsMaximized);
    Form->SetWindowState(wsNormal);
    EXPECT_EQ(Form->BoundsRect(), Bounds(60, 50, 320, 240));
    EXPECT_FALSE(GetWindowPlacement(0x7FFFFF, &p));
}

TEST_F(WindowExtrasTest, APlacementOutsideEveryWorkAreaIsMovedInside) {
    SetMonitors({Monitor(Rect(0, 0, 1024, 768), Rect(0, 0, 1024, 728)),
                 Monitor(Rect(1024, 0, 2048, 768), Rect(1024, 40, 2048, 768))});
    EXPECT_EQ(Screen->WorkAreaRect(), Rect(0, 0, 1024, 728));

    struct TCase {
        TRect Asked, Got;
    };
    for (TCase c : {TCase{Bounds(3000, 3000, 300, 200), Bounds(1748, 568, 300, 200)},  // nearest: the second
                    TCase{Bounds(-900, 100, 300, 200), Bounds(0, 100, 300, 200)},      // left of the first
                    TCase{Bounds(-5000, -5000, 1200, 900), Bounds(0, 0, 1024, 728)},   // cut to the area
                    TCase{Bounds(900, 600, 300, 200), Bounds(900, 600, 300, 200)}}) {  // partly inside: kept
        SCOPED_TRACE(c.Asked.Left);
        TWindowPlacement set;
        set.showCmd = SW_SHOWNORMAL;
        set.rcNormalPosition = c.Asked;
        ASSERT_TRUE(SetWindowPlacement(Form->Handle(), &set));
        EXPECT_EQ(Form->BoundsRect(), c.Got);
    }
}

TEST_F(WindowExtrasTest, MonitorsAnswerByPointRectAndWindow) {
    TMonitorInfo only;
    ASSERT_TRUE(GetMonitorInfo(MonitorFromWindow(Form->Handle(), MONITOR_DEFAULTTONEAREST), &only));
    EXPECT_EQ(only.rcMonitor, Bounds(0, 0, Screen->Width(), Screen->Height()));
    EXPECT_EQ(only.dwFlags, MONITORINFOF_PRIMARY);
    EXPECT_EQ(MonitorCount(), 1);

    SetMonitors({Monitor(Rect(0, 0, 1024, 768), Rect(0, 0, 1024, 728)),
                 Monitor(Rect(1024, 0, 2048, 768), Rect(1024, 40, 2048, 768))});
    EXPECT_EQ(MonitorCount(), 2);
    HMONITOR second = MonitorFromPoint(TPoint{1500, 10}, MONITOR_DEFAULTTONULL);
    TMonitorInfo info;
    ASSERT_TRUE(GetMonitorInfo(second, &info));
    EXPECT_EQ(info.rcWork, Rect(1024, 40, 2048, 768));
    EXPECT_EQ(info.dwFlags, 0u);
    EXPECT_EQ(MonitorFromPoint(TPoint{5000, 10}, MONITOR_DEFAULTTONULL), 0u);
    EXPECT_EQ(MonitorFromPoint(TPoint{5000, 10}, MONITOR_DEFAULTTONEAREST), second);
    EXPECT_EQ(MonitorFromPoint(TPoint{5000, 10}, MONITOR_DEFAULTTOPRIMARY),
              MonitorFromPoint(TPoint{0, 0}, MONITOR_DEFAULTTONULL));
    EXPECT_EQ(MonitorFromRect(Rect(1000, 0, 1100, 50), MONITOR_DEFAULTTONULL), second);  // the larger part
    EXPECT_FALSE(GetMonitorInfo(0, &info));
    EXPECT_FALSE(GetMonitorInfo(99, &info));
    Form->SetBounds(1200, 100, 300, 200);
    EXPECT_EQ(MonitorFromWindow(Form->Handle(), MONITOR_DEFAULTTONULL), second);
}

TEST_F(WindowExtrasTest, ACentredFormOpensOnItsDefaultMonitor) {
    SetMonitors({Monitor(Rect(0, 0, 1024, 768), Rect(0, 0, 1024, 728)),
                 Monitor(Rect(1024, 0, 2048, 768), Rect(1024, 40, 2048, 768))});
    Form->SetBounds(1200, 100, 300, 200);
    Screen->SetActiveForm(Form);
    struct TCase {
        TDefaultMonitor Monitor;
        TPoint At;
    };
    for (TCase c : {TCase{dmActiveForm, TPoint{1436, 334}}, TCase{dmPrimary, TPoint{412, 334}}}) {
        SCOPED_TRACE(c.Monitor);
        auto* f = TCustomForm::Create<TForm>(Application);
        f->SetBounds(0, 0, 200, 100);
        f->Position = poScreenCenter;
        f->DefaultMonitor = c.Monitor;
        f->Show();
        Driver.RunPending();
        EXPECT_EQ(f->Left(), c.At.X);
        EXPECT_EQ(f->Top(), c.At.Y);
        f->Free();
        Driver.RunPending();
    }
}

TEST_F(WindowExtrasTest, APopupNearTheBottomEdgeOpensAboveItsOwner) {
    SetMonitors({Monitor(Rect(0, 0, 1024, 768), Rect(0, 0, 1024, 728))});
    // Room below: under the owner.
    EXPECT_EQ(PlacePopup(Rect(100, 300, 220, 321), 150, 120), (TPoint{100, 321}));
    // Near the bottom of the work area (not of the monitor): above it.
    EXPECT_EQ(PlacePopup(Rect(100, 650, 220, 671), 150, 120), (TPoint{100, 530}));
    // At the right edge: moved left to stay inside.
    EXPECT_EQ(PlacePopup(Rect(950, 300, 1020, 321), 150, 120), (TPoint{874, 321}));
}

TEST_F(WindowExtrasTest, TheApplicationWindowMinimisesAndRestoresTheForms) {
    int minimised = 0, restored = 0;
    Application->OnMinimize = [&](TObject*) { ++minimised; };
    Application->OnRestore = [&](TObject*) { ++restored; };
    HWND app = Application->Handle();
    EXPECT_TRUE(IsWindow(app));
    EXPECT_EQ(FindControl(app), nullptr);
    SendMessage(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(Application->Minimized());
    EXPECT_EQ(minimised, 1);
    EXPECT_EQ(Form->WindowState(), wsNormal);  // the form keeps its own state for the restore
    SendMessage(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(minimised, 1);
    SendMessage(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(Application->Minimized());
    EXPECT_EQ(restored, 1);
    Application->OnMinimize = nullptr;
    Application->OnRestore = nullptr;

    // A form that is not the main form minimises itself.
    if (Application->MainForm() != Form) {
        Form->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_EQ(Form->WindowState(), wsMinimized);
        Form->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_EQ(Form->WindowState(), wsNormal);
    }
}

TEST_F(WindowExtrasTest, ThePointerIsWhereTheDriverMovedIt) {
    Driver.MouseMove(*Box, 7, 9);
    TPoint p;
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p, Box->ClientToScreen(TPoint{7, 9}));
    Driver.MouseMove(*Form, 0, 0);
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p, Form->ClientToScreen(TPoint{0, 0}));
    SetCursorPos(3, 4);
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p, (TPoint{3, 4}));
    EXPECT_FALSE(GetCursorPos(nullptr));
}

TEST_F(WindowExtrasTest, PeekMessageRemovesExactlyTheWindowsPendingMouseMessages) {
    auto* other = NewComponent<TLogControl>(Form);
    other->SetParent(Form);
    other->SetBounds(150, 30, 50, 50);
    Driver.RunPending();
    Box->Log.clear();
    other->Log.clear();
    constexpr UINT kMine = WM_USER + 7;
    PostMessage(Box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(1, 1));
    PostMessage(Box->Handle(), kMine, 1, 0);
    PostMessage(other->Handle(), WM_MOUSEMOVE, 0, MakeLParam(2, 2));
    PostMessage(Box->Handle(), WM_MOUSEMOVE, 0, MakeLParam(3, 3));
    PostMessage(Box->Handle(), WM_LBUTTONUP, 0, MakeLParam(3, 3));

    TMsg m;
    ASSERT_TRUE(PeekMessage(&m, Box->Handle(), WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_LBUTTONDOWN);
    std::vector<UINT> removed;
    while (PeekMessage(&m, Box->Handle(), WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
        EXPECT_EQ(m.hwnd, Box->Handle());
        removed.push_back(m.message);
    }
    EXPECT_EQ(removed, (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
    Driver.RunPending();
    EXPECT_TRUE(Box->Only({WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}).empty());
    EXPECT_EQ(Box->Only({kMine}).size(), 1u);
    EXPECT_EQ(other->Only({WM_MOUSEMOVE}).size(), 1u);
    EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowExtrasTest, AShapedFormIgnoresClicksOutsideItsRegion) {
    int downs = 0;
    Form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    TRect c = Form->ClientRect();
    ASSERT_TRUE(SetWindowRgn(Form->Handle(), CreateEllipticRgn(0, 0, c.Right, c.Bottom), true));
    Driver.Click(*Form, 3, c.Bottom - 3);  // a corner: outside the ellipse
    EXPECT_EQ(downs, 0);
    Driver.Click(*Form, 250, 100);
    EXPECT_EQ(downs, 1);
    ASSERT_TRUE(SetWindowRgn(Form->Handle(), 0, true));  // back to the rectangle
    Driver.Click(*Form, 3, c.Bottom - 3);
    EXPECT_EQ(downs, 2);
    EXPECT_FALSE(SetWindowRgn(0x7FFFFF, 0, false));
}

// A form without a caption of its own that is moved by dragging its top band.
class TBandForm : public TForm {
public:
    using TForm::TForm;
    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_NCHITTEST) {
            TPoint p = ScreenToClient(TPoint{GetXLParam(M.LParam), GetYLParam(M.LParam)});
            M.Result = p.Y < 20 ? HTCAPTION : HTCLIENT;
            return;
        }
        TForm::Dispatch(M);
    }
};

TEST_F(WindowExtrasTest, DraggingAnHTCaptionAreaMovesTheForm) {
    auto* f = TCustomForm::Create<TBandForm>(Application);
    f->SetBorderStyle(bsNone);
    f->SetBounds(200, 150, 240, 160);
    int downs = 0;
    f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    f->Show();
    Driver.RunPending();
    Driver.MouseDown(*f, 10, 5);
    Driver.MouseMove(*f, 40, 25);  // the pointer travels (30, 20)
    EXPECT_EQ(f->BoundsRect(), Bounds(230, 170, 240, 160));
    Driver.MouseUp(*f, 10, 5);
    EXPECT_EQ(downs, 0);  // the caption press never reaches the client area
    Driver.MouseMove(*f, 60, 60);
    EXPECT_EQ(f->BoundsRect(), Bounds(230, 170, 240, 160));  // released: no longer moving
    Driver.Click(*f, 60, 60);                                // the client area is clicked as usual
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(f->BoundsRect(), Bounds(230, 170, 240, 160));
    f->Free();
}

TEST_F(WindowExtrasTest, Ctl3DPassesToChildrenThatFollowTheirParent) {
    auto* follower = NewComponent<TLogControl>(Form);
    follower->SetParent(Box);
    auto* own = NewComponent<TLogControl>(Form);
    own->SetParent(Box);
    own->SetCtl3D(true);  // set explicitly: no longer follows
    EXPECT_FALSE(own->ParentCtl3D());
    EXPECT_TRUE(follower->ParentCtl3D());
    follower->Log.clear();

    Box->SetCtl3D(false);
    EXPECT_FALSE(Box->ParentCtl3D());
    EXPECT_FALSE(follower->Ctl3D());
    EXPECT_TRUE(follower->ParentCtl3D());
    EXPECT_EQ(follower->Only({CM_CTL3DCHANGED}).size(), 1u);
    EXPECT_TRUE(own->Ctl3D());
    own->SetParentCtl3D(true);
    EXPECT_FALSE(own->Ctl3D());
    // A control put on a parent takes the parent's look.
    auto* late = NewComponent<TLogControl>(Form);
    late->SetParent(Box);
    EXPECT_FALSE(late->Ctl3D());
}

TEST_F(WindowExtrasTest, AControlCanvasDrawsOnAnyControl) {
    auto* g = NewComponent<TTestGraphic>(Form);
    g->SetParent(Form);
    g->SetBounds(150, 40, 30, 30);
    Driver.RunPending();
    {
        TControlCanvas canvas;
        canvas.SetControl(Box);
        canvas.Brush.Color = clRed;
        canvas.FillRect(Rect(0, 0, 10, 10));
        canvas.SetControl(g);  // releases the first context
        canvas.Brush.Color = clBlue;
        canvas.FillRect(Rect(0, 0, 5, 5));
    }
    EXPECT_EQ(Driver.PixelAt(*Box, 5, 5), static_cast<uint32_t>(clRed));
    EXPECT_EQ(Driver.PixelAt(*Form, 152, 42), static_cast<uint32_t>(clBlue));
    EXPECT_NE(Driver.PixelAt(*Form, 148, 38), static_cast<uint32_t>(clBlue));  // at the control's place only
}

TEST(WindowSmallCalls, MulDivRoundsHalfAwayFromZero) {
    struct TCase {
        int N, Num, Den, Want;
    };
    for (TCase c : {TCase{10, 3, 2, 15}, TCase{5, 1, 2, 3}, TCase{-5, 1, 2, -3}, TCase{5, -1, 2, -3},
                    TCase{5, 1, -2, -3}, TCase{-5, -1, 2, 3}, TCase{3, 1, 4, 1}, TCase{1, 1, 4, 0},
                    TCase{-1, 1, 2, -1}, TCase{7, 1, 0, -1}, TCase{INT_MAX, 2, 1, -1},
                    TCase{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, TCase{96, 120, 72, 160}}) {
        SCOPED_TRACE(testing::Message() << c.N << "*" << c.Num << "/" << c.Den);
        EXPECT_EQ(MulDiv(c.N, c.Num, c.Den), c.Want);
    }
}

TEST(WindowSmallCalls, CounterMetricsAndSound) {
    TFormDriver driver;
    int64_t f = 0, a = 0, b = 0;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_EQ(f, 1000);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    driver.Advance(250);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_EQ(b - a, 250);
    EXPECT_EQ(GetSystemMetrics(SM_SWAPBUTTON), 0);
    int32_t units = GetDialogBaseUnits();
    EXPECT_EQ(units & 0xFFFF, 8);
    EXPECT_EQ(units >> 16, 16);
    EXPECT_TRUE(sndPlaySound("SystemAsterisk", SND_ASYNC | SND_NODEFAULT));
}

}  // namespace
}  // namespace framework
