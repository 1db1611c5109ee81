#include "controls/entry/CtlCalendar.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlSpinner.h"
#include "controls/entry/CtlStrings.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlInvalidDate = 30182;

const TColor Schemes[6][6] = {
    {},
    {clHighlight, clWindow, clWindow, clWindow, clWindow, clWindow},
    {clRed, clMaroon, clBlack, clGray, clBlue, clRed},
    {clBlack, clBlack, clYellow, clGray, clBlack, clTeal},
    {clBlack, clBlack, clAqua, clGray, clBlack, clNavy},
    {clRed, clRed, clFuchsia, clGray, clBlue, clTeal},
};

int32_t FirstJulian() {
    return CtlEncodeDate(1, 1, 1600, 0);
}
int32_t LastJulian() {
    return CtlEncodeDate(31, 12, 3999, 0);
}

// A glyph of 12 x 10 pixels on a transparent (olive) ground, drawn in black.
void Glyph(TBitmap& B, const std::function<void(TCanvas&)>& Draw) {
    B.SetSize(12, 10);
    TCanvas& c = B.Canvas();
    c.Brush.Color = clOlive;
    c.FillRect(Rect(0, 0, 12, 10));
    c.Pen.Color = clBlack;
    c.Brush.Color = clBlack;
    Draw(c);
}

void Triangle(TCanvas& C, int X, int Dir) {
    // A filled arrow 4 wide and 7 high, pointing left (Dir -1) or right (+1), its base at X.
    C.Polygon({Point(X, 1), Point(X, 7), Point(X + 3 * Dir, 4)});
}

}  // namespace

void CtlRegisterCalendarBitmaps() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterBitmapResource("CTLLEFTARROW",
                               [](TBitmap& B) { Glyph(B, [](TCanvas& C) { Triangle(C, 7, -1); }); });
        RegisterBitmapResource("CTLRIGHTARROW",
                               [](TBitmap& B) { Glyph(B, [](TCanvas& C) { Triangle(C, 4, 1); }); });
        RegisterBitmapResource("CTLLEFTARROWS", [](TBitmap& B) {
            Glyph(B, [](TCanvas& C) {
                Triangle(C, 5, -1);
                Triangle(C, 9, -1);
            });
        });
        RegisterBitmapResource("CTLRIGHTARROWS", [](TBitmap& B) {
            Glyph(B, [](TCanvas& C) {
                Triangle(C, 2, 1);
                Triangle(C, 6, 1);
            });
        });
        RegisterBitmapResource("CTLREVERT", [](TBitmap& B) {
            Glyph(B, [](TCanvas& C) {
                // A hooked arrow back to the left.
                C.MoveTo(9, 2);
                C.LineTo(9, 6);
                C.LineTo(3, 6);
                Triangle(C, 4, -1);
            });
        });
        RegisterBitmapResource("CTLTODAY", [](TBitmap& B) {
            Glyph(B, [](TCanvas& C) {
                C.Brush.Color = clWhite;
                C.Rectangle(2, 1, 10, 9);
                C.Brush.Color = clRed;
                C.FillRect(Rect(3, 2, 9, 4));
                C.SetPixel(5, 6, clBlack);
                C.SetPixel(6, 6, clBlack);
            });
        });
        RegisterBitmapResource("CTLBTNCAL", [](TBitmap& B) {
            B.SetSize(14, 12);
            TCanvas& c = B.Canvas();
            c.Brush.Color = clOlive;
            c.FillRect(Rect(0, 0, 14, 12));
            c.Pen.Color = clBlack;
            c.Brush.Color = clWhite;
            c.Rectangle(1, 1, 13, 11);
            c.Brush.Color = clNavy;
            c.FillRect(Rect(2, 2, 12, 4));
            for (int y = 5; y < 10; y += 2)
                for (int x = 3; x < 12; x += 2) c.SetPixel(x, y, clBlack);
        });
    });
}

// ---- Colours ----

TCtlCalColors::TCtlCalColors() {
    SetColorScheme(cscalWindows);
    FScheme = cscalCustom;
}

void TCtlCalColors::SetColor(int Index, TColor Value) {
    if (Index < 0 || Index > 5 || FColors[static_cast<size_t>(Index)] == Value) return;
    FColors[static_cast<size_t>(Index)] = Value;
    if (!FApplying) FScheme = cscalCustom;
    if (OnChange) OnChange();
}

void TCtlCalColors::SetColorScheme(TCtlCalColorScheme Value) {
    FScheme = Value;
    if (Value == cscalCustom) return;
    FApplying = true;
    for (int i = 0; i < 6; ++i) FColors[static_cast<size_t>(i)] = Schemes[Value][i];
    FApplying = false;
    if (OnChange) OnChange();
}

void TCtlCalColors::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TCtlCalColors*>(Source)) {
        FColors = s->FColors;
        FScheme = s->FScheme;
        if (s->OnChange) OnChange = s->OnChange;
        if (OnChange) OnChange();
        return;
    }
    TPersistent::Assign(Source);
}

// ---- Construction ----

TCtlCustomCalendar::TCtlCustomCalendar(TComponent* AOwner) : TCtlCustomControl(AOwner) {
    Init();
}

TCtlCustomCalendar::TCtlCustomCalendar(TComponent* AOwner, bool AsPopup) : TCtlCustomControl(AOwner) {
    FPopup = AsPopup;
    Init();
}

TCtlCustomCalendar::~TCtlCustomCalendar() = default;

void TCtlCustomCalendar::Init() {
    CtlRegisterCalendarBitmaps();
    FColors = std::make_unique<TCtlCalColors>();
    FColors->OnChange = [this] { Invalidate(); };
    SetColor(clWindow);
    Font().Name = "MS Sans Serif";
    Font().SetSize(8);
    ControlStyle &= ~csCaptureMouse;
    ControlStyle |= csClickEvents | csFramed;
    SetTabStop(true);
    static const char* glyphs[6] = {"CTLLEFTARROW",  "CTLRIGHTARROW", "CTLRIGHTARROWS",
                                    "CTLLEFTARROWS", "CTLREVERT",     "CTLTODAY"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new TSpeedButton(this);
        b->SetParent(this);
        auto bmp = CtlLoadLibraryBitmap(glyphs[i]);
        b->Glyph().Assign(*bmp);
        b->OnClick = [this, i](TObject*) { ButtonClick(i); };
        FButtons[static_cast<size_t>(i)] = b;
    }
    SetBounds(Left(), Top(), 200, 140);
}

// ---- Properties ----

void TCtlCustomCalendar::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomCalendar::SetDateFormat(TCtlDateFormat Value) {
    FDateFormat = Value;
    Invalidate();
}

void TCtlCustomCalendar::SetDayNameWidth(int Value) {
    FDayNameWidth = std::clamp(Value, 1, 3);
    Invalidate();
}

void TCtlCustomCalendar::SetOptions(TCtlCalDisplayOptions Value) {
    FOptions = Value;
    Layout();
    Invalidate();
}

void TCtlCustomCalendar::SetWantDblClicks(bool Value) {
    if (Value == FWantDblClicks) return;
    FWantDblClicks = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomCalendar::SetWeekStarts(TCtlDayType Value) {
    FWeekStarts = Value;
    BuildGrid();
    Invalidate();
}

void TCtlCustomCalendar::SetDate(TDateTime Value) {
    const int32_t j = CtlDateTimeToDate(Value);
    if (j < FirstJulian() || j > LastJulian() || j == FJulian) return;
    int32_t d = 0, m = 0, y = 0;
    CtlDecodeDate(j, d, m, y);
    if (y <= 1600 && m == 1) return;
    if (y >= 3999 && m == 12) return;
    MoveTo(NearestEnabled(j, 1));
}

// ---- Dates ----

bool TCtlCustomCalendar::DayEnabled(int32_t Julian) {
    if (Julian < FirstJulian() || Julian > LastJulian()) return false;
    return DoGetDateEnabled(CtlDateToDateTime(Julian));
}

bool TCtlCustomCalendar::DoGetDateEnabled(TDateTime Value) {
    bool enabled = true;
    if (OnGetDateEnabled) OnGetDateEnabled(this, Value, enabled);
    return enabled;
}

int32_t TCtlCustomCalendar::NearestEnabled(int32_t Start, int Dir) {
    if (DayEnabled(Start)) return Start;
    for (int i = 1; i <= 999; ++i)
        if (DayEnabled(Start + Dir * i)) return Start + Dir * i;
    for (int i = 1; i <= 999; ++i)
        if (DayEnabled(Start - Dir * i)) return Start - Dir * i;
    throw Exception(CtlGetMessage(SCtlInvalidDate));
}

void TCtlCustomCalendar::MoveTo(int32_t Julian) {
    if (Julian == FJulian) return;
    int32_t d = 0, m = 0, y = 0;
    CtlDecodeDate(Julian, d, m, y);
    const bool monthChanged = m != FMonth || y != FYear;
    FJulian = Julian;
    FDate = CtlDateToDateTime(Julian);
    FDay = d;
    FMonth = m;
    FYear = y;
    BuildGrid();
    (void)monthChanged;
    Invalidate();
}

void TCtlCustomCalendar::BuildGrid() {
    const int w = CtlDayOfWeekDMY(1, FMonth, FYear, 0) + 1;  // 1 Sunday .. 7 Saturday
    FFirst = w - FWeekStarts;
    if (w - 1 < FWeekStarts) FFirst += 7;
    const int days = CtlDaysInMonth(FMonth, FYear, 0);
    FLast = FFirst + days - 1;
    const int pm = FMonth == 1 ? 12 : FMonth - 1;
    const int py = FMonth == 1 ? FYear - 1 : FYear;
    const int prevDays = std::max(CtlDaysInMonth(pm, py, 0), 28);
    for (int cell = 1; cell <= 49; ++cell) {
        int v;
        if (cell < FFirst)
            v = prevDays - (FFirst - cell) + 1;
        else if (cell <= FLast)
            v = cell - FFirst + 1;
        else
            v = cell - FLast;
        FDays[static_cast<size_t>(cell - 1)] = v;
    }
}

void TCtlCustomCalendar::DoOnChange(TDateTime Value) {
    if (OnChange) OnChange(this, Value);
}

// ---- Layout ----

void TCtlCustomCalendar::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCtlCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    Layout();
}

TRect TCtlCustomCalendar::CellRect(int Row, int Col) const {
    int x = 4, y = 4;
    for (int c = 0; c < Col; ++c) x += FColWidths[static_cast<size_t>(c)];
    for (int r = 0; r < Row; ++r) y += FRowHeights[static_cast<size_t>(r)];
    return Rect(x, y, x + FColWidths[static_cast<size_t>(Col)], y + FRowHeights[static_cast<size_t>(Row)]);
}

void TCtlCustomCalendar::Layout() {
    const int w = HandleAllocated() ? ClientWidth() : Width();
    const int h = HandleAllocated() ? ClientHeight() : Height();
    const int col = std::max(0, (w - 8) / 7), extra = std::max(0, (w - 8) % 7);
    for (int i = 0; i < 7; ++i) FColWidths[static_cast<size_t>(i)] = col + (i < extra ? 1 : 0);
    int t = 13;
    if (HandleAllocated()) {
        Canvas().Font.Assign(Font());
        t = Canvas().TextHeight("Yy");
    }
    int title = static_cast<int>(std::lround(1.4 * t));
    int names = static_cast<int>(std::lround(1.5 * t));
    const int lower = std::max(0, (h - title - names - 8) / 7);
    const int rest = h - 8 - (title + names + 7 * lower);
    names += rest / 2;
    title += rest - rest / 2;
    FRowHeights[0] = title;
    FRowHeights[1] = names;
    for (int i = 2; i < 9; ++i) FRowHeights[static_cast<size_t>(i)] = lower;
    const bool flat = !(Ctl3D() || FPopup);
    const auto glyphW = [this](int I) { return FButtons[static_cast<size_t>(I)]->Glyph().Width(); };
    const auto navWidth = [&](int Col, int I) {
        return std::max(FColWidths[static_cast<size_t>(Col)] - 4, glyphW(I) + 3);
    };
    const int navH = std::max(0, title - 4);
    const int pyW = navWidth(5, btnPrevYear), pmW = navWidth(0, btnPrevMonth);
    const int nyW = navWidth(1, btnNextYear), nmW = navWidth(6, btnNextMonth);
    FButtons[btnPrevYear]->SetBounds(4, 4, pyW, navH);
    FButtons[btnPrevMonth]->SetBounds(4 + pyW, 4, pmW, navH);
    FButtons[btnNextYear]->SetBounds(w - nyW - 4, 4, nyW, navH);
    FButtons[btnNextMonth]->SetBounds(w - nyW - 4 - nmW, 4, nmW, navH);
    const int bandH = lower;
    const int bw = std::max(0, FColWidths[5] + FColWidths[6] - 4);
    FButtons[btnToday]->SetBounds(w - bw - 4, h - bandH - 3, bw, bandH);
    FButtons[btnRevert]->SetBounds(w - 2 * bw - 8, h - bandH - 3, bw, bandH);
    FButtons[btnRevert]->SetVisible((FOptions & cdoShowRevert) != 0);
    FButtons[btnToday]->SetVisible((FOptions & cdoShowToday) != 0);
    for (int i : {btnPrevMonth, btnNextMonth, btnNextYear, btnPrevYear})
        FButtons[static_cast<size_t>(i)]->SetVisible((FOptions & cdoShowNavBtns) != 0);
    for (TSpeedButton* b : FButtons) b->Flat = flat;
}

void TCtlCustomCalendar::CreateParams(TCreateParams& Params) {
    TCtlCustomControl::CreateParams(Params);
    if (FPopup) {
        // A popup over the form it serves.
        Params.Style = WS_POPUP | WS_BORDER;
        Params.ExStyle |= WS_EX_TOPMOST;
    } else if (FBorderStyle == bsSingle) {
        Params.Style |= WS_BORDER;
    }
    if (FBorderStyle == bsSingle && (Ctl3D() || FPopup)) {
        Params.ExStyle |= WS_EX_CLIENTEDGE;
        if (!FPopup) Params.Style &= ~WS_BORDER;
    }
    if (FWantDblClicks)
        ControlStyle |= csDoubleClicks;
    else
        ControlStyle &= ~csDoubleClicks;
}

void TCtlCustomCalendar::CreateWnd() {
    TCtlCustomControl::CreateWnd();
    Layout();
    if (FDate == 0) MoveTo(NearestEnabled(CtlCurrentDate(), 1));
}

// ---- Painting ----

std::string TCtlCustomCalendar::TitleText(int Width) {
    const std::string longName = LongMonthNames[FMonth - 1];
    const std::string shortName = ShortMonthNames[FMonth - 1];
    const std::string year = std::to_string(FYear);
    const bool showYear = (FOptions & cdoShowYear) != 0;
    if (FDateFormat == dfShort) return showYear ? shortName + " " + year : shortName;
    std::string s = showYear ? longName + " " + year : longName;
    if (Canvas().TextWidth(s) > Width) s = shortName + " " + year;
    return s;
}

void TCtlCustomCalendar::Paint() {
    TCanvas& c = Canvas();
    c.Font.Assign(Font());
    c.Brush.Color = Color();
    c.FillRect(ClientRect());
    c.Brush.Style = bsClear;
    const TColor text = Font().Color;
    // Title between the navigation buttons.
    const TRect title{CellRect(0, 1).Left, CellRect(0, 0).Top, CellRect(0, 6).Left, CellRect(0, 0).Bottom};
    if (OnDrawDate) {
        OnDrawDate(this, FDate, title);
    } else {
        const std::string s = TitleText(title.Width());
        c.Font.Color = FColors->Color(calMonthAndYear);
        c.TextOut(title.Left + (title.Width() - c.TextWidth(s)) / 2,
                  title.Top + (title.Height() - c.TextHeight(s)) / 2, s);
    }
    // Day names.
    int satCol = -1, sunCol = -1;
    c.Font.Color = FColors->Color(calDayNames);
    for (int i = 0; i < 7; ++i) {
        const int day = (FWeekStarts + i) % 7;
        if (day == 0) sunCol = i;
        if (day == 6) satCol = i;
        const std::string n = ShortDayNames[day].substr(0, static_cast<size_t>(FDayNameWidth));
        const TRect r = CellRect(1, i);
        c.TextOut(r.Left + (r.Width() - c.TextWidth(n)) / 2, r.Top + (r.Height() - c.TextHeight(n)) / 2, n);
    }
    const int sepY = CellRect(1, 0).Bottom;
    if (Ctl3D()) {
        c.Pen.Color = clBtnHighlight;
        c.MoveTo(0, sepY - 3);
        c.LineTo(ClientWidth(), sepY - 3);
        c.Pen.Color = clBtnShadow;
        c.MoveTo(0, sepY - 2 - 3);
        c.LineTo(ClientWidth(), sepY - 2 - 3);
    } else if (FBorderStyle == bsSingle) {
        c.Pen.Color = text;
        c.MoveTo(0, sepY - 3);
        c.LineTo(ClientWidth(), sepY - 3);
    }
    // Days.
    const int active = ActiveCell();
    const int bandTop =
        (FOptions & (cdoShowRevert | cdoShowToday)) ? FButtons[btnToday]->Top() : ClientHeight();
    for (int cell = 1; cell <= 42; ++cell) {
        const int row = 2 + (cell - 1) / 7, col = (cell - 1) % 7;
        const TRect r = CellRect(row, col);
        if (r.Bottom > bandTop && (col >= 5)) continue;
        const bool inactive = cell < FFirst || cell > FLast;
        if (inactive && !(FOptions & cdoShowInactive)) continue;
        TColor color =
            (col == satCol || col == sunCol) ? FColors->Color(calWeekend) : FColors->Color(calDays);
        if (inactive) color = FColors->Color(calInactiveDays);
        const TDateTime date = FDate + (cell - active);
        if (OnGetHighlight) OnGetHighlight(this, date, color);
        if (OnDrawItem) {
            OnDrawItem(this, date, r);
            continue;
        }
        const std::string n = std::to_string(CellDay(cell));
        c.Font.Color = color;
        c.TextOut(r.Left + (r.Width() - c.TextWidth(n)) / 2, r.Top + (r.Height() - c.TextHeight(n)) / 2, n);
    }
    if (!OnDrawItem && !(FOptions & cdoHideActive)) {
        const TRect r = CellRect(2 + (active - 1) / 7, (active - 1) % 7);
        c.Brush.Style = bsSolid;
        CtlDrawButtonFace(c, r, Focused());
        c.Brush.Style = bsClear;
        const std::string n = std::to_string(FDay);
        c.Font.Color = FColors->Color(calActiveDay);
        const int shift = Focused() ? 1 : 0;
        c.TextOut(r.Left + (r.Width() - c.TextWidth(n)) / 2 + shift,
                  r.Top + (r.Height() - c.TextHeight(n)) / 2 + shift, n);
    }
    c.Brush.Style = bsSolid;
}

// ---- Keys and mouse ----

bool TCtlCustomCalendar::NavigateKey(uint16_t Key, TShiftState Shift) {
    const bool ctrl = (Shift & ssCtrl) != 0;
    int32_t target = FJulian;
    int dir = 1;
    switch (Key) {
        case VK_LEFT:
            target = FJulian - 1;
            dir = -1;
            break;
        case VK_RIGHT:
            target = FJulian + 1;
            break;
        case VK_UP:
            target = FJulian - 7;
            dir = -1;
            break;
        case VK_DOWN:
            target = FJulian + 7;
            break;
        case VK_PRIOR:
            target = ctrl ? CtlIncDateMonths(FJulian, 0, -1) : CtlIncDateMonths(FJulian, -1, 0);
            dir = -1;
            break;
        case VK_NEXT:
            target = ctrl ? CtlIncDateMonths(FJulian, 0, 1) : CtlIncDateMonths(FJulian, 1, 0);
            break;
        case VK_HOME:
            target = ctrl ? CtlEncodeDate(1, 1, FYear, 0) : CtlEncodeDate(1, FMonth, FYear, 0);
            break;
        case VK_END:
            target = ctrl ? CtlEncodeDate(31, 12, FYear, 0)
                          : CtlEncodeDate(CtlDaysInMonth(FMonth, FYear, 0), FMonth, FYear, 0);
            dir = -1;
            break;
        case VK_BACK:
            if (!(Shift & ssAlt)) return false;
            target = CtlCurrentDate();
            break;
        case VK_ESCAPE:
            target = CtlDateTimeToDate(FRevert);
            break;
        default:
            return false;
    }
    if (target < FirstJulian() || target > LastJulian()) return true;
    const int32_t old = FJulian;
    MoveTo(NearestEnabled(target, dir));
    if (FJulian != old) {
        FBrowsing = true;
        try {
            DoOnChange(FDate);
        } catch (...) {
            FBrowsing = false;
            throw;
        }
        FBrowsing = false;
    }
    return true;
}

void TCtlCustomCalendar::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCtlCustomControl::KeyDown(Key, Shift);
    if (GetReadOnly() || Key == 0) return;
    if (NavigateKey(Key, Shift)) Key = 0;
}

void TCtlCustomCalendar::KeyPress(char& Key) {
    TCtlCustomControl::KeyPress(Key);
    if (GetReadOnly()) return;
    switch (Key) {
        case '\r':
        case ' ':
            DoOnChange(FDate);
            break;
        case 26:
            MoveTo(NearestEnabled(CtlCurrentDate(), 1));
            break;
        case '+':
            if (FJulian < LastJulian()) MoveTo(NearestEnabled(FJulian + 1, 1));
            break;
        case '-':
            if (FJulian > FirstJulian()) MoveTo(NearestEnabled(FJulian - 1, -1));
            break;
        default:
            break;
    }
}

void TCtlCustomCalendar::DoOnMouseWheel(TShiftState Shift, uint16_t Delta, uint16_t XPos, uint16_t YPos) {
    TCtlCustomControl::DoOnMouseWheel(Shift, Delta, XPos, YPos);
    if (GetReadOnly()) return;
    const auto d = static_cast<int16_t>(Delta);
    const int magnitude = std::abs(static_cast<int>(d));
    if (magnitude == 120)
        NavigateKey(d > 0 ? VK_PRIOR : VK_NEXT, 0);
    else if (magnitude > 120)
        NavigateKey(d > 0 ? VK_PRIOR : VK_NEXT, ssCtrl);
    else if (magnitude > 0)
        NavigateKey(d > 0 ? VK_UP : VK_DOWN, 0);
}

void TCtlCustomCalendar::ButtonClick(int Index) {
    if (CanFocus() && !Focused()) SetFocus();
    switch (Index) {
        case btnPrevMonth:
            NavigateKey(VK_PRIOR, 0);
            break;
        case btnNextMonth:
            NavigateKey(VK_NEXT, 0);
            break;
        case btnNextYear:
            NavigateKey(VK_NEXT, ssCtrl);
            break;
        case btnPrevYear:
            NavigateKey(VK_PRIOR, ssCtrl);
            break;
        case btnRevert:
            NavigateKey(VK_ESCAPE, 0);
            break;
        case btnToday:
            NavigateKey(VK_BACK, ssAlt);
            break;
        default:
            break;
    }
}

void TCtlCustomCalendar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FMenuOpen) return;
    if (CanFocus() && !Focused()) SetFocus();
    TCtlCustomControl::MouseDown(Button, Shift, X, Y);
    if (GetReadOnly()) return;
    if (MouseCapture() || GetCapture() == Handle()) {
        static constexpr int order[6] = {btnPrevMonth, btnNextMonth, btnNextYear,
                                         btnPrevYear,  btnRevert,    btnToday};
        for (int i : order) {
            TSpeedButton* b = FButtons[static_cast<size_t>(i)];
            if (b->Visible() && X >= b->Left() && X < b->Left() + b->Width() && Y >= b->Top() &&
                Y < b->Top() + b->Height()) {
                ButtonClick(i);
                return;
            }
        }
    }
    for (int cell = 1; cell <= 42; ++cell) {
        const TRect r = CellRect(2 + (cell - 1) / 7, (cell - 1) % 7);
        if (X < r.Left || X >= r.Right || Y < r.Top || Y >= r.Bottom) continue;
        const bool other = cell < FFirst || cell > FLast;
        if (other && !(FOptions & cdoShowInactive)) return;
        const int32_t j = FJulian + (cell - ActiveCell());
        if (cell != ActiveCell()) {
            if (!DayEnabled(j)) return;
            MoveTo(j);
        }
        if (Button == TMouseButton::mbLeft) {
            FBrowsing = other;
            try {
                DoOnChange(FDate);
            } catch (...) {
                FBrowsing = false;
                throw;
            }
            FBrowsing = false;
        }
        return;
    }
}

void TCtlCustomCalendar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCtlCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button != TMouseButton::mbRight || PopupMenu()) return;
    const TRect title = CellRect(0, 0);
    const int left = FButtons[btnPrevYear]->Left() + FButtons[btnPrevYear]->Width();
    const int right = FButtons[btnNextYear]->Left();
    if (Y < title.Top || Y >= title.Bottom || X < left || X >= right) return;
    if (CanFocus() && !Focused()) SetFocus();
    ShowMonthMenu(X, Y);
}

void TCtlCustomCalendar::ShowMonthMenu(int X, int Y) {
    FMenu = std::make_unique<TPopupMenu>(nullptr);
    for (int k = 0; k < 7; ++k) {
        const int m = ((FMonth - 1 + k - 3) % 12 + 12) % 12 + 1;
        FMenuMonths[k] = m;
        TMenuItem* item =
            NewItem(FMenu.get(), LongMonthNames[m - 1], 0, [this, k](TObject*) { ChooseMonth(k); });
        FMenu->Items()->Add(item);
    }
    const int itemH = GetSystemMetrics(SM_CYMENU);
    const TPoint p = ClientToScreen(Point(X - 20, Y - (7 * itemH) / 2));
    if (HandleAllocated())
        PostMessage(Handle(), WM_MOUSEMOVE, 0, MakeLParam(X - 20, Y - (7 * itemH) / 2 + 1));
    FMenuOpen = true;
    try {
        FMenu->Popup(p.X, p.Y);
        Application->ProcessMessages();
    } catch (...) {
        FMenuOpen = false;
        throw;
    }
    FMenuOpen = false;
    if (FPopup && HandleAllocated()) SetCapture(Handle());
}

void TCtlCustomCalendar::ChooseMonth(int Item) {
    const int m = FMenuMonths[Item];
    int y = FYear;
    if (m > FMonth && Item < 3) --y;
    if (m < FMonth && Item > 3) ++y;
    const int d = std::min(FDay, CtlDaysInMonth(m, y, 0));
    const int32_t j = CtlEncodeDate(d, m, y, 0);
    if (j < FirstJulian() || j > LastJulian()) return;
    MoveTo(NearestEnabled(j, 1));
    DoOnChange(FDate);
}

void TCtlCustomCalendar::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_GETDLGCODE:
            Message.Result = DLGC_WANTARROWS;
            return;
        case WM_ERASEBKGND:
            Message.Result = 1;
            return;
        case WM_SETFOCUS:
            FRevert = FDate;
            TCtlCustomControl::Dispatch(Message);
            Invalidate();
            return;
        case WM_KILLFOCUS:
            TCtlCustomControl::Dispatch(Message);
            Invalidate();
            return;
        case CM_FONTCHANGED:
        case CM_CTL3DCHANGED:
            TCtlCustomControl::Dispatch(Message);
            Layout();
            Invalidate();
            return;
        default:
            TCtlCustomControl::Dispatch(Message);
    }
}

}  // namespace entry
