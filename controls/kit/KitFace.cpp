#include "controls/kit/KitFace.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "controls/kit/KitApp.h"
#include "controls/kit/KitUtils.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace kit {

using namespace framework;

namespace {

TRect Inflate(TRect R, int D) {
    return TRect{R.Left - D, R.Top - D, R.Right + D, R.Bottom + D};
}

TRect UnionOf(const TRect& A, const TRect& B) {
    if (A.IsEmpty()) return B;
    if (B.IsEmpty()) return A;
    return TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                 std::max(A.Bottom, B.Bottom)};
}

// Saves the device context's state and gives it back when the scope ends, also by an exception;
// a font made for the drawing is freed after it is deselected.
class DcStateGuard {
public:
    explicit DcStateGuard(HDC Dc) : FDc(Dc), FSaved(SaveDC(Dc)) {}
    ~DcStateGuard() {
        RestoreDC(FDc, FSaved);
        if (Font) DeleteObject(Font);
    }
    DcStateGuard(const DcStateGuard&) = delete;
    DcStateGuard& operator=(const DcStateGuard&) = delete;
    HFONT Font = 0;

private:
    HDC FDc;
    int FSaved;
};

// 0 a plain 3D caption, 1 an effect caption without rotation, 2 a rotated one.
int RotationKind(const TKit3DCaption* Caption) {
    auto* fx = dynamic_cast<const TKitFxCaption*>(Caption);
    if (!fx) return 0;
    return fx->Angle() == 0 ? 1 : 2;
}

HFONT RotatedFont(const TFont& Font, int Angle) {
    TLogFont lf = Font.LogFont();
    lf.Escapement = Angle * 10;
    lf.Orientation = Angle * 10;
    return CreateFontIndirect(lf);
}

}  // namespace

void DrawEffectText(TCanvas& Canvas, const std::string& Text, TKit3DCaption* Caption, TRect TextRect,
                    uint32_t Format, uint32_t Flags, const TRect* ClipRect) {
    if (Text.empty() || TextRect.IsEmpty()) return;
    HDC dc = Canvas.Handle();
    if (!Caption) {
        std::string text = Text;
        DrawTextEx(dc, text, TextRect, Format);
        return;
    }
    const int kind = RotationKind(Caption);
    DcStateGuard guard(dc);
    if (Flags & gtClip) {
        const TRect& clip = ClipRect ? *ClipRect : TextRect;
        IntersectClipRect(dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
    }

    TColor textColor;
    TKitThreeDStyle style = Caption->Style();
    if ((Flags & gtEnabled) || Caption->DisabledStyle() == dsNone) {
        textColor =
            (style == tdPColorSunken || style == tdPColorRaised) ? Canvas.Brush.Color : Canvas.Font.Color;
    } else {
        textColor = clGrayText;
        if (Caption->DisabledStyle() == ds3d ||
            (Caption->DisabledStyle() == dsAuto && (Flags & gtAutoSunken)))
            style = tdSunken;
    }

    if (kind == 2) {
        guard.Font = RotatedFont(Canvas.Font, static_cast<TKitFxCaption*>(Caption)->Angle());
        SelectObject(dc, guard.Font);
    }
    if (kind >= 1) {
        auto* fx = static_cast<TKitFxCaption*>(Caption);
        TextRect.Left += fx->PosX();
        TextRect.Top += fx->PosY();
    }
    if (Caption->Tracing() != 0) SetTextCharacterExtra(dc, Caption->Tracing());
    SetBkMode(dc, TRANSPARENT);

    const int L = Caption->LightDepth();
    const int S = Caption->ShadowDepth();
    int x = 0, y = 0;
    auto step = [&](int dx, int dy, TColor color) {
        x += dx;
        y += dy;
        SetTextColor(dc, color);
        if (kind == 2) {
            ExtTextOut(dc, TextRect.Left + x, TextRect.Top + y, 0, nullptr, Text, nullptr);
        } else {
            TRect r = OffsetRect(TextRect, x, y);
            std::string text = Text;
            DrawTextEx(dc, text, r, Format);
        }
    };
    const TColor light = Caption->LightColor();
    const TColor shadow = Caption->ShadowColor();
    switch (style) {
        case tdNone:
            step(0, 0, textColor);
            break;
        case tdSunken:
            TextRect.Right -= L;
            step(L, L, light);
            step(-L, -L, textColor);
            break;
        case tdRaised:
            TextRect.Right -= L;
            step(0, 0, light);
            step(L, L, textColor);
            break;
        case tdSunkenShadow:
        case tdPColorSunken:
            TextRect.Right -= L + S;
            step(0, 0, shadow);
            step(L + S, L + S, light);
            step(-L, -L, textColor);
            break;
        case tdRaisedShadow:
        case tdPColorRaised:
            TextRect.Right -= L + S;
            step(L + S, L + S, shadow);
            step(-(L + S), -(L + S), light);
            step(L, L, textColor);
            break;
        case tdShadow:
            TextRect.Right -= S;
            step(S, S, shadow);
            step(-S, -S, textColor);
            break;
        case tdOutline: {
            BeginPath(dc);
            step(S / 2, S / 2, textColor);
            EndPath(dc);
            HPEN pen = CreatePen(PS_SOLID, S, ColorToRGB(textColor));
            HGDIOBJ old = SelectObject(dc, pen);
            StrokePath(dc);
            SelectObject(dc, old);
            DeleteObject(pen);
            break;
        }
        case tdExtrude:
        case tdExtrudeEnh: {
            int sx = 0, sy = 0, dx = 1, dy = 1;
            switch (Caption->Orientation()) {
                case toBottomLeft:
                    sy = S + 1, dx = 1, dy = -1;
                    break;
                case toBottomRight:
                    sx = S + 1, sy = S + 1, dx = -1, dy = -1;
                    break;
                case toTopLeft:
                    break;
                case toTopRight:
                    sx = S + 1, dx = -1, dy = 1;
                    break;
            }
            x = sx;
            y = sy;
            for (int i = 0; i < S; ++i) {
                const TColor c = style == tdExtrude ? shadow : BlendColor(shadow, light, S - 1 - i, S);
                step(0, 0, c);
                x += dx;
                y += dy;
            }
            step(0, 0, textColor);
            break;
        }
    }
}

void EffectTextExtra(const TKit3DCaption* Caption, TRect& Rect) {
    if (!Caption) return;
    int d = 0;
    switch (Caption->Style()) {
        case tdNone:
            break;
        case tdSunken:
        case tdRaised:
            d = Caption->LightDepth();
            break;
        case tdSunkenShadow:
        case tdRaisedShadow:
        case tdPColorSunken:
        case tdPColorRaised:
            d = Caption->LightDepth() + Caption->ShadowDepth();
            break;
        case tdShadow:
        case tdOutline:
        case tdExtrude:
        case tdExtrudeEnh:
            d = Caption->ShadowDepth();
            break;
    }
    Rect.Right += d;
    Rect.Bottom += d;
}

void MeasureEffectText(const std::string& Text, TKit3DCaption* Caption, TRect& Rect, const TFont& Font,
                       bool MultiLine, bool ShowPrefix, int Margin, uint32_t Format) {
    // A canvas of its own, so the caller's canvas keeps its state.
    TBitmap scratch;
    scratch.SetSize(1, 1);
    TCanvas& canvas = scratch.Canvas();
    canvas.Font.Assign(Font);
    HDC dc = canvas.Handle();
    DcStateGuard guard(dc);
    const int kind = RotationKind(Caption);
    if (kind == 2) {
        auto* fx = static_cast<TKitFxCaption*>(Caption);
        if (Caption->Tracing() != 0) SetTextCharacterExtra(dc, Caption->Tracing());
        TSize size{};
        GetTextExtentPoint32(dc, Text, size);
        const int w = size.cx, h = size.cy;
        TRect r{0, 0, w, h};
        EffectTextExtra(Caption, r);
        const double a = fx->Angle() * std::numbers::pi / 180.0;
        const double c = std::cos(a), s = std::sin(a);
        Rect = RotatedBounds(r, fx->Angle());
        int d = 0;
        switch (Caption->Style()) {
            case tdSunken:
            case tdRaised:
                d = Caption->LightDepth() / 2 - 1;
                break;
            case tdSunkenShadow:
            case tdRaisedShadow:
            case tdPColorSunken:
            case tdPColorRaised:
                d = (Caption->LightDepth() + Caption->ShadowDepth()) / 2 - 1;
                break;
            case tdShadow:
            case tdExtrude:
            case tdExtrudeEnh:
                d = Caption->ShadowDepth() / 2 - 1;
                break;
            default:
                break;
        }
        d = std::max(d, 0);
        const int cx = Rect.Width() / 2, cy = Rect.Height() / 2;
        const long px = std::lround(cx - c * (w / 2) - s * (h / 2)) - d;
        const long py = std::lround(cy + s * (w / 2) - c * (h / 2)) - d;
        fx->SetPosition(static_cast<uint16_t>(std::max(px, 0L)), static_cast<uint16_t>(std::max(py, 0L)));
    } else {
        if (auto* fx = dynamic_cast<TKitFxCaption*>(Caption)) fx->SetPosition(0, 0);
        Format |= DT_CALCRECT | DT_EXPANDTABS;
        if (MultiLine) Format |= DT_WORDBREAK;
        if (!ShowPrefix) Format |= DT_NOPREFIX;
        std::string text = (Text.empty() || (ShowPrefix && Text == "&")) ? std::string(" ") : Text;
        if (Caption && Caption->Tracing() != 0) SetTextCharacterExtra(dc, Caption->Tracing());
        DrawTextEx(dc, text, Rect, Format);
        EffectTextExtra(Caption, Rect);
    }
    Rect.Right += 2 * (Margin + 1);
    Rect.Bottom += 2 * (Margin + 1);
}

void PlaceBlock(TKitAlignment Alignment, const TRect& BlockRect, const TRect& Area, TRect& Placed) {
    const int bw = BlockRect.Width(), bh = BlockRect.Height();
    const int row = static_cast<int>(Alignment) / 3, col = static_cast<int>(Alignment) % 3;
    const int dy = row == 0 ? 0 : row == 1 ? (Area.Height() - bh) / 2 : Area.Height() - bh;
    const int dx = col == 0 ? 0 : col == 1 ? (Area.Width() - bw) / 2 : Area.Width() - bw;
    Placed = Bounds(Area.Left + dx, Area.Top + dy, bw, bh);
}

GlyphTextResult DrawGlyphAndText(TCanvas& Canvas, const std::string& Text, TKit3DCaption* Caption,
                                 const TRect& Area, TCanvas* ImageCanvas, TRect& GlyphRect, TBitmap* Mask,
                                 TColor TransparentColor, const TKitGlyphTextLayout* Layout, bool MultiLine,
                                 bool ShowPrefix, bool GlyphTransparent, uint32_t Flags, uint32_t Format) {
    GlyphTextResult result{};
    if (Flags & gtMeasureOnly) Flags |= gtFocusBoth;
    static const TKitGlyphTextLayout defaultLayout;
    const TKitGlyphTextLayout& layout = Layout ? *Layout : defaultLayout;
    auto* button = dynamic_cast<const TKitButtonLayout*>(&layout);
    const bool arrow = button && button->Arrow();

    const bool hasGlyph = ImageCanvas && !GlyphRect.IsEmpty();
    const bool hasText = !Text.empty();
    const int gap = hasGlyph == hasText ? layout.Spacing() : 0;

    TRect text{0, 0, Area.Width(), 0};
    MeasureEffectText(Text, Caption, text, Canvas.Font, MultiLine, ShowPrefix, 0, Format);
    TRect glyph = hasGlyph ? TRect{0, 0, GlyphRect.Width(), GlyphRect.Height()} : TRect{};
    const TRect source = GlyphRect;

    int aw = 0;
    if (arrow) {
        aw = 2 * button->ArrowSize() - 1;
        const int extra = aw + button->ArrowIndent();
        if (button->ArrowPosition() == apRightText || button->ArrowPosition() == apLeftText)
            text.Right += extra;
        else
            glyph.Right += extra;
    }

    const int tw = text.Width(), th = text.Height(), gw = glyph.Width(), gh = glyph.Height();
    int bw, bh, tx, ty, gx, gy;
    switch (layout.AlignText2Glyph()) {
        case taLeft:
        case taLeftTop:
        case taRight:
        case taRightTop: {
            bw = tw + gap + gw;
            bh = std::max(th, gh);
            const bool textLeft = layout.AlignText2Glyph() == taLeft || layout.AlignText2Glyph() == taLeftTop;
            tx = textLeft ? 0 : gw + gap;
            gx = textLeft ? tw + gap : 0;
            ty = (bh - th) / 2;
            gy = (bh - gh) / 2;
            if (layout.AlignText2Glyph() == taLeftTop) gy = 0;
            if (layout.AlignText2Glyph() == taRightTop) gy = 1;
            break;
        }
        default: {
            bw = std::max(tw, gw);
            bh = th + gap + gh;
            const bool textTop = layout.AlignText2Glyph() == taTop || layout.AlignText2Glyph() == taTopLeft;
            ty = textTop ? 0 : gh + gap;
            gy = textTop ? th + gap : 0;
            tx = (bw - tw) / 2;
            gx = (bw - gw) / 2;
            if (layout.AlignText2Glyph() == taTopLeft || layout.AlignText2Glyph() == taBottomLeft) gx = 0;
            break;
        }
    }
    text = OffsetRect(text, tx, ty);
    glyph = OffsetRect(glyph, gx, gy);
    if (!(Flags & gtNoAlign)) {
        TRect placed;
        PlaceBlock(layout.Alignment(), TRect{0, 0, bw, bh}, Area, placed);
        text = OffsetRect(text, placed.Left + 1, placed.Top + 1);
        glyph = OffsetRect(glyph, placed.Left, placed.Top);
    }
    if (arrow && button->ArrowPosition() == apLeftText)
        text = OffsetRect(text, button->ArrowIndent() + aw, 0);

    Format |= DT_EXPANDTABS;
    if (MultiLine) Format |= DT_WORDBREAK | AlignmentTextFormat[layout.Alignment()];
    text = OffsetRect(text, layout.OffsetX(), layout.OffsetY());
    glyph = OffsetRect(glyph, layout.OffsetX(), layout.OffsetY());
    if (Flags & gtClipText) {
        text.Right = std::min(text.Right, Area.Right);
        text.Bottom = std::min(text.Bottom, Area.Bottom);
    }

    const bool draw = !(Flags & gtMeasureOnly);
    if (draw) DrawEffectText(Canvas, Text, Caption, text, Format, Flags);

    if (arrow && button->ArrowPosition() == apLeftGlyph)
        glyph = OffsetRect(glyph, button->ArrowIndent() + aw, 0);
    auto drawArrow = [&](int X, const TRect& Item) {
        if (!draw) return;
        const int size = button->ArrowSize();
        DrawDropArrow(Canvas, X, Item.Top + Item.Height() / 2 - size / 2, size, button->ArrowColor(), true,
                      (Flags & gtEnabled) != 0);
    };
    if (arrow) {
        switch (button->ArrowPosition()) {
            case apLeftText:
                drawArrow(text.Left - button->ArrowIndent() - aw, text);
                break;
            case apRightText:
                drawArrow(MultiLine ? text.Right - button->ArrowSize() - 1 : text.Right - aw - 1, text);
                break;
            case apLeftGlyph:
                drawArrow(glyph.Left - button->ArrowIndent() - aw, glyph);
                break;
            case apRightGlyph:
                break;
        }
    }
    if (draw && hasGlyph) {
        uint32_t flags = 0;
        if (GlyphTransparent) flags = Mask ? dbMaskBitmap : dbTransparentColor;
        TRect dest{glyph.Left, glyph.Top, glyph.Left + source.Width(), glyph.Top + source.Height()};
        TRect painted;
        DrawBitmapEx(Canvas, dest, ImageCanvas, nullptr, source, flags, TransparentColor, 0,
                     GlyphTransparent ? Mask : nullptr, painted);
    }
    if (arrow && button->ArrowPosition() == apRightGlyph) drawArrow(glyph.Right - aw, glyph);

    TRect focus = Inflate(Area, -1);
    if (Flags & gtFocusText) focus = Inflate(text, 1);
    if (Flags & gtFocusGlyph) focus = glyph;
    if (Flags & gtFocusBoth) focus = Inflate(UnionOf(text, glyph), 1);
    if (Flags & gtMeasureOnly) focus = Inflate(focus, 1);
    GlyphRect = focus;

    result.Text = text;
    result.Glyph = glyph;
    result.Both = UnionOf(text, glyph);
    return result;
}

// ---- Button faces ---------------------------------------------------------------------------------

TKitUserButtonStyle ResolveButtonStyle(TKitUserButtonStyle Style) {
    const bool themed = KitApplication()->UseThemes();
    if (Style == ubsAutoDetect) return themed ? ubsWinXP : ubsAutoDetect;
    if (themed) return Style;
    switch (Style) {
        case ubsWinXP:
            return ubsWin40;
        case ubsWinXPCombo:
            return ubsIntegrated;
        case ubsWinXPTool:
            return ubsExplorerColored;
        default:
            return Style;
    }
}

ThemePart ButtonThemePart(TKitUserButtonStyle Style, uint32_t Flags) {
    switch (Style) {
        case ubsWinXP:
            return {"BUTTON", 1};
        case ubsWinXPCombo:
            return {"COMBOBOX", 1};
        case ubsWinXPTool:
            if ((Flags & bfDropDown) && (Flags & bfSplitDropDown)) return {"TOOLBAR", 4};
            return {"TOOLBAR", (Flags & bfDropDown) ? 3 : 1};
        default:
            return {"", 0};
    }
}

bool DrawButtonFace(HWND Window, TCanvas& Canvas, bool Hot, TRect& Rect, TKitUserButtonStyle Style,
                    uint8_t State, uint32_t Flags, TColor Color) {
    (void)Window;
    Style = ResolveButtonStyle(Style);
    // The themed styles stay only while a theme library draws them; without one (this system) they
    // have been resolved to classic styles above. Should a theme be reported without its drawing
    // entry points, the classic face of ubsWin40 stands in.
    if (Style == ubsWinXP || Style == ubsWinXPCombo || Style == ubsWinXPTool) Style = ubsWin40;
    return DrawClassicButtonFace(Canvas, Hot, Rect, Color, Flags, State, Style);
}

bool DrawClassicButtonFace(TCanvas& Canvas, bool Hot, TRect& Rect, TColor Color, uint32_t Flags,
                           uint8_t State, TKitUserButtonStyle Style) {
    if (Style == ubsAutoDetect) Style = ubsWin40;  // a system with new-style controls
    int variant;
    switch (Style) {
        case ubsWin31:
            variant = 1;
            break;
        case ubsWin40:
        case ubsWinXP:
        case ubsWinXPCombo:
        case ubsWinXPTool:
            variant = (Flags & bfWin40Raised) ? 2 : 3;
            break;
        case ubsVantor:
            variant = 5;
            break;
        case ubsIntegrated:
            variant = 10;
            break;
        default:
            variant = 4;
            break;
    }
    const bool pressed = FaceStatePressed(State);
    const bool explorer = Style == ubsExplorer || Style == ubsExplorerColored;
    HDC dc = Canvas.Handle();
    TRect& r = Rect;

    // 1. Background.
    if (!explorer) {
        if (State == 3 && !(variant == 4 && Hot)) {
            TBitmap* saved = Canvas.Brush.Bitmap;
            Canvas.Brush.Bitmap = KitApplication()->PatternBitmap(Color);
            Canvas.FillRect(r);
            Canvas.Brush.Bitmap = saved;
        } else {
            Canvas.Brush.Color = Color;
            Canvas.Brush.Style = bsSolid;
            Canvas.FillRect(r);
        }
    }

    auto darkFrame = [&]() {
        TRect e = r;
        DrawEdge(dc, e, BDR_SUNKENOUTER,
                 BF_LEFT | BF_TOP | BF_SOFT | ((Flags & bfEdgeMiddle) ? BF_MIDDLE : 0));
        e = r;
        DrawEdge(dc, e, BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM);
    };
    auto cornerPixels = [&]() {
        const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace));
        SetPixel(dc, r.Left, r.Top, face);
        SetPixel(dc, r.Right - 1, r.Top, face);
        SetPixel(dc, r.Left, r.Bottom - 1, face);
        SetPixel(dc, r.Right - 1, r.Bottom - 1, face);
    };
    auto frame = [&](const TRect& f, TColor c) {
        HBRUSH b = CreateSolidBrush(ColorToRGB(c));
        FrameRect(dc, f, b);
        DeleteObject(b);
    };
    auto line = [&](int x1, int y1, int x2, int y2, TColor c) {
        Canvas.Pen.Color = c;
        Canvas.Pen.Style = psSolid;
        Canvas.Pen.Width = 1;
        Canvas.MoveTo(x1, y1);
        Canvas.LineTo(x2, y2);
    };
    auto edge = [&](const TRect& at, uint32_t e, uint32_t f) {
        TRect t = at;
        DrawEdge(dc, t, e, f);
    };

    // 2. The dark frame of the default or focused button.
    if (!pressed && (Flags & (bfDefault | bfFocused))) {
        darkFrame();
        if (Style == ubsWin31 && (Flags & bfRoundCorners)) {
            cornerPixels();
            Flags &= ~bfRoundCorners;
        }
        r = Inflate(r, -1);
    }
    TRect kept = r;

    switch (variant) {
        case 1:
            darkFrame();
            if (Flags & bfRoundCorners) cornerPixels();
            r = Inflate(r, -1);
            if (pressed) {
                edge(r, BDR_SUNKENINNER, BF_LEFT | BF_TOP);
            } else {
                DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
                DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
            }
            kept = Inflate(kept, -1);
            break;
        case 2: {
            TRect t = r;
            if (!pressed)
                DrawBorderStyle(Canvas, t, lsRaisedspb, 0);
            else if (Flags & bfSunkenPressed)
                edge(r, EDGE_SUNKEN, BF_RECT);
            else
                DrawBorderStyle(Canvas, t, lsLowered, 0);
            break;
        }
        case 3:
            if (pressed) {
                frame(r, clBlack);
                frame(Inflate(r, -1), clGray);
                Canvas.Pen.Color = clBlack;
            } else if (Flags & bfDefault) {
                edge(r, BDR_RAISEDOUTER, BF_RECT | BF_SOFT);
                edge(r, BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM);
            } else {
                TRect t = r;
                DrawBorderStyle(Canvas, t, lsRaisedspb, 0);
            }
            break;
        case 4:
            if ((Style == ubsNavigator || Style == ubsVantorFlat) && (pressed || Hot)) {
                frame(r, Canvas.Pen.Color);
                r = Inflate(r, -1);
            }
            if (pressed) {
                edge(r, BDR_SUNKENOUTER, BF_RECT);
            } else if (Hot) {
                edge(r, BDR_RAISEDINNER, BF_RECT);
            } else if (!explorer) {
                Canvas.Brush.Color = Color;
                Canvas.Brush.Style = bsSolid;
                Canvas.FillRect(r);
            }
            break;
        case 5:
            frame(r, clBlack);
            if (pressed) {
                line(r.Left + 1, r.Top + 1, r.Right - 1, r.Top + 1, clGray);
                line(r.Left + 1, r.Top + 1, r.Left + 1, r.Bottom - 1, clGray);
            } else {
                edge(Inflate(r, -1), BDR_RAISEDINNER, BF_RECT);
            }
            break;
        case 10:
            if (pressed) {
                frame(r, clGray);
            } else {
                frame(r, clBlack);
                line(r.Right - 2, r.Top, r.Left, r.Top, clBtnFace);
                line(r.Left, r.Top, r.Left, r.Bottom - 1, clBtnFace);
                frame(Inflate(r, -1), clWhite);
                line(r.Right - 2, r.Top + 1, r.Right - 2, r.Bottom - 2, clGray);
                line(r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 2, clGray);
            }
            break;
    }

    // 9. The focus rectangle of the default button.
    if (Flags & bfDefault) {
        Canvas.Brush.Color = clBlack;
        Canvas.Brush.Style = bsSolid;
        Canvas.Pen.Color = clGray;
        Canvas.DrawFocusRect(Inflate(kept, pressed ? -4 : -3));
    }
    r = Inflate(kept, -3);
    if (pressed) r = OffsetRect(r, 1, 1);
    return true;
}

// ---- Dialog placement -----------------------------------------------------------------------------

void ReferenceRect(TKitDlgPosRel Relation, TRect& Rect) {
    Rect = TRect{0, 0, Screen->Width(), Screen->Height()};
    switch (Relation) {
        case brScreen:
            break;
        case brScreenWorkArea:
            Rect = Screen->WorkAreaRect();
            break;
        case brMainForm:
            if (Application && Application->MainForm()) Rect = Application->MainForm()->BoundsRect();
            break;
        case brActiveWindow:
            if (Screen->ActiveForm()) Rect = Screen->ActiveForm()->BoundsRect();
            break;
    }
}

void PositionWindow(TWinControl& Window, const TRect& R, TKitDlgPosition Position) {
    const int w = Window.Width(), h = Window.Height();
    int col = 0, row = 0;
    if (Position != bpCustom) {
        col = (static_cast<int>(Position) - 1) % 3;
        row = (static_cast<int>(Position) - 1) / 3;
    }
    int x = col == 0 ? R.Left : col == 1 ? R.Left + (R.Width() - w) / 2 : R.Right - w;
    int y = row == 0 ? R.Top : row == 1 ? R.Top + (R.Height() - h) / 2 : R.Bottom - h;
    if (y + h > Screen->Height()) y = R.Bottom - h;
    if (x + w > Screen->Width()) x = R.Right - w;
    x = std::max(x, 0);
    y = std::max(y, 0);
    Window.SetBounds(x, y, w, h);
}

void ExplodeWindow(TCustomForm*) {}
void ExplodeWindowExt(TCustomForm*) {}

}  // namespace kit
