// Feeds arbitrary bytes to the TAR and GZIP readers and to the archive signature tests: the TAR
// header walk (long-name records, extended headers) with the header and data of every entry, the
// GZIP headers and the inflation of every member, and the ZIP end record search.
#include <cstddef>
#include <cstdint>

#include "codecs/archive/TarGzip.h"
#include "codecs/deflate/DeflateEngine.h"
#include "framework/core/Stream.h"

namespace {
struct Input : framework::TMemoryStream {
    Input(const uint8_t* data, size_t size) {
        if (size) WriteBuffer(data, static_cast<int32_t>(size));
        SetPosition(0);
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input s(data, size);
    try {
        codecs::TarSignatureTest(&s);
        codecs::TArcTarStreamHelper tar(&s);
        int n = 0;
        for (bool found = tar.FindFirstItem(); found && n < 64; found = tar.FindNextItem(), ++n) {
            codecs::TArcTarItem item;
            tar.ReadItem(item);
            item.GetDosDate();
            item.GetDosTime();
            framework::TMemoryStream out;
            try {
                tar.ExtractItemData(&out);
            } catch (const framework::EReadError&) {
            }
        }
    } catch (const framework::Exception&) {
    }
    try {
        codecs::GzipSignatureTest(&s);
    } catch (const framework::Exception&) {
    }
    try {
        codecs::TArcGzipStreamHelper gz(&s);
        if (gz.FindFirstItem()) {
            framework::TMemoryStream out;
            gz.TestOnly = true;
            gz.ExtractItemData(&out);
            gz.Item->GetDosDate();
            gz.ReadTail();
        }
    } catch (const framework::Exception&) {
    }
    try {
        s.SetPosition(0);
        codecs::ZipSignatureTest(&s);
        codecs::SfxSignatureTest(&s);
    } catch (const framework::Exception&) {
    }
    return 0;
}
