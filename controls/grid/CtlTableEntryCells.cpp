#include "controls/grid/CtlTableEntryCells.h"

#include <cassert>

#include "controls/entry/CtlMessages.h"

namespace grid {

using namespace framework;

namespace {
constexpr int MaxShortString = 255;
constexpr const char* DefaultPictureMask = "XXXXXXXXXXXXXXX";

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= 32;
}
}  // namespace

// ---- Editors ----

bool TCtlEntryCellEditor::HandleMessage(entry::TCtlBaseEntryField& Field, TMessage& M,
                                        const std::function<void(TMessage&)>& Inherited) {
    switch (M.Msg) {
        case WM_CHAR:
            return M.WParamLo() == VK_TAB;  // dropped
        case WM_GETDLGCODE:
            Inherited(M);
            if (FCell->TableTabToArrow()) M.Result |= DLGC_WANTTAB;
            if (FCell->TableEnterToArrow()) M.Result |= DLGC_WANTALLKEYS;
            return true;
        case WM_KEYDOWN: {
            TWMKey Key{M};
            const uint16_t Code = Key.CharCode();
            switch (FCell->FilterTableKey(Key)) {
                case okcWanted:
                    if ((Code == VK_PRIOR || Code == VK_NEXT || Code == VK_UP || Code == VK_DOWN) &&
                        Field.IsValid()) {
                        FCell->ForwardKey(Code, M.LParam);
                        return true;
                    }
                    return false;
                case okcRequired:
                    if (Code == VK_ESCAPE) Field.Restore();
                    FCell->ForwardKey(Code, M.LParam);
                    return true;
                default:
                    return false;
            }
        }
        case WM_SETFOCUS:
            Inherited(M);
            FCell->PostToTable(TM_EDITORFOCUSED, M.WParam, 0);
            return true;
        case WM_KILLFOCUS:
            Inherited(M);
            FCell->PostToTable(TM_EDITORUNFOCUSED, M.WParam, Field.LastError());
            return true;
        default:
            return false;
    }
}

void TCtlEntryCellEditor::PostArrow(uint16_t Key) const {
    FCell->ForwardKey(Key, 0);
}

void TCtlTCNumericFieldEdit::WndProc(TMessage& M) {
    if (!HandleMessage(*this, M, [this](TMessage& X) { entry::TCtlNumericField::WndProc(X); }))
        entry::TCtlNumericField::WndProc(M);
}

void TCtlTCPictureFieldEdit::WndProc(TMessage& M) {
    if (!HandleMessage(*this, M, [this](TMessage& X) { entry::TCtlPictureField::WndProc(X); }))
        entry::TCtlPictureField::WndProc(M);
}

// ---- The common cell ----

TCtlTCBaseEntryField::TCtlTCBaseEntryField(TComponent* AOwner) : TCtlTCBaseString(AOwner) {}

TCtlTCBaseEntryField::~TCtlTCBaseEntryField() {
    // The owned fields go with the cell; forget them first so that their removal finds nothing.
    FEdit = nullptr;
    FPaint = nullptr;
}

void TCtlTCBaseEntryField::CreateFields() {
    FEdit = CreateEditor(this);
    FEdit->SetVisible(false);
    FPaint = CreateEditor(this);
    FPaint->SetVisible(false);
}

void TCtlTCBaseEntryField::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlTCBaseString::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FEdit) FEdit = nullptr;
    if (AComponent == FPaint) FPaint = nullptr;
}

entry::TCtlEntryFieldOptions TCtlTCBaseEntryField::Options() const {
    return FEdit ? FEdit->Options() : 0;
}
void TCtlTCBaseEntryField::SetOptions(entry::TCtlEntryFieldOptions Value) {
    SetBoth<entry::TCtlBaseEntryField>([&](auto& F) { F.SetOptions(Value); });
}
char TCtlTCBaseEntryField::PadChar() const {
    return FEdit ? FEdit->PadChar() : ' ';
}
void TCtlTCBaseEntryField::SetPadChar(char Value) {
    SetBoth<entry::TCtlBaseEntryField>([&](auto& F) { F.SetPadChar(Value); });
}
int32_t TCtlTCBaseEntryField::TextMargin() const {
    return FEdit ? FEdit->TextMargin() : 0;
}
void TCtlTCBaseEntryField::SetTextMargin(int32_t Value) {
    if (FEdit) FEdit->SetTextMargin(Value);
}
std::string TCtlTCBaseEntryField::RangeHi() const {
    return FEdit ? FEdit->GetRangeHi() : std::string();
}
std::string TCtlTCBaseEntryField::RangeLo() const {
    return FEdit ? FEdit->GetRangeLo() : std::string();
}
void TCtlTCBaseEntryField::SetRangeHi(const std::string& Value) {
    if (FEdit) FEdit->SetRangeHi(Value);
}
void TCtlTCBaseEntryField::SetRangeLo(const std::string& Value) {
    if (FEdit) FEdit->SetRangeLo(Value);
}
entry::TCtlCaret* TCtlTCBaseEntryField::CaretIns() const {
    return FEdit ? FEdit->CaretIns() : nullptr;
}
entry::TCtlEfColors* TCtlTCBaseEntryField::EFColors() const {
    return FEdit ? &FEdit->EFColors() : nullptr;
}
uint16_t TCtlTCBaseEntryField::DataSize() const {
    return FEdit ? FEdit->GetDataSize() : 0;
}

void TCtlTCBaseEntryField::DefineProperties(TFiler* Filer) {
    TCtlTCBaseString::DefineProperties(Filer);
    // The range limits stream as the editor's own binary properties.
    if (FEdit) FEdit->DefineProperties(Filer);
}

void TCtlTCBaseEntryField::AttachToTable(entry::TCtlBaseEntryField& Field) {
    // A grid always resolves a controller (its own or the default one).
    assert(Table() && Table()->Controller());
    Field.SetController(Table()->Controller());
    Field.SetParent(Table());
}

void TCtlTCBaseEntryField::StartEditing(int32_t, int32_t, const TRect& CellRect,
                                        const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                                        const TCtlCellValue* Data) {
    if (!FEdit || !Table()) return;
    entry::TCtlEntryValue Value;
    Value.DataType = FEdit->DataType();
    Value.Bytes.assign(FEdit->GetDataSize(), 0);
    if (Data && Data->Kind == TCtlCellValue::cvEntry && Data->Entry.DataType == Value.DataType &&
        Data->Entry.Bytes.size() == Value.Bytes.size())
        Value = Data->Entry;
    if (CellAttr.Font) FEdit->Font().Assign(*CellAttr.Font);
    FEdit->Font().Color = CellAttr.FontColor;
    FEdit->SetColor(CellAttr.Color);
    FEdit->SetBorderStyle(CellStyle == tesBorder ? bsSingle : bsNone);
    FEdit->SetCtl3D(CellStyle == tes3D);
    AttachToTable(*FEdit);
    PlaceEditor(*FEdit, CellRect);
    FEdit->SetValue(Value);
    FEdit->SetVisible(true);
    FEdit->OnChange = OnChange;
    FEdit->OnError = OnError;
    FEdit->OnUserCommand = OnUserCommand;
    FEdit->OnUserValidation = OnUserValidation;
    FEditing = true;
}

bool TCtlTCBaseEntryField::SaveEditedData(TCtlCellValue* Data) {
    if (!FEdit || !Data) return false;
    if (Data->Kind != TCtlCellValue::cvEntry && Data->Kind != TCtlCellValue::cvNone) {
        assert(!"entry-field cell given a value of another kind");
        return false;
    }
    entry::TCtlEntryValue Value;
    Value.DataType = FEdit->DataType();
    Value.Bytes.assign(FEdit->GetDataSize(), 0);
    FEdit->GetValue(Value);
    Data->Kind = TCtlCellValue::cvEntry;
    Data->Entry = std::move(Value);
    return true;
}

void TCtlTCBaseEntryField::StopEditing(bool SaveValue, TCtlCellValue* Data) {
    if (SaveValue && Data) SaveEditedData(Data);
    FEditing = false;
    EditHide();
}

bool TCtlTCBaseEntryField::CanStopEditing(bool SaveValue) {
    if (!FEdit) return true;
    if (SaveValue) {
        if (Table() && Table()->Controller() && Table()->Controller()->ErrorPending) return false;
        return FEdit->IsValid();
    }
    FEdit->Restore();
    return true;
}

TWinControl* TCtlTCBaseEntryField::EditControl() const {
    return FEdit;
}
HWND TCtlTCBaseEntryField::EditHandle() const {
    return FEdit && FEdit->HandleAllocated() ? FEdit->Handle() : 0;
}
void TCtlTCBaseEntryField::EditHide() {
    if (FEdit) FEdit->SetVisible(false);
}
void TCtlTCBaseEntryField::EditMove(const TRect& CellRect) {
    if (!FEdit) return;
    FEdit->SetBounds(CellRect.Left, CellRect.Top, CellRect.Width(), CellRect.Height());
    FEdit->SetVisible(true);
    FEdit->Invalidate();
    FEdit->Update();
}
bool TCtlTCBaseEntryField::EditorModified() const {
    return FEdit && FEdit->GetModified();
}

std::string TCtlTCBaseEntryField::DisplayTextOf(const TCtlCellValue& Data) {
    if (Table()) AttachToTable(*FPaint);
    entry::TCtlEntryValue Value;
    Value.DataType = FPaint->DataType();
    Value.Bytes.assign(FPaint->GetDataSize(), 0);
    if (Data.Kind == TCtlCellValue::cvEntry && Data.Entry.DataType == Value.DataType &&
        Data.Entry.Bytes.size() == Value.Bytes.size())
        Value = Data.Entry;
    FPaint->SetValue(Value);
    std::string Text = FPaint->GetDisplayText().substr(0, MaxShortString);
    size_t First = 0, Last = Text.size();
    while (First < Last && IsBlankOrControl(Text[First])) ++First;
    while (Last > First && IsBlankOrControl(Text[Last - 1])) --Last;
    return Text.substr(First, Last - First);
}

void TCtlTCBaseEntryField::Paint(TCanvas& TableCanvas, const TRect& CellRect, int32_t RowNum, int32_t ColNum,
                                 const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) {
    if (!Data || !FPaint) {
        TCtlTCBaseString::Paint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, nullptr);
        return;
    }
    std::string Text;
    try {
        Text = DisplayTextOf(*Data);
    } catch (const entry::EInvalidDateForMask&) {
        Text = CtlUnshowableValue;
    } catch (const entry::EInvalidPictureMask&) {
        Text = CtlUnshowableValue;
    }
    const TCtlCellValue Shown = TCtlCellValue::String(Text);
    TCtlTCBaseString::Paint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, &Shown);
}

// ---- Numeric cell ----

TCtlTCCustomNumericField::TCtlTCCustomNumericField(TComponent* AOwner) : TCtlTCBaseEntryField(AOwner) {
    CreateFields();
}

entry::TCtlBaseEntryField* TCtlTCCustomNumericField::CreateEditor(TComponent* AOwner) {
    return NewComponent<TCtlTCNumericFieldEdit>(AOwner, this);
}

entry::TNumericDataType TCtlTCCustomNumericField::DataType() const {
    return FEdit ? static_cast<entry::TCtlNumericField*>(FEdit)->NumericDataType() : entry::nftLongInt;
}
void TCtlTCCustomNumericField::SetDataType(entry::TNumericDataType Value) {
    SetBoth<entry::TCtlNumericField>([&](auto& F) { F.SetDataType(Value); });
    NotifyChanged();
}
std::string TCtlTCCustomNumericField::PictureMask() const {
    return FEdit ? FEdit->PictureMask() : std::string();
}
void TCtlTCCustomNumericField::SetPictureMask(const std::string& Value) {
    SetBoth<entry::TCtlNumericField>([&](auto& F) { F.SetPictureMask(Value); });
    NotifyChanged();
}

// ---- Picture cell ----

TCtlTCCustomPictureField::TCtlTCCustomPictureField(TComponent* AOwner) : TCtlTCBaseEntryField(AOwner) {
    CreateFields();
    SetOptions(entry::efoCaretToEnd);
}

entry::TCtlBaseEntryField* TCtlTCCustomPictureField::CreateEditor(TComponent* AOwner) {
    return NewComponent<TCtlTCPictureFieldEdit>(AOwner, this);
}

entry::TPictureDataType TCtlTCCustomPictureField::DataType() const {
    return FEdit ? static_cast<entry::TCtlPictureField*>(FEdit)->PictureDataType() : entry::pftString;
}
void TCtlTCCustomPictureField::SetDataType(entry::TPictureDataType Value) {
    SetBoth<entry::TCtlPictureField>([&](auto& F) { F.SetDataType(Value); });
    NotifyChanged();
}
std::string TCtlTCCustomPictureField::PictureMask() const {
    return FEdit ? FEdit->PictureMask() : std::string(DefaultPictureMask);
}
void TCtlTCCustomPictureField::SetPictureMask(const std::string& Value) {
    SetBoth<entry::TCtlPictureField>([&](auto& F) {
        F.SetPictureMask(Value);
        if (F.HandleAllocated()) F.RecreateWnd();
    });
    NotifyChanged();
}
entry::TCtlCaret* TCtlTCCustomPictureField::CaretOvr() const {
    return FEdit ? FEdit->CaretOvr() : nullptr;
}
TColor TCtlTCCustomPictureField::ControlCharColor() const {
    return FEdit ? FEdit->ControlCharColor : clRed;
}
void TCtlTCCustomPictureField::SetControlCharColor(TColor Value) {
    if (FEdit) FEdit->ControlCharColor = Value;
}
uint8_t TCtlTCCustomPictureField::DecimalPlaces() const {
    return FEdit ? FEdit->DecimalPlaces() : 0;
}
void TCtlTCCustomPictureField::SetDecimalPlaces(uint8_t Value) {
    SetBoth<entry::TCtlPictureField>([&](auto& F) { F.SetDecimalPlaces(Value); });
}
int32_t TCtlTCCustomPictureField::Epoch() const {
    return FEdit ? FEdit->Epoch() : 0;
}
void TCtlTCCustomPictureField::SetEpoch(int32_t Value) {
    SetBoth<entry::TCtlPictureField>([&](auto& F) { F.SetEpoch(Value); });
}
uint16_t TCtlTCCustomPictureField::MaxLength() const {
    return FEdit ? FEdit->MaxLength() : 0;
}
void TCtlTCCustomPictureField::SetMaxLength(uint16_t Value) {
    SetBoth<entry::TCtlPictureField>([&](auto& F) { F.SetMaxLength(Value); });
    NotifyChanged();
}
char TCtlTCCustomPictureField::PasswordChar() const {
    return FEdit ? FEdit->PasswordChar() : '*';
}
void TCtlTCCustomPictureField::SetPasswordChar(char Value) {
    SetBoth<entry::TCtlPictureField>([&](auto& F) { F.SetPasswordChar(Value); });
}

}  // namespace grid
