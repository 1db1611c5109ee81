// The kit's LZRW coder as container files feed it: any bytes as one coded chunk, as a block stream,
// and as input that must survive a compress and decompress round trip unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "controls/kit/KitLzrw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One coded chunk into a buffer of exactly one chunk's size, so that any write past it shows.
    auto out = std::make_unique<uint8_t[]>(kit::LzrwChunkSize);
    try {
        (void)kit::LzrwDecompress(data, static_cast<int>(size > 1 << 20 ? 1 << 20 : size), out.get(),
                                  kit::LzrwChunkSize);
    } catch (const kit::EInvalidPointer&) {
    }

    // A block stream.
    framework::TMemoryStream stream, target;
    if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
    try {
        kit::ReadCompressedBlock(&stream, &target);
    } catch (const framework::Exception&) {
    }

    // The bytes as plain input: the round trip gives them back.
    int n = static_cast<int>(size < static_cast<size_t>(kit::LzrwChunkSize) ? size : kit::LzrwChunkSize);
    std::vector<uint8_t> coded(static_cast<size_t>(n) + kit::LzrwMargin);
    int len = kit::LzrwCompress(data, n, coded.data());
    if (len > n + 1) abort();
    auto back = std::make_unique<uint8_t[]>(static_cast<size_t>(n) + 1);
    int m = kit::LzrwDecompress(coded.data(), len, back.get(), n);
    if (m != n || (n > 0 && std::memcmp(back.get(), data, static_cast<size_t>(n)) != 0)) abort();
    return 0;
}
