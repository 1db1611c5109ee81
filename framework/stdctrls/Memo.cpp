#include "framework/stdctrls/Memo.h"

#include <algorithm>

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ScrollCode.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

namespace {

std::string Crlf() {
    return "\r\n";
}

}  // namespace

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

}  // namespace framework
