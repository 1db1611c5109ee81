#pragma once
// Reading back a table's full-text index in tests.

#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/IndexFormat.h"

namespace dbengine::testsupport {

// Every key of the table's full-text index as "field:WORD#id@recno", in index order, read by walking
// the index with a cursor of its own (exclusive when the table must not be shared).
inline std::vector<std::string> ReadWordKeys(TDataDirectory* database, const std::string& tableName,
                                             bool exclusive = false) {
    TDataCursor reader(database);
    reader.SetTableName(tableName);
    reader.SetExclusive(exclusive);
    reader.OpenCursor();
    reader.SelectIndex(SysTextIndex);
    std::vector<std::string> out;
    reader.SetToBegin();
    while (reader.GetNextRecord(nullptr) == 0) {
        std::vector<uint8_t> key = reader.GetBookmark();
        if (key.size() != SysTextKeySize) {
            out.push_back("key of " + std::to_string(key.size()) + " bytes");
            continue;
        }
        int field = key[1] << 8 | key[2];
        std::string word(reinterpret_cast<const char*>(key.data() + 3));
        int32_t id = static_cast<int32_t>(
            (static_cast<uint32_t>(key[64]) << 24 | key[65] << 16 | key[66] << 8 | key[67]) ^ 0x80000000u);
        out.push_back(std::to_string(field) + ":" + word + "#" + std::to_string(id) + "@" +
                      std::to_string(reader.GetPhysicalRecNo()));
    }
    return out;
}

}  // namespace dbengine::testsupport
