// Feeds arbitrary bytes to the ZIP entry decoders. The first byte picks the method (shrink,
// reduce 1-4, implode, deflate) and the implode flags; the second the claimed output size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/zip/ZipDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const int kMethods[] = {1, 2, 3, 4, 5, 6, 8, 0};
    const int method = kMethods[data[0] & 7];
    framework::TStringStream archive(std::string(reinterpret_cast<const char*>(data + 2), size - 2));
    framework::TStringStream out;
    codecs::TZipEntryDecoder decoder(&archive, &out);
    decoder.CompressedSize = static_cast<int64_t>(size - 2);
    decoder.UncompressedSize = int64_t(data[1]) * 257;
    decoder.Flags = static_cast<uint16_t>((data[0] >> 3) & 6);
    try {
        decoder.Decode(method);
    } catch (const codecs::EBiggerThanUncompressed&) {
    } catch (const codecs::EFatalUnzipError&) {
    }
    return 0;
}
