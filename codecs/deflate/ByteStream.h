#pragma once
// The narrow stream interface the codecs read and write through: a byte source or sink with a
// position. Read and Write return the number of bytes moved (short at the end of data or on a
// failed write); Seek takes an origin of 0 (start), 1 (current) or 2 (end) and returns the new
// position.

#include <cstdint>
#include <string>
#include <vector>

namespace codecs {

class TArcByteStream {
public:
    virtual ~TArcByteStream() = default;
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, int origin) = 0;

    int64_t Position() { return Seek(0, 1); }
    void SetPosition(int64_t position) { Seek(position, 0); }
    int64_t Size();
};

// A growable stream held in memory.
class TArcMemoryStream : public TArcByteStream {
public:
    TArcMemoryStream() = default;
    explicit TArcMemoryStream(std::string data) : Data(std::move(data)) {}
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

    std::string Data;
    int64_t Pos = 0;
};

}  // namespace codecs
