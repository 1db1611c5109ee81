#pragma once
// The date edit bound to one date field of a dataset: it shows the current record's date, lets the
// user type, step or pick a new one (putting the dataset into edit state where the data source
// allows), and writes it back when the record is updated or, with AutoUpdate, when it is left.

#include <string>

#include "controls/entry/CtlDateEdit.h"
#include "framework/core/Alignment.h"
#include "framework/data/DataSource.h"

namespace grid {

class TCtlCustomDbDateEdit : public entry::TCtlCustomDateEdit {
public:
    explicit TCtlCustomDbDateEdit(framework::TComponent* AOwner);
    ~TCtlCustomDbDateEdit() override;

    bool AutoUpdate = true;
    // Keep the time part of a date-and-time value when a new date is stored.
    bool PreserveTime = false;
    std::string DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const std::string& Value);
    framework::TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(framework::TDataSource* Value);
    // True for a field that holds no date; else the link's.
    bool ReadOnly() const;
    void SetReadOnly(bool Value) { FDataLink.SetReadOnly(Value); }
    framework::TField* Field() const { return FDataLink.Field(); }
    framework::TFieldDataLink& DataLink() { return FDataLink; }

    void PopupOpen() override;
    void PopupClose(framework::TObject* Sender) override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    bool IsButtonEnabled() const override;
    void Change() override;
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    bool DateField() const;
    void DataChange();
    void ShowField();
    void EditingChange();
    void UpdateData();
    // The date of the text into the field by the update rule (PreserveTime keeps the time).
    void StoreDate();
    void SetFocused(bool Value);
    void Exit(framework::TMessage& Message);

    framework::TFieldDataLink FDataLink;
    framework::TAlignment FAlignment = framework::taLeftJustify;
    bool FFocused = false;
};

class TCtlDbDateEdit : public TCtlCustomDbDateEdit {
public:
    using TCtlCustomDbDateEdit::TCtlCustomDbDateEdit;
};

}  // namespace grid
