#include "controls/kit/KitImage.h"

#include "controls/kit/KitButton.h"
#include "controls/kit/KitRegion.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"

namespace kit {

using namespace framework;

// ---- TKitControl ----------------------------------------------------------------------------------

void TKitControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const TRect old = BoundsRect();
    TGraphicControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (IsLoading()) return;
    const TRect now = BoundsRect();
    int kind = 0;
    if (now.Left != old.Left || now.Top != old.Top) kind |= bcPosition;
    if (now.Width() != old.Width() || now.Height() != old.Height()) kind |= bcSize;
    if (kind != 0) BoundsChanged(kind);
}

void TKitControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_MOUSEENTER:
            TGraphicControl::Dispatch(Message);
            if (!IsDesigning()) MouseEntered();
            return;
        case CM_MOUSELEAVE:
            TGraphicControl::Dispatch(Message);
            if (!IsDesigning()) MouseLeft();
            return;
        case CM_KITTHEMECHANGED:
            ThemeSettingsChanged();
            return;
        default:
            TGraphicControl::Dispatch(Message);
    }
}

void TKitControl::ThemeSettingsChanged() {
    if (UsesThemes()) Invalidate();
}

void TKitControl::BoundsChanged(int Kind) {
    if (OnBoundsChanged) OnBoundsChanged(this, Kind);
}

void TKitControl::MouseEntered() {
    if (Enabled() && OnMouseEntered) OnMouseEntered(this);
}

void TKitControl::MouseLeft() {
    if (Enabled() && OnMouseLeft) OnMouseLeft(this);
}

void TKitControl::Changed() {
    if (!Updating() && !IsLoading()) Invalidate();
}

// ---- TKitBaseControl ------------------------------------------------------------------------------

TKitBaseControl::TKitBaseControl(TComponent* AOwner)
    : TKitControl(AOwner),
      FImage(this, [this] { ImageListChanged(this); }),
      FBackFX(std::make_unique<TKitBitmapEffectObject>()) {
    FBackFX->OnChange = [this](TObject*) { Changed(); };
}

TKitBaseControl::~TKitBaseControl() {
    FBackFX->OnChange = nullptr;
}

void TKitBaseControl::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_KITPARENTBACKCHANGED) {
        if (Visible()) {
            if (!IsLoading() && HasParentBackImage()) Changed();
            FBackFX->InvalidateBuffer();
        }
        return;
    }
    TKitControl::Dispatch(Message);
}

void TKitBaseControl::Notification(TComponent* AComponent, TOperation Operation) {
    TKitControl::Notification(AComponent, Operation);
    if (Operation == opRemove) FImage.Removed(AComponent);
}

void TKitBaseControl::DefineProperties(TFiler* Filer) {
    TKitControl::DefineProperties(Filer);
    FImage.DefineProperties(Filer);
}

// ---- TKitBaseGraphicControl -----------------------------------------------------------------------

TKitBaseGraphicControl::TKitBaseGraphicControl(TComponent* AOwner) : TKitBaseControl(AOwner) {
    ControlStyle &= ~csOpaque;
    ControlStyle |= csReplicatable;
    SetBounds(Left(), Top(), 30, 30);
}

void TKitBaseGraphicControl::SetTransparent(bool Value) {
    if (FTransparent == Value) return;
    if (Value)
        ControlStyle &= ~csOpaque;
    else
        ControlStyle |= csOpaque;
    FTransparent = Value;
    Perform(CM_KITOPACITYCHANGED, 0, 0);
}

void TKitBaseGraphicControl::Redraw() {
    if (Updating()) return;
    if (FTransparent)
        Invalidate();
    else
        Repaint();
}

bool TKitBaseGraphicControl::HasParentBackImage() const {
    if (!FTransparent || Parent() == nullptr) return false;
    if (auto* kit = dynamic_cast<TKitCustomControl*>(Parent()))
        return kit->HandleAllocated() && kit->HasBackImage();
    if (auto* form = dynamic_cast<TCustomForm*>(Parent())) {
        if (!form->HandleAllocated()) return false;
        if (TKitFormShape* shape = FindFormShape(form)) return shape->BackgroundPicture() != nullptr;
    }
    return false;
}

void TKitBaseGraphicControl::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_KITOPACITYCHANGED) {
        if (Visible()) Redraw();
        return;
    }
    TKitBaseControl::Dispatch(Message);
}

void TKitBaseGraphicControl::Paint() {
    CountPaint();
    if (IsDesigning()) {
        Canvas().Pen.Style = psDash;
        Canvas().Pen.Color = clBlack;
        Canvas().Brush.Style = bsClear;
        Canvas().Rectangle(0, 0, Width(), Height());
    }
}

// ---- TKitGraphicControl ---------------------------------------------------------------------------

TKitGraphicControl::TKitGraphicControl(TComponent* AOwner)
    : TKitBaseGraphicControl(AOwner), FBevel(std::make_unique<TKitBevel>()) {
    FBevel->OnChange = [this](TObject*) { Changed(); };
}

TKitGraphicControl::~TKitGraphicControl() {
    FBevel->OnChange = nullptr;
}

void TKitGraphicControl::SetBevel(TKitBevel* Value) {
    FBevel->Assign(Value);
    Perform(CM_KITBEVELASSIGNED, 0, 0);
}

void TKitGraphicControl::Paint() {
    if (IsLoading()) return;
    if (IsEmpty() && FBevel->Extent() == 0) {
        TKitBaseGraphicControl::Paint();
        return;
    }
    CountPaint();
    FBevel->PaintBevel(Canvas(), ClientRect(), Transparent());
}

// ---- TKitBaseImage --------------------------------------------------------------------------------

TKitBaseImage::TKitBaseImage(TComponent* AOwner) : TKitGraphicControl(AOwner) {
    ControlStyle |= csReplicatable;
}

void TKitBaseImage::SetStyle(TKitBitmapStyle Value) {
    if (Store(FStyle, Value)) Redraw();
}

void TKitBaseImage::SetQuickDraw(bool Value) {
    if (Store(FQuickDraw, Value)) Redraw();
}

// ---- TKitTransparent ------------------------------------------------------------------------------

void TKitTransparent::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TKitTransparent*>(Source)) {
        FColor = src->FColor;
        FMode = src->FMode;
        Change();
        return;
    }
    TKitObject::Assign(Source);
}

// ---- TKitCustomNImage -----------------------------------------------------------------------------

uint32_t ImagePlacementFlags(TKitBitmapStyle Style, bool BevelHasExtent) {
    static constexpr uint32_t Flags[] = {0x0001, 0x0001, 0x0009, 0x0010, 0x0021, 0x0610, 0x0211, 0x0411};
    uint32_t f = Flags[Style];
    if (!BevelHasExtent) f ^= dbClip;
    return f;
}

TKitCustomNImage::TKitCustomNImage(TComponent* AOwner)
    : TKitBaseImage(AOwner),
      FBitmap(std::make_unique<TBitmap>()),
      FTransparentStyle(std::make_unique<TKitTransparent>()) {
    FBitmap->OnChange = [this](TObject*) { Changed(); };
    FTransparentStyle->OnChange = [this](TObject*) { Changed(); };
    SetParentColor(true);
}

TKitCustomNImage::~TKitCustomNImage() {
    FBitmap->OnChange = nullptr;
    FTransparentStyle->OnChange = nullptr;
    if (FControl) FControl->RemoveFreeNotification(this);
}

void TKitCustomNImage::SetBitmap(const TBitmap* Value) {
    if (Value)
        FBitmap->Assign(*Value);
    else
        FBitmap->FreeImage();
    Changed();
}

void TKitCustomNImage::SetControl(TKitCustomNImage* Value) {
    if (Value == FControl || Value == this) return;
    if (FControl) FControl->RemoveFreeNotification(this);
    FControl = Value;
    if (FControl) FControl->FreeNotification(this);
    Redraw();
}

void TKitCustomNImage::Notification(TComponent* AComponent, TOperation Operation) {
    TKitBaseImage::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent != nullptr && AComponent == FControl) {
        FControl = nullptr;
        Redraw();
    }
}

TBitmap& TKitCustomNImage::Picture() {
    return FControl ? FControl->Bitmap() : *FBitmap;
}

bool TKitCustomNImage::IsEmpty() const {
    const TBitmap& b = FControl ? *FControl->FBitmap : *FBitmap;
    return b.Empty();
}

bool TKitCustomNImage::AdjustImageSize() {
    if (Style() != sbAutosize) return false;
    const int bevel = 2 * Bevel().Extent();
    const TBitmap& picture = Picture();
    const int w = (picture.Empty() ? 20 : picture.Width()) + bevel;
    const int h = (picture.Empty() ? 20 : picture.Height()) + bevel;
    if (w == Width() && h == Height()) return false;
    SetBounds(Left(), Top(), w, h);
    return true;
}

void TKitCustomNImage::Paint() {
    if (IsLoading() || AdjustImageSize()) return;
    CountPaint();
    const TRect client = ClientRect();
    if (!Transparent()) {
        Canvas().Brush.Color = Color();
        Canvas().Brush.Style = bsSolid;
        Canvas().FillRect(client);
    } else if (IsEmpty() && Bevel().Extent() == 0) {
        TKitGraphicControl::Paint();
        return;
    }
    const TRect inner = Bevel().PaintBevel(Canvas(), client, Transparent());
    if (IsEmpty()) return;
    try {
        TBitmap& picture = Picture();
        uint32_t flags = 0;
        TColor color = 0;
        switch (TransparentStyle().Mode()) {
            case tpNone:
                break;
            case tpRestoreBack:
                flags = dbTransparentColor;
                color = picture.TransparentColor();
                break;
            case tpTransparentColor:
                flags = dbBrushCopy;
                color = TransparentStyle().Color();
                break;
            case tpRBTranspColor:
                flags = dbTransparentColor;
                color = TransparentStyle().Color();
                break;
        }
        flags |= ImagePlacementFlags(Style(), Bevel().Extent() != 0);
        TBitmap copy;
        copy.Assign(picture);
        copy.SetPixelFormat(pf24bit);
        BackFX().Apply(copy);
        DrawCanvasPart(Canvas(), inner, &copy, flags, PackOffset(Left(), Top()), color);
    } catch (const Exception&) {
        // A picture that cannot be drawn leaves the control as painted so far.
    }
}

}  // namespace kit
