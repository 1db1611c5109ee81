#include "controls/grid/CtlTextViewer.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include "controls/entry/CtlCommands.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"

namespace grid {

using namespace framework;

namespace {

constexpr int Margin = 16;
constexpr int MaxLeftColumn = 512;

void RegisterViewerResources() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Ten 12 × 12 bookmark glyphs side by side: a dark square with the bookmark's number of dots.
        RegisterBitmapResource("CTLMARKERS", [](TBitmap& B) {
            B.SetPixelFormat(pf24bit);
            B.SetSize(120, 12);
            TCanvas& c = B.Canvas();
            c.Brush.Color = clWhite;
            c.FillRect(Rect(0, 0, 120, 12));
            for (int n = 0; n < 10; ++n) {
                c.Brush.Color = clTeal;
                c.Pen.Color = clBlack;
                c.Rectangle(n * 12 + 1, 1, n * 12 + 11, 11);
                for (int d = 0; d < n; ++d) c.SetPixel(n * 12 + 3 + (d % 3) * 2, 3 + (d / 3) * 2, clYellow);
            }
        });
        // The margin cursor: an arrow pointing right, at the line it selects, hot spot at its tip.
        RegisterCursorResource(
            "CTLLINECURSOR",
            [](TBitmap& B) {
                B.SetPixelFormat(pf24bit);
                B.SetSize(16, 16);
                TCanvas& c = B.Canvas();
                c.Brush.Color = clFuchsia;
                c.FillRect(Rect(0, 0, 16, 16));
                for (int i = 0; i < 6; ++i) {
                    c.Pen.Color = clBlack;
                    c.MoveTo(8 + i, 2 + i);
                    c.LineTo(8 + i, 15 - i);
                }
                c.Brush.Color = clBlack;
                c.FillRect(Rect(2, 7, 9, 10));
                c.Pen.Color = clWhite;
                c.MoveTo(3, 8);
                c.LineTo(12, 8);
            },
            Point(13, 8));
        Screen->SetCursors(crCtlLineCursor, LoadCursor(HInstance, "CTLLINECURSOR"));
    });
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

const std::vector<std::string>& CtlFixedPitchFaces() {
    static const std::vector<std::string> faces = [] {
        std::vector<std::string> v;
        TBitmap probe;
        probe.SetSize(1, 1);
        EnumFontFamilies(probe.Canvas().Handle(), "", [&v](const TLogFont& lf, const TTextMetric&, uint32_t) {
            if ((lf.PitchAndFamily & 3) == FIXED_PITCH) v.push_back(lf.FaceName);
            return 1;
        });
        return v;
    }();
    return faces;
}

// ---- TCtlFixedFont ----

TCtlFixedFont::TCtlFixedFont() {
    const auto& faces = CtlFixedPitchFaces();
    if (!faces.empty()) FFont.Name = faces.front();
}

static bool IsFixedName(const std::string& Name) {
    const auto& faces = CtlFixedPitchFaces();
    return std::find(faces.begin(), faces.end(), Name) != faces.end();
}

void TCtlFixedFont::SetColor(TColor Value) {
    FFont.Color = Value;
    Changed();
}
void TCtlFixedFont::SetName(const std::string& Value) {
    if (!IsFixedName(Value)) return;
    FFont.Name = Value;
    Changed();
}
void TCtlFixedFont::SetSize(int Value) {
    FFont.SetSize(Value);
    Changed();
}
void TCtlFixedFont::SetStyle(TFontStyles Value) {
    FFont.Style = Value;
    Changed();
}

void TCtlFixedFont::AssignFont(const TFont& Source) {
    if (!IsFixedName(Source.Name)) throw entry::EInvalidFixedFont();
    FFont.Assign(Source);
    FFont.OnChange = nullptr;
    Changed();
}

void TCtlFixedFont::Assign(TPersistent* Source) {
    if (auto* f = dynamic_cast<TCtlFixedFont*>(Source)) {
        const std::string keep = FFont.Name;
        FFont.Assign(f->FFont);
        if (!IsFixedName(FFont.Name)) FFont.Name = keep;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

// ---- TCtlTextFileViewer ----

TCtlTextFileViewer::TCtlTextFileViewer(TComponent* AOwner) : TCtlCustomControlEx(AOwner) {
    RegisterViewerResources();
    FWidth = 200;
    FHeight = 150;
    FColor = clWindow;
    FParentColor = false;
    FTabStop = false;
    ControlStyle |= csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks;
    for (auto& m : FMarks) m = {-1, -1};
    FFixedFont.OnChange = [this] { Perform(CM_FONTCHANGED, 0, 0); };
    FMarkers = std::make_unique<TBitmap>();
    LoadBitmapResource(*FMarkers, "CTLMARKERS");
    FCaretLook = new entry::TCtlCaret();
    FCaretLook->AddRef();
    FCaretBinding = std::make_unique<entry::TCtlSingleCaret>(this);
    FCaretBinding->SetCaret(FCaretLook);
    FBorders = std::make_unique<entry::TCtlBorders>();
    for (entry::TCtlBorder* b : {&FBorders->LeftBorder(), &FBorders->RightBorder(), &FBorders->TopBorder(),
                                 &FBorders->BottomBorder()})
        b->OnChange = [this](TObject*) { BordersChanged(); };
}

TCtlTextFileViewer::~TCtlTextFileViewer() {
    FCaretBinding.reset();
    if (FCaretLook) FCaretLook->Release();
}

void TCtlTextFileViewer::SetCaret(entry::TCtlCaret* Value) {
    if (Value && Value != FCaretLook) FCaretLook->Assign(Value);
}

void TCtlTextFileViewer::SetShowCaret(bool Value) {
    if (Value == FShowCaret) return;
    FShowCaret = Value;
    if (FFocused && !(ComponentState() & csDesigning)) {
        FCaretBinding->SetVisible(Value);
        if (Value) PlaceCaret();
    }
}

void TCtlTextFileViewer::BordersChanged() {
    if (entry::CtlAnyBorderEnabled(*FBorders)) {
        FBorderStyle = bsNone;
        SetCtl3D(false);
        if (HandleAllocated()) RecreateWnd();
    }
    Invalidate();
}

void TCtlTextFileViewer::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlTextFileViewer::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlTextFileViewer::FocusChanged(bool Focused) {
    FFocused = Focused;
    if (ComponentState() & csDesigning) return;
    if (Focused) {
        FCaretBinding->SetLinked(true);
        PlaceCaret();
        FCaretBinding->SetVisible(FShowCaret);
    } else {
        FCaretBinding->SetVisible(false);
        FCaretBinding->SetLinked(false);
    }
}

void TCtlTextFileViewer::MarginCursor(int X) {
    FMarginMode = X < Margin;
    SetCursor(FMarginMode ? crCtlLineCursor : crDefault);
}

void TCtlTextFileViewer::SetFileName(const std::string& Value) {
    const bool wasOpen = IsOpen();
    SetIsOpen(false);
    FFileName = AnsiUpperCase(Value);
    if (wasOpen) SetIsOpen(true);
}

void TCtlTextFileViewer::SetIsOpen(bool Value) {
    if (Value == IsOpen()) return;
    if (Value) {
        if (FFileName.empty()) return;
        const TCursor saved = Screen->Cursor();
        Screen->SetCursor(crHourGlass);
        try {
            auto lines = std::make_unique<TCtlFileLines>(FFileName);
            SetLineCount(0);
            FLines = std::move(lines);
            SetLineCount(FLines->Count());
        } catch (...) {
            Screen->SetCursor(saved);
            throw;
        }
        Screen->SetCursor(saved);
    } else {
        FLines.reset();
        SetLineCount(0);
    }
}

std::string TCtlTextFileViewer::GetLine(int Index) {
    if (!FLines || Index < 0 || Index >= FLineCount) return std::string();
    return FLines->Line(Index);
}

int TCtlTextFileViewer::ClampLine(int Index) const {
    return FLineCount == 0 ? -1 : std::clamp(Index, 0, FLineCount - 1);
}

void TCtlTextFileViewer::SetLineCount(int N) {
    if (N == FLineCount) return;
    FLineCount = N;
    if (Loading()) return;
    FCaret = {0, 0};
    FCaretDisplay = 0;
    FSelStart = FSelEnd = FAnchor = FCaret;
    FLeftCol = 0;
    FTopLine = 0;
    for (auto& m : FMarks) m = {-1, -1};
    UpdateScrollLimits();
    if (HandleAllocated()) Invalidate();
}

void TCtlTextFileViewer::SetExpandTabs(bool Value) {
    if (Value == FExpandTabs) return;
    FExpandTabs = Value;
    Invalidate();
}

void TCtlTextFileViewer::SetTabSize(int Value) {
    if (Value <= 0 || Value > 255 || Value == FTabSize) return;
    FTabSize = Value;
    if (FExpandTabs) Invalidate();
}

void TCtlTextFileViewer::SetMarginColor(TColor Value) {
    if (Value == FMarginColor) return;
    FMarginColor = Value;
    Invalidate();
}

void TCtlTextFileViewer::SetShowBookmarks(bool Value) {
    FShowBookmarks = Value;
    Invalidate();
}

// ---- Metrics and scrolling ----

void TCtlTextFileViewer::Measure() {
    if (!HandleAllocated()) return;
    TCanvas& c = Canvas();
    c.Font.Assign(FFixedFont.Font());
    FLineHeight = std::max(c.TextHeight(entry::CtlGetMessage(30282)) + 2, 12);
    const std::string sample = entry::CtlGetMessage(30281);
    FCharWidth = std::max(1, c.TextWidth(sample) / static_cast<int>(sample.size()));
    FRows = std::max(ClientHeight() / FLineHeight, 1);
    FCols = std::max((ClientWidth() - Margin) / FCharWidth, 1);
    FCaretBinding->SetCellHeight(FLineHeight);
    FCaretBinding->SetCellWidth(FCharWidth);
    TTextMetric tm;
    if (GetTextMetrics(c.Handle(), tm)) {
        FFirstChar = tm.tmFirstChar;
        FLastChar = tm.tmLastChar;
        FDefaultChar = tm.tmDefaultChar;
    }
    UpdateScrollLimits();
}

void TCtlTextFileViewer::UpdateScrollLimits() {
    FMaxTop = std::max(FLineCount - FRows + 1, 0);
    FScale = FMaxTop > 32767 ? (FMaxTop >> 15) * 2 : 1;
    UpdateBars();
}

void TCtlTextFileViewer::UpdateBars() {
    if (!HandleAllocated()) return;
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = FLineCount / FScale;
    si.nPage = static_cast<uint32_t>(FRows);
    si.nPos = FTopLine / FScale;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) SetScrollInfo(Handle(), SB_VERT, si, true);
    if (FScrollBars != ssHorizontal && FScrollBars != ssBoth) return;
    TScrollInfo hi;
    hi.fMask = SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL;
    hi.nMax = FLineCount > 0 ? MaxLeftColumn : 0;
    hi.nPos = FLeftCol;
    SetScrollInfo(Handle(), SB_HORZ, hi, true);
}

void TCtlTextFileViewer::Scroll(int DCols, int DLines) {
    const int left = std::min(std::max(FLeftCol + DCols, 0), MaxLeftColumn);
    const int top = std::min(
        std::max(static_cast<int>(std::clamp<int64_t>(int64_t(FTopLine) + DLines, INT_MIN, INT_MAX)), 0),
        FMaxTop);
    if (left == FLeftCol && top == FTopLine) return;
    const int dx = (FLeftCol - left) * FCharWidth, dy = (FTopLine - top) * FLineHeight;
    const bool topChanged = top != FTopLine;
    FLeftCol = left;
    FTopLine = top;
    UpdateBars();
    if (HandleAllocated()) {
        const TRect area = Rect(Margin, 0, Margin + FCols * FCharWidth, FRows * FLineHeight);
        if (std::abs(dx) < area.Width() && std::abs(dy) < area.Height() && !(dx != 0 && dy != 0)) {
            ScrollWindow(Handle(), dx, dy, &area, &area);
            if (dy != 0) {
                const TRect margin = Rect(0, 0, Margin, FRows * FLineHeight);
                ScrollWindow(Handle(), 0, dy, &margin, &margin);
            }
            Update();
        } else {
            Invalidate();
        }
        PlaceCaret();
    }
    if (topChanged) DoTopLineChanged(FTopLine);
}

void TCtlTextFileViewer::SetTopLine(int N) {
    if (N >= 0 && N != FTopLine) Scroll(0, N - FTopLine);
}

void TCtlTextFileViewer::InvalidateLine(int Line) {
    if (!HandleAllocated() || Line < FTopLine || Line >= FTopLine + FRows) return;
    const TRect r =
        Rect(0, (Line - FTopLine) * FLineHeight, ClientWidth(), (Line - FTopLine + 1) * FLineHeight);
    InvalidateRect(Handle(), &r, false);
}

void TCtlTextFileViewer::InvalidateLines(int A, int B) {
    if (A > B) std::swap(A, B);
    A = std::max(A, FTopLine);
    B = std::min(B, FTopLine + FRows);
    for (int l = A; l <= B; ++l) InvalidateLine(l);
}

void TCtlTextFileViewer::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const bool fitted = FMaxTop == 0;
    TCtlCustomControlEx::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (HandleAllocated()) {
        Measure();
        if (!fitted && FMaxTop == 0) SetTopLine(0);
        if (FTopLine > FMaxTop) SetTopLine(FMaxTop);
    }
}

void TCtlTextFileViewer::CreateParams(TCreateParams& Params) {
    TCtlCustomControlEx::CreateParams(Params);
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (FBorderStyle == bsSingle) {
        if (Ctl3D())
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
}

void TCtlTextFileViewer::CreateWnd() {
    TCtlCustomControlEx::CreateWnd();
    Measure();
}

// ---- Columns and display ----

int TCtlTextFileViewer::DisplayColumn(const std::string& S, int C) const {
    if (!FExpandTabs) return C;
    int d = 0;
    for (int i = 0; i < C && i < static_cast<int>(S.size()); ++i) {
        if (S[static_cast<size_t>(i)] == '\0') break;
        d = S[static_cast<size_t>(i)] == '\t' ? (d / FTabSize + 1) * FTabSize : d + 1;
    }
    return d + std::max(0, C - static_cast<int>(S.size()));
}

int TCtlTextFileViewer::CharColumn(const std::string& S, int D) const {
    if (!FExpandTabs) return D;
    int d = 0, i = 0;
    for (; i < static_cast<int>(S.size()) && d < D; ++i) {
        const int next = S[static_cast<size_t>(i)] == '\t' ? (d / FTabSize + 1) * FTabSize : d + 1;
        if (next > D) return i;
        d = next;
    }
    return i;
}

std::string TCtlTextFileViewer::DisplayText(const std::string& Line) const {
    std::string s = (FExpandTabs && Line.find('\t') != std::string::npos)
                        ? entry::CtlExpandTabs(Line, static_cast<uint32_t>(FTabSize))
                        : Line;
    for (char& ch : s) {
        const auto u = static_cast<uint8_t>(ch);
        if (u < FFirstChar || u > FLastChar) ch = static_cast<char>(FDefaultChar);
    }
    return s;
}

void TCtlTextFileViewer::Paint() {
    TCanvas& c = Canvas();
    const TRect clip = c.ClipRect();
    const int textEnd = FCols * FCharWidth + Margin;
    const int first = clip.Top / FLineHeight;
    int last = (clip.Bottom + FLineHeight - 1) / FLineHeight;
    last = std::min(last, FRows - 1);
    const TColor textColor = FFixedFont.Color();
    if (clip.Left < Margin) {
        for (int row = first; row <= last; ++row) {
            const int y = row * FLineHeight;
            c.Brush.Color = FMarginColor;
            c.FillRect(Rect(0, y, Margin, y + FLineHeight));
            if (FShowBookmarks && !FMarkers->Empty())
                for (int n = 0; n < 10; ++n)
                    if (FMarks[static_cast<size_t>(n)].Line == FTopLine + row) {
                        const int gy = y + (FLineHeight > 13 ? (FLineHeight - 12) / 2 : 0);
                        c.CopyRect(Rect(2, gy, 14, gy + 12), FMarkers->Canvas(),
                                   Rect(n * 12, 0, n * 12 + 12, 12));
                        break;
                    }
        }
    }
    c.Font.Assign(FFixedFont.Font());
    c.Brush.Color = FColor;
    if (last + 1 <= (clip.Bottom + FLineHeight - 1) / FLineHeight)
        c.FillRect(Rect(Margin, (last + 1) * FLineHeight, ClientWidth(), clip.Bottom));
    HDC dc = c.Handle();
    for (int row = first; row <= last; ++row) {
        ++PaintedRows;
        const int y = row * FLineHeight;
        const int bottom = std::min(y + FLineHeight, clip.Bottom);
        c.Brush.Color = FColor;
        c.FillRect(Rect(textEnd, y, ClientWidth(), bottom));
        const int line = FTopLine + row;
        if (line >= FLineCount) {
            c.FillRect(Rect(Margin, y, textEnd, bottom));
            continue;
        }
        const std::string raw = GetLine(line);
        const std::string shown = DisplayText(raw);
        // Selected display columns of this line.
        int s0 = 0, s1 = 0;
        if (HasSelection() && line >= FSelStart.Line && line <= FSelEnd.Line) {
            s0 = line == FSelStart.Line ? DisplayColumn(raw, FSelStart.Col) : 0;
            s1 = line == FSelEnd.Line ? DisplayColumn(raw, FSelEnd.Col) : static_cast<int>(shown.size());
        }
        auto part = [&](int fromCol, int toCol, bool selected, int toX) {
            const int x0 = Margin + (fromCol - FLeftCol) * FCharWidth;
            const int x1 = toX >= 0 ? toX : Margin + (toCol - FLeftCol) * FCharWidth;
            if (x1 <= x0) return;
            const TColor bg = selected ? HighlightBackground : FColor;
            const TColor fg = selected ? HighlightText : textColor;
            c.Brush.Color = bg;
            c.FillRect(Rect(x0, y, x1, bottom));
            std::string text;
            if (fromCol < static_cast<int>(shown.size()))
                text = shown.substr(
                    static_cast<size_t>(fromCol),
                    static_cast<size_t>(std::min<int>(toCol, static_cast<int>(shown.size())) - fromCol));
            if (text.empty()) return;
            dc = c.Handle();
            c.TextWidth("W");
            SetTextColor(dc, ColorToRGB(fg));
            SetBkMode(dc, TRANSPARENT);
            const TRect r = Rect(x0, y, x1, bottom);
            ExtTextOut(dc, x0, y + 1, ETO_CLIPPED, &r, text);
        };
        const int from = FLeftCol, to = FLeftCol + FCols;
        const int a = std::clamp(s0, from, to), b = std::clamp(s1, from, to);
        part(from, a, false, -1);
        part(a, b, true, -1);
        part(b, to, false, textEnd);
    }
    if (FFocused) PlaceCaret();
    entry::CtlDrawBorders(c, *FBorders, ClientWidth(), ClientHeight());
}

// ---- Caret and selection ----

void TCtlTextFileViewer::PlaceCaret() {
    const int col = FCaretDisplay - FLeftCol, row = FCaret.Line - FTopLine;
    if (col >= 0 && col <= FCols && row >= 0 && row < FRows)
        FCaretBinding->SetPosition(Point(col * FCharWidth + Margin, row * FLineHeight));
    else
        FCaretBinding->SetPosition(Point(-1, -1));
}

void TCtlTextFileViewer::UpdateCaret() {
    FCaretDisplay = DisplayColumn(GetLine(FCaret.Line), FCaret.Col);
    PlaceCaret();
    if (HandleAllocated())
        PostMessage(Handle(), OM_SHOWSTATUS, static_cast<WPARAM>(FCaretDisplay),
                    static_cast<LPARAM>(FCaret.Line));
}

void TCtlTextFileViewer::DoShowStatus(int Line, int Col) {
    if (OnShowStatus) OnShowStatus(this, Line, Col);
}
void TCtlTextFileViewer::DoTopLineChanged(int Line) {
    if (OnTopLineChanged) OnTopLineChanged(this, Line);
}
void TCtlTextFileViewer::DoUserCommand(uint16_t Command) {
    if (OnUserCommand) OnUserCommand(this, Command);
}

void TCtlTextFileViewer::MoveCaret(int DCol, int DLine, bool KeepRow, bool Extend, bool Absolute) {
    if (FLineCount == 0) return;
    int row = -1;
    if (FCaret.Line >= FTopLine && FCaret.Line < FTopLine + FRows)
        row = FCaret.Line - FTopLine;
    else
        KeepRow = false;
    int64_t l = int64_t(FCaret.Line) + DLine;
    if (l < 0) l = DLine < 0 ? 0 : INT_MAX;
    if (l >= FLineCount) {
        if (FCaret.Line == FLineCount - 1 && DCol == 0) return;
        l = FLineCount - 1;
    }
    const int line = ClampLine(static_cast<int>(l));
    const std::string text = GetLine(line);
    int col = FCaret.Col;
    if (FExpandTabs && line != FCaret.Line && !Absolute) col = CharColumn(text, FCaretDisplay);
    col = std::clamp(col + DCol, 0, static_cast<int>(text.size()));
    const int display = DisplayColumn(text, col);
    const TCtlViewerPos oldPos = FCaret;
    const int oldLeft = FLeftCol;
    int top = FTopLine, left = FLeftCol;
    const bool visible = line >= FTopLine && line < FTopLine + FRows;
    if (KeepRow)
        top = line - row;
    else if (!visible)
        top = line < FTopLine ? line : line - FRows + 1;
    top = std::max(0, top);
    if (display < FLeftCol)
        left = 0;
    else if (display >= FLeftCol + FCols)
        left = display + 1 - FCols;
    FCaret = {line, col};
    FCaretDisplay = Absolute || line == oldPos.Line || !FExpandTabs ? display : FCaretDisplay;
    if (FExpandTabs && !Absolute && line != oldPos.Line) {
        // A vertical move keeps its visual column; it lands where the line allows.
        FCaretDisplay = display;
    }
    Scroll(left - FLeftCol, top - FTopLine);
    if (FCaret == oldPos && FLeftCol == oldLeft && Extend == HasSelection()) return;
    if (Extend)
        ExtendSelection(true);
    else
        ClearSelection(true);
    UpdateCaret();
}

void TCtlTextFileViewer::MoveCaretTo(int Line, int Col, bool Extend) {
    MoveCaret(Col - FCaret.Col, Line - FCaret.Line, false, Extend, true);
}

void TCtlTextFileViewer::ClearSelection(bool Redraw) {
    const bool had = HasSelection();
    const TCtlViewerPos a = FSelStart, b = FSelEnd;
    FSelStart = FSelEnd = FAnchor = FCaret;
    if (Redraw && had) InvalidateLines(a.Line, b.Line);
}

void TCtlTextFileViewer::ExtendSelection(bool Redraw) {
    const TCtlViewerPos a = FSelStart, b = FSelEnd;
    if (FAnchor == FSelStart)
        FSelEnd = FCaret;
    else
        FSelStart = FCaret;
    if (FSelEnd < FSelStart) std::swap(FSelStart, FSelEnd);
    if (Redraw && !(a == FSelStart && b == FSelEnd)) {
        if (a.Line != FSelStart.Line) InvalidateLines(a.Line, FSelStart.Line);
        if (b.Line != FSelEnd.Line) InvalidateLines(b.Line, FSelEnd.Line);
        InvalidateLine(FCaret.Line);
    }
}

void TCtlTextFileViewer::SetSelection(int L1, int C1, int L2, int C2, bool CaretAtEnd) {
    ClearSelection(true);
    if (FLineCount == 0) return;
    TCtlViewerPos fixed = CaretAtEnd ? TCtlViewerPos{ClampLine(L1), C1} : TCtlViewerPos{ClampLine(L2), C2};
    const TCtlViewerPos other = CaretAtEnd ? TCtlViewerPos{L2, C2} : TCtlViewerPos{L1, C1};
    if (!(fixed == FCaret)) {
        FCaret = fixed;
        FCaretDisplay = DisplayColumn(GetLine(fixed.Line), fixed.Col);
        ClearSelection(false);
    }
    MoveCaretTo(other.Line, other.Col, true);
}

TCtlViewerPos TCtlTextFileViewer::PointToPos(int X, int Y) {
    int col;
    if (X > Margin - 1 && X < Margin + FCols * FCharWidth)
        col = (X - Margin) / FCharWidth + FLeftCol;
    else if (X >= Margin)
        col = FCols + FLeftCol;
    else
        col = std::max(0, FLeftCol - 1);
    int line;
    if (Y < 0)
        line = std::max(0, FTopLine - 1);
    else if (Y >= ClientHeight())
        line = std::min(FTopLine + FRows, FLineCount - 1);
    else
        line = std::min(Y / FLineHeight + FTopLine, FLineCount - 1);
    line = std::max(line, 0);
    if (FExpandTabs) col = CharColumn(GetLine(line), col);
    return {line, col};
}

void TCtlTextFileViewer::ToggleBookmark(int N, int Line, int Col) {
    if (N < 0 || N > 9) return;
    TCtlViewerPos& m = FMarks[static_cast<size_t>(N)];
    if (m.Line >= 0) InvalidateLine(m.Line);
    if (m.Line == Line && m.Col == Col) {
        m = {-1, -1};
    } else {
        m = {Line, Col};
        InvalidateLine(Line);
    }
}

void TCtlTextFileViewer::GotoBookmark(int N) {
    if (N < 0 || N > 9) return;
    const TCtlViewerPos m = FMarks[static_cast<size_t>(N)];
    if (m.Line >= 0 && m.Col >= 0) MoveCaretTo(m.Line, m.Col, false);
}

void TCtlTextFileViewer::WordLeft(bool Extend) {
    if (FCaret.Col == 0) {
        if (FCaret.Line > 0)
            MoveCaretTo(FCaret.Line - 1, static_cast<int>(GetLine(FCaret.Line - 1).size()), Extend);
        return;
    }
    const std::string s = GetLine(FCaret.Line);
    int c = std::min(FCaret.Col, static_cast<int>(s.size()));
    while (c > 0 && IsBlank(s[static_cast<size_t>(c - 1)])) --c;
    while (c > 0 && !IsBlank(s[static_cast<size_t>(c - 1)])) --c;
    MoveCaretTo(FCaret.Line, c, Extend);
}

void TCtlTextFileViewer::WordRight(bool Extend) {
    const std::string s = GetLine(FCaret.Line);
    if (FCaret.Col >= static_cast<int>(s.size())) {
        if (FCaret.Line < FLineCount - 1) MoveCaretTo(FCaret.Line + 1, 0, Extend);
        return;
    }
    int c = FCaret.Col;
    while (c < static_cast<int>(s.size()) && !IsBlank(s[static_cast<size_t>(c)])) ++c;
    while (c < static_cast<int>(s.size()) && IsBlank(s[static_cast<size_t>(c)])) ++c;
    MoveCaretTo(FCaret.Line, c, Extend);
}

void TCtlTextFileViewer::KeyCommand(uint16_t Command) {
    using namespace entry;
    const int P = std::max(1, FRows - 1);
    const int lastLine = FLineCount - 1;
    auto lineEnd = [&](int l) { return static_cast<int>(GetLine(l).size()); };
    if (Command >= 256) {
        DoUserCommand(Command);
        return;
    }
    if (!FShowCaret) {
        switch (Command) {
            case ccDown:
            case ccScrollDown:
                ScrollLines(1);
                return;
            case ccUp:
            case ccScrollUp:
                ScrollLines(-1);
                return;
            case ccLeft:
                ScrollColumns(-1);
                return;
            case ccRight:
                ScrollColumns(1);
                return;
            case ccNextPage:
                MoveCaret(0, P, true, false);
                return;
            case ccPrevPage:
                MoveCaret(0, -P, true, false);
                return;
            case ccHome:
            case ccFirstPage:
                MoveCaretTo(0, 0, false);
                return;
            case ccEnd:
            case ccLastPage:
                if (lastLine >= 0) MoveCaretTo(lastLine, lineEnd(lastLine), false);
                return;
            default:
                return;
        }
    }
    const bool ext = Command == ccExtendLeft || Command == ccExtendRight || Command == ccExtendUp ||
                     Command == ccExtendDown || Command == ccExtendHome || Command == ccExtendEnd ||
                     Command == ccExtendPgUp || Command == ccExtendPgDn || Command == ccExtFirstPage ||
                     Command == ccExtLastPage || Command == ccExtTopOfPage || Command == ccExtBotOfPage;
    switch (Command) {
        case ccLeft:
        case ccExtendLeft:
            if (FCaret.Col > 0)
                MoveCaret(-1, 0, false, ext);
            else if (FCaret.Line > 0)
                MoveCaretTo(FCaret.Line - 1, lineEnd(FCaret.Line - 1), ext);
            return;
        case ccRight:
        case ccExtendRight:
            if (FCaret.Col < lineEnd(FCaret.Line))
                MoveCaret(1, 0, false, ext);
            else if (FCaret.Line < lastLine)
                MoveCaretTo(FCaret.Line + 1, 0, ext);
            return;
        case ccUp:
        case ccExtendUp:
            MoveCaret(0, -1, false, ext);
            return;
        case ccDown:
        case ccExtendDown:
            MoveCaret(0, 1, false, ext);
            return;
        case ccHome:
        case ccExtendHome:
            MoveCaretTo(FCaret.Line, 0, ext);
            return;
        case ccEnd:
        case ccExtendEnd:
            MoveCaretTo(FCaret.Line, lineEnd(FCaret.Line), ext);
            return;
        case ccPrevPage:
        case ccExtendPgUp:
            MoveCaret(0, -P, true, ext);
            return;
        case ccNextPage:
        case ccExtendPgDn:
            MoveCaret(0, P, true, ext);
            return;
        case ccFirstPage:
        case ccExtFirstPage:
            MoveCaretTo(0, 0, ext);
            return;
        case ccLastPage:
        case ccExtLastPage:
            if (lastLine >= 0) MoveCaretTo(lastLine, lineEnd(lastLine), ext);
            return;
        case ccTopOfPage:
        case ccExtTopOfPage:
            if (FCaret.Line < FTopLine || FCaret.Line >= FTopLine + FRows)
                SetTopLine(FCaret.Line);
            else
                MoveCaretTo(FTopLine, FCaret.Col, ext);
            return;
        case ccBotOfPage:
        case ccExtBotOfPage:
            if (FCaret.Line < FTopLine || FCaret.Line >= FTopLine + FRows)
                SetTopLine(std::max(0, FCaret.Line - FRows + 1));
            else
                MoveCaretTo(std::min(FTopLine + FRows - 1, lastLine), FCaret.Col, ext);
            return;
        case ccExtWordLeft:
            WordLeft(true);
            return;
        case ccExtWordRight:
            WordRight(true);
            return;
        case ccScrollUp:
            ScrollLines(-1);
            return;
        case ccScrollDown:
            ScrollLines(1);
            return;
        case ccCopy:
            CopyToClipboard();
            return;
        default:
            if (Command >= ccGotoMarker0 && Command <= ccGotoMarker0 + 9)
                GotoBookmark(Command - ccGotoMarker0);
            if (Command >= ccSetMarker0 && Command <= ccSetMarker0 + 9)
                ToggleBookmark(Command - ccSetMarker0, FCaret.Line, FCaret.Col);
    }
}

// ---- Search and copy ----

bool TCtlTextFileViewer::SearchText(const std::string& S, int Options) {
    std::string pattern = S.substr(0, 255);
    if (pattern.empty() || FLineCount == 0) return false;
    const bool backward = Options & svBackward, matchCase = Options & svMatchCase;
    TCtlViewerPos start = FCaret;
    if (Options & svWholeScope)
        start = backward ? TCtlViewerPos{FLineCount - 1, static_cast<int>(GetLine(FLineCount - 1).size())}
                         : TCtlViewerPos{0, 0};
    if (!matchCase) pattern = AnsiUpperCase(pattern);
    const entry::TCtlSkipTable table = entry::CtlBuildSkipTable(pattern);
    const int len = static_cast<int>(pattern.size());
    auto find = [&](std::string_view text, uint32_t& pos) {
        if (static_cast<int>(text.size()) < len) return false;
        return matchCase ? entry::CtlSearchText(text, table, pattern, pos)
                         : entry::CtlSearchTextNoCase(text, table, pattern, pos);
    };
    if (!backward) {
        for (int l = start.Line; l < FLineCount; ++l) {
            const std::string s = GetLine(l);
            const int from = l == start.Line ? std::min(start.Col, static_cast<int>(s.size())) : 0;
            uint32_t pos = 0;
            if (find(std::string_view(s).substr(static_cast<size_t>(from)), pos)) {
                const int c = from + static_cast<int>(pos);
                SetSelection(l, c, l, c + len, true);
                return true;
            }
        }
        return false;
    }
    for (int l = start.Line; l >= 0; --l) {
        const std::string s = GetLine(l);
        const int limit =
            l == start.Line ? std::min(start.Col, static_cast<int>(s.size())) : static_cast<int>(s.size());
        std::string_view area = std::string_view(s).substr(0, static_cast<size_t>(limit));
        int best = -1, from = 0;
        uint32_t pos = 0;
        while (static_cast<int>(area.size()) - from >= len &&
               find(area.substr(static_cast<size_t>(from)), pos)) {
            best = from + static_cast<int>(pos);
            from = best + 1;
        }
        if (best >= 0) {
            SetSelection(l, best, l, best + len, false);
            return true;
        }
    }
    return false;
}

std::string TCtlTextFileViewer::SelectedText() {
    if (!HasSelection()) return std::string();
    // The selected columns of line L of text S.
    auto span = [this](int L, const std::string& S) {
        const int n = static_cast<int>(S.size());
        const int from = L == FSelStart.Line ? std::min(FSelStart.Col, n) : 0;
        const int to = L == FSelEnd.Line ? std::min(FSelEnd.Col, n) : n;
        return std::make_pair(from, std::max(from, to));
    };
    // The size is summed in 64 bits: a selection over a huge file must not wrap to a small copy.
    uint64_t size = 1;
    for (int l = FSelStart.Line; l <= FSelEnd.Line; ++l) {
        const auto [from, to] = span(l, GetLine(l));
        size += static_cast<uint64_t>(to - from) + (l < FSelEnd.Line ? 2 : 0);
    }
    std::string out;
    try {
        if (size > out.max_size()) throw std::length_error("selection");
        out.reserve(static_cast<size_t>(size));
    } catch (const std::exception&) {
        throw EOutOfMemory(entry::CtlGetMessage(30187));
    }
    for (int l = FSelStart.Line; l <= FSelEnd.Line; ++l) {
        const std::string s = GetLine(l);
        const auto [from, to] = span(l, s);
        out.append(s, static_cast<size_t>(from), static_cast<size_t>(to - from));
        if (l < FSelEnd.Line) out += "\r\n";
    }
    return out;
}

void TCtlTextFileViewer::CopyToClipboard() {
    if (!HasSelection()) return;
    Clipboard()->SetAsText(SelectedText());
}

// ---- Mouse and messages ----

void TCtlTextFileViewer::SelectLines(int From, int To, bool CaretAtEnd) {
    SetSelection(From, 0, To, static_cast<int>(GetLine(To).size()), CaretAtEnd);
}

void TCtlTextFileViewer::LButtonDown(TMessage& Message) {
    const int x = GetXLParam(Message.LParam), y = GetYLParam(Message.LParam);
    const bool shift = (Message.WParam & MK_SHIFT) != 0;
    if (CanFocus() && !Focused()) SetFocus();
    if (FLineCount == 0) return;
    const TCtlViewerPos p = PointToPos(x, y);
    FMarginMode = x < Margin;
    if (!FMarginMode) {
        MoveCaretTo(p.Line, p.Col, shift);
        return;
    }
    if (!shift || p.Line == FCaret.Line)
        SetSelection(p.Line, 0, p.Line, static_cast<int>(GetLine(p.Line).size()), true);
    else if (FCaret.Line < p.Line)
        SetSelection(FCaret.Line, 0, p.Line, static_cast<int>(GetLine(p.Line).size()), true);
    else
        SetSelection(p.Line, 0, FCaret.Line, static_cast<int>(GetLine(FCaret.Line).size()), false);
}

void TCtlTextFileViewer::DragWhileButtonHeld() {
    // While the button stays down the viewer keeps feeding itself mouse moves at the pointer, so that a
    // pointer held above or below the window keeps scrolling and extending the selection; it paces
    // itself through the framework's sleep.
    const int button = entry::CtlPrimaryButtonKey();
    while (HandleAllocated() && (ControlState & csLButtonDown) && GetAsyncKeyState(button) < 0) {
        TPoint pt;
        GetCursorPos(&pt);
        pt = ScreenToClient(pt);
        PostMessage(Handle(), WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(pt.X, pt.Y));
        Application->ProcessMessages();
        Sleep(DragStepMs);
    }
}

void TCtlTextFileViewer::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN: {
            const uint16_t cmd = GetController()->EntryCommands().Translate(Message);
            if (cmd != entry::ccNone && cmd != entry::ccNoCommand && cmd != entry::ccPartialSequence &&
                cmd != entry::ccSequenceBroken) {
                KeyCommand(cmd);
                return;
            }
            break;
        }
        case WM_GETDLGCODE:
            Message.Result = DLGC_WANTARROWS;
            return;
        case OM_SHOWSTATUS:
            DoShowStatus(static_cast<int>(Message.LParam), static_cast<int>(Message.WParam));
            return;
        case WM_ERASEBKGND:
            Message.Result = 1;
            return;
        case WM_VSCROLL:
            switch (Message.WParamLo()) {
                case SB_LINEUP:
                    ScrollLines(-1);
                    break;
                case SB_LINEDOWN:
                    ScrollLines(1);
                    break;
                case SB_PAGEUP:
                    ScrollLines(-FRows);
                    break;
                case SB_PAGEDOWN:
                    ScrollLines(FRows);
                    break;
                case SB_THUMBPOSITION:
                case SB_THUMBTRACK: {
                    const int pos = Message.WParamHi();
                    int line;
                    if (pos == 0)
                        line = 0;
                    else if (pos == FMaxTop / FScale)
                        line = FMaxTop;
                    else
                        line = std::min(static_cast<int>(std::min<int64_t>(int64_t(pos) * FScale, INT_MAX)),
                                        FMaxTop);
                    SetTopLine(line);
                    break;
                }
                default:
                    break;
            }
            return;
        case WM_HSCROLL:
            switch (Message.WParamLo()) {
                case SB_LINELEFT:
                    ScrollColumns(-1);
                    break;
                case SB_LINERIGHT:
                    ScrollColumns(1);
                    break;
                case SB_PAGELEFT:
                    ScrollColumns(-10);
                    break;
                case SB_PAGERIGHT:
                    ScrollColumns(10);
                    break;
                case SB_THUMBPOSITION:
                case SB_THUMBTRACK:
                    Scroll(std::min<int>(Message.WParamHi(), MaxLeftColumn) - FLeftCol, 0);
                    break;
                default:
                    break;
            }
            return;
        case WM_MOUSEWHEEL:
            TCtlCustomControlEx::Dispatch(Message);
            ScrollLines(static_cast<int16_t>(Message.WParamHi()) < 0 ? 1 : -1);
            return;
        case WM_LBUTTONDOWN:
            TCtlCustomControlEx::Dispatch(Message);
            LButtonDown(Message);
            DragWhileButtonHeld();
            return;
        case WM_SETFOCUS:
            TCtlCustomControlEx::Dispatch(Message);
            FocusChanged(true);
            return;
        case WM_KILLFOCUS:
            FocusChanged(false);
            TCtlCustomControlEx::Dispatch(Message);
            return;
        case WM_MOUSEMOVE:
            TCtlCustomControlEx::Dispatch(Message);
            if (!(ControlState & csLButtonDown) && !(ComponentState() & csDesigning))
                MarginCursor(GetXLParam(Message.LParam));
            if ((ControlState & csLButtonDown) && FLineCount > 0) {
                const TCtlViewerPos p = PointToPos(GetXLParam(Message.LParam), GetYLParam(Message.LParam));
                if (!FMarginMode) {
                    MoveCaretTo(p.Line, p.Col, true);
                } else if (p.Line >= FAnchor.Line) {
                    if (!(FSelStart.Line == FAnchor.Line && FSelEnd.Line == p.Line))
                        SelectLines(FAnchor.Line, p.Line, true);
                } else if (!(FSelStart.Line == p.Line)) {
                    SetSelection(p.Line, 0, FAnchor.Line, static_cast<int>(GetLine(FAnchor.Line).size()),
                                 false);
                }
            }
            return;
        case WM_LBUTTONDBLCLK: {
            TCtlCustomControlEx::Dispatch(Message);
            const int x = GetXLParam(Message.LParam);
            if (x < Margin || FLineCount == 0) return;
            const TCtlViewerPos p = PointToPos(x, GetYLParam(Message.LParam));
            const std::string s = GetLine(p.Line);
            if (s.empty()) return;
            int c = std::min(p.Col, static_cast<int>(s.size()));
            while (c > 0 && IsBlank(s[static_cast<size_t>(c - 1)])) --c;
            while (c > 0 && !IsBlank(s[static_cast<size_t>(c - 1)])) --c;
            int e = c;
            while (e < static_cast<int>(s.size()) && !IsBlank(s[static_cast<size_t>(e)])) ++e;
            while (e < static_cast<int>(s.size()) && IsBlank(s[static_cast<size_t>(e)])) ++e;
            SetSelection(p.Line, c, p.Line, e, true);
            return;
        }
        case CM_FONTCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (HandleAllocated() && !Loading()) {
                Measure();
                Invalidate();
            }
            return;
        default:
            break;
    }
    TCtlCustomControlEx::Dispatch(Message);
}

}  // namespace grid
