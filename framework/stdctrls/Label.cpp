#include "framework/stdctrls/Label.h"

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Caption.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// TCustomLabel

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    ControlStyle |= csOpaque | csReplicatable;
    FWidth = 65;
    FHeight = 17;
    FColor = clBtnFace;
    FParentColor = true;
}

void TCustomLabel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Invalidate();
}
void TCustomLabel::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustBounds();
}
void TCustomLabel::SetWordWrap(bool Value) {
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}
void TCustomLabel::SetTransparent(bool Value) {
    FTransparent = Value;
    if (Value)
        ControlStyle &= ~csOpaque;
    else
        ControlStyle |= csOpaque;
    Invalidate();
}
void TCustomLabel::SetLayout(TTextLayout Value) {
    FLayout = Value;
    Invalidate();
}
void TCustomLabel::SetShowAccelChar(bool Value) {
    FShowAccelChar = Value;
    AdjustBounds();
    Invalidate();
}
void TCustomLabel::SetFocusControl(TWinControl* Value) {
    if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
    FFocusControl = Value;
    if (Value) Value->FreeNotification(this);
}
void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

std::vector<std::string> TCustomLabel::WrappedLines() {
    Canvas().Font.Assign(FFont);
    int marked;
    std::string text = FShowAccelChar ? StripAccel(FText, marked) : FText;
    std::vector<std::string> lines;
    // Explicit line breaks always break; word wrap breaks at spaces to fit the width.
    size_t start = 0;
    while (true) {
        size_t nl = text.find_first_of("\r\n", start);
        std::string para = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!FWordWrap) {
            lines.push_back(para);
        } else {
            std::string line;
            size_t i = 0;
            while (i <= para.size()) {
                size_t sp = para.find(' ', i);
                std::string word = para.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
                std::string trial = line.empty() ? word : line + " " + word;
                if (!line.empty() && Canvas().TextWidth(trial) > FWidth) {
                    lines.push_back(line);
                    line = word;
                } else {
                    line = trial;
                }
                if (sp == std::string::npos) break;
                i = sp + 1;
            }
            lines.push_back(line);
        }
        if (nl == std::string::npos) break;
        start = nl + ((text[nl] == '\r' && nl + 1 < text.size() && text[nl + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

// Sized at once, also while its form is still being built, so that code laying out the form can
// read the size; once built (Loaded) it is sized again for the bounds set after the caption.
void TCustomLabel::AdjustBounds() {
    if (!FAutoSize) return;
    std::vector<std::string> lines = WrappedLines();
    int w = 0;
    for (const std::string& l : lines) w = std::max(w, Canvas().TextWidth(l));
    int h = static_cast<int>(lines.size()) * Canvas().TextHeight("Wg");
    int left = FLeft;
    if (!FWordWrap && FAlignment == taRightJustify) left = FLeft + FWidth - w;
    if (!FWordWrap && FAlignment == taCenter) left = FLeft + (FWidth - w) / 2;
    SetBounds(left, FTop, FWordWrap ? FWidth : w, h);
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::Paint() {
    TCanvas& c = Canvas();
    if (!FTransparent) {
        c.Brush.Color = FColor;
        c.FillRect(ClientRect());
    }
    c.Brush.Style = bsClear;
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    std::vector<std::string> lines;
    if (FWordWrap || FText.find_first_of("\r\n") != std::string::npos) {
        lines = WrappedLines();
    }
    int lh = c.TextHeight("Wg");
    int total = lines.empty() ? lh : lh * static_cast<int>(lines.size());
    int y = 0;
    if (FLayout == tlCenter) y = (FHeight - total) / 2;
    if (FLayout == tlBottom) y = FHeight - total;
    if (lines.empty()) {
        DrawCaption(c, Rect(0, y, FWidth, y + lh), FText, FAlignment, FShowAccelChar);
    } else {
        for (const std::string& l : lines) {
            DrawCaption(c, Rect(0, y, FWidth, y + lh), l, FAlignment, false);
            y += lh;
        }
    }
    c.Brush.Style = bsSolid;
}

void TCustomLabel::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGCHAR:
            // An accelerator of the caption moves the focus to the associated control.
            if (FFocusControl && FEnabled && FShowAccelChar && IsAccelChar(M, FText) &&
                FFocusControl->CanFocus()) {
                FFocusControl->SetFocus();
                M.Result = 1;
            }
            return;
        case CM_TEXTCHANGED:
        case CM_FONTCHANGED:
            AdjustBounds();
            Invalidate();
            return;
        default:
            TGraphicControl::Dispatch(M);
    }
}

}  // namespace framework
