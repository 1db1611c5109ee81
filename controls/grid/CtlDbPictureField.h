#pragma once
// The picture field bound to one field of a dataset: it shows the current record's value through
// its mask, puts the dataset into edit state when the user starts typing (where the data source
// allows), and writes the value back when the record is posted or the field is left. Its picture
// data type follows the bound field's type.

#include <cstdint>
#include <string>

#include "controls/entry/CtlPictureField.h"
#include "framework/data/DataSource.h"

namespace grid {

// The field types a data-aware picture field takes.
bool CtlDbAcceptedFieldType(framework::TFieldType Type);
// "(Memo)" for a TMemoField: the class name without its first letter and from "Field" on.
std::string CtlDbFieldKindText(const framework::TField& Field);

class TCtlDbPictureField : public entry::TCtlCustomPictureField {
public:
    // Which half of a date-and-time field the control shows and edits. The grid's columns have a
    // two-valued type of the same name, so this one lives in the class.
    enum TDateOrTime : uint8_t { ftUseDate, ftUseTime, ftUseBothEditDate, ftUseBothEditTime };

    explicit TCtlDbPictureField(framework::TComponent* AOwner);
    ~TCtlDbPictureField() override;

    std::string DataField() const { return FDataLink.FieldName(); }
    // A name the link refuses leaves the name empty and the error goes on.
    void SetDataField(const std::string& Value);
    framework::TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(framework::TDataSource* Value);
    TDateOrTime DateOrTime() const { return FDateOrTime; }
    void SetDateOrTime(TDateOrTime Value);
    framework::TFieldType FieldType() const { return FFieldType; }
    // Outside the accepted types: ignored, and at design time ECtlException 30224.
    void SetFieldType(framework::TFieldType Value);
    bool UseTFieldMask() const { return FUseTFieldMask; }
    void SetUseTFieldMask(bool Value);
    bool ZeroAsNull = false;

    framework::TField* Field() const;
    framework::TFieldDataLink& DataLink() { return FDataLink; }
    void SetPictureMask(const std::string& Mask) override;
    void Dispatch(framework::TMessage& Message) override;
    void DoRestore() override;

protected:
    bool GetReadOnly() const override;
    void EditCommand(framework::TMessage& Msg, uint16_t Command) override;
    void IncreaseValue(bool Wrap, double Delta) override;
    void PerformCut() override;
    void PerformPaste() override;
    void DoOnChange() override;
    std::string GetDesignTimeString() override;
    void CreateWnd() override;
    void Paint() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    enum : uint8_t { sfFocused = 1, sfKeepSelection = 2, sfSelectAll = 4 };
    void Reconfigure();
    // The link's Edit; keep-selection is off afterwards.
    void StartEditing();
    void DataChange();
    void EditingChange();
    void UpdateData();
    void Reload();
    // The entry's value into the field (when valid and without an error pending).
    void WriteField();
    bool LinkEditing() const { return FDataLink.Editing(); }
    void SetState(uint8_t Bit, bool On) {
        FState = On ? static_cast<uint8_t>(FState | Bit) : static_cast<uint8_t>(FState & ~Bit);
    }
    bool HasState(uint8_t Bit) const { return (FState & Bit) != 0; }
    bool DateFieldType() const;

    framework::TFieldDataLink FDataLink;
    TDateOrTime FDateOrTime = ftUseDate;
    framework::TFieldType FFieldType = framework::ftUnknown;
    bool FUseTFieldMask = false;
    bool FReloading = false;
    bool FReconfiguring = false;
    bool FOwnMask = false;  // a mask was given: it stays when the data type changes
    bool FWriting = false;
    uint8_t FState = 0;
};

}  // namespace grid
