// Reading the cursor items of a database server's reply: the table headers of an open reply, the
// table counts and the position, and a record. Any bytes either fit what the reader expects or
// raise the engine's "Error uncompressing data"; never a crash, an overrun or an unbounded
// allocation.
//
// Input: one byte choosing the server version (bit 0: 30800, else 30300) and the reader (bit 1:
// position and record, else headers and counts), then the reply as it would arrive.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/testsupport/CursorTestAccess.h"
#include "dbengine/util/EngineError.h"

#include "EngineFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dbengine;
    if (size < 1 || size > (1u << 20)) return 0;
    fuzzsupport::StartEngineOnce();
    const uint8_t choice = data[0];
    data += 1;
    size -= 1;
    TDataTable table(nullptr, nullptr);
    TDataCursor cursor(nullptr);
    TRemoteCursor remote(cursor);
    TRemoteReply reply;
    try {
        reply.SetMessage(data, static_cast<uint32_t>(size));
        reply.DecodeReply(static_cast<uint32_t>(size), false);
        if ((choice & 2) == 0) {
            ReceiveTableHeaders(reply, table, (choice & 1) != 0 ? 30800 : 30300);
            if (table.DataFile->Descriptors.size() != table.DataFile->FieldCount()) __builtin_trap();
            ReceiveTableCounts(reply, table);
        } else {
            TDataCursorTestAccess::LendTable(cursor, &table, 64);
            remote.ReadPositionReply(reply);
            if (remote.PositionKey.size() > MaxKeyFieldPart + 4) __builtin_trap();
            std::vector<uint8_t> record(cursor.GetRecordSize());
            remote.ReadRecordReply(reply, record.data());
        }
    } catch (const EDbEngineError& e) {
        if (e.ErrorCode != DBE_UNCOMPRESS) __builtin_trap();
    }
    TDataCursorTestAccess::LendTable(cursor, nullptr, 0);
    return 0;
}
