#pragma once
// The picture array editor: a scrolling column of equal rows over a list of values that the
// application owns. Every row shows one item; one picture cell lies over the active row and edits
// it. The editor keeps no items: it asks for each item's slot through OnGetItem whenever a row is
// drawn or becomes active, and writes the edited value back through that slot, never more than
// the slot holds.
//
// The cell is a picture field: every data type of the picture field, with the mask's literals,
// dates and times, and floating values.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlColors.h"
#include "controls/entry/CtlEntryField.h"
#include "controls/entry/CtlEntryValue.h"
#include "controls/entry/CtlPictureField.h"
#include "framework/core/DateTime.h"

namespace entry {

// Where an item's value lives: the application's text with the number of characters it holds,
// its integer, its floating value or its date (a day count with the time of day as the fraction).
// An empty slot (the default) means the item has no storage: its row shows the cell's initial
// value and edits are not kept.
class TCtlArrayItem {
public:
    enum TKind : uint8_t { aiNone, aiText, aiInteger, aiNumber, aiDate };

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
    static TCtlArrayItem Number(double& Value) {
        TCtlArrayItem i;
        i.FKind = aiNumber;
        i.FNumber = &Value;
        return i;
    }
    static TCtlArrayItem Date(framework::TDateTime& Value) {
        TCtlArrayItem i;
        i.FKind = aiDate;
        i.FNumber = &Value;
        return i;
    }

    TKind Kind() const { return FKind; }
    bool Assigned() const { return FKind != aiNone; }
    std::string* TextValue() const { return FText; }
    int Capacity() const { return FCapacity; }
    int32_t* IntegerValue() const { return FInteger; }
    // The floating value or the date.
    double* NumberValue() const { return FNumber; }

private:
    TKind FKind = aiNone;
    std::string* FText = nullptr;
    int FCapacity = 0;
    int32_t* FInteger = nullptr;
    double* FNumber = nullptr;
};

using TGetItemEvent = std::function<void(framework::TObject* Sender, int Index, TCtlArrayItem& Item)>;
using TGetItemColorEvent =
    std::function<void(framework::TObject* Sender, int Index, framework::TColor& FG, framework::TColor& BG)>;
using TSelectEvent = std::function<void(framework::TObject* Sender, int NewIndex)>;

class TCtlBaseArrayEditor;

// The cell over the active row: a picture field whose row keys move between rows and whose text
// never grows beyond what the current item's slot holds.
class TPictureCellField : public TCtlPictureField {
public:
    explicit TPictureCellField(framework::TComponent* AOwner);

    // The characters the current item's slot holds (-1: no limit besides the mask).
    void SetSlotLimit(int Value) { FSlotLimit = Value; }
    // Sets the cell's value from the item; false when the item has no value the cell can show.
    bool LoadFrom(const TCtlArrayItem& Item);
    // Writes the cell's value to the item, never more than it holds; the cell's error code.
    uint16_t StoreTo(const TCtlArrayItem& Item);
    // The text an item shows in its row (laid into the mask), without touching the cell's own
    // edit state.
    std::string RowText(const TCtlArrayItem& Item);
    // The text as the mask lays it out (literals in).
    const std::string& MaskedText() const { return FEditText; }
    // Keeps the loaded text for Restore.
    void SaveLoadedText() { FLoadedText = FEditText; }
    void DoRestore() override;
    void Dispatch(framework::TMessage& Message) override;
    using TCtlPictureField::SetDefaultRange;
    using TCtlPictureField::SetInitialValue;

protected:
    void EditCommand(framework::TMessage& Msg, uint16_t Command) override;
    void CreateWnd() override;

private:
    TCtlBaseArrayEditor* Editor() const;

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

    TPictureDataType DataType() const { return FDataType; }
    // The cell's new mask, length, decimals and default range come back with it.
    void SetDataType(TPictureDataType Value);
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
    TPictureDataType FDataType = pftString;
    std::string FPictureMask = "XXXXXXXXXXXXXXX";
    uint16_t FMaxLength = 10;
    uint8_t FDecimalPlaces = 0;
    int32_t FEpoch = 0;
};

}  // namespace entry
