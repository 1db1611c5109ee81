#include "codecs/deflate/Logger.h"

#include "codecs/deflate/DeflateEngine.h"

namespace codecs {

namespace {
constexpr size_t kLogBufferSize = 4096;
}

TArcLogger::TArcLogger(const std::string& fileName, int lineDelimiter) : FDelimiter(lineDelimiter) {
    FFile = std::make_unique<framework::TFileStream>(fileName, framework::fmCreate);
}

TArcLogger::~TArcLogger() {
    try {
        Flush();
    } catch (...) {
        // A log that cannot be written loses its last lines; the run's own result stands.
    }
}

int32_t TArcLogger::Read(void*, int32_t) {
    ArcAssert(false, "TArcLogger.Read: loggers are write-only, no reading allowed");
    return 0;
}

int32_t TArcLogger::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    FBuffer.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    FWritten += count;
    if (FBuffer.size() >= kLogBufferSize) Flush();
    return count;
}

int64_t TArcLogger::Seek(int64_t offset, framework::TSeekOrigin origin) {
    ArcAssert(offset == 0 && origin == 1, "TArcLogger.Seek: loggers are write-only, no seeking allowed");
    return FWritten;
}

void TArcLogger::WriteLine(const std::string& text) {
    static const char* const kEnds[] = {"\r\n", "\n", ""};
    std::string line = text + kEnds[FDelimiter >= 0 && FDelimiter <= 2 ? FDelimiter : 0];
    Write(line.data(), static_cast<int32_t>(line.size()));
}

void TArcLogger::Flush() {
    if (!FBuffer.empty()) FFile->WriteBuffer(FBuffer.data(), static_cast<int32_t>(FBuffer.size()));
    FBuffer.clear();
}

}  // namespace codecs
