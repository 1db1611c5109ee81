#pragma once
// The base entry field: a windowed control that draws its own text, owns the edit text, caret,
// selection and horizontal scroll position, keeps a typed value behind the text, turns keys,
// characters and mouse actions into editing commands through the form's controller, validates its
// contents when it is left and moves values in and out in typed form. Descendants supply the
// command handler, the value check, the value transfer and the stepping of the value.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlCaret.h"
#include "controls/entry/CtlColors.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlEntryValue.h"
#include "framework/core/DateTime.h"
#include "framework/stdctrls/Edit.h"

namespace framework {
class TPopupMenu;
}

namespace entry {

enum TCtlEntryFieldOption : uint16_t {
    efoArrowIncDec = 1u << 0,
    efoCaretToEnd = 1u << 1,
    efoForceInsert = 1u << 2,
    efoForceOvertype = 1u << 3,
    efoInputRequired = 1u << 4,
    efoPasswordMode = 1u << 5,
    efoReadOnly = 1u << 6,
    efoRightAlign = 1u << 7,
    efoRightJustify = 1u << 8,
    efoSoftValidation = 1u << 9,
    efoStripLiterals = 1u << 10,
    efoTrimBlanks = 1u << 11,
};
using TCtlEntryFieldOptions = uint16_t;

enum TCtlFieldKind : uint8_t { fkSimple, fkPicture, fkNumeric };
enum TZeroDisplay : uint8_t { zdShow, zdHide, zdHideUntilModified };

// Commands that only the field itself gives its engine (besides the controller's codes).
enum : uint16_t {
    ccChar = 249,       // a character (in the message's wParam)
    ccMouse = 250,      // a click at the x position in lParam
    ccMouseMove = 251,  // a drag to the x position in lParam
    ccDblClk = 253,     // a double click
};

// The private message that answers a field's value size.
constexpr framework::UINT OM_GETDATASIZE = 0x7F03;

// Error codes of validation.
enum : uint16_t {
    epRangeError = 256,
    epInvalidValue = 257,
    epRequired = 258,
    epInvalidDate = 259,
    epInvalidTime = 260,
    epNoBlanks = 261,
    epPartialEntry = 262,
};

using TValidationErrorEvent =
    std::function<void(framework::TObject* Sender, uint16_t ErrorCode, const std::string& ErrorMsg)>;
using TUserCommandEvent = std::function<void(framework::TObject* Sender, uint16_t Command)>;
using TUserValidationEvent = std::function<void(framework::TObject* Sender, uint16_t& ErrorCode)>;

// The three colour pairs of a field: disabled, soft error and selection.
class TCtlEfColors : public framework::TPersistent {
public:
    TCtlEfColors();
    TCtlColors& Disabled() { return FDisabled; }
    TCtlColors& Error() { return FError; }
    TCtlColors& Highlight() { return FHighlight; }
    void Assign(framework::TPersistent* Source) override;
    std::function<void()> OnChange;

private:
    TCtlColors FDisabled, FError, FHighlight;
};

class TCtlBaseEntryField : public TCtlCustomControlEx {
public:
    explicit TCtlBaseEntryField(framework::TComponent* AOwner);
    ~TCtlBaseEntryField() override;

    // ---- Properties ----
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    TCtlBorders& Borders() { return *FBorders; }
    TCtlCaret* CaretIns() const { return FCaretPair->InsertCaret(); }
    TCtlCaret* CaretOvr() const { return FCaretPair->OvertypeCaret(); }
    void SetCaretIns(TCtlCaret* Value);
    void SetCaretOvr(TCtlCaret* Value);
    framework::TColor ControlCharColor = framework::clRed;
    uint8_t DecimalPlaces() const { return FDecimalPlaces; }
    void SetDecimalPlaces(uint8_t Value);
    TCtlEfColors& EFColors() { return *FEFColors; }
    int32_t Epoch() const { return FEpoch; }
    void SetEpoch(int32_t Value);
    uint16_t MaxLength() const { return FMaxLength; }
    void SetMaxLength(uint16_t Value);
    TCtlEntryFieldOptions Options() const { return FOptions; }
    void SetOptions(TCtlEntryFieldOptions Value);
    char PadChar() const { return FPadChar; }
    void SetPadChar(char Value);
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char Value);
    int32_t TextMargin() const { return FTextMargin; }
    void SetTextMargin(int32_t Value);
    bool Uninitialized() const { return FUninitialized; }
    void SetUninitialized(bool Value);
    TZeroDisplay ZeroDisplay() const { return FZeroDisplay; }
    void SetZeroDisplay(TZeroDisplay Value);
    double ZeroDisplayValue() const { return FZeroDisplayValue; }
    void SetZeroDisplayValue(double Value);

    // The picture mask, its data type and kind (set by the descendants).
    const std::string& PictureMask() const { return FPicture; }
    uint8_t DataType() const { return FDataType; }
    TCtlFieldKind Kind() const { return FKind; }

    // ---- Events ----
    framework::TNotifyEvent OnChange;
    TValidationErrorEvent OnError;
    TGetEpochEvent OnGetEpoch;
    TUserCommandEvent OnUserCommand;
    TUserValidationEvent OnUserValidation;

    // ---- Value access ----
    uint16_t GetValue(TCtlEntryValue& Data);
    void SetValue(const TCtlEntryValue& Data);
    int32_t GetAsInteger();
    void SetAsInteger(int32_t Value);
    void SetAsFloat(double Value);
    framework::TDateTime GetAsDateTime();
    void SetAsDateTime(framework::TDateTime Value);
    void SetAsDate(int32_t Day);
    void SetAsTime(int32_t Seconds);
    std::string GetAsString();
    virtual void SetAsString(const std::string& Value);
    uint16_t GetDataSize();
    virtual std::string GetEditText() const { return FEditText; }
    virtual void SetEditText(const std::string& Text);
    std::string GetDisplayText();
    bool GetModified() const { return FModified; }
    bool WasModified() const { return FModified || FEditedSinceSet; }
    int32_t GetEpoch();
    uint16_t LastError() const { return FLastError; }
    int GetSelLength() const { return FSelEnd - FSelStart; }
    int SelStart() const { return FSelStart; }
    int SelEnd() const { return FSelEnd; }
    void SetSelection(uint16_t Start, uint16_t Stop);
    int CaretColumn() const { return FCaretPos; }
    int FirstVisibleColumn() const { return FFirstCol; }
    bool InsertMode() const { return FCaretPair->InsertMode(); }
    void Restore();
    virtual void DoRestore();
    void IncrementValue(bool Wrap, double Delta);
    void DecrementValue(bool Wrap, double Delta);
    void MoveCaret(int Count);

    // ---- Ranges ----
    std::string GetRangeHi() { return RangeToText(FRangeHi); }
    std::string GetRangeLo() { return RangeToText(FRangeLo); }
    void SetRangeHi(const std::string& Text) { SetRange(FRangeHi, Text); }
    void SetRangeLo(const std::string& Text) { SetRange(FRangeLo, Text); }
    const TCtlRangeRec& RangeHiRec() const { return FRangeHi; }
    const TCtlRangeRec& RangeLoRec() const { return FRangeLo; }

    // ---- Validation ----
    virtual bool ValidateOnExit(bool AllowSoft);
    virtual uint16_t ValidateContents(bool ReportError);
    bool IsValid();
    bool SoftErrorShown() const { return FSoftError; }

    // ---- Clipboard and selection ----
    virtual void CutToClipboard();
    virtual void CopyToClipboard();
    virtual void PasteFromClipboard();
    virtual void ClearSelection();
    virtual void SelectAll();
    virtual void AdjustHeight();

    virtual void MoveToNextField();
    virtual void MoveToPreviousField();

    void SetName(const std::string& NewName) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(framework::TMessage& Message) override;
    void DefineProperties(framework::TFiler* Filer) override;
    void Loaded() override;

protected:
    // ---- For descendants ----
    virtual void MoveCaretToEnd();
    virtual void MoveCaretToStart();
    virtual void EditCommand(framework::TMessage& Msg, uint16_t Command) = 0;
    virtual uint16_t GetFirstEditPosition() { return 0; }
    virtual bool IsEmpty();
    virtual std::string GetDisplayString();
    virtual bool GetReadOnly() const { return (FOptions & efoReadOnly) != 0; }
    virtual void ReconcileOptions();
    virtual void ResetCaretPosition();
    // Direction 1: the field's value into Data (of the field's type and size); 2: Data into the
    // field. Returns the value size.
    virtual uint16_t TransferData(TCtlEntryValue& Data, int Direction) = 0;
    virtual uint16_t CheckValue() = 0;
    virtual void SetCaretPosition(int Pos);
    virtual void IncreaseValue(bool Wrap, double Delta) = 0;
    virtual void DoOnChange();
    virtual void DoOnError(uint16_t ErrorCode, const std::string& ErrorText);
    virtual void DoOnUserCommand(uint16_t Command);
    virtual void DoOnUserValidation(uint16_t& ErrorCode);
    virtual std::string GetDesignTimeString();
    virtual void PerformCut();
    virtual void PerformPaste();

    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;

    // Sets the data type and kind (the window is re-created when it exists).
    void SetDataTypeAndKind(uint8_t DataType, TCtlFieldKind Kind);
    void SetPictureMask(const std::string& Mask);
    void SetDefaultRange();
    // The value of the data-type table's last column, moved into the field.
    void SetInitialValue();
    // Places the caret (with scrolling when Adjust); true when the first visible column changed.
    bool PositionCaret(bool Adjust);
    // The column nearest to the client x position.
    int ColumnFromX(int X);
    // The command dispatch: read-only refusal, user commands, then EditCommand.
    void DoCommand(framework::TMessage& Msg, uint16_t Command);
    // Text width of part of the display string with the field's font.
    int TextWidth(const std::string& S);
    bool Loading() const { return (ComponentState() & framework::csLoading) != 0; }
    // Setters that store without the side effects of the properties (no window re-creation, no
    // option rules), for descendants that keep these in step with their mask.
    void StoreMaxLength(uint16_t Value) {
        FMaxLength = Value;
        FDataSize = -1;
    }
    void StoreDecimalPlaces(uint8_t Value) { FDecimalPlaces = Value; }
    void RemoveOptions(TCtlEntryFieldOptions Bits) { FOptions &= static_cast<TCtlEntryFieldOptions>(~Bits); }
    void Beep();
    void SetInsertMode(bool Value);
    bool Designing() const { return (ComponentState() & framework::csDesigning) != 0; }

    // The engine's state, open to descendants.
    std::string FEditText;
    int FCaretPos = 0;
    int FFirstCol = 0;
    int FSelStart = 0;
    int FSelEnd = 0;
    bool FModified = false;
    bool FEditedSinceSet = false;
    bool FAcceptChar = true;  // accept the next character message
    bool FTypedChar = false;  // the next character is a typed one
    bool FCtrlCharMode = false;
    bool FHasFocus = false;
    bool FSettingValue = false;  // set by the program: OnChange is silent
    bool FGettingValue = false;
    bool FInUserValidation = false;
    bool FNoUserValidation = false;
    uint16_t FLastError = 0;
    TCtlRangeRec FRangeLo, FRangeHi;

private:
    std::string RangeToText(const TCtlRangeRec& Rec);
    bool TextToRangeRec(const std::string& Text, TCtlRangeRec& Rec);
    void SetRange(TCtlRangeRec& Rec, const std::string& Text);
    std::string FloatRangeText(long double Value);
    void ReportError(uint16_t Code);
    void CheckDataTypeCode() const;
    uint16_t RequiredOrCheck();
    void BordersChanged();
    void ResetStateFlags();
    void ComputeTopMargin();
    int LeftMargin();
    int RightMargin();
    bool TextRightAligned();
    void HandleSetFocus(framework::TMessage& Message);
    void HandleKillFocus(framework::TMessage& Message);
    void HandleKeyDown(framework::TMessage& Message);
    void ShowMenu(int X, int Y);
    void DrawText(framework::TCanvas& Canvas);

    bool FAutoSize = true;
    framework::TBorderStyle FBorderStyle = framework::bsSingle;
    std::unique_ptr<TCtlBorders> FBorders;
    std::unique_ptr<TCtlCaretPair> FCaretPair;
    std::unique_ptr<TCtlEfColors> FEFColors;
    uint8_t FDecimalPlaces = 0;
    int32_t FEpoch = 0;
    uint16_t FMaxLength = 15;
    TCtlEntryFieldOptions FOptions = efoCaretToEnd | efoTrimBlanks;
    char FPadChar = ' ';
    char FPasswordChar = '*';
    int32_t FTextMargin = 2;
    bool FUninitialized = false;
    TZeroDisplay FZeroDisplay = zdShow;
    double FZeroDisplayValue = 0;

    std::string FPicture = "X";
    uint8_t FDataType = dtString;
    TCtlFieldKind FKind = fkSimple;
    int FDataSize = -1;
    int FTopMargin = 0;
    bool FRightAlignActive = false;
    std::optional<std::string> FSavedText;

    bool FSoftError = false;
    bool FFocusReturns = false;
    bool FFocusLeftForm = false;
    bool FExitError = false;
    bool FEnteredByMouse = false;
    bool FValidating = false;
    bool FPassingBack = false;
    bool FAdjustingHeight = false;  // only passes the focus back to an invalid field
    std::unique_ptr<framework::TPopupMenu> FMenu;
};

}  // namespace entry
