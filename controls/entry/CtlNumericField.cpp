#include "controls/entry/CtlNumericField.h"

#include <algorithm>

#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlParameterInvalid = 30188;
constexpr size_t MaxBuffer = 255;

uint8_t CodeOf(TNumericDataType T) {
    return static_cast<uint8_t>(static_cast<int>(dtLongInt) + static_cast<int>(T));
}

const char* DefaultMask(TNumericDataType T) {
    switch (T) {
        case nftLongInt:
            return "iiiiiiiiiii";
        case nftWord:
            return "99999";
        case nftInteger:
            return "iiiiii";
        case nftByte:
            return "999";
        case nftShortInt:
            return "iiii";
        case nftComp:
            return "iiiiiiiiii";
        default:
            return "##########";
    }
}

}  // namespace

TCtlCustomNumericField::TCtlCustomNumericField(TComponent* AOwner) : TCtlPictureBase(AOwner) {
    SetDataTypeAndKind(dtLongInt, fkNumeric);
    TCtlBaseEntryField::SetPictureMask("iiiiiiiiiii");
    StoreMaxLength(11);
    SetDefaultRange();
    InitPictureFlags();
    ComputeLayout();
}

// ---- Properties ----

void TCtlCustomNumericField::SetDataType(TNumericDataType Value) {
    if (Value > nftComp) throw ECtlException(CtlGetMessage(SCtlParameterInvalid));
    if (Value == FNumericType) return;
    FNumericType = Value;
    FCreatedOnce = false;
    WhileAssigning([&] {
        SetDataTypeAndKind(CodeOf(Value), fkNumeric);
        SetDefaultRange();
        StoreDecimalPlaces(0);
        TCtlBaseEntryField::SetPictureMask(DefaultMask(Value));
        StoreMaxLength(static_cast<uint16_t>(EngineMask().size()));
        FEditText.clear();
        InitPictureFlags();
        ComputeLayout();
    });
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomNumericField::SetPictureMask(const std::string& Mask) {
    if (Mask.empty() || Mask == PictureMask()) return;
    if (Designing() && DataType() >= dtReal && DataType() <= dtSingle &&
        Mask.find('.') != std::string::npos && Mask.find_first_of("9i") != std::string::npos)
        throw EInvalidPictureMask(Mask);
    AssignPicture(Mask);
    ComputeLayout();
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomNumericField::Assign(TPersistent* Source) {
    auto* s = dynamic_cast<TCtlCustomNumericField*>(Source);
    if (!s) {
        TCtlPictureBase::Assign(Source);
        return;
    }
    SetDataType(s->FNumericType);
    AssignLook(*s);
    SetOptions(s->Options());
    SetPadChar(s->PadChar());
    SetPictureMask(s->PictureMask());
    AssignRangeAndDisplay(*s);
}

void TCtlCustomNumericField::ComputeLayout() {
    int digits = 0, decimals = 0;
    GetNumberLayout(digits, decimals);
    FD = std::min<int>(digits, MaxBuffer);
    FP = decimals;
    FI = FP > 0 ? FD - FP - 1 : FD;
}

// ---- Window and focus ----

void TCtlCustomNumericField::CreateWnd() {
    std::optional<TCtlEntryValue> saved = ValueToCarry(FCreatedOnce);
    StoreMaxLength(static_cast<uint16_t>(EngineMask().size()));
    FAnchor = 0;
    FBuf.clear();
    FNeg = false;
    TCtlPictureBase::CreateWnd();
    InitPictureFlags();
    ComputeLayout();
    if (FRangeLo == FRangeHi) SetDefaultRange();
    SetInitialValue();
    if (saved) TransferData(*saved, 2);
    FCreatedOnce = true;
}

void TCtlCustomNumericField::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_SETFOCUS:
            TCtlPictureBase::Dispatch(Message);
            if (FHasFocus) {
                LoadBuffer();
                ResetCaretPosition();
                PositionCaret(false);
            }
            return;
        case WM_KILLFOCUS: {
            const bool leftForm = !InSameForm(static_cast<HWND>(Message.WParam));
            TCtlPictureBase::Dispatch(Message);
            if (!leftForm) {
                FBuf.clear();
                FNeg = false;
            }
            return;
        }
        default:
            TCtlPictureBase::Dispatch(Message);
    }
}

void TCtlCustomNumericField::MoveCaretToStart() {
    FCaretPos = LastEditPosition() + 1;
    FFirstCol = 0;
}

void TCtlCustomNumericField::MoveCaretToEnd() {
    FCaretPos = LastEditPosition() + 1;
}

void TCtlCustomNumericField::SetCaretPosition(int) {}

bool TCtlCustomNumericField::PrepareEditBuffer() {
    FPrepared = FPic.IsRadixMask();
    return false;
}

// ---- Buffer ----

void TCtlCustomNumericField::LoadBuffer() {
    std::string s = StripPicture(FEditText);
    CtlTrimSpaces(s);
    FNeg = !s.empty() && s[0] == '-';
    if (FNeg) s.erase(0, 1);
    if (s == "0") s.clear();
    if (s.size() > MaxBuffer) s.resize(MaxBuffer);
    FBuf = s;
}

void TCtlCustomNumericField::ClearAll() {
    FBuf.clear();
    FNeg = false;
    FSelStart = FSelEnd = 0;
}

bool TCtlCustomNumericField::AddChar(char Ch) {
    if (Ch == ' ') return false;
    const bool maskPoint = FPic.PointPos() >= 0;
    const auto dot = FBuf.find('.');
    const bool hasPoint = dot != std::string::npos;
    const int len = static_cast<int>(FBuf.size());
    if (Ch == '.' && (!maskPoint || hasPoint)) return false;
    if (Ch == '-') {
        if (FNeg) {
            FNeg = false;
            return true;
        }
        const int intChars = hasPoint ? static_cast<int>(dot) : len;
        if (intChars < FI && len < FD) {
            FNeg = true;
            return true;
        }
        return false;
    }
    const int sign = FNeg ? 1 : 0;
    if (sign + len < FD) {
        if (Ch == '0' && FBuf.empty()) return true;
        if (maskPoint && Ch != '.' && !hasPoint && sign + len >= FI) return false;
        // More decimals than the mask shows would be cut when the value is laid back in.
        if (hasPoint && len - static_cast<int>(dot) - 1 >= FP) return false;
        FBuf += Ch;
        return true;
    }
    if (FD == 1 && Ch != '.') {
        FBuf.assign(1, Ch);
        return true;
    }
    return false;
}

void TCtlCustomNumericField::RebuildText() {
    std::string s = FBuf;
    if (s.empty()) s = "0";
    if (s[0] == '.') s.insert(0, 1, '0');
    if (FNeg) s.insert(0, 1, '-');
    std::string t = MergeWithPicture(s);
    if (FPic.PointPos() >= 0) {
        const auto dot = FBuf.find('.');
        const int typed = dot == std::string::npos ? -1 : static_cast<int>(FBuf.size() - dot - 1);
        const int missing = typed < 0 ? FP + 1 : FP - typed;
        const int last = LastEditPosition();
        const int first = FPic.FirstEditPosition();
        if (missing > 0 && last - missing + 1 >= 0 && last < static_cast<int>(t.size())) {
            t.erase(static_cast<size_t>(last - missing + 1), static_cast<size_t>(missing));
            t.insert(static_cast<size_t>(std::min<int>(first, static_cast<int>(t.size()))),
                     static_cast<size_t>(missing), ' ');
        }
    }
    FEditText = t;
}

// ---- Commands ----

void TCtlCustomNumericField::EditCommand(TMessage& Msg, uint16_t Command) {
    FAcceptChar = false;
    const TCtlIntlSup& intl = CtlIntlSup();
    const TCtlBaseEFOptions ctl = GetController()->EntryOptions;
    const std::string before = FEditText;
    const int len = static_cast<int>(FEditText.size());
    const int last = LastEditPosition();
    bool changed = false;
    bool keepSelection = false;
    const auto arrowsStep = [&] { return (Options() & efoArrowIncDec) && !GetReadOnly(); };
    const auto toChar = [&](char& C) {
        if (C == intl.DecimalChar)
            C = '.';
        else if (C == '.')
            return false;
        return IsPictureCharValid(MaskCharAt(last), C, true, '\xff');
    };
    switch (Command) {
        case ccNoCommand:
            FAcceptChar = FTypedChar = true;
            keepSelection = true;
            break;
        case ccChar: {
            char c = static_cast<char>(Msg.WParam);
            if (static_cast<unsigned char>(c) >= 32 && AllSelected()) {
                ClearAll();
                changed = true;
            }
            const int sign = FNeg ? 1 : 0;
            if (sign + static_cast<int>(FBuf.size()) <= FD) {
                if (toChar(c) && AddChar(c)) {
                    changed = true;
                    if (c != '-' && (FNeg ? 1 : 0) + static_cast<int>(FBuf.size()) == FD &&
                        (ctl & efoAutoAdvanceChar))
                        MoveToNextField();
                } else {
                    Beep();
                }
            } else if (ctl & efoAutoAdvanceChar) {
                MoveToNextField();
            } else {
                Beep();
            }
            break;
        }
        case ccBack:
        case ccDel:
            if (AllSelected()) {
                ClearAll();
            } else if (!FBuf.empty()) {
                FBuf.pop_back();
                if (FBuf == "0") FBuf.clear();
            } else {
                FNeg = false;
            }
            changed = true;
            break;
        case ccCut:
        case ccDelWord:
            if (AllSelected()) {
                ClearAll();
                changed = true;
            }
            keepSelection = Command == ccCut;
            break;
        case ccDelLine:
            ClearAll();
            changed = true;
            break;
        case ccCopy:
            keepSelection = true;
            break;
        case ccPaste:
            if (!Designing() && Msg.LParam) {
                if (AllSelected()) ClearAll();
                const std::string text = reinterpret_cast<const char*>(Msg.LParam);
                const bool parens =
                    EngineMask() != PictureMask() && PictureMask().find('p') != std::string::npos;
                for (size_t i = 0; i < text.size(); ++i) {
                    char c = text[i];
                    if (c == '(' && parens && text.find(')', i + 1) != std::string::npos) c = '-';
                    if (c == '-' && FNeg) continue;
                    if ((FNeg ? 1 : 0) + static_cast<int>(FBuf.size()) > FD) break;
                    if (toChar(c)) AddChar(c);
                }
                changed = true;
            }
            keepSelection = true;
            break;
        case ccLeft:
        case ccWordLeft:
            if (ctl & efoAutoAdvanceLeftRight) MoveToPreviousField();
            break;
        case ccRight:
        case ccWordRight:
            if (ctl & efoAutoAdvanceLeftRight) MoveToNextField();
            break;
        case ccUp:
            if (ctl & efoAutoAdvanceUpDown)
                MoveToPreviousField();
            else if (arrowsStep())
                IncrementValue(true, 1);
            else if (ctl & efoAutoAdvanceLeftRight)
                MoveToPreviousField();
            break;
        case ccDown:
            if (ctl & efoAutoAdvanceUpDown)
                MoveToNextField();
            else if (arrowsStep())
                DecrementValue(true, 1);
            else if (ctl & efoAutoAdvanceLeftRight)
                MoveToNextField();
            break;
        case ccInc:
            IncrementValue(true, 1);
            break;
        case ccDec:
            DecrementValue(true, 1);
            break;
        case ccIns:
            SetInsertMode(!InsertMode());
            break;
        case ccRestore:
            DoRestore();
            LoadBuffer();
            keepSelection = true;
            break;
        case ccExtendHome:
        case ccExtendEnd:
        case ccExtendLeft:
        case ccExtendRight:
        case ccExtWordLeft:
        case ccExtWordRight:
        case ccDblClk:
            FSelStart = 0;
            FSelEnd = len;
            keepSelection = true;
            break;
        case ccMouse:
            FSelStart = FSelEnd = 0;
            keepSelection = true;
            break;
        case ccHome:
        case ccEnd:
        case ccCtrlChar:
        case ccSequenceBroken:
        case ccPartialSequence:
            break;
        default:
            if (Command < ccUserFirst) FAcceptChar = true;
            keepSelection = true;
    }
    FTypedChar = Command == ccNoCommand;
    if (changed) RebuildText();
    if (!keepSelection) FSelStart = FSelEnd = 0;
    FCaretPos = last + 1;
    PositionCaret(false);
    if (changed) {
        FModified = FEditedSinceSet = true;
        DoOnChange();
    }
    if (changed || FEditText != before || !keepSelection) Invalidate();
}

// ---- Value ----

uint16_t TCtlCustomNumericField::TransferData(TCtlEntryValue& Data, int Direction) {
    TransferNumber(Data, Direction);
    return GetDataSize();
}

uint16_t TCtlCustomNumericField::CheckValue() {
    uint16_t code = CheckNumber();
    DoOnUserValidation(code);
    return code;
}

void TCtlCustomNumericField::IncreaseValue(bool Wrap, double Delta) {
    if (!FHasFocus) return;
    if (StepNumber(Wrap, Delta)) {
        LoadBuffer();
        FModified = FEditedSinceSet = true;
        DoOnChange();
        Invalidate();
    }
    PositionCaret(false);
}

std::string TCtlCustomNumericField::GetDisplayString() {
    std::string s = TCtlPictureBase::GetDisplayString();
    if (Uninitialized() && !FHasFocus) return s;
    const std::string& mask = PictureMask();
    const auto p = mask.find('p');
    const auto g = mask.find('g');
    const auto minus = s.find('-');
    const bool negative = minus != std::string::npos;
    if (p != std::string::npos) {
        if (negative) s[minus] = '(';
        s.insert(std::min(p, s.size()), 1, negative ? ')' : ' ');
    } else if (g != std::string::npos) {
        if (negative) {
            const auto first = static_cast<size_t>(FPic.FirstEditPosition());
            if (minus == first) {
                s[minus] = ' ';
            } else {
                s.erase(minus, 1);
                s.insert(std::min(first, s.size()), 1, ' ');
            }
        }
        s.insert(std::min(g, s.size()), 1, negative ? '-' : ' ');
    }
    CtlTrimSpaces(s);
    return s;
}

}  // namespace entry
