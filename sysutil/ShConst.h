#pragma once
// The Ss message table of the shell utilities (also the shell list view's column captions) and
// the EShException family, whose exceptions carry the table's code of their message.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace sysutil {

// The Ss table's text of a code; empty when the table has no such code.
std::string ShMessageText(int32_t code);

class EShException : public framework::Exception {
public:
    explicit EShException(int32_t code) : Exception(ShMessageText(code)), ErrorCode(code) {}
    // The table's text formatted with the arguments by the class library's Format.
    EShException(int32_t code, std::initializer_list<framework::TVarRec> args)
        : Exception(framework::Format(ShMessageText(code), args)), ErrorCode(code) {}
    int32_t ErrorCode;
};

#define KORVANE_SH_EXCEPTION(Name)        \
    class Name : public EShException {    \
    public:                               \
        using EShException::EShException; \
    }

KORVANE_SH_EXCEPTION(EShContainerError);
KORVANE_SH_EXCEPTION(EShVersionInfoError);
KORVANE_SH_EXCEPTION(EShShellError);
KORVANE_SH_EXCEPTION(EShInvalidFolder);
KORVANE_SH_EXCEPTION(EShBufStreamError);
KORVANE_SH_EXCEPTION(EShRegExError);

#undef KORVANE_SH_EXCEPTION

// Raises an exception of a class of the family with the text of the code.
template <typename E>
[[noreturn]] void RaiseSsError(int32_t code) {
    throw E(code);
}

[[noreturn]] void RaiseContainerError(int32_t code);
[[noreturn]] void RaiseContainerErrorFmt(int32_t code, std::initializer_list<framework::TVarRec> args);

}  // namespace sysutil
