#include "controls/kit/KitCheckBox.h"

#include <algorithm>

#include "controls/kit/KitApp.h"
#include "controls/kit/KitButton.h"
#include "controls/kit/KitFace.h"
#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/Caption.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"

namespace kit {

using namespace framework;

// ---- TKitButtonControl ----------------------------------------------------------------------------

TKitButtonControl::TKitButtonControl(TComponent* AOwner)
    : TKitCustomPanel(AOwner),
      FAlignment(std::make_unique<TKitGlyphTextLayout>()),
      FFont3D(std::make_unique<TKit3DCaption>()) {
    ControlStyle &= ~(csAcceptsControls | csDoubleClicks);
    ControlStyle |= csSetCaption | csOpaque;
    SetBounds(Left(), Top(), 105, 17);
    FAlignment->SetSpacing(4);
    FAlignment->OnChange = [this](TObject* Sender) { ObjectChanged(Sender); };
    FFont3D->OnChange = [this](TObject* Sender) { ObjectChanged(Sender); };
}

TKitButtonControl::~TKitButtonControl() {
    FAlignment->OnChange = nullptr;
    FFont3D->OnChange = nullptr;
}

void TKitButtonControl::ObjectChanged(TObject*) {
    if (IsLoading()) return;
    AdjustSize();
    Invalidate();
}

void TKitButtonControl::SetDownGlyph(bool Value) {
    if (Store(FDownGlyph, Value)) RecreateGlyphs();
}

void TKitButtonControl::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustSize();
}

void TKitButtonControl::SetGlyphFlat(bool Value) {
    FGlyphFlat = Value;
    if (FSystemGlyphs) RecreateGlyphs();
}

void TKitButtonControl::SetGlyphTransparent(bool Value) {
    FGlyphTransparent = Value;
    Invalidate();
}

void TKitButtonControl::SetGlyphTransparentColor(TColor Value) {
    FGlyphTransparentColor = Value;
    ObjectChanged(this);
}

void TKitButtonControl::SetGlyphSize(int Value) {
    FGlyphSize = Value;
    if (FSystemGlyphs) RecreateGlyphs();
}

void TKitButtonControl::SetFocusStyle(TKitGlyphTextFocusStyle Value) {
    FFocusStyle = Value;
    if (HasFocus()) ObjectChanged(this);
}

void TKitButtonControl::SetFocusColor(TColor Value) {
    FFocusColor = Value;
    if (HasFocus()) ObjectChanged(this);
}

void TKitButtonControl::SetUseFocusColor(bool Value) {
    FUseFocusColor = Value;
    if (HasFocus()) ObjectChanged(this);
}

void TKitButtonControl::RecreateGlyphs() {
    FStrip.reset();
    ObjectChanged(this);
}

void TKitButtonControl::Loaded() {
    TKitCustomPanel::Loaded();
    Canvas().Font.Assign(Font());
    AdjustSize();
}

void TKitButtonControl::AdjustSize() {
    if (!FAutoSize || IsLoading()) return;
    TNotifyEvent listener = FAlignment->OnChange;
    const TKitAlignment alignment = FAlignment->Alignment();
    FAlignment->OnChange = nullptr;
    FAlignment->SetAlignment(agTopLeft);
    TBitmap measure;
    measure.SetSize(1, 1);
    DrawContent(measure.Canvas(), false);
    FAlignment->SetAlignment(alignment);
    FAlignment->OnChange = listener;
    // The measured rectangle, combined and inflated by the layout, sets the size.
    SetBounds(Left(), Top(), std::max(FBothRect.Right, 1), std::max(FBothRect.Bottom, 1));
}

void TKitButtonControl::DrawFocusFrame(TCanvas& Canvas, const TRect& Rect) {
    if (FUseFocusColor) {
        Canvas.Brush.Style = bsClear;
        Canvas.Pen.Style = psDot;
        Canvas.Pen.Width = 1;
        Canvas.Pen.Color = FFocusColor;
        Canvas.Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
        Canvas.Pen.Style = psSolid;
    } else {
        Canvas.DrawFocusRect(Rect);
    }
}

void TKitButtonControl::DrawContent(TCanvas& Canvas, bool Draw) {
    Canvas.Brush.Color = Color();
    Canvas.Brush.Style = bsSolid;
    Canvas.Font.Assign(Font());
    if (!FStrip) BuildGlyphs();
    TRect client = ClientRect();
    client.Left += 1;
    TRect cell = GlyphCell();
    uint32_t flags = (Enabled() ? gtEnabled : 0x0001) | gtAutoSunken;
    if (Draw)
        flags |= FocusStyleFlags(FFocusStyle);
    else
        flags |= gtMeasureOnly;
    Canvas.Brush.Style = bsClear;
    GlyphTextResult r = DrawGlyphAndText(Canvas, Caption(), FFont3D.get(), client,
                                         FStrip && !cell.IsEmpty() ? &FStrip->Canvas() : nullptr, cell,
                                         nullptr, FGlyphTransparentColor, FAlignment.get(), false, true,
                                         FGlyphTransparent, flags, DT_SINGLELINE);
    FTextRect = r.Text;
    FGlyphRect = r.Glyph;
    FBothRect = Draw ? r.Both : cell;
    if (Draw && HasFocus() && FFocusStyle != fcNone)
        DrawFocusFrame(Canvas, FFocusStyle == fcControl ? ClientRect() : cell);
    FStrip.reset();
}

void TKitButtonControl::Paint() {
    if (!HandleAllocated() || IsLoading()) return;
    if (UseBitmap) {
        TBitmap buffer;
        buffer.SetSize(Width(), Height());
        FillBackground(buffer.Canvas(), ClientRect());
        DrawContent(buffer.Canvas(), true);
        Canvas().Draw(0, 0, &buffer);
    } else {
        PaintBackground();
        DrawContent(Canvas(), true);
    }
}

void TKitButtonControl::MouseEntered() {
    TKitCustomPanel::MouseEntered();
    if (Flat() && (!HasFocus() || ThemedDrawing())) DrawGlyph();
}

void TKitButtonControl::MouseExited() {
    TKitCustomPanel::MouseExited();
    if (Flat() && (!HasFocus() || ThemedDrawing())) DrawGlyph();
}

void TKitButtonControl::WndProc(TMessage& Message) {
    const bool design = (ComponentState() & csDesigning) != 0;
    if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) && !design && !Focused()) {
        FClicksDisabled = true;
        try {
            if (CanFocus()) SetFocus();
        } catch (...) {
            FClicksDisabled = false;
            throw;
        }
        FClicksDisabled = false;
        if (!Focused()) return;  // a control that refused the focus takes no click
    }
    if (Message.Msg == CN_COMMAND && FClicksDisabled) return;
    TKitCustomPanel::WndProc(Message);
}

void TKitButtonControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TKitCustomPanel::Dispatch(Message);
            Repaint();
            return;
        case CM_ENABLEDCHANGED:
        case CM_FONTCHANGED:
            TKitCustomPanel::Dispatch(Message);
            ObjectChanged(this);
            return;
        case CM_TEXTCHANGED:
            TKitCustomPanel::Dispatch(Message);
            TextChanged();
            AdjustSize();
            Invalidate();
            return;
        case WM_LBUTTONDOWN:
            FPressed = true;
            TKitCustomPanel::Dispatch(Message);
            if (ThemedDrawing()) DrawGlyph();
            return;
        case WM_LBUTTONUP:
            FPressed = false;
            TKitCustomPanel::Dispatch(Message);
            if (ThemedDrawing()) DrawGlyph();
            return;
        case CM_KITTHEMECHANGED:
            FStrip.reset();
            Invalidate();
            return;
        default:
            TKitCustomPanel::Dispatch(Message);
    }
}

// ---- TKitCustomCheckBox ---------------------------------------------------------------------------

TKitCustomCheckBox::TKitCustomCheckBox(TComponent* AOwner) : TKitButtonControl(AOwner) {
    SetTabStop(true);
    // The system's check cell size.
    SetGlyphSize(KitApplication()->CheckWidth());
}

void TKitCustomCheckBox::SetState(TKitCheckState Value) {
    if (FState == Value) return;
    FState = Value;
    DrawGlyph();
    if (!IsLoading() && OnChange) OnChange(this);
}

void TKitCustomCheckBox::SetCheckedState(bool Value) {
    if (Value == Checked()) return;
    SetState(Value ? cbChecked : cbUnchecked);
    Changed();
}

void TKitCustomCheckBox::SetGlyphNumber(int Value) {
    FGlyphNumber = std::max(Value, 1);
    ImageListChanged(this);
}

void TKitCustomCheckBox::ImageListChanged(TObject*) {
    RecreateGlyphs();
}

void TKitCustomCheckBox::Click() {
    if (CanModify()) Toggle();
    Changed();
    TKitButtonControl::Click();
}

void TKitCustomCheckBox::Toggle() {
    switch (FState) {
        case cbUnchecked:
            SetState(AllowGrayed ? cbGrayed : cbChecked);
            break;
        case cbChecked:
            SetState(cbUnchecked);
            break;
        case cbGrayed:
            SetState(cbChecked);
            break;
    }
}

void TKitCustomCheckBox::FlatChanged() {
    Invalidate();
}

void TKitCustomCheckBox::BuildGlyphs() {
    auto strip = std::make_unique<TBitmap>();
    TKitCustomImageList* list = ImageList();
    if (list != nullptr && list->HasImage(ListIndex(), ImageIndex())) {
        SetSystemGlyphs(false);
        list->GetImage(ListIndex(), ImageIndex(), *strip);
        int cell = strip->Width() / (2 * FGlyphNumber);
        if (DownGlyph() && Flat())
            cell /= 3;
        else if (DownGlyph() != Flat())
            cell /= 2;
        FCellWidth = std::max(cell, 0);
    } else {
        SetSystemGlyphs(true);
        const int size = GlyphSize();
        const int sets = 1 + (ThemedDrawing() ? 1 : 0) + (Flat() ? 1 : 0);
        strip->SetSize(size * sets * 6, size);
        strip->Canvas().Brush.Color = clBtnFace;
        strip->Canvas().Brush.Style = bsSolid;
        strip->Canvas().FillRect(TRect{0, 0, strip->Width(), size});
        static constexpr uint32_t Cells[6] = {0,
                                              DFCS_INACTIVE,
                                              DFCS_CHECKED,
                                              DFCS_CHECKED | DFCS_INACTIVE,
                                              DFCS_CHECKED | DFCS_BUTTON3STATE,
                                              DFCS_CHECKED | DFCS_BUTTON3STATE | DFCS_INACTIVE};
        // Without a theme library every set is the classic one.
        for (int set = 0; set < sets; ++set)
            for (int i = 0; i < 6; ++i) {
                TRect r{(set * 6 + i) * size, 0, (set * 6 + i + 1) * size, size};
                DrawFrameControl(strip->Canvas().Handle(), r, DFC_BUTTON,
                                 DFCS_BUTTONCHECK | Cells[i] | (GlyphFlat() ? DFCS_FLAT : 0));
            }
        FCellWidth = size;
    }
    SetStrip(std::move(strip));
}

int TKitCustomCheckBox::GlyphIndex() const {
    const int n = SystemGlyphs() ? 3 : FGlyphNumber;
    const int s = std::min(static_cast<int>(PaintCopyState()), n - 1);
    int index = 2 * s + (Enabled() ? 0 : 1);
    if (Pressed() && ((SystemGlyphs() && ThemedDrawing()) || (!SystemGlyphs() && DownGlyph())))
        index += Flat() ? 12 : 6;
    if (Flat() && !MouseInside() && !HasFocus()) index += 6;
    if (Flat() && ThemedDrawing() && HasFocus() && !MouseInside()) index += 6;
    return index;
}

TRect TKitCustomCheckBox::GlyphCell() {
    if (Strip() == nullptr) return TRect{};
    const int index = GlyphIndex();
    return TRect{index * FCellWidth, 0, (index + 1) * FCellWidth, Strip()->Height()};
}

void TKitCustomCheckBox::DrawGlyph() {
    if (!HandleAllocated() || IsLoading() || GlyphRect().IsEmpty()) return;
    // The glyph is redrawn with the next paint of the control.
    TRect r = GlyphRect();
    InvalidateRect(Handle(), &r, false);
}

void TKitCustomCheckBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    TKitButtonControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE && CanModify() && Focused()) Toggle();
}

void TKitCustomCheckBox::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR) {
        if (IsAccelChar(Message, Caption()) && CanFocus()) {
            SetFocus();
            if (Focused() && CanModify()) Toggle();
            Message.Result = 1;
            return;
        }
        TKitButtonControl::Dispatch(Message);
        return;
    }
    if (Message.Msg == WM_GETDLGCODE) {
        Message.Result = DLGC_BUTTON;
        return;
    }
    TKitButtonControl::Dispatch(Message);
}

}  // namespace kit
