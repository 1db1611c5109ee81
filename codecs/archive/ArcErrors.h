#pragma once
// Exceptions of the archive library and the table of message texts their codes index.

#include <cstdint>
#include <string>

#include "framework/core/Exception.h"

namespace codecs {

// The text for a message code; `text` is left unchanged when no entry has the code. When a code
// appears twice the later entry wins.
void MessageForCode(int32_t code, std::string& text);
std::string MessageForCode(int32_t code);

class EArcException : public framework::Exception {
public:
    // Raised with a message of its own; ErrorCode stays 0.
    explicit EArcException(std::string message) : framework::Exception(std::move(message)) {}
    // Raised for a code of the message table; the message is that code's text.
    explicit EArcException(int32_t code) : framework::Exception(MessageForCode(code)), ErrorCode(code) {}
    int32_t ErrorCode = 0;
};

#define KORVANE_ARC_CODED_EXCEPTION(Name, Base, Code)                                       \
    class Name : public Base {                                                              \
    public:                                                                                 \
        Name() : Base(Code) {}                                                              \
        explicit Name(std::string message) : Base(std::move(message)) { ErrorCode = Code; } \
    }

#define KORVANE_ARC_GROUP_EXCEPTION(Name, Base)                          \
    class Name : public Base {                                           \
    public:                                                              \
        explicit Name(int32_t code) : Base(code) {}                      \
        explicit Name(std::string message) : Base(std::move(message)) {} \
    }

KORVANE_ARC_CODED_EXCEPTION(EArcDuplicateName, EArcException, 7);
KORVANE_ARC_CODED_EXCEPTION(EArcNoSuchDirectory, EArcException, 19);
KORVANE_ARC_CODED_EXCEPTION(EArcFileNotFound, EArcException, 25);
KORVANE_ARC_CODED_EXCEPTION(EArcNoArchive, EArcException, 27);
KORVANE_ARC_CODED_EXCEPTION(EArcUserAbort, EArcException, 9);
KORVANE_ARC_CODED_EXCEPTION(EArcSpanningNotSupported, EArcException, 36);
KORVANE_ARC_GROUP_EXCEPTION(EArcZipException, EArcException);
KORVANE_ARC_CODED_EXCEPTION(EArcZipInvalid, EArcZipException, 28);
KORVANE_ARC_CODED_EXCEPTION(EArcReadError, EArcZipException, 29);
KORVANE_ARC_GROUP_EXCEPTION(EArcCabException, EArcException);
KORVANE_ARC_CODED_EXCEPTION(EArcNoCabinetDll, EArcCabException, 50);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIFileOpenError, EArcCabException, 51);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIFileReadError, EArcCabException, 52);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIFileWriteError, EArcCabException, 53);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIFileCloseError, EArcCabException, 54);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIFileSeekError, EArcCabException, 55);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIFileDeleteError, EArcCabException, 56);
KORVANE_ARC_CODED_EXCEPTION(EArcFCIAddFileError, EArcCabException, 57);
KORVANE_ARC_CODED_EXCEPTION(EArcFCICreateError, EArcCabException, 58);
KORVANE_ARC_CODED_EXCEPTION(EArcFDICopyError, EArcCabException, 61);
KORVANE_ARC_CODED_EXCEPTION(EArcFDICreateError, EArcCabException, 62);
KORVANE_ARC_CODED_EXCEPTION(EArcInvalidCabFile, EArcCabException, 64);

#undef KORVANE_ARC_CODED_EXCEPTION
#undef KORVANE_ARC_GROUP_EXCEPTION

// Message code of "Process aborted by user", carried by EArcAbortProgress.
constexpr int32_t kArcMsgUserAbort = 9;
// Message code of "Error creating Log File".
constexpr int32_t kArcMsgLogFileError = 38;

}  // namespace codecs
