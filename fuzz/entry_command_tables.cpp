// Key command tables as the entry controls read them: the text of a command-table file, and the
// "TableList" of a streamed processor. The first byte picks the reader; the rest is its input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "controls/entry/CtlCommands.h"
#include "framework/core/Exception.h"
#include "framework/core/Filer.h"
#include "framework/core/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        entry::TCtlCommandTable table;
        size_t at = 0;
        try {
            entry::detail::ReadCommandTableText(table, [&](char* Buf, uint32_t Size) -> uint32_t {
                // Small, uneven pieces, so that lines cross the reads.
                const size_t n = std::min<size_t>({Size, input.size() - at, 7});
                std::memcpy(Buf, input.data() + at, n);
                at += n;
                return static_cast<uint32_t>(n);
            });
        } catch (const framework::EConvertError&) {
            return 0;
        }
        if (table.TableName.size() > 255) std::abort();
        return 0;
    }
    entry::TCtlCommandProcessor processor;
    framework::TMemoryStream stream;
    stream.WriteBuffer(input.data(), static_cast<int32_t>(input.size()));
    stream.SetPosition(0);
    try {
        framework::TReader reader(&stream);
        processor.ReadTables(&reader);
    } catch (const framework::EReadError&) {
        return 0;
    }
    // What was read writes and reads back the same.
    framework::TMemoryStream out;
    {
        framework::TWriter writer(&out);
        processor.WriteTables(&writer);
    }
    out.SetPosition(0);
    entry::TCtlCommandProcessor again;
    framework::TReader reader(&out);
    again.ReadTables(&reader);
    if (again.Count() != processor.Count()) std::abort();
    return 0;
}
