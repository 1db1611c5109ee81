#include "controls/grid/CtlDbDateEdit.h"

#include <cmath>

#include "controls/grid/CtlDbPictureField.h"
#include "framework/data/Fields.h"
#include "framework/ui/Messages.h"
#include "platform/Beep.h"

namespace grid {

using namespace framework;
using namespace entry;

TCtlCustomDbDateEdit::TCtlCustomDbDateEdit(TComponent* AOwner) : TCtlCustomDateEdit(AOwner) {
    TCtlCustomDateEdit::SetReadOnly(true);
    ControlStyle |= csReplicatable;
    FDataLink.Control = this;
    FDataLink.OnDataChange = [this](TObject*) { DataChange(); };
    FDataLink.OnEditingChange = [this](TObject*) { EditingChange(); };
    FDataLink.OnUpdateData = [this](TObject*) { UpdateData(); };
}

TCtlCustomDbDateEdit::~TCtlCustomDbDateEdit() {
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnEditingChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
    FDataLink.SetDataSource(nullptr);
}

void TCtlCustomDbDateEdit::SetDataField(const std::string& Value) {
    try {
        FDataLink.SetFieldName(Value);
    } catch (...) {
        FDataLink.SetFieldName("");
        throw;
    }
}

void TCtlCustomDbDateEdit::SetDataSource(TDataSource* Value) {
    if (DataSource()) DataSource()->RemoveFreeNotification(this);
    FDataLink.SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
}

void TCtlCustomDbDateEdit::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlCustomDateEdit::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent != nullptr && AComponent == DataSource()) SetDataSource(nullptr);
}

bool TCtlCustomDbDateEdit::DateField() const {
    TField* f = FDataLink.Field();
    return f != nullptr &&
           (f->DataType() == ftDate || f->DataType() == ftDateTime || f->DataType() == ftFloat);
}

bool TCtlCustomDbDateEdit::ReadOnly() const {
    if (FDataLink.Field() != nullptr && !DateField()) return true;
    return FDataLink.ReadOnly();
}

bool TCtlCustomDbDateEdit::IsButtonEnabled() const {
    if (ComponentState() & csDesigning) return true;
    return FDataLink.DataSource() != nullptr && (FDataLink.Editing() || FDataLink.DataSource()->AutoEdit);
}

// ---- Link notices ---------------------------------------------------------------------------------

void TCtlCustomDbDateEdit::DataChange() {
    // Showing the same text again (the record entering edit state) keeps the user's selection.
    const std::string before = Text();
    const int selStart = SelStart(), selLength = SelLength();
    ShowField();
    if (Text() == before) {
        SetSelStart(selStart);
        SetSelLength(selLength);
    }
}

void TCtlCustomDbDateEdit::ShowField() {
    TField* f = FDataLink.Field();
    if (f == nullptr) {
        FAlignment = taLeftJustify;
        SetText((ComponentState() & csDesigning) ? Name() : std::string());
        return;
    }
    if (f->Alignment != FAlignment) {
        FAlignment = f->Alignment;
        SetText("");
    }
    switch (f->DataType()) {
        case ftDate:
        case ftDateTime:
            if (f->IsNull())
                SetText("");
            else
                SetDate(std::floor(f->AsDateTime()));
            break;
        case ftFloat:
            if (f->IsNull())
                SetText("");
            else
                SetDate(std::floor(f->AsFloat()));
            break;
        default:
            SetText(CtlDbFieldKindText(*f));
            break;
    }
    SetModified(false);
}

void TCtlCustomDbDateEdit::EditingChange() {
    TCtlCustomDateEdit::SetReadOnly(!FDataLink.Editing());
    if (Button() != nullptr) Button()->SetEnabled(IsButtonEnabled());
}

void TCtlCustomDbDateEdit::StoreDate() {
    TField* f = FDataLink.Field();
    if (f == nullptr) return;
    const bool floatField = f->DataType() == ftFloat;
    const double old = f->IsNull() ? 0 : (floatField ? f->AsFloat() : f->AsDateTime());
    const double time = old - std::floor(old);
    auto put = [f, floatField](double V) {
        if (floatField)
            f->SetAsFloat(V);
        else
            f->SetAsDateTime(V);
    };
    if (!Trim(Text()).empty()) {
        TCtlCustomDateEdit::DoExit();  // parses; a text that is no date raises here
        double date = std::floor(GetDate());
        if (PreserveTime) date += time;
        put(date);
    } else if (!PreserveTime || f->DataType() == ftDate || time == 0) {
        f->Clear();
    } else {
        put(time);
    }
}

void TCtlCustomDbDateEdit::UpdateData() {
    TField* f = FDataLink.Field();
    if (f == nullptr) return;
    if (DateField())
        StoreDate();
    else
        f->SetAsString(Text());
}

// ---- Editing --------------------------------------------------------------------------------------

void TCtlCustomDbDateEdit::PopupOpen() {
    TCtlCustomDateEdit::PopupOpen();
    FDataLink.Edit();
}

void TCtlCustomDbDateEdit::PopupClose(TObject* Sender) {
    TCtlCustomDateEdit::PopupClose(Sender);
    if (!Focused()) Perform(CM_EXIT, 0, 0);
}

void TCtlCustomDbDateEdit::Change() {
    FDataLink.Modified();
    TCtlCustomDateEdit::Change();
}

void TCtlCustomDbDateEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
    // Editing starts before the edit takes the key (it is read-only outside edit state).
    if (Key == VK_DELETE || (Key == VK_INSERT && (Shift & ssShift))) FDataLink.Edit();
    TCtlCustomDateEdit::KeyDown(Key, Shift);
}

void TCtlCustomDbDateEdit::KeyPress(char& Key) {
    const bool step = AllowIncDec && (Key == '+' || Key == '-');
    TField* f = FDataLink.Field();
    const auto c = static_cast<unsigned char>(Key);
    // A float field's own character check is for number text, not for the date typed here.
    if (!step && c >= 32 && f != nullptr && f->DataType() != ftFloat && !f->IsValidChar(Key)) {
        platform::MessageBeep(0);
        Key = 0;
        return;
    }
    if (Key == 27) {
        FDataLink.Reset();
        SelectAll();
        Key = 0;
        return;
    }
    // Editing starts before the key is taken: the edit is read-only outside edit state, so a
    // key that puts the record into edit state is not lost.
    if (step || Key == '\b' || Key == 22 || Key == 24 || c >= 32) FDataLink.Edit();
    TCtlCustomDateEdit::KeyPress(Key);
    if (step && FDataLink.Editing()) StoreDate();
}

void TCtlCustomDbDateEdit::SetFocused(bool Value) {
    if (FFocused == Value) return;
    FFocused = Value;
    if (FAlignment != taLeftJustify) Invalidate();
    FDataLink.Reset();
}

void TCtlCustomDbDateEdit::Exit(TMessage& Message) {
    (void)Message;
    if (PopupIsOpen()) return;
    if (AutoUpdate) {
        const bool modified = Modified();
        TCtlCustomDateEdit::DoExit();
        if (modified) {
            try {
                FDataLink.Modified();
                FDataLink.UpdateRecord();
            } catch (...) {
                SelectAll();
                if (CanFocus()) SetFocus();
                throw;
            }
        }
    }
    SetFocused(false);
}

void TCtlCustomDbDateEdit::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_ENTER:
            SetFocused(true);
            TCtlCustomDateEdit::Dispatch(Message);
            return;
        case CM_EXIT:
            Exit(Message);
            return;
        case WM_CUT:
        case WM_PASTE:
            FDataLink.Edit();
            TCtlCustomDateEdit::Dispatch(Message);
            return;
        case CM_GETDATALINK:
            Message.Result = reinterpret_cast<LRESULT>(&FDataLink);
            return;
        default:
            TCtlCustomDateEdit::Dispatch(Message);
    }
}

}  // namespace grid
