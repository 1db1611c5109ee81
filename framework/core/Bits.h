#pragma once
// TBits: a growable array of bits, all clear when they come into being.

#include <cstdint>
#include <vector>

#include "framework/core/Object.h"

namespace framework {

class TBits : public TObject {
public:
    int Size() const { return FSize; }
    // Raises EBitsError "Bits index out of range" for a negative size.
    void SetSize(int Value);

    // Reading outside 0..Size-1 raises EBitsError "Bits index out of range"; writing past the end
    // grows the array to Index + 1, writing at a negative index raises.
    bool Bits(int Index) const;
    void SetBits(int Index, bool Value);
    bool operator[](int Index) const { return Bits(Index); }

    // The index of the first clear bit; Size when every bit is set.
    int OpenBit() const;

private:
    [[noreturn]] static void Error();

    std::vector<uint32_t> FWords;
    int FSize = 0;
};

}  // namespace framework
