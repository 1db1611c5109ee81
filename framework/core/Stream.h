#pragma once
// Streams: sequences of bytes with a position.
//
// Read and Write move as many bytes as they can and return the count; a short count is not an
// error (reading at or past the end returns 0). ReadBuffer and WriteBuffer are the strict forms:
// a short transfer raises EReadError "Stream read error" / EWriteError "Stream write error".
// Positions and sizes are 64-bit; a single transfer is at most 2^31 - 1 bytes.
//
// TMemoryStream keeps its bytes in memory (at most 2^31 - 1 of them); TStringStream keeps them in
// a std::string; THandleStream works on an open file handle that it does not own; TFileStream opens
// (and closes) its own file.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/Object.h"

namespace framework {

enum TSeekOrigin : uint16_t { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream : public TObject {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }
    virtual int64_t Size();
    // Streams that cannot change their size ignore it.
    virtual void SetSize(int64_t NewSize);

    void ReadBuffer(void* Buffer, int32_t Count);
    void WriteBuffer(const void* Buffer, int32_t Count);
    // Copies Count bytes from Source's position; Count 0 copies the whole of Source from its start.
    // Returns the number of bytes copied; a short source raises EReadError.
    int64_t CopyFrom(TStream* Source, int64_t Count);
};

class TCustomMemoryStream : public TStream {
public:
    int32_t Read(void* Buffer, int32_t Count) override;
    // Any position may be set, also past the end (a later Write fills the gap with zeros) or
    // before the start (reads and writes there transfer nothing).
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }

    // The bytes; valid until the size changes.
    char* Memory() { return FData.data(); }
    const char* Memory() const { return FData.data(); }

    void SaveToStream(TStream* Stream);
    // Raises EFCreateError when the file cannot be created.
    void SaveToFile(const std::string& FileName);

protected:
    std::vector<char> FData;
    int64_t FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    int32_t Write(const void* Buffer, int32_t Count) override;
    // New bytes are zero; a position past the new end moves to the end.
    // Raises EOutOfMemory "Out of memory while expanding memory stream" beyond 2^31 - 1 bytes.
    void SetSize(int64_t NewSize) override;
    void Clear();

    // The whole of Stream (from its start) replaces the contents; the position becomes 0.
    void LoadFromStream(TStream* Stream);
    // Raises EFOpenError when the file cannot be opened.
    void LoadFromFile(const std::string& FileName);
};

class TStringStream : public TStream {
public:
    explicit TStringStream(std::string AString = {}) : FDataString(std::move(AString)) {}

    int32_t Read(void* Buffer, int32_t Count) override;
    // Overwrites from the position and extends the string at its end.
    int32_t Write(const void* Buffer, int32_t Count) override;
    // The position stays within 0..Size.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(FDataString.size()); }
    void SetSize(int64_t NewSize) override;

    std::string ReadString(int32_t Count);
    void WriteString(const std::string& AString);
    const std::string& DataString() const { return FDataString; }

private:
    std::string FDataString;
    int64_t FPosition = 0;
};

// A stream over an open file handle of the platform layer. The handle stays open when the stream
// is destroyed.
class THandleStream : public TStream {
public:
    explicit THandleStream(intptr_t AHandle) : FHandle(AHandle) {}

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    // Truncates or extends the file; raises EWriteError "Stream write error" when that fails.
    void SetSize(int64_t NewSize) override;

    intptr_t Handle() const { return FHandle; }

protected:
    intptr_t FHandle;
};

// Open modes: fmCreate, or one of the access modes combined with one sharing mode.
constexpr uint16_t fmCreate = 0xFFFF;  // create or truncate, then open for reading and writing
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;  // treated as fmShareExclusive
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TFileStream : public THandleStream {
public:
    // FileName is a Windows-form path. Raises EFCreateError "Cannot create file %s" (fmCreate) or
    // EFOpenError "Cannot open file %s" with the name as given.
    TFileStream(const std::string& FileName, uint16_t Mode);
    ~TFileStream() override;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
};

}  // namespace framework
