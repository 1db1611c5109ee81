// Drawing a GIF picture and animating it: Draw, the painters that show the frames in turn, and
// halting them.
#include <algorithm>
#include <thread>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Seams.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Windows.h"

namespace codecs {

using namespace framework;

namespace {

// A * B / C rounded half away from zero, in 64 bits.
int64_t RoundedMulDiv(int64_t A, int64_t B, int64_t C) {
    const int64_t p = A * B;
    return p >= 0 ? (p + C / 2) / C : -((-p + C / 2) / C);
}

struct TLockHold {
    TCriticalSection& Lock;
    explicit TLockHold(TCriticalSection& L) : Lock(L) { Lock.Acquire(); }
    ~TLockHold() { Lock.Release(); }
    TLockHold(const TLockHold&) = delete;
    TLockHold& operator=(const TLockHold&) = delete;
};

// Takes a quit message out of the queue and posts it again; true when there was one.
bool QuitPending() {
    TMsg m;
    if (!PeekMessage(&m, 0, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    PostQuitMessage(static_cast<int>(m.wParam));
    return true;
}

void NewBuffer(std::unique_ptr<TBitmap>& Buffer, const TRect& R) {
    Buffer = std::make_unique<TBitmap>();
    Buffer->SetPixelFormat(pf24bit);
    Buffer->SetSize(R.Width(), R.Height());
    Buffer->Canvas().CopyMode = SRCCOPY;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The painter

TGIFPainter::TGIFPainter(TGIFImage* AImage, TGIFPaintOptions AOptions, const TRect& ARect, TCanvas* ACanvas,
                         TGIFPainter** ASlot)
    : TThread(true),
      Image(AImage),
      PaintTarget(ACanvas),
      TargetRect(ARect),
      PaintOptions(AOptions),
      SpeedPercent(AImage->SpeedPercent),
      OwnerSlot(ASlot) {
    if (OwnerSlot) *OwnerSlot = this;
    const int frames = Image->Frames.EntryCount();
    if ((PaintOptions & paThreaded) && (PaintOptions & paAnimate) && frames > 1 && SpeedPercent >= 0)
        WakeEvent = std::make_unique<TEvent>(false, false);
    if (Image->BackdropColor != clNone)
        Backdrop = Image->BackdropColor;
    else if (Image->ScreenColorMap().ColorCount == 0)
        Backdrop = clWindow;
    else
        Backdrop = Image->ScreenBackground();
    bool restores = (PaintOptions & paClearOnRepeat) != 0, restoresPrevious = false;
    for (int i = 0; i < frames; ++i)
        if (TGIFGraphicControlExtension* c = Image->Frames.Frame(i)->ControlBlock) {
            restores = restores || c->DisposalCode() == 2;
            restoresPrevious = restoresPrevious || c->DisposalCode() == 3;
        }
    const TRect area{0, 0, TargetRect.Width(), TargetRect.Height()};
    if (restores && (PaintOptions & paTransparent)) {
        NewBuffer(SavedBackground, TargetRect);
        SavedBackground->Canvas().CopyRect(area, *PaintTarget, TargetRect);
    }
    if (restores || restoresPrevious) {
        NewBuffer(RestoreBuffer, TargetRect);
        RestoreBuffer->Canvas().Brush.Color = Backdrop;
        RestoreBuffer->Canvas().Brush.Style = bsSolid;
        RestoreBuffer->Canvas().CopyRect(area, *PaintTarget, TargetRect);
        NewBuffer(ComposeBuffer, TargetRect);
        ComposeBuffer->Canvas().Brush.Color = Backdrop;
        ComposeBuffer->Canvas().Brush.Style = bsSolid;
    }
    if (PaintOptions & paCheckCanvas) TargetDC = PaintTarget->Handle();
}

TGIFPainter::~TGIFPainter() {
    if (Image) DetachPainter();
}

void TGIFPainter::Kick() {
    if (IsThreaded()) Resume();
}

void TGIFPainter::Halt() {
    Terminate();
    if (IsThreaded()) {
        if (WakeEvent) WakeEvent->SetEvent();
        SetPriority(tpNormal);
        Resume();
    }
}

void TGIFPainter::DetachPainter() {
    if (OwnerSlot && *OwnerSlot == this) *OwnerSlot = nullptr;
    OwnerSlot = nullptr;
    Image = nullptr;
    SavedBackground.reset();
    RestoreBuffer.reset();
    ComposeBuffer.reset();
}

void TGIFPainter::RunInUIThread(const std::function<void()>& Step) {
    if (Terminated()) return;
    auto step = [this, &Step] {
        ++StepDepth;
        try {
            Step();
        } catch (...) {
            --StepDepth;
            throw;
        }
        --StepDepth;
    };
    if (IsThreaded())
        Synchronize(step);
    else
        step();
}

void TGIFPainter::FireHandler(const TNotifyEvent& Handler) {
    if (Handler) RunInUIThread([this, &Handler] { Handler(this); });
}

void TGIFPainter::Execute() {
    std::exception_ptr error;
    try {
        const bool threaded = IsThreaded();
        auto frameCount = [this] { return Image ? Image->Frames.EntryCount() : 0; };
        FrameIndex = 0;
        FireHandler(OnAnimationStart);
        HasPainted = false;
        int loopsLeft = 1, restartFrame = 0;
        bool loopSeen = false;
        int delay = threaded ? 0 : 1;
        PreviousDisposal = 1;
        LastTime = GetTickCount();
        LastWait = 0;
        while ((loopsLeft != 0 || (PaintOptions & paLoopForever)) && !Terminated()) {
            FrameIndex = restartFrame;
            if (HasPainted) FireHandler(OnAnimationLoop);
            while (FrameIndex >= 0 && FrameIndex < frameCount() && !Terminated()) {
                TGIFSubImage* frame = Image->Frames.Frame(FrameIndex);
                if (frame->IsBlank()) break;
                if (delay < 1) {
                    std::this_thread::yield();
                } else {
                    RunInUIThread([frame] { frame->RenderedBitmap(); });
                    WaitBeforeFrame(delay);
                }
                if (Terminated()) break;
                FireHandler(OnFrameShow);
                if (Terminated()) break;
                CurrentDisposal = 1;
                for (int i = 0; i < frame->ExtensionItems.EntryCount(); ++i) {
                    TGIFExtension* e = frame->ExtensionItems.Extension(i);
                    if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(e)) {
                        if (loopSeen) continue;
                        loopSeen = true;
                        loopsLeft = loop->LoopCount;
                        if ((threaded && loop->LoopCount == 0) || (PaintOptions & paLoopForever))
                            loopsLeft = -1;
                        restartFrame = FrameIndex;
                    } else if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(e)) {
                        CurrentDisposal = control->DisposalCode();
                    }
                }
                // Codes the format leaves undefined leave the frame in place.
                if (CurrentDisposal > 3) CurrentDisposal = 1;
                RunInUIThread([this] {
                    if (RestoreBuffer)
                        ComposeFrame();
                    else
                        PaintFrameDirect();
                });
                PreviousDisposal = CurrentDisposal;
                if (Terminated()) break;
                delay = DefaultDelay;
                if (frame->ControlBlock && frame->ControlBlock->DelayTicks() > 0) {
                    delay = std::max<int>(frame->ControlBlock->DelayTicks(), MinimumDelay);
                    if (!threaded) delay = std::min(delay, MaximumDelay);
                }
                const int shown = FrameIndex;
                FireHandler(OnFrameShown);
                if (Terminated()) break;
                if (FrameIndex == shown) ++FrameIndex;
                if (!(PaintOptions & paAnimate)) break;
            }
            if (loopsLeft > 0) --loopsLeft;
            if (!((PaintOptions & paAnimate) && (PaintOptions & paLoop))) break;
        }
        FrameIndex = -1;
        FireHandler(OnAnimationEnd);
    } catch (const Exception&) {
        Terminate();
        error = std::current_exception();
    }
    // A threaded painter's error goes to the thread's owner when the painter is freed; an
    // unthreaded one reaches the caller of Draw.
    if (error) std::rethrow_exception(error);
}

// Waits the delay of the previous frame (in units), having rendered the next frame first.
void TGIFPainter::WaitBeforeFrame(int Delay) {
    const bool threaded = IsThreaded();
    const uint32_t now = GetTickCount();
    int64_t wait;
    bool unlimited = false;
    if (SpeedPercent > 0) {
        // Half of the time the previous frame overran is taken off this one.
        const int64_t overrun = (int64_t(static_cast<int32_t>(now - LastTime)) - LastWait) / 2;
        wait = RoundedMulDiv(int64_t(Delay) * DelayUnitMs - overrun, 100, SpeedPercent);
        if (wait > INT32_MAX || wait < INT32_MIN) {
            wait = int64_t(MaximumDelay) * DelayUnitMs;
            LastWait = 0;
        } else {
            LastWait = wait;
        }
    } else {
        unlimited = threaded;
        wait = int64_t(MaximumDelay) * DelayUnitMs;
    }
    LastTime = now;
    if (threaded) {
        if (SpeedPercent < 0 || !WakeEvent) return;
        if (wait > 0 || SpeedPercent == 0) {
            const uint32_t ms = unlimited ? INFINITE : static_cast<uint32_t>(std::max<int64_t>(wait, 0));
            if (WakeEvent->WaitFor(ms) == wrSignaled) {
                LastWait = 0;
                LastTime = GetTickCount();
            }
        }
        return;
    }
    // Without a thread: sleep in steps and keep the message queue served.
    int64_t left = std::max<int64_t>(wait, 1);
    while (left > 0 && !Terminated()) {
        const uint32_t before = GetTickCount();
        Sleep(static_cast<uint32_t>(std::min<int64_t>(left, 100)));
        left -= GetTickCount() - before;
        if (QuitPending()) {
            Terminate();
            break;
        }
        if (Application) Application->ProcessMessages();
    }
}

void TGIFPainter::ComposeFrame() {
    if ((PaintOptions & paCheckCanvas) &&
        (!PaintTarget->HandleAllocated() || PaintTarget->Handle() != TargetDC)) {
        Terminate();
        return;
    }
    TGIFSubImage& frame = *Image->Frames.Frame(FrameIndex);
    const TRect area{0, 0, TargetRect.Width(), TargetRect.Height()};
    TCanvas* target = &RestoreBuffer->Canvas();
    TRect rect = area;
    bool copy = true;
    if (CurrentDisposal == 3) {
        if (PreviousDisposal <= 1) {
            // Painted over the canvas only: the restore buffer keeps what was there before.
            target = PaintTarget;
            rect = TargetRect;
            copy = false;
        } else {
            ComposeBuffer->Canvas().CopyRect(area, RestoreBuffer->Canvas(), area);
            target = &ComposeBuffer->Canvas();
        }
    }
    HPALETTE palette = frame.PaletteForFrame();
    if (!palette) palette = GetStockObject(DEFAULT_PALETTE);
    const HDC dc = target->Handle();
    const HPALETTE old = SelectPalette(dc, palette, false);
    RealizePalette(dc);
    if ((PaintOptions & paClearOnRepeat) && FrameIndex == 0) ClearRestoreArea(*RestoreBuffer);
    Image->PaintInto(frame, *target, rect, (PaintOptions & paTile) != 0, (PaintOptions & paTransparent) != 0);
    SelectPalette(dc, old, false);
    if (copy) {
        PaintTarget->CopyMode = SRCCOPY;
        PaintTarget->CopyRect(TargetRect, *target, area);
    }
    if (CurrentDisposal == 2) ClearRestoreArea(*RestoreBuffer);
    HasPainted = true;
}

// The frame's area of the restore buffer goes back to the background.
void TGIFPainter::ClearRestoreArea(TBitmap& Buffer) {
    TGIFSubImage& frame = *Image->Frames.Frame(FrameIndex);
    const TRect area{0, 0, TargetRect.Width(), TargetRect.Height()};
    const bool tile = (PaintOptions & paTile) != 0;
    const int sw = std::max(1, Image->Width()), sh = std::max(1, Image->Height());
    auto tiles = [&](const std::function<void(const TRect&)>& Each) {
        for (int x = frame.Left; x < area.Right; x += sw)
            for (int y = frame.Top; y < area.Bottom; y += sh)
                Each(TRect{x, y, x + frame.Width, y + frame.Height});
    };
    TCanvas& c = Buffer.Canvas();
    if ((PaintOptions & paTransparent) && SavedBackground) {
        auto restore = [&](const TRect& R) { c.CopyRect(R, SavedBackground->Canvas(), R); };
        if (tile)
            tiles(restore);
        else
            restore(Image->ScaleRect(frame, area));
        return;
    }
    if (tile) {
        if (frame.Width != Image->Width() && frame.Height != Image->Height()) {
            c.Brush.Color = Image->BackdropColor == clNone ? Backdrop : Image->BackdropColor;
            tiles([&](const TRect& R) { c.FillRect(R); });
            c.Brush.Color = Backdrop;
        }
        return;
    }
    c.Brush.Color = Backdrop;
    c.Brush.Style = bsSolid;
    c.FillRect(Image->ScaleRect(frame, area));
}

void TGIFPainter::PaintFrameDirect() {
    Image->PaintInto(*Image->Frames.Frame(FrameIndex), *PaintTarget, TargetRect, (PaintOptions & paTile) != 0,
                     (PaintOptions & paTransparent) != 0);
    HasPainted = true;
}

// ---------------------------------------------------------------------------------------------
// The image's side

TGIFPainter* TGIFImage::StartPainter(TGIFPainter** Slot, TCanvas& Canvas, TGIFPaintOptions Options,
                                     const TRect& Rect) {
    if (Empty() || Rect.Left >= Rect.Right || Rect.Top >= Rect.Bottom) {
        if (Slot) *Slot = nullptr;
        return nullptr;
    }
    if (Frames.EntryCount() == 1) Options &= ~(paThreaded | paAnimate);
    TLockHold hold(PainterLock);
    // Threads that ended on their own are joined here.
    for (size_t i = 0; i < PainterList.size();) {
        TGIFPainter* p = PainterList[i];
        if (p->IsThreaded() && !p->Image && p->StepDepth == 0) {
            PainterList.erase(PainterList.begin() + static_cast<ptrdiff_t>(i));
            p->Free();
        } else {
            ++i;
        }
    }
    auto* painter = new TGIFPainter(this, Options, Rect, &Canvas, Slot);
    PainterList.push_back(painter);
    painter->OnAnimationStart = OnAnimationStart;
    painter->OnFrameShow = OnFrameShow;
    painter->OnFrameShown = OnFrameShown;
    painter->OnAnimationLoop = OnAnimationLoop;
    painter->OnAnimationEnd = OnAnimationEnd;
    if (Options & paThreaded) {
        painter->SetPriority(PainterPriority);
        painter->OnTerminate = [painter](TObject*) { painter->DetachPainter(); };
        return painter;
    }
    std::exception_ptr error;
    try {
        painter->Run();
    } catch (...) {
        error = std::current_exception();
    }
    PainterList.erase(std::find(PainterList.begin(), PainterList.end(), painter));
    delete painter;
    if (Slot) *Slot = nullptr;
    if (error) std::rethrow_exception(error);
    return nullptr;
}

int TGIFImage::PainterCount() {
    TLockHold hold(PainterLock);
    return static_cast<int>(PainterList.size());
}

namespace {
// Ends a threaded painter and waits for its thread, serving its synchronised steps meanwhile. A
// painter whose step is running (halting from inside it) is only told to stop.
bool JoinPainter(std::vector<TGIFPainter*>& List, TGIFPainter* P) {
    P->Halt();
    if (!P->IsThreaded() || P->StepDepth > 0) return false;
    List.erase(std::find(List.begin(), List.end(), P));
    P->Free();
    return true;
}
}  // namespace

void TGIFImage::HaltMainPainter() {
    bool stepping = false;
    {
        TLockHold hold(PainterLock);
        // An unthreaded painter runs further up this thread's stack: it is only told to stop.
        if (TGIFPainter* p = MainPainter) stepping = !JoinPainter(PainterList, p);
    }
    // The composite stays while a painter still paints into it.
    if (!stepping) CompositeBitmap.reset();
}

void TGIFImage::HaltAllPainters() {
    bool stepping = false;
    {
        TLockHold hold(PainterLock);
        std::vector<TGIFPainter*> all = PainterList;
        for (TGIFPainter* p : all)
            if (!JoinPainter(PainterList, p)) stepping = true;
    }
    if (!stepping) CompositeBitmap.reset();
}

// Drawing of animated pictures runs through painters; a still picture paints its first frame.
void TGIFImage::Draw(TCanvas& ACanvas, const TRect& Rect) {
    if (InDraw || Empty()) return;
    InDraw = true;
    struct Guard {
        bool& F;
        ~Guard() { F = false; }
    } guard{InDraw};
    if (Frames.EntryCount() == 1 || !(PaintOptions & paAnimate)) {
        PaintInto(*Frames.Frame(0), ACanvas, Rect, (PaintOptions & paTile) != 0,
                  (PaintOptions & paTransparent) != 0);
        return;
    }
    const bool direct = (PaintOptions & paDirect) != 0;
    if (!CompositeBitmap || direct) {
        TLockHold hold(PainterLock);
        const bool same =
            direct && MainPainter && MainPainter->PaintTarget == &ACanvas && MainPainter->TargetRect == Rect;
        if (!same) {
            HaltMainPainter();
            TCanvas* target = &ACanvas;
            TRect r = Rect;
            if (!direct) {
                // The composite starts with what lies behind the picture.
                TBitmap* c = NewComposite();
                r = TRect{0, 0, Width(), Height()};
                c->Canvas().CopyRect(r, ACanvas, Rect);
                target = &c->Canvas();
            }
            TGIFPainter* p = StartPainter(&MainPainter, *target, PaintOptions, r);
            if (!p) return;
            p->Kick();
            if (direct) return;
            // Until the first frame is in the composite.
            while (MainPainter == p && !p->HasPainted && !p->Terminated()) {
                if (QuitPending()) return;
                if (!CheckSynchronize(10)) std::this_thread::yield();
            }
        }
    }
    if (!CompositeBitmap || direct) return;
    if (!(PaintOptions & paTile)) {
        ACanvas.StretchDraw(Rect, CompositeBitmap.get());
        return;
    }
    const int sw = std::max(1, Width()), sh = std::max(1, Height());
    for (int x = Rect.Left; x < Rect.Right; x += sw)
        for (int y = Rect.Top; y < Rect.Bottom; y += sh) ACanvas.Draw(x, y, CompositeBitmap.get());
}

}  // namespace codecs
