// The picture-mask engine of the picture and numeric fields: the class of every mask position,
// the characters a mask character accepts, and laying a raw value into the mask and taking it out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controls/entry/CtlColors.h"
#include "controls/entry/IntlSup.h"

namespace entry {

// Position flags of a mask.
enum : uint8_t { pfLiteral = 0, pfEditable = 1, pfSpecial = 2 };

// Longest mask and edit text a field holds.
constexpr uint16_t MaxPictureLength = 255;

// True for a mask character that takes a typed character.
bool IsEditableMaskChar(char MaskChar);

// Forces the case of Ch for MaskChar (Prev is the character before it, for 'x' and user sets of
// forcing 3), then tests it against the characters MaskChar accepts. '\0' is never valid.
bool IsPictureCharValid(char MaskChar, char& Ch, bool Force, char Prev,
                        const TCtlIntlSup& Intl = CtlIntlSup(), const TCtlUserData& User = CtlUserData());

class TCtlPictureMask {
public:
    TCtlPictureMask(const TCtlIntlSup& Intl = CtlIntlSup(), const TCtlUserData& User = CtlUserData())
        : FIntl(Intl), FUser(User) {}

    // Sets the mask and the text length (at most 255; the mask's last character repeats up to
    // it) and rebuilds the position flags.
    void Assign(const std::string& Mask, uint16_t MaxLength);
    // Numeric kind: values always lay from the decimal point; floating: the field's data type
    // is a floating one; right-justify: text-order values fill from the right.
    bool Numeric = false;
    bool Floating = false;
    bool RightJustify = false;

    const std::string& Mask() const { return FMask; }
    uint16_t MaxLength() const { return FMaxLength; }
    uint8_t Flag(int Pos) const;
    bool AllPicture() const { return FAllPicture; }
    int SpecialCount() const { return FSpecialCount; }
    bool HasChar(char C) const { return FMask.find(C) != std::string::npos; }
    bool IsRadixMask() const { return HasChar('K') || HasChar('O') || HasChar('b'); }
    // Position of the mask's decimal point, -1 when none.
    int PointPos() const;

    int FirstEditPosition() const;
    int LastEditPosition() const;
    int EndOfText(const std::string& Text) const;
    bool IsEmpty(const std::string& Text) const;

    std::string Merge(const std::string& Value) const;
    std::string Strip(const std::string& Source) const;
    // Removes the currency string and separators from a merged text for editing; answers whether
    // the text is now prepared.
    bool PrepareEditBuffer(std::string& Text) const;
    // Closes the digits up against the decimal point on the chosen sides.
    void AlignDecimal(std::string& Text, int PointPos, int FirstPos, bool Right, bool Left,
                      int LastPos) const;
    // The painted text: blank editable and special positions as PadChar, filled ones as
    // PasswordChar in password mode; an uninitialized field without focus is all blanks.
    std::string DisplayString(const std::string& Text, char PadChar, bool PasswordMode, char PasswordChar,
                              bool UninitializedUnfocused) const;

    // The mask character at a position of the text ('\0' outside it).
    char MaskAt(int Pos) const;
    // The numeric field keeps its separators and currency strings while editing: no position
    // counts as special for the first edit position and the preparing of the text.
    void ClearSpecialCount() { FSpecialCount = 0; }

private:
    const TCtlIntlSup& FIntl;
    const TCtlUserData& FUser;
    std::string FMask = "X";
    std::string FFullMask = "X";
    uint16_t FMaxLength = 1;
    std::vector<uint8_t> FFlags = {pfEditable};
    bool FAllPicture = true;
    int FSpecialCount = 0;
};

}  // namespace entry
