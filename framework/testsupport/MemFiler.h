#pragma once
// An in-memory writer and reader pair for tests of streamed values and components: values are
// written through Writer(), then Reader() reads the same bytes from their start.

#include <memory>
#include <string>

#include "framework/core/Filer.h"

namespace framework {

class TMemFiler {
public:
    explicit TMemFiler(int BufSize = 1024) : FBufSize(BufSize) {}

    // The writer, made on first use.
    TWriter& Writer() {
        if (!FWriter) FWriter = std::make_unique<TWriter>(&FStream, FBufSize);
        return *FWriter;
    }
    // Ends the writing (flushed and freed) and reads from the first byte.
    TReader& Reader() {
        if (!FReader) {
            EndWriting();
            FStream.SetPosition(0);
            FReader = std::make_unique<TReader>(&FStream, FBufSize);
        }
        return *FReader;
    }
    // The bytes written so far.
    std::string Bytes() {
        if (FWriter) FWriter->FlushBuffer();
        return std::string(FStream.Memory(), static_cast<size_t>(FStream.Size()));
    }
    TMemoryStream& Stream() { return FStream; }

private:
    void EndWriting() {
        if (FWriter) {
            FWriter->FlushBuffer();
            FWriter.reset();
        }
    }

    int FBufSize;
    TMemoryStream FStream;
    std::unique_ptr<TWriter> FWriter;
    std::unique_ptr<TReader> FReader;
};

// A component written as a root component, as bytes.
inline std::string WriteRootComponentBytes(TComponent* Root) {
    TMemoryStream stream;
    {
        TWriter writer(&stream);
        writer.WriteRootComponent(Root);
    }
    return std::string(stream.Memory(), static_cast<size_t>(stream.Size()));
}

// Reads bytes written by WriteRootComponentBytes into Root (or a new root when Root is nil).
inline TComponent* ReadRootComponentBytes(const std::string& Bytes, TComponent* Root) {
    TMemoryStream stream;
    stream.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    stream.SetPosition(0);
    TReader reader(&stream);
    return reader.ReadRootComponent(Root);
}

}  // namespace framework
