#include "controls/entry/CtlPictureBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "framework/ui/Controls.h"

namespace entry {

using namespace framework;

namespace {

template <class T>
void PutBytes(TCtlEntryValue& V, T Value) {
    V.Bytes.resize(sizeof(T));
    std::memcpy(V.Bytes.data(), &Value, sizeof(T));
}

template <class T>
T GetBytes(const TCtlEntryValue& V) {
    T r{};
    if (V.Bytes.size() >= sizeof(T)) std::memcpy(&r, V.Bytes.data(), sizeof(T));
    return r;
}

}  // namespace

TCtlPictureBase::TCtlPictureBase(TComponent* AOwner) : TCtlBaseEntryField(AOwner) {}

// ---- Mask and flags ----

std::string TCtlPictureBase::EngineMask() const {
    std::string m = PictureMask();
    if (Kind() == fkNumeric) std::erase_if(m, [](char C) { return C == 'p' || C == 'g'; });
    return m;
}

void TCtlPictureBase::InitPictureFlags() {
    FPic.Numeric = Kind() == fkNumeric;
    FPic.Floating = FFloating;
    FPic.RightJustify = (Options() & efoRightJustify) != 0;
    FPic.Assign(EngineMask(), MaxLength());
    if (Kind() == fkNumeric) FPic.ClearSpecialCount();
    if (Kind() == fkPicture && !FPic.AllPicture()) RemoveOptions(efoRightJustify | efoTrimBlanks);
}

std::string TCtlPictureBase::MergeWithPicture(const std::string& Value) {
    FPic.Floating = FFloating;
    FPic.RightJustify = (Options() & efoRightJustify) != 0;
    return FPic.Merge(Value);
}

std::string TCtlPictureBase::StripPicture(const std::string& Source) const {
    return FPic.Strip(Source);
}

bool TCtlPictureBase::PrepareEditBuffer() {
    if (FPrepared) return false;
    std::string t = FEditText;
    FPrepared = FPic.PrepareEditBuffer(t);
    const bool changed = t != FEditText;
    FEditText = t;
    return changed;
}

void TCtlPictureBase::AlignDecimal(int PointPos, int FirstPos, bool Right, bool Left, int LastPos) {
    FPic.AlignDecimal(FEditText, PointPos, FirstPos, Right, Left, LastPos);
}

void TCtlPictureBase::GetNumberLayout(int& Digits, int& Decimals) const {
    const int point = FPic.PointPos();
    Decimals = 0;
    if (point < 0) {
        Decimals = DecimalPlaces();
    } else {
        for (int i = point + 1; FPic.Flag(i) == pfEditable; ++i) ++Decimals;
    }
    const int n = FPic.MaxLength();
    const auto inRun = [this](int I) { return FPic.Flag(I) == pfEditable || FPic.MaskAt(I) == ','; };
    int i = 0;
    while (i < n && !inRun(i)) ++i;
    Digits = 0;
    for (; i < n && inRun(i); ++i)
        if (FPic.Flag(i) == pfEditable) ++Digits;
    if (Decimals > 0) Digits += Decimals + 1;
}

void TCtlPictureBase::WhileAssigning(const std::function<void()>& Change) {
    FAssigning = true;
    try {
        Change();
    } catch (...) {
        FAssigning = false;
        throw;
    }
    FAssigning = false;
}

std::optional<TCtlEntryValue> TCtlPictureBase::ValueToCarry(bool CreatedOnce) {
    if (!CreatedOnce || FAssigning || FEditText.size() != MaxLength()) return std::nullopt;
    TCtlEntryValue v;
    v.DataType = DataType();
    v.Bytes.assign(GetDataSize(), 0);
    TransferData(v, 1);
    return v;
}

void TCtlPictureBase::AssignLook(TCtlPictureBase& Source) {
    SetAutoSize(Source.AutoSize());
    SetBorderStyle(Source.BorderStyle());
    SetColor(Source.Color());
    EFColors().Error().Assign(&Source.EFColors().Error());
    EFColors().Highlight().Assign(&Source.EFColors().Highlight());
}

void TCtlPictureBase::AssignRangeAndDisplay(TCtlPictureBase& Source) {
    SetRangeHi(Source.GetRangeHi());
    SetRangeLo(Source.GetRangeLo());
    SetTextMargin(Source.TextMargin());
    SetUninitialized(Source.Uninitialized());
    SetZeroDisplay(Source.ZeroDisplay());
    SetZeroDisplayValue(Source.ZeroDisplayValue());
}

void TCtlPictureBase::AssignPicture(const std::string& Mask) {
    if (Mask.empty()) return;
    const std::string kept = StripPicture(FEditText);
    std::string m = Mask.substr(0, MaxPictureLength);
    if (Kind() != fkNumeric) std::erase_if(m, [](char C) { return C == 'p' || C == 'g'; });
    if (m.empty()) m = "X";
    WhileAssigning([&] {
        SetPictureMask(m);
        if (!Loading()) {
            const auto len = static_cast<uint16_t>(EngineMask().size());
            if (len > MaxLength() || (Kind() == fkNumeric && len != MaxLength())) StoreMaxLength(len);
        }
        FEditText.clear();
        InitPictureFlags();
        FEditText = MergeWithPicture(kept);
        FPrepared = false;
    });
    Invalidate();
}

int TCtlPictureBase::DecimalPoint() const {
    const int p = FPic.PointPos();
    return (p >= 0 && p <= FPic.LastEditPosition()) ? p : -1;
}

// ---- Text ----

std::string TCtlPictureBase::GetEditText() const {
    return StripPicture(FEditText);
}

void TCtlPictureBase::SetEditText(const std::string& Text) {
    HandleNeeded();
    FEditText = MergeWithPicture(Text);
    FPrepared = false;
    Invalidate();
}

uint16_t TCtlPictureBase::GetFirstEditPosition() {
    return static_cast<uint16_t>(FPic.FirstEditPosition());
}

bool TCtlPictureBase::IsEmpty() {
    return FPic.IsEmpty(FEditText);
}

std::string TCtlPictureBase::GetDisplayString() {
    const std::string s = TCtlBaseEntryField::GetDisplayString();
    return FPic.DisplayString(s, PadChar(), (Options() & efoPasswordMode) != 0, PasswordChar(),
                              Uninitialized() && !FHasFocus);
}

void TCtlPictureBase::ReconcileOptions() {
    TCtlBaseEntryField::ReconcileOptions();
    if (Loading()) return;
    if (Kind() == fkPicture && DataType() == dtString && !FPic.AllPicture())
        RemoveOptions(efoRightJustify | efoTrimBlanks);
}

// ---- Caret ----

void TCtlPictureBase::MoveCaretToStart() {
    FCaretPos = FPic.FirstEditPosition();
    FFirstCol = 0;
}

void TCtlPictureBase::MoveCaretToEnd() {
    FCaretPos = EndOfText();
    const int last = LastEditPosition();
    while (FCaretPos < last && FlagAt(FCaretPos) == pfLiteral) ++FCaretPos;
}

void TCtlPictureBase::SetCaretPosition(int Pos) {
    if (!FHasFocus) return;
    const int first = FPic.FirstEditPosition(), last = LastEditPosition();
    if (Pos < first) {
        Pos = first;
    } else if (Pos > last) {
        Pos = last + 1;
    } else {
        while (Pos > first && FlagAt(Pos) == pfLiteral) --Pos;
    }
    FCaretPos = Pos;
    PositionCaret(true);
}

// ---- Window and focus ----

void TCtlPictureBase::CreateWnd() {
    InitPictureFlags();
    TCtlBaseEntryField::CreateWnd();
    if (CtlIsFloatType(DataType())) {
        FFloating = true;
        if (PictureMask().find('.') != std::string::npos) StoreDecimalPlaces(0);
    } else {
        FFloating = false;
    }
    FPic.Floating = FFloating;
}

bool TCtlPictureBase::InSameForm(HWND Wnd) {
    TWinControl* other = Wnd ? FindControl(Wnd) : nullptr;
    if (!other || other == this) return false;
    TWinControl* mine = CtlGetParentForm(this);
    return mine && mine == CtlGetParentForm(other);
}

void TCtlPictureBase::AlignBeforeCheck() {
    const int point = DecimalPoint();
    if (Kind() != fkPicture || !FModified || point < 0) return;
    AlignDecimal(point, FPic.FirstEditPosition(), true, true, LastEditPosition());
}

bool TCtlPictureBase::ValidateOnExit(bool AllowSoft) {
    AlignBeforeCheck();
    return TCtlBaseEntryField::ValidateOnExit(AllowSoft);
}

uint16_t TCtlPictureBase::ValidateContents(bool ReportError) {
    AlignBeforeCheck();
    return TCtlBaseEntryField::ValidateContents(ReportError);
}

void TCtlPictureBase::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_SETFOCUS: {
            const auto from = static_cast<HWND>(Message.WParam);
            const bool fromOutside = from && !InSameForm(from);
            InitPictureFlags();
            TCtlBaseEntryField::Dispatch(Message);
            if (!fromOutside) FAnchor = FSelEnd;
            return;
        }
        case WM_KILLFOCUS: {
            const bool leftForm = !InSameForm(static_cast<HWND>(Message.WParam));
            AlignBeforeCheck();
            TCtlBaseEntryField::Dispatch(Message);
            if (!leftForm && FPrepared) {
                FPrepared = false;
                FEditText = MergeWithPicture(StripPicture(FEditText));
                Invalidate();
            }
            return;
        }
        default:
            TCtlBaseEntryField::Dispatch(Message);
    }
}

// ---- Numbers ----

bool TCtlPictureBase::NumberOfText(long double& Value) const {
    std::string s = StripPicture(FEditText);
    CtlTrimSpaces(s);
    const uint8_t t = DataType();
    if (CtlIsIntegerType(t)) {
        TCtlRangeRec r;
        if (!CtlTextToRange(t, s, PictureMask(), r)) return false;
        Value = r.AsInteger();
        return true;
    }
    if (s.empty()) {
        Value = 0;
        return true;
    }
    std::replace(s.begin(), s.end(), CtlIntlSup().DecimalChar, '.');
    char* end = nullptr;
    const long double v = std::strtold(s.c_str(), &end);
    if (!end || *end != '\0' || !std::isfinite(v)) return false;
    Value = t == dtComp ? std::roundl(v) : v;
    return true;
}

void TCtlPictureBase::SetNumber(long double Value) {
    const uint8_t t = DataType();
    std::string s;
    if (CtlIsIntegerType(t)) {
        TCtlRangeRec r;
        r.SetInteger(CtlValueAsInteger(CtlIntegerValue(t, static_cast<int32_t>(std::llroundl(Value)))));
        s = CtlRangeToText(t, r, PictureMask());
    } else {
        int digits = 0, decimals = 0;
        GetNumberLayout(digits, decimals);
        char buf[96];
        std::snprintf(buf, sizeof buf, "%.*Lf", std::clamp(decimals, 0, 30), Value);
        s = buf;
        if (DecimalPlaces() != 0 && s.find('.') != std::string::npos) {
            s.erase(s.find_last_not_of('0') + 1);
            if (!s.empty() && s.back() == '.') s.pop_back();
        }
    }
    FEditText = MergeWithPicture(s);
    FPrepared = false;
}

void TCtlPictureBase::TransferNumber(TCtlEntryValue& Data, int Direction) {
    const uint8_t t = DataType();
    if (Direction == 2) {
        long double v = 0;
        switch (t) {
            case dtReal:
            case dtDouble:
                v = GetBytes<double>(Data);
                break;
            case dtSingle:
                v = GetBytes<float>(Data);
                break;
            case dtComp:
                v = static_cast<long double>(GetBytes<int64_t>(Data));
                break;
            case dtExtended: {
                TCtlRangeRec r;
                std::memcpy(r.Bytes, Data.Bytes.data(), std::min<size_t>(10, Data.Bytes.size()));
                v = r.AsExtended();
                break;
            }
            default:
                v = CtlValueAsInteger(Data);
        }
        SetNumber(v);
        return;
    }
    long double v = 0;
    if (!NumberOfText(v)) v = 0;
    Data.DataType = t;
    switch (t) {
        case dtReal:
        case dtDouble:
            PutBytes(Data, static_cast<double>(v));
            break;
        case dtSingle:
            PutBytes(Data, static_cast<float>(v));
            break;
        case dtComp:
            PutBytes(Data, static_cast<int64_t>(std::llroundl(v)));
            break;
        case dtExtended: {
            TCtlRangeRec r;
            r.SetExtended(v);
            Data.Bytes.assign(r.Bytes, r.Bytes + 10);
            break;
        }
        default:
            Data = CtlIntegerValue(t, static_cast<int32_t>(v));
    }
}

namespace {

void RangeOf(uint8_t DataType, const TCtlRangeRec& Lo, const TCtlRangeRec& Hi, long double& L,
             long double& H) {
    if (CtlIsIntegerType(DataType)) {
        L = Lo.AsInteger();
        H = Hi.AsInteger();
    } else if (DataType == dtReal) {
        L = Lo.AsReal();
        H = Hi.AsReal();
    } else {
        L = Lo.AsExtended();
        H = Hi.AsExtended();
        if (DataType == dtComp) {
            L = std::roundl(L);
            H = std::roundl(H);
        }
    }
}

}  // namespace

uint16_t TCtlPictureBase::CheckNumber() {
    long double v = 0;
    if (!NumberOfText(v)) return epInvalidValue;
    if (!(FRangeLo == FRangeHi)) {
        long double lo = 0, hi = 0;
        RangeOf(DataType(), FRangeLo, FRangeHi, lo, hi);
        if (v < lo || v > hi) return epRangeError;
    }
    if (FHasFocus && !FGettingValue) {
        SetNumber(v);
        Invalidate();
    }
    return 0;
}

bool TCtlPictureBase::StepNumber(bool Wrap, double Delta) {
    long double v = 0;
    if (!NumberOfText(v)) return false;
    const uint8_t t = DataType();
    long double lo = 0, hi = 0;
    RangeOf(t, FRangeLo, FRangeHi, lo, hi);
    if (Delta < 0 && v <= lo) {
        if (!Wrap) return false;
        v = hi;
    } else if (Delta > 0 && v >= hi) {
        if (!Wrap) return false;
        v = lo;
    } else {
        v += CtlIsIntegerType(t) ? std::trunc(static_cast<long double>(Delta)) : Delta;
        if (t == dtComp) v = std::roundl(v);
        if (lo < hi) v = std::clamp(v, lo, hi);
    }
    SetNumber(v);
    return true;
}

}  // namespace entry
