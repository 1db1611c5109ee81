#pragma once
// The numeric field: a number entered like a calculator display. The caret stays at the right
// end, typed digits enter from the right, Backspace takes the last one off and '-' toggles the
// sign; the field keeps the typed characters in a buffer of its own and lays them into a numeric
// picture mask (decimal point, separators, currency strings, and 'p' or 'g' for a negative value
// shown in parentheses or with a trailing minus) after every change. Typing more decimals than
// the mask shows is refused with a beep.

#include <cstdint>
#include <string>

#include "controls/entry/CtlPictureBase.h"

namespace entry {

enum TNumericDataType : uint8_t {
    nftLongInt,
    nftWord,
    nftInteger,
    nftByte,
    nftShortInt,
    nftReal,
    nftExtended,
    nftDouble,
    nftSingle,
    nftComp,
};

class TCtlCustomNumericField : public TCtlPictureBase {
public:
    explicit TCtlCustomNumericField(framework::TComponent* AOwner);

    TNumericDataType NumericDataType() const { return FNumericType; }
    // ECtlException "Parameter value is invalid" for a value outside the enumeration.
    void SetDataType(TNumericDataType Value);
    virtual void SetPictureMask(const std::string& Mask);
    void Assign(framework::TPersistent* Source) override;
    void Dispatch(framework::TMessage& Message) override;

    // The typed characters (digits and at most one '.', without the sign) and the sign.
    const std::string& Buffer() const { return FBuf; }
    bool Negative() const { return FNeg; }
    // The digit budget, the decimals and the integer budget of the mask.
    int DigitBudget() const { return FD; }
    int Decimals() const { return FP; }
    int IntegerBudget() const { return FI; }

protected:
    void CreateWnd() override;
    void EditCommand(framework::TMessage& Msg, uint16_t Command) override;
    uint16_t TransferData(TCtlEntryValue& Data, int Direction) override;
    uint16_t CheckValue() override;
    void IncreaseValue(bool Wrap, double Delta) override;
    void MoveCaretToStart() override;
    void MoveCaretToEnd() override;
    void SetCaretPosition(int Pos) override;
    bool PrepareEditBuffer() override;
    std::string GetDisplayString() override;

private:
    void ComputeLayout();
    void LoadBuffer();
    void RebuildText();
    bool AddChar(char Ch);
    void ClearAll();
    bool AllSelected() const { return FSelEnd > FSelStart; }

    TNumericDataType FNumericType = nftLongInt;
    std::string FBuf;
    bool FNeg = false;
    int FD = 11, FP = 0, FI = 11;
    bool FCreatedOnce = false;
};

class TCtlNumericField : public TCtlCustomNumericField {
public:
    using TCtlCustomNumericField::TCtlCustomNumericField;
};

}  // namespace entry
