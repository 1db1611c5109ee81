#include "controls/grid/CtlDbPictureField.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controls/entry/CtlCommands.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "framework/core/Extended80.h"
#include "framework/data/Fields.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Messages.h"

namespace grid {

using namespace framework;
using namespace entry;

namespace {

TCtlEntryValue Int32Value(uint8_t DataType, int32_t V) {
    TCtlEntryValue r;
    r.DataType = DataType;
    r.Bytes.resize(4);
    const auto u = static_cast<uint32_t>(V);
    for (int i = 0; i < 4; ++i) r.Bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(u >> (8 * i));
    return r;
}

TCtlEntryValue ExtendedValue(long double V) {
    uint8_t bytes[ExtendedSize];
    ExtendedToBytes(V, bytes);
    TCtlEntryValue r;
    r.DataType = dtExtended;
    r.Bytes.assign(bytes, bytes + ExtendedSize);
    return r;
}

long double ExtendedOf(const TCtlEntryValue& V) {
    uint8_t bytes[ExtendedSize] = {};
    std::copy_n(V.Bytes.begin(), std::min<size_t>(V.Bytes.size(), ExtendedSize), bytes);
    return BytesToExtended(bytes);
}

bool IsStringType(TFieldType T) {
    return T == ftString || T == ftWideString;
}

}  // namespace

bool CtlDbAcceptedFieldType(TFieldType Type) {
    switch (Type) {
        case ftString:
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftBoolean:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftWideString:
        case ftTimeStamp:
            return true;
        default:
            return false;
    }
}

std::string CtlDbFieldKindText(const TField& Field) {
    std::string name = Field.ClassName();
    if (!name.empty()) name.erase(0, 1);
    if (const size_t at = name.find("Field"); at != std::string::npos) name.erase(at);
    return "(" + name + ")";
}

TCtlDbPictureField::TCtlDbPictureField(TComponent* AOwner) : TCtlCustomPictureField(AOwner) {
    ControlStyle |= csReplicatable;
    FDataLink.Control = this;
    FDataLink.OnDataChange = [this](TObject*) { DataChange(); };
    FDataLink.OnEditingChange = [this](TObject*) { EditingChange(); };
    FDataLink.OnUpdateData = [this](TObject*) { UpdateData(); };
}

TCtlDbPictureField::~TCtlDbPictureField() {
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnEditingChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
    FDataLink.SetDataSource(nullptr);
}

TField* TCtlDbPictureField::Field() const {
    TField* f = FDataLink.Field();
    if (f == nullptr && Designing() && DataSource() && DataSource()->DataSet()) {
        try {
            f = DataSource()->DataSet()->FieldByName(DataField());
        } catch (const Exception&) {
            f = nullptr;
        }
    }
    return f;
}

void TCtlDbPictureField::SetDataField(const std::string& Value) {
    try {
        FDataLink.SetFieldName(Value);
    } catch (...) {
        FDataLink.SetFieldName("");
        throw;
    }
    Reconfigure();
    Invalidate();
    if (Designing() && HandleAllocated()) RecreateWnd();
}

void TCtlDbPictureField::SetDataSource(TDataSource* Value) {
    if (DataSource()) DataSource()->RemoveFreeNotification(this);
    FDataLink.SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
    Reconfigure();
    Invalidate();
}

void TCtlDbPictureField::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlCustomPictureField::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent != nullptr && AComponent == DataSource()) {
        FDataLink.SetDataSource(nullptr);
        Reconfigure();
        Invalidate();
    }
}

void TCtlDbPictureField::SetDateOrTime(TDateOrTime Value) {
    if (FDateOrTime == Value) return;
    FDateOrTime = Value;
    Reconfigure();
    if (HandleAllocated()) RecreateWnd();
    DoRestore();
}

void TCtlDbPictureField::SetFieldType(TFieldType Value) {
    if (Value != FFieldType && CtlDbAcceptedFieldType(Value)) {
        FFieldType = Value;
        Reconfigure();
    }
    if (Designing() && !Loading() && !CtlDbAcceptedFieldType(Value))
        throw ECtlException(CtlGetMessage(30224));
}

void TCtlDbPictureField::SetUseTFieldMask(bool Value) {
    if (FUseTFieldMask == Value) return;
    FUseTFieldMask = Value;
    Invalidate();
}

void TCtlDbPictureField::SetPictureMask(const std::string& Mask) {
    if (!FReconfiguring) FOwnMask = true;
    TCtlCustomPictureField::SetPictureMask(Mask);
    if (Designing() && HandleAllocated()) RecreateWnd();
}

bool TCtlDbPictureField::DateFieldType() const {
    return FFieldType == ftDate || FFieldType == ftTime || FFieldType == ftDateTime ||
           FFieldType == ftTimeStamp;
}

void TCtlDbPictureField::Reconfigure() {
    TField* field = Field();
    TPictureDataType type = pftString;
    switch (FFieldType) {
        case ftSmallint:
            type = pftInteger;
            break;
        case ftInteger:
            type = pftLongInt;
            break;
        case ftWord:
            type = pftWord;
            break;
        case ftBoolean:
            type = pftBoolean;
            break;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            type = pftExtended;
            break;
        case ftDate:
            type = pftDate;
            break;
        case ftTime:
            type = pftTime;
            break;
        case ftDateTime:
        case ftTimeStamp:
            type = FDateOrTime == ftUseTime || FDateOrTime == ftUseBothEditTime ? pftTime : pftDate;
            break;
        default:
            break;
    }
    // A mask given to the field stays when the data type follows a newly bound field.
    const std::string mask = PictureMask();
    FReconfiguring = true;
    try {
        SetDataType(type);
        if (FOwnMask && PictureMask() != mask) TCtlCustomPictureField::SetPictureMask(mask);
        if (IsStringType(FFieldType) && field != nullptr) {
            if (Options() & efoStripLiterals) {
                SetMaxLength(static_cast<uint16_t>(std::min<size_t>(PictureMask().size(), 255)));
            } else {
                const int width = std::clamp(field->DisplayWidth(), 1, 255);
                SetMaxLength(static_cast<uint16_t>(width));
                if (static_cast<int>(PictureMask().size()) > width)
                    TCtlCustomPictureField::SetPictureMask(
                        PictureMask().substr(0, static_cast<size_t>(width)));
            }
        }
    } catch (...) {
        FReconfiguring = false;
        throw;
    }
    FReconfiguring = false;
    // A bound field of another type is shown by its kind; only a type given by hand is refused.
    if (field != nullptr && CtlDbAcceptedFieldType(field->DataType())) SetFieldType(field->DataType());
    FState = 0;
}

// ---- Link notices ---------------------------------------------------------------------------------

void TCtlDbPictureField::DataChange() {
    TField* field = Field();
    if (field == nullptr) {
        SetInitialValue();
        Invalidate();
        return;
    }
    if (field->DataType() != FFieldType) Reconfigure();
    if (DataSource() && DataSource()->State() != dsEdit && DataSource()->State() != dsInsert) {
        SetState(sfKeepSelection, true);
        SetState(sfSelectAll, true);
    }
    Reload();
    Invalidate();
}

void TCtlDbPictureField::EditingChange() {
    if (!(DataSource() && DataSource()->State() == dsEdit)) SetState(sfKeepSelection, true);
}

void TCtlDbPictureField::UpdateData() {
    TField* field = Field();
    if (field == nullptr) return;
    if (GetModified()) {
        const bool pending = GetController()->ErrorPending;
        FWriting = true;
        uint16_t code = 0;
        try {
            code = ValidateContents(!pending);
        } catch (...) {
            FWriting = false;
            throw;
        }
        FWriting = false;
        if (code != 0) Abort();
        WriteField();
    }
}

void TCtlDbPictureField::Reload() {
    TField* field = Field();
    if (FReloading || field == nullptr) return;
    FReloading = true;
    try {
        if (!HandleAllocated()) HandleNeeded();
        TCtlEntryValue before;
        const bool hadValue = GetValue(before) == 0;
        const int selStart = SelStart(), selEnd = SelEnd(), caret = CaretColumn();
        const bool modified = FModified, edited = FEditedSinceSet;
        const std::string textBefore = GetEditText();

        if (DateFieldType()) {
            if (field->IsNull() && DataType() == dtTime)
                SetValue(Int32Value(dtTime, -1));
            else
                TCtlCustomPictureField::SetAsDateTime(field->IsNull() ? -1.0 : field->AsDateTime());
        } else {
            switch (FFieldType) {
                case ftString:
                case ftWideString: {
                    std::string s = field->AsString().substr(0, 255);
                    const bool strip = (Options() & efoStripLiterals) != 0;
                    if (s.size() > MaxLength()) s.resize(MaxLength());
                    if (!s.empty() || strip) {
                        if (!(Options() & (efoTrimBlanks | efoStripLiterals)) && s.size() < MaxLength())
                            s.append(MaxLength() - s.size(), ' ');
                        SetAsString(s);
                    } else {
                        SetEditText(MergeWithPicture(std::string(MaxLength(), ' ')));
                    }
                    break;
                }
                case ftSmallint:
                    SetValue(CtlIntegerValue(dtSmallInt, field->AsInteger()));
                    break;
                case ftWord:
                    SetValue(CtlIntegerValue(dtWord, field->AsInteger()));
                    break;
                case ftInteger:
                    SetValue(CtlIntegerValue(dtLongInt, field->AsInteger()));
                    break;
                case ftBoolean: {
                    TCtlEntryValue v;
                    v.DataType = DataType();
                    v.Bytes.assign(1, field->AsBoolean() ? 1 : 0);
                    SetValue(v);
                    break;
                }
                case ftFloat:
                case ftCurrency:
                case ftBCD:
                    SetValue(ExtendedValue(field->AsFloat()));
                    break;
                default:
                    SetAsString(field->AsString());
                    break;
            }
        }
        FModified = modified;
        FEditedSinceSet = edited;

        TCtlEntryValue after;
        const bool hasValue = GetValue(after) == 0;
        const bool changed = hadValue != hasValue || (hasValue && before.Bytes != after.Bytes) ||
                             (!hasValue && textBefore != GetEditText());
        if (changed) DoOnChange();

        if (HasState(sfKeepSelection))
            SetSelection(static_cast<uint16_t>(selStart), static_cast<uint16_t>(selEnd));
        else if (!Designing()) {
            SetCaretPosition(caret);
            SetSelection(static_cast<uint16_t>(caret), static_cast<uint16_t>(caret));
        }
        if (HasState(sfSelectAll)) {
            SetSelection(0, 255);
            ResetCaretPosition();
            SetState(sfSelectAll, false);
        }
    } catch (...) {
        FReloading = false;
        throw;
    }
    FReloading = false;
}

void TCtlDbPictureField::WriteField() {
    TField* field = Field();
    if (field == nullptr) return;
    if (!GetController()->ErrorPending && !IsValid()) return;
    const bool dates =
        FFieldType == ftDate || FFieldType == ftTime || FFieldType == ftDateTime || FFieldType == ftTimeStamp;
    TCtlEntryValue value;
    double date = 0;
    if (dates) {
        FLastError = 0;
        date = GetAsDateTime();
    } else {
        FLastError = GetValue(value);
    }
    if (FLastError != 0) return;

    bool zero = false;
    if (ZeroAsNull) {
        switch (FFieldType) {
            case ftSmallint:
            case ftWord:
            case ftInteger:
                zero = CtlValueAsInteger(value) == 0;
                break;
            case ftFloat:
            case ftCurrency:
            case ftBCD:
                zero = ExtendedOf(value) == 0;
                break;
            default:
                break;
        }
    }
    FWriting = true;
    try {
        if (IsEmpty() || zero) {
            field->Clear();
        } else {
            switch (field->DataType()) {
                case ftString:
                case ftWideString:
                    field->SetAsString(GetAsString());
                    break;
                case ftSmallint:
                case ftInteger:
                case ftWord:
                    field->SetAsInteger(CtlValueAsInteger(value));
                    break;
                case ftBoolean:
                    field->SetAsBoolean(!value.Bytes.empty() && value.Bytes[0] != 0);
                    break;
                case ftFloat:
                case ftCurrency:
                case ftBCD:
                    field->SetAsFloat(static_cast<double>(ExtendedOf(value)));
                    break;
                case ftDate:
                case ftTime:
                    field->SetAsDateTime(date);
                    break;
                case ftDateTime:
                case ftTimeStamp: {
                    // Only the half the mask edits changes; the other half of the stored value stays.
                    const double old = field->IsNull() ? 0 : field->AsDateTime();
                    if (PictureDataType() == pftDate)
                        field->SetAsDateTime(std::floor(date) + (old - std::floor(old)));
                    else
                        field->SetAsDateTime(std::floor(old) + (date - std::floor(date)));
                    break;
                }
                default:
                    field->SetAsString(GetAsString());
                    break;
            }
        }
    } catch (...) {
        FWriting = false;
        throw;
    }
    FWriting = false;
}

void TCtlDbPictureField::StartEditing() {
    // Entering edit state reloads the record: the user's selection survives it, so that the key
    // that started editing replaces the selected text as it would in edit state.
    SetState(sfKeepSelection, true);
    try {
        FDataLink.Edit();
    } catch (...) {
        SetState(sfKeepSelection, false);
        throw;
    }
    SetState(sfKeepSelection, false);
}

// ---- Entry field operations -----------------------------------------------------------------------

bool TCtlDbPictureField::GetReadOnly() const {
    if (Designing()) return TCtlCustomPictureField::GetReadOnly();
    if ((Options() & efoReadOnly) || DataSource() == nullptr || !FDataLink.CanModify() ||
        !CtlDbAcceptedFieldType(FFieldType))
        return true;
    if (!Enabled()) return false;
    const TDataSetState state = DataSource()->State();
    return state != dsEdit && state != dsInsert;
}

void TCtlDbPictureField::EditCommand(TMessage& Msg, uint16_t Command) {
    if (DataSource() == nullptr) return;
    if (Command == ccPaste || Command == ccCut) {
        if (DataSource()->AutoEdit) {
            StartEditing();
        }
        if (LinkEditing()) TCtlCustomPictureField::EditCommand(Msg, Command);
    } else {
        TCtlCustomPictureField::EditCommand(Msg, Command);
    }
    if (GetSelLength() > 0) SetState(sfKeepSelection, true);
}

void TCtlDbPictureField::IncreaseValue(bool Wrap, double Delta) {
    if (DataSource() == nullptr) return;
    if (DataSource()->AutoEdit && Delta != 0) StartEditing();
    if (LinkEditing() || Delta == 0) TCtlCustomPictureField::IncreaseValue(Wrap, Delta);
}

void TCtlDbPictureField::PerformCut() {
    if (!LinkEditing()) DatabaseError(dbmsg::SNotEditing);
    TCtlCustomPictureField::PerformCut();
    WriteField();
}

void TCtlDbPictureField::PerformPaste() {
    if (!LinkEditing()) DatabaseError(dbmsg::SNotEditing);
    TCtlCustomPictureField::PerformPaste();
    WriteField();
}

void TCtlDbPictureField::DoRestore() {
    TCtlCustomPictureField::DoRestore();
    SetState(sfKeepSelection, true);
    FDataLink.Reset();
}

void TCtlDbPictureField::DoOnChange() {
    if (!FReloading && !FWriting) FDataLink.Modified();
    if (Options() & efoInputRequired) SetUninitialized(false);
    TCtlCustomPictureField::DoOnChange();
}

std::string TCtlDbPictureField::GetDesignTimeString() {
    TField* field = Field();
    if (field == nullptr || !FDataLink.Active()) return TCtlCustomPictureField::GetDesignTimeString();
    if (CtlDbAcceptedFieldType(field->DataType())) {
        Reload();
        return GetDisplayText();
    }
    return CtlDbFieldKindText(*field);
}

void TCtlDbPictureField::CreateWnd() {
    TCtlCustomPictureField::CreateWnd();
    if (TField* field = Field()) {
        if (CtlDbAcceptedFieldType(field->DataType())) SetFieldType(field->DataType());
        Reload();
    }
}

// ---- Messages and painting ------------------------------------------------------------------------

void TCtlDbPictureField::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN: {
            const uint16_t key = Message.WParamLo();
            switch (key) {
                case VK_END:
                case VK_HOME:
                case VK_LEFT:
                case VK_RIGHT:
                case VK_UP:
                case VK_DOWN:
                    SetState(sfKeepSelection, false);
                    break;
                case VK_TAB:
                case VK_RETURN:
                case VK_SHIFT:
                case VK_CONTROL:
                case VK_MENU:
                case VK_CAPITAL:
                case VK_ESCAPE:
                case VK_PRIOR:
                case VK_NEXT:
                case VK_NUMLOCK:
                case VK_SCROLL:
                case 0:
                    break;
                default:
                    if (key >= VK_F1 && key <= VK_F12) break;
                    if (DataSource() && DataSource()->AutoEdit && !(Options() & efoReadOnly)) {
                        const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                        if (!(key == VK_INSERT && !shift)) StartEditing();
                    }
                    break;
            }
            TCtlCustomPictureField::Dispatch(Message);
            return;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            SetState(sfKeepSelection, false);
            TCtlCustomPictureField::Dispatch(Message);
            return;
        case WM_LBUTTONDBLCLK:
            SetState(sfKeepSelection, true);
            TCtlCustomPictureField::Dispatch(Message);
            return;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            TCtlCustomPictureField::Dispatch(Message);
            if (GetSelLength() > 0) SetState(sfKeepSelection, true);
            return;
        case CM_ENTER:
            SetState(sfKeepSelection, true);
            TCtlCustomPictureField::Dispatch(Message);
            return;
        case WM_SETFOCUS:
            SetState(sfFocused, true);
            if (LastError() == 0) Reload();
            TCtlCustomPictureField::Dispatch(Message);
            return;
        case WM_KILLFOCUS: {
            SetState(sfFocused, false);
            TCtlCustomPictureField::Dispatch(Message);
            TCtlController* c = GetController();
            if (LastError() == 0 && LinkEditing() && FDataLink.IsModified() && !c->ErrorPending &&
                !c->DoIsSpecialControl(static_cast<HWND>(Message.WParam)))
                WriteField();
            return;
        }
        case CM_GETDATALINK:
            Message.Result = reinterpret_cast<LRESULT>(&FDataLink);
            return;
        default:
            TCtlCustomPictureField::Dispatch(Message);
    }
}

void TCtlDbPictureField::Paint() {
    TField* field = Field();
    const bool active = DataSource() && DataSource()->DataSet() && DataSource()->DataSet()->Active();
    if (LastError() != 0 || !active || HasState(sfFocused) || !FUseTFieldMask) {
        TCtlCustomPictureField::Paint();
        return;
    }
    // The dataset field's own display format while the field does not have the focus.
    TCanvas& c = Canvas();
    c.Font.Assign(Font());
    c.Brush.Style = bsSolid;
    c.Brush.Color = Color();
    if (!Enabled()) {
        c.Font.Color = EFColors().Disabled().TextColor();
        c.Brush.Color = EFColors().Disabled().BackColor();
    }
    std::string text;
    if (field == nullptr)
        text = GetDesignTimeString();
    else if (!field->IsNull())
        text = field->DisplayText();
    if (Options() & efoPasswordMode) text.assign(text.size(), PasswordChar());
    const TRect client = ClientRect();
    const int width = c.TextWidth(text);
    int x = TextMargin() - 1;
    if (field != nullptr) {
        if (field->Alignment == taRightJustify)
            x = client.Width() - width - TextMargin() - 1;
        else if (field->Alignment == taCenter)
            x = (client.Width() - width) / 2;
    }
    const int y = CtlTextTopOffset(Font(), BorderStyle() == bsSingle, Height(), Ctl3D());
    c.FillRect(client);
    c.TextRect(client, x, y, text);
}

}  // namespace grid
