#include "framework/dbctrls/DBCtrls.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "framework/core/SysUtils.h"
#include "framework/dbctrls/DBLogin.h"
#include "framework/stdctrls/Dialogs.h"

namespace framework {

namespace {
// The session's remote login asks the login dialog of this library from the start.
struct Installer {
    Installer() { InstallRemoteLoginDialog(); }
} installer;

// The ";"-separated alternatives of a check box value.
std::vector<std::string> Alternatives(const std::string& Values) {
    std::vector<std::string> r;
    size_t start = 0;
    for (;;) {
        size_t semi = Values.find(';', start);
        r.push_back(Values.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    return r;
}

bool MatchesValue(const std::string& Text, const std::string& Values) {
    for (const std::string& v : Alternatives(Values))
        if (AnsiSameText(Text, v)) return true;
    return false;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// TDBEdit, TDBMemo

template <class TBase>
TDBEditBase<TBase>::TDBEditBase(TComponent* AOwner) : TDataAware<TBase>(AOwner) {
    FDataLink.OnDataChange = [this](TObject*) { DataChange(); };
    FDataLink.OnEditingChange = [this](TObject*) { EditingChange(); };
    FDataLink.OnUpdateData = [this](TObject*) { UpdateData(); };
    FDataLink.OnActiveChange = [this](TObject*) { ActiveChange(); };
    this->FReadOnly = true;
}

template <class TBase>
void TDBEditBase<TBase>::SetReadOnly(bool Value) {
    TDataAware<TBase>::SetReadOnly(Value);
    EditingChange();
}

template <class TBase>
std::string TDBEditBase<TBase>::FieldText() const {
    TField* f = FDataLink.Field();
    if (!f) return "";
    if constexpr (std::is_base_of_v<TCustomMemo, TBase>) {
        return f->AsString();
    } else {
        // While the user works in it, the control offers the editing form of the value.
        return FFocused && FDataLink.CanModify() ? f->Text() : f->DisplayText();
    }
}

template <class TBase>
void TDBEditBase<TBase>::ActiveChange() {
    // A string field limits the length unless the program set a limit of its own.
    TField* f = FDataLink.Field();
    bool stringField = f && dynamic_cast<TStringField*>(f);
    if (stringField && (this->MaxLength() == 0 || FAutoMaxLength)) {
        this->SetMaxLength(f->Size());
        FAutoMaxLength = true;
    } else if (!stringField && FAutoMaxLength) {
        this->SetMaxLength(0);
        FAutoMaxLength = false;
    }
}

template <class TBase>
void TDBEditBase<TBase>::DataChange() {
    ActiveChange();
    // The same text again (the dataset entering edit state as the user starts typing) leaves the
    // caret and the selection where they are.
    std::string text = FieldText();
    if (text != this->Text()) {
        FLoading = true;
        try {
            this->SetText(text);
        } catch (...) {
            FLoading = false;
            throw;
        }
        FLoading = false;
    }
    EditingChange();
}

template <class TBase>
void TDBEditBase<TBase>::EditingChange() {
    this->FReadOnly = !FDataLink.Editing();
}

template <class TBase>
void TDBEditBase<TBase>::UpdateData() {
    TField* f = FDataLink.Field();
    if (!f) return;
    if constexpr (std::is_base_of_v<TCustomMemo, TBase>)
        f->SetAsString(this->Text());
    else
        f->SetText(this->Text());
}

template <class TBase>
void TDBEditBase<TBase>::Change() {
    if (!FLoading) FDataLink.Modified();
    TBase::Change();
}

template <class TBase>
bool TDBEditBase<TBase>::CanChange(int Removing, bool Inserting) const {
    // Removing: -1 before the caret (Backspace), 1 after it (Delete), 0 only the selection.
    int length = static_cast<int>(this->Text().size());
    int caret = this->SelStart();
    bool removes = this->SelLength() > 0 || (Removing < 0 && caret > 0) || (Removing > 0 && caret < length);
    bool room = this->MaxLength() == 0 || length - this->SelLength() < this->MaxLength();
    return removes || (Inserting && room);
}

template <class TBase>
void TDBEditBase<TBase>::KeyDown(uint16_t& Key, TShiftState Shift) {
    if ((Key == VK_DELETE && CanChange(1, false)) || (Key == VK_INSERT && (Shift & ssShift)))
        FDataLink.Edit();
    TBase::KeyDown(Key, Shift);
}

template <class TBase>
void TDBEditBase<TBase>::KeyPress(char& Key) {
    auto k = static_cast<unsigned char>(Key);
    TField* f = FDataLink.Field();
    if (k >= 32 && f && !f->IsValidChar(Key)) {
        MessageBeep(0);
        Key = 0;
        return;
    }
    constexpr bool memo = std::is_base_of_v<TCustomMemo, TBase>;
    // The dataset enters edit state only for a key that changes the text.
    switch (k) {
        case 8:  // Backspace
            if (CanChange(-1, false)) FDataLink.Edit();
            break;
        case 22:  // Ctrl+V
            FDataLink.Edit();
            break;
        case 24:  // Ctrl+X
            if (CanChange(0, false)) FDataLink.Edit();
            break;
        case '\r':
            if (memo && CanChange(0, true)) FDataLink.Edit();
            break;
        case 27:  // Escape drops the change
            FDataLink.Reset();
            if (!memo) this->SelectAll();
            Key = 0;
            return;
        default:
            if (k >= 32 && CanChange(0, true)) FDataLink.Edit();
            break;
    }
    TBase::KeyPress(Key);
}

template <class TBase>
void TDBEditBase<TBase>::DoEnter() {
    FFocused = true;
    FDataLink.Reset();
    TBase::DoEnter();
}

template <class TBase>
void TDBEditBase<TBase>::DoExit() {
    try {
        FDataLink.UpdateRecord();
    } catch (...) {
        this->SelectAll();
        throw;
    }
    FFocused = false;
    FDataLink.Reset();
    TBase::DoExit();
}

template class TDBEditBase<TCustomEdit>;
template class TDBEditBase<TCustomMemo>;

// ---------------------------------------------------------------------------------------------
// TDBText

TDBText::TDBText(TComponent* AOwner) : TDataAware<TCustomLabel>(AOwner) {
    SetAutoSize(false);
    SetShowAccelChar(false);
    FDataLink.OnDataChange = [this](TObject*) {
        TField* f = FDataLink.Field();
        SetCaption(f ? f->DisplayText() : std::string());
    };
}

// ---------------------------------------------------------------------------------------------
// TDBCheckBox

TDBCheckBox::TDBCheckBox(TComponent* AOwner) : TDataAware<TCustomCheckBox>(AOwner) {
    FDataLink.OnDataChange = [this](TObject*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TObject*) { UpdateData(); };
}

void TDBCheckBox::DataChange() {
    TField* f = FDataLink.Field();
    TCheckBoxState s = cbUnchecked;
    if (f && f->IsNull()) {
        // A blank field: grayed where that is allowed, else unchecked.
        s = AllowGrayed ? cbGrayed : cbUnchecked;
    } else if (f && f->DataType() == ftBoolean) {
        s = f->AsBoolean() ? cbChecked : cbUnchecked;
    } else if (f) {
        std::string text = f->Text();
        if (MatchesValue(text, ValueChecked))
            s = cbChecked;
        else if (MatchesValue(text, ValueUnchecked))
            s = cbUnchecked;
        else
            s = AllowGrayed ? cbGrayed : cbUnchecked;
    }
    SetState(s);
}

void TDBCheckBox::UpdateData() {
    TField* f = FDataLink.Field();
    if (!f) return;
    if (State() == cbGrayed) {
        f->Clear();
    } else if (f->DataType() == ftBoolean) {
        f->SetAsBoolean(Checked());
    } else {
        f->SetText(Alternatives(Checked() ? ValueChecked : ValueUnchecked).front());
    }
}

void TDBCheckBox::Toggle() {
    if (!FDataLink.Edit()) return;
    TCustomCheckBox::Toggle();
    FDataLink.Modified();
    FDataLink.UpdateRecord();
}

// ---------------------------------------------------------------------------------------------
// TDBComboBox

TDBComboBox::TDBComboBox(TComponent* AOwner) : TDataAware<TCustomComboBox>(AOwner) {
    FDataLink.OnDataChange = [this](TObject*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TObject*) { UpdateData(); };
}

void TDBComboBox::DataChange() {
    TField* f = FDataLink.Field();
    FLoading = true;
    try {
        SetText(f ? f->Text() : std::string());
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
}

void TDBComboBox::UpdateData() {
    if (TField* f = FDataLink.Field()) f->SetText(Text());
}

void TDBComboBox::Click() {
    if (!FLoading) {
        // A choice the dataset cannot take goes back to the field's value. Entering edit state
        // shows the record again, so the choice is made once more after it.
        int chosen = ItemIndex();
        if (!FDataLink.Edit()) {
            FDataLink.Reset();
            return;
        }
        FLoading = true;
        SetItemIndex(chosen);
        FLoading = false;
        FDataLink.Modified();
        FDataLink.UpdateRecord();
    }
    TCustomComboBox::Click();
}

void TDBComboBox::Change() {
    if (!FLoading) FDataLink.Modified();
    TCustomComboBox::Change();
}

void TDBComboBox::KeyPress(char& Key) {
    auto k = static_cast<unsigned char>(Key);
    if (EditableText() && (k >= 32 || k == 8 || k == 22 || k == 24) && !FDataLink.Edit()) {
        Key = 0;
        return;
    }
    if (k == 27) {
        FDataLink.Reset();
        Key = 0;
        return;
    }
    TCustomComboBox::KeyPress(Key);
}

void TDBComboBox::DoExit() {
    FDataLink.UpdateRecord();
    TCustomComboBox::DoExit();
}

// ---------------------------------------------------------------------------------------------
// TDBNavigator

namespace {
const char* const DefaultHints[NavButtonCount] = {
    "First record",  "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record",  "Post edit",   "Cancel edit", "Refresh data"};
const char* const ButtonNames[NavButtonCount] = {"First",  "Prior", "Next", "Last",   "Insert",
                                                 "Delete", "Edit",  "Post", "Cancel", "Refresh"};
}  // namespace

class TDBNavigator::TNavDataLink : public TDataLink {
public:
    explicit TNavDataLink(TDBNavigator* Navigator) : FNavigator(Navigator) {}

protected:
    void ActiveChanged() override { FNavigator->UpdateButtons(); }
    void DataSetChanged() override { FNavigator->UpdateButtons(); }
    void EditingChanged() override { FNavigator->UpdateButtons(); }

private:
    TDBNavigator* FNavigator;
};

TNavButton::TNavButton(TComponent* AOwner, TNavigateBtn Index) : TSpeedButton(AOwner), FIndex(Index) {}

void TNavButton::Paint() {
    TSpeedButton::Paint();
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    // The sign sits in a 9 x 9 box at the centre.
    int x = (r.Left + r.Right) / 2 - 4;
    int y = (r.Top + r.Bottom) / 2 - 4;
    TColor ink = FEnabled ? clBlack : clGrayText;
    c.Pen.Color = ink;
    c.Brush.Color = ink;
    c.Brush.Style = bsSolid;
    auto tri = [&](int tipX, int baseX, int top, int bottom) {
        c.Polygon({TPoint{tipX, (top + bottom) / 2}, TPoint{baseX, top}, TPoint{baseX, bottom}});
    };
    switch (FIndex) {
        case nbFirst:
            c.FillRect(Rect(x + 1, y, x + 3, y + 9));
            tri(x + 3, x + 7, y, y + 8);
            break;
        case nbPrior:
            tri(x + 2, x + 6, y, y + 8);
            break;
        case nbNext:
            tri(x + 6, x + 2, y, y + 8);
            break;
        case nbLast:
            tri(x + 5, x + 1, y, y + 8);
            c.FillRect(Rect(x + 6, y, x + 8, y + 9));
            break;
        case nbInsert:
            c.FillRect(Rect(x, y + 3, x + 9, y + 6));
            c.FillRect(Rect(x + 3, y, x + 6, y + 9));
            break;
        case nbDelete:
            c.FillRect(Rect(x, y + 3, x + 9, y + 6));
            break;
        case nbEdit:
            c.Polygon({TPoint{x + 4, y + 1}, TPoint{x + 8, y + 6}, TPoint{x, y + 6}});
            break;
        case nbPost:
            c.Pen.Width = 2;
            c.Polyline({TPoint{x, y + 4}, TPoint{x + 3, y + 7}, TPoint{x + 8, y + 1}});
            c.Pen.Width = 1;
            break;
        case nbCancel:
            c.Pen.Width = 2;
            c.MoveTo(x + 1, y + 1);
            c.LineTo(x + 8, y + 8);
            c.MoveTo(x + 8, y + 1);
            c.LineTo(x + 1, y + 8);
            c.Pen.Width = 1;
            break;
        case nbRefresh:
            c.Brush.Style = bsClear;
            c.Pen.Width = 2;
            c.Arc(x, y, x + 9, y + 9, x + 6, y, x + 9, y + 2);
            c.Pen.Width = 1;
            c.Brush.Style = bsSolid;
            c.Polygon({TPoint{x + 6, y - 1}, TPoint{x + 10, y + 3}, TPoint{x + 10, y - 1}});
            break;
    }
    c.Brush.Color = clBtnFace;
}

TDBNavigator::TDBNavigator(TComponent* AOwner)
    : TCustomPanel(AOwner),
      FDataLink(std::make_unique<TNavDataLink>(this)),
      FHints(std::make_unique<TStringList>()) {
    SetBevelOuter(bvNone);
    SetCaption("");
    for (int i = 0; i < NavButtonCount; ++i) {
        auto b = static_cast<TNavigateBtn>(i);
        TNavButton* button = NewComponent<TNavButton>(this, b);
        button->SetName(std::string("Nav") + ButtonNames[i]);
        button->SetParent(this);
        button->OnClick = [this, b](TObject*) { BtnClick(b); };
        FButtons[i] = button;
    }
    FHints->OnChange = [this](TObject*) { ApplyHints(); };
    ApplyHints();
    SetBounds(0, 0, 241, 25);
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() {
    FHints->OnChange = nullptr;
    FDataLink->SetDataSource(nullptr);
}

TDataSource* TDBNavigator::DataSource() const {
    return FDataLink->DataSource();
}

void TDBNavigator::SetDataSource(TDataSource* Value) {
    if (FDataLink->DataSource() == Value) return;
    if (FDataLink->DataSource()) FDataLink->DataSource()->RemoveFreeNotification(this);
    FDataLink->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
    UpdateButtons();
}

void TDBNavigator::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomPanel::Notification(AComponent, Operation);
    if (Operation == opRemove && FDataLink && AComponent && AComponent == FDataLink->DataSource()) {
        FDataLink->SetDataSource(nullptr);
        UpdateButtons();
    }
}

void TDBNavigator::SetVisibleButtons(TNavButtonSet Value) {
    FVisibleButtons = Value & nbAllButtons;
    for (int i = 0; i < NavButtonCount; ++i) FButtons[i]->SetVisible((FVisibleButtons >> i) & 1u);
    ArrangeButtons();
}

void TDBNavigator::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
    ArrangeButtons();
}

void TDBNavigator::ArrangeButtons() {
    if (!FButtons[0]) return;  // still being built
    int shown = 0;
    for (int i = 0; i < NavButtonCount; ++i)
        if ((FVisibleButtons >> i) & 1u) ++shown;
    if (shown == 0) return;
    // The width is shared out evenly; the pixels left over go one each to the first buttons.
    int each = FWidth / shown;
    int extra = FWidth - each * shown;
    int x = 0;
    for (int i = 0; i < NavButtonCount; ++i) {
        if (!((FVisibleButtons >> i) & 1u)) continue;
        int w = each + (extra > 0 ? 1 : 0);
        if (extra > 0) --extra;
        FButtons[i]->SetBounds(x, 0, w, FHeight);
        x += w;
    }
}

void TDBNavigator::ApplyHints() {
    for (int i = 0; i < NavButtonCount; ++i) {
        std::string h = i < FHints->Count() ? FHints->Strings(i) : std::string();
        FButtons[i]->Hint = h.empty() ? DefaultHints[i] : h;
    }
}

void TDBNavigator::UpdateButtons() {
    if (!FButtons[0]) return;
    TDataSet* ds = FDataLink->DataSet();
    bool active = FDataLink->Active() && ds;
    bool canModify = active && ds->CanModify() && !FDataLink->ReadOnly();
    bool editing = active && (ds->State() == dsEdit || ds->State() == dsInsert);
    bool atFirst = true, atLast = true;
    if (active) {
        atFirst = ds->Bof();
        atLast = ds->Eof();
        // Where the dataset numbers its records, the first and last record count as the ends even
        // before a move has run into them.
        if (ds->State() == dsBrowse && !ds->IsEmpty()) {
            int recNo = ds->RecNo();
            if (recNo > 0) {
                atFirst = atFirst || recNo == 1;
                atLast = atLast || recNo == ds->RecordCount();
            }
        }
    }
    bool enabled[NavButtonCount] = {
        active && !atFirst,           // first
        active && !atFirst,           // prior
        active && !atLast,            // next
        active && !atLast,            // last
        canModify,                    // insert
        canModify && !ds->IsEmpty(),  // delete
        canModify && !editing,        // edit
        canModify && editing,         // post
        canModify && editing,         // cancel
        active,                       // refresh
    };
    for (int i = 0; i < NavButtonCount; ++i) FButtons[i]->SetEnabled(enabled[i]);
}

void TDBNavigator::BtnClick(TNavigateBtn Index) {
    TDataSet* ds = FDataLink->DataSet();
    if (ds && FDataLink->Active()) {
        switch (Index) {
            case nbFirst:
                ds->First();
                break;
            case nbPrior:
                ds->Prior();
                break;
            case nbNext:
                ds->Next();
                break;
            case nbLast:
                ds->Last();
                break;
            case nbInsert:
                ds->Insert();
                break;
            case nbDelete:
                if (!ConfirmDelete || MessageDlg("Delete record?", mtConfirmation, mbOKCancel, 0) != mrCancel)
                    ds->Delete();
                break;
            case nbEdit:
                ds->Edit();
                break;
            case nbPost:
                ds->Post();
                break;
            case nbCancel:
                ds->Cancel();
                break;
            case nbRefresh:
                ds->Refresh();
                break;
        }
    }
    if (OnClick) OnClick(this, Index);
}

}  // namespace framework
