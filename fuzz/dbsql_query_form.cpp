// A query component's stored form from outside: its data bytes and its parameter list. Reading
// must raise EReadError (or EClassNotFound) and never crash, hang or allocate ahead of the input;
// a query that reads well writes the same bytes again after a second round.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dbsql/components/DbQuery.h"
#include "framework/core/Filer.h"

using namespace framework;

namespace {

std::string WriteBytes(dbsql::TDbQuery& query) {
    TMemoryStream s;
    TWriter w(&s, 64);
    w.WriteRootComponent(&query);
    w.FlushBuffer();
    return std::string(s.Memory(), static_cast<size_t>(s.Size()));
}

void ReadBytes(const std::string& bytes, int bufSize, dbsql::TDbQuery& query) {
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    s.SetPosition(0);
    TReader r(&s, bufSize);
    r.ReadRootComponent(&query);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1 << 20)) return 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        dbsql::TDbQuery first;
        ReadBytes(input, 16 + data[0], first);
        const std::string once = WriteBytes(first);
        dbsql::TDbQuery second;
        ReadBytes(once, 1024, second);
        if (WriteBytes(second) != once) std::abort();
    } catch (const EReadError&) {
    } catch (const EClassNotFound&) {
    }
    return 0;
}
