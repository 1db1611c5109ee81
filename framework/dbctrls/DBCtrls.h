#pragma once
// Data-aware controls: each shows one field of the current record of a data source and writes
// the user's change back to it. A control puts the dataset into edit state (through the data
// source's AutoEdit) only when the user changes its value; a read-only control, a read-only field
// or a dataset that cannot be modified refuses the change.
//
// TDBEdit and TDBMemo edit the field's text (written when the control loses the focus or the
// record is posted); TDBText shows it; TDBCheckBox writes ValueChecked / ValueUnchecked, and
// TDBComboBox the chosen item's text, as soon as the user changes them. TDBNavigator moves
// through and edits the dataset with one button per action.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/core/Strings.h"
#include "framework/data/DataSource.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/StdCtrls.h"

namespace framework {

// A control of the standard library bound to one field through its data link. The link's
// notices are the derived control's to set; they are dropped before the link goes.
template <class TBase>
class TDataAware : public TBase {
public:
    explicit TDataAware(TComponent* AOwner) : TBase(AOwner) { FDataLink.Control = this; }
    ~TDataAware() override {
        FDataLink.OnDataChange = nullptr;
        FDataLink.OnEditingChange = nullptr;
        FDataLink.OnUpdateData = nullptr;
        FDataLink.OnActiveChange = nullptr;
        FDataLink.SetDataSource(nullptr);
    }
    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    // Asks to be told when the source goes away.
    void SetDataSource(TDataSource* Value) {
        if (FDataLink.DataSource() == Value) return;
        if (FDataLink.DataSource()) FDataLink.DataSource()->RemoveFreeNotification(this);
        FDataLink.SetDataSource(Value);
        if (Value) Value->FreeNotification(this);
    }
    std::string DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const std::string& Value) { FDataLink.SetFieldName(Value); }
    TField* Field() const { return FDataLink.Field(); }
    // Read-only here means the control never edits, whatever the dataset allows.
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool Value) { FDataLink.SetReadOnly(Value); }
    TFieldDataLink& DataLink() { return FDataLink; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TBase::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent && AComponent == FDataLink.DataSource())
            FDataLink.SetDataSource(nullptr);
    }
    TFieldDataLink FDataLink;
};

// The editing of TDBEdit and TDBMemo over an edit control of the standard library.
template <class TBase>
class TDBEditBase : public TDataAware<TBase> {
public:
    explicit TDBEditBase(TComponent* AOwner);
    void SetReadOnly(bool Value);

protected:
    void Change() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DoEnter() override;
    void DoExit() override;

private:
    using TDataAware<TBase>::FDataLink;
    void DataChange();
    void EditingChange();
    void UpdateData();
    void ActiveChange();
    std::string FieldText() const;
    // Whether a key would change the text: removing a character (-1 before the caret, 1 after
    // it, 0 only the selection) or inserting one.
    bool CanChange(int Removing, bool Inserting) const;

    bool FLoading = false;
    bool FFocused = false;
    bool FAutoMaxLength = false;  // MaxLength was taken from the field's size
};

class TDBEdit : public TDBEditBase<TCustomEdit> {
public:
    using TDBEditBase<TCustomEdit>::TDBEditBase;
};

class TDBMemo : public TDBEditBase<TCustomMemo> {
public:
    using TDBEditBase<TCustomMemo>::TDBEditBase;
};

// A label showing the field's display text.
class TDBText : public TDataAware<TCustomLabel> {
public:
    explicit TDBText(TComponent* AOwner);
};

class TDBCheckBox : public TDataAware<TCustomCheckBox> {
public:
    explicit TDBCheckBox(TComponent* AOwner);
    // The texts that mean checked and unchecked: ";" separates alternatives, matched without
    // regard to case; the first one is written. A Boolean field is read and written as such.
    std::string ValueChecked = "True";
    std::string ValueUnchecked = "False";

protected:
    void Toggle() override;

private:
    void DataChange();
    void UpdateData();
};

class TDBComboBox : public TDataAware<TCustomComboBox> {
public:
    explicit TDBComboBox(TComponent* AOwner);
    // A choice from the list is written to the field at once.
    void Click() override;

protected:
    void Change() override;
    void KeyPress(char& Key) override;
    void DoExit() override;

private:
    void DataChange();
    void UpdateData();
    bool FLoading = false;
};

// ---- Navigator ----

enum TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};
// A set of navigator buttons, one bit per TNavigateBtn.
using TNavButtonSet = uint32_t;
constexpr TNavButtonSet NavButtons(std::initializer_list<TNavigateBtn> Buttons) {
    TNavButtonSet s = 0;
    for (TNavigateBtn b : Buttons) s |= 1u << b;
    return s;
}
constexpr TNavButtonSet nbAllButtons = (1u << (nbRefresh + 1)) - 1;
constexpr int NavButtonCount = nbRefresh + 1;

using ENavClick = std::function<void(TObject* Sender, TNavigateBtn Button)>;

class TDBNavigator;

// A navigator button: a speed button drawing its action's sign.
class TNavButton : public TSpeedButton {
public:
    TNavButton(TComponent* AOwner, TNavigateBtn Index);
    TNavigateBtn Index() const { return FIndex; }

protected:
    void Paint() override;

private:
    TNavigateBtn FIndex;
};

class TDBNavigator : public TCustomPanel {
public:
    explicit TDBNavigator(TComponent* AOwner);
    ~TDBNavigator() override;
    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* Value);
    TNavButtonSet VisibleButtons() const { return FVisibleButtons; }
    void SetVisibleButtons(TNavButtonSet Value);
    // One hint per button, in button order; a missing or empty line keeps the button's own hint.
    TStrings& Hints() { return *FHints; }
    // Asks "Delete record?" before deleting.
    bool ConfirmDelete = true;
    TNavButton* Buttons(TNavigateBtn Index) const { return FButtons[Index]; }
    // Does what a press of the button does (also when the button is hidden or disabled), then
    // OnClick.
    void BtnClick(TNavigateBtn Index);
    // Fires after a button's action (a refused delete included) with the button pressed.
    ENavClick OnClick;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // The data link tells the navigator of changes.
    void UpdateButtons();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void ArrangeButtons();
    void ApplyHints();
    class TNavDataLink;
    std::unique_ptr<TNavDataLink> FDataLink;
    std::unique_ptr<TStringList> FHints;
    TNavButton* FButtons[NavButtonCount] = {};
    TNavButtonSet FVisibleButtons = nbAllButtons;
};

}  // namespace framework
