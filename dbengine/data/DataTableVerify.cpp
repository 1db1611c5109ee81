// The shared table's part of verification: the three files' header checks in their order, and
// the BLOB chain check where the table has a BLOB file.

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataTable.h"

namespace dbengine {

void TDataTable::VerifyFiles(TDataCursor& cursor, bool verifyOnly, bool& dataOk, bool& indexOk,
                             bool& blobOk) {
    dataOk = DataFile->VerifyHeader(cursor, verifyOnly);
    indexOk = IndexFile->VerifyHeader(cursor, verifyOnly);
    blobOk = HasBlobFields() ? BlobFile->VerifyHeader(cursor, verifyOnly) : true;
}

bool TDataTable::VerifyBlobs(TDataCursor& cursor, bool verifyOnly, int32_t& firstBlock, int32_t stamp,
                             int32_t recordNo, bool tolerant) {
    if (!BlobOpen()) return true;
    return BlobFile->VerifyBlobs(cursor, verifyOnly, firstBlock, stamp, recordNo, tolerant);
}

}  // namespace dbengine
