#pragma once
// The numbered message table from which every text of the entry and grid controls comes, the
// exception tree of the control libraries, and the set of characters that picture masks treat as
// alphabetic.

#include <bitset>
#include <cstdint>
#include <string>

#include "framework/core/Exception.h"

namespace entry {

// Message numbers the library itself raises or reads by name.
constexpr uint32_t SCtlUnknownError = 30168;
constexpr uint32_t SCtlDuplicateCommand = 30169;
constexpr uint32_t SCtlTableNotFound = 30170;
constexpr uint32_t SCtlNoTimersAvailable = 30189;
constexpr uint32_t SCtlTooManyTriggers = 30190;
constexpr uint32_t SCtlInvalidTriggerHandle = 30191;
constexpr uint32_t SCtlInvalidPageIndex = 30193;
constexpr uint32_t SCtlInvalidDataType = 30194;
constexpr uint32_t SCtlInvalidTabFont = 30195;
constexpr uint32_t SCtlInvalidPictureMask = 30202;
constexpr uint32_t SCtlInvalidRange = 30203;
constexpr uint32_t SCtlInvalidRangeReal = 30204;
constexpr uint32_t SCtlInvalidRangeExtended = 30205;
constexpr uint32_t SCtlInvalidRangeDouble = 30206;
constexpr uint32_t SCtlInvalidRangeSingle = 30207;
constexpr uint32_t SCtlInvalidRangeComp = 30208;
constexpr uint32_t SCtlInvalidDateRange = 30209;
constexpr uint32_t SCtlInvalidTimeRange = 30210;
constexpr uint32_t SCtlInvalidRangeValue = 30211;
constexpr uint32_t SCtlInvalidFixedFont = 30214;
constexpr uint32_t SCtlSparseArrayError = 30217;
constexpr uint32_t SCtlSAAtMaxSize = 30218;
constexpr uint32_t SCtlSAOutOfBounds = 30219;
constexpr uint32_t SCtlYesChar = 30368;
constexpr uint32_t SCtlNoChar = 30369;
constexpr uint32_t SCtlTrueChar = 30370;
constexpr uint32_t SCtlFalseChar = 30371;
// The name of command code n is message SCtlFirstCommandName + n.
constexpr uint32_t SCtlFirstCommandName = 33768;

// The number of entries in the table.
constexpr int CtlMessageCount = 375;

// The text of a message number, empty when the table has no such number. Only the low 16 bits of
// the number take part in the search.
std::string CtlFindMessage(uint32_t Number);
// As CtlFindMessage, "Unknown" for a number the table does not have.
std::string CtlGetMessage(uint32_t Number);

// The table in ascending order of numbers, for those that list it.
struct TCtlMessage {
    uint32_t Number;
    const char* Text;
};
const TCtlMessage* CtlMessageTable();

// Blank, ",", "-", ".", A-Z, a-z and every character from 128 to 255 that the system calls
// alphabetic. Built once, on first use.
const std::bitset<256>& CtlAlphaCharSet();

// ---- Exceptions ----

class ECtlException : public framework::Exception {
public:
    using framework::Exception::Exception;
};

class ENoTimersAvailable : public ECtlException {
public:
    ENoTimersAvailable();
};

class ECmdProcessorError : public ECtlException {
public:
    using ECtlException::ECtlException;
};
class EDuplicateCommand : public ECmdProcessorError {
public:
    EDuplicateCommand();
};
class ETableNotFound : public ECmdProcessorError {
public:
    ETableNotFound();
};

class EEntryFieldError : public ECtlException {
public:
    using ECtlException::ECtlException;
};
class EInvalidDataType : public EEntryFieldError {
public:
    EInvalidDataType();
};
class EInvalidPictureMask : public EEntryFieldError {
public:
    explicit EInvalidPictureMask(const std::string& Mask);
};
// The text names the range of the entry field's data type (numbered as the picture field's data
// types: 0 string ... 15 time).
class EInvalidRangeValue : public EEntryFieldError {
public:
    explicit EInvalidRangeValue(int DataType);
};
// A date that a picture mask cannot show; raised with a text of the caller's choice.
class EInvalidDateForMask : public EEntryFieldError {
public:
    using EEntryFieldError::EEntryFieldError;
};

class ENotebookError : public ECtlException {
public:
    using ECtlException::ECtlException;
};
class EInvalidPageIndex : public ENotebookError {
public:
    EInvalidPageIndex();
};
class EInvalidTabFont : public ENotebookError {
public:
    EInvalidTabFont();
};

class ESparseArrayError : public ECtlException {
public:
    using ECtlException::ECtlException;
};
class ESAEAtMaxSize : public ESparseArrayError {
public:
    using ESparseArrayError::ESparseArrayError;
};
class ESAEOutOfBounds : public ESparseArrayError {
public:
    using ESparseArrayError::ESparseArrayError;
};

class EFixedFontError : public ECtlException {
public:
    using ECtlException::ECtlException;
};
class EInvalidFixedFont : public EFixedFontError {
public:
    EInvalidFixedFont();
};

}  // namespace entry
