#pragma once
// The common engine of the picture and numeric fields: an entry field whose edit text is laid out
// by a picture mask. It keeps the class of every mask position, lays raw values into the mask and
// takes them out, prepares the text for editing (currency strings and separators out) and lays it
// out again when the field is left, keeps the caret on editable positions and shapes the painted
// text. It also holds what both fields share about numbers: their transfer, check and stepping.

#include <functional>
#include <optional>
#include <string>

#include "controls/entry/CtlEntryField.h"
#include "controls/entry/CtlPictureMask.h"

namespace entry {

class TCtlPictureBase : public TCtlBaseEntryField {
public:
    explicit TCtlPictureBase(framework::TComponent* AOwner);

    // The raw value of the text (the mask's literals, currency strings and separators taken out).
    std::string GetEditText() const override;
    // Lays a raw value into the mask.
    void SetEditText(const std::string& Text) override;
    bool ValidateOnExit(bool AllowSoft) override;
    uint16_t ValidateContents(bool ReportError) override;
    void Dispatch(framework::TMessage& Message) override;

    // The position engine, for tests and the descendants.
    const TCtlPictureMask& Picture() const { return FPic; }
    bool Prepared() const { return FPrepared; }

protected:
    // Rebuilds the position flags from the mask and MaxLength.
    void InitPictureFlags();
    std::string MergeWithPicture(const std::string& Value);
    std::string StripPicture(const std::string& Source) const;
    // Takes the currency string and separators out of the text for editing; true when the text
    // changed.
    virtual bool PrepareEditBuffer();
    // Closes the digits up against the decimal point on the chosen sides.
    void AlignDecimal(int PointPos, int FirstPos, bool Right, bool Left, int LastPos);
    // Digit positions of a numeric mask: the first run of editable and ',' positions plus, with
    // decimals, the decimals and the point; Decimals: positions after the point (DecimalPlaces
    // when the mask has none).
    void GetNumberLayout(int& Digits, int& Decimals) const;
    // Stores a new mask, keeping the value.
    virtual void AssignPicture(const std::string& Mask);

    uint16_t GetFirstEditPosition() override;
    bool IsEmpty() override;
    std::string GetDisplayString() override;
    void ReconcileOptions() override;
    void MoveCaretToStart() override;
    void MoveCaretToEnd() override;
    void SetCaretPosition(int Pos) override;
    void CreateWnd() override;

    // ---- Numbers (integer and floating data types) ----
    // Direction 1: the text into Data; 2: Data into the text.
    void TransferNumber(TCtlEntryValue& Data, int Direction);
    // 257 when the text does not convert, 256 outside the range; a valid value is laid back into
    // the text while the field has focus and no value is being fetched.
    uint16_t CheckNumber();
    // Steps an integer or floating value; true when the value changed (it is then in the text).
    bool StepNumber(bool Wrap, double Delta);
    // The text read as a number; false when it does not convert.
    bool NumberOfText(long double& Value) const;
    void SetNumber(long double Value);

    // Runs Change with the assigning mark set: window re-creations inside it carry no value.
    void WhileAssigning(const std::function<void()>& Change);
    // The value to carry across a window re-creation (none on the first creation).
    std::optional<TCtlEntryValue> ValueToCarry(bool CreatedOnce);
    // What a picture or numeric field copies from another of its kind: first its look, and last
    // its range and zero display (the mask and the options come between).
    void AssignLook(TCtlPictureBase& Source);
    void AssignRangeAndDisplay(TCtlPictureBase& Source);

    // Both sides of the decimal point aligned, for a modified picture field with a point.
    void AlignBeforeCheck();
    // Whether a window belongs to the same form as the field.
    bool InSameForm(framework::HWND Wnd);
    int LastEditPosition() const { return FPic.LastEditPosition(); }
    int EndOfText() const { return FPic.EndOfText(FEditText); }
    // The mask's decimal point when it lies at or before the last edit position, else -1.
    int DecimalPoint() const;
    uint8_t FlagAt(int Pos) const { return FPic.Flag(Pos); }
    char MaskCharAt(int Pos) const { return FPic.MaskAt(Pos); }
    // The mask as the engine uses it: for the numeric kind without its 'p' and 'g'.
    std::string EngineMask() const;

    TCtlPictureMask FPic;
    bool FPrepared = false;
    int FAnchor = 0;
    bool FFloating = false;
    bool FAssigning = false;  // a new mask is being stored: the value is carried by AssignPicture
};

}  // namespace entry
