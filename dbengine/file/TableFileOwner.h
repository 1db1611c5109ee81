#pragma once
// What the data, index and BLOB files of a table need of the shared table that owns them: the
// session's settings, the names for error messages, and the table's write and lock state.

#include <cstdint>
#include <string>

#include "dbengine/util/EngineSettings.h"

namespace dbengine {

class TTableFileOwner {
public:
    virtual ~TTableFileOwner() = default;
    // The settings of the table's session, or null for a table without one.
    virtual const TEngineSettings* GetSettings() = 0;
    virtual std::string GetDatabaseName() = 0;
    // The table's name; empty when the table has none yet.
    virtual std::string GetTableName() = 0;
    virtual bool GetFilesWritten() = 0;
    virtual void SetFilesWritten() = 0;
    virtual bool HoldsTransactionLock() = 0;
    virtual bool IsExclusive() const { return false; }
    // Whether the table has a primary index of its own (deleted record numbers are then reused).
    virtual bool HasUserPrimaryIndex() const { return false; }
    // The data file's records were written anew in sorted order, this many of them.
    virtual void RecordsSorted(int32_t /*recordCount*/) {}
    // Encrypted tables scramble the header and every page with the data file's seed pair.
    virtual bool IsEncrypted() { return false; }
    virtual void GetScrambleSeeds(uint8_t& seed1, uint8_t& seed2) { seed1 = seed2 = 0; }
};

}  // namespace dbengine
