#include "controls/entry/CtlDateEdit.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlInvalidDate = 30182;
constexpr uint32_t SCtlDayRequired = 30251;
constexpr uint32_t SCtlInvalidDay = 30254;
constexpr UINT WM_PLACECARET = WM_USER + 102;

std::string Upper(std::string S) {
    for (char& c : S) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return S;
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// A decimal number of at most nine digits; false for anything else.
bool ToInt(const std::string& S, int32_t& Value) {
    if (S.empty() || S.size() > 9 || !std::all_of(S.begin(), S.end(), IsDigit)) return false;
    Value = std::stoi(S);
    return true;
}

}  // namespace

TCtlCustomDateEdit::TCtlCustomDateEdit(TComponent* AOwner)
    : TCtlEdPopup(AOwner), FCalendar(new TCtlCalendar(this, true)) {
    CtlRegisterCalendarBitmaps();
    auto glyph = CtlLoadLibraryBitmap("CTLBTNCAL");
    SetButtonGlyph(glyph.get());
    ControlStyle &= ~csSetCaption;
    TodayString = std::string(1, CtlIntlSup().DateSeparator);
    FCalendar->SetVisible(false);
    FCalendar->SetCtl3D(false);
    FCalendar->SetBorderStyle(bsSingle);
    FCalendar->OnChange = [this](TObject* S, TDateTime D) { CalendarChange(S, D); };
    FCalendar->OnExit = [this](TObject*) { PopupClose(FCalendar); };
    FCalendar->OnKeyDown = [this](TObject* S, uint16_t& K, TShiftState Sh) { CalendarKeyDown(S, K, Sh); };
    FCalendar->OnKeyPress = [this](TObject* S, char& K) { CalendarKeyPress(S, K); };
    FCalendar->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
        CalendarMouseDown(S, B, Sh, X, Y);
    };
}

TCtlCustomDateEdit::~TCtlCustomDateEdit() {
    FCalendar->OnExit = nullptr;
}

// ---- Properties ----

void TCtlCustomDateEdit::SetEpoch(int32_t Value) {
    if (Value == 0 || (Value >= 1600 && Value <= 3999)) FEpoch = Value;
}

int32_t TCtlCustomDateEdit::EffectiveEpoch() const {
    if (ComponentState() & csWriting) return FEpoch;
    if (FEpoch == 0 && Controller()) return Controller()->GetEpoch();
    return FEpoch;
}

void TCtlCustomDateEdit::SetForceCentury(bool Value) {
    if (Value == FForceCentury) return;
    FForceCentury = Value;
    SetDate(FCalendar->Date());
}

void TCtlCustomDateEdit::SetReadOnly(bool Value) {
    TCtlEdPopup::SetReadOnly(Value);
    Button()->SetEnabled(!Value);
}

void TCtlCustomDateEdit::GlyphChanged() {
    if (ButtonGlyph().Empty()) {
        auto glyph = CtlLoadLibraryBitmap("CTLBTNCAL");
        ButtonGlyph().Assign(*glyph);
    }
}

// ---- Date and text ----

std::string TCtlCustomDateEdit::DateMask() {
    std::string mask = CtlIntlSup().InternationalDate(FForceCentury);
    if (OnGetDateMask) OnGetDateMask(this, mask);
    return mask;
}

std::string TCtlCustomDateEdit::DateToText(TDateTime Value) {
    if (Value == 0) return {};
    return CtlIntlSup().DateToDateString(DateMask(), CtlDateTimeToDate(Value), false);
}

TDateTime TCtlCustomDateEdit::GetDate() {
    ParseDate(Text());
    return FDate;
}

void TCtlCustomDateEdit::SetDate(TDateTime Value) {
    FDate = Value;
    SetText(Value == 0 ? std::string() : DateToText(Value));
    SetModified(true);
    if (OnSetDate) OnSetDate(this);
}

std::string TCtlCustomDateEdit::ResolveRelative(const std::string& Text) {
    const std::string up = Upper(Text);
    const auto has = [&](uint32_t Msg) { return up.find(CtlGetMessage(Msg)) != std::string::npos; };
    int weekday = -1;
    for (int d = 0; d < 7 && weekday < 0; ++d)
        if (up.find(Upper(LongDayNames[d].substr(0, 3))) != std::string::npos) weekday = d;
    const int32_t today = CtlCurrentDate();
    int32_t td = 0, tm = 0, ty = 0;
    CtlDecodeDate(today, td, tm, ty);
    const auto search = [&](int32_t From, int Step, int Weekday, int Count) {
        int32_t j = From;
        for (int found = 0, guard = 0; guard < 1000; ++guard) {
            j += Step;
            if (CtlDayOfWeek(j) == Weekday && ++found == Count) return j;
        }
        return today;
    };
    const int wd = weekday >= 0 ? weekday : CtlDayOfWeek(today);
    const int32_t lastOfPrev = CtlEncodeDate(1, tm, ty, 0) - 1;
    const int32_t firstOfNext = CtlEncodeDate(CtlDaysInMonth(tm, ty, 0), tm, ty, 0) + 1;
    int32_t result = -1;
    if (has(30317))
        result = today - 1;
    else if (has(30318))
        result = today;
    else if (has(30319))
        result = today + 1;
    else if (has(30303))
        result = weekday >= 0 ? search(today, 1, weekday, 1) : today + 7;
    else if (has(30304) || has(30334))
        result = weekday >= 0 ? search(today, -1, weekday, 1) : today - 7;
    else if (has(30305) || has(30306))
        result = search(lastOfPrev, 1, wd, 1);
    else if (has(30307) || has(30308))
        result = search(lastOfPrev, 1, wd, 2);
    else if (has(30309) || has(30310))
        result = search(lastOfPrev, 1, wd, 3);
    else if (has(30311) || has(30312))
        result = search(lastOfPrev, 1, wd, 4);
    else if (has(30313))
        result = search(firstOfNext, -1, wd, 1);
    else if (has(30314) || has(30335))
        result = CtlEncodeDate(1, tm, ty, 0);
    else if (has(30316) || has(30315))
        result = firstOfNext - 1;
    else if (weekday >= 0)
        result = search(today, 1, weekday, 1);
    if (result < 0) return up;
    return DateToText(CtlDateToDateTime(result));
}

void TCtlCustomDateEdit::ParseDate(const std::string& Value) {
    std::string text = Value;
    if (OnPreParseDate) OnPreParseDate(this, text);
    text = ResolveRelative(text);
    if (OnGetDate) OnGetDate(this, text);
    const std::string trimmed = Trim(text);
    if (trimmed.empty() && RequiredFields != 0) {
        FDate = 0;
        SetText("");
        return;
    }
    if (!trimmed.empty() && SameText(trimmed, TodayString)) {
        SetDate(CtlDateToDateTime(CtlCurrentDate()));
        return;
    }
    const std::string up = Upper(text);
    std::vector<std::string> tokens;
    std::string cur;
    for (char c : up) {
        if (IsDigit(c) || (c >= 'A' && c <= 'Z')) {
            cur += c;
        } else if (!cur.empty()) {
            tokens.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) tokens.push_back(cur);
    // The date order from the mask: YMD, DMY or MDY.
    const std::string mask = Upper(DateMask());
    const auto pos = [&](char C) {
        const auto p = mask.find(C);
        return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
    };
    std::string order = "MDY";
    if (pos('M') > pos('Y') || pos('N') > pos('Y'))
        order = "YMD";
    else if (pos('M') > pos('D') || pos('N') > pos('D'))
        order = "DMY";
    const int32_t today = CtlCurrentDate();
    int32_t td = 0, tm = 0, ty = 0;
    CtlDecodeDate(today, td, tm, ty);
    int32_t day = 0, month = 0, year = 0;
    size_t next = 0;
    std::string error;
    for (char part : order) {
        const std::string token = next < tokens.size() ? tokens[next] : std::string();
        int32_t v = 0;
        uint32_t convError = 0;
        std::string shown = token;
        if (part == 'D') {
            if (!token.empty() && !ToInt(token, v)) convError = SCtlInvalidDay;
            if (v < 1 || v > 31) v = 0;
        } else if (part == 'M') {
            if (!token.empty() && !IsDigit(token[0])) {
                shown = token.substr(0, 3);
                for (int m = 0; m < 12 && v == 0; ++m)
                    if (Upper(ShortMonthNames[m]).substr(0, shown.size()) == shown) v = m + 1;
                if (v == 0) convError = SCtlInvalidDay + 2;
            } else if (!token.empty() && !ToInt(token, v)) {
                convError = SCtlInvalidDay + 1;
            }
            if (v < 1 || v > 12) v = 0;
        } else {
            if (!token.empty() && !ToInt(token, v)) convError = SCtlInvalidDay + 3;
            if (!token.empty() && v > 0 && v < 100) {
                const int32_t e = EffectiveEpoch();
                if (e == 0)
                    v += (ty / 100) * 100;
                else
                    v += (e / 100) * 100 + (v < e % 100 ? 100 : 0);
            }
        }
        if (v != 0) ++next;
        const uint8_t flag = part == 'D' ? rfDay : part == 'M' ? rfMonth : rfYear;
        if (v == 0) {
            if (RequiredFields & flag) {
                error = CtlGetMessage(SCtlDayRequired + (part == 'D' ? 0 : part == 'M' ? 1 : 2));
            } else if (convError) {
                error = CtlGetMessage(convError) + " \"" + shown + "\"";
            } else {
                v = part == 'D' ? td : part == 'M' ? tm : ty;
            }
        }
        if (!error.empty()) break;
        (part == 'D' ? day : part == 'M' ? month : year) = v;
    }
    if (!error.empty()) throw ECtlException(error);
    if (!CtlValidDate(day, month, year, 0))
        throw ECtlException(CtlGetMessage(SCtlInvalidDate) + " \"" + up + "\"");
    SetDate(CtlDateToDateTime(CtlEncodeDate(day, month, year, 0)));
}

// ---- Keys and exit ----

void TCtlCustomDateEdit::ExitEdit() {
    DoExit();
}

void TCtlCustomDateEdit::DoExit() {
    try {
        ParseDate(Text());
    } catch (...) {
        if (CanFocus()) SetFocus();
        throw;
    }
    if (!FPopupOpen) TCtlEdPopup::DoExit();
}

void TCtlCustomDateEdit::DoEnter() {
    // Coming back from the popup the caret is placed by the popup's handlers: no select-all.
    if (FReturning) {
        FReturning = false;
        TCustomControl::DoEnter();
        return;
    }
    TCtlEdPopup::DoEnter();
}

void TCtlCustomDateEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCtlEdPopup::KeyDown(Key, Shift);
    if (Key == VK_DOWN && (Shift & ssAlt) && ShowButton()) {
        PopupOpen();
        Key = 0;
    }
}

void TCtlCustomDateEdit::KeyPress(char& Key) {
    if ((Key == '+' || Key == '-') && AllowIncDec && !ReadOnly()) {
        TCustomControl::KeyPress(Key);
        if (Key != '+' && Key != '-') return;
        ExitEdit();
        int32_t j = FDate == 0 ? CtlCurrentDate() : CtlDateTimeToDate(FDate);
        j += Key == '+' ? 1 : -1;
        if (j >= CtlEncodeDate(1, 1, 1600, 0) && j <= CtlEncodeDate(31, 12, 3999, 0))
            SetDate(CtlDateToDateTime(j));
        Key = 0;
        return;
    }
    TCtlEdPopup::KeyPress(Key);
}

// ---- Popup ----

void TCtlCustomDateEdit::PopupOpen() {
    if (FCalendar->Visible()) return;
    FSavedSelStart = SelStart();
    FSavedSelLength = SelLength();
    TCtlEdPopup::PopupOpen();
    ExitEdit();
    TRect work = Screen ? Screen->WorkAreaRect() : Rect(0, 0, 1024, 768);
    if (TWinControl* form = CtlGetParentForm(this); form && form->HandleAllocated()) {
        TMonitorInfo info{};
        if (GetMonitorInfo(MonitorFromWindow(form->Handle(), 0), &info)) work = info.rcWork;
    }
    FCalendar->HandleNeeded();
    const int cw = PopupWidth, ch = PopupHeight;
    TPoint p = PopupAnchor == paRight ? Point(Width() - cw - 1, Height() - 2) : Point(-3, Height() - 4);
    p = ClientToScreen(p);
    if (!Ctl3D()) p = Point(p.X + 3, p.Y + 3);
    if (p.Y + ch >= work.Bottom) p.Y = p.Y - ch - Height();
    if (p.X + cw >= work.Right) p.X = work.Right - cw - 1;
    if (p.X <= work.Left) p.X = work.Left + 1;
    FCalendar->SetBounds(p.X, p.Y, cw, ch);
    FCalendar->SetDate(FDate == 0 || Trim(Text()).empty() ? CtlDateToDateTime(CtlCurrentDate()) : FDate);
    FSavedCursor = Cursor();
    SetCursor(crArrow);
    FCalendar->SetVisible(true);
    FCalendar->SetFocus();
    SetCapture(FCalendar->Handle());
}

void TCtlCustomDateEdit::PopupClose(TObject* Sender) {
    if (!FCalendar->Visible() || FClosing) return;
    FClosing = true;
    try {
        TCtlEdPopup::PopupClose(Sender);
        if (FCalendar->HandleAllocated() && GetCapture() == FCalendar->Handle()) ReleaseCapture();
        FReturning = true;
        if (CanFocus()) SetFocus();
        FCalendar->SetVisible(false);
        SetCursor(FSavedCursor);
    } catch (...) {
        FClosing = false;
        throw;
    }
    FClosing = false;
}

void TCtlCustomDateEdit::RestoreCaret() {
    PlaceCaretLater(FSavedSelStart);
}

void TCtlCustomDateEdit::PlaceCaretLater(int Pos) {
    // After the focus has come back (entering may select the whole text).
    if (HandleAllocated()) PostMessage(Handle(), WM_PLACECARET, static_cast<WPARAM>(Pos), 0);
}

void TCtlCustomDateEdit::CalendarChange(TObject*, TDateTime Date) {
    SetDate(Date);
    SetModified(true);
    if (FCalendar->Browsing()) return;
    PopupClose(FCalendar);
    if (CanFocus()) SetFocus();
    PlaceCaretLater(static_cast<int>(Text().size()));
}

void TCtlCustomDateEdit::CalendarKeyDown(TObject*, uint16_t& Key, TShiftState Shift) {
    if (Key == VK_TAB && (Shift & (ssCtrl | ssAlt)) == 0) {
        PopupClose(FCalendar);
        // The focus moves on from the edit, as the Tab key would move it.
        if (TWinControl* form = CtlGetParentForm(this); form && form->HandleAllocated())
            PostMessage(form->Handle(), WM_NEXTDLGCTL, (Shift & ssShift) ? 1 : 0, 0);
        Key = 0;
    } else if (Key == VK_UP && (Shift & ssAlt)) {
        PopupClose(FCalendar);
        if (CanFocus()) SetFocus();
        RestoreCaret();
        Key = 0;
    }
}

void TCtlCustomDateEdit::CalendarKeyPress(TObject*, char& Key) {
    if (Key == '\r' || Key == 27 || Key == ' ') {
        PopupClose(FCalendar);
        RestoreCaret();
    }
}

void TCtlCustomDateEdit::CalendarMouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
    if (X >= 0 && Y >= 0 && X < FCalendar->ClientWidth() && Y < FCalendar->ClientHeight()) return;
    PopupClose(FCalendar);
    const TPoint p = ScreenToClient(FCalendar->ClientToScreen(Point(X, Y)));
    if (p.X >= 0 && p.Y >= 0 && p.X < Width() && p.Y < Height()) {
        if (CanFocus()) SetFocus();
        RestoreCaret();
    }
}

void TCtlCustomDateEdit::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_PLACECARET) {
        FReturning = false;
        SetSelStart(static_cast<int>(Message.WParam));
        SetSelLength(0);
        return;
    }
    TCtlEdPopup::Dispatch(Message);
}

}  // namespace entry
