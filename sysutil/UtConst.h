#pragma once
// The St message table of the utility components and the EUtException family, whose exceptions
// carry the table's code of their message.

#include <cstdint>
#include <string>

#include "framework/core/Exception.h"

namespace sysutil {

// The St table's text of a code; empty when the table has no such code.
std::string UtMessageText(int32_t code);

class EUtException : public framework::Exception {
public:
    explicit EUtException(int32_t code) : Exception(UtMessageText(code)), ErrorCode(code) {}
    int32_t ErrorCode;
};

class EUtSortError : public EUtException {
public:
    using EUtException::EUtException;
};

class EUtSpawnError : public EUtException {
public:
    using EUtException::EUtException;
};

// Raises an exception of a class of the family with the text of the code.
template <typename E>
[[noreturn]] void RaiseStError(int32_t code) {
    throw E(code);
}

// The external sorter's raising routine: code 8 (not enough memory) is the run-time's
// out-of-memory exception, every other code an EUtSortError.
[[noreturn]] void RaiseSortError(int32_t code);

}  // namespace sysutil
