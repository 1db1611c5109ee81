#include "controls/kit/KitPanel.h"

#include <algorithm>

#include "controls/kit/KitApp.h"
#include "controls/kit/KitButton.h"
#include "controls/kit/KitRegion.h"
#include "framework/core/Filer.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"

namespace kit {

using namespace framework;

// ---- TKitImageRef ---------------------------------------------------------------------------------

TKitImageRef::TKitImageRef(TComponent* Owner, std::function<void()> Changed)
    : FOwner(Owner), FChanged(std::move(Changed)) {
    FLink.OnChange = [this](TObject*) { FChanged(); };
}

TKitImageRef::~TKitImageRef() {
    if (FList) {
        FList->UnregisterLink(&FLink);
        FList->RemoveFreeNotification(FOwner);
    }
}

void TKitImageRef::SetList(TKitCustomImageList* Value) {
    if (FList) {
        FList->UnregisterLink(&FLink);
        FList->RemoveFreeNotification(FOwner);
    }
    FList = Value;
    if (FList) {
        FList->RegisterLink(&FLink);
        FList->FreeNotification(FOwner);
    }
    FChanged();
}

void TKitImageRef::SetIndex(int Which, int Value) {
    Which &= 1;
    if (Value < 0 || Value == FIndex[Which]) return;
    FIndex[Which] = Value;
    if (FList) FChanged();
}

void TKitImageRef::Removed(TComponent* AComponent) {
    if (FList != nullptr && AComponent == FList) {
        FList->UnregisterLink(&FLink);
        FList = nullptr;
        FChanged();
    }
}

void TKitImageRef::DefineProperties(TFiler* Filer) {
    Filer->DefineProperty(
        "Internal", [this](TReader* Reader) { SetList(GlobalImageList(Reader->ReadString())); },
        [this](TWriter* Writer) { Writer->WriteString(ListSignature(FList->ListKind())); },
        IsGlobalImageList(FList));
}

// ---- TKitBevel ------------------------------------------------------------------------------------

namespace {
void Shrink(TRect& R, int D) {
    R = TRect{R.Left + D, R.Top + D, R.Right - D, R.Bottom - D};
}

bool IsFrameStyle(TKitBevelStyle S) {
    return S == bvFrameLowered || S == bvFrameRaised;
}

// Count one-pixel frames in Color, each followed by a one-pixel inset (only the inset with Skip).
void PlainFrames(TCanvas& Canvas, TRect& R, int Count, TColor Color, bool Skip) {
    for (int i = 0; i < Count; ++i) {
        if (!Skip) {
            Canvas.Brush.Color = Color;
            Canvas.Brush.Style = bsSolid;
            Canvas.FrameRect(R);
        }
        Shrink(R, 1);
    }
}
}  // namespace

void TKitBevel::Changed() {
    Recalculate();
    Change();
}

void TKitBevel::Recalculate() {
    int e = 0;
    switch (FMode) {
        case bmCustom:
            if (FStyle[1] == bvShadow) {
                e = FWidth[1] + FBorder[1];
            } else {
                e = FBorder[0] + FBorder[1];
                if (FStyle[0] != bvNone || FStyle[1] != bvNone) {
                    if (FStyle[0] != bvNone) e += FWidth[0] + (IsFrameStyle(FStyle[0]) ? 1 : 0);
                    if (FStyle[1] != bvNone) e += FWidth[1] + (IsFrameStyle(FStyle[1]) ? 1 : 0);
                }
            }
            break;
        case bmStandard:
            e = BorderStyleWidth(FStandardStyle) + FBorder[1];
            break;
        case bmEdge:
            e = (FSides != 0 ? 2 : 0) + FBorder[1];
            break;
        case bmWindows:
            e = FWindowBorder ? 0 : FBorder[1] + 2;
            break;
    }
    FExtent = e;
    FExtentRB = (FMode == bmCustom && FStyle[0] == bvShadow) ? FWidth[1] + FWidth[0] + FBorder[1] : e;
}

void TKitBevel::SetMode(TKitBevelMode Value) {
    if (FMode == Value) return;
    if (FWindowBorder && (FMode == bmWindows || Value == bmWindows)) FRecreateNeeded = true;
    FMode = Value;
    Changed();
}

void TKitBevel::SetStyle(int Which, TKitBevelStyle Value) {
    if (FStyle[Which] == Value) return;
    const int other = 1 - Which;
    if (Value == bvShadow)
        FStyle[other] = bvShadow;
    else if (FStyle[other] == bvShadow)
        FStyle[other] = bvNone;
    FStyle[Which] = Value;
    Changed();
}

void TKitBevel::SetWidth(int Which, TKitBevelWidth Value) {
    if (Value >= 0 && Value <= 50 && Store(FWidth[Which], Value)) Changed();
}

void TKitBevel::SetBorder(int Which, TKitBorderWidth Value) {
    if (Value >= 0 && Value <= 255 && Store(FBorder[Which], Value)) Changed();
}

void TKitBevel::SetColor(int Index, TColor Value) {
    if (Index >= 0 && Index <= 2 && Store(FColors[Index], Value)) Changed();
}

void TKitBevel::SetStandardStyle(TKitBorderStyle Value) {
    if (FStandardStyle == Value) return;
    FStandardStyle = Value;
    Recalculate();
    if (FMode == bmStandard) Change();
}

void TKitBevel::SetEdgeStyle(TKitEdgeStyle Value) {
    if (Store(FEdgeStyle, Value)) Changed();
}

void TKitBevel::SetBorderSides(TKitFrameSides Value) {
    if (Store(FSides, static_cast<TKitFrameSides>(Value & 0x0F))) Changed();
}

void TKitBevel::SetWindowBorder(bool Value) {
    if (Store(FWindowBorder, Value)) Recalculate();
}

bool TKitBevel::TakeRecreateNeeded() {
    const bool r = FRecreateNeeded;
    FRecreateNeeded = false;
    return r;
}

TRect TKitBevel::InnerRect(const TRect& Rect) const {
    TRect r = Rect;
    if (FMode == bmCustom && FStyle[0] == bvShadow) {
        r.Left += FWidth[1] + FBorder[1];
        r.Top += FWidth[1] + FBorder[1];
        r.Right -= FExtentRB;
        r.Bottom -= FExtentRB;
    } else {
        Shrink(r, FExtent);
    }
    return r;
}

TRect TKitBevel::PaintBevel(TCanvas& Canvas, const TRect& Rect, bool KeepBorder) {
    TRect r = Rect;
    if (FExtent == 0 && FExtentRB == 0) return r;
    switch (FMode) {
        case bmCustom:
            if (FStyle[0] == bvShadow) {
                DrawShadowBevel(Canvas, r, FColors[1], FColors[2], FColors[0],
                                static_cast<uint8_t>(FWidth[0]), static_cast<uint8_t>(FWidth[1]), KeepBorder);
            } else {
                DrawBevelBand(Canvas, r, FStyle[0], FColors[1], FColors[2], FWidth[0]);
                PlainFrames(Canvas, r, FBorder[0], FColors[0], KeepBorder);
                DrawBevelBand(Canvas, r, FStyle[1], FColors[1], FColors[2], FWidth[1]);
            }
            break;
        case bmStandard:
            DrawBorderStyle(Canvas, r, FStandardStyle, 0);
            break;
        case bmEdge:
            if (FSides != 0) {
                static constexpr uint32_t Edges[] = {BDR_RAISEDINNER, BDR_RAISEDOUTER, BDR_SUNKENINNER,
                                                     BDR_SUNKENOUTER, EDGE_BUMP,       EDGE_ETCHED,
                                                     EDGE_RAISED,     EDGE_SUNKEN};
                uint32_t sides = 0;
                if (FSides & (1u << fsLeft)) sides |= BF_LEFT;
                if (FSides & (1u << fsTop)) sides |= BF_TOP;
                if (FSides & (1u << fsRight)) sides |= BF_RIGHT;
                if (FSides & (1u << fsBottom)) sides |= BF_BOTTOM;
                TRect e = r;
                DrawEdge(Canvas.Handle(), e, Edges[FEdgeStyle], sides);
                Shrink(r, 2);
            }
            break;
        case bmWindows:
            DrawBorderStyle(Canvas, r, lsLoweredExt, 0);
            break;
    }
    PlainFrames(Canvas, r, FBorder[1], FColors[0], KeepBorder);
    return r;
}

void TKitBevel::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TKitBevel*>(Source);
    if (src == nullptr) {
        TKitObject::Assign(Source);
        return;
    }
    FMode = src->FMode;
    std::copy(std::begin(src->FStyle), std::end(src->FStyle), FStyle);
    std::copy(std::begin(src->FWidth), std::end(src->FWidth), FWidth);
    std::copy(std::begin(src->FBorder), std::end(src->FBorder), FBorder);
    std::copy(std::begin(src->FColors), std::end(src->FColors), FColors);
    FStandardStyle = src->FStandardStyle;
    FEdgeStyle = src->FEdgeStyle;
    FSides = src->FSides;
    FWindowBorder = src->FWindowBorder;
    Changed();
}

std::string TKitBevel::SummaryText() const {
    static constexpr const char* Names[] = {"Custom style", "Standard style", "Edged style", "Windows style"};
    return std::string("{") + Names[FMode] + "}";
}

// ---- TKitCustomControl ----------------------------------------------------------------------------

TKitCustomControl::TKitCustomControl(TComponent* AOwner)
    : TCustomControl(AOwner),
      FImage(this, [this] { ImageListChanged(this); }),
      FBackFX(std::make_unique<TKitBitmapEffectObject>()) {
    FBackFX->OnChange = [this](TObject* Sender) { ObjectChanged(Sender); };
    SetBounds(Left(), Top(), 100, 40);
    SetTabStop(false);
}

TKitCustomControl::~TKitCustomControl() {
    FBackFX->OnChange = nullptr;
}

void TKitCustomControl::SetTransparent(bool Value) {
    if (FTransparent == Value) return;
    FTransparent = Value;
    if (Value)
        ControlStyle &= ~csOpaque;
    else
        ControlStyle |= csOpaque;
    if (HandleAllocated()) RecreateWnd();
}

void TKitCustomControl::SetFlat(bool Value) {
    if (FFlat == Value) return;
    FFlat = Value;
    FlatChanged();
    ShowBorderState();
}

void TKitCustomControl::SetCtlXP(bool Value) {
    if (FCtlXP == Value) return;
    FCtlXP = Value;
    ThemeSettingsChanged();
}

void TKitCustomControl::ThemeSettingsChanged() {
    Invalidate();
    PassToChildren(CM_KITTHEMECHANGED);
}

bool TKitCustomControl::UsesThemedParentBack() const {
    return FTransparent && KitApplication()->UseThemes() && FCtlXP && !HasBackImage();
}

bool TKitCustomControl::ThemedDrawing() const {
    return CanDrawThemed() && KitApplication()->UseThemes() && FCtlXP;
}

void TKitCustomControl::ObjectChanged(TObject*) {
    Invalidate();
}

bool TKitCustomControl::DrawBackImage(TCanvas&, const TRect&, const TPoint&) {
    return false;
}

void TKitCustomControl::FillBackground(TCanvas& Canvas, const TRect& Rect) {
    if (ThemedDrawing()) return;
    if (BackFromImage() && DrawBackImage(Canvas, Rect, TPoint{0, 0})) return;
    Canvas.Brush.Color = Color();
    Canvas.Brush.Style = bsSolid;
    Canvas.FillRect(Rect);
}

void TKitCustomControl::PaintBackground() {
    if (FThemeBackDrawn) return;
    if (UsesThemedParentBack() && ParentThemeBackAllowed()) return;
    const TRect client = ClientRect();
    if (BackFromImage() && DrawBackImage(Canvas(), client, TPoint{0, 0})) return;
    Canvas().Brush.Color = Color();
    Canvas().Brush.Style = bsSolid;
    Canvas().FillRect(client);
}

void TKitCustomControl::Paint() {
    if (IsLoading()) return;
    FPainting = true;
    try {
        PaintBackground();
        if (!IsDesigning()) {
            if (FHasFocus || FMouseInside)
                DrawHotBorder();
            else
                DrawFlatBorder();
        } else if (ShowDesignFrame()) {
            Canvas().Pen.Style = psDash;
            Canvas().Pen.Color = clBlack;
            Canvas().Brush.Style = bsClear;
            Canvas().Rectangle(0, 0, Width(), Height());
        }
    } catch (...) {
        FPainting = false;
        throw;
    }
    FPainting = false;
}

void TKitCustomControl::ShowBorderState() {
    // Borders are drawn as part of painting, so a state change repaints.
    Invalidate();
}

void TKitCustomControl::DrawFlatBorder() {
    if (FHasFocus || !FFlat || FMouseInside) return;
    TCanvas& c = Canvas();
    c.Brush.Color = clBtnFace;
    c.Brush.Style = bsSolid;
    TRect r{0, 0, Width(), Height()};
    c.FrameRect(r);
    if (Ctl3D()) {
        Shrink(r, 1);
        c.FrameRect(r);
    }
}

void TKitCustomControl::DrawHotBorder() {
    if (!FFlat) return;
    TCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    const TRect whole{0, 0, Width(), Height()};
    if (Ctl3D()) {
        c.Brush.Color = clWindowFrame;
        c.FrameRect(TRect{1, 1, whole.Right, whole.Bottom});
        c.Brush.Color = clBtnFace;
        c.FrameRect(TRect{0, 0, whole.Right - 1, whole.Bottom - 1});
        TRect e = whole;
        DrawEdge(c.Handle(), e, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    } else {
        c.Brush.Color = clWindowFrame;
        c.FrameRect(whole);
    }
}

void TKitCustomControl::MouseEntered() {
    if (OnMouseEnter) OnMouseEnter(this);
    FMouseInside = true;
    if (FFlat) ShowBorderState();
}

void TKitCustomControl::MouseExited() {
    FMouseInside = false;
    if (!FHasFocus && FFlat) ShowBorderState();
    if (OnMouseExit) OnMouseExit(this);
}

void TKitCustomControl::PassToChildren(uint32_t Msg) {
    for (int i = 0; i < ControlCount(); ++i) Controls(i)->Perform(Msg, 0, 0);
}

void TKitCustomControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_ERASEBKGND:
            FThemeBackDrawn = false;
            if (FTransparent) {
                // No theme library: the parent's themed background is never drawn here.
                if (BackFromImage()) {
                    Message.Result = 1;
                    return;
                }
            }
            TCustomControl::Dispatch(Message);
            return;
        case WM_SETFOCUS:
            TCustomControl::Dispatch(Message);
            FHasFocus = true;
            if (FFlat) ShowBorderState();
            PostMessage(Handle(), CM_KITFOCUSGAINED, 0, 0);
            return;
        case WM_KILLFOCUS:
            TCustomControl::Dispatch(Message);
            FHasFocus = false;
            if (FFlat) ShowBorderState();
            if (HandleAllocated()) PostMessage(Handle(), CM_KITFOCUSLOST, 0, 0);
            return;
        case CM_KITFOCUSGAINED:
            if (OnFocusGained) OnFocusGained(this);
            return;
        case CM_KITFOCUSLOST:
            if (OnFocusLost) OnFocusLost(this);
            return;
        case CM_MOUSEENTER:
            TCustomControl::Dispatch(Message);
            MouseEntered();
            return;
        case CM_MOUSELEAVE:
            TCustomControl::Dispatch(Message);
            MouseExited();
            return;
        case CM_SYSCOLORCHANGE:
            TCustomControl::Dispatch(Message);
            if (!FTransparent) Invalidate();
            return;
        case WM_SIZE:
            TCustomControl::Dispatch(Message);
            FBackFX->InvalidateBuffer();
            if (BackFromImage()) {
                Repaint();
                PassToChildren(CM_KITPARENTBACKCHANGED);
            } else {
                Invalidate();
            }
            return;
        case WM_MOVE:
            TCustomControl::Dispatch(Message);
            if (BackFromImage()) {
                FBackFX->InvalidateBuffer();
                Repaint();
            }
            return;
        case CM_KITPARENTBACKCHANGED:
            if ((ComponentState() & (csLoading | csDestroying)) != 0) return;
            FBackFX->InvalidateBuffer();
            if (BackFromImage()) {
                Repaint();
                PassToChildren(CM_KITPARENTBACKCHANGED);
            } else {
                Invalidate();
            }
            return;
        case CM_KITBACKFROMIMAGE:
            if (BackFromImage()) PassToChildren(CM_KITPARENTBACKCHANGED);
            return;
        case CM_KITTHEMECHANGED:
            ThemeSettingsChanged();
            return;
        default:
            TCustomControl::Dispatch(Message);
    }
}

void TKitCustomControl::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN;
    Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TKitCustomControl::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove) FImage.Removed(AComponent);
}

void TKitCustomControl::DefineProperties(TFiler* Filer) {
    TCustomControl::DefineProperties(Filer);
    FImage.DefineProperties(Filer);
}

// ---- TKitCustomPanel ------------------------------------------------------------------------------

TKitCustomPanel::TKitCustomPanel(TComponent* AOwner) : TKitCustomControl(AOwner) {
    ControlStyle =
        csAcceptsControls | csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks | csReplicatable;
    SetColor(clBtnFace);
}

TBitmap* TKitCustomPanel::ParentPicture() const {
    if (!Transparent() || Parent() == nullptr) return nullptr;
    if (auto* kit = dynamic_cast<TKitCustomControl*>(Parent())) {
        if (kit->HandleAllocated() && kit->HasBackImage()) return kit->BackImage();
        return nullptr;
    }
    if (auto* form = dynamic_cast<TCustomForm*>(Parent())) {
        if (!form->HandleAllocated()) return nullptr;
        if (TKitFormShape* shape = FindFormShape(form)) return shape->BackgroundPicture();
    }
    return nullptr;
}

bool TKitCustomPanel::HasBackImage() const {
    return ParentPicture() != nullptr;
}

TBitmap* TKitCustomPanel::BackImage() {
    return ParentPicture();
}

TPoint TKitCustomPanel::MapToBackImage(const TPoint& P) const {
    TPoint r{Left() + P.X, Top() + P.Y};
    if (auto* kit = dynamic_cast<TKitCustomControl*>(Parent())) {
        r = kit->MapToBackImage(TPoint{Left(), Top()});
        r.X += P.X;
        r.Y += P.Y;
    }
    r.X += (Width() - ClientWidth()) / 2;
    r.Y += (Height() - ClientHeight()) / 2;
    return r;
}

bool TKitCustomPanel::DrawBackImage(TCanvas& Canvas, const TRect& Rect, const TPoint& Offset) {
    if ((ComponentState() & (csLoading | csDestroying)) != 0) return false;
    TBitmap* picture = BackImage();
    if (picture == nullptr) return false;
    const TPoint corner = MapToBackImage(TPoint{0, 0});
    TRect source = Rect;
    source = OffsetRect(source, corner.X + Offset.X, corner.Y + Offset.Y);
    Canvas.CopyRect(Rect, picture->Canvas(), source);
    return true;
}

// ---- TKitCustomBevelPanel -------------------------------------------------------------------------

TKitCustomBevelPanel::TKitCustomBevelPanel(TComponent* AOwner)
    : TKitCustomPanel(AOwner), FBevel(std::make_unique<TKitBevel>()) {
    FBevel->SetWindowBorder(true);
    FBevel->OnChange = [this](TObject*) { BevelChanged(); };
}

TKitCustomBevelPanel::~TKitCustomBevelPanel() {
    FBevel->OnChange = nullptr;
}

void TKitCustomBevelPanel::BevelChanged() {
    if (IsLoading()) return;
    FBevel->SetWindowBorder(true);
    if (FBevel->TakeRecreateNeeded() && HandleAllocated()) RecreateWnd();
    Realign();
    Invalidate();
}

void TKitCustomBevelPanel::CreateParams(TCreateParams& Params) {
    TKitCustomPanel::CreateParams(Params);
    if (FBevel->Mode() == bmWindows) {
        if (Ctl3D())
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
        if (ThemedDrawing()) {
            Params.ExStyle &= ~WS_EX_CLIENTEDGE;
            Params.Style &= ~WS_BORDER;
        }
    }
}

void TKitCustomBevelPanel::AlignControls(TControl* AControl, TRect& Rect) {
    Rect = FBevel->InnerRect(Rect);
    TKitCustomPanel::AlignControls(AControl, Rect);
}

void TKitCustomBevelPanel::Paint() {
    if (IsLoading()) return;
    PaintBackground();
    if (IsDesigning() && FBevel->Extent() == 0 && FBevel->Mode() != bmWindows) {
        Canvas().Pen.Style = psDash;
        Canvas().Pen.Color = clBlack;
        Canvas().Brush.Style = bsClear;
        Canvas().Rectangle(0, 0, Width(), Height());
    } else if (HasFocus() || MouseInside() || !Flat() || IsDesigning()) {
        FBevel->PaintBevel(Canvas(), ClientRect(), Transparent());
    } else {
        DrawFlatBorder();
    }
}

void TKitCustomBevelPanel::DrawHotBorder() {
    if (FBevel->Mode() == bmWindows) {
        TKitCustomPanel::DrawHotBorder();
        return;
    }
    FBevel->PaintBevel(Canvas(), ClientRect(), true);
}

void TKitCustomBevelPanel::DrawFlatBorder() {
    if (HasFocus() || !Flat() || MouseInside()) return;
    if (FBevel->Mode() == bmWindows) {
        TKitCustomPanel::DrawFlatBorder();
        return;
    }
    const int e = FBevel->Extent(), rb = FBevel->ExtentRB();
    const int w = Width(), h = Height();
    FillBackground(Canvas(), TRect{0, 0, w, e});
    FillBackground(Canvas(), TRect{0, e, e, h});
    FillBackground(Canvas(), TRect{e, h - rb - 1, w, h});
    FillBackground(Canvas(), TRect{w - rb, e, w, h - rb});
}

void TKitCustomBevelPanel::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_CTL3DCHANGED) {
        TKitCustomPanel::Dispatch(Message);
        if (FBevel->Mode() == bmWindows && !ThemedDrawing() && HandleAllocated()) RecreateWnd();
        return;
    }
    TKitCustomPanel::Dispatch(Message);
}

void TKitSimplePanel::SetBevel(TKitBevel* Value) {
    Bevel().Assign(Value);
    Perform(CM_KITBEVELASSIGNED, 0, 0);
}

}  // namespace kit
