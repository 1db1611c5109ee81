#pragma once
// The picture array editor: a scrolling column of equal rows over a list of values that the
// application owns. Every row shows one item; one picture cell lies over the active row and edits
// it. The editor keeps no items: it asks for each item's slot through OnGetItem whenever a row is
// drawn or becomes active, and writes the edited value back through that slot, never more than
// the slot holds.
//
// The cell is a picture-masked entry field over the base entry field and the picture-mask engine;
// it edits strings (every mask position editable: 'X', '!', 'a', '9' and the rest) and the integer
// types in decimal.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlColors.h"
#include "controls/entry/CtlEntryField.h"
#include "controls/entry/CtlEntryValue.h"
#include "controls/entry/CtlPictureMask.h"

namespace entry {

// Where an item's value lives: the application's text with the number of characters it holds, or
// its integer. An empty slot (the default) means the item has no storage: its row shows the
// cell's initial value and edits are not kept.
class TCtlArrayItem {
public:
    enum TKind : uint8_t { aiNone, aiText, aiInteger };

    TCtlArrayItem() = default;
    static TCtlArrayItem Text(std::string& Value, int Capacity) {
        TCtlArrayItem i;
        i.FKind = aiText;
        i.FText = &Value;
        i.FCapacity = Capacity < 0 ? 0 : Capacity;
        return i;
    }
    static TCtlArrayItem Integer(int32_t& Value) {
        TCtlArrayItem i;
        i.FKind = aiInteger;
        i.FInteger = &Value;
        return i;
    }

    TKind Kind() const { return FKind; }
    bool Assigned() const { return FKind != aiNone; }
    std::string* TextValue() const { return FText; }
    int Capacity() const { return FCapacity; }
    int32_t* IntegerValue() const { return FInteger; }

private:
    TKind FKind = aiNone;
    std::string* FText = nullptr;
    int FCapacity = 0;
    int32_t* FInteger = nullptr;
};

using TGetItemEvent = std::function<void(framework::TObject* Sender, int Index, TCtlArrayItem& Item)>;
using TGetItemColorEvent =
    std::function<void(framework::TObject* Sender, int Index, framework::TColor& FG, framework::TColor& BG)>;
using TSelectEvent = std::function<void(framework::TObject* Sender, int NewIndex)>;

class TCtlBaseArrayEditor;

// The cell over the active row.
class TPictureCellField : public TCtlBaseEntryField {
public:
    explicit TPictureCellField(framework::TComponent* AOwner);

    void SetDataType(uint8_t Value);
    void SetMask(const std::string& Mask);
    // The characters the current item's slot holds (-1: no limit besides MaxLength).
    void SetSlotLimit(int Value) { FSlotLimit = Value; }
    int Limit() const;
    // The text an item shows in its row, without touching the cell's own edit state.
    std::string ItemText(const TCtlArrayItem& Item);
    // Keeps the loaded text for Restore.
    void SaveLoadedText() { FLoadedText = FEditText; }
    void DoRestore() override;
    void Dispatch(framework::TMessage& Message) override;
    using TCtlBaseEntryField::SetDefaultRange;
    using TCtlBaseEntryField::SetInitialValue;

protected:
    void EditCommand(framework::TMessage& Msg, uint16_t Command) override;
    uint16_t TransferData(TCtlEntryValue& Data, int Direction) override;
    uint16_t CheckValue() override;
    void IncreaseValue(bool Wrap, double Delta) override;
    void CreateWnd() override;

private:
    TCtlBaseArrayEditor* Editor() const;
    bool InsertText(const std::string& Text);
    bool DeleteSelection();

    TCtlPictureMask FMaskEngine;
    int FSlotLimit = -1;
    std::string FLoadedText;
};

class TCtlBaseArrayEditor : public TCtlCustomControlEx {
public:
    explicit TCtlBaseArrayEditor(framework::TComponent* AOwner);
    ~TCtlBaseArrayEditor() override;

    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    TCtlColors& DisabledColors() { return *FDisabledColors; }
    TCtlColors& HighlightColors() { return *FHighlightColors; }
    framework::TColor LineColor() const { return FLineColor; }
    void SetLineColor(framework::TColor Value);
    // Never less than the number of visible rows.
    int NumItems() const { return FNumItems; }
    void SetNumItems(int Value);
    TCtlEntryFieldOptions Options() const;
    void SetOptions(TCtlEntryFieldOptions Value);
    char PadChar() const;
    void SetPadChar(char Value);
    std::string RangeHi() const;
    std::string RangeLo() const;
    // Converted by the cell; EInvalidRangeValue for a text its data type cannot take.
    void SetRangeHi(const std::string& Value);
    void SetRangeLo(const std::string& Value);
    int RowHeight() const { return FRowHeight; }
    void SetRowHeight(int Value);
    int TextMargin() const;
    void SetTextMargin(int Value);
    bool UseScrollBar() const { return FUseScrollBar; }
    void SetUseScrollBar(bool Value);

    TGetItemEvent OnGetItem;
    TGetItemColorEvent OnGetItemColor;
    TSelectEvent OnSelect;
    // Handed to the cell, so that they run with the cell as Sender.
    framework::TNotifyEvent OnChange;
    TValidationErrorEvent OnError;
    TUserCommandEvent OnUserCommand;
    TUserValidationEvent OnUserValidation;

    int ActiveRow() const { return FActiveRow; }
    int TopItem() const { return FTopItem; }
    int VisibleRows() const { return FVisibleRows; }
    TPictureCellField* Cell() const { return FCell; }
    // The scroll bar's maximum and the factor from its positions to items.
    int ScrollMax() const { return FScrollMax; }
    int ScrollDivisor() const { return FScrollDivisor; }

    virtual void LoadItem(int Index) = 0;
    virtual void GetItemColor(int Index, framework::TColor& FG, framework::TColor& BG);
    virtual void SetActiveRow(int Index) = 0;
    // Writes the cell's value through the active item's slot; the cell's error code.
    virtual uint16_t StoreItem() = 0;
    void SetFocus() override;

    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void CreateEditor() = 0;
    virtual std::string GetEditorText();
    virtual std::string GetDesignText();
    virtual void DoOnSelect(int Index);

    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;

    // Places the cell on the row, scrolling the view when the row lies outside it; true when the
    // view scrolled.
    bool PlaceCell(int Row);
    void UpdateScrollBar();
    void RowColors(int Index, framework::TColor& FG, framework::TColor& BG);
    // The cell takes the active row's colours.
    void ColorCell();
    bool Designing() const { return (ComponentState() & framework::csDesigning) != 0; }
    bool Loading() const { return (ComponentState() & framework::csLoading) != 0; }

    TPictureCellField* FCell = nullptr;  // owned as a component
    TCtlArrayItem FItem;                 // the active item's slot
    int FActiveRow = 0;
    int FTopItem = 0;
    int FVisibleRows = 1;
    int FNumItems = 0;
    int FScrollDivisor = 1;
    int FScrollMax = 0;

    // What the cell takes at creation and gives back.
    TCtlEntryFieldOptions FOptions = efoCaretToEnd | efoTrimBlanks;
    char FPadChar = ' ';
    int FTextMargin = 2;
    std::string FRangeHiText, FRangeLoText;
    bool FRangesSet = false;

private:
    friend class TPictureCellField;
    void HandleScroll(int Code, int Position);
    void Resized();

    framework::TBorderStyle FBorderStyle = framework::bsSingle;
    std::unique_ptr<TCtlColors> FDisabledColors;
    std::unique_ptr<TCtlColors> FHighlightColors;
    framework::TColor FLineColor = framework::clSilver;
    int FRowHeight = 17;
    bool FUseScrollBar = true;
    bool FResizing = false;
};

class TCtlPictureArrayEditor : public TCtlBaseArrayEditor {
public:
    explicit TCtlPictureArrayEditor(framework::TComponent* AOwner);

    uint8_t DataType() const { return FDataType; }
    // String and the integer types; EInvalidDataType for another.
    void SetDataType(uint8_t Value);
    const std::string& PictureMask() const { return FPictureMask; }
    void SetPictureMask(const std::string& Value);
    uint16_t MaxLength() const { return FMaxLength; }
    void SetMaxLength(uint16_t Value);
    uint8_t DecimalPlaces() const { return FDecimalPlaces; }
    void SetDecimalPlaces(uint8_t Value);
    int32_t Epoch() const { return FEpoch; }
    void SetEpoch(int32_t Value);

    void LoadItem(int Index) override;
    void SetActiveRow(int Index) override;
    uint16_t StoreItem() override;

protected:
    void CreateEditor() override;

private:
    uint8_t FDataType = dtString;
    std::string FPictureMask = "XXXXXXXXXXXXXXX";
    uint16_t FMaxLength = 10;
    uint8_t FDecimalPlaces = 0;
    int32_t FEpoch = 0;
};

}  // namespace entry
