#pragma once
// A write-only log of an engine run: a created file written through a 4096-byte buffer.

#include <memory>
#include <string>

#include "framework/core/Stream.h"

namespace codecs {

class TArcLogger : public framework::TStream {
public:
    // Line ends: 0 CR LF, 1 LF, 2 none. Raises EFCreateError when the file cannot be created.
    explicit TArcLogger(const std::string& fileName, int lineDelimiter = 0);
    ~TArcLogger() override;
    TArcLogger(const TArcLogger&) = delete;
    TArcLogger& operator=(const TArcLogger&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    // Only asking for the current position is allowed.
    int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override;
    void WriteLine(const std::string& text);

private:
    void Flush();

    std::unique_ptr<framework::TFileStream> FFile;
    int FDelimiter;
    std::string FBuffer;
    int64_t FWritten = 0;
};

}  // namespace codecs
