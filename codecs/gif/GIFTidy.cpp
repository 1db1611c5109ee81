// Tidying an animation before it is written: trimming transparent edges, blanking pixels that do
// not change between frames, removing blocks and frames nothing needs, sorting colour maps by use.
#include <algorithm>

#include "codecs/gif/GIFImage.h"

namespace codecs {

using namespace framework;

namespace {

int DisposalOf(const TGIFSubImage& F) {
    return F.ControlBlock ? F.ControlBlock->DisposalCode() : 0;
}

int TransparentOf(const TGIFSubImage& F) {
    return F.HasTransparency && F.ControlBlock ? F.ControlBlock->TransparentIndex() : -1;
}

bool ContainsIndex(const TGIFSubImage& F, int Index) {
    return std::find(F.IndexData.begin(), F.IndexData.end(), static_cast<uint8_t>(Index)) !=
           F.IndexData.end();
}

bool CanAddColor(TGIFSubImage& F) {
    if (F.LocalMap.ColorCount > 0) return F.LocalMap.ColorCount < 256;
    const TGIFColorMap& global = F.Image->ScreenColorMap();
    return global.ColorCount > 0 && global.ColorCount < 256;
}

// An index the frame can make transparent: another frame's transparent index on the same global
// map when this frame never shows it, else black appended to the frame's map.
int TransparentSlot(TGIFSubImage& F) {
    if (F.LocalMap.ColorCount == 0) {
        TGIFImageList& frames = F.Image->Frames;
        for (int i = 0; i < frames.EntryCount(); ++i) {
            TGIFSubImage* o = frames.Frame(i);
            if (o == &F || o->LocalMap.ColorCount > 0) continue;
            const int t = TransparentOf(*o);
            if (t >= 0 && !ContainsIndex(F, t)) return t;
        }
    }
    return F.EffectiveMap().AppendColor(clBlack);
}

TGIFGraphicControlExtension* ControlFor(TGIFSubImage& F) {
    if (!F.ControlBlock) F.ExtensionItems.AppendEntry(new TGIFGraphicControlExtension(&F));
    return F.ControlBlock;
}

TRect Intersection(const TRect& A, const TRect& B) {
    return TRect{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                 std::min(A.Bottom, B.Bottom)};
}

// Pixels of Frame that show what Below already shows become transparent.
void BlankUnchanged(TGIFSubImage& Frame, TGIFSubImage* Below) {
    if (Frame.IsBlank() || !Below || Below->IsBlank()) return;
    const int belowDisposal = DisposalOf(*Below);
    if (belowDisposal == 2 || belowDisposal == 3) return;
    const TRect r = Intersection(Frame.FrameRect(), Below->FrameRect());
    if (r.Left >= r.Right || r.Top >= r.Bottom) return;
    const bool hadTransparency = Frame.HasTransparency && Frame.ControlBlock;
    int t = hadTransparency ? Frame.ControlBlock->TransparentIndex() : -1;
    if (!hadTransparency && !CanAddColor(Frame)) return;
    const int belowTransparent = TransparentOf(*Below);
    TGIFColorMap& map = Frame.EffectiveMap();
    TGIFColorMap& belowMap = Below->EffectiveMap();
    const bool sameMap = &map == &belowMap;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
            uint8_t& p = Frame.IndexData[static_cast<size_t>(y - Frame.Top) * Frame.Width + (x - Frame.Left)];
            const uint8_t q =
                Below->IndexData[static_cast<size_t>(y - Below->Top) * Below->Width + (x - Below->Left)];
            if (p == t || q == belowTransparent) continue;
            const bool same =
                sameMap ? p == q
                        : p < map.ColorCount && q < belowMap.ColorCount &&
                              std::equal(map.Triples.begin() + p * 3, map.Triples.begin() + p * 3 + 3,
                                         belowMap.Triples.begin() + q * 3);
            if (!same) continue;
            if (t < 0) t = TransparentSlot(Frame);
            p = static_cast<uint8_t>(t);
        }
    if (!hadTransparency && t >= 0) {
        TGIFGraphicControlExtension* c = ControlFor(Frame);
        c->SetTransparentIndex(t);
        c->SetTransparentFlag(true);
    }
    Frame.DropFrameBitmap();
}

void TrimTransparentEdges(TGIFSubImage& F) {
    const int t = TransparentOf(F);
    const int w = F.Width, h = F.Height;
    auto opaque = [&](int X, int Y) { return F.IndexData[static_cast<size_t>(Y) * w + X] != t; };
    int left = w, right = -1;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            if (opaque(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                break;
            }
    if (right < 0) {
        F.ResetFrame();
        return;
    }
    int top = h, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = left; x <= right; ++x)
            if (opaque(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                break;
            }
    const int nw = right - left + 1, nh = bottom - top + 1;
    if (nw == w && nh == h) return;
    std::vector<uint8_t> kept(static_cast<size_t>(nw) * nh);
    for (int y = 0; y < nh; ++y)
        std::copy_n(F.IndexData.begin() + static_cast<ptrdiff_t>(y + top) * w + left, nw,
                    kept.begin() + static_cast<ptrdiff_t>(y) * nw);
    F.Left = static_cast<uint16_t>(F.Left + left);
    F.Top = static_cast<uint16_t>(F.Top + top);
    F.Width = static_cast<uint16_t>(nw);
    F.Height = static_cast<uint16_t>(nh);
    F.IndexData = std::move(kept);
    F.IndexDataSize = int64_t(nw) * nh;
    F.DropFrameBitmap();
}

}  // namespace

void TGIFImage::Tidy(TGIFTidyOptions Options, TGIFReductionMethod Method, TGIFDitherKind, int) {
    if (Empty()) return;
    HaltAllPainters();
    PainterLock.Acquire();
    struct Release {
        TCriticalSection& L;
        ~Release() { L.Release(); }
    } release{PainterLock};
    const TRect none{};
    const int basis = std::max(1, Frames.EntryCount() * 6);
    int done = 0;
    auto step = [&] {
        ++done;
        Progress(this, psRunning, static_cast<uint8_t>(std::min(100, done * 100 / basis)), false, none,
                 "Optimizing...");
    };
    Progress(this, psStarting, 0, false, none, "Optimizing...");
    try {
        if (Options & tdSortColorMaps) {
            if (ScreenColorMap().ColorCount > 0) ScreenColorMap().Compact();
            for (int i = 0; i < Frames.EntryCount(); ++i) {
                if (Frames.Frame(i)->LocalMap.ColorCount > 0) Frames.Frame(i)->LocalMap.Compact();
                step();
            }
        }
        if (Options & tdCleanup) {
            for (int i = 0; i < Frames.EntryCount(); ++i) {
                TGIFSubImage* f = Frames.Frame(i);
                if (f->HasTransparency && f->ControlBlock &&
                    !ContainsIndex(*f, f->ControlBlock->TransparentIndex()))
                    f->ControlBlock->SetTransparentFlag(false);
                step();
            }
            // A restoring frame whose area the next, opaque frame covers need not restore.
            for (int i = 0; i + 1 < Frames.EntryCount(); ++i) {
                TGIFSubImage* a = Frames.Frame(i);
                TGIFSubImage* b = Frames.Frame(i + 1);
                const int d = DisposalOf(*a);
                if ((d != 2 && d != 3) || b->HasTransparency) continue;
                const TRect r = Intersection(a->FrameRect(), b->FrameRect());
                if (r.Left < r.Right && r.Top < r.Bottom && r == b->FrameRect())
                    a->ControlBlock->SetDisposalCode(0);
            }
        }
        if (Options & tdMerge) {
            for (int d = Frames.EntryCount() - 1; d >= 1; --d) {
                int c = d - 1;
                while (c > 0 && DisposalOf(*Frames.Frame(c)) == 3) --c;
                BlankUnchanged(*Frames.Frame(d), Frames.Frame(c));
                step();
            }
        }
        if (Options & tdCrop) {
            for (int i = Frames.EntryCount() - 1; i >= 0; --i) {
                TGIFSubImage* f = Frames.Frame(i);
                step();
                if (f->IsBlank() || !f->HasTransparency) continue;
                const int delay = f->ControlBlock ? f->ControlBlock->DelayTicks() : 0;
                TrimTransparentEdges(*f);
                if (!f->IsBlank()) continue;
                Frames.RemoveAt(i);
                if (i > 0) {
                    TGIFSubImage* previous = Frames.Frame(i - 1);
                    if (previous->HasTransparency && previous->ControlBlock)
                        previous->ControlBlock->SetDelayTicks(static_cast<uint16_t>(
                            std::min(0xFFFF, previous->ControlBlock->DelayTicks() + delay)));
                }
            }
        }
        if (Options & tdCleanup) {
            const bool single = Frames.EntryCount() == 1;
            for (int i = Frames.EntryCount() - 1; i >= 0; --i) {
                TGIFSubImage* f = Frames.Frame(i);
                for (int e = f->ExtensionItems.EntryCount() - 1; e >= 0; --e) {
                    TGIFExtension* x = f->ExtensionItems.Extension(e);
                    bool drop = dynamic_cast<TGIFCommentExtension*>(x) ||
                                dynamic_cast<TGIFTextExtension*>(x) ||
                                dynamic_cast<TGIFUnknownAppExtension*>(x) ||
                                (dynamic_cast<TGIFAppExtNSLoop*>(x) && (i > 0 || single));
                    if (auto* c = dynamic_cast<TGIFGraphicControlExtension*>(x))
                        drop = (c->DelayTicks() == 0 || single) && !c->TransparentFlag() &&
                               !c->UserInputFlag() && (c->DisposalCode() < 2 || single);
                    if (drop) f->ExtensionItems.RemoveAt(e);
                }
                if (f->IsBlank() && f->ExtensionItems.EntryCount() == 0) Frames.RemoveAt(i);
                step();
            }
        }
        if ((Options & tdReduceColors) && !(Options & tdCleanup) && Method == rdCustomPalette)
            RaiseGIFError("Invalid reduction method");
    } catch (...) {
        Progress(this, psEnding, 0, true, none, "Optimizing...");
        throw;
    }
    Changed();
    Progress(this, psEnding, 100, true, none, "Optimizing...");
}

void TGIFImage::WriteData(TStream& Stream) {
    if (TidyBeforeStreaming)
        Tidy(tdCrop | tdMerge | tdCleanup | tdSortColorMaps | tdReduceColors, rdNone, dkNearest, 8);
    TGraphic::WriteData(Stream);
}

}  // namespace codecs
