// Drawing and animation on a fake clock: painters with and without a thread of their own, loop
// counts, delays, speed, disposal, and the main painter of Draw.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Seams.h"

using namespace codecs;
using namespace framework;

namespace {

std::atomic<uint32_t> FakeNow{1000};

// Tick count and sleeping on a clock that moves only when somebody sleeps.
struct FakeClock {
    TTickCountFunc OldTick;
    TSleepFunc OldSleep;
    FakeClock() {
        FakeNow = 1000;
        OldTick = SetTickCountSource([] { return FakeNow.load(); });
        OldSleep = SetSleepHandler([](uint32_t Ms) {
            FakeNow += Ms;
            std::this_thread::yield();
        });
    }
    ~FakeClock() {
        SetTickCountSource(OldTick);
        SetSleepHandler(OldSleep);
    }
};

const TColor Colors[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0), RGB(0, 0, 0)};

struct FrameSpec {
    TRect Rect;
    int Color;          // index into Colors (the global map)
    int Delay = 0;      // units; 0: no delay of its own
    int Disposal = -1;  // -1: no control extension
    int Loop = -1;      // -1: no loop extension
};

void Build(TGIFImage& Image, int W, int H, const std::vector<FrameSpec>& Frames) {
    for (TColor c : Colors) Image.ScreenColorMap().AppendColor(c);
    for (const FrameSpec& s : Frames) {
        auto* f = new TGIFSubImage(&Image);
        f->PlaceFrame(s.Rect.Left, s.Rect.Top, s.Rect.Width(), s.Rect.Height());
        std::fill(f->IndexData.begin(), f->IndexData.end(), static_cast<uint8_t>(s.Color));
        if (s.Loop >= 0) {
            auto* loop = new TGIFAppExtNSLoop(f);
            loop->LoopCount = static_cast<uint16_t>(s.Loop);
            f->ExtensionItems.AppendEntry(loop);
        }
        if (s.Disposal >= 0 || s.Delay > 0) {
            auto* c = new TGIFGraphicControlExtension(f);
            c->SetDisposalCode(static_cast<uint8_t>(std::max(0, s.Disposal)));
            c->SetDelayTicks(static_cast<uint16_t>(s.Delay));
            f->ExtensionItems.AppendEntry(c);
        }
        Image.AppendFrame(f);
    }
    Image.SetWidth(W);
    Image.SetHeight(H);
}

// What the painter's events saw: frame shown and the clock at that moment.
struct Recorder {
    std::vector<int> Shown;
    std::vector<uint32_t> Times;
    int Loops = 0, Starts = 0, Ends = 0;
    void Bind(TGIFImage& Image) {
        Image.OnFrameShow = [this](TObject* Sender) {
            Shown.push_back(static_cast<TGIFPainter*>(Sender)->FrameIndex);
            Times.push_back(FakeNow.load());
        };
        Image.OnAnimationLoop = [this](TObject*) { ++Loops; };
        Image.OnAnimationStart = [this](TObject*) { ++Starts; };
        Image.OnAnimationEnd = [this](TObject*) { ++Ends; };
    }
};

struct Target {
    TBitmap Bitmap;
    Target(int W, int H) {
        Bitmap.SetPixelFormat(pf24bit);
        Bitmap.SetSize(W, H);
        Bitmap.Canvas().Brush.Color = clWhite;
        Bitmap.Canvas().FillRect(TRect{0, 0, W, H});
    }
    TCanvas& Canvas() { return Bitmap.Canvas(); }
    TColor At(int X, int Y) { return Bitmap.Canvas().Pixel(X, Y); }
};

// Serves the painters' synchronised steps until Done holds (or a generous number of rounds).
template <class F>
bool PumpUntil(F Done) {
    for (int i = 0; i < 4000 && !Done(); ++i) CheckSynchronize(5);
    return Done();
}

constexpr TGIFPaintOptions Unthreaded = paAnimate | paLoop | paDirect;
constexpr TGIFPaintOptions Threaded = paThreaded | paAnimate | paLoop | paDirect;

}  // namespace

TEST(GIFDrawing, AStillPictureIsPaintedWithoutAPainter) {
    FakeClock clock;
    TGIFImage img;
    Build(img, 4, 2, {{TRect{0, 0, 4, 2}, 2}});
    ASSERT_EQ(img.PaintOptions & paThreaded, paThreaded);
    Target t(8, 4);
    img.Draw(t.Canvas(), TRect{0, 0, 8, 4});
    EXPECT_EQ(img.PainterCount(), 0);
    EXPECT_EQ(img.MainPainter, nullptr);
    EXPECT_EQ(t.At(7, 3), Colors[2]);
}

TEST(GIFAnimation, LoopCountsPassesAndRestartFrame) {
    FakeClock clock;
    {
        // Three passes; the later ones start at the frame that holds the loop extension.
        TGIFImage img;
        Build(img, 2, 1, {{TRect{0, 0, 2, 1}, 0}, {TRect{0, 0, 2, 1}, 1, 0, -1, 3}, {TRect{0, 0, 2, 1}, 2}});
        img.PaintOptions = Unthreaded;
        Recorder r;
        r.Bind(img);
        Target t(2, 1);
        img.Draw(t.Canvas(), TRect{0, 0, 2, 1});
        EXPECT_EQ(r.Shown, (std::vector<int>{0, 1, 2, 1, 2, 1, 2}));
        EXPECT_EQ(r.Loops, 2);
        EXPECT_EQ(r.Starts, 1);
        EXPECT_EQ(r.Ends, 1);
        EXPECT_EQ(img.PainterCount(), 0);
    }
    {
        // Count 0 without a thread: once.
        TGIFImage img;
        Build(img, 2, 1, {{TRect{0, 0, 2, 1}, 0, 0, -1, 0}, {TRect{0, 0, 2, 1}, 1}});
        img.PaintOptions = Unthreaded;
        Recorder r;
        r.Bind(img);
        Target t(2, 1);
        img.Draw(t.Canvas(), TRect{0, 0, 2, 1});
        EXPECT_EQ(r.Shown, (std::vector<int>{0, 1}));
    }
    {
        // Count 0 on a thread: without end, until halted; halting joins the thread.
        TGIFImage img;
        Build(img, 2, 1, {{TRect{0, 0, 2, 1}, 0, 0, -1, 0}, {TRect{0, 0, 2, 1}, 1}});
        img.PaintOptions = Threaded;
        Recorder r;
        r.Bind(img);
        Target t(2, 1);
        img.Draw(t.Canvas(), TRect{0, 0, 2, 1});
        EXPECT_EQ(img.PainterCount(), 1);
        ASSERT_TRUE(PumpUntil([&] { return r.Shown.size() >= 9; }));
        img.HaltAllPainters();
        EXPECT_EQ(img.PainterCount(), 0);
        EXPECT_EQ(img.MainPainter, nullptr);
        for (size_t i = 0; i < 9; ++i) EXPECT_EQ(r.Shown[i], static_cast<int>(i % 2));
        EXPECT_EQ(r.Ends, 0);
    }
}

TEST(GIFAnimation, DelaysRunOnTheTickCountAtTheGivenSpeed) {
    FakeClock clock;
    for (bool threaded : {false, true})
        for (int speed : {100, 200}) {
            SCOPED_TRACE(std::string(threaded ? "threaded " : "unthreaded ") + std::to_string(speed));
            TGIFImage img;
            // Frame 0: 1 unit, raised to the least delay of 3 units; frame 1: 10 units.
            Build(img, 1, 1,
                  {{TRect{0, 0, 1, 1}, 0, 1, 1}, {TRect{0, 0, 1, 1}, 1, 10, 1}, {TRect{0, 0, 1, 1}, 2}});
            img.PaintOptions = (threaded ? Threaded : Unthreaded) & ~paLoop;
            img.SpeedPercent = speed;
            Recorder r;
            r.Bind(img);
            Target t(1, 1);
            img.Draw(t.Canvas(), TRect{0, 0, 1, 1});
            ASSERT_TRUE(PumpUntil([&] { return r.Ends == 1; }));
            ASSERT_EQ(r.Shown, (std::vector<int>{0, 1, 2}));
            EXPECT_EQ(r.Times[1] - r.Times[0], 36u * 100 / speed);
            EXPECT_EQ(r.Times[2] - r.Times[1], 120u * 100 / speed);
            img.HaltAllPainters();
            EXPECT_EQ(img.PainterCount(), 0);
        }
}

TEST(GIFAnimation, SpeedZeroShowsTheFirstFrameAndWaitsForHalt) {
    FakeClock clock;
    TGIFImage img;
    Build(img, 1, 1, {{TRect{0, 0, 1, 1}, 0, 5, 1}, {TRect{0, 0, 1, 1}, 1, 5, 1}});
    img.PaintOptions = Threaded;
    img.SpeedPercent = 0;
    Recorder r;
    r.Bind(img);
    Target t(1, 1);
    img.Draw(t.Canvas(), TRect{0, 0, 1, 1});
    ASSERT_TRUE(PumpUntil([&] { return r.Shown.size() == 1; }));
    for (int i = 0; i < 50; ++i) CheckSynchronize(2);
    EXPECT_EQ(r.Shown, std::vector<int>{0});
    EXPECT_EQ(t.At(0, 0), Colors[0]);
    img.HaltAllPainters();
    EXPECT_EQ(img.PainterCount(), 0);
    EXPECT_EQ(r.Shown, std::vector<int>{0});
}

TEST(GIFAnimation, DisposalRestoresBackgroundOrPreviousPicture) {
    FakeClock clock;
    for (int disposal : {2, 3, 5}) {
        SCOPED_TRACE(disposal);
        TGIFImage img;
        // Red over the screen; green at column 1 (then disposed of); blue at column 2.
        Build(img, 3, 1,
              {{TRect{0, 0, 3, 1}, 0, 0, 1},
               {TRect{1, 0, 2, 1}, 1, 0, disposal},
               {TRect{2, 0, 3, 1}, 2, 0, disposal == 5 ? 2 : 1}});
        img.PaintOptions = Unthreaded & ~paLoop;
        img.BackdropColor = RGB(10, 20, 30);
        Target t(3, 1);
        std::vector<std::vector<TColor>> seen;
        img.OnFrameShown = [&](TObject*) { seen.push_back({t.At(0, 0), t.At(1, 0), t.At(2, 0)}); };
        img.Draw(t.Canvas(), TRect{0, 0, 3, 1});
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ(seen[0], (std::vector<TColor>{Colors[0], Colors[0], Colors[0]}));
        EXPECT_EQ(seen[1], (std::vector<TColor>{Colors[0], Colors[1], Colors[0]}));
        // Codes the format leaves undefined (4–7) leave the frame in place.
        const TColor restored = disposal == 2 ? RGB(10, 20, 30) : disposal == 3 ? Colors[0] : Colors[1];
        EXPECT_EQ(seen[2], (std::vector<TColor>{Colors[0], restored, Colors[2]}));
    }
}

TEST(GIFAnimation, DrawKeepsOneMainPainterAndTheCompositeShowsTheFirstFrame) {
    FakeClock clock;
    TGIFImage img;
    Build(img, 2, 2, {{TRect{0, 0, 2, 2}, 0, 0, -1, 0}, {TRect{0, 0, 2, 2}, 1}});
    img.PaintOptions = Threaded;
    Target t(4, 4);
    img.Draw(t.Canvas(), TRect{0, 0, 2, 2});
    TGIFPainter* first = img.MainPainter;
    ASSERT_NE(first, nullptr);
    img.Draw(t.Canvas(), TRect{0, 0, 2, 2});
    EXPECT_EQ(img.MainPainter, first);
    EXPECT_EQ(img.PainterCount(), 1);
    // Another rectangle: the old painter is halted and joined, a new one takes its place.
    img.Draw(t.Canvas(), TRect{2, 2, 4, 4});
    EXPECT_EQ(img.PainterCount(), 1);
    EXPECT_NE(img.MainPainter, nullptr);
    img.HaltAllPainters();
    EXPECT_EQ(img.PainterCount(), 0);

    // Through the composite: Draw waits for the first frame and copies it to the canvas.
    img.PaintOptions = paThreaded | paAnimate | paLoop;
    img.SpeedPercent = 0;
    Target c(2, 2);
    img.Draw(c.Canvas(), TRect{0, 0, 2, 2});
    ASSERT_NE(img.GetComposite(), nullptr);
    EXPECT_EQ(c.At(1, 1), Colors[0]);
    EXPECT_EQ(img.GetComposite()->Canvas().Pixel(0, 0), Colors[0]);
    img.Draw(c.Canvas(), TRect{0, 0, 2, 2});
    EXPECT_EQ(img.PainterCount(), 1);
}

TEST(GIFAnimation, AFrameShownHandlerMayChooseTheNextFrame) {
    FakeClock clock;
    TGIFImage img;
    Build(img, 1, 1,
          {{TRect{0, 0, 1, 1}, 0}, {TRect{0, 0, 1, 1}, 1}, {TRect{0, 0, 1, 1}, 2}, {TRect{0, 0, 1, 1}, 3}});
    img.PaintOptions = Unthreaded & ~paLoop;
    Recorder r;
    r.Bind(img);
    img.OnFrameShown = [](TObject* Sender) {
        auto* p = static_cast<TGIFPainter*>(Sender);
        if (p->FrameIndex == 0) p->FrameIndex = 2;
    };
    Target t(1, 1);
    img.Draw(t.Canvas(), TRect{0, 0, 1, 1});
    EXPECT_EQ(r.Shown, (std::vector<int>{0, 2, 3}));
}

TEST(GIFAnimation, AnErrorEndsThePainterAndReachesTheCaller) {
    FakeClock clock;
    // Frames without any colours cannot be rendered.
    auto colourless = [](TGIFImage& Img) {
        for (int i = 0; i < 2; ++i) {
            auto* f = new TGIFSubImage(&Img);
            f->PlaceFrame(0, 0, 2, 2);
            Img.AppendFrame(f);
        }
    };
    {
        TGIFImage img;
        colourless(img);
        img.PaintOptions = Unthreaded;
        Target t(2, 2);
        try {
            img.Draw(t.Canvas(), TRect{0, 0, 2, 2});
            ADD_FAILURE();
        } catch (GIFException& e) {
            EXPECT_EQ(e.Message, "No global or local color table defined");
        }
        EXPECT_EQ(img.PainterCount(), 0);
    }
    {
        // On a thread, the error goes to the thread exception handler when the painter is freed.
        std::vector<std::string> caught;
        TThreadExceptionHandler old = SetThreadExceptionHandler([&](std::exception_ptr E) {
            try {
                std::rethrow_exception(E);
            } catch (Exception& e) {
                caught.push_back(e.Message);
            }
        });
        {
            TGIFImage img;
            colourless(img);
            img.PaintOptions = Threaded;
            Target t(2, 2);
            img.Draw(t.Canvas(), TRect{0, 0, 2, 2});
            ASSERT_TRUE(PumpUntil([&] { return img.MainPainter == nullptr; }));
        }
        PumpUntil([&] { return !caught.empty(); });
        SetThreadExceptionHandler(old);
        EXPECT_EQ(caught, std::vector<std::string>{"No global or local color table defined"});
    }
}
