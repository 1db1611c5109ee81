#include "framework/stdctrls/StdCtrls.h"

#include <algorithm>
#include <cstring>

#include "framework/core/SysUtils.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

namespace {

bool IsAccelChar(const TMessage& M, const std::string& Caption) {
    return IsAccel(static_cast<uint16_t>(M.WParam), Caption);
}

// Text of the caption with "&" marks removed, and the index of the underlined character (-1: none).
std::string StripAccel(const std::string& Caption, int& Marked) {
    std::string r;
    Marked = -1;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                r += '&';
                ++i;
            } else if (i + 1 < Caption.size() && Marked < 0) {
                Marked = static_cast<int>(r.size());
            }
            continue;
        }
        r += Caption[i];
    }
    return r;
}

std::string Crlf() {
    return "\r\n";
}

}  // namespace

void DrawCaption(TCanvas& Canvas, const TRect& R, const std::string& Caption, TAlignment Alignment,
                 bool ShowAccel) {
    int marked = -1;
    std::string text = ShowAccel ? StripAccel(Caption, marked) : Caption;
    int w = Canvas.TextWidth(text);
    int x = R.Left;
    if (Alignment == taRightJustify) x = R.Right - w;
    if (Alignment == taCenter) x = R.Left + (R.Width() - w) / 2;
    Canvas.TextRect(R, x, R.Top, text);
    if (marked >= 0) {
        int x0 = x + Canvas.TextWidth(text.substr(0, static_cast<size_t>(marked)));
        int x1 = x0 + Canvas.TextWidth(text.substr(static_cast<size_t>(marked), 1));
        int y = R.Top + Canvas.TextHeight(text) - 2;
        TColor pen = Canvas.Pen.Color;
        Canvas.Pen.Color = Canvas.Font.Color;
        Canvas.MoveTo(x0, y);
        Canvas.LineTo(x1, y);
        Canvas.Pen.Color = pen;
    }
}

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

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize || (ComponentState() & csLoading)) return;
    std::vector<std::string> lines = WrappedLines();
    int w = 0;
    for (const std::string& l : lines) w = std::max(w, Canvas().TextWidth(l));
    int h = static_cast<int>(lines.size()) * Canvas().TextHeight("Wg");
    int left = FLeft;
    if (!FWordWrap && FAlignment == taRightJustify) left = FLeft + FWidth - w;
    if (!FWordWrap && FAlignment == taCenter) left = FLeft + (FWidth - w) / 2;
    SetBounds(left, FTop, FWordWrap ? FWidth : w, h);
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

// ---------------------------------------------------------------------------------------------
// TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    FWidth = 185;
    FHeight = 105;
    FColor = clBtnFace;
    FParentColor = true;
}

void TCustomGroupBox::AlignControls(TControl* AControl, TRect& R) {
    Canvas().Font.Assign(FFont);
    int th = Canvas().TextHeight("Wg");
    R = Rect(R.Left + 2, R.Top + th, std::max(R.Left + 2, R.Right - 2), std::max(R.Top + th, R.Bottom - 2));
    TCustomControl::AlignControls(AControl, R);
}

void TCustomGroupBox::Paint() {
    TCanvas& c = Canvas();
    TRect all = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(all);
    c.Font.Assign(FFont);
    int th = c.TextHeight("Wg");
    c.Pen.Color = clBtnShadow;
    c.Brush.Style = bsClear;
    c.Rectangle(0, th / 2, all.Right - 1, all.Bottom - 1);
    c.Pen.Color = clBtnHighlight;
    c.Rectangle(1, th / 2 + 1, all.Right, all.Bottom);
    c.Brush.Style = bsSolid;
    if (!FText.empty()) {
        int marked;
        std::string text = StripAccel(FText, marked);
        int w = c.TextWidth(text);
        c.Brush.Color = FColor;
        c.FillRect(Rect(6, 0, 10 + w, th));
        if (!FEnabled) c.Font.Color = clGrayText;
        DrawCaption(c, Rect(8, 0, 8 + w, th), FText, taLeftJustify, true);
    }
}

void TCustomGroupBox::Dispatch(TMessage& M) {
    if (M.Msg == CM_DIALOGCHAR && IsAccelChar(M, FText) && CanFocus()) {
        SelectFirst();
        M.Result = 1;
        return;
    }
    if (M.Msg == CM_TEXTCHANGED || M.Msg == CM_ENABLEDCHANGED) Invalidate();
    TCustomControl::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// Buttons

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner) {
    FTabStop = true;
    FColor = clBtnFace;
    FParentColor = false;
}

void TButtonControl::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_KEYDOWN:
            if (M.WParam == VK_SPACE && !FDown && FEnabled) {
                TCustomControl::Dispatch(M);
                FDown = true;
                Invalidate();
                return;
            }
            break;
        case WM_KEYUP:
            if (M.WParam == VK_SPACE && FDown) {
                FDown = false;
                Invalidate();
                TCustomControl::Dispatch(M);
                Click();
                return;
            }
            break;
        case WM_KILLFOCUS:
            FDown = false;
            Invalidate();
            break;
        case WM_SETFOCUS:
            Invalidate();
            break;
        case CM_TEXTCHANGED:
        case CM_ENABLEDCHANGED:
            Invalidate();
            break;
        case BM_CLICK:
            if (FEnabled) Click();
            return;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
    FWidth = 75;
    FHeight = 25;
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    TCustomForm* f = ParentForm();
    TWinControl* focused = f ? f->ActiveControl() : nullptr;
    FActive = Value && !(focused && dynamic_cast<TButton*>(focused) && focused != this);
    Invalidate();
}

void TButton::Click() {
    if (TCustomForm* f = ParentForm()) f->SetModalResult(ModalResult);
    TButtonControl::Click();
}

void TButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGKEY: {
            // Enter presses the active button, Escape the cancel button; a hidden or disabled
            // button (one that cannot take the focus) never answers.
            bool enter = M.WParam == VK_RETURN && FActive;
            bool escape = M.WParam == VK_ESCAPE && Cancel;
            if ((enter || escape) &&
                (KeyDataToShiftState(static_cast<uint32_t>(M.LParam)) & (ssAlt | ssCtrl | ssShift)) == 0 &&
                CanFocus()) {
                Click();
                M.Result = 1;
            }
            return;
        }
        case CM_DIALOGCHAR:
            if (IsAccelChar(M, FText) && CanFocus()) {
                Click();
                M.Result = 1;
            }
            return;
        case CM_FOCUSCHANGED: {
            // A focused button takes Enter itself; when the focus is elsewhere the default does.
            auto* focused = reinterpret_cast<TWinControl*>(M.LParam);
            bool active = dynamic_cast<TButton*>(focused) ? focused == this : FDefault;
            if (active != FActive) {
                FActive = active;
                Invalidate();
            }
            return;
        }
        case WM_GETDLGCODE:
            M.Result = DLGC_BUTTON | (FActive ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
            return;
        default:
            TButtonControl::Dispatch(M);
    }
}

void TButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    c.Brush.Style = bsClear;
    if (FActive) {
        c.Pen.Color = clBlack;
        c.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
        r = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    c.Pen.Color = FDown ? clBtnShadow : clBtnHighlight;
    c.MoveTo(r.Left, r.Bottom - 1);
    c.LineTo(r.Left, r.Top);
    c.LineTo(r.Right - 1, r.Top);
    c.Pen.Color = FDown ? clBtnHighlight : cl3DDkShadow;
    c.LineTo(r.Right - 1, r.Bottom - 1);
    c.LineTo(r.Left, r.Bottom - 1);
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int shift = FDown ? 1 : 0;
    PaintFace(c, OffsetRect(Rect(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2), shift, shift));
    if (Focused()) {
        c.Pen.Color = clBlack;
        c.FrameRect(Rect(r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3));
    }
    c.Brush.Style = bsSolid;
}

void TButton::PaintFace(TCanvas& c, const TRect& R) {
    int th = c.TextHeight("Wg");
    DrawCaption(c, Rect(R.Left, (R.Top + R.Bottom - th) / 2, R.Right, (R.Top + R.Bottom + th) / 2), FText,
                taCenter, true);
}

// ---- check box ----

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
    FWidth = 97;
    FHeight = 17;
    FParentColor = true;
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
    if (Value == cbGrayed && !AllowGrayed && FState != cbGrayed) Value = cbUnchecked;
    if (FState == Value) return;
    FState = Value;
    Invalidate();
    TButtonControl::Click();
}

void TCustomCheckBox::Toggle() {
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

void TCustomCheckBox::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGCHAR:
            if (IsAccelChar(M, FText) && CanFocus()) {
                SetFocus();
                if (Focused()) Toggle();
                M.Result = 1;
            }
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_BUTTON;
            return;
        case BM_GETCHECK:
            M.Result = FState;
            return;
        case BM_SETCHECK:
            FState = static_cast<TCheckBoxState>(std::min<WPARAM>(M.WParam, 2));
            Invalidate();
            return;
        default:
            break;
    }
    TButtonControl::Dispatch(M);
}

// The button's own click handling (mouse, space, BM_CLICK) toggles; OnClick comes from SetState.
// TControl::Click is reached through SetState only.

void TCustomCheckBox::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    int box = 13;
    int top = (r.Height() - box) / 2;
    int bx = Alignment == taLeftJustify ? r.Right - box - 1 : 0;
    c.Brush.Color = FState == cbGrayed ? clBtnFace : clWindow;
    c.Pen.Color = clBtnShadow;
    c.Rectangle(bx, top, bx + box, top + box);
    if (FState != cbUnchecked) {
        c.Pen.Color = FState == cbGrayed ? clGrayText : clWindowText;
        for (int d = 0; d < 3; ++d) {
            c.MoveTo(bx + 3, top + 5 + d);
            c.LineTo(bx + 5, top + 7 + d);
            c.LineTo(bx + 10, top + 2 + d);
        }
    }
    c.Brush.Style = bsClear;
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int th = c.TextHeight("Wg");
    TRect tr = Alignment == taLeftJustify
                   ? Rect(0, (r.Height() - th) / 2, bx - 4, (r.Height() + th) / 2)
                   : Rect(box + 4, (r.Height() - th) / 2, r.Right, (r.Height() + th) / 2);
    DrawCaption(c, tr, FText, taLeftJustify, true);
    if (Focused())
        c.FrameRect(
            Rect(tr.Left - 1, tr.Top, std::min(tr.Right, tr.Left + c.TextWidth(FText) + 2), tr.Bottom));
    c.Brush.Style = bsSolid;
}

// ---- radio button ----

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
    FWidth = 113;
    FHeight = 17;
    FParentColor = true;
}

void TRadioButton::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    FTabStop = Value;
    Invalidate();
    if (Value) {
        if (FParent)
            for (int i = 0; i < FParent->ControlCount(); ++i)
                if (auto* rb = dynamic_cast<TRadioButton*>(FParent->Controls(i)); rb && rb != this)
                    rb->SetChecked(false);
        TButtonControl::Click();
    }
}

void TRadioButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGCHAR:
            if (IsAccelChar(M, FText) && CanFocus()) {
                SetFocus();
                if (Focused()) SetChecked(true);
                M.Result = 1;
            }
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_BUTTON | DLGC_RADIOBUTTON;
            return;
        case BM_GETCHECK:
            M.Result = FChecked ? 1 : 0;
            return;
        case BM_SETCHECK:
            SetChecked(M.WParam != 0);
            return;
        case CM_ENTER:
            // Arriving by the arrow keys checks the button, as the platform's radio groups do.
            TButtonControl::Dispatch(M);
            if (GetKeyState(VK_LEFT) < 0 || GetKeyState(VK_RIGHT) < 0 || GetKeyState(VK_UP) < 0 ||
                GetKeyState(VK_DOWN) < 0)
                SetChecked(true);
            return;
        default:
            break;
    }
    TButtonControl::Dispatch(M);
}

void TRadioButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    int box = 12;
    int top = (r.Height() - box) / 2;
    int bx = Alignment == taLeftJustify ? r.Right - box - 1 : 0;
    c.Brush.Color = clWindow;
    c.Pen.Color = clBtnShadow;
    c.Ellipse(bx, top, bx + box, top + box);
    if (FChecked) {
        c.Brush.Color = clWindowText;
        c.Pen.Color = clWindowText;
        c.Ellipse(bx + 4, top + 4, bx + 8, top + 8);
    }
    c.Brush.Style = bsClear;
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int th = c.TextHeight("Wg");
    TRect tr = Alignment == taLeftJustify
                   ? Rect(0, (r.Height() - th) / 2, bx - 4, (r.Height() + th) / 2)
                   : Rect(box + 4, (r.Height() - th) / 2, r.Right, (r.Height() + th) / 2);
    DrawCaption(c, tr, FText, taLeftJustify, true);
    c.Brush.Style = bsSolid;
}

// ---------------------------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TCustomControl(AOwner) {
    FWidth = 121;
    FHeight = 21;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    FCursor = crIBeam;
    ControlStyle |= csClickEvents;
}
TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    if (BorderStyle == bsSingle) P.ExStyle |= WS_EX_CLIENTEDGE;
}

std::string TCustomEdit::ApplyCase(const std::string& S) const {
    if (FCharCase == ecUpperCase) return AnsiUpperCase(S);
    if (FCharCase == ecLowerCase) return AnsiLowerCase(S);
    return S;
}

void TCustomEdit::ReplaceText(const std::string& Value, bool User) {
    TWinControl::SetText(Value);
    if (User) FModified = true;
    Invalidate();
    Change();
}

void TCustomEdit::SetText(const std::string& Value) {
    // Setting the text from the program resets the modified flag and the selection.
    FCanUndo = false;
    FAnchor = FCaret = 0;
    FScrollX = FTopLine = 0;
    FModified = false;
    if (Value == FText) return;
    ReplaceText(ApplyCase(Value), false);
}

void TCustomEdit::SetMaxLength(int Value) {
    FMaxLength = std::max(0, Value);
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
    FCharCase = Value;
    std::string t = ApplyCase(FText);
    if (t != FText) ReplaceText(t, false);
}

void TCustomEdit::SetPasswordChar(char Value) {
    FPasswordChar = Value;
    Invalidate();
}

void TCustomEdit::SetSelection(int Anchor, int Caret) {
    int n = static_cast<int>(FText.size());
    FAnchor = std::clamp(Anchor, 0, n);
    FCaret = std::clamp(Caret, 0, n);
    // A caret never sits between the CR and LF of a line break.
    auto fix = [&](int& p) {
        if (p > 0 && p < n && FText[static_cast<size_t>(p) - 1] == '\r' &&
            FText[static_cast<size_t>(p)] == '\n')
            --p;
    };
    fix(FAnchor);
    fix(FCaret);
    ScrollCaretIntoView();
    Invalidate();
}

void TCustomEdit::SetSelStart(int Value) {
    SetSelection(Value, Value);
}
void TCustomEdit::SetSelLength(int Value) {
    int s = SelStart();
    SetSelection(s, s + Value);
}
std::string TCustomEdit::SelText() const {
    return FText.substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
}
void TCustomEdit::SetSelText(const std::string& Value) {
    InsertText(Value, false);
}
void TCustomEdit::SelectAll() {
    SetSelection(0, static_cast<int>(FText.size()));
}

bool TCustomEdit::InsertText(const std::string& S, bool User) {
    std::string ins = ApplyCase(S);
    if (!MultiLine()) {
        // A single-line edit keeps the first line only.
        size_t nl = ins.find_first_of("\r\n");
        if (nl != std::string::npos) ins.resize(nl);
    }
    int start = SelStart(), len = SelLength();
    if (FMaxLength > 0) {
        int room = FMaxLength - (static_cast<int>(FText.size()) - len);
        if (room <= 0 && !ins.empty()) return false;
        if (static_cast<int>(ins.size()) > room) ins.resize(static_cast<size_t>(std::max(room, 0)));
    }
    if (ins.empty() && len == 0) return false;
    FUndoText = FText;
    FUndoCaret = FCaret;
    FCanUndo = true;
    std::string t = FText;
    t.replace(static_cast<size_t>(start), static_cast<size_t>(len), ins);
    FAnchor = FCaret = start + static_cast<int>(ins.size());
    TWinControl::SetText(t);
    FModified = true;
    (void)User;
    Invalidate();
    Change();
    return true;
}

void TCustomEdit::Undo() {
    if (!FCanUndo) return;
    std::string t = FUndoText;
    int caret = FUndoCaret;
    FUndoText = FText;
    FUndoCaret = FCaret;
    TWinControl::SetText(t);
    FModified = true;
    SetSelection(caret, caret);
    Change();
}

void TCustomEdit::CopyToClipboard() {
    if (FPasswordChar == 0 && SelLength() > 0) Clipboard()->SetAsText(SelText());
}
void TCustomEdit::CutToClipboard() {
    if (FReadOnly || FPasswordChar != 0) return;
    CopyToClipboard();
    InsertText("", true);
}
void TCustomEdit::PasteFromClipboard() {
    if (!FReadOnly) InsertText(Clipboard()->AsText(), true);
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

std::vector<int> TCustomEdit::LineStarts() const {
    std::vector<int> starts{0};
    for (size_t i = 0; i + 1 < FText.size(); ++i)
        if (FText[i] == '\r' && FText[i + 1] == '\n') starts.push_back(static_cast<int>(i + 2));
    return starts;
}

int TCustomEdit::LineOf(int Pos) const {
    std::vector<int> s = LineStarts();
    return static_cast<int>(std::upper_bound(s.begin(), s.end(), Pos) - s.begin()) - 1;
}

std::vector<TCustomEdit::TTextRow> TCustomEdit::TextRows() {
    std::vector<int> s = LineStarts();
    std::vector<TTextRow> rows;
    for (size_t l = 0; l < s.size(); ++l)
        rows.push_back({s[l], l + 1 < s.size() ? s[l + 1] - 2 : static_cast<int>(FText.size())});
    if (!MultiLine()) rows = {TTextRow{0, static_cast<int>(FText.size())}};
    return rows;
}

int TCustomEdit::RowOf(const std::vector<TTextRow>& Rows, int Pos) {
    // The last row starting at or before Pos: a position at a wrap point belongs to the row after.
    int r = 0;
    for (size_t i = 0; i < Rows.size(); ++i)
        if (Rows[i].From <= Pos) r = static_cast<int>(i);
    return r;
}

int TCustomEdit::RowHeight() {
    Canvas().Font.Assign(FFont);
    return std::max(1, Canvas().TextHeight("Wg"));
}

int TCustomEdit::VisibleRows() {
    return std::max(1, (ClientHeight() - 2) / RowHeight());
}

void TCustomEdit::ScrollCaretIntoView() {
    if (!MultiLine()) return;
    std::vector<TTextRow> rows = TextRows();
    int r = RowOf(rows, FCaret);
    int vis = VisibleRows();
    if (r < FTopLine)
        FTopLine = r;
    else if (r >= FTopLine + vis)
        FTopLine = r - vis + 1;
    FTopLine = std::clamp(FTopLine, 0, std::max(0, static_cast<int>(rows.size()) - 1));
    // Sideways: the caret's pixel column stays inside the text area.
    const TTextRow& row = rows[static_cast<size_t>(r)];
    int x = Canvas().TextWidth(
        FText.substr(static_cast<size_t>(row.From), static_cast<size_t>(FCaret - row.From)));
    int room = std::max(1, ClientWidth() - 4);
    if (x < FScrollX)
        FScrollX = x;
    else if (x > FScrollX + room)
        FScrollX = x - room;
}

void TCustomEdit::DoEnter() {
    if (AutoSelect && !MultiLine() && !(GetKeyState(VK_LBUTTON) < 0)) SelectAll();
    TCustomControl::DoEnter();
}

void TCustomEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft && CanFocus()) {
        if (!Focused()) SetFocus();
        // The caret goes to the character boundary nearest the click.
        Canvas().Font.Assign(FFont);
        std::vector<TTextRow> rows = TextRows();
        int line = MultiLine()
                       ? std::clamp(FTopLine + (Y - 1) / RowHeight(), 0, static_cast<int>(rows.size()) - 1)
                       : 0;
        int from = rows[static_cast<size_t>(line)].From;
        int to = rows[static_cast<size_t>(line)].To;
        int pos = from;
        int x = X - 2 + FScrollX;
        for (int p = from; p <= to; ++p) {
            std::string shown = FText.substr(static_cast<size_t>(from), static_cast<size_t>(p - from));
            if (FPasswordChar) shown.assign(shown.size(), FPasswordChar);
            if (Canvas().TextWidth(shown) > x) break;
            pos = p;
        }
        if (Shift & ssShift)
            SetSelection(FAnchor, pos);
        else
            SetSelection(pos, pos);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    bool shift = Shift & ssShift;
    int n = static_cast<int>(FText.size());
    auto move = [&](int to) { SetSelection(shift ? FAnchor : to, to); };
    int lineStart = 0, lineEnd = n;
    if (MultiLine()) {
        std::vector<TTextRow> rows = TextRows();
        const TTextRow& row = rows[static_cast<size_t>(RowOf(rows, FCaret))];
        lineStart = row.From;
        lineEnd = row.To;
    }
    switch (Key) {
        case VK_LEFT:
            if (!shift && SelLength() > 0)
                move(SelStart());
            else
                move(FCaret >= 2 && FText.compare(static_cast<size_t>(FCaret) - 2, 2, "\r\n") == 0
                         ? FCaret - 2
                         : FCaret - 1);
            break;
        case VK_RIGHT:
            if (!shift && SelLength() > 0)
                move(SelStart() + SelLength());
            else
                move(FText.compare(static_cast<size_t>(FCaret), 2, "\r\n") == 0 ? FCaret + 2 : FCaret + 1);
            break;
        case VK_HOME:
            move((Shift & ssCtrl) ? 0 : lineStart);
            break;
        case VK_END:
            move((Shift & ssCtrl) ? n : lineEnd);
            break;
        case VK_DELETE:
            if (FReadOnly) break;
            if (shift) {
                CutToClipboard();
            } else if (SelLength() == 0 && FCaret < n) {
                int len = FText.compare(static_cast<size_t>(FCaret), 2, "\r\n") == 0 ? 2 : 1;
                SetSelection(FCaret, FCaret + len);
                InsertText("", true);
            } else {
                InsertText("", true);
            }
            break;
        case VK_INSERT:
            if (Shift & ssCtrl) CopyToClipboard();
            if (shift) PasteFromClipboard();
            break;
        default:
            return;
    }
}

void TCustomEdit::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (Key == 0) return;
    auto k = static_cast<unsigned char>(Key);
    switch (k) {
        case 3:  // Ctrl+C
            CopyToClipboard();
            return;
        case 22:  // Ctrl+V
            PasteFromClipboard();
            return;
        case 24:  // Ctrl+X
            CutToClipboard();
            return;
        case 26:  // Ctrl+Z
            if (!FReadOnly) Undo();
            return;
        case 8:  // Backspace
            if (FReadOnly) return;
            if (SelLength() == 0 && FCaret > 0) {
                int len =
                    FCaret >= 2 && FText.compare(static_cast<size_t>(FCaret) - 2, 2, "\r\n") == 0 ? 2 : 1;
                SetSelection(FCaret - len, FCaret);
            }
            InsertText("", true);
            return;
        default:
            break;
    }
    if (FReadOnly) return;
    if (k >= 32) InsertText(std::string(1, Key), true);
}

void TCustomEdit::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FEnabled ? FColor : clBtnFace;
    c.FillRect(r);
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int lh = c.TextHeight("Wg");
    std::vector<TTextRow> rows = TextRows();
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    bool showSel = Focused() || !HideSelection;
    int selA = SelStart(), selB = SelStart() + SelLength();
    int y = 1;
    int caretRow = RowOf(rows, FCaret);
    for (size_t l = static_cast<size_t>(MultiLine() ? FTopLine : 0); l < rows.size() && y < r.Bottom; ++l) {
        int from = rows[l].From;
        int to = rows[l].To;
        std::string line = FText.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
        if (FPasswordChar) line.assign(line.size(), FPasswordChar);
        int x0 = 2 - FScrollX;
        c.Brush.Style = bsClear;
        c.TextOut(x0, y, line);
        int a = std::clamp(selA - from, 0, to - from), b = std::clamp(selB - from, 0, to - from);
        if (showSel && b > a) {
            int xa = x0 + c.TextWidth(line.substr(0, static_cast<size_t>(a)));
            int xb = x0 + c.TextWidth(line.substr(0, static_cast<size_t>(b)));
            c.Brush.Style = bsSolid;
            c.Brush.Color = clHighlight;
            c.Font.Color = clHighlightText;
            c.TextRect(Rect(xa, y, xb, y + lh), xa, y,
                       line.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
            c.Font.Color = FFont.Color;
        }
        if (Focused() && static_cast<int>(l) == caretRow) {
            int xc = x0 + c.TextWidth(line.substr(0, static_cast<size_t>(FCaret - from)));
            c.Pen.Color = FFont.Color;
            c.MoveTo(xc, y);
            c.LineTo(xc, y + lh);
        }
        y += lh;
        if (!MultiLine()) break;
    }
    c.Brush.Style = bsSolid;
}

void TCustomEdit::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        case EM_GETSEL: {
            if (M.WParam) *reinterpret_cast<uint32_t*>(M.WParam) = static_cast<uint32_t>(SelStart());
            if (M.LParam)
                *reinterpret_cast<uint32_t*>(M.LParam) = static_cast<uint32_t>(SelStart() + SelLength());
            M.Result = MakeLParam(SelStart(), SelStart() + SelLength());
            return;
        }
        case EM_SETSEL: {
            // -1 as the start removes the selection; an end of -1 selects to the end.
            auto a = static_cast<intptr_t>(M.WParam), b = M.LParam;
            int n = static_cast<int>(FText.size());
            if (a == -1)
                SetSelection(FCaret, FCaret);
            else
                SetSelection(static_cast<int>(a), b < 0 ? n : static_cast<int>(b));
            return;
        }
        case EM_GETMODIFY:
            M.Result = FModified ? 1 : 0;
            return;
        case EM_SETMODIFY:
            FModified = M.WParam != 0;
            return;
        case EM_LIMITTEXT:
            FMaxLength = static_cast<int>(M.WParam);
            return;
        case EM_REPLACESEL:
            InsertText(M.LParam ? reinterpret_cast<const char*>(M.LParam) : "", true);
            if (M.WParam == 0) FCanUndo = false;
            return;
        case EM_SETREADONLY:
            FReadOnly = M.WParam != 0;
            M.Result = 1;
            return;
        case EM_SETPASSWORDCHAR:
            SetPasswordChar(static_cast<char>(M.WParam));
            return;
        case EM_CANUNDO:
            M.Result = FCanUndo ? 1 : 0;
            return;
        case EM_UNDO:
            Undo();
            M.Result = 1;
            return;
        case EM_EMPTYUNDOBUFFER:
            FCanUndo = false;
            return;
        case EM_GETLINECOUNT:
            M.Result = static_cast<LRESULT>(LineStarts().size());
            return;
        case EM_LINEINDEX: {
            std::vector<int> s = LineStarts();
            auto line = static_cast<intptr_t>(M.WParam);
            if (line == -1) line = LineOf(FCaret);
            M.Result =
                line >= 0 && line < static_cast<intptr_t>(s.size()) ? s[static_cast<size_t>(line)] : -1;
            return;
        }
        case EM_LINEFROMCHAR: {
            auto pos = static_cast<intptr_t>(M.WParam);
            M.Result = LineOf(pos < 0 ? FCaret : static_cast<int>(pos));
            return;
        }
        case EM_LINELENGTH: {
            std::vector<int> s = LineStarts();
            auto pos = static_cast<intptr_t>(M.WParam);
            int l = LineOf(pos < 0 ? FCaret : static_cast<int>(pos));
            int end = l + 1 < static_cast<int>(s.size()) ? s[static_cast<size_t>(l) + 1] - 2
                                                         : static_cast<int>(FText.size());
            M.Result = end - s[static_cast<size_t>(l)];
            return;
        }
        case EM_GETLINE: {
            // wParam: line; lParam: buffer whose first word holds its size. No terminating zero.
            std::vector<int> s = LineStarts();
            auto line = static_cast<size_t>(M.WParam);
            M.Result = 0;
            if (line >= s.size() || !M.LParam) return;
            int end = line + 1 < s.size() ? s[line + 1] - 2 : static_cast<int>(FText.size());
            auto* buf = reinterpret_cast<char*>(M.LParam);
            uint16_t size;
            std::memcpy(&size, buf, 2);
            size_t n = std::min<size_t>(size, static_cast<size_t>(end - s[line]));
            std::memcpy(buf, FText.data() + s[line], n);
            M.Result = static_cast<LRESULT>(n);
            return;
        }
        case WM_COPY:
            CopyToClipboard();
            return;
        case WM_CUT:
            CutToClipboard();
            return;
        case WM_PASTE:
            PasteFromClipboard();
            return;
        case WM_CLEAR:
            if (!FReadOnly) InsertText("", true);
            return;
        case CM_ENABLEDCHANGED:
        case CM_FONTCHANGED:
            Invalidate();
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// TCustomMemo

namespace {
// The memo's text seen as lines. A final empty line (text ending in a line break) is not counted.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo& Memo) : FMemo(Memo) {}
    int Count() const override { return static_cast<int>(Split().size()); }
    std::string Get(int Index) const override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) return "";
        return l[static_cast<size_t>(Index)];
    }
    void Put(int Index, const std::string& S) override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size()))
            throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
        l[static_cast<size_t>(Index)] = S;
        Join(l);
    }
    void Insert(int Index, const std::string& S) override {
        auto l = Split();
        if (Index < 0 || Index > static_cast<int>(l.size()))
            throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
        l.insert(l.begin() + Index, S);
        Join(l);
    }
    void Delete(int Index) override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) return;
        l.erase(l.begin() + Index);
        Join(l);
    }
    void Clear() override { FMemo.SetText(""); }
    std::string Text() const override { return FMemo.Text(); }
    void SetText(const std::string& Value) override { FMemo.SetText(Value); }

private:
    std::vector<std::string> Split() const {
        std::vector<std::string> r;
        const std::string& t = FMemo.Text();
        size_t start = 0;
        while (start < t.size()) {
            size_t e = t.find("\r\n", start);
            if (e == std::string::npos) {
                r.push_back(t.substr(start));
                break;
            }
            r.push_back(t.substr(start, e - start));
            start = e + 2;
        }
        return r;
    }
    void Join(const std::vector<std::string>& l) {
        std::string t;
        for (size_t i = 0; i < l.size(); ++i) t += l[i] + Crlf();
        FMemo.SetText(t);
    }
    TCustomMemo& FMemo;
};
}  // namespace

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(*this)) {
    FWidth = 185;
    FHeight = 89;
    AutoSelect = false;
}
TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT) {
        TCustomControl::KeyDown(Key, Shift);
        if (Key == 0) return;
        // Up and down go by rows as shown (a wrapped line is several), keeping the column.
        std::vector<TTextRow> rows = TextRows();
        int l = RowOf(rows, FCaret);
        int col = FCaret - rows[static_cast<size_t>(l)].From;
        int step = (Key == VK_UP || Key == VK_DOWN) ? 1 : VisibleRows();
        int nl = std::clamp(l + ((Key == VK_UP || Key == VK_PRIOR) ? -step : step), 0,
                            static_cast<int>(rows.size()) - 1);
        const TTextRow& to = rows[static_cast<size_t>(nl)];
        int p = std::min(to.From + col, to.To);
        SetSelection((Shift & ssShift) ? FAnchor : p, p);
        return;
    }
    TCustomEdit::KeyDown(Key, Shift);
}

void TCustomMemo::CreateParams(TCreateParams& P) {
    TCustomEdit::CreateParams(P);
    if (ScrollBars == ssVertical || ScrollBars == ssBoth) P.Style |= WS_VSCROLL;
    if (ScrollBars == ssHorizontal || ScrollBars == ssBoth) P.Style |= WS_HSCROLL;
}

std::vector<TCustomEdit::TTextRow> TCustomMemo::TextRows() {
    std::vector<TTextRow> lines = TCustomEdit::TextRows();
    if (!Wraps()) return lines;
    TCanvas& c = Canvas();
    c.Font.Assign(FFont);
    int width = std::max(1, ClientWidth() - 4);  // 2 pixels of margin each side
    std::vector<TTextRow> rows;
    for (const TTextRow& line : lines) {
        int s = line.From;
        if (s == line.To) rows.push_back(line);
        while (s < line.To) {
            auto fits = [&](int e) {
                return c.TextWidth(FText.substr(static_cast<size_t>(s), static_cast<size_t>(e - s))) <= width;
            };
            if (fits(line.To)) {
                rows.push_back({s, line.To});
                break;
            }
            // The longest piece that fits (binary search: widths grow with the length).
            int lo = s + 1, hi = line.To;
            while (lo < hi) {
                int mid = (lo + hi + 1) / 2;
                if (fits(mid))
                    lo = mid;
                else
                    hi = mid - 1;
            }
            int e = lo;
            // Break after the last space of the piece; a word longer than the row breaks anywhere.
            // Spaces at the break stay on the row they end (they need no room at its edge).
            int sp = e;
            while (sp > s && FText[static_cast<size_t>(sp)] != ' ' &&
                   FText[static_cast<size_t>(sp) - 1] != ' ')
                --sp;
            if (sp > s) e = sp;
            while (e < line.To && FText[static_cast<size_t>(e)] == ' ') ++e;
            rows.push_back({s, e});
            s = e;
        }
    }
    return rows;
}

std::vector<std::string> TCustomMemo::DisplayRows() {
    std::vector<std::string> r;
    for (const TTextRow& row : TextRows())
        r.push_back(FText.substr(static_cast<size_t>(row.From), static_cast<size_t>(row.To - row.From)));
    return r;
}

namespace {
// Posted to a memo whose ScrollBars changed after its window was made: showing or hiding a bar
// resizes the client area, which may not happen while it paints.
constexpr UINT kMemoShowBars = WM_USER + 0x7E0;
}  // namespace

void TCustomMemo::Paint() {
    UpdateScrollBars(false);
    TCustomEdit::Paint();
}

void TCustomMemo::UpdateScrollBars(bool Apply) {
    if (!HandleAllocated()) return;
    bool want[2] = {ScrollBars == ssHorizontal || ScrollBars == ssBoth,
                    ScrollBars == ssVertical || ScrollBars == ssBoth};
    std::vector<TTextRow> rows = TextRows();
    int widest = 0;
    if (want[SB_HORZ])
        for (const TTextRow& r : rows)
            widest = std::max(widest, Canvas().TextWidth(FText.substr(static_cast<size_t>(r.From),
                                                                      static_cast<size_t>(r.To - r.From))));
    // The bars asked for stay shown (disabled when everything fits), as the platform's memo does.
    TScrollInfo si[2];
    si[SB_VERT].nMax = static_cast<int>(rows.size()) - 1;
    si[SB_VERT].nPage = static_cast<uint32_t>(VisibleRows());
    si[SB_VERT].nPos = FTopLine;
    si[SB_HORZ].nMax = widest + 4;
    si[SB_HORZ].nPage = static_cast<uint32_t>(std::max(1, ClientWidth()));
    si[SB_HORZ].nPos = FScrollX;
    uint32_t style = GetWindowLong(Handle(), GWL_STYLE);
    bool same = true;
    for (int bar : {SB_HORZ, SB_VERT}) {
        bool shown = (style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
        if (shown != want[bar]) same = false;
        if (!want[bar]) continue;
        TScrollInfo now;
        now.fMask = SIF_ALL;
        GetScrollInfo(Handle(), bar, now);
        if (now.nMax != si[bar].nMax || now.nPage != std::min<uint32_t>(si[bar].nPage, si[bar].nMax + 1) ||
            now.nPos != si[bar].nPos)
            same = false;
    }
    if (same) return;
    if (!Apply) {
        if (!FBarsPosted) PostMessage(Handle(), kMemoShowBars, 0, 0);
        FBarsPosted = true;
        return;
    }
    for (int bar : {SB_HORZ, SB_VERT}) {
        if (!want[bar]) {
            ShowScrollBar(Handle(), bar, false);
            continue;
        }
        ShowScrollBar(Handle(), bar, true);
        si[bar].fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        SetScrollInfo(Handle(), bar, si[bar], true);
    }
}

void TCustomMemo::ScrollTo(int Top, int Left) {
    std::vector<TTextRow> rows = TextRows();
    Top = std::clamp(Top, 0, std::max(0, static_cast<int>(rows.size()) - VisibleRows()));
    int widest = 0;
    if (!Wraps())
        for (const TTextRow& r : rows)
            widest = std::max(widest, Canvas().TextWidth(FText.substr(static_cast<size_t>(r.From),
                                                                      static_cast<size_t>(r.To - r.From))));
    Left = std::clamp(Left, 0, std::max(0, widest + 4 - ClientWidth()));
    if (Top == FTopLine && Left == FScrollX) return;
    FTopLine = Top;
    FScrollX = Left;
    Invalidate();
}

bool TCustomMemo::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomEdit::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    ScrollTo(FTopLine - 3 * (WheelDelta / 120), FScrollX);  // three rows a notch
    return true;
}

void TCustomMemo::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case kMemoShowBars:
            FBarsPosted = false;
            UpdateScrollBars(true);
            return;
        case WM_VSCROLL:
        case WM_HSCROLL: {
            bool vert = M.Msg == WM_VSCROLL;
            int line = vert ? 1 : std::max(1, Canvas().TextWidth("W"));
            int page = vert ? std::max(1, VisibleRows() - 1) : std::max(1, ClientWidth() - 8);
            int pos = vert ? FTopLine : FScrollX;
            std::optional<int> target = ScrollCodePosition(M, pos, line, page);
            if (!target) return;
            pos = *target;
            if (vert)
                ScrollTo(pos, FScrollX);
            else
                ScrollTo(FTopLine, pos);
            M.Result = 0;
            return;
        }
        case WM_GETDLGCODE: {
            LRESULT r = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
            if (WantReturns) r |= DLGC_WANTALLKEYS;
            if (WantTabs) r |= DLGC_WANTTAB;
            M.Result = r;
            return;
        }
        case WM_CHAR:
            if (M.WParam == '\r' || M.WParam == '\n') {
                if (!WantReturns && !(GetKeyState(VK_CONTROL) < 0)) return;
                if (!DoKeyPress(M) && !FReadOnly) InsertText(Crlf(), true);
                return;
            }
            if (M.WParam == '\t') {
                if (!WantTabs) return;
                if (!DoKeyPress(M) && !FReadOnly) InsertText("\t", true);
                return;
            }
            break;
        default:
            break;
    }
    TCustomEdit::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// Lists

int TListItems::SortedIndex(const std::string& S) const {
    int i = 0;
    while (i < Count() && AnsiCompareText(Items[static_cast<size_t>(i)].Text, S) <= 0) ++i;
    return i;
}

std::optional<int> ScrollCodePosition(const TMessage& M, int Pos, int Line, int Page) {
    switch (static_cast<int>(M.WParam & 0xFFFF)) {
        case SB_LINEUP:
            return Pos - Line;
        case SB_LINEDOWN:
            return Pos + Line;
        case SB_PAGEUP:
            return Pos - Page;
        case SB_PAGEDOWN:
            return Pos + Page;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            return static_cast<int16_t>(M.WParamHi());
        case SB_TOP:
            return 0;
        case SB_BOTTOM:
            return 1 << 20;
        default:
            return std::nullopt;
    }
}

int TListItems::Find(const std::string& S, intptr_t Start, bool Exact) const {
    int n = Count();
    if (n == 0) return -1;
    int from = (Start < 0 || Start >= n) ? 0 : static_cast<int>(Start) + 1;
    for (int k = 0; k < n; ++k) {
        int i = (from + k) % n;
        const std::string& t = Items[static_cast<size_t>(i)].Text;
        if (Exact ? AnsiCompareText(t, S) == 0
                  : (t.size() >= S.size() && AnsiCompareText(t.substr(0, S.size()), S) == 0))
            return i;
    }
    return -1;
}

namespace {
// TStrings over a list or combo box: every operation is one of the control's messages.
// The message numbers of a list box or a combo box for the same item operations.
struct TListCodes {
    UINT Add, Insert, Delete, Reset, Count, Text, TextLen, GetData, SetData, Find, FindPrefix;
    LRESULT Error;
};

const TListCodes ListBoxCodes{LB_ADDSTRING,  LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                              LB_GETCOUNT,   LB_GETTEXT,      LB_GETTEXTLEN,   LB_GETITEMDATA,
                              LB_SETITEMDATA, LB_FINDSTRINGEXACT, LB_FINDSTRING, LB_ERR};
const TListCodes ComboBoxCodes{CB_ADDSTRING,  CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                               CB_GETCOUNT,   CB_GETLBTEXT,    CB_GETLBTEXTLEN, CB_GETITEMDATA,
                               CB_SETITEMDATA, CB_FINDSTRINGEXACT, CB_FINDSTRING, CB_ERR};

class TListMessageStrings : public TStrings {
public:
    using Codes = TListCodes;
    TListMessageStrings(TWinControl& Control, Codes C) : FControl(Control), FC(C) {}
    int Count() const override { return static_cast<int>(FControl.Perform(FC.Count, 0, 0)); }
    std::string Get(int Index) const override {
        LRESULT len = FControl.Perform(FC.TextLen, static_cast<WPARAM>(Index), 0);
        if (len < 0) throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
        std::string s(static_cast<size_t>(len) + 1, '\0');
        FControl.Perform(FC.Text, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(s.data()));
        s.resize(static_cast<size_t>(len));
        return s;
    }
    TObject* Objects(int Index) const override {
        return reinterpret_cast<TObject*>(FControl.Perform(FC.GetData, static_cast<WPARAM>(Index), 0));
    }
    void PutObject(int Index, TObject* AObject) override {
        FControl.Perform(FC.SetData, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(AObject));
    }
    int Add(const std::string& S) override {
        LRESULT r = FControl.Perform(FC.Add, 0, reinterpret_cast<LPARAM>(S.c_str()));
        if (r < 0) throw EListError("List index out of bounds (-1)");
        return static_cast<int>(r);
    }
    int AddObject(const std::string& S, TObject* AObject) override {
        int i = Add(S);
        PutObject(i, AObject);
        return i;
    }
    void Insert(int Index, const std::string& S) override {
        if (FControl.Perform(FC.Insert, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(S.c_str())) < 0)
            throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
    }
    void Put(int Index, const std::string& S) override {
        TObject* o = Objects(Index);
        Delete(Index);
        Insert(Index, S);
        PutObject(Index, o);
    }
    void Delete(int Index) override { FControl.Perform(FC.Delete, static_cast<WPARAM>(Index), 0); }
    void Clear() override { FControl.Perform(FC.Reset, 0, 0); }
    int IndexOf(const std::string& S) const override {
        return static_cast<int>(
            FControl.Perform(FC.Find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(S.c_str())));
    }

private:
    TWinControl& FControl;
    Codes FC;
};

const char* StrOf(LPARAM L) {
    return L ? reinterpret_cast<const char*>(L) : "";
}

// Answers the messages that only read the items or tag them with data, the same for list and
// combo boxes; false for any other message.
bool AnswerItemQuery(TListItems& List, TMessage& M, const TListCodes& C) {
    auto index = static_cast<intptr_t>(M.WParam);
    if (M.Msg == C.Count) {
        M.Result = List.Count();
    } else if (M.Msg == C.TextLen) {
        M.Result = List.Valid(index) ? static_cast<LRESULT>(List.Items[M.WParam].Text.size()) : C.Error;
    } else if (M.Msg == C.Text) {
        if (!List.Valid(index)) {
            M.Result = C.Error;
        } else {
            const std::string& t = List.Items[M.WParam].Text;
            if (M.LParam) std::memcpy(reinterpret_cast<char*>(M.LParam), t.c_str(), t.size() + 1);
            M.Result = static_cast<LRESULT>(t.size());
        }
    } else if (M.Msg == C.GetData) {
        M.Result = List.Valid(index) ? static_cast<LRESULT>(List.Items[M.WParam].Data) : C.Error;
    } else if (M.Msg == C.SetData) {
        if (List.Valid(index)) List.Items[M.WParam].Data = static_cast<uintptr_t>(M.LParam);
        M.Result = List.Valid(index) ? 0 : C.Error;
    } else if (M.Msg == C.Find || M.Msg == C.FindPrefix) {
        M.Result = List.Find(StrOf(M.LParam), index, M.Msg == C.Find);
    } else {
        return false;
    }
    return true;
}

void NotifyParent(TWinControl& Control, UINT Code) {
    if (!Control.HandleAllocated() || !Control.Parent() || !Control.Parent()->HandleAllocated()) {
        // Without windows the notice goes straight to the control, as the parent would reflect it.
        Control.Perform(CN_COMMAND, MakeWParam(0, static_cast<int>(Code)), 0);
        return;
    }
    SendMessage(Control.Parent()->Handle(), WM_COMMAND, MakeWParam(0, static_cast<int>(Code)),
                static_cast<LPARAM>(Control.Handle()));
}
}  // namespace

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TCustomControl(AOwner),
      FItemsView(std::make_unique<TListMessageStrings>(
          *this, ListBoxCodes)) {
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    ControlStyle |= csDoubleClicks;
}
TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    if (BorderStyle == bsSingle) P.ExStyle |= WS_EX_CLIENTEDGE;
}

int TCustomListBox::HeightOf(int Index) const {
    if (FStyle == lbOwnerDrawVariable && FList.Valid(Index))
        return FList.Items[static_cast<size_t>(Index)].Height;
    return FItemHeight;
}

TRect TCustomListBox::ItemRect(int Index) const {
    int w = ClientWidth();
    if (Index < 0 || Index > FList.Count()) return TRect{};
    int y = 0;
    if (Index >= FTopIndex) {
        for (int i = FTopIndex; i < Index; ++i) y += HeightOf(i);
    } else {
        for (int i = Index; i < FTopIndex; ++i) y -= HeightOf(i);
    }
    return Rect(0, y, w, y + HeightOf(Index));
}

int TCustomListBox::ItemAtPos(TPoint Pos, bool Existing) const {
    int y = 0;
    int i = FTopIndex;
    for (; i < FList.Count(); ++i) {
        int h = HeightOf(i);
        if (Pos.Y >= y && Pos.Y < y + h) return i;
        y += h;
    }
    return Existing ? -1 : FList.Count();
}

void TCustomListBox::Measure(int Index) {
    if (FStyle != lbOwnerDrawVariable || !FList.Valid(Index)) return;
    TMeasureItemStruct mi;
    mi.CtlType = ODT_LISTBOX;
    mi.itemID = static_cast<UINT>(Index);
    mi.itemWidth = static_cast<UINT>(ClientWidth());
    mi.itemHeight = static_cast<UINT>(FItemHeight);
    mi.itemData = FList.Items[static_cast<size_t>(Index)].Data;
    mi.hwndItem = HandleAllocated() ? Handle() : 0;
    if (mi.hwndItem && FParent && FParent->HandleAllocated())
        SendMessage(FParent->Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    else
        Perform(CN_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    FList.Items[static_cast<size_t>(Index)].Height = static_cast<int>(mi.itemHeight);
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomListBox::DrawTabbed(const TRect& R, const std::string& S, int X) {
    TCanvas& c = Canvas();
    // Tab stops are in dialog units: four to an average character width.
    int avg = std::max(1, c.TextWidth("x"));
    std::vector<int> stops;
    for (int t : FTabStops) stops.push_back(t * avg / 4);
    int every = (FTabWidth > 0 ? FTabWidth : 32) * avg / 4;
    size_t start = 0;
    int x = X;
    c.TextRect(R, R.Left, R.Top, "");
    for (;;) {
        size_t tab = S.find('\t', start);
        std::string part = S.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        c.TextOut(x, R.Top, part);
        if (tab == std::string::npos) break;
        int end = x + c.TextWidth(part) - X;
        int next = -1;
        for (int st : stops)
            if (st > end) {
                next = st;
                break;
            }
        if (next < 0) next = (end / every + 1) * every;
        x = X + next;
        start = tab + 1;
    }
}

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    TCanvas& c = Canvas();
    c.FillRect(Rect);
    if (FList.Valid(Index)) DrawTabbed(Rect, FList.Items[static_cast<size_t>(Index)].Text, Rect.Left + 2);
}

void TCustomListBox::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(client);
    HDC dc = c.Handle();
    for (int i = FTopIndex; i < FList.Count(); ++i) {
        TRect r = ItemRect(i);
        if (r.Top >= client.Bottom) break;
        UINT state = 0;
        if (MultiSelect ? Selected(i) : i == FItemIndex) state |= ODS_SELECTED;
        if (i == FItemIndex && Focused()) state |= ODS_FOCUS;
        if (!FEnabled) state |= ODS_DISABLED;
        TDrawItemStruct di;
        di.CtlType = ODT_LISTBOX;
        di.itemID = static_cast<UINT>(i);
        di.itemAction = ODA_DRAWENTIRE;
        di.itemState = state;
        di.hwndItem = HandleAllocated() ? Handle() : 0;
        di.hDC = dc;
        di.rcLeft = r.Left;
        di.rcTop = r.Top;
        di.rcRight = r.Right;
        di.rcBottom = r.Bottom;
        di.itemData = FList.Items[static_cast<size_t>(i)].Data;
        if (FStyle != lbStandard && di.hwndItem && FParent && FParent->HandleAllocated())
            SendMessage(FParent->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
        else
            Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
        c.SetHandle(dc);
    }
}

void TCustomListBox::Notify(UINT Code) {
    NotifyParent(*this, Code);
}

void TCustomListBox::SetItemIndex(int Value) {
    if (Value < -1 || Value >= FList.Count()) Value = -1;
    if (Value == FItemIndex) return;
    FItemIndex = Value;
    if (MultiSelect) {
        std::fill(FSelected.begin(), FSelected.end(), false);
        if (Value >= 0) FSelected[static_cast<size_t>(Value)] = true;
    }
    MakeVisible(Value);
    Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
    FStyle = Value;
    for (int i = 0; i < FList.Count(); ++i) Measure(i);
    Invalidate();
}

void TCustomListBox::SetItemHeight(int Value) {
    if (Value > 0) FItemHeight = Value;
    Invalidate();
}

void TCustomListBox::SetSorted(bool Value) {
    if (FList.Sorted == Value) return;
    FList.Sorted = Value;
    if (Value) {
        std::stable_sort(FList.Items.begin(), FList.Items.end(),
                         [](const auto& a, const auto& b) { return AnsiCompareText(a.Text, b.Text) < 0; });
        FItemIndex = -1;
        Invalidate();
    }
}

bool TCustomListBox::Selected(int Index) const {
    if (!FList.Valid(Index)) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return MultiSelect ? static_cast<bool>(FSelected[static_cast<size_t>(Index)]) : Index == FItemIndex;
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (!FList.Valid(Index)) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    if (MultiSelect)
        FSelected[static_cast<size_t>(Index)] = Value;
    else if (Value)
        SetItemIndex(Index);
    else if (Index == FItemIndex)
        SetItemIndex(-1);
    Invalidate();
}

int TCustomListBox::SelCount() const {
    if (!MultiSelect) return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::SetTopIndex(int Value) {
    FTopIndex = std::clamp(Value, 0, std::max(0, FList.Count() - 1));
    Invalidate();
}

void TCustomListBox::SetTabWidth(int Value) {
    FTabWidth = std::max(0, Value);
    FTabStops.clear();
    if (FTabWidth > 0) FTabStops.push_back(FTabWidth);
    Invalidate();
}

void TCustomListBox::Clear() {
    Perform(LB_RESETCONTENT, 0, 0);
}

void TCustomListBox::MakeVisible(int Index) {
    if (!FList.Valid(Index)) return;
    if (Index < FTopIndex) {
        FTopIndex = Index;
        return;
    }
    int h = ClientHeight();
    while (FTopIndex < Index && ItemRect(Index).Bottom > h) ++FTopIndex;
}

void TCustomListBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    int n = FList.Count();
    if (Key == 0 || n == 0) return;
    int page = std::max(1, ClientHeight() / std::max(1, FItemHeight) - 1);
    int to = FItemIndex;
    switch (Key) {
        case VK_UP:
            to = std::max(0, FItemIndex - 1);
            break;
        case VK_DOWN:
            to = std::min(n - 1, FItemIndex + 1);
            break;
        case VK_HOME:
            to = 0;
            break;
        case VK_END:
            to = n - 1;
            break;
        case VK_PRIOR:
            to = std::max(0, FItemIndex - page);
            break;
        case VK_NEXT:
            to = std::min(n - 1, FItemIndex + page);
            break;
        default:
            return;
    }
    if (to != FItemIndex) {
        SetItemIndex(to);
        Notify(LBN_SELCHANGE);
    }
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        if (CanFocus() && !Focused()) SetFocus();
        int i = ItemAtPos(Point(X, Y), true);
        if (i >= 0) {
            if (MultiSelect && (Shift & ssCtrl)) {
                FSelected[static_cast<size_t>(i)] = !FSelected[static_cast<size_t>(i)];
                FItemIndex = i;
                Invalidate();
                Notify(LBN_SELCHANGE);
            } else if (i != FItemIndex || MultiSelect) {
                SetItemIndex(i);
                Notify(LBN_SELCHANGE);
            }
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::Dispatch(TMessage& M) {
    auto insertAt = [&](int At, const char* S) -> LRESULT {
        if (At < 0 || At > FList.Count()) return LB_ERR;
        FList.Items.insert(FList.Items.begin() + At, TListItems::Item{S, 0, FItemHeight});
        FSelected.insert(FSelected.begin() + At, false);
        if (FItemIndex >= At) ++FItemIndex;
        Measure(At);
        Invalidate();
        return At;
    };
    if (AnswerItemQuery(FList, M, ListBoxCodes)) return;
    switch (M.Msg) {
        case LB_ADDSTRING: {
            const char* s = StrOf(M.LParam);
            M.Result = insertAt(FList.Sorted ? FList.SortedIndex(s) : FList.Count(), s);
            return;
        }
        case LB_INSERTSTRING: {
            auto at = static_cast<intptr_t>(M.WParam);
            M.Result = insertAt(at == -1 ? FList.Count() : static_cast<int>(at), StrOf(M.LParam));
            return;
        }
        case LB_DELETESTRING: {
            auto i = static_cast<intptr_t>(M.WParam);
            if (!FList.Valid(i)) {
                M.Result = LB_ERR;
                return;
            }
            FList.Items.erase(FList.Items.begin() + i);
            FSelected.erase(FSelected.begin() + i);
            if (FItemIndex == i)
                FItemIndex = -1;
            else if (FItemIndex > i)
                --FItemIndex;
            if (FTopIndex >= FList.Count()) FTopIndex = std::max(0, FList.Count() - 1);
            Invalidate();
            M.Result = FList.Count();
            return;
        }
        case LB_RESETCONTENT:
            FList.Items.clear();
            FSelected.clear();
            FItemIndex = -1;
            FTopIndex = 0;
            Invalidate();
            return;
        case LB_SELECTSTRING: {
            int i = FList.Find(StrOf(M.LParam), static_cast<intptr_t>(M.WParam), false);
            if (i >= 0) SetItemIndex(i);
            M.Result = i;
            return;
        }
        case LB_SETCURSEL: {
            auto i = static_cast<intptr_t>(M.WParam);
            SetItemIndex(FList.Valid(i) ? static_cast<int>(i) : -1);
            M.Result = FList.Valid(i) ? i : LB_ERR;
            return;
        }
        case LB_GETCURSEL:
            M.Result = FItemIndex;
            return;
        case LB_SETSEL: {
            auto i = M.LParam;
            if (!MultiSelect) {
                M.Result = LB_ERR;
                return;
            }
            if (i == -1)
                std::fill(FSelected.begin(), FSelected.end(), M.WParam != 0);
            else if (FList.Valid(i))
                FSelected[static_cast<size_t>(i)] = M.WParam != 0;
            Invalidate();
            return;
        }
        case LB_GETSEL:
            M.Result = FList.Valid(static_cast<intptr_t>(M.WParam))
                           ? (Selected(static_cast<int>(M.WParam)) ? 1 : 0)
                           : LB_ERR;
            return;
        case LB_GETSELCOUNT:
            M.Result = MultiSelect ? SelCount() : LB_ERR;
            return;
        case LB_GETTOPINDEX:
            M.Result = FTopIndex;
            return;
        case LB_SETTOPINDEX:
            if (!FList.Valid(static_cast<intptr_t>(M.WParam))) {
                M.Result = LB_ERR;
                return;
            }
            SetTopIndex(static_cast<int>(M.WParam));
            return;
        case LB_GETITEMRECT: {
            auto i = static_cast<intptr_t>(M.WParam);
            if (!FList.Valid(i) && !(i == 0 && FList.Count() == 0)) {
                M.Result = LB_ERR;
                return;
            }
            *reinterpret_cast<TRect*>(M.LParam) = ItemRect(static_cast<int>(i));
            M.Result = 1;
            return;
        }
        case LB_SETITEMHEIGHT:
            if (FStyle == lbOwnerDrawVariable && FList.Valid(static_cast<intptr_t>(M.WParam)))
                FList.Items[M.WParam].Height = static_cast<int>(M.LParam & 0xFFFF);
            else
                FItemHeight = static_cast<int>(M.LParam & 0xFFFF);
            Invalidate();
            return;
        case LB_GETITEMHEIGHT:
            M.Result = HeightOf(static_cast<int>(M.WParam));
            return;
        case LB_SETTABSTOPS: {
            FTabStops.clear();
            auto* stops = reinterpret_cast<const int32_t*>(M.LParam);
            for (WPARAM i = 0; stops && i < M.WParam; ++i) FTabStops.push_back(stops[i]);
            Invalidate();
            M.Result = 1;
            return;
        }
        case LB_SETHORIZONTALEXTENT:
            FHorizontalExtent = static_cast<int>(M.WParam);
            ShowScrollBar(Handle(), SB_HORZ, FHorizontalExtent > ClientWidth());
            return;
        case LB_GETHORIZONTALEXTENT:
            M.Result = FHorizontalExtent;
            return;
        case LB_ITEMFROMPOINT: {
            int i = ItemAtPos(Point(GetXLParam(M.LParam), GetYLParam(M.LParam)), true);
            M.Result = i < 0 ? MakeLParam(std::max(0, FList.Count() - 1), 1) : i;
            return;
        }
        case LB_SETCARETINDEX:
            SetItemIndex(static_cast<int>(M.WParam));
            return;
        case LB_GETCARETINDEX:
            M.Result = FItemIndex;
            return;
        case CN_DRAWITEM: {
            auto* di = reinterpret_cast<TDrawItemStruct*>(M.LParam);
            TCanvas& c = Canvas();
            c.SetHandle(di->hDC);
            c.Font.Assign(FFont);
            c.Brush.Color = FColor;
            TOwnerDrawState state = static_cast<TOwnerDrawState>(di->itemState & 0xFFFF);
            if (state & odSelected) {
                c.Brush.Color = clHighlight;
                c.Font.Color = clHighlightText;
            }
            TRect r = Rect(di->rcLeft, di->rcTop, di->rcRight, di->rcBottom);
            if (static_cast<int>(di->itemID) >= 0 && static_cast<int>(di->itemID) < FList.Count())
                DrawItem(static_cast<int>(di->itemID), r, state);
            else
                c.FillRect(r);
            if (state & odFocused) {
                c.Pen.Color = clBlack;
                c.Brush.Style = bsClear;
                c.FrameRect(r);
                c.Brush.Style = bsSolid;
            }
            M.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(M.LParam);
            int h = FItemHeight;
            MeasureItem(static_cast<int>(mi->itemID), h);
            mi->itemHeight = static_cast<UINT>(std::max(0, h));
            M.Result = 1;
            return;
        }
        case CN_COMMAND:
            switch (M.WParamHi()) {
                case LBN_SELCHANGE:
                    Click();
                    break;
                default:
                    break;
            }
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// TCustomComboBox

namespace {
constexpr int kButtonWidth = 17;           // the drop-down button at the right of the edit field
constexpr int kListBorder = 1;             // the frame of the dropped-down list
TCustomComboBox* gDroppedCombo = nullptr;  // the combo box whose list is down
}  // namespace

// The dropped-down list: a top-level window without frame below the combo box that draws the
// rows through the combo box's own draw-item path and turns clicks and moves into choices.
class TComboListWindow : public TCustomControl {
public:
    explicit TComboListWindow(TCustomComboBox& Combo) : TCustomControl(nullptr), FCombo(Combo) {
        ControlStyle |= csOpaque;
    }
    // The row at a client point, -1 for none.
    int RowAt(int X, int Y) const {
        if (X < 0 || X >= FWidth) return -1;
        int y = kListBorder;
        for (int i = FCombo.FListTop; i < FCombo.FList.Count(); ++i) {
            int h = FCombo.DropDownItemRect(i).Height();
            if (Y >= y && Y < y + h) return i;
            y += h;
            if (y >= FHeight) break;
        }
        return -1;
    }
    TRect RowRect(int Index) const {
        int y = kListBorder;
        for (int i = FCombo.FListTop; i < Index && i < FCombo.FList.Count(); ++i)
            y += FCombo.DropDownItemRect(i).Height();
        return Rect(kListBorder, y, FWidth - kListBorder, y + FCombo.DropDownItemRect(Index).Height());
    }

protected:
    void CreateParams(TCreateParams& P) override {
        TCustomControl::CreateParams(P);
        P.Style = WS_POPUP;
        P.ExStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    }
    void Paint() override {
        TCanvas& c = Canvas();
        c.Pen.Color = clWindowFrame;
        c.Brush.Color = FCombo.Color();
        c.Rectangle(0, 0, FWidth, FHeight);
        int hot = FCombo.FListHot >= 0 ? FCombo.FListHot : FCombo.FItemIndex;
        for (int i = FCombo.FListTop; i < FCombo.FList.Count(); ++i) {
            TRect r = RowRect(i);
            if (r.Top >= FHeight - kListBorder) break;
            FCombo.DrawItemOn(c.Handle(), i, r, i == hot ? ODS_SELECTED | ODS_FOCUS : 0);
        }
    }
    void MouseMove(TShiftState, int X, int Y) override {
        int i = RowAt(X, Y);
        if (i >= 0 && i != FCombo.FListHot) {
            FCombo.FListHot = i;
            Invalidate();
        }
    }
    void MouseUp(TMouseButton Button, TShiftState, int X, int Y) override {
        if (Button != TMouseButton::mbLeft) return;
        int i = RowAt(X, Y);
        if (i >= 0) FCombo.ListChoose(i);
    }

private:
    TCustomComboBox& FCombo;
};

namespace {}

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TCustomEdit(AOwner),
      FItemsView(std::make_unique<TListMessageStrings>(
          *this, ComboBoxCodes)) {
    FWidth = 145;
    FHeight = 21;
    AutoSelect = true;
    FCursor = crDefault;
}
TCustomComboBox::~TCustomComboBox() {
    if (gDroppedCombo == this) gDroppedCombo = nullptr;
}

void TCustomComboBox::Notify(UINT Code) {
    NotifyParent(*this, Code);
}

void TCustomComboBox::Measure(int Index) {
    if (FStyle != csOwnerDrawVariable || !FList.Valid(Index)) return;
    TMeasureItemStruct mi;
    mi.CtlType = ODT_COMBOBOX;
    mi.itemID = static_cast<UINT>(Index);
    mi.itemHeight = static_cast<UINT>(FItemHeight);
    mi.itemData = FList.Items[static_cast<size_t>(Index)].Data;
    mi.hwndItem = HandleAllocated() ? Handle() : 0;
    if (mi.hwndItem && FParent && FParent->HandleAllocated())
        SendMessage(FParent->Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    else
        Perform(CN_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    FList.Items[static_cast<size_t>(Index)].Height = static_cast<int>(mi.itemHeight);
}

void TCustomComboBox::SetItemIndex(int Value) {
    if (!FList.Valid(Value)) Value = -1;
    FItemIndex = Value;
    // The edit field shows the selected item; no change notice goes out for it.
    TWinControl::SetText(Value >= 0 ? FList.Items[static_cast<size_t>(Value)].Text : "");
    FAnchor = 0;
    FCaret = static_cast<int>(FText.size());
    Invalidate();
}

void TCustomComboBox::SetText(const std::string& Value) {
    if (EditableText()) {
        TCustomEdit::SetText(Value);
        return;
    }
    SetItemIndex(Value.empty() ? -1 : FList.Find(Value, -1, true));
}

void TCustomComboBox::Select(int Index, bool User) {
    if (!FList.Valid(Index) || Index == FItemIndex) return;
    SetItemIndex(Index);
    if (User) Notify(CBN_SELCHANGE);
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
    FStyle = Value;
    if (!EditableText()) FCursor = crDefault;
    for (int i = 0; i < FList.Count(); ++i) Measure(i);
    Invalidate();
}

void TCustomComboBox::SetItemHeight(int Value) {
    if (Value > 0) FItemHeight = Value;
    Invalidate();
}

void TCustomComboBox::SetSorted(bool Value) {
    if (FList.Sorted == Value) return;
    FList.Sorted = Value;
    if (Value)
        std::stable_sort(FList.Items.begin(), FList.Items.end(),
                         [](const auto& a, const auto& b) { return AnsiCompareText(a.Text, b.Text) < 0; });
}

void TCustomComboBox::SetDroppedDown(bool Value) {
    if (FDropped == Value || (Value && FStyle == csSimple)) return;
    FDropped = Value;
    Invalidate();
    if (Value) {
        // The owner hears of the drop first (it may fill the list), then the list shows.
        Notify(CBN_DROPDOWN);
        if (FDropped) ShowList();
    } else {
        if (gDroppedCombo == this) gDroppedCombo = nullptr;
        HideList();
        Notify(CBN_CLOSEUP);
    }
}

namespace {
// A press anywhere but on the combo box whose list is down, or on its list, closes the list and
// is eaten.
struct TComboMouseInstaller {
    TComboMouseInstaller() {
        AddMouseDownFilter([](HWND Wnd, int, int) {
            TCustomComboBox* c = gDroppedCombo;
            if (!c || !c->DroppedDown()) return false;
            if ((c->HandleAllocated() && Wnd == c->Handle()) ||
                (c->ListWindow() && c->ListWindow()->HandleAllocated() && Wnd == c->ListWindow()->Handle()))
                return false;
            c->Perform(CB_SHOWDROPDOWN, 0, 0);
            return true;
        });
    }
} gComboMouseInstaller;
}  // namespace

int TCustomComboBox::ListRows() const {
    return std::max(1, std::min(DropDownCount, FList.Count()));
}

void TCustomComboBox::ShowList() {
    if (!FListWindow) FListWindow = std::make_unique<TComboListWindow>(*this);
    FListTop = 0;
    FListHot = -1;
    ListMakeVisible(FItemIndex);
    int h = 0;
    for (int i = FListTop; i < FListTop + ListRows(); ++i) h += DropDownItemRect(i).Height();
    TPoint at = ClientToScreen(Point(0, FHeight));
    FListWindow->SetBounds(at.X, at.Y, FWidth, std::max(h, FItemHeight) + 2 * kListBorder);
    FListWindow->HandleNeeded();
    ShowWindowRecord(FListWindow->Handle(), true);
    RaiseWindowRecord(FListWindow->Handle());
    FListWindow->Invalidate();
    gDroppedCombo = this;
}

void TCustomComboBox::HideList() {
    FListHot = -1;
    if (FListWindow && FListWindow->HandleAllocated()) ShowWindowRecord(FListWindow->Handle(), false);
}

void TCustomComboBox::SetListTop(int Value) {
    Value = std::max(0, std::min(Value, FList.Count() - ListRows()));
    if (Value == FListTop) return;
    FListTop = Value;
    if (FListWindow) FListWindow->Invalidate();
}

void TCustomComboBox::ListMakeVisible(int Index) {
    if (!FList.Valid(Index)) return;
    if (Index < FListTop)
        SetListTop(Index);
    else if (Index >= FListTop + ListRows())
        SetListTop(Index - ListRows() + 1);
}

void TCustomComboBox::ListChoose(int Index) {
    // A click: the selection changes (CBN_SELCHANGE when it is new), is confirmed
    // (CBN_SELENDOK) and the list closes (CBN_CLOSEUP).
    Select(Index, true);
    Notify(CBN_SELENDOK);
    SetDroppedDown(false);
}

bool TCustomComboBox::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomEdit::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    int steps = WheelDelta / 120;
    if (steps == 0) return false;
    if (FDropped) {
        SetListTop(FListTop - 3 * steps);  // three rows a notch, as lists scroll
    } else if (FList.Count() > 0) {
        Select(std::max(0, std::min(FList.Count() - 1, FItemIndex - steps)), true);
    }
    return true;
}

void TCustomComboBox::DrawItemOn(HDC Dc, int Index, const TRect& R, UINT State) {
    TDrawItemStruct di;
    di.CtlType = ODT_COMBOBOX;
    di.itemID = static_cast<UINT>(Index);
    di.itemAction = ODA_DRAWENTIRE;
    di.itemState = State;
    di.hwndItem = HandleAllocated() ? Handle() : 0;
    di.hDC = Dc;
    di.rcLeft = R.Left;
    di.rcTop = R.Top;
    di.rcRight = R.Right;
    di.rcBottom = R.Bottom;
    di.itemData = FList.Valid(Index) ? FList.Items[static_cast<size_t>(Index)].Data : 0;
    TCanvas& c = Canvas();
    HDC own = c.Handle();
    if (OwnerDraw() && di.hwndItem && FParent && FParent->HandleAllocated())
        SendMessage(FParent->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    else
        Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    c.SetHandle(own);
}

void TCustomComboBox::Clear() {
    Perform(CB_RESETCONTENT, 0, 0);
}

TRect TCustomComboBox::DropDownItemRect(int Index) const {
    int y = FHeight;
    for (int i = 0; i < Index && i < FList.Count(); ++i)
        y += FStyle == csOwnerDrawVariable ? FList.Items[static_cast<size_t>(i)].Height : FItemHeight;
    int h = FStyle == csOwnerDrawVariable && FList.Valid(Index)
                ? FList.Items[static_cast<size_t>(Index)].Height
                : FItemHeight;
    return Rect(0, y, FWidth, y + h);
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    TCanvas& c = Canvas();
    c.FillRect(Rect);
    if (FList.Valid(Index)) c.TextOut(Rect.Left + 2, Rect.Top, FList.Items[static_cast<size_t>(Index)].Text);
}

void TCustomComboBox::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    TRect edit = Rect(client.Left, client.Top, client.Right - kButtonWidth, client.Bottom);
    if (EditableText() && !OwnerDraw()) {
        TCustomEdit::Paint();
    } else {
        c.Brush.Color = FEnabled ? FColor : clBtnFace;
        c.FillRect(client);
        c.Font.Assign(FFont);
        UINT state = ODS_COMBOBOXEDIT;
        if (Focused()) state |= ODS_SELECTED | ODS_FOCUS;
        if (!FEnabled) state |= ODS_DISABLED;
        DrawItemOn(c.Handle(), FItemIndex, Rect(edit.Left + 1, edit.Top + 1, edit.Right - 1, edit.Bottom - 1),
                   state);
    }
    // The drop-down button.
    TRect b = Rect(client.Right - kButtonWidth, client.Top, client.Right, client.Bottom);
    c.Brush.Color = clBtnFace;
    c.FillRect(b);
    c.Pen.Color = clBtnShadow;
    c.MoveTo(b.Left, b.Top);
    c.LineTo(b.Left, b.Bottom);
    c.Pen.Color = FEnabled ? clBtnText : clGrayText;
    int cx = (b.Left + b.Right) / 2, cy = (b.Top + b.Bottom) / 2 - 1;
    for (int d = 0; d < 4; ++d) {
        c.MoveTo(cx - 3 + d, cy + d);
        c.LineTo(cx + 4 - d, cy + d);
    }
}

void TCustomComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    bool alt = (Shift & ssAlt) != 0;
    if ((Key == VK_DOWN && alt) || (Key == VK_UP && alt) || Key == VK_F4) {
        TCustomControl::KeyDown(Key, Shift);
        if (Key) SetDroppedDown(!FDropped);
        return;
    }
    if (FDropped && (Key == VK_RETURN || Key == VK_ESCAPE)) {
        TCustomControl::KeyDown(Key, Shift);
        if (!Key) return;
        Notify(Key == VK_RETURN ? CBN_SELENDOK : CBN_SELENDCANCEL);
        SetDroppedDown(false);
        return;
    }
    int n = FList.Count();
    int to = -2;
    switch (Key) {
        case VK_UP:
            to = std::max(0, FItemIndex - 1);
            break;
        case VK_DOWN:
            to = std::min(n - 1, FItemIndex + 1);
            break;
        case VK_PRIOR:
            to = std::max(0, FItemIndex - DropDownCount + 1);
            break;
        case VK_NEXT:
            to = std::min(n - 1, FItemIndex + DropDownCount - 1);
            break;
        case VK_HOME:
        case VK_END:
            if (!EditableText()) to = Key == VK_HOME ? 0 : n - 1;
            break;
        default:
            break;
    }
    if (to == -2) {
        if (EditableText())
            TCustomEdit::KeyDown(Key, Shift);
        else
            TCustomControl::KeyDown(Key, Shift);
        return;
    }
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0 || n == 0) return;
    if (FDropped && FListHot >= 0) {
        // The keys move on from the row the pointer highlighted.
        int from = FListHot;
        FListHot = -1;
        if (Key == VK_UP) to = std::max(0, from - 1);
        if (Key == VK_DOWN) to = std::min(n - 1, from + 1);
    }
    Select(to, true);
    if (FDropped) {
        ListMakeVisible(FItemIndex);
        if (FListWindow) FListWindow->Invalidate();
    }
}

void TCustomComboBox::KeyPress(char& Key) {
    if (EditableText()) {
        TCustomEdit::KeyPress(Key);
        return;
    }
    TCustomControl::KeyPress(Key);
    if (static_cast<unsigned char>(Key) < 32) return;
    // A list without an edit field selects the next item starting with the character typed.
    int i = FList.Find(std::string(1, Key), FItemIndex, false);
    if (i >= 0) Select(i, true);
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft && FStyle != csSimple) {
        if (CanFocus() && !Focused()) SetFocus();
        if (!EditableText() || X >= ClientWidth() - kButtonWidth) {
            SetDroppedDown(!FDropped);
            TCustomControl::MouseDown(Button, Shift, X, Y);
            return;
        }
    }
    TCustomEdit::MouseDown(Button, Shift, X, Y);
}

void TCustomComboBox::Dispatch(TMessage& M) {
    auto insertAt = [&](int At, const char* S) -> LRESULT {
        if (At < 0 || At > FList.Count()) return CB_ERR;
        FList.Items.insert(FList.Items.begin() + At, TListItems::Item{S, 0, FItemHeight});
        if (FItemIndex >= At) ++FItemIndex;
        Measure(At);
        return At;
    };
    if (AnswerItemQuery(FList, M, ComboBoxCodes)) return;
    switch (M.Msg) {
        case CB_ADDSTRING: {
            const char* s = StrOf(M.LParam);
            M.Result = insertAt(FList.Sorted ? FList.SortedIndex(s) : FList.Count(), s);
            return;
        }
        case CB_INSERTSTRING: {
            auto at = static_cast<intptr_t>(M.WParam);
            M.Result = insertAt(at == -1 ? FList.Count() : static_cast<int>(at), StrOf(M.LParam));
            return;
        }
        case CB_DELETESTRING: {
            auto i = static_cast<intptr_t>(M.WParam);
            if (!FList.Valid(i)) {
                M.Result = CB_ERR;
                return;
            }
            FList.Items.erase(FList.Items.begin() + i);
            if (FItemIndex == i)
                FItemIndex = -1;
            else if (FItemIndex > i)
                --FItemIndex;
            M.Result = FList.Count();
            return;
        }
        case CB_RESETCONTENT:
            FList.Items.clear();
            FItemIndex = -1;
            if (!EditableText()) TWinControl::SetText("");
            Invalidate();
            return;
        case CB_SELECTSTRING: {
            int i = FList.Find(StrOf(M.LParam), static_cast<intptr_t>(M.WParam), false);
            if (i >= 0) SetItemIndex(i);
            M.Result = i;
            return;
        }
        case CB_SETCURSEL: {
            auto i = static_cast<intptr_t>(M.WParam);
            SetItemIndex(FList.Valid(i) ? static_cast<int>(i) : -1);
            M.Result = FList.Valid(i) ? i : CB_ERR;
            return;
        }
        case CB_GETCURSEL:
            M.Result = FItemIndex;
            return;
        case CB_SHOWDROPDOWN:
            SetDroppedDown(M.WParam != 0);
            M.Result = 1;
            return;
        case CB_GETDROPPEDSTATE:
            M.Result = FDropped ? 1 : 0;
            return;
        case CB_SETITEMHEIGHT: {
            auto i = static_cast<intptr_t>(M.WParam);
            int h = static_cast<int>(M.LParam & 0xFFFF);
            if (i == -1)
                SetHeight(h + 6);  // the edit field: the control grows around it
            else if (FStyle == csOwnerDrawVariable && FList.Valid(i))
                FList.Items[static_cast<size_t>(i)].Height = h;
            else
                FItemHeight = h;
            return;
        }
        case CB_GETITEMHEIGHT: {
            auto i = static_cast<intptr_t>(M.WParam);
            if (i == -1)
                M.Result = FHeight - 6;
            else
                M.Result = FStyle == csOwnerDrawVariable && FList.Valid(i)
                               ? FList.Items[static_cast<size_t>(i)].Height
                               : FItemHeight;
            return;
        }
        case CB_LIMITTEXT:
            FMaxLength = static_cast<int>(M.WParam);
            M.Result = 1;
            return;
        case CB_GETEDITSEL:
            M.Result = MakeLParam(SelStart(), SelStart() + SelLength());
            return;
        case CB_SETEDITSEL:
            SetSelection(GetXLParam(M.LParam),
                         GetYLParam(M.LParam) < 0 ? static_cast<int>(FText.size()) : GetYLParam(M.LParam));
            M.Result = 1;
            return;
        case CB_SETEXTENDEDUI:
            FExtendedUI = M.WParam != 0;
            return;
        case CB_GETDROPPEDCONTROLRECT: {
            TPoint o = ClientToScreen(Point(0, 0));
            int h = 0;
            for (int i = 0; i < std::min(DropDownCount, FList.Count()); ++i)
                h += DropDownItemRect(i).Height();
            *reinterpret_cast<TRect*>(M.LParam) =
                Bounds(o.X, o.Y, FWidth, FHeight + std::max(h, FItemHeight) + 2);
            M.Result = 1;
            return;
        }
        case CB_SETDROPPEDWIDTH:
            return;
        case CN_COMMAND:
            switch (M.WParamHi()) {
                case CBN_SELCHANGE:
                    Click();
                    Change();
                    break;
                case CBN_DROPDOWN:
                    if (OnDropDown) OnDropDown(this);
                    break;
                case CBN_CLOSEUP:
                    if (OnCloseUp) OnCloseUp(this);
                    break;
                default:
                    break;
            }
            return;
        case CN_DRAWITEM: {
            auto* di = reinterpret_cast<TDrawItemStruct*>(M.LParam);
            TCanvas& c = Canvas();
            c.SetHandle(di->hDC);
            c.Font.Assign(FFont);
            c.Brush.Color = FColor;
            TOwnerDrawState state = static_cast<TOwnerDrawState>(di->itemState & 0xFFFF);
            if (state & odSelected) {
                c.Brush.Color = clHighlight;
                c.Font.Color = clHighlightText;
            }
            TRect r = Rect(di->rcLeft, di->rcTop, di->rcRight, di->rcBottom);
            if (FList.Valid(static_cast<int>(di->itemID)))
                DrawItem(static_cast<int>(di->itemID), r, state);
            else
                c.FillRect(r);
            M.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(M.LParam);
            int h = FItemHeight;
            if (OnMeasureItem) OnMeasureItem(this, static_cast<int>(mi->itemID), h);
            mi->itemHeight = static_cast<UINT>(std::max(0, h));
            M.Result = 1;
            return;
        }
        case WM_GETDLGCODE:
            // While the list is down, Enter and Escape close it instead of reaching the form.
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FDropped ? DLGC_WANTALLKEYS : 0);
            return;
        case WM_KILLFOCUS:
            if (FDropped) SetDroppedDown(false);
            break;
        default:
            break;
    }
    TCustomEdit::Dispatch(M);
}

}  // namespace framework
