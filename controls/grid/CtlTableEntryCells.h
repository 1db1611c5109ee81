#pragma once
// Cells that show and edit their value through a masked entry field: a numeric cell and a picture
// cell. Each owns two hidden fields of its kind: the editor shown over the cell while it is edited,
// and a second one that only formats values for painting, so that a painted cell shows exactly
// what its editor would.

#include <string>

#include "controls/entry/CtlNumericField.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/grid/CtlTableCells.h"

namespace grid {

class TCtlTCBaseEntryField;

// What both editor kinds do differently from a plain entry field: Tab is not typed, the grid's
// keys go to the grid, leaving the field's ends moves to the neighbouring cell, and focus changes
// are reported to the grid.
class TCtlEntryCellEditor {
public:
    explicit TCtlEntryCellEditor(TCtlTCBaseEntryField* Cell) : FCell(Cell) {}
    TCtlTCBaseEntryField* Cell() const { return FCell; }

protected:
    // True when the message was handled here; Inherited runs the field's own handling.
    bool HandleMessage(entry::TCtlBaseEntryField& Field, framework::TMessage& M,
                       const std::function<void(framework::TMessage&)>& Inherited);
    void PostArrow(uint16_t Key) const;
    TCtlTCBaseEntryField* FCell;
};

class TCtlTCNumericFieldEdit : public entry::TCtlNumericField, public TCtlEntryCellEditor {
public:
    TCtlTCNumericFieldEdit(framework::TComponent* AOwner, TCtlTCBaseEntryField* Cell)
        : entry::TCtlNumericField(AOwner), TCtlEntryCellEditor(Cell) {}
    void MoveToNextField() override { PostArrow(framework::VK_RIGHT); }
    void MoveToPreviousField() override { PostArrow(framework::VK_LEFT); }

protected:
    void WndProc(framework::TMessage& M) override;
};

class TCtlTCPictureFieldEdit : public entry::TCtlPictureField, public TCtlEntryCellEditor {
public:
    TCtlTCPictureFieldEdit(framework::TComponent* AOwner, TCtlTCBaseEntryField* Cell)
        : entry::TCtlPictureField(AOwner), TCtlEntryCellEditor(Cell) {}
    void MoveToNextField() override { PostArrow(framework::VK_RIGHT); }
    void MoveToPreviousField() override { PostArrow(framework::VK_LEFT); }

protected:
    void WndProc(framework::TMessage& M) override;
};

// The text a cell paints for a value that its field cannot show.
inline constexpr const char* CtlUnshowableValue = "********";

class TCtlTCBaseEntryField : public TCtlTCBaseString {
public:
    explicit TCtlTCBaseEntryField(framework::TComponent* AOwner);
    ~TCtlTCBaseEntryField() override;

    // The editor and the painting field (nil once freed from outside).
    entry::TCtlBaseEntryField* EditField() const { return FEdit; }
    entry::TCtlBaseEntryField* PaintField() const { return FPaint; }

    // ---- Properties of the fields; without the editor the getters answer defaults and the
    // setters do nothing. Those that affect the look are set on both fields. ----
    entry::TCtlEntryFieldOptions Options() const;
    void SetOptions(entry::TCtlEntryFieldOptions Value);
    char PadChar() const;
    void SetPadChar(char Value);
    int32_t TextMargin() const;
    void SetTextMargin(int32_t Value);
    std::string RangeHi() const;
    std::string RangeLo() const;
    void SetRangeHi(const std::string& Value);
    void SetRangeLo(const std::string& Value);
    entry::TCtlCaret* CaretIns() const;
    entry::TCtlEfColors* EFColors() const;
    uint16_t DataSize() const;

    entry::TValidationErrorEvent OnError;
    entry::TUserCommandEvent OnUserCommand;
    entry::TUserValidationEvent OnUserValidation;
    framework::TNotifyEvent OnChange;

    // ---- Editing ----
    void StartEditing(int32_t RowNum, int32_t ColNum, const framework::TRect& CellRect,
                      const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                      const TCtlCellValue* Data) override;
    void StopEditing(bool SaveValue, TCtlCellValue* Data) override;
    // The editor's value into Data (of the entry kind); a value of another kind is refused.
    bool SaveEditedData(TCtlCellValue* Data) override;
    bool CanStopEditing(bool SaveValue) override;
    framework::TWinControl* EditControl() const override;
    framework::HWND EditHandle() const override;
    void EditHide() override;
    void EditMove(const framework::TRect& CellRect) override;
    bool EditorModified() const override;
    bool Editing() const { return FEditing; }

    void DefineProperties(framework::TFiler* Filer) override;

protected:
    virtual entry::TCtlBaseEntryField* CreateEditor(framework::TComponent* AOwner) = 0;
    // Creates both fields; the constructors of the cell kinds call it.
    void CreateFields();
    void Paint(framework::TCanvas& TableCanvas, const framework::TRect& CellRect, int32_t RowNum,
               int32_t ColNum, const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    // Runs Set on the editor and on the painting field.
    template <class TField, class F>
    void SetBoth(F Set) {
        if (!FEdit) return;
        Set(static_cast<TField&>(*FEdit));
        if (FPaint) Set(static_cast<TField&>(*FPaint));
    }
    // The text the painting field shows for Data, less leading and trailing blanks and control
    // characters.
    std::string DisplayTextOf(const TCtlCellValue& Data);

    entry::TCtlBaseEntryField* FEdit = nullptr;
    entry::TCtlBaseEntryField* FPaint = nullptr;

private:
    void AttachToTable(entry::TCtlBaseEntryField& Field);
    bool FEditing = false;
};

class TCtlTCCustomNumericField : public TCtlTCBaseEntryField {
public:
    explicit TCtlTCCustomNumericField(framework::TComponent* AOwner);
    entry::TNumericDataType DataType() const;
    void SetDataType(entry::TNumericDataType Value);
    std::string PictureMask() const;
    void SetPictureMask(const std::string& Value);

protected:
    entry::TCtlBaseEntryField* CreateEditor(framework::TComponent* AOwner) override;
};

class TCtlTCNumericField : public TCtlTCCustomNumericField {
public:
    using TCtlTCCustomNumericField::TCtlTCCustomNumericField;
};

class TCtlTCCustomPictureField : public TCtlTCBaseEntryField {
public:
    explicit TCtlTCCustomPictureField(framework::TComponent* AOwner);
    entry::TPictureDataType DataType() const;
    void SetDataType(entry::TPictureDataType Value);
    // The painting field and the editor take the mask; their windows are made anew.
    std::string PictureMask() const;
    void SetPictureMask(const std::string& Value);
    entry::TCtlCaret* CaretOvr() const;
    framework::TColor ControlCharColor() const;
    void SetControlCharColor(framework::TColor Value);
    uint8_t DecimalPlaces() const;
    void SetDecimalPlaces(uint8_t Value);
    int32_t Epoch() const;
    void SetEpoch(int32_t Value);
    uint16_t MaxLength() const;
    void SetMaxLength(uint16_t Value);
    char PasswordChar() const;
    void SetPasswordChar(char Value);

protected:
    entry::TCtlBaseEntryField* CreateEditor(framework::TComponent* AOwner) override;
};

class TCtlTCPictureField : public TCtlTCCustomPictureField {
public:
    using TCtlTCCustomPictureField::TCtlTCCustomPictureField;
};

}  // namespace grid
