#pragma once
// The full-text parameters a table has when it stores none of its own.

#include "dbengine/index/TextIndexParams.h"

namespace dbengine {

// The 22 default stop words, in this order.
extern const char* const DefaultStopWords[22];

// Codes 1 to 32 and * + , - . / : ; < = > \ `.
TCharSet DefaultSpaceChars();
// The identifier characters among codes 33 to 255: digits, letters, "_" and codes 128 to 254.
TCharSet DefaultIncludeChars();

inline bool CharSetIsEmpty(const TCharSet& set) {
    for (uint8_t b : set)
        if (b != 0) return false;
    return true;
}

}  // namespace dbengine
