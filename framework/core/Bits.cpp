#include "framework/core/Bits.h"

#include "framework/core/Exception.h"

namespace framework {

void TBits::Error() {
    throw EBitsError("Bits index out of range");
}

void TBits::SetSize(int Value) {
    if (Value < 0) Error();
    if (Value == FSize) return;
    // Bits beyond the new size are cleared now, so that growing again brings back clear bits.
    size_t words = (static_cast<size_t>(Value) + 31) / 32;
    FWords.resize(words, 0);
    if (Value % 32 != 0) FWords.back() &= (uint32_t{1} << (Value % 32)) - 1;
    FSize = Value;
}

bool TBits::Bits(int Index) const {
    if (Index < 0 || Index >= FSize) Error();
    return (FWords[static_cast<size_t>(Index) / 32] >> (Index % 32)) & 1u;
}

void TBits::SetBits(int Index, bool Value) {
    if (Index < 0 || Index == INT32_MAX) Error();
    if (Index >= FSize) SetSize(Index + 1);
    uint32_t mask = uint32_t{1} << (Index % 32);
    uint32_t& word = FWords[static_cast<size_t>(Index) / 32];
    word = Value ? (word | mask) : (word & ~mask);
}

int TBits::OpenBit() const {
    for (size_t w = 0; w < FWords.size(); ++w) {
        if (FWords[w] == ~uint32_t{0}) continue;
        for (int b = 0; b < 32; ++b) {
            int index = static_cast<int>(w * 32) + b;
            if (index >= FSize) return FSize;
            if (!((FWords[w] >> b) & 1u)) return index;
        }
    }
    return FSize;
}

}  // namespace framework
