#include "framework/stdctrls/ExtCtrls.h"

#include <algorithm>

namespace framework {

TRect Frame3D(TCanvas& Canvas, TRect R, TColor TopColor, TColor BottomColor, int Width) {
    for (int i = 0; i < Width && R.Width() > 1 && R.Height() > 1; ++i) {
        Canvas.Pen.Color = TopColor;
        Canvas.MoveTo(R.Left, R.Bottom - 1);
        Canvas.LineTo(R.Left, R.Top);
        Canvas.LineTo(R.Right - 1, R.Top);
        Canvas.Pen.Color = BottomColor;
        Canvas.LineTo(R.Right - 1, R.Bottom - 1);
        Canvas.LineTo(R.Left - 1, R.Bottom - 1);
        R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
    }
    return R;
}

// ---------------------------------------------------------------------------------------------
// TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls | csOpaque;
    ControlStyle &= ~csSetCaption;
    FWidth = 185;
    FHeight = 41;
    FColor = clBtnFace;
    FParentColor = false;
}

void TCustomPanel::SetBevelInner(TPanelBevel Value) {
    FBevelInner = Value;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelOuter(TPanelBevel Value) {
    FBevelOuter = Value;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelWidth(TBevelWidth Value) {
    FBevelWidth = std::max(1, Value);
    Realign();
    Invalidate();
}
void TCustomPanel::SetBorderWidth(int Value) {
    FBorderWidth = std::max(0, Value);
    Realign();
    Invalidate();
}
void TCustomPanel::SetBorderStyle(TFormBorderStyle Value) {
    FBorderStyle = Value == bsSingle ? bsSingle : bsNone;
    Realign();
    Invalidate();
}
void TCustomPanel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Invalidate();
}

int TCustomPanel::FrameWidth() const {
    int w = FBorderWidth + (FBorderStyle == bsSingle ? 1 : 0);
    if (FBevelOuter != bvNone) w += FBevelWidth;
    if (FBevelInner != bvNone) w += FBevelWidth;
    return w;
}

void TCustomPanel::AlignControls(TControl* AControl, TRect& R) {
    int f = FrameWidth();
    R = Rect(R.Left + f, R.Top + f, std::max(R.Left + f, R.Right - f), std::max(R.Top + f, R.Bottom - f));
    TCustomControl::AlignControls(AControl, R);
}

void TCustomPanel::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    if (FBorderStyle == bsSingle) r = Frame3D(c, r, clWindowFrame, clWindowFrame, 1);
    auto bevel = [&](TPanelBevel b) {
        if (b == bvNone) return;
        if (b == bvSpace) {
            r = Rect(r.Left + FBevelWidth, r.Top + FBevelWidth, r.Right - FBevelWidth,
                     r.Bottom - FBevelWidth);
            return;
        }
        r = Frame3D(c, r, b == bvLowered ? clBtnShadow : clBtnHighlight,
                    b == bvLowered ? clBtnHighlight : clBtnShadow, FBevelWidth);
    };
    bevel(FBevelOuter);
    r = Rect(r.Left + FBorderWidth, r.Top + FBorderWidth, r.Right - FBorderWidth, r.Bottom - FBorderWidth);
    bevel(FBevelInner);
    if (!FText.empty()) {
        c.Font.Assign(FFont);
        c.Brush.Style = bsClear;
        int th = c.TextHeight("Wg");
        int y = r.Top + (r.Height() - th) / 2;
        DrawCaption(c, Rect(r.Left + 2, y, r.Right - 2, y + th), FText, FAlignment, false);
        c.Brush.Style = bsSolid;
    }
}

void TCustomPanel::Dispatch(TMessage& M) {
    if (M.Msg == CM_TEXTCHANGED || M.Msg == CM_FONTCHANGED) Invalidate();
    TCustomControl::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 50;
    FHeight = 50;
}

void TBevel::SetShape(TBevelShape Value) {
    FShape = Value;
    Invalidate();
}
void TBevel::SetStyle(TBevelStyle Value) {
    FStyle = Value;
    Invalidate();
}

void TBevel::Paint() {
    TCanvas& c = Canvas();
    TColor a = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor b = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = FWidth, h = FHeight;
    auto line = [&](int x1, int y1, int x2, int y2, TColor col) {
        c.Pen.Color = col;
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
    };
    switch (FShape) {
        case bsBox:
            Frame3D(c, Rect(0, 0, w, h), a, b, 1);
            break;
        case bsFrame:
            Frame3D(c, Rect(0, 0, w - 1, h - 1), a, a, 1);
            Frame3D(c, Rect(1, 1, w, h), b, b, 1);
            break;
        case bsTopLine:
            line(0, 0, w, 0, a);
            line(0, 1, w, 1, b);
            break;
        case bsBottomLine:
            line(0, h - 2, w, h - 2, a);
            line(0, h - 1, w, h - 1, b);
            break;
        case bsLeftLine:
            line(0, 0, 0, h, a);
            line(1, 0, 1, h, b);
            break;
        case bsRightLine:
            line(w - 2, 0, w - 2, h, a);
            line(w - 1, 0, w - 1, h, b);
            break;
        case bsSpacer:
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// TShape

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 65;
    FHeight = 65;
}

void TShape::SetShape(TShapeType Value) {
    FShape = Value;
    Invalidate();
}

void TShape::Paint() {
    TCanvas& c = Canvas();
    c.Pen.Assign(FPen);
    c.Brush.Assign(FBrush);
    int w = FWidth, h = FHeight;
    int x = 0, y = 0;
    if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
        int s = std::min(w, h);
        x = (w - s) / 2;
        y = (h - s) / 2;
        w = h = s;
    }
    switch (FShape) {
        case stRectangle:
        case stSquare:
            c.Rectangle(x, y, x + w, y + h);
            break;
        case stRoundRect:
        case stRoundSquare:
            c.RoundRect(x, y, x + w, y + h, std::min(w, h) / 4, std::min(w, h) / 4);
            break;
        case stEllipse:
        case stCircle:
            c.Ellipse(x, y, x + w, y + h);
            break;
    }
    c.Brush.Style = bsSolid;
}

// ---------------------------------------------------------------------------------------------
// TCustomRadioGroup

// The items; every change rebuilds the buttons.
class TCustomRadioGroup::TGroupStrings : public TStringList {
public:
    explicit TGroupStrings(TCustomRadioGroup& Group) : FGroup(Group) {}

protected:
    void Changed() override {
        TStringList::Changed();
        if (UpdateCount() == 0) FGroup.UpdateButtons();
    }

private:
    TCustomRadioGroup& FGroup;
};

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner)
    : TCustomGroupBox(AOwner), FItems(std::make_unique<TGroupStrings>(*this)) {
    FTabStop = true;
}

TCustomRadioGroup::~TCustomRadioGroup() {
    // The buttons are owned by the group as components; forget them before they go.
    FButtons.clear();
}

TRadioButton* TCustomRadioGroup::Buttons(int Index) const {
    return FButtons.at(static_cast<size_t>(Index));
}

void TCustomRadioGroup::SetItemIndex(int Value) {
    if (Value < -1 || Value >= static_cast<int>(FButtons.size())) Value = -1;
    FItemIndex = Value;
    FUpdating = true;
    if (Value >= 0)
        FButtons[static_cast<size_t>(Value)]->SetChecked(true);
    else
        for (TRadioButton* b : FButtons) b->SetChecked(false);
    FUpdating = false;
}

void TCustomRadioGroup::SetColumns(int Value) {
    FColumns = std::clamp(Value, 1, 16);
    ArrangeButtons();
}

void TCustomRadioGroup::UpdateButtons() {
    while (static_cast<int>(FButtons.size()) > FItems->Count()) {
        TRadioButton* b = FButtons.back();
        FButtons.pop_back();
        b->Free();
    }
    while (static_cast<int>(FButtons.size()) < FItems->Count()) {
        auto* b = NewComponent<TRadioButton>(this);
        b->SetParent(this);
        b->OnClick = [this, b](TObject*) {
            if (FUpdating || !b->Checked()) return;
            auto it = std::find(FButtons.begin(), FButtons.end(), b);
            FItemIndex = static_cast<int>(it - FButtons.begin());
            Click();
        };
        FButtons.push_back(b);
    }
    for (size_t i = 0; i < FButtons.size(); ++i) FButtons[i]->SetCaption(FItems->Get(static_cast<int>(i)));
    if (FItemIndex >= static_cast<int>(FButtons.size())) FItemIndex = -1;
    ArrangeButtons();
}

void TCustomRadioGroup::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomGroupBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
    if (FButtons.empty()) return;
    int n = static_cast<int>(FButtons.size());
    int rows = (n + FColumns - 1) / FColumns;
    int top = 16, height = std::max(1, FHeight - top - 4);
    int colWidth = std::max(1, (FWidth - 10) / FColumns);
    int rowHeight = std::max(1, height / rows);
    for (int i = 0; i < n; ++i) {
        int col = i / rows, row = i % rows;
        FButtons[static_cast<size_t>(i)]->SetBounds(
            8 + col * colWidth, top + row * rowHeight + (rowHeight - 17) / 2, colWidth - 4, 17);
    }
}

}  // namespace framework
