#include "framework/stdctrls/Edit.h"

#include <algorithm>
#include <cstring>

#include "framework/core/SysUtils.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

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

}  // namespace framework
