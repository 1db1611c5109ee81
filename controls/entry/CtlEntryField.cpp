#include "controls/entry/CtlEntryField.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "platform/Beep.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlRangeError = 30179;
constexpr uint32_t SCtlEntryError = 30278;
constexpr uint32_t SCtlParameterInvalidMsg = 30188;
constexpr uint32_t SCtlInvalidValue = 30180;
constexpr uint32_t SCtlMenuRestore = 30287;

bool IsControlChar(char Ch) {
    const auto c = static_cast<unsigned char>(Ch);
    return c >= 1 && c <= 31;
}

template <class T>
TCtlEntryValue RawValue(uint8_t DataType, T Value) {
    TCtlEntryValue v;
    v.DataType = DataType;
    v.Bytes.resize(sizeof(T));
    std::memcpy(v.Bytes.data(), &Value, sizeof(T));
    return v;
}

int32_t Int32Of(const TCtlEntryValue& V) {
    int32_t r = 0;
    if (V.Bytes.size() >= 4) std::memcpy(&r, V.Bytes.data(), 4);
    return r;
}

// Editable positions of a numeric mask right after its '.', -1 when the mask has no '.'.
int MaskDecimals(const std::string& Mask) {
    const size_t dot = Mask.find('.');
    if (dot == std::string::npos) return -1;
    int n = 0;
    for (size_t i = dot + 1; i < Mask.size() && std::strchr("9#", Mask[i]); ++i) ++n;
    return n;
}

}  // namespace

// ---- TCtlEfColors ----

TCtlEfColors::TCtlEfColors()
    : FDisabled(clGrayText, clWindow), FError(clBlack, clRed), FHighlight(clHighlightText, clHighlight) {
    for (TCtlColors* c : {&FDisabled, &FError, &FHighlight})
        c->OnColorChange = [this] {
            if (OnChange) OnChange();
        };
}

void TCtlEfColors::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TCtlEfColors*>(Source)) {
        FDisabled.Assign(&s->FDisabled);
        FError.Assign(&s->FError);
        FHighlight.Assign(&s->FHighlight);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- Construction ----

TCtlBaseEntryField::TCtlBaseEntryField(TComponent* AOwner)
    : TCtlCustomControlEx(AOwner),
      FBorders(std::make_unique<TCtlBorders>()),
      FEFColors(std::make_unique<TCtlEfColors>()) {
    FCaretPair = std::make_unique<TCtlCaretPair>(this);
    for (TCtlBorder* b : {&FBorders->LeftBorder(), &FBorders->RightBorder(), &FBorders->TopBorder(),
                          &FBorders->BottomBorder()})
        b->OnChange = [this](TObject*) { BordersChanged(); };
    FEFColors->OnChange = [this] { Invalidate(); };
    SetCursor(crIBeam);
    SetBounds(Left(), Top(), 130, 25);
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    ControlStyle |= csCaptureMouse | csClickEvents | csOpaque;
}

TCtlBaseEntryField::~TCtlBaseEntryField() {
    if (FHasFocus)
        if (auto* f = dynamic_cast<TCustomForm*>(CtlGetParentForm(this))) f->DefocusControl(this, true);
    FMenu.reset();
}

// ---- Properties ----

void TCtlBaseEntryField::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    if (!Loading()) AdjustHeight();
}

void TCtlBaseEntryField::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::BordersChanged() {
    const bool any = CtlAnyBorderEnabled(*FBorders);
    FBorderStyle = any ? bsNone : bsSingle;
    SetCtl3D(!any);
    if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::SetCaretIns(TCtlCaret* Value) {
    if (Value != FCaretPair->InsertCaret()) FCaretPair->SetInsertCaret(Value);
}

void TCtlBaseEntryField::SetCaretOvr(TCtlCaret* Value) {
    if (Value != FCaretPair->OvertypeCaret()) FCaretPair->SetOvertypeCaret(Value);
}

void TCtlBaseEntryField::SetDecimalPlaces(uint8_t Value) {
    if (Value == FDecimalPlaces) return;
    FDecimalPlaces = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::SetEpoch(int32_t Value) {
    if (Value != 0 && (Value < 1600 || Value > 3999)) return;
    if (!Loading() && Value != 0 && Value == GetController()->Epoch()) Value = 0;
    FEpoch = Value;
}

void TCtlBaseEntryField::SetMaxLength(uint16_t Value) {
    if (Value == FMaxLength) return;
    if (!Loading()) {
        if (Value < 1 || Value > 255 || Value < FPicture.size()) return;
        if (FEditText.size() > Value) FEditText.resize(Value);
    }
    FMaxLength = Value;
    FDataSize = -1;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::SetOptions(TCtlEntryFieldOptions Value) {
    if (Value != FOptions) {
        if (Value & efoForceInsert) Value &= ~efoForceOvertype;
        if (Value & efoForceOvertype) Value &= ~efoForceInsert;
        if ((Value & efoRightJustify) && FDataType == dtString) Value |= efoTrimBlanks;
        const bool alignChanged = (Value ^ FOptions) & efoRightAlign;
        if (FKind == fkPicture && FDataType == dtString && !(Value & efoTrimBlanks))
            Value &= ~efoRightJustify;
        FOptions = Value;
        if (alignChanged) {
            FRightAlignActive = (FOptions & efoRightAlign) != 0;
            if (FHasFocus) PositionCaret(true);
        }
    }
    ReconcileOptions();
    Invalidate();
}

void TCtlBaseEntryField::SetPadChar(char Value) {
    FPadChar = Value;
    Invalidate();
}

void TCtlBaseEntryField::SetPasswordChar(char Value) {
    FPasswordChar = Value;
    if (Value == '\0') FOptions &= ~efoPasswordMode;
    Invalidate();
}

void TCtlBaseEntryField::SetTextMargin(int32_t Value) {
    if (Value <= 1) return;
    FTextMargin = Value;
    Invalidate();
}

void TCtlBaseEntryField::SetUninitialized(bool Value) {
    if (Value == FUninitialized) return;
    FUninitialized = Value;
    ReconcileOptions();
}

void TCtlBaseEntryField::SetZeroDisplay(TZeroDisplay Value) {
    FZeroDisplay = Value;
    Invalidate();
}

void TCtlBaseEntryField::SetZeroDisplayValue(double Value) {
    FZeroDisplayValue = Value;
    Invalidate();
}

void TCtlBaseEntryField::SetName(const std::string& NewName) {
    TCtlCustomControlEx::SetName(NewName);
    Invalidate();
}

void TCtlBaseEntryField::SetDataTypeAndKind(uint8_t DataType, TCtlFieldKind Kind) {
    FDataType = DataType;
    FKind = Kind;
    FDataSize = -1;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::SetPictureMask(const std::string& Mask) {
    FPicture = Mask.substr(0, 255);
    if (FPicture.empty()) FPicture = "X";
    if (FMaxLength < FPicture.size()) FMaxLength = static_cast<uint16_t>(FPicture.size());
    FDataSize = -1;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::SetDefaultRange() {
    if (FDataType >= CtlDataTypeCount) return;
    FRangeLo = CtlDefaultRangeLo(FDataType);
    FRangeHi = CtlDefaultRangeHi(FDataType);
}

void TCtlBaseEntryField::ReconcileOptions() {
    if (Loading()) return;
    TCtlEntryFieldOptions o = FOptions;
    const uint16_t t = FDataType;
    const bool charLike = t == dtChar || t == dtBoolean || t == dtYesNo;
    const bool number = t >= dtLongInt && t <= dtComp;
    const bool dateTime = t == dtDate || t == dtTime;
    switch (FKind) {
        case fkSimple:
            if (t == dtString) o &= ~(efoRightJustify | efoStripLiterals);
            if (charLike)
                o &= ~(efoCaretToEnd | efoForceInsert | efoTrimBlanks | efoRightJustify | efoStripLiterals);
            if (number) o &= ~(efoTrimBlanks | efoRightJustify | efoStripLiterals);
            break;
        case fkPicture:
            if (charLike)
                o &= ~(efoCaretToEnd | efoForceInsert | efoTrimBlanks | efoRightJustify | efoStripLiterals);
            if (number) o &= ~(efoTrimBlanks | efoStripLiterals);
            if (dateTime) o &= ~(efoTrimBlanks | efoRightJustify | efoStripLiterals);
            break;
        case fkNumeric:
            o &= ~(efoCaretToEnd | efoForceInsert | efoRightAlign | efoRightJustify | efoStripLiterals |
                   efoTrimBlanks);
            break;
    }
    FOptions = o;
    if (Designing() && (o & efoInputRequired) && t >= dtChar && t <= dtComp) FUninitialized = true;
}

// ---- Value access ----

void TCtlBaseEntryField::CheckDataTypeCode() const {
    if (FDataType >= CtlDataTypeCount) throw ECtlException(CtlGetMessage(SCtlParameterInvalidMsg));
}

uint16_t TCtlBaseEntryField::GetDataSize() {
    if (FDataSize < 0) {
        CheckDataTypeCode();
        FDataSize = CtlValueSize(FDataType, FMaxLength + 1);
    }
    return static_cast<uint16_t>(FDataSize);
}

uint16_t TCtlBaseEntryField::GetValue(TCtlEntryValue& Data) {
    FGettingValue = true;
    try {
        CheckDataTypeCode();
        const uint16_t code = CheckValue();
        if (code != 0) {
            FGettingValue = false;
            return code;
        }
        TCtlEntryValue v;
        v.DataType = FDataType;
        v.Bytes.assign(GetDataSize(), 0);
        TransferData(v, 1);
        Data = std::move(v);
    } catch (...) {
        FGettingValue = false;
        throw;
    }
    FGettingValue = false;
    return 0;
}

void TCtlBaseEntryField::SetValue(const TCtlEntryValue& Data) {
    if (FInUserValidation) return;
    HandleNeeded();
    FSettingValue = true;
    try {
        CheckDataTypeCode();
        CtlCheckEntryValue(Data, FDataType, GetDataSize());
        TCtlEntryValue copy = Data;
        TransferData(copy, 2);
    } catch (...) {
        FSettingValue = false;
        throw;
    }
    FSettingValue = false;
    if (FValidating) return;
    FFocusReturns = false;
    if (FHasFocus) {
        ResetCaretPosition();
        PositionCaret(true);
        if (!FGettingValue) SetSelection(0, 255);
    } else {
        FSoftError = false;
    }
    FModified = false;
    FEditedSinceSet = false;
    Invalidate();
}

int32_t TCtlBaseEntryField::GetAsInteger() {
    if (!CtlIsIntegerType(FDataType)) throw EInvalidDataType();
    TCtlEntryValue v;
    const uint16_t code = GetValue(v);
    FLastError = code;
    if (code != 0) return 0;
    return CtlValueAsInteger(v);
}

void TCtlBaseEntryField::SetAsInteger(int32_t Value) {
    if (!CtlIsIntegerType(FDataType)) throw EInvalidDataType();
    SetValue(CtlIntegerValue(FDataType, Value));
}

void TCtlBaseEntryField::SetAsFloat(double Value) {
    switch (FDataType) {
        case dtReal:
        case dtDouble:
            SetValue(RawValue(FDataType, Value));
            return;
        case dtExtended: {
            TCtlRangeRec r;
            r.SetExtended(Value);
            TCtlEntryValue v;
            v.DataType = dtExtended;
            v.Bytes.assign(r.Bytes, r.Bytes + 10);
            SetValue(v);
            return;
        }
        case dtSingle:
            SetValue(RawValue(FDataType, static_cast<float>(Value)));
            return;
        case dtComp:
            SetValue(RawValue(FDataType, static_cast<int64_t>(std::llround(Value))));
            return;
        default:
            throw EInvalidDataType();
    }
}

TDateTime TCtlBaseEntryField::GetAsDateTime() {
    if (FDataType != dtDate && FDataType != dtTime) throw EInvalidDataType();
    TCtlEntryValue v;
    const uint16_t code = GetValue(v);
    if (code != 0) {
        FLastError = code;
        return 0;
    }
    return FDataType == dtDate ? CtlDateToDateTime(Int32Of(v)) : CtlTimeToDateTime(Int32Of(v));
}

void TCtlBaseEntryField::SetAsDateTime(TDateTime Value) {
    if (FDataType == dtDate) {
        const auto dayOf = [this](TDateTime D) {
            uint16_t y = 0, m = 0, d = 0;
            DecodeDate(D, y, m, d);
            return CtlEncodeDate(d, m, y, GetEpoch());
        };
        int32_t day = dayOf(Value);
        if (day == dayOf(-1.0)) day = CtlBadDate;
        SetValue(RawValue(dtDate, day));
        return;
    }
    if (FDataType == dtTime) {
        uint16_t h = 0, m = 0, s = 0, ms = 0;
        DecodeTime(Value, h, m, s, ms);
        SetValue(RawValue(dtTime, CtlEncodeTime(h, m, s)));
        return;
    }
    throw EInvalidDataType();
}

void TCtlBaseEntryField::SetAsDate(int32_t Day) {
    if (FDataType != dtDate) throw EInvalidDataType();
    SetValue(RawValue(dtDate, Day));
}

void TCtlBaseEntryField::SetAsTime(int32_t Seconds) {
    if (FDataType != dtTime) throw EInvalidDataType();
    SetValue(RawValue(dtTime, Seconds));
}

std::string TCtlBaseEntryField::GetAsString() {
    if (FDataType == dtString) {
        TCtlEntryValue v;
        const uint16_t code = GetValue(v);
        FLastError = code;
        if (code != 0 || v.Bytes.empty()) return {};
        const size_t n = std::min<size_t>(v.Bytes[0], v.Bytes.size() - 1);
        return std::string(reinterpret_cast<const char*>(v.Bytes.data()) + 1, n);
    }
    FLastError = 0;
    std::string s = GetEditText();
    if (FOptions & efoTrimBlanks) CtlTrimSpaces(s);
    return s;
}

void TCtlBaseEntryField::SetAsString(const std::string& Value) {
    if (FInUserValidation) return;
    CheckDataTypeCode();
    TCtlEntryValue v;
    v.DataType = FDataType;
    switch (FDataType) {
        case dtString: {
            const size_t size = GetDataSize();
            const size_t n = std::min({Value.size(), size_t{255}, size - 1});
            v.Bytes.assign(size, 0);
            v.Bytes[0] = static_cast<uint8_t>(n);
            std::memcpy(v.Bytes.data() + 1, Value.data(), n);
            break;
        }
        case dtBoolean:
        case dtYesNo: {
            const char c = Value.empty() ? '\0' : CtlUpperChar(Value[0]);
            const bool yes = !Value.empty() && (c == CtlIntlSup().TrueChar || c == CtlIntlSup().YesChar);
            v.Bytes.assign(1, yes ? 1 : 0);
            break;
        }
        default: {
            TCtlRangeRec r;
            if (!TextToRangeRec(Value, r)) throw EEntryFieldError(CtlGetMessage(SCtlInvalidValue));
            switch (FDataType) {
                case dtChar:
                    v.Bytes.assign(1, r.Bytes[0]);
                    break;
                case dtReal:
                    v = RawValue(dtReal, r.AsReal());
                    break;
                case dtExtended:
                    v.Bytes.assign(r.Bytes, r.Bytes + 10);
                    break;
                case dtDouble:
                    v = RawValue(dtDouble, static_cast<double>(r.AsExtended()));
                    break;
                case dtSingle:
                    v = RawValue(dtSingle, static_cast<float>(r.AsExtended()));
                    break;
                case dtComp:
                    v = RawValue(dtComp, static_cast<int64_t>(std::llroundl(r.AsExtended())));
                    break;
                case dtDate:
                case dtTime:
                    v = RawValue(FDataType, r.AsInteger());
                    break;
                default:
                    v = CtlIntegerValue(FDataType, r.AsInteger());
            }
        }
    }
    SetValue(v);
}

void TCtlBaseEntryField::SetEditText(const std::string& Text) {
    FEditText = Text.substr(0, FMaxLength);
    Invalidate();
}

std::string TCtlBaseEntryField::GetDisplayText() {
    return GetDisplayString().substr(0, 255);
}

int32_t TCtlBaseEntryField::GetEpoch() {
    if (ComponentState() & csWriting) return FEpoch;
    int32_t epoch = FEpoch;
    if (OnGetEpoch) OnGetEpoch(this, epoch);
    if (epoch == 0) epoch = GetController()->GetEpoch();
    return epoch;
}

void TCtlBaseEntryField::SetSelection(uint16_t Start, uint16_t Stop) {
    if (Stop < Start) return;
    const int len = static_cast<int>(FEditText.size());
    int s = std::min<int>(Start, len), e = std::min<int>(Stop, len);
    if (FKind == fkNumeric && e > s) s = 0, e = len;
    FSelStart = s;
    FSelEnd = e;
}

void TCtlBaseEntryField::Restore() {
    if (!FSavedText) return;
    FEditText = *FSavedText;
    ResetCaretPosition();
    SetSelection(0, 255);
    FModified = false;
    Invalidate();
    DoOnChange();
}

void TCtlBaseEntryField::DoRestore() {
    Restore();
    PositionCaret(true);
}

void TCtlBaseEntryField::IncrementValue(bool Wrap, double Delta) {
    if (HandleAllocated()) Perform(WM_SETREDRAW, 0, 0);
    IncreaseValue(Wrap, Delta);
    SetSelection(0, 0);
    if (HandleAllocated()) Perform(WM_SETREDRAW, 1, 0);
    Repaint();
}

void TCtlBaseEntryField::DecrementValue(bool Wrap, double Delta) {
    IncrementValue(Wrap, -Delta);
}

void TCtlBaseEntryField::MoveCaret(int Count) {
    if (!FHasFocus) return;
    TMessage m{};
    for (int i = 0; i < std::abs(Count); ++i) DoCommand(m, Count > 0 ? ccRight : ccLeft);
}

void TCtlBaseEntryField::DoOnChange() {
    if (!FSettingValue && OnChange) OnChange(this);
}

void TCtlBaseEntryField::DoOnError(uint16_t ErrorCode, const std::string& ErrorText) {
    if (OnError) {
        OnError(this, ErrorCode, ErrorText);
        return;
    }
    GetController()->DoOnError(this, ErrorCode, ErrorText);
}

void TCtlBaseEntryField::DoOnUserCommand(uint16_t Command) {
    if (OnUserCommand) OnUserCommand(this, Command);
}

void TCtlBaseEntryField::DoOnUserValidation(uint16_t& ErrorCode) {
    if (FNoUserValidation || !OnUserValidation) return;
    FInUserValidation = true;
    try {
        OnUserValidation(this, ErrorCode);
    } catch (...) {
        FInUserValidation = false;
        throw;
    }
    FInUserValidation = false;
}

void TCtlBaseEntryField::MoveToNextField() {
    if (TWinControl* f = CtlGetParentForm(this); f && f->HandleAllocated())
        PostMessage(f->Handle(), WM_NEXTDLGCTL, 0, 0);
}

void TCtlBaseEntryField::MoveToPreviousField() {
    if (TWinControl* f = CtlGetParentForm(this); f && f->HandleAllocated())
        PostMessage(f->Handle(), WM_NEXTDLGCTL, 1, 0);
}

void TCtlBaseEntryField::SetInitialValue() {
    if (Designing() || FDataType >= CtlDataTypeCount) return;
    TCtlEntryValue v;
    v.DataType = FDataType;
    v.Bytes.assign(GetDataSize(), 0);
    const bool zeroOutside = FRangeLo.AsInteger() > 0 || FRangeHi.AsInteger() < 0;
    switch (FDataType) {
        case dtChar: {
            const auto lo = static_cast<unsigned char>(FRangeLo.AsChar());
            const auto hi = static_cast<unsigned char>(FRangeHi.AsChar());
            v.Bytes[0] = (lo > ' ' || hi < ' ') ? lo : ' ';
            break;
        }
        case dtDate:
        case dtTime:
            v = RawValue(FDataType, int32_t{-1});
            break;
        case dtReal:
            if (FRangeLo.AsReal() > 0 || FRangeHi.AsReal() < 0) v = RawValue(dtReal, FRangeLo.AsReal());
            break;
        case dtExtended:
        case dtDouble:
        case dtSingle:
        case dtComp: {
            const long double lo = FRangeLo.AsExtended(), hi = FRangeHi.AsExtended();
            if (lo > 0 || hi < 0) {
                if (FDataType == dtExtended) v.Bytes.assign(FRangeLo.Bytes, FRangeLo.Bytes + 10);
                if (FDataType == dtDouble) v = RawValue(dtDouble, static_cast<double>(lo));
                if (FDataType == dtSingle) v = RawValue(dtSingle, static_cast<float>(lo));
                if (FDataType == dtComp) v = RawValue(dtComp, static_cast<int64_t>(std::llroundl(lo)));
            }
            break;
        }
        default:
            if (CtlIsIntegerType(FDataType) && zeroOutside)
                v = CtlIntegerValue(FDataType, FRangeLo.AsInteger());
    }
    TransferData(v, 2);
}

void TCtlBaseEntryField::Beep() {
    if (GetController()->EntryOptions & efoBeepOnError) platform::MessageBeep(0);
}

void TCtlBaseEntryField::SetInsertMode(bool Value) {
    FCaretPair->SetInsertMode(Value);
    if (FHasFocus) PositionCaret(false);
}

// ---- Caret and text ----

void TCtlBaseEntryField::MoveCaretToEnd() {
    FCaretPos = static_cast<int>(FEditText.size());
}

void TCtlBaseEntryField::MoveCaretToStart() {
    FCaretPos = 0;
    FFirstCol = 0;
}

bool TCtlBaseEntryField::IsEmpty() {
    return FEditText.find_first_not_of(' ') == std::string::npos;
}

void TCtlBaseEntryField::ResetCaretPosition() {
    if (FOptions & efoCaretToEnd)
        MoveCaretToEnd();
    else
        MoveCaretToStart();
}

void TCtlBaseEntryField::SetCaretPosition(int Pos) {
    if (!FHasFocus) return;
    FCaretPos = std::clamp(Pos, 0, static_cast<int>(FEditText.size()));
    PositionCaret(true);
}

int TCtlBaseEntryField::TextWidth(const std::string& S) {
    Canvas().Font.Assign(Font());
    return Canvas().TextWidth(S);
}

int TCtlBaseEntryField::LeftMargin() {
    return FTextMargin + (FBorders->LeftBorder().Enabled() ? FBorders->LeftBorder().PenWidth() : 0);
}

int TCtlBaseEntryField::RightMargin() {
    return FTextMargin + (FBorders->RightBorder().Enabled() ? FBorders->RightBorder().PenWidth() : 0);
}

bool TCtlBaseEntryField::TextRightAligned() {
    if (!(FOptions & efoRightAlign)) return false;
    FRightAlignActive = TextWidth(GetDisplayString()) < ClientWidth() - FTextMargin - 1;
    return FRightAlignActive;
}

bool TCtlBaseEntryField::PositionCaret(bool Adjust) {
    if (!FHasFocus || !HandleAllocated()) return false;
    const int oldFirst = FFirstCol;
    const int len = static_cast<int>(FEditText.size());
    FCaretPos = std::clamp(FCaretPos, 0, len);
    if (Adjust) {
        const int first = GetFirstEditPosition();
        if ((FCaretPos == first || FCaretPos == first + 1) && FFirstCol != 0)
            FFirstCol = 0;
        else if (FCaretPos < FFirstCol)
            FFirstCol = FCaretPos;
    }
    const std::string shown = GetDisplayString();
    const bool right = TextRightAligned();
    if (right) FFirstCol = 0;
    const auto measure = [&] {
        return right ? TextWidth(shown.substr(FCaretPos))
                     : TextWidth(shown.substr(FFirstCol, FCaretPos - FFirstCol));
    };
    int w = measure();
    while (w >= ClientWidth() - FTextMargin - 1 && Adjust && FKind != fkNumeric && FFirstCol < FCaretPos &&
           !right) {
        ++FFirstCol;
        w = measure();
    }
    Canvas().Font.Assign(Font());
    FCaretPair->SetCellHeight(Canvas().TextHeight("Xy"));
    const char under = FCaretPos < len ? shown[FCaretPos] : ' ';
    FCaretPair->SetCellWidth(std::max(1, TextWidth(std::string(1, under))));
    if (TCtlCaret* c = FCaretPair->Caret()) {
        const TCtlCaretShape s = c->Shape();
        if (s == csBlock || s == csHalfBlock || s == csHorzLine || c->CaretWidth() > 4) w += right ? -1 : 1;
    }
    int x;
    if (FKind == fkNumeric)
        x = ClientWidth() - RightMargin() - 1;
    else if (right)
        x = ClientWidth() - w - RightMargin() - 2;
    else
        x = LeftMargin() + w - 2;
    FCaretPair->SetPosition(Point(x, std::max(0, FTopMargin)));
    return FFirstCol != oldFirst;
}

int TCtlBaseEntryField::ColumnFromX(int X) {
    const std::string shown = GetDisplayString();
    const int len = static_cast<int>(shown.size());
    if (X < 0 && FFirstCol > 0) {
        const int avg = std::max(1, TextWidth("x"));
        FFirstCol = std::max(0, FFirstCol - (std::abs(X) + avg) / avg);
    }
    if (TextRightAligned()) {
        const int xr = ClientWidth() - RightMargin() - X - 1;
        int n = 1;
        for (; len - n >= 0; ++n) {
            const int wn = TextWidth(shown.substr(len - n));
            const int wc = TextWidth(shown.substr(len - n, 1));
            if (xr < wn - wc / 2) break;
        }
        return std::clamp(len - n + 1, 0, len);
    }
    const int xl = X + 1 - LeftMargin();
    const int s = FFirstCol;
    int n = 1;
    for (; s + n <= len; ++n) {
        const int wn = TextWidth(shown.substr(s, n));
        const int wc = TextWidth(shown.substr(s + n - 1, 1));
        if (xl < wn - wc / 2) break;
    }
    return std::max(0, s + n - 1);
}

// ---- Ranges ----

std::string TCtlBaseEntryField::FloatRangeText(long double Value) {
    const char dec = CtlIntlSup().DecimalChar;
    const auto scientific = [](long double V, int Width) {
        char buf[64];
        std::string best;
        for (int prec = 18; prec >= 0; --prec) {
            std::snprintf(buf, sizeof buf, "%.*Le", prec, V);
            std::string s = buf;
            CtlTrimEmbeddedZeros(s);
            CtlTrimSpaces(s);
            best = s;
            if (static_cast<int>(s.size()) <= Width) break;
        }
        return best;
    };
    std::string s;
    if (FPicture.find('E') != std::string::npos) {
        s = scientific(Value, FMaxLength);
    } else {
        int decimals = MaskDecimals(FPicture);
        if (decimals < 0) decimals = FDecimalPlaces;
        char buf[128];
        std::snprintf(buf, sizeof buf, "%.*Lf", decimals, Value);
        s = buf;
        if (s.find('.') != std::string::npos) {
            while (!s.empty() && s.back() == '0') s.pop_back();
            if (!s.empty() && s.back() == '.') s.pop_back();
        }
        if (static_cast<int>(s.size()) > FMaxLength) {
            int width = FMaxLength;
            if (decimals > 0 && decimals + 9 < width) width = decimals + 9;
            s = scientific(Value, width);
        }
    }
    std::replace(s.begin(), s.end(), '.', dec);
    return s;
}

std::string TCtlBaseEntryField::RangeToText(const TCtlRangeRec& Rec) {
    switch (FDataType) {
        case dtReal:
            return FloatRangeText(Rec.AsReal());
        case dtExtended:
        case dtDouble:
        case dtSingle:
        case dtComp:
            return FloatRangeText(Rec.AsExtended());
        case dtDate:
            if (Rec.AsInteger() == -1) return {};
            return CtlIntlSup().DateToDateString(CtlIntlSup().InternationalDate(true), Rec.AsInteger(),
                                                 false);
        case dtTime:
            if (Rec.AsInteger() == -1) return {};
            return CtlIntlSup().TimeToTimeString(CtlIntlSup().InternationalTime(false), Rec.AsInteger(),
                                                 false);
        default:
            return CtlRangeToText(FDataType, Rec, FPicture);
    }
}

bool TCtlBaseEntryField::TextToRangeRec(const std::string& Text, TCtlRangeRec& Rec) {
    Rec = TCtlRangeRec{};
    const auto readFloat = [](std::string S, long double& V) {
        CtlTrimSpaces(S);
        if (S.empty()) {
            V = 0;
            return true;
        }
        std::replace(S.begin(), S.end(), CtlIntlSup().DecimalChar, '.');
        char* end = nullptr;
        V = std::strtold(S.c_str(), &end);
        return end && *end == '\0' && std::isfinite(V);
    };
    long double v = 0;
    switch (FDataType) {
        case dtReal:
            if (!readFloat(Text, v) || std::fabs(v) > 1.7e308L) return false;
            Rec.SetReal(static_cast<double>(v));
            return true;
        case dtExtended:
        case dtDouble:
        case dtSingle:
        case dtComp: {
            if (!readFloat(Text, v)) return false;
            const long double limit = FDataType == dtDouble   ? 1.7e308L
                                      : FDataType == dtSingle ? 3.4e38L
                                      : FDataType == dtComp   ? 9.2e18L
                                                              : 1.1e4932L;
            if (std::fabs(v) > limit) return false;
            Rec.SetExtended(v);
            return true;
        }
        case dtDate:
        case dtTime: {
            std::string pic = FDataType == dtDate ? CtlIntlSup().InternationalDate(true)
                                                  : CtlIntlSup().InternationalTime(false);
            if (pic.size() > 40) pic.resize(40);
            if (Text.size() != pic.size()) return false;
            const int32_t n = FDataType == dtDate ? CtlIntlSup().DateStringToDate(pic, Text, GetEpoch())
                                                  : CtlIntlSup().TimeStringToTime(pic, Text);
            if (n == -1) return false;
            Rec.SetInteger(n);
            return true;
        }
        default:
            return CtlTextToRange(FDataType, Text, FPicture, Rec);
    }
}

void TCtlBaseEntryField::SetRange(TCtlRangeRec& Rec, const std::string& Text) {
    TCtlRangeRec r;
    if (!TextToRangeRec(Text, r)) {
        if (Loading()) return;
        throw EInvalidRangeValue(FDataType);
    }
    Rec = r;
    if (Loading()) return;
    if (ValidateContents(true) != 0) {
        TWinControl* p = Parent();
        if (p && p->Visible() && p->Enabled() && CanFocus()) SetFocus();
    }
}

void TCtlBaseEntryField::DefineProperties(TFiler* Filer) {
    TCtlCustomControlEx::DefineProperties(Filer);
    const bool stored = FDataType < CtlDataTypeCount && CtlStoresRange(FDataType);
    const auto define = [&](const char* Name, TCtlRangeRec& Rec) {
        Filer->DefineBinaryProperty(
            Name,
            [&Rec](TStream* S) {
                TCtlRangeRec r;
                S->ReadBuffer(r.Bytes, 10);
                Rec = r;
            },
            [&Rec](TStream* S) { S->WriteBuffer(Rec.Bytes, 10); }, stored);
    };
    define("RangeHigh", FRangeHi);
    define("RangeLow", FRangeLo);
}

void TCtlBaseEntryField::Loaded() {
    TCtlCustomControlEx::Loaded();
    ReconcileOptions();
}

// ---- Validation ----

uint16_t TCtlBaseEntryField::RequiredOrCheck() {
    if ((FOptions & efoInputRequired) && !GetReadOnly() && (IsEmpty() || (FUninitialized && !WasModified())))
        return epRequired;
    FValidating = true;
    uint16_t code = 0;
    try {
        code = CheckValue();
    } catch (...) {
        FValidating = false;
        throw;
    }
    FValidating = false;
    return code;
}

bool TCtlBaseEntryField::ValidateOnExit(bool AllowSoft) {
    if (!Visible() || !Enabled()) return true;
    HandleNeeded();
    FLastError = 0;
    const uint16_t code = RequiredOrCheck();
    FLastError = code;
    if (FCaretPos > static_cast<int>(FEditText.size())) MoveCaretToEnd();
    if (code == 0) {
        FSoftError = false;
        return true;
    }
    if (AllowSoft && (FOptions & efoSoftValidation)) {
        FSoftError = true;
        return true;
    }
    if (FOptions & efoSoftValidation) FSoftError = true;
    FExitError = true;
    // Leaving through the focus change now under way: keep the caret and the scroll position as
    // they are, and do not start a new edit when the focus comes back.
    if (FHasFocus) FFocusLeftForm = true;
    TCtlController* c = GetController();
    PostMessage(c->Handle(), OM_SETFOCUS, 0, reinterpret_cast<LPARAM>(static_cast<TWinControl*>(this)));
    if (!c->ErrorPending) PostMessage(Handle(), OM_REPORTERROR, code, 0);
    c->ErrorPending = true;
    return false;
}

uint16_t TCtlBaseEntryField::ValidateContents(bool ReportError) {
    if (!Visible() || !Enabled()) return 0;
    if (TWinControl* p = Parent(); p && (!p->Visible() || !p->Enabled())) return 0;
    FLastError = 0;
    const bool wasSoft = FSoftError;
    const uint16_t code = RequiredOrCheck();
    FLastError = code;
    if (ReportError && code != 0 && HandleAllocated()) PostMessage(Handle(), OM_REPORTERROR, code, 0);
    if (code == 0)
        FSoftError = false;
    else if (FOptions & efoSoftValidation)
        FSoftError = true;
    if (wasSoft != FSoftError) Invalidate();
    return code;
}

bool TCtlBaseEntryField::IsValid() {
    return ValidateContents((FOptions & efoSoftValidation) == 0) == 0;
}

void TCtlBaseEntryField::ReportError(uint16_t Code) {
    if (Code == 0) return;
    TCtlController* c = GetController();
    std::string text;
    if (Code >= epRangeError && Code <= epPartialEntry)
        text = CtlGetMessage(SCtlRangeError + (Code - epRangeError));
    else if (Code >= 32768)
        text = c->ErrorText;
    else
        text = CtlGetMessage(SCtlEntryError);
    if (text != c->ErrorText) c->ErrorText = text;
    DoOnError(Code, text);
}

// ---- Clipboard and selection ----

void TCtlBaseEntryField::CopyToClipboard() {
    if (HandleAllocated()) Perform(WM_COPY, 0, 0);
}

void TCtlBaseEntryField::CutToClipboard() {
    PerformCut();
}

void TCtlBaseEntryField::PasteFromClipboard() {
    PerformPaste();
}

void TCtlBaseEntryField::PerformCut() {
    if (HandleAllocated()) Perform(WM_CUT, 0, 0);
}

void TCtlBaseEntryField::PerformPaste() {
    if (HandleAllocated()) Perform(WM_PASTE, 0, 0);
}

void TCtlBaseEntryField::ClearSelection() {
    if (HandleAllocated()) Perform(WM_CLEAR, 0, 0);
}

void TCtlBaseEntryField::SelectAll() {
    if (HandleAllocated()) Perform(EM_SETSEL, 1, static_cast<LPARAM>(0xFFFF0000u));
}

// ---- Height and window ----

void TCtlBaseEntryField::AdjustHeight() {
    if (!FAutoSize) return;
    int h0 = 0, h = 0;
    CtlFontHeights(Font(), h0, h);
    const int extra = GetSystemMetrics(SM_CYBORDER) * (Ctl3D() ? 8 : 6);
    FAdjustingHeight = true;
    SetBounds(Left(), Top(), Width(), h + extra);
    FAdjustingHeight = false;
}

void TCtlBaseEntryField::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const bool heightChanged = AHeight != Height();
    if (heightChanged && !FAdjustingHeight && !Loading() && HandleAllocated()) FAutoSize = false;
    TCtlCustomControlEx::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (heightChanged && !Loading() && HandleAllocated()) {
        ComputeTopMargin();
        if (FHasFocus) PositionCaret(false);
        Invalidate();
    }
}

void TCtlBaseEntryField::ComputeTopMargin() {
    FTopMargin = CtlTextTopOffset(Font(), FBorderStyle == bsSingle, Height(), Ctl3D());
    if (FBorders->TopBorder().Enabled()) FTopMargin += FBorders->TopBorder().PenWidth();
}

void TCtlBaseEntryField::ResetStateFlags() {
    FHasFocus = false;
    FModified = false;
    FEditedSinceSet = false;
    FSoftError = false;
    FFocusReturns = false;
    FFocusLeftForm = false;
    FExitError = false;
    FEnteredByMouse = false;
    FValidating = false;
    FGettingValue = false;
    FSettingValue = false;
    FInUserValidation = false;
    FNoUserValidation = false;
    FCtrlCharMode = false;
    FTypedChar = false;
    FPassingBack = false;
    FAcceptChar = true;
    FCaretPair->SetInsertMode(true);
}

void TCtlBaseEntryField::CreateParams(TCreateParams& Params) {
    TCtlCustomControlEx::CreateParams(Params);
    if (FBorderStyle == bsSingle) {
        if (Ctl3D()) {
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        } else {
            Params.Style |= WS_BORDER;
        }
    }
    if (FMaxLength == 0) FMaxLength = static_cast<uint16_t>(FPicture.size());
    ResetStateFlags();
}

void TCtlBaseEntryField::CreateWnd() {
    TCtlCustomControlEx::CreateWnd();
    FFirstCol = FCaretPos = FSelStart = FSelEnd = 0;
    FDataSize = -1;
    if (FDataType < CtlDataTypeCount) GetDataSize();
    if ((FOptions & efoInputRequired) && FDataType >= dtChar && FDataType <= dtComp) FUninitialized = true;
    ReconcileOptions();
    if (!Loading()) AdjustHeight();
    ComputeTopMargin();
    FRightAlignActive = (FOptions & efoRightAlign) != 0;
}

// ---- Messages ----

void TCtlBaseEntryField::DoCommand(TMessage& Msg, uint16_t Command) {
    HandleNeeded();
    if (!HandleAllocated()) return;
    if (Command == ccChar && static_cast<char>(Msg.WParam) == '\0') return;
    if (GetReadOnly()) {
        switch (Command) {
            case ccBack:
            case ccCtrlChar:
            case ccCut:
            case ccDec:
            case ccDel:
            case ccDelBol:
            case ccDelEol:
            case ccDelLine:
            case ccDelWord:
            case ccInc:
            case ccPaste:
            case ccRestore:
            case ccChar:
                Beep();
                return;
            default:
                break;
        }
    }
    if (Command >= ccUserFirst) {
        DoOnUserCommand(Command);
        Command = ccSequenceBroken;
    }
    EditCommand(Msg, Command);
}

void TCtlBaseEntryField::HandleKeyDown(TMessage& Message) {
    TCtlCustomControlEx::Dispatch(Message);
    const uint16_t key = Message.WParamLo();
    if (key == 0 || key == VK_SHIFT) return;
    uint16_t cmd = GetController()->EntryCommands().Translate(Message);
    if (cmd == ccUndo) cmd = ccRestore;
    switch (cmd) {
        case ccNone:
            return;
        case ccIns:
            if (FOptions & (efoForceInsert | efoForceOvertype)) return;
            break;
        case ccCopy:
            Perform(WM_COPY, 0, 0);
            return;
        case ccCut:
            Perform(WM_CUT, 0, 0);
            return;
        case ccPaste:
            Perform(WM_PASTE, 0, 0);
            return;
        default:
            break;
    }
    DoCommand(Message, cmd);
}

void TCtlBaseEntryField::HandleSetFocus(TMessage& Message) {
    if (Loading() || Designing()) {
        TCtlCustomControlEx::Dispatch(Message);
        return;
    }
    TCtlController* c = GetController();
    FHasFocus = true;
    c->EntryCommands().ResetCommandProcessor();
    if (FFocusReturns) {
        if (TWinControl* losing = FindControl(static_cast<HWND>(Message.WParam)); losing && losing != this) {
            losing->Perform(WM_CANCELMODE, 0, 0);
            TPoint p{};
            GetCursorPos(&p);
            p = losing->ScreenToClient(p);
            losing->Perform(WM_LBUTTONUP, 0, MakeLParam(p.X, p.Y));
        }
    }
    if (!(FOptions & (efoForceInsert | efoForceOvertype))) FCaretPair->SetInsertMode(c->InsertMode);
    bool passing = false;
    bool reset = false;
    if (!FFocusLeftForm) {
        passing = c->ErrorPending && !FExitError;
        if (!passing) {
            if (!FFocusReturns) FModified = false;
            c->DoOnPreEdit(this, FindControl(static_cast<HWND>(Message.WParam)));
            FSavedText = FEditText;
        }
        if (!FEnteredByMouse) {
            ResetCaretPosition();
            reset = true;
        }
    }
    FPassingBack = passing && !(FOptions & efoSoftValidation);
    FExitError = FFocusLeftForm = FEnteredByMouse = FFocusReturns = false;
    if (!passing) c->ErrorPending = false;
    TCtlCustomControlEx::Dispatch(Message);
    if (FOptions & efoForceInsert) FCaretPair->SetInsertMode(true);
    if (FOptions & efoForceOvertype) FCaretPair->SetInsertMode(false);
    FCaretPair->SetLinked(true);
    PositionCaret(reset);
    FCaretPair->SetVisible(true);
    if (reset && !passing && (c->EntryOptions & efoAutoSelect)) SetSelection(0, 255);
    Repaint();
}

void TCtlBaseEntryField::HandleKillFocus(TMessage& Message) {
    TCtlController* c = GetController();
    TWinControl* receiving = FindControl(static_cast<HWND>(Message.WParam));
    if (receiving == this) receiving = nullptr;
    if (receiving) {
        TWinControl* mine = CtlGetParentForm(this);
        TWinControl* theirs = CtlGetParentForm(receiving);
        if (!mine || mine != theirs) receiving = nullptr;
    }
    if (!receiving) FFocusLeftForm = true;
    FCaretPair->SetVisible(false);
    FCaretPair->SetLinked(false);
    if (MouseCapture()) SetMouseCapture(false);
    TCtlCustomControlEx::Dispatch(Message);
    if (!(FOptions & (efoForceInsert | efoForceOvertype))) c->InsertMode = FCaretPair->InsertMode();
    bool postEditNoted = false;
    if (FExitError || FPassingBack) {
        FFocusReturns = FExitError;
        postEditNoted = FPassingBack;
    } else {
        FFocusReturns = true;
        if (receiving) {
            if (FModified) FUninitialized = false;
            if (c->DoIsSpecialControl(receiving->Handle())) {
                const bool modified = FModified;
                FValidating = true;
                try {
                    CheckValue();
                } catch (...) {
                    FValidating = false;
                    throw;
                }
                FValidating = false;
                FModified = modified;
            } else {
                ValidateOnExit(true);
                FFocusReturns = FExitError;
            }
        }
    }
    FHasFocus = false;
    if (receiving && !FFocusLeftForm && !postEditNoted && !FExitError) c->DoOnPostEdit(this, receiving);
    FPassingBack = false;
    if (!FFocusLeftForm) MoveCaretToStart();
    Repaint();
}

void TCtlBaseEntryField::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN:
            HandleKeyDown(Message);
            return;
        case WM_SYSKEYDOWN: {
            TCtlCustomControlEx::Dispatch(Message);
            const uint16_t key = Message.WParamLo();
            if (key == VK_TAB || key == VK_MENU || key == 0) return;
            uint16_t cmd = GetController()->EntryCommands().Translate(Message);
            if (cmd == ccUndo) cmd = ccRestore;
            if (cmd != ccNone) DoCommand(Message, cmd);
            if (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9) FAcceptChar = true;
            return;
        }
        case WM_CHAR:
            TCtlCustomControlEx::Dispatch(Message);
            if (FAcceptChar) DoCommand(Message, ccChar);
            return;
        case WM_SETFOCUS:
            HandleSetFocus(Message);
            return;
        case WM_KILLFOCUS:
            HandleKillFocus(Message);
            return;
        case WM_LBUTTONDOWN:
            TCtlCustomControlEx::Dispatch(Message);
            if (!FHasFocus && CanFocus()) {
                FEnteredByMouse = true;
                FSelStart = FSelEnd = 0;
                SetFocus();
            }
            if (FHasFocus) DoCommand(Message, ccMouse);
            return;
        case WM_LBUTTONDBLCLK:
            if (FHasFocus) DoCommand(Message, ccDblClk);
            TCtlCustomControlEx::Dispatch(Message);
            return;
        case WM_MOUSEMOVE:
            TCtlCustomControlEx::Dispatch(Message);
            if (MouseCapture() && GetKeyState(CtlPrimaryButtonKey()) < 0) DoCommand(Message, ccMouseMove);
            return;
        case WM_RBUTTONUP:
            if (!FHasFocus && CanFocus()) SetFocus();
            if (PopupMenu()) {
                TCtlCustomControlEx::Dispatch(Message);
                return;
            }
            ShowMenu(GetXLParam(Message.LParam), GetYLParam(Message.LParam));
            return;
        case WM_CUT:
            Perform(WM_COPY, 0, 0);
            DoCommand(Message, ccCut);
            return;
        case WM_COPY: {
            if (FSelEnd <= FSelStart) return;
            std::string shown = GetDisplayString();
            shown.resize(std::max(shown.size(), FEditText.size()), ' ');
            std::string text = shown.substr(FSelStart, FSelEnd - FSelStart);
            for (int i = FSelStart; i < FSelEnd && i < static_cast<int>(FEditText.size()); ++i)
                if (IsControlChar(FEditText[i])) text[i - FSelStart] = FEditText[i];
            Clipboard()->SetAsText(text);
            return;
        }
        case WM_PASTE: {
            if (!Clipboard()->HasFormat(CF_TEXT)) return;
            const std::string text = Clipboard()->AsText();
            TMessage m{Message.Msg, 0, reinterpret_cast<LPARAM>(text.c_str()), 0};
            DoCommand(m, ccPaste);
            return;
        }
        case WM_CLEAR:
            DoCommand(Message, ccCut);
            return;
        case WM_SETTEXT:
            if (HandleAllocated()) {
                SetSelection(0, 255);
                DoCommand(Message, ccPaste);
            }
            return;
        case WM_GETDLGCODE:
            if (Designing()) {
                Message.Result = DLGC_STATIC;
                return;
            }
            TCtlCustomControlEx::Dispatch(Message);
            Message.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
            return;
        case WM_ERASEBKGND:
            Message.Result = 1;
            return;
        case WM_SIZE:
            TCtlCustomControlEx::Dispatch(Message);
            Repaint();
            return;
        case EM_GETSEL:
            if (Message.WParam) *reinterpret_cast<int*>(Message.WParam) = FSelStart;
            if (Message.LParam) *reinterpret_cast<int*>(Message.LParam) = FSelEnd;
            Message.Result = MakeLParam(FSelStart, FSelEnd);
            return;
        case EM_SETSEL: {
            const uint16_t start = static_cast<uint16_t>(Message.LParam & 0xFFFF);
            const uint16_t stop = static_cast<uint16_t>((Message.LParam >> 16) & 0xFFFF);
            if (start == 0xFFFF)
                FSelStart = FSelEnd = 0;
            else if (start == 0 && stop == 0xFFFF)
                SetSelection(0, 255);
            else if (stop >= start)
                SetSelection(start, stop);
            Invalidate();
            return;
        }
        case EM_GETMODIFY:
            Message.Result = FModified ? 1 : 0;
            return;
        case EM_SETMODIFY:
            if (Message.WParam > 0)
                FModified = FEditedSinceSet = true;
            else
                FModified = false;
            return;
        case CM_DIALOGCHAR:
            if (Message.WParamLo() == VK_BACK && (GetKeyState(VK_MENU) < 0)) {
                Message.Result = 1;
                return;
            }
            TCtlCustomControlEx::Dispatch(Message);
            return;
        case CM_ENABLEDCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            Invalidate();
            return;
        case CM_CTL3DCHANGED:
            if (HandleAllocated() && FBorderStyle == bsSingle) {
                RecreateWnd();
                if (!Loading()) AdjustHeight();
            }
            ComputeTopMargin();
            TCtlCustomControlEx::Dispatch(Message);
            return;
        case CM_FONTCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (!Loading() && HandleAllocated()) {
                AdjustHeight();
                ComputeTopMargin();
                if (FHasFocus) PositionCaret(false);
            }
            return;
        case OM_REPORTERROR:
            ReportError(static_cast<uint16_t>(Message.WParam));
            return;
        case OM_GETDATASIZE:
            Message.Result = GetDataSize();
            return;
        default:
            TCtlCustomControlEx::Dispatch(Message);
    }
}

// ---- Menu ----

void TCtlBaseEntryField::ShowMenu(int X, int Y) {
    const bool sel = FSelEnd > FSelStart;
    const bool ro = GetReadOnly();
    FMenu = std::make_unique<TPopupMenu>(nullptr);
    const auto add = [this](uint32_t Msg, bool Enabled, std::function<void()> Act) {
        TMenuItem* item = Msg ? NewItem(FMenu.get(), CtlGetMessage(Msg), 0, [Act](TObject*) { Act(); })
                              : NewLine(FMenu.get());
        item->Enabled = Enabled;
        FMenu->Items()->Add(item);
    };
    add(SCtlMenuRestore, FModified, [this] { DoRestore(); });
    add(0, true, nullptr);
    add(SCtlMenuRestore + 1, sel && !ro, [this] { CutToClipboard(); });
    add(SCtlMenuRestore + 2, sel, [this] { CopyToClipboard(); });
    add(SCtlMenuRestore + 3, !ro && Clipboard()->HasFormat(CF_TEXT), [this] { PasteFromClipboard(); });
    add(SCtlMenuRestore + 4, sel && !ro, [this] { ClearSelection(); });
    add(0, true, nullptr);
    add(SCtlMenuRestore + 5, GetSelLength() < static_cast<int>(FEditText.size()), [this] { SelectAll(); });
    const TPoint p = ClientToScreen(Point(X, Y));
    FMenu->PopupComponent = this;
    FMenu->Popup(p.X, p.Y);
    Application->ProcessMessages();
    FMenu.reset();
}

// ---- Painting ----

std::string TCtlBaseEntryField::GetDisplayString() {
    std::string s = FEditText;
    for (char& c : s)
        if (IsControlChar(c)) c = static_cast<char>(c + 64);
    if (FDataType >= dtLongInt && FDataType <= dtComp && !FHasFocus &&
        (FZeroDisplay == zdHide || (FZeroDisplay == zdHideUntilModified && !WasModified()))) {
        std::string t = FEditText;
        CtlTrimSpaces(t);
        std::replace(t.begin(), t.end(), CtlIntlSup().DecimalChar, '.');
        char* end = nullptr;
        const double v = t.empty() ? 0 : std::strtod(t.c_str(), &end);
        if (!t.empty() && end && *end == '\0' && v == FZeroDisplayValue) s.assign(s.size(), ' ');
    }
    return s;
}

std::string TCtlBaseEntryField::GetDesignTimeString() {
    if (FKind == fkSimple) return std::string(FMaxLength, FPicture.empty() ? 'X' : FPicture[0]);
    return FPicture.substr(0, FMaxLength);
}

void TCtlBaseEntryField::DrawText(TCanvas& C) {
    const TRect client = ClientRect();
    C.Font.Assign(Font());
    TColor back = Color(), text = Font().Color;
    const bool designing = Designing();
    std::string s = designing ? GetDesignTimeString() : GetDisplayString();
    const std::string raw = designing ? s : FEditText;
    const int f = designing ? 0 : std::min<int>(FFirstCol, static_cast<int>(s.size()));
    s = s.substr(f);
    int selA = 0, selB = 0;
    if (FHasFocus && !designing) {
        selA = std::max(FSelStart - f, 0);
        selB = FSelEnd - f;
        if (selB <= selA) selA = selB = 0;
    }
    if (FSoftError) {
        text = FEFColors->Error().TextColor();
        back = FEFColors->Error().BackColor();
    }
    if (!Enabled()) {
        text = FEFColors->Disabled().TextColor();
        back = FEFColors->Disabled().BackColor();
        selA = selB = 0;
    }
    C.Brush.Color = back;
    C.FillRect(client);
    const int y = FTopMargin;
    if (FKind == fkNumeric) {
        std::string t = s;
        CtlTrimSpaces(t);
        const bool hl = selB > selA;
        C.Brush.Color = hl ? FEFColors->Highlight().BackColor() : back;
        C.Font.Color = hl ? FEFColors->Highlight().TextColor() : text;
        const int x = client.Width() - RightMargin() - 1 - C.TextWidth(t);
        C.TextRect(client, x, y, t);
        return;
    }
    int x;
    if (FOptions & efoRightAlign) {
        const int w = C.TextWidth(s);
        x = w < client.Width() - RightMargin() - 1 ? client.Width() - w - RightMargin() - 1
                                                   : RightMargin() - 1;
    } else {
        x = LeftMargin() - 1;
    }
    const int n = static_cast<int>(s.size());
    int i = 0;
    while (i < n) {
        const bool ctrl = f + i < static_cast<int>(raw.size()) && IsControlChar(raw[f + i]);
        int j = i;
        while (j < n && (f + j < static_cast<int>(raw.size()) && IsControlChar(raw[f + j])) == ctrl) ++j;
        // The run [i, j) in pieces: before, inside and after the selection.
        const int cuts[4] = {i, std::clamp(selA, i, j), std::clamp(selB, i, j), j};
        for (int k = 0; k < 3; ++k) {
            if (cuts[k + 1] <= cuts[k]) continue;
            const std::string piece = s.substr(cuts[k], cuts[k + 1] - cuts[k]);
            const bool inSel = k == 1;
            C.Brush.Color = inSel ? FEFColors->Highlight().BackColor() : back;
            C.Font.Color = inSel ? FEFColors->Highlight().TextColor() : (ctrl ? ControlCharColor : text);
            const int w = C.TextWidth(piece);
            C.TextRect(
                Rect(std::max(x, client.Left), client.Top, std::min(x + w, client.Right), client.Bottom), x,
                y, piece);
            x += w;
        }
        i = j;
    }
}

void TCtlBaseEntryField::Paint() {
    const TRect client = ClientRect();
    TBitmap bmp;
    bmp.SetSize(std::max(1, client.Width()), std::max(1, client.Height()));
    DrawText(bmp.Canvas());
    Canvas().CopyMode = SRCCOPY;
    Canvas().CopyRect(client, bmp.Canvas(), client);
    CtlDrawBorders(Canvas(), *FBorders, Width(), Height());
}

}  // namespace entry
