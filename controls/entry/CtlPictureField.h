#pragma once
// The picture field: a typed value shown and edited through a picture mask, with its own editing
// engine for every command, typed transfer of the value, type and range checks, date and time
// completion and stepping of the value.
//
// pftDateTime fields (a date mask, a blank and a time mask) carry their value as a Double day count
// (the class library's date-and-time value, 8 bytes); SetAsDateTime on such a field replaces the
// date part and keeps the time shown.

#include <cstdint>
#include <string>

#include "controls/entry/CtlPictureBase.h"

namespace entry {

enum TPictureDataType : uint8_t {
    pftString,
    pftChar,
    pftBoolean,
    pftYesNo,
    pftLongInt,
    pftWord,
    pftInteger,
    pftByte,
    pftShortInt,
    pftReal,
    pftExtended,
    pftDouble,
    pftSingle,
    pftComp,
    pftDate,
    pftTime,
    pftDateTime,
};

class TCtlCustomPictureField : public TCtlPictureBase {
public:
    explicit TCtlCustomPictureField(framework::TComponent* AOwner);

    TPictureDataType PictureDataType() const { return FPictureType; }
    // ECtlException "Parameter value is invalid" for a value outside the enumeration.
    void SetDataType(TPictureDataType Value);
    virtual void SetPictureMask(const std::string& Mask);
    bool InitDateTime() const { return FInitDateTime; }
    void SetInitDateTime(bool Value);

    void SetAsString(const std::string& Value) override;
    void SetAsDateTime(framework::TDateTime Value);
    void Assign(framework::TPersistent* Source) override;

protected:
    void CreateWnd() override;
    void EditCommand(framework::TMessage& Msg, uint16_t Command) override;
    uint16_t TransferData(TCtlEntryValue& Data, int Direction) override;
    uint16_t CheckValue() override;
    void IncreaseValue(bool Wrap, double Delta) override;

private:
    bool CharLike() const;
    bool NumberType() const;
    std::string DateMask() const;
    std::string TimeMask() const;
    bool Editable(int Pos) const { return FlagAt(Pos) != pfLiteral; }
    int RunStart(int Pos) const;
    int RunEnd(int Pos) const;
    int NextPos(int Pos) const;
    int PrevPos(int Pos) const;
    // The caret moved to a column: kept on an editable position, moving in Dir over literals.
    int ColumnToCaret(int Col, int Dir) const;
    void DeleteInRun(int Pos, int Count);
    bool DeleteSelection();
    void ExtendTo(int Anchor, int Dir);
    // Inserts Ch at the caret as insert mode does; false when the run is full and may not push.
    bool InsertAtCaret(char Ch);
    void TypeChar(char Ch);
    void Paste(const std::string& Text);
    void Complete(bool Date);
    void CharCommand(framework::TMessage& Msg, uint16_t Command);
    bool StepChar(bool Wrap, double Delta);
    bool StepDate(bool Wrap, double Delta);
    bool StepTime(bool Wrap, double Delta);
    // The mask character that chooses the stepped part: at the caret, or before it on a literal.
    char PartUnderCaret() const;
    std::string StrippedText() const { return StripPicture(FEditText); }
    void SetDateText(int32_t Day);
    void SetTimeText(int32_t Seconds);
    void SetDateTimeText(double Value);
    bool DateTimeOfText(double& Value, uint16_t& Error) const;

    TPictureDataType FPictureType = pftString;
    bool FInitDateTime = false;
    bool FCreatedOnce = false;
};

class TCtlPictureField : public TCtlCustomPictureField {
public:
    using TCtlCustomPictureField::TCtlCustomPictureField;
};

}  // namespace entry
