#include <string>

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/core/Strings.h"
#include "platform/Files.h"

namespace framework {

// ---- THandleStream ------------------------------------------------------------------------------

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    uint32_t done = 0;
    if (!platform::ReadFile(FHandle, Buffer, static_cast<uint32_t>(Count), &done)) return 0;
    return static_cast<int32_t>(done);
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    uint32_t done = 0;
    if (!platform::WriteFile(FHandle, Buffer, static_cast<uint32_t>(Count), &done)) return 0;
    return static_cast<int32_t>(done);
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    // The origins have the platform's numbers (begin 0, current 1, end 2).
    int64_t position = -1;
    if (!platform::SetFilePointerEx(FHandle, Offset, &position, static_cast<uint32_t>(Origin))) return -1;
    return position;
}

void THandleStream::SetSize(int64_t NewSize) {
    Seek(NewSize, soFromBeginning);
    if (!platform::SetEndOfFile(FHandle)) throw EWriteError("Stream write error");
}

// ---- TFileStream --------------------------------------------------------------------------------

namespace {

intptr_t OpenHandle(const std::string& FileName, uint16_t Mode) {
    if (Mode == fmCreate)
        return platform::CreateFile(FileName, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                                    platform::CREATE_ALWAYS, platform::FILE_ATTRIBUTE_NORMAL);
    static const uint32_t kAccess[] = {platform::GENERIC_READ, platform::GENERIC_WRITE,
                                       platform::GENERIC_READ | platform::GENERIC_WRITE};
    // Indexed by the sharing nibble: compatibility and exclusive share nothing.
    static const uint32_t kShare[] = {0, 0, platform::FILE_SHARE_READ, platform::FILE_SHARE_WRITE,
                                      platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE};
    unsigned access = Mode & 0x0F, share = (Mode & 0xF0) >> 4;
    if (access > 2 || share > 4 || (Mode & 0xFF00) != 0) return platform::INVALID_HANDLE_VALUE;
    return platform::CreateFile(FileName, kAccess[access], kShare[share], platform::OPEN_EXISTING,
                                platform::FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode)
    : THandleStream(OpenHandle(FileName, Mode)), FFileName(FileName) {
    if (FHandle == platform::INVALID_HANDLE_VALUE) {
        if (Mode == fmCreate) throw EFCreateError("Cannot create file " + FileName);
        throw EFOpenError("Cannot open file " + FileName);
    }
}

TFileStream::~TFileStream() {
    if (FHandle != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FHandle);
}

// ---- File forms of the memory stream and the string lists -----------------------------------------

void TCustomMemoryStream::SaveToFile(const std::string& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(&stream);
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TStrings::LoadFromFile(const std::string& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TStrings::SaveToFile(const std::string& FileName) const {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(&stream);
}

}  // namespace framework
