#pragma once
// The class library's exception classes. Every error the system raises derives from Exception,
// which carries a message (Windows-1252 text) and, like every object, its class name.

#include <exception>
#include <string>

#include "framework/core/Object.h"

namespace framework {

class Exception : public std::exception, public TObject {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
    int HelpContext = 0;
};

#define KORVANE_DECLARE_EXCEPTION(Name, Base) \
    class Name : public Base {                \
    public:                                   \
        using Base::Base;                     \
    }

// The silent exception: the application's default handler shows nothing for it.
KORVANE_DECLARE_EXCEPTION(EAbort, Exception);
KORVANE_DECLARE_EXCEPTION(EConvertError, Exception);
KORVANE_DECLARE_EXCEPTION(EListError, Exception);
KORVANE_DECLARE_EXCEPTION(EStringListError, EListError);
KORVANE_DECLARE_EXCEPTION(EBitsError, Exception);
KORVANE_DECLARE_EXCEPTION(EComponentError, Exception);
KORVANE_DECLARE_EXCEPTION(EStreamError, Exception);
KORVANE_DECLARE_EXCEPTION(EReadError, EStreamError);
KORVANE_DECLARE_EXCEPTION(EWriteError, EStreamError);
KORVANE_DECLARE_EXCEPTION(EFOpenError, EStreamError);
KORVANE_DECLARE_EXCEPTION(EFCreateError, EStreamError);
KORVANE_DECLARE_EXCEPTION(EOutOfMemory, Exception);
KORVANE_DECLARE_EXCEPTION(EDatabaseError, Exception);

// An input/output failure with the operating system's error code.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

// Raises EAbort with the message "Operation aborted".
[[noreturn]] void Abort();

// Runs every step of a piece of work even when one fails; the first failure is raised at the end
// (the later ones are dropped). For closing and releasing, where each step must run.
class TFirstFailure {
public:
    template <typename F>
    void Run(F&& step) {
        try {
            step();
        } catch (...) {
            if (!FFailure) FFailure = std::current_exception();
        }
    }
    bool Failed() const { return static_cast<bool>(FFailure); }
    void RaiseIfAny() {
        if (FFailure) std::rethrow_exception(FFailure);
    }

private:
    std::exception_ptr FFailure;
};

}  // namespace framework
