#include "controls/kit/StyledLabel.h"

#include <algorithm>
#include <cmath>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"

namespace kit {

using namespace framework;

namespace {

int RoundEven(double V) {
    return static_cast<int>(std::nearbyint(V));
}

// Colour between From (k = 0) and To (k = Steps), per channel, rounded.
TColor Blend(TColor From, TColor To, int K, int Steps) {
    const uint32_t f = ColorToRGB(From), t = ColorToRGB(To);
    const auto ch = [&](uint8_t a, uint8_t b) {
        return static_cast<uint8_t>(a + RoundEven((double(b) - a) / Steps * K));
    };
    return RGB(ch(GetRValue(f), GetRValue(t)), ch(GetGValue(f), GetGValue(t)),
               ch(GetBValue(f), GetBValue(t)));
}

constexpr TColor kKeyColor = 0xFE09F1;

}  // namespace

void DirectionOffset(TStyledShadeDirection Direction, int& DX, int& DY) {
    static const int d[9][2] = {{0, 0}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};
    DX = d[Direction][0];
    DY = d[Direction][1];
}

// ---- Settings ----

void TStyledCustomSettings::Fire() {
    if (FUpdating > 0) return;
    const bool colour = FColorPending, style = FStylePending;
    FColorPending = FStylePending = false;
    if (colour && OnColorChange) OnColorChange();
    if (style && OnStyleChange) OnStyleChange();
}

void TStyledCustomSettings::EndUpdate() {
    if (FUpdating > 0 && --FUpdating == 0) Fire();
}

void TStyledCustomSettings::Assign(const TStyledCustomSettings& S) {
    BeginUpdate();
    SetGraduateFromColor(S.FGraduateFromColor);
    SetGraduateStyle(S.FGraduateStyle);
    SetHighlightColor(S.FHighlightColor);
    SetHighlightDepth(S.FHighlightDepth);
    SetHighlightDirection(S.FHighlightDirection);
    SetHighlightStyle(S.FHighlightStyle);
    SetShadowColor(S.FShadowColor);
    SetShadowDepth(S.FShadowDepth);
    SetShadowDirection(S.FShadowDirection);
    SetShadowStyle(S.FShadowStyle);
    EndUpdate();
}

// ---- Label ----

TStyledCustomLabel::TStyledCustomLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
    FSchemes = {{{clWhite, clBlack, clGray},
                 {clWhite, clGray, clBlack},
                 {clWhite, clBlack, clGray},
                 {clWhite, clBlack, clSilver},
                 {clYellow, clBlack, clOlive},
                 {clAqua, clNavy, clTeal}}};
    SetAutoSize(false);
    SetBounds(Left(), Top(), 150, 35);
    SetTransparent(true);
    SetParentFont(false);
    Font().Name = "Times New Roman";
    Font().SetSize(20);
    Font().Color = FSchemes[csWindows].Text;
    Font().Changed();
    SetWordWrap(true);
    FSettings.OnColorChange = [this] { SettingsColorChanged(); };
    FSettings.OnStyleChange = [this] { SettingsStyleChanged(); };
}

TStyledCustomLabel::~TStyledCustomLabel() {
    FSettings.OnColorChange = nullptr;
    FSettings.OnStyleChange = nullptr;
}

void TStyledCustomLabel::SettingsColorChanged() {
    if (ComponentState() & csLoading) return;
    if (!FChangingScheme) {
        FColorScheme = csCustom;
        Perform(CM_COLORCHANGED, 0, 0);
    }
    Invalidate();
}

void TStyledCustomLabel::SettingsStyleChanged() {
    if (ComponentState() & csLoading) return;
    if (!FChangingAppearance) {
        FAppearance = apCustom;
        Perform(CM_TEXTCHANGED, 0, 0);
    }
    Invalidate();
}

void TStyledCustomLabel::SetColorScheme(TStyledColorScheme Value) {
    if (Value == FColorScheme) return;
    FColorScheme = Value;
    FChangingScheme = true;
    FSettings.BeginUpdate();
    const TSchemeColors row = FSchemes[Value];
    FSettings.SetHighlightColor(row.Highlight);
    Font().Color = row.Text;
    Font().Changed();
    FSettings.SetShadowColor(row.Shadow);
    if (Value != csCustom) FSchemes[csCustom] = row;  // csCustom keeps the last scheme chosen
    FSettings.EndUpdate();
    FChangingScheme = false;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TStyledCustomLabel::SetAppearance(TStyledAppearance Value) {
    if (Value == FAppearance) return;
    FAppearance = Value;
    // The colours set here belong to the appearance: the scheme stays.
    FChangingAppearance = true;
    FChangingScheme = true;
    FSettings.BeginUpdate();
    FSettings.SetHighlightColor(FSchemes[FColorScheme].Highlight);
    const auto set = [&](TStyledShadeDirection hd, int hdepth, TStyledShadeDirection sd, int sdepth) {
        FSettings.SetHighlightDirection(hd);
        FSettings.SetHighlightDepth(static_cast<TStyledDepth>(hdepth));
        FSettings.SetShadowDirection(sd);
        FSettings.SetShadowDepth(static_cast<TStyledDepth>(sdepth));
    };
    switch (Value) {
        case apNone:
            set(sdNone, 0, sdNone, 0);
            break;
        case apCustom:
            break;
        case apFlying:
            set(sdDownRight, 1, sdDownRight, 5);
            FSettings.SetHighlightColor(FSchemes[FColorScheme].Shadow);
            break;
        case apRaised:
            set(sdUpLeft, 1, sdDownRight, 1);
            break;
        case apSunken:
            set(sdDownRight, 1, sdUpLeft, 1);
            break;
        case apShadow:
            set(sdNone, 0, sdDownRight, 2);
            break;
    }
    FSettings.EndUpdate();
    FChangingScheme = false;
    FChangingAppearance = false;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TStyledCustomLabel::DrawLayers(TCanvas& C, const TRect& R, uint32_t Flags, TStyledDepth Depth,
                                    TStyledShadeDirection Direction, TStyledShadeStyle Style, TColor Color) {
    if (Depth == 0) return;
    int dx = 0, dy = 0;
    DirectionOffset(Direction, dx, dy);
    const int last = (Style == ssPlain || Depth <= 1) ? Depth : 1;
    for (int k = Depth; k >= last; --k) {
        C.Font.Color =
            Style == ssGraduated && Depth > 1 ? Blend(Color, Font().Color, Depth - k, Depth - 1) : Color;
        TRect r = Rect(R.Left + k * dx, R.Top + k * dy, R.Right + k * dx, R.Bottom + k * dy);
        std::string text = Caption();
        DrawTextEx(C.Handle(), text, r, Flags);
    }
}

void TStyledCustomLabel::Paint() {
    const int W = Width(), H = Height();
    if (W <= 0 || H <= 0) return;
    const TStyledCustomSettings& s = FSettings;
    int hdx, hdy, sdx, sdy;
    DirectionOffset(s.HighlightDirection(), hdx, hdy);
    DirectionOffset(s.ShadowDirection(), sdx, sdy);
    const int hd = s.HighlightDepth(), sd = s.ShadowDepth();
    const int lo = std::min({0, hdx * hd, hdy * hd, sdx * sd, sdy * sd});
    const int hi = std::max({0, hdx * hd, hdy * hd, sdx * sd, sdy * sd});
    const int c = Alignment() == taCenter ? (hi - lo) / 2 : Alignment() == taRightJustify ? hi - lo : 0;
    const TRect r = Rect(-lo - c, -lo, W - lo - c, H - lo);
    uint32_t flags = DT_EXPANDTABS;
    flags |= Alignment() == taCenter ? DT_CENTER : Alignment() == taRightJustify ? DT_RIGHT : DT_LEFT;
    if (WordWrap()) flags |= DT_WORDBREAK;
    if (!ShowAccelChar()) flags |= DT_NOPREFIX;

    TBitmap work;
    work.SetPixelFormat(pf24bit);
    work.SetSize(W, H);
    TCanvas& wc = work.Canvas();
    if (Transparent()) {
        BitBlt(wc.Handle(), 0, 0, W, H, Canvas().Handle(), 0, 0, SRCCOPY);
    } else {
        wc.Brush.Style = bsSolid;
        wc.Brush.Color = Color();
        wc.FillRect(Rect(0, 0, W, H));
    }
    wc.Font.Assign(Font());
    wc.Brush.Style = bsClear;
    DrawLayers(wc, r, flags, static_cast<TStyledDepth>(sd), s.ShadowDirection(), s.ShadowStyle(),
               s.ShadowColor());
    DrawLayers(wc, r, flags, static_cast<TStyledDepth>(hd), s.HighlightDirection(), s.HighlightStyle(),
               s.HighlightColor());
    std::string text = Caption();
    TRect tr = r;
    if (s.GraduateStyle() == gsNone) {
        wc.Font.Color = Font().Color;
        DrawTextEx(wc.Handle(), text, tr, flags);
    } else {
        // The text in a key colour on a copy; bands of the colour run then replace the key pixels.
        TBitmap keyed;
        keyed.SetPixelFormat(pf24bit);
        keyed.SetSize(W, H);
        BitBlt(keyed.Canvas().Handle(), 0, 0, W, H, wc.Handle(), 0, 0, SRCCOPY);
        keyed.Canvas().Font.Assign(Font());
        keyed.Canvas().Font.Color = kKeyColor;
        keyed.Canvas().Brush.Style = bsClear;
        DrawTextEx(keyed.Canvas().Handle(), text, tr, flags);
        const int textWidth = wc.TextWidth(Caption());
        wc.Brush.Style = bsSolid;
        for (int i = 0; i < 16; ++i) {
            wc.Brush.Color = Blend(s.GraduateFromColor(), Font().Color, i, 15);
            TRect band;
            if (s.GraduateStyle() == gsVertical) {
                const int bh = std::max(1, (H - 1) / 15);
                band = Rect(0, i * bh, W, i == 15 ? H : (i + 1) * bh);
            } else {
                const int bw = std::max(1, (textWidth - 1) / 15);
                const int start = Alignment() == taCenter ? (W - textWidth) / 2 - lo - c : -lo;
                band = Rect(start + i * bw, 0, i == 15 ? W : start + (i + 1) * bw, H);
            }
            wc.BrushCopy(band, &keyed, band, kKeyColor);
        }
    }
    BitBlt(Canvas().Handle(), 0, 0, W, H, wc.Handle(), 0, 0, SRCCOPY);
}

// ---- Attached label ----

TStyledAttachedLabel::TStyledAttachedLabel(TComponent* AOwner) : TStyledCustomLabel(AOwner) {
    SetAutoSize(true);
    SetColorScheme(csText);
    SetAppearance(apNone);
    SetParentFont(true);
    SetTransparent(false);
}

TStyledAttachedLabel::TStyledAttachedLabel(TComponent* AOwner, TStyledBase* Control)
    : TStyledAttachedLabel(AOwner) {
    FStyledControl = Control;
}

TStyledAttachedLabel::~TStyledAttachedLabel() {
    if (!FStyledControl) return;
    TStyledLabelInfo& info = FStyledControl->StyledLabelInfo();
    if (info.FLabel == this) {
        info.FLabel = nullptr;
        info.FVisible = false;
    }
}

void TStyledAttachedLabel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TStyledCustomLabel::SetBounds(ALeft, ATop, AWidth, AHeight);
    // Moved by other means than its control: the control takes the new place as its offsets.
    if (!FPlacing && FStyledControl && FStyledControl->StyledLabelInfo().FLabel == this)
        FStyledControl->TakeLabelPosition();
}

void TStyledAttachedLabel::Loaded() {
    TStyledCustomLabel::Loaded();
    if (FStyledControl) FStyledControl->TakeLabelPosition();
}

// ---- Base and label info ----

void TStyledLabelInfo::SetOffsetX(int Value) {
    FOffsetX = Value;
    if (!(FControl.ComponentState() & csLoading)) FControl.PlaceLabel();
}

void TStyledLabelInfo::SetOffsetY(int Value) {
    FOffsetY = Value;
    if (!(FControl.ComponentState() & csLoading)) FControl.PlaceLabel();
}

void TStyledLabelInfo::SetVisible(bool Value) {
    if (FControl.ComponentState() & csLoading) return;
    if (Value) {
        TCustomForm* form = FControl.ParentForm();
        if (!form) return;
        if (FLabel) {
            TStyledAttachedLabel* old = FLabel;
            FLabel = nullptr;
            old->FStyledControl = nullptr;
            old->Free();
        }
        auto* label = NewComponent<TStyledAttachedLabel>(form, &FControl);
        FLabel = label;
        FVisible = true;
        label->FPlacing = true;
        label->SetParent(FControl.Parent());
        label->SetCaption(FControl.Name() + "Label");
        label->FPlacing = false;
        FOffsetX = FOffsetY = 0;
        FControl.PlaceLabel();
        label->BringToFront();
        label->SetAutoSize(false);
    } else {
        FVisible = false;
        if (FLabel) {
            TStyledAttachedLabel* old = FLabel;
            FLabel = nullptr;
            old->FStyledControl = nullptr;
            old->Free();
        }
    }
}

TStyledBase::TStyledBase(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(Left(), Top(), 75, 25);
}

TStyledBase::~TStyledBase() {
    if (FStyledLabelInfo.FLabel) FStyledLabelInfo.FLabel->FStyledControl = nullptr;
}

void TStyledBase::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    PlaceLabel();
}

void TStyledBase::PlaceLabel() {
    TStyledAttachedLabel* label = FStyledLabelInfo.FLabel;
    if (!label) return;
    label->FPlacing = true;
    label->SetBounds(Left() + FStyledLabelInfo.FOffsetX, Top() + FStyledLabelInfo.FOffsetY - label->Height(),
                     label->Width(), label->Height());
    label->FPlacing = false;
}

void TStyledBase::TakeLabelPosition() {
    TStyledAttachedLabel* label = FStyledLabelInfo.FLabel;
    if (!label) return;
    FStyledLabelInfo.FOffsetX = label->Left() - Left();
    FStyledLabelInfo.FOffsetY = label->Top() + label->Height() - Top();
    FStyledLabelInfo.FVisible = true;
}

}  // namespace kit
