#include "controls/entry/CtlPictureField.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlParameterInvalid = 30188;
constexpr uint32_t SCtlInvalidDateForMask = 30227;

uint8_t CodeOf(TPictureDataType T) {
    static constexpr uint8_t codes[] = {dtString,   dtChar, dtBoolean,  dtYesNo, dtLongInt,  dtWord,
                                        dtSmallInt, dtByte, dtShortInt, dtReal,  dtExtended, dtDouble,
                                        dtSingle,   dtComp, dtDate,     dtTime,  dtDouble};
    return codes[T];
}

bool ForceCentury() {
    return ShortDateFormat.find("yyyy") != std::string::npos;
}

bool IsControlChar(char Ch) {
    const auto c = static_cast<unsigned char>(Ch);
    return c >= 1 && c <= 31;
}

int32_t Int32Of(const TCtlEntryValue& V) {
    int32_t r = 0;
    if (V.Bytes.size() >= 4) std::memcpy(&r, V.Bytes.data(), 4);
    return r;
}

TCtlEntryValue Int32Value(uint8_t DataType, int32_t Value) {
    TCtlEntryValue v;
    v.DataType = DataType;
    v.Bytes.resize(4);
    std::memcpy(v.Bytes.data(), &Value, 4);
    return v;
}

}  // namespace

TCtlCustomPictureField::TCtlCustomPictureField(TComponent* AOwner) : TCtlPictureBase(AOwner) {
    SetDataTypeAndKind(dtString, fkPicture);
    TCtlBaseEntryField::SetPictureMask("XXXXXXXXXXXXXXX");
    StoreMaxLength(15);
    InitPictureFlags();
}

// ---- Properties ----

bool TCtlCustomPictureField::CharLike() const {
    return FPictureType == pftChar || FPictureType == pftBoolean || FPictureType == pftYesNo;
}

bool TCtlCustomPictureField::NumberType() const {
    return FPictureType >= pftLongInt && FPictureType <= pftComp;
}

std::string TCtlCustomPictureField::DateMask() const {
    if (FPictureType == pftDateTime) {
        const std::string& m = PictureMask();
        const auto blank = m.find(' ');
        return blank == std::string::npos ? m : m.substr(0, blank);
    }
    return PictureMask();
}

std::string TCtlCustomPictureField::TimeMask() const {
    if (FPictureType == pftDateTime) {
        const std::string& m = PictureMask();
        const auto blank = m.find(' ');
        return blank == std::string::npos ? std::string() : m.substr(blank + 1);
    }
    return PictureMask();
}

void TCtlCustomPictureField::SetDataType(TPictureDataType Value) {
    if (Value > pftDateTime) throw ECtlException(CtlGetMessage(SCtlParameterInvalid));
    if (Value == FPictureType) return;
    FPictureType = Value;
    FCreatedOnce = false;
    WhileAssigning([&] {
        SetDataTypeAndKind(CodeOf(Value), fkPicture);
        SetOptions(Options() | efoCaretToEnd);
        SetDefaultRange();
        std::string mask;
        switch (Value) {
            case pftString:
                mask = "XXXXXXXXXXXXXXX";
                break;
            case pftChar:
                mask = "X";
                break;
            case pftBoolean:
                mask = "B";
                break;
            case pftYesNo:
                mask = "Y";
                break;
            case pftLongInt:
                mask = "iiiiiiiiiii";
                break;
            case pftWord:
                mask = "99999";
                break;
            case pftInteger:
                mask = "iiiiii";
                break;
            case pftByte:
                mask = "999";
                break;
            case pftShortInt:
                mask = "iiii";
                break;
            case pftComp:
                mask = "iiiiiiiiii";
                break;
            case pftDate:
                mask = CtlIntlSup().InternationalDate(ForceCentury());
                break;
            case pftTime:
                mask = CtlIntlSup().InternationalTime(false);
                break;
            case pftDateTime:
                mask = CtlIntlSup().InternationalDate(ForceCentury()) + " " +
                       CtlIntlSup().InternationalTime(false);
                break;
            default:
                mask = "##########";
        }
        TCtlBaseEntryField::SetPictureMask(mask);
        StoreMaxLength(static_cast<uint16_t>(PictureMask().size()));
        StoreDecimalPlaces(0);
        FEditText.clear();
        InitPictureFlags();
    });
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomPictureField::SetPictureMask(const std::string& Mask) {
    if (Mask.empty() || Mask == PictureMask()) return;
    if (Designing() && Mask.find('.') != std::string::npos &&
        !(FPictureType >= pftReal && FPictureType <= pftSingle))
        throw EInvalidPictureMask(Mask);
    AssignPicture(Mask);
    if (!Loading()) StoreMaxLength(static_cast<uint16_t>(PictureMask().size()));
    const std::string kept = StripPicture(FEditText);
    InitPictureFlags();
    FEditText = MergeWithPicture(kept);
    GetDataSize();
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomPictureField::SetInitDateTime(bool Value) {
    FInitDateTime = Value;
    if (Loading()) return;
    if (Value) {
        if (FPictureType == pftDate) SetAsDate(CtlCurrentDate());
        if (FPictureType == pftTime) SetAsTime(CtlCurrentTime());
        if (FPictureType == pftDateTime) {
            HandleNeeded();
            SetDateTimeText(CtlDateToDateTime(CtlCurrentDate()) + CtlTimeToDateTime(CtlCurrentTime()));
            Invalidate();
        }
    } else if (FPictureType == pftDate || FPictureType == pftTime) {
        SetValue(Int32Value(DataType(), -1));
    }
}

void TCtlCustomPictureField::Assign(TPersistent* Source) {
    auto* s = dynamic_cast<TCtlCustomPictureField*>(Source);
    if (!s) {
        TCtlPictureBase::Assign(Source);
        return;
    }
    SetDataType(s->FPictureType);
    AssignLook(*s);
    ControlCharColor = s->ControlCharColor;
    SetDecimalPlaces(s->DecimalPlaces());
    SetEpoch(s->GetEpoch());
    SetInitDateTime(s->FInitDateTime);
    SetMaxLength(s->MaxLength());
    SetOptions(s->Options());
    SetPadChar(s->PadChar());
    SetPasswordChar(s->PasswordChar());
    SetPictureMask(s->PictureMask());
    AssignRangeAndDisplay(*s);
}

void TCtlCustomPictureField::SetAsString(const std::string& Value) {
    if (FPictureType != pftDate && FPictureType != pftTime) {
        TCtlPictureBase::SetAsString(Value);
        return;
    }
    if (FInUserValidation) return;
    int32_t v = -1;
    if (Value.size() == PictureMask().size())
        v = FPictureType == pftDate ? CtlIntlSup().DateStringToDate(PictureMask(), Value, GetEpoch())
                                    : CtlIntlSup().TimeStringToTime(PictureMask(), Value);
    SetValue(Int32Value(DataType(), v));
}

void TCtlCustomPictureField::SetAsDateTime(TDateTime Value) {
    if (FPictureType != pftDateTime) {
        TCtlPictureBase::SetAsDateTime(Value);
        return;
    }
    HandleNeeded();
    double old = 0;
    uint16_t error = 0;
    const double time = DateTimeOfText(old, error) ? old - std::floor(old) : 0;
    SetDateTimeText(std::floor(static_cast<double>(Value)) + time);
    FModified = FEditedSinceSet = false;
    Invalidate();
}

// ---- Window ----

void TCtlCustomPictureField::CreateWnd() {
    std::optional<TCtlEntryValue> saved = ValueToCarry(FCreatedOnce);
    TCtlPictureBase::CreateWnd();
    InitPictureFlags();
    if (FRangeLo == FRangeHi) SetDefaultRange();
    SetInitialValue();
    if (!FCreatedOnce && FInitDateTime) {
        if (FPictureType == pftDate) SetDateText(CtlCurrentDate());
        if (FPictureType == pftTime) SetTimeText(CtlCurrentTime());
        if (FPictureType == pftDateTime)
            SetDateTimeText(CtlDateToDateTime(CtlCurrentDate()) + CtlTimeToDateTime(CtlCurrentTime()));
    }
    if (saved) TransferData(*saved, 2);
    FCreatedOnce = true;
}

// ---- Transfer ----

void TCtlCustomPictureField::SetDateText(int32_t Day) {
    std::string s = CtlIntlSup().DateToDateString(DateMask(), Day, false);
    s.resize(MaxLength(), ' ');
    for (size_t i = 0; i < s.size(); ++i)
        if (const char sub = CtlUserData().GetSubstChar(MaskCharAt(static_cast<int>(i))); sub != '\0')
            s[i] = sub;
    FEditText = s;
    FPrepared = false;
}

void TCtlCustomPictureField::SetTimeText(int32_t Seconds) {
    std::string s = CtlIntlSup().TimeToTimeString(TimeMask(), Seconds, false);
    s.resize(MaxLength(), ' ');
    FEditText = s;
    FPrepared = false;
}

void TCtlCustomPictureField::SetDateTimeText(double Value) {
    const int32_t day = Value < 0 ? CtlBadDate : CtlDateTimeToDate(Value);
    const int32_t time = Value < 0 ? CtlBadTime : CtlDateTimeToTime(Value);
    std::string s = CtlIntlSup().DateToDateString(DateMask(), day, false) + " " +
                    CtlIntlSup().TimeToTimeString(TimeMask(), time, false);
    s.resize(MaxLength(), ' ');
    FEditText = s;
    FPrepared = false;
}

bool TCtlCustomPictureField::DateTimeOfText(double& Value, uint16_t& Error) const {
    const std::string dm = DateMask(), tm = TimeMask();
    const std::string text = FEditText;
    const std::string d = text.substr(0, dm.size());
    const std::string t = text.size() > dm.size() + 1 ? text.substr(dm.size() + 1) : std::string();
    Value = 0;
    Error = 0;
    if (CtlIntlSup().DateStringIsBlank(dm, d)) return false;
    const int32_t day =
        CtlIntlSup().DateStringToDate(dm, d, const_cast<TCtlCustomPictureField*>(this)->GetEpoch());
    if (day == CtlBadDate) {
        Error = epInvalidDate;
        return false;
    }
    int32_t secs = 0;
    if (t.find_first_not_of(' ') != std::string::npos) {
        secs = CtlIntlSup().TimeStringToTime(tm, t);
        if (secs == CtlBadTime) {
            Error = epInvalidTime;
            return false;
        }
    }
    Value = CtlDateToDateTime(day) + CtlTimeToDateTime(secs);
    return true;
}

uint16_t TCtlCustomPictureField::TransferData(TCtlEntryValue& Data, int Direction) {
    const uint16_t size = GetDataSize();
    const TCtlIntlSup& intl = CtlIntlSup();
    if (FPictureType == pftDateTime) {
        if (Direction == 2) {
            double v = -1;
            if (Data.Bytes.size() >= 8) std::memcpy(&v, Data.Bytes.data(), 8);
            SetDateTimeText(v);
        } else {
            double v = 0;
            uint16_t error = 0;
            DateTimeOfText(v, error);
            Data.DataType = DataType();
            Data.Bytes.resize(8);
            std::memcpy(Data.Bytes.data(), &v, 8);
        }
        return size;
    }
    switch (DataType()) {
        case dtString:
            if (Direction == 2) {
                const size_t n =
                    Data.Bytes.empty() ? 0 : std::min<size_t>(Data.Bytes[0], Data.Bytes.size() - 1);
                std::string v(reinterpret_cast<const char*>(Data.Bytes.data()) + (Data.Bytes.empty() ? 0 : 1),
                              n);
                if (v.size() == MaxLength()) {
                    FEditText = v;
                } else {
                    if (v.size() > MaxLength()) v.resize(MaxLength());
                    FEditText = MergeWithPicture(v);
                }
                FPrepared = false;
            } else {
                std::string v;
                if (!((Options() & efoTrimBlanks) && IsEmpty())) {
                    if (Options() & efoStripLiterals) {
                        for (int i = 0; i < static_cast<int>(FEditText.size()); ++i)
                            if (FlagAt(i) != pfLiteral) v += FEditText[static_cast<size_t>(i)];
                    } else {
                        v = FEditText;
                    }
                    if (Options() & efoTrimBlanks) CtlTrimSpaces(v);
                }
                v.resize(std::min<size_t>({v.size(), MaxPictureLength, size_t{size} - 1}));
                Data.DataType = dtString;
                Data.Bytes.assign(size, 0);
                Data.Bytes[0] = static_cast<uint8_t>(v.size());
                std::memcpy(Data.Bytes.data() + 1, v.data(), v.size());
            }
            break;
        case dtChar:
            if (Direction == 2) {
                FEditText = MergeWithPicture(
                    std::string(1, Data.Bytes.empty() ? ' ' : static_cast<char>(Data.Bytes[0])));
                FPrepared = false;
            } else {
                const std::string s = StrippedText();
                Data.DataType = dtChar;
                Data.Bytes.assign(1, s.empty() ? uint8_t{' '} : static_cast<uint8_t>(s[0]));
            }
            break;
        case dtBoolean:
        case dtYesNo: {
            const bool yesNo = DataType() == dtYesNo;
            const char t = yesNo ? intl.YesChar : intl.TrueChar;
            const char f = yesNo ? intl.NoChar : intl.FalseChar;
            if (Direction == 2) {
                FEditText = MergeWithPicture(std::string(1, (!Data.Bytes.empty() && Data.Bytes[0]) ? t : f));
                FPrepared = false;
            } else {
                const std::string s = StrippedText();
                Data.DataType = DataType();
                Data.Bytes.assign(1, (!s.empty() && CtlUpperChar(s[0]) == t) ? 1 : 0);
            }
            break;
        }
        case dtDate:
            if (Direction == 2) {
                const int32_t day = Int32Of(Data);
                const std::string mask = DateMask();
                const auto ys =
                    std::count(mask.begin(), mask.end(), 'y') + std::count(mask.begin(), mask.end(), 'Y');
                if (day != CtlBadDate && ys > 0 && ys < 4) {
                    int32_t d = 0, m = 0, y = 0;
                    CtlDecodeDate(day, d, m, y);
                    const int32_t epoch = GetEpoch();
                    if (y < epoch || y > epoch + 99)
                        throw EInvalidDateForMask(CtlGetMessage(SCtlInvalidDateForMask));
                }
                SetDateText(day);
            } else {
                Data = Int32Value(dtDate, intl.DateStringToDate(DateMask(), FEditText, GetEpoch()));
            }
            break;
        case dtTime:
            if (Direction == 2)
                SetTimeText(Int32Of(Data));
            else
                Data = Int32Value(dtTime, intl.TimeStringToTime(TimeMask(), FEditText));
            break;
        default:
            TransferNumber(Data, Direction);
    }
    return size;
}

// ---- Check ----

uint16_t TCtlCustomPictureField::CheckValue() {
    uint16_t code = 0;
    const bool relay = FHasFocus && !FGettingValue;
    const TCtlIntlSup& intl = CtlIntlSup();
    const std::string s = StrippedText();
    if (FPictureType == pftDateTime) {
        double v = 0;
        DateTimeOfText(v, code);
    } else {
        switch (DataType()) {
            case dtString:
                if ((Options() & efoTrimBlanks) && relay) {
                    std::string t = s;
                    CtlTrimSpaces(t);
                    const std::string merged = MergeWithPicture(t);
                    if (merged != FEditText) {
                        FEditText = merged;
                        FPrepared = false;
                        Invalidate();
                    }
                }
                break;
            case dtChar:
                if (!(FRangeLo == FRangeHi)) {
                    const auto c = static_cast<unsigned char>(s.empty() ? ' ' : s[0]);
                    if (c < static_cast<unsigned char>(FRangeLo.AsChar()) ||
                        c > static_cast<unsigned char>(FRangeHi.AsChar()))
                        code = epRangeError;
                }
                break;
            case dtBoolean:
            case dtYesNo: {
                const char c = s.empty() ? ' ' : CtlUpperChar(s[0]);
                const bool yesNo = DataType() == dtYesNo;
                if (c != (yesNo ? intl.YesChar : intl.TrueChar) &&
                    c != (yesNo ? intl.NoChar : intl.FalseChar))
                    code = epRangeError;
                break;
            }
            case dtDate: {
                if (intl.DateStringIsBlank(DateMask(), FEditText)) break;
                const int32_t day = intl.DateStringToDate(DateMask(), FEditText, GetEpoch());
                if (day == CtlBadDate)
                    code = epInvalidDate;
                else if (FRangeHi.AsInteger() != 0 &&
                         (day < FRangeLo.AsInteger() || day > FRangeHi.AsInteger()))
                    code = epRangeError;
                else if (relay)
                    SetDateText(day), Invalidate();
                break;
            }
            case dtTime: {
                int32_t h = 0, m = 0, sec = 0;
                intl.TimeStringToHMS(TimeMask(), FEditText, h, m, sec);
                std::string t = FEditText;
                const std::string mask = TimeMask();
                bool blankHM = true, blankS = true;
                for (size_t i = 0; i < mask.size() && i < t.size(); ++i) {
                    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(mask[i])));
                    if ((c == 'h' || c == 'm') && t[i] != ' ') blankHM = false;
                    if (c == 's' && t[i] != ' ' && t[i] != '0') blankS = false;
                }
                if (blankHM && blankS) break;
                const int32_t secs = intl.TimeStringToTime(mask, FEditText);
                if (secs == CtlBadTime)
                    code = epInvalidTime;
                else if (FRangeHi.AsInteger() != 0 &&
                         (secs < FRangeLo.AsInteger() || secs > FRangeHi.AsInteger()))
                    code = epRangeError;
                else if (relay)
                    SetTimeText(secs), Invalidate();
                break;
            }
            default:
                code = CheckNumber();
        }
    }
    DoOnUserValidation(code);
    return code;
}

// ---- Editing engine ----

int TCtlCustomPictureField::RunStart(int Pos) const {
    const int first = FPic.FirstEditPosition();
    int s = Pos;
    while (s - 1 >= first && Editable(s - 1)) --s;
    return s;
}

int TCtlCustomPictureField::RunEnd(int Pos) const {
    const int last = LastEditPosition();
    int e = Pos;
    while (e + 1 <= last && Editable(e + 1)) ++e;
    return e;
}

int TCtlCustomPictureField::NextPos(int Pos) const {
    const int last = LastEditPosition();
    int p = Pos + 1;
    while (p <= last && !Editable(p)) ++p;
    return std::min(p, last + 1);
}

int TCtlCustomPictureField::PrevPos(int Pos) const {
    const int first = FPic.FirstEditPosition();
    int p = Pos - 1;
    while (p > first && !Editable(p)) --p;
    return std::max(p, first);
}

int TCtlCustomPictureField::ColumnToCaret(int Col, int Dir) const {
    const int first = FPic.FirstEditPosition(), last = LastEditPosition();
    if (Col <= first) return first;
    if (Col > last) return last + 1;
    int p = Col;
    while (p > first && p <= last && !Editable(p)) p += Dir < 0 ? -1 : 1;
    return std::clamp(p, first, last + 1);
}

void TCtlCustomPictureField::DeleteInRun(int Pos, int Count) {
    if (Pos < 0 || Pos >= static_cast<int>(FEditText.size()) || !Editable(Pos)) return;
    const int e = RunEnd(Pos);
    Count = std::min(Count, e - Pos + 1);
    if (Count <= 0) return;
    FEditText.erase(static_cast<size_t>(Pos), static_cast<size_t>(Count));
    FEditText.insert(static_cast<size_t>(e - Count + 1), static_cast<size_t>(Count), ' ');
}

bool TCtlCustomPictureField::DeleteSelection() {
    const int len = static_cast<int>(FEditText.size());
    const int s = std::clamp(FSelStart, 0, len), e = std::clamp(FSelEnd, 0, len);
    if (e <= s) return false;
    for (int i = s; i < e; ++i)
        if (Editable(i)) FEditText[static_cast<size_t>(i)] = ' ';
    if (Editable(e - 1)) {
        const int from = std::max(s, RunStart(e - 1));
        DeleteInRun(from, e - from);
    }
    FCaretPos = ColumnToCaret(s, 1);
    FSelStart = FSelEnd = FAnchor = FCaretPos;
    return true;
}

void TCtlCustomPictureField::ExtendTo(int Anchor, int Dir) {
    const int len = static_cast<int>(FEditText.size());
    const int oldAnchor = std::clamp(FAnchor, 0, len);
    int pivot;
    if (FSelEnd <= FSelStart)
        pivot = FCaretPos;
    else
        pivot = FSelEnd == oldAnchor ? FSelStart : FSelEnd;
    FAnchor = Anchor;
    const int a = std::clamp(Anchor, 0, len);
    FSelStart = std::min(pivot, a);
    FSelEnd = std::max(pivot, a);
    FCaretPos = ColumnToCaret(a, Dir);
}

bool TCtlCustomPictureField::InsertAtCaret(char Ch) {
    const int e = RunEnd(FCaretPos);
    const bool pushes = (GetController()->EntryOptions & efoInsertPushes) != 0;
    if (FEditText[static_cast<size_t>(e)] != ' ' && !pushes) return false;
    if (FCaretPos == e) {
        FEditText[static_cast<size_t>(e)] = Ch;
    } else {
        FEditText.erase(static_cast<size_t>(e), 1);
        FEditText.insert(static_cast<size_t>(FCaretPos), 1, Ch);
    }
    return true;
}

void TCtlCustomPictureField::TypeChar(char Ch) {
    const TCtlIntlSup& intl = CtlIntlSup();
    const int last = LastEditPosition();
    const int point = DecimalPoint();
    const bool number = NumberType();
    // The position the character goes to (a selection is deleted first).
    const auto checkAt = [&](int Pos, char& C) {
        if (Pos > last) return false;
        char mc = MaskCharAt(Pos);
        if (FlagAt(Pos) == pfSpecial) mc = MaskCharAt(last);
        if (number) {
            if (C == intl.DecimalChar)
                C = '.';
            else if (C == '.')
                return false;
        }
        if (IsControlChar(C) && !FCtrlCharMode) return false;
        const char prev = Pos == RunStart(Pos) ? ' ' : FEditText[static_cast<size_t>(Pos - 1)];
        return IsPictureCharValid(mc, C, true, prev);
    };
    if (FSelEnd > FSelStart) {
        char c = Ch;
        const bool decimal = point >= 0 && Ch == intl.DecimalChar;
        if (decimal || checkAt(ColumnToCaret(FSelStart, 1), c)) DeleteSelection();
    }
    if (point >= 0 && Ch == intl.DecimalChar) {
        AlignDecimal(point, FPic.FirstEditPosition(), false, true, last);
        FCaretPos = NextPos(point);
        return;
    }
    const auto handOn = [&] {
        if (GetController()->EntryOptions & efoAutoAdvanceChar) {
            MoveToNextField();
            return true;
        }
        return false;
    };
    if (FCaretPos > last) {
        if (!handOn()) Beep();
        return;
    }
    char c = Ch;
    if (checkAt(FCaretPos, c)) {
        if (InsertMode()) {
            if (!InsertAtCaret(c)) {
                Beep();
                return;
            }
        } else {
            FEditText[static_cast<size_t>(FCaretPos)] = c;
        }
        FCaretPos = NextPos(FCaretPos);
        if (FCaretPos > last) handOn();
        return;
    }
    const bool dateSep = (FPictureType == pftDate || FPictureType == pftDateTime) && Ch == intl.DateSeparator;
    const bool timeSep = (FPictureType == pftTime || FPictureType == pftDateTime) && Ch == intl.TimeSeparator;
    if (dateSep || timeSep) {
        const int s = RunStart(FCaretPos), e = RunEnd(FCaretPos);
        const std::string run = FEditText.substr(static_cast<size_t>(s), static_cast<size_t>(e - s + 1));
        if (run.find_first_not_of(' ') != std::string::npos) {
            FCaretPos = NextPos(e);
            return;
        }
    }
    Beep();
}

void TCtlCustomPictureField::Paste(const std::string& Text) {
    const TCtlIntlSup& intl = CtlIntlSup();
    DeleteSelection();
    const int last = LastEditPosition();
    const int point = DecimalPoint();
    size_t k = 0;
    int pos = FCaretPos;
    while (k < Text.size() && pos <= last) {
        const bool literal = FlagAt(pos) == pfLiteral && !FPic.AllPicture();
        if (literal && Text[k] == FEditText[static_cast<size_t>(pos)]) {
            ++k, ++pos;
        } else if (FlagAt(pos) == pfSpecial && Text[k] == ' ') {
            ++k, ++pos;
        } else {
            break;
        }
    }
    FCaretPos = ColumnToCaret(pos, 1);
    std::string rest = Text.substr(k);
    const bool numeric = NumberType() || FPic.SpecialCount() > 0 || FPic.IsRadixMask() || point >= 0;
    if (numeric) std::erase(rest, ' ');
    for (size_t i = 0; i < rest.size() && FCaretPos <= last; ++i) {
        char c = rest[i];
        if (point >= 0 && c == intl.DecimalChar) {
            if (point >= FCaretPos) {
                AlignDecimal(point, FPic.FirstEditPosition(), false, true, last);
                FCaretPos = NextPos(point);
            }
            continue;
        }
        if (c == '.' && intl.DecimalChar != '.') continue;
        char mc = MaskCharAt(FCaretPos);
        if (FlagAt(FCaretPos) == pfSpecial) mc = MaskCharAt(last);
        if (!IsPictureCharValid(mc, c, true, '\xff')) continue;
        if (!InsertAtCaret(c)) continue;
        const int from = FCaretPos;
        FCaretPos = NextPos(FCaretPos);
        for (int p = from + 1;
             p < FCaretPos && i + 1 < rest.size() && rest[i + 1] == FEditText[static_cast<size_t>(p)]; ++p)
            ++i;
    }
}

void TCtlCustomPictureField::Complete(bool Date) {
    const std::string mask = PictureMask();
    std::string formatted = Date ? CtlIntlSup().DateToDateString(mask, CtlCurrentDate(), false)
                                 : CtlIntlSup().TimeToTimeString(mask, CtlCurrentTime(), false);
    formatted.resize(FEditText.size(), ' ');
    const int last = LastEditPosition();
    if (FSelStart == 0 && FSelEnd >= static_cast<int>(FEditText.size()) && FSelEnd > 0) {
        FEditText = formatted;
        MoveCaretToEnd();
    } else {
        if (FSelEnd > FSelStart) FCaretPos = ColumnToCaret(FSelStart, 1);
        if (FCaretPos > last) FCaretPos = PrevPos(FCaretPos);
        const int s = RunStart(FCaretPos), e = RunEnd(FCaretPos);
        FEditText.replace(static_cast<size_t>(s), static_cast<size_t>(e - s + 1),
                          formatted.substr(static_cast<size_t>(s), static_cast<size_t>(e - s + 1)));
        const int next = NextPos(e);
        if (next <= last)
            FCaretPos = next;
        else
            FCaretPos = EndOfText();
    }
    FModified = FEditedSinceSet = true;
}

void TCtlCustomPictureField::EditCommand(TMessage& Msg, uint16_t Command) {
    if (CharLike()) {
        CharCommand(Msg, Command);
        return;
    }
    FAcceptChar = false;
    bool repaint = false;
    if (Command == ccCtrlChar) {
        FCtrlCharMode = true;
    } else if (Command != ccNoCommand) {
        if (PrepareEditBuffer()) repaint = true;
        if (Command != ccChar) FCtrlCharMode = false;
    }
    const std::string before = FEditText;
    const int caretBefore = FCaretPos;
    const int selBefore = FSelStart * 1000 + FSelEnd;
    const int first = FPic.FirstEditPosition();
    const int last = LastEditPosition();
    const TCtlBaseEFOptions ctl = GetController()->EntryOptions;
    const bool autoLR = (ctl & efoAutoAdvanceLeftRight) != 0;
    const int len = static_cast<int>(FEditText.size());
    bool collapse = true;
    bool changed = false;
    const auto left = [&] {
        if (FCaretPos > first)
            FCaretPos = PrevPos(FCaretPos);
        else if (autoLR)
            MoveToPreviousField();
    };
    const auto right = [&] {
        if (FCaretPos > last) {
            if (autoLR) MoveToNextField();
        } else {
            FCaretPos = NextPos(FCaretPos);
        }
    };
    const auto arrowsStep = [&] { return (Options() & efoArrowIncDec) && !GetReadOnly(); };
    switch (Command) {
        case ccNoCommand:
            FAcceptChar = FTypedChar = true;
            collapse = false;
            break;
        case ccChar:
            TypeChar(static_cast<char>(Msg.WParam));
            break;
        case ccBack:
            if (!DeleteSelection() && FCaretPos > first) {
                FCaretPos = PrevPos(FCaretPos);
                if (FCaretPos < EndOfText()) DeleteInRun(FCaretPos, 1);
            }
            break;
        case ccDel:
            if (!DeleteSelection() && FCaretPos < EndOfText()) DeleteInRun(FCaretPos, 1);
            break;
        case ccCut:
            DeleteSelection();
            collapse = false;
            break;
        case ccCopy:
            collapse = false;
            break;
        case ccDelBol:
            if (FCaretPos <= last) {
                const int s = RunStart(FCaretPos);
                if (FCaretPos > s) DeleteInRun(s, FCaretPos - s);
                FCaretPos = s;
            }
            break;
        case ccDelEol:
            if (FCaretPos <= last) {
                const int e = RunEnd(FCaretPos);
                if (FCaretPos < e)
                    for (int i = FCaretPos; i <= e; ++i) FEditText[static_cast<size_t>(i)] = ' ';
            }
            break;
        case ccDelLine:
            MoveCaretToStart();
            for (int i = FCaretPos; i <= last && i < len; ++i)
                if (Editable(i)) FEditText[static_cast<size_t>(i)] = ' ';
            break;
        case ccDelWord:
            if (!DeleteSelection() && FCaretPos < EndOfText()) {
                const int e = RunEnd(FCaretPos);
                int j = FCaretPos;
                while (j <= e && FEditText[static_cast<size_t>(j)] != ' ') ++j;
                while (j <= e && FEditText[static_cast<size_t>(j)] == ' ') ++j;
                DeleteInRun(FCaretPos, j - FCaretPos);
            }
            break;
        case ccHome:
            FCaretPos = first;
            break;
        case ccEnd:
            MoveCaretToEnd();
            break;
        case ccLeft:
            left();
            break;
        case ccRight:
            right();
            break;
        case ccUp:
            if (ctl & efoAutoAdvanceUpDown)
                MoveToPreviousField();
            else if (!arrowsStep())
                left();
            else
                IncrementValue(true, 1);
            break;
        case ccDown:
            if (ctl & efoAutoAdvanceUpDown)
                MoveToNextField();
            else if (!arrowsStep())
                right();
            else
                DecrementValue(true, 1);
            break;
        case ccWordLeft:
            if (FCaretPos <= first) {
                if (autoLR) MoveToPreviousField();
            } else {
                int p = FCaretPos - 1;
                while (p > first && !Editable(p)) --p;
                while (p > first && FEditText[static_cast<size_t>(p)] == ' ') --p;
                while (p > first && Editable(p - 1) && FEditText[static_cast<size_t>(p - 1)] != ' ') --p;
                FCaretPos = p;
            }
            break;
        case ccWordRight: {
            const int end = EndOfText();
            if (FCaretPos >= end) {
                if (autoLR) MoveToNextField();
                break;
            }
            int p = FCaretPos;
            while (p <= last && Editable(p) && FEditText[static_cast<size_t>(p)] != ' ') ++p;
            while (p <= last && Editable(p) && FEditText[static_cast<size_t>(p)] == ' ') ++p;
            while (p <= last && !Editable(p)) ++p;
            FCaretPos = std::min(p, end);
            break;
        }
        case ccInc:
            IncrementValue(true, 1);
            break;
        case ccDec:
            DecrementValue(true, 1);
            break;
        case ccIns:
            SetInsertMode(!InsertMode());
            break;
        case ccPaste:
            if (!Designing() && Msg.LParam) Paste(reinterpret_cast<const char*>(Msg.LParam));
            collapse = false;
            FSelStart = FSelEnd = FAnchor = FCaretPos;
            break;
        case ccRestore:
            DoRestore();
            FPrepared = false;
            collapse = false;
            break;
        case ccCompleteDate:
        case ccCompleteTime:
            if ((Command == ccCompleteDate && FPictureType == pftDate) ||
                (Command == ccCompleteTime && FPictureType == pftTime)) {
                Complete(Command == ccCompleteDate);
                changed = true;
            }
            break;
        case ccExtendHome:
            ExtendTo(0, -1);
            FCaretPos = first;
            collapse = false;
            break;
        case ccExtendEnd:
            ExtendTo(MaxLength() + 1, 1);
            MoveCaretToEnd();
            collapse = false;
            break;
        case ccExtendLeft:
            if (FAnchor > 0) ExtendTo(FAnchor - 1, 1);
            collapse = false;
            break;
        case ccExtendRight:
            if (FAnchor < MaxLength()) ExtendTo(FAnchor + 1, -1);
            collapse = false;
            break;
        case ccExtWordLeft:
            if (FAnchor > 0) {
                int a = std::min(FAnchor - 1, len);
                while (a > 0 && (a >= len || FEditText[static_cast<size_t>(a)] == ' ')) --a;
                while (a > 0 && FEditText[static_cast<size_t>(a - 1)] != ' ') --a;
                ExtendTo(a, -1);
            }
            collapse = false;
            break;
        case ccExtWordRight:
            if (FAnchor < MaxLength()) {
                int a = FAnchor + 1;
                while (a < len && FEditText[static_cast<size_t>(a)] != ' ') ++a;
                while (a < len && FEditText[static_cast<size_t>(a)] == ' ') ++a;
                ExtendTo(std::min<int>(a, MaxLength()), 1);
            }
            collapse = false;
            break;
        case ccMouse: {
            const int col = ColumnFromX(GetXLParam(Msg.LParam));
            if (GetKeyState(VK_SHIFT) < 0) {
                ExtendTo(col, 1);
            } else {
                FAnchor = col;
                int end = EndOfText();
                while (end < last && !Editable(end)) ++end;
                FCaretPos = ColumnToCaret(std::min(col, end), 1);
                FSelStart = FSelEnd = FCaretPos;
            }
            collapse = false;
            break;
        }
        case ccMouseMove: {
            const int col = ColumnFromX(GetXLParam(Msg.LParam));
            ExtendTo(col, col >= FCaretPos ? 1 : -1);
            if (FSelEnd <= FSelStart) FCaretPos = std::min(FCaretPos, std::max(EndOfText(), first));
            collapse = false;
            break;
        }
        case ccDblClk: {
            collapse = false;
            if (DataType() >= dtReal && DataType() <= dtSingle) {
                FSelStart = 0;
                FSelEnd = len;
                break;
            }
            const int col = std::clamp(FCaretPos, 0, std::max(0, len - 1));
            int s = col, e = col;
            while (s > 0 && FEditText[static_cast<size_t>(s - 1)] != ' ') --s;
            while (e < len && FEditText[static_cast<size_t>(e)] != ' ') ++e;
            while (e < len && FEditText[static_cast<size_t>(e)] == ' ') ++e;
            FSelStart = s;
            FSelEnd = e;
            FAnchor = e;
            break;
        }
        case ccSequenceBroken:
        case ccPartialSequence:
            collapse = false;
            break;
        default:
            collapse = false;
            if (Command < ccUserFirst) FAcceptChar = true;
    }
    FTypedChar = Command == ccNoCommand;
    const int point = DecimalPoint();
    if (point >= 0 && Command != ccChar) {
        if (caretBefore <= point && FCaretPos > point)
            AlignDecimal(point, first, false, true, last);
        else if (caretBefore > point && FCaretPos <= point)
            AlignDecimal(point, first, true, false, last);
    }
    if (collapse) {
        FSelStart = FSelEnd = FCaretPos;
        FAnchor = FCaretPos;
    }
    PositionCaret(true);
    if (FEditText != before || changed) {
        FModified = FEditedSinceSet = true;
        DoOnChange();
    }
    if (repaint || FEditText != before || FCaretPos != caretBefore || selBefore != FSelStart * 1000 + FSelEnd)
        Invalidate();
}

void TCtlCustomPictureField::CharCommand(TMessage& Msg, uint16_t Command) {
    FAcceptChar = false;
    const std::string before = FEditText;
    const int first = FPic.FirstEditPosition();
    const TCtlBaseEFOptions ctl = GetController()->EntryOptions;
    const bool autoLR = (ctl & efoAutoAdvanceLeftRight) != 0;
    const bool autoUD = (ctl & efoAutoAdvanceUpDown) != 0;
    const int len = static_cast<int>(FEditText.size());
    const auto put = [&](char C, char Prev) {
        if (IsControlChar(C) && !FCtrlCharMode) return false;
        if (!IsPictureCharValid(MaskCharAt(first), C, true, Prev)) return false;
        if (first < len) FEditText[static_cast<size_t>(first)] = C;
        return true;
    };
    bool collapse = true;
    switch (Command) {
        case ccNoCommand:
            FAcceptChar = FTypedChar = true;
            collapse = false;
            break;
        case ccChar:
            if (put(static_cast<char>(Msg.WParam), ' ')) {
                if (ctl & efoAutoAdvanceChar) MoveToNextField();
            } else {
                Beep();
            }
            break;
        case ccCtrlChar:
            FCtrlCharMode = true;
            break;
        case ccRight:
        case ccWordRight:
            if (autoLR) MoveToNextField();
            break;
        case ccLeft:
        case ccWordLeft:
            if (autoLR) MoveToPreviousField();
            break;
        case ccUp:
            if (autoUD)
                MoveToPreviousField();
            else if (autoLR)
                MoveToPreviousField();
            break;
        case ccDown:
            if (autoUD)
                MoveToNextField();
            else if (autoLR)
                MoveToNextField();
            break;
        case ccInc:
            IncrementValue(true, 1);
            break;
        case ccDec:
            DecrementValue(true, 1);
            break;
        case ccPaste:
            if (!Designing() && Msg.LParam) {
                std::string t = reinterpret_cast<const char*>(Msg.LParam);
                if (static_cast<int>(t.size()) == MaxLength() && !t.empty() && !FEditText.empty() &&
                    t[0] == FEditText[0])
                    t.erase(0, static_cast<size_t>(std::min<int>(first, static_cast<int>(t.size()))));
                for (char c : t)
                    if (put(c, '\xff')) break;
            }
            collapse = false;
            break;
        case ccRestore:
            DoRestore();
            collapse = false;
            break;
        case ccExtendHome:
        case ccExtWordLeft:
            FAnchor = 0;
            FSelStart = 0;
            FSelEnd = std::max(FSelEnd, std::min(first + 1, len));
            collapse = false;
            break;
        case ccExtendEnd:
        case ccExtWordRight:
            FAnchor = MaxLength() + 1;
            FSelEnd = len;
            collapse = false;
            break;
        case ccExtendLeft:
        case ccExtendRight:
            FAnchor =
                std::clamp(FAnchor + (Command == ccExtendLeft ? -1 : 1), 0, static_cast<int>(MaxLength()));
            FSelStart = std::min(FAnchor, first);
            FSelEnd = std::min(std::max(FAnchor, first), len);
            collapse = false;
            break;
        case ccMouseMove:
            FAnchor = ColumnFromX(GetXLParam(Msg.LParam));
            FSelStart = std::min(FAnchor, first);
            FSelEnd = std::min(std::max(FAnchor, first), len);
            collapse = false;
            break;
        case ccDblClk:
            FSelStart = 0;
            FSelEnd = len;
            collapse = false;
            break;
        case ccDel:
        case ccMouse:
        case ccSequenceBroken:
        case ccPartialSequence:
            break;
        default:
            if (Command < ccUserFirst) FAcceptChar = true;
    }
    FTypedChar = Command == ccNoCommand;
    FCaretPos = first;
    if (collapse) FSelStart = FSelEnd = first;
    PositionCaret(true);
    if (FEditText != before) {
        FModified = FEditedSinceSet = true;
        DoOnChange();
    }
    Invalidate();
}

// ---- Stepping ----

char TCtlCustomPictureField::PartUnderCaret() const {
    int p = FCaretPos;
    if (p >= static_cast<int>(FEditText.size()) || FlagAt(p) == pfLiteral) --p;
    return MaskCharAt(std::max(p, 0));
}

bool TCtlCustomPictureField::StepChar(bool Wrap, double Delta) {
    const int first = FPic.FirstEditPosition();
    const char mc = MaskCharAt(first);
    int lo = static_cast<unsigned char>(FRangeLo.AsChar());
    int hi = static_cast<unsigned char>(FRangeHi.AsChar());
    if (lo == hi) lo = 1, hi = 255;
    const std::string s = StrippedText();
    const int c = static_cast<unsigned char>(s.empty() ? ' ' : s[0]);
    if (!Wrap && ((c <= lo && Delta < 0) || (c >= hi && Delta > 0))) return false;
    const int step = Delta > 0 ? 1 : -1;
    int x = c;
    for (int n = 0; n < 256; ++n) {
        x = (x + step + 256) % 256;
        const char ch = static_cast<char>(x);
        char plain = ch, forced = ch;
        if (!IsPictureCharValid(mc, plain, false, ' ') || !IsPictureCharValid(mc, forced, true, ' ') ||
            forced != ch)
            continue;
        if (x >= lo && x <= hi) {
            FEditText = MergeWithPicture(std::string(1, ch));
            return true;
        }
        if (!Wrap) return false;
    }
    return false;
}

bool TCtlCustomPictureField::StepDate(bool Wrap, double Delta) {
    const TCtlIntlSup& intl = CtlIntlSup();
    const int32_t epoch = GetEpoch();
    const int32_t day = intl.DateStringToDate(PictureMask(), FEditText, epoch);
    if (day == CtlBadDate) return false;
    const char part = static_cast<char>(std::tolower(static_cast<unsigned char>(PartUnderCaret())));
    const auto step = static_cast<int32_t>(std::trunc(Delta));
    int32_t lo = FRangeLo.AsInteger(), hi = FRangeHi.AsInteger();
    if (hi == 0) {
        lo = CtlEncodeDate(1, 1, 1600, 0);
        hi = CtlEncodeDate(31, 12, 3999, 0);
    }
    int32_t d = 0, m = 0, y = 0;
    CtlDecodeDate(day, d, m, y);
    int32_t result;
    if (part == 'd') {
        result = day + step;
        if (result < lo || result > hi) {
            if (!Wrap) return false;
            result = step > 0 ? lo : hi;
        }
    } else if (part == 'm' || part == 'n' || part == 'y') {
        const bool months = part != 'y';
        const auto move = [&](int32_t From, int32_t Count) {
            return months ? CtlIncDateMonths(From, Count, 0) : CtlIncDateMonths(From, 0, Count);
        };
        const auto dateIn = [&](int32_t Limit) {
            int32_t ld = 0, lm = 0, ly = 0;
            CtlDecodeDate(Limit, ld, lm, ly);
            const int32_t month = months ? lm : m;
            int32_t dd = d;
            while (dd > 1 && !CtlValidDate(dd, month, ly, 0)) --dd;
            return CtlEncodeDate(dd, month, ly, 0);
        };
        const bool outside = (y * 12 + m + (months ? step : step * 12)) < 1600 * 12 + 1 ||
                             (y * 12 + m + (months ? step : step * 12)) > 3999 * 12 + 12;
        result = outside ? -1 : move(day, step);
        if (outside || result < lo || result > hi) {
            if (!Wrap) return false;
            result = dateIn(step > 0 ? lo : hi);
            const int32_t toward = step > 0 ? 1 : -1;
            for (int guard = 0; (result < lo || result > hi) && guard < 30000; ++guard)
                result = move(result, result < lo ? 1 : -1);
            (void)toward;
        }
    } else {
        return false;
    }
    if (result < lo || result > hi) return false;
    SetDateText(result);
    return true;
}

bool TCtlCustomPictureField::StepTime(bool Wrap, double Delta) {
    const int32_t t = CtlIntlSup().TimeStringToTime(PictureMask(), FEditText);
    if (t == CtlBadTime) return false;
    const char part = static_cast<char>(std::tolower(static_cast<unsigned char>(PartUnderCaret())));
    int32_t n = static_cast<int32_t>(std::trunc(std::fabs(Delta))) % 256;
    int32_t secs;
    switch (part) {
        case 'h':
            secs = n * 3600;
            break;
        case 'm':
            secs = n * 60;
            break;
        case 's':
            secs = n;
            break;
        case 't':
            secs = ((12 * n) % 256) * 3600;
            break;
        default:
            return false;
    }
    int32_t lo = FRangeLo.AsInteger(), hi = FRangeHi.AsInteger();
    if (hi == 0) lo = 0, hi = 86399;
    int32_t r = Delta > 0 ? t + secs : t - secs;
    const bool ok = Delta > 0 ? (r <= 86399 && r <= hi) : (r >= 0 && r >= lo);
    if (!ok) {
        if (!Wrap) return false;
        r = ((r % 86400) + 86400) % 86400;
    }
    SetTimeText(r);
    return true;
}

void TCtlCustomPictureField::IncreaseValue(bool Wrap, double Delta) {
    if (!FHasFocus) return;
    bool stepped = false;
    const TCtlIntlSup& intl = CtlIntlSup();
    if (FPictureType == pftDateTime) {
        double v = 0;
        uint16_t error = 0;
        if (DateTimeOfText(v, error)) {
            SetDateTimeText(v + Delta);
            stepped = true;
        }
    } else {
        switch (DataType()) {
            case dtString:
                break;
            case dtChar:
                stepped = StepChar(Wrap, Delta);
                break;
            case dtBoolean:
            case dtYesNo: {
                const bool yesNo = DataType() == dtYesNo;
                const char t = yesNo ? intl.YesChar : intl.TrueChar;
                const char f = yesNo ? intl.NoChar : intl.FalseChar;
                const std::string s = StrippedText();
                FEditText = MergeWithPicture(std::string(1, (!s.empty() && CtlUpperChar(s[0]) == t) ? f : t));
                stepped = true;
                break;
            }
            case dtDate:
                stepped = StepDate(Wrap, Delta);
                break;
            case dtTime:
                stepped = StepTime(Wrap, Delta);
                break;
            default:
                stepped = StepNumber(Wrap, Delta);
        }
    }
    if (stepped) {
        FPrepared = false;
        PrepareEditBuffer();
        FModified = FEditedSinceSet = true;
        DoOnChange();
        if (DataType() == dtDate || DataType() == dtTime) {
            FSelStart = 0;
            FSelEnd = static_cast<int>(FEditText.size());
        }
        Invalidate();
    }
    PositionCaret(false);
}

}  // namespace entry
