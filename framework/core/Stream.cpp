#include "framework/core/Stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/core/Exception.h"

namespace framework {

namespace {

// A memory stream holds at most what a 32-bit count can address.
constexpr int64_t kMaxMemoryStreamSize = INT32_MAX;

int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case soFromBeginning:
            return offset;
        case soFromCurrent:
            return position + offset;
        case soFromEnd:
            return size + offset;
    }
    return position;
}

}  // namespace

// ---- TStream ------------------------------------------------------------------------------------

int64_t TStream::Size() {
    int64_t position = Seek(0, soFromCurrent);
    int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->Size();
    }
    int64_t result = Count;
    constexpr int64_t kBufferSize = 0xF000;
    std::vector<char> buffer(static_cast<size_t>(std::min(Count, kBufferSize)));
    while (Count > 0) {
        int32_t n = static_cast<int32_t>(std::min(Count, kBufferSize));
        Source->ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        Count -= n;
    }
    return result;
}

// ---- Memory streams -----------------------------------------------------------------------------

int32_t TCustomMemoryStream::Read(void* Buffer, int32_t Count) {
    int64_t size = Size();
    if (Count <= 0 || FPosition < 0 || FPosition >= size) return 0;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, size - FPosition));
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TCustomMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    FPosition = SeekTarget(FPosition, Size(), Offset, Origin);
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) {
    if (!FData.empty()) Stream->WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    int64_t end = FPosition + Count;
    if (end > Size()) SetSize(end);
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = end;
    return Count;
}

void TMemoryStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) NewSize = 0;
    if (NewSize > kMaxMemoryStreamSize) throw EOutOfMemory("Out of memory while expanding memory stream");
    try {
        FData.resize(static_cast<size_t>(NewSize), 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory while expanding memory stream");
    }
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
    std::vector<char>().swap(FData);
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
    Stream->SetPosition(0);
    int64_t count = Stream->Size();
    SetSize(count);
    if (count != 0) Stream->ReadBuffer(FData.data(), static_cast<int32_t>(count));
    FPosition = 0;
}

// ---- TStringStream ------------------------------------------------------------------------------

int32_t TStringStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, Size() - FPosition));
    if (n <= 0) return 0;
    std::memcpy(Buffer, FDataString.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int32_t TStringStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    size_t at = static_cast<size_t>(FPosition);
    size_t count = static_cast<size_t>(Count);
    if (at + count > FDataString.size()) FDataString.resize(at + count);
    std::memcpy(FDataString.data() + at, Buffer, count);
    FPosition += Count;
    return Count;
}

int64_t TStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    FPosition = std::clamp<int64_t>(SeekTarget(FPosition, Size(), Offset, Origin), 0, Size());
    return FPosition;
}

void TStringStream::SetSize(int64_t NewSize) {
    FDataString.resize(static_cast<size_t>(std::clamp<int64_t>(NewSize, 0, kMaxMemoryStreamSize)));
    if (FPosition > Size()) FPosition = Size();
}

std::string TStringStream::ReadString(int32_t Count) {
    int32_t n = static_cast<int32_t>(std::clamp<int64_t>(Count, 0, Size() - FPosition));
    std::string result = FDataString.substr(static_cast<size_t>(FPosition), static_cast<size_t>(n));
    FPosition += n;
    return result;
}

void TStringStream::WriteString(const std::string& AString) {
    Write(AString.data(), static_cast<int32_t>(AString.size()));
}

}  // namespace framework
